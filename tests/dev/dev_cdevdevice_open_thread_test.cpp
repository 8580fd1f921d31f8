// The asynchronous open: the units complete on their own threads, the
// feeder's completion waits for the flatbed's (with its limit), the model's
// inquiry is processed once both are online, and an adapter that closes
// while an open is pending is never called back.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dev_device_fixture.h"
#include "dev_waits.h"

namespace {

using devtest::WaitFor;

// The facade's open-complete callback: which threads called it.
struct OpenCompleteRecord {
  std::mutex mutex;
  std::vector<std::thread::id> vecthreadid;
  size_t Count() {
    std::lock_guard<std::mutex> lock(mutex);
    return vecthreadid.size();
  }
};

EOSSTS RecordOpenComplete(void* a_pvArg) {
  auto* popencompleterecord = static_cast<OpenCompleteRecord*>(a_pvArg);
  std::lock_guard<std::mutex> lock(popencompleterecord->mutex);
  popencompleterecord->vecthreadid.push_back(std::this_thread::get_id());
  return OS_STS_SUCCESS;
}

class DevDeviceOpenThread : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    m_pdatabase->ConfigAdd("monitorbuttonevents", DB_CONFIGTARGET_COMMON);
  }
  void TearDown() override {
    DevSetWaitLimit(DEV_WAIT_FLATBEDOPEN, -1);
    DeviceFixture::TearDown();
  }
  // The milliseconds the feeder's completion logged it waited; -1 without.
  long FlatbedWait() const {
    static const std::string s_strLine = "CompleteOpen: adf is done waiting for the flatbed...";
    const std::string strLog = m_plog->Text();
    const size_t sizet = strLog.find(s_strLine);
    return sizet == std::string::npos ? -1 : std::strtol(strLog.c_str() + sizet + s_strLine.size(), nullptr, 10);
  }
  size_t InquiriesProcessed() const {
    size_t sizetCount = 0;
    for (const std::string& strLine : testsupport::Lines(m_plog->Text()))
      sizetCount += strLine.find("cfg>>> process report inquiry begin") != std::string::npos;
    return sizetCount;
  }

  OpenCompleteRecord m_opencompleterecord;
};

TEST_F(DevDeviceOpenThread, TheOpenCompletesOnTheUnitsThread) {
  SetSimulation({{"opendelay", "300"}});
  const auto timepointStart = std::chrono::steady_clock::now();
  EXPECT_EQ(Begin(DB_FIRMWARE_ADF, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::milliseconds(300));
  ASSERT_TRUE(WaitFor([&] { return m_opencompleterecord.Count() == 1; })) << m_plog->Text();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(m_opencompleterecord.Count(), 1u);
  EXPECT_NE(m_opencompleterecord.vecthreadid[0], std::this_thread::get_id());
  EXPECT_EQ(Brief(2), (std::vector<std::string>{"adf getversionuser success", "adf querysupport success",
                                                "adf registercallback success", "adf registercallback success"}));
  EXPECT_EQ(InquiriesProcessed(), 1u);
  EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), 2);
  EXPECT_TRUE(m_plog->Contains("callback>>> interfaceopencomplete(adf)"));
}

// The flatbed completes 1.5 s late: the feeder waits for it, and the
// inquiry of both units is processed once, by the second completion.
TEST_F(DevDeviceOpenThread, TheFeedersCompletionWaitsForTheFlatbed) {
  SetSimulation({{"flatbed.opendelay", "1500"}});
  EXPECT_EQ(Begin(DB_FIRMWARE_FLATBED, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  EXPECT_EQ(Begin(DB_FIRMWARE_ADF, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  ASSERT_TRUE(WaitFor([&] { return m_opencompleterecord.Count() == 1; })) << m_plog->Text();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(m_opencompleterecord.Count(), 1u);
  const long lWaited = FlatbedWait();
  EXPECT_GE(lWaited, 1400);
  EXPECT_LE(lWaited, 3000);
  EXPECT_EQ(InquiriesProcessed(), 1u);
  EXPECT_TRUE(m_plog->Contains("callback>>> interfaceopencomplete(flatbed)"));
  EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), 2);
  // Each unit registered its own connection callback; only the feeder the
  // plug-and-play one.
  size_t sizetFlatbedCallbacks = 0;
  for (const devtest::LoggedTask& loggedtask : Tasks()) {
    if (loggedtask.strCommand != "registercallback") continue;
    if (loggedtask.strUnit == "flatbed") {
      ++sizetFlatbedCallbacks;
      EXPECT_EQ(loggedtask.Arg("functionptr"),
                devtest::Hex(reinterpret_cast<void*>(CDevDevice::CallBackSetDeviceStatusFlatbed)));
    }
  }
  EXPECT_EQ(sizetFlatbedCallbacks, 1u);
}

// A flatbed that never completes holds the feeder up to the limit only;
// without it the open is not complete (no inquiry, no callback).
TEST_F(DevDeviceOpenThread, AFlatbedThatNeverCompletesLetsTheFeederGoOn) {
  DevSetWaitLimit(DEV_WAIT_FLATBEDOPEN, 400);
  SetSimulation({{"flatbed.opendelay", "60000"}});
  EXPECT_EQ(Begin(DB_FIRMWARE_FLATBED, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  EXPECT_EQ(Begin(DB_FIRMWARE_ADF, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  ASSERT_TRUE(WaitFor([&] { return m_plog->Contains("CompleteOpen: exiting..."); })) << m_plog->Text();
  const long lWaited = FlatbedWait();
  EXPECT_GE(lWaited, 400);
  EXPECT_LT(lWaited, 1500);
  EXPECT_EQ(Brief(4).back(), "adf registercallback success");
  EXPECT_EQ(InquiriesProcessed(), 0u);
  EXPECT_EQ(m_opencompleterecord.Count(), 0u);
  EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), 3);
}

// Closing while the feeder waits for the flatbed ends the wait: the close
// does not sit out the minute.
TEST_F(DevDeviceOpenThread, ClosingEndsTheWaitForTheFlatbed) {
  SetSimulation({{"flatbed.opendelay", "60000"}});
  EXPECT_EQ(Begin(DB_FIRMWARE_FLATBED, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  EXPECT_EQ(Begin(DB_FIRMWARE_ADF, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  ASSERT_TRUE(WaitFor([&] { return m_plog->Contains("CompleteOpen: adf is waiting for the flatbed..."); }));
  const auto timepointStart = std::chrono::steady_clock::now();
  m_pdevdevice.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::seconds(5));
  EXPECT_GE(FlatbedWait(), 0);
  EXPECT_EQ(m_opencompleterecord.Count(), 0u);
}

// The adapter closes and goes while its open is pending: the unit calls
// nothing after its interfaceclose, and a stale or missing adapter handed
// to the entry point is refused.
TEST_F(DevDeviceOpenThread, AnAdapterClosedDuringTheOpenIsNeverCalledBack) {
  SetSimulation({{"opendelay", "300"}});
  EXPECT_EQ(Begin(DB_FIRMWARE_ADF, RecordOpenComplete, &m_opencompleterecord), DEV_STS_NOTCOMPLETE);
  void* pvGone = m_pdevdevice.get();
  m_pdevdevice.reset();
  EXPECT_EQ(Brief(2), (std::vector<std::string>{"adf sessionend success", "adf interfaceclose success"}));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(m_opencompleterecord.Count(), 0u);
  EXPECT_FALSE(m_plog->Contains("callback>>> interfaceopencomplete"));
  EXPECT_EQ(CDevDevice::CompleteOpenCallbackAdf(pvGone), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("userargumentptr names no adapter..."));
  EXPECT_EQ(CDevDevice::CompleteOpenCallbackFlatbed(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("a_pvArg is null..."));
}

}  // namespace
