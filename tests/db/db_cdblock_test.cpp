// The database-wide lock: recursion, the release scope for waits, and the
// state word changed from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "db_cdblock.h"
#include "db_fixture.h"

namespace {

TEST(DbLockThread, RecursesAndReleasesWholeForAWait) {
  EXPECT_EQ(CDbLock::Depth(), 0);
  {
    CDbLockGuard outer;
    CDbLockGuard inner;
    EXPECT_EQ(CDbLock::Depth(), 2);
    {
      CDbLockRelease release;
      EXPECT_EQ(CDbLock::Depth(), 0);
      // While released, another thread gets the lock at once.
      std::thread other([] {
        CDbLockGuard guard;
        EXPECT_EQ(CDbLock::Depth(), 1);
      });
      other.join();
    }
    EXPECT_EQ(CDbLock::Depth(), 2);
  }
  EXPECT_EQ(CDbLock::Depth(), 0);
  // A release scope on a thread that holds nothing does nothing.
  { CDbLockRelease release; EXPECT_EQ(CDbLock::Depth(), 0); }
  // An unlock without a lock is ignored.
  CDbLock::Unlock();
  EXPECT_EQ(CDbLock::Depth(), 0);
}

TEST(DbLockThread, AHeldLockKeepsOtherThreadsOut) {
  CDbLock::Lock();
  std::atomic<bool> blIn{false};
  std::thread other([&] {
    CDbLockGuard guard;
    blIn = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(blIn.load());
  CDbLock::Unlock();
  other.join();
  EXPECT_TRUE(blIn.load());
}

class DbLockStateThread : public dbtest::DbFixture {};

// Each thread sets and clears its own bit many times while the others do the
// same: no bit of another thread is ever lost.
TEST_F(DbLockStateThread, StateBitsChangeAtomically) {
  constexpr int s_iThreads = 6;
  std::vector<std::thread> threads;
  std::atomic<int> iLost{0};
  for (int i = 0; i < s_iThreads; ++i) {
    threads.emplace_back([i, &iLost] {
      auto edbstate = static_cast<EDBSTATE>(i + 1);
      for (int n = 0; n < 20000; ++n) {
        CDbDatum::SetDbState(edbstate);
        if (!CDbDatum::TestDbState(edbstate)) ++iLost;
        CDbDatum::ClearDbState(edbstate);
        if (CDbDatum::TestDbState(edbstate)) ++iLost;
      }
      CDbDatum::SetDbState(edbstate);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(iLost.load(), 0);
  for (int i = 0; i < s_iThreads; ++i) EXPECT_TRUE(CDbDatum::TestDbState(static_cast<EDBSTATE>(i + 1)));
}

}  // namespace
