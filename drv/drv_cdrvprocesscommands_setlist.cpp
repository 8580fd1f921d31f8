// The window-enabled list: the window map that names every window-bin, and
// the set that turns the listed window-bins on and every other one of the
// windows in use off.
#include <cstring>
#include <iterator>

#include "db_cdatabase.h"
#include "drv_cdrvprocesscommands.h"
#include "os_coslog.h"

namespace {

struct DrvWindowMap {
  const char* szTag;
  EDBID_WINDOWBIN edbidwindowbin;
};

// Row n is bit n of the mask of window-bins left to switch off. Each window
// has four rows: front colour, rear colour, front bitonal, rear bitonal.
const DrvWindowMap s_adrvwindowmap[] = {
    {"frontcolor_00", 2},  {"rearcolor_00", 3},  {"frontbitonal_00", 0},  {"rearbitonal_00", 1},
    {"frontcolor_01", 6},  {"rearcolor_01", 7},  {"frontbitonal_01", 4},  {"rearbitonal_01", 5},
    {"frontcolor_02", 10}, {"rearcolor_02", 11}, {"frontbitonal_02", 8},  {"rearbitonal_02", 9},
    {"frontcolor_03", 14}, {"rearcolor_03", 15}, {"frontbitonal_03", 12}, {"rearbitonal_03", 13},
    {"frontcolor_04", 18}, {"rearcolor_04", 19}, {"frontbitonal_04", 16}, {"rearbitonal_04", 17},
    {"frontcolor_05", 22}, {"rearcolor_05", 23}, {"frontbitonal_05", 20}, {"rearbitonal_05", 21},
    {"frontcolor_06", 26}, {"rearcolor_06", 27}, {"frontbitonal_06", 24}, {"rearbitonal_06", 25},
    {"frontcolor_07", 30}, {"rearcolor_07", 31}, {"frontbitonal_07", 28}, {"rearbitonal_07", 29},
    {"frontcolor_08", 34}, {"rearcolor_08", 35}, {"frontbitonal_08", 32}, {"rearbitonal_08", 33},
    {"frontcolor_09", 38}, {"rearcolor_09", 39}, {"frontbitonal_09", 36}, {"rearbitonal_09", 37},
    {"frontcolor_10", 42}, {"rearcolor_10", 43}, {"frontbitonal_10", 40}, {"rearbitonal_10", 41},
};
static_assert(std::size(s_adrvwindowmap) == DB_WINDOWBIN_COUNT);
constexpr long s_lRows = DB_WINDOWBIN_COUNT;

constexpr long s_lOn = DB_ID_CAMERAENABLE_ENUM_TRUE;
constexpr long s_lOff = DB_ID_CAMERAENABLE_ENUM_FALSE;

EDBID_WINDOW WindowOfRow(long a_lRow) { return s_adrvwindowmap[a_lRow].edbidwindowbin / 4; }

// The camera switch of a row's window and bin; null for a camera the
// scanner lacks.
CDbDatum* CameraEnable(CDatabase* a_pdatabase, long a_lRow) {
  EDBID_WINDOW edbidwindow = 0;
  EDBBIN edbbin = DB_BIN_SEARCH;
  a_pdatabase->DecomposeWindowBin(s_adrvwindowmap[a_lRow].edbidwindowbin, &edbidwindow, &edbbin);
  CDbDatum* pdbdatum = a_pdatabase->FindInWindowBin(edbidwindow, edbbin, DB_ID_CAMERAENABLE);
  return a_pdatabase->GetAccess(pdbdatum) == DB_ACCESS_NOTSUPPORTED ? nullptr : pdbdatum;
}

}  // namespace

EDBSTS CDrvProcessCommands::SetList() {
  if (std::strcmp(m_drvsetrequest.szId, "windowenabledlist") != 0) {
    OsLog(OS_LOG_ERROR, "Unrecognized id %.64s...", m_drvsetrequest.szId);
    return AnswerStatus(DB_STS_FAIL);
  }
  const EDBSTS edbsts = SetWindowEnabledList();
  if (edbsts != DB_STS_SUCCESS) {
    m_pdatabase->CreateTaskReportStatus(GetSetStatusWord(edbsts), nullptr);
    return edbsts;
  }
  OsLogDebug(OS_LOG_INFO, "Successfully set the windowenabledlist");
  return CreateTaskReportGetSet(nullptr, false, false);
}

// Every tag is checked before anything changes: one of a window not in use,
// of a camera the scanner lacks, or of no window-bin at all refuses the list.
// The listed cameras go on before the others go off, so that no window is
// ever left without a camera on the way.
EDBSTS CDrvProcessCommands::SetWindowEnabledList() {
  const long lWindows = m_pdatabase->GetWindowMax();
  const DrvListArguments& drvlistarguments = m_drvsetrequest.drvsetarguments.drvlistarguments;
  const long lTags = static_cast<long>(m_drvsetrequest.u32ListCount);
  long alRow[DRV_SETREQUEST_TAGS] = {};
  for (long lTag = 0; lTag < lTags; ++lTag) {
    const char* szTag = drvlistarguments.aszTag[lTag];
    long lRow = 0;
    while (lRow < s_lRows && WindowOfRow(lRow) < lWindows && std::strcmp(s_adrvwindowmap[lRow].szTag, szTag) != 0)
      ++lRow;
    if (lRow < s_lRows && (WindowOfRow(lRow) >= lWindows || !CameraEnable(m_pdatabase, lRow))) {
      OsLog(OS_LOG_ERROR, "unsupported windowtag...%ld %s", lTag, szTag);
      return DB_STS_FAIL;
    }
    if (lRow == s_lRows) {
      OsLog(OS_LOG_ERROR, "unrecognized windowtag...%ld %s", lTag, szTag);
      return DB_STS_FAIL;
    }
    alRow[lTag] = lRow;
  }
  uint64_t u64Off = ~static_cast<uint64_t>(0);
  for (long lTag = 0; lTag < lTags; ++lTag) {
    if (const EDBSTS edbsts = m_pdatabase->SetCurrentLong(CameraEnable(m_pdatabase, alRow[lTag]), s_lOn, false);
        edbsts != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "windowtag not set on...%s %d", drvlistarguments.aszTag[lTag], edbsts);
      return edbsts;
    }
    u64Off &= ~(static_cast<uint64_t>(1) << alRow[lTag]);
  }
  for (long lRow = 0; lRow < s_lRows && WindowOfRow(lRow) < lWindows; ++lRow) {
    CDbDatum* pdbdatum = CameraEnable(m_pdatabase, lRow);
    if (!(u64Off >> lRow & 1) || !pdbdatum) continue;
    if (const EDBSTS edbsts = m_pdatabase->SetCurrentLong(pdbdatum, s_lOff, false); edbsts != DB_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "windowtag not set off...%s %d", s_adrvwindowmap[lRow].szTag, edbsts);
      return edbsts;
    }
  }
  CDbDatum* pdbdatumSides = m_pdatabase->Find(DB_ID_SIDESDIFFERENT);
  if (pdbdatumSides && m_pdatabase->GetCurrentLong(pdbdatumSides) == DB_ID_SIDESDIFFERENT_ENUM_FALSE &&
      (m_pdatabase->GetCameraEnable(DB_BIN_BITONAL_FRONT) != m_pdatabase->GetCameraEnable(DB_BIN_BITONAL_REAR) ||
       m_pdatabase->GetCameraEnable(DB_BIN_COLOR_FRONT) != m_pdatabase->GetCameraEnable(DB_BIN_COLOR_REAR)))
    return m_pdatabase->SetCurrentLong(pdbdatumSides, DB_ID_SIDESDIFFERENT_ENUM_TRUE, false);
  return DB_STS_SUCCESS;
}
