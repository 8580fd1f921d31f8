// The function table of the USB library: the library, the library's own
// instance handle and one pointer per function, in a fixed order.
#pragma once

#include <cstddef>

#include "os_def.h"
#include "os_openusb.h"

class COsFile;

class COpenUsb {
 public:
  // An empty table: no library, every pointer null (a caller may fill it).
  COpenUsb();
  // Gives the instance back and closes the library, when there are any.
  ~COpenUsb();
  COpenUsb(const COpenUsb&) = delete;
  COpenUsb& operator=(const COpenUsb&) = delete;

  // Loads the library from the first of its two places that opens, looks
  // up the functions and starts an instance. Logged failures leave the
  // table without library or instance.
  void Load();
  bool IsLoaded() const { return m_posfileLibrary != nullptr && m_openusbhandle != 0; }

  // The two places of the library ("/usr/local/lib64/libopenusb.so", then
  // "/usr/local/lib/libopenusb.so"); null restores them.
  static void SetLibraryPaths(const char* a_szFirst, const char* a_szSecond);

  static constexpr size_t s_sizetFunctions = 46;
  // The names, in table order.
  static const char* const s_aszFunctionNames[s_sizetFunctions];

  COsFile* m_posfileLibrary = nullptr;
  openusb_handle_t m_openusbhandle = 0;
#define OPENUSB_TABLE_ENTRY(name) decltype(&::name) name = nullptr;
  OPENUSB_FUNCTION_LIST(OPENUSB_TABLE_ENTRY)
#undef OPENUSB_TABLE_ENTRY
};
