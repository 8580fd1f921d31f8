// Applying a profile document's values: the source (the group document
// given, else the item's own file; an INI text converted first), its
// check, and every "d" element of its "database" laid over the values in
// force. Numbers are snapped into their range, values the scanner does not
// offer are discarded: neither fails an apply.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

// The reader's node store grows by this many nodes.
constexpr long s_lAtomIncrement = 4096;
// Room for an element's name, an id attribute and a value's text.
constexpr long s_lName = 64;
constexpr long s_lLexicon = 256;
constexpr long s_lValue = DB_STRING_SIZE;
constexpr char s_szWindowTagColour[] = "frontcolor";

void WriteDirect(CDbDatum* a_pdbdatum, long a_lValue) {
  a_pdbdatum->CopyCurrentLong(a_lValue);
  a_pdbdatum->SetProfileLong(a_lValue);
}

bool NameIs(COsXml* a_posxml, const char* a_szName) {
  char szName[s_lName];
  return a_posxml->NodeGetName(szName, sizeof szName) == OS_STS_SUCCESS && std::strcmp(szName, a_szName) == 0;
}

// An element with element children (a list value) rather than a text.
bool HasChildElement(COsXml* a_posxml) {
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return false;
  const bool blChild = a_posxml->NodeChild() == OS_STS_SUCCESS;
  a_posxml->NodePop();
  return blChild;
}

// A decimal number, the whole text; false for anything else.
bool ParseDecimal(const char* a_szText, long* a_plValue) {
  char* pcEnd = nullptr;
  errno = 0;
  const long lValue = std::strtol(a_szText, &pcEnd, 10);
  if (pcEnd == a_szText || *pcEnd != '\0' || errno == ERANGE) return false;
  *a_plValue = lValue;
  return true;
}

bool IsColourBin(EDBBIN a_edbbin) { return a_edbbin == DB_BIN_COLOR_FRONT || a_edbbin == DB_BIN_COLOR_REAR; }

}  // namespace

// ---------------------------------------------------------------------------
// The source
// ---------------------------------------------------------------------------
// The group document is read at the length given (no further than the
// file); the own file whole. Item 0 has neither: no text, status 0.
EOSSTS CDbProfileItem::ReadSource(const char* a_szFilename, uint32_t a_u32Size, char** a_ppszText,
                                  size_t* a_psizetText, char* a_szConverted, size_t a_sizetConverted) {
  const bool blGiven = a_szFilename && a_szFilename[0];
  const char* szPath = blGiven ? a_szFilename : m_szFilename;
  if (!szPath[0]) return OS_STS_SUCCESS;
  dbprofile::ProfileText profiletext{};
  const dbprofile::EREADTEXT ereadtext = dbprofile::ReadText(szPath, &profiletext);
  if (ereadtext == dbprofile::READTEXT_SHORT && !blGiven) {
    OsLog(OS_LOG_ERROR, "OsMemGetSettings failed...%d", static_cast<int>(profiletext.sizet));
    return OS_STS_FAIL;
  }
  if (ereadtext != dbprofile::READTEXT_OK) {
    OsLog(OS_LOG_ERROR, "Failed to open profile...<%s>", szPath);
    return OS_STS_FAIL;
  }
  if (blGiven && a_u32Size > 0 && a_u32Size < profiletext.sizet) {
    profiletext.sizet = a_u32Size;
    profiletext.psz[a_u32Size] = '\0';
  }
  DumpProfile("SetCurrent", profiletext.psz, profiletext.sizet);
  if (dbprofile::IsXml(profiletext.psz, profiletext.sizet)) {
    *a_ppszText = profiletext.psz;
    *a_psizetText = profiletext.sizet;
    return OS_STS_SUCCESS;
  }
  const EOSSTS eossts = ConvertSource(profiletext.psz, profiletext.sizet, a_szConverted, a_sizetConverted);
  dbprofile::FreeText(&profiletext);
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (dbprofile::ReadText(a_szConverted, &profiletext) != dbprofile::READTEXT_OK) {
    OsLog(OS_LOG_ERROR, "Failed to open profile...<%s>", a_szConverted);
    return OS_STS_FAIL;
  }
  *a_ppszText = profiletext.psz;
  *a_psizetText = profiletext.sizet;
  return OS_STS_SUCCESS;
}

// An INI text goes to a file of its own in the log directory (never beside
// the document, which may be the caller's or read-only), is converted into
// a new file, and is removed whatever the conversion answers.
EOSSTS CDbProfileItem::ConvertSource(const char* a_szText, size_t a_sizetText, char* a_szConverted,
                                     size_t a_sizetConverted) {
  const char* szDirectory = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : nullptr;
  char szIni[s_sizetPath];
  if (!szDirectory || !szDirectory[0] || !COsFile::PathJoin(szIni, sizeof szIni, szDirectory, "iniXXXXXX")) {
    OsLog(OS_LOG_ERROR, "no directory for the INI profile...");
    return OS_STS_FAIL;
  }
  const int iFd = mkostemp(szIni, O_CLOEXEC);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "mkstemp failed...<%s>", szIni);
    return OS_STS_FAIL;
  }
  size_t sizetWritten = 0;
  while (sizetWritten < a_sizetText) {
    const ssize_t ssizet = write(iFd, a_szText + sizetWritten, a_sizetText - sizetWritten);
    if (ssizet < 0 && errno == EINTR) continue;
    if (ssizet <= 0) break;
    sizetWritten += static_cast<size_t>(ssizet);
  }
  close(iFd);
  EOSSTS eossts = OS_STS_FAIL;
  if (sizetWritten != a_sizetText) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", szIni);
  } else {
    a_szConverted[0] = '\0';
    eossts = ConvertIni2Xml(szIni, false, a_szConverted, a_sizetConverted);
  }
  COsFile::Delete(szIni, OS_FILETYPE_FILE, false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ConvertIni2Xml failed...");
    if (a_szConverted[0]) COsFile::Delete(a_szConverted, OS_FILETYPE_FILE, false);
    a_szConverted[0] = '\0';
  }
  return eossts;
}

// The root "profile" and its "database" child, on which the reader is left.
EOSSTS CDbProfileItem::ParseDocument(COsXml* a_posxml, const char* a_pszText, size_t a_sizetText) {
  const char* pcText = a_pszText[0] == '\xEF' ? dbprofile::SkipBom(a_pszText, &a_sizetText) : a_pszText;
  a_posxml->SetAtomIncrement(s_lAtomIncrement);
  if (a_posxml->DocumentLoad(pcText, static_cast<long>(a_sizetText)) != OS_STS_SUCCESS ||
      a_posxml->NodeRewind() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...");
    return OS_STS_FAIL;
  }
  if (!NameIs(a_posxml, "profile")) {
    OsLog(OS_LOG_ERROR, "profile tag not found...");
    return OS_STS_FAIL;
  }
  for (bool blMore = a_posxml->NodeChild() == OS_STS_SUCCESS; blMore;
       blMore = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    if (NameIs(a_posxml, "database")) return OS_STS_SUCCESS;
  }
  OsLog(OS_LOG_ERROR, "database tag not found...");
  return OS_STS_FAIL;
}

// ---------------------------------------------------------------------------
// The values
// ---------------------------------------------------------------------------
EOSSTS CDbProfileItem::ApplyDatabase(COsXml* a_posxml) {
  bool blDiscardedTimeout = false;
  EOSSTS eossts = OS_STS_SUCCESS;
  a_posxml->NodePush();
  for (bool blMore = a_posxml->NodeChild() == OS_STS_SUCCESS; blMore && eossts == OS_STS_SUCCESS;
       blMore = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    if (!NameIs(a_posxml, "d")) continue;
    char szLexicon[s_lLexicon];
    if (a_posxml->NodeGetProperty("i", szLexicon, sizeof szLexicon) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "missing id...");
      continue;
    }
    DbLookup2* pdblookup2 = m_pdatabase->LookupLexicon(szLexicon);
    if (!pdblookup2 || pdblookup2->edbid < DB_ID_FIRST || pdblookup2->edbid > DB_ID_FINAL) continue;
    eossts = ApplyCapability(a_posxml, pdblookup2, &blDiscardedTimeout);
  }
  a_posxml->NodePop();
  if (eossts == OS_STS_SUCCESS && blDiscardedTimeout) HandleUnsupportedAdfTimeoutResponse();
  return eossts;
}

// Each child of a "d" names its window and bin; a name outside the
// database's windows (0 to 10) is refused like any other.
EOSSTS CDbProfileItem::ApplyCapability(COsXml* a_posxml, DbLookup2* a_pdblookup2, bool* a_pblDiscardedTimeout) {
  EOSSTS eossts = OS_STS_SUCCESS;
  a_posxml->NodePush();
  for (bool blMore = a_posxml->NodeChild() == OS_STS_SUCCESS; blMore && eossts == OS_STS_SUCCESS;
       blMore = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    char szName[s_lName];
    if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) continue;
    if (std::strcmp(szName, "enum") == 0) {
      if (a_pdblookup2->edbid == DB_ID_WINDOWBIN) SetCurrentWindowTag(a_posxml);
      continue;
    }
    EDBID_WINDOW edbidwindow = 0;
    EDBBIN edbbin = DB_BIN_MACHINE;
    if (!dbprofile::ValueElement(szName, &edbidwindow, &edbbin)) {
      OsLog(OS_LOG_ERROR, "unrecognized tag...<%s>", szName);
      continue;
    }
    CDbDatum* pdbdatum = dbprofile::DatumAt(edbidwindow, a_pdblookup2->edbid, edbbin);
    if (!dbprofile::IsUsable(pdbdatum)) continue;
    eossts = ApplyValue(a_posxml, a_pdblookup2, pdbdatum, a_pblDiscardedTimeout);
  }
  a_posxml->NodePop();
  return eossts;
}

EOSSTS CDbProfileItem::ApplyValue(COsXml* a_posxml, DbLookup2* a_pdblookup2, CDbDatum* a_pdbdatum,
                                  bool* a_pblDiscardedTimeout) {
  const EDBCONTAINERTYPE edbcontainertype = a_pdbdatum->GetContainerType();
  if (edbcontainertype == DB_CONTAINERTYPE_ENUM && HasChildElement(a_posxml)) {
    SetCurrentEnumList(a_pdblookup2, a_pdbdatum, a_posxml);
    return OS_STS_SUCCESS;
  }
  char szText[s_lValue];
  if (a_posxml->NodeGetContent(szText, sizeof szText) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "NodeGetContent failed...%d", a_pdbdatum->GetId());
    return OS_STS_SUCCESS;
  }
  switch (edbcontainertype) {
    case DB_CONTAINERTYPE_RANGE: {
      long lValue = 0;
      if (!ParseDecimal(szText, &lValue)) {
        OsLog(OS_LOG_ERROR, "not a number...%d <%s>", a_pdbdatum->GetId(), szText);
        break;
      }
      const long lMax = m_pdatabase->RangeGetCurrentMax(a_pdbdatum);
      const long lMin = m_pdatabase->RangeGetCurrentMin(a_pdbdatum);
      if (lValue > lMax) {
        lValue = lMax;
        OsLog(OS_LOG_ERROR, "SetCurrent - Snapped Range value down to Maximum: %ld...", lValue);
      } else if (lValue < lMin) {
        lValue = lMin;
        OsLog(OS_LOG_ERROR, "SetCurrent - Snapped Range value up to Minimum: %ld...", lValue);
      }
      WriteDirect(a_pdbdatum, lValue);
      break;
    }
    case DB_CONTAINERTYPE_STRING: ApplyString(a_pdbdatum, szText); break;
    case DB_CONTAINERTYPE_ENUM: ApplyEnum(a_pdblookup2, a_pdbdatum, szText, a_pblDiscardedTimeout); break;
    default: OsLog(OS_LOG_ERROR, "unrecognized container...%d", a_pdbdatum->GetId()); return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The sound is a file of the profile's own "sounds" directory.
void CDbProfileItem::ApplyString(CDbDatum* a_pdbdatum, const char* a_szText) {
  if (!a_pdbdatum->GetCurrentStringNoCallback()) return;
  char szSound[s_lValue];
  const char* szValue = a_szText;
  if (a_pdbdatum->GetId() == DB_ID_MULTIFEEDSOUND) {
    char szSounds[s_sizetPath];
    if (!COsFile::PathJoin(szSounds, sizeof szSounds, m_szOwnDirectory, "sounds") ||
        !COsFile::PathJoin(szSound, sizeof szSound, szSounds, a_szText)) {
      OsLog(OS_LOG_ERROR, "sound path does not fit...<%s>", a_szText);
      return;
    }
    szValue = szSound;
  }
  a_pdbdatum->CopyCurrentString(szValue);
  a_pdbdatum->UpdateProfilesString();
}

void CDbProfileItem::ApplyEnum(DbLookup2* a_pdblookup2, CDbDatum* a_pdbdatum, const char* a_szText,
                               bool* a_pblDiscardedTimeout) {
  const EDBID edbid = a_pdbdatum->GetId();
  const DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(a_pdblookup2, a_szText);
  if (!pdblookupenum) {
    OsLog(OS_LOG_ERROR, "LookupLexiconEnum failed...edbid=%d <%s>", edbid, a_szText);
    return;
  }
  const long lValue = pdblookupenum->lValue;
  if (m_pdatabase->EnumHasCurrentItem(a_pdbdatum, lValue)) {
    WriteDirect(a_pdbdatum, lValue);
    return;
  }
  const int iBin = a_pdbdatum->GetBin();
  if (edbid == DB_ID_MULTIFEEDRESPONSE) {
    if (m_pdatabase->EnumHasCurrentItem(a_pdbdatum, DB_ID_MULTIFEEDRESPONSE_ENUM_STOPFEEDER)) {
      OsLogDebug(OS_LOG_INFO,
                 "Discarding unsupported MULTIFEEDRESPONSE value from profile (using 'Pause')...%d %d <%s>", edbid,
                 iBin, a_szText);
      WriteDirect(a_pdbdatum, DB_ID_MULTIFEEDRESPONSE_ENUM_STOPFEEDER);
    } else {
      OsLogDebug(OS_LOG_INFO, "Discarding unsupported MULTIFEEDRESPONSE value from profile (using Default)...%d %d <%s>",
                 edbid, iBin, a_szText);
    }
  } else if (edbid == DB_ID_TRANSPORTTIMEOUTRESPONSE) {
    OsLogDebug(OS_LOG_INFO, "Discarding unsupported Transport Timeout Response value from profile...%d %d <%s>", edbid,
               iBin, a_szText);
    *a_pblDiscardedTimeout = true;
  } else {
    OsLogDebug(OS_LOG_INFO, "Discarding unsupported value from profile...%d %d <%s>", edbid, iBin, a_szText);
  }
}

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------
// The default list holds every window and camera pair in use; only the
// first value of the element decides.
EOSSTS CDbProfileItem::SetCurrentWindowTag(COsXml* a_posxml) {
  CDbDatum* pdbdatum = m_pdatabase ? m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_WINDOWBIN) : nullptr;
  if (!pdbdatum || !a_posxml) return OS_STS_SUCCESS;
  char szText[s_lValue] = {};
  bool blFound = false;
  a_posxml->NodePush();
  for (bool blMore = a_posxml->NodeChild() == OS_STS_SUCCESS; blMore && !blFound;
       blMore = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    char szName[s_lName];
    if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS || szName[0] != 'v') continue;
    blFound = a_posxml->NodeGetContent(szText, sizeof szText) == OS_STS_SUCCESS;
  }
  a_posxml->NodePop();
  if (!blFound) return OS_STS_SUCCESS;
  const bool blColourFirst = std::strncmp(szText, s_szWindowTagColour, sizeof s_szWindowTagColour - 1) == 0;
  if (blColourFirst) m_pdatabase->EnumDeleteAllItems(pdbdatum);
  const long lCount = m_pdatabase->EnumGetDefaultItemCount(pdbdatum);
  for (const bool blColour : {blColourFirst, !blColourFirst}) {
    for (long l = 0; l < lCount; ++l) {
      const long lPair = m_pdatabase->EnumGetDefaultItem(pdbdatum, l);
      if (IsColourBin(m_pdatabase->GetBinFromWindowBin(static_cast<EDBID_WINDOWBIN>(lPair))) != blColour ||
          m_pdatabase->EnumHasCurrentItem(pdbdatum, lPair))
        continue;
      m_pdatabase->EnumAddItem(pdbdatum, lPair);
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbProfileItem::SetCurrentEnumList(DbLookup2* a_pdblookup2, CDbDatum* a_pdbdatum, COsXml* a_posxml) {
  if (!a_pdbdatum || !a_posxml || !m_pdatabase) return OS_STS_SUCCESS;
  const EDBID edbid = a_pdbdatum->GetId();
  a_posxml->NodePush();
  bool blItems = a_posxml->NodeChild() == OS_STS_SUCCESS;
  if (blItems && NameIs(a_posxml, "enum")) blItems = a_posxml->NodeChild() == OS_STS_SUCCESS;
  if (!blItems) {
    a_posxml->NodePop();
    OsLog(OS_LOG_ERROR, "CDbProfileItem::SetCurrentEnumList() - looking for Enum List data failed...");
    return OS_STS_FAIL;
  }
  bool blAccepted = false;
  long lFirst = 0;
  for (; blItems; blItems = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    char szName[s_lName];
    char szText[s_lValue];
    if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS || szName[0] != 'v' ||
        a_posxml->NodeGetContent(szText, sizeof szText) != OS_STS_SUCCESS)
      continue;
    const DbLookupEnum* pdblookupenum = m_pdatabase->LookupLexiconEnum(a_pdblookup2, szText);
    if (!pdblookupenum) {
      OsLog(OS_LOG_ERROR, "LookupLexiconEnum failed...edbid=%d <%s>", edbid, szText);
      continue;
    }
    if (!m_pdatabase->EnumHasDefaultItem(a_pdbdatum, pdblookupenum->lValue)) {
      OsLogDebug(OS_LOG_INFO, "Discarding unsupported value from profile...%d %d <%s>", edbid, a_pdbdatum->GetBin(),
                 szText);
      continue;
    }
    if (!blAccepted) {
      m_pdatabase->EnumDeleteAllItems(a_pdbdatum);
      lFirst = pdblookupenum->lValue;
      blAccepted = true;
    }
    if (!m_pdatabase->EnumHasCurrentItem(a_pdbdatum, pdblookupenum->lValue))
      m_pdatabase->EnumAddItem(a_pdbdatum, pdblookupenum->lValue);
  }
  a_posxml->NodePop();
  if (blAccepted) WriteDirect(a_pdbdatum, lFirst);
  return OS_STS_SUCCESS;
}
