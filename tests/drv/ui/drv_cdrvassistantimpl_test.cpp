// The driver-assistant bridge with the staged stand-in in its assistant
// role ("drvassistui"): the opening and the session, a show from its first
// user-action record to the user's answer, the end of the scan; the
// assistant's bad replies; an assistant that never gets ready, that dies
// or is stopped mid-show, and a scan's end while a user action waits.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "drv_cdrvassistant.h"
#include "drv_cdrvassistantimpl.h"
#include "drv_cdrvassistantmgr.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvguiimpl.h"
#include "drv_uilink_fixture.h"

namespace {

using uilinktest::Clock;
using uilinktest::Eventually;
using uilinktest::MillisecondsSince;

std::string AssistantPath() {
  return (std::filesystem::path(SCANDRV_UISTANDIN).parent_path() / "drvassistui").string();
}

// A task of the assistant's own framing, its id given (or none).
std::string Framed(const std::string& a_strId, const std::string& a_strBody) {
  const std::string strId = a_strId.empty() ? "" : "id='" + a_strId + "' ";
  const std::string strHead = "<task " + strId + "reply='00000000000000000000' bytes='";
  const std::string strRest = "'>\n" + a_strBody + "\n</task>\n";
  char szBytes[32];
  std::snprintf(szBytes, sizeof szBytes, "%020zu", strHead.size() + 20 + strRest.size());
  return strHead + szBytes + strRest;
}

// The stand-in's script escapes: a line of its own for each raw task.
std::string Escaped(const std::string& a_str) {
  std::string str;
  for (char c : a_str) str += c == '\n' ? std::string("\\n") : c == '\t' ? std::string("\\t") : std::string(1, c);
  return str;
}

std::string ImageRecord(const std::string& a_strFile, const char* a_szUserAction = "show") {
  return "<reportimage>\n\t<sheetnumber>2</sheetnumber>\n\t<imagefilename>" + a_strFile +
         "</imagefilename>\n\t<useraction>" + a_szUserAction + "</useraction>\n</reportimage>";
}

class DrvAssistantImplTest : public uilinktest::UiLinkFixture {
 protected:
  void SetUp() override {
    UiLinkFixture::SetUp();
    m_strFlag = testsupport::RootPath("go");
    m_strTasks = testsupport::RootPath("tasks");
    std::filesystem::create_directories(m_strTasks);
    DrvAssistantSetWaitLimit(DRV_ASSISTANTWAIT_READY, 20000);
  }
  void TearDown() override {
    m_pdrvassistantimpl.reset();
    m_pdrvassistant.reset();
    for (const char* sz : {"UISTANDIN_SCRIPT", "UISTANDIN_LOG", "UISTANDIN_TASKS", "PMX_FORCEDRVASSISTUI"})
      unsetenv(sz);
    for (int i = 0; i < DRV_ASSISTANTWAIT_COUNT; ++i)
      DrvAssistantSetWaitLimit(static_cast<EDRVASSISTANTWAIT>(i), -1);
    UiLinkFixture::TearDown();
  }
  void Environment(const std::string& a_strScript) {
    setenv("UISTANDIN_SCRIPT", a_strScript.c_str(), 1);
    setenv("UISTANDIN_LOG", m_strStandinLog.c_str(), 1);
    setenv("UISTANDIN_TASKS", m_strTasks.c_str(), 1);
  }
  // The bridge on the stand-in, started as at a scan's begin.
  void Start(const std::string& a_strScript) {
    Environment(a_strScript);
    m_pdrvassistantimpl = std::make_unique<CDrvAssistantImpl>(nullptr, nullptr, AssistantPath().c_str());
    ASSERT_EQ(m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_SCANBEGIN, nullptr), OS_STS_SUCCESS);
  }
  EOSSTS Offer(EDEVSTS a_edevsts, const std::string& a_strXml) {
    CDrvAssistantActionUserAction drvassistantactionuseraction(a_edevsts, a_strXml.empty() ? nullptr : a_strXml.c_str(),
                                                               nullptr);
    return m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_USERACTION, &drvassistantactionuseraction);
  }
  void Go() { std::ofstream(m_strFlag) << "go"; }
  // The tasks the stand-in read of the command, in order, whole (those
  // it is still writing not yet).
  std::vector<std::string> Saved(const std::string& a_strCommand) {
    std::vector<std::string> vec;
    std::vector<std::filesystem::path> vecpath;
    for (const auto& entry : std::filesystem::directory_iterator(m_strTasks)) vecpath.push_back(entry.path());
    std::sort(vecpath.begin(), vecpath.end());
    for (const auto& path : vecpath) {
      if (path.filename().string().substr(5) != a_strCommand + ".xml") continue;
      // A file the stand-in is still writing counts once it is whole.
      const std::string str = testsupport::ReadFile(path);
      if (str.find("</task>") != std::string::npos) vec.push_back(str);
    }
    return vec;
  }
  // The stand-in's ids of the tasks it sent of the command.
  std::vector<std::string> SentIds(const std::string& a_strCommand) {
    std::vector<std::string> vec;
    for (const uilinktest::LogLine& logline : ChildLog("sent")) {
      if (logline.vecstrField.at(5) == a_strCommand) vec.push_back(logline.vecstrField.at(1));
    }
    return vec;
  }

  std::string m_strFlag;
  std::string m_strTasks;
  std::unique_ptr<CDrvAssistantImpl> m_pdrvassistantimpl;
  std::unique_ptr<CDrvAssistant> m_pdrvassistant;
};

// The assistant comes up at the scan's begin: the opening task, exactly,
// as its first task; the session; a show whose images and end become the
// assistant's tasks and are taken; its answer after the show's end; the
// scan's question after the answer is taken too; interfaceclose at the
// scan's end, the child reaped; the next scan starts a new child.
TEST_F(DrvAssistantImplTest, AssistantShowMainPath) {
  Start("");
  const uint64_t u64Child = m_pdrvassistantimpl->GetLink().GetChildProcessId();
  EXPECT_EQ(m_pdrvassistantimpl->WaitForDrvAssistant(20000), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(m_pdrvassistantimpl->GetState(), DRV_UILINKSTATE_READY);
  EXPECT_EQ(m_pdrvassistantimpl->GetShowState(), DRVASSISTANT_SHOWSTATE_SHOWBEGIN);
  const std::string strOpenBody =
      ">\n\t<interfaceopen>\n\t\t<reportinquiry>\n\t\t\t<supported>\n\t\t\t\t<id>interactivemultifeed</id>\n"
      "\t\t\t</supported>\n\t\t</reportinquiry>\n\t</interfaceopen>\n</task>";
  const std::string strHead = "<task id='00000000000000000001' reply='00000000000000000000' bytes='";
  char szBytes[32];
  std::snprintf(szBytes, sizeof szBytes, "%020zu'", strHead.size() + 21 + strOpenBody.size());
  ASSERT_EQ(Saved("interfaceopen").size(), 1u);
  EXPECT_EQ(Saved("interfaceopen")[0], strHead + szBytes + strOpenBody);
  ASSERT_EQ(Saved("sessionbegin").size(), 1u);
  EXPECT_NE(Saved("sessionbegin")[0].find("<mainform><![CDATA[???]]></mainform>"), std::string::npos);
  EXPECT_EQ(Saved("sessionbegin")[0].find("<reportlabels>"), std::string::npos);

  EXPECT_EQ(Offer(DEV_STS_SUCCESS, "<reportimage><imagefilename>/r/1.raw</imagefilename></reportimage>"),
            OS_STS_SUCCESS);
  EXPECT_EQ(Offer(DEV_STS_USERACTION, ImageRecord("/r/2F.raw")), DRV_ASSISTANT_STS_TAKEN);
  EXPECT_EQ(Offer(DEV_STS_USERACTION, ImageRecord("/r/2R.raw")), DRV_ASSISTANT_STS_TAKEN);
  EXPECT_EQ(Offer(DEV_STS_ENDOFSHEET, ""), DRV_ASSISTANT_STS_TAKEN);
  ASSERT_TRUE(Eventually([&] { return m_pdrvassistantimpl->GetShowState() == DRVASSISTANT_SHOWSTATE_USERACTION; }))
      << m_plog->Text();
  EXPECT_EQ(Offer(DEV_STS_USERACTION, "<reportimage><useraction>decide</useraction></reportimage>"),
            DRV_ASSISTANT_STS_TAKEN);
  ASSERT_EQ(Saved("showbegin").size(), 1u);
  EXPECT_NE(Saved("showbegin")[0].find("<useraction>show</useraction>"), std::string::npos);
  ASSERT_EQ(Saved("showimage").size(), 2u);
  EXPECT_NE(Saved("showimage")[1].find("<imagefilename>/r/2R.raw</imagefilename>"), std::string::npos);
  EXPECT_EQ(Saved("showend").size(), 1u);
  // Each imageend and the answer get a success with the assistant's id.
  ASSERT_TRUE(Eventually([&] { return Saved("reportstatus").size() == 3; })) << m_plog->Text();
  const std::vector<std::string> vecstrImageEnd = SentIds("imageend");
  ASSERT_EQ(vecstrImageEnd.size(), 2u);
  for (const std::string& str : Saved("reportstatus")) EXPECT_NE(str.find("<status>success</status>"), std::string::npos);
  EXPECT_NE(Saved("reportstatus")[0].find("reply='" + vecstrImageEnd[0] + "'"), std::string::npos);
  EXPECT_NE(Saved("reportstatus")[2].find("reply='" + SentIds("userinput").at(0) + "'"), std::string::npos);

  EXPECT_EQ(m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvassistantimpl->GetLink().GetChildProcessId(), 0u);
  EXPECT_TRUE(ProcessState(u64Child).empty());
  EXPECT_EQ(Saved("interfaceclose").size(), 1u);
  EXPECT_EQ(ChildLog("exit").at(0).vecstrField.at(2), "the exit task");
  EXPECT_TRUE(m_pdrvassistantimpl->NoDrvAssistant());
  EXPECT_EQ(m_pdrvassistantimpl->WaitForDrvAssistant(10), DRV_ASSISTANT_STS_NOASSISTANT);

  // The next scan: a new child, a new session.
  ASSERT_EQ(m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_SCANBEGIN, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvassistantimpl->WaitForDrvAssistant(20000), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_NE(m_pdrvassistantimpl->GetLink().GetChildProcessId(), u64Child);
  EXPECT_EQ(CountOf(ChildReceived(), "sessionbegin"), 2u);
}

// Bad replies: an imageend of a name never shown, of one shown (once), a
// userinput out of turn are answered "fail" (logged); a task that does
// not parse and one without an id are skipped, logged, and the next task
// is still dispatched.
TEST_F(DrvAssistantImplTest, AssistantBadReplies) {
  std::string strScript = "waitfile " + m_strFlag + " 20000\n";
  for (const char* sz : {"../x", "/r/a.raw", "/r/a.raw", "/r/never.raw"})
    strScript += "send imageend \\n\\t\\t<imagefilename>" + std::string(sz) + "</imagefilename>\\n\\t\n";
  strScript += "send userinput \\n\\t\\t<useraction>continue</useraction>\\n\\t\n";
  strScript += "raw " + Escaped(Framed("00000000000000000090", "\t<imageend><imagefilename></imageend>")) + "\n";
  strScript += "raw " + Escaped(Framed("", "\t<imageend>\n\t\t<imagefilename>/r/a.raw</imagefilename>\n\t</imageend>")) +
               "\n";
  strScript += "send imageend \\n\\t\\t<imagefilename>../y</imagefilename>\\n\\t\n";
  Start(strScript);
  ASSERT_EQ(m_pdrvassistantimpl->WaitForDrvAssistant(20000), OS_STS_SUCCESS) << m_plog->Text();
  // The show's file: the stand-in ends it as it is shown (success); the
  // script's imageends of it come later.
  const std::string strImage = "<reportimage><imagefilename>/r/a.raw</imagefilename><useraction>show</useraction>"
                               "</reportimage>";
  EXPECT_EQ(Offer(DEV_STS_USERACTION, strImage), DRV_ASSISTANT_STS_TAKEN);
  ASSERT_TRUE(Eventually([&] { return Saved("reportstatus").size() == 1; })) << m_plog->Text();
  Go();
  ASSERT_TRUE(Eventually([&] { return Saved("reportstatus").size() == 7; })) << m_plog->Text();
  const std::vector<std::string> vecstr = Saved("reportstatus");
  // The stand-in's own imageend; the script's five; the one after the
  // skipped tasks.
  const char* aszExpected[] = {"success", "fail", "fail", "fail", "fail", "fail", "fail"};
  for (size_t sizet = 0; sizet < vecstr.size(); ++sizet)
    EXPECT_NE(vecstr[sizet].find(std::string("<status>") + aszExpected[sizet] + "</status>"), std::string::npos)
        << sizet << vecstr[sizet];
  EXPECT_TRUE(m_plog->Contains("imageend of an image not shown...<../x>"));
  EXPECT_TRUE(m_plog->Contains("imageend of an image not shown...<../y>"));
  EXPECT_TRUE(m_plog->Contains("userinput out of turn...DRVASSISTANT_SHOWSTATE_SHOWIMAGE"));
  EXPECT_TRUE(m_plog->Contains("GetProperty failed..."));
  EXPECT_TRUE(m_plog->Contains("a task that does not parse, skipped...90 1"));
  EXPECT_EQ(m_pdrvassistantimpl->GetShowState(), DRVASSISTANT_SHOWSTATE_SHOWIMAGE);
  EXPECT_EQ(m_pdrvassistantimpl->GetState(), DRV_UILINKSTATE_READY);
}

// An assistant that never reports its session: the user action gives up
// after the limit (21), logged; the bridge counts as ended and hands every
// later record on at once; the scan's end still closes and reaps it.
TEST_F(DrvAssistantImplTest, AssistantNeverReadyTimesOut) {
  DrvAssistantSetWaitLimit(DRV_ASSISTANTWAIT_READY, 300);
  Start("noready\n");
  auto start = Clock::now();
  EXPECT_EQ(Offer(DEV_STS_USERACTION, ImageRecord("/r/2F.raw")), DRV_ASSISTANT_STS_TIMEOUT);
  EXPECT_GE(MillisecondsSince(start), 290);
  EXPECT_TRUE(m_plog->Contains("Driver Assistant never reported ready...21"));
  EXPECT_EQ(m_pdrvassistantimpl->GetState(), DRV_UILINKSTATE_ENDED);
  start = Clock::now();
  EXPECT_EQ(Offer(DEV_STS_ENDOFSHEET, ""), OS_STS_SUCCESS);
  EXPECT_EQ(Offer(DEV_STS_USERACTION, ImageRecord("/r/2R.raw")), OS_STS_SUCCESS);
  EXPECT_LT(MillisecondsSince(start), 250);
  EXPECT_TRUE(m_plog->Contains("the Driver Assistant is gone, status=29 goes to the application"));
  const uint64_t u64Child = m_pdrvassistantimpl->GetLink().GetChildProcessId();
  EXPECT_EQ(m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  EXPECT_TRUE(ProcessState(u64Child).empty());
}

// The assistant dies while a user action waits for it: the wait ends soon
// (1), logged; the scan's end does not hang.
TEST_F(DrvAssistantImplTest, AssistantDiesMidWait) {
  DrvAssistantSetWaitLimit(DRV_ASSISTANTWAIT_READY, -1);
  Start("noready\nwait sessionbegin 20000\nsleep 300\nkill\n");
  const auto start = Clock::now();
  EXPECT_EQ(Offer(DEV_STS_USERACTION, ImageRecord("/r/2F.raw")), OS_STS_FAIL);
  EXPECT_LT(MillisecondsSince(start), 10000);
  // The wait may end on the link's state before the loss is logged.
  for (int i = 0; i < 500 && !m_plog->Contains("Communication lost with Driver Assistant"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(m_plog->Contains("Communication lost with Driver Assistant"));
  EXPECT_TRUE(m_plog->Contains("Driver Assistant never reported ready...1"));
  EXPECT_EQ(Offer(DEV_STS_ENDOFJOB, ""), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvassistantimpl->GetLink().GetChildProcessId(), 0u);
}

// Stopped (SIGSTOP) in the middle of a show: the records still go to its
// channel, and the scan's end stops and reaps it.
TEST_F(DrvAssistantImplTest, AssistantStoppedMidShow) {
  Start("wait showbegin 20000\nsigstop\n");
  ASSERT_EQ(m_pdrvassistantimpl->WaitForDrvAssistant(20000), OS_STS_SUCCESS) << m_plog->Text();
  const uint64_t u64Child = m_pdrvassistantimpl->GetLink().GetChildProcessId();
  EXPECT_EQ(Offer(DEV_STS_USERACTION, ImageRecord("/r/2F.raw")), DRV_ASSISTANT_STS_TAKEN);
  ASSERT_TRUE(Eventually([&] { return ProcessState(u64Child).find('T') != std::string::npos; }));
  EXPECT_EQ(Offer(DEV_STS_USERACTION, ImageRecord("/r/2R.raw")), DRV_ASSISTANT_STS_TAKEN);
  EXPECT_EQ(Offer(DEV_STS_ENDOFSHEET, ""), DRV_ASSISTANT_STS_TAKEN);
  const auto start = Clock::now();
  EXPECT_EQ(m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  EXPECT_LT(MillisecondsSince(start), 30000);
  EXPECT_TRUE(ProcessState(u64Child).empty());
}

// Through the facade: the scan's first user action brings the assistant
// up and waits for it; the scan's end ends that wait at once (the record
// goes to the application), stops and reaps the child, and leaves no
// assistant thread; the next scan's manager starts afresh.
TEST_F(DrvAssistantImplTest, AssistantScanEndEndsUserActionWait) {
  DrvAssistantSetWaitLimit(DRV_ASSISTANTWAIT_READY, -1);
  Environment("noready\n");
  setenv("PMX_FORCEDRVASSISTUI", AssistantPath().c_str(), 1);
  m_pdrvassistant = std::make_unique<CDrvAssistant>(nullptr, nullptr);
  ASSERT_EQ(m_pdrvassistant->Action(DRV_ASSISTANTACTION_SCANBEGIN, nullptr), OS_STS_SUCCESS);
  CDrvAssistantMgr* pdrvassistantmgr = m_pdrvassistant->GetMgr();
  auto future = std::async(std::launch::async, [this] {
    CDrvAssistantActionUserAction drvassistantactionuseraction(DEV_STS_USERACTION, ImageRecord("/r/2F.raw").c_str(),
                                                               nullptr);
    return m_pdrvassistant->Action(DRV_ASSISTANTACTION_USERACTION, &drvassistantactionuseraction);
  });
  ASSERT_TRUE(Eventually([&] { return !ChildLog("recv").empty(); })) << m_plog->Text();
  const uint64_t u64Child = pdrvassistantmgr->GetImpl()->GetLink().GetChildProcessId();
  const auto start = Clock::now();
  EXPECT_EQ(m_pdrvassistant->Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(future.get(), OS_STS_FAIL);
  EXPECT_LT(MillisecondsSince(start), 15000);
  EXPECT_TRUE(ProcessState(u64Child).empty());
  EXPECT_NE(m_pdrvassistant->GetMgr(), nullptr);
  EXPECT_EQ(m_pdrvassistant->GetMgr()->GetImpl(), nullptr);
  for (const std::string& strThread : LinkThreads()) ADD_FAILURE() << strThread;
  EXPECT_TRUE(Eventually([] {
    std::error_code errorcode;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", errorcode)) {
      const std::string strComm = testsupport::ReadFile(entry.path() / "comm");
      if (strComm.rfind("Drv2Assisstant", 0) == 0 || strComm.rfind("Assistant2Drv", 0) == 0 ||
          strComm.rfind("DriverAssistant", 0) == 0 || strComm.rfind("DrvAssistantSta", 0) == 0)
        return false;
    }
    return true;
  }));
}

// The GUI and the assistant started at once, twenty times: each link gets
// its own child, the GUI its "uiready", the assistant its session (over
// TCP: the message queues of a busy machine may run out of the user's
// share).
TEST_F(DrvAssistantImplTest, AssistantAndGuiStartedAtOnce) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  Environment("");
  for (int i = 0; i < 20; ++i) {
    CDrvGuiImpl drvguiimpl(nullptr, nullptr, nullptr, SCANDRV_UISTANDIN);
    CDrvAssistantImpl drvassistantimpl(nullptr, nullptr, AssistantPath().c_str());
    std::thread threadGui([&] { drvguiimpl.Action(DRV_GUIACTION_START, nullptr); });
    ASSERT_EQ(drvassistantimpl.Action(DRV_ASSISTANTACTION_SCANBEGIN, nullptr), OS_STS_SUCCESS);
    threadGui.join();
    EXPECT_EQ(drvguiimpl.WaitForGui(20000), OS_STS_SUCCESS) << i << m_plog->Text();
    EXPECT_EQ(drvassistantimpl.WaitForDrvAssistant(20000), OS_STS_SUCCESS) << i << m_plog->Text();
    EXPECT_NE(drvguiimpl.GetLink().GetChildProcessId(), drvassistantimpl.GetLink().GetChildProcessId());
    drvassistantimpl.Action(DRV_ASSISTANTACTION_SCANEND, nullptr);
    drvguiimpl.Action(DRV_GUIACTION_STOP, nullptr);
  }
  size_t sizetGui = 0, sizetAssistant = 0;
  for (const uilinktest::LogLine& logline : ChildLog("argv")) {
    sizetGui += logline.vecstrField.at(1) == SCANDRV_UISTANDIN;
    sizetAssistant += logline.vecstrField.at(1) == AssistantPath();
  }
  EXPECT_EQ(sizetGui, 20u);
  EXPECT_EQ(sizetAssistant, 20u);
  EXPECT_EQ(CountOf(ChildReceived(), "interfaceopen"), 20u);
  EXPECT_EQ(CountOf(ChildReceived(), "sessionbegin"), 20u);
}

// Fixed TCP ports held by the GUI: the assistant's start fails, logged,
// and a user action hands its record on at once.
TEST_F(DrvAssistantImplTest, AssistantPortsHeldByGui) {
  Configure(OS_CFGTAG_FORCEGUISOCKETS, "1");
  const int iBase = 20000 + static_cast<int>(getpid() % 20000) * 2;
  Configure(OS_CFGTAG_FORCEPORTTWAIN, std::to_string(iBase));
  Configure(OS_CFGTAG_FORCEPORTGUI, std::to_string(iBase + 1));
  Environment("");
  CDrvGuiImpl drvguiimpl(nullptr, nullptr, nullptr, SCANDRV_UISTANDIN);
  ASSERT_EQ(drvguiimpl.Action(DRV_GUIACTION_START, nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(drvguiimpl.WaitForGui(20000), OS_STS_SUCCESS) << m_plog->Text();
  Start("");
  const auto start = Clock::now();
  EXPECT_NE(Offer(DEV_STS_USERACTION, ImageRecord("/r/2F.raw")), DRV_ASSISTANT_STS_TAKEN);
  EXPECT_LT(MillisecondsSince(start), 10000);
  EXPECT_TRUE(m_plog->Contains("Failed to create DRV2ASSISTANT socket..."));
  EXPECT_EQ(m_pdrvassistantimpl->GetState(), DRV_UILINKSTATE_ENDED);
  EXPECT_EQ(Offer(DEV_STS_ENDOFSHEET, ""), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvassistantimpl->Action(DRV_ASSISTANTACTION_SCANEND, nullptr), OS_STS_SUCCESS);
  drvguiimpl.Action(DRV_GUIACTION_STOP, nullptr);
}

}  // namespace
