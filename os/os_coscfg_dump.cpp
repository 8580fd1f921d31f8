// The configuration dump "pmxoscfg[_model].txt": the environment, the system
// information, every built-in and caller value, and the directory layout.
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "os_coscfg.h"
#include "os_coscfgimpl.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

extern char** environ;

namespace {

// How a system information line prints its value.
enum EOSCFGDUMPKIND : int { kText, kMemory, kLoad, kNumber };

struct OsCfgDumpInfo {
  EOSCFGINFO eoscfginfo;
  const char* szName;
  EOSCFGDUMPKIND eoskind;
};

constexpr OsCfgDumpInfo s_aoscfgdumpinfo[] = {
    {OS_CFGINFO_OS_BUILDSTRING, "OS_CFGINFO_OS_BUILDSTRING", kText},
    {OS_CFGINFO_OS_NAMESTRING, "OS_CFGINFO_OS_NAMESTRING", kText},
    {OS_CFGINFO_OS_VERSIONSTRING, "OS_CFGINFO_OS_VERSIONSTRING", kText},
    {OS_CFGINFO_OS_KERNELVERSIONSTRING, "OS_CFGINFO_OS_KERNELVERSIONSTRING", kText},
    {OS_CFGINFO_MEM_TOTALPHYSICAL, "OS_CFGINFO_MEM_TOTALPHYSICAL", kMemory},
    {OS_CFGINFO_MEM_AVAILABLEPHYSICAL, "OS_CFGINFO_MEM_AVAILABLEPHYSICAL", kMemory},
    {OS_CFGINFO_MEM_TOTALVIRTUAL, "OS_CFGINFO_MEM_TOTALVIRTUAL", kMemory},
    {OS_CFGINFO_MEM_AVAILABLEVIRTUAL, "OS_CFGINFO_MEM_AVAILABLEVIRTUAL", kMemory},
    {OS_CFGINFO_MEM_TOTALPAGEFILE, "OS_CFGINFO_MEM_TOTALPAGEFILE", kMemory},
    {OS_CFGINFO_MEM_AVAILABLEPAGEFILE, "OS_CFGINFO_MEM_AVAILABLEPAGEFILE", kMemory},
    {OS_CFGINFO_MEM_LOAD, "OS_CFGINFO_MEM_LOAD", kLoad},
    {OS_CFGINFO_CPU_CACHESIZE, "OS_CFGINFO_CPU_CACHESIZE", kNumber},
    {OS_CFGINFO_CPU_FAMILY, "OS_CFGINFO_CPU_FAMILY", kNumber},
    {OS_CFGINFO_CPU_IS_3DNOW, "OS_CFGINFO_CPU_IS_3DNOW", kNumber},
    {OS_CFGINFO_CPU_IS_FPU, "OS_CFGINFO_CPU_IS_FPU", kNumber},
    {OS_CFGINFO_CPU_IS_HYPERTHREADING, "OS_CFGINFO_CPU_IS_HYPERTHREADING", kNumber},
    {OS_CFGINFO_CPU_IS_MMX, "OS_CFGINFO_CPU_IS_MMX", kNumber},
    {OS_CFGINFO_CPU_IS_POPCNT, "OS_CFGINFO_CPU_IS_POPCNT", kNumber},
    {OS_CFGINFO_CPU_IS_SSE, "OS_CFGINFO_CPU_IS_SSE", kNumber},
    {OS_CFGINFO_CPU_IS_SSE2, "OS_CFGINFO_CPU_IS_SSE2", kNumber},
    {OS_CFGINFO_CPU_IS_SSE3, "OS_CFGINFO_CPU_IS_SSE3", kNumber},
    {OS_CFGINFO_CPU_IS_SSE41, "OS_CFGINFO_CPU_IS_SSE41", kNumber},
    {OS_CFGINFO_CPU_IS_SSE42, "OS_CFGINFO_CPU_IS_SSE42", kNumber},
    {OS_CFGINFO_CPU_IS_SSE4A, "OS_CFGINFO_CPU_IS_SSE4A", kNumber},
    {OS_CFGINFO_CPU_LEVEL, "OS_CFGINFO_CPU_LEVEL", kNumber},
    {OS_CFGINFO_CPU_MACHINEBITS, "OS_CFGINFO_CPU_MACHINEBITS", kNumber},
    {OS_CFGINFO_CPU_MHZ, "OS_CFGINFO_CPU_MHZ", kNumber},
    {OS_CFGINFO_CPU_MODEL, "OS_CFGINFO_CPU_MODEL", kNumber},
    {OS_CFGINFO_CPU_MODELSTRING, "OS_CFGINFO_CPU_MODELSTRING", kText},
    {OS_CFGINFO_CPU_PROCESSBITS, "OS_CFGINFO_CPU_PROCESSBITS", kNumber},
    {OS_CFGINFO_CPU_STEPPING, "OS_CFGINFO_CPU_STEPPING", kNumber},
    {OS_CFGINFO_CPU_TOTAL, "OS_CFGINFO_CPU_TOTAL", kNumber},
    {OS_CFGINFO_CPU_VENDORSTRING, "OS_CFGINFO_CPU_VENDORSTRING", kText},
};

constexpr size_t kDots = 38;  // the value of an information line starts here

// Writes the dump; the first failed write is remembered.
class CDumpWriter {
 public:
  explicit CDumpWriter(COsFile* a_posfile) : m_posfile(a_posfile) {}
  void Put(const char* a_szText) {
    const size_t sizetText = std::strlen(a_szText);
    if (sizetText && m_posfile->Write(a_szText, sizetText) != OS_STS_SUCCESS) m_blFailed = true;
  }
  void Putf(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3))) {
    char szLine[1024];
    va_list valist;
    va_start(valist, a_szFormat);
    const int iLength = COsString::SStrVprintf(szLine, sizeof szLine, a_szFormat, valist);
    va_end(valist);
    if (iLength < 0) m_blFailed = true;
    Put(szLine);
  }
  // "%-48s <%s>" with a value of any length.
  void Value(const char* a_szName, const char* a_szValue) {
    Putf("%-48s <", a_szName);
    Put(a_szValue ? a_szValue : "");
    Put(">\r\n");
  }
  bool Failed() const { return m_blFailed; }

 private:
  COsFile* m_posfile;
  bool m_blFailed = false;
};

void DumpEnvironment(CDumpWriter* a_pwriter) {
  a_pwriter->Put("\r\n*** Environmentals ***************************************\r\n\r\n");
  for (char** psz = environ; psz && *psz; ++psz) {
    a_pwriter->Put(*psz);
    a_pwriter->Put("\r\n");
  }
}

void DumpInfo(CDumpWriter* a_pwriter, COsCfg* a_poscfg) {
  a_pwriter->Put("\r\n*** CFG Info *********************************************\r\n\r\n");
  for (const OsCfgDumpInfo& dumpinfo : s_aoscfgdumpinfo) {
    char szName[64];
    COsString::SStrCpy(szName, sizeof szName, dumpinfo.szName);
    for (size_t i = std::strlen(szName); i < kDots; ++i) szName[i] = '.';
    szName[kDots] = '\0';
    switch (dumpinfo.eoskind) {
      case kText: {
        const char* szValue = a_poscfg->InfoGetString(dumpinfo.eoscfginfo, 0);
        a_pwriter->Putf("%s%s\r\n", szName, szValue ? szValue : "");
        break;
      }
      case kMemory:
        a_pwriter->Putf("%s%llu\r\n", szName,
                        static_cast<unsigned long long>(a_poscfg->InfoGetLongLong(dumpinfo.eoscfginfo, 0)));
        break;
      case kLoad:
        a_pwriter->Putf("%s%lu\r\n", szName,
                        static_cast<unsigned long>(a_poscfg->InfoGetLongLong(dumpinfo.eoscfginfo, 0)));
        break;
      case kNumber:
        a_pwriter->Putf("%s%d\r\n", szName, static_cast<int>(a_poscfg->InfoGetLongLong(dumpinfo.eoscfginfo, 0)));
        break;
    }
  }
}

}  // namespace

// Built-in tags of sections 1, 4 and 5 under the names the dump gives them.
void COsCfgImpl::DumpLibraryItems(void* a_pvWriter) {
  auto* pwriter = static_cast<CDumpWriter*>(a_pvWriter);
  char szName[64];
  pwriter->Put("\r\n*** OS Library Items *************************************\r\n");
  pwriter->Put("\r\nOS_CFGSECTION_MAIN\r\n");
  for (unsigned uTag = 1; uTag <= OS_CFGTAG_MACMFGIDENTITY; ++uTag) {
    const char* szTag = s_aoscfgnametag[uTag - 1].szName;
    if (!szTag) COsString::SStrPrintf(szName, sizeof szName, "0x%06x", uTag);
    pwriter->Value(szTag ? szTag : szName, Get(OS_CFGSECTION_MAIN, uTag));
  }
  pwriter->Put("\r\nOS_CFGSECTION_SUPPORTEDSIZES\r\n");
  for (unsigned uTag = OS_CFGTAG_N00; uTag <= OS_CFGTAG_N50; ++uTag) {
    COsString::SStrPrintf(szName, sizeof szName, "N%02u", uTag - OS_CFGTAG_N00);
    pwriter->Value(szName, Get(OS_CFGSECTION_SUPPORTEDSIZES, uTag));
  }
  pwriter->Put("\r\nOS_CFGSECTION_PMX_ALL\r\n");
  for (unsigned uTag = OS_CFGTAG_JPEGQUANTIZATION_Y_00; uTag <= OS_CFGTAG_JPEGQUANTIZATION_CBCR_100; ++uTag) {
    const unsigned uOffset = uTag - OS_CFGTAG_JPEGQUANTIZATION_Y_00;
    COsString::SStrPrintf(szName, sizeof szName, "OS_CFGTAG_JPEGQUANTIZATION_%s_%02u", uOffset % 2 ? "CBCR" : "Y",
                          uOffset / 2 * 5);
    pwriter->Value(szName, Get(OS_CFGSECTION_PMX_ALL, uTag));
  }
}

void COsCfgImpl::DumpLocalItems(void* a_pvWriter) {
  auto* pwriter = static_cast<CDumpWriter*>(a_pvWriter);
  if (!m_pszCallerData) {
    pwriter->Put("\r\n*** There are no local items ************************\r\n");
    return;
  }
  pwriter->Put("\r\n*** Local Items *************************************\r\n");
  for (const OsCfgName* psection = m_poscfgnameCallerSections; psection->szName; ++psection) {
    pwriter->Putf("\r\n[%s]\r\n", psection->szName);
    for (const OsCfgName* ptag = m_poscfgnameCallerTags; ptag->szName; ++ptag) {
      pwriter->Value(ptag->szName, Get(psection->uId, ptag->uId));
    }
  }
}

// Groups of fields; a null name closes a group with "---". Fields this
// layout does not keep print empty.
void COsCfgImpl::DumpDirectories(void* a_pvWriter) {
  auto* pwriter = static_cast<CDumpWriter*>(a_pvWriter);
  const struct {
    const char* szName;
    const char* szValue;
  } afield[] = {
      {"m_szSystemDirectory", m_szSystemDirectory},
      {"m_szHomeDirectory", m_szHomeDirectory},
      {"m_szLibraryPath", m_szLibraryPath},
      {nullptr, nullptr},
      {"m_szSharedRootWriteableDirectory", m_szSharedRootWriteableDirectory},
      {"m_szSharedRootCommonDirectory", m_szSharedRootCommonDirectory},
      {"m_szSharedUserRootDirectory", m_szSharedUserRootDirectory},
      {"m_szSharedCommonDirectory", m_szSharedCommonDirectory},
      {"m_szSharedDeviceDirectory", m_szSharedDeviceDirectory},
      {"m_szSharedUserDirectory", m_szSharedUserDirectory},
      {nullptr, nullptr},
      {"m_szRootWriteableDirectory", m_szRootWriteableDirectory},
      {"m_szRootCommonDirectory", m_szRootCommonDirectory},
      {"m_szUserRootDirectory", m_szUserRootDirectory},
      {"m_szCommonDirectory", m_szCommonDirectory},
      {"m_szUserDirectory", m_szUserDirectory},
      {"m_szDriverDirectory", m_szDriverDirectory},
      {"m_szLogDirectory", m_szLogDirectory},
      {"m_szFwDirectory", m_szFwDirectory},
      {"m_szNexilDirectory", m_szNexilDirectory},
      {"m_szUiDirectory", m_szUiDirectory},
      {"m_szTmpDirectory", m_szTmpDirectory},
      {nullptr, nullptr},
      {"m_szSimulatorFilename", m_szSimulatorFilename},
      {nullptr, nullptr},
      {"m_szConfigFilenameConstIni", m_szConfigFilenameConstIni},
      {"m_szConfigFilename", m_szConfigFilename},
      {"m_szSharedConfigFilenameConstIni", m_szSharedConfigFilenameConstIni},
      {"m_szSharedConfigFilename", m_szSharedConfigFilename},
      {"m_szLogFilename", m_szLogFilename},
      {"m_szGuiFilename", m_szGuiFilename},
      {nullptr, nullptr},
      {"m_szDesktopDirectory", m_szDesktopDirectory},
      {"m_szSharedDesktopDirectory", m_szSharedDesktopDirectory},
      {"m_szMultimediaDirectory", m_szMultimediaDirectory},
      {"m_szVirtualizedDirectory", ""},
      {nullptr, nullptr},
      {"m_szApplication", m_szApplication},
      {nullptr, nullptr},
      {"m_szFudge", ""},
      {"m_szRootDirectory", m_szRootDirectory},
      {"m_szModelDirectory", m_szModelDirectory},
      {"m_szModelDirectoryReal", m_szModelDirectoryReal},
      {"m_szProgramFileName", m_szProgramFileName},
      {"m_szLibraryName", m_szLibraryName},
      {"m_szLogTimeStamp", m_szLogTimeStamp},
      {nullptr, nullptr},
      {"m_szTmp", ""},
      {"m_szFileData", m_szFileData},
      {"m_szUnitsBehavior", ""},
      {nullptr, nullptr},
      {"m_szLogDebug", m_szLogDebug},
      {"m_szLogFilter", m_szLogFilter},
      {"m_szDebugDisplayLength", m_szDebugDisplayLength},
      {"m_szForceSocketMonitorTimeout", m_szForceSocketMonitorTimeout},
      {"m_szForceUsbMonitorTimeout", m_szForceUsbMonitorTimeout},
      {"m_szUiTimeout", m_szUiTimeout},
      {nullptr, nullptr},
      {"m_szCompanyName", m_szCompanyName},
      {"m_szCompanyNameShort", m_szCompanyNameShort},
      {"m_szCopyright", m_szCopyright},
      {"m_szProductFamily", m_szProductFamily},
      {"m_szProductName", m_szProductName},
      {nullptr, nullptr},
  };
  pwriter->Put("\r\n*** Directories *************************************\r\n");
  for (const auto& field : afield) {
    if (!field.szName) {
      pwriter->Put("---\r\n");
      continue;
    }
    pwriter->Putf("%-36s= <", field.szName);
    pwriter->Put(field.szValue);
    pwriter->Put(">\r\n");
  }
}

// The file name: "pmxoscfg", "_" and the real model directory for the
// utility entities, ".txt"; PMX_OSCFGDIR names a directory of time-stamped dumps.
EOSSTS COsCfgImpl::DumpPath(const char* a_szDirectory, char* a_szPath, size_t a_sizetPath) {
  const char* szEnvDirectory = std::getenv("PMX_OSCFGDIR");
  if (szEnvDirectory && *szEnvDirectory) {
    OsTimeRecord ostimerecord;
    char szTime[32];
    COsTime::GetSystemTime(&ostimerecord);
    COsTime::GetStringTime(&ostimerecord, szTime, sizeof szTime);
    return COsString::SStrPrintf(a_szPath, a_sizetPath, "%s/pmxoscfg_%s.txt", szEnvDirectory, szTime) < 0
               ? OS_STS_NOROOM_BUFFER
               : OS_STS_SUCCESS;
  }
  char szName[kField];
  const bool blModel = m_eoscfgentity == OS_CFGENTITY_UTILITY || m_eoscfgentity == OS_CFGENTITY_APPUTILITY;
  if (COsString::SStrPrintf(szName, sizeof szName, "pmxoscfg%s%s.txt", blModel ? "_" : "",
                            blModel ? m_szModelDirectoryReal : "") < 0) {
    return OS_STS_NOROOM_BUFFER;
  }
  COsFile::PathSet(a_szPath, a_sizetPath, a_szDirectory);
  return COsFile::PathAppend(a_szPath, a_sizetPath, szName);
}

EOSSTS COsCfgImpl::Dump(COsCfg* a_poscfg, const char* a_szDirectory) {
  const char* szDirectory = a_szDirectory ? a_szDirectory : Get(OS_CFGSECTION_MAIN, OS_CFGTAG_LOGDIRECTORY);
  const EOSSTS eosstsCreate = COsFile::Create(szDirectory);
  if (eosstsCreate != OS_STS_SUCCESS && eosstsCreate != OS_STS_ALREADY_EXISTS) {
    OsLog(OS_LOG_ERROR, "Error creating...<%s>", szDirectory);
    return OS_STS_IO_ERROR;
  }
  char szPath[kField];
  if (DumpPath(szDirectory, szPath, sizeof szPath) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Error creating...<%s>", szDirectory);
    return OS_STS_IO_ERROR;
  }
  COsFile osfile;
  if (osfile.Open(szPath, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_WRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Error creating...<%s>", szPath);
    return OS_STS_IO_ERROR;
  }
  CDumpWriter writer(&osfile);
  DumpEnvironment(&writer);
  DumpInfo(&writer, a_poscfg);
  DumpLibraryItems(&writer);
  DumpLocalItems(&writer);
  DumpDirectories(&writer);
  // An older, longer dump must not leave its tail behind this one.
  const bool blFailed = osfile.SetEndOfFile() != OS_STS_SUCCESS || writer.Failed();
  osfile.Close();
  if (blFailed) {
    OsLog(OS_LOG_ERROR, "Error writing...<%s>", szPath);
    return OS_STS_IO_ERROR;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsCfg::Dump(const char* a_szDirectory) {
  if (!m_poscfgimpl) {
    OsLog(OS_LOG_ASSERT, "m_poscfgimpl is null...");
    return OS_STS_FAIL;
  }
  return m_poscfgimpl->Dump(this, a_szDirectory);
}
