// The feeder's paper sensor as the database reads it: one reading of the
// device serves every caller of the process for two seconds (the clock is a
// seam here), callers on two threads at once each ask at most once and
// never wait for each other's device, and a reading that reaches the
// question again on its own thread answers from the cache instead of
// asking again. The device stands behind the value's read callback, as the
// engine's callback does.
#include <atomic>
#include <barrier>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "db_values_fixture.h"

namespace {

using dbtest::DbValuesFixture;
using dbtest::RecordingEnum;

std::atomic<int64_t> s_i64Seconds{1000};

int64_t Clock() { return s_i64Seconds.load(); }

// The feeder's sensor as the scanner answers it: each read asks it once and
// forces its answer into the capability, as the scanner's replies go in.
struct Sensor {
  std::atomic<long> lLoaded{1};
  std::atomic<long> lAsked{0};
  void SetFeederLoaded(long a_lLoaded) { lLoaded.store(a_lLoaded); }
  long GetFeederAskedCount() const { return lAsked.load(); }
  static EOSSTS CallBack(void* a_pvDbCallbackRecord) {
    auto* pdbcallbackrecord = static_cast<DbCallbackRecord*>(a_pvDbCallbackRecord);
    auto* psensor = static_cast<Sensor*>(pdbcallbackrecord->pvUser);
    psensor->lAsked.fetch_add(1);
    pdbcallbackrecord->pdatabase->ForceCurrentLong(pdbcallbackrecord->pdbdatum, psensor->lLoaded.load());
    return OS_STS_SUCCESS;
  }
};

class DbDatabaseFeederTest : public DbValuesFixture {
 protected:
  void SetUp() override {
    DbValuesFixture::SetUp();
    CDatabase::SetFeederLoadedClock(Clock);
    m_pfeeder = CatalogueEnum(DB_ID_FEEDERLOADED, DB_BIN_MACHINE, DB_ACCESS_READONLY, 1, {1, 2});
    m_pfeeder->RegisterCallback(DB_CALLBACK_GETLONG, Sensor::CallBack, &m_sensor);
  }

  void TearDown() override {
    m_pfeeder->RegisterCallback(DB_CALLBACK_GETLONG, nullptr, nullptr);
    CDatabase::SetFeederLoadedClock(nullptr);
    DbValuesFixture::TearDown();
  }

  CDbEnum* m_pfeeder = nullptr;
  Sensor m_sensor;
};

TEST_F(DbDatabaseFeederTest, OneReadingServesTwoSeconds) {
  CDatabase& db = *m_pdatabase;
  m_sensor.SetFeederLoaded(DB_ID_FEEDERLOADED_ENUM_TRUE);
  EXPECT_EQ(db.GetFeederLoaded(), DB_ID_FEEDERLOADED_ENUM_TRUE);
  EXPECT_EQ(m_sensor.GetFeederAskedCount(), 1);
  // The scanner's answer went into the read-only capability.
  EXPECT_EQ(m_pfeeder->GetCurrentLongNoCallback(), DB_ID_FEEDERLOADED_ENUM_TRUE);
  m_sensor.SetFeederLoaded(DB_ID_FEEDERLOADED_ENUM_FALSE);
  const struct {
    int64_t i64Step;  // seconds on from the call before
    long lAnswer;
    long lAsked;
  } acase[] = {
      {0, DB_ID_FEEDERLOADED_ENUM_TRUE, 1},  {1, DB_ID_FEEDERLOADED_ENUM_TRUE, 1},
      {1, DB_ID_FEEDERLOADED_ENUM_FALSE, 2},                                           // two seconds after the reading
      {1, DB_ID_FEEDERLOADED_ENUM_FALSE, 2}, {-10, DB_ID_FEEDERLOADED_ENUM_FALSE, 3},  // a clock set back reads again
  };
  for (const auto& c : acase) {
    s_i64Seconds += c.i64Step;
    EXPECT_EQ(db.GetFeederLoaded(), c.lAnswer);
    EXPECT_EQ(m_sensor.GetFeederAskedCount(), c.lAsked);
  }
  EXPECT_TRUE(m_plog->Contains(">>> CDatabase::GetFeederLoaded()"));
}

// A rule of the pass that the scanner's answer starts asks again: the
// cache answers, the device is asked once, nothing waits for itself.
TEST_F(DbDatabaseFeederTest, ARuleAskingDuringTheReadingIsAnsweredFromTheCache) {
  CDatabase& db = *m_pdatabase;
  RecordingEnum* prule = NewRecordingEnum(DB_ID_ACDLEARNMODE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  long lAskedByRule = -1;
  prule->m_fnFixCurrent = [&] { lAskedByRule = db.GetFeederLoaded(); };
  m_sensor.SetFeederLoaded(DB_ID_FEEDERLOADED_ENUM_TRUE);
  s_i64Seconds += 100;
  EXPECT_EQ(db.GetFeederLoaded(), DB_ID_FEEDERLOADED_ENUM_TRUE);
  EXPECT_EQ(m_sensor.GetFeederAskedCount(), 1);
  EXPECT_NE(lAskedByRule, -1);
}

// A device stand-in on the capability's callback: it counts the questions
// and, when told to, holds its first answer until a second question has
// come (or five seconds have passed). It stores nothing: the threads read
// the value the capability holds.
struct StandInDevice {
  std::mutex mutex;
  std::condition_variable condition;
  int iAsked = 0;
  bool blHoldFirst = false;

  static EOSSTS Answer(void* a_pvDbCallbackRecord) {
    auto* p = static_cast<StandInDevice*>(static_cast<DbCallbackRecord*>(a_pvDbCallbackRecord)->pvUser);
    std::unique_lock<std::mutex> lock(p->mutex);
    ++p->iAsked;
    p->condition.notify_all();
    if (p->blHoldFirst && p->iAsked == 1) {
      p->condition.wait_for(lock, std::chrono::seconds(5), [p] { return p->iAsked >= 2; });
    }
    return OS_STS_SUCCESS;
  }
  int Asked() {
    std::lock_guard<std::mutex> lock(mutex);
    return iAsked;
  }
};

// Each thread that finds the reading stale asks once; every answer is the
// capability's value.
TEST_F(DbDatabaseFeederTest, TwoThreadsAtOnceAskTheDeviceAtMostOnceEach) {
  CDatabase& db = *m_pdatabase;
  StandInDevice standin;
  m_pfeeder->RegisterCallback(DB_CALLBACK_GETLONG, StandInDevice::Answer, &standin);
  m_pfeeder->CopyCurrentLong(DB_ID_FEEDERLOADED_ENUM_TRUE);
  s_i64Seconds += 100;
  constexpr int s_iCalls = 50;
  std::barrier barrier(2);
  std::atomic<int> iWrong{0};
  auto ask = [&] {
    barrier.arrive_and_wait();
    for (int i = 0; i < s_iCalls; ++i) {
      if (db.GetFeederLoaded() != DB_ID_FEEDERLOADED_ENUM_TRUE) ++iWrong;
    }
  };
  std::thread thread1(ask);
  std::thread thread2(ask);
  thread1.join();
  thread2.join();
  EXPECT_EQ(iWrong.load(), 0);
  EXPECT_GE(standin.Asked(), 1);
  EXPECT_LE(standin.Asked(), 2);
}

// The device's answer to one thread waits until another thread has asked
// too (as a device callback thread asks while the task thread waits on the
// device): nothing holds the second one back, so both finish at once.
TEST_F(DbDatabaseFeederTest, AnAnswerWaitingForASecondThreadDoesNotHoldItBack) {
  CDatabase& db = *m_pdatabase;
  StandInDevice standin;
  standin.blHoldFirst = true;
  m_pfeeder->RegisterCallback(DB_CALLBACK_GETLONG, StandInDevice::Answer, &standin);
  m_pfeeder->CopyCurrentLong(DB_ID_FEEDERLOADED_ENUM_TRUE);
  s_i64Seconds += 100;
  const auto start = std::chrono::steady_clock::now();
  std::atomic<long> lFirst{0};
  std::thread threadTask([&] { lFirst = db.GetFeederLoaded(); });
  {
    std::unique_lock<std::mutex> lock(standin.mutex);
    standin.condition.wait_for(lock, std::chrono::seconds(5), [&] { return standin.iAsked >= 1; });
  }
  std::atomic<long> lSecond{0};
  std::thread threadCallback([&] { lSecond = db.GetFeederLoaded(); });
  threadCallback.join();
  threadTask.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(standin.Asked(), 2);
  EXPECT_EQ(lFirst.load(), DB_ID_FEEDERLOADED_ENUM_TRUE);
  EXPECT_EQ(lSecond.load(), DB_ID_FEEDERLOADED_ENUM_TRUE);
  // Both readings are in; the next question within two seconds asks nobody.
  EXPECT_EQ(db.GetFeederLoaded(), DB_ID_FEEDERLOADED_ENUM_TRUE);
  EXPECT_EQ(standin.Asked(), 2);
}

// Without the device's callback the capability's value is read as it is;
// without the capability, 0.
TEST_F(DbDatabaseFeederTest, WithoutTheDeviceOrTheCapability) {
  CDatabase& db = *m_pdatabase;
  m_pfeeder->RegisterCallback(DB_CALLBACK_GETLONG, nullptr, nullptr);
  m_pfeeder->CopyCurrentLong(DB_ID_FEEDERLOADED_ENUM_TRUE);
  s_i64Seconds += 100;
  EXPECT_EQ(db.GetFeederLoaded(), DB_ID_FEEDERLOADED_ENUM_TRUE);
  m_pfeeder->SetAccess(DB_ACCESS_NOTSUPPORTED);
  s_i64Seconds += 100;
  EXPECT_EQ(db.GetFeederLoaded(), 0);
  EXPECT_EQ(m_sensor.GetFeederAskedCount(), 0);
}

}  // namespace
