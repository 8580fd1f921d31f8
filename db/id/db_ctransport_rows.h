// The rows of the transport family and the kinds of rule they choose from:
// what the five rule operations of db_ctransport.h run for each class. The
// kinds are written in the units beside this one, one theme each.
#pragma once

#include <cstdint>
#include <span>

#include "db_crulekit.h"
#include "db_def.h"
#include "os_def.h"

class CDbDatum;
class CDbEnum;
class CDbRange;
class CDbString;

namespace transport {

// FixDefault.
enum class DefaultKind : uint8_t {
  Base,               // the container's own
  DualStacking,       // unsupported without the model's "dualstacking"
  Length,             // dual stacking, and the model's range of the length
  Sensor,             // unsupported without the ultrasonic sensitivity
  Zone,               // unsupported unless a sensor offers the ignore zone
  MultifeedResponse,  // the model's list, at least two values
  FeederMode,         // the model's list, at least two values, "normal" as default
  Protection,         // the model's list: none unsupported, one read-only
  PaperJam,           // the model's list in the model's order
  TimeoutResponse,    // the model's list in value order and the shared response
  Sound,              // a copy of the default sound in the user's sound directory
};

// FixAccess.
enum class AccessKind : uint8_t {
  Base,          // the container's own
  DualStacking,  // read-write while dual stacking is on, else disabled
  Length1,       // as dual stacking, disabled in length mode none
  Length2,       // hidden unless the length mode is between
  OffOnFlatbed,  // disabled on the flatbed
  Sensor,        // read-write while the sensitivity is supported and not none
  Zone,          // read-write while a sensor is set to the ignore zone
  Multifeed,     // read-write while multifeed detection is on, off the flatbed
  Sound,         // as Multifeed, while the sound is switched on
  Sheets,        // a count on the flatbed: more than one refused with disabled
  Images,        // the same, refused with read-write disabled
  Timeout,       // read-write while the feeder timeout is on
  PaperJam,      // read-write while the model lists jam responses
  Protection,    // hidden on the flatbed or without a value
};

// What a class does when the value that started a fix-up pass has the
// followed id.
enum class Reaction : uint8_t {
  Access,    // FixAccess
  PullDown,  // length 1 takes length 2 when this fell below it
  PushUp,    // length 2 takes length 1 when this rose above it
  ZeroAt,    // the count becomes 0 when the value is the one given
  ZeroFrom,  // the count becomes 0 when the value is the one given or more
  Resolve,   // the sound's own new value resolved to its copy
};

struct Follow {
  EDBID edbid;
  Reaction reaction;
  long lValue;  // of ZeroAt and ZeroFrom
};

// Validate.
enum class ValidateKind : uint8_t {
  Base,    // the container's own
  Sensor,  // the last active sensor stays on
  Sound,   // names a sound file that is there and not empty
};

// MakeXml.
enum class MakeXmlKind : uint8_t {
  Base,     // the container's own
  Sheets,   // "imagecount": sheets times the cameras on
  Images,   // "imagecount": the images, unless the sheets are counted
  Timeout,  // "adftimeout" and "adftimeoutfirstpage"
};

struct Row {
  EDBID edbid;
  DefaultKind edefault;
  AccessKind eaccess;
  std::span<const Follow> spanfollow;
  ValidateKind evalidate;
  MakeXmlKind emakexml;
};

// The row of a capability of the family; null for any other (logged).
const Row* RowOf(EDBID a_edbid);

// The kinds, each given the window-0 object it runs on.
EOSSTS FixDefault(DefaultKind a_edefault, CDbDatum& a_dbdatumOwn);
void FixAccess(AccessKind a_eaccess, CDbDatum& a_dbdatumOwn);
void React(const Follow& a_follow, const Row& a_row, CDbDatum& a_dbdatumOwn, const DbRuleModified& a_dbrulemodified);
EOSSTS ValidateSensor(CDbEnum& a_dbenumOwn, EDBID_WINDOW a_edbidwindow, long a_lValue);
void MakeXml(MakeXmlKind a_emakexml, CDbRange& a_dbrangeOwn, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget);

// The sound (db_ctransport_sound.cpp).
EOSSTS FixDefaultSound(CDbString& a_dbstringOwn);
void ResolveSound(CDbString& a_dbstringOwn);
EOSSTS ValidateSound(CDbString& a_dbstringOwn, EDBID_WINDOW a_edbidwindow, const char* a_szValue);

// The five ultrasonic sensors, in the order they are looked at: left, left
// centre, centre, right centre, right.
inline constexpr EDBID s_aedbidSensors[] = {DB_ID_ULTRASONICSENSORLEFT, DB_ID_ULTRASONICSENSORLEFTCENTER,
                                            DB_ID_ULTRASONICSENSORCENTER, DB_ID_ULTRASONICSENSORRIGHTCENTER,
                                            DB_ID_ULTRASONICSENSORRIGHT};

// A sensor's machine object in a window, without falling back to window 0;
// null when it is not supported there.
CDbDatum* SensorIn(EDBID_WINDOW a_edbidwindow, EDBID a_edbid);

// Whether multifeed detection is on: the ultrasonic sensitivity supported
// and not none, or length detection on.
bool IsMultifeedDetectionOn();

}  // namespace transport
