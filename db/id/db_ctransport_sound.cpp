// The multifeed sound: a sound file kept in the user's sound directory (the
// user's profile directory and "sounds"). A value names the file by a bare
// name (looked up there) or by a path, wildcards allowed in its last part;
// a file found elsewhere is copied in, and the value becomes the copy.
//
// Paths are built whole in 512-byte buffers or not at all: a cut path would
// name another file. A copy is written beside its place and renamed over
// it, so that a failed copy leaves the earlier one, and another driver
// process never reads half a file.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbstring.h"
#include "db_ctransport_rows.h"
#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace transport {
namespace {

constexpr size_t s_sizetPath = 512;
constexpr char s_szSounds[] = "sounds";

struct Path {
  char sz[s_sizetPath] = {};
};

// The user's sound directory; false (logged) without a user directory.
bool SoundDirectory(Path& a_pathDirectory) {
  CDatabase* pdatabase = CRuleKit::Database();
  const char* szUser = pdatabase ? pdatabase->ProfileGetUserProfileDirectory() : nullptr;
  if (!szUser || !*szUser) {
    OsLog(OS_LOG_ERROR, "no sound directory...");
    return false;
  }
  if (!COsFile::PathJoin(a_pathDirectory.sz, sizeof a_pathDirectory.sz, szUser, s_szSounds)) {
    OsLog(OS_LOG_ERROR, "no sound directory, the path does not fit...<%s>", szUser);
    return false;
  }
  return true;
}

bool HasDirectory(const char* a_szValue) { return std::strchr(a_szValue, '/') != nullptr; }

const char* NameOf(const char* a_szValue) {
  const char* szSlash = std::strrchr(a_szValue, '/');
  return szSlash ? szSlash + 1 : a_szValue;
}

bool Join(Path& a_path, const char* a_szDirectory, const char* a_szName) {
  if (COsFile::PathJoin(a_path.sz, sizeof a_path.sz, a_szDirectory, a_szName)) return true;
  OsLog(OS_LOG_ERROR, "sound path does not fit...<%s> <%s>", a_szDirectory, a_szName);
  return false;
}

// Where a value is looked for: as given with a directory part, else in the
// sound directory.
bool SearchPath(const char* a_szValue, const Path* a_ppathDirectory, Path& a_pathSearch) {
  if (HasDirectory(a_szValue)) {
    if (std::strlen(a_szValue) < sizeof a_pathSearch.sz) {
      COsString::SStrCpy(a_pathSearch.sz, sizeof a_pathSearch.sz, a_szValue);
      return true;
    }
    OsLog(OS_LOG_ERROR, "sound path does not fit...<%s>", a_szValue);
    return false;
  }
  return a_ppathDirectory && Join(a_pathSearch, a_ppathDirectory->sz, a_szValue);
}

// The first entry the search finds, when it is a regular file with content.
class SoundSearch {
 public:
  explicit SoundSearch(const char* a_szPath)
      : m_blFound(COsFile::FindFirst(a_szPath, &m_osfileinfo) == OS_STS_SUCCESS) {}
  ~SoundSearch() { COsFile::FindClose(&m_osfileinfo); }
  SoundSearch(const SoundSearch&) = delete;
  SoundSearch& operator=(const SoundSearch&) = delete;

  bool IsUsable() const {
    return m_blFound && m_osfileinfo.eosfiletype == OS_FILETYPE_FILE && m_osfileinfo.u64Size > 0;
  }
  const OsFileInfo& Found() const { return m_osfileinfo; }

 private:
  OsFileInfo m_osfileinfo = {};
  bool m_blFound;
};

// The copy's path fits the value's buffers and size.
bool FitsValue(CDbString& a_dbstringOwn, const char* a_szPath) {
  if (CDbDatum::CountCharacters(a_szPath) <= a_dbstringOwn.GetSizetMaxString() &&
      std::strlen(a_szPath) < DB_STRING_SIZE)
    return true;
  OsLog(OS_LOG_ERROR, "sound path too long for the value...<%s>", a_szPath);
  return false;
}

// The file copied to a temporary name beside the target, then renamed over
// it; the target is untouched on failure.
bool CopyInto(const char* a_szFrom, const char* a_szDirectory, const char* a_szTo) {
  Path pathTemporary;
  if (COsFile::GetTempName(a_szDirectory, pathTemporary.sz, ".sound", sizeof pathTemporary.sz) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "sound not copied, no temporary name...<%s>", a_szDirectory);
    return false;
  }
  if (COsFile::Copy(a_szFrom, pathTemporary.sz) == OS_STS_SUCCESS &&
      COsFile::Move(pathTemporary.sz, a_szTo) == OS_STS_SUCCESS)
    return true;
  if (COsFile::Exists(pathTemporary.sz)) COsFile::Delete(pathTemporary.sz, OS_FILETYPE_FILE, false);
  OsLog(OS_LOG_ERROR, "sound not copied...<%s> <%s>", a_szFrom, a_szTo);
  return false;
}

// The default sound named in the current profile's sound directory, copied
// to its place unless it is there.
void CopyDefault(CDbString& a_dbstringOwn, const Path& a_pathDirectory, const char* a_szTarget) {
  if (COsFile::Exists(a_szTarget)) return;
  CDatabase* pdatabase = CRuleKit::Database();
  const char* szCurrent = pdatabase ? pdatabase->ProfileGetCurrentProfileDirectory() : nullptr;
  Path pathSounds;
  Path pathSource;
  if (!szCurrent || !*szCurrent) {
    OsLog(OS_LOG_ERROR, "no current profile directory, the default sound is not copied...");
    return;
  }
  if (!Join(pathSounds, szCurrent, s_szSounds) ||
      !Join(pathSource, pathSounds.sz, NameOf(a_dbstringOwn.GetCurrentStringNoCallback())))
    return;
  // The current profile's sound directory may be the user's own: the sound
  // is not there to copy.
  if (std::strcmp(pathSource.sz, a_szTarget) == 0 || COsFileImpl::SameFile(pathSource.sz, a_szTarget)) return;
  CopyInto(pathSource.sz, a_pathDirectory.sz, a_szTarget);
}

}  // namespace

EOSSTS FixDefaultSound(CDbString& a_dbstringOwn) {
  Path pathDirectory;
  const char* szDefault = a_dbstringOwn.GetDefaultString();
  Path pathDefault;
  if (szDefault && *szDefault && SoundDirectory(pathDirectory)) {
    const EOSSTS eossts = COsFile::Create(pathDirectory.sz);
    if (eossts != OS_STS_SUCCESS && eossts != OS_STS_ALREADY_EXISTS)
      OsLog(OS_LOG_ERROR, "sound directory not created...<%s>", pathDirectory.sz);
    if (Join(pathDefault, pathDirectory.sz, NameOf(szDefault)) &&
        a_dbstringOwn.SetDefaultString(pathDefault.sz) == OS_STS_SUCCESS)
      CopyDefault(a_dbstringOwn, pathDirectory, pathDefault.sz);
  }
  a_dbstringOwn.FixDefaultReset();
  return OS_STS_SUCCESS;
}

// The new value becomes its copy in the sound directory, or empty when it
// names no usable file; when the copy cannot be made, the value before it
// stays.
void ResolveSound(CDbString& a_dbstringOwn) {
  const char* szValue = a_dbstringOwn.GetCurrentStringNoCallback();
  if (!szValue || !*szValue) return;
  Path pathDirectory;
  const bool blDirectory = SoundDirectory(pathDirectory);
  Path pathSearch;
  if (!SearchPath(szValue, blDirectory ? &pathDirectory : nullptr, pathSearch)) {
    if (blDirectory) a_dbstringOwn.SetCurrentString("");
    return;
  }
  const SoundSearch soundsearch(pathSearch.sz);
  if (!soundsearch.IsUsable()) {
    a_dbstringOwn.SetCurrentString("");
    return;
  }
  // Without a sound directory the file is used where it is.
  if (!blDirectory) return;
  Path pathCopy;
  if (!Join(pathCopy, pathDirectory.sz, soundsearch.Found().szName) || !FitsValue(a_dbstringOwn, pathCopy.sz) ||
      (std::strcmp(soundsearch.Found().szPath, pathCopy.sz) != 0 &&
       !COsFileImpl::SameFile(soundsearch.Found().szPath, pathCopy.sz) &&
       !CopyInto(soundsearch.Found().szPath, pathDirectory.sz, pathCopy.sz))) {
    a_dbstringOwn.SetCurrentString(a_dbstringOwn.GetPreviousString());
    return;
  }
  a_dbstringOwn.SetCurrentString(pathCopy.sz);
}

// A value names a sound file with content; the copy it becomes must fit the
// value. Loading (a profile or the resource) may store any text.
EOSSTS ValidateSound(CDbString& a_dbstringOwn, EDBID_WINDOW a_edbidwindow, const char* a_szValue) {
  if (!a_szValue) {
    OsLog(OS_LOG_ERROR, "a_szValue is NULL...");
    return DB_EOSSTS_BADARGUMENT;
  }
  if (const EOSSTS eossts = a_dbstringOwn.CDbString::Validate(a_edbidwindow, a_szValue); eossts != OS_STS_SUCCESS)
    return eossts;
  if (!*a_szValue) return DB_EOSSTS_REFUSED;
  Path pathDirectory;
  const bool blDirectory = SoundDirectory(pathDirectory);
  Path pathSearch;
  if (!SearchPath(a_szValue, blDirectory ? &pathDirectory : nullptr, pathSearch)) return DB_EOSSTS_REFUSED;
  const SoundSearch soundsearch(pathSearch.sz);
  if (!soundsearch.IsUsable()) {
    OsLog(OS_LOG_ERROR, "no sound file with content, refused...<%s>", pathSearch.sz);
    return DB_EOSSTS_REFUSED;
  }
  Path pathCopy;
  if (blDirectory &&
      (!Join(pathCopy, pathDirectory.sz, soundsearch.Found().szName) || !FitsValue(a_dbstringOwn, pathCopy.sz)))
    return DB_EOSSTS_REFUSED;
  return OS_STS_SUCCESS;
}

}  // namespace transport
