// Template walks of the XML reader: the walk alone (handlers called with
// each element's name and content, nothing copied) and load plus walk, on a
// settings reply of 4 windows of 250 capabilities with 6 values each, beside
// a hand walk with the cursor that reads the same names and contents.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "os_cosxml.h"

namespace {

std::string SettingsReply() {
  std::string str = "<task id='1' reply='0'><reportsettings>";
  char sz[256];
  for (int iWindow = 1; iWindow <= 4; ++iWindow) {
    std::snprintf(sz, sizeof sz, "<window id='%d'>", iWindow);
    str += sz;
    for (int iCap = 0; iCap < 250; ++iCap) {
      std::snprintf(sz, sizeof sz,
                    "<capability id='cap%03d'><current>%d</current><default>%d</default><min>0</min>"
                    "<max>%d</max><step>1</step><label>Label</label></capability>",
                    iCap, iCap * 3, iCap * 2, 1000 + iCap);
      str += sz;
    }
    str += "</window>";
  }
  return str + "</reportsettings></task>";
}

// What a handler does with its element: count it and touch its texts.
struct Tally {
  size_t sizetElements = 0;
  size_t sizetBytes = 0;
};

class CBenchXml {
 public:
  static EOSSTS CBenchXml_Enter(OsXmlCallback* a_posxmlcallback) {
    auto* ptally = static_cast<Tally*>(a_posxmlcallback->pvArg);
    ++ptally->sizetElements;
    ptally->sizetBytes += std::strlen(a_posxmlcallback->szName) + std::strlen(a_posxmlcallback->szData);
    return OS_STS_SUCCESS;
  }
};

std::string Grammar() {
  static int s_iObject;
  char szCallback[64];
  std::snprintf(szCallback, sizeof szCallback, "0x%llx.0x%llx",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&s_iObject)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&CBenchXml::CBenchXml_Enter)));
  auto Element = [&](const char* a_szName, const std::string& a_strChildren) {
    return std::string("<") + a_szName + " enter='" + szCallback + "'>" + a_strChildren + "</" + a_szName + ">";
  };
  std::string strValues;
  for (const char* szName : {"current", "default", "min", "max", "step", "label"}) strValues += Element(szName, "");
  return Element("task", Element("reportsettings", Element("window", Element("capability", strValues))));
}

void HandWalk(COsXml& a_osxml, Tally& a_tally) {
  char szName[64];
  static std::vector<char> s_vecContent(1 << 20);
  a_osxml.NodeGetName(szName, sizeof szName);
  a_osxml.NodeGetContent(s_vecContent.data(), static_cast<long>(s_vecContent.size()));
  ++a_tally.sizetElements;
  a_tally.sizetBytes += std::strlen(szName) + std::strlen(s_vecContent.data());
  if (a_osxml.NodePush() != OS_STS_SUCCESS) return;
  if (a_osxml.NodeChild() == OS_STS_SUCCESS) {
    do {
      HandWalk(a_osxml, a_tally);
    } while (a_osxml.NodeSibling() == OS_STS_SUCCESS);
  }
  a_osxml.NodePop();
}

void BM_DispatchWalk(benchmark::State& a_state) {
  const std::string strDocument = SettingsReply();
  COsXml osxml;
  osxml.DispatchLoad(Grammar().c_str(), static_cast<void*>(nullptr));
  osxml.DocumentLoad(strDocument.c_str());
  Tally tally;
  for (auto _ : a_state) {
    tally = Tally();
    if (osxml.Dispatch(&tally) != OS_STS_SUCCESS) a_state.SkipWithError("Dispatch failed");
    benchmark::DoNotOptimize(tally);
  }
  a_state.counters["elements"] = static_cast<double>(tally.sizetElements);
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations() * tally.sizetElements));
}
BENCHMARK(BM_DispatchWalk);

void BM_DispatchLoadAndWalk(benchmark::State& a_state) {
  const std::string strDocument = SettingsReply();
  COsXml osxml;
  osxml.DispatchLoad(Grammar().c_str(), static_cast<void*>(nullptr));
  Tally tally;
  for (auto _ : a_state) {
    tally = Tally();
    if (osxml.DocumentLoadAndDispatch(strDocument.c_str(), &tally) != OS_STS_SUCCESS) {
      a_state.SkipWithError("DocumentLoadAndDispatch failed");
    }
    benchmark::DoNotOptimize(tally);
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations() * strDocument.size()));
}
BENCHMARK(BM_DispatchLoadAndWalk);

// The same visit by hand, copying each name and content out.
void BM_HandWalk(benchmark::State& a_state) {
  const std::string strDocument = SettingsReply();
  COsXml osxml;
  osxml.DocumentLoad(strDocument.c_str());
  Tally tally;
  for (auto _ : a_state) {
    tally = Tally();
    osxml.NodeRewind();
    HandWalk(osxml, tally);
    benchmark::DoNotOptimize(tally);
  }
  a_state.SetItemsProcessed(static_cast<int64_t>(a_state.iterations() * tally.sizetElements));
}
BENCHMARK(BM_HandWalk);

}  // namespace
