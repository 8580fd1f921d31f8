// The device facade and the device object without a scanner: every
// operation's answer when the device object could not be made, the status
// words, the last-error text, the procedures the driver hands in, the
// object's starting state and the device data's record of its calls.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../os/log_capture.h"
#include "dev_cdev.h"
#include "dev_cdevdata.h"
#include "dev_cdevimpl.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

using testsupport::LogCapture;

std::string Str(long a_l) { return std::to_string(a_l); }
std::string Str(const char* a_sz) { return a_sz ? a_sz : "(null)"; }

size_t Count(const std::string& a_strText, const std::string& a_strWhat) {
  size_t sizetCount = 0;
  for (size_t sizet = a_strText.find(a_strWhat); sizet != std::string::npos;
       sizet = a_strText.find(a_strWhat, sizet + 1)) {
    ++sizetCount;
  }
  return sizetCount;
}

EOSSTS Callback(void*) { return OS_STS_SUCCESS; }

TEST(DevFacade, WithoutItsObjectEveryOperationAnswersItsValue) {
  LogCapture log;
  OsMemSetNewFault("CDevImpl", 0);
  CDev dev(nullptr, nullptr, nullptr);
  OsMemSetNewFault(nullptr, 0);
  EXPECT_TRUE(log.Contains("OsMemNew failed..."));
  COsXmlTask osxmltask(nullptr, 0);
  DeviceLog devicelog = {};
  char szBuffer[16] = {};
  char* szMeters = nullptr;
  int iCount = 0;
  const struct {
    const char* szOperation;
    std::function<std::string()> fn;
    const char* szAnswer;  // "" for an operation that answers nothing
  } acase[] = {
      {"InterfaceOpen", [&] { return Str(dev.InterfaceOpen(DEV_DRIVER_DEFAULT)); }, "1"},
      {"InterfaceClose", [&] { return dev.InterfaceClose(), std::string(); }, ""},
      {"SessionBegin", [&] { return Str(dev.SessionBegin(nullptr)); }, "1"},
      {"SessionBounce", [&] { return dev.SessionBounce(), std::string(); }, ""},
      {"ResourceBegin", [&] { return Str(dev.ResourceBegin(true)); }, "1"},
      {"ResourceEnd", [&] { return Str(dev.ResourceEnd()); }, "1"},
      {"ResourceLock", [&] { return Str(dev.ResourceLock()); }, "1"},
      {"ResourceUnlock", [&] { return dev.ResourceUnlock(), std::string(); }, ""},
      {"NotifyDeviceStatusDeviceOnline(unit)",
       [&] { return dev.NotifyDeviceStatusDeviceOnline(DB_FIRMWARE_ADF, true), std::string(); }, ""},
      {"NotifyDeviceStatusDeviceOnline", [&] { return dev.NotifyDeviceStatusDeviceOnline(false), std::string(); }, ""},
      {"SetAttributes", [&] { return Str(dev.SetAttributes(false, false)); }, "1"},
      {"SetupBegin", [&] { return Str(dev.SetupBegin(true)); }, "1"},
      {"SetupEnd", [&] { return Str(dev.SetupEnd(false)); }, "1"},
      {"RegisterCallback", [&] { return Str(dev.RegisterCallback(DB_FIRMWARE_ADF, "x", Callback, nullptr)); }, "1"},
      {"RegisterPnpchangeProc", [&] { return Str(dev.RegisterPnpchangeProc(Callback, nullptr)); }, "1"},
      {"PnpChange", [&] { return dev.PnpChange("<pnpchange/>"), std::string(); }, ""},
      {"GetDeviceStatus", [&] { return Str(dev.GetDeviceStatus()); }, "0"},
      {"GetDeviceStatusCallback", [&] { return Str(dev.GetDeviceStatusCallback()); }, "1"},
      {"SetOcpButtons", [&] { return Str(dev.SetOcpButtons("")); }, "1"},
      {"MessageProc",
       [&] { return dev.MessageProc(DEV_DLG_SCANNING, DEV_MSG_CLEAR, nullptr, 0, DEV_BUTTONS_NONE), std::string(); },
       ""},
      {"ScanBegin", [&] { return Str(dev.ScanBegin()); }, "1"},
      {"ScanEnd", [&] { return dev.ScanEnd(), std::string(); }, ""},
      {"ScanRequestStop", [&] { return Str(dev.ScanRequestStop(DEV_STOPACTION_CANCEL)); }, "1"},
      {"ScanIsScanning", [&] { return Str(dev.ScanIsScanning()); }, "0"},
      {"ScanImageCountRemaining", [&] { return Str(dev.ScanImageCountRemaining()); }, "0"},
      {"RegisterFirstImageCallback", [&] { return Str(dev.RegisterFirstImageCallback(Callback, nullptr)); }, "1"},
      {"IsDiscardBlankImage", [&] { return Str(dev.IsDiscardBlankImage()); }, "0"},
      {"GetOutputImageCount", [&] { return Str(dev.GetOutputImageCount()); }, "0"},
      {"GetOutput", [&] { return Str(dev.GetOutput(szBuffer, 16, &iCount, &iCount, &iCount)); }, "1"},
      {"ImageEnd", [&] { return Str(dev.ImageEnd("a")); }, "1"},
      {"UserInput", [&] { return Str(dev.UserInput("a")); }, "0"},
      {"ImageQueuePush", [&] { return Str(dev.ImageQueuePush(true, DEV_STS_USERINPUT, "a")); }, "0"},
      {"AllowNotifyImageAvailable", [&] { return dev.AllowNotifyImageAvailable(true), std::string(); }, ""},
      {"ScanStatisticsReset", [&] { return dev.ScanStatisticsReset(), std::string(); }, ""},
      {"ScanStatisticsGetSheetCount", [&] { return Str(dev.ScanStatisticsGetSheetCount()); }, "(null)"},
      {"ScanStatisticsGetPageCount", [&] { return Str(dev.ScanStatisticsGetPageCount()); }, "(null)"},
      {"ScanStatisticsGetImageCountFromZero", [&] { return Str(dev.ScanStatisticsGetImageCountFromZero()); }, "0"},
      {"SetDriverEvent", [&] { return Str(dev.SetDriverEvent(DEV_EVENT_DEVICEBUTTON, "1")); }, "1"},
      {"GetDriverEvent", [&] { return Str(dev.GetDriverEvent(&osxmltask)); }, "1"},
      {"GetDriverEventName", [&] { return Str(dev.GetDriverEventName()); }, "(null)"},
      {"SkipSendingEvent", [&] { return dev.SkipSendingEvent(true), std::string(); }, ""},
      {"GetLexiconStatus", [&] { return Str(dev.GetLexiconStatus(DEV_STS_SUCCESS)); }, "(null)"},
      {"GetLastErrorText", [&] { return Str(dev.GetLastErrorText()); }, "null impl"},
      {"SetLastErrorText", [&] { return dev.SetLastErrorText("x"), std::string(); }, ""},
      {"CalibrateBegin", [&] { return Str(dev.CalibrateBegin()); }, "1"},
      {"CalibrateRun", [&] { return Str(dev.CalibrateRun()); }, "1"},
      {"CalibrateEnd", [&] { return Str(dev.CalibrateEnd()); }, "1"},
      {"CalibrateReset", [&] { return Str(dev.CalibrateReset()); }, "1"},
      {"GetCalibrateStatus", [&] { return Str(dev.GetCalibrateStatus()); }, "1"},
      {"SetCalibrateStatus", [&] { return dev.SetCalibrateStatus(DEV_STS_SUCCESS), std::string(); }, ""},
      {"GetConfig", [&] { return Str(dev.GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED)); }, "1"},
      {"DiagnosticBegin", [&] { return Str(dev.DiagnosticBegin(false)); }, "1"},
      {"DiagnosticRun", [&] { return Str(dev.DiagnosticRun("a", "b")); }, "1"},
      {"DiagnosticEnd", [&] { return Str(dev.DiagnosticEnd()); }, "1"},
      {"DiagnosticGetInputResult", [&] { return Str(dev.DiagnosticGetInputResult(&devicelog)); }, "1"},
      {"DownloadBegin", [&] { return Str(dev.DownloadBegin("f", 1)); }, "1"},
      {"DownloadRun", [&] { return Str(dev.DownloadRun()); }, "1"},
      {"DownloadEnd", [&] { return Str(dev.DownloadEnd()); }, "1"},
      {"GetLog", [&] { return Str(dev.GetLog(&devicelog, true)); }, "1"},
      {"ClearLog", [&] { return Str(dev.ClearLog("all")); }, "1"},
      {"SaveLog", [&] { return Str(dev.SaveLog("f", "t", false, true)); }, "1"},
      {"ResetScanner", [&] { return Str(dev.ResetScanner()); }, "1"},
      {"GetVersionInfo", [&] { return Str(dev.GetVersionInfo(&devicelog, false)); }, "1"},
      {"UnpackScanHistory", [&] { return Str(dev.UnpackScanHistory("a", "b")); }, "1"},
      {"GetReportInquiry", [&] { return Str(dev.GetReportInquiry()); }, "(null)"},
      {"EcdoCustomBegin", [&] { return Str(dev.EcdoCustomBegin()); }, "1"},
      {"EcdoCustomEnd", [&] { return Str(dev.EcdoCustomEnd()); }, "1"},
      {"GetConsumableMeters", [&] { return Str(dev.GetConsumableMeters(&szMeters)); }, "1"},
      {"SetConsumableMeter", [&] { return Str(dev.SetConsumableMeter("m")); }, "1"},
      {"ResetConsumableMeter", [&] { return Str(dev.ResetConsumableMeter("m")); }, "1"},
      {"GetCartridgeDetected", [&] { return Str(dev.GetCartridgeDetected()); }, "1"},
      {"ScannerEntry", [&] { return Str(dev.ScannerEntry(DB_FIRMWARE_ADF, &osxmltask)); }, "(null)"},
      {"NexEntry", [&] { return Str(dev.NexEntry(DB_FIRMWARE_ADF, &osxmltask)); }, "(null)"},
      {"PassThroughNexil", [&] { return Str(dev.PassThroughNexil("<x/>")); }, "(null)"},
  };
  for (const auto& c : acase) {
    SCOPED_TRACE(c.szOperation);
    const size_t sizetBefore = Count(log.Text(), "m_pdevimpl is null...");
    EXPECT_EQ(c.fn(), c.szAnswer);
    EXPECT_EQ(Count(log.Text(), "m_pdevimpl is null..."), sizetBefore + 1);
  }
  EXPECT_EQ(szMeters, nullptr);
  EXPECT_STREQ(szBuffer, "");
}

// The protocol's word of each device status, as the facade's table gives it.
TEST(DevFacade, StatusWords) {
  const char* const aszWord[] = {
      "success",       "fail",          "fail",         "busy",        "calibrationrequired",
      "cancel",        "cleanguides",   "coveropen",    "criticalerror", "disconnected",
      "multifeed",     "ecdocustomlearnfail", "endofoutput", "fail",      "lampswarming",
      "nomemory",      "nofeederfound", "noimageready", "noprintheadfound", "notcomplete",
      "notenoughcolor", "notenoughpages", "nowhitepatchfound", "paperjam", "imageprocessingerror",
      "nomedia",       "endofsheet",    "fail",         "fail",        "useraction",
      "fail",          "fail",          "fail",
  };
  LogCapture log;
  CDev dev(nullptr, nullptr, nullptr);
  for (int i = 0; i <= 32; ++i) {
    SCOPED_TRACE(i);
    EXPECT_STREQ(dev.GetLexiconStatus(static_cast<EDEVSTS>(i)), aszWord[i]);
  }
  EXPECT_STREQ(dev.GetLexiconStatus(static_cast<EDEVSTS>(-1)), "fail");
}

TEST(DevFacade, LastErrorText) {
  LogCapture log;
  CDev dev(nullptr, nullptr, nullptr);
  EXPECT_STREQ(dev.GetLastErrorText(), "");
  dev.SetLastErrorText("Paper Jam");
  EXPECT_STREQ(dev.GetLastErrorText(), "Paper Jam");
  dev.SetLastErrorText(nullptr);
  EXPECT_STREQ(dev.GetLastErrorText(), "Paper Jam");
  dev.SetLastErrorText(std::string(600, 'e').c_str());
  EXPECT_EQ(std::string(dev.GetLastErrorText()), std::string(511, 'e'));
}

// The message procedure stored by the session's begin, and the
// plug-and-play procedure with its argument, reach their callers.
struct Calls {
  static std::vector<std::string> s_vecstrMessage;
  static std::vector<DevCallBackData> s_vecdevcallbackdata;
  static EOSSTS Message(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                        EDEVBUTTONS a_edevbuttons) {
    s_vecstrMessage.push_back(std::to_string(a_edevdlg) + "," + std::to_string(a_edevmsg) + "," + Str(a_szText) +
                              "," + std::to_string(a_lValue) + "," + std::to_string(a_edevbuttons));
    return OS_STS_SUCCESS;
  }
  static EOSSTS Pnp(void* a_pvData) {
    s_vecdevcallbackdata.push_back(*static_cast<DevCallBackData*>(a_pvData));
    return OS_STS_SUCCESS;
  }
};
std::vector<std::string> Calls::s_vecstrMessage;
std::vector<DevCallBackData> Calls::s_vecdevcallbackdata;

TEST(DevFacade, TheDriversProceduresAreCalled) {
  LogCapture log;
  CDev dev(nullptr, nullptr, nullptr);
  dev.MessageProc(DEV_DLG_SCANNING, DEV_MSG_CLEAR, nullptr, 0, DEV_BUTTONS_NONE);
  dev.PnpChange("<pnpchange/>");
  EXPECT_TRUE(Calls::s_vecstrMessage.empty());
  EXPECT_TRUE(Calls::s_vecdevcallbackdata.empty());
  dev.SessionBegin(Calls::Message);
  dev.MessageProc(DEV_DLG_SCANNING, DEV_MSG_WAITPAPER, "paper", 10, DEV_BUTTONS_CANCEL);
  EXPECT_EQ(Calls::s_vecstrMessage, std::vector<std::string>{"6,18,paper,10,2"});
  int iArgument = 0;
  EXPECT_EQ(dev.RegisterPnpchangeProc(Calls::Pnp, &iArgument), OS_STS_SUCCESS);
  const char* szText = "<pnpchange><device/></pnpchange>";
  dev.PnpChange(szText);
  ASSERT_EQ(Calls::s_vecdevcallbackdata.size(), 1u);
  EXPECT_EQ(Calls::s_vecdevcallbackdata[0].pvArgument, &iArgument);
  EXPECT_EQ(Calls::s_vecdevcallbackdata[0].szText, szText);
  EXPECT_NE(Calls::s_vecdevcallbackdata[0].pdevimpl, nullptr);
}

// A data-only object makes its device data at once; the engine's counters
// start at the first image of the first page.
TEST(DevObject, DataOnlyUseAndTheStartingState) {
  LogCapture log;
  CDevImpl devimpl(nullptr, nullptr, nullptr, nullptr);
  const DevImplPod& pod = devimpl.GetPod();
  ASSERT_NE(pod.m_pdevdata, nullptr);
  EXPECT_EQ(pod.m_lFeederState.load(), 1);
  EXPECT_EQ(pod.m_edbidfirmware, DEV_FIRMWARE_NONE);
  EXPECT_EQ((std::vector<long>{pod.m_lDeviceImageCount, pod.m_lDevicePageCount, pod.m_lDevicePageImageCount,
                               pod.m_lDevicePageSideCount}),
            (std::vector<long>{1, 1, 1, 0}));
  EXPECT_EQ((std::vector<long>{pod.m_lNexilImageCount, pod.m_lNexilPageCount, pod.m_lNexilPageImageCount,
                               pod.m_lNexilPageSideCount}),
            (std::vector<long>{1, 1, 1, 0}));
  EXPECT_EQ(pod.m_lCacheSize, 1);
  EXPECT_EQ(devimpl.GetDeviceStatusCallback(), DEV_STS_SUCCESS);
  devimpl.SetDeviceStatusCallback(DEV_STS_DISCONNECTED);
  EXPECT_EQ(devimpl.GetDeviceStatusCallback(), DEV_STS_DISCONNECTED);
  EXPECT_EQ(devimpl.GetReportInquiry(), nullptr);
  EXPECT_STREQ(devimpl.GetDriverEventName(), "");
  EXPECT_EQ(devimpl.UnpackScanHistory("a.xml", "b.dat"), OS_STS_FAIL);
  EXPECT_TRUE(log.Contains("OsMemSharedAllocReadonly failed...<b.dat>"));
  // Without a database there are no dropout lists to fill, and no scan.
  EXPECT_EQ(devimpl.GetEcdo(), OS_STS_FAIL);
  EXPECT_EQ(devimpl.ScanRequestStop(DEV_STOPACTION_REQUEST), 5);
  EXPECT_FALSE(devimpl.ScanIsScanning());
  EXPECT_TRUE(log.Contains("GetEcdo: pod.m_pdatabase is null..."));
  EXPECT_EQ(devimpl.GetDeviceStatus(), 3);
}

// Without a database the device data touches no file but keeps the calls.
TEST(DevObject, TheDeviceDataKeepsItsLastCalls) {
  LogCapture log;
  CDevData devdata;
  OsTimeRecord ostimerecord = {2024, 5, 1, 2, 3, 4, 5, 6};
  EXPECT_EQ(devdata.CreateOnlineFile(DB_FIRMWARE_FLATBED, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(devdata.DestroyOnlineFile(DB_FIRMWARE_ADF), OS_STS_SUCCESS);
  EXPECT_EQ(devdata.UpdateDeviceXml(DB_FIRMWARE_ADF, nullptr, nullptr), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(devdata.IncrementAccumulators(DB_FIRMWARE_ADF, true, 2, false, 0, true, 1, nullptr),
            OS_STS_BAD_ARGUMENT);
  devdata.CreateScanHistory(DB_FIRMWARE_ADF, nullptr, DEV_STS_PAPERJAM, &ostimerecord, 1, 20, 10);
  const DevDataCalls devdatacalls = devdata.GetCalls();
  EXPECT_EQ(devdatacalls.iCreateOnlineFile, 1);
  EXPECT_EQ(devdatacalls.edbidfirmwareOnline, DB_FIRMWARE_FLATBED);
  EXPECT_EQ(devdatacalls.iDestroyOnlineFile, 1);
  EXPECT_EQ(devdatacalls.iUpdateDeviceXml, 1);
  EXPECT_EQ(devdatacalls.iIncrementAccumulators, 1);
  EXPECT_TRUE(devdatacalls.blMultifeed);
  EXPECT_EQ(devdatacalls.uMultifeed, 2u);
  EXPECT_FALSE(devdatacalls.blPaperJam);
  EXPECT_EQ(devdatacalls.uOtherError, 1u);
  EXPECT_EQ(devdatacalls.iCreateScanHistory, 1);
  EXPECT_EQ(devdatacalls.edevstsHistory, DEV_STS_PAPERJAM);
  EXPECT_EQ(devdatacalls.ostimerecordStart.u16Year, 2024);
  EXPECT_EQ(devdatacalls.uHistoryImages, 20u);
  EXPECT_EQ(devdatacalls.uHistorySheets, 10u);
}

}  // namespace
