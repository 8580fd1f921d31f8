// The writer: the only thread that writes the driver-to-UI channel. It
// writes the text handed over, or after the owner's idle wait its health
// check, each stamped with the next task id and its length; a text is
// written whole or the link is lost.
#include <chrono>
#include <cstring>

#include "drv_cdrvuiframe.h"
#include "drv_cdrvuilink.h"
#include "drv_uiwaits.h"
#include "os_coslog.h"

// The writer and the reader start before their channel is accepted and
// wait for it; false when the link ends first or the wait runs out.
bool CDrvUiLink::WaitConnected(bool a_blWriter) {
  const char* szLog = a_blWriter ? m_drvuilinknames.szWriterLog : m_drvuilinknames.szReaderLog;
  const char* szProc = a_blWriter ? m_drvuilinknames.szWriterProc : m_drvuilinknames.szReaderProc;
  std::unique_lock<std::mutex> lock(m_mutex);
  const bool blAccepted = (a_blWriter ? m_condWriter : m_condReader)
                              .wait_for(lock, std::chrono::milliseconds(DrvUiWaitLimit(DRV_UIWAIT_FIRSTWRITE)), [&] {
                                return (a_blWriter ? m_blWriterAccepted : m_blReaderAccepted) || Halting() ||
                                       m_blStopping;
                              });
  if (!blAccepted) {
    lock.unlock();
    OsLog(OS_LOG_ERROR, "%s WaitForEvent timeout in %sProc...", szLog, szProc);
    OsLog(OS_LOG_ERROR, "%s try restarting your application...", szLog);
    LinkLost("a channel was not connected in time");
    return false;
  }
  if (!(a_blWriter ? m_blWriterAccepted : m_blReaderAccepted)) return false;
  OsLogDebug(OS_LOG_INFO, "%s SetEvent received for %sProc...", szLog, szProc);
  return true;
}

void CDrvUiLink::Writer() {
  const char* szLog = m_drvuilinknames.szWriterLog;
  bool blOrderly = WaitConnected(true);
  while (blOrderly) {
    const long lIdle = m_pdrvuilinkowner->UiIdleWait();
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool blWoken = m_condWriter.wait_for(lock, std::chrono::milliseconds(lIdle > 0 ? lIdle : 0),
                                               [this] { return m_u32Pending == 1 || Halting(); });
    if (Halting()) {
      OsLogDebug(OS_LOG_INFO, "%s stop command received...", szLog);
      break;
    }
    if (m_u32Pending == 1) {
      const size_t sizetText = m_sizetPending;
      const char* szFile = m_szPendingFile;
      const int iLine = m_iPendingLine;
      lock.unlock();
      // The buffer is the writer's while the text is pending.
      OsLogDebug(OS_LOG_PROTOCOL, "%s Request sent from %s at %d", szLog, szFile, iLine);
      if (!WriteText(m_pcWrite, sizetText)) break;
      lock.lock();
      m_pcWrite[0] = '\0';
      m_u32Pending = 0;
      m_condSender.notify_all();
      continue;
    }
    if (blWoken) continue;
    lock.unlock();
    if (m_pdrvuilinkowner->UiHealthCheck(m_szHealth, sizeof m_szHealth) && m_szHealth[0] &&
        !WriteText(m_szHealth, std::strlen(m_szHealth))) {
      break;
    }
  }
  std::lock_guard<std::mutex> lock(m_mutex);
  m_u32Pending = s_u32WriterGone;
  m_condSender.notify_all();
  m_condState.notify_all();
  OsLogDebug(OS_LOG_INFO, "%s exiting from twain commands gui thread...", szLog);
}

// Stamps and writes one text whole; a failure loses the link (unless it is
// stopping, whose cancel ends a write too).
bool CDrvUiLink::WriteText(char* a_pcText, size_t a_sizetText) {
  if (!CDrvUiFrame::Stamp(a_pcText, a_sizetText, ++m_u64TaskId)) {
    OsLog(OS_LOG_ERROR, "%s a task without its placeholders...%llu", m_drvuilinknames.szWriterLog,
          static_cast<unsigned long long>(m_u64TaskId));
  }
  OsLogDebug(OS_LOG_PROTOCOL, "<%s>%s</%s>", m_drvuilinknames.szWriterChannel, a_pcText,
             m_drvuilinknames.szWriterChannel);
  uint64_t u64Written = 0;
  const EOSSTS eossts = m_ossocketWrite.Write(a_pcText, a_sizetText, &u64Written,
                                              static_cast<uint32_t>(DrvUiWaitLimit(DRV_UIWAIT_HANDOFF)), 0);
  if (eossts == OS_STS_SUCCESS && u64Written == a_sizetText) return true;
  OsLog(OS_LOG_ERROR, "%s lost communication with the %s...%d", m_drvuilinknames.szWriterLog,
        m_drvuilinknames.szPeer, static_cast<int>(eossts));
  LinkLost("a write failed");
  return false;
}
