// The reset command: values back to their defaults. Without an id every
// value (through the profile list), else the current profile, a region, the
// override record, the installed profiles, or one capability with its
// companion and, while the sides are kept alike, its other side. The reply
// reports what changed.
#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "db_cdblookup.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_profilecommand.h"
#include "os_coslog.h"

namespace {

// A switch and the value it enables go back together.
struct DrvResetCompanion {
  EDBID edbid;
  EDBID edbidCompanion;
};
const DrvResetCompanion s_adrvresetcompanion[] = {
    {DB_ID_ADFTIMEOUTENABLED, DB_ID_TRANSPORTTIMEOUT},
    {DB_ID_BATCHCOUNTENABLED, DB_ID_BATCHCOUNT},
    {DB_ID_MULTIFEEDLENGTHENABLED, DB_ID_PAGESIZELIMIT},
    {DB_ID_MULTIFEEDSOUNDENABLED, DB_ID_MULTIFEEDSOUND},
};

const EDBID s_aedbidCroppingRegion[] = {DB_ID_FRAMEXOFFSET, DB_ID_FRAMEYOFFSET, DB_ID_FRAMEWIDTH, DB_ID_FRAMEHEIGHT,
                                        DB_ID_IMAGESKEWANGLE};
const EDBID s_aedbidBarcodeRegion[] = {DB_ID_BARCODESEARCHREGIONOFFSETX, DB_ID_BARCODESEARCHREGIONOFFSETY,
                                       DB_ID_BARCODESEARCHREGIONWIDTH, DB_ID_BARCODESEARCHREGIONHEIGHT};

constexpr size_t s_sizetRegionFields = std::size(s_aedbidCroppingRegion);

}  // namespace

EOSSTS CDrvProcessCommands::EnterReset(OsXmlCallback*) {
  m_drvfilerequest.blFlag = false;
  ClearSetRequest();
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterResetId(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvsetrequest.szId, sizeof m_drvsetrequest.szId, a_posxmlcallback, "id");
}

EOSSTS CDrvProcessCommands::EnterResetSharedsettings(OsXmlCallback* a_posxmlcallback) {
  TakeFlag(a_posxmlcallback);
  return OS_STS_SUCCESS;
}

// A change by the application (state 4, cleared on every path); the reply
// reports only what this reset changed.
EOSSTS CDrvProcessCommands::ExitReset(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  m_pdatabase->SetDbState(DB_STATE_APPLICATION);
  m_pdatabase->NotifyResetAll();
  const EDBSTS edbsts = AnswerReset(m_drvsetrequest.szId);
  m_pdatabase->ClearDbState(DB_STATE_APPLICATION);
  return edbsts == DB_STS_SUCCESS ? OS_STS_SUCCESS : OS_STS_FAIL;
}

EDBSTS CDrvProcessCommands::AnswerReset(const char* a_szId) {
  if (!a_szId[0]) return ResetAll();
  if (std::strcmp(a_szId, "profile") == 0) return ResetProfile();
  if (std::strcmp(a_szId, "imagecroppingregion") == 0)
    return ResetRegion(a_szId, s_aedbidCroppingRegion, std::size(s_aedbidCroppingRegion));
  if (std::strcmp(a_szId, "barcodesearchregion") == 0)
    return ResetRegion(a_szId, s_aedbidBarcodeRegion, std::size(s_aedbidBarcodeRegion));
  if (std::strcmp(a_szId, "customoverride") == 0) {
    *m_pdatabase->GetOverride() = {};
    return AnswerStatus(DB_STS_SUCCESS);
  }
  if (DrvProfileId(a_szId) == DRV_PROFILEID_PROFILELIST)
    return AnswerStatus(m_pdatabase->ProfileRestoreInstalledProfiles(m_drvfilerequest.blFlag));
  if (std::strcmp(a_szId, "outputimagecount") == 0) {
    OsLog(OS_LOG_ERROR, "outputimagecount cannot be reset...");
    return AnswerStatus(DB_STS_FAIL);
  }
  return ResetLexicon(a_szId);
}

// The values come back as if read from the scanner (state 1), so that no
// callback sends them on; the state is cleared whatever the outcome. A
// forced document type or dropout would outlive the reset: the override
// record goes with the values.
EDBSTS CDrvProcessCommands::ResetAll() {
  m_pdatabase->SetDbState(DB_STATE_DEVICEUPDATE);
  const EDBSTS edbsts = m_pdatabase->ProfileReset(true);
  m_pdatabase->ClearDbState(DB_STATE_DEVICEUPDATE);
  if (edbsts != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to resetall");
    return AnswerStatus(DB_STS_FAIL);
  }
  *m_pdatabase->GetOverride() = {};
  return CreateTaskReportGetSet(nullptr, false, false);
}

EDBSTS CDrvProcessCommands::ResetProfile() {
  if (m_pdatabase->ProfileReset(false) != DB_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to reset profile");
    return AnswerStatus(DB_STS_FAIL);
  }
  return CreateTaskReportGetSet(nullptr, false, false);
}

// Every field is found before any is reset: a region the scanner lacks in
// part changes nothing.
EDBSTS CDrvProcessCommands::ResetRegion(const char* a_szRegion, const EDBID* a_aedbid, size_t a_sizetFields) {
  CDbDatum* apdbdatum[s_sizetRegionFields] = {};
  if (a_sizetFields < 4 || a_sizetFields > s_sizetRegionFields) return AnswerStatus(DB_STS_FAIL);
  for (size_t l = 0; l < a_sizetFields; ++l) {
    apdbdatum[l] = m_pdatabase->Find(a_aedbid[l]);
    if (!apdbdatum[l]) {
      OsLog(OS_LOG_ERROR, "hdbdatum is NULL for EDBID %d", a_aedbid[l]);
      return AnswerStatus(DB_STS_FAIL);
    }
  }
  for (size_t l = 0; l < a_sizetFields; ++l) {
    if (m_pdatabase->ResetCurrent(apdbdatum[l]) != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Failed to reset %d", a_aedbid[l]);
      return AnswerStatus(DB_STS_FAIL);
    }
  }
  return CreateTaskReportRegion(a_szRegion, a_aedbid[0], a_aedbid[1], a_aedbid[2], a_aedbid[3],
                                a_sizetFields > 4 ? a_aedbid[4] : DB_ID_UNDEFINED, false);
}

// An id that names no capability clears the request: nothing of it is
// left for a later command. A companion the scanner lacks is left out.
EDBSTS CDrvProcessCommands::ResetLexicon(const char* a_szId) {
  auto Answer = [this](EDBSTS a_edbsts) {
    m_pdatabase->CreateTaskReportStatus(GetSetStatusWord(a_edbsts), nullptr);
    return a_edbsts;
  };
  const DbLookup2* pdblookup2 = m_pdatabase->LookupDriverLexicon(a_szId);
  if (!pdblookup2) {
    OsLog(OS_LOG_ERROR, "Unrecognized lexicon ID %.64s...", a_szId);
    ClearSetRequest();
    return Answer(DB_STS_FAIL);
  }
  const EDBID edbid = pdblookup2->edbid;
  const EDBACCESS edbaccess = m_pdatabase->GetAccessFromId(edbid, DB_BIN_LAST);
  switch (edbaccess) {
    case DB_ACCESS_NOTSUPPORTED: return Answer(DB_STS_FAIL);
    case DB_ACCESS_DISABLED: return Answer(DB_STS_NOTAVAILABLE);
    case DB_ACCESS_HIDDEN:
    case DB_ACCESS_READONLY:
    case DB_ACCESS_READONLYHIDDEN: return Answer(DRV_SETSTS_READONLY);
    case DB_ACCESS_READWRITE:
    case DB_ACCESS_READWRITEDISABLED:
    case DB_ACCESS_READWRITEHIDDEN: break;
    default:
      OsLog(OS_LOG_ERROR, "unrecognized access...%d %d", edbid, edbaccess);
      return Answer(DB_STS_FAIL);
  }
  if (ResetWithLinkedSide(m_pdatabase->Find(edbid)) != DB_STS_SUCCESS) return Answer(DB_STS_FAIL);
  for (const DrvResetCompanion& drvresetcompanion : s_adrvresetcompanion) {
    if (drvresetcompanion.edbid != edbid || !m_pdatabase->IsIdSupported(drvresetcompanion.edbidCompanion)) continue;
    if (ResetWithLinkedSide(m_pdatabase->Find(drvresetcompanion.edbidCompanion)) != DB_STS_SUCCESS)
      return Answer(DB_STS_FAIL);
  }
  return CreateTaskReportGetSet(nullptr, false, false);
}

EDBSTS CDrvProcessCommands::ResetWithLinkedSide(CDbDatum* a_pdbdatum) {
  EDBSTS edbsts = m_pdatabase->ResetCurrent(a_pdbdatum);
  CDbDatum* pdbdatumSides = m_pdatabase->Find(DB_ID_SIDESDIFFERENT);
  if (edbsts == DB_STS_SUCCESS && m_pdatabase->GetBin(a_pdbdatum) != DB_BIN_MACHINE && pdbdatumSides &&
      m_pdatabase->GetCurrentLong(pdbdatumSides) == DB_ID_SIDESDIFFERENT_ENUM_FALSE) {
    if (CDbDatum* pdbdatumLinked = m_pdatabase->GetLinkedSide(a_pdbdatum)) {
      a_pdbdatum = pdbdatumLinked;
      edbsts = m_pdatabase->ResetCurrent(pdbdatumLinked);
    }
  }
  if (edbsts != DB_STS_SUCCESS)
    OsLog(OS_LOG_ERROR, "Failed to reset %d", a_pdbdatum ? m_pdatabase->GetId(a_pdbdatum) : DB_ID_UNDEFINED);
  return edbsts;
}
