// The device engine's long waits (one table of defaults, atomically
// replaceable by tests).
#include "dev_waits.h"

#include <iterator>

#include "os_coswaitlimits.h"

namespace {
constexpr long s_alDefault[] = {
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
    10000,   // DEV_WAIT_CALIBRATEPAPER
    600000,  // DEV_WAIT_CALIBRATEEND
};
static_assert(std::size(s_alDefault) == DEV_WAIT_COUNT, "one default per wait");
constinit COsWaitLimits<DEV_WAIT_COUNT> s_oswaitlimits(s_alDefault);
}  // namespace

long DevWaitLimit(EDEVWAIT a_edevwait) { return s_oswaitlimits.Get(a_edevwait); }

void DevSetWaitLimit(EDEVWAIT a_edevwait, long a_lMilliseconds) { s_oswaitlimits.Set(a_edevwait, a_lMilliseconds); }
