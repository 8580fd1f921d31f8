// The adapter's service tasks against the simulated scanner: a capability's
// value to the scanner, the diagnostics (with the reply of one the scanner
// does not run) and the calibration tasks.
#include <filesystem>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "db_cdbdatum.h"
#include "dev_device_fixture.h"
#include "os_cosmem.h"

namespace {

using devtest::LoggedTask;

class DevDeviceService : public devtest::DeviceFixture {
 protected:
  void TearDown() override {
    m_pdatabase->ClearDbState(DB_STATE_FLATBEDSCAN);
    DeviceFixture::TearDown();
  }
  // A machine capability made offered, with the value as it stands.
  CDbDatum* Offer(EDBID a_edbid, long a_lValue) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid);
    EXPECT_NE(pdbdatum, nullptr);
    m_pdatabase->SetAccess(pdbdatum, DB_ACCESS_READWRITE);
    pdbdatum->ForceCurrentLong(a_lValue);
    return pdbdatum;
  }
  std::string Sent(size_t a_sizetFrom) const {
    std::string str;
    for (const std::string& strTask : Brief(a_sizetFrom)) str += (str.empty() ? "" : ", ") + strTask;
    return str;
  }
};

// The message procedure's calls, in order.
std::mutex s_mutexMessages;
std::vector<std::tuple<int, int, std::string, long>> s_vecMessages;
EOSSTS RecordMessage(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue, EDEVBUTTONS) {
  std::lock_guard<std::mutex> lock(s_mutexMessages);
  s_vecMessages.emplace_back(a_edevdlg, a_edevmsg, a_szText ? a_szText : "(null)", a_lValue);
  return OS_STS_SUCCESS;
}

TEST_F(DevDeviceService, SetConfigSendsTheCapabilitysElement) {
  SetSimulation();
  BeginBoth();
  size_t sizetTasks = Tasks().size();
  // The paper source goes to the unit that scans, whatever unit is named.
  EXPECT_EQ(m_pdevdevice->SetConfig(DB_FIRMWARE_FLATBED, DB_ID_PAPERSOURCE), DEV_STS_SUCCESS);
  m_pdatabase->SetDbState(DB_STATE_FLATBEDSCAN);
  EXPECT_EQ(m_pdevdevice->SetConfig(DB_FIRMWARE_ADF, DB_ID_PAPERSOURCE), DEV_STS_SUCCESS);
  m_pdatabase->ClearDbState(DB_STATE_FLATBEDSCAN);
  // Any other capability to the unit named: a text of the longest length
  // it takes goes whole (a sound, the path of a file in the user's sound
  // directory).
  const char* szUser = m_pdatabase->ProfileGetUserProfileDirectory();
  ASSERT_NE(szUser, nullptr);
  const std::string strSounds = std::string(szUser) + "/sounds";
  ASSERT_LT(strSounds.size(), 200u);
  const std::string strSound = strSounds + "/" + std::string(255 - strSounds.size() - 1, 's');
  std::filesystem::create_directories(strSounds);
  testsupport::WriteFile(strSound, "sound");
  CDbDatum* pdbdatumSound = m_pdatabase->Find(DB_ID_MULTIFEEDSOUND);
  ASSERT_NE(pdbdatumSound, nullptr);
  ASSERT_EQ(m_pdatabase->SetCurrentString(pdbdatumSound, strSound.c_str()), DB_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->SetConfig(DB_FIRMWARE_FLATBED, DB_ID_MULTIFEEDSOUND), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->SetConfig(DB_FIRMWARE_ADF, DB_ID_ENERGYSTAR), DEV_STS_SUCCESS);
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_EQ(vecloggedtask.size(), sizetTasks + 4);
  EXPECT_EQ(Sent(sizetTasks), "adf setconfig success, flatbed setconfig success, flatbed setconfig success, "
                              "adf setconfig success");
  EXPECT_EQ(vecloggedtask[sizetTasks].Arguments(), "papersource=adf");
  EXPECT_EQ(vecloggedtask[sizetTasks + 1].Arguments(), "papersource=flatbed");
  EXPECT_EQ(vecloggedtask[sizetTasks + 3].Arg("lowpowermodetimeout"), "15");
  EXPECT_NE(m_plog->Text().find("<multifeedsound><![CDATA[" + strSound + "]]></multifeedsound>"), std::string::npos);

  // Nothing goes out for a capability the model lacks, one that writes
  // nothing for the scanner, or an id outside the catalogue.
  sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->SetConfig(DB_FIRMWARE_ADF, DB_ID_PRINTERWRITESEQUENCEMESSAGE1), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unrecognized a_edbid...214"));
  EXPECT_EQ(m_pdevdevice->SetConfig(DB_FIRMWARE_ADF, static_cast<EDBID>(400)), DEV_STS_FAIL);
  EXPECT_EQ(m_pdevdevice->SetConfig(DB_FIRMWARE_ADF, DB_ID_ADFUNIQUE), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Failed to add lexicon id and value to XML task"));
  EXPECT_EQ(Tasks().size(), sizetTasks);
}

// A diagnostic by its capability and value, by its capability's current
// value, or by name (with or without a value, as the type takes one).
TEST_F(DevDeviceService, DiagnosticRunInItsThreeForms) {
  SetSimulation();
  ASSERT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  ASSERT_EQ(m_pdevdevice->DiagnosticBegin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  const size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->DiagnosticRun(DB_ID_DIAGFRONTLAMPS, DB_ID_DIAGFRONTLAMPS_ENUM_ON), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->DiagnosticRun(DB_FIRMWARE_ADF, DB_ID_DIAGFRONTLAMPS), DEV_STS_SUCCESS);
  DeviceLog devicelog = {};
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  EXPECT_EQ(m_pdevdevice->DiagnosticRun("diagcoolingfan", "cycle", &devicelog), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->DiagnosticRun("diagimagetest", "on", nullptr), DEV_STS_SUCCESS);
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_EQ(vecloggedtask.size(), sizetTasks + 4);
  EXPECT_EQ(vecloggedtask[sizetTasks].Arguments(), "diagnostictype=diaglampfront diagnosticvalue=on");
  // The unit's report set the capability's value.
  EXPECT_EQ(vecloggedtask[sizetTasks + 1].Arguments(), "diagnostictype=diaglampfront diagnosticvalue=on");
  EXPECT_EQ(vecloggedtask[sizetTasks + 2].Arguments(), "diagnostictype=diagcoolingfan diagnosticvalue=cycle");
  EXPECT_EQ(vecloggedtask[sizetTasks + 3].Arguments(), "diagnostictype=diagimagetest");
  EXPECT_EQ(m_pdatabase->ConfigGetNumber("diagruntimeout", DB_CONFIGTARGET_COMMON), 5000);

  // Bad input sends nothing.
  const struct {
    std::function<EDEVSTS()> fn;
    const char* szLog;
  } s_arow[] = {
      {[&] { return m_pdevdevice->DiagnosticRun(static_cast<EDBID>(400), 1); }, "pdblookup2 is NULL...400"},
      {[&] { return m_pdevdevice->DiagnosticRun(DB_ID_DIAGFRONTLAMPS, 99); }, "pdblookupenum is NULL...99"},
      {[&] { return m_pdevdevice->DiagnosticRun(DB_FIRMWARE_ADF, DB_ID_DIAGCOOLINGFAN); },
       "Unrecognized a_edbid...60"},
      {[&] { return m_pdevdevice->DiagnosticRun(DB_FIRMWARE_ADF, DB_ID_CONTRAST); }, "Wrong container type...1"},
      {[&] {
         m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_DIAGFLATBED)->ForceCurrentLong(99);
         return m_pdevdevice->DiagnosticRun(DB_FIRMWARE_ADF, DB_ID_DIAGFLATBED);
       },
       "Unable to lookup for the lexicon enum a_edbid...63"},
      {[&] { return m_pdevdevice->DiagnosticRun(nullptr, "on", nullptr); }, "a_szDiagnostictype is null..."},
  };
  for (const auto& row : s_arow) {
    EXPECT_EQ(row.fn(), DEV_STS_FAIL) << row.szLog;
    EXPECT_TRUE(m_plog->Contains(row.szLog)) << row.szLog;
  }
  EXPECT_EQ(Tasks().size(), sizetTasks + 4);
}

// A diagnostic the model does not offer is answered without the scanner:
// the fixed success reply, or, for a log request, an empty data file.
TEST_F(DevDeviceService, AnUnsupportedDiagnosticAnswersSuccessItself) {
  EXPECT_EQ(std::string(m_pdevdevice->DiagnosticRunUnsupported(nullptr)),
            "<task id='00000000000000000000' reply='00000000000000000000' bytes='00000000000000000159'>\n"
            "\t<reportstatus>\n\t\t<status>success</status>\n\t</reportstatus>\n</task>\n");
  DeviceLog devicelog = {};
  devicelog.edbidfirmware = DB_FIRMWARE_ADF;
  const std::string strFile = testsupport::RootPath("diag.log");
  std::snprintf(devicelog.szFilename, sizeof devicelog.szFilename, "%s", strFile.c_str());
  devicelog.pcData = static_cast<char*>(OsMemAlloc(64));
  devicelog.sizetCapacity = 64;
  std::snprintf(devicelog.pcData, 64, "old text");
  devicelog.sizetData = 8;
  const char* szReply = m_pdevdevice->DiagnosticRunUnsupported(&devicelog);
  ASSERT_NE(szReply, nullptr);
  EXPECT_NE(std::string(szReply).find("<status>success</status>"), std::string::npos) << szReply;
  EXPECT_NE(std::string(szReply).find("<reportdiagnostic>\n\t\t<datafile>\n\t\t\t<filename><![CDATA[" + strFile +
                                      "]]></filename>\n\t\t\t<datasize>0</datasize>\n\t\t\t<dataoffset>0</dataoffset>"),
            std::string::npos)
      << szReply;
  EXPECT_TRUE(testsupport::FileExists(strFile));
  EXPECT_EQ(testsupport::ReadFile(strFile), "");
  EXPECT_EQ(devicelog.sizetData, 0u);
  EXPECT_STREQ(devicelog.pcData, "");
  OsMemFree(devicelog.pcData);
  devicelog.pcData = nullptr;
  devicelog.sizetCapacity = 0;

  // Through DiagnosticRun: a type the model lacks sends nothing.
  SetSimulation();
  ASSERT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  const size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->DiagnosticRun("diagnothing", "on", nullptr), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->DiagnosticRun("diagflatbed", "on", &devicelog), DEV_STS_SUCCESS);
  std::snprintf(devicelog.szFilename, sizeof devicelog.szFilename, "%s",
                testsupport::RootPath("absent/diag.log").c_str());
  EXPECT_EQ(m_pdevdevice->DiagnosticRun("diagnothing", "on", &devicelog), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Failed to Open file"));
  EXPECT_TRUE(m_plog->Contains("Return task is NULL for 'unsupported' diagnostic...diagnothing"));
  EXPECT_EQ(Tasks().size(), sizetTasks);
}

// A diagnostic that takes long to end has the user told, before and after.
TEST_F(DevDeviceService, DiagnosticEndTellsOfALongEnd) {
  SetSimulation();
  ASSERT_EQ(m_pdevdevice->Load(DB_FIRMWARE_ADF, false), DEV_STS_SUCCESS);
  ASSERT_EQ(m_pdevdevice->InterfaceOpen(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  ASSERT_EQ(m_pdevdevice->SessionBegin(RecordMessage, DB_FIRMWARE_ADF, nullptr, nullptr), DEV_STS_SUCCESS);
  ASSERT_EQ(m_pdevdevice->DiagnosticBegin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  m_pdatabase->ConfigSetNumber("diagendtime", 3000, DB_CONFIGTARGET_COMMON);
  EXPECT_EQ(m_pdevdevice->DiagnosticEnd(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  EXPECT_EQ(Tasks().back().strCommand, "diagnosticend");
  {
    std::lock_guard<std::mutex> lock(s_mutexMessages);
    EXPECT_EQ(s_vecMessages, (std::vector<std::tuple<int, int, std::string, long>>{{2, 16, "(null)", 3000},
                                                                                   {2, 3, "(null)", 0}}));
    s_vecMessages.clear();
  }
  // The unit's reply set the time to 0: a short end says nothing.
  EXPECT_EQ(m_pdatabase->ConfigGetNumber("diagendtime", DB_CONFIGTARGET_COMMON), 0);
  ASSERT_EQ(m_pdevdevice->DiagnosticBegin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->DiagnosticEnd(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  std::lock_guard<std::mutex> lock(s_mutexMessages);
  EXPECT_TRUE(s_vecMessages.empty());
}

TEST_F(DevDeviceService, TheCalibrationTasksNameTheCalibrationType) {
  SetSimulation();
  ASSERT_EQ(Begin(DB_FIRMWARE_ADF), DEV_STS_SUCCESS);
  // Nothing is sent while the model offers no calibration type.
  size_t sizetTasks = Tasks().size();
  EXPECT_EQ(m_pdevdevice->CalibrateBegin(), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unrecognized DB_ID_CALIBRATIONTYPE..."));
  CDbDatum* pdbdatumType = Offer(DB_ID_CALIBRATIONTYPE, 99);
  EXPECT_EQ(m_pdevdevice->CalibrateReset(), DEV_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unable to lookup for the lexicon enum DB_ID_CALIBRATIONTYPE..."));
  EXPECT_EQ(Tasks().size(), sizetTasks);

  pdbdatumType->ForceCurrentLong(DB_ID_CALIBRATIONTYPE_ENUM_MECHANICAL);
  Offer(DB_ID_CALIBRATEKEEPIMAGE, 2);
  const std::string strDirectory = testsupport::RootPath("calibration");
  ASSERT_EQ(m_pdatabase->SetCurrentStringFromId(DB_ID_CALIBRATIONDIRECTORY, strDirectory.c_str()), DB_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->CalibrateBegin(), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->CalibrateRun(), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->CalibrateReset(), DEV_STS_SUCCESS);
  EXPECT_EQ(m_pdevdevice->CalibrateEnd(), DEV_STS_SUCCESS);
  const std::vector<LoggedTask> vecloggedtask = Tasks();
  ASSERT_EQ(vecloggedtask.size(), sizetTasks + 4);
  EXPECT_EQ(Sent(sizetTasks), "adf calibratebegin success, adf calibraterun success, adf calibratereset success, "
                              "adf calibrateend success");
  EXPECT_EQ(vecloggedtask[sizetTasks].Arguments(), "calibrationtype=mechanical calibrationsavedata=true "
                                                   "calibrationdirectory=" + strDirectory);
  EXPECT_EQ(vecloggedtask[sizetTasks + 2].Arguments(), "calibrationtype=mechanical");
  // A type the unit does not know is its to refuse.
  pdbdatumType->ForceCurrentLong(DB_ID_CALIBRATIONTYPE_ENUM_LCDCONTRAST);
  m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_CALIBRATEKEEPIMAGE)->ForceCurrentLong(1);
  EXPECT_EQ(m_pdevdevice->CalibrateBegin(), DEV_STS_FAIL);
  EXPECT_EQ(Tasks().back().Arg("calibrationsavedata"), "false");
  EXPECT_EQ(Tasks().back().strStatus, "fail");
}

}  // namespace
