// Saves that cannot finish: a file-size limit, a writer killed at random
// moments, two writers at once. Whatever happens, the profile file is one
// whole document (the old one or a new one), never a part.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "db_profile_opened_fixture.h"
#include "test_support.h"

namespace {

using dbtest::DbProfileOpenedFixture;

// How long a parent waits for its child's first save at most.
constexpr int s_iReadyMs = 60000;

class DbProfileCrashTest : public DbProfileOpenedFixture {
 protected:
  void SetUp() override {
    DbProfileOpenedFixture::SetUp();
    m_pdbprofileitem = NewItem(m_strPath);
    m_pdbprofileitem->SetProfileUser();
    for (bool blSecond : {false, true}) {
      Values(blSecond);
      m_astrDocument[blSecond] = Document(*m_pdbprofileitem, "profilenormalsave");
      ASSERT_FALSE(m_astrDocument[blSecond].empty());
    }
    ASSERT_NE(m_astrDocument[0].size(), m_astrDocument[1].size());
    Values(false);
    ASSERT_EQ(m_pdbprofileitem->Save(nullptr), OS_STS_SUCCESS);
  }

  void TearDown() override {
    m_pdbprofileitem.reset();
    DbProfileOpenedFixture::TearDown();
  }

  // One of two sets of values, of different lengths.
  void Values(bool a_blSecond) {
    Put(DB_ID_THRESHOLD, DB_BIN_BITONAL_FRONT, a_blSecond ? 200 : 7);
    Put(DB_ID_CONTRAST, DB_BIN_COLOR_FRONT, a_blSecond ? -35 : 4);
  }

  bool IsWhole(const std::string& a_strText) const {
    return a_strText == m_astrDocument[0] || a_strText == m_astrDocument[1];
  }

  // A child process saving the profile: the given set, or the two in turn.
  // After its first save it writes a byte to the pipe, when it has one.
  pid_t Saver(int a_iSaves, bool a_blAlternate, bool a_blSecond, int a_iReady) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (int i = 0; i < a_iSaves; ++i) {
      Values(a_blAlternate ? i % 2 != 0 : a_blSecond);
      if (m_pdbprofileitem->Save(nullptr) != OS_STS_SUCCESS) _exit(2);
      if (i == 0 && a_iReady >= 0 && write(a_iReady, "r", 1) != 1) _exit(3);
    }
    _exit(0);
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> vec;
    for (const auto& entry : std::filesystem::directory_iterator(m_strOwn))
      vec.push_back(entry.path().filename().string());
    return vec;
  }

  const std::string m_strPath = m_strOwn + "/mine.profile";
  std::unique_ptr<CDbProfileItem> m_pdbprofileitem;
  std::string m_astrDocument[2];
};

// Past a file-size limit the new document cannot be written: the save
// answers 1, and the old file is as it was, with no temporary beside it.
TEST_F(DbProfileCrashTest, AFileSizeLimitLeavesTheOldFile) {
  const std::string strOld = testsupport::ReadFile(m_strPath);
  ASSERT_EQ(strOld, m_astrDocument[0]);
  Values(true);
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rlimitSize = {256, 256};
    if (setrlimit(RLIMIT_FSIZE, &rlimitSize) != 0) _exit(3);
    _exit(m_pdbprofileitem->Save(nullptr) == OS_STS_FAIL ? 0 : 1);
  }
  int iStatus = -1;
  ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
  ASSERT_TRUE(WIFEXITED(iStatus));
  EXPECT_EQ(WEXITSTATUS(iStatus), 0);
  EXPECT_EQ(testsupport::ReadFile(m_strPath), strOld);
  EXPECT_EQ(Entries(), std::vector<std::string>{"mine.profile"});
}

// A writer saving the two sets in turn, killed at a random moment after its
// first save, 30 times: the file always parses (Python's ElementTree reads
// each one) and is one of the two documents.
TEST_F(DbProfileCrashTest, AWriterKilledMidSaveLeavesAWholeDocument) {
  std::mt19937 mt19937(90);
  std::uniform_int_distribution<int> distribution(0, 4000);
  const std::string strRounds = testsupport::RootPath("rounds");
  std::filesystem::create_directories(strRounds);
  std::vector<std::string> vecArgs = {"-c",
                                      "import sys, xml.etree.ElementTree as E\n"
                                      "for p in sys.argv[1:]: assert E.parse(p).getroot().tag == 'profile', p\n"};
  for (int iRound = 0; iRound < 30; ++iRound) {
    SCOPED_TRACE(iRound);
    int aiPipe[2];
    ASSERT_EQ(pipe(aiPipe), 0);
    const pid_t pid = Saver(1000, true, false, aiPipe[1]);
    close(aiPipe[1]);
    pollfd pollfdReady = {aiPipe[0], POLLIN, 0};
    char c = 0;
    const bool blReady = poll(&pollfdReady, 1, s_iReadyMs) == 1 && read(aiPipe[0], &c, 1) == 1;
    close(aiPipe[0]);
    usleep(static_cast<useconds_t>(distribution(mt19937)));
    kill(pid, SIGKILL);
    int iStatus = -1;
    ASSERT_EQ(waitpid(pid, &iStatus, 0), pid);
    EXPECT_TRUE(blReady);
    const std::string strText = testsupport::ReadFile(m_strPath);
    EXPECT_TRUE(IsWhole(strText)) << strText.size();
    const std::string strRound = strRounds + "/round" + std::to_string(iRound) + ".profile";
    testsupport::WriteFile(strRound, strText);
    vecArgs.push_back(strRound);
  }
  int iStatus = -1;
  const std::string strOut = testsupport::RunProgram(
      [&] {
        std::vector<std::string> vec = {SCANDRV_PYTHON};
        vec.insert(vec.end(), vecArgs.begin(), vecArgs.end());
        return vec;
      }(),
      &iStatus);
  EXPECT_EQ(iStatus, 0) << strOut;
}

// Two processes saving the profile 200 times each, each its own set: every
// read meanwhile, and the file at the end, is one whole document.
TEST_F(DbProfileCrashTest, TwoWritersLeaveOneWholeDocument) {
  const pid_t apid[2] = {Saver(200, false, false, -1), Saver(200, false, true, -1)};
  int iRunning = 2;
  int aiStatus[2] = {-1, -1};
  bool ablDone[2] = {false, false};
  long lReads = 0;
  while (iRunning > 0) {
    const std::string strText = testsupport::ReadFile(m_strPath);
    ++lReads;
    EXPECT_TRUE(IsWhole(strText)) << strText.size();
    for (int i = 0; i < 2; ++i) {
      int iStatus = -1;
      if (ablDone[i] || waitpid(apid[i], &iStatus, WNOHANG) != apid[i]) continue;
      ablDone[i] = true;
      aiStatus[i] = iStatus;
      --iRunning;
    }
  }
  for (int iStatus : aiStatus) EXPECT_TRUE(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0) << iStatus;
  EXPECT_TRUE(IsWhole(testsupport::ReadFile(m_strPath)));
  EXPECT_GT(lReads, 0);
}

}  // namespace
