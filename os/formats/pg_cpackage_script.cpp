// The package script: "[PACKAGE]" and "[FILE]" sections of KEY=value lines
// with comments, read into the header table; line numbers count line feeds,
// so a script whose lines end in CR alone is all on line 1.
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "pg_cpackage.h"
#include "pg_cpackagefields.h"

namespace {
constexpr char s_szParse[] = "ParseScriptData";

bool IsBlank(char a_c) { return a_c == ' ' || a_c == '\t'; }

// Cuts leading and trailing blanks in place.
char* Trim(char* a_sz) {
  while (IsBlank(*a_sz)) ++a_sz;
  size_t sizetLength = std::strlen(a_sz);
  while (sizetLength && IsBlank(a_sz[sizetLength - 1])) a_sz[--sizetLength] = '\0';
  return a_sz;
}

const PgType* TypeNamed(const char* a_szName) {
  for (const auto& pgtype : s_apgtype) {
    if (std::strcmp(pgtype.szName, a_szName) == 0) return &pgtype;
  }
  return nullptr;
}

// Package type from the third folder of a backslash path: "CT", "FW", "LG" or "CD".
uint32_t TypeOfFolder(const char* a_szFolder) {
  static const PgName s_apgname[] = {{"CT", PG_TYPE_COLORTABLE}, {"FW", PG_TYPE_FIRMWARE},
                                     {"LG", PG_TYPE_LANGUAGE},   {"CD", PG_TYPE_ECDO}};
  for (const auto& pgname : s_apgname) {
    if (strcasecmp(pgname.szName, a_szFolder) == 0) return pgname.u32Value;
  }
  return 0;
}
}  // namespace

int CPackage::OpenScript(const char* a_szScript) {
  if (!a_szScript) return Fail("OpenScript", "Invalid Parameter");
  Close();
  const char* szExtension = std::strrchr(a_szScript, '.');
  const char* szSlash = std::strrchr(a_szScript, '/');
  size_t sizetStem = szExtension && (!szSlash || szExtension > szSlash) ? static_cast<size_t>(szExtension - a_szScript)
                                                                         : std::strlen(a_szScript);
  if (COsString::SStrPrintf(m_szPackage, sizeof m_szPackage, "%.*s", static_cast<int>(sizetStem), a_szScript) < 0) {
    return Fail("OpenScript", "Unable to open file: %s", a_szScript);
  }
  m_pau8Headers = m_au8Table;
  uint64_t u64Size = 0;
  size_t sizetRead = 0;
  if (m_osfileScript.Open(a_szScript, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    Forget();
    return Fail("OpenScript", "Unable to open file: %s", a_szScript);
  }
  if (m_osfileScript.Size64(&u64Size) != OS_STS_SUCCESS || u64Size > (64u << 20)) {
    Forget();
    return Fail("OpenScript", "Unable to get file size: %s", a_szScript);
  }
  std::vector<char> vecScript(static_cast<size_t>(u64Size) + 1, '\0');
  if (m_osfileScript.Read(vecScript.data(), static_cast<size_t>(u64Size), &sizetRead) != OS_STS_SUCCESS ||
      sizetRead != u64Size) {
    Forget();
    return Fail("OpenScript", "Unable to read file: %s", a_szScript);
  }
  m_osfileScript.Close();
  // Folders of a backslash path give version, model and type; keys override them.
  char szPath[512], *szSave = nullptr;
  COsString::SStrCpy(szPath, sizeof szPath, a_szScript);
  int iPart = 0;
  for (char* szPart = std::strchr(szPath, '\\') ? COsString::SStrTok(szPath, "\\", &szSave) : nullptr; szPart;
       szPart = COsString::SStrTok(nullptr, "\\", &szSave), ++iPart) {
    if (iPart == 1) PgSetText(Header(0), s_sizetPgPackageVersion, s_sizetPgVersionLength, szPart);
    if (iPart == 2) OsFilePutU64(Header(0) + s_sizetPgModel, std::strtoull(szPart, nullptr, 10));
    if (iPart == 3) OsFilePutU32(Header(0) + s_sizetPgPackageType, TypeOfFolder(szPart));
  }
  if (ParseScriptData(vecScript.data(), static_cast<size_t>(u64Size)) != PG_SUCCESS) {
    Forget();
    return PG_FAIL;
  }
  const PgType* ppgtype = PgTypeOf(OsFileGetU32(Header(0) + s_sizetPgPackageType));
  if (ppgtype && ppgtype->blPackage) COsString::SStrCat(m_szPackage, sizeof m_szPackage, ppgtype->szExtension);
  m_u32Current = 1;
  return PG_SUCCESS;
}

int CPackage::ParseScriptData(const char* a_szScript, size_t a_sizetScript) {
  long lLine = 1, lSection = 0, lFiles = 0, lLast = 0;
  std::vector<char> vecLine, vecLast(1, '\0');
  for (size_t sizetAt = 0; sizetAt < a_sizetScript;) {
    size_t sizetEnd = sizetAt;
    while (sizetEnd < a_sizetScript && a_szScript[sizetEnd] != '\r' && a_szScript[sizetEnd] != '\n') ++sizetEnd;
    vecLine.assign(a_szScript + sizetAt, a_szScript + sizetEnd);
    vecLine.push_back('\0');
    if (sizetEnd > sizetAt || sizetEnd < a_sizetScript) {
      lLast = lLine;
      vecLast = vecLine;
    }
    if (ParseLine(lLine, vecLine.data(), &lSection, &lFiles) != PG_SUCCESS) return PG_FAIL;
    if (sizetEnd < a_sizetScript && a_szScript[sizetEnd] == '\n') ++lLine;
    sizetAt = sizetEnd + 1;
  }
  m_u32Files = static_cast<uint32_t>(lFiles);
  return CheckScript(lLast, vecLast.data());
}

// The section is the header the lines fill (0: the package); going back to
// "[PACKAGE]" keeps the count of files, so a later "[FILE]" is the next one.
int CPackage::ParseLine(long a_lLine, char* a_szLine, long* a_plSection, long* a_plFiles) {
  char* szComment = std::strchr(a_szLine, ';');
  if (szComment) *szComment = '\0';
  char* szLine = Trim(a_szLine);
  if (!*szLine) return PG_SUCCESS;
  if (*szLine == '[') {
    if (std::strcmp(szLine, "[PACKAGE]") == 0) {
      *a_plSection = 0;
    } else if (std::strcmp(szLine, "[FILE]") != 0) {
      return Fail(s_szParse, "Unexpected '[' on line %ld: %s", a_lLine, szLine);
    } else if (++*a_plFiles >= static_cast<long>(s_sizetHeaders)) {
      return Fail(s_szParse, "Too many files on line %ld: %s", a_lLine, szLine);
    } else {
      *a_plSection = *a_plFiles;
    }
    return PG_SUCCESS;
  }
  char* szEquals = std::strchr(szLine, '=');
  if (!szEquals) return Fail(s_szParse, "Unexpected line %ld: %s", a_lLine, szLine);
  // Keep the line whole for the messages.
  char szKey[64] = {}, szValue[512] = {};
  std::memcpy(szKey, szLine, std::min(static_cast<size_t>(szEquals - szLine), sizeof szKey - 1));
  std::memcpy(szValue, szEquals + 1, std::min(std::strlen(szEquals + 1), sizeof szValue - 1));
  char* szName = Trim(szKey);
  char* szText = Trim(szValue);
  size_t sizetText = std::strlen(szText);
  if (sizetText >= 2 && szText[0] == '"' && szText[sizetText - 1] == '"') {
    szText[sizetText - 1] = '\0';
    ++szText;
  }
  bool blPackage = *a_plSection == 0;
  uint8_t* pu8 = Header(static_cast<uint32_t>(*a_plSection));
  if (std::strcmp(szName, "DESCRIPTION") == 0) {
    PgSetText(pu8, blPackage ? s_sizetPgPackageText : s_sizetPgText, s_sizetPgTextLength, szText);
  } else if (std::strcmp(szName, "VERSION") == 0) {
    PgSetText(pu8, blPackage ? s_sizetPgPackageVersion : s_sizetPgVersion, s_sizetPgVersionLength, szText);
  } else if (std::strcmp(szName, "TYPE") == 0) {
    const PgType* ppgtype = TypeNamed(szText);
    if (!ppgtype) return Fail(s_szParse, "Unrecognized value on line %ld: %s", a_lLine, szLine);
    if (blPackage && !ppgtype->blPackage) return Fail(s_szParse, "Invalid value on line %ld: %s", a_lLine, szLine);
    OsFilePutU32(pu8 + (blPackage ? s_sizetPgPackageType : s_sizetPgType), ppgtype->u32Value);
  } else if (std::strcmp(szName, "MODEL") == 0 || std::strcmp(szName, "NAME") == 0 ||
             std::strcmp(szName, "DESTINATION") == 0) {
    bool blModel = szName[0] == 'M';
    if (blModel != blPackage) return Fail(s_szParse, "Invalid field on line %ld: %s", a_lLine, szLine);
    if (blModel) {
      char* szEnd = nullptr;
      unsigned long long ullModel = std::strtoull(szText, &szEnd, 10);
      if (!*szText || *szEnd) return Fail(s_szParse, "Invalid value on line %ld: %s", a_lLine, szLine);
      OsFilePutU64(pu8 + s_sizetPgModel, ullModel);
    } else if (szName[0] == 'N') {
      // The name is made in the package's directory: no path, and it must fit.
      if (std::strlen(szText) >= s_sizetPgNameLength || !PgSafeName(szText)) {
        return Fail(s_szParse, "Invalid value on line %ld: %s", a_lLine, szLine);
      }
      PgSetText(pu8, s_sizetPgName, s_sizetPgNameLength, szText);
    } else {
      uint32_t u32Destination = 0;
      for (const auto& pgname : s_apgnameDestination) {
        if (std::strcmp(pgname.szName, szText) == 0) u32Destination = pgname.u32Value;
      }
      if (!u32Destination) return Fail(s_szParse, "Unrecognized value on line %ld: %s", a_lLine, szLine);
      OsFilePutU32(pu8 + s_sizetPgDestination, u32Destination);
    }
  } else {
    return Fail(s_szParse, "Unrecognized field on line %ld: %s", a_lLine, szLine);
  }
  return PG_SUCCESS;
}

// Fields every script must give, in the order they are checked.
int CPackage::CheckScript(long a_lLines, const char* a_szLast) {
  if (!*PgText(Header(0), s_sizetPgPackageText)) return Fail(s_szParse, "Missing %ld: %s", a_lLines, a_szLast);
  for (uint32_t u32File = 1; u32File <= m_u32Files; ++u32File) {
    const uint8_t* pu8 = Header(u32File);
    const char* szMissing = !*PgText(pu8, s_sizetPgName)                    ? "NAME"
                            : !OsFileGetU32(pu8 + s_sizetPgDestination)    ? "DESTINATION"
                            : !OsFileGetU32(pu8 + s_sizetPgType)           ? "TYPE"
                            : !*PgText(pu8, s_sizetPgText)                 ? "DESCRIPTION"
                            : !*PgText(pu8, s_sizetPgVersion)              ? "VERSION"
                                                                           : nullptr;
    if (szMissing) return Fail(s_szParse, "Missing %s for file %ld", szMissing, static_cast<long>(u32File));
  }
  return PG_SUCCESS;
}
