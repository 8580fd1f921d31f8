// Parse-and-walk speed of the XML reader beside pugixml and expat, on the two
// documents the driver sees most: a one-command task of about 256 bytes and a
// settings reply of about 235 KB (250 capabilities in 4 windows), and on a
// 10 MB reply of the same kind, also with a fresh reader each time. Every
// walker visits each element, reads its name, its properties and, for a leaf,
// its text, and counts what it saw so that the three can be checked alike.
#include <benchmark/benchmark.h>
#include <expat.h>

#include <cstring>
#include <pugixml.hpp>
#include <string>

#include "os_cosxml.h"
#include "os_cosxmltask.h"

namespace {

struct Tally {
  size_t sizetElements = 0;
  size_t sizetPropertyBytes = 0;
  size_t sizetTextBytes = 0;
  bool operator==(const Tally&) const = default;
};

// ---------------------------------------------------------------------------
// Documents, written by the task builder as the driver writes them.
// ---------------------------------------------------------------------------
std::string SmallTask() {
  COsXmlTask osxmltask("", 0);
  osxmltask.StartTask(42, 0, nullptr);
  osxmltask.StartCommand("getsettings", 1);
  osxmltask.AddArgument("window", 1);
  osxmltask.AddArgument("id", "xresolution");
  osxmltask.AddArgument("bin", "colorfront");
  osxmltask.AddArgument("access", "readwrite");
  osxmltask.AddArgument("session", "0000000000000001");
  osxmltask.FinalizeCommand("getsettings");
  osxmltask.FinalizeTask();
  return osxmltask.GetTaskBuffer();
}

std::string SettingsReply(int a_iWindows) {
  static const char* const s_aszAccess[] = {"readwrite", "readonly", "disabled", "hidden"};
  COsXmlTask osxmltask("", static_cast<size_t>(a_iWindows) * 96 * 1024);
  osxmltask.StartTask(43, 42, "success");
  osxmltask.StartCommand("reportsettings", 1);
  char szName[64];
  for (int iWindow = 1; iWindow <= a_iWindows; ++iWindow) {
    std::snprintf(szName, sizeof(szName), "window id='%d' cameras='4'", iWindow);
    osxmltask.StartCommand(szName, 2);
    for (int iCap = 0; iCap < 250; ++iCap) {
      std::snprintf(szName, sizeof(szName), "capability id='cap%03d' access='%s' bin='%d'", iCap,
                    s_aszAccess[iCap % 4], iCap % 6);
      osxmltask.StartCommand(szName, 3);
      osxmltask.AddArgument("current", iCap * 3);
      osxmltask.AddArgument("default", iCap * 2);
      osxmltask.AddArgument("min", 0);
      osxmltask.AddArgument("max", 1000 + iCap);
      osxmltask.AddArgument("step", 1);
      osxmltask.AddArgumentSafe("label", "Capability label <shown>");
      osxmltask.FinalizeCommand("capability");
    }
    osxmltask.FinalizeCommand("window");
  }
  osxmltask.FinalizeCommand("reportsettings");
  osxmltask.FinalizeTask();
  return osxmltask.GetTaskBuffer();
}

// 0: the task, 1: the reply, 2: a reply of 170 windows, about 10 MB.
const std::string& Document(int a_iWhich) {
  static const std::string s_strSmall = SmallTask();
  static const std::string s_strLarge = SettingsReply(4);
  static const std::string s_strHuge = SettingsReply(170);
  return a_iWhich == 0 ? s_strSmall : a_iWhich == 1 ? s_strLarge : s_strHuge;
}

// ---------------------------------------------------------------------------
// Our reader. It reads properties by name, as its callers do: each element
// is asked for the properties its kind carries.
const char* const* PropertiesOf(const char* a_szName) {
  static const char* const s_aszTask[] = {"id", "reply", "bytes", nullptr};
  static const char* const s_aszWindow[] = {"id", "cameras", nullptr};
  static const char* const s_aszCapability[] = {"id", "access", "bin", nullptr};
  static const char* const s_aszNone[] = {nullptr};
  if (std::strcmp(a_szName, "capability") == 0) return s_aszCapability;
  if (std::strcmp(a_szName, "window") == 0) return s_aszWindow;
  if (std::strcmp(a_szName, "task") == 0) return s_aszTask;
  return s_aszNone;
}

void WalkOurs(COsXml& a_osxml, Tally& a_tally, char* a_szBuffer, long a_lBuffer) {
  ++a_tally.sizetElements;
  a_osxml.NodeGetName(a_szBuffer, a_lBuffer);
  for (const char* const* pszProperty = PropertiesOf(a_szBuffer); *pszProperty; ++pszProperty) {
    if (a_osxml.NodeGetProperty(*pszProperty, a_szBuffer, a_lBuffer) == OS_STS_SUCCESS) {
      a_tally.sizetPropertyBytes += std::strlen(a_szBuffer);
    }
  }
  a_osxml.NodePush();
  if (a_osxml.NodeChild() == OS_STS_SUCCESS) {
    do {
      WalkOurs(a_osxml, a_tally, a_szBuffer, a_lBuffer);
    } while (a_osxml.NodeSibling() == OS_STS_SUCCESS);
  } else {
    a_osxml.NodePop();
    if (a_osxml.NodeGetContent(a_szBuffer, a_lBuffer) == OS_STS_SUCCESS) a_tally.sizetTextBytes += std::strlen(a_szBuffer);
    return;
  }
  a_osxml.NodePop();
}

Tally ParseOurs(COsXml& a_osxml, const std::string& a_str) {
  Tally tally;
  char szBuffer[256];
  if (a_osxml.DocumentLoad(a_str.data(), static_cast<long>(a_str.size())) != OS_STS_SUCCESS) return tally;
  WalkOurs(a_osxml, tally, szBuffer, sizeof(szBuffer));
  return tally;
}

// ---------------------------------------------------------------------------
// pugixml
// ---------------------------------------------------------------------------
void WalkPugi(const pugi::xml_node& a_node, Tally& a_tally) {
  ++a_tally.sizetElements;
  benchmark::DoNotOptimize(a_node.name());
  for (pugi::xml_attribute attribute : a_node.attributes()) a_tally.sizetPropertyBytes += std::strlen(attribute.value());
  bool blLeaf = true;
  for (pugi::xml_node child = a_node.first_child(); child; child = child.next_sibling()) {
    if (child.type() != pugi::node_element) continue;
    blLeaf = false;
    WalkPugi(child, a_tally);
  }
  if (blLeaf) a_tally.sizetTextBytes += std::strlen(a_node.child_value());
}

Tally ParsePugi(pugi::xml_document& a_doc, const std::string& a_str) {
  Tally tally;
  if (!a_doc.load_buffer(a_str.data(), a_str.size())) return tally;
  WalkPugi(a_doc.document_element(), tally);
  return tally;
}

// ---------------------------------------------------------------------------
// expat: the walk happens in its callbacks.
// ---------------------------------------------------------------------------
struct ExpatState {
  Tally tally;
  size_t sizetText = 0;   // text of the element being read
  bool blChildSeen = false;
};

void XMLCALL ExpatStart(void* a_pv, const XML_Char* a_szName, const XML_Char** a_aszAttributes) {
  auto* p = static_cast<ExpatState*>(a_pv);
  ++p->tally.sizetElements;
  benchmark::DoNotOptimize(a_szName);
  for (int i = 0; a_aszAttributes[i]; i += 2) p->tally.sizetPropertyBytes += std::strlen(a_aszAttributes[i + 1]);
  p->sizetText = 0;
  p->blChildSeen = false;
}

void XMLCALL ExpatEnd(void* a_pv, const XML_Char*) {
  auto* p = static_cast<ExpatState*>(a_pv);
  if (!p->blChildSeen) p->tally.sizetTextBytes += p->sizetText;
  p->sizetText = 0;
  p->blChildSeen = true;  // the parent has a child
}

void XMLCALL ExpatText(void* a_pv, const XML_Char*, int a_iLength) {
  static_cast<ExpatState*>(a_pv)->sizetText += static_cast<size_t>(a_iLength);
}

Tally ParseExpat(XML_Parser a_parser, const std::string& a_str) {
  ExpatState state;
  XML_ParserReset(a_parser, nullptr);
  XML_SetUserData(a_parser, &state);
  XML_SetElementHandler(a_parser, ExpatStart, ExpatEnd);
  XML_SetCharacterDataHandler(a_parser, ExpatText);
  if (XML_Parse(a_parser, a_str.data(), static_cast<int>(a_str.size()), 1) != XML_STATUS_OK) return Tally{};
  return state.tally;
}

// ---------------------------------------------------------------------------
// The three must see the same document before any of them is timed.
// ---------------------------------------------------------------------------
bool SameTallies(int a_iWhich, std::string& a_strWhy) {
  const std::string& str = Document(a_iWhich);
  COsXml osxml;
  pugi::xml_document doc;
  XML_Parser parser = XML_ParserCreate(nullptr);
  Tally tallyOurs = ParseOurs(osxml, str);
  Tally tallyPugi = ParsePugi(doc, str);
  Tally tallyExpat = ParseExpat(parser, str);
  XML_ParserFree(parser);
  a_strWhy = "elements " + std::to_string(tallyOurs.sizetElements) + "/" + std::to_string(tallyPugi.sizetElements) +
             "/" + std::to_string(tallyExpat.sizetElements) + " text " + std::to_string(tallyOurs.sizetTextBytes) +
             "/" + std::to_string(tallyPugi.sizetTextBytes) + "/" + std::to_string(tallyExpat.sizetTextBytes) +
             " properties " + std::to_string(tallyOurs.sizetPropertyBytes) + "/" +
             std::to_string(tallyPugi.sizetPropertyBytes) + "/" + std::to_string(tallyExpat.sizetPropertyBytes);
  return tallyOurs.sizetElements > 0 && tallyOurs == tallyPugi && tallyOurs == tallyExpat;
}

template <typename F>
void Run(benchmark::State& a_state, F a_fnParse) {
  const int iWhich = static_cast<int>(a_state.range(0));
  std::string strWhy;
  if (!SameTallies(iWhich, strWhy)) {
    a_state.SkipWithError(("walkers disagree: " + strWhy).c_str());
    return;
  }
  const std::string& str = Document(iWhich);
  for (auto _ : a_state) {
    Tally tally = a_fnParse(str);
    benchmark::DoNotOptimize(tally);
  }
  a_state.SetBytesProcessed(static_cast<int64_t>(a_state.iterations()) * static_cast<int64_t>(str.size()));
  a_state.SetLabel((iWhich == 0 ? "task " : "settings reply ") + std::to_string(str.size()) + " B");
}

void BM_ParseWalk_COsXml(benchmark::State& a_state) {
  COsXml osxml;
  Run(a_state, [&](const std::string& a_str) { return ParseOurs(osxml, a_str); });
}

// A new reader for every document: its buffers and atom array grow from
// nothing each time.
void BM_ParseWalk_COsXmlFresh(benchmark::State& a_state) {
  Run(a_state, [&](const std::string& a_str) {
    COsXml osxml;
    return ParseOurs(osxml, a_str);
  });
}

void BM_ParseWalk_Pugixml(benchmark::State& a_state) {
  pugi::xml_document doc;
  Run(a_state, [&](const std::string& a_str) { return ParsePugi(doc, a_str); });
}

void BM_ParseWalk_Expat(benchmark::State& a_state) {
  XML_Parser parser = XML_ParserCreate(nullptr);
  Run(a_state, [&](const std::string& a_str) { return ParseExpat(parser, a_str); });
  XML_ParserFree(parser);
}

BENCHMARK(BM_ParseWalk_COsXml)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_ParseWalk_COsXmlFresh)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_ParseWalk_Pugixml)->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(BM_ParseWalk_Expat)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
