// Range values: validation on the step grid, the setters' refusal order,
// resets, the match of the cameras and the task argument.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "db_fixture.h"

namespace {

using dbtest::DbFixture;

constexpr EDBID ID_A = static_cast<EDBID>(10);

class DbRangeTest : public DbFixture {};

TEST_F(DbRangeTest, ValidationOnTheStepGrid) {
  struct Case {
    long lMin, lMax, lStep, lValue;
    EOSSTS eossts;
  } acase[] = {
      {100, 1200, 50, 1150, OS_STS_SUCCESS},
      {100, 1200, 50, 1200, OS_STS_SUCCESS},
      {100, 1200, 50, 1175, DB_EOSSTS_REFUSED},  // off the grid
      {100, 1200, 50, 100, OS_STS_SUCCESS},
      {100, 1200, 50, 50, DB_EOSSTS_REFUSED},    // below
      {100, 1200, 50, 1250, DB_EOSSTS_REFUSED},  // above
      {100, 1200, 300, 1200, OS_STS_SUCCESS},    // an end, although off the grid
      {100, 1200, 300, 700, OS_STS_SUCCESS},
      {100, 1200, 300, 800, DB_EOSSTS_REFUSED},
      {100, 1200, 0, 100, OS_STS_SUCCESS},       // step 0: the ends only
      {100, 1200, 0, 1200, OS_STS_SUCCESS},
      {100, 1200, 0, 600, DB_EOSSTS_REFUSED},
      {100, 100, 0, 100, OS_STS_SUCCESS},
      {100, 100, 0, 101, DB_EOSSTS_REFUSED},
      {-2, 10, 3, 1, OS_STS_SUCCESS},            // negative bounds: the grid starts at the minimum
      {-2, 10, 3, 0, DB_EOSSTS_REFUSED},
      {LONG_MIN, LONG_MAX, 2, 0, OS_STS_SUCCESS},  // spans beyond a long
      {LONG_MIN, LONG_MAX, 3, 0, DB_EOSSTS_REFUSED},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(std::to_string(c.lMin) + ".." + std::to_string(c.lMax) + "/" + std::to_string(c.lStep) + ": " +
                 std::to_string(c.lValue));
    CDbRange* pdatum = NewRange(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, c.lMin, c.lMin, c.lMax, c.lStep);
    EXPECT_EQ(pdatum->Validate(0, c.lValue), c.eossts);
  }
  CDbRange* preadonly = NewRange(ID_A, DB_BIN_MACHINE, DB_ACCESS_READONLY, 0, 0, 10, 1);
  EXPECT_EQ(preadonly->Validate(0, 5), DB_EOSSTS_NOTMODIFIABLE);
  CDbDatum::SetDbState(DB_STATE_LOADING);
  EXPECT_EQ(preadonly->Validate(0, 5), OS_STS_SUCCESS);
}

// Each refused call logs its reason and leaves value, bounds, defaults and
// notifications as they were.
TEST_F(DbRangeTest, SetCurrentRefusesInOrderAndChangesNothing) {
  struct Case {
    long lValue, lMin, lMax, lStep;
    const char* szLog;
  } acase[] = {
      {600, 1300, 1200, 1, "min is greater than max..."},
      {600, -1, 1200, 1, "min is less than default minimum..."},
      {600, 0, 2401, 1, "max is greater than default maximum..."},
      {600, 100, 200, 101, "step size is too large..."},
      {600, 100, 200, -5, "step size is negative..."},
      {50, 100, 1200, 1, "current is less than minimum..."},
      {1300, 100, 1200, 1, "current is greater than maximum..."},
      {-1, 2000, 100, 1, "min is greater than max..."},
  };
  CDbRange* pdatum = NewRange(ID_A, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 300, 0, 2400, 1);
  pdatum->SetCurrent(300, 100, 1200, 100);
  Notify()->ResetAll(DB_NOTIFY_ALL);
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szLog);
    EXPECT_EQ(pdatum->SetCurrent(c.lValue, c.lMin, c.lMax, c.lStep), DB_EOSSTS_BADARGUMENT);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(pdatum->GetCurrentLong(), 300);
    EXPECT_EQ(pdatum->GetPreviousLong(), 300);
    EXPECT_EQ(std::vector<long>({pdatum->GetMin(), pdatum->GetMax(), pdatum->GetStep()}),
              std::vector<long>({100, 1200, 100}));
    EXPECT_EQ(std::vector<long>({pdatum->GetDefaultLong(), pdatum->GetDefaultMin(), pdatum->GetDefaultMax(),
                                 pdatum->GetDefaultStep()}),
              std::vector<long>({300, 0, 2400, 1}));
    EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
  }
  // With every bound wrong the first test speaks, and only it.
  const size_t sizetBefore = m_plog->Text().size();
  EXPECT_EQ(pdatum->SetCurrent(5000, 3000, -1, 9000), DB_EOSSTS_BADARGUMENT);
  const std::string strNew = m_plog->Text().substr(sizetBefore);
  EXPECT_NE(strNew.find("min is greater than max..."), std::string::npos) << strNew;
  EXPECT_EQ(strNew.find("default"), std::string::npos) << strNew;
  EXPECT_EQ(strNew.find("step"), std::string::npos) << strNew;
}

TEST_F(DbRangeTest, StoredStepsAndTheConstraintNotification) {
  struct Case {
    long lValue, lMin, lMax, lStep, lStored;
  } acase[] = {{600, 100, 1200, 0, 1}, {100, 100, 100, 50, 0}, {600, 0, 2400, 300, 300}, {0, 0, 0, 0, 0}};
  CDbRange* pdatum = NewRange(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 300, 0, 2400, 1);
  for (const Case& c : acase) {
    Notify()->ResetAll(DB_NOTIFY_ALL);
    ASSERT_EQ(pdatum->SetCurrent(c.lValue, c.lMin, c.lMax, c.lStep), OS_STS_SUCCESS);
    EXPECT_EQ(pdatum->GetCurrentLong(), c.lValue);
    EXPECT_EQ(pdatum->GetMin(), c.lMin);
    EXPECT_EQ(pdatum->GetMax(), c.lMax);
    EXPECT_EQ(pdatum->GetStep(), c.lStored);
    EXPECT_TRUE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));
    EXPECT_EQ(pdatum->Validate(0, c.lValue), OS_STS_SUCCESS);
  }
  // An unchanged value is not stored again (no value notification).
  Notify()->ResetAll(DB_NOTIFY_ALL);
  pdatum->SetCurrent(0, 0, 100, 10);
  EXPECT_FALSE(Notified(DB_NOTIFY_VALUE, pdatum));
  EXPECT_TRUE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));
}

TEST_F(DbRangeTest, SetDefaultRefusesInOrderAndNeverNotifies) {
  struct Case {
    long lValue, lMin, lMax, lStep;
    const char* szLog;
  } acase[] = {
      {5, 10, 0, 1, "min is greater than max..."},
      {5, 0, 10, 11, "step size is too large..."},
      {5, 6, 10, 1, "default is less than minimum..."},
      {11, 0, 10, 1, "default is greater than maximum..."},
  };
  CDbRange* pdatum = NewRange(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 50, 0, 100, 5);
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szLog);
    EXPECT_EQ(pdatum->SetDefault(c.lValue, c.lMin, c.lMax, c.lStep), DB_EOSSTS_BADARGUMENT);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(std::vector<long>({pdatum->GetDefaultLong(), pdatum->GetDefaultMin(), pdatum->GetDefaultMax(),
                                 pdatum->GetDefaultStep()}),
              std::vector<long>({50, 0, 100, 5}));
  }
  ASSERT_EQ(pdatum->SetDefault(20, 10, 40, 0), OS_STS_SUCCESS);
  EXPECT_EQ(std::vector<long>({pdatum->GetDefaultLong(), pdatum->GetDefaultMin(), pdatum->GetDefaultMax(),
                               pdatum->GetDefaultStep()}),
            std::vector<long>({20, 10, 40, 1}));
  EXPECT_EQ(std::vector<long>({pdatum->GetCurrentLong(), pdatum->GetMin(), pdatum->GetMax(), pdatum->GetStep()}),
            std::vector<long>({50, 0, 100, 5}));
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
}

TEST_F(DbRangeTest, ResetNotifiesAndTheDefaultResetDoesNot) {
  CDbRange* pdatum = NewRange(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 50, 0, 100, 5);
  pdatum->SetCurrent(20, 10, 30, 10);
  Notify()->ResetAll(DB_NOTIFY_ALL);
  pdatum->Reset();
  EXPECT_EQ(std::vector<long>({pdatum->GetCurrentLong(), pdatum->GetMin(), pdatum->GetMax(), pdatum->GetStep()}),
            std::vector<long>({50, 0, 100, 5}));
  EXPECT_TRUE(Notified(DB_NOTIFY_VALUE, pdatum));
  EXPECT_TRUE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));

  pdatum->SetCurrent(20, 10, 30, 10);
  Notify()->ResetAll(DB_NOTIFY_ALL);
  pdatum->FixDefaultReset();
  EXPECT_EQ(std::vector<long>({pdatum->GetCurrentLong(), pdatum->GetPreviousLong(), pdatum->GetMin(), pdatum->GetMax(),
                               pdatum->GetStep()}),
            std::vector<long>({50, 20, 0, 100, 5}));
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
  pdatum->Copy(70);
  EXPECT_EQ(pdatum->GetCurrentLong(), 70);
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
  EXPECT_TRUE(pdatum->Compare(1, 2));
  EXPECT_FALSE(pdatum->Compare(2, 2));
}

TEST_F(DbRangeTest, MatchAcrossBins) {
  // Bounds of bins 2..5 (access 0 marks an unsupported camera); the first
  // supported camera must still have its default bounds.
  struct Bin {
    EDBACCESS edbaccess;
    long lMin, lMax, lStep;
  };
  struct Case {
    const char* szWhat;
    Bin abin[4];
    bool blMatch;
  } acase[] = {
      {"all alike", {{DB_ACCESS_READWRITE, 0, 100, 1}, {DB_ACCESS_READWRITE, 0, 100, 1},
                     {DB_ACCESS_READWRITE, 0, 100, 1}, {DB_ACCESS_READWRITE, 0, 100, 1}}, true},
      {"first narrowed", {{DB_ACCESS_READWRITE, 10, 100, 1}, {DB_ACCESS_READWRITE, 10, 100, 1},
                          {DB_ACCESS_READWRITE, 10, 100, 1}, {DB_ACCESS_READWRITE, 10, 100, 1}}, false},
      {"a later one differs", {{DB_ACCESS_READWRITE, 0, 100, 1}, {DB_ACCESS_READWRITE, 0, 100, 1},
                               {DB_ACCESS_READWRITE, 0, 90, 1}, {DB_ACCESS_READWRITE, 0, 100, 1}}, false},
      {"unsupported ones take no part", {{DB_ACCESS_NOTSUPPORTED, 5, 6, 1}, {DB_ACCESS_READWRITE, 0, 100, 1},
                                         {DB_ACCESS_NOTSUPPORTED, 0, 90, 1}, {DB_ACCESS_READWRITE, 0, 100, 1}}, true},
      {"a step differs", {{DB_ACCESS_READWRITE, 0, 100, 1}, {DB_ACCESS_READWRITE, 0, 100, 2},
                          {DB_ACCESS_NOTSUPPORTED, 0, 0, 0}, {DB_ACCESS_NOTSUPPORTED, 0, 0, 0}}, false},
      {"first's step changed, the others alike", {{DB_ACCESS_READWRITE, 0, 100, 2}, {DB_ACCESS_READWRITE, 0, 100, 2},
                                                  {DB_ACCESS_READWRITE, 0, 100, 2}, {DB_ACCESS_READWRITE, 0, 100, 2}},
       false},
  };
  int iId = 100;
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    const EDBID edbid = static_cast<EDBID>(iId++);
    std::vector<CDbRange*> vecpdatum;
    for (int i = 0; i < 4; ++i) {
      CDbRange* pdatum = NewRange(edbid, static_cast<EDBBIN>(2 + i), c.abin[i].edbaccess, 50, 0, 100, 1);
      ASSERT_EQ(pdatum->SetCurrent(c.abin[i].lMin, c.abin[i].lMin, c.abin[i].lMax, c.abin[i].lStep), OS_STS_SUCCESS);
      vecpdatum.push_back(pdatum);
    }
    for (CDbRange* pdatum : vecpdatum) EXPECT_EQ(pdatum->MatchAcrossBins(), c.blMatch);
  }
  EXPECT_TRUE(NewRange(static_cast<EDBID>(99), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, 5, 5, 0)->MatchAcrossBins());
}

TEST_F(DbRangeTest, ArgumentsAreThirtyTwoBitIntegers) {
  CDbRange* pdatum = NewRange(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0, -5000, 5000, 1, DB_DEVICEDATA_ADF);
  NewLookup(ID_A, "brightness");
  StartDeviceTask();
  for (long lValue : {0L, -42L, 4800L, 0x100000005L}) pdatum->MakeXml(lValue, DB_DEVICEDATA_ADF);
  pdatum->MakeXml(1, DB_DEVICEDATA_FLATBED);  // not a consumer
  std::string strTask = FinishDeviceTask();
  EXPECT_EQ(XmlLint(strTask), 0) << strTask;
  EXPECT_EQ(ReadArguments(strTask), (std::vector<std::pair<std::string, std::string>>{
                                        {"brightness", "0"}, {"brightness", "-42"}, {"brightness", "4800"},
                                        {"brightness", "5"}}));
  CDbRange* pnolookup = NewRange(static_cast<EDBID>(11), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, 0, 1, 1);
  pnolookup->MakeXml(1, DB_DEVICEDATA_ADF);
  EXPECT_TRUE(m_plog->Contains("pdblookup2 is NULL..."));
}

}  // namespace
