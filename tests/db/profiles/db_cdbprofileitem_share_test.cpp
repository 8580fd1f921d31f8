// The shared values and "profile.share", the timeout response given back
// once its list is rebuilt, whether a profile counts as modified, and the
// report elements of an item and of the list's current item, on an opened
// scanner's database.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "db_cdbenum.h"
#include "db_cdbprofilelist.h"
#include "db_cdbprofilelistimpl.h"
#include "db_profile_opened_fixture.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileOpenedFixture;

// Slots of the shared-values record.
constexpr int s_iSlotEnergyStar = 0;
constexpr int s_iSlotAdfTimeoutEnabled = 3;
constexpr int s_iSlotAdfTimeout = 4;
constexpr int s_iSlotAdfTimeoutResponse = 5;

class DbProfileShareTest : public DbProfileOpenedFixture {
 protected:
  void SetUp() override {
    DbProfileOpenedFixture::SetUp();
    for (EDBID edbid : {DB_ID_ENERGYSTAR, DB_ID_ADFTIMEOUTENABLED, DB_ID_TRANSPORTTIMEOUT})
      ASSERT_TRUE(IsWritable(edbid)) << edbid;
  }

  bool IsWritable(EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid);
    return pdbdatum && pdbdatum->GetAccess() == DB_ACCESS_READWRITE;
  }

  long Default(EDBID a_edbid) { return m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid)->GetDefaultLong(); }
  CDbDatum* Machine(EDBID a_edbid) { return m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid); }

  const std::string m_strShare = m_strOwn + "/profile.share";
};

// At their defaults the shared values leave no file (one there is
// removed); two that differ are written, and only they, in the document's
// order (the feeder's before the power's); loaded again they are the
// values in force and the profile's.
TEST_F(DbProfileShareTest, TheShareFileHoldsTheValuesThatDiffer) {
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  ASSERT_EQ(pdbprofileitem->LoadShare(false), OS_STS_SUCCESS);
  testsupport::WriteFile(m_strShare, "left by another driver");
  ASSERT_EQ(pdbprofileitem->SaveShare(), OS_STS_SUCCESS);
  EXPECT_FALSE(std::filesystem::exists(m_strShare));
  ASSERT_EQ(pdbprofileitem->SaveShare(), OS_STS_SUCCESS);

  Put(DB_ID_ENERGYSTAR, DB_BIN_MACHINE, 30);
  Put(DB_ID_ADFTIMEOUTENABLED, DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED_ENUM_FALSE);
  ASSERT_EQ(pdbprofileitem->SaveShare(), OS_STS_SUCCESS) << m_plog->Text();
  const std::string strText = testsupport::ReadFile(m_strShare);
  EXPECT_TRUE(XmllintReads(m_strShare));
  EXPECT_NE(strText.find("\t<database>\n\t\t<d i='adftimeoutenabled'>\n\t\t\t<m>false</m>\n\t\t</d>\n"
                         "\t\t<d i='lowpowermodetimeout'>\n\t\t\t<m>30</m>\n\t\t</d>\n\t</database>\n"),
            std::string::npos)
      << strText;
  EXPECT_EQ(Text(Children(strText, "header"), "id"), "-*- profile share -*-");

  Put(DB_ID_ENERGYSTAR, DB_BIN_MACHINE, Default(DB_ID_ENERGYSTAR));
  Put(DB_ID_ADFTIMEOUTENABLED, DB_BIN_MACHINE, Default(DB_ID_ADFTIMEOUTENABLED));
  std::unique_ptr<CDbProfileItem> pdbprofileitemLoaded = NewItem();
  ASSERT_EQ(pdbprofileitemLoaded->LoadShare(true), OS_STS_SUCCESS);
  EXPECT_EQ(pdbprofileitemLoaded->GetShareValue(s_iSlotEnergyStar), 30);
  EXPECT_EQ(pdbprofileitemLoaded->GetShareValue(s_iSlotAdfTimeoutEnabled), DB_ID_ADFTIMEOUTENABLED_ENUM_FALSE);
  EXPECT_EQ(pdbprofileitemLoaded->GetShareValue(s_iSlotAdfTimeout), Default(DB_ID_TRANSPORTTIMEOUT));
  for (const auto& [edbid, lValue] :
       {std::pair<EDBID, long>{DB_ID_ENERGYSTAR, 30}, {DB_ID_ADFTIMEOUTENABLED, DB_ID_ADFTIMEOUTENABLED_ENUM_FALSE}}) {
    EXPECT_EQ(Machine(edbid)->GetCurrentLongNoCallback(), lValue) << edbid;
    EXPECT_EQ(Machine(edbid)->GetProfileLong(), lValue) << edbid;
  }
  EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_LOADING));

  // While a profile keeps its own, its values are neither copied nor
  // applied.
  Put(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ID_ADFUNIQUE_ENUM_TRUE);
  Put(DB_ID_ADFTIMEOUTENABLED, DB_BIN_MACHINE, DB_ID_ADFTIMEOUTENABLED_ENUM_TRUE);
  ASSERT_EQ(pdbprofileitemLoaded->SaveShare(), OS_STS_SUCCESS);
  EXPECT_EQ(pdbprofileitemLoaded->GetShareValue(s_iSlotAdfTimeoutEnabled), DB_ID_ADFTIMEOUTENABLED_ENUM_FALSE);
  ASSERT_EQ(NewItem()->LoadShare(true), OS_STS_SUCCESS);
  EXPECT_EQ(Machine(DB_ID_ADFTIMEOUTENABLED)->GetCurrentLongNoCallback(), DB_ID_ADFTIMEOUTENABLED_ENUM_TRUE);
}

// A file that cannot be read as shared values is logged and taken as
// absent (the defaults stand), and stays on disk; the values of a usable
// one are read within their capability.
TEST_F(DbProfileShareTest, AShareFileThatCannotBeUsedIsTakenAsAbsent) {
  const std::string strHead = "<profile><header><id>s</id></header><database>";
  const std::string strTail = "</database></profile>";
  const std::string strGood = strHead + "<d i='adftimeout'><m>9</m></d>" + strTail;
  const long lDefault = Default(DB_ID_TRANSPORTTIMEOUT);
  const long lMax = m_pdatabase->RangeGetCurrentMax(Machine(DB_ID_TRANSPORTTIMEOUT));
  const struct {
    const char* szWhat;
    std::string strText;
    long lAdfTimeout;
    const char* szLog;
  } acase[] = {
      {"usable", strGood, 9, ""},
      {"cut short", strGood.substr(0, strGood.size() - 12), lDefault, "Load failed..."},
      {"empty", "", lDefault, "OsMemGetSettings failed...0"},
      {"another format", "[share]\nadftimeout=9\nlowpower=1\n", lDefault, "Load failed..."},
      {"another root", "<settings><header></header><database></database></settings>", lDefault,
       "profile tag not found..."},
      {"no database", "<profile><header></header></profile>", lDefault, "database tag not found..."},
      {"a capability not shared", strHead + "<d i='adftimeout'><m>9</m></d><d i='imageformat'><m>bw</m></d>" + strTail,
       lDefault, "unrecognized id...124"},
      {"windows out of the table",
       strHead + "<d i='adftimeout'><fb99>5</fb99><fbx>5</fbx><fb-1>5</fb-1><m>9</m></d>" + strTail, 9,
       "unrecognized tag...<fb-1>"},
      {"a value out of range", strHead + "<d i='adftimeout'><m>100000</m></d>" + strTail, lMax,
       "profile.share value outside its range, snapped...237 100000"},
      {"not a number", strHead + "<d i='adftimeout'><m>9x</m></d>" + strTail, lDefault,
       "profile.share value is not a number...237 <9x>"},
      {"an unknown lexicon and no id",
       strHead + "<d i='nosuch'><m>1</m></d><d><m>1</m></d>" + strGood.substr(strHead.size()), 9, "missing id..."},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    testsupport::WriteFile(m_strShare, c.strText);
    const size_t sizetBefore = m_plog->Text().size();
    std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
    EXPECT_EQ(pdbprofileitem->LoadShare(true), OS_STS_SUCCESS);
    EXPECT_EQ(pdbprofileitem->GetShareValue(s_iSlotAdfTimeout), c.lAdfTimeout);
    EXPECT_EQ(Machine(DB_ID_TRANSPORTTIMEOUT)->GetCurrentLongNoCallback(), c.lAdfTimeout);
    EXPECT_NE(m_plog->Text().find(c.szLog, sizetBefore), std::string::npos) << c.szLog;
    EXPECT_EQ(testsupport::ReadFile(m_strShare), c.strText);
  }
  EXPECT_TRUE(m_plog->Contains("unrecognized tag...<fb99>"));
  EXPECT_TRUE(m_plog->Contains("unrecognized tag...<fbx>"));
  // The list's item 0 loads whatever its file holds.
  const char* szRoot = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_USERROOTDIRECTORY);
  std::filesystem::create_directories(std::string(szRoot) + "/profiles");
  testsupport::WriteFile(std::string(szRoot) + "/profiles/profile.share", acase[6].strText);
  CDbProfileList dbprofilelist(m_pdatabase.get(), 64);
  EXPECT_EQ(dbprofilelist.Load(), DB_STS_SUCCESS);
}

// Once the rule has rebuilt the response's list, the shared response is in
// force when the list offers it (no check, no rule: current and profile
// value); it is not while a profile keeps its own, nor for another id.
TEST_F(DbProfileShareTest, TheSharedTimeoutResponseIsGivenBackWhenOffered) {
  auto* pdbenum = dynamic_cast<CDbEnum*>(Machine(DB_ID_TRANSPORTTIMEOUTRESPONSE));
  ASSERT_NE(pdbenum, nullptr);
  pdbenum->DeleteAllCurrentItems();
  pdbenum->AddCurrentItem(DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);
  pdbenum->AddCurrentItem(DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_ENDOFJOB);
  pdbenum->SetAccess(DB_ACCESS_READWRITE);
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  ASSERT_EQ(pdbprofileitem->LoadShare(false), OS_STS_SUCCESS);
  Put(DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE, DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);
  ASSERT_EQ(pdbprofileitem->SaveShare(), OS_STS_SUCCESS);
  ASSERT_EQ(pdbprofileitem->GetShareValue(s_iSlotAdfTimeoutResponse), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);

  Put(DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE, DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_ENDOFJOB);
  m_pdatabase->NotifyResetAll();
  EXPECT_EQ(pdbprofileitem->UpdateShare(DB_ID_TRANSPORTTIMEOUTRESPONSE), OS_STS_SUCCESS);
  EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);
  EXPECT_EQ(pdbenum->GetProfileLong(), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);
  EXPECT_EQ(pdbenum->GetPreviousLong(), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_ENDOFJOB);
  EXPECT_EQ(m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE), nullptr);

  const struct {
    const char* szWhat;
    std::function<void()> fnBefore;
  } acase[] = {
      {"not offered", [&] { pdbenum->DeleteCurrentItem(DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER); }},
      {"a profile's own",
       [&] {
         pdbenum->AddCurrentItem(DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_STOPFEEDER);
         Put(DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ID_ADFUNIQUE_ENUM_TRUE);
       }},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    c.fnBefore();
    Put(DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE, DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_ENDOFJOB);
    EXPECT_EQ(pdbprofileitem->UpdateShare(DB_ID_TRANSPORTTIMEOUTRESPONSE), OS_STS_SUCCESS);
    EXPECT_EQ(pdbenum->GetCurrentLongNoCallback(), DB_ID_TRANSPORTTIMEOUTRESPONSE_ENUM_ENDOFJOB);
  }
  EXPECT_EQ(pdbprofileitem->UpdateShare(DB_ID_BRIGHTNESS), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("UpdateShare - unsupported Database type...34"));
  // The database reaches item 0 through its list.
  EXPECT_EQ(m_pdatabase->ProfileUpdateShare(DB_ID_TRANSPORTTIMEOUTRESPONSE), DB_STS_SUCCESS);
}

// A pending profile change counts, but under the GUI's request only where
// it shows: the frame and window size with a cropping box in their bin, the
// paper sizes with one in any camera, the page count never. A hidden
// profile is never modified.
TEST_F(DbProfileShareTest, ModifiedByTheChangesThatShow) {
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  constexpr long s_lAutomatic = DB_ID_CROPPINGMODE_ENUM_AUTOMATIC;
  constexpr long s_lFixed = DB_ID_CROPPINGMODE_ENUM_FIXED;
  const struct {
    EDBID edbid;
    EDBBIN edbbin;
    long lCroppingFront;  // the cropping mode of both front cameras
    long lCroppingColorRear;
    bool blGui;
    bool blModified;
  } acase[] = {
      {DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT, s_lAutomatic, s_lAutomatic, true, true},
      {DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, s_lAutomatic, s_lFixed, true, false},
      {DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, s_lFixed, s_lAutomatic, true, true},
      {DB_ID_FRAMEWIDTH, DB_BIN_BITONAL_FRONT, s_lAutomatic, s_lAutomatic, false, true},
      {DB_ID_IMAGESKEWANGLE, DB_BIN_COLOR_FRONT, s_lAutomatic, s_lFixed, true, false},
      {DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, s_lAutomatic, s_lAutomatic, true, false},
      {DB_ID_SUPPORTEDSIZES, DB_BIN_MACHINE, s_lAutomatic, s_lFixed, true, true},
      {DB_ID_PAGECOUNT, DB_BIN_MACHINE, s_lFixed, s_lFixed, true, false},
      {DB_ID_PAGECOUNT, DB_BIN_MACHINE, s_lFixed, s_lFixed, false, true},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(::testing::Message() << c.edbid << " gui " << c.blGui);
    m_pdatabase->NotifyResetProfiles();
    EXPECT_FALSE(pdbprofileitem->IsProfileModified());
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT}) Put(DB_ID_CROPPINGMODE, edbbin, c.lCroppingFront);
    for (EDBBIN edbbin : {DB_BIN_BITONAL_REAR, DB_BIN_COLOR_REAR})
      Put(DB_ID_CROPPINGMODE, edbbin, edbbin == DB_BIN_COLOR_REAR ? c.lCroppingColorRear : s_lAutomatic);
    m_pdatabase->NotifySet(DB_NOTIFY_PROFILES, m_pdatabase->FindInWindowBin(0, c.edbbin, c.edbid));
    if (c.blGui) m_pdatabase->SetDbState(DB_STATE_GUI);
    EXPECT_EQ(pdbprofileitem->IsProfileModified(), c.blModified);
    pdbprofileitem->SetProfileHidden(true);
    EXPECT_FALSE(pdbprofileitem->IsProfileModified());
    pdbprofileitem->SetProfileHidden(false);
    m_pdatabase->ClearDbState(DB_STATE_GUI);
  }
  // A save makes the values in force the profile's.
  pdbprofileitem = NewItem(m_strOwn + "/mine.profile");
  pdbprofileitem->SetProfileUser();
  Put(DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT, 33);
  m_pdatabase->NotifySet(DB_NOTIFY_PROFILES, m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_THRESHOLD));
  ASSERT_TRUE(pdbprofileitem->IsProfileModified());
  ASSERT_EQ(pdbprofileitem->Save(nullptr), OS_STS_SUCCESS);
  EXPECT_FALSE(pdbprofileitem->IsProfileModified());
  EXPECT_EQ(m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_THRESHOLD)->GetProfileLong(), 33);
}

// The report elements of an item: its texts, its state, its picture (the
// own graphics directory first, then the installed one; cleared when in
// neither); a hidden item's report is empty.
TEST_F(DbProfileShareTest, TheReportsOfAnItem) {
  testsupport::WriteFile(m_strInstalled + "/pic.png", "png");
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  pdbprofileitem->SetName("Mine");
  pdbprofileitem->SetId("m1");
  pdbprofileitem->SetGraphicFilename("pic.png");
  m_pdatabase->NotifyResetProfiles();
  const auto Item = [&](const char* a_szState, const std::string& a_strPicture) {
    return "\t<reportprofileitem>\n\t\t<profileitem>\n\t\t\t<value><![CDATA[Mine]]></value>\n"
           "\t\t\t<text><![CDATA[Mine]]></text>\n\t\t\t<profilestate>" +
           std::string(a_szState) +
           "</profilestate>\n\t\t\t<readonly>false</readonly>\n\t\t\t<default>false</default>\n"
           "\t\t\t<profileid>m1</profileid>\n\t\t\t<graphicfilename><![CDATA[" +
           a_strPicture + "]]></graphicfilename>\n\t\t</profileitem>\n\t</reportprofileitem>\n";
  };
  const char* szReport = pdbprofileitem->ReportProfileItem(1);
  ASSERT_NE(szReport, nullptr);
  EXPECT_EQ(szReport, Item("current", m_strInstalled + "/pic.png"));
  std::filesystem::create_directories(m_strGraphics);
  testsupport::WriteFile(m_strGraphics + "/pic.png", "own");
  m_pdatabase->NotifySet(DB_NOTIFY_PROFILES, m_pdatabase->FindInWindowBin(0, DB_BIN_BITONAL_FRONT, DB_ID_THRESHOLD));
  EXPECT_EQ(pdbprofileitem->ReportProfileItem(1), Item("modified", m_strGraphics + "/pic.png"));
  std::filesystem::remove(m_strGraphics + "/pic.png");
  std::filesystem::remove(m_strInstalled + "/pic.png");
  EXPECT_EQ(pdbprofileitem->ReportProfileItem(1), Item("modified", ""));
  EXPECT_TRUE(m_plog->Contains("We had problems finding this graphic file, so we're clearing it..."));
  pdbprofileitem->SetProfileHidden(true);
  EXPECT_STREQ(pdbprofileitem->ReportProfileItem(1), "\t<reportprofileitem>\n\t</reportprofileitem>\n");
  // As a non-task element, at a depth of its own.
  pdbprofileitem->SetProfileHidden(false);
  ASSERT_EQ(pdbprofileitem->ProfileItem(false, 2, true), OS_STS_SUCCESS);
  EXPECT_EQ(std::string(m_posxmltask->GetTaskBuffer()).substr(0, 42),
            "\t\t<profileitem>\n\t\t\t<value><![CDATA[Mine]]>");
  EXPECT_NE(std::string(m_posxmltask->GetTaskBuffer()).find("<profilestate>normal</profilestate>"), std::string::npos);
}

// The list answers for its current item: the data-file report names a new
// file of the log directory holding the document (the caller removes it),
// the profile item reports, and the group documents "gdf" with their
// arguments checked.
TEST_F(DbProfileShareTest, TheListAnswersForItsCurrentItem) {
  const std::string strLogDirectory = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY);
  const char* szReport = m_pdatabase->ProfileReportDataFile("profileall");
  ASSERT_NE(szReport, nullptr) << m_plog->Text();
  std::smatch match;
  const std::string strReport = szReport;
  m_pdatabase->ProfileFree();
  ASSERT_TRUE(std::regex_match(strReport, match,
                               std::regex("\t<reportdatafile>\n\t\t<id>profileall</id>\n\t\t<filename>(.*/rdf.{6})"
                                          "</filename>\n\t\t<datasize>([0-9]+)</datasize>\n\t</reportdatafile>\n")))
      << strReport;
  const std::string strPath = match[1].str();
  EXPECT_EQ(std::filesystem::path(strPath).parent_path(), std::filesystem::path(strLogDirectory));
  EXPECT_EQ(std::filesystem::file_size(strPath), std::stoul(match[2].str()));
  EXPECT_TRUE(XmllintReads(strPath));
  EXPECT_FALSE(Capabilities(testsupport::ReadFile(strPath)).empty());
  EXPECT_EQ(m_pdatabase->ProfileReportDataFile(nullptr), nullptr);
  EXPECT_TRUE(m_plog->Contains("a_szGroup is null..."));

  const char* szItem = m_pdatabase->ProfileReportProfileItem(1);
  ASSERT_NE(szItem, nullptr);
  EXPECT_NE(std::string(szItem).find("\t\t\t<value><![CDATA[Default]]></value>\n"), std::string::npos) << szItem;
  szItem = m_pdatabase->ProfileItem(2);
  ASSERT_NE(szItem, nullptr);
  EXPECT_EQ(std::string(szItem).rfind("\t\t<profileitem>\n\t\t\t<value><![CDATA[Default]]></value>\n", 0), 0u)
      << szItem;

  // The group document of a caller, with its checks.
  std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
  char szFile[512] = "x";
  uint32_t u32Length = 0;
  ASSERT_EQ(pdbprofileitem->Save("profileiaprinter", szFile, sizeof szFile, &u32Length), OS_STS_SUCCESS);
  EXPECT_EQ(std::filesystem::path(szFile).filename().string().substr(0, 3), "gdf");
  EXPECT_EQ(std::filesystem::file_size(szFile), u32Length);
  char szEmpty[512] = "";
  const struct {
    const char* szGroup;
    char* szFilename;
    uint32_t u32Size;
    const char* szLog;
  } acase[] = {{nullptr, szFile, 512, "a_szGroup is null or empty..."},
               {"", szFile, 512, "a_szGroup is null or empty..."},
               {"profileall", szEmpty, 512, "a_szFilename is null or empty..."},
               {"profileall", nullptr, 512, "a_szFilename is null or empty..."},
               {"profileall", szFile, 15, "a_u32FilenameSize is too small..."},
               {"profileall", szFile, 20, "a_u32FilenameSize is too small...20"}};
  for (const auto& c : acase) {
    EXPECT_EQ(pdbprofileitem->Save(c.szGroup, c.szFilename, c.u32Size, nullptr), OS_STS_FAIL) << c.szLog;
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
  }
  // The one too long for its buffer was removed again.
  size_t sizetGroupFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(strLogDirectory))
    sizetGroupFiles += entry.path().filename().string().rfind("gdf", 0) == 0;
  EXPECT_EQ(sizetGroupFiles, 1u);
}

// A hidden current item: the list's profile item holds an empty value only.
TEST_F(DbProfileShareTest, AHiddenCurrentItemIsReportedEmpty) {
  CDbProfileListImpl dbprofilelistimpl(m_pdatabase.get(), 64);
  ASSERT_EQ(dbprofilelistimpl.Load(false), DB_STS_SUCCESS);
  dbprofilelistimpl.GetCurrentProfile()->SetProfileHidden(true);
  EXPECT_STREQ(dbprofilelistimpl.ProfileItem(1),
               "\t<profileitem>\n\t\t<value><![CDATA[]]></value>\n\t</profileitem>\n");
  EXPECT_STREQ(dbprofilelistimpl.ReportProfileItem(1), "\t<reportprofileitem>\n\t</reportprofileitem>\n");
}

}  // namespace
