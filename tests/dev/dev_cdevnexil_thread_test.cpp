// The adapter from two threads at once, as the scan thread (setinput,
// getoutput, imageend) and the caller's thread (pass-throughs, relays,
// versions) use it: each
// exchange whole, ids increasing, every output let go. Run under
// ThreadSanitizer too.
#include <atomic>
#include <filesystem>
#include <thread>

#include "db_cdbversion.h"
#include "dev_cdevnexil_fixture.h"

namespace {

using devtest::LoggedTask;
using simtest::Element;

class DevNexilThread : public devtest::DevNexilFixture {};

TEST_F(DevNexilThread, PassThroughBesideTheScan) {
  const std::string strPage = TakePage();
  ASSERT_FALSE(strPage.empty());
  Open();
  ASSERT_EQ(m_pdevnexil->ScanBegin(DB_FIRMWARE_ADF, 4), OS_STS_SUCCESS);
  constexpr int s_iPages = 40;
  std::atomic<bool> blScanning{true};
  std::atomic<int> iPassThroughs{0};
  // The caller's thread also relays messages and reads the version, which
  // take the database lock before the adapter's.
  std::thread threadCaller([&] {
    while (blScanning.load()) {
      const char* szReply = m_pdevnexil->NexPassThrough(DB_FIRMWARE_ADF, "\t<getversion>\n\t</getversion>\n");
      const std::string strReply = szReply ? szReply : "";
      EXPECT_EQ(Element(strReply, "status"), "success") << strReply;
      EXPECT_EQ(Element(strReply, "versionnumber"), "6100200") << strReply;
      EXPECT_EQ(m_pdevnexil->MessageRelay(DB_FIRMWARE_ADF, ""), DEV_STS_ENDOFMESSAGES);
      m_pdevnexil->GetVersion();
      ++iPassThroughs;
    }
  });
  std::vector<char> vcOutput(65536);
  int iOutputs = 0;
  for (int i = 0; i < s_iPages; ++i) {
    ASSERT_EQ(m_pdevnexil->SetInput(strPage.c_str()), OS_STS_SUCCESS);
    while (m_pdevnexil->GetOutput(DB_FIRMWARE_ADF, vcOutput.data(), vcOutput.size()) == DEV_STS_SUCCESS) {
      ++iOutputs;
      const std::string strFile = Element(vcOutput.data(), "imagefilename");
      ASSERT_FALSE(strFile.empty()) << vcOutput.data();
      m_pdevnexil->ImageEnd(DB_FIRMWARE_ADF, strFile.c_str());
    }
  }
  blScanning.store(false);
  threadCaller.join();
  ASSERT_EQ(m_pdevnexil->ScanEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS);
  EXPECT_EQ(iOutputs, s_iPages);
  EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionNumberNexilAdf(), "6.10.2");
  EXPECT_GT(iPassThroughs.load(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(m_strOutputs));
  // Every task is logged whole, with its answer, in the order of its id.
  const std::vector<LoggedTask> vec = TaskLog();
  ASSERT_FALSE(vec.empty());
  for (size_t i = 0; i < vec.size(); ++i) {
    EXPECT_EQ(vec[i].ulId, i + 1);
    const std::string strExpected = vec[i].strCommand == "messagerelay" ? "endofmessages"
                                    : vec[i].strCommand == "getoutput" && vec[i].strStatus == "endofoutput"
                                        ? "endofoutput"
                                        : "success";
    EXPECT_EQ(vec[i].strStatus, strExpected) << vec[i].strCommand;
  }
}

}  // namespace
