// The data entry's persistent debug settings: written into the constant
// files the driver and its callers read at their next start.
//
// The driver reads its own values from the configuration's constant file
// (CONST.INI): dll "driver" names that file. Any other dll names a
// subdirectory of the model directory and its "const.ini" ("twain", "wia",
// "isis": the callers' files). Every entry is checked before anything is
// written, so a refused task changes no file.
#include <cstring>
#include <string>

#include "dev_cdevdataxml.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {

constexpr const char* s_aszDebugCallers[] = {"twain", "wia", "isis"};

bool DebugHasControl(const char* a_sz) {
  for (const char* pc = a_sz; *pc; ++pc) {
    if (static_cast<unsigned char>(*pc) < 0x20 || *pc == 0x7f) return true;
  }
  return false;
}

// What the ini engine can hold as written: a section without brackets, a
// key without "=", no line breaks anywhere.
bool IsIniEntry(const char* a_szSection, const char* a_szKey, const char* a_szValue) {
  return *a_szSection && *a_szKey && !std::strpbrk(a_szSection, "[]") && !std::strchr(a_szKey, '=') &&
         a_szKey[0] != '[' && a_szKey[0] != ';' && !DebugHasControl(a_szSection) && !DebugHasControl(a_szKey) &&
         !DebugHasControl(a_szValue);
}

// The constant file of a dll; empty for a dll that names none.
std::string DebugConstFile(const char* a_szModelDirectory, const char* a_szDll) {
  if (std::strcmp(a_szDll, "driver") == 0) {
    const char* sz = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI) : nullptr;
    return sz ? sz : "";
  }
  if (!*a_szModelDirectory || !CDevDataXml::IsUsableName(a_szDll)) return std::string();
  const std::string strDirectory = std::string(a_szModelDirectory) + "/" + a_szDll;
  if (!COsFile::IsRealDirectory(strDirectory.c_str())) return std::string();
  return strDirectory + "/const.ini";
}

bool DebugSet(const std::string& a_strFile, const char* a_szSection, const char* a_szKey, const char* a_szValue) {
  const EOSSTS eossts = g_poscfg->ProfileSet(a_strFile.c_str(), a_szSection, a_szKey, a_szValue);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ProfileSet failed...%d <%s> <%s> <%s>", static_cast<int>(eossts), a_strFile.c_str(),
          a_szSection, a_szKey);
  }
  return eossts == OS_STS_SUCCESS;
}

bool DebugFlush(const std::string& a_strFile) {
  const EOSSTS eossts = g_poscfg->ProfileFlush(a_strFile.c_str());
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ProfileFlush failed...%d <%s>", static_cast<int>(eossts), a_strFile.c_str());
  }
  return eossts == OS_STS_SUCCESS;
}

}  // namespace

EOSSTS CDevDataXml::WriteDebugSettings() {
  const DevDataOpenArgs& rargs = m_devdataopenargs;
  if (!rargs.blDebug || !rargs.blPersistent) return Answer(true);
  if (!g_poscfg) {
    OsLog(OS_LOG_ERROR, "interfaceopen: no configuration to write the debug settings to...");
    return Answer(false);
  }
  for (uint32_t u = 0; u < rargs.u32ForceIndex; ++u) {
    const DevDataForce& rforce = rargs.adevdataforce[u];
    if (DebugConstFile(m_szModelDirectory, rforce.szDll).empty() ||
        !IsIniEntry(rforce.szSection, rforce.szTag, rforce.szText)) {
      OsLog(OS_LOG_ERROR, "interfaceopen: force entry refused, nothing written...<%s> <%s> <%s>", rforce.szDll,
            rforce.szSection, rforce.szTag);
      return Answer(false);
    }
  }
  if (!DataLock()) {
    OsLog(OS_LOG_ERROR, "DataLock failed...");
    return Answer(false);
  }
  char szLevel[16];
  COsString::SStrPrintf(szLevel, sizeof szLevel, "%u", rargs.u32LoggingLevel);
  const char* szDebug = std::strcmp(rargs.szLogging, "off") == 0 ? "0" : szLevel;
  bool blWritten = true;
  std::string astrFile[1 + sizeof s_aszDebugCallers / sizeof s_aszDebugCallers[0]];
  astrFile[0] = DebugConstFile(m_szModelDirectory, "driver");
  for (size_t sizet = 0; sizet < sizeof s_aszDebugCallers / sizeof s_aszDebugCallers[0]; ++sizet) {
    astrFile[sizet + 1] = DebugConstFile(m_szModelDirectory, s_aszDebugCallers[sizet]);
  }
  for (const std::string& strFile : astrFile) {
    if (strFile.empty()) continue;
    blWritten = DebugSet(strFile, "dsidentity", "debug", szDebug) && blWritten;
    blWritten = DebugSet(strFile, "images", "devsave", rargs.blImagesFromScanner ? "true" : "false") && blWritten;
    blWritten = DebugSet(strFile, "images", "appsave", rargs.blImagesToApp ? "true" : "false") && blWritten;
    blWritten = DebugFlush(strFile) && blWritten;
  }
  for (uint32_t u = 0; u < rargs.u32ForceIndex; ++u) {
    const DevDataForce& rforce = rargs.adevdataforce[u];
    const std::string strFile = DebugConstFile(m_szModelDirectory, rforce.szDll);
    if (rforce.blText) {
      blWritten = DebugSet(strFile, rforce.szSection, rforce.szTag, rforce.szText) && blWritten;
    } else if (const EOSSTS eossts = g_poscfg->ProfileDelete(strFile.c_str(), rforce.szSection, rforce.szTag);
               eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "ProfileDelete failed...%d <%s> <%s> <%s>", static_cast<int>(eossts), strFile.c_str(),
            rforce.szSection, rforce.szTag);
      blWritten = false;
    }
    blWritten = DebugFlush(strFile) && blWritten;
  }
  DataUnlock(false);
  return Answer(blWritten);
}
