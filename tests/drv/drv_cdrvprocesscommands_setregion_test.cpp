// The region set on an opened simulated scanner: the image cropping region
// judged against the frame model the database tests use
// (tests/data/db/frame_oracle.py), with the ranges of its fields, in the
// bins the camera and window types pick; the barcode search region; the
// gathering's refusals; and region sets inside a setmany.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "drv_set_fixture.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

const EDBID s_aedbidFrame[] = {DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT,
                               DB_ID_IMAGESKEWANGLE};
const EDBID s_aedbidBarcode[] = {DB_ID_BARCODESEARCHREGIONOFFSETX, DB_ID_BARCODESEARCHREGIONOFFSETY,
                                 DB_ID_BARCODESEARCHREGIONWIDTH, DB_ID_BARCODESEARCHREGIONHEIGHT};
const char* const s_aszField[] = {"imageoffsetx", "imageoffsety", "imagewidth", "imageheight", "imageskewangle"};

struct Bounds {
  std::string strMin, strMax, strStep;
};

// Reads "x y w h angle minw minh maxw maxh" lines and answers 1 or 0 per
// line, as the frame model judges the frame.
const char s_szFrameJudge[] = R"(
import sys
sys.path.insert(0, sys.argv[1])
import frame_oracle
for line in sys.stdin:
    v = [int(t) for t in line.split()]
    if v:
        print(int(frame_oracle.valid(*v)))
)";

class DrvSetRegionTest : public drvtest::DrvSetFixture {
 protected:
  // A region of the five field texts, each followed by its range when given.
  static std::string Region(const std::vector<std::string>& a_vecFields, const std::vector<Bounds>& a_vecRanges = {}) {
    std::string str = "<region>";
    for (size_t sizet = 0; sizet < a_vecFields.size(); ++sizet) {
      str += "<" + std::string(s_aszField[sizet]) + ">" + a_vecFields[sizet] + "</" + s_aszField[sizet] + ">";
      if (sizet < a_vecRanges.size())
        str += Range(a_vecRanges[sizet].strMin, a_vecRanges[sizet].strMax, a_vecRanges[sizet].strStep);
    }
    return str + "</region>";
  }
  static std::string Cropping(const std::vector<std::string>& a_vecFields, const std::vector<Bounds>& a_vecRanges = {},
                              const std::string& a_strMore = "") {
    return "<id>imagecroppingregion</id>" + a_strMore + Region(a_vecFields, a_vecRanges);
  }
  // The frame model's verdict on each frame (x y w h angle) within limits
  // (minw minh maxw maxh).
  static std::vector<bool> Judge(const std::vector<std::vector<long>>& a_vecFrames) {
    std::string strInput;
    for (const auto& vec : a_vecFrames) {
      for (long l : vec) strInput += std::to_string(l) + " ";
      strInput += "\n";
    }
    int iStatus = -1;
    const std::string strOutput =
        testsupport::RunPython(s_szFrameJudge, {std::string(SCANDRV_TEST_DATA) + "/db"}, &iStatus, strInput);
    EXPECT_EQ(iStatus, 0) << strOutput;
    std::vector<bool> vec;
    std::istringstream iss(strOutput);
    for (int i; iss >> i;) vec.push_back(i != 0);
    EXPECT_EQ(vec.size(), a_vecFrames.size());
    return vec;
  }
  // A region's current values in a bin.
  std::vector<long> RegionIn(EDBBIN a_edbbin, const EDBID* a_aedbid = s_aedbidFrame, size_t a_sizetFields = 5) {
    std::vector<long> vec;
    for (size_t sizet = 0; sizet < a_sizetFields; ++sizet) vec.push_back(Value(a_edbbin, a_aedbid[sizet]));
    return vec;
  }
  // A capability's current range in a bin as "min max step".
  std::string RangeIn(EDBBIN a_edbbin, EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(a_edbbin, a_edbid);
    return std::to_string(m_pdatabase->RangeGetCurrentMin(pdbdatum)) + " " +
           std::to_string(m_pdatabase->RangeGetCurrentMax(pdbdatum)) + " " +
           std::to_string(m_pdatabase->RangeGetCurrentStep(pdbdatum));
  }
  // The region report's current field values, in report order.
  static std::vector<std::string> ReportedFields(const std::string& a_strReply) {
    const size_t sizetStart = a_strReply.find("<reportregion>");
    const std::string strCurrent = a_strReply.substr(sizetStart, a_strReply.find("</reportregion>") - sizetStart);
    std::vector<std::string> vec;
    for (const char* szField : s_aszField) {
      const std::vector<std::string> vecField = All(strCurrent, szField);
      if (!vecField.empty()) vec.push_back(vecField[0]);
    }
    return vec;
  }
  void SetAccessInCameras(EDBID a_edbid, EDBACCESS a_edbaccess) {
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR})
      m_pdatabase->SetAccess(m_pdatabase->FindDirect(edbbin, a_edbid), a_edbaccess);
  }
};

// ---------------------------------------------------------------------------
// The image cropping region
// ---------------------------------------------------------------------------
// Whatever the frame model accepts within the bin's current width and height
// limits is set, in the current bin and its other side; the rest answers
// "badvalue" and changes nothing.
TEST_F(DrvSetRegionTest, CroppingFramesAsTheFrameModelJudgesThem) {
  ASSERT_EQ(m_pdatabase->GetWindowBin(), 0);  // front bitonal: its other side is bin 3
  CDbDatum* pdbdatumWidth = m_pdatabase->FindDirect(DB_BIN_BITONAL_FRONT, DB_ID_FRAMEWIDTH);
  CDbDatum* pdbdatumHeight = m_pdatabase->FindDirect(DB_BIN_BITONAL_FRONT, DB_ID_FRAMEHEIGHT);
  const std::vector<long> vecLimits = {
      m_pdatabase->RangeGetCurrentMin(pdbdatumWidth), m_pdatabase->RangeGetCurrentMin(pdbdatumHeight),
      m_pdatabase->RangeGetCurrentMax(pdbdatumWidth), m_pdatabase->RangeGetCurrentMax(pdbdatumHeight)};
  ASSERT_EQ(vecLimits, (std::vector<long>{1200, 1200, 10200, 16800}));
  // Field texts, and the numbers they read as.
  const struct {
    std::vector<std::string> vecText;
    std::vector<long> vecFrame;
  } acase[] = {
      {{"0", "0", "2400", "3000", "0"}, {0, 0, 2400, 3000, 0}},
      {{"600", "1200", "10200", "13200", "0"}, {600, 1200, 10200, 13200, 0}},
      {{"0", "0", "10200", "16800", "0"}, {0, 0, 10200, 16800, 0}},
      {{"12", "0", "10200", "16800", "0"}, {12, 0, 10200, 16800, 0}},
      {{"0", "0", "10212", "3000", "0"}, {0, 0, 10212, 3000, 0}},
      {{"0", "0", "1188", "3000", "0"}, {0, 0, 1188, 3000, 0}},
      {{"0", "0", "2400", "1188", "0"}, {0, 0, 2400, 1188, 0}},
      {{"-12", "0", "2400", "3000", "0"}, {-12, 0, 2400, 3000, 0}},
      {{"1200", "1200", "4956", "7000", "50000"}, {1200, 1200, 4956, 7000, 50000}},
      {{"600", "1200", "4956", "7000", "450000"}, {600, 1200, 4956, 7000, 450000}},
      {{"6000", "600", "4956", "7000", "450000"}, {6000, 600, 4956, 7000, 450000}},
      {{"4800", "6000", "4956", "7000", "-123456"}, {4800, 6000, 4956, 7000, -123456}},
      {{"9000", "9000", "1200", "1200", "1800000"}, {9000, 9000, 1200, 1200, 1800000}},
      {{"0", "0", "2400", "3000", "3600001"}, {0, 0, 2400, 3000, 3600001}},
      // Text reads as a plain ascii-to-integer conversion reads it.
      {{" 600", "+1200", "2400abc", "3000", "x"}, {600, 1200, 2400, 3000, 0}},
      {{"abc", "0", "2400", "3000", "0"}, {0, 0, 2400, 3000, 0}},
      {{"0", "0", "abc", "3000", "0"}, {0, 0, 0, 3000, 0}},
  };
  std::vector<std::vector<long>> vecFrames;
  for (const auto& c : acase) {
    std::vector<long> vec = c.vecFrame;
    vec.insert(vec.end(), vecLimits.begin(), vecLimits.end());
    vecFrames.push_back(vec);
  }
  const std::vector<bool> vecValid = Judge(vecFrames);
  ASSERT_EQ(vecValid.size(), std::size(acase));
  int iValid = 0;
  for (size_t sizet = 0; sizet < std::size(acase); ++sizet) {
    const auto& c = acase[sizet];
    SCOPED_TRACE(c.vecText[0] + " " + c.vecText[1] + " " + c.vecText[2] + " " + c.vecText[3] + " " + c.vecText[4]);
    ASSERT_EQ(Set(Cropping({"0", "0", "1200", "1200", "0"})).strStatus, "success");
    const std::vector<std::string> vecBefore = Values();
    const Reply reply = Set(Cropping(c.vecText));
    ExpectSound(reply);
    if (vecValid[sizet]) {
      ++iValid;
      EXPECT_EQ(reply.strStatus, "success");
      EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{"reportregion", "reportregiondefault"}));
      EXPECT_EQ(All(reply.strText, "id"), (std::vector<std::string>{"imagecroppingregion", "imagecroppingregion"}));
      std::vector<std::string> vecReported;
      for (long l : c.vecFrame) vecReported.push_back(std::to_string(l));
      EXPECT_EQ(ReportedFields(reply.strText), vecReported);
      EXPECT_EQ(RegionIn(DB_BIN_BITONAL_FRONT), c.vecFrame);
      EXPECT_EQ(RegionIn(DB_BIN_BITONAL_REAR), c.vecFrame);
    } else {
      EXPECT_EQ(reply.strStatus, "badvalue");
      EXPECT_TRUE(Reports(reply.strText).empty());
      EXPECT_EQ(Values(), vecBefore);
    }
  }
  // The table holds both answers.
  EXPECT_GT(iValid, 4);
  EXPECT_LT(iValid, static_cast<int>(std::size(acase)) - 4);
  EXPECT_TRUE(m_plog->Contains("Invalid frame..."));
}

// With a range after each field the frame is judged by the ranges given for
// its width and height, and every field takes its value with its range, on
// the other side too.
TEST_F(DrvSetRegionTest, RangesAfterEachFieldAreSetAndReported) {
  const std::vector<Bounds> vecRanges = {{"0", "9000", "12"},
                                         {"0", "12000", "12"},
                                         {"2400", "9000", "12"},
                                         {"2400", "12000", "12"},
                                         {"-900000", "900000", "1"}};
  const std::vector<long> vecFrame = {600, 1200, 4800, 6000, 50000};
  ASSERT_EQ(Judge({{600, 1200, 4800, 6000, 50000, 2400, 2400, 9000, 12000}}), std::vector<bool>{true});
  Reply reply = Set(Cropping({"600", "1200", "4800", "6000", "50000"}, vecRanges));
  ExpectSound(reply);
  ASSERT_EQ(reply.strStatus, "success");
  const std::string strCurrent = reply.strText.substr(0, reply.strText.find("<reportregiondefault>"));
  EXPECT_EQ(All(strCurrent, "rangemin"), (std::vector<std::string>{"0", "0", "2400", "2400", "-900000"}));
  EXPECT_EQ(All(strCurrent, "rangemax"), (std::vector<std::string>{"9000", "12000", "9000", "12000", "900000"}));
  EXPECT_EQ(All(strCurrent, "rangestep"), (std::vector<std::string>{"12", "12", "12", "12", "1"}));
  EXPECT_EQ(ReportedFields(reply.strText), (std::vector<std::string>{"600", "1200", "4800", "6000", "50000"}));
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}) {
    SCOPED_TRACE(edbbin);
    EXPECT_EQ(RegionIn(edbbin), vecFrame);
    EXPECT_EQ(RangeIn(edbbin, DB_ID_FRAMEWIDTH), "2400 9000 12");
    EXPECT_EQ(RangeIn(edbbin, DB_ID_IMAGESKEWANGLE), "-900000 900000 1");
  }

  // Frames the bin's limits would take but the given ranges refuse, and one
  // the given ranges take beyond the limits the bin now has.
  const std::vector<std::string> vecBefore = Values();
  ASSERT_EQ(Judge({{0, 0, 9600, 6000, 0, 2400, 2400, 9000, 12000},
                   {0, 0, 1800, 6000, 0, 2400, 2400, 9000, 12000},
                   {0, 0, 9600, 6000, 0, 1200, 1200, 10200, 16800},
                   {0, 0, 9600, 6000, 0, 2400, 2400, 9000, 12000}}),
            (std::vector<bool>{false, false, true, false}));
  for (const char* szWidth : {"9600", "1800"}) {
    reply = Set(Cropping({"0", "0", szWidth, "6000", "0"}, vecRanges));
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "badvalue") << szWidth;
    EXPECT_EQ(Values(), vecBefore);
  }
  const std::vector<Bounds> vecWide = {
      {"0", "10200", "12"}, {"0", "16800", "12"}, {"1200", "10200", "12"}, {"1200", "16800", "12"}, {"0", "0", "1"}};
  EXPECT_EQ(Set(Cropping({"0", "0", "9600", "6000", "0"}, vecWide)).strStatus, "success");
  EXPECT_EQ(RegionIn(DB_BIN_BITONAL_FRONT), (std::vector<long>{0, 0, 9600, 6000, 0}));

  // A field its own range cannot hold ends the region there: the fields
  // before it stay set.
  std::vector<Bounds> vecNarrow = vecWide;
  vecNarrow[1] = {"0", "6000", "12"};
  reply = Set(Cropping({"1200", "7200", "2400", "3000", "0"}, vecNarrow));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "badvalue");
  EXPECT_TRUE(Reports(reply.strText).empty());
  EXPECT_TRUE(m_plog->Contains("Failed to set range " + std::to_string(DB_ID_FRAMEYOFFSET) + "..."));
  EXPECT_EQ(RegionIn(DB_BIN_BITONAL_FRONT), (std::vector<long>{1200, 0, 9600, 6000, 0}));
}

// The camera and window types pick the bins as for a value; the region's
// bin keeps its other side alike while the sides are kept alike.
TEST_F(DrvSetRegionTest, CameraAndWindowTypesPickTheBins) {
  const std::vector<long> vecOld = {0, 0, 1200, 1200, 0};
  const std::vector<long> vecNew = {600, 600, 2400, 3000, 0};
  const struct {
    const char* szCamera;
    const char* szWindow;
    const char* szSides;
    std::vector<EDBBIN> vecChanged;
  } acase[] = {
      {"frontrear", "all", "false", {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}},
      {"front", "color", "false", {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}},
      {"front", "color", "true", {DB_BIN_COLOR_FRONT}},
      {"rear", "bitonal", "true", {DB_BIN_BITONAL_REAR}},
      {"front", "all", "true", {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT}},
      {"", "", "false", {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(std::string(c.szCamera) + "/" + c.szWindow + " sidesdifferent " + c.szSides);
    ASSERT_EQ(SetValue("sidesdifferent", "false").strStatus, "success");
    ASSERT_EQ(Set(Cropping({"0", "0", "1200", "1200", "0"}, {},
                           "<cameratype>frontrear</cameratype><windowtype>all</windowtype>"))
                  .strStatus,
              "success");
    ASSERT_EQ(SetValue("sidesdifferent", c.szSides).strStatus, "success");
    const Reply reply = Set(Cropping(
        {"600", "600", "2400", "3000", "0"}, {},
        std::string("<cameratype>") + c.szCamera + "</cameratype><windowtype>" + c.szWindow + "</windowtype>"));
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "success");
    for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR}) {
      const bool blChanged = std::find(c.vecChanged.begin(), c.vecChanged.end(), edbbin) != c.vecChanged.end();
      EXPECT_EQ(RegionIn(edbbin), blChanged ? vecNew : vecOld) << "bin " << edbbin;
    }
  }
}

// A scanner without the frame has no cropping region: the set answers
// "fail", in a whole reply.
TEST_F(DrvSetRegionTest, WithoutTheFrameTheSetFails) {
  SetAccessInCameras(DB_ID_FRAMEWIDTH, DB_ACCESS_NOTSUPPORTED);
  const Reply reply = Set(Cropping({"0", "0", "2400", "3000", "0"}));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("capability not found...<" + std::to_string(DB_ID_FRAMEWIDTH)));
}

// ---------------------------------------------------------------------------
// The barcode search region
// ---------------------------------------------------------------------------
// Four fields are reported; the request still gives all five, the skew
// angle unused, and a region with ranges is set as one without. No frame
// check applies.
TEST_F(DrvSetRegionTest, BarcodeSearchRegion) {
  // The simulated scanner has no barcode search region.
  Reply reply = Set("<id>barcodesearchregion</id>" + Region({"0", "0", "1200", "1200", "0"}));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "fail");
  for (EDBID edbid : s_aedbidBarcode) SetAccessInCameras(edbid, DB_ACCESS_READWRITE);

  reply = Set("<id>barcodesearchregion</id>" + Region({"120", "240", "2400", "600", "450000"}));
  ExpectSound(reply);
  ASSERT_EQ(reply.strStatus, "success");
  EXPECT_EQ(All(reply.strText, "id"), (std::vector<std::string>{"barcodesearchregion", "barcodesearchregion"}));
  EXPECT_EQ(ReportedFields(reply.strText), (std::vector<std::string>{"120", "240", "2400", "600"}));
  EXPECT_TRUE(All(reply.strText, "imageskewangle").empty());
  for (EDBBIN edbbin : {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR})
    EXPECT_EQ(RegionIn(edbbin, s_aedbidBarcode, 4), (std::vector<long>{120, 240, 2400, 600})) << edbbin;
  EXPECT_EQ(RegionIn(DB_BIN_BITONAL_FRONT), (std::vector<long>{0, 0, 10200, 13200, 0}));

  const std::string strRange = RangeIn(DB_BIN_BITONAL_FRONT, DB_ID_BARCODESEARCHREGIONWIDTH);
  reply = Set("<id>barcodesearchregion</id><cameratype>frontrear</cameratype><windowtype>color</windowtype>" +
              Region({"1", "2", "3", "4", "5"}, std::vector<Bounds>(5, {"0", "10", "1"})));
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  for (EDBBIN edbbin : {DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR})
    EXPECT_EQ(RegionIn(edbbin, s_aedbidBarcode, 4), (std::vector<long>{1, 2, 3, 4})) << edbbin;
  EXPECT_EQ(RangeIn(DB_BIN_BITONAL_FRONT, DB_ID_BARCODESEARCHREGIONWIDTH), strRange);

  reply = Set("<id>barcodesearchregion</id>" + Region({"1", "2", "3", "4"}));
  EXPECT_EQ(reply.strStatus, "badvalue");
}

// ---------------------------------------------------------------------------
// Gathering
// ---------------------------------------------------------------------------
TEST_F(DrvSetRegionTest, RegionsThatAreRefusedWhileGathered) {
  const Bounds bounds = {"0", "9000", "6"};
  const std::string strFields = "<imageoffsetx>0</imageoffsetx><imageoffsety>0</imageoffsety>";
  const std::string strMissingRegion =
      "Missing argument(s) <imageoffsetx>, <imageoffsety>, <imagewidth>, <imageheight>, <imageskewangle> or <range> "
      "subcommands for <region> subcommand";
  const std::string strMissingRange =
      "Missing argument(s) <rangemin>, <rangemax> or <rangestep> for <range> subcommand";
  const struct {
    std::string strBody;
    const char* szStatus;
    std::string strLog;
  } acase[] = {
      // An id ends the field a range would apply to (first: the log is
      // shared by the cases).
      {Region({"0", "0", "2400", "3000", "0"}) + "<id>imagecroppingregion</id><region>" + Range("0", "1", "1") +
           "</region>",
       "badvalue", "Must set the region values first before the range"},
      {Cropping({"0", "0", "2400", "3000"}), "badvalue", strMissingRegion},
      {Cropping({"0", "0", "2400", "3000", "0"}, {bounds, bounds}), "badvalue", strMissingRegion},
      {Cropping({"0", "0", "2400", "3000", "0"}, {bounds, bounds, bounds, bounds}), "badvalue", strMissingRegion},
      {"<id>imagecroppingregion</id><region>" + Range("0", "1", "1") + "</region>", "badvalue",
       "Must set the region values first before the range"},
      {"<id>imagecroppingregion</id><region>" + strFields + Range("0", "1", "1") + Range("0", "1", "1") + "</region>",
       "badvalue", "Must set the region values first before the range"},
      {"<id>imagecroppingregion</id><region>" + strFields +
           "<range><rangemin>0</rangemin><rangemax>9000</rangemax></range></region>",
       "badvalue", strMissingRange},
      {Cropping({"0", "0", "4294967296", "3000", "0"}), "badvalue", "number beyond 32 bits...<4294967296>"},
      {Cropping({"0", "0", "2400", "3000", "0"}, {bounds, {"0", "99999999999", "1"}}), "badvalue",
       "number beyond 32 bits...<99999999999>"},
      {Region({"0", "0", "2400", "3000", "0"}), "fail", "Unrecognized edriversettype 32..."},
      {Cropping({"0", "0", "2400", "3000", "0"}, {}, "<valuecurrent>1</valuecurrent>"), "fail",
       "Unrecognized edriversettype 35..."},
      {Cropping({"0", "0", "2400", "3000", "0"}, {}, Range("0", "1", "1")), "fail",
       "Unrecognized edriversettype 41..."},
  };
  const std::vector<std::string> vecBefore = Values();
  for (const auto& c : acase) ExpectRefused(c.strBody, c.szStatus, c.strLog);
  EXPECT_EQ(Values(), vecBefore);
  // A second range of one field stands alone: its own bounds must be whole.
  EXPECT_EQ(Set("<id>imagecroppingregion</id><region>" + strFields + Range("0", "1", "1") +
                "<imageoffsety>0</imageoffsety><range><rangemin>0</rangemin></range></region>")
                .strStatus,
            "badvalue");
}

// ---------------------------------------------------------------------------
// Setmany
// ---------------------------------------------------------------------------
TEST_F(DrvSetRegionTest, RegionsInsideASetmany) {
  Reply reply = Setmany({Cropping({"600", "600", "2400", "3000", "0"}), Body("units", "centimeters")});
  ExpectSound(reply);
  ASSERT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText).back(), "reportregiondefault");
  EXPECT_NE(std::find(ReportedIds(reply.strText).begin(), ReportedIds(reply.strText).end(), "units"),
            ReportedIds(reply.strText).end());
  // The last set named no region: the cropping region is reported.
  EXPECT_EQ(ReportedFields(reply.strText), (std::vector<std::string>{"600", "600", "2400", "3000", "0"}));
  EXPECT_EQ(Current("units"), "centimeters");

  // A region refused after a value set, or a value refused after a region
  // set: both are undone.
  const std::vector<std::string> vecBefore = Values();
  for (const auto& vecBodies :
       {std::vector<std::string>{Body("units", "pixels"), Cropping({"0", "0", "99999", "3000", "0"})},
        std::vector<std::string>{Cropping({"0", "0", "4800", "4800", "0"}), Body("units", "furlongs")},
        std::vector<std::string>{Body("units", "pixels"), Cropping({"0", "0", "1", "2"})}}) {
    SCOPED_TRACE(vecBodies[1].substr(0, 80));
    reply = Setmany(vecBodies);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "badvalue");
    EXPECT_TRUE(Reports(reply.strText).empty());
    EXPECT_EQ(Values(), vecBefore);
    EXPECT_EQ(Current("units"), "centimeters");
    EXPECT_EQ(RegionIn(DB_BIN_BITONAL_FRONT), (std::vector<long>{600, 600, 2400, 3000, 0}));
  }
}

// A region set with a range after each field, then a set that fails: the
// values and the ranges the region gave are both put back, in every bin,
// so each value put back lies within its range (ranges narrower than the
// values were left behind).
TEST_F(DrvSetRegionTest, FailedSetmanyPutsBackTheRangesOfItsRegion) {
  const std::vector<Bounds> vecNarrow = {
      {"0", "9000", "12"}, {"0", "12000", "12"}, {"2400", "9000", "12"}, {"2400", "12000", "12"}, {"-900", "900", "1"}};
  const std::vector<EDBBIN> vecBins = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                       DB_BIN_COLOR_REAR};
  const auto Ranges = [&] {
    std::vector<std::string> vec;
    for (EDBBIN edbbin : vecBins) {
      for (const EDBID* aedbid : {s_aedbidFrame, s_aedbidBarcode}) {
        for (size_t sizet = 0; sizet < (aedbid == s_aedbidFrame ? 5u : 4u); ++sizet) {
          if (m_pdatabase->FindDirect(edbbin, aedbid[sizet])) vec.push_back(RangeIn(edbbin, aedbid[sizet]));
        }
      }
    }
    return vec;
  };
  const std::vector<std::string> vecRangesBefore = Ranges();
  const std::vector<std::string> vecBefore = Values();
  for (const auto& vecBodies :
       {std::vector<std::string>{Cropping({"600", "1200", "4800", "6000", "0"}, vecNarrow), Body("units", "furlongs")},
        std::vector<std::string>{Body("units", "pixels"), Cropping({"600", "1200", "4800", "6000", "0"}, vecNarrow),
                                 Cropping({"0", "0", "99999", "3000", "0"})},
        std::vector<std::string>{"<id>barcodesearchregion</id>" + Region({"0", "0", "1200", "1200"}),
                                 Body("units", "furlongs")}}) {
    SCOPED_TRACE(vecBodies[0].substr(0, 80));
    const Reply reply = Setmany(vecBodies);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "badvalue");
    EXPECT_EQ(Values(), vecBefore);
    EXPECT_EQ(Ranges(), vecRangesBefore);
    for (EDBBIN edbbin : vecBins) {
      for (size_t sizet = 0; sizet < 5; ++sizet) {
        CDbDatum* pdbdatum = m_pdatabase->FindDirect(edbbin, s_aedbidFrame[sizet]);
        if (!pdbdatum) continue;
        const long lValue = Value(edbbin, s_aedbidFrame[sizet]);
        EXPECT_GE(lValue, m_pdatabase->RangeGetCurrentMin(pdbdatum)) << edbbin << " " << sizet;
        EXPECT_LE(lValue, m_pdatabase->RangeGetCurrentMax(pdbdatum)) << edbbin << " " << sizet;
      }
    }
  }
}

}  // namespace
