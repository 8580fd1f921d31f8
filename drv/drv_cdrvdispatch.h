// The command dispatcher: turns one task text into calls of the command
// handlers by walking it against the driver's command grammar, and makes
// sure every task leaves a reply in the database's task builder.
//
// A task is one <task> element with an id of 1 to 20 decimal digits (at
// most 2147483647) holding exactly one command element. Before the command
// runs, the state machine decides whether it is allowed now ("invalidstate"
// when not). The database commands (get, set, setmany, reset, create,
// destroy, rename, import, export) run under the database-wide lock, so that
// the device engine's threads never see a half-made change; the others run
// without it, as they may wait for those threads.
//
// Runs on the front end's task thread only, under the driver's task lock.
#pragma once

#include "os_cosxml.h"
#include "os_def.h"

class CDatabase;
class CDev;
class CDriver;
class CDrvCommandFsm;
class CDrvGui;
class CDrvProcessCommands;

class CDrvDispatchImpl : public COsXml {
 public:
  CDrvDispatchImpl();
  ~CDrvDispatchImpl();
  CDrvDispatchImpl(const CDrvDispatchImpl&) = delete;
  CDrvDispatchImpl& operator=(const CDrvDispatchImpl&) = delete;

  EOSSTS Init(CDrvCommandFsm* a_pdrvcommandfsm, CDatabase* a_pdatabase, CDev* a_pdev, CDrvGui* a_pdrvgui,
              CDriver* a_pdriver);
  EOSSTS Process(const char* a_szXml);
  // The name of the task's command, as ReadTaskCommand reads it, from this
  // reader: Process of the same text then walks the document read here
  // instead of reading it again. Inside a walk (a task sent from a
  // handler) the text is read by a reader of its own.
  bool ReadCommand(const char* a_szXml, char* a_szCommand, long a_lCommand);
  // The end of a task that ReadCommand read: a document Process did not
  // take is let go.
  void EndTask();

  // Enter handler of the task element, and its forwarder.
  EOSSTS EnterTask(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDrvDispatchImpl_EnterTask(OsXmlCallback* a_posxmlcallback);

  // The command grammar, as the build embeds it from drv_grammar.xml.
  static const char s_szDrvGrammar[];
  // Tests: the grammar Init loads (null restores the built-in one).
  static void SetGrammarSeam(const char* a_szGrammar);
  // A task id: 1 to 20 decimal digits up to 2147483647; false for anything
  // else.
  static bool ReadTaskId(const char* a_szId, int* a_piId);
  // The id of a task text that may not be XML: " id='...'" in its task
  // line, read as ReadTaskId reads it.
  static bool ReadRawTaskId(const char* a_szXml, int* a_piId);
  // The ids of a reply: the database's task id one up, the reply id given.
  static void NextIds(CDatabase* a_pdatabase, int a_iReplyId);
  // The name of a task's command, its one element below <task>, read by a
  // reader of its own (so from any thread, before the task is dispatched):
  // tags inside ids, values, CDATA or comments are no command. False (the
  // name empty) for a text that is no task of one command.
  static bool ReadTaskCommand(const char* a_szXml, char* a_szCommand, long a_lCommand);

 private:
  // Loads, checks and walks the task; the handlers' status.
  EOSSTS Walk(const char* a_szXml);
  // The task's one command element (its name into a_szCommand); false,
  // logged, for another shape.
  bool FindCommand(char* a_szCommand, long a_lCommand);
  // The same on any loaded reader: the root's name, the first command's,
  // and the number of elements below the task (-1 when the root is no
  // task).
  static long CountCommands(COsXml* a_posxml, char* a_szRoot, long a_lRoot, char* a_szCommand, long a_lCommand);
  // A fresh reply id pair for this task: the task id one up, the reply id
  // the request's.
  void TakeIds(int a_iReplyId);
  // "fail" for a task that built no reply, with its id when readable.
  void AnswerFail(const char* a_szXml);

  const char* m_szGrammar = nullptr;
  CDrvCommandFsm* m_pdrvcommandfsm = nullptr;
  CDrvProcessCommands* m_pdrvprocesscommands = nullptr;
  CDatabase* m_pdatabase = nullptr;
  bool m_blIdsTaken = false;  // this task's ids are in the database
  const char* m_szRead = nullptr;  // the text ReadCommand loaded, until Process takes it
  int m_iWalks = 0;                // Process calls running (a task sent from a handler nests)
  // The task's command element, which the state machine judges (as its
  // tag; a setmany as the set it holds): tags inside the task's arguments
  // never move the state.
  char m_szCommand[64] = {};
};

class CDrvDispatch {
 public:
  CDrvDispatch();
  ~CDrvDispatch();
  CDrvDispatch(const CDrvDispatch&) = delete;
  CDrvDispatch& operator=(const CDrvDispatch&) = delete;

  // Registers the handlers and loads the grammar: a handler the library
  // lacks fails here, not in a later task.
  EOSSTS Init(CDrvCommandFsm* a_pdrvcommandfsm, CDatabase* a_pdatabase, CDev* a_pdev, CDrvGui* a_pdrvgui,
              CDriver* a_pdriver);
  // Runs one task; 0 when its handlers succeeded. The reply is in the
  // database's task builder.
  EOSSTS Process(const char* a_szXml);
  // CDrvDispatchImpl::ReadCommand and EndTask; without the implementation
  // the command is read by a reader of its own.
  bool ReadCommand(const char* a_szXml, char* a_szCommand, long a_lCommand);
  void EndTask();

 private:
  CDrvDispatchImpl* m_pdrvdispatchimpl;
};
