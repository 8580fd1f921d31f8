// The scanner's inquiry, handed to the model configuration.
#include "dp_creportinquiry.h"

#include "db_cdatabase.h"
#include "dp_target.h"
#include "os_coslog.h"

namespace {
// The configuration reads a kept inquiry only once the scanner is open; a
// text it could never read fails the reply that brought it instead.
bool ReadsAsXml(const char* a_szInquiry) {
  COsXml osxml;
  return osxml.DocumentLoad(a_szInquiry) == OS_STS_SUCCESS;
}
}  // namespace

EOSSTS CReportInquiry::Handle(EDPHANDLER, OsXmlCallback* a_posxmlcallback) {
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) return OS_STS_SUCCESS;
  const char* szInquiry = DpContent(a_posxmlcallback);
  if (!ReadsAsXml(szInquiry)) {
    OsLog(OS_LOG_ERROR, "dp>>> the inquiry does not read as XML...<%.64s>", szInquiry);
    OsLog(OS_LOG_ERROR, "ConfigLoadReportInquiry failed...");
    return OS_STS_FAIL;
  }
  if (!pdatabase->ConfigLoadReportInquiry(szInquiry, 0, m_blInterfaceOpen, false, m_edbidfirmware)) {
    OsLog(OS_LOG_ERROR, "ConfigLoadReportInquiry failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}
