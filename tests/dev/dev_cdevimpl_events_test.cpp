// The driver events: the table and what it refuses, the event-list reply as
// an XML reader sees it, the named event that wakes another process, and
// the records the caller feeds into a scan.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "dev_cdevimpl.h"
#include "dev_cimgqueue.h"
#include "dev_device_fixture.h"
#include "os_cossync.h"
#include "os_cossyncimpl.h"
#include "os_cosxmltask.h"

namespace {

// The event probe in a process of its own, its standard output read line
// by line.
class Probe {
 public:
  Probe(const std::string& a_strName, long a_lLimit, const std::string& a_strDirectory) {
    int aiPipe[2];
    if (pipe(aiPipe) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
      dup2(aiPipe[1], 1);
      close(aiPipe[0]);
      close(aiPipe[1]);
      const std::string strLimit = std::to_string(a_lLimit);
      execl(SCANDRV_EVENT_PROBE, SCANDRV_EVENT_PROBE, a_strName.c_str(), strLimit.c_str(), a_strDirectory.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(aiPipe[1]);
    m_iOut = aiPipe[0];
  }
  ~Probe() {
    if (m_iOut >= 0) close(m_iOut);
    if (m_pid > 0) waitpid(m_pid, nullptr, 0);
  }
  // The next line, or "" after ten seconds.
  std::string Line() {
    std::string str;
    char c = 0;
    struct pollfd pollfd = {m_iOut, POLLIN, 0};
    while (poll(&pollfd, 1, 10000) == 1 && read(m_iOut, &c, 1) == 1 && c != '\n') str += c;
    return str;
  }

 private:
  pid_t m_pid = -1;
  int m_iOut = -1;
};

class DevEvents : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdev); }
  // The device object's interface on the stand-ins: the named event and the
  // queues.
  void OpenInterface() { ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text(); }

  // One event list: its result and its text.
  static std::pair<EOSSTS, std::string> List(CDevImpl& a_devimpl) {
    COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
    const EOSSTS eossts = a_devimpl.GetDriverEvent(&osxmltask);
    const char* szReply = osxmltask.GetTaskBuffer();
    return {eossts, szReply ? szReply : ""};
  }
  // The contents of every element of that name, a CDATA wrapper dropped.
  static std::vector<std::string> All(const std::string& a_strReply, const std::string& a_strElement) {
    std::vector<std::string> vec;
    const std::string strStart = "<" + a_strElement + ">";
    const std::string strEnd = "</" + a_strElement + ">";
    for (size_t sizet = a_strReply.find(strStart); sizet != std::string::npos;
         sizet = a_strReply.find(strStart, sizet + 1)) {
      const size_t sizetContent = sizet + strStart.size();
      std::string str = a_strReply.substr(sizetContent, a_strReply.find(strEnd, sizetContent) - sizetContent);
      if (str.rfind("<![CDATA[", 0) == 0) str = str.substr(9, str.size() - 12);
      vec.push_back(str);
    }
    return vec;
  }
  // The common directory of the named sync objects, for the probe.
  static std::string SyncDirectory() {
    char szDirectory[512] = {};
    EXPECT_TRUE(OsSyncCommonDirectory(szDirectory, sizeof szDirectory));
    return szDirectory;
  }
};

// What the driver's status callback was called with.
std::vector<void*> s_vecpvStatusCallback;
EOSSTS RecordStatusCallback(void* a_pvDriver) {
  s_vecpvStatusCallback.push_back(a_pvDriver);
  return OS_STS_SUCCESS;
}

TEST_F(DevEvents, TheListReadsAsXmlInQueueOrder) {
  OpenInterface();
  CDevImpl& devimpl = Impl();
  devimpl.CreateReportInquiry();
  devimpl.AllowNotifyImageAvailable(true);
  const struct {
    EDEVEVENT edevevent;
    const char* szValue;
  } s_aevent[] = {
      {DEV_EVENT_DEVICEBUTTON, "scan"},
      {DEV_EVENT_DEVICEOFFLINE, nullptr},
      {DEV_EVENT_PNPCHANGE, "<pnpchange>\n<device><pnp>added</pnp><resource/></device>\n</pnpchange>"},
      {DEV_EVENT_OPENCOMPLETE, nullptr},
      {DEV_EVENT_IDMODIFIED, "<resolution>"},
      {DEV_EVENT_IMAGEAVAILABLE, ""},
  };
  for (const auto& event : s_aevent) ASSERT_EQ(devimpl.SetDriverEvent(event.edevevent, event.szValue), OS_STS_SUCCESS);
  auto [eossts, strReply] = List(devimpl);
  ASSERT_EQ(eossts, OS_STS_SUCCESS);
  const std::string strFile = testsupport::RootPath("events.xml");
  testsupport::WriteFile(strFile, strReply);
  int iStatus = -1;
  testsupport::RunProgram({"xmllint", "--noout", strFile}, &iStatus);
  EXPECT_EQ(iStatus, 0) << strReply;
  const std::string strChecked =
      testsupport::RunProgram({SCANDRV_PYTHON, SCANDRV_DEV_TESTS "/check_event_list.py", strFile}, &iStatus);
  EXPECT_EQ(iStatus, 0);
  EXPECT_EQ(strChecked,
            "status=success\n"
            "devicebutton value=scan\n"
            "deviceoffline value=\n"
            "pnpchange value= xml=pnpchange:1\n"
            "opencomplete value=\n"
            "idmodified value=<resolution>\n"
            "imageavailable value=\n"
            "after=reportinquiry\n")
      << strReply;
  // Reported events are gone.
  std::tie(eossts, strReply) = List(devimpl);
  EXPECT_EQ(eossts, OS_STS_FAIL);
  EXPECT_EQ(All(strReply, "status"), std::vector<std::string>{"fail"});
  // Without an opencomplete the inquiry stays out.
  ASSERT_EQ(devimpl.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, "1"), OS_STS_SUCCESS);
  std::tie(eossts, strReply) = List(devimpl);
  testsupport::WriteFile(strFile, strReply);
  EXPECT_EQ(testsupport::RunProgram({SCANDRV_PYTHON, SCANDRV_DEV_TESTS "/check_event_list.py", strFile}),
            "status=success\ndevicebutton value=1\nafter=\n");
}

// A full table keeps what it holds and refuses the new event; events
// without a word are refused; skip-sending, the image-available switch and
// an empty feeder at the end of a job drop what they drop.
TEST_F(DevEvents, TheTableKeepsWhatItHolds) {
  CDevImpl& devimpl = Impl();
  for (int i = 0; i < DEV_EVENT_SLOTS; ++i) {
    ASSERT_EQ(devimpl.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, std::to_string(i).c_str()), OS_STS_SUCCESS) << i;
  }
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_DEVICEOFFLINE, nullptr), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("No more empty slot for event 2..."));
  auto [eossts, strReply] = List(devimpl);
  ASSERT_EQ(eossts, OS_STS_SUCCESS);
  std::vector<std::string> vecExpected;
  for (int i = 0; i < DEV_EVENT_SLOTS; ++i) vecExpected.push_back(std::to_string(i));
  EXPECT_EQ(All(strReply, "value"), vecExpected);
  EXPECT_EQ(All(strReply, "event"), std::vector<std::string>(DEV_EVENT_SLOTS, "devicebutton"));
  EXPECT_EQ(List(devimpl).first, OS_STS_FAIL);

  for (int iEvent : {0, 12, 13}) {
    EXPECT_EQ(devimpl.SetDriverEvent(static_cast<EDEVEVENT>(iEvent), nullptr), OS_STS_FAIL) << iEvent;
    EXPECT_TRUE(m_plog->Contains("callback>>> SetDriverEvent(" + std::to_string(iEvent) + ",null)")) << iEvent;
  }
  EXPECT_EQ(List(devimpl).first, OS_STS_FAIL);

  devimpl.SkipSendingEvent(true);
  devimpl.AllowNotifyImageAvailable(true);
  for (int iEvent = DEV_EVENT_DEVICEBUTTON; iEvent < DEV_EVENT_LAST; ++iEvent) {
    const char* szValue = iEvent == DEV_EVENT_PNPCHANGE ? "<pnpchange/>" : "v";
    EXPECT_EQ(devimpl.SetDriverEvent(static_cast<EDEVEVENT>(iEvent), szValue), OS_STS_SUCCESS) << iEvent;
  }
  EXPECT_EQ(All(List(devimpl).second, "event"),
            (std::vector<std::string>{"devicebutton", "deviceoffline", "deviceonline", "uibutton"}));
  devimpl.SkipSendingEvent(false);

  devimpl.AllowNotifyImageAvailable(false);
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr), OS_STS_SUCCESS);
  EXPECT_FALSE(devimpl.IsImageAvailableSignalled());
  EXPECT_EQ(List(devimpl).first, OS_STS_FAIL);
  devimpl.AllowNotifyImageAvailable(true);
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr), OS_STS_SUCCESS);
  EXPECT_TRUE(devimpl.IsImageAvailableSignalled());
  EXPECT_EQ(All(List(devimpl).second, "event"), std::vector<std::string>{"imageavailable"});

  // The driver rescans on the flatbed instead.
  int iDriver = 0;
  CDevImpl devimplDriver(m_pdatabase.get(), nullptr, reinterpret_cast<CDriver*>(&iDriver), RecordStatusCallback);
  devimplDriver.AllowNotifyImageAvailable(true);
  devimplDriver.SetNoPaperAtEnd(true);
  EXPECT_EQ(devimplDriver.SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, "x"), OS_STS_SUCCESS);
  EXPECT_EQ(s_vecpvStatusCallback, std::vector<void*>{&iDriver});
  EXPECT_FALSE(devimplDriver.IsImageAvailableSignalled());
  EXPECT_EQ(devimplDriver.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, "y"), OS_STS_SUCCESS);
  EXPECT_EQ(All(List(devimplDriver).second, "event"), std::vector<std::string>{"devicebutton"});
  // Without a status callback: logged, still not queued.
  devimpl.SetNoPaperAtEnd(true);
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_IMAGEAVAILABLE, nullptr), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("pod.m_pfnStatusCallback is null..."));
  EXPECT_EQ(List(devimpl).first, OS_STS_FAIL);
}

// Values: none is empty, a long one is cut, one the list could not carry
// is refused; a null builder is refused.
TEST_F(DevEvents, ValuesAreCutOrRefused) {
  CDevImpl& devimpl = Impl();
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, std::string(5000, 'v').c_str()), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("SetDriverEvent: the value of DEV_EVENT_DEVICEBUTTON cut to 4095 characters..."));
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_PNPCHANGE, "<pnpchange><device></pnpchange>"), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("SetDriverEvent: the event list cannot carry the value of DEV_EVENT_PNPCHANGE"));
  EXPECT_EQ(devimpl.SetDriverEvent(DEV_EVENT_UIBUTTON, "a]]>b"), OS_STS_FAIL);
  EXPECT_EQ(All(List(devimpl).second, "value"), (std::vector<std::string>{"", std::string(4095, 'v')}));
  EXPECT_EQ(devimpl.GetDriverEvent(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a_posxmltask is null..."));
}

// 32 values of 4 KiB do not fit one builder: each list takes what fits, the
// rest stay queued in order, and the named event is set again for them.
TEST_F(DevEvents, ListsTakeWhatFitsAndSignalTheRest) {
  OpenInterface();
  CDevImpl& devimpl = Impl();
  COsSync ossync;
  ASSERT_EQ(ossync.SimpleEventOpen(devimpl.GetDriverEventName(), false), OS_STS_SUCCESS);
  std::vector<std::string> vecExpected;
  for (int i = 0; i < DEV_EVENT_SLOTS; ++i) {
    vecExpected.push_back(std::to_string(i) + std::string(4095 - std::to_string(i).size(), '.'));
    ASSERT_EQ(devimpl.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, vecExpected.back().c_str()), OS_STS_SUCCESS);
  }
  std::vector<std::string> vecReported;
  int iLists = 0;
  for (;;) {
    EXPECT_EQ(ossync.SimpleEventWait(0), OS_STS_SUCCESS) << iLists;
    auto [eossts, strReply] = List(devimpl);
    if (eossts != OS_STS_SUCCESS) break;
    ++iLists;
    for (const std::string& str : All(strReply, "value")) vecReported.push_back(str);
    if (vecReported.size() == vecExpected.size()) {
      EXPECT_EQ(ossync.SimpleEventWait(0), OS_STS_TIMEOUT);
      break;
    }
  }
  EXPECT_EQ(vecReported, vecExpected);
  EXPECT_GE(iLists, 2);
  ossync.SimpleEventClose();
}

// The probe waits on the event by its name in a process of its own.
TEST_F(DevEvents, TheNamedEventWakesAnotherProcess) {
  OpenInterface();
  CDevImpl& devimpl = Impl();
  {
    Probe probe(devimpl.GetDriverEventName(), 5000, SyncDirectory());
    ASSERT_EQ(probe.Line(), "ready");
    const auto timepointSet = std::chrono::steady_clock::now();
    ASSERT_EQ(devimpl.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, "scan"), OS_STS_SUCCESS);
    const std::string strLine = probe.Line();
    const auto llWoken =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - timepointSet).count();
    EXPECT_EQ(strLine.rfind("status=0 ", 0), 0u) << strLine;
    EXPECT_LT(llWoken, 200) << strLine;
  }
  Probe probe(devimpl.GetDriverEventName(), 300, SyncDirectory());
  ASSERT_EQ(probe.Line(), "ready");
  const std::string strLine = probe.Line();
  ASSERT_EQ(strLine.rfind("status=5 waited=", 0), 0u) << strLine;
  EXPECT_GE(std::stol(strLine.substr(16)), 290) << strLine;
}

// User input goes to the scan thread's queue; records go to the
// application's queue or the image-end queue, with the events they raise.
TEST_F(DevEvents, UserInputAndRecordsReachTheirQueues) {
  CDevImpl& devimpl = Impl();
  EXPECT_EQ(devimpl.UserInput("<x/>"), OS_STS_FAIL);
  EXPECT_EQ(devimpl.ImageQueuePush(true, DEV_STS_USERINPUT, "u"), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("pod.m_pimgqueueDeviceManagerScanThread is null..."));
  EXPECT_TRUE(m_plog->Contains("pod.m_pimgqueueApplication is null..."));
  OpenInterface();
  const DevImplPod& pod = devimpl.GetPod();
  devimpl.AllowNotifyImageAvailable(true);
  char szText[64] = {};
  char szText2[64] = {};
  EXPECT_EQ(devimpl.UserInput("<userinput/>"), OS_STS_SUCCESS);
  EXPECT_EQ(devimpl.UserInput(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a_szText is null..."));
  EXPECT_EQ(pod.m_pimgqueueDeviceManagerScanThread->Pop(szText, 64, nullptr, nullptr, nullptr, nullptr, szText2, 64,
                                                        false),
            DEV_STS_SUCCESS);
  EXPECT_STREQ(szText, "<userinput/>");
  EXPECT_STREQ(szText2, "<userinput/>");
  EXPECT_EQ(pod.m_pimgqueueDeviceManagerScanThread->PeekAtEdevsts(), DEV_STS_NOIMAGEAVAILABLE);

  EXPECT_EQ(devimpl.ImageQueuePush(true, DEV_STS_SUCCESS, "image"), OS_STS_SUCCESS);
  EXPECT_EQ(devimpl.ImageQueuePush(true, DEV_STS_USERINPUT, "input"), OS_STS_SUCCESS);
  EXPECT_EQ(devimpl.ImageQueuePush(false, DEV_STS_SUCCESS, "end"), OS_STS_SUCCESS);
  EXPECT_EQ(All(List(devimpl).second, "event"), (std::vector<std::string>{"imageavailable", "imageavailable"}));
  for (const char* sz : {"image", "input"}) {
    szText2[0] = '\0';
    pod.m_pimgqueueApplication->Pop(szText, 64, nullptr, nullptr, nullptr, nullptr, szText2, 64, false);
    EXPECT_STREQ(szText, sz);
    EXPECT_STREQ(szText2, "");
  }
  EXPECT_EQ(pod.m_pimgqueueImageEnd->Pop(szText, 64, nullptr, nullptr, nullptr, nullptr, szText2, 64, false),
            DEV_STS_SUCCESS);
  EXPECT_STREQ(szText, "end");
  EXPECT_STREQ(szText2, "end");
}

}  // namespace
