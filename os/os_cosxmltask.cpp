// The task builder.
#include "os_cosxmltask.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string_view>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"

namespace {

// Every block of the builder comes from the memory service (tracked while it
// runs, plain heap before and after), zero-filled.
void* TaskAlloc(size_t a_sizetBytes) { return OsMemAlloc(a_sizetBytes); }

void TaskFree(void* a_pvBlock) {
  if (a_pvBlock) OsMemFree(a_pvBlock);
}

// The calling thread's block of a named builder, found by name on every use.
char* TaskThreadBlock(const char* a_szName, size_t a_sizetBytes) {
  if (!g_posmem) return nullptr;
  return static_cast<char*>(g_posmem->ThreadSafeAlloc(a_szName, a_sizetBytes, __FILE__, __LINE__, OS_LOG_MEM));
}

// Releases the blocks of that name of every thread.
void TaskThreadRelease(const char* a_szName) {
  if (g_posmem) g_posmem->ThreadSafeFree(a_szName, __FILE__, __LINE__, OS_LOG_MEM);
}

constexpr size_t s_sizetTaskLine = 91;
constexpr size_t s_sizetIdPos = 10;
constexpr size_t s_sizetReplyPos = 39;
constexpr size_t s_sizetBytesPos = 68;
constexpr size_t s_sizetDigits = 20;

// A non-negative number as the 20 zero-padded digits of the task line, as
// "%020d" writes it (every task writes three).
void WriteDigits(char* a_pc, int a_nValue) {
  unsigned uValue = static_cast<unsigned>(a_nValue);
  for (size_t sizet = s_sizetDigits; sizet > 0; --sizet) {
    a_pc[sizet - 1] = static_cast<char>('0' + uValue % 10);
    uValue /= 10;
  }
}
constexpr char s_szTaskLine[] =
    "<task id='00000000000000000000' reply='00000000000000000000' bytes='####################'>\n";
static_assert(sizeof(s_szTaskLine) - 1 == s_sizetTaskLine);
static_assert(s_szTaskLine[s_sizetIdPos] == '0' && s_szTaskLine[s_sizetIdPos - 1] == '\'');
static_assert(s_szTaskLine[s_sizetReplyPos] == '0' && s_szTaskLine[s_sizetReplyPos - 1] == '\'');
static_assert(s_szTaskLine[s_sizetBytesPos] == '#' && s_szTaskLine[s_sizetBytesPos - 1] == '\'');

constexpr char s_szTaskEnd[] = "</task>\n";

constexpr char s_szReportStatusSuccess[] =
    "<task id='00000000000000000000' reply='00000000000000000000' bytes='00000000000000000159'>\n"
    "\t<reportstatus>\n"
    "\t\t<status>success</status>\n"
    "\t</reportstatus>\n"
    "</task>\n";
constexpr char s_szReportStatusFail[] =
    "<task id='00000000000000000000' reply='00000000000000000000' bytes='00000000000000000156'>\n"
    "\t<reportstatus>\n"
    "\t\t<status>fail</status>\n"
    "\t</reportstatus>\n"
    "</task>\n";
static_assert(sizeof(s_szReportStatusSuccess) - 1 == 159);
static_assert(sizeof(s_szReportStatusFail) - 1 == 156);

}  // namespace

class COsXmlTaskImpl {
 public:
  COsXmlTaskImpl(const char* a_szName, size_t a_sizetSize);
  ~COsXmlTaskImpl();
  COsXmlTaskImpl(const COsXmlTaskImpl&) = delete;
  COsXmlTaskImpl& operator=(const COsXmlTaskImpl&) = delete;

  char* GetTaskBuffer() { return Buffer(); }
  size_t Size() const { return m_sizetLength; }
  bool IsError(bool a_blClear);
  void Clear();
  void StartTask(int a_nTaskId, int a_nReplyId, const char* a_szStatus);
  void SetId(int a_nTaskId) { SetDigits(m_sizetIdPos, a_nTaskId, "xmltask>>> a_nTaskId is negative..."); }
  void SetReplyId(int a_nReplyId) { SetDigits(m_sizetReplyPos, a_nReplyId, "xmltask>>> a_nReplyId is negative..."); }
  void StartCommand(const char* a_pszName, int a_nDepth);
  void Leaf(const char* a_pszName, const char* a_pszValue, bool a_blFlat, bool a_blCdata);
  void AddArgumentNumber(const char* a_pszName, bool a_blFlat, const char* a_szFormat, ...)
      __attribute__((format(printf, 4, 5)));
  void AddArgumentCheck(const char* a_pszName, const char* a_pszValue);
  void AddArgumentSafe(const char* a_pszName, const char* a_pszValue);
  void AddPassThrough(const char* a_pszText);
  void FinalizeCommand(const char* a_pszName);
  void FinalizeTask();
  void StartNonTask(const char* a_pszName, int a_nDepth);
  void FinalizeNonTask(const char* a_pszName);
  void Fail(const char* a_szMessage) { FailFormat("%s", a_szMessage); }
  void FailFormat(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3)));

 private:
  void SetDigits(size_t a_sizetPos, int a_nValue, const char* a_szNegative);
  bool IsNamed() const { return m_szName[0] != '\0'; }
  char* Buffer();
  // Writes tabs and the pieces as one unit, or nothing when they would not
  // fit below the capacity.
  bool Append(char* a_pszBuffer, int a_nTabs, std::initializer_list<std::string_view> a_listPieces);
  char* Room(char* a_pszBuffer, int a_nTabs, size_t a_sizetTotal);
  void Commit(char* a_pcEnd, size_t a_sizetTotal);
  bool AppendLeaf(char* a_pszBuffer, int a_nTabs, std::string_view a_svName, std::string_view a_svValue,
                  bool a_blCdata);

  char* m_pszBuffer;  // private builders only
  size_t m_sizetLength;
  size_t m_sizetBytesPos;
  size_t m_sizetIdPos;
  size_t m_sizetReplyPos;
  bool m_blTaskOpen;
  bool m_blCommandOpen;
  char m_szName[64];
  uint32_t m_u32Capacity;
  int32_t m_i32Depth;
  bool m_blError;
  int32_t m_i32NonTaskDepth;  // depth of an open non-task message; -1 in a task
  size_t m_sizetHighWater;    // nothing was ever written at or above it
};

COsXmlTaskImpl::COsXmlTaskImpl(const char* a_szName, size_t a_sizetSize)
    : m_pszBuffer(nullptr),
      m_sizetLength(0),
      m_sizetBytesPos(0),
      m_sizetIdPos(0),
      m_sizetReplyPos(0),
      m_blTaskOpen(false),
      m_blCommandOpen(false),
      m_szName(),
      m_u32Capacity(0),
      m_i32Depth(0),
      m_blError(false),
      m_i32NonTaskDepth(-1),
      m_sizetHighWater(0) {
  size_t sizetCapacity = a_sizetSize < COsXmlTask::s_sizetMinimumCapacity ? COsXmlTask::s_sizetMinimumCapacity
                                                                          : a_sizetSize;
  if (sizetCapacity > UINT32_MAX) sizetCapacity = UINT32_MAX;
  m_u32Capacity = static_cast<uint32_t>(sizetCapacity);
  m_sizetHighWater = m_u32Capacity;  // contents unknown until the first clear
  // Per-thread blocks need the memory service; without it a named builder
  // keeps a private buffer like any other.
  if (a_szName && a_szName[0] && g_posmem) {
    COsString::SStrCpy(m_szName, sizeof(m_szName), a_szName);
    if (m_szName[0]) return;
    Fail("xmltask>>> name too long...");
  }
  m_pszBuffer = static_cast<char*>(TaskAlloc(m_u32Capacity));
  if (!m_pszBuffer) Fail("OsMemAlloc failed");
}

COsXmlTaskImpl::~COsXmlTaskImpl() {
  if (IsNamed()) {
    TaskThreadRelease(m_szName);
  } else {
    TaskFree(m_pszBuffer);
  }
}

void COsXmlTaskImpl::FailFormat(const char* a_szFormat, ...) {
  m_blError = true;  // first, so that a failing log call cannot lose it
  if (!g_poslog) return;
  char szLine[256];
  va_list valist;
  va_start(valist, a_szFormat);
  std::vsnprintf(szLine, sizeof(szLine), a_szFormat, valist);
  va_end(valist);
  try {
    OsLog(OS_LOG_ASSERT, "%s", szLine);
  } catch (...) {
    // The flag is set; a failing log must not take the builder down.
  }
}

char* COsXmlTaskImpl::Buffer() {
  if (!IsNamed()) return m_pszBuffer;
  char* pszBuffer = TaskThreadBlock(m_szName, m_u32Capacity);
  if (!pszBuffer) Fail("xmltask>>> no buffer...");
  return pszBuffer;
}

// Where a_sizetTotal more characters (after a_nTabs tabs, counted in it)
// go, the tabs written; null, the builder failed, when they and the
// terminator would not fit below the capacity.
char* COsXmlTaskImpl::Room(char* a_pszBuffer, int a_nTabs, size_t a_sizetTotal) {
  if (!a_pszBuffer) return nullptr;
  if (m_sizetLength + a_sizetTotal >= m_u32Capacity) {
    FailFormat("xmltask>>> overflow...%zu + %zu, capacity %u", m_sizetLength, a_sizetTotal,
               static_cast<unsigned>(m_u32Capacity));
    return nullptr;
  }
  char* pc = a_pszBuffer + m_sizetLength;
  std::memset(pc, '\t', static_cast<size_t>(a_nTabs));
  return pc + a_nTabs;
}

// Ends what Room made room for at a_pcEnd.
void COsXmlTaskImpl::Commit(char* a_pcEnd, size_t a_sizetTotal) {
  *a_pcEnd = '\0';
  m_sizetLength += a_sizetTotal;
  if (m_sizetLength + 1 > m_sizetHighWater) m_sizetHighWater = m_sizetLength + 1;
}

bool COsXmlTaskImpl::Append(char* a_pszBuffer, int a_nTabs, std::initializer_list<std::string_view> a_listPieces) {
  if (a_nTabs < 0) a_nTabs = 0;
  size_t sizetTotal = static_cast<size_t>(a_nTabs);
  for (std::string_view sv : a_listPieces) sizetTotal += sv.size();
  char* pc = Room(a_pszBuffer, a_nTabs, sizetTotal);
  if (!pc) return false;
  for (std::string_view sv : a_listPieces) {
    std::memcpy(pc, sv.data(), sv.size());
    pc += sv.size();
  }
  Commit(pc, sizetTotal);
  return true;
}

bool COsXmlTaskImpl::IsError(bool a_blClear) {
  bool blError = m_blError;
  if (a_blClear) m_blError = false;
  return blError;
}

void COsXmlTaskImpl::Clear() {
  m_sizetLength = 0;
  m_sizetBytesPos = m_sizetIdPos = m_sizetReplyPos = 0;
  m_blTaskOpen = m_blCommandOpen = false;
  m_i32Depth = 0;
  m_i32NonTaskDepth = -1;
  m_blError = false;
  // Only what was ever written needs zeroing (the high-water mark starts at
  // the capacity, since a block may come with contents); the whole capacity
  // on every task cost most of a small task's time.
  char* pszBuffer = Buffer();
  if (pszBuffer) std::memset(pszBuffer, 0, m_sizetHighWater < m_u32Capacity ? m_sizetHighWater : m_u32Capacity);
  m_sizetHighWater = 0;
}

void COsXmlTaskImpl::StartTask(int a_nTaskId, int a_nReplyId, const char* a_szStatus) {
  if (m_blTaskOpen || m_blCommandOpen) Fail("xmltask>>> out of order...");
  char* pszBuffer = Buffer();
  if (!pszBuffer) return;
  m_i32Depth = 0;
  m_i32NonTaskDepth = -1;
  m_blTaskOpen = true;
  m_blCommandOpen = false;
  // Everything ever written lies below the high-water mark, so this leaves
  // the whole buffer zero-filled.
  std::memset(pszBuffer, 0, m_sizetHighWater < m_u32Capacity ? m_sizetHighWater : m_u32Capacity);
  m_sizetLength = 0;
  Append(pszBuffer, 0, {std::string_view(s_szTaskLine, s_sizetTaskLine)});
  m_sizetIdPos = s_sizetIdPos;
  m_sizetReplyPos = s_sizetReplyPos;
  m_sizetBytesPos = s_sizetBytesPos;
  if (a_nTaskId != 0) SetId(a_nTaskId);
  if (a_nReplyId != 0) SetReplyId(a_nReplyId);
  if (a_szStatus && a_szStatus[0]) {
    StartCommand("reportstatus", 1);
    Leaf("status", a_szStatus, false, false);
    FinalizeCommand("reportstatus");
  }
}

void COsXmlTaskImpl::SetDigits(size_t a_sizetPos, int a_nValue, const char* a_szNegative) {
  if (a_nValue < 0) {
    Fail(a_szNegative);
    return;
  }
  char* pszBuffer = Buffer();
  if (!pszBuffer) return;
  if (a_sizetPos == 0) {  // no task line in the buffer
    Fail("xmltask>>> out of order...");
    return;
  }
  WriteDigits(pszBuffer + a_sizetPos, a_nValue);
}

void COsXmlTaskImpl::StartCommand(const char* a_pszName, int a_nDepth) {
  if (!a_pszName) {
    Fail("xmltask>>> a_pszName is null...");
    return;
  }
  if (!m_blTaskOpen) {
    Fail("xmltask>>> out of order...");
    return;
  }
  if (a_nDepth != m_i32Depth + 1) {
    FailFormat("xmltask>>> depth error...%d, must be %d", a_nDepth, m_i32Depth + 1);
    return;
  }
  Append(Buffer(), a_nDepth, {"<", a_pszName, ">\n"});
  m_i32Depth = a_nDepth;
  m_blCommandOpen = true;
}

void COsXmlTaskImpl::Leaf(const char* a_pszName, const char* a_pszValue, bool a_blFlat, bool a_blCdata) {
  if (!a_pszName || !a_pszValue) {
    Fail("xmltask>>> a_pszName or a_pszValue is null...");
    return;
  }
  if (!m_blTaskOpen || (!m_blCommandOpen && !a_blFlat)) {
    Fail("xmltask>>> out of order...");
    return;
  }
  const std::string_view svValue(a_pszValue);
  if (a_blCdata && svValue.find("]]>") != std::string_view::npos) {
    // It would end the section early and put the rest out as markup.
    FailFormat("xmltask>>> value of <%s> holds ']]>', refused...", a_pszName);
    return;
  }
  if (!a_blCdata && std::memchr(svValue.data(), '<', svValue.size())) {
    // Outside a CDATA section it would start markup: the reader loses the
    // value. "&" stays as written, as the readers take text as it stands.
    FailFormat("xmltask>>> value of <%s> holds '<', refused...", a_pszName);
    return;
  }
  AppendLeaf(Buffer(), a_blFlat ? 0 : m_i32Depth + 1, a_pszName, svValue, a_blCdata);
}

// Append's result for the pieces of one leaf, each length taken once: every
// reply is mostly leaves.
bool COsXmlTaskImpl::AppendLeaf(char* a_pszBuffer, int a_nTabs, std::string_view a_svName, std::string_view a_svValue,
                                bool a_blCdata) {
  constexpr std::string_view svCdataOpen = "<![CDATA[";
  constexpr std::string_view svCdataClose = "]]>";
  if (a_nTabs < 0) a_nTabs = 0;
  const size_t sizetName = a_svName.size();
  const size_t sizetValue = a_svValue.size();
  const size_t sizetCdata = a_blCdata ? svCdataOpen.size() + svCdataClose.size() : 0;
  const size_t sizetTotal = static_cast<size_t>(a_nTabs) + 2 * sizetName + sizetValue + sizetCdata + 6;
  char* pc = Room(a_pszBuffer, a_nTabs, sizetTotal);
  if (!pc) return false;
  *pc++ = '<';
  std::memcpy(pc, a_svName.data(), sizetName);
  pc += sizetName;
  *pc++ = '>';
  if (a_blCdata) {
    std::memcpy(pc, svCdataOpen.data(), svCdataOpen.size());
    pc += svCdataOpen.size();
  }
  std::memcpy(pc, a_svValue.data(), sizetValue);
  pc += sizetValue;
  if (a_blCdata) {
    std::memcpy(pc, svCdataClose.data(), svCdataClose.size());
    pc += svCdataClose.size();
  }
  *pc++ = '<';
  *pc++ = '/';
  std::memcpy(pc, a_svName.data(), sizetName);
  pc += sizetName;
  *pc++ = '>';
  *pc++ = '\n';
  Commit(pc, sizetTotal);
  return true;
}

// Numbers are formatted into a 32-character buffer first; one that does not
// fit is refused rather than cut.
void COsXmlTaskImpl::AddArgumentNumber(const char* a_pszName, bool a_blFlat, const char* a_szFormat, ...) {
  char szValue[32];
  va_list valist;
  va_start(valist, a_szFormat);
  int iWritten = std::vsnprintf(szValue, sizeof(szValue), a_szFormat, valist);
  va_end(valist);
  if (iWritten < 0 || iWritten >= static_cast<int>(sizeof(szValue))) {
    FailFormat("xmltask>>> value of <%s> does not fit...", a_pszName ? a_pszName : "");
    return;
  }
  Leaf(a_pszName, szValue, a_blFlat, false);
}

void COsXmlTaskImpl::AddArgumentSafe(const char* a_pszName, const char* a_pszValue) {
  Leaf(a_pszName, a_pszValue, false, true);
}

void COsXmlTaskImpl::AddArgumentCheck(const char* a_pszName, const char* a_pszValue) {
  if (!a_pszName) {
    Fail("a_pszName is null...");
    return;
  }
  bool blCdata = a_pszValue && std::strpbrk(a_pszValue, "<>") != nullptr;
  Leaf(a_pszName, a_pszValue, false, blCdata);
}

void COsXmlTaskImpl::AddPassThrough(const char* a_pszText) {
  if (!a_pszText) {
    Fail("xmltask>>> a_pszText is null...");
    return;
  }
  if (!m_blTaskOpen) {
    Fail("xmltask>>> out of order...");
    return;
  }
  if (a_pszText[0] == '\n') ++a_pszText;
  char* pszBuffer = Buffer();
  if (!Append(pszBuffer, 0, {a_pszText})) return;
  if (m_sizetLength > 0 && a_pszText[0] && pszBuffer[m_sizetLength - 1] == '\t') {
    pszBuffer[--m_sizetLength] = '\0';
  }
}

void COsXmlTaskImpl::FinalizeCommand(const char* a_pszName) {
  if (!a_pszName) {
    Fail("xmltask>>> a_pszName is null...");
    return;
  }
  if (!m_blTaskOpen || !m_blCommandOpen) {
    Fail("xmltask>>> out of order...");
    return;
  }
  const int32_t i32Floor = m_i32NonTaskDepth < 0 ? 0 : m_i32NonTaskDepth;
  if (m_i32Depth <= i32Floor) {
    FailFormat("xmltask>>> depth error...%d, must be %d or more", m_i32Depth, i32Floor + 1);
    return;
  }
  Append(Buffer(), m_i32Depth, {"</", a_pszName, ">\n"});
  --m_i32Depth;
  m_blCommandOpen = m_i32Depth > 0;
}

void COsXmlTaskImpl::FinalizeTask() {
  if (!m_blTaskOpen || m_blCommandOpen || m_i32NonTaskDepth >= 0) {
    Fail("xmltask>>> out of order...");
    return;
  }
  if (m_i32Depth != 0) {
    FailFormat("xmltask>>> depth error...%d, must be 0", m_i32Depth);
    return;
  }
  char* pszBuffer = Buffer();
  if (!pszBuffer) return;
  const size_t sizetEnd = sizeof(s_szTaskEnd) - 1;
  if (m_sizetLength + sizetEnd >= m_u32Capacity) {
    FailFormat("buffer overflow...%d", static_cast<int>(m_sizetLength + sizetEnd));
    return;
  }
  Append(pszBuffer, 0, {std::string_view(s_szTaskEnd, sizetEnd)});
  WriteDigits(pszBuffer + m_sizetBytesPos, static_cast<int>(m_sizetLength));
  m_blTaskOpen = false;
}

void COsXmlTaskImpl::StartNonTask(const char* a_pszName, int a_nDepth) {
  if (m_blTaskOpen || m_blCommandOpen) {
    Fail("xmltask>>> out of order...");
    return;
  }
  if (!a_pszName) {
    Fail("xmltask>>> a_pszName is null...");
    return;
  }
  if (a_nDepth < 0) {
    FailFormat("xmltask>>> depth error...%d, must be 0 or more", a_nDepth);
    return;
  }
  m_i32Depth = a_nDepth;
  m_i32NonTaskDepth = a_nDepth;
  m_blTaskOpen = true;
  m_blCommandOpen = a_nDepth != 0;
  m_sizetLength = 0;
  m_sizetIdPos = m_sizetReplyPos = m_sizetBytesPos = 0;  // no task line to patch
  Append(Buffer(), a_nDepth, {"<", a_pszName, ">\n"});
}

void COsXmlTaskImpl::FinalizeNonTask(const char* a_pszName) {
  if (!a_pszName) {
    Fail("xmltask>>> a_pszName is null...");
    return;
  }
  // Every command opened inside must be closed again, and a task element
  // is closed by FinalizeTask only.
  if (!m_blTaskOpen || m_i32NonTaskDepth < 0 || (m_blCommandOpen && m_i32Depth == 0) ||
      m_i32Depth != m_i32NonTaskDepth) {
    Fail("xmltask>>> out of order...");
    return;
  }
  // The terminator is part of a non-task message's length.
  Append(Buffer(), m_i32Depth, {"</", a_pszName, ">\n", std::string_view("", 1)});
  m_blTaskOpen = m_blCommandOpen = false;
  m_i32Depth = 0;
  m_i32NonTaskDepth = -1;
}

// ---------------------------------------------------------------------------
// COsXmlTask: checks its implementation, then forwards.
// ---------------------------------------------------------------------------
namespace {
bool NoImpl(const COsXmlTaskImpl* a_posxmltaskimpl) {
  if (a_posxmltaskimpl) return false;
  OsLog(OS_LOG_ERROR, "m_posxmltaskimpl is null...");
  return true;
}
}  // namespace

COsXmlTask::COsXmlTask(const char* a_szName, size_t a_sizetSize)
    : m_posxmltaskimpl(OsMemNew(COsXmlTaskImpl, a_szName, a_sizetSize)) {
  if (!m_posxmltaskimpl) OsLog(OS_LOG_ERROR, "OsMemNew failed...");
}

COsXmlTask::~COsXmlTask() { OsMemDelete(m_posxmltaskimpl); }

char* COsXmlTask::GetTaskBuffer() { return NoImpl(m_posxmltaskimpl) ? nullptr : m_posxmltaskimpl->GetTaskBuffer(); }

size_t COsXmlTask::Size() { return NoImpl(m_posxmltaskimpl) ? 0 : m_posxmltaskimpl->Size(); }

bool COsXmlTask::IsError(bool a_blClear) {
  return NoImpl(m_posxmltaskimpl) ? true : m_posxmltaskimpl->IsError(a_blClear);
}

void COsXmlTask::Clear() {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->Clear();
}

void COsXmlTask::StartTask(int a_nTaskId, int a_nReplyId, const char* a_szStatus) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->StartTask(a_nTaskId, a_nReplyId, a_szStatus);
}

void COsXmlTask::SetId(int a_nTaskId) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->SetId(a_nTaskId);
}

void COsXmlTask::SetReplyId(int a_nReplyId) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->SetReplyId(a_nReplyId);
}

void COsXmlTask::StartCommand(const char* a_pszName, int a_nDepth) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->StartCommand(a_pszName, a_nDepth);
}

void COsXmlTask::AddArgument(const char* a_pszName, const char* a_pszValue, bool a_blFlat) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->Leaf(a_pszName, a_pszValue, a_blFlat, false);
}

void COsXmlTask::AddArgument(const char* a_pszName, int a_nValue, bool a_blFlat) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->AddArgumentNumber(a_pszName, a_blFlat, "%d", a_nValue);
}

void COsXmlTask::AddArgumentDouble(const char* a_pszName, double a_dValue, bool a_blFlat) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->AddArgumentNumber(a_pszName, a_blFlat, "%f", a_dValue);
}

void COsXmlTask::AddArgumentHexPtr(const char* a_pszName, const void* a_pvValue) {
  if (NoImpl(m_posxmltaskimpl)) return;
  char szValue[32];
  if (COsString::PtrToStr(szValue, sizeof(szValue), a_pvValue) != 16) {
    m_posxmltaskimpl->Fail("xmltask>>> PtrToStr failed...");
    return;
  }
  m_posxmltaskimpl->Leaf(a_pszName, szValue, false, false);
}

void COsXmlTask::AddArgumentSafe(const char* a_pszName, const char* a_pszValue) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->AddArgumentSafe(a_pszName, a_pszValue);
}

void COsXmlTask::AddArgumentCheck(const char* a_pszName, const char* a_pszValue) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->AddArgumentCheck(a_pszName, a_pszValue);
}

void COsXmlTask::AddPassThrough(const char* a_pszText) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->AddPassThrough(a_pszText);
}

void COsXmlTask::FinalizeCommand(const char* a_pszName) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->FinalizeCommand(a_pszName);
}

void COsXmlTask::FinalizeTask() {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->FinalizeTask();
}

void COsXmlTask::StartNonTask(const char* a_pszName, int a_nDepth) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->StartNonTask(a_pszName, a_nDepth);
}

void COsXmlTask::FinalizeNonTask(const char* a_pszName) {
  if (!NoImpl(m_posxmltaskimpl)) m_posxmltaskimpl->FinalizeNonTask(a_pszName);
}

const char* COsXmlTask::ReportStatusSuccess() { return s_szReportStatusSuccess; }

const char* COsXmlTask::ReportStatusFail() { return s_szReportStatusFail; }
