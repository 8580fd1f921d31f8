// The USB device service object: its entry in the shared device list, the
// device lock between processes and between objects (judged by lslocks,
// held by python3 and forked peers), the interface claimed with the first
// lock, lock directories that cannot be used, callbacks, time-outs and
// session flags, and closing.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "os_cosusb.h"
#include "os_cosusb_fake.h"
#include "os_cosusb_testutil.h"
#include "os_cosusbimpl.h"
#include "os_cosusbpnplist.h"
#include "test_support.h"

using testsupport::LogCapture;
using testsupport::RootPath;
using usbtest::LockedStarts;
using filetest::PythonProcess;

namespace {

const std::string kDeviceConfig =
    "<devices>"
    "<device><model>kv-1</model><devicefriendlyname>Scanner One</devicefriendlyname><devicetype>adf</devicetype></device>"
    "<device><model>kv-2</model><devicefriendlyname>Scanner Two</devicefriendlyname>"
    "<devicetype>flatbedaccessory</devicetype></device>"
    "</devices>";

// The device the tests lock: connected, with ids and a serial number.
OsUsbInfo Device(const char* a_serial = "SN1", uint32_t a_connection = OS_USBCONNECTION_CONNECTED) {
  OsUsbInfo osusbinfo{};
  osusbinfo.eosusbwire = OS_USBWIRE_USB;
  osusbinfo.u16Vid = 0x04a9;
  osusbinfo.u16Pid = 0x1001;
  std::strcpy(osusbinfo.szSerialNumber, a_serial);
  osusbinfo.eosusbconnection = a_connection;
  return osusbinfo;
}

class Usb : public ::testing::Test {
 protected:
  void SetUp() override {
    usbfake::Reset();
    COsUsbImpl::SetLockRetryInterval(20);
    COsUsbPnpList::SetFileLockTimeout(2000);
  }
  void TearDown() override {
    COsUsbImpl::SetLockRetryInterval(-1);
    COsUsbPnpList::SetFileLockTimeout(-1);
  }

  // A service object on the test's device, opened through the seam.
  std::unique_ptr<COsUsb> NewUsb(const OsUsbInfo& a_device = Device(), openusb_dev_handle_t a_handle = 7) {
    auto usb = std::make_unique<COsUsb>(nullptr, nullptr, nullptr, nullptr, false);
    usb->GetImpl()->UseDevice(a_device, usbfake::NewTable(), a_handle);
    return usb;
  }

  std::string LockFile(const std::string& a_name = "04a91001SN1.lock") { return RootPath("common/usb/" + a_name); }

  usbtest::UsbConfig m_config;
};

// ---------------------------------------------------------------------------
// The entry in the shared device list.

TEST_F(Usb, ConstructionEntersTheDeviceInTheListAndDestructionRemovesIt) {
  auto usb = std::make_unique<COsUsb>(kDeviceConfig.c_str(), "/dev/usb/scan0", "Scanner Two", "SER42", false);
  usbtest::PnpFile file = usbtest::ReadPnpFile();
  ASSERT_EQ(file.slots.size(), 2u);
  EXPECT_EQ(file.slots[1],
            "<device><wire>usb</wire><model><![CDATA[kv-2]]></model><devicefriendlyname><![CDATA[Scanner Two]]>"
            "</devicefriendlyname><devicetype>flatbedaccessory</devicetype><devicefilename><![CDATA[/dev/usb/scan0]]>"
            "</devicefilename><serialnumber><![CDATA[SER42]]></serialnumber><directory><![CDATA[" +
                RootPath("log") + "]]></directory></device>");
  EXPECT_EQ(usb->IsResourceAvailable("/dev/usb/scan0"), OS_STS_SUCCESS);
  char serials[32] = {};
  EXPECT_EQ(usb->PnpGetSerialNumbers(serials, sizeof serials), OS_STS_SUCCESS);
  EXPECT_STREQ(serials, "SER42");
  // The questions used list objects of their own: the entry is still live.
  EXPECT_EQ(LockedStarts(usbtest::PnpPath()), (std::set<long>{4104}));
  usb.reset();
  // The entry's slot is cut off: the header alone is left.
  EXPECT_EQ(usbtest::ReadPnpFile().slots, std::vector<std::string>{file.slots[0]});
  EXPECT_TRUE(LockedStarts(usbtest::PnpPath()).empty());
}

// Configurations that give no entry: the object is made all the same, with
// a log line, and list operations that need an entry say so.
TEST_F(Usb, ConfigurationsWithoutAUsableEntry) {
  struct Case {
    const char* name;
    std::string config;
    std::string file;
    const char* friendly;
    const char* log;
  } cases[] = {
      {"NoSuchFriendlyName", kDeviceConfig, "/dev/x", "Scanner Three",
       "Bad device config (can't find friendly name)...</dev/x> <Scanner Three>"},
      {"NoModel", "<device><devicefriendlyname>Scanner Two</devicefriendlyname><devicetype>adf</devicetype></device>",
       "/dev/x", "Scanner Two", "Bad device config (can't find friendly name)..."},
      {"TooLarge", kDeviceConfig + std::string(65536, ' '), "/dev/x", "Scanner Two", "Bad device config (too large)..."},
      {"EntryOver2047", kDeviceConfig, "/dev/" + std::string(2000, 'd'), "Scanner Two",
       "pnp.list entry is too long, not added..."},
  };
  for (const Case& c : cases) {
    LogCapture log;
    COsUsb usb(c.config.c_str(), c.file.c_str(), c.friendly, "SN", false);
    EXPECT_TRUE(log.Contains(c.log)) << c.name << "\n" << log.Text();
    EXPECT_EQ(usb.PnpAdd("<device/>"), OS_STS_FAIL) << c.name;
    usb.PnpRemove();
    EXPECT_TRUE(log.Contains("PnpAdd called at a bad time...")) << c.name;
    EXPECT_TRUE(log.Contains("Remove called at a bad time...")) << c.name;
    EXPECT_EQ(usb.IsResourceAvailable(c.file.c_str()), OS_STS_FILE_NOT_FOUND) << c.name;
  }
}

TEST_F(Usb, PnpChangeReportsAFlatbedOfAnotherEntry) {
  COsUsb usb(kDeviceConfig.c_str(), "/dev/usb/scan0", "Scanner One", "SN", false);
  EXPECT_STREQ(usb.PnpGetChange(), "");
  COsUsb flatbed(kDeviceConfig.c_str(), "/dev/usb/scan1", "Scanner Two", "SN2", false);
  EXPECT_NE(std::string(usb.PnpGetChange()).find("<pnp>added</pnp><resource><wire>usb</wire><model><![CDATA[kv-2]]>"),
            std::string::npos);
  EXPECT_STREQ(usb.PnpGetChange(), "");
}

// ---------------------------------------------------------------------------
// The device lock.

TEST_F(Usb, ALockHeldByAPythonPeerRefusesWaitsAndIsTakenOnceFree) {
  auto usb = NewUsb();
  ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);  // creates the lock file
  ASSERT_EQ(usb->Unlock(), OS_STS_SUCCESS);
  usbfake::Get().claims = 0;
  PythonProcess peer("import fcntl, sys\nf = open(sys.argv[1], 'r+')\nfcntl.lockf(f, fcntl.LOCK_EX, 1, 0)\n"
                  "print('held', flush=True)\nsys.stdin.read()\n",
                  {LockFile()});
  ASSERT_EQ(peer.ReadLine(), "held");
  EXPECT_EQ(usb->Lock(0), OS_STS_BUSY);
  EXPECT_EQ(usb->Lock(200), OS_STS_FAIL);
  EXPECT_EQ(usb->IsLocked(), 0);
  EXPECT_EQ(usbfake::Get().claims, 0);
  EOSSTS waited = OS_STS_FAIL;
  std::thread waiter([&] { waited = usb->Lock(-1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  peer.Finish();
  waiter.join();
  EXPECT_EQ(waited, OS_STS_SUCCESS);
  EXPECT_EQ(LockedStarts(LockFile()), (std::set<long>{0}));
  EXPECT_EQ(usbfake::Get().claims, 1);
}

// A disconnected device is tried once, whatever the time-out.
TEST_F(Usb, ADisconnectedDeviceIsTriedOnce) {
  LogCapture log(1);
  auto holder = NewUsb();
  ASSERT_EQ(holder->Lock(0), OS_STS_SUCCESS);
  auto usb = NewUsb(Device("SN1", OS_USBCONNECTION_DISCONNECTED));
  EXPECT_EQ(usb->Lock(-1), OS_STS_BUSY);
  EXPECT_TRUE(log.Contains("File is already locked...<devicelock.once>"));
  EXPECT_FALSE(log.Contains("devicelock.timed"));
}

TEST_F(Usb, AForkedPeerHoldingTheLockExcludesUsUntilItEnds) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    auto peer = NewUsb();
    char c = peer->Lock(0) == OS_STS_SUCCESS ? 'k' : 'x';
    if (write(fds[1], &c, 1) != 1) _exit(2);
    pause();
    _exit(0);
  }
  close(fds[1]);
  char c = 0;
  ASSERT_EQ(read(fds[0], &c, 1), 1);
  close(fds[0]);
  ASSERT_EQ(c, 'k');
  auto usb = NewUsb();
  EXPECT_EQ(usb->Lock(0), OS_STS_BUSY);
  EXPECT_EQ(usb->Lock(100), OS_STS_FAIL);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(usb->Lock(0), OS_STS_SUCCESS);
}

TEST_F(Usb, NestedLocksHoldTheByteUntilTheLastUnlockAndClaimOnce) {
  auto usb = NewUsb();
  for (int i = 1; i <= 3; ++i) {
    ASSERT_EQ(usb->Lock(-1), OS_STS_SUCCESS);
    EXPECT_EQ(usb->IsLocked(), i);
  }
  EXPECT_EQ(LockedStarts(LockFile()), (std::set<long>{0}));
  for (int i = 2; i >= 0; --i) {
    ASSERT_EQ(usb->Unlock(), OS_STS_SUCCESS);
    EXPECT_EQ(usb->IsLocked(), i);
    EXPECT_EQ(LockedStarts(LockFile()), i ? std::set<long>{0} : std::set<long>{}) << "after unlock to " << i;
  }
  EXPECT_EQ(usbfake::Get().claims, 1);
  EXPECT_EQ(usbfake::Get().releases, 1);
  // An unlock too many changes nothing.
  EXPECT_EQ(usb->Unlock(), OS_STS_SUCCESS);
  EXPECT_EQ(usb->IsLocked(), 0);
  EXPECT_EQ(usbfake::Get().releases, 1);
}

TEST_F(Usb, TwoObjectsOfOneProcessExcludeEachOther) {
  auto first = NewUsb(), second = NewUsb();
  ASSERT_EQ(first->Lock(0), OS_STS_SUCCESS);
  EXPECT_EQ(second->Lock(0), OS_STS_BUSY);
  EXPECT_EQ(second->Lock(100), OS_STS_FAIL);
  // The second object's unlock releases nothing of the first's.
  EXPECT_EQ(second->Unlock(), OS_STS_SUCCESS);
  EXPECT_EQ(LockedStarts(LockFile()), (std::set<long>{0}));
  ASSERT_EQ(first->Unlock(), OS_STS_SUCCESS);
  EXPECT_EQ(second->Lock(0), OS_STS_SUCCESS);
  EXPECT_EQ(first->Lock(0), OS_STS_BUSY);
}

// A caller waiting for a lock another process holds keeps nobody else of
// the object waiting: the count can be asked and the device closed
// meanwhile, and the close ends the wait with 1.
TEST_F(Usb, AWaitForTheLockKeepsNoOtherCallerWaiting) {
  auto usb = NewUsb();
  ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);  // creates the lock file
  ASSERT_EQ(usb->Unlock(), OS_STS_SUCCESS);
  auto held = std::make_unique<usbtest::HeldBytes>(LockFile(), 0, 1);
  ASSERT_TRUE(held->Locked());
  EOSSTS waited = OS_STS_SUCCESS;
  std::thread waiter([&] { waited = usb->Lock(-1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto count = std::async(std::launch::async, [&] { return usb->IsLocked(); });
  EXPECT_EQ(count.wait_for(std::chrono::seconds(2)), std::future_status::ready) << "IsLocked waited for the lock";
  auto close = std::async(std::launch::async, [&] { usb->Close(false, "test", __LINE__); });
  EXPECT_EQ(close.wait_for(std::chrono::seconds(2)), std::future_status::ready) << "Close waited for the lock";
  // Lets a waiter that kept everyone waiting go on.
  held.reset();
  waiter.join();
  EXPECT_EQ(count.get(), 0);
  close.get();
  EXPECT_EQ(waited, OS_STS_FAIL);
  EXPECT_EQ(usb->IsLocked(), 0);
  EXPECT_TRUE(LockedStarts(LockFile()).empty());
}

// A lock directory that cannot be made answers 1, never a lock that is
// not there; once it can be made, the next lock takes the file.
TEST_F(Usb, ALockDirectoryThatCannotBeMadeFailsUntilItCan) {
  LogCapture log;
  std::filesystem::create_directories(RootPath("common"));
  testsupport::WriteFile(RootPath("common/usb"), "not a directory");
  auto usb = NewUsb(), other = NewUsb();
  for (int i = 0; i < 2; ++i) EXPECT_EQ(usb->Lock(0), OS_STS_FAIL);
  EXPECT_EQ(usb->IsLocked(), 0);
  EXPECT_TRUE(log.Contains("ResourceLock: device lock deviceLock failed to open Lock file..." + LockFile()));
  std::filesystem::remove(RootPath("common/usb"));
  EXPECT_EQ(usb->Lock(0), OS_STS_SUCCESS);
  EXPECT_EQ(other->Lock(0), OS_STS_BUSY);
}

TEST_F(Usb, AFailedClaimGivesTheLockUp) {
  usbfake::Get().claimStatus = OPENUSB_IO_NO_DEVICE;
  auto usb = NewUsb();
  EXPECT_EQ(usb->Lock(0), OS_STS_FAIL);
  EXPECT_EQ(usb->IsLocked(), 0);
  EXPECT_TRUE(LockedStarts(LockFile()).empty());
  usbfake::Get().claimStatus = OPENUSB_SUCCESS;
  EXPECT_EQ(usb->Lock(0), OS_STS_SUCCESS);
  EXPECT_EQ(usbfake::Get().claims, 1);
}

// The serial number comes from the device: it must not lead the lock file
// out of its directory.
TEST_F(Usb, TheLockFileNameKeepsItsDirectory) {
  struct Case {
    const char* serial;
    const char* name;
  } cases[] = {{"SN1", "04a91001SN1.lock"}, {"../../escape", "04a91001______escape.lock"},
               {"a/b", "04a91001a_b.lock"}, {"v1.2", "04a91001v1.2.lock"}, {"", "04a91001.lock"}};
  for (const Case& c : cases) {
    auto usb = NewUsb(Device(c.serial));
    char path[1024];
    ASSERT_TRUE(usb->GetImpl()->LockFilePath(path, sizeof path));
    EXPECT_EQ(std::string(path), LockFile(c.name)) << c.serial;
    ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS) << c.serial;
    EXPECT_TRUE(testsupport::FileExists(LockFile(c.name))) << c.serial;
  }
  EXPECT_FALSE(testsupport::FileExists(RootPath("escape.lock")));
}

// With PMX_DEBUGUSB a marker of the lock's name lies beside the logs while
// the device is locked ("usb" one level up when the log directory is a
// device's own).
TEST_F(Usb, TheDebugMarkerLiesBesideTheLogsWhileLocked) {
  struct Case {
    const char* log;
    const char* marker;
  } cases[] = {{"log", "log/usb/04a91001SN1.lock"}, {"logs/device7/log", "logs/device7/usb/04a91001SN1.lock"}};
  setenv("PMX_DEBUGUSB", "1", 1);
  for (const Case& c : cases) {
    std::filesystem::create_directories(RootPath(c.log));
    m_config.Set(OS_CFGTAG_LOGDIRECTORY, RootPath(c.log));
    auto usb = NewUsb();
    ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);
    EXPECT_TRUE(testsupport::FileExists(RootPath(c.marker))) << c.marker;
    ASSERT_EQ(usb->Unlock(), OS_STS_SUCCESS);
  }
  unsetenv("PMX_DEBUGUSB");
}

TEST_F(Usb, CallsWithoutADevice) {
  LogCapture log;
  COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
  EXPECT_EQ(usb.Lock(-1), OS_STS_SUCCESS);
  EXPECT_TRUE(log.Contains("ResourceLock: device lock called with no device..."));
  EXPECT_EQ(usb.Unlock(), OS_STS_SUCCESS);
  EXPECT_EQ(usb.IsLocked(), 0);
  EXPECT_TRUE(log.Contains("ResourceUnlock: device IsDeviceLocked called with no device..."));
  EXPECT_EQ(usb.SetTimeout(OS_USBPIPE_BULKIN, 5), 0);
  EXPECT_TRUE(log.Contains("usb>>> must call init first..."));
  EXPECT_EQ(usb.DeviceIsReady(), OS_STS_FAIL);
  usb.Close(false, "test", 1);
  usb.Close(false, "test", 2);
  EXPECT_TRUE(log.Contains("usb>>> closing osusb (pod.m_posusbinfo is null)..."));
  usb.WaitForWia();
}

// ---------------------------------------------------------------------------
// Callbacks, time-outs, flags.

EOSSTS CallbackA(void*) { return OS_STS_SUCCESS; }
EOSSTS CallbackB(void*) { return OS_STS_FAIL; }

TEST_F(Usb, CallbacksGoToTheirPipesOrTheDevice) {
  struct Case {
    uint32_t pipe, kind;
    EOSSTS status;
    std::vector<uint32_t> pipes;  // pipes that get it; empty: device-wide
  } cases[] = {
      {OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_INTERRUPT, OS_STS_SUCCESS, {1, 2, 3, 4, 5, 6, 7}},
      {OS_USBPIPE_CONTROL, OS_USBCALLBACK_PIPEEVENT, OS_STS_SUCCESS, {3}},
      {OS_USBPIPE_LAST, OS_USBCALLBACK_SIMULATION, OS_STS_SUCCESS, {1, 2, 3, 4, 5, 6, 7}},
      {42, OS_USBCALLBACK_INTERRUPT, OS_STS_SUCCESS, {1, 2, 3, 4, 5, 6, 7}},
      {OS_USBPIPE_BULKINTERRUPT, OS_USBCALLBACK_SIMULATION, OS_STS_SUCCESS, {7}},
      {OS_USBPIPE_BULKIN, OS_USBCALLBACK_CONNECTIONCHANGED, OS_STS_SUCCESS, {}},
      {OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_DEVICEEVENT, OS_STS_SUCCESS, {}},
      {OS_USBPIPE_BULKIN, OS_USBCALLBACK_BUTTONEVENT, OS_STS_SUCCESS, {}},
      {OS_USBPIPE_BULKIN, OS_USBCALLBACK_SESSIONEVENT, OS_STS_SUCCESS, {}},
      {OS_USBPIPE_BULKIN, OS_USBCALLBACK_MONITOREVENT, OS_STS_SUCCESS, {}},
      {OS_USBPIPE_BULKIN, OS_USBCALLBACK_UNDEFINED, OS_STS_FAIL, {}},
      {OS_USBPIPE_BULKIN, OS_USBCALLBACK_LAST, OS_STS_FAIL, {}},
  };
  for (const Case& c : cases) {
    LogCapture log;
    COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
    int user = 0;
    const EOSUSBCALLBACK kind = static_cast<EOSUSBCALLBACK>(c.kind);
    EXPECT_EQ(usb.RegisterCallback(static_cast<EOSUSBPIPE>(c.pipe), kind, CallbackA, &user), c.status) << c.kind;
    if (c.status != OS_STS_SUCCESS) {
      EXPECT_TRUE(log.Contains("usb>>> unrecognized a_eosusbcallback..." + std::to_string(c.kind)));
      continue;
    }
    for (uint32_t pipe = 0; pipe < OS_USBPIPE_LAST; ++pipe) {
      COsUsbImpl::Callback callback = usb.GetImpl()->GetCallback(static_cast<EOSUSBPIPE>(pipe), kind);
      const bool expected = c.pipes.empty() || std::find(c.pipes.begin(), c.pipes.end(), pipe) != c.pipes.end();
      EXPECT_EQ(callback.pfn == CallbackA && callback.pvUser == &user, expected) << c.pipe << "/" << c.kind << " pipe " << pipe;
    }
    // A device-wide kind is stored once: the next registration replaces it everywhere.
    if (c.pipes.empty()) {
      usb.RegisterCallback(OS_USBPIPE_CONTROL, kind, CallbackB, nullptr);
      EXPECT_EQ(usb.GetImpl()->GetCallback(OS_USBPIPE_BULKIN, kind).pfn, CallbackB);
    }
  }
}

TEST_F(Usb, TimeoutsAndFlags) {
  auto usb = NewUsb();
  EXPECT_EQ(usb->SetTimeout(OS_USBPIPE_BULKIN, 1234), 60000);
  EXPECT_EQ(usb->SetTimeout(OS_USBPIPE_BULKIN, 5), 1234);
  EXPECT_EQ(usb->SetTimeout(OS_USBPIPE_CONTROL, 5), 60000);
  EXPECT_EQ(usb->SetTimeout(static_cast<EOSUSBPIPE>(9), 5), 0);
  EXPECT_EQ(usb->DeviceIsReady(), OS_STS_SUCCESS);
  EXPECT_TRUE(usb->GetImpl()->GetDeviceRecord()->blReady);
  usb->SetSessionEndFlag();
  usb->SetDisconnectWontUnlock(true);
  // Before a device is open the time-out stays as it is.
  auto closed = NewUsb(Device(), 0);
  EXPECT_EQ(closed->SetTimeout(OS_USBPIPE_BULKIN, 5), 60000);
  EXPECT_EQ(closed->SetTimeout(OS_USBPIPE_BULKIN, 5), 60000);
}

// ---------------------------------------------------------------------------
// Closing.

TEST_F(Usb, CloseGivesTheLockUpAndCanBeRepeatedAfterAReopen) {
  LogCapture log;
  auto usb = NewUsb();
  ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);
  ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);
  usb->Close(false, "test", __LINE__);
  EXPECT_EQ(usb->IsLocked(), 0);
  EXPECT_TRUE(LockedStarts(LockFile()).empty());
  EXPECT_EQ(usbfake::Get().releases, 1);
  EXPECT_TRUE(log.Contains("usb>>> closing osusb (DeviceUnlock)..."));
  EXPECT_TRUE(log.Contains("usb>>> CloseDevice=0x7"));
  usb->Close(false, "test", __LINE__);
  EXPECT_FALSE(usb->GetImpl()->IsClosing());

  // Open again: the next close does its work again.
  usb->GetImpl()->UseDevice(Device(), usbfake::NewTable(), 8);
  ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);
  usb->Close(false, "test", __LINE__);
  EXPECT_TRUE(LockedStarts(LockFile()).empty());
  EXPECT_TRUE(log.Contains("usb>>> CloseDevice=0x8"));
  // The lock works again after a close.
  ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);
  EXPECT_EQ(LockedStarts(LockFile()), (std::set<long>{0}));
}

TEST_F(Usb, ASkippedCloseKeepsTheLock) {
  auto usb = std::make_unique<COsUsb>(nullptr, nullptr, nullptr, nullptr, true);
  usb->GetImpl()->UseDevice(Device(), usbfake::NewTable(), 7);
  ASSERT_EQ(usb->Lock(0), OS_STS_SUCCESS);
  usb->Close(false, "test", __LINE__);
  EXPECT_EQ(usb->IsLocked(), 1);
  EXPECT_EQ(LockedStarts(LockFile()), (std::set<long>{0}));
  usb.reset();
  EXPECT_TRUE(LockedStarts(LockFile()).empty());
}

}  // namespace
