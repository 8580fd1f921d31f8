// The driver's own configuration values: the defaults of the table while
// the store holds none, the store's value once the driver's tables are
// registered, and tags the table lacks.
#include <gtest/gtest.h>

#include <set>

#include "../os/log_capture.h"
#include "dev_drvconfig.h"

TEST(DevDriverConfig, DefaultsWithoutTheStore) {
  const struct {
    EDRVCFGTAG edrvcfgtag;
    const char* szDefault;
  } acase[] = {
      {DRV_CFGTAG_FORCEUNITS, ""},       {DRV_CFGTAG_FORCEOPENTIMEOUT, "0"},      {DRV_CFGTAG_FORCEGUIBOUNCE, "2"},
      {DRV_CFGTAG_FORCEGUIMSGDELAY, "3"}, {DRV_CFGTAG_FORCENEXILUSEIMAGEEND, "1"}, {DRV_CFGTAG_DEVSAVE, "false"},
      {DRV_CFGTAG_FORCESHOWDRIVERASSISTANT, "1"},
  };
  for (const auto& c : acase) EXPECT_STREQ(DevDriverConfigGet(c.edrvcfgtag), c.szDefault) << c.edrvcfgtag;
  EXPECT_EQ(DevDriverConfigGetLong(DRV_CFGTAG_FORCENEXILUSEIMAGEEND), 1);
  EXPECT_EQ(DevDriverConfigGetLong(DRV_CFGTAG_FORCEUNITS), 0);
  // The table: 21 names, one tag each, 1001 to 1021 in order (the history
  // switch no longer shares the open time-out's tag).
  ASSERT_EQ(g_uDrvCfgValues, 21u);
  std::set<unsigned> setTag;
  for (unsigned i = 0; i < g_uDrvCfgValues; ++i) {
    EXPECT_EQ(g_adrvcfgvalue[i].edrvcfgtag, 1001u + i) << g_adrvcfgvalue[i].szName;
    setTag.insert(g_adrvcfgvalue[i].edrvcfgtag);
  }
  EXPECT_EQ(setTag.size(), 21u);
  EXPECT_NE(DRV_CFGTAG_FORCEHISTORYOFF, DRV_CFGTAG_FORCEOPENTIMEOUT);

  testsupport::LogCapture log;
  EXPECT_STREQ(DevDriverConfigGet(static_cast<EDRVCFGTAG>(1022)), "");
  EXPECT_TRUE(log.Contains("unrecognized driver configuration tag...1022"));
}
