// The reportconfig handlers: one row of the keyword table per element, the
// row's kind deciding how the content is stored.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "dp_creportconfig.h"
#include "dp_store.h"
#include "dp_target.h"
#include "os_coslog.h"

namespace {

// Letters and digits of ASCII, "-" and "_".
bool IsSerialCharacter(char a_c) {
  return (a_c >= 'a' && a_c <= 'z') || (a_c >= 'A' && a_c <= 'Z') || (a_c >= '0' && a_c <= '9') || a_c == '-' ||
         a_c == '_';
}

// A serial number the scanner reports with something other than its
// characters in front is replaced; one with something after them keeps what
// comes before (at most DP_CONFIG_SERIALLENGTH characters).
void StoreSerialNumber(CDatabase& a_database, const char* a_szContent) {
  char szSerialNumber[DP_CONFIG_SERIALLENGTH + 1] = {};
  if (!IsSerialCharacter(a_szContent[0])) {
    OsLog(OS_LOG_ERROR, "We got a weird serial number from the scanner, so we're setting it to '00000000'...<%s>",
          a_szContent);
    std::memcpy(szSerialNumber, "00000000", 8);
  } else {
    size_t sizet = 0;
    while (sizet < DP_CONFIG_SERIALLENGTH && IsSerialCharacter(a_szContent[sizet])) ++sizet;
    if (a_szContent[sizet] != '\0') OsLog(OS_LOG_INFO, "We had to truncate the serial number...<%s>", a_szContent);
    std::memcpy(szSerialNumber, a_szContent, sizet);
  }
  a_database.ConfigSetString("serialnumber", szSerialNumber, DB_CONFIGTARGET_COMMON);
}

// The model belongs to the unit FIRMWARE names.
void StoreModel(CDatabase& a_database, const char* a_szContent) {
  const bool blFlatbed = a_database.GetCurrentLongFromId(DB_ID_FIRMWARE) == DB_FIRMWARE_FLATBED;
  a_database.ConfigSetString("model", a_szContent, blFlatbed ? DB_CONFIGTARGET_FLATBED : DB_CONFIGTARGET_ADF);
  a_database.SetModelName(blFlatbed ? DB_FIRMWARE_FLATBED : DB_FIRMWARE_ADF, a_szContent);
}

// The value of an accepted word.
bool WordValue(const DpConfigKeyword& a_dpconfigkeyword, const char* a_szContent, long* a_plValue) {
  for (const DpConfigWord* pdpconfigword = a_dpconfigkeyword.pdpconfigword; pdpconfigword && pdpconfigword->szWord;
       ++pdpconfigword) {
    if (std::strcmp(pdpconfigword->szWord, a_szContent) != 0) continue;
    *a_plValue = pdpconfigword->lValue;
    return true;
  }
  OsLog(OS_LOG_INFO, "reportconfig>>> <%s> does not take <%s>, ignored", a_dpconfigkeyword.szElement, a_szContent);
  return false;
}

// The capability of the row, when the scanner's database has it.
CDbDatum* Supported(CDatabase& a_database, const DpConfigKeyword& a_dpconfigkeyword) {
  CDbDatum* pdbdatum = a_database.Find(a_dpconfigkeyword.edbid);
  if (!pdbdatum) {
    OsLogDebug(OS_LOG_INFO, "reportconfig>>> <%s> ignored, the capability is not supported...%d",
               a_dpconfigkeyword.szElement, a_dpconfigkeyword.edbid);
  }
  return pdbdatum;
}

void Report(const DpConfigKeyword& a_dpconfigkeyword, EDBSTS a_edbsts) {
  if (a_edbsts == DB_STS_SUCCESS) return;
  OsLogDebug(OS_LOG_INFO, "reportconfig>>> <%s> not stored...%d", a_dpconfigkeyword.szElement, a_edbsts);
}

void Store(CDatabase& a_database, const DpConfigKeyword& a_dpconfigkeyword, const char* a_szContent) {
  const DpConfigKeyword& kw = a_dpconfigkeyword;
  long lValue = 0;
  switch (kw.edpconfigkind) {
    case DP_CONFIG_IGNORED: return;
    case DP_CONFIG_MODEL: StoreModel(a_database, a_szContent); return;
    case DP_CONFIG_SERIALNUMBER: StoreSerialNumber(a_database, a_szContent); return;
    case DP_CONFIG_FORCEDDATE:
      if (std::strlen(a_szContent) != DP_CONFIG_DATELENGTH) {
        OsLog(OS_LOG_INFO, "Invalid meterfirstscan detected...<%s> (discarding it and continuing)", a_szContent);
        return;
      }
      break;
    default: break;
  }
  CDbDatum* pdbdatum = Supported(a_database, kw);
  if (!pdbdatum) return;
  switch (kw.edpconfigkind) {
    case DP_CONFIG_ENUM:
      if (WordValue(kw, a_szContent, &lValue)) Report(kw, a_database.SetCurrentLong(pdbdatum, lValue, false));
      return;
    case DP_CONFIG_NUMBER: Report(kw, a_database.SetCurrentLong(pdbdatum, DpNumber(a_szContent), false)); return;
    case DP_CONFIG_TEXT: Report(kw, a_database.SetCurrentString(pdbdatum, a_szContent)); return;
    case DP_CONFIG_FORCEDENUM:
      if (WordValue(kw, a_szContent, &lValue)) Report(kw, a_database.ForceCurrentLong(pdbdatum, lValue));
      return;
    case DP_CONFIG_FORCEDNUMBER: {
      CDpFromScanner dpfromscanner(a_database);
      Report(kw, a_database.ForceCurrentLong(pdbdatum, DpNumber(a_szContent)));
      return;
    }
    case DP_CONFIG_FORCEDTEXT:
    case DP_CONFIG_FORCEDDATE: {
      CDpFromScanner dpfromscanner(a_database);
      Report(kw, a_database.ForceCurrentString(pdbdatum, a_szContent));
      return;
    }
    default: return;
  }
}

}  // namespace

const DpConfigKeyword* CReportConfig::FindKeyword(const char* a_szElement) {
  if (!a_szElement) return nullptr;
  for (size_t sizet = 0; sizet < s_sizetKeywords; ++sizet) {
    if (std::strcmp(s_adpconfigkeyword[sizet].szElement, a_szElement) == 0) return &s_adpconfigkeyword[sizet];
  }
  return nullptr;
}

EOSSTS CReportConfig::Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  if (a_edphandler == DP_HANDLER_EnterReportconfig || a_edphandler == DP_HANDLER_ExitReportconfig) {
    return OS_STS_SUCCESS;
  }
  const char* szElement = a_posxmlcallback ? a_posxmlcallback->szName : nullptr;
  const DpConfigKeyword* pdpconfigkeyword = FindKeyword(szElement);
  if (!pdpconfigkeyword) {
    OsLog(OS_LOG_ERROR, "reportconfig>>> no keyword for <%s>...", szElement ? szElement : "");
    return OS_STS_SUCCESS;
  }
  if (pdpconfigkeyword->edpconfigkind == DP_CONFIG_IGNORED) return OS_STS_SUCCESS;
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (pdatabase) Store(*pdatabase, *pdpconfigkeyword, DpContent(a_posxmlcallback));
  return OS_STS_SUCCESS;
}
