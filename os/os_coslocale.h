// Languages and text encodings: the table of languages the driver can speak,
// the current language and its fallbacks, the registered (supported) set, and
// conversions between UTF-8, UTF-16, wchar_t (UTF-32) and the platform's
// multibyte encoding.
//
// The database compiler reads this header as a name table: every line of the
// form "OS_LANGUAGE_<name> = <decimal>" names one language, so keep those lines
// in that shape and let no other line begin with that prefix.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "os_def.h"

// Row of the language table. 0 is no language, 1 the operating system's
// language, 39 English (the default and last fallback), 131 the end marker;
// valid arguments are below 131.
enum EOSLANGUAGE : int {
  OS_LANGUAGE_NONE = 0,
  OS_LANGUAGE_AUTO = 1,
  OS_LANGUAGE_AF_ZAF = 2,
  OS_LANGUAGE_SQ_ALB = 3,
  OS_LANGUAGE_AR_ARB = 4,
  OS_LANGUAGE_AR_DZA = 5,
  OS_LANGUAGE_AR_BHR = 6,
  OS_LANGUAGE_AR_EGY = 7,
  OS_LANGUAGE_AR_IRQ = 8,
  OS_LANGUAGE_AR_JOR = 9,
  OS_LANGUAGE_AR_KWT = 10,
  OS_LANGUAGE_AR_LBN = 11,
  OS_LANGUAGE_AR_LBY = 12,
  OS_LANGUAGE_AR_MAR = 13,
  OS_LANGUAGE_AR_OMN = 14,
  OS_LANGUAGE_AR_QAT = 15,
  OS_LANGUAGE_TWAIN_AR_ARB = 16,
  OS_LANGUAGE_AR_SYR = 17,
  OS_LANGUAGE_AR_TUN = 18,
  OS_LANGUAGE_AR_ARE = 19,
  OS_LANGUAGE_AR_YEM = 20,
  OS_LANGUAGE_AS_IND = 21,
  OS_LANGUAGE_EU_ESP = 22,
  OS_LANGUAGE_BE_BLR = 23,
  OS_LANGUAGE_BG_BGR = 24,
  OS_LANGUAGE_CA_ESP = 25,
  OS_LANGUAGE_CH_CHN = 26,
  OS_LANGUAGE_TWAIN_CH_PRC = 27,
  OS_LANGUAGE_TWAIN_CH_CHN = 28,
  OS_LANGUAGE_CH_SGP = 29,
  OS_LANGUAGE_CH_TWN = 30,
  OS_LANGUAGE_CH_HKG = 31,
  OS_LANGUAGE_CH_MAC = 32,
  OS_LANGUAGE_TWAIN_CH_TWN = 33,
  OS_LANGUAGE_HR_HRV = 34,
  OS_LANGUAGE_CS_CZE = 35,
  OS_LANGUAGE_DA_DNK = 36,
  OS_LANGUAGE_NL_NLD = 37,
  OS_LANGUAGE_NL_BEL = 38,
  OS_LANGUAGE_EN_USA = 39,
  OS_LANGUAGE_EN_AUS = 40,
  OS_LANGUAGE_EN_BLZ = 41,
  OS_LANGUAGE_EN_CAN = 42,
  OS_LANGUAGE_EN_029 = 43,
  OS_LANGUAGE_EN_IND = 44,
  OS_LANGUAGE_EN_IRL = 45,
  OS_LANGUAGE_EN_JAM = 46,
  OS_LANGUAGE_EN_MYS = 47,
  OS_LANGUAGE_EN_NZL = 48,
  OS_LANGUAGE_EN_PHL = 49,
  OS_LANGUAGE_EN_SGP = 50,
  OS_LANGUAGE_EN_ZAF = 51,
  OS_LANGUAGE_EN_TTO = 52,
  OS_LANGUAGE_EN_GBR = 53,
  OS_LANGUAGE_TWAIN_EN_USA = 54,
  OS_LANGUAGE_EN_ZWE = 55,
  OS_LANGUAGE_ET_EST = 56,
  OS_LANGUAGE_FO_FAO = 57,
  OS_LANGUAGE_FI_FIN = 58,
  OS_LANGUAGE_FR_FRA = 59,
  OS_LANGUAGE_FR_BEL = 60,
  OS_LANGUAGE_FR_CAN = 61,
  OS_LANGUAGE_FR_LUX = 62,
  OS_LANGUAGE_FR_MCO = 63,
  OS_LANGUAGE_FR_CHE = 64,
  OS_LANGUAGE_DE_DEU = 65,
  OS_LANGUAGE_DE_AUT = 66,
  OS_LANGUAGE_DE_LIE = 67,
  OS_LANGUAGE_DE_LUX = 68,
  OS_LANGUAGE_DE_CHE = 69,
  OS_LANGUAGE_EL_GRC = 70,
  OS_LANGUAGE_HE_ISR = 71,
  OS_LANGUAGE_HI_IND = 72,
  OS_LANGUAGE_HU_HUN = 73,
  OS_LANGUAGE_IS_ISL = 74,
  OS_LANGUAGE_ID_IDN = 75,
  OS_LANGUAGE_IT_ITA = 76,
  OS_LANGUAGE_IT_CHE = 77,
  OS_LANGUAGE_JP_JPN = 78,
  OS_LANGUAGE_KO_KOR = 79,
  OS_LANGUAGE_TWAIN_KO_KOR = 80,
  OS_LANGUAGE_LV_LAV = 81,
  OS_LANGUAGE_LT_LIT = 82,
  OS_LANGUAGE_NO_NOR = 83,
  OS_LANGUAGE_NB_NOR = 84,
  OS_LANGUAGE_NN_NOR = 85,
  OS_LANGUAGE_FA_IRN = 86,
  OS_LANGUAGE_PL_POL = 87,
  OS_LANGUAGE_PT_BRA = 88,
  OS_LANGUAGE_PT_PRT = 89,
  OS_LANGUAGE_RO_ROM = 90,
  OS_LANGUAGE_RU_RUS = 91,
  OS_LANGUAGE_SR_CYRL = 92,
  OS_LANGUAGE_SR_CYRL_BIH = 93,
  OS_LANGUAGE_SR_CYRL_MNE = 94,
  OS_LANGUAGE_SR_CYRL_SRB = 95,
  OS_LANGUAGE_SR_LATN = 96,
  OS_LANGUAGE_SR_LATN_BIH = 97,
  OS_LANGUAGE_SR_LATN_MNE = 98,
  OS_LANGUAGE_SR_LATN_SRB = 99,
  OS_LANGUAGE_SK_SVK = 100,
  OS_LANGUAGE_SL_SVN = 101,
  OS_LANGUAGE_ES_ESP = 102,
  OS_LANGUAGE_ES_ARG = 103,
  OS_LANGUAGE_ES_BOL = 104,
  OS_LANGUAGE_ES_CHL = 105,
  OS_LANGUAGE_ES_COL = 106,
  OS_LANGUAGE_ES_CRI = 107,
  OS_LANGUAGE_ES_DOM = 108,
  OS_LANGUAGE_ES_ECU = 109,
  OS_LANGUAGE_ES_SLV = 110,
  OS_LANGUAGE_ES_GTM = 111,
  OS_LANGUAGE_ES_HND = 112,
  OS_LANGUAGE_ES_MEX = 113,
  OS_LANGUAGE_TWAIN_ES_ESP = 114,
  OS_LANGUAGE_ES_NIC = 115,
  OS_LANGUAGE_ES_PAN = 116,
  OS_LANGUAGE_ES_PRY = 117,
  OS_LANGUAGE_ES_PER = 118,
  OS_LANGUAGE_ES_PRI = 119,
  OS_LANGUAGE_ES_URY = 120,
  OS_LANGUAGE_ES_USA = 121,
  OS_LANGUAGE_ES_VEN = 122,
  OS_LANGUAGE_SV_SWE = 123,
  OS_LANGUAGE_SV_FIN = 124,
  OS_LANGUAGE_TH_THA = 125,
  OS_LANGUAGE_TR_TUR = 126,
  OS_LANGUAGE_UK_UKR = 127,
  OS_LANGUAGE_UR_PAK = 128,
  OS_LANGUAGE_UR_IND = 129,
  OS_LANGUAGE_VI_VNM = 130,
  OS_LANGUAGE_LAST = 131,
};

// How far FindLanguageId looks past the current language.
enum EOSLANGFIND : int {
  OS_LANGFIND_NEUTRAL = 0,       // the current language and its neutral
  OS_LANGFIND_SUBLANGUAGES = 1,  // also the other sub-languages of the neutral
  OS_LANGFIND_ENGLISH = 2,       // also English at the end
};

// Flags of RegisterLanguage (combine with |).
enum EOSLANGREGISTER : int {
  OS_LANGREGISTER_LANGUAGE = 1,
  OS_LANGREGISTER_SUBLANGUAGES = 2,   // a neutral language brings its sub-languages
  OS_LANGREGISTER_DOCUMENTATION = 4,  // needs a documentation folder; by name: match the folder
};

// Registration state of a row.
enum EOSLANGSTATE : uint32_t {
  OS_LANGSTATE_UNREGISTERED = 0,  // every row at load: all acceptable
  OS_LANGSTATE_SUBLANGUAGE = 1,   // supported through its neutral (or auto after a reset)
  OS_LANGSTATE_SUPPORTED = 2,
  OS_LANGSTATE_UNSUPPORTED = 3,
};

// One row of the language table (the row's index is its EOSLANGUAGE).
struct OsLanguageLookup {
  EOSLANGUAGE eoslanguageNeutral;  // a neutral names itself; its sub-languages follow it
  const char* szLexicon;           // key of the label texts; "twain_..." rows only carry a TWAIN code
  const char* szOsLocale;          // ";"-separated prefixes of the system's locale name
  const char* szFolder;            // documentation folder, "" when none
  const char* szIso;               // ISO tag
  uint16_t u16Twain;               // TWAIN code; 0x4000 added: shares its neutral's code
  uint8_t u8Rtl;                   // 1: written right to left
};

extern const OsLanguageLookup s_oslanguagelookup[OS_LANGUAGE_LAST + 1];

// Where the platform's locale names come from. With a null argument: the C
// library's current locale name (setlocale query); otherwise the value of
// that environment variable (LC_ALL, LC_MESSAGES, LANG), null when unset.
typedef const char* (*PFNOSLOCALENAME)(const char* a_szVariable);

class COsLocale {
 public:
  COsLocale();
  ~COsLocale();

  // Selection. Each form answers 0 on success. An id of 131 or more gives 3;
  // an unknown TWAIN code or name gives 1. The int overloads are deleted so
  // that a plain number is never taken for a TWAIN code or a null name.
  EOSSTS SetLanguage(EOSLANGUAGE a_eoslanguage);
  EOSSTS SetLanguage(uint16_t a_u16Twain);
  EOSSTS SetLanguage(const char* a_szLexicon);
  EOSSTS SetLanguage(int) = delete;

  // The operating system's language, computed once.
  EOSLANGUAGE GetCurrentLanguage();

  // Look-ups by lexicon (case-insensitive); null means the current language.
  EOSLANGUAGE GetLanguageId(const char* a_szLexicon);
  const char* GetLanguageName();
  // The lexicon of the language or of its nearest supported ancestor; 0 is
  // the current language; "en_usa" when nothing qualifies.
  const char* GetLanguageLexicon(EOSLANGUAGE a_eoslanguage);

  // The a_iIndex-th entry of the current language's fallback list; 0 (or
  // null) past its end.
  EOSLANGUAGE FindLanguageId(int a_iIndex, EOSLANGFIND a_eoslangfind);
  const char* FindLanguageName(int a_iIndex, EOSLANGFIND a_eoslangfind);
  const char* FindLanguageDocumentation(int a_iIndex, EOSLANGFIND a_eoslangfind);

  // The id when acceptable (state 0, 1 or 2), else (following neutrals when
  // allowed) its nearest acceptable neutral; 0 when none.
  EOSLANGUAGE CheckLanguage(EOSLANGUAGE a_eoslanguage, bool a_blFollowNeutral);
  // The id when registered as supported, else its neutral when allowed and
  // supported; 0 when none. The chosen lexicon goes to *a_pszLexicon when given.
  EOSLANGUAGE CheckLanguageAndNeutral(EOSLANGUAGE a_eoslanguage, bool a_blUseNeutral, const char** a_pszLexicon);
  EOSLANGUAGE CheckLanguageAndNeutral(const char* a_szLexicon, bool a_blUseNeutral, const char** a_pszLexicon);
  EOSLANGUAGE CheckLanguageAndNeutral(int, bool, const char**) = delete;

  // Marks a language as supported (a_iEoslangregister: EOSLANGREGISTER flags);
  // a_blReset first marks every language as not supported. 0, or 3 for a bad
  // id or an unknown name.
  EOSSTS RegisterLanguage(EOSLANGUAGE a_eoslanguage, int a_iEoslangregister, bool a_blReset);
  EOSSTS RegisterLanguage(const char* a_szName, int a_iEoslangregister, bool a_blReset);
  EOSSTS RegisterLanguage(int, int, bool) = delete;

  // The first language after the given one whose state is 1 or 2; 0 when none.
  EOSLANGUAGE GetRegisteredLanguage(EOSLANGUAGE a_eoslanguageAfter);

  // True for a right-to-left language; null means the current language.
  bool GetLanguageRtl(const char* a_szLexicon);

  // The current language as an XML fragment, in a per-thread buffer that the
  // thread's next call may rewrite.
  const char* GetLangInfo();

  // Measurement system: 1 metric, 2 US. Always 2.
  int GetMeasurement();

  // True when one non-empty entry of the ";"-separated list equals the
  // beginning of the text, ignoring case.
  static bool SearchSemiColonString(const char* a_szList, const char* a_szText);

  // Text conversions. Sizes count destination elements and include the
  // terminator; the destination is zero-filled first and always ends
  // terminated. A conversion stops at the first character that does not fit
  // ("Buffer overflow...") or is illegal ("Illegal character..."), leaving the
  // converted prefix.
  //
  // UTF-8 decoders: characters (or UTF-16 units) written; when they stop
  // early, the number of source bytes consumed instead.
  static size_t CopyUnicodeFromUtf8(wchar_t* a_wszDst, size_t a_sizetDst, const char* a_szSrc);
  static size_t CopyUnicode2FromUtf8(uint16_t* a_pu16Dst, size_t a_sizetDst, const char* a_szSrc);
  // UTF-8 encoders: source elements converted. a_lLength -1 means up to the
  // terminator (which the UTF-16 form converts and counts as well).
  static size_t CopyUtf8FromUnicode(char* a_szDst, size_t a_sizetDst, const wchar_t* a_wszSrc, long a_lLength);
  static size_t CopyUtf8FromUnicode2(char* a_szDst, size_t a_sizetDst, const uint16_t* a_pu16Src, long a_lLength);
  // Platform multibyte (the C library's LC_CTYPE): characters or bytes
  // written plus 1, 0 on failure. The "String" forms give 0 for an empty source.
  static size_t CopyUnicodeFromMultibyte(wchar_t* a_wszDst, size_t a_sizetDst, const char* a_szSrc);
  static size_t CopyUnicodeFromString(wchar_t* a_wszDst, size_t a_sizetDst, const char* a_szSrc);
  static size_t CopyMultibyteFromUnicode(char* a_szDst, size_t a_sizetDst, const wchar_t* a_wszSrc);
  static size_t CopyStringFromUnicode(char* a_szDst, size_t a_sizetDst, const wchar_t* a_wszSrc);
  // Plain copies: destination length plus 1, 0 when the text does not fit.
  // The "String" forms give 0 for an empty source.
  static size_t CopyStringFromUtf8(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static size_t CopyUtf8FromString(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static size_t CopyStringFromMultibyte(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static size_t CopyMultibyteFromString(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);

  // Seam: replaces where locale names come from (null restores the C
  // library and the environment). Tests use it; this machine has only the C
  // locales.
  static void SetLocaleNameSource(PFNOSLOCALENAME a_pfnoslocalename);

 private:
  EOSLANGUAGE DetectLanguage();

  std::atomic<int> m_eoslanguage;    // current language
  std::atomic<bool> m_blExplicit;    // set through SetLanguage
  std::atomic<int> m_eoslanguageOs;  // cached GetCurrentLanguage, 0 until computed
};

extern COsLocale* g_poslocale;
