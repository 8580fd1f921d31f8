// The <reportimage> description: read into the object's fields (Create),
// checked before a writer runs, and written back for an opened file (Open).
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosimageimpl.h"
#include "os_cosstring.h"
#include "os_cosxml.h"

namespace {
struct NamedValue {
  const char* szName;
  uint32_t u32Value;
};

const NamedValue s_anamedvalueCompression[] = {
    {"none", OS_IMAGECOMPRESSION_NONE}, {"group4", OS_IMAGECOMPRESSION_GROUP4}, {"jpeg", OS_IMAGECOMPRESSION_JPEG}};
const NamedValue s_anamedvalueFormat[] = {
    {"bw", OS_IMAGEFORMAT_BW}, {"gray_8", OS_IMAGEFORMAT_GRAY8}, {"rgb_24", OS_IMAGEFORMAT_RGB24}};

template <size_t N>
uint32_t ValueOf(const NamedValue (&a_anamedvalue)[N], const char* a_szName) {
  for (const NamedValue& namedvalue : a_anamedvalue)
    if (std::strcmp(namedvalue.szName, a_szName) == 0) return namedvalue.u32Value;
  return 0;
}

template <size_t N>
const char* NameOf(const NamedValue (&a_anamedvalue)[N], uint32_t a_u32Value) {
  for (const NamedValue& namedvalue : a_anamedvalue)
    if (namedvalue.u32Value == a_u32Value) return namedvalue.szName;
  return nullptr;
}

// The text between the first start tag of the element and the next end tag
// (a CDATA wrapper dropped). A missing start tag fails; a missing end tag
// gives an empty value; a value longer than the buffer fails.
bool ReadElement(const char* a_szReportImage, const char* a_szElement, char* a_szValue) {
  char szStart[32], szEnd[32];
  a_szValue[0] = '\0';
  COsString::SStrPrintf(szStart, sizeof szStart, "<%s>", a_szElement);
  COsString::SStrPrintf(szEnd, sizeof szEnd, "</%s>", a_szElement);
  EOSSTS eossts = std::strstr(a_szReportImage, szStart)
                      ? COsXml::GetContent(a_szReportImage, szStart, szEnd, a_szValue, COsImageImpl::s_sizetValue)
                      : OS_STS_FAIL;
  if (eossts == OS_STS_END_OF_LIST) eossts = OS_STS_SUCCESS;
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ASSERT, "Get %s failed...", a_szElement);
  return eossts == OS_STS_SUCCESS;
}

// The leading decimal integer of the value (as atoi reads it); a negative
// number or one past 32 bits is refused, never wrapped.
bool ReadNumber(const char* a_szElement, const char* a_szValue, uint32_t* a_pu32) {
  errno = 0;
  long long ll = std::strtoll(a_szValue, nullptr, 10);
  if (errno == ERANGE || ll < 0 || ll > static_cast<long long>(UINT32_MAX)) {
    OsLog(OS_LOG_ASSERT, "%s is out of range...<%s>", a_szElement, a_szValue);
    return false;
  }
  *a_pu32 = static_cast<uint32_t>(ll);
  return true;
}

// A length in 1/1200 inch as pixels at the resolution, truncated.
bool ToPixels(const char* a_szElement, uint32_t a_u32Length, uint32_t a_u32Resolution, uint32_t* a_pu32Pixels) {
  double dPixels = std::trunc(static_cast<double>(a_u32Length) * a_u32Resolution / 1200.0);
  if (dPixels > UINT32_MAX) {
    OsLog(OS_LOG_ASSERT, "%s is out of range...%u at %u dpi", a_szElement, a_u32Length, a_u32Resolution);
    return false;
  }
  *a_pu32Pixels = static_cast<uint32_t>(dPixels);
  return true;
}
}  // namespace

EOSSTS COsImageImpl::ParseReportImage(const char* a_szReportImage) {
  m_u32Width = m_u32Height = m_u32ImageSize = m_u32Resolution = 0;
  m_eosimageformat = OS_IMAGEFORMAT_UNKNOWN;
  m_eosimagecompression = OS_IMAGECOMPRESSION_UNKNOWN;
  m_szSource[0] = '\0';

  char szValue[s_sizetValue];
  uint32_t u32Width = 0, u32Height = 0;
  if (!ReadElement(a_szReportImage, "compressionmode", szValue)) return OS_STS_FAIL;
  m_eosimagecompression = static_cast<EOSIMAGECOMPRESSION>(ValueOf(s_anamedvalueCompression, szValue));
  if (!ReadElement(a_szReportImage, "imagefilename", szValue)) return OS_STS_FAIL;
  if (std::strlen(szValue) >= sizeof m_szSource) {
    OsLog(OS_LOG_ASSERT, "imagefilename is too long...%zu", std::strlen(szValue));
    return OS_STS_FAIL;
  }
  COsString::SStrCpy(m_szSource, sizeof m_szSource, szValue);
  if (!ReadElement(a_szReportImage, "imageformat", szValue)) return OS_STS_FAIL;
  m_eosimageformat = static_cast<EOSIMAGEFORMAT>(ValueOf(s_anamedvalueFormat, szValue));
  if (!ReadElement(a_szReportImage, "imagewidth", szValue) || !ReadNumber("imagewidth", szValue, &u32Width) ||
      !ReadElement(a_szReportImage, "imageheight", szValue) || !ReadNumber("imageheight", szValue, &u32Height) ||
      !ReadElement(a_szReportImage, "imagesize", szValue) || !ReadNumber("imagesize", szValue, &m_u32ImageSize) ||
      !ReadElement(a_szReportImage, "imageresolutionx", szValue) ||
      !ReadNumber("imageresolutionx", szValue, &m_u32Resolution) ||
      !ToPixels("imagewidth", u32Width, m_u32Resolution, &m_u32Width) ||
      !ToPixels("imageheight", u32Height, m_u32Resolution, &m_u32Height)) {
    return OS_STS_FAIL;
  }

  if (m_eosimagecompression != OS_IMAGECOMPRESSION_NONE) return OS_STS_SUCCESS;
  // Raw lines may come unpadded or padded to 4 bytes; anything else is
  // worth a line in the log, but the description still stands.
  uint64_t u64Line = 0;
  switch (m_eosimageformat) {
    case OS_IMAGEFORMAT_BW: u64Line = (static_cast<uint64_t>(m_u32Width) + 7) / 8; break;
    case OS_IMAGEFORMAT_GRAY8: u64Line = m_u32Width; break;
    case OS_IMAGEFORMAT_RGB24: u64Line = static_cast<uint64_t>(m_u32Width) * 3; break;
    default: OsLog(OS_LOG_ASSERT, "unrecognized m_eosimageformat...%d", static_cast<int>(m_eosimageformat)); return OS_STS_FAIL;
  }
  uint64_t u64Quotient = m_u32Height ? m_u32ImageSize / m_u32Height : u64Line;
  if (u64Quotient != u64Line && u64Quotient != ((u64Line + 3) & ~uint64_t{3}))
    OsLog(OS_LOG_ASSERT, "Error in report image...<%s>", a_szReportImage);
  return OS_STS_SUCCESS;
}

// What every writer needs from the description.
EOSSTS COsImageImpl::CheckParsed() {
  if (!m_u32Width || !m_u32Height || !m_u32ImageSize || !m_u32Resolution || !m_eosimageformat ||
      !m_eosimagecompression || !m_szSource[0]) {
    OsLog(OS_LOG_ASSERT, "Parse data has a problem, something is missing from <reportimage>...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// The description of the open image, lengths back in 1/1200 inch; 2 when it
// does not fit the caller's buffer (which is then left empty).
EOSSTS COsImageImpl::DescribeImage(char* a_szReportImage, size_t a_sizetReportImage) {
  a_szReportImage[0] = '\0';
  const char* szCompression = NameOf(s_anamedvalueCompression, m_eosimagecompression);
  const char* szFormat = NameOf(s_anamedvalueFormat, m_eosimageformat);
  if (!szCompression || !szFormat || !m_u32Resolution) {
    OsLog(OS_LOG_ASSERT, "unrecognized m_eosimageformat...");
    return OS_STS_FAIL;
  }
  double dWidth = std::trunc(m_u32Width * 1200.0 / m_u32Resolution);
  double dHeight = std::trunc(m_u32Height * 1200.0 / m_u32Resolution);
  if (dWidth > UINT32_MAX || dHeight > UINT32_MAX) {
    OsLog(OS_LOG_ASSERT, "image is too large to describe...%u x %u at %u dpi", m_u32Width, m_u32Height,
          m_u32Resolution);
    return OS_STS_FAIL;
  }
  int iLength = COsString::SStrPrintf(a_szReportImage, a_sizetReportImage,
                                      "\t<reportimage>\n"
                                      "\t\t<compressionmode>%s</compressionmode>\n"
                                      "\t\t<imagefilename>%s</imagefilename>\n"
                                      "\t\t<imageformat>%s</imageformat>\n"
                                      "\t\t<imagewidth>%u</imagewidth>\n"
                                      "\t\t<imageheight>%u</imageheight>\n"
                                      "\t\t<imagesize>%u</imagesize>\n"
                                      "\t\t<imageresolutionx>%u_dpi</imageresolutionx>\n"
                                      "\t</reportimage>",
                                      szCompression, m_szOutput, szFormat, static_cast<uint32_t>(dWidth),
                                      static_cast<uint32_t>(dHeight), m_u32ImageSize, m_u32Resolution);
  if (iLength < 0) {
    a_szReportImage[0] = '\0';
    OsLog(OS_LOG_ASSERT, "a_sizetReportImage is too small...%zu", a_sizetReportImage);
    return OS_STS_NOROOM_BUFFER;
  }
  return OS_STS_SUCCESS;
}
