// The create command: a scan window (the first free window of the camera
// bin that the camera type and image format pick, made current and enabled
// with that format), or a settings profile from the current values.
#include <cstring>

#include "db_cdatabase.h"
#include "db_cdbdatum.h"
#include "drv_cdrvprocesscommands.h"
#include "drv_profilecommand.h"
#include "os_coslog.h"

namespace {

// The image formats a camera type maps, in the order of their values
// (1 "bw", 2 "gray_8", 3 "rgb_24").
const char* const s_aszImageFormat[] = {"bw", "gray_8", "rgb_24"};
constexpr long s_lImageFormats = sizeof s_aszImageFormat / sizeof s_aszImageFormat[0];

// The camera bin of each image format, by camera type. A flatbed scans the
// front.
struct DrvCameraRow {
  const char* szCameraType;
  EDBBIN aedbbin[s_lImageFormats];
};
const DrvCameraRow s_adrvcamerarow[] = {
    {"front", {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_FRONT}},
    {"flatbed", {DB_BIN_BITONAL_FRONT, DB_BIN_COLOR_FRONT, DB_BIN_COLOR_FRONT}},
    {"rear", {DB_BIN_BITONAL_REAR, DB_BIN_COLOR_REAR, DB_BIN_COLOR_REAR}},
};

const DrvCameraRow* FindCameraRow(const char* a_szCameraType) {
  for (const DrvCameraRow& drvcamerarow : s_adrvcamerarow) {
    if (std::strcmp(drvcamerarow.szCameraType, a_szCameraType) == 0) return &drvcamerarow;
  }
  return nullptr;
}

}  // namespace

// The graphic file name shares the file request's field, which starts empty.
EOSSTS CDrvProcessCommands::EnterCreate(OsXmlCallback*) {
  m_drvwindowrequest = {};
  m_drvfilerequest.szFilename[0] = '\0';
  return OS_STS_SUCCESS;
}

EOSSTS CDrvProcessCommands::EnterCreateId(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szId, sizeof m_drvwindowrequest.szId, a_posxmlcallback, "id");
}

EOSSTS CDrvProcessCommands::EnterCreateWindowtag(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szWindowTag, sizeof m_drvwindowrequest.szWindowTag, a_posxmlcallback,
                      "windowtag");
}

EOSSTS CDrvProcessCommands::EnterCreateCameratype(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szCameraType, sizeof m_drvwindowrequest.szCameraType, a_posxmlcallback,
                      "cameratype");
}

EOSSTS CDrvProcessCommands::EnterCreateImageformat(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szImageFormat, sizeof m_drvwindowrequest.szImageFormat, a_posxmlcallback,
                      "imageformat");
}

EOSSTS CDrvProcessCommands::EnterCreateLink(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szLink, sizeof m_drvwindowrequest.szLink, a_posxmlcallback, "link");
}

EOSSTS CDrvProcessCommands::EnterCreateOverride(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szOverride, sizeof m_drvwindowrequest.szOverride, a_posxmlcallback,
                      "override");
}

EOSSTS CDrvProcessCommands::EnterCreateProfileitemText(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvwindowrequest.szText, sizeof m_drvwindowrequest.szText, a_posxmlcallback, "text");
}

EOSSTS CDrvProcessCommands::EnterCreateProfileitemGraphicfilename(OsXmlCallback* a_posxmlcallback) {
  return TakeArgument(m_drvfilerequest.szFilename, sizeof m_drvfilerequest.szFilename, a_posxmlcallback,
                      "graphicfilename");
}

EOSSTS CDrvProcessCommands::ExitCreate(OsXmlCallback*) {
  if (NoDatabase()) return OS_STS_FAIL;
  if (DrvProfileId(m_drvwindowrequest.szId) == DRV_PROFILEID_PROFILE)
    return AnswerCommand(m_pdatabase->ProfileCreate(m_drvwindowrequest.szText, m_drvfilerequest.szFilename));
  if (std::strcmp(m_drvwindowrequest.szId, "window") == 0) return CreateScanWindow();
  OsLog(OS_LOG_ERROR, "unrecognized id...<%s>", m_drvwindowrequest.szId);
  return AnswerWord("fail");
}

// Without a camera type, or with an image format it does not map, the
// window takes the current window-bin's camera and the current format. The
// window's own camera and format are set: they are not the current window's
// until the rules have followed the new window-bin.
EOSSTS CDrvProcessCommands::CreateScanWindow() {
  EDBBIN edbbin = m_pdatabase->GetBinFromWindowBin(m_pdatabase->GetWindowBin());
  long lImageFormat = m_pdatabase->GetCurrentLongFromId(DB_ID_IMAGEFORMAT);
  if (m_drvwindowrequest.szCameraType[0]) {
    const DrvCameraRow* pdrvcamerarow = FindCameraRow(m_drvwindowrequest.szCameraType);
    if (!pdrvcamerarow) {
      OsLogDebug(OS_LOG_INFO, "unrecognized cameratype...<%s>", m_drvwindowrequest.szCameraType);
      return AnswerWord("badvalue");
    }
    for (long l = 0; l < s_lImageFormats; ++l) {
      if (std::strcmp(s_aszImageFormat[l], m_drvwindowrequest.szImageFormat) != 0) continue;
      edbbin = pdrvcamerarow->aedbbin[l];
      lImageFormat = DB_ID_IMAGEFORMAT_ENUM_BW + l;
    }
  }
  if (m_pdatabase->GetAccessFromId(DB_ID_CROPPINGMODE, edbbin) != DB_ACCESS_READWRITE) {
    OsLogDebug(OS_LOG_INFO, "unsupported cameratype...<%s>", m_drvwindowrequest.szCameraType);
    return AnswerWord("badvalue");
  }
  const long lWindows = m_pdatabase->GetWindowMax();
  for (EDBID_WINDOW edbidwindow = 0; edbidwindow < lWindows; ++edbidwindow) {
    CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(edbidwindow, edbbin, DB_ID_CAMERAENABLE);
    if (m_pdatabase->GetAccess(pdbdatum) == DB_ACCESS_NOTSUPPORTED ||
        m_pdatabase->GetCurrentLong(pdbdatum) != DB_ID_CAMERAENABLE_ENUM_FALSE)
      continue;
    return AnswerCommand(EnableScanWindow(edbidwindow, edbbin, lImageFormat));
  }
  OsLogDebug(OS_LOG_INFO, "No more free windows...");
  return AnswerWord("nomemory");
}

// A refused step leaves the windows as they were.
EDBSTS CDrvProcessCommands::EnableScanWindow(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lImageFormat) {
  CDbDatum* pdbdatum = m_pdatabase->FindInWindowBin(a_edbidwindow, a_edbbin, DB_ID_CAMERAENABLE);
  const EDBID_WINDOWBIN edbidwindowbinBefore = m_pdatabase->GetWindowBin();
  EDBSTS edbsts =
      m_pdatabase->SetCurrentLongFromId(DB_ID_WINDOWBIN, m_pdatabase->ComposeWindowBin(a_edbidwindow, a_edbbin), false);
  if (edbsts == DB_STS_SUCCESS) edbsts = m_pdatabase->SetCurrentLong(pdbdatum, DB_ID_CAMERAENABLE_ENUM_TRUE, false);
  const bool blCameraOn = edbsts == DB_STS_SUCCESS;
  if (edbsts == DB_STS_SUCCESS)
    edbsts = m_pdatabase->SetCurrentLong(m_pdatabase->FindInWindowBin(a_edbidwindow, a_edbbin, DB_ID_IMAGEFORMAT),
                                         a_lImageFormat, false);
  if (edbsts == DB_STS_SUCCESS) return edbsts;
  OsLog(OS_LOG_ERROR, "create window failed...%d %d %d", a_edbidwindow, a_edbbin, edbsts);
  if (blCameraOn) m_pdatabase->SetCurrentLong(pdbdatum, DB_ID_CAMERAENABLE_ENUM_FALSE, false);
  if (m_pdatabase->GetWindowBin() != edbidwindowbinBefore)
    m_pdatabase->SetCurrentLongFromId(DB_ID_WINDOWBIN, edbidwindowbinBefore, false);
  return edbsts;
}
