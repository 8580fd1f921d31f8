// The links' long waits (one table of defaults, atomically replaceable by
// tests).
#include "drv_uiwaits.h"

#include <atomic>

namespace {
constexpr long s_alDefault[DRV_UIWAIT_COUNT] = {
    60000,  // DRV_UIWAIT_MODEL
    60000,  // DRV_UIWAIT_ACCEPT
    60000,  // DRV_UIWAIT_FIRSTWRITE
    5000,   // DRV_UIWAIT_START
    3000,   // DRV_UIWAIT_EXITPOLL
    70000,  // DRV_UIWAIT_THREADSTOP
    1000,   // DRV_UIWAIT_CHILDGRACE
    30000,  // DRV_UIWAIT_HANDOFF
};
std::atomic<long> s_alLimit[DRV_UIWAIT_COUNT] = {s_alDefault[0], s_alDefault[1], s_alDefault[2], s_alDefault[3],
                                                 s_alDefault[4], s_alDefault[5], s_alDefault[6], s_alDefault[7]};
bool Known(EDRVUIWAIT a_edrvuiwait) { return a_edrvuiwait >= 0 && a_edrvuiwait < DRV_UIWAIT_COUNT; }
}  // namespace

long DrvUiWaitLimit(EDRVUIWAIT a_edrvuiwait) {
  return Known(a_edrvuiwait) ? s_alLimit[a_edrvuiwait].load(std::memory_order_relaxed) : 0;
}

void DrvUiSetWaitLimit(EDRVUIWAIT a_edrvuiwait, long a_lMilliseconds) {
  if (!Known(a_edrvuiwait)) return;
  s_alLimit[a_edrvuiwait].store(a_lMilliseconds < 0 ? s_alDefault[a_edrvuiwait] : a_lMilliseconds,
                                std::memory_order_relaxed);
}
