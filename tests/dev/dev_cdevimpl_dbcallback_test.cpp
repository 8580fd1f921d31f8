// The capability callbacks on the stand-ins, after an open through the
// device object's adapter with the registrations made: what a read asks and
// a write sends (task logs), the guards that keep them quiet, the flatbed,
// the diagnostics, the serial number, and bad callback records.
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "db_cdbdatum.h"
#include "dev_cdevimpl.h"
#include "dev_device_fixture.h"
#include "dp_store.h"

namespace {

using devtest::LoggedTask;

// The message procedure's calls: dialog and message.
std::vector<std::pair<int, int>> s_vecMessages;
EOSSTS RecordMessage(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char*, long, EDEVBUTTONS) {
  s_vecMessages.emplace_back(a_edevdlg, a_edevmsg);
  return OS_STS_SUCCESS;
}

class DevCapabilityCallbacks : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILOFF, "1");
  }
  void TearDown() override {
    for (int iState = DB_STATE_DEVICEUPDATE; iState <= DB_STATE_REPORTREAD; ++iState)
      m_pdatabase->ClearDbState(static_cast<EDBSTATE>(iState));
    DeviceFixture::TearDown();
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdev); }
  CDevDevice& Adapter() { return *Impl().GetPod().m_pdevdevice; }

  // The device object opened on the stand-ins, sessions begun through its
  // adapter, the defaults derived, the capabilities the tests use offered
  // (the rules that offer them come later), the callbacks registered.
  void OpenDevice(bool a_blFlatbed) {
    if (a_blFlatbed) setenv("SIMSCAN_ADF_FLATBED", devtest::FlatbedDirectory().c_str(), 1);
    ASSERT_EQ(m_pdev->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    if (a_blFlatbed) {
      ASSERT_EQ(Adapter().SessionBegin(nullptr, DB_FIRMWARE_FLATBED, nullptr, nullptr), DEV_STS_SUCCESS);
    }
    ASSERT_EQ(Adapter().SessionBegin(nullptr, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_SUCCESS);
    m_pdatabase->FixDefaultAll();
    for (EDBID edbid : {DB_ID_METERLAMPFRONT, DB_ID_METERLAMPREAR, DB_ID_DIAGCOOLINGFAN, DB_ID_IMAGEADDRESSSCANNER}) {
      ASSERT_EQ(m_pdatabase->SetAccess(m_pdatabase->FindDirect(DB_BIN_MACHINE, edbid), DB_ACCESS_READWRITE),
                DB_STS_SUCCESS);
    }
    ASSERT_EQ(Impl().RegisterDatabaseCallbacks(), OS_STS_SUCCESS) << m_plog->Text();
  }
  CDbDatum* Datum(EDBID a_edbid) {
    CDbDatum* pdbdatum = m_pdatabase->Find(a_edbid);
    EXPECT_NE(pdbdatum, nullptr) << a_edbid;
    return pdbdatum;
  }
  void SetState(EDBSTATE a_edbstate, bool a_blSet) {
    a_blSet ? m_pdatabase->SetDbState(a_edbstate) : m_pdatabase->ClearDbState(a_edbstate);
  }
  // The capability's set callback run again: its value (or the one given)
  // stored anew.
  void Rewrite(EDBID a_edbid, long a_lValue = -1) {
    CDbDatum* pdbdatum = Datum(a_edbid);
    pdbdatum->ForceCurrentLong(a_lValue < 0 ? pdbdatum->GetCurrentLongNoCallback() : a_lValue);
  }
  // The value the scanner reports, written without telling it.
  void FromScanner(EDBID a_edbid, long a_lValue) {
    CDpFromScanner dpfromscanner(*m_pdatabase);
    Datum(a_edbid)->ForceCurrentLong(a_lValue);
  }
  // Unit, command and arguments of each task from the index on.
  static std::vector<std::string> Sent(size_t a_sizetFrom) {
    std::vector<std::string> vec;
    const std::vector<LoggedTask> vecloggedtask = Tasks();
    for (size_t i = a_sizetFrom; i < vecloggedtask.size(); ++i) {
      const LoggedTask& loggedtask = vecloggedtask[i];
      vec.push_back(loggedtask.strUnit + " " + loggedtask.strCommand +
                    (loggedtask.vecstrArgument.empty() ? "" : " " + loggedtask.Arguments()));
    }
    return vec;
  }
  // Tasks sent so far other than a scan's own (the scan thread of the
  // "scanning" condition asks for images meanwhile).
  static size_t CallbackTasks() {
    static const std::set<std::string> s_setScan = {"scanbegin", "getoutput", "imageend", "scanend",
                                                     "scanrequeststop"};
    size_t sizet = 0;
    for (const LoggedTask& loggedtask : Tasks()) sizet += s_setScan.count(loggedtask.strCommand) ? 0 : 1;
    return sizet;
  }
};

// A read asks the scanner and keeps its answer; a write sends the new
// value, which the scanner then answers. A reply's values are not sent
// back (nor does the send wait for the reply's own walk).
TEST_F(DevCapabilityCallbacks, ReadsAskTheScannerAndWritesSendTheValue) {
  OpenDevice(false);
  size_t sizetTasks = Tasks().size();
  CDbDatum* pdbdatumPages = Datum(DB_ID_METERPAGECOUNT);
  pdbdatumPages->ForceCurrentLong(12);
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf setconfig meterpagecount=12"});
  FromScanner(DB_ID_METERPAGECOUNT, 77);
  sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdatabase->GetCurrentLong(pdbdatumPages), 12);
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf getconfig id=meterpagecount"});
  EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_DEVICEUPDATE), 0);

  sizetTasks = Tasks().size();
  CDbDatum* pdbdatumTimeout = Datum(DB_ID_POWEROFFTIMEOUT);
  pdbdatumTimeout->ForceCurrentLong(30);
  const std::vector<std::string> vecSent = Sent(sizetTasks);
  ASSERT_EQ(vecSent.size(), 1u);
  EXPECT_EQ(vecSent[0].rfind("adf setconfig ", 0), 0u) << vecSent[0];
  EXPECT_NE(vecSent[0].find("powerofftimeout=30"), std::string::npos) << vecSent[0];
  FromScanner(DB_ID_POWEROFFTIMEOUT, 45);
  sizetTasks = Tasks().size();
  ASSERT_EQ(Adapter().GetConfig(DB_FIRMWARE_ADF, DB_ID_POWEROFFTIMEOUT), DEV_STS_SUCCESS);
  EXPECT_EQ(pdbdatumTimeout->GetCurrentLongNoCallback(), 30);
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf getconfig id=powerofftimeout"});
  // Text capabilities too: the time is read, the first scan's date written.
  sizetTasks = Tasks().size();
  EXPECT_NE(m_pdatabase->GetCurrentString(Datum(DB_ID_TIMEDATE)), nullptr);
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf getconfig id=timedate"});
  sizetTasks = Tasks().size();
  Datum(DB_ID_METERFIRSTSCAN)->ForceCurrentString("2026-01-02 03:04:05.678");
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf setconfig meterfirstscan=2026-01-02 03:04:05.678"});
}

// Each guard keeps the callbacks it names quiet: the task log does not
// grow where the callback must not send.
TEST_F(DevCapabilityCallbacks, GuardsKeepThemQuiet) {
  OpenDevice(false);
  enum : int { POWEROFF, METERSET, METERGET, IMAGEADDRESS, PAPERSOURCE, DIAGNOSTIC, COLUMNS };
  const struct {
    const char* szCase;
    std::function<void(bool)> fnCondition;  // true sets it, false clears it
    bool ablSends[COLUMNS];
  } s_arow[] = {
      {"none", [](bool) {}, {true, true, true, true, true, false}},
      {"state 1", [&](bool a_bl) { SetState(DB_STATE_DEVICEUPDATE, a_bl); }, {false, false, false, false, false, false}},
      {"state 3", [&](bool a_bl) { SetState(DB_STATE_LOADING, a_bl); }, {false, true, true, true, false, false}},
      {"state 5", [&](bool a_bl) { SetState(DB_STATE_GUI, a_bl); }, {false, true, true, true, false, false}},
      {"state 7", [&](bool a_bl) { SetState(DB_STATE_DIAGNOSTIC, a_bl); }, {true, true, false, false, true, true}},
      {"state 11", [&](bool a_bl) { SetState(DB_STATE_GUISETVALUE, a_bl); }, {true, true, false, false, true, false}},
      {"state 14", [&](bool a_bl) { SetState(DB_STATE_REPORTREAD, a_bl); }, {true, true, true, false, true, false}},
      {"preview",
       [&](bool a_bl) {
         Datum(DB_ID_PREVIEWMODE)->ForceCurrentLong(a_bl ? DB_ID_PREVIEWMODE_ENUM_TRUE : DB_ID_PREVIEWMODE_ENUM_FALSE);
       },
       {true, true, false, false, true, false}},
      {"scanning",
       [&](bool a_bl) { a_bl ? static_cast<void>(Impl().ScanBegin()) : Impl().ScanEnd(); },
       {true, true, false, false, true, false}},
      {"offline", [&](bool a_bl) { Adapter().SetDeviceStatus(DB_FIRMWARE_ADF, a_bl ? 0 : 1); },
       {false, false, false, false, false, false}},
  };
  // A write is the capability's value set again (its set callback runs
  // whether or not it changed); a read, its value read.
  const std::function<void()> afnColumn[COLUMNS] = {
      [&] { Rewrite(DB_ID_POWEROFFTIMEOUT); },
      [&] { Rewrite(DB_ID_METERPAGECOUNT); },
      [&] { m_pdatabase->GetCurrentLong(Datum(DB_ID_METERPAGECOUNT)); },
      [&] { m_pdatabase->GetCurrentString(Datum(DB_ID_IMAGEADDRESSSCANNER)); },
      [&] { Rewrite(DB_ID_PAPERSOURCE); },
      [&] { Rewrite(DB_ID_DIAGCOOLINGFAN, DB_ID_DIAGCOOLINGFAN_ENUM_ON); },
  };
  for (const auto& row : s_arow) {
    row.fnCondition(true);
    for (int iColumn = 0; iColumn < COLUMNS; ++iColumn) {
      const size_t sizetTasks = CallbackTasks();
      afnColumn[iColumn]();
      EXPECT_EQ(CallbackTasks() > sizetTasks, row.ablSends[iColumn]) << row.szCase << " column " << iColumn;
    }
    row.fnCondition(false);
  }
}

// With a flatbed: the power settings reach both units, the rear lamp's
// meter is the feeder's alone, the front lamp's is asked of the current
// unit.
TEST_F(DevCapabilityCallbacks, TheFlatbedHasItsOwnShare) {
  OpenDevice(true);
  size_t sizetTasks = Tasks().size();
  Datum(DB_ID_POWEROFFTIMEOUT)->ForceCurrentLong(30);
  std::vector<std::string> vecSent;
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  for (size_t i = sizetTasks; i < vecloggedtask.size(); ++i) {
    const LoggedTask& loggedtask = vecloggedtask[i];
    vecSent.push_back(loggedtask.strUnit + " " + loggedtask.strCommand + " " + loggedtask.Arg("powerofftimeout"));
  }
  EXPECT_EQ(vecSent, (std::vector<std::string>{"adf setconfig 30", "flatbed setconfig 30"}));

  Datum(DB_ID_FIRMWARE)->ForceCurrentLong(DB_FIRMWARE_FLATBED);
  sizetTasks = Tasks().size();
  m_pdatabase->GetCurrentLong(Datum(DB_ID_METERLAMPREAR));
  EXPECT_EQ(Tasks().size(), sizetTasks);
  m_pdatabase->GetCurrentLong(Datum(DB_ID_METERLAMPFRONT));
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"flatbed getconfig id=meterlampfront"});
  Datum(DB_ID_FIRMWARE)->ForceCurrentLong(DB_FIRMWARE_ADF);
  sizetTasks = Tasks().size();
  m_pdatabase->GetCurrentLong(Datum(DB_ID_METERLAMPREAR));
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf getconfig id=meterlamprear"});
}

// During a diagnostic session a value runs; the cycle value is the
// diagnostic thread's; outside the session nothing runs.
TEST_F(DevCapabilityCallbacks, DiagnosticsRunTheirValue) {
  OpenDevice(false);
  ASSERT_EQ(Adapter().DiagnosticBegin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  m_pdatabase->SetDbState(DB_STATE_DIAGNOSTIC);
  size_t sizetTasks = Tasks().size();
  CDbDatum* pdbdatum = Datum(DB_ID_DIAGCOOLINGFAN);
  pdbdatum->ForceCurrentLong(DB_ID_DIAGCOOLINGFAN_ENUM_ON);
  EXPECT_EQ(Sent(sizetTasks),
            std::vector<std::string>{"adf diagnosticrun diagnostictype=diagcoolingfan diagnosticvalue=on"});
  sizetTasks = Tasks().size();
  pdbdatum->ForceCurrentLong(DB_ID_DIAGCOOLINGFAN_ENUM_CYCLE);
  EXPECT_EQ(Tasks().size(), sizetTasks);
  m_pdatabase->ClearDbState(DB_STATE_DIAGNOSTIC);
  pdbdatum->ForceCurrentLong(DB_ID_DIAGCOOLINGFAN_ENUM_OFF);
  Datum(DB_ID_DIAGFLATBED)->ForceCurrentLong(2);
  EXPECT_EQ(Tasks().size(), sizetTasks);
}

// The serial number is asked, then taken from the configuration, or
// "00000000" without one.
TEST_F(DevCapabilityCallbacks, TheSerialNumberComesFromTheConfiguration) {
  OpenDevice(false);
  CDbDatum* pdbdatum = Datum(DB_ID_SERIALNUMBER);
  // The reply stores the scanner's serial number in the configuration.
  m_pdatabase->ConfigSetString("serialnumber", "SN12345", DB_CONFIGTARGET_COMMON);
  size_t sizetTasks = Tasks().size();
  EXPECT_STREQ(m_pdatabase->GetCurrentString(pdbdatum), "SIMA0001");
  EXPECT_STREQ(m_pdatabase->ConfigGetString("serialnumber", DB_CONFIGTARGET_COMMON), "SIMA0001");
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf getconfig id=serialnumber"});
  // A scanner that reports no serial number (an empty one is left out of
  // its reply) leaves the configuration without one.
  {
    CDpFromScanner dpfromscanner(*m_pdatabase);
    pdbdatum->ForceCurrentString("");
  }
  ASSERT_EQ(Adapter().SetConfig(DB_FIRMWARE_ADF, DB_ID_SERIALNUMBER), DEV_STS_SUCCESS);
  m_pdatabase->ConfigDelete("serialnumber", DB_CONFIGTARGET_COMMON);
  ASSERT_FALSE(m_pdatabase->ConfigExists("serialnumber", DB_CONFIGTARGET_COMMON));
  sizetTasks = Tasks().size();
  EXPECT_STREQ(m_pdatabase->GetCurrentString(pdbdatum), "00000000");
  // Set by the read, not sent back to the scanner.
  EXPECT_EQ(Sent(sizetTasks), std::vector<std::string>{"adf getconfig id=serialnumber"});
  EXPECT_EQ(Impl().GetDeviceStatusCallback(), DEV_STS_SUCCESS);
}

// The device-online message, the feeder's sensor, records that name no
// database or device object, and a device object that is gone.
TEST_F(DevCapabilityCallbacks, TheOthersAndBadRecords) {
  OpenDevice(false);
  Impl().SessionBegin(RecordMessage, false, nullptr);
  Adapter().SetDeviceStatus(DB_FIRMWARE_ADF, 0);
  Adapter().SetDeviceStatus(DB_FIRMWARE_ADF, 1);
  EXPECT_EQ(s_vecMessages, (std::vector<std::pair<int, int>>{{DEV_DLG_SCANNING, DEV_MSG_DEVICEOFFLINE},
                                                             {DEV_DLG_SCANNING, DEV_MSG_CLEARGUIVISIBLE}}));
  FromScanner(DB_ID_FEEDERLOADED, 1);
  EXPECT_EQ(m_pdatabase->GetCurrentLong(Datum(DB_ID_FEEDERLOADED)), 2);

  CDbDatum* pdbdatum = Datum(DB_ID_METERPAGECOUNT);
  const struct {
    const char* szCase;
    DbCallbackRecord dbcallbackrecord;
    const char* szLog;
  } s_arow[] = {
      {"no database", {pdbdatum, nullptr, &Impl()}, "a_pvDbCallbackRecord is null or incomplete..."},
      {"no datum", {nullptr, m_pdatabase.get(), &Impl()}, "a_pvDbCallbackRecord is null or incomplete..."},
      {"no device object", {pdbdatum, m_pdatabase.get(), nullptr}, "pdevimpl is null..."},
      {"no such callback", {Datum(DB_ID_FIRMWARE), m_pdatabase.get(), &Impl()}, "No capability callback of kind 1"},
  };
  const size_t sizetTasks = Tasks().size();
  for (const auto& row : s_arow) {
    DbCallbackRecord dbcallbackrecord = row.dbcallbackrecord;
    EXPECT_EQ(CDevImpl::CallBackCapability(DB_CALLBACK_GETLONG, &dbcallbackrecord), OS_STS_FAIL) << row.szCase;
    EXPECT_TRUE(m_plog->Contains(row.szLog)) << row.szCase;
  }
  EXPECT_EQ(CDevImpl::CallBackCapability(DB_CALLBACK_GETLONG, nullptr), OS_STS_FAIL);
  // Once the device object is gone the database calls nothing of it.
  m_pdev.reset();
  m_pdatabase->GetCurrentLong(pdbdatum);
  EXPECT_EQ(m_pdatabase->SetCurrentLong(pdbdatum, 5, false), DB_STS_SUCCESS);
  EXPECT_EQ(Tasks().size(), sizetTasks + 2);  // the units' interfaceclose
}

}  // namespace
