// The driver object's gates without a scanner: the offline gate once a
// session is up, the device's resource lock of each task and the front
// end's own lock tasks, whose replies carry their own task's ids; the
// session's end after a failed first open or an interfaceclose, but not
// after a refused second open; the event list answered while another thread
// is inside a task.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <regex>
#include <string>
#include <thread>

#include "../db/mem_lines.h"
#include "../os/log_capture.h"
#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "drv_cdriver.h"
#include "drv_cdrvcommandfsm.h"
#include "drv_cdrvgui.h"
#include "driverentry.h"
#include "dev_cdevdata.h"
#include "os_cosxmltask.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "test_support.h"

namespace {

std::string Task(const std::string& a_strBody, int a_iId) {
  char szId[24];
  std::snprintf(szId, sizeof szId, "%020d", a_iId);
  return std::string("<task id='") + szId + "' reply='00000000000000000000' bytes='00000000000000000000'>\n\t" +
         a_strBody + "\n</task>\n";
}

std::string Field(const std::string& a_strReply, const char* a_szPattern) {
  std::smatch match;
  return std::regex_search(a_strReply, match, std::regex(a_szPattern)) ? match[1].str() : "";
}

std::string Status(const std::string& a_strReply) { return Field(a_strReply, "<status>([a-z]+)</status>"); }
std::string ReplyId(const std::string& a_strReply) { return Field(a_strReply, "^<task id='[0-9]+' reply='([0-9]+)'"); }

size_t Count(const std::string& a_strText, const std::string& a_strWhat) {
  size_t sizetCount = 0;
  for (size_t sizet = a_strText.find(a_strWhat); sizet != std::string::npos;
       sizet = a_strText.find(a_strWhat, sizet + 1))
    ++sizetCount;
  return sizetCount;
}

class DrvDriverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_plog = std::make_unique<testsupport::LogCapture>(1);
    m_pmem = std::make_unique<COsMem>(OS_MEM_METHOD_GLOBALALLOC, 1);
    OsCfgVersion oscfgversion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &oscfgversion, false, nullptr);
    // No scanner to load: the device's interface cannot open. (The
    // configuration keeps the pointer it is given.)
    m_strSystemDirectory = testsupport::RootPath("none");
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_SYSTEMDIRECTORY, m_strSystemDirectory.c_str()),
              OS_STS_SUCCESS);
    m_pdriver = std::make_unique<CDriver>();
    CDbLockGuard dblockguard;
    ASSERT_EQ(m_pdriver->GetDatabase()->Load(DB_API_RESOURCE, DB_LOADMETHOD_RESOURCE, SCANDRV_LIBRARY_PATH, false),
              DB_STS_SUCCESS);
  }

  void TearDown() override {
    CDrvGui::SetActionSeam(nullptr);
    if (g_poslog) g_poslog->SetDsState(0);
    m_pdriver.reset();
    m_poscfg.reset();
    m_pmem.reset();
    m_plog.reset();
  }

  // One task: its reply, and whether the session ends with it.
  std::string Run(const std::string& a_strBody, int a_iId, bool* a_pblDestroy = nullptr) {
    const char* szReply = nullptr;
    const bool blDestroy = m_pdriver->DriverEntry(Task(a_strBody, a_iId).c_str(), &szReply);
    if (a_pblDestroy) *a_pblDestroy = blDestroy;
    EXPECT_NE(szReply, nullptr);
    return szReply ? szReply : "";
  }

  // The times a task asked for the device's resource lock and was refused
  // (this core has no device to give it).
  size_t Locks() { return Count(m_plog->Text(), "ResourceLock failed..."); }

  // A session up (data-source state 4, the machine in Initialized) with the
  // scanner on or off line.
  void SessionUp(bool a_blOnline) {
    CDrvCommandFsm* pdrvcommandfsm = m_pdriver->GetCommandFsm();
    for (const char* sz : {"<interfaceopen></interfaceopen>", "<sessionbegin></sessionbegin>"}) {
      ASSERT_TRUE(pdrvcommandfsm->CheckValidState(Task(sz, 1).c_str(), nullptr));
      ASSERT_TRUE(pdrvcommandfsm->ChangeState(OS_STS_SUCCESS));
    }
    g_poslog->SetDsState(4);
    CDbLockGuard dblockguard;
    CDatabase* pdatabase = m_pdriver->GetDatabase();
    CDbDatum* pdbdatum = pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_DEVICEONLINE);
    ASSERT_NE(pdbdatum, nullptr);
    pdbdatum->ForceCurrentLong(a_blOnline ? DB_ID_DEVICEONLINE_ENUM_TRUE : DB_ID_DEVICEONLINE_ENUM_FALSE);
    ASSERT_EQ(pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE) == DB_ID_DEVICEONLINE_ENUM_TRUE, a_blOnline);
  }

  std::unique_ptr<testsupport::LogCapture> m_plog;
  std::unique_ptr<COsMem> m_pmem;
  std::string m_strSystemDirectory;
  std::unique_ptr<COsCfg> m_poscfg;
  std::unique_ptr<CDriver> m_pdriver;
};

// A part of the driver that cannot be made fails the creation, logged, with
// everything made before it deleted; the next creation succeeds.
TEST_F(DrvDriverTest, AFailedInitTearsDownWhatItBuilt) {
  m_pdriver.reset();
  const struct {
    const char* szClass;
    int iSkip;
  } acase[] = {{"CDrvGuiInterfaceLock", 0}, {"CDrvGuiInterfaceUnlock", 0}, {"COsXmlTask", 0}, {"COsXmlTask", 1},
               {"CDatabase", 0},            {"CDrvDispatch", 0},           {"CDev", 0},       {"CDrvGui", 0},
               {"CDrvAssistant", 0},        {"CDrvCommandFsm", 0}};
  for (const auto& c : acase) {
    SCOPED_TRACE(std::string(c.szClass) + " " + std::to_string(c.iSkip));
    const size_t sizetBefore = m_plog->Text().size();
    OsMemSetNewFault(c.szClass, c.iSkip);
    EXPECT_ANY_THROW({ CDriver driver; });
    OsMemSetNewFault(nullptr, 0);
    const std::string strLog = m_plog->Text().substr(sizetBefore);
    EXPECT_NE(strLog.find("OsMemNew failed..."), std::string::npos);
    dbtest::ExpectMemoryLinesPaired(strLog);
  }
  m_pdriver = std::make_unique<CDriver>();
  EXPECT_NE(m_pdriver->GetDatabase(), nullptr);
}

// The bridges' threads call the device facade: the GUI is stopped and the
// assistant's scan ended while the facade still exists.
TEST_F(DrvDriverTest, CleanupStopsTheBridgesBeforeTheDeviceGoes) {
  struct StopSeam : CDrvGuiActionSeam {
    bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase*, EOSSTS*) override {
      if (a_edrvguiaction == DRV_GUIACTION_STOP) {
        ++iStops;
        blDevice = pdriver->GetDev() != nullptr;
      }
      return false;
    }
    CDriver* pdriver = nullptr;
    int iStops = 0;
    bool blDevice = false;
  } stopseam;
  stopseam.pdriver = m_pdriver.get();
  CDrvGui::SetActionSeam(&stopseam);
  char szDevice[64];
  std::snprintf(szDevice, sizeof szDevice, "mem>>> addr:%p delete-object", static_cast<void*>(m_pdriver->GetDev()));
  const size_t sizetMark = m_plog->Text().size();
  m_pdriver.reset();
  EXPECT_EQ(stopseam.iStops, 1);
  EXPECT_TRUE(stopseam.blDevice);
  const std::string strLog = m_plog->Text().substr(sizetMark);
  const size_t sizetScanEnd = strLog.find("DrvAssistant>>> action=DRV_ASSISTANTACTION_SCANEND");
  ASSERT_NE(sizetScanEnd, std::string::npos) << strLog;
  ASSERT_NE(strLog.find(szDevice), std::string::npos) << strLog;
  EXPECT_LT(sizetScanEnd, strLog.find(szDevice));
}

// Off line, a session answers "disconnected" with the task's own id, but
// lets the tasks through that end the session or report the device's
// status; notifydevicestatus does not wait for the device's lock.
TEST_F(DrvDriverTest, AScannerOffLineAnswersDisconnected) {
  SessionUp(false);
  std::string strReply = Run("<get><id>resolution</id></get>", 7);
  EXPECT_EQ(Status(strReply), "disconnected");
  EXPECT_EQ(ReplyId(strReply), "00000000000000000007");
  const size_t sizetLocks = Locks();
  strReply = Run("<notifydevicestatus><deviceonline>false</deviceonline></notifydevicestatus>", 8);
  EXPECT_EQ(Status(strReply), "success");
  EXPECT_EQ(ReplyId(strReply), "00000000000000000008");
  EXPECT_EQ(Locks(), sizetLocks);
  strReply = Run("<sessionend></sessionend>", 9);
  EXPECT_EQ(Status(strReply), "success");
  EXPECT_NE(strReply.find("<reportsessionend>"), std::string::npos);
  EXPECT_EQ(m_pdriver->GetCommandFsm()->GetCurrentState(), DRV_STATE_OPENED);
}

// On line, an ordinary task takes the device's lock first; a lock that
// cannot be had fails the task (with its own id) before it is dispatched.
TEST_F(DrvDriverTest, ATaskWithoutTheDevicesLockFails) {
  SessionUp(true);
  const size_t sizetLocks = Locks();
  const std::string strReply = Run("<get><id>resolution</id></get>", 11);
  EXPECT_EQ(Locks(), sizetLocks + 1);
  EXPECT_EQ(Status(strReply), "fail");
  EXPECT_EQ(ReplyId(strReply), "00000000000000000011");
  EXPECT_TRUE(m_plog->Contains("Failed to lock the resource 1"));
}

// After a resourcelock task, even a failed one, the front end holds the
// lock: no task takes or releases it, and resourceunlock always succeeds.
TEST_F(DrvDriverTest, AfterAResourcelockTheFrontEndHoldsTheLock) {
  SessionUp(true);
  std::string strReply = Run("<resourcelock></resourcelock>", 21);
  EXPECT_EQ(Status(strReply), "fail");
  EXPECT_EQ(ReplyId(strReply), "00000000000000000021");
  const size_t sizetLocks = Locks();
  strReply = Run("<get><id>resolution</id></get>", 22);
  EXPECT_EQ(ReplyId(strReply), "00000000000000000022");
  EXPECT_NE(Status(strReply), "");
  EXPECT_EQ(Locks(), sizetLocks);
  EXPECT_FALSE(m_plog->Contains("Failed to lock the resource"));
  strReply = Run("<resourceunlock></resourceunlock>", 23);
  EXPECT_EQ(Status(strReply), "success");
  EXPECT_EQ(ReplyId(strReply), "00000000000000000023");
}

// A first interfaceopen that fails ends the session; one refused because
// the session is open leaves it working; interfaceclose always ends it.
TEST_F(DrvDriverTest, WhichTasksEndTheSession) {
  bool blDestroy = false;
  std::string strReply = Run("<interfaceopen><callername>x</callername></interfaceopen>", 1, &blDestroy);
  EXPECT_EQ(Status(strReply), "fail");
  EXPECT_TRUE(blDestroy);
}

TEST_F(DrvDriverTest, ARefusedSecondInterfaceopenKeepsTheSession) {
  SessionUp(true);
  bool blDestroy = true;
  std::string strReply = Run("<interfaceopen></interfaceopen>", 2, &blDestroy);
  EXPECT_EQ(Status(strReply), "invalidstate");
  EXPECT_FALSE(blDestroy);
  EXPECT_EQ(m_pdriver->GetCommandFsm()->GetCurrentState(), DRV_STATE_INITIALIZED);
  strReply = Run("<interfaceclose></interfaceclose>", 3, &blDestroy);
  EXPECT_EQ(Status(strReply), "success");
  EXPECT_TRUE(blDestroy);
}

// The session's last reply outlives its object in a buffer of the entry's
// own; one too long for it is answered by the fixed reply of its status
// word, never by an earlier session's copy.
TEST_F(DrvDriverTest, TheLastReplyOutlivesTheSession) {
  const std::string strShort = Task("<reportstatus><status>success</status></reportstatus>", 4);
  const std::string strLong =
      Task("<reportstatus><status>fail</status></reportstatus><x>" + std::string(2000, 'x') + "</x>", 5);
  const std::string strLongSuccess =
      Task("<reportstatus><status>success</status></reportstatus><x>" + std::string(2000, 'x') + "</x>", 6);
  bool blOpened = true;
  CDriver* pdriver = m_pdriver.release();
  EXPECT_EQ(std::string(DestroyDriver(strShort.c_str(), &pdriver, &blOpened)), strShort);
  EXPECT_EQ(pdriver, nullptr);
  EXPECT_FALSE(blOpened);
  // No object: the fixed success, whatever the reply.
  EXPECT_STREQ(DestroyDriver(strLong.c_str(), &pdriver, &blOpened), COsXmlTask::ReportStatusSuccess());
  m_pdriver = std::make_unique<CDriver>();
  pdriver = m_pdriver.release();
  EXPECT_STREQ(DestroyDriver(strLong.c_str(), &pdriver, &blOpened), COsXmlTask::ReportStatusFail());
  EXPECT_TRUE(m_plog->Contains("the last reply does not fit, answered by its status..."));
  m_pdriver = std::make_unique<CDriver>();
  pdriver = m_pdriver.release();
  EXPECT_STREQ(DestroyDriver(nullptr, &pdriver, &blOpened), COsXmlTask::ReportStatusSuccess());
  EXPECT_TRUE(m_plog->Contains("a_szReply is null"));
  CDevData* pdevdata = new CDevData;
  blOpened = true;
  EXPECT_STREQ(DestroyDevData(strLongSuccess.c_str(), pdevdata, blOpened), COsXmlTask::ReportStatusSuccess());
  EXPECT_EQ(pdevdata, nullptr);
  EXPECT_FALSE(blOpened);
}

// Holds the first task inside the GUI bridge's interface lock until it is
// released, as a long task holds the driver.
class GuiHold : public CDrvGuiActionSeam {
 public:
  bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase*, EOSSTS*) override {
    if (a_edrvguiaction == DRV_GUIACTION_INTERFACELOCK && !m_blHeld.exchange(true)) {
      m_promiseInside.set_value();
      m_futureRelease.wait();
    }
    return false;
  }
  std::atomic<bool> m_blHeld{false};
  std::promise<void> m_promiseInside;
  std::promise<void> m_promiseRelease;
  std::shared_future<void> m_futureRelease{m_promiseRelease.get_future().share()};
};

// The event list is answered at once from its own builder while another
// thread is inside a task; both replies come back whole, each with its own
// task's ids.
using DrvDriverThread = DrvDriverTest;

TEST_F(DrvDriverThread, EventListWhileATaskRuns) {
  SessionUp(true);
  GuiHold guihold;
  CDrvGui::SetActionSeam(&guihold);
  std::future<std::string> futureTask =
      std::async(std::launch::async, [this] { return Run("<get><id>resolution</id></get>", 31); });
  guihold.m_promiseInside.get_future().wait();
  std::future<std::string> futureEvents = std::async(std::launch::async, [this] {
    const char* szReply = nullptr;
    m_pdriver->DriverEntry(Task("<get><id>eventlist</id></get>", 32).c_str(), &szReply);
    return std::string(szReply ? szReply : "");
  });
  const bool blAtOnce = futureEvents.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  guihold.m_promiseRelease.set_value();
  ASSERT_TRUE(blAtOnce);
  const std::string strEvents = futureEvents.get();
  const std::string strTask = futureTask.get();
  EXPECT_EQ(Field(strEvents, "^<task id='([0-9]+)'"), "00000000000000000032");
  EXPECT_NE(Status(strEvents), "");
  EXPECT_TRUE(strEvents.size() > 91 && strEvents.compare(strEvents.size() - 8, 8, "</task>\n") == 0) << strEvents;
  EXPECT_EQ(ReplyId(strTask), "00000000000000000031");
  EXPECT_EQ(Status(strTask), "fail");
  EXPECT_TRUE(strTask.compare(strTask.size() - 8, 8, "</task>\n") == 0) << strTask;
}

}  // namespace
