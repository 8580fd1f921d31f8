// The driver's scan control, learning scans, window list and plug-and-play
// handling, least: each operation logs "not built yet" and fails, so that
// a handler or a bridge that calls one answers "fail" rather than acting
// on a scan that never started. The unit that builds them replaces these
// bodies.
#include "drv_cdriver.h"
#include "os_coslog.h"

namespace {
template <class R>
R NotBuilt(const char* a_szOperation, R a_rAnswer) {
  OsLog(OS_LOG_ERROR, "CDriver::%s: not built yet", a_szOperation);
  return a_rAnswer;
}
}  // namespace

EOSSTS CDriver::ScanBegin(EDRVSCANTYPE, bool) { return NotBuilt("ScanBegin", OS_STS_FAIL); }
EOSSTS CDriver::ScanEnd(bool) { return NotBuilt("ScanEnd", OS_STS_FAIL); }
EDEVSTS CDriver::GetOutput(char*, int, int*, int*, int*) { return NotBuilt("GetOutput", DEV_STS_FAIL); }
EOSSTS CDriver::AutoColorLearn() { return NotBuilt("AutoColorLearn", OS_STS_FAIL); }
EOSSTS CDriver::EcdoCustomLearn() { return NotBuilt("EcdoCustomLearn", OS_STS_FAIL); }
bool CDriver::NeedRescanFromFlatbed() { return NotBuilt("NeedRescanFromFlatbed", false); }
EOSSTS CDriver::ImageQueuePush(bool, EDEVSTS, const char*) { return NotBuilt("ImageQueuePush", OS_STS_FAIL); }
EOSSTS CDriver::CmdReportWindowList(bool, COsXmlTask*) { return NotBuilt("CmdReportWindowList", OS_STS_FAIL); }
void CDriver::PnpChange(DevCallBackData*) { NotBuilt("PnpChange", 0); }
EOSSTS CDriver::ScanBeginAdfToFlatbed() { return NotBuilt("ScanBeginAdfToFlatbed", OS_STS_FAIL); }

// The device engine calls these with its own argument: a record or the
// driver, checked before use.
EOSSTS CDriver::PnpChangeProc(void* a_pvDevCallBackData) {
  auto* pdevcallbackdata = static_cast<DevCallBackData*>(a_pvDevCallBackData);
  if (!pdevcallbackdata || !pdevcallbackdata->pvArgument) {
    OsLog(OS_LOG_ERROR, "PnpChangeProc null arg...");
    return OS_STS_FAIL;
  }
  static_cast<CDriver*>(pdevcallbackdata->pvArgument)->PnpChange(pdevcallbackdata);
  return OS_STS_SUCCESS;
}

EOSSTS CDriver::AdfToFlatbedProc(void* a_pvDriver) {
  if (!a_pvDriver) {
    OsLog(OS_LOG_ERROR, "AdfToFlatbed null arg...");
    return OS_STS_FAIL;
  }
  return static_cast<CDriver*>(a_pvDriver)->ScanBeginAdfToFlatbed();
}
