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
  void Open(bool a_blNexil) {
    if (!a_blNexil) SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
    SetSimulation({{"serialnumber", "SN4711"}});
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
      {"driverdebug", OS_STS_SUCCESS, "debug", true, nullptr},
      {"imagingdebug", OS_STS_SUCCESS, "debug", true, nullptr},
      {"scannerdebug", OS_STS_SUCCESS, "debug", true, nullptr},
      {"trace", OS_STS_FAIL, nullptr, false, "Unknown DB_ID_LOG enum 4..."},
      {"general_xml", OS_STS_FAIL, nullptr, false, "Unknown DB_ID_LOG enum 11..."},
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
    if (c.szLogged) EXPECT_NE(strLog.find(c.szLogged), std::string::npos);
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

// Off line nothing is asked: 1 and an empty text. On line an unknown type
// fails; the about type is not one GetLog serves.
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
