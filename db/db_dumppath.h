// Where the database's diagnostic dumps go: the log directory, the file
// named with the time of day.
#pragma once

#include <cstddef>

// "<log directory>/<name>_hhmmssmmm<extension>": the time of day goes before
// the name's last dot, or at its end. False when the path does not fit.
bool DbDumpPath(const char* a_szName, char* a_szPath, size_t a_sizetPath);
