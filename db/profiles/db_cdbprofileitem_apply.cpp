// Applying a profile's values to the database, and recording the values in
// force as the profile's. Values are written directly here: the old
// current value becomes the previous one, the new one both the current and
// the profile value, without validation, rules or notification (the
// database is in state 3 while a profile is applied). The document's own
// values are read in db_cdbprofileitem_applydocument.cpp.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "db_profilesnapshot.h"
#include "dev_drvconfig.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

namespace {

// The profile capabilities and the session's: what a reset puts back.
constexpr uint64_t s_u64ResetGroups = DB_GROUP_PROFILE | DB_GROUP_SESSION;

void WriteDirect(CDbDatum* a_pdbdatum, long a_lValue) {
  a_pdbdatum->CopyCurrentLong(a_lValue);
  a_pdbdatum->SetProfileLong(a_lValue);
}

// The groups laid over the values in force rather than over the defaults.
bool IsPartialGroup(const char* a_szGroup) {
  return a_szGroup && (std::strcmp(a_szGroup, "profileiaprinter") == 0 ||
                       std::strcmp(a_szGroup, "profilenoiaprinter") == 0);
}

// The indicators and the printer index belong to the scanner rather than
// to a profile: they stay unless told otherwise.
bool KeptOnReset(EDBID a_edbid, bool a_blAll) {
  if (a_blAll) return false;
  const bool blKept = (a_edbid >= DB_ID_INDICATORS && a_edbid <= DB_ID_INDICATORSWARMUP) ||
                      a_edbid == DB_ID_PRINTERINDEX;
  return blKept && DevDriverConfigGetLong(DRV_CFGTAG_FORCEPROFILERESETALL) == 0;
}

// A profile capability with its lookup entry; one without is logged.
bool HasResetLookup(CDbDatum* a_pdbdatum) {
  const DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "edbid missing its lookup.dbc entry...%d", a_pdbdatum->GetId());
    return false;
  }
  return (pdblookup2->lTwainGroup & s_u64ResetGroups) != 0;
}

// A window-0 datum resets through its container (its lists too); a
// window's copy holds a value only, which goes back to its master's
// default.
bool ResetDatum(CDbDatum* a_pdbdatum) {
  if (dbcontainer::ByContainer(a_pdbdatum, [](auto* a_pcontainer) { a_pcontainer->FixDefaultReset(); })) return true;
  CDbDatum* pdbdatumMaster = a_pdbdatum->GetWindow() > 0 ? dbcontainer::Master(a_pdbdatum) : nullptr;
  if (pdbdatumMaster && a_pdbdatum->GetDataType() == DB_DATATYPE_LONG) {
    a_pdbdatum->FixDefaultResetLong(pdbdatumMaster->GetDefaultLong());
    return true;
  }
  // (A window's copy of a text capability may have no buffers of its own.)
  if (pdbdatumMaster && a_pdbdatum->GetDataType() == DB_DATATYPE_STRING) {
    if (a_pdbdatum->GetCurrentStringNoCallback()) a_pdbdatum->FixDefaultResetString(pdbdatumMaster->GetDefaultString());
    return true;
  }
  OsLog(OS_LOG_ERROR, "Bad container...%d %d %d", a_pdbdatum->GetWindow(), a_pdbdatum->GetId(), a_pdbdatum->GetBin());
  return false;
}

}  // namespace

// The document is read and checked before anything changes; what may still
// fail afterwards is put back from a private copy (the caller's undo point,
// RememberAll, is left alone: a setmany applies profiles inside it).
EOSSTS CDbProfileItem::SetCurrent(CDbProfileItem* a_pdbprofileitemShare, const char* a_szGroup,
                                  const char* a_szFilename, uint32_t a_u32Size, bool a_blShared) {
  if (!m_pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  COsXml* posxml = OsMemNew(COsXml);
  if (!posxml) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  // A caller that is loading already (a default fix-up reading the resource
  // again) keeps its state after the apply.
  const bool blLoading = m_pdatabase->TestDbState(DB_STATE_LOADING) != 0;
  m_pdatabase->SetDbState(DB_STATE_LOADING);
  char* pszText = nullptr;
  size_t sizetText = 0;
  char szConverted[s_sizetPath] = {};
  EOSSTS eossts = ReadSource(a_szFilename, a_u32Size, &pszText, &sizetText, szConverted, sizeof szConverted);
  if (eossts == OS_STS_SUCCESS && pszText) eossts = ParseDocument(posxml, pszText, sizetText);
  dbprofile::Snapshot snapshot;
  const bool blSnapshot = eossts == OS_STS_SUCCESS && !a_blShared && snapshot.Take(m_pdatabase);
  const bool blReset = !a_blShared && !IsPartialGroup(a_szGroup);
  if (eossts == OS_STS_SUCCESS && blReset) {
    eossts = ResetToDatabaseResource(false);
    if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "ResetToDatabaseResource failed...");
  }
  if (eossts == OS_STS_SUCCESS && pszText) eossts = ApplyDatabase(posxml);
  if (eossts == OS_STS_SUCCESS) {
    if (a_pdbprofileitemShare) SetCurrentShare(a_pdbprofileitemShare);
    SetProfileContainer();
    if (!a_blShared) FixCurrentAccessAll();
    if (blReset) m_pdatabase->NotifyResetProfiles();
  } else if (blSnapshot) {
    snapshot.PutBack();
    m_pdatabase->FixAccessAll();
  }
  if (!blLoading) m_pdatabase->ClearDbState(DB_STATE_LOADING);
  if (pszText) OsMemFree(pszText);
  if (szConverted[0]) COsFile::Delete(szConverted, OS_FILETYPE_FILE, false);
  OsMemDelete(posxml);
  return eossts;
}

EOSSTS CDbProfileItem::ResetToDatabaseResource(bool a_blAll) {
  if (!m_pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  const bool blReset = dbprofile::EveryProfileDatum(
      m_pdatabase,
      [a_blAll](CDbDatum* a_pdbdatum) {
        return dbprofile::IsUsable(a_pdbdatum) && !KeptOnReset(a_pdbdatum->GetId(), a_blAll) &&
               HasResetLookup(a_pdbdatum);
      },
      ResetDatum);
  if (!blReset) return OS_STS_FAIL;
  FixCurrentAccessAll();
  return RecordProfileValues();
}

// The values in force become the profile's values of the capabilities a
// reset puts back (the kept ones included).
EOSSTS CDbProfileItem::RecordProfileValues() {
  const bool blDone = dbprofile::EveryProfileDatum(
      m_pdatabase,
      [](CDbDatum* a_pdbdatum) {
        const DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
        return dbprofile::IsUsable(a_pdbdatum) && pdblookup2 && (pdblookup2->lTwainGroup & s_u64ResetGroups) != 0;
      },
      [this](CDbDatum* a_pdbdatum) {
        switch (a_pdbdatum->GetDataType()) {
          case DB_DATATYPE_LONG: a_pdbdatum->SetProfileLong(m_pdatabase->GetCurrentLong(a_pdbdatum)); return true;
          case DB_DATATYPE_STRING:
            if (a_pdbdatum->GetCurrentStringNoCallback()) a_pdbdatum->UpdateProfilesString();
            return true;
          default: OsLog(OS_LOG_ERROR, "Bad data type...%d", a_pdbdatum->GetId()); return false;
        }
      });
  return blDone ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// The machine datum's pass stands for the capability; without one, each
// camera of each window in use has its own.
void CDbProfileItem::FixCurrentAccessAll() {
  if (!m_pdatabase) return;
  const int iWindows = dbprofile::WindowsInUse(m_pdatabase);
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    const EDBID edbid = static_cast<EDBID>(iId);
    if (CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, edbid)) {
      if (dbprofile::IsUsable(pdbdatum)) m_pdatabase->FixCurrentAll(pdbdatum);
      continue;
    }
    for (int iWindow = 0; iWindow < iWindows; ++iWindow) {
      for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
        CDbDatum* pdbdatum = dbprofile::DatumAt(iWindow, edbid, static_cast<EDBBIN>(iBin));
        if (dbprofile::IsUsable(pdbdatum)) m_pdatabase->FixCurrentAll(pdbdatum);
      }
    }
  }
  m_pdatabase->FixAccessAll();
}

// With ADFUNIQUE at 1 the shared timeout values are laid over the
// profile's afterwards (SetCurrent's shared values).
EOSSTS CDbProfileItem::HandleUnsupportedAdfTimeoutResponse() {
  if (!m_pdatabase) return OS_STS_SUCCESS;
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_TRANSPORTTIMEOUTRESPONSE);
  if (pdbdatum && m_pdatabase->IsIdSupported(DB_ID_TRANSPORTTIMEOUTRESPONSE))
    WriteDirect(pdbdatum, m_pdatabase->GetDefaultLong(pdbdatum));
  CDbDatum* pdbdatumUnique = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_ADFUNIQUE);
  if (pdbdatumUnique && m_pdatabase->IsIdSupported(DB_ID_ADFUNIQUE) && !m_blIsProfileUser &&
      m_pdatabase->GetCurrentLong(pdbdatumUnique) == DB_ID_ADFUNIQUE_ENUM_TRUE)
    WriteDirect(pdbdatumUnique, DB_ID_ADFUNIQUE_ENUM_FALSE);
  return OS_STS_SUCCESS;
}

// The share item's slots over the values in force, while their switch says
// they are shared. A timeout response the scanner does not offer gives way
// to the default.
void CDbProfileItem::SetCurrentShare(const CDbProfileItem* a_pdbprofileitemShare) {
  if (!a_pdbprofileitemShare->m_pi64Share) return;
  const bool blFeeder = dbprofile::IsShared(m_pdatabase, DB_ID_ADFUNIQUE);
  const bool blPower = dbprofile::IsShared(m_pdatabase, DB_ID_LOWPOWERMODEUNIQUE);
  for (int iSlot = 0; iSlot < s_iShareSlots; ++iSlot) {
    const dbprofile::ShareSlot& shareslot = dbprofile::s_ashareslot[iSlot];
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, shareslot.edbid);
    if (!(shareslot.edbidSwitch == DB_ID_ADFUNIQUE ? blFeeder : blPower) || !pdbdatum ||
        !m_pdatabase->IsIdSupported(shareslot.edbid))
      continue;
    long lValue = static_cast<long>(a_pdbprofileitemShare->m_pi64Share[iSlot]);
    if (shareslot.edbid == DB_ID_TRANSPORTTIMEOUTRESPONSE && !m_pdatabase->EnumHasCurrentItem(pdbdatum, lValue)) {
      OsLogDebug(OS_LOG_INFO, "Discarding unsupported value from profile.share (using default)...%d %ld",
                 shareslot.edbid, lValue);
      lValue = m_pdatabase->GetDefaultLong(pdbdatum);
    }
    WriteDirect(pdbdatum, lValue);
  }
}

// A walk over the datums of the profile capabilities: an enumeration with a
// profile container gives it its current list.
void CDbProfileItem::SetProfileContainer() {
  dbprofile::EveryProfileDatum(
      m_pdatabase,
      [](CDbDatum* a_pdbdatum) {
        const DbLookup2* pdblookup2 = a_pdbdatum->GetLookup();
        return pdblookup2 && (pdblookup2->lTwainGroup & DB_GROUP_PROFILE) != 0;
      },
      [](CDbDatum* a_pdbdatum) {
        switch (a_pdbdatum->GetContainerType()) {
          case DB_CONTAINERTYPE_ENUM: {
            CDbEnum* pdbenum = dbcontainer::AsEnum(a_pdbdatum);
            CDbEnum* pdbenumProfile = pdbenum ? pdbenum->GetProfileContainer() : nullptr;
            if (!pdbenumProfile) break;
            pdbenumProfile->DeleteAllCurrentItems();
            for (long l = 0; l < pdbenum->GetCurrentItemCount(); ++l)
              pdbenumProfile->AddCurrentItem(pdbenum->GetCurrentItem(l));
            break;
          }
          case DB_CONTAINERTYPE_RANGE:
          case DB_CONTAINERTYPE_STRING: break;
          default: OsLog(OS_LOG_ERROR, "Bad container...%d", a_pdbdatum->GetId());
        }
        return true;
      });
}

// Every value a profile may read or write, whatever its group.
EOSSTS CDbProfileItem::ResetAllProfileNotifications() {
  if (!m_pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  const bool blDone = dbprofile::EveryProfileDatum(m_pdatabase, dbprofile::IsUsable, [this](CDbDatum* a_pdbdatum) {
    switch (a_pdbdatum->GetContainerType()) {
      case DB_CONTAINERTYPE_STRING: m_pdatabase->UpdateProfilesString(a_pdbdatum); break;
      case DB_CONTAINERTYPE_RANGE:
      case DB_CONTAINERTYPE_ENUM: a_pdbdatum->SetProfileLong(m_pdatabase->GetCurrentLong(a_pdbdatum)); break;
      default: OsLog(OS_LOG_ERROR, "Bad container...%d", a_pdbdatum->GetId()); return false;
    }
    m_pdatabase->NotifyReset(DB_NOTIFY_PROFILES, a_pdbdatum);
    return true;
  });
  return blDone ? OS_STS_SUCCESS : OS_STS_FAIL;
}
