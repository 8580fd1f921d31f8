// The message-queue channel: a Python peer on librt's own calls, names that
// vanish once the connecting side has the queues, queues closed to other
// users, a megabyte each way, the floor of the read time-out, CancelSelect,
// peers that die, small read buffers, bad input, and the accept of a
// spawned peer.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <mqueue.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <regex>
#include <string>
#include <thread>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "../os_cossync_helpers.h"
#include "os_cossocket.h"
#include "os_cossocket_testutil.h"
#include "os_costhread.h"
#include "test_support.h"

namespace {
using sockettest::Flip;
using sockettest::ReadAll;
using sockettest::WriteAll;
using synctest::Fork;
using synctest::Pipe;
using synctest::Reap;

class SocketQueueTest : public sockettest::LocalChannelTest {
 protected:
  // The system names of the published pair: what we read, what we write.
  std::pair<std::string, std::string> QueueNames() const {
    size_t semicolon = m_port.find(';');
    return {"/" + sockettest::FilePart(m_port.substr(0, semicolon)), "/" + sockettest::FilePart(m_port.substr(semicolon + 1))};
  }
};

TEST_F(SocketQueueTest, APythonPeerExchangesATaskByThePublishedNames) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
  EXPECT_EQ("@MESSAGEQUEUE", m_address);
  const std::regex pattern(LogDirectory() + "/messagequeue/([rw])[0-9]{17}DRV2GUI_pid" + std::to_string(getpid()) +
                           "\\.messagequeue");
  std::smatch match;
  std::string readPath = m_port.substr(0, m_port.find(';')), writePath = m_port.substr(m_port.find(';') + 1);
  ASSERT_TRUE(std::regex_match(readPath, match, pattern)) << readPath;
  EXPECT_EQ("r", match[1]);
  ASSERT_TRUE(std::regex_match(writePath, match, pattern)) << writePath;
  EXPECT_EQ("w", match[1]);
  EXPECT_EQ(OS_STS_SUCCESS, creator.Accept(0, nullptr, nullptr));

  const char* peer = R"(
import ctypes, os, sys
rt = ctypes.CDLL('librt.so.1', use_errno=True)
rt.mq_open.restype = ctypes.c_int
rt.mq_open.argtypes = [ctypes.c_char_p, ctypes.c_int]
rt.mq_send.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_uint]
rt.mq_receive.restype = ctypes.c_ssize_t
rt.mq_receive.argtypes = [ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t, ctypes.POINTER(ctypes.c_uint)]
ours = '/' + os.path.basename(sys.argv[1].split(';')[0])
theirs = '/' + os.path.basename(sys.argv[1].split(';')[1])
to_driver = rt.mq_open(ours.encode(), os.O_WRONLY)
from_driver = rt.mq_open(theirs.encode(), os.O_RDONLY)
assert to_driver >= 0 and from_driver >= 0, ctypes.get_errno()
task = b'<task id="1"><interfaceopen/></task>'
assert rt.mq_send(to_driver, task, len(task), 1) == 0
buffer = ctypes.create_string_buffer(1024)
n = rt.mq_receive(from_driver, buffer, 1024, None)
print(buffer.raw[:n].decode(), flush=True)
)";
  filetest::PythonProcess python(peer, {m_port});
  std::string task;
  ASSERT_EQ(OS_STS_SUCCESS, ReadAll(creator, &task, 36));
  EXPECT_EQ("<task id=\"1\"><interfaceopen/></task>", task);
  uint64_t written = 0;
  ASSERT_EQ(OS_STS_SUCCESS, creator.WriteString("<task id=\"1\"><status>success</status></task>", &written));
  EXPECT_EQ("<task id=\"1\"><status>success</status></task>", python.ReadLine());
  EXPECT_EQ(0, python.Finish());
  // The creator owns the names until it closes.
  creator.Close();
  auto names = QueueNames();
  EXPECT_EQ(static_cast<mqd_t>(-1), mq_open(names.first.c_str(), O_RDONLY));
  EXPECT_EQ(ENOENT, errno);
}

TEST_F(SocketQueueTest, TheConnectingSideRemovesTheNamesAndAMegabyteCrossesEachWay) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
  auto names = QueueNames();
  const size_t kSize = 1 << 20;
  const std::string data = sockettest::RandomBytes(kSize, 9);
  Pipe connected;
  pid_t child = Fork([&] {
    COsSocket peer;
    if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
    connected.Send('c');
    std::string got;
    if (ReadAll(peer, &got, kSize) != OS_STS_SUCCESS || got != data) return 2;
    return WriteAll(peer, Flip(got)) == OS_STS_SUCCESS ? 0 : 3;
  });
  ASSERT_EQ('c', connected.Receive());
  // Nobody else can open them now; a second connector finds nothing.
  for (const std::string& name : {names.first, names.second}) {
    EXPECT_EQ(static_cast<mqd_t>(-1), mq_open(name.c_str(), O_RDWR)) << name;
    EXPECT_EQ(ENOENT, errno);
  }
  COsSocket second;
  EXPECT_EQ(OS_STS_FAIL, second.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false));
  sockettest::ExpectFlippedBack(creator, data);
  EXPECT_EQ(0, Reap(child));
}

TEST_F(SocketQueueTest, OtherUsersCannotOpenTheQueues) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a child as another user";
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
  auto names = QueueNames();
  std::vector<long> results = filetest::RunUnprivileged([&] {
    std::vector<long> errors;
    for (const std::string& name : {names.first, names.second}) {
      mqd_t mqd = mq_open(name.c_str(), O_WRONLY);
      errors.push_back(mqd == static_cast<mqd_t>(-1) ? errno : 0);
    }
    return errors;
  });
  EXPECT_EQ((std::vector<long>{EACCES, EACCES}), results);
}

TEST_F(SocketQueueTest, SingleQueuesPickTheirDirectionFromTheLetter) {
  for (EOSSOCKETTYPE type : {OS_SOCKETTYPE_MESSAGEQUEUE_READONLY, OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY}) {
    SCOPED_TRACE(type);
    COsSocket creator;
    Publish(creator, type);
    EXPECT_EQ(type == OS_SOCKETTYPE_MESSAGEQUEUE_READONLY ? 'r' : 'w', sockettest::FilePart(m_port)[0]);
    ExchangeOneWay(creator, type == OS_SOCKETTYPE_MESSAGEQUEUE_READONLY);
  }
}

TEST_F(SocketQueueTest, AReadWaitsAtLeastTheFloorThenTimesOut) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
  char buffer[2048];
  uint64_t read = 9;
  // Time-out 0 is raised to the floor (300 ms here, ten seconds unless a
  // test shortens it); ReadString reports a local transport's time-out as 12.
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_TIMEOUT, creator.Read(buffer, sizeof buffer, &read, 0, 0, nullptr, nullptr));
  EXPECT_GE(filetest::MillisecondsSince(start), 250);
  EXPECT_EQ(0u, read);
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_SOCKET_READTIMEOUT, creator.ReadString(buffer, sizeof buffer, &read, 0, 0));
  EXPECT_GE(filetest::MillisecondsSince(start), 250);
}

TEST_F(SocketQueueTest, CancelSelectEndsABlockedRead) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
  std::thread canceller([&creator] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    creator.CancelSelect();
  });
  char buffer[2048];
  uint64_t read = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_SOCKET_CANCELLED, creator.Read(buffer, sizeof buffer, &read, 60000, 0, nullptr, nullptr));
  canceller.join();
  EXPECT_LT(filetest::MillisecondsSince(start), 5000);
  // A cancel set while nothing waits ends the next read at once.
  creator.CancelSelect();
  EXPECT_EQ(OS_STS_SOCKET_CANCELLED, creator.Read(buffer, sizeof buffer, &read, 60000, 0, nullptr, nullptr));
}

TEST_F(SocketQueueTest, CancelSelectEndsAWriteToAFullQueue) {
  // Nobody reads the queue: ten messages fill it, the rest waits for room.
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY);
  std::thread canceller([&creator] {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    creator.CancelSelect();
  });
  std::string data(100 * 1024, 'w');
  uint64_t written = 0;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_SOCKET_CANCELLED, creator.Write(data.data(), data.size(), &written, 3000, 0));
  canceller.join();
  EXPECT_LT(filetest::MillisecondsSince(start), 2000);
  EXPECT_EQ(10u * 1024, written);
}

TEST_F(SocketQueueTest, APeerThatDiesEndsReadsAndWritesWith13) {
  // The creating side watches its child (MonitorChildProcess); the
  // connecting side the creator named in the port. This side is blocked in
  // a read, or in a write to a full queue that nobody reads.
  struct Case {
    bool childCreates;
    bool blockInWrite;
  };
  for (Case c : {Case{false, false}, Case{false, true}, Case{true, false}, Case{true, true}}) {
    SCOPED_TRACE(testing::Message() << "child creates " << c.childCreates << ", write " << c.blockInWrite);
    Pipe published, die;
    COsSocket socket;
    pid_t child;
    if (c.childCreates) {
      child = Fork([&] {
        COsSocket creator;
        if (creator.Create(nullptr, "", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE, "DRV2GUI") != OS_STS_SUCCESS) return 1;
        char szAddress[64], szPort[2048];
        creator.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort);
        testsupport::WriteFile(testsupport::RootPath("port"), szPort);
        published.Send('p');
        die.Receive();
        raise(SIGKILL);
        return 2;
      });
      ASSERT_EQ('p', published.Receive());
      std::string port = testsupport::ReadFile(testsupport::RootPath("port"));
      ASSERT_NE(std::string::npos, port.find("_pid" + std::to_string(child) + "."));
      ASSERT_EQ(OS_STS_SUCCESS, socket.Connect("@MESSAGEQUEUE", port.c_str(), "DRV2GUI", 0, false));
    } else {
      Publish(socket, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
      child = Fork([&] {
        COsSocket peer;
        if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
        die.Receive();
        raise(SIGKILL);
        return 2;
      });
      ASSERT_EQ(OS_STS_SUCCESS, socket.MonitorChildProcess(static_cast<uint64_t>(child)));
    }
    std::thread killer([&die] {
      std::this_thread::sleep_for(std::chrono::milliseconds(150));
      die.Send('k');
    });
    char buffer[2048];
    uint64_t n = 0;
    auto start = std::chrono::steady_clock::now();
    if (c.blockInWrite) {
      // Ten messages fill the queue; the rest waits for a reader.
      std::string data(100 * 1024, 'w');
      EXPECT_EQ(OS_STS_SOCKET_PEERGONE, socket.Write(data.data(), data.size(), &n, 60000, 0));
      EXPECT_EQ(10u * 1024, n);
    } else {
      EXPECT_EQ(OS_STS_SOCKET_PEERGONE, socket.Read(buffer, sizeof buffer, &n, 60000, 0, nullptr, nullptr));
    }
    EXPECT_LT(filetest::MillisecondsSince(start), 5000);
    killer.join();
    // A write to a peer that has gone stops before sending.
    if (c.childCreates) {
      EXPECT_EQ(OS_STS_SOCKET_PEERGONE, socket.Write("late", 4, &n, 0, 0));
      EXPECT_EQ(0u, n);
    }
    EXPECT_EQ(128 + SIGKILL, Reap(child));
  }
}

TEST_F(SocketQueueTest, ASmallBufferTakesAMessageInPieces) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READONLY);
  std::string first = sockettest::RandomBytes(1000, 1), second = "next message";
  Pipe done;
  pid_t child = Fork([&] {
    COsSocket peer;
    if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
    if (WriteAll(peer, first) != OS_STS_SUCCESS || WriteAll(peer, second) != OS_STS_SUCCESS) return 2;
    return done.Receive() == 'd' ? 0 : 3;
  });
  // One message per read; a 100-byte buffer takes the first in ten pieces.
  std::string got;
  char buffer[100];
  for (int i = 0; i < 10; ++i) {
    uint64_t read = 0;
    ASSERT_EQ(OS_STS_SUCCESS, creator.Read(buffer, sizeof buffer, &read, 5000, 0, nullptr, nullptr));
    ASSERT_EQ(100u, read);
    got.append(buffer, read);
  }
  EXPECT_TRUE(got == first);
  uint64_t read = 0;
  ASSERT_EQ(OS_STS_SUCCESS, creator.ReadString(buffer, sizeof buffer, &read, 5000, 0));
  EXPECT_EQ(second, std::string(buffer));
  done.Send('d');
  EXPECT_EQ(0, Reap(child));
}

TEST_F(SocketQueueTest, BadInputIsRefused) {
  testsupport::LogCapture log;
  // More messages than the system allows.
  Set(OS_CFGTAG_FORCEMAXMSG, "100000");
  COsSocket socket;
  EXPECT_EQ(OS_STS_FAIL, socket.Create(nullptr, "", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE, "DRV2GUI"));
  EXPECT_TRUE(log.Contains("mq_open read failed..."));
  EXPECT_EQ(OS_STS_FAIL, socket.Create(nullptr, "", OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY, "DRV2GUI"));
  EXPECT_TRUE(log.Contains("mq_open failed...<"));
  Set(OS_CFGTAG_FORCEMAXMSG, "10");
  // Queues that do not exist, a pair port without its second name.
  struct Case {
    std::string port;
    const char* message;
  };
  const Case cases[] = {
      {testsupport::RootPath("rmissing.messagequeue"), "mq_open failed...<"},
      {testsupport::RootPath("rmissing.messagequeue") + ";" + testsupport::RootPath("wmissing.messagequeue"),
       "mq_open read failed..."},
      {"zmissing", "bad port...<zmissing>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    COsSocket peer;
    EXPECT_EQ(OS_STS_FAIL, peer.Connect("@MESSAGEQUEUE", c.port.c_str(), "DRV2GUI", 0, false));
    EXPECT_TRUE(log.Contains(c.message));
  }
  COsSocket pair;
  EXPECT_EQ(OS_STS_FAIL, pair.Create("somewhere", "onlyone", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE, "DRV2GUI"));
  EXPECT_TRUE(log.Contains("badly constructed name...<onlyone>"));
  // Create twice.
  ASSERT_EQ(OS_STS_SUCCESS, socket.Create(nullptr, "", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE, "DRV2GUI"));
  EXPECT_EQ(OS_STS_FAIL, socket.Create(nullptr, "", OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE, "DRV2GUI"));
  EXPECT_TRUE(log.Contains("m_possocketimpl is not null..."));
  // Nothing to send is sent at once; TCP-only calls answer 0.
  uint64_t written = 9;
  EXPECT_EQ(OS_STS_SUCCESS, socket.Write("", 0, &written, 0, 0));
  EXPECT_EQ(0u, written);
  EXPECT_EQ(OS_STS_SUCCESS, socket.Listen(1));
  EXPECT_EQ(OS_STS_SUCCESS, socket.SetBufferSizes(1, 1));
}

}  // namespace

// With the thread that spawned the peer, Accept waits until that child has
// opened the queues (their names are gone), ends at once when it dies, at
// its time-out when it never comes, and with CancelSelect; a later read is
// not cancelled by it.
TEST_F(SocketQueueTest, AcceptWaitsForTheSpawnedChildToOpenTheQueues) {
  const char* szConnector = R"(
import ctypes, os, sys, time
time.sleep(float(sys.argv[2]))
rt = ctypes.CDLL('librt.so.1', use_errno=True)
rt.mq_open.restype = ctypes.c_int
rt.mq_open.argtypes = [ctypes.c_char_p, ctypes.c_int]
rt.mq_unlink.argtypes = [ctypes.c_char_p]
for part in sys.argv[1].split(';'):
    name = ('/' + os.path.basename(part)).encode()
    assert rt.mq_open(name, os.O_RDWR) >= 0, ctypes.get_errno()
    rt.mq_unlink(name)
time.sleep(float(sys.argv[3]))
)";
  const struct {
    const char* szDelay;  // before the child opens the queues
    const char* szLife;   // after
    uint32_t u32Milliseconds;
    bool blCancel;
    EOSSTS eossts;
    int64_t i64MinMs;
  } acase[] = {
      {"0.3", "5", 10000, false, OS_STS_SUCCESS, 250},
      {"30", "0", 300, false, OS_STS_TIMEOUT, 250},
      {"30", "0", OS_SYNC_INFINITE, true, OS_STS_SOCKET_CANCELLED, 250},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.eossts);
    COsSocket creator;
    Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
    COsThread spawner;
    ASSERT_EQ(OS_STS_SUCCESS, spawner.Spawn(0, SCANDRV_PYTHON, SCANDRV_PYTHON, "-c", szConnector, m_port.c_str(),
                                            c.szDelay, c.szLife, nullptr));
    std::thread threadCancel;
    if (c.blCancel) {
      threadCancel = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        creator.CancelSelect();
      });
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(c.eossts, creator.Accept(c.u32Milliseconds, &spawner, nullptr));
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(ms, c.i64MinMs);
    EXPECT_LT(ms, 5000);
    if (threadCancel.joinable()) threadCancel.join();
    if (c.blCancel) {
      char ac[1024];
      uint64_t read = 0;
      EXPECT_EQ(OS_STS_TIMEOUT, creator.Read(ac, sizeof ac, &read, 100, 0, nullptr, nullptr));
    }
    spawner.SpawnStop();
  }
  // A child that has ended before or during the wait.
  for (const char* szLife : {"0", "0.3"}) {
    SCOPED_TRACE(szLife);
    COsSocket creator;
    Publish(creator, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
    COsThread spawner;
    ASSERT_EQ(OS_STS_SUCCESS, spawner.Spawn(0, "/bin/sleep", "sleep", szLife, nullptr));
    if (std::string(szLife) == "0") {
      EXPECT_EQ(OS_STS_SUCCESS, spawner.SpawnWait(5000));
    }
    EXPECT_EQ(OS_STS_SOCKET_PEERGONE, creator.Accept(OS_SYNC_INFINITE, &spawner, nullptr));
  }
}
