// The default fix-up on a database loaded from the library's own resources
// and configured from the inquiry fixtures: in dump mode the two dumps, each
// compared whole with what the rules model expects of the loaded database; the
// image-address rules made only for a scanner with indexing, once however
// often the fix-up runs, and gone with a scanner without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "../os/locale_service.h"
#include "../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdbconfig_testutil.h"
#include "os_coscfg.h"
#include "os_cosmem.h"
#include "rules_listing.h"
#include "test_support.h"

using dbconfigtest::DataPath;
using dbconfigtest::Fixture;
using dbconfigtest::InquiryContent;

namespace {

// The log's dump switch, added to a debug level.
constexpr long s_lDumpMode = 0x100;

// One reply of a scanner unit, as a file the Python script reads too.
struct Reply {
  EDBID_FIRMWARE edbidfirmware;
  const char* szModel;
  std::string (*pfnPath)();
};

struct Scanner {
  const char* szName;
  std::vector<Reply> vecreply;  // in the order the device engine stores them
};

void PrintTo(const Scanner& a_scanner, std::ostream* a_postream) { *a_postream << a_scanner.szName; }

// The feeder-only fixture made a simplex scanner: its colour cameras stay,
// and it has no rear camera.
std::string SimplexColourReply() {
  std::string strReply = Fixture("inquiry_mapleb_feeder.xml");
  const std::string strRear = "<value>rear</value>";
  const size_t sizetAt = strReply.find(strRear);
  EXPECT_NE(sizetAt, std::string::npos);
  if (sizetAt != std::string::npos) strReply.erase(sizetAt, strRear.size());
  const std::string strPath = testsupport::RootPath("inquiry_simplex_colour.xml");
  testsupport::WriteFile(strPath, strReply);
  return strPath;
}

class DbDefaultsTest : public ::testing::Test {
 protected:
  void Start(long a_lLogLevel) {
    m_plog = std::make_unique<testsupport::LogCapture>(a_lLogLevel);
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    std::filesystem::create_directories(m_strDumps);
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, m_strDumps.c_str()), OS_STS_SUCCESS);
    m_pdatabase = std::make_unique<CDatabase>();
    ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
  }

  void TearDown() override {
    m_pdatabase.reset();
    m_poscfg.reset();
    m_pmem.reset();
    m_plog.reset();
  }

  // The replies stored and processed as the device engine does on opening.
  void Configure(const Scanner& a_scanner) {
    for (const Reply& reply : a_scanner.vecreply) {
      m_pdatabase->ConfigSetString(
          "model", reply.szModel,
          reply.edbidfirmware == DB_FIRMWARE_ADF ? DB_CONFIGTARGET_ADF : DB_CONFIGTARGET_FLATBED);
      const std::string strContent = InquiryContent(testsupport::ReadFile(reply.pfnPath()));
      ASSERT_TRUE(m_pdatabase->ConfigLoadReportInquiry(strContent.c_str(), 0, false, false, reply.edbidfirmware));
    }
    ASSERT_TRUE(m_pdatabase->ConfigProcessReportInquiry(nullptr, nullptr)) << m_plog->Text();
  }

  // The listings of the loaded database the model starts from.
  void WriteListings() {
    testsupport::WriteFile(m_strState, ruleslisting::State(*m_pdatabase));
    testsupport::WriteFile(m_strConfig, ruleslisting::Config(*m_pdatabase));
    testsupport::WriteFile(m_strLookup, ruleslisting::Lookup(*m_pdatabase));
  }

  // The Python script's answer: a dump by name, or "indexing".
  std::string Expected(const char* a_szName) const {
    std::vector<std::string> vecArgument = {SCANDRV_PYTHON, std::string(SCANDRV_TEST_DATA) + "/../tools/fixdefaults_dump.py"};
    if (std::string(a_szName) == "indexing") {
      vecArgument.insert(vecArgument.end(), {"indexing", m_strConfig});
    } else {
      vecArgument.insert(vecArgument.end(), {"dump", m_strState, m_strConfig, m_strLookup, a_szName});
    }
    int iStatus = -1;
    std::string strOutput = testsupport::RunProgram(vecArgument, &iStatus);
    EXPECT_EQ(iStatus, 0) << strOutput;
    return strOutput;
  }

  // The dumps of the fix-up (not those the load makes), by name, read whole.
  std::vector<std::pair<std::string, std::string>> Dumps() const {
    std::vector<std::pair<std::string, std::string>> vec;
    for (const auto& entry : std::filesystem::directory_iterator(m_strDumps)) {
      const std::string strName = entry.path().filename().string();
      if (strName.rfind("PmxDbFactoryDefaults", 0) == 0 || strName.rfind("PmxDbInitial", 0) == 0)
        vec.emplace_back(strName, testsupport::ReadFile(entry.path().string()));
    }
    std::sort(vec.begin(), vec.end());
    return vec;
  }

  // The log lines that end with the text.
  size_t CountInLog(const std::string& a_strEnd) const {
    size_t sizetCount = 0;
    for (std::string strLine : testsupport::Lines(m_plog->Text())) {
      if (!strLine.empty() && strLine.back() == '\r') strLine.pop_back();
      if (strLine.size() >= a_strEnd.size() &&
          strLine.compare(strLine.size() - a_strEnd.size(), a_strEnd.size(), a_strEnd) == 0)
        ++sizetCount;
    }
    return sizetCount;
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
  std::unique_ptr<COsCfg> m_poscfg;
  testsupport::LocaleService m_localeservice;
  std::unique_ptr<CDatabase> m_pdatabase;
  const std::string m_strDumps = testsupport::RootPath("dumps");
  const std::string m_strState = testsupport::RootPath("state.txt");
  const std::string m_strConfig = testsupport::RootPath("config.txt");
  const std::string m_strLookup = testsupport::RootPath("lookup.txt");
};

class DbDefaultsScanner : public DbDefaultsTest, public ::testing::WithParamInterface<Scanner> {};

}  // namespace

// The fix-up's first selection of a profile applies nothing over the
// resource's defaults, so both dumps show the defaults the scanner gives.
TEST_P(DbDefaultsScanner, DumpsTheDefaultsTheRepliesGiveAndKeepsOneImageAddressRulesObject) {
  Start(1 | s_lDumpMode);
  Configure(GetParam());
  WriteListings();
  m_pdatabase->FixDefaultAll();
  const std::vector<std::pair<std::string, std::string>> vecDump = Dumps();
  ASSERT_EQ(vecDump.size(), 2u);
  EXPECT_TRUE(std::regex_match(vecDump[0].first, std::regex("PmxDbFactoryDefaults_[0-9]{9}\\.txt")));
  EXPECT_TRUE(std::regex_match(vecDump[1].first, std::regex("PmxDbInitial_[0-9]{9}\\.txt")));
  for (const auto& [strName, strDump] : vecDump) {
    const std::string strExpected = Expected(strName.substr(0, strName.find('_')).c_str());
    ASSERT_GT(strExpected.size(), 10000u);
    EXPECT_EQ(strDump, strExpected) << strName;
  }
  for (const char* szLine : {"db>>> fixdefaultall starting...", "db>>> fixdefaultall completed..."})
    EXPECT_EQ(CountInLog(szLine), 1u) << szLine;
  EXPECT_EQ(CountInLog("db>>> fixdefaultall had an error..."), 0u);

  const bool blIndexing = Expected("indexing") == "yes\n";
  EXPECT_EQ(m_pdatabase->GetDbIa() != nullptr, blIndexing);
  EXPECT_EQ(CountInLog("new CDbIa"), blIndexing ? 1u : 0u);
  // The device engine runs it again for the next scanner it opens.
  CDbIa* pdbia = m_pdatabase->GetDbIa();
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(m_pdatabase->GetDbIa(), pdbia);
  EXPECT_EQ(CountInLog("new CDbIa"), blIndexing ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    DbScanners, DbDefaultsScanner,
    ::testing::Values(Scanner{"feeder_duplex_indexing",
                              {{DB_FIRMWARE_ADF, "mapleB", [] { return DataPath("inquiry_mapleb_feeder.xml"); }}}},
                      Scanner{"feeder_and_flatbed",
                              {{DB_FIRMWARE_FLATBED, "mapleC", [] { return DataPath("inquiry_maplec_flatbed.xml"); }},
                               {DB_FIRMWARE_ADF, "mapleC", [] { return DataPath("inquiry_maplec_feeder.xml"); }}}},
                      Scanner{"simplex_colour", {{DB_FIRMWARE_ADF, "mapleB", &SimplexColourReply}}}),
    [](const ::testing::TestParamInfo<Scanner>& a_info) { return std::string(a_info.param.szName); });

// Outside dump mode the fix-up writes no file, and its defaults are there
// all the same.
TEST_F(DbDefaultsTest, WritesNoDumpOutsideDumpMode) {
  Start(1);
  Configure({"feeder", {{DB_FIRMWARE_ADF, "mapleB", [] { return DataPath("inquiry_mapleb_feeder.xml"); }}}});
  m_pdatabase->FixDefaultAll();
  EXPECT_TRUE(Dumps().empty());
  CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_PHYSICALHEIGHTADJUST);
  ASSERT_NE(pdbdatum, nullptr);
  EXPECT_EQ(m_pdatabase->RangeGetDefaultMin(pdbdatum), 600);
  EXPECT_EQ(m_pdatabase->RangeGetDefaultMax(pdbdatum), 33000);
  EXPECT_EQ(m_pdatabase->GetCurrentLong(pdbdatum), 16800);
}

// A scanner that reports no sheet height leaves the physical height's
// bounds as the default database has them, not at 0.
TEST_F(DbDefaultsTest, WithoutASheetHeightThePhysicalHeightKeepsItsBounds) {
  Start(1);
  m_pdatabase->FixDefaultAll();
  CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_PHYSICALHEIGHTADJUST);
  ASSERT_NE(pdbdatum, nullptr);
  EXPECT_EQ(m_pdatabase->RangeGetDefaultMin(pdbdatum), 3000);
  EXPECT_EQ(m_pdatabase->RangeGetDefaultMax(pdbdatum), 40800);
  EXPECT_EQ(m_pdatabase->GetCurrentLong(pdbdatum), 16800);
  EXPECT_EQ(CountInLog("db>>> no sheetheight, the physical height keeps its bounds..."), 1u);
}

// A scanner opened later without indexing leaves no image-address rules
// behind: every object made is deleted, whatever the order of the scanners.
TEST_F(DbDefaultsTest, TheImageAddressRulesGoWithAScannerWithoutIndexing) {
  Start(1);
  Configure({"feeder", {{DB_FIRMWARE_ADF, "mapleB", [] { return DataPath("inquiry_mapleb_feeder.xml"); }}}});
  m_pdatabase->FixDefaultAll();
  ASSERT_NE(m_pdatabase->GetDbIa(), nullptr);
  for (const char* szValue : {"none", "imageaddress"})
    m_pdatabase->ConfigEnumDelete("indexingformat", szValue, DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(m_pdatabase->GetDbIa(), nullptr);
  EXPECT_EQ(CountInLog("new CDbIa"), 1u);
  m_pdatabase->ConfigEnumAdd("indexingformat", "none", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  EXPECT_NE(m_pdatabase->GetDbIa(), nullptr);
  EXPECT_EQ(CountInLog("new CDbIa"), 2u);
}

// A database that does not hold the datum table has nothing to fix.
TEST_F(DbDefaultsTest, ADatabaseWithoutTheTableFixesNothing) {
  Start(1);
  CDatabase databaseSecond;
  ASSERT_FALSE(databaseSecond.IsValid());
  databaseSecond.FixDefaultAll();
  databaseSecond.DeviceUpdateAll();
  EXPECT_EQ(databaseSecond.GetDbIa(), nullptr);
  EXPECT_EQ(CountInLog("No datum table to fix..."), 1u);
  EXPECT_EQ(CountInLog("db>>> fixdefaultall starting..."), 0u);
}

// Each fix-up starts from the resource: a duplex scanner whose fix-up runs
// after a simplex one's on the same database is offered its rear cameras and
// two-sided input, exactly as on a fresh database. (The configuration store
// reads one inquiry per database: the simplex scanner is the duplex one's
// configuration without its rear camera.)
TEST_F(DbDefaultsTest, AFixUpStartsFromTheResourceNotFromTheScannerBefore) {
  const Scanner scannerDuplex{"duplex",
                              {{DB_FIRMWARE_ADF, "mapleB", [] { return DataPath("inquiry_mapleb_feeder.xml"); }}}};
  Start(1);
  Configure(scannerDuplex);
  m_pdatabase->FixDefaultAll();
  const std::string strFresh = ruleslisting::State(*m_pdatabase);
  m_pdatabase.reset();

  m_pdatabase = std::make_unique<CDatabase>();
  ASSERT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false), DB_STS_SUCCESS);
  Configure(scannerDuplex);
  m_pdatabase->ConfigDelete("duplex", DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigEnumDelete("cameratype", "rear", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  CDbDatum* pdbdatumRear = m_pdatabase->FindInWindowBin(0, DB_BIN_COLOR_REAR, DB_ID_CAMERAENABLE);
  ASSERT_NE(pdbdatumRear, nullptr);
  ASSERT_EQ(pdbdatumRear->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  ASSERT_FALSE(m_pdatabase->EnumHasCurrentItem(m_pdatabase->Find(DB_ID_INPUTDOCUMENT),
                                               DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED));

  m_pdatabase->ConfigAdd("duplex", DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigEnumAdd("cameratype", "rear", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  EXPECT_NE(pdbdatumRear->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_TRUE(m_pdatabase->EnumHasCurrentItem(m_pdatabase->Find(DB_ID_INPUTDOCUMENT),
                                              DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED));
  // Line by line: the lines of either state the other lacks.
  const std::vector<std::string> vecstrFresh = testsupport::Lines(strFresh);
  const std::vector<std::string> vecstrAgain = testsupport::Lines(ruleslisting::State(*m_pdatabase));
  std::vector<std::string> vecstrDiffer;
  for (size_t sizet = 0; sizet < std::max(vecstrFresh.size(), vecstrAgain.size()); ++sizet) {
    const std::string strFreshLine = sizet < vecstrFresh.size() ? vecstrFresh[sizet] : "";
    const std::string strAgainLine = sizet < vecstrAgain.size() ? vecstrAgain[sizet] : "";
    if (strFreshLine != strAgainLine) vecstrDiffer.push_back(strFreshLine + " | " + strAgainLine);
  }
  EXPECT_TRUE(vecstrDiffer.empty()) << ::testing::PrintToString(vecstrDiffer);
}

// A fix-up run while the caller is loading (state 3) reads the resource
// again without ending the load: the bit stays set, and a frame set after
// each run is bounded by the sheet's longest height, as during a load.
TEST_F(DbDefaultsTest, AFixUpDuringALoadKeepsTheLoadingState) {
  Start(1);
  Configure({"feeder_and_flatbed",
             {{DB_FIRMWARE_FLATBED, "mapleC", [] { return DataPath("inquiry_maplec_flatbed.xml"); }},
              {DB_FIRMWARE_ADF, "mapleC", [] { return DataPath("inquiry_maplec_feeder.xml"); }}}});
  const auto lSheetMax = static_cast<long>(m_pdatabase->ConfigRangeGetMax("sheetheight", DB_CONFIGTARGET_COMMON));
  ASSERT_GT(lSheetMax, 0);
  m_pdatabase->SetDbState(DB_STATE_LOADING);
  for (int iRun = 0; iRun < 3; ++iRun) {
    SCOPED_TRACE(iRun);
    m_pdatabase->FixDefaultAll();
    EXPECT_NE(m_pdatabase->TestDbState(DB_STATE_LOADING), 0);
    CDbDatum* pdbdatumHeight = m_pdatabase->FindInWindowBin(0, DB_BIN_COLOR_FRONT, DB_ID_FRAMEHEIGHT);
    ASSERT_NE(pdbdatumHeight, nullptr);
    ASSERT_EQ(m_pdatabase->SetCurrentLong(pdbdatumHeight, 6000, false), DB_STS_SUCCESS);
    for (EDBID edbid : {DB_ID_FRAMEHEIGHT, DB_ID_FRAMEYOFFSET}) {
      CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(0, DB_BIN_COLOR_FRONT, edbid);
      ASSERT_NE(pdbdatum, nullptr);
      EXPECT_EQ(m_pdatabase->RangeGetCurrentMax(pdbdatum), lSheetMax) << edbid;
    }
  }
  m_pdatabase->ClearDbState(DB_STATE_LOADING);
  m_pdatabase->FixDefaultAll();
  EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_LOADING), 0);
}
