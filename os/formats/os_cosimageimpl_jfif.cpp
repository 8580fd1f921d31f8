// JFIF files: the writer copies a JPEG stream as it is; the reader takes the
// resolution from the APP0 segment and the size and components from the
// baseline start of frame.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "os_coslog.h"
#include "os_cosimageimpl.h"

namespace {
constexpr uint64_t kJfifView = 16392;  // the start of frame must lie within
constexpr int64_t kJfifSourceView = 1024;
constexpr uint64_t kApp0Fields = 16;   // through the X density
constexpr uint64_t kSofFields = 10;    // through the component count

// Offset of the baseline start-of-frame marker, walking the segments from
// the offset; bytes that are no marker are skipped (as decoders resync), and
// the walk ends at the first scan or at the end of what is mapped. 0 when
// none is found.
uint64_t FindBaselineFrame(const uint8_t* a_pb, uint64_t a_u64Offset, uint64_t a_u64Available) {
  uint64_t u64 = a_u64Offset;
  while (u64 + 1 < a_u64Available) {
    const uint8_t bMarker = a_pb[u64 + 1];
    if (a_pb[u64] != 0xFF || bMarker == 0xFF || bMarker == 0x00) {
      ++u64;
    } else if (bMarker == 0xC0) {
      return u64;
    } else if (bMarker == 0xDA || bMarker == 0xD9) {
      return 0;
    } else if ((bMarker >= 0xD0 && bMarker <= 0xD7) || bMarker == 0x01) {
      u64 += 2;
    } else if (u64 + 4 > a_u64Available) {
      return 0;
    } else {
      u64 += 2 + OsImageGetU16Be(a_pb + u64 + 2);
    }
  }
  return 0;
}
}  // namespace

EOSSTS COsImageImpl::CreateJfif(bool a_blTemporary, bool a_blKeepOpen, bool a_blFileWrite) {
  if (CheckParsed() != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (a_blFileWrite && (a_blTemporary || a_blKeepOpen)) {
    OsLog(OS_LOG_ASSERT, "Flag error...");
    return OS_STS_FAIL;
  }
  void* pvSource = nullptr;
  if (MapSource(m_szSource, m_u32ImageSize, pvSource, kJfifSourceView) != OS_STS_SUCCESS) return OS_STS_FAIL;
  m_u32HeaderSize = 0;
  m_u32PageOffset = 0;
  EOSSTS eossts = OS_STS_SUCCESS;
  if (a_blFileWrite) {
    eossts = WriteOutputFile(nullptr, 0, pvSource);
  } else {
    eossts = CreateMappedOutput(nullptr, 0, pvSource, m_u32ImageSize, m_u32ImageSize, a_blTemporary, a_blKeepOpen,
                                kJfifSourceView);
    if (eossts == OS_STS_SUCCESS) {
      eossts = ParseJfifHeader(m_pvView, m_u32ImageSize);
      if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ASSERT, "ParseJfifHeader failed...");
    }
    eossts = eossts == OS_STS_SUCCESS ? FinishOutput(a_blKeepOpen) : eossts;
    if (eossts != OS_STS_SUCCESS) FreeView(m_pvView);
  }
  FreeView(pvSource);
  return eossts;
}

// Every read stays within the file and the first 16392 bytes.
EOSSTS COsImageImpl::ParseJfifHeader(void*& a_pvView, uint64_t a_u64FileSize) {
  const uint64_t u64Available = std::min(kJfifView, a_u64FileSize);
  if (a_u64FileSize > UINT32_MAX) {
    OsLog(OS_LOG_ASSERT, "jfif file is too large...%llu", static_cast<unsigned long long>(a_u64FileSize));
    return OS_STS_FAIL;
  }
  if (!MoveView(a_pvView, 0, u64Available)) return OS_STS_FAIL;
  const uint8_t* pb = static_cast<const uint8_t*>(a_pvView);
  const uint64_t u64App0End = u64Available >= kApp0Fields ? 4 + OsImageGetU16Be(pb + 4) : 0;
  if (u64Available < kApp0Fields || pb[0] != 0xFF || pb[1] != 0xD8 || pb[2] != 0xFF || pb[3] != 0xE0 ||
      u64App0End < kApp0Fields || u64App0End > u64Available) {
    OsLog(OS_LOG_ASSERT, "APP0 segment is missing or cut short...");
    return OS_STS_FAIL;
  }
  const uint8_t bUnits = pb[13];
  const uint32_t u32Density = OsImageGetU16Be(pb + 14);
  uint32_t u32Resolution = 0;
  switch (bUnits) {
    case 0: u32Resolution = 1; break;
    case 1: u32Resolution = u32Density; break;
    case 2: u32Resolution = static_cast<uint32_t>(std::trunc(u32Density * 2.54)); break;
    default: OsLog(OS_LOG_ASSERT, "unrecognized units...%d", static_cast<int>(bUnits)); return OS_STS_FAIL;
  }
  const uint64_t u64Frame = FindBaselineFrame(pb, u64App0End, u64Available);
  if (!u64Frame || u64Frame + kSofFields > u64Available) {
    OsLog(OS_LOG_ASSERT, "failed to find SOF marker...");
    return OS_STS_FAIL;
  }
  const uint8_t bComponents = pb[u64Frame + 9];
  if (bComponents != 1 && bComponents != 3) {
    OsLog(OS_LOG_ASSERT, "unrecognized id...%d", static_cast<int>(bComponents));
    return OS_STS_FAIL;
  }
  m_u32HeaderSize = 0;
  m_u32ImageSize = static_cast<uint32_t>(a_u64FileSize);
  m_eosimagecompression = OS_IMAGECOMPRESSION_JPEG;
  m_u32Resolution = u32Resolution;
  m_u32Height = OsImageGetU16Be(pb + u64Frame + 5);
  m_u32Width = OsImageGetU16Be(pb + u64Frame + 7);
  m_eosimageformat = bComponents == 1 ? OS_IMAGEFORMAT_GRAY8 : OS_IMAGEFORMAT_RGB24;
  return OS_STS_SUCCESS;
}
