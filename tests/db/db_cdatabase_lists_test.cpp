// The database's enumeration, range and string operations, the default
// lists built from and pruned to the scanner configuration (the inquiry
// fixtures of a feeder and a flatbed unit and of the image library), the
// configuration's application actions on a default list, and the standard
// size every window's frame shares.
#include <functional>

#include "db_cdbconfig.h"
#include "db_cdbconfig_testutil.h"
#include "db_cdbframe.h"
#include "db_values_fixture.h"

namespace {

using dbtest::DbValuesFixture;

const std::string s_strLibrary = SCANDRV_LIBRARY_PATH;

class DbDatabaseListsTest : public DbValuesFixture {
 protected:
  // A fresh database with the library's lookup bound to its objects.
  CDatabase& Fresh() {
    m_pdatabase.reset();
    m_pdatabase = std::make_unique<CDatabase>();
    EXPECT_EQ(m_pdatabase->LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, s_strLibrary.c_str()), DB_STS_SUCCESS);
    return *m_pdatabase;
  }

  // The model mapleC's records from its feeder's inquiry and, when asked,
  // its flatbed's; with a_blNexil also the image library's under "nexil".
  void LoadInquiries(bool a_blFlatbed, bool a_blNexil = false) {
    CDatabase& db = *m_pdatabase;
    if (a_blFlatbed) db.ConfigSetString("modeldirectoryflatbed", "maplecflatbed", DB_CONFIGTARGET_COMMON);
    const std::string strFeeder = dbconfigtest::InquiryContent(dbconfigtest::Fixture("inquiry_maplec_feeder.xml"));
    const std::string strFlatbed = dbconfigtest::InquiryContent(dbconfigtest::Fixture("inquiry_maplec_flatbed.xml"));
    ASSERT_TRUE(db.ConfigLoadReportInquiry(strFeeder.c_str(), 0, false, false, DB_FIRMWARE_ADF));
    if (a_blFlatbed) {
      ASSERT_TRUE(db.ConfigLoadReportInquiry(strFlatbed.c_str(), 0, false, false, DB_FIRMWARE_FLATBED));
    }
    ASSERT_TRUE(db.ConfigProcessReportInquiry("mapleC", nullptr));
    ASSERT_EQ(db.ConfigExists("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON), a_blFlatbed);
    if (a_blNexil) {
      ASSERT_TRUE(db.ConfigProcessReportInquiryXml("nexil", dbconfigtest::Fixture("inquiry_nexil.xml").c_str(),
                                                   DB_FIRMWARE_ADF));
    }
  }

  static std::vector<long> Items(CDbEnum* a_pdbenum, bool a_blDefault) {
    std::vector<long> vec;
    const long lCount = a_blDefault ? a_pdbenum->GetDefaultItemCount() : a_pdbenum->GetCurrentItemCount();
    for (long l = 0; l < lCount; ++l)
      vec.push_back(a_blDefault ? a_pdbenum->GetDefaultItem(l) : a_pdbenum->GetCurrentItem(l));
    return vec;
  }
};

// ---------------------------------------------------------------------------
// Enumeration, range and string operations
// ---------------------------------------------------------------------------
// The current lists and the bounds are the master's: a window's copy reads
// and changes its master's. Wrong containers, datums not in the database and
// null datums answer 0, false or their status, logged.
TEST_F(DbDatabaseListsTest, OperationsCheckTheirContainerAndActOnTheMaster) {
  CDatabase& db = Fresh();
  CDbEnum* pmaster = CatalogueEnum(DB_ID_IMAGEFORMAT, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 1, {1, 2, 3});
  CDbDatum* pcopy = Slot(3, DB_ID_IMAGEFORMAT, DB_BIN_BITONAL_FRONT);
  CDbEnum* punsupported = CatalogueEnum(DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT, DB_ACCESS_NOTSUPPORTED, 1, {1, 6});
  CDbRange* prange = CatalogueRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 500, 0, 1000, 10);
  prange->SetCurrent(500, 100, 900, 20);
  CDbDatum* pstring = db.FindDirect(DB_BIN_MACHINE, DB_ID_SERIALNUMBER);
  static_cast<CDbString*>(pstring)->InitString(DB_ID_SERIALNUMBER, DB_BIN_MACHINE, DB_ACCESS_READONLY,
                                               DB_DEVICEDATA_NONE, 16, "", "", "", "");
  const struct {
    const char* szCall;
    std::function<long()> fnCall;
    long lResult;
    const char* szLog;  // null: none expected
  } acase[] = {
      {"current count of a copy", [&] { return db.EnumGetCurrentItemCount(pcopy); }, 3, nullptr},
      {"current item of a copy", [&] { return db.EnumGetCurrentItem(pcopy, 1); }, 2, nullptr},
      {"current item past the list", [&] { return db.EnumGetCurrentItem(pmaster, 7); }, 3, nullptr},
      {"current count of a range", [&] { return db.EnumGetCurrentItemCount(prange); }, 0,
       "BRIGHTNESS isn't a CENUM..."},
      {"item count of a copy", [&] { return db.EnumGetItemCount(pcopy); }, 3, nullptr},
      {"item count not in the database", [&] { return db.EnumGetItemCount(punsupported); }, 0,
       "COMPRESSION isn't in this database..."},
      {"item of a copy", [&] { return db.EnumGetItem(pcopy, 2); }, 3, nullptr},
      {"item of a text", [&] { return db.EnumGetItem(pstring, 0); }, 0, "SERIALNUMBER isn't a CENUM..."},
      {"default count of a copy", [&] { return db.EnumGetDefaultItemCount(pcopy); }, 3, nullptr},
      {"default count not in the database", [&] { return db.EnumGetDefaultItemCount(punsupported); }, 0,
       "COMPRESSION isn't in this database..."},
      {"default item of a copy", [&] { return db.EnumGetDefaultItem(pcopy, 0); }, 1, nullptr},
      {"has current of a copy", [&] { return long{db.EnumHasCurrentItem(pcopy, 2)}; }, 1, nullptr},
      {"has current not in the database", [&] { return long{db.EnumHasCurrentItem(punsupported, 6)}; }, 0, nullptr},
      {"has default", [&] { return long{db.EnumHasDefaultItem(pmaster, 4)}; }, 0, nullptr},
      {"selection list", [&] { return long{db.EnumIsSelectionList(pcopy)}; }, 0, nullptr},
      {"enumeration match of a range", [&] { return long{db.EnumMatchAcrossBins(prange)}; }, 1, nullptr},
      {"range match of an enumeration", [&] { return long{db.RangeMatchAcrossBins(pmaster)}; }, 1,
       "a_hdbdatum not a range...124"},
      {"range match of changed bounds", [&] { return long{db.RangeMatchAcrossBins(prange)}; }, 0, nullptr},
      {"current minimum", [&] { return db.RangeGetCurrentMin(prange); }, 100, nullptr},
      {"current maximum", [&] { return db.RangeGetCurrentMax(prange); }, 900, nullptr},
      {"current step", [&] { return db.RangeGetCurrentStep(prange); }, 20, nullptr},
      {"default minimum", [&] { return db.RangeGetDefaultMin(prange); }, 0, nullptr},
      {"default maximum", [&] { return db.RangeGetDefaultMax(prange); }, 1000, nullptr},
      {"default step", [&] { return db.RangeGetDefaultStep(prange); }, 10, nullptr},
      {"minimum of an enumeration", [&] { return db.RangeGetCurrentMin(pmaster); }, 0, "a_hdbdatum not a range...124"},
      {"maximum of null", [&] { return db.RangeGetDefaultMax(nullptr); }, 0, "a_hdbdatum is NULL..."},
      {"text length", [&] { return static_cast<long>(db.StringGetMaxLength(pstring)); }, 16, nullptr},
      {"text length of an enumeration", [&] { return static_cast<long>(db.StringGetMaxLength(pmaster)); }, 0,
       "IMAGEFORMAT isn't a CSTRING..."},
      {"text length of null", [&] { return static_cast<long>(db.StringGetMaxLength(nullptr)); }, 0,
       "a_hdbdatum is null..."},
  };
  for (const auto& c : acase) ExpectCall(c.szCall, c.fnCall, c.lResult, c.szLog);
  // Item changes through a copy reach the master's current list; its
  // default list stays.
  EXPECT_EQ(db.EnumAddItem(pcopy, 4), DB_STS_SUCCESS);
  EXPECT_EQ(db.EnumDeleteItem(pcopy, 1), DB_STS_SUCCESS);
  EXPECT_EQ(Items(pmaster, false), (std::vector<long>{2, 3, 4}));
  EXPECT_EQ(pmaster->GetCurrentLongNoCallback(), 2);  // its value was deleted
  EXPECT_EQ(Items(pmaster, true), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(db.EnumAddDefaultItem(pmaster, 5), DB_STS_SUCCESS);
  EXPECT_EQ(db.EnumDeleteDefaultItem(pmaster, 1), DB_STS_SUCCESS);
  EXPECT_EQ(Items(pmaster, true), (std::vector<long>{2, 3, 5}));
  EXPECT_EQ(db.EnumDeleteAllItems(pcopy), DB_STS_SUCCESS);
  EXPECT_EQ(db.EnumDeleteAllDefaultItems(pmaster), DB_STS_SUCCESS);
  EXPECT_TRUE(Items(pmaster, false).empty());
  EXPECT_TRUE(Items(pmaster, true).empty());
  EXPECT_EQ(db.RangeSetDefault(prange, 300, 50, 950, 5), DB_STS_SUCCESS);
  EXPECT_EQ(prange->GetDefaultLong(), 300);
  EXPECT_EQ(prange->GetDefaultMax(), 950);
}

// ---------------------------------------------------------------------------
// Default lists from the configuration
// ---------------------------------------------------------------------------
// The feeder's list decides; with a flatbed unit a value must be in both
// units' lists. The default value stays when listed, else the first item
// becomes default and current.
TEST_F(DbDatabaseListsTest, DefaultListsAreBuiltFromTheFixtureInquiries) {
  const struct {
    const char* szName;
    bool blFlatbed;
    bool blNexil;
    std::vector<const char*> vecszPrinters;  // feeder records of "printer" made by hand
    EDBID edbid;
    long lDefault;
    const char* szPrefix;
    bool blSkipNone;
    std::vector<long> vecl;
    long lCurrent;
  } acase[] = {
      {"feeder alone",
       false,
       false,
       {},
       DB_ID_LANGUAGE,
       DB_ID_LANGUAGE_ENUM_AUTO,
       nullptr,
       true,
       {DB_ID_LANGUAGE_ENUM_EN_USA, DB_ID_LANGUAGE_ENUM_JP_JPN},
       DB_ID_LANGUAGE_ENUM_EN_USA},
      {"a listed default stays",
       false,
       false,
       {},
       DB_ID_LANGUAGE,
       DB_ID_LANGUAGE_ENUM_JP_JPN,
       nullptr,
       true,
       {DB_ID_LANGUAGE_ENUM_EN_USA, DB_ID_LANGUAGE_ENUM_JP_JPN},
       DB_ID_LANGUAGE_ENUM_JP_JPN},
      {"feeder and flatbed",
       true,
       false,
       {},
       DB_ID_LANGUAGE,
       DB_ID_LANGUAGE_ENUM_AUTO,
       nullptr,
       true,
       {DB_ID_LANGUAGE_ENUM_EN_USA},
       DB_ID_LANGUAGE_ENUM_EN_USA},
      {"image library's list",
       false,
       true,
       {},
       DB_ID_LANGUAGE,
       DB_ID_LANGUAGE_ENUM_AUTO,
       "nexil",
       true,
       {DB_ID_LANGUAGE_ENUM_DE_DEU, DB_ID_LANGUAGE_ENUM_EN_USA, DB_ID_LANGUAGE_ENUM_JP_JPN},
       DB_ID_LANGUAGE_ENUM_DE_DEU},
      {"image library's list beside a flatbed",
       true,
       true,
       {},
       DB_ID_LANGUAGE,
       DB_ID_LANGUAGE_ENUM_AUTO,
       "nexil",
       true,
       {},
       0},
      {"none kept",
       false,
       false,
       {"preimagerear", "none"},
       DB_ID_CARTRIDGEDETECTED,
       DB_ID_CARTRIDGEDETECTED_ENUM_POSTIMAGEFRONT,
       nullptr,
       false,
       {DB_ID_CARTRIDGEDETECTED_ENUM_NONE, DB_ID_CARTRIDGEDETECTED_ENUM_PREIMAGEREAR},
       DB_ID_CARTRIDGEDETECTED_ENUM_NONE},
      {"none skipped",
       false,
       false,
       {"preimagerear", "none"},
       DB_ID_CARTRIDGEDETECTED,
       DB_ID_CARTRIDGEDETECTED_ENUM_NONE,
       nullptr,
       true,
       {DB_ID_CARTRIDGEDETECTED_ENUM_PREIMAGEREAR},
       DB_ID_CARTRIDGEDETECTED_ENUM_PREIMAGEREAR},
      {"only none, skipped",
       false,
       false,
       {"none"},
       DB_ID_CARTRIDGEDETECTED,
       DB_ID_CARTRIDGEDETECTED_ENUM_NONE,
       nullptr,
       true,
       {},
       0},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    CDatabase& db = Fresh();
    LoadInquiries(c.blFlatbed, c.blNexil);
    for (const char* szPrinter : c.vecszPrinters) db.ConfigEnumAdd("printer", szPrinter, DB_CONFIGTARGET_ADF);
    CDbEnum* pdbenum = CatalogueEnum(c.edbid, DB_BIN_MACHINE, DB_ACCESS_READONLY, c.lDefault, {c.lDefault, 99});
    db.BuildDefaultEnumFromDbConfig(pdbenum, c.szPrefix, c.blSkipNone);
    EXPECT_EQ(Items(pdbenum, true), c.vecl);
    if (c.vecl.empty()) {
      EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_NOTSUPPORTED);
      continue;
    }
    EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_READWRITE);
    EXPECT_EQ(Items(pdbenum, false), c.vecl);
    EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), c.lCurrent);
    EXPECT_EQ(pdbenum->GetDefaultLong(), c.lCurrent);
  }
  // Without a datum or a lookup record nothing is built.
  CDatabase& db = Fresh();
  db.BuildDefaultEnumFromDbConfig(nullptr, nullptr, true);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL"));
  CDbEnum* pnolookup = NewEnum(DB_ID_LANGUAGE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 1, {1, 39});
  db.BuildDefaultEnumFromDbConfig(pnolookup, nullptr, true);
  EXPECT_TRUE(m_plog->Contains("pdblookup2 is NULL (136)"));
  EXPECT_EQ(Items(pnolookup, true), (std::vector<long>{1, 39}));
}

// Values the configuration does not list for the target leave the default
// list; the rear background has a key of its own. A value without an entry
// of its own stops the fix with the lists as they were.
TEST_F(DbDatabaseListsTest, DefaultListsArePrunedToTheConfiguration) {
  const struct {
    const char* szName;
    EDBID edbid;
    EDBBIN edbbin;
    std::vector<long> veclDefault;
    EDBCONFIGTARGET edbconfigtarget;
    const char* szPrefix;
    std::vector<long> veclAfter;
  } acase[] = {
      {"feeder", DB_ID_BACKGROUND, DB_BIN_BITONAL_FRONT, {1, 2}, DB_CONFIGTARGET_ADF, nullptr, {2}},
      {"flatbed", DB_ID_BACKGROUND, DB_BIN_COLOR_FRONT, {1, 2}, DB_CONFIGTARGET_FLATBED, nullptr, {1}},
      {"rear background", DB_ID_BACKGROUND, DB_BIN_BITONAL_REAR, {1, 2}, DB_CONFIGTARGET_ADF, nullptr, {1}},
      {"image library", DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT, {1, 2, 3}, DB_CONFIGTARGET_COMMON, "nexil", {1, 3}},
      {"nothing listed", DB_ID_BACKGROUND, DB_BIN_COLOR_REAR, {1, 2}, DB_CONFIGTARGET_FLATBED, nullptr, {}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    CDatabase& db = Fresh();
    LoadInquiries(true, true);
    db.ConfigEnumAdd("backgroundrear", "black", DB_CONFIGTARGET_ADF);
    CDbEnum* pdbenum = CatalogueEnum(c.edbid, c.edbbin, DB_ACCESS_READWRITE, c.veclDefault[0], {});
    for (long lItem : c.veclDefault) pdbenum->AddDefaultItem(lItem);
    db.FixDefaultEnumFromDbConfig(pdbenum, c.edbconfigtarget, c.szPrefix);
    EXPECT_EQ(Items(pdbenum, true), c.veclAfter);
    // The default reset follows: the current list is the default list.
    EXPECT_EQ(Items(pdbenum, false), c.veclAfter);
    if (!c.veclAfter.empty()) {
      EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), c.veclAfter[0]);
    }
  }
  CDatabase& db = Fresh();
  LoadInquiries(false);
  CDbEnum* pdbenum = CatalogueEnum(DB_ID_BACKGROUND, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, 1, {1});
  pdbenum->AddDefaultItem(2);
  pdbenum->AddDefaultItem(9);
  const std::string strBefore = Snapshot(pdbenum);
  db.FixDefaultEnumFromDbConfig(pdbenum, DB_CONFIGTARGET_ADF, nullptr);
  EXPECT_TRUE(m_plog->Contains("pdblookupenum is NULL for the Id = 11; Value = 9"));
  EXPECT_EQ(Snapshot(pdbenum), strBefore);
  // No default items: the default reset alone.
  pdbenum->DeleteAllDefaultItems();
  db.FixDefaultEnumFromDbConfig(pdbenum, DB_CONFIGTARGET_ADF, nullptr);
  EXPECT_TRUE(Items(pdbenum, false).empty());
  db.FixDefaultEnumFromDbConfig(nullptr, DB_CONFIGTARGET_ADF, nullptr);
  EXPECT_TRUE(m_plog->Contains("a_hdbdatum is NULL"));
}

// "app_<lexicon>_action" of the common records: "constrain" keeps of the
// listed values those the current list offers (all of it when none), and
// "remove" takes the listed values out; either way the default reset
// follows. Without an action the lists stay as they are.
TEST_F(DbDatabaseListsTest, TheConfigurationsApplicationActionsShapeTheDefaultList) {
  const long NONE = DB_ID_COMPRESSION_ENUM_NONE, GROUP4 = DB_ID_COMPRESSION_ENUM_GROUP4,
             JPEG = DB_ID_COMPRESSION_ENUM_JPEG;
  const struct {
    const char* szName;
    const char* szAction;  // null: none
    std::vector<const char*> vecszValues;
    std::vector<long> veclDefault;
    long lDefault;
  } acase[] = {
      {"constrain", "constrain", {"jpeg", "group4", "lzw"}, {GROUP4, JPEG}, GROUP4},
      {"constrain to nothing offered", "constrain", {"lzw"}, {NONE, GROUP4, JPEG}, NONE},
      {"constrain to no values", "constrain", {}, {NONE, GROUP4, JPEG}, NONE},
      {"remove", "remove", {"none", "png"}, {GROUP4, JPEG}, GROUP4},
      {"no action", nullptr, {"jpeg"}, {NONE, GROUP4, JPEG}, NONE},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    CDatabase& db = Fresh();
    db.ConfigEnumAdd("imageformat", "bw", DB_CONFIGTARGET_COMMON);  // the bitonal cameras stay
    if (c.szAction) db.ConfigEnumAdd("app_compressionmode_action", c.szAction, DB_CONFIGTARGET_COMMON);
    for (const char* szValue : c.vecszValues) db.ConfigEnumAdd("app_compressionmode", szValue, DB_CONFIGTARGET_COMMON);
    CDbEnum* pdbenum =
        CatalogueEnum(DB_ID_COMPRESSION, DB_BIN_BITONAL_FRONT, DB_ACCESS_READWRITE, NONE, {NONE, GROUP4, JPEG});
    pdbenum->CopyCurrentLong(JPEG);  // shows whether the default reset ran
    EXPECT_EQ(pdbenum->FixDefault(), OS_STS_SUCCESS);
    EXPECT_EQ(Items(pdbenum, true), c.veclDefault);
    EXPECT_EQ(pdbenum->GetDefaultLong(), c.lDefault);
    EXPECT_EQ(pdbenum->GetAccess(), DB_ACCESS_READWRITE);
    const std::vector<long> veclCurrent = c.szAction ? c.veclDefault : std::vector<long>{NONE, GROUP4, JPEG};
    EXPECT_EQ(Items(pdbenum, false), veclCurrent);
    EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), c.szAction ? c.lDefault : JPEG);
  }
}

// ---------------------------------------------------------------------------
// The size of every window's frame
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseListsTest, EveryWindowsFrameMustShareOneStandardSize) {
  const DbSupportedSizes& a4 = CDbFrame::s_dbsupportedsizes[DB_SUPPORTEDSIZES_A4];
  const DbSupportedSizes& letter = CDbFrame::s_dbsupportedsizes[DB_SUPPORTEDSIZES_FIRST];
  struct Setting {
    EDBID_WINDOW edbidwindow;
    EDBBIN edbbin;
    EDBID edbid;
    long lValue;
  };
  const struct {
    const char* szName;
    std::vector<Setting> vecsetting;  // over A4 in every camera of window 0
    EDBID_SUPPORTEDSIZES edbidsupportedsizes;
  } acase[] = {
      {"window 0 alone", {}, DB_SUPPORTEDSIZES_A4},
      {"a window of the same size",
       {{2, DB_BIN_COLOR_REAR, DB_ID_FRAMEWIDTH, static_cast<long>(a4.i64Width)},
        {2, DB_BIN_COLOR_REAR, DB_ID_FRAMEHEIGHT, static_cast<long>(a4.i64Height)}},
       DB_SUPPORTEDSIZES_A4},
      {"window 1's front bitonal frame wider",
       {{1, DB_BIN_BITONAL_FRONT, DB_ID_FRAMEWIDTH, static_cast<long>(a4.i64Width) + 12}},
       DB_SUPPORTEDSIZES_NONE},
      {"a height of its own", {{7, DB_BIN_COLOR_FRONT, DB_ID_FRAMEHEIGHT, 1200}}, DB_SUPPORTEDSIZES_NONE},
      {"a turned frame", {{5, DB_BIN_BITONAL_REAR, DB_ID_IMAGESKEWANGLE, 10000}}, DB_SUPPORTEDSIZES_NONE},
      {"a lowered frame", {{0, DB_BIN_COLOR_FRONT, DB_ID_FRAMEYOFFSET, 12}}, DB_SUPPORTEDSIZES_NONE},
      {"letter everywhere",
       {{0, DB_BIN_BITONAL_FRONT, DB_ID_FRAMEWIDTH, static_cast<long>(letter.i64Width)},
        {0, DB_BIN_BITONAL_REAR, DB_ID_FRAMEWIDTH, static_cast<long>(letter.i64Width)},
        {0, DB_BIN_COLOR_FRONT, DB_ID_FRAMEWIDTH, static_cast<long>(letter.i64Width)},
        {0, DB_BIN_COLOR_REAR, DB_ID_FRAMEWIDTH, static_cast<long>(letter.i64Width)},
        {0, DB_BIN_BITONAL_FRONT, DB_ID_FRAMEHEIGHT, static_cast<long>(letter.i64Height)},
        {0, DB_BIN_BITONAL_REAR, DB_ID_FRAMEHEIGHT, static_cast<long>(letter.i64Height)},
        {0, DB_BIN_COLOR_FRONT, DB_ID_FRAMEHEIGHT, static_cast<long>(letter.i64Height)},
        {0, DB_BIN_COLOR_REAR, DB_ID_FRAMEHEIGHT, static_cast<long>(letter.i64Height)}},
       DB_SUPPORTEDSIZES_FIRST},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szName);
    CDatabase& db = Fresh();
    EXPECT_EQ(db.ConvertSupportedSizesFromCurrentFrame(), DB_SUPPORTEDSIZES_NONE);  // no frame yet
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      Slot(0, DB_ID_FRAMEWIDTH, static_cast<EDBBIN>(iBin))->CopyCurrentLong(static_cast<long>(a4.i64Width));
      Slot(0, DB_ID_FRAMEHEIGHT, static_cast<EDBBIN>(iBin))->CopyCurrentLong(static_cast<long>(a4.i64Height));
    }
    for (const Setting& setting : c.vecsetting)
      Slot(setting.edbidwindow, setting.edbid, setting.edbbin)->CopyCurrentLong(setting.lValue);
    EXPECT_EQ(db.ConvertSupportedSizesFromCurrentFrame(), c.edbidsupportedsizes);
  }
}

}  // namespace
