// The set command on the database an opened simulated scanner leaves: value,
// list and range sets with their reports, access, the bins the camera and
// window types pick, the sides and images kept in step, the window-enabled
// list against a Python model of the window map and its rule, the value
// callbacks, and bad input. Whatever the path, the application's state bit
// is clear afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "db_cdblock.h"
#include "db_cdbdatum.h"
#include "drv_set_fixture.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

using DrvSetTest = drvtest::DrvSetFixture;

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------
// The reply reports the image format first, then everything the set
// changed; a get shows the new value.
TEST_F(DrvSetTest, EnumerationSetAnswersWithWhatChangedImageformatFirst) {
  const Reply reply = SetValue("units", "centimeters");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(ReportedIds(reply.strText), (std::vector<std::string>{"imageformat", "units"}));
  EXPECT_EQ(Reports(reply.strText),
            (std::vector<std::string>{"reportenum", "reportenumdefault", "reportenum", "reportenumdefault"}));
  EXPECT_EQ(All(reply.strText, "valuecurrent")[2], "centimeters");
  EXPECT_EQ(Current("units"), "centimeters");
  // The same value again is a change the application made: reported again.
  EXPECT_EQ(ReportedIds(SetValue("units", "centimeters").strText), (std::vector<std::string>{"imageformat", "units"}));
}

// A refused value leaves the capability as it was and comes with its
// report, so that the front end sees what it holds and allows.
TEST_F(DrvSetTest, RefusedValuesAnswerBadvalueWithTheCapabilitysReport) {
  CDbDatum* pdbdatum = Machine(DB_ID_CALIBRATIONDIRECTORY);
  ASSERT_NE(pdbdatum, nullptr);
  const std::string strTooLong(m_pdatabase->StringGetMaxLength(pdbdatum) + 1, 'd');
  const struct {
    const char* szId;
    std::string strValue;
    const char* szReport;
  } acase[] = {
      {"units", "furlongs", "reportenum"},
      {"units", "Inches", "reportenum"},
      {"powerofftimeout", "241", "reportrange"},
      {"powerofftimeout", "-1", "reportrange"},
      {"powerofftimeout", "4294967296", "reportrange"},
      {"calibrationdirectory", strTooLong, "reportstring"},
  };
  const std::vector<std::string> vecstrValues = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szId + (" " + c.strValue.substr(0, 20)));
    const std::string strBefore = Current(c.szId);
    const Reply reply = SetValue(c.szId, c.strValue);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "badvalue");
    EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{c.szReport, std::string(c.szReport) + "default"}));
    EXPECT_EQ(All(reply.strText, "id"), (std::vector<std::string>{c.szId, c.szId}));
    EXPECT_EQ(Current(c.szId), strBefore);
  }
  EXPECT_EQ(Values(), vecstrValues);
  EXPECT_TRUE(m_plog->Contains("number beyond 32 bits...<4294967296>"));
  ASSERT_EQ(SetValue("calibrationdirectory", "/var/cal").strStatus, "success");
  EXPECT_EQ(Current("calibrationdirectory"), "/var/cal");
}

// Disabled answers "notavailable", hidden and read-only "readonly"; the
// writable accesses set. No refusal reports anything.
TEST_F(DrvSetTest, AccessDecidesTheAnswer) {
  const struct {
    EDBACCESS edbaccess;
    const char* szStatus;
  } acase[] = {
      {DB_ACCESS_DISABLED, "notavailable"},       {DB_ACCESS_HIDDEN, "readonly"},
      {DB_ACCESS_READONLY, "readonly"},           {DB_ACCESS_READONLYHIDDEN, "readonly"},
      {DB_ACCESS_READWRITE, "success"},           {DB_ACCESS_READWRITEDISABLED, "success"},
      {DB_ACCESS_READWRITEHIDDEN, "success"},
  };
  CDbDatum* pdbdatum = Machine(DB_ID_UNITS);
  const char* aszValue[] = {"pixels", "inches"};
  int iValue = 0;
  for (const auto& c : acase) {
    SCOPED_TRACE(c.edbaccess);
    m_pdatabase->SetAccess(pdbdatum, c.edbaccess);
    const long lBefore = pdbdatum->GetCurrentLongNoCallback();
    const Reply reply = SetValue("units", aszValue[iValue % 2]);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, c.szStatus);
    if (reply.strStatus == "success") {
      EXPECT_NE(pdbdatum->GetCurrentLongNoCallback(), lBefore);
      ++iValue;
    } else {
      EXPECT_TRUE(Reports(reply.strText).empty()) << reply.strText;
      EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), lBefore);
    }
  }
  m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
  EXPECT_TRUE(m_plog->Contains("Access disabled 1"));
  EXPECT_TRUE(m_plog->Contains("Invalid Access 2"));
}

// Ids that name no settable capability answer "fail" alone.
TEST_F(DrvSetTest, IdsThatNameNoCapabilityAnswerFail) {
  const std::vector<std::string> vecstrValues = Values();
  for (const char* szId : {"outputimagecount", "nosuchcapability", "", "UNITS", "imagecroppingregion"}) {
    SCOPED_TRACE(szId);
    const Reply reply = SetValue(szId, "1");
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "fail");
    EXPECT_TRUE(Reports(reply.strText).empty());
  }
  EXPECT_TRUE(m_plog->Contains("outputimagecount cannot be set..."));
  EXPECT_EQ(Values(), vecstrValues);
}

// Numbers read as an ascii-to-integer conversion reads them, but a number
// beyond 32 bits is refused instead of wrapping.
TEST_F(DrvSetTest, NumbersAreReadWithinThirtyTwoBits) {
  const struct {
    const char* szText;
    const char* szStatus;
    long lValue;
  } acase[] = {
      {"30", "success", 30},           {" 42", "success", 42},           {"+17", "success", 17},
      {"25abc", "success", 25},        {"abc", "success", 0},            {"", "success", 0},
      {"2147483648", "badvalue", 0},   {"-2147483649", "badvalue", 0},   {"99999999999999999999", "badvalue", 0},
      {"4294967326", "badvalue", 0},
  };
  CDbDatum* pdbdatum = Machine(DB_ID_POWEROFFTIMEOUT);
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szText);
    ASSERT_EQ(SetValue("powerofftimeout", "60").strStatus, "success");
    EXPECT_EQ(SetValue("powerofftimeout", c.szText).strStatus, c.szStatus);
    EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), c.szStatus == std::string("success") ? c.lValue : 60);
  }
}

// A range set moves the value and the current bounds together.
TEST_F(DrvSetTest, RangeSetShowsInTheRangeReport) {
  Reply reply = SetValue("powerofftimeout", "20", Range("10", "100", "5"));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(ReportedIds(reply.strText), (std::vector<std::string>{"imageformat", "powerofftimeout"}));
  const std::string strPair = reply.strText.substr(reply.strText.find("<reportrange>"));
  EXPECT_EQ(All(strPair, "rangemin"), (std::vector<std::string>{"10", "0"}));
  EXPECT_EQ(All(strPair, "rangemax"), (std::vector<std::string>{"100", "240"}));
  EXPECT_EQ(All(strPair, "rangestep"), (std::vector<std::string>{"5", "1"}));
  reply = Get("powerofftimeout");
  EXPECT_EQ(All(reply.strText, "valuecurrent")[0], "20");
  EXPECT_EQ(All(reply.strText, "rangemin")[0], "10");

  // Refused: non-numeric bounds read 0 and cannot hold the value; bounds
  // beyond 32 bits; an incomplete range; a range for an enumeration.
  const struct {
    std::string strBody;
    const char* szStatus;
    const char* szLog;
  } acase[] = {
      {Body("powerofftimeout", "30", Range("abc", "x", "y")), "badvalue", nullptr},
      {Body("powerofftimeout", "30", Range("10", "4294967296", "1")), "badvalue", "number beyond 32 bits..."},
      {Body("powerofftimeout", "30", "<range><rangemin>1</rangemin><rangemax>9</rangemax></range>"), "badvalue",
       "Missing argument(s) <rangemin>, <rangemax> or <rangestep> for <range> subcommand"},
      {Body("units", "inches", Range("1", "3", "1")), "fail", "Wrong container...2"},
      {Body("powerofftimeout", "30", Range("1", "90", "1") + Enum({"x"})), "badvalue", "Unrecognized lexicon enum x"},
  };
  const std::vector<std::string> vecstrValues = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strBody);
    reply = Set(c.strBody);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, c.szStatus);
    if (c.szLog) {
      EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    }
    EXPECT_EQ(All(Get("powerofftimeout").strText, "rangemax")[0], "100");
  }
  EXPECT_EQ(Values(), vecstrValues);
}

// ---------------------------------------------------------------------------
// Enumeration lists
// ---------------------------------------------------------------------------
TEST_F(DrvSetTest, EnumerationListReplacement) {
  Reply reply = SetValue("units", "centimeters", Enum({"centimeters", "inches"}));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(CurrentList("units"), (std::vector<std::string>{"centimeters", "inches"}));
  EXPECT_EQ(Current("units"), "centimeters");
  ASSERT_EQ(SetValue("units", "inches", Enum({"inches", "centimeters", "pixels"})).strStatus, "success");

  // An entry outside the allowed list refuses the list, which stays.
  CDbDatum* pdbdatum = Machine(DB_ID_UNITS);
  ASSERT_EQ(m_pdatabase->EnumDeleteDefaultItem(pdbdatum, DB_ID_UNITS_ENUM_PIXELS), DB_STS_SUCCESS);
  reply = SetValue("units", "inches", Enum({"inches", "pixels"}));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "badvalue");
  EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{"reportenum", "reportenumdefault"}));
  EXPECT_TRUE(m_plog->Contains("App asked to add unsupported enum..." + std::to_string(DB_ID_UNITS_ENUM_PIXELS)));
  EXPECT_EQ(CurrentList("units"), (std::vector<std::string>{"inches", "centimeters", "pixels"}));
  m_pdatabase->EnumAddDefaultItem(pdbdatum, DB_ID_UNITS_ENUM_PIXELS);

  // A value the new list lacks, or no entry at all: the list and the value
  // it replaced are put back, and the value's refusal is the answer.
  ASSERT_EQ(SetValue("units", "pixels").strStatus, "success");
  for (const char* szValue : {"inches2", "centimeters"}) {
    SCOPED_TRACE(szValue);
    reply = SetValue("units", szValue, Enum({"inches"}));
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "badvalue");
    EXPECT_EQ(CurrentList("units"), (std::vector<std::string>{"inches", "centimeters", "pixels"}));
    EXPECT_EQ(Current("units"), "pixels");
  }
  EXPECT_TRUE(m_plog->Contains("restoring the enumeration list of UNITS..."));
}

TEST_F(DrvSetTest, EnumerationListBadInput) {
  std::vector<std::string> vec96(96, "inches");
  std::vector<std::string> vec97(97, "inches");
  const struct {
    std::string strBody;
    const char* szStatus;
    const char* szLog;
  } acase[] = {
      {Body("units", "inches", Enum(vec97)), "badvalue", "Array overflow for the enumeration 96..."},
      {"<valuecurrent>inches</valuecurrent>" + Enum({"inches"}) + "<id>units</id>", "badvalue",
       "Unrecognized lexicon Id ..."},
      {Body("units", "inches", Enum({"furlongs"})), "badvalue", "Unrecognized lexicon enum furlongs for units..."},
      {Body("units", "inches", "<enum></enum>"), "badvalue", "The <value> argument is required for <enum> subcommand"},
      {Body("nosuchcapability", "x", Enum({"inches"})), "badvalue", "Unrecognized lexicon Id nosuchcapability..."},
  };
  const std::vector<std::string> vecstrValues = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strBody.substr(0, 80));
    const Reply reply = Set(c.strBody);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, c.szStatus);
    EXPECT_TRUE(Reports(reply.strText).empty());
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_EQ(CurrentList("units"), (std::vector<std::string>{"inches", "centimeters", "pixels"}));
  }
  EXPECT_EQ(Values(), vecstrValues);
  // Ninety-six fit: the same entry each time makes a list of one.
  EXPECT_EQ(SetValue("units", "inches", Enum(vec96)).strStatus, "success");
  EXPECT_EQ(CurrentList("units"), std::vector<std::string>{"inches"});
}

// ---------------------------------------------------------------------------
// Bad input of any set
// ---------------------------------------------------------------------------
// Texts never get cut to fit their fields: a cut id or value could name
// something else.
TEST_F(DrvSetTest, TextsLongerThanTheirFieldsAreRefused) {
  const std::string strLong(1024, 'u');
  const struct {
    std::string strBody;
    const char* szElement;
  } acase[] = {
      {Body(strLong, "inches"), "id"},
      {Body("calibrationdirectory", strLong), "valuecurrent"},
      {Body("units", "inches", "<cameratype>" + strLong + "</cameratype>"), "cameratype"},
      {Body("units", "inches", "<windowtype>" + strLong + "</windowtype>"), "windowtype"},
  };
  const std::vector<std::string> vecstrValues = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szElement);
    const Reply reply = Set(c.strBody);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "badvalue");
    EXPECT_TRUE(m_plog->Contains(std::string("text too long for <") + c.szElement + ">"));
  }
  EXPECT_EQ(Values(), vecstrValues);
  // One character less fits the field; the capability then judges it.
  EXPECT_EQ(SetValue("calibrationdirectory", strLong.substr(1)).strStatus, "badvalue");
}

// Unknown elements are passed over and the order of the elements does not
// matter but for an enumeration's values; a set without work answers "fail".
TEST_F(DrvSetTest, ElementsOutsideTheGrammarAndOtherSetTypes) {
  EXPECT_EQ(Set("<id>units</id><bogus>1</bogus><note><id>x</id></note><valuecurrent>pixels</valuecurrent>").strStatus,
            "success");
  EXPECT_EQ(Current("units"), "pixels");
  EXPECT_EQ(Set("<valuecurrent>inches</valuecurrent><id>units</id>").strStatus, "success");
  EXPECT_EQ(Current("units"), "inches");
  const std::vector<std::string> vecstrValues = Values();
  for (const std::string& strBody : {std::string(), std::string("<id>units</id>"),
                                     std::string("<valuecurrent>inches</valuecurrent>"),
                                     Body("units", "pixels", Enum({"pixels"}) + Range("1", "2", "1")),
                                     Body("units", "pixels", "<list><value>frontcolor_00</value></list>")}) {
    SCOPED_TRACE(strBody);
    const Reply reply = Set(strBody);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "fail");
  }
  EXPECT_TRUE(m_plog->Contains("Unrecognized edriversettype 0..."));
  EXPECT_TRUE(m_plog->Contains("Unrecognized edriversettype 15..."));
  EXPECT_TRUE(m_plog->Contains("Unrecognized edriversettype 131..."));
  EXPECT_EQ(Values(), vecstrValues);
}

// ---------------------------------------------------------------------------
// Bins, sides and images
// ---------------------------------------------------------------------------
// The picked bins change, the others keep their value. Without a bin the
// current window-bin's capability (front bitonal) is set and copied to the
// linked side and images. While the sides are kept alike a rear pick sets
// the front, and the picked bins copy from it.
TEST_F(DrvSetTest, CameraAndWindowTypesPickTheBins) {
  const struct {
    const char* szCamera;
    const char* szWindow;
    std::vector<EDBBIN> vecedbbin;
    const char* szAlike;      // imagedeskew of bins 2 to 5 after the set, sides alike
    const char* szDifferent;  // and sides different
  } acase[] = {
      {"frontrear", "all", {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR, DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR},
       "1111", "1111"},
      {"frontrear", "color", {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}, "2211", "2211"},
      {"frontrear", "bitonal", {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}, "1122", "1122"},
      {"front", "all", {DB_BIN_COLOR_FRONT, DB_BIN_BITONAL_FRONT}, "1212", "1212"},
      {"front", "color", {DB_BIN_COLOR_FRONT}, "2212", "2212"},
      {"front", "bitonal", {DB_BIN_BITONAL_FRONT}, "1222", "1222"},
      {"rear", "all", {DB_BIN_COLOR_REAR, DB_BIN_BITONAL_REAR}, "2111", "2121"},
      {"rear", "color", {DB_BIN_COLOR_REAR}, "2211", "2221"},
      {"rear", "bitonal", {DB_BIN_BITONAL_REAR}, "1122", "2122"},
      {"FRONT", "all", {}, "1111", "1212"},
      {"front", "Color", {}, "1111", "1212"},
      {"front", "", {}, "1111", "1212"},
      {"", "all", {}, "1111", "1212"},
      {"frontrear ", "all", {}, "1111", "1212"},
  };
  for (const char* szSides : {"false", "true"}) {
    ASSERT_EQ(SetValue("sidesdifferent", szSides).strStatus, "success");
    for (const auto& c : acase) {
      SCOPED_TRACE(std::string(c.szCamera) + "/" + c.szWindow + " sidesdifferent " + szSides);
      EDBBIN aedbbin[4] = {};
      const long lBins = CDrvProcessCommands::GetDriverSetBin(c.szCamera, c.szWindow, aedbbin);
      EXPECT_EQ(std::vector<EDBBIN>(aedbbin, aedbbin + lBins), c.vecedbbin);
      ASSERT_EQ(SetValue("imagedeskew", "true", "<cameratype>frontrear</cameratype><windowtype>all</windowtype>")
                    .strStatus,
                "success");
      ASSERT_EQ(Deskew(), "2222");
      const Reply reply = SetValue("imagedeskew", "false",
                                   std::string("<cameratype>") + c.szCamera + "</cameratype><windowtype>" +
                                       c.szWindow + "</windowtype>");
      EXPECT_EQ(reply.strStatus, "success");
      EXPECT_EQ(Deskew(), szSides == std::string("false") ? c.szAlike : c.szDifferent);
    }
  }
  EXPECT_EQ(CDrvProcessCommands::GetDriverSetBin(nullptr, "all", nullptr), 0);
}

// While the sides are kept alike the front leads: a set on the rear sets the
// front (its access decides) and copies it to the rear.
TEST_F(DrvSetTest, RearSetWithSidesAlikeGoesThroughTheFront) {
  ASSERT_EQ(Current("sidesdifferent"), "false");
  SelectBin(DB_BIN_BITONAL_REAR);
  Reply reply = SetValue("imagedeskew", "false");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Current("imagedeskew"), "false");
  EXPECT_EQ(Deskew(), "1111");

  CDbDatum* pdbdatumFront = m_pdatabase->FindDirect(DB_BIN_BITONAL_FRONT, DB_ID_AUTOMATICDESKEW);
  m_pdatabase->SetAccess(pdbdatumFront, DB_ACCESS_READONLY);
  EXPECT_EQ(SetValue("imagedeskew", "true").strStatus, "readonly");
  EXPECT_EQ(Deskew(), "1111");

  // Sides that may differ: the rear alone, and the colour rear with it while
  // the images are alike.
  ASSERT_EQ(SetValue("sidesdifferent", "true").strStatus, "success");
  EXPECT_EQ(SetValue("imagedeskew", "true").strStatus, "success");
  EXPECT_EQ(Deskew(), "1212");
  m_pdatabase->SetAccess(pdbdatumFront, DB_ACCESS_READWRITE);

  // Making the sides alike again copies the front to the rear.
  reply = SetValue("sidesdifferent", "false");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Deskew(), "1111");
  EXPECT_EQ(Current("imagedeskew"), "false");
}

// The sides' switches are the user's with a white or black fill.
TEST_F(DrvSetTest, EdgeFillAllSizeIsEdgeFillAllSides) {
  ASSERT_EQ(SetValue("edgefill", "white").strStatus, "success");
  ASSERT_EQ(Current("edgefillallsides"), "true");
  const Reply reply = SetValue("edgefillallsize", "false");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  const std::vector<std::string> vecstrIds = ReportedIds(reply.strText);
  ASSERT_GE(vecstrIds.size(), 2u);
  EXPECT_EQ(vecstrIds[1], "edgefillallsides");
  EXPECT_EQ(Current("edgefillallsides"), "false");
}

// ---------------------------------------------------------------------------
// The window-enabled list, judged by the Python model
// ---------------------------------------------------------------------------
class DrvSetWindowListTest : public DrvSetTest {
 protected:
  // The list set, its reply, and the model's verdict on the status and on
  // the whole state after it: the model's output (its window-bins on and
  // sidesdifferent first).
  std::string Judged(const std::vector<std::string>& a_vecTags, Reply* a_preply) {
    const std::string strBefore = testsupport::RootPath("before.txt");
    const std::string strAfter = testsupport::RootPath("after.txt");
    testsupport::WriteFile(strBefore, ruleslisting::State(*m_pdatabase));
    testsupport::WriteFile(m_strConfig, ruleslisting::Config(*m_pdatabase));
    testsupport::WriteFile(m_strLookup, ruleslisting::Lookup(*m_pdatabase));
    *a_preply = Set(List(a_vecTags));
    ExpectSound(*a_preply);
    testsupport::WriteFile(strAfter, ruleslisting::State(*m_pdatabase));
    std::vector<std::string> vecArgument = {SCANDRV_PYTHON, drvtest::SourceDir() + "/tests/drv/set_windowlist_model.py",
                                            strBefore, m_strConfig, m_strLookup, strAfter, a_preply->strStatus};
    vecArgument.insert(vecArgument.end(), a_vecTags.begin(), a_vecTags.end());
    int iStatus = -1;
    const std::string strOutput = testsupport::RunProgram(vecArgument, &iStatus);
    EXPECT_EQ(iStatus, 0) << strOutput;
    return strOutput;
  }
  // The window-bins of the windows in use whose camera is on, in
  // window-bin order.
  std::vector<std::string> On() {
    std::vector<std::string> vec;
    DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(DB_ID_WINDOWBIN);
    for (EDBID_WINDOWBIN edbidwindowbin = 0; edbidwindowbin < 4 * m_pdatabase->GetWindowMax(); ++edbidwindowbin) {
      CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(edbidwindowbin / 4,
                                                        static_cast<EDBBIN>(edbidwindowbin % 4 + 2), DB_ID_CAMERAENABLE);
      if (pdbdatum->GetAccess() != DB_ACCESS_NOTSUPPORTED &&
          pdbdatum->GetCurrentLongNoCallback() == DB_ID_CAMERAENABLE_ENUM_TRUE)
        vec.emplace_back(m_pdatabase->LookupDbEnum(pdblookup2, edbidwindowbin)->szLexiconEnum);
    }
    return vec;
  }
};

// One window-bin on among the 44 of the windows in use; front and rear then
// differ, so the sides become different.
TEST_F(DrvSetWindowListTest, FrontColourOnlyEnablesThatWindowBin) {
  Reply reply;
  const std::string strOutput = Judged({"frontcolor_00"}, &reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_NE(strOutput.find("on frontcolor_00\nsidesdifferent 2\n"), std::string::npos) << strOutput;
  EXPECT_EQ(On(), std::vector<std::string>{"frontcolor_00"});
  EXPECT_EQ(Current("sidesdifferent"), "true");
  // The reply reports the cameras that changed, the sides with them.
  const std::vector<std::string> vecIds = ReportedIds(reply.strText);
  EXPECT_EQ(vecIds[0], "imageformat");
  EXPECT_NE(std::find(vecIds.begin(), vecIds.end(), "windowenabled"), vecIds.end());
  EXPECT_NE(std::find(vecIds.begin(), vecIds.end(), "sidesdifferent"), vecIds.end());
}

// A refused tag changes nothing; a camera the rules refuse to switch
// (window 0 without a camera) ends the list there, the cameras switched
// before it staying switched, as the model has it.
TEST_F(DrvSetWindowListTest, ListsTheModelJudges) {
  const struct {
    long lWindows;
    std::vector<std::string> vecTags;
    const char* szStatus;
    std::vector<std::string> vecOn;  // for success
  } acase[] = {
      {11, {"frontcolor_00", "rearcolor_00"}, "success", {"frontcolor_00", "rearcolor_00"}},
      {3, {"rearbitonal_02", "frontbitonal_01", "frontbitonal_00"}, "success",
       {"frontbitonal_00", "frontbitonal_01", "rearbitonal_02"}},
      {3, {"frontcolor_00", "frontcolor_05"}, "fail", {}},
      {1, {"frontcolor_01"}, "fail", {}},
      {11, {"frontcolor_10", "frontcolor_10", "rearcolor_09", "rearbitonal_00"}, "success",
       {"rearbitonal_00", "rearcolor_09", "frontcolor_10"}},
      {11, {"frontcolor_10", "rearcolor_09"}, "badvalue", {}},
      {11, {"frontbitonal_00", "rearbitonal_00", "frontcolor_00", "rearcolor_00"}, "success",
       {"frontbitonal_00", "rearbitonal_00", "frontcolor_00", "rearcolor_00"}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.vecTags[0] + " windows " + std::to_string(c.lWindows));
    ASSERT_EQ(SetValue("sidesdifferent", "false").strStatus, "success");
    CDbDatum::SetWindowMax(c.lWindows);
    const std::vector<std::string> vecBefore = On();
    Reply reply;
    Judged(c.vecTags, &reply);
    EXPECT_EQ(reply.strStatus, c.szStatus);
    if (reply.strStatus != "badvalue") {
      EXPECT_EQ(On(), c.szStatus == std::string("success") ? c.vecOn : vecBefore);
    }
    CDbDatum::SetWindowMax(11);
  }
  EXPECT_TRUE(m_plog->Contains("unsupported windowtag...1 frontcolor_05"));
  EXPECT_TRUE(m_plog->Contains("unsupported windowtag...0 frontcolor_01"));
  EXPECT_TRUE(m_plog->Contains("window 0 would have no camera on, refused"));
}

// A camera the scanner lacks cannot be listed; it is left alone when the
// others go off.
TEST_F(DrvSetWindowListTest, CamerasTheScannerLacks) {
  m_pdatabase->SetAccess(m_pdatabase->FindDirect(DB_BIN_COLOR_REAR, DB_ID_CAMERAENABLE), DB_ACCESS_NOTSUPPORTED);
  Reply reply;
  Judged({"rearcolor_00"}, &reply);
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("unsupported windowtag...0 rearcolor_00"));
  Judged({"frontcolor_00", "rearbitonal_00"}, &reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(On(), (std::vector<std::string>{"rearbitonal_00", "frontcolor_00"}));
}

TEST_F(DrvSetWindowListTest, BadLists) {
  const struct {
    std::string strBody;
    const char* szStatus;
    const char* szLog;
  } acase[] = {
      {List({"frontcolor_00", "bogus"}), "fail", "pdblookupenum is null for bogus"},
      {List({"frontcolor_11"}), "fail", "pdblookupenum is null for frontcolor_11"},
      {List(std::vector<std::string>(97, "frontcolor_00")), "badvalue", "Array overflow for the list 96..."},
      {"<id>windowenabledlist</id><list></list>", "fail", "The <value> argument is required for <list> subcommand"},
      {"<id>windowenabled</id><list><value>frontcolor_00</value></list>", "fail", "Unrecognized id windowenabled..."},
  };
  const std::vector<std::string> vecBefore = On();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szLog);
    const Reply reply = Set(c.strBody);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, c.szStatus);
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(On(), vecBefore);
  }
  EXPECT_EQ(Set(List(std::vector<std::string>(96, "frontcolor_00"))).strStatus, "success");
  EXPECT_EQ(On(), std::vector<std::string>{"frontcolor_00"});
}

// ---------------------------------------------------------------------------
// Value callbacks
// ---------------------------------------------------------------------------
// A value the scanner keeps is written through its callback (the device
// engine's sends it to the scanner), on the task's thread under the
// database lock.
struct CallbackProbe {
  std::vector<long> veclValues;
  std::vector<int> veciDepth;
  static EOSSTS Record(void* a_pvRecord) {
    auto* pdbcallbackrecord = static_cast<DbCallbackRecord*>(a_pvRecord);
    auto* pprobe = static_cast<CallbackProbe*>(pdbcallbackrecord->pvUser);
    pprobe->veclValues.push_back(pdbcallbackrecord->pdbdatum->GetCurrentLongNoCallback());
    pprobe->veciDepth.push_back(CDbLock::Depth());
    return OS_STS_SUCCESS;
  }
};

TEST_F(DrvSetTest, AScannerValueRunsItsWriteCallbackUnderTheLock) {
  CallbackProbe probe;
  ASSERT_EQ(m_pdatabase->RegisterCallback(DB_CALLBACK_SETLONG, DB_ID_POWEROFFTIMEOUT, DB_BIN_MACHINE,
                                          &CallbackProbe::Record, &probe),
            OS_STS_SUCCESS);
  EXPECT_EQ(SetValue("powerofftimeout", "30").strStatus, "success");
  EXPECT_EQ(SetValue("powerofftimeout", "241").strStatus, "badvalue");
  EXPECT_EQ(probe.veclValues, std::vector<long>{30});
  // A setmany writes it and, failing, writes it back.
  EXPECT_EQ(Run(Task("<setmany><set>" + Body("powerofftimeout", "45") + "</set><set>" + Body("units", "furlongs") +
                     "</set></setmany>"))
                .strStatus,
            "badvalue");
  // Putting the remembered profile back may write the value once more on
  // the way; the last write is the value from before the setmany.
  ASSERT_GE(probe.veclValues.size(), 3u) << ::testing::PrintToString(probe.veclValues);
  EXPECT_EQ(probe.veclValues[1], 45);
  EXPECT_EQ(probe.veclValues.back(), 30) << ::testing::PrintToString(probe.veclValues);
  for (int iDepth : probe.veciDepth) EXPECT_GT(iDepth, 0);
  m_pdatabase->RegisterCallback(DB_CALLBACK_SETLONG, DB_ID_POWEROFFTIMEOUT, DB_BIN_MACHINE, nullptr, nullptr);
}

}  // namespace
