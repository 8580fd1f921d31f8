// The driver-assistant bridge's manager, one per scan: decides whether the
// assistant comes up (at the scan's begin for an interactive multifeed, or
// at the scan's first user-action record), chooses its executable and
// creates the bridge (CDrvAssistantImpl); without one it answers user
// actions itself, so that the scanner still gets the user's input.
#pragma once

#include <atomic>
#include <cstddef>

#include "drv_cdrvassistant.h"
#include "os_def.h"

class CDatabase;
class CDriver;
class CDrvAssistantImpl;

class CDrvAssistantMgr {
 public:
  CDrvAssistantMgr(CDatabase* a_pdatabase, CDriver* a_pdriver);
  ~CDrvAssistantMgr();
  CDrvAssistantMgr(const CDrvAssistantMgr&) = delete;
  CDrvAssistantMgr& operator=(const CDrvAssistantMgr&) = delete;

  // The facade's caller serialises the actions.
  EOSSTS Action(EDRVASSISTANTACTION a_edrvassistantaction, CDrvAssistantAction* a_pdrvassistantaction);
  // Any thread: the scan ends; a wait of the bridge ends at once.
  void Interrupt();

  bool NeedUi();
  bool StartUiAtScanBegin();
  bool OkToRunUi();
  // Chooses the executable and creates the bridge; false for none.
  bool CreateDrvAssistantImpl();
  CDrvAssistantImpl* GetImpl() { return m_pdrvassistantimpl.load(); }

 private:
  void ChoosePath(char* a_szPath, size_t a_sizetPath);
  // Without an assistant: a user action answered here.
  EOSSTS Unassisted(const CDrvAssistantAction* a_pdrvassistantaction);

  std::atomic<CDrvAssistantImpl*> m_pdrvassistantimpl{nullptr};
  CDatabase* m_pdatabase;
  CDriver* m_pdriver;
  bool m_blCreatePending = true;
  bool m_blUserActionStarted = false;
  bool m_blShowing = false;  // without an assistant: a show's sheet is being taken
  std::atomic<bool> m_blInterrupted{false};
};
