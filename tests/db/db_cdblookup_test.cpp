// Capability lookup: loading the LOOKUP resource from a data block and from a
// file's appended resources, the searches in both directions, binding the
// records to the datums, malformed resources and the dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "db_fixture.h"
#include "os_coscfg.h"
#include "os_cosresource.h"

namespace {

using dbtest::DbFixture;

const std::string s_strFixture = std::string(SCANDRV_TEST_DATA) + "/db/lookup.edres";

class DbLookupTest : public DbFixture {
 protected:
  void SetUp() override {
    DbFixture::SetUp();
    m_strLookup = testsupport::ReadFile(s_strFixture);
    ASSERT_FALSE(m_strLookup.empty());
  }

  EOSSTS Load(CDbLookup& a_dblookup, const std::string& a_strText, bool a_blBind = false) {
    return a_dblookup.Open2(DB_API_RESOURCE, nullptr, a_strText.data(), a_strText.size(), a_blBind);
  }

  // A file of some content with the fixture appended as its LOOKUP resource.
  std::string FileWithResource(const std::string& a_strName) {
    std::string strPath = testsupport::RootPath(a_strName);
    testsupport::WriteFile(strPath, std::string(5000, 'c'));
    int iStatus = -1;
    testsupport::RunProgram({SCANDRV_PMXRES, "add", strPath, "LOOKUP=@" + s_strFixture}, &iStatus);
    EXPECT_EQ(iStatus, 0);
    return strPath;
  }

  // The searches every load of the fixture must answer.
  static void ExpectFixtureAnswers(CDbLookup& a_dblookup) {
    DbLookup2* pxres = a_dblookup.FindEdbid(DB_ID_XRESOLUTION);
    ASSERT_NE(pxres, nullptr);
    EXPECT_STREQ(pxres->szDbId, "DB_ID_XRESOLUTION");
    EXPECT_STREQ(pxres->szLexicon, "xresolution");
    EXPECT_STREQ(pxres->szTwainLexicon, "ICAP_XRESOLUTION");
    EXPECT_EQ(pxres->lTwainGroup, 1u);
    EXPECT_EQ(pxres->szLabel, nullptr);
    ASSERT_EQ(pxres->lEnumCount, 3);
    EXPECT_STREQ(pxres->pEnums[2].szDbIdEnum, "DB_ID_XRESOLUTION_ENUM_300B");
    EXPECT_EQ(a_dblookup.FindLexicon("xresolution"), pxres);
    EXPECT_EQ(a_dblookup.FindDriverLexicon("ICAP_XRESOLUTION"), pxres);

    DbLookup2* pbrightness = a_dblookup.FindLexicon("brightness");
    ASSERT_NE(pbrightness, nullptr);
    EXPECT_EQ(pbrightness->edbid, DB_ID_BRIGHTNESS);
    EXPECT_EQ(pbrightness->lTwainGroup, 0x200004u);
    EXPECT_EQ(pbrightness->lEnumCount, 0);
    EXPECT_EQ(pbrightness->pEnums, nullptr);
    EXPECT_EQ(a_dblookup.FindDbEnum(pbrightness, 1), nullptr);  // no values

    // Searches are exact: case, empty texts and ids not listed find nothing.
    EXPECT_NE(a_dblookup.FindLexicon("Contrast"), nullptr);
    EXPECT_EQ(a_dblookup.FindLexicon("contrast"), nullptr);
    EXPECT_EQ(a_dblookup.FindLexicon("Brightness"), nullptr);
    EXPECT_EQ(a_dblookup.FindLexicon(""), nullptr);
    EXPECT_EQ(a_dblookup.FindLexicon(nullptr), nullptr);
    EXPECT_EQ(a_dblookup.FindDriverLexicon("icap_xresolution"), nullptr);
    EXPECT_EQ(a_dblookup.FindDriverLexicon(""), nullptr);
    EXPECT_EQ(a_dblookup.FindEdbid(DB_ID_ACDLEARNMODE), nullptr);
    EXPECT_EQ(a_dblookup.FindEdbid(DB_ID_UNDEFINED), nullptr);  // the record with an empty <b>
    DbLookup2* paddborder = a_dblookup.FindLexicon("addborder");
    ASSERT_NE(paddborder, nullptr);
    EXPECT_EQ(paddborder->edbid, DB_ID_UNDEFINED);
    DbLookup2* pwindow = a_dblookup.FindEdbid(DB_ID_WINDOW);
    ASSERT_NE(pwindow, nullptr);
    EXPECT_STREQ(pwindow->szLexicon, "");

    // Values: the first of a repeated number, exact lexicons, negative numbers.
    DbLookupEnum* p300 = a_dblookup.FindDbEnum(pxres, 300);
    ASSERT_NE(p300, nullptr);
    EXPECT_STREQ(p300->szLexiconEnum, "300_dpi");
    EXPECT_EQ(a_dblookup.FindLexiconEnum(pxres, "300_dpi_again"), &pxres->pEnums[2]);
    DbLookup2* pedgefill = a_dblookup.FindEdbid(DB_ID_IMAGEEDGEFILL);
    ASSERT_NE(pedgefill, nullptr);
    EXPECT_STREQ(pedgefill->szTwainLexicon, "");
    EXPECT_EQ(a_dblookup.FindLexiconEnum(pedgefill, "minus_two")->lValue, -2);
    EXPECT_EQ(a_dblookup.FindLexiconEnum(pedgefill, "White"), nullptr);
    EXPECT_EQ(a_dblookup.FindDbEnum(pedgefill, 2)->szLexiconEnum, std::string("white"));
    EXPECT_EQ(a_dblookup.FindLabelEnum(pedgefill, "white"), nullptr);  // no labels yet
    EXPECT_EQ(a_dblookup.FindDbEnum(nullptr, 1), nullptr);
  }

  std::string m_strLookup;
};

TEST_F(DbLookupTest, FindsBothWaysFromADataBlock) {
  CDbLookup dblookup;
  EXPECT_EQ(dblookup.FindLexicon("xresolution"), nullptr);  // not loaded
  ASSERT_EQ(Load(dblookup, m_strLookup), OS_STS_SUCCESS);
  ExpectFixtureAnswers(dblookup);
  EXPECT_TRUE(m_plog->Contains("a_pdblookup2 is NULL..."));
  // A byte-order mark is skipped; a second load replaces the first.
  ASSERT_EQ(Load(dblookup, "\xEF\xBB\xBF" + m_strLookup), OS_STS_SUCCESS);
  ExpectFixtureAnswers(dblookup);
}

TEST_F(DbLookupTest, LoadsTheResourceAppendedToAFile) {
  const std::string strDriver = FileWithResource("driver.so");
  OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  COsCfg oscfg("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
  ASSERT_EQ(oscfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, strDriver.c_str()), OS_STS_SUCCESS);
  CDbLookup dblookup;
  ASSERT_EQ(dblookup.Open2(DB_API_RESOURCE, OS_RESOURCE_LOCAL, nullptr, 0, false), OS_STS_SUCCESS);
  ExpectFixtureAnswers(dblookup);
  // By path, and a file without the resource.
  CDbLookup dblookupPath;
  ASSERT_EQ(dblookupPath.Open2(DB_API_RESOURCE, strDriver.c_str(), nullptr, 0, false), OS_STS_SUCCESS);
  ExpectFixtureAnswers(dblookupPath);
  testsupport::WriteFile(testsupport::RootPath("plain.so"), "no resources here");
  EXPECT_EQ(dblookupPath.Open2(DB_API_RESOURCE, testsupport::RootPath("plain.so").c_str(), nullptr, 0, false),
            DB_EOSSTS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("Error finding API...LOOKUP"));
  EXPECT_EQ(dblookupPath.FindLexicon("xresolution"), nullptr);
  EXPECT_EQ(dblookup.Open2(static_cast<EDBAPI>(2), OS_RESOURCE_LOCAL, nullptr, 0, false), DB_EOSSTS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("Unrecognized API...2"));
}

TEST_F(DbLookupTest, TheDatabaseBindsEveryDatumToItsRecord) {
  CDbEnum* pxres2 = NewEnum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 300, {200, 300});
  CDbEnum* pxres0 = NewEnum(DB_ID_XRESOLUTION, DB_BIN_SEARCH, DB_ACCESS_NOTSUPPORTED, 0, {});
  std::vector<CDbDatum*> vecpcopy;
  for (int iWindow = 1; iWindow < DB_WINDOW_COUNT; ++iWindow)
    vecpcopy.push_back(NewWindowCopy(iWindow, DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT));
  CDbEnum* pedge4 = NewEnum(DB_ID_IMAGEEDGEFILL, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 1, {1, 2});
  CDbEnum* pedge0 = NewEnum(DB_ID_IMAGEEDGEFILL, DB_BIN_SEARCH, DB_ACCESS_NOTSUPPORTED, 0, {});
  CDbDatum* pedgeCopy2 = NewWindowCopy(2, DB_ID_IMAGEEDGEFILL, DB_BIN_COLOR_FRONT);  // window 1 has none
  CDbRange* pother = NewRange(DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0, 0, 255, 1);

  // The lookup alone: a whole load would also set the library's defaults.
  const std::string strDriver = FileWithResource("driver.so");
  ASSERT_EQ(m_pdatabase->LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, strDriver.c_str()), DB_STS_SUCCESS);
  DbLookup2* pxres = m_pdatabase->LookupEdbid(DB_ID_XRESOLUTION);
  DbLookup2* pedge = m_pdatabase->LookupLexicon("imageedgefill");
  ASSERT_NE(pxres, nullptr);
  ASSERT_NE(pedge, nullptr);
  EXPECT_EQ(m_pdatabase->LookupDriverLexicon("ICAP_XRESOLUTION"), pxres);
  EXPECT_EQ(pxres2->GetLookup(), pxres);
  EXPECT_EQ(pxres0->GetLookup(), pxres);
  for (CDbDatum* pcopy : vecpcopy) EXPECT_EQ(pcopy->GetLookup(), pxres);
  EXPECT_EQ(pedge4->GetLookup(), pedge);
  EXPECT_EQ(pedge0->GetLookup(), pedge);
  EXPECT_EQ(pedgeCopy2->GetLookup(), nullptr);
  EXPECT_EQ(pother->GetLookup(), nullptr);
  // The index entry holds the start of the record block.
  EXPECT_EQ(CDbDatum::DbDatumFind(0, DB_ID_UNDEFINED, DB_BIN_SEARCH)->GetLookup(), pxres);

  // By name, without "DB_ID_", in any case; the machine datum when there is one.
  EXPECT_EQ(m_pdatabase->FindFromName(DB_BIN_BITONAL_FRONT, "xresolution"), pxres2);
  EXPECT_EQ(m_pdatabase->FindFromName(DB_BIN_SEARCH, "XResolution"), pxres0);
  EXPECT_EQ(m_pdatabase->FindFromName(DB_BIN_COLOR_FRONT, "imageedgefill"), pedge4);
  EXPECT_EQ(m_pdatabase->FindFromName(DB_BIN_BITONAL_FRONT, "imageedgefill"), nullptr);  // no such camera
  EXPECT_EQ(m_pdatabase->FindFromName(DB_BIN_COLOR_FRONT, "DB_ID_IMAGEEDGEFILL"), nullptr);
  EXPECT_EQ(m_pdatabase->FindFromName(DB_BIN_COLOR_FRONT, nullptr), nullptr);
  EXPECT_TRUE(m_plog->Contains("a_szName is NULL..."));
  CDbEnum* pedge1 = NewEnum(DB_ID_IMAGEEDGEFILL, DB_BIN_MACHINE, DB_ACCESS_READONLY, 1, {1});
  EXPECT_EQ(m_pdatabase->FindFromName(DB_BIN_COLOR_FRONT, "imageedgefill"), pedge1);

  // A failed reload takes every record back.
  const std::string strBad = "<lookup records='000000' enums='000000'><b>1</b></lookup>";
  testsupport::WriteFile(testsupport::RootPath("bad.edres"), strBad);
  std::string strBadDriver = testsupport::RootPath("bad.so");
  testsupport::WriteFile(strBadDriver, "content");
  int iStatus = -1;
  testsupport::RunProgram({SCANDRV_PMXRES, "add", strBadDriver, "LOOKUP=@" + testsupport::RootPath("bad.edres")},
                          &iStatus);
  ASSERT_EQ(iStatus, 0);
  EXPECT_EQ(m_pdatabase->LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, strBadDriver.c_str()), DB_STS_FAIL);
  EXPECT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, strBadDriver.c_str(), false), DB_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("LoadLookup failed...1"));
  for (CDbDatum* pdbdatum : {static_cast<CDbDatum*>(pxres2), static_cast<CDbDatum*>(pxres0), vecpcopy[9],
                             static_cast<CDbDatum*>(pedge4), CDbDatum::DbDatumFind(0, DB_ID_UNDEFINED, DB_BIN_SEARCH)})
    EXPECT_EQ(pdbdatum->GetLookup(), nullptr);
  EXPECT_EQ(m_pdatabase->LookupEdbid(DB_ID_XRESOLUTION), nullptr);
  EXPECT_EQ(m_pdatabase->Load(static_cast<EDBAPI>(0), DB_LOADMETHOD_RESOURCE, nullptr, false), DB_STS_BADARGUMENT);
  EXPECT_EQ(m_pdatabase->LoadLookup(static_cast<EDBAPI>(3), DB_LOADMETHOD_RESOURCE, nullptr), DB_STS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("Unrecognized api...0"));
  EXPECT_TRUE(m_plog->Contains("Unrecognized API...3 1"));
}

// Texts a loader must refuse whole: status 1 and a line saying why.
TEST_F(DbLookupTest, MalformedResourcesAreRefusedWhole) {
  const std::string strRecord = "<a>DB_ID_X</a><b>1</b><c>x</c><k>1</k><l>X</l>";
  std::string str512;
  for (int i = 0; i < 512; ++i) str512 += strRecord;
  const std::string str513 = str512 + strRecord;
  struct Case {
    const char* szWhat;
    std::string strText;
    const char* szLog;
  } acase[] = {
      {"more records than announced", "<lookup records='000000' enums='000000'>" + strRecord + strRecord + "</lookup>",
       "more records than announced...1"},
      {"more values than announced",
       "<lookup records='000000' enums='000000'>" + strRecord +
           "<Z><l>A</l><m>1</m><n>a</n><l>B</l><m>2</m><n>b</n></Z></lookup>",
       "more values than announced...1"},
      {"a value before any record", "<lookup records='000000' enums='000000'><Z><l>A</l><m>1</m><n>a</n></Z></lookup>",
       "<Z> outside a record..."},
      {"a value's number before its name",
       "<lookup records='000001' enums='000000'>" + strRecord + "<a>DB_ID_Y</a><Z><m>1</m></Z></lookup>",
       "<m> outside a value..."},
      {"b before the first a", "<lookup records='000000' enums='000000'><b>1</b>" + strRecord + "</lookup>",
       "<b> outside a record..."},
      {"no records attribute", "<lookup enums='000000'>" + strRecord + "</lookup>", "NodeGetProperty failed..."},
      {"a count of seven digits", "<lookup records='0000001' enums='000000'>" + strRecord + "</lookup>",
       "bad count...records='0000001'"},
      {"513 records", "<lookup records='000200' enums='000000'>" + str513 + "</lookup>",
       "too many records...513 > 512"},
      {"a million values announced", "<lookup records='000000' enums='0f4240'>" + strRecord + "</lookup>",
       "more values announced than the document holds"},
      {"an id beyond the table", "<lookup records='000000' enums='000000'><a>X</a><b>fe</b></lookup>",
       "Bad a_edbid...254"},
      {"a negative id", "<lookup records='000000' enums='000000'><a>X</a><b>ffffffff</b></lookup>", "Bad a_edbid...-1"},
      {"malformed XML", "<lookup records='000000' enums='000000'><a>X</b></lookup>", "DocumentLoad failed..."},
      {"another root", "<labels records='000000' enums='000000'>" + strRecord + "</labels>", "Parse failed..."},
      {"empty", "", "DocumentLoad failed..."},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    CDbLookup dblookup;
    ASSERT_EQ(Load(dblookup, m_strLookup), OS_STS_SUCCESS);
    EXPECT_EQ(Load(dblookup, c.strText), OS_STS_FAIL);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_EQ(dblookup.FindEdbid(DB_ID_XRESOLUTION), nullptr);
    EXPECT_EQ(dblookup.FindLexicon("x"), nullptr);
    EXPECT_EQ(dblookup.FindDriverLexicon("X"), nullptr);
  }
  // Accepted: 512 records, an empty <b> (id 0), two groups joined.
  CDbLookup dblookup;
  EXPECT_EQ(Load(dblookup, "<lookup records='0001ff' enums='000000'>" + str512 + "</lookup>"), OS_STS_SUCCESS);
  ASSERT_EQ(Load(dblookup, "<lookup records='000000' enums='000000'><a>DB_ID_X</a><b></b><c>x</c><k>4</k>"
                           "<k>200000</k><l>X</l></lookup>"),
            OS_STS_SUCCESS);
  ASSERT_NE(dblookup.FindLexicon("x"), nullptr);
  EXPECT_EQ(dblookup.FindLexicon("x")->lTwainGroup, 0x200004u);
  EXPECT_EQ(dblookup.FindLexicon("x")->edbid, DB_ID_UNDEFINED);
}

// "printer" names two capabilities; the name answers the same one, the
// highest id, whatever order the file gives them.
TEST_F(DbLookupTest, ASharedNameAnswersTheHighestIdInAnyFileOrder) {
  auto record = [](const char* a_szId, const char* a_szHex, const char* a_szName) {
    return std::string("<a>") + a_szId + "</a><b>" + a_szHex + "</b><c>" + a_szName + "</c><k>2</k><l>" + a_szName +
           "</l>";
  };
  const std::string strCartridge = record("DB_ID_CARTRIDGEDETECTED", "27", "printer");
  const std::string strPrinter = record("DB_ID_PRINTER", "c1", "printer");
  const std::string strAlarm = record("DB_ID_ALARMVOLUME", "5", "printer");
  const std::string strOther = record("DB_ID_PRINTERMODE", "d0", "printermode");
  // The root announces the last record's index.
  const std::vector<std::pair<const char*, std::string>> vecOrders = {
      {"000002", strCartridge + strPrinter + strOther},
      {"000002", strPrinter + strCartridge + strOther},
      {"000003", strOther + strAlarm + strPrinter + strCartridge},
      {"000003", strCartridge + strOther + strAlarm + strPrinter},
  };
  for (const auto& [szLast, strRecords] : vecOrders) {
    SCOPED_TRACE(strRecords);
    CDbLookup dblookup;
    const std::string strText = std::string("<lookup records='") + szLast + "' enums='000000'>" + strRecords;
    ASSERT_EQ(Load(dblookup, strText + "</lookup>"), OS_STS_SUCCESS);
    ASSERT_NE(dblookup.FindLexicon("printer"), nullptr);
    EXPECT_EQ(dblookup.FindLexicon("printer")->edbid, DB_ID_PRINTER);
    ASSERT_NE(dblookup.FindDriverLexicon("printer"), nullptr);
    EXPECT_EQ(dblookup.FindDriverLexicon("printer")->edbid, DB_ID_PRINTER);
    EXPECT_EQ(dblookup.FindLexicon("printermode")->edbid, DB_ID_PRINTERMODE);
    // Every record keeps its place in the id index.
    EXPECT_STREQ(dblookup.FindEdbid(DB_ID_CARTRIDGEDETECTED)->szLexicon, "printer");
  }
}

TEST_F(DbLookupTest, EveryCutOfTheResourceIsRefused) {
  CDbLookup dblookup;
  for (size_t sizet = 0; sizet < m_strLookup.size(); ++sizet) {
    ASSERT_EQ(Load(dblookup, m_strLookup.substr(0, sizet)), OS_STS_FAIL) << sizet;
    ASSERT_EQ(dblookup.FindEdbid(DB_ID_XRESOLUTION), nullptr) << sizet;
  }
  EXPECT_EQ(Load(dblookup, m_strLookup), OS_STS_SUCCESS);
}

TEST_F(DbLookupTest, TheDumpListsRecordsAndValues) {
  OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  COsCfg oscfg("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
  const std::string strDirectory = testsupport::RootPath("dumps");
  std::filesystem::create_directories(strDirectory);
  ASSERT_EQ(oscfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, strDirectory.c_str()), OS_STS_SUCCESS);
  CDbLookup dblookup;
  dblookup.Dump("before.txt");  // nothing before loading
  ASSERT_EQ(Load(dblookup, m_strLookup), OS_STS_SUCCESS);
  dblookup.Dump("lookup.txt");
  dblookup.Dump(nullptr);
  std::vector<std::string> vecNames;
  for (const auto& entry : std::filesystem::directory_iterator(strDirectory))
    vecNames.push_back(entry.path().filename().string());
  ASSERT_EQ(vecNames.size(), 2u);
  std::sort(vecNames.begin(), vecNames.end());
  EXPECT_TRUE(std::regex_match(vecNames[0], std::regex("PmxDbLookup_[0-9]{9}\\.txt"))) << vecNames[0];
  EXPECT_TRUE(std::regex_match(vecNames[1], std::regex("lookup_[0-9]{9}\\.txt"))) << vecNames[1];
  std::string strDump = testsupport::ReadFile(strDirectory + "/" + vecNames[1]);
  std::vector<std::string> vecLines = testsupport::Lines(strDump);
  ASSERT_EQ(vecLines.size(), 12u) << strDump;
  EXPECT_EQ(vecLines[0],
            "DB_ID_XRESOLUTION                       ( 252) xresolution                              ICA"
            "P_XRESOLUTION                         0x0001                                             3\r");
  EXPECT_EQ(vecLines[3],
            "\tDB_ID_XRESOLUTION_ENUM_300B              300_dpi_again       "
            "                                                             \r");
  EXPECT_EQ(vecLines[8],
            "DB_ID_BRIGHTNESS                        (  34) brightness                               ICAP"
            "_BRIGHTNESS                          0x200004                                             0\r");
  EXPECT_EQ(vecLines[10],
            "DB_ID_ADDBORDER                         (   0) addborder                                CAP"
            "_ADDBORDER                            0x0008                                             0\r");
  EXPECT_EQ(strDump, testsupport::ReadFile(strDirectory + "/" + vecNames[0]));
}

}  // namespace
