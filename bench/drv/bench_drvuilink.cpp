// The user-interface link with the staged stand-in as its child, over each
// transport: from the start to both channels connected (the child spawned
// and connected); a 256-byte task out and its 256-byte echo back through
// the writer, the child, the reader and the dispatcher (until the
// dispatcher has it), to set beside the round trips of bench_cossocket.cpp; and 1,000 tasks handed over
// back to back, each echoed, in tasks a second.
#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "bench_uiservices.h"
#include "drv_cdrvuilink.h"
#include "os_cosxml.h"

namespace {

constexpr size_t kTask = 256;
constexpr int kPipelined = 1000;

const DrvUiLinkNames kNames = {
    "GUI", "GuiStart", "Drv2Gui", "Gui2Drv", "DriverGuiDispatcher", "DrvGuiDriverToGui", "DrvGuiGuiToDriver",
    "buttons_", "DRV2GUI", "GUI2DRV", "drv2gui", "gui2drv", "drv2g>>>", "g2drv>>>",
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<uiexit>\n"
    "\t</uiexit>\n</task>"};

// Counts what the dispatcher is given.
class CBenchOwner : public CDrvUiLinkOwner {
 public:
  bool UiModelReady() override { return true; }
  long UiIdleWait() override { return 600000; }
  void UiDispatch(COsXml*) override {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_lDispatched;
    m_timepointLast = std::chrono::steady_clock::now();
    m_cond.notify_all();
  }
  // When the last task reached the dispatcher.
  std::chrono::steady_clock::time_point Last() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_timepointLast;
  }
  // Waits until that many tasks came in all; false after 30 s.
  bool WaitFor(long a_lCount) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, std::chrono::seconds(30), [&] { return m_lDispatched >= a_lCount; });
  }
  long Dispatched() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lDispatched;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  long m_lDispatched = 0;
  std::chrono::steady_clock::time_point m_timepointLast;
};

// The services and a link whose child is the staged stand-in.
class CLinkBench : public CUiBenchServices {
 public:
  explicit CLinkBench(int a_iTransport) : CUiBenchServices(a_iTransport) {
    m_plink = std::make_unique<CDrvUiLink>(&m_owner, kNames);
  }
  ~CLinkBench() { m_plink.reset(); }

  bool Start(const char* a_szScript) {
    const OsSpawnVariable osspawnvariable = {"UISTANDIN_SCRIPT", a_szScript};
    return m_plink->Start(SCANDRV_UISTANDIN, &osspawnvariable, 1) == OS_STS_SUCCESS &&
           m_plink->WaitStart(30000) == DRV_UILINKSTATE_CONNECTED;
  }

  CBenchOwner m_owner;
  std::unique_ptr<CDrvUiLink> m_plink;
};

// A task of the link of exactly kTask bytes once stamped.
std::string Task() {
  std::string str = "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n"
                    "\t<bench>";
  const std::string strTail = "</bench>\n</task>\n";
  str += std::string(kTask - str.size() - strTail.size(), 'b') + strTail;
  return str;
}

void BM_UiLinkSpawnToConnected(benchmark::State& a_state) {
  CLinkBench linkbench(static_cast<int>(a_state.range(0)));
  for (auto _ : a_state) {
    if (!linkbench.Start("noready")) {
      a_state.SkipWithError("the link did not connect");
      break;
    }
    a_state.PauseTiming();
    linkbench.m_plink->Stop();
    a_state.ResumeTiming();
  }
}
BENCHMARK(BM_UiLinkSpawnToConnected)->Arg(1)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

// A link whose child echoes every task; false (the benchmark skipped) when
// it did not connect.
bool StartEcho(CLinkBench& a_linkbench, benchmark::State& a_state) {
  if (a_linkbench.Start("noready\necho")) return true;
  a_state.SkipWithError("the link did not connect");
  return false;
}

void BM_UiLinkRoundTrip(benchmark::State& a_state) {
  CLinkBench linkbench(static_cast<int>(a_state.range(0)));
  if (!StartEcho(linkbench, a_state)) return;
  const std::string strTask = Task();
  long lExpected = 0;
  // From the hand-over to the echo in the dispatcher's hands (the wake-up
  // of this thread afterwards is the benchmark's own).
  for (auto _ : a_state) {
    const auto timepointSend = std::chrono::steady_clock::now();
    if (linkbench.m_plink->Send(strTask.c_str(), __FILE__, __LINE__) != OS_STS_SUCCESS ||
        !linkbench.m_owner.WaitFor(++lExpected)) {
      a_state.SkipWithError("no echo");
      break;
    }
    a_state.SetIterationTime(std::chrono::duration<double>(linkbench.m_owner.Last() - timepointSend).count());
  }
  linkbench.m_plink->Stop();
}
BENCHMARK(BM_UiLinkRoundTrip)->Arg(1)->Arg(5)->Arg(8)->Unit(benchmark::kMicrosecond)->UseManualTime();

void BM_UiLinkPipelined(benchmark::State& a_state) {
  CLinkBench linkbench(static_cast<int>(a_state.range(0)));
  if (!StartEcho(linkbench, a_state)) return;
  const std::string strTask = Task();
  long lExpected = 0;
  for (auto _ : a_state) {
    for (int i = 0; i < kPipelined; ++i) linkbench.m_plink->Send(strTask.c_str(), __FILE__, __LINE__);
    lExpected += kPipelined;
    if (!linkbench.m_owner.WaitFor(lExpected)) {
      a_state.SkipWithError("echoes missing");
      break;
    }
  }
  a_state.SetItemsProcessed(linkbench.m_owner.Dispatched());
  linkbench.m_plink->Stop();
}
BENCHMARK(BM_UiLinkPipelined)->Arg(1)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
