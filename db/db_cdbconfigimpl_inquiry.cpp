// Reading the configuration: the DBCONFIG resource and its sections, the
// inquiry texts kept per scanner unit, their processing into the table and
// the keys derived from the whole model. A reading that fails leaves the
// table as it was before it.
#include <cstring>

#include "db_cdbconfigimpl.h"
#include "dev_cdev.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosresource.h"
#include "os_cosstring.h"

namespace {
constexpr const char* s_szReportInquiry = "<reportinquiry>";
constexpr const char* s_szReportInquiryEnd = "</reportinquiry>";
// The start of a text in which an unwrapped inquiry is looked for.
constexpr size_t s_sizetWrapWindow = 32;
// The tags of a section are formed in buffers of this size.
constexpr size_t s_sizetTag = 64;

// Counters the session keeps in the table, reset with every model.
const char* const s_aszCounters[] = {"multifeedcount", "patchcountfront", "patchcountrear",
                                     "lampwarmuptime", "diagruntimeout",  "diagendtime"};

void FreeText(char*& a_sz) {
  if (a_sz) OsMemFree(a_sz);
  a_sz = nullptr;
}
}  // namespace

// ---------------------------------------------------------------------------
// The reader and the DBCONFIG resource
// ---------------------------------------------------------------------------
bool CDbConfigImpl::CreateReader() {
  m_posxml = OsMemNew(COsXml);
  if (!m_posxml) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return false;
  }
  if (m_posxml->DispatchAddObject("this", "CDbConfigImpl", this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "cfg>>> DispatchAddObject failed...");
    ReleaseReader();
    return false;
  }
  if (m_posxml->DispatchLoad(s_szDbConfigGrammar) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "cfg>>> DispatchLoad failed...<%s>", s_szDbConfigGrammar);
    ReleaseReader();
    return false;
  }
  return true;
}

void CDbConfigImpl::ReleaseReader() { OsMemDelete(m_posxml); }

void CDbConfigImpl::ReleaseTexts() {
  FreeText(m_szAdf);
  FreeText(m_szAdfInterfaceOpen);
  FreeText(m_szAdfInterfaceOpenNexil);
  FreeText(m_szFlatbed);
  FreeText(m_szFlatbedInterfaceOpen);
  FreeText(m_szFlatbedInterfaceOpenNexil);
}

void CDbConfigImpl::LoadDbConfig() {
  COsResource osresource;
  if (osresource.Open(OS_RESOURCE_LOCAL, "DBCONFIG", OS_RESOURCETYPE_DATA) != OS_STS_SUCCESS ||
      !osresource.GetPointer()) {
    OsLog(OS_LOG_ERROR, "cfg>>> DBCONFIG resource not found...");
    return;
  }
  const size_t sizetDbConfig = static_cast<size_t>(osresource.GetSize());
  m_szDbConfig = static_cast<char*>(OsMemAlloc(sizetDbConfig + 1));
  if (!m_szDbConfig) {
    OsLog(OS_LOG_ERROR, "cfg>>> OsMemAlloc failed...");
    return;
  }
  std::memcpy(m_szDbConfig, osresource.GetPointer(), sizetDbConfig);
  m_szDbConfig[sizetDbConfig] = '\0';
  osresource.Close();
  OsLogDebug(OS_LOG_INFO, "cfg>>> DBCONFIG=%s", m_szDbConfig);
  DbConfigSnapshot dbconfigsnapshot;
  if (!SnapshotTake(&dbconfigsnapshot)) return;
  if (DispatchSection("common")) {
    SnapshotDrop(&dbconfigsnapshot);
  } else {
    SnapshotRestore(&dbconfigsnapshot);
  }
}

// Reads the inquiry of the section's element, whose closing tag must follow
// its opening tag; a name that cannot be a tag of its own is refused.
bool CDbConfigImpl::DispatchSection(const char* a_szSection) {
  char szOpen[s_sizetTag];
  char szClose[s_sizetTag];
  if (std::strpbrk(a_szSection, "<>/") || COsString::SStrPrintf(szOpen, sizeof szOpen, "<%s>", a_szSection) < 0 ||
      COsString::SStrPrintf(szClose, sizeof szClose, "</%s>", a_szSection) < 0) {
    OsLog(OS_LOG_ERROR, "cfg>>> Model is not supported...<%s> <%s>", a_szSection, m_szDbConfig);
    return false;
  }
  const char* pcStart = std::strstr(m_szDbConfig, szOpen);
  if (pcStart) pcStart += std::strlen(szOpen);
  const char* pcEnd = pcStart ? std::strstr(pcStart, szClose) : nullptr;
  // A section holds an inquiry; a name that is one of the inquiry's own
  // elements finds none.
  const char* pcInquiry = pcEnd ? COsString::StrFirstNonWhitespace(pcStart) : nullptr;
  if (!pcEnd || pcEnd == pcStart || !pcInquiry || pcInquiry >= pcEnd ||
      std::strncmp(pcInquiry, s_szReportInquiry, std::strlen(s_szReportInquiry)) != 0) {
    OsLog(OS_LOG_ERROR, "cfg>>> Model is not supported...<%s> <%s>", a_szSection, m_szDbConfig);
    return false;
  }
  return DispatchText(pcStart, static_cast<size_t>(pcEnd - pcStart), false, false);
}

bool CDbConfigImpl::DispatchText(const char* a_szXml, size_t a_sizetXml, bool a_blFlatbed, bool a_blNexil) {
  m_blFlatbed = a_blFlatbed;
  m_blNexil = a_blNexil;
  m_szId[0] = '\0';
  m_blIdRefused = false;
  const EOSSTS eossts = m_posxml->DocumentLoadAndDispatch(a_szXml, static_cast<long>(a_sizetXml), nullptr);
  m_blFlatbed = false;
  m_blNexil = false;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "cfg>>> DispatchLoadAndDispatch failed...");
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Inquiry texts
// ---------------------------------------------------------------------------
bool CDbConfigImpl::LoadReportInquiry(const char* a_szXml, size_t a_sizetXml, bool a_blInterfaceOpen, bool a_blNexil,
                                      EDBID_FIRMWARE a_edbidfirmware) {
  if (!a_szXml || !*a_szXml) {
    OsLog(OS_LOG_ERROR, "cfg>>> a_szXml is null or empty...");
    return false;
  }
  // A given length never reaches past the text's terminator.
  const size_t sizetXml = a_sizetXml ? strnlen(a_szXml, a_sizetXml) : std::strlen(a_szXml);
  char* szCopy = static_cast<char*>(OsMemAlloc(sizetXml + 256));
  if (!szCopy) {
    OsLog(OS_LOG_ERROR, "cfg>>> OsMemAlloc failed...");
    return false;
  }
  const size_t sizetWindow = sizetXml < s_sizetWrapWindow ? sizetXml : s_sizetWrapWindow;
  if (COsString::StrNstr(a_szXml, s_szReportInquiry, sizetWindow)) {
    std::memcpy(szCopy, a_szXml, sizetXml);
  } else {
    // The content of a reply's inquiry element: wrap it.
    const size_t sizetOpen = std::strlen(s_szReportInquiry);
    std::memcpy(szCopy, s_szReportInquiry, sizetOpen);
    szCopy[sizetOpen] = '\n';
    std::memcpy(szCopy + sizetOpen + 1, a_szXml, sizetXml);
    std::memcpy(szCopy + sizetOpen + 1 + sizetXml, s_szReportInquiryEnd, std::strlen(s_szReportInquiryEnd) + 1);
  }

  char** pszSlot = nullptr;
  if (a_edbidfirmware == DB_FIRMWARE_FLATBED) {
    pszSlot = !a_blInterfaceOpen ? &m_szFlatbed
                                 : (a_blNexil ? &m_szFlatbedInterfaceOpenNexil : &m_szFlatbedInterfaceOpen);
  } else {
    pszSlot = !a_blInterfaceOpen ? &m_szAdf : (a_blNexil ? &m_szAdfInterfaceOpenNexil : &m_szAdfInterfaceOpen);
  }
  if (*pszSlot) {
    const bool blFlatbed = a_edbidfirmware == DB_FIRMWARE_FLATBED;
    if (!a_blInterfaceOpen) {
      OsLog(OS_LOG_ERROR,
            blFlatbed ? "cfg>>> flatbed has already been loaded..." : "cfg>>> adf has already been loaded...");
    } else {
      OsLog(OS_LOG_ERROR,
            blFlatbed ? "cfg>>> flatbedinterfaceopen has already been loaded...%d %d"
                      : "cfg>>> adfinterfaceopen has already been loaded...%d %d",
            1, a_blNexil ? 1 : 0);
    }
    OsMemFree(szCopy);
    return false;
  }
  *pszSlot = szCopy;
  return true;
}

bool CDbConfigImpl::ReadInquiryTexts(CDev* a_pdev) {
  const struct {
    char** pszText;
    bool blFlatbed;
    bool blNexil;
  } atext[] = {
      {&m_szAdfInterfaceOpen, false, false},    {&m_szAdfInterfaceOpenNexil, false, true},
      {&m_szAdf, false, false},                 {&m_szFlatbedInterfaceOpen, true, false},
      {&m_szFlatbedInterfaceOpenNexil, true, true}, {&m_szFlatbed, true, false},
  };
  for (const auto& text : atext) {
    if (!*text.pszText) continue;
    // A flatbed that went offline while the scanner opened is left out.
    if (text.blFlatbed && Find("modeldirectoryflatbed") && a_pdev && a_pdev->GetDeviceStatus() == 3) {
      OsLog(OS_LOG_ERROR, "cfg>>> flatbed was removed during initialization...");
      FreeText(*text.pszText);
      continue;
    }
    if (!DispatchText(*text.pszText, std::strlen(*text.pszText), text.blFlatbed, text.blNexil)) return false;
  }
  return true;
}

// The sheet limit of the model is the larger of its units' limits.
bool CDbConfigImpl::DeriveSheet(const char* a_szId) {
  const DbConfigRecord* pdbconfigrecordAdf = FindRange(a_szId, DB_CONFIGTARGET_ADF, "_rangemax");
  const DbConfigRecord* pdbconfigrecordFlatbed = FindRange(a_szId, DB_CONFIGTARGET_FLATBED, "_rangemax");
  if (!pdbconfigrecordAdf && !pdbconfigrecordFlatbed) {
    OsLog(OS_LOG_ERROR, "cfg>>> %s not found...", a_szId);
    return false;
  }
  int64_t i64Max = INT64_MIN;
  for (const DbConfigRecord* pdbconfigrecord : {pdbconfigrecordAdf, pdbconfigrecordFlatbed}) {
    if (pdbconfigrecord && static_cast<int64_t>(pdbconfigrecord->u64Number) > i64Max) {
      i64Max = static_cast<int64_t>(pdbconfigrecord->u64Number);
    }
  }
  RangeSetMax(a_szId, static_cast<uint64_t>(i64Max), DB_CONFIGTARGET_COMMON);
  return true;
}

void CDbConfigImpl::DeriveKeys() {
  // The printer is the first one listed that is not "none".
  for (const char* szPrinter = EnumGetFirst("printer", DB_CONFIGTARGET_COMMON); szPrinter;
       szPrinter = EnumGetNext("printer", szPrinter, DB_CONFIGTARGET_COMMON)) {
    if (std::strcmp(szPrinter, "none") != 0) {
      SetString("printer", szPrinter, DB_CONFIGTARGET_COMMON);
      break;
    }
  }
  if (EnumExists("cameratype", "front", DB_CONFIGTARGET_COMMON) &&
      EnumExists("cameratype", "rear", DB_CONFIGTARGET_COMMON)) {
    Add("duplex", DB_CONFIGTARGET_COMMON);
  }
  // Without the image library there is no bitonal image format of its own.
  if (OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0 &&
      DatabaseQueries().pfnIsNexilSupported(m_pdatabase) && Find("nexilimageformatbw")) {
    EnumDelete("imageformat", "bw", DB_CONFIGTARGET_COMMON);
  }
  for (const char* szCounter : s_aszCounters) SetNumber(szCounter, 0, DB_CONFIGTARGET_COMMON);
  Add("processreportinquirydone", DB_CONFIGTARGET_COMMON);
}

bool CDbConfigImpl::ProcessReportInquiry(const char* a_szModel, CDev* a_pdev) {
  OsLogDebug(OS_LOG_INFO, "cfg>>> process report inquiry begin");
  // The image library's inquiry, read first when the device manager
  // completes its open later, has released the reader.
  if (!m_posxml && !CreateReader()) {
    OsLog(OS_LOG_ERROR, "cfg>>> pod.m_posxml is NULL ...");
    return false;
  }
  if (!m_szDbConfig) {
    OsLog(OS_LOG_ERROR, "cfg>>> pod.m_szDbConfig is NULL ...");
    return false;
  }
  if (!m_szAdf && !m_szFlatbed) {
    OsLog(OS_LOG_ERROR, "cfg>>> must call LoadReportInquiry first...");
    return false;
  }
  // The model the device stored, copied: reading changes the table.
  const char* szModelGiven =
      a_szModel ? a_szModel : GetString("model", m_szAdf ? DB_CONFIGTARGET_ADF : DB_CONFIGTARGET_FLATBED);
  if (!szModelGiven || !*szModelGiven) {
    OsLog(OS_LOG_ERROR, "cfg>>> must specify a model name...");
    return false;
  }
  char szModel[s_sizetTag];
  if (COsString::SStrPrintf(szModel, sizeof szModel, "%s", szModelGiven) < 0) {
    OsLog(OS_LOG_ERROR, "cfg>>> Model is not supported...<%s> <%s>", szModelGiven, m_szDbConfig);
    return false;
  }

  DbConfigSnapshot dbconfigsnapshot;
  if (!SnapshotTake(&dbconfigsnapshot)) return false;
  bool blRead = DispatchSection(szModel);
  if (!blRead) OsLog(OS_LOG_ERROR, "cfg>>> DispatchDbConfig failed...");
  blRead = blRead && ReadInquiryTexts(a_pdev);
  blRead = blRead && DeriveSheet("sheetheight") && DeriveSheet("sheetwidth");
  if (!blRead) {
    SnapshotRestore(&dbconfigsnapshot);
    return false;
  }
  SnapshotDrop(&dbconfigsnapshot);
  DeriveKeys();
  Dump();
  OsLogDebug(OS_LOG_INFO, "cfg>>> process report inquiry done");

  // Everything read is in the table now.
  ReleaseTexts();
  FreeText(m_szDbConfig);
  ReleaseReader();
  return true;
}

bool CDbConfigImpl::ProcessReportInquiryXml(const char* a_szPrefix, const char* a_szXml,
                                            EDBID_FIRMWARE a_edbidfirmware) {
  OsLogDebug(OS_LOG_INFO, "cfg>>> process report inquiry Xml begin...");
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "cfg>>> process report inquiry Xml - no XML string provided...");
    return false;
  }
  const char* pcStart = std::strstr(a_szXml, s_szReportInquiry);
  if (!pcStart) {
    OsLog(OS_LOG_ERROR, "cfg>>> No <reportinquiry> sub-string found...");
    return false;
  }
  const char* pcEnd = std::strstr(pcStart, s_szReportInquiryEnd);
  if (!pcEnd) {
    OsLog(OS_LOG_ERROR, "cfg>>> No </reportinquiry> sub-string found...");
    return false;
  }
  pcEnd += std::strlen(s_szReportInquiryEnd);
  if (!m_posxml && !CreateReader()) return false;

  DbConfigSnapshot dbconfigsnapshot;
  if (!SnapshotTake(&dbconfigsnapshot)) return false;
  // The prefix stands before the ids of this reply only.
  FreeText(m_szPrefix);
  if (a_szPrefix && *a_szPrefix) {
    const size_t sizetPrefix = std::strlen(a_szPrefix) + 1;
    m_szPrefix = static_cast<char*>(OsMemAlloc(sizetPrefix));
    if (m_szPrefix) {
      std::memcpy(m_szPrefix, a_szPrefix, sizetPrefix);
    } else {
      OsLog(OS_LOG_ERROR, "cfg>>> OsMemAlloc failed...");
    }
  }
  const bool blRead = (!a_szPrefix || !*a_szPrefix || m_szPrefix) &&
                      DispatchText(pcStart, static_cast<size_t>(pcEnd - pcStart),
                                   a_edbidfirmware == DB_FIRMWARE_FLATBED, false);
  FreeText(m_szPrefix);
  if (!blRead) {
    SnapshotRestore(&dbconfigsnapshot);
    OsLog(OS_LOG_ERROR, "process report inquiry Xml failed...");
    return false;
  }
  SnapshotDrop(&dbconfigsnapshot);
  Add("processreportinquirydone", DB_CONFIGTARGET_COMMON);
  Dump();
  OsLogDebug(OS_LOG_INFO, "cfg>>> process report inquiry Xml done");
  ReleaseReader();
  return true;
}
