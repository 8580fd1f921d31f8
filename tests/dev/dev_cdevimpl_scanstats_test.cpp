// The caller's side of a scan that needs no scan thread: the images to
// expect per sheet, the feeder state (from the database, the configuration
// and the simulated scanner's paper sensor), the running statistics and the
// image dump.
#include <climits>
#include <ctime>
#include <string>
#include <vector>

#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"
#include "os_cosimage.h"
#include "os_cosstring.h"

// The scan state and the helpers GetOutput and ScanBegin call.
struct DevImplScanAccess {
  static DevScanState& State(CDevImpl& a_devimpl) { return a_devimpl.m_scanstate; }
  static DevImplPod& Pod(CDevImpl& a_devimpl) { return a_devimpl.pod; }
  static void Start(CDevImpl& a_devimpl) { a_devimpl.StatisticsStart(); }
  static void Update(CDevImpl& a_devimpl, const char* a_szText, int a_iImage, int a_iPage) {
    a_devimpl.StatisticsUpdate(a_szText, a_iImage, 1, a_iPage);
  }
  static void Save(CDevImpl& a_devimpl, const char* a_szText) { a_devimpl.SaveImage(a_szText); }
};

namespace {

using Access = DevImplScanAccess;

const std::vector<EDBBIN> s_vecedbbinBitonal = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR};

class DevScanQueries : public devtest::DeviceFixture {
 protected:
  void TearDown() override {
    // The adapter is the fixture's: the object must not free it.
    Access::Pod(Impl()).m_pdevdevice = nullptr;
    if (Access::Pod(Impl()).m_posimage) delete Access::Pod(Impl()).m_posimage;
    Access::Pod(Impl()).m_posimage = nullptr;
    m_pdatabase->ClearDbState(DB_STATE_FLATBEDSCAN);
    m_pdatabase->ClearDbState(DB_STATE_LEARNSCAN);
    DeviceFixture::TearDown();
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdev); }
  DevScanState& State() { return Access::State(Impl()); }
  void Force(EDBID a_edbid, long a_lValue) {
    CDbDatum* pdbdatum = m_pdatabase->Find(a_edbid);
    ASSERT_NE(pdbdatum, nullptr) << a_edbid;
    pdbdatum->ForceCurrentLong(a_lValue);
  }
  // The simulated feeder, opened with its flags, as the object's adapter.
  void OpenFeeder(const std::vector<std::pair<std::string, std::string>>& a_vecFlags) {
    Open(DB_FIRMWARE_ADF, a_vecFlags);
    Access::Pod(Impl()).m_pdevdevice = m_pdevdevice.get();
  }
  // The data-source state the log reads (it keeps the pointer).
  long m_lDsState = 9;
  size_t PaperQueries() const {
    size_t sizet = 0;
    for (const devtest::LoggedTask& loggedtask : Tasks()) sizet += loggedtask.strCommand == "getconfig" ? 1 : 0;
    return sizet;
  }
};

TEST_F(DevScanQueries, TheImagesToExpectPerSheet) {
  const struct {
    const char* szCase;
    bool blPreview;
    long lAcquire;   // PREVIEWIMAGEACQUIRE
    long lDocument;  // INPUTDOCUMENT
    EDBSTATE edbstate;
    long lImages;  // XFERCOUNT
    long lSheets;  // PAGECOUNT
    long lExpected;
  } s_arow[] = {
      {"3 sheets, front and rear bitonal", false, 2, 1, {}, 0, 3, 6},
      {"images win over sheets", false, 2, 1, {}, 5, 3, 5},
      {"neither images nor sheets", false, 2, 1, {}, 0, 0, 0},
      {"open-ended images without sheets", false, 2, 1, {}, -1, 0, -1},
      {"open-ended both", false, 2, 1, {}, -1, -1, -1},
      {"sheets beyond counting", false, 2, 1, {}, 0, LONG_MAX, -1},
      {"flatbed: the images alone", false, 2, 1, DB_STATE_FLATBEDSCAN, 4, 3, 4},
      {"flatbed without images", false, 2, 1, DB_STATE_FLATBEDSCAN, 0, 3, 0},
      {"learning scan", false, 2, 1, DB_STATE_LEARNSCAN, 5, 3, 0},
      {"preview without feeding", true, 1, 1, {}, 5, 3, 2},
      {"preview, two-sided", true, 2, 1, {}, 5, 3, 4},
      {"preview, one-sided", true, 2, 2, {}, 5, 3, 2},
  };
  Cameras(s_vecedbbinBitonal);
  for (const auto& row : s_arow) {
    Force(DB_ID_PREVIEWMODE, row.blPreview ? DB_ID_PREVIEWMODE_ENUM_TRUE : DB_ID_PREVIEWMODE_ENUM_FALSE);
    Force(DB_ID_PREVIEWIMAGEACQUIRE, row.lAcquire);
    Force(DB_ID_INPUTDOCUMENT, row.lDocument);
    Force(DB_ID_XFERCOUNT, row.lImages);
    Force(DB_ID_PAGECOUNT, row.lSheets);
    if (row.edbstate) m_pdatabase->SetDbState(row.edbstate);
    EXPECT_EQ(Impl().ScanGetOutputImageCount(), row.lExpected) << row.szCase;
    if (row.edbstate) m_pdatabase->ClearDbState(row.edbstate);
  }
  EXPECT_TRUE(m_plog->Contains("ImageCountCalculate: 9223372036854775807 sheets of 2 images overflow"));
}

// The feeder state: a preview that feeds nothing follows the source; a
// model with a paper sensor asks the scanner, unless the transport starts
// by itself; otherwise paper is taken as present. The answer is kept.
TEST_F(DevScanQueries, TheCurrentFeederStateAsksTheSensorOnlyWhenItCounts) {
  OpenFeeder({{"paperafter", "600000"}});
  m_pdatabase->ConfigAdd("paperdetectable", DB_CONFIGTARGET_COMMON);
  Force(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_TRUE);
  Force(DB_ID_PREVIEWIMAGEACQUIRE, 1);
  const size_t sizetQueries = PaperQueries();
  State().lScanSource = 3;
  EXPECT_EQ(Impl().ScanGetCurrentFeederLoaded(), 1);
  State().lScanSource = 2;
  EXPECT_EQ(Impl().ScanGetCurrentFeederLoaded(), 2);
  EXPECT_EQ(PaperQueries(), sizetQueries);
  // The feeder is empty until paperafter has passed.
  Force(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_FALSE);
  Force(DB_ID_TRANSPORTAUTOSTART, DB_ID_TRANSPORTAUTOSTART_ENUM_TRUE);
  EXPECT_EQ(Impl().ScanGetCurrentFeederLoaded(), 1);
  EXPECT_EQ(Impl().GetPod().m_lFeederState.load(), 1);
  EXPECT_EQ(PaperQueries(), sizetQueries + 1);
  EXPECT_EQ(Tasks().back().Arguments(), "id=paperdetected");
  Force(DB_ID_TRANSPORTAUTOSTART, DB_ID_TRANSPORTAUTOSTART_ENUM_FALSE);
  EXPECT_EQ(Impl().ScanGetCurrentFeederLoaded(), 2);
  EXPECT_EQ(Impl().GetPod().m_lFeederState.load(), 2);
  Force(DB_ID_TRANSPORTAUTOSTART, DB_ID_TRANSPORTAUTOSTART_ENUM_TRUE);
  m_pdatabase->ConfigDelete("paperdetectable", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(Impl().ScanGetCurrentFeederLoaded(), 2);
  EXPECT_EQ(PaperQueries(), sizetQueries + 1);
}

// The caller's question: no feeder means no paper; a job that ended for
// want of paper says so once; ForceFeederLoaded (on by default) asks the
// sensor; without it a TWAIN front end showing its own interface hears
// "empty" outside a scan, and everyone else "paper".
TEST_F(DevScanQueries, TheCallersFeederQueryFollowsItsRules) {
  OpenFeeder({{"paperafter", "600000"}});
  m_pdatabase->ConfigAdd("paperdetectable", DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigEnumAdd("papersource", "adf", DB_CONFIGTARGET_COMMON);
  Force(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_FALSE);
  Force(DB_ID_TRANSPORTAUTOSTART, DB_ID_TRANSPORTAUTOSTART_ENUM_TRUE);
  const size_t sizetQueries = PaperQueries();
  Impl().SetNoPaperAtEnd(true);
  EXPECT_EQ(Impl().ScanIsFeederLoaded(false), 1);
  EXPECT_FALSE(Impl().GetNoPaperAtEnd());
  EXPECT_EQ(PaperQueries(), sizetQueries);
  EXPECT_EQ(Impl().ScanIsFeederLoaded(false), 1);  // the sensor: no paper yet
  EXPECT_EQ(PaperQueries(), sizetQueries + 1);
  SetConfigured(OS_CFGTAG_FORCEFEEDERLOADED, "0");
  EXPECT_EQ(Impl().ScanIsFeederLoaded(false), 2);
  EXPECT_EQ(PaperQueries(), sizetQueries + 1);
  m_lDsState = 5;
  g_poslog->Setup(nullptr, 1, nullptr, &m_lDsState);
  EXPECT_EQ(Impl().ScanIsFeederLoaded(false), 1);
  EXPECT_EQ(Impl().ScanIsFeederLoaded(true), 2);
  m_lDsState = 4;
  EXPECT_EQ(Impl().ScanIsFeederLoaded(false), 2);
  m_lDsState = 9;  // no data source: the log keeps reading it till the end
  m_pdatabase->ConfigEnumDelete("papersource", "adf", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(Impl().ScanIsFeederLoaded(false), 1);
}

// Three images: two of the first sheet's sides, one of the second's front.
TEST_F(DevScanQueries, StatisticsFollowTheImagesHandedOut) {
  DevScanState& state = State();
  COsString::SStrCpy(state.szLabelSheet, sizeof state.szLabelSheet, "Sheet");
  COsString::SStrCpy(state.szLabelPage, sizeof state.szLabelPage, "Page");
  COsString::SStrCpy(state.szLabelImagesFront, sizeof state.szLabelImagesFront, "front");
  COsString::SStrCpy(state.szLabelImagesBack, sizeof state.szLabelImagesBack, "back");
  Force(DB_ID_PREVIEWMODE, DB_ID_PREVIEWMODE_ENUM_FALSE);
  Force(DB_ID_XFERCOUNT, 0);
  Force(DB_ID_PAGECOUNT, 3);
  Cameras(s_vecedbbinBitonal);
  const time_t tStart = time(nullptr) - 10;
  state.statistics.tStart = tStart;
  Access::Start(Impl());
  EXPECT_EQ(state.statistics.tStart, tStart);  // set once per reset
  EXPECT_EQ(state.statistics.lImagesExpected, 6);
  // Nothing to count in an empty text.
  Access::Update(Impl(), "", 1, 1);
  Access::Update(Impl(), nullptr, 1, 1);
  EXPECT_EQ(Impl().ScanStatisticsGetImageCountFromZero(), 0);
  EXPECT_STREQ(Impl().ScanStatisticsGetPageCount(), "");
  state.lImagesRemaining = 5;
  Access::Update(Impl(), "<imagesize>100</imagesize><cameratype>front</cameratype>", 1, 1);
  Access::Update(Impl(), "<cameratype>rear</cameratype><imagesize>300</imagesize>", 2, 1);
  EXPECT_STREQ(Impl().ScanStatisticsGetSheetCount(), "Sheet 1 : back");
  state.lImagesRemaining = 4;
  Access::Update(Impl(), "<imagesize>200</imagesize><cameratype>front</cameratype>", 3, 2);
  const DevScanStatistics& statistics = state.statistics;
  EXPECT_EQ(Impl().ScanStatisticsGetImageCountFromZero(), 3);
  EXPECT_STREQ(Impl().ScanStatisticsGetPageCount(), "Page 3");
  EXPECT_STREQ(Impl().ScanStatisticsGetSheetCount(), "Sheet 2 : front");
  EXPECT_EQ(statistics.lCurrentNumber, 3);
  EXPECT_EQ(statistics.lImagesExpected, 4);
  EXPECT_EQ(statistics.ulTotalBytes, 600u);
  EXPECT_EQ(statistics.ulSmallest, 100u);
  EXPECT_EQ(statistics.ulLargest, 300u);
  EXPECT_EQ(statistics.ulBytesPerImage, 200u);
  EXPECT_GE(statistics.lElapsed, 10);
  EXPECT_EQ(statistics.ulBytesPerSecond, 600u / static_cast<unsigned long>(statistics.lElapsed));
  // Without an elapsed second or an image number the totals stand in.
  state.statistics.tStart = time(nullptr) + 5;
  Access::Update(Impl(), "<imagesize>50</imagesize>", 0, 2);
  EXPECT_EQ(statistics.ulBytesPerSecond, 650u);
  EXPECT_EQ(statistics.ulBytesPerImage, 650u);
  EXPECT_EQ(statistics.ulSmallest, 50u);
  // A reset empties everything and counts the job again.
  Force(DB_ID_XFERCOUNT, 7);
  Impl().ScanStatisticsReset();
  EXPECT_EQ(Impl().ScanStatisticsGetImageCountFromZero(), 0);
  EXPECT_STREQ(Impl().ScanStatisticsGetSheetCount(), "");
  EXPECT_STREQ(Impl().ScanStatisticsGetPageCount(), "");
  EXPECT_EQ(statistics.tStart, 0);
  EXPECT_EQ(statistics.ulTotalBytes, 0u);
  EXPECT_EQ(statistics.lImagesExpected, 7);
}

// The dump writes "<prefix><imageid>.tif" when it is on, and nothing for
// an image without a usable id; tiffinfo reads the file back.
TEST_F(DevScanQueries, SaveImageDumpsTheImageAsTiff) {
  const std::string strRaw = testsupport::RootPath("images/page.raw");
  testsupport::WriteFile(strRaw, std::string(24 * 12, '\x80'));
  const auto Text = [&](const std::string& a_strId) {
    return "<imageid>" + a_strId + "</imageid><compressionmode>none</compressionmode><imagefilename>" + strRaw +
           "</imagefilename><imageformat>gray_8</imageformat><imagewidth>96</imagewidth>"
           "<imageheight>48</imageheight><imagesize>288</imagesize><imageresolutionx>300_dpi</imageresolutionx>";
  };
  DevScanState& state = State();
  const std::string strPrefix = testsupport::RootPath("images/app");
  COsString::SStrCpy(state.szDumpPrefix, sizeof state.szDumpPrefix, strPrefix.c_str());
  Access::Save(Impl(), Text("7").c_str());  // the dump is off
  EXPECT_FALSE(testsupport::FileExists(strPrefix + "7.tif"));
  state.blDump = true;
  Access::Save(Impl(), Text("7").c_str());  // on, but without a writer
  EXPECT_TRUE(m_plog->Contains("SaveImage: no image writer..."));
  Access::Pod(Impl()).m_posimage = new COsImage();
  Access::Save(Impl(), Text("7").c_str());
  ASSERT_TRUE(testsupport::FileExists(strPrefix + "7.tif")) << m_plog->Text();
  const std::string strInfo = testsupport::RunProgram({"tiffinfo", strPrefix + "7.tif"});
  EXPECT_NE(strInfo.find("Image Width: 24 Image Length: 12"), std::string::npos) << strInfo;
  for (const char* szId : {"", "../x", "a/b"}) Access::Save(Impl(), Text(szId).c_str());
  EXPECT_EQ(m_plog->Count("SaveImage: unusable imageid"), 3u);
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("images/x.tif")));
  EXPECT_FALSE(testsupport::FileExists(testsupport::RootPath("x.tif")));
  // A file that cannot be read is logged, not fatal.
  Access::Save(Impl(), ("<imageid>8</imageid>" + std::string("<imagefilename>/nonexistent</imagefilename>")).c_str());
  EXPECT_TRUE(m_plog->Contains("SaveImage: COsImage::Create failed..."));
}

}  // namespace
