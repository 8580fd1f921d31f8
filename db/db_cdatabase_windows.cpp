// Windows and bins: window-bins composed and taken apart by fixed tables,
// the side and colour-mode maps of the cameras, their context tags, and the
// reset of the extra windows.
#include <array>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "os_coslog.h"

namespace {

constexpr int s_iBinColumns = DB_BIN_LAST + 1;  // bins 0..6
constexpr int s_iCameras = DB_BIN_COLOR_REAR - DB_BIN_BITONAL_FRONT + 1;

constexpr bool IsCamera(int a_iBin) { return a_iBin >= DB_BIN_BITONAL_FRONT && a_iBin <= DB_BIN_COLOR_REAR; }

// [window][bin]: the window-bin of a camera, -1 for the other bins.
constexpr auto s_aaedbidwindowbin = [] {
  std::array<std::array<EDBID_WINDOWBIN, s_iBinColumns>, DB_WINDOW_COUNT> aa{};
  for (int iWindow = 0; iWindow < DB_WINDOW_COUNT; ++iWindow) {
    for (int iBin = 0; iBin < s_iBinColumns; ++iBin)
      aa[iWindow][iBin] = IsCamera(iBin) ? iWindow * s_iCameras + iBin - DB_BIN_BITONAL_FRONT : -1;
  }
  return aa;
}();

// [window-bin]: its window and camera bin.
struct WindowAndBin {
  EDBID_WINDOW edbidwindow;
  EDBBIN edbbin;
};
constexpr auto s_awindowandbin = [] {
  std::array<WindowAndBin, DB_WINDOWBIN_COUNT> a{};
  for (int i = 0; i < DB_WINDOWBIN_COUNT; ++i)
    a[i] = {i / s_iCameras, static_cast<EDBBIN>(DB_BIN_BITONAL_FRONT + i % s_iCameras)};
  return a;
}();

// The two tables agree: every camera of every window has its own window-bin.
constexpr bool TablesAgree() {
  for (int i = 0; i < DB_WINDOWBIN_COUNT; ++i) {
    if (s_aaedbidwindowbin[s_awindowandbin[i].edbidwindow][s_awindowandbin[i].edbbin] != i) return false;
  }
  return true;
}
static_assert(TablesAgree(), "the window-bin tables disagree");

// By bin 0..5: the other side, the other colour mode of the same side, and
// the other side in the other colour mode. The machine bins map to
// themselves.
constexpr EDBBIN s_aedbbinOtherSide[] = {DB_BIN_SEARCH, DB_BIN_MACHINE, DB_BIN_BITONAL_REAR, DB_BIN_BITONAL_FRONT,
                                         DB_BIN_COLOR_REAR, DB_BIN_COLOR_FRONT};
constexpr EDBBIN s_aedbbinSameSide[] = {DB_BIN_SEARCH, DB_BIN_MACHINE, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_REAR,
                                        DB_BIN_BITONAL_FRONT, DB_BIN_BITONAL_REAR};
constexpr EDBBIN s_aedbbinOppositeImageSide[] = {DB_BIN_SEARCH, DB_BIN_MACHINE, DB_BIN_COLOR_REAR,
                                                 DB_BIN_COLOR_FRONT, DB_BIN_BITONAL_REAR, DB_BIN_BITONAL_FRONT};

EDBBIN MapBin(const EDBBIN (&a_aedbbin)[DB_BIN_COUNT], EDBBIN a_edbbin) {
  if (a_edbbin < 0 || a_edbbin >= DB_BIN_COUNT) {
    OsLog(OS_LOG_ERROR, "Unrecognized bin...%d", a_edbbin);
    return a_edbbin;
  }
  return a_aedbbin[a_edbbin];
}

constexpr const char* s_aszContextTag[] = {"bitonalfront", "bitonalrear", "colorfront", "colorrear"};

// What the extra windows go back to: the camera off, no skew, a one-inch
// frame at the origin (1/1200 inch).
struct WindowReset {
  EDBID edbid;
  long lValue;
};
constexpr WindowReset s_awindowreset[] = {
    {DB_ID_CAMERAENABLE, 1}, {DB_ID_IMAGESKEWANGLE, 0}, {DB_ID_FRAMEXOFFSET, 0},
    {DB_ID_FRAMEYOFFSET, 0}, {DB_ID_FRAMEWIDTH, 1200},  {DB_ID_FRAMEHEIGHT, 1200},
};

}  // namespace

EDBID_WINDOWBIN CDatabase::ComposeWindowBin(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin) {
  if (a_edbidwindow < 0 || a_edbidwindow >= DB_WINDOW_COUNT) {
    OsLog(OS_LOG_ERROR, "Bad a_edbidwindow...%d %d", a_edbidwindow, a_edbbin);
    return -1;
  }
  if (a_edbbin < 0 || a_edbbin >= s_iBinColumns) {
    OsLog(OS_LOG_ERROR, "Bad a_edbbin...%d %d", a_edbidwindow, a_edbbin);
    return -1;
  }
  return s_aaedbidwindowbin[a_edbidwindow][a_edbbin];
}

void CDatabase::DecomposeWindowBin(EDBID_WINDOWBIN a_edbidwindowbin, EDBID_WINDOW* a_pedbidwindow, EDBBIN* a_pedbbin) {
  if (!a_pedbidwindow || !a_pedbbin) {
    OsLog(OS_LOG_ERROR, "Bad argument...%p %p", static_cast<void*>(a_pedbidwindow), static_cast<void*>(a_pedbbin));
    return;
  }
  if (a_edbidwindowbin < 0 || a_edbidwindowbin >= DB_WINDOWBIN_COUNT) {
    OsLog(OS_LOG_ERROR, "Bad a_edbidwindowbin...%d", a_edbidwindowbin);
    *a_pedbidwindow = -1;
    *a_pedbbin = static_cast<EDBBIN>(-1);
    return;
  }
  *a_pedbidwindow = s_awindowandbin[a_edbidwindowbin].edbidwindow;
  *a_pedbbin = s_awindowandbin[a_edbidwindowbin].edbbin;
}

EDBBIN CDatabase::GetBinFromWindowBin(EDBID_WINDOWBIN a_edbidwindowbin) {
  if (a_edbidwindowbin < 0 || a_edbidwindowbin >= DB_WINDOWBIN_COUNT) {
    OsLog(OS_LOG_ERROR, "bad a_edbidwindowbin...%d", a_edbidwindowbin);
    return DB_BIN_SEARCH;
  }
  return s_awindowandbin[a_edbidwindowbin].edbbin;
}

long CDatabase::GetWindowMax() { return Table() ? CDbDatum::GetWindowMax() : 0; }

EDBBIN CDatabase::GetBinOtherSide(EDBBIN a_edbbin) { return MapBin(s_aedbbinOtherSide, a_edbbin); }

EDBBIN CDatabase::GetBinSameSide(EDBBIN a_edbbin) { return MapBin(s_aedbbinSameSide, a_edbbin); }

EDBBIN CDatabase::GetBinOppositeImageSide(EDBBIN a_edbbin) { return MapBin(s_aedbbinOppositeImageSide, a_edbbin); }

const char* CDatabase::GetContextTag(EDBBIN a_edbbin) {
  if (!IsCamera(a_edbbin)) {
    OsLog(OS_LOG_ERROR, "Unrecognized bin...%d", a_edbbin);
    return "badcamera";
  }
  return s_aszContextTag[a_edbbin - DB_BIN_BITONAL_FRONT];
}

// Straight into the window copies: no validation, no fix-up. A slot the
// catalogue could not fill is passed over, so the blank datum keeps its
// values.
EDBSTS CDatabase::DeleteAllWindows() {
  const DbDatumCommon* pdatumcommon = Table();
  if (!pdatumcommon) return DB_STS_SUCCESS;
  for (EDBID_WINDOW edbidwindow = 1; edbidwindow < DB_WINDOW_COUNT; ++edbidwindow) {
    for (int iBin = DB_BIN_BITONAL_FRONT; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
      for (const WindowReset& windowreset : s_awindowreset) {
        CDbDatum* pdbdatum = CDbDatum::DbDatumFindQuick(edbidwindow, windowreset.edbid, static_cast<EDBBIN>(iBin));
        if (pdbdatum && pdbdatum != pdatumcommon->pdbdatumBlank) pdbdatum->SetCurrentLong(windowreset.lValue);
      }
    }
  }
  return DB_STS_SUCCESS;
}
