// The datum layer: the shared block and its life, registration and look-ups,
// walks, access, state bits, values of both data types with their
// notifications and callbacks, and the argument a datum writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db_fixture.h"

namespace {

using dbtest::CallbackProbe;
using dbtest::DbFixture;
using dbtest::LongDatum;
using dbtest::StringDatum;

constexpr EDBID ID_A = static_cast<EDBID>(10);
constexpr EDBID ID_B = static_cast<EDBID>(20);
constexpr EDBID ID_C = static_cast<EDBID>(30);

class DbDatumTest : public DbFixture {};

// ---------------------------------------------------------------------------
// The block
// ---------------------------------------------------------------------------
TEST_F(DbDatumTest, ADatabaseSetsUpTheBlockWithSentinelsAndSharedObjects) {
  DbDatumCommon* pdatumcommon = CDbDatum::ms_pdatumcommon;
  ASSERT_NE(pdatumcommon, nullptr);
  EXPECT_EQ(pdatumcommon->pdatabase, m_pdatabase.get());
  EXPECT_NE(pdatumcommon->pdbnotify, nullptr);
  EXPECT_EQ(m_pdatabase->GetDbNotify(), pdatumcommon->pdbnotify);
  EXPECT_NE(pdatumcommon->posxmltask, nullptr);
  ASSERT_NE(pdatumcommon->pdbdatumBlank, nullptr);
  EXPECT_EQ(pdatumcommon->pdbdatumBlank->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(pdatumcommon->lState, 0);
  EXPECT_EQ(pdatumcommon->lWindowCount, 11);
  EXPECT_EQ(m_pdatabase->GetWindowMax(), 11);
  for (int iBin : {0, 1}) {
    CDbDatum* pUndefined = pdatumcommon->apdbdatum[0][0][iBin];
    CDbDatum* pLast = pdatumcommon->apdbdatum[0][253][iBin];
    ASSERT_NE(pUndefined, nullptr);
    ASSERT_NE(pLast, nullptr);
    EXPECT_STREQ(pUndefined->GetName(), "UNDEFINED");
    EXPECT_STREQ(pLast->GetName(), "LAST");
    EXPECT_EQ(pLast->GetId(), DB_ID_LAST);
    EXPECT_EQ(pLast->GetBin(), iBin);
  }
  // The set-up lines come before the first sentinel's own line.
  std::string strLog = m_plog->Text();
  size_t sizetNotify = strLog.find("new CDbNotify");
  EXPECT_NE(sizetNotify, std::string::npos);
  EXPECT_LT(sizetNotify, strLog.find("new DbMakeXml"));
  EXPECT_LT(strLog.find("new DbMakeXml"), strLog.find("new CDbDatum"));
  EXPECT_LT(strLog.find("new CDbDatum"), strLog.find("new CUNDEFINED"));
}

TEST_F(DbDatumTest, ASecondDatabaseStartsFromAFreshBlock) {
  LongDatum* pdatum = NewLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1);
  pdatum->ForceCurrentLong(2);
  pdatum->SetModified();
  CDbDatum::SetDbState(DB_STATE_GUI);
  ASSERT_TRUE(Notified(DB_NOTIFY_VALUE, pdatum));
  TearDown();
  EXPECT_EQ(CDbDatum::ms_pdatumcommon, nullptr);
  EXPECT_EQ(CDbDatum::GetDbNotify(), nullptr);
  EXPECT_FALSE(CDbDatum::TestDbState(DB_STATE_GUI));

  SetUp();
  ASSERT_NE(CDbDatum::GetDbNotify(), nullptr);
  EXPECT_NE(CDbDatum::GetDbMakeXml(), nullptr);
  EXPECT_NE(CDbDatum::DbDatumFindQuick(0, ID_A, DB_BIN_MACHINE), nullptr);
  // The slot holds the new catalogue's object, unsupported and empty.
  CDbDatum* pfresh = CDbDatum::ms_pdatumcommon->apdbdatum[0][ID_A][1];
  ASSERT_NE(pfresh, nullptr);
  EXPECT_EQ(pfresh->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(pfresh->GetCurrentLong(), 0);
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_VALUE), nullptr);
  EXPECT_EQ(CDbDatum::GetModified(), nullptr);
  EXPECT_FALSE(CDbDatum::TestDbState(DB_STATE_GUI));
  EXPECT_EQ(CDbDatum::GetDatabase(), m_pdatabase.get());
}

// ---------------------------------------------------------------------------
// Look-ups, windows and walks
// ---------------------------------------------------------------------------
TEST_F(DbDatumTest, WindowCopiesTakeTheirMastersIdentityAndAccess) {
  LongDatum* pmaster = NewLong(ID_A, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 5, 7, DB_DEVICEDATA_NEXIL);
  CDbDatum* pcopy = NewWindowCopy(3, ID_A, DB_BIN_COLOR_FRONT);
  EXPECT_EQ(pcopy->GetWindow(), 3);
  EXPECT_STREQ(pcopy->GetName(), pmaster->GetName());
  EXPECT_EQ(pcopy->GetDataType(), DB_DATATYPE_LONG);
  EXPECT_EQ(pcopy->GetDeviceData(), DB_DEVICEDATA_NEXIL);
  EXPECT_EQ(pcopy->GetAccess(), DB_ACCESS_READWRITE);  // from the master
  EXPECT_FALSE(pcopy->IsModifiable());                  // its own access is 0
  EXPECT_EQ(pcopy->GetDefaultLong(), 7);
  EXPECT_EQ(CDbDatum::DbDatumFind(3, ID_A, DB_BIN_COLOR_FRONT), pcopy);
  EXPECT_EQ(CDbDatum::DbDatumFind(4, ID_A, DB_BIN_COLOR_FRONT), pmaster);  // falls back to the master
  EXPECT_EQ(CDbDatum::DbDatumFind(4, ID_A, DB_BIN_COLOR_REAR), nullptr);
  EXPECT_EQ(CDbDatum::DbDatumFindQuick(4, ID_A, DB_BIN_COLOR_FRONT), CDbDatum::ms_pdatumcommon->pdbdatumBlank);

  // A copy without a master keeps a zero identity instead of reading null.
  Vacate(0, ID_B, DB_BIN_COLOR_FRONT);
  CDbDatum* porphan = NewWindowCopy(2, ID_B, DB_BIN_COLOR_FRONT);
  EXPECT_EQ(porphan->GetName(), nullptr);
  EXPECT_EQ(porphan->GetAccess(), DB_ACCESS_NOTSUPPORTED);
  EXPECT_TRUE(m_plog->Contains("master not found...2 20 4"));
}

TEST_F(DbDatumTest, SlotsOutsideTheTableAreRefusedAndLogged) {
  ClearCatalogue();
  struct Case {
    int iWindow, iId, iBin;
    const char* szLog;
  } acase[] = {
      {11, 1, 1, "Bad a_edbidwindow...11 1 1"}, {-1, 1, 1, "Bad a_edbidwindow...-1 1 1"},
      {0, 254, 1, "Bad a_edbid...0 1 254"},     {0, -3, 1, "Bad a_edbid...0 1 -3"},
      {0, 1, 6, "Bad a_edbbin...0 6 1"},        {0, 1, -1, "Bad a_edbbin...0 -1 1"},
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szLog);
    const EDBID edbid = static_cast<EDBID>(c.iId);
    const EDBBIN edbbin = static_cast<EDBBIN>(c.iBin);
    EXPECT_EQ(CDbDatum::DbDatumFind(c.iWindow, edbid, edbbin), nullptr);
    EXPECT_EQ(CDbDatum::DbDatumFindQuick(c.iWindow, edbid, edbbin), CDbDatum::ms_pdatumcommon->pdbdatumBlank);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    // Neither a window copy nor a registration writes outside the table.
    NewWindowCopy(c.iWindow, edbid, edbbin);
    if (c.iWindow == 0) NewRegistered<CDbDatum>(edbid, edbbin);
  }
  // The sentinels are slots of their own, never found by the walks.
  EXPECT_STREQ(CDbDatum::DbDatumFind(0, DB_ID_LAST, DB_BIN_SEARCH)->GetName(), "LAST");
  EXPECT_EQ(CDbDatum::DbDatumFindFirstIgnoreAccess(), nullptr);
}

TEST_F(DbDatumTest, WalksVisitWindowZeroInIdAndBinOrder) {
  ClearCatalogue();
  LongDatum* pB5 = NewLong(ID_B, DB_BIN_COLOR_REAR, DB_ACCESS_READONLY, 0);
  LongDatum* pA2 = NewLong(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0);
  LongDatum* pA1 = NewLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_HIDDEN, 0);
  LongDatum* pA0 = NewLong(ID_A, DB_BIN_SEARCH, DB_ACCESS_READWRITE, 0);  // index entry: never walked
  LongDatum* pB3 = NewLong(ID_B, DB_BIN_BITONAL_REAR, DB_ACCESS_NOTSUPPORTED, 0);
  LongDatum* pC2 = NewLong(ID_C, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0);
  LongDatum* pLast = NewLong(static_cast<EDBID>(252), DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, 0);
  CDbDatum* pcopy = NewWindowCopy(1, ID_A, DB_BIN_BITONAL_FRONT);
  (void)pA0;

  auto walk = [](CDbDatum* (*first)(), CDbDatum* (*next)(CDbDatum*)) {
    std::vector<CDbDatum*> vec;
    for (CDbDatum* p = first(); p; p = next(p)) vec.push_back(p);
    return vec;
  };
  EXPECT_EQ(walk(CDbDatum::DbDatumFindFirst, CDbDatum::DbDatumFindNext),
            (std::vector<CDbDatum*>{pA1, pA2, pB5, pC2, pLast}));
  EXPECT_EQ(walk(CDbDatum::DbDatumFindFirstIgnoreAccess, CDbDatum::DbDatumFindNextIgnoreAccess),
            (std::vector<CDbDatum*>{pA1, pA2, pB3, pB5, pC2, pLast}));
  std::vector<CDbDatum*> vecBin2;
  for (CDbDatum* p = CDbDatum::DbDatumFindFirstInBin(DB_BIN_BITONAL_FRONT); p; p = CDbDatum::DbDatumFindNextInBin(p))
    vecBin2.push_back(p);
  EXPECT_EQ(vecBin2, (std::vector<CDbDatum*>{pA2, pC2}));
  EXPECT_EQ(CDbDatum::DbDatumFindNext(pcopy), nullptr);
  EXPECT_EQ(CDbDatum::DbDatumFindNextInBin(pcopy), nullptr);
  EXPECT_EQ(CDbDatum::DbDatumFindFirstInBin(static_cast<EDBBIN>(6)), nullptr);
  // A walk continued from a sentinel starts at id 1.
  EXPECT_EQ(CDbDatum::DbDatumFindNext(CDbDatum::DbDatumFind(0, DB_ID_UNDEFINED, DB_BIN_SEARCH)), pA1);
}

// ---------------------------------------------------------------------------
// Access, state bits, bins
// ---------------------------------------------------------------------------
TEST_F(DbDatumTest, ModifiableByAccessAndLoadingState) {
  // access: 0 1 2 3 4 5 6 7
  const bool ablNormal[8] = {false, false, false, false, true, true, true, false};
  const bool ablLoading[8] = {false, true, false, true, true, true, true, true};
  LongDatum* pdatum = NewLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_NOTSUPPORTED, 0);
  for (int iAccess = 0; iAccess < 8; ++iAccess) {
    pdatum->InitDatumLong(ID_A, DB_BIN_MACHINE, static_cast<EDBACCESS>(iAccess), DB_DEVICEDATA_NONE, 0, 0);
    EXPECT_EQ(pdatum->IsModifiable(), ablNormal[iAccess]) << iAccess;
    CDbDatum::SetDbState(DB_STATE_LOADING);
    EXPECT_EQ(pdatum->IsModifiable(), ablLoading[iAccess]) << iAccess;
    CDbDatum::ClearDbState(DB_STATE_LOADING);
  }
}

TEST_F(DbDatumTest, AccessChangesRaiseAndClearNotifications) {
  LongDatum* pdatum = NewLong(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 1);
  EXPECT_EQ(pdatum->SetAccess(DB_ACCESS_READWRITE), DB_ACCESS_READWRITE);
  EXPECT_FALSE(Notified(DB_NOTIFY_ACCESS, pdatum));  // unchanged: nothing sent
  EXPECT_EQ(pdatum->SetAccess(DB_ACCESS_READONLY), DB_ACCESS_READWRITE);
  EXPECT_TRUE(Notified(DB_NOTIFY_ACCESS, pdatum));
  pdatum->ForceCurrentLong(2);
  Notify()->Set(static_cast<EDBNOTIFY>(DB_NOTIFY_CONSTRAINT | DB_NOTIFY_SIDES), pdatum);
  EXPECT_EQ(pdatum->SetAccess(DB_ACCESS_NOTSUPPORTED), DB_ACCESS_READONLY);
  for (EDBNOTIFY edbnotify : {DB_NOTIFY_VALUE, DB_NOTIFY_ACCESS, DB_NOTIFY_CONSTRAINT, DB_NOTIFY_SIDES})
    EXPECT_FALSE(Notified(edbnotify, pdatum)) << edbnotify;
  EXPECT_EQ(Notify()->GetSidesCount(), 0u);
  // Becoming supported is a change of access like any other.
  EXPECT_EQ(pdatum->SetAccess(DB_ACCESS_READWRITE), DB_ACCESS_NOTSUPPORTED);
  EXPECT_TRUE(Notified(DB_NOTIFY_ACCESS, pdatum));
  EXPECT_FALSE(m_plog->Contains("access is undefined"));
}

TEST_F(DbDatumTest, StateBitsOneToFifteenOnly) {
  CDbDatum::SetDbState(DB_STATE_DEVICEUPDATE);
  EXPECT_EQ(CDbDatum::ms_pdatumcommon->lState, 2);
  m_pdatabase->SetDbState(static_cast<EDBSTATE>(15));
  EXPECT_EQ(m_pdatabase->TestDbState(static_cast<EDBSTATE>(15)), 1);
  for (int iBit : {0, 16, -1}) {
    CDbDatum::SetDbState(static_cast<EDBSTATE>(iBit));
    CDbDatum::ClearDbState(static_cast<EDBSTATE>(iBit));
    EXPECT_TRUE(m_plog->Contains("Unrecognized a_edbstate..." + std::to_string(iBit)));
  }
  EXPECT_EQ(CDbDatum::ms_pdatumcommon->lState, 2 | (1 << 15));
  EXPECT_FALSE(CDbDatum::TestDbState(static_cast<EDBSTATE>(99)));
  m_pdatabase->ClearDbState(DB_STATE_DEVICEUPDATE);
  m_pdatabase->ClearDbState(static_cast<EDBSTATE>(15));
  EXPECT_EQ(CDbDatum::ms_pdatumcommon->lState, 0);
}

TEST_F(DbDatumTest, SideAndColourMaps) {
  struct Case {
    int iBin, iOtherSide, iSameSide;
  } acase[] = {{2, 3, 4}, {3, 2, 5}, {4, 5, 2}, {5, 4, 3}, {1, 1, 1}, {6, 6, 6}};
  for (const Case& c : acase) {
    EXPECT_EQ(CDbDatum::GetBinOtherSide(static_cast<EDBBIN>(c.iBin)), c.iOtherSide) << c.iBin;
    EXPECT_EQ(CDbDatum::GetBinSameSide(static_cast<EDBBIN>(c.iBin)), c.iSameSide) << c.iBin;
  }
  EXPECT_TRUE(m_plog->Contains("Unrecognized bin...1"));
  EXPECT_TRUE(m_plog->Contains("Unrecognized bin...6"));
}

// ---------------------------------------------------------------------------
// Long values
// ---------------------------------------------------------------------------
TEST_F(DbDatumTest, SetCurrentLongStoresOnlyChangesUnlessACommandRuns) {
  LongDatum* pdatum = NewLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 5, 9);
  CallbackProbe probe;
  ASSERT_EQ(pdatum->RegisterCallback(DB_CALLBACK_SETLONG, CallbackProbe::Callback, &probe), OS_STS_SUCCESS);
  EXPECT_EQ(pdatum->SetCurrentLong(5), OS_STS_SUCCESS);
  EXPECT_EQ(probe.iCalls, 0);
  EXPECT_FALSE(Notified(DB_NOTIFY_VALUE, pdatum));
  for (EDBSTATE edbstate : {DB_STATE_APPLICATION, DB_STATE_GUI}) {
    Notify()->ResetAll(DB_NOTIFY_ALL);
    CDbDatum::SetDbState(edbstate);
    EXPECT_EQ(pdatum->SetCurrentLong(5), OS_STS_SUCCESS);
    CDbDatum::ClearDbState(edbstate);
    EXPECT_TRUE(Notified(DB_NOTIFY_VALUE, pdatum)) << edbstate;
  }
  EXPECT_EQ(probe.iCalls, 2);
  EXPECT_EQ(pdatum->SetCurrentLong(6), OS_STS_SUCCESS);
  EXPECT_EQ(pdatum->GetCurrentLong(), 6);
  EXPECT_EQ(pdatum->GetPreviousLong(), 5);
  EXPECT_EQ(probe.iCalls, 3);
  EXPECT_EQ(probe.dbcallbackrecord.pdbdatum, pdatum);
  EXPECT_EQ(probe.dbcallbackrecord.pdatabase, m_pdatabase.get());
  EXPECT_EQ(probe.dbcallbackrecord.pvUser, &probe);

  // Silent and default stores.
  Notify()->ResetAll(DB_NOTIFY_ALL);
  EXPECT_EQ(pdatum->CopyCurrentLong(8), 6);
  EXPECT_EQ(pdatum->GetPreviousLong(), 6);
  EXPECT_EQ(probe.iCalls, 3);
  pdatum->FixDefaultResetLong(pdatum->GetDefaultLong());
  EXPECT_EQ(pdatum->GetCurrentLong(), 9);
  EXPECT_EQ(probe.iCalls, 4);
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
}

TEST_F(DbDatumTest, LongAndStringOperationsRefuseTheOtherDataType) {
  StringDatum* pstring = NewString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10);
  LongDatum* plong = NewLong(ID_B, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 3);
  EXPECT_EQ(pstring->ForceCurrentLong(1), DB_EOSSTS_BADARGUMENT);
  EXPECT_EQ(pstring->SetCurrentLong(1), DB_EOSSTS_BADARGUMENT);
  EXPECT_EQ(pstring->GetCurrentLong(), 0);  // the field, with a log line
  EXPECT_TRUE(m_plog->Contains("10 is not a DB_DATATYPE_LONG..."));
  EXPECT_EQ(plong->SetCurrentString("x"), DB_EOSSTS_BADARGUMENT);
  EXPECT_EQ(plong->ForceCurrentString("x"), DB_EOSSTS_BADARGUMENT);
  EXPECT_EQ(plong->SetDefaultString("x"), DB_EOSSTS_BADARGUMENT);
  EXPECT_EQ(plong->GetCurrentString(), nullptr);
  EXPECT_EQ(plong->GetDefaultString(), nullptr);
  plong->CopyCurrentString("x");
  plong->UpdateProfilesString();
  EXPECT_EQ(plong->GetCurrentLong(), 3);
  EXPECT_TRUE(m_plog->Contains("20 is not a DB_DATATYPE_STRING..."));
  EXPECT_EQ(Notify()->GetFirst(DB_NOTIFY_ALL), nullptr);
}

TEST_F(DbDatumTest, ProfileNotificationFollowsTheProfileGroups) {
  struct Case {
    EDBID edbid;
    uint64_t u64Group;
    bool blTracked;
  } acase[] = {
      {ID_A, 0x000001, true}, {ID_B, 0x200000, true}, {ID_C, 0x400000, false},
      {DB_ID_WINDOWBIN, 0x000001, false},  // the window-bin capability never is
  };
  for (const Case& c : acase) {
    SCOPED_TRACE(c.edbid);
    LongDatum* pdatum = NewLong(c.edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 4);  // profile 4
    NewLookup(c.edbid, "lex", c.u64Group);
    pdatum->ForceCurrentLong(5);
    EXPECT_EQ(Notified(DB_NOTIFY_PROFILES, pdatum), c.blTracked);
    pdatum->ForceCurrentLong(4);
    EXPECT_FALSE(Notified(DB_NOTIFY_PROFILES, pdatum));
  }
  // Strings follow the same rule, byte for byte.
  StringDatum* pstring = NewString(static_cast<EDBID>(40), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 20);
  NewLookup(static_cast<EDBID>(40), "text", 0x10);
  pstring->ForceCurrentString("abc");
  EXPECT_TRUE(Notified(DB_NOTIFY_PROFILES, pstring));
  pstring->UpdateProfilesString();
  pstring->ForceCurrentString("abc");
  EXPECT_FALSE(Notified(DB_NOTIFY_PROFILES, pstring));
}

TEST_F(DbDatumTest, SidesAndImagesMarkValuesTheOtherCameraDoesNotShare) {
  LongDatum* pBF = NewLong(ID_A, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 300);
  LongDatum* pBR = NewLong(ID_A, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 300);
  LongDatum* pCF = NewLong(ID_A, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 300);
  CDbDatum* pBR2 = NewWindowCopy(2, ID_A, DB_BIN_BITONAL_REAR);
  pBR2->CopyCurrentLong(300);

  pBF->ForceCurrentLong(200);
  EXPECT_TRUE(Notified(DB_NOTIFY_SIDES, pBF));
  EXPECT_TRUE(Notified(DB_NOTIFY_IMAGES, pBF));
  pBR->ForceCurrentLong(200);  // window 2's rear still holds 300
  EXPECT_TRUE(Notified(DB_NOTIFY_SIDES, pBR));
  pBR2->ForceCurrentLong(200);
  EXPECT_FALSE(Notified(DB_NOTIFY_SIDES, pBR2));  // every side now holds 200
  EXPECT_EQ(Notify()->GetSidesCount(), 0u);
  pCF->ForceCurrentLong(200);
  EXPECT_FALSE(Notified(DB_NOTIFY_IMAGES, pCF));
  // A copy with access 0 whose master is unsupported takes no part.
  pBR->SetAccess(DB_ACCESS_NOTSUPPORTED);
  pBF->ForceCurrentLong(100);
  EXPECT_FALSE(Notified(DB_NOTIFY_SIDES, pBF));

  // The machine bin never takes part.
  LongDatum* pM = NewLong(ID_B, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1);
  NewLong(ID_B, DB_BIN_BITONAL_REAR, DB_ACCESS_READWRITE, 1);
  Notify()->ResetAll(DB_NOTIFY_ALL);
  pM->ForceCurrentLong(9);
  EXPECT_EQ(Notify()->GetSidesCount(), 0u);
  EXPECT_EQ(Notify()->GetImagesCount(), 0u);
}

// ---------------------------------------------------------------------------
// String values
// ---------------------------------------------------------------------------
TEST_F(DbDatumTest, StringStoresCountCharactersAndLimitBytes) {
  const std::string strEuro = "\xe2\x82\xac";  // one character, three bytes
  std::string strInvalid(5, '\xff');
  struct Case {
    const char* szWhat;
    size_t sizetMax;
    std::string strText;
    EOSSTS eossts;
  } acase[] = {
      {"exactly the maximum", 5, "abcde", OS_STS_SUCCESS},
      {"one over", 5, "abcdef", DB_EOSSTS_REFUSED},
      {"multibyte counts one each", 5, strEuro + strEuro + strEuro + strEuro + strEuro, OS_STS_SUCCESS},
      {"within the characters, over the buffer", 1024, [&] {
         std::string str;
         for (int i = 0; i < 342; ++i) str += strEuro;
         return str;
       }(),
       DB_EOSSTS_REFUSED},
      {"1024 bytes", 1024, std::string(1024, 'a'), DB_EOSSTS_REFUSED},
      {"1023 bytes", 1024, std::string(1023, 'a'), OS_STS_SUCCESS},
      {"an invalid text counts its bytes", 3, strInvalid, DB_EOSSTS_REFUSED},
      {"a short invalid text", 5, strInvalid, OS_STS_SUCCESS},
      {"long invalid text", 1024, std::string(1500, '\xff'), DB_EOSSTS_REFUSED},
  };
  int iId = 100;
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    StringDatum* pdatum = NewString(static_cast<EDBID>(iId++), DB_BIN_MACHINE, DB_ACCESS_READWRITE, c.sizetMax);
    pdatum->ForceCurrentString("old");
    Notify()->ResetAll(DB_NOTIFY_ALL);
    EXPECT_EQ(pdatum->SetCurrentString(c.strText.c_str()), c.eossts);
    EXPECT_EQ(pdatum->ForceCurrentString(c.strText.c_str()), c.eossts);
    const bool blStored = c.eossts == OS_STS_SUCCESS;
    EXPECT_EQ(pdatum->GetCurrentString(), blStored ? c.strText : "old");
    EXPECT_STREQ(pdatum->GetPreviousString(), blStored ? c.strText.c_str() : "");
    EXPECT_EQ(Notified(DB_NOTIFY_VALUE, pdatum), blStored);
  }
  EXPECT_TRUE(m_plog->Contains("a_szCurrent is too large..."));
  StringDatum* pdatum = NewString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 8);
  EXPECT_EQ(pdatum->SetCurrentString(nullptr), DB_EOSSTS_BADARGUMENT);
  EXPECT_EQ(pdatum->ForceCurrentString(nullptr), DB_EOSSTS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("a_szCurrent is NULL...10"));
}

// A text the locale cannot read (invalid UTF-8, or any non-ASCII text while
// the process runs in the "C" locale) is still held to the maximum: it
// counts its UTF-8 characters, a byte outside a sequence being one, never 0.
TEST_F(DbDatumTest, TextsTheLocaleCannotReadCountAgainstTheMaximum) {
  const std::string strE = "\xc3\xa9";  // one character, two bytes
  struct Case {
    const char* szWhat;
    const char* szLocale;
    std::string strText;
    bool blAccepted;  // against a maximum of 10 characters
  } acase[] = {
      {"a long text with one invalid byte", "C.UTF-8", std::string(40, 'x') + "\xe9", false},
      {"Latin-1, within the maximum", "C.UTF-8", "caf\xe9 cr\xe8me", true},
      {"Latin-1, over the maximum", "C.UTF-8", std::string(11, '\xe9'), false},
      {"stray continuation bytes", "C.UTF-8", std::string(20, '\x80'), false},
      {"a cut sequence counts once", "C.UTF-8", std::string(9, 'x') + "\xe2\x82", true},
      {"UTF-8 under C, the maximum", "C", [&] {
         std::string str;
         for (int i = 0; i < 10; ++i) str += strE;
         return str;
       }(),
       true},
      {"UTF-8 under C, one over", "C", [&] {
         std::string str;
         for (int i = 0; i < 11; ++i) str += strE;
         return str;
       }(),
       false},
  };
  int iId = 100;
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szWhat);
    std::setlocale(LC_CTYPE, c.szLocale);
    const EDBID edbid = static_cast<EDBID>(iId++);
    StringDatum* pdatum = NewString(edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10, DB_DEVICEDATA_NEXIL);
    NewLookup(edbid, "label");
    pdatum->ForceCurrentString("old");
    const EOSSTS eossts = c.blAccepted ? OS_STS_SUCCESS : DB_EOSSTS_REFUSED;
    EXPECT_EQ(pdatum->SetCurrentString(c.strText.c_str()), eossts);
    EXPECT_EQ(pdatum->ForceCurrentString(c.strText.c_str()), eossts);
    EXPECT_EQ(pdatum->GetCurrentString(), c.blAccepted ? c.strText : "old");
    // The container's own judgement and what it writes for the device agree.
    CDbString* pdbstring = NewText(static_cast<EDBID>(iId + 50), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 10, "", "",
                                   DB_DEVICEDATA_NEXIL);
    NewLookup(pdbstring->GetId(), "text");
    EXPECT_EQ(pdbstring->Validate(0, c.strText.c_str()), eossts);
    StartDeviceTask();
    pdbstring->MakeXml(reinterpret_cast<long>(c.strText.c_str()), DB_DEVICEDATA_NEXIL);
    EXPECT_EQ(ReadArguments(FinishDeviceTask()).size(), c.blAccepted ? 1u : 0u);
    EXPECT_EQ(CDbDatum::CountCharacters(c.strText.c_str()) <= 10, c.blAccepted);
  }
  std::setlocale(LC_CTYPE, "C.UTF-8");
}

TEST_F(DbDatumTest, DefaultTextsAreMeasuredInBytes) {
  StringDatum* pdatum = NewString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 4);
  EXPECT_EQ(pdatum->SetDefaultString("abcd"), OS_STS_SUCCESS);
  EXPECT_EQ(pdatum->SetDefaultString("\xc3\xa9\xc3\xa9\xc3\xa9"), DB_EOSSTS_REFUSED);  // 3 characters, 6 bytes
  EXPECT_EQ(pdatum->SetDefaultString(nullptr), DB_EOSSTS_BADARGUMENT);
  EXPECT_STREQ(pdatum->GetDefaultString(), "abcd");
  EXPECT_TRUE(m_plog->Contains("a_szDefault is too large...10 <"));
  EXPECT_TRUE(m_plog->Contains("a_szDefault is NULL...10"));
  // A maximum raised past the buffer still never lets a text be cut.
  pdatum->SetSizetMaxString(5000);
  EXPECT_EQ(pdatum->SetDefaultString(std::string(1024, 'x').c_str()), DB_EOSSTS_REFUSED);
  EXPECT_EQ(pdatum->SetCurrentString(std::string(2000, 'x').c_str()), DB_EOSSTS_REFUSED);
}

TEST_F(DbDatumTest, StringInitialisationChecksItsArguments) {
  StringDatum* pdatum = NewRegistered<StringDatum>(ID_A, DB_BIN_MACHINE);
  char(&asz)[5][DB_STRING_SIZE] = pdatum->m_aszText;
  struct Case {
    size_t sizetMax;
    int iNull;  // index of the buffer left out, or -1
    const char* szLog;
  } acase[] = {{0, -1, "a_sizetMaxString too small...10"}, {5, 0, "a_szCurrent is NULL...10"},
               {5, 1, "a_szDefault is NULL...10"},          {5, 2, "a_szRestore is NULL...10"},
               {5, 3, "a_szPrevious is NULL...10"},         {5, 4, "a_szProfile is NULL...10"}};
  for (const Case& c : acase) {
    char* apsz[5] = {asz[0], asz[1], asz[2], asz[3], asz[4]};
    if (c.iNull >= 0) apsz[c.iNull] = nullptr;
    EXPECT_EQ(pdatum->InitDatumString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, c.sizetMax,
                                      apsz[0], apsz[1], apsz[2], apsz[3], apsz[4]),
              DB_EOSSTS_BADARGUMENT);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_EQ(pdatum->GetDataType(), 0);  // unchanged
  }
  std::strcpy(asz[1], "abc");
  EXPECT_EQ(pdatum->InitDatumString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, 3, asz[0], asz[1],
                                    asz[2], asz[3], asz[4]),
            DB_EOSSTS_BADARGUMENT);
  EXPECT_TRUE(m_plog->Contains("a_lMaxString too small...10"));
}

TEST_F(DbDatumTest, StoresFromTheDatumsOwnBuffersKeepBothGenerations) {
  StringDatum* pdatum = NewString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 20);
  pdatum->ForceCurrentString("first");
  pdatum->ForceCurrentString("second");
  // Back to the previous text: the store must not lose it while moving it.
  EXPECT_EQ(pdatum->SetCurrentString(pdatum->GetPreviousString()), OS_STS_SUCCESS);
  EXPECT_STREQ(pdatum->GetCurrentString(), "first");
  EXPECT_STREQ(pdatum->GetPreviousString(), "second");
  pdatum->CopyCurrentString(pdatum->GetPreviousString());
  EXPECT_STREQ(pdatum->GetCurrentString(), "second");
  EXPECT_STREQ(pdatum->GetPreviousString(), "first");
  pdatum->CopyCurrentString(std::string(1024, 'y').c_str());  // refused whole
  EXPECT_STREQ(pdatum->GetCurrentString(), "second");
  EXPECT_STREQ(pdatum->GetPreviousString(), "first");
}

// ---------------------------------------------------------------------------
// Undo point, callbacks, modified marker
// ---------------------------------------------------------------------------
TEST_F(DbDatumTest, RememberAndRestoreBothDataTypes) {
  LongDatum* plong = NewLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1);
  StringDatum* pstring = NewString(ID_B, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 20);
  pstring->ForceCurrentString("kept");
  plong->Remember();
  pstring->Remember();
  EXPECT_FALSE(plong->CompareCurrentWithRestoreValue());
  plong->ForceCurrentLong(2);
  pstring->ForceCurrentString("changed");
  EXPECT_TRUE(plong->CompareCurrentWithRestoreValue());
  EXPECT_TRUE(pstring->CompareCurrentWithRestoreValue());
  plong->SetModified();
  EXPECT_TRUE(plong->WasModified());
  plong->Restore();
  EXPECT_EQ(CDbDatum::GetModified(), nullptr);
  pstring->Restore();
  EXPECT_EQ(plong->GetCurrentLong(), 1);
  EXPECT_EQ(plong->GetRestoreLong(), 1);
  EXPECT_STREQ(pstring->GetCurrentString(), "kept");
  EXPECT_FALSE(pstring->CompareCurrentWithRestoreValue());

  CDbDatum* pplain = NewRegistered<CDbDatum>(ID_C, DB_BIN_MACHINE);
  pplain->Remember();
  pplain->Restore();
  EXPECT_FALSE(pplain->CompareCurrentWithRestoreValue());
  pplain->DeviceUpdate();  // access 0: nothing
  EXPECT_TRUE(m_plog->Contains("Unrecognized datatype"));
}

TEST_F(DbDatumTest, CallbacksRunAtTheirOperations) {
  LongDatum* plong = NewLong(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1);
  StringDatum* pstring = NewString(ID_B, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 20);
  CallbackProbe aprobe[6];
  for (int iKind : {0, 6}) {
    EXPECT_EQ(plong->RegisterCallback(static_cast<EDBCALLBACK>(iKind), CallbackProbe::Callback, &aprobe[0]),
              DB_EOSSTS_BADARGUMENT);
    EXPECT_TRUE(m_plog->Contains("bad a_edbcallback..." + std::to_string(iKind)));
  }
  for (int iKind = 1; iKind <= 5; ++iKind) {
    CDbDatum* pdatum = iKind == DB_CALLBACK_GETSTRING || iKind == DB_CALLBACK_SETSTRING ? static_cast<CDbDatum*>(pstring)
                                                                                        : plong;
    ASSERT_EQ(pdatum->RegisterCallback(static_cast<EDBCALLBACK>(iKind), CallbackProbe::Callback, &aprobe[iKind]),
              OS_STS_SUCCESS);
  }
  plong->GetCurrentLong();
  plong->GetCurrentLongNoCallback();
  EXPECT_EQ(aprobe[DB_CALLBACK_GETLONG].iCalls, 1);
  CDbDatum::SetDbState(DB_STATE_FIXUP);  // a fix-up pass reads without asking
  plong->GetCurrentLong();
  pstring->GetCurrentString();
  CDbDatum::ClearDbState(DB_STATE_FIXUP);
  EXPECT_EQ(aprobe[DB_CALLBACK_GETLONG].iCalls, 1);
  EXPECT_EQ(aprobe[DB_CALLBACK_GETSTRING].iCalls, 0);
  pstring->GetCurrentString();
  EXPECT_EQ(aprobe[DB_CALLBACK_GETSTRING].iCalls, 1);

  pstring->ForceCurrentString("a");
  pstring->FixDefaultResetString("b");
  EXPECT_EQ(aprobe[DB_CALLBACK_SETSTRING].iCalls, 2);
  EXPECT_FALSE(aprobe[DB_CALLBACK_SETSTRING].blDeviceBit);
  plong->DeviceUpdate();
  pstring->DeviceUpdate();
  EXPECT_EQ(aprobe[DB_CALLBACK_SETLONG].iCalls, 1);
  EXPECT_TRUE(aprobe[DB_CALLBACK_SETLONG].blDeviceBit);
  EXPECT_TRUE(aprobe[DB_CALLBACK_SETSTRING].blDeviceBit);
  EXPECT_FALSE(CDbDatum::TestDbState(DB_STATE_DEVICEUPDATE));
  plong->Load();
  EXPECT_EQ(aprobe[DB_CALLBACK_LOAD].iCalls, 1);
  // A later registration replaces the earlier one.
  CallbackProbe probeNew;
  plong->RegisterCallback(DB_CALLBACK_LOAD, CallbackProbe::Callback, &probeNew);
  plong->Load();
  EXPECT_EQ(aprobe[DB_CALLBACK_LOAD].iCalls, 1);
  EXPECT_EQ(probeNew.iCalls, 1);
}

TEST_F(DbDatumTest, TheModifiedDatumOfTheCurrentWindow) {
  LongDatum* pwindow = NewLong(DB_ID_WINDOW, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 2);
  NewLong(ID_A, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 0);
  CDbDatum* pcopy2 = NewWindowCopy(2, ID_A, DB_BIN_COLOR_FRONT);
  CDbDatum* pcopy3 = NewWindowCopy(3, ID_A, DB_BIN_COLOR_FRONT);
  EXPECT_FALSE(pcopy2->WasModifiedWindow());  // nothing modified
  pcopy2->SetModified();
  EXPECT_TRUE(pcopy2->WasModifiedWindow());
  EXPECT_TRUE(pcopy3->WasModifiedWindow());  // its slot in window 2 holds the modified datum
  pwindow->CopyCurrentLong(3);
  EXPECT_FALSE(pcopy2->WasModifiedWindow());
  EXPECT_FALSE(pcopy3->WasModified());
  pwindow->CopyCurrentLong(11);  // out of the table: never modified
  EXPECT_FALSE(pcopy2->WasModifiedWindow());
  CDbDatum::ClearModified();
  EXPECT_EQ(CDbDatum::GetModified(), nullptr);
}

// ---------------------------------------------------------------------------
// Arguments for the device
// ---------------------------------------------------------------------------
TEST_F(DbDatumTest, ArgumentsFollowTheLexiconAndDataType) {
  struct Case {
    const char* szLexicon;
    EDBCONTAINERTYPE edbcontainertype;
    long lValue;
    const char* szExpected;  // null: nothing written
  } acase[] = {
      {"imageptr", DB_CONTAINERTYPE_RANGE, 0xABCDEF, "abcdef"},
      {"colorhex", DB_CONTAINERTYPE_ENUM, 255, "ff"},
      {"ptrlist", DB_CONTAINERTYPE_RANGE, 255, "255"},     // "ptr" not at the end
      {"hexptrhex", DB_CONTAINERTYPE_RANGE, 255, "255"},   // first "hex" is not the last three letters
      {"threshold", DB_CONTAINERTYPE_RANGE, -7, "-7"},
      {"resolution", DB_CONTAINERTYPE_ENUM, 300, "300_dpi"},
      {"resolution", DB_CONTAINERTYPE_ENUM, 2, "first_of_two"},  // the first entry of a repeated value
      {"resolution", DB_CONTAINERTYPE_ENUM, 999, nullptr},
  };
  int iId = 100;
  for (const Case& c : acase) {
    SCOPED_TRACE(c.szLexicon + std::to_string(c.lValue));
    const EDBID edbid = static_cast<EDBID>(iId++);
    LongDatum* pdatum = NewLong(edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, 0, DB_DEVICEDATA_ADF);
    pdatum->InitDatumLong(edbid, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_ADF, 0, 0);
    NewLookup(edbid, c.szLexicon, 0, {{300, "300_dpi"}, {2, "first_of_two"}, {2, "second_of_two"}});
    pdatum->SetContainerType(c.edbcontainertype);
    StartDeviceTask();
    pdatum->MakeXml(c.lValue, DB_DEVICEDATA_ADF);
    std::string strTask = FinishDeviceTask();
    auto vecArguments = ReadArguments(strTask);
    if (c.szExpected) {
      ASSERT_EQ(vecArguments.size(), 1u) << strTask;
      EXPECT_EQ(vecArguments[0].first, c.szLexicon);
      EXPECT_EQ(vecArguments[0].second, c.szExpected);
    } else {
      EXPECT_TRUE(vecArguments.empty()) << strTask;
      EXPECT_TRUE(m_plog->Contains("Can't find 999 in resolution"));
    }
    EXPECT_EQ(XmlLint(strTask), 0) << strTask;
  }
}

TEST_F(DbDatumTest, TextArgumentsAreNeverWrittenMalformed) {
  StringDatum* pdatum = NewString(ID_A, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 100, DB_DEVICEDATA_NEXIL);
  NewLookup(ID_A, "label");
  StringDatum* pptr = NewString(ID_B, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 100, DB_DEVICEDATA_NEXIL);
  NewLookup(ID_B, "bufferptr");
  StartDeviceTask();
  const char* aszText[] = {"plain text", "a <b> & c", "", "ends ]]> here"};
  for (const char* szText : aszText) pdatum->MakeXml(reinterpret_cast<long>(szText), DB_DEVICEDATA_NEXIL);
  pptr->MakeXml(0x7f00ab, DB_DEVICEDATA_NEXIL);
  pdatum->MakeXml(reinterpret_cast<long>("42"), DB_DEVICEDATA_NEXIL, "named");
  std::string strTask = FinishDeviceTask();
  EXPECT_EQ(XmlLint(strTask), 0) << strTask;
  auto vecArguments = ReadArguments(strTask);
  EXPECT_EQ(vecArguments, (std::vector<std::pair<std::string, std::string>>{{"label", "plain text"},
                                                                           {"label", "a <b> & c"},
                                                                           {"label", ""},
                                                                           {"bufferptr", "7f00ab"},
                                                                           {"named", "42"}}))
      << strTask;
  EXPECT_TRUE(m_plog->Contains("text holds ']]>', not written...<label>"));
}

TEST_F(DbDatumTest, TheConsumerFilter) {
  struct Case {
    int iConsumers, iTarget;
    bool blWritten;
  } acase[] = {
      {DB_DEVICEDATA_ADF, DB_DEVICEDATA_ADF, true},      {DB_DEVICEDATA_ADF, DB_DEVICEDATA_BOTH, true},
      {DB_DEVICEDATA_BOTH, DB_DEVICEDATA_BOTH, true},    {DB_DEVICEDATA_ALL, DB_DEVICEDATA_BOTH, true},
      {0x10, DB_DEVICEDATA_BOTH, true},                  {DB_DEVICEDATA_NEXIL, DB_DEVICEDATA_BOTH, false},
      {DB_DEVICEDATA_NEXIL, DB_DEVICEDATA_NEXIL, true},  {DB_DEVICEDATA_ALL, DB_DEVICEDATA_NEXIL, true},
      {DB_DEVICEDATA_FLATBED, DB_DEVICEDATA_FLATBED, false}, {DB_DEVICEDATA_ALL, DB_DEVICEDATA_FLATBED, false},
      {DB_DEVICEDATA_NONE, DB_DEVICEDATA_ALL, false},
  };
  int iId = 100;
  for (const Case& c : acase) {
    const EDBID edbid = static_cast<EDBID>(iId++);
    LongDatum* pdatum =
        NewLong(edbid, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 0, 0, static_cast<EDBDEVICEDATA>(c.iConsumers));
    NewLookup(edbid, "value");
    // A window copy writes for its master's consumers.
    CDbDatum* pcopy = NewWindowCopy(1, edbid, DB_BIN_BITONAL_FRONT);
    pcopy->SetLookup(pdatum->GetLookup());
    StartDeviceTask();
    pcopy->MakeXml(5, static_cast<EDBDEVICEDATA>(c.iTarget));
    EXPECT_EQ(ReadArguments(FinishDeviceTask()).size(), c.blWritten ? 1u : 0u) << c.iConsumers << " " << c.iTarget;
  }
  CDbDatum* pnolookup = NewLong(static_cast<EDBID>(200), DB_BIN_MACHINE, DB_ACCESS_READWRITE, 0, 0, DB_DEVICEDATA_ADF);
  StartDeviceTask();
  pnolookup->MakeXml(1, DB_DEVICEDATA_ADF);
  EXPECT_TRUE(ReadArguments(FinishDeviceTask()).empty());
  EXPECT_TRUE(m_plog->Contains("pdblookup2 is NULL..."));
}

TEST_F(DbDatumTest, WithoutConfigurationTheDefaultFixDropsEveryCamera) {
  std::vector<LongDatum*> vecpdatum;
  for (int iBin = 0; iBin < DB_BIN_COUNT; ++iBin) {
    vecpdatum.push_back(NewLong(ID_A, static_cast<EDBBIN>(iBin), DB_ACCESS_READWRITE, 1));
    if (iBin > 0) Notify()->Set(DB_NOTIFY_ALL, vecpdatum.back());
  }
  for (LongDatum* pdatum : vecpdatum) EXPECT_EQ(pdatum->FixDefault(), OS_STS_SUCCESS);
  EXPECT_EQ(vecpdatum[0]->GetAccess(), DB_ACCESS_READWRITE);
  EXPECT_EQ(vecpdatum[1]->GetAccess(), DB_ACCESS_READWRITE);
  for (int iBin = 2; iBin < DB_BIN_COUNT; ++iBin) {
    EXPECT_EQ(vecpdatum[iBin]->GetAccess(), DB_ACCESS_NOTSUPPORTED) << iBin;
    EXPECT_FALSE(Notified(DB_NOTIFY_VALUE, vecpdatum[iBin]));
  }
  EXPECT_TRUE(Notified(DB_NOTIFY_VALUE, vecpdatum[1]));
  EXPECT_EQ(Notify()->GetSidesCount(), 0u);
}

}  // namespace
