// The flatbed rescan thread: asked for from another thread (as the engine's
// scan thread asks), it rescans once per scan under the driver's task lock;
// a scan ended while it waits for that lock stops and joins it without a
// rescan; a rescan that cannot start answers no task.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdriver.h"
#include "drv_scan_fixture.h"
#include "os_cosxmltask.h"

namespace {

using drvtest::DrvScanFixture;

constexpr const char* s_szRescan = "AdfToFlatbed: rescan from the flatbed...";

class DrvRescanThread : public DrvScanFixture {
 protected:
  void SetUp() override {
    DrvScanFixture::SetUp();
    Open();
    const std::string strBegin = Run("<scanbegin></scanbegin>");
    ASSERT_EQ(Status(strBegin), "success") << strBegin;
  }

  // The engine's scan thread asking for rescans.
  void AskFromAnotherThread(int a_iTimes) {
    std::thread thread([this, a_iTimes] {
      for (int i = 0; i < a_iTimes; ++i) EXPECT_EQ(CDriver::AdfToFlatbedProc(m_pdriver.get()), OS_STS_SUCCESS);
    });
    thread.join();
  }

  bool WaitLogged(const std::string& a_strLine) {
    for (int i = 0; i < 500; ++i) {
      if (Logged(a_strLine) > 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

TEST_F(DrvRescanThread, RescansOncePerScanAndScanendJoinsIt) {
  AskFromAnotherThread(2);
  ASSERT_TRUE(WaitLogged(s_szRescan)) << m_plog->Text();
  AskFromAnotherThread(1);
  EXPECT_EQ(Status(Run("<scanend></scanend>")), "success");
  EXPECT_EQ(Logged(s_szRescan), 1u);
  // The next scan may rescan again.
  ASSERT_EQ(Status(Run("<scanbegin></scanbegin>")), "success");
  AskFromAnotherThread(1);
  EXPECT_EQ(Status(Run("<scanend></scanend>")), "success");
  EXPECT_EQ(Logged(s_szRescan), 2u);
}

// A task holds the lock (a scanend about to join): the thread gives up.
TEST_F(DrvRescanThread, AScanEndedWhileItWaitsStopsItWithoutARescan) {
  {
    std::lock_guard<std::recursive_mutex> lock(CDriver::TaskMutex());
    AskFromAnotherThread(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(m_pdriver->ScanEnd(true), OS_STS_SUCCESS);
  }
  EXPECT_EQ(Logged(s_szRescan), 0u);
  // Ended: no rescan until the next scan begins.
  AskFromAnotherThread(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(Logged(s_szRescan), 0u);
  EXPECT_EQ(Status(Run("<scanend></scanend>")), "success");
}

// The session ends (the driver object goes) while a rescan waits: the
// thread is stopped before the facade it would use.
TEST_F(DrvRescanThread, TheDriverEndingStopsAWaitingRescan) {
  {
    std::lock_guard<std::recursive_mutex> lock(CDriver::TaskMutex());
    AskFromAnotherThread(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(Status(Run("<interfaceclose></interfaceclose>")), "success");
    m_pdriver.reset();
  }
  EXPECT_EQ(Logged(s_szRescan), 0u);
}

// On the rescan thread there is no task: a scan that cannot start goes to
// the application's queue, and the task builder keeps the last reply.
TEST_F(DrvRescanThread, ARescanThatCannotStartBuildsNoReply) {
  std::string strLast;
  {
    CDbLockGuard dblockguard;
    strLast = m_pdriver->GetDatabase()->GetXmlTask()->GetTaskBuffer();
  }
  m_guiseam.Answer(DRV_GUIACTION_REQUESTCANCELPRESSED, OS_STS_SUCCESS);
  AskFromAnotherThread(1);
  ASSERT_TRUE(WaitLogged("AdfToFlatbed: ScanBegin failed...5")) << m_plog->Text();
  {
    CDbLockGuard dblockguard;
    EXPECT_EQ(m_pdriver->GetDatabase()->GetXmlTask()->GetTaskBuffer(), strLast);
  }
  EXPECT_EQ(m_guiseam.Asked(DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK), 0);
  m_guiseam.Answer(DRV_GUIACTION_REQUESTCANCELPRESSED, static_cast<EOSSTS>(49));
  EXPECT_EQ(Status(Run("<scanend></scanend>")), "success");
  EXPECT_EQ(CDriver::AdfToFlatbedProc(nullptr), OS_STS_FAIL);
  EXPECT_EQ(Logged("AdfToFlatbed null arg..."), 1u);
}

}  // namespace
