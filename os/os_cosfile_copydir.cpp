// Copying a directory tree, each entry offered to the caller's callback.
// A directory that is already being copied further up (a link back to an
// ancestor) or the target tree itself is passed over, so a tree with a link
// loop or a target inside the source ends.
#include <sys/stat.h>

#include <cstring>

#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
// One directory on the way down from the first source.
struct CopyAncestor {
  dev_t devt;
  ino_t inot;
  const CopyAncestor* pParent;
};

struct CopyTree {
  OsFileCopyDirectoryCallback pfnCallback;
  void* pvUser;
  const char* szTargetRoot;
};

void Remember(EOSSTS* a_peosstatus, EOSSTS a_eosstatus) {
  if (*a_peosstatus == OS_STS_SUCCESS) *a_peosstatus = a_eosstatus;
}

bool IsLoop(const char* a_szSource, const CopyAncestor* a_pancestor, const char* a_szTargetRoot) {
  struct stat st, stTarget;
  if (stat(a_szSource, &st) != 0) return false;
  for (const CopyAncestor* p = a_pancestor; p; p = p->pParent) {
    if (p->devt == st.st_dev && p->inot == st.st_ino) return true;
  }
  return stat(a_szTargetRoot, &stTarget) == 0 && stTarget.st_dev == st.st_dev && stTarget.st_ino == st.st_ino;
}

// Creates the target directory once.
EOSSTS EnsureTarget(const char* a_szTo, bool* a_pblCreated) {
  if (*a_pblCreated) return OS_STS_SUCCESS;
  EOSSTS eosstatus = COsFile::Create(a_szTo);
  if (eosstatus != OS_STS_SUCCESS && eosstatus != OS_STS_ALREADY_EXISTS) {
    OsLog(OS_LOG_ERROR, "OsFileCreateDirectory failed...<%s>", a_szTo);
    return eosstatus;
  }
  *a_pblCreated = true;
  return OS_STS_SUCCESS;
}

EOSSTS CopyLevel(const char* a_szFrom, const char* a_szTo, bool a_blRecursive, const CopyTree& a_copytree,
                 const CopyAncestor* a_pancestor);

EOSSTS CopySubtree(const OsFileInfo& a_osfileinfo, const char* a_szTarget, const CopyTree& a_copytree,
                   const CopyAncestor* a_pancestor) {
  if (IsLoop(a_osfileinfo.szPath, a_pancestor, a_copytree.szTargetRoot)) {
    OsLogDebug(OS_LOG_INFO, "directory already being copied...<%s>", a_osfileinfo.szPath);
    return OS_STS_SUCCESS;
  }
  if (!a_copytree.pfnCallback) return CopyLevel(a_osfileinfo.szPath, a_szTarget, true, a_copytree, a_pancestor);
  OsFileCopyDirectoryInfo osfilecopydirectoryinfo{32, nullptr, a_osfileinfo.szPath, a_copytree.pvUser};
  int iAnswer = a_copytree.pfnCallback(&osfilecopydirectoryinfo);
  if (iAnswer == OS_FILECOPYDIR_COPY) return CopyLevel(a_osfileinfo.szPath, a_szTarget, true, a_copytree, a_pancestor);
  if (iAnswer == OS_FILECOPYDIR_COPYALL) {
    CopyTree copytreeAll{nullptr, nullptr, a_copytree.szTargetRoot};
    return CopyLevel(a_osfileinfo.szPath, a_szTarget, true, copytreeAll, a_pancestor);
  }
  if (iAnswer == OS_FILECOPYDIR_SKIP) return OS_STS_SUCCESS;
  OsLog(OS_LOG_ASSERT, "Unexpected callback status: %d", iAnswer);
  return static_cast<EOSSTS>(iAnswer);
}

EOSSTS CopyFile(const OsFileInfo& a_osfileinfo, const char* a_szTo, const char* a_szTarget,
                const CopyTree& a_copytree, bool* a_pblCreated) {
  int iAnswer = OS_FILECOPYDIR_COPY;
  if (a_copytree.pfnCallback) {
    OsFileCopyDirectoryInfo osfilecopydirectoryinfo{32, a_osfileinfo.szName, a_osfileinfo.szPath,
                                                    a_copytree.pvUser};
    iAnswer = a_copytree.pfnCallback(&osfilecopydirectoryinfo);
  }
  if (iAnswer == OS_FILECOPYDIR_SKIP && a_copytree.pfnCallback) return OS_STS_SUCCESS;
  EOSSTS eosstatus = static_cast<EOSSTS>(iAnswer);
  if (iAnswer != OS_FILECOPYDIR_COPY) {
    OsLog(OS_LOG_ASSERT, "Unexpected callback status: %d", iAnswer);
  } else {
    eosstatus = EnsureTarget(a_szTo, a_pblCreated);
    if (eosstatus == OS_STS_SUCCESS) eosstatus = COsFile::Copy(a_osfileinfo.szPath, a_szTarget);
  }
  if (eosstatus != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "OsFileCopy failed...<%s> <%s>", a_osfileinfo.szPath, a_szTarget);
  return eosstatus;
}

EOSSTS CopyLevel(const char* a_szFrom, const char* a_szTo, bool a_blRecursive, const CopyTree& a_copytree,
                 const CopyAncestor* a_pancestor) {
  EOSSTS eosstatus = OS_STS_SUCCESS;
  bool blCreated = false;
  if (!a_copytree.pfnCallback) Remember(&eosstatus, EnsureTarget(a_szTo, &blCreated));
  struct stat st;
  CopyAncestor copyancestor{0, 0, a_pancestor};
  if (stat(a_szFrom, &st) == 0) copyancestor.devt = st.st_dev, copyancestor.inot = st.st_ino;

  OsFileInfo osfileinfo;
  char szPattern[sizeof osfileinfo.szPath];
  COsFile::PathSet(szPattern, sizeof szPattern, a_szFrom);
  if (!szPattern[0] || COsFile::PathAppend(szPattern, sizeof szPattern, "*") != OS_STS_SUCCESS) {
    Remember(&eosstatus, OS_STS_NOROOM_BUFFER);
    return eosstatus;
  }
  EOSSTS eosstatusFind = COsFile::FindFirst(szPattern, &osfileinfo);
  if (eosstatusFind != OS_STS_SUCCESS) Remember(&eosstatus, eosstatusFind);
  for (; eosstatusFind == OS_STS_SUCCESS; eosstatusFind = COsFile::FindNext(&osfileinfo)) {
    bool blDirectory = osfileinfo.eosfiletype == OS_FILETYPE_DIRECTORY;
    if (blDirectory && (!a_blRecursive || !std::strcmp(osfileinfo.szName, ".") || !std::strcmp(osfileinfo.szName, ".."))) {
      continue;
    }
    char szTarget[sizeof osfileinfo.szPath];
    COsFile::PathSet(szTarget, sizeof szTarget, a_szTo);
    if (!szTarget[0] || COsFile::PathAppend(szTarget, sizeof szTarget, osfileinfo.szName) != OS_STS_SUCCESS) {
      Remember(&eosstatus, OS_STS_NOROOM_BUFFER);
      continue;
    }
    Remember(&eosstatus, blDirectory ? CopySubtree(osfileinfo, szTarget, a_copytree, &copyancestor)
                                     : CopyFile(osfileinfo, a_szTo, szTarget, a_copytree, &blCreated));
  }
  COsFile::FindClose(&osfileinfo);
  return eosstatus;
}
}  // namespace

EOSSTS COsFile::CopyDirectory(const char* a_szFrom, const char* a_szTo, bool a_blRecursive,
                              OsFileCopyDirectoryCallback a_pfnCallback, void* a_pvUser) {
  if (!a_szFrom || !a_szTo) {
    OsLog(OS_LOG_ERROR, "null argument...%p %p", static_cast<const void*>(a_szFrom),
          static_cast<const void*>(a_szTo));
    return OS_STS_BAD_ARGUMENT;
  }
  CopyTree copytree{a_pfnCallback, a_pvUser, a_szTo};
  return CopyLevel(a_szFrom, a_szTo, a_blRecursive, copytree, nullptr);
}
