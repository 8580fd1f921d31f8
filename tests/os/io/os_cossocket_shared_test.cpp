// The shared-memory channel between processes: published names and files,
// the handshake as a Python reader sees it, a megabyte each way, a peer
// built only from the ring and the named events, CancelSelect on either
// side, peers that die (also a spawned child before it connects, or before
// Accept can watch it), rings closed to other users, and bad input.
#include <gtest/gtest.h>
#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "../log_capture.h"
#include "../os_cosfile_testutil.h"
#include "../os_cossync_helpers.h"
#include "os_cosringbuffer.h"
#include "os_cossocket.h"
#include "os_cossocket_testutil.h"
#include "os_io_testutil.h"
#include "os_cossocketimpl.h"
#include "os_cossync.h"
#include "os_cossyncimpl.h"
#include "os_costhread.h"
#include "test_support.h"

namespace {
using sockettest::Flip;
using sockettest::ReadAll;
using sockettest::WriteAll;
using synctest::Fork;
using synctest::Pipe;
using synctest::Reap;

class SocketSharedTest : public sockettest::LocalChannelTest {
 protected:
  // A peer connects with the published address and is gone at once.
  void PeerConnectsAndEnds() {
    pid_t child = Fork([&] {
      COsSocket peer;
      return peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) == OS_STS_SUCCESS ? 0 : 1;
    });
    ASSERT_EQ(0, Reap(child));
  }
  // A peer connects with the published address and stays until it reads 'd'.
  pid_t PeerConnectsAndStays(Pipe& a_done) {
    return Fork([&] {
      COsSocket peer;
      if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
      return a_done.Receive() == 'd' ? 0 : 2;
    });
  }
  // The protocol as another program would follow it, short of waking the
  // creator: attach to the creator's read file (the published port) as its
  // writer, add our id to the handshake record, open the three events named
  // after the file. 0, or the step that failed.
  int AttachAsRingPeer(COsRingBuffer& a_ring, COsSync& a_okToRead, COsSync& a_okToWrite, COsSync& a_cancel) {
    std::string base = sockettest::FilePart(m_port);
    base = base.substr(0, base.rfind('.'));
    if (a_ring.Connect(m_port.c_str(), true) != OS_STS_SUCCESS) return 1;
    uint8_t record[16];
    int32_t n = 0;
    if (a_ring.UserAreaRead(record, 16, &n) != OS_STS_SUCCESS || n != 16) return 2;
    uint64_t self = static_cast<uint64_t>(getpid());
    std::memcpy(record + 8, &self, 8);
    if (a_ring.UserAreaWrite(record, 16, &n) != OS_STS_SUCCESS) return 3;
    if (a_okToRead.EventOpen((base + "EventOkToRead").c_str()) != OS_STS_SUCCESS ||
        a_okToWrite.EventOpen((base + "EventOkToWrite").c_str()) != OS_STS_SUCCESS ||
        a_cancel.EventOpen((base + "EventCancel").c_str()) != OS_STS_SUCCESS)
      return 4;
    return 0;
  }
};

TEST_F(SocketSharedTest, PairPublishesItsFilesAndCarriesAMegabyteEachWay) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  EXPECT_EQ("@SHAREDMEMORY", m_address);
  size_t semicolon = m_port.find(';');
  ASSERT_NE(std::string::npos, semicolon);
  std::string readPath = m_port.substr(0, semicolon), writePath = m_port.substr(semicolon + 1);
  // Both in "socket" under the log directory: the letter, 17 time digits
  // (one time for both), the tag, our process id, the extension.
  const std::regex pattern("([rw])([0-9]{17})DRV2GUI_pid" + std::to_string(getpid()) + "\\.socket");
  std::smatch readMatch, writeMatch;
  std::string readFile = sockettest::FilePart(readPath), writeFile = sockettest::FilePart(writePath);
  ASSERT_TRUE(std::regex_match(readFile, readMatch, pattern)) << readFile;
  ASSERT_TRUE(std::regex_match(writeFile, writeMatch, pattern)) << writeFile;
  EXPECT_EQ("r", readMatch[1]);
  EXPECT_EQ("w", writeMatch[1]);
  EXPECT_EQ(readMatch[2], writeMatch[2]);
  EXPECT_EQ(LogDirectory() + "/socket/" + readFile, readPath);
  EXPECT_EQ(LogDirectory() + "/socket/" + writeFile, writePath);
  EXPECT_EQ(131072 + 104, std::filesystem::file_size(readPath));

  const size_t kSize = 1 << 20;
  const std::string data = sockettest::RandomBytes(kSize, 5);
  pid_t parent = getpid();
  pid_t child = Fork([&] {
    COsSocket peer;
    if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", static_cast<uint64_t>(parent), false) != OS_STS_SUCCESS)
      return 1;
    std::string got;
    if (ReadAll(peer, &got, kSize) != OS_STS_SUCCESS) return 2;
    if (got != data) return 3;
    return WriteAll(peer, Flip(got)) == OS_STS_SUCCESS ? 0 : 4;
  });
  ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
  // The handshake record as another program reads it: both process ids,
  // little-endian, at the start of the user area of either ring.
  const char* script = R"(
import mmap, struct, sys
for path in sys.argv[1:]:
    with open(path, 'rb') as f:
        m = mmap.mmap(f.fileno(), 0, access=mmap.ACCESS_READ)
        print(*struct.unpack_from('<QQ', m, 24))
)";
  EXPECT_EQ(std::to_string(parent) + " " + std::to_string(child) + "\n" + std::to_string(parent) + " " +
                std::to_string(child) + "\n",
            testsupport::RunPython(script, {readPath, writePath}));
  sockettest::ExpectFlippedBack(creator, data);
  EXPECT_EQ(0, Reap(child));
}

TEST_F(SocketSharedTest, SingleSlotsPickTheirDirectionFromTheLetter) {
  struct Case {
    EOSSOCKETTYPE creator;
    const char* address;
    const char* port;
    const char* file;  // expected file part; null: generated
  };
  std::string directory = testsupport::RootPath("given");
  const Case cases[] = {
      {OS_SOCKETTYPE_SHAREDMEMORY_READONLY, nullptr, "", nullptr},
      {OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY, "0", "0", nullptr},
      {OS_SOCKETTYPE_SHAREDMEMORY_READONLY, directory.c_str(), "rmine.socket", "rmine.socket"},
      {OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY, directory.c_str(), "wmine.socket", "wmine.socket"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.creator);
    COsSocket creator;
    Publish(creator, c.creator, c.address, c.port);
    EXPECT_EQ("@SHAREDMEMORY", m_address);
    std::string file = sockettest::FilePart(m_port);
    EXPECT_EQ(c.creator == OS_SOCKETTYPE_SHAREDMEMORY_READONLY ? 'r' : 'w', file[0]);
    if (c.file) {
      EXPECT_EQ(directory + "/" + c.file, m_port);
    } else {
      EXPECT_EQ(LogDirectory() + "/socket/" + file, m_port);
    }
    ExchangeOneWay(creator, c.creator == OS_SOCKETTYPE_SHAREDMEMORY_READONLY);
  }
}

TEST_F(SocketSharedTest, APeerBuiltFromTheRingAndTheNamedEventsIsAccepted) {
  // The protocol as another program would follow it: attach to the
  // creator's read file as its writer, add our id to the handshake record,
  // open the three events named after the file and wake the creator.
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READONLY);
  Pipe done;
  pid_t child = Fork([&] {
    COsRingBuffer ring;
    COsSync okToRead, okToWrite, cancel;
    if (int step = AttachAsRingPeer(ring, okToRead, okToWrite, cancel)) return step;
    int32_t n = 0;
    if (ring.Write("<task>", 0, 6, &n) != OS_STS_SUCCESS) return 5;
    if (okToRead.EventSet() != OS_STS_SUCCESS) return 6;
    return done.Receive() == 'd' ? 0 : 7;  // alive until the creator has it
  });
  ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
  std::string text;
  EXPECT_EQ(OS_STS_SUCCESS, ReadAll(creator, &text, 6));
  EXPECT_EQ("<task>", text);
  done.Send('d');
  EXPECT_EQ(0, Reap(child));
}

TEST_F(SocketSharedTest, CancelSelectEndsABlockedReadWriteOrAccept) {
  enum Call { kAccept, kRead, kWrite };
  for (Call call : {kAccept, kRead, kWrite}) {
    SCOPED_TRACE(call);
    COsSocket creator;
    Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
    Pipe done;
    pid_t child = 0;
    if (call != kAccept) {
      // A peer that connects and then neither reads nor writes.
      child = Fork([&] {
        COsSocket peer;
        if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
        return done.Receive(20000) == 'd' ? 0 : 2;
      });
      ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
    }
    std::thread canceller([&creator] {
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
      creator.CancelSelect();
    });
    auto start = std::chrono::steady_clock::now();
    std::string data;
    EOSSTS eossts = OS_STS_SUCCESS;
    switch (call) {
      case kAccept: eossts = creator.Accept(OS_SYNC_INFINITE, nullptr, nullptr); break;
      case kRead: eossts = ReadAll(creator, &data, 1, OS_SYNC_INFINITE); break;
      // More than the ring holds: the write waits for room.
      case kWrite: eossts = WriteAll(creator, std::string(300000, 'w')); break;
    }
    canceller.join();
    EXPECT_EQ(OS_STS_SOCKET_CANCELLED, eossts);
    EXPECT_LT(filetest::MillisecondsSince(start), 5000);
    done.Send('d');
    if (child) {
      EXPECT_EQ(0, Reap(child));
    }
  }
}

// The killed side is the connecting child (watched since Accept) or the
// creating child (watched by the process id given to Connect); this side
// is blocked in a read, or in a write waiting for room.
class SocketSharedPeerTest : public SocketSharedTest, public ::testing::WithParamInterface<bool> {};

TEST_P(SocketSharedPeerTest, APeerKilledEndsTheOtherSidesBlockedReadOrWrite) {
  struct Case {
    bool childCreates;
    bool blockInWrite;
  };
  for (Case c : {Case{GetParam(), false}, Case{GetParam(), true}}) {
    SCOPED_TRACE(testing::Message() << "child creates " << c.childCreates << ", write " << c.blockInWrite);
    Pipe published, connected;
    COsSocket socket;
    pid_t child;
    if (c.childCreates) {
      child = Fork([&] {
        COsSocket creator;
        if (creator.Create(nullptr, "", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "DRV2GUI") != OS_STS_SUCCESS) return 1;
        char szAddress[64], szPort[2048];
        creator.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort);
        testsupport::WriteFile(testsupport::RootPath("port"), szPort);
        published.Send('p');
        if (creator.Accept(10000, nullptr, nullptr) != OS_STS_SUCCESS) return 2;
        connected.Receive();
        raise(SIGKILL);
        return 3;
      });
      ASSERT_EQ('p', published.Receive());
      ASSERT_EQ(OS_STS_SUCCESS, socket.Connect("@SHAREDMEMORY", testsupport::ReadFile(testsupport::RootPath("port")).c_str(),
                                               "DRV2GUI", static_cast<uint64_t>(child), false));
    } else {
      Publish(socket, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
      child = Fork([&] {
        COsSocket peer;
        if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
        connected.Receive();
        raise(SIGKILL);
        return 3;
      });
      ASSERT_EQ(OS_STS_SUCCESS, socket.Accept(10000, nullptr, nullptr));
    }
    connected.Send('c');
    auto start = std::chrono::steady_clock::now();
    std::string data;
    EOSSTS eossts = c.blockInWrite ? WriteAll(socket, std::string(300000, 'w')) : ReadAll(socket, &data, 1, OS_SYNC_INFINITE);
    EXPECT_EQ(OS_STS_FAIL, eossts);
    EXPECT_LT(filetest::MillisecondsSince(start), 5000);
    EXPECT_EQ(128 + SIGKILL, Reap(child));
  }
}

INSTANTIATE_TEST_SUITE_P(KilledSide, SocketSharedPeerTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& a_info) {
                           return a_info.param ? "Creator" : "Connector";
                         });

TEST_F(SocketSharedTest, AcceptEndsWhenTheSpawnedChildDiesBeforeConnecting) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  COsThread spawner;
  ASSERT_EQ(OS_STS_SUCCESS, spawner.Spawn(0, "/bin/sleep", "sleep", "0.3", nullptr));
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_SOCKET_PEERGONE, creator.Accept(30000, &spawner, nullptr));
  EXPECT_LT(filetest::MillisecondsSince(start), 5000);
  EXPECT_EQ(OS_STS_SUCCESS, spawner.SpawnWait(1000));

  // One that ended before the wait began.
  COsSocket late;
  Publish(late, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  COsThread ended;
  ASSERT_EQ(OS_STS_SUCCESS, ended.Spawn(0, "/bin/sleep", "sleep", "0", nullptr));
  ASSERT_EQ(OS_STS_SUCCESS, ended.SpawnWait(5000));
  EXPECT_EQ(OS_STS_SOCKET_PEERGONE, late.Accept(OS_SYNC_INFINITE, &ended, nullptr));

  // A spawned child that lives on while a peer connects: Accept succeeds.
  COsSocket second;
  Publish(second, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  COsThread sleeper;
  ASSERT_EQ(OS_STS_SUCCESS, sleeper.Spawn(0, "/bin/sleep", "sleep", "30", nullptr));
  Pipe done;
  pid_t child = Fork([&] {
    COsSocket peer;
    if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", 0, false) != OS_STS_SUCCESS) return 1;
    return WriteAll(peer, "ready") == OS_STS_SUCCESS && done.Receive() == 'd' ? 0 : 2;
  });
  EXPECT_EQ(OS_STS_SUCCESS, second.Accept(10000, &sleeper, nullptr));
  std::string text;
  EXPECT_EQ(OS_STS_SUCCESS, ReadAll(second, &text, 5));
  done.Send('d');
  EXPECT_EQ(0, Reap(child));
  sleeper.SpawnStop();
}

TEST_F(SocketSharedTest, CallsAfterAnAcceptThatClosedTheChannelAreRefused) {
  // A peer that connects and is gone before Accept can watch it: Accept
  // fails and closes the channel; what the caller tries next must get a
  // status, not a crash.
  for (EOSSOCKETTYPE type : {OS_SOCKETTYPE_SHAREDMEMORY_READONLY, OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY,
                             OS_SOCKETTYPE_SHAREDMEMORY_READWRITE}) {
    SCOPED_TRACE(type);
    testsupport::LogCapture log;
    COsSocket creator;
    Publish(creator, type);
    ASSERT_NO_FATAL_FAILURE(PeerConnectsAndEnds());
    EXPECT_EQ(OS_STS_FAIL, creator.Accept(10000, nullptr, nullptr));
    char buffer[8];
    uint64_t count = 9;
    if (type != OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY) {
      EXPECT_EQ(OS_STS_BAD_ARGUMENT, creator.Read(buffer, sizeof buffer, &count, 100, 0, nullptr, nullptr));
      EXPECT_EQ(0u, count);
    }
    if (type != OS_SOCKETTYPE_SHAREDMEMORY_READONLY) {
      EXPECT_EQ(OS_STS_BAD_ARGUMENT, creator.Write("text", 4, &count, 100, 0));
      EXPECT_EQ(0u, count);
    }
    EXPECT_TRUE(log.Contains("must open a socket first..."));
    EXPECT_EQ(OS_STS_SUCCESS, creator.CancelSelect());
    EXPECT_EQ(OS_STS_BAD_ARGUMENT, creator.Accept(100, nullptr, nullptr));
  }
}

TEST_F(SocketSharedTest, CancelSelectMeetsAnAcceptThatClosesTheChannel) {
  // The other thread a channel allows keeps cancelling while Accept finds
  // its peer gone and gives up the channel.
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  ASSERT_NO_FATAL_FAILURE(PeerConnectsAndEnds());
  std::atomic<bool> stop{false};
  std::thread canceller([&] {
    while (!stop) creator.CancelSelect();
  });
  EOSSTS eossts = creator.Accept(10000, nullptr, nullptr);
  stop = true;
  canceller.join();
  EXPECT_EQ(OS_STS_FAIL, eossts);
  char buffer[8];
  uint64_t read = 0;
  EXPECT_EQ(OS_STS_BAD_ARGUMENT, creator.Read(buffer, sizeof buffer, &read, 100, 0, nullptr, nullptr));
}

TEST_F(SocketSharedTest, CancelSelectOnTheConnectingSideEndsItsOwnCallOnly) {
  // The connecting side cancels its blocked read, or its write waiting for
  // room; the creator's read meanwhile runs to its own time-out.
  enum Call { kRead, kWrite };
  for (Call call : {kRead, kWrite}) {
    SCOPED_TRACE(call);
    COsSocket creator;
    Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
    Pipe done;
    pid_t child = Fork([&] {
      COsSocket peer;
      if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", static_cast<uint64_t>(getppid()), false) !=
          OS_STS_SUCCESS)
        return 1;
      std::thread canceller([&peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        peer.CancelSelect();
      });
      auto start = std::chrono::steady_clock::now();
      std::string data;
      EOSSTS eossts = call == kRead ? ReadAll(peer, &data, 1, 3000) : WriteAll(peer, std::string(300000, 'w'));
      canceller.join();
      if (eossts != OS_STS_SOCKET_CANCELLED) return 10 + static_cast<int>(eossts);
      if (filetest::MillisecondsSince(start) > 2000) return 2;
      return done.Receive() == 'd' ? 0 : 3;
    });
    ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
    if (call == kRead) {
      char buffer[8];
      uint64_t read = 0;
      EXPECT_EQ(OS_STS_TIMEOUT, creator.Read(buffer, sizeof buffer, &read, 1000, 0, nullptr, nullptr));
    }
    done.Send('d');
    EXPECT_EQ(0, Reap(child));
  }
}

TEST_F(SocketSharedTest, OtherUsersCanNeitherOpenNorReplaceTheRings) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run a child as another user";
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  const std::string readPath = m_port.substr(0, m_port.find(';')), writePath = m_port.substr(m_port.find(';') + 1);
  Pipe done;
  pid_t child = PeerConnectsAndStays(done);
  ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
  std::vector<long> results = filetest::RunUnprivileged([&] {
    struct stat st;
    std::vector<long> errors{stat(readPath.c_str(), &st) == 0 ? 0 : errno};  // the way there is open
    for (const std::string& path : {readPath, writePath}) {
      for (int flags : {O_RDONLY, O_WRONLY}) {
        int fd = open(path.c_str(), flags | O_CLOEXEC);
        errors.push_back(fd < 0 ? errno : 0);
        if (fd >= 0) close(fd);
      }
      errors.push_back(unlink(path.c_str()) == 0 ? 0 : errno);
    }
    return errors;
  });
  EXPECT_EQ((std::vector<long>{0, EACCES, EACCES, EPERM, EACCES, EACCES, EPERM}), results);
  done.Send('d');
  EXPECT_EQ(0, Reap(child));
}

TEST_F(SocketSharedTest, ReadTimesOutAndReadStringSaysSo) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  // A peer that never connects.
  EXPECT_EQ(OS_STS_TIMEOUT, creator.Accept(200, nullptr, nullptr));
  char buffer[16];
  uint64_t read = 9;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(OS_STS_TIMEOUT, creator.Read(buffer, sizeof buffer, &read, 200, 0, nullptr, nullptr));
  EXPECT_GE(filetest::MillisecondsSince(start), 190);
  EXPECT_EQ(0u, read);
  EXPECT_EQ(OS_STS_SOCKET_READTIMEOUT, creator.ReadString(buffer, sizeof buffer, &read, 0, 0));
}

// A peer whose ring holds no readable record (the record at the read offset
// is empty though the offsets differ) and that keeps waking the reader, from
// three threads so that the event is set at nearly every look: the read
// still ends at its time-out.
TEST_F(SocketSharedTest, APeerThatKeepsWakingAReaderCannotHoldItPastItsTimeOut) {
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READONLY);
  // The peer, in this process.
  COsRingBuffer ring;
  COsSync okToRead, okToWrite, cancel;
  ASSERT_EQ(0, AttachAsRingPeer(ring, okToRead, okToWrite, cancel));
  ASSERT_EQ(OS_STS_SUCCESS, okToRead.EventSet());
  ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
  const int32_t total = iotest::ReadRingHeader(m_port).total;
  iotest::PatchFile(m_port, 6, iotest::Le32Bytes(total - 88 - 24) + iotest::Le32Bytes(88 + 24));

  std::atomic<bool> readDone{false};
  std::atomic<bool> peerGaveUp{false};
  std::string base = sockettest::FilePart(m_port);
  base = base.substr(0, base.rfind('.'));
  auto wake = [&] {
    COsSync event;
    ASSERT_EQ(OS_STS_SUCCESS, event.EventOpen((base + "EventOkToRead").c_str()));
    auto start = std::chrono::steady_clock::now();
    while (!readDone) {
      event.EventSet();
      if (std::chrono::steady_clock::now() - start > std::chrono::seconds(5)) {
        peerGaveUp = true;
        return;
      }
    }
  };
  std::thread wakers[] = {std::thread(wake), std::thread(wake), std::thread(wake)};
  char buffer[16];
  uint64_t read = 9;
  EXPECT_EQ(OS_STS_TIMEOUT, creator.Read(buffer, sizeof buffer, &read, 200, 0, nullptr, nullptr));
  readDone = true;
  for (std::thread& waker : wakers) waker.join();
  EXPECT_FALSE(peerGaveUp) << "the read lasted as long as the peer kept waking it";
  EXPECT_EQ(0u, read);
}

TEST_F(SocketSharedTest, BadNamesFilesAndSecondConnectorsAreRefused) {
  testsupport::LogCapture log;
  COsSocket creator;
  Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
  struct Case {
    const char* address;
    std::string port;
    const char* message;
  };
  const Case cases[] = {
      // A second connector: the ring has its reader and writer already.
      {"@SHAREDMEMORY", m_port, "RingBuffer.Create failed...<1>"},
      {"@SHAREDMEMORY", testsupport::RootPath("rmissing.socket"), "RingBuffer.Create failed...<1>"},
      {"@SHAREDMEMORY", testsupport::RootPath("rmissing.socket") + ";" + testsupport::RootPath("wmissing.socket"),
       "RingBuffer.Create failed...<1>"},
      {"@SHAREDMEMORY", testsupport::RootPath("xbad.socket"), "bad port...<"},
  };
  Pipe done;
  pid_t child = PeerConnectsAndStays(done);
  ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    COsSocket peer;
    EXPECT_EQ(OS_STS_FAIL, peer.Connect(c.address, c.port.c_str(), "DRV2GUI", 0, false));
    EXPECT_TRUE(log.Contains(c.message));
    char buffer[4];
    uint64_t read = 0;
    EXPECT_EQ(OS_STS_FAIL, peer.Read(buffer, sizeof buffer, &read, 0, 0, nullptr, nullptr));  // closed again
  }
  done.Send('d');
  EXPECT_EQ(0, Reap(child));
  // A pair with an address needs both names in the port.
  COsSocket pair;
  EXPECT_EQ(OS_STS_FAIL, pair.Create(testsupport::RootPath("dir").c_str(), "rname.socket", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "T"));
  EXPECT_TRUE(log.Contains("badly constructed name...<rname.socket>"));
  EXPECT_EQ(OS_STS_FAIL, pair.Create(nullptr, "", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "T/../x"));
  // Once open, no second Create.
  EXPECT_EQ(OS_STS_FAIL, creator.Create(nullptr, "", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "DRV2GUI"));
  EXPECT_TRUE(log.Contains("m_possocketimpl is not null..."));
  // The local transports have no buffer sizes, no listening and no select.
  EXPECT_EQ(OS_STS_SUCCESS, creator.SetBufferSizes(1, 1));
  COsSocketImpl impl;
  EXPECT_EQ(OS_STS_FAIL, impl.CreateSharedMemory(OS_SOCKETTYPE_SHAREDMEMORY_READWRITE));
  EXPECT_TRUE(log.Contains("This only create either readonly or writeonly shared memory socket type"));
}

}  // namespace
namespace {
// Names in a directory, sorted ("" when it cannot be read).
std::vector<std::string> Names(const std::string& a_directory) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(a_directory, ec)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// What channels leave in the common directory of the named events and in
// the ring directory: after a clean close, no event or group file (the
// ring files stay until the next creator of the tag finds their process
// gone); a killed creator leaves its events and rings, which the next
// creator of the same tag removes.
TEST_F(SocketSharedTest, ClosedAndKilledChannelsLeaveNothingForLong) {
  char szCommon[512];
  ASSERT_TRUE(OsSyncCommonDirectory(szCommon, sizeof szCommon));
  const std::string common = szCommon, rings = LogDirectory() + "/socket";
  std::filesystem::create_directories(common);
  const std::vector<std::string> before = Names(common);
  auto ofProcess = [](const std::vector<std::string>& a_names, pid_t a_pid) {
    const std::string tag = "_pid" + std::to_string(a_pid);
    return std::count_if(a_names.begin(), a_names.end(), [&](const std::string& a_name) {
      return a_name.find(tag + "Event") != std::string::npos || a_name.find(tag + ".socket") != std::string::npos ||
             (a_name.rfind("group_", 0) == 0 && a_name.size() > tag.size() &&
              a_name.compare(a_name.size() - tag.size(), tag.size(), tag) == 0);
    });
  };

  // A clean close, the peer still there when the creator closes.
  {
    COsSocket creator;
    Publish(creator, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
    EXPECT_EQ(ofProcess(Names(common), getpid()), 8);  // three events and a group per ring
    Pipe done;
    pid_t parent = getpid();
    pid_t child = Fork([&] {
      COsSocket peer;
      if (peer.Connect(m_address.c_str(), m_port.c_str(), "DRV2GUI", static_cast<uint64_t>(parent), false) !=
          OS_STS_SUCCESS)
        return 1;
      if (WriteAll(peer, "hello") != OS_STS_SUCCESS) return 2;
      return done.Receive() == 'd' ? 0 : 3;
    });
    ASSERT_EQ(OS_STS_SUCCESS, creator.Accept(10000, nullptr, nullptr));
    std::string got;
    EXPECT_EQ(OS_STS_SUCCESS, ReadAll(creator, &got, 5));
    EXPECT_EQ(OS_STS_SUCCESS, creator.Close());
    EXPECT_EQ(Names(common), before);
    done.Send('d');
    EXPECT_EQ(0, Reap(child));
  }
  EXPECT_EQ(Names(common), before);
  EXPECT_EQ(ofProcess(Names(rings), getpid()), 2);

  // A creator killed with its channel open: all its files stay, until the
  // next creator of the tag comes.
  Pipe ready;
  pid_t killed = Fork([&] {
    COsSocket creator;
    if (creator.Create(nullptr, "", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "DRV2GUI") != OS_STS_SUCCESS) return 1;
    ready.Send('r');
    pause();
    return 0;
  });
  ASSERT_EQ('r', ready.Receive());
  EXPECT_EQ(ofProcess(Names(common), killed), 8);
  EXPECT_EQ(ofProcess(Names(rings), killed), 2);
  kill(killed, SIGKILL);
  Reap(killed);
  EXPECT_EQ(ofProcess(Names(common), killed), 8);
  // Another tag's creator leaves them; one of the tag removes them.
  {
    COsSocket other;
    ASSERT_EQ(OS_STS_SUCCESS, other.Create(nullptr, "", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "DRV2ASSIST"));
    EXPECT_EQ(ofProcess(Names(common), killed), 8);
  }
  {
    COsSocket next;
    ASSERT_EQ(OS_STS_SUCCESS, next.Create(nullptr, "", OS_SOCKETTYPE_SHAREDMEMORY_READWRITE, "DRV2GUI"));
    EXPECT_EQ(ofProcess(Names(common), killed), 0);
    EXPECT_EQ(ofProcess(Names(rings), killed), 0);
    // Our own rings (the clean close's, the other tag's, this one's) stay:
    // this process runs.
    EXPECT_EQ(ofProcess(Names(rings), getpid()), 6);
  }
  EXPECT_EQ(Names(common), before);
}
}  // namespace
