// The attribute tasks a scan setup sends: which tasks go out in which order
// for the scanner's units, cameras and windows, what each carries, and how a
// refused task stops the rest.
#include <algorithm>
#include <functional>
#include <iterator>
#include <set>

#include "db_makexml_fixture.h"
#include "os_cosstring.h"

namespace dbtest {
namespace {

// ---------------------------------------------------------------------------
// The task sequence of a setup
// ---------------------------------------------------------------------------
class DbMakeXmlScenarioTest;
struct Scenario {
  const char* szName;
  std::function<void(DbMakeXmlScenarioTest&)> fnSetUp;
  EOSSTS eosstsResult;
  std::vector<std::string> vecDeviceTasks;
  std::vector<const char*> vecLog;  // lines the run logs
};
void PrintTo(const Scenario& a_scenario, std::ostream* a_pos) { *a_pos << a_scenario.szName; }

class DbMakeXmlScenarioTest : public DbMakeXmlFixture, public ::testing::WithParamInterface<Scenario> {
 public:
  // Made public for the table's set-up functions.
  using DbMakeXmlFixture::Cameras;
  using DbMakeXmlFixture::m_pdatabase;
  using DbMakeXmlFixture::Set;
  using DbMakeXmlFixture::Support;
};

// The loaded default database: a feeder scanning both sides in bitonal (the
// bitonal cameras on), window-bins listing a bitonal camera first.
const Scenario s_ascenario[] = {
    {"BitonalDuplexByDefault",
     [](DbMakeXmlScenarioTest&) {},
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "createcamera rear", "windowadd window_002 bitonal front",
      "windowadd window_003 bitonal rear", "setwindoworder window_002 window_003"},
     {}},
    {"ColourFrontOnly",
     [](DbMakeXmlScenarioTest& a_test) { a_test.Cameras(false, false, true, false); },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "windowadd window_004 color front", "setwindoworder window_004"},
     {}},
    {"AutomaticColourAsksForTheBitonalFront",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(false, false, true, false);
       a_test.Support(DB_ID_AUTOCOLORCONTENT, DB_BIN_BITONAL_FRONT, DB_ID_AUTOCOLORCONTENT_ENUM_LOW, {1, 2, 3, 4});
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "windowadd window_002 bitonal front",
      "windowadd window_004 color front", "setwindoworder window_002 window_004"},
     {}},
    {"AutomaticColourNoneAsksForNothing",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(false, false, true, false);
       a_test.Support(DB_ID_AUTOCOLORCONTENT, DB_BIN_BITONAL_FRONT, DB_ID_AUTOCOLORCONTENT_ENUM_NONE, {1, 2, 3, 4});
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "windowadd window_004 color front", "setwindoworder window_004"},
     {}},
    {"TogglePatchForcesTheOtherStreams",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(false, false, true, true);
       a_test.Support(DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES, {1, 2, 3, 4, 5});
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "createcamera rear", "windowadd window_002 bitonal front",
      "windowadd window_003 bitonal rear", "windowadd window_004 color front", "windowadd window_005 color rear",
      "setwindoworder window_002 window_004 window_003 window_005"},
     {}},
    {"DetectOnlyTogglePatchForcesNothing",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(false, false, true, true);
       a_test.Support(DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, DB_ID_TOGGLEPATCH_ENUM_DETECTONLY, {1, 2, 3, 4, 5});
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "createcamera rear", "windowadd window_004 color front",
      "windowadd window_005 color rear", "setwindoworder window_004 window_005"},
     {}},
    // Learning a custom dropout without one forces the streams but keeps the
    // bitonal front out, of the windows and of their order alike.
    {"CustomDropoutLearntWithoutOne",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(false, false, true, true);
       a_test.m_pdatabase->SetDbState(DB_STATE_ECDOCUSTOMLEARN);
       COsString::SStrCpy(a_test.m_pdatabase->GetEcdoCustomSettings()->szName, 512, "(none)");
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "createcamera rear", "windowadd window_003 bitonal rear",
      "windowadd window_004 color front", "windowadd window_005 color rear",
      "setwindoworder window_004 window_003 window_005"},
     {}},
    {"CustomDropoutLearntWithOne",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(false, false, true, true);
       a_test.m_pdatabase->SetDbState(DB_STATE_ECDOCUSTOMLEARN);
       COsString::SStrCpy(a_test.m_pdatabase->GetEcdoCustomSettings()->szName, 512, "red");
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "createcamera rear", "windowadd window_004 color front",
      "windowadd window_005 color rear", "setwindoworder window_004 window_005"},
     {}},
    {"FlatbedWithoutRear",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Set(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_FLATBED);
     },
     OS_STS_SUCCESS,
     {"setconfig flatbed", "createcamera flatbed", "windowadd window_002 bitonal flatbed", "setwindoworder window_002"},
     {}},
    {"TwoUnits",
     [](DbMakeXmlScenarioTest& a_test) {
       CDbDatum* pdbdatum = a_test.m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE);
       a_test.m_pdatabase->EnumAddDefaultItem(pdbdatum, DB_ID_PAPERSOURCE_ENUM_FLATBED);
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "setconfig flatbed", "createcamera front", "createcamera rear",
      "windowadd window_002 bitonal front", "windowadd window_003 bitonal rear",
      "setwindoworder window_002 window_003"},
     {}},
    {"DeviceManagerOnly",
     [](DbMakeXmlScenarioTest& a_test) { a_test.m_pdatabase->SetDbState(DB_STATE_DEVICEMANAGERONLY); },
     OS_STS_SUCCESS,
     {"setconfig feeder"},
     {}},
    {"DeviceManagerOnlyWithTwoUnits",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.m_pdatabase->SetDbState(DB_STATE_DEVICEMANAGERONLY);
       a_test.m_pdatabase->EnumAddDefaultItem(a_test.m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE),
                                              DB_ID_PAPERSOURCE_ENUM_FLATBED);
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "setconfig flatbed"},
     {}},
    {"NoStream",
     [](DbMakeXmlScenarioTest& a_test) { a_test.Cameras(false, false, false, false); },
     OS_STS_FAIL,
     {"setconfig feeder"},
     {"windowadd failed, none were enabled..."}},
    {"SecondWindow",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Set(1, DB_ID_CAMERAENABLE, DB_BIN_COLOR_FRONT, DB_ID_CAMERAENABLE_ENUM_TRUE);
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "createcamera rear", "windowadd window_002 bitonal front",
      "windowadd window_003 bitonal rear", "windowadd window_014 color front",
      "setwindoworder window_002 window_003 window_014"},
     {}},
    // Window-bins listing a colour camera first put the colour streams first.
    {"ColourFirstOrder",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(true, true, true, true);
       a_test.Support(DB_ID_WINDOWBIN, DB_BIN_MACHINE, 2, {2, 0, 3, 1});
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "createcamera rear", "windowadd window_002 bitonal front",
      "windowadd window_003 bitonal rear", "windowadd window_004 color front", "windowadd window_005 color rear",
      "setwindoworder window_004 window_002 window_005 window_003"},
     {}},
    // A preview of one window-bin (window 0, colour front) alone.
    {"SingleWindowPreview",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Cameras(true, true, true, false);
       a_test.Set(0, DB_ID_PREVIEWMODE, DB_BIN_MACHINE, DB_ID_PREVIEWMODE_ENUM_TRUE);
       a_test.Set(0, DB_ID_PREVIEWIMAGEACQUIRE, DB_BIN_MACHINE, DB_ID_PREVIEWIMAGEACQUIRE_ENUM_FALSE);
       a_test.Set(0, DB_ID_WINDOWBIN, DB_BIN_MACHINE, 2);
     },
     OS_STS_SUCCESS,
     {"setconfig feeder", "createcamera front", "windowadd window_004 color front", "setwindoworder window_004"},
     {}},
    {"PreviewOfAWindowOutOfRange",
     [](DbMakeXmlScenarioTest& a_test) {
       a_test.Set(0, DB_ID_PREVIEWMODE, DB_BIN_MACHINE, DB_ID_PREVIEWMODE_ENUM_TRUE);
       a_test.Set(0, DB_ID_WINDOW, DB_BIN_MACHINE, 11);
     },
     OS_STS_FAIL,
     {"setconfig feeder"},
     {"Bad a_edbidwindow...11", "windowadd failed, none were enabled..."}},
};

TEST_P(DbMakeXmlScenarioTest, SendsTheTasksInOrder) {
  const Scenario& scenario = GetParam();
  scenario.fnSetUp(*this);
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(Run(), scenario.eosstsResult);
  EXPECT_EQ(DeviceTasks(), scenario.vecDeviceTasks);
  for (const char* szLine : scenario.vecLog) EXPECT_NE(LogFrom(sizetFrom).find(szLine), std::string::npos) << szLine;
  // Each task goes to the device library first, then the same text to the
  // image library.
  ASSERT_EQ(m_vecsent.size(), 2 * scenario.vecDeviceTasks.size());
  for (size_t i = 0; i < m_vecsent.size(); i += 2) {
    EXPECT_EQ(m_vecsent[i].strLibrary, "device");
    EXPECT_EQ(m_vecsent[i + 1].strLibrary, "nexil");
    EXPECT_EQ(m_vecsent[i + 1].strText, m_vecsent[i].strText);
  }
  ExpectWellFormed();
  EXPECT_EQ(m_pdatabase->GetUnitOverride(), 0);
}

INSTANTIATE_TEST_SUITE_P(DbSetups, DbMakeXmlScenarioTest, ::testing::ValuesIn(s_ascenario),
                         [](const ::testing::TestParamInfo<Scenario>& a_info) { return a_info.param.szName; });

using DbMakeXmlTest = DbMakeXmlFixture;

// With two units, setconfig goes to each in turn: the unit override names
// the feeder, then the flatbed, and is 0 again for the rest.
TEST_F(DbMakeXmlTest, TwoUnitsGetSetconfigEachUnderTheUnitOverride) {
  m_pdatabase->EnumAddDefaultItem(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE),
                                  DB_ID_PAPERSOURCE_ENUM_FLATBED);
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  std::vector<std::string> vec;
  for (const SentTask& senttask : m_vecsent) {
    vec.push_back(senttask.strLibrary + " " + senttask.readtask.strCommand + " " +
                  std::to_string(senttask.iUnitOverride) + (senttask.blFlatbed ? " flatbed" : " feeder"));
  }
  EXPECT_EQ(vec, (std::vector<std::string>{
                     "device setconfig 1 feeder", "nexil setconfig 1 feeder", "device setconfig 2 flatbed",
                     "nexil setconfig 2 flatbed", "device createcamera 0 feeder", "nexil createcamera 0 feeder",
                     "device createcamera 0 feeder", "nexil createcamera 0 feeder", "device windowadd 0 feeder",
                     "nexil windowadd 0 feeder", "device windowadd 0 feeder", "nexil windowadd 0 feeder",
                     "device setwindoworder 0 feeder", "nexil setwindoworder 0 feeder"}));
  EXPECT_EQ(m_pdatabase->GetUnitOverride(), 0);
  EXPECT_FALSE(m_pdatabase->NeedScanFromFlatbed());
}

// A stale override from before the call does not pick the unit of a
// one-unit scanner.
TEST_F(DbMakeXmlTest, OneUnitBuildsWithoutOverride) {
  m_pdatabase->SetUnitOverride(DB_FIRMWARE_FLATBED);
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  ASSERT_FALSE(m_vecsent.empty());
  EXPECT_EQ(m_vecsent.front().iUnitOverride, 0);
  EXPECT_EQ(DeviceTasks().front(), "setconfig feeder");
  EXPECT_EQ(m_pdatabase->GetUnitOverride(), 0);
}

// ---------------------------------------------------------------------------
// A refused task stops the rest
// ---------------------------------------------------------------------------
struct Refusal {
  const char* szName;
  bool blTwoUnits;
  int iFailAt;  // the call (from 1) that answers 1
  const char* szLog;
};
void PrintTo(const Refusal& a_refusal, std::ostream* a_pos) { *a_pos << a_refusal.szName; }

class DbMakeXmlRefusalTest : public DbMakeXmlFixture, public ::testing::WithParamInterface<Refusal> {};

// The default setup sends setconfig, createcamera front and rear, windowadd
// 002 and 003 and the order: calls 1 to 12, device first.
const Refusal s_arefusal[] = {
    {"SetconfigByTheDevice", false, 1, "setconfig for Device DLL failed..."},
    {"SetconfigByTheImageLibrary", false, 2, "setconfig for Nexil DLL failed..."},
    {"FirstUnitOfTwo", true, 1, "setconfig for Device DLL failed..."},
    {"SecondUnitOfTwo", true, 4, "setconfig for Nexil DLL failed..."},
    {"CreatecameraByTheDevice", false, 3, "createcamera for Device DLL failed..."},
    {"RearCameraByTheImageLibrary", false, 6, "createcamera for Nexil DLL failed..."},
    {"WindowaddByTheDevice", false, 9, "windowadd for Device DLL failed..."},
    {"WindowaddByTheImageLibrary", false, 8, "windowadd for Nexil DLL failed..."},
    {"SetwindoworderByTheImageLibrary", false, 12, "setwindoworder for Nexil DLL failed..."},
};

TEST_P(DbMakeXmlRefusalTest, StopsAtOnceWithOne) {
  const Refusal& refusal = GetParam();
  if (refusal.blTwoUnits)
    m_pdatabase->EnumAddDefaultItem(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_PAPERSOURCE),
                                    DB_ID_PAPERSOURCE_ENUM_FLATBED);
  m_iFailAt = refusal.iFailAt;
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(Run(), OS_STS_FAIL);
  EXPECT_EQ(m_vecsent.size(), static_cast<size_t>(refusal.iFailAt));
  EXPECT_NE(LogFrom(sizetFrom).find(refusal.szLog), std::string::npos) << LogFrom(sizetFrom);
  EXPECT_EQ(m_pdatabase->GetUnitOverride(), 0);
  // The next setup starts afresh.
  m_iFailAt = 0;
  m_vecsent.clear();
  EXPECT_EQ(Run(), OS_STS_SUCCESS);
  EXPECT_EQ(m_vecsent.size(), refusal.blTwoUnits ? 14u : 12u);
}

INSTANTIATE_TEST_SUITE_P(DbRefusals, DbMakeXmlRefusalTest, ::testing::ValuesIn(s_arefusal),
                         [](const ::testing::TestParamInfo<Refusal>& a_info) { return a_info.param.szName; });

// A missing callback is not called; the tasks are built all the same.
TEST_F(DbMakeXmlTest, MissingCallbacksAreSkipped) {
  EXPECT_EQ(m_pdatabase->MakeXmlAll(nullptr, CaptureDevice, this), OS_STS_SUCCESS);
  EXPECT_EQ(m_vecsent.size(), 6u);
  m_vecsent.clear();
  EXPECT_EQ(m_pdatabase->MakeXmlAll(CaptureNexil, nullptr, this), OS_STS_SUCCESS);
  ASSERT_EQ(m_vecsent.size(), 6u);
  EXPECT_EQ(m_vecsent.front().strLibrary, "nexil");
  EXPECT_EQ(m_pdatabase->MakeXmlAll(nullptr, nullptr, nullptr), OS_STS_SUCCESS);
  EXPECT_EQ(ReadBack(m_pdatabase->GetDbMakeXml()->GetTaskBuffer()).strCommand, "setwindoworder");
}

// ---------------------------------------------------------------------------
// What the tasks carry
// ---------------------------------------------------------------------------
// The capability lists: 110, 5 and 51 capabilities, each once, ended by 0.
TEST_F(DbMakeXmlTest, CapabilityListsHoldEachCapabilityOnce) {
  const struct {
    const EDBID* pedbid;
    size_t sizetSlots;
    size_t sizetCount;
  } alist[] = {{CDatabase::s_aedbidSetConfig, std::size(CDatabase::s_aedbidSetConfig), 110},
               {CDatabase::s_aedbidCreateCamera, std::size(CDatabase::s_aedbidCreateCamera), 5},
               {CDatabase::s_aedbidWindowAdd, std::size(CDatabase::s_aedbidWindowAdd), 51}};
  for (const auto& list : alist) {
    SCOPED_TRACE(list.sizetCount);
    ASSERT_EQ(list.sizetSlots, list.sizetCount + 1);
    EXPECT_EQ(list.pedbid[list.sizetCount], DB_ID_UNDEFINED);
    const std::set<EDBID> setedbid(list.pedbid, list.pedbid + list.sizetCount);
    EXPECT_EQ(setedbid.size(), list.sizetCount);
    EXPECT_EQ(setedbid.count(DB_ID_UNDEFINED), 0u);
  }
}

// The capabilities of each task, in the order their arguments go out: the
// scanner reads them in this order, so it is written out here rather than
// taken from the lists the code keeps.
const char* const s_aszSetConfig[] = {
    "TIMEDATE", "TIMEDATEUTC", "TRANSPORTAUTOSTART", "FEEDERMODE", "ADFTIMEOUTENABLED", "TRANSPORTTIMEOUT",
    "TRANSPORTTIMEOUTRESPONSE", "PAPERJAMRESPONSE", "BATCHCOUNTENABLED", "BATCHCOUNT", "BATCHLEVEL",
    "BATCHSTARTFUNCTION", "BATCHENDFUNCTION", "COUNTONLYMODE", "DUALSTACKINGENABLED", "DUALSTACKINGLENGTHMODE",
    "DUALSTACKINGLENGTH1", "DUALSTACKINGLENGTH2", "DUALSTACKINGMULTIFEED", "DUALSTACKINGPATCHTRANSFER",
    "DUALSTACKINGPATCHTYPE1", "DUALSTACKINGPATCHTYPE2", "DUALSTACKINGPATCHTYPE3", "DUALSTACKINGPATCHTYPE4",
    "DUALSTACKINGPATCHTYPE6", "DUALSTACKINGSTACK", "ECDOCUSTOMLEARN", "ECDOCUSTOMCLEARDATA", "FUNCTIONKEY1",
    "FUNCTIONKEY2", "FUNCTIONKEY3", "IMAGEADDRESS_A", "IMAGEADDRESS_B", "IMAGEADDRESS_C", "IMAGEADDRESS_D",
    "IMAGEADDRESS", "IMAGEADDRESSSCANNER", "IMAGEPROCESSINGTEST", "INDEXINGFORMAT", "LEVELTOFOLLOW1",
    "LEVELTOFOLLOW2", "LEVELTOFOLLOW3", "CHECKDIGIT", "PAGECOUNT", "XFERCOUNT", "IMAGEMERGE",
    "INTELLIGENTDOCUMENTPROTECTION", "ENERGYSTAR", "MULTIFEEDLENGTHENABLED", "PAGESIZELIMIT", "MULTIFEEDRESPONSE",
    "MULTIFEEDSOUNDENABLED", "MULTIFEEDSOUND", "ULTRASONICSENSITIVITY", "ULTRASONICSENSORZONEHEIGHT",
    "ULTRASONICSENSORLEFT", "ULTRASONICSENSORLEFTCENTER", "ULTRASONICSENSORCENTER", "ULTRASONICSENSORRIGHTCENTER",
    "ULTRASONICSENSORRIGHT", "AUTOSCAN", "PAPERSOURCE", "PATCHALARM", "PATCHCODEDETECTIONENABLED", "PATCHHEAD1",
    "PATCHHEAD2", "PATCHHEAD3", "PATCHHEAD4", "TOGGLEPATCH", "PATCHFEATURE1", "PATCHLEVEL2", "PATCHLEVEL3",
    "PATCHFEATURE4", "PATCHFEATURE6", "PATCHTRANSFER", "PREVIEWIMAGEACQUIRE", "PREVIEWMODE", "PREVIEWQUALITY",
    "PREVIEWSTYLE", "PRINTERENABLED", "PRINTERDATE", "PRINTERDATEDELIMITER", "PRINTERDATEFORMAT", "PRINTERTIME",
    "PRINTERTIMEFORMAT", "PRINTERFONT", "PRINTERFONTFORMAT", "PRINTERIMAGEADDRESSFORMAT", "PRINTERINDEX",
    "PRINTERINDEXDIGITS", "PRINTERINDEXFORMAT", "PRINTERINDEXINCREMENT", "PRINTERINDEXRESET",
    "PRINTERINDEXRESETVALUE", "PRINTERPOSITION", "PRINTERWRITESEQUENCESTRING", "PRINTERWRITESEQUENCEMESSAGE1",
    "PRINTERWRITESEQUENCEMESSAGE2", "PRINTERWRITESEQUENCEMESSAGE3", "PRINTERWRITESEQUENCEMESSAGE4",
    "PRINTERWRITESEQUENCEMESSAGE5", "PRINTERWRITESEQUENCEMESSAGE6", "PRINTERTEST", "PRINTONIMAGEFRONT",
    "PRINTONIMAGEPOSITIONX", "PRINTONIMAGEPOSITIONY", "PRINTONIMAGEREAR", "PHYSICALHEIGHTADJUST", "POWEROFFTIMEOUT",
    "POWEROFFTIMEOUTENABLED",
};
const char* const s_aszCreateCamera[] = {
    "BACKGROUND", "AUTOCOLORAMOUNT", "AUTOCOLORTHRESHOLD", "AUTOCOLORCONTENT", "BARCODEENABLE",
};
const char* const s_aszWindowAdd[] = {
    "ADDBORDER", "BACKGROUNDADJUSTAGGRESSIVENESS", "BACKGROUNDADJUSTAPPLYTO", "BACKGROUNDADJUSTMODE", "HALFTONES",
    "THRESHOLD", "CONTRAST", "COLORBRIGHTNESSMODE", "COLORBALANCEMODE", "COLORBALANCEAUTOMATICAGGRESSIVENESS",
    "COLORBALANCEBLUE", "COLORBALANCEGREEN", "COLORBALANCERED", "BRIGHTNESS", "COLORSHARPEN", "COLOROUTPUTROMM",
    "COMPRESSION", "JPEGQUALITY", "ECDO", "ECDOAGGRESSIVENESS", "ECDOTREATASCOLOR",
    "FOREGROUNDBOLDNESSAGGRESSIVENESS", "FOREGROUNDBOLDNESSMODE", "IMAGEEDGEFILL", "IMAGEEDGELEFT", "IMAGEEDGERIGHT",
    "IMAGEEDGETOP", "IMAGEEDGEBOTTOM", "IMAGEFILTER", "NOISEFILTER", "CROPPINGMODE", "IMAGEFORMAT", "AUTOMATICDESKEW",
    "FRAMEXOFFSET", "FRAMEYOFFSET", "FRAMEWIDTH", "FRAMEHEIGHT", "IMAGESKEWANGLE", "XRESOLUTION", "ORTHOGONALROTATE",
    "PIXELFLAVOR", "DOCUMENTTYPE", "MEDIATYPE", "HOLEFILLENABLED", "BLANKPAGEMODE", "BLANKPAGECONTENT",
    "STREAKREMOVALENABLED", "STREAKREMOVALAGGRESSIVENESS", "TEXTENHANCEMENT", "THINTHICKENAMOUNT",
    "BARCODEENHANCEMENT",
};

// With every listed capability supported and sent to both units, each task
// carries their arguments in the order of its list, after its own.
TEST_F(DbMakeXmlTest, ArgumentsFollowTheListOrder) {
  // The capabilities of a list of names, ended by 0.
  auto ids = [&](const auto& a_aszName) {
    std::vector<EDBID> vec;
    for (const char* szName : a_aszName) {
      const std::string strDbId = std::string("DB_ID_") + szName;
      EDBID edbid = DB_ID_UNDEFINED;
      for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
        const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(static_cast<EDBID>(iId));
        if (pdblookup2 && strDbId == pdblookup2->szDbId) edbid = static_cast<EDBID>(iId);
      }
      EXPECT_NE(edbid, DB_ID_UNDEFINED) << szName;
      vec.push_back(edbid);
    }
    vec.push_back(DB_ID_UNDEFINED);
    return vec;
  };
  const std::vector<EDBID> vecedbidSetConfig = ids(s_aszSetConfig);
  const std::vector<EDBID> vecedbidCreateCamera = ids(s_aszCreateCamera);
  const std::vector<EDBID> vecedbidWindowAdd = ids(s_aszWindowAdd);
  // An enumeration whose lookup names no value has nothing to write.
  std::set<EDBID> setedbidUnnamed;
  auto lexicons = [&](const std::vector<EDBID>& a_vecedbid) {
    std::vector<std::string> vec;
    for (const EDBID* pedbid = a_vecedbid.data(); *pedbid != DB_ID_UNDEFINED; ++pedbid) {
      if (!setedbidUnnamed.count(*pedbid)) vec.push_back(m_pdatabase->LookupEdbid(*pedbid)->szLexicon);
    }
    return vec;
  };
  auto support = [&](const std::vector<EDBID>& a_vecedbid, EDBBIN a_edbbin) {
    for (const EDBID* pedbid = a_vecedbid.data(); *pedbid != DB_ID_UNDEFINED; ++pedbid) {
      CDbDatum* pdbdatum = Slot(0, *pedbid, a_edbbin);
      ASSERT_NE(pdbdatum, nullptr) << *pedbid;
      if (CDbString* pdbstring = dbcontainer::AsString(pdbdatum)) {
        pdbstring->InitString(*pedbid, a_edbbin, DB_ACCESS_READWRITE, DB_DEVICEDATA_BOTH, 64, "text", "text", "text",
                              "text");
      } else if (dbcontainer::AsRange(pdbdatum)) {
        SupportRange(*pedbid, a_edbbin, 7, DB_DEVICEDATA_BOTH);
      } else if (pdbdatum->GetLookup()->lEnumCount == 0) {
        setedbidUnnamed.insert(*pedbid);
      } else {
        const long lValue = pdbdatum->GetLookup()->pEnums[0].lValue;
        Support(*pedbid, a_edbbin, lValue, {lValue}, DB_DEVICEDATA_BOTH);
      }
    }
  };
  // The patch settings go out through the image-address rules, which a
  // model with indexing has.
  m_pdatabase->ConfigEnumAdd("indexingformat", "none", DB_CONFIGTARGET_COMMON);
  for (const char* szFormat : {"bw", "rgb_24"}) m_pdatabase->ConfigEnumAdd("imageformat", szFormat, DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigAdd("duplex", DB_CONFIGTARGET_COMMON);
  m_pdatabase->FixDefaultAll();
  ASSERT_NE(m_pdatabase->GetDbIa(), nullptr);
  Cameras(false, false, true, false);
  support(vecedbidSetConfig, DB_BIN_MACHINE);
  support(vecedbidCreateCamera, DB_BIN_COLOR_FRONT);
  support(vecedbidWindowAdd, DB_BIN_COLOR_FRONT);
  // The blank-page content goes out with blank pages found by content.
  Support(DB_ID_BLANKPAGEMODE, DB_BIN_COLOR_FRONT, DB_ID_BLANKPAGEMODE_ENUM_CONTENT, {DB_ID_BLANKPAGEMODE_ENUM_CONTENT},
          DB_DEVICEDATA_BOTH);
  // Values the setup itself reads, put back to a feeder scan of the
  // colour front camera.
  Set(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF);
  Set(0, DB_ID_PREVIEWMODE, DB_BIN_MACHINE, DB_ID_PREVIEWMODE_ENUM_FALSE);
  Set(0, DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, DB_ID_TOGGLEPATCH_ENUM_NONE);
  Set(0, DB_ID_BARCODEENABLE, DB_BIN_COLOR_FRONT, DB_ID_BARCODEENABLE_ENUM_FALSE);
  // While a custom dropout is learnt every dropout setting goes out: the
  // learning settings, and the dropout as the learning text.
  m_pdatabase->SetDbState(DB_STATE_ECDOCUSTOMLEARN);
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  ExpectWellFormed();

  const std::vector<ReadTask> vecsetconfig = Sent("setconfig");
  ASSERT_EQ(vecsetconfig.size(), 1u);
  // The counts' rules send the sheets (7, so not the images) as the image
  // count, and the timeout's the first page's after it.
  std::vector<std::string> vecSetConfig;
  for (const std::string& str : lexicons(vecedbidSetConfig)) {
    if (str == "imagecount") continue;
    // The write sequence goes out in pieces of a printed line: whole without
    // image addressing, not at all under it without the 160-code write.
    if (str == "printerwritesequencestring") {
      if (!m_pdatabase->IsIdSupported(DB_ID_IMAGEADDRESS)) vecSetConfig.push_back("printerwritesequence1");
      continue;
    }
    vecSetConfig.push_back(str == "sheetcount" ? "imagecount" : str);
    if (str == "adftimeout") vecSetConfig.push_back("adftimeoutfirstpage");
  }
  EXPECT_EQ(vecsetconfig[0].Names(), vecSetConfig);

  const std::vector<ReadTask> veccreatecamera = Sent("createcamera");
  ASSERT_EQ(veccreatecamera.size(), 1u);
  std::vector<std::string> vecExpected = {"cameratype", "cameraid", "illumination"};
  // The automatic colour content goes out as what detection is to do.
  for (const std::string& str : lexicons(vecedbidCreateCamera))
    vecExpected.push_back(str == "autocolorcontent" ? "autocolordetect" : str);
  EXPECT_EQ(veccreatecamera[0].Names(), vecExpected);

  const std::vector<ReadTask> vecwindowadd = Sent("windowadd");
  ASSERT_EQ(vecwindowadd.size(), 1u);
  vecExpected = {"cameraid", "windowtype", "windowid", "findregions"};
  for (const std::string& str : lexicons(vecedbidWindowAdd)) vecExpected.push_back(str);
  vecExpected.push_back("patchtogglestate");
  EXPECT_EQ(vecwindowadd[0].Names(), vecExpected);
  EXPECT_EQ(vecwindowadd[0].Get("findregions"), "none");
  EXPECT_EQ(vecwindowadd[0].Get("patchtogglestate"), "off");
}

// A datum made with no container has no argument to write: it is logged
// and left out, the rest of the task goes on.
TEST_F(DbMakeXmlTest, DatumOfNoContainerIsLeftOut) {
  LongDatum* pdatum = NewLong(DB_ID_ADFTIMEOUTENABLED, DB_BIN_MACHINE, DB_ACCESS_READWRITE, 2, 2, DB_DEVICEDATA_BOTH);
  pdatum->SetLookup(m_pdatabase->LookupEdbid(DB_ID_ADFTIMEOUTENABLED));
  const size_t sizetFrom = LogSize();
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  EXPECT_NE(LogFrom(sizetFrom).find("Unrecognized container type...0"), std::string::npos);
  const std::vector<ReadTask> vecsetconfig = Sent("setconfig");
  ASSERT_EQ(vecsetconfig.size(), 1u);
  EXPECT_EQ(vecsetconfig[0].Get("adftimeoutenabled"), "-");
  EXPECT_EQ(vecsetconfig[0].Get("adfautostart"), "true");
  EXPECT_EQ(vecsetconfig[0].Get("adftimeout"), "0");
}

// A capability whose rules write their own arguments: the task carries what
// the rules wrote; rules that break the task keep it from being sent.
class WritingRule : public CDbEnum {
 public:
  void MakeXml(long a_lValue, EDBDEVICEDATA) override {
    GetDbMakeXml()->AddArgument(m_blBreak ? nullptr : "ownargument", static_cast<int>(a_lValue));
  }
  bool m_blBreak = false;
};

TEST_F(DbMakeXmlTest, RulesWriteTheirOwnArguments) {
  auto* prule = NewContainer<WritingRule>(DB_ID_ADFTIMEOUTENABLED, DB_BIN_MACHINE);
  prule->InitEnumLong(DB_ID_ADFTIMEOUTENABLED, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_BOTH, 2, 2);
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  ASSERT_EQ(Sent("setconfig").size(), 1u);
  EXPECT_EQ(Sent("setconfig")[0].Get("ownargument"), "2");
  EXPECT_EQ(Sent("setconfig")[0].Get("adftimeoutenabled"), "-");
  prule->m_blBreak = true;
  m_vecsent.clear();
  const size_t sizetFrom = LogSize();
  EXPECT_EQ(Run(), OS_STS_FAIL);
  EXPECT_NE(LogFrom(sizetFrom).find("setconfig could not be built..."), std::string::npos);
  EXPECT_TRUE(m_vecsent.empty());
}

// A window's own values (its frame, fitted to the feeder's sheet) go into
// its windowadd; the others are window 0's.
TEST_F(DbMakeXmlTest, EachWindowSendsItsOwnValues) {
  m_pdatabase->ConfigRangeSetMax("sheetwidth", 14400, DB_CONFIGTARGET_ADF);
  m_pdatabase->ConfigRangeSetMax("sheetheight", 40800, DB_CONFIGTARGET_ADF);
  Cameras(false, false, true, false);
  Set(1, DB_ID_CAMERAENABLE, DB_BIN_COLOR_FRONT, DB_ID_CAMERAENABLE_ENUM_TRUE);
  Set(0, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT, 2400);
  Set(1, DB_ID_FRAMEWIDTH, DB_BIN_COLOR_FRONT, 4800);
  SupportRange(DB_ID_BRIGHTNESS, DB_BIN_COLOR_FRONT, 17, DB_DEVICEDATA_ALL);
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  const std::vector<ReadTask> vecwindowadd = Sent("windowadd");
  ASSERT_EQ(vecwindowadd.size(), 2u);
  EXPECT_EQ(vecwindowadd[0].Get("windowid"), "window_004");
  EXPECT_EQ(vecwindowadd[0].Get("imagewidth"), "2400");
  EXPECT_EQ(vecwindowadd[1].Get("windowid"), "window_014");
  EXPECT_EQ(vecwindowadd[1].Get("imagewidth"), "4800");
  EXPECT_EQ(vecwindowadd[0].Get("colorbrightness"), "17");
  EXPECT_EQ(vecwindowadd[1].Get("colorbrightness"), "17");
}

// Which datums of a window are written: access, consumers, and the disabled
// ones, of which only the deskew goes.
TEST_F(DbMakeXmlTest, WindowaddWritesWhatTheScannerTakes) {
  const struct {
    const char* szWhat;
    EDBID edbid;
    EDBACCESS edbaccess;
    EDBDEVICEDATA edbdevicedata;
    const char* szLexicon;
    bool blWritten;
  } acase[] = {
      {"read-write", DB_ID_MEDIATYPE, DB_ACCESS_READWRITE, DB_DEVICEDATA_BOTH, "mediatype", true},
      {"read-only", DB_ID_PIXELFLAVOR, DB_ACCESS_READONLY, DB_DEVICEDATA_ALL, "invertcolor", true},
      {"disabled", DB_ID_HALFTONES, DB_ACCESS_DISABLED, DB_DEVICEDATA_BOTH, "binarizationmode", false},
      {"disabled deskew", DB_ID_AUTOMATICDESKEW, DB_ACCESS_DISABLED, DB_DEVICEDATA_BOTH, "imagedeskew", true},
      {"read-write disabled", DB_ID_NOISEFILTER, DB_ACCESS_READWRITEDISABLED, DB_DEVICEDATA_BOTH, "filternoise", true},
      {"no consumers", DB_ID_ORTHOGONALROTATE, DB_ACCESS_READWRITE, DB_DEVICEDATA_NONE, "imagerotateorthogonal", false},
      {"image library only", DB_ID_TEXTENHANCEMENT, DB_ACCESS_READWRITE, DB_DEVICEDATA_NEXIL, "textenhancement", false},
      {"flatbed firmware only", DB_ID_MEDIATYPE, DB_ACCESS_READWRITE, DB_DEVICEDATA_FLATBED, "mediatype", false},
      {"not supported", DB_ID_DOCUMENTTYPE, DB_ACCESS_NOTSUPPORTED, DB_DEVICEDATA_BOTH, "documenttype", false},
  };
  Cameras(false, false, true, false);
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(c.edbid);
    ASSERT_NE(pdblookup2, nullptr);
    ASSERT_STREQ(pdblookup2->szLexicon, c.szLexicon);
    Support(c.edbid, DB_BIN_COLOR_FRONT, pdblookup2->pEnums[0].lValue, {pdblookup2->pEnums[0].lValue}, c.edbdevicedata,
            c.edbaccess);
    m_vecsent.clear();
    ASSERT_EQ(Run(), OS_STS_SUCCESS);
    const std::vector<ReadTask> vecwindowadd = Sent("windowadd");
    ASSERT_EQ(vecwindowadd.size(), 1u);
    EXPECT_EQ(vecwindowadd[0].ValuesOf(c.szLexicon).size(), c.blWritten ? 1u : 0u);
  }
}

// Outside preview there is always a "findregions" of "none"; a preview
// whose cropping comes out fixed leaves it out.
TEST_F(DbMakeXmlTest, FindRegionsByPreviewAndCropping) {
  const struct {
    bool blPreview;
    long lCroppingMode;
    const char* szFindRegions;
  } acase[] = {
      {false, DB_ID_CROPPINGMODE_ENUM_FIXED, "none"},     {false, DB_ID_CROPPINGMODE_ENUM_AUTOMATIC, "none"},
      {true, DB_ID_CROPPINGMODE_ENUM_AUTOMATIC, "none"},  {true, DB_ID_CROPPINGMODE_ENUM_RELATIVE, "none"},
      {true, DB_ID_CROPPINGMODE_ENUM_AGGRESSIVE, "none"}, {true, DB_ID_CROPPINGMODE_ENUM_PHOTO, "none"},
      {true, DB_ID_CROPPINGMODE_ENUM_FIXED, "-"},         {true, DB_ID_CROPPINGMODE_ENUM_LONGPAPER, "-"},
      {true, DB_ID_CROPPINGMODE_ENUM_NONE, "-"},
  };
  // The preview acquires the image, so every window of the current window
  // is set up; the cropping is the current window-bin's (bitonal front).
  Set(0, DB_ID_PREVIEWIMAGEACQUIRE, DB_BIN_MACHINE, DB_ID_PREVIEWIMAGEACQUIRE_ENUM_TRUE);
  for (const auto& c : acase) {
    SCOPED_TRACE(std::to_string(c.blPreview) + " " + std::to_string(c.lCroppingMode));
    Set(0, DB_ID_PREVIEWMODE, DB_BIN_MACHINE, c.blPreview ? DB_ID_PREVIEWMODE_ENUM_TRUE : DB_ID_PREVIEWMODE_ENUM_FALSE);
    Set(0, DB_ID_CROPPINGMODE, DB_BIN_BITONAL_FRONT, c.lCroppingMode);
    m_vecsent.clear();
    ASSERT_EQ(Run(), OS_STS_SUCCESS);
    for (const ReadTask& readtask : Sent("windowadd")) EXPECT_EQ(readtask.Get("findregions"), c.szFindRegions);
  }
}

// The camera's illumination is the first the unit's configuration lists; a
// model that lists none sends the camera without it.
TEST_F(DbMakeXmlTest, IlluminationOfTheScanningUnit) {
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  for (const ReadTask& readtask : Sent("createcamera")) EXPECT_EQ(readtask.Get("illumination"), "normal");
  Set(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_FLATBED);
  m_vecsent.clear();
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  for (const ReadTask& readtask : Sent("createcamera")) EXPECT_EQ(readtask.Get("illumination"), "lamp");
  m_pdatabase->ConfigEnumDelete("illumination", "lamp", DB_CONFIGTARGET_FLATBED);
  m_vecsent.clear();
  const size_t sizetFrom = LogSize();
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  EXPECT_NE(LogFrom(sizetFrom).find("illumination not configured...flatbed"), std::string::npos);
  for (const ReadTask& readtask : Sent("createcamera")) EXPECT_EQ(readtask.Get("illumination"), "-");
  ExpectWellFormed();
}

// ---------------------------------------------------------------------------
// The barcode element
// ---------------------------------------------------------------------------
class DbMakeXmlBarcodeTest : public DbMakeXmlFixture {
 protected:
  // Barcodes on for the colour front camera, searched in a region.
  void SetUp() override {
    DbMakeXmlFixture::SetUp();
    Cameras(false, false, true, true);
    Support(DB_ID_BARCODEENABLE, DB_BIN_COLOR_FRONT, DB_ID_BARCODEENABLE_ENUM_TRUE, {1, 2}, DB_DEVICEDATA_BOTH);
    Support(DB_ID_BARCODETYPE, DB_BIN_COLOR_FRONT, DB_ID_BARCODETYPE_ENUM_CODE128,
            {DB_ID_BARCODETYPE_ENUM_CODE128, DB_ID_BARCODETYPE_ENUM_CODE3OF9});
    Support(DB_ID_BARCODESEARCHMODE, DB_BIN_COLOR_FRONT, DB_ID_BARCODESEARCHMODE_ENUM_VERTICAL, {1, 2, 3});
    SupportRange(DB_ID_BARCODECOUNT, DB_BIN_COLOR_FRONT, 3);
    Support(DB_ID_BARCODESEARCHAREA, DB_BIN_COLOR_FRONT, DB_ID_BARCODESEARCHAREA_ENUM_PARTIALDOCUMENT, {1, 2});
    SupportRange(DB_ID_BARCODESEARCHREGIONOFFSETX, DB_BIN_COLOR_FRONT, 120);
    SupportRange(DB_ID_BARCODESEARCHREGIONOFFSETY, DB_BIN_COLOR_FRONT, 240);
    SupportRange(DB_ID_BARCODESEARCHREGIONWIDTH, DB_BIN_COLOR_FRONT, 2400);
    SupportRange(DB_ID_BARCODESEARCHREGIONHEIGHT, DB_BIN_COLOR_FRONT, 1200);
  }

  // The front camera's barcode arguments, and the rear camera's task.
  std::vector<std::pair<std::string, std::string>> FrontBarcode() {
    std::vector<std::pair<std::string, std::string>> vec;
    const std::vector<ReadTask> veccreatecamera = Sent("createcamera");
    EXPECT_EQ(veccreatecamera.size(), 2u);
    if (veccreatecamera.size() != 2) return vec;
    EXPECT_EQ(veccreatecamera[0].Get("cameraid"), "front");
    for (const auto& argument : veccreatecamera[0].vecArgument) {
      if (argument.first.rfind("barcode/", 0) == 0) vec.push_back(argument);
    }
    for (const std::string& strName : veccreatecamera[1].Names())
      EXPECT_EQ(strName.find("barcode/"), std::string::npos);
    return vec;
  }
};

TEST_F(DbMakeXmlBarcodeTest, RegionInsideTheBarcodeElement) {
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  ExpectWellFormed();
  EXPECT_EQ(FrontBarcode(), (std::vector<std::pair<std::string, std::string>>{
                                {"barcode/barcodetype", "code128"},
                                {"barcode/barcodetype", "code3of9"},
                                {"barcode/barcodesearchmode", "vertical"},
                                {"barcode/barcodecount", "3"},
                                {"barcode/barcodesearcharea", "partialdocument"},
                                {"barcode/region/imageoffsetx", "120"},
                                {"barcode/region/imageoffsety", "240"},
                                {"barcode/region/imagewidth", "2400"},
                                {"barcode/region/imageheight", "1200"},
                            }));
  // The element comes last, after the camera's own arguments.
  const ReadTask readtask = Sent("createcamera")[0];
  EXPECT_EQ(readtask.vecArgument.back().first, "barcode/region/imageheight");
  EXPECT_EQ(readtask.Get("barcodeenable"), "true");
}

TEST_F(DbMakeXmlBarcodeTest, EntireDocumentHasNoRegion) {
  Set(0, DB_ID_BARCODESEARCHAREA, DB_BIN_COLOR_FRONT, DB_ID_BARCODESEARCHAREA_ENUM_ENTIREDOCUMENT);
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  ExpectWellFormed();
  const auto vec = FrontBarcode();
  ASSERT_FALSE(vec.empty());
  EXPECT_EQ(vec.back(), (std::pair<std::string, std::string>{"barcode/barcodesearcharea", "entiredocument"}));
}

// Barcodes off, or the switch of the configuration set: no element.
TEST_F(DbMakeXmlBarcodeTest, OffOrSwitchedOffHasNoElement) {
  Set(0, DB_ID_BARCODEENABLE, DB_BIN_COLOR_FRONT, DB_ID_BARCODEENABLE_ENUM_FALSE);
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  EXPECT_TRUE(FrontBarcode().empty());
  Set(0, DB_ID_BARCODEENABLE, DB_BIN_COLOR_FRONT, DB_ID_BARCODEENABLE_ENUM_TRUE);
  Configure(OS_CFGTAG_FORCEBARCODESUBCOMMANDOFF, "1");
  m_vecsent.clear();
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  EXPECT_TRUE(FrontBarcode().empty());
  Configure(OS_CFGTAG_FORCEBARCODESUBCOMMANDOFF, "0");
  m_vecsent.clear();
  ASSERT_EQ(Run(), OS_STS_SUCCESS);
  EXPECT_FALSE(FrontBarcode().empty());
}

// A value or a capability the lookup cannot name ends the element early,
// closed; the camera is still set up. Each case breaks an earlier part of
// the element than the one before.
TEST_F(DbMakeXmlBarcodeTest, UnnamedValuesCloseTheElementEarly) {
  const struct {
    const char* szWhat;
    std::function<void()> fnBreak;
    const char* szLog;
    std::vector<std::string> vecNames;  // the element's arguments still written
  } acase[] = {
      {"a region width without a lookup record",
       [&] { Slot(0, DB_ID_BARCODESEARCHREGIONWIDTH, DB_BIN_COLOR_FRONT)->SetLookup(nullptr); },
       "pdblookup2 is NULL (23)",
       {"barcode/barcodetype", "barcode/barcodetype", "barcode/barcodesearchmode", "barcode/barcodecount",
        "barcode/barcodesearcharea", "barcode/region/imageoffsetx", "barcode/region/imageoffsety"}},
      {"a search mode without a lookup record",
       [&] { Slot(0, DB_ID_BARCODESEARCHMODE, DB_BIN_COLOR_FRONT)->SetLookup(nullptr); },
       "pdblookup2 is NULL (24)",
       {"barcode/barcodetype", "barcode/barcodetype"}},
      {"a barcode type without an entry",
       [&] { dbcontainer::AsEnum(Slot(0, DB_ID_BARCODETYPE, DB_BIN_COLOR_FRONT))->AddCurrentItem(999); },
       "pdblookupenum is NULL for the Id = 25; Value = 999",
       {"barcode/barcodetype", "barcode/barcodetype"}},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    c.fnBreak();
    m_vecsent.clear();
    const size_t sizetFrom = LogSize();
    ASSERT_EQ(Run(), OS_STS_SUCCESS);
    ExpectWellFormed();
    const std::string strLog = LogFrom(sizetFrom);
    EXPECT_NE(strLog.find(c.szLog), std::string::npos) << strLog;
    EXPECT_NE(strLog.find("MakeXmlBarCodeSubCommand() failed..."), std::string::npos);
    std::vector<std::string> vecNames;
    for (const auto& argument : FrontBarcode()) vecNames.push_back(argument.first);
    EXPECT_EQ(vecNames, c.vecNames);
    // Later tasks follow as usual.
    EXPECT_EQ(Sent("windowadd").size(), 2u);
  }
}

// ---------------------------------------------------------------------------
// Single arguments
// ---------------------------------------------------------------------------
TEST_F(DbMakeXmlTest, AddArgumentByContainerAndName) {
  SupportRange(DB_ID_BARCODECOUNT, DB_BIN_COLOR_FRONT, 3);
  Support(DB_ID_BARCODESEARCHAREA, DB_BIN_COLOR_FRONT, DB_ID_BARCODESEARCHAREA_ENUM_PARTIALDOCUMENT, {1, 2});
  Support(DB_ID_BARCODESEARCHMODE, DB_BIN_COLOR_FRONT, 9, {9});
  Slot(0, DB_ID_BARCODETYPE, DB_BIN_COLOR_FRONT)->SetLookup(nullptr);
  Support(DB_ID_BARCODETYPE, DB_BIN_COLOR_FRONT, 1, {1});
  const std::string strLong(70, 'n');
  const struct {
    const char* szWhat;
    EDBID edbid;
    EDBBIN edbbin;
    const char* szName;
    EOSSTS eosstsResult;
    std::vector<std::pair<std::string, std::string>> vecArgument;
    const char* szLog;
  } acase[] = {
      {"range", DB_ID_BARCODECOUNT, DB_BIN_COLOR_FRONT, nullptr, OS_STS_SUCCESS, {{"barcodecount", "3"}}, nullptr},
      {"enumeration",
       DB_ID_BARCODESEARCHAREA,
       DB_BIN_COLOR_FRONT,
       nullptr,
       OS_STS_SUCCESS,
       {{"barcodesearcharea", "partialdocument"}},
       nullptr},
      {"given name", DB_ID_BARCODECOUNT, DB_BIN_COLOR_FRONT, "count", OS_STS_SUCCESS, {{"count", "3"}}, nullptr},
      {"name of 70 characters",
       DB_ID_BARCODECOUNT,
       DB_BIN_COLOR_FRONT,
       strLong.c_str(),
       OS_STS_SUCCESS,
       {{std::string(62, 'n'), "3"}},
       nullptr},
      {"no access", DB_ID_BARCODECOUNT, DB_BIN_COLOR_REAR, nullptr, OS_STS_SUCCESS, {}, nullptr},
      {"value without an entry",
       DB_ID_BARCODESEARCHMODE,
       DB_BIN_COLOR_FRONT,
       nullptr,
       OS_STS_FAIL,
       {},
       "pdblookupenum is NULL for the Id = 24; Value = 9"},
      {"no lookup record", DB_ID_BARCODETYPE, DB_BIN_COLOR_FRONT, nullptr, OS_STS_FAIL, {}, "pdblookup2 is NULL (25)"},
      {"string", DB_ID_TIMEDATE, DB_BIN_MACHINE, nullptr, OS_STS_FAIL, {}, "Unrecognized container type...3"},
  };
  dbcontainer::AsString(Slot(0, DB_ID_TIMEDATE, DB_BIN_MACHINE))
      ->InitString(DB_ID_TIMEDATE, DB_BIN_MACHINE, DB_ACCESS_READWRITE, DB_DEVICEDATA_BOTH, 64, "now", "now", "now",
                   "now");
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    StartDeviceTask();
    const size_t sizetFrom = LogSize();
    EXPECT_EQ(m_pdatabase->MakeXmlAddArgument(m_pdatabase->GetDbMakeXml(), c.edbid, c.edbbin, c.szName),
              c.eosstsResult);
    const std::string strTask = FinishDeviceTask();
    EXPECT_EQ(XmlLint(strTask), 0);
    EXPECT_EQ(ReadBack(strTask).vecArgument, c.vecArgument);
    if (c.szLog) {
      EXPECT_NE(LogFrom(sizetFrom).find(c.szLog), std::string::npos) << LogFrom(sizetFrom);
    }
  }
  EXPECT_EQ(m_pdatabase->MakeXmlAddArgument(nullptr, DB_ID_BARCODECOUNT, DB_BIN_COLOR_FRONT, nullptr), OS_STS_FAIL);
}

// ---------------------------------------------------------------------------
// Toggle patches and the streams the GUI bridge reports
// ---------------------------------------------------------------------------
TEST_F(DbMakeXmlTest, PatchToggleState) {
  const struct {
    long lTogglePatch;  // 0: not supported
    bool blBitonalFront;
    bool blColorFront;
    EDBBIN edbbin;
    const char* szState;
  } acase[] = {
      {0, true, true, DB_BIN_BITONAL_FRONT, "off"},
      {DB_ID_TOGGLEPATCH_ENUM_NONE, true, true, DB_BIN_BITONAL_FRONT, "off"},
      {DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES, true, true, DB_BIN_BITONAL_FRONT, "alwayson"},
      {DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES, true, true, DB_BIN_COLOR_FRONT, "alwayson"},
      {DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES, true, false, DB_BIN_BITONAL_FRONT, "on"},
      {DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES, true, false, DB_BIN_COLOR_FRONT, "off"},
      {DB_ID_TOGGLEPATCH_ENUM_FRONTSIDE, false, true, DB_BIN_COLOR_FRONT, "on"},
      {DB_ID_TOGGLEPATCH_ENUM_DETECTONLY, true, true, DB_BIN_BITONAL_FRONT, "alwayson"},
      {DB_ID_TOGGLEPATCH_ENUM_BOTHSIDES, true, true, DB_BIN_MACHINE, "off"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(std::to_string(c.lTogglePatch) + " " + std::to_string(c.edbbin));
    if (c.lTogglePatch)
      Support(DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, c.lTogglePatch, {1, 2, 3, 4, 5});
    else
      Support(DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, 2, {1, 2, 3, 4, 5}, DB_DEVICEDATA_NONE, DB_ACCESS_NOTSUPPORTED);
    Cameras(c.blBitonalFront, false, c.blColorFront, false);
    char szState[16] = "unchanged";
    m_pdatabase->GetPatchToggleState(c.edbbin, szState, sizeof szState);
    EXPECT_STREQ(szState, c.szState);
  }
  // A short buffer gets what fits; none is refused.
  char szShort[4] = {};
  m_pdatabase->GetPatchToggleState(DB_BIN_BITONAL_FRONT, szShort, sizeof szShort);
  EXPECT_STREQ(szShort, "alw");
  const size_t sizetFrom = LogSize();
  m_pdatabase->GetPatchToggleState(DB_BIN_BITONAL_FRONT, nullptr, 16);
  EXPECT_NE(LogFrom(sizetFrom).find("a_szBuffer is NULL..."), std::string::npos);
}

// The stream's pixel format is its own: "bw" for bitonal, and for colour
// "gray_8" exactly when its window asks for gray.
TEST_F(DbMakeXmlTest, NeedSendWindowAddGivesTheStreamsFormat) {
  const struct {
    const char* szWhat;
    std::function<void()> fnSetUp;
    EDBBIN edbbin;
    EDBID_WINDOW edbidwindow;
    bool blNeed;
    const char* szFormat;
  } acase[] = {
      {"bitonal on", [] {}, DB_BIN_BITONAL_FRONT, 0, true, "bw"},
      {"bitonal rear on", [] {}, DB_BIN_BITONAL_REAR, 0, true, "bw"},
      {"colour off, its side's bitonal on", [] {}, DB_BIN_COLOR_FRONT, 0, false, "rgb_24"},
      {"colour in gray",
       [&] {
         Cameras(true, true, true, true);
         Set(0, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT, 2);
       },
       DB_BIN_COLOR_FRONT, 0, true, "gray_8"},
      {"colour in colour", [&] { Set(0, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT, 3); }, DB_BIN_COLOR_FRONT, 0, true,
       "rgb_24"},
      {"rear colour in gray", [&] { Set(0, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_REAR, 2); }, DB_BIN_COLOR_REAR, 0, true,
       "gray_8"},
      {"window 1 in gray, window 0 in colour",
       [&] {
         Set(1, DB_ID_CAMERAENABLE, DB_BIN_COLOR_FRONT, DB_ID_CAMERAENABLE_ENUM_TRUE);
         Set(1, DB_ID_IMAGEFORMAT, DB_BIN_COLOR_FRONT, 2);
       },
       DB_BIN_COLOR_FRONT, 1, true, "gray_8"},
      {"window 1 bitonal off and its colour on", [] {}, DB_BIN_BITONAL_FRONT, 1, false, "bw"},
      {"automatic colour asks for bitonal",
       [&] {
         Cameras(false, false, true, false);
         Support(DB_ID_AUTOCOLORCONTENT, DB_BIN_BITONAL_FRONT, DB_ID_AUTOCOLORCONTENT_ENUM_HIGH, {1, 2, 3, 4});
       },
       DB_BIN_BITONAL_FRONT, 0, true, "bw"},
      {"automatic colour none",
       [&] { Set(0, DB_ID_AUTOCOLORCONTENT, DB_BIN_BITONAL_FRONT, DB_ID_AUTOCOLORCONTENT_ENUM_NONE); },
       DB_BIN_BITONAL_FRONT, 0, false, "bw"},
      {"toggle patch forces it",
       [&] {
         Support(DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, DB_ID_TOGGLEPATCH_ENUM_SAMESIDE, {1, 2, 3, 4, 5});
       },
       DB_BIN_BITONAL_FRONT, 0, true, "bw"},
      {"detect-only toggle patch",
       [&] { Set(0, DB_ID_TOGGLEPATCH, DB_BIN_MACHINE, DB_ID_TOGGLEPATCH_ENUM_DETECTONLY); }, DB_BIN_BITONAL_FRONT, 0,
       false, "bw"},
      {"rear while the flatbed scans",
       [&] {
         Cameras(true, true, true, true);
         Set(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_FLATBED);
       },
       DB_BIN_COLOR_REAR, 0, false, "unchanged"},
      {"front while the flatbed scans", [] {}, DB_BIN_COLOR_FRONT, 0, true, "rgb_24"},
      {"rear under the flatbed override",
       [&] {
         Set(0, DB_ID_PAPERSOURCE, DB_BIN_MACHINE, DB_ID_PAPERSOURCE_ENUM_ADF);
         m_pdatabase->SetUnitOverride(DB_FIRMWARE_FLATBED);
       },
       DB_BIN_BITONAL_REAR, 0, false, "unchanged"},
      {"machine bin", [&] { m_pdatabase->SetUnitOverride(0); }, DB_BIN_MACHINE, 0, false, "rgb_24"},
      {"window out of range", [] {}, DB_BIN_BITONAL_FRONT, 11, false, "unchanged"},
      {"negative window", [] {}, DB_BIN_BITONAL_FRONT, -1, false, "unchanged"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szWhat);
    c.fnSetUp();
    char szFormat[16] = "unchanged";
    EXPECT_EQ(m_pdatabase->GetNeedSendWindowAdd(c.edbbin, c.edbidwindow, DB_DEVICEDATA_ALL, szFormat, sizeof szFormat),
              c.blNeed);
    EXPECT_STREQ(szFormat, c.szFormat);
  }
}

}  // namespace
}  // namespace dbtest
