// The simulated scanner's callback knobs: a unit that drops off line and
// comes back, a button pressed on its panel, a flatbed plugged in or out.
// Each is posted to the unit's thread and dropped when the session it
// belongs to has ended.
#include "sim_csimscanner.h"

void CSimScanner::PostOffline(uint64_t a_u64Session) {
  if (m_simconfig.m_lOfflineAfterMs < 0) return;
  m_simworker.Post(CSimWorker::NowMs() + m_simconfig.m_lOfflineAfterMs,
                   [this, a_u64Session] { GoOffline(a_u64Session); });
}

void CSimScanner::PostOnline(uint64_t a_u64Session) {
  if (m_simconfig.m_lOnlineAfterMs < 0) return;
  m_simworker.Post(CSimWorker::NowMs() + m_simconfig.m_lOnlineAfterMs,
                   [this, a_u64Session] { GoOnline(a_u64Session); });
}

void CSimScanner::GoOffline(uint64_t a_u64Session) {
  std::lock_guard<std::mutex> lock(m_mutex);
  if (a_u64Session != m_u64Session || m_blOffline) return;
  Disconnect();
}

void CSimScanner::GoOnline(uint64_t a_u64Session) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (a_u64Session != m_u64Session || !m_blOffline) return;
    m_blOffline = false;
  }
  Notify("connectionchange", "\t\t<deviceonline>true</deviceonline>\n", a_u64Session);
}

void CSimScanner::PostRegistered(const std::string& a_strName) {
  const uint64_t u64Session = m_u64Session;
  if (a_strName == "buttonevent" && m_simconfig.m_lButtonMs >= 0) {
    const std::string strButton = "\t\t<button>" + m_simconfig.m_strButton + "</button>\n";
    m_simworker.Post(CSimWorker::NowMs() + m_simconfig.m_lButtonMs,
                     [this, strButton, u64Session] { Notify("buttonevent", strButton, u64Session); });
  } else if (a_strName == "pnpchange" && m_simconfig.m_lPnpChangeMs >= 0) {
    const std::string strList = PnpChangeMessage();
    m_simworker.Post(CSimWorker::NowMs() + m_simconfig.m_lPnpChangeMs,
                     [this, strList, u64Session] { Notify("pnpchange", strList, u64Session); });
  }
}

// The device list of a plug-and-play change: one flatbed accessory, named
// by the flatbed's model directory.
std::string CSimScanner::PnpChangeMessage() const {
  const std::string strModel = m_simconfig.m_strFlatbed.empty() ? "flatbed" : m_simconfig.m_strFlatbed;
  return "\t\t<pnpchange>\n\t\t\t<device>\n\t\t\t\t<pnp>" + m_simconfig.m_strPnpChange +
         "</pnp>\n\t\t\t\t<resource>\n\t\t\t\t\t<model>" + CSimNode::Escape(strModel) +
         "</model>\n\t\t\t\t\t<devicetype>flatbedaccessory</devicetype>\n\t\t\t\t\t<devicefilename>simscan:" +
         CSimNode::Escape(strModel) + "</devicefilename>\n\t\t\t\t</resource>\n\t\t\t</device>\n\t\t</pnpchange>\n";
}
