// The scan history writer: one scan record per finished job, appended to
// the scanner's history file under the data lock.
//
// Everything taken from the database (attribute table, settings block,
// serial number, model, paths) is read first, under the database lock the
// caller holds; the file is then changed with that lock given up. A record
// is built whole in memory and appended with one write at the file's end,
// cut back when the write falls short, and only then does the global header
// name its settings block: a writer stopped at any moment leaves a file whose
// last record is whole or torn, never one whose next record lands after
// garbage. Before appending, the records after the last full block are
// walked: a torn tail is cut off and "2" is pointed at the newest full
// block.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "dev_cdevdata.h"
#include "dev_cdevdataxml.h"
#include "dev_cdevhistory.h"
#include "dev_drvconfig.h"
#include "os_coscfg.h"
#include "os_coscfgtags.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosresource.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {

// Without a configuration store the driver records this version.
constexpr const char s_szDriverVersionDefault[] = "4.10.2";
constexpr uint16_t s_u16HeaderVersion = 1;
constexpr const char s_szHistorySuffix[] = ".hst";
constexpr size_t s_sizetAppName = DEV_HISTORY_NAME - 1;

std::atomic<void (*)(OsTimeRecord*)> s_pfnClock{nullptr};
std::atomic<const char*> s_pszDriverVersion{nullptr};

// Capabilities never recorded: identity, meters, the unit itself and the
// like, which say nothing about how a job was scanned. The printer index
// (202) is a counter the end of every job with images advances before the
// record is made: it would hold the next job's index and make every block
// differ from the last.
constexpr int s_aiNotRecorded[] = {35,  36,  55,  56,  59,  62,  64,  65,  66,  67,  68,  95,  106,
                                   140, 141, 142, 143, 149, 150, 151, 152, 153, 154, 155, 156, 157,
                                   158, 161, 202, 225, 233, 234, 251};

constexpr const char* s_aszEdevsts[DEV_STS_LAST + 1] = {
    "SUCCESS",        "FAIL",          "BADARG",          "BUSY",
    "CALIBRATIONREQUIRED", "CANCEL",   "CLEANGUIDES",     "COVEROPEN",
    "CRITICALERROR",  "DISCONNECTED",  "DOUBLEDOCUMENT",  "ECDOCUSTOMLEARNFAIL",
    "ENDOFJOB",       "ENDOFOUTPUT",   "LAMPSWARMINGUP",  "LOWMEMORY",
    "NOFEEDERFOUND",  "NOIMAGEAVAILABLE", "NOPRINTHEADFOUND", "NOTCOMPLETE",
    "NOTENOUGHCOLOR", "NOTENOUGHPAGES", "NOWHITEPATCHFOUND", "PAPERJAM",
    "PROCESSERROR",   "NOMEDIA",       "ENDOFSHEET",      "ENDOFMESSAGES",
    "BLANKIMAGE",     "USERACTION",    "USERINPUT",       "LAST"};

// The camera bins in the order of the attribute bits and of the values.
constexpr EDBBIN s_aedbbinCamera[] = {DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_COLOR_FRONT,
                                      DB_BIN_COLOR_REAR};
constexpr uint8_t CameraBit(int a_iCamera) { return static_cast<uint8_t>(0x10 << a_iCamera); }
constexpr bool IsRear(int a_iCamera) { return a_iCamera == 1 || a_iCamera == 3; }

using Bytes = std::vector<uint8_t>;

void Put8(Bytes& a_bytes, uint8_t a_u8) { a_bytes.push_back(a_u8); }
void Put16(Bytes& a_bytes, uint16_t a_u16) {
  a_bytes.push_back(static_cast<uint8_t>(a_u16));
  a_bytes.push_back(static_cast<uint8_t>(a_u16 >> 8));
}
void Put32(Bytes& a_bytes, uint32_t a_u32) {
  uint8_t au8[4];
  DevHistoryPut32(au8, a_u32);
  a_bytes.insert(a_bytes.end(), au8, au8 + 4);
}
void PutText(Bytes& a_bytes, const char* a_sz, size_t a_sizet) { a_bytes.insert(a_bytes.end(), a_sz, a_sz + a_sizet); }
// A name field of the global header: cut to 32 bytes, NUL-padded.
void PutName(Bytes& a_bytes, const char* a_sz) {
  const size_t sizet = strnlen(a_sz, DEV_HISTORY_NAME);
  PutText(a_bytes, a_sz, sizet);
  a_bytes.insert(a_bytes.end(), DEV_HISTORY_NAME - sizet, 0);
}
// A count in 1, 2 or 4 bytes after the tag of its width.
void PutCount(Bytes& a_bytes, const char* a_szTag1, const char* a_szTag2, const char* a_szTag4, uint32_t a_u32) {
  if (a_u32 == 0) return;
  if (a_u32 < 0x100) {
    Put8(a_bytes, static_cast<uint8_t>(a_szTag1[0]));
    Put8(a_bytes, static_cast<uint8_t>(a_u32));
  } else if (a_u32 < 0x10000) {
    Put8(a_bytes, static_cast<uint8_t>(a_szTag2[0]));
    Put16(a_bytes, static_cast<uint16_t>(a_u32));
  } else {
    Put8(a_bytes, static_cast<uint8_t>(a_szTag4[0]));
    Put32(a_bytes, a_u32);
  }
}
// A record of "c", "d" or "e": tag, u32 length, bytes.
void PutTable(Bytes& a_bytes, const char* a_szTag, const void* a_pv, size_t a_sizet) {
  Put8(a_bytes, static_cast<uint8_t>(a_szTag[0]));
  Put32(a_bytes, static_cast<uint32_t>(a_sizet));
  const auto* pu8 = static_cast<const uint8_t*>(a_pv);
  a_bytes.insert(a_bytes.end(), pu8, pu8 + a_sizet);
}

void TimeBytes(const OsTimeRecord& a_ostimerecord, uint8_t a_au8[DEV_HISTORY_TIME]) {
  a_au8[0] = static_cast<uint8_t>((a_ostimerecord.u16Year - 1900) & 0xff);
  a_au8[1] = static_cast<uint8_t>(a_ostimerecord.u16Month);
  a_au8[2] = static_cast<uint8_t>(a_ostimerecord.u16Day);
  a_au8[3] = static_cast<uint8_t>(a_ostimerecord.u16Hour);
  a_au8[4] = static_cast<uint8_t>(a_ostimerecord.u16Minute);
  a_au8[5] = static_cast<uint8_t>(a_ostimerecord.u16Second);
}

// The start whole, then the end from its first byte that differs (at least
// the second): "A" for one byte up to "F" for six.
void PutTime(Bytes& a_bytes, const OsTimeRecord& a_ostimerecordStart, const OsTimeRecord& a_ostimerecordEnd) {
  uint8_t au8Start[DEV_HISTORY_TIME];
  uint8_t au8End[DEV_HISTORY_TIME];
  TimeBytes(a_ostimerecordStart, au8Start);
  TimeBytes(a_ostimerecordEnd, au8End);
  size_t sizetFirst = DEV_HISTORY_TIME - 1;
  for (size_t i = 0; i < DEV_HISTORY_TIME - 1; ++i) {
    if (au8Start[i] != au8End[i]) {
      sizetFirst = i;
      break;
    }
  }
  const size_t sizetEnd = DEV_HISTORY_TIME - sizetFirst;
  Put8(a_bytes, static_cast<uint8_t>(s_szVocScanTime1[0] + sizetEnd - 1));
  a_bytes.insert(a_bytes.end(), au8Start, au8Start + DEV_HISTORY_TIME);
  a_bytes.insert(a_bytes.end(), au8End + sizetFirst, au8End + DEV_HISTORY_TIME);
}

// The application's file name without ".exe", at most 31 characters.
void ApplicationName(char* a_szName, size_t a_sizetName) {
  a_szName[0] = '\0';
  const char* szApplication = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_APPLICATION) : nullptr;
  if (!szApplication) return;
  std::string str(szApplication);
  for (const char* szExe : {".exe", ".EXE"}) {
    const size_t sizet = str.find(szExe);
    if (sizet != std::string::npos) str.resize(sizet);
  }
  const size_t sizetSlash = str.find_last_of("/\\");
  if (sizetSlash != std::string::npos) str.erase(0, sizetSlash + 1);
  // A longer name is kept cut, and compared cut with the slots.
  str.resize(std::min({str.size(), s_sizetAppName, a_sizetName - 1}));
  COsString::SStrCpy(a_szName, a_sizetName, str.c_str());
}

// What a job records, read from the database and the configuration before
// the file is touched.
struct HistoryJob {
  char szDirectory[CDevDataXml::s_sizetPath] = {};
  char szPath[CDevDataXml::s_sizetPath] = {};
  char szSerialNumber[DEV_HISTORY_NAME + 1] = {};
  char szModel[DEV_HISTORY_NAME + 1] = {};
  char szApplication[DEV_HISTORY_NAME] = {};
  uint32_t u32Version = 0;
  uint8_t au8Attribute[DEV_HISTORY_IDS] = {};
  Bytes bytesTime;    // the time record
  Bytes bytesCounts;  // the counts and the status
  Bytes bytesBlock;  // the settings block
};

bool IsNotRecorded(int a_iId) {
  return std::find(std::begin(s_aiNotRecorded), std::end(s_aiNotRecorded), a_iId) != std::end(s_aiNotRecorded);
}

// Under the database lock.
uint8_t AttributeOf(CDatabase& a_database, EDBID a_edbid) {
  if (!a_database.IsIdSupported(a_edbid)) return 0;
  long lMax = 0;
  int iKind = 0;
  uint8_t u8Cameras = 0;
  if (CDbDatum* pdbdatum = a_database.FindInBin(DB_BIN_MACHINE, a_edbid)) {
    iKind = a_database.GetContainerType(pdbdatum);
    if (iKind == DB_CONTAINERTYPE_RANGE) lMax = a_database.RangeGetDefaultMax(pdbdatum);
  } else {
    for (int i = 0; i < 4; ++i) {
      CDbDatum* pdbdatumCamera = a_database.FindInBin(s_aedbbinCamera[i], a_edbid);
      if (!pdbdatumCamera || a_database.GetAccess(pdbdatumCamera) == DB_ACCESS_NOTSUPPORTED) continue;
      u8Cameras |= CameraBit(i);
      // The kind of the first camera value present: every camera value is
      // stored and read in that encoding.
      if (!iKind) iKind = a_database.GetContainerType(pdbdatumCamera);
      if (iKind == DB_CONTAINERTYPE_RANGE) lMax = std::max(lMax, a_database.RangeGetDefaultMax(pdbdatumCamera));
    }
    if (!u8Cameras) return 0;
  }
  uint8_t u8 = static_cast<uint8_t>(iKind & 0x0f) | u8Cameras;
  if (iKind == DB_CONTAINERTYPE_RANGE && lMax < 0x100) u8 |= DEV_HISTORY_ATTR_BYTE;
  return u8;
}

void PutValue(Bytes& a_bytes, CDbDatum* a_pdbdatum, uint8_t a_u8Attribute, EDBID a_edbid) {
  const int iKind = a_u8Attribute & DEV_HISTORY_ATTR_KIND;
  if (iKind == DB_CONTAINERTYPE_STRING) {
    const char* sz = a_pdbdatum ? a_pdbdatum->GetCurrentStringNoCallback() : nullptr;
    const size_t sizet = sz ? std::strlen(sz) : 0;
    // The imprinter's messages may be personal: only their length is kept.
    if (a_edbid >= DB_ID_PRINTERWRITESEQUENCEMESSAGE1 && a_edbid <= DB_ID_PRINTERWRITESEQUENCEMESSAGE6) {
      a_bytes.insert(a_bytes.end(), sizet, 'X');
    } else if (sizet) {
      PutText(a_bytes, sz, sizet);
    }
    Put8(a_bytes, 0);
    return;
  }
  const long lValue = a_pdbdatum ? a_pdbdatum->GetCurrentLongNoCallback() : 0;
  if (iKind == DB_CONTAINERTYPE_RANGE && !(a_u8Attribute & DEV_HISTORY_ATTR_BYTE)) {
    Put32(a_bytes, static_cast<uint32_t>(lValue));
  } else {
    Put8(a_bytes, static_cast<uint8_t>(lValue));
  }
}

// Four read-write enumeration values equal as bytes go in one byte with
// bit 7 set; the value itself must leave bit 7 free.
bool AllCamerasOneByte(CDatabase& a_database, CDbDatum* const a_apdbdatum[4], uint8_t a_u8Attribute, uint8_t* a_pu8) {
  if ((a_u8Attribute & DEV_HISTORY_ATTR_CAMERAS) != DEV_HISTORY_ATTR_CAMERAS ||
      (a_u8Attribute & DEV_HISTORY_ATTR_KIND) != DB_CONTAINERTYPE_ENUM) {
    return false;
  }
  uint8_t u8First = 0;
  for (int i = 0; i < 4; ++i) {
    if (!a_apdbdatum[i] || a_database.GetAccess(a_apdbdatum[i]) != DB_ACCESS_READWRITE) return false;
    const auto u8 = static_cast<uint8_t>(a_apdbdatum[i]->GetCurrentLongNoCallback());
    if (i == 0) u8First = u8;
    if (u8 != u8First) return false;
  }
  if (u8First == 0 || (u8First & DEV_HISTORY_ALLCAMERAS)) return false;
  *a_pu8 = u8First | DEV_HISTORY_ALLCAMERAS;
  return true;
}

// Under the database lock: the attribute table and the settings block.
void ReadSettings(CDatabase& a_database, HistoryJob& a_job) {
  for (int i = 2; i < DEV_HISTORY_IDS; ++i) {
    if (!IsNotRecorded(i)) a_job.au8Attribute[i] = AttributeOf(a_database, static_cast<EDBID>(i));
  }
  CDbDatum* pdbdatumSides = a_database.Find(DB_ID_SIDESDIFFERENT);
  const bool blSameSides = pdbdatumSides && pdbdatumSides->GetCurrentLongNoCallback() == 1;
  Bytes& bytes = a_job.bytesBlock;
  Put8(bytes, blSameSides ? DEV_HISTORY_FLAG_SAMESIDES : 0);
  for (int i = 1; i < DEV_HISTORY_IDS; ++i) {
    const uint8_t u8Attribute = a_job.au8Attribute[i];
    const auto edbid = static_cast<EDBID>(i);
    if (!u8Attribute || !a_database.IsIdSupported(edbid)) continue;
    if (!(u8Attribute & DEV_HISTORY_ATTR_CAMERAS)) {
      CDbDatum* pdbdatum = a_database.FindInBin(DB_BIN_MACHINE, edbid);
      if (!pdbdatum || a_database.GetAccess(pdbdatum) != DB_ACCESS_READWRITE) continue;
      Put8(bytes, static_cast<uint8_t>(i));
      PutValue(bytes, pdbdatum, u8Attribute, edbid);
      continue;
    }
    CDbDatum* apdbdatum[4] = {};
    bool blWritable = false;
    for (int iCamera = 0; iCamera < 4; ++iCamera) {
      if (!(u8Attribute & CameraBit(iCamera))) continue;
      apdbdatum[iCamera] = a_database.FindInBin(s_aedbbinCamera[iCamera], edbid);
      blWritable = blWritable || (apdbdatum[iCamera] && a_database.GetAccess(apdbdatum[iCamera]) == DB_ACCESS_READWRITE);
    }
    if (!blWritable) continue;
    Put8(bytes, static_cast<uint8_t>(i));
    uint8_t u8All = 0;
    if (AllCamerasOneByte(a_database, apdbdatum, u8Attribute, &u8All)) {
      Put8(bytes, u8All);
      continue;
    }
    for (int iCamera = 0; iCamera < 4; ++iCamera) {
      if (!(u8Attribute & CameraBit(iCamera)) || (blSameSides && IsRear(iCamera))) continue;
      PutValue(bytes, apdbdatum[iCamera], u8Attribute, edbid);
    }
  }
}

// Under the database lock: paths, names and settings. False (logged) when
// the job cannot be recorded.
bool ReadJob(CDevDataXml& a_devdataxml, EDBID_FIRMWARE a_edbidfirmware, CDatabase& a_database, HistoryJob& a_job) {
  char szDataDirectory[CDevDataXml::s_sizetPath];
  char szSerialNumber[CDevDataXml::s_sizetSerialNumber];
  if (!a_devdataxml.UnitDataDirectory(a_edbidfirmware, &a_database, szDataDirectory, sizeof szDataDirectory)) {
    return false;
  }
  if (!CDevDataXml::UnitSerialNumber(a_edbidfirmware, &a_database, szSerialNumber, sizeof szSerialNumber)) {
    OsLog(OS_LOG_ERROR, "CreateScanHistory: no serial number known for unit %d...", static_cast<int>(a_edbidfirmware));
    return false;
  }
  if (!CDevDataXml::ScannerDirectory(szDataDirectory, szSerialNumber, a_job.szDirectory, sizeof a_job.szDirectory)) {
    return false;
  }
  const char* szModel = a_database.ConfigGetString("model", CDevDataXml::UnitTarget(a_edbidfirmware));
  char szFile[CDevDataXml::s_sizetPath];
  if (COsString::SStrPrintf(szFile, sizeof szFile, "%s_%s%s", szModel ? szModel : "", szSerialNumber,
                            s_szHistorySuffix) < 0 ||
      !CDevDataXml::IsUsableName(szFile) ||
      !COsFile::PathJoin(a_job.szPath, sizeof a_job.szPath, a_job.szDirectory, szFile)) {
    OsLog(OS_LOG_ERROR, "CreateScanHistory: no file name for the model...<%s>", szModel ? szModel : "");
    return false;
  }
  COsString::SStrCpy(a_job.szModel, sizeof a_job.szModel, szModel ? szModel : "");
  const char* szSerialDevice = a_database.GetCurrentStringFromId(DB_ID_SERIALNUMBER);
  COsString::SStrCpy(a_job.szSerialNumber, sizeof a_job.szSerialNumber, szSerialDevice ? szSerialDevice : "");
  ReadSettings(a_database, a_job);
  return true;
}

// The driver header: "a" to "e".
void PutDriverHeader(Bytes& a_bytes, const HistoryJob& a_job) {
  Put8(a_bytes, static_cast<uint8_t>(s_szVocHeaderVersion[0]));
  Put16(a_bytes, s_u16HeaderVersion);
  Put8(a_bytes, static_cast<uint8_t>(s_szVocHeaderDriverVersion[0]));
  Put32(a_bytes, a_job.u32Version);
  COsResource osresource;
  if (osresource.Open(OS_RESOURCE_LOCAL, "LOOKUP", OS_RESOURCETYPE_DATA) == OS_STS_SUCCESS &&
      osresource.GetPointer() && osresource.GetSize() <= UINT32_MAX) {
    PutTable(a_bytes, s_szVocHeaderDbLexiconTable, osresource.GetPointer(), static_cast<size_t>(osresource.GetSize()));
  } else {
    OsLog(OS_LOG_ERROR, "CreateScanHistory: no LOOKUP resource, the header goes without it...");
  }
  osresource.Close();
  std::string str = "<db>";
  char sz[64];
  for (int i = 0; i < DEV_HISTORY_IDS; ++i) {
    if (!a_job.au8Attribute[i]) continue;
    COsString::SStrPrintf(sz, sizeof sz, "<i><i>%u</i><m>%u</m></i>", static_cast<unsigned>(i),
                          static_cast<unsigned>(a_job.au8Attribute[i]));
    str += sz;
  }
  str += "</db>";
  PutTable(a_bytes, s_szVocHeaderDbAttributesTable, str.data(), str.size());
  str = "<edevsts>";
  for (int i = 0; i <= DEV_STS_LAST; ++i) {
    COsString::SStrPrintf(sz, sizeof sz, "<i><i>%d</i><t>%s</t></i>", i, s_aszEdevsts[i]);
    str += sz;
  }
  str += "</edevsts>";
  PutTable(a_bytes, s_szVocHeaderStatusTable, str.data(), str.size());
}

// The file as the writer found it.
struct HistoryState {
  uint64_t u64End = 0;             // where the next record goes
  size_t sizetVersion = DEV_HISTORY_OFFSET_VERSION;
  size_t sizetApps = DEV_HISTORY_OFFSET_APPS;
  size_t sizetLastDb = DEV_HISTORY_OFFSET_LASTDB;
  size_t sizetGlobalEnd = DEV_HISTORY_GLOBAL;
  uint32_t u32Version = 0;
  uint8_t au8Apps[DEV_HISTORY_NAME * DEV_HISTORY_SLOTS] = {};
  Bytes bytesPrevious;             // the last full settings block
  bool blHeaderNeeded = false;
};

bool ReadAt(COsFile& a_osfile, uint64_t a_u64Offset, void* a_pv, size_t a_sizet) {
  if (a_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(a_u64Offset)) != OS_STS_SUCCESS) {
    return false;
  }
  auto* pu8 = static_cast<uint8_t*>(a_pv);
  while (a_sizet) {
    size_t sizetRead = 0;
    if (a_osfile.Read(pu8, a_sizet, &sizetRead) != OS_STS_SUCCESS || sizetRead == 0) return false;
    pu8 += sizetRead;
    a_sizet -= sizetRead;
  }
  return true;
}

bool WriteAt(COsFile& a_osfile, uint64_t a_u64Offset, const void* a_pv, size_t a_sizet) {
  size_t sizetWritten = 0;
  return a_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(a_u64Offset)) == OS_STS_SUCCESS &&
         a_osfile.Write(a_pv, a_sizet, &sizetWritten) == OS_STS_SUCCESS && sizetWritten == a_sizet;
}

// The global header, one record at a time up to "4". False for a bad file.
bool ReadGlobalHeader(COsFile& a_osfile, uint64_t a_u64Size, HistoryState& a_state, uint32_t* a_pu32LastDb,
                      uint32_t* a_pu32LastDbLength) {
  // Records before "4" are the global header's; a later driver's unknown
  // record there may be long, the rest are small.
  const size_t sizetPrefix = static_cast<size_t>(std::min<uint64_t>(a_u64Size, 1 << 20));
  Bytes bytes(sizetPrefix);
  if (!ReadAt(a_osfile, 0, bytes.data(), sizetPrefix)) return false;
  DevHistoryRecord devhistoryrecord;
  for (size_t sizetOffset = 0;
       DevHistoryNext(bytes.data(), sizetPrefix, sizetOffset, &devhistoryrecord) == DEV_HISTORYWALK_RECORD;
       sizetOffset = devhistoryrecord.End()) {
    const uint8_t* pu8 = bytes.data() + devhistoryrecord.sizetPayload;
    switch (devhistoryrecord.u8Tag) {
      case '2':
        a_state.sizetLastDb = devhistoryrecord.sizetPayload;
        *a_pu32LastDb = DevHistoryGet32(pu8);
        *a_pu32LastDbLength = DevHistoryGet32(pu8 + 4);
        break;
      case '3':
        a_state.sizetApps = devhistoryrecord.sizetPayload;
        std::memcpy(a_state.au8Apps, pu8, sizeof a_state.au8Apps);
        break;
      case '4':
        a_state.sizetVersion = devhistoryrecord.sizetPayload;
        a_state.u32Version = DevHistoryGet32(pu8);
        a_state.sizetGlobalEnd = devhistoryrecord.End();
        return true;
      default:
        break;
    }
  }
  return false;
}

// Walks the records after the last full block to the end of the file:
// a torn tail is cut off, and "2" is made to name the newest full block.
bool CheckTail(COsFile& a_osfile, uint64_t a_u64Size, const char* a_szPath, HistoryState& a_state,
               uint32_t a_u32LastDb, uint32_t a_u32LastDbLength) {
  uint64_t u64Start = a_state.sizetGlobalEnd;
  if (a_u32LastDbLength) {
    const uint64_t u64BlockEnd = uint64_t{a_u32LastDb} + a_u32LastDbLength;
    if (a_u32LastDb >= a_state.sizetGlobalEnd && u64BlockEnd <= a_u64Size) {
      u64Start = u64BlockEnd;
    } else {
      OsLog(OS_LOG_ERROR, "history: the last settings block lies outside the file, walking it whole...<%s>",
            a_szPath);
      a_u32LastDb = a_u32LastDbLength = 0;
    }
  }
  const size_t sizetTail = static_cast<size_t>(a_u64Size - u64Start);
  Bytes bytes(sizetTail);
  if (sizetTail && !ReadAt(a_osfile, u64Start, bytes.data(), sizetTail)) return false;
  size_t sizetWhole = 0;  // the end of the last whole scan record
  uint32_t u32Block = a_u32LastDb;
  uint32_t u32BlockLength = a_u32LastDbLength;
  DevHistoryRecord devhistoryrecord;
  size_t sizetOffset = 0;
  while (DevHistoryNext(bytes.data(), sizetTail, sizetOffset, &devhistoryrecord) == DEV_HISTORYWALK_RECORD) {
    sizetOffset = devhistoryrecord.End();
    if (!DevHistoryEndsScan(devhistoryrecord.u8Tag)) continue;
    sizetWhole = sizetOffset;
    if (DevHistoryIsBlock(devhistoryrecord.u8Tag) && devhistoryrecord.sizetLength) {
      u32Block = static_cast<uint32_t>(u64Start + devhistoryrecord.sizetPayload);
      u32BlockLength = static_cast<uint32_t>(devhistoryrecord.sizetLength);
    }
  }
  a_state.u64End = u64Start + sizetWhole;
  if (sizetWhole < sizetTail) {
    OsLog(OS_LOG_ERROR, "history: a torn record of %zu bytes was cut off...<%s>", sizetTail - sizetWhole, a_szPath);
    if (a_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(a_state.u64End)) != OS_STS_SUCCESS ||
        a_osfile.SetEndOfFile() != OS_STS_SUCCESS) {
      return false;
    }
  }
  if (u32Block != a_u32LastDb || u32BlockLength != a_u32LastDbLength) {
    OsLog(OS_LOG_ERROR, "history: the last settings block was not named, now it is %u (%u bytes)...<%s>", u32Block,
          u32BlockLength, a_szPath);
    uint8_t au8[8];
    DevHistoryPut32(au8, u32Block);
    DevHistoryPut32(au8 + 4, u32BlockLength);
    if (!WriteAt(a_osfile, a_state.sizetLastDb, au8, sizeof au8)) return false;
  }
  if (u32BlockLength) {
    a_state.bytesPrevious.resize(u32BlockLength);
    if (!ReadAt(a_osfile, u32Block, a_state.bytesPrevious.data(), u32BlockLength)) return false;
  }
  // Nothing after the global header: the driver header went with the cut.
  a_state.blHeaderNeeded = a_state.u64End <= a_state.sizetGlobalEnd;
  return true;
}

// A file that is no history file is moved aside under a time-stamped name;
// the next job starts a new one.
void MoveAside(COsFile& a_osfile, const char* a_szPath) {
  a_osfile.Close();
  OsTimeRecord ostimerecord;
  COsTime::GetSystemTime(&ostimerecord);
  char szTime[32];
  char szAside[CDevDataXml::s_sizetPath + 32];
  COsTime::GetStringTime(&ostimerecord, szTime, sizeof szTime);
  OsLog(OS_LOG_ERROR, "Bad history file...<%s>", a_szPath);
  if (COsString::SStrPrintf(szAside, sizeof szAside, "%s.%s", a_szPath, szTime) < 0 ||
      COsFile::Move(a_szPath, szAside) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "history: the bad file could not be moved aside...<%s>", a_szPath);
  }
}

// The application's tag, filling the first empty slot with it; "G" when
// every slot holds another name. True when a slot was filled.
bool ApplicationRecord(const char* a_szApplication, uint8_t a_au8Apps[], Bytes& a_bytes) {
  if (!*a_szApplication) return false;
  const size_t sizetName = std::strlen(a_szApplication);
  for (size_t i = 0; i < DEV_HISTORY_SLOTS; ++i) {
    uint8_t* pu8Slot = a_au8Apps + i * DEV_HISTORY_NAME;
    const size_t sizetSlot = strnlen(reinterpret_cast<const char*>(pu8Slot), DEV_HISTORY_NAME);
    const bool blEmpty = sizetSlot == 0;
    if (blEmpty) std::memcpy(pu8Slot, a_szApplication, sizetName);
    if (blEmpty || (sizetSlot == sizetName && std::memcmp(pu8Slot, a_szApplication, sizetName) == 0)) {
      Put8(a_bytes, static_cast<uint8_t>(s_szVocScanApp1[0] + i));
      return blEmpty;
    }
  }
  Put8(a_bytes, static_cast<uint8_t>(s_szVocScanApp[0]));
  PutText(a_bytes, a_szApplication, sizetName + 1);
  return false;
}

// The settings record: "z" for the same block as the last full one, else
// the block with its length. The block's offset in a_bytes, or 0.
size_t SettingsRecord(const Bytes& a_bytesBlock, const Bytes& a_bytesPrevious, Bytes& a_bytes) {
  if (a_bytesBlock == a_bytesPrevious) {
    Put8(a_bytes, static_cast<uint8_t>(s_szVocScanRepeatPreviousDb[0]));
    return 0;
  }
  const size_t sizetLength = a_bytesBlock.size();
  if (sizetLength < 0x100) {
    Put8(a_bytes, static_cast<uint8_t>(s_szVocScanDb1[0]));
    Put8(a_bytes, static_cast<uint8_t>(sizetLength));
  } else if (sizetLength < 0x10000) {
    Put8(a_bytes, static_cast<uint8_t>(s_szVocScanDb2[0]));
    Put16(a_bytes, static_cast<uint16_t>(sizetLength));
  } else {
    Put8(a_bytes, static_cast<uint8_t>(s_szVocScanDb4[0]));
    Put32(a_bytes, static_cast<uint32_t>(sizetLength));
  }
  const size_t sizetOffset = a_bytes.size();
  a_bytes.insert(a_bytes.end(), a_bytesBlock.begin(), a_bytesBlock.end());
  return sizetOffset;
}

// Under the data lock: the file opened, checked and appended to.
void AppendRecord(HistoryJob& a_job) {
  const char* szPath = a_job.szPath;
  CDevDataXml::RemoveTemporaries(a_job.szDirectory, szPath + std::strlen(a_job.szDirectory) + 1);
  COsFile osfile;
  if (osfile.Open(szPath, OS_FILEOPEN_ALWAYS, OS_FILEACCESS_READWRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Open failed...<%s>", szPath);
    return;
  }
  uint64_t u64Size = 0;
  if (osfile.Size64(&u64Size) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "history: the size is unknown...<%s>", szPath);
    return;
  }
  HistoryState state;
  Bytes bytes;
  // A new file (or one a writer left empty): the global header goes with
  // the first record, in the same write.
  const bool blNew = u64Size == 0;
  if (blNew) {
    Put8(bytes, static_cast<uint8_t>(s_szVocGlobalSerialNumber[0]));
    PutName(bytes, a_job.szSerialNumber);
    Put8(bytes, static_cast<uint8_t>(s_szVocGlobalModel[0]));
    PutName(bytes, a_job.szModel);
    Put8(bytes, static_cast<uint8_t>(s_szVocGlobalLastDbLocation[0]));
    Put32(bytes, 0);
    Put32(bytes, 0);
    Put8(bytes, static_cast<uint8_t>(s_szVocGlobalApps[0]));
    bytes.insert(bytes.end(), sizeof state.au8Apps, 0);
    Put8(bytes, static_cast<uint8_t>(s_szVocGlobalLastDriverVersion[0]));
    Put32(bytes, a_job.u32Version);
    state.u32Version = a_job.u32Version;
    state.blHeaderNeeded = true;
  } else {
    uint32_t u32LastDb = 0;
    uint32_t u32LastDbLength = 0;
    if (!ReadGlobalHeader(osfile, u64Size, state, &u32LastDb, &u32LastDbLength)) {
      MoveAside(osfile, szPath);
      return;
    }
    if (!CheckTail(osfile, u64Size, szPath, state, u32LastDb, u32LastDbLength)) {
      OsLog(OS_LOG_ERROR, "history: the file could not be checked, nothing written...<%s>", szPath);
      return;
    }
  }
  const bool blNewVersion = state.u32Version != a_job.u32Version;
  if (state.blHeaderNeeded || blNewVersion) PutDriverHeader(bytes, a_job);
  bytes.insert(bytes.end(), a_job.bytesTime.begin(), a_job.bytesTime.end());
  const bool blSlot = ApplicationRecord(a_job.szApplication, state.au8Apps, bytes);
  bytes.insert(bytes.end(), a_job.bytesCounts.begin(), a_job.bytesCounts.end());
  const size_t sizetBlock = SettingsRecord(a_job.bytesBlock, state.bytesPrevious, bytes);
  const uint64_t u64End = blNew ? 0 : state.u64End;
  if (blNew) {
    if (sizetBlock) {
      DevHistoryPut32(bytes.data() + DEV_HISTORY_OFFSET_LASTDB, static_cast<uint32_t>(sizetBlock));
      DevHistoryPut32(bytes.data() + DEV_HISTORY_OFFSET_LASTDB + 4, static_cast<uint32_t>(a_job.bytesBlock.size()));
    }
    std::memcpy(bytes.data() + DEV_HISTORY_OFFSET_APPS, state.au8Apps, sizeof state.au8Apps);
  } else if (blSlot && !WriteAt(osfile, state.sizetApps, state.au8Apps, sizeof state.au8Apps)) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", szPath);
    return;
  }
  if (u64End + bytes.size() > UINT32_MAX) {
    OsLog(OS_LOG_ERROR, "history: the file is full, nothing written...<%s>", szPath);
    return;
  }
  if (!WriteAt(osfile, u64End, bytes.data(), bytes.size())) {
    OsLog(OS_LOG_ERROR, "Write failed...<%s>", szPath);
    // A short write leaves no torn record for the next job.
    if (osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64End)) == OS_STS_SUCCESS) {
      osfile.SetEndOfFile();
    }
    return;
  }
  // The record is whole: now the global header may name its block and its
  // driver version.
  if (!blNew && sizetBlock) {
    uint8_t au8[8];
    DevHistoryPut32(au8, static_cast<uint32_t>(u64End + sizetBlock));
    DevHistoryPut32(au8 + 4, static_cast<uint32_t>(a_job.bytesBlock.size()));
    if (!WriteAt(osfile, state.sizetLastDb, au8, sizeof au8)) OsLog(OS_LOG_ERROR, "Write failed...<%s>", szPath);
  }
  if (!blNew && blNewVersion) {
    uint8_t au8[4];
    DevHistoryPut32(au8, a_job.u32Version);
    if (!WriteAt(osfile, state.sizetVersion, au8, sizeof au8)) OsLog(OS_LOG_ERROR, "Write failed...<%s>", szPath);
  }
  osfile.Flush();
}

// The driver version text of this library.
const char* DriverVersion() {
  const char* szSeam = s_pszDriverVersion.load();
  if (szSeam) return szSeam;
  const char* szVersion = g_poscfg ? g_poscfg->GetVersion(true) : nullptr;
  return szVersion && *szVersion ? szVersion : s_szDriverVersionDefault;
}

}  // namespace

uint32_t DevHistoryVersionNumber(const char* a_szVersion) {
  static constexpr uint32_t s_au32Weight[] = {1000000, 10000, 100, 1};
  uint32_t u32 = 0;
  const char* pc = a_szVersion ? a_szVersion : "";
  for (uint32_t u32Weight : s_au32Weight) {
    uint32_t u32Part = 0;
    while (*pc >= '0' && *pc <= '9') {
      u32Part = std::min<uint32_t>(u32Part * 10 + static_cast<uint32_t>(*pc - '0'), 99999);
      ++pc;
    }
    u32 += u32Part * u32Weight;
    if (*pc != '.') break;
    ++pc;
  }
  return u32;
}

void DevHistorySetClock(void (*a_pfnClock)(OsTimeRecord*)) { s_pfnClock = a_pfnClock; }
void DevHistorySetDriverVersion(const char* a_szVersion) { s_pszDriverVersion = a_szVersion; }

void CDevData::CreateScanHistory(EDBID_FIRMWARE a_edbidfirmware, CDatabase* a_pdatabase, EDEVSTS a_edevsts,
                                 OsTimeRecord* a_postimerecordStart, unsigned int a_uMultifeeds,
                                 unsigned int a_uImages, unsigned int a_uSheets) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_devdatacalls.iCreateScanHistory;
    m_devdatacalls.edbidfirmwareHistory = a_edbidfirmware;
    m_devdatacalls.edevstsHistory = a_edevsts;
    m_devdatacalls.ostimerecordStart = a_postimerecordStart ? *a_postimerecordStart : OsTimeRecord{};
    m_devdatacalls.uHistoryMultifeeds = a_uMultifeeds;
    m_devdatacalls.uHistoryImages = a_uImages;
    m_devdatacalls.uHistorySheets = a_uSheets;
  }
  if (DevDriverConfigGetLong(DRV_CFGTAG_FORCEHISTORYOFF) != 0) {
    OsLogDebug(OS_LOG_INFO, "CreateScanHistory has been disabled...");
    return;
  }
  OsTimeRecord ostimerecordEnd = {};
  if (void (*pfnClock)(OsTimeRecord*) = s_pfnClock.load()) {
    pfnClock(&ostimerecordEnd);
  } else {
    COsTime::GetSystemTime(&ostimerecordEnd);
  }
  if (!Whole("CreateScanHistory")) return;
  if ((a_edbidfirmware != DB_FIRMWARE_ADF && a_edbidfirmware != DB_FIRMWARE_FLATBED) || !a_pdatabase ||
      !a_postimerecordStart) {
    OsLog(OS_LOG_ERROR, "CreateScanHistory: bad argument...%d", static_cast<int>(a_edbidfirmware));
    return;
  }
  try {
    HistoryJob job;
    job.u32Version = DevHistoryVersionNumber(DriverVersion());
    {
      CDbLockGuard dblockguard;
      if (!ReadJob(*m_pdevdataxml, a_edbidfirmware, *a_pdatabase, job)) return;
    }
    ApplicationName(job.szApplication, sizeof job.szApplication);
    PutTime(job.bytesTime, *a_postimerecordStart, ostimerecordEnd);
    PutCount(job.bytesCounts, s_szVocScanImages1, s_szVocScanImages2, s_szVocScanImages4, a_uImages);
    PutCount(job.bytesCounts, s_szVocScanSheets1, s_szVocScanSheets2, s_szVocScanSheets4, a_uSheets);
    PutCount(job.bytesCounts, s_szVocScanMultifeeds1, s_szVocScanMultifeeds2, s_szVocScanMultifeeds4, a_uMultifeeds);
    Put8(job.bytesCounts, static_cast<uint8_t>(s_szVocScanStatus[0]));
    Put8(job.bytesCounts, static_cast<uint8_t>(a_edevsts));
    CDbLockRelease dblockrelease;
    if (!m_pdevdataxml->DataLock()) {
      OsLog(OS_LOG_ERROR, "DataLock failed...<%s>", job.szPath);
      return;
    }
    AppendRecord(job);
    m_pdevdataxml->DataUnlock(false);
  } catch (const std::bad_alloc&) {
    m_pdevdataxml->DataUnlock(false);
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...");
  }
}
