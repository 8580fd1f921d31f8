// Fuzz target of the user-interface reader's extraction: the input is the
// stream a child writes, arriving in pieces whose sizes its first bytes
// choose. Tasks are cut from a buffer by bytes= alone as the reader cuts
// them: a whole task never reaches past what arrived, is at least its own
// header and at most the largest task; a declared length still to come is
// longer than what arrived; a bad stream stays bad however much more comes;
// the id of a task is read within its first bytes; the writer's stamps keep
// the length and give back the id and the length.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "drv_cdrvuiframe.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

// Cuts every whole task off the front; false once the stream is bad.
bool CutAll(std::string& a_strBuffer) {
  for (;;) {
    size_t sizetTask = 0;
    const char* szWhy = nullptr;
    const EDRVUIFRAME edrvuiframe = CDrvUiFrame::Next(a_strBuffer.data(), a_strBuffer.size(), &sizetTask, &szWhy);
    Check(szWhy != nullptr);
    if (edrvuiframe == DRV_UIFRAME_BAD) {
      Check(*szWhy != '\0');
      std::string strMore = a_strBuffer + std::string(64, '0');
      size_t sizetMore = 0;
      Check(CDrvUiFrame::Next(strMore.data(), strMore.size(), &sizetMore, &szWhy) == DRV_UIFRAME_BAD);
      return false;
    }
    if (edrvuiframe == DRV_UIFRAME_MORE) {
      Check(sizetTask == 0 || (sizetTask > a_strBuffer.size() && sizetTask <= CDrvUiFrame::s_sizetMaxTask));
      return true;
    }
    Check(sizetTask > 0 && sizetTask <= a_strBuffer.size() && sizetTask <= CDrvUiFrame::s_sizetMaxTask);
    const char* pcBytes = static_cast<const char*>(memmem(a_strBuffer.data(), sizetTask, "bytes='", 7));
    Check(pcBytes && static_cast<size_t>(pcBytes - a_strBuffer.data()) < CDrvUiFrame::s_sizetHeaderLimit);
    uint64_t u64Id = 0;
    if (!CDrvUiFrame::Id(a_strBuffer.data(), sizetTask < 255 ? sizetTask : 255, &u64Id)) Check(u64Id == 0);
    a_strBuffer.erase(0, sizetTask);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  if (a_sizetData < 2) return 0;
  const size_t sizetPiece = 1 + a_pu8Data[0] % 97;
  const uint64_t u64Id = a_pu8Data[1];
  const std::string strStream(reinterpret_cast<const char*>(a_pu8Data) + 2, a_sizetData - 2);
  std::string strBuffer;
  for (size_t sizet = 0; sizet < strStream.size(); sizet += sizetPiece) {
    strBuffer.append(strStream, sizet, sizetPiece);
    if (!CutAll(strBuffer)) break;
  }
  // The writer's stamps on the stream taken as one text.
  std::string strText = strStream;
  const bool blStamped = CDrvUiFrame::Stamp(strText.data(), strText.size(), u64Id);
  Check(strText.size() == strStream.size());
  if (blStamped) {
    char szBytes[32];
    std::snprintf(szBytes, sizeof szBytes, "%020zu", strText.size());
    Check(strText.find(szBytes) != std::string::npos);
  }
  return 0;
}
