// What the user-interface bridges ask of the process they run in.
#pragma once

// Whether the driver runs inside the WIA host: only the Windows platform
// has one, and there "wiaentry.dll" can be loaded.
bool DrvUiWiaHost();
// A text of the main configuration section; "" when it has none or before
// the configuration exists.
const char* DrvUiCfgText(unsigned a_uTag);
