// The link to a child user-interface program (the settings GUI, the driver
// assistant): the program runs as a child process and talks to the driver
// over two local channels, one each way, each carrying framed task texts
// (drv_cdrvuiframe.h). A bridge owns one link and gives it its names, its
// hooks (CDrvUiLinkOwner) and, at each start, the program and the variables
// the child gets.
//
// Threads, each named by the owner:
// - start: creates the channels, publishes their addresses to the child
//   (PMX_UISOCKETS and PMX_UISOCKETSUNICODE in the child's own environment,
//   never ours), waits for the model's name, spawns the child in a session
//   of its own, accepts both channels; then keeps the child: it notices the
//   child's end at once and, when the link is lost, stops and reaps the
//   child and tells the owner;
// - writer: the only writer of the driver-to-UI channel; writes the text
//   handed over by Send, or after the owner's idle wait its health check,
//   each stamped with the next task id (from 1) and its byte count;
// - reader: the only reader of the UI-to-driver channel; cuts tasks by
//   bytes=, hands a task the owner's fast path takes to it at once and
//   queues every other in a ring of 32 parsed documents; it keeps reading
//   while the ring is full (the tasks wait in its buffer), so a fast-path
//   task is never stuck behind a long command;
// - dispatcher: takes the ring's documents in order and gives each to the
//   owner.
//
// State: none, starting, connected (both channels accepted), ready (set by
// the owner when the child says so), ended (the start failed or the link is
// lost). The link is lost once, on the first of: a failed read or write, a
// protocol error (bytes= missing, not a number, 0, below its header or over
// 16 MiB), a text handed over that waits past its limit, the child's end.
// Then the state is ended, the event is set, the threads end, the child is
// stopped and reaped, and the owner is told once (UiLinkLost). A stop is no
// loss: a connected child gets the owner's exit task and a few seconds to
// close its channel, the threads are stopped, and a child still there
// after its grace is stopped (SIGTERM, then SIGKILL) and reaped.
//
// Every long wait has a named limit (drv_uiwaits.h). A caller that holds the
// database lock gives it up while Send, WaitStart or Stop waits.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "os_coslog.h"
#include "os_cossocket.h"
#include "os_costhread.h"
#include "os_def.h"

class COsSync;
class COsXml;

enum EDRVUILINKSTATE : int32_t {
  DRV_UILINKSTATE_NONE = 0,
  DRV_UILINKSTATE_STARTING = 1,
  DRV_UILINKSTATE_CONNECTED = 2,
  DRV_UILINKSTATE_READY = 3,
  DRV_UILINKSTATE_ENDED = 4,
};

// The names a bridge gives its link. Every text must outlive the link (the
// link keeps the pointers): string literals.
struct DrvUiLinkNames {
  const char* szPeer;              // "GUI": the child in log lines ("GUI is halted...")
  const char* szStartThread;       // "GuiStart"
  const char* szWriterThread;      // "Drv2Gui"
  const char* szReaderThread;      // "Gui2Drv"
  const char* szDispatcherThread;  // "DriverGuiDispatcher"
  const char* szWriterProc;        // "DrvGuiDriverToGui": the writer in its log lines
  const char* szReaderProc;        // "DrvGuiGuiToDriver"
  const char* szEvent;             // "buttons_": the event's name, followed by the start time
  const char* szWriterChannel;     // "DRV2GUI": channel tag; "<DRV2GUI>...</DRV2GUI>" logs what is written
  const char* szReaderChannel;     // "GUI2DRV"
  const char* szWriterElement;     // "drv2gui": the writer channel's element in PMX_UISOCKETS
  const char* szReaderElement;     // "gui2drv"
  const char* szWriterLog;         // "drv2g>>>": prefix of the writer's log lines
  const char* szReaderLog;         // "g2drv>>>"
  const char* szExitTask;          // the task a stop sends to a connected child (with both placeholders)
};

// The owner's hooks. Each runs on the thread named with it and is called
// without any lock of the link held. A hook must not stop or delete the
// link; it may call Send (but not from UiHealthCheck).
class CDrvUiLinkOwner {
 public:
  virtual ~CDrvUiLinkOwner() = default;
  // Start thread, every 100 ms until true or the model wait's limit: whether
  // the model's name is known (CDatabase::GetModelName), without which the
  // child is not started.
  virtual bool UiModelReady() = 0;
  // Writer, before each wait: how long to wait for a text before a health
  // check (milliseconds).
  virtual long UiIdleWait() { return 7000; }
  // Writer, after an idle wait: the health check to send (with both
  // placeholders) into the buffer; false sends nothing this time.
  virtual bool UiHealthCheck(char* a_szTask, size_t a_sizetTask) { return false; }
  // Reader, for every task as it arrives: the owner looks at its first
  // DRV_UILINK_FASTPATHBYTES bytes and, when they hold one of its fast
  // words, handles it on the reader's thread and answers true: the task is
  // then not queued. The id is the number after the first id='; 0 when
  // there is none. The task text is not terminated and may hold any byte.
  virtual bool UiFastPath(const char* a_pcTask, size_t a_sizetTask, uint64_t a_u64Id) { return false; }
  // Dispatcher: one queued task, parsed, in the order they came.
  virtual void UiDispatch(COsXml* a_posxml) = 0;
  // Reader: a whole task that does not parse (logged); the link goes on.
  // The id when one could be read (a_blId), else 0.
  virtual void UiBadTask(uint64_t a_u64Id, bool a_blId) {}
  // Start thread, once per start: the link is lost, or its start failed
  // (a_blConnected false: it never connected).
  virtual void UiLinkLost(bool a_blConnected) {}
};

class CDrvUiLink {
 public:
  // The fast path looks at this many bytes of a task.
  static constexpr size_t s_sizetFastPath = 255;
  // Documents of the ring between the reader and the dispatcher.
  static constexpr int s_iDocuments = 32;

  CDrvUiLink(CDrvUiLinkOwner* a_pdrvuilinkowner, const DrvUiLinkNames& a_drvuilinknames);
  ~CDrvUiLink();
  CDrvUiLink(const CDrvUiLink&) = delete;
  CDrvUiLink& operator=(const CDrvUiLink&) = delete;

  // Starts the link (state starting) and returns; the start thread does the
  // rest. The path "*" spawns nothing and waits for a peer started by
  // other means. The variables go into the child's environment beside
  // PMX_UISOCKETS and PMX_UISOCKETSUNICODE. 1 when the link is already
  // started or the start thread cannot run.
  EOSSTS Start(const char* a_szPath, const OsSpawnVariable* a_aosspawnvariable, size_t a_sizetVariables);
  // Ends the link and everything it started; nothing once stopped.
  void Stop();

  // Hands one text (with both placeholders) to the writer: one text at a
  // time, so this waits (bounded) for the text before it to be written.
  // 0 handed over, and also when dropped: no link, the link stopping, the
  // writer gone ("halted"), an empty text, or a link still starting that
  // does not take it in time. 1 when the link is lost (or never came up)
  // or the text is longer than a task may be.
  EOSSTS Send(const char* a_szText, const char* a_szFile, int a_iLine);

  EDRVUILINKSTATE GetState() const { return static_cast<EDRVUILINKSTATE>(m_i32State.load()); }
  // Waits up to the time for a start in progress to end; the state.
  EDRVUILINKSTATE WaitStart(long a_lMilliseconds);
  // The child said it is ready: connected becomes ready.
  void MarkReady();
  // Whether the reader runs (connected and not yet at the channel's end).
  bool IsReading();

  // The event of the link's waiters (made at the first start, kept as long
  // as the link): the owner sets it for them; the link sets it when it is
  // lost. Wait: 0 set, 5 time-out, 1 no event.
  EOSSTS EventWait(uint32_t a_u32Milliseconds);
  void EventSet();
  void EventReset();

  // The child's process id while one was started (0 before and after).
  uint64_t GetChildProcessId() const { return m_u64Child.load(); }
  // The PMX_UISOCKETS text of the last start (empty before).
  void GetUiSockets(char* a_szText, size_t a_sizetText);

 private:
  enum EDRVUILINKSLOT : int { SLOT_FREE = 0, SLOT_LOADED = 1 };

  // The entry of each thread of the link: the thread's argument is the
  // link, whose member runs on it.
  template <void (CDrvUiLink::*Body)()>
  static void* ThreadProc(void* a_pvThread);

  // Start thread (drv_cdrvuilink_start.cpp).
  void Starter();
  bool RunStart();
  bool CreateChannels();
  bool ComposeUiSockets();
  bool ModelWait();
  bool SpawnChild();
  bool StartThreads();
  bool AcceptChannels();
  bool AcceptChannel(COsSocket& a_ossocket, const char* a_szChannel, bool a_blWriter);
  void Keep();
  void FinishLost();

  // Writer (drv_cdrvuilink_writer.cpp).
  void Writer();
  bool WaitConnected(bool a_blWriter);
  bool WriteText(char* a_pcText, size_t a_sizetText);
  EOSSTS Hand(const char* a_szText, const char* a_szFile, int a_iLine, bool a_blExit, long a_lMilliseconds);
  bool GrowWriteBuffer(size_t a_sizetText);

  // Reader and dispatcher (drv_cdrvuilink_reader.cpp).
  void Reader();
  void Dispatcher();
  int MakeRoom();
  bool Extract();
  void Queue();

  // The one way a link is lost; nothing while stopping or once lost.
  void LinkLost(const char* a_szWhy);
  void CancelChannels();
  void WakeKeeper();
  void WakeAll();
  // A wait on the condition under the held lock, with the database lock
  // given up meanwhile; the predicate's value at the end.
  template <class Predicate>
  bool WaitFor(std::unique_lock<std::mutex>& a_lock, std::condition_variable& a_cond, long a_lMilliseconds,
               Predicate a_predicate);
  void Reset();
  bool Halting() const { return m_blHalt || m_blLost; }

  CDrvUiLinkOwner* m_pdrvuilinkowner;
  DrvUiLinkNames m_drvuilinknames;

  // Start and Stop one at a time.
  std::mutex m_mutexStartStop;
  // Everything below that two threads share; a leaf lock: nothing is
  // called with it held but the memory service and the log.
  std::mutex m_mutex;
  std::condition_variable m_condState;   // state changes, the reader's end
  std::condition_variable m_condSender;  // the writer took a text or is gone
  std::condition_variable m_condWriter;  // a text to write
  std::condition_variable m_condReader;  // a channel accepted, a document free
  std::condition_variable m_condDispatcher;  // a document loaded
  std::atomic<int32_t> m_i32State{DRV_UILINKSTATE_NONE};
  bool m_blStarted = false;    // Start ran, Stop did not yet
  bool m_blStopping = false;   // Stop began: no more texts but the exit task
  bool m_blHalt = false;       // Stop ends the threads
  bool m_blLost = false;       // the link is lost (or its start failed)
  bool m_blConnected = false;  // both channels were accepted
  bool m_blWriterAccepted = false;
  bool m_blReaderAccepted = false;
  bool m_blReaderEnded = false;
  bool m_blChildEnded = false;

  // The hand-off: 0 free, 1 a text waits, all ones the writer is gone.
  static constexpr uint32_t s_u32WriterGone = 0xFFFFFFFFu;
  uint32_t m_u32Pending = 0;
  char* m_pcWrite = nullptr;
  size_t m_sizetWrite = 0;  // capacity
  size_t m_sizetPending = 0;
  const char* m_szPendingFile = "";
  int m_iPendingLine = 0;
  uint64_t m_u64TaskId = 0;  // writer only
  char m_szHealth[2048] = "";

  // The reader's buffer: [0, start) free, [start, scan) whole tasks waiting
  // for a document, [scan, fill) the next task's first bytes. Reader only.
  char* m_pcRead = nullptr;
  size_t m_sizetRead = 0;  // capacity
  size_t m_sizetStart = 0;
  size_t m_sizetScan = 0;
  size_t m_sizetFill = 0;
  size_t m_sizetDeclared = 0;  // the length of the task at scan, once its header came

  COsXml* m_aposxml[s_iDocuments] = {};
  int m_aiSlot[s_iDocuments] = {};
  int m_iPut = 0;   // reader
  int m_iTake = 0;  // dispatcher

  COsThread m_osthreadStart;  // also the child's
  COsThread m_osthreadWriter;
  COsThread m_osthreadReader;
  COsThread m_osthreadDispatcher;

  // Creation and closing of the channels against CancelSelect.
  std::mutex m_mutexChannels;
  COsSocket m_ossocketWrite;
  COsSocket m_ossocketRead;

  COsSync* m_possync = nullptr;
  int m_iWake = -1;   // eventfd: wakes the keeper
  int m_iChild = -1;  // pidfd of the child
  std::atomic<uint64_t> m_u64Child{0};
  std::string m_strPath;
  struct DrvUiVariable {
    std::string strName;
    std::string strValue;
    bool blUnset;
  };
  std::vector<DrvUiVariable> m_vecdrvuivariable;
  std::string m_strUiSockets;
};

template <void (CDrvUiLink::*Body)()>
void* CDrvUiLink::ThreadProc(void* a_pvThread) {
  CDrvUiLink* pdrvuilink = static_cast<CDrvUiLink*>(static_cast<COsThread*>(a_pvThread)->GetArg());
  if (!pdrvuilink) {
    OsLog(OS_LOG_ERROR, "a_pvArg is null...");
    return nullptr;
  }
  (pdrvuilink->*Body)();
  return nullptr;
}
