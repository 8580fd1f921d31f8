// The least device data: answers and the record of each last call.
#include "dev_cdevdata.h"

#include "os_coslog.h"

namespace {
void NotBuilt(const char* a_szOperation) { OsLogDebug(OS_LOG_INFO, "CDevData::%s: not built yet", a_szOperation); }
}  // namespace

EOSSTS CDevData::CreateOnlineFile(EDBID_FIRMWARE a_edbidfirmware, CDatabase*) {
  NotBuilt("CreateOnlineFile");
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_devdatacalls.iCreateOnlineFile;
  m_devdatacalls.edbidfirmwareOnline = a_edbidfirmware;
  return OS_STS_SUCCESS;
}

EOSSTS CDevData::DestroyOnlineFile(EDBID_FIRMWARE a_edbidfirmware) {
  NotBuilt("DestroyOnlineFile");
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_devdatacalls.iDestroyOnlineFile;
  m_devdatacalls.edbidfirmwareDestroyed = a_edbidfirmware;
  return OS_STS_SUCCESS;
}

EOSSTS CDevData::UpdateDeviceXml(EDBID_FIRMWARE a_edbidfirmware, CDatabase*, CDev* a_pdev) {
  NotBuilt("UpdateDeviceXml");
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_devdatacalls.iUpdateDeviceXml;
  m_devdatacalls.edbidfirmwareDeviceXml = a_edbidfirmware;
  m_devdatacalls.pdevDeviceXml = a_pdev;
  return OS_STS_SUCCESS;
}

EOSSTS CDevData::IncrementAccumulators(EDBID_FIRMWARE a_edbidfirmware, bool a_blMultifeed, unsigned int a_uMultifeed,
                                       bool a_blPaperJam, unsigned int a_uPaperJam, bool a_blOtherError,
                                       unsigned int a_uOtherError, CDatabase*) {
  NotBuilt("IncrementAccumulators");
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_devdatacalls.iIncrementAccumulators;
  m_devdatacalls.edbidfirmwareAccumulators = a_edbidfirmware;
  m_devdatacalls.blMultifeed = a_blMultifeed;
  m_devdatacalls.uMultifeed = a_uMultifeed;
  m_devdatacalls.blPaperJam = a_blPaperJam;
  m_devdatacalls.uPaperJam = a_uPaperJam;
  m_devdatacalls.blOtherError = a_blOtherError;
  m_devdatacalls.uOtherError = a_uOtherError;
  return OS_STS_SUCCESS;
}

void CDevData::CreateScanHistory(EDBID_FIRMWARE a_edbidfirmware, CDatabase*, EDEVSTS a_edevsts,
                                 OsTimeRecord* a_postimerecordStart, unsigned int a_uMultifeeds,
                                 unsigned int a_uImages, unsigned int a_uSheets) {
  NotBuilt("CreateScanHistory");
  std::lock_guard<std::mutex> lock(m_mutex);
  ++m_devdatacalls.iCreateScanHistory;
  m_devdatacalls.edbidfirmwareHistory = a_edbidfirmware;
  m_devdatacalls.edevstsHistory = a_edevsts;
  m_devdatacalls.ostimerecordStart = a_postimerecordStart ? *a_postimerecordStart : OsTimeRecord{};
  m_devdatacalls.uHistoryMultifeeds = a_uMultifeeds;
  m_devdatacalls.uHistoryImages = a_uImages;
  m_devdatacalls.uHistorySheets = a_uSheets;
}

EOSSTS CDevData::UnpackScanHistory(const char*, const char*) {
  NotBuilt("UnpackScanHistory");
  return OS_STS_FAIL;
}

DevDataCalls CDevData::GetCalls() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_devdatacalls;
}
