// Changes of the shared device list: what came and went between two reads,
// reported for flatbed units only, and the poll that looks for them when
// the file has changed.
#include <sys/stat.h>
#include <time.h>

#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosusbpnplist.h"
#include "os_cosxml.h"

namespace {
constexpr size_t kMaxChanges = 1023;
// A change time this close to now is not remembered: another change within
// the file system's time resolution would carry the same time.
constexpr int64_t kSettleNanoseconds = 2000000000LL;

using Key = std::pair<std::string, std::string>;  // model, device file name

bool KeyOf(const std::string& a_strEntry, Key* a_pkey) {
  char szModel[1024], szFile[1024];
  if (COsXml::GetContent(a_strEntry.c_str(), "<model>", "</model>", szModel, sizeof szModel) != OS_STS_SUCCESS ||
      COsXml::GetContent(a_strEntry.c_str(), "<devicefilename>", "</devicefilename>", szFile, sizeof szFile) !=
          OS_STS_SUCCESS) {
    return false;
  }
  *a_pkey = Key(szModel, szFile);
  return true;
}

// The entry's text between its opening and closing device tags.
std::string Inner(const std::string& a_strEntry) {
  static const std::string s_strOpen = "<device>", s_strClose = "</device>";
  std::string strInner = a_strEntry.substr(s_strOpen.size());
  if (strInner.size() >= s_strClose.size() &&
      strInner.compare(strInner.size() - s_strClose.size(), s_strClose.size(), s_strClose) == 0) {
    strInner.resize(strInner.size() - s_strClose.size());
  }
  return strInner;
}

int64_t Now() {
  struct timespec timespec;
  clock_gettime(CLOCK_REALTIME, &timespec);
  return static_cast<int64_t>(timespec.tv_sec) * 1000000000LL + timespec.tv_nsec;
}
}  // namespace

bool COsUsbPnpList::ModificationTime(int64_t* a_pi64Time) {
  struct stat st;
  if (stat(m_szPath, &st) != 0) return false;
  *a_pi64Time = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return true;
}

// The caller holds the file lock.
EOSSTS COsUsbPnpList::FileCompare(char* a_szReport, size_t a_sizetReport) {
  EOSSTS eossts = FileRead();
  if (eossts != OS_STS_SUCCESS) return eossts;
  // Entries of one copy that the other copy does not hold, by model and
  // device file name, each once.
  auto changes = [this](const char* a_pcFrom, uint64_t a_u64FromSlots, const char* a_pcTo, uint64_t a_u64ToSlots,
                        const char* a_szMissing, const char* a_szOverflow) {
    std::set<Key> setkeyTo;
    for (uint64_t u64Slot = 1; u64Slot < a_u64ToSlots; ++u64Slot) {
      Key key;
      if (KeyOf(Entry(a_pcTo, u64Slot), &key)) setkeyTo.insert(key);
    }
    std::set<Key> setkeySeen;
    std::vector<std::string> vectorstrChanged;
    for (uint64_t u64Slot = 1; u64Slot < a_u64FromSlots; ++u64Slot) {
      std::string strEntry = Entry(a_pcFrom, u64Slot);
      if (strEntry.empty()) continue;
      const bool blSame = u64Slot < a_u64ToSlots &&
                          std::memcmp(a_pcFrom + u64Slot * m_u32SlotSize, a_pcTo + u64Slot * m_u32SlotSize,
                                      m_u32SlotSize) == 0;
      if (blSame) continue;
      Key key;
      if (!KeyOf(strEntry, &key)) {
        OsLog(OS_LOG_ERROR, a_szMissing, strEntry.c_str());
        continue;
      }
      if (setkeyTo.count(key) || !setkeySeen.insert(key).second) continue;
      if (vectorstrChanged.size() >= kMaxChanges) {
        OsLog(OS_LOG_ERROR, "%s", a_szOverflow);
        break;
      }
      vectorstrChanged.push_back(strEntry);
    }
    return vectorstrChanged;
  };
  std::vector<std::string> vectorstrRemoved =
      changes(m_pcSlotsPrevious, m_u64SlotsPrevious, m_pcSlots, m_u64Slots, "missing modelname...<%s>",
              "Overflowed the removal buffer...");
  std::vector<std::string> vectorstrAdded = changes(m_pcSlots, m_u64Slots, m_pcSlotsPrevious, m_u64SlotsPrevious,
                                                    "missing model...<%s>", "Overflowed the addition buffer...");
  std::string strReport;
  auto report = [&strReport](const std::vector<std::string>& a_vectorstr, const char* a_szPnp) {
    for (const std::string& strEntry : a_vectorstr) {
      if (strEntry.find("<devicetype>flatbed") == std::string::npos) continue;
      strReport += std::string("<device><pnp>") + a_szPnp + "</pnp><resource>" + Inner(strEntry) +
                   "</resource></device>";
    }
  };
  report(vectorstrRemoved, "removed");
  report(vectorstrAdded, "added");
  if (strReport.empty()) return OS_STS_SUCCESS;
  strReport = "<pnpchange>\n" + strReport + "</pnpchange>";
  OsLogDebug(OS_LOG_INFO, "usb>>> pnpchange: %s", strReport.c_str());
  if (strReport.size() + 1 > a_sizetReport) {
    OsLog(OS_LOG_ERROR, "Poll: buffer is too small...%zu %zu", strReport.size() + 1, a_sizetReport);
    return OS_STS_NOROOM_BUFFER;
  }
  std::memcpy(a_szReport, strReport.c_str(), strReport.size() + 1);
  return OS_STS_SUCCESS;
}

EOSSTS COsUsbPnpList::Poll(char* a_szBuffer, size_t a_sizetBuffer) {
  if (!a_szBuffer || a_sizetBuffer == 0) {
    OsLog(OS_LOG_ERROR, "bad argument...");
    return OS_STS_FAIL;
  }
  a_szBuffer[0] = '\0';
  int64_t i64Modified = 0;
  if (!ModificationTime(&i64Modified)) {
    OsLog(OS_LOG_ERROR, "GetFileTimes failed...");
    return OS_STS_FAIL;
  }
  if (i64Modified == m_i64LastModified) return OS_STS_SUCCESS;
  OsLogDebug(OS_LOG_INFO, "pnp.list update detected, trying to get a lock...");
  // The device lock keeps the compare away from another thread of the same
  // device service that is changing the device's state.
  if (m_posusbdevicelock && m_posusbdevicelock->Lock(0) != OS_STS_SUCCESS) return OS_STS_SUCCESS;
  EOSSTS eossts = FileLock();
  if (eossts == OS_STS_SUCCESS) {
    eossts = FileCompare(a_szBuffer, a_sizetBuffer);
    if (eossts != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "FileCompare failed...");
      a_szBuffer[0] = '\0';
    } else if (!a_szBuffer[0] && Now() - i64Modified >= kSettleNanoseconds) {
      m_i64LastModified = i64Modified;
    }
    FileUnlock();
  }
  if (m_posusbdevicelock) m_posusbdevicelock->Unlock();
  return eossts;
}
