// Names of the local transports' files and queues: generated on the creating
// side (a letter for the slot's direction, the time, the tag and the
// process id), taken from the published port on the connecting side.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossocketimpl.h"
#include "os_cossyncimpl.h"
#include "os_costime.h"

namespace {
// Given, not empty and not "0".
bool IsGiven(const char* a_szText) { return a_szText && *a_szText && std::strcmp(a_szText, "0") != 0; }

// LogDirectory plus the kind word; before the configuration exists, the
// temporary directory stands in for the log directory.
bool DefaultDirectory(char* a_szDirectory, size_t a_sizetDirectory, const char* a_szKind) {
  const char* szLog = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY) : "";
  char szTemp[OS_SOCKET_NAME_SIZE] = "";
  if (!*szLog && COsFile::GetTempDir(szTemp, sizeof szTemp) == OS_STS_SUCCESS) szLog = szTemp;
  return COsFile::PathJoin(a_szDirectory, a_sizetDirectory, szLog, a_szKind);
}

// The process id in a ring name this code generates for the tag ("r" or
// "w", 17 digits of time, the tag, "_pid", the id, ".socket"); 0 for any
// other name.
unsigned long long RingOwner(const char* a_szName, const char* a_szTag) {
  static const char s_szExtension[] = ".socket";
  const size_t sizetTag = std::strlen(a_szTag), sizetName = std::strlen(a_szName);
  if (sizetName < 1 + 17 + sizetTag + 4 + 1 + sizeof s_szExtension - 1 || (a_szName[0] != 'r' && a_szName[0] != 'w') ||
      std::strspn(a_szName + 1, "0123456789") != 17 || std::strncmp(a_szName + 18, a_szTag, sizetTag) != 0 ||
      std::strncmp(a_szName + 18 + sizetTag, "_pid", 4) != 0 ||
      std::strcmp(a_szName + sizetName - (sizeof s_szExtension - 1), s_szExtension) != 0) {
    return 0;
  }
  const char* szDigits = a_szName + 18 + sizetTag + 4;
  const size_t sizetDigits = sizetName - (sizeof s_szExtension - 1) - static_cast<size_t>(szDigits - a_szName);
  if (sizetDigits == 0 || sizetDigits > 19 || std::strspn(szDigits, "0123456789") != sizetDigits) return 0;
  return std::strtoull(szDigits, nullptr, 10);
}

// The rings of a creator that is gone stay behind: a clean close leaves the
// ring files (their name belongs to the owner), a killed creator its events
// too, about ten files a channel. The next creator of the tag removes those
// of its user whose process no longer runs, so they do not pile up.
void RemoveRingsOfGone(const char* a_szDirectory, const char* a_szTag) {
  DIR* pdir = opendir(a_szDirectory);
  if (!pdir) return;
  const int iDirFd = dirfd(pdir);
  while (struct dirent* pdirent = readdir(pdir)) {
    const unsigned long long ullPid = RingOwner(pdirent->d_name, a_szTag);
    struct stat st;
    if (ullPid == 0 || ullPid == static_cast<unsigned long long>(getpid()) || ullPid > INT32_MAX ||
        kill(static_cast<pid_t>(ullPid), 0) == 0 || errno != ESRCH ||
        fstatat(iDirFd, pdirent->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != geteuid()) {
      continue;
    }
    OsLogDebug(OS_LOG_INFO, "removing the rings of a process that is gone...<%s>", pdirent->d_name);
    unlinkat(iDirFd, pdirent->d_name, 0);
    // The events are named after the ring's file without its extension.
    std::string strBase(pdirent->d_name, std::strlen(pdirent->d_name) - std::strlen(".socket"));
    const std::string astrEvents[] = {strBase + "EventOkToRead", strBase + "EventOkToWrite", strBase + "EventCancel"};
    const char* const aszEvents[] = {astrEvents[0].c_str(), astrEvents[1].c_str(), astrEvents[2].c_str()};
    COsSyncImpl::RemoveEventNames(strBase.c_str(), aszEvents, 3);
  }
  closedir(pdir);
}

// Directories are made open to every user; in ours, as in /tmp, nobody may
// remove or replace another's ring.
void MakeRingDirectory(const char* a_szDirectory) {
  COsFile::Create(a_szDirectory);
  struct stat st;
  if (stat(a_szDirectory, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & S_IWOTH) &&
      !(st.st_mode & S_ISVTX))
    chmod(a_szDirectory, (st.st_mode & 07777) | S_ISVTX);
}
}  // namespace

EOSSTS COsSocketImpl::SetSharedFilename(const char* a_szAddress, const char* a_szPort, EOSSOCKETTYPE a_eossockettype,
                                        const char* a_szTag, bool a_blCreate) {
  const bool blShared = a_eossockettype <= OS_SOCKETTYPE_SHAREDMEMORY_READWRITE;
  const int iRead = blShared ? OS_SOCKETTYPE_SHAREDMEMORY_READONLY : OS_SOCKETTYPE_MESSAGEQUEUE_READONLY;
  const int iWrite = iRead + 1;
  const bool blPair = a_eossockettype == iRead + 2;
  const char* szKind = blShared ? "socket" : "messagequeue";
  const char* szTag = a_szTag ? a_szTag : "";
  // A pair with an address names both files in the port, as published.
  if (blPair && IsGiven(a_szAddress)) {
    const char* szSemicolon = a_szPort ? std::strchr(a_szPort, ';') : nullptr;
    size_t sizetFirst = szSemicolon ? static_cast<size_t>(szSemicolon - a_szPort) : 0;
    if (!szSemicolon || sizetFirst >= OS_SOCKET_NAME_SIZE || std::strlen(szSemicolon + 1) >= OS_SOCKET_NAME_SIZE) {
      OsLog(OS_LOG_ERROR, "badly constructed name...<%s>", a_szPort ? a_szPort : "");
      return OS_STS_FAIL;
    }
    // The creator's write file is the connecting side's read slot.
    COsString::SStrPrintf(m_aszFilename[a_blCreate ? iRead : iWrite], OS_SOCKET_NAME_SIZE, "%.*s",
                          static_cast<int>(sizetFirst), a_szPort);
    COsString::SStrCpy(m_aszFilename[a_blCreate ? iWrite : iRead], OS_SOCKET_NAME_SIZE, szSemicolon + 1);
    return OS_STS_SUCCESS;
  }
  if (std::strchr(szTag, '/')) {
    OsLog(OS_LOG_ERROR, "badly constructed name...<%s>", szTag);
    return OS_STS_FAIL;
  }
  char szDirectory[OS_SOCKET_NAME_SIZE] = "";
  bool blDirectory = !blPair && IsGiven(a_szAddress)
                         ? COsString::SStrPrintf(szDirectory, sizeof szDirectory, "%s", a_szAddress) >= 0
                         : DefaultDirectory(szDirectory, sizeof szDirectory, szKind);
  OsTimeRecord ostimerecord;
  char szTime[20] = "";
  COsTime::GetLocalTime(&ostimerecord);
  COsTime::GetStringTime(&ostimerecord, szTime, sizeof szTime);
  bool blMade = false;
  for (int iSlot : {iRead, iWrite}) {
    if (!blPair && iSlot != a_eossockettype) continue;
    char* szPath = m_aszFilename[iSlot];
    bool blFits;
    if (!blPair && IsGiven(a_szPort) && std::strchr(a_szPort, '/')) {
      // A path of its own: the directory plays no part.
      blFits = COsString::SStrPrintf(szPath, OS_SOCKET_NAME_SIZE, "%s", a_szPort) >= 0;
    } else if (!blPair && IsGiven(a_szPort)) {
      blFits = blDirectory && COsFile::PathJoin(szPath, OS_SOCKET_NAME_SIZE, szDirectory, a_szPort);
      blMade = true;
    } else {
      char szName[OS_SOCKET_NAME_SIZE];
      blFits = COsString::SStrPrintf(szName, sizeof szName, "%c%s%s_pid%llu.%s", iSlot == iRead ? 'r' : 'w', szTime,
                                     szTag, static_cast<unsigned long long>(getpid()), szKind) >= 0 &&
               blDirectory && COsFile::PathJoin(szPath, OS_SOCKET_NAME_SIZE, szDirectory, szName);
      blMade = true;
    }
    if (!blFits) {
      szPath[0] = '\0';
      OsLog(OS_LOG_ERROR, "badly constructed name...<%s> <%s>", szDirectory, a_szPort ? a_szPort : "");
      return OS_STS_FAIL;
    }
  }
  // A creator's rings need their directory; a queue lives in the system.
  if (blShared && blMade && a_blCreate) {
    MakeRingDirectory(szDirectory);
    RemoveRingsOfGone(szDirectory, szTag);
  }
  return OS_STS_SUCCESS;
}
