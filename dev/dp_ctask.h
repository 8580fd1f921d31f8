// The task element around every device reply: accepted, nothing to record.
#pragma once

#include "dp_handlers.h"

DP_ACCEPTING_CLASS(CTask, DP_HANDLERS_CTASK)
