// Engine threads share one dispatcher: each walk reads its own reply whole,
// and each caller gets its own reply's code.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "dp_dispatch_fixture.h"

namespace {

using dptest::Reply;
using dptest::Report;

class DpDispatchThread : public dptest::DispatchFixture {};

TEST_F(DpDispatchThread, TwoThreadsDispatchAtOnce) {
  constexpr int s_iRounds = 300;
  std::atomic<int> iMismatches{0};
  DeviceLog devicelog = {};
  auto fnRun = [&](const char* a_szStatus, EDEVREPLY a_edevreply, bool a_blLogTarget) {
    for (int i = 0; i < s_iRounds; ++i) {
      const std::string strReply = Reply(a_szStatus, Report("reportconfig", "imagecount", std::to_string(i)) +
                                                         Report("reportversionuser", "versiontext", a_szStatus));
      const DevDispatchTarget devdispatchtarget = a_blLogTarget && i % 2 ? DevDispatchTarget::Log(&devicelog)
                                                                         : DevDispatchTarget::Database(m_pdatabase.get());
      if (m_pdispatch->Process(strReply.c_str(), devdispatchtarget, i % 3 == 0, DB_FIRMWARE_ADF) != a_edevreply)
        ++iMismatches;
      if (m_pdispatch->ProcessOutput(strReply.c_str(), DevDispatchTarget::None()) != a_edevreply) ++iMismatches;
      m_pdispatch->GetStatus();
      m_pdispatch->GetOutputStatus();
    }
  };
  std::thread threadA(fnRun, "busy", DEV_REPLY_BUSY, false);
  std::thread threadB(fnRun, "paperjam", DEV_REPLY_PAPERJAM, true);
  threadA.join();
  threadB.join();
  EXPECT_EQ(iMismatches.load(), 0);
  EXPECT_GE(Current(DB_ID_XFERCOUNT), s_iRounds - 2);
  const std::string strText = m_pdatabase->GetDbVersion()->GetVersionTextAdf();
  EXPECT_TRUE(strText == "busy" || strText == "paperjam") << strText;
}

}  // namespace
