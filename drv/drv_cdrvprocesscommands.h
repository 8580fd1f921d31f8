// The command handlers: the object the command grammar names
// "drvprocesscommands". Enter handlers gather a command's arguments, the
// command's exit handler does its work and builds the reply in the
// database's task builder. Each handler is reached through its static
// forwarder CDrvProcessCommands_<handler>, which the XML reader finds by
// symbol name.
#pragma once

#include <cstdint>

#include "db_def.h"
#include "drv_cdrvoverride.h"
#include "drv_cdrvprocesscommands_handlers.h"
#include "os_cosxml.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDriver;
class CDrvCommandFsm;
class CDrvGui;

class CDrvProcessCommands : public COverride {
 public:
  CDrvProcessCommands();
  ~CDrvProcessCommands();
  CDrvProcessCommands(const CDrvProcessCommands&) = delete;
  CDrvProcessCommands& operator=(const CDrvProcessCommands&) = delete;

  EOSSTS Init(CDrvCommandFsm* a_pdrvcommandfsm, CDatabase* a_pdatabase, CDev* a_pdev, CDrvGui* a_pdrvgui,
              CDriver* a_pdriver);
  // The reply's status word of a database status.
  static const char* GetLexiconStatusFromEdbsts(EDBSTS a_edbsts);

  // Called before each task: forgets what the last task marked.
  void BeginTask();
  // Whether this task's setmany began (its values were remembered).
  bool IsSetmanyBegun() const { return m_blSetmanyBegun; }

#define DRV_DECLARE_FORWARDER(kind, name) static EOSSTS CDrvProcessCommands_##name(OsXmlCallback* a_posxmlcallback);
  DRV_PROCESSCOMMANDS_HANDLERS(DRV_DECLARE_FORWARDER)
#undef DRV_DECLARE_FORWARDER

 private:
#define DRV_DECLARE_HANDLER(kind, name) EOSSTS name(OsXmlCallback* a_posxmlcallback);
  DRV_PROCESSCOMMANDS_HANDLERS(DRV_DECLARE_HANDLER)
#undef DRV_DECLARE_HANDLER

  // The body of a command whose work is not built yet.
  EOSSTS NotBuilt(OsXmlCallback* a_posxmlcallback);

  // Reads the answers of the ecdocustom requests.
  COsXml m_osxml;
  CDrvCommandFsm* m_pdrvcommandfsm = nullptr;
  CDatabase* m_pdatabase = nullptr;
  CDev* m_pdev = nullptr;
  CDrvGui* m_pdrvgui = nullptr;
  CDriver* m_pdriver = nullptr;
  // Tracked memory some handlers allocate; freed with the object.
  void* m_pvMemory = nullptr;

  // Setmany: the set types of its completed sets, and whether this task's
  // setmany began.
  uint64_t m_u64SetmanyType = 0;
  bool m_blSetmanyBegun = false;
};
