// Sets and setmanys while another thread writes the database, as the device
// engine's threads do, each write under the database lock: a setmany holds
// the lock from its undo point to its restore, so the restore never undoes
// a write made in between.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "db_cdblock.h"
#include "drv_set_fixture.h"

namespace {

class DrvSetmanyThread : public drvtest::DrvSetFixture {};

TEST_F(DrvSetmanyThread, AnEngineWriteIsNeverUndoneByARestore) {
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_TRANSPORTTIMEOUT);
  ASSERT_NE(pdbdatum, nullptr);
  std::atomic<bool> blStop{false};
  std::atomic<long> lWrites{0};
  long lLast = pdbdatum->GetCurrentLongNoCallback();  // under the lock
  std::thread thread([&] {
    for (long l = 1; !blStop; ++l) {
      CDbLockGuard dblockguard;
      if (m_pdatabase->SetCurrentLong(pdbdatum, l % 100, false) == DB_STS_SUCCESS) lLast = l % 100;
      ++lWrites;
    }
  });
  for (int i = 0; i < 60 || (lWrites < 50 && i < 5000); ++i) {
    const std::string strUnits = i % 2 ? "pixels" : "inches";
    if (i % 3 == 0) {
      EXPECT_EQ(SetValue("units", strUnits).strStatus, "success");
    } else {
      EXPECT_EQ(Setmany({Body("units", strUnits), Body("powerofftimeout", std::to_string(i)),
                         i % 3 == 1 ? Body("units", "furlongs") : Body("units", strUnits)})
                    .strStatus,
                i % 3 == 1 ? "badvalue" : "success");
    }
    CDbLockGuard dblockguard;
    EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), lLast) << i;
  }
  blStop = true;
  thread.join();
  EXPECT_GT(lWrites, 0);
}

}  // namespace
