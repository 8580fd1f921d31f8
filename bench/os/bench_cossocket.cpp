// Round trips between two processes, as the driver talks with a child: a
// 256-byte task out, a 64 KiB reply back. Each transport of the channel is
// measured beside the same transport used bare; the bare message queues
// also carry a 1 MiB reply, the largest the image library's host may send.
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <mqueue.h>
#include <netinet/in.h>
#include <semaphore.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench_scratch.h"
#include "os_cosmem.h"
#include "os_cossocket.h"
#include "os_cossync.h"

namespace {
constexpr size_t kTask = 256;
constexpr size_t kReply = 64 * 1024;
constexpr size_t kReplyLarge = 1024 * 1024;

// One end of a link: whole messages out and in.
class Link {
 public:
  virtual ~Link() = default;
  virtual bool Send(const char* a_pc, size_t a_sizet) = 0;
  virtual bool Receive(char* a_pc, size_t a_sizet) = 0;
};

// A connected descriptor used with plain send and recv.
class SocketLink : public Link {
 public:
  explicit SocketLink(int a_iFd) : m_iFd(a_iFd) {}
  ~SocketLink() override { close(m_iFd); }
  bool Send(const char* a_pc, size_t a_sizet) override {
    while (a_sizet) {
      ssize_t n = send(m_iFd, a_pc, a_sizet, MSG_NOSIGNAL);
      if (n <= 0) return false;
      a_pc += n;
      a_sizet -= static_cast<size_t>(n);
    }
    return true;
  }
  bool Receive(char* a_pc, size_t a_sizet) override {
    while (a_sizet) {
      ssize_t n = recv(m_iFd, a_pc, a_sizet, 0);
      if (n <= 0) return false;
      a_pc += n;
      a_sizet -= static_cast<size_t>(n);
    }
    return true;
  }

 private:
  int m_iFd;
};

// One side of our channel.
class ChannelLink : public Link {
 public:
  explicit ChannelLink(std::unique_ptr<COsSocket> a_psocket) : m_psocket(std::move(a_psocket)) {}
  bool Send(const char* a_pc, size_t a_sizet) override {
    uint64_t u64Written = 0;
    return m_psocket->Write(a_pc, a_sizet, &u64Written, 0, 0) == OS_STS_SUCCESS && u64Written == a_sizet;
  }
  bool Receive(char* a_pc, size_t a_sizet) override {
    while (a_sizet) {
      uint64_t u64Read = 0;
      if (m_psocket->Read(a_pc, a_sizet, &u64Read, 60000, 0, nullptr, nullptr) != OS_STS_SUCCESS) return false;
      a_pc += u64Read;
      a_sizet -= u64Read;
    }
    return true;
  }

 private:
  std::unique_ptr<COsSocket> m_psocket;
};

// One direction of the bare shared-memory transport: a byte ring with a
// process-shared semaphore for "data there" and one for "room made", each
// posted only when the other side has said it is about to wait. Given a
// descriptor of its own open file, each step holds the write lock on that
// file's first byte, as the channel's rings do.
struct BareRing {
  static constexpr size_t kCapacity = 131072;
  std::atomic<uint64_t> head;  // bytes written
  std::atomic<uint64_t> tail;  // bytes read
  std::atomic<bool> readerWaits;
  std::atomic<bool> writerWaits;
  sem_t data;
  sem_t room;
  char bytes[kCapacity];

  void Init() {
    head = 0;
    tail = 0;
    readerWaits = false;
    writerWaits = false;
    sem_init(&data, 1, 0);
    sem_init(&room, 1, 0);
  }
  // Sleeps until a_ready holds: announce, look again, then wait (or take
  // the post a waker already made).
  template <class Ready>
  static void Await(std::atomic<bool>& a_waits, sem_t& a_sem, Ready a_ready) {
    a_waits.store(true);
    if (a_ready() && a_waits.exchange(false)) return;
    while (sem_wait(&a_sem) != 0) {
    }
  }
  static void Wake(std::atomic<bool>& a_waits, sem_t& a_sem) {
    if (a_waits.exchange(false)) sem_post(&a_sem);
  }
  static void ByteLock(int a_iFd, short a_sType) {
    if (a_iFd < 0) return;
    struct flock fl = {};
    fl.l_type = a_sType;
    fl.l_len = 1;
    fcntl(a_iFd, F_OFD_SETLKW, &fl);
  }
  // The lock is taken only to move bytes, not to find the ring full or empty.
  void Put(const char* a_pc, size_t a_sizet, int a_iLock) {
    while (a_sizet) {
      if (head.load() - tail.load() == kCapacity) {
        Await(writerWaits, room, [&] { return head.load() - tail.load() < kCapacity; });
        continue;
      }
      ByteLock(a_iLock, F_WRLCK);
      uint64_t u64Head = head.load();
      size_t sizetFree = kCapacity - static_cast<size_t>(u64Head - tail.load());
      size_t sizetAt = static_cast<size_t>(u64Head % kCapacity);
      size_t sizetN = std::min({a_sizet, sizetFree, kCapacity - sizetAt});
      std::memcpy(bytes + sizetAt, a_pc, sizetN);
      head.store(u64Head + sizetN);
      ByteLock(a_iLock, F_UNLCK);
      Wake(readerWaits, data);
      a_pc += sizetN;
      a_sizet -= sizetN;
    }
  }
  void Take(char* a_pc, size_t a_sizet, int a_iLock) {
    while (a_sizet) {
      if (head.load() == tail.load()) {
        Await(readerWaits, data, [&] { return head.load() != tail.load(); });
        continue;
      }
      ByteLock(a_iLock, F_WRLCK);
      uint64_t u64Tail = tail.load();
      size_t sizetThere = static_cast<size_t>(head.load() - u64Tail);
      size_t sizetAt = static_cast<size_t>(u64Tail % kCapacity);
      size_t sizetN = std::min({a_sizet, sizetThere, kCapacity - sizetAt});
      std::memcpy(a_pc, bytes + sizetAt, sizetN);
      tail.store(u64Tail + sizetN);
      ByteLock(a_iLock, F_UNLCK);
      Wake(writerWaits, room);
      a_pc += sizetN;
      a_sizet -= sizetN;
    }
  }
};

// Two rings in one mapping shared by parent and child.
// With lock files, each ring is locked through this process's own open file.
class RingLink : public Link {
 public:
  RingLink(BareRing* a_pout, BareRing* a_pin, const std::string& a_lockOut = "", const std::string& a_lockIn = "")
      : m_pout(a_pout),
        m_pin(a_pin),
        m_iLockOut(a_lockOut.empty() ? -1 : open(a_lockOut.c_str(), O_RDWR | O_CREAT, 0600)),
        m_iLockIn(a_lockIn.empty() ? -1 : open(a_lockIn.c_str(), O_RDWR | O_CREAT, 0600)) {}
  ~RingLink() override {
    if (m_iLockOut >= 0) close(m_iLockOut);
    if (m_iLockIn >= 0) close(m_iLockIn);
  }
  bool Send(const char* a_pc, size_t a_sizet) override {
    m_pout->Put(a_pc, a_sizet, m_iLockOut);
    return true;
  }
  bool Receive(char* a_pc, size_t a_sizet) override {
    m_pin->Take(a_pc, a_sizet, m_iLockIn);
    return true;
  }

 private:
  BareRing* m_pout;
  BareRing* m_pin;
  int m_iLockOut;
  int m_iLockIn;
};

// A queue per direction, messages of up to 1024 bytes.
class QueueLink : public Link {
 public:
  QueueLink(mqd_t a_mqdOut, mqd_t a_mqdIn) : m_mqdOut(a_mqdOut), m_mqdIn(a_mqdIn) {}
  ~QueueLink() override {
    mq_close(m_mqdOut);
    mq_close(m_mqdIn);
  }
  bool Send(const char* a_pc, size_t a_sizet) override {
    for (size_t sizetAt = 0; sizetAt < a_sizet; sizetAt += 1024) {
      if (mq_send(m_mqdOut, a_pc + sizetAt, std::min<size_t>(1024, a_sizet - sizetAt), 1) != 0) return false;
    }
    return true;
  }
  bool Receive(char* a_pc, size_t a_sizet) override {
    while (a_sizet) {
      ssize_t n = mq_receive(m_mqdIn, a_pc, 1024, nullptr);
      if (n <= 0) return false;
      a_pc += n;
      a_sizet -= static_cast<size_t>(n);
    }
    return a_sizet == 0;
  }

 private:
  mqd_t m_mqdOut;
  mqd_t m_mqdIn;
};

// The child's side: a reply to every task until the link ends or a task of
// zeros comes (the local transports tell no end of the peer).
void Serve(Link& a_link, size_t a_sizetReply) {
  std::vector<char> task(kTask), reply(a_sizetReply, 'r');
  while (a_link.Receive(task.data(), kTask) && task[0] && a_link.Send(reply.data(), a_sizetReply)) {
  }
}

// Forks the child, which builds its end with a_child and serves; the parent
// end comes from a_parent (after the fork). Measures the round trips.
void RoundTrips(benchmark::State& a_state, const std::function<std::unique_ptr<Link>()>& a_child,
                const std::function<std::unique_ptr<Link>()>& a_parent, size_t a_sizetReply = kReply) {
  pid_t pid = fork();
  if (pid == 0) {
    std::unique_ptr<Link> plink = a_child();
    if (plink) Serve(*plink, a_sizetReply);
    plink.reset();
    _exit(0);
  }
  std::unique_ptr<Link> plink = a_parent();
  if (!plink) {
    a_state.SkipWithError("the link did not come up");
  } else {
    std::vector<char> task(kTask, 't'), reply(a_sizetReply);
    for (auto _ : a_state) {
      if (!plink->Send(task.data(), kTask) || !plink->Receive(reply.data(), a_sizetReply)) {
        a_state.SkipWithError("the round trip failed");
        break;
      }
    }
    a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations() * (kTask + a_sizetReply)));
    std::vector<char> stop(kTask, '\0');
    plink->Send(stop.data(), kTask);
  }
  plink.reset();
  int iStatus = 0;
  waitpid(pid, &iStatus, 0);
}

// The channel: the parent creates and accepts, the child connects with the
// published address. Ring files and events live in a scratch directory.
void ChannelRoundTrips(benchmark::State& a_state, EOSSOCKETTYPE a_eossockettype) {
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 0);
  Scratch scratch;
  COsSync::SetFallbackDirectory(scratch.Path("common").c_str());
  std::string files = scratch.Path("rbench.socket") + ";" + scratch.Path("wbench.socket");
  bool blShared = a_eossockettype == OS_SOCKETTYPE_SHAREDMEMORY_READWRITE;
  auto pcreator = std::make_unique<COsSocket>();
  char szAddress[64] = "", szPort[2048] = "";
  if (pcreator->Create(blShared ? scratch.Path("").c_str() : nullptr, blShared ? files.c_str() : "0", a_eossockettype,
                       "BENCH") != OS_STS_SUCCESS ||
      pcreator->Listen(1) != 0 ||
      pcreator->GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort) != OS_STS_SUCCESS) {
    a_state.SkipWithError("Create failed");
    return;
  }
  COsSocket* pcreatorRaw = pcreator.get();
  RoundTrips(
      a_state,
      [&]() -> std::unique_ptr<Link> {
        auto ppeer = std::make_unique<COsSocket>();
        if (ppeer->Connect(szAddress, szPort, "BENCH", 0, false) != OS_STS_SUCCESS) return nullptr;
        return std::make_unique<ChannelLink>(std::move(ppeer));
      },
      [&]() -> std::unique_ptr<Link> {
        if (pcreatorRaw->Accept(10000, nullptr, nullptr) != OS_STS_SUCCESS) return nullptr;
        return std::make_unique<ChannelLink>(std::move(pcreator));
      });
}

void BM_RoundTripChannelTcp(benchmark::State& a_state) { ChannelRoundTrips(a_state, OS_SOCKETTYPE_TCP); }
BENCHMARK(BM_RoundTripChannelTcp)->UseRealTime();

void BM_RoundTripBareTcp(benchmark::State& a_state) {
  int iListen = socket(AF_INET, SOCK_STREAM, 0);
  struct sockaddr_in sockaddrin;
  std::memset(&sockaddrin, 0, sizeof sockaddrin);
  sockaddrin.sin_family = AF_INET;
  sockaddrin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t socklen = sizeof sockaddrin;
  if (bind(iListen, reinterpret_cast<sockaddr*>(&sockaddrin), sizeof sockaddrin) != 0 || listen(iListen, 1) != 0 ||
      getsockname(iListen, reinterpret_cast<sockaddr*>(&sockaddrin), &socklen) != 0) {
    close(iListen);
    a_state.SkipWithError("listen failed");
    return;
  }
  RoundTrips(
      a_state,
      [&]() -> std::unique_ptr<Link> {
        close(iListen);
        int iFd = socket(AF_INET, SOCK_STREAM, 0);
        if (connect(iFd, reinterpret_cast<sockaddr*>(&sockaddrin), sizeof sockaddrin) != 0) return nullptr;
        return std::make_unique<SocketLink>(iFd);
      },
      [&]() -> std::unique_ptr<Link> {
        int iFd = accept(iListen, nullptr, nullptr);
        close(iListen);
        return iFd < 0 ? nullptr : std::make_unique<SocketLink>(iFd);
      });
}
BENCHMARK(BM_RoundTripBareTcp)->UseRealTime();

void BM_RoundTripChannelSharedMemory(benchmark::State& a_state) {
  ChannelRoundTrips(a_state, OS_SOCKETTYPE_SHAREDMEMORY_READWRITE);
}
BENCHMARK(BM_RoundTripChannelSharedMemory)->UseRealTime();

// Arg 1: each ring step under a byte-0 lock, as the channel's rings.
void BM_RoundTripBareSharedMemory(benchmark::State& a_state) {
  void* pv = mmap(nullptr, 2 * sizeof(BareRing), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (pv == MAP_FAILED) {
    a_state.SkipWithError("mmap failed");
    return;
  }
  BareRing* pring = static_cast<BareRing*>(pv);
  pring[0].Init();
  pring[1].Init();
  Scratch scratch;
  std::string locks[2];
  if (a_state.range(0)) locks[0] = scratch.Path("lock0"), locks[1] = scratch.Path("lock1");
  RoundTrips(
      a_state, [&] { return std::make_unique<RingLink>(&pring[1], &pring[0], locks[1], locks[0]); },
      [&] { return std::make_unique<RingLink>(&pring[0], &pring[1], locks[0], locks[1]); });
  munmap(pv, 2 * sizeof(BareRing));
}
BENCHMARK(BM_RoundTripBareSharedMemory)->Arg(0)->Arg(1)->UseRealTime();

void BM_RoundTripChannelMessageQueue(benchmark::State& a_state) {
  ChannelRoundTrips(a_state, OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE);
}
BENCHMARK(BM_RoundTripChannelMessageQueue)->UseRealTime();

// Arg: the reply's size.
void BM_RoundTripBareMessageQueue(benchmark::State& a_state) {
  std::string names[2] = {"/scandrv-bench-in-" + std::to_string(getpid()), "/scandrv-bench-out-" + std::to_string(getpid())};
  struct mq_attr mqattr = {};
  mqattr.mq_maxmsg = 10;
  mqattr.mq_msgsize = 1024;
  mqd_t mqd[2];
  for (int i = 0; i < 2; ++i) mqd[i] = mq_open(names[i].c_str(), O_RDWR | O_CREAT | O_EXCL, 0600, &mqattr);
  if (mqd[0] == static_cast<mqd_t>(-1) || mqd[1] == static_cast<mqd_t>(-1)) {
    a_state.SkipWithError("mq_open failed");
  } else {
    RoundTrips(
        a_state, [&] { return std::make_unique<QueueLink>(mqd[1], mqd[0]); },
        [&] { return std::make_unique<QueueLink>(mqd[0], mqd[1]); }, static_cast<size_t>(a_state.range(0)));
  }
  for (const std::string& name : names) mq_unlink(name.c_str());
}
BENCHMARK(BM_RoundTripBareMessageQueue)->Arg(kReply)->Arg(kReplyLarge)->UseRealTime();

}  // namespace
