// The command state machine: its three tables, the check before a task and
// the move after it.
#include "drv_cdrvcommandfsm.h"

#include <cstring>

#include "drv_cdrvgui.h"
#include "os_coslog.h"

namespace {
constexpr EDRVSTATE C = DRV_STATE_CLOSED;
constexpr EDRVSTATE O = DRV_STATE_OPENED;
constexpr EDRVSTATE I = DRV_STATE_INITIALIZED;
constexpr EDRVSTATE S = DRV_STATE_SCAN;
constexpr EDRVSTATE CAL = DRV_STATE_CALIBRATE;
constexpr EDRVSTATE DIA = DRV_STATE_DIAGNOSTIC;
constexpr EDRVSTATE DWN = DRV_STATE_DOWNLOAD;
constexpr EDRVSTATE ECD = DRV_STATE_ECDOCUSTOM;
constexpr EDRVSTATE UI = DRV_STATE_UI;

// Data-source states written to the log.
constexpr long s_lDsClosed = 1;
constexpr long s_lDsOpened = 3;
constexpr long s_lDsSession = 4;
constexpr long s_lDsActive = 5;  // a scan or the front end's dialog
constexpr long s_lDsImage = 6;

void SetDsState(long a_lDsState) {
  if (g_poslog) g_poslog->SetDsState(a_lDsState);
}

EDRVCOMMAND CommandOf(const DrvCommand* a_pdrvcommand) {
  return a_pdrvcommand ? a_pdrvcommand->edrvcommand : DRV_COMMAND_UNDEFINED;
}
}  // namespace

const DrvState CDrvCommandFsm::s_adrvstate[] = {
    {DRV_STATE_CLOSED, "Closed"},         {DRV_STATE_OPENED, "Opened"},
    {DRV_STATE_INITIALIZED, "Initialized"}, {DRV_STATE_SCAN, "Scan"},
    {DRV_STATE_CALIBRATE, "Calibrate"},   {DRV_STATE_DIAGNOSTIC, "Diagnostic"},
    {DRV_STATE_DOWNLOAD, "Download"},     {DRV_STATE_ECDOCUSTOM, "Ecdocustom"},
    {DRV_STATE_UI, "UI"},                 {DRV_STATE_LAST, ""},
};

const DrvCommand CDrvCommandFsm::s_adrvcommand[] = {
    {DRV_COMMAND_AUTOCOLORLEARN, "<autocolorlearn>"},
    {DRV_COMMAND_CALIBRATEBEGIN, "<calibratebegin>"},
    {DRV_COMMAND_CALIBRATEEND, "<calibrateend>"},
    {DRV_COMMAND_CALIBRATERESET, "<calibratereset>"},
    {DRV_COMMAND_CALIBRATERUN, "<calibraterun>"},
    {DRV_COMMAND_CALIBRATESTATUS, "<calibratestatus>"},
    {DRV_COMMAND_CREATE, "<create>"},
    {DRV_COMMAND_DESTROY, "<destroy>"},
    {DRV_COMMAND_DIAGNOSTICBEGIN, "<diagnosticbegin>"},
    {DRV_COMMAND_DIAGNOSTICEND, "<diagnosticend>"},
    {DRV_COMMAND_DIAGNOSTICRUN, "<diagnosticrun>"},
    {DRV_COMMAND_DOWNLOADBEGIN, "<downloadbegin>"},
    {DRV_COMMAND_DOWNLOADEND, "<downloadend>"},
    {DRV_COMMAND_DOWNLOADRUN, "<downloadrun>"},
    {DRV_COMMAND_ECDOCUSTOMBEGIN, "<ecdocustombegin>"},
    {DRV_COMMAND_ECDOCUSTOMDELETE, "<ecdocustomdelete>"},
    {DRV_COMMAND_ECDOCUSTOMEND, "<ecdocustomend>"},
    {DRV_COMMAND_ECDOCUSTOMEXPORT, "<ecdocustomexport>"},
    {DRV_COMMAND_ECDOCUSTOMIMPORT, "<ecdocustomimport>"},
    {DRV_COMMAND_ECDOCUSTOMNEW, "<ecdocustomnew>"},
    {DRV_COMMAND_ECDOCUSTOMRENAME, "<ecdocustomrename>"},
    {DRV_COMMAND_ECDOCUSTOMRESET, "<ecdocustomreset>"},
    {DRV_COMMAND_ECDOCUSTOMSAVE, "<ecdocustomsave>"},
    {DRV_COMMAND_ECDOCUSTOMSETTINGSMULTIPLE, "<ecdocustomsettingsmultiple>"},
    {DRV_COMMAND_ECDOCUSTOMSETTINGSSINGLE, "<ecdocustomsettingssingle>"},
    {DRV_COMMAND_GET, "<get>"},
    {DRV_COMMAND_GETECDOCUSTOM, "<getecdocustom>"},
    {DRV_COMMAND_GETOUTPUT, "<getoutput>"},
    {DRV_COMMAND_IMAGEEND, "<imageend>"},
    {DRV_COMMAND_INTERFACECLOSE, "<interfaceclose>"},
    {DRV_COMMAND_INTERFACEOPEN, "<interfaceopen>"},
    {DRV_COMMAND_NOTIFYDEVICESTATUS, "<notifydevicestatus>"},
    {DRV_COMMAND_RESET, "<reset>"},
    {DRV_COMMAND_SCANBEGIN, "<scanbegin>"},
    {DRV_COMMAND_SCANEND, "<scanend>"},
    {DRV_COMMAND_SCANREQUESTSTOP, "<scanrequeststop>"},
    {DRV_COMMAND_SESSIONBEGIN, "<sessionbegin>"},
    {DRV_COMMAND_SESSIONBOUNCE, "<sessionbounce>"},
    {DRV_COMMAND_SESSIONEND, "<sessionend>"},
    {DRV_COMMAND_SET, "<set>"},
    {DRV_COMMAND_SETOCPBUTTONS, "<setocpbuttons>"},
    {DRV_COMMAND_SETUPBEGIN, "<setupbegin>"},
    {DRV_COMMAND_SETUPEND, "<setupend>"},
    {DRV_COMMAND_UIBEGIN, "<uibegin>"},
    {DRV_COMMAND_UIEND, "<uiend>"},
    {DRV_COMMAND_LAST, ""},
};

// {state, command, pass state, fail state}; a command without a row for the
// current state is not allowed there.
const DrvCommandState CDrvCommandFsm::s_adrvcommandstate[] = {
    {C, DRV_COMMAND_INTERFACECLOSE, C, C},
    {C, DRV_COMMAND_INTERFACEOPEN, O, C},
    {C, DRV_COMMAND_SESSIONEND, C, C},

    {O, DRV_COMMAND_INTERFACECLOSE, C, C},
    {O, DRV_COMMAND_SESSIONBEGIN, I, O},
    {O, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {O, DRV_COMMAND_SESSIONEND, O, O},

    {I, DRV_COMMAND_AUTOCOLORLEARN, I, I},
    {I, DRV_COMMAND_CALIBRATEBEGIN, CAL, I},
    {I, DRV_COMMAND_CALIBRATERESET, I, I},
    {I, DRV_COMMAND_CREATE, I, I},
    {I, DRV_COMMAND_DESTROY, I, I},
    {I, DRV_COMMAND_DIAGNOSTICBEGIN, DIA, I},
    {I, DRV_COMMAND_DIAGNOSTICEND, I, I},
    {I, DRV_COMMAND_DOWNLOADBEGIN, DWN, I},
    {I, DRV_COMMAND_ECDOCUSTOMBEGIN, ECD, I},
    {I, DRV_COMMAND_ECDOCUSTOMEND, I, I},
    {I, DRV_COMMAND_GET, I, I},
    {I, DRV_COMMAND_IMAGEEND, I, I},
    {I, DRV_COMMAND_INTERFACECLOSE, C, C},
    {I, DRV_COMMAND_NOTIFYDEVICESTATUS, I, I},
    {I, DRV_COMMAND_RESET, I, I},
    {I, DRV_COMMAND_SCANBEGIN, S, I},
    {I, DRV_COMMAND_SCANEND, I, I},
    {I, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {I, DRV_COMMAND_SESSIONEND, O, O},
    {I, DRV_COMMAND_SET, I, I},
    {I, DRV_COMMAND_SETOCPBUTTONS, I, I},
    {I, DRV_COMMAND_SETUPBEGIN, I, I},
    {I, DRV_COMMAND_SETUPEND, I, I},
    {I, DRV_COMMAND_UIBEGIN, UI, I},
    {I, DRV_COMMAND_UIEND, I, I},

    {S, DRV_COMMAND_GET, S, S},
    {S, DRV_COMMAND_GETOUTPUT, S, S},
    {S, DRV_COMMAND_IMAGEEND, S, S},
    {S, DRV_COMMAND_INTERFACECLOSE, C, C},
    {S, DRV_COMMAND_SCANBEGIN, S, S},
    {S, DRV_COMMAND_SCANEND, I, I},
    {S, DRV_COMMAND_SCANREQUESTSTOP, S, S},
    {S, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {S, DRV_COMMAND_SESSIONEND, O, O},
    {S, DRV_COMMAND_UIEND, I, I},

    {CAL, DRV_COMMAND_CALIBRATEEND, I, I},
    {CAL, DRV_COMMAND_CALIBRATERUN, CAL, CAL},
    {CAL, DRV_COMMAND_CALIBRATESTATUS, CAL, CAL},
    {CAL, DRV_COMMAND_GET, CAL, CAL},
    {CAL, DRV_COMMAND_INTERFACECLOSE, C, C},
    {CAL, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {CAL, DRV_COMMAND_SESSIONEND, O, O},

    {DIA, DRV_COMMAND_DIAGNOSTICEND, I, I},
    {DIA, DRV_COMMAND_DIAGNOSTICRUN, DIA, DIA},
    {DIA, DRV_COMMAND_GET, DIA, DIA},
    {DIA, DRV_COMMAND_INTERFACECLOSE, C, C},
    {DIA, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {DIA, DRV_COMMAND_SESSIONEND, O, O},

    {DWN, DRV_COMMAND_DOWNLOADEND, I, I},
    {DWN, DRV_COMMAND_DOWNLOADRUN, DWN, DWN},
    {DWN, DRV_COMMAND_GET, DWN, DWN},
    {DWN, DRV_COMMAND_INTERFACECLOSE, C, C},
    {DWN, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {DWN, DRV_COMMAND_SESSIONEND, O, O},

    {ECD, DRV_COMMAND_ECDOCUSTOMEND, I, I},
    {ECD, DRV_COMMAND_ECDOCUSTOMDELETE, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMEXPORT, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMIMPORT, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMNEW, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMRENAME, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMRESET, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMSAVE, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMSETTINGSMULTIPLE, ECD, ECD},
    {ECD, DRV_COMMAND_ECDOCUSTOMSETTINGSSINGLE, ECD, ECD},
    {ECD, DRV_COMMAND_GETECDOCUSTOM, ECD, ECD},
    {ECD, DRV_COMMAND_GET, ECD, ECD},
    {ECD, DRV_COMMAND_INTERFACECLOSE, C, C},
    {ECD, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {ECD, DRV_COMMAND_SESSIONEND, O, O},

    {UI, DRV_COMMAND_UIEND, I, I},
    {UI, DRV_COMMAND_SCANBEGIN, S, UI},
    {UI, DRV_COMMAND_GET, UI, UI},
    {UI, DRV_COMMAND_INTERFACECLOSE, C, C},
    {UI, DRV_COMMAND_SESSIONBOUNCE, O, O},
    {UI, DRV_COMMAND_SESSIONEND, O, O},

    {DRV_STATE_LAST, DRV_COMMAND_LAST, DRV_STATE_LAST, DRV_STATE_LAST},
};

// ---------------------------------------------------------------------------
// Life
// ---------------------------------------------------------------------------
CDrvCommandFsm::CDrvCommandFsm(CDrvGui* a_pdrvgui) {
  ResetCommandFsm(DRV_STATE_CLOSED);
  SetDsState(s_lDsClosed);
  m_pdrvgui = a_pdrvgui;
}

CDrvCommandFsm::~CDrvCommandFsm() {
  m_pdrvstateCurrent = nullptr;
  m_blCheck = true;
  m_pdrvcommandPending = nullptr;
  m_pdrvcommandLast = nullptr;
}

void CDrvCommandFsm::ResetCommandFsm(EDRVSTATE a_edrvstate) {
  m_pdrvcommandPending = nullptr;
  m_pdrvcommandstatePending = nullptr;
  m_pdrvcommandLast = nullptr;
  m_pdrvcommandstateLast = nullptr;
  m_blCheck = false;
  m_blUiMode = false;
  m_pdrvstateCurrent = FindState(a_edrvstate == DRV_STATE_INITIALIZED ? DRV_STATE_INITIALIZED : DRV_STATE_CLOSED);
}

EDRVSTATE CDrvCommandFsm::GetCurrentState() {
  return m_pdrvstateCurrent ? m_pdrvstateCurrent->edrvstate : DRV_STATE_UNDEFINED;
}

const char* CDrvCommandFsm::GetStateName(EDRVSTATE a_edrvstate) {
  for (const DrvState* p = s_adrvstate; p->edrvstate != DRV_STATE_LAST; ++p) {
    if (p->edrvstate == a_edrvstate) return p->szName;
  }
  return "";
}

const DrvState* CDrvCommandFsm::FindState(EDRVSTATE a_edrvstate) {
  for (const DrvState* p = s_adrvstate; p->edrvstate != DRV_STATE_LAST; ++p) {
    if (p->edrvstate == a_edrvstate) return p;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------
// Table searches
// ---------------------------------------------------------------------------
bool CDrvCommandFsm::GetDrvCommandFromXmlString(const char* a_szXml, const DrvCommand** a_ppdrvcommand) {
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "CDrvCommandFsm::GetDrvCommandFromXmlString: The Xml command argument passed is a null pointer.");
    return false;
  }
  if (!a_ppdrvcommand) {
    OsLog(OS_LOG_ERROR,
          "CDrvCommandFsm::GetDrvCommandFromXmlString: The driver command argument pointer passed is a null pointer.");
    return false;
  }
  if (!a_szXml[0]) {
    OsLog(OS_LOG_ERROR, "CDrvCommandFsm::GetDrvCommandFromXmlString: The Xml command argument passed is an empty string.");
    return false;
  }
  for (const DrvCommand* p = s_adrvcommand; p->edrvcommand != DRV_COMMAND_LAST; ++p) {
    if (std::strstr(a_szXml, p->szTag)) {
      *a_ppdrvcommand = p;
      return true;
    }
  }
  return false;
}

bool CDrvCommandFsm::GetDrvCommandState(const DrvCommand* a_pdrvcommand, const DrvCommandState** a_ppdrvcommandstate) {
  if (!a_ppdrvcommandstate) {
    OsLog(OS_LOG_ERROR,
          "CDrvCommandFsm::GetDrvCommandFromXmlString: The driver command state argument pointer passed is a null "
          "pointer.");
    return false;
  }
  if (!a_pdrvcommand || !m_pdrvstateCurrent) return false;
  for (const DrvCommandState* p = s_adrvcommandstate; p->edrvstate != DRV_STATE_LAST; ++p) {
    if (p->edrvstate == m_pdrvstateCurrent->edrvstate && p->edrvcommand == a_pdrvcommand->edrvcommand) {
      *a_ppdrvcommandstate = p;
      return true;
    }
  }
  return false;
}

// ---------------------------------------------------------------------------
// Check and change
// ---------------------------------------------------------------------------
bool CDrvCommandFsm::CheckValidState(const char* a_szXml, const DrvCommandState** a_ppdrvcommandstate) {
  m_blCheck = true;
  m_pdrvcommandPending = nullptr;
  m_pdrvcommandstatePending = nullptr;
  if (a_ppdrvcommandstate) *a_ppdrvcommandstate = nullptr;
  if (!a_szXml) {
    OsLog(OS_LOG_ERROR, "drvstate>>> CDrvCommandFsm::CheckValidState: The Xml command argument passed is a null pointer.");
    return true;
  }
  if (!a_szXml[0]) {
    OsLog(OS_LOG_ERROR,
          "drvstate>>> CDrvCommandFsm::CheckValidState: The Xml command argument passed is an empty string.");
    return true;
  }
  if (!m_pdrvstateCurrent) {
    OsLog(OS_LOG_ERROR,
          "drvstate>>> CDrvCommandFsm::CheckValidState: Fatal Error : Pointer to the current state is null.");
    return true;
  }
  const DrvCommand* pdrvcommand = nullptr;
  if (!GetDrvCommandFromXmlString(a_szXml, &pdrvcommand)) {
    OsLog(OS_LOG_INFO,
          "drvstate>>> CDrvCommandFsm::CheckValidState: The Xml command argument passed does not contain a recognized "
          "Driver DLL command: %s",
          a_szXml);
    return true;
  }
  const DrvCommandState* pdrvcommandstate = nullptr;
  if (!GetDrvCommandState(pdrvcommand, &pdrvcommandstate)) {
    OsLog(OS_LOG_ERROR, "drvstate>>> CDrvCommandFsm::CheckValidState: The Xml command %s is not valid in the %s command state.",
          pdrvcommand->szTag, m_pdrvstateCurrent->szName);
    m_blCheck = false;
    return false;
  }
  m_pdrvcommandPending = pdrvcommand;
  m_pdrvcommandstatePending = pdrvcommandstate;
  if (a_ppdrvcommandstate) *a_ppdrvcommandstate = pdrvcommandstate;
  return true;
}

// The front end's own dialog stays up across a scan started from it: while
// it is, a move back to "Initialized" lands in "UI". Only a uibegin that
// passed puts the dialog up; a failed one leaves the state its row names.
bool CDrvCommandFsm::ChangeState(EOSSTS a_eossts) {
  if (!m_blCheck) {
    m_blCheck = true;
    return false;
  }
  if (!m_pdrvcommandPending || !m_pdrvcommandstatePending || !m_pdrvstateCurrent) {
    OsLogDebug(OS_LOG_INFO, "drvstate>>> Pending command settings contain null pointers.");
    return true;
  }
  m_pdrvcommandLast = m_pdrvcommandPending;
  m_pdrvcommandstateLast = m_pdrvcommandstatePending;
  switch (m_pdrvcommandLast->edrvcommand) {
    case DRV_COMMAND_INTERFACECLOSE:
    case DRV_COMMAND_SESSIONEND:
    case DRV_COMMAND_UIEND: m_blUiMode = false; break;
    case DRV_COMMAND_UIBEGIN:
      if (a_eossts == OS_STS_SUCCESS) m_blUiMode = true;
      break;
    default: break;
  }
  const bool blPass = a_eossts == OS_STS_SUCCESS;
  const EDRVSTATE edrvstateTarget =
      blPass ? m_pdrvcommandstateLast->edrvstatePass : m_pdrvcommandstateLast->edrvstateFail;
  const bool blUiReplaced = m_blUiMode && edrvstateTarget == DRV_STATE_INITIALIZED;
  const DrvState* pdrvstateOld = m_pdrvstateCurrent;
  const DrvState* pdrvstateNew = FindState(blUiReplaced ? DRV_STATE_UI : edrvstateTarget);
  if (pdrvstateNew) m_pdrvstateCurrent = pdrvstateNew;
  const char* szFormat = blPass ? "drvstate>>> pass-%d: %s(%d) --> %s(%d)"
                         : blUiReplaced ? "drvstate>>> fail-%d! %s(%d) --> %s(%d)"
                                        : "drvstate>>> fail-%d: %s(%d) --> %s(%d)";
  OsLogDebug(OS_LOG_INFO, szFormat, static_cast<int>(edrvstateTarget), pdrvstateOld->szName,
             static_cast<int>(pdrvstateOld->edrvstate), m_pdrvstateCurrent->szName,
             static_cast<int>(m_pdrvstateCurrent->edrvstate));
  m_pdrvcommandPending = nullptr;
  m_pdrvcommandstatePending = nullptr;
  SetOsState(a_eossts);
  return true;
}

// The GUI's query answers 0 for yes: visible, the front end's dialog is up.
void CDrvCommandFsm::SetOsState(EOSSTS a_eossts) {
  const bool blPass = a_eossts == OS_STS_SUCCESS;
  switch (CommandOf(m_pdrvcommandLast)) {
    case DRV_COMMAND_GETOUTPUT: SetDsState(s_lDsImage); break;
    case DRV_COMMAND_INTERFACECLOSE: SetDsState(s_lDsClosed); break;
    case DRV_COMMAND_INTERFACEOPEN:
      if (blPass) SetDsState(s_lDsOpened);
      break;
    case DRV_COMMAND_SCANBEGIN:
    case DRV_COMMAND_UIBEGIN:
      if (blPass) SetDsState(s_lDsActive);
      break;
    case DRV_COMMAND_SCANEND: {
      const bool blHidden = !m_pdrvgui || m_pdrvgui->Action(DRV_GUIACTION_GETUIVISIBLE, nullptr) != OS_STS_SUCCESS;
      SetDsState(blHidden ? s_lDsSession : s_lDsActive);
      break;
    }
    case DRV_COMMAND_SESSIONBEGIN:
      if (blPass) SetDsState(s_lDsSession);
      break;
    case DRV_COMMAND_SESSIONEND: SetDsState(s_lDsOpened); break;
    case DRV_COMMAND_UIEND:
      SetDsState(s_lDsSession);
      if (m_pdrvgui) m_pdrvgui->Bounce();
      break;
    default: break;
  }
}
