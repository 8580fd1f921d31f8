// Fuzz target of the scanner configuration records built from the inquiry
// replies of the scanner units and the image library. The input's first
// byte picks the flags; the rest is cut at its NUL bytes into the feeder's
// reply, the flatbed's reply, an interface-open reply and the image
// library's reply; a fifth part, when there is one, fills the table first
// with so many records (by its length) that the replies meet its end. They are stored and processed as the device engine does,
// then every record they could have made (by the ids they name and by the
// ids the callers use) is read back. The records of the library's own
// DBCONFIG common section must survive whatever the replies hold.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db_cdbconfig.h"
#include "db_cdbconfigimpl.h"
#include "dev_cdev.h"
#include "fuzz_root.h"
#include "os_coslocale.h"
#include "os_cosmem.h"
#include "os_cosresource.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

std::string s_strDriverPath;  // kept alive: the configuration store keeps the pointer

std::string ReadFile(const char* a_szPath) {
  std::string str;
  const int iFd = open(a_szPath, O_RDONLY);
  if (iFd < 0) return str;
  char ac[65536];
  for (ssize_t ssize; (ssize = read(iFd, ac, sizeof ac)) > 0;) str.append(ac, static_cast<size_t>(ssize));
  close(iFd);
  return str;
}

// The ids the callers and the derived keys use.
const char* const s_aszIds[] = {"imageformat", "language",     "nexillanguage", "printer",      "cameratype",
                                "illumination", "background",  "sheetheight",   "sheetwidth",   "model",
                                "indexingformat", "barcodetype", "nexil_barcodetype", "zoomtofitwidth",
                                "componenttab", "modelnamedialog", "duplex",    "multifeedcount", ""};
const EDBCONFIGTARGET s_aedbconfigtarget[] = {DB_CONFIGTARGET_COMMON, DB_CONFIGTARGET_ADF, DB_CONFIGTARGET_FLATBED};

// The texts between "<id>" and "</id>" in the replies, a few of them.
std::vector<std::string> NamedIds(const std::vector<std::string>& a_vecText) {
  std::vector<std::string> vec;
  for (const std::string& strText : a_vecText) {
    for (size_t sizetAt = strText.find("<id>"); sizetAt != std::string::npos && vec.size() < 24;
         sizetAt = strText.find("<id>", sizetAt + 1)) {
      const size_t sizetEnd = strText.find("</id>", sizetAt);
      if (sizetEnd == std::string::npos) break;
      vec.push_back(strText.substr(sizetAt + 4, sizetEnd - sizetAt - 4));
    }
  }
  return vec;
}

// Every record an id may have, read back; an enumeration walk ends within
// the table's size and hands out texts that end within a key.
void ReadBack(CDbConfig& a_dbconfig, const char* a_szId) {
  for (EDBCONFIGTARGET edbconfigtarget : s_aedbconfigtarget) {
    int iSteps = 0;
    for (const char* sz = a_dbconfig.EnumGetFirst(a_szId, edbconfigtarget); sz;
         sz = a_dbconfig.EnumGetNext(a_szId, sz, edbconfigtarget)) {
      Check(strnlen(sz, DB_CONFIG_KEY) < DB_CONFIG_KEY);
      Check(++iSteps <= DB_CONFIG_RECORDS);
      a_dbconfig.EnumExists(a_szId, sz, edbconfigtarget);
    }
    if (const char* sz = a_dbconfig.GetString(a_szId, edbconfigtarget)) Check(std::strlen(sz) < (1u << 20));
    a_dbconfig.GetNumber(a_szId, edbconfigtarget);
    a_dbconfig.RangeGetMin(a_szId, edbconfigtarget);
    a_dbconfig.RangeGetMax(a_szId, edbconfigtarget);
    a_dbconfig.Exists(a_szId, edbconfigtarget);
  }
}

// The languages asked for (from the kept interface-open replies too), and
// the common section still there.
void AskLanguages(CDbConfig& a_dbconfig) {
  for (bool blDevice : {true, false}) {
    for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
      Check(a_dbconfig.UseLanguage(blDevice, edbidfirmware) != nullptr);
    }
  }
  // The common section of the library's own DBCONFIG is never lost.
  Check(a_dbconfig.EnumExists("componenttab", "false", DB_CONFIGTARGET_COMMON));
  Check(a_dbconfig.Exists("documentmediatypeperside", DB_CONFIGTARGET_COMMON));
}

void ReadAll(CDbConfig& a_dbconfig, const std::vector<std::string>& a_vecIds) {
  for (const char* szId : s_aszIds) ReadBack(a_dbconfig, szId);
  for (const std::string& strId : a_vecIds) ReadBack(a_dbconfig, strId.c_str());
  AskLanguages(a_dbconfig);
}

const DbConfigDatabaseQueries s_dbconfigdatabasequeries = {[](CDatabase*) -> long { return OS_LANGUAGE_DE_DEU; },
                                                           [](CDatabase*) { return true; }};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzroot::Make("dbconfigfuzz");
  new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1);
  // A file that carries the library's DBCONFIG text as its resource stands
  // for the library's own file.
  s_strDriverPath = fuzzroot::Path("libown.so");
  const std::string strDbConfig = ReadFile(SCANDRV_DBCONFIG);
  Check(fuzzroot::WriteFile(s_strDriverPath, "not a library\n", 14) && !strDbConfig.empty());
  COsResource osresource;
  Check(osresource.Update(s_strDriverPath.c_str(), "DBCONFIG", OS_RESOURCETYPE_DATA, strDbConfig.size(),
                          strDbConfig.data()) == OS_STS_SUCCESS);
  g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_DRIVERPATH, s_strDriverPath.c_str());
  CDbConfigImpl::SetDatabaseQueries(&s_dbconfigdatabasequeries);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  fuzzroot::NextRun();
  const uint8_t u8Pick = a_sizetData ? a_pu8Data[0] : 0;
  std::vector<std::string> vecText;
  if (a_sizetData > 1) {
    const std::string strRest(reinterpret_cast<const char*>(a_pu8Data + 1), a_sizetData - 1);
    for (size_t sizetAt = 0; vecText.size() < 5;) {
      const size_t sizetEnd = strRest.find('\0', sizetAt);
      vecText.push_back(strRest.substr(sizetAt, sizetEnd == std::string::npos ? std::string::npos : sizetEnd - sizetAt));
      if (sizetEnd == std::string::npos) break;
      sizetAt = sizetEnd + 1;
    }
  }
  const bool blFill = vecText.size() == 5;
  const size_t sizetFill = blFill ? 380 + vecText[4].size() % 132 : 0;
  vecText.resize(4);
  const std::string& strAdf = vecText[0];
  const std::string& strFlatbed = vecText[1];
  const std::string& strInterfaceOpen = vecText[2];
  const std::string& strNexil = vecText[3];
  const std::vector<std::string> vecIds = NamedIds(vecText);

  g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, (u8Pick & 0x10) ? "1" : "0");
  // Now and then with the debug lines, which format every key.
  g_poslog->SetDebugLevel((u8Pick & 0x40) && (fuzzroot::g_lRuns % 8 == 0) ? 1 : 0);

  // With a flatbed, a device whose interface is not open (off line); else
  // none to ask (online).
  CDev devOffline(nullptr, nullptr, nullptr);
  CDev* pdev = (u8Pick & 0x08) ? &devOffline : nullptr;
  CDbConfig dbconfig(nullptr);
  for (size_t sizet = 0; sizet < sizetFill; ++sizet) {
    dbconfig.SetNumber(("fill" + std::to_string(sizet)).c_str(), sizet, DB_CONFIGTARGET_COMMON);
  }
  if (u8Pick & 0x08) dbconfig.SetString("modeldirectoryflatbed", "/models/flatbed", DB_CONFIGTARGET_COMMON);
  // The model: given, or stored by the device engine under each unit.
  static const char* const s_aszModel[] = {"mapleB", nullptr, "mapleC", "common"};
  const char* szModel = s_aszModel[(u8Pick >> 1) & 3];
  if (!szModel) {
    dbconfig.SetString("model", "mapleC", DB_CONFIGTARGET_ADF);
    dbconfig.SetString("model", "mapleC", DB_CONFIGTARGET_FLATBED);
  }
  const EDBID_FIRMWARE edbidfirmwareOpen = (u8Pick & 0x20) ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF;
  const size_t sizetGiven = (u8Pick & 0x01) ? strAdf.size() : 0;
  if (!strAdf.empty()) dbconfig.LoadReportInquiry(strAdf.c_str(), sizetGiven, false, false, DB_FIRMWARE_ADF);
  if (!strFlatbed.empty()) dbconfig.LoadReportInquiry(strFlatbed.c_str(), 0, false, false, DB_FIRMWARE_FLATBED);
  if (!strInterfaceOpen.empty()) {
    dbconfig.LoadReportInquiry(strInterfaceOpen.c_str(), 0, true, false, edbidfirmwareOpen);
  }
  if ((u8Pick & 0x80) && !strNexil.empty()) {
    dbconfig.LoadReportInquiry(strNexil.c_str(), 0, true, true, edbidfirmwareOpen);
  }
  AskLanguages(dbconfig);
  dbconfig.ProcessReportInquiry(szModel, pdev);
  ReadAll(dbconfig, vecIds);
  dbconfig.ProcessReportInquiryXml("nexil", strNexil.c_str(), edbidfirmwareOpen);
  dbconfig.ProcessReportInquiryXml(nullptr, strAdf.c_str(), DB_FIRMWARE_ADF);
  ReadAll(dbconfig, vecIds);
  dbconfig.Dump();
  return 0;
}
