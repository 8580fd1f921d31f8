// The bridge to the settings GUI: the one door (Action) through which the
// driver asks things of the GUI, with the records the actions take.
//
// Three objects, each owning the next: the facade (CDrvGui), its manager
// (CDrvGuiMgr, drv_cdrvguimgr.h: creates the GUI on demand) and the bridge
// itself (CDrvGuiImpl, drv_cdrvguiimpl.h). Without a GUI program every
// action but DISPLAYMESSAGEMANAGER answers 49 ("there is no GUI"). Query
// actions answer 0 for yes and non-zero for no, so a missing GUI reads as
// "no" everywhere.
//
// Lock order of the bridges: the driver's task lock, the interface lock,
// the manager reference (taken by every action and by the message
// procedure; a bounce waits until none is held), the database lock, then
// the bridge's leaf locks. Nothing waits under the database lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDriver;
class CDrvGuiMgr;

// Actions of CDrvGui::Action; the value is the index of its name.
enum EDRVGUIACTION : int32_t {
  DRV_GUIACTION_UNDEFINED = 0,
  DRV_GUIACTION_AUTOCOLORLEARN = 1,
  DRV_GUIACTION_DISPLAYMESSAGEMANAGER = 2,
  DRV_GUIACTION_ECDOCUSTOMLEARN = 3,
  DRV_GUIACTION_ECDOCUSTOMLEARNPRESSED = 4,
  DRV_GUIACTION_GETMESSAGECOUNT = 5,
  DRV_GUIACTION_GETSHOWUI = 6,
  DRV_GUIACTION_GETUIVISIBLE = 7,
  DRV_GUIACTION_INTERFACELOCK = 8,
  DRV_GUIACTION_INTERFACEUNLOCK = 9,
  DRV_GUIACTION_ISGUIRUNNING = 10,
  DRV_GUIACTION_MAINENABLEDS = 11,
  DRV_GUIACTION_MESSAGEMANAGER = 12,
  DRV_GUIACTION_MESSAGEMANAGERANDWAITFOROK = 13,
  DRV_GUIACTION_MESSAGEMANAGERCLEAR = 14,
  DRV_GUIACTION_MESSAGEMANAGERUICREATE = 15,
  DRV_GUIACTION_MESSAGEMANAGERUIDESTROY = 16,
  DRV_GUIACTION_NOGUI = 17,
  DRV_GUIACTION_REQUESTCANCELPRESSED = 18,
  DRV_GUIACTION_RESETFLAGS = 19,
  DRV_GUIACTION_SETMESSAGECOUNT = 20,
  DRV_GUIACTION_SETMODAL = 21,
  DRV_GUIACTION_SETREQUESTOKPRESSED = 22,
  DRV_GUIACTION_SETSHOWUI = 23,
  DRV_GUIACTION_SETSTATE = 24,
  DRV_GUIACTION_SETUIVISIBLE = 25,
  DRV_GUIACTION_START = 26,
  DRV_GUIACTION_STOP = 27,
  DRV_GUIACTION_TESTINFOBOX = 28,
  DRV_GUIACTION_UPDATEVALUES = 29,
  DRV_GUIACTION_LAST = 30,
};

// What the bridge answers when no GUI program exists.
constexpr EOSSTS DRV_GUI_STS_NOGUI = static_cast<EOSSTS>(49);

// The button the user pressed in an info box.
enum EDBINFOBUTTON : int32_t {
  DB_INFOBUTTON_NONE = 0,
  DB_INFOBUTTON_OKYES = 1,
  DB_INFOBUTTON_CANCEL = 2,
  DB_INFOBUTTON_NO = 4,
};

// GUI display states of DRV_GUIACTION_SETSTATE.
enum EGUISTATE : int32_t {
  GUI_STATE_UNDEFINED = 0,
  GUI_STATE_SCANENDED = 1,
  GUI_STATE_SCANSTARTED = 2,
};

// The record of an action; its first field repeats the action asked for.
// Which fields an action reads is told with the action.
struct CDrvGuiBase {
  EDRVGUIACTION edrvguiaction = DRV_GUIACTION_UNDEFINED;
  // Dialog, GUI state, modal setting, UI-mode message, or a one-byte flag.
  int32_t i32Value = 0;
  // Message kind of the message actions; time-out of TESTINFOBOX.
  int32_t i32Message = 0;
  // Caller's name of the lock actions.
  const char* szName = nullptr;
  // Receives the message procedure from DISPLAYMESSAGEMANAGER.
  PFNDEVMESSAGEMANAGER pfnMessageManager = nullptr;
  const char* szText = nullptr;
  long lValue = 0;  // time-out or count shown with a message
  EDEVBUTTONS edevbuttons = DEV_BUTTONS_NONE;
  // The answer of a message that waits; the value 1 waits but stores nothing.
  EDBINFOBUTTON* pedbinfobutton = nullptr;
};

// The driver's records around each task: the lock carries "DriverEntry",
// the unlock a name set before each use.
struct CDrvGuiInterfaceLock : CDrvGuiBase {
  CDrvGuiInterfaceLock() {
    edrvguiaction = DRV_GUIACTION_INTERFACELOCK;
    szName = "DriverEntry";
  }
};

struct CDrvGuiInterfaceUnlock : CDrvGuiBase {
  CDrvGuiInterfaceUnlock() {
    edrvguiaction = DRV_GUIACTION_INTERFACEUNLOCK;
    szName = "";
  }
};

// Tests: answers chosen actions and sees every call of every bridge.
class CDrvGuiActionSeam {
 public:
  virtual ~CDrvGuiActionSeam() = default;
  // True when the seam answers the action (its answer in *a_peossts).
  virtual bool Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase, EOSSTS* a_peossts) = 0;
  virtual void Bounce() {}
};

class CDrvGui {
 public:
  CDrvGui(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver);
  ~CDrvGui();
  CDrvGui(const CDrvGui&) = delete;
  CDrvGui& operator=(const CDrvGui&) = delete;

  // 50 from the manager bounces the GUI and answers 0.
  EOSSTS Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase);
  // With ForceGuiBounce 1: stops the GUI and builds a fresh manager, which
  // creates a new GUI when one is next needed; otherwise nothing.
  void Bounce();

  // The action's name; "?" outside the table.
  static const char* GetActionName(EDRVGUIACTION a_edrvguiaction);
  // Seam for tests, set while no bridge is in use; null removes it.
  static void SetActionSeam(CDrvGuiActionSeam* a_pdrvguiactionseam);

 private:
  CDatabase* m_pdatabase;
  CDev* m_pdev;
  CDriver* m_pdriver;
  CDrvGuiMgr* m_pdrvguimgr = nullptr;  // read and replaced under the manager references' mutex
  bool m_blBouncing = false;
  std::atomic<bool> m_blBounceDeferred{false};  // asked for inside another action
};

#include "drv_cdrvguimgr.h"
