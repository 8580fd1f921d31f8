// A stand-in of the image-processing library behind NexEntry: one task text
// in, one reply text out, under the same rules as the simulated scanner (one
// lock serves callers one after the other; each reply stays valid until the
// calling thread's next call). The library moves through the states loaded,
// open (interfaceopen), session (sessionbegin) and scanning (scanbegin); a
// task that does not fit the state is answered "invalidstate", an unknown
// one "fail".
//
// It learns the output streams from the attribute tasks of a setup
// (windowadd, setwindoworder). Each page that setinput hands over becomes
// one output per stream of the page's side (the page as it is when no
// stream was learned), each a new raw file converted from the page (a user
// action without a page passes through as its one output, without a file);
// getoutput hands them out in stream order and answers "endofoutput" once
// the page's outputs are out. An output handed out is removed by its
// imageend, or by scanend (and sessionend and interfaceclose) with every
// other one: never before the caller let it go or ended the scan. Outputs
// of a page that were never fetched go when the next page is set.
//
// Knobs, read from the environment at interfaceopen: NEXSIM_IMAGEDIRECTORY
// (where outputs go; tmpfs by default), NEXSIM_NOMEMORY (which getoutput,
// counted from 1 since interfaceopen, answers "nomemory" and hands nothing
// out), NEXSIM_VERSION (the number getversion reports), NEXSIM_MAXMEMORY
// (MiB: the most that getfreememory reports), NEXSIM_TASKLOG (a file that
// gets one line per task from the interfaceopen on, CSimTask::Log),
// NEXSIM_GETOUTPUTWORD ("n:word[,n:word...]": the n-th getoutput answers
// that status word and hands nothing out), NEXSIM_THROWAT (the n-th task
// after interfaceopen throws a C++ exception out of NexEntry instead of
// being served), NEXSIM_RELAY (messagerelay answers "success" with a
// reportmessage that many times, -1 for ever, before "endofmessages"),
// NEXSIM_DELAY (milliseconds the library takes before each reply, from
// the task after interfaceopen on), NEXSIM_PADOUTPUT (each output's
// reportimage gets an element "nexsimpad" of that many characters),
// NEXSIM_ECDOCUSTOMWORD (the status word of every answer of the custom
// colour-dropout family), NEXSIM_ECDOCUSTOMNOSTATUS (those answers begin
// with their report, without reportstatus), NEXSIM_ECDOCUSTOMPAD (their
// report gets an element "nexsimpad" of that many characters),
// NEXSIM_ECDOCUSTOMCUT (those answers end halfway), NEXSIM_FAILSETINPUT (the
// n-th setinput since interfaceopen answers "fail" and makes no output),
// NEXSIM_PAGEPOOL ("1" or "true": each stream's output is converted once
// per scan, from the first page that needs it, and handed out as fresh hard
// links to that copy, so that a benchmark measures the exchange rather than
// the conversion), NEXSIM_ECDOFILE (the choices getecdo answers, from a
// file: CSimEcdo), NEXSIM_ECDOWORD (the status word getecdo answers, with
// no choices), NEXSIM_ECDOCUT (getecdo's answer ends halfway). Each of the
// last three is read as NEXSIM_ADF_<KNOB> or NEXSIM_FLATBED_<KNOB> first, by
// the unit's own copy, so that feeder and flatbed may answer differently.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sim_csimecdo.h"
#include "sim_csimimage.h"
#include "sim_csimnode.h"
#include "sim_csimstreams.h"

class CSimNexil {
 public:
  CSimNexil() = default;
  ~CSimNexil();
  CSimNexil(const CSimNexil&) = delete;
  CSimNexil& operator=(const CSimNexil&) = delete;

  // The reply to one task; it stays valid until the calling thread's next
  // call.
  const char* Entry(const char* a_szTask);

  // "adf", or "flatbed" for the flatbed's copy of the library.
  static const char* UnitName();

 private:
  enum ESIMNEXILSTATE : uint32_t {
    SIM_NEXILSTATE_LOADED = 1,
    SIM_NEXILSTATE_OPEN = 2,
    SIM_NEXILSTATE_SESSION = 4,
    SIM_NEXILSTATE_SCANNING = 8,
  };
  // A handler answers the status word and adds its report elements.
  typedef const char* (CSimNexil::*PfnSimNexilCommand)(const CSimNode& a_simnodeCommand, CSimNode& a_simnodeReply);
  struct SimNexilCommand {
    const char* szName;
    uint32_t u32States;  // ESIMNEXILSTATE bits in which the command is accepted
    PfnSimNexilCommand pfn;
  };
  // One output made and not yet handed out.
  struct SimOutput {
    std::string strPath;
    CSimNode simnodeImage;  // its reportimage
  };

  static const SimNexilCommand s_asimnexilcommand[];

  static const char* DoubleQuoted(const char* a_szReply);
  const char* Process(const char* a_szTask, uint64_t& a_u64Id, CSimNode& a_simnodeCommand,
                      CSimNode& a_simnodeReply);
  bool LoadKnobs(std::string& a_strError);
  bool LoadTestKnobs(std::string& a_strError);
  std::string NewFilePath(const char* a_szKind, const char* a_szExtension);
  // Removes every output, handed out or not, and the pooled copies.
  void DropOutputs();

  // Interface, session and setup (sim_csimnexil.cpp).
  const char* InterfaceOpen(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* InterfaceClose(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SessionBegin(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SessionEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* Success(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetupBegin(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetupEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* CreateCamera(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* WindowAdd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetWindowOrder(const CSimNode& a_simnode, CSimNode& a_simnodeReply);

  // Scans (sim_csimnexil_scan.cpp).
  const char* ScanBegin(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ScanEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetInput(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetBaffle(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* SetToggle(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetOutput(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ImageEnd(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  bool MakeOutput(const CSimNode& a_simnodePage, const CSimImage::SimRawPage& a_simrawpage,
                  const SimStream& a_simstream, SimOutput& a_simoutput);
  // Writes the stream's converted page to the output's path, or links it to
  // the scan's pooled copy; its size, 0 after a failure.
  uint64_t WriteOutput(const CSimNode& a_simnodePage, const CSimImage::SimRawPage& a_simrawpage,
                       const SimStream& a_simstream, long a_lWidth, long a_lHeight, const std::string& a_strPath);

  // Reports and service tasks (sim_csimnexil_service.cpp).
  const char* QuerySupport(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* MessageRelay(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetVersion(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetVersionUser(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* PassThroughDravix(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetDebugLog(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* ClearLog(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  const char* GetEcdo(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  // The custom colour-dropout family: the custom entries it holds.
  const char* EcdoCustom(const CSimNode& a_simnode, CSimNode& a_simnodeReply);
  CSimNode ReportInquiry(bool a_blInterfaceOpen) const;
  void RemoveLogFiles();

  std::mutex m_mutex;
  uint32_t m_u32State = SIM_NEXILSTATE_LOADED;
  int m_iReplyId = 0;
  uint64_t m_u64Tasks = 0;        // tasks served since the library was loaded
  uint64_t m_u64FileCounter = 0;  // files written

  // The knobs of this interface.
  std::string m_strImageDirectory;
  long m_lNoMemoryAt = 0;
  std::string m_strVersion;
  CSimNode m_simnodeInquiry;  // elements added to the report inquiry (NEXSIM_INQUIRY, a file)
  uint64_t m_u64MaxMemory = 0;  // bytes; 0 without a limit
  std::string m_strTaskLog;
  std::map<long, std::string> m_mapGetOutputWord;  // by getoutput, counted from 1
  long m_lThrowAt = 0;
  long m_lRelays = 0;  // -1: without end
  long m_lDelayMs = 0;  // before each reply (NEXSIM_DELAY)
  long m_lPadOutput = 0;
  long m_lFailSetInputAt = 0;
  bool m_blPagePool = false;
  std::string m_strEcdoCustomWord;
  bool m_blEcdoCustomNoStatus = false;
  long m_lEcdoCustomPad = 0;
  bool m_blEcdoCustomCut = false;
  CSimEcdo m_simecdo;
  std::string m_strEcdoWord;
  bool m_blEcdoCut = false;
  bool m_blOmitStatus = false;  // the reply being made goes without reportstatus
  bool m_blCutReply = false;    // the reply being made ends halfway
  bool m_blDoubleQuote = false;  // NEXSIM_DOUBLEQUOTE: getoutput replies open with a double-quoted tag holding "'>"
  long m_lTasksOpen = 0;  // tasks since interfaceopen

  // The session.
  bool m_blImageEndMode = false;
  std::string m_strLanguage;
  bool m_blSetup = false;
  CSimStreams m_simstreams;

  // The scan.
  long m_lGetOutputs = 0;  // getoutput tasks since interfaceopen
  long m_lPages = 0;       // pages set since interfaceopen
  long m_lSetInputs = 0;   // setinput tasks since interfaceopen
  // The scan's pooled outputs (NEXSIM_PAGEPOOL), by stream, side and page
  // content: path and size.
  std::map<std::string, std::pair<std::string, uint64_t>> m_mapPagePool;
  long m_lRelayed = 0;     // reportmessages relayed since interfaceopen
  std::deque<SimOutput> m_dqsimoutput;     // made and not yet handed out
  std::set<std::string> m_setOutstanding;  // handed out and not yet ended
  std::vector<std::string> m_vstrLogFile;  // debug logs written, removed by clearlog and interfaceclose
};
