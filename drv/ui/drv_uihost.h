// What the user-interface bridges ask of the process they run in.
#pragma once

#include <cstddef>

#include "dev_drvconfig.h"

// Whether the driver runs inside the WIA host: only the Windows platform
// has one, and there "wiaentry.dll" can be loaded.
bool DrvUiWiaHost();
// A text of the main configuration section; "" when it has none or before
// the configuration exists.
const char* DrvUiCfgText(unsigned a_uTag);

// How a bridge's program may be forced, and the words its log lines use.
struct DrvUiForce {
  const char* szPrefix;           // "gui>>>"
  const char* szWiaLog;           // the line when the WIA host turns it off
  const char* szEnvironment;      // its own variable, asked first
  EDRVCFGTAG edrvcfgtag;          // its entry of the driver's configuration
  const char* szDriverConfigLog;  // that entry's name in the log
};
// The forced program: "none" inside the WIA host, else the first of its own
// variable, PMX_FORCEGUI, its driver configuration entry and the main
// configuration's ForceGUI, each logged. False (an empty path): none.
bool DrvUiForcedPath(const DrvUiForce& a_drvuiforce, char* a_szPath, size_t a_sizetPath);
