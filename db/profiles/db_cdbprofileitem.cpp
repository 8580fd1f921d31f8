// A profile item: construction, the text setters, the dump, loading (item 0
// from the DATABASE resource, any other item from its file) and the header.
// The DATABASE resource is read in db_cdbprofileitem_resource.cpp, the
// display texts in db_cdbprofileitem_locale.cpp, INI profiles in
// db_cdbprofileitem_ini.cpp.
#include "db_cdbprofileitem.h"

#include <cstring>

#include "db_profiledocument.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

constexpr char s_szLocalePrefix[] = "l_";
constexpr size_t s_sizetLocalePrefix = sizeof s_szLocalePrefix - 1;
// Every header value fits this; a longer one is skipped by the reader.
constexpr long s_lHeaderValue = 1024;
// The reader's node store grows by this many nodes.
constexpr long s_lAtomIncrement = 4096;
// The dump's field names are padded with dots to this width.
constexpr int s_iDumpWidth = 32;

const char* Text(const char* a_sz) { return a_sz ? a_sz : ""; }
const char* Flag(bool a_bl) { return a_bl ? "true" : "false"; }

// A text into a field: cut to fit (a UTF-8 sequence stays whole), logged.
void CopyCut(char* a_szField, size_t a_sizetField, const char* a_szText, const char* a_szWhat) {
  if (!COsString::SStrCpyCut(a_szField, a_sizetField, Text(a_szText)))
    OsLog(OS_LOG_ERROR, "text cut to its field of %zu bytes...<%s> <%s>", a_sizetField - 1, a_szWhat, a_szField);
}

// One dump line: the field's name padded with dots, then its value.
void DumpLine(const char* a_szField, const char* a_szValue) {
  const int iDots = s_iDumpWidth - static_cast<int>(std::strlen(a_szField));
  OsLog(OS_LOG_ERROR, "dmp>>> %s%.*s<%s>", a_szField, iDots > 0 ? iDots : 0, "................................",
        a_szValue);
}

// A profile file read whole; false (logged) when it cannot be used.
bool ReadProfile(const char* a_szPath, dbprofile::ProfileText* a_pprofiletext) {
  switch (dbprofile::ReadText(a_szPath, a_pprofiletext)) {
    case dbprofile::READTEXT_OK: return true;
    case dbprofile::READTEXT_SHORT:
      OsLog(OS_LOG_ERROR, "OsMemGetSettings failed...%d", static_cast<int>(a_pprofiletext->sizet));
      return false;
    case dbprofile::READTEXT_LARGE:
      OsLog(OS_LOG_ERROR, "profile too large...<%s> %zu", a_szPath, a_pprofiletext->sizet);
      return false;
    default: OsLog(OS_LOG_ERROR, "Failed to open profile...<%s>", a_szPath); return false;
  }
}

}  // namespace

static_assert(CDbProfileItem::s_iShareSlots == dbprofile::s_iShareSlots);

CDbProfileItem::CDbProfileItem(const char* a_szFilename, const char* a_szGraphicFilename,
                               const char* a_szInstalledDirectory, const char* a_szInstalledGraphicsDirectory,
                               const char* a_szOwnDirectory, const char* a_szOwnGraphicsDirectory,
                               CDatabase* a_pdatabase, COsXmlTask* a_posxmltask)
    : m_blIsProfileDatabaseResource(false),
      m_blIsProfileHidden(false),
      m_blIsProfileDefault(false),
      m_blIsProfileInstalled(false),
      m_blIsProfileReadonly(false),
      m_blIsProfileUser(false),
      m_pdatabase(a_pdatabase),
      m_plocale(nullptr),
      m_pi64Share(nullptr),
      m_posxmltask(a_posxmltask),
      m_szVersion{},
      m_szFamily{},
      m_szFilename{},
      m_szGraphicFilename{},
      m_szGroup{},
      m_szId{},
      m_szInstalledDirectory(Text(a_szInstalledDirectory)),
      m_szInstalledGraphicsDirectory(Text(a_szInstalledGraphicsDirectory)),
      m_szName{},
      m_szOwnDirectory(Text(a_szOwnDirectory)),
      m_szOwnGraphicsDirectory(Text(a_szOwnGraphicsDirectory)) {
  COsString::SStrCpy(m_szFilename, sizeof m_szFilename, Text(a_szFilename));
  COsString::SStrCpy(m_szGraphicFilename, sizeof m_szGraphicFilename, Text(a_szGraphicFilename));
}

CDbProfileItem::~CDbProfileItem() {
  if (m_plocale) OsMemFree(m_plocale);
  if (m_pi64Share) OsMemFree(m_pi64Share);
}

// ---------------------------------------------------------------------------
// Setters and the dump
// ---------------------------------------------------------------------------
void CDbProfileItem::SetName(const char* a_szName) { CopyCut(m_szName, sizeof m_szName, a_szName, "name"); }
void CDbProfileItem::SetId(const char* a_szId) { CopyCut(m_szId, sizeof m_szId, a_szId, "profileid"); }
void CDbProfileItem::SetGroup(const char* a_szGroup) { CopyCut(m_szGroup, sizeof m_szGroup, a_szGroup, "group"); }
void CDbProfileItem::SetFamily(const char* a_szFamily) { CopyCut(m_szFamily, sizeof m_szFamily, a_szFamily, "family"); }
void CDbProfileItem::SetDriverVersion(const char* a_szDriverVersion) {
  CopyCut(m_szVersion, sizeof m_szVersion, a_szDriverVersion, "driverversion");
}
void CDbProfileItem::SetGraphicFilename(const char* a_szGraphicFilename) {
  COsString::SStrCpy(m_szGraphicFilename, sizeof m_szGraphicFilename, Text(a_szGraphicFilename));
}

void CDbProfileItem::Dump() {
  const struct {
    const char* szField;
    const char* szValue;
  } afield[] = {{"m_szId", m_szId},
                {"m_szName", m_szName},
                {"m_szVersion", m_szVersion},
                {"m_szFamily", m_szFamily},
                {"m_szGroup", m_szGroup},
                {"m_szFilename", m_szFilename},
                {"m_szGraphicFilename", m_szGraphicFilename},
                {"m_blIsProfileDatabaseResource", Flag(m_blIsProfileDatabaseResource)},
                {"m_blIsProfileHidden", Flag(m_blIsProfileHidden)},
                {"m_blIsProfileDefault", Flag(m_blIsProfileDefault)},
                {"m_blIsProfileInstalled", Flag(m_blIsProfileInstalled)},
                {"m_blIsProfileReadonly", Flag(m_blIsProfileReadonly)},
                {"m_blIsProfileUser", Flag(m_blIsProfileUser)}};
  for (const auto& field : afield) DumpLine(field.szField, field.szValue);
  if (!m_plocale) return;
  for (long l = 0; l < s_lLocales; ++l) {
    if (m_plocale[l].szName[0])
      OsLog(OS_LOG_ERROR, "dmp>>> %s........................<%s>", m_plocale[l].szName, m_plocale[l].szText);
  }
}

// A log line holds a few kilobytes: a longer document is logged in part.
void CDbProfileItem::DumpProfile(const char* a_szLabel, const char* a_szText, size_t a_sizetText) {
  if (!a_szText) return;
  const char* pcText = dbprofile::SkipBom(a_szText, &a_sizetText);
  OsLogDebug(OS_LOG_INFO, "%s Profile>>> %.*s", Text(a_szLabel), static_cast<int>(a_sizetText), pcText);
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
// Item 0 loads whatever its shared values: a "profile.share" that cannot be
// read is left on disk, logged, and its defaults are used.
EOSSTS CDbProfileItem::Load(bool a_blHeaderOnly, bool a_blResetFlags, bool a_blConvertIni,
                            bool a_blStopAfterConversion) {
  if (m_szFilename[0]) return LoadFile(a_blResetFlags, a_blConvertIni, a_blStopAfterConversion);
  EOSSTS eossts = LoadDatabaseResource(a_blHeaderOnly);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...");
    return eossts;
  }
  if (a_blResetFlags) {
    m_blIsProfileDatabaseResource = true;
    m_blIsProfileInstalled = true;
    m_blIsProfileHidden = false;
    m_blIsProfileReadonly = false;
    m_blIsProfileUser = false;
  }
  m_blIsProfileDefault = true;
  if (LoadShare(true) != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "LoadShare failed...");
  return OS_STS_SUCCESS;
}

// The header of the item's file; the values are read when it is applied.
EOSSTS CDbProfileItem::LoadFile(bool a_blResetFlags, bool a_blConvertIni, bool a_blStopAfterConversion) {
  dbprofile::ProfileText profiletext{};
  if (!ReadProfile(m_szFilename, &profiletext)) return OS_STS_FAIL;
  OsLogDebug(OS_LOG_INFO, "profile: original <%s> %u <%.*s>", m_szFilename, static_cast<unsigned>(profiletext.sizet),
             static_cast<int>(profiletext.sizet), profiletext.psz);
  if (!dbprofile::IsXml(profiletext.psz, profiletext.sizet)) {
    dbprofile::FreeText(&profiletext);
    OsLogDebug(OS_LOG_INFO, "profile: not a standard profile...");
    if (!a_blConvertIni) return OS_STS_FAIL;
    const EOSSTS eossts = ConvertIni2Xml(m_szFilename, true, nullptr, 0);
    if (eossts != OS_STS_SUCCESS || a_blStopAfterConversion) return eossts;
    if (!ReadProfile(m_szFilename, &profiletext)) return OS_STS_FAIL;
  }
  const EOSSTS eossts = LoadDocument(profiletext.psz, profiletext.sizet, a_blResetFlags);
  dbprofile::FreeText(&profiletext);
  return eossts;
}

// The root "profile" whose first child is its "header".
EOSSTS CDbProfileItem::LoadDocument(const char* a_szText, size_t a_sizetText, bool a_blResetFlags) {
  const char* pcText = a_szText[0] == '\xEF' ? dbprofile::SkipBom(a_szText, &a_sizetText) : a_szText;
  OsLogDebug(OS_LOG_INFO, "profile: final %d <%.*s>", static_cast<int>(a_sizetText), static_cast<int>(a_sizetText),
             pcText);
  COsXml osxml;
  osxml.SetAtomIncrement(s_lAtomIncrement);
  char szName[64];
  if (osxml.DocumentLoad(pcText, static_cast<long>(a_sizetText)) != OS_STS_SUCCESS ||
      osxml.NodeRewind() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...");
    return OS_STS_FAIL;
  }
  if (osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS || std::strcmp(szName, "profile") != 0) {
    OsLog(OS_LOG_ERROR, "profile tag not found...");
    return OS_STS_FAIL;
  }
  if (osxml.NodeChild() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "empty profile...");
    return OS_STS_FAIL;
  }
  if (osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS || std::strcmp(szName, "header") != 0) {
    OsLog(OS_LOG_ERROR, "header tag not found...");
    return OS_STS_FAIL;
  }
  if (a_blResetFlags) {
    m_blIsProfileDatabaseResource = m_blIsProfileHidden = m_blIsProfileDefault = false;
    m_blIsProfileInstalled = m_blIsProfileReadonly = m_blIsProfileUser = false;
  }
  return LoadHeader(&osxml);
}

// Children in any order; names not listed are skipped. A text too long for
// its field is cut (logged): the profile keeps a name rather than none.
EOSSTS CDbProfileItem::LoadHeader(COsXml* a_posxml) {
  if (!a_posxml) {
    OsLog(OS_LOG_ERROR, "a_posxml is null...");
    return OS_STS_FAIL;
  }
  if (a_posxml->NodePush() != OS_STS_SUCCESS) return OS_STS_FAIL;
  const struct {
    const char* szName;
    char* szField;
    size_t sizetField;
  } afield[] = {{"id", m_szName, sizeof m_szName},
                {"driverversion", m_szVersion, sizeof m_szVersion},
                {"family", m_szFamily, sizeof m_szFamily},
                {"group", m_szGroup, sizeof m_szGroup},
                {"profileid", m_szId, sizeof m_szId}};
  EOSSTS eossts = OS_STS_SUCCESS;
  char szName[64];
  char szValue[s_lHeaderValue];
  for (bool blMore = a_posxml->NodeChild() == OS_STS_SUCCESS; blMore && eossts == OS_STS_SUCCESS;
       blMore = a_posxml->NodeSibling() == OS_STS_SUCCESS) {
    if (a_posxml->NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) continue;
    if (a_posxml->NodeGetContent(szValue, sizeof szValue) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "NodeGetContent failed...<%s>", szName);
      continue;
    }
    bool blDone = false;
    for (const auto& field : afield) {
      if (std::strcmp(szName, field.szName) != 0) continue;
      CopyCut(field.szField, field.sizetField, szValue, field.szName);
      blDone = true;
    }
    if (blDone) continue;
    if (std::strcmp(szName, "readonly") == 0) {
      m_blIsProfileReadonly = std::strcmp(szValue, "true") == 0;
    } else if (std::strcmp(szName, "hidden") == 0) {
      m_blIsProfileHidden = std::strcmp(szValue, "true") == 0;
    } else if (std::strcmp(szName, "graphicfilename") == 0) {
      SetGraphic(szValue);
    } else if (std::strncmp(szName, s_szLocalePrefix, s_sizetLocalePrefix) == 0) {
      if (std::strcmp(szName, "l_ja_jpn") == 0) {
        OsLogDebug(OS_LOG_INFO, "LoadHeader: switch to l_jp_jpn");
        COsString::SStrCpy(szName, sizeof szName, "l_jp_jpn");
      }
      if (!m_plocale) m_plocale = static_cast<Locale*>(OsMemAlloc(s_lLocales * sizeof(Locale)));
      if (!m_plocale) {
        OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
        eossts = OS_STS_FAIL;
        continue;
      }
      AddLocale(szName, szValue);
    }
  }
  a_posxml->NodePop();
  return eossts;
}

// Only the picture's file name counts: it lies in the own graphics
// directory (a directory in the header could lead out of it). Without that
// directory the name stands alone.
void CDbProfileItem::SetGraphic(const char* a_szName) {
  if (!a_szName[0]) return;
  const char* szFile = dbprofile::FileNamePart(a_szName);
  if (szFile != a_szName) OsLog(OS_LOG_ERROR, "graphicfilename keeps its file name only...<%s>", a_szName);
  if (!szFile[0] || std::strcmp(szFile, ".") == 0 || std::strcmp(szFile, "..") == 0) {
    OsLog(OS_LOG_ERROR, "graphicfilename names no file...<%s>", a_szName);
    return;
  }
  if (!m_szOwnGraphicsDirectory[0]) {
    COsString::SStrCpy(m_szGraphicFilename, sizeof m_szGraphicFilename, szFile);
  } else if (!COsFile::PathJoin(m_szGraphicFilename, sizeof m_szGraphicFilename, m_szOwnGraphicsDirectory, szFile)) {
    OsLog(OS_LOG_ERROR, "PathJoin failed...<%s>", szFile);
    m_szGraphicFilename[0] = '\0';
  }
}
