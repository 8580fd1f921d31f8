// The handlers of the device-reply grammar, each named once: one list per
// report class, in the grammar's order. From these lists come the handler
// numbers, the trampolines each class declares, and their definitions
// (dp_trampolines.cpp). The XML reader finds a trampoline by its symbol,
// Class::Class_Handler(OsXmlCallback*), when the grammar is loaded.
#pragma once

#include "os_cosxml.h"

#define DP_HANDLERS_CTASK(X) \
  X(CTask, EnterTask) \
  X(CTask, ExitTask)

#define DP_HANDLERS_CREPORTSTATUS(X) \
  X(CReportStatus, EnterReportstatus) \
  X(CReportStatus, ExitReportstatus) \
  X(CReportStatus, EnterReportstatusStatus)

#define DP_HANDLERS_CREPORTCALIBRATE(X) \
  X(CReportCalibrate, EnterReportcalibrate) \
  X(CReportCalibrate, ExitReportcalibrate) \
  X(CReportCalibrate, EnterReportcalibrateCalibrationtimeout)

#define DP_HANDLERS_CREPORTCALIBRATEEND(X) \
  X(CReportCalibrateEnd, EnterReportcalibrateend) \
  X(CReportCalibrateEnd, ExitReportcalibrateend) \
  X(CReportCalibrateEnd, EnterReportcalibrateendMagnificationtestresultfront) \
  X(CReportCalibrateEnd, EnterReportcalibrateendMagnificationtestresultrear)

#define DP_HANDLERS_CREPORTCARTRIDGEDETECTED(X) \
  X(CReportCartridgeDetected, EnterReportcartridgedetected) \
  X(CReportCartridgeDetected, ExitReportcartridgedetected) \
  X(CReportCartridgeDetected, EnterReportcartridgedetectedPrinter) \
  X(CReportCartridgeDetected, EnterReportcartridgedetectedPrinterValue)

#define DP_HANDLERS_CREPORTCOMMANDS(X) \
  X(CReportCommands, EnterReportcommands) \
  X(CReportCommands, ExitReportcommands) \
  X(CReportCommands, EnterReportcommandsCommand)

#define DP_HANDLERS_CREPORTCONFIG(X) \
  X(CReportConfig, EnterReportconfig) \
  X(CReportConfig, ExitReportconfig) \
  X(CReportConfig, EnterReportconfigVendor) \
  X(CReportConfig, EnterReportconfigModel) \
  X(CReportConfig, EnterReportconfigSerialnumber) \
  X(CReportConfig, EnterReportconfigAdfautostart) \
  X(CReportConfig, EnterReportconfigAdfhandling) \
  X(CReportConfig, EnterReportconfigAdftimeout) \
  X(CReportConfig, EnterReportconfigAdftimeoutresponse) \
  X(CReportConfig, EnterReportconfigBackground) \
  X(CReportConfig, EnterReportconfigIascanner) \
  X(CReportConfig, EnterReportconfigImagecount) \
  X(CReportConfig, EnterReportconfigIntelligentDocumentProtection) \
  X(CReportConfig, EnterReportconfigLowpowermodetimeout) \
  X(CReportConfig, EnterReportconfigMagnificationfrontx) \
  X(CReportConfig, EnterReportconfigMagnificationfronty) \
  X(CReportConfig, EnterReportconfigMagnificationrearx) \
  X(CReportConfig, EnterReportconfigMagnificationreary) \
  X(CReportConfig, EnterReportconfigMeterfirstscan) \
  X(CReportConfig, EnterReportconfigMeterlampfront) \
  X(CReportConfig, EnterReportconfigMeterlamprear) \
  X(CReportConfig, EnterReportconfigMeterpagecount) \
  X(CReportConfig, EnterReportconfigMeterpower) \
  X(CReportConfig, EnterReportconfigMetertransport) \
  X(CReportConfig, EnterReportconfigMultifeedlength) \
  X(CReportConfig, EnterReportconfigMultifeedresponse) \
  X(CReportConfig, EnterReportconfigMultifeedsound) \
  X(CReportConfig, EnterReportconfigMultifeeduddssensitivity) \
  X(CReportConfig, EnterReportconfigPaperdetectable) \
  X(CReportConfig, EnterReportconfigPaperdetected) \
  X(CReportConfig, EnterReportconfigPaperjamresponse) \
  X(CReportConfig, EnterReportconfigPapersource) \
  X(CReportConfig, EnterReportconfigPatchtogglemode) \
  X(CReportConfig, EnterReportconfigPatchtoggleoutputfront) \
  X(CReportConfig, EnterReportconfigPatchtoggleoutputrear) \
  X(CReportConfig, EnterReportconfigPowerofftimeout) \
  X(CReportConfig, EnterReportconfigPowerofftimeoutenabled) \
  X(CReportConfig, EnterReportconfigPrinter) \
  X(CReportConfig, EnterReportconfigPrinterenabled) \
  X(CReportConfig, EnterReportconfigPrinterdatedelimiter) \
  X(CReportConfig, EnterReportconfigPrinterdateformat) \
  X(CReportConfig, EnterReportconfigPrinterfont) \
  X(CReportConfig, EnterReportconfigPrinterindex) \
  X(CReportConfig, EnterReportconfigPrinterindexdigits) \
  X(CReportConfig, EnterReportconfigPrinterindexformat) \
  X(CReportConfig, EnterReportconfigPrinterindexincrement) \
  X(CReportConfig, EnterReportconfigPrinterindexreset) \
  X(CReportConfig, EnterReportconfigPrinterindexresetvalue) \
  X(CReportConfig, EnterReportconfigPrinterposition) \
  X(CReportConfig, EnterReportconfigPrintertimeformat) \
  X(CReportConfig, EnterReportconfigPrinterwritesequence1) \
  X(CReportConfig, EnterReportconfigPrinterwritesequencemessage1) \
  X(CReportConfig, EnterReportconfigPrintertest) \
  X(CReportConfig, EnterReportconfigPrintonimagefront) \
  X(CReportConfig, EnterReportconfigPrintonimagepositionx) \
  X(CReportConfig, EnterReportconfigPrintonimagepositiony) \
  X(CReportConfig, EnterReportconfigPrintonimagerear) \
  X(CReportConfig, EnterReportconfigCountonlymode) \
  X(CReportConfig, EnterReportconfigSimulation) \
  X(CReportConfig, EnterReportconfigTimedate) \
  X(CReportConfig, EnterReportconfigTimedateutc)

#define DP_HANDLERS_CREPORTDEBUGLOG(X) \
  X(CReportDebugLog, EnterReportdebuglog) \
  X(CReportDebugLog, ExitReportdebuglog) \
  X(CReportDebugLog, EnterReportdebuglogLogfilename)

#define DP_HANDLERS_CREPORTDIAGNOSTIC(X) \
  X(CReportDiagnostic, EnterReportdiagnostic) \
  X(CReportDiagnostic, ExitReportdiagnostic) \
  X(CReportDiagnostic, EnterReportdiagnosticDiagendtime) \
  X(CReportDiagnostic, EnterReportdiagnosticDiagruntimeout) \
  X(CReportDiagnostic, EnterReportdiagnosticFilename) \
  X(CReportDiagnostic, EnterReportdiagnosticDiagnostictype) \
  X(CReportDiagnostic, EnterReportdiagnosticDiagnosticvalue) \
  X(CReportDiagnostic, EnterReportdiagnosticDatafileFilename) \
  X(CReportDiagnostic, EnterReportdiagnosticDatafileDatasize) \
  X(CReportDiagnostic, EnterReportdiagnosticDatafileDataoffset)

#define DP_HANDLERS_CREPORTENUM(X) \
  X(CReportEnum, EnterReportenum) \
  X(CReportEnum, ExitReportenum) \
  X(CReportEnum, EnterReportenumId) \
  X(CReportEnum, EnterReportenumValue)

#define DP_HANDLERS_CREPORTINQUIRY(X) \
  X(CReportInquiry, EnterReportinquiry)

#define DP_HANDLERS_CREPORTINTERFACEOPEN(X) \
  X(CReportInterfaceOpen, EnterReportinterfaceopen) \
  X(CReportInterfaceOpen, ExitReportinterfaceopen) \
  X(CReportInterfaceOpen, EnterReportinterfaceopenSimulateSimulation) \
  X(CReportInterfaceOpen, EnterReportinterfaceopenSimulateSimmodel) \
  X(CReportInterfaceOpen, EnterReportinterfaceopenSimulateSimflatbed) \
  X(CReportInterfaceOpen, EnterReportinterfaceopenSimulateSimflatbedIntegrated) \
  X(CReportInterfaceOpen, ExitReportinterfaceopenSimulateSimflag) \
  X(CReportInterfaceOpen, EnterReportinterfaceopenSimulateSimflagId) \
  X(CReportInterfaceOpen, EnterReportinterfaceopenSimulateSimflagValue) \
  X(CReportInterfaceOpen, EnterReportinterfaceopenSimulateSimflagText)

#define DP_HANDLERS_CREPORTLAMPSTATUS(X) \
  X(CReportLampStatus, EnterReportlampstatus) \
  X(CReportLampStatus, ExitReportlampstatus) \
  X(CReportLampStatus, EnterReportlampstatusLampwarmuptime)

#define DP_HANDLERS_CREPORTLOG(X) \
  X(CReportLog, EnterReportlog) \
  X(CReportLog, ExitReportlog) \
  X(CReportLog, EnterReportlogLogtype) \
  X(CReportLog, EnterReportlogFilename) \
  X(CReportLog, ExitReportlogDatafile) \
  X(CReportLog, EnterReportlogDatafileFilename) \
  X(CReportLog, EnterReportlogDatafileDatasize) \
  X(CReportLog, EnterReportlogDatafileDataoffset)

#define DP_HANDLERS_CREPORTMESSAGE(X) \
  X(CReportMessage, EnterReportMessage)

#define DP_HANDLERS_CREPORTOCPBUTTON(X) \
  X(CReportOcpButton, EnterReportOcpButton) \
  X(CReportOcpButton, ExitReportOcpButton) \
  X(CReportOcpButton, EnterReportOcpButtonOcpButton)

#define DP_HANDLERS_CREPORTRANGE(X) \
  X(CReportRange, EnterReportrange) \
  X(CReportRange, ExitReportrange) \
  X(CReportRange, EnterReportrangeId) \
  X(CReportRange, EnterReportrangeRangemin) \
  X(CReportRange, EnterReportrangeRangemax) \
  X(CReportRange, EnterReportrangeRangestep)

#define DP_HANDLERS_CREPORTSCANEND(X) \
  X(CReportScanEnd, EnterReportscanend) \
  X(CReportScanEnd, ExitReportscanend) \
  X(CReportScanEnd, EnterReportscanendMultifeedcount) \
  X(CReportScanEnd, EnterReportscanendPatchcountfront) \
  X(CReportScanEnd, EnterReportscanendPatchcountrear)

#define DP_HANDLERS_CREPORTSIMULATIONFLATBED(X) \
  X(CReportSimulationFlatbed, EnterReportsimulationflatbed) \
  X(CReportSimulationFlatbed, ExitReportsimulationflatbed) \
  X(CReportSimulationFlatbed, EnterReportsimulationflatbedId)

#define DP_HANDLERS_CREPORTSTRING(X) \
  X(CReportString, EnterReportstring) \
  X(CReportString, ExitReportstring) \
  X(CReportString, EnterReportstringId) \
  X(CReportString, EnterReportstringStringmaxlength)

#define DP_HANDLERS_CREPORTVERSION(X) \
  X(CReportVersion, EnterReportversion) \
  X(CReportVersion, ExitReportversion) \
  X(CReportVersion, EnterReportversionVersionnumber) \
  X(CReportVersion, EnterReportversionVersiontext) \
  X(CReportVersion, EnterReportversionVersionui) \
  X(CReportVersion, EnterReportversionVersiondevice) \
  X(CReportVersion, EnterReportversionVersionnexil) \
  X(CReportVersion, EnterReportversionVersionfirmware) \
  X(CReportVersion, EnterReportversionVersiondevicemanager)

#define DP_HANDLERS_CREPORTVERSIONUSER(X) \
  X(CReportVersionUser, EnterReportversionuser) \
  X(CReportVersionUser, ExitReportversionuser) \
  X(CReportVersionUser, EnterReportversionuserVersionnumber) \
  X(CReportVersionUser, EnterReportversionuserVersiontext) \
  X(CReportVersionUser, EnterReportversionuserVersionui) \
  X(CReportVersionUser, EnterReportversionuserVersiondevice) \
  X(CReportVersionUser, EnterReportversionuserVersionnexil) \
  X(CReportVersionUser, EnterReportversionuserVersionfirmware) \
  X(CReportVersionUser, EnterReportversionuserVersiondevicemanager)

#define DP_HANDLERS_CSETCONTEXT(X) \
  X(CSetContext, EnterSetcontext) \
  X(CSetContext, ExitSetcontext) \
  X(CSetContext, EnterSetcontextContext)

#define DP_HANDLERS_CREPORTRESOURCE(X) \
  X(CReportResource, EnterReportresource) \
  X(CReportResource, ExitReportresource) \
  X(CReportResource, EnterReportresourceFlatbed) \
  X(CReportResource, EnterReportresourceResourceDevicetype) \
  X(CReportResource, EnterReportresourceResourceDevicefilename)

#define DP_HANDLERS_CREPORTSETUPEND(X) \
  X(CReportSetupEnd, EnterReportsetupend)

#define DP_HANDLERS(X) \
  DP_HANDLERS_CTASK(X) \
  DP_HANDLERS_CREPORTSTATUS(X) \
  DP_HANDLERS_CREPORTCALIBRATE(X) \
  DP_HANDLERS_CREPORTCALIBRATEEND(X) \
  DP_HANDLERS_CREPORTCARTRIDGEDETECTED(X) \
  DP_HANDLERS_CREPORTCOMMANDS(X) \
  DP_HANDLERS_CREPORTCONFIG(X) \
  DP_HANDLERS_CREPORTDEBUGLOG(X) \
  DP_HANDLERS_CREPORTDIAGNOSTIC(X) \
  DP_HANDLERS_CREPORTENUM(X) \
  DP_HANDLERS_CREPORTINQUIRY(X) \
  DP_HANDLERS_CREPORTINTERFACEOPEN(X) \
  DP_HANDLERS_CREPORTLAMPSTATUS(X) \
  DP_HANDLERS_CREPORTLOG(X) \
  DP_HANDLERS_CREPORTMESSAGE(X) \
  DP_HANDLERS_CREPORTOCPBUTTON(X) \
  DP_HANDLERS_CREPORTRANGE(X) \
  DP_HANDLERS_CREPORTSCANEND(X) \
  DP_HANDLERS_CREPORTSIMULATIONFLATBED(X) \
  DP_HANDLERS_CREPORTSTRING(X) \
  DP_HANDLERS_CREPORTVERSION(X) \
  DP_HANDLERS_CREPORTVERSIONUSER(X) \
  DP_HANDLERS_CSETCONTEXT(X) \
  DP_HANDLERS_CREPORTRESOURCE(X) \
  DP_HANDLERS_CREPORTSETUPEND(X)

// One number per handler; a class's Handle operation tells its handlers
// apart by it.
enum EDPHANDLER : int {
#define DP_HANDLER_ENUM(Class, Handler) DP_HANDLER_##Handler,
  DP_HANDLERS(DP_HANDLER_ENUM)
#undef DP_HANDLER_ENUM
  DP_HANDLER_COUNT
};

// Declares, inside a report class, the trampolines of its list.
#define DP_DECLARE_TRAMPOLINE(Class, Handler) static EOSSTS Class##_##Handler(OsXmlCallback* a_posxmlcallback);

// A class whose handlers accept their elements without effect: it declares
// the trampolines of its list and answers every handler with 0, so that a
// reply holding its element walks on.
#define DP_ACCEPTING_CLASS(Class, HANDLERS)                                 \
  class Class {                                                             \
   public:                                                                  \
    HANDLERS(DP_DECLARE_TRAMPOLINE)                                         \
    EOSSTS Handle(EDPHANDLER, OsXmlCallback*) { return OS_STS_SUCCESS; } \
  };
