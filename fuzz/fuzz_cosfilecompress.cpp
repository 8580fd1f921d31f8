// Fuzz target of the block compressor's reader: any bytes are decoded into
// an output of exact size (so a write past it is caught), the result is
// checked against its capacity; then the bytes are coded both ways and must
// decode to themselves.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "os_cosfileimpl.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

void RoundTrip(const std::vector<uint8_t>& a_input, EOSFILECOMPRESSION a_eosfilecompression) {
  std::vector<uint8_t> stream(OsFileCompressBound(a_input.size())), work(s_sizetCompressBlock);
  size_t sizetStream = 0;
  Check(COsFileImpl::Compress(stream.data(), stream.size(), &sizetStream, a_input.data(), a_input.size(),
                              a_eosfilecompression, work.data(), work.size(), nullptr) == OS_STS_SUCCESS);
  std::vector<uint8_t> exact(stream.begin(), stream.begin() + static_cast<long>(sizetStream)), back(a_input.size());
  size_t sizetBack = 0;
  Check(COsFileImpl::Decompress(back.data(), back.size(), &sizetBack, exact.data(), exact.size(), work.data(),
                                work.size()) == OS_STS_SUCCESS);
  Check(sizetBack == a_input.size() && back == a_input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  std::vector<uint8_t> stream(a_pu8Data, a_pu8Data + a_sizetData), work(s_sizetCompressBlock);
  // A capacity from the first byte, so that short outputs are tried too.
  size_t sizetCapacity = a_sizetData ? (static_cast<size_t>(a_pu8Data[0]) << 10) + a_pu8Data[0] : 0;
  std::vector<uint8_t> out(sizetCapacity);
  size_t sizetOut = 12345;
  EOSSTS eosstatus = COsFileImpl::Decompress(out.data(), out.size(), &sizetOut, stream.data(), stream.size(),
                                             work.data(), work.size());
  Check(eosstatus == OS_STS_SUCCESS ? sizetOut <= sizetCapacity : sizetOut == 0);
  if (a_sizetData) {
    RoundTrip(stream, OS_FILECOMPRESSION_BLOCKSORT);
    RoundTrip(stream, OS_FILECOMPRESSION_RUNLENGTH);
  }
  return 0;
}
