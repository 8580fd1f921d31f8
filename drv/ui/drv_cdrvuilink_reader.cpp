// The reader, the only thread that reads the UI-to-driver channel, and the
// dispatcher that takes its documents. The reader's buffer grows as tasks
// need (up to the largest task); tasks are cut by bytes= alone. A task the
// owner's fast path takes is handled at once; every other one goes into the
// next free document of the ring, in order, and waits in the buffer while
// the ring is full, so the reader goes on reading.
#include <algorithm>
#include <chrono>
#include <cstring>

#include "drv_cdrvuiframe.h"
#include "drv_cdrvuilink.h"
#include "os_coslog.h"
#include "os_cossync.h"
#include "os_cosmem.h"
#include "os_cosxml.h"

namespace {
constexpr size_t s_sizetMinRoom = 32769;   // a read gets at least this much room...
constexpr size_t s_sizetGrowth = 524288;   // ...the buffer grows by this much at least...
constexpr size_t s_sizetReadChunk = 16384;  // ...and a read gets at most this much (it zero-fills its room)
// The buffer's most: the largest task, the room of a read, the terminator.
constexpr size_t s_sizetReadCap = CDrvUiFrame::s_sizetMaxTask + s_sizetMinRoom + 1;
// While tasks wait for a document, the channel is looked at this often.
constexpr auto s_durationWaitingPoll = std::chrono::milliseconds(10);
constexpr auto s_durationDispatcherPoll = std::chrono::milliseconds(1000);
constexpr int s_iLoggedBytes = 4096;  // of a task that does not parse
}  // namespace

void CDrvUiLink::Reader() {
  const char* szLog = m_drvuilinknames.szReaderLog;
  bool blReading = WaitConnected(false);
  while (blReading) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (Halting()) {
        OsLogDebug(OS_LOG_INFO, "%s stop command received...", szLog);
        break;
      }
    }
    Queue();
    const int iRoom = MakeRoom();
    if (iRoom < 0) break;
    // Tasks wait for a document: the channel is read only when something
    // came (a fast-path task must not wait), else a freed document or a
    // short while.
    if (iRoom == 0 || (m_sizetStart < m_sizetScan && !m_ossocketRead.HasData())) {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_condReader.wait_for(lock, s_durationWaitingPoll,
                            [this] { return m_aiSlot[m_iPut] == SLOT_FREE || Halting(); });
      continue;
    }
    const size_t sizetRoom = std::min(m_sizetRead - m_sizetFill - 1, s_sizetReadChunk);
    uint64_t u64Read = 0;
    // Without a time-out: the child's end, the peer's and CancelSelect end the read.
    const EOSSTS eossts =
        m_ossocketRead.ReadString(m_pcRead + m_sizetFill, sizetRoom + 1, &u64Read, OS_SYNC_INFINITE, 0);
    if (eossts == OS_STS_SOCKET_READTIMEOUT) continue;
    if (eossts != OS_STS_SUCCESS) {
      bool blQuiet;
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        blQuiet = m_blStopping || Halting();
      }
      OsLogDebug(OS_LOG_INFO, "%s error reading %s socket (we're probably shutting down)...%d", szLog,
                 m_drvuilinknames.szPeer, static_cast<int>(eossts));
      if (!blQuiet) LinkLost("a read failed");
      break;
    }
    m_sizetFill += static_cast<size_t>(u64Read);
    m_pcRead[m_sizetFill] = '\0';
    blReading = Extract();
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_blReaderEnded = true;
  m_condState.notify_all();
  OsLogDebug(OS_LOG_INFO, "%s exiting from gui commands twain thread...", szLog);
}

// 1 there is room for a read, 0 the buffer is at its most and full of
// tasks waiting for documents, -1 no memory (the link is lost).
int CDrvUiLink::MakeRoom() {
  if (m_sizetStart > 0 && m_sizetRead - m_sizetFill - 1 < s_sizetMinRoom) {
    std::memmove(m_pcRead, m_pcRead + m_sizetStart, m_sizetFill - m_sizetStart);
    m_sizetScan -= m_sizetStart;
    m_sizetFill -= m_sizetStart;
    m_sizetStart = 0;
    m_pcRead[m_sizetFill] = '\0';
  }
  if (m_sizetRead - m_sizetFill - 1 >= s_sizetMinRoom) return 1;
  // What is held, the rest of the task being read, and the room of a read.
  size_t sizetWanted = m_sizetFill + s_sizetMinRoom + 1;
  const size_t sizetPartial = m_sizetFill - m_sizetScan;
  if (m_sizetDeclared > sizetPartial) sizetWanted += m_sizetDeclared - sizetPartial;
  const size_t sizetNew = std::min(std::max(m_sizetRead + s_sizetGrowth, sizetWanted), s_sizetReadCap);
  if (sizetNew <= m_sizetRead) return m_sizetRead - m_sizetFill - 1 > 0 ? 1 : 0;
  char* pcNew = static_cast<char*>(OsMemAlloc(sizetNew));
  if (!pcNew) {
    OsLog(OS_LOG_ERROR, "%s OsMemAlloc failed...%zu", m_drvuilinknames.szReaderLog, sizetNew);
    LinkLost("no memory for the reader");
    return -1;
  }
  std::memcpy(pcNew, m_pcRead, m_sizetFill + 1);
  OsMemFree(m_pcRead);
  m_pcRead = pcNew;
  m_sizetRead = sizetNew;
  return 1;
}

// Cuts the whole tasks that came; false on a protocol error (the link is
// lost).
bool CDrvUiLink::Extract() {
  for (;;) {
    char* pcTask = m_pcRead + m_sizetScan;
    const size_t sizetHave = m_sizetFill - m_sizetScan;
    size_t sizetTask = 0;
    const char* szWhy = "";
    const EDRVUIFRAME edrvuiframe = CDrvUiFrame::Next(pcTask, sizetHave, &sizetTask, &szWhy);
    if (edrvuiframe == DRV_UIFRAME_MORE) {
      m_sizetDeclared = sizetTask;
      return true;
    }
    if (edrvuiframe == DRV_UIFRAME_BAD) {
      OsLog(OS_LOG_ERROR, "%s protocol error...%s <%.*s>", m_drvuilinknames.szReaderLog, szWhy,
            static_cast<int>(std::min(sizetHave, static_cast<size_t>(128))), pcTask);
      LinkLost(szWhy);
      return false;
    }
    m_sizetDeclared = 0;
    OsLogDebug(OS_LOG_PROTOCOL, "<%s>%.*s</%s>", m_drvuilinknames.szReaderChannel, static_cast<int>(sizetTask),
               pcTask, m_drvuilinknames.szReaderChannel);
    uint64_t u64Id = 0;
    CDrvUiFrame::Id(pcTask, std::min(sizetTask, s_sizetFastPath), &u64Id);
    if (m_pdrvuilinkowner->UiFastPath(pcTask, sizetTask, u64Id)) {
      std::memmove(pcTask, pcTask + sizetTask, sizetHave - sizetTask);
      m_sizetFill -= sizetTask;
      m_pcRead[m_sizetFill] = '\0';
      continue;
    }
    m_sizetScan += sizetTask;
  }
}

// Moves the waiting tasks into free documents, in order; a task that does
// not parse is logged and its owner told, and reading goes on.
void CDrvUiLink::Queue() {
  while (m_sizetStart < m_sizetScan) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_aiSlot[m_iPut] != SLOT_FREE) return;
    }
    const char* pcTask = m_pcRead + m_sizetStart;
    size_t sizetTask = 0;
    const char* szWhy = "";
    CDrvUiFrame::Next(pcTask, m_sizetScan - m_sizetStart, &sizetTask, &szWhy);  // cut once already
    m_sizetStart += sizetTask;
    COsXml* posxml = m_aposxml[m_iPut];
    if (posxml->DocumentLoad(pcTask, static_cast<long>(sizetTask)) != OS_STS_SUCCESS) {
      posxml->DocumentFree();
      OsLog(OS_LOG_ERROR, "%s DocumentLoad failed...", m_drvuilinknames.szReaderLog);
      OsLog(OS_LOG_ERROR, "%s %.*s", m_drvuilinknames.szReaderLog,
            static_cast<int>(std::min(sizetTask, static_cast<size_t>(s_iLoggedBytes))), pcTask);
      uint64_t u64Id = 0;
      const bool blId = CDrvUiFrame::Id(pcTask, std::min(sizetTask, s_sizetFastPath), &u64Id);
      m_pdrvuilinkowner->UiBadTask(u64Id, blId);
      continue;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_aiSlot[m_iPut] = SLOT_LOADED;
    m_iPut = (m_iPut + 1) % s_iDocuments;
    m_condDispatcher.notify_one();
  }
  // Nothing waits: the next task's first bytes go to the front.
  if (m_sizetStart > 0) {
    std::memmove(m_pcRead, m_pcRead + m_sizetStart, m_sizetFill - m_sizetStart);
    m_sizetFill -= m_sizetStart;
    m_sizetScan = m_sizetStart = 0;
    m_pcRead[m_sizetFill] = '\0';
  }
}

void CDrvUiLink::Dispatcher() {
  for (;;) {
    int iSlot;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_condDispatcher.wait_for(lock, s_durationDispatcherPoll,
                                [this] { return m_aiSlot[m_iTake] == SLOT_LOADED || Halting(); });
      if (Halting()) break;
      if (m_aiSlot[m_iTake] != SLOT_LOADED) continue;
      iSlot = m_iTake;
    }
    m_pdrvuilinkowner->UiDispatch(m_aposxml[iSlot]);
    m_aposxml[iSlot]->DocumentFree();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_aiSlot[iSlot] = SLOT_FREE;
    m_iTake = (iSlot + 1) % s_iDocuments;
    m_condReader.notify_one();
  }
}
