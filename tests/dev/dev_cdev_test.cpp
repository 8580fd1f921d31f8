// The device facade's status: offline until the scanner reports itself
// online, and 0 with a line when the facade has no implementation.
#include <gtest/gtest.h>

#include <cstring>

#include "../os/log_capture.h"
#include "dev_cdev.h"

using testsupport::LogCapture;

TEST(DevStatus, FollowsTheScanner) {
  LogCapture log;
  {
    CDev dev(nullptr, nullptr, nullptr);
    EXPECT_EQ(dev.GetDeviceStatus(), 3);
    dev.SetDeviceOnline(true);
    EXPECT_EQ(dev.GetDeviceStatus(), 2);
    dev.SetDeviceOnline(false);
    EXPECT_EQ(dev.GetDeviceStatus(), 3);
  }
  EXPECT_TRUE(log.Contains("new CDevImpl"));
  EXPECT_TRUE(log.Contains("delete-object"));
  EXPECT_FALSE(log.Contains("m_pdevimpl is null"));
}

TEST(DevStatus, WithoutImplementationTheStatusIsZero) {
  LogCapture log;
  CDev dev(nullptr, nullptr, nullptr);
  static_assert(sizeof(CDev) == sizeof(void*));
  void* pvSaved = nullptr;
  void* pvNone = nullptr;
  std::memcpy(&pvSaved, static_cast<void*>(&dev), sizeof pvSaved);
  std::memcpy(static_cast<void*>(&dev), &pvNone, sizeof pvNone);
  dev.SetDeviceOnline(true);
  EXPECT_EQ(dev.GetDeviceStatus(), 0);
  EXPECT_TRUE(log.Contains("m_pdevimpl is null..."));
  std::memcpy(static_cast<void*>(&dev), &pvSaved, sizeof pvSaved);
  EXPECT_EQ(dev.GetDeviceStatus(), 3);
}

// The feeder's sensor is asked through the facade; without a database the
// callback has nowhere to go, without an implementation nothing is asked.
TEST(DevFeeder, WithoutDatabaseOrImplementation) {
  LogCapture log;
  CDev dev(nullptr, nullptr, nullptr);
  dev.RegisterCallbacks();
  EXPECT_TRUE(log.Contains("FEEDERLOADED not found..."));
  dev.SetFeederLoaded(2);
  EXPECT_EQ(dev.GetFeederAskedCount(), 0);
  void* pvSaved = nullptr;
  void* pvNone = nullptr;
  std::memcpy(&pvSaved, static_cast<void*>(&dev), sizeof pvSaved);
  std::memcpy(static_cast<void*>(&dev), &pvNone, sizeof pvNone);
  dev.RegisterCallbacks();
  dev.SetFeederLoaded(1);
  EXPECT_EQ(dev.GetFeederAskedCount(), 0);
  EXPECT_TRUE(log.Contains("m_pdevimpl is null..."));
  std::memcpy(static_cast<void*>(&dev), &pvSaved, sizeof pvSaved);
}

// The calls the device-manager adapter makes of the facade answer settable
// values and are recorded; without an implementation each fails with its
// line.
TEST(DevFacadeCalls, AnswerAndAreRecorded) {
  LogCapture log;
  CDev dev(nullptr, nullptr, nullptr);
  EXPECT_FALSE(dev.ScanIsScanning());
  EXPECT_EQ(dev.ScanRequestStop(DEV_STOPACTION_DISCONNECTED), 5);
  dev.SetScanIsScanning(true);
  EXPECT_TRUE(dev.ScanIsScanning());
  EXPECT_EQ(dev.ScanRequestStop(DEV_STOPACTION_REQUEST), OS_STS_SUCCESS);
  EXPECT_EQ(dev.SetDriverEvent(DEV_EVENT_DEVICEOFFLINE, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(dev.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, "scan_1"), OS_STS_SUCCESS);
  dev.PnpChange("<pnpchange/>");
  const DevCallRecord devcallrecord = dev.GetCallRecord();
  EXPECT_EQ(devcallrecord.vecedevstopaction,
            (std::vector<EDEVSTOPACTION>{DEV_STOPACTION_DISCONNECTED, DEV_STOPACTION_REQUEST}));
  EXPECT_EQ(devcallrecord.vecEvent, (std::vector<std::pair<EDEVEVENT, std::string>>{
                                        {DEV_EVENT_DEVICEOFFLINE, ""}, {DEV_EVENT_DEVICEBUTTON, "scan_1"}}));
  EXPECT_EQ(devcallrecord.vecstrPnpChange, std::vector<std::string>{"<pnpchange/>"});

  void* pvSaved = nullptr;
  void* pvNone = nullptr;
  std::memcpy(&pvSaved, static_cast<void*>(&dev), sizeof pvSaved);
  std::memcpy(static_cast<void*>(&dev), &pvNone, sizeof pvNone);
  EXPECT_FALSE(dev.ScanIsScanning());
  EXPECT_EQ(dev.ScanRequestStop(DEV_STOPACTION_CANCEL), OS_STS_FAIL);
  EXPECT_EQ(dev.SetDriverEvent(DEV_EVENT_DEVICEONLINE, nullptr), OS_STS_FAIL);
  dev.PnpChange("x");
  dev.SetScanIsScanning(false);
  EXPECT_TRUE(dev.GetCallRecord().vecEvent.empty());
  EXPECT_TRUE(log.Contains("m_pdevimpl is null..."));
  std::memcpy(static_cast<void*>(&dev), &pvSaved, sizeof pvSaved);
}
