// Network scanner units: python3 servers, one per pipe port, stand in for
// the unit. Bulk-out bytes reach the bulk-out port, bulk-in bytes come from
// the bulk-in port; control requests fail and interrupts do nothing; a
// dropped link is reopened as often as the retry value allows; a unit that
// is gone or never answers gives 7, never a hang; a pipe in use refuses a
// second request.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "os_cosusb.h"
#include "os_cosusb_standin.h"
#include "os_cosusbchannel.h"
#include "os_cosusb_testutil.h"
#include "test_support.h"

using testsupport::LogCapture;
using usbtest::CallbackRecorder;
using filetest::PythonProcess;
using usbtest::StandIn;

namespace {

// One listener per argument: "hold" keeps connections, "record" prints
// what arrives ("out INDEX HEX"), "send:HEX" sends on every connection,
// "dropfirst:HEX" closes the first connection at once and sends on the
// others. Every accepted connection is printed ("accept INDEX N").
const char kServers[] = R"(
import socket, sys, threading
lock = threading.Lock()
def say(text):
    with lock:
        print(text, flush=True)
listeners = []
for spec in sys.argv[1:]:
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    s.listen(8)
    listeners.append((s, spec))
say(" ".join(str(s.getsockname()[1]) for s, _ in listeners))
def connection(c, spec, index, n):
    kind, _, arg = spec.partition(":")
    say("accept %d %d" % (index, n))
    if kind == "dropfirst" and n == 1:
        c.close()
        return
    if kind in ("send", "dropfirst"):
        c.sendall(bytes.fromhex(arg))
    while True:
        try:
            data = c.recv(65536)
        except OSError:
            break
        if not data:
            break
        if kind == "record":
            say("out %d %s" % (index, data.hex()))
    c.close()
def serve(s, spec, index):
    n = 0
    while True:
        c, _ = s.accept()
        n += 1
        threading.Thread(target=connection, args=(c, spec, index, n), daemon=True).start()
for index, (s, spec) in enumerate(listeners):
    threading.Thread(target=serve, args=(s, spec, index), daemon=True).start()
sys.stdin.read()
)";

const char kDeviceList[] =
    "<devicelist><device><group>models</group><devicetype>adf</devicetype><model>NET1</model>"
    "<devicefriendlyname>Network One</devicefriendlyname>"
    "<net><vid>0x040a</vid><pid>0x7000</pid><socketip4>127.0.0.1</socketip4></net></device></devicelist>";

// A port of a unit that takes connections into its queue but never
// accepts them, so nothing sent there is ever read. With a queue of one
// that is already taken, a further connection is never answered at all.
class DeafPort {
 public:
  explicit DeafPort(bool a_full) {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    struct sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listen, a_full ? 0 : 8) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    m_port = std::to_string(ntohs(address.sin_port));
    if (a_full) {
      m_filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (connect(m_filler, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) m_port.clear();
    }
  }
  ~DeafPort() {
    if (m_filler >= 0) close(m_filler);
    if (m_listen >= 0) close(m_listen);
  }
  const std::string& Port() const { return m_port; }

 private:
  int m_listen = -1;
  int m_filler = -1;
  std::string m_port;
};

// A connection of a unit that has nothing to send: while held, a read
// waits for a cancel (or gives 5 after two seconds); writes take every
// byte. It counts the reads waiting on it.
class HeldChannel : public COsUsbChannel {
 public:
  static std::atomic<bool> s_hold;
  static std::atomic<int> s_reading;
  static COsUsbChannel* New() { return new HeldChannel; }

  EOSSTS Connect(const char*, const char*, const char*) override { return OS_STS_SUCCESS; }
  EOSSTS Read(void*, uint64_t, uint64_t* a_read, uint32_t) override {
    *a_read = 0;
    if (!s_hold) return OS_STS_SUCCESS;
    std::unique_lock<std::mutex> lock(m_mutex);
    ++s_reading;
    const bool cancelled = m_cond.wait_for(lock, std::chrono::seconds(2), [&] { return m_cancel; });
    --s_reading;
    m_cancel = false;
    return cancelled ? OS_STS_USB_CANCELLED : OS_STS_TIMEOUT;
  }
  EOSSTS Write(const void*, uint64_t a_size, uint64_t* a_written, uint32_t) override {
    *a_written = a_size;
    return OS_STS_SUCCESS;
  }
  EOSSTS Cancel() override {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cancel = true;
    m_cond.notify_all();
    return OS_STS_SUCCESS;
  }
  EOSSTS SetBufferSizes(int, int) override { return OS_STS_SUCCESS; }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  bool m_cancel = false;
};
std::atomic<bool> HeldChannel::s_hold{true};
std::atomic<int> HeldChannel::s_reading{0};

class UsbNetwork : public ::testing::Test {
 protected:
  UsbNetwork() : m_standin("") {}

  // Servers for control, bulk-in and bulk-out, and a service opened on them.
  std::unique_ptr<COsUsb> Open(const std::vector<std::string>& a_specs) {
    m_servers = std::make_unique<PythonProcess>(kServers, a_specs);
    std::istringstream ports(m_servers->ReadLine());
    for (std::string port; ports >> port;) m_ports.push_back(port);
    EXPECT_EQ(m_ports.size(), a_specs.size());
    auto usb = std::make_unique<COsUsb>(nullptr, nullptr, nullptr, nullptr, false);
    EXPECT_EQ(usb->Init(OS_USBWIRE_ALL, kDeviceList, "", nullptr), OS_STS_SUCCESS);
    EXPECT_EQ(usb->FindFirstConstraint(&m_find), OS_STS_SUCCESS);
    EXPECT_EQ(m_find.eosusbwire, OS_USBWIRE_NET);
    EXPECT_STREQ(m_find.szSocketIp4, "127.0.0.1");
    EXPECT_EQ(usb->OpenAndLock(Description()), OS_STS_SUCCESS);
    return usb;
  }

  OsUsbOpen* Description() {
    const char* kinds[] = {"OS_USBPIPE_CONTROL", "OS_USBPIPE_BULKIN", "OS_USBPIPE_BULKOUT"};
    std::string xml = "<osusbopen>";
    for (size_t i = 0; i < m_ports.size() && i < 3; ++i) {
      xml += std::string("<pipe><eosusbpipe>") + kinds[i] + "</eosusbpipe><socketport>" + m_ports[i] +
             "</socketport></pipe>";
    }
    xml += "</osusbopen>";
    m_open = OsUsbOpen{};
    EXPECT_EQ(COsUsb::LoadOsUsbOpen(xml.c_str(), &m_open), OS_STS_SUCCESS);
    m_open.pvHandle = &m_find;
    return &m_open;
  }

  // The first line of the servers that begins with the prefix (lines come
  // in any order: every one read is kept).
  std::string Await(const std::string& a_prefix) {
    for (size_t i = 0;; ++i) {
      if (i == m_lines.size()) {
        std::string line = m_servers->ReadLine();
        if (line.empty()) return "";
        m_lines.push_back(line);
      }
      if (m_lines[i].rfind(a_prefix, 0) == 0) return m_lines[i];
    }
  }

  static EOSSTS SetRetry(COsUsb* a_usb, int64_t a_retry) {
    int64_t old = 0;
    uint64_t done = 0;
    return a_usb->Ioctl(OS_USBIOCTL_RETRYBULKIN, &a_retry, 8, &old, 8, &done);
  }

  usbtest::UsbConfig m_config;
  StandIn m_standin;
  std::unique_ptr<PythonProcess> m_servers;
  std::vector<std::string> m_ports;
  std::vector<std::string> m_lines;
  OsUsbFind m_find{};
  OsUsbOpen m_open{};
};

TEST_F(UsbNetwork, BulkBytesGoToAndComeFromThePipesPorts) {
  LogCapture log;
  auto usb = Open({"hold", "send:0102030405", "record"});
  char text[] = "scanner";
  uint64_t done = 0;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_BULKOUT, nullptr, 0, text, 7, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 7u);
  EXPECT_EQ(Await("out"), "out 2 7363616e6e6572");
  uint8_t data[64] = {};
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(std::vector<uint8_t>(data, data + done), (std::vector<uint8_t>{1, 2, 3, 4, 5}));

  uint8_t setup[8] = {0xc0, 1, 0, 0, 0, 0, 4, 0};
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_CONTROL, setup, 8, data, 8, &done), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> control not supported for sockets..."));
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_INTERRUPT, nullptr, 0, nullptr, 0, &done), OS_STS_SUCCESS);
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_RESETALL, nullptr, 0, nullptr, 0, &done), OS_STS_SUCCESS);
  struct Chunk {
    EOSUSBIOCTL code;
    uint64_t size;
  } chunks[] = {{OS_USBIOCTL_GETCHUNKSIZECONTROL, 4096},
                {OS_USBIOCTL_GETCHUNKSIZEINTERRUPT, 8},
                {OS_USBIOCTL_GETCHUNKSIZEBULKIN, 16777216}};
  for (const Chunk& c : chunks) {
    uint64_t size = 0;
    ASSERT_EQ(usb->Ioctl(c.code, nullptr, 0, &size, 8, &done), OS_STS_SUCCESS);
    EXPECT_EQ(size, c.size) << c.code;
  }
  // Each pipe had its connection.
  for (int i = 0; i < 3; ++i) EXPECT_NE(Await("accept " + std::to_string(i) + " 1"), "");
  usb->Close(false, "test", __LINE__);
}

// The unit's link drops on the first request: with two attempts the
// second gets the bytes on a new connection; with one the request gives 7
// and the next request opens the links again first.
TEST_F(UsbNetwork, ADroppedLinkIsReopenedPerTheRetryValue) {
  struct Case {
    int64_t retry;
    EOSSTS first;
    const char* log;
  } cases[] = {{2, OS_STS_SUCCESS, "usb>>> attempt 2 of 2"}, {0, OS_STS_USB_OFFLINE, "usb>>> BULKIN failed...7"}};
  for (const Case& c : cases) {
    LogCapture log;
    CallbackRecorder connections;
    m_ports.clear();
    auto usb = Open({"hold", "dropfirst:a1a2", "hold"});
    ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, CallbackRecorder::Record,
                                    &connections),
              OS_STS_SUCCESS);
    ASSERT_EQ(SetRetry(usb.get(), c.retry), OS_STS_SUCCESS);
    uint8_t data[16] = {};
    uint64_t done = 0;
    EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), c.first) << c.retry;
    EXPECT_TRUE(log.Contains(c.log)) << log.Text();
    if (c.first != OS_STS_SUCCESS) {
      ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_SUCCESS);
      EXPECT_TRUE(log.Contains("IoctlSocket:: reconnecting...1 2 2"));
    }
    EXPECT_EQ(std::vector<uint8_t>(data, data + done), (std::vector<uint8_t>{0xa1, 0xa2}));
    std::vector<CallbackRecorder::Call> calls = connections.Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].payload, "02000000");
    EXPECT_EQ(calls[1].payload, "01000000");
    usb.reset();
    m_servers.reset();
  }
}

TEST_F(UsbNetwork, AUnitThatIsGoneOrSilentGivesSeven) {
  LogCapture log;
  auto usb = Open({"hold", "hold", "hold"});
  uint32_t timeout = 100, old = 0;
  uint64_t done = 0;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_TIMEOUTBULKIN, &timeout, 4, &old, 4, &done), OS_STS_SUCCESS);
  EXPECT_EQ(old, 60000u);
  uint8_t data[16];
  // Nothing comes within the time-out.
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_USB_OFFLINE);
  // The unit goes away: its ports refuse.
  m_servers->Finish();
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_USB_OFFLINE);
  EXPECT_TRUE(log.Contains("usb>>> device is offline..."));
  usb->Close(false, "test", __LINE__);

  // Ports nobody listens on: the open fails and leaves nothing open.
  COsUsb other(nullptr, nullptr, nullptr, nullptr, false);
  ASSERT_EQ(other.Init(OS_USBWIRE_ALL, kDeviceList, "", nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(other.FindFirstConstraint(&m_find), OS_STS_SUCCESS);
  EXPECT_EQ(other.OpenAndLock(Description()), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("Connect failed..."));
  EXPECT_EQ(other.IsLocked(), 0);
  EXPECT_EQ(other.Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_FAIL);
}

// A read without a buffer or of no bytes is no sign of a unit gone: the
// first is refused, the second moves nothing; the links stay up.
TEST_F(UsbNetwork, EmptyReadsLeaveTheLinksUp) {
  LogCapture log;
  CallbackRecorder connections;
  auto usb = Open({"hold", "send:0102", "hold"});
  ASSERT_EQ(usb->RegisterCallback(OS_USBPIPE_UNDEFINED, OS_USBCALLBACK_CONNECTIONCHANGED, CallbackRecorder::Record,
                                  &connections),
            OS_STS_SUCCESS);
  uint8_t data[16] = {};
  uint64_t done = 7;
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, nullptr, 16, &done), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("usb>>> data pointer is null...16"));
  EXPECT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, 0, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, 0u);
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(std::vector<uint8_t>(data, data + done), (std::vector<uint8_t>{1, 2}));
  // No link was taken for broken.
  EXPECT_TRUE(connections.Calls().empty());
}

// A unit that takes no connection, or takes the bytes but never reads
// them, gives 7 within the limits: a connection is given up after the
// connect limit and a write after its time-out, not after the system's
// minutes or never.
TEST_F(UsbNetwork, AUnitThatNeverAnswersOrNeverReadsGivesSevenInTime) {
  LogCapture log;
  COsUsbChannel::SetConnectLimit(200);
  {
    DeafPort full(true);
    ASSERT_FALSE(full.Port().empty());
    m_ports = {full.Port()};
    COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
    ASSERT_EQ(usb.Init(OS_USBWIRE_ALL, kDeviceList, "", nullptr), OS_STS_SUCCESS);
    ASSERT_EQ(usb.FindFirstConstraint(&m_find), OS_STS_SUCCESS);
    EXPECT_EQ(usb.OpenAndLock(Description()), OS_STS_FAIL);
    EXPECT_TRUE(log.Contains("Connect failed..."));
    EXPECT_EQ(usb.IsLocked(), 0);
  }
  DeafPort control(false), bulkIn(false), bulkOut(false);
  m_ports = {control.Port(), bulkIn.Port(), bulkOut.Port()};
  COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
  ASSERT_EQ(usb.Init(OS_USBWIRE_ALL, kDeviceList, "", nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(usb.FindFirstConstraint(&m_find), OS_STS_SUCCESS);
  ASSERT_EQ(usb.OpenAndLock(Description()), OS_STS_SUCCESS);
  uint32_t timeout = 200, old = 0;
  uint64_t done = 0;
  ASSERT_EQ(usb.Ioctl(OS_USBIOCTL_TIMEOUTBULKOUT, &timeout, 4, &old, 4, &done), OS_STS_SUCCESS);
  // More than the connection's buffers hold.
  std::vector<uint8_t> data(16777216, 0x55);
  EXPECT_EQ(usb.Ioctl(OS_USBIOCTL_BULKOUT, nullptr, 0, data.data(), data.size(), &done), OS_STS_USB_OFFLINE);
  EXPECT_LT(done, data.size());
  EXPECT_TRUE(log.Contains("usb>>> Socket write failed...5"));
  usb.Close(false, "test", __LINE__);
  COsUsbChannel::SetConnectLimit(-1);
}

// Giving the lock up closes the control connection; the next request opens
// every connection again.
TEST_F(UsbNetwork, UnlockingClosesTheControlLinkAndTheNextRequestReopens) {
  auto usb = Open({"hold", "send:77", "hold"});
  for (int i = 0; i < 3; ++i) EXPECT_NE(Await("accept " + std::to_string(i) + " 1"), "");
  ASSERT_EQ(usb->Unlock(), OS_STS_SUCCESS);
  uint8_t data[4] = {};
  uint64_t done = 0;
  ASSERT_EQ(usb->Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(data[0], 0x77);
  for (int i = 0; i < 3; ++i) EXPECT_NE(Await("accept " + std::to_string(i) + " 2"), "");
}

// Two requests on one connection would share its bytes and its cancel:
// while a read waits on the bulk-in pipe, a second is refused at once with
// 4 and never reaches the connection; another pipe works meanwhile; the
// cancel ends the first read, and the pipe takes requests again.
TEST_F(UsbNetwork, ARequestOnAPipeInUseIsRefused) {
  LogCapture log;
  COsUsbChannel::SetFactory(HeldChannel::New);
  struct Restore {
    ~Restore() { COsUsbChannel::SetFactory(nullptr); }
  } restore;
  m_ports = {"1", "2", "3"};
  COsUsb usb(nullptr, nullptr, nullptr, nullptr, false);
  ASSERT_EQ(usb.Init(OS_USBWIRE_ALL, kDeviceList, "", nullptr), OS_STS_SUCCESS);
  ASSERT_EQ(usb.FindFirstConstraint(&m_find), OS_STS_SUCCESS);
  ASSERT_EQ(usb.OpenAndLock(Description()), OS_STS_SUCCESS);
  uint8_t first[16];
  uint64_t firstDone = 0;
  EOSSTS firstResult = OS_STS_SUCCESS;
  std::thread reader([&] { firstResult = usb.Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, first, sizeof first, &firstDone); });
  for (int i = 0; i < 1000 && HeldChannel::s_reading.load() == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_EQ(HeldChannel::s_reading.load(), 1);

  uint8_t data[16];
  uint64_t done = 7;
  EXPECT_EQ(usb.Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_BUSY);
  EXPECT_EQ(done, 0u);
  EXPECT_TRUE(log.Contains("usb>>> a request is already running on pipe 1..."));
  EXPECT_EQ(usb.Ioctl(OS_USBIOCTL_BULKOUT, nullptr, 0, data, sizeof data, &done), OS_STS_SUCCESS);
  EXPECT_EQ(done, sizeof data);

  EXPECT_EQ(usb.Ioctl(OS_USBIOCTL_CANCELIOBULKIN, nullptr, 0, nullptr, 0, nullptr), OS_STS_SUCCESS);
  reader.join();
  EXPECT_EQ(firstResult, OS_STS_USB_CANCELLED);
  HeldChannel::s_hold = false;
  EXPECT_EQ(usb.Ioctl(OS_USBIOCTL_BULKIN, nullptr, 0, data, sizeof data, &done), OS_STS_SUCCESS);
  usb.Close(false, "test", __LINE__);
}

}  // namespace
