// The reportcartridgedetected report: the printer cartridges the scanner
// finds become the current items of CARTRIDGEDETECTED, "none" when it finds
// none.
#pragma once

#include "dp_handlers.h"

class CReportCartridgeDetected {
 public:
  DP_HANDLERS_CREPORTCARTRIDGEDETECTED(DP_DECLARE_TRAMPOLINE)
  EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);
};
