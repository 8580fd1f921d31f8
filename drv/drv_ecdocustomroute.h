// Where a custom colour-dropout (ecdocustom) request goes, shared by the
// front end's commands and the GUI's: begin and end reach the feeder, then
// the flatbed when the model has one (only after the feeder succeeded);
// every other request reaches the current unit. Each unit's request goes to
// its device manager when the model names one for them ("ecdocustom"),
// else to its image library. The configuration is read under the database
// lock; the device is called with it released by the caller.
#pragma once

#include <functional>

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDev;
class COsXmlTask;

// Calls a_fnUnit for each unit the request reaches, in order, and stops at
// the first failure; the last result.
EOSSTS DrvEcdoCustomRoute(CDatabase* a_pdatabase, bool a_blBothUnits,
                          const std::function<EOSSTS(EDBID_FIRMWARE)>& a_fnUnit);
// The unit's answer to the request task; null when none came.
const char* DrvEcdoCustomSend(CDatabase* a_pdatabase, CDev* a_pdev, EDBID_FIRMWARE a_edbidfirmware,
                              COsXmlTask* a_posxmltask);
