// The image-library adapter against the staged stand-in: loading in
// process, the session's tasks and what the database learns from them,
// the library's reports, a library that throws, and the loads and tasks it
// refuses.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "db_cdbversion.h"
#include "dev_cdevnexil_fixture.h"
#include "os_coscfg.h"
#include "os_cosmem.h"

namespace {

using devtest::Commands;
using devtest::LoggedTask;

class DevNexil : public devtest::DevNexilFixture {};

// Load(1, 1) takes the staged library; interfaceopen and sessionbegin send
// what the library needs, and the database answers the library's inquiry
// under its prefix.
TEST_F(DevNexil, LoadsInProcessAndOpensASession) {
  const std::string strLibrary = m_strSystem + "/" + m_strModel + "/lib/nexil";
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("Loaded NEXIL <" + strLibrary + ">...")) << m_plog->Text();
  EXPECT_EQ(m_pdevnexil->GetEdevnexilcall(), DEV_NEXILCALL_INPROCESS);
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_INPROCESS);
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_FLATBED), DEV_NEXILCALL_NONE);
  EXPECT_TRUE(m_pdevnexil->CheckDravix(DB_FIRMWARE_ADF));
  ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();

  const std::vector<LoggedTask> vec = TaskLog();
  ASSERT_EQ(Commands(vec), (std::vector<std::string>{"interfaceopen", "sessionbegin", "querysupport"}));
  EXPECT_EQ(vec[0].mapArgument, (std::map<std::string, std::string>{{"usesession", "true"}}));
  EXPECT_EQ(vec[1].mapArgument, (std::map<std::string, std::string>{
                                    {"imageendmode", "true"}, {"eolmode", "none"}, {"language", "en_usa"}}));
  for (size_t i = 0; i < vec.size(); ++i) {
    EXPECT_EQ(vec[i].ulId, i + 1);
    EXPECT_EQ(vec[i].strUnit, "adf");
    EXPECT_EQ(vec[i].strStatus, "success");
  }
  EXPECT_TRUE(m_pdatabase->ConfigEnumExists("nexil_barcodetype", "code128", DB_CONFIGTARGET_ADF));
  EXPECT_TRUE(m_pdatabase->ConfigEnumExists("nexil_imageformat", "rgb_24", DB_CONFIGTARGET_COMMON));
  EXPECT_EQ(m_pdatabase->ConfigRangeGetMax("nexil_barcodecount", DB_CONFIGTARGET_ADF), 6u);
  // Debug logging wraps each task and reply in the unit's tags.
  EXPECT_TRUE(m_plog->Contains("<DRV2NEX><task id='00000000000000000002'")) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("<NEX2DRV><task id=")) << m_plog->Text();

  // A second load keeps the library; an unload ends the session and closes
  // the interface first, and a new load opens afresh.
  EXPECT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("The library is already in use..."));
  EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_BOTH), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_NONE);
  EXPECT_EQ(Commands(TaskLog()), (std::vector<std::string>{"interfaceopen", "sessionbegin", "querysupport",
                                                           "sessionend", "interfaceclose"}));
  Open();
  EXPECT_EQ(TaskLog().back().strCommand, "querysupport");
  EXPECT_EQ(TaskLog().back().ulId, 8u);
}

// The library's log settings: its debug switch and a "nexil" directory
// beside the driver's own log directory.
TEST_F(DevNexil, TellsTheLibraryWhereToLog) {
  const char* szLogPath = std::getenv("NEXIL_LOGPATH");
  ASSERT_NE(szLogPath, nullptr);
  std::string strExpected = m_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY);
  while (!strExpected.empty() && strExpected.back() == '/') strExpected.pop_back();
  if (std::filesystem::path(strExpected).filename() == "driver")
    strExpected = std::filesystem::path(strExpected).parent_path().string();
  EXPECT_EQ(std::string(szLogPath), strExpected + "/nexil/");
  EXPECT_TRUE(std::filesystem::is_directory(szLogPath));
  ASSERT_NE(std::getenv("NEXIL_LOGDEBUG"), nullptr);
  EXPECT_EQ(std::string(std::getenv("NEXIL_LOGDEBUG")), m_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUG));

  // A log directory named "driver" gives its parent's "nexil".
  const std::string strDriver = testsupport::RootPath("logs/driver/");
  Configure(OS_CFGTAG_LOGDIRECTORY, strDriver.c_str());
  CDevNexil devnexil(m_pdatabase.get());
  EXPECT_EQ(std::string(std::getenv("NEXIL_LOGPATH")), testsupport::RootPath("logs/nexil/"));
  EXPECT_TRUE(std::filesystem::is_directory(testsupport::RootPath("logs/nexil")));
}

// Versions as the library reports them: a number is shown dotted and, below
// 6.10 and unless ForceMemoryMap, switches the memory service to its shared
// mode; a dotted text is stored as it is, for the flatbed too.
TEST_F(DevNexil, VersionsFromTheLibrary) {
  ConfigureFlatbed();
  const struct {
    const char* szReported;
    const char* szStored;
    const char* szForceMemoryMap;
    bool blSharedMode;
  } acase[] = {
      {"6010203", "6.1.2.3", "0", true},  {"6010200", "6.1.2", "0", true}, {"6000000", "6.0", "0", true},
      {"6100200", "6.10.2", "0", false},  {"6000000", "6.0", "1", false},  {"5.2.1", "5.2.1", "0", false},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szReported);
    setenv("NEXSIM_VERSION", c.szReported, 1);
    Configure(OS_CFGTAG_FORCEMEMORYMAP, c.szForceMemoryMap);
    m_pdevnexil->Unload(DB_FIRMWARE_BOTH);
    ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS);
    ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_FLATBED, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
    ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_FLATBED), OS_STS_SUCCESS);
    g_posmem->SetSharedMode(OS_SHAREDMODE_MAPFILEALL);
    m_pdevnexil->GetVersion();
    EXPECT_EQ(g_posmem->SetSharedMode(OS_SHAREDMODE_MAPFILEALL),
              c.blSharedMode ? OS_SHAREDMODE_MAPFILEASNEEDED : OS_SHAREDMODE_MAPFILEALL);
    CDbVersion* pdbversion = m_pdatabase->GetDbVersion();
    EXPECT_STREQ(pdbversion->GetVersionNumberNexilAdf(), c.szStored);
    EXPECT_STREQ(pdbversion->GetVersionNumberNexilFlatbed(), c.szStored);
    // getversionuser's text replaces the text of getversion.
    EXPECT_EQ(pdbversion->GetVersionNexilAdf(), std::string("image library stand-in ") + c.szReported + " adf");
    EXPECT_EQ(pdbversion->GetVersionNexilFlatbed(),
              std::string("image library stand-in ") + c.szReported + " flatbed");
  }
}

// A reply without the version element stores nothing: getversion before
// interfaceopen is answered "invalidstate" alone (and the stand-in keeps no
// task log before its interfaceopen).
TEST_F(DevNexil, AVersionReplyWithoutItsElementStoresNothing) {
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS);
  m_pdevnexil->GetVersion();
  EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionNumberNexilAdf(), "");
  EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionNexilAdf(), "");
  EXPECT_TRUE(m_plog->Contains("getversion: no version in the reply..."));
  EXPECT_TRUE(m_plog->Contains("getversionuser: no version in the reply..."));
}

// The free sizes come from passthroughdravix, count first; another status
// gives 1 and an empty list.
TEST_F(DevNexil, FreeMemoryOfTheLibrary) {
  setenv("NEXSIM_MAXMEMORY", "3", 1);
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS);
  OsMemList osmemlist = {};
  osmemlist.u64Count = 9;
  // Before interfaceopen the library answers invalidstate.
  EXPECT_EQ(m_pdevnexil->GetFreeMemory("front", &osmemlist), DEV_STS_FAIL);
  EXPECT_EQ(osmemlist.u64Count, 0u);
  ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdevnexil->GetFreeMemory("front", &osmemlist), DEV_STS_SUCCESS);
  ASSERT_EQ(osmemlist.u64Count, 1u);
  EXPECT_EQ(osmemlist.au64Size[0], 3u << 20);
  const LoggedTask loggedtask = TaskLog().back();
  EXPECT_EQ(loggedtask.strCommand, "passthroughdravix");
  EXPECT_EQ(loggedtask.mapArgument, (std::map<std::string, std::string>{{"getfreememory", ""}}));
  // The flatbed's camera reaches the flatbed, which is not loaded.
  EXPECT_EQ(m_pdevnexil->GetFreeMemory("flatbed", &osmemlist), DEV_STS_FAIL);
  EXPECT_EQ(osmemlist.u64Count, 0u);
}

// A task that throws out of the library: "NEXIL crashed...", the fixed fail
// reply exactly, and the library serves the next tasks.
TEST_F(DevNexil, ALibraryThatThrows) {
  setenv("NEXSIM_THROWAT", "1", 1);
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_INPROCESS), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
  const size_t sizetFrom = LogSize();
  EXPECT_STREQ(m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "\t<getversion>\n\t</getversion>\n"),
               "<task id='00000000000000000001' reply='00000000000000000000' bytes='00000000000000000000'>\n"
               "\t<reportstatus>\n\t\t<status>fail</status>\n\t</reportstatus>\n</task>");
  EXPECT_NE(LogFrom(sizetFrom).find("NEXIL crashed..."), std::string::npos);
  EXPECT_EQ(errno, 0);
  EXPECT_EQ(m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
  const std::vector<LoggedTask> vec = TaskLog();
  ASSERT_EQ(Commands(vec), (std::vector<std::string>{"interfaceopen", "getversion", "sessionbegin", "querysupport"}));
  EXPECT_EQ(vec[1].strStatus, "throw");
}

// messagerelay: each message lands in the database's data buffer 1, which
// is emptied before each relay; then "endofmessages" (27).
TEST_F(DevNexil, MessagesRelayedIntoTheDatabase) {
  setenv("NEXSIM_RELAY", "2", 1);
  Open();
  for (const char* szMessage : {"nexsim message 1", "nexsim message 2"}) {
    EXPECT_EQ(m_pdevnexil->MessageRelay(DB_FIRMWARE_ADF, "<fromscanner>x</fromscanner>"), DEV_STS_SUCCESS);
    ASSERT_NE(m_pdatabase->GetData(true), nullptr);
    EXPECT_NE(std::string(m_pdatabase->GetData(true)).find(szMessage), std::string::npos)
        << m_pdatabase->GetData(true);
  }
  EXPECT_EQ(m_pdevnexil->MessageRelay(DB_FIRMWARE_ADF, ""), DEV_STS_ENDOFMESSAGES);
  const char* szData = m_pdatabase->GetData(true);
  EXPECT_TRUE(!szData || !*szData) << szData;
  // The first relay carried the text it was given.
  EXPECT_EQ(TaskLog()[3].Arg("fromscanner"), "x");
}

// With ForceNexilUseImageEnd 0 the library hears of no image end and is
// not asked for the image-end mode; the default is 1.
TEST_F(DevNexil, ImageEndFollowsTheDriversSetting) {
  EXPECT_EQ(DevDriverConfigGetLong(DRV_CFGTAG_FORCENEXILUSEIMAGEEND), 1);
  ConfigureDriver(DRV_CFGTAG_FORCENEXILUSEIMAGEEND, "0");
  EXPECT_EQ(DevDriverConfigGetLong(DRV_CFGTAG_FORCENEXILUSEIMAGEEND), 0);
  Open();
  EXPECT_EQ(m_pdevnexil->ImageEnd(DB_FIRMWARE_ADF, "/some/output.raw"), nullptr);
  const std::vector<LoggedTask> vec = TaskLog();
  EXPECT_EQ(Commands(vec), (std::vector<std::string>{"interfaceopen", "sessionbegin", "querysupport"}));
  EXPECT_EQ(vec[1].mapArgument.count("imageendmode"), 0u);
  ConfigureDriver(DRV_CFGTAG_FORCENEXILUSEIMAGEEND, "1");
  EXPECT_EQ(m_pdevnexil->ImageEnd(DB_FIRMWARE_ADF, ""), nullptr);  // no name, nothing sent
  const char* szReply = m_pdevnexil->ImageEnd(DB_FIRMWARE_ADF, "/some/output.raw");
  ASSERT_NE(szReply, nullptr);
  EXPECT_EQ(simtest::Element(szReply, "status"), "invalidstate");  // no scan
  EXPECT_EQ(TaskLog().back().Arg("imagefilename"), "/some/output.raw");
}

// Loads that cannot be made: each fails with its line and leaves the
// unit's record empty.
TEST_F(DevNexil, LoadsRefused) {
  const std::string strSystem = testsupport::RootPath("system");
  std::filesystem::create_directories(strSystem + "/empty/lib");
  std::filesystem::create_directories(strSystem + "/noentry/lib");
  std::filesystem::copy_file(SCANDRV_PELUM_NOENTRY_PATH, strSystem + "/noentry/lib/nexil.so");
  const struct {
    const char* szWhat;
    EDBID_FIRMWARE edbidfirmware;
    const char* szSystem;
    const char* szModel;
    const char* szForceNexilCall;
    const char* szLog;
  } acase[] = {
      {"unit 0", static_cast<EDBID_FIRMWARE>(0), nullptr, nullptr, "1", "Unrecognize a_edbidfirmware 0..."},
      {"unit 3", DB_FIRMWARE_BOTH, nullptr, nullptr, "1", "Unrecognize a_edbidfirmware 3..."},
      {"no flatbed", DB_FIRMWARE_FLATBED, nullptr, nullptr, "1", "No nexil flatbed to load"},
      {"no library", DB_FIRMWARE_ADF, "system", "empty", "1", "could not find or load DLL file..."},
      {"no entry", DB_FIRMWARE_ADF, "system", "noentry", "1", "Unabled to load the NexEntry for the library"},
      {"mode 7", DB_FIRMWARE_ADF, nullptr, nullptr, "7", "unrecognized edevnexilcall...7"},
      {"mode -1", DB_FIRMWARE_ADF, nullptr, nullptr, "-1", "unrecognized edevnexilcall...-1"},
      {"mode 2^32 + 1", DB_FIRMWARE_ADF, nullptr, nullptr, "0x100000001", "unrecognized edevnexilcall...4294967297"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    Configure(OS_CFGTAG_SYSTEMDIRECTORY, c.szSystem ? strSystem.c_str() : m_strSystem.c_str());
    Configure(OS_CFGTAG_MODELDIRECTORY, c.szModel ? c.szModel : m_strModel.c_str());
    Configure(OS_CFGTAG_FORCENEXILCALL, c.szForceNexilCall);
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(m_pdevnexil->Load(c.edbidfirmware, DEV_NEXILCALL_INPROCESS), OS_STS_FAIL);
    EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
    EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_ADF), DEV_NEXILCALL_NONE);
    EXPECT_EQ(m_pdevnexil->GetUnitNexilCall(DB_FIRMWARE_FLATBED), DEV_NEXILCALL_NONE);
  }
  // An empty flatbed directory is refused too.
  m_pdatabase->ConfigSetString("modeldirectoryflatbed", "", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_pdevnexil->Load(DB_FIRMWARE_FLATBED, DEV_NEXILCALL_INPROCESS), OS_STS_FAIL);
  EXPECT_TRUE(TaskLog().empty());
}

// Every task to a unit with nothing loaded: no reply, a clear failure, and
// nothing reaches a library.
TEST_F(DevNexil, TasksToAnUnloadedUnit) {
  char szOutput[256] = "x";
  OsMemList osmemlist = {};
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("Xml task is empty"), std::string::npos);
  EXPECT_NE(LogFrom(sizetFrom).find("Nexil interfaceopen failed..."), std::string::npos);
  EXPECT_EQ(m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->ResourceBegin(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->ResourceEnd(DB_FIRMWARE_ADF), OS_STS_SUCCESS);  // nothing reserved
  EXPECT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 4), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);  // nothing begun
  EXPECT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, true), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, szOutput, sizeof szOutput), DEV_STS_FAIL);
  EXPECT_STREQ(szOutput, "");
  EXPECT_EQ(m_pdevnexil->SetupBegin(DB_FIRMWARE_ADF, true), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->SetupEnd(DB_FIRMWARE_ADF, false), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->MessageRelay(DB_FIRMWARE_ADF, ""), DEV_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->SetToggle("<cameraid>front</cameraid>"), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->SetBaffle("<reportimage><cameraid>front</cameraid></reportimage>"), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->SetInput("<reportimage><cameraid>front</cameraid></reportimage>"), OS_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->GetFreeMemory("front", &osmemlist), DEV_STS_FAIL);
  EXPECT_EQ(m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "<getversion/>"), nullptr);
  EXPECT_EQ(m_pdevnexil->InterfaceClose(DB_FIRMWARE_ADF), nullptr);
  EXPECT_EQ(m_pdevnexil->SessionEnd(DB_FIRMWARE_BOTH), nullptr);
  m_pdevnexil->GetVersion();
  EXPECT_EQ(m_pdevnexil->Unload(DB_FIRMWARE_BOTH), OS_STS_SUCCESS);
  // Units other than the two are refused at once.
  EXPECT_EQ(m_pdevnexil->InterfaceOpen(static_cast<EDBID_FIRMWARE>(4)), OS_STS_FAIL);
  EXPECT_FALSE(m_pdevnexil->CheckDravix(static_cast<EDBID_FIRMWARE>(0)));
  EXPECT_EQ(m_pdevnexil->NexEntry(DB_FIRMWARE_ADF, nullptr), nullptr);
  EXPECT_TRUE(TaskLog().empty());
}

// Without a database nothing is built and every operation fails.
TEST_F(DevNexil, WithoutADatabase) {
  CDevNexil devnexil(nullptr);
  EXPECT_TRUE(m_plog->Contains("a_pdatabase is NULL..."));
  EXPECT_EQ(devnexil.Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_INPROCESS), OS_STS_FAIL);
  EXPECT_EQ(devnexil.InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_EQ(devnexil.ScanBegin(DB_FIRMWARE_ADF, 1), OS_STS_FAIL);
  EXPECT_EQ(devnexil.MessageRelay(DB_FIRMWARE_ADF, ""), DEV_STS_FAIL);
  devnexil.GetVersion();
  EXPECT_EQ(devnexil.Unload(DB_FIRMWARE_BOTH), OS_STS_SUCCESS);
}

}  // namespace
