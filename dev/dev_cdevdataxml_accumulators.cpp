// A scanner's error counters in "accumulators.xml": read, changed and
// written whole under the data lock, so that a writer stopped at any moment
// leaves the old counters or the new ones.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "db_cdblock.h"
#include "dev_cdevdataxml.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

constexpr const char s_szAccumulators[] = "accumulators.xml";
// Ours is far smaller: a larger file is no counter file.
constexpr size_t s_sizetFileMax = 4096;

enum EDEVCOUNTER : int { DEV_COUNTER_MULTIFEED, DEV_COUNTER_PAPERJAM, DEV_COUNTER_OTHERERROR, DEV_COUNTER_COUNT };
constexpr const char* s_aszCounter[DEV_COUNTER_COUNT] = {"multifeedcount", "paperjamcount", "othererrorcount"};

// A decimal counter of at most 2^32-1, nothing else.
bool ParseCounter(const char* a_szText, unsigned int* a_pu) {
  if (!*a_szText || std::strlen(a_szText) > 10 || std::strspn(a_szText, "0123456789") != std::strlen(a_szText)) {
    return false;
  }
  const unsigned long long ull = std::strtoull(a_szText, nullptr, 10);
  if (ull > UINT_MAX) return false;
  *a_pu = static_cast<unsigned int>(ull);
  return true;
}

// The file's text; empty for a missing file. False (logged) for one that is
// no regular file, too large or unreadable.
bool ReadSmallFile(const char* a_szPath, char* a_szText, size_t a_sizetText) {
  a_szText[0] = '\0';
  OsFileInfo osfileinfo;
  const EOSSTS eosstsFind = COsFile::FindFirst(a_szPath, &osfileinfo);
  const bool blSmallFile = osfileinfo.eosfiletype == OS_FILETYPE_FILE && osfileinfo.u64Size < a_sizetText;
  COsFile::FindClose(&osfileinfo);
  if (eosstsFind != OS_STS_SUCCESS) return true;
  if (!blSmallFile) {
    OsLog(OS_LOG_ERROR, "accumulators: not a counter file, counted as 0...<%s>", a_szPath);
    return false;
  }
  COsFile osfile;
  size_t sizetRead = 0;
  if (osfile.Open(a_szPath, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS ||
      osfile.Read(a_szText, a_sizetText - 1, &sizetRead) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "accumulators: unreadable, counted as 0...<%s>", a_szPath);
    return false;
  }
  a_szText[sizetRead] = '\0';
  return true;
}

// The three counters of the file; any that cannot be read is 0 (logged).
void ReadCounters(const char* a_szPath, unsigned int a_au[DEV_COUNTER_COUNT]) {
  char szText[s_sizetFileMax];
  for (int i = 0; i < DEV_COUNTER_COUNT; ++i) a_au[i] = 0;
  if (!ReadSmallFile(a_szPath, szText, sizeof szText)) return;
  if (!szText[0]) {
    if (COsFile::Exists(a_szPath)) OsLog(OS_LOG_ERROR, "accumulators: empty file, counted as 0...<%s>", a_szPath);
    return;
  }
  for (int i = 0; i < DEV_COUNTER_COUNT; ++i) {
    char szStart[32];
    char szEnd[32];
    char szValue[32];
    COsString::SStrPrintf(szStart, sizeof szStart, "<%s>", s_aszCounter[i]);
    COsString::SStrPrintf(szEnd, sizeof szEnd, "</%s>", s_aszCounter[i]);
    if (COsXml::GetContent(szText, szStart, szEnd, szValue, sizeof szValue) != OS_STS_SUCCESS ||
        !ParseCounter(szValue, &a_au[i])) {
      OsLog(OS_LOG_ERROR, "accumulators: <%s> unreadable, counted as 0...<%s>", s_aszCounter[i], a_szPath);
      a_au[i] = 0;
    }
  }
}

unsigned int Sum(unsigned int a_u, unsigned int a_uMore) { return a_u > UINT_MAX - a_uMore ? UINT_MAX : a_u + a_uMore; }

}  // namespace

EOSSTS CDevDataXml::SetAccumulators(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, bool a_blLock,
                                    const char* a_szSerialNumber, bool a_blAdd, bool a_blMultifeed,
                                    unsigned int a_uMultifeed, bool a_blPaperJam, unsigned int a_uPaperJam,
                                    bool a_blOtherError, unsigned int a_uOtherError) {
  if (!a_blMultifeed && !a_blPaperJam && !a_blOtherError) return OS_STS_SUCCESS;
  if (a_blAdd && a_uMultifeed == 0 && a_uPaperJam == 0 && !a_blOtherError) return OS_STS_SUCCESS;
  char szDataDirectory[s_sizetPath];
  char szSerialNumber[s_sizetSerialNumber];
  char szDirectory[s_sizetPath];
  char szPath[s_sizetPath];
  if (!UnitDataDirectory(a_edbidfirmware, a_pdatabase, szDataDirectory, sizeof szDataDirectory)) {
    return OS_STS_BAD_ARGUMENT;
  }
  if (a_edbidfirmware != DEV_FIRMWARE_NONE && a_pdatabase) {
    if (!UnitSerialNumber(a_edbidfirmware, a_pdatabase, szSerialNumber, sizeof szSerialNumber)) {
      OsLog(OS_LOG_ERROR, "accumulators: no serial number known for unit %d...", static_cast<int>(a_edbidfirmware));
      return OS_STS_FAIL;
    }
  } else {
    COsString::SStrCpy(szSerialNumber, sizeof szSerialNumber, a_szSerialNumber ? a_szSerialNumber : "");
  }
  if (!ScannerDirectory(szDataDirectory, szSerialNumber, szDirectory, sizeof szDirectory)) {
    return IsUsableName(szSerialNumber) ? OS_STS_FAIL : OS_STS_BAD_ARGUMENT;
  }
  if (!COsFile::PathJoin(szPath, sizeof szPath, szDirectory, s_szAccumulators)) {
    OsLog(OS_LOG_ERROR, "accumulators: the path does not fit...<%s>", szDirectory);
    return OS_STS_FAIL;
  }
  CDbLockRelease dblockrelease;
  if (a_blLock && !DataLock()) {
    OsLog(OS_LOG_ERROR, "DataLock failed...<%s>", szPath);
    return OS_STS_FAIL;
  }
  RemoveTemporaries(szDirectory, s_szAccumulators);
  unsigned int au[DEV_COUNTER_COUNT];
  ReadCounters(szPath, au);
  const bool ablFlag[DEV_COUNTER_COUNT] = {a_blMultifeed, a_blPaperJam, a_blOtherError};
  const unsigned int auValue[DEV_COUNTER_COUNT] = {a_uMultifeed, a_uPaperJam, a_uOtherError};
  for (int i = 0; i < DEV_COUNTER_COUNT; ++i) {
    if (ablFlag[i]) au[i] = a_blAdd ? Sum(au[i], auValue[i]) : auValue[i];
  }
  char szText[256];
  const int iLength = COsString::SStrPrintf(
      szText, sizeof szText,
      "<accumulators>\n\t<multifeedcount>%u</multifeedcount>\n\t<paperjamcount>%u</paperjamcount>\n"
      "\t<othererrorcount>%u</othererrorcount>\n</accumulators>",
      au[DEV_COUNTER_MULTIFEED], au[DEV_COUNTER_PAPERJAM], au[DEV_COUNTER_OTHERERROR]);
  const EOSSTS eossts = COsFile::WriteAtomic(szPath, szText, static_cast<size_t>(iLength), false);
  if (a_blLock) DataUnlock(false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "accumulators: not written, the old counters stay...%d <%s>", static_cast<int>(eossts), szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
