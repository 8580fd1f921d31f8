// The attribute tasks on their way to a scanner unit: the database builds
// each task and calls these two entry points, which send it to the unit's
// device manager or image library and dispatch the reply.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_cdevimpl.h"
#include "dev_cdevnexil.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {
const char* const s_aszLibrary[DEV_LIBRARY_COUNT] = {"device-manager", "image"};
}  // namespace

EOSSTS CDevImpl::ScannerEntryCallbackFriend(void* a_pvUser) {
  auto* pdevimpl = static_cast<CDevImpl*>(a_pvUser);
  if (!pdevimpl) {
    OsLog(OS_LOG_ERROR, "a_pvUser is null...");
    return OS_STS_FAIL;
  }
  return pdevimpl->SendAttributeTask(DEV_LIBRARY_DEVICE);
}

EOSSTS CDevImpl::NexEntryCallbackFriend(void* a_pvUser) {
  if (OsCfgGetLong(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCENEXILOFF, 0) != 0) return OS_STS_SUCCESS;
  auto* pdevimpl = static_cast<CDevImpl*>(a_pvUser);
  if (!pdevimpl) {
    OsLog(OS_LOG_ERROR, "a_pvUser is null...");
    return OS_STS_FAIL;
  }
  return pdevimpl->SendAttributeTask(DEV_LIBRARY_NEXIL);
}

// The unit is asked at each send: while setconfig is built for each unit in
// turn, the database's unit override names it. The reply is read as the
// reply of the unit the setup was begun on.
EOSSTS CDevImpl::SendAttributeTask(EDEVLIBRARY a_edevlibrary) {
  COsXmlTask* posxmltask = pod.m_pdatabase ? pod.m_pdatabase->GetDbMakeXml() : nullptr;
  if (!posxmltask) {
    OsLog(OS_LOG_ERROR, "m_pdatabase is null...");
    return OS_STS_FAIL;
  }
  CDbLockGuard dblockguard;
  const EDBID_FIRMWARE edbidfirmware = pod.m_pdatabase->NeedScanFromFlatbed() ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF;
  const char* szReply = nullptr;
  if (a_edevlibrary == DEV_LIBRARY_DEVICE && pod.m_pdevdevice) {
    szReply = ScannerEntry(edbidfirmware, posxmltask);
  } else if (a_edevlibrary == DEV_LIBRARY_NEXIL && pod.m_pdevnexil) {
    szReply = NexEntry(edbidfirmware, posxmltask);
  } else {
    OsLog(OS_LOG_ERROR, "no %s library for unit %d...", s_aszLibrary[a_edevlibrary], edbidfirmware);
    return OS_STS_FAIL;
  }
  const bool blSuccess = pod.m_pdevdevice
                             ? szReply && pod.m_pdevdevice->Dispatch(szReply, DevDispatchTarget::None(), false,
                                                                     pod.m_edbidfirmwareSetup) == DEV_STS_SUCCESS
                             : szReply && std::strstr(szReply, "<status>success</status>");
  if (!blSuccess) {
    OsLog(OS_LOG_ERROR, "%s library of unit %d refused the task...<%s>", s_aszLibrary[a_edevlibrary], edbidfirmware,
          szReply ? szReply : "");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
