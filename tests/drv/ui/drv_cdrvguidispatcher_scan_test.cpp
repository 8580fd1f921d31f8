// The GUI's scan commands as the driver's scan sees them: the flags they
// set, read through the actions REQUESTCANCELPRESSED and RESETFLAGS while
// the reader sets them (a bridge without database, engine or driver), and
// the replies of the commands that then cannot reach a scanner.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "drv_gui_fixture.h"

namespace {

using uilinktest::Eventually;

class DrvGuiScanTest : public guitest::DrvGuiImplTest {
 protected:
  bool CancelPressed() {
    return m_pdrvguiimpl->Action(DRV_GUIACTION_REQUESTCANCELPRESSED, nullptr) == OS_STS_SUCCESS;
  }
  size_t Logged(const std::string& a_str) {
    const std::string strLog = m_plog->Text();
    size_t sizet = 0;
    for (size_t sizetAt = strLog.find(a_str); sizetAt != std::string::npos; sizetAt = strLog.find(a_str, sizetAt + 1))
      ++sizet;
    return sizet;
  }
};

// requestscancancel comes on the reader while this thread polls the flag as
// the driver's scan does; RESETFLAGS clears it and a second cancel sets it
// again. Each cancel is answered; the first after a reset with one empty
// image report.
TEST_F(DrvGuiScanTest, CancelSetsTheFlagTheScanReads) {
  StartGui("send requestscancancel\n" "waitfile " + m_strFlag + " 20000\n" "send requestscancancel\n" +
           "waitfile " + m_strFlag + "2 20000\n" "send requestscancancel\n");
  bool blSeen = false;
  std::thread threadPoll([&] {
    for (int i = 0; i < 20000 && !blSeen; ++i) {
      blSeen = CancelPressed();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  threadPoll.join();
  EXPECT_TRUE(blSeen);
  EXPECT_TRUE(Eventually([&] { return RepliesTo(2) == 1; }));
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_RESETFLAGS, nullptr), OS_STS_SUCCESS);
  EXPECT_FALSE(CancelPressed());
  Go();
  EXPECT_TRUE(Eventually([&] { return CancelPressed(); }));
  // Not reset: the third cancel is answered "success" only.
  Go("2");
  EXPECT_TRUE(Eventually([&] { return RepliesTo(4) == 1; })) << m_plog->Text();
  EXPECT_TRUE(CancelPressed());
  EXPECT_EQ(Logged("<imagesize>0</imagesize>"), 2u) << m_plog->Text();
}

// Without an engine or a driver the service commands fail whole; a
// downloadbegin with a size out of 31 bits fails before any engine call.
TEST_F(DrvGuiScanTest, ServiceCommandsWithoutAScanner) {
  StartGui(
      "send calibratebegin\nsend diagnosticrun\nsend clearlog <logtype>all</logtype>\n"
      "send downloadbegin <datafile><filename>f</filename><datasize>4294967306</datasize></datafile>\n"
      "send imageend\nsend requestok\nsend requestok\n");
  EXPECT_TRUE(Eventually([&] { return RepliesTo(8) == 1; })) << m_plog->Text();
  for (int i = 2; i <= 5; ++i) EXPECT_EQ(RepliesTo(i), 1u) << i;
  EXPECT_EQ(m_pdrvguiimpl->Action(DRV_GUIACTION_RESETFLAGS, nullptr), OS_STS_SUCCESS);
  EXPECT_GE(Logged("Bad datasize for <downloadbegin> <4294967306>..."), 1u);
}

}  // namespace
