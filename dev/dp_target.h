// What a device reply is read into, and what every reply handler reads from
// its callback record. A reply is dispatched against the capability
// database, a caller's log record or nothing; the kind travels with the
// pointer, so that a handler never writes through a pointer of the other
// kind: an element whose handler needs another target is ignored.
#pragma once

#include "os_cosxml.h"

class CDatabase;
struct DeviceLog;

enum EDEVTARGET : int {
  DEV_TARGET_NONE = 0,
  DEV_TARGET_DATABASE = 1,
  DEV_TARGET_DEVICELOG = 2,
};

struct DevDispatchTarget {
  EDEVTARGET edevtarget;
  void* pvTarget;

  static DevDispatchTarget None() { return {DEV_TARGET_NONE, nullptr}; }
  static DevDispatchTarget Database(CDatabase* a_pdatabase) { return {DEV_TARGET_DATABASE, a_pdatabase}; }
  static DevDispatchTarget Log(DeviceLog* a_pdevicelog) { return {DEV_TARGET_DEVICELOG, a_pdevicelog}; }
  // The database, or null for another kind of target.
  CDatabase* GetDatabase() const {
    return edevtarget == DEV_TARGET_DATABASE ? static_cast<CDatabase*>(pvTarget) : nullptr;
  }
  DeviceLog* GetDeviceLog() const {
    return edevtarget == DEV_TARGET_DEVICELOG ? static_cast<DeviceLog*>(pvTarget) : nullptr;
  }
};

// The element's text; empty when it has none.
const char* DpContent(const OsXmlCallback* a_posxmlcallback);
// The database the walk writes, or null (logged at debug level with the
// element) when the reply was dispatched against another target.
CDatabase* DpDatabase(const OsXmlCallback* a_posxmlcallback);
// The log record the walk fills, or null (logged as above).
DeviceLog* DpDeviceLog(const OsXmlCallback* a_posxmlcallback);
// A signed decimal number: leading blanks skipped, reading stops at the
// first character that is not a digit, 0 without digits; saturated at the
// ends of long's range.
long DpNumber(const char* a_szText);
