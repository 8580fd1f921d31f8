// The running statistics of the images a scan hands to the caller, and the
// dump of those images ("imagestoapp"). Both run on the caller's thread, in
// GetOutput and ScanBegin, and keep no state of their own beyond the scan
// state's statistics block.
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "dev_cdevimpl.h"
#include "os_coslog.h"
#include "os_cosimage.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {

// The text of an element of an image description; empty when missing or
// when it does not fit.
void Element(const char* a_szText, const char* a_szName, char* a_szValue, size_t a_sizetValue) {
  char szStart[64];
  char szEnd[64];
  COsString::SStrPrintf(szStart, sizeof szStart, "<%s>", a_szName);
  COsString::SStrPrintf(szEnd, sizeof szEnd, "</%s>", a_szName);
  if (COsXml::GetContent(a_szText, szStart, szEnd, a_szValue, a_sizetValue) != OS_STS_SUCCESS) a_szValue[0] = '\0';
}

unsigned long ImageSize(const char* a_szText) {
  char szSize[32];
  Element(a_szText, "imagesize", szSize, sizeof szSize);
  return std::strtoul(szSize, nullptr, 10);
}

}  // namespace

void CDevImpl::StatisticsStart() {
  DevScanStatistics& statistics = m_scanstate.statistics;
  if (statistics.tStart == 0) statistics.tStart = time(nullptr);
  statistics.lImagesExpected = ImageCountCalculate();
}

void CDevImpl::StatisticsUpdate(const char* a_szText, int a_iImageCount, int, int a_iPageCount) {
  if (!a_szText || !a_szText[0]) return;
  DevScanStatistics& statistics = m_scanstate.statistics;
  ++statistics.lImagesFromZero;
  statistics.lCurrentNumber = a_iImageCount;
  const unsigned long ulSize = ImageSize(a_szText);
  statistics.ulTotalBytes += ulSize;
  statistics.lImagesExpected = m_scanstate.lImagesRemaining.load();
  statistics.lElapsed = static_cast<long>(time(nullptr) - statistics.tStart);
  statistics.ulBytesPerSecond = statistics.lElapsed > 0
                                    ? statistics.ulTotalBytes / static_cast<unsigned long>(statistics.lElapsed)
                                    : statistics.ulTotalBytes;
  // The first image sets the smallest size: 0 is no size seen yet.
  if (statistics.ulSmallest == 0 || ulSize < statistics.ulSmallest) statistics.ulSmallest = ulSize;
  if (ulSize > statistics.ulLargest) statistics.ulLargest = ulSize;
  statistics.ulBytesPerImage = statistics.lCurrentNumber > 0
                                   ? statistics.ulTotalBytes / static_cast<unsigned long>(statistics.lCurrentNumber)
                                   : statistics.ulTotalBytes;
  COsString::SStrPrintf(statistics.szPage, sizeof statistics.szPage, "%s %d", m_scanstate.szLabelPage,
                        a_iImageCount);
  char szCamera[16];
  Element(a_szText, "cameratype", szCamera, sizeof szCamera);
  COsString::SStrPrintf(statistics.szSheet, sizeof statistics.szSheet, "%s %d : %s", m_scanstate.szLabelSheet,
                        a_iPageCount,
                        std::strcmp(szCamera, "rear") == 0 ? m_scanstate.szLabelImagesBack
                                                           : m_scanstate.szLabelImagesFront);
}

void CDevImpl::ScanStatisticsReset() {
  m_scanstate.statistics = DevScanStatistics{};
  m_scanstate.statistics.lImagesExpected = ImageCountCalculate();
}

const char* CDevImpl::ScanStatisticsGetSheetCount() { return m_scanstate.statistics.szSheet; }
const char* CDevImpl::ScanStatisticsGetPageCount() { return m_scanstate.statistics.szPage; }
long CDevImpl::ScanStatisticsGetImageCountFromZero() { return m_scanstate.statistics.lImagesFromZero; }

// The image goes to the dump prefix and its image id; the writer picks the
// file kind by the name, which has none, so it becomes a TIFF.
void CDevImpl::SaveImage(const char* a_szText) {
  if (!m_scanstate.blDump.load() || !a_szText) return;
  if (!pod.m_posimage) {
    OsLog(OS_LOG_ERROR, "SaveImage: no image writer...");
    return;
  }
  char szImageId[64];
  Element(a_szText, "imageid", szImageId, sizeof szImageId);
  // The id becomes part of a path: one that could leave the dump
  // directory is refused.
  if (!szImageId[0] || std::strchr(szImageId, '/') || std::strstr(szImageId, "..")) {
    OsLog(OS_LOG_ERROR, "SaveImage: unusable imageid...<%s>", szImageId);
    return;
  }
  char szPath[DEV_SCAN_TEXT_SIZE + sizeof szImageId];
  COsString::SStrPrintf(szPath, sizeof szPath, "%s%s", m_scanstate.szDumpPrefix, szImageId);
  const EOSSTS eossts = pod.m_posimage->Create(szPath, a_szText, false, false, OS_IMAGEFILEFORMAT_BYNAME,
                                               static_cast<EOSIMAGEMULTIPAGE>(1), false);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SaveImage: COsImage::Create failed...%d <%s>", static_cast<int>(eossts), szPath);
  }
}
