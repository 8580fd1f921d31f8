// The datum's values: initialisation, long and string generations, stores
// with their notifications and callbacks, the undo point and device values.
#include <cstring>
#include <initializer_list>

#include "db_cdbdatum.h"
#include "db_cdblookup.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

// The table slot, or null for one outside the table.
CDbDatum* SlotAt(int a_iWindow, int a_iId, int a_iBin) {
  DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  if (!pdatumcommon || a_iWindow < 0 || a_iWindow >= DB_WINDOW_COUNT || a_iId < 0 || a_iId >= DB_ID_COUNT ||
      a_iBin < 0 || a_iBin >= DB_BIN_COUNT) {
    return nullptr;
  }
  return pdatumcommon->apdbdatum[a_iWindow][a_iId][a_iBin];
}

// The bytes of a UTF-8 character that starts with this byte; 1 for a byte
// that starts none.
size_t SequenceLength(unsigned char a_uc) {
  if (a_uc >= 0xC0 && a_uc < 0xE0) return 2;
  if (a_uc >= 0xE0 && a_uc < 0xF0) return 3;
  if (a_uc >= 0xF0 && a_uc < 0xF8) return 4;
  return 1;
}

bool InProfile(const DbLookup2* a_pdblookup2) {
  return a_pdblookup2 && (a_pdblookup2->lTwainGroup & DB_GROUP_PROFILE) != 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Initialisation
// ---------------------------------------------------------------------------
void CDbDatum::InitDatumLong(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                             long a_lCurrent, long a_lDefault) {
  m_edbid = a_edbid;
  m_edbbin = a_edbbin;
  m_edbdatatype = DB_DATATYPE_LONG;
  m_edbaccess = a_edbaccess;
  m_edbdevicedata = a_edbdevicedata;
  m_lCurrent = a_lCurrent;
  m_lDefault = a_lDefault;
  m_lPrevious = a_lCurrent;
  m_lProfile = a_lCurrent;
}

EOSSTS CDbDatum::InitDatumString(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess,
                                 EDBDEVICEDATA a_edbdevicedata, size_t a_sizetMaxString, char* a_szCurrent,
                                 char* a_szDefault, char* a_szRestore, char* a_szPrevious, char* a_szProfile) {
  if (a_sizetMaxString == 0) {
    OsLog(OS_LOG_ERROR, "a_sizetMaxString too small...%d", a_edbid);
    return DB_EOSSTS_BADARGUMENT;
  }
  const struct {
    const char* szText;
    const char* szMessage;
  } aCheck[] = {{a_szCurrent, "a_szCurrent is NULL...%d"},   {a_szDefault, "a_szDefault is NULL...%d"},
                {a_szRestore, "a_szRestore is NULL...%d"},   {a_szPrevious, "a_szPrevious is NULL...%d"},
                {a_szProfile, "a_szProfile is NULL...%d"}};
  for (const auto& check : aCheck) {
    if (!check.szText) {
      OsLog(OS_LOG_ERROR, check.szMessage, a_edbid);
      return DB_EOSSTS_BADARGUMENT;
    }
  }
  for (const char* szText : {a_szCurrent, a_szDefault, a_szProfile}) {
    if (CountCharacters(szText) >= a_sizetMaxString) {
      OsLog(OS_LOG_ERROR, "a_lMaxString too small...%d", a_edbid);
      return DB_EOSSTS_BADARGUMENT;
    }
  }
  m_edbid = a_edbid;
  m_edbbin = a_edbbin;
  m_edbdatatype = DB_DATATYPE_STRING;
  m_edbaccess = a_edbaccess;
  m_edbdevicedata = a_edbdevicedata;
  m_sizetMaxString = a_sizetMaxString;
  m_szCurrent = a_szCurrent;
  m_szDefault = a_szDefault;
  m_szRestore = a_szRestore;
  m_szPrevious = a_szPrevious;
  m_szProfile = a_szProfile;
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------
size_t CDbDatum::CountCharacters(const char* a_szText) {
  if (!a_szText || !*a_szText) return 0;
  const size_t sizetCharacters = COsString::SUtf8Len(a_szText);
  if (sizetCharacters > 0) return sizetCharacters;
  size_t sizetCount = 0;
  for (const auto* pu = reinterpret_cast<const unsigned char*>(a_szText); *pu; ++sizetCount) {
    const size_t sizetSequence = SequenceLength(*pu++);
    for (size_t sizet = 1; sizet < sizetSequence && (*pu & 0xC0) == 0x80; ++sizet) ++pu;
  }
  return sizetCount;
}

bool CDbDatum::IsLong() {
  if (m_edbdatatype == DB_DATATYPE_LONG) return true;
  OsLog(OS_LOG_ERROR, "%d is not a DB_DATATYPE_LONG...", m_edbid);
  return false;
}

bool CDbDatum::IsString() {
  if (m_edbdatatype == DB_DATATYPE_STRING) return true;
  OsLog(OS_LOG_ERROR, "%d is not a DB_DATATYPE_STRING...", m_edbid);
  return false;
}

// Characters are limited by the datum's maximum, bytes by the buffer: a text
// of the buffer's size or more could not be copied and would leave the old
// value in place behind a success.
bool CDbDatum::TextFits(const char* a_szText) {
  return CountCharacters(a_szText) <= m_sizetMaxString && std::strlen(a_szText) < DB_STRING_SIZE;
}

EOSSTS CDbDatum::CheckText(const char* a_szText, const char* a_szTooLarge) {
  if (!TextFits(a_szText)) {
    OsLog(OS_LOG_ERROR, a_szTooLarge, m_edbid, a_szText);
    return DB_EOSSTS_REFUSED;
  }
  return OS_STS_SUCCESS;
}

void CDbDatum::RunCallback(EDBCALLBACK a_edbcallback) {
  int iIndex = a_edbcallback - 1;
  if (iIndex < 0 || iIndex >= 5 || !m_apfndbcallback[iIndex]) return;
  DbCallbackRecord dbcallbackrecord = {this, GetDatabase(), m_apvCallbackUser[iIndex]};
  m_apfndbcallback[iIndex](&dbcallbackrecord);
}

EOSSTS CDbDatum::RegisterCallback(EDBCALLBACK a_edbcallback, PFNDBCALLBACK a_pfndbcallback, void* a_pvUser) {
  if (a_edbcallback < DB_CALLBACK_GETLONG || a_edbcallback > DB_CALLBACK_LOAD) {
    OsLog(OS_LOG_ERROR, "bad a_edbcallback...%d", a_edbcallback);
    return DB_EOSSTS_BADARGUMENT;
  }
  m_apfndbcallback[a_edbcallback - 1] = a_pfndbcallback;
  m_apvCallbackUser[a_edbcallback - 1] = a_pvUser;
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Long values
// ---------------------------------------------------------------------------
long CDbDatum::GetCurrentLong() {
  IsLong();
  if (!TestDbState(DB_STATE_FIXUP)) RunCallback(DB_CALLBACK_GETLONG);
  return m_lCurrent;
}

long CDbDatum::GetCurrentLongNoCallback() {
  IsLong();
  return m_lCurrent;
}

long CDbDatum::GetRestoreLong() {
  IsLong();
  return m_lRestore;
}

long CDbDatum::GetPreviousLong() {
  IsLong();
  return m_lPrevious;
}

long CDbDatum::GetProfileLong() {
  IsLong();
  return m_lProfile;
}

void CDbDatum::SetProfileLong(long a_lProfile) {
  if (IsLong()) m_lProfile = a_lProfile;
}

long CDbDatum::GetDefaultLong() {
  CDbDatum* pdbdatumMaster = SlotAt(0, m_edbid, m_edbbin);
  if (!pdbdatumMaster) pdbdatumMaster = this;
  pdbdatumMaster->IsLong();
  return pdbdatumMaster->m_lDefault;
}

void CDbDatum::SetDefaultLong(long a_lDefault) {
  if (IsLong()) m_lDefault = a_lDefault;
}

EOSSTS CDbDatum::SetCurrentLong(long a_lCurrent) {
  if (a_lCurrent != m_lCurrent || TestDbState(DB_STATE_APPLICATION) || TestDbState(DB_STATE_GUI)) {
    return ForceCurrentLong(a_lCurrent);
  }
  return OS_STS_SUCCESS;
}

EOSSTS CDbDatum::ForceCurrentLong(long a_lCurrent) {
  if (!IsLong()) return DB_EOSSTS_BADARGUMENT;
  NotifySet(DB_NOTIFY_VALUE);
  if (InProfile(m_pdblookup2) && m_edbid != DB_ID_WINDOWBIN) NotifyMark(DB_NOTIFY_PROFILES, a_lCurrent != m_lProfile);
  m_lPrevious = m_lCurrent;
  m_lCurrent = a_lCurrent;
  RunCallback(DB_CALLBACK_SETLONG);
  if (m_edbbin >= DB_BIN_BITONAL_FRONT) CompareAcrossBins(a_lCurrent);
  OsLogDebug(OS_LOG_INFO, "=== %s(%d,%d):%ld was:%ld", m_szName ? m_szName : "", m_edbidwindow, m_edbbin, m_lCurrent,
             m_lPrevious);
  return OS_STS_SUCCESS;
}

long CDbDatum::CopyCurrentLong(long a_lCurrent) {
  long lOld = m_lCurrent;
  m_lPrevious = m_lCurrent;
  m_lCurrent = a_lCurrent;
  return lOld;
}

void CDbDatum::FixDefaultResetLong(long a_lCurrent) {
  m_lPrevious = m_lCurrent;
  m_lCurrent = a_lCurrent;
  RunCallback(DB_CALLBACK_SETLONG);
}

// ---------------------------------------------------------------------------
// String values
// ---------------------------------------------------------------------------
char* CDbDatum::GetCurrentString() {
  if (!IsString()) return nullptr;
  if (!TestDbState(DB_STATE_FIXUP)) RunCallback(DB_CALLBACK_GETSTRING);
  return m_szCurrent;
}

char* CDbDatum::GetCurrentStringNoCallback() { return IsString() ? m_szCurrent : nullptr; }
char* CDbDatum::GetDefaultString() { return IsString() ? m_szDefault : nullptr; }
char* CDbDatum::GetPreviousString() { return IsString() ? m_szPrevious : nullptr; }
char* CDbDatum::GetProfilesString() { return IsString() ? m_szProfile : nullptr; }
size_t CDbDatum::GetSizetMaxString() { return m_sizetMaxString; }

EOSSTS CDbDatum::SetSizetMaxString(size_t a_sizetMaxString) {
  m_sizetMaxString = a_sizetMaxString;
  return OS_STS_SUCCESS;
}

// The default is measured in bytes against the maximum.
EOSSTS CDbDatum::SetDefaultString(const char* a_szDefault) {
  if (!IsString()) return DB_EOSSTS_BADARGUMENT;
  if (!a_szDefault) {
    OsLog(OS_LOG_ERROR, "a_szDefault is NULL...%d", m_edbid);
    return DB_EOSSTS_BADARGUMENT;
  }
  size_t sizetBytes = std::strlen(a_szDefault);
  if (sizetBytes > m_sizetMaxString || sizetBytes >= DB_STRING_SIZE) {
    OsLog(OS_LOG_ERROR, "a_szDefault is too large...%d <%s>", m_edbid, a_szDefault);
    return DB_EOSSTS_REFUSED;
  }
  if (a_szDefault != m_szDefault) std::memmove(m_szDefault, a_szDefault, sizetBytes + 1);
  return OS_STS_SUCCESS;
}

EOSSTS CDbDatum::SetCurrentString(const char* a_szCurrent) {
  if (TestDbState(DB_STATE_APPLICATION) || TestDbState(DB_STATE_GUI)) return ForceCurrentString(a_szCurrent);
  if (!IsString()) return DB_EOSSTS_BADARGUMENT;
  if (!a_szCurrent) {
    OsLog(OS_LOG_ERROR, "a_szCurrent is NULL...%d", m_edbid);
    return DB_EOSSTS_BADARGUMENT;
  }
  EOSSTS eossts = CheckText(a_szCurrent, "a_szCurrent is too large...%d <%s>");
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (std::strcmp(a_szCurrent, m_szCurrent) == 0) return OS_STS_SUCCESS;
  return ForceCurrentString(a_szCurrent);
}

EOSSTS CDbDatum::ForceCurrentString(const char* a_szCurrent) {
  if (!IsString()) return DB_EOSSTS_BADARGUMENT;
  if (!a_szCurrent) {
    OsLog(OS_LOG_ERROR, "a_szCurrent is NULL...%d", m_edbid);
    return DB_EOSSTS_BADARGUMENT;
  }
  EOSSTS eossts = CheckText(a_szCurrent, "a_szCurrent is too large...%d <%s>");
  if (eossts != OS_STS_SUCCESS) return eossts;
  NotifySet(DB_NOTIFY_VALUE);
  if (InProfile(m_pdblookup2)) NotifyMark(DB_NOTIFY_PROFILES, std::strcmp(a_szCurrent, m_szProfile) != 0);
  StoreText(a_szCurrent);
  RunCallback(DB_CALLBACK_SETSTRING);
  if (m_edbbin >= DB_BIN_BITONAL_FRONT) CompareAcrossBins(reinterpret_cast<long>(m_szCurrent));
  return OS_STS_SUCCESS;
}

// previous := current; current := the text. The text is taken aside first:
// it may be one of this datum's own buffers.
void CDbDatum::StoreText(const char* a_szText) {
  char szText[DB_STRING_SIZE];
  std::memcpy(szText, a_szText, std::strlen(a_szText) + 1);
  std::memmove(m_szPrevious, m_szCurrent, std::strlen(m_szCurrent) + 1);
  std::memcpy(m_szCurrent, szText, std::strlen(szText) + 1);
}

// Silent stores take only texts that fit; anything else leaves both
// generations as they were.
bool CDbDatum::CopyText(const char* a_szCurrent) {
  if (!IsString()) return false;
  if (!a_szCurrent || std::strlen(a_szCurrent) >= DB_STRING_SIZE) {
    OsLog(OS_LOG_ERROR, "a_szCurrent is NULL or too large...%d", m_edbid);
    return false;
  }
  StoreText(a_szCurrent);
  return true;
}

void CDbDatum::CopyCurrentString(const char* a_szCurrent) { CopyText(a_szCurrent); }

void CDbDatum::FixDefaultResetString(const char* a_szCurrent) {
  if (CopyText(a_szCurrent)) RunCallback(DB_CALLBACK_SETSTRING);
}

EOSSTS CDbDatum::UpdateProfilesString() {
  if (IsString()) std::memmove(m_szProfile, m_szCurrent, std::strlen(m_szCurrent) + 1);
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Side and image comparisons
// ---------------------------------------------------------------------------
// Whether, in any window in use, the datum of a bin (this one's own datum
// aside) holds a value that the new one would change, asked of the master
// of that bin. A set in every window in use comes here once per window: the
// master and its access (which a window copy without its own takes) are
// read once.
bool CDbDatum::DiffersInWindows(EDBBIN a_edbbin, long a_lValue) {
  const long lWindows = GetWindowMax();
  CDbDatum* pdbdatumMaster = SlotAt(0, m_edbid, a_edbbin);
  if (m_edbidwindow >= lWindows || !pdbdatumMaster) return false;
  for (int iWindow = 0; iWindow < lWindows; ++iWindow) {
    if (a_edbbin == m_edbbin && iWindow == m_edbidwindow) continue;
    CDbDatum* pdbdatum = iWindow == 0 ? pdbdatumMaster : SlotAt(iWindow, m_edbid, a_edbbin);
    if (!pdbdatum) continue;
    const EDBACCESS edbaccess = pdbdatum->m_edbaccess != DB_ACCESS_NOTSUPPORTED || iWindow == 0
                                    ? pdbdatum->m_edbaccess
                                    : pdbdatumMaster->m_edbaccess;
    if (edbaccess == DB_ACCESS_NOTSUPPORTED) continue;
    long lValue = m_edbdatatype == DB_DATATYPE_STRING ? reinterpret_cast<long>(pdbdatum->m_szCurrent)
                                                       : pdbdatum->m_lCurrent;
    if (pdbdatumMaster->Compare(lValue, a_lValue)) return true;
  }
  return false;
}

// The sides differ where this bin or the other side differs, the images
// where this bin or the other colour mode does: this bin is asked once.
void CDbDatum::CompareAcrossBins(long a_lValue) {
  const bool blOwn = DiffersInWindows(m_edbbin, a_lValue);
  NotifyMark(DB_NOTIFY_SIDES, blOwn || DiffersInWindows(GetBinOtherSide(m_edbbin), a_lValue));
  NotifyMark(DB_NOTIFY_IMAGES, blOwn || DiffersInWindows(GetBinSameSide(m_edbbin), a_lValue));
}

// ---------------------------------------------------------------------------
// Undo point, device values and loading
// ---------------------------------------------------------------------------
void CDbDatum::Remember() {
  if (m_edbdatatype == DB_DATATYPE_LONG) {
    m_lRestore = m_lCurrent;
  } else if (m_edbdatatype == DB_DATATYPE_STRING) {
    std::memmove(m_szRestore, m_szCurrent, std::strlen(m_szCurrent) + 1);
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized datatype");
  }
}

void CDbDatum::Restore() {
  if (m_edbdatatype == DB_DATATYPE_LONG) {
    SetCurrentLong(m_lRestore);
  } else if (m_edbdatatype == DB_DATATYPE_STRING) {
    SetCurrentString(m_szRestore);
  } else {
    OsLog(OS_LOG_ERROR, "Unrecognized datatype");
    return;
  }
  ClearModified();
}

bool CDbDatum::CompareCurrentWithRestoreValue() {
  if (m_edbdatatype == DB_DATATYPE_LONG) return m_lCurrent != m_lRestore;
  if (m_edbdatatype == DB_DATATYPE_STRING) return std::strcmp(m_szCurrent, m_szRestore) != 0;
  OsLog(OS_LOG_ERROR, "Unrecognized datatype");
  return false;
}

void CDbDatum::DeviceUpdate() {
  if (m_edbaccess == DB_ACCESS_NOTSUPPORTED) return;
  if (m_edbdatatype != DB_DATATYPE_LONG && m_edbdatatype != DB_DATATYPE_STRING) {
    OsLog(OS_LOG_ERROR, "Unrecognized datatype");
    return;
  }
  SetDbState(DB_STATE_DEVICEUPDATE);
  RunCallback(m_edbdatatype == DB_DATATYPE_LONG ? DB_CALLBACK_SETLONG : DB_CALLBACK_SETSTRING);
  ClearDbState(DB_STATE_DEVICEUPDATE);
}

void CDbDatum::Load() { RunCallback(DB_CALLBACK_LOAD); }
