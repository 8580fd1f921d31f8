// The debug and simulation records: each text field holds one character
// less than its size, each list its capacity; what does not fit is cut or
// dropped, logged, and nothing beside the field is written.
#include <cstring>
#include <string>
#include <thread>

#include "db_cdblock.h"
#include "db_fixture.h"

namespace {

using dbtest::DbFixture;

class DbDatabaseRecords : public DbFixture {
 protected:
  // Both records as bytes, to see what a write changed.
  std::string Bytes() {
    return std::string(reinterpret_cast<const char*>(m_pdatabase->GetDebugRecord()), sizeof(DbDebugRecord)) +
           std::string(reinterpret_cast<const char*>(m_pdatabase->GetSimulationRecord()), sizeof(DbSimulationRecord));
  }
};

TEST_F(DbDatabaseRecords, FieldsAndListsKeepTheirSizes) {
  DbDebugRecord& debug = *m_pdatabase->GetDebugRecord();
  DbSimulationRecord& sim = *m_pdatabase->GetSimulationRecord();
  EXPECT_EQ(Bytes(), std::string(sizeof(DbDebugRecord) + sizeof(DbSimulationRecord), '\0'));
  const std::string str62a(62, 'a');
  const struct {
    EDBRECORDFIELD edbrecordfield;
    long lIndex;
    std::string strText;
    EOSSTS eossts;
    const char* szField;  // where it lands; null when nothing is written
    std::string strStored;
    const char* szLog;
  } s_acase[] = {
      {DB_RECORD_LOGGING, 0, "custom", OS_STS_SUCCESS, debug.szLogging, "custom", nullptr},
      {DB_RECORD_IMAGESFROMSCANNER, 0, std::string(63, 's'), OS_STS_SUCCESS, debug.szImagesFromScanner,
       std::string(63, 's'), nullptr},
      {DB_RECORD_IMAGESTOAPPLICATION, 0, std::string(64, 'o'), OS_STS_SUCCESS, debug.szImagesToApplication,
       std::string(63, 'o'), "<imagestoapp> too long, cut to 63 bytes"},
      // A character the cut would split is left out whole.
      {DB_RECORD_SIMULATION, 0, str62a + "\xc3\xa9", OS_STS_SUCCESS, sim.szSimulation, str62a,
       "<simulation> too long, cut to 62 bytes"},
      {DB_RECORD_SIMMODEL, 0, "mapleB", OS_STS_SUCCESS, sim.aszModel[0], "mapleB", nullptr},
      {DB_RECORD_SIMMODEL, 9, std::string(300, 'm'), OS_STS_SUCCESS, sim.aszModel[9], std::string(254, 'm'),
       "<simmodel> too long, cut to 254 bytes"},
      {DB_RECORD_SIMMODEL, 10, "eleventh", OS_STS_NO_ROOM, nullptr, "",
       "Array overflow for <simmodel>, 10 entries at most: <eleventh> dropped...10"},
      {DB_RECORD_SIMMODEL, -1, "before", OS_STS_NO_ROOM, nullptr, "", "<before> dropped...-1"},
      {DB_RECORD_SIMFLATBED, 4, "flatbed5", OS_STS_SUCCESS, sim.aszFlatbed[4], "flatbed5", nullptr},
      {DB_RECORD_SIMFLATBED, 5, "flatbed6", OS_STS_NO_ROOM, nullptr, "", "<simflatbed>, 5 entries at most"},
      {DB_RECORD_SIMFLATBEDINTEGRATED, 0, "built-in", OS_STS_SUCCESS, sim.szFlatbedIntegrated, "built-in", nullptr},
      {DB_RECORD_SIMFLAGID, 31, "pages", OS_STS_SUCCESS, sim.adbsimflag[31].szId, "pages", nullptr},
      {DB_RECORD_SIMFLAGVALUE, 31, "12", OS_STS_SUCCESS, sim.adbsimflag[31].szValue, "12", nullptr},
      {DB_RECORD_SIMFLAGTEXT, 31, std::string(1023, 't'), OS_STS_SUCCESS, sim.adbsimflag[31].szText,
       std::string(1023, 't'), nullptr},
      {DB_RECORD_SIMFLAGTEXT, 30, std::string(5000, 't'), OS_STS_SUCCESS, sim.adbsimflag[30].szText,
       std::string(1023, 't'), "<simflag/text> too long, cut to 1023 bytes"},
      {DB_RECORD_SIMFLAGID, 32, "delay", OS_STS_NO_ROOM, nullptr, "", "<simflag/id>, 32 entries at most"},
      {static_cast<EDBRECORDFIELD>(99), 0, "x", OS_STS_BAD_ARGUMENT, nullptr, "", "Bad argument...99"},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.strText.substr(0, 16) + " " + std::to_string(c.lIndex));
    const std::string strBefore = Bytes();
    const size_t sizetLog = m_plog->Text().size();
    EXPECT_EQ(m_pdatabase->SetRecordText(c.edbrecordfield, c.lIndex, c.strText.c_str()), c.eossts);
    std::string strAfter = Bytes();
    if (c.szField) {
      EXPECT_EQ(c.szField, c.strStored);
      // Nothing but the field changed.
      const size_t sizetAt = c.szField < reinterpret_cast<const char*>(&sim)
                                 ? c.szField - reinterpret_cast<const char*>(&debug)
                                 : sizeof(DbDebugRecord) + (c.szField - reinterpret_cast<const char*>(&sim));
      strAfter.replace(sizetAt, c.strStored.size() + 1, strBefore.substr(sizetAt, c.strStored.size() + 1));
    }
    EXPECT_TRUE(strAfter == strBefore);
    const std::string strLog = m_plog->Text().substr(sizetLog);
    if (c.szLog) {
      EXPECT_NE(strLog.find(c.szLog), std::string::npos) << strLog;
    } else {
      EXPECT_EQ(strLog.find("too long"), std::string::npos) << strLog;
    }
  }
  EXPECT_EQ(m_pdatabase->SetRecordText(DB_RECORD_LOGGING, 0, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_STREQ(debug.szLogging, "custom");
}

// Readers that hold the database lock see a field whole while writers on
// other threads change it.
TEST_F(DbDatabaseRecords, WritesAreWholeToLockedReadersThread) {
  const std::string strA(254, 'a'), strB(254, 'b');
  auto fnWrite = [&](const std::string& a_str) {
    for (int i = 0; i < 2000; ++i) m_pdatabase->SetRecordText(DB_RECORD_SIMFLAGTEXT, 7, a_str.c_str());
  };
  std::thread threadA(fnWrite, strA);
  std::thread threadB(fnWrite, strB);
  int iTorn = 0;
  for (int i = 0; i < 2000; ++i) {
    CDbLockGuard dblockguard;
    const std::string str = m_pdatabase->GetSimulationRecord()->adbsimflag[7].szText;
    if (!str.empty() && str != strA && str != strB) ++iTorn;
  }
  threadA.join();
  threadB.join();
  EXPECT_EQ(iTorn, 0);
}

}  // namespace
