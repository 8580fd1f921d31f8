// The body of a task text: everything between the end of its "<task" start
// tag and "</task>". The start tag ends at the first ">" outside its
// attribute values, whichever quotes they use, so a value holding "'>" or
// a tag written in double quotes does not misplace the body.
#pragma once

#include <cstddef>

#include "os_def.h"

// Copies the body, terminated, into the buffer of a_sizetBody bytes. 0
// copied; 1 no start tag, or no "</task>" after it; 2 the body does not fit
// (buffer emptied); 3 a null text or buffer, or a buffer of 0 bytes. On
// every failure the buffer (when there is one) holds an empty text.
EOSSTS DevTaskBody(const char* a_szTask, char* a_szBody, size_t a_sizetBody);
