// Template dispatch of the XML reader: the sequence of handler calls for a
// table of documents, what each call is handed, stopping the walk, the
// object map, handlers by name in the program, in a library and in the
// library's own image, by address, and bad templates and walks.
//
// The handlers are static members of the probe class below, defined out of
// line so that they exist as symbols; the test program exports them.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "os_coscfg.h"
#include "os_cosxml.h"
#include "log_capture.h"
#include "test_support.h"

using testsupport::LogCapture;

// Each handler records "<tag>.<kind> <name> <depth>" into the trace that
// the walk's argument points at.
using Trace = std::vector<std::string>;

class CXmlDispatchProbe {
 public:
  explicit CXmlDispatchProbe(const char* a_szTag) : m_strTag(a_szTag) {}

  static EOSSTS CXmlDispatchProbe_Enter(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Exit(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Unknown(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Unordered(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Stop(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Data(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Children(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Wander(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Reload(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Reenter(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CXmlDispatchProbe_Throw(OsXmlCallback* a_posxmlcallback);

  EOSSTS Record(const char* a_szKind, OsXmlCallback* a_posxmlcallback, EOSSTS a_eossts = OS_STS_SUCCESS) {
    static_cast<Trace*>(a_posxmlcallback->pvArg)
        ->push_back(m_strTag + "." + a_szKind + " " + a_posxmlcallback->szName + " " +
                    std::to_string(a_posxmlcallback->lDepth));
    return a_eossts;
  }

 private:
  std::string m_strTag;
};

namespace {
CXmlDispatchProbe* Probe(OsXmlCallback* a_posxmlcallback) {
  return static_cast<CXmlDispatchProbe*>(a_posxmlcallback->pvObject);
}
Trace* TraceOf(OsXmlCallback* a_posxmlcallback) { return static_cast<Trace*>(a_posxmlcallback->pvArg); }
}  // namespace

EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Enter(OsXmlCallback* a_p) { return Probe(a_p)->Record("enter", a_p); }
EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Exit(OsXmlCallback* a_p) { return Probe(a_p)->Record("exit", a_p); }
EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Unknown(OsXmlCallback* a_p) { return Probe(a_p)->Record("unknown", a_p); }
EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Unordered(OsXmlCallback* a_p) {
  return Probe(a_p)->Record("unordered", a_p);
}
EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Stop(OsXmlCallback* a_p) {
  return Probe(a_p)->Record("stop", a_p, OS_STS_NOROOM_BUFFER);
}

// Name, content, the element's id property read through the reader, and
// the user value.
EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Data(OsXmlCallback* a_p) {
  char szId[32] = "-";
  a_p->posxml->NodeGetProperty("id", szId, sizeof szId);
  char szNameArg[32];
  std::snprintf(szNameArg, sizeof szNameArg, "%p", a_p->pvNameArg);
  TraceOf(a_p)->push_back(std::string(a_p->szName) + " [" + a_p->szData + "] id=" + szId + " user=" + szNameArg);
  return OS_STS_SUCCESS;
}

// Walks the element's children with the cursor and puts it back.
EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Children(OsXmlCallback* a_p) {
  COsXml* posxml = a_p->posxml;
  std::string str = std::string(a_p->szName) + ":";
  if (posxml->NodePush() != OS_STS_SUCCESS) return OS_STS_FAIL;
  if (posxml->NodeChild() == OS_STS_SUCCESS) {
    do {
      char szName[64];
      posxml->NodeGetName(szName, sizeof szName);
      str += std::string(" ") + szName;
    } while (posxml->NodeSibling() == OS_STS_SUCCESS);
  }
  posxml->NodePop();
  TraceOf(a_p)->push_back(str);
  return OS_STS_SUCCESS;
}

EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Wander(OsXmlCallback* a_p) {
  Probe(a_p)->Record("wander", a_p);
  a_p->posxml->NodeChild();  // and does not come back
  return OS_STS_SUCCESS;
}

EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Reload(OsXmlCallback* a_p) {
  Probe(a_p)->Record("reload", a_p);
  return a_p->posxml->DocumentLoad("<other><x/></other>");
}

// Tries to walk again and to drop the template from inside the walk.
EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Reenter(OsXmlCallback* a_p) {
  const EOSSTS eosstsDispatch = a_p->posxml->Dispatch(a_p->pvArg);
  const EOSSTS eosstsLoad = a_p->posxml->DispatchLoad("<task enter='this.Enter'/>", static_cast<void*>(nullptr));
  const EOSSTS eosstsFree = a_p->posxml->DispatchFree();
  TraceOf(a_p)->push_back("reenter " + std::to_string(eosstsDispatch) + " " + std::to_string(eosstsLoad) + " " +
                          std::to_string(eosstsFree));
  return OS_STS_SUCCESS;
}

EOSSTS CXmlDispatchProbe::CXmlDispatchProbe_Throw(OsXmlCallback* a_p) {
  Probe(a_p)->Record("throw", a_p);
  throw std::runtime_error("handler failed");
}

namespace {

// Handlers of the test program: found through the program's own handle.
void* Program() { return dlopen(nullptr, RTLD_LAZY); }

std::string Joined(const Trace& a_trace) {
  std::string str;
  for (const std::string& strLine : a_trace) str += strLine + "\n";
  return str;
}

std::string Content(COsXml& a_osxml) {
  char sz[1024];
  return a_osxml.NodeGetContent(sz, sizeof sz) == OS_STS_SUCCESS ? sz : "<fail>";
}

// A reader with the probes "this" and "other" registered.
class XmlDispatch : public ::testing::Test {
 protected:
  XmlDispatch() {
    EXPECT_EQ(m_osxml.DispatchAddObject("this", "CXmlDispatchProbe", &m_probeThis), OS_STS_SUCCESS);
    EXPECT_EQ(m_osxml.DispatchAddObject("other", "CXmlDispatchProbe", &m_probeOther), OS_STS_SUCCESS);
  }

  EOSSTS Load(const std::string& a_strTemplate) { return m_osxml.DispatchLoad(a_strTemplate.c_str(), Program()); }

  // Loads and walks a document; the trace of the calls.
  Trace Walk(const char* a_szDocument, EOSSTS* a_peossts = nullptr) {
    Trace trace;
    EOSSTS eossts = m_osxml.DocumentLoadAndDispatch(a_szDocument, &trace);
    if (a_peossts) *a_peossts = eossts;
    return trace;
  }

  CXmlDispatchProbe m_probeThis{"this"};
  CXmlDispatchProbe m_probeOther{"other"};
  COsXml m_osxml;
};

// The grammar of the walk table: elements with and without handlers, one
// without children of its own (leaf, with its own unknown), and one with
// neither enter nor exit (quiet).
const char* const s_szGrammar =
    "<task enter='this.Enter' exit='this.Exit' unknown='this.Unknown' unordered='this.Unordered'>\n"
    "\t<a enter='this.Enter' exit='this.Exit'>\n"
    "\t\t<x enter='this.Enter' exit='this.Exit'/>\n"
    "\t</a>\n"
    "\t<b enter='this.Enter' exit='this.Exit'/>\n"
    "\t<c enter='this.Enter'/>\n"
    "\t<quiet>\n"
    "\t\t<inner enter='this.Enter' exit='this.Exit'/>\n"
    "\t</quiet>\n"
    "\t<leaf enter='this.Enter' exit='this.Exit' unknown='other.Unknown'/>\n"
    "</task>\n";

struct WalkCase {
  const char* szName;
  const char* szDocument;
  Trace trace;
};
void PrintTo(const WalkCase& a_walkcase, std::ostream* a_postream) { *a_postream << a_walkcase.szName; }

const WalkCase s_awalkcase[] = {
    {"InOrder",
     "<task><a/><b/><c/></task>",
     {"this.enter task 0", "this.enter a 1", "this.exit a 1", "this.enter b 1", "this.exit b 1", "this.enter c 1",
      "this.exit task 0"}},
    {"EmptyRoot", "<task/>", {"this.enter task 0", "this.exit task 0"}},
    // b skips ahead of the expected a.
    {"SkipsAhead",
     "<task><b/></task>",
     {"this.enter task 0", "this.unordered b 1", "this.enter b 1", "this.exit b 1", "this.exit task 0"}},
    // zz is reported, its children are not visited; it takes the place of
    // the expected b, so that b comes out of order.
    {"UnknownChild",
     "<task><a/><zz><a/></zz><b/></task>",
     {"this.enter task 0", "this.enter a 1", "this.exit a 1", "this.unknown zz 1", "this.unordered b 1",
      "this.enter b 1", "this.exit b 1", "this.exit task 0"}},
    {"RootMismatch", "<job><a/><b/></job>", {"this.unknown job 0"}},
    // y is unknown below a: a's unknown is inherited from task.
    {"NestedUnknown",
     "<task><a><y/><x>1</x></a></task>",
     {"this.enter task 0", "this.enter a 1", "this.unknown y 2", "this.enter x 2", "this.exit x 2", "this.exit a 1",
      "this.exit task 0"}},
    // leaf has no template children: each child goes to leaf's own unknown
    // (the grandchild r is not visited), then leaf's exit.
    {"LeafWithChildren",
     "<task><leaf><p/><q><r/></q></leaf></task>",
     {"this.enter task 0", "this.unordered leaf 1", "this.enter leaf 1", "other.unknown p 2", "other.unknown q 2",
      "this.exit leaf 1", "this.exit task 0"}},
    // quiet is walked silently, its children still matched; its unknown
    // comes down from task.
    {"SilentElement",
     "<task><quiet><inner/><zz/></quiet></task>",
     {"this.enter task 0", "this.unordered quiet 1", "this.enter inner 2", "this.exit inner 2", "this.unknown zz 2",
      "this.exit task 0"}},
    // A template child may come again: the repeat costs one unordered call.
    {"Repeated",
     "<task><a/><a/></task>",
     {"this.enter task 0", "this.enter a 1", "this.exit a 1", "this.unordered a 1", "this.enter a 1",
      "this.exit a 1", "this.exit task 0"}},
    // Wrapping: after leaf, the expected element is a again.
    {"WrapsToFirst",
     "<task><leaf/><a/></task>",
     {"this.enter task 0", "this.unordered leaf 1", "this.enter leaf 1", "this.exit leaf 1", "this.enter a 1",
      "this.exit a 1", "this.exit task 0"}},
    // Text, processing instructions and CDATA between elements are no
    // elements.
    {"TextBetween",
     "<?xml version='1.0'?>\n<task>\n\ttext<a>\n\t\t<x><![CDATA[<b/>]]></x>\n\t</a>\n</task>\n",
     {"this.enter task 0", "this.enter a 1", "this.enter x 2", "this.exit x 2", "this.exit a 1",
      "this.exit task 0"}},
};

class XmlDispatchWalk : public XmlDispatch, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(XmlDispatchWalk, CallsHandlersInDocumentOrder) {
  ASSERT_EQ(Load(s_szGrammar), OS_STS_SUCCESS);
  EOSSTS eossts;
  Trace trace = Walk(GetParam().szDocument, &eossts);
  EXPECT_EQ(eossts, OS_STS_SUCCESS);
  EXPECT_EQ(Joined(trace), Joined(GetParam().trace));

  // The walk leaves the cursor and the document as they were: a second walk
  // of the same document makes the same calls.
  const std::string strContent = Content(m_osxml);
  Trace traceAgain;
  EXPECT_EQ(m_osxml.Dispatch(&traceAgain), OS_STS_SUCCESS);
  EXPECT_EQ(Joined(traceAgain), Joined(GetParam().trace));
  EXPECT_EQ(m_osxml.NodeGetDepth(), 0);
  EXPECT_EQ(Content(m_osxml), strContent);
}

INSTANTIATE_TEST_SUITE_P(Documents, XmlDispatchWalk, ::testing::ValuesIn(s_awalkcase),
                         [](const ::testing::TestParamInfo<WalkCase>& a_info) { return a_info.param.szName; });

TEST_F(XmlDispatch, HandsNameContentPropertiesAndUserValue) {
  LogCapture logcapture;
  ASSERT_EQ(Load("<task user='0x63' enter='this.Data'>"
                 "<b user='CXmlDispatchProbe_Enter' enter='this.Data' exit='this.Data'/>"
                 "<c user='Nope_Missing' enter='this.Data'/>"
                 "<d user='0X1f' enter='this.Children'/>"
                 "</task>"),
            OS_STS_SUCCESS);
  // A user name that is not found is null, with the look-up's message only.
  EXPECT_TRUE(logcapture.Contains("dlsym failed...<_ZN4Nope12Nope_MissingEP13OsXmlCallback>"));

  char szEnter[32];
  std::snprintf(szEnter, sizeof szEnter, "%p", reinterpret_cast<void*>(&CXmlDispatchProbe::CXmlDispatchProbe_Enter));
  char szNull[32];
  std::snprintf(szNull, sizeof szNull, "%p", static_cast<void*>(nullptr));
  const char* const szDocument = "<task id='7'>text<b id='8'><![CDATA[x<y]]></b><c/><d><e/><f>z</f></d></task>";
  Trace trace = Walk(szDocument);
  EXPECT_EQ(Joined(trace), Joined({"task [text<b id='8'><![CDATA[x<y]]></b><c/><d><e/><f>z</f></d>] id=7 user=0x63",
                                   std::string("b [x<y] id=8 user=") + szEnter,
                                   std::string("b [x<y] id=8 user=") + szEnter,
                                   std::string("c [] id=- user=") + szNull,
                                   "d: e f"}));
  // The terminators are gone again.
  EXPECT_EQ(Content(m_osxml), "text<b id='8'><![CDATA[x<y]]></b><c/><d><e/><f>z</f></d>");
}

// The walk's argument reaches every call, the other record fields too.
TEST_F(XmlDispatch, DocumentLoadAndDispatchWithLength) {
  ASSERT_EQ(Load(s_szGrammar), OS_STS_SUCCESS);
  const std::string strDocument = "<task><b/></task><task><a/></task>";
  Trace trace;
  EXPECT_EQ(m_osxml.DocumentLoadAndDispatch(strDocument.c_str(), 17, &trace), OS_STS_SUCCESS);
  EXPECT_EQ(Joined(trace),
            Joined({"this.enter task 0", "this.unordered b 1", "this.enter b 1", "this.exit b 1", "this.exit task 0"}));
  // A document the reader refuses is not walked; its status comes back.
  trace.clear();
  EXPECT_EQ(m_osxml.DocumentLoadAndDispatch("<task><a></task>", &trace), OS_STS_FAIL);
  EXPECT_TRUE(trace.empty());
}

// A handler answering non-zero ends the walk at once with its status, in
// each place a handler is called from.
struct StopCase {
  const char* szName;
  const char* szGrammar;
  const char* szDocument;
  Trace trace;
};
void PrintTo(const StopCase& a_stopcase, std::ostream* a_postream) { *a_postream << a_stopcase.szName; }

const StopCase s_astopcase[] = {
    {"Enter",
     "<task enter='this.Enter' exit='this.Exit'><a enter='this.Enter' exit='this.Exit'/>"
     "<b enter='this.Stop' exit='this.Exit'/></task>",
     "<task><a/><b/><a/></task>",
     {"this.enter task 0", "this.enter a 1", "this.exit a 1", "this.stop b 1"}},
    {"Exit",
     "<task enter='this.Enter' exit='this.Stop'><a enter='this.Enter' exit='this.Exit'/></task>",
     "<task><a/></task>",
     {"this.enter task 0", "this.enter a 1", "this.exit a 1", "this.stop task 0"}},
    {"Unknown",
     "<task enter='this.Enter' exit='this.Exit' unknown='this.Stop'><a enter='this.Enter' exit='this.Exit'/></task>",
     "<task><zz/><a/></task>",
     {"this.enter task 0", "this.stop zz 1"}},
    {"UnknownOfALeaf",
     "<task enter='this.Enter' exit='this.Exit' unknown='this.Stop'/>",
     "<task><p/><q/></task>",
     {"this.enter task 0", "this.stop p 1"}},
    {"Unordered",
     "<task enter='this.Enter' exit='this.Exit' unordered='this.Stop'><a enter='this.Enter'/><b enter='this.Enter'/>"
     "</task>",
     "<task><b/><a/></task>",
     {"this.enter task 0", "this.stop b 1"}},
};

class XmlDispatchStop : public XmlDispatch, public ::testing::WithParamInterface<StopCase> {};

TEST_P(XmlDispatchStop, FirstNonZeroStatusEndsTheWalk) {
  ASSERT_EQ(Load(GetParam().szGrammar), OS_STS_SUCCESS);
  EOSSTS eossts;
  Trace trace = Walk(GetParam().szDocument, &eossts);
  EXPECT_EQ(eossts, OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(Joined(trace), Joined(GetParam().trace));
  // The cursor is back at the start element: the document walks again.
  EXPECT_EQ(m_osxml.NodeGetDepth(), 0);
  Trace traceAgain;
  EXPECT_EQ(m_osxml.Dispatch(&traceAgain), OS_STS_NOROOM_BUFFER);
  EXPECT_EQ(Joined(traceAgain), Joined(GetParam().trace));
}

INSTANTIATE_TEST_SUITE_P(Places, XmlDispatchStop, ::testing::ValuesIn(s_astopcase),
                         [](const ::testing::TestParamInfo<StopCase>& a_info) { return a_info.param.szName; });

// 64 levels, the most a document holds: the walk needs no stack room beyond
// the elements' own levels.
TEST_F(XmlDispatch, WalksTheDeepestDocument) {
  std::string strGrammar, strDocument;
  for (int i = 0; i < 64; ++i) {
    strGrammar += "<e" + std::to_string(i) + " enter='this.Enter' exit='this.Exit'>";
    strDocument += "<e" + std::to_string(i) + ">";
  }
  for (int i = 63; i >= 0; --i) {
    strGrammar += "</e" + std::to_string(i) + ">";
    strDocument += "</e" + std::to_string(i) + ">";
  }
  ASSERT_EQ(Load(strGrammar), OS_STS_SUCCESS);
  EOSSTS eossts;
  Trace trace = Walk(strDocument.c_str(), &eossts);
  EXPECT_EQ(eossts, OS_STS_SUCCESS);
  ASSERT_EQ(trace.size(), 128u);
  EXPECT_EQ(trace[63], "this.enter e63 63");
  EXPECT_EQ(trace[64], "this.exit e63 63");
  EXPECT_EQ(trace[127], "this.exit e0 0");
}

TEST_F(XmlDispatch, ThreeHundredObjectsGrowTheMapOnce) {
  LogCapture logcapture;
  std::vector<std::string> vecName;
  for (int i = 0; i < 300; ++i) vecName.push_back("o" + std::to_string(i));
  std::vector<CXmlDispatchProbe> vecProbe;
  vecProbe.reserve(300);
  for (int i = 0; i < 300; ++i) {
    vecProbe.emplace_back(vecName[i].c_str());
    ASSERT_EQ(m_osxml.DispatchAddObject(vecName[i].c_str(), "CXmlDispatchProbe", &vecProbe.back()), OS_STS_SUCCESS);
  }
  const std::string strLog = logcapture.Text();
  EXPECT_NE(strLog.find("xml>>> growing the dispatch object map...256 -> 512"), std::string::npos);
  EXPECT_EQ(strLog.find("growing the dispatch object map"), strLog.rfind("growing the dispatch object map"));

  ASSERT_EQ(Load("<task enter='o0.Enter' exit='o299.Exit'><a enter='o253.Enter' exit='this.Exit'/></task>"),
            OS_STS_SUCCESS);
  EXPECT_EQ(Joined(Walk("<task><a/></task>")),
            Joined({"o0.enter task 0", "o253.enter a 1", "this.exit a 1", "o299.exit task 0"}));
}

TEST_F(XmlDispatch, SameNameTwiceFindsTheFirst) {
  CXmlDispatchProbe probeSecond("second");
  ASSERT_EQ(m_osxml.DispatchAddObject("this", "CXmlDispatchProbe", &probeSecond), OS_STS_SUCCESS);
  ASSERT_EQ(Load("<task enter='this.Enter'/>"), OS_STS_SUCCESS);
  EXPECT_EQ(Joined(Walk("<task/>")), Joined({"this.enter task 0"}));
}

TEST(XmlDispatchObjects, RefusesEmptyArguments) {
  LogCapture logcapture;
  COsXml osxml;
  int i = 0;
  EXPECT_EQ(osxml.DispatchAddObject(nullptr, "C", &i), OS_STS_FAIL);
  EXPECT_EQ(osxml.DispatchAddObject("", "C", &i), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("a_szObjectName is null or empty..."));
  EXPECT_EQ(osxml.DispatchAddObject("o", nullptr, &i), OS_STS_FAIL);
  EXPECT_EQ(osxml.DispatchAddObject("o", "", &i), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("a_szClassName is null or empty..."));
  EXPECT_EQ(osxml.DispatchAddObject("o", "C", nullptr), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("a_pvDispatchObj is null..."));
}

// Handlers in a library given by handle: the stand-in library's members,
// with and without a namespace; they answer their own status.
TEST(XmlDispatchLibrary, FindsHandlersInTheGivenLibrary) {
  void* pvLibrary = dlopen(SCANDRV_STANDIN_LIBRARY, RTLD_LAZY);
  ASSERT_NE(pvLibrary, nullptr);
  int iObject = 0;
  COsXml osxml;
  ASSERT_EQ(osxml.DispatchAddObject("this", "CStandinXml", &iObject), OS_STS_SUCCESS);
  ASSERT_EQ(osxml.DispatchAddObject("ns", "standin::CNsXml", &iObject), OS_STS_SUCCESS);
  ASSERT_EQ(osxml.DispatchLoad("<task><a enter='this.Enter_Task_Part'/><b exit='ns.Exit_Deep_Name'/></task>", pvLibrary),
            OS_STS_SUCCESS);
  EXPECT_EQ(osxml.DocumentLoadAndDispatch("<task><a/></task>", nullptr), 2);
  EXPECT_EQ(osxml.DocumentLoadAndDispatch("<task><b/></task>", nullptr), 3);
  dlclose(pvLibrary);
}

// Without a handle the handlers are looked up in the library's own image:
// not in the program, not in another library.
TEST(XmlDispatchLibrary, DefaultLooksInTheLibrarysOwnImage) {
  void* pvOwn = dlopen(SCANDRV_LIBRARY_PATH, RTLD_LAZY | RTLD_NOLOAD);
  ASSERT_NE(pvOwn, nullptr);
  EXPECT_EQ(COsCfg::GetHmodule(), pvOwn);
  dlclose(pvOwn);

  LogCapture logcapture;
  CXmlDispatchProbe probe("this");
  COsXml osxml;
  ASSERT_EQ(osxml.DispatchAddObject("this", "CXmlDispatchProbe", &probe), OS_STS_SUCCESS);
  const char* const szGrammar = "<task enter='this.Enter'/>";
  EXPECT_EQ(osxml.DispatchLoad(szGrammar), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("dlsym failed...<_ZN17CXmlDispatchProbe23CXmlDispatchProbe_EnterEP13OsXmlCallback>"));
  EXPECT_EQ(osxml.DispatchLoad(szGrammar, static_cast<long>(std::strlen(szGrammar))), OS_STS_FAIL);
  EXPECT_EQ(osxml.DispatchLoad(szGrammar, Program()), OS_STS_SUCCESS);
}

// Objects and functions by address; a function part after an address is
// looked up unchanged.
TEST_F(XmlDispatch, ObjectsAndFunctionsByAddress) {
  char szGrammar[256];
  std::snprintf(szGrammar, sizeof szGrammar, "<task enter='0x%llx.0X%llx' exit='0X%llx.CXmlDispatchProbe_Exit'/>",
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&m_probeOther)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&CXmlDispatchProbe::CXmlDispatchProbe_Enter)),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&m_probeThis)));
  ASSERT_EQ(Load(szGrammar), OS_STS_SUCCESS);
  EXPECT_EQ(Joined(Walk("<task/>")), Joined({"other.enter task 0", "this.exit task 0"}));
}

// Templates that do not bind: the status, the message, and no walk after.
struct BindCase {
  const char* szName;
  std::string strGrammar;
  std::vector<std::string> vecLog;
};

const std::string s_strLongObject(121, 'o');  // with ".Enter", 127 characters

std::vector<BindCase> BindCases() {
  return {
      {"NoDot", "<task enter='EnterTask'/>", {"callback property must be 'object.function'..."}},
      {"Unregistered",
       "<task><a exit='that.Exit'/></task>",
       {"could not find <that> in object list. Declare objects in DispatchAddObject() before calling DispatchLoad()"}},
      {"NamesAreCaseSensitive", "<task enter='This.Enter'/>", {"could not find <This> in object list."}},
      {"MissingHandler",
       "<task enter='this.Enter'><a unordered='this.Nope'/></task>",
       {"dlsym failed...<_ZN17CXmlDispatchProbe22CXmlDispatchProbe_NopeEP13OsXmlCallback>",
        "callback function <CXmlDispatchProbe_Nope> evaluates to NULL"}},
      {"NullObject", "<task enter='0x0.Enter'/>", {"object <0x0> evaluates to NULL "}},
      {"NullFunction", "<task enter='this.0x0'/>", {"callback function <0x0> evaluates to NULL"}},
      {"ValueAtTheLimit",
       "<task enter='" + s_strLongObject + "o.Enter'/>",
       {"xml>>> template property is too long (127 characters at most)...<enter> of <task>"}},
      {"UserAtTheLimit",
       "<task user='0x" + std::string(126, '1') + "'/>",
       {"xml>>> template property is too long (127 characters at most)...<user> of <task>"}},
      {"BadTemplate", "<task enter='this.Enter'>", {"DocumentLoad failed..."}},
  };
}

TEST_F(XmlDispatch, RefusesTemplatesThatDoNotBind) {
  for (const BindCase& bindcase : BindCases()) {
    SCOPED_TRACE(bindcase.szName);
    std::filesystem::remove(testsupport::RootPath("log/test.log"));
    LogCapture logcapture;
    EXPECT_EQ(Load(bindcase.strGrammar), OS_STS_FAIL);
    for (const std::string& strLine : bindcase.vecLog) EXPECT_TRUE(logcapture.Contains(strLine)) << strLine;
    // A template that did not bind completely is never walked.
    Trace trace;
    ASSERT_EQ(m_osxml.DocumentLoad("<task><a/></task>"), OS_STS_SUCCESS);
    EXPECT_EQ(m_osxml.Dispatch(&trace), OS_STS_FAIL);
    EXPECT_TRUE(logcapture.Contains("Must call DispatchLoad first..."));
    EXPECT_TRUE(trace.empty());
  }
}

// 127 characters is the longest value a property may hold.
TEST_F(XmlDispatch, BindsValuesUpToTheLimit) {
  CXmlDispatchProbe probe("long");
  ASSERT_EQ(m_osxml.DispatchAddObject(s_strLongObject.c_str(), "CXmlDispatchProbe", &probe), OS_STS_SUCCESS);
  ASSERT_EQ(Load("<task enter='" + s_strLongObject + ".Enter' user='0x" + std::string(124, '0') + "7'/>"),
            OS_STS_SUCCESS);
  EXPECT_EQ(Joined(Walk("<task/>")), Joined({"long.enter task 0"}));
}

// A handler name that does not fit its 512 characters is not looked up.
TEST_F(XmlDispatch, RefusesAHandlerNameTooLong) {
  LogCapture logcapture;
  const std::string strClass(600, 'C');
  ASSERT_EQ(m_osxml.DispatchAddObject("big", strClass.c_str(), &m_probeThis), OS_STS_SUCCESS);
  EXPECT_EQ(Load("<task enter='big.Enter'/>"), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("callback function <CCCC"));
  EXPECT_FALSE(logcapture.Contains("dlsym failed"));
}

TEST(XmlDispatchObjects, NeedsObjectsBeforeBinding) {
  LogCapture logcapture;
  COsXml osxml;
  EXPECT_EQ(osxml.DispatchLoad("<task enter='this.EnterTask'/>", Program()), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Must call DispatchAddObject first (null list)..."));
  EXPECT_EQ(osxml.DispatchLoad(nullptr), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("a_szTemplate is null..."));
  EXPECT_EQ(osxml.DispatchLoad(nullptr, 20L), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("a_szTemplate is NULL..."));
}

TEST_F(XmlDispatch, TemplateWithoutPropertiesBindsAndWalksSilently) {
  LogCapture logcapture;
  ASSERT_EQ(Load("<task><a/></task>"), OS_STS_SUCCESS);
  EXPECT_TRUE(logcapture.Contains("xml>>> we overflowed our callback array..."));
  EOSSTS eossts;
  EXPECT_TRUE(Walk("<task><a/><zz/></task>", &eossts).empty());
  EXPECT_EQ(eossts, OS_STS_SUCCESS);
}

TEST_F(XmlDispatch, WalkNeedsATemplateAndADocument) {
  LogCapture logcapture;
  Trace trace;
  ASSERT_EQ(m_osxml.DocumentLoad("<task/>"), OS_STS_SUCCESS);
  EXPECT_EQ(m_osxml.Dispatch(&trace), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Must call DispatchLoad first..."));

  ASSERT_EQ(Load("<task enter='this.Enter'/>"), OS_STS_SUCCESS);
  m_osxml.DocumentFree();
  EXPECT_EQ(m_osxml.Dispatch(&trace), OS_STS_FAIL);  // state free

  // Loaded once, then a load that failed: the state says loaded, nothing is.
  ASSERT_EQ(m_osxml.DocumentLoad("<task/>"), OS_STS_SUCCESS);
  ASSERT_EQ(m_osxml.DocumentLoad("<task><a></task>"), OS_STS_FAIL);
  EXPECT_EQ(m_osxml.Dispatch(&trace), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Must call COsXmlImpl::DocumentLoad first..."));
  EXPECT_TRUE(trace.empty());
}

// DispatchFree drops the template and the objects: both must come again.
TEST_F(XmlDispatch, FreeDropsTemplateAndObjects) {
  LogCapture logcapture;
  ASSERT_EQ(Load("<task enter='this.Enter'/>"), OS_STS_SUCCESS);
  EXPECT_EQ(m_osxml.DispatchFree(), OS_STS_SUCCESS);
  Trace trace;
  ASSERT_EQ(m_osxml.DocumentLoad("<task/>"), OS_STS_SUCCESS);
  EXPECT_EQ(m_osxml.Dispatch(&trace), OS_STS_FAIL);
  EXPECT_EQ(Load("<task enter='this.Enter'/>"), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("Must call DispatchAddObject first (null list)..."));

  ASSERT_EQ(m_osxml.DispatchAddObject("this", "CXmlDispatchProbe", &m_probeThis), OS_STS_SUCCESS);
  ASSERT_EQ(Load("<task exit='this.Exit'/>"), OS_STS_SUCCESS);
  EXPECT_EQ(Joined(Walk("<task/>")), Joined({"this.exit task 0"}));
  EXPECT_EQ(m_osxml.DispatchFree(), OS_STS_SUCCESS);
  EXPECT_EQ(m_osxml.DispatchFree(), OS_STS_SUCCESS);
}

// A new template replaces the old one.
TEST_F(XmlDispatch, LoadReplacesTheTemplate) {
  ASSERT_EQ(Load("<task enter='this.Enter'/>"), OS_STS_SUCCESS);
  ASSERT_EQ(Load("<job exit='other.Exit'/>"), OS_STS_SUCCESS);
  EXPECT_EQ(Joined(Walk("<task/>")), Joined({}));
  EXPECT_EQ(Joined(Walk("<job></job>")), Joined({"other.exit job 0"}));
}

// Handlers that break the rules of the walk: moving the cursor, replacing
// the document, walking or dropping the template from inside, throwing.
TEST_F(XmlDispatch, HandlersThatBreakTheRules) {
  LogCapture logcapture;
  ASSERT_EQ(Load("<task enter='this.Enter'><a enter='this.Wander'/><b enter='this.Reload'/>"
                 "<c enter='this.Reenter' exit='this.Exit'/><d enter='this.Throw'/></task>"),
            OS_STS_SUCCESS);
  EOSSTS eossts;
  EXPECT_EQ(Joined(Walk("<task><a><x/></a><c/></task>", &eossts)), Joined({"this.enter task 0", "this.wander a 1"}));
  EXPECT_EQ(eossts, OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("xml>>> a callback moved the document cursor or replaced the document..."));

  EXPECT_EQ(Joined(Walk("<task><b/><c/></task>", &eossts)), Joined({"this.enter task 0", "this.reload b 1"}));
  EXPECT_EQ(eossts, OS_STS_FAIL);

  // The walk goes on after the refused calls.
  EXPECT_EQ(Joined(Walk("<task><c/></task>", &eossts)),
            Joined({"this.enter task 0", "reenter 1 1 1", "this.exit c 1"}));
  EXPECT_EQ(eossts, OS_STS_SUCCESS);
  EXPECT_TRUE(logcapture.Contains("xml>>> Dispatch refused while a walk runs..."));
  EXPECT_TRUE(logcapture.Contains("xml>>> DispatchLoad refused while a walk runs..."));
  EXPECT_TRUE(logcapture.Contains("xml>>> DispatchFree refused while a walk runs..."));

  EXPECT_EQ(Joined(Walk("<task><d>1</d></task>", &eossts)), Joined({"this.enter task 0", "this.throw d 1"}));
  EXPECT_EQ(eossts, OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("xml>>> callback threw an exception...<d> handler failed"));
  EXPECT_EQ(Content(m_osxml), "<d>1</d>");
}

}  // namespace
