// The adapter shared by threads: senders on the general builder while the
// simulated scanner and a fifth thread deliver connection changes, and an
// unload while a callback waits for the database lock.
#include <atomic>
#include <set>
#include <thread>

#include "db_cdblock.h"
#include "dev_device_fixture.h"

namespace {

using devtest::LoggedTask;
using devtest::WaitFor;

class DevDeviceThread : public devtest::DeviceFixture {};

std::string Message(CDevDevice* a_pdevdevice, bool a_blOnline) {
  return devtest::Message("connectionchange", devtest::Hex(a_pdevdevice),
                          devtest::Online(a_blOnline ? "true" : "false"));
}

TEST_F(DevDeviceThread, FourSendersWhileTheUnitCallsBack) {
  constexpr int s_iRounds = 40;
  CDevDevice* pdevdevice = m_pdevdevice.get();
  ASSERT_EQ(pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
  ASSERT_EQ(Send(DB_FIRMWARE_ADF, "interfaceopen", Simulate({{"offlineafter", "20"}, {"onlineafter", "40"}})),
            DEV_STS_SUCCESS);
  ASSERT_EQ(pdevdevice->RegisterCallback(DB_FIRMWARE_ADF, "connectionchange", CDevDevice::CallBackSetDeviceStatusAdf,
                                         pdevdevice),
            DEV_STS_SUCCESS);
  ASSERT_EQ(Send(DB_FIRMWARE_ADF, "sessionbegin"), DEV_STS_SUCCESS);
  const size_t sizetBefore = Tasks().size();

  std::atomic<int> iUnexpected{0};
  auto fnSender = [&] {
    for (int i = 0; i < s_iRounds; ++i) {
      // Off line the unit answers "disconnected" (9) to all but the callbacks and the status.
      const EDEVSTS edevsts = pdevdevice->GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED);
      if (edevsts != DEV_STS_SUCCESS && edevsts != DEV_STS_DISCONNECTED) ++iUnexpected;
      if (pdevdevice->RegisterCallback(DB_FIRMWARE_ADF, "connectionchange", CDevDevice::CallBackSetDeviceStatusAdf,
                                       pdevdevice) != DEV_STS_SUCCESS)
        ++iUnexpected;
      if (pdevdevice->NotifyDeviceStatusDeviceOnline(DB_FIRMWARE_ADF, i % 2 == 0) != DEV_STS_SUCCESS) ++iUnexpected;
    }
  };
  std::vector<std::thread> vecthread;
  for (int i = 0; i < 4; ++i) vecthread.emplace_back(fnSender);
  vecthread.emplace_back([&] {
    for (int i = 0; i < s_iRounds; ++i) {
      std::string strMessage = Message(pdevdevice, i % 2 == 1);
      if (CDevDevice::CallBackSetDeviceStatusAdf(strMessage.data()) != OS_STS_SUCCESS) ++iUnexpected;
    }
  });
  for (std::thread& thread : vecthread) thread.join();
  EXPECT_EQ(iUnexpected.load(), 0);

  // Every task was numbered once, whatever thread sent it.
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_EQ(vecloggedtask.size(), sizetBefore + 4 * 3 * s_iRounds);
  std::set<unsigned long> setulId;
  for (const LoggedTask& loggedtask : vecloggedtask) setulId.insert(loggedtask.ulId);
  EXPECT_EQ(setulId.size(), vecloggedtask.size());
  EXPECT_EQ(*setulId.rbegin(), vecloggedtask.size());
  // The unit's own messages came too: it went off line and back.
  EXPECT_TRUE(WaitFor([&] { return m_plog->Contains("callback>>> connectionchange(adf) <task"); }));
  std::string strOnline = Message(pdevdevice, true);
  CDevDevice::CallBackSetDeviceStatusAdf(strOnline.data());
  EXPECT_EQ(pdevdevice->GetDeviceStatus(), 2);
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE), 2);
  EXPECT_EQ(Send(DB_FIRMWARE_ADF, "sessionend"), DEV_STS_SUCCESS);
}

// A callback of the unit waits for the database lock that the caller
// holds; unloading the unit gives the lock up while the unit closes (it
// waits for that callback), so neither waits for ever.
TEST_F(DevDeviceThread, UnloadWhileACallbackWaitsForTheDatabase) {
  CDevDevice* pdevdevice = m_pdevdevice.get();
  ASSERT_EQ(pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
  ASSERT_EQ(Send(DB_FIRMWARE_ADF, "interfaceopen", Simulate({{"offlineafter", "0"}})), DEV_STS_SUCCESS);
  ASSERT_EQ(pdevdevice->RegisterCallback(DB_FIRMWARE_ADF, "connectionchange", CDevDevice::CallBackSetDeviceStatusAdf,
                                         pdevdevice),
            DEV_STS_SUCCESS);
  ASSERT_EQ(pdevdevice->SetDeviceStatus(DB_FIRMWARE_ADF, 1), DEV_STS_SUCCESS);
  {
    CDbLockGuard dblock;
    ASSERT_EQ(Send(DB_FIRMWARE_ADF, "sessionbegin"), DEV_STS_SUCCESS);
    // The unit's thread is in the callback now, on its way to the lock.
    ASSERT_TRUE(WaitFor([&] { return m_plog->Contains("callback>>> connectionchange(adf) "); }));
    ASSERT_EQ(Send(DB_FIRMWARE_ADF, "sessionend"), DEV_STS_SUCCESS);
    EXPECT_EQ(pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr), DEV_STS_SUCCESS);
    EXPECT_EQ(CDbLock::Depth(), 1);
    EXPECT_EQ(pdevdevice->GetFirmware(), 0);
    // The callback had its turn with the database before the unit closed.
    EXPECT_EQ(Events().size(), 2u);
    EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE), 1);
  }
  EXPECT_EQ(pdevdevice->GetDeviceStatus(), 3);
  EXPECT_EQ(Brief().back(), "adf interfaceclose success");
}

}  // namespace
