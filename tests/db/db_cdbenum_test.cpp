// Enumerated values: the two lists and their limits, deleting items,
// validation, resets, comparison, the match of the cameras and the task
// argument.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_fixture.h"

namespace {

using dbtest::DbFixture;

constexpr EDBID ID_A = static_cast<EDBID>(10);

class DbEnumTest : public DbFixture {
 protected:
  static std::vector<long> CurrentItems(CDbEnum* a_pdbenum) {
    std::vector<long> vec;
    for (long l = 0; l < a_pdbenum->GetCurrentItemCount(); ++l) vec.push_back(a_pdbenum->GetCurrentItem(l));
    return vec;
  }
  static std::vector<long> DefaultItems(CDbEnum* a_pdbenum) {
    std::vector<long> vec;
    for (long l = 0; l < a_pdbenum->GetDefaultItemCount(); ++l) vec.push_back(a_pdbenum->GetDefaultItem(l));
    return vec;
  }
};

// An enumeration that keeps a profile container, as some capabilities do.
class WithProfile : public CDbEnum {
 public:
  WithProfile() { m_pdbenumProfile = new CDbEnum(false); }
};

TEST_F(DbEnumTest, ListsHoldNinetyFiveItems) {
  CDbEnum* pdatum = NewEnum(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, {});
  std::vector<long> vecItems;
  for (long l = 0; l < 95; ++l) {
    ASSERT_EQ(pdatum->AddCurrentItem(l * 10), OS_STS_SUCCESS);
    ASSERT_EQ(pdatum->AddDefaultItem(l * 10), OS_STS_SUCCESS);
    vecItems.push_back(l * 10);
  }
  Notify()->ResetAll(DB_NOTIFY_ALL);
  EXPECT_EQ(pdatum->AddCurrentItem(20), OS_STS_SUCCESS);  // present: nothing more
  EXPECT_FALSE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));
  EXPECT_EQ(pdatum->AddCurrentItem(5000), DB_EOSSTS_LISTFULL);
  EXPECT_TRUE(m_plog->Contains("enumeration overflow...10"));
  EXPECT_FALSE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));
  const size_t sizetLog = m_plog->Text().size();
  EXPECT_EQ(pdatum->AddDefaultItem(5000), DB_EOSSTS_LISTFULL);
  EXPECT_EQ(m_plog->Text().size(), sizetLog);  // silently
  EXPECT_EQ(CurrentItems(pdatum), vecItems);
  EXPECT_EQ(DefaultItems(pdatum), vecItems);
  EXPECT_EQ(pdatum->GetCurrentItem(95), 3);
  EXPECT_EQ(pdatum->GetCurrentItem(-1), 3);
  EXPECT_EQ(pdatum->GetDefaultItem(96), 3);
}

TEST_F(DbEnumTest, DeletingItemsMovesTheValues) {
  CDbEnum* pdatum = NewEnum(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 200, {100, 200, 300});
  Notify()->ResetAll(DB_NOTIFY_ALL);
  EXPECT_EQ(pdatum->DeleteCurrentItem(999), OS_STS_SUCCESS);
  EXPECT_FALSE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));
  EXPECT_EQ(pdatum->DeleteCurrentItem(200), OS_STS_SUCCESS);  // the current value
  EXPECT_EQ(CurrentItems(pdatum), (std::vector<long>{100, 300}));
  EXPECT_EQ(pdatum->GetCurrentLong(), 100);  // the first remaining item
  EXPECT_TRUE(Notified(DB_NOTIFY_VALUE, pdatum));
  EXPECT_TRUE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));
  pdatum->DeleteCurrentItem(300);
  EXPECT_EQ(pdatum->GetCurrentLong(), 100);
  pdatum->DeleteCurrentItem(100);
  EXPECT_EQ(pdatum->GetCurrentItemCount(), 0);
  EXPECT_EQ(pdatum->GetCurrentLong(), 0);
  EXPECT_EQ(pdatum->GetCurrentItem(0), 3);

  // The default list follows the master's default, silently.
  Notify()->ResetAll(DB_NOTIFY_ALL);
  EXPECT_EQ(pdatum->DeleteDefaultItem(200), OS_STS_SUCCESS);
  EXPECT_EQ(DefaultItems(pdatum), (std::vector<long>{100, 300}));
  EXPECT_EQ(pdatum->GetDefaultLong(), 100);
  pdatum->DeleteDefaultItem(100);
  pdatum->DeleteDefaultItem(300);
  EXPECT_EQ(pdatum->GetDefaultLong(), 0);
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
  pdatum->AddDefaultItem(7);
  pdatum->DeleteAllDefaultItems();
  EXPECT_EQ(pdatum->GetDefaultItemCount(), 0);
  pdatum->AddCurrentItem(7);
  pdatum->DeleteAllCurrentItems();
  EXPECT_EQ(pdatum->GetCurrentItemCount(), 0);
}

TEST_F(DbEnumTest, Validation) {
  struct Case {
    const char* szWhat;
    EDBACCESS edbaccess;
    std::vector<long> vecItems;
    long lValue;
    bool blLoading;
    EOSSTS eossts;
  } acase[] = {
      {"listed", DB_ACCESS_READWRITE, {1, 2, 3}, 2, false, OS_STS_SUCCESS},
      {"not listed", DB_ACCESS_READWRITE, {1, 2, 3}, 4, false, DB_EOSSTS_REFUSED},
      {"empty list", DB_ACCESS_READWRITE, {}, 0, false, DB_EOSSTS_REFUSED},
      {"read-only", DB_ACCESS_READONLY, {1, 2, 3}, 2, false, DB_EOSSTS_NOTMODIFIABLE},
      {"read-only while loading", DB_ACCESS_READONLY, {1, 2, 3}, 2, true, OS_STS_SUCCESS},
      {"hidden while loading", DB_ACCESS_HIDDEN, {1, 2, 3}, 2, true, DB_EOSSTS_NOTMODIFIABLE},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    CDbEnum* pdatum = NewEnum(ID_A, DB_BIN_MACHINE, c.edbaccess, 1, c.vecItems);
    if (c.blLoading) CDbDatum::SetDbState(DB_STATE_LOADING);
    EXPECT_EQ(pdatum->Validate(0, c.lValue), c.eossts);
    CDbDatum::ClearDbState(DB_STATE_LOADING);
  }
}

TEST_F(DbEnumTest, ResetNotifiesTheConstraintAndTheDefaultResetDoesNot) {
  WithProfile* pdatum = NewContainer<WithProfile>(ID_A, DB_BIN_MACHINE);
  pdatum->InitEnumLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 2, 2);
  for (long l : {1, 2, 3}) pdatum->AddDefaultItem(l);
  pdatum->AddCurrentItem(9);
  pdatum->ForceCurrentLong(9);
  Notify()->ResetAll(DB_NOTIFY_ALL);

  pdatum->FixDefaultReset();
  EXPECT_EQ(pdatum->GetCurrentLong(), 2);
  EXPECT_EQ(pdatum->GetPreviousLong(), 9);
  EXPECT_EQ(CurrentItems(pdatum), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(CurrentItems(pdatum->GetProfileContainer()), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);

  pdatum->DeleteAllCurrentItems();
  pdatum->ForceCurrentLong(9);
  Notify()->ResetAll(DB_NOTIFY_ALL);
  pdatum->Reset();
  EXPECT_EQ(pdatum->GetCurrentLong(), 2);
  EXPECT_EQ(CurrentItems(pdatum), (std::vector<long>{1, 2, 3}));
  EXPECT_TRUE(Notified(DB_NOTIFY_VALUE, pdatum));
  EXPECT_TRUE(Notified(DB_NOTIFY_CONSTRAINT, pdatum));
  EXPECT_FALSE(pdatum->IsSelectionList());
  EXPECT_TRUE(NewContainer<CDbEnum>(ID_A, DB_BIN_MACHINE, true)->IsSelectionList());
  // Deleting the enumeration deletes its profile container (leak-checked).
}

TEST_F(DbEnumTest, CompareAsksTheCurrentList) {
  CDbEnum* pdatum = NewEnum(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 5, {5, 6});
  EXPECT_FALSE(pdatum->Compare(5, 7));  // 7 cannot be set here: no difference
  EXPECT_TRUE(pdatum->Compare(5, 6));
  EXPECT_FALSE(pdatum->Compare(6, 6));
  pdatum->Copy(6);
  EXPECT_EQ(pdatum->GetCurrentLong(), 6);
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_VALUE), nullptr);
}

TEST_F(DbEnumTest, MatchAcrossBins) {
  struct Bin {
    EDBACCESS edbaccess;
    std::vector<long> vecDefault, vecCurrent;
  };
  const Bin rw123 = {DB_ACCESS_READWRITE, {1, 2, 3}, {1, 2, 3}};
  struct Case {
    const char* szWhat;
    Bin abin[4];
    int iPending;  // a camera with a pending constraint notification, or -1
    bool blMatch;
  } acase[] = {
      {"alike", {rw123, rw123, rw123, rw123}, -1, true},
      {"other order", {rw123, rw123, {DB_ACCESS_READWRITE, {3, 1, 2}, {3, 1, 2}}, rw123}, -1, true},
      {"first narrowed", {{DB_ACCESS_READWRITE, {1, 2, 3}, {1, 2}}, {DB_ACCESS_READWRITE, {1, 2}, {1, 2}},
                          {DB_ACCESS_READWRITE, {1, 2}, {1, 2}}, {DB_ACCESS_READWRITE, {1, 2}, {1, 2}}}, -1, false},
      {"a later one narrowed", {{DB_ACCESS_READWRITE, {1, 2}, {1, 2}}, {DB_ACCESS_READWRITE, {1, 2, 3}, {1, 2}},
                                {DB_ACCESS_READWRITE, {1, 2}, {1, 2}}, {DB_ACCESS_READWRITE, {1, 2}, {1, 2}}}, -1, true},
      {"later count differs", {rw123, {DB_ACCESS_READWRITE, {1, 2}, {1, 2}}, rw123, rw123}, -1, false},
      {"later items differ", {rw123, rw123, {DB_ACCESS_READWRITE, {1, 2, 4}, {1, 2, 4}}, rw123}, -1, false},
      {"empty lists take no part", {{DB_ACCESS_READWRITE, {1}, {}}, rw123, {DB_ACCESS_READWRITE, {}, {}}, rw123}, -1,
       true},
      {"unsupported ones take no part", {rw123, {DB_ACCESS_NOTSUPPORTED, {9}, {9}}, rw123, rw123}, -1, true},
      {"no items anywhere", {{DB_ACCESS_READWRITE, {}, {}}, {DB_ACCESS_NOTSUPPORTED, {}, {}},
                             {DB_ACCESS_READWRITE, {}, {}}, {DB_ACCESS_READWRITE, {}, {}}}, -1, true},
      {"pending constraint", {rw123, rw123, rw123, rw123}, 2, false},
  };
  int iId = 100;
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    const EDBID edbid = static_cast<EDBID>(iId++);
    std::vector<CDbEnum*> vecpdatum;
    for (int i = 0; i < 4; ++i) {
      CDbEnum* pdatum = NewEnum(edbid, static_cast<EDBBIN>(2 + i), c.abin[i].edbaccess, 0, {});
      for (long l : c.abin[i].vecDefault) pdatum->AddDefaultItem(l);
      for (long l : c.abin[i].vecCurrent) pdatum->AddCurrentItem(l);
      vecpdatum.push_back(pdatum);
    }
    Notify()->ResetAll(DB_NOTIFY_ALL);
    if (c.iPending >= 0) Notify()->Set(DB_NOTIFY_CONSTRAINT, vecpdatum[c.iPending]);
    for (CDbEnum* pdatum : vecpdatum) EXPECT_EQ(pdatum->MatchAcrossBins(), c.blMatch);
  }
  EXPECT_TRUE(NewEnum(static_cast<EDBID>(99), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, {1})->MatchAcrossBins());
}

TEST_F(DbEnumTest, ArgumentsNameTheValue) {
  CDbEnum* pdatum = NewEnum(ID_A, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 300, {200, 300}, DB_DEVICEDATA_NEXIL);
  NewLookup(ID_A, "resolution", 0, {{200, "200_dpi"}, {300, "300_dpi"}, {300, "300_again"}});
  StartDeviceTask();
  pdatum->MakeXml(300, DB_DEVICEDATA_NEXIL);
  pdatum->MakeXml(200, DB_DEVICEDATA_ALL);
  pdatum->MakeXml(200, DB_DEVICEDATA_ADF);  // not a consumer
  pdatum->MakeXml(150, DB_DEVICEDATA_NEXIL);
  std::string strTask = FinishDeviceTask();
  EXPECT_EQ(XmlLint(strTask), 0) << strTask;
  EXPECT_EQ(ReadArguments(strTask),
            (std::vector<std::pair<std::string, std::string>>{{"resolution", "300_dpi"}, {"resolution", "200_dpi"}}));
  EXPECT_TRUE(m_plog->Contains("Can't find 150 in resolution"));
  CDbEnum* pnolookup = NewEnum(static_cast<EDBID>(11), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, {0});
  pnolookup->MakeXml(0, DB_DEVICEDATA_NEXIL);
  EXPECT_TRUE(m_plog->Contains("pdblookup2 is NULL..."));
}

TEST_F(DbEnumTest, WithoutConfigurationTheDefaultFixOnlyDropsCameras) {
  CDbEnum* pmachine = NewEnum(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 2});
  CDbEnum* pcamera = NewEnum(ID_A, DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, 1, {1, 2});
  NewLookup(ID_A, "lex");
  pmachine->GetLookup()->szTwainLexicon = "ICAP_LEX";
  EXPECT_EQ(pmachine->FixDefault(), OS_STS_SUCCESS);
  EXPECT_EQ(pcamera->FixDefault(), OS_STS_SUCCESS);
  EXPECT_EQ(DefaultItems(pmachine), (std::vector<long>{1, 2}));
  EXPECT_EQ(pmachine->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(pcamera->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(pmachine->FixAccess(), OS_STS_SUCCESS);
  EXPECT_EQ(pmachine->FixCurrent(), OS_STS_SUCCESS);
}

}  // namespace
