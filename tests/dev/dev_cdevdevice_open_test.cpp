// Opening a unit through the adapter on the caller's thread: interfaceopen
// with the database's debug and simulation settings, sessionbegin in its
// synchronous and asynchronous forms, and the completion's tasks and what
// they leave in the database.
#include <string>
#include <vector>

#include "db_cdbversion.h"
#include "dev_device_fixture.h"

namespace {

using devtest::Hex;
using devtest::LoggedTask;

class DevDeviceOpen : public devtest::DeviceFixture {};

TEST_F(DevDeviceOpen, ASynchronousOpenOfTheFeederCompletesAtOnce) {
  SetSimulation({{"serialnumber", "XYZ1"}, {"pages", "3"}});
  ASSERT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(Brief(), (std::vector<std::string>{"adf interfaceopen success", "adf sessionbegin success",
                                               "adf getversionuser success", "adf querysupport success",
                                               "adf registercallback success", "adf registercallback success"}));
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  EXPECT_EQ(vecloggedtask[1].Arguments(), "monitorbuttonevents=false eolmode=none language=en_usa");
  EXPECT_EQ(vecloggedtask[4].Arguments(), "callbackname=connectionchange functionptr=" +
                                              Hex(reinterpret_cast<void*>(CDevDevice::CallBackSetDeviceStatusAdf)) +
                                              " userargumentptr=" + Hex(m_pdevdevice.get()));
  EXPECT_EQ(vecloggedtask[5].Arg("callbackname"), "pnpchange");
  EXPECT_EQ(vecloggedtask[5].Arg("functionptr"), Hex(reinterpret_cast<void*>(CDevDevice::CallBackPnpChange)));

  // What the replies and the model's inquiry left.
  EXPECT_STREQ(m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_ADF), "mapleB");
  EXPECT_STREQ(m_pdatabase->ConfigGetString("serialnumber", DB_CONFIGTARGET_COMMON), "XYZ1");
  EXPECT_EQ(m_pdatabase->ConfigRangeGetMax("sheetwidth", DB_CONFIGTARGET_COMMON), 10200u);
  EXPECT_EQ(m_pdatabase->ConfigRangeGetMax("sheetheight", DB_CONFIGTARGET_COMMON), 16800u);
  EXPECT_TRUE(m_pdatabase->ConfigExists("processreportinquirydone", DB_CONFIGTARGET_COMMON));
  CDbVersion* pdbversion = m_pdatabase->GetDbVersion();
  EXPECT_STREQ(pdbversion->GetVersionFirmwareAdf(), "5.6.7");
  EXPECT_STREQ(pdbversion->GetVersionDeviceManagerAdf(), "1.2.3.4");
  EXPECT_EQ(m_pdevdevice->GetDeviceStatus(), 2);
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE), 2);
  EXPECT_TRUE(m_plog->Contains("CompleteOpen: past the lock..."));
  EXPECT_FALSE(m_plog->Contains("adf is waiting for the flatbed"));
  // The session is the adapter's to end.
  m_pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr);
  EXPECT_EQ(Brief(6), (std::vector<std::string>{"adf sessionend success", "adf interfaceclose success"}));
}

// interfaceopen carries the front end's settings: the simulated models, all
// the flags in their order (32, the record's capacity), the debug setting;
// the device file goes to the feeder, and to the flatbed only in WIA mode 3.
TEST_F(DevDeviceOpen, InterfaceOpenCarriesTheFrontEndsSettings) {
  std::vector<std::pair<std::string, std::string>> vecFlags;
  for (int i = 1; i < DB_SIM_FLAGS; ++i) vecFlags.emplace_back("flag" + std::to_string(i), std::to_string(i * 7));
  vecFlags.emplace_back("imagedirectory", testsupport::RootPath("images"));
  SetSimulation(vecFlags, false);
  ASSERT_EQ(m_pdatabase->SetRecordText(DB_RECORD_SIMMODEL, 0, "mapleC"), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdatabase->SetRecordText(DB_RECORD_SIMFLATBED, 0, "mapleB"), OS_STS_SUCCESS);
  ASSERT_EQ(m_pdatabase->SetRecordText(DB_RECORD_IMAGESFROMSCANNER, 0, "on"), OS_STS_SUCCESS);
  m_pdatabase->ConfigSetString("devicefilename", "usb:1-4&x", DB_CONFIGTARGET_COMMON);
  SetFlatbedDirectory();
  ASSERT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
  ASSERT_EQ(m_pdevdevice->Load(DB_FIRMWARE_FLATBED, false), DEV_STS_SUCCESS);
  ASSERT_EQ(m_pdevdevice->InterfaceOpen(DB_FIRMWARE_ADF), DEV_STS_SUCCESS) << m_plog->Text();
  ASSERT_EQ(m_pdevdevice->InterfaceOpen(DB_FIRMWARE_FLATBED), DEV_STS_SUCCESS) << m_plog->Text();
  m_pdevdevice->WIAMode(DEV_WIAMODE_FLATBED);
  EXPECT_EQ(m_pdevdevice->InterfaceClose(DB_FIRMWARE_FLATBED), DEV_STS_SUCCESS);
  // (The unit's second interfaceopen reply is one inquiry too many for the
  // database: only the task matters here.)
  m_pdevdevice->InterfaceOpen(DB_FIRMWARE_FLATBED);

  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_EQ(vecloggedtask.size(), 4u);
  EXPECT_EQ(vecloggedtask[0].Arg("devicefilename"), "usb:1-4&x");
  EXPECT_EQ(vecloggedtask[1].Arg("devicefilename"), "-");
  EXPECT_EQ(vecloggedtask[3].Arg("devicefilename"), "usb:1-4&x");
  // The tasks as sent: the feeder's names both models, the flatbed's only
  // its own; every flag in order.
  const std::string strLog = m_plog->Text();
  const size_t sizetAdf = strLog.find("<DRV2DEV><task id='00000000000000000001'");
  const size_t sizetFlatbed = strLog.find("<DRV2DEVFLATBED><task id='00000000000000000002'");
  ASSERT_NE(sizetAdf, std::string::npos);
  ASSERT_NE(sizetFlatbed, std::string::npos);
  const std::string strAdf = strLog.substr(sizetAdf, strLog.find("</DRV2DEV>", sizetAdf) - sizetAdf);
  const std::string strFlatbed =
      strLog.substr(sizetFlatbed, strLog.find("</DRV2DEVFLATBED>", sizetFlatbed) - sizetFlatbed);
  EXPECT_NE(strAdf.find("<debug>\n\t\t\t<imagesfromscanner>on</imagesfromscanner>"), std::string::npos) << strAdf;
  EXPECT_NE(strAdf.find("<simulation>true</simulation>\n\t\t\t<simmodel>mapleC</simmodel>\n\t\t\t<simflatbed>mapleB"
                        "</simflatbed>"),
            std::string::npos)
      << strAdf;
  EXPECT_NE(strFlatbed.find("<simulation>true</simulation>\n\t\t\t<simmodel>mapleB</simmodel>\n\t\t\t<simflag>"),
            std::string::npos)
      << strFlatbed;
  size_t sizetAt = 0;
  for (const auto& [strId, strValue] : vecFlags) {
    const std::string strFlag = "<id>" + strId + "</id>\n\t\t\t\t<value>" + strValue + "</value>";
    sizetAt = strAdf.find(strFlag, sizetAt);
    ASSERT_NE(sizetAt, std::string::npos) << strFlag;
  }
  // The feeder simulated the model named, with the flatbed it was told of;
  // each unit's reply named its own model, whatever unit was current.
  EXPECT_STREQ(m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_ADF), "mapleC");
  EXPECT_STREQ(m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_FLATBED), "mapleB");
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE), DB_FIRMWARE_ADF);
  EXPECT_STREQ(m_pdatabase->ConfigGetString("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON), "mapleB");
}

// Button events make the open asynchronous: sessionbegin names the
// open-complete entry point (and, for the feeder, the flatbed's resource)
// and the unit answers "notcomplete".
TEST_F(DevDeviceOpen, ButtonEventsMakeTheOpenAsynchronous) {
  m_pdatabase->ConfigAdd("monitorbuttonevents", DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigEnumAdd("eolmode", "continuous", DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigSetString("model", "flatbed", DB_CONFIGTARGET_FLATBED);
  m_pdatabase->ConfigSetString("devicetypeflatbed", "simscan", DB_CONFIGTARGET_COMMON);
  m_pdatabase->ConfigSetString("devicefilenameflatbed", "simscan:<flatbed>", DB_CONFIGTARGET_COMMON);
  SetSimulation({{"opendelay", "60000"}});
  EXPECT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_NOTCOMPLETE);
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_EQ(vecloggedtask.size(), 2u);
  EXPECT_EQ(vecloggedtask[1].strStatus, "notcomplete");
  EXPECT_EQ(vecloggedtask[1].Arguments(),
            "monitorbuttonevents=false callbackname=interfaceopencomplete functionptr=" +
                Hex(reinterpret_cast<void*>(CDevDevice::CompleteOpenCallbackAdf)) +
                " userargumentptr=" + Hex(m_pdevdevice.get()) + " eolmode=continuous language=en_usa resource=");
  EXPECT_NE(m_plog->Text().find("<resource>\n\t\t\t<model>flatbed</model>\n\t\t\t<devicetype>simscan</devicetype>\n"
                                "\t\t\t<devicefilename><![CDATA[simscan:<flatbed>]]></devicefilename>"),
            std::string::npos);
  // A real scanner (no simulation) watches its buttons; a WIA mode asks for
  // the callback as "monitorbuttonevents" does.
  m_pdatabase->ConfigDelete("monitorbuttonevents", DB_CONFIGTARGET_COMMON);
  m_pdatabase->SetRecordText(DB_RECORD_SIMULATION, 0, "false");
  m_pdevdevice->WIAMode(DEV_WIAMODE_BOTH);
  Send(DB_FIRMWARE_ADF, "sessionend");
  EXPECT_EQ(m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_NOTCOMPLETE);
  EXPECT_EQ(Tasks().back().Arg("monitorbuttonevents"), "true");
  // The pending open ends with the session: the unit never calls back.
  const auto timepointStart = std::chrono::steady_clock::now();
  m_pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - timepointStart, std::chrono::seconds(5));
  EXPECT_EQ(Brief(4), (std::vector<std::string>{"adf sessionend success", "adf interfaceclose success"}));
  EXPECT_FALSE(m_plog->Contains("callback>>> interfaceopencomplete"));
}

// A busy unit has no session: nothing ends it. A refusal other than busy
// is logged.
TEST_F(DevDeviceOpen, ARefusedSessionIsNotMarkedOpen) {
  SetSimulation({{"busy", "1"}});
  EXPECT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_BUSY);
  EXPECT_FALSE(m_plog->Contains("Report status failed from <sessionbegin>"));
  m_pdevdevice->SessionEnd(DB_FIRMWARE_ADF, nullptr);
  EXPECT_EQ(Brief(), (std::vector<std::string>{"adf interfaceopen success", "adf sessionbegin busy"}));
  EXPECT_EQ(m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_SUCCESS);
  // A second session on an open one is the unit's to refuse.
  EXPECT_EQ(m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Report status failed from <sessionbegin>...1"));
  EXPECT_EQ(m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_BOTH, nullptr, nullptr), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unrecognized a_edbidfirmware...3"));
}

// The completion stops at the first task the unit refuses, and a failed
// completion calls nothing back.
TEST_F(DevDeviceOpen, TheCompletionStopsAtARefusal) {
  SetSimulation();
  ASSERT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
  ASSERT_EQ(m_pdevdevice->InterfaceOpen(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  // Without a session the unit answers invalidstate.
  EXPECT_EQ(m_pdevdevice->CompleteOpen(true, DB_FIRMWARE_ADF), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("CompleteOpen: exiting, Report status failed from <getversionuser>..."));
  EXPECT_EQ(Brief(1), (std::vector<std::string>{"adf getversionuser invalidstate"}));
  // An adapter of no unit fails too.
  m_pdevdevice->Unload(DB_FIRMWARE_ADF, nullptr);
  EXPECT_EQ(m_pdevdevice->InterfaceOpen(DB_FIRMWARE_ADF), DEV_STS_FAIL);
  EXPECT_EQ(m_pdevdevice->SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_FAIL);
}

}  // namespace
