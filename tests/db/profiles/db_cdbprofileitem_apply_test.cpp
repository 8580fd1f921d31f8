// Applying hand-written profile documents (tests/data/db/profiles) to the
// database of an opened scanner: numbers snapped into their range, values
// the scanner does not offer discarded, the window tags, list values, the
// partial printer groups, the kept capabilities, the sound's directory,
// documents that cannot be applied, and the private copy a failed apply
// puts back. After every apply state 3 is clear, and after one that reset
// the database the profile-change set is empty.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "db_cdblookup.h"
#include "db_cdbprofileitem.h"
#include "db_profile_opened_fixture.h"
#include "db_profilesnapshot.h"
#include "../../dev/dev_driverconfig.h"
#include "os_coscfgtags.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileOpenedFixture;

const std::string s_strDocuments = std::string(SCANDRV_TEST_DATA) + "/db/profiles/";

class DbProfileApplyTest : public DbProfileOpenedFixture {
 protected:
  // The hand-written document with its placeholders replaced, applied by an
  // installed item (or a user's) through its group; the status.
  EOSSTS Apply(const std::string& a_strDocument, const std::vector<std::pair<std::string, std::string>>& a_vecReplace = {},
               const char* a_szGroup = "profileall", bool a_blUser = false) {
    const std::string strPath = Write(a_strDocument, a_vecReplace);
    const std::string strText = testsupport::ReadFile(strPath);
    std::unique_ptr<CDbProfileItem> pdbprofileitem = NewItem();
    if (a_blUser) pdbprofileitem->SetProfileUser();
    pdbprofileitem->SetProfileInstalled();
    const EOSSTS eossts = pdbprofileitem->SetCurrent(nullptr, a_szGroup, strPath.c_str(),
                                                     static_cast<uint32_t>(strText.size()), false);
    EXPECT_FALSE(m_pdatabase->TestDbState(DB_STATE_LOADING)) << a_strDocument;
    if (eossts != OS_STS_SUCCESS) {
      const std::string strLog = m_plog->Text();
      std::cerr << a_strDocument << ": " << strLog.substr(strLog.size() > 3000 ? strLog.size() - 3000 : 0) << "\n";
    }
    return eossts;
  }

  // The hand-written document with its placeholders replaced, beside the
  // item's own directory; its path.
  std::string Write(const std::string& a_strDocument,
                    const std::vector<std::pair<std::string, std::string>>& a_vecReplace = {}) {
    std::string strText = testsupport::ReadFile(s_strDocuments + a_strDocument);
    for (const auto& [strFrom, strTo] : a_vecReplace) {
      for (size_t sizet = strText.find(strFrom); sizet != std::string::npos;
           sizet = strText.find(strFrom, sizet + strTo.size()))
        strText.replace(sizet, strFrom.size(), strTo);
    }
    const std::string strPath = m_strOwn + "/applied.profile";
    testsupport::WriteFile(strPath, strText);
    return strPath;
  }

  // What the Python model (tests/tools/profile_apply_model.py) expects of
  // the document, fed with the database's Dump as it stands: "ID BIN VALUE"
  // or "ID BIN default" per window-0 value element.
  std::vector<std::string> Model(const std::string& a_strDocument,
                                 const std::vector<std::pair<std::string, std::string>>& a_vecReplace = {}) {
    const std::string strDocument = Write(a_strDocument, a_vecReplace);
    const std::string strLog = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY);
    std::filesystem::create_directories(strLog);
    for (const auto& entry : std::filesystem::directory_iterator(strLog)) {
      if (entry.path().filename().string().rfind("PmxDbApplyModel", 0) == 0) std::filesystem::remove(entry.path());
    }
    EXPECT_EQ(m_pdatabase->Dump("PmxDbApplyModel.txt"), DB_STS_SUCCESS);
    std::string strDump;
    for (const auto& entry : std::filesystem::directory_iterator(strLog)) {
      if (entry.path().filename().string().rfind("PmxDbApplyModel", 0) == 0) strDump = entry.path().string();
    }
    int iStatus = -1;
    const std::string strOut = testsupport::RunProgram(
        {SCANDRV_PYTHON, std::string(SCANDRV_TEST_DATA) + "/../tools/profile_apply_model.py", strDump, strDocument},
        &iStatus);
    EXPECT_EQ(iStatus, 0) << strOut;
    std::vector<std::string> vec;
    std::istringstream istringstream(strOut);
    for (std::string str; std::getline(istringstream, str);) {
      if (!str.empty()) vec.push_back(str);
    }
    return vec;
  }

  static std::string Row(EDBID a_edbid, EDBBIN a_edbbin, const std::string& a_strValue) {
    return std::to_string(a_edbid) + " " + std::to_string(a_edbbin) + " " + a_strValue;
  }

  CDbDatum* Datum(EDBID a_edbid, EDBBIN a_edbbin) { return m_pdatabase->FindInWindowBin(0, a_edbbin, a_edbid); }
  bool Usable(EDBID a_edbid, EDBBIN a_edbbin) {
    CDbDatum* pdbdatum = Datum(a_edbid, a_edbbin);
    return pdbdatum && pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED && pdbdatum->GetAccess() != DB_ACCESS_READONLY &&
           pdbdatum->GetAccess() != DB_ACCESS_READONLYHIDDEN;
  }
  long Current(EDBID a_edbid, EDBBIN a_edbbin) { return Datum(a_edbid, a_edbbin)->GetCurrentLongNoCallback(); }

  // A value name of the capability that its current list does not offer
  // ("" when it offers them all).
  std::string Unoffered(EDBID a_edbid, EDBBIN a_edbbin) {
    const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(a_edbid);
    for (long l = 0; pdblookup2 && l < pdblookup2->lEnumCount; ++l) {
      const DbLookupEnum& dblookupenum = pdblookup2->pEnums[l];
      if (dblookupenum.szLexiconEnum && dblookupenum.szLexiconEnum[0] &&
          !m_pdatabase->EnumHasCurrentItem(Datum(a_edbid, a_edbbin), dblookupenum.lValue))
        return dblookupenum.szLexiconEnum;
    }
    return "";
  }

  std::string NameOf(EDBID a_edbid, long a_lValue) {
    const DbLookupEnum* pdblookupenum = m_pdatabase->LookupDbEnum(m_pdatabase->LookupEdbid(a_edbid), a_lValue);
    return pdblookupenum ? pdblookupenum->szLexiconEnum : "";
  }

  // The profile-change set.
  std::vector<CDbDatum*> Walk(EDBNOTIFY a_edbnotify) {
    std::vector<CDbDatum*> vec;
    for (CDbDatum* p = m_pdatabase->NotifyGetFirst(a_edbnotify); p && vec.size() < 20000;
         p = m_pdatabase->NotifyGetNext(a_edbnotify, p))
      vec.push_back(p);
    return vec;
  }

  std::vector<long> CurrentList(EDBID a_edbid) {
    std::vector<long> vec;
    CDbDatum* pdbdatum = Datum(a_edbid, DB_BIN_MACHINE);
    for (long l = 0; l < m_pdatabase->EnumGetCurrentItemCount(pdbdatum); ++l)
      vec.push_back(m_pdatabase->EnumGetCurrentItem(pdbdatum, l));
    return vec;
  }
};

// The model: above the range's maximum the maximum, below its minimum the
// minimum (each logged), anything within it as it stands (off the grid
// too); read from the database before the apply.
TEST_F(DbProfileApplyTest, NumbersAreSnappedIntoTheirRange) {
  const struct {
    EDBID edbid;
    EDBBIN edbbin;
    long lText;  // the document's number
  } acase[] = {{DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT, 9999},
               {DB_ID_CONTRAST, DB_BIN_COLOR_FRONT, -9999},
               {DB_ID_CONTRAST, DB_BIN_BITONAL_REAR, 7},
               {DB_ID_PHYSICALHEIGHTADJUST, DB_BIN_MACHINE, 16805},
               {DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT, -5}};
  std::vector<long> vecExpected;
  for (const auto& c : acase) {
    ASSERT_TRUE(Usable(c.edbid, c.edbbin)) << c.edbid << " " << c.edbbin;
    const long lMax = m_pdatabase->RangeGetCurrentMax(Datum(c.edbid, c.edbbin));
    const long lMin = m_pdatabase->RangeGetCurrentMin(Datum(c.edbid, c.edbbin));
    vecExpected.push_back(c.lText > lMax ? lMax : c.lText < lMin ? lMin : c.lText);
  }
  // The Python model, from the Dump, agrees row by row.
  const std::vector<std::string> vecModel = Model("range.profile");
  for (size_t i = 0; i < std::size(acase); ++i) {
    EXPECT_NE(std::find(vecModel.begin(), vecModel.end(),
                        Row(acase[i].edbid, acase[i].edbbin, std::to_string(vecExpected[i]))),
              vecModel.end())
        << acase[i].edbid << " " << acase[i].edbbin;
  }
  ASSERT_EQ(Apply("range.profile"), OS_STS_SUCCESS) << m_plog->Text();
  for (size_t i = 0; i < std::size(acase); ++i) {
    EXPECT_EQ(Current(acase[i].edbid, acase[i].edbbin), vecExpected[i]) << acase[i].edbid << " " << acase[i].edbbin;
    EXPECT_EQ(Datum(acase[i].edbid, acase[i].edbbin)->GetProfileLong(), vecExpected[i]);
  }
  EXPECT_TRUE(m_plog->Contains("SetCurrent - Snapped Range value down to Maximum: " + std::to_string(vecExpected[0])));
  EXPECT_TRUE(m_plog->Contains("SetCurrent - Snapped Range value up to Minimum: " + std::to_string(vecExpected[1])));
  EXPECT_TRUE(Walk(DB_NOTIFY_PROFILES).empty());
}

// A value the scanner does not offer leaves the default; the multifeed
// response takes "stopfeeder" instead when that is offered.
TEST_F(DbProfileApplyTest, UnofferedValuesLeaveTheDefault) {
  ASSERT_TRUE(Usable(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT));
  const std::string strResolution = Unoffered(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT);
  ASSERT_FALSE(strResolution.empty());
  const long lDefault = Datum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT)->GetDefaultLong();
  Set(0, DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT, m_pdatabase->EnumGetCurrentItem(Datum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT), 0) == lDefault
      ? m_pdatabase->EnumGetCurrentItem(Datum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT), 1)
      : m_pdatabase->EnumGetCurrentItem(Datum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT), 0));
  EXPECT_EQ(Model("enum.profile", {{"UNOFFERED", strResolution}}),
            std::vector<std::string>{Row(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT, "default")});
  ASSERT_EQ(Apply("enum.profile", {{"UNOFFERED", strResolution}}), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(Current(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT), lDefault);
  EXPECT_TRUE(m_plog->Contains("Discarding unsupported value from profile..." + std::to_string(DB_ID_XRESOLUTION) +
                               " 2 <" + strResolution + ">"));

  // The printer group is laid over the values in force, before the rules
  // (which take the capability away from a scanner without multifeed
  // detection, but only afterwards): such a scanner is given it, with the
  // list "endofjob" and "stopfeeder".
  CDbDatum* pdbdatum = Datum(DB_ID_MULTIFEEDRESPONSE, DB_BIN_MACHINE);
  ASSERT_NE(pdbdatum, nullptr);
  const bool blDetects = Usable(DB_ID_MULTIFEEDRESPONSE, DB_BIN_MACHINE);
  const auto Offer = [&](std::initializer_list<long> a_list) {
    pdbdatum->SetAccess(DB_ACCESS_READWRITE);
    m_pdatabase->EnumDeleteAllItems(pdbdatum);
    for (long l : a_list) m_pdatabase->EnumAddItem(pdbdatum, l);
  };
  const std::string strResponse = NameOf(DB_ID_MULTIFEEDRESPONSE, DB_ID_MULTIFEEDRESPONSE_ENUM_CONTINUE);
  Offer({DB_ID_MULTIFEEDRESPONSE_ENUM_ENDOFJOB, DB_ID_MULTIFEEDRESPONSE_ENUM_STOPFEEDER});
  ASSERT_EQ(Apply("multifeed.profile", {{"UNOFFERED", strResponse}}, "profileiaprinter"), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("(using 'Pause')...160 1 <" + strResponse + ">"));
  if (blDetects) {
    EXPECT_EQ(Current(DB_ID_MULTIFEEDRESPONSE, DB_BIN_MACHINE), DB_ID_MULTIFEEDRESPONSE_ENUM_STOPFEEDER);
  }
  Offer({DB_ID_MULTIFEEDRESPONSE_ENUM_ENDOFJOB});
  ASSERT_EQ(Apply("multifeed.profile", {{"UNOFFERED", strResponse}}, "profileiaprinter"), OS_STS_SUCCESS);
  EXPECT_TRUE(m_plog->Contains("(using Default)...160 1 <" + strResponse + ">"));
}

// An unoffered timeout response: the default, and for an installed profile
// (not a user's) the feeder's values become shared again.
TEST_F(DbProfileApplyTest, AnUnofferedTimeoutResponseSharesTheFeederValues) {
  if (!Usable(DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE) || !Usable(DB_ID_ADFUNIQUE, DB_BIN_MACHINE))
    GTEST_SKIP() << "the scanner has no timeout response";
  const std::string strResponse = Unoffered(DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE);
  ASSERT_FALSE(strResponse.empty());
  for (const bool blUser : {true, false}) {
    ASSERT_EQ(Set(0, DB_ID_ADFUNIQUE, DB_BIN_MACHINE, DB_ID_ADFUNIQUE_ENUM_TRUE), DB_STS_SUCCESS);
    ASSERT_EQ(Apply("timeout.profile", {{"UNOFFERED", strResponse}}, "profileiaprinter", blUser), OS_STS_SUCCESS);
    EXPECT_EQ(Current(DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE),
              Datum(DB_ID_TRANSPORTTIMEOUTRESPONSE, DB_BIN_MACHINE)->GetDefaultLong());
    EXPECT_EQ(Current(DB_ID_ADFUNIQUE, DB_BIN_MACHINE), blUser ? DB_ID_ADFUNIQUE_ENUM_TRUE : DB_ID_ADFUNIQUE_ENUM_FALSE)
        << blUser;
  }
  EXPECT_TRUE(m_plog->Contains("Discarding unsupported Transport Timeout Response value from profile..."));
}

// "frontcolor..." first: the colour cameras lead, in the default list's
// order; any other first value keeps the order in force.
TEST_F(DbProfileApplyTest, WindowTagsLedByFrontColourPutColourFirst) {
  CDbDatum* pdbdatum = Datum(DB_ID_WINDOWBIN, DB_BIN_MACHINE);
  ASSERT_NE(pdbdatum, nullptr);
  std::vector<long> vecColour;
  std::vector<long> vecBitonal;
  for (long l = 0; l < m_pdatabase->EnumGetDefaultItemCount(pdbdatum); ++l) {
    const long lPair = m_pdatabase->EnumGetDefaultItem(pdbdatum, l);
    const EDBBIN edbbin = m_pdatabase->GetBinFromWindowBin(static_cast<EDBID_WINDOWBIN>(lPair));
    (edbbin >= DB_BIN_COLOR_FRONT ? vecColour : vecBitonal).push_back(lPair);
  }
  ASSERT_FALSE(vecColour.empty());
  ASSERT_FALSE(vecBitonal.empty());
  ASSERT_EQ(Apply("windowtag.profile", {{"TAG", "frontcolor_00"}}, "profileiaprinter"), OS_STS_SUCCESS);
  std::vector<long> vecExpected = vecColour;
  vecExpected.insert(vecExpected.end(), vecBitonal.begin(), vecBitonal.end());
  EXPECT_EQ(CurrentList(DB_ID_WINDOWBIN), vecExpected);
  ASSERT_EQ(Apply("windowtag.profile", {{"TAG", "frontbitonal_00"}}, "profileiaprinter"), OS_STS_SUCCESS);
  EXPECT_EQ(CurrentList(DB_ID_WINDOWBIN), vecExpected);
}

// "profileiaprinter" is laid over the values in force: only what it names
// changes; a list of which no value is offered changes nothing.
TEST_F(DbProfileApplyTest, APrinterGroupChangesOnlyWhatItNames) {
  ASSERT_EQ(Set(0, DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, 20), DB_STS_SUCCESS);
  const long lResolution = Current(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT);
  const std::vector<long> vecBefore = [&] {
    std::vector<long> vec;
    CDbDatum* pdbdatum = Datum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT);
    for (long l = 0; l < m_pdatabase->EnumGetCurrentItemCount(pdbdatum); ++l)
      vec.push_back(m_pdatabase->EnumGetCurrentItem(pdbdatum, l));
    return vec;
  }();
  ASSERT_EQ(Apply("list.profile", {{"UNOFFERED", "superfine_dpi"}}, "profileiaprinter"), OS_STS_SUCCESS);
  EXPECT_EQ(Current(DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT), 11);
  EXPECT_EQ(Current(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT), 20);
  EXPECT_EQ(Current(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT), lResolution);
  CDbDatum* pdbdatum = Datum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT);
  ASSERT_EQ(m_pdatabase->EnumGetCurrentItemCount(pdbdatum), static_cast<long>(vecBefore.size()));
  for (size_t i = 0; i < vecBefore.size(); ++i)
    EXPECT_EQ(m_pdatabase->EnumGetCurrentItem(pdbdatum, static_cast<long>(i)), vecBefore[i]);
  // A whole profile starts from the defaults.
  ASSERT_EQ(Apply("list.profile", {{"UNOFFERED", "superfine_dpi"}}), OS_STS_SUCCESS);
  EXPECT_EQ(Current(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT), Datum(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT)->GetDefaultLong());
  EXPECT_TRUE(Walk(DB_NOTIFY_PROFILES).empty());
}

// The printer index survives a profile (ForceProfileResetAll, a driver
// value, is checked through the driver entry); a reset of everything puts
// it back.
TEST_F(DbProfileApplyTest, ThePrinterIndexSurvivesAProfile) {
  if (!Usable(DB_ID_PRINTERINDEX, DB_BIN_MACHINE)) GTEST_SKIP() << "the scanner has no printer";
  ASSERT_EQ(Set(0, DB_ID_PRINTERINDEX, DB_BIN_MACHINE, 42), DB_STS_SUCCESS);
  ASSERT_EQ(Apply("sound.profile"), OS_STS_SUCCESS);
  EXPECT_EQ(Current(DB_ID_PRINTERINDEX, DB_BIN_MACHINE), 42);
  ASSERT_EQ(NewItem()->ResetToDatabaseResource(true), OS_STS_SUCCESS);
  EXPECT_NE(Current(DB_ID_PRINTERINDEX, DB_BIN_MACHINE), 42);
}

// ForceProfileResetAll (a driver value) set to 1: a profile starts the
// printer index from its default too. The indicators are read from the
// scanner, no profile capability: they stay either way.
TEST_F(DbProfileApplyTest, ForceProfileResetAllResetsThePrinterIndex) {
  if (!Usable(DB_ID_PRINTERINDEX, DB_BIN_MACHINE)) GTEST_SKIP() << "the scanner has no printer";
  ASSERT_TRUE(Usable(DB_ID_INDICATORS, DB_BIN_MACHINE));
  const long lIndicators = Current(DB_ID_INDICATORS, DB_BIN_MACHINE) == DB_ID_INDICATORS_ENUM_TRUE
                               ? DB_ID_INDICATORS_ENUM_FALSE
                               : DB_ID_INDICATORS_ENUM_TRUE;
  ASSERT_EQ(Set(0, DB_ID_INDICATORS, DB_BIN_MACHINE, lIndicators), DB_STS_SUCCESS);
  ASSERT_EQ(Set(0, DB_ID_PRINTERINDEX, DB_BIN_MACHINE, 42), DB_STS_SUCCESS);
  devtest::DriverConfig driverconfig;
  driverconfig.Set(*g_poscfg, DRV_CFGTAG_FORCEPROFILERESETALL, "1");
  ASSERT_FALSE(HasFatalFailure());
  ASSERT_EQ(Apply("sound.profile"), OS_STS_SUCCESS);
  EXPECT_EQ(Current(DB_ID_PRINTERINDEX, DB_BIN_MACHINE), Datum(DB_ID_PRINTERINDEX, DB_BIN_MACHINE)->GetDefaultLong());
  EXPECT_EQ(Current(DB_ID_INDICATORS, DB_BIN_MACHINE), lIndicators);
}

// (The sound's rule clears a value that names no file.)
TEST_F(DbProfileApplyTest, TheSoundIsAFileOfTheOwnSoundsDirectory) {
  ASSERT_TRUE(Usable(DB_ID_MULTIFEEDSOUND, DB_BIN_MACHINE));
  std::filesystem::create_directories(m_strOwn + "/sounds");
  testsupport::WriteFile(m_strOwn + "/sounds/bell.wav", "RIFF....WAVE");
  ASSERT_EQ(Apply("sound.profile"), OS_STS_SUCCESS);
  // The file is found there (the rule then copies it into the user's sound
  // directory, where the value points).
  const std::string strValue = Datum(DB_ID_MULTIFEEDSOUND, DB_BIN_MACHINE)->GetCurrentStringNoCallback();
  ASSERT_NE(m_pdatabase->ProfileGetUserProfileDirectory(), nullptr);
  EXPECT_EQ(strValue, std::string(m_pdatabase->ProfileGetUserProfileDirectory()) + "/sounds/bell.wav");
  EXPECT_EQ(testsupport::ReadFile(strValue), "RIFF....WAVE");
}

// Names that are no value element (windows beyond 10, signs, letters) are
// logged and skipped; a "d" without id and an unknown lexicon too; the
// rest applies.
TEST_F(DbProfileApplyTest, BadElementsAreSkipped) {
  ASSERT_EQ(Apply("badtags.profile"), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(Current(DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT), 9);
  for (const char* sz : {"fb11", "fbx", "fb-1", "q"})
    EXPECT_TRUE(m_plog->Contains(std::string("unrecognized tag...<") + sz + ">")) << sz;
  EXPECT_TRUE(m_plog->Contains("missing id..."));
  EXPECT_FALSE(m_plog->Contains("unrecognized tag...<m>"));
}

// A document that cannot be applied changes nothing: no value, no list, no
// pending profile change; the INI text is converted from a file of the log
// directory, never beside the document, and nothing is left behind.
TEST_F(DbProfileApplyTest, ADocumentThatCannotBeAppliedChangesNothing) {
  ASSERT_EQ(Set(0, DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT, 21), DB_STS_SUCCESS);
  const size_t sizetChanged = Walk(DB_NOTIFY_PROFILES).size();
  ASSERT_GT(sizetChanged, 0u);
  const char* szLog = g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY);
  ASSERT_TRUE(szLog && *szLog);
  std::filesystem::create_directories(szLog);
  const auto Entries = [](const std::string& a_str) {
    std::vector<std::string> vec;
    for (const auto& entry : std::filesystem::directory_iterator(a_str)) vec.push_back(entry.path().string());
    std::sort(vec.begin(), vec.end());
    return vec;
  };
  const std::vector<std::string> vecLog = Entries(szLog);
  const struct {
    const char* szDocument;
    const char* szLine;
  } acase[] = {{"nodatabase.profile", "database tag not found..."},
               {"otherroot.profile", "profile tag not found..."},
               {"badini.profile", "ConvertIni2Xml failed..."}};
  for (const auto& c : acase) {
    EXPECT_EQ(Apply(c.szDocument), OS_STS_FAIL) << c.szDocument;
    EXPECT_TRUE(m_plog->Contains(c.szLine)) << c.szDocument;
    EXPECT_EQ(Current(DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT), 21) << c.szDocument;
    EXPECT_EQ(Walk(DB_NOTIFY_PROFILES).size(), sizetChanged) << c.szDocument;
  }
  EXPECT_EQ(Entries(szLog), vecLog);
  EXPECT_EQ(Entries(m_strOwn), std::vector<std::string>{m_strOwn + "/applied.profile"});
  EXPECT_EQ(NewItem()->SetCurrent(nullptr, "profileall", (m_strOwn + "/missing").c_str(), 100, false), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Failed to open profile...<" + m_strOwn + "/missing>"));
}

// The private copy brings back values, previous and profile values, texts,
// the current and profile lists and the profile-change set.
TEST_F(DbProfileApplyTest, TheSnapshotPutsEverythingBack) {
  CDbDatum* pdbdatumContrast = Datum(DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT);
  CDbDatum* pdbdatumSound = Datum(DB_ID_MULTIFEEDSOUND, DB_BIN_MACHINE);
  CDbDatum* pdbdatumResolution = Datum(DB_ID_XRESOLUTION, DB_BIN_BITONAL_FRONT);
  ASSERT_EQ(Set(0, DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT, 5), DB_STS_SUCCESS);
  ASSERT_EQ(Set(0, DB_ID_CONTRAST, DB_BIN_BITONAL_FRONT, 6), DB_STS_SUCCESS);
  const long lProfile = pdbdatumContrast->GetProfileLong();
  const std::string strSound = pdbdatumSound->GetCurrentStringNoCallback();
  const long lItems = m_pdatabase->EnumGetCurrentItemCount(pdbdatumResolution);
  const size_t sizetChanged = Walk(DB_NOTIFY_PROFILES).size();
  dbprofile::Snapshot snapshot;
  ASSERT_TRUE(snapshot.Take(m_pdatabase.get()));
  pdbdatumContrast->CopyCurrentLong(30);
  pdbdatumContrast->SetProfileLong(30);
  pdbdatumSound->CopyCurrentString("x.wav");
  pdbdatumSound->UpdateProfilesString();
  m_pdatabase->EnumDeleteAllItems(pdbdatumResolution);
  m_pdatabase->NotifyResetProfiles();
  snapshot.PutBack();
  EXPECT_EQ(pdbdatumContrast->GetCurrentLongNoCallback(), 6);
  EXPECT_EQ(pdbdatumContrast->GetPreviousLong(), 5);
  EXPECT_EQ(pdbdatumContrast->GetProfileLong(), lProfile);
  EXPECT_EQ(strSound, pdbdatumSound->GetCurrentStringNoCallback());
  EXPECT_NE(std::string("x.wav"), pdbdatumSound->GetProfilesString());
  EXPECT_EQ(m_pdatabase->EnumGetCurrentItemCount(pdbdatumResolution), lItems);
  EXPECT_EQ(Walk(DB_NOTIFY_PROFILES).size(), sizetChanged);
}

}  // namespace
