// A profile's display texts by language: the table read from the header,
// the text shown in a language or in the current language order, the copy
// of another item's table, and the reconciliation of a user profile with
// the installed profile it copies.
#include <strings.h>

#include <cstring>

#include "db_cdbprofileitem.h"
#include "os_coslocale.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

constexpr char s_szLocalePrefix[] = "l_";
constexpr size_t s_sizetLocalePrefix = sizeof s_szLocalePrefix - 1;

// A language without its "l_".
const char* Language(const char* a_szName) {
  return strncasecmp(a_szName, s_szLocalePrefix, s_sizetLocalePrefix) == 0 ? a_szName + s_sizetLocalePrefix : a_szName;
}

}  // namespace

// The first text of a name stays; with every entry used a text is dropped.
// A name too long for an entry is no language: dropped; a text too long is
// cut.
void CDbProfileItem::AddLocale(const char* a_szName, const char* a_szText) {
  if (std::strlen(a_szName) >= s_sizetLocaleName) {
    OsLog(OS_LOG_ERROR, "locale name too long, text dropped...<%s>", a_szName);
    return;
  }
  for (long l = 0; l < s_lLocales; ++l) {
    Locale& locale = m_plocale[l];
    if (std::strcmp(locale.szName, a_szName) == 0) return;
    if (locale.szName[0]) continue;
    COsString::SStrCpy(locale.szName, sizeof locale.szName, a_szName);
    if (!COsString::SStrCpyCut(locale.szText, sizeof locale.szText, a_szText))
      OsLog(OS_LOG_ERROR, "text cut to its field of %zu bytes...<%s> <%s>", sizeof locale.szText - 1, a_szName,
            locale.szText);
    return;
  }
}

void CDbProfileItem::DropLocale() {
  if (m_plocale) OsMemFree(m_plocale);
  m_plocale = nullptr;
}

EOSSTS CDbProfileItem::CopyDbProfileLocale(const CDbProfileItem* a_pdbprofileitem) {
  if (a_pdbprofileitem == this) return OS_STS_SUCCESS;
  DropLocale();
  if (!a_pdbprofileitem || !a_pdbprofileitem->m_plocale) return OS_STS_SUCCESS;
  m_plocale = static_cast<Locale*>(OsMemAlloc(s_lLocales * sizeof(Locale)));
  if (!m_plocale) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
    return OS_STS_FAIL;
  }
  std::memcpy(m_plocale, a_pdbprofileitem->m_plocale, s_lLocales * sizeof(Locale));
  return OS_STS_SUCCESS;
}

// The user's copy shows the installed texts only while it shows what the
// installed profile shows: a renamed copy shows its own name.
EOSSTS CDbProfileItem::FixLocale(const CDbProfileItem* a_pdbprofileitemInstalled, bool a_blForce) {
  if (!a_pdbprofileitemInstalled || !m_blIsProfileUser || std::strcmp(m_szId, a_pdbprofileitemInstalled->m_szId) != 0) {
    OsLog(OS_LOG_ERROR, "FixLocale wasn't called properly...");
    return OS_STS_FAIL;
  }
  if (!a_pdbprofileitemInstalled->m_plocale) {
    OsLogDebug(OS_LOG_INFO, "Installed profile doesn't have locale information...");
    DropLocale();
    return OS_STS_SUCCESS;
  }
  if (!a_blForce && std::strcmp(GetLocaleText(nullptr), a_pdbprofileitemInstalled->GetLocaleText(nullptr)) == 0) {
    if (m_plocale) return OS_STS_SUCCESS;
    if (CopyDbProfileLocale(a_pdbprofileitemInstalled) != OS_STS_SUCCESS) return OS_STS_FAIL;
    const char* szEnglish = FindLocale("en_usa");
    if (szEnglish) SetName(szEnglish);
    return OS_STS_SUCCESS;
  }
  DropLocale();
  return OS_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Display texts
// ---------------------------------------------------------------------------
const char* CDbProfileItem::FindLocale(const char* a_szLanguage) const {
  if (!m_plocale) return nullptr;
  const char* szLanguage = Language(a_szLanguage);
  for (long l = 0; l < s_lLocales; ++l) {
    const Locale& locale = m_plocale[l];
    if (locale.szName[0] && strcasecmp(Language(locale.szName), szLanguage) == 0) return locale.szText;
  }
  return nullptr;
}

const char* CDbProfileItem::GetLocaleText(const char* a_szLanguage) const {
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
