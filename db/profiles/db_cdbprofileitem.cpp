// A profile item: construction, loading of item 0, the header and the
// display texts by language. The DATABASE resource is read in
// db_cdbprofileitem_resource.cpp.
#include "db_cdbprofileitem.h"

#include <strings.h>

#include <cstring>

#include "os_cosfile.h"
#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

constexpr char s_szLocalePrefix[] = "l_";
constexpr size_t s_sizetLocalePrefix = sizeof s_szLocalePrefix - 1;
// Every header value fits this; a longer one is refused by the reader.
constexpr long s_lHeaderValue = 1024;

const char* Text(const char* a_sz) { return a_sz ? a_sz : ""; }

// A language without its "l_".
const char* Language(const char* a_szName) {
  return strncasecmp(a_szName, s_szLocalePrefix, s_sizetLocalePrefix) == 0 ? a_szName + s_sizetLocalePrefix : a_szName;
}

}  // namespace

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
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------
EOSSTS CDbProfileItem::Load(bool a_blHeaderOnly, bool a_blResetFlags, bool, bool) {
  if (m_szFilename[0]) {
    OsLog(OS_LOG_ERROR, "Unsupported profile operation...<%s>", "Load");
    return OS_STS_FAIL;
  }
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
  return OS_STS_SUCCESS;
}

// Children in any order; names not listed are skipped. A text too long for
// its field is refused by the bounded copy (logged) and the field kept.
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
      COsString::SStrCpy(field.szField, field.sizetField, szValue);
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

// The picture lies in the own graphics directory; without one the name
// stands alone.
void CDbProfileItem::SetGraphic(const char* a_szName) {
  if (!a_szName[0]) return;
  if (!m_szOwnGraphicsDirectory[0]) {
    COsString::SStrCpy(m_szGraphicFilename, sizeof m_szGraphicFilename, a_szName);
  } else if (!COsFile::PathJoin(m_szGraphicFilename, sizeof m_szGraphicFilename, m_szOwnGraphicsDirectory, a_szName)) {
    OsLog(OS_LOG_ERROR, "PathJoin failed...<%s>", a_szName);
  }
}

// The first text of a name stays; with every entry used a text is dropped.
void CDbProfileItem::AddLocale(const char* a_szName, const char* a_szText) {
  for (long l = 0; l < s_lLocales; ++l) {
    Locale& locale = m_plocale[l];
    if (std::strcmp(locale.szName, a_szName) == 0) return;
    if (locale.szName[0]) continue;
    COsString::SStrCpy(locale.szName, sizeof locale.szName, a_szName);
    COsString::SStrCpy(locale.szText, sizeof locale.szText, a_szText);
    return;
  }
}

// ---------------------------------------------------------------------------
// Display texts
// ---------------------------------------------------------------------------
const char* CDbProfileItem::FindLocale(const char* a_szLanguage) {
  const char* szLanguage = Language(a_szLanguage);
  for (long l = 0; l < s_lLocales; ++l) {
    const Locale& locale = m_plocale[l];
    if (locale.szName[0] && strcasecmp(Language(locale.szName), szLanguage) == 0) return locale.szText;
  }
  return nullptr;
}

const char* CDbProfileItem::GetLocaleText(const char* a_szLanguage) {
  if (!m_plocale) return m_szName;
  if (a_szLanguage) {
    const char* szText = FindLocale(a_szLanguage);
    return szText ? szText : m_szName;
  }
  if (!g_poslocale) return m_szName;
  // The current language, its relatives, then US English.
  for (int i = 0; i < OS_LANGUAGE_LAST; ++i) {
    const char* szLanguage = g_poslocale->FindLanguageName(i, OS_LANGFIND_ENGLISH);
    if (!szLanguage) break;
    const char* szText = FindLocale(szLanguage);
    if (szText) return szText;
  }
  return m_szName;
}
