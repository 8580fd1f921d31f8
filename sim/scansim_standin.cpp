// Stand-in of the scanner simulation library: SimulationCallback receives
// the bulk, image and control requests of a simulated device (pipe,
// command, data, the transferred count) and answers them; its prototype is
// ours, from what the device service hands over. SCANSIM_STANDIN_TRACE
// names a file that gets one line per request. Read pipes are filled with
// 0x5a bytes; a control request moves the length its setup packet asks for.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) int SimulationCallback(uint32_t a_u32Pipe, const void* a_pvCommand,
                                                                         uint64_t a_u64Command, void* a_pvData,
                                                                         uint64_t a_u64Data, uint64_t* a_pu64Done) {
  if (const char* szPath = std::getenv("SCANSIM_STANDIN_TRACE")) {
    if (FILE* pfile = std::fopen(szPath, "a")) {
      std::fprintf(pfile, "pipe=%u cmd=", a_u32Pipe);
      for (uint64_t i = 0; a_pvCommand && i < a_u64Command; ++i) {
        std::fprintf(pfile, "%02x", static_cast<const uint8_t*>(a_pvCommand)[i]);
      }
      std::fprintf(pfile, " data=%llu\n", static_cast<unsigned long long>(a_u64Data));
      std::fclose(pfile);
    }
  }
  uint64_t u64Done = a_u64Data;
  if (a_u32Pipe == 3 && a_pvCommand && a_u64Command == 8) {
    const uint8_t* pu8 = static_cast<const uint8_t*>(a_pvCommand);
    u64Done = static_cast<uint64_t>(pu8[6] | (pu8[7] << 8));
  }
  if ((a_u32Pipe == 1 || a_u32Pipe == 4 || a_u32Pipe == 5 || a_u32Pipe == 3) && a_pvData) {
    std::memset(a_pvData, 0x5a, u64Done);
  }
  if (a_pu64Done) *a_pu64Done = u64Done;
  return 0;
}
