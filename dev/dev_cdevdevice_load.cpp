// Loading and unloading the units' libraries: <SystemDirectory>/<model
// directory>/lib/<DEVICEDLL>, with "wia" appended to the name as the second
// choice.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
constexpr size_t s_sizetPath = 512;

const char* Configured(unsigned a_uTag) {
  const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return sz ? sz : "";
}

// <system directory>/<model directory>/lib/<name>; false when it does not
// fit.
bool LibraryPath(char* a_szPath, const char* a_szModelDirectory, const char* a_szName) {
  const char* szSystemDirectory = Configured(OS_CFGTAG_SYSTEMDIRECTORY);
  if (std::strlen(szSystemDirectory) >= s_sizetPath) return false;
  COsFile::PathSet(a_szPath, s_sizetPath, szSystemDirectory);
  return COsFile::PathAppend(a_szPath, s_sizetPath, a_szModelDirectory) == OS_STS_SUCCESS &&
         COsFile::PathAppend(a_szPath, s_sizetPath, "lib") == OS_STS_SUCCESS &&
         COsFile::PathAppend(a_szPath, s_sizetPath, a_szName) == OS_STS_SUCCESS;
}
}  // namespace

EDEVSTS CDevDevice::Load(EDBID_FIRMWARE a_edbidfirmware, bool a_blCheckLoaded) {
  if (IsEmpty("Load") || !m_posfileAdf || !m_posfileFlatbed) return DEV_STS_FAIL;
  char szModelDirectory[s_sizetPath] = {};
  char szName[s_sizetPath] = {};
  {
    CDbLockGuard dblock;
    const char* szModelDirectoryFound = nullptr;
    if (a_edbidfirmware == DB_FIRMWARE_ADF) {
      szModelDirectoryFound = Configured(OS_CFGTAG_MODELDIRECTORY);
    } else if (a_edbidfirmware == DB_FIRMWARE_FLATBED) {
      szModelDirectoryFound = m_pdatabase->ConfigGetString("modeldirectoryflatbed", DB_CONFIGTARGET_COMMON);
      if (!szModelDirectoryFound || !szModelDirectoryFound[0]) {
        OsLog(OS_LOG_ERROR, "No firmware flatbed to load");
        return DEV_STS_FAIL;
      }
    } else {
      OsLog(OS_LOG_ERROR, "Unrecognize a_edbidfirmware %d...", static_cast<int>(a_edbidfirmware));
      return DEV_STS_FAIL;
    }
    const char* szDeviceDll = m_pdatabase->GetCurrentStringFromId(DB_ID_DEVICEDLL);
    COsString::SStrCpy(szModelDirectory, sizeof szModelDirectory, szModelDirectoryFound);
    COsString::SStrCpy(szName, sizeof szName, szDeviceDll ? szDeviceDll : "");
  }
  const bool blFlatbed = a_edbidfirmware == DB_FIRMWARE_FLATBED;
  COsFile* posfile = blFlatbed ? m_posfileFlatbed : m_posfileAdf;
  if (posfile->SharedLibraryInUse()) {
    OsLog(OS_LOG_INFO, "The library is already in use...");
    return DEV_STS_SUCCESS;
  }

  char szPath[s_sizetPath] = {};
  if (!LibraryPath(szPath, szModelDirectory, szName)) {
    OsLog(OS_LOG_ERROR, "The library path does not fit %zu characters...<%s>", s_sizetPath - 1, szName);
    return DEV_STS_FAIL;
  }
  if (blFlatbed && a_blCheckLoaded && posfile->SharedLibraryLoad(szPath, OS_FILEOPEN_EXISTING) == OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Flatbed library has already been loaded into this process...<%s>", szPath);
    posfile->SharedLibraryFree();
    return DEV_STS_BUSY;
  }
  if (posfile->SharedLibraryLoad(szPath, OS_FILEOPEN_CREATE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_INFO, "LoadLibrary <%s>, could not find or load DLL file...", szPath);
    char szWia[s_sizetPath] = {};
    if (COsString::SStrPrintf(szWia, sizeof szWia, "%swia", szName) < 0 ||
        !LibraryPath(szPath, szModelDirectory, szWia)) {
      OsLog(OS_LOG_ERROR, "The library path does not fit %zu characters...<%s>", s_sizetPath - 1, szName);
      return DEV_STS_FAIL;
    }
    if (posfile->SharedLibraryLoad(szPath, OS_FILEOPEN_CREATE) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "WIA LoadLibrary <%s>, could not find or load DLL file...", szPath);
      return DEV_STS_FAIL;
    }
  }
  auto pfnscannerentry =
      reinterpret_cast<PFNSCANNERENTRY>(posfile->SharedLibraryGetProc("ScannerEntry", reinterpret_cast<void*>(-1),
                                                                      OS_FILEMANGLE_NONE));
  if (!pfnscannerentry) {
    OsLog(OS_LOG_ERROR, "Unabled to load the scannerentry for the <%s> library", szPath);
    posfile->SharedLibraryFree();
    return DEV_STS_FAIL;
  }
  (blFlatbed ? m_pfnScannerEntryFlatbed : m_pfnScannerEntryAdf).store(pfnscannerentry);
  OsLogDebug(OS_LOG_INFO, "CDevDevice: loaded <%s>", szPath);
  return DEV_STS_SUCCESS;
}

// The library is freed only after its interface is closed (it then calls
// back no more), and outside the database lock (dlclose may join threads).
EDEVSTS CDevDevice::Unload(EDBID_FIRMWARE a_edbidfirmware, CDevData* a_pdevdata) {
  if (a_edbidfirmware < DB_FIRMWARE_ADF || a_edbidfirmware > DB_FIRMWARE_BOTH) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edbidfirmware...%d", static_cast<int>(a_edbidfirmware));
    return DEV_STS_FAIL;
  }
  CDbLockRelease dbrelease;
  EDEVSTS edevsts = SessionEnd(a_edbidfirmware, a_pdevdata);
  const EDEVSTS edevstsClose = InterfaceClose(a_edbidfirmware);
  if (edevsts == DEV_STS_SUCCESS) edevsts = edevstsClose;
  if (a_edbidfirmware & DB_FIRMWARE_ADF) Free(DB_FIRMWARE_ADF);
  if (a_edbidfirmware & DB_FIRMWARE_FLATBED) Free(DB_FIRMWARE_FLATBED);
  return edevsts;
}

void CDevDevice::Free(EDBID_FIRMWARE a_edbidfirmware) {
  const bool blFlatbed = a_edbidfirmware == DB_FIRMWARE_FLATBED;
  if (!(blFlatbed ? m_pfnScannerEntryFlatbed : m_pfnScannerEntryAdf).exchange(nullptr)) return;
  COsFile* posfile = blFlatbed ? m_posfileFlatbed : m_posfileAdf;
  if (posfile) posfile->SharedLibraryFree();
}
