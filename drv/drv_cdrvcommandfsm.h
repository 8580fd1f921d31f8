// The command state machine: decides for every task whether its command is
// allowed in the driver's current state, and once the task has run moves to
// the command's pass or fail state. It also keeps the log's data-source
// state, which tells the rest of the process whether a session is up (above
// 3) or a scan or the front end's dialog runs (5).
//
// A command is found in a task text by plain search for its tag, the first
// tag in table order winning; commands without a tag pass in every state and
// change nothing. The machine keeps no lock: it runs under the driver's
// task lock.
#pragma once

#include "os_def.h"

class CDrvGui;

enum EDRVSTATE : int {
  DRV_STATE_UNDEFINED = 0,
  DRV_STATE_CLOSED = 1,
  DRV_STATE_OPENED = 2,
  DRV_STATE_INITIALIZED = 3,
  DRV_STATE_SCAN = 4,
  DRV_STATE_CALIBRATE = 5,
  DRV_STATE_DIAGNOSTIC = 6,
  DRV_STATE_DOWNLOAD = 7,
  DRV_STATE_ECDOCUSTOM = 8,
  DRV_STATE_UI = 9,
  DRV_STATE_LAST = 10,
};

// The commands of the state table, in search order.
enum EDRVCOMMAND : int {
  DRV_COMMAND_UNDEFINED = 0,
  DRV_COMMAND_AUTOCOLORLEARN = 1,
  DRV_COMMAND_CALIBRATEBEGIN = 2,
  DRV_COMMAND_CALIBRATEEND = 3,
  DRV_COMMAND_CALIBRATERESET = 4,
  DRV_COMMAND_CALIBRATERUN = 5,
  DRV_COMMAND_CALIBRATESTATUS = 6,
  DRV_COMMAND_CREATE = 7,
  DRV_COMMAND_DESTROY = 8,
  DRV_COMMAND_DIAGNOSTICBEGIN = 9,
  DRV_COMMAND_DIAGNOSTICEND = 10,
  DRV_COMMAND_DIAGNOSTICRUN = 11,
  DRV_COMMAND_DOWNLOADBEGIN = 12,
  DRV_COMMAND_DOWNLOADEND = 13,
  DRV_COMMAND_DOWNLOADRUN = 14,
  DRV_COMMAND_ECDOCUSTOMBEGIN = 15,
  DRV_COMMAND_ECDOCUSTOMDELETE = 16,
  DRV_COMMAND_ECDOCUSTOMEND = 17,
  DRV_COMMAND_ECDOCUSTOMEXPORT = 18,
  DRV_COMMAND_ECDOCUSTOMIMPORT = 19,
  DRV_COMMAND_ECDOCUSTOMNEW = 20,
  DRV_COMMAND_ECDOCUSTOMRENAME = 21,
  DRV_COMMAND_ECDOCUSTOMRESET = 22,
  DRV_COMMAND_ECDOCUSTOMSAVE = 23,
  DRV_COMMAND_ECDOCUSTOMSETTINGSMULTIPLE = 24,
  DRV_COMMAND_ECDOCUSTOMSETTINGSSINGLE = 25,
  DRV_COMMAND_GET = 26,
  DRV_COMMAND_GETECDOCUSTOM = 27,
  DRV_COMMAND_GETOUTPUT = 28,
  DRV_COMMAND_IMAGEEND = 29,
  DRV_COMMAND_INTERFACECLOSE = 30,
  DRV_COMMAND_INTERFACEOPEN = 31,
  DRV_COMMAND_NOTIFYDEVICESTATUS = 32,
  DRV_COMMAND_RESET = 33,
  DRV_COMMAND_SCANBEGIN = 34,
  DRV_COMMAND_SCANEND = 35,
  DRV_COMMAND_SCANREQUESTSTOP = 36,
  DRV_COMMAND_SESSIONBEGIN = 37,
  DRV_COMMAND_SESSIONBOUNCE = 38,
  DRV_COMMAND_SESSIONEND = 39,
  DRV_COMMAND_SET = 40,
  DRV_COMMAND_SETOCPBUTTONS = 41,
  DRV_COMMAND_SETUPBEGIN = 42,
  DRV_COMMAND_SETUPEND = 43,
  DRV_COMMAND_UIBEGIN = 44,
  DRV_COMMAND_UIEND = 45,
  DRV_COMMAND_LAST = 46,
};

// Rows of the three tables; each table ends with a row of the LAST value.
struct DrvState {
  EDRVSTATE edrvstate;
  const char* szName;
};

struct DrvCommand {
  EDRVCOMMAND edrvcommand;
  const char* szTag;
};

struct DrvCommandState {
  EDRVSTATE edrvstate;
  EDRVCOMMAND edrvcommand;
  EDRVSTATE edrvstatePass;
  EDRVSTATE edrvstateFail;
};

class CDrvCommandFsm {
 public:
  explicit CDrvCommandFsm(CDrvGui* a_pdrvgui);
  ~CDrvCommandFsm();
  CDrvCommandFsm(const CDrvCommandFsm&) = delete;
  CDrvCommandFsm& operator=(const CDrvCommandFsm&) = delete;

  // Back to "Initialized" (3) or else "Closed", nothing pending.
  void ResetCommandFsm(EDRVSTATE a_edrvstate);
  EDRVSTATE GetCurrentState();
  // The state's name; "" outside the table.
  static const char* GetStateName(EDRVSTATE a_edrvstate);

  // True when the task may run; its transition row (null when its command
  // has none, or has no tag) goes to *a_ppdrvcommandstate when given.
  bool CheckValidState(const char* a_szXml, const DrvCommandState** a_ppdrvcommandstate);
  // Applies the transition the last check left pending, by the task's
  // status; false (nothing changes) after a refused command.
  bool ChangeState(EOSSTS a_eossts);

  // The first command whose tag occurs in the text.
  bool GetDrvCommandFromXmlString(const char* a_szXml, const DrvCommand** a_ppdrvcommand);
  // The first transition of the current state for the command.
  bool GetDrvCommandState(const DrvCommand* a_pdrvcommand, const DrvCommandState** a_ppdrvcommandstate);

  static const DrvState s_adrvstate[];
  static const DrvCommand s_adrvcommand[];
  static const DrvCommandState s_adrvcommandstate[];

 private:
  // The data-source state the last command leaves behind.
  void SetOsState(EOSSTS a_eossts);
  const DrvState* FindState(EDRVSTATE a_edrvstate);

  CDrvGui* m_pdrvgui = nullptr;
  const DrvState* m_pdrvstateCurrent = nullptr;
  bool m_blCheck = false;   // false only after a refused command
  bool m_blUiMode = false;  // the front end's own dialog is up
  const DrvCommand* m_pdrvcommandPending = nullptr;
  const DrvCommandState* m_pdrvcommandstatePending = nullptr;
  const DrvCommand* m_pdrvcommandLast = nullptr;
  const DrvCommandState* m_pdrvcommandstateLast = nullptr;
};
