// Plug-and-play lists: the device library reports scanners added and
// removed; the driver keeps those that matter to the front end for the
// model's flatbed (integrated in the scanner or an accessory) and follows
// the flatbed's device file as it comes and goes.
//
// Runs on a device library's callback thread. It never waits for the
// driver's task lock: the library joins that thread inside its
// interfaceclose, which runs under the task lock. It takes only the
// database lock, around the configuration it reads and writes.
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "os_coslog.h"

namespace {

// An element's content in a text (the first one), its CDATA wrapper taken
// off; empty when missing.
std::string ElementContent(const std::string& a_str, const char* a_szElement) {
  const std::string strOpen = std::string("<") + a_szElement + ">";
  const std::string strClose = std::string("</") + a_szElement + ">";
  const size_t sizetOpen = a_str.find(strOpen);
  if (sizetOpen == std::string::npos) return "";
  const size_t sizetStart = sizetOpen + strOpen.size();
  const size_t sizetClose = a_str.find(strClose, sizetStart);
  if (sizetClose == std::string::npos) return "";
  std::string str = a_str.substr(sizetStart, sizetClose - sizetStart);
  static const std::string s_strCdataOpen = "<![CDATA[";
  static const std::string s_strCdataClose = "]]>";
  if (str.compare(0, s_strCdataOpen.size(), s_strCdataOpen) == 0 && str.size() >= 12 &&
      str.compare(str.size() - s_strCdataClose.size(), s_strCdataClose.size(), s_strCdataClose) == 0)
    str = str.substr(s_strCdataOpen.size(), str.size() - s_strCdataOpen.size() - s_strCdataClose.size());
  return str;
}

struct PnpDevice {
  std::string strPnp;
  std::string strModel;
  std::string strDeviceType;
  std::string strDeviceFilename;
};

}  // namespace

// The model's flatbed as the configuration names it.
struct CDriver::PnpFlatbed {
  std::string strModel;
  std::string strType;
  std::string strFilename;
};

EOSSTS CDriver::PnpChangeProc(void* a_pvDevCallBackData) {
  auto* pdevcallbackdata = static_cast<DevCallBackData*>(a_pvDevCallBackData);
  if (!pdevcallbackdata || !pdevcallbackdata->pvArgument) {
    OsLog(OS_LOG_ERROR, "PnpChangeProc null arg...");
    return OS_STS_FAIL;
  }
  static_cast<CDriver*>(pdevcallbackdata->pvArgument)->PnpChange(pdevcallbackdata);
  return OS_STS_SUCCESS;
}

void CDriver::PnpChange(DevCallBackData* a_pdevcallbackdata) {
  if (!g_poslog || g_poslog->GetDsState() <= 3 || !m_pdatabase || !m_pdev) return;
  if (!a_pdevcallbackdata || !a_pdevcallbackdata->szText) {
    OsLog(OS_LOG_ERROR, "pnp: no list...");
    return;
  }
  const std::string strText = a_pdevcallbackdata->szText;
  const size_t sizetOpen = strText.find("<pnpchange>");
  const size_t sizetClose = sizetOpen == std::string::npos ? sizetOpen : strText.find("</pnpchange>", sizetOpen);
  const std::string strContent =
      sizetClose == std::string::npos ? "" : strText.substr(sizetOpen + 11, sizetClose - sizetOpen - 11);
  OsLogDebug(OS_LOG_INFO, "before...<<pnpchange>%s</pnpchange>>", strContent.c_str());
  if (strContent.find("<device>") == std::string::npos) {
    OsLogDebug(OS_LOG_INFO, "pnp: discard empty list...");
    return;
  }
  PnpFlatbed flatbed;
  {
    CDbLockGuard dblockguard;
    const char* sz = m_pdatabase->ConfigGetString("model", DB_CONFIGTARGET_FLATBED);
    flatbed.strModel = sz ? sz : "";
    sz = m_pdatabase->ConfigGetString("devicetypeflatbed", DB_CONFIGTARGET_COMMON);
    flatbed.strType = sz ? sz : "";
    sz = m_pdatabase->ConfigGetString("devicefilenameflatbed", DB_CONFIGTARGET_COMMON);
    flatbed.strFilename = sz ? sz : "";
  }
  std::string strKept;
  for (size_t sizet = strContent.find("<device>"); sizet != std::string::npos;
       sizet = strContent.find("<device>", sizet)) {
    const size_t sizetEnd = strContent.find("</device>", sizet);
    if (sizetEnd == std::string::npos) {
      OsLog(OS_LOG_ERROR, "pnp: device without its end...");
      break;
    }
    const std::string strDevice = strContent.substr(sizet, sizetEnd + 9 - sizet);
    sizet = sizetEnd + 9;
    const PnpDevice device = {ElementContent(strDevice, "pnp"), ElementContent(strDevice, "model"),
                              ElementContent(strDevice, "devicetype"), ElementContent(strDevice, "devicefilename")};
    if (PnpKeep(device.strPnp, device.strModel, device.strDeviceType, device.strDeviceFilename, &flatbed))
      strKept += strDevice;
  }
  const std::string strList = "<pnpchange>" + strKept + "</pnpchange>";
  OsLogDebug(OS_LOG_INFO, "after...<%s>", strList.c_str());
  if (strKept.empty()) return;
  bool blMonitor;
  {
    CDbLockGuard dblockguard;
    blMonitor = m_pdatabase->ConfigExists("monitorbuttonevents", DB_CONFIGTARGET_COMMON);
  }
  if (blMonitor)
    m_pdev->SessionBounce();
  else
    m_pdev->SetDriverEvent(DEV_EVENT_PNPCHANGE, strList.c_str());
}

// Whether one device of the list is kept; a flatbed removed or added again
// updates the configured flatbed file.
bool CDriver::PnpKeep(const std::string& a_strPnp, const std::string& a_strModel, const std::string& a_strDeviceType,
                      const std::string& a_strDeviceFilename, PnpFlatbed* a_ppnpflatbed) {
  if (a_ppnpflatbed->strType.empty()) return true;
  const bool blIntegrated = a_ppnpflatbed->strType == "flatbedintegrated";
  if (!blIntegrated && a_ppnpflatbed->strType != "flatbedaccessory") {
    OsLogDebug(OS_LOG_INFO, "pnp: unrecognized devicetype...<%s>", a_ppnpflatbed->strType.c_str());
    return false;
  }
  if (!blIntegrated && a_strDeviceType == "flatbedintegrated") {
    OsLogDebug(OS_LOG_INFO, "pnp: flatbed accessory, discard integrated flatbed (we have an accessory)...");
    return false;
  }
  if (a_strPnp == "removed") {
    if (!a_ppnpflatbed->strFilename.empty() && a_strDeviceFilename == a_ppnpflatbed->strFilename) {
      CDbLockGuard dblockguard;
      m_pdatabase->ConfigSetString("devicefilenameflatbed", "", DB_CONFIGTARGET_COMMON);
      a_ppnpflatbed->strFilename.clear();
      m_blFlatbedRemoved.store(true);
    }
    return true;
  }
  if (a_strPnp == "added") {
    if (!m_blFlatbedRemoved.load() && !a_ppnpflatbed->strFilename.empty() && a_strDeviceFilename == a_ppnpflatbed->strFilename &&
        a_strModel == a_ppnpflatbed->strModel) {
      OsLogDebug(OS_LOG_INFO, blIntegrated ? "pnp: flatbed integrated, discard adding flatbed..."
                                           : "pnp: flatbed accessory, discard adding flatbed...");
      return false;
    }
    // Only a flatbed the driver does not follow yet takes the place.
    if (a_ppnpflatbed->strFilename.empty() && !a_ppnpflatbed->strModel.empty() && a_strModel == a_ppnpflatbed->strModel) {
      CDbLockGuard dblockguard;
      m_pdatabase->ConfigSetString("devicefilenameflatbed", a_strDeviceFilename.c_str(), DB_CONFIGTARGET_COMMON);
      a_ppnpflatbed->strFilename = a_strDeviceFilename;
      m_blFlatbedRemoved.store(false);
    }
    return true;
  }
  if (blIntegrated && a_strDeviceType != "flatbedintegrated") return true;
  OsLogDebug(OS_LOG_INFO, blIntegrated ? "pnp: flatbed integrated, discard new integrated flatbed..."
                                       : "pnp: flatbed accessory, unrecognized device...");
  return false;
}
