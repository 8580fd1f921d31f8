// A front end's scan loop through the driver's entry: a job that ends
// "disconnected" ends the loop, images confirmed out of order are each
// ended under their own name, and a second session on another model is
// offered what that model has.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_scan_fixture.h"
#include "test_support.h"

namespace {

using drvtest::DrvScanFixture;

class DrvScanFlowTest : public DrvScanFixture {
 protected:
  // getoutput until a word other than "noimageready" or "success" (each
  // image confirmed at once), or the limit: that word ("" at the limit).
  std::string Loop(long a_lLimitMs) {
    const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(a_lLimitMs);
    while (std::chrono::steady_clock::now() < timepointEnd) {
      const std::string strReply = Run("<getoutput></getoutput>");
      const std::string strStatus = Status(strReply);
      if (strStatus == "success") {
        Run("<imageend><imagefilename>" + Field(strReply, "imagefilename") + "</imagefilename></imageend>");
      } else if (strStatus != "noimageready") {
        return strStatus;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return "";
  }

  static bool Gone(const std::string& a_strFile) {
    for (int i = 0; i < 500; ++i) {
      if (access(a_strFile.c_str(), F_OK) != 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  bool OffersTwoSided() {
    CDbLockGuard dblockguard;
    CDatabase* pdatabase = m_pdriver->GetDatabase();
    return pdatabase->EnumHasCurrentItem(pdatabase->Find(DB_ID_INPUTDOCUMENT), DB_ID_INPUTDOCUMENT_ENUM_TWOSIDED);
  }
};

}  // namespace

// The device's getoutput or its scanbegin answering "disconnected": the
// caller's loop ends with "disconnected" within a second, and says so again.
TEST_F(DrvScanFlowTest, AJobEndedDisconnectedEndsTheCallersLoop) {
  const std::vector<std::pair<std::string, std::string>> acase = {{"getoutputword", "3:disconnected"},
                                                                  {"scanbegin", "disconnected"}};
  for (const auto& flag : acase) {
    SCOPED_TRACE(flag.first);
    Open({{"pages", "3"}, flag});
    ASSERT_EQ(Status(Run("<scanbegin></scanbegin>")), "success") << m_plog->Text();
    const auto timepointStart = std::chrono::steady_clock::now();
    EXPECT_EQ(Loop(1000), "disconnected") << m_plog->Text();
    EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::seconds(1));
    EXPECT_EQ(Status(Run("<getoutput></getoutput>")), "disconnected");
    Run("<scanend></scanend>");
    NewDriver();
  }
}

// Two images handed out, the second confirmed first: each file is read
// whole before its own imageend and is gone after it, the other staying.
TEST_F(DrvScanFlowTest, ImagesConfirmedOutOfOrderAreEachEndedUnderTheirName) {
  // The second sheet keeps the scan at work while the first one's images
  // are confirmed.
  Open({{"pages", "2"}, {"delay", "1500"}});
  ASSERT_EQ(Status(Run("<scanbegin></scanbegin>")), "success") << m_plog->Text();
  std::vector<std::string> vecstrFile;
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (vecstrFile.size() < 2 && std::chrono::steady_clock::now() < timepointEnd) {
    const std::string strReply = Run("<getoutput></getoutput>");
    if (Status(strReply) == "noimageready") {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    ASSERT_EQ(Status(strReply), "success") << strReply;
    const std::string strFile = Field(strReply, "imagefilename");
    struct stat st {};
    ASSERT_EQ(stat(strFile.c_str(), &st), 0) << strFile;
    EXPECT_EQ(std::to_string(st.st_size), Field(strReply, "imagesize"));
    EXPECT_EQ(testsupport::ReadFile(strFile).size(), static_cast<size_t>(st.st_size));
    vecstrFile.push_back(strFile);
  }
  ASSERT_EQ(vecstrFile.size(), 2u) << m_plog->Text();
  ASSERT_NE(vecstrFile[0], vecstrFile[1]);
  const std::string strEndB = Run("<imageend><imagefilename>" + vecstrFile[1] + "</imagefilename></imageend>");
  EXPECT_EQ(Status(strEndB), "success") << strEndB;
  EXPECT_TRUE(Gone(vecstrFile[1])) << m_plog->Text();
  EXPECT_EQ(access(vecstrFile[0].c_str(), R_OK), 0);
  const std::string strEndA = Run("<imageend><imagefilename>" + vecstrFile[0] + "</imagefilename></imageend>");
  EXPECT_EQ(Status(strEndA), "success") << strEndA;
  EXPECT_TRUE(Gone(vecstrFile[0])) << m_plog->Text();
  EXPECT_EQ(Logged("imgqueue: User called imageend for the wrong image..."), 0u);
  EXPECT_EQ(Loop(5000), "endofoutput");
  EXPECT_EQ(Status(Run("<scanend></scanend>")), "success");
}

// A simplex session, then a duplex one in the same process: the second
// is offered two-sided input.
TEST_F(DrvScanFlowTest, ASecondSessionOnAnotherModelIsOfferedWhatThatModelHas) {
  Open({{"duplex", "false"}});
  EXPECT_FALSE(OffersTwoSided());
  NewDriver();
  Open({{"duplex", "true"}});
  EXPECT_TRUE(OffersTwoSided());
}
