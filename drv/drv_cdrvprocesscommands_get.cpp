// The get command: the state of one capability, or one of the special
// reports that share its id element (logs, profiles, data files, regions,
// lists, the image count, the printer cartridge).
#include <cstddef>
#include <cstring>

#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"

namespace {

// What a special id answers; any other id names a capability.
enum EDRVGETANSWER : int {
  DRV_GETANSWER_LOG,
  DRV_GETANSWER_CUSTOMOVERRIDE,
  DRV_GETANSWER_DATAFILE,
  DRV_GETANSWER_PROFILE,
  DRV_GETANSWER_IMAGECROPPINGREGION,
  DRV_GETANSWER_BARCODESEARCHREGION,
  DRV_GETANSWER_COLORTABLELIST,
  DRV_GETANSWER_ECDOLIST,
  DRV_GETANSWER_IDLIST,
  DRV_GETANSWER_WINDOWLIST,
  DRV_GETANSWER_OUTPUTIMAGECOUNT,
  DRV_GETANSWER_PRINTER,
};

struct DrvGetRow {
  const char* szId;
  EDRVGETANSWER edrvgetanswer;
  EDBID_LOG edbidlog;  // the log a log id asks for
};

// Compared whole and case-sensitively, in this order.
const DrvGetRow s_adrvgetrow[] = {
    {"logactivity", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_ACTIVITY},
    {"logeol", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_EOL},
    {"loggeneral", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_INFO},
    {"loggeneralxml", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_GENERAL_XML},
    {"logoperator", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_OPERATOR},
    {"logservice", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_SERVICE},
    {"logversion", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_VERSION},
    {"logmeter", DRV_GETANSWER_LOG, DB_ID_LOG_ENUM_METER},
    {"customoverride", DRV_GETANSWER_CUSTOMOVERRIDE, 0},
    {"profileall", DRV_GETANSWER_DATAFILE, 0},
    {"profileiaprinter", DRV_GETANSWER_DATAFILE, 0},
    {"profilenoiaprinter", DRV_GETANSWER_DATAFILE, 0},
    {"profileblob", DRV_GETANSWER_DATAFILE, 0},
    {"profilelist", DRV_GETANSWER_PROFILE, 0},
    {"profile", DRV_GETANSWER_PROFILE, 0},
    {"imagecroppingregion", DRV_GETANSWER_IMAGECROPPINGREGION, 0},
    {"barcodesearchregion", DRV_GETANSWER_BARCODESEARCHREGION, 0},
    {"colortablelist", DRV_GETANSWER_COLORTABLELIST, 0},
    {"ecdolist", DRV_GETANSWER_ECDOLIST, 0},
    {"idlist", DRV_GETANSWER_IDLIST, 0},
    {"windowlist", DRV_GETANSWER_WINDOWLIST, 0},
    {"outputimagecount", DRV_GETANSWER_OUTPUTIMAGECOUNT, 0},
    {"printer", DRV_GETANSWER_PRINTER, 0},
};

const DrvGetRow* FindGetRow(const char* a_szId) {
  for (const DrvGetRow& drvgetrow : s_adrvgetrow) {
    if (std::strcmp(drvgetrow.szId, a_szId) == 0) return &drvgetrow;
  }
  return nullptr;
}

}  // namespace

// A get reads only the id and the element flags. The set arguments, most
// of the request's bytes, are cleared by every set, setmany and reset that
// reads them; clearing them at every get too was a large share of its time.
EOSSTS CDrvProcessCommands::EnterGet(OsXmlCallback*) {
  std::memset(&m_drvsetrequest, 0, offsetof(DrvSetRequest, drvsetarguments));
  m_drvsetrequest.u32ListCount = 0;
  m_drvsetrequest.i32RegionField = 0;
  return OS_STS_SUCCESS;
}

// The last id element wins. One too long for the request is forgotten, not
// cut: a cut id could name another capability.
EOSSTS CDrvProcessCommands::EnterGetId(OsXmlCallback* a_posxmlcallback) {
  const char* szData = a_posxmlcallback->szData ? a_posxmlcallback->szData : "";
  m_drvsetrequest.szId[0] = '\0';
  if (::strnlen(szData, sizeof m_drvsetrequest.szId) >= sizeof m_drvsetrequest.szId) {
    OsLog(OS_LOG_ERROR, "id too long...<%.64s>", szData);
    return OS_STS_SUCCESS;
  }
  std::strcpy(m_drvsetrequest.szId, szData);
  m_drvsetrequest.u64SetType |= 1;
  return OS_STS_SUCCESS;
}

// A get changes nothing, but reads with database state 4 set, as the
// application's reads do.
EOSSTS CDrvProcessCommands::ExitGet(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  m_pdatabase->SetDbState(DB_STATE_APPLICATION);
  const EDBSTS edbsts = AnswerGet(m_drvsetrequest.szId);
  m_pdatabase->ClearDbState(DB_STATE_APPLICATION);
  return edbsts == DB_STS_SUCCESS || edbsts == DB_STS_NOTAVAILABLE ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EDBSTS CDrvProcessCommands::AnswerGet(const char* a_szId) {
  const DrvGetRow* pdrvgetrow = FindGetRow(a_szId);
  if (!pdrvgetrow) return CreateTaskReportGetSet(a_szId, false, false);
  switch (pdrvgetrow->edrvgetanswer) {
    case DRV_GETANSWER_LOG: return CreateTaskReportLog(pdrvgetrow->edbidlog);
    case DRV_GETANSWER_CUSTOMOVERRIDE:
      OsLog(OS_LOG_ERROR, "We don't support <get> on <customoverride>...");
      return AnswerStatus(DB_STS_FAIL);
    case DRV_GETANSWER_DATAFILE: return CreateTaskReportDataFile(a_szId);
    case DRV_GETANSWER_PROFILE: return CreateTaskReportProfileList();
    case DRV_GETANSWER_IMAGECROPPINGREGION:
      return CreateTaskReportRegion(a_szId, DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH,
                                    DB_ID_FRAMEHEIGHT, DB_ID_IMAGESKEWANGLE, false);
    case DRV_GETANSWER_BARCODESEARCHREGION:
      return CreateTaskReportRegion(a_szId, DB_ID_BARCODESEARCHREGIONOFFSETX, DB_ID_BARCODESEARCHREGIONOFFSETY,
                                    DB_ID_BARCODESEARCHREGIONWIDTH, DB_ID_BARCODESEARCHREGIONHEIGHT,
                                    DB_ID_UNDEFINED, false);
    case DRV_GETANSWER_COLORTABLELIST:
      // No report of its own: the reply would otherwise be whatever the
      // builder held.
      OsLog(OS_LOG_ERROR, "We don't support <get> on <colortablelist>...");
      return AnswerStatus(DB_STS_FAIL);
    case DRV_GETANSWER_ECDOLIST: return CreateTaskReportEcdoList();
    case DRV_GETANSWER_IDLIST: return CreateTaskReportIdList();
    case DRV_GETANSWER_WINDOWLIST:
      if (EngineCmdReportWindowList() == OS_STS_SUCCESS) return DB_STS_SUCCESS;
      OsLog(OS_LOG_ERROR, "CmdReportWindowList failed...");
      return AnswerStatus(DB_STS_FAIL);
    case DRV_GETANSWER_OUTPUTIMAGECOUNT: return CreateTaskReportOutputImageCount();
    case DRV_GETANSWER_PRINTER: return CreateTaskReportCartridgeDetected();
  }
  return AnswerStatus(DB_STS_FAIL);
}
