// The engine's long waits: defaults, the test seam and its reset.
#include <gtest/gtest.h>

#include "dev_waits.h"

TEST(DevWaits, DefaultsSeamAndReset) {
  const struct {
    EDEVWAIT edevwait;
    long lDefault;
  } s_acase[] = {
      {DEV_WAIT_PAPER, 10000},          {DEV_WAIT_FLATBEDOPEN, 60000}, {DEV_WAIT_THREADSTOP, 70000},
      {DEV_WAIT_SCANTHREADSTOP, 30000}, {DEV_WAIT_DRAVIXREAD, 600000}, {DEV_WAIT_DATALOCK, 10000},
      {DEV_WAIT_DRAVIXACCEPT, 10000},   {DEV_WAIT_DRAVIXEXIT, 1000},      {DEV_WAIT_OPENRETRY, 1000},
      {DEV_WAIT_PAPERPOLL, 250},        {DEV_WAIT_SCANSTOPSTART, 5000}, {DEV_WAIT_SCANENDSTART, 1000},
      {DEV_WAIT_WARMUPMIN, 1000},
  };
  for (const auto& c : s_acase) {
    EXPECT_EQ(DevWaitLimit(c.edevwait), c.lDefault) << c.edevwait;
    DevSetWaitLimit(c.edevwait, 5);
    EXPECT_EQ(DevWaitLimit(c.edevwait), 5);
    DevSetWaitLimit(c.edevwait, -1);
    EXPECT_EQ(DevWaitLimit(c.edevwait), c.lDefault);
  }
  EXPECT_EQ(DevWaitLimit(DEV_WAIT_COUNT), 0);
  DevSetWaitLimit(static_cast<EDEVWAIT>(-1), 5);  // ignored
}
