// Directory search: one name, or the entries of one directory whose names
// match the wildcards of the last path component.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
// Size, type, access and times of the record's path. An entry that cannot
// be followed (a dangling link) is described as itself; false for one that
// is gone.
bool FillStatus(OsFileInfo* a_posfileinfo) {
  struct stat st;
  if (stat(a_posfileinfo->szPath, &st) != 0 && lstat(a_posfileinfo->szPath, &st) != 0) {
    OsLogDebug(OS_LOG_INFO, "stat failed...<%s>", a_posfileinfo->szPath);
    return false;
  }
  OsLogDebug(OS_LOG_INFO, "Found...<%s>", a_posfileinfo->szPath);
  a_posfileinfo->u64Size = static_cast<uint64_t>(st.st_size);
  a_posfileinfo->eosfiletype = COsFileImpl::TypeFromMode(st.st_mode);
  a_posfileinfo->i32Access = (st.st_mode & 0222) ? OS_FILEACCESS_READWRITE : OS_FILEACCESS_READ;
  COsFileImpl::TimeRecordFromTime(&a_posfileinfo->timerecordAccessed, st.st_atim.tv_sec);
  COsFileImpl::TimeRecordFromTime(&a_posfileinfo->timerecordModified, st.st_mtim.tv_sec);
  return true;
}

void FillLower(OsFileInfo* a_posfileinfo) {
  size_t i = 0;
  for (; a_posfileinfo->szName[i] && i + 1 < sizeof a_posfileinfo->szNameLower; ++i) {
    char c = a_posfileinfo->szName[i];
    a_posfileinfo->szNameLower[i] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  a_posfileinfo->szNameLower[i] = '\0';
}

void CloseDirectory(OsFileInfo* a_posfileinfo) {
  if (a_posfileinfo->pvDir) closedir(static_cast<DIR*>(a_posfileinfo->pvDir));
  a_posfileinfo->pvDir = nullptr;
}

// Reads on to the next entry whose name matches the stored pattern and fills
// the record; the directory is closed at the end of the listing.
EOSSTS ReadNext(OsFileInfo* a_posfileinfo, const char* a_szDirectory) {
  DIR* pdir = static_cast<DIR*>(a_posfileinfo->pvDir);
  bool blRoot = std::strcmp(a_szDirectory, "/") == 0;
  for (;;) {
    struct dirent* pdirent = readdir(pdir);
    if (!pdirent) break;
    const char* szName = pdirent->d_name;
    if (!*szName || (a_posfileinfo->szPattern[0] && COsString::StrWildCmp(a_posfileinfo->szPattern, szName) != 0)) {
      continue;
    }
    size_t sizetDirectory = std::strlen(a_szDirectory);
    if (sizetDirectory + 1 + std::strlen(szName) + 1 > sizeof a_posfileinfo->szPath) {
      OsLog(OS_LOG_ERROR, "path too long...<%s> <%s>", a_szDirectory, szName);
      continue;
    }
    std::memcpy(a_posfileinfo->szPath, a_szDirectory, sizetDirectory);
    if (!blRoot) a_posfileinfo->szPath[sizetDirectory++] = '/';
    std::memcpy(a_posfileinfo->szPath + sizetDirectory, szName, std::strlen(szName) + 1);
    COsString::SStrCpy(a_posfileinfo->szName, sizeof a_posfileinfo->szName, szName);
    FillLower(a_posfileinfo);
    // Gone since it was read (a writer's temporary renamed away): the
    // entries behind it are still listed.
    if (!FillStatus(a_posfileinfo)) continue;
    errno = 0;
    return OS_STS_SUCCESS;
  }
  OsLogDebug(OS_LOG_INFO, "readdir failed...<%s>", a_szDirectory);
  CloseDirectory(a_posfileinfo);
  return OS_STS_FILE_NOT_FOUND;
}

EOSSTS FindOne(const char* a_szFilename, const char* a_szLast, OsFileInfo* a_posfileinfo) {
  if (std::strlen(a_szLast) >= sizeof a_posfileinfo->szName ||
      COsFile::PathAbsolute(a_posfileinfo->szPath, sizeof a_posfileinfo->szPath, a_szFilename) != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "OsFilePathAbsolute failed...<%s>", a_szFilename);
    return OS_STS_FILE_NOT_FOUND;
  }
  COsString::SStrCpy(a_posfileinfo->szName, sizeof a_posfileinfo->szName, a_szLast);
  FillLower(a_posfileinfo);
  if (!FillStatus(a_posfileinfo)) return OS_STS_FILE_NOT_FOUND;
  errno = 0;
  return OS_STS_SUCCESS;
}

EOSSTS FindWild(const char* a_szFilename, const char* a_szLast, OsFileInfo* a_posfileinfo) {
  // The directory part, "." when there is none and "/" for a name at the root.
  char szDirectory[sizeof a_posfileinfo->szPath];
  size_t sizetDirectory = a_szLast == a_szFilename ? 0 : static_cast<size_t>(a_szLast - a_szFilename - 1);
  if (sizetDirectory >= sizeof szDirectory || std::strlen(a_szLast) >= sizeof a_posfileinfo->szPattern) {
    OsLogDebug(OS_LOG_INFO, "OsFilePathAbsolute failed...<%s>", a_szFilename);
    return OS_STS_FILE_NOT_FOUND;
  }
  if (a_szLast == a_szFilename) {
    COsString::SStrCpy(szDirectory, sizeof szDirectory, ".");
  } else if (sizetDirectory == 0) {
    COsString::SStrCpy(szDirectory, sizeof szDirectory, "/");
  } else {
    std::memcpy(szDirectory, a_szFilename, sizetDirectory);
    szDirectory[sizetDirectory] = '\0';
  }
  char szAbsolute[sizeof a_posfileinfo->szPath];
  if (COsFile::PathAbsolute(szAbsolute, sizeof szAbsolute, szDirectory) != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "OsFilePathAbsolute failed...<%s>", szDirectory);
    return OS_STS_FILE_NOT_FOUND;
  }
  COsString::SStrCpy(a_posfileinfo->szPattern, sizeof a_posfileinfo->szPattern, a_szLast);
  OsLogDebug(OS_LOG_INFO, "FindFirst...<%s> <%s>", szAbsolute, a_szLast);
  DIR* pdir = opendir(szAbsolute);
  if (!pdir) {
    OsLogDebug(OS_LOG_INFO, "opendir failed...<%s>", szAbsolute);
    return OS_STS_FILE_NOT_FOUND;
  }
  a_posfileinfo->pvDir = pdir;
  return ReadNext(a_posfileinfo, szAbsolute);
}
}  // namespace

EOSFILETYPE COsFileImpl::TypeFromMode(mode_t a_modet) {
  if (S_ISDIR(a_modet)) return OS_FILETYPE_DIRECTORY;
  if (S_ISBLK(a_modet) || S_ISCHR(a_modet) || S_ISFIFO(a_modet) || S_ISSOCK(a_modet)) return OS_FILETYPE_OTHER;
  return OS_FILETYPE_FILE;
}

EOSSTS COsFile::FindFirst(const char* a_szFilename, OsFileInfo* a_posfileinfo) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ERROR, "a_szFilename is null...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_posfileinfo) {
    OsLog(OS_LOG_ERROR, "a_posfileinfo is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  std::memset(a_posfileinfo, 0, sizeof *a_posfileinfo);
  OsLogDebug(OS_LOG_INFO, "FindFirst...<%s>", a_szFilename);
  // Wildcards count in the last component only: a directory's name is taken as it is.
  const char* pszSlash = std::strrchr(a_szFilename, '/');
  const char* szLast = pszSlash ? pszSlash + 1 : a_szFilename;
  EOSSTS eosstatus = std::strpbrk(szLast, "*?") ? FindWild(a_szFilename, szLast, a_posfileinfo)
                                                 : FindOne(a_szFilename, szLast, a_posfileinfo);
  errno = 0;
  return eosstatus;
}

EOSSTS COsFile::FindNext(OsFileInfo* a_posfileinfo) {
  if (!a_posfileinfo) {
    OsLog(OS_LOG_ERROR, "a_posfileinfo is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (!a_posfileinfo->pvDir) return OS_STS_FILE_NOT_FOUND;
  // The directory is the path of the last entry without its last component.
  char szDirectory[sizeof a_posfileinfo->szPath];
  COsString::SStrCpy(szDirectory, sizeof szDirectory, a_posfileinfo->szPath);
  char* pszSlash = std::strrchr(szDirectory, '/');
  if (pszSlash) pszSlash[pszSlash == szDirectory ? 1 : 0] = '\0';
  return ReadNext(a_posfileinfo, szDirectory);
}

EOSSTS COsFile::FindClose(OsFileInfo* a_posfileinfo) {
  if (!a_posfileinfo) {
    OsLog(OS_LOG_ERROR, "a_posfileinfo is NULL...");
    return OS_STS_BAD_ARGUMENT;
  }
  CloseDirectory(a_posfileinfo);
  std::memset(a_posfileinfo, 0, sizeof *a_posfileinfo);
  return OS_STS_SUCCESS;
}

bool COsFile::Exists(const char* a_szFilename) {
  if (!a_szFilename) {
    OsLog(OS_LOG_ASSERT, "a_szFilename is NULL");
    return false;
  }
  int iSaved = errno;
  OsFileInfo osfileinfo;
  bool blExists = FindFirst(a_szFilename, &osfileinfo) == OS_STS_SUCCESS;
  FindClose(&osfileinfo);
  errno = iSaved;
  return blExists;
}
