// The log reports. The first data file of a log names the record's file;
// the names of the others are packed, each with its terminating zero, into
// the record's buffer, their offsets listed in the record's table (-1 ends
// it). A name the buffer or the table has no room for is dropped, logged.
#include "dp_creportlog.h"

#include <cstring>

#include "dev_def.h"
#include "dp_store.h"
#include "dp_target.h"
#include "os_coslog.h"
#include "os_cosmem.h"

namespace {

// The record's buffer holds at least DP_LOG_NAMES bytes.
bool MakeRoom(DeviceLog& a_devicelog) {
  if (a_devicelog.pcData && a_devicelog.sizetCapacity >= DP_LOG_NAMES) return true;
  if (a_devicelog.pcData) OsMemFree(a_devicelog.pcData);
  a_devicelog.sizetData = 0;
  a_devicelog.sizetCapacity = 0;
  a_devicelog.pcData = static_cast<char*>(OsMemAlloc(DP_LOG_NAMES));
  if (!a_devicelog.pcData) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed ...%zu", DP_LOG_NAMES);
    return false;
  }
  std::memset(a_devicelog.pcData, 0, DP_LOG_NAMES);
  a_devicelog.sizetCapacity = DP_LOG_NAMES;
  return true;
}

}  // namespace

EOSSTS CReportLog::Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  switch (a_edphandler) {
    case DP_HANDLER_EnterReportlog: return Begin(a_posxmlcallback);
    case DP_HANDLER_EnterReportlogDatafileFilename: return DataFileName(a_posxmlcallback);
    case DP_HANDLER_ExitReportlogDatafile: return DataFileEnd();
    case DP_HANDLER_EnterReportlogLogtype:
    case DP_HANDLER_EnterReportlogFilename: break;
    default: return OS_STS_SUCCESS;
  }
  DeviceLog* pdevicelog = DpDeviceLog(a_posxmlcallback);
  if (!pdevicelog) return OS_STS_SUCCESS;
  if (a_edphandler == DP_HANDLER_EnterReportlogLogtype) {
    DpCopyContent(pdevicelog->szLogType, sizeof pdevicelog->szLogType, a_posxmlcallback);
  } else {
    DpCopyContent(pdevicelog->szFilename, sizeof pdevicelog->szFilename, a_posxmlcallback);
    pdevicelog->sizetData = 0;
  }
  return OS_STS_SUCCESS;
}

// Every log begins with an empty buffer and table.
EOSSTS CReportLog::Begin(OsXmlCallback* a_posxmlcallback) {
  m_lIndex = -1;
  m_sizetOffset = 0;
  m_lNames = 0;
  m_blNamed = false;
  DeviceLog* pdevicelog = DpDeviceLog(a_posxmlcallback);
  if (!pdevicelog) return OS_STS_SUCCESS;
  if (pdevicelog->pcData) std::memset(pdevicelog->pcData, 0, pdevicelog->sizetCapacity);
  for (long& lFileOffset : pdevicelog->alFileOffset) lFileOffset = -1;
  return OS_STS_SUCCESS;
}

EOSSTS CReportLog::DataFileName(OsXmlCallback* a_posxmlcallback) {
  m_blNamed = true;
  DeviceLog* pdevicelog = DpDeviceLog(a_posxmlcallback);
  if (!pdevicelog) return OS_STS_SUCCESS;
  const char* szName = DpContent(a_posxmlcallback);
  if (m_lIndex == -1) {
    DpCopyContent(pdevicelog->szFilename, sizeof pdevicelog->szFilename, a_posxmlcallback);
    return OS_STS_SUCCESS;
  }
  if (!MakeRoom(*pdevicelog)) return OS_STS_FAIL;
  if (m_lNames >= DEV_LOG_FILES) {
    OsLog(OS_LOG_ERROR, "Array overflow for the enumeration %ld...<%s>", m_lIndex, szName);
    return OS_STS_FAIL;
  }
  const size_t sizetName = std::strlen(szName) + 1;
  if (sizetName > pdevicelog->sizetCapacity - m_sizetOffset) {
    OsLog(OS_LOG_ERROR, "dp>>> no room for the name of data file %ld, %zu of %zu bytes used: dropped...<%s>",
          m_lIndex, m_sizetOffset, pdevicelog->sizetCapacity, szName);
    return OS_STS_SUCCESS;
  }
  std::memcpy(pdevicelog->pcData + m_sizetOffset, szName, sizetName);
  pdevicelog->alFileOffset[m_lNames++] = static_cast<long>(m_sizetOffset);
  m_sizetOffset += sizetName;
  return OS_STS_SUCCESS;
}

// A data file without a name takes no place: the next one is read in its
// stead.
EOSSTS CReportLog::DataFileEnd() {
  if (!m_blNamed) {
    OsLog(OS_LOG_ERROR, "dp>>> a data file without a filename, skipped...%ld", m_lIndex);
    return OS_STS_SUCCESS;
  }
  m_blNamed = false;
  ++m_lIndex;
  return OS_STS_SUCCESS;
}

EOSSTS CReportDebugLog::Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  if (a_edphandler != DP_HANDLER_EnterReportdebuglogLogfilename) return OS_STS_SUCCESS;
  DeviceLog* pdevicelog = DpDeviceLog(a_posxmlcallback);
  if (pdevicelog) DpCopyContent(pdevicelog->szFilename, sizeof pdevicelog->szFilename, a_posxmlcallback);
  return OS_STS_SUCCESS;
}
