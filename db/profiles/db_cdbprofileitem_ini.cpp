// Converting an INI profile of an earlier driver into a profile document
// (the text is built by db_profileinitext.cpp). The source is held under
// an exclusive lock for the whole conversion, so two processes never both
// convert one file; the document is written beside its target, synced and
// renamed over it, and in place the INI text is first linked to
// "<name>.bck". Any failure answers 1 with the source untouched and no
// file of this attempt left behind.
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbprofileitem.h"
#include "db_profiledocument.h"
#include "db_profileinitext.h"
#include "os_coscfgprofile.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {

// The exclusive lock on the source is tried this often, with this pause
// between tries (at most 90 ms in all): another process converting the
// same file is done by then or the file is left for the next load.
constexpr int s_iLockTries = 10;
constexpr long s_lLockPause = 10;

// The source, open and locked for the conversion; closed (and unlocked)
// when it goes.
class LockedSource {
 public:
  ~LockedSource() {
    if (m_iFd >= 0) close(m_iFd);
  }
  EOSSTS Open(const char* a_szPath) {
    m_iFd = open(a_szPath, O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (m_iFd < 0 || fstat(m_iFd, &st) != 0 || !S_ISREG(st.st_mode)) {
      OsLog(OS_LOG_ERROR, "Failed to open profile...<%s>", a_szPath);
      return OS_STS_FAIL;
    }
    for (int i = 0; i < s_iLockTries; ++i) {
      if (i > 0) COsTime::Sleep(s_lLockPause);
      if (flock(m_iFd, LOCK_EX | LOCK_NB) == 0) return OS_STS_SUCCESS;
    }
    OsLog(OS_LOG_ERROR, "profile is being converted elsewhere...<%s>", a_szPath);
    return OS_STS_BUSY;
  }
  // Whether the path still names the file held open.
  bool IsAt(const char* a_szPath) const {
    struct stat stOpen {}, stPath {};
    return fstat(m_iFd, &stOpen) == 0 && stat(a_szPath, &stPath) == 0 && stOpen.st_dev == stPath.st_dev &&
           stOpen.st_ino == stPath.st_ino;
  }
  off_t Size() const {
    struct stat st {};
    return fstat(m_iFd, &st) == 0 ? st.st_size : -1;
  }
  bool IsXml() const {
    char ach[4];
    const ssize_t ssizet = pread(m_iFd, ach, sizeof ach, 0);
    return ssizet > 0 && dbprofile::IsXml(ach, static_cast<size_t>(ssizet));
  }

 private:
  int m_iFd = -1;
};

bool PathIsXml(const char* a_szPath) {
  const int iFd = open(a_szPath, O_RDONLY | O_CLOEXEC);
  if (iFd < 0) return false;
  char ach[4];
  const ssize_t ssizet = pread(iFd, ach, sizeof ach, 0);
  close(iFd);
  return ssizet > 0 && dbprofile::IsXml(ach, static_cast<size_t>(ssizet));
}

bool SameFile(const char* a_szA, const char* a_szB) {
  struct stat stA {}, stB {};
  return stat(a_szA, &stA) == 0 && stat(a_szB, &stB) == 0 && stA.st_dev == stB.st_dev && stA.st_ino == stB.st_ino;
}

bool ModifiedTime(const char* a_szPath, OsTimeRecord* a_ptimerecord) {
  COsFile osfile;
  if (!COsFile::Exists(a_szPath) ||
      osfile.Open(a_szPath, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READWRITE) != OS_STS_SUCCESS)
    return false;
  const bool bl = osfile.GetFileTimes(nullptr, a_ptimerecord) == OS_STS_SUCCESS;
  osfile.Close();
  return bl;
}

// A target converted before from this very source carries its time.
bool ConvertedBefore(const char* a_szSource, const char* a_szTarget) {
  OsTimeRecord timerecordSource{}, timerecordTarget{};
  return ModifiedTime(a_szSource, &timerecordSource) && ModifiedTime(a_szTarget, &timerecordTarget) &&
         COsTime::GetDifference(&timerecordSource, &timerecordTarget) == 0;
}

bool WriteAll(int a_iFd, const char* a_pc, size_t a_sizet) {
  while (a_sizet > 0) {
    const ssize_t ssizet = write(a_iFd, a_pc, a_sizet);
    if (ssizet < 0 && errno == EINTR) continue;
    if (ssizet <= 0) return false;
    a_pc += ssizet;
    a_sizet -= static_cast<size_t>(ssizet);
  }
  return true;
}

void SyncDirectory(const char* a_szFile) {
  char szDirectory[CDbProfileItem::s_sizetPath];
  COsString::SStrCpy(szDirectory, sizeof szDirectory, a_szFile);
  char* pcSlash = std::strrchr(szDirectory, '/');
  if (!pcSlash) return;
  *(pcSlash == szDirectory ? pcSlash + 1 : pcSlash) = '\0';
  const int iFd = open(szDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (iFd < 0) return;
  fsync(iFd);
  close(iFd);
}

// The document into a new temporary beside the target, with the time given
// (when there is one), synced; its name into a_szTemporary.
bool WriteDocumentBeside(const char* a_szTarget, const dbprofileini::IniText& a_initext, const OsTimeRecord* a_ptimerecord,
                    char* a_szTemporary, size_t a_sizetTemporary) {
  if (std::snprintf(a_szTemporary, a_sizetTemporary, "%s.XXXXXX", a_szTarget) >= static_cast<int>(a_sizetTemporary)) {
    a_szTemporary[0] = '\0';
    return false;
  }
  const int iFd = mkostemp(a_szTemporary, O_CLOEXEC);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "mkstemp failed...<%s> %d", a_szTemporary, errno);
    a_szTemporary[0] = '\0';
    return false;
  }
  fchmod(iFd, 0644);
  bool bl = WriteAll(iFd, a_initext.Text(), a_initext.Size());
  if (bl && a_ptimerecord) {
    COsFile osfile;
    bl = osfile.Open(a_szTemporary, OS_FILEOPEN_EXISTING, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE) ==
             OS_STS_SUCCESS &&
         osfile.SetFileTimes(a_ptimerecord, a_ptimerecord) == OS_STS_SUCCESS;
    osfile.Close();
  }
  bl = bl && fsync(iFd) == 0;
  if (close(iFd) != 0) bl = false;
  if (!bl) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", a_szTemporary);
    unlink(a_szTemporary);
    a_szTemporary[0] = '\0';
  }
  return bl;
}

// Temporaries "<target>.XXXXXX" that a conversion killed midway left: in
// place, whoever holds the source's lock is the only one converting it.
void RemoveStaleTemporaries(const char* a_szTarget) {
  char szDirectory[CDbProfileItem::s_sizetPath];
  COsString::SStrCpy(szDirectory, sizeof szDirectory, a_szTarget);
  char* pcSlash = std::strrchr(szDirectory, '/');
  if (!pcSlash || pcSlash == szDirectory) return;
  *pcSlash = '\0';
  const char* szName = pcSlash + 1;
  const size_t sizetName = std::strlen(szName);
  DIR* pdir = opendir(szDirectory);
  if (!pdir) return;
  while (const dirent* pdirent = readdir(pdir)) {
    const char* sz = pdirent->d_name;
    if (std::strlen(sz) != sizetName + 7 || std::strncmp(sz, szName, sizetName) != 0 || sz[sizetName] != '.') continue;
    bool blRandom = true;
    for (const char* pc = sz + sizetName + 1; *pc; ++pc) blRandom = blRandom && std::isalnum(static_cast<unsigned char>(*pc));
    if (!blRandom || std::strcmp(sz + sizetName, ".bck") == 0) continue;
    std::string strPath = std::string(szDirectory) + "/" + sz;
    if (unlinkat(dirfd(pdir), sz, 0) == 0) OsLog(OS_LOG_INFO, "stale temporary removed...<%s>", strPath.c_str());
  }
  closedir(pdir);
}

// In place: the INI text goes to "<source>.bck" (an older one replaced)
// before the document takes the source's name.
bool ReplaceSource(const char* a_szSource, const char* a_szTemporary) {
  char szBackup[CDbProfileItem::s_sizetPath];
  if (std::snprintf(szBackup, sizeof szBackup, "%s.bck", a_szSource) >= static_cast<int>(sizeof szBackup)) {
    OsLog(OS_LOG_ERROR, "path too long...<%s>", a_szSource);
    return false;
  }
  struct stat st {};
  const bool blHadBackup = lstat(szBackup, &st) == 0;
  if ((blHadBackup && unlink(szBackup) != 0) || link(a_szSource, szBackup) != 0) {
    OsLog(OS_LOG_ERROR, "failed to keep the INI profile...<%s> %d", szBackup, errno);
    return false;
  }
  if (rename(a_szTemporary, a_szSource) != 0) {
    OsLog(OS_LOG_ERROR, "rename failed...<%s> %d", a_szSource, errno);
    if (!blHadBackup) unlink(szBackup);
    return false;
  }
  return true;
}

const char* ModelOf(CDatabase* a_pdatabase) {
  if (!a_pdatabase) return nullptr;
  for (EDBCONFIGTARGET edbconfigtarget : {DB_CONFIGTARGET_ADF, DB_CONFIGTARGET_FLATBED})
    if (a_pdatabase->ConfigExists("model", edbconfigtarget)) return a_pdatabase->ConfigGetString("model", edbconfigtarget);
  return nullptr;
}

}  // namespace

// With a_blCheckConverted a target in another directory that carries the
// source's time was converted before and is kept. Without it the source is
// a caller's text: the document goes beside the target and its path into
// a_szResult.
EOSSTS CDbProfileItem::ConvertIni2Xml(const char* a_szSource, bool a_blCheckConverted, char* a_szResult,
                                      size_t a_sizetResult) {
  if (a_szResult && a_sizetResult) a_szResult[0] = '\0';
  const char* szName = a_szSource ? std::strrchr(a_szSource, '/') : nullptr;
  szName = szName ? szName + 1 : a_szSource;
  char szTarget[s_sizetPath];
  if (!szName || !szName[0] || !m_szOwnDirectory || !m_szOwnDirectory[0] ||
      !COsFile::PathJoin(szTarget, sizeof szTarget, m_szOwnDirectory, szName)) {
    OsLog(OS_LOG_ERROR, "no place for the converted profile...<%s>", a_szSource ? a_szSource : "");
    return OS_STS_FAIL;
  }
  bool blInPlace = std::strcmp(szTarget, a_szSource) == 0 || SameFile(szTarget, a_szSource);
  // A caller's text is never replaced: its document gets a name of its own.
  if (blInPlace && !a_blCheckConverted) {
    COsString::SStrCat(szTarget, sizeof szTarget, ".xml");
    blInPlace = false;
  }
  if (a_szResult && std::strlen(szTarget) >= a_sizetResult) {
    OsLog(OS_LOG_ERROR, "result buffer too small...<%s>", szTarget);
    return OS_STS_FAIL;
  }
  LockedSource lockedsource;
  EOSSTS eossts = lockedsource.Open(a_szSource);
  if (eossts != OS_STS_SUCCESS) return OS_STS_FAIL;
  // Another process may have converted it while this one waited.
  if (!lockedsource.IsAt(a_szSource) || lockedsource.IsXml()) {
    if (blInPlace && PathIsXml(a_szSource)) {
      OsLogDebug(OS_LOG_INFO, "profile: converted meanwhile...<%s>", a_szSource);
      return OS_STS_SUCCESS;
    }
    OsLog(OS_LOG_ERROR, "profile changed while converting...<%s>", a_szSource);
    return OS_STS_FAIL;
  }
  // The reader takes only the start of a larger file: its other settings
  // would be lost without a word.
  if (lockedsource.Size() > static_cast<off_t>(COsCfgProfile::kFileBytes)) {
    OsLog(OS_LOG_ERROR, "INI profile too large...<%s> %lld", a_szSource, static_cast<long long>(lockedsource.Size()));
    return OS_STS_FAIL;
  }
  if (a_blCheckConverted && !blInPlace && ConvertedBefore(a_szSource, szTarget)) {
    OsLogDebug(OS_LOG_INFO, "profile: converted before...<%s>", szTarget);
    return OS_STS_SUCCESS;
  }
  if (blInPlace) RemoveStaleTemporaries(szTarget);
  OsTimeRecord timerecordSource{};
  const bool blTime = !blInPlace && ModifiedTime(a_szSource, &timerecordSource);
  dbprofileini::IniText initext;
  if (!dbprofileini::BuildDocument(a_szSource, m_szVersion, ModelOf(m_pdatabase), &initext)) {
    OsLog(OS_LOG_ERROR, "ConvertIni2Xml failed...<%s>", a_szSource);
    return OS_STS_FAIL;
  }
  if (!lockedsource.IsAt(a_szSource)) {
    OsLog(OS_LOG_ERROR, "profile changed while converting...<%s>", a_szSource);
    return OS_STS_FAIL;
  }
  char szTemporary[s_sizetPath + 8];
  if (!WriteDocumentBeside(szTarget, initext, blTime ? &timerecordSource : nullptr, szTemporary, sizeof szTemporary)) {
    OsLog(OS_LOG_ERROR, "ConvertIni2Xml failed...<%s>", szTarget);
    return OS_STS_FAIL;
  }
  const bool blDone = blInPlace ? ReplaceSource(a_szSource, szTemporary) : rename(szTemporary, szTarget) == 0;
  if (!blDone) {
    if (!blInPlace) OsLog(OS_LOG_ERROR, "rename failed...<%s> %d", szTarget, errno);
    unlink(szTemporary);
    OsLog(OS_LOG_ERROR, "ConvertIni2Xml failed...<%s>", szTarget);
    return OS_STS_FAIL;
  }
  SyncDirectory(szTarget);
  OsLog(OS_LOG_INFO, "profile: converted...<%s> <%s>", a_szSource, szTarget);
  if (a_szResult) COsString::SStrCpy(a_szResult, a_sizetResult, szTarget);
  return OS_STS_SUCCESS;
}
