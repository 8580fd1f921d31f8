// The device engine's long waits (one table of defaults, atomically
// replaceable by tests).
#include "dev_waits.h"

#include <atomic>

namespace {
constexpr long s_alDefault[DEV_WAIT_COUNT] = {
    10000,   // DEV_WAIT_PAPER
    60000,   // DEV_WAIT_FLATBEDOPEN
    70000,   // DEV_WAIT_THREADSTOP
    30000,   // DEV_WAIT_SCANTHREADSTOP
    600000,  // DEV_WAIT_DRAVIXREAD
    10000,   // DEV_WAIT_DATALOCK
    10000,   // DEV_WAIT_DRAVIXACCEPT
    1000,    // DEV_WAIT_DRAVIXEXIT
    1000,    // DEV_WAIT_OPENRETRY
    250,     // DEV_WAIT_PAPERPOLL
    5000,    // DEV_WAIT_SCANSTOPSTART
    1000,    // DEV_WAIT_SCANENDSTART
    1000,    // DEV_WAIT_WARMUPMIN
    10000,   // DEV_WAIT_PAPERONDEMAND
};
std::atomic<long> s_alLimit[DEV_WAIT_COUNT] = {
    s_alDefault[0], s_alDefault[1], s_alDefault[2], s_alDefault[3],
    s_alDefault[4], s_alDefault[5], s_alDefault[6],  s_alDefault[7],  s_alDefault[8],
    s_alDefault[9], s_alDefault[10], s_alDefault[11], s_alDefault[12], s_alDefault[13],
};
static_assert(sizeof(s_alDefault) / sizeof(s_alDefault[0]) == DEV_WAIT_COUNT, "one default per wait");
bool Valid(EDEVWAIT a_edevwait) { return a_edevwait >= 0 && a_edevwait < DEV_WAIT_COUNT; }
}  // namespace

long DevWaitLimit(EDEVWAIT a_edevwait) {
  return Valid(a_edevwait) ? s_alLimit[a_edevwait].load(std::memory_order_relaxed) : 0;
}

void DevSetWaitLimit(EDEVWAIT a_edevwait, long a_lMilliseconds) {
  if (!Valid(a_edevwait)) return;
  s_alLimit[a_edevwait].store(a_lMilliseconds < 0 ? s_alDefault[a_edevwait] : a_lMilliseconds,
                              std::memory_order_relaxed);
}
