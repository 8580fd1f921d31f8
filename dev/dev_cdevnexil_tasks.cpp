// The image library's interface, session, resource, scan, setup and message
// tasks, and the pass-through.
#include <cstring>
#include <mutex>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevnexil.h"
#include "dev_drvconfig.h"
#include "dp_creportimage.h"
#include "os_coslog.h"
#include "os_cosxmltask.h"

namespace {

const char* TrueFalse(bool a_bl) { return a_bl ? "true" : "false"; }

}  // namespace

EOSSTS CDevNexil::InterfaceOpen(EDBID_FIRMWARE a_edbidfirmware) {
  CExchangeLock lock(m_mutex);
  if (!Alive(a_edbidfirmware) || !Begin("interfaceopen")) return OS_STS_FAIL;
  m_posxmltask->AddArgument("usesession", "true");
  return Parsed(Send(a_edbidfirmware, "interfaceopen"), a_edbidfirmware, false, "Nexil interfaceopen failed...");
}

const char* CDevNexil::InterfaceClose(EDBID_FIRMWARE a_edbidfirmware) {
  CExchangeLock lock(m_mutex);
  return KeepReply(InterfaceCloseLocked(a_edbidfirmware));
}

const char* CDevNexil::InterfaceCloseLocked(EDBID_FIRMWARE a_edbidfirmware) {
  if (!Alive(a_edbidfirmware)) return s_szFailReply;
  if (!Begin("interfaceclose")) return nullptr;
  return Send(a_edbidfirmware, "interfaceclose");
}

// The database gives the session's settings before the exchange and takes
// the inquiry of querysupport after it.
EOSSTS CDevNexil::SessionBegin(EDBID_FIRMWARE a_edbidfirmware) {
  CDbLockRelease dblockrelease;
  if (!m_pdatabase) return OS_STS_FAIL;
  std::string strEolMode, strLanguage;
  {
    CDbLockGuard dblock;
    const char* szEolMode = m_pdatabase->ConfigEnumGetFirst("eolmode", DB_CONFIGTARGET_COMMON);
    strEolMode = szEolMode && *szEolMode ? szEolMode : "none";
    const char* szLanguage = m_pdatabase->ConfigUseLanguage(false, a_edbidfirmware);
    strLanguage = szLanguage ? szLanguage : "";
  }
  std::optional<std::string> ostrReply;
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!Alive(a_edbidfirmware) || !Begin("sessionbegin")) return OS_STS_FAIL;
    if (DevDriverConfigGetLong(DRV_CFGTAG_FORCENEXILUSEIMAGEEND) != 0)
      m_posxmltask->AddArgument("imageendmode", "true");
    m_posxmltask->AddArgument("eolmode", strEolMode.c_str());
    m_posxmltask->AddArgument("language", strLanguage.c_str());
    if (Parsed(Send(a_edbidfirmware, "sessionbegin"), a_edbidfirmware, false, "Nexil sessionbegin failed...") !=
        OS_STS_SUCCESS) {
      return OS_STS_FAIL;
    }
    m_ablSessionBegun[a_edbidfirmware] = true;
    if (!Begin("querysupport")) return OS_STS_FAIL;
    ostrReply = Copy(Send(a_edbidfirmware, "querysupport"));
  }
  CDbLockGuard dblock;
  if (ParsedIntoDatabase(ostrReply, a_edbidfirmware, "Nexil querysupport failed...") != OS_STS_SUCCESS)
    return OS_STS_FAIL;
  if (!m_pdatabase->ConfigProcessReportInquiryXml("nexil", ostrReply->c_str(), a_edbidfirmware)) {
    OsLog(OS_LOG_ERROR, "SessionBegin: exiting, ConfigProcessReportInquiry failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

const char* CDevNexil::SessionEnd(EDBID_FIRMWARE a_edbidfirmware) {
  CExchangeLock lock(m_mutex);
  return KeepReply(SessionEndLocked(a_edbidfirmware));
}

// One task serves both units: only its id changes between them. A unit
// that is gone is passed over.
const char* CDevNexil::SessionEndLocked(EDBID_FIRMWARE a_edbidfirmware) {
  const char* szReply = nullptr;
  bool blBuilt = false;
  for (EDBID_FIRMWARE edbidfirmware : {DB_FIRMWARE_ADF, DB_FIRMWARE_FLATBED}) {
    if (a_edbidfirmware != edbidfirmware && a_edbidfirmware != DB_FIRMWARE_BOTH) continue;
    if (!Alive(edbidfirmware)) continue;
    if (!m_ablSessionBegun[edbidfirmware]) continue;
    if (!blBuilt) {
      if (!Begin("sessionend")) return szReply;
      m_posxmltask->FinalizeCommand("sessionend");
      m_posxmltask->FinalizeTask();
      blBuilt = true;
    }
    szReply = Exchange(edbidfirmware, m_posxmltask);
    m_ablSessionBegun[edbidfirmware] = false;
  }
  return szReply;
}

EOSSTS CDevNexil::ResourceBegin(EDBID_FIRMWARE a_edbidfirmware) {
  CExchangeLock lock(m_mutex);
  if (SendParsed(a_edbidfirmware, "resourcebegin", "Nexil resourcebegin failed...") != OS_STS_SUCCESS)
    return OS_STS_FAIL;
  m_ablResourceBegun[a_edbidfirmware] = true;
  return OS_STS_SUCCESS;
}

// The reservation is let go whatever the library answers.
EOSSTS CDevNexil::ResourceEnd(EDBID_FIRMWARE a_edbidfirmware) {
  CExchangeLock lock(m_mutex);
  if (!Unit(a_edbidfirmware)) return OS_STS_FAIL;
  if (!m_ablResourceBegun[a_edbidfirmware]) return OS_STS_SUCCESS;
  const EOSSTS eossts = SendParsed(a_edbidfirmware, "resourceend", "Nexil resourceend failed...");
  m_ablResourceBegun[a_edbidfirmware] = false;
  return eossts;
}

// The database's data buffer 0 (extra text for the library) is copied under
// the database lock, which is given back before the exchange.
EOSSTS CDevNexil::ScanBegin(EDBID_FIRMWARE a_edbidfirmware, long a_lImageBufferCount) {
  CDbLockRelease dblockrelease;
  std::string strExtra;
  if (m_pdatabase) {
    CDbLockGuard dblock;
    const char* szExtra = m_pdatabase->GetData(false);
    if (szExtra) strExtra = szExtra;
  }
  std::lock_guard<std::recursive_mutex> lock(m_mutex);
  if (m_blScanBegun) return OS_STS_SUCCESS;
  if (!Alive(a_edbidfirmware) || !Begin("scanbegin", strExtra.size())) return OS_STS_FAIL;
  m_posxmltask->AddArgument("imagebuffercount", static_cast<int>(a_lImageBufferCount));
  if (!strExtra.empty()) m_posxmltask->AddPassThrough(strExtra.c_str());
  if (Parsed(Send(a_edbidfirmware, "scanbegin"), a_edbidfirmware, false, "Nexil scanbegin failed...") !=
      OS_STS_SUCCESS) {
    return OS_STS_FAIL;
  }
  m_blScanBegun = true;
  m_blScanActive = true;
  return OS_STS_SUCCESS;
}

EOSSTS CDevNexil::ScanEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blForce) {
  CDbLockRelease dblockrelease;
  std::unique_lock<std::recursive_mutex> lock(m_mutex);
  if (!m_blScanActive && !a_blForce) return OS_STS_SUCCESS;
  m_blScanActive = false;
  if (!Alive(a_edbidfirmware)) return OS_STS_FAIL;
  // The messages of the scan go; the database lock comes before the
  // adapter's, so the adapter's is given up meanwhile.
  lock.unlock();
  if (m_pdatabase) {
    CDbLockGuard dblock;
    m_pdatabase->SetData(nullptr, true);
  }
  lock.lock();
  m_blScanBegun = false;
  return SendParsed(a_edbidfirmware, "scanend", "Nexil scanend failed...");
}

EOSSTS CDevNexil::SetupBegin(EDBID_FIRMWARE a_edbidfirmware, bool a_blSetupScan) {
  CDbLockRelease dblockrelease;
  if (!m_pdatabase) return OS_STS_FAIL;
  std::string strIllumination;
  {
    CDbLockGuard dblock;
    const char* szIllumination = m_pdatabase->ConfigEnumGetFirst("illumination", DB_CONFIGTARGET_ADF);
    strIllumination = szIllumination ? szIllumination : "";
  }
  std::optional<std::string> ostrReply;
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!Alive(a_edbidfirmware) || !Begin("setupbegin")) return OS_STS_FAIL;
    m_posxmltask->StartCommand("adfinfo", 2);
    m_posxmltask->AddArgument("illumination", strIllumination.c_str());
    m_posxmltask->FinalizeCommand("adfinfo");
    m_posxmltask->AddArgument("setupscan", TrueFalse(a_blSetupScan));
    ostrReply = Copy(Send(a_edbidfirmware, "setupbegin"));
  }
  return ParsedIntoDatabase(ostrReply, a_edbidfirmware, "Nexil <setupbegin> failed...");
}

EOSSTS CDevNexil::SetupEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blCancel) {
  CDbLockRelease dblockrelease;
  std::optional<std::string> ostrReply;
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!Alive(a_edbidfirmware) || !Begin("setupend")) return OS_STS_FAIL;
    m_posxmltask->AddArgument("cancel", TrueFalse(a_blCancel));
    ostrReply = Copy(Send(a_edbidfirmware, "setupend"));
  }
  return ParsedIntoDatabase(ostrReply, a_edbidfirmware, "Nexil <setupend> failed...");
}

// The relay's messages of an earlier call go before the exchange.
EDEVSTS CDevNexil::MessageRelay(EDBID_FIRMWARE a_edbidfirmware, const char* a_szXml) {
  CDbLockRelease dblockrelease;
  if (!m_pdatabase) return DEV_STS_FAIL;
  {
    CDbLockGuard dblock;
    m_pdatabase->SetData(nullptr, true);
  }
  std::optional<std::string> ostrReply;
  {
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const size_t sizetXml = a_szXml ? std::strlen(a_szXml) : 0;
    if (!Alive(a_edbidfirmware) || !Begin("messagerelay", sizetXml)) return DEV_STS_FAIL;
    if (sizetXml) m_posxmltask->AddPassThrough(a_szXml);
    ostrReply = Copy(Send(a_edbidfirmware, "messagerelay"));
  }
  EDEVSTS edevsts = DEV_STS_FAIL;
  if (ParsedIntoDatabase(ostrReply, a_edbidfirmware, "Nexil <messagerelay> failed...", &edevsts) != OS_STS_SUCCESS)
    return DEV_STS_FAIL;
  return edevsts;
}

const char* CDevNexil::NexPassThrough(EDBID_FIRMWARE a_edbidfirmware, const char* a_szXml) {
  CExchangeLock lock(m_mutex);
  if (!Alive(a_edbidfirmware)) return s_szFailReply;
  const size_t sizetXml = a_szXml ? std::strlen(a_szXml) : 0;
  if (!Begin(nullptr, sizetXml)) return nullptr;
  if (sizetXml) m_posxmltask->AddPassThrough(a_szXml);
  return KeepReply(Send(a_edbidfirmware, nullptr));
}
