// Language selection and look-up over the language table, and detection of
// the operating system's language.
#include "os_coslocale.h"

#include <clocale>
#include <cstdlib>
#include <algorithm>
#include <cstring>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosstring.h"

COsLocale* g_poslocale = nullptr;

namespace {

constexpr int s_iLast = OS_LANGUAGE_LAST;  // end marker, never a valid argument

// Registration state per row, process-wide; every row starts at 0.
std::atomic<uint32_t> s_au32state[OS_LANGUAGE_LAST + 1];

std::atomic<PFNOSLOCALENAME> s_pfnoslocalename{nullptr};

bool IsBelowEnd(int a_iId) { return a_iId >= 0 && a_iId < s_iLast; }

uint32_t State(int a_iId) { return s_au32state[a_iId].load(std::memory_order_relaxed); }
void SetState(int a_iId, uint32_t a_u32State) { s_au32state[a_iId].store(a_u32State, std::memory_order_relaxed); }

int Neutral(int a_iId) { return s_oslanguagelookup[a_iId].eoslanguageNeutral; }

// ASCII case folding: the table holds ASCII only, and the C library's
// version would depend on the process locale.
char Lower(char a_c) { return (a_c >= 'A' && a_c <= 'Z') ? static_cast<char>(a_c - 'A' + 'a') : a_c; }

bool EqualNoCase(const char* a_sz1, const char* a_sz2) {
  for (; *a_sz1 && Lower(*a_sz1) == Lower(*a_sz2); ++a_sz1, ++a_sz2) {
  }
  return Lower(*a_sz1) == Lower(*a_sz2);
}

// The first row in [a_iFirst, a_iLast] whose lexicon (or folder) equals the
// name, ignoring case; -1 when none.
int FindRow(const char* a_szName, int a_iFirst, int a_iLast, bool a_blFolder) {
  if (!a_szName) return -1;
  for (int ii = a_iFirst; ii <= a_iLast; ++ii) {
    const char* szField = a_blFolder ? s_oslanguagelookup[ii].szFolder : s_oslanguagelookup[ii].szLexicon;
    if (EqualNoCase(szField, a_szName)) return ii;
  }
  return -1;
}

const char* DefaultLocaleName(const char* a_szVariable) {
  return a_szVariable ? std::getenv(a_szVariable) : std::setlocale(LC_ALL, nullptr);
}

// Copies a locale name from the source into a_szName ("" when unset).
void QueryLocaleName(const char* a_szVariable, char* a_szName, size_t a_sizetName) {
  PFNOSLOCALENAME pfn = s_pfnoslocalename.load();
  const char* szValue = (pfn ? pfn : DefaultLocaleName)(a_szVariable);
  a_szName[0] = '\0';
  if (szValue) COsString::SStrCpy(a_szName, a_sizetName, szValue);
}

// A POSIX locale name split into what the ISO tags can be matched against:
// language[_territory][.codeset][@modifier].
struct OsPosixLocale {
  char szLanguage[4];
  char szTerritory[4];
  char szScript[5];
};

bool IsAlpha(char a_c) { return (a_c >= 'a' && a_c <= 'z') || (a_c >= 'A' && a_c <= 'Z'); }
bool IsDigit(char a_c) { return a_c >= '0' && a_c <= '9'; }
bool IsEndOf(char a_c, const char* a_szStops) { return a_c == '\0' || std::strchr(a_szStops, a_c); }

// Copies 2 or 3 letters (or 3 digits when a_blDigits) ending at a stop.
const char* TakeCode(const char* a_sz, char* a_szCode, size_t a_sizetCode, bool a_blDigits, const char* a_szStops) {
  size_t ii = 0;
  if (a_blDigits && IsDigit(a_sz[0])) {
    if (a_sizetCode < 4) return nullptr;  // three digits and the terminator
    for (; ii < 3 && IsDigit(a_sz[ii]); ++ii) a_szCode[ii] = a_sz[ii];
    if (ii != 3) return nullptr;
  } else {
    // A territory has two letters (or three digits); a language fills its buffer.
    const size_t sizetMax = a_blDigits ? std::min<size_t>(2, a_sizetCode - 1) : a_sizetCode - 1;
    for (; ii < sizetMax && IsAlpha(a_sz[ii]); ++ii) a_szCode[ii] = a_sz[ii];
    if (ii < 2) return nullptr;
  }
  a_szCode[ii] = '\0';
  return IsEndOf(a_sz[ii], a_szStops) ? a_sz + ii : nullptr;
}

bool ParsePosixName(const char* a_szName, OsPosixLocale* a_pposixlocale) {
  *a_pposixlocale = {};
  // A composite name ("LC_CTYPE=...;LC_MESSAGES=...") speaks through its
  // messages category.
  if (std::strchr(a_szName, '=')) {
    const char* szMessages = std::strstr(a_szName, "LC_MESSAGES=");
    if (!szMessages) return false;
    a_szName = szMessages + std::strlen("LC_MESSAGES=");
  }
  const char* sz = TakeCode(a_szName, a_pposixlocale->szLanguage, sizeof(a_pposixlocale->szLanguage), false, "_.@;");
  if (!sz) return false;  // "C", "POSIX", or not a name of this shape
  if (*sz == '_') {
    sz = TakeCode(sz + 1, a_pposixlocale->szTerritory, sizeof(a_pposixlocale->szTerritory), true, ".@;");
    if (!sz) return false;
  }
  if (*sz == '.') sz += std::strcspn(sz, "@;");
  if (*sz == '@') {
    size_t sizet = std::strcspn(sz + 1, ";");
    if (sizet == 5 && std::strncmp(sz + 1, "latin", 5) == 0) COsString::SStrCpy(a_pposixlocale->szScript, 5, "Latn");
    if (sizet == 8 && std::strncmp(sz + 1, "cyrillic", 8) == 0) COsString::SStrCpy(a_pposixlocale->szScript, 5, "Cyrl");
  }
  return true;
}

// An ISO tag of the table ("sr-Latn-BA", also "ru_RU" and a trailing blank).
struct OsIsoTag {
  char szLanguage[4];
  char szScript[5];
  char szRegion[4];
};

void ParseIsoTag(const char* a_szIso, OsIsoTag* a_pisotag) {
  *a_pisotag = {};
  for (int iSubtag = 0; *a_szIso; ++iSubtag) {
    size_t sizet = std::strcspn(a_szIso, "-_ ");
    if (iSubtag == 0 && sizet < sizeof(a_pisotag->szLanguage)) {
      std::memcpy(a_pisotag->szLanguage, a_szIso, sizet);
    } else if (iSubtag > 0 && sizet == 4) {
      std::memcpy(a_pisotag->szScript, a_szIso, sizet);
    } else if (iSubtag > 0 && (sizet == 2 || sizet == 3)) {
      std::memcpy(a_pisotag->szRegion, a_szIso, sizet);
    }
    a_szIso += sizet;
    a_szIso += std::strspn(a_szIso, "-_ ");
  }
}

// The first row whose ISO tag has the locale's language (and territory when
// a_blTerritory); a script from the modifier must agree; 0 when none.
int MatchIsoTag(const OsPosixLocale& a_posixlocale, bool a_blTerritory) {
  if (a_blTerritory && !a_posixlocale.szTerritory[0]) return 0;
  for (int ii = 2; ii < s_iLast; ++ii) {
    OsIsoTag isotag;
    ParseIsoTag(s_oslanguagelookup[ii].szIso, &isotag);
    if (!isotag.szLanguage[0] || !EqualNoCase(isotag.szLanguage, a_posixlocale.szLanguage)) continue;
    if (a_posixlocale.szScript[0] && isotag.szScript[0] && !EqualNoCase(isotag.szScript, a_posixlocale.szScript)) {
      continue;
    }
    if (a_blTerritory && !EqualNoCase(isotag.szRegion, a_posixlocale.szTerritory)) continue;
    return ii;
  }
  return 0;
}

// The row for a POSIX locale name ("de_DE.UTF-8"): language and territory
// first, then the language alone; 0 when none.
int MatchPosixName(const char* a_szName) {
  OsPosixLocale posixlocale;
  if (!ParsePosixName(a_szName, &posixlocale)) return 0;
  int iId = MatchIsoTag(posixlocale, true);
  return iId ? iId : MatchIsoTag(posixlocale, false);
}

}  // namespace

COsLocale::COsLocale() : m_eoslanguage(OS_LANGUAGE_EN_USA), m_blExplicit(false), m_eoslanguageOs(0) {}

COsLocale::~COsLocale() {}

void COsLocale::SetLocaleNameSource(PFNOSLOCALENAME a_pfnoslocalename) { s_pfnoslocalename.store(a_pfnoslocalename); }

EOSSTS COsLocale::SetLanguage(EOSLANGUAGE a_eoslanguage) {
  if (!IsBelowEnd(a_eoslanguage)) {
    OsLog(OS_LOG_ERROR, "SetLanguage bad arg...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (m_blExplicit && m_eoslanguage == a_eoslanguage) {
    OsLog(OS_LOG_INFO, "SetLanguage already %d", a_eoslanguage);
    return OS_STS_SUCCESS;
  }
  EOSLANGUAGE eoslanguage = a_eoslanguage;
  if (eoslanguage == OS_LANGUAGE_NONE || eoslanguage == OS_LANGUAGE_AUTO) eoslanguage = GetCurrentLanguage();
  eoslanguage = CheckLanguage(eoslanguage, true);
  if (eoslanguage == OS_LANGUAGE_NONE) {
    OsLogDebug(OS_LOG_INFO, "SetLanguage: not supported, so use English");
    eoslanguage = OS_LANGUAGE_EN_USA;
  }
  m_eoslanguage = eoslanguage;
  m_blExplicit = true;
  return OS_STS_SUCCESS;
}

EOSSTS COsLocale::SetLanguage(uint16_t a_u16Twain) {
  OsLog(OS_LOG_INFO, "SetLanguageFromTwain(%d)", a_u16Twain);
  for (int ii = OS_LANGUAGE_AUTO; ii < s_iLast; ++ii) {
    uint16_t u16Twain = s_oslanguagelookup[ii].u16Twain;
    // Rows marked 0x4000 share their neutral's code and are never chosen by it.
    if (u16Twain != a_u16Twain || (u16Twain & 0xC000) == 0x4000) continue;
    OsLog(OS_LOG_INFO, "eoslanguage = %d", ii);
    return SetLanguage(static_cast<EOSLANGUAGE>(ii));
  }
  OsLog(OS_LOG_ERROR, "SetLanguageFromTwain could not find TWAIN language %d", a_u16Twain);
  return OS_STS_FAIL;
}

EOSSTS COsLocale::SetLanguage(const char* a_szLexicon) {
  int iId = (a_szLexicon && *a_szLexicon) ? FindRow(a_szLexicon, OS_LANGUAGE_AUTO, s_iLast - 1, false) : -1;
  if (iId < 0) {
    OsLog(OS_LOG_ERROR, "SetLanguage could not find language %s", a_szLexicon ? a_szLexicon : "(null)");
    return OS_STS_FAIL;
  }
  return SetLanguage(static_cast<EOSLANGUAGE>(iId));
}

EOSLANGUAGE COsLocale::GetCurrentLanguage() {
  int iCached = m_eoslanguageOs;
  if (iCached) {
    OsLogDebug(OS_LOG_INFO, "GetCurrentLanguage: already set to %d", iCached);
    return static_cast<EOSLANGUAGE>(iCached);
  }
  // ForceLanguage names a row to use instead of the system's language
  // ("-1", the default, detects it).
  long lForce = OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCELANGUAGE, -1);
  EOSLANGUAGE eoslanguage;
  if (lForce > OS_LANGUAGE_AUTO && lForce < s_iLast) {
    OsLog(OS_LOG_INFO, "GetCurrentLanguage: ForceLanguage=%ld", lForce);
    eoslanguage = static_cast<EOSLANGUAGE>(lForce);
  } else {
    eoslanguage = DetectLanguage();
  }
  m_eoslanguageOs = eoslanguage;
  return eoslanguage;
}

// The C library's locale name against the table's OS locale names (the last
// rows first, so that "english-uk" wins over "english"); then, since the C
// library reports names such as "de_DE.UTF-8" that no row lists, that name
// and the first of LC_ALL, LC_MESSAGES and LANG that is set against the ISO
// tags; English when nothing matches.
EOSLANGUAGE COsLocale::DetectLanguage() {
  char szName[256];
  QueryLocaleName(nullptr, szName, sizeof(szName));
  OsLog(OS_LOG_INFO, "setlocale=<%s>", szName);
  for (int ii = s_iLast - 1; ii >= 2; --ii) {
    if (!s_oslanguagelookup[ii].szOsLocale[0]) {
      OsLogDebug(OS_LOG_INFO, "s_oslanguagelookup[%d]: szOsLocale is not assigned", ii);
      continue;
    }
    if (SearchSemiColonString(s_oslanguagelookup[ii].szOsLocale, szName)) return static_cast<EOSLANGUAGE>(ii);
  }
  int iId = MatchPosixName(szName);
  if (iId) return static_cast<EOSLANGUAGE>(iId);
  for (const char* szVariable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    QueryLocaleName(szVariable, szName, sizeof(szName));
    if (!szName[0]) continue;
    iId = MatchPosixName(szName);
    OsLogDebug(OS_LOG_INFO, "GetCurrentLanguage: %s=<%s> gives %d", szVariable, szName, iId);
    break;  // the first one set decides, as for the C library
  }
  return iId ? static_cast<EOSLANGUAGE>(iId) : OS_LANGUAGE_EN_USA;
}

EOSLANGUAGE COsLocale::GetLanguageId(const char* a_szLexicon) {
  if (!a_szLexicon) return static_cast<EOSLANGUAGE>(m_eoslanguage.load());
  int iId = FindRow(a_szLexicon, OS_LANGUAGE_NONE, s_iLast - 1, false);
  if (iId < 0) {
    OsLog(OS_LOG_INFO, "GetLanguageId: not found (%s)...", a_szLexicon);
    return OS_LANGUAGE_NONE;
  }
  return static_cast<EOSLANGUAGE>(iId);
}

const char* COsLocale::GetLanguageName() { return s_oslanguagelookup[m_eoslanguage].szLexicon; }

const char* COsLocale::GetLanguageLexicon(EOSLANGUAGE a_eoslanguage) {
  int iId = (a_eoslanguage == OS_LANGUAGE_NONE) ? m_eoslanguage.load() : a_eoslanguage;
  if (!IsBelowEnd(iId)) {
    OsLog(OS_LOG_ERROR, "GetLanguageLexicon bad arg (%d)...", iId);
    return s_oslanguagelookup[OS_LANGUAGE_EN_USA].szLexicon;
  }
  // States 0 and 2 have labels of their own; a sub-language (1) or an
  // unsupported one (3) borrows its nearest such ancestor's.
  for (int ii = iId;; ii = Neutral(ii)) {
    uint32_t u32State = State(ii);
    if (u32State == OS_LANGSTATE_UNREGISTERED || u32State == OS_LANGSTATE_SUPPORTED) {
      return s_oslanguagelookup[ii].szLexicon;
    }
    if (Neutral(ii) == ii) break;
  }
  OsLog(OS_LOG_INFO, "GetLanguageLexicon: language not supported %d", iId);
  return s_oslanguagelookup[OS_LANGUAGE_EN_USA].szLexicon;
}

EOSLANGUAGE COsLocale::FindLanguageId(int a_iIndex, EOSLANGFIND a_eoslangfind) {
  const int iCurrent = m_eoslanguage;
  if (a_iIndex < 0) return OS_LANGUAGE_NONE;
  if (a_iIndex == 0) return static_cast<EOSLANGUAGE>(iCurrent);
  // The base: the current language when it is a neutral, else its neutral
  // (or the neutral's acceptable ancestor), which comes second.
  int iBase = iCurrent;
  int iNext = 1;
  if (Neutral(iCurrent) != iCurrent) {
    iBase = CheckLanguage(static_cast<EOSLANGUAGE>(Neutral(iCurrent)), true);
    if (iBase == OS_LANGUAGE_NONE) return OS_LANGUAGE_NONE;
    if (a_iIndex == 1) return static_cast<EOSLANGUAGE>(iBase);
    iNext = 2;
  }
  if (a_eoslangfind == OS_LANGFIND_NEUTRAL) return OS_LANGUAGE_NONE;
  // The base's other sub-languages that are acceptable, in table order.
  for (int ii = iBase + 1; ii < s_iLast && Neutral(ii) == iBase; ++ii) {
    if (ii == iCurrent || CheckLanguage(static_cast<EOSLANGUAGE>(ii), false) == OS_LANGUAGE_NONE) continue;
    if (a_iIndex == iNext) return static_cast<EOSLANGUAGE>(ii);
    ++iNext;
  }
  if (a_eoslangfind == OS_LANGFIND_ENGLISH && iBase != OS_LANGUAGE_EN_USA && a_iIndex == iNext) {
    return OS_LANGUAGE_EN_USA;
  }
  return OS_LANGUAGE_NONE;
}

const char* COsLocale::FindLanguageName(int a_iIndex, EOSLANGFIND a_eoslangfind) {
  EOSLANGUAGE eoslanguage = FindLanguageId(a_iIndex, a_eoslangfind);
  return eoslanguage == OS_LANGUAGE_NONE ? nullptr : s_oslanguagelookup[eoslanguage].szLexicon;
}

const char* COsLocale::FindLanguageDocumentation(int a_iIndex, EOSLANGFIND a_eoslangfind) {
  EOSLANGUAGE eoslanguage = FindLanguageId(a_iIndex, a_eoslangfind);
  return eoslanguage == OS_LANGUAGE_NONE ? nullptr : s_oslanguagelookup[eoslanguage].szFolder;
}

EOSLANGUAGE COsLocale::CheckLanguage(EOSLANGUAGE a_eoslanguage, bool a_blFollowNeutral) {
  if (!IsBelowEnd(a_eoslanguage)) {
    OsLog(OS_LOG_ERROR, "SetLanguage overflow...");
    return OS_LANGUAGE_NONE;
  }
  for (int ii = a_eoslanguage;; ii = Neutral(ii)) {
    uint32_t u32State = State(ii);
    if (u32State > OS_LANGSTATE_UNSUPPORTED) {
      OsLog(OS_LOG_ERROR, "SetLanguage invalid language state...");
      return OS_LANGUAGE_NONE;
    }
    if (u32State != OS_LANGSTATE_UNSUPPORTED) return static_cast<EOSLANGUAGE>(ii);
    if (!a_blFollowNeutral || Neutral(ii) == ii) return OS_LANGUAGE_NONE;
  }
}

EOSLANGUAGE COsLocale::CheckLanguageAndNeutral(EOSLANGUAGE a_eoslanguage, bool a_blUseNeutral,
                                               const char** a_pszLexicon) {
  if (!IsBelowEnd(a_eoslanguage)) {
    OsLog(OS_LOG_ERROR, "CheckLanguageAndNeutral bad arg (%d)...", a_eoslanguage);
    return OS_LANGUAGE_NONE;
  }
  OsLogDebug(OS_LOG_INFO, "CheckLanguageAndNeutral: %d %d", a_eoslanguage, a_blUseNeutral);
  int iChosen = OS_LANGUAGE_NONE;
  int iNeutral = Neutral(a_eoslanguage);
  if (State(a_eoslanguage) == OS_LANGSTATE_SUPPORTED) {
    OsLogDebug(OS_LOG_INFO, "CheckLanguageAndNeutral: given language is supported");
    iChosen = a_eoslanguage;
  } else if (!a_blUseNeutral) {
    return OS_LANGUAGE_NONE;
  } else if (iNeutral == a_eoslanguage) {
    OsLogDebug(OS_LOG_INFO, "CheckLanguageAndNeutral: at neutral and it is not supported");
    return OS_LANGUAGE_NONE;
  } else if (State(iNeutral) == OS_LANGSTATE_SUPPORTED) {
    OsLogDebug(OS_LOG_INFO, "CheckLanguageAndNeutral: neutral is supported (%d)", iNeutral);
    iChosen = iNeutral;
  } else {
    return OS_LANGUAGE_NONE;
  }
  if (a_pszLexicon) *a_pszLexicon = s_oslanguagelookup[iChosen].szLexicon;
  return static_cast<EOSLANGUAGE>(iChosen);
}

EOSLANGUAGE COsLocale::CheckLanguageAndNeutral(const char* a_szLexicon, bool a_blUseNeutral,
                                               const char** a_pszLexicon) {
  int iId = (a_szLexicon && *a_szLexicon) ? FindRow(a_szLexicon, OS_LANGUAGE_AUTO, s_iLast - 1, false) : -1;
  if (iId < 0) {
    OsLog(OS_LOG_INFO, "CheckLanguageAndNeutral not found (%s)...", a_szLexicon ? a_szLexicon : "(null)");
    return OS_LANGUAGE_NONE;
  }
  return CheckLanguageAndNeutral(static_cast<EOSLANGUAGE>(iId), a_blUseNeutral, a_pszLexicon);
}

EOSSTS COsLocale::RegisterLanguage(EOSLANGUAGE a_eoslanguage, int a_iEoslangregister, bool a_blReset) {
  if (!IsBelowEnd(a_eoslanguage)) {
    OsLog(OS_LOG_ERROR, "RegisterLanguage bad arg (%d)...", a_eoslanguage);
    return OS_STS_BAD_ARGUMENT;
  }
  OsLogDebug(OS_LOG_INFO, "RegisterLanguage: %d %d", a_eoslanguage, a_iEoslangregister);
  const bool blDocumentation = (a_iEoslangregister & OS_LANGREGISTER_DOCUMENTATION) != 0;
  if (a_blReset) {
    OsLogDebug(OS_LOG_INFO, "RegisterLanguage: initialize all languages to not supported");
    for (int ii = 0; ii < s_iLast; ++ii) SetState(ii, OS_LANGSTATE_UNSUPPORTED);
    SetState(OS_LANGUAGE_AUTO, OS_LANGSTATE_SUBLANGUAGE);
  }
  if (blDocumentation && !s_oslanguagelookup[a_eoslanguage].szFolder[0]) {
    OsLogDebug(OS_LOG_INFO, "RegisterLanguage: documentation name is blank");
    return OS_STS_SUCCESS;
  }
  SetState(a_eoslanguage, OS_LANGSTATE_SUPPORTED);
  if (!(a_iEoslangregister & OS_LANGREGISTER_SUBLANGUAGES)) {
    OsLogDebug(OS_LOG_INFO, "RegisterLanguage: caller doesn't want sublangs");
  } else if (Neutral(a_eoslanguage) != a_eoslanguage) {
    OsLogDebug(OS_LOG_INFO, "RegisterLanguage: at sublangs, so we are done");
  } else {
    for (int ii = a_eoslanguage + 1; ii < s_iLast && Neutral(ii) == a_eoslanguage; ++ii) {
      if (State(ii) == OS_LANGSTATE_SUPPORTED) continue;
      // Asking for documentation, a sub-language without a folder of its
      // own (the "twain_" rows) has none to offer.
      if (blDocumentation && !s_oslanguagelookup[ii].szFolder[0]) {
        OsLogDebug(OS_LOG_INFO, "RegisterLanguage: sublang %d's documentation name is blank", ii);
        continue;
      }
      OsLogDebug(OS_LOG_INFO, "RegisterLanguage: include sublang at %d (%s)", ii, s_oslanguagelookup[ii].szLexicon);
      SetState(ii, OS_LANGSTATE_SUBLANGUAGE);
    }
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsLocale::RegisterLanguage(const char* a_szName, int a_iEoslangregister, bool a_blReset) {
  const bool blFolder = (a_iEoslangregister & OS_LANGREGISTER_DOCUMENTATION) != 0;
  int iId = (a_szName && *a_szName) ? FindRow(a_szName, OS_LANGUAGE_AUTO, s_iLast - 1, blFolder) : -1;
  if (iId < 0) {
    OsLogDebug(OS_LOG_INFO, "RegisterLanguage not found (%s)...", a_szName ? a_szName : "(null)");
    return OS_STS_BAD_ARGUMENT;
  }
  return RegisterLanguage(static_cast<EOSLANGUAGE>(iId), a_iEoslangregister, a_blReset);
}

EOSLANGUAGE COsLocale::GetRegisteredLanguage(EOSLANGUAGE a_eoslanguageAfter) {
  if (!IsBelowEnd(a_eoslanguageAfter)) {
    OsLog(OS_LOG_ERROR, "GetRegisteredLanguage bad arg (%d)...", a_eoslanguageAfter);
    return OS_LANGUAGE_NONE;
  }
  for (int ii = a_eoslanguageAfter + 1; ii < s_iLast; ++ii) {
    uint32_t u32State = State(ii);
    if (u32State == OS_LANGSTATE_SUBLANGUAGE || u32State == OS_LANGSTATE_SUPPORTED) {
      return static_cast<EOSLANGUAGE>(ii);
    }
  }
  OsLogDebug(OS_LOG_INFO, "GetRegisteredLanguage no more supported languages (%d)...", a_eoslanguageAfter);
  return OS_LANGUAGE_NONE;
}

bool COsLocale::GetLanguageRtl(const char* a_szLexicon) {
  if (!a_szLexicon) return s_oslanguagelookup[m_eoslanguage].u8Rtl != 0;
  int iId = *a_szLexicon ? FindRow(a_szLexicon, OS_LANGUAGE_AUTO, s_iLast - 1, false) : -1;
  if (iId < 0) {
    OsLog(OS_LOG_INFO, "GetLanguageRtl: language not found %s", a_szLexicon);
    return false;
  }
  return s_oslanguagelookup[iId].u8Rtl != 0;
}

const char* COsLocale::GetLangInfo() {
  // One buffer per thread: a caller never sees another thread rewrite it.
  thread_local char s_szLangInfo[512];
  thread_local int s_iLangInfo = -1;
  const int iId = m_eoslanguage;
  if (iId != s_iLangInfo) {
    const OsLanguageLookup& row = s_oslanguagelookup[iId];
    COsString::SStrPrintf(s_szLangInfo, sizeof(s_szLangInfo),
                          "\t\t<languageinfo>\n\t\t\t<language>%s</language>\n\t\t\t<languagefolder><![CDATA[%s]]>"
                          "</languagefolder>\n\t\t\t<languageiso>%s</languageiso>\n\t\t\t<languagertl>%s</languagertl>"
                          "\n\t\t</languageinfo>\n",
                          row.szLexicon, row.szFolder, row.szIso, row.u8Rtl ? "true" : "false");
    s_iLangInfo = iId;
  }
  return s_szLangInfo;
}

int COsLocale::GetMeasurement() { return 2; }

bool COsLocale::SearchSemiColonString(const char* a_szList, const char* a_szText) {
  if (!a_szList || !a_szText) return false;
  while (*a_szList) {
    size_t sizetEntry = std::strcspn(a_szList, ";");
    size_t ii = 0;
    while (ii < sizetEntry && a_szText[ii] && Lower(a_szText[ii]) == Lower(a_szList[ii])) ++ii;
    if (sizetEntry > 0 && ii == sizetEntry) return true;
    a_szList += sizetEntry;
    if (*a_szList == ';') ++a_szList;
  }
  return false;
}
