// Stand-in of the sibling run-time library "pelum": one entry, PelumEntry,
// takes a task text and returns a reply text. Its reply to interfaceopen
// lists the functions it offers, each as a function name followed by the
// function's address in hexadecimal.
//
// For tests: PELUM_STANDIN_TRACE names a file to which every task is
// appended; PELUM_STANDIN_REPLY set to "empty", "null" or "long" makes the
// reply empty, null or longer than any reply buffer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string s_reply;

void Trace(const char* a_szTask) {
  const char* szTrace = std::getenv("PELUM_STANDIN_TRACE");
  if (!szTrace || !*szTrace) return;
  if (FILE* pfile = std::fopen(szTrace, "a")) {
    std::fprintf(pfile, "%s\n", a_szTask ? a_szTask : "(null)");
    std::fclose(pfile);
  }
}

}  // namespace

// The decompression function as the driver's image writer calls it: user
// argument, source file and its size, compression and pixel format (the
// driver's numbers), width and height, output file, output size. Copies the
// source to the output unchanged (the stand-in knows no compression) and
// reports its size; 0 on success. Each call is traced.
extern "C" __attribute__((visibility("default"))) int OsImageDecompress(void* a_pvUser, const char* a_szSource,
                                                                        uint32_t a_u32Size, uint32_t a_u32Compression,
                                                                        uint32_t a_u32Format, uint32_t a_u32Width,
                                                                        uint32_t a_u32Height, const char* a_szDestination,
                                                                        uint32_t* a_pu32Size) {
  (void)a_pvUser, (void)a_u32Size, (void)a_u32Compression, (void)a_u32Format, (void)a_u32Width, (void)a_u32Height;
  Trace((std::string("OsImageDecompress ") + (a_szSource ? a_szSource : "(null)")).c_str());
  if (!a_szSource || !a_szDestination) return 1;
  FILE* pfileIn = std::fopen(a_szSource, "rb");
  if (!pfileIn) return 1;
  FILE* pfileOut = std::fopen(a_szDestination, "wb");
  if (!pfileOut) {
    std::fclose(pfileIn);
    return 1;
  }
  uint64_t u64Total = 0;
  char ab[65536];
  for (size_t n; (n = std::fread(ab, 1, sizeof ab, pfileIn)) > 0; u64Total += n) {
    if (std::fwrite(ab, 1, n, pfileOut) != n) {
      std::fclose(pfileIn);
      std::fclose(pfileOut);
      return 1;
    }
  }
  std::fclose(pfileIn);
  const bool blClosed = std::fclose(pfileOut) == 0;
  if (u64Total > UINT32_MAX) return 1;
  if (a_pu32Size) *a_pu32Size = static_cast<uint32_t>(u64Total);
  return blClosed ? 0 : 1;
}

extern "C" __attribute__((visibility("default"))) const char* PelumEntry(const char* a_szTask) {
  Trace(a_szTask);
  const char* szMode = std::getenv("PELUM_STANDIN_REPLY");
  if (szMode && std::strcmp(szMode, "null") == 0) return nullptr;
  if (szMode && std::strcmp(szMode, "empty") == 0) return "";
  if (!a_szTask || !std::strstr(a_szTask, "<interfaceopen")) {
    s_reply = "<task>\n\t<reportstatus>\n\t\t<status>success</status>\n\t</reportstatus>\n</task>\n";
    return s_reply.c_str();
  }
  char szAddress[32];
  std::snprintf(szAddress, sizeof szAddress, "%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&OsImageDecompress)));
  s_reply = "<task id='1' reply='1'>\n\t<reportstatus>\n\t\t<status>success</status>\n\t</reportstatus>\n"
            "\t<reportfunctions>\n\t\t<functionname>OsImageDecompress</functionname>\n\t\t<functionptr>";
  s_reply += szAddress;
  s_reply += "</functionptr>\n\t</reportfunctions>\n";
  if (szMode && std::strcmp(szMode, "long") == 0) s_reply += std::string(5000, ' ');
  s_reply += "</task>\n";
  return s_reply.c_str();
}
