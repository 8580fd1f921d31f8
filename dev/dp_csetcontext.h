// The setcontext report: accepted, nothing to record.
#pragma once

#include "dp_handlers.h"

DP_ACCEPTING_CLASS(CSetContext, DP_HANDLERS_CSETCONTEXT)
