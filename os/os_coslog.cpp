// Placeholder until the log lands.
#include "os_coslog.h"

#include <cerrno>

COsLog* g_poslog = nullptr;

int COsLog::Message(const char*, long, long, const char*, ...) { return errno; }
long COsLog::GetDebugLevel() { return 0; }
