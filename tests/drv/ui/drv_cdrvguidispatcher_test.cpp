// The GUI's commands on the staged stand-in: the answers to dialogs and
// messages with what they leave in the button flags, the commands the
// dispatcher cannot read (answered "badcmd" when their id can be read, the
// loop going on), readiness said twice, and the GUI's death while a front
// end's task holds the interface lock.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "drv_gui_fixture.h"

namespace {

using uilinktest::Clock;
using uilinktest::Eventually;
using uilinktest::MillisecondsSince;

class DrvGuiDispatcherTest : public guitest::DrvGuiImplTest {
 protected:
  // The status words of the bridge's replies to the stand-in's task a_iId,
  // in the order they were sent (the link logs what it writes).
  std::vector<std::string> StatusesTo(int a_iId) {
    char szReply[48];
    std::snprintf(szReply, sizeof szReply, "reply='%020d'", a_iId);
    const std::string strLog = m_plog->Text().substr(m_sizetMark);
    std::vector<std::string> vec;
    for (size_t sizet = strLog.find(szReply); sizet != std::string::npos; sizet = strLog.find(szReply, sizet + 1)) {
      const size_t sizetStatus = strLog.find("<status>", sizet);
      const size_t sizetEnd = strLog.find("</status>", sizetStatus);
      if (sizetStatus == std::string::npos || sizetEnd == std::string::npos || sizetStatus - sizet > 200) continue;
      vec.push_back(strLog.substr(sizetStatus + 8, sizetEnd - sizetStatus - 8));
    }
    return vec;
  }
  // The log since the mark.
  bool Logged(const std::string& a_str) { return m_plog->Text().find(a_str, m_sizetMark) != std::string::npos; }
  std::array<bool, CDrvGuiImpl::BUTTON_COUNT> Buttons() {
    std::array<bool, CDrvGuiImpl::BUTTON_COUNT> a{};
    for (int i = 0; i < CDrvGuiImpl::BUTTON_COUNT; ++i)
      a[i] = m_pdrvguiimpl->GetButton(static_cast<CDrvGuiImpl::EBUTTON>(i));
    return a;
  }
  size_t m_sizetMark = 0;
};

// A task of exactly the length its header says, on one line for the
// stand-in's "raw" step.
std::string RawTask(const std::string& a_strAttributes, const std::string& a_strBody) {
  const std::string strRest = "'>" + a_strBody + "</task>";
  const std::string strHead = "<task " + a_strAttributes + " bytes='";
  char szBytes[24];
  std::snprintf(szBytes, sizeof szBytes, "%020zu", strHead.size() + 20 + strRest.size());
  return strHead + szBytes + strRest;
}

// Each answer is "success" first; what it leaves: the button flags (ok,
// cancel, yes, no), the event set, and the log's complaint.
TEST_F(DrvGuiDispatcherTest, GuiAnswersToDialogsAndMessages) {
  const struct {
    const char* szName;
    const char* szScript;
    std::array<bool, 4> ablButton;
    const char* szLogged;
  } acase[] = {
      {"no children", "send dialogcleared\n", {true, true, true, true}, "Unrecognized button...<>"},
      {"unknown dialog", "send dialogcleared <dialogtype>foo</dialogtype><button>ok</button>\n",
       {true, false, false, false}, "Unexpected dialog...<foo>"},
      {"unknown button", "send dialogcleared <dialogtype>scanning</dialogtype><button>maybe</button>\n",
       {true, true, true, true}, "Unrecognized button...<maybe>"},
      {"twice before a wait",
       "send dialogcleared <dialogtype>scanning</dialogtype><button>yes</button>\n"
       "send dialogcleared <dialogtype>calibrate</dialogtype><button>no</button>\n",
       {false, false, true, true}, "Info button press when we aleady have one in the queue...ok:0 cancel:0 yes:1 no:0"},
      {"message without a button", "send messagecleared\n", {true, true, true, true}, "No button named..."},
      {"message answered", "send messagecleared <button>cancel</button>\n", {false, true, false, false}, ""},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    const std::string strScript = c.szScript;
    const int iTasks = strScript.find('\n') == strScript.rfind('\n') ? 1 : 2;
    m_sizetMark = m_plog->Text().size();
    std::remove(m_strStandinLog.c_str());
    StartGui("noready\n" + strScript);
    EXPECT_TRUE(Eventually([&] { return RepliesTo(iTasks) == 1; })) << m_plog->Text();
    EXPECT_TRUE(Eventually([&] { return Buttons() == c.ablButton; }));
    for (int i = 1; i <= iTasks; ++i) EXPECT_EQ(StatusesTo(i), std::vector<std::string>{"success"}) << i;
    EXPECT_EQ(m_pdrvguiimpl->GetLink().EventWait(5000), OS_STS_SUCCESS) << "the answer sets the event";
    EXPECT_TRUE(Logged(c.szLogged));
    m_pdrvguiimpl.reset();
  }
}

// A command whose name does not fit, a task without a reply or without an
// id: logged, "badcmd" when the id can be read, and the next task is
// answered. "uiready" said twice is answered twice and the GUI stays ready.
TEST_F(DrvGuiDispatcherTest, GuiTasksTheDispatcherCannotRead) {
  const std::string strLong(64, 'x');
  StartGui("send uiready\n"                                                           // 2
           "send " + strLong + "\n"                                                   // 3
           "raw " + RawTask("id='00000000000000000900'", "<uivisible></uivisible>") + "\n"
           "raw " + RawTask("reply='00000000000000000000'", "<uivisible></uivisible>") + "\n"
           "send " + strLong.substr(1) + "\n"                                         // 4
           "send uivisible\n");                                                        // 5
  ASSERT_TRUE(Eventually([&] { return RepliesTo(5) == 1; })) << m_plog->Text();
  EXPECT_EQ(StatusesTo(1), std::vector<std::string>{"success"});
  EXPECT_EQ(StatusesTo(2), std::vector<std::string>{"success"});
  EXPECT_EQ(m_pdrvguiimpl->WaitForGui(0), OS_STS_SUCCESS);
  EXPECT_EQ(m_pdrvguiimpl->GetGuiState(), DRV_UILINKSTATE_READY);
  EXPECT_EQ(StatusesTo(3), std::vector<std::string>{"badcmd"});
  EXPECT_TRUE(m_plog->Contains("NodeGetName failed..."));
  EXPECT_EQ(StatusesTo(900), std::vector<std::string>{"badcmd"});
  EXPECT_TRUE(m_plog->Contains("GetProperty failed..."));
  EXPECT_EQ(StatusesTo(4), std::vector<std::string>{"badcmd"}) << "63 characters are read, and unknown";
  EXPECT_EQ(StatusesTo(5), std::vector<std::string>{"success"});
  EXPECT_TRUE(Visible());
  // Every reply the stand-in read answers one of its tasks: none for the
  // task without an id.
  EXPECT_EQ(Replies(), 6u);
  EXPECT_EQ(RepliesTo(0), 0u);
}

// The GUI dies while its command waits for a front end's task: the task
// goes on and later tasks take the lock at once; a new GUI starts from
// within the task without waiting for the old dispatcher.
TEST_F(DrvGuiDispatcherTest, GuiKilledWhileATaskHoldsTheLock) {
  const std::string strScript = "noready\nwaitfile " + m_strFlag + " 20000\nsend uivisible\nsleep 200\nkill\n";
  StartGui(strScript);
  ASSERT_TRUE(m_pdrvguiimpl->InterfaceLock("DriverEntry"));
  Go();
  ASSERT_TRUE(Eventually([&] { return m_pdrvguiimpl->GetGuiState() == DRV_UILINKSTATE_ENDED; }));
  EXPECT_FALSE(Visible()) << "the command still waits for the task";
  m_pdrvguiimpl->InterfaceUnlock("DriverEntry.normal");
  for (int i = 0; i < 3; ++i) {
    std::thread([&] {
      const auto start = Clock::now();
      EXPECT_TRUE(m_pdrvguiimpl->InterfaceLock("DriverEntry"));
      EXPECT_LT(MillisecondsSince(start), 5000);
      m_pdrvguiimpl->InterfaceUnlock("DriverEntry.normal");
    }).join();
  }

  // The same, and the task starts the GUI anew.
  m_pdrvguiimpl.reset();
  std::remove(m_strFlag.c_str());
  StartGui(strScript);
  ASSERT_TRUE(m_pdrvguiimpl->InterfaceLock("DriverEntry"));
  Go();
  ASSERT_TRUE(Eventually([&] { return m_pdrvguiimpl->GetGuiState() == DRV_UILINKSTATE_ENDED; }));
  setenv("UISTANDIN_SCRIPT", "", 1);
  const auto start = Clock::now();
  ASSERT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_START, nullptr), OS_STS_SUCCESS);
  EXPECT_LT(MillisecondsSince(start), 5000);
  EXPECT_EQ(m_pdrvguiimpl->WaitForGui(20000), OS_STS_SUCCESS) << m_plog->Text();
  size_t sizetStarts = 0;
  for (const uilinktest::LogLine& logline : ChildLog("argv")) sizetStarts += logline.vecstrField.at(0) == "0";
  EXPECT_EQ(sizetStarts, 3u) << "a third GUI";
  m_pdrvguiimpl->InterfaceUnlock("DriverEntry.normal");
}

}  // namespace
