// The start thread: the channels, their addresses in the child's own
// environment, the model wait, the child, the other threads and the
// accepts; then it keeps the child until the link ends.
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>

#include "drv_cdrvuilink.h"
#include "drv_uiwaits.h"
#include "os_coscfg.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_costime.h"

namespace {

constexpr long s_lModelPollMs = 100;
constexpr long s_lModelFlushingFactor = 10;
constexpr int s_iKeepPollMs = 100;  // without a process descriptor, the child is looked at this often
constexpr size_t s_sizetUiSockets = 4096;
constexpr size_t s_sizetAddress = 64;
constexpr size_t s_sizetPort = 2048;

const char* Config(unsigned a_uTag) {
  const char* szValue = g_poscfg ? g_poscfg->Get(OS_CFGSECTION_MAIN, a_uTag) : nullptr;
  return szValue ? szValue : "";
}

uint32_t Milliseconds(long a_lMilliseconds) {
  return a_lMilliseconds <= 0 ? 0 : a_lMilliseconds >= INT32_MAX ? INT32_MAX : static_cast<uint32_t>(a_lMilliseconds);
}

}  // namespace

void CDrvUiLink::Starter() {
  if (!RunStart()) {
    bool blStopping;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      blStopping = m_blStopping;
    }
    if (blStopping) {
      OsLogDebug(OS_LOG_INFO, "It looks like we're being asked to shutdown...");
    } else {
      LinkLost("the start failed");
    }
  }
  Keep();
}

bool CDrvUiLink::RunStart() {
  OsLog(OS_LOG_INFO, "### %s is <%s>", m_drvuilinknames.szPeer, m_strPath.c_str());
  if (!CreateChannels()) return false;
  const bool blSpawn = m_strPath[0] != '*';
  if (blSpawn && !ComposeUiSockets()) return false;
  if (!ModelWait()) return false;
  if (blSpawn && !SpawnChild()) return false;
  if (!StartThreads() || !AcceptChannels()) return false;
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_blStopping || m_blLost) return false;
  const uint64_t u64Child = m_u64Child.load();
  if (u64Child) {
    m_ossocketWrite.MonitorChildProcess(u64Child);
    m_ossocketRead.MonitorChildProcess(u64Child);
  }
  m_i32State.store(DRV_UILINKSTATE_CONNECTED);
  WakeAll();
  return true;
}

// Kinds of the two channels from the preferred one: TCP both ways, else a
// local transport whose driver side writes one channel and reads the other.
bool CDrvUiLink::CreateChannels() {
  EOSSOCKETTYPE eossockettypeWrite = OS_SOCKETTYPE_SHAREDMEMORY_WRITEONLY;
  EOSSOCKETTYPE eossockettypeRead = OS_SOCKETTYPE_SHAREDMEMORY_READONLY;
  const EOSSOCKETTYPE eossockettype = COsSocket::GetPreferredSocketType();
  if (eossockettype == OS_SOCKETTYPE_TCP) {
    eossockettypeWrite = eossockettypeRead = OS_SOCKETTYPE_TCP;
  } else if (eossockettype >= OS_SOCKETTYPE_MESSAGEQUEUE_READONLY &&
             eossockettype <= OS_SOCKETTYPE_MESSAGEQUEUE_READWRITE) {
    eossockettypeWrite = OS_SOCKETTYPE_MESSAGEQUEUE_WRITEONLY;
    eossockettypeRead = OS_SOCKETTYPE_MESSAGEQUEUE_READONLY;
  } else if (eossockettype < OS_SOCKETTYPE_SHAREDMEMORY_READONLY ||
             eossockettype > OS_SOCKETTYPE_SHAREDMEMORY_READWRITE) {
    OsLog(OS_LOG_ERROR, "Unrecognized gui socket...%d", static_cast<int>(eossockettype));
  }
  std::lock_guard<std::mutex> lockChannels(m_mutexChannels);
  if (m_ossocketWrite.Create(nullptr, Config(OS_CFGTAG_FORCEPORTTWAIN), eossockettypeWrite,
                             m_drvuilinknames.szWriterChannel) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to create %s socket...", m_drvuilinknames.szWriterChannel);
    return false;
  }
  if (m_ossocketRead.Create(nullptr, Config(OS_CFGTAG_FORCEPORTGUI), eossockettypeRead,
                            m_drvuilinknames.szReaderChannel) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to create %s socket...", m_drvuilinknames.szReaderChannel);
    return false;
  }
  for (COsSocket* possocket : {&m_ossocketWrite, &m_ossocketRead}) {
    if (possocket->Listen(1) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Failed to listen on %s socket...",
            possocket == &m_ossocketWrite ? m_drvuilinknames.szWriterChannel : m_drvuilinknames.szReaderChannel);
      return false;
    }
  }
  // A stop that came before the channels were there could not cancel them.
  std::lock_guard<std::mutex> lock(m_mutex);
  return !m_blStopping;
}

// Where the child connects: each channel's address and port, as the
// channel publishes them.
bool CDrvUiLink::ComposeUiSockets() {
  std::string strUiSockets = "<uisockets>\n";
  for (bool blWriter : {true, false}) {
    char szAddress[s_sizetAddress] = "", szPort[s_sizetPort] = "";
    COsSocket& ossocket = blWriter ? m_ossocketWrite : m_ossocketRead;
    const std::string strElement = blWriter ? m_drvuilinknames.szWriterElement : m_drvuilinknames.szReaderElement;
    if (ossocket.GetAddress(szAddress, sizeof szAddress, szPort, sizeof szPort) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "GetAddress failed...%s", strElement.c_str());
      return false;
    }
    strUiSockets += "\t<" + strElement + ">\n\t\t<address><![CDATA[" + szAddress + "]]></address>\n\t\t<port><![CDATA[" +
                    szPort + "]]></port>\n\t</" + strElement + ">\n";
  }
  strUiSockets += "</uisockets>";
  if (strUiSockets.size() >= s_sizetUiSockets) {
    OsLog(OS_LOG_ERROR, "PMX_UISOCKETS is longer than %zu characters...", s_sizetUiSockets - 1);
    return false;
  }
  OsLogDebug(OS_LOG_INFO, "Spawning <%s>...", m_strPath.c_str());
  OsLogDebug(OS_LOG_INFO, "PMX_UISOCKETS: %s...", strUiSockets.c_str());
  std::lock_guard<std::mutex> lock(m_mutex);
  m_strUiSockets = strUiSockets;
  return true;
}

// The child is started only once the model is known; a stop ends the wait
// at once.
bool CDrvUiLink::ModelWait() {
  long lLimit = DrvUiWaitLimit(DRV_UIWAIT_MODEL);
  if (g_poslog && g_poslog->IsFlushing()) lLimit *= s_lModelFlushingFactor;
  const auto timepointEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(lLimit);
  bool blReady = false;
  for (;;) {
    blReady = m_pdrvuilinkowner->UiModelReady();
    std::unique_lock<std::mutex> lock(m_mutex);
    if (blReady || m_blStopping || std::chrono::steady_clock::now() >= timepointEnd) break;
    m_condState.wait_until(lock, std::min(timepointEnd, std::chrono::steady_clock::now() +
                                                             std::chrono::milliseconds(s_lModelPollMs)),
                           [this] { return m_blStopping; });
  }
  OsLogDebug(OS_LOG_INFO, "model wait completed...");
  std::lock_guard<std::mutex> lock(m_mutex);
  if (blReady && !m_blStopping) return true;
  OsLog(OS_LOG_ERROR, "%s was stopped before starting...%d %d", m_drvuilinknames.szPeer, m_blStopping ? 1 : 0,
        static_cast<int>(m_osthreadStart.GetCommand()));
  return false;
}

// The child gets the addresses and the owner's variables in its own
// environment, in a session of its own.
bool CDrvUiLink::SpawnChild() {
  std::vector<OsSpawnVariable> vecosspawnvariable;
  for (const DrvUiVariable& drvuivariable : m_vecdrvuivariable) {
    vecosspawnvariable.push_back(
        {drvuivariable.strName.c_str(), drvuivariable.blUnset ? nullptr : drvuivariable.strValue.c_str()});
  }
  std::string strUiSockets;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    strUiSockets = m_strUiSockets;
  }
  vecosspawnvariable.push_back({"PMX_UISOCKETS", strUiSockets.c_str()});
  vecosspawnvariable.push_back({"PMX_UISOCKETSUNICODE", strUiSockets.c_str()});
  if (m_osthreadStart.Spawn(OS_SPAWNFLAGS_NEWSESSION, m_strPath.c_str(), m_strPath.c_str(), nullptr,
                            vecosspawnvariable.data(), vecosspawnvariable.size()) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Failed to launch the %s...<%s>", m_drvuilinknames.szPeer, m_strPath.c_str());
    return false;
  }
  // A child that ended already is reaped and forgotten by now.
  const uint64_t u64Child = m_osthreadStart.SpawnProcessId();
  if (!u64Child) {
    OsLog(OS_LOG_ERROR, "The %s ended as it started...<%s>", m_drvuilinknames.szPeer, m_strPath.c_str());
    return false;
  }
  m_u64Child.store(u64Child);
  // Its end wakes the keeper at once.
  m_iChild = static_cast<int>(syscall(SYS_pidfd_open, static_cast<pid_t>(u64Child), 0));
  if (m_iChild < 0) OsLogDebug(OS_LOG_INFO, "pidfd_open failed...%d", errno);
  return true;
}

bool CDrvUiLink::StartThreads() {
  const struct {
    COsThread* posthread;
    const char* szName;
    OsThreadProc osthreadproc;
  } athread[] = {{&m_osthreadDispatcher, m_drvuilinknames.szDispatcherThread, ThreadProc<&CDrvUiLink::Dispatcher>},
                 {&m_osthreadWriter, m_drvuilinknames.szWriterThread, ThreadProc<&CDrvUiLink::Writer>},
                 {&m_osthreadReader, m_drvuilinknames.szReaderThread, ThreadProc<&CDrvUiLink::Reader>}};
  for (const auto& thread : athread) {
    if (thread.posthread->Start(thread.szName, thread.osthreadproc, this) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Failed to start %s...", thread.szName);
      return false;
    }
  }
  return true;
}

bool CDrvUiLink::AcceptChannels() {
  return AcceptChannel(m_ossocketWrite, m_drvuilinknames.szWriterChannel, true) &&
         AcceptChannel(m_ossocketRead, m_drvuilinknames.szReaderChannel, false);
}

// Bounded; CancelSelect (a stop) ends it, and so does the end of the child
// this thread spawned.
bool CDrvUiLink::AcceptChannel(COsSocket& a_ossocket, const char* a_szChannel, bool a_blWriter) {
  COsThread* posthread = m_u64Child.load() ? &m_osthreadStart : nullptr;
  const EOSSTS eossts = a_ossocket.Accept(Milliseconds(DrvUiWaitLimit(DRV_UIWAIT_ACCEPT)), posthread, nullptr);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Accept failed on %s...%d", a_szChannel, static_cast<int>(eossts));
    return false;
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  (a_blWriter ? m_blWriterAccepted : m_blReaderAccepted) = true;
  // Connected from here: the reader may find the link lost before the
  // start thread is back.
  m_blConnected = m_blWriterAccepted && m_blReaderAccepted;
  (a_blWriter ? m_condWriter : m_condReader).notify_all();
  return true;
}

// Keeps the child until the link is halted or lost: the child's end is a
// loss at once (while the link stops, it ends the stop's wait); after a
// loss the child is stopped and reaped and the owner told.
void CDrvUiLink::Keep() {
  bool blWatching = m_u64Child.load() != 0;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_blHalt) return;
      if (m_blLost) break;
    }
    struct pollfd apollfd[2] = {{m_iWake, POLLIN, 0}, {m_iChild, POLLIN, 0}};
    const bool blDescriptor = blWatching && m_iChild >= 0;
    const int iResult = poll(apollfd, blDescriptor ? 2 : 1, blWatching && !blDescriptor ? s_iKeepPollMs : -1);
    if (iResult < 0 && errno != EINTR) {
      OsLog(OS_LOG_ERROR, "poll failed...%d", errno);
      COsTime::Sleep(s_iKeepPollMs);
    }
    uint64_t u64Wake = 0;
    if (apollfd[0].revents & POLLIN) {
      while (read(m_iWake, &u64Wake, sizeof u64Wake) > 0) {
      }
    }
    if (!blWatching) continue;
    const bool blEnded = blDescriptor ? (apollfd[1].revents & (POLLIN | POLLHUP)) != 0
                                      : !m_osthreadStart.IsSpawnRunning();
    if (!blEnded) continue;
    blWatching = false;
    m_osthreadStart.IsSpawnRunning();  // reaps it
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_blChildEnded = true;
      m_condState.notify_all();
    }
    LinkLost("the child has ended");  // nothing while the link stops
  }
  FinishLost();
}

// The thread that found the loss may still be on its way: the event and
// the cancels are made sure of before the owner hears of it.
void CDrvUiLink::FinishLost() {
  EventSet();
  CancelChannels();
  if (m_osthreadStart.IsSpawnRunning()) m_osthreadStart.SpawnStop();
  bool blConnected;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    blConnected = m_blConnected;
  }
  m_pdrvuilinkowner->UiLinkLost(blConnected);
}
