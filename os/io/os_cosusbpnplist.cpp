// The shared device list: construction, entries in and out, and the
// questions asked of the last read.
#include "os_cosusbpnplist.h"

#include <atomic>
#include <cstring>

#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cossyncimpl.h"
#include "os_cosxml.h"

namespace {
constexpr long kFileLockTimeout = 60000;
constexpr long kFileLockTimeoutDebugging = 6000000;
std::atomic<long> s_lFileLockTimeout{-1};

// An element's text of an entry ("" when missing or too long).
std::string Field(const std::string& a_strEntry, const char* a_szElement, size_t a_sizetMax = 1024) {
  std::string strStart = std::string("<") + a_szElement + ">";
  std::string strEnd = std::string("</") + a_szElement + ">";
  std::string strValue(a_sizetMax, '\0');
  if (COsXml::GetContent(a_strEntry.c_str(), strStart.c_str(), strEnd.c_str(), strValue.data(), a_sizetMax) !=
      OS_STS_SUCCESS) {
    return "";
  }
  strValue.resize(std::strlen(strValue.c_str()));
  return strValue;
}

uint32_t EntryWire(const std::string& a_strEntry) {
  std::string strWire = Field(a_strEntry, "wire");
  if (strWire == "net" || (strWire.empty() && a_strEntry.find("<net>") != std::string::npos)) return OS_USBWIRE_NET;
  if (strWire == "1394") return OS_USBWIRE_1394;
  return OS_USBWIRE_USB;
}
}  // namespace

void COsUsbPnpList::SetFileLockTimeout(long a_lMilliseconds) { s_lFileLockTimeout.store(a_lMilliseconds); }

bool COsUsbPnpList::GetPath(char* a_szPath, size_t a_sizetPath) {
  char szDirectory[512];
  if (!OsSyncCommonDirectory(szDirectory, sizeof szDirectory)) return false;
  return COsFile::PathJoin(a_szPath, a_sizetPath, szDirectory, "pnp.list");
}

COsUsbPnpList::COsUsbPnpList(COsUsbDeviceLock* a_posusbdevicelock, const char* a_szEntry, const char* a_szUnused)
    : m_posusbdevicelock(a_posusbdevicelock), m_strUnused(a_szUnused ? a_szUnused : "") {
  long lTimeout = s_lFileLockTimeout.load();
  if (lTimeout < 0) lTimeout = g_poscfg && g_poscfg->IsDebugging() ? kFileLockTimeoutDebugging : kFileLockTimeout;
  m_lFileLockTimeout = lTimeout;
  EOSSTS eossts = Open();
  if (eossts == OS_STS_SUCCESS) {
    if (a_szEntry && *a_szEntry) {
      eossts = Add(a_szEntry);
      if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Add failed...");
    } else if ((eossts = FileLock()) == OS_STS_SUCCESS) {
      eossts = FileRead();
      if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "FileRead failed...");
      FileUnlock();
    }
  }
  if (eossts != OS_STS_SUCCESS) {
    FreeCopies();
    throw OsUsbPnpListFailure{eossts};
  }
}

COsUsbPnpList::~COsUsbPnpList() {
  Remove();
  m_osfile.Close();
  FreeCopies();
}

// Copies that were never made are no error of a healthy list.
void COsUsbPnpList::FreeCopies() {
  if (m_pcSlots) OsMemFree(m_pcSlots);
  if (m_pcSlotsPrevious) OsMemFree(m_pcSlotsPrevious);
  m_pcSlots = m_pcSlotsPrevious = nullptr;
  m_u64Capacity = 0;
}

EOSSTS COsUsbPnpList::Open() {
  char szDirectory[512];
  if (!GetPath(m_szPath, sizeof m_szPath) || !OsSyncCommonDirectory(szDirectory, sizeof szDirectory)) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", m_szPath);
    return OS_STS_FAIL;
  }
  if (!COsFile::Exists(szDirectory)) COsFile::Create(szDirectory);
  if (m_osfile.Open(m_szPath, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_READWRITE, OS_FILESHARE_READWRITE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", m_szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbPnpList::Add(const char* a_szEntry) {
  if (!a_szEntry || !*a_szEntry) {
    OsLog(OS_LOG_ERROR, "bad argument...");
    return OS_STS_BAD_ARGUMENT;
  }
  EOSSTS eossts = FileLock();
  if (eossts != OS_STS_SUCCESS) return eossts;
  eossts = FileRead();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "FileRead failed...");
  } else if ((eossts = FileAddEntry(a_szEntry)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "FileAddEntry failed...");
  }
  FileUnlock();
  return eossts;
}

EOSSTS COsUsbPnpList::Remove() {
  if (m_u64OwnSlots == 0) return OS_STS_SUCCESS;
  EOSSTS eossts = FileLock();
  if (eossts != OS_STS_SUCCESS) return eossts;
  eossts = FileRemoveEntry();
  FileUnlock();
  return eossts;
}

EOSSTS COsUsbPnpList::IsResourceAvailable(const char* a_szDeviceFileName) {
  OsLogDebug(OS_LOG_INFO, "IsResourceAvailable: enter...");
  if (FileLock() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "IsResourceAvailable: exit (FileLock failed)...");
    return OS_STS_BUSY;
  }
  EOSSTS eossts = FileRead();
  FileUnlock();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "IsResourceAvailable: exit (FileRead failed)...");
    return OS_STS_BUSY;
  }
  const std::string strName = a_szDeviceFileName ? a_szDeviceFileName : "";
  bool blListed = false, blBusy = false;
  for (uint64_t u64Slot = 1; u64Slot < m_u64Slots; ++u64Slot) {
    std::string strEntry = Entry(m_pcSlots, u64Slot);
    if (strEntry.empty()) continue;
    if (Field(strEntry, "devicefilename") == strName) blListed = true;
    if (Field(strEntry, "resourcedevicefilename") == strName) blBusy = true;
  }
  if (!blListed) {
    OsLogDebug(OS_LOG_INFO, "IsResourceAvailable: exit (not found)...");
    return OS_STS_FILE_NOT_FOUND;
  }
  if (blBusy) {
    OsLogDebug(OS_LOG_INFO, "IsResourceAvailable: exit (busy)...");
    return OS_STS_BUSY;
  }
  OsLogDebug(OS_LOG_INFO, "IsResourceAvailable: exit (success)...");
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbPnpList::Find(OsUsbInfo* a_posusbinfoResult, const OsUsbInfo* a_posusbinfoQuery) {
  OsLogDebug(OS_LOG_INFO, "Find: enter...");
  if (!a_posusbinfoResult || !a_posusbinfoQuery) {
    OsLog(OS_LOG_ERROR, "bad argument...");
    return OS_STS_BAD_ARGUMENT;
  }
  if (FileLock() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Find: exit (FileLock failed)...");
    return OS_STS_BUSY;
  }
  EOSSTS eossts = FileRead();
  FileUnlock();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Find: exit (FileRead failed)...");
    return OS_STS_BUSY;
  }
  for (uint64_t u64Slot = 1; u64Slot < m_u64Slots; ++u64Slot) {
    std::string strEntry = Entry(m_pcSlots, u64Slot);
    if (strEntry.empty() || EntryWire(strEntry) != a_posusbinfoQuery->eosusbwire) continue;
    std::string strVid = Field(strEntry, "vid"), strPid = Field(strEntry, "pid");
    if (strVid.empty() || strPid.empty() ||
        COsString::StrToFastHex(strVid.c_str()) != a_posusbinfoQuery->u16Vid ||
        COsString::StrToFastHex(strPid.c_str()) != a_posusbinfoQuery->u16Pid ||
        Field(strEntry, "serialnumber") != a_posusbinfoQuery->szSerialNumber) {
      continue;
    }
    if (a_posusbinfoResult != a_posusbinfoQuery) std::memcpy(a_posusbinfoResult, a_posusbinfoQuery, sizeof(OsUsbInfo));
    a_posusbinfoResult->blFound = true;
    OsLogDebug(OS_LOG_INFO, "Find: exit (success)...");
    return OS_STS_SUCCESS;
  }
  OsLogDebug(OS_LOG_INFO, "Find: exit (not found)...");
  return OS_STS_FILE_NOT_FOUND;
}

EOSSTS COsUsbPnpList::PnpGetSerialNumbers(char* a_szBuffer, size_t a_sizetBuffer) {
  if (!a_szBuffer || a_sizetBuffer == 0) {
    OsLog(OS_LOG_ERROR, "bad argument...");
    return OS_STS_BAD_ARGUMENT;
  }
  std::memset(a_szBuffer, 0, a_sizetBuffer);
  size_t sizetUsed = 0;
  for (uint64_t u64Slot = 1; u64Slot < m_u64Slots; ++u64Slot) {
    std::string strEntry = Entry(m_pcSlots, u64Slot);
    if (strEntry.empty()) continue;
    std::string strSerial = Field(strEntry, "serialnumber");
    // Each number, its NUL, and the final empty text must fit.
    if (sizetUsed + strSerial.size() + 2 > a_sizetBuffer) {
      OsLog(OS_LOG_ERROR, "PnpGetSerialNumbers: buffer is too small...%zu", a_sizetBuffer);
      std::memset(a_szBuffer + sizetUsed, 0, a_sizetBuffer - sizetUsed);
      return OS_STS_NOROOM_BUFFER;
    }
    std::memcpy(a_szBuffer + sizetUsed, strSerial.data(), strSerial.size());
    sizetUsed += strSerial.size() + 1;
  }
  return OS_STS_SUCCESS;
}

bool COsUsbPnpList::IsOwnSlot(uint64_t a_u64Slot) const {
  return m_u64OwnSlots != 0 && a_u64Slot >= m_u64OwnSlot && a_u64Slot < m_u64OwnSlot + m_u64OwnSlots;
}

std::string COsUsbPnpList::Entry(const char* a_pcCopy, uint64_t a_u64Slot) const {
  static const char s_szDevice[] = "<device>";
  const char* pcText = a_pcCopy + a_u64Slot * m_u32SlotSize;
  if (std::strncmp(pcText, s_szDevice, sizeof s_szDevice - 1) != 0) return "";
  // The text may run on through the following slots; the spare room
  // behind the last slot is zero, so it always ends.
  std::string strEntry(pcText);
  size_t sizetEnd = strEntry.find("</device>");
  if (sizetEnd != std::string::npos) strEntry.resize(sizetEnd + std::strlen("</device>"));
  return strEntry;
}
