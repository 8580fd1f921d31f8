// The shared values: seven capabilities (the power and feeder time-outs)
// that every profile shares while their switch (DB_ID_LOWPOWERMODEUNIQUE,
// DB_ID_ADFUNIQUE) is off. Item 0 keeps them in its record and in
// "profile.share" of its own directory, which holds those that differ from
// their defaults.
//
// The file is the user's: one that cannot be read as shared values (cut,
// empty, another format, a capability of another kind) is logged and left
// on disk, and the defaults are used; the next save replaces it.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

namespace {

// The reader's node store grows by this many nodes.
constexpr long s_lAtomIncrement = 4096;

// A whole decimal number, else false.
bool DecimalNumber(const char* a_szText, long* a_plValue) {
  char* pcEnd = nullptr;
  errno = 0;
  const long lValue = std::strtol(a_szText, &pcEnd, 10);
  if (!a_szText[0] || *pcEnd || errno) return false;
  *a_plValue = lValue;
  return true;
}

bool IsNamed(COsXml* a_posxml, const char* a_szName) {
  char szName[64];
  return a_posxml->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS && std::strcmp(szName, a_szName) == 0;
}

bool ShareFilePath(const char* a_szDirectory, char* a_szPath, size_t a_sizetPath) {
  return a_szDirectory[0] && COsFile::PathJoin(a_szPath, a_sizetPath, a_szDirectory, CDbProfileItem::s_szShareFile);
}

}  // namespace

int64_t CDbProfileItem::GetShareValue(int a_iSlot) const {
  return m_pi64Share && a_iSlot >= 0 && a_iSlot < s_iShareSlots ? m_pi64Share[a_iSlot] : 0;
}

void CDbProfileItem::ShareDefaults() {
  for (int iSlot = 0; iSlot < s_iShareSlots; ++iSlot) {
    const EDBID edbid = dbprofile::s_ashareslot[iSlot].edbid;
    CDbDatum* pdbdatum = m_pdatabase ? m_pdatabase->FindDirect(DB_BIN_MACHINE, edbid) : nullptr;
    if (pdbdatum && m_pdatabase->IsIdSupported(edbid)) m_pi64Share[iSlot] = m_pdatabase->GetDefaultLong(pdbdatum);
  }
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
EOSSTS CDbProfileItem::LoadShare(bool a_blReadFile) {
  if (!m_pi64Share) {
    m_pi64Share = static_cast<int64_t*>(OsMemAlloc(s_iShareSlots * sizeof(int64_t)));
    if (!m_pi64Share) {
      OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
      return OS_STS_FAIL;
    }
    std::memset(m_pi64Share, 0, s_iShareSlots * sizeof(int64_t));
  }
  ShareDefaults();
  if (!a_blReadFile || !m_pdatabase) return OS_STS_SUCCESS;
  if (ReadShareFile() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "profile.share not used, the shared values keep their defaults...<%s>", m_szOwnDirectory);
    ShareDefaults();
  }
  return SetCurrent(this, nullptr, nullptr, 0, true);
}

// A missing file is no fault: the defaults stand.
EOSSTS CDbProfileItem::ReadShareFile() {
  char szPath[s_sizetPath];
  if (!ShareFilePath(m_szOwnDirectory, szPath, sizeof szPath)) return OS_STS_SUCCESS;
  dbprofile::ProfileText profiletext{};
  const dbprofile::EREADTEXT ereadtext = dbprofile::ReadText(szPath, &profiletext);
  if (ereadtext == dbprofile::READTEXT_NOFILE || ereadtext == dbprofile::READTEXT_FAILED) return OS_STS_SUCCESS;
  if (ereadtext != dbprofile::READTEXT_OK) {
    OsLog(OS_LOG_ERROR, "OsMemGetSettings failed...%d", static_cast<int>(profiletext.sizet));
    return OS_STS_FAIL;
  }
  size_t sizetText = profiletext.sizet;
  const char* pcText = dbprofile::SkipBom(profiletext.psz, &sizetText);
  COsXml osxml;
  osxml.SetAtomIncrement(s_lAtomIncrement);
  EOSSTS eossts = OS_STS_FAIL;
  if (osxml.DocumentLoad(pcText, static_cast<long>(sizetText)) != OS_STS_SUCCESS ||
      osxml.NodeRewind() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...");
  } else {
    eossts = ReadShareDocument(&osxml);
  }
  dbprofile::FreeText(&profiletext);
  return eossts;
}

EOSSTS CDbProfileItem::ReadShareDocument(COsXml* a_posxml) {
  if (!IsNamed(a_posxml, "profile")) {
    OsLog(OS_LOG_ERROR, "profile tag not found...");
    return OS_STS_FAIL;
  }
  if (a_posxml->NodeChild() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "empty profile...");
    return OS_STS_FAIL;
  }
  if (!IsNamed(a_posxml, "header")) {
    OsLog(OS_LOG_ERROR, "header tag not found...");
    return OS_STS_FAIL;
  }
  bool blDatabase = false;
  while (!blDatabase && a_posxml->NodeSibling() == OS_STS_SUCCESS) blDatabase = IsNamed(a_posxml, "database");
  if (!blDatabase) {
    OsLog(OS_LOG_ERROR, "database tag not found...");
    return OS_STS_FAIL;
  }
  for (bool blMore = a_posxml->NodeChild() == OS_STS_SUCCESS; blMore;
       blMore = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    char szLexicon[128];
    if (!IsNamed(a_posxml, "d")) continue;
    if (a_posxml->NodeGetProperty("i", szLexicon, sizeof szLexicon) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "missing id...");
      continue;
    }
    const DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon(szLexicon);
    if (!pdblookup2) continue;
    const int iSlot = dbprofile::ShareSlotOf(pdblookup2->edbid);
    if (iSlot < 0) {
      OsLog(OS_LOG_ERROR, "unrecognized id...%d", pdblookup2->edbid);
      return OS_STS_FAIL;
    }
    ReadShareValue(a_posxml, iSlot, pdblookup2->edbid);
  }
  return OS_STS_SUCCESS;
}

// The value elements of one capability into its slot. A number outside the
// capability's range is brought within it, as a profile's is: the slots are
// written into the database without a check.
EOSSTS CDbProfileItem::ReadShareValue(COsXml* a_posxml, int a_iSlot, EDBID a_edbid) {
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return OS_STS_FAIL;
  for (bool blMore = a_posxml->NodeChild() == OS_STS_SUCCESS; blMore;
       blMore = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    char szTag[64];
    char szValue[DB_STRING_SIZE];
    EDBID_WINDOW edbidwindow = 0;
    EDBBIN edbbin = DB_BIN_MACHINE;
    if (a_posxml->NodeGetName(szTag, sizeof szTag) != OS_STS_SUCCESS) continue;
    if (!dbprofile::ValueElement(szTag, &edbidwindow, &edbbin)) {
      OsLog(OS_LOG_ERROR, "unrecognized tag...<%s>", szTag);
      continue;
    }
    CDbDatum* pdbdatum = dbprofile::DatumAt(edbidwindow, a_edbid, edbbin);
    if (!dbprofile::IsUsable(pdbdatum)) continue;
    if (a_posxml->NodeGetContent(szValue, sizeof szValue) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "NodeGetContent failed...<%s>", szTag);
      continue;
    }
    long lValue = 0;
    if (dbprofile::s_ashareslot[a_iSlot].blNumber) {
      if (!DecimalNumber(szValue, &lValue)) {
        OsLog(OS_LOG_ERROR, "profile.share value is not a number...%d <%s>", a_edbid, szValue);
        continue;
      }
      const bool blRange = pdbdatum->GetContainerType() == DB_CONTAINERTYPE_RANGE;
      const long lMin = blRange ? m_pdatabase->RangeGetCurrentMin(pdbdatum) : lValue;
      const long lMax = blRange ? m_pdatabase->RangeGetCurrentMax(pdbdatum) : lValue;
      if (lValue < lMin || lValue > lMax) {
        OsLog(OS_LOG_ERROR, "profile.share value outside its range, snapped...%d %ld", a_edbid, lValue);
        lValue = lValue < lMin ? lMin : lMax;
      }
    } else {
      const DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(pdbdatum->GetLookup(), szValue);
      if (!pdblookupenum) {
        OsLogDebug(OS_LOG_INFO, "LookupLexiconEnum failed...edbid=%d <%s>", a_edbid, szValue);
        continue;
      }
      lValue = pdblookupenum->lValue;
    }
    m_pi64Share[a_iSlot] = lValue;
  }
  a_posxml->NodePop();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Saving and the timeout response
// ---------------------------------------------------------------------------
EOSSTS CDbProfileItem::SaveShare() {
  if (!m_pi64Share || !m_pdatabase) return OS_STS_SUCCESS;
  const bool blFeeder = dbprofile::IsShared(m_pdatabase, DB_ID_ADFUNIQUE);
  const bool blPower = dbprofile::IsShared(m_pdatabase, DB_ID_LOWPOWERMODEUNIQUE);
  bool blAllDefault = true;
  for (int iSlot = 0; iSlot < s_iShareSlots; ++iSlot) {
    const dbprofile::ShareSlot& shareslot = dbprofile::s_ashareslot[iSlot];
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, shareslot.edbid);
    if (!pdbdatum || !m_pdatabase->IsIdSupported(shareslot.edbid)) continue;
    if (shareslot.edbidSwitch == DB_ID_ADFUNIQUE ? blFeeder : blPower)
      m_pi64Share[iSlot] = m_pdatabase->GetCurrentLong(pdbdatum);
    if (m_pi64Share[iSlot] != m_pdatabase->GetDefaultLong(pdbdatum)) blAllDefault = false;
  }
  char szPath[s_sizetPath];
  if (!ShareFilePath(m_szOwnDirectory, szPath, sizeof szPath)) {
    if (blAllDefault) return OS_STS_SUCCESS;
    OsLog(OS_LOG_ERROR, "Open failed...<no directory for %s>", s_szShareFile);
    return OS_STS_FAIL;
  }
  if (blAllDefault) {
    if (!COsFile::Exists(szPath) || COsFile::Delete(szPath, OS_FILETYPE_FILE, false) == OS_STS_SUCCESS)
      return OS_STS_SUCCESS;
    OsLog(OS_LOG_ERROR, "profile.share could not be removed...<%s>", szPath);
    return OS_STS_FAIL;
  }
  return WriteDocument("profileshare", szPath);
}

// Written directly: no check, no rule, no notification; the value is the
// profile's as well.
EOSSTS CDbProfileItem::UpdateShare(EDBID a_edbid) {
  if (a_edbid != DB_ID_TRANSPORTTIMEOUTRESPONSE) {
    OsLog(OS_LOG_ERROR, "UpdateShare - unsupported Database type...%d", a_edbid);
    return OS_STS_SUCCESS;
  }
  if (!m_pi64Share || !m_pdatabase || !dbprofile::IsShared(m_pdatabase, DB_ID_ADFUNIQUE)) return OS_STS_SUCCESS;
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid);
  const long lValue = static_cast<long>(m_pi64Share[dbprofile::ShareSlotOf(a_edbid)]);
  if (pdbdatum && m_pdatabase->EnumHasCurrentItem(pdbdatum, lValue)) {
    pdbdatum->CopyCurrentLong(lValue);
    pdbdatum->SetProfileLong(lValue);
  }
  return OS_STS_SUCCESS;
}
