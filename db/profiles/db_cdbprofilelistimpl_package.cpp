// Profile packages: the user directory in one file, as the cookie, the
// contents of its files back to back, and a "packagelist" footer naming
// every entry (depth first) with its offset and length.
//
// The package is written beside its name and renamed over it at the end,
// so a failed export leaves a package that was there before as it was and
// never a part of one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "db_cdbprofileitem.h"
#include "db_cdbprofilelistimpl.h"
#include "os_cosfile.h"
#include "os_cosxml.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

constexpr char s_szCookie[] = "*PROFILEPACKAGE*";
constexpr size_t s_sizetCookie = sizeof s_szCookie - 1;
constexpr size_t s_sizetFooter = 0x10000;

struct PackageEntry {
  bool blDirectory;
  std::string strPath;      // full path
  std::string strRelative;  // below the packed directory
  uint64_t u64Offset;
  uint64_t u64Bytes;
};

struct FileId {
  dev_t dev;
  ino_t ino;
};

bool SameFile(const struct stat& a_st, const std::vector<FileId>& a_vecSkip) {
  for (const FileId& fileid : a_vecSkip)
    if (fileid.dev == a_st.st_dev && fileid.ino == a_st.st_ino) return true;
  return false;
}

// The directory's entries depth first, each directory followed by its own;
// links, pipes and the package being written are left out (logged).
bool Walk(const std::string& a_strDirectory, const std::string& a_strRelative, const std::vector<FileId>& a_vecSkip,
          std::vector<PackageEntry>* a_pvec) {
  DIR* pdir = opendir(a_strDirectory.c_str());
  if (!pdir) {
    OsLogDebug(OS_LOG_INFO, "Export failed...<%s>", a_strDirectory.c_str());
    return false;
  }
  bool blWalked = true;
  while (const dirent* pdirent = readdir(pdir)) {
    const std::string strName = pdirent->d_name;
    if (strName == "." || strName == "..") continue;
    const std::string strPath = a_strDirectory + "/" + strName;
    const std::string strRelative = a_strRelative.empty() ? strName : a_strRelative + "/" + strName;
    struct stat st;
    if (lstat(strPath.c_str(), &st) != 0 || SameFile(st, a_vecSkip)) continue;
    if (S_ISDIR(st.st_mode)) {
      a_pvec->push_back({true, strPath, strRelative, 0, 0});
      if (!Walk(strPath, strRelative, a_vecSkip, a_pvec)) {
        blWalked = false;
        break;
      }
    } else if (S_ISREG(st.st_mode)) {
      a_pvec->push_back({false, strPath, strRelative, 0, static_cast<uint64_t>(st.st_size)});
    } else {
      OsLogDebug(OS_LOG_INFO, "entry neither file nor directory, not packed...<%s>", strPath.c_str());
    }
  }
  closedir(pdir);
  return blWalked;
}

bool WriteAll(int a_iFd, const void* a_pv, size_t a_sizet) {
  const char* pc = static_cast<const char*>(a_pv);
  while (a_sizet > 0) {
    const ssize_t ssizet = write(a_iFd, pc, a_sizet);
    if (ssizet <= 0) return false;
    pc += ssizet;
    a_sizet -= static_cast<size_t>(ssizet);
  }
  return true;
}

// The file's whole content appended; its length as written.
bool CopyInto(int a_iFd, PackageEntry* a_pentry) {
  const int iFdIn = open(a_pentry->strPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (iFdIn < 0) {
    OsLogDebug(OS_LOG_INFO, "Open failed...<%s>", a_pentry->strPath.c_str());
    return false;
  }
  char ac[0x10000];
  uint64_t u64Bytes = 0;
  bool blCopied = true;
  for (;;) {
    const ssize_t ssizet = read(iFdIn, ac, sizeof ac);
    if (ssizet == 0) break;
    if (ssizet < 0 || !WriteAll(a_iFd, ac, static_cast<size_t>(ssizet))) {
      OsLogDebug(OS_LOG_INFO, "Write failed...");
      blCopied = false;
      break;
    }
    u64Bytes += static_cast<uint64_t>(ssizet);
  }
  close(iFdIn);
  a_pentry->u64Bytes = u64Bytes;
  return blCopied;
}

void AddNumber(COsXmlTask* a_posxmltask, const char* a_szName, uint64_t a_u64) {
  char sz[32];
  std::snprintf(sz, sizeof sz, "%" PRIu64, a_u64);
  a_posxmltask->AddArgument(a_szName, sz);
}

bool AddFooter(COsXmlTask* a_posxmltask, const std::vector<PackageEntry>& a_vec) {
  a_posxmltask->StartNonTask("packagelist", 0);
  a_posxmltask->StartCommand("packageitem", 1);
  a_posxmltask->AddArgument("type", "cookie");
  AddNumber(a_posxmltask, "offset", 0);
  AddNumber(a_posxmltask, "bytes", s_sizetCookie);
  a_posxmltask->FinalizeCommand("packageitem");
  for (const PackageEntry& entry : a_vec) {
    if (entry.strRelative.find("]]>") != std::string::npos) {
      OsLogDebug(OS_LOG_INFO, "path cannot be packed...<%s>", entry.strPath.c_str());
      return false;
    }
    a_posxmltask->StartCommand("packageitem", 1);
    a_posxmltask->AddArgument("type", entry.blDirectory ? "directory" : "file");
    if (!entry.blDirectory) {
      AddNumber(a_posxmltask, "offset", entry.u64Offset);
      AddNumber(a_posxmltask, "bytes", entry.u64Bytes);
    }
    a_posxmltask->AddArgumentSafe("path", entry.strRelative.c_str());
    a_posxmltask->FinalizeCommand("packageitem");
  }
  a_posxmltask->FinalizeNonTask("packagelist");
  return !a_posxmltask->IsError(true);
}

// The directory's entries and the footer into the open file.
bool WritePackage(int a_iFd, const std::string& a_strDirectory, const std::vector<FileId>& a_vecSkip) {
  std::vector<PackageEntry> vec;
  struct stat st;
  if (stat(a_strDirectory.c_str(), &st) == 0 && !Walk(a_strDirectory, "", a_vecSkip, &vec)) return false;
  if (!WriteAll(a_iFd, s_szCookie, s_sizetCookie)) {
    OsLogDebug(OS_LOG_INFO, "Write failed...");
    return false;
  }
  uint64_t u64Offset = s_sizetCookie;
  for (PackageEntry& entry : vec) {
    if (entry.blDirectory) continue;
    entry.u64Offset = u64Offset;
    if (!CopyInto(a_iFd, &entry)) return false;
    u64Offset += entry.u64Bytes;
  }
  COsXmlTask osxmltask("", s_sizetFooter);
  if (!AddFooter(&osxmltask, vec)) return false;
  const char* szFooter = osxmltask.GetTaskBuffer();
  if (!WriteAll(a_iFd, szFooter, std::strlen(szFooter)) || fsync(a_iFd) != 0) {
    OsLogDebug(OS_LOG_INFO, "Write failed...");
    return false;
  }
  return true;
}

}  // namespace

// What export and import both need: a package name, a loaded list, and
// no unsaved change to the profile in force.
EDBSTS CDbProfileListImpl::PackageAllowed(const char* a_szPackageFile, const char* a_szWhat) {
  if (!a_szPackageFile || !a_szPackageFile[0]) {
    OsLog(OS_LOG_ASSERT, "a_szPackageFile is null...");
    return DB_STS_FAIL;
  }
  if (!GetDatabaseResourceProfile()) {
    OsLog(OS_LOG_ERROR, "profile list not loaded...");
    return DB_STS_FAIL;
  }
  if (IsProfileModified()) {
    OsLogDebug(OS_LOG_INFO, "%s denied, profile has been modified...", a_szWhat);
    return DB_STS_NOTAVAILABLE;
  }
  return DB_STS_SUCCESS;
}

EDBSTS CDbProfileListImpl::Export(const char* a_szPackageFile) {
  const EDBSTS edbstsAllowed = PackageAllowed(a_szPackageFile, "Export");
  if (edbstsAllowed != DB_STS_SUCCESS) return edbstsAllowed;
  std::string strDirectory = m_szUserDirectory;
  while (strDirectory.size() > 1 && strDirectory.back() == '/') strDirectory.pop_back();
  if (strDirectory.empty()) {
    OsLogDebug(OS_LOG_INFO, "Export failed, no user profile directory...");
    return DB_STS_FAIL;
  }
  std::string strTemporary = std::string(a_szPackageFile) + ".XXXXXX";
  const int iFd = mkostemp(strTemporary.data(), O_CLOEXEC);
  if (iFd < 0) {
    OsLogDebug(OS_LOG_INFO, "Open failed...<%s>", a_szPackageFile);
    return DB_STS_FAIL;
  }
  std::vector<FileId> vecSkip;
  struct stat st;
  if (fstat(iFd, &st) == 0) vecSkip.push_back({st.st_dev, st.st_ino});
  if (stat(a_szPackageFile, &st) == 0) vecSkip.push_back({st.st_dev, st.st_ino});
  bool blWritten = WritePackage(iFd, strDirectory, vecSkip);
  blWritten = close(iFd) == 0 && blWritten;
  if (blWritten && rename(strTemporary.c_str(), a_szPackageFile) != 0) {
    OsLogDebug(OS_LOG_INFO, "Write failed...<%s>", a_szPackageFile);
    blWritten = false;
  }
  if (!blWritten) {
    unlink(strTemporary.c_str());
    return DB_STS_FAIL;
  }
  return DB_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// Import
// ---------------------------------------------------------------------------
namespace {

constexpr char s_szFooterTag[] = "<packagelist>";
constexpr size_t s_sizetTooSmall = 26;

// A decimal number without sign, exponent or overflow.
bool ParseDecimal(const char* a_sz, uint64_t* a_pu64) {
  if (!a_sz[0]) return false;
  uint64_t u64 = 0;
  for (const char* pc = a_sz; *pc; ++pc) {
    if (*pc < '0' || *pc > '9' || u64 > (UINT64_MAX - static_cast<uint64_t>(*pc - '0')) / 10) return false;
    u64 = u64 * 10 + static_cast<uint64_t>(*pc - '0');
  }
  *a_pu64 = u64;
  return true;
}

// A relative path that stays below the directory it is joined to.
bool IsContainedPath(const std::string& a_str) {
  if (a_str.empty() || a_str[0] == '/' || a_str.find('\\') != std::string::npos) return false;
  size_t sizetStart = 0;
  while (sizetStart <= a_str.size()) {
    const size_t sizetEnd = std::min(a_str.find('/', sizetStart), a_str.size());
    const std::string strPart = a_str.substr(sizetStart, sizetEnd - sizetStart);
    if (strPart.empty() || strPart == "." || strPart == "..") return false;
    sizetStart = sizetEnd + 1;
  }
  return true;
}

std::string ChildText(COsXml* a_posxml) {
  char sz[CDbProfileListImpl::s_sizetPath];
  return a_posxml->NodeGetContent(sz, sizeof sz) == OS_STS_SUCCESS ? std::string(sz) : std::string("\x01");
}

// The footer's file and directory items, each checked: paths below the
// import directory, once each; offsets and lengths inside the contents.
bool ReadFooter(const char* a_pcFooter, size_t a_sizetFooterStart, size_t a_sizetFooter,
                std::vector<PackageEntry>* a_pvec) {
  COsXml osxml;
  if (osxml.DocumentLoad(a_pcFooter, static_cast<long>(a_sizetFooter)) != OS_STS_SUCCESS ||
      osxml.NodeRewind() != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "Failed to load the footer...");
    return false;
  }
  std::vector<std::string> vecSeen;
  for (bool blMore = osxml.NodeChild() == OS_STS_SUCCESS; blMore; blMore = osxml.NodeSibling() == OS_STS_SUCCESS) {
    char szName[32];
    if (osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS || std::strcmp(szName, "packageitem") != 0) continue;
    std::string strType, strOffset, strBytes, strPath;
    osxml.NodePush();
    for (bool blChild = osxml.NodeChild() == OS_STS_SUCCESS; blChild; blChild = osxml.NodeSibling() == OS_STS_SUCCESS) {
      if (osxml.NodeGetName(szName, sizeof szName) != OS_STS_SUCCESS) continue;
      const std::string strName = szName;
      if (strName == "type") strType = ChildText(&osxml);
      if (strName == "offset") strOffset = ChildText(&osxml);
      if (strName == "bytes") strBytes = ChildText(&osxml);
      if (strName == "path") strPath = ChildText(&osxml);
    }
    osxml.NodePop();
    if (strType == "cookie") continue;
    PackageEntry entry{strType == "directory", "", strPath, 0, 0};
    if (strType != "file" && strType != "directory") {
      OsLogDebug(OS_LOG_INFO, "Bad package item type...<%s>", strType.c_str());
      return false;
    }
    if (!IsContainedPath(strPath)) {
      OsLog(OS_LOG_ERROR, "Package path leaves the import directory...<%s>", strPath.c_str());
      return false;
    }
    for (const std::string& strSeen : vecSeen) {
      if (strSeen == strPath) {
        OsLog(OS_LOG_ERROR, "Package path given twice...<%s>", strPath.c_str());
        return false;
      }
    }
    vecSeen.push_back(strPath);
    if (!entry.blDirectory &&
        (!ParseDecimal(strOffset.c_str(), &entry.u64Offset) || !ParseDecimal(strBytes.c_str(), &entry.u64Bytes) ||
         entry.u64Offset < s_sizetCookie || entry.u64Bytes > a_sizetFooterStart ||
         entry.u64Offset > a_sizetFooterStart - entry.u64Bytes)) {
      OsLog(OS_LOG_ERROR, "Package item outside the package...<%s> <%s> <%s>", strPath.c_str(), strOffset.c_str(),
            strBytes.c_str());
      return false;
    }
    a_pvec->push_back(entry);
  }
  return true;
}

// The entries into the fresh import directory; false (logged) at the first
// that cannot be made.
bool Unpack(const std::string& a_strDirectory, const std::string& a_strPackage, const std::vector<PackageEntry>& a_vec) {
  for (const PackageEntry& entry : a_vec) {
    const std::string strTarget = a_strDirectory + "/" + entry.strRelative;
    if (entry.blDirectory) {
      const EOSSTS eossts = COsFile::Create(strTarget.c_str());
      if (eossts != OS_STS_SUCCESS && eossts != OS_STS_ALREADY_EXISTS) {
        OsLogDebug(OS_LOG_INFO, "Failed to create directory...<%s>", strTarget.c_str());
        return false;
      }
      continue;
    }
    const size_t sizetSlash = strTarget.rfind('/');
    const EOSSTS eossts = COsFile::Create(strTarget.substr(0, sizetSlash).c_str());
    const int iFd = (eossts == OS_STS_SUCCESS || eossts == OS_STS_ALREADY_EXISTS)
                        ? open(strTarget.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644)
                        : -1;
    if (iFd < 0) {
      OsLogDebug(OS_LOG_INFO, "Open failed...<%s>", strTarget.c_str());
      return false;
    }
    const bool blWritten = WriteAll(iFd, a_strPackage.data() + entry.u64Offset, entry.u64Bytes) && fsync(iFd) == 0;
    close(iFd);
    if (!blWritten) {
      OsLogDebug(OS_LOG_INFO, "Write failed...<%s>", strTarget.c_str());
      return false;
    }
  }
  return true;
}

bool ReadWhole(const char* a_szPath, std::string* a_pstr) {
  const int iFd = open(a_szPath, O_RDONLY | O_CLOEXEC);
  if (iFd < 0) return false;
  char ac[0x10000];
  ssize_t ssizet;
  while ((ssizet = read(iFd, ac, sizeof ac)) > 0) a_pstr->append(ac, static_cast<size_t>(ssizet));
  close(iFd);
  return ssizet == 0;
}

bool IsDirectoryPath(const std::string& a_str) {
  struct stat st;
  return stat(a_str.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// A kill between the two moves of an import leaves the user directory
// under its backup name: it is moved back.
void CDbProfileListImpl::RecoverImportBackup(std::string a_strDirectory) {
  while (a_strDirectory.size() > 1 && a_strDirectory.back() == '/') a_strDirectory.pop_back();
  const std::string strBackup = a_strDirectory + ".backup";
  if (access(a_strDirectory.c_str(), F_OK) == 0 || !IsDirectoryPath(strBackup)) return;
  if (rename(strBackup.c_str(), a_strDirectory.c_str()) == 0) {
    OsLog(OS_LOG_ERROR, "profile directory moved back from its backup...<%s>", a_strDirectory.c_str());
  } else {
    OsLog(OS_LOG_ERROR, "OsFileMove failed...<%s> to <%s>", strBackup.c_str(), a_strDirectory.c_str());
  }
}

EDBSTS CDbProfileListImpl::Import(const char* a_szPackageFile, bool a_blKeepList) {
  const EDBSTS edbstsAllowed = PackageAllowed(a_szPackageFile, "Import");
  if (edbstsAllowed != DB_STS_SUCCESS) return edbstsAllowed;
  if (!COsFile::Exists(a_szPackageFile)) {
    OsLog(OS_LOG_ERROR, "Import failed, file not found...");
    return DB_STS_BADVALUE;
  }
  std::string strDirectory = m_szUserDirectory;
  while (strDirectory.size() > 1 && strDirectory.back() == '/') strDirectory.pop_back();
  if (strDirectory.empty()) {
    OsLogDebug(OS_LOG_INFO, "Import failed, no user profile directory...");
    return DB_STS_FAIL;
  }
  // Held for the whole import, tried once: the caller holds the database
  // lock and must not wait for another process.
  const std::string strLock = strDirectory + ".lock";
  const int iFdLock = open(strLock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (iFdLock < 0 || flock(iFdLock, LOCK_EX | LOCK_NB) != 0) {
    OsLog(OS_LOG_ERROR, "Import in progress...<%s>", strLock.c_str());
    if (iFdLock >= 0) close(iFdLock);
    return DB_STS_FAIL;
  }
  const EDBSTS edbsts = ImportLocked(a_szPackageFile, strDirectory);
  close(iFdLock);
  if (edbsts != DB_STS_SUCCESS || a_blKeepList) return edbsts;
  return ReloadAfterImport();
}

EDBSTS CDbProfileListImpl::ImportLocked(const char* a_szPackageFile, const std::string& a_strDirectory) {
  RecoverImportBackup(a_strDirectory);
  std::string strPackage;
  if (!ReadWhole(a_szPackageFile, &strPackage)) {
    OsLogDebug(OS_LOG_INFO, "OsMemSharedAllocReadonly failed...");
    return DB_STS_FAIL;
  }
  if (strPackage.size() <= s_sizetTooSmall) {
    OsLogDebug(OS_LOG_INFO, "File is too small to be a profile package...");
    return DB_STS_FAIL;
  }
  if (strPackage.compare(0, s_sizetCookie, s_szCookie) != 0) {
    OsLog(OS_LOG_ERROR, "Not a profile package...<%s>", a_szPackageFile);
    return DB_STS_FAIL;
  }
  const size_t sizetFooter = strPackage.rfind(s_szFooterTag, strPackage.size() - 14);
  if (sizetFooter == std::string::npos || sizetFooter < s_sizetCookie) {
    OsLogDebug(OS_LOG_INFO, "No footer in profile package...");
    return DB_STS_FAIL;
  }
  std::vector<PackageEntry> vec;
  if (!ReadFooter(strPackage.data() + sizetFooter, sizetFooter, strPackage.size() - sizetFooter, &vec)) {
    OsLog(OS_LOG_ERROR, "Import failed, bad package...<%s>", a_szPackageFile);
    return DB_STS_FAIL;
  }
  const std::string strImport = a_strDirectory + ".import";
  const std::string strBackup = a_strDirectory + ".backup";
  COsFile::Delete(strImport.c_str(), OS_FILETYPE_DIRECTORY, true);
  if (access(strImport.c_str(), F_OK) == 0) {
    OsLogDebug(OS_LOG_INFO, "Failed to delete old profile directory (have the customer do it manually)...<%s>",
               strImport.c_str());
    return DB_STS_FAIL;
  }
  const EOSSTS eosstsCreate = COsFile::Create(strImport.c_str());
  if (eosstsCreate != OS_STS_SUCCESS) {
    OsLogDebug(OS_LOG_INFO, "Failed to create new profile directory...%d <%s>", eosstsCreate, strImport.c_str());
    return DB_STS_FAIL;
  }
  if (!Unpack(strImport, strPackage, vec)) {
    COsFile::Delete(strImport.c_str(), OS_FILETYPE_DIRECTORY, true);
    return DB_STS_FAIL;
  }
  COsFile::Delete(strBackup.c_str(), OS_FILETYPE_DIRECTORY, true);
  const bool blHadDirectory = access(a_strDirectory.c_str(), F_OK) == 0;
  if (blHadDirectory && rename(a_strDirectory.c_str(), strBackup.c_str()) != 0) {
    OsLog(OS_LOG_ERROR, "OsFileMove failed...<%s> to <%s>", a_strDirectory.c_str(), strBackup.c_str());
    COsFile::Delete(strImport.c_str(), OS_FILETYPE_DIRECTORY, true);
    return DB_STS_FAIL;
  }
  if (rename(strImport.c_str(), a_strDirectory.c_str()) != 0) {
    OsLog(OS_LOG_ERROR, "OsFileMove failed...<%s> to <%s>", strImport.c_str(), a_strDirectory.c_str());
    if (blHadDirectory) rename(strBackup.c_str(), a_strDirectory.c_str());
    COsFile::Delete(strImport.c_str(), OS_FILETYPE_DIRECTORY, true);
    return DB_STS_FAIL;
  }
  if (blHadDirectory && COsFile::Delete(strBackup.c_str(), OS_FILETYPE_DIRECTORY, true) != OS_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "OsFileDelete failed...<%s>", strBackup.c_str());
  return DB_STS_SUCCESS;
}

// The list of the new directory, its current profile applied, then the
// first visible default entry (else the first visible one) selected.
EDBSTS CDbProfileListImpl::ReloadAfterImport() {
  EDBSTS edbsts = Load(true);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Load failed...");
    return edbsts;
  }
  m_blLoadedButNotSet = false;
  edbsts = ApplyCurrent();
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Set current failed...");
    return edbsts;
  }
  uint32_t u32Slot = 0;
  while (u32Slot < s_u32Slots && !(IsVisible(u32Slot) && m_apdbprofilelist[u32Slot]->IsProfileDefault())) ++u32Slot;
  if (u32Slot >= s_u32Slots) {
    u32Slot = 0;
    while (u32Slot < s_u32Slots && !IsVisible(u32Slot)) ++u32Slot;
  }
  if (u32Slot >= s_u32Slots) return DB_STS_SUCCESS;
  char szName[CDbProfileItem::s_sizetName];
  std::snprintf(szName, sizeof szName, "%s", m_apdbprofilelist[u32Slot]->GetName());
  return SetCurrent(szName);
}
