// The data-file set (a settings override document, or a profile file to
// select) and the selection of a profile by name.
//
// The override document: the front end writes it to a file and names the
// file and its size; the driver reads it whole into the log record's
// buffer, deletes the file (the front end relies on that) and walks it into
// the database's override record. A size that cannot be the document's is
// refused before anything is allocated, and the file is deleted only once
// it has been read whole.
#include <cstring>

#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxmltask.h"

namespace {

// An override document is a few hundred bytes; this bound only keeps a bad
// size from allocating memory.
constexpr int32_t s_i32OverrideMax = 1024 * 1024;
// The buffer's spare bytes beyond the document: room for its terminator.
constexpr size_t s_sizetOverrideSpare = 16;

bool IsProfileGroup(const char* a_szId) {
  return std::strcmp(a_szId, "profileall") == 0 || std::strcmp(a_szId, "profileiaprinter") == 0 ||
         std::strcmp(a_szId, "profilenoiaprinter") == 0;
}

// A buffer of the log record with room for a document of a_sizetBytes and
// its terminator: the one it has, or a new one; false (logged) when none can
// be had.
bool ReserveLogBuffer(DeviceLog* a_pdevicelog, size_t a_sizetBytes) {
  if (a_pdevicelog->pcData && a_pdevicelog->sizetCapacity > a_sizetBytes) return true;
  if (a_pdevicelog->pcData) OsMemFree(a_pdevicelog->pcData);
  a_pdevicelog->sizetCapacity = 0;
  a_pdevicelog->sizetData = 0;
  a_pdevicelog->pcData = static_cast<char*>(OsMemAlloc(a_sizetBytes + s_sizetOverrideSpare));
  if (!a_pdevicelog->pcData) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed ...");
    return false;
  }
  a_pdevicelog->sizetCapacity = a_sizetBytes + s_sizetOverrideSpare;
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Data files
// ---------------------------------------------------------------------------
EDBSTS CDrvProcessCommands::SetDataFile() {
  const char* szId = m_drvsetrequest.szId;
  if (std::strcmp(szId, "customoverride") == 0) return SetOverride();
  if (IsProfileGroup(szId)) return SetProfile();
  OsLog(OS_LOG_ERROR, "Unsupported lexicon id for <datafile>...<%.64s>", szId);
  return DB_STS_FAIL;
}

// The profile list reads the file itself; its size must be one a file can
// have.
EDBSTS CDrvProcessCommands::SetProfile() {
  const DrvDataFileArguments& drvdatafilearguments = m_drvsetrequest.drvsetarguments.drvdatafilearguments;
  if (!drvdatafilearguments.szFilename[0]) {
    OsLog(OS_LOG_ERROR, "Must specify filename...");
    return DB_STS_BADVALUE;
  }
  if (drvdatafilearguments.i32DataSize <= 0) {
    OsLog(OS_LOG_ERROR, "Must specify file size...%d", drvdatafilearguments.i32DataSize);
    return DB_STS_BADVALUE;
  }
  const EDBSTS edbsts = m_pdatabase->ProfileSetCurrent(m_drvsetrequest.szId, drvdatafilearguments.szFilename,
                                                       static_cast<unsigned int>(drvdatafilearguments.i32DataSize));
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ProfileSetCurrent failed...%d", edbsts);
    return DB_STS_FAIL;
  }
  return DB_STS_SUCCESS;
}

// The record keeps what the document's elements stored before a failing
// one.
EDBSTS CDrvProcessCommands::SetOverride() {
  DeviceLog* pdevicelog = EngineGetDeviceLog();
  if (!pdevicelog) {
    OsLog(OS_LOG_ERROR, "no log record to read the override into...");
    return DB_STS_FAIL;
  }
  const EDBSTS edbsts = ReadOverrideFile(pdevicelog);
  if (edbsts != DB_STS_SUCCESS) return edbsts;
  // A log line holds a few kilobytes: a longer document is logged in part.
  OsLogDebug(OS_LOG_INFO, "override document...<%.2048s>", pdevicelog->pcData);
  EOSSTS eossts = SetupDispatchTemplate();
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to SetupDispatchTemplate for override...<%d>", static_cast<int>(eossts));
    return DB_STS_FAIL;
  }
  eossts = Process(pdevicelog->pcData, m_pdatabase);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to Process override...<%d>", static_cast<int>(eossts));
    return DB_STS_FAIL;
  }
  return DB_STS_SUCCESS;
}

// The data offset is not used: the document is read from the file's start.
EDBSTS CDrvProcessCommands::ReadOverrideFile(DeviceLog* a_pdevicelog) {
  const DrvDataFileArguments& drvdatafilearguments = m_drvsetrequest.drvsetarguments.drvdatafilearguments;
  const int32_t i32Size = drvdatafilearguments.i32DataSize;
  if (i32Size <= 0 || i32Size > s_i32OverrideMax) {
    OsLog(OS_LOG_ERROR, "override data size refused...<%d>", i32Size);
    return DB_STS_BADVALUE;
  }
  COsFile osfile;
  EOSSTS eossts =
      osfile.Open(drvdatafilearguments.szFilename, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to open override file...<%d>", static_cast<int>(eossts));
    return DB_STS_FAIL;
  }
  uint64_t u64File = 0;
  if (osfile.Size64(&u64File) != OS_STS_SUCCESS || u64File < static_cast<uint64_t>(i32Size)) {
    OsLog(OS_LOG_ERROR, "override data size beyond the file...<%d %llu>", i32Size,
          static_cast<unsigned long long>(u64File));
    return DB_STS_BADVALUE;
  }
  const size_t sizetSize = static_cast<size_t>(i32Size);
  if (!ReserveLogBuffer(a_pdevicelog, sizetSize)) return DB_STS_FAIL;
  size_t sizetRead = 0;
  eossts = osfile.Read(a_pdevicelog->pcData, sizetSize, &sizetRead);
  a_pdevicelog->pcData[sizetRead] = '\0';
  a_pdevicelog->sizetData = sizetRead;
  if (eossts != OS_STS_SUCCESS || sizetRead != sizetSize) {
    OsLog(OS_LOG_ERROR, "Failed to read override file...<%d>",
          static_cast<int>(eossts != OS_STS_SUCCESS ? eossts : OS_STS_FAIL));
    return DB_STS_FAIL;
  }
  osfile.Close();
  if (COsFile::Delete(drvdatafilearguments.szFilename, OS_FILETYPE_FILE, false) != OS_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "override file not deleted...<%s>", drvdatafilearguments.szFilename);
  return DB_STS_SUCCESS;
}

// ---------------------------------------------------------------------------
// A profile by name
// ---------------------------------------------------------------------------
// The reply is the profile list and what the switch changed in the machine
// and the current bin; without the list the front end cannot tell which
// profile it has, so the set answers "fail".
EDBSTS CDrvProcessCommands::SetProfileItem() {
  if (std::strcmp(m_drvsetrequest.szId, "profile") != 0) {
    OsLog(OS_LOG_ERROR, "Unrecognized id %.64s...", m_drvsetrequest.szId);
    return AnswerStatus(DB_STS_FAIL);
  }
  EDBSTS edbsts = m_pdatabase->ProfileSetCurrent(m_drvsetrequest.szValue);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ProfileSetCurrent failed...%d", edbsts);
    return AnswerStatus(DB_STS_FAIL);
  }
  const char* szReport = m_pdatabase->ProfileReportProfileList();
  if (!szReport) {
    OsLog(OS_LOG_ERROR, "ProfileReportProfileList failed");
    return AnswerStatus(DB_STS_FAIL);
  }
  StartReply("success");
  m_pdatabase->GetXmlTask()->AddPassThrough(szReport);
  m_pdatabase->ProfileFree();
  edbsts = CreateTaskReportGetSet(nullptr, true, true);
  return FinishReply(edbsts, false);
}
