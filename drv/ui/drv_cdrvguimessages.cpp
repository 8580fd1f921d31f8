// The GUI bridge's message manager: a dialog kind and a message kind made
// into a task for the GUI (the message table below), the wait for the
// button the user presses, the GUI's display states, the main window's UI
// modes and the actions that reach them.
//
// Every task is composed on the calling thread: the front end's task, the
// engine's threads, the dispatcher and the reader may show messages at
// once. Texts from the caller, the device and the labels are escaped for
// the element they go in; labels are templates, never formats.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdbdatum.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "drv_cdrvguiimpl.h"
#include "drv_cdrvguitext.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cossync.h"

namespace {

// When a message is sent.
enum EMSGCOND : int {
  MSGCOND_ALWAYS,
  MSGCOND_INFO,
  MSGCOND_WARMUPORWARNING,
  MSGCOND_INFOOFFWARMUPORWARNING,
  MSGCOND_VISIBLE,
  MSGCOND_INFONOTPREVIEW,  // info, and not a preview that acquires no image
  MSGCOND_INFOORERROR,
  MSGCOND_WARNING,
  MSGCOND_WARMUP,
};

// The task's shape.
enum EMSGELEMENT : int {
  MSGELEMENT_UPDATE,      // "dialogupdate"
  MSGELEMENT_SHOW,        // "dialogshow"
  MSGELEMENT_SHOWLABELS,  // "dialogshow" after the model's name
  MSGELEMENT_CLEAR,       // "dialogclear"
  MSGELEMENT_NONE,        // nothing is sent
};

// Where the text comes from.
enum EMSGTEXT : int {
  MSGTEXT_NONE,
  MSGTEXT_LABEL,           // the row's label
  MSGTEXT_CALLERLABEL,     // the label the caller names, else the row's
  MSGTEXT_FAILED,          // the failure of the dialog's work
  MSGTEXT_CALLER,          // the caller's text in the message dialog
  MSGTEXT_INITIALIZE,      // by dialog
  MSGTEXT_SOURCE,          // the feeder's or the flatbed's
  MSGTEXT_SUCCESS,         // by dialog
};

// The buttons element.
enum EMSGBUTTONS : int {
  MSGBUTTONS_FIXED,     // the row's word (may be empty)
  MSGBUTTONS_CALLER,    // the caller's buttons as a word
  MSGBUTTONS_OKCANCEL,  // "okcancel" for the caller's 3, else empty
  MSGBUTTONS_WARMUP,    // empty in the power-up dialog, else "cancel"
};

struct DrvGuiMessageRow {
  int iMessage;
  EMSGCOND emsgcond;
  EMSGELEMENT emsgelement;
  const char* szMessageType;
  EMSGTEXT emsgtext;
  const char* szLabel;
  const char* szDefault;
  bool blCdata;    // the text in CDATA
  bool blTimeout;  // the caller's long in messagetimeout
  EMSGBUTTONS emsgbuttons;
  const char* szButtons;
};

// Message 16 (open) has a condition of its own; 34 is never sent.
constexpr DrvGuiMessageRow s_adrvguimessagerow[] = {
    {1, MSGCOND_ALWAYS, MSGELEMENT_UPDATE, "canceling", MSGTEXT_LABEL, "messagecanceling", "???", true, false,
     MSGBUTTONS_FIXED, ""},
    {2, MSGCOND_INFO, MSGELEMENT_UPDATE, "calibrating", MSGTEXT_CALLERLABEL, "messagecalibrating", "???", false, false,
     MSGBUTTONS_OKCANCEL, ""},
    {3, MSGCOND_WARMUPORWARNING, MSGELEMENT_CLEAR, "", MSGTEXT_NONE, "", "", false, false, MSGBUTTONS_FIXED, ""},
    {4, MSGCOND_INFOOFFWARMUPORWARNING, MSGELEMENT_CLEAR, "", MSGTEXT_NONE, "", "", false, false, MSGBUTTONS_FIXED,
     ""},
    {5, MSGCOND_VISIBLE, MSGELEMENT_CLEAR, "", MSGTEXT_NONE, "", "", false, false, MSGBUTTONS_FIXED, ""},
    {6, MSGCOND_VISIBLE, MSGELEMENT_UPDATE, "deviceoffline", MSGTEXT_LABEL, "messagedevicedisconnected", "???", false,
     false, MSGBUTTONS_FIXED, "cancel"},
    {7, MSGCOND_ALWAYS, MSGELEMENT_UPDATE, "downloading", MSGTEXT_LABEL, "messagedownloadingfw", "???", false, false,
     MSGBUTTONS_FIXED, ""},
    {8, MSGCOND_ALWAYS, MSGELEMENT_UPDATE, "error", MSGTEXT_FAILED, "messsageerror", "fail", false, false,
     MSGBUTTONS_FIXED, "ok"},
    {9, MSGCOND_ALWAYS, MSGELEMENT_SHOWLABELS, "info", MSGTEXT_CALLER, "", "???", false, false, MSGBUTTONS_CALLER,
     ""},
    {10, MSGCOND_INFONOTPREVIEW, MSGELEMENT_UPDATE, "initializing", MSGTEXT_INITIALIZE, "", "???", false, false,
     MSGBUTTONS_FIXED, ""},
    {11, MSGCOND_INFOORERROR, MSGELEMENT_UPDATE, "multifeed", MSGTEXT_LABEL, "messagemultifeed", "???", false, false,
     MSGBUTTONS_FIXED, "ok"},
    {12, MSGCOND_INFOORERROR, MSGELEMENT_UPDATE, "nopaper", MSGTEXT_LABEL, "messagenopaper", "???", false, false,
     MSGBUTTONS_FIXED, "ok"},
    {13, MSGCOND_INFOORERROR, MSGELEMENT_UPDATE, "jam", MSGTEXT_LABEL, "messagepaperjam", "???", false, false,
     MSGBUTTONS_FIXED, "ok"},
    {15, MSGCOND_INFONOTPREVIEW, MSGELEMENT_UPDATE, "scanadf", MSGTEXT_SOURCE, "messageadf", "???", false, false,
     MSGBUTTONS_FIXED, "cancel"},
    {16, MSGCOND_ALWAYS, MSGELEMENT_SHOWLABELS, "none", MSGTEXT_NONE, "", "", false, false, MSGBUTTONS_FIXED, ""},
    {17, MSGCOND_ALWAYS, MSGELEMENT_UPDATE, "success", MSGTEXT_SUCCESS, "", "???", false, false, MSGBUTTONS_FIXED,
     "ok"},
    {18, MSGCOND_WARNING, MSGELEMENT_UPDATE, "waitpaper", MSGTEXT_LABEL, "messagewaitpaper", "wait paper {0}", false,
     true, MSGBUTTONS_FIXED, "cancel"},
    {19, MSGCOND_WARMUP, MSGELEMENT_UPDATE, "warmup", MSGTEXT_LABEL, "messagewarmuplamps", "lamps warmup{0}", false,
     true, MSGBUTTONS_WARMUP, ""},
    {20, MSGCOND_ALWAYS, MSGELEMENT_SHOW, "exclamation", MSGTEXT_CALLER, "", "???", false, false, MSGBUTTONS_CALLER,
     ""},
    {21, MSGCOND_ALWAYS, MSGELEMENT_SHOW, "error", MSGTEXT_CALLER, "", "???", false, false, MSGBUTTONS_CALLER, ""},
    {34, MSGCOND_WARNING, MSGELEMENT_NONE, "", MSGTEXT_NONE, "", "", false, false, MSGBUTTONS_FIXED, ""},
    {35, MSGCOND_INFO, MSGELEMENT_UPDATE, "calibrating", MSGTEXT_LABEL, "messagetesting", "???", false, false,
     MSGBUTTONS_FIXED, ""},
};

const DrvGuiMessageRow* FindMessageRow(int a_iMessage) {
  for (const DrvGuiMessageRow& drvguimessagerow : s_adrvguimessagerow) {
    if (drvguimessagerow.iMessage == a_iMessage) return &drvguimessagerow;
  }
  return nullptr;
}

// The dialog type words by dialog kind; the main window has none.
constexpr const char* s_aszDialogType[] = {nullptr,   "calibrate", "diagnostic", "firmwaredownload", "message",
                                           "powerup", "scanning",  nullptr,      "deviceselection"};

const char* DialogType(int a_iDialog) {
  if (a_iDialog < 0 || a_iDialog >= static_cast<int>(std::size(s_aszDialogType))) return nullptr;
  return s_aszDialogType[a_iDialog];
}

// The UI modes of the main window, from message 22.
constexpr const char* s_aszUiMode[] = {"about",        "",
                                       "scan",         "scanadvanced",
                                       "scanpreview",  "setup",
                                       "setupadvanced", "setupeol",
                                       "setupiaprinter", "setupnoiaprinter",
                                       "setupnoiaprinterocp", "setupservice"};

const char* ButtonsWord(EDEVBUTTONS a_edevbuttons) {
  switch (a_edevbuttons) {
    case DEV_BUTTONS_OK: return "ok";
    case DEV_BUTTONS_OKCANCEL: return "okcancel";
    case DEV_BUTTONS_YESNO: return "yesno";
    case DEV_BUTTONS_YESNOCANCEL: return "yesnocancel";
    default: return "cancel";
  }
}

const char s_szHeader[] =
    "<task id='@1111111111111111111' reply='00000000000000000000' bytes='@2222222222222222222'>\n";

// The longest magnification text and the longest text between its tokens.
constexpr size_t s_sizetMagnification = 511;
constexpr size_t s_sizetBetweenTokens = 64;
constexpr size_t s_sizetMagnificationResult = 16;

// The current-message mark: the text of the info message being shown.
void volatile* s_pvpLock = nullptr;
std::string s_strCurrentMsg;
bool s_blCurrentMsg = false;

// Marks the text current; false when another one is.
bool MarkCurrent(const char* a_szText) {
  COsSync::SpinLock(&s_pvpLock);
  const bool blFree = !s_blCurrentMsg;
  if (blFree) {
    s_strCurrentMsg = a_szText;
    s_blCurrentMsg = true;
  }
  COsSync::SpinUnlock(&s_pvpLock);
  return blFree;
}

void StoreAnswer(EDBINFOBUTTON* a_pedbinfobutton, EDBINFOBUTTON a_edbinfobutton) {
  if (reinterpret_cast<uintptr_t>(a_pedbinfobutton) > 1) *a_pedbinfobutton = a_edbinfobutton;
}

long CurrentLong(CDatabase* a_pdatabase, EDBID a_edbid) {
  return a_pdatabase ? a_pdatabase->GetCurrentLongFromId(a_edbid) : 0;
}

bool ModeHolds(CDatabase* a_pdatabase, long a_lItem) {
  if (!a_pdatabase) return false;
  CDbDatum* pdbdatum = a_pdatabase->Find(DB_ID_INDICATORSMODE);
  return pdbdatum && a_pdatabase->EnumHasCurrentItem(pdbdatum, a_lItem);
}

// A preview that acquires no image shows no progress.
bool PreviewWithoutImage(CDatabase* a_pdatabase) {
  return CurrentLong(a_pdatabase, DB_ID_PREVIEWMODE) == 2 && CurrentLong(a_pdatabase, DB_ID_PREVIEWIMAGEACQUIRE) != 2;
}

}  // namespace

// ---------------------------------------------------------------------------
// Texts
// ---------------------------------------------------------------------------
std::string DrvGuiEscapeText(const char* a_szText) {
  std::string str;
  for (const char* pc = a_szText ? a_szText : ""; *pc; ++pc) {
    switch (*pc) {
      case '&': str += "&amp;"; break;
      case '<': str += "&lt;"; break;
      case '>': str += "&gt;"; break;
      default: str += *pc;
    }
  }
  return str;
}

std::string DrvGuiCdata(const char* a_szText) {
  std::string str = "<![CDATA[";
  const std::string strText = a_szText ? a_szText : "";
  size_t sizetFrom = 0;
  for (size_t sizet = strText.find("]]>"); sizet != std::string::npos; sizet = strText.find("]]>", sizetFrom)) {
    str += strText.substr(sizetFrom, sizet + 2 - sizetFrom) + "]]><![CDATA[";
    sizetFrom = sizet + 2;
  }
  return str + strText.substr(sizetFrom) + "]]>";
}

// The label with "{0}" (and "{1}" when a_szRear is given) replaced by the
// results; false when a token is missing or the text is too long.
bool DrvGuiMagnificationText(const char* a_szLabel, const char* a_szFront, const char* a_szRear,
                             std::string* a_pstrText) {
  std::string str = a_szLabel ? a_szLabel : "";
  const size_t sizetFirst = str.find("{0}");
  const size_t sizetSecond = a_szRear ? str.find("{1}") : std::string::npos;
  if (sizetFirst == std::string::npos || (a_szRear && sizetSecond == std::string::npos)) {
    OsLog(OS_LOG_ERROR, "Couldn't find {} substitution tokens...");
    return false;
  }
  if (a_szRear) {
    const size_t sizetLow = std::min(sizetFirst, sizetSecond) + 3;
    const size_t sizetHigh = std::max(sizetFirst, sizetSecond);
    if (sizetHigh < sizetLow || sizetHigh - sizetLow > s_sizetBetweenTokens) {
      OsLog(OS_LOG_ERROR, "Couldn't find {} substitution tokens...");
      return false;
    }
  }
  const std::string strFront = std::string(a_szFront ? a_szFront : "").substr(0, s_sizetMagnificationResult);
  const std::string strRear = std::string(a_szRear ? a_szRear : "").substr(0, s_sizetMagnificationResult);
  // Right to left, so that the first replacement does not move the second.
  if (a_szRear && sizetSecond > sizetFirst) str.replace(sizetSecond, 3, strRear);
  str.replace(sizetFirst, 3, strFront);
  if (a_szRear && sizetSecond < sizetFirst) str.replace(sizetSecond, 3, strRear);
  if (str.size() > s_sizetMagnification) {
    OsLog(OS_LOG_ERROR, "Magnification text too long...%zu", str.size());
    return false;
  }
  *a_pstrText = str;
  return true;
}

void CDrvGuiImpl::ClearCurrentMessage() {
  COsSync::SpinLock(&s_pvpLock);
  s_strCurrentMsg.clear();
  s_blCurrentMsg = false;
  COsSync::SpinUnlock(&s_pvpLock);
}

// ---------------------------------------------------------------------------
// The message manager
// ---------------------------------------------------------------------------
void CDrvGuiImpl::MessageFlags(EDEVDLG a_edevdlg, bool a_blResult, bool* a_pblInfo, bool* a_pblWarning,
                               bool* a_pblError, bool* a_pblWarmup) {
  CDbLockGuard dblockguard;
  CDatabase* pdatabase = m_pdatabase;
  const bool blIndicators = CurrentLong(pdatabase, DB_ID_INDICATORS) == 2;
  const bool blPreview =
      pdatabase && pdatabase->TestDbState(DB_STATE_GUI) && CurrentLong(pdatabase, DB_ID_PREVIEWMODE) == 2 &&
      (CurrentLong(pdatabase, DB_ID_PREVIEWIMAGEACQUIRE) == 2 || a_blResult);
  if (m_blShowUi || blPreview || (blIndicators && ModeHolds(pdatabase, DB_ID_INDICATORSMODE_ENUM_INFO)) ||
      a_edevdlg == DEV_DLG_CALIBRATE) {
    *a_pblInfo = *a_pblWarning = *a_pblError = *a_pblWarmup = true;
    return;
  }
  const bool blWarmupOn = CurrentLong(pdatabase, DB_ID_INDICATORSWARMUP) == 2;
  *a_pblInfo = false;
  *a_pblWarning = ModeHolds(pdatabase, DB_ID_INDICATORSMODE_ENUM_WARNING) && (m_blVisible || blIndicators || blWarmupOn);
  *a_pblError = ModeHolds(pdatabase, DB_ID_INDICATORSMODE_ENUM_ERROR) && (m_blVisible || blIndicators);
  *a_pblWarmup = ModeHolds(pdatabase, DB_ID_INDICATORSMODE_ENUM_WARMUP) && (m_blVisible || blIndicators || blWarmupOn);
}

EOSSTS CDrvGuiImpl::MessageManager(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                                   EDEVBUTTONS a_edevbuttons, EDBINFOBUTTON* a_pedbinfobutton) {
  OsLogDebug(OS_LOG_INFO, ">>> MessageManager(%d,%d,%s,%ld,%d)", static_cast<int>(a_edevdlg),
             static_cast<int>(a_edevmsg), a_szText ? a_szText : "(null)", a_lValue, static_cast<int>(a_edevbuttons));
  bool blMarked = false;
  if (a_edevdlg == DEV_DLG_MESSAGE && a_edevbuttons == DEV_BUTTONS_OK && a_szText) {
    if (!MarkCurrent(a_szText)) {
      StoreAnswer(a_pedbinfobutton, DB_INFOBUTTON_NONE);
      return static_cast<EOSSTS>(21);
    }
    blMarked = true;
  }
  // Every failure gives back the mark this call took.
  auto fail = [&]() {
    if (blMarked) ClearCurrentMessage();
    StoreAnswer(a_pedbinfobutton, DB_INFOBUTTON_NONE);
    return OS_STS_FAIL;
  };
  bool blInfo, blWarning, blError, blWarmup;
  MessageFlags(a_edevdlg, a_pedbinfobutton != nullptr, &blInfo, &blWarning, &blError, &blWarmup);
  if (a_edevdlg == DEV_DLG_DEVICESELECTION ||
      (a_edevmsg != DEV_MSG_CLEAR && a_edevmsg != DEV_MSG_SCANNING && !blInfo)) {
    if (WaitForGui(DrvGuiWaitLimit(DRV_GUIWAIT_MESSAGE)) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Error waiting on the GUI. It probably failed to load...");
      return fail();
    }
  }
  if (a_edevdlg == DEV_DLG_MAIN) {
    std::string strTask = s_szHeader;
    if (a_edevmsg == DEV_MSG_UIDESTROY) {
      strTask += "\t<uidestroy>\n\t</uidestroy>\n</task>";
    } else if (a_edevmsg >= DEV_MSG_UIABOUT && a_edevmsg <= DEV_MSG_UISETUPSERVICE) {
      strTask += std::string("\t<uicreate>\n\t\t<uimode>") + s_aszUiMode[a_edevmsg - DEV_MSG_UIABOUT] +
                 "</uimode>\n\t\t<modal>" + (m_blModalUi ? "true" : "false") + "</modal>\n\t</uicreate>\n</task>";
    } else {
      OsLog(OS_LOG_ERROR, "unrecognized a_edevmsg...%d", static_cast<int>(a_edevmsg));
      return fail();
    }
    SendToGui(strTask.c_str(), __FILE__, __LINE__);
    ClearCurrentMessage();
    StoreAnswer(a_pedbinfobutton, DB_INFOBUTTON_NONE);
    return OS_STS_SUCCESS;
  }
  bool blNeedsDialog = false;
  switch (a_edevmsg) {
    case DEV_MSG_CANCELING: case DEV_MSG_CALIBRATING: case DEV_MSG_DOWNLOADING: case DEV_MSG_ERROR:
    case DEV_MSG_INFO: case DEV_MSG_SUCCESS: case DEV_MSG_EXCLAMATION: case DEV_MSG_ERRORSHOW: case DEV_MSG_TESTING:
      blNeedsDialog = true;
      break;
    case DEV_MSG_CLEAR: case DEV_MSG_CLEARINFOOFF: case DEV_MSG_CLEARGUIVISIBLE: case DEV_MSG_OPEN:
      break;
    case DEV_MSG_DEVICEOFFLINE:
      if (m_blDiagnosticInput) {
        if (blMarked) ClearCurrentMessage();
        return OS_STS_SUCCESS;
      }
      blNeedsDialog = m_blVisible;
      break;
    case DEV_MSG_INITIALIZING: case DEV_MSG_SCANNING: blNeedsDialog = blInfo; break;
    case DEV_MSG_MULTIFEED: case DEV_MSG_NOPAPER: case DEV_MSG_JAM: blNeedsDialog = blInfo || blError; break;
    case DEV_MSG_WAITPAPER: case DEV_MSG_WARNING: blNeedsDialog = blWarning; break;
    case DEV_MSG_WARMUP: blNeedsDialog = blWarmup; break;
    default:
      OsLog(OS_LOG_ERROR, "MessageManager: no dialog for a_edevmsg...%d", static_cast<int>(a_edevmsg));
      break;
  }
  if (!DialogType(a_edevdlg)) {
    OsLog(OS_LOG_ERROR, "Unexpected a_edevdlg...%d", static_cast<int>(a_edevdlg));
    return fail();
  }
  if (a_edevmsg == DEV_MSG_OPEN && a_edevdlg == DEV_DLG_SCANNING && !a_pedbinfobutton) {
    CDbLockGuard dblockguard;
    if (PreviewWithoutImage(m_pdatabase)) return OS_STS_SUCCESS;
  }
  if (blNeedsDialog && !GetDialogShown(a_edevdlg)) {
    MessageManager(a_edevdlg, DEV_MSG_OPEN, nullptr, 0, DEV_BUTTONS_NONE, a_pedbinfobutton);
  }
  std::string strTask;
  if (!ComposeMessage(a_edevdlg, a_edevmsg, a_szText, a_lValue, a_edevbuttons, blInfo, blWarning, blError, blWarmup,
                      &strTask)) {
    return fail();
  }
  if (!strTask.empty()) SendToGui(strTask.c_str(), __FILE__, __LINE__);
  if (!a_pedbinfobutton || a_edevbuttons == DEV_BUTTONS_NONE) return OS_STS_SUCCESS;
  const EDBINFOBUTTON edbinfobutton = TestInfoBox(-1);
  ClearCurrentMessage();
  StoreAnswer(a_pedbinfobutton, edbinfobutton);
  return OS_STS_SUCCESS;
}

// False on a failure; true with the task (empty when its condition is not
// met). A task with buttons awaits its answer from now on.
bool CDrvGuiImpl::ComposeMessage(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                                 EDEVBUTTONS a_edevbuttons, bool a_blInfo, bool a_blWarning, bool a_blError,
                                 bool a_blWarmup, std::string* a_pstrTask) {
  const DrvGuiMessageRow* pdrvguimessagerow = FindMessageRow(a_edevmsg);
  if (!pdrvguimessagerow) {
    OsLog(OS_LOG_ERROR, "Unrecognized a_edevmsg...%d", static_cast<int>(a_edevmsg));
    return false;
  }
  const DrvGuiMessageRow& row = *pdrvguimessagerow;
  const char* szDialogType = DialogType(a_edevdlg);
  a_pstrTask->clear();
  bool blSend = false;
  switch (row.emsgcond) {
    case MSGCOND_ALWAYS: blSend = true; break;
    case MSGCOND_INFO: blSend = a_blInfo; break;
    case MSGCOND_WARMUPORWARNING: blSend = a_blWarmup || a_blWarning; break;
    case MSGCOND_INFOOFFWARMUPORWARNING: blSend = !a_blInfo && (a_blWarmup || a_blWarning); break;
    case MSGCOND_VISIBLE: blSend = m_blVisible; break;
    case MSGCOND_INFONOTPREVIEW: {
      CDbLockGuard dblockguard;
      blSend = a_blInfo && !PreviewWithoutImage(m_pdatabase);
      break;
    }
    case MSGCOND_INFOORERROR: blSend = a_blInfo || a_blError; break;
    case MSGCOND_WARNING: blSend = a_blWarning; break;
    case MSGCOND_WARMUP: blSend = a_blWarmup; break;
  }
  if (!blSend || row.emsgelement == MSGELEMENT_NONE) return true;
  if (row.emsgelement == MSGELEMENT_CLEAR) {
    *a_pstrTask = std::string(s_szHeader) + "\t<dialogclear>\n\t\t<dialogtype>" + szDialogType +
                  "</dialogtype>\n\t</dialogclear>\n</task>";
    if (a_edevmsg == DEV_MSG_CLEAR || (a_edevmsg == DEV_MSG_CLEARINFOOFF &&
                                       (a_edevdlg == DEV_DLG_CALIBRATE || a_edevdlg == DEV_DLG_SCANNING)) ||
        (a_edevmsg == DEV_MSG_CLEARGUIVISIBLE && a_edevdlg == DEV_DLG_SCANNING)) {
      SetDialogShown(a_edevdlg, false);
    }
    return true;
  }
  // The text.
  std::string strText;
  const char* szMessageType = row.szMessageType;
  {
    CDbLockGuard dblockguard;
    auto label = [this](const char* a_szKey, const char* a_szDefault) -> std::string {
      const char* sz = m_pdatabase ? m_pdatabase->LabelGet(a_szKey, a_szDefault, -1) : a_szDefault;
      return sz ? sz : "";
    };
    switch (row.emsgtext) {
      case MSGTEXT_NONE: break;
      case MSGTEXT_LABEL: strText = label(row.szLabel, row.szDefault); break;
      case MSGTEXT_CALLERLABEL:
        strText = label(a_szText && *a_szText ? a_szText : row.szLabel, row.szDefault);
        break;
      case MSGTEXT_FAILED:
        if (a_edevdlg == DEV_DLG_FIRMWAREDOWNLOAD) {
          strText = label("messsagefwdownloadfailed", "fail");
        } else if (a_edevdlg == DEV_DLG_CALIBRATE) {
          strText = label("messsagecalibrationfailed", "fail");
        } else if (a_edevdlg == DEV_DLG_MESSAGE || a_edevdlg == DEV_DLG_SCANNING) {
          strText = a_szText ? a_szText : "";
        } else {
          strText = label(row.szLabel, row.szDefault);
        }
        break;
      case MSGTEXT_CALLER:
        if (a_edevdlg == DEV_DLG_MESSAGE) {
          strText = a_szText ? a_szText : "";
        } else {
          OsLog(OS_LOG_ERROR, "No fail message for a_edevdlg...%d", static_cast<int>(a_edevdlg));
          strText = "???";
        }
        break;
      case MSGTEXT_INITIALIZE:
        if (a_edevdlg == DEV_DLG_DIAGNOSTIC) {
          strText = label("messageinitializediagnostics", "???");
        } else if (a_edevdlg == DEV_DLG_SCANNING) {
          strText = label("messageinitialize", "???");
        } else {
          OsLog(OS_LOG_ERROR, "No initialize message for a_edevdlg...%d", static_cast<int>(a_edevdlg));
          strText = "???";
        }
        break;
      case MSGTEXT_SOURCE: {
        const bool blFlatbed = m_pdatabase && m_pdatabase->GetScanSource() == 4;
        szMessageType = blFlatbed ? "scanflatbed" : "scanadf";
        strText = label(blFlatbed ? "messageflatbed" : "messageadf", "???");
        break;
      }
      case MSGTEXT_SUCCESS:
        if (a_edevdlg == DEV_DLG_CALIBRATE) {
          if (CurrentLong(m_pdatabase, DB_ID_CALIBRATIONTYPE) == DB_ID_CALIBRATIONTYPE_ENUM_MAGNIFICATIONTEST) {
            const char* szFront = m_pdatabase->ConfigGetString("magnificationtestresultfront", DB_CONFIGTARGET_COMMON);
            const char* szRear = m_pdatabase->ConfigGetString("magnificationtestresultrear", DB_CONFIGTARGET_COMMON);
            const bool blRear = szRear && *szRear;
            const std::string strLabel =
                label(blRear ? "messagetestingmagnificationsuccess" : "messagetestingmagnificationsuccessfrontonly",
                      "???");
            if (!DrvGuiMagnificationText(strLabel.c_str(), szFront, blRear ? szRear : nullptr, &strText)) return false;
          } else {
            strText = label("messagecalibrationsuccess", "success {0}");
          }
        } else if (a_edevdlg == DEV_DLG_FIRMWAREDOWNLOAD) {
          strText = label("messagefwdownloadsuccess", "success {0}");
        } else if (a_szText) {
          strText = a_szText;
        } else {
          OsLog(OS_LOG_ERROR, "No success message for a_edevdlg...%d", static_cast<int>(a_edevdlg));
          strText = "???";
        }
        break;
    }
  }
  std::string strButtons;
  switch (row.emsgbuttons) {
    case MSGBUTTONS_FIXED: strButtons = row.szButtons; break;
    case MSGBUTTONS_CALLER: strButtons = ButtonsWord(a_edevbuttons); break;
    case MSGBUTTONS_OKCANCEL: strButtons = a_edevbuttons == DEV_BUTTONS_OKCANCEL ? "okcancel" : ""; break;
    case MSGBUTTONS_WARMUP: strButtons = a_edevdlg == DEV_DLG_POWERUP ? "" : "cancel"; break;
  }
  std::string& strTask = *a_pstrTask;
  strTask = s_szHeader;
  if (row.emsgelement == MSGELEMENT_SHOWLABELS) {
    std::string strModel;
    {
      CDbLockGuard dblockguard;
      const char* szModel = m_pdatabase ? m_pdatabase->ConfigGetString("modelnamedialog", DB_CONFIGTARGET_COMMON) : "";
      strModel = szModel ? szModel : "";
    }
    strTask += "\t<reportlabels>\n\t\t<label>mainform</label>\n\t\t<text>" + DrvGuiCdata(strModel.c_str()) +
               "</text>\n\t</reportlabels>\n";
  }
  const char* szElement = row.emsgelement == MSGELEMENT_UPDATE ? "dialogupdate" : "dialogshow";
  strTask += std::string("\t<") + szElement + ">\n\t\t<dialogtype>" + szDialogType + "</dialogtype>\n\t\t<messagetype>" +
             szMessageType + "</messagetype>\n\t\t<text>" +
             (row.blCdata ? DrvGuiCdata(strText.c_str()) : DrvGuiEscapeText(strText.c_str())) +
             "</text>\n\t\t<messagetimeout>" + (row.blTimeout ? std::to_string(a_lValue) : std::string()) +
             "</messagetimeout>\n\t\t<buttons>" + strButtons + "</buttons>\n\t</" + szElement + ">\n</task>";
  if (a_edevmsg == DEV_MSG_OPEN && a_edevdlg != DEV_DLG_MESSAGE) SetDialogShown(a_edevdlg, true);
  // A new question: an answer given to an earlier one is not its answer.
  if (!strButtons.empty()) {
    for (std::atomic<bool>& blButton : m_ablButton) blButton = false;
    m_blAwaiting = true;
  }
  return true;
}
