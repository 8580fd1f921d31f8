// The service layer's start and stop: the exported entries, the module's
// settings XML, and the helpers that the start, the stop and the arguments
// share.
#pragma once

#include <atomic>
#include <cstddef>

#include "os_coscfg.h"
#include "os_cosmem.h"
#include "os_def.h"

// Starts the service layer for the caller (whose text may name its own
// configuration tables); 0, or 1 when the directories could not be set up.
OS_EXPORT int OsServicesStart(const char* a_szCaller);
// Stops it and returns to the unstarted state; 0.
OS_EXPORT int OsServicesStop();
// Sets the log settings and builds (or takes) the arguments XML.
OS_EXPORT int OsServicesSetArguments(const char* a_szLogPath, const char* a_szLogModel, const char* a_szLogLevel,
                                     const char* a_szArguments, const char* a_szRootPath, bool a_blFromInterfaceOpen,
                                     bool a_blForceSetAccess);
// Prepares and publishes the arguments for a caller that drives the library
// through an interfaceopen task.
OS_EXPORT int OsServicesProcessInterfaceOpen(const char* a_szTask);

// The module's settings XML; an entry may point it elsewhere before start.
extern const char* g_szOsXml;

// True while the service layer runs for an ISIS caller: the last
// interfaceopen task named the caller "isis" (any case).
extern std::atomic<bool> g_blIsISIS;

// Reads inherited arguments; run by a static initialiser at library load.
void OsCfgSharedLibraryMain();

// What one start takes from the settings XML.
struct OsServicesSettings {
  char szUniqueName[64];
  EOSCFGENTITY eoscfgentity;
  char szLogFile[512];
  long lLevel;
  char szLogFilter[128];
  EOSMEMMETHOD eosmemmethod;
  bool blForceSetAccess;
  OsCfgVersion oscfgversion;
};
void OsServicesReadSettings(const char* a_szXml, OsServicesSettings* a_posservicessettings);

// The text between <a_szName> and </a_szName> (a CDATA wrapper dropped):
// 0; 6 when the element is missing; 2 when it does not fit (then emptied).
EOSSTS OsServicesGetElement(const char* a_szXml, const char* a_szName, char* a_szValue, size_t a_sizetValue);
// An element read as a setting: a value written _T("...") is unwrapped, and
// "0" or "NULL" (any case) give the empty text, as does a missing element.
void OsServicesGetSetting(const char* a_szXml, const char* a_szName, char* a_szValue, size_t a_sizetValue);

// The roots of a caller's tree, from a configuration that is not loaded
// (the caller's name, utility layout): the parent of the writable root, the
// model directory, the company directory and the writable root (company
// path). Each buffer holds COsCfgImpl::kField bytes. Logs and fails when the
// library's place or the root cannot be worked out.
EOSSTS OsServicesFindRoots(const char* a_szCaller, bool a_blForceSetAccess, char* a_szRoot, char* a_szModel,
                           char* a_szCompanyDirectory, char* a_szCompanyPath);

// Whether a text holds both "<arguments>" and "</arguments>".
bool OsServicesIsArguments(const char* a_szText);
// "1" in PMX_OSSERVICESARGUMENTSDISABLED wipes the argument variables (and
// itself) before they are read.
void OsServicesHandleDisabled();
