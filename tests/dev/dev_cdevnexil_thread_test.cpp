// The adapter from two threads at once, as the scan thread (setinput,
// getoutput, imageend) and the caller's thread (pass-throughs, relays,
// versions) use it, with the library in process and in the Dravix process:
// each exchange whole, ids increasing, every output let go. While the
// Dravix process works on a task, the database lock is free for others,
// and tasks that read or write the database wait for each other without a
// deadlock. Run under ThreadSanitizer too.
#include <atomic>
#include <filesystem>
#include <thread>

#include "db_cdblock.h"
#include "db_cdbversion.h"
#include "dev_cdevnexil_dravix_fixture.h"

namespace {

using devtest::LoggedTask;
using devtest::MillisecondsSince;
using simtest::Element;

class DevNexilThread : public devtest::DevNexilDravixFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(DevNexilThread, PassThroughBesideTheScan) {
  const std::string strPage = TakePage();
  ASSERT_FALSE(strPage.empty());
  Configure(OS_CFGTAG_FORCENEXILCALL, GetParam());
  ASSERT_EQ(m_pdevnexil->Load(DB_FIRMWARE_ADF, DEV_NEXILCALL_NONE), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdevnexil->InterfaceOpen(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdevnexil->SessionBegin(DB_FIRMWARE_ADF), OS_STS_SUCCESS) << m_plog->Text();
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

INSTANTIATE_TEST_SUITE_P(Hosting, DevNexilThread, ::testing::Values("1", "0"),
                         [](const ::testing::TestParamInfo<const char*>& a_info) {
                           return *a_info.param == '1' ? std::string("InProcess") : std::string("Dravix");
                         });

class DevNexilDravixThread : public devtest::DevNexilDravixFixture {};

// Each reply of the host takes 400 ms. A thread that holds the database
// lock and sends a task whose reply goes into the database gives the lock
// up for the exchange and has it back, as deep as before, afterwards;
// meanwhile others take it at once, and tasks of three threads that each
// hold it all end.
TEST_F(DevNexilDravixThread, TheDatabaseLockIsFreeWhileTheHostWorks) {
  setenv("DRAVIX_DELAY", "400", 1);
  OpenDravix();
  std::atomic<bool> blExchanging{false};
  std::atomic<int64_t> i64LockMs{-1};
  std::thread threadOther([&] {
    while (!blExchanging.load()) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = std::chrono::steady_clock::now();
    CDbLockGuard dblock;
    i64LockMs.store(MillisecondsSince(start));
  });
  {
    CDbLockGuard dblockOuter;
    CDbLockGuard dblockInner;
    blExchanging.store(true);
    EXPECT_EQ(m_pdevnexil->SetupBegin(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS) << m_plog->Text();
    EXPECT_EQ(CDbLock::Depth(), 2);
  }
  threadOther.join();
  EXPECT_EQ(m_pdevnexil->SetupEnd(DB_FIRMWARE_ADF, false), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_GE(i64LockMs.load(), 0);
  EXPECT_LT(i64LockMs.load(), 200);

  std::atomic<int> iDone{0};
  std::vector<std::thread> vecthread;
  vecthread.emplace_back([&] {
    CDbLockGuard dblock;
    m_pdevnexil->GetVersion();
    ++iDone;
  });
  vecthread.emplace_back([&] {
    CDbLockGuard dblock;
    EXPECT_EQ(m_pdevnexil->MessageRelay(DB_FIRMWARE_ADF, ""), DEV_STS_ENDOFMESSAGES);
    ++iDone;
  });
  vecthread.emplace_back([&] {
    CDbLockGuard dblock;
    OsMemList osmemlist = {};
    EXPECT_EQ(m_pdevnexil->GetFreeMemory("front", &osmemlist), DEV_STS_SUCCESS);
    ++iDone;
  });
  for (std::thread& thread : vecthread) thread.join();
  EXPECT_EQ(iDone.load(), 3);
  EXPECT_STREQ(m_pdatabase->GetDbVersion()->GetVersionNumberNexilAdf(), "6.10.2");
}

}  // namespace
