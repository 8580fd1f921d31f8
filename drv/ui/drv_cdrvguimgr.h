// The GUI bridge's manager: creates the bridge (CDrvGuiImpl) the first time
// an action needs a GUI, chooses its executable, and hands out the message
// procedure of the device engine.
//
// References: every action, and the message procedure the engine's threads
// call, holds a reference to the manager it runs on (DrvGuiMgrRef); the
// facade's bounce waits until none is held before it deletes the manager,
// and the process-wide pointer of the message procedure is cleared when
// its manager dies. A thread that already holds a reference takes another
// at once, so an action may call another.
#pragma once

#include <atomic>
#include <cstdint>

#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDriver;
class CDrvGuiImpl;
struct CDrvGuiBase;
enum EDRVGUIACTION : int32_t;

// Answered by the manager when the action cleared a pending bounce: the
// facade bounces the GUI and answers 0.
constexpr EOSSTS DRV_GUI_STS_BOUNCE = static_cast<EOSSTS>(50);

class CDrvGuiMgr {
 public:
  CDrvGuiMgr(CDatabase* a_pdatabase, CDev* a_pdev, CDriver* a_pdriver);
  ~CDrvGuiMgr();
  CDrvGuiMgr(const CDrvGuiMgr&) = delete;
  CDrvGuiMgr& operator=(const CDrvGuiMgr&) = delete;

  // The record checks are the facade's; this creates the GUI when the
  // action needs one, then runs it.
  EOSSTS Action(EDRVGUIACTION a_edrvguiaction, CDrvGuiBase* a_pdrvguibase);
  // Chooses the executable and creates the bridge (none: "none", not found,
  // false); started first when asked, then published to other threads.
  bool CreateDrvGuiImpl(bool a_blStart = false);
  CDrvGuiImpl* GetImpl() { return m_pdrvguiimpl.load(); }

  // The message procedure handed to the device engine: action 12 on the
  // manager that lives; 49 when none does.
  static EOSSTS MessageManagerStatic(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                                     EDEVBUTTONS a_edevbuttons);

  // The references (drv_cdrvguimgr.cpp keeps their mutex): the facade's
  // manager, or the process-wide one when a_ppdrvguimgr is null. A bounce
  // in progress makes a new reference wait (a thread holding one excepted).
  static CDrvGuiMgr* Acquire(CDrvGuiMgr* const* a_ppdrvguimgr, const bool* a_pblBouncing);
  static void Release(CDrvGuiMgr* a_pdrvguimgr);
  // The facade's bounce: marks it, waits for the references to end, and
  // swaps in the new manager built by the callback.
  static void Replace(CDrvGuiMgr** a_ppdrvguimgr, bool* a_pblBouncing, CDrvGuiMgr* (*a_pfnMake)(void*),
                      void* a_pvArg);
  // Whether the calling thread holds a reference.
  static bool Held();

 private:
  // Whether the action, on a manager that has not tried to create the GUI
  // yet, creates it; sets the bounce-pending flag as it says.
  bool Creates(EDRVGUIACTION a_edrvguiaction, const CDrvGuiBase* a_pdrvguibase);
  void Indicators(bool* a_pblInfo, bool* a_pblWarning, bool* a_pblError, bool* a_pblWarmup);
  // The executable's path from the sources, first found first; empty for none.
  void ChoosePath(char* a_szPath, size_t a_sizetPath);

  // A front end's task and the engine's threads act at once: the first
  // action that creates claims the creation, the bridge is published once
  // started, and the flags are shared.
  std::atomic<CDrvGuiImpl*> m_pdrvguiimpl{nullptr};
  CDatabase* m_pdatabase;
  CDev* m_pdev;
  CDriver* m_pdriver;
  std::atomic<bool> m_blCreatePending{true};
  std::atomic<bool> m_blBouncePending{false};
  int m_iRefs = 0;  // under the references' mutex
};

// One reference for a scope.
class DrvGuiMgrRef {
 public:
  DrvGuiMgrRef(CDrvGuiMgr* const* a_ppdrvguimgr, const bool* a_pblBouncing)
      : m_pdrvguimgr(CDrvGuiMgr::Acquire(a_ppdrvguimgr, a_pblBouncing)) {}
  ~DrvGuiMgrRef() { CDrvGuiMgr::Release(m_pdrvguimgr); }
  DrvGuiMgrRef(const DrvGuiMgrRef&) = delete;
  DrvGuiMgrRef& operator=(const DrvGuiMgrRef&) = delete;
  CDrvGuiMgr* Get() const { return m_pdrvguimgr; }

 private:
  CDrvGuiMgr* m_pdrvguimgr;
};
