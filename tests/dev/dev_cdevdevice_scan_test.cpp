// The adapter's scan tasks against the simulated scanner: the getoutput
// status words, an image description larger than the caller's buffer, the
// scan flags that scanbegin and scanend keep, and the feeder's paper state.
#include <string>
#include <vector>

#include "dev_device_fixture.h"
#include "os_cosmem.h"

namespace {

using devtest::LoggedTask;

class DevDeviceScan : public devtest::DeviceFixture {
 protected:
  // The feeder open, a scan begun.
  void Scan(const std::vector<std::pair<std::string, std::string>>& a_vecFlags) {
    SetSimulation(a_vecFlags);
    ASSERT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevdevice->ScanBegin(DB_FIRMWARE_ADF, 4, false), DEV_STS_SUCCESS) << m_plog->Text();
  }
  EDEVSTS GetOutput() { return m_pdevdevice->GetOutput(DB_FIRMWARE_ADF, m_szOutput, sizeof m_szOutput); }
  size_t Count(const std::string& a_strCommand) const {
    size_t sizetCount = 0;
    for (const LoggedTask& loggedtask : Tasks()) sizetCount += loggedtask.strCommand == a_strCommand;
    return sizetCount;
  }

  // The scan thread's buffer.
  char m_szOutput[65536];
};

TEST_F(DevDeviceScan, EveryGetoutputWordMapsToItsStatus) {
  static const struct {
    const char* szWord;
    int iExpected;
  } s_arow[] = {
      {"success", 0},           {"busy", 3},           {"calibrationrequired", 4}, {"cleanguides", 6},
      {"coveropen", 7},         {"criticalerror", 8},  {"disconnected", 9},        {"ecdocustomlearnfail", 11},
      {"endofmessages", 27},    {"endofoutput", 12},   {"endofsheet", 26},         {"lampswarming", 14},
      {"multifeed", 10},        {"nofeederfound", 16}, {"noimageready", 17},       {"noprintheadfound", 18},
      {"notcomplete", 19},      {"notenoughcolor", 20}, {"notenoughpages", 21},    {"nowhitepatchfound", 22},
      {"paperjam", 23},         {"useraction", 29},    {"fail", 1},                {"ok", 1},
      {"endofinput", 1},        {"invalidstate", 1},
  };
  std::string strWords;
  for (size_t i = 0; i < sizeof s_arow / sizeof s_arow[0]; ++i)
    strWords += (i ? "," : "") + std::to_string(i + 1) + ":" + s_arow[i].szWord;
  // Longer than a simulation flag holds: the stand-in reads it from its
  // environment.
  setenv("SIMSCAN_GETOUTPUTWORD", strWords.c_str(), 1);
  Scan({});
  for (const auto& row : s_arow) {
    EXPECT_EQ(GetOutput(), row.iExpected) << row.szWord;
    EXPECT_EQ(Tasks().back().strStatus, row.szWord);
  }
  EXPECT_TRUE(m_plog->Contains("unrecognized device status...<fail>"));
  EXPECT_TRUE(m_plog->Contains("unrecognized device status...<ok>"));
  EXPECT_TRUE(m_plog->Contains("unrecognized device status...<invalidstate>"));
  // The body of a word without an image is its status report.
  EXPECT_EQ(GetOutput(), DEV_STS_SUCCESS);
  EXPECT_NE(std::string(m_szOutput).find("<reportimage>"), std::string::npos);
}

// A getoutput that tells the feeder ran out marks the scan so: the feeder
// is then known empty without asking the scanner; a wait for an image does
// not.
TEST_F(DevDeviceScan, TheFeederStateDuringAndAfterAScan) {
  Scan({{"getoutputword", "1:noimageready,2:endofsheet,3:coveropen"}});
  const size_t sizetGetconfigs = Count("getconfig");
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 2);
  EXPECT_EQ(GetOutput(), DEV_STS_NOIMAGEAVAILABLE);
  EXPECT_EQ(GetOutput(), DEV_STS_ENDOFSHEET);
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 2);
  EXPECT_EQ(GetOutput(), DEV_STS_COVEROPEN);
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 1);
  EXPECT_TRUE(m_plog->Contains("IsFeederLoaded (scanning): 1"));
  EXPECT_EQ(Count("getconfig"), sizetGetconfigs);
  // After the scan the scanner is asked.
  EXPECT_EQ(m_pdevdevice->ScanEnd(DB_FIRMWARE_ADF, false, false), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 2);
  EXPECT_EQ(Tasks().back().Arguments(), "id=paperdetected");
  EXPECT_TRUE(m_plog->Contains("IsFeederLoaded (fromscanner): 2"));
  // A model without a paper sensor is taken as loaded.
  m_pdatabase->ConfigDelete("paperdetectable", DB_CONFIGTARGET_COMMON);
  const size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 2);
  EXPECT_TRUE(m_plog->Contains("IsFeederLoaded (nosensor): 1"));
  // Nor is a scanner that does not answer.
  m_pdatabase->ConfigAdd("paperdetectable", DB_CONFIGTARGET_COMMON);
  m_pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr);
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 2);
  EXPECT_TRUE(m_plog->Contains("CDevDevice::GetConfig failed...1"));
  EXPECT_TRUE(m_plog->Contains("IsFeederLoaded (nodata): 1"));
  EXPECT_EQ(Tasks().size(), sizetTasks + 2);  // sessionend, interfaceclose
}

// An image whose description does not fit the scan thread's buffer is lost
// to the caller but ended at the unit, which then holds it no more.
TEST_F(DevDeviceScan, AnImageTooLargeForTheBufferIsEndedAtTheUnit) {
  Scan({{"padimage", "100000"}});
  EXPECT_EQ(GetOutput(), DEV_STS_FAIL);
  EXPECT_STREQ(m_szOutput, "");
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_GE(vecloggedtask.size(), 2u);
  const LoggedTask& loggedtaskEnd = vecloggedtask.back();
  EXPECT_EQ(vecloggedtask[vecloggedtask.size() - 2].strCommand + " " + vecloggedtask[vecloggedtask.size() - 2].strStatus,
            "getoutput success");
  EXPECT_EQ(loggedtaskEnd.strCommand + " " + loggedtaskEnd.strStatus, "imageend success");
  EXPECT_FALSE(testsupport::FileExists(loggedtaskEnd.Arg("imagefilename"))) << loggedtaskEnd.Arg("imagefilename");
  EXPECT_TRUE(m_plog->Contains("GetOutput: the reply does not fit 65536 bytes, ending its image..."));
  // A larger buffer takes the next one whole.
  std::vector<char> vecc(200000);
  EXPECT_EQ(m_pdevdevice->GetOutput(DB_FIRMWARE_ADF, vecc.data(), vecc.size()), DEV_STS_SUCCESS);
  EXPECT_EQ(std::string(vecc.data()).find("\n\t<reportstatus>"), 0u);
  EXPECT_NE(std::string(vecc.data()).find("</reportimage>\n"), std::string::npos);
  EXPECT_EQ(m_pdevdevice->GetOutput(DB_FIRMWARE_ADF, nullptr, 10), DEV_STS_FAIL);
}

// An image is ended by its name or by the block that records it.
TEST_F(DevDeviceScan, ImagesAreEndedByNameOrByTheirBlock) {
  Scan({});
  ASSERT_EQ(GetOutput(), DEV_STS_SUCCESS);
  const std::string strFront = m_szOutput;
  ASSERT_EQ(GetOutput(), DEV_STS_SUCCESS);
  const auto Filename = [](const std::string& a_strBody) {
    const size_t sizetStart = a_strBody.find("<imagefilename>") + 15;
    return a_strBody.substr(sizetStart, a_strBody.find("</imagefilename>") - sizetStart);
  };
  const std::string strFrontFile = Filename(strFront);
  const std::string strRearFile = Filename(m_szOutput);
  ASSERT_TRUE(testsupport::FileExists(strFrontFile));
  EXPECT_EQ(m_pdevdevice->ImageEnd(DB_FIRMWARE_ADF, strFrontFile.c_str()), DEV_STS_SUCCESS);
  // The image as the scan thread holds it: its file mapped.
  void* pvImage = g_posmem->SharedAlloc(OS_SHAREDALLOC_OPEN, strRearFile.c_str(), 0, 0, -1, OS_SHAREDLOCK_NONE, 0,
                                        __FILE__, __LINE__);
  ASSERT_NE(pvImage, nullptr);
  EXPECT_EQ(m_pdevdevice->ImageEnd(DB_FIRMWARE_ADF, static_cast<const void*>(pvImage)), DEV_STS_SUCCESS);
  g_posmem->Free(pvImage, __FILE__, __LINE__);
  EXPECT_EQ(Brief(Tasks().size() - 2), (std::vector<std::string>{"adf imageend success", "adf imageend success"}));
  EXPECT_EQ(Tasks().back().Arg("imagefilename"), strRearFile);
  EXPECT_FALSE(testsupport::FileExists(strFrontFile));
  EXPECT_FALSE(testsupport::FileExists(strRearFile));
  // Nothing to end: an empty name (a block of no file) sends nothing; a
  // missing name or an untracked block is an error.
  const size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->ImageEnd(DB_FIRMWARE_ADF, ""), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->ImageEnd(DB_FIRMWARE_ADF, static_cast<const char*>(nullptr)), DEV_STS_FAIL);
  int iUntracked = 0;
  EXPECT_EQ(m_pdevdevice->ImageEnd(DB_FIRMWARE_ADF, static_cast<const void*>(&iUntracked)), DEV_STS_FAIL);
  void* pvHeap = OsMemAlloc(16);
  EXPECT_EQ(m_pdevdevice->ImageEnd(DB_FIRMWARE_ADF, static_cast<const void*>(pvHeap)), DEV_STS_SUCCESS);
  OsMemFree(pvHeap);
  EXPECT_EQ(Tasks().size(), sizetTasks);
  // The unit refuses an image it does not hold.
  EXPECT_EQ(m_pdevdevice->ImageEnd(DB_FIRMWARE_ADF, strFrontFile.c_str()), DEV_STS_FAIL);
}

// scanbegin and scanend: what is sent, and the flags the answers leave.
TEST_F(DevDeviceScan, ScanBeginAndScanEnd) {
  SetSimulation({{"warmup", "2000"}});
  ASSERT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  m_pdatabase->SetData("<extra>x</extra>", true);
  // Lamps warming up: begun and scanning, so the feeder is not asked.
  EXPECT_EQ(m_pdevdevice->ScanBegin(DB_FIRMWARE_ADF, 4, false), DEV_STS_LAMPSWARMINGUP);
  EXPECT_EQ(Tasks().back().Arguments(), "imagebuffercount=4 extra=x");
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 2);
  EXPECT_TRUE(m_plog->Contains("IsFeederLoaded (scanning): 2"));
  EXPECT_EQ(m_pdevdevice->ScanRequestStop(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  // A begun scan ends at the unit, its messages dropped.
  m_pdatabase->SetData("<message/>", false);
  EXPECT_EQ(m_pdevdevice->ScanEnd(DB_FIRMWARE_ADF, false, false), DEV_STS_SUCCESS);
  const char* szData = m_pdatabase->GetData(false);
  EXPECT_TRUE(!szData || !szData[0]);
  // Neither begun nor forced: nothing sent.
  size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->ScanEnd(DB_FIRMWARE_ADF, false, false), DEV_STS_SUCCESS);
  EXPECT_EQ(Tasks().size(), sizetTasks);
  // Without a reply it is sent whatever the unit answers.
  EXPECT_EQ(m_pdevdevice->ScanEnd(DB_FIRMWARE_ADF, false, true), DEV_STS_SUCCESS);
  EXPECT_EQ(Brief(sizetTasks), (std::vector<std::string>{"adf scanend invalidstate"}));
  // Notification only: one buffer, the flag, no extra text; scanning but
  // not begun, so scanend goes only when forced.
  sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->ScanBegin(DB_FIRMWARE_ADF, 4, true), DEV_STS_SUCCESS);
  EXPECT_EQ(Tasks().back().Arguments(), "imagebuffercount=1 notificationonly=true");
  EXPECT_EQ(m_pdevdevice->IsFeederLoaded(), 2);
  EXPECT_EQ(Tasks().size(), sizetTasks + 1);
  EXPECT_EQ(m_pdevdevice->ScanEnd(DB_FIRMWARE_ADF, false, false), DEV_STS_SUCCESS);
  EXPECT_EQ(Tasks().size(), sizetTasks + 1);
  EXPECT_EQ(m_pdevdevice->ScanBegin(DB_FIRMWARE_ADF, 4, true), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->ScanEnd(DB_FIRMWARE_ADF, true, false), DEV_STS_SUCCESS);
  EXPECT_EQ(Brief(sizetTasks + 1), (std::vector<std::string>{"adf scanbegin invalidstate", "adf scanend success"}));
  // A refused scanbegin begins nothing.
  m_pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr);
  EXPECT_EQ(m_pdevdevice->ScanBegin(DB_FIRMWARE_ADF, 4, false), DEV_STS_FAIL);
  sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->ScanEnd(DB_FIRMWARE_ADF, false, false), DEV_STS_SUCCESS);
  EXPECT_EQ(Tasks().size(), sizetTasks);
}

}  // namespace
