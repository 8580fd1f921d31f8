// Change notification: what each kind records, the walk order, counts, and
// the sets that stores produce.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

#include "db_fixture.h"

namespace {

using dbtest::DbFixture;
using dbtest::LongDatum;

constexpr EDBID ID_A = static_cast<EDBID>(10);
constexpr EDBID ID_B = static_cast<EDBID>(5);

class DbNotifyTest : public DbFixture {};

TEST_F(DbNotifyTest, EachKindRecordsItsOwnSlot) {
  LongDatum* pmaster = NewLong(ID_A, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 0);
  CDbDatum* pcopy = NewWindowCopy(3, ID_A, DB_BIN_BITONAL_REAR);
  Notify()->Set(static_cast<EDBNOTIFY>(DB_NOTIFY_VALUE | DB_NOTIFY_ACCESS), pcopy);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_VALUE, 3, DB_BIN_BITONAL_REAR, ID_A), pcopy);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_VALUE, 0, DB_BIN_BITONAL_REAR, ID_A), nullptr);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_ACCESS, 7, DB_BIN_BITONAL_REAR, ID_A), pmaster);  // the master, any window
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_CONSTRAINT, 0, DB_BIN_BITONAL_REAR, ID_A), nullptr);
  // Several kinds: the lowest selects the table.
  EXPECT_EQ(Notify()->Get(static_cast<EDBNOTIFY>(DB_NOTIFY_ACCESS | DB_NOTIFY_VALUE), 3, DB_BIN_BITONAL_REAR, ID_A),
            pcopy);
  EXPECT_EQ(Notify()->Get(static_cast<EDBNOTIFY>(0), 3, DB_BIN_BITONAL_REAR, ID_A), nullptr);
  EXPECT_EQ(Walk(static_cast<EDBNOTIFY>(DB_NOTIFY_VALUE | DB_NOTIFY_ACCESS)), std::vector<CDbDatum*>{pcopy});
  EXPECT_EQ(m_pdatabase->NotifyGet(DB_NOTIFY_ACCESS, 0, DB_BIN_BITONAL_REAR, ID_A), pmaster);

  Notify()->Set(DB_NOTIFY_CONSTRAINT, pcopy);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_CONSTRAINT, 0, DB_BIN_BITONAL_REAR, ID_A), pmaster);
  Notify()->Reset(static_cast<EDBNOTIFY>(DB_NOTIFY_ACCESS | DB_NOTIFY_CONSTRAINT), pcopy);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_ACCESS, 0, DB_BIN_BITONAL_REAR, ID_A), nullptr);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_CONSTRAINT, 0, DB_BIN_BITONAL_REAR, ID_A), nullptr);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_VALUE, 3, DB_BIN_BITONAL_REAR, ID_A), pcopy);
}

TEST_F(DbNotifyTest, SidesAndImagesAreCountedPerCapability) {
  LongDatum* pfront = NewLong(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0);
  LongDatum* prear = NewLong(ID_A, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 0);
  LongDatum* pother = NewLong(ID_B, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 0);
  for (EDBNOTIFY edbnotify : {DB_NOTIFY_SIDES, DB_NOTIFY_IMAGES}) {
    auto count = [&] {
      return edbnotify == DB_NOTIFY_SIDES ? m_pdatabase->NotifyGetSidesCount() : m_pdatabase->NotifyGetImagesCount();
    };
    Notify()->Set(edbnotify, pfront);
    Notify()->Set(edbnotify, pfront);
    Notify()->Set(edbnotify, prear);  // the same capability
    EXPECT_EQ(count(), 1u);
    Notify()->Set(edbnotify, pother);
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(Walk(edbnotify), (std::vector<CDbDatum*>{pother, prear}));
    Notify()->Reset(edbnotify, pfront);
    Notify()->Reset(edbnotify, pfront);
    EXPECT_EQ(count(), 1u);
    Notify()->ResetAll(edbnotify);
    EXPECT_EQ(count(), 0u);
  }
}

TEST_F(DbNotifyTest, RefusedDatumsAndSlots) {
  LongDatum* punsupported = NewLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 0);
  Notify()->Set(DB_NOTIFY_ALL, punsupported);
  EXPECT_TRUE(m_plog->Contains("access is undefined..."));
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_VALUE), nullptr);
  Notify()->Set(DB_NOTIFY_VALUE, nullptr);
  Notify()->Reset(DB_NOTIFY_VALUE, nullptr);
  EXPECT_EQ(Notify()->GetNext(DB_NOTIFY_VALUE, nullptr), nullptr);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL..."));
  // Ids and windows beyond the tables: nothing read or written there.
  CDbDatum* plast = CDbDatum::DbDatumFind(0, DB_ID_LAST, DB_BIN_MACHINE);
  Notify()->Reset(DB_NOTIFY_ALL, plast);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_VALUE, 0, DB_BIN_MACHINE, DB_ID_LAST), nullptr);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_PROFILES, 11, DB_BIN_MACHINE, ID_A), nullptr);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_ACCESS, 0, static_cast<EDBBIN>(6), ID_A), nullptr);
  EXPECT_EQ(Notify()->Get(DB_NOTIFY_SIDES, 0, DB_BIN_MACHINE, static_cast<EDBID>(-1)), nullptr);
  EXPECT_TRUE(m_plog->Contains("Bad a_edbid...0 1 253"));
  EXPECT_TRUE(m_plog->Contains("Bad a_edbid...11 1 10"));
}

TEST_F(DbNotifyTest, WalksFollowWindowBinIdOrder) {
  ClearCatalogue();
  // The value table: window 0 bins 1..5, then windows 1..10 bins 2..5.
  std::vector<std::tuple<int, int, int>> vecSlots = {
      {0, 1, 1}, {0, 1, 252}, {0, 3, 10}, {0, 5, 2}, {1, 2, 3}, {2, 2, 5}, {2, 5, 1}, {10, 5, 252}};
  std::vector<CDbDatum*> vecExpected;
  for (const auto& [iWindow, iBin, iId] : vecSlots) {
    const EDBID edbid = static_cast<EDBID>(iId);
    const EDBBIN edbbin = static_cast<EDBBIN>(iBin);
    if (!CDbDatum::ms_pdatumcommon->apdbdatum[0][iId][iBin]) NewLong(edbid, edbbin, DB_ACCESS_READWRITE, 0);
    vecExpected.push_back(iWindow == 0 ? CDbDatum::DbDatumFind(0, edbid, edbbin) : NewWindowCopy(iWindow, edbid, edbbin));
  }
  std::vector<CDbDatum*> vecShuffled = vecExpected;
  std::shuffle(vecShuffled.begin(), vecShuffled.end(), std::mt19937(7));
  for (CDbDatum* pdbdatum : vecShuffled) Notify()->Set(static_cast<EDBNOTIFY>(DB_NOTIFY_VALUE | DB_NOTIFY_PROFILES), pdbdatum);
  EXPECT_EQ(Walk(DB_NOTIFY_VALUE), vecExpected);
  EXPECT_EQ(Walk(DB_NOTIFY_PROFILES), vecExpected);

  // Two entries: the first, then the one after it.
  Notify()->ResetAll(DB_NOTIFY_ALL);
  Notify()->Set(DB_NOTIFY_VALUE, vecExpected[5]);  // window 2, bin 2, id 5
  Notify()->Set(DB_NOTIFY_VALUE, vecExpected[2]);  // window 0, bin 3, id 10
  EXPECT_EQ(m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE), vecExpected[2]);
  EXPECT_EQ(m_pdatabase->NotifyGetNext(DB_NOTIFY_VALUE, vecExpected[2]), vecExpected[5]);
  EXPECT_EQ(m_pdatabase->NotifyGetNext(DB_NOTIFY_VALUE, vecExpected[5]), nullptr);

  // Access and constraint hold masters: bins 1..5, ids within.
  for (CDbDatum* pdbdatum : vecShuffled) Notify()->Set(DB_NOTIFY_ACCESS, pdbdatum);
  std::vector<CDbDatum*> vecMasters;
  for (const auto& [iWindow, iBin, iId] : std::vector<std::tuple<int, int, int>>{
           {0, 1, 1}, {0, 1, 252}, {0, 2, 3}, {0, 2, 5}, {0, 3, 10}, {0, 5, 1}, {0, 5, 2}, {0, 5, 252}})
    vecMasters.push_back(CDbDatum::DbDatumFind(iWindow, static_cast<EDBID>(iId), static_cast<EDBBIN>(iBin)));
  EXPECT_EQ(Walk(DB_NOTIFY_ACCESS), vecMasters);
  EXPECT_EQ(Notify()->GetNext(DB_NOTIFY_ACCESS, vecMasters.back()), nullptr);
}

TEST_F(DbNotifyTest, SetAllAndResetAll) {
  LongDatum* p1 = NewLong(ID_B, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0);
  LongDatum* p2 = NewLong(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_DISABLED, 0);
  LongDatum* p3 = NewLong(ID_A, DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, 0);
  NewLong(ID_A, DB_BIN_COLOR_FRONT, DB_ACCESS_NOTSUPPORTED, 0);
  NewWindowCopy(4, ID_A, DB_BIN_COLOR_REAR);
  Notify()->SetAll(DB_NOTIFY_ALL);
  const std::vector<CDbDatum*> vecAll = {p1, p2, p3};
  for (EDBNOTIFY edbnotify : {DB_NOTIFY_VALUE, DB_NOTIFY_ACCESS, DB_NOTIFY_CONSTRAINT, DB_NOTIFY_PROFILES})
    EXPECT_EQ(Walk(edbnotify), vecAll) << edbnotify;
  EXPECT_EQ(Notify()->GetSidesCount(), 2u);  // ids 5 and 10
  EXPECT_EQ(Notify()->GetImagesCount(), 2u);
  m_pdatabase->NotifyResetAll();  // value, access and constraint
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_VALUE), nullptr);
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_CONSTRAINT), nullptr);
  EXPECT_EQ(Walk(DB_NOTIFY_PROFILES), vecAll);
  m_pdatabase->NotifyResetProfiles();
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_PROFILES), nullptr);
  EXPECT_EQ(Notify()->GetSidesCount(), 2u);
  Notify()->ResetAll(DB_NOTIFY_ALL);
  EXPECT_EQ(Notify()->GetSidesCount(), 0u);
  EXPECT_EQ(Notify()->GetImagesCount(), 0u);
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_SIDES), nullptr);
}

// Random records and clearings on a few datums sharing rows: every walk
// finds exactly the slots that Get finds filled (a row emptied and filled
// again, a slot set twice or cleared when empty, must never be passed over).
TEST_F(DbNotifyTest, WalksFindEveryFilledSlotAfterAnyRun) {
  std::vector<CDbDatum*> vecDatums = {NewLong(ID_B, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0),
                                      NewLong(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0),
                                      NewLong(ID_A, DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, 0)};
  vecDatums.push_back(NewWindowCopy(2, ID_A, DB_BIN_BITONAL_FRONT));
  vecDatums.push_back(NewWindowCopy(2, ID_B, DB_BIN_BITONAL_FRONT));
  std::mt19937 mt19937(11);
  for (int iStep = 0; iStep < 400; ++iStep) {
    const EDBNOTIFY edbnotify = static_cast<EDBNOTIFY>(1 + mt19937() % DB_NOTIFY_ALL);
    CDbDatum* pdbdatum = vecDatums[mt19937() % vecDatums.size()];
    switch (mt19937() % 8) {
      case 0: Notify()->ResetAll(edbnotify); break;
      case 1:
      case 2:
      case 3: Notify()->Reset(edbnotify, pdbdatum); break;
      default: Notify()->Set(edbnotify, pdbdatum); break;
    }
    for (EDBNOTIFY edbnotifyKind : {DB_NOTIFY_VALUE, DB_NOTIFY_ACCESS, DB_NOTIFY_CONSTRAINT, DB_NOTIFY_PROFILES}) {
      std::vector<CDbDatum*> vecFilled;
      for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
        for (int iBin = iWindow ? DB_BIN_BITONAL_FRONT : DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
          for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
            CDbDatum* pdbdatumSlot = Notify()->Get(edbnotifyKind, iWindow, static_cast<EDBBIN>(iBin), static_cast<EDBID>(iId));
            if (pdbdatumSlot && (iWindow == 0 || edbnotifyKind == DB_NOTIFY_VALUE || edbnotifyKind == DB_NOTIFY_PROFILES))
              vecFilled.push_back(pdbdatumSlot);
          }
        }
      }
      ASSERT_EQ(Walk(edbnotifyKind), vecFilled) << "step " << iStep << " kind " << edbnotifyKind;
    }
  }
}

// A run of stores on a small population and the exact sets they leave.
TEST_F(DbNotifyTest, StoresProduceExactlyTheirSets) {
  LongDatum* pwindowbin = NewLong(DB_ID_WINDOWBIN, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0);
  LongDatum* presF = NewLong(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 300);
  LongDatum* presR = NewLong(ID_A, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 300);
  LongDatum* presCF = NewLong(ID_A, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 300);
  LongDatum* pmachine = NewLong(ID_B, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1);
  NewLookup(DB_ID_WINDOWBIN, "windowbin", 0x21FFFF);
  NewLookup(ID_A, "resolution", 0x1);
  NewLookup(ID_B, "feeder", 0x800000);  // shared only: not a profile capability

  pwindowbin->ForceCurrentLong(3);
  presF->ForceCurrentLong(200);
  pmachine->ForceCurrentLong(2);
  presR->SetAccess(DB_ACCESS_READONLY);
  EXPECT_EQ(Walk(DB_NOTIFY_VALUE), (std::vector<CDbDatum*>{pmachine, pwindowbin, presF}));
  EXPECT_EQ(Walk(DB_NOTIFY_ACCESS), std::vector<CDbDatum*>{presR});
  EXPECT_EQ(Walk(DB_NOTIFY_CONSTRAINT), std::vector<CDbDatum*>{});
  EXPECT_EQ(Walk(DB_NOTIFY_PROFILES), std::vector<CDbDatum*>{presF});
  EXPECT_EQ(Walk(DB_NOTIFY_SIDES), std::vector<CDbDatum*>{presF});
  EXPECT_EQ(Walk(DB_NOTIFY_IMAGES), std::vector<CDbDatum*>{presF});

  // Matching the other cameras clears sides and images; back to the profile
  // value clears profiles.
  presR->ForceCurrentLong(200);
  presCF->ForceCurrentLong(200);
  EXPECT_EQ(Walk(DB_NOTIFY_SIDES), std::vector<CDbDatum*>{});
  EXPECT_EQ(Walk(DB_NOTIFY_IMAGES), std::vector<CDbDatum*>{});
  EXPECT_EQ(Walk(DB_NOTIFY_PROFILES), (std::vector<CDbDatum*>{presF, presR, presCF}));
  presF->ForceCurrentLong(300);
  EXPECT_EQ(Walk(DB_NOTIFY_PROFILES), (std::vector<CDbDatum*>{presR, presCF}));
  EXPECT_EQ(Walk(DB_NOTIFY_SIDES), std::vector<CDbDatum*>{presF});
  EXPECT_EQ(Walk(DB_NOTIFY_IMAGES), std::vector<CDbDatum*>{presF});
}

}  // namespace
