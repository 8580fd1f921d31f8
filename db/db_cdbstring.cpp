// The string container: its buffers and initialisation, validation, resets
// and the task argument in a CDATA section.
#include "db_cdbstring.h"

#include <cstring>
#include <initializer_list>

#include "db_cdblookup.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxmltask.h"

CDbString::CDbString()
    : m_szCurrentString{},
      m_szDefaultString{},
      m_szRestoreString{},
      m_szPreviousString{},
      m_szProfileString{} {
  m_edbcontainertypeObject = DB_CONTAINERTYPE_STRING;
  InitString(DB_ID_UNDEFINED, DB_BIN_SEARCH, DB_ACCESS_NOTSUPPORTED, DB_DEVICEDATA_NONE, DB_STRING_SIZE, "", "", "",
             "");
}

CDbString::CDbString(EDBID a_edbid, EDBBIN a_edbbin) : CDbString() { InitCDbDatum(a_edbid, a_edbbin, this); }

CDbString::~CDbString() = default;

// The texts are copied as given (not measured against the maximum); one of
// 1024 bytes or more is refused by the bounded copy and leaves its buffer empty.
EOSSTS CDbString::InitString(EDBID a_edbid, EDBBIN a_edbbin, EDBACCESS a_edbaccess, EDBDEVICEDATA a_edbdevicedata,
                             size_t a_sizetMaxString, const char* a_szCurrent, const char* a_szDefault,
                             const char* a_szPrevious, const char* a_szProfile) {
  for (char* sz : {m_szCurrentString, m_szDefaultString, m_szRestoreString, m_szPreviousString, m_szProfileString})
    std::memset(sz, 0, DB_STRING_SIZE);
  if (a_sizetMaxString > DB_STRING_SIZE) {
    OsLog(OS_LOG_ERROR, "String request is too large (id=%d)...%d > %d", a_edbid, static_cast<int>(a_sizetMaxString),
          static_cast<int>(DB_STRING_SIZE));
    a_sizetMaxString = DB_STRING_SIZE;
  }
  m_edbcontainertype = DB_CONTAINERTYPE_STRING;
  if (InitDatumString(a_edbid, a_edbbin, a_edbaccess, a_edbdevicedata, a_sizetMaxString, m_szCurrentString,
                      m_szDefaultString, m_szRestoreString, m_szPreviousString, m_szProfileString) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "InitDatumString failed...");
  }
  const struct {
    char* szBuffer;
    const char* szText;
  } acopy[] = {{m_szCurrentString, a_szCurrent},
               {m_szProfileString, a_szProfile},
               {m_szDefaultString, a_szDefault},
               {m_szPreviousString, a_szPrevious}};
  for (const auto& copy : acopy) {
    if (copy.szText) COsString::SStrCpy(copy.szBuffer, DB_STRING_SIZE, copy.szText);
  }
  return OS_STS_SUCCESS;
}

void CDbString::Reset() {
  std::memcpy(m_szCurrentString, m_szDefaultString, DB_STRING_SIZE);
  NotifySet(DB_NOTIFY_VALUE);
}

void CDbString::FixDefaultReset() { std::memcpy(m_szCurrentString, m_szDefaultString, DB_STRING_SIZE); }

void CDbString::Copy(long a_lValue) { CopyCurrentString(reinterpret_cast<const char*>(a_lValue)); }

// Characters count against the maximum; a text the buffers cannot hold is
// refused like one over the maximum.
EOSSTS CDbString::Validate(EDBID_WINDOW, const char* a_szValue) {
  if (!IsModifiable()) return DB_EOSSTS_NOTMODIFIABLE;
  if (!a_szValue) return DB_EOSSTS_REFUSED;
  if (CountCharacters(a_szValue) > m_sizetMaxString || std::strlen(a_szValue) >= DB_STRING_SIZE)
    return DB_EOSSTS_REFUSED;
  return OS_STS_SUCCESS;
}

EOSSTS CDbString::FixAccess() { return OS_STS_SUCCESS; }

EOSSTS CDbString::FixCurrent() { return OS_STS_SUCCESS; }

EOSSTS CDbString::FixDefault() {
  CDbDatum::FixDefault();
  return OS_STS_SUCCESS;
}

bool CDbString::Compare(long a_lA, long a_lB) {
  const char* szA = reinterpret_cast<const char*>(a_lA);
  const char* szB = reinterpret_cast<const char*>(a_lB);
  if (!szA || !szB) return szA != szB;
  return std::strcmp(szA, szB) != 0;
}

// The text whose address the value carries, whole, in a CDATA section. A text
// that would end the section early, or that the datum could not hold, is not
// written.
void CDbString::MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) {
  const char* szText = reinterpret_cast<const char*>(a_lValue);
  if (!szText) {
    OsLog(OS_LOG_ERROR, "a_szCurrent is NULL...%d", m_edbid);
    return;
  }
  if (std::strstr(szText, "]]>") || CountCharacters(szText) > m_sizetMaxString ||
      std::strlen(szText) >= DB_STRING_SIZE) {
    OsLog(OS_LOG_ERROR, "text refused for the task...%d <%s>", m_edbid, szText);
    return;
  }
  COsXmlTask* posxmltask = LexiconTask();
  if (posxmltask && ConsumersMatch(GetDeviceData(), a_edbdevicedataTarget))
    posxmltask->AddArgumentSafe(m_pdblookup2->szLexicon, szText);
}
