// The report classes whose elements are accepted without effect.
#pragma once

#include "dp_handlers.h"

DP_ACCEPTING_CLASS(CReportCalibrate, DP_HANDLERS_CREPORTCALIBRATE)
DP_ACCEPTING_CLASS(CReportCommands, DP_HANDLERS_CREPORTCOMMANDS)
DP_ACCEPTING_CLASS(CReportSimulationFlatbed, DP_HANDLERS_CREPORTSIMULATIONFLATBED)
