// The GUI bridge with the staged stand-in as its GUI, over each transport:
// from the start action to "uiready" (the child spawned, connected and
// ready, as uibegin waits for it; aim 300 ms); and badcmd round trips
// through the dispatcher: the stand-in echoes every task, the dispatcher
// answers each echo "badcmd", which the stand-in echoes again, so each
// round is one task out and one in through the reader, the dispatcher's
// table and its interface lock (aim: within twice the link's round trip of
// bench_drvuilink.cpp).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "bench_uiservices.h"
#include "drv_cdrvgui.h"
#include "drv_cdrvguiimpl.h"
#include "os_cosxml.h"

namespace {

constexpr long kRounds = 1000;

// The bridge counting the tasks its dispatcher handled.
class CCountingGui : public CDrvGuiImpl {
 public:
  CCountingGui() : CDrvGuiImpl(nullptr, nullptr, nullptr, SCANDRV_UISTANDIN) {}
  ~CCountingGui() override { Action(DRV_GUIACTION_STOP, nullptr); }
  void UiDispatch(COsXml* a_posxml) override {
    CDrvGuiImpl::UiDispatch(a_posxml);
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_lDispatched;
    m_cond.notify_all();
  }
  // Waits until that many tasks were handled in all; false after 30 s.
  bool WaitFor(long a_lCount) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cond.wait_for(lock, std::chrono::seconds(30), [&] { return m_lDispatched >= a_lCount; });
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_cond;
  long m_lDispatched = 0;
};

// The stand-in reads its script from the environment it inherits.
void Script(const char* a_szScript) { setenv("UISTANDIN_SCRIPT", a_szScript, 1); }

void BM_GuiStartToReady(benchmark::State& a_state) {
  CUiBenchServices uibenchservices(static_cast<int>(a_state.range(0)));
  Script("");
  for (auto _ : a_state) {
    CDrvGuiImpl drvguiimpl(nullptr, nullptr, nullptr, SCANDRV_UISTANDIN);
    if (drvguiimpl.Action(DRV_GUIACTION_START, nullptr) != OS_STS_SUCCESS ||
        drvguiimpl.WaitForGui(30000) != OS_STS_SUCCESS) {
      a_state.SkipWithError("the GUI did not get ready");
      break;
    }
    a_state.PauseTiming();
    drvguiimpl.Action(DRV_GUIACTION_STOP, nullptr);
    a_state.ResumeTiming();
  }
}
BENCHMARK(BM_GuiStartToReady)->Arg(1)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_GuiBadcmdRoundTrip(benchmark::State& a_state) {
  CUiBenchServices uibenchservices(static_cast<int>(a_state.range(0)));
  DrvGuiSetWaitLimit(DRV_GUIWAIT_IDLE, 3600000);  // no health checks joining the rounds
  Script("noready\necho");
  {
    CCountingGui countinggui;
    if (countinggui.Action(DRV_GUIACTION_START, nullptr) != OS_STS_SUCCESS ||
        countinggui.GetLink().WaitStart(30000) != DRV_UILINKSTATE_CONNECTED) {
      a_state.SkipWithError("the GUI did not connect");
      return;
    }
    // One task starts the rounds; each echo answered keeps them going.
    countinggui.SendToGui(
        "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n\t<bench>"
        "\n\t</bench>\n</task>",
        __FILE__, __LINE__);
    long lExpected = 0;
    for (auto _ : a_state) {
      lExpected += kRounds;
      if (!countinggui.WaitFor(lExpected)) {
        a_state.SkipWithError("the rounds stopped");
        break;
      }
    }
    a_state.SetItemsProcessed(lExpected);
  }
  DrvGuiSetWaitLimit(DRV_GUIWAIT_IDLE, -1);
}
BENCHMARK(BM_GuiBadcmdRoundTrip)->Arg(1)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
