// The facts of the scanner's information report, gathered once and shared
// by its three layouts (general text log, general XML log, about text).
// Each per-unit field is indexed by DevLogUnit. Zero-filled before use.
#pragma once

#include <cstddef>
#include <cstdint>

enum DevLogUnit : int {
  DEV_LOGUNIT_ADF = 0,
  DEV_LOGUNIT_FLATBED = 1,
  DEV_LOGUNIT_COUNT = 2,
};

// Sizes in characters, the terminating zero included.
constexpr size_t DEV_LOGINFO_TEXT = 256;
constexpr size_t DEV_LOGINFO_VERSION = 33;
constexpr size_t DEV_LOGINFO_DATE = 24;

// The meters of the report: whether each is shown (supported and not
// hidden) travels with its value.
enum DevLogMeter : int {
  DEV_LOGMETER_POWER = 0,
  DEV_LOGMETER_TRANSPORT = 1,
  DEV_LOGMETER_LAMPFRONT = 2,
  DEV_LOGMETER_LAMPREAR = 3,
  DEV_LOGMETER_FIRSTSCAN = 4,
  DEV_LOGMETER_PAGECOUNT = 5,
  DEV_LOGMETER_COUNT = 6,
};

struct LogInfo {
  char szCdTitle[DEV_LOGUNIT_COUNT][DEV_LOGINFO_TEXT];
  char szCdVersion[DEV_LOGUNIT_COUNT][DEV_LOGINFO_VERSION];  // user display format
  char szModel[DEV_LOGUNIT_COUNT][DEV_LOGINFO_TEXT];
  char szSerialNumber[DEV_LOGUNIT_COUNT][DEV_LOGINFO_VERSION];
  char szVersionCaller[DEV_LOGINFO_VERSION];
  char szVersionUi[DEV_LOGINFO_VERSION];
  char szVersionFirmware[DEV_LOGUNIT_COUNT][DEV_LOGINFO_VERSION];
  char szVersionNexil[DEV_LOGUNIT_COUNT][DEV_LOGINFO_VERSION];
  char szVersionDevice[DEV_LOGUNIT_COUNT][DEV_LOGINFO_VERSION];
  char szVersionDeviceManager[DEV_LOGUNIT_COUNT][DEV_LOGINFO_VERSION];
  char szVersionDriver[DEV_LOGINFO_VERSION];
  char szVersionDriverDravix[DEV_LOGINFO_VERSION];
  char szVersionDrvAssistUi[DEV_LOGINFO_VERSION];
  char szConnection[DEV_LOGUNIT_COUNT][DEV_LOGINFO_VERSION];
  uint8_t u8Printer;           // the model has an imprinter
  uint8_t u8Flatbed;           // the model has a flatbed
  int32_t i32BackgroundFront;  // 1 black, 2 white, 3 switchable
  int32_t i32BackgroundRear;
  char szTimeDate[DEV_LOGINFO_DATE];
  int64_t ai64Meter[DEV_LOGMETER_COUNT];  // tenths of hours, or a count; unused for the first-scan date
  bool ablMeterShown[DEV_LOGMETER_COUNT];
  char szMeterFirstScan[DEV_LOGINFO_DATE];
  int64_t i64MultifeedCount;
  bool blPatchCounts;  // the model counts patches (its patch toggle mode is supported)
  bool blDuplex;       // ... on both sides
  int64_t i64PatchCountFront;
  int64_t i64PatchCountRear;
  bool blConsumableMeters;  // the model names consumable-meter types
  char szLegalNotice[DEV_LOGINFO_TEXT];
};

// Whether a label may stand in for its default as a print format: the same
// conversions ("%d", "%1.1d", "%s"...) in the same order.
bool DevSameConversions(const char* a_szLabel, const char* a_szDefault);
