// The database object's life: building it with its components and the
// catalogue, loading the library's own lookup and default database, the
// text dump of the result, destroying it and building it again; one database
// at a time holding the datum table; loads from missing or damaged
// resources.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_dumppath.h"
#include "mem_lines.h"
#include "os_coscfg.h"
#include "os_cosmem.h"
#include "os_costime.h"
#include "test_support.h"

namespace {

// One "mem>>>" line: the unit that wrote it, the address, and the class of
// a creation (empty for a deletion).
struct MemLine {
  std::string strSource, strAddress, strClass;
};

std::vector<MemLine> MemLines(const std::string& a_strLog) {
  static const std::regex s_reNew(R"(^\d+ \d+ (\S+) .* mem>>> addr:(\S+)  size: *\d+  new (\S+)\r?$)");
  static const std::regex s_reDelete(R"(^\d+ \d+ (\S+) .* mem>>> addr:(\S+) delete-object\r?$)");
  std::vector<MemLine> vec;
  for (const std::string& strLine : testsupport::Lines(a_strLog)) {
    std::smatch match;
    if (std::regex_match(strLine, match, s_reNew)) {
      vec.push_back({match[1], match[2], match[3]});
    } else if (std::regex_match(strLine, match, s_reDelete)) {
      vec.push_back({match[1], match[2], ""});
    }
  }
  return vec;
}

// The database's own components in the order they were made (its unit's
// creations before the first sentinel) and deleted (its unit's deletions
// of those same objects).
struct Components {
  std::vector<std::string> vecMade, vecDeleted;
};

Components ComponentsOf(const std::string& a_strBuild, const std::string& a_strDestroy) {
  Components components;
  std::map<std::string, std::string> mapClass;
  for (const MemLine& line : MemLines(a_strBuild)) {
    if (line.strClass == "CUNDEFINED") break;
    if (line.strSource != "db_cdatabase" || line.strClass.empty()) continue;
    components.vecMade.push_back(line.strClass);
    mapClass[line.strAddress] = line.strClass;
  }
  for (const MemLine& line : MemLines(a_strDestroy)) {
    if (line.strSource == "db_cdatabase" && line.strClass.empty() && mapClass.count(line.strAddress))
      components.vecDeleted.push_back(mapClass[line.strAddress]);
  }
  return components;
}

const std::string s_strLibrary = SCANDRV_LIBRARY_PATH;

class DbDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plog = std::make_unique<testsupport::LogCapture>(1);
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
  }

  void TearDown() override {
    m_pdatabase.reset();
    m_poscfg.reset();
    m_pmem.reset();
    m_plog.reset();
  }

  std::string LogFrom(size_t a_sizetFrom) const { return m_plog->Text().substr(a_sizetFrom); }

  static EDBSTS LoadLibrary(CDatabase& a_database) {
    return a_database.Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, s_strLibrary.c_str(), false);
  }

  // Configuration with the dumps in a directory of their own.
  void UseConfiguration() {
    OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    std::filesystem::create_directories(m_strDumps);
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, m_strDumps.c_str()), OS_STS_SUCCESS);
  }

  // The dump files made so far, by name.
  std::vector<std::string> Dumps() const {
    std::vector<std::string> vec;
    for (const auto& entry : std::filesystem::directory_iterator(m_strDumps))
      vec.push_back(entry.path().filename().string());
    std::sort(vec.begin(), vec.end());
    return vec;
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
  std::unique_ptr<COsCfg> m_poscfg;
  std::unique_ptr<CDatabase> m_pdatabase;
  const std::string m_strDumps = testsupport::RootPath("dumps");
};

// ---------------------------------------------------------------------------
// Life
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseTest, BuildLoadDestroyAndBuildAgain) {
  for (int iRound = 0; iRound < 2; ++iRound) {
    SCOPED_TRACE("round " + std::to_string(iRound));
    const size_t sizetBuild = m_plog->Text().size();
    m_pdatabase = std::make_unique<CDatabase>();
    ASSERT_TRUE(m_pdatabase->IsValid());
    ASSERT_NE(CDbDatum::ms_pdatumcommon, nullptr);
    EXPECT_EQ(CDbDatum::GetDatabase(), m_pdatabase.get());
    EXPECT_EQ(m_pdatabase->GetDbNotify(), CDbDatum::GetDbNotify());
    EXPECT_EQ(m_pdatabase->GetScanSource(), 1);
    EXPECT_EQ(m_pdatabase->GetWindowMax(), 11);
    EXPECT_EQ(m_pdatabase->GetDbIa(), nullptr);  // made by the default fix-up
    // Before the load: every capability there, none supported.
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED);
    ASSERT_NE(pdbdatum, nullptr);
    EXPECT_EQ(pdbdatum->GetAccess(), DB_ACCESS_NOTSUPPORTED);
    EXPECT_FALSE(m_pdatabase->IsIdSupported(DB_ID_ADFTIMEOUTENABLED));

    const size_t sizetLoad = m_plog->Text().size();
    ASSERT_EQ(LoadLibrary(*m_pdatabase), DB_STS_SUCCESS);
    const std::string strLoad = LogFrom(sizetLoad);
    EXPECT_NE(strLoad.find(">>> CDatabase::Load(1," + s_strLibrary + ")"), std::string::npos);
    EXPECT_EQ(strLoad.find("failed"), std::string::npos) << strLoad;
    // The lookup names every datum; the default database supports some.
    EXPECT_STREQ(m_pdatabase->GetName(pdbdatum), "ADFTIMEOUTENABLED");
    EXPECT_EQ(pdbdatum->GetAccess(), DB_ACCESS_READWRITE);
    EXPECT_TRUE(m_pdatabase->IsIdSupported(DB_ID_ADFTIMEOUTENABLED));
    EXPECT_TRUE(m_pdatabase->IsIdColor(DB_ID_BRIGHTNESS));
    EXPECT_FALSE(m_pdatabase->IsIdBitonal(DB_ID_BRIGHTNESS));
    EXPECT_EQ(m_pdatabase->ConfigUseLanguage(true, DB_FIRMWARE_ADF), std::string("en_usa"));

    const size_t sizetDestroy = m_plog->Text().size();
    m_pdatabase.reset();
    EXPECT_EQ(CDbDatum::ms_pdatumcommon, nullptr);
    const Components components = ComponentsOf(LogFrom(sizetBuild).substr(0, sizetDestroy - sizetBuild),
                                               LogFrom(sizetDestroy));
    EXPECT_EQ(components.vecMade,
              (std::vector<std::string>{"COsXmlTask", "CDbVersion", "CDbLookup", "CDbLabel", "CDbFrame",
                                        "CDbProfileList", "CDbConfig"}));
    EXPECT_EQ(components.vecDeleted,
              (std::vector<std::string>{"CDbLabel", "CDbFrame", "CDbLookup", "CDbVersion", "COsXmlTask",
                                        "CDbProfileList", "CDbConfig"}));
  }
  dbtest::ExpectMemoryLinesPaired(m_plog->Text());
}

// The shared objects of the table come from the first datum; a database
// whose table could be made holds it alone until it goes.
TEST_F(DbDatabaseTest, ASecondDatabaseLeavesTheLiveTableAlone) {
  m_pdatabase = std::make_unique<CDatabase>();
  ASSERT_EQ(LoadLibrary(*m_pdatabase), DB_STS_SUCCESS);
  DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED);
  {
    const size_t sizetFrom = m_plog->Text().size();
    CDatabase databaseSecond;
    EXPECT_FALSE(databaseSecond.IsValid());
    EXPECT_NE(LogFrom(sizetFrom).find("Another database holds the datum table..."), std::string::npos);
    EXPECT_EQ(CDbDatum::ms_pdatumcommon, pdatumcommon);
    EXPECT_EQ(CDbDatum::GetDatabase(), m_pdatabase.get());
    EXPECT_EQ(MemLines(LogFrom(sizetFrom)).size(), 0u);  // it made nothing
    // It reaches nothing of the live table, and says so.
    EXPECT_EQ(LoadLibrary(databaseSecond), DB_STS_FAIL);
    EXPECT_EQ(databaseSecond.FindDirect(DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED), nullptr);
    EXPECT_EQ(databaseSecond.FindInWindowBin(0, DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED), nullptr);
    EXPECT_EQ(databaseSecond.FindInWindowBin(0, DB_ID_BRIGHTNESS), nullptr);
    EXPECT_FALSE(databaseSecond.IsIdSupported(DB_ID_ADFTIMEOUTENABLED));
    EXPECT_EQ(databaseSecond.Dump(nullptr), DB_STS_FAIL);
    EXPECT_EQ(databaseSecond.DeleteAllWindows(), DB_STS_SUCCESS);
    databaseSecond.SetDbState(DB_STATE_APPLICATION);
    EXPECT_EQ(databaseSecond.TestDbState(DB_STATE_APPLICATION), 0);
    EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0);
    EXPECT_EQ(databaseSecond.GetDbMakeXml(), nullptr);
    EXPECT_EQ(databaseSecond.GetWindowMax(), 0);
    EXPECT_EQ(databaseSecond.GetWindow(), 0);
    EXPECT_EQ(databaseSecond.FindFromName(DB_BIN_MACHINE, "ADFTIMEOUTENABLED"), nullptr);
    EXPECT_FALSE(databaseSecond.ConfigExists("model", DB_EDBCONFIGTARGET_COMMON));
    EXPECT_EQ(databaseSecond.ProfileSetCurrent(nullptr), DB_STS_FAIL);
    EXPECT_EQ(databaseSecond.LookupEdbid(DB_ID_BRIGHTNESS), nullptr);
    // What it keeps for itself still works.
    EXPECT_EQ(databaseSecond.SetData("text", false), DB_STS_SUCCESS);
    EXPECT_STREQ(databaseSecond.GetData(false), "text");
  }
  // The live database is whole.
  EXPECT_EQ(CDbDatum::ms_pdatumcommon, pdatumcommon);
  EXPECT_EQ(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED), pdbdatum);
  EXPECT_EQ(pdbdatum->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_STREQ(m_pdatabase->GetName(pdbdatum), "ADFTIMEOUTENABLED");
  ASSERT_EQ(LoadLibrary(*m_pdatabase), DB_STS_SUCCESS);
  // Once it is gone, the next database holds the table.
  m_pdatabase.reset();
  CDatabase databaseNext;
  EXPECT_TRUE(databaseNext.IsValid());
  EXPECT_EQ(LoadLibrary(databaseNext), DB_STS_SUCCESS);
}

// Two databases made at the same moment on two threads: one holds the
// table, the other builds nothing.
TEST(DbDatabaseThreads, OneOfTwoDatabasesMadeAtOnceHoldsTheTable) {
  testsupport::LogCapture logcapture(1);
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 1);
  for (int iRound = 0; iRound < 4; ++iRound) {
    std::atomic<int> iValid{0};
    std::barrier barrierStart(2);
    std::barrier barrierBuilt(2);
    auto build = [&] {
      barrierStart.arrive_and_wait();
      CDatabase database;
      iValid += database.IsValid() ? 1 : 0;
      barrierBuilt.arrive_and_wait();  // both live at once
    };
    std::thread threadA(build);
    std::thread threadB(build);
    threadA.join();
    threadB.join();
    EXPECT_EQ(iValid.load(), 1) << iRound;
    EXPECT_EQ(CDbDatum::ms_pdatumcommon, nullptr);
  }
  dbtest::ExpectMemoryLinesPaired(logcapture.Text());
}

// ---------------------------------------------------------------------------
// Loading from missing and damaged resources
// ---------------------------------------------------------------------------
// Each failure is logged and the load goes on; the database keeps every
// capability and still answers.
TEST_F(DbDatabaseTest, MissingOrDamagedResourcesAreLoggedAndLeaveADatabase) {
  UseConfiguration();
  int iStatus = -1;
  const std::string strLookup = testsupport::RunProgram({SCANDRV_PMXRES, "get", s_strLibrary, "LOOKUP"}, &iStatus);
  ASSERT_EQ(iStatus, 0);
  const std::string strDatabase =
      testsupport::RunProgram({SCANDRV_PMXRES, "get", s_strLibrary, "DATABASE"}, &iStatus);
  ASSERT_EQ(iStatus, 0);
  ASSERT_GT(strDatabase.size(), 1000u);
  // A driver file of its own for each case: the resources it carries.
  auto driver = [](const std::string& a_strName, const std::map<std::string, std::string>& a_mapResource) {
    const std::string strPath = testsupport::RootPath(a_strName);
    testsupport::WriteFile(strPath, std::string(4096, 'c'));
    for (const auto& [strResource, strText] : a_mapResource) {
      const std::string strText2 = testsupport::RootPath(a_strName + "." + strResource);
      testsupport::WriteFile(strText2, strText);
      int iAdd = -1;
      testsupport::RunProgram({SCANDRV_PMXRES, "add", strPath, strResource + "=@" + strText2}, &iAdd);
      EXPECT_EQ(iAdd, 0);
    }
    return strPath;
  };
  struct Case {
    const char* szWhat;
    std::map<std::string, std::string> mapResource;  // of the driver file the load reads
    EDBSTS edbstsLookup;
    std::vector<std::string> vecLog;
    bool blDefaults;  // the default database was applied
  } acase[] = {
      {"no LOOKUP", {{"DATABASE", strDatabase}}, DB_STS_BADARGUMENT,
       {"Error finding API...LOOKUP", "LoadLookup failed...13"}, true},
      {"a LOOKUP cut short", {{"LOOKUP", strLookup.substr(0, strLookup.size() / 2)}, {"DATABASE", strDatabase}},
       DB_STS_FAIL, {"LoadLookup failed...1"}, true},
      {"no DATABASE", {{"LOOKUP", strLookup}}, DB_STS_SUCCESS,
       {"DATABASE resource not found...", "Profile list load failed...1"}, false},
      {"a DATABASE cut short",
       {{"LOOKUP", strLookup}, {"DATABASE", strDatabase.substr(0, strDatabase.size() / 2)}},
       DB_STS_SUCCESS, {"Profile list load failed..."}, false},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    const std::string strDriver = driver(std::string("driver_") + std::to_string(&c - acase) + ".so", c.mapResource);
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, strDriver.c_str()), OS_STS_SUCCESS);
    m_pdatabase = std::make_unique<CDatabase>();
    EXPECT_EQ(m_pdatabase->LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, strDriver.c_str()), c.edbstsLookup);
    const size_t sizetFrom = m_plog->Text().size();
    EXPECT_EQ(m_pdatabase->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, strDriver.c_str(), false), DB_STS_SUCCESS);
    const std::string strLog = LogFrom(sizetFrom);
    for (const std::string& strLine : c.vecLog) EXPECT_NE(strLog.find(strLine), std::string::npos) << strLine;
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED);
    ASSERT_NE(pdbdatum, nullptr);
    if (c.blDefaults) {
      EXPECT_EQ(pdbdatum->GetAccess(), DB_ACCESS_READWRITE);
    }
    EXPECT_EQ(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_WINDOW)->GetId(), DB_ID_WINDOW);
    EXPECT_EQ(m_pdatabase->Dump(nullptr), DB_STS_SUCCESS);
    // A load from the library's own resources repairs it.
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, s_strLibrary.c_str()), OS_STS_SUCCESS);
    EXPECT_EQ(LoadLibrary(*m_pdatabase), DB_STS_SUCCESS);
    EXPECT_EQ(pdbdatum->GetAccess(), DB_ACCESS_READWRITE);
    EXPECT_STREQ(m_pdatabase->GetName(pdbdatum), "ADFTIMEOUTENABLED");
    m_pdatabase.reset();
  }
  m_poscfg.reset();
  dbtest::ExpectMemoryLinesPaired(m_plog->Text());
}

TEST_F(DbDatabaseTest, LoadRefusesAnotherApi) {
  m_pdatabase = std::make_unique<CDatabase>();
  EXPECT_EQ(m_pdatabase->Load(static_cast<EDBAPI>(0), DB_LOADMETHOD_RESOURCE, nullptr, false), DB_STS_BADARGUMENT);
  EXPECT_EQ(m_pdatabase->LoadLookup(static_cast<EDBAPI>(3), DB_LOADMETHOD_RESOURCE, nullptr), DB_STS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("Unrecognized api...0"));
  EXPECT_TRUE(m_plog->Contains("Unrecognized API...3 1"));
}

// ---------------------------------------------------------------------------
// The text dump
// ---------------------------------------------------------------------------
// After a load every window-0 datum is as the default database made it:
// the expected file is written from the default records by
// tests/tools/database_dump.py.
TEST_F(DbDatabaseTest, TheDumpAfterALoadIsTheDefaultDatabase) {
  UseConfiguration();
  m_pdatabase = std::make_unique<CDatabase>();
  ASSERT_EQ(LoadLibrary(*m_pdatabase), DB_STS_SUCCESS);
  const size_t sizetFrom = m_plog->Text().size();
  ASSERT_EQ(m_pdatabase->Dump(nullptr), DB_STS_SUCCESS);
  EXPECT_NE(LogFrom(sizetFrom).find(">>> CDatabase::Dump()"), std::string::npos);
  ASSERT_EQ(m_pdatabase->Dump("PmxDbFactoryDefaults.txt"), DB_STS_SUCCESS);
  ASSERT_EQ(m_pdatabase->Dump("PmxDbInitial"), DB_STS_SUCCESS);
  const std::vector<std::string> vecNames = Dumps();
  ASSERT_EQ(vecNames.size(), 3u);
  EXPECT_TRUE(std::regex_match(vecNames[0], std::regex("PmxDbFactoryDefaults_[0-9]{9}\\.txt"))) << vecNames[0];
  EXPECT_TRUE(std::regex_match(vecNames[1], std::regex("PmxDbFixed_[0-9]{9}\\.txt"))) << vecNames[1];
  EXPECT_TRUE(std::regex_match(vecNames[2], std::regex("PmxDbInitial_[0-9]{9}"))) << vecNames[2];
  const std::string strExpected =
      testsupport::ReadFile(std::string(SCANDRV_TEST_DATA) + "/db/database_dump_expected.txt");
  ASSERT_GT(strExpected.size(), 10000u);
  for (const std::string& strName : vecNames) {
    const std::string strDump = testsupport::ReadFile(m_strDumps + "/" + strName);
    EXPECT_EQ(strDump, strExpected) << strName;
  }
}

// Pending notifications close a datum's line, in the order value, access,
// constraint, profiles, sides, images; before the lookup is loaded every
// name is "???".
TEST_F(DbDatabaseTest, TheDumpShowsPendingNotificationsAndUnnamedDatums) {
  UseConfiguration();
  m_pdatabase = std::make_unique<CDatabase>();
  ASSERT_EQ(m_pdatabase->Dump("unnamed.txt"), DB_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("Add edbid 1 to lookup.dbc..."));
  ASSERT_EQ(LoadLibrary(*m_pdatabase), DB_STS_SUCCESS);
  CDbDatum* pdbdatumRange = m_pdatabase->FindDirect(DB_BIN_COLOR_FRONT, DB_ID_BRIGHTNESS);
  CDbDatum* pdbdatumEnum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED);
  m_pdatabase->NotifyResetAll();
  m_pdatabase->NotifySet(static_cast<EDBNOTIFY>(DB_NOTIFY_VALUE | DB_NOTIFY_PROFILES), pdbdatumRange);
  m_pdatabase->NotifySet(DB_NOTIFY_ALL, pdbdatumEnum);
  ASSERT_EQ(m_pdatabase->Dump("named.txt"), DB_STS_SUCCESS);
  const std::vector<std::string> vecNames = Dumps();
  ASSERT_EQ(vecNames.size(), 2u);
  const std::string strNamed = testsupport::ReadFile(m_strDumps + "/" + vecNames[0]);
  const std::string strUnnamed = testsupport::ReadFile(m_strDumps + "/" + vecNames[1]);
  EXPECT_NE(strUnnamed.find("\r\n   3 ???                              undefined ()\r\n"), std::string::npos);
  EXPECT_NE(strNamed.find("\r\n  34 BRIGHTNESS                       range(readwrite,long,fwadfflatbednexil): "
                          "0 -50 50 1, 0 -50 50 1 (DB_NOTIFY_VALUE,DB_NOTIFY_PROFILES)\r\n"),
            std::string::npos);
  EXPECT_NE(strNamed.find("\r\n   3 ADFTIMEOUTENABLED                enum(readwrite,long,fwadfflatbednexil): 2 2 "
                          "(DB_NOTIFY_VALUE,DB_NOTIFY_ACCESS,DB_NOTIFY_CONSTRAINT,DB_NOTIFY_PROFILES,"
                          "DB_NOTIFY_SIDES,DB_NOTIFY_IMAGES)\r\n"),
            std::string::npos);
  // Nothing else is pending.
  EXPECT_EQ(strNamed.find("(DB_NOTIFY_CONSTRAINT)"), std::string::npos);
}

// The time of day in a dump's name: hours, minutes, seconds and three
// digits of milliseconds, always nine digits, the time the name was made.
// Names are made until some fall in the first tenth of a second, where a
// shorter millisecond field would show.
TEST_F(DbDatabaseTest, TheDumpNameHoldsTheTimeOfDayInNineDigits) {
  UseConfiguration();
  auto millisecondOfDay = [](const OsTimeRecord& a_r) {
    return ((a_r.u16Hour * 60L + a_r.u16Minute) * 60 + a_r.u16Second) * 1000 + a_r.u16Milliseconds;
  };
  const std::regex regexName(".*/PmxDbFixed_([0-9]{2})([0-9]{2})([0-9]{2})([0-9]{3})\\.txt");
  int iEarly = 0, iNames = 0;
  for (auto start = std::chrono::steady_clock::now();
       iEarly < 3 && std::chrono::steady_clock::now() - start < std::chrono::seconds(5); ++iNames) {
    OsTimeRecord ostimerecordBefore{}, ostimerecordAfter{};
    char szPath[512];
    COsTime::GetLocalTime(&ostimerecordBefore);
    ASSERT_TRUE(DbDumpPath("PmxDbFixed.txt", szPath, sizeof szPath));
    COsTime::GetLocalTime(&ostimerecordAfter);
    std::cmatch cmatch;
    ASSERT_TRUE(std::regex_match(szPath, cmatch, regexName)) << szPath;
    const long lStamp = ((std::stol(cmatch[1]) * 60 + std::stol(cmatch[2])) * 60 + std::stol(cmatch[3])) * 1000 +
                        std::stol(cmatch[4]);
    const long lBefore = millisecondOfDay(ostimerecordBefore), lAfter = millisecondOfDay(ostimerecordAfter);
    if (lBefore > lAfter) continue;  // midnight passed
    EXPECT_GE(lStamp, lBefore) << szPath;
    EXPECT_LE(lStamp, lAfter) << szPath;
    if (ostimerecordAfter.u16Milliseconds < 100 && lAfter - lBefore < 100) ++iEarly;
    COsTime::Sleep(7);
  }
  EXPECT_EQ(iEarly, 3) << "after " << iNames << " names";
}

TEST_F(DbDatabaseTest, ADumpThatCannotBeCreatedFails) {
  UseConfiguration();
  m_pdatabase = std::make_unique<CDatabase>();
  const std::string strMissing = testsupport::RootPath("no/such/directory");
  ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY, strMissing.c_str()), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdatabase->Dump(nullptr), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unable to create file...<" + strMissing + "/PmxDbFixed_"));
}

}  // namespace
