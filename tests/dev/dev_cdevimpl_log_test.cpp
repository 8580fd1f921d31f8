// Log maintenance through the device facade on the staged simulated
// scanner: what each log type clears, GetLog off line, and the reset of the
// scanner with its report (and without it, when the report cannot be
// written or the clear fails).
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "db_cdbdatum.h"
#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"
#include "dev_tasklog.h"
#include "os_cosfile.h"
#include "os_cosmem.h"

namespace {

class DevLog : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    testsupport::RunProgram({"mkdir", "-p", testsupport::RootPath("user"), testsupport::RootPath("logs")});
    SetConfigured(OS_CFGTAG_USERROOTDIRECTORY, testsupport::RootPath("user"));
    SetConfigured(OS_CFGTAG_LOGDIRECTORY, testsupport::RootPath("logs"));
    // The driver's own log is the file this test's log writes.
    SetConfigured(OS_CFGTAG_PMX_LOG, testsupport::RootPath("log/test.log"));
    m_strNexilTasks = testsupport::RootPath("nexil-tasks.log");
    setenv("NEXSIM_TASKLOG", m_strNexilTasks.c_str(), 1);
  }
  static EOSSTS Message(EDEVDLG, EDEVMSG, const char*, long, EDEVBUTTONS) { return OS_STS_SUCCESS; }
  void Open(bool a_blNexil, const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {}) {
    if (!a_blNexil) SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
    auto vecFlags = a_vecFlags;
    vecFlags.emplace_back("serialnumber", "SN4711");
    SetSimulation(vecFlags);
    ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdev->SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
  }
  // The logtype of each clearlog a library received since the mark.
  static std::vector<std::string> Clears(const std::string& a_strPath, size_t a_sizetFrom) {
    std::vector<std::string> vec;
    const std::vector<devtest::LoggedTask> vectask = devtest::ReadTaskLog(a_strPath);
    for (size_t i = a_sizetFrom; i < vectask.size(); ++i) {
      if (vectask[i].strCommand == "clearlog") vec.push_back(vectask[i].Arg("logtype"));
    }
    return vec;
  }
  static size_t Tasks(const std::string& a_strPath) { return devtest::ReadTaskLog(a_strPath).size(); }
  std::string DeviceTasks() const { return testsupport::RootPath("tasks.log"); }
  // The page count made a meter of the machine with a value.
  void PageCount(long a_lValue) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_METERPAGECOUNT);
    ASSERT_NE(pdbdatum, nullptr);
    if (!m_pdatabase->IsIdSupported(DB_ID_METERPAGECOUNT)) m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READONLY);
    pdbdatum->ForceCurrentLong(a_lValue);
  }
  long PageCountNoCallback() {
    CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_METERPAGECOUNT);
    return pdbdatum ? pdbdatum->GetCurrentLongNoCallback() : -1;
  }

  std::string m_strNexilTasks;
};

// Each log type: its status, what the device manager and the image library
// were told, and whether the driver's log was emptied.
TEST_F(DevLog, ClearLogByType) {
  Open(true);
  ASSERT_TRUE(m_pdatabase->IsIdSupported(DB_ID_NEXIL));
  const struct {
    const char* szType;
    EOSSTS eossts;
    const char* szDevice;  // the clearlog's logtype at the device manager, or null for none
    bool blDebug;          // the image library told and the driver's log emptied
    const char* szLogged;
  } acase[] = {
      {"activity", OS_STS_SUCCESS, "activity", false, nullptr},
      {"operator", OS_STS_SUCCESS, "activity", false, nullptr},
      {"service", OS_STS_SUCCESS, "activity", false, nullptr},
      {"version", OS_STS_SUCCESS, nullptr, false, nullptr},
      {"info", OS_STS_SUCCESS, nullptr, false, nullptr},
      {"eol", OS_STS_SUCCESS, nullptr, false, nullptr},
      {"meter", OS_STS_SUCCESS, nullptr, false, nullptr},
      {"driverdebug", OS_STS_SUCCESS, "debug", true, nullptr},
      {"imagingdebug", OS_STS_SUCCESS, "debug", true, nullptr},
      {"scannerdebug", OS_STS_SUCCESS, "debug", true, nullptr},
      {"trace", OS_STS_FAIL, nullptr, false, "Unknown DB_ID_LOG enum 4..."},
      {"general_xml", OS_STS_FAIL, nullptr, false, "Unknown DB_ID_LOG enum 11..."},
      {"about", OS_STS_FAIL, nullptr, false, "Unknown DB_ID_LOG enum 12..."},
      {"bogus", OS_STS_FAIL, nullptr, false, "Unable to find the lookup for logtype bogus..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szType);
    const size_t sizetDevice = Tasks(DeviceTasks());
    const size_t sizetNexil = Tasks(m_strNexilTasks);
    OsLog(OS_LOG_ERROR, "marker before %s", c.szType);
    EXPECT_EQ(m_pdev->ClearLog(c.szType), c.eossts);
    const std::string strLog = m_plog->Text();
    EXPECT_EQ(Clears(DeviceTasks(), sizetDevice),
              c.szDevice ? std::vector<std::string>{c.szDevice} : std::vector<std::string>{});
    EXPECT_EQ(Clears(m_strNexilTasks, sizetNexil),
              c.blDebug ? std::vector<std::string>{"debug"} : std::vector<std::string>{});
    // The driver's log lost what it held before, and goes on growing.
    EXPECT_EQ(strLog.find("marker before") == std::string::npos, c.blDebug) << strLog.substr(0, 200);
    if (c.szLogged) {
      EXPECT_NE(strLog.find(c.szLogged), std::string::npos);
    }
  }
  OsLog(OS_LOG_ERROR, "after the clears");
  EXPECT_NE(m_plog->Text().find("after the clears"), std::string::npos);
}

// Without the image library only the device manager's debug log and the
// driver's own are cleared.
TEST_F(DevLog, ClearDebugLogsWithoutTheImageLibrary) {
  Open(false);
  const size_t sizetNexil = Tasks(m_strNexilTasks);
  EXPECT_EQ(m_pdev->ClearLog("imagingdebug"), OS_STS_SUCCESS);
  EXPECT_EQ(Clears(DeviceTasks(), 0), std::vector<std::string>{"debug"});
  EXPECT_TRUE(Clears(m_strNexilTasks, sizetNexil).empty());
}

// Off line nothing is asked: 1 and an empty text. On line a log that names
// no regular file and an unknown type fail; the about type is not one
// GetLog serves.
TEST_F(DevLog, GetLogOfflineAndBadTypes) {
  DeviceLog devicelog{};
  devicelog.pcData = static_cast<char*>(OsMemAlloc(64));
  std::snprintf(devicelog.pcData, 64, "old text");
  devicelog.sizetData = 8;
  devicelog.sizetCapacity = 64;
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  devicelog.u32LogType = DB_ID_LOG_ENUM_ACTIVITY;
  EXPECT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_FAIL);
  EXPECT_EQ(devicelog.sizetData, 0u);
  EXPECT_EQ(devicelog.pcData[0], '\0');
  EXPECT_TRUE(devtest::ReadTaskLog(DeviceTasks()).empty());
  Open(false);
  // A log whose name is no regular file (the stand-in writes its first log
  // through a link to a device) fails.
  const std::string strFirst = testsupport::RootPath("images/simscan-" + std::to_string(getpid()) + "-adf-log-1.txt");
  ASSERT_EQ(symlink("/dev/null", strFirst.c_str()), 0);
  devicelog.u32LogType = DB_ID_LOG_ENUM_SERVICE;
  EXPECT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_FAIL);
  EXPECT_NE(m_plog->Text().find("GetLog: the log names no regular file...<" + strFirst + ">"), std::string::npos);
  devicelog.u32LogType = DB_ID_LOG_ENUM_ABOUT;
  EXPECT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_FAIL);
  EXPECT_NE(m_plog->Text().find("Unknown DB_ID_LOG enum 12..."), std::string::npos);
  devicelog.u32LogType = 99;
  EXPECT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_FAIL);
  devicelog.u32LogType = DB_ID_LOG_ENUM_ACTIVITY;
  EXPECT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_SUCCESS);
  EXPECT_TRUE(testsupport::FileExists(devicelog.szFilename)) << devicelog.szFilename;
  EXPECT_STREQ(devicelog.szLogType, "activity");
  devicelog.u32LogType = DB_ID_LOG_ENUM_DRIVERDEBUG;
  EXPECT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(devicelog.szFilename), testsupport::RootPath("log/test.log"));
  OsMemFree(devicelog.pcData);
}

// The debug logs name their files; a request used again keeps nothing of
// its earlier file; without the image library its debug log fails.
TEST_F(DevLog, GetLogDebugLogs) {
  Open(true);
  DeviceLog devicelog{};
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  for (uint32_t u32 : {DB_ID_LOG_ENUM_IMAGINGDEBUG, DB_ID_LOG_ENUM_SCANNERDEBUG}) {
    devicelog.u32LogType = u32;
    ASSERT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_SUCCESS) << u32 << m_plog->Text();
    EXPECT_TRUE(testsupport::FileExists(devicelog.szFilename)) << devicelog.szFilename;
  }
  EXPECT_NE(std::string(devicelog.szFilename).find("adf-debuglog"), std::string::npos) << devicelog.szFilename;
  devicelog.u32LogType = DB_ID_LOG_ENUM_INFO;
  ASSERT_EQ(m_pdev->GetLog(&devicelog, false), OS_STS_SUCCESS);
  EXPECT_STREQ(devicelog.szFilename, "");
  EXPECT_STREQ(devicelog.szLogType, "info");
  EXPECT_GT(devicelog.sizetData, 0u);
  for (long lFileOffset : devicelog.alFileOffset) EXPECT_EQ(lFileOffset, -1);
  OsMemFree(devicelog.pcData);
}

TEST_F(DevLog, GetLogImagingDebugWithoutTheImageLibrary) {
  Open(false);
  DeviceLog devicelog{};
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  devicelog.u32LogType = DB_ID_LOG_ENUM_SCANNERDEBUG;
  ASSERT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_SUCCESS);
  devicelog.u32LogType = DB_ID_LOG_ENUM_IMAGINGDEBUG;
  EXPECT_EQ(m_pdev->GetLog(&devicelog, true), OS_STS_FAIL);
  EXPECT_STREQ(devicelog.szFilename, "");
  if (devicelog.pcData) OsMemFree(devicelog.pcData);
}

// The report names the serial number inside the user directory, holds its
// sections in order with CR LF line ends; then the activity log and the
// meters are cleared.
TEST_F(DevLog, ResetScannerReportsThenClears) {
  Open(false);
  PageCount(1234);
  ASSERT_EQ(m_pdev->ResetScanner(), OS_STS_SUCCESS) << m_plog->Text();
  const std::string strReport = testsupport::ReadFile(testsupport::RootPath("user/SN4711.log"));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("userSN4711.log")));
  EXPECT_EQ(strReport.compare(0, 22, "[System Information]\r\n"), 0) << strReport;
  size_t sizetAt = 0;
  for (const char* sz : {"OS:           Build: ", "              Platform:  ", "              Version:  ",
                         "              Date:  ", "\r\n\r\n[General]\r\n", "scanner: \r\n", "\r\n\r\n[Version]\r\n",
                         "unit adf\r\n", "\r\n[Log]\r\n", "unit adf\r\n"}) {
    const size_t sizet = strReport.find(sz, sizetAt);
    ASSERT_NE(sizet, std::string::npos) << sz << " after " << sizetAt << ":\n" << strReport;
    sizetAt = sizet + 1;
  }
  for (size_t sizet = strReport.find('\n'); sizet != std::string::npos; sizet = strReport.find('\n', sizet + 1)) {
    ASSERT_TRUE(sizet > 0 && strReport[sizet - 1] == '\r') << sizet << ":\n" << strReport;
  }
  EXPECT_EQ(Clears(DeviceTasks(), 0), std::vector<std::string>{"activity"});
  EXPECT_EQ(PageCountNoCallback(), 0);
}

// A user directory the report cannot go into: nothing is cleared.
TEST_F(DevLog, ResetScannerWithoutItsReportClearsNothing) {
  Open(false);
  PageCount(1234);
  testsupport::WriteFile(testsupport::RootPath("notadirectory"), "x");
  SetConfigured(OS_CFGTAG_USERROOTDIRECTORY, testsupport::RootPath("notadirectory"));
  EXPECT_EQ(m_pdev->ResetScanner(), OS_STS_FAIL);
  EXPECT_NE(m_plog->Text().find("Fail to open file " + testsupport::RootPath("notadirectory/SN4711.log")),
            std::string::npos);
  EXPECT_TRUE(Clears(DeviceTasks(), 0).empty());
  EXPECT_EQ(PageCountNoCallback(), 1234);
}

// A clear the scanner refuses is told through the last-error text; the
// meters stay.
TEST_F(DevLog, ResetScannerWhenTheClearFails) {
  Open(false);
  PageCount(1234);
  m_pdev->InterfaceClose();
  EXPECT_NE(m_pdev->ResetScanner(), OS_STS_SUCCESS);
  EXPECT_STREQ(m_pdev->GetLastErrorText(), "failed");
  EXPECT_EQ(PageCountNoCallback(), 1234);
  EXPECT_TRUE(testsupport::FileExists(testsupport::RootPath("user/SN4711.log")));
}

}  // namespace

namespace {

// Every regular file below a directory, relative to it.
std::vector<std::string> Tree(const std::string& a_strDirectory) {
  int iStatus = -1;
  const std::string strOut =
      testsupport::RunProgram({"find", a_strDirectory, "-type", "f", "-printf", "%P\n"}, &iStatus);
  EXPECT_EQ(iStatus, 0);
  return testsupport::Lines(strOut);
}
bool EndsWith(const std::string& a_str, const std::string& a_strEnd) {
  return a_str.size() >= a_strEnd.size() &&
         a_str.compare(a_str.size() - a_strEnd.size(), a_strEnd.size(), a_strEnd) == 0;
}
size_t CountEnding(const std::vector<std::string>& a_vec, const std::string& a_strEnd) {
  size_t sizet = 0;
  for (const std::string& str : a_vec) sizet += EndsWith(str, a_strEnd) ? 1 : 0;
  return sizet;
}

// In a session: the user directory and the session's log directory (which
// lies outside it) are packed with the caller's text and every fetched log;
// afterwards the fetched logs of types that are not current items go.
TEST_F(DevLog, SaveLogInASession) {
  Open(false);
  CDbDatum* pdbdatum = m_pdatabase->Find(DB_ID_LOG);
  ASSERT_NE(pdbdatum, nullptr);
  for (long l : {DB_ID_LOG_ENUM_ACTIVITY, DB_ID_LOG_ENUM_GENERAL_XML, DB_ID_LOG_ENUM_INFO})
    if (!m_pdatabase->EnumHasDefaultItem(pdbdatum, l)) m_pdatabase->EnumAddDefaultItem(pdbdatum, l);
  for (long l : {DB_ID_LOG_ENUM_ACTIVITY, DB_ID_LOG_ENUM_GENERAL_XML}) m_pdatabase->EnumDeleteItem(pdbdatum, l);
  if (!m_pdatabase->EnumHasCurrentItem(pdbdatum, DB_ID_LOG_ENUM_INFO))
    m_pdatabase->EnumAddItem(pdbdatum, DB_ID_LOG_ENUM_INFO);
  testsupport::WriteFile(testsupport::RootPath("user/settings.txt"), "kept");
  const std::string strArchive = testsupport::RootPath("qv.pkg");
  ASSERT_EQ(m_pdev->SaveLog(strArchive.c_str(), "hello", false, true), OS_STS_SUCCESS) << m_plog->Text();
  const std::string strRestored = testsupport::RootPath("restored");
  testsupport::RunProgram({"mkdir", "-p", strRestored});
  ASSERT_EQ(COsFile::Unpackage(strRestored.c_str(), strArchive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  const std::vector<std::string> vecRestored = Tree(strRestored);
  std::string strAll;
  for (const std::string& str : vecRestored) strAll += str + "\n";
  for (const char* sz : {"/text.log", "/info.log", "/general_xml.log", "/settings.txt"})
    EXPECT_EQ(CountEnding(vecRestored, sz), 1u) << sz << "\n" << strAll;
  for (const std::string& str : vecRestored) {
    if (EndsWith(str, "/text.log")) {
      EXPECT_EQ(testsupport::ReadFile(strRestored + "/" + str), "hello");
    }
  }
  // Afterwards: the current type's log stays, the others' are gone.
  EXPECT_EQ(testsupport::ReadFile(testsupport::RootPath("logs/text.log")), "hello");
  EXPECT_TRUE(testsupport::FileExists(testsupport::RootPath("logs/info.log")));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("logs/general_xml.log")));
  EXPECT_EQ(CountEnding(Tree(testsupport::RootPath("images")), ".txt"), 0u);
  EXPECT_NE(m_plog->Text().find("DeleteLogFiles: deleted <" + testsupport::RootPath("logs/general_xml.log") + ">"),
            std::string::npos);
}

// From the data entry: the library's directory must be a "lib"; the log
// folder is the latest "log.*" of the model's "twain" folder.
TEST_F(DevLog, SaveLogFromTheDataEntry) {
  const std::string strArchive = testsupport::RootPath("eklog.pkg");
  testsupport::RunProgram({"mkdir", "-p", testsupport::RootPath("opt/kv/bin"), testsupport::RootPath("opt/kv/lib"),
                           testsupport::RootPath("var/kv/twain/log.20240101"),
                           testsupport::RootPath("var/kv/twain/log.20240301"),
                           testsupport::RootPath("var/kv/twain/log.20240201")});
  SetConfigured(OS_CFGTAG_HOMEDIRECTORY, testsupport::RootPath("opt/kv/bin"));
  SetConfigured(OS_CFGTAG_ROOTPATH, testsupport::RootPath("var"));
  EXPECT_EQ(m_pdev->SaveLog(strArchive.c_str(), "hello", false, false), OS_STS_FAIL);
  EXPECT_NE(m_plog->Text().find("SaveLog: we don't know where we are...<" + testsupport::RootPath("opt/kv/bin") + ">"),
            std::string::npos);
  EXPECT_FALSE(testsupport::FileExists(strArchive));
  EXPECT_EQ(CountEnding(Tree(testsupport::RootPath("var")), "text.log"), 0u);
  SetConfigured(OS_CFGTAG_HOMEDIRECTORY, testsupport::RootPath("opt/kv/lib"));
  ASSERT_EQ(m_pdev->SaveLog(strArchive.c_str(), "hello", false, false), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(testsupport::ReadFile(testsupport::RootPath("var/kv/twain/log.20240301/text.log")), "hello");
  EXPECT_EQ(CountEnding(Tree(testsupport::RootPath("var")), "text.log"), 1u);
  const std::string strRestored = testsupport::RootPath("restored");
  testsupport::RunProgram({"mkdir", "-p", strRestored});
  ASSERT_EQ(COsFile::Unpackage(strRestored.c_str(), strArchive.c_str(), false, nullptr, false), OS_STS_SUCCESS);
  EXPECT_EQ(CountEnding(Tree(strRestored), "log.20240301/text.log"), 1u);
}

// The feeder's XML log; xmllint must read it.
std::string XmlLog(CDev& a_dev) {
  DeviceLog devicelog{};
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  devicelog.u32LogType = DB_ID_LOG_ENUM_GENERAL_XML;
  EXPECT_EQ(devtest::Impl(a_dev).GetVersionInfo(&devicelog, false), OS_STS_SUCCESS);
  const std::string strXml = devicelog.pcData ? std::string(devicelog.pcData, devicelog.sizetData) : std::string();
  if (devicelog.pcData) OsMemFree(devicelog.pcData);
  const std::string strPath = testsupport::RootPath("general.xml");
  testsupport::WriteFile(strPath, strXml);
  int iStatus = -1;
  const std::string strOut = testsupport::RunProgram({"xmllint", "--noout", strPath}, &iStatus);
  EXPECT_EQ(iStatus, 0) << strOut;
  EXPECT_TRUE(EndsWith(strXml, "</tw_log>\n")) << strXml.substr(0, 300);
  return strXml;
}

// The device's consumable-meter text has no bound: 100 KiB of it cannot go
// into the XML log, which is left without it, whole and readable.
TEST_F(DevLog, ConsumableMetersTooLongForTheXmlLog) {
  Open(false, {{"consumablemetersize", "102400"}});
  const std::string strXml = XmlLog(*m_pdev);
  EXPECT_EQ(strXml.find("<reportconsumablemeters>"), std::string::npos) << strXml.substr(0, 3000);
  EXPECT_NE(m_plog->Text().find("no room in the log for reportconsumablemeters"), std::string::npos);
}

TEST_F(DevLog, ConsumableMetersInTheXmlLog) {
  Open(false, {{"consumablemetersize", "10"}});
  const std::string strXml = XmlLog(*m_pdev);
  EXPECT_NE(strXml.find("\t<reportconsumablemeters>"), std::string::npos) << strXml;
  EXPECT_NE(strXml.find("</reportconsumablemeters>\n</tw_log>\n"), std::string::npos) << strXml;
}

}  // namespace
