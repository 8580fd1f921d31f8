// The service commands on the staged stand-ins: calibration, diagnostics,
// firmware download and the consumable meters through the device facade,
// with the tasks each reached the simulated scanner with; the colour
// learning scan behind its seam; the state machine's moves and the replies'
// form. Capabilities the capability rules will offer on this model
// (CALIBRATIONTYPE, AUTOCOLORCONTENT) are made supported here as they will.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "drv_service_fixture.h"

namespace {

using drvtest::Reply;

class DrvService : public drvtest::DrvServiceFixture {
 protected:
  // CALIBRATIONTYPE offered with the values the scanner names.
  void SupportCalibrationType() {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_CALIBRATIONTYPE);
    ASSERT_NE(pdbdatum, nullptr);
    m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
    m_pdatabase->EnumDeleteAllItems(pdbdatum);
    for (long lValue : {DB_ID_CALIBRATIONTYPE_ENUM_IMAGE, DB_ID_CALIBRATIONTYPE_ENUM_MECHANICAL})
      m_pdatabase->EnumAddItem(pdbdatum, lValue);
    pdbdatum->ForceCurrentLong(DB_ID_CALIBRATIONTYPE_ENUM_IMAGE);
  }

  // Begun with that calibration type: the reply of calibratebegin.
  Reply BeginCalibration(const std::string& a_strType) {
    return RunCommand("calibratebegin", "<calibrationtype>" + a_strType + "</calibrationtype>");
  }

  EDRVSTATE State() { return m_pdrvcommandfsm->GetCurrentState(); }

  // A firmware file of that many bytes in the test's root.
  std::string Firmware(size_t a_sizetBytes) {
    const std::string strPath = testsupport::RootPath("firmware.bin");
    testsupport::WriteFile(strPath, std::string(a_sizetBytes, 'f'));
    return strPath;
  }

  static std::string DataFile(const std::string& a_strFile, const std::string& a_strSize,
                              const std::string& a_strOffset = "0") {
    return "<datafile><filename>" + a_strFile + "</filename><datasize>" + a_strSize + "</datasize><dataoffset>" +
           a_strOffset + "</dataoffset></datafile>";
  }
};

// ---------------------------------------------------------------------------
// Calibration
// ---------------------------------------------------------------------------
TEST_F(DrvService, CalibrationRunsFromBeginToEnd) {
  SupportCalibrationType();
  const Reply replyBegin = BeginCalibration("mechanical");
  EXPECT_EQ(replyBegin.strStatus, "success") << m_plog->Text();
  ExpectSound(replyBegin);
  EXPECT_NE(replyBegin.strText.find("<reportcalibrate>\n\t\t<calibrationtimeout>-1</calibrationtimeout>"),
            std::string::npos)
      << replyBegin.strText;
  EXPECT_EQ(State(), DRV_STATE_CALIBRATE);
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_CALIBRATIONTYPE), DB_ID_CALIBRATIONTYPE_ENUM_MECHANICAL);
  EXPECT_EQ(m_pdev->GetCalibrateStatus(), DEV_STS_SUCCESS);

  EXPECT_EQ(RunCommand("calibraterun").strStatus, "success") << m_plog->Text();
  // The run goes on on a thread of its own: busy until it is through.
  std::string strStatus = "busy";
  for (int i = 0; i < 1000 && strStatus == "busy"; ++i) {
    strStatus = RunCommand("calibratestatus").strStatus;
    if (strStatus == "busy") std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(strStatus, "success");
  EXPECT_EQ(m_pdev->GetCalibrateStatus(), DEV_STS_PROCESSERROR);
  EXPECT_EQ(State(), DRV_STATE_CALIBRATE);
  EXPECT_EQ(RunCommand("calibrateend").strStatus, "success") << m_plog->Text();
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);

  const auto vec = DeviceTasks();
  ASSERT_EQ(Named(vec, "calibratebegin").size(), 1u);
  EXPECT_EQ(Named(vec, "calibratebegin")[0].Arg("calibrationtype"), "mechanical");
  EXPECT_EQ(Named(vec, "calibraterun").size(), 1u);
  EXPECT_EQ(Named(vec, "calibrateend").size(), 1u);
  EXPECT_EQ(Named(vec, "resourcebegin").size(), 1u);
  EXPECT_EQ(Named(vec, "resourceend").size(), 1u);
}

// A type the lookup does not know, or one the scanner does not offer, is
// refused before the device is reserved.
TEST_F(DrvService, ACalibrationTypeThatCannotBeSetFails) {
  SupportCalibrationType();
  for (const char* szType : {"nosuchtype", "lcdcontrast"}) {
    const Reply reply = BeginCalibration(szType);
    EXPECT_EQ(reply.strStatus, "fail") << szType;
    EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
  }
  EXPECT_TRUE(m_plog->Contains("pdblookupenum is null")) << m_plog->Text();
  EXPECT_TRUE(m_plog->Contains("Failed to set calibrationtype")) << m_plog->Text();
  EXPECT_TRUE(Named(DeviceTasks(), "calibratebegin").empty());
  EXPECT_TRUE(Named(DeviceTasks(), "resourcebegin").empty());
}

// A failed begin gives the reservation back and stays out of Calibrate.
TEST_F(DrvService, AFailedCalibrationBeginReleasesTheDevice) {
  SupportCalibrationType();
  ASSERT_EQ(BeginCalibration("image").strStatus, "success");
  ASSERT_EQ(RunCommand("calibrateend").strStatus, "success");
  // The scanner keeps no calibration of another kind going.
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_CALIBRATIONTYPE);
  m_pdatabase->EnumAddItem(pdbdatum, DB_ID_CALIBRATIONTYPE_ENUM_GETRAWIMAGE);
  const Reply reply = BeginCalibration("getrawimage");
  EXPECT_EQ(reply.strStatus, "fail") << reply.strText;
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
  EXPECT_EQ(Named(DeviceTasks(), "resourceend").size(), 2u);
}

// A reset takes its type through the begin's handler; the device's word is
// the reply's, the handler passes either way.
TEST_F(DrvService, CalibrationResetSendsItsType) {
  SupportCalibrationType();
  EXPECT_EQ(RunCommand("calibratereset", "<calibrationtype>mechanical</calibrationtype>").strStatus, "success");
  const auto vec = Named(DeviceTasks(), "calibratereset");
  ASSERT_EQ(vec.size(), 1u);
  EXPECT_EQ(vec[0].Arg("calibrationtype"), "mechanical");
  EXPECT_EQ(RunCommand("calibratereset", "<calibrationtype>nosuchtype</calibrationtype>").strStatus, "fail");
  EXPECT_EQ(Named(DeviceTasks(), "calibratereset").size(), 1u);
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}

// The status table: what is answered, and whether the result is spent.
TEST_F(DrvService, CalibrationStatusAnswersByTheDeviceStatus) {
  SupportCalibrationType();
  struct Case {
    EDEVSTS edevsts;
    const char* szStatus;
    EDEVSTS edevstsAfter;
  };
  const Case acase[] = {
      {DEV_STS_SUCCESS, "success", DEV_STS_PROCESSERROR},   {DEV_STS_FAIL, "fail", DEV_STS_PROCESSERROR},
      {DEV_STS_DOUBLEDOCUMENT, "fail", DEV_STS_PROCESSERROR}, {DEV_STS_PAPERJAM, "fail", DEV_STS_PROCESSERROR},
      {DEV_STS_BUSY, "busy", DEV_STS_BUSY},                 {DEV_STS_CANCEL, "cancel", DEV_STS_PROCESSERROR},
      {DEV_STS_PROCESSERROR, "invalidstate", DEV_STS_PROCESSERROR}, {DEV_STS_COVEROPEN, "invalidstate", DEV_STS_COVEROPEN},
  };
  ASSERT_EQ(BeginCalibration("image").strStatus, "success");
  for (const Case& c : acase) {
    m_pdev->SetCalibrateStatus(c.edevsts);
    const Reply reply = RunCommand("calibratestatus");
    EXPECT_EQ(reply.strStatus, c.szStatus) << c.edevsts;
    EXPECT_EQ(m_pdev->GetCalibrateStatus(), c.edevstsAfter) << c.edevsts;
    EXPECT_EQ(State(), DRV_STATE_CALIBRATE) << c.edevsts;
  }
}

TEST_F(DrvService, CalibrationStatusOutsideCalibrateIsInvalidstate) {
  m_pdev->SetCalibrateStatus(DEV_STS_SUCCESS);
  EXPECT_EQ(RunCommand("calibratestatus").strStatus, "invalidstate");
  EXPECT_EQ(m_pdev->GetCalibrateStatus(), DEV_STS_SUCCESS);
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}

// ---------------------------------------------------------------------------
// Diagnostics
// ---------------------------------------------------------------------------
TEST_F(DrvService, DiagnosticsRunInsideTheirMode) {
  EXPECT_EQ(RunCommand("diagnosticbegin").strStatus, "success") << m_plog->Text();
  EXPECT_EQ(State(), DRV_STATE_DIAGNOSTIC);
  const Reply reply =
      RunCommand("diagnosticrun", "<diagnostictype>diaglampfront</diagnostictype><diagnosticvalue>on</diagnosticvalue>");
  EXPECT_EQ(reply.strStatus, "success") << m_plog->Text();
  ExpectSound(reply);
  EXPECT_NE(reply.strText.find("<reportdiagnostic>\n\t\t<diagnostictype>diaglampfront</diagnostictype>\n\t\t"
                               "<diagnosticvalue>on</diagnosticvalue>"),
            std::string::npos)
      << reply.strText;
  EXPECT_EQ(State(), DRV_STATE_DIAGNOSTIC);
  EXPECT_EQ(RunCommand("diagnosticend").strStatus, "success") << m_plog->Text();
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
  const auto vec = DeviceTasks();
  ASSERT_EQ(Named(vec, "diagnosticrun").size(), 1u);
  EXPECT_EQ(Named(vec, "diagnosticrun")[0].Arg("diagnostictype"), "diaglampfront");
  // The run has a begin and an end of its own inside the mode.
  EXPECT_EQ(Named(vec, "diagnosticbegin").size(), 2u);
  EXPECT_EQ(Named(vec, "diagnosticend").size(), 2u);
}

TEST_F(DrvService, ADiagnosticRunWithoutTypeSendsNothing) {
  ASSERT_EQ(RunCommand("diagnosticbegin").strStatus, "success");
  EXPECT_EQ(RunCommand("diagnosticrun", "<diagnosticvalue>on</diagnosticvalue>").strStatus, "badvalue");
  EXPECT_TRUE(m_plog->Contains("diagnosticrun without diagnostictype"));
  EXPECT_TRUE(Named(DeviceTasks(), "diagnosticrun").empty());
  // A type of the last task is not taken for the next one.
  ASSERT_EQ(RunCommand("diagnosticrun", "<diagnostictype>diaglampfront</diagnostictype><diagnosticvalue>on"
                                        "</diagnosticvalue>")
                .strStatus,
            "success");
  EXPECT_EQ(RunCommand("diagnosticrun", "<diagnosticvalue>on</diagnosticvalue>").strStatus, "badvalue");
  EXPECT_EQ(Named(DeviceTasks(), "diagnosticrun").size(), 1u);
  EXPECT_EQ(State(), DRV_STATE_DIAGNOSTIC);
}

// The device's failure reaches the reply; the handler fails the run.
TEST_F(DrvService, AFailedDiagnosticRunAnswersTheDeviceWord) {
  ASSERT_EQ(RunCommand("diagnosticbegin").strStatus, "success");
  EXPECT_EQ(RunCommand("diagnosticrun", "<diagnostictype>diagrearexit</diagnostictype>").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("DiagnosticRun failed 1")) << m_plog->Text();
  EXPECT_EQ(State(), DRV_STATE_DIAGNOSTIC);
}

// ---------------------------------------------------------------------------
// Firmware download
// ---------------------------------------------------------------------------
TEST_F(DrvService, ADownloadRunsFromBeginToEnd) {
  const std::string strFile = Firmware(4096);
  EXPECT_EQ(RunCommand("downloadbegin", DataFile(strFile, "4096")).strStatus, "success") << m_plog->Text();
  EXPECT_EQ(State(), DRV_STATE_DOWNLOAD);
  EXPECT_EQ(RunCommand("downloadrun").strStatus, "success");
  EXPECT_EQ(RunCommand("downloadend").strStatus, "success");
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
  // The stand-in takes a begin only for a file of the size it names.
  EXPECT_EQ(Named(DeviceTasks(), "downloadbegin").size(), 1u);
}

// Kept as the command table has it: a failed begin still enters Download,
// and the front end ends it.
TEST_F(DrvService, AFailedDownloadBeginStillEntersDownload) {
  const std::string strFile = Firmware(10);
  EXPECT_EQ(RunCommand("downloadbegin", DataFile(strFile, "11")).strStatus, "fail");
  EXPECT_EQ(State(), DRV_STATE_DOWNLOAD);
  EXPECT_NE(RunCommand("downloadend").strStatus, "success");
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}

// A size or offset that is no count of bytes in 31 bits is refused and
// nothing reaches the device.
TEST_F(DrvService, ADownloadNumberOutOfRangeIsRefused) {
  const std::string strFile = Firmware(10);
  for (const char* szSize : {"-1", "99999999999", "4294967306", "10abc", "", "+10"}) {
    EXPECT_EQ(RunCommand("downloadbegin", DataFile(strFile, szSize)).strStatus, "badvalue") << szSize;
    EXPECT_EQ(State(), DRV_STATE_INITIALIZED) << szSize;
  }
  EXPECT_EQ(RunCommand("downloadbegin", DataFile(strFile, "10", "-5")).strStatus, "badvalue");
  // A file name that does not fit is refused, never cut to another file's.
  EXPECT_EQ(RunCommand("downloadbegin", DataFile(strFile + std::string(1100, 'x'), "10")).strStatus, "badvalue");
  EXPECT_TRUE(Named(DeviceTasks(), "downloadbegin").empty());
  EXPECT_EQ(RunCommand("downloadbegin", DataFile(strFile, " 10 ")).strStatus, "success") << m_plog->Text();
}

// ---------------------------------------------------------------------------
// Consumable meters
// ---------------------------------------------------------------------------
// The device's meter text as the scanner wrote it, in every state.
TEST_F(DrvService, MetersPassThroughInEveryState) {
  char* szMeters = nullptr;
  ASSERT_EQ(m_pdev->GetConsumableMeters(&szMeters), OS_STS_SUCCESS);
  ASSERT_NE(szMeters, nullptr);
  const std::string strMeters = szMeters;
  OsMemFree(szMeters);
  ASSERT_NE(strMeters.find("<consumablemetertype>feedroller</consumablemetertype>"), std::string::npos);
  for (bool blInDiagnostic : {false, true}) {
    if (blInDiagnostic) {
      ASSERT_EQ(RunCommand("diagnosticbegin").strStatus, "success");
    }
    const Reply reply = RunCommand("getconsumablemeters");
    EXPECT_EQ(reply.strStatus, "success");
    ExpectSound(reply);
    EXPECT_NE(reply.strText.find("<reportconsumablemeters>" + strMeters), std::string::npos) << reply.strText;
    const std::string strMeter = "<consumablemetertype>feedroller</consumablemetertype><value>3</value>";
    EXPECT_EQ(RunCommand("setconsumablemeter", strMeter).strStatus, "success") << m_plog->Text();
    EXPECT_EQ(RunCommand("resetconsumablemeter", strMeter).strStatus, "success");
    EXPECT_EQ(State(), blInDiagnostic ? DRV_STATE_DIAGNOSTIC : DRV_STATE_INITIALIZED);
  }
  const auto vec = Named(DeviceTasks(), "setconsumablemeter");
  ASSERT_EQ(vec.size(), 2u);
  EXPECT_EQ(vec[0].Arg("consumablemetertype"), "feedroller");
  EXPECT_EQ(vec[0].Arg("value"), "3");
}

TEST_F(DrvService, AMeterTheScannerRefusesFails) {
  const Reply reply =
      RunCommand("setconsumablemeter", "<consumablemetertype>lamp</consumablemetertype><value>3</value>");
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("SetConsumableMeter failed"));
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}

// Without a scanner online nothing is asked.
TEST_F(DrvService, MetersOfAClosedInterfaceFail) {
  m_pdev->InterfaceClose();
  EXPECT_EQ(RunCommand("getconsumablemeters").strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("GetConsumableMeters failed"));
  EXPECT_EQ(RunCommand("resetconsumablemeter", "<consumablemetertype>feedroller</consumablemetertype>").strStatus,
            "fail");
  EXPECT_TRUE(m_plog->Contains("ResetConsumableMeter failed"));
}

// ---------------------------------------------------------------------------
// The colour learning scan
// ---------------------------------------------------------------------------
class DrvAutoColorLearn : public DrvService {
 protected:
  void SupportCustomColorContent() {
    long lBins = 0;
    for (int iBin = DB_BIN_MACHINE; iBin < DB_BIN_COUNT; ++iBin) {
      CDbDatum* pdbdatum = m_pdatabase->FindDirect(static_cast<EDBBIN>(iBin), DB_ID_AUTOCOLORCONTENT);
      if (!pdbdatum) continue;
      m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
      pdbdatum->ForceCurrentLong(DB_ID_AUTOCOLORCONTENT_ENUM_CUSTOM);
      ++lBins;
    }
    ASSERT_GT(lBins, 0);
    ASSERT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_AUTOCOLORCONTENT), DB_ID_AUTOCOLORCONTENT_ENUM_CUSTOM);
  }
  void Learn(long a_lResult) {
    m_lResult = a_lResult;
    m_drvengineseam.pfnAutoColorLearn = [](void* a_pvUser) {
      auto* p = static_cast<DrvAutoColorLearn*>(a_pvUser);
      ++p->m_lRuns;
      return p->m_lResult;
    };
    m_drvengineseam.pvUser = this;
    CDrvProcessCommands::SetEngineSeam(&m_drvengineseam);
  }
  DrvEngineSeam m_drvengineseam = {};
  long m_lResult = 0;
  long m_lRuns = 0;
};

TEST_F(DrvAutoColorLearn, OnlyCustomColorContentLearns) {
  Learn(0);
  EXPECT_EQ(RunCommand("autocolorlearn").strStatus, "notavailable");
  EXPECT_TRUE(m_plog->Contains("autocolorlearn only supported for custom color content"));
  EXPECT_EQ(m_lRuns, 0);
  EXPECT_TRUE(Named(DeviceTasks(), "resourcebegin").empty());
  EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
}

TEST_F(DrvAutoColorLearn, TheResultPicksTheWord) {
  SupportCustomColorContent();
  const struct {
    long lResult;
    const char* szStatus;
  } acase[] = {{0, "success"}, {46, "notenoughcolor"}, {47, "notenoughpages"}, {1, "fail"}, {24, "fail"}};
  long lRuns = 0;
  for (const auto& c : acase) {
    Learn(c.lResult);
    EXPECT_EQ(RunCommand("autocolorlearn").strStatus, c.szStatus) << c.lResult;
    EXPECT_EQ(m_lRuns, ++lRuns);
    EXPECT_EQ(State(), DRV_STATE_INITIALIZED);
  }
  // The device is reserved around each run and given back.
  EXPECT_EQ(Named(DeviceTasks(), "resourcebegin").size(), std::size(acase));
  EXPECT_EQ(Named(DeviceTasks(), "resourceend").size(), std::size(acase));
}

// With a GUI running, the GUI runs the scan and its answer counts.
TEST_F(DrvAutoColorLearn, AGuiRunsTheScanItself) {
  SupportCustomColorContent();
  Learn(0);
  struct GuiSeam : CDrvGuiActionSeam {
    bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase*, EOSSTS* a_peossts) override {
      vec.push_back(a_edrvguiaction);
      *a_peossts = a_edrvguiaction == DRV_GUIACTION_AUTOCOLORLEARN ? static_cast<EOSSTS>(47) : OS_STS_FAIL;
      return true;
    }
    std::vector<EDRVGUIACTION> vec;
  } guiseam;
  CDrvGui::SetActionSeam(&guiseam);
  EXPECT_EQ(RunCommand("autocolorlearn").strStatus, "notenoughpages");
  CDrvGui::SetActionSeam(nullptr);
  EXPECT_EQ(guiseam.vec, (std::vector<EDRVGUIACTION>{DRV_GUIACTION_NOGUI, DRV_GUIACTION_AUTOCOLORLEARN}));
  EXPECT_EQ(m_lRuns, 0);
}

// Until the driver object offers the scan, it fails.
TEST_F(DrvAutoColorLearn, WithoutTheDriversScanItFails) {
  SupportCustomColorContent();
  EXPECT_EQ(RunCommand("autocolorlearn").strStatus, "fail");
  EXPECT_EQ(Named(DeviceTasks(), "resourceend").size(), 1u);
}

}  // namespace
