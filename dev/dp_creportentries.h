// The reports whose elements each go to one entry of the model
// configuration (target 1): the calibration end's magnification results,
// the lamps' warm-up time, the operator panel's button, the scan end's
// counters and the flatbed unit a feeder names. One table row per element
// (dp_creportentries.cpp).
#pragma once

#include "dp_handlers.h"

// The element's content goes into its row's entry; handlers without a row
// accept their element.
EOSSTS DpStoreConfigEntry(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback);

#define DP_CONFIG_ENTRY_CLASS(Class, HANDLERS)                                      \
  class Class {                                                                     \
   public:                                                                          \
    HANDLERS(DP_DECLARE_TRAMPOLINE)                                                 \
    EOSSTS Handle(EDPHANDLER a_edphandler, OsXmlCallback* a_posxmlcallback) {       \
      return DpStoreConfigEntry(a_edphandler, a_posxmlcallback);                    \
    }                                                                               \
  };

DP_CONFIG_ENTRY_CLASS(CReportCalibrateEnd, DP_HANDLERS_CREPORTCALIBRATEEND)
DP_CONFIG_ENTRY_CLASS(CReportLampStatus, DP_HANDLERS_CREPORTLAMPSTATUS)
DP_CONFIG_ENTRY_CLASS(CReportOcpButton, DP_HANDLERS_CREPORTOCPBUTTON)
DP_CONFIG_ENTRY_CLASS(CReportScanEnd, DP_HANDLERS_CREPORTSCANEND)
DP_CONFIG_ENTRY_CLASS(CReportResource, DP_HANDLERS_CREPORTRESOURCE)

#undef DP_CONFIG_ENTRY_CLASS
