// The adapter's round trip and its tasks: one series of task ids for both
// units, the reply status map, each task as the unit receives it, and bad
// input that sends nothing.
#include "db_cdblookup.h"
#include "dev_device_fixture.h"
#include "os_cosmem.h"

namespace {

using devtest::Hex;
using devtest::LoggedTask;

class DevDevice : public devtest::DeviceFixture {};


EOSSTS NoCallback(void*) { return OS_STS_SUCCESS; }

TEST_F(DevDevice, TasksToEitherUnitAreNumberedInOneSeries) {
  Open(DB_FIRMWARE_ADF);
  Open(DB_FIRMWARE_FLATBED);
  EXPECT_EQ(m_pdevdevice->GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->GetConfig(DB_FIRMWARE_FLATBED, DB_ID_FEEDERLOADED), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->NotifyDeviceStatusDeviceOnline(DB_FIRMWARE_ADF, true), DEV_STS_SUCCESS);
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_EQ(vecloggedtask.size(), 7u);
  for (size_t i = 0; i < vecloggedtask.size(); ++i) EXPECT_EQ(vecloggedtask[i].ulId, i + 1);
  EXPECT_EQ(Brief(4), (std::vector<std::string>{"adf getconfig success", "flatbed getconfig success",
                                                "adf notifydevicestatus success"}));
  EXPECT_EQ(vecloggedtask[4].Arguments(), "id=paperdetected");
  // At debug level each task and reply is logged between its unit's tags.
  const std::string strLog = m_plog->Text();
  EXPECT_NE(strLog.find("<DRV2DEV><task id='00000000000000000005'"), std::string::npos);
  EXPECT_NE(strLog.find("<DRV2DEVFLATBED><task id='00000000000000000006'"), std::string::npos);
  EXPECT_NE(strLog.find("</task>\n</DRV2DEVFLATBED>"), std::string::npos);
  EXPECT_NE(strLog.find("<DEV2DRV><task id="), std::string::npos);
  EXPECT_NE(strLog.find("<DEVFLATBED2DRV><task id="), std::string::npos);
}

TEST_F(DevDevice, DispatchMapsEveryReplyWord) {
  static const struct {
    const char* szWord;
    int iExpected;
  } s_arow[] = {
      {"success", 0},           {"fail", 1},                {"busy", 3},           {"calibrationrequired", 4},
      {"cleanguides", 6},       {"coveropen", 7},           {"criticalerror", 8},  {"disconnected", 9},
      {"ecdocustomlearnfail", 11}, {"endofmessages", 27},   {"endofinput", 1},     {"endofoutput", 12},
      {"endofsheet", 26},       {"invalidstate", 1},        {"lampswarming", 14},  {"multifeed", 10},
      {"nofeederfound", 16},    {"noimageready", 17},       {"noprintheadfound", 18}, {"notcomplete", 19},
      {"notenoughcolor", 20},   {"notenoughpages", 21},     {"nowhitepatchfound", 22}, {"paperjam", 23},
      {"useraction", 29},
  };
  static_assert(sizeof s_arow / sizeof s_arow[0] == 25);
  for (const auto& row : s_arow) {
    EXPECT_EQ(m_pdevdevice->Dispatch(dptest::Reply(row.szWord).c_str(), DevDispatchTarget::Database(m_pdatabase.get()),
                                     false, DB_FIRMWARE_ADF),
              row.iExpected)
        << row.szWord;
  }
  EXPECT_EQ(m_pdevdevice->Dispatch(nullptr, DevDispatchTarget::None(), false, DB_FIRMWARE_ADF), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Xml task is empty"));
  EXPECT_EQ(m_pdevdevice->Dispatch(dptest::Reply("nosuchword").c_str(), DevDispatchTarget::None(), false,
                                   DB_FIRMWARE_ADF),
            DEV_STS_FAIL);
  EXPECT_EQ(m_pdevdevice->Dispatch("<task id='1'>", DevDispatchTarget::None(), false, DB_FIRMWARE_ADF), DEV_STS_FAIL);
  EXPECT_EQ(CDevDevice::MapReply(static_cast<EDEVREPLY>(-1)), DEV_STS_FAIL);
  EXPECT_EQ(CDevDevice::MapReply(static_cast<EDEVREPLY>(25)), DEV_STS_FAIL);
}

// Each operation's task as the unit received it: unit, command, children,
// the unit's answer and what the operation made of it.
TEST_F(DevDevice, EachTaskAsTheUnitReceivesIt) {
  Open(DB_FIRMWARE_ADF);
  Open(DB_FIRMWARE_FLATBED);
  m_pdatabase->ConfigSetString("devicefilename", "usb:0-1", DB_CONFIGTARGET_COMMON);
  // A model with an imprinter reports its cartridge.
  m_pdatabase->SetAccess(m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_CARTRIDGEDETECTED), DB_ACCESS_READONLY);
  const std::string strFirmware = testsupport::RootPath("firmware.bin");
  testsupport::WriteFile(strFirmware, "12345");
  DeviceLog devicelog = {};
  devicelog.edbidfirmware = DB_FIRMWARE_FLATBED;
  devicelog.u32LogType = DB_ID_LOG_ENUM_INFO;
  CDevDevice* p = m_pdevdevice.get();
  const struct {
    std::function<EDEVSTS()> fn;
    int iResult;
    const char* szTask;  // unit command status
    std::string strChildren;
  } s_arow[] = {
      {[&] { return p->RegisterCallback(DB_FIRMWARE_ADF, "imageavailable", NoCallback, p); }, 0,
       "adf registercallback success",
       "callbackname=imageavailable functionptr=" + Hex(reinterpret_cast<void*>(NoCallback)) +
           " userargumentptr=" + Hex(p)},
      {[&] { return p->NotifyDeviceStatusDeviceOnline(DB_FIRMWARE_ADF, true); }, 0, "adf notifydevicestatus success",
       "deviceonline=true devicefilename=usb:0-1"},
      {[&] { return p->NotifyDeviceStatusDeviceOnline(DB_FIRMWARE_FLATBED, false); }, 0,
       "flatbed notifydevicestatus success", "deviceonline=false"},
      {[&] { return p->SetOcpButtons(DB_FIRMWARE_ADF, "<button><id>1</id></button>"); }, 0,
       "adf setocpbuttons success", "language=en_usa button="},
      {[&] { return p->GetOcpButton(DB_FIRMWARE_FLATBED); }, 0, "flatbed getocpbutton success", ""},
      {[&] {
         return p->SetConsumableMeter("<consumablemetertype>feedroller</consumablemetertype><value>5</value>");
       },
       0, "adf setconsumablemeter success", "consumablemetertype=feedroller value=5"},
      {[&] { return p->ResetConsumableMeter("<consumablemetertype>toner</consumablemetertype>"); }, 1,
       "adf resetconsumablemeter fail", "consumablemetertype=toner"},
      {[&] { return p->GetCartridgeDetected(); }, 0, "adf getcartridgedetected success", ""},
      {[&] { return p->GetLog(&devicelog); }, 0, "flatbed getlog success", "language=en_usa logtype=info"},
      {[&] { return p->GetDebugLog(&devicelog); }, 0, "adf getdebuglog success", ""},
      {[&] { return p->ClearLog("activity"); }, 0, "adf clearlog success", "logtype=activity"},
      {[&] { return p->MessageRelay(DB_FIRMWARE_ADF, nullptr); }, 27, "adf messagerelay endofmessages", ""},
      {[&] { return p->SetupBegin(DB_FIRMWARE_FLATBED, true); }, 0, "flatbed setupbegin success", "setupscan=true"},
      {[&] { return p->SetupEnd(DB_FIRMWARE_FLATBED, true); }, 0, "flatbed setupend success", "cancel=true"},
      {[&] { return p->DownloadBegin(DB_FIRMWARE_ADF, strFirmware.c_str(), 5); }, 0, "adf downloadbegin success",
       "datafile="},
      {[&] { return p->DownloadRun(DB_FIRMWARE_ADF); }, 0, "adf downloadrun success", ""},
      {[&] { return p->DownloadEnd(DB_FIRMWARE_ADF); }, 0, "adf downloadend success", ""},
      {[&] { return p->DownloadEnd(DB_FIRMWARE_ADF); }, 1, "adf downloadend invalidstate", ""},
      {[&] { return p->SessionBounce(); }, 0, "adf sessionbounce success", ""},
      {[&] { return p->GetConfig(DB_FIRMWARE_FLATBED, DB_ID_LOG); }, 0, "flatbed getconfig success", "id=logtype"},
      {[&] { return Send(DB_FIRMWARE_FLATBED, "sessionend"); }, 0, "flatbed sessionend success", ""},
      {[&] { return p->InterfaceClose(DB_FIRMWARE_FLATBED); }, 0, "flatbed interfaceclose success", ""},
  };
  for (const auto& row : s_arow) {
    const size_t sizetTasks = Tasks().size();
    EXPECT_EQ(row.fn(), row.iResult) << row.szTask;
    const std::vector<LoggedTask> vecloggedtask = Tasks();
    ASSERT_EQ(vecloggedtask.size(), sizetTasks + 1) << row.szTask;
    EXPECT_EQ(Brief(sizetTasks).front(), row.szTask);
    EXPECT_EQ(vecloggedtask.back().Arguments(), row.strChildren) << row.szTask;
  }
  EXPECT_EQ(Send(DB_FIRMWARE_ADF, "sessionend"), DEV_STS_SUCCESS);
  m_pdatabase->ConfigSetNumber("lampwarmuptime", 12, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_pdevdevice->GetLampWarmupTimeout(), 12000);
}

TEST_F(DevDevice, ConsumableMetersGoToTheCallerInABlockOfItsOwn) {
  Open(DB_FIRMWARE_ADF);
  char* szMeters = nullptr;
  EXPECT_EQ(m_pdevdevice->GetConsumableMeters(&szMeters), DEV_STS_SUCCESS);
  ASSERT_NE(szMeters, nullptr);
  const std::string strMeters = szMeters;
  EXPECT_NE(strMeters.find("<consumablemetertype>feedroller</consumablemetertype>"), std::string::npos) << strMeters;
  EXPECT_EQ(strMeters.find("reportconsumablemeters"), std::string::npos) << strMeters;
  OsMemFree(szMeters);
  // Nothing comes back from a unit that is not loaded.
  m_pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr);
  szMeters = reinterpret_cast<char*>(1);
  EXPECT_EQ(m_pdevdevice->GetConsumableMeters(&szMeters), DEV_STS_FAIL);
  EXPECT_EQ(szMeters, nullptr);
  EXPECT_TRUE(m_plog->Contains("ScannerEntry failed..."));
}

// Each bad call answers 1 with its line and sends nothing.
TEST_F(DevDevice, BadInputSendsNothing) {
  Open(DB_FIRMWARE_ADF);
  DeviceLog devicelog = {};
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  devicelog.u32LogType = 999;
  CDevDevice* p = m_pdevdevice.get();
  const struct {
    std::function<EDEVSTS()> fn;
    const char* szLog;
  } s_arow[] = {
      {[&] { return p->GetConfig(static_cast<EDBID_FIRMWARE>(0), DB_ID_FEEDERLOADED); },
       "Unrecognized a_edbidfirmware...0"},
      {[&] { return p->RegisterCallback(static_cast<EDBID_FIRMWARE>(4), "buttonevent", NoCallback, p); },
       "Unrecognized a_edbidfirmware...4"},
      {[&] { return p->InterfaceClose(static_cast<EDBID_FIRMWARE>(4)); }, "Unrecognized a_edbidfirmware...4"},
      {[&] { return p->Unload(static_cast<EDBID_FIRMWARE>(0), nullptr); }, "Unrecognized a_edbidfirmware...0"},
      {[&] { return p->RegisterCallback(DB_FIRMWARE_ADF, nullptr, NoCallback, p); }, "a_szCallbackname is null..."},
      {[&] { return p->SetConsumableMeter(nullptr); }, "a_pszSetconsumablemeter is null..."},
      {[&] { return p->ResetConsumableMeter(nullptr); }, "a_pszResetconsumablemeter is null..."},
      {[&] { return p->GetConsumableMeters(nullptr); }, "a_ppszConsumablemeters is null..."},
      {[&] { return p->GetLog(&devicelog); }, "Unable to find the lookup for logtype...999"},
      {[&] { return p->GetLog(nullptr); }, "a_pdevicelog is null..."},
      {[&] { return p->GetDebugLog(nullptr); }, "a_pdevicelog is null..."},
      {[&] { return p->GetConfig(DB_FIRMWARE_ADF, static_cast<EDBID>(0)); }, "Unrecognized a_edbid...0"},
      {[&] { return p->GetConfig(DB_FIRMWARE_ADF, static_cast<EDBID>(400)); }, "Unrecognized a_edbid...400"},
      {[&] { return p->GetConfig(DB_FIRMWARE_ADF, static_cast<COsXmlTask*>(nullptr)); }, "a_posxmltask is null..."},
      {[&] { return p->ClearLog(nullptr); }, "a_szLogtype is null..."},
      {[&] { return p->ClearLog("<info/>"); }, "Failed to build the task <clearlog>, nothing sent..."},
      {[&] { return p->DownloadBegin(DB_FIRMWARE_ADF, nullptr, 0); }, "a_szFilename is null..."},
  };
  const size_t sizetTasks = Tasks().size();
  for (const auto& row : s_arow) {
    EXPECT_EQ(row.fn(), DEV_STS_FAIL) << row.szLog;
    EXPECT_TRUE(m_plog->Contains(row.szLog)) << row.szLog;
  }
  EXPECT_EQ(Tasks().size(), sizetTasks);
  // A log type without lookup: when LOG itself is missing.
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_LOG);
  m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_NOTSUPPORTED);
  devicelog.u32LogType = DB_ID_LOG_ENUM_INFO;
  EXPECT_EQ(m_pdevdevice->GetLog(&devicelog), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unable to get hdbdatum of DB_ID_LOG..."));
  EXPECT_EQ(Tasks().size(), sizetTasks);
}

// An adapter without a database or facade, or whose dispatcher could not
// load its grammar, answers every operation with a failure.
TEST_F(DevDevice, AnEmptyAdapterFailsEveryOperation) {
  CDevDevice devdevice(nullptr, m_pdev.get());
  EXPECT_TRUE(m_plog->Contains("null argument..."));
  EXPECT_EQ(devdevice.Load(DB_FIRMWARE_ADF, false), DEV_STS_FAIL);
  EXPECT_EQ(devdevice.GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED), DEV_STS_FAIL);
  EXPECT_EQ(devdevice.SessionBounce(), DEV_STS_FAIL);
  EXPECT_EQ(devdevice.SetDeviceStatus(DB_FIRMWARE_ADF, 0), DEV_STS_FAIL);
  EXPECT_EQ(devdevice.GetFirmware(), 0);
  EXPECT_EQ(devdevice.GetLampWarmupTimeout(), 0);

  CDispatch::SetReplyGrammarSeam("<grammar");
  CDevDevice devdeviceNoGrammar(m_pdatabase.get(), m_pdev.get());
  CDispatch::SetReplyGrammarSeam(nullptr);
  EXPECT_TRUE(m_plog->Contains("Failed SetupDispatchTemplate..."));
  EXPECT_EQ(devdeviceNoGrammar.Dispatch(dptest::Reply("success").c_str(), DevDispatchTarget::None(), false,
                                        DB_FIRMWARE_ADF),
            DEV_STS_FAIL);
}

// Deleted with a unit still loaded, the adapter closes the unit first: the
// library must not call back into a deleted adapter.
TEST_F(DevDevice, DeletedWithAUnitLoadedItClosesTheUnit) {
  Open(DB_FIRMWARE_ADF);
  EXPECT_EQ(m_pdevdevice->RegisterCallback(DB_FIRMWARE_ADF, "connectionchange", CDevDevice::CallBackSetDeviceStatusAdf,
                                           m_pdevdevice.get()),
            DEV_STS_SUCCESS);
  ASSERT_EQ(Send(DB_FIRMWARE_ADF, "sessionend"), DEV_STS_SUCCESS);
  m_pdevdevice.reset();
  EXPECT_EQ(Brief().back(), "adf interfaceclose success");
}

}  // namespace
