// The package object: its state and messages, the test mode of OpenFile,
// the header fields handed out by Get, and the walk over its files.
#include "pg_cpackage.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "pg_cpackagefields.h"

namespace {
constexpr char s_szTestText[] = "Test file: INTERNAL USE ONLY";
constexpr char s_szTestVersion[] = "Pre-release";

// Copies a text cut to the buffer, always terminated.
void CopyCut(void* a_pvBuffer, size_t a_sizetBuffer, const char* a_szText, size_t a_sizetField) {
  char* szBuffer = static_cast<char*>(a_pvBuffer);
  size_t sizetLength = strnlen(a_szText, a_sizetField);
  if (sizetLength >= a_sizetBuffer) sizetLength = a_sizetBuffer - 1;
  std::memcpy(szBuffer, a_szText, sizetLength);
  szBuffer[sizetLength] = '\0';
}

void CopyNumber(void* a_pvBuffer, size_t a_sizetBuffer, unsigned long long a_ullValue) {
  char szNumber[24];
  std::snprintf(szNumber, sizeof szNumber, "%llu", a_ullValue);
  CopyCut(a_pvBuffer, a_sizetBuffer, szNumber, sizeof szNumber);
}
}  // namespace

CPackage::CPackage()
    : m_u32Current(0), m_u32Files(0), m_szPackage{}, m_szMessage{}, m_pau8Headers(nullptr), m_au8Table{},
      m_blNewPass(true), m_blNextFile(true), m_u32PacketFile(0), m_u64PacketTotal(0), m_u64PacketRead(0),
      m_u64PacketFileRead(0) {}

CPackage::~CPackage() { Close(); }

int CPackage::Fail(const char* a_szOperation, const char* a_szFormat, ...) {
  va_list valist;
  va_start(valist, a_szFormat);
  std::vsnprintf(m_szMessage, sizeof m_szMessage, a_szFormat, valist);
  va_end(valist);
  OsLog(OS_LOG_ERROR, "CPackage::%s(): %s", a_szOperation, m_szMessage);
  return PG_FAIL;
}

int CPackage::Close() {
  Forget();
  m_szMessage[0] = '\0';
  return PG_SUCCESS;
}

void CPackage::Forget() {
  EndPass();
  m_osfilePackage.Close();
  m_osfileScript.Close();
  m_osfileField.Close();
  m_u32Current = 0;
  m_u32Files = 0;
  m_szPackage[0] = '\0';
  m_pau8Headers = nullptr;
  std::memset(m_au8Table, 0, sizeof m_au8Table);
}

int CPackage::OpenFile(const char* a_szPath) {
  if (!a_szPath) return Fail("OpenFile", "Invalid Parameter");
  const char* szExtension = std::strrchr(a_szPath, '.');
  const char* szSlash = std::strrchr(a_szPath, '/');
  if (szExtension && szSlash && szExtension < szSlash) szExtension = nullptr;
  if (szExtension && strcasecmp(szExtension, ".script") == 0) return OpenScript(a_szPath);
  // One firmware file, packed beside itself for testing.
  Close();
  const char* szName = szSlash ? szSlash + 1 : a_szPath;
  size_t sizetStem = szExtension ? static_cast<size_t>(szExtension - a_szPath) : std::strlen(a_szPath);
  if (std::strlen(szName) >= s_sizetPgNameLength || !PgSafeName(szName) ||
      COsString::SStrPrintf(m_szPackage, sizeof m_szPackage, "%.*s.qvpgfw", static_cast<int>(sizetStem), a_szPath) < 0) {
    Forget();
    return Fail("OpenFile", "Invalid Parameter");
  }
  m_pau8Headers = m_au8Table;
  OsFilePutU32(Header(0) + s_sizetPgPackageType, PG_TYPE_FIRMWARE);
  PgSetText(Header(0), s_sizetPgPackageText, s_sizetPgTextLength, s_szTestText);
  PgSetText(Header(0), s_sizetPgPackageVersion, s_sizetPgVersionLength, s_szTestVersion);
  PgSetText(Header(1), s_sizetPgName, s_sizetPgNameLength, szName);
  OsFilePutU32(Header(1) + s_sizetPgType, PG_TYPE_FIRMWARE);
  OsFilePutU32(Header(1) + s_sizetPgDestination, PG_DESTINATION_SCANNER);
  PgSetText(Header(1), s_sizetPgText, s_sizetPgTextLength, s_szTestText);
  PgSetText(Header(1), s_sizetPgVersion, s_sizetPgVersionLength, s_szTestVersion);
  m_u32Files = 1;
  m_u32Current = 1;
  return PG_SUCCESS;
}

int CPackage::FileFirst() {
  m_u32Current = 1;
  return PG_SUCCESS;
}

int CPackage::FileNext() {
  if (m_u32Current >= m_u32Files) return Fail("FileNext", "No more Files");
  ++m_u32Current;
  return PG_SUCCESS;
}

int CPackage::Get(EPGFIELD a_epgfield, void* a_pvBuffer, size_t a_sizetBuffer) {
  if (!a_pvBuffer || a_sizetBuffer == 0) return Fail("Get", "Invalid Parameter");
  if (a_epgfield == PG_FIELD_MESSAGE) {
    CopyCut(a_pvBuffer, a_sizetBuffer, m_szMessage, sizeof m_szMessage);
    return PG_SUCCESS;
  }
  if (a_epgfield < PG_FIELD_DATA || a_epgfield > PG_FIELD_PACKAGEVERSION) {
    return Fail("Get", "Unrecognized field: %d", static_cast<int>(a_epgfield));
  }
  if (!m_pau8Headers) return Fail("Get", "No package");
  const uint8_t* pu8Package = Header(0);
  switch (a_epgfield) {
    case PG_FIELD_PACKAGEMODEL: CopyNumber(a_pvBuffer, a_sizetBuffer, OsFileGetU64(pu8Package + s_sizetPgModel)); return PG_SUCCESS;
    case PG_FIELD_PACKAGEDESCRIPTION:
      CopyCut(a_pvBuffer, a_sizetBuffer, PgText(pu8Package, s_sizetPgPackageText), s_sizetPgTextLength);
      return PG_SUCCESS;
    case PG_FIELD_PACKAGETYPE: CopyNumber(a_pvBuffer, a_sizetBuffer, OsFileGetU32(pu8Package + s_sizetPgPackageType)); return PG_SUCCESS;
    case PG_FIELD_PACKAGEVERSION:
      CopyCut(a_pvBuffer, a_sizetBuffer, PgText(pu8Package, s_sizetPgPackageVersion), s_sizetPgVersionLength);
      return PG_SUCCESS;
    default: break;
  }
  if (m_u32Current < 1 || m_u32Current > m_u32Files) return Fail("Get", "No current file");
  const uint8_t* pu8File = Header(m_u32Current);
  uint64_t u64Size = OsFileGetU64(pu8File + s_sizetPgSize);
  switch (a_epgfield) {
    case PG_FIELD_MODELDATA:
      std::memcpy(a_pvBuffer, pu8File + s_sizetPgModelData,
                  a_sizetBuffer < s_sizetPgModelDataLength ? a_sizetBuffer : s_sizetPgModelDataLength);
      return PG_SUCCESS;
    case PG_FIELD_DESCRIPTION: CopyCut(a_pvBuffer, a_sizetBuffer, PgText(pu8File, s_sizetPgText), s_sizetPgTextLength); return PG_SUCCESS;
    case PG_FIELD_DESTINATION: CopyNumber(a_pvBuffer, a_sizetBuffer, OsFileGetU32(pu8File + s_sizetPgDestination)); return PG_SUCCESS;
    case PG_FIELD_NAME: CopyCut(a_pvBuffer, a_sizetBuffer, PgText(pu8File, s_sizetPgName), s_sizetPgNameLength); return PG_SUCCESS;
    case PG_FIELD_SIZE: CopyNumber(a_pvBuffer, a_sizetBuffer, u64Size); return PG_SUCCESS;
    case PG_FIELD_TYPE: CopyNumber(a_pvBuffer, a_sizetBuffer, OsFileGetU32(pu8File + s_sizetPgType)); return PG_SUCCESS;
    case PG_FIELD_VERSION: CopyCut(a_pvBuffer, a_sizetBuffer, PgText(pu8File, s_sizetPgVersion), s_sizetPgVersionLength); return PG_SUCCESS;
    default: break;
  }
  // The data, read from the package at the file's offset.
  COsFile& osfile = m_osfileField;
  size_t sizetWanted = a_sizetBuffer < u64Size ? a_sizetBuffer : static_cast<size_t>(u64Size), sizetRead = 0;
  if (osfile.Open(m_szPackage, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    return Fail("Get", "Unable to open file: %s", m_szPackage);
  }
  int iResult = PG_SUCCESS;
  if (osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(OsFileGetU64(pu8File + s_sizetPgOffset))) !=
      OS_STS_SUCCESS) {
    iResult = Fail("Get", "Unable to set file pointer: %s", m_szPackage);
  } else if (osfile.Read(a_pvBuffer, sizetWanted, &sizetRead) != OS_STS_SUCCESS || sizetRead != sizetWanted) {
    iResult = Fail("Get", "Unable to read file: %s", m_szPackage);
  }
  osfile.Close();
  return iResult;
}

int CPackage::Set(EPGFIELD a_epgfield, const char* a_szText) {
  OsLogDebug(OS_LOG_INFO, "CPackage::Set...%d %s", static_cast<int>(a_epgfield), a_szText ? a_szText : "(null)");
  return PG_FAIL;
}

int CPackage::BaseNameFromDir(const char* a_szDirectory, char* a_szPath, size_t a_sizetPath) {
  if (!a_szDirectory || !a_szPath || a_sizetPath == 0) return PG_FAIL;
  char szDirectory[512];
  if (COsString::SStrPrintf(szDirectory, sizeof szDirectory, "%s", a_szDirectory) < 0) return PG_FAIL;
  size_t sizetLength = std::strlen(szDirectory);
  if (sizetLength && szDirectory[sizetLength - 1] == '\\') szDirectory[--sizetLength] = '\0';
  const char* szLast = std::strrchr(szDirectory, '\\');
  szLast = szLast ? szLast + 1 : szDirectory;
  return COsString::SStrPrintf(a_szPath, a_sizetPath, "%s\\%s", szDirectory, szLast) < 0 ? PG_FAIL : PG_SUCCESS;
}
