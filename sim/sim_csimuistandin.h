// The stand-in of a user-interface program (staged as "twaingui"): started
// by the driver's link as its child, it connects to the two channels that
// PMX_UISOCKETS names (it reads "drv2gui" and writes "gui2drv"), cuts what
// it reads by bytes= exactly, and answers as a GUI does: "uiready" once
// connected, "uivisible" to "uicreate", and "dialogcleared" with the button
// of UISTANDIN_BUTTON (default "ok") and the dialog's type to a dialog
// ("dialogupdate", "dialogshow") that shows buttons. It ends on the exit
// task ("uiexit"; "interfaceclose" of the driver assistant), at the end of
// its channel (its parent's end ends it), or after UISTANDIN_LIFETIME ms
// (default ten minutes). Every task it writes carries ids from 1, reply 0
// and its exact length. With UISTANDIN_CAPTURE (a directory) each task it
// reads is kept whole there, named by its id ("ID.xml").
//
// UISTANDIN_SCRIPT: one step a line, run in order once connected (blank
// lines and lines from "#" are skipped). Settings, wherever they stand:
//   noready     never sends uiready
//   ignoreexit  the exit task does not end it
//   ignoreterm  SIGTERM is ignored
//   echo        answers every task but the exit task with "echo" tasks of
//               the same length (or the shortest there is)
// Steps (TEXT: the rest of the line; \n \t \r \0 \\ and \xHH decoded):
//   send NAME [TEXT]        a task whose command NAME holds TEXT
//   raw TEXT                the bytes as they are, in one write
//   split N NAME [TEXT]     one task in N writes, 50 ms apart
//   pair NAME NAME          two tasks in one write
//   big BYTES NAME          one task of exactly BYTES bytes
//   flood N NAME            N tasks, one write each, as fast as it can
//   wait NAME [MS]          until a task NAME comes (each counts once;
//                           10 s by default, then it goes on, logged)
//   waitfile PATH [MS]      until the file exists
//   sleep MS
//   button WORD             the next dialog is answered with WORD ("none":
//                           not answered)
//   deaf                    stops reading its channel
//   exit [STATUS]           ends
//   kill                    SIGKILL to itself
//   sigstop                 SIGSTOP to itself
//
// UISTANDIN_KEEP: a directory that receives each task read, whole, as
// "recv-NNNNNN.xml" numbered in the order read.
//
// UISTANDIN_LOG: a file of tab-separated lines (tab, line feed, backslash
// and other control bytes escaped): "argv N VALUE", "env NAME VALUE",
// "recv MS ID REPLY BYTES LENGTH COMMAND" for each task read and "sent ..."
// for each task written (MS: milliseconds since 1970; ID, REPLY, BYTES the
// header's texts, "-" when missing; LENGTH the task's real length),
// "error MS TEXT", "exit MS STATUS REASON".
//
// Started as "drvassistui" (its second staged copy) it plays the driver
// assistant: no uiready; interfaceopen is answered with reportinterfaceopen
// (UISTANDIN_GETLABELS: unset no getlabels, "*" an empty getlabels, else
// the label keys, blank-separated, each as a labels element), sessionbegin
// with reportsessionbegin (not with noready), each showimage with the
// imageend of its file, and showend with a userinput whose useraction is
// UISTANDIN_DECISION (default "continue").
//
// UISTANDIN_TASKS: a directory that gets each task read, whole, as
// "NNNN-COMMAND.xml" (NNNN from 0001).
//
// Exit status: 0 ended as asked, 1 a bad script, 2 no channels in the
// environment, 3 a channel it cannot connect, 4 a frame it cannot cut.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "os_cossocket.h"

class CSimNode;

enum ESIMUISTANDINEXIT : int {
  SIM_UISTANDINEXIT_DONE = 0,
  SIM_UISTANDINEXIT_SCRIPT = 1,
  SIM_UISTANDINEXIT_NOCHANNELS = 2,
  SIM_UISTANDINEXIT_CONNECT = 3,
  SIM_UISTANDINEXIT_FRAME = 4,
};

class CSimUiStandin {
 public:
  int Run(int a_iArgs, char** a_aszArgs);

  // The task text of one command: a header with the id, reply 0 and the
  // byte count, the command holding the text, at least a_sizetLength bytes
  // long (padded inside the command).
  static std::string Task(uint64_t a_u64Id, const std::string& a_strName, const std::string& a_strText,
                          size_t a_sizetLength = 0);
  // The escapes of script texts decoded.
  static std::string Decode(const std::string& a_strText);

 private:
  struct Step {
    std::string strVerb;
    std::vector<std::string> vecstrWord;  // the words after the verb
    std::string strRest;                  // the line after the verb
  };

  bool ParseScript(const std::string& a_strScript, std::string& a_strError);
  bool ReadChannels(std::string& a_strError);
  void Reader();
  bool Cut(std::string& a_strBuffer);
  void Handle(const std::string& a_strTask);
  void Keep(const std::string& a_strTask);
  void KeepIn(const char* a_szDir, const std::string& a_strName, const std::string& a_strTask);
  // The assistant's answers; false when the command is none of its.
  bool HandleAssistant(const std::string& a_strCommand, const CSimNode& a_simnode);
  void SaveTask(const std::string& a_strCommand, const std::string& a_strTask);
  bool Send(const std::string& a_strName, const std::string& a_strText, size_t a_sizetLength = 0);
  bool Write(const std::string& a_strBytes, const char* a_szKind);
  std::string NextTask(const std::string& a_strName, const std::string& a_strText, size_t a_sizetLength = 0);
  void RunSteps();
  bool RunStep(const Step& a_step);
  void End(int a_iStatus, const std::string& a_strReason);
  void Log(const std::string& a_strLine);
  void LogTask(const char* a_szKind, const std::string& a_strTask);

  int m_iLog = -1;
  std::vector<Step> m_vecstep;
  unsigned m_uKept = 0;  // the reader's alone
  bool m_blNoReady = false;
  bool m_blIgnoreExit = false;
  bool m_blEcho = false;
  bool m_blAssistant = false;
  std::string m_strTaskDir;
  int m_iTasks = 0;
  std::string m_strAddress[2];  // read, write
  std::string m_strPort[2];
  COsSocket m_ossocketIn;
  COsSocket m_ossocketOut;

  std::mutex m_mutexWrite;  // one writer at a time; the next id
  uint64_t m_u64NextId = 1;
  std::mutex m_mutex;
  std::condition_variable m_cond;
  std::map<std::string, int> m_mapReceived;  // tasks come and not yet waited for, by command
  std::string m_strButton;
  bool m_blDeaf = false;
  bool m_blEnded = false;
  int m_iStatus = SIM_UISTANDINEXIT_DONE;
  std::string m_strReason;
};
