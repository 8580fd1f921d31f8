// Profile packages: the user directory in one file, as the cookie, the
// contents of its files back to back, and a "packagelist" footer naming
// every entry (depth first) with its offset and length.
//
// The package is written beside its name and renamed over it at the end,
// so a failed export leaves a package that was there before as it was and
// never a part of one.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "db_cdbprofileitem.h"
#include "db_cdbprofilelistimpl.h"
#include "os_cosfile.h"
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

EDBSTS CDbProfileListImpl::Export(const char* a_szPackageFile) {
  if (!a_szPackageFile || !a_szPackageFile[0]) {
    OsLog(OS_LOG_ASSERT, "a_szPackageFile is null...");
    return DB_STS_FAIL;
  }
  if (!GetDatabaseResourceProfile()) {
    OsLog(OS_LOG_ERROR, "profile list not loaded...");
    return DB_STS_FAIL;
  }
  if (IsProfileModified()) {
    OsLogDebug(OS_LOG_INFO, "Export denied, profile has been modified...");
    return DB_STS_NOTAVAILABLE;
  }
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
