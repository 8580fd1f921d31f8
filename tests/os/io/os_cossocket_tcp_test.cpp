// The TCP channel against a Python peer and the system's own view of the
// listening socket (ss): the published port, the loopback binding, a
// megabyte each way, one peer per channel, a peer that closes, CancelSelect
// from another thread, and the channel API's refusals.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "os_costhread.h"
#include "os_coscfg.h"
#include "os_cossocket.h"
#include "os_cossocketimpl.h"
#include "os_cossync.h"
#include "test_support.h"

namespace {

// A Python client of argv[1] (the port). It reports each step on a line.
const char* const kClientPrelude = R"(
import socket, sys
s = socket.create_connection(('127.0.0.1', int(sys.argv[1])))
print('connected', flush=True)
def receive(n):
    data = b''
    while len(data) < n:
        chunk = s.recv(n - len(data))
        if not chunk:
            break
        data += chunk
    return data
)";

class SocketTcpTest : public ::testing::Test {
 protected:
  void SetUp() override { COsSocket::SetPassTime(50); }
  void TearDown() override { COsSocket::SetPassTime(-1); }

  // Create, Listen and the published port.
  std::string Serve(COsSocket& a_socket, const char* a_szAddress = nullptr) {
    EXPECT_EQ(OS_STS_SUCCESS, a_socket.Create(a_szAddress, "0", OS_SOCKETTYPE_TCP, "test"));
    EXPECT_EQ(OS_STS_SUCCESS, a_socket.Listen(1));
    char szAddress[64] = "", szPort[16] = "";
    EXPECT_EQ(OS_STS_SUCCESS, a_socket.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort));
    m_address = szAddress;
    return szPort;
  }

  std::string m_address;
};

// The local address column of the listening TCP sockets on that port.
std::vector<std::string> ListenersOn(const std::string& a_port) {
  std::vector<std::string> found;
  for (const std::string& line : testsupport::Lines(testsupport::RunProgram({"ss", "-ltnH"}))) {
    std::vector<std::string> columns;
    size_t pos = 0;
    while ((pos = line.find_first_not_of(' ', pos)) != std::string::npos) {
      size_t end = line.find(' ', pos);
      columns.push_back(line.substr(pos, end - pos));
      pos = end;
    }
    if (columns.size() >= 4 && columns[3].size() > a_port.size() &&
        columns[3].compare(columns[3].size() - a_port.size() - 1, std::string::npos, ":" + a_port) == 0)
      found.push_back(columns[3]);
  }
  return found;
}

TEST_F(SocketTcpTest, PortZeroPublishesTheChosenPortBoundToTheLoopbackOnly) {
  struct Case {
    const char* address;
    const char* published;
  };
  const Case cases[] = {{nullptr, "127.0.0.1"}, {"", "127.0.0.1"}, {"0.0.0.0", "0.0.0.0"}, {"127.0.0.1", "127.0.0.1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.published);
    COsSocket socket;
    std::string port = Serve(socket, c.address);
    EXPECT_EQ(c.published, m_address);
    ASSERT_NE("0", port);
    EXPECT_EQ(std::vector<std::string>{"127.0.0.1:" + port}, ListenersOn(port));
    // A connecting side reaches it with the published address and port.
    COsSocket peer;
    EXPECT_EQ(OS_STS_SUCCESS, peer.Connect(m_address.c_str(), port.c_str(), "test", 0, false));
    EXPECT_EQ(OS_STS_SUCCESS, socket.Accept(1000, nullptr, nullptr));
  }
}

TEST_F(SocketTcpTest, AMegabyteCrossesEachWayWithAPythonPeer) {
  COsSocket socket;
  std::string port = Serve(socket);
  const size_t kSize = 1 << 20;
  std::string data(kSize, '\0');
  std::mt19937 random(3);
  for (char& c : data) c = static_cast<char>(random());
  // The peer sends back what it received with every byte changed.
  filetest::PythonProcess peer(std::string(kClientPrelude) + R"(
data = receive(int(sys.argv[2]))
print(len(data), flush=True)
s.sendall(bytes(b ^ 0x5A for b in data))
s.close()
)",
                               {port, std::to_string(kSize)});
  ASSERT_EQ(OS_STS_SUCCESS, socket.Accept(5000, nullptr, nullptr));
  ASSERT_EQ("connected", peer.ReadLine());
  uint64_t written = 0;
  ASSERT_EQ(OS_STS_SUCCESS, socket.Write(data.data(), kSize, &written, 0, 0));
  EXPECT_EQ(kSize, written);
  EXPECT_EQ(std::to_string(kSize), peer.ReadLine());
  std::string back(kSize, '\0');
  size_t got = 0;
  while (got < kSize) {
    uint64_t read = 0;
    ASSERT_EQ(OS_STS_SUCCESS, socket.Read(back.data() + got, kSize - got, &read, 1000, 0, nullptr, nullptr));
    got += read;
  }
  for (char& c : back) c = static_cast<char>(c ^ 0x5A);
  EXPECT_TRUE(data == back);
  uint64_t read = 99;
  char c;
  EXPECT_EQ(OS_STS_SOCKET_PEERGONE, socket.Read(&c, 1, &read, 1000, 0, nullptr, nullptr));
  EXPECT_EQ(0u, read);
  EXPECT_EQ(0, peer.Finish());
}

// A child spawned to connect that dies, before or during the wait, ends it
// with 13 instead of leaving the creator waiting for its whole time-out (or
// for good, with no time-out).
TEST_F(SocketTcpTest, AcceptEndsWhenTheSpawnedChildHasDied) {
  for (const char* szLife : {"0", "0.3"}) {
    SCOPED_TRACE(szLife);
    COsSocket socket;
    Serve(socket);
    COsThread spawner;
    ASSERT_EQ(OS_STS_SUCCESS, spawner.Spawn(0, "/bin/sleep", "sleep", szLife, nullptr));
    if (std::string(szLife) == "0") { EXPECT_EQ(OS_STS_SUCCESS, spawner.SpawnWait(5000)); }
    EXPECT_EQ(OS_STS_SOCKET_PEERGONE, socket.Accept(OS_SYNC_INFINITE, &spawner, nullptr));
  }
}

TEST_F(SocketTcpTest, OnePeerPerChannelAndAcceptHonoursItsTimeOut) {
  testsupport::LogCapture log;
  COsSocket socket;
  std::string port = Serve(socket);
  // A child that never connects.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_TIMEOUT, socket.Accept(200, nullptr, nullptr));
  EXPECT_GE(filetest::MillisecondsSince(start), 190);
  EXPECT_EQ(OS_STS_TIMEOUT, socket.Accept(0, nullptr, nullptr));
  COsSocket peer;
  ASSERT_EQ(OS_STS_SUCCESS, peer.Connect(nullptr, port.c_str(), "test", 0, false));
  EXPECT_EQ(OS_STS_SUCCESS, socket.Accept(OS_SYNC_INFINITE, nullptr, nullptr));
  // The listening socket is gone: no second peer.
  EXPECT_EQ(OS_STS_BAD_ARGUMENT, socket.Accept(100, nullptr, nullptr));
  EXPECT_TRUE(log.Contains("sock>>> accept: must call SocketCreate() first..."));
  EXPECT_TRUE(ListenersOn(port).empty());
  COsSocket second;
  EXPECT_EQ(OS_STS_FAIL, second.Connect("127.0.0.1", port.c_str(), "test", 0, false));
  EXPECT_TRUE(log.Contains("sock>>> connect: connect failed..."));
}

TEST_F(SocketTcpTest, APeerThatClosesEndsReadsAndWrites) {
  COsSocket socket;
  std::string port = Serve(socket);
  filetest::PythonProcess peer(std::string(kClientPrelude) + R"(
s.sendall(b'half a task')
s.close()
print('closed', flush=True)
)",
                               {port});
  ASSERT_EQ(OS_STS_SUCCESS, socket.Accept(5000, nullptr, nullptr));
  ASSERT_EQ("connected", peer.ReadLine());
  ASSERT_EQ("closed", peer.ReadLine());
  char buffer[64];
  uint64_t read = 0;
  ASSERT_EQ(OS_STS_SUCCESS, socket.ReadString(buffer, sizeof buffer, &read, 1000, 0));
  EXPECT_STREQ("half a task", buffer);
  EXPECT_EQ(11u, read);
  EXPECT_EQ(OS_STS_SOCKET_PEERGONE, socket.ReadString(buffer, sizeof buffer, &read, 1000, 0));
  EXPECT_EQ(0, peer.Finish());
  // Writing to it fails (the first send may still be taken by the
  // system); the process sees no SIGPIPE.
  std::string block(64 * 1024, 'w');
  EOSSTS eossts = OS_STS_SUCCESS;
  uint64_t written = 0;
  for (int i = 0; i < 50 && eossts == OS_STS_SUCCESS; ++i)
    eossts = socket.Write(block.data(), block.size(), &written, 0, 0);
  EXPECT_EQ(OS_STS_FAIL, eossts);
  EXPECT_EQ(0u, written);
}

TEST_F(SocketTcpTest, ReadStringKeepsRoomForTheTerminator) {
  COsSocket socket;
  std::string port = Serve(socket);
  filetest::PythonProcess peer(std::string(kClientPrelude) + R"(
s.sendall(b'0123456789')
print(receive(int(sys.argv[2])).decode(), flush=True)
)",
                               {port, "5"});
  ASSERT_EQ(OS_STS_SUCCESS, socket.Accept(5000, nullptr, nullptr));
  ASSERT_EQ("connected", peer.ReadLine());
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  uint64_t read = 0;
  // Let all ten bytes arrive, then read into eight.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(OS_STS_SUCCESS, socket.ReadString(buffer, sizeof buffer, &read, 1000, 0));
  EXPECT_EQ(7u, read);
  EXPECT_STREQ("0123456", buffer);
  ASSERT_EQ(OS_STS_SUCCESS, socket.ReadString(buffer, sizeof buffer, &read, 1000, 0));
  EXPECT_STREQ("789", buffer);
  // WriteString sends the text without its terminator.
  uint64_t written = 0;
  ASSERT_EQ(OS_STS_SUCCESS, socket.WriteString("hello", &written));
  EXPECT_EQ(5u, written);
  EXPECT_EQ("hello", peer.ReadLine());
}

TEST_F(SocketTcpTest, CancelSelectFromAnotherThreadEndsAWait) {
  // Each blocked call, ended by another thread; the write is blocked by a
  // peer that never reads.
  enum Call { kAccept, kSelect, kRead, kWrite };
  for (Call call : {kAccept, kSelect, kRead, kWrite}) {
    SCOPED_TRACE(call);
    COsSocketImpl impl;
    ASSERT_EQ(OS_STS_SUCCESS, impl.Create(nullptr, "0", OS_SOCKETTYPE_TCP, "test"));
    ASSERT_EQ(OS_STS_SUCCESS, impl.Listen(1));
    char szAddress[64], szPort[16];
    ASSERT_EQ(OS_STS_SUCCESS, impl.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort));
    COsSocket peer;
    if (call != kAccept) {
      ASSERT_EQ(OS_STS_SUCCESS, peer.Connect(szAddress, szPort, "test", 0, false));
      ASSERT_EQ(OS_STS_SUCCESS, impl.Accept(1000, nullptr));
    }
    std::atomic<bool> ended{false};
    std::thread canceller([&impl, &peer, &ended] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      impl.CancelSelect();
      // Should the cancel not end the call, the peer's end does, 10 s on:
      // far beyond what a loaded sanitizer run takes to end it.
      for (int i = 0; i < 200 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      if (!ended) peer.Close();
    });
    auto start = std::chrono::steady_clock::now();
    EOSSTS eossts = OS_STS_SUCCESS;
    char buffer[16];
    uint64_t count = 0;
    int readable = -1;
    const std::string block(32 << 20, 'w');
    switch (call) {
      case kAccept: eossts = impl.Accept(OS_SYNC_INFINITE, nullptr); break;
      case kSelect: eossts = impl.Select(&readable, nullptr, nullptr, 60000, nullptr, nullptr); break;
      case kRead: eossts = impl.Read(buffer, sizeof buffer, &count, 60000, false); break;
      case kWrite: eossts = impl.Write(block.data(), block.size(), &count, 60000); break;
    }
    ended = true;
    canceller.join();
    EXPECT_EQ(OS_STS_SOCKET_CANCELLED, eossts);
    EXPECT_LT(filetest::MillisecondsSince(start), 8000);
    if (call == kWrite) {
      // What went before the cancel is reported.
      EXPECT_GT(count, 0u);
      EXPECT_LT(count, block.size());
    }
    // The flag is spent: the next wait times out as usual.
    EXPECT_EQ(OS_STS_TIMEOUT, impl.Select(&readable, nullptr, nullptr, 100, nullptr, nullptr));
  }
}

TEST_F(SocketTcpTest, SelectReportsReadiness) {
  COsSocketImpl impl;
  int readable = -1, writable = -1, error = -1;
  EXPECT_EQ(OS_STS_BAD_ARGUMENT, impl.Select(&readable, nullptr, nullptr, 0, nullptr, nullptr));
  ASSERT_EQ(OS_STS_SUCCESS, impl.Create(nullptr, "0", OS_SOCKETTYPE_TCP, "test"));
  ASSERT_EQ(OS_STS_SUCCESS, impl.Listen(1));
  char szAddress[64], szPort[16];
  ASSERT_EQ(OS_STS_SUCCESS, impl.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort));
  COsSocket peer;
  ASSERT_EQ(OS_STS_SUCCESS, peer.Connect(szAddress, szPort, "test", 0, false));
  // A pending connection makes the listening socket readable.
  EXPECT_EQ(OS_STS_SUCCESS, impl.Select(&readable, nullptr, nullptr, 1000, nullptr, nullptr));
  EXPECT_EQ(1, readable);
  ASSERT_EQ(OS_STS_SUCCESS, impl.Accept(1000, nullptr));
  EXPECT_EQ(OS_STS_SUCCESS, impl.Select(&readable, &writable, &error, 1000, nullptr, nullptr));
  EXPECT_EQ(0, readable);
  EXPECT_EQ(1, writable);
  EXPECT_EQ(0, error);
  uint64_t written = 0;
  ASSERT_EQ(OS_STS_SUCCESS, peer.WriteString("x", &written));
  EXPECT_EQ(OS_STS_SUCCESS, impl.Select(&readable, nullptr, nullptr, 1000, nullptr, nullptr));
  EXPECT_EQ(1, readable);
}

TEST_F(SocketTcpTest, BadPortsAndAddressesAreRefused) {
  testsupport::LogCapture log;
  COsSocket taken;
  std::string port = Serve(taken);
  struct Case {
    const char* port;
    const char* message;
  };
  const Case cases[] = {
      {"abc", "bad port...<abc>"},
      {"12ab", "bad port...<12ab>"},
      {"-1", "bad port...<-1>"},
      {"70000", "bad port...<70000>"},
      {port.c_str(), "sock>>> create: bind failed..."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    COsSocket socket;
    EXPECT_EQ(OS_STS_FAIL, socket.Create(nullptr, c.port, OS_SOCKETTYPE_TCP, "test"));
    EXPECT_TRUE(log.Contains(c.message));
    // Nothing stays open: the channel takes another Create.
    EXPECT_EQ(OS_STS_SUCCESS, socket.Create(nullptr, "0", OS_SOCKETTYPE_TCP, "test"));
  }
  COsSocket peer;
  EXPECT_EQ(OS_STS_FAIL, peer.Connect("127.0.0.1", "abc", "test", 0, false));
  EXPECT_EQ(OS_STS_FAIL, peer.Connect("127.0.0.1", "0", "test", 0, false));
  EXPECT_EQ(OS_STS_FAIL, peer.Connect("no.such.host.invalid", port.c_str(), "test", 0, false));
  EXPECT_TRUE(log.Contains("sock>>> connect: bad address...<no.such.host.invalid>"));
}

TEST_F(SocketTcpTest, LocalAddressesNeedTheSlotLetter) {
  testsupport::LogCapture log;
  const char* const ports[][2] = {
      {"@SHAREDMEMORY", "/tmp/xfile.socket"},
      {"@SHAREDMEMORY", "/tmp/dir/"},
      {"@SHAREDMEMORY", ""},
      {"@MESSAGEQUEUE", "qfile"},
  };
  for (const auto& port : ports) {
    COsSocket socket;
    EXPECT_EQ(OS_STS_FAIL, socket.Connect(port[0], port[1], "test", 0, false));
    EXPECT_TRUE(log.Contains(std::string("bad port...<") + port[1] + ">"));
    uint64_t read = 0;
    char c;
    EXPECT_EQ(OS_STS_FAIL, socket.Read(&c, 1, &read, 0, 0, nullptr, nullptr));  // closed again
  }
}

TEST_F(SocketTcpTest, AChannelRefusesCallsOutOfOrder) {
  testsupport::LogCapture log;
  COsSocket socket;
  char buffer[16], szAddress[64], szPort[16];
  uint64_t n = 7;
  // Before Create or Connect every call is refused.
  EXPECT_EQ(OS_STS_FAIL, socket.Listen(1));
  EXPECT_EQ(OS_STS_FAIL, socket.Accept(0, nullptr, nullptr));
  EXPECT_EQ(OS_STS_FAIL, socket.Write("x", 1, &n, 0, 0));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(OS_STS_FAIL, socket.WriteString("x", &n));
  n = 7;
  EXPECT_EQ(OS_STS_FAIL, socket.Read(buffer, sizeof buffer, &n, 0, 0, nullptr, nullptr));
  EXPECT_EQ(0u, n);
  EXPECT_EQ(OS_STS_FAIL, socket.ReadString(buffer, sizeof buffer, &n, 0, 0));
  EXPECT_EQ(OS_STS_FAIL, socket.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort));
  EXPECT_EQ(OS_STS_FAIL, socket.MonitorChildProcess(1));
  EXPECT_EQ(OS_STS_FAIL, socket.CancelSelect());
  EXPECT_EQ(OS_STS_FAIL, socket.SetBufferSizes(4096, 4096));
  EXPECT_EQ(OS_STS_FAIL, socket.SetRetry(3));
  EXPECT_EQ(OS_STS_FAIL, socket.SetSleepTime(3));
  EXPECT_TRUE(log.Contains("m_possocketimpl is null..."));
  EXPECT_EQ(OS_STS_SUCCESS, socket.Close());

  // Not transports, and no port.
  for (int type : {0, 2}) {
    EXPECT_EQ(OS_STS_FAIL, socket.Create(nullptr, "0", static_cast<EOSSOCKETTYPE>(type), "test"));
    EXPECT_TRUE(log.Contains("Unsupported..." + std::to_string(type)));
  }
  EXPECT_EQ(OS_STS_FAIL, socket.Create(nullptr, nullptr, OS_SOCKETTYPE_TCP, "test"));
  EXPECT_EQ(OS_STS_FAIL, socket.Connect(nullptr, nullptr, "test", 0, false));
  EXPECT_TRUE(log.Contains("a_szPort is null..."));

  // Once open, no second Create or Connect; a TCP channel that has not
  // connected has nothing to read or write.
  ASSERT_EQ(OS_STS_SUCCESS, socket.Create(nullptr, "0", OS_SOCKETTYPE_TCP, "test"));
  EXPECT_EQ(OS_STS_FAIL, socket.Create(nullptr, "0", OS_SOCKETTYPE_TCP, "test"));
  EXPECT_EQ(OS_STS_FAIL, socket.Connect(nullptr, "1", "test", 0, false));
  EXPECT_TRUE(log.Contains("m_possocketimpl is not null..."));
  EXPECT_EQ(OS_STS_BAD_ARGUMENT, socket.Write("x", 1, &n, 0, 0));
  EXPECT_TRUE(log.Contains("sock>>> write: must open a socket first..."));
  EXPECT_EQ(OS_STS_BAD_ARGUMENT, socket.Read(buffer, sizeof buffer, &n, 0, 0, nullptr, nullptr));
  EXPECT_TRUE(log.Contains("sock>>> read: must open a socket first..."));
  EXPECT_EQ(OS_STS_BAD_ARGUMENT, socket.ReadString(buffer, sizeof buffer, &n, 0, 0));
  EXPECT_TRUE(log.Contains("sock>>> readstring: must open a socket first..."));
  // Bad buffers.
  EXPECT_EQ(OS_STS_FAIL, socket.Write(nullptr, 1, &n, 0, 0));
  EXPECT_EQ(OS_STS_FAIL, socket.Read(nullptr, 1, &n, 0, 0, nullptr, nullptr));
  EXPECT_EQ(OS_STS_FAIL, socket.Read(buffer, 0, &n, 0, 0, nullptr, nullptr));
  EXPECT_EQ(OS_STS_FAIL, socket.ReadString(buffer, 1, &n, 0, 0));
  EXPECT_EQ(OS_STS_FAIL, socket.WriteString(nullptr, &n));
  EXPECT_EQ(OS_STS_FAIL, socket.GetAddress(szAddress, 4, szPort, sizeof szPort));
  EXPECT_EQ(OS_STS_FAIL, socket.GetAddress(nullptr, 0, szPort, sizeof szPort));
  // The retry count and sleep time are kept, nothing more.
  EXPECT_EQ(8, socket.GetRetry());
  EXPECT_EQ(100, socket.GetSleepTime());
  EXPECT_EQ(OS_STS_SUCCESS, socket.SetRetry(3));
  EXPECT_EQ(OS_STS_SUCCESS, socket.SetSleepTime(5));
  EXPECT_EQ(3, socket.GetRetry());
  EXPECT_EQ(5, socket.GetSleepTime());
  EXPECT_EQ(OS_STS_SUCCESS, socket.SetBufferSizes(64 * 1024, 64 * 1024));
  EXPECT_EQ(OS_STS_SUCCESS, socket.Close());
  EXPECT_EQ(OS_STS_FAIL, socket.Listen(1));
}

TEST(SocketPreferredTypeTest, FollowsForceGuiSockets) {
  EXPECT_EQ(OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE, COsSocket::GetPreferredSocketType());  // no store yet
  OsCfgVersion version{"04", "10", "02", "00", "28", "07", "2015"};
  COsCfg cfg("driver", OS_CFGENTITY_UTILITY, nullptr, &version, false, nullptr);
  const std::pair<const char*, EOSSOCKETTYPE> cases[] = {
      {"", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE},  {"1", OS_SOCKETTYPE_TCP},
      {"2", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE}, {"3", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE},
      {"4", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE}, {"5", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE},
      {"6", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE}, {"8", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE},
      {"tcp", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    ASSERT_EQ(OS_STS_SUCCESS, cfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEGUISOCKETS, c.first));
    EXPECT_EQ(c.second, COsSocket::GetPreferredSocketType());
  }
}

}  // namespace
