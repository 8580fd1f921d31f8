// The log archive is written while the device engine's threads go on: the
// export gives the database lock up for the writer, so a thread that
// updates the database meanwhile is never held up by the task.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "db_cdblock.h"
#include "drv_opened_fixture.h"

namespace {

class DrvExportThread : public drvtest::DrvOpenedFixture {};

struct Writer {
  CDatabase* pdatabase = nullptr;
  bool blWritten = false;
  std::promise<void> promise;
  std::thread thread;  // joined by the test once the task has ended
  // The writer waits for a database update made on another thread, as the
  // engine's writer waits for the scanner's logs while the callback
  // threads report values.
  static EDEVSTS SaveLog(void* a_pv, const char*, const char*, bool, bool) {
    auto* pwriter = static_cast<Writer*>(a_pv);
    std::future<void> future = pwriter->promise.get_future();
    pwriter->thread = std::thread([pwriter] {
      CDbLockGuard dblockguard;
      pwriter->pdatabase->SetCurrentLongFromId(DB_ID_TRANSPORTTIMEOUT, 30, false);
      pwriter->promise.set_value();
    });
    pwriter->blWritten = future.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    return pwriter->blWritten ? DEV_STS_SUCCESS : DEV_STS_FAIL;
  }
};

TEST_F(DrvExportThread, TheArchiveWriterLetsOtherThreadsUseTheDatabase) {
  Writer writer;
  writer.pdatabase = m_pdatabase.get();
  DrvEngineSeam drvengineseam = {};
  drvengineseam.pvUser = &writer;
  drvengineseam.pfnSaveLog = &Writer::SaveLog;
  drvengineseam.pfnGetLexiconStatus = [](void*, EDEVSTS a_edevsts) { return a_edevsts ? "fail" : "success"; };
  CDrvProcessCommands::SetEngineSeam(&drvengineseam);
  const drvtest::Reply reply = Run(drvtest::Task("<export><id>qvlog</id><filename>/tmp/a</filename></export>"));
  ASSERT_TRUE(writer.thread.joinable());
  writer.thread.join();
  EXPECT_TRUE(writer.blWritten);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_TRANSPORTTIMEOUT), 30);
}

}  // namespace
