// The get command on the database an opened simulated scanner leaves: every
// capability's report pair against an independent Python reading of the
// sources and of the scanner's inquiry, the special ids, the reports the
// engine feeds (through the engine seam), bad input, and that a get changes
// nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "db_cdblock.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "drv_opened_fixture.h"
#include "os_cosxml.h"

using drvtest::Reply;
using drvtest::Task;

namespace {

class DrvGetTest : public drvtest::DrvOpenedFixture {
 protected:
  // xmllint's verdict on the files (0 when every one is well-formed).
  static int XmlLint(const std::vector<std::string>& a_vecPaths) {
    std::vector<std::string> vecArgument = {"xmllint", "--noout"};
    vecArgument.insert(vecArgument.end(), a_vecPaths.begin(), a_vecPaths.end());
    int iStatus = -1;
    testsupport::RunProgram(vecArgument, &iStatus);
    return iStatus;
  }

  CDbDatum* Machine(EDBID a_edbid) { return m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid); }
};

// The camera bins of window 0 the tests make current in turn.
const EDBBIN s_aedbbinCamera[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR};

// ---------------------------------------------------------------------------
// Every capability, judged by the Python reading
// ---------------------------------------------------------------------------
// "printer" names the cartridge report, not a capability (two capabilities
// share that name): it has its own test.
TEST_F(DrvGetTest, EveryCapabilityAgreesWithThePythonReading) {
  const std::string strReplies = testsupport::RootPath("replies");
  std::filesystem::create_directories(strReplies);
  std::vector<std::string> vecPaths;
  for (EDBBIN edbbin : s_aedbbinCamera) {
    SelectBin(edbbin);
    for (const std::string& strId : Lexicons()) {
      if (strId == "printer") continue;
      const Reply reply = Get(strId);
      vecPaths.push_back(strReplies + "/" + std::to_string(edbbin) + "-" + strId + ".xml");
      testsupport::WriteFile(vecPaths.back(), reply.strText);
      EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0) << strId;
    }
  }
  ASSERT_GT(vecPaths.size(), 4 * 150u);
  EXPECT_EQ(XmlLint(vecPaths), 0);
  int iStatus = -1;
  const std::string strOutput = Oracle({"reports", m_strState, m_strConfig, m_strLookup, strReplies}, &iStatus);
  EXPECT_EQ(iStatus, 0) << strOutput;
  EXPECT_NE(strOutput.find(std::to_string(vecPaths.size()) + " replies judged"), std::string::npos) << strOutput;
}

TEST_F(DrvGetTest, IdListNamesTheSupportedCapabilitiesInIdOrder) {
  const Reply reply = Get("idlist");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{"reportidlist"});
  int iStatus = -1;
  const std::string strExpected = Oracle({"idlist", m_strState, m_strConfig, m_strLookup}, &iStatus);
  ASSERT_EQ(iStatus, 0) << strExpected;
  std::string strGot;
  for (const std::string& strId : All(reply.strText, "id")) strGot += strId + "\n";
  EXPECT_EQ(strGot, strExpected);
  EXPECT_GT(strGot.size(), 100u);
}

// ---------------------------------------------------------------------------
// Access, bins and contexts
// ---------------------------------------------------------------------------
// Disabled answers "notavailable" with the pair, hidden and unsupported
// "fail" alone; readonly is "false" for the writable accesses only.
TEST_F(DrvGetTest, AccessDecidesStatusAndReadonly) {
  const struct {
    EDBACCESS edbaccess;
    const char* szStatus;
    const char* szReadonly;  // null: no reports
  } acase[] = {
      {DB_ACCESS_DISABLED, "notavailable", "true"},  {DB_ACCESS_HIDDEN, "fail", nullptr},
      {DB_ACCESS_READONLY, "success", "true"},       {DB_ACCESS_READWRITE, "success", "false"},
      {DB_ACCESS_READWRITEDISABLED, "success", "false"}, {DB_ACCESS_READWRITEHIDDEN, "success", "false"},
      {DB_ACCESS_READONLYHIDDEN, "success", "true"}, {DB_ACCESS_NOTSUPPORTED, "fail", nullptr},
  };
  CDbDatum* pdbdatum = Machine(DB_ID_UNITS);
  ASSERT_NE(pdbdatum, nullptr);
  for (const auto& c : acase) {
    SCOPED_TRACE(c.edbaccess);
    m_pdatabase->SetAccess(pdbdatum, c.edbaccess);
    const Reply reply = Get("units");
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, c.szStatus);
    if (!c.szReadonly) {
      EXPECT_TRUE(Reports(reply.strText).empty()) << reply.strText;
      continue;
    }
    EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{"reportenum", "reportenumdefault"}));
    EXPECT_EQ(All(reply.strText, "readonly"), (std::vector<std::string>{c.szReadonly, c.szReadonly}));
  }
  m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
}

// A camera's capability names its window-bin and its kind of image, a
// machine one neither; the current window-bin picks the camera.
TEST_F(DrvGetTest, CameraCapabilitiesCarryTheirWindowTagAndContext) {
  const struct {
    EDBBIN edbbin;
    const char* szWindowTag;
    const char* szContext;
  } acase[] = {{DB_BIN_BITONAL_FRONT, "frontbitonal_00", "$bitonal"},
               {DB_BIN_BITONAL_REAR, "rearbitonal_00", "$bitonal"},
               {DB_BIN_COLOR_FRONT, "frontcolor_00", "$color"},
               {DB_BIN_COLOR_REAR, "rearcolor_00", "$color"}};
  for (const auto& c : acase) {
    SelectBin(c.edbbin);
    const Reply reply = Get("imagedeskew");
    EXPECT_EQ(All(reply.strText, "windowtag"), (std::vector<std::string>{c.szWindowTag, c.szWindowTag}));
    EXPECT_EQ(All(reply.strText, "context"), (std::vector<std::string>{c.szContext, c.szContext}));
    EXPECT_EQ(All(reply.strText, "validcontext"), (std::vector<std::string>{"$bitonal", "$color"}));
    const Reply replyMachine = Get("units");
    EXPECT_TRUE(All(replyMachine.strText, "windowtag").empty());
    EXPECT_EQ(All(replyMachine.strText, "context"), (std::vector<std::string>{"$configuration", "$configuration"}));
    EXPECT_EQ(All(replyMachine.strText, "validcontext"), std::vector<std::string>{"$configuration"});
  }
}

// ---------------------------------------------------------------------------
// Regions
// ---------------------------------------------------------------------------
// Each field's value, then its range, for the current and the default
// report; the information is the first field's under the region's name.
TEST_F(DrvGetTest, RegionsReportTheirFieldsWithRanges) {
  SelectBin(DB_BIN_COLOR_FRONT);
  // The simulated scanner has no barcode reader: its region is offered here.
  const EDBID aedbidBarcode[] = {DB_ID_BARCODESEARCHREGIONOFFSETX, DB_ID_BARCODESEARCHREGIONOFFSETY,
                                 DB_ID_BARCODESEARCHREGIONWIDTH, DB_ID_BARCODESEARCHREGIONHEIGHT};
  EXPECT_EQ(Get("barcodesearchregion").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("hdbdatum is NULL for EDBID 21"));
  for (EDBID edbid : aedbidBarcode) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_COLOR_FRONT, edbid);
    ASSERT_NE(pdbdatum, nullptr);
    m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
    m_pdatabase->RangeSetDefault(pdbdatum, 600 + edbid, 0, 12000 + edbid, 12);
  }
  const struct {
    const char* szId;
    std::vector<EDBID> vecedbid;
  } acase[] = {
      {"imagecroppingregion",
       {DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT, DB_ID_IMAGESKEWANGLE}},
      {"barcodesearchregion", {aedbidBarcode, aedbidBarcode + 4}},
  };
  const char* const aszField[] = {"imageoffsetx", "imageoffsety", "imagewidth", "imageheight", "imageskewangle"};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szId);
    const Reply reply = Get(c.szId);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{"reportregion", "reportregiondefault"}));
    EXPECT_EQ(All(reply.strText, "id"), (std::vector<std::string>{c.szId, c.szId}));
    EXPECT_TRUE(All(reply.strText, "valuecurrent").empty());
    std::string strExpected;
    for (bool blDefault : {false, true}) {
      for (size_t sizet = 0; sizet < c.vecedbid.size(); ++sizet) {
        CDbDatum* pdbdatum = m_pdatabase->Find(c.vecedbid[sizet]);
        ASSERT_NE(pdbdatum, nullptr);
        auto Number = [&](long a_lCurrent, long a_lDefault) {
          return std::to_string(blDefault ? a_lDefault : a_lCurrent);
        };
        strExpected += std::string(aszField[sizet]) + "=" +
                       Number(m_pdatabase->GetCurrentLong(pdbdatum), m_pdatabase->GetDefaultLong(pdbdatum)) + " " +
                       Number(m_pdatabase->RangeGetCurrentMin(pdbdatum), m_pdatabase->RangeGetDefaultMin(pdbdatum)) +
                       " " +
                       Number(m_pdatabase->RangeGetCurrentMax(pdbdatum), m_pdatabase->RangeGetDefaultMax(pdbdatum)) +
                       " " +
                       Number(m_pdatabase->RangeGetCurrentStep(pdbdatum), m_pdatabase->RangeGetDefaultStep(pdbdatum)) +
                       "\n";
      }
    }
    std::string strGot;
    std::regex regex("<(image[a-z]+)>(-?[0-9]+)</image[a-z]+>\n\t+<range>\n\t+<rangemin>(-?[0-9]+)</rangemin>\n\t+"
                     "<rangemax>(-?[0-9]+)</rangemax>\n\t+<rangestep>(-?[0-9]+)</rangestep>");
    for (std::sregex_iterator it(reply.strText.begin(), reply.strText.end(), regex), end; it != end; ++it)
      strGot += (*it)[1].str() + "=" + (*it)[2].str() + " " + (*it)[3].str() + " " + (*it)[4].str() + " " +
                (*it)[5].str() + "\n";
    EXPECT_EQ(strGot, strExpected) << reply.strText;
  }
}

// ---------------------------------------------------------------------------
// Special ids
// ---------------------------------------------------------------------------
// Without the engine's operations these answer "fail" with their reason in
// the log; colortablelist answers too.
TEST_F(DrvGetTest, UnsupportedSpecialIdsAnswerFail) {
  const struct {
    const char* szId;
    const char* szLog;
  } acase[] = {
      {"colortablelist", "We don't support <get> on <colortablelist>..."},
      {"customoverride", "We don't support <get> on <customoverride>..."},
      {"logactivity", "GetLog failed...1"},
      {"logeol", "GetLog failed...1"},
      {"loggeneral", "GetLog failed...1"},
      {"loggeneralxml", "GetLog failed...1"},
      {"logoperator", "GetLog failed...1"},
      {"logservice", "GetLog failed...1"},
      {"logversion", "GetLog failed...1"},
      {"logmeter", "GetLog failed...1"},
      {"windowlist", "CmdReportWindowList failed..."},
      {"outputimagecount", "GetOutputImageCount failed..."},
      {"printer", "GetCartridgeDetected not supported (no 'cartridgedetect')"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szId);
    // A reply of its own before each, which the get must not hand back.
    ASSERT_EQ(Get("units").strStatus, "success");
    const Reply reply = Get(c.szId);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "fail");
    EXPECT_TRUE(Reports(reply.strText).empty()) << reply.strText;
    EXPECT_TRUE(m_plog->Contains(c.szLog));
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
  }
}

// The profile list: "Default", current, alone in the test's root.
TEST_F(DrvGetTest, TheProfileListAnswersItsReport) {
  const Reply reply = Get("profilelist");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{"reportprofilelist"}) << reply.strText;
  EXPECT_NE(reply.strText.find("<value><![CDATA[Default]]></value>"), std::string::npos) << reply.strText;
  EXPECT_NE(reply.strText.find("<profilestate>current</profilestate>"), std::string::npos) << reply.strText;
}

// The profile groups answer a new file of the log directory holding the
// current profile's document (the caller removes it), its size the
// report's; "profile" answers the current profile.
TEST_F(DrvGetTest, ProfileIdsAnswerTheCurrentProfile) {
  std::vector<std::string> vecPaths;
  for (const char* szId : {"profileall", "profileiaprinter", "profilenoiaprinter", "profileblob"}) {
    SCOPED_TRACE(szId);
    const Reply reply = Get(szId);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{"reportdatafile"});
    EXPECT_EQ(All(reply.strText, "id"), std::vector<std::string>{szId});
    const std::vector<std::string> vecFile = All(reply.strText, "filename");
    const std::vector<std::string> vecSize = All(reply.strText, "datasize");
    ASSERT_EQ(vecFile.size(), 1u);
    ASSERT_EQ(vecSize.size(), 1u);
    EXPECT_EQ(std::filesystem::path(vecFile[0]).parent_path(), std::filesystem::path(m_strLogs));
    EXPECT_EQ(std::filesystem::path(vecFile[0]).filename().string().substr(0, 3), "rdf");
    EXPECT_EQ(std::to_string(std::filesystem::file_size(vecFile[0])), vecSize[0]);
    vecPaths.push_back(vecFile[0]);
  }
  EXPECT_EQ(XmlLint(vecPaths), 0);
  const Reply reply = Get("profile");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{"reportprofileitem"});
  EXPECT_NE(reply.strText.find("\t\t<profileitem>\n\t\t\t<value><![CDATA[Default]]></value>\n"), std::string::npos)
      << reply.strText;
  EXPECT_EQ(All(reply.strText, "profilestate"), std::vector<std::string>{"current"});
}

// ---------------------------------------------------------------------------
// Reports the engine feeds, through its seam
// ---------------------------------------------------------------------------
// The engine as the seam shows it: what it answers, and what it was given.
struct EngineProbe {
  DeviceLog devicelog = {};
  EDEVSTS edevstsLog = DEV_STS_SUCCESS;
  std::string strLogText = "twelve bytes";
  bool blCount = true;
  long lCount = 6;
  EDEVSTS edevstsCartridge = DEV_STS_SUCCESS;
  CDatabase* pdatabase = nullptr;
  int iCalls = 0;
  int iLockDepth = -1;  // the database lock's depth during the last device call
  bool blAsTask = false;
  COsXmlTask* posxmltask = reinterpret_cast<COsXmlTask*>(1);

  DrvEngineSeam Seam() {
    DrvEngineSeam drvengineseam = {};
    drvengineseam.pvUser = this;
    drvengineseam.pfnGetDeviceLog = [](void* a_pv) { return &static_cast<EngineProbe*>(a_pv)->devicelog; };
    drvengineseam.pfnGetLog = [](void* a_pv, DeviceLog* a_pdevicelog, bool) {
      auto* pprobe = static_cast<EngineProbe*>(a_pv);
      ++pprobe->iCalls;
      pprobe->iLockDepth = CDbLock::Depth();
      const std::string strPath = testsupport::RootPath("device.log");
      testsupport::WriteFile(strPath, pprobe->strLogText);
      std::snprintf(a_pdevicelog->szFilename, sizeof a_pdevicelog->szFilename, "%s", strPath.c_str());
      return pprobe->edevstsLog;
    };
    drvengineseam.pfnGetOutputImageCount = [](void* a_pv, long* a_plCount) {
      auto* pprobe = static_cast<EngineProbe*>(a_pv);
      *a_plCount = pprobe->lCount;
      return pprobe->blCount;
    };
    drvengineseam.pfnGetCartridgeDetected = [](void* a_pv) {
      auto* pprobe = static_cast<EngineProbe*>(a_pv);
      ++pprobe->iCalls;
      pprobe->iLockDepth = CDbLock::Depth();
      return pprobe->edevstsCartridge;
    };
    drvengineseam.pfnCmdReportWindowList = [](void* a_pv, bool a_blAsTask, COsXmlTask* a_posxmltask) {
      auto* pprobe = static_cast<EngineProbe*>(a_pv);
      pprobe->blAsTask = a_blAsTask;
      pprobe->posxmltask = a_posxmltask;
      pprobe->pdatabase->CreateTaskReportStatus("success", nullptr);
      return OS_STS_SUCCESS;
    };
    return drvengineseam;
  }
};

class DrvGetEngineTest : public DrvGetTest {
 protected:
  void SetUp() override {
    DrvGetTest::SetUp();
    m_probe.pdatabase = m_pdatabase.get();
    m_drvengineseam = m_probe.Seam();
    CDrvProcessCommands::SetEngineSeam(&m_drvengineseam);
  }
  EngineProbe m_probe;
  DrvEngineSeam m_drvengineseam = {};
};

// The driver's log record asks for the log of the current unit; the device
// is asked without the database lock; the reply names the file and its size.
TEST_F(DrvGetEngineTest, LogIdsAskTheDeviceForTheirLog) {
  const struct {
    const char* szId;
    uint32_t u32LogType;
  } acase[] = {{"logactivity", 1}, {"logoperator", 2}, {"logservice", 3}, {"logversion", 5},
               {"loggeneral", 6},  {"logeol", 7},      {"loggeneralxml", 11}, {"logmeter", 13}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szId);
    const Reply reply = Get(c.szId);
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, "success");
    EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{"reportdatafile"});
    EXPECT_EQ(All(reply.strText, "id"), std::vector<std::string>{c.szId});
    EXPECT_EQ(All(reply.strText, "filename"), std::vector<std::string>{testsupport::RootPath("device.log")});
    EXPECT_EQ(All(reply.strText, "datasize"), std::vector<std::string>{"12"});
    EXPECT_EQ(m_probe.devicelog.u32LogType, c.u32LogType);
    EXPECT_EQ(m_probe.devicelog.edbidfirmware, DB_FIRMWARE_ADF);
    EXPECT_EQ(m_probe.iLockDepth, 0);
  }
  m_probe.edevstsLog = DEV_STS_COVEROPEN;
  EXPECT_EQ(Get("logservice").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("GetLog failed...7"));
}

TEST_F(DrvGetEngineTest, OutputImageCountIsAReadOnlyRange) {
  const Reply reply = Get("outputimagecount");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{"reportrange", "reportrangedefault"}));
  EXPECT_EQ(All(reply.strText, "id"), (std::vector<std::string>{"outputimagecount", "outputimagecount"}));
  EXPECT_EQ(All(reply.strText, "readonly"), (std::vector<std::string>{"true", "true"}));
  EXPECT_EQ(All(reply.strText, "valuecurrent"), (std::vector<std::string>{"6", "0"}));
  EXPECT_EQ(All(reply.strText, "context"), (std::vector<std::string>{"$configuration", "$configuration"}));
  EXPECT_EQ(All(reply.strText, "validcontext"), (std::vector<std::string>{"$configuration", "$configuration"}));
  // XFERCOUNT's default range, for both.
  EXPECT_EQ(All(reply.strText, "rangemin"), (std::vector<std::string>{"0", "0"}));
  EXPECT_EQ(All(reply.strText, "rangemax"), (std::vector<std::string>{"32767", "32767"}));
  EXPECT_EQ(All(reply.strText, "rangestep"), (std::vector<std::string>{"1", "1"}));

  m_probe.blCount = false;
  EXPECT_EQ(Get("outputimagecount").strStatus, "fail");
  m_probe.blCount = true;
  m_pdatabase->SetAccess(Machine(DB_ID_XFERCOUNT), DB_ACCESS_NOTSUPPORTED);
  EXPECT_EQ(Get("outputimagecount").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("hdbdatum is NULL for DB_ID_XFERCOUNT"));
}

// A model that detects its cartridge refreshes the state from the device
// (without the database lock) and reports the capability's pair.
TEST_F(DrvGetEngineTest, PrinterReportsTheCartridgeOfAModelThatDetectsIt) {
  EXPECT_EQ(Get("printer").strStatus, "fail");
  EXPECT_EQ(m_probe.iCalls, 0);
  m_pdatabase->ConfigAdd("cartridgedetect", DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(Get("printer").strStatus, "badvalue");  // the capability is not supported
  CDbDatum* pdbdatum = Machine(DB_ID_CARTRIDGEDETECTED);
  ASSERT_NE(pdbdatum, nullptr);
  m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READONLY);
  for (long lValue : {DB_ID_CARTRIDGEDETECTED_ENUM_NONE, DB_ID_CARTRIDGEDETECTED_ENUM_PREIMAGEFRONT}) {
    m_pdatabase->EnumAddDefaultItem(pdbdatum, lValue);
    m_pdatabase->EnumAddItem(pdbdatum, lValue);
  }
  pdbdatum->SetDefaultLong(DB_ID_CARTRIDGEDETECTED_ENUM_NONE);
  m_pdatabase->ForceCurrentLong(pdbdatum, DB_ID_CARTRIDGEDETECTED_ENUM_PREIMAGEFRONT);
  const Reply reply = Get("printer");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), (std::vector<std::string>{"reportenum", "reportenumdefault"}));
  EXPECT_EQ(All(reply.strText, "valuecurrent"), (std::vector<std::string>{"preimagefront", "none"}));
  EXPECT_EQ(All(reply.strText, "value"), (std::vector<std::string>{"none", "preimagefront", "none", "preimagefront"}));
  EXPECT_EQ(m_probe.iLockDepth, 0);
  m_probe.edevstsCartridge = DEV_STS_COVEROPEN;
  EXPECT_EQ(Get("printer").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("GetCartridgeDetected failed...7"));
}

// The driver object builds the whole reply, in the database's builder.
TEST_F(DrvGetEngineTest, WindowListIsTheDriversReply) {
  const Reply reply = Get("windowlist");
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_TRUE(m_probe.blAsTask);
  EXPECT_EQ(m_probe.posxmltask, nullptr);
}

// ---------------------------------------------------------------------------
// The scanner's colour dropouts
// ---------------------------------------------------------------------------
TEST_F(DrvGetTest, EcdoListHasAnItemPerEntryUpToTheFirstEmptyOne) {
  Reply reply = Get("ecdolist");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_EQ(Reports(reply.strText), std::vector<std::string>{"reportecdolist"});
  EXPECT_EQ(reply.strText.find("<ecdoitem>"), std::string::npos);

  DbEcdoHeader* pdbecdoheader = m_pdatabase->DeviceGetEcdoHeader();
  const struct {
    uint32_t u32Value;
    const char* szName;
    const char* szLabel;
  } arecord[] = {{3, "red", "Red"}, {7, "green", "Green & <more>"}, {0, "ended", "Ended"}, {9, "blue", "Blue"}};
  for (size_t sizet = 0; sizet < std::size(arecord); ++sizet) {
    DbEcdoRecord& dbecdorecord = pdbecdoheader->adbecdorecord[sizet];
    dbecdorecord.u32Value = arecord[sizet].u32Value;
    std::snprintf(dbecdorecord.szName, sizeof dbecdorecord.szName, "%s", arecord[sizet].szName);
    std::snprintf(dbecdorecord.szLabel, sizeof dbecdorecord.szLabel, "%s", arecord[sizet].szLabel);
  }
  reply = Get("ecdolist");
  ExpectSound(reply);
  EXPECT_EQ(All(reply.strText, "ecdo"), (std::vector<std::string>{"red", "green"}));
  EXPECT_NE(reply.strText.find("<text><![CDATA[Green & <more>]]></text>"), std::string::npos) << reply.strText;
}

// ---------------------------------------------------------------------------
// Bad input, and values that cannot be reported
// ---------------------------------------------------------------------------
// Ids are whole and case-sensitive; the last id element wins; whatever
// comes, the reply is whole and the database and state are left alone.
TEST_F(DrvGetTest, BadIdsAnswerFail) {
  std::string strUnsupported;
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL && strUnsupported.empty(); ++iId) {
    const DbLookup2* pdblookup2 = m_pdatabase->LookupEdbid(static_cast<EDBID>(iId));
    if (pdblookup2 && pdblookup2->szLexicon[0] && !m_pdatabase->IsIdSupported(static_cast<EDBID>(iId)))
      strUnsupported = pdblookup2->szLexicon;
  }
  ASSERT_FALSE(strUnsupported.empty());
  const struct {
    std::string strGet;
    const char* szStatus;
  } acase[] = {
      {"<get><id>nosuchcapability</id></get>", "fail"},
      {"<get><id> imageformat</id></get>", "fail"},
      {"<get><id>IMAGEFORMAT</id></get>", "fail"},
      {"<get><id></id></get>", "fail"},
      {"<get><id>" + std::string(2000, 'i') + "</id></get>", "fail"},
      {"<get><id>imageformat</id><id>nosuchcapability</id></get>", "fail"},
      {"<get><id>nosuchcapability</id><id>imageformat</id></get>", "success"},
      {"<get><id>imageformat</id><id>" + std::string(2000, 'i') + "</id></get>", "fail"},
      {"<get></get>", "fail"},
      {"<get><id>" + strUnsupported + "</id></get>", "fail"},
  };
  const std::vector<std::string> vecstrValues = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strGet.substr(0, 80));
    const Reply reply = Run(Task(c.strGet));
    ExpectSound(reply);
    EXPECT_EQ(reply.strStatus, c.szStatus);
    EXPECT_EQ(Reports(reply.strText).size(), c.szStatus == std::string("success") ? 2u : 0u);
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
  }
  EXPECT_TRUE(m_plog->Contains("id too long..."));
  EXPECT_EQ(Values(), vecstrValues);
}

// A value or entry that the lookup does not know fails the report: the
// database and its lookup are dumped into the log directory, never into the
// working directory.
TEST_F(DrvGetTest, ValueWithoutLookupEntryAnswersBadvalueAndDumpsToTheLogDirectory) {
  CDbDatum* pdbdatum = Machine(DB_ID_UNITS);
  const long lValue = pdbdatum->GetCurrentLongNoCallback();
  pdbdatum->ForceCurrentLong(99);
  Reply reply = Get("units");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "badvalue");
  EXPECT_TRUE(Reports(reply.strText).empty());
  EXPECT_TRUE(m_plog->Contains("pdblookupenum is NULL id=246 bin=1 value=99"));
  std::vector<std::string> vecLogs;
  for (const auto& entry : std::filesystem::directory_iterator(m_strLogs)) vecLogs.push_back(entry.path().filename());
  std::sort(vecLogs.begin(), vecLogs.end());
  ASSERT_EQ(vecLogs.size(), 2u);
  EXPECT_TRUE(std::regex_match(vecLogs[0], std::regex("DbLookupProblem_[0-9]{9}\\.txt"))) << vecLogs[0];
  EXPECT_TRUE(std::regex_match(vecLogs[1], std::regex("DbProblem_[0-9]{9}\\.txt"))) << vecLogs[1];
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::Root()))
    EXPECT_EQ(entry.path().filename().string().find("Problem"), std::string::npos) << entry.path();

  pdbdatum->ForceCurrentLong(lValue);
  ASSERT_EQ(Get("units").strStatus, "success");
  m_pdatabase->EnumAddItem(pdbdatum, 77);  // a list entry the lookup lacks
  reply = Get("units");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "badvalue");
}

// A text is never cut: one longer than its capability allows fails; markup
// in a text is carried whole in a CDATA section.
TEST_F(DrvGetTest, StringValuesAreBoundAndCarriedWhole) {
  CDbDatum* pdbdatum = Machine(DB_ID_SERIALNUMBER);
  ASSERT_NE(pdbdatum, nullptr);
  ASSERT_EQ(pdbdatum->ForceCurrentString("a<b&c>"), OS_STS_SUCCESS);
  Reply reply = Get("serialnumber");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "success");
  EXPECT_NE(reply.strText.find("<valuecurrent><![CDATA[a<b&c>]]></valuecurrent>"), std::string::npos)
      << reply.strText;
  EXPECT_EQ(All(reply.strText, "stringmaxlength"), (std::vector<std::string>{"8", "8"}));
  ASSERT_EQ(pdbdatum->SetSizetMaxString(4), OS_STS_SUCCESS);
  reply = Get("serialnumber");
  ExpectSound(reply);
  EXPECT_EQ(reply.strStatus, "badvalue");
  EXPECT_TRUE(m_plog->Contains("value does not fit...id=225 bin=1"));

  CDrvProcessCommands drvprocesscommands;
  drvprocesscommands.Init(m_pdrvcommandfsm.get(), m_pdatabase.get(), nullptr, m_pdrvgui.get(), nullptr);
  ASSERT_EQ(pdbdatum->SetSizetMaxString(8), OS_STS_SUCCESS);
  char szValue[6] = {};
  EXPECT_EQ(drvprocesscommands.GetCurrentLexiconValue(pdbdatum, szValue, sizeof szValue), OS_STS_FAIL);
  EXPECT_STREQ(szValue, "");
  char szFits[7] = {};
  EXPECT_EQ(drvprocesscommands.GetCurrentLexiconValue(pdbdatum, szFits, sizeof szFits), OS_STS_SUCCESS);
  EXPECT_STREQ(szFits, "a<b&c>");
  EXPECT_EQ(drvprocesscommands.GetDefaultLexiconValue(pdbdatum, szFits, sizeof szFits), OS_STS_SUCCESS);
  EXPECT_STREQ(szFits, "abc");
}

// ---------------------------------------------------------------------------
// A get changes nothing
// ---------------------------------------------------------------------------
TEST_F(DrvGetTest, GetChangesNothing) {
  std::vector<std::string> vecIds = Lexicons();
  for (const char* szId : {"logactivity", "customoverride", "profileall", "profilelist", "profile",
                           "imagecroppingregion", "barcodesearchregion", "colortablelist", "ecdolist", "idlist",
                           "windowlist", "outputimagecount", "printer", "nosuchcapability"})
    vecIds.emplace_back(szId);
  for (EDBBIN edbbin : s_aedbbinCamera) {
    SelectBin(edbbin);
    m_pdatabase->NotifyResetAll();
    const std::string strBefore = DumpText();
    const std::vector<std::string> vecstrBefore = Values();
    ASSERT_GT(strBefore.size(), 10000u);
    for (const std::string& strId : vecIds) {
      Get(strId);
      ASSERT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0) << strId;
    }
    EXPECT_EQ(DumpText(), strBefore);
    EXPECT_EQ(Values(), vecstrBefore);
    EXPECT_EQ(m_pdatabase->NotifyGetFirst(DB_NOTIFY_VALUE), nullptr);
  }
}

// ---------------------------------------------------------------------------
// The builders set and reset use
// ---------------------------------------------------------------------------
class DrvReportBuilderTest : public drvtest::DrvOpenedFixture {
 protected:
  void SetUp() override {
    DrvOpenedFixture::SetUp();
    m_drvprocesscommands.Init(m_pdrvcommandfsm.get(), m_pdatabase.get(), nullptr, m_pdrvgui.get(), nullptr);
    m_pdatabase->GetXmlTask()->Clear();
  }
  std::string Text() { return m_pdatabase->GetXmlTask()->GetTaskBuffer(); }
  // The (id, windowtag) of every current report, in reply order.
  std::vector<std::string> Reported() {
    std::vector<std::string> vec;
    const std::string strText = Text();
    std::regex regex("<report(?:enum|range|string)>\n\t+<id>([a-z0-9]+)</id>\n(?:\t+<windowtag>([a-z0-9_]+)<)?");
    for (std::sregex_iterator it(strText.begin(), strText.end(), regex), end; it != end; ++it)
      vec.push_back((*it)[1].str() + ((*it)[2].matched ? "/" + (*it)[2].str() : ""));
    return vec;
  }
  CDbDatum* Datum(EDBBIN a_edbbin, EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(a_edbbin, a_edbid);
    EXPECT_NE(pdbdatum, nullptr) << a_edbid;
    return pdbdatum;
  }
  CDrvProcessCommands m_drvprocesscommands;
};

// Without a name: IMAGEFORMAT first, then every changed value, then the
// changed constraints of capabilities not reported yet; hidden ones never;
// with the current-bin filter, only the machine's and the current camera's.
TEST_F(DrvReportBuilderTest, ChangeReportListsWhatChanged) {
  SelectBin(DB_BIN_BITONAL_FRONT);
  m_pdatabase->NotifyResetAll();
  Datum(DB_BIN_MACHINE, DB_ID_UNITS)->ForceCurrentLong(DB_ID_UNITS_ENUM_CENTIMETERS);
  m_pdatabase->EnumDeleteItem(Datum(DB_BIN_MACHINE, DB_ID_UNITS), DB_ID_UNITS_ENUM_PIXELS);
  Datum(DB_BIN_BITONAL_FRONT, DB_ID_AUTOMATICDESKEW)->ForceCurrentLong(DB_ID_AUTOMATICDESKEW_ENUM_FALSE);
  Datum(DB_BIN_COLOR_FRONT, DB_ID_AUTOMATICDESKEW)->ForceCurrentLong(DB_ID_AUTOMATICDESKEW_ENUM_FALSE);
  m_pdatabase->EnumDeleteItem(Datum(DB_BIN_MACHINE, DB_ID_PREVIEWQUALITY), DB_ID_PREVIEWQUALITY_ENUM_NORMAL);
  CDbDatum* pdbdatumHidden = Datum(DB_BIN_MACHINE, DB_ID_PREVIEWUPDATE);
  m_pdatabase->SetAccess(pdbdatumHidden, DB_ACCESS_HIDDEN);
  pdbdatumHidden->ForceCurrentLong(DB_ID_PREVIEWUPDATE_ENUM_FALSE);

  EXPECT_EQ(m_drvprocesscommands.CreateTaskReportGetSet(nullptr, false, false), DB_STS_SUCCESS);
  std::vector<std::string> vec = Reported();
  ASSERT_FALSE(vec.empty()) << Text();
  EXPECT_EQ(vec.front(), "imageformat/frontbitonal_00");
  EXPECT_EQ(vec.back(), "previewquality");
  std::sort(vec.begin() + 1, vec.end());
  EXPECT_EQ(vec, (std::vector<std::string>{"imageformat/frontbitonal_00", "imagedeskew/frontbitonal_00",
                                           "imagedeskew/frontcolor_00", "previewquality", "units"}))
      << Text();
  EXPECT_EQ(DbFixture::XmlLint(Text()), 0) << Text();

  EXPECT_EQ(m_drvprocesscommands.CreateTaskReportGetSet(nullptr, false, true), DB_STS_SUCCESS);
  vec = Reported();
  std::sort(vec.begin() + 1, vec.end());
  EXPECT_EQ(vec, (std::vector<std::string>{"imageformat/frontbitonal_00", "imagedeskew/frontbitonal_00",
                                           "previewquality", "units"}));
}

// Continuing appends to the caller's reply and leaves a failure to it.
TEST_F(DrvReportBuilderTest, ContinueAppendsToTheCallersReply) {
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartTask(m_pdatabase->GetTaskId(), m_pdatabase->GetReplyId(), "badvalue");
  EXPECT_EQ(m_drvprocesscommands.CreateTaskReportGetSet("units", true, false), DB_STS_SUCCESS);
  EXPECT_EQ(m_drvprocesscommands.CreateTaskReportGetSet("nosuchcapability", true, false), DB_STS_FAIL);
  // The scanner has no barcode reader: the region fails before writing.
  EXPECT_EQ(m_drvprocesscommands.CreateTaskReportRegion(
                "barcodesearchregion", DB_ID_BARCODESEARCHREGIONOFFSETX, DB_ID_BARCODESEARCHREGIONOFFSETY,
                DB_ID_BARCODESEARCHREGIONWIDTH, DB_ID_BARCODESEARCHREGIONHEIGHT, DB_ID_UNDEFINED, true),
            DB_STS_FAIL);
  posxmltask->FinalizeTask();
  const std::string strText = Text();
  EXPECT_EQ(DbFixture::XmlLint(strText), 0) << strText;
  EXPECT_NE(strText.find("<status>badvalue</status>"), std::string::npos);
  EXPECT_EQ(Reported(), std::vector<std::string>{"units"});
  EXPECT_EQ(std::stoull(strText.substr(68, 20)), strText.size());
}

// Every window's datum names its own window-bin.
TEST_F(DrvReportBuilderTest, WindowTagNamesTheDatumsWindow) {
  CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(3, DB_BIN_BITONAL_REAR, DB_ID_FRAMEXOFFSET);
  ASSERT_NE(pdbdatum, nullptr);
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartTask(1, 1, "success");
  posxmltask->StartCommand("reportrange", 1);
  EXPECT_EQ(m_drvprocesscommands.AddLexiconInfo(pdbdatum, true, "imagecroppingregion"), OS_STS_SUCCESS);
  posxmltask->FinalizeCommand("reportrange");
  posxmltask->FinalizeTask();
  EXPECT_NE(Text().find("<id>imagecroppingregion</id>\n\t\t<windowtag>rearbitonal_03</windowtag>\n\t\t"
                        "<readonly>"),
            std::string::npos)
      << Text();
  EXPECT_EQ(Text().find("validcontext"), std::string::npos);
}

// An object without its database reports nothing and says so.
TEST_F(DrvReportBuilderTest, BuildersWithoutADatabaseFail) {
  CDrvProcessCommands drvprocesscommands;
  CDbDatum* pdbdatum = Datum(DB_BIN_MACHINE, DB_ID_UNITS);
  char szValue[64];
  EXPECT_EQ(drvprocesscommands.CreateTaskReportGetSet("units", false, false), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportGetSet(nullptr, false, false), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportContainer(pdbdatum), OS_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.AddLexiconInfo(pdbdatum, false, nullptr), OS_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.GetCurrentLexiconValue(pdbdatum, szValue, sizeof szValue), OS_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.GetDefaultLexiconValue(pdbdatum, szValue, sizeof szValue), OS_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportRegion("imagecroppingregion", DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET,
                                                      DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT, DB_ID_IMAGESKEWANGLE, false),
            DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateRegionRange(DB_ID_FRAMEXOFFSET, false, "range"), OS_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportLog(DB_ID_LOG_ENUM_ACTIVITY), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportDataFile("profileall"), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportProfileList(), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportEcdoList(), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportIdList(), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportOutputImageCount(), DB_STS_FAIL);
  EXPECT_EQ(drvprocesscommands.CreateTaskReportCartridgeDetected(), DB_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("m_pdatabase is null..."));
  EXPECT_EQ(m_pdatabase->GetXmlTask()->Size(), 0u);
}
}  // namespace
