// Names of the local transports' files and queues: generated on the creating
// side (a letter for the slot's direction, the time, the tag and the
// process id), taken from the published port on the connecting side.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossocketimpl.h"
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
  if (blShared && blMade && a_blCreate) MakeRingDirectory(szDirectory);
  return OS_STS_SUCCESS;
}
