// The exclusive share lock and the region locks, against a second process
// (Python's flock and lockf) and between two file objects of one process.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "os_cosfile.h"
#include "os_cosfile_testutil.h"
#include "test_support.h"

using filetest::MillisecondsSince;
using filetest::PythonProcess;
using testsupport::ReadFile;
using testsupport::RunPython;
using testsupport::WriteFile;

namespace {

const char* const s_szFlockHolder =
    "import fcntl,sys\n"
    "f=open(sys.argv[1],'a+')\n"
    "fcntl.flock(f,fcntl.LOCK_EX)\n"
    "print('ready')\n"
    "sys.stdin.readline()\n";

const char* const s_szFlockProbe =
    "import fcntl,sys\n"
    "f=open(sys.argv[1],'a+')\n"
    "try:\n"
    "  fcntl.flock(f,fcntl.LOCK_EX|fcntl.LOCK_NB); print('free')\n"
    "except OSError: print('busy')\n";

// Holds bytes [start, start+length) and, given a delay, lets them go after it.
const char* const s_szLockfHolder =
    "import fcntl,sys,time\n"
    "f=open(sys.argv[1],'r+')\n"
    "length,start,delay=int(sys.argv[2]),int(sys.argv[3]),float(sys.argv[4])\n"
    "fcntl.lockf(f,fcntl.LOCK_EX,length,start)\n"
    "print('ready')\n"
    "if delay>0:\n"
    "  time.sleep(delay); fcntl.lockf(f,fcntl.LOCK_UN,length,start); print('released')\n"
    "sys.stdin.readline()\n";

const char* const s_szLockfProbe =
    "import fcntl,sys\n"
    "f=open(sys.argv[1],'r+')\n"
    "try:\n"
    "  fcntl.lockf(f,fcntl.LOCK_EX|fcntl.LOCK_NB,int(sys.argv[2]),int(sys.argv[3])); print('free')\n"
    "except OSError: print('busy')\n";

EOSSTS OpenShared(COsFile* a_posfile, const char* a_szName, EOSFILESHARE a_eosfileshare,
                  EOSFILEOPEN a_eosfileopen = OS_FILEOPEN_ALWAYS) {
  return a_posfile->Open(a_szName, a_eosfileopen, OS_FILEACCESS_READWRITE, a_eosfileshare);
}

TEST(COsFileShareLock, FileHeldByAnotherProcessIsInUseAndKeepsItsData) {
  WriteFile("f", "precious");
  PythonProcess holder(s_szFlockHolder, {"f"});
  ASSERT_EQ(holder.ReadLine(), "ready");
  COsFile osfile;
  // Even "create", which empties a file, leaves it alone while it is in use.
  EXPECT_EQ(OpenShared(&osfile, "f", OS_FILESHARE_EXCLUSIVE, OS_FILEOPEN_CREATE), OS_STS_IN_USE);
  EXPECT_FALSE(osfile.IsOpen());
  EXPECT_EQ(ReadFile("f"), "precious");
  EXPECT_EQ(OpenShared(&osfile, "f", OS_FILESHARE_READWRITE), OS_STS_SUCCESS);  // no lock asked for
  osfile.Close();
  holder.Finish();
  EXPECT_EQ(OpenShared(&osfile, "f", OS_FILESHARE_EXCLUSIVE), OS_STS_SUCCESS);
}

TEST(COsFileShareLock, HeldFileIsBusyForAnotherProcessUntilClosed) {
  COsFile osfile;
  ASSERT_EQ(OpenShared(&osfile, "f", OS_FILESHARE_EXCLUSIVE), OS_STS_SUCCESS);
  EXPECT_EQ(RunPython(s_szFlockProbe, {"f"}), "busy\n");
  osfile.Close();
  EXPECT_EQ(RunPython(s_szFlockProbe, {"f"}), "free\n");
}

TEST(COsFileShareLock, ActsBetweenTwoObjectsOfOneProcess) {
  COsFile osfileA, osfileB;
  ASSERT_EQ(OpenShared(&osfileA, "f", OS_FILESHARE_EXCLUSIVE), OS_STS_SUCCESS);
  EXPECT_EQ(OpenShared(&osfileB, "f", OS_FILESHARE_EXCLUSIVE), OS_STS_IN_USE);
  EXPECT_EQ(OpenShared(&osfileB, "f", OS_FILESHARE_READ), OS_STS_SUCCESS);
  osfileA.Close();
  osfileB.Close();
  EXPECT_EQ(OpenShared(&osfileB, "f", OS_FILESHARE_EXCLUSIVE), OS_STS_SUCCESS);
}

class COsFileRegionLock : public testing::Test {
 protected:
  void SetUp() override {
    WriteFile("r", std::string(1000, '.'));
    ASSERT_EQ(OpenShared(&m_osfile, "r", OS_FILESHARE_READWRITE), OS_STS_SUCCESS);
  }
  COsFile m_osfile;
};

TEST_F(COsFileRegionLock, RegionHeldElsewhereIsBusyAfterTheTimeOutWithPausedTries) {
  PythonProcess holder(s_szLockfHolder, {"r", "10", "100", "0"});
  ASSERT_EQ(holder.ReadLine(), "ready");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_osfile.Lock(100, 10, 0, "test"), OS_STS_BUSY);  // one try, no pause
  EXPECT_LT(MillisecondsSince(start), 100.0);
  EXPECT_EQ(m_osfile.TestLock(100, 10), OS_STS_BUSY);
  EXPECT_EQ(m_osfile.TestLock(105, 1), OS_STS_BUSY);
  // Five tries, 100 ms apart.
  start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_osfile.Lock(100, 10, 500, nullptr), OS_STS_BUSY);
  EXPECT_GE(MillisecondsSince(start), 395.0);
  // Other bytes are free.
  EXPECT_EQ(m_osfile.TestLock(110, 10), OS_STS_SUCCESS);
  EXPECT_EQ(m_osfile.Lock(110, 10, 0), OS_STS_SUCCESS);
}

TEST_F(COsFileRegionLock, RetriesUntilTheOtherProcessLetsGo) {
  PythonProcess holder(s_szLockfHolder, {"r", "10", "100", "0.25"});
  ASSERT_EQ(holder.ReadLine(), "ready");
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(m_osfile.Lock(100, 10, 5000), OS_STS_SUCCESS);
  double dElapsed = MillisecondsSince(start);
  EXPECT_GE(dElapsed, 200.0);
  EXPECT_LT(dElapsed, 4000.0);  // taken at a later try, not at the end of the time-out
  EXPECT_EQ(holder.ReadLine(), "released");
}

TEST_F(COsFileRegionLock, HeldRegionIsBusyForAnotherProcessUntilUnlocked) {
  ASSERT_EQ(m_osfile.Lock(200, 10, 0), OS_STS_SUCCESS);
  EXPECT_EQ(RunPython(s_szLockfProbe, {"r", "10", "200"}), "busy\n");
  EXPECT_EQ(RunPython(s_szLockfProbe, {"r", "1", "209"}), "busy\n");
  EXPECT_EQ(RunPython(s_szLockfProbe, {"r", "10", "300"}), "free\n");
  EXPECT_EQ(m_osfile.Unlock(200, 10), OS_STS_SUCCESS);
  EXPECT_EQ(RunPython(s_szLockfProbe, {"r", "10", "200"}), "free\n");
  // Closing lets every region go.
  ASSERT_EQ(m_osfile.Lock(400, 10, 0), OS_STS_SUCCESS);
  m_osfile.Close();
  EXPECT_EQ(RunPython(s_szLockfProbe, {"r", "10", "400"}), "free\n");
}

TEST_F(COsFileRegionLock, SlotsSameRegionAndBadRegions) {
  EXPECT_EQ(m_osfile.Lock(0, 0, 0), OS_STS_FAIL);
  EXPECT_EQ(m_osfile.Unlock(0, 0), OS_STS_FAIL);
  EXPECT_EQ(m_osfile.TestLock(0, 0), OS_STS_FAIL);
  EXPECT_EQ(m_osfile.Unlock(5, 5), OS_STS_SUCCESS);  // never locked
  for (size_t i = 0; i < 64; ++i) ASSERT_EQ(m_osfile.Lock(i * 10, 5, 0), OS_STS_SUCCESS) << i;
  EXPECT_EQ(m_osfile.Lock(0, 5, 0), OS_STS_SUCCESS);  // the same region again: no new slot
  EXPECT_EQ(m_osfile.Lock(700, 5, 0), OS_STS_FAIL);   // a 65th region
  EXPECT_EQ(m_osfile.Unlock(630, 5), OS_STS_SUCCESS);
  EXPECT_EQ(m_osfile.Lock(700, 5, 0), OS_STS_SUCCESS);
  // Beyond what a file offset can say.
  EXPECT_EQ(m_osfile.Unlock(0, 5), OS_STS_SUCCESS);
  EXPECT_EQ(m_osfile.Lock(SIZE_MAX - 1, 1, 0), OS_STS_FAIL);
}

TEST_F(COsFileRegionLock, TestLockKeepsARegionThisObjectHolds) {
  COsFile osfileOther;
  ASSERT_EQ(OpenShared(&osfileOther, "r", OS_FILESHARE_READWRITE), OS_STS_SUCCESS);
  ASSERT_EQ(m_osfile.Lock(10, 10, 0), OS_STS_SUCCESS);
  EXPECT_EQ(m_osfile.TestLock(10, 10), OS_STS_LOCKED);
  EXPECT_EQ(m_osfile.TestLock(10, 10), OS_STS_LOCKED);
  // Still held: the other object of this process cannot take it.
  EXPECT_EQ(osfileOther.TestLock(10, 10), OS_STS_BUSY);
  EXPECT_EQ(osfileOther.Lock(10, 10, 0), OS_STS_BUSY);
  EXPECT_EQ(m_osfile.Unlock(10, 10), OS_STS_SUCCESS);
  EXPECT_EQ(osfileOther.TestLock(10, 10), OS_STS_SUCCESS);
  EXPECT_EQ(osfileOther.Lock(10, 10, 0), OS_STS_SUCCESS);
  EXPECT_EQ(m_osfile.Lock(10, 10, 0), OS_STS_BUSY);
}

// After Close the system has let the regions go; a reopened object must
// not answer from a slot it no longer holds.
TEST_F(COsFileRegionLock, CloseForgetsTheRegions) {
  ASSERT_EQ(m_osfile.Lock(10, 10, 0), OS_STS_SUCCESS);
  m_osfile.Close();
  COsFile osfileOther;
  ASSERT_EQ(OpenShared(&osfileOther, "r", OS_FILESHARE_READWRITE), OS_STS_SUCCESS);
  ASSERT_EQ(osfileOther.Lock(10, 10, 0), OS_STS_SUCCESS);
  ASSERT_EQ(OpenShared(&m_osfile, "r", OS_FILESHARE_READWRITE), OS_STS_SUCCESS);
  EXPECT_EQ(m_osfile.Lock(10, 10, 0), OS_STS_BUSY);
  EXPECT_EQ(m_osfile.TestLock(10, 10), OS_STS_BUSY);
}

TEST(COsFileRegionLockClosed, NeedsAnOpenFile) {
  COsFile osfile;
  EXPECT_EQ(osfile.Lock(0, 1, 0), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.TestLock(0, 1), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Unlock(0, 1), OS_STS_SUCCESS);
  // A file open for reading only cannot hold an exclusive region.
  WriteFile("ro", "x");
  ASSERT_EQ(osfile.Open("ro", OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ), OS_STS_SUCCESS);
  EXPECT_EQ(osfile.Lock(0, 1, 0), OS_STS_FAIL);
}

}  // namespace
