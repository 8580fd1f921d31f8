// The link's life: construction, start, stop, the one way it is lost, and
// what owners and waiters ask of it.
#include "drv_cdrvuilink.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

#include "db_cdblock.h"
#include "drv_cdrvuiframe.h"
#include "drv_uiwaits.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cossync.h"
#include "os_costime.h"
#include "os_cosxml.h"

namespace {
constexpr long s_lAtomIncrement = 512;
}  // namespace

CDrvUiLink::CDrvUiLink(CDrvUiLinkOwner* a_pdrvuilinkowner, const DrvUiLinkNames& a_drvuilinknames)
    : m_pdrvuilinkowner(a_pdrvuilinkowner), m_drvuilinknames(a_drvuilinknames) {
  for (COsXml*& posxml : m_aposxml) {
    posxml = OsMemNew(COsXml);
    if (!posxml) {
      OsLog(OS_LOG_ERROR, "OsMemNew failed...");
      continue;
    }
    posxml->SetAtomIncrement(s_lAtomIncrement);
  }
}

CDrvUiLink::~CDrvUiLink() {
  Stop();
  for (COsXml*& posxml : m_aposxml) OsMemDelete(posxml);
  if (m_pcWrite) OsMemFree(m_pcWrite);
  if (m_pcRead) OsMemFree(m_pcRead);
  if (m_possync) m_possync->EventClose();
  OsMemDelete(m_possync);
  if (m_iWake >= 0) close(m_iWake);
}

// Everything a start begins with; under the lock.
void CDrvUiLink::Reset() {
  m_i32State.store(DRV_UILINKSTATE_STARTING);
  m_blStarted = true;
  m_blStopping = m_blHalt = m_blLost = m_blConnected = false;
  m_blWriterAccepted = m_blReaderAccepted = m_blReaderEnded = m_blChildEnded = false;
  m_u32Pending = 0;
  m_sizetPending = 0;
  m_u64TaskId = 0;
  m_sizetStart = m_sizetScan = m_sizetFill = m_sizetDeclared = 0;
  for (int& iSlot : m_aiSlot) iSlot = SLOT_FREE;
  m_iPut = m_iTake = 0;
  m_strUiSockets.clear();
}

EOSSTS CDrvUiLink::Start(const char* a_szPath, const OsSpawnVariable* a_aosspawnvariable, size_t a_sizetVariables) {
  std::lock_guard<std::mutex> lockStartStop(m_mutexStartStop);
  if (!a_szPath || !*a_szPath) {
    OsLog(OS_LOG_ERROR, "a_szPath is null...");
    return OS_STS_FAIL;
  }
  for (COsXml* posxml : m_aposxml) {
    if (!posxml) return OS_STS_FAIL;  // logged at construction
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blStarted) {
      OsLog(OS_LOG_ERROR, "The %s link is already started...", m_drvuilinknames.szPeer);
      return OS_STS_FAIL;
    }
  }
  if (!m_possync) {
    m_possync = OsMemNew(COsSync);
    if (m_possync && m_possync->EventCreate(nullptr, nullptr, false) != OS_STS_SUCCESS) OsMemDelete(m_possync);
  }
  // The event is the process's own: its name is for the log alone.
  char szTime[32] = "";
  OsTimeRecord ostimerecord;
  COsTime::GetSystemTime(&ostimerecord);
  COsTime::GetStringTime(&ostimerecord, szTime, sizeof szTime);
  OsLogDebug(OS_LOG_INFO, "event %s%s", m_drvuilinknames.szEvent, szTime);
  const size_t sizetBuffer = 131072;
  if (!m_pcWrite) {
    m_pcWrite = static_cast<char*>(OsMemAlloc(sizetBuffer));
    m_sizetWrite = m_pcWrite ? sizetBuffer : 0;
  }
  if (!m_pcRead) {
    m_pcRead = static_cast<char*>(OsMemAlloc(sizetBuffer));
    m_sizetRead = m_pcRead ? sizetBuffer : 0;
  }
  // The keeper's wake-up lives as long as the link, so that a late wake-up
  // never writes to a descriptor closed meanwhile.
  if (m_iWake < 0) m_iWake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (!m_possync || !m_pcWrite || !m_pcRead || m_iWake < 0) {
    OsLog(OS_LOG_ERROR, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  uint64_t u64Wake = 0;
  while (read(m_iWake, &u64Wake, sizeof u64Wake) > 0) {
  }
  m_possync->EventReset();
  m_strPath = a_szPath;
  m_vecdrvuivariable.clear();
  for (size_t sizet = 0; sizet < a_sizetVariables; ++sizet) {
    const OsSpawnVariable& osspawnvariable = a_aosspawnvariable[sizet];
    m_vecdrvuivariable.push_back({osspawnvariable.szName ? osspawnvariable.szName : "",
                                  osspawnvariable.szValue ? osspawnvariable.szValue : "", !osspawnvariable.szValue});
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    Reset();
  }
  if (m_osthreadStart.Start(m_drvuilinknames.szStartThread, ThreadProc<&CDrvUiLink::Starter>, this) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to start the %s...", m_drvuilinknames.szStartThread);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_i32State.store(DRV_UILINKSTATE_ENDED);
    m_blStarted = false;
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// A connected child gets the exit task and the time to close its channel;
// then the threads are stopped, and a child still there after its grace is
// stopped. Nothing here waits holding the database lock.
void CDrvUiLink::Stop() {
  CDbLockRelease dblockrelease;
  std::lock_guard<std::mutex> lockStartStop(m_mutexStartStop);
  bool blConnected;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_blStarted) return;
    m_blStopping = true;
    const int32_t i32State = m_i32State.load();
    blConnected = (i32State == DRV_UILINKSTATE_CONNECTED || i32State == DRV_UILINKSTATE_READY) &&
                  m_u32Pending != s_u32WriterGone;
    WakeAll();
  }
  if (blConnected && m_drvuilinknames.szExitTask && *m_drvuilinknames.szExitTask) {
    const auto timepointEnd =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(DrvUiWaitLimit(DRV_UIWAIT_EXITPOLL));
    Hand(m_drvuilinknames.szExitTask, __FILE__, __LINE__, true, DrvUiWaitLimit(DRV_UIWAIT_EXITPOLL));
    std::unique_lock<std::mutex> lock(m_mutex);
    m_condState.wait_until(lock, timepointEnd, [this] { return m_blReaderEnded || m_blChildEnded || m_blLost; });
  }
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_blHalt = true;
    WakeAll();
  }
  CancelChannels();
  WakeKeeper();
  const long lThreadStop = DrvUiWaitLimit(DRV_UIWAIT_THREADSTOP);
  for (COsThread* posthread : {&m_osthreadDispatcher, &m_osthreadWriter, &m_osthreadReader, &m_osthreadStart}) {
    posthread->Stop(false, lThreadStop);
  }
  if (m_osthreadStart.SpawnProcessId() != 0 &&
      m_osthreadStart.SpawnWait(DrvUiWaitLimit(DRV_UIWAIT_CHILDGRACE)) == OS_STS_TIMEOUT) {
    OsLog(OS_LOG_ERROR, "The %s did not end, stopping it...%llu", m_drvuilinknames.szPeer,
          static_cast<unsigned long long>(m_u64Child.load()));
  }
  if (m_osthreadStart.IsSpawnRunning()) m_osthreadStart.SpawnStop();
  if (m_iChild >= 0) close(m_iChild);
  m_iChild = -1;
  {
    std::lock_guard<std::mutex> lockChannels(m_mutexChannels);
    m_ossocketWrite.Close();
    m_ossocketRead.Close();
  }
  for (COsXml* posxml : m_aposxml) posxml->DocumentFree();
  m_u64Child.store(0);
  std::lock_guard<std::mutex> lock(m_mutex);
  m_blStarted = false;
  m_i32State.store(DRV_UILINKSTATE_NONE);
}

EOSSTS CDrvUiLink::Send(const char* a_szText, const char* a_szFile, int a_iLine) {
  return Hand(a_szText, a_szFile, a_iLine, false, DrvUiWaitLimit(DRV_UIWAIT_HANDOFF));
}

// One text at a time: the caller waits (bounded) for the text before it to
// be written. The exit task of a stop passes while the link is stopping.
EOSSTS CDrvUiLink::Hand(const char* a_szText, const char* a_szFile, int a_iLine, bool a_blExit,
                        long a_lMilliseconds) {
  if (!a_szText) a_szText = "";
  if (!a_szFile) a_szFile = "";
  std::unique_lock<std::mutex> lock(m_mutex);
  const auto dropped = [&] { return !m_blStarted || m_blHalt || (m_blStopping && !a_blExit); };
  if (dropped()) return OS_STS_SUCCESS;
  if (m_i32State.load() == DRV_UILINKSTATE_STARTING) {
    WaitFor(lock, m_condSender, DrvUiWaitLimit(DRV_UIWAIT_START),
            [&] { return m_i32State.load() != DRV_UILINKSTATE_STARTING || dropped(); });
  }
  const auto lost = [&] {
    if (m_blConnected) {
      OsLog(OS_LOG_ERROR, "Communication lost with %s...%s at %d", m_drvuilinknames.szPeer, a_szFile, a_iLine);
    } else {
      OsLog(OS_LOG_ERROR, "Communication lost with %s. %s failed to load...%s at %d", m_drvuilinknames.szPeer,
            m_drvuilinknames.szPeer, a_szFile, a_iLine);
    }
    return OS_STS_FAIL;
  };
  if (dropped()) return OS_STS_SUCCESS;
  if (m_blLost) return lost();
  if (m_u32Pending == s_u32WriterGone) {
    OsLog(OS_LOG_ERROR, "%s is halted...", m_drvuilinknames.szPeer);
    return OS_STS_SUCCESS;
  }
  if (!*a_szText) {
    OsLog(OS_LOG_ERROR, "Empty command from %s at %d", a_szFile, a_iLine);
    return OS_STS_SUCCESS;
  }
  const size_t sizetText = std::strlen(a_szText);
  if (sizetText > CDrvUiFrame::s_sizetMaxTask) {
    OsLog(OS_LOG_ERROR, "Lost data from %s at %d, %zu bytes are more than a task may hold...", a_szFile, a_iLine,
          sizetText);
    return OS_STS_FAIL;
  }
  const bool blFree = WaitFor(lock, m_condSender, a_lMilliseconds,
                              [&] { return m_u32Pending != 1 || m_blLost || dropped(); });
  if (dropped()) return OS_STS_SUCCESS;
  if (m_blLost) return lost();
  if (m_u32Pending == s_u32WriterGone) {
    OsLog(OS_LOG_ERROR, "%s is halted...", m_drvuilinknames.szPeer);
    return OS_STS_SUCCESS;
  }
  if (!blFree && !m_blConnected) {
    OsLog(OS_LOG_ERROR, "Lost data from %s at %d (could be a fast shutdown)...", a_szFile, a_iLine);
    return OS_STS_SUCCESS;
  }
  if (!blFree) {
    OsLog(OS_LOG_ERROR, "Communication lost with %s, the text before waited %ld ms...%s at %d",
          m_drvuilinknames.szPeer, a_lMilliseconds, a_szFile, a_iLine);
    lock.unlock();
    LinkLost("a text was not taken in time");
    return OS_STS_FAIL;
  }
  if (!GrowWriteBuffer(sizetText)) {
    OsLog(OS_LOG_ERROR, "Lost data from %s at %d (could be a fast shutdown)...", a_szFile, a_iLine);
    return OS_STS_FAIL;
  }
  std::memcpy(m_pcWrite, a_szText, sizetText + 1);
  m_sizetPending = sizetText;
  m_szPendingFile = a_szFile;
  m_iPendingLine = a_iLine;
  m_u32Pending = 1;
  m_condWriter.notify_one();
  return OS_STS_SUCCESS;
}

// Under the lock, while no text is pending: the buffer holds the text and
// its terminator; it grows by what is needed and never shrinks.
bool CDrvUiLink::GrowWriteBuffer(size_t a_sizetText) {
  if (a_sizetText < m_sizetWrite) return true;
  const size_t sizetNew = a_sizetText + 1;
  char* pcNew = static_cast<char*>(OsMemAlloc(sizetNew));
  if (!pcNew) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...%zu", sizetNew);
    return false;
  }
  OsMemFree(m_pcWrite);
  m_pcWrite = pcNew;
  m_sizetWrite = sizetNew;
  return true;
}

EDRVUILINKSTATE CDrvUiLink::WaitStart(long a_lMilliseconds) {
  std::unique_lock<std::mutex> lock(m_mutex);
  WaitFor(lock, m_condState, a_lMilliseconds,
          [this] { return m_i32State.load() != DRV_UILINKSTATE_STARTING || m_blStopping; });
  return GetState();
}

void CDrvUiLink::MarkReady() {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_i32State.load() != DRV_UILINKSTATE_CONNECTED) return;
  m_i32State.store(DRV_UILINKSTATE_READY);
  m_condState.notify_all();
}

bool CDrvUiLink::IsReading() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_blStarted && m_blReaderAccepted && !m_blReaderEnded && !m_blLost;
}

EOSSTS CDrvUiLink::EventWait(uint32_t a_u32Milliseconds) {
  return m_possync ? m_possync->EventWait(a_u32Milliseconds) : OS_STS_FAIL;
}

void CDrvUiLink::EventSet() {
  if (m_possync) m_possync->EventSet();
}

void CDrvUiLink::EventReset() {
  if (m_possync) m_possync->EventReset();
}

void CDrvUiLink::GetUiSockets(char* a_szText, size_t a_sizetText) {
  std::lock_guard<std::mutex> lock(m_mutex);
  COsString::SStrCpy(a_szText, a_sizetText, m_strUiSockets.c_str());
}

void CDrvUiLink::LinkLost(const char* a_szWhy) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blStopping || m_blLost) return;
    m_blLost = true;
    m_i32State.store(DRV_UILINKSTATE_ENDED);
    WakeAll();
  }
  OsLog(OS_LOG_ERROR, "The %s link is lost...%s", m_drvuilinknames.szPeer, a_szWhy);
  EventSet();
  CancelChannels();
  WakeKeeper();
}

void CDrvUiLink::CancelChannels() {
  std::lock_guard<std::mutex> lockChannels(m_mutexChannels);
  m_ossocketWrite.CancelSelect();
  m_ossocketRead.CancelSelect();
}

void CDrvUiLink::WakeKeeper() {
  const uint64_t u64One = 1;
  if (m_iWake >= 0 && write(m_iWake, &u64One, sizeof u64One) < 0) {
    OsLogDebug(OS_LOG_INFO, "the keeper's wake-up is pending already...");
  }
}

// Under the lock.
void CDrvUiLink::WakeAll() {
  for (std::condition_variable* pcond : {&m_condState, &m_condSender, &m_condWriter, &m_condReader, &m_condDispatcher})
    pcond->notify_all();
}

// The link's mutex is a leaf: it is never held while the database lock is
// taken back, so the wait lets both go and takes the database lock back
// first.
template <class Predicate>
bool CDrvUiLink::WaitFor(std::unique_lock<std::mutex>& a_lock, std::condition_variable& a_cond,
                         long a_lMilliseconds, Predicate a_predicate) {
  if (a_predicate()) return true;
  const auto duration = std::chrono::milliseconds(a_lMilliseconds > 0 ? a_lMilliseconds : 0);
  if (CDbLock::Depth() == 0) return a_cond.wait_for(a_lock, duration, a_predicate);
  a_lock.unlock();
  {
    CDbLockRelease dblockrelease;
    a_lock.lock();
    a_cond.wait_for(a_lock, duration, a_predicate);
    a_lock.unlock();
  }
  a_lock.lock();
  return a_predicate();
}
