// Console line editing. libedit (and the terminal library) are loaded at
// run time when present; without them lines are read plainly from standard
// input. libedit prints the prompt itself so that it knows the cursor
// column: a colour is handed to it as a literal sequence that takes no
// column (libedit shows other control characters as visible text).
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosstring.h"

namespace {
// libedit's operation numbers.
constexpr int s_iElPrompt = 0;
constexpr int s_iElEditor = 2;
constexpr int s_iElPromptEsc = 21;  // prompt with a start/stop mark for literal sequences
constexpr char s_cLiteral = '\1';
constexpr int s_iElHist = 10;
constexpr int s_iHSetSize = 1;
constexpr int s_iHEnter = 10;
constexpr int s_iHSetUnique = 20;
constexpr int s_iHistorySize = 800;

// libedit's history event record.
struct HistEvent {
  int iNum;
  const char* szStr;
};

typedef void* (*PfnElInit)(const char*, FILE*, FILE*, FILE*);
typedef void (*PfnElEnd)(void*);
typedef const char* (*PfnElGets)(void*, int*);
typedef int (*PfnElSet)(void*, int, ...);
typedef void* (*PfnHistoryInit)();
typedef void (*PfnHistoryEnd)(void*);
typedef int (*PfnHistory)(void*, HistEvent*, int, ...);

// The prompt of the line being read: one console reader at a time.
std::mutex s_mutexRead;
char s_szColor[32];
char s_szPrompt[64];
char s_szPromptText[sizeof s_szColor + sizeof s_szPrompt + 16];  // what libedit prints
bool s_blLiteral;  // libedit takes literal sequences

bool Missing(const COsFileImpl* a_posfileimpl) {
  if (a_posfileimpl) return false;
  OsLog(OS_LOG_ASSERT, "m_posfileimpl is null...");
  return true;
}

// Copies as much of the text as fits.
void CopyCut(char* a_szDst, size_t a_sizetDst, const char* a_szSrc) {
  a_szDst[0] = '\0';
  if (a_szSrc) COsString::SStrNcat(a_szDst, a_sizetDst, a_szSrc, a_sizetDst - 1);
}

// The plain reader prints the prompt itself.
void PrintPrompt() {
  if (s_szColor[0]) {
    std::fprintf(stdout, "%s%s\033[0m ", s_szColor, s_szPrompt);
  } else {
    std::fputs(s_szPrompt, stdout);
  }
  std::fflush(stdout);
}

// libedit's prompt: the colour and its reset as literal sequences, each
// attached to the character after it.
void ComposePrompt() {
  if (s_szColor[0] && s_blLiteral) {
    COsString::SStrPrintf(s_szPromptText, sizeof s_szPromptText, "%c%s%c%s%c\033[0m%c ", s_cLiteral, s_szColor,
                          s_cLiteral, s_szPrompt, s_cLiteral, s_cLiteral);
  } else {
    COsString::SStrCpy(s_szPromptText, sizeof s_szPromptText, s_szPrompt);
  }
}

char* PromptFunction(void*) { return s_szPromptText; }

template <typename T>
bool Lookup(void* a_pvLibrary, const char* a_szName, T* a_ppfn) {
  *a_ppfn = reinterpret_cast<T>(dlsym(a_pvLibrary, a_szName));
  if (!*a_ppfn) OsLog(OS_LOG_ERROR, "dlsym failed...<%s>", a_szName);
  return *a_ppfn != nullptr;
}
}  // namespace

struct OsFileEditLine {
  void* pvTermcap;
  void* pvEdit;
  void* pvEditLine;
  void* pvHistory;
  HistEvent histevent;
  PfnElInit pfnElInit;
  PfnElEnd pfnElEnd;
  PfnElGets pfnElGets;
  PfnElSet pfnElSet;
  PfnHistoryInit pfnHistoryInit;
  PfnHistoryEnd pfnHistoryEnd;
  PfnHistory pfnHistory;
};

EOSSTS COsFileImpl::EditLineInit() {
  if (m_posfileeditline) return OS_STS_SUCCESS;
  m_posfileeditline = new (std::nothrow) OsFileEditLine{};
  if (!m_posfileeditline) {
    OsLog(OS_LOG_ASSERT, "OsMemNew failed...");
    return OS_STS_FAIL;
  }
  OsFileEditLine* p = m_posfileeditline;
  p->pvTermcap = dlopen("libtermcap.so", RTLD_LAZY);
  p->pvEdit = p->pvTermcap ? dlopen("libedit.so", RTLD_LAZY) : nullptr;
  if (!p->pvEdit) {
    OsLog(OS_LOG_ERROR, "dlopen failed...<%s>", p->pvTermcap ? "libedit.so" : "libtermcap.so");
    EditLineCleanup();
    return OS_STS_FAIL;
  }
  bool blFound = Lookup(p->pvEdit, "el_init", &p->pfnElInit) && Lookup(p->pvEdit, "el_end", &p->pfnElEnd) &&
                 Lookup(p->pvEdit, "el_gets", &p->pfnElGets) && Lookup(p->pvEdit, "el_set", &p->pfnElSet) &&
                 Lookup(p->pvEdit, "history_init", &p->pfnHistoryInit) &&
                 Lookup(p->pvEdit, "history_end", &p->pfnHistoryEnd) && Lookup(p->pvEdit, "history", &p->pfnHistory);
  if (!blFound) {
    EditLineCleanup();
    return OS_STS_FAIL;
  }
  const char* szApplication = CfgText(OS_CFGTAG_APPLICATION);
  p->pvEditLine = p->pfnElInit(szApplication[0] ? szApplication : "scandrv", stdin, stdout, stderr);
  if (!p->pvEditLine) {
    OsLog(OS_LOG_ERROR, "el_init failed...");
    EditLineCleanup();
    return OS_STS_FAIL;
  }
  s_blLiteral = p->pfnElSet(p->pvEditLine, s_iElPromptEsc, &PromptFunction, s_cLiteral) == 0;
  if (!s_blLiteral) p->pfnElSet(p->pvEditLine, s_iElPrompt, &PromptFunction);
  p->pfnElSet(p->pvEditLine, s_iElEditor, "emacs");
  p->pvHistory = p->pfnHistoryInit();
  if (!p->pvHistory) {
    OsLog(OS_LOG_ERROR, "history_init failed...");
    EditLineCleanup();
    return OS_STS_FAIL;
  }
  p->pfnHistory(p->pvHistory, &p->histevent, s_iHSetSize, s_iHistorySize);
  p->pfnHistory(p->pvHistory, &p->histevent, s_iHSetUnique, 1);
  p->pfnElSet(p->pvEditLine, s_iElHist, p->pfnHistory, p->pvHistory);
  return OS_STS_SUCCESS;
}

char* COsFileImpl::EditLineRead(const char* a_szColor, const char* a_szPrompt, char* a_szBuffer,
                                size_t a_sizetBuffer) {
  if (!a_szBuffer || a_sizetBuffer == 0) {
    OsLog(OS_LOG_ASSERT, "EditLineRead failed...%p %u", static_cast<void*>(a_szBuffer),
          static_cast<unsigned>(a_sizetBuffer));
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(s_mutexRead);
  CopyCut(s_szColor, sizeof s_szColor, a_szColor);
  CopyCut(s_szPrompt, sizeof s_szPrompt, a_szPrompt);
  a_szBuffer[0] = '\0';
  OsFileEditLine* p = m_posfileeditline;
  if (!p || !p->pvEditLine) {
    PrintPrompt();
    return COsString::SStrGet(a_szBuffer, a_sizetBuffer);
  }
  ComposePrompt();
  int iCount = 0;
  const char* szLine = p->pfnElGets(p->pvEditLine, &iCount);
  if (!szLine) return nullptr;
  size_t sizetLine = std::strlen(szLine);
  while (sizetLine && (szLine[sizetLine - 1] == '\n' || szLine[sizetLine - 1] == '\r')) --sizetLine;
  if (sizetLine) {
    p->pfnHistory(p->pvHistory, &p->histevent, s_iHEnter, szLine);
    COsString::SStrNcat(a_szBuffer, a_sizetBuffer, szLine, sizetLine < a_sizetBuffer ? sizetLine : a_sizetBuffer - 1);
  }
  return a_szBuffer;
}

void COsFileImpl::EditLineCleanup() {
  OsFileEditLine* p = m_posfileeditline;
  if (!p) return;
  if (p->pvHistory) p->pfnHistoryEnd(p->pvHistory);
  if (p->pvEditLine) p->pfnElEnd(p->pvEditLine);
  if (p->pvEdit) dlclose(p->pvEdit);
  if (p->pvTermcap) dlclose(p->pvTermcap);
  delete p;
  m_posfileeditline = nullptr;
}

EOSSTS COsFile::EditLineInit() {
  if (Missing(m_posfileimpl)) return OS_STS_FAIL;
  return m_posfileimpl->EditLineInit();
}

char* COsFile::EditLineRead(const char* a_szColor, const char* a_szPrompt, char* a_szBuffer, size_t a_sizetBuffer) {
  if (Missing(m_posfileimpl)) return nullptr;
  return m_posfileimpl->EditLineRead(a_szColor, a_szPrompt, a_szBuffer, a_sizetBuffer);
}

void COsFile::EditLineDisplay(const char* a_szText) {
  if (!a_szText) {
    OsLog(OS_LOG_ASSERT, "a_szText is null...");
    return;
  }
  std::fputs(a_szText, stdout);
  std::fflush(stdout);
}

void COsFile::EditLineCleanup() {
  if (!Missing(m_posfileimpl)) m_posfileimpl->EditLineCleanup();
}
