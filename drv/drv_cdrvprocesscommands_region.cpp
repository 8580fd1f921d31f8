// The region reports: the image cropping region and the barcode search
// region, each four or five range capabilities reported under the region's
// name, with their ranges.
#include <cstdio>

#include "db_cdatabase.h"
#include "db_cdblock.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

// The region's fields, in report order; the skew angle is the fifth.
constexpr long s_lRegionFields = 5;
const char* const s_aszRegionField[s_lRegionFields] = {"imageoffsetx", "imageoffsety", "imagewidth", "imageheight",
                                                       "imageskewangle"};

void AddNumber(COsXmlTask* a_posxmltask, const char* a_szName, long a_lValue) {
  char szValue[32];
  std::snprintf(szValue, sizeof szValue, "%ld", a_lValue);
  a_posxmltask->AddArgument(a_szName, szValue);
}

}  // namespace

EOSSTS CDrvProcessCommands::CreateRegionRange(EDBID a_edbid, bool a_blDefault, const char* a_szElement) {
  if (NoDatabase()) return OS_STS_FAIL;
  CDbLockGuard dblockguard;
  return AddRange(m_pdatabase->Find(a_edbid), a_blDefault, a_szElement, 2);
}

EOSSTS CDrvProcessCommands::AddRange(CDbDatum* a_pdbdatum, bool a_blDefault, const char* a_szElement, int a_iDepth) {
  if (!a_pdbdatum || m_pdatabase->GetContainerType(a_pdbdatum) != DB_CONTAINERTYPE_RANGE) {
    OsLog(OS_LOG_ERROR, "no range...<%s>", a_szElement);
    return OS_STS_FAIL;
  }
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  posxmltask->StartCommand(a_szElement, a_iDepth);
  AddNumber(posxmltask, "rangemin",
            a_blDefault ? m_pdatabase->RangeGetDefaultMin(a_pdbdatum) : m_pdatabase->RangeGetCurrentMin(a_pdbdatum));
  AddNumber(posxmltask, "rangemax",
            a_blDefault ? m_pdatabase->RangeGetDefaultMax(a_pdbdatum) : m_pdatabase->RangeGetCurrentMax(a_pdbdatum));
  AddNumber(posxmltask, "rangestep",
            a_blDefault ? m_pdatabase->RangeGetDefaultStep(a_pdbdatum)
                        : m_pdatabase->RangeGetCurrentStep(a_pdbdatum));
  posxmltask->FinalizeCommand(a_szElement);
  return OS_STS_SUCCESS;
}

// The region's information is its first field's, under the region's name:
// a name given means no value of its own.
EOSSTS CDrvProcessCommands::AddRegionReport(const char* a_szRegion, const EDBID* a_aedbid, long a_lFields,
                                            bool a_blDefault) {
  COsXmlTask* posxmltask = m_pdatabase->GetXmlTask();
  const char* szReport = a_blDefault ? "reportregiondefault" : "reportregion";
  posxmltask->StartCommand(szReport, 1);
  if (AddLexiconInfo(m_pdatabase->Find(a_aedbid[0]), a_blDefault, a_szRegion) != OS_STS_SUCCESS) return OS_STS_FAIL;
  posxmltask->StartCommand("region", 2);
  for (long l = 0; l < a_lFields; ++l) {
    CDbDatum* pdbdatum = m_pdatabase->Find(a_aedbid[l]);
    AddNumber(posxmltask, s_aszRegionField[l],
              a_blDefault ? m_pdatabase->GetDefaultLong(pdbdatum) : m_pdatabase->GetCurrentLong(pdbdatum));
    // The range sits inside the region element, one level below it.
    if (AddRange(pdbdatum, a_blDefault, "range", 3) != OS_STS_SUCCESS) return OS_STS_FAIL;
  }
  posxmltask->FinalizeCommand("region");
  posxmltask->FinalizeCommand(szReport);
  return OS_STS_SUCCESS;
}

// Every field is checked before anything is written, so that a failure
// leaves no half-made report behind.
EDBSTS CDrvProcessCommands::CreateTaskReportRegion(const char* a_szRegion, EDBID a_edbidOffsetX, EDBID a_edbidOffsetY,
                                                   EDBID a_edbidWidth, EDBID a_edbidHeight, EDBID a_edbidSkew,
                                                   bool a_blContinue) {
  if (NoDatabase()) return DB_STS_FAIL;
  if (!a_szRegion) {
    OsLog(OS_LOG_ERROR, "a_szRegion is null...");
    return FinishReply(DB_STS_FAIL, a_blContinue);
  }
  CDbLockGuard dblockguard;
  const EDBID aedbid[s_lRegionFields] = {a_edbidOffsetX, a_edbidOffsetY, a_edbidWidth, a_edbidHeight, a_edbidSkew};
  const long lFields = a_edbidSkew == DB_ID_UNDEFINED ? s_lRegionFields - 1 : s_lRegionFields;
  for (long l = 0; l < lFields; ++l) {
    CDbDatum* pdbdatum = m_pdatabase->Find(aedbid[l]);
    if (!pdbdatum) {
      OsLog(OS_LOG_ERROR, "hdbdatum is NULL for EDBID %d", aedbid[l]);
      return FinishReply(DB_STS_FAIL, a_blContinue);
    }
    if (m_pdatabase->GetContainerType(pdbdatum) != DB_CONTAINERTYPE_RANGE) {
      OsLog(OS_LOG_ERROR, "Wrong container type %d", m_pdatabase->GetContainerType(pdbdatum));
      return FinishReply(DB_STS_BADVALUE, a_blContinue);
    }
    if (!m_pdatabase->LookupGet(pdbdatum)) {
      OsLog(OS_LOG_ERROR, "pdblookup2 is NULL");
      return FinishReply(DB_STS_FAIL, a_blContinue);
    }
  }
  if (!a_blContinue) StartReply("success");
  EDBSTS edbsts = DB_STS_SUCCESS;
  if (AddRegionReport(a_szRegion, aedbid, lFields, false) != OS_STS_SUCCESS ||
      AddRegionReport(a_szRegion, aedbid, lFields, true) != OS_STS_SUCCESS)
    edbsts = DB_STS_BADVALUE;
  return FinishReply(edbsts, a_blContinue);
}
