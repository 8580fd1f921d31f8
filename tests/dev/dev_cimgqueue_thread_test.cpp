// The image queue between threads: a push the assistant makes from inside
// its Action on the same thread goes through while another thread's push
// waits for the queue; four producers and one consumer lose nothing and
// keep each producer's order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "db_cdblock.h"
#include "dev_assistant_stub.h"
#include "dev_cimgqueue.h"

namespace {

using devtest::StubAssistant;

EOSSTS Push(CImgQueue& a_queue, EDEVSTS a_edevsts, const char* a_szText, int a_iImageCount = 0, int a_iPageCount = 0) {
  return a_queue.Push(a_edevsts, a_szText, nullptr, a_iImageCount, a_iPageCount, 0, 0, 0, false);
}

TEST(DevImgQueueThread, APushFromTheAssistantGoesThroughWhileAnotherThreadWaits) {
  StubAssistant stub;
  CImgQueue queue(8, &stub);
  std::mutex mutex;
  std::condition_variable cv;
  bool blInAction = false;
  bool blRelease = false;
  std::atomic<bool> blOtherDone{false};
  EOSSTS eosstsNested = OS_STS_FAIL;
  stub.m_fnAnswer = [&](CDrvAssistantAction* a_paction) {
    if (a_paction->edevsts != DEV_STS_USERACTION) return OS_STS_SUCCESS;
    // The assistant answers with user input, as it does without a program.
    eosstsNested = Push(queue, DEV_STS_USERINPUT, "<userinput>nested</userinput>");
    std::unique_lock<std::mutex> lock(mutex);
    blInAction = true;
    cv.notify_all();
    cv.wait(lock, [&] { return blRelease; });
    return OS_STS_SUCCESS;
  };
  std::thread threadOuter([&] { EXPECT_EQ(Push(queue, DEV_STS_USERACTION, "outer"), OS_STS_SUCCESS); });
  {
    std::unique_lock<std::mutex> lock(mutex);
    cv.wait(lock, [&] { return blInAction; });
  }
  EXPECT_EQ(eosstsNested, OS_STS_SUCCESS);
  // Another thread, holding the database lock as a task thread does: it
  // gives that lock up while it waits for the queue.
  std::thread threadOther([&] {
    CDbLockGuard dblockguard;
    EXPECT_EQ(Push(queue, DEV_STS_USERINPUT, "other"), OS_STS_SUCCESS);
    EXPECT_EQ(CDbLock::Depth(), 1);
    blOtherDone = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(blOtherDone.load());
  // The database lock is free meanwhile.
  std::thread threadDatabase([] { CDbLockGuard dblockguard; });
  threadDatabase.join();
  {
    std::lock_guard<std::mutex> lock(mutex);
    blRelease = true;
  }
  cv.notify_all();
  threadOuter.join();
  threadOther.join();
  std::vector<std::string> vecText;
  char szText[64];
  while (queue.Pop(szText, sizeof szText, nullptr, nullptr, nullptr, nullptr, nullptr, 0, false) !=
         DEV_STS_NOIMAGEAVAILABLE) {
    vecText.push_back(szText);
  }
  EXPECT_EQ(vecText, (std::vector<std::string>{"<userinput>nested</userinput>", "outer", "other"}));
}

TEST(DevImgQueueThread, FourProducersAndOneConsumerLoseNothing) {
  constexpr int s_iProducers = 4;
  constexpr int s_iEach = 25000;
  StubAssistant stub;  // offered every record, takes none
  CImgQueue queue(96, &stub);
  std::vector<std::thread> vecthread;
  for (int iProducer = 0; iProducer < s_iProducers; ++iProducer) {
    vecthread.emplace_back([&queue, iProducer] {
      char szText[32];
      for (int i = 0; i < s_iEach; ++i) {
        std::snprintf(szText, sizeof szText, "p%d:%d", iProducer, i);
        while (Push(queue, DEV_STS_SUCCESS, szText, iProducer, i) != OS_STS_SUCCESS) std::this_thread::yield();
      }
    });
  }
  std::vector<int> vecNext(s_iProducers, 0);
  int iReceived = 0;
  int iWrong = 0;
  char szText[32];
  char szExpected[32];
  while (iReceived < s_iProducers * s_iEach) {
    int iProducer = -1;
    int iSequence = -1;
    const EDEVSTS edevsts =
        queue.Pop(szText, sizeof szText, &iProducer, &iSequence, nullptr, nullptr, nullptr, 0, false);
    if (edevsts == DEV_STS_NOIMAGEAVAILABLE) {
      std::this_thread::yield();
      continue;
    }
    ++iReceived;
    if (edevsts != DEV_STS_SUCCESS || iProducer < 0 || iProducer >= s_iProducers) {
      ++iWrong;
      continue;
    }
    std::snprintf(szExpected, sizeof szExpected, "p%d:%d", iProducer, iSequence);
    if (iSequence != vecNext[iProducer]++ || std::string(szText) != szExpected) ++iWrong;
  }
  for (std::thread& thread : vecthread) thread.join();
  EXPECT_EQ(iWrong, 0);
  EXPECT_EQ(vecNext, std::vector<int>(s_iProducers, s_iEach));
  EXPECT_EQ(queue.PeekAtEdevsts(), DEV_STS_NOIMAGEAVAILABLE);
  // A push that found the queue full was offered again with its retry.
  EXPECT_GE(stub.Offers().size(), static_cast<size_t>(s_iProducers * s_iEach));
}

}  // namespace
