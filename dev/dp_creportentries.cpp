// The elements that go to configuration entries, one row each.
#include "dp_creportentries.h"

#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "dp_store.h"
#include "dp_target.h"
#include "os_coslog.h"

namespace {

enum EDPENTRYKIND : int {
  DP_ENTRY_NUMBER,     // a count or a time, never negative
  DP_ENTRY_STRING,     // the content as it stands
  DP_ENTRY_DIRECTORY,  // a directory name, which a path is built from
};

// The longest name a directory can have.
constexpr size_t s_sizetDirectoryName = 255;

struct DpConfigEntry {
  EDPHANDLER edphandler;
  const char* szKey;
  EDPENTRYKIND edpentrykind;
};

constexpr DpConfigEntry s_adpconfigentry[] = {
    {DP_HANDLER_EnterReportcalibrateendMagnificationtestresultfront, "magnificationtestresultfront", DP_ENTRY_STRING},
    {DP_HANDLER_EnterReportcalibrateendMagnificationtestresultrear, "magnificationtestresultrear", DP_ENTRY_STRING},
    {DP_HANDLER_EnterReportlampstatusLampwarmuptime, "lampwarmuptime", DP_ENTRY_NUMBER},
    {DP_HANDLER_EnterReportOcpButtonOcpButton, "ocpbutton", DP_ENTRY_NUMBER},
    {DP_HANDLER_EnterReportscanendMultifeedcount, "multifeedcount", DP_ENTRY_NUMBER},
    {DP_HANDLER_EnterReportscanendPatchcountfront, "patchcountfront", DP_ENTRY_NUMBER},
    {DP_HANDLER_EnterReportscanendPatchcountrear, "patchcountrear", DP_ENTRY_NUMBER},
    {DP_HANDLER_EnterReportresourceFlatbed, "modeldirectoryflatbed", DP_ENTRY_DIRECTORY},
    {DP_HANDLER_EnterReportresourceResourceDevicetype, "devicetypeflatbed", DP_ENTRY_STRING},
    {DP_HANDLER_EnterReportresourceResourceDevicefilename, "devicefilenameflatbed", DP_ENTRY_STRING},
};

const DpConfigEntry* FindEntry(EDPHANDLER a_edphandler) {
  for (const DpConfigEntry& dpconfigentry : s_adpconfigentry) {
    if (dpconfigentry.edphandler == a_edphandler) return &dpconfigentry;
  }
  return nullptr;
}

}  // namespace

EOSSTS DpStoreConfigEntry(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {
  const DpConfigEntry* pdpconfigentry = FindEntry(a_edphandler);
  if (!pdpconfigentry) return OS_STS_SUCCESS;
  CDatabase* pdatabase = DpDatabase(a_posxmlcallback);
  if (!pdatabase) return OS_STS_SUCCESS;
  const char* szContent = DpContent(a_posxmlcallback);
  switch (pdpconfigentry->edpentrykind) {
    case DP_ENTRY_NUMBER: DpStoreConfigNumber(*pdatabase, pdpconfigentry->szKey, a_posxmlcallback); break;
    case DP_ENTRY_DIRECTORY:
      // A longer name would only make a path no library loads from; an empty
      // one would have the feeder wait for a flatbed that never opens.
      if (!*szContent || std::strlen(szContent) > s_sizetDirectoryName) {
        OsLog(OS_LOG_ERROR, "dp>>> <%s> is no directory name, ignored...<%s>", pdpconfigentry->szKey, szContent);
        break;
      }
      pdatabase->ConfigSetString(pdpconfigentry->szKey, szContent, DB_CONFIGTARGET_COMMON);
      break;
    case DP_ENTRY_STRING: pdatabase->ConfigSetString(pdpconfigentry->szKey, szContent, DB_CONFIGTARGET_COMMON); break;
  }
  return OS_STS_SUCCESS;
}
