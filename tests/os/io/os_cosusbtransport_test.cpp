// Transfers over the USB library, through the stand-in of sim/ loaded by
// dlopen: initialisation, the find walk and the open (claim, endpoints,
// device lock judged by lslocks), bulk reads in chunks with the 16 KiB
// rule, completion statuses, control requests, cancels and time-outs, the
// request codes refused, device information (judged by xmllint), device
// events and the interrupt thread, two pipes driven from two threads, and
// one pipe asked by two threads at once (one request at a time, the other
// refused as busy).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "../log_capture.h"
#include "os_cosusb.h"
#include "os_cosusb_standin.h"
#include "os_cosusb_testutil.h"
#include "os_cosusbimpl.h"
#include "test_support.h"

using testsupport::LogCapture;
using usbtest::CallbackRecorder;
using usbtest::StandIn;

namespace {

const char kScript[] =
    "device 100 0x040a 0x601d bulkmax=65536 ctrlmax=1024\n"
    "endpoint 100 0x81 bulk 512\n"
    "endpoint 100 0x02 bulk 512\n"
    "endpoint 100 0x83 interrupt 8\n"
    "endpoint 100 0x84 bulk 512\n"
    "device 200 0x040a 0x6020\n"
    "endpoint 200 0x81 bulk 64\n"
    "device 300 0x040a 0x6030\n";

const char kDeviceList[] =
    "<devicelist>"
    "<device><group>models</group><devicetype>adf</devicetype><model>KV1</model>"
    "<devicefriendlyname>KV One</devicefriendlyname><usb><vid>0x040a</vid><pid>0x601d</pid></usb></device>"
    "<device><group>flatbed</group><devicetype>flatbedaccessory</devicetype><model>FB1</model>"
    "<usb><vid>0x040a</vid><pid>0x6020</pid></usb></device>"
    "<device><group>models</group><devicetype>adf</devicetype><model>BARE</model>"
    "<usb><vid>0x040a</vid><pid>0x6030</pid></usb></device>"
    "</devicelist>";

const char kOpen[] =
    "<osusbopen><configuration>0</configuration><interface>0</interface><alternate>0</alternate>"
    "<pipe><eosusbpipe>OS_USBPIPE_BULKIN</eosusbpipe><endpoint>129</endpoint></pipe>"
    "<pipe><eosusbpipe>OS_USBPIPE_BULKOUT</eosusbpipe><endpoint>2</endpoint></pipe>"
    "<pipe><eosusbpipe>OS_USBPIPE_INTERRUPT</eosusbpipe><endpoint>131</endpoint></pipe>"
    "<pipe><eosusbpipe>OS_USBPIPE_IMAGEFRONT</eosusbpipe><endpoint>132</endpoint></pipe>"
    "</osusbopen>";

std::string LockFile() { return testsupport::RootPath("common/usb/040a601d0000000000000000.lock"); }

class UsbTransport : public ::testing::Test {
 protected:
  explicit UsbTransport(const std::string& a_script = kScript) : m_standin(a_script) {}

  // A service on the feeder unit (or the model named), opened.
  std::unique_ptr<COsUsb> Open(const char* a_model = "KV1", const char* a_open = kOpen) {
    auto usb = std::make_unique<COsUsb>(nullptr, nullptr, nullptr, nullptr, false);
    EXPECT_EQ(usb->Init(OS_USBWIRE_USB, kDeviceList, "", nullptr), OS_STS_SUCCESS);
    EXPECT_EQ(usb->FindFirstConnected(&m_find, a_model), OS_STS_SUCCESS);
    OsUsbOpen osusbopen{};
    EXPECT_EQ(COsUsb::LoadOsUsbOpen(a_open, &osusbopen), OS_STS_SUCCESS);
    osusbopen.pvHandle = &m_find;
    EXPECT_EQ(usb->OpenAndLock(&osusbopen), OS_STS_SUCCESS);
    return usb;
  }

  static EOSSTS Read(COsUsb* a_usb, std::vector<uint8_t>* a_data, uint64_t* a_done,
                     EOSUSBIOCTL a_code = OS_USBIOCTL_BULKIN) {
    return a_usb->Ioctl(a_code, nullptr, 0, a_data->data(), a_data->size(), a_done);
  }

  static long SetTimeout(COsUsb* a_usb, EOSUSBIOCTL a_code, uint32_t a_ms) {
    uint32_t old = 0;
    uint64_t done = 0;
    EXPECT_EQ(a_usb->Ioctl(a_code, &a_ms, 4, &old, 4, &done), OS_STS_SUCCESS);
    return old;
  }

  usbtest::UsbConfig m_config;
  StandIn m_standin;
  OsUsbFind m_find{};
};

// Whether the condition comes true within a few seconds.
template <class F>
bool Eventually(F a_condition) {
  for (int i = 0; i < 2500; ++i) {
    if (a_condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return a_condition();
}

// The stream of an endpoint from its first byte on.
bool IsPattern(const std::vector<uint8_t>& a_data, uint64_t a_count, uint64_t a_offset = 0) {
  for (uint64_t i = 0; i < a_count; ++i) {
    if (a_data[i] != static_cast<uint8_t>((a_offset + i) & 0xff)) return false;
  }
  return true;
}

// A bulk-in read on a thread of its own that the library holds until a
// cancel, a removal or its time-out; Start returns once the library has it.
class HungRead {
 public:
  bool Start(COsUsb* a_usb) {
    StandIn::Line("hang 0x81");
    m_thread = std::thread(
        [this, a_usb] { m_result = a_usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, m_data, sizeof m_data, &m_done); });
    return Eventually([] { return !StandIn::Trace("hang ep=0x81").empty(); });
  }
  EOSSTS End() {
    m_thread.join();
    return m_result;
  }

 private:
  std::thread m_thread;
  uint8_t m_data[1000] = {};
  uint64_t m_done = 0;
  EOSSTS m_result = OS_STS_SUCCESS;
};

// ---------------------------------------------------------------------------
// Finding and opening.

TEST_F(UsbTransport, InitFindAndOpenClaimTheInterfaceBindTheEndpointsAndLock) {
  LogCapture log;
  auto usb = std::make_unique<COsUsb>(nullptr, nullptr, nullptr, nullptr, false);
  ASSERT_EQ(usb->Init(OS_USBWIRE_USB, kDeviceList, "", nullptr), OS_STS_SUCCESS);
  // The filter picks the flatbed; without one the feeder comes first.
  ASSERT_EQ(usb->FindFirstConnected(&m_find, "FB1"), OS_STS_SUCCESS);
  EXPECT_STREQ(m_find.szGroup, "flatbed");
  EXPECT_EQ(usb->FindNextConnected(&m_find, "FB1"), OS_STS_END_OF_LIST);
  ASSERT_EQ(usb->FindFirstConnected(&m_find, nullptr), OS_STS_SUCCESS);
  EXPECT_STREQ(m_find.szModel, "KV1");
  EXPECT_EQ(m_find.u16Vid, 0x040a);
  EXPECT_EQ(m_find.u16UsbVersion, 512);  // packets of 512 bytes: high speed
  EXPECT_EQ(m_find.eosusbconnection, OS_USBCONNECTION_CONNECTED);
  EXPECT_STREQ(m_find.szSerialNumber, "0000000000000000");
  EXPECT_STREQ(m_find.szDeviceFriendlyName, "KV One");
  EXPECT_EQ(m_find.u64MaxChunkSize, 4194304u);
  OsUsbFind next{};
  ASSERT_EQ(usb->FindNextConnected(&next, nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(usb->FindNextConnected(&next, nullptr), OS_STS_SUCCESS);
  EXPECT_STREQ(next.szGroup, "flatbed");
  EXPECT_EQ(usb->FindNextConnected(&next, nullptr), OS_STS_END_OF_LIST);

  OsUsbOpen osusbopen{};
  ASSERT_EQ(COsUsb::LoadOsUsbOpen(kOpen, &osusbopen), OS_STS_SUCCESS);
  osusbopen.pvHandle = &m_find;
  ASSERT_EQ(usb->OpenAndLock(&osusbopen), OS_STS_SUCCESS);
  const std::vector<std::string> trace = StandIn::Trace();
  for (const char* call : {"open_device 100", "set_configuration 1", "claim_interface 0", "set_altsetting 0 0",
                           "set_event_callback 0 set", "set_event_callback 1 set"}) {
    EXPECT_NE(std::find(trace.begin(), trace.end(), call), trace.end()) << call;
  }
  for (const char* line : {"usb>>> transfer_type...USB_ENDPOINT_TYPE_BULK, OS_USBPIPE_BULKIN, 0",
                           "usb>>> transfer_type...USB_ENDPOINT_TYPE_INTERRUPT, OS_USBPIPE_INTERRUPT, 2",
                           "usb>>> endpoint...84", "Kernel Version: ", "Is16KLimit = 1"}) {
    EXPECT_TRUE(log.Contains(line)) << line;
  }
  EXPECT_EQ(usbtest::LockedStarts(LockFile()), (std::set<long>{0}));
  EXPECT_EQ(usb->OpenAndLock(&osusbopen), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> device is already open..."));
  EXPECT_EQ(usb->FindFirstConnected(&next, nullptr), OS_STS_FAIL);

  usb->Close(false, "test", __LINE__);
  EXPECT_TRUE(usbtest::LockedStarts(LockFile()).empty());
  EXPECT_EQ(StandIn::Trace("release_interface").size(), 1u);
  EXPECT_EQ(StandIn::Trace("close_device 100").size(), 1u);
  usb.reset();
  EXPECT_EQ(StandIn::Trace("fini").size(), 1u);
}

// ---------------------------------------------------------------------------
// Bulk reads in chunks.

struct ChunkCase {
  const char* name;
  const char* force16K;  // ForceOpenUsb16K ("" leaves the default)
  long kernel;
  std::vector<std::string> rules;  // stand-in directives
  uint64_t size;
  std::vector<uint32_t> requests;  // the lengths the library is asked for
  uint64_t done;
};
void PrintTo(const ChunkCase& a_case, std::ostream* a_os) { *a_os << a_case.name; }

const ChunkCase kChunkCases[] = {
    {"SixFullChunksAndARest", "", 2063200, {}, 6 * 16384 + 1696,
     {16384, 16384, 16384, 16384, 16384, 16384, 1696}, 6 * 16384 + 1696},
    {"AShortChunkEndsTheRead", "", 2063200, {"short 0x81 16384", "short 0x81 16384", "short 0x81 100"}, 100000,
     {16384, 16384, 16384}, 2 * 16384 + 100},
    {"Kernel2631KeepsTheLimit", "0", 2063100, {}, 40000, {16384, 16384, 7232}, 40000},
    {"Kernel2632DropsIt", "0", 2063200, {}, 100000, {65536, 34464}, 100000},
    {"AnyOtherValueKeepsIt", "2", 3000000, {}, 20000, {16384, 3616}, 20000},
};

class UsbTransportChunks : public UsbTransport, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(UsbTransportChunks, ReadsGoOutInChunks) {
  const ChunkCase& c = GetParam();
  if (*c.force16K) m_config.Set(OS_CFGTAG_FORCEOPENUSB16K, c.force16K);
  COsUsbImpl::SetKernelVersion(c.kernel);
  auto usb = Open();
  for (const auto& rule : c.rules) StandIn::Line(rule);
  StandIn::ClearTrace();
  std::vector<uint8_t> data(c.size, 0xee);
  uint64_t done = 0;
  ASSERT_EQ(Read(usb.get(), &data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, c.done);
  EXPECT_TRUE(IsPattern(data, done));
  std::vector<std::string> expected;
  for (uint32_t length : c.requests) expected.push_back("bulk_aio ep=0x81 len=" + std::to_string(length));
  EXPECT_EQ(StandIn::Trace("bulk_aio"), expected);
}

INSTANTIATE_TEST_SUITE_P(Rules, UsbTransportChunks, ::testing::ValuesIn(kChunkCases),
                         [](const auto& a_info) { return a_info.param.name; });

TEST_F(UsbTransport, ASizeAboveTheChunkMaximumIsRefusedBeforeAnyTransfer) {
  LogCapture log;
  m_config.Set(OS_CFGTAG_FORCEMAXCHUNKUSB, "65536");
  auto usb = Open();
  StandIn::ClearTrace();
  std::vector<uint8_t> data(65537);
  uint64_t done = 7;
  EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_FAIL);
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(StandIn::Trace("bulk_aio").empty());
  EXPECT_TRUE(log.Contains("usb>>> ioctl data size exceeds max chunk size...65537 > 65536"));
  data.resize(65536);
  EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 65536u);
}

// A bulk request whose data buffer is missing never reaches the device.
TEST_F(UsbTransport, ABulkRequestWithoutItsBufferIsRefused) {
  LogCapture log;
  auto usb = Open();
  StandIn::ClearTrace();
  for (EOSUSBIOCTL code : {OS_USBIOCTL_BULKIN, OS_USBIOCTL_BULKOUT, OS_USBIOCTL_IMAGEFRONT, OS_USBIOCTL_IMAGEREAR}) {
    uint64_t done = 7;
    EXPECT_EQ(usb->Ioctl(code, nullptr, 0, nullptr, 100, &done), OS_STS_FAIL) << code;
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(log.Contains("usb>>> data pointer is null...100")) << code;
  }
  EXPECT_TRUE(StandIn::Trace("bulk_aio").empty());
  std::vector<uint8_t> data(100);
  uint64_t done = 0;
  EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 100u);
}

// ---------------------------------------------------------------------------
// Completion statuses and connection changes.

TEST_F(UsbTransport, CompletionStatusesMapAndADeviceGoneIsReportedOnce) {
  struct Case {
    int status;
    EOSSTS expected;
    const char* log;
  } cases[] = {{-62, OS_STS_TIMEOUT, nullptr},
               {-63, OS_STS_USB_CANCELLED, nullptr},
               {-50, OS_STS_USB_OFFLINE, "Unhandled IO Status: -50 (we're going to report it as offline)"},
               {-11, OS_STS_USB_OFFLINE, nullptr}};
  LogCapture log;
  CallbackRecorder recorder;
  auto usb = Open();
  ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, CallbackRecorder::Record,
                                  &recorder),
            OS_STS_SUCCESS);
  for (const Case& c : cases) {
    StandIn::Line("status 0x81 " + std::to_string(c.status));
    std::vector<uint8_t> data(100);
    uint64_t done = 0;
    EXPECT_EQ(Read(usb.get(), &data, &done), c.expected) << c.status;
    if (c.log) {
      EXPECT_TRUE(log.Contains(c.log)) << c.log;
    }
  }
  // Only -11 took the device off line: one call, "disconnected".
  ASSERT_EQ(recorder.Calls().size(), 1u);
  EXPECT_EQ(recorder.Calls()[0].kind, OS_USBCALLBACK_CONNECTIONCHANGED);
  EXPECT_EQ(recorder.Calls()[0].payload, "02000000");
  std::vector<uint8_t> data(100);
  uint64_t done = 0;
  EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_USB_OFFLINE);
  EXPECT_TRUE(log.Contains("usb>>> device is offline..."));
  EXPECT_EQ(recorder.Calls().size(), 1u);
}

// A chunk the library never finishes is aborted after its pipe's time-out
// and a margin; the pipe works again afterwards.
TEST_F(UsbTransport, AChunkThatNeverEndsIsAbortedAsATimeOut) {
  auto usb = Open();
  EXPECT_EQ(SetTimeout(usb.get(), OS_USBIOCTL_TIMEOUTBULKIN, 100), 60000);
  StandIn::Line("hang 0x81");
  std::vector<uint8_t> data(1000);
  uint64_t done = 0;
  EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_TIMEOUT);
  EXPECT_EQ(StandIn::Trace("abort ep=0x81").size(), 1u);
  EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 1000u);
}

// The largest time-out (as callers write "no limit") is not cut short by
// the margin added to it: the request runs until it ends.
TEST_F(UsbTransport, TheLargestTimeOutIsNotCutShort) {
  auto usb = Open();
  SetTimeout(usb.get(), OS_USBIOCTL_TIMEOUTBULKIN, 0xffffffffu);
  HungRead read;
  ASSERT_TRUE(read.Start(usb.get()));
  // Well beyond the margin (300 ms here).
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  EXPECT_TRUE(StandIn::Trace("abort").empty()) << "the request was aborted as timed out";
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CANCELIOBULKIN, nullptr, 0, nullptr, 0, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(read.End(), OS_STS_USB_CANCELLED);
}

TEST_F(UsbTransport, CancelsAndRemovalsEndARequestUnderWay) {
  struct Case {
    const char* name;
    EOSSTS expected;
  } cases[] = {{"cancel", OS_STS_USB_CANCELLED}, {"remove", OS_STS_USB_OFFLINE}};
  for (const Case& c : cases) {
    auto usb = Open();
    HungRead read;
    ASSERT_TRUE(read.Start(usb.get()));
    if (std::string(c.name) == "cancel") {
      EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CANCELIOBULKIN, nullptr, 0, nullptr, 0, nullptr), OS_STS_SUCCESS);
    } else {
      StandIn::Remove(100);
    }
    EXPECT_EQ(read.End(), c.expected) << c.name;
    StandIn::ClearTrace();
  }
}

// ---------------------------------------------------------------------------
// Control requests, the codes refused, device information.

TEST_F(UsbTransport, ControlRequestsNeedAnEightByteSetupThatFitsTheData) {
  LogCapture log;
  auto usb = Open();
  uint8_t in[8] = {0xc0, 0x05, 0x01, 0x00, 0x00, 0x00, 0x04, 0x00};  // device to host, 4 bytes
  uint8_t data[16] = {};
  uint64_t done = 0;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_CONTROL, in, 8, data, sizeof data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 4u);
  EXPECT_EQ(std::vector<uint8_t>(data, data + 5), (std::vector<uint8_t>{0xc0, 0xc1, 0xc2, 0xc3, 0}));
  EXPECT_EQ(StandIn::Trace("ctrl type=0xc0").size(), 1u);

  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CONTROL, in, 7, data, sizeof data, &done), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> control command must be exactly eight bytes in size...7"));
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CONTROL, in, 8, data, 3, &done), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> control data buffer is smaller than the request...4 > 3"));
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CONTROL, in, 8, nullptr, 0, &done), OS_STS_FAIL);
  uint8_t big[8] = {0xc0, 0x05, 0, 0, 0, 0, 0x00, 0x08};  // 2048 bytes, above the device's 1024
  std::vector<uint8_t> room(4096);
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CONTROL, big, 8, room.data(), room.size(), &done), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> Control endpoint request must be less than 1024 (is 2048) bytes"));
  EXPECT_EQ(StandIn::Trace("ctrl type=0xc0").size(), 1u) << "a refused request reached the device";

  StandIn::Line("status 0 -62");
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CONTROL, in, 8, data, sizeof data, &done), OS_STS_TIMEOUT);
  EXPECT_TRUE(log.Contains("usb>>> Failed to submit control io request: -62"));
}

// A second request on a pipe that has one under way is refused at once
// (4, nothing moved, the caller's buffer untouched) and leaves that one
// alone: it still ends on its own cancel, and the pipe takes requests again
// afterwards. Another pipe works meanwhile.
TEST_F(UsbTransport, ARequestOnAPipeInUseIsRefusedAndLeavesTheOtherAlone) {
  LogCapture log;
  auto usb = Open();
  HungRead first;
  ASSERT_TRUE(first.Start(usb.get()));
  std::vector<uint8_t> second(1000, 0xee);
  uint64_t done = 7;
  EXPECT_EQ(Read(usb.get(), &second, &done), OS_STS_BUSY);
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(second, std::vector<uint8_t>(1000, 0xee));
  EXPECT_TRUE(log.Contains("usb>>> a request is already running on pipe 1..."));
  EXPECT_EQ(StandIn::Trace("bulk_aio ep=0x81").size(), 1u) << "the refused read reached the library";
  std::vector<uint8_t> image(500);
  EXPECT_EQ(Read(usb.get(), &image, &done, OS_USBIOCTL_IMAGEFRONT), OS_STS_SUCCESS);
  EXPECT_EQ(done, 500u);

  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CANCELIOBULKIN, nullptr, 0, nullptr, 0, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(first.End(), OS_STS_USB_CANCELLED);
  EXPECT_EQ(Read(usb.get(), &second, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 1000u);
}

// One bulk pipe read from two threads at once: a read finds the pipe busy
// (4, no bytes) or gets all its bytes, in order; none waits out a
// completion the other took, nor loses its bytes: the stream goes on
// after the last byte read.
TEST_F(UsbTransport, ABulkPipeReadFromTwoThreadsIsBusyOrWhole) {
  auto usb = Open();
  std::atomic<int> wrong{0}, whole{0};
  auto reads = [&]() {
    for (int i = 0; i < 1000; ++i) {
      std::vector<uint8_t> data(100);
      uint64_t done = 0;
      const EOSSTS result = Read(usb.get(), &data, &done);
      if (result == OS_STS_SUCCESS && done == 100 && IsPattern(data, done, data[0])) {
        ++whole;
      } else if (result != OS_STS_BUSY || done != 0) {
        ++wrong;
      }
    }
  };
  std::thread first(reads), second(reads);
  first.join();
  second.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(whole.load(), 0);
  std::vector<uint8_t> data(100);
  uint64_t done = 0;
  ASSERT_EQ(Read(usb.get(), &data, &done), OS_STS_SUCCESS);
  EXPECT_TRUE(IsPattern(data, done, 100u * whole.load())) << "bytes of the stream were lost";
}

// Control requests from two threads at once: each gets its own answer, or
// 4 with no bytes.
TEST_F(UsbTransport, ControlRequestsFromTwoThreadsKeepTheirOwnAnswers) {
  auto usb = Open();
  std::atomic<int> wrong{0}, answered{0};
  auto requests = [&](uint8_t a_length) {
    for (int i = 0; i < 300; ++i) {
      uint8_t setup[8] = {0xc0, 0x05, a_length, 0, 0, 0, a_length, 0};
      uint8_t data[16] = {};
      uint64_t done = 0;
      const EOSSTS result = usb->Ioctl(OS_USBIOCTL_CONTROL, setup, 8, data, sizeof data, &done);
      if (result == OS_STS_SUCCESS && done == a_length && data[a_length - 1] == 0xc0 + a_length - 1 &&
          data[a_length] == 0) {
        ++answered;
      } else if (result != OS_STS_BUSY || done != 0 ||
                 std::any_of(data, data + sizeof data, [](uint8_t a_byte) { return a_byte != 0; })) {
        ++wrong;
      }
    }
  };
  std::thread first(requests, 4), second(requests, 12);
  first.join();
  second.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_GT(answered.load(), 0);
}

TEST_F(UsbTransport, RefusedCodesAndBuffersOfTheWrongSize) {
  LogCapture log;
  auto usb = Open();
  uint8_t buffer[16] = {};
  uint64_t done = 0;
  for (uint32_t code : {0u, 40u, 99u}) {
    EXPECT_EQ(usb->Ioctl(static_cast<EOSUSBIOCTL>(code), nullptr, 0, buffer, 4, &done), OS_STS_FAIL) << code;
    EXPECT_TRUE(log.Contains("usb>>> unrecognized a_eosusbioctl..." + std::to_string(code))) << code;
  }
  for (uint32_t code : {20u, 21u, 35u, 36u, 37u, 38u}) {
    EXPECT_EQ(usb->Ioctl(static_cast<EOSUSBIOCTL>(code), nullptr, 0, buffer, 4, &done), OS_STS_FAIL) << code;
    EXPECT_TRUE(log.Contains("usb>>> Unrecognized a_eosusbioctl..." + std::to_string(code))) << code;
  }
  struct Case {
    EOSUSBIOCTL code;
    uint64_t command, data;
    const char* log;
  } cases[] = {
      {OS_USBIOCTL_TIMEOUTBULKIN, 3, 4, "usb>>> timeout command value must be exactly four bytes in size...3"},
      {OS_USBIOCTL_TIMEOUTCONTROL, 4, 8, "usb>>> timeout data return must be exactly four bytes in size...8"},
      {OS_USBIOCTL_RETRYBULKOUT, 4, 8, "usb>>> retry command value must be exactly eight bytes in size...4"},
      {OS_USBIOCTL_RETRYBULKIN, 8, 16, "usb>>> retry data return must be exactly eight bytes in size...16"},
      {OS_USBIOCTL_GETCHUNKSIZEBULKIN, 0, 3, "usb>>> getchunksize data return must be 4 or 8 bytes in size...3"},
      {OS_USBIOCTL_DEVICEINFO, 0, 10, "GetDeviceInfo: buffer is too small...10 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(usb->Ioctl(c.code, buffer, c.command, buffer, c.data, &done), OS_STS_FAIL) << c.log;
    EXPECT_TRUE(log.Contains(c.log)) << c.log;
  }
  // The right sizes: the old value comes back.
  uint32_t timeout = 2500, oldTimeout = 0;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_TIMEOUTCONTROL, &timeout, 4, &oldTimeout, 4, &done), OS_STS_SUCCESS);
  EXPECT_EQ(oldTimeout, 60000u);
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_TIMEOUTCONTROL, &timeout, 4, &oldTimeout, 4, &done), OS_STS_SUCCESS);
  EXPECT_EQ(oldTimeout, 2500u);
  int64_t retry = 3, oldRetry = -1;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_RETRYBULKIN, &retry, 8, &oldRetry, 8, &done), OS_STS_SUCCESS);
  EXPECT_EQ(oldRetry, 0);
  uint64_t chunk64 = 0;
  uint32_t chunk32 = 0;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_GETCHUNKSIZEBULKIN, nullptr, 0, &chunk64, 8, &done), OS_STS_SUCCESS);
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_GETCHUNKSIZEIMAGEFRONT, nullptr, 0, &chunk32, 4, &done), OS_STS_SUCCESS);
  EXPECT_EQ(chunk64, 4194304u);
  EXPECT_EQ(chunk32, 4194304u);
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_SCANBEGIN, nullptr, 0, nullptr, 0, &done), OS_STS_SUCCESS);
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_RESETALL, nullptr, 0, nullptr, 0, &done), OS_STS_SUCCESS);
}

TEST_F(UsbTransport, DeviceInfoIsExactAndWellFormed) {
  auto usb = Open();
  char info[512];
  uint64_t done = 0;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_DEVICEINFO, nullptr, 0, info, sizeof info, &done), OS_STS_SUCCESS);
  const std::string expected =
      "<device>\n\t<model>KV1</model>\n\t<devicefriendlyname><![CDATA[KV One]]></devicefriendlyname>\n\t<usb>\n"
      "\t\t<vid>0x040a</vid>\n\t\t<pid>0x601d</pid>\n\t\t<speed>0x0200</speed>\n\t</usb>\n</device>";
  EXPECT_EQ(std::string(info), expected);
  EXPECT_EQ(done, expected.size() + 1);
  const std::string path = testsupport::RootPath("deviceinfo.xml");
  testsupport::WriteFile(path, info);
  int status = -1;
  std::string out = testsupport::RunProgram({"xmllint", "--noout", path}, &status);
  EXPECT_EQ(status, 0) << out;
}

// ---------------------------------------------------------------------------
// Opening what cannot be opened.

TEST_F(UsbTransport, OpensThatFailSayWhy) {
  struct Case {
    const char* model;
    std::string open;
    const char* log;
  } cases[] = {
      {"KV1", "<osusbopen><configuration>1</configuration></osusbopen>", "usb>>> bad configuration...1 >= 1"},
      {"KV1", "<osusbopen><interface>2</interface></osusbopen>", "usb>>> bad interface...0 2 >= 1"},
      {"BARE", "<osusbopen/>", "usb>>> no endponts...0 0 0 0"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    auto usb = std::make_unique<COsUsb>(nullptr, nullptr, nullptr, nullptr, false);
    ASSERT_EQ(usb->Init(OS_USBWIRE_USB, kDeviceList, "", nullptr), OS_STS_SUCCESS);
    ASSERT_EQ(usb->FindFirstConnected(&m_find, c.model), OS_STS_SUCCESS) << c.model;
    OsUsbOpen osusbopen{};
    ASSERT_EQ(COsUsb::LoadOsUsbOpen(c.open.c_str(), &osusbopen), OS_STS_SUCCESS);
    osusbopen.pvHandle = &m_find;
    EXPECT_EQ(usb->OpenAndLock(&osusbopen), OS_STS_FAIL) << c.log;
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
    // Nothing stays locked or open.
    EXPECT_EQ(usb->IsLocked(), 0);
    uint64_t done = 0;
    EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, nullptr, 0, &done), OS_STS_FAIL);
  }
  LogCapture log;
  COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
  OsUsbOpen osusbopen{};
  EXPECT_EQ(usb.OpenAndLock(&osusbopen), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> must set OsUsbOpen.pvHandle to the appropriate OsUsbFind structure..."));
}

TEST(UsbTransportInit, LibrariesThatCannotBeUsedFailInit) {
  usbtest::UsbConfig config;
  struct Case {
    const char* script;
    const char* path;
    uint32_t mask;
    const char* log;
  } cases[] = {
      {"", "/nonexistent/libopenusb.so", OS_USBWIRE_USB, "dlopen for openusb failed..."},
      {"initfail -3\n", SCANDRV_OPENUSB_STANDIN, OS_USBWIRE_USB, "openusb_init failed: failure"},
      {"", SCANDRV_OPENUSB_STANDIN, 0, "usb>>> please specify one or more valid wires...0"},
      {"", SCANDRV_OPENUSB_STANDIN, 16, "usb>>> please specify one or more valid wires...16"},
  };
  for (const Case& c : cases) {
    StandIn standin(c.script);
    COpenUsb::SetLibraryPaths(c.path, "/nonexistent/lib/libopenusb.so");
    LogCapture log;
    COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
    EXPECT_EQ(usb.Init(c.mask, kDeviceList, "", nullptr), OS_STS_FAIL) << c.log;
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
    OsUsbFind find{};
    EXPECT_EQ(usb.FindFirstConnected(&find, nullptr), OS_STS_FAIL);
  }
  // A device list the library cannot give.
  StandIn standin("listfail -1\n");
  LogCapture log;
  COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
  ASSERT_EQ(usb.Init(OS_USBWIRE_USB, kDeviceList, "", nullptr), OS_STS_SUCCESS);
  OsUsbFind find{};
  EXPECT_EQ(usb.FindFirstConnected(&find, nullptr), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> probe: Couldn't get device id list...-1"));
}

// ---------------------------------------------------------------------------
// The walks of the device list and of the devices on line, pipe resets, the
// connection a caller asks for, and the flags of the session's end.

TEST_F(UsbTransport, TheFilterAndOnlineWalksGiveEveryRecordOnce) {
  auto usb = std::make_unique<COsUsb>(nullptr, nullptr, nullptr, nullptr, false);
  OsUsbFind find{};
  EXPECT_EQ(usb->FindFirstConstraint(&find), OS_STS_FAIL);  // no Init yet
  ASSERT_EQ(usb->Init(OS_USBWIRE_USB, kDeviceList, "", nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(usb->FindFirstDeviceSelection(&find), OS_STS_END_OF_LIST);  // nothing probed yet
  ASSERT_EQ(usb->FindFirstConnected(&m_find, nullptr), OS_STS_SUCCESS);
  struct Walk {
    const char* szName;
    EOSSTS (COsUsb::*pfnFirst)(OsUsbFind*);
    EOSSTS (COsUsb::*pfnNext)(OsUsbFind*);
    uint32_t u32Kind;
    std::vector<std::string> vecModels;
  } const awalk[] = {
      {"filters, in the list's order", &COsUsb::FindFirstConstraint, &COsUsb::FindNextConstraint, 1,
       {"KV1", "FB1", "BARE"}},
      {"on line, feeders first", &COsUsb::FindFirstDeviceSelection, &COsUsb::FindNextDeviceSelection, 2,
       {"KV1", "BARE", "FB1"}}};
  for (const Walk& walk : awalk) {
    SCOPED_TRACE(walk.szName);
    for (int iRound = 0; iRound < 2; ++iRound) {  // the first call starts the walk again
      std::vector<std::string> vecModels;
      EOSSTS eossts = (usb.get()->*walk.pfnFirst)(&find);
      for (; eossts == OS_STS_SUCCESS && vecModels.size() < 10; eossts = (usb.get()->*walk.pfnNext)(&find)) {
        vecModels.push_back(find.szModel);
        ASSERT_NE(find.posusbinfo, nullptr);
        EXPECT_EQ(find.posusbinfo->u32Kind, walk.u32Kind);
      }
      EXPECT_EQ(eossts, OS_STS_END_OF_LIST);
      EXPECT_EQ(vecModels, walk.vecModels);
    }
  }
  EXPECT_EQ(usb->FindNextConstraint(nullptr), OS_STS_FAIL);
}

// Opening and request 19 clear a halt on every bound endpoint, unless
// ForceUsbReset is "0": then they say so and clear nothing.
TEST_F(UsbTransport, PipeResetsClearEveryBoundEndpointUnlessSwitchedOff) {
  auto clears = [] {
    std::vector<std::string> vec;
    for (const std::string& line : StandIn::Trace("ctrl type=0x02 req=0x01 value=0")) vec.push_back(line);
    return vec;
  };
  const std::vector<std::string> vecEndpoints = {"ctrl type=0x02 req=0x01 value=0 index=129 len=0",
                                                 "ctrl type=0x02 req=0x01 value=0 index=2 len=0",
                                                 "ctrl type=0x02 req=0x01 value=0 index=132 len=0",
                                                 "ctrl type=0x02 req=0x01 value=0 index=131 len=0"};
  for (const char* szSwitch : {"1", "0"}) {
    SCOPED_TRACE(szSwitch);
    LogCapture log;
    m_config.Set(OS_CFGTAG_FORCEUSBRESET, szSwitch);
    StandIn::ClearTrace();
    const bool blOn = std::string(szSwitch) == "1";
    auto usb = Open();
    std::vector<std::string> vecOpen = clears();
    std::sort(vecOpen.begin(), vecOpen.end());
    std::vector<std::string> vecExpected = blOn ? vecEndpoints : std::vector<std::string>{};
    std::sort(vecExpected.begin(), vecExpected.end());
    EXPECT_EQ(vecOpen, vecExpected);
    uint64_t done = 0;
    EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_RESETALL, nullptr, 0, nullptr, 0, &done), OS_STS_SUCCESS);
    EXPECT_EQ(clears().size(), blOn ? 2 * vecEndpoints.size() : 0u);
    EXPECT_EQ(log.Contains("usb>>> IOCTL_RESET_PIPE is disabled (returning success and continuing)..."), !blOn);
    usb->Close(false, "test", __LINE__);
  }
}

// The connection a caller asks for is kept, with its reason, for the device
// monitor; another request is refused and changes nothing.
TEST_F(UsbTransport, TheConnectionAskedForIsKeptWithItsReason) {
  LogCapture log;
  auto usb = Open();
  char szReason[128];
  EXPECT_EQ(usb->GetImpl()->GetConnectionRequest(szReason, sizeof szReason), 0u);
  EXPECT_STREQ(szReason, "");
  ASSERT_EQ(usb->SetDeviceConnection(OS_USBCONNECTIONREQUEST_DISCONNECT, "lid opened"), OS_STS_SUCCESS);
  EXPECT_TRUE(log.Contains("usb>>> set device connection...2"));
  EXPECT_EQ(usb->GetImpl()->GetConnectionRequest(szReason, sizeof szReason), OS_USBCONNECTIONREQUEST_DISCONNECT);
  EXPECT_STREQ(szReason, "lid opened");
  const std::string strLong(100, 'r');
  ASSERT_EQ(usb->SetDeviceConnection(OS_USBCONNECTIONREQUEST_CONNECT, strLong.c_str()), OS_STS_SUCCESS);
  EXPECT_EQ(usb->GetImpl()->GetConnectionRequest(szReason, sizeof szReason), OS_USBCONNECTIONREQUEST_CONNECT);
  EXPECT_EQ(std::string(szReason), strLong.substr(0, 63));
  EXPECT_EQ(usb->SetDeviceConnection(3, "bad"), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> unrecognized a_eosusbconnection...3"));
  EXPECT_EQ(usb->GetImpl()->GetConnectionRequest(nullptr, 0), OS_USBCONNECTIONREQUEST_CONNECT);
  EXPECT_EQ(usb->SetDeviceConnection(OS_USBCONNECTIONREQUEST_DISCONNECT, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(usb->GetImpl()->GetConnectionRequest(szReason, sizeof szReason), OS_USBCONNECTIONREQUEST_DISCONNECT);
  EXPECT_STREQ(szReason, "");
}

// Once the session ends, a device that goes away is no longer reported to
// the connection callback (its state still changes).
TEST_F(UsbTransport, AfterTheSessionEndsARemovalIsNotReported) {
  for (bool blSessionEnd : {false, true}) {
    SCOPED_TRACE(blSessionEnd);
    LogCapture log;
    CallbackRecorder connections;
    auto usb = Open();
    ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, CallbackRecorder::Record,
                                    &connections),
              OS_STS_SUCCESS);
    if (blSessionEnd) usb->SetSessionEndFlag();
    StandIn::Remove(100);
    ASSERT_TRUE(Eventually([&] { return log.Contains("!!! Device has been removed..."); }));
    std::vector<uint8_t> data(64);
    uint64_t done = 0;
    EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_USB_OFFLINE);
    EXPECT_EQ(connections.Calls().size(), blSessionEnd ? 0u : 1u);
    usb->Close(false, "test", __LINE__);
    StandIn::Attach(100, 100);
  }
}

// Closing a device that is gone gives its lock up first only when told
// that a disconnect will not unlock it; a connected device always does.
// Either way no lock is left behind.
TEST_F(UsbTransport, ClosingAGoneDeviceUnlocksFirstOnlyWhenToldTo) {
  struct Case {
    bool blRemoved, blWontUnlock, blUnlockFirst;
  } const acase[] = {{false, false, true}, {true, false, false}, {true, true, true}};
  for (const Case& c : acase) {
    SCOPED_TRACE(std::to_string(c.blRemoved) + std::to_string(c.blWontUnlock));
    LogCapture log;
    auto usb = Open();
    usb->SetDisconnectWontUnlock(c.blWontUnlock);
    EXPECT_TRUE(log.Contains(std::string("usb>>> set disconnectwontunlock...") + (c.blWontUnlock ? "1" : "0")));
    if (c.blRemoved) {
      StandIn::Remove(100);
      ASSERT_TRUE(Eventually([&] { return log.Contains("!!! Device has been removed..."); }));
    }
    ASSERT_EQ(usbtest::LockedStarts(LockFile()), (std::set<long>{0}));
    usb->Close(false, "test", __LINE__);
    EXPECT_EQ(log.Contains("usb>>> closing osusb (DeviceUnlock)..."), c.blUnlockFirst);
    EXPECT_TRUE(usbtest::LockedStarts(LockFile()).empty());
    if (c.blRemoved) StandIn::Attach(100, 100);
  }
}

// ---------------------------------------------------------------------------
// Device events and the interrupt thread.

OsUsbInterrupt InterruptRequest(uint8_t* a_payload, uint32_t a_pipe = OS_USBPIPE_INTERRUPT) {
  OsUsbInterrupt osusbinterrupt{};
  osusbinterrupt.eosusbpipe = a_pipe;
  osusbinterrupt.pu8Payload = a_payload;
  osusbinterrupt.u32Length = 8;
  return osusbinterrupt;
}

TEST_F(UsbTransport, TheInterruptThreadHandsOnPayloadsAndRidesOutARemoval) {
  LogCapture log;
  CallbackRecorder interrupts, connections;
  auto usb = Open();
  ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_INTERRUPT, CallbackRecorder::Record, &interrupts),
            OS_STS_SUCCESS);
  ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, CallbackRecorder::Record,
                                  &connections),
            OS_STS_SUCCESS);
  uint8_t payload[8];
  OsUsbInterrupt request = InterruptRequest(payload);
  StandIn::Line("interrupt 0102030405060708");
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_INTERRUPT, &request, sizeof request, nullptr, 0, nullptr), OS_STS_SUCCESS);
  std::vector<CallbackRecorder::Call> calls = interrupts.WaitFor(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, OS_USBCALLBACK_INTERRUPT);
  EXPECT_EQ(calls[0].pipe, OS_USBPIPE_INTERRUPT);
  EXPECT_EQ(calls[0].payload, "0102030405060708");
  EXPECT_EQ(calls[0].user, &interrupts);
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_INTERRUPT, &request, sizeof request, nullptr, 0, nullptr), OS_STS_BUSY);

  // Removed while the thread waits for the next interrupt: the device goes
  // off line, once; attached again under a new id (its descriptor
  // unreadable at first): back on line.
  ASSERT_TRUE(Eventually([] { return StandIn::Trace("intr_wait").size() >= 2; }));
  StandIn::Remove(100);
  ASSERT_EQ(connections.WaitFor(1).size(), 1u);
  EXPECT_EQ(connections.Calls()[0].payload, "02000000");
  ASSERT_TRUE(Eventually([&] { return log.Contains("usb>>> InterruptThread offline..."); }));
  StandIn::Line("descfail 101 3");
  StandIn::Attach(100, 101);
  ASSERT_EQ(connections.WaitFor(2).size(), 2u);
  EXPECT_EQ(connections.Calls()[1].payload, "01000000");
  EXPECT_TRUE(log.Contains("usb>>> Unable to Get Device Descriptor on USB_ATTACH (will retry): -1"));
  EXPECT_TRUE(log.Contains("!!! Device has been added...101"));
  ASSERT_EQ(usb->DeviceIsReady(), OS_STS_SUCCESS);
  StandIn::Line("interrupt a1a2a3a4a5a6a7a8");
  calls = interrupts.WaitFor(2);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].payload, "a1a2a3a4a5a6a7a8");
  EXPECT_TRUE(log.Contains("usb>>> InterruptThread online again..."));
  // A transfer works again on the new id.
  std::vector<uint8_t> data(64);
  uint64_t done = 0;
  EXPECT_EQ(Read(usb.get(), &data, &done), OS_STS_SUCCESS);

  // Code 12 stops the interrupt; a new request starts it again.
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_CANCELIOINTERRUPT, nullptr, 0, nullptr, 0, nullptr), OS_STS_SUCCESS);
  EXPECT_TRUE(log.Contains("usb>>> InterruptThread canceled..."));
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_INTERRUPT, &request, sizeof request, nullptr, 0, nullptr), OS_STS_SUCCESS);
  StandIn::Line("interrupt 1111111111111111");
  ASSERT_EQ(interrupts.WaitFor(3).size(), 3u);

  // Close stops the thread, which sends its final empty record.
  usb->Close(false, "test", __LINE__);
  calls = interrupts.Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[3].payload, "");
  EXPECT_EQ(connections.Calls().size(), 2u);
}

// A device attached again while its descriptor cannot be read yet is
// retried on the library's thread; a close ends that: no try and no
// connection change comes after the close.
TEST_F(UsbTransport, AnAttachUnderWayEndsWithTheClose) {
  CallbackRecorder connections;
  COsUsbImpl::SetAttachRetry(100000, 10);
  auto usb = Open();
  ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, CallbackRecorder::Record,
                                  &connections),
            OS_STS_SUCCESS);
  StandIn::Remove(100);
  ASSERT_EQ(connections.WaitFor(1).size(), 1u);
  StandIn::Line("descfail 101 50");
  StandIn::Attach(100, 101);
  ASSERT_TRUE(Eventually([] { return StandIn::Trace("device_desc 101 failed").size() >= 5; }));
  usb->Close(false, "test", __LINE__);
  const size_t tries = StandIn::Trace("device_desc 101 failed").size();
  // Longer than the fifty tries the descriptor needs.
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  EXPECT_EQ(StandIn::Trace("device_desc 101 failed").size(), tries) << "the attach went on after the close";
  EXPECT_EQ(connections.Calls().size(), 1u) << "a connection change came after the close";
}

// A caller that closes the device from its connection callback (on the
// library's thread, when the device goes) is not kept waiting for itself.
TEST_F(UsbTransport, ACloseFromTheConnectionCallbackEnds) {
  COsUsbImpl::SetThreadStopLimit(60000);
  auto usb = Open();
  struct Closer {
    COsUsb* usb;
    std::atomic<bool> closed{false};
    static EOSSTS OnChange(void* a_pv) {
      auto* self = static_cast<Closer*>(static_cast<OsUsbCallbackRecord*>(a_pv)->pvUser);
      self->usb->Close(false, "callback", __LINE__);
      self->closed = true;
      return OS_STS_SUCCESS;
    }
  } closer{usb.get()};
  ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, Closer::OnChange, &closer),
            OS_STS_SUCCESS);
  StandIn::Remove(100);
  EXPECT_TRUE(Eventually([&] { return closer.closed.load(); }));
  EXPECT_EQ(StandIn::Trace("close_device 100").size(), 1u);
}

TEST_F(UsbTransport, InterruptRequestsThatCannotRun) {
  LogCapture log;
  auto usb = Open();
  uint8_t payload[8];
  OsUsbInterrupt wrongPipe = InterruptRequest(payload, OS_USBPIPE_BULKIN);
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_INTERRUPT, &wrongPipe, sizeof wrongPipe, nullptr, 0, nullptr), OS_STS_SUCCESS);
  EXPECT_TRUE(
      Eventually([&] { return log.Contains("usb>>> the OsUsbInterrupt structure has invalid data in it...(1!=6"); }));
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_INTERRUPT, &wrongPipe, 4, nullptr, 0, nullptr), OS_STS_FAIL);
  // Code 12 without an interrupt under way.
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CANCELIOINTERRUPT, nullptr, 0, nullptr, 0, nullptr), OS_STS_SUCCESS);
  usb->Close(false, "test", __LINE__);
  uint64_t done = 0;
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_INTERRUPT, &wrongPipe, sizeof wrongPipe, nullptr, 0, &done), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> must open a device first..."));
}

// ---------------------------------------------------------------------------
// Two pipes from two threads, completions on the stand-in's thread.

TEST_F(UsbTransport, TwoPipesFromTwoThreads) {
  auto usb = Open();
  constexpr int kRounds = 40;
  EOSSTS readStatus = OS_STS_SUCCESS, writeStatus = OS_STS_SUCCESS;
  uint64_t readTotal = 0, writeTotal = 0;
  std::thread reader([&] {
    std::vector<uint8_t> data(40000);
    for (int i = 0; i < kRounds && readStatus == OS_STS_SUCCESS; ++i) {
      uint64_t done = 0;
      readStatus = Read(usb.get(), &data, &done);
      if (!IsPattern(data, done, readTotal)) readStatus = OS_STS_FAIL;
      readTotal += done;
    }
  });
  std::thread writer([&] {
    std::vector<uint8_t> data(30000, 1);
    for (int i = 0; i < kRounds && writeStatus == OS_STS_SUCCESS; ++i) {
      uint64_t done = 0;
      writeStatus = usb->Ioctl(OS_USBIOCTL_BULKOUT, nullptr, 0, data.data(), data.size(), &done);
      writeTotal += done;
    }
  });
  reader.join();
  writer.join();
  EXPECT_EQ(readStatus, OS_STS_SUCCESS);
  EXPECT_EQ(writeStatus, OS_STS_SUCCESS);
  EXPECT_EQ(readTotal, 40000u * kRounds);
  EXPECT_EQ(writeTotal, 30000u * kRounds);
}

TEST(UsbStringDescriptor, TheLowByteOfEachUnitOrAQuestionMark) {
  struct Case {
    std::vector<uint8_t> descriptor;
    size_t room;
    std::string text;
  } cases[] = {
      {{10, 3, 'A', 0, 'b', 0, 'C', 0, '1', 0}, 16, "AbC1"},
      {{8, 3, 'A', 0, 0x3b, 0x04, 'z', 0}, 16, "A?z"},
      {{10, 3, 'A', 0, 'b', 0, 'C', 0, '1', 0}, 3, "Ab"},
      {{2, 3}, 16, ""},
      {{0}, 16, ""},
      // The length, not the room, ends the text.
      {{6, 3, 'x', 0, 'y', 0, 'z', 0}, 16, "xy"},
  };
  for (const Case& c : cases) {
    char text[16] = "junk";
    EXPECT_EQ(COsUsbImpl::StringDescriptorToText(c.descriptor.data(), text, c.room), OS_STS_SUCCESS);
    EXPECT_EQ(std::string(text), c.text);
  }
  char text[4];
  EXPECT_EQ(COsUsbImpl::StringDescriptorToText(nullptr, text, sizeof text), OS_STS_BAD_ARGUMENT);
  const uint8_t descriptor[] = {4, 3, 'a', 0};
  EXPECT_EQ(COsUsbImpl::StringDescriptorToText(descriptor, nullptr, 4), OS_STS_BAD_ARGUMENT);
}

}  // namespace
