// The scan tasks: scan begin and end, the stop request, the images
// (getoutput and imageend, on builders of their own so that the scan thread
// never waits for the general builder) and the feeder's paper state.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdevdevice.h"
#include "dev_taskbody.h"
#include "dp_creportstatus.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {
constexpr size_t s_sizetWord = 64;

// The reply's status word as EDEVSTS; 1 for a reply without one or with a
// word that is none of the 22 a getoutput answers: the reply words but
// those the device status cannot tell from a failure ("fail",
// "endofinput", "invalidstate").
EDEVSTS OutputStatus(const char* a_szReply) {
  char szWord[s_sizetWord] = {};
  const EOSSTS eossts = COsXml::GetContent(a_szReply, "<status>", "</status>", szWord, sizeof szWord);
  if (eossts == OS_STS_END_OF_LIST) {
    OsLog(OS_LOG_ERROR, "GetOutput: the reply has no status...");
    return DEV_STS_FAIL;
  }
  EDEVREPLY edevreply = DEV_REPLY_FAIL;
  if (eossts == OS_STS_SUCCESS && CReportStatus::CodeFromWord(szWord, &edevreply)) {
    const EDEVSTS edevsts = CDevDevice::MapReply(edevreply);
    if (edevsts != DEV_STS_FAIL) return edevsts;
  }
  OsLog(OS_LOG_ERROR, "unrecognized device status...<%s>", szWord);
  return DEV_STS_FAIL;
}

// The statuses that do not tell the feeder has run out of paper.
bool KeepsPaper(EDEVSTS a_edevsts) {
  return a_edevsts == DEV_STS_SUCCESS || a_edevsts == DEV_STS_BUSY || a_edevsts == DEV_STS_LAMPSWARMINGUP ||
         a_edevsts == DEV_STS_NOIMAGEAVAILABLE || a_edevsts == DEV_STS_ENDOFSHEET;
}

// The file name of the image a reply hands out; empty when it names none.
std::string ImageFilename(const char* a_szReply) {
  std::vector<char> vecc(std::strlen(a_szReply) + 1);
  if (COsXml::GetContent(a_szReply, "<imagefilename>", "</imagefilename>", vecc.data(), vecc.size()) !=
      OS_STS_SUCCESS) {
    return std::string();
  }
  return vecc.data();
}
}  // namespace

// ---------------------------------------------------------------------------
// Scan begin and end
// ---------------------------------------------------------------------------
// A unit only told that the other one scans feeds nothing: its answer
// does not matter.
EDEVSTS CDevDevice::ScanBegin(EDBID_FIRMWARE a_edbidfirmware, long a_lImageBufferCount, bool a_blNotificationOnly) {
  if (a_blNotificationOnly) {
    const EDEVSTS edevsts = Tell(a_edbidfirmware, "scanbegin", [](COsXmlTask& a_osxmltask) {
      a_osxmltask.AddArgument("imagebuffercount", 1);
      a_osxmltask.AddArgument("notificationonly", "true");
    });
    if (edevsts != DEV_STS_SUCCESS) return edevsts;
    m_blPaperOutSeen.store(false);
    m_blScanning.store(true);
    return DEV_STS_SUCCESS;
  }
  const EDEVSTS edevsts = Exchange(
      a_edbidfirmware, "scanbegin",
      [&](COsXmlTask& a_osxmltask) {
        a_osxmltask.AddArgument("imagebuffercount", static_cast<int>(a_lImageBufferCount));
        const char* szExtra = m_pdatabase->GetData(true);
        if (szExtra && szExtra[0]) a_osxmltask.AddPassThrough(szExtra);
      },
      DevDispatchTarget::Database(m_pdatabase));
  if (edevsts == DEV_STS_SUCCESS || edevsts == DEV_STS_LAMPSWARMINGUP) {
    m_blPaperOutSeen.store(false);
    m_blScanBegun.store(true);
    m_blScanning.store(true);
  }
  return edevsts;
}

EDEVSTS CDevDevice::ScanEnd(EDBID_FIRMWARE a_edbidfirmware, bool a_blForce, bool a_blNoReply) {
  m_blScanning.store(false);
  m_blPaperOutSeen.store(false);
  if (a_blNoReply) {
    TellOn(DEV_BUILDER_SCANEND, a_edbidfirmware, "scanend");
    return DEV_STS_SUCCESS;
  }
  if (!m_blScanBegun.exchange(false) && !a_blForce) return DEV_STS_SUCCESS;
  if (IsEmpty("ScanEnd")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  m_pdatabase->SetData(nullptr, false);
  return ExchangeOn(DEV_BUILDER_SCANEND, a_edbidfirmware, "scanend", nullptr,
                    DevDispatchTarget::Database(m_pdatabase));
}

EDEVSTS CDevDevice::ScanRequestStop(EDBID_FIRMWARE a_edbidfirmware) {
  if (IsEmpty("ScanRequestStop")) return DEV_STS_FAIL;
  CDbLockGuard dblock;
  return ExchangeOn(DEV_BUILDER_SCANREQUESTSTOP, a_edbidfirmware, "scanrequeststop", nullptr,
                    DevDispatchTarget::Database(m_pdatabase));
}

// ---------------------------------------------------------------------------
// Images
// ---------------------------------------------------------------------------
// An image whose description does not fit the caller's buffer is lost to
// the caller: the unit is told to end it, or it would keep it (and count
// it against the image buffers) until the scan ends.
EDEVSTS CDevDevice::GetOutput(EDBID_FIRMWARE a_edbidfirmware, char* a_szOutput, size_t a_sizetOutput) {
  if (!a_szOutput || a_sizetOutput == 0) {
    OsLog(OS_LOG_ERROR, "a_szOutput is null...");
    return DEV_STS_FAIL;
  }
  a_szOutput[0] = '\0';
  if (IsEmpty("GetOutput")) return DEV_STS_FAIL;
  bool blTooLarge = false;
  std::string strImageFilename;
  EDEVSTS edevsts = DEV_STS_FAIL;
  {
    std::lock_guard<std::recursive_mutex> lock(m_amutexBuilder[DEV_BUILDER_GETOUTPUT]);
    if (!Build(DEV_BUILDER_GETOUTPUT, "getoutput", nullptr)) return DEV_STS_FAIL;
    const char* szReply = ScannerEntry(a_edbidfirmware, m_aposxmltask[DEV_BUILDER_GETOUTPUT], 0);
    if (!szReply) {
      OsLog(OS_LOG_ERROR, "ScannerEntry failed...");
      return DEV_STS_FAIL;
    }
    const EOSSTS eossts = DevTaskBody(szReply, a_szOutput, a_sizetOutput);
    if (eossts == OS_STS_NOROOM_BUFFER) {
      blTooLarge = true;
      strImageFilename = ImageFilename(szReply);
    } else if (eossts == OS_STS_SUCCESS) {
      edevsts = OutputStatus(szReply);
    }
  }
  if (blTooLarge) {
    OsLog(OS_LOG_ERROR, "GetOutput: the reply does not fit %zu bytes, ending its image...<%s>", a_sizetOutput,
          strImageFilename.c_str());
    ImageEnd(a_edbidfirmware, strImageFilename.c_str());
    return DEV_STS_FAIL;
  }
  // 1 is no word of the table: the reply had none it knows.
  if (edevsts == DEV_STS_FAIL) return edevsts;
  if (m_blScanning.load() && !KeepsPaper(edevsts)) m_blPaperOutSeen.store(true);
  return edevsts;
}

EDEVSTS CDevDevice::ImageEnd(EDBID_FIRMWARE a_edbidfirmware, const char* a_szImageFilename) {
  if (!a_szImageFilename) {
    OsLog(OS_LOG_ERROR, "a_szImagefilename is null...");
    return DEV_STS_FAIL;
  }
  if (!a_szImageFilename[0]) return DEV_STS_SUCCESS;
  return ExchangeOn(
      DEV_BUILDER_IMAGEEND, a_edbidfirmware, "imageend",
      [&](COsXmlTask& a_osxmltask) { a_osxmltask.AddArgumentSafe("imagefilename", a_szImageFilename); },
      DevDispatchTarget::None());
}

// The block of an image records the file it was read from.
EDEVSTS CDevDevice::ImageEnd(EDBID_FIRMWARE a_edbidfirmware, const void* a_pvImage) {
  OsMemSettings osmemsettings;
  if (!a_pvImage || !g_posmem || g_posmem->GetSettings(a_pvImage, &osmemsettings) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "ImageEnd: no image block...%p", a_pvImage);
    return DEV_STS_FAIL;
  }
  return ImageEnd(a_edbidfirmware, osmemsettings.szName);
}

// ---------------------------------------------------------------------------
// Feeder state
// ---------------------------------------------------------------------------
long CDevDevice::IsFeederLoaded() {
  if (IsEmpty("IsFeederLoaded")) return 2;
  CDbLockGuard dblock;
  if (!m_pdatabase->ConfigExists("paperdetectable", DB_CONFIGTARGET_COMMON)) {
    OsLogDebug(OS_LOG_INFO, "IsFeederLoaded (nosensor): 1");
    return 2;
  }
  if (m_blScanning.load()) {
    const long lLoaded = m_blPaperOutSeen.load() ? 1 : 2;
    OsLogDebug(OS_LOG_INFO, "IsFeederLoaded (scanning): %ld", lLoaded);
    return lLoaded;
  }
  const EDEVSTS edevsts = GetConfig(DB_FIRMWARE_ADF, DB_ID_FEEDERLOADED);
  if (edevsts != DEV_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "CDevDevice::GetConfig failed...%d", static_cast<int>(edevsts));
    OsLogDebug(OS_LOG_INFO, "IsFeederLoaded (nodata): 1");
    return 2;
  }
  // As the scanner's own value: no callback asks the scanner again.
  m_pdatabase->SetDbState(DB_STATE_DEVICEUPDATE);
  const long lLoaded = m_pdatabase->GetCurrentLongFromId(DB_ID_FEEDERLOADED);
  m_pdatabase->ClearDbState(DB_STATE_DEVICEUPDATE);
  OsLogDebug(OS_LOG_INFO, "IsFeederLoaded (fromscanner): %ld", lLoaded);
  return lLoaded;
}
