// The links' long waits.
#include "drv_uiwaits.h"

#include <iterator>

#include "os_coswaitlimits.h"

namespace {
constexpr long s_alDefault[] = {
    60000,  // DRV_UIWAIT_MODEL
    60000,  // DRV_UIWAIT_ACCEPT
    60000,  // DRV_UIWAIT_FIRSTWRITE
    5000,   // DRV_UIWAIT_START
    3000,   // DRV_UIWAIT_EXITPOLL
    70000,  // DRV_UIWAIT_THREADSTOP
    1000,   // DRV_UIWAIT_CHILDGRACE
    30000,  // DRV_UIWAIT_HANDOFF
    60000,  // DRV_UIWAIT_ECDOPREVIEW
};
static_assert(std::size(s_alDefault) == DRV_UIWAIT_COUNT, "one default per wait");
constinit COsWaitLimits<DRV_UIWAIT_COUNT> s_oswaitlimits(s_alDefault);
}  // namespace

long DrvUiWaitLimit(EDRVUIWAIT a_edrvuiwait) { return s_oswaitlimits.Get(a_edrvuiwait); }

void DrvUiSetWaitLimit(EDRVUIWAIT a_edrvuiwait, long a_lMilliseconds) {
  s_oswaitlimits.Set(a_edrvuiwait, a_lMilliseconds);
}
