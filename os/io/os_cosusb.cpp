// The public device service object: every operation forwards to the
// implementation; the open-description reader needs none.
#include "os_cosusb.h"

#include "os_coslog.h"
#include "os_cosusbopenloader.h"
#include "os_cosxml.h"

EOSSTS COsUsb::LoadOsUsbOpen(const char* a_szXml, OsUsbOpen* a_posusbopen) {
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "a_szXml is null...");
    return OS_STS_FAIL;
  }
  if (!a_posusbopen) {
    OsLog(OS_LOG_ERROR, "a_osusbopen is null...");
    return OS_STS_FAIL;
  }
  OsLogDebug(OS_LOG_INFO, "usb>>> LoadOsUsbOpen: <%s>", a_szXml);
  COsUsbOpenLoader osusbopenloader(a_posusbopen);
  COsXml osxml;
  EOSSTS eossts = osxml.DispatchAddObject("this", "COsUsbOpenLoader", &osusbopenloader);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchAddObject failed...");
    return eossts;
  }
  eossts = osxml.DispatchLoad(COsUsbOpenLoader::s_szGrammar);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "DispatchLoad failed...<%s>", COsUsbOpenLoader::s_szGrammar);
    return eossts;
  }
  eossts = osxml.DocumentLoadAndDispatch(a_szXml, nullptr);
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "DispatchLoadAndDispatch failed...");
  return eossts;
}
