// The learning scans on the simulated scanner: without its learning mode
// the automatic colour pass starts nothing.
#include <gtest/gtest.h>

#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_scan_fixture.h"

namespace {

using drvtest::DrvScanFixture;

class DrvLearnTest : public DrvScanFixture {
 protected:
  // A learning pass as its command runs it: the device reserved around it.
  long Learn(EOSSTS (CDriver::*a_pfnLearn)()) {
    EXPECT_EQ(m_pdriver->GetDev()->ResourceBegin(true), OS_STS_SUCCESS);
    const long lResult = (m_pdriver.get()->*a_pfnLearn)();
    m_pdriver->GetDev()->ResourceEnd();
    return lResult;
  }
};

// The default database offers no learning mode.
TEST_F(DrvLearnTest, AutoColorLearnNeedsItsMode) {
  Open();
  EXPECT_EQ(Learn(&CDriver::AutoColorLearn), 1);
  EXPECT_EQ(DeviceTasks("scanbegin"), 0u);
}

}  // namespace
