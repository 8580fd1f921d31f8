// A stand-in shared library for the loading tests: plain C exports, XML
// handler trampolines (static Class::Class_Name(OsXmlCallback*) forwarding
// to a member), simulator-style entry points, and a record of the
// environment it saw while it was being loaded.
#include <cstdlib>
#include <cstring>

struct OsXmlCallback;
struct SimCallback;

namespace {
char s_szArguments[256];
char s_szLibraryPath[256];

void Keep(char* a_szDst, size_t a_sizetDst, const char* a_szName) {
  const char* szValue = std::getenv(a_szName);
  std::strncpy(a_szDst, szValue ? szValue : "(unset)", a_sizetDst - 1);
}

__attribute__((constructor)) void Loaded() {
  Keep(s_szArguments, sizeof s_szArguments, "PMX_OSSERVICESARGUMENTS");
  Keep(s_szLibraryPath, sizeof s_szLibraryPath, "LD_LIBRARY_PATH");
}
}  // namespace

extern "C" int StandinAnswer() { return 42; }
extern "C" const char* StandinArgumentsAtLoad() { return s_szArguments; }
extern "C" const char* StandinLibraryPathAtLoad() { return s_szLibraryPath; }

// The XML dispatch's shape: one object, static trampolines named after the
// class, each forwarding to the member Handler with its own tag.
class CStandinXml {
 public:
  static int CStandinXml_Handler(OsXmlCallback* a_posxmlcallback);
  static int CStandinXml_Enter_Task_Part(OsXmlCallback* a_posxmlcallback);
  int Handler(OsXmlCallback* a_posxmlcallback, int a_iTag);
};

namespace standin {
class CNsXml {
 public:
  static int CNsXml_Exit_Deep_Name(OsXmlCallback* a_posxmlcallback);
};
namespace inner {
class CInner {
 public:
  static int CInner_Enter(OsXmlCallback* a_posxmlcallback);
};
}  // namespace inner
}  // namespace standin

// A simulator unit: two fixed entry points and one member.
int CSimTorvane_Create(SimCallback* a_psimcallback);
int CSimTorvane_Destroy(SimCallback* a_psimcallback);
class CSimStandin {
 public:
  static int CSimStandin_Scan_Page(SimCallback* a_psimcallback);
};

namespace {
CStandinXml s_standinxml;
}

int CStandinXml::Handler(OsXmlCallback*, int a_iTag) { return a_iTag; }
int CStandinXml::CStandinXml_Handler(OsXmlCallback* a_posxmlcallback) { return s_standinxml.Handler(a_posxmlcallback, 1); }
int CStandinXml::CStandinXml_Enter_Task_Part(OsXmlCallback* a_posxmlcallback) {
  return s_standinxml.Handler(a_posxmlcallback, 2);
}
int standin::CNsXml::CNsXml_Exit_Deep_Name(OsXmlCallback*) { return 3; }
int standin::inner::CInner::CInner_Enter(OsXmlCallback*) { return 4; }
int CSimTorvane_Create(SimCallback*) { return 5; }
int CSimTorvane_Destroy(SimCallback*) { return 6; }
int CSimStandin::CSimStandin_Scan_Page(SimCallback*) { return 7; }
