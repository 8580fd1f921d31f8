// The function table of the USB library: the library handle, the library's
// own instance handle and one pointer per function, in a fixed order.
#pragma once

#include <cstddef>

#include "os_def.h"
#include "os_openusb.h"

class COpenUsb {
 public:
  // An empty table: no library, every pointer null (a caller may fill it).
  COpenUsb();
  // Gives the instance back and closes the library, when there are any.
  ~COpenUsb();
  COpenUsb(const COpenUsb&) = delete;
  COpenUsb& operator=(const COpenUsb&) = delete;

  static constexpr size_t s_sizetFunctions = 46;
  // The names, in table order.
  static const char* const s_aszFunctionNames[s_sizetFunctions];

  void* m_pvLibrary = nullptr;
  openusb_handle_t m_openusbhandle = 0;
#define OPENUSB_TABLE_ENTRY(name) decltype(&::name) name = nullptr;
  OPENUSB_FUNCTION_LIST(OPENUSB_TABLE_ENTRY)
#undef OPENUSB_TABLE_ENTRY
};
