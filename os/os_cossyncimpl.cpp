// Create, open and close of sync objects; where their files live.
#include "os_cossyncimpl.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
constexpr unsigned kSectionIdentity = 1;
// The errno of an object file that is not a plain file.
constexpr int kNotPlainFile = EINVAL;
constexpr unsigned kTagRootCommonDirectory = 3;

void volatile* s_pvFallbackWord = nullptr;
char s_szFallbackDirectory[OS_SYNC_NAME_SIZE];

const char* FilePrefix(EOSSYNCTYPE a_eossynctype) {
  return a_eossynctype == OS_SYNCTYPE_MUTEX ? "mutex_" : "event_";
}

bool HasText(const char* a_szText) { return a_szText && *a_szText; }

// A name becomes part of a file name: it must not leave the directory and
// must fit the fixed-size fields.
bool IsSafeName(const char* a_szName) {
  if (!HasText(a_szName)) return true;
  return !std::strchr(a_szName, '/') && std::strlen(a_szName) < OS_SYNC_NAME_SIZE;
}

// Holds a lock on the object file while the block is being set up or its
// registry changed from outside the block's mutex: creators take it
// exclusively, openers and closers shared, so that a creator never
// initialises the block's mutex while another process is about to use it.
class CFileLock {
 public:
  CFileLock(int a_iFile, int a_iOperation) : m_iFile(a_iFile) {
    if (m_iFile < 0) return;
    while (flock(m_iFile, a_iOperation) != 0 && errno == EINTR) {
    }
  }
  ~CFileLock() {
    if (m_iFile >= 0) flock(m_iFile, LOCK_UN);
  }
  CFileLock(const CFileLock&) = delete;
  CFileLock& operator=(const CFileLock&) = delete;

 private:
  int m_iFile;
};

// Whether the open file is still the one that the path names.
bool StillLinked(int a_iFile, const char* a_szPath) {
  struct stat stFile, stPath;
  if (fstat(a_iFile, &stFile) != 0 || stat(a_szPath, &stPath) != 0) return false;
  return stFile.st_dev == stPath.st_dev && stFile.st_ino == stPath.st_ino;
}
}  // namespace

// The directory of the object files: RootCommonDirectory, or the fallback
// while the configuration has none.
bool OsSyncCommonDirectory(char* a_szDirectory, size_t a_sizetDirectory) {
  const char* szConfigured = g_poscfg ? g_poscfg->Get(kSectionIdentity, kTagRootCommonDirectory) : nullptr;
  if (HasText(szConfigured)) return COsString::SStrPrintf(a_szDirectory, a_sizetDirectory, "%s", szConfigured) >= 0;
  COsSync::SpinLock(&s_pvFallbackWord);
  int iWritten;
  if (s_szFallbackDirectory[0]) {
    iWritten = COsString::SStrPrintf(a_szDirectory, a_sizetDirectory, "%s", s_szFallbackDirectory);
  } else {
    const char* szTmp = std::getenv("TMPDIR");
    iWritten = COsString::SStrPrintf(a_szDirectory, a_sizetDirectory, "%s/scandrv-common", HasText(szTmp) ? szTmp : "/tmp");
  }
  COsSync::SpinUnlock(&s_pvFallbackWord);
  return iWritten >= 0;
}

void COsSyncImpl::SetFallbackDirectory(const char* a_szDirectory) {
  COsSync::SpinLock(&s_pvFallbackWord);
  s_szFallbackDirectory[0] = '\0';
  if (HasText(a_szDirectory)) COsString::SStrCpy(s_szFallbackDirectory, sizeof s_szFallbackDirectory, a_szDirectory);
  COsSync::SpinUnlock(&s_pvFallbackWord);
}

COsSyncImpl::COsSyncImpl() { ResetFields(); }

COsSyncImpl::~COsSyncImpl() { Close(); }

void COsSyncImpl::ResetFields() {
  m_eossyncmode = OS_SYNCMODE_UNDEFINED;
  m_eossyncstruct = OS_SYNCSTRUCT_UNDEFINED;
  m_szName[0] = '\0';
  m_szGroup[0] = '\0';
  m_u64WatchedProcessId = 0;
  m_eossynctype = OS_SYNCTYPE_UNDEFINED;
  m_blOwner = false;
  m_blNewOnly = false;
  m_szObjectPath[0] = '\0';
  m_szLinkPath[0] = '\0';
  m_iFile = -1;
  m_possyncgroup = nullptr;
  m_sizetMapped = 0;
  m_i32Object = -1;
  m_i32FlagIndex = -1;
  m_blAttributes = false;
  m_ppthreadmutex = nullptr;
  std::memset(m_ablHeld, 0, sizeof m_ablHeld);
}

bool COsSyncImpl::InitAttributes(bool a_blShared) {
  pthread_mutexattr_init(&m_pthreadmutexattr);
  pthread_condattr_init(&m_pthreadcondattr);
  m_blAttributes = true;
  // Robust: a holder that dies hands the next locker EOWNERDEAD instead of
  // blocking every user of the block for good.
  pthread_mutexattr_setrobust(&m_pthreadmutexattr, PTHREAD_MUTEX_ROBUST);
  if (!a_blShared) return true;
  int iMutex = pthread_mutexattr_setpshared(&m_pthreadmutexattr, PTHREAD_PROCESS_SHARED);
  int iCond = pthread_condattr_setpshared(&m_pthreadcondattr, PTHREAD_PROCESS_SHARED);
  if (iMutex || iCond) {
    OsLog(OS_LOG_ERROR, "sync>>> pthread_mutexattr_setpshared failed...%d %d", iMutex, iCond);
    return false;
  }
  return true;
}

bool COsSyncImpl::BuildPath(char* a_szPath, size_t a_sizetPath, const char* a_szPrefix, const char* a_szName) {
  char szDirectory[OS_SYNC_NAME_SIZE];
  if (!OsSyncCommonDirectory(szDirectory, sizeof szDirectory) ||
      COsString::SStrPrintf(a_szPath, a_sizetPath, "%s/%s%s", szDirectory, a_szPrefix, a_szName) < 0) {
    OsLog(OS_LOG_ASSERT, "sync>>> path too long...<%s%s>", a_szPrefix, a_szName);
    a_szPath[0] = '\0';
    return false;
  }
  return true;
}

EOSSTS COsSyncImpl::Create(EOSSYNCTYPE a_eossynctype, const char* a_szName, const char* a_szGroup, bool a_blFresh) {
  OsLogDebug(OS_LOG_INFO, "sync>>> Create(%s,%s,%s,%d)", OsSyncTypeWord(a_eossynctype), a_szName ? a_szName : "null",
             a_szGroup ? a_szGroup : "null", a_blFresh ? 1 : 0);
  bool blName = HasText(a_szName);
  bool blGroup = HasText(a_szGroup);
  if (blGroup && !blName) {
    OsLog(OS_LOG_ASSERT, "sync>>> cannot specify a group for an unnamed event...");
    return OS_STS_FAIL;
  }
  if (a_eossynctype == OS_SYNCTYPE_MUTEX && !blName) {
    OsLog(OS_LOG_ASSERT, "sync>>> a mutex must have a name...");
    return OS_STS_FAIL;
  }
  if (m_eossyncmode != OS_SYNCMODE_UNDEFINED) {
    OsLog(OS_LOG_ASSERT, "sync>>> this object is already in use...");
    return OS_STS_FAIL;
  }
  if (!IsSafeName(a_szName) || !IsSafeName(a_szGroup)) {
    OsLog(OS_LOG_ASSERT, "sync>>> bad name...<%s> <%s>", blName ? a_szName : "", blGroup ? a_szGroup : "");
    return OS_STS_FAIL;
  }
  m_eossyncmode = OS_SYNCMODE_CREATE;
  m_eossynctype = a_eossynctype;
  m_blOwner = false;
  COsString::SStrCpy(m_szName, sizeof m_szName, blName ? a_szName : "");
  COsString::SStrCpy(m_szGroup, sizeof m_szGroup, blGroup ? a_szGroup : "");
  m_eossyncstruct = blGroup ? OS_SYNCSTRUCT_GROUP : (blName ? OS_SYNCSTRUCT_NAMED : OS_SYNCSTRUCT_UNNAMED);
  EOSSTS eossts;
  if (!InitAttributes(blName)) {
    OsLog(OS_LOG_ERROR, "sync>>> Create failed...");
    eossts = OS_STS_FAIL;
  } else {
    eossts = blName ? CreateNamed(a_blFresh) : CreateUnnamed();
  }
  if (eossts != OS_STS_SUCCESS) {
    Close();
    return eossts == OS_STS_ALREADY_EXISTS ? eossts : OS_STS_FAIL;
  }
  m_blOwner = true;
  return OS_STS_SUCCESS;
}

EOSSTS COsSyncImpl::CreateNew(EOSSYNCTYPE a_eossynctype, const char* a_szName) {
  if (!HasText(a_szName) || m_eossyncmode != OS_SYNCMODE_UNDEFINED) {
    OsLog(OS_LOG_ASSERT, "sync>>> CreateNew needs a name and a free object...");
    return OS_STS_FAIL;
  }
  m_blNewOnly = true;
  return Create(a_eossynctype, a_szName, nullptr, false);
}

EOSSTS COsSyncImpl::InitBlockLocks() {
  OsSyncPrivate& ossyncprivate = m_possyncgroup->ossyncprivate;
  std::memset(&ossyncprivate, 0, sizeof ossyncprivate);
  if (pthread_mutex_init(&ossyncprivate.pthreadmutext.pthreadmutex, &m_pthreadmutexattr) != 0) {
    OsLog(OS_LOG_ERROR, "sync>>> pthread_mutex_init failed...");
    return OS_STS_FAIL;
  }
  if (pthread_cond_init(&ossyncprivate.pthreadcondt.pthreadcond, &m_pthreadcondattr) != 0) {
    OsLog(OS_LOG_ERROR, "sync>>> pthread_cond_init failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// Fills a new block's header and registers as its creator, under its mutex.
EOSSTS COsSyncImpl::RegisterCreator() {
  m_ppthreadmutex = &m_possyncgroup->ossyncprivate.pthreadmutext.pthreadmutex;
  if (Lock() != OS_STS_SUCCESS) return OS_STS_FAIL;
  OsSyncPublic& ossyncpublic = m_possyncgroup->ossyncpublic;
  if (ossyncpublic.u64OsSyncStruct == 0) {
    ossyncpublic.u64Size = sizeof(OsSyncGroup);
    ossyncpublic.u64OsSyncStruct = m_eossyncstruct;
  }
  EOSSTS eossts = RegisterObject(true);
  Unlock();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "sync>>> RegisterObject failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSyncImpl::CreateUnnamed() {
  m_possyncgroup = static_cast<OsSyncGroup*>(std::calloc(1, sizeof(OsSyncGroup)));
  if (!m_possyncgroup) {
    OsLog(OS_LOG_ERROR, "sync>>> calloc failed...");
    return OS_STS_FAIL;
  }
  if (InitBlockLocks() != OS_STS_SUCCESS) return OS_STS_FAIL;
  return RegisterCreator();
}

// An existing object file, never through a link nor anything but a plain
// file (errno ELOOP, or kNotPlainFile for any other kind of file).
int COsSyncImpl::OpenExisting(const char* a_szPath) {
  const int iFile = open(a_szPath, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (iFile < 0) return -1;
  struct stat st;
  if (fstat(iFile, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(iFile);
    errno = kNotPlainFile;
    return -1;
  }
  fcntl(iFile, F_SETFL, fcntl(iFile, F_GETFL) & ~O_NONBLOCK);
  return iFile;
}

// Opens the file at the path, creating it (mode 0666 whatever the creation
// mask) when it is missing.
EOSSTS COsSyncImpl::OpenFile(const char* a_szPath, bool* a_pblExisted) {
  for (int iTry = 0; iTry < 8; ++iTry) {
    m_iFile = open(a_szPath, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_iFile >= 0) {
      OsLogDebug(OS_LOG_INFO, "sync>>> creating %s", a_szPath);
      fchmod(m_iFile, 0666);
      *a_pblExisted = false;
      return OS_STS_SUCCESS;
    }
    if (errno != EEXIST) break;
    if (m_blNewOnly) {
      OsLogDebug(OS_LOG_INFO, "sync>>> the name is taken...<%s>", a_szPath);
      return OS_STS_ALREADY_EXISTS;
    }
    m_iFile = OpenExisting(a_szPath);
    if (m_iFile >= 0) {
      *a_pblExisted = true;
      return OS_STS_SUCCESS;
    }
    // Anything but a plain file at the name (a link planted in the shared
    // directory) is no object of ours: it goes, and the name is made anew.
    if (errno == ELOOP || errno == kNotPlainFile) {
      OsLog(OS_LOG_ERROR, "sync>>> not a plain file, removed...<%s>", a_szPath);
      if (unlink(a_szPath) != 0 && errno != ENOENT) break;
      continue;
    }
    if (errno != ENOENT) break;  // removed meanwhile: try again
  }
  OsLog(OS_LOG_ERROR, "sync>>> open failed...%d <%s>", errno, a_szPath);
  return OS_STS_FAIL;
}

// Maps the object file; a creator first grows a new file to the block size,
// anyone else refuses a file too short to hold a block.
EOSSTS COsSyncImpl::MapFile(bool a_blGrow) {
  struct stat st;
  if (fstat(m_iFile, &st) != 0) {
    OsLog(OS_LOG_ERROR, "sync>>> fstat failed...");
    return OS_STS_FAIL;
  }
  size_t sizetFile = static_cast<size_t>(st.st_size);
  if (sizetFile < sizeof(OsSyncGroup)) {
    if (!a_blGrow) {
      OsLog(OS_LOG_ERROR, "sync>>> file too short...%zu <%s>", sizetFile, m_szObjectPath);
      return OS_STS_FAIL;
    }
    if (ftruncate(m_iFile, sizeof(OsSyncGroup)) != 0) {
      OsLog(OS_LOG_ERROR, "sync>>> ftruncate failed...%d", errno);
      return OS_STS_FAIL;
    }
    sizetFile = sizeof(OsSyncGroup);
  }
  if (a_blGrow) {
    // A block written into holes of a full file system would kill the
    // process with SIGBUS: its blocks are reserved first (also those of a
    // file whose creator died before it could reserve them).
    sizetFile = sizeof(OsSyncGroup);
    if (COsFile::Reserve(m_iFile, static_cast<int64_t>(sizetFile), m_szObjectPath) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "sync>>> no room for the block...<%s>", m_szObjectPath);
      return OS_STS_FAIL;
    }
  }
  void* pvBlock = mmap(nullptr, sizetFile, PROT_READ | PROT_WRITE, MAP_SHARED, m_iFile, 0);
  if (pvBlock == MAP_FAILED) {
    OsLog(OS_LOG_ERROR, "sync>>> mmap failed...");
    return OS_STS_FAIL;
  }
  m_possyncgroup = static_cast<OsSyncGroup*>(pvBlock);
  m_sizetMapped = sizetFile;
  m_ppthreadmutex = &m_possyncgroup->ossyncprivate.pthreadmutext.pthreadmutex;
  return OS_STS_SUCCESS;
}

// Registers as an opener of the flag of our name in the mapped block that a
// live object made (file lock held by the caller).
EOSSTS COsSyncImpl::JoinExisting() {
  if (Lock() != OS_STS_SUCCESS) return OS_STS_FAIL;
  EOSSTS eossts = RegisterObject(false);
  Unlock();
  return eossts == OS_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// Makes (or joins) the object file of a named object or a group.
EOSSTS COsSyncImpl::CreateNamed(bool a_blFresh) {
  char szDirectory[OS_SYNC_NAME_SIZE];
  bool blGroup = m_eossyncstruct == OS_SYNCSTRUCT_GROUP;
  if (!OsSyncCommonDirectory(szDirectory, sizeof szDirectory) ||
      !BuildPath(m_szObjectPath, sizeof m_szObjectPath, blGroup ? "group_" : FilePrefix(m_eossynctype),
                 blGroup ? m_szGroup : m_szName)) {
    OsLog(OS_LOG_ERROR, "sync>>> Create failed...");
    return OS_STS_FAIL;
  }
  COsFile::Create(szDirectory);
  if (a_blFresh && !blGroup) unlink(m_szObjectPath);
  bool blExisted = false;
  for (int iTry = 0;; ++iTry) {
    const EOSSTS eosstsOpen = OpenFile(m_szObjectPath, &blExisted);
    if (eosstsOpen == OS_STS_ALREADY_EXISTS) return eosstsOpen;
    if (eosstsOpen != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "sync>>> Create failed...");
      return OS_STS_FAIL;
    }
    CFileLock cfilelock(m_iFile, LOCK_EX);
    // A closing owner may have removed the file between our open and our
    // lock: then start over on the file that the path names now.
    if (!StillLinked(m_iFile, m_szObjectPath) && iTry < 8) {
      close(m_iFile);
      m_iFile = -1;
      continue;
    }
    if (MapFile(true) != OS_STS_SUCCESS) {
      // A name this call made and could not fill goes again.
      if (!blExisted) unlink(m_szObjectPath);
      OsLog(OS_LOG_ERROR, "sync>>> Create failed...");
      return OS_STS_FAIL;
    }
    const bool blAlive = RemoveStaleObjectsAndFlags(true);
    if (blExisted && !blGroup && blAlive) return JoinExisting();
    // Nobody alive uses the block (also the file of a creator that was
    // killed, which would block its name for good): its mutex and condition
    // may have been left in any state, so they are made anew, and the
    // registration clears the dead slots and flags.
    if (!blAlive && InitBlockLocks() != OS_STS_SUCCESS) return OS_STS_FAIL;
    if (RegisterCreator() != OS_STS_SUCCESS) return OS_STS_FAIL;
    break;
  }
  if (blGroup && LinkMember() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "sync>>> CreateGnuLink failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// A group member's own name is a hard link to the group file, so openers
// find the group by the member's name.
EOSSTS COsSyncImpl::LinkMember() {
  if (!BuildPath(m_szLinkPath, sizeof m_szLinkPath, FilePrefix(m_eossynctype), m_szName)) return OS_STS_FAIL;
  unlink(m_szLinkPath);
  OsLogDebug(OS_LOG_INFO, "sync>>> linking <%s> to <%s>", m_szLinkPath, m_szObjectPath);
  if (link(m_szObjectPath, m_szLinkPath) != 0) {
    OsLog(OS_LOG_ERROR, "sync>>> link failed...<%s> <%s>", m_szObjectPath, m_szLinkPath);
    m_szLinkPath[0] = '\0';
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSyncImpl::Open(EOSSYNCTYPE a_eossynctype, const char* a_szName) {
  OsLogDebug(OS_LOG_INFO, "sync>>> Open(%s,%s)", OsSyncTypeWord(a_eossynctype), a_szName ? a_szName : "null");
  if (!HasText(a_szName)) {
    OsLog(OS_LOG_ASSERT, "sync>>> a_szName is null or empty...");
    return OS_STS_FAIL;
  }
  if (m_eossyncmode != OS_SYNCMODE_UNDEFINED) {
    OsLog(OS_LOG_ASSERT, "sync>>> this object is already in use...");
    return OS_STS_FAIL;
  }
  if (!IsSafeName(a_szName)) {
    OsLog(OS_LOG_ASSERT, "sync>>> bad name...<%s> <%s>", a_szName, "");
    return OS_STS_FAIL;
  }
  m_eossyncmode = OS_SYNCMODE_OPEN;
  m_eossynctype = a_eossynctype;
  m_eossyncstruct = OS_SYNCSTRUCT_NAMED;
  m_blOwner = false;
  COsString::SStrCpy(m_szName, sizeof m_szName, a_szName);
  EOSSTS eossts = OpenNamed();
  if (eossts != OS_STS_SUCCESS) {
    Close();
    OsLog(OS_LOG_ERROR, "sync>>> Open failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsSyncImpl::OpenNamed() {
  // For a group member the name is the link to the group file.
  if (!BuildPath(m_szObjectPath, sizeof m_szObjectPath, FilePrefix(m_eossynctype), m_szName)) return OS_STS_FAIL;
  OsLogDebug(OS_LOG_INFO, "sync>>> opening %s", m_szObjectPath);
  m_iFile = OpenExisting(m_szObjectPath);
  if (m_iFile < 0) {
    OsLog(OS_LOG_ERROR, "sync>>> fopen failed...<%s>", m_szObjectPath);
    return OS_STS_FAIL;
  }
  CFileLock cfilelock(m_iFile, LOCK_SH);
  if (MapFile(false) != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (Lock() != OS_STS_SUCCESS) return OS_STS_FAIL;
  EOSSTS eossts = RegisterObject(false);
  Unlock();
  return eossts == OS_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}

// Gives back this object's slot (with the block's mutex held): drops its
// reference on the flag, clearing the flag with the last one; tells whether
// any creating object is left in the block.
void COsSyncImpl::Unregister(bool* a_pblNoCreatorLeft) {
  RemoveStaleObjectsAndFlags(false);
  OsSyncPublic& ossyncpublic = m_possyncgroup->ossyncpublic;
  OsSyncObject& ossyncobject = ossyncpublic.aossyncobject[m_i32Object];
  // The clean-up may have given our slot to someone else after our
  // registering thread ended: then there is nothing of ours left in it.
  if (ossyncobject.u64Object == reinterpret_cast<uint64_t>(this) && ossyncobject.u64Pid == static_cast<uint64_t>(getpid())) {
    FreeMutexesOfSlot(m_i32Object);
    OsSyncFlag& ossyncflag = ossyncpublic.aossyncflag[ossyncobject.u64FlagIndex % OS_SYNC_FLAG_COUNT];
    if (ossyncflag.u64ReferenceCount > 0) ossyncflag.u64ReferenceCount -= 1;
    if (ossyncflag.u64ReferenceCount == 0) std::memset(static_cast<void*>(&ossyncflag), 0, sizeof ossyncflag);
    std::memset(static_cast<void*>(&ossyncobject), 0, sizeof ossyncobject);
  }
  m_i32Object = -1;
  bool blNoCreator = true;
  for (const OsSyncObject& ossyncobjectOther : ossyncpublic.aossyncobject) {
    if (ossyncobjectOther.u64OsSyncMode == OS_SYNCMODE_CREATE) blNoCreator = false;
  }
  *a_pblNoCreatorLeft = blNoCreator;
}

// An owner's names go with its close. A group file stays while other
// members still use it, so a member created later joins the same block.
// A group's name goes with its last creating member: openers found the
// block by the members' names, which their creators took away already.
void COsSyncImpl::RemoveFiles(bool a_blNoCreatorLeft) {
  if (m_szLinkPath[0]) unlink(m_szLinkPath);
  if (m_szObjectPath[0] && (m_eossyncstruct != OS_SYNCSTRUCT_GROUP || a_blNoCreatorLeft)) unlink(m_szObjectPath);
}

void COsSyncImpl::RemoveEventNames(const char* a_szGroup, const char* const* a_aszNames, size_t a_sizetNames) {
  auto remove = [](const char* a_szPrefix, const char* a_szName) {
    char szPath[OS_SYNC_NAME_SIZE * 2];
    struct stat st;
    if (IsSafeName(a_szName) && HasText(a_szName) && BuildPath(szPath, sizeof szPath, a_szPrefix, a_szName) &&
        lstat(szPath, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid()) {
      unlink(szPath);
    }
  };
  for (size_t sizet = 0; sizet < a_sizetNames; ++sizet) remove(FilePrefix(OS_SYNCTYPE_EVENT), a_aszNames[sizet]);
  remove("group_", a_szGroup);
}

void COsSyncImpl::Close() {
  if (m_possyncgroup) {
    OsLogDebug(OS_LOG_INFO, "sync>>> Close...%p (%s) (%s)", static_cast<void*>(this), m_szObjectPath, m_szLinkPath);
  }
  bool blNoCreatorLeft = false;
  bool blRemoved = false;
  if (m_possyncgroup && m_i32Object >= 0) {
    CFileLock cfilelock(m_iFile, LOCK_SH);
    if (Lock() == OS_STS_SUCCESS) {
      bool blReleased = ReleaseHeldMutexes();
      Unregister(&blNoCreatorLeft);
      Unlock();
      if (blReleased) Broadcast();
    }
    // Still under the file lock, so no new creator of the name is between
    // its open and its lock.
    if (m_blOwner) RemoveFiles(blNoCreatorLeft);
    blRemoved = true;
  }
  if (m_possyncgroup) {
    if (m_sizetMapped) {
      munmap(m_possyncgroup, m_sizetMapped);
    } else {
      pthread_cond_destroy(&m_possyncgroup->ossyncprivate.pthreadcondt.pthreadcond);
      pthread_mutex_destroy(&m_possyncgroup->ossyncprivate.pthreadmutext.pthreadmutex);
      std::free(m_possyncgroup);
    }
  }
  if (m_iFile >= 0) close(m_iFile);
  // The names disappear even while other processes still use the block.
  if (m_blOwner && !blRemoved) RemoveFiles(false);
  if (m_blAttributes) {
    pthread_mutexattr_destroy(&m_pthreadmutexattr);
    pthread_condattr_destroy(&m_pthreadcondattr);
  }
  ResetFields();
  errno = 0;
}
