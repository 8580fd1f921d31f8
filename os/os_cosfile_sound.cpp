// Sound: a file's ".au" twin goes straight to the audio device; any other
// file is handed to a player program, run as a child of the sound thread
// with an argument vector and waited for up to a time-out.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <new>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costhread.h"

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
  const char* szCommand = COsFileImpl::CfgText(OS_CFGTAG_FORCEPLAYSOUND);
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
  char* apszArgv[2 + s_iMaxArguments];  // null after the last
  int iCount;
};

EOSSTS SplitCommand(PlayerArguments* a_pplayerarguments, const char* a_szCommand, const char* a_szFile) {
  char cSeparator = a_szCommand[0];
  a_pplayerarguments->iCount = 0;
  for (char*& pszArg : a_pplayerarguments->apszArgv) pszArg = nullptr;
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
  COsThread* posthread = m_posfileimpl->SoundThread();
  if (!posthread) return OS_STS_FAIL;
  char** apszArgv = playerarguments.apszArgv;
  if (posthread->Spawn(0, apszArgv[0], apszArgv[0], apszArgv[1], apszArgv[2], apszArgv[3], apszArgv[4], apszArgv[5],
                       nullptr) != OS_STS_SUCCESS) {
    return OS_STS_FAIL;
  }
  if (posthread->SpawnWait(a_lTimeout > 0 ? a_lTimeout : s_lDefaultTimeout) == OS_STS_TIMEOUT) {
    OsLogDebug(OS_LOG_INFO, "Sound: time-out, stopping the player...<%s>", apszArgv[0]);
    posthread->SpawnStop();
  }
  return OS_STS_SUCCESS;
}

COsThread* COsFileImpl::SoundThread() {
  if (m_posthreadSound) return m_posthreadSound;
  m_posthreadSound = new (std::nothrow) COsThread();
  if (!m_posthreadSound) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
    return nullptr;
  }
  OsLogDebug(OS_LOG_INFO, "mem>>> addr:%p  size:%7d  new %s", static_cast<void*>(m_posthreadSound),
             static_cast<int>(sizeof(COsThread)), "COsThread");
  return m_posthreadSound;
}
