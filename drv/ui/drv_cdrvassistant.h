// The bridge to the driver assistant, the program that shows a scan's images
// and hands the user's decision after a multifeed back to the driver.
//
// The facade owns a manager (drv_cdrvassistantmgr.h) per scan: after a
// scan's end it is replaced, so that every scan decides afresh. One action
// runs at a time (the user actions of the image queue, the bounce, the
// manager's replacement); a scan's end first ends a user action's wait, and
// stops the assistant without the action lock, whose holder may hold the
// image queue the assistant's last reply is pushed into. The database lock
// is given up before the action lock is taken. Action and Bounce are
// virtual, so that tests can put a stub in their place; a null database
// and driver stay valid until an action needs them.
#pragma once

#include <cstdint>
#include <mutex>

#include "dev_def.h"
#include "os_def.h"

class CDatabase;
class CDriver;
class CDrvAssistantMgr;

enum EDRVASSISTANTACTION : int32_t {
  DRV_ASSISTANTACTION_UNDEFINED = 0,
  DRV_ASSISTANTACTION_SCANBEGIN = 1,
  DRV_ASSISTANTACTION_SCANEND = 2,
  DRV_ASSISTANTACTION_HIDE = 3,
  DRV_ASSISTANTACTION_USERACTION = 4,
  DRV_ASSISTANTACTION_LAST = 5,
};

// The answer of an action whose record the assistant has taken: the image
// queue then does not hand the record to the application.
constexpr EOSSTS DRV_ASSISTANT_STS_TAKEN = static_cast<EOSSTS>(51);

// The record of an action: the action asked for, and for a user action the
// image record's status and its two texts (either may be null).
struct CDrvAssistantAction {
  EDRVASSISTANTACTION edrvassistantaction = DRV_ASSISTANTACTION_UNDEFINED;
  EDEVSTS edevsts = DEV_STS_SUCCESS;
  char* szXml = nullptr;
  char* szUserAction = nullptr;
};

// The image queue's record: copies of the record's texts, freed with it. A
// text that cannot be copied stays null (logged).
class CDrvAssistantActionUserAction : public CDrvAssistantAction {
 public:
  CDrvAssistantActionUserAction(EDEVSTS a_edevsts, const char* a_szXml, const char* a_szUserAction);
  ~CDrvAssistantActionUserAction();
  CDrvAssistantActionUserAction(const CDrvAssistantActionUserAction&) = delete;
  CDrvAssistantActionUserAction& operator=(const CDrvAssistantActionUserAction&) = delete;
};

class CDrvAssistant {
 public:
  CDrvAssistant(CDatabase* a_pdatabase, CDriver* a_pdriver);
  virtual ~CDrvAssistant();
  CDrvAssistant(const CDrvAssistant&) = delete;
  CDrvAssistant& operator=(const CDrvAssistant&) = delete;

  // 51 when the assistant took the record, any other value when not.
  virtual EOSSTS Action(EDRVASSISTANTACTION a_edrvassistantaction, CDrvAssistantAction* a_pdrvassistantaction);
  virtual void Bounce();

  // The action's name; "?" outside the table.
  static const char* GetActionName(EDRVASSISTANTACTION a_edrvassistantaction);
  // Tests: the manager of the scan in progress.
  CDrvAssistantMgr* GetMgr();

 protected:
  CDatabase* m_pdatabase;
  CDriver* m_pdriver;

 private:
  // Ends the scan's assistant and puts a new manager in place.
  EOSSTS EndScan(CDrvAssistantAction* a_pdrvassistantaction);
  CDrvAssistantMgr* NewMgr();

  // The actions, one at a time (held through a user action's waits).
  std::mutex m_mutexAction;
  // The manager pointer (held only to read, swap or interrupt it).
  std::mutex m_mutexMgr;
  CDrvAssistantMgr* m_pdrvassistantmgr = nullptr;
};
