// The command dispatcher on the real database, with the machine on the GUI
// bridge that has no GUI program, fed task texts: the grammar it loads, the
// ids of its replies, the state machine's refusals, the setmany undo point,
// a reply for every task whatever its input, and the database lock around
// the database commands.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "db_cdblock.h"
#include "drv_cdrvdispatch.h"
#include "drv_fixture.h"

using drvtest::Command;
using drvtest::Reply;
using drvtest::Task;

namespace {

class DrvDispatchTest : public drvtest::DrvFixture {
 protected:
  long long Number(const std::string& a_str) { return a_str.empty() ? -1 : std::stoll(a_str); }
};

// Another thread (the device engine's, say) that holds the database lock
// for the given time at most, or until told to let go.
class LockHolder {
 public:
  explicit LockHolder(int a_iMilliseconds)
      : m_thread([this, a_iMilliseconds] {
          CDbLockGuard dblockguard;
          m_blLocked = true;
          for (int i = 0; i < a_iMilliseconds / 10 && !m_blLetGo; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          m_blReleased = true;
        }) {
    while (!m_blLocked) std::this_thread::yield();
  }
  ~LockHolder() {
    m_blLetGo = true;
    m_thread.join();
  }
  bool Released() const { return m_blReleased; }

 private:
  std::atomic<bool> m_blLocked{false};
  std::atomic<bool> m_blLetGo{false};
  std::atomic<bool> m_blReleased{false};
  std::thread m_thread;
};

// A setmany whose first set changes a value and whose second fails.
const char s_szSetmany[] =
    "<setmany><set><id>powerofftimeout</id><valuecurrent>7</valuecurrent></set>"
    "<set><id>nosuchcapability</id><valuecurrent>1</valuecurrent></set></setmany>";

// The library's grammar is drv/drv_grammar.xml as it stands.
TEST_F(DrvDispatchTest, EmbedsTheGrammarFile) {
  std::ifstream ifs(std::string(SCANDRV_SOURCE_DIR) + "/drv/drv_grammar.xml");
  std::stringstream ss;
  ss << ifs.rdbuf();
  ASSERT_FALSE(ss.str().empty());
  EXPECT_EQ(ss.str(), CDrvDispatchImpl::s_szDrvGrammar);
}

// A handler the library lacks, or an object nobody registered, fails Init;
// the tasks of such a dispatcher answer "fail".
TEST_F(DrvDispatchTest, MisspeltHandlerFailsInit) {
  const struct {
    const char* szFrom;
    const char* szTo;
    const char* szLog;
  } acase[] = {
      {"'drvprocesscommands.ExitScanbegin'", "'drvprocesscommands.ExitScanbeginn'",
       "callback function <CDrvProcessCommands_ExitScanbeginn> evaluates to NULL"},
      {"'drvprocesscommands.EnterGetId'", "'drvprocesscommand.EnterGetId'", "could not find <drvprocesscommand>"},
  };
  for (const auto& c : acase) {
    std::string strGrammar = CDrvDispatchImpl::s_szDrvGrammar;
    const size_t sizet = strGrammar.find(c.szFrom);
    ASSERT_NE(sizet, std::string::npos) << c.szFrom;
    strGrammar.replace(sizet, std::strlen(c.szFrom), c.szTo);
    CDrvDispatchImpl::SetGrammarSeam(strGrammar.c_str());
    CDrvDispatch drvdispatch;
    EXPECT_EQ(drvdispatch.Init(m_pdrvcommandfsm.get(), m_pdatabase.get(), nullptr, m_pdrvgui.get(), nullptr),
              OS_STS_FAIL);
    CDrvDispatchImpl::SetGrammarSeam(nullptr);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_TRUE(m_plog->Contains("DispatchLoad failed...<1>"));
    EXPECT_EQ(drvdispatch.Process(Task(Command("interfaceopen"), "4").c_str()), OS_STS_FAIL);
    EXPECT_NE(std::string(m_pdatabase->GetXmlTask()->GetTaskBuffer()).find("<status>fail</status>"),
              std::string::npos);
  }
}

// The reply carries the request's id as its reply id and the task id one
// up from the last reply's.
TEST_F(DrvDispatchTest, ReplyIdsFollowTheRequest) {
  m_pdatabase->SetTaskId(6);
  Reply reply = Run(Task(Command("interfaceopen"), "00000000000000000042"));
  EXPECT_EQ(Number(reply.strReply), 42);
  EXPECT_EQ(Number(reply.strId), 7);
  // Without a device facade the interface cannot open: "fail", and the
  // task stops.
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_EQ(reply.eossts, OS_STS_FAIL);
  EXPECT_TRUE(m_plog->Contains("m_pdev is null..."));
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_CLOSED);

  reply = Run(Task(Command("interfaceopen"), "2147483647"));
  EXPECT_EQ(Number(reply.strReply), 2147483647);
  EXPECT_EQ(Number(reply.strId), 8);
  EXPECT_EQ(Number(reply.strText.substr(reply.strText.find("bytes='") + 7, 20)),
            static_cast<long long>(reply.strText.size()));
}

// The command read for the driver's gates is the one the walk runs: the
// document read then is walked as it stands. A text read but never walked
// (a gate answered it) is let go at the task's end, so that a later task in
// the same buffer is read anew; inside a walk the command is read by a
// reader of its own.
TEST_F(DrvDispatchTest, TaskReadForItsCommandIsWalkedOnce) {
  char szCommand[64];
  std::string strTask = Task(Command("interfaceopen"), "00000000000000000031");
  ASSERT_TRUE(m_pdrvdispatch->ReadCommand(strTask.c_str(), szCommand, sizeof szCommand));
  EXPECT_STREQ(szCommand, "interfaceopen");
  Reply reply = Run(strTask);
  m_pdrvdispatch->EndTask();
  EXPECT_EQ(Number(reply.strReply), 31);
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_TRUE(m_plog->Contains("m_pdev is null..."));

  // Read, not walked; the buffer then holds another task.
  ASSERT_TRUE(m_pdrvdispatch->ReadCommand(strTask.c_str(), szCommand, sizeof szCommand));
  m_pdrvdispatch->EndTask();
  const std::string strScan = Task(Command("scanbegin"), "00000000000000000032");
  const char* pcBuffer = strTask.c_str();
  strTask.assign(strScan);
  ASSERT_EQ(strTask.c_str(), pcBuffer);
  reply = Run(strTask);
  EXPECT_EQ(Number(reply.strReply), 32);
  EXPECT_EQ(reply.strStatus, "invalidstate");

  // Texts that are no task of one command name none.
  for (const std::string& strBad : {std::string("<task id='1'>"), Task(Command("get") + Command("set"), "3"),
                                    std::string("<notask id='1'><get></get></notask>")}) {
    EXPECT_FALSE(m_pdrvdispatch->ReadCommand(strBad.c_str(), szCommand, sizeof szCommand)) << strBad;
    EXPECT_STREQ(szCommand, "");
    m_pdrvdispatch->EndTask();
  }
}

// A command the state does not allow is answered "invalidstate" and changes
// neither the state nor the data-source state.
TEST_F(DrvDispatchTest, CommandRefusedByStateAnswersInvalidstate) {
  Drive({{"interfaceopen", OS_STS_SUCCESS}});
  ASSERT_EQ(DsState(), 3);
  const std::vector<std::string> vecstrValues = Values();
  const Reply reply = Run(Task(Command("scanbegin"), "5"));
  EXPECT_EQ(reply.strStatus, "invalidstate");
  EXPECT_EQ(Number(reply.strReply), 5);
  EXPECT_EQ(reply.eossts, OS_STS_FAIL);
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_OPENED);
  EXPECT_EQ(DsState(), 3);
  EXPECT_EQ(Values(), vecstrValues);
  EXPECT_TRUE(m_plog->Contains("Failure:  Command not allowed in current state."));
  EXPECT_FALSE(m_plog->Contains("command not built yet...<scanbegin>"));
}

// A setmany whose set fails puts back what its start remembered and answers
// "badvalue"; one that never started (refused, or not a document) restores
// nothing: a value set after the last setmany stays.
TEST_F(DrvDispatchTest, SetmanyRestoresOnlyWhatItRemembered) {
  DriveToInitialized();
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_POWEROFFTIMEOUT);
  ASSERT_NE(pdbdatum, nullptr);
  const long lBefore = pdbdatum->GetCurrentLongNoCallback();

  Reply reply = Run(Task(s_szSetmany, "21"));
  EXPECT_EQ(reply.strStatus, "badvalue");
  EXPECT_EQ(Number(reply.strReply), 21);
  EXPECT_EQ(m_pdatabase->TestDbState(DB_STATE_APPLICATION), 0);
  EXPECT_TRUE(m_plog->Contains("=== POWEROFFTIMEOUT(0,1):7 was:"));
  EXPECT_TRUE(m_plog->Contains("Unrecognized lexicon Id nosuchcapability..."));
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), lBefore);
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);

  pdbdatum->CopyCurrentLong(lBefore + 1);
  Drive({{"scanbegin", OS_STS_SUCCESS}});
  reply = Run(Task(s_szSetmany, "22"));
  EXPECT_EQ(reply.strStatus, "invalidstate");
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), lBefore + 1);
  reply = Run(std::string("<task id='23' reply='0' bytes='0'>") + s_szSetmany);
  EXPECT_EQ(reply.strStatus, "fail");
  EXPECT_EQ(Number(reply.strReply), 23);
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), lBefore + 1);
  EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_SCAN);
  // The first setmany's undo point would have put the old value back.
  m_pdatabase->RestoreAll();
  EXPECT_EQ(pdbdatum->GetCurrentLongNoCallback(), lBefore);
}

// Whatever comes in, the reply is a fresh "fail" with the request's own id
// (0 when it cannot be read), never the reply before it; the state, the
// data-source state and the database stay as they were.
TEST_F(DrvDispatchTest, BadInputAnswersFailWithItsOwnId) {
  DriveToInitialized();
  const std::string strHuge = "<task id='12' reply='0' bytes='0'><get><id>" + std::string(10u << 20, 'a') +
                              "</id></get></task>";
  const struct {
    std::string strText;
    long long llReply;
    const char* szLog;
  } acase[] = {
      {"hello", 0, "DocumentLoadAndDispatch failed"},
      {"<task id='5' reply='0' bytes='0'><get><id>x</id></get>", 5, "DocumentLoadAndDispatch failed"},
      {"<task reply='0' bytes='0'><get><id>x</id></get></task>", 0, "Unable to get Task Id from XML task."},
      {Task(Command("get"), "1234567890123456789012345"), 0, "Unable to get Task Id from XML task."},
      {Task(Command("get"), "12ab"), 0, "Unable to get Task Id from XML task."},
      {Task(Command("get"), "-4"), 0, "Unable to get Task Id from XML task."},
      {Task(Command("get"), "2147483648"), 0, "Unable to get Task Id from XML task."},
      {Task(Command("get"), ""), 0, "Unable to get Task Id from XML task."},
      {Task(Command("bogus"), "9"), 9, "The task built no reply: fail...<9>"},
      {Task(Command("get") + Command("set"), "11"), 11, "Failure:  A task holds one command, this one 2."},
      {"<task id='13' reply='0' bytes='0'></task>", 13, "Failure:  A task holds one command, this one 0."},
      {"<job id='14'><get></get></job>", 0, "Failure:  Not a task...<job>"},
      {strHuge, 12, "id too long..."},
  };
  const std::vector<std::string> vecstrValues = Values();
  for (const auto& c : acase) {
    SCOPED_TRACE(c.strText.substr(0, 80));
    // A reply of its own before each, which the bad task must not hand back.
    const Reply replyBefore = Run(Task(Command("getoutput"), "77"));
    ASSERT_EQ(replyBefore.strStatus, "invalidstate");
    const Reply reply = Run(c.strText);
    EXPECT_EQ(reply.strStatus, "fail");
    EXPECT_EQ(Number(reply.strReply), c.llReply);
    EXPECT_EQ(Number(reply.strId), Number(replyBefore.strId) + 1);
    EXPECT_NE(reply.eossts, OS_STS_SUCCESS);
    EXPECT_TRUE(m_plog->Contains(c.szLog)) << c.szLog;
    EXPECT_EQ(m_pdrvcommandfsm->GetCurrentState(), DRV_STATE_INITIALIZED);
    EXPECT_EQ(DsState(), 4);
  }
  EXPECT_EQ(Values(), vecstrValues);
  // No text at all.
  EXPECT_EQ(m_pdrvdispatch->Process(nullptr), OS_STS_FAIL);
  EXPECT_NE(std::string(m_pdatabase->GetXmlTask()->GetTaskBuffer()).find("<status>fail</status>"),
            std::string::npos);
}

TEST_F(DrvDispatchTest, TaskIdsAreDecimalNumbersOfTwentyDigitsAtMost) {
  const struct {
    const char* szId;
    bool blRead;
    int iId;
  } acase[] = {
      {"0", true, 0},         {"00000000000000000042", true, 42}, {"2147483647", true, 2147483647},
      {"000000000000000000042", false, 0}, {"2147483648", false, 0}, {"", false, 0},
      {"4 2", false, 0},      {"+1", false, 0},                    {"0x10", false, 0},
  };
  for (const auto& c : acase) {
    int iId = -1;
    EXPECT_EQ(CDrvDispatchImpl::ReadTaskId(c.szId, &iId), c.blRead) << c.szId;
    if (c.blRead) {
      EXPECT_EQ(iId, c.iId) << c.szId;
    }
  }
  EXPECT_FALSE(CDrvDispatchImpl::ReadTaskId(nullptr, nullptr));
}

// A database command runs under the database lock: it waits while another
// thread (the device engine's) holds it.
TEST_F(DrvDispatchTest, DatabaseCommandWaitsForTheDatabaseLock) {
  DriveToInitialized();
  LockHolder lockholder(100);
  EXPECT_EQ(Run(Task(s_szSetmany, "31")).strStatus, "badvalue");
  EXPECT_TRUE(lockholder.Released());
}

// Other tasks do not take it: they may have to wait for the engine's
// threads, which take it themselves.
TEST_F(DrvDispatchTest, OtherTasksRunWithoutTheDatabaseLock) {
  DriveToInitialized();
  LockHolder lockholder(30000);
  EXPECT_EQ(Run(Task(Command("getoutput"), "32")).strStatus, "invalidstate");
  EXPECT_EQ(Run("not a task").strStatus, "fail");
  EXPECT_FALSE(lockholder.Released());
}

// Setmany's undo point writes every value; a thread that reads values under
// the lock meanwhile sees no race (ThreadSanitizer).
TEST_F(DrvDispatchTest, SetmanyRacesNoReader) {
  DriveToInitialized();
  std::atomic<bool> blDone{false};
  CDbDatum* pdbdatum = m_pdatabase->FindDirect(DB_BIN_MACHINE, DB_ID_POWEROFFTIMEOUT);
  ASSERT_NE(pdbdatum, nullptr);
  std::atomic<long> lSum{0};
  std::thread thread([&] {
    while (!blDone) {
      CDbLockGuard dblockguard;
      lSum += pdbdatum->GetCurrentLongNoCallback();
    }
  });
  for (int i = 0; i < 20; ++i) EXPECT_EQ(Run(Task(s_szSetmany, std::to_string(40 + i))).strStatus, "badvalue");
  blDone = true;
  thread.join();
}

}  // namespace
