// The USB library's function table.
#include "os_copenusb.h"

#include <dlfcn.h>

const char* const COpenUsb::s_aszFunctionNames[COpenUsb::s_sizetFunctions] = {
#define OPENUSB_TABLE_NAME(name) #name,
    OPENUSB_FUNCTION_LIST(OPENUSB_TABLE_NAME)
#undef OPENUSB_TABLE_NAME
};

#define OPENUSB_TABLE_COUNT(name) +1
static_assert(0 OPENUSB_FUNCTION_LIST(OPENUSB_TABLE_COUNT) == COpenUsb::s_sizetFunctions);
#undef OPENUSB_TABLE_COUNT

COpenUsb::COpenUsb() = default;

COpenUsb::~COpenUsb() {
  if (m_openusbhandle) {
    if (openusb_set_debug) openusb_set_debug(m_openusbhandle, 0, 0, nullptr);
    if (openusb_fini) openusb_fini(m_openusbhandle);
    m_openusbhandle = 0;
  }
  if (m_pvLibrary) {
    dlclose(m_pvLibrary);
    m_pvLibrary = nullptr;
  }
}
