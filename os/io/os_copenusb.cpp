// The USB library's function table: loading the library at run time, the
// look-ups by name, and the library's instance.
#include "os_copenusb.h"

#include <mutex>
#include <string>

#include "os_cosfile.h"
#include "os_coslog.h"
#include "os_cosmem.h"

const char* const COpenUsb::s_aszFunctionNames[COpenUsb::s_sizetFunctions] = {
#define OPENUSB_TABLE_NAME(name) #name,
    OPENUSB_FUNCTION_LIST(OPENUSB_TABLE_NAME)
#undef OPENUSB_TABLE_NAME
};

#define OPENUSB_TABLE_COUNT(name) +1
static_assert(0 OPENUSB_FUNCTION_LIST(OPENUSB_TABLE_COUNT) == COpenUsb::s_sizetFunctions);
#undef OPENUSB_TABLE_COUNT

namespace {
const char kFirstPath[] = "/usr/local/lib64/libopenusb.so";
const char kSecondPath[] = "/usr/local/lib/libopenusb.so";
std::mutex s_mutexPaths;
std::string s_strFirst = kFirstPath, s_strSecond = kSecondPath;
}  // namespace

void COpenUsb::SetLibraryPaths(const char* a_szFirst, const char* a_szSecond) {
  std::lock_guard<std::mutex> lock(s_mutexPaths);
  s_strFirst = a_szFirst ? a_szFirst : kFirstPath;
  s_strSecond = a_szSecond ? a_szSecond : kSecondPath;
}

COpenUsb::COpenUsb() = default;

void COpenUsb::Load() {
  std::string strFirst, strSecond;
  {
    std::lock_guard<std::mutex> lock(s_mutexPaths);
    strFirst = s_strFirst;
    strSecond = s_strSecond;
  }
  m_posfileLibrary = OsMemNew(COsFile);
  if (!m_posfileLibrary || (m_posfileLibrary->SharedLibraryLoad(strFirst.c_str(), OS_FILEOPEN_CREATE) != OS_STS_SUCCESS &&
                            m_posfileLibrary->SharedLibraryLoad(strSecond.c_str(), OS_FILEOPEN_CREATE) != OS_STS_SUCCESS)) {
    OsLog(OS_LOG_ERROR, "dlopen for openusb failed...");
    OsMemDelete(m_posfileLibrary);
    return;
  }
  COsFile* posfile = m_posfileLibrary;
#define OPENUSB_TABLE_LOOKUP(name) \
  name = reinterpret_cast<decltype(name)>(posfile->SharedLibraryGetProc(#name, reinterpret_cast<void*>(-1), OS_FILEMANGLE_NONE));
  OPENUSB_FUNCTION_LIST(OPENUSB_TABLE_LOOKUP)
#undef OPENUSB_TABLE_LOOKUP
  if (!openusb_init) {
    OsLog(OS_LOG_ERROR, "openusb_init failed: %s", "no openusb_init");
    return;
  }
  int32_t i32 = openusb_init(0, &m_openusbhandle);
  if (i32 != OPENUSB_SUCCESS) {
    OsLog(OS_LOG_ERROR, "openusb_init failed: %s", openusb_strerror ? openusb_strerror(i32) : "");
    m_openusbhandle = 0;
  }
}

COpenUsb::~COpenUsb() {
  if (m_openusbhandle) {
    if (openusb_set_debug) openusb_set_debug(m_openusbhandle, 0, 0, nullptr);
    if (openusb_fini) openusb_fini(m_openusbhandle);
    m_openusbhandle = 0;
  }
  if (m_posfileLibrary) {
    m_posfileLibrary->SharedLibraryFree();
    OsMemDelete(m_posfileLibrary);
  }
}
