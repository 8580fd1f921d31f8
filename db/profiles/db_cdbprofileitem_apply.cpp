// Applying a profile's values to the database, and recording the values in
// force as the profile's. Values are written directly here: the old
// current value becomes the previous one, the new one both the current and
// the profile value, without validation, rules or notification (the
// database is in state 3 while a profile is applied).
//
// Built so far: the shared-values form of SetCurrent, which item 0's
// LoadShare runs. Applying a profile document adds, between the reader and
// the shared values, the reset to the DATABASE resource and the document's
// values; and after the profile lists, the access pass and the emptying of
// the profile-change set.
#include "db_cdatabase.h"
#include "db_cdbcontainer.h"
#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "os_coslog.h"

namespace {

void WriteDirect(CDbDatum* a_pdbdatum, long a_lValue) {
  a_pdbdatum->CopyCurrentLong(a_lValue);
  a_pdbdatum->SetProfileLong(a_lValue);
}

}  // namespace

EOSSTS CDbProfileItem::SetCurrent(CDbProfileItem* a_pdbprofileitemShare, const char* a_szGroup,
                                  const char* a_szFilename, uint32_t, bool a_blShared) {
  if (!m_pdatabase) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  if (!a_blShared || m_szFilename[0] || (a_szFilename && a_szFilename[0])) {
    OsLog(OS_LOG_ERROR, "Unsupported profile operation...<%s> <%s>", "SetCurrent", a_szGroup ? a_szGroup : "");
    return OS_STS_FAIL;
  }
  // A caller that is loading already (a default fix-up reading the resource
  // again) keeps its state after the apply.
  const bool blLoading = m_pdatabase->TestDbState(DB_STATE_LOADING) != 0;
  m_pdatabase->SetDbState(DB_STATE_LOADING);
  if (a_pdbprofileitemShare) SetCurrentShare(a_pdbprofileitemShare);
  SetProfileContainer();
  if (!blLoading) m_pdatabase->ClearDbState(DB_STATE_LOADING);
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
