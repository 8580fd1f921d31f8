// The ecdocustom requests run on the task thread while another thread (as
// the scan thread does) talks to the same image library: the library
// adapter's own lock orders the two, and each gets its own whole answer.
#include <thread>

#include "drv_service_fixture.h"
#include "os_cosxmltask.h"

namespace {

using DrvEcdoCustomThread = drvtest::DrvServiceFixture;

TEST_F(DrvEcdoCustomThread, RequestsAndAnotherThreadsTasksKeepTheirAnswers) {
  ASSERT_EQ(RunCommand("ecdocustombegin").strStatus, "success") << m_plog->Text();
  constexpr int s_iRounds = 40;
  int iOtherWhole = 0;
  std::thread thread([&] {
    for (int i = 0; i < s_iRounds; ++i) {
      COsXmlTask osxmltask("", COsXmlTask::s_sizetMinimumCapacity);
      osxmltask.StartTask(0, 0, nullptr);
      osxmltask.StartCommand("getecdo", 1);
      osxmltask.AddArgument("ecdotype", "all");
      osxmltask.FinalizeCommand("getecdo");
      osxmltask.FinalizeTask();
      const char* szReply = m_pdev->NexEntry(DB_FIRMWARE_ADF, &osxmltask);
      if (szReply && std::string(szReply).find("<reportecdo>") != std::string::npos) ++iOtherWhole;
    }
  });
  int iWhole = 0;
  for (int i = 0; i < s_iRounds; ++i) {
    const drvtest::Reply reply = RunCommand("getecdocustom");
    if (reply.strStatus == "success" && reply.strText.find("<reportecdocustom>") != std::string::npos &&
        reply.strText.find("<reportecdo>") == std::string::npos)
      ++iWhole;
  }
  thread.join();
  EXPECT_EQ(iWhole, s_iRounds);
  EXPECT_EQ(iOtherWhole, s_iRounds);
  EXPECT_EQ(Named(NexilTasks(), "getecdocustom").size(), static_cast<size_t>(s_iRounds));
}

}  // namespace
