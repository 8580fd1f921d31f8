// The GUI bridge's health checks: what the writer sends when nothing else
// was sent for a while (on line or not, the scan's progress, the
// diagnostic inputs), composed on the writer's thread.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvguitext.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

const char s_szHealthCheckHead[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n"
    "\t<notifydevicestatus>\n\t\t<id>deviceonline</id>\n\t\t<value>%s</value>\n\t\t<text>%s</text>\n";
const char s_szHealthCheckTail[] = "\t</notifydevicestatus>\n</task>";

std::string Head(bool a_blOnline) {
  const char* sz = a_blOnline ? "true" : "false";
  char szHead[sizeof s_szHealthCheckHead + 16];
  std::snprintf(szHead, sizeof szHead, s_szHealthCheckHead, sz, sz);
  return szHead;
}

std::string Triple(const char* a_szId, const std::string& a_strValue, const std::string& a_strText) {
  return std::string("\t\t<id>") + a_szId + "</id>\n\t\t<value>" + a_strValue + "</value>\n\t\t<text>" + a_strText +
         "</text>\n";
}

// The diagnostic result's buffer (tracked memory), and the part of it a
// check carries: the check fits the writer's 2,048 bytes.
constexpr size_t s_sizetDiagnostic = 4096;
constexpr size_t s_sizetDiagnosticText = 1536;

}  // namespace

// The scanning check: the scan source, the images and either the page and
// sheet counters or the cancel button's label.
void CDrvGuiImpl::ComposeScanning(const char* a_szValue, const char* a_szText, std::string* a_pstrTask) {
  const long lImages = m_pdev ? m_pdev->ScanStatisticsGetImageCountFromZero() : 0;
  const char* szPages = m_pdev ? m_pdev->ScanStatisticsGetPageCount() : nullptr;
  const char* szSheets = m_pdev ? m_pdev->ScanStatisticsGetSheetCount() : nullptr;
  const std::string strPages = szPages ? szPages : "";
  const std::string strSheets = szSheets ? szSheets : "";
  std::string strPageZero, strCancel;
  {
    CDbLockGuard dblockguard;
    const char* szPage = m_pdatabase ? m_pdatabase->LabelGet("page", "???", -1) : "???";
    strPageZero = std::string(szPage ? szPage : "") + " 0";
    const char* szCancel = m_pdatabase ? m_pdatabase->LabelGet("cancel_scanning", "cancel scanning", -1)
                                       : "cancel scanning";
    strCancel = szCancel ? szCancel : "";
  }
  std::string& strTask = *a_pstrTask;
  strTask = Head(true) + Triple("scansource", a_szValue, DrvGuiEscapeText(a_szText));
  const std::string strImages = std::to_string(lImages);
  strTask += Triple("imagestransferred", strImages, strImages);
  if (!strPages.empty() && strPages != strPageZero) {
    strTask += Triple("pagetransferred", DrvGuiEscapeText(strPages.c_str()), DrvGuiEscapeText(strPages.c_str()));
    strTask += Triple("sheettransferred", DrvGuiEscapeText(strSheets.c_str()), DrvGuiEscapeText(strSheets.c_str()));
  } else {
    strTask += Triple("cancel_scanning", "cancel_scanning", DrvGuiEscapeText(strCancel.c_str()));
  }
  strTask += s_szHealthCheckTail;
}

// The writer's own record: front-end tasks use the driver's meanwhile.
void CDrvGuiImpl::ComposeDiagnostics(std::string* a_pstrTask) {
  DeviceLog devicelog;
  std::memset(&devicelog, 0, sizeof devicelog);
  devicelog.pcData = static_cast<char*>(OsMemAlloc(s_sizetDiagnostic));
  if (devicelog.pcData) {
    std::memset(devicelog.pcData, 0, s_sizetDiagnostic);
    devicelog.sizetCapacity = s_sizetDiagnostic;
  }
  for (long& lOffset : devicelog.alFileOffset) lOffset = -1;
  m_blDiagnosticInput = true;
  const EOSSTS eossts = m_pdev ? m_pdev->DiagnosticGetInputResult(&devicelog) : OS_STS_FAIL;
  m_blDiagnosticInput = false;
  std::string strResult;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "drv2g>>> DiagnosticGetInputResult failed...%d", static_cast<int>(eossts));
  } else if (devicelog.pcData && devicelog.sizetData) {
    strResult.assign(devicelog.pcData, strnlen(devicelog.pcData, std::min(devicelog.sizetData, devicelog.sizetCapacity)));
    if (strResult.size() > s_sizetDiagnosticText) {
      OsLog(OS_LOG_ERROR, "drv2g>>> diagnostic result cut...%zu", strResult.size());
      strResult.resize(s_sizetDiagnosticText);
    }
  }
  if (devicelog.pcData) OsMemFree(devicelog.pcData);
  *a_pstrTask = Head(true) + "\t</notifydevicestatus>\n\t<reportvalues>\n\t\t<id>diagresulttext</id>\n\t\t<value>input"
                "</value>\n\t\t<text>" + DrvGuiCdata(strResult.c_str()) + "</text>\n\t</reportvalues>\n</task>";
  bool blOffline;
  {
    CDbLockGuard dblockguard;
    blOffline = m_pdatabase && m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE) == DB_ID_DEVICEONLINE_ENUM_FALSE;
  }
  if (blOffline && m_pdev) m_pdev->DiagnosticEnd();
}

bool CDrvGuiImpl::ComposeHealthCheck(std::string* a_pstrTask) {
  long lOnline = DB_ID_DEVICEONLINE_ENUM_TRUE;
  bool blDiagnostic = false;
  EDBSCANSOURCE edbscansource = 1;
  bool blPreview = false;
  std::string strLabel;
  if (m_pdatabase) {
    CDbLockGuard dblockguard;
    lOnline = m_pdatabase->GetCurrentLongFromId(DB_ID_DEVICEONLINE);
    blDiagnostic = m_pdatabase->TestDbState(DB_STATE_DIAGNOSTIC);
    edbscansource = m_pdatabase->GetScanSource();
    blPreview = m_pdatabase->GetCurrentLongFromId(DB_ID_PREVIEWMODE) == DB_ID_PREVIEWMODE_ENUM_TRUE;
  }
  if (lOnline != DB_ID_DEVICEONLINE_ENUM_TRUE) {
    *a_pstrTask = Head(false) + s_szHealthCheckTail;
    return true;
  }
  if (m_blScanning) {
    const char* szValue = "detecting";
    std::string strText;
    {
      CDbLockGuard dblockguard;
      auto label = [this](const char* a_szKey, const char* a_szDefault) -> std::string {
        const char* sz = m_pdatabase ? m_pdatabase->LabelGet(a_szKey, a_szDefault, -1) : a_szDefault;
        return sz ? sz : "";
      };
      if (edbscansource == 3) {
        szValue = "adf";
        strText = label(blPreview ? "previewscanningfromadf" : "scanningfromadf", "???");
      } else if (edbscansource == 4) {
        szValue = "flatbed";
        strText = label(blPreview ? "previewscanningfromflatbed" : "scanningfromflatbed", "???");
      } else {
        if (edbscansource != 1)
          OsLog(OS_LOG_ERROR, "drv2g>>> unrecognized scansource...%d", static_cast<int>(edbscansource));
        const long lCountdown = m_lCountdown;
        if (lCountdown >= 1) {
          strText = label("detectingscansource", "???") + " (" + std::to_string(lCountdown) + ")";
        } else {
          strText = label("detectingscansource", "warming...");
        }
      }
    }
    ComposeScanning(szValue, strText.c_str(), a_pstrTask);
    return true;
  }
  if (blDiagnostic) {
    ComposeDiagnostics(a_pstrTask);
    return true;
  }
  *a_pstrTask = Head(true) + s_szHealthCheckTail;
  return true;
}

bool CDrvGuiImpl::UiHealthCheck(char* a_szTask, size_t a_sizetTask) {
  if (m_blHealthSuspended) {
    OsLogDebug(OS_LOG_INFO, "drv2g>>> healthcheck is suspended...");
    return false;
  }
  std::string strTask;
  if (!ComposeHealthCheck(&strTask)) return false;
  if (strTask.size() >= a_sizetTask) {
    OsLog(OS_LOG_ERROR, "drv2g>>> health check too long, not sent...%zu", strTask.size());
    return false;
  }
  COsString::SStrCpy(a_szTask, a_sizetTask, strTask.c_str());
  return true;
}

EOSSTS CDrvGuiImpl::SendHealthCheck(const char* a_szLabelKey) {
  std::string strText = "???";
  if (m_pdatabase && a_szLabelKey) {
    CDbLockGuard dblockguard;
    const char* sz = m_pdatabase->LabelGet(a_szLabelKey, "???", -1);
    strText = sz ? sz : "";
  }
  std::string strTask;
  ComposeScanning("detecting", strText.c_str(), &strTask);
  return SendToGui(strTask.c_str(), __FILE__, __LINE__);
}
