// Appended resources and entry points: opening a resource of a label
// table's size (only its pages are mapped, nothing is copied) and looking up
// entry points by plain and compiled names.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "bench_scratch.h"
#include "os_cosfile.h"
#include "os_cosresource.h"

namespace {

// Open, touch the first and last byte, close: a 512 KiB resource behind
// 1 MiB of content and nine other resources.
void BM_ResourceOpenClose(benchmark::State& a_state) {
  Scratch scratch;
  std::string strFile = scratch.Path("r.bin");
  COsFile osfile;
  osfile.Open(strFile.c_str(), OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_READWRITE);
  std::string strContent(1 << 20, 'c');
  osfile.Write(strContent.data(), strContent.size());
  osfile.Close();
  COsResource osresource;
  std::string strData(512 * 1024, 'd');
  for (int i = 0; i < 9; ++i) {
    osresource.Update(strFile.c_str(), ("R" + std::to_string(i)).c_str(), OS_RESOURCETYPE_DATA, 1000, strData.data());
  }
  osresource.Update(strFile.c_str(), "LABELS", OS_RESOURCETYPE_DATA, strData.size(), strData.data());
  for (auto _ : a_state) {
    if (osresource.Open(strFile.c_str(), "labels", OS_RESOURCETYPE_DATA) != OS_STS_SUCCESS) {
      a_state.SkipWithError("Open failed");
      break;
    }
    const char* pch = static_cast<const char*>(osresource.GetPointer());
    benchmark::DoNotOptimize(pch[0] + pch[osresource.GetSize() - 1]);
    osresource.Close();
  }
}
BENCHMARK(BM_ResourceOpenClose);

void BM_GetProc(benchmark::State& a_state) {
  COsFile osfile;
  Dl_info dlinfo{};
  dladdr(reinterpret_cast<void*>(&COsFile::PathAppendDll), &dlinfo);
  void* pvHandle = dlopen(dlinfo.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
  const bool blMangled = a_state.range(0) != 0;
  const char* szName = blMangled ? "COsFileImpl_Missing" : "DriverEntry";
  for (auto _ : a_state) {
    void* pv = osfile.SharedLibraryGetProc(szName, pvHandle, blMangled ? OS_FILEMANGLE_XMLCALLBACK : OS_FILEMANGLE_NONE);
    benchmark::DoNotOptimize(pv);
  }
  if (pvHandle) dlclose(pvHandle);
}
BENCHMARK(BM_GetProc)->Arg(0)->Arg(1);

}  // namespace
