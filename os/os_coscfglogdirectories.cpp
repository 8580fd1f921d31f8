// Per-run log directories "log.<time>": the current one is marked in use by
// holding its "log.lock" open; older ones beside it are pruned so that the
// newest few stay. A directory whose "log.lock" another process holds is
// never removed, nor is anything reached through a symbolic link.
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <new>

#include "os_coscfgimpl.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

constexpr size_t kNameSize = 512;
constexpr long kNameSlots = 16;      // names the work area holds at least
constexpr long kMostKept = 1024;     // a larger LogBackup prunes nothing
constexpr int64_t kMinimumAgeMs = 10000;  // younger ones may still be starting

void Parent(char* a_szPath) {
  char* szSlash = std::strrchr(a_szPath, '/');
  if (szSlash) szSlash[szSlash == a_szPath ? 1 : 0] = '\0';
}

// A real directory (a link is never one) last changed long enough ago.
bool IsOldDirectory(const char* a_szPath) {
  struct stat st;
  if (lstat(a_szPath, &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  struct timespec timespecNow;
  clock_gettime(CLOCK_REALTIME, &timespecNow);
  int64_t i64AgeMs = (static_cast<int64_t>(timespecNow.tv_sec) - st.st_mtim.tv_sec) * 1000 +
                     (timespecNow.tv_nsec - st.st_mtim.tv_nsec) / 1000000;
  return i64AgeMs >= kMinimumAgeMs;
}

// Whether another process holds the directory's "log.lock". Only a regular
// file is opened: a link there could name any file.
bool IsInUse(const char* a_szDirectory) {
  char szLock[kNameSize];
  struct stat st;
  if (!COsFile::PathJoin(szLock, sizeof szLock, a_szDirectory, "log.lock") || lstat(szLock, &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  COsFile osfile;
  EOSSTS eossts = osfile.Open(szLock, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_EXCLUSIVE);
  osfile.Close();
  return eossts == OS_STS_IN_USE;
}

// The newest names seen, in descending order, at most a_lSlots of them.
class COsLogNames {
 public:
  COsLogNames(char* a_szArea, long a_lSlots) : m_szArea(a_szArea), m_lSlots(a_lSlots) {}
  void Offer(const char* a_szName) {
    if (m_lSlots == 0 || std::strlen(a_szName) >= kNameSize) return;
    if (m_lCount == m_lSlots && std::strcmp(a_szName, Name(m_lCount - 1)) <= 0) return;
    long lAt = std::min(m_lCount, m_lSlots - 1);
    while (lAt > 0 && std::strcmp(a_szName, Name(lAt - 1)) > 0) {
      std::memcpy(Name(lAt), Name(lAt - 1), kNameSize);
      --lAt;
    }
    COsString::SStrCpy(Name(lAt), kNameSize, a_szName);
    if (m_lCount < m_lSlots) ++m_lCount;
  }
  bool Holds(const char* a_szName) const {
    for (long l = 0; l < m_lCount; ++l) {
      if (std::strcmp(Name(l), a_szName) == 0) return true;
    }
    return false;
  }

 private:
  char* Name(long a_lIndex) const { return m_szArea + a_lIndex * kNameSize; }
  char* m_szArea;
  long m_lSlots;
  long m_lCount = 0;
};

}  // namespace

void COsCfgImpl::ManageLogDirectories() {
  // The current directory is in use for as long as the store lives.
  char szLock[kNameSize];
  if (!m_posfileLogLock) m_posfileLogLock = new (std::nothrow) COsFile;
  if (m_posfileLogLock && !m_posfileLogLock->IsOpen() && COsFile::PathJoin(szLock, sizeof szLock, m_szLogDirectory, "log.lock") &&
      m_posfileLogLock->Open(szLock, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_READWRITE, OS_FILESHARE_EXCLUSIVE) !=
          OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "log.lock could not be held...<%s>", szLock);
  }

  long lBackup = std::strtol(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGBACKUP), nullptr, 0);
  if (lBackup == -1) return;
  bool blDebug = std::strtol(Get(OS_CFGSECTION_MAIN, OS_CFGTAG_DEBUG), nullptr, 0) != 0 ||
                 (g_poslog && g_poslog->GetDebugLevel() != 0);
  long lKept = lBackup <= 0 ? 0 : lBackup + (blDebug ? 2 : 0);
  if (lKept > kMostKept) {
    OsLog(OS_LOG_ASSERT, "LogBackup too large, nothing pruned...%ld", lBackup);
    return;
  }

  // The search directory and the kept names in one tracked work area.
  long lSlots = std::max(lKept, kNameSlots);
  char* szArea = static_cast<char*>(OsMemAlloc(static_cast<size_t>(lSlots + 2) * kNameSize));
  if (!szArea) {
    OsLog(OS_LOG_ASSERT, "OsMemAlloc failed...");
    return;
  }
  char* szSearch = szArea + lSlots * kNameSize;
  char* szPattern = szSearch + kNameSize;
  COsString::SStrCpy(szSearch, kNameSize, m_szLogDirectory);
  Parent(szSearch);
  const char* szSlash = std::strrchr(szSearch, '/');
  if (std::strstr(szSlash ? szSlash + 1 : szSearch, "log.")) Parent(szSearch);

  if (*m_szLogDirectory && COsFile::PathJoin(szPattern, kNameSize, szSearch, "log.*")) {
    COsLogNames oslognames(szArea, lKept);
    OsFileInfo osfileinfo;
    for (EOSSTS eossts = COsFile::FindFirst(szPattern, &osfileinfo); eossts == OS_STS_SUCCESS;
         eossts = COsFile::FindNext(&osfileinfo)) {
      if (std::strcmp(osfileinfo.szPath, m_szLogDirectory) != 0 && IsOldDirectory(osfileinfo.szPath)) {
        oslognames.Offer(osfileinfo.szName);
      }
    }
    COsFile::FindClose(&osfileinfo);
    for (EOSSTS eossts = COsFile::FindFirst(szPattern, &osfileinfo); eossts == OS_STS_SUCCESS;
         eossts = COsFile::FindNext(&osfileinfo)) {
      if (std::strcmp(osfileinfo.szPath, m_szLogDirectory) == 0 || oslognames.Holds(osfileinfo.szName) ||
          !IsOldDirectory(osfileinfo.szPath)) {
        continue;
      }
      if (IsInUse(osfileinfo.szPath)) {
        OsLogDebug(OS_LOG_INFO, "log directory in use, kept...<%s>", osfileinfo.szPath);
        continue;
      }
      OsLogDebug(OS_LOG_INFO, "removing old log directory...<%s>", osfileinfo.szPath);
      COsFile::Delete(osfileinfo.szPath, OS_FILETYPE_DIRECTORY, true);
    }
    COsFile::FindClose(&osfileinfo);
  }
  OsMemFree(szArea);
}
