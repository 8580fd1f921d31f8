// The library's exported entries: the driver entry (a full driver session
// through the driver object) and the data entry (device-data reports
// without a session). Each takes one task text and returns one reply text,
// owned by the library: the calling thread's own copy, valid until that
// thread's next call of the same entry. Several threads may call at once;
// none sees another's reply or one being rewritten.
// The first task of a session must be an interfaceopen: it starts the
// service layer and creates the session's object; the task that ends the
// session destroys it and stops the service layer.
#pragma once

#include "os_def.h"

class CDevData;
class CDriver;

OS_EXPORT const char* DriverEntry(const char* a_szTask);
OS_EXPORT const char* DataEntry(const char* a_szTask);

// The last reply copied to a buffer of the entry's own (1024 bytes), the
// object deleted and the service layer stopped (when the entry started
// it), the interfaceopen flag cleared. The copy; a reply too long for the
// buffer gives the fixed reply of its status word ("success" or "fail").
const char* DestroyDriver(const char* a_szReply, CDriver** a_ppdriver, bool* a_pblInterfaceOpened);
const char* DestroyDevData(const char* a_szReply, CDevData*& a_rpdevdata, bool& a_rblInterfaceOpened);

// Registers the driver's own configuration sections, tags and defaults
// and starts the service layer; OsServicesStart's result.
int DrvOsServicesStart();
