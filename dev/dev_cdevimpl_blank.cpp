// Blank images: the scan thread drops an image whose size or content is at
// most its camera bin's threshold, by the bin's blank-image mode.
#include <cstdlib>
#include <cstring>

#include "dev_cdevimpl.h"
#include "os_coslog.h"
#include "os_cosxml.h"

namespace {

constexpr long s_lModeSize = 1;
constexpr long s_lModeContent = 3;

void Element(const char* a_szText, const char* a_szStart, const char* a_szEnd, char* a_szValue, size_t a_sizetValue) {
  if (COsXml::GetContent(a_szText, a_szStart, a_szEnd, a_szValue, a_sizetValue) != OS_STS_SUCCESS)
    a_szValue[0] = '\0';
}

// The bin's index (bin - 2): rear "bw" 3, rear other 5, front "bw" 2,
// front other 4.
int BinIndex(const char* a_szText) {
  char szCamera[32];
  char szFormat[32];
  Element(a_szText, "<cameratype>", "</cameratype>", szCamera, sizeof szCamera);
  Element(a_szText, "<imageformat>", "</imageformat>", szFormat, sizeof szFormat);
  const bool blRear = std::strcmp(szCamera, "rear") == 0;
  const bool blBitonal = std::strcmp(szFormat, "bw") == 0;
  if (blRear) return blBitonal ? 1 : 3;
  return blBitonal ? 0 : 2;
}

unsigned long Number(const char* a_szText, const char* a_szStart, const char* a_szEnd) {
  char szValue[32];
  Element(a_szText, a_szStart, a_szEnd, szValue, sizeof szValue);
  return std::strtoul(szValue, nullptr, 10);
}

}  // namespace

bool CDevImpl::DiscardBlankImage(const char* a_szText) {
  const DevScanState& s = m_scanstate;
  if (!a_szText || s.blPreview) return false;
  const int iBin = BinIndex(a_szText);
  if (s.alBlankMode[iBin] == s_lModeSize) {
    const unsigned long ulSize = Number(a_szText, "<imagesize>", "</imagesize>");
    if (ulSize > s.aulBlankSize[iBin]) return false;
    OsLogDebug(OS_LOG_INFO, "imgqueue: discarding image based on size...%u <= %u", static_cast<unsigned>(ulSize),
               static_cast<unsigned>(s.aulBlankSize[iBin]));
    return true;
  }
  if (s.alBlankMode[iBin] == s_lModeContent) {
    const unsigned long ulContent = Number(a_szText, "<blankimagecontent>", "</blankimagecontent>");
    if (ulContent > s.aulBlankContent[iBin]) return false;
    OsLogDebug(OS_LOG_INFO, "imgqueue: discarding image based on content...%u <= %u",
               static_cast<unsigned>(ulContent), static_cast<unsigned>(s.aulBlankContent[iBin]));
    return true;
  }
  return false;
}
