// Sound: a file's ".au" twin goes straight to the audio device; any other
// file is handed to a player program, run as a child with an argument
// vector and waited for up to a time-out.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

extern char** environ;

namespace {
constexpr size_t s_sizetPath = 512;
constexpr int s_iMaxArguments = 5;
constexpr long s_lDefaultTimeout = 60000;

// Copies the whole file to the audio device; a failure only ends the attempt.
void PlayAudioDevice(const char* a_szFile) {
  int iFdSound = open(a_szFile, O_RDONLY | O_CLOEXEC);
  if (iFdSound < 0) return;
  int iFdAudio = open("/dev/audio", O_WRONLY | O_CLOEXEC);
  if (iFdAudio >= 0) {
    char achBuffer[65536];
    ssize_t sRead;
    while ((sRead = read(iFdSound, achBuffer, sizeof achBuffer)) > 0) {
      int iErrno = 0;
      if (COsFileImpl::WriteAll(iFdAudio, achBuffer, static_cast<size_t>(sRead), &iErrno) !=
          static_cast<size_t>(sRead)) {
        OsLogDebug(OS_LOG_INFO, "fwrite sound failed...<%s>", a_szFile);
        break;
      }
    }
    close(iFdAudio);
  }
  close(iFdSound);
}

// The file with its extension replaced by ".au"; false when it has none.
bool AudioTwin(char* a_szTwin, size_t a_sizetTwin, const char* a_szFile) {
  const char* szName = std::strrchr(a_szFile, '/');
  szName = szName ? szName + 1 : a_szFile;
  const char* szDot = std::strrchr(szName, '.');
  if (!szDot || szDot == szName) return false;
  return COsString::SStrPrintf(a_szTwin, a_sizetTwin, "%.*s.au", static_cast<int>(szDot - a_szFile), a_szFile) >= 0;
}

// The player command: ForcePlaySound, else a player that is installed.
const char* PlayerCommand() {
  const char* szCommand = COsFileImpl::CfgText(122);  // ForcePlaySound
  if (szCommand[0]) return szCommand;
  if (COsFile::Exists("/usr/bin/esdplay")) return "$/usr/bin/esdplay$%s";
  if (COsFile::Exists("/usr/bin/aplay")) return "$/usr/bin/aplay$--quiet$%s";
  return "";
}

// Cuts the command at its first character into the program and its
// arguments (empty pieces are left out), then puts the file name in place of
// the one "%s" of a piece. The name is never read as a format, and a name
// that holds the separator stays one argument.
struct PlayerArguments {
  char aszPiece[1 + s_iMaxArguments][s_sizetPath];
  char* apszArgv[2 + s_iMaxArguments];
  int iCount;
};

EOSSTS SplitCommand(PlayerArguments* a_pplayerarguments, const char* a_szCommand, const char* a_szFile) {
  char cSeparator = a_szCommand[0];
  a_pplayerarguments->iCount = 0;
  bool blSubstituted = false;
  for (const char* szPiece = a_szCommand + 1;;) {
    const char* szEnd = std::strchr(szPiece, cSeparator);
    size_t sizetPiece = szEnd ? static_cast<size_t>(szEnd - szPiece) : std::strlen(szPiece);
    if (sizetPiece) {
      if (a_pplayerarguments->iCount > s_iMaxArguments) {
        OsLog(OS_LOG_ASSERT, "command overflow...<%s>", a_szCommand);
        return OS_STS_FAIL;
      }
      char* szDst = a_pplayerarguments->aszPiece[a_pplayerarguments->iCount];
      const char* szField = blSubstituted ? nullptr : std::strstr(szPiece, "%s");
      if (szField && szField + 2 > szPiece + sizetPiece) szField = nullptr;
      blSubstituted = blSubstituted || szField;
      int iLength = szField
                        ? COsString::SStrPrintf(szDst, s_sizetPath, "%.*s%s%.*s", static_cast<int>(szField - szPiece),
                                                szPiece, a_szFile, static_cast<int>(sizetPiece - (szField + 2 - szPiece)),
                                                szField + 2)
                        : COsString::SStrPrintf(szDst, s_sizetPath, "%.*s", static_cast<int>(sizetPiece), szPiece);
      if (iLength < 0) return OS_STS_FAIL;
      a_pplayerarguments->apszArgv[a_pplayerarguments->iCount] = szDst;
      ++a_pplayerarguments->iCount;
    }
    if (!szEnd) break;
    szPiece = szEnd + 1;
  }
  a_pplayerarguments->apszArgv[a_pplayerarguments->iCount] = nullptr;
  return OS_STS_SUCCESS;
}

// Waits for the child up to the time-out; false when it is still running.
bool WaitChild(pid_t a_pid, long a_lTimeout) {
  int iStatus = 0;
  int iPidFd = static_cast<int>(syscall(SYS_pidfd_open, a_pid, 0));
  if (iPidFd >= 0) {
    struct pollfd pollfd = {iPidFd, POLLIN, 0};
    int iReady;
    while ((iReady = poll(&pollfd, 1, static_cast<int>(a_lTimeout))) < 0 && errno == EINTR) {
    }
    close(iPidFd);
    if (iReady == 0) return false;
    return waitpid(a_pid, &iStatus, 0) == a_pid || errno == ECHILD;
  }
  // Kernels without process descriptors: look every 10 ms.
  for (long lWaited = 0;; lWaited += 10) {
    pid_t pid = waitpid(a_pid, &iStatus, WNOHANG);
    if (pid == a_pid || (pid < 0 && errno != EINTR)) return true;
    if (lWaited >= a_lTimeout) return false;
    usleep(10000);
  }
}

// Starts the player as a child and waits for it up to the time-out; a
// player still running then is stopped. The one place that will move to
// the thread service's child processes.
EOSSTS RunPlayer(char* const* a_pszArgv, long a_lTimeout) {
  struct stat st;
  if (stat(a_pszArgv[0], &st) != 0) {
    OsLog(OS_LOG_ERROR, "Spawn: file not found...<%s>", a_pszArgv[0]);
    return OS_STS_FAIL;
  }
  if (!S_ISREG(st.st_mode) || (st.st_mode & 0111) == 0) {
    OsLog(OS_LOG_ERROR, "Spawn: can't execute...<%s> 0x%x", a_pszArgv[0], static_cast<unsigned>(st.st_mode));
    return OS_STS_FAIL;
  }
  pid_t pid = 0;
  int iError = posix_spawn(&pid, a_pszArgv[0], nullptr, nullptr, a_pszArgv, environ);
  if (iError != 0) {
    OsLog(OS_LOG_ERROR, "Spawn failed...<%s> %d", a_pszArgv[0], iError);
    return OS_STS_FAIL;
  }
  if (!WaitChild(pid, a_lTimeout)) {
    OsLogDebug(OS_LOG_INFO, "Sound: time-out, stopping pid=%ld", static_cast<long>(pid));
    kill(pid, SIGKILL);
    int iStatus = 0;
    while (waitpid(pid, &iStatus, 0) < 0 && errno == EINTR) {
    }
  }
  return OS_STS_SUCCESS;
}
}  // namespace

EOSSTS COsFile::Sound(const char* a_szFile, long a_lTimeout) {
  if (!m_posfileimpl) {
    OsLog(OS_LOG_ASSERT, "m_posfileimpl is null...");
    return OS_STS_FAIL;
  }
  if (!a_szFile || !a_szFile[0]) {
    OsLog(OS_LOG_ASSERT, "a_szFile is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  char szFile[s_sizetPath] = {};
  PathSet(szFile, sizeof szFile, a_szFile);
  if (!szFile[0]) return OS_STS_BAD_ARGUMENT;
  char szTwin[s_sizetPath] = {};
  if (AudioTwin(szTwin, sizeof szTwin, szFile) && Exists(szTwin)) {
    PlayAudioDevice(szTwin);
    return OS_STS_SUCCESS;
  }
  if (!Exists(szFile)) {
    OsLogDebug(OS_LOG_INFO, "file not found...<%s>", szFile);
    return OS_STS_FILE_NOT_FOUND;
  }
  const char* szCommand = PlayerCommand();
  OsLogDebug(OS_LOG_INFO, "Sound: <%s> <%s>", szCommand, szFile);
  if (!szCommand[0]) return OS_STS_SUCCESS;
  PlayerArguments playerarguments;
  if (SplitCommand(&playerarguments, szCommand, szFile) != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (playerarguments.iCount == 0) {
    OsLog(OS_LOG_ASSERT, "no program...<%s>", szCommand);
    return OS_STS_FAIL;
  }
  return RunPlayer(playerarguments.apszArgv, a_lTimeout > 0 ? a_lTimeout : s_lDefaultTimeout);
}
