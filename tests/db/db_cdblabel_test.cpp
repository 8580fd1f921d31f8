// Labels: the language chosen from the LABELS resource of the library's own
// file with its fallbacks, the lookup records' labels, the searches by tag
// and by index, reloads that fail, resources out of shape, the limits of
// the table and of the index buffer, the colour tables and the dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "db_cdblabel.h"
#include "db_fixture.h"
#include "db_labels_testutil.h"
#include "os_coscfg.h"
#include "os_coslocale.h"
#include "os_cosresource.h"

namespace {

using dbtest::DbFixture;
using dblabeltest::LabelText;
using dblabeltest::MakeLabels;

const std::string s_strThree = std::string(SCANDRV_TEST_DATA) + "/db/labels_three.edres";
const std::string s_strLookup = std::string(SCANDRV_TEST_DATA) + "/db/lookup.edres";
const std::string s_strValidator = std::string(SCANDRV_TEST_DATA) + "/../tools/dbresource.py";

// English-only labels "tag<n>" with short texts.
std::string EnglishLabels(long a_lCount, const std::string& a_strPrefix = "tag") {
  std::vector<LabelText> veclabel;
  for (long l = 0; l < a_lCount; ++l) veclabel.push_back({a_strPrefix + std::to_string(l), {"t" + std::to_string(l)}});
  return MakeLabels({"en_usa"}, veclabel);
}

std::string Replaced(std::string a_str, const std::string& a_strFrom, const std::string& a_strTo) {
  const size_t sizet = a_str.find(a_strFrom);
  EXPECT_NE(sizet, std::string::npos) << a_strFrom;
  return sizet == std::string::npos ? a_str : a_str.replace(sizet, a_strFrom.size(), a_strTo);
}

// The library's own file for the resource service: a file of the test root
// that carries the LABELS (and LOOKUP) resource given.
class OwnFile {
 public:
  OwnFile() {
    testsupport::WriteFile(m_strPath, std::string(4096, 'x'));
    m_pcfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &m_oscfgversion, false, nullptr);
    m_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, m_strPath.c_str());
    m_pcfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, m_strLogDirectory.c_str());
  }
  void SetResource(const char* a_szName, const std::string& a_strText) {
    COsResource osresource;
    ASSERT_EQ(osresource.Update(m_strPath.c_str(), a_szName, OS_RESOURCETYPE_DATA, a_strText.size(), a_strText.data()),
              OS_STS_SUCCESS);
  }
  void RemoveResource(const char* a_szName) {
    COsResource osresource;
    osresource.Update(m_strPath.c_str(), a_szName, OS_RESOURCETYPE_DATA, 0, nullptr);
  }
  const std::string& Path() const { return m_strPath; }
  const std::string& LogDirectory() const { return m_strLogDirectory; }

 private:
  std::string m_strPath = testsupport::RootPath("driver.so");
  std::string m_strLogDirectory = testsupport::Root();
  OsCfgVersion m_oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  std::unique_ptr<COsCfg> m_pcfg;
};

class DbLabelTest : public DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    g_poslocale = &m_locale;
    m_ownfile.SetResource("LABELS", testsupport::ReadFile(s_strThree));
  }
  void TearDown() override {
    m_plabel.reset();
    g_poslocale = nullptr;
    DbFixture::TearDown();
  }

  CDbLabel& Label() {
    if (!m_plabel) m_plabel = std::make_unique<CDbLabel>();
    return *m_plabel;
  }
  const char* Text(const char* a_szTag) { return Label().Get(a_szTag, -1); }
  std::string Language(const char* a_szLanguage) {
    EXPECT_EQ(m_locale.SetLanguage(a_szLanguage), OS_STS_SUCCESS) << a_szLanguage;
    return a_szLanguage;
  }

  // Capabilities with an index entry and a hand-made record: resolution
  // with values 200 and 300 dpi and one without a label, the colour table
  // and dropout with values the scanner names, and contrast (no label).
  void NewRecords() {
    for (EDBID edbid : {DB_ID_XRESOLUTION, DB_ID_CONTRAST, DB_ID_COLORTABLE, DB_ID_ECDO})
      NewEnum(edbid, DB_BIN_SEARCH, DB_ACCESS_NOTSUPPORTED, 0, {});
    m_pxres = NewLookup(DB_ID_XRESOLUTION, "imageresolutionx", 0, {{1, "200_dpi"}, {2, "300_dpi"}, {3, "600_dpi"}});
    m_pcontrast = NewLookup(DB_ID_CONTRAST, "contrast");
    m_pcolortable =
        NewLookup(DB_ID_COLORTABLE, "colortable", 0, {{1, "unknown"}, {2, "default"}, {3, "file01"}, {4, "file02"}});
    m_pecdo = NewLookup(DB_ID_ECDO, "ecdo", 0, {{2, "none"}, {3, "file01"}});
    // A record whose capability has no index entry gets no label.
    Vacate(0, DB_ID_BRIGHTNESS, DB_BIN_SEARCH);
    NewEnum(DB_ID_BRIGHTNESS, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0, {});
    m_pbrightness = NewLookup(DB_ID_BRIGHTNESS, "brightness");
  }

  COsLocale m_locale;
  OwnFile m_ownfile;
  std::unique_ptr<CDbLabel> m_plabel;
  DbLookup2* m_pxres = nullptr;
  DbLookup2* m_pcontrast = nullptr;
  DbLookup2* m_pcolortable = nullptr;
  DbLookup2* m_pecdo = nullptr;
  DbLookup2* m_pbrightness = nullptr;
};

TEST(DbLabelFixture, TheThreeLanguageFixtureIsWellFormed) {
  int iStatus = -1;
  testsupport::RunProgram({SCANDRV_PYTHON, s_strValidator, "labels", s_strThree}, &iStatus);
  EXPECT_EQ(iStatus, 0);
  const std::string strPath = testsupport::RootPath("made.edres");
  testsupport::WriteFile(strPath, MakeLabels({"en_usa", "ar_arb", "tr_tur"}, {{"a", {"x & y", "", "z"}}, {"b", {"1", "2", "3"}}}));
  testsupport::RunProgram({SCANDRV_PYTHON, s_strValidator, "labels", strPath}, &iStatus);
  EXPECT_EQ(iStatus, 0);
}

// The current language, else the first of its fallbacks the resource has,
// else US English.
TEST_F(DbLabelTest, ChoosesTheLanguageOrItsFallback) {
  const struct {
    const char* szLanguage;
    const char* szBrightness;
    const char* szColorFront;
  } acase[] = {
      {"en_usa", "Brightness", "Color & front"},
      {"de_deu", "Helligkeit", "Farbe & vorne"},
      {"fr_fra", "Luminosit\xc3\xa9", "Couleur & recto"},
      {"fr_can", "Luminosit\xc3\xa9", "Couleur & recto"},  // its neutral
      {"de_che", "Helligkeit", "Farbe & vorne"},
      {"it_ita", "Brightness", "Color & front"},  // not in the resource: US English
      {"jp_jpn", "Brightness", "Color & front"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szLanguage);
    Language(c.szLanguage);
    ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
    EXPECT_STREQ(Text("brightness"), c.szBrightness);
    EXPECT_STREQ(Text("colorfront"), c.szColorFront);
  }
  EXPECT_STREQ(Text("notes"), "Line one\r\nLine two\tend");
  EXPECT_TRUE(m_plog->Contains("Open: check for language it_ita"));
  EXPECT_TRUE(m_plog->Contains("Open: check for language en_usa"));
}

TEST_F(DbLabelTest, WritesTheLabelsIntoTheLookupRecords) {
  NewRecords();
  DbColorTableRecord* adbcolortablerecord = m_pdatabase->DeviceGetColorTableHeader();
  adbcolortablerecord[0] = {"", "(unknown)", 1, 5, 0, 0, "(unknown)"};
  adbcolortablerecord[1] = {"", "Pictures", 4, 0, 0, 0, "Photos"};
  adbcolortablerecord[2] = {"", "Text", 9, 0, 0, 0, "Not in the lookup"};
  adbcolortablerecord[4] = {"", "After the end", 3, 0, 0, 0, "Never read"};
  DbEcdoRecord* adbecdorecord = m_pdatabase->DeviceGetEcdoHeader()->adbecdorecord;
  adbecdorecord[0].u32Value = 2;
  std::strcpy(adbecdorecord[0].szLabel, "(none)");
  adbecdorecord[1].u32Value = 3;
  std::strcpy(adbecdorecord[1].szLabel, "Red");

  Language("de_deu");
  m_pdatabase->UpdateLabels();
  EXPECT_STREQ(m_pxres->szLabel, "Aufl\xc3\xb6sung");
  EXPECT_STREQ(m_pxres->pEnums[0].szLabel, "200 dpi");
  EXPECT_STREQ(m_pxres->pEnums[2].szLabel, "???");  // no enum_imageresolutionx_600_dpi
  EXPECT_STREQ(m_pcontrast->szLabel, "???");        // no label of its lexicon
  EXPECT_EQ(m_pbrightness->szLabel, nullptr);       // no index entry
  // Values above 2 take the scanner's own labels; 1 and 2 keep the table's.
  EXPECT_STREQ(m_pcolortable->szLabel, "Farbtabelle");
  EXPECT_STREQ(m_pcolortable->pEnums[0].szLabel, "Unbekannt");
  EXPECT_STREQ(m_pcolortable->pEnums[1].szLabel, "Standard");
  EXPECT_STREQ(m_pcolortable->pEnums[2].szLabel, "Tabelle 1");
  EXPECT_STREQ(m_pcolortable->pEnums[3].szLabel, "Photos");
  EXPECT_STREQ(m_pecdo->pEnums[0].szLabel, "Keiner");
  EXPECT_STREQ(m_pecdo->pEnums[1].szLabel, "Red");
  EXPECT_STREQ(m_pdatabase->LabelGet("E_EXCEEDSMAXIMUM", "fallback", -1), "Der Text ist zu lang.");
  EXPECT_STREQ(m_pdatabase->LabelGet("E_NOSUCHTOKEN", "fallback", -1), "fallback");

  // Another language rewrites them; closing leaves "???" behind.
  Language("en_usa");
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pxres->szLabel, "Resolution");
  EXPECT_STREQ(m_pxres->pEnums[1].szLabel, "300 dpi");
  EXPECT_STREQ(m_pcolortable->pEnums[3].szLabel, "Photos");
  Label().Close();
  EXPECT_STREQ(m_pxres->szLabel, "???");
  EXPECT_STREQ(m_pxres->pEnums[1].szLabel, "???");
  EXPECT_STREQ(m_pcolortable->pEnums[3].szLabel, "???");
  EXPECT_EQ(m_pbrightness->szLabel, nullptr);
  EXPECT_EQ(Text("brightness"), nullptr);
}

// Records loaded from a LOOKUP resource are read-only between loads; the
// labels still reach them.
TEST_F(DbLabelTest, LabelsTheRecordsOfALoadedLookup) {
  std::string strLookup = testsupport::ReadFile(s_strLookup);
  m_ownfile.SetResource("LOOKUP", strLookup);
  ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, m_ownfile.Path().c_str(), false),
            DB_STS_SUCCESS);
  m_ownfile.SetResource("LABELS", MakeLabels({"en_usa"}, {{"brightness", {"Brightness"}},
                                                          {"enum_xresolution_200_dpi", {"200 dpi"}}}));
  m_pdatabase->UpdateLabels();
  DbLookup2* pbrightness = m_pdatabase->LookupLexicon("brightness");
  DbLookup2* pxres = m_pdatabase->LookupLexicon("xresolution");
  ASSERT_NE(pbrightness, nullptr);
  ASSERT_NE(pxres, nullptr);
  EXPECT_STREQ(pbrightness->szLabel, "Brightness");
  EXPECT_STREQ(pxres->szLabel, "???");
  EXPECT_STREQ(pxres->pEnums[0].szLabel, "200 dpi");
  EXPECT_STREQ(pxres->pEnums[1].szLabel, "???");
  EXPECT_EQ(m_pdatabase->LookupDbEnum(pxres, 200), &pxres->pEnums[0]);
}

TEST_F(DbLabelTest, GetsByTagAndByIndexInTagOrder) {
  EXPECT_EQ(Text("brightness"), nullptr);  // nothing loaded
  EXPECT_EQ(Label().Get(nullptr, 0), nullptr);
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_EQ(Text("Brightness"), nullptr);  // byte-wise, case-sensitive
  EXPECT_EQ(Text(""), nullptr);
  EXPECT_EQ(Text(nullptr), nullptr);
  // Every entry in byte order of its tag, as "tag\0text"; upper case first.
  std::vector<std::string> vecstrTag;
  for (long l = 0;; ++l) {
    const char* sz = Label().Get("ignored", l);
    if (!sz) break;
    vecstrTag.push_back(sz);
    EXPECT_STREQ(sz + std::strlen(sz) + 1, Text(sz)) << sz;
  }
  ASSERT_EQ(vecstrTag.size(), 14u);
  EXPECT_EQ(vecstrTag.front(), "E_EXCEEDSMAXIMUM");
  EXPECT_EQ(vecstrTag.back(), "notes");
  EXPECT_TRUE(std::is_sorted(vecstrTag.begin(), vecstrTag.end()));
  EXPECT_EQ(Label().Get("brightness", 14), nullptr);
  EXPECT_STREQ(m_pdatabase->LabelGet(nullptr, "fallback", 99), "fallback");
}

TEST_F(DbLabelTest, ASecondOpenOfTheSameLanguageDoesNotReload) {
  const std::string strGerman = MakeLabels({"de_deu"}, {{"brightness", {"Neu"}}});
  Language("de_deu");
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  m_ownfile.SetResource("LABELS", strGerman);
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(Text("brightness"), "Helligkeit");
  EXPECT_TRUE(m_plog->Contains("Language strings already loaded de_deu"));
  // The requested language counts as loaded, not the fallback found.
  m_ownfile.SetResource("LABELS", testsupport::ReadFile(s_strThree));
  Language("it_ita");
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(Text("brightness"), "Brightness");
  m_ownfile.SetResource("LABELS", MakeLabels({"it_ita"}, {{"brightness", {"Luminosit\xc3\xa0"}}}));
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(Text("brightness"), "Brightness");
  // A failed load keeps the loaded language with its table.
  m_ownfile.SetResource("LABELS", strGerman);
  Language("en_usa");
  EXPECT_EQ(Label().Open(), OS_STS_FAIL);
  Language("it_ita");
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(Text("brightness"), "Brightness");
  // Closed, the next Open loads.
  Label().Close();
  Language("de_deu");
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(Text("brightness"), "Neu");
}

// Every resource that cannot be used leaves the table loaded before and the
// lookup records pointing into it.
TEST_F(DbLabelTest, AFailedReloadKeepsTheOldLabels) {
  NewRecords();
  const std::string strGood = testsupport::ReadFile(s_strThree);
  const std::vector<LabelText> veclabel = {{"imageresolutionx", {"R", "A"}}, {"brightness", {"B", "H"}}};
  const std::string strTwo = MakeLabels({"en_usa", "de_deu"}, veclabel);
  const struct {
    const char* szWhat;
    std::string strText;  // empty: no LABELS resource
    EOSSTS eossts;
    const char* szLog;
  } acase[] = {
      {"no resource", "", OS_STS_FAIL, "Error finding LABELS resource..."},
      {"no <endlangs>", Replaced(strGood, "<endlangs></endlangs>", ""), OS_STS_FAIL, "Load: Invalid file format"},
      {"no column list", Replaced(strGood, "<a>bytes=", "<a>bytes"), OS_STS_FAIL, "Load: Invalid file format"},
      {"no candidate language", MakeLabels({"de_deu"}, {{"brightness", {"Helligkeit"}}}), OS_STS_FAIL,
       "Load: English not found, so bail..."},
      {"a label without its language", Replaced(strTwo, "<c>B</c><h>H</h>", "<c>B</c>"), OS_STS_FAIL,
       "label without all its languages...<brightness>"},
      {"cut short", strGood.substr(0, strGood.size() / 2), OS_STS_FAIL, "DocumentLoad failed..."},
      {"more labels than announced", Replaced(strTwo, "records='000003'", "records='000002'"), OS_STS_FAIL,
       "more labels than announced"},
      {"an unknown language", Replaced(Replaced(strTwo, "<de_deu>", "<de_aut>"), "</de_deu>", "</de_aut>"),
       OS_STS_FAIL, "Unrecognized or repeated language...<de_aut>"},
      {"not a labels document",
       "<lookup bytes='000000'><a>bytes=0</a><en_usa>bytes=0,1</en_usa><endlangs></endlangs></lookup>", OS_STS_FAIL,
       "Unrecognized root"},
  };
  Language("fr_fra");
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    if (c.strText.empty()) {
      m_ownfile.RemoveResource("LABELS");
    } else {
      m_ownfile.SetResource("LABELS", c.strText);
    }
    Language("en_usa");
    EXPECT_EQ(Label().Open(), c.eossts);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_STREQ(Text("brightness"), "Luminosit\xc3\xa9");
    EXPECT_STREQ(m_pxres->szLabel, "R\xc3\xa9solution");
    EXPECT_STREQ(m_pxres->pEnums[1].szLabel, "300 ppp");
    EXPECT_STREQ(Label().Get(nullptr, 0), "E_EXCEEDSMAXIMUM");
    Language("fr_fra");
    EXPECT_EQ(Label().Open(), OS_STS_SUCCESS);  // still the loaded language
  }
}

// A language whose column number is missing reads the first language.
TEST_F(DbLabelTest, ALanguageWithoutItsColumnNumberReadsTheFirst) {
  const std::string strTwo = MakeLabels({"en_usa", "de_deu"}, {{"brightness", {"Brightness", "Helligkeit"}}});
  m_ownfile.SetResource("LABELS", Replaced(strTwo, ",2</de_deu>", "</de_deu>"));
  Language("de_deu");
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("Couldn't find the comma, using first language.."));
  EXPECT_STREQ(Text("brightness"), "Brightness");
  // Column 0 is the first language too.
  m_ownfile.SetResource("LABELS", Replaced(strTwo, ",2</de_deu>", ",0</de_deu>"));
  Label().Close();
  Language("de_deu");
  EXPECT_EQ(Label().Open(), OS_STS_FAIL);  // the reader refuses a column out of order
  EXPECT_TRUE(m_plog->Contains("language column out of order...<de_deu>"));
}

// The index holds 8192 labels: the rest is left out with a line in the log.
TEST_F(DbLabelTest, LabelsBeyondTheTableLimitAreLeftOut) {
  m_ownfile.SetResource("LABELS", EnglishLabels(8200));
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("Load: more than 8192 labels, the rest is left out"));
  EXPECT_STREQ(Text("tag8191"), "t8191");
  EXPECT_EQ(Text("tag8192"), nullptr);
  EXPECT_NE(Label().Get(nullptr, 8191), nullptr);
  EXPECT_EQ(Label().Get(nullptr, 8192), nullptr);
}

// "tag\0text" longer than the 8192-byte buffer is cut to fit.
TEST_F(DbLabelTest, GetByIndexCutsAnEntryLongerThanItsBuffer) {
  const std::string strLong(9000, 'w');
  const std::string strTag(8300, 'k');
  m_ownfile.SetResource("LABELS", MakeLabels({"en_usa"}, {{"a", {strLong}}, {"b", {"short"}}, {strTag, {"x"}}}));
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  EXPECT_EQ(Text("a"), strLong);  // whole by tag
  const char* sz = Label().Get(nullptr, 0);
  ASSERT_NE(sz, nullptr);
  EXPECT_STREQ(sz, "a");
  EXPECT_EQ(std::strlen(sz + 2), 8192u - 3);
  EXPECT_TRUE(m_plog->Contains("Get: label cut to 8192 bytes <a>"));
  sz = Label().Get(nullptr, 1);
  EXPECT_STREQ(sz, "b");
  EXPECT_STREQ(sz + 2, "short");
  sz = Label().Get(nullptr, 2);  // a tag that fills the buffer on its own
  EXPECT_EQ(std::strlen(sz), 8192u - 2);
  EXPECT_STREQ(sz + 8191, "");
}

TEST_F(DbLabelTest, DumpsTheTableInTagOrder) {
  Label().Dump(nullptr);  // nothing loaded: no file
  const std::string strFile = m_ownfile.LogDirectory() + "/PmxLabel.txt";
  EXPECT_FALSE(testsupport::FileExists(strFile));
  m_ownfile.SetResource("LABELS", MakeLabels({"en_usa"}, {{"zeta", {"last"}}, {"Alpha", {"first & <b>"}}}));
  ASSERT_EQ(Label().Open(), OS_STS_SUCCESS);
  Label().Dump(nullptr);
  char szExpected[256];
  std::snprintf(szExpected, sizeof szExpected, "%-40s 0000 <first & <b>>\r\n%-40s 0000 <last>\r\n", "Alpha", "zeta");
  EXPECT_EQ(testsupport::ReadFile(strFile), szExpected);
  const std::string strDirectory = testsupport::RootPath("dump");
  std::filesystem::create_directories(strDirectory);
  Label().Dump(strDirectory.c_str());
  EXPECT_EQ(testsupport::ReadFile(strDirectory + "/PmxLabel.txt"), szExpected);
  Label().Dump(testsupport::RootPath("missing/dir").c_str());
  EXPECT_TRUE(m_plog->Contains("Error creating...<"));
}

// Without the memory service the table is a plain heap block, which the
// address sanitizer measures exactly: an English-only resource needs more
// room for its entries than its own size.
TEST(DbLabelHeap, AnEnglishOnlyResourceFitsItsBlock) {
  OwnFile ownfile;
  ownfile.SetResource("LABELS", EnglishLabels(3000, "k"));
  CDbLabel dblabel;
  ASSERT_EQ(dblabel.Open(), OS_STS_SUCCESS);
  EXPECT_STREQ(dblabel.Get("k2999", -1), "t2999");
  EXPECT_STREQ(dblabel.Get("k0", -1), "t0");
  ownfile.SetResource("LABELS", EnglishLabels(0));
  dblabel.Close();
  ASSERT_EQ(dblabel.Open(), OS_STS_SUCCESS);  // no labels at all
  EXPECT_EQ(dblabel.Get(nullptr, 0), nullptr);
  EXPECT_EQ(dblabel.Get("k0", -1), nullptr);
}

}  // namespace
