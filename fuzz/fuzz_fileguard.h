// Shared by the archive readers' fuzz targets: a throwaway root per process
// and a guard on every call that changes the file system. The program's own
// open, mkdir, unlink... stand in front of the C library's: while the guard
// is on, a call that would create, change or remove anything outside the
// places the target allows aborts the run, with the path. Paths are judged
// as texts (made absolute, "." and ".." folded), which is sound because the
// root holds no symbolic link: Sweep checks that after every run.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace fuzzguard {

inline std::string g_strRoot;                  // the throwaway root of this process
inline std::vector<std::string> g_vecAllowed;  // trees (and files) the guarded calls may change
inline std::vector<std::string> g_vecDenied;   // files in them the calls must leave alone
inline bool g_blOn = false;

inline void Remove(const std::string& a_strPath);

// Reports the call and ends the run; the root goes first (libFuzzer keeps
// the input).
[[noreturn]] inline void Escape(const char* a_szCall, const std::string& a_strPath) {
  std::fprintf(stderr, "fuzzguard: %s where it must not: <%s>\n", a_szCall, a_strPath.c_str());
  g_blOn = false;
  if (!g_strRoot.empty()) Remove(g_strRoot);
  std::abort();
}

// "." and ".." folded; a ".." above "/" stays at "/".
inline std::string Fold(const std::string& a_strPath) {
  std::vector<std::string> vecPart;
  for (size_t sizetAt = 0; sizetAt <= a_strPath.size();) {
    size_t sizetEnd = a_strPath.find('/', sizetAt);
    if (sizetEnd == std::string::npos) sizetEnd = a_strPath.size();
    std::string strPart = a_strPath.substr(sizetAt, sizetEnd - sizetAt);
    if (strPart == "..") {
      if (!vecPart.empty()) vecPart.pop_back();
    } else if (!strPart.empty() && strPart != ".") {
      vecPart.push_back(strPart);
    }
    sizetAt = sizetEnd + 1;
  }
  std::string strFolded;
  for (const auto& strPart : vecPart) strFolded += "/" + strPart;
  return strFolded.empty() ? "/" : strFolded;
}

// The absolute path a call names, relative to its directory descriptor.
inline std::string Absolute(int a_iDirFd, const char* a_szPath) {
  if (a_szPath[0] == '/') return Fold(a_szPath);
  char szBase[4096] = {};
  if (a_iDirFd == AT_FDCWD) {
    if (!getcwd(szBase, sizeof szBase)) Escape("getcwd", a_szPath);
  } else {
    char szLink[64];
    std::snprintf(szLink, sizeof szLink, "/proc/self/fd/%d", a_iDirFd);
    if (readlink(szLink, szBase, sizeof szBase - 1) <= 0) Escape("readlink", a_szPath);
  }
  return Fold(std::string(szBase) + "/" + a_szPath);
}

inline void Check(const char* a_szCall, int a_iDirFd, const char* a_szPath) {
  if (!g_blOn || !a_szPath) return;
  std::string strPath = Absolute(a_iDirFd, a_szPath);
  for (const auto& strDenied : g_vecDenied) {
    if (strPath == strDenied) Escape(a_szCall, strPath);
  }
  for (const auto& strAllowed : g_vecAllowed) {
    if (strPath == strAllowed || strPath.compare(0, strAllowed.size() + 1, strAllowed + "/") == 0) return;
  }
  Escape(a_szCall, strPath);
}

inline bool Writes(int a_iFlags) { return (a_iFlags & O_ACCMODE) != O_RDONLY || (a_iFlags & (O_CREAT | O_TRUNC)); }

// The mode argument of the open calls, there only when a file may be made.
inline mode_t ModeArgument(int a_iFlags, va_list a_valist) {
  return (a_iFlags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(a_valist, int)) : 0;
}

inline int OpenAt(const char* a_szCall, int a_iDirFd, const char* a_szPath, int a_iFlags, mode_t a_modet) {
  if (Writes(a_iFlags)) Check(a_szCall, a_iDirFd, a_szPath);
  return static_cast<int>(syscall(SYS_openat, a_iDirFd, a_szPath, a_iFlags, a_modet));
}

// Turns the guard on for one scope, with the places it may change.
class Scope {
 public:
  explicit Scope(std::vector<std::string> a_vecAllowed, std::vector<std::string> a_vecDenied = {}) {
    g_vecAllowed = std::move(a_vecAllowed);
    g_vecDenied = std::move(a_vecDenied);
    g_blOn = true;
  }
  ~Scope() { g_blOn = false; }
};

// A fresh directory that becomes $HOME and $TMPDIR; removed at exit. The
// current directory stays: libFuzzer reads its corpus from there after this.
inline void MakeRoot() {
  const char* szBase = std::getenv("TMPDIR");
  std::string strTemplate = std::string(szBase && *szBase ? szBase : "/tmp") + "/scandrv-archivefuzz-XXXXXX";
  std::vector<char> vecTemplate(strTemplate.begin(), strTemplate.end());
  vecTemplate.push_back('\0');
  if (!mkdtemp(vecTemplate.data())) {
    std::perror("fuzzguard root");
    std::exit(2);
  }
  g_strRoot = vecTemplate.data();
  setenv("PMX_SHGETFOLDERPATH", g_strRoot.c_str(), 1);
  setenv("HOME", g_strRoot.c_str(), 1);
  setenv("TMPDIR", g_strRoot.c_str(), 1);
}

inline std::string Path(const std::string& a_strRelative) { return g_strRoot + "/" + a_strRelative; }

// Removes a tree, read-only directories included.
inline void Remove(const std::string& a_strPath) {
  struct stat st;
  if (lstat(a_strPath.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(a_strPath.c_str(), 0700);
    if (DIR* pdir = opendir(a_strPath.c_str())) {
      std::vector<std::string> vecNames;
      while (dirent* pdirent = readdir(pdir)) {
        if (std::strcmp(pdirent->d_name, ".") && std::strcmp(pdirent->d_name, "..")) vecNames.push_back(pdirent->d_name);
      }
      closedir(pdir);
      for (const auto& strName : vecNames) Remove(a_strPath + "/" + strName);
    }
    rmdir(a_strPath.c_str());
  } else {
    unlink(a_strPath.c_str());
  }
}

// Every entry below the root, relative, directories with a trailing "/";
// anything but a file or a directory aborts the run.
inline void Sweep(const std::string& a_strDir, const std::string& a_strRelative, std::vector<std::string>* a_pvec) {
  DIR* pdir = opendir(a_strDir.c_str());
  if (!pdir) return;
  while (dirent* pdirent = readdir(pdir)) {
    if (!std::strcmp(pdirent->d_name, ".") || !std::strcmp(pdirent->d_name, "..")) continue;
    std::string strPath = a_strDir + "/" + pdirent->d_name, strRelative = a_strRelative + pdirent->d_name;
    struct stat st;
    if (lstat(strPath.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) Escape("sweep", strPath);
    if (S_ISDIR(st.st_mode)) {
      a_pvec->push_back(strRelative + "/");
      Sweep(strPath, strRelative + "/", a_pvec);
    } else {
      a_pvec->push_back(strRelative);
    }
  }
  closedir(pdir);
}

// What the root held when the target was ready: always allowed.
inline std::vector<std::string> g_vecBaseline;

inline void TakeBaseline() {
  g_vecBaseline.clear();
  Sweep(g_strRoot, "", &g_vecBaseline);
}

// Checks the root holds nothing but its baseline and the given entries
// (relative names, directories with "/"; a name ending in "*" stands for
// everything that begins with the rest).
inline void SweepRoot(const std::vector<std::string>& a_vecExpected) {
  std::vector<std::string> vecFound;
  Sweep(g_strRoot, "", &vecFound);
  for (const auto& strFound : vecFound) {
    bool blKnown = false;
    for (const auto& strBaseline : g_vecBaseline) blKnown = blKnown || strFound == strBaseline;
    for (const auto& strExpected : a_vecExpected) {
      blKnown = blKnown || strFound == strExpected ||
                (strExpected.back() == '*' && strFound.compare(0, strExpected.size() - 1, strExpected, 0,
                                                               strExpected.size() - 1) == 0);
    }
    if (!blKnown) Escape("sweep", strFound);
  }
}

inline std::string ReadAll(const std::string& a_strPath) {
  std::string strData;
  if (FILE* pfile = std::fopen(a_strPath.c_str(), "rb")) {
    char ac[65536];
    for (size_t sizet; (sizet = std::fread(ac, 1, sizeof ac, pfile)) > 0;) strData.append(ac, sizet);
    std::fclose(pfile);
  }
  return strData;
}

inline void WriteAll(const std::string& a_strPath, const void* a_pv, size_t a_sizet) {
  FILE* pfile = std::fopen(a_strPath.c_str(), "wb");
  if (!pfile || (a_sizet && std::fwrite(a_pv, 1, a_sizet, pfile) != a_sizet) || std::fclose(pfile) != 0) {
    std::perror(a_strPath.c_str());
    std::abort();
  }
}

}  // namespace fuzzguard

// The calls of the C library that change the file system, each checked and
// then made as a system call.
extern "C" {
int open(const char* a_szPath, int a_iFlags, ...) {
  va_list valist;
  va_start(valist, a_iFlags);
  mode_t modet = fuzzguard::ModeArgument(a_iFlags, valist);
  va_end(valist);
  return fuzzguard::OpenAt("open", AT_FDCWD, a_szPath, a_iFlags, modet);
}
int open64(const char* a_szPath, int a_iFlags, ...) {
  va_list valist;
  va_start(valist, a_iFlags);
  mode_t modet = fuzzguard::ModeArgument(a_iFlags, valist);
  va_end(valist);
  return fuzzguard::OpenAt("open64", AT_FDCWD, a_szPath, a_iFlags, modet);
}
int openat(int a_iDirFd, const char* a_szPath, int a_iFlags, ...) {
  va_list valist;
  va_start(valist, a_iFlags);
  mode_t modet = fuzzguard::ModeArgument(a_iFlags, valist);
  va_end(valist);
  return fuzzguard::OpenAt("openat", a_iDirFd, a_szPath, a_iFlags, modet);
}
int creat(const char* a_szPath, mode_t a_modet) {
  fuzzguard::Check("creat", AT_FDCWD, a_szPath);
  return static_cast<int>(syscall(SYS_openat, AT_FDCWD, a_szPath, O_CREAT | O_WRONLY | O_TRUNC, a_modet));
}
int mkdir(const char* a_szPath, mode_t a_modet) {
  // Making the parents of a path tries the ones that are there already.
  struct stat st;
  if (lstat(a_szPath, &st) != 0) fuzzguard::Check("mkdir", AT_FDCWD, a_szPath);
  return static_cast<int>(syscall(SYS_mkdirat, AT_FDCWD, a_szPath, a_modet));
}
int rmdir(const char* a_szPath) {
  fuzzguard::Check("rmdir", AT_FDCWD, a_szPath);
  return static_cast<int>(syscall(SYS_unlinkat, AT_FDCWD, a_szPath, AT_REMOVEDIR));
}
int unlink(const char* a_szPath) {
  fuzzguard::Check("unlink", AT_FDCWD, a_szPath);
  return static_cast<int>(syscall(SYS_unlinkat, AT_FDCWD, a_szPath, 0));
}
int unlinkat(int a_iDirFd, const char* a_szPath, int a_iFlags) {
  fuzzguard::Check("unlinkat", a_iDirFd, a_szPath);
  return static_cast<int>(syscall(SYS_unlinkat, a_iDirFd, a_szPath, a_iFlags));
}
int rename(const char* a_szFrom, const char* a_szTo) {
  fuzzguard::Check("rename", AT_FDCWD, a_szFrom);
  fuzzguard::Check("rename", AT_FDCWD, a_szTo);
  return static_cast<int>(syscall(SYS_renameat, AT_FDCWD, a_szFrom, AT_FDCWD, a_szTo));
}
int link(const char* a_szFrom, const char* a_szTo) {
  fuzzguard::Check("link", AT_FDCWD, a_szTo);
  return static_cast<int>(syscall(SYS_linkat, AT_FDCWD, a_szFrom, AT_FDCWD, a_szTo, 0));
}
int symlink(const char* a_szTarget, const char* a_szLink) {
  fuzzguard::Check("symlink", AT_FDCWD, a_szLink);
  return static_cast<int>(syscall(SYS_symlinkat, a_szTarget, AT_FDCWD, a_szLink));
}
int chmod(const char* a_szPath, mode_t a_modet) {
  fuzzguard::Check("chmod", AT_FDCWD, a_szPath);
  return static_cast<int>(syscall(SYS_fchmodat, AT_FDCWD, a_szPath, a_modet));
}
int fchmodat(int a_iDirFd, const char* a_szPath, mode_t a_modet, int a_iFlags) {
  fuzzguard::Check("fchmodat", a_iDirFd, a_szPath);
  if (a_iFlags) {
    errno = EOPNOTSUPP;
    return -1;
  }
  return static_cast<int>(syscall(SYS_fchmodat, a_iDirFd, a_szPath, a_modet));
}
int utimensat(int a_iDirFd, const char* a_szPath, const struct timespec a_atimespec[2], int a_iFlags) {
  fuzzguard::Check("utimensat", a_iDirFd, a_szPath);
  return static_cast<int>(syscall(SYS_utimensat, a_iDirFd, a_szPath, a_atimespec, a_iFlags));
}
int truncate(const char* a_szPath, off_t a_offt) {
  fuzzguard::Check("truncate", AT_FDCWD, a_szPath);
  return static_cast<int>(syscall(SYS_truncate, a_szPath, a_offt));
}
}
