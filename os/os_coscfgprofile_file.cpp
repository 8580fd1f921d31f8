// The files of the ini engine: opening and locking them for a change with a
// bounded wait, reading them, and replacing them whole.
#include <fcntl.h>
#include <limits.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os_coscfgprofilefile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr long kDefaultLockWait = 5000;
constexpr long kFirstPauseUs = 100;
constexpr long kLongestPauseUs = 10000;

std::atomic<long> s_lLockWait{kDefaultLockWait};

long long NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PauseUs(long a_lMicroseconds) {
  timespec ts = {0, a_lMicroseconds * 1000};
  while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
  }
}

EOSSTS StatusOf(int a_iErrno) {
  switch (a_iErrno) {
    case ENOENT: return OS_STS_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS: return OS_STS_ACCESS_DENIED;
    default: return OS_STS_IO_ERROR;
  }
}

bool SameFile(const struct stat& a_st1, const struct stat& a_st2) {
  return a_st1.st_dev == a_st2.st_dev && a_st1.st_ino == a_st2.st_ino;
}

bool SameTime(const timespec& a_ts1, const timespec& a_ts2) {
  return a_ts1.tv_sec == a_ts2.tv_sec && a_ts1.tv_nsec == a_ts2.tv_nsec;
}

}  // namespace

COsCfgProfileFile::~COsCfgProfileFile() { Close(); }

void COsCfgProfileFile::Close() {
  if (m_iFd >= 0) close(m_iFd);  // gives the lock back
  m_iFd = -1;
  m_blReadOnly = false;
}

EOSSTS COsCfgProfileFile::OpenForRead(const char* a_szPath) { return Open(a_szPath, false, 0); }

EOSSTS COsCfgProfileFile::OpenForChange(const char* a_szPath, unsigned a_uMode) {
  return Open(a_szPath, true, a_uMode);
}

EOSSTS COsCfgProfileFile::Open(const char* a_szPath, bool a_blForChange, unsigned a_uMode) {
  Close();
  const long lWait = s_lLockWait.load(std::memory_order_relaxed);
  const long long llDeadline = NowMs() + lWait;
  long lPauseUs = kFirstPauseUs;
  for (int iTry = 0;; ++iTry) {
    if (iTry > 0 && NowMs() >= llDeadline) {
      // Files made and renamed over faster than we can lock one.
      OsLog(OS_LOG_ERROR, "profile lock not had within %ld ms, giving up...<%s>", lWait, a_szPath);
      return OS_STS_BUSY;
    }
    // Non-blocking, so that a FIFO in its place cannot hang the open.
    bool blReadOnly = !a_blForChange;
    int iFd = open(a_szPath, (a_blForChange ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (iFd < 0 && a_blForChange && (errno == EACCES || errno == EPERM || errno == EROFS)) {
      iFd = open(a_szPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      blReadOnly = true;
      if (iFd >= 0) OsLogDebug(OS_LOG_INFO, "profile opened readonly...<%s>", a_szPath);
    }
    if (iFd < 0 && a_blForChange && errno == ENOENT) {
      iFd = open(a_szPath, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (iFd >= 0) {
        fchmod(iFd, a_uMode & 07777);
        blReadOnly = false;
      } else if (errno == EEXIST) {
        struct stat stLink;
        if (lstat(a_szPath, &stLink) != 0 || !S_ISLNK(stLink.st_mode)) continue;  // another process made it first
        OsLog(OS_LOG_ERROR, "profile is a link to nothing...<%s>", a_szPath);
        return OS_STS_FILE_NOT_FOUND;
      }
    }
    struct stat st;
    if (iFd < 0 && errno != EISDIR) return StatusOf(errno);
    if (iFd < 0 || fstat(iFd, &st) != 0 || !S_ISREG(st.st_mode)) {
      if (iFd >= 0) close(iFd);
      OsLog(OS_LOG_ERROR, "profile is not a regular file...<%s>", a_szPath);
      return OS_STS_BAD_ARGUMENT;
    }
    if (!a_blForChange) {
      m_iFd = iFd;
      m_blReadOnly = true;
      m_szPath = a_szPath;
      return OS_STS_SUCCESS;
    }
    while (flock(iFd, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      const int iErrno = errno;
      if (iErrno != EWOULDBLOCK || NowMs() >= llDeadline) {
        close(iFd);
        if (iErrno != EWOULDBLOCK) {
          OsLog(OS_LOG_ERROR, "profile could not be locked...<%s> (%s)", a_szPath, std::strerror(iErrno));
          return OS_STS_IO_ERROR;
        }
        OsLog(OS_LOG_ERROR, "profile is locked by another process, gave up after %ld ms...<%s>", lWait, a_szPath);
        return OS_STS_BUSY;
      }
      PauseUs(lPauseUs);
      lPauseUs = lPauseUs * 2 > kLongestPauseUs ? kLongestPauseUs : lPauseUs * 2;
    }
    // Whoever had the lock may have renamed a new file over the path (or
    // removed it): then the lock of that new file is the one to take.
    struct stat stPath;
    if (stat(a_szPath, &stPath) == 0 && SameFile(st, stPath)) {
      m_iFd = iFd;
      m_blReadOnly = blReadOnly;
      m_szPath = a_szPath;
      return OS_STS_SUCCESS;
    }
    close(iFd);
  }
}

OsCfgProfileStamp COsCfgProfileFile::Stamp() const {
  struct stat st;
  if (m_iFd < 0 || fstat(m_iFd, &st) != 0) return {};
  return StampOf(st);
}

size_t COsCfgProfileFile::Read(char* a_pbBuffer, size_t a_sizetBuffer, bool* a_pblMore) const {
  size_t sizetRead = 0;
  *a_pblMore = false;
  if (m_iFd < 0) return 0;
  while (sizetRead < a_sizetBuffer) {
    ssize_t n = pread(m_iFd, a_pbBuffer + sizetRead, a_sizetBuffer - sizetRead, static_cast<off_t>(sizetRead));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return sizetRead;
    sizetRead += static_cast<size_t>(n);
  }
  char cMore;
  *a_pblMore = pread(m_iFd, &cMore, 1, static_cast<off_t>(sizetRead)) == 1;
  return sizetRead;
}

EOSSTS COsCfgProfileFile::Replace(const char* a_pcText, size_t a_sizetText, unsigned a_uMode,
                                  OsCfgProfileStamp* a_pstamp) {
  if (m_iFd < 0 || m_blReadOnly) return OS_STS_ACCESS_DENIED;
  // The new file goes beside the real file, not beside a link to it.
  char szTarget[PATH_MAX];
  if (!realpath(m_szPath, szTarget)) COsString::SStrCpy(szTarget, sizeof szTarget, m_szPath);
  char szTemp[PATH_MAX + 16];
  int iFdNew = -1;
  EOSSTS eossts = COsFileImpl::WriteTemporaryBeside(szTarget, a_pcText, a_sizetText, a_uMode, szTemp, sizeof szTemp,
                                                    &iFdNew);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "profile could not be written, the file is unchanged...<%s>", szTarget);
    return eossts == OS_STS_ACCESS_DENIED ? eossts : OS_STS_IO_ERROR;
  }
  // Locked before it takes the file's place: nobody can change the new file
  // before we have its stamp. Nobody else knows it yet, so this never waits.
  flock(iFdNew, LOCK_EX);
  if (rename(szTemp, szTarget) != 0) {
    const int iErrno = errno;
    unlink(szTemp);
    close(iFdNew);
    OsLog(OS_LOG_ERROR, "profile could not be written, the file is unchanged...<%s> (%s)", szTarget,
          std::strerror(iErrno));
    return iErrno == EACCES || iErrno == EPERM || iErrno == EROFS ? OS_STS_ACCESS_DENIED : OS_STS_IO_ERROR;
  }
  COsFileImpl::SyncDirectoryOf(szTarget);
  struct stat st;
  *a_pstamp = fstat(iFdNew, &st) == 0 ? StampOf(st) : OsCfgProfileStamp{};
  close(m_iFd);
  m_iFd = iFdNew;
  return OS_STS_SUCCESS;
}

OsCfgProfileStamp COsCfgProfileFile::StampOf(const struct stat& a_st) {
  return {true, a_st.st_dev, a_st.st_ino, a_st.st_size, a_st.st_mtim, a_st.st_ctim};
}

OsCfgProfileStamp COsCfgProfileFile::StampOfPath(const char* a_szPath) {
  struct stat st;
  if (stat(a_szPath, &st) != 0) return {};
  return StampOf(st);
}

bool COsCfgProfileFile::StampChanged(const OsCfgProfileStamp& a_stamp1, const OsCfgProfileStamp& a_stamp2) {
  if (a_stamp1.blPresent != a_stamp2.blPresent) return true;
  if (!a_stamp1.blPresent) return false;
  return a_stamp1.dev != a_stamp2.dev || a_stamp1.ino != a_stamp2.ino || a_stamp1.size != a_stamp2.size ||
         !SameTime(a_stamp1.tsModified, a_stamp2.tsModified) || !SameTime(a_stamp1.tsChanged, a_stamp2.tsChanged);
}

void COsCfgProfileFile::SetLockWait(long a_lMilliseconds) {
  s_lLockWait.store(a_lMilliseconds < 0 ? kDefaultLockWait : a_lMilliseconds, std::memory_order_relaxed);
}
