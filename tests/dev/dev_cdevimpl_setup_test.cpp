// The settings transfer and the device state on the staged stand-ins, once
// the session is open: SetAttributes (both task logs, the device manager
// alone, off line, the paper path), the messages relayed between the two
// libraries, the meters, the firmware download, the custom-dropout switch
// and the resource reservation.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "db_cdbdatum.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "dev_device_fixture.h"
#include "os_cosmem.h"

namespace {

using devtest::LoggedTask;

class DevSetup : public devtest::DeviceFixture {
 protected:
  void SetUp() override {
    setenv("NEXSIM_TASKLOG", testsupport::RootPath("nexil.log").c_str(), 1);
    DeviceFixture::SetUp();
    SetConfigured(OS_CFGTAG_FORCENEXILCALL, "1");
  }
  void TearDown() override {
    m_pdevOpen.reset();
    unsetenv("NEXSIM_RELAY");
    DeviceFixture::TearDown();
  }

  // The interface and the session opened synchronously; the task logs are
  // read from here on.
  void OpenSession(const std::vector<std::pair<std::string, std::string>>& a_vecFlags = {}) {
    if (!a_vecFlags.empty()) SetSimulation(a_vecFlags);
    m_pdevOpen = std::make_unique<CDev>(m_pdatabase.get(), nullptr, nullptr);
    ASSERT_EQ(m_pdevOpen->InterfaceOpen(DEV_DRIVER_DEFAULT), OS_STS_SUCCESS) << m_plog->Text();
    ASSERT_EQ(m_pdevOpen->SessionBegin(Message), OS_STS_SUCCESS) << m_plog->Text();
    m_sizetDevice = Tasks().size();
    m_sizetNexil = NexilTasks().size();
  }
  static std::vector<LoggedTask> NexilTasks() { return devtest::ReadTaskLog(testsupport::RootPath("nexil.log")); }
  static std::vector<std::string> Commands(const std::vector<LoggedTask>& a_vecloggedtask, size_t a_sizetFrom) {
    std::vector<std::string> vec;
    for (size_t i = a_sizetFrom; i < a_vecloggedtask.size(); ++i) {
      if (a_vecloggedtask[i].strCommand != "getconfig") vec.push_back(a_vecloggedtask[i].strCommand);
    }
    return vec;
  }
  std::vector<std::string> DeviceSince() const { return Commands(Tasks(), m_sizetDevice); }
  std::vector<std::string> NexilSince() const { return Commands(NexilTasks(), m_sizetNexil); }
  static size_t Count(const std::vector<std::string>& a_vec, const std::string& a_str) {
    return static_cast<size_t>(std::count(a_vec.begin(), a_vec.end(), a_str));
  }
  CDevImpl& Impl() { return devtest::Impl(*m_pdevOpen); }
  bool State(EDBSTATE a_edbstate) { return m_pdatabase->TestDbState(a_edbstate) != 0; }
  // The value as the scanner's replies store it, outside its list.
  void Force(EDBID a_edbid, long a_lValue) {
    CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, a_edbid);
    ASSERT_NE(pdbdatum, nullptr) << a_edbid;
    pdbdatum->ForceCurrentLong(a_lValue);
    ASSERT_EQ(m_pdatabase->GetCurrentLongFromId(a_edbid), a_lValue) << a_edbid;
  }

  static EOSSTS Message(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char*, long, EDEVBUTTONS) {
    s_vecMessages.emplace_back(a_edevdlg, a_edevmsg);
    return OS_STS_SUCCESS;
  }
  static std::vector<std::pair<EDEVDLG, EDEVMSG>> s_vecMessages;

  std::unique_ptr<CDev> m_pdevOpen;
  size_t m_sizetDevice = 0;
  size_t m_sizetNexil = 0;
};
std::vector<std::pair<EDEVDLG, EDEVMSG>> DevSetup::s_vecMessages;

// A simplex bitonal job: both libraries take the setup between their
// setupbegin and setupend; the image library's setupbegin names the
// feeder's illumination.
TEST_F(DevSetup, SetAttributesReachesBothLibraries) {
  OpenSession();
  m_pdatabase->SetCurrentLongFromIdBin(DB_ID_CAMERAENABLE, DB_BIN_BITONAL_REAR, DB_ID_CAMERAENABLE_ENUM_FALSE);
  ASSERT_EQ(m_pdevOpen->SetAttributes(false, false), OS_STS_SUCCESS) << m_plog->Text();
  const std::vector<std::string> vecExpected = {"setupbegin", "setconfig",      "createcamera",
                                                "windowadd",  "setwindoworder", "setupend"};
  EXPECT_EQ(DeviceSince(), vecExpected);
  EXPECT_EQ(NexilSince(), vecExpected);
  const std::vector<LoggedTask> vecloggedtask = NexilTasks();
  ASSERT_GT(vecloggedtask.size(), m_sizetNexil);
  EXPECT_NE(vecloggedtask[m_sizetNexil].Arguments().find("adfinfo"), std::string::npos)
      << vecloggedtask[m_sizetNexil].Arguments();
  EXPECT_FALSE(State(DB_STATE_DEVICEMANAGERONLY));
  EXPECT_FALSE(State(DB_STATE_NEXILOFF));
}

// The device manager alone: the image library sees nothing.
TEST_F(DevSetup, DeviceManagerOnlyLeavesTheImageLibraryOut) {
  OpenSession();
  ASSERT_EQ(m_pdevOpen->SetAttributes(true, false), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(Count(DeviceSince(), "setupbegin"), 1u);
  EXPECT_EQ(Count(DeviceSince(), "setupend"), 1u);
  EXPECT_TRUE(NexilSince().empty());
  EXPECT_FALSE(State(DB_STATE_DEVICEMANAGERONLY));
  EXPECT_FALSE(State(DB_STATE_NEXILOFF));
}

// Off line: disconnected, nothing sent, no state left behind.
TEST_F(DevSetup, SetAttributesOffLineAnswersDisconnected) {
  OpenSession();
  Force(DB_ID_DEVICEONLINE, 1);
  EXPECT_EQ(m_pdevOpen->SetAttributes(false, false), static_cast<EOSSTS>(DEV_STS_DISCONNECTED));
  EXPECT_TRUE(m_plog->Contains("Device offline..."));
  EXPECT_TRUE(DeviceSince().empty());
  EXPECT_FALSE(State(DB_STATE_DEVICEMANAGERONLY));
  EXPECT_FALSE(State(DB_STATE_NEXILOFF));
}

// The paper path: the flatbed's paper sources set state 6, the feeder's
// clear it, and the flatbed argument sets it whatever the source.
TEST_F(DevSetup, SetAttributesSetsThePaperPath) {
  OpenSession();
  const struct {
    long lPaperSource;
    bool blFlatbed;
    bool blState;
  } acase[] = {{3, false, true}, {2, false, false}, {2, true, true}, {1, false, false}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.lPaperSource);
    Force(DB_ID_PAPERSOURCE, c.lPaperSource);
    m_pdevOpen->SetAttributes(true, c.blFlatbed);
    EXPECT_EQ(State(DB_STATE_FLATBEDSCAN), c.blState);
  }
  // A source it does not know fails before anything is sent.
  m_sizetDevice = Tasks().size();
  Force(DB_ID_PAPERSOURCE, 99);
  EXPECT_EQ(m_pdevOpen->SetAttributes(false, false), OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("Unknown papersource..."));
  EXPECT_TRUE(DeviceSince().empty());
}

// With the flatbed flag the setup is opened and closed on the flatbed unit
// (whatever the paper source), without it on the feeder; the scanner
// values go to every unit in between.
TEST_F(DevSetup, SetAttributesWithTheFlatbedFlagReachesTheFlatbed) {
  SetFlatbedDirectory();
  OpenSession();
  Force(DB_ID_PAPERSOURCE, 2);
  const auto SetupsSince = [this] {
    std::vector<std::string> vec;
    const std::vector<LoggedTask> vecloggedtask = Tasks();
    for (size_t i = m_sizetDevice; i < vecloggedtask.size(); ++i) {
      if (vecloggedtask[i].strCommand == "setupbegin" || vecloggedtask[i].strCommand == "setupend")
        vec.push_back(vecloggedtask[i].strUnit + " " + vecloggedtask[i].strCommand);
    }
    return vec;
  };
  ASSERT_EQ(m_pdevOpen->SetAttributes(true, true), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(SetupsSince(), (std::vector<std::string>{"flatbed setupbegin", "flatbed setupend"}));
  EXPECT_TRUE(State(DB_STATE_FLATBEDSCAN));
  m_sizetDevice = Tasks().size();
  ASSERT_EQ(m_pdevOpen->SetAttributes(true, false), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(SetupsSince(), (std::vector<std::string>{"adf setupbegin", "adf setupend"}));
  EXPECT_FALSE(State(DB_STATE_FLATBEDSCAN));
}

// A combined source (the feeder's or an elevator's with the flatbed) scans
// from the flatbed while the feeder is empty; a feeder or elevator source
// alone never does.
TEST_F(DevSetup, ACombinedSourceWithAnEmptyFeederScansFromTheFlatbed) {
  OpenSession({{"pages", "0"}});
  const struct {
    long lPaperSource;
    bool blState;
  } acase[] = {{1, true}, {8, true}, {9, true}, {10, true}, {11, true}, {2, false}, {4, false}, {7, false}};
  for (const auto& c : acase) {
    SCOPED_TRACE(c.lPaperSource);
    Force(DB_ID_PAPERSOURCE, c.lPaperSource);
    // This scanner has no flatbed unit: its setup fails once it is chosen.
    EXPECT_EQ(m_pdevOpen->SetAttributes(true, false), c.blState ? OS_STS_FAIL : OS_STS_SUCCESS);
    EXPECT_EQ(State(DB_STATE_FLATBEDSCAN), c.blState);
  }
}

// The two libraries pass their messages back and forth until both are
// done: every message of one side reaches the other once.
TEST_F(DevSetup, MessageRelayPingPongsUntilBothEnd) {
  setenv("NEXSIM_RELAY", "2", 1);
  OpenSession({{"relay", "3"}});
  // The open relayed once already; the stand-ins count on.
  EXPECT_EQ(Count(Commands(Tasks(), 0), "messagerelay"), 4u);
  EXPECT_EQ(Count(Commands(NexilTasks(), 0), "messagerelay"), 3u);
  std::vector<std::string> vecRelayed;
  for (const LoggedTask& loggedtask : NexilTasks()) {
    if (loggedtask.strCommand == "messagerelay") vecRelayed.push_back(loggedtask.Arguments());
  }
  ASSERT_EQ(vecRelayed.size(), 3u);
  EXPECT_NE(vecRelayed[0].find("simscan message 1"), std::string::npos) << vecRelayed[0];
  EXPECT_NE(vecRelayed[2].find("simscan message 3"), std::string::npos) << vecRelayed[2];
}

// The fault mended: a device manager that always has another message ends
// the relay at its bound, failing; the open goes on.
TEST_F(DevSetup, MessageRelayWithoutEndStopsAtTheBound) {
  OpenSession({{"relay", "-1"}});
  EXPECT_TRUE(m_plog->Contains("MessageRelay: no end after 1000 rounds, unit 1..."));
  EXPECT_EQ(Count(Commands(Tasks(), 0), "messagerelay"), 1000u);
  EXPECT_EQ(Impl().MessageRelay(DB_FIRMWARE_ADF), OS_STS_FAIL);
  EXPECT_EQ(Impl().MessageRelay(DB_FIRMWARE_FLATBED), OS_STS_SUCCESS);
}

// The meters are asked only on line; the device's text is handed over.
TEST_F(DevSetup, ConsumableMetersOnlyOnLine) {
  OpenSession();
  char* szMeters = nullptr;
  ASSERT_EQ(m_pdevOpen->GetConsumableMeters(&szMeters), OS_STS_SUCCESS) << m_plog->Text();
  ASSERT_NE(szMeters, nullptr);
  EXPECT_NE(std::string(szMeters).find("feedroller"), std::string::npos) << szMeters;
  EXPECT_EQ(std::string(szMeters).find("reportconsumablemeters"), std::string::npos) << szMeters;
  OsMemFree(szMeters);
  const size_t sizetBefore = Tasks().size();
  Impl().GetPod().m_pdevdevice->SetDeviceStatus(DB_FIRMWARE_ADF, 0);
  ASSERT_EQ(m_pdevOpen->GetDeviceStatus(), 3);
  szMeters = nullptr;
  EXPECT_EQ(m_pdevOpen->GetConsumableMeters(&szMeters), OS_STS_FAIL);
  EXPECT_EQ(m_pdevOpen->SetConsumableMeter("feedroller"), OS_STS_FAIL);
  EXPECT_EQ(Tasks().size(), sizetBefore);
}

// The firmware dialog shows the download and how it ended.
TEST_F(DevSetup, DownloadRunShowsItsMessages) {
  OpenSession();
  s_vecMessages.clear();
  const EOSSTS eossts = m_pdevOpen->DownloadRun();
  const EDEVMSG edevmsgEnd = eossts == OS_STS_SUCCESS ? DEV_MSG_SUCCESS : DEV_MSG_ERROR;
  EXPECT_EQ(s_vecMessages, (std::vector<std::pair<EDEVDLG, EDEVMSG>>{{DEV_DLG_FIRMWAREDOWNLOAD, DEV_MSG_DOWNLOADING},
                                                                      {DEV_DLG_FIRMWAREDOWNLOAD, edevmsgEnd}}));
  EXPECT_EQ(Count(DeviceSince(), "downloadrun"), 1u);
}

// Learning a custom dropout and back: the unit, the window-bin and the
// image values are as they were.
TEST_F(DevSetup, EcdoCustomBeginAndEndRestoreTheSettings) {
  OpenSession();
  const EDBID aedbid[] = {DB_ID_FIRMWARE,   DB_ID_WINDOWBIN,   DB_ID_BRIGHTNESS, DB_ID_CONTRAST,
                          DB_ID_DOCUMENTTYPE, DB_ID_HALFTONES, DB_ID_IMAGEFORMAT, DB_ID_MEDIATYPE,
                          DB_ID_THRESHOLD,  DB_ID_XRESOLUTION};
  std::vector<long> vecBefore;
  for (EDBID edbid : aedbid) vecBefore.push_back(m_pdatabase->GetCurrentLongFromId(edbid));
  ASSERT_EQ(m_pdevOpen->EcdoCustomBegin(), OS_STS_SUCCESS);
  EXPECT_TRUE(State(DB_STATE_ECDOCUSTOMLEARN));
  EXPECT_FALSE(State(DB_STATE_FLATBEDSCAN));
  EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE), DB_FIRMWARE_ADF);
  ASSERT_EQ(m_pdevOpen->EcdoCustomEnd(), OS_STS_SUCCESS);
  EXPECT_FALSE(State(DB_STATE_ECDOCUSTOMLEARN));
  for (size_t i = 0; i < std::size(aedbid); ++i)
    EXPECT_EQ(m_pdatabase->GetCurrentLongFromId(aedbid[i]), vecBefore[i]) << aedbid[i];
}

// The reservation keeps the scanner locked until it ends; both libraries
// take it.
TEST_F(DevSetup, ResourceBeginAndEnd) {
  OpenSession();
  ASSERT_EQ(m_pdevOpen->ResourceBegin(false), OS_STS_SUCCESS) << m_plog->Text();
  EXPECT_EQ(DeviceSince(), std::vector<std::string>{"resourcebegin"});
  EXPECT_EQ(NexilSince(), std::vector<std::string>{"resourcebegin"});
  // Locked: a task's lock does not reach the scanner.
  EXPECT_EQ(m_pdevOpen->ResourceLock(), OS_STS_SUCCESS);
  EXPECT_EQ(DeviceSince().size(), 1u);
  ASSERT_EQ(m_pdevOpen->ResourceEnd(), OS_STS_SUCCESS);
  EXPECT_EQ(DeviceSince().back(), "resourceend");
  EXPECT_EQ(NexilSince().back(), "resourceend");
}

}  // namespace
