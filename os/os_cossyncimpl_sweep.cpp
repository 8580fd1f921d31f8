// Event files that no live process uses any more. A killed process never
// runs its close, and a name that carries a time (the driver's event of
// each open) is never met again, so nobody else would remove its file.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "os_coslog.h"
#include "os_cossyncimpl.h"

namespace {
constexpr char kEventPrefix[] = "event_";
}  // namespace

// Under the file's lock, taken without waiting: a creator holds it from its
// open to its registration, so a file being made is never judged. A file
// too short for a block, or one whose registered users are all gone, goes.
bool COsSyncImpl::IsStaleFile(int a_iDirFd, const char* a_szName) {
  m_iFile = openat(a_iDirFd, a_szName, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (m_iFile < 0) return false;
  struct stat st;
  if (fstat(m_iFile, &st) != 0 || !S_ISREG(st.st_mode) || flock(m_iFile, LOCK_EX | LOCK_NB) != 0) return false;
  struct stat stName;
  if (fstatat(a_iDirFd, a_szName, &stName, AT_SYMLINK_NOFOLLOW) != 0 || stName.st_ino != st.st_ino ||
      stName.st_dev != st.st_dev) {
    return false;
  }
  if (static_cast<size_t>(st.st_size) < sizeof(OsSyncGroup)) return true;
  void* pvBlock = mmap(nullptr, sizeof(OsSyncGroup), PROT_READ | PROT_WRITE, MAP_SHARED, m_iFile, 0);
  if (pvBlock == MAP_FAILED) return false;
  m_possyncgroup = static_cast<OsSyncGroup*>(pvBlock);
  m_sizetMapped = sizeof(OsSyncGroup);
  return !RemoveStaleObjectsAndFlags(true);
}

void COsSyncImpl::RemoveStaleEvents() {
  char szDirectory[OS_SYNC_NAME_SIZE];
  if (!OsSyncCommonDirectory(szDirectory, sizeof szDirectory)) return;
  const int iDirFd = open(szDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* pdir = iDirFd < 0 ? nullptr : fdopendir(iDirFd);
  if (!pdir) {
    if (iDirFd >= 0) close(iDirFd);
    return;
  }
  long lRemoved = 0;
  while (const struct dirent* pdirent = readdir(pdir)) {
    if (std::strncmp(pdirent->d_name, kEventPrefix, sizeof kEventPrefix - 1) != 0) continue;
    COsSyncImpl ossyncimpl;
    // Removed while its lock is still held: no creator is between its open
    // and its lock (one that comes later finds the name gone and starts over).
    if (ossyncimpl.IsStaleFile(iDirFd, pdirent->d_name) && unlinkat(iDirFd, pdirent->d_name, 0) == 0) {
      OsLogDebug(OS_LOG_INFO, "sync>>> removed the event of ended processes...<%s>", pdirent->d_name);
      ++lRemoved;
    }
    ossyncimpl.Close();
  }
  closedir(pdir);
  if (lRemoved) OsLog(OS_LOG_INFO, "sync>>> %ld events of ended processes removed...<%s>", lRemoved, szDirectory);
}
