// The learning scans: the custom colour-dropout pass, which only feeds the
// sheets through the device, and the automatic colour detection pass, which
// reads the colour amount and threshold the image library measured on
// every image and keeps the smallest as the bin's settings.
//
// Both block the task that runs them until the scan ends. A scanner that
// neither delivers an image nor ends the batch must not hold the front end
// for ever: after the wait limit (120 s without either) the pass fails.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "db_cdatabase.h"
#include "db_cdbconfig.h"
#include "db_cdblock.h"
#include "dev_cdev.h"
#include "drv_cdriver.h"
#include "os_coslog.h"
#include "os_costime.h"

namespace {

constexpr long s_lLearnWaitDefaultMs = 120000;
constexpr long s_lLearnPollMs = 500;
std::atomic<long> s_lLearnWaitMs{s_lLearnWaitDefaultMs};

// The colour pass's results beyond success and failure.
constexpr EOSSTS s_eosstsMultifeed = static_cast<EOSSTS>(40);
constexpr EOSSTS s_eosstsPaperJam = static_cast<EOSSTS>(12);
constexpr EOSSTS s_eosstsZeroAmount = static_cast<EOSSTS>(46);
constexpr EOSSTS s_eosstsTooFewSheets = static_cast<EOSSTS>(47);
constexpr int s_iLearnSheets = 5;
constexpr long s_lLearnModeOn = 2;
constexpr long s_lLearnModeOff = 1;
constexpr size_t s_sizetMessage = 512;

// A number element of an image description; false when it has none.
bool ImageNumber(const char* a_szImage, const char* a_szElement, long* a_plValue) {
  char szTag[64];
  std::snprintf(szTag, sizeof szTag, "<%s>", a_szElement);
  const char* sz = std::strstr(a_szImage, szTag);
  if (!sz) return false;
  char* szEnd = nullptr;
  const long lValue = std::strtol(sz + std::strlen(szTag), &szEnd, 10);
  if (szEnd == sz + std::strlen(szTag)) return false;
  *a_plValue = lValue;
  return true;
}

// The success message: the label's first two "%d" take the amount and the
// threshold; any other '%' of a label is text, never a format.
void FormatLearnMessage(char* a_szMessage, size_t a_sizetMessage, const char* a_szLabel, long a_lAmount,
                        long a_lThreshold) {
  std::string str;
  const long alValue[] = {a_lAmount, a_lThreshold};
  size_t sizetValues = 0;
  for (const char* sz = a_szLabel; *sz; ++sz) {
    if (sz[0] == '%' && sz[1] == 'd' && sizetValues < 2) {
      str += std::to_string(alValue[sizetValues++]);
      ++sz;
    } else {
      str += *sz;
    }
  }
  std::snprintf(a_szMessage, a_sizetMessage, "%s", str.c_str());
}

}  // namespace

void CDriver::SetLearnWaitLimit(long a_lMilliseconds) {
  s_lLearnWaitMs.store(a_lMilliseconds < 0 ? s_lLearnWaitDefaultMs : a_lMilliseconds);
}

// What a learning pass keeps of its images; a null amount means the pass
// only confirms them.
struct CDriver::LearnResult {
  long* plAmount;
  long* plThreshold;
  int iSheets;
};

// The images of a started scan, each confirmed, until the batch ends: the
// end's device status, or the one that stopped it (17 when the wait
// limit passed without an image or the end).
EOSSTS CDriver::LearnLoop(LearnResult* a_plearnresult) {
  long lWaitedMs = 0;
  for (;;) {
    int iImages = 0;
    int iSheets = 0;
    int iSheetImages = 0;
    const EDEVSTS edevsts = GetOutput(m_acImageBuffer, static_cast<int>(sizeof m_acImageBuffer), &iImages, &iSheets,
                                      &iSheetImages);
    if (edevsts == DEV_STS_SUCCESS) {
      m_acImageBuffer[sizeof m_acImageBuffer - 1] = '\0';
      lWaitedMs = 0;
      a_plearnresult->iSheets = iSheets;
      long lValue = 0;
      if (a_plearnresult->plAmount && ImageNumber(m_acImageBuffer, "autocoloramount", &lValue))
        *a_plearnresult->plAmount = std::min(*a_plearnresult->plAmount, lValue);
      if (a_plearnresult->plThreshold && ImageNumber(m_acImageBuffer, "autocolorthreshold", &lValue))
        *a_plearnresult->plThreshold = std::min(*a_plearnresult->plThreshold, lValue);
      CDbLockRelease dblockrelease;
      m_pdev->ImageEnd(m_acImageBuffer);
      continue;
    }
    if (edevsts != DEV_STS_BUSY && edevsts != DEV_STS_NOIMAGEAVAILABLE) return static_cast<EOSSTS>(edevsts);
    if (lWaitedMs >= s_lLearnWaitMs.load()) {
      OsLog(OS_LOG_ERROR, "learning scan: no image and no end within %ld ms...", lWaitedMs);
      return static_cast<EOSSTS>(DEV_STS_NOIMAGEAVAILABLE);
    }
    CDbLockRelease dblockrelease;
    const long lSleep = std::min(s_lLearnPollMs, std::max(1L, s_lLearnWaitMs.load() - lWaitedMs));
    COsTime::Sleep(lSleep);
    lWaitedMs += lSleep;
  }
}

EOSSTS CDriver::EcdoCustomLearn() {
  OsLogDebug(OS_LOG_INFO, ">>> EcdoCustomLearn...");
  if (!m_pdatabase || !m_pdev) return OS_STS_FAIL;
  const long lDsState = g_poslog ? g_poslog->GetDsState() : 0;
  bool blFlatbed;
  {
    CDbLockGuard dblockguard;
    blFlatbed = m_pdatabase->GetCurrentLongFromId(DB_ID_FIRMWARE) == DB_FIRMWARE_FLATBED;
    m_pdatabase->ConfigSetNumber("useendofsheet", 0, DB_CONFIGTARGET_COMMON);
  }
  if (blFlatbed) m_pdatabase->SetDbState(DB_STATE_FLATBEDSCAN);
  m_pdev->SkipSendingEvent(true);
  EOSSTS eossts = ScanBegin(DRV_SCANTYPE_NORMAL, false);
  if (eossts == OS_STS_SUCCESS) {
    if (g_poslog) g_poslog->SetDsState(5);
    LearnResult learnresult = {nullptr, nullptr, 0};
    eossts = LearnLoop(&learnresult) == static_cast<EOSSTS>(DEV_STS_ENDOFJOB) ? OS_STS_SUCCESS : OS_STS_FAIL;
  }
  if (blFlatbed) m_pdatabase->ClearDbState(DB_STATE_FLATBEDSCAN);
  ScanEnd(true);
  if (g_poslog) g_poslog->SetDsState(lDsState);
  m_pdev->SkipSendingEvent(false);
  return eossts;
}

EOSSTS CDriver::AutoColorLearn() {
  OsLogDebug(OS_LOG_INFO, ">>> AutoColorLearn...");
  if (!m_pdatabase || !m_pdev) return OS_STS_FAIL;
  EDBBIN edbbin;
  long lAmount;
  long lThreshold;
  {
    CDbLockGuard dblockguard;
    if (!m_pdatabase->Find(DB_ID_ACDLEARNMODE)) {
      OsLogDebug(OS_LOG_INFO, "AutoColorLearn: ACDLEARNMODE not supported...");
      return OS_STS_FAIL;
    }
    edbbin = m_pdatabase->GetBinFromWindowBin(m_pdatabase->GetWindowBin());
    m_pdatabase->SetCurrentLongFromId(DB_ID_ACDLEARNMODE, s_lLearnModeOn, false);
    CDbDatum* pdbdatumAmount = m_pdatabase->FindInBin(edbbin, DB_ID_AUTOCOLORAMOUNT);
    CDbDatum* pdbdatumThreshold = m_pdatabase->FindInBin(edbbin, DB_ID_AUTOCOLORTHRESHOLD);
    lAmount = pdbdatumAmount ? m_pdatabase->RangeGetCurrentMax(pdbdatumAmount) : 0;
    lThreshold = pdbdatumThreshold ? m_pdatabase->RangeGetCurrentMax(pdbdatumThreshold) : 0;
    m_pdatabase->ConfigSetNumber("useendofsheet", 0, DB_CONFIGTARGET_COMMON);
  }
  m_pdatabase->SetDbState(DB_STATE_LEARNSCAN);
  const long lDsState = g_poslog ? g_poslog->GetDsState() : 0;
  m_pdev->SkipSendingEvent(true);
  EOSSTS eossts = ScanBegin(DRV_SCANTYPE_AUTOCOLORLEARN, false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "StartScan failed...");
  } else {
    if (g_poslog) g_poslog->SetDsState(5);
    LearnResult learnresult = {&lAmount, &lThreshold, 0};
    // The loop first: the sheets, amount and threshold are what it found.
    const EOSSTS eosstsEnd = LearnLoop(&learnresult);
    eossts = AutoColorResult(eosstsEnd, learnresult.iSheets, edbbin, lAmount, lThreshold);
  }
  ScanEnd(true);
  SetLong(DB_ID_ACDLEARNMODE, s_lLearnModeOff);
  m_pdatabase->ClearDbState(DB_STATE_LEARNSCAN);
  if (g_poslog) g_poslog->SetDsState(lDsState);
  m_pdev->SkipSendingEvent(false);
  return eossts;
}

// The pass's result and the message the device keeps for the front end;
// a whole pass sets the bin's amount and threshold.
EOSSTS CDriver::AutoColorResult(EOSSTS a_eosstsEnd, int a_iSheets, EDBBIN a_edbbin, long a_lAmount,
                                long a_lThreshold) {
  const char* szLabel = "messageerror";
  EOSSTS eossts = OS_STS_FAIL;
  switch (static_cast<EDEVSTS>(a_eosstsEnd)) {
    case DEV_STS_DOUBLEDOCUMENT:
      szLabel = "messagemultifeed";
      eossts = s_eosstsMultifeed;
      break;
    case DEV_STS_PAPERJAM:
      szLabel = "messagepaperjam";
      eossts = s_eosstsPaperJam;
      break;
    case DEV_STS_ENDOFJOB:
      if (a_iSheets < s_iLearnSheets) {
        szLabel = "autocolorlearn_messagelessdoc";
        eossts = s_eosstsTooFewSheets;
      } else if (a_lAmount == 0) {
        szLabel = "autocolorlearn_messagezeroamount";
        eossts = s_eosstsZeroAmount;
      } else {
        szLabel = nullptr;
        eossts = OS_STS_SUCCESS;
      }
      break;
    default: break;
  }
  CDbLockGuard dblockguard;
  if (szLabel) {
    m_pdev->SetLastErrorText(m_pdatabase->LabelGet(szLabel, "???", -1));
    return eossts;
  }
  char szMessage[s_sizetMessage];
  FormatLearnMessage(szMessage, sizeof szMessage,
                     m_pdatabase->LabelGet("autocolorlearn_messagesuccess",
                                           "Please use a Color Amount value of %d and a Color Threshold value of %d "
                                           "to have the scanner automatically detect and save similar documents as "
                                           "color or grayscale images.",
                                           -1),
                     a_lAmount, a_lThreshold);
  m_pdev->SetLastErrorText(szMessage);
  m_pdatabase->SetCurrentLongFromIdBin(DB_ID_AUTOCOLORAMOUNT, a_edbbin, a_lAmount);
  m_pdatabase->SetCurrentLongFromIdBin(DB_ID_AUTOCOLORTHRESHOLD, a_edbbin, a_lThreshold);
  return OS_STS_SUCCESS;
}
