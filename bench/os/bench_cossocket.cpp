// Round trips between two processes, as the driver talks with a child: a
// 256-byte task out, a 64 KiB reply back. Each transport of the channel is
// measured beside the same transport used bare.
#include <benchmark/benchmark.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os_cosmem.h"
#include "os_cossocket.h"

namespace {
constexpr size_t kTask = 256;
constexpr size_t kReply = 64 * 1024;

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

// The child's side: a reply to every task until the link ends.
void Serve(Link& a_link) {
  std::vector<char> task(kTask), reply(kReply, 'r');
  while (a_link.Receive(task.data(), kTask) && a_link.Send(reply.data(), kReply)) {
  }
}

// Forks the child, which builds its end with a_child and serves; the parent
// end comes from a_parent (after the fork). Measures the round trips.
void RoundTrips(benchmark::State& a_state, const std::function<std::unique_ptr<Link>()>& a_child,
                const std::function<std::unique_ptr<Link>()>& a_parent) {
  pid_t pid = fork();
  if (pid == 0) {
    std::unique_ptr<Link> plink = a_child();
    if (plink) Serve(*plink);
    plink.reset();
    _exit(0);
  }
  std::unique_ptr<Link> plink = a_parent();
  if (!plink) {
    a_state.SkipWithError("the link did not come up");
  } else {
    std::vector<char> task(kTask, 't'), reply(kReply);
    for (auto _ : a_state) {
      if (!plink->Send(task.data(), kTask) || !plink->Receive(reply.data(), kReply)) {
        a_state.SkipWithError("the round trip failed");
        break;
      }
    }
    a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations() * (kTask + kReply)));
  }
  plink.reset();
  int iStatus = 0;
  waitpid(pid, &iStatus, 0);
}

// The channel: the parent creates and accepts, the child connects with the
// published address.
void ChannelRoundTrips(benchmark::State& a_state, EOSSOCKETTYPE a_eossockettype) {
  COsMem osmem(OS_MEM_METHOD_GLOBALALLOC, 0);
  auto pcreator = std::make_unique<COsSocket>();
  char szAddress[64] = "", szPort[2048] = "";
  if (pcreator->Create(nullptr, "0", a_eossockettype, "BENCH") != OS_STS_SUCCESS || pcreator->Listen(1) != 0 ||
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

}  // namespace
