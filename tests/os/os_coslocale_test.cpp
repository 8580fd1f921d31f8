// Language table, selection, fallback lists, registration and detection of
// the system's language. Every test runs in its own process, so the
// process-wide registration states start at 0 in each.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "log_capture.h"
#include "os_coscfg.h"
#include "os_coslocale.h"
#include "test_support.h"

namespace {

std::vector<std::string> SplitTabs(const std::string& a_line) {
  std::vector<std::string> cells;
  std::string::size_type start = 0;
  for (;;) {
    auto tab = a_line.find('\t', start);
    cells.push_back(a_line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return cells;
    start = tab + 1;
  }
}

std::string Upper(std::string a_s) {
  for (char& c : a_s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return a_s;
}

// The table, row by row, against the copy kept under tests/data (blanks and
// misspellings included).
TEST(OsLocaleTable, RowsMatchTheLanguageList) {
  auto lines = testsupport::Lines(testsupport::ReadFile(SCANDRV_TEST_DATA "/os_coslocale_languages.tsv"));
  int rows = 0;
  for (const auto& line : lines) {
    if (line.empty() || line[0] == '#') continue;
    auto cells = SplitTabs(line);
    ASSERT_EQ(cells.size(), 8u) << line;
    int id = std::stoi(cells[0]);
    ASSERT_EQ(id, rows) << "rows are listed in id order";
    ASSERT_LE(id, OS_LANGUAGE_LAST);
    const OsLanguageLookup& row = s_oslanguagelookup[id];
    SCOPED_TRACE("row " + cells[0]);
    EXPECT_EQ(static_cast<int>(row.eoslanguageNeutral), std::stoi(cells[1]));
    EXPECT_STREQ(row.szLexicon, cells[2].c_str());
    EXPECT_STREQ(row.szOsLocale, cells[3].c_str());
    EXPECT_STREQ(row.szFolder, cells[4].c_str());
    EXPECT_STREQ(row.szIso, cells[5].c_str());
    EXPECT_EQ(row.u16Twain, std::stoul(cells[6], nullptr, 16));
    EXPECT_EQ(row.u8Rtl, cells[7] == "yes" ? 1 : 0);
    ++rows;
  }
  EXPECT_EQ(rows, OS_LANGUAGE_LAST + 1);
}

// The database compiler reads the header as a name table: lines
// "OS_LANGUAGE_<name> = <decimal>", one per row, each named after its lexicon.
TEST(OsLocaleTable, HeaderReadsAsNameTable) {
  auto lines = testsupport::Lines(testsupport::ReadFile(SCANDRV_TEST_DATA "/../../os/os_coslocale.h"));
  std::map<long, std::string> names;
  for (const auto& line : lines) {
    auto first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line.compare(first, 12, "OS_LANGUAGE_") != 0) continue;
    auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string name = line.substr(first, line.find_first_of(" \t\r", first) - first);
    long value = std::strtol(line.c_str() + eq + 1, nullptr, 10);
    ASSERT_TRUE(names.emplace(value, name).second) << "value " << value << " twice";
  }
  ASSERT_EQ(names.size(), static_cast<size_t>(OS_LANGUAGE_LAST + 1));
  for (const auto& [value, name] : names) {
    ASSERT_GE(value, 0);
    ASSERT_LE(value, OS_LANGUAGE_LAST);
    std::string lexicon = s_oslanguagelookup[value].szLexicon;
    if (!lexicon.empty()) {
      EXPECT_EQ(name, "OS_LANGUAGE_" + Upper(lexicon));
    }
  }
  EXPECT_EQ(names[0], "OS_LANGUAGE_NONE");
  EXPECT_EQ(names[OS_LANGUAGE_LAST], "OS_LANGUAGE_LAST");
}

// Locale names seen by the detection, set per test.
std::string g_setlocale = "C";
std::map<std::string, std::string> g_environment;

const char* FakeLocaleName(const char* a_szVariable) {
  if (!a_szVariable) return g_setlocale.c_str();
  auto it = g_environment.find(a_szVariable);
  return it == g_environment.end() ? nullptr : it->second.c_str();
}

class OsLocaleTest : public ::testing::Test {
 protected:
  void SetUp() override { COsLocale::SetLocaleNameSource(FakeLocaleName); }
  void TearDown() override { COsLocale::SetLocaleNameSource(nullptr); }

  std::vector<std::string> FallbackNames(EOSLANGFIND a_eoslangfind) {
    std::vector<std::string> names;
    for (int ii = 0; ii < 200; ++ii) {
      const char* sz = m_locale.FindLanguageName(ii, a_eoslangfind);
      if (!sz) break;
      names.push_back(sz);
    }
    return names;
  }

  std::vector<int> Registered() {
    std::vector<int> ids;
    for (EOSLANGUAGE e = m_locale.GetRegisteredLanguage(OS_LANGUAGE_NONE); e != OS_LANGUAGE_NONE;
         e = m_locale.GetRegisteredLanguage(e)) {
      ids.push_back(e);
    }
    return ids;
  }

  COsLocale m_locale;
};

TEST_F(OsLocaleTest, StartsInEnglishWithEveryLanguageAcceptable) {
  EXPECT_STREQ(m_locale.GetLanguageName(), "en_usa");
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_EN_USA);
  // State 0 everywhere: any language can be chosen, none is enumerated.
  EXPECT_EQ(m_locale.SetLanguage(OS_LANGUAGE_FR_CAN), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_FR_CAN);
  EXPECT_STREQ(m_locale.GetLanguageLexicon(OS_LANGUAGE_NONE), "fr_can");
  EXPECT_EQ(m_locale.GetRegisteredLanguage(OS_LANGUAGE_NONE), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.GetMeasurement(), 2);
}

TEST_F(OsLocaleTest, SetLanguageRefusesIdsOutOfRange) {
  testsupport::LogCapture log;
  ASSERT_EQ(m_locale.SetLanguage(OS_LANGUAGE_DE_DEU), OS_STS_SUCCESS);
  for (int id : {131, 132, 1000, -1}) {
    EXPECT_EQ(m_locale.SetLanguage(static_cast<EOSLANGUAGE>(id)), OS_STS_BAD_ARGUMENT) << id;
    EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_DE_DEU);
  }
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_LAST, true), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.CheckLanguage(static_cast<EOSLANGUAGE>(-3), false), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.CheckLanguageAndNeutral(OS_LANGUAGE_LAST, true, nullptr), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_LAST, OS_LANGREGISTER_SUBLANGUAGES, true), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(m_locale.RegisterLanguage(static_cast<EOSLANGUAGE>(-1), 0, true), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(m_locale.GetRegisteredLanguage(OS_LANGUAGE_LAST), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.GetRegisteredLanguage(static_cast<EOSLANGUAGE>(-5)), OS_LANGUAGE_NONE);
  EXPECT_STREQ(m_locale.GetLanguageLexicon(static_cast<EOSLANGUAGE>(500)), "en_usa");
  // A refused reset leaves the states alone: still every language acceptable.
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_FR_FRA, false), OS_LANGUAGE_FR_FRA);
  for (const char* sz : {"SetLanguage bad arg...", "SetLanguage overflow...", "CheckLanguageAndNeutral bad arg (131)...",
                         "RegisterLanguage bad arg (131)...", "RegisterLanguage bad arg (-1)...",
                         "GetRegisteredLanguage bad arg (131)...", "GetRegisteredLanguage bad arg (-5)...",
                         "GetLanguageLexicon bad arg (500)..."}) {
    EXPECT_TRUE(log.Contains(sz)) << sz;
  }
}

TEST_F(OsLocaleTest, AutoSelectsTheSystemLanguage) {
  g_setlocale = "german_germany.1252";
  EXPECT_EQ(m_locale.SetLanguage(OS_LANGUAGE_AUTO), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_DE_DEU);
  // Id 0 means the system's language too.
  ASSERT_EQ(m_locale.SetLanguage(OS_LANGUAGE_EN_USA), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.SetLanguage(OS_LANGUAGE_NONE), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_DE_DEU);
}

TEST_F(OsLocaleTest, RegisteredNeutralWithSubLanguages) {
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_DE_DEU, OS_LANGREGISTER_SUBLANGUAGES, true), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.SetLanguage(OS_LANGUAGE_DE_AUT), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_DE_AUT);
  // A sub-language has no labels of its own: its neutral's lexicon.
  EXPECT_STREQ(m_locale.GetLanguageLexicon(OS_LANGUAGE_NONE), "de_deu");
  EXPECT_EQ(m_locale.SetLanguage(OS_LANGUAGE_FR_FRA), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_EN_USA);
  EXPECT_EQ(Registered(), (std::vector<int>{1, 65, 66, 67, 68, 69}));
}

TEST_F(OsLocaleTest, SetLanguageByTwainCode) {
  testsupport::LogCapture log;
  struct Case {
    uint16_t u16Twain;
    EOSSTS eossts;
    EOSLANGUAGE eoslanguage;
  } cases[] = {
      {2, OS_STS_SUCCESS, OS_LANGUAGE_EN_USA},        // never a row carrying 0x4002
      {13, OS_STS_SUCCESS, OS_LANGUAGE_TWAIN_EN_USA},  // a row that only carries a code
      {0x0003, OS_STS_SUCCESS, OS_LANGUAGE_FR_CAN},
      {0x0029, OS_STS_SUCCESS, OS_LANGUAGE_TWAIN_CH_CHN},
      {0x4002, OS_STS_FAIL, OS_LANGUAGE_TWAIN_CH_CHN},  // shared marks are no codes
      {0x4000, OS_STS_FAIL, OS_LANGUAGE_TWAIN_CH_CHN},
      {999, OS_STS_FAIL, OS_LANGUAGE_TWAIN_CH_CHN},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(m_locale.SetLanguage(c.u16Twain), c.eossts) << c.u16Twain;
    EXPECT_EQ(m_locale.GetLanguageId(nullptr), c.eoslanguage) << c.u16Twain;
  }
  // 0xFFFF is auto: the system's language.
  g_setlocale = "italian_italy.1252";
  EXPECT_EQ(m_locale.SetLanguage(static_cast<uint16_t>(0xFFFF)), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_IT_ITA);
  EXPECT_TRUE(log.Contains("SetLanguageFromTwain(2)"));
  EXPECT_TRUE(log.Contains("eoslanguage = 39"));
  EXPECT_TRUE(log.Contains("SetLanguageFromTwain could not find TWAIN language 16386"));
  EXPECT_TRUE(log.Contains("SetLanguageFromTwain could not find TWAIN language 999"));
}

TEST_F(OsLocaleTest, SetLanguageByLexicon) {
  testsupport::LogCapture log;
  EXPECT_EQ(m_locale.SetLanguage("DE_che"), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_DE_CHE);
  for (const char* sz : {"de", "xx_yyy", "", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(m_locale.SetLanguage(sz), OS_STS_FAIL);
    EXPECT_EQ(m_locale.GetLanguageId(nullptr), OS_LANGUAGE_DE_CHE);
  }
  EXPECT_EQ(m_locale.GetLanguageId("He_Isr"), OS_LANGUAGE_HE_ISR);
  EXPECT_EQ(m_locale.GetLanguageId("klingon"), OS_LANGUAGE_NONE);
  EXPECT_STREQ(m_locale.GetLanguageName(), "de_che");
  EXPECT_TRUE(log.Contains("SetLanguage could not find language xx_yyy"));
  EXPECT_TRUE(log.Contains("GetLanguageId: not found (klingon)..."));
  // Choosing the chosen language again changes nothing and says so.
  EXPECT_EQ(m_locale.SetLanguage(OS_LANGUAGE_DE_CHE), OS_STS_SUCCESS);
  EXPECT_TRUE(log.Contains("SetLanguage already 69"));
}

TEST_F(OsLocaleTest, FallbackListOfASubLanguage) {
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_FR_FRA, OS_LANGREGISTER_SUBLANGUAGES, true), OS_STS_SUCCESS);
  ASSERT_EQ(m_locale.SetLanguage("fr_can"), OS_STS_SUCCESS);
  using V = std::vector<std::string>;
  EXPECT_EQ(FallbackNames(OS_LANGFIND_ENGLISH), (V{"fr_can", "fr_fra", "fr_bel", "fr_lux", "fr_mco", "fr_che", "en_usa"}));
  EXPECT_EQ(FallbackNames(OS_LANGFIND_SUBLANGUAGES), (V{"fr_can", "fr_fra", "fr_bel", "fr_lux", "fr_mco", "fr_che"}));
  EXPECT_EQ(FallbackNames(OS_LANGFIND_NEUTRAL), (V{"fr_can", "fr_fra"}));
  EXPECT_STREQ(m_locale.FindLanguageDocumentation(1, OS_LANGFIND_ENGLISH), "French");
  EXPECT_STREQ(m_locale.FindLanguageDocumentation(6, OS_LANGFIND_ENGLISH), "English");
  EXPECT_EQ(m_locale.FindLanguageDocumentation(7, OS_LANGFIND_ENGLISH), nullptr);
  EXPECT_EQ(m_locale.FindLanguageId(-1, OS_LANGFIND_ENGLISH), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.FindLanguageId(1000, OS_LANGFIND_ENGLISH), OS_LANGUAGE_NONE);
}

TEST_F(OsLocaleTest, FallbackListOfANeutralAndOfEnglish) {
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_DE_DEU, OS_LANGREGISTER_SUBLANGUAGES, true), OS_STS_SUCCESS);
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_EN_USA, 0, false), OS_STS_SUCCESS);
  ASSERT_EQ(m_locale.SetLanguage(OS_LANGUAGE_DE_DEU), OS_STS_SUCCESS);
  using V = std::vector<std::string>;
  EXPECT_EQ(FallbackNames(OS_LANGFIND_ENGLISH), (V{"de_deu", "de_aut", "de_lie", "de_lux", "de_che", "en_usa"}));
  EXPECT_EQ(FallbackNames(OS_LANGFIND_NEUTRAL), (V{"de_deu"}));
  // English is listed once; its sub-languages were not registered.
  ASSERT_EQ(m_locale.SetLanguage(OS_LANGUAGE_EN_USA), OS_STS_SUCCESS);
  EXPECT_EQ(FallbackNames(OS_LANGFIND_ENGLISH), (V{"en_usa"}));
}

TEST_F(OsLocaleTest, FallbackListEndsWhenTheNeutralIsNotSupported) {
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_DE_AUT, 0, true), OS_STS_SUCCESS);
  ASSERT_EQ(m_locale.SetLanguage(OS_LANGUAGE_DE_AUT), OS_STS_SUCCESS);
  EXPECT_EQ(FallbackNames(OS_LANGFIND_ENGLISH), (std::vector<std::string>{"de_aut"}));
}

TEST_F(OsLocaleTest, CheckLanguageFollowsNeutrals) {
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_DE_AUT, false), OS_LANGUAGE_DE_AUT);  // state 0
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_DE_DEU, 0, true), OS_STS_SUCCESS);
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_DE_AUT, false), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_DE_AUT, true), OS_LANGUAGE_DE_DEU);
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_FR_CAN, true), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_AUTO, false), OS_LANGUAGE_AUTO);
  EXPECT_EQ(m_locale.CheckLanguage(OS_LANGUAGE_NONE, true), OS_LANGUAGE_NONE);
}

TEST_F(OsLocaleTest, CheckLanguageAndNeutral) {
  testsupport::LogCapture log;
  ASSERT_EQ(m_locale.RegisterLanguage("de_deu", OS_LANGREGISTER_SUBLANGUAGES, true), OS_STS_SUCCESS);
  struct Case {
    EOSLANGUAGE eoslanguage;
    bool blUseNeutral;
    EOSLANGUAGE eoslanguageExpected;
    const char* szLexicon;
  } cases[] = {
      {OS_LANGUAGE_DE_DEU, false, OS_LANGUAGE_DE_DEU, "de_deu"},
      {OS_LANGUAGE_DE_AUT, true, OS_LANGUAGE_DE_DEU, "de_deu"},  // state 1 is not 2
      {OS_LANGUAGE_DE_AUT, false, OS_LANGUAGE_NONE, nullptr},
      {OS_LANGUAGE_FR_FRA, true, OS_LANGUAGE_NONE, nullptr},  // a neutral, not supported
      {OS_LANGUAGE_FR_CAN, true, OS_LANGUAGE_NONE, nullptr},
  };
  for (const Case& c : cases) {
    const char* szLexicon = nullptr;
    EXPECT_EQ(m_locale.CheckLanguageAndNeutral(c.eoslanguage, c.blUseNeutral, &szLexicon), c.eoslanguageExpected)
        << c.eoslanguage;
    if (c.szLexicon) {
      EXPECT_STREQ(szLexicon, c.szLexicon);
    } else {
      EXPECT_EQ(szLexicon, nullptr);
    }
    EXPECT_EQ(m_locale.CheckLanguageAndNeutral(c.eoslanguage, c.blUseNeutral, nullptr), c.eoslanguageExpected);
  }
  const char* szLexicon = nullptr;
  EXPECT_EQ(m_locale.CheckLanguageAndNeutral("DE_LIE", true, &szLexicon), OS_LANGUAGE_DE_DEU);
  EXPECT_STREQ(szLexicon, "de_deu");
  EXPECT_EQ(m_locale.CheckLanguageAndNeutral("xx_xxx", true, nullptr), OS_LANGUAGE_NONE);
  EXPECT_EQ(m_locale.CheckLanguageAndNeutral(static_cast<const char*>(nullptr), true, nullptr), OS_LANGUAGE_NONE);
  EXPECT_TRUE(log.Contains("CheckLanguageAndNeutral not found (xx_xxx)..."));
  EXPECT_TRUE(log.Contains("CheckLanguageAndNeutral: neutral is supported (65)"));
  EXPECT_TRUE(log.Contains("CheckLanguageAndNeutral: at neutral and it is not supported"));
}

TEST_F(OsLocaleTest, LexiconFallsBackToSupportedAncestorThenEnglish) {
  testsupport::LogCapture log;
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_DE_DEU, 0, true), OS_STS_SUCCESS);
  EXPECT_STREQ(m_locale.GetLanguageLexicon(OS_LANGUAGE_DE_CHE), "de_deu");
  EXPECT_STREQ(m_locale.GetLanguageLexicon(OS_LANGUAGE_DE_DEU), "de_deu");
  EXPECT_STREQ(m_locale.GetLanguageLexicon(OS_LANGUAGE_FR_CAN), "en_usa");
  // A reset that registers nothing (no documentation folder): nothing supported.
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_TWAIN_EN_USA, OS_LANGREGISTER_DOCUMENTATION, true), OS_STS_SUCCESS);
  EXPECT_EQ(Registered(), (std::vector<int>{1}));
  EXPECT_STREQ(m_locale.GetLanguageLexicon(OS_LANGUAGE_DE_CHE), "en_usa");
  EXPECT_STREQ(m_locale.GetLanguageLexicon(OS_LANGUAGE_EN_USA), "en_usa");
  EXPECT_TRUE(log.Contains("GetLanguageLexicon: language not supported 61"));
  EXPECT_TRUE(log.Contains("RegisterLanguage: documentation name is blank"));
}

TEST_F(OsLocaleTest, RegisterByNameAndFolder) {
  testsupport::LogCapture log;
  EXPECT_EQ(m_locale.RegisterLanguage("Chinese_Traditional", OS_LANGREGISTER_DOCUMENTATION | 2, true), OS_STS_SUCCESS);
  EXPECT_EQ(Registered(), (std::vector<int>{1, 30, 31, 32}));  // not twain_ch_twn: it has no folder
  EXPECT_EQ(m_locale.RegisterLanguage("ch_twn", OS_LANGREGISTER_DOCUMENTATION, true), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(m_locale.RegisterLanguage("He_Isr", OS_LANGREGISTER_LANGUAGE, false), OS_STS_SUCCESS);
  EXPECT_EQ(Registered(), (std::vector<int>{1, 30, 31, 32, 71}));
  for (const char* sz : {"nope", "", static_cast<const char*>(nullptr)}) {
    EXPECT_EQ(m_locale.RegisterLanguage(sz, OS_LANGREGISTER_SUBLANGUAGES, true), OS_STS_BAD_ARGUMENT);
  }
  EXPECT_EQ(Registered(), (std::vector<int>{1, 30, 31, 32, 71}));
  // Sub-languages come only with their neutral, and a supported one stays 2.
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_ES_MEX, OS_LANGREGISTER_SUBLANGUAGES, true), OS_STS_SUCCESS);
  EXPECT_EQ(Registered(), (std::vector<int>{1, 113}));
  ASSERT_EQ(m_locale.RegisterLanguage(OS_LANGUAGE_ES_ESP, OS_LANGREGISTER_SUBLANGUAGES, false), OS_STS_SUCCESS);
  EXPECT_EQ(Registered().size(), 22u);
  EXPECT_EQ(m_locale.CheckLanguageAndNeutral(OS_LANGUAGE_ES_MEX, false, nullptr), OS_LANGUAGE_ES_MEX);
  EXPECT_EQ(m_locale.CheckLanguageAndNeutral(OS_LANGUAGE_ES_ARG, false, nullptr), OS_LANGUAGE_NONE);
  for (const char* sz : {"RegisterLanguage: sublang 33's documentation name is blank",
                         "RegisterLanguage: include sublang at 31 (ch_hkg)", "RegisterLanguage not found (ch_twn)...",
                         "RegisterLanguage not found (nope)...", "RegisterLanguage: at sublangs, so we are done",
                         "RegisterLanguage: caller doesn't want sublangs"}) {
    EXPECT_TRUE(log.Contains(sz)) << sz;
  }
}

TEST_F(OsLocaleTest, RightToLeft) {
  testsupport::LogCapture log;
  EXPECT_TRUE(m_locale.GetLanguageRtl("he_isr"));
  EXPECT_TRUE(m_locale.GetLanguageRtl("AR_YEM"));
  EXPECT_TRUE(m_locale.GetLanguageRtl("twain_ar_arb"));
  EXPECT_FALSE(m_locale.GetLanguageRtl("en_usa"));
  EXPECT_FALSE(m_locale.GetLanguageRtl("xx"));
  EXPECT_FALSE(m_locale.GetLanguageRtl(""));
  EXPECT_FALSE(m_locale.GetLanguageRtl(nullptr));
  ASSERT_EQ(m_locale.SetLanguage(OS_LANGUAGE_UR_PAK), OS_STS_SUCCESS);
  EXPECT_TRUE(m_locale.GetLanguageRtl(nullptr));
  EXPECT_TRUE(log.Contains("GetLanguageRtl: language not found xx"));
}

TEST_F(OsLocaleTest, LangInfoFollowsTheCurrentLanguage) {
  EXPECT_STREQ(m_locale.GetLangInfo(),
               "\t\t<languageinfo>\n\t\t\t<language>en_usa</language>\n\t\t\t<languagefolder><![CDATA[English]]>"
               "</languagefolder>\n\t\t\t<languageiso>en-US</languageiso>\n\t\t\t<languagertl>false</languagertl>\n"
               "\t\t</languageinfo>\n");
  ASSERT_EQ(m_locale.SetLanguage(OS_LANGUAGE_HE_ISR), OS_STS_SUCCESS);
  EXPECT_STREQ(m_locale.GetLangInfo(),
               "\t\t<languageinfo>\n\t\t\t<language>he_isr</language>\n\t\t\t<languagefolder><![CDATA[Hebrew]]>"
               "</languagefolder>\n\t\t\t<languageiso>he-IL</languageiso>\n\t\t\t<languagertl>true</languagertl>\n"
               "\t\t</languageinfo>\n");
}

TEST(OsLocaleSearch, SemiColonList) {
  struct Case {
    const char* szList;
    const char* szText;
    bool blExpected;
  } cases[] = {
      {"german", "German_Germany.1252", true},
      {"dutch-belgian;", "DUTCH-BELGIAN", true},  // the empty entry after ";" matches nothing
      {"x;;german", "germany", true},
      {"english-uk", "english", false},  // the entry must be the text's beginning
      {"english", "eng", false},
      {";", "anything", false},
      {"", "", false},
      {"a", "", false},
      {nullptr, "a", false},
      {"a", nullptr, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(COsLocale::SearchSemiColonString(c.szList, c.szText), c.blExpected)
        << (c.szList ? c.szList : "null") << " / " << (c.szText ? c.szText : "null");
  }
}

// Detection: the C library's name against the table's names, then POSIX
// names (the C library's, then the first of LC_ALL, LC_MESSAGES, LANG set)
// against the ISO tags.
struct DetectCase {
  const char* szSetlocale;
  const char* szLcAll;
  const char* szLcMessages;
  const char* szLang;
  EOSLANGUAGE eoslanguage;
};

void PrintTo(const DetectCase& a_c, std::ostream* a_pos) {
  auto show = [](const char* a_sz) { return a_sz ? std::string("<") + a_sz + ">" : std::string("unset"); };
  *a_pos << "setlocale " << show(a_c.szSetlocale) << " LC_ALL " << show(a_c.szLcAll) << " LC_MESSAGES "
         << show(a_c.szLcMessages) << " LANG " << show(a_c.szLang);
}

class OsLocaleDetect : public ::testing::TestWithParam<DetectCase> {};

TEST_P(OsLocaleDetect, FindsTheSystemLanguage) {
  const DetectCase& c = GetParam();
  testsupport::LogCapture log;
  g_setlocale = c.szSetlocale;
  g_environment.clear();
  if (c.szLcAll) g_environment["LC_ALL"] = c.szLcAll;
  if (c.szLcMessages) g_environment["LC_MESSAGES"] = c.szLcMessages;
  if (c.szLang) g_environment["LANG"] = c.szLang;
  COsLocale::SetLocaleNameSource(FakeLocaleName);
  COsLocale locale;
  EXPECT_EQ(locale.GetCurrentLanguage(), c.eoslanguage);
  // Computed once: later changes of the system are not seen.
  g_setlocale = "hebrew";
  EXPECT_EQ(locale.GetCurrentLanguage(), c.eoslanguage);
  EXPECT_TRUE(log.Contains(std::string("setlocale=<") + c.szSetlocale + ">"));
  EXPECT_TRUE(log.Contains("GetCurrentLanguage: already set to " + std::to_string(c.eoslanguage)));
  COsLocale::SetLocaleNameSource(nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Names, OsLocaleDetect,
    ::testing::Values(
        DetectCase{"german_germany.1252", nullptr, nullptr, "fr_FR.UTF-8", OS_LANGUAGE_DE_DEU},
        DetectCase{"English_United Kingdom", nullptr, nullptr, nullptr, OS_LANGUAGE_EN_USA},
        DetectCase{"english-uk", nullptr, nullptr, nullptr, OS_LANGUAGE_EN_GBR},
        DetectCase{"Spanish-Mexican", nullptr, nullptr, nullptr, OS_LANGUAGE_ES_MEX},
        DetectCase{"C", nullptr, nullptr, nullptr, OS_LANGUAGE_EN_USA},
        DetectCase{"C", nullptr, nullptr, "de_DE.UTF-8", OS_LANGUAGE_DE_DEU},
        DetectCase{"C", nullptr, nullptr, "de_AT", OS_LANGUAGE_DE_AUT},
        DetectCase{"C", nullptr, nullptr, "de_BE.UTF-8", OS_LANGUAGE_DE_DEU},  // language alone
        DetectCase{"C", nullptr, nullptr, "de", OS_LANGUAGE_DE_DEU},
        DetectCase{"C", nullptr, "fr_CA.UTF-8", "de_DE.UTF-8", OS_LANGUAGE_FR_CAN},
        DetectCase{"C", "pt_BR.UTF-8", "fr_CA.UTF-8", "de_DE.UTF-8", OS_LANGUAGE_PT_BRA},
        DetectCase{"C", "", "", "it_CH.UTF-8", OS_LANGUAGE_IT_CHE},  // empty values are unset
        DetectCase{"C", "C", nullptr, "de_DE.UTF-8", OS_LANGUAGE_EN_USA},  // LC_ALL=C rules
        DetectCase{"C", "POSIX", nullptr, "de_DE.UTF-8", OS_LANGUAGE_EN_USA},
        DetectCase{"C", "C.UTF-8", nullptr, "de_DE.UTF-8", OS_LANGUAGE_EN_USA},
        DetectCase{"C", nullptr, nullptr, "xx_YY.UTF-8", OS_LANGUAGE_EN_USA},
        DetectCase{"C", nullptr, nullptr, "ja_JP.eucJP", OS_LANGUAGE_JP_JPN},
        DetectCase{"C", nullptr, nullptr, "ru_RU.KOI8-R", OS_LANGUAGE_RU_RUS},  // tag "ru_RU"
        DetectCase{"C", nullptr, nullptr, "fi_FI.UTF-8", OS_LANGUAGE_FI_FIN},   // tag "fi-FL"
        DetectCase{"C", nullptr, nullptr, "sr_BA", OS_LANGUAGE_SR_CYRL_BIH},
        DetectCase{"C", nullptr, nullptr, "sr_BA@latin", OS_LANGUAGE_SR_LATN_BIH},  // tag with a blank
        DetectCase{"C", nullptr, nullptr, "sr@latin", OS_LANGUAGE_SR_LATN},
        DetectCase{"C", nullptr, nullptr, "zh_TW.Big5", OS_LANGUAGE_CH_TWN},
        DetectCase{"C", nullptr, nullptr, "zh_HK.UTF-8", OS_LANGUAGE_CH_HKG},
        DetectCase{"C", nullptr, nullptr, "nb_NO.UTF-8", OS_LANGUAGE_NB_NOR},
        DetectCase{"C", nullptr, nullptr, "en_GB.UTF-8@euro", OS_LANGUAGE_EN_GBR},
        DetectCase{"C", nullptr, nullptr, "he_IL", OS_LANGUAGE_HE_ISR},
        DetectCase{"C", nullptr, nullptr, "deu_DE", OS_LANGUAGE_EN_USA},
        DetectCase{"C", nullptr, nullptr, "de_DEU", OS_LANGUAGE_EN_USA},
        DetectCase{"C", nullptr, nullptr, "d", OS_LANGUAGE_EN_USA},
        DetectCase{"C", nullptr, nullptr, "_DE", OS_LANGUAGE_EN_USA},
        DetectCase{"de_AT.UTF-8", nullptr, nullptr, "fr_FR.UTF-8", OS_LANGUAGE_DE_AUT},
        DetectCase{"LC_CTYPE=de_DE.UTF-8;LC_NUMERIC=C;LC_MESSAGES=it_IT.UTF-8;LC_TIME=C", nullptr, nullptr, "fr_FR",
                   OS_LANGUAGE_IT_ITA},
        DetectCase{"LC_CTYPE=de_DE.UTF-8;LC_NUMERIC=C", nullptr, nullptr, "fr_FR", OS_LANGUAGE_FR_FRA},
        DetectCase{"", nullptr, nullptr, nullptr, OS_LANGUAGE_EN_USA}),
    [](const ::testing::TestParamInfo<DetectCase>& info) {
      return "Case" + std::to_string(info.index) + "_" + s_oslanguagelookup[info.param.eoslanguage].szLexicon;
    });

// ForceLanguage (a row id; "-1" detects) overrides the system's language,
// also for a configuration store that is present but leaves it at its default.
TEST(OsLocaleForce, ForceLanguageOverridesTheSystem) {
  struct Case {
    const char* szForce;
    EOSLANGUAGE eoslanguage;
  } cases[] = {
      {nullptr, OS_LANGUAGE_DE_DEU},  // the store's default
      {"71", OS_LANGUAGE_HE_ISR},     {"0x47", OS_LANGUAGE_HE_ISR}, {"2", OS_LANGUAGE_AF_ZAF},
      {"130", OS_LANGUAGE_VI_VNM},    {"-1", OS_LANGUAGE_DE_DEU},   {"1", OS_LANGUAGE_DE_DEU},
      {"131", OS_LANGUAGE_DE_DEU},    {"9999", OS_LANGUAGE_DE_DEU}, {"hebrew", OS_LANGUAGE_DE_DEU},
  };
  g_setlocale = "german";
  COsLocale::SetLocaleNameSource(FakeLocaleName);
  OsCfgVersion version{"04", "10", "02", "00", "28", "07", "2015"};
  COsCfg cfg("driver", OS_CFGENTITY_UTILITY, nullptr, &version, false, nullptr);
  ASSERT_EQ(&cfg, g_poscfg);
  for (const Case& c : cases) {
    if (c.szForce) {
      ASSERT_EQ(cfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCELANGUAGE, c.szForce), OS_STS_SUCCESS);
    }
    COsLocale locale;
    EXPECT_EQ(locale.GetCurrentLanguage(), c.eoslanguage) << (c.szForce ? c.szForce : "default");
    EXPECT_EQ(locale.SetLanguage(OS_LANGUAGE_AUTO), OS_STS_SUCCESS);
    EXPECT_EQ(locale.GetLanguageId(nullptr), c.eoslanguage);
  }
  COsLocale::SetLocaleNameSource(nullptr);
}

// Without the seam, the C library and the real environment answer.
TEST(OsLocaleDetectReal, ReadsTheEnvironment) {
  setenv("LC_ALL", "", 1);
  setenv("LC_MESSAGES", "", 1);
  setenv("LANG", "sv_FI.UTF-8", 1);
  COsLocale locale;
  EXPECT_EQ(locale.GetCurrentLanguage(), OS_LANGUAGE_SV_FIN);
}

}  // namespace
