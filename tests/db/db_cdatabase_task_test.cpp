// What the database keeps for the driver: the status reply of the task
// being answered, the growable text buffers and the model names; and the
// forwarders to its components.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <new>
#include <vector>

#include "db_cdbconfig.h"
#include "db_cdbconfig_testutil.h"
#include "db_cdbprofilelist.h"
#include "dev_cdev.h"
#include "os_coscfg.h"
#include "db_fixture.h"

namespace {

using dbtest::DbFixture;

class DbDatabaseTaskTest : public DbFixture {
 protected:
  void TearDown() override {
    CDatabase::SetDataAllocationSeam(nullptr);
    s_vecsizetAllocated.clear();
    s_blFail = false;
    DbFixture::TearDown();
  }

  // The data buffers' allocations, and whether they are to fail.
  static bool Seam(size_t a_sizetBytes) {
    s_vecsizetAllocated.push_back(a_sizetBytes);
    return s_blFail;
  }
  size_t LogSize() const { return m_plog->Text().size(); }
  std::string LogFrom(size_t a_sizetFrom) const { return m_plog->Text().substr(a_sizetFrom); }

  static inline std::vector<size_t> s_vecsizetAllocated;
  static inline bool s_blFail = false;
};

// The whole reply: the task line with its ids and length, one reportstatus.
std::string Reply(const char* a_szId, const char* a_szReply, const std::string& a_strBody) {
  const std::string strEnd = "</task>\n";
  const size_t sizetBytes = 91 + a_strBody.size() + strEnd.size();
  char szLine[128];
  std::snprintf(szLine, sizeof szLine, "<task id='%s' reply='%s' bytes='%020zu'>\n", a_szId, a_szReply, sizetBytes);
  return szLine + a_strBody + strEnd;
}

// ---------------------------------------------------------------------------
// Status replies
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseTaskTest, AStatusReplyCarriesTheTaskIdsAndOneStatus) {
  CDatabase& db = *m_pdatabase;
  const std::string strFail = "\t<reportstatus>\n\t\t<status>fail</status>\n\t</reportstatus>\n";
  // Ids of 0 keep the template's zeros.
  db.CreateTaskReportStatus("fail", nullptr);
  const std::string strZero = db.GetXmlTask()->GetTaskBuffer();
  EXPECT_EQ(strZero, Reply("00000000000000000000", "00000000000000000000", strFail));
  db.SetTaskId(12);
  db.SetReplyId(345);
  EXPECT_EQ(db.GetTaskId(), 12);
  EXPECT_EQ(db.GetReplyId(), 345);
  db.CreateTaskReportStatus("fail", nullptr);
  const std::string strFailed = db.GetXmlTask()->GetTaskBuffer();
  EXPECT_EQ(strFailed, Reply("00000000000000000012", "00000000000000000345", strFail));
  // Into the caller's builder, replacing what it held; the database's own
  // reply stays.
  COsXmlTask osxmltask("", 65536);
  osxmltask.StartTask(1, 2, "busy");
  osxmltask.FinalizeTask();
  db.CreateTaskReportStatus("disconnected", &osxmltask);
  const std::string strDisconnected = osxmltask.GetTaskBuffer();
  EXPECT_EQ(strDisconnected, Reply("00000000000000000012", "00000000000000000345",
                                   "\t<reportstatus>\n\t\t<status>disconnected</status>\n\t</reportstatus>\n"));
  EXPECT_EQ(std::string(db.GetXmlTask()->GetTaskBuffer()), strFailed);
  // No word, no status.
  db.CreateTaskReportStatus("", nullptr);
  const std::string strEmpty = db.GetXmlTask()->GetTaskBuffer();
  EXPECT_EQ(strEmpty, Reply("00000000000000000012", "00000000000000000345", ""));
  for (const std::string* pstr : {&strZero, &strFailed, &strDisconnected, &strEmpty}) EXPECT_EQ(XmlLint(*pstr), 0);
  EXPECT_FALSE(db.GetXmlTask()->IsError(false));
}

// ---------------------------------------------------------------------------
// Data buffers
// ---------------------------------------------------------------------------
// A buffer holds its text and 4096 bytes more; a text as long as the
// buffer has no room for its terminator and grows it.
TEST_F(DbDatabaseTaskTest, DataBuffersGrowWhenATextReachesTheirSize) {
  CDatabase& db = *m_pdatabase;
  CDatabase::SetDataAllocationSeam(Seam);
  EXPECT_EQ(db.GetData(false), nullptr);
  EXPECT_EQ(db.GetData(true), nullptr);
  ASSERT_EQ(db.SetData("abc", false), DB_STS_SUCCESS);
  EXPECT_EQ(s_vecsizetAllocated, std::vector<size_t>{4099});
  EXPECT_STREQ(db.GetData(false), "abc");
  EXPECT_EQ(db.GetData(true), nullptr);  // the buffers are apart
  const std::string strFits(4098, 'f');
  ASSERT_EQ(db.SetData(strFits.c_str(), false), DB_STS_SUCCESS);
  EXPECT_EQ(s_vecsizetAllocated.size(), 1u);
  EXPECT_EQ(db.GetData(false), strFits);
  const std::string strExact(4099, 'x');
  ASSERT_EQ(db.SetData(strExact.c_str(), false), DB_STS_SUCCESS);
  EXPECT_EQ(s_vecsizetAllocated, (std::vector<size_t>{4099, 8195}));
  EXPECT_EQ(db.GetData(false), strExact);
  // A shorter text leaves nothing of the longer one behind.
  ASSERT_EQ(db.SetData("de", false), DB_STS_SUCCESS);
  const char* szData = db.GetData(false);
  EXPECT_STREQ(szData, "de");
  EXPECT_EQ(std::string(szData + 3, 10), std::string(10, '\0'));
  // A null text empties the buffer and keeps it.
  ASSERT_EQ(db.SetData(nullptr, false), DB_STS_SUCCESS);
  EXPECT_EQ(db.GetData(false), szData);
  EXPECT_STREQ(db.GetData(false), "");
  EXPECT_EQ(db.SetData(nullptr, true), DB_STS_SUCCESS);  // no buffer yet
  EXPECT_EQ(db.GetData(true), nullptr);
  ASSERT_EQ(db.SetData("second", true), DB_STS_SUCCESS);
  EXPECT_STREQ(db.GetData(true), "second");
  EXPECT_STREQ(db.GetData(false), "");
}

// A failed growth leaves no buffer to reach (the old one is gone); the next
// text makes a new one.
TEST_F(DbDatabaseTaskTest, AFailedGrowthLeavesNoBuffer) {
  CDatabase& db = *m_pdatabase;
  CDatabase::SetDataAllocationSeam(Seam);
  ASSERT_EQ(db.SetData("abc", true), DB_STS_SUCCESS);
  s_blFail = true;
  EXPECT_EQ(db.SetData(std::string(5000, 'y').c_str(), true), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("OsMemAlloc failed...9096"));
  EXPECT_EQ(db.GetData(true), nullptr);
  EXPECT_EQ(db.SetData(nullptr, true), DB_STS_SUCCESS);
  EXPECT_EQ(db.SetData("abc", true), DB_STS_FAIL);  // every size needs a buffer now
  s_blFail = false;
  ASSERT_EQ(db.SetData("back", true), DB_STS_SUCCESS);
  EXPECT_STREQ(db.GetData(true), "back");
  EXPECT_EQ(s_vecsizetAllocated, (std::vector<size_t>{4099, 9096, 4099, 4100}));
}

// ---------------------------------------------------------------------------
// Model names
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseTaskTest, ModelNamesKeepAtMost31Characters) {
  CDatabase& db = *m_pdatabase;
  const std::string str31(31, 'a');
  const std::string str40 = "0123456789012345678901234567890123456789";
  const struct {
    std::string strName, strStored;
    bool blLogged;
  } acase[] = {
      {"i4250", "i4250", false},
      {"", "", false},
      {str31, str31, false},
      {str31 + "b", str31, true},
      {str40, str40.substr(0, 31), true},
      // A character is never cut in two: "é" takes bytes 31 and 32.
      {std::string(30, 'c') + "\xC3\xA9", std::string(30, 'c'), true},
  };
  for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
    for (const auto& c : acase) {
      SCOPED_TRACE(std::to_string(edbidfirmware) + " <" + c.strName + ">");
      db.SetModelName(edbidfirmware, "previous name of the unit");
      const size_t sizetFrom = LogSize();
      db.SetModelName(edbidfirmware, c.strName.c_str());
      EXPECT_EQ(std::string(db.GetModelName(edbidfirmware)), c.strStored);
      EXPECT_EQ(LogFrom(sizetFrom).find("Model name too long") != std::string::npos, c.blLogged);
    }
  }
  db.SetModelName(DB_FIRMWARE_ADF, "feeder");
  db.SetModelName(DB_FIRMWARE_FLATBED, "flatbed");
  EXPECT_STREQ(db.GetModelName(DB_FIRMWARE_ADF), "feeder");
  // Neither another unit nor a missing name changes a name.
  for (int iUnit : {0, 3, -1}) {
    db.SetModelName(static_cast<EDBID_FIRMWARE>(iUnit), "other");
    EXPECT_STREQ(db.GetModelName(static_cast<EDBID_FIRMWARE>(iUnit)), "");
    EXPECT_TRUE(m_plog->Contains("Bad a_edbidfirmware..." + std::to_string(iUnit)));
  }
  db.SetModelName(DB_FIRMWARE_FLATBED, nullptr);
  EXPECT_STREQ(db.GetModelName(DB_FIRMWARE_ADF), "feeder");
  EXPECT_STREQ(db.GetModelName(DB_FIRMWARE_FLATBED), "flatbed");
  EXPECT_TRUE(m_plog->Contains("Bad argument...2"));
}

TEST_F(DbDatabaseTaskTest, KeptValues) {
  CDatabase& db = *m_pdatabase;
  EXPECT_EQ(db.GetScanSource(), 1);
  db.SetScanSource(2);
  EXPECT_EQ(db.GetScanSource(), 2);
  EXPECT_EQ(db.GetCopyImages(), 0);
  db.SetCopyImages(1);
  EXPECT_EQ(db.GetCopyImages(), 1);
  // State bits go to the table's state word.
  db.SetDbState(DB_STATE_APPLICATION);
  EXPECT_EQ(db.TestDbState(DB_STATE_APPLICATION), 1);
  EXPECT_TRUE(CDbDatum::TestDbState(DB_STATE_APPLICATION));
  db.ClearDbState(DB_STATE_APPLICATION);
  EXPECT_EQ(db.TestDbState(DB_STATE_APPLICATION), 0);
  db.SetDbState(static_cast<EDBSTATE>(16));
  EXPECT_TRUE(m_plog->Contains("Unrecognized a_edbstate...16"));
  EXPECT_EQ(db.GetDbMakeXml(), CDbDatum::GetDbMakeXml());
}

// ---------------------------------------------------------------------------
// Labels and the dropout entries
// ---------------------------------------------------------------------------
TEST_F(DbDatabaseTaskTest, ErrorTextsAreTheLabelsOfTheirTokens) {
  CDatabase& db = *m_pdatabase;
  EXPECT_STREQ(db.LabelGet("E_EXCEEDSMAXIMUM", "fallback", -1), "fallback");  // nothing loaded yet
  db.UpdateLabels();
  EXPECT_STREQ(db.LabelGet("E_NOSUCHTOKEN", "fallback", -1), "fallback");
  db.SetLastPrinterError("E_EXCEEDSMAXIMUM");
  EXPECT_STREQ(db.GetLastPrinterError(), "The printed text is longer than the printer allows.");
  EXPECT_STREQ(db.GetLastImageAddressError(), "");
  db.SetLastImageAddressError("E_NOSUCHTOKEN");
  EXPECT_STREQ(db.GetLastImageAddressError(), "???");
  db.SetLastImageAddressError("");
  EXPECT_STREQ(db.GetLastImageAddressError(), "");
  db.SetLastPrinterError(nullptr);
  EXPECT_STREQ(db.GetLastPrinterError(), "");
}

// The scanner's entries run to the first without a value or name.
TEST_F(DbDatabaseTaskTest, MultipleColourDropoutEntries) {
  CDatabase& db = *m_pdatabase;
  EXPECT_FALSE(db.IsEcdoMultipleColor(DB_ID_ECDO_ENUM_FILE01));  // no entries
  DbEcdoRecord* pdbecdorecord = db.DeviceGetEcdoHeader()->adbecdorecord;
  const struct {
    uint32_t u32Value;
    const char* szName;
    const char* szKind;
  } aentry[] = {{DB_ID_ECDO_ENUM_FILE01, "red", "normal"},
                {DB_ID_ECDO_ENUM_FILE02, "red and blue", "pmcdo"},
                {DB_ID_ECDO_ENUM_FILE03, "", "pmcdo"},  // ends the entries
                {DB_ID_ECDO_ENUM_FILE04, "green", "pmcdo"}};
  for (size_t i = 0; i < std::size(aentry); ++i) {
    pdbecdorecord[i].u32Value = aentry[i].u32Value;
    std::snprintf(pdbecdorecord[i].szName, sizeof pdbecdorecord[i].szName, "%s", aentry[i].szName);
    std::snprintf(pdbecdorecord[i].szKind, sizeof pdbecdorecord[i].szKind, "%s", aentry[i].szKind);
  }
  EXPECT_FALSE(db.IsEcdoMultipleColor(DB_ID_ECDO_ENUM_FILE01));
  EXPECT_TRUE(db.IsEcdoMultipleColor(DB_ID_ECDO_ENUM_FILE02));
  EXPECT_FALSE(db.IsEcdoMultipleColor(DB_ID_ECDO_ENUM_FILE03));
  EXPECT_FALSE(db.IsEcdoMultipleColor(DB_ID_ECDO_ENUM_FILE04));
  EXPECT_FALSE(db.IsEcdoMultipleColor(DB_ID_ECDO_ENUM_NONE));
}

// The override record and the custom dropout list live inside the
// database and start empty whatever the memory held before; the scanner's
// list and the custom list are apart.
TEST_F(DbDatabaseTaskTest, OverrideAndCustomDropoutsStartEmpty) {
  static_assert(sizeof(DbOverride) == 12, "three 32-bit words");
  static_assert(std::size(DbEcdoCustomHeader{}.adbecdorecord) == 10, "ten custom dropouts");
  std::vector<unsigned char> vecStorage(sizeof(CDatabase) + alignof(CDatabase), 0xa5);
  void* pvStorage = vecStorage.data();
  size_t sizetSpace = vecStorage.size();
  ASSERT_NE(std::align(alignof(CDatabase), sizeof(CDatabase), pvStorage, sizetSpace), nullptr);
  CDatabase* pdatabase = new (pvStorage) CDatabase;  // a second database: no table, its own blocks
  auto zero = [](const void* a_pv, size_t a_sizet) {
    const auto* pu8 = static_cast<const unsigned char*>(a_pv);
    return std::all_of(pu8, pu8 + a_sizet, [](unsigned char u8) { return u8 == 0; });
  };
  EXPECT_TRUE(zero(pdatabase->GetOverride(), sizeof(DbOverride)));
  EXPECT_TRUE(zero(pdatabase->DeviceGetEcdoCustomHeader(), sizeof(DbEcdoCustomHeader)));
  EXPECT_TRUE(zero(pdatabase->DeviceGetEcdoHeader(), sizeof(DbEcdoHeader)));
  pdatabase->~CDatabase();
  // The live database's records keep what is written into them.
  CDatabase& db = *m_pdatabase;
  db.GetOverride()->u32Ecdo = DB_ID_ECDO_ENUM_FILE02;
  db.DeviceGetEcdoCustomHeader()->adbecdorecord[0].u32Value = DB_ID_ECDO_ENUM_FILE03;
  EXPECT_EQ(db.GetOverride()->u32DocumentType, 0u);
  EXPECT_EQ(db.GetOverride()->u32Ecdo, static_cast<uint32_t>(DB_ID_ECDO_ENUM_FILE02));
  EXPECT_EQ(db.DeviceGetEcdoHeader()->adbecdorecord[0].u32Value, 0u);
  EXPECT_EQ(db.DeviceGetEcdoCustomHeader()->adbecdorecord[0].u32Value, static_cast<uint32_t>(DB_ID_ECDO_ENUM_FILE03));
}

// ---------------------------------------------------------------------------
// Forwarders
// ---------------------------------------------------------------------------
// The configuration asks its database for the current language and for
// image-processing support.
TEST_F(DbDatabaseTaskTest, TheConfigurationAsksTheDatabase) {
  {
    CDatabase& db = *m_pdatabase;
    db.ConfigEnumAdd("language", "en_usa", DB_CONFIGTARGET_ADF);
    db.ConfigEnumAdd("language", "de_deu", DB_CONFIGTARGET_ADF);
    EXPECT_STREQ(db.ConfigEnumGetFirst("language", DB_CONFIGTARGET_ADF), "de_deu");
    EXPECT_STREQ(db.ConfigEnumGetNext("language", "de_deu", DB_CONFIGTARGET_ADF), "en_usa");
    CDbDatum* planguage = db.FindDirect(DB_BIN_MACHINE, DB_ID_LANGUAGE);
    planguage->SetAccess(DB_ACCESS_READWRITE);
    planguage->CopyCurrentLong(DB_ID_LANGUAGE_ENUM_DE_DEU);
    EXPECT_STREQ(db.ConfigUseLanguage(true, DB_FIRMWARE_ADF), "de_deu");
    planguage->CopyCurrentLong(DB_ID_LANGUAGE_ENUM_JP_JPN);
    EXPECT_STREQ(db.ConfigUseLanguage(true, DB_FIRMWARE_ADF), "en_usa");
  }
  // The image library's bitonal format is dropped only while the library
  // is supported.
  OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
  COsCfg oscfg("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
  ASSERT_EQ(oscfg.Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, "1"), OS_STS_SUCCESS);
  const std::string strInquiry =
      dbconfigtest::InquiryContent(dbconfigtest::Fixture("inquiry_mapleb_feeder.xml"));
  CDev dev(nullptr, nullptr, nullptr);
  for (EDBACCESS edbaccess : {DB_ACCESS_NOTSUPPORTED, DB_ACCESS_READONLY}) {
    SCOPED_TRACE(edbaccess);
    m_pdatabase.reset();
    m_pdatabase = std::make_unique<CDatabase>();
    CDatabase& db = *m_pdatabase;
    db.FindDirect(DB_BIN_MACHINE, DB_ID_NEXIL)->SetAccess(edbaccess);
    ASSERT_TRUE(db.ConfigLoadReportInquiry(strInquiry.c_str(), 0, false, false, DB_FIRMWARE_ADF));
    ASSERT_TRUE(db.ConfigProcessReportInquiry("mapleB", &dev));
    EXPECT_EQ(db.ConfigEnumExists("imageformat", "bw", DB_EDBCONFIGTARGET_COMMON),
              edbaccess == DB_ACCESS_NOTSUPPORTED);
    EXPECT_TRUE(db.ConfigEnumExists("imageformat", "gray_8", DB_EDBCONFIGTARGET_COMMON));
  }
}

TEST_F(DbDatabaseTaskTest, ConfigurationRecordsThroughTheDatabase) {
  CDatabase& db = *m_pdatabase;
  EXPECT_FALSE(db.ConfigExists("papersource", DB_CONFIGTARGET_FLATBED));
  ASSERT_NE(db.ConfigAdd("papersource", DB_CONFIGTARGET_FLATBED), nullptr);
  EXPECT_TRUE(db.ConfigExists("papersource", DB_CONFIGTARGET_FLATBED));
  db.ConfigSetString("papersource", "12 sheets", DB_CONFIGTARGET_FLATBED);
  EXPECT_STREQ(db.ConfigGetString("papersource", DB_CONFIGTARGET_FLATBED), "12 sheets");
  EXPECT_EQ(db.ConfigGetNumber("papersource", DB_CONFIGTARGET_FLATBED), 12);
  db.ConfigSetNumber("papersource", 40, DB_CONFIGTARGET_FLATBED);
  EXPECT_EQ(db.ConfigGetNumber("papersource", DB_CONFIGTARGET_FLATBED), 40);
  db.ConfigDelete("papersource", DB_CONFIGTARGET_FLATBED);
  EXPECT_FALSE(db.ConfigExists("papersource", DB_CONFIGTARGET_FLATBED));
  EXPECT_EQ(db.ConfigGetNumber("papersource", DB_CONFIGTARGET_FLATBED), -1);
  db.ConfigRangeSetMin("zoom", 5, DB_CONFIGTARGET_ADF);
  db.ConfigRangeSetMax("zoom", 500, DB_CONFIGTARGET_ADF);
  EXPECT_EQ(db.ConfigRangeGetMin("zoom", DB_CONFIGTARGET_ADF), 5u);
  EXPECT_EQ(db.ConfigRangeGetMax("zoom", DB_CONFIGTARGET_ADF), 500u);
  db.ConfigEnumAdd("color", "rgb", DB_CONFIGTARGET_COMMON);
  db.ConfigEnumDelete("color", "rgb", DB_CONFIGTARGET_COMMON);
  EXPECT_FALSE(db.ConfigEnumExists("color", "rgb", DB_CONFIGTARGET_COMMON));
  const char* szInquiry =
      "<reportinquiry><range><id>zoom</id><rangemin>10</rangemin><rangemax>90</rangemax></range></reportinquiry>";
  EXPECT_TRUE(db.ConfigProcessReportInquiryXml("", szInquiry, DB_FIRMWARE_ADF));
  EXPECT_TRUE(db.ConfigLoadReportInquiry(szInquiry, 0, false, false, DB_FIRMWARE_FLATBED));
}

TEST_F(DbDatabaseTaskTest, ProfileAndFrameForwarders) {
  CDatabase& db = *m_pdatabase;
  // Without a loaded list the editing and package operations fail with
  // their reasons.
  const struct {
    const char* szLog;
    std::function<bool()> fnFailed;
  } acase[] = {
      {"LoadShare failed...", [&] { return db.ProfileRestoreInstalledProfiles(true) == DB_STS_FAIL; }},
      {"profile list not loaded...", [&] { return db.ProfileRename("a", "b") == DB_STS_FAIL; }},
      {"profile list not loaded...", [&] { return db.ProfileImport("a", false) == DB_STS_FAIL; }},
      {"profile list not loaded...", [&] { return db.ProfileExport("a") == DB_STS_FAIL; }},
      {"m_u32Current isn't pointing to a valid profile object...0", [&] { return db.ProfileDelete("a") == DB_STS_FAIL; }},
      {"profile list not loaded...", [&] { return db.ProfileCreate("mine", "mine.png") == DB_STS_FAIL; }},
      {"Save failed...", [&] { return db.ProfileCreate("", "mine.png") == DB_STS_FAIL; }},
      {"Save failed...", [&] { return db.ProfileCreate(nullptr, nullptr) == DB_STS_FAIL; }},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szLog);
    const size_t sizetFrom = LogSize();
    EXPECT_TRUE(c.fnFailed());
    EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos);
  }
  // The current item's reports and item 0's shared values: without a
  // loaded list there is no item to answer.
  const struct {
    const char* szLog;
    std::function<bool()> fnFailed;
  } acaseItem[] = {
      {"UpdateShare failed...", [&] { return db.ProfileUpdateShare(DB_ID_TRANSPORTTIMEOUTRESPONSE) == DB_STS_FAIL; }},
      {"ProfileItem failed...", [&] { return db.ProfileItem(0) == nullptr; }},
      {"ReportProfileItem failed...", [&] { return db.ProfileReportProfileItem(0) == nullptr; }},
      {"ReportDataFile failed...", [&] { return db.ProfileReportDataFile("group") == nullptr; }},
      {"name not found...<Default>", [&] { return db.ProfileSetCurrent("Default") == DB_STS_FAIL; }},
      {"SetCurrent failed...", [&] { return db.ProfileSetCurrent("group", "file", 4) == DB_STS_FAIL; }},
      {"no profile to apply...", [&] { return db.ProfileReset(false) == DB_STS_FAIL; }},
  };
  for (const auto& c : acaseItem) {
    const size_t sizetFrom = LogSize();
    EXPECT_TRUE(c.fnFailed()) << c.szLog;
    EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << c.szLog;
  }
  db.ProfileFree();
  // The user's profile directory is the list's (none without a
  // configuration), and so, for now, the current profile's.
  auto text = [](const char* a_sz) { return std::string(a_sz ? a_sz : "(none)"); };
  EXPECT_EQ(text(db.ProfileGetUserProfileDirectory()), text(CDbProfileList(&db, 64).GetUserProfileDirectory()));
  EXPECT_EQ(text(db.ProfileGetCurrentProfileDirectory()), text(db.ProfileGetUserProfileDirectory()));
  // Frames: a letter page at the top edge is the letter size, and back.
  const int64_t i64Width = db.Convert1200FromSupportedSizes(static_cast<EDBID_SUPPORTEDSIZES>(2), false, 14400,
                                                            40800, DB_ID_FRAMEWIDTH);
  const int64_t i64Height = db.Convert1200FromSupportedSizes(static_cast<EDBID_SUPPORTEDSIZES>(2), false, 14400,
                                                             40800, DB_ID_FRAMEHEIGHT);
  EXPECT_EQ(i64Width, 10200);
  EXPECT_EQ(i64Height, 13200);
  EXPECT_EQ(db.ConvertWindowSizeFromFrame(0, 0, i64Width, i64Height), 2);
  EXPECT_TRUE(db.IsValidFrame(0, 0, i64Width, i64Height, 0, 1200, 1200, 14400, 40800));
  EXPECT_FALSE(db.IsValidFrame(0, 0, i64Width, i64Height, 0, 1200, 1200, 9000, 40800));
  db.ConvertLoadCustomSupportedSizes();
}

TEST_F(DbDatabaseTaskTest, NotifyAndLookupForwarders) {
  CDatabase& db = *m_pdatabase;
  CDbRange* prange = NewRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, DB_ACCESS_READWRITE, 0, -50, 50, 1);
  CDbRange* prear = NewRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_REAR, DB_ACCESS_READWRITE, 0, -50, 50, 1);
  db.NotifyResetAll();
  db.NotifyResetProfiles();
  db.NotifySet(static_cast<EDBNOTIFY>(DB_NOTIFY_VALUE | DB_NOTIFY_PROFILES | DB_NOTIFY_SIDES), prange);
  EXPECT_TRUE(m_plog->Contains("db>>> NotifySet <CAP34>"));
  EXPECT_EQ(db.NotifyGet(DB_NOTIFY_VALUE, 0, DB_BIN_COLOR_FRONT, DB_ID_BRIGHTNESS), prange);
  EXPECT_EQ(db.NotifyGetFirst(DB_NOTIFY_PROFILES), prange);
  EXPECT_EQ(db.NotifyGetNext(DB_NOTIFY_PROFILES, prange), nullptr);
  EXPECT_EQ(db.NotifyGetSidesCount(), 1u);
  db.NotifySet(DB_NOTIFY_IMAGES, prear);
  EXPECT_EQ(db.NotifyGetImagesCount(), 1u);
  db.NotifyReset(DB_NOTIFY_SIDES, prange);
  EXPECT_EQ(db.NotifyGetSidesCount(), 0u);
  // All but the profiles, then the profiles.
  db.NotifyResetAll();
  EXPECT_EQ(db.NotifyGetFirst(DB_NOTIFY_VALUE), nullptr);
  EXPECT_EQ(db.NotifyGetFirst(DB_NOTIFY_PROFILES), prange);
  db.NotifyResetProfiles();
  EXPECT_EQ(db.NotifyGetFirst(DB_NOTIFY_PROFILES), nullptr);
  // Lookup records of the library's own resource.
  ASSERT_EQ(db.LoadLookup(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH), DB_STS_SUCCESS);
  DbLookup2* pdblookup2 = db.LookupEdbid(DB_ID_BRIGHTNESS);
  ASSERT_NE(pdblookup2, nullptr);
  EXPECT_EQ(db.LookupLexicon("colorbrightness"), pdblookup2);
  EXPECT_EQ(db.LookupDriverLexicon(pdblookup2->szTwainLexicon), pdblookup2);
  DbLookup2* pdblookup2Language = db.LookupEdbid(DB_ID_LANGUAGE);
  DbLookupEnum* pdblookupenum = db.LookupLexiconEnum(pdblookup2Language, "de_deu");
  ASSERT_NE(pdblookupenum, nullptr);
  EXPECT_EQ(pdblookupenum->lValue, DB_ID_LANGUAGE_ENUM_DE_DEU);
  EXPECT_EQ(db.LookupDbEnum(pdblookup2Language, DB_ID_LANGUAGE_ENUM_DE_DEU), pdblookupenum);
}

}  // namespace
