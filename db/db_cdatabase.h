// The capability database of one driver object: owns the datum table and the
// components of the database, and is the one object through which the rest
// of the driver reads and writes settings.
//
// The class is declared here by theme, each theme implemented in a unit of
// its own (named beside it); a later theme adds a section and a unit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

class CDbConfig;
class CDbDatum;
class CDbFrame;
class CDbIa;
class CDbLabel;
class CDbLookup;
class CDbNotify;
class CDbProfileList;
class CDbVersion;
class CDev;
class COsXmlTask;
struct DbConfigRecord;
struct DbDatumCommon;
struct DbLookup2;
struct DbLookupEnum;
struct DbLookupEnumTexts;
// One record of the colour tables (filled by the colour-table rules); a
// value of 0 or an empty label ends the list.
struct DbColorTableRecord {
  char szFile[512];
  char szName[64];        // English name
  int32_t i32Value;       // a COLORTABLE value
  int64_t i64Default;     // record 0: the default table's value
  int64_t i64Reserved;
  uint8_t u8Flag;
  char szLabel[64];       // display label
};
constexpr long DB_COLORTABLE_RECORDS = 64;

// One colour-dropout entry of the scanner (filled by the device engine); a
// value of 0 or an empty name ends the list.
struct DbEcdoRecord {
  uint32_t u32Value;      // an ECDO value
  char szName[256];       // as the scanner reports it, sent for feeder scans
  char szNameFlatbed[256];
  char szLabel[1024];     // display label
  char szKind[64];        // "normal", "discovery", "pmcdo" or "normalformdata"
  char szAlgorithm[64];
};
constexpr long DB_ECDO_RECORDS = 63;
struct DbEcdoHeader {
  DbEcdoRecord adbecdorecord[DB_ECDO_RECORDS];
};
// The custom colour dropouts the user has learnt (filled by the device
// engine), beside the scanner's own list and ended the same way.
constexpr long DB_ECDOCUSTOM_RECORDS = 10;
struct DbEcdoCustomHeader {
  DbEcdoRecord adbecdorecord[DB_ECDOCUSTOM_RECORDS];
};

// What a front end's override document forces on the scanner whatever the
// settings say (filled by the driver's override parser, read by the rules
// that write the device tasks); 0 in a word means no override.
struct DbOverride {
  uint32_t u32DocumentType;  // a DOCUMENTTYPE value
  uint32_t u32Ecdo;          // the value of an entry of the scanner's list (DbEcdoHeader)
  uint32_t u32EcdoCustom;    // the value of an entry of the custom list (DbEcdoCustomHeader)
};

// What the dropout rules keep of the lists between their rebuilds: whether
// each list is numbered, and per camera (bins 2 to 5) the name of the
// dropout selected before a language change, chosen again by that name once
// the list is rebuilt.
struct DbEcdoCache {
  bool blLoaded;
  bool blCustomLoaded;
  char aszName[4][sizeof DbEcdoRecord::szName];
};

// What the language rule keeps for its database: whether it has built the
// list of languages, and whether a fix-up pass has applied the language yet
// (the first pass does, whichever value started it). A database opened
// again builds and applies both anew.
struct DbLanguageState {
  bool blListBuilt;
  bool blApplied;
};

// The suffix of a configuration-record key, defined with the records.
enum EDBCONFIGTARGET : int;
// The target of the keys common to both scanner units.
constexpr EDBCONFIGTARGET DB_EDBCONFIGTARGET_COMMON = static_cast<EDBCONFIGTARGET>(1);
// A paper size, defined with the frame geometry.
enum EDBID_SUPPORTEDSIZES : int;

// Values of single capabilities that the database reads or hands over.
typedef int EDBID_CROPPINGMODE;  // a CROPPINGMODE value
typedef int EDBID_ECDO;          // an ECDO value
typedef int32_t EDBSCANSOURCE;   // where the device engine scans from; 1 by default

// Text buffers of a database: SetData and GetData select one by flag.
constexpr int DB_DATA_BUFFERS = 2;
// A model name holds at most 31 characters.
constexpr size_t DB_MODELNAME_SIZE = 32;
// Texts of the last printer and image-address errors.
constexpr size_t DB_LASTERROR_SIZE = 1024;
// The strings a print template is turned into, each of that many bytes.
constexpr size_t DB_PRINTER_STRINGS = 4;
constexpr size_t DB_PRINTER_STRING_SIZE = 512;
// Window-bins: window times 4 plus the camera bin less 2.
constexpr int DB_WINDOWBIN_COUNT = 44;

// A value callback, as the datum keeps it: it receives the datum's callback
// record.
typedef EOSSTS (*PFNDBCALLBACK)(void* a_pvDbCallbackRecord);

// Answers true when a data buffer of that many bytes is to fail as if memory
// ran out. Tests use it.
typedef bool (*PFNDBDATAFAIL)(size_t a_sizetBytes);

// The attribute tasks: a callback hands the finished device task to a
// library and answers 0 when the library took it.
typedef EOSSTS (*PFNDBMAKEXMLCALLBACK)(void* a_pvUser);
// What the learning of a custom colour dropout saves and restores (kept by
// the device engine), then the name of the dropout it sends.
struct DbEcdoCustomSettings {
  int32_t ai32Saved[14];
  char szName[512];  // "(none)" while no dropout is learnt
};

// The debug settings the front end's interfaceopen gives, kept for the
// device managers and reported back by uiend.
constexpr size_t DB_DEBUG_TEXT = 64;
struct DbDebugRecord {
  char szLogging[DB_DEBUG_TEXT];            // "off", "on" or "custom"
  int32_t i32LoggingLevel;
  char szImagesFromScanner[DB_DEBUG_TEXT];  // "on" keeps the scanner's images
  char szImagesToApplication[DB_DEBUG_TEXT];  // "on" dumps the images handed over
};

// The simulation the front end asks for, and what a simulating device
// manager reports of itself: the first model and the first flatbed are the
// ones simulated. Every text field holds one character less than its size;
// an empty name or flag id ends its list.
constexpr size_t DB_SIM_TEXT = 64;
constexpr size_t DB_SIM_NAME = 255;
constexpr size_t DB_SIM_FLAGTEXT = 1024;
constexpr long DB_SIM_MODELS = 10;
constexpr long DB_SIM_FLATBEDS = 5;
constexpr long DB_SIM_FLAGS = 32;
struct DbSimFlag {
  char szId[DB_SIM_NAME];
  char szValue[DB_SIM_NAME];
  char szText[DB_SIM_FLAGTEXT];
};
struct DbSimulationRecord {
  char szSimulation[DB_SIM_TEXT];
  char aszModel[DB_SIM_MODELS][DB_SIM_NAME];
  char aszFlatbed[DB_SIM_FLATBEDS][DB_SIM_NAME];
  char szFlatbedIntegrated[DB_SIM_NAME];
  DbSimFlag adbsimflag[DB_SIM_FLAGS];
};

// A text field of the debug and simulation records.
enum EDBRECORDFIELD : int {
  DB_RECORD_LOGGING,
  DB_RECORD_IMAGESFROMSCANNER,
  DB_RECORD_IMAGESTOAPPLICATION,
  DB_RECORD_SIMULATION,
  DB_RECORD_SIMMODEL,             // indexed, DB_SIM_MODELS
  DB_RECORD_SIMFLATBED,           // indexed, DB_SIM_FLATBEDS
  DB_RECORD_SIMFLATBEDINTEGRATED,
  DB_RECORD_SIMFLAGID,            // indexed, DB_SIM_FLAGS
  DB_RECORD_SIMFLAGVALUE,         // indexed, DB_SIM_FLAGS
  DB_RECORD_SIMFLAGTEXT,          // indexed, DB_SIM_FLAGS
};

class CDatabase {
 public:
  // -------------------------------------------------------------------------
  // Construction and loading (db_cdatabase.cpp)
  // -------------------------------------------------------------------------
  // One database owns the process's datum table at a time: a database made
  // while another lives builds nothing, logs, and answers IsValid false.
  CDatabase();
  ~CDatabase();
  CDatabase(const CDatabase&) = delete;
  CDatabase& operator=(const CDatabase&) = delete;
  // Whether this database holds the datum table.
  bool IsValid() const { return m_pdatumcommon != nullptr; }

  // The lookup tables, then the profile list; 0 whatever those report (each
  // failure is logged), 13 for another API.
  EDBSTS Load(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile, bool a_blFlag);
  EDBSTS LoadLookup(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile);

  // -------------------------------------------------------------------------
  // State bits of the datum table (db_cdatabase.cpp)
  // -------------------------------------------------------------------------
  void SetDbState(EDBSTATE a_edbstate);
  void ClearDbState(EDBSTATE a_edbstate);
  long TestDbState(EDBSTATE a_edbstate);

  // -------------------------------------------------------------------------
  // Datums by slot, and which capabilities the scanner has
  // (db_cdatabase_slots.cpp)
  // -------------------------------------------------------------------------
  // The window-0 datum of a bin (1..5) and id (1..252); null when empty.
  CDbDatum* FindDirect(EDBBIN a_edbbin, EDBID a_edbid);
  // The datum of a window (0..10), bin (1..5) and id; the blank datum
  // (access 0) for an empty slot, null for arguments out of range.
  CDbDatum* FindInWindowBin(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);
  // The accessible datum of a window-bin (0..43) and id: its camera's, else
  // its window's machine datum; null when neither is accessible.
  CDbDatum* FindInWindowBin(EDBID_WINDOWBIN a_edbidwindowbin, EDBID a_edbid);
  bool IsIdSupported(EDBID a_edbid);
  bool IsIdSupportedAndNotHidden(EDBID a_edbid);
  bool IsIdColor(EDBID a_edbid);
  bool IsIdBitonal(EDBID a_edbid);

  // -------------------------------------------------------------------------
  // Windows and bins (db_cdatabase_windows.cpp)
  // -------------------------------------------------------------------------
  // -1 for the machine bins and for arguments out of range (logged).
  EDBID_WINDOWBIN ComposeWindowBin(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  // Both -1 for a window-bin out of range (logged).
  void DecomposeWindowBin(EDBID_WINDOWBIN a_edbidwindowbin, EDBID_WINDOW* a_pedbidwindow, EDBBIN* a_pedbbin);
  EDBBIN GetBinFromWindowBin(EDBID_WINDOWBIN a_edbidwindowbin);
  long GetWindowMax();
  EDBBIN GetBinOtherSide(EDBBIN a_edbbin);
  EDBBIN GetBinSameSide(EDBBIN a_edbbin);
  EDBBIN GetBinOppositeImageSide(EDBBIN a_edbbin);
  // "bitonalfront", "bitonalrear", "colorfront" or "colorrear".
  const char* GetContextTag(EDBBIN a_edbbin);
  // Windows 1 to 10 back to an unused one-inch frame with the camera off.
  EDBSTS DeleteAllWindows();

  // -------------------------------------------------------------------------
  // Look-ups in the current window (db_cdatabase_find.cpp)
  // -------------------------------------------------------------------------
  // A datum counts as found only when its access is not 0.
  // The current window: the value of WINDOW (0 without it).
  EDBID_WINDOW GetWindow();
  // The datum's window; the current window without a datum.
  EDBID_WINDOW GetWindow(CDbDatum* a_pdbdatum);
  // The current window-bin: the value of WINDOWBIN (0 without it).
  EDBID_WINDOWBIN GetWindowBin();
  // The camera of the current window-bin: bins 2..5 give 0..3.
  long GetCameraIndex();
  // The machine datum of the current window, else the datum of the current
  // window-bin's bin.
  CDbDatum* Find(EDBID a_edbid);
  // The datum of the current window and a bin (1..5).
  CDbDatum* FindInBin(EDBBIN a_edbbin, EDBID a_edbid);
  // The machine datum of the current window, else the datum of a camera bin.
  CDbDatum* FindMachineOrBin(EDBBIN a_edbbin, EDBID a_edbid);
  // The datum of a capability named without "DB_ID_" (any case).
  CDbDatum* FindFromName(EDBBIN a_edbbin, const char* a_szName);
  // The datum of the same capability on the other side (2 and 3, 4 and 5)
  // or in the other colour mode of the same side (2 and 4, 3 and 5).
  CDbDatum* GetDatumOtherSide(CDbDatum* a_pdbdatum);
  CDbDatum* GetDatumSameSide(CDbDatum* a_pdbdatum);
  bool IsCurrentOtherSideMatch(CDbDatum* a_pdbdatum);
  bool IsCurrentOtherStreamMatch(CDbDatum* a_pdbdatum);
  // The datum a change is to be copied to, or none: the other colour mode
  // while the images may not differ, the other side while the sides may
  // not differ.
  CDbDatum* GetLinkedImage(CDbDatum* a_pdbdatum);
  CDbDatum* GetLinkedSide(CDbDatum* a_pdbdatum);
  // The first camera datum (bins 2..5) of the capability that started the
  // running fix-up pass.
  CDbDatum* IsAnyWasModified(EDBID a_edbid);

  // -------------------------------------------------------------------------
  // Cameras, windows and the scanner unit (db_cdatabase_cameras.cpp)
  // -------------------------------------------------------------------------
  // Whether CAMERAENABLE of the bin is on (2) in the current window.
  bool GetCameraEnable(EDBBIN a_edbbin);
  // The cameras on: all four for two-sided input, else the front ones.
  long GetNumCameraEnable();
  // Validated by WINDOW, then set through the set path.
  EDBSTS SetWindow(EDBID_WINDOW a_edbidwindow);
  // Makes the current window-bin the first camera on in the current window
  // (colour first when WINDOWBIN's list starts with a colour camera). With
  // no camera on there is no window-bin to take: WINDOWBIN refuses -1 and
  // stays as it was.
  EDBSTS SetCurrentWindowBin();
  // Moves windows after the current one down by one and switches window
  // 10's cameras off; 14 when window 1 has no camera on (nothing changes).
  EDBSTS DeleteCurrentWindow(EDBID_WINDOWBIN a_edbidwindowbin);
  bool IsFrontAndRearIdentical(EDBBIN a_edbbin);
  // Whether the bin's frame is a crop box of its own.
  bool IsDefinedCropbox(EDBBIN a_edbbin);
  // Whether the flatbed unit scans.
  bool NeedScanFromFlatbed();
  // The unit the attribute tasks are being built for (1 feeder, 2 flatbed),
  // 0 outside; while it is set, it alone answers NeedScanFromFlatbed.
  void SetUnitOverride(int a_iUnit) { m_iUnitOverride = a_iUnit; }
  int GetUnitOverride() const { return m_iUnitOverride; }
  // The window whose windowadd is being built, -1 outside; while it is set,
  // GetAdjustedFrame fits that window's frame instead of the current one's.
  void SetWindowOverride(EDBID_WINDOW a_edbidwindow) { m_edbidwindowOverride = a_edbidwindow; }
  EDBID_WINDOW GetWindowOverride() const { return m_edbidwindowOverride; }
  // The cropping mode a preview applies for a mode (0 outside preview).
  EDBID_CROPPINGMODE GetCroppingForPreview(EDBID_CROPPINGMODE a_edbidcroppingmode);
  bool IsCroppingBoxAlignmentCenter(EDBID_CROPPINGMODE a_edbidcroppingmode);

  // -------------------------------------------------------------------------
  // The feeder's paper sensor (db_cdatabase_feeder.cpp)
  // -------------------------------------------------------------------------
  // FEEDERLOADED, read from the device at most once in two seconds by the
  // whole process; no lock is held while the device answers, so callers on
  // other threads that find the reading stale meanwhile ask too.
  long GetFeederLoaded();
  // Seam: the clock of the cache in seconds; null restores the time stamp
  // of the time service. Tests use it.
  static void SetFeederLoadedClock(int64_t (*a_pfnSeconds)());

  // -------------------------------------------------------------------------
  // Frames kept on the sheet (db_cdatabase_frames.cpp)
  // -------------------------------------------------------------------------
  // A frame side of the datum's bin in the current window (the window of the
  // windowadd being built, while one is), clipped to the sheet of the unit
  // that scans.
  long GetAdjustedFrame(CDbDatum* a_pdbdatum);
  // Caps a range at the physical height (a frame so that its turned extent
  // fits); with a_blOnlyWhenWithin, only while that height is within the
  // range's maximum. The range's SetCurrent status.
  EDBSTS FixRangeFromPhysicalHeightAdjust(CDbDatum* a_pdbdatum, bool a_blOnlyWhenWithin);
  // The current list of a paper-size enumeration: the default sizes no
  // higher than the physical height.
  void FixImagePresetFromPhysicalHeightAdjust(CDbDatum* a_pdbdatum);
  // The lowest frame bottom the windows ask for, for the capabilities whose
  // change can move it; 0 for the others.
  long GetHeightMax(CDbDatum* a_pdbdatum);
  // Whether a change of the capability can move that bottom.
  static bool MovesFrameBottom(EDBID a_edbid);

  // -------------------------------------------------------------------------
  // Value shortcuts by capability number, through Find
  // (db_cdatabase_shortcuts.cpp)
  // -------------------------------------------------------------------------
  long GetCurrentLongFromId(EDBID a_edbid);
  long GetDefaultLongFromId(EDBID a_edbid);
  long GetRestoreLongFromId(EDBID a_edbid);
  EDBSTS SetCurrentLongFromId(EDBID a_edbid, long a_lValue, bool a_blOnlyThis);
  EDBSTS ForceCurrentLongFromId(EDBID a_edbid, long a_lValue);
  EDBSTS ResetCurrentFromId(EDBID a_edbid);
  const char* GetCurrentStringFromId(EDBID a_edbid);
  const char* GetCurrentStringNoCallback(EDBID a_edbid);
  EDBSTS SetCurrentStringFromId(EDBID a_edbid, const char* a_szValue);
  EDBSTS ForceCurrentStringFromId(EDBID a_edbid, const char* a_szValue);
  EDBCONTAINERTYPE GetContainerTypeFromId(EDBID a_edbid);
  // With bin 6 the datum of Find.
  EDBACCESS GetAccessFromId(EDBID a_edbid, EDBBIN a_edbbin);
  long GetCurrentLongFromIdBin(EDBID a_edbid, EDBBIN a_edbbin);
  EDBSTS SetCurrentLongFromIdBin(EDBID a_edbid, EDBBIN a_edbbin, long a_lValue);
  // 0 for the current value; else the container's validation (window of
  // the datum).
  EDBSTS ValidateLongFromId(EDBID a_edbid, long a_lValue);
  size_t StringGetMaxLength(EDBID a_edbid);
  long EnumGetCurrentItemCount(EDBID a_edbid);

  // -------------------------------------------------------------------------
  // Datum attributes and value helpers (db_cdatabase_attributes.cpp)
  // -------------------------------------------------------------------------
  EDBID GetId(CDbDatum* a_pdbdatum);
  EDBBIN GetBin(CDbDatum* a_pdbdatum);
  EDBDATATYPE GetDataType(CDbDatum* a_pdbdatum);
  EDBCONTAINERTYPE GetContainerType(CDbDatum* a_pdbdatum);
  EDBACCESS GetAccess(CDbDatum* a_pdbdatum);
  EDBSTS SetAccess(CDbDatum* a_pdbdatum, EDBACCESS a_edbaccess);
  const char* GetAccessTag(EDBACCESS a_edbaccess);
  EDBDEVICEDATA GetDeviceData(CDbDatum* a_pdbdatum);
  // The capability name without "DB_ID_"; "???" without a lookup record.
  const char* GetName(CDbDatum* a_pdbdatum);
  DbLookup2* LookupGet(CDbDatum* a_pdbdatum);
  bool IsCroppingBoxAllow(EDBID_CROPPINGMODE a_edbidcroppingmode);
  // Whether the scanner's dropout entry of that value is a multiple-colour one.
  bool IsEcdoMultipleColor(EDBID_ECDO a_edbidecdo);
  EDBID_SUPPORTEDSIZES GetDefaultSupportedSizes();
  // The same values on both sides, in any order and repetition.
  bool IsSameList(const long* a_plA, long a_lA, const long* a_plB, long a_lB);

  // -------------------------------------------------------------------------
  // Values: readers and the set path (db_cdatabase_values.cpp)
  // -------------------------------------------------------------------------
  // Readers: a null datum is logged and reads as 0 or none.
  long GetCurrentLong(CDbDatum* a_pdbdatum);
  long GetCurrentLongNoCallback(CDbDatum* a_pdbdatum);
  long GetDefaultLong(CDbDatum* a_pdbdatum);
  long GetPreviousLong(CDbDatum* a_pdbdatum);
  long GetRestoreLong(CDbDatum* a_pdbdatum);
  long GetProfileLong(CDbDatum* a_pdbdatum);
  EDBSTS SetProfilesLong(CDbDatum* a_pdbdatum, long a_lValue);
  const char* GetCurrentString(CDbDatum* a_pdbdatum);
  const char* GetDefaultString(CDbDatum* a_pdbdatum);
  const char* GetProfilesString(CDbDatum* a_pdbdatum);
  EDBSTS UpdateProfilesString(CDbDatum* a_pdbdatum);
  // Same data type and the same current value.
  bool IsValueMatch(CDbDatum* a_pdbdatumA, CDbDatum* a_pdbdatumB);
  // Every change goes through the master: validated by the window-0 datum
  // of the id and bin (with the datum's window), stored, then one fix-up
  // pass (or, with a_blOnlyThis, the master's own FixCurrent alone, inside
  // the same marker and state bit a pass sets). An unchanged value is a
  // no-op outside state bits 4 and 5. The validation's status; nothing is
  // stored when it refuses.
  EDBSTS SetCurrentLong(CDbDatum* a_pdbdatum, long a_lValue, bool a_blOnlyThis);
  // Stores also what validation finds not modifiable (14, returned).
  EDBSTS SetCurrentLongIgnoreAccess(CDbDatum* a_pdbdatum, long a_lValue);
  // As the ignore-access form, and stores an unchanged value too.
  EDBSTS ForceCurrentLong(CDbDatum* a_pdbdatum, long a_lValue);
  EDBSTS SetCurrentString(CDbDatum* a_pdbdatum, const char* a_szValue);
  EDBSTS ForceCurrentString(CDbDatum* a_pdbdatum, const char* a_szValue);
  // The range's value and bounds together (13 refused), then a pass.
  EDBSTS RangeSetCurrent(CDbDatum* a_pdbdatum, long a_lValue, long a_lMin, long a_lMax, long a_lStep);
  // Back to the default value and constraint, then a pass.
  EDBSTS ResetCurrent(CDbDatum* a_pdbdatum);
  // Group setters: stored as they are, without validation. The barcode
  // region runs a pass after each of its four values, the frame one pass
  // after all five.
  EDBSTS SetBarcodeSearchRegion(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lX, long a_lY, long a_lWidth,
                                long a_lHeight);
  EDBSTS SetFrameAngle(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lX, long a_lY, long a_lWidth,
                       long a_lHeight, long a_lAngle);

  // -------------------------------------------------------------------------
  // Database-wide passes, remember and restore (db_cdatabase_passes.cpp)
  // -------------------------------------------------------------------------
  // Every accessible window-0 datum's FixCurrent, in id order, with the
  // changed datum as the modified marker and state bit 2 set; does nothing
  // while a pass runs.
  void FixCurrentAll(CDbDatum* a_pdbdatumChanged);
  // Seam: true makes the fix-up step from datum to datum with the table
  // walk of DbDatumFindNext (the reference its own loop must match).
  static void SetFixUpWalkSeam(bool a_blTableWalk);
  void FixAccessAll();
  void FixDefaultReset(CDbDatum* a_pdbdatum);
  // The undo point of the GUI and the commands: every value, those of the
  // windows 1 to 10 too.
  void Remember(CDbDatum* a_pdbdatum);
  void RememberAll();
  // Back to the undo point, but for the meters and the values read from
  // the scanner (in any window); then the access pass.
  void RestoreAll();
  // Marks an enumeration whose current list differs from its profile's.
  void CompareProfileContainer(CDbDatum* a_pdbdatum);

  // -------------------------------------------------------------------------
  // Enumeration, range and string operations (db_cdatabase_lists.cpp)
  // -------------------------------------------------------------------------
  // Each checks the container on the datum or on its master and acts on
  // one of them; a wrong container is logged and gives 0, false or the
  // status named.
  long EnumGetCurrentItemCount(CDbDatum* a_pdbdatum);
  long EnumGetCurrentItem(CDbDatum* a_pdbdatum, long a_lIndex);
  long EnumGetItemCount(CDbDatum* a_pdbdatum);
  long EnumGetItem(CDbDatum* a_pdbdatum, long a_lIndex);
  EDBSTS EnumAddItem(CDbDatum* a_pdbdatum, long a_lValue);        // 6, null 1
  EDBSTS EnumDeleteItem(CDbDatum* a_pdbdatum, long a_lValue);     // 6, null 1
  EDBSTS EnumDeleteAllItems(CDbDatum* a_pdbdatum);                // 6, null 1
  long EnumGetDefaultItemCount(CDbDatum* a_pdbdatum);
  long EnumGetDefaultItem(CDbDatum* a_pdbdatum, long a_lIndex);
  EDBSTS EnumAddDefaultItem(CDbDatum* a_pdbdatum, long a_lValue);     // 6, null 1
  EDBSTS EnumDeleteDefaultItem(CDbDatum* a_pdbdatum, long a_lValue);  // 6, null 1
  EDBSTS EnumDeleteAllDefaultItems(CDbDatum* a_pdbdatum);             // 6, null 13
  bool EnumHasCurrentItem(CDbDatum* a_pdbdatum, long a_lValue);
  bool EnumHasDefaultItem(CDbDatum* a_pdbdatum, long a_lValue);
  bool EnumIsSelectionList(CDbDatum* a_pdbdatum);
  // True for a datum of another container.
  bool EnumMatchAcrossBins(CDbDatum* a_pdbdatum);
  bool RangeMatchAcrossBins(CDbDatum* a_pdbdatum);
  long RangeGetCurrentMin(CDbDatum* a_pdbdatum);
  long RangeGetCurrentMax(CDbDatum* a_pdbdatum);
  long RangeGetCurrentStep(CDbDatum* a_pdbdatum);
  long RangeGetDefaultMin(CDbDatum* a_pdbdatum);
  long RangeGetDefaultMax(CDbDatum* a_pdbdatum);
  long RangeGetDefaultStep(CDbDatum* a_pdbdatum);
  EDBSTS RangeSetDefault(CDbDatum* a_pdbdatum, long a_lValue, long a_lMin, long a_lMax, long a_lStep);  // 13
  size_t StringGetMaxLength(CDbDatum* a_pdbdatum);

  // -------------------------------------------------------------------------
  // Lists and sizes from the scanner configuration
  // (db_cdatabase_dbconfig.cpp)
  // -------------------------------------------------------------------------
  // The default list of an enumeration: the values the feeder lists under
  // [prefix_]<lexicon> (and, with a flatbed unit, the flatbed lists too);
  // access 0 when none is left.
  void BuildDefaultEnumFromDbConfig(CDbDatum* a_pdbdatum, const char* a_szPrefix, bool a_blSkipNone);
  // Drops from the default list every value the configuration does not list
  // for the target; then the default reset.
  void FixDefaultEnumFromDbConfig(CDbDatum* a_pdbdatum, EDBCONFIGTARGET a_edbconfigtarget, const char* a_szPrefix);
  // The standard size all windows' frames share, or none (1).
  EDBID_SUPPORTEDSIZES ConvertSupportedSizesFromCurrentFrame();
  // The default list of an enumeration: the values from first to last, in
  // ascending order, whose names the configuration lists under the key;
  // the current value stays when the list keeps it, else the first item is
  // taken. 1 without a datum or a lookup record, 6 for another container.
  EOSSTS BuildOrderedListFromDbConfig(CDbDatum* a_pdbdatum, long a_lFirst, long a_lLast, const char* a_szKey,
                                      EDBCONFIGTARGET a_edbconfigtarget);

  // -------------------------------------------------------------------------
  // The default fix-up, device values and value callbacks
  // (db_cdatabase_defaults.cpp)
  // -------------------------------------------------------------------------
  // Once the scanner is open and its configuration records are complete:
  // the image-address rules when the scanner has indexing, the physical
  // height from the sheet, every datum's default (the window first) and its
  // profile value, the current profile, the access pass; in dump mode the
  // database before and after the profile ("PmxDbFactoryDefaults",
  // "PmxDbInitial").
  void FixDefaultAll();
  // The set callback of every accessible machine datum that has consumers.
  void DeviceUpdateAll();
  // On the window-0 datum of the bin; bin 0 takes the first bin that has the
  // capability. A capability the scanner lacks, or a rear bin of a simplex
  // scanner, succeeds without a registration; 13 for a kind outside 1..5,
  // a bin without the capability or a datum without access.
  EOSSTS RegisterCallback(EDBCALLBACK a_edbcallback, EDBID a_edbid, EDBBIN a_edbbin, PFNDBCALLBACK a_pfndbcallback,
                          void* a_pvUser);

  // -------------------------------------------------------------------------
  // Access rules shared by families of capabilities
  // (db_cdatabase_access.cpp)
  // -------------------------------------------------------------------------
  // The access of the datum Find gives; 1 for an id outside 1..252 or a
  // capability not found.
  EOSSTS SetAccessFromId(EDBID a_edbid, EDBACCESS a_edbaccess);
  // Read-write, or hidden where the configuration of the unit the firmware
  // names has the enabled key but does not list the value (or, with the
  // flag, on a flatbed without the enabled key). 13 without a datum.
  EOSSTS SetAccessMetersAndCals(CDbDatum* a_pdbdatum, const char* a_szValue, bool a_blFlatbedHides,
                                const char* a_szEnabledKey, const char* a_szEnumKey);
  EOSSTS SetAccessMeters(CDbDatum* a_pdbdatum, const char* a_szValue, bool a_blFlatbedHides);
  // Read-write when the unit lists the diagnostic, else hidden.
  EOSSTS SetAccessDiag(CDbDatum* a_pdbdatum, const char* a_szValue);
  // The access of an edge-fill capability: 0 with the edge fill of its
  // window and bin, or when the scanner's edge fill is "none" alone.
  EDBACCESS FixAccessEdgeFill(CDbDatum* a_pdbdatum);

  // -------------------------------------------------------------------------
  // Copies between the sides and the streams (db_cdatabase_copies.cpp)
  // -------------------------------------------------------------------------
  // Every camera capability of window 0 from one camera bin to another (to
  // the other side only on a duplex scanner), each stored value followed by
  // a fix-up pass.
  void CopyFromSrcBinToDstBin(EDBBIN a_edbbinSrc, EDBBIN a_edbbinDst);
  // One capability from a datum of the other side (2 and 3, 4 and 5), or of
  // the other stream of the same side (2 and 4, 3 and 5). 13 for a missing
  // datum, other capabilities or a source in the wrong bin.
  EOSSTS CopySideToSide(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc);
  EOSSTS CopyImageToImage(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc);
  // While the sides may not differ, the scanned side to the other.
  void CopySidesDifferent();
  // Decides IMAGESDIFFERENT; a change to false asks for the image copy
  // unless the flag is set.
  EOSSTS FixImagesDifferent(bool a_blNoCopy);
  // The image copy asked for: the stream that is on to the one that is off.
  void CopyImagesDifferent();
  // The dropout lists again, after a change of language.
  void ReloadEcdo();

  // -------------------------------------------------------------------------
  // The task being answered and the values kept for the driver
  // (db_cdatabase_task.cpp)
  // -------------------------------------------------------------------------
  void SetTaskId(int a_iTaskId) { m_iTaskId = a_iTaskId; }
  int GetTaskId() const { return m_iTaskId; }
  void SetReplyId(int a_iReplyId) { m_iReplyId = a_iReplyId; }
  int GetReplyId() const { return m_iReplyId; }
  // A status reply in the given builder, or in the database's own.
  void CreateTaskReportStatus(const char* a_szStatus, COsXmlTask* a_posxmltask);
  // Two growable text buffers, 1 with the flag set and 0 without; a null
  // text empties the buffer.
  EDBSTS SetData(const char* a_szText, bool a_blSecond);
  const char* GetData(bool a_blSecond);
  static void SetDataAllocationSeam(PFNDBDATAFAIL a_pfndbdatafail);
  // The model name of a scanner unit: a name of more than 31 characters is
  // cut to its first 31 (logged).
  void SetModelName(EDBID_FIRMWARE a_edbidfirmware, const char* a_szModelName);
  const char* GetModelName(EDBID_FIRMWARE a_edbidfirmware);
  void SetScanSource(EDBSCANSOURCE a_edbscansource) { m_edbscansource = a_edbscansource; }
  EDBSCANSOURCE GetScanSource() const { return m_edbscansource; }
  void SetCopyImages(long a_lCopyImages) { m_i64CopyImages = a_lCopyImages; }
  int64_t GetCopyImages() const { return m_i64CopyImages; }

  // -------------------------------------------------------------------------
  // The debug and simulation records (db_cdatabase_records.cpp)
  // -------------------------------------------------------------------------
  // The records as they stand; read them under the database lock.
  DbDebugRecord* GetDebugRecord() { return &m_dbdebugrecord; }
  DbSimulationRecord* GetSimulationRecord() { return &m_dbsimulationrecord; }
  // Writes one text field under the database lock; the index picks the
  // entry of a list and is 0 for the other fields. A text longer than its
  // field is cut to fit (logged) and written: 0. An index outside the list
  // writes nothing (logged): 14; an unknown field or a null text: 3.
  EOSSTS SetRecordText(EDBRECORDFIELD a_edbrecordfield, long a_lIndex, const char* a_szText);

  // -------------------------------------------------------------------------
  // Labels and the error texts made of them (db_cdatabase_labels.cpp)
  // -------------------------------------------------------------------------
  // Reloads the labels when the language has changed.
  void UpdateLabels();
  // The label of a key (negative index), or the entry at an index as
  // "tag\0text"; the fallback when there is none.
  const char* LabelGet(const char* a_szKey, const char* a_szFallback, int a_iIndex);
  // The label of the last error token of the printer and of the image
  // address; a null or empty token clears it.
  void SetLastPrinterError(const char* a_szToken);
  void SetLastImageAddressError(const char* a_szToken);
  const char* GetLastPrinterError() const { return m_szLastPrinterError; }
  const char* GetLastImageAddressError() const { return m_szLastImageAddressError; }

  // -------------------------------------------------------------------------
  // Attribute tasks for the device-manager and image libraries
  // (db_cdatabase_makexml.cpp, db_cdatabase_makexml_barcode.cpp,
  // db_cdatabase_makexml_streams.cpp)
  // -------------------------------------------------------------------------
  // Turns the current settings into setconfig (once per scanner unit, the
  // unit override naming each), createcamera per camera, windowadd per
  // stream in use and setwindoworder, built one at a time in the device
  // task; each finished task goes to the device callback, then to the image
  // library's (a missing callback is not called). 0; 1 at the first failing
  // send (later tasks stay unsent) or without a stream in use. The unit
  // override is 0 on every return.
  EOSSTS MakeXmlAll(PFNDBMAKEXMLCALLBACK a_pfnNexil, PFNDBMAKEXMLCALLBACK a_pfnDevice, void* a_pvUser);
  // An argument of the window-0 datum of the capability and bin, under the
  // name (none: its lexicon): a range's number or an enumeration's lexicon
  // value. 0 with nothing written when the datum has no access; 1 without a
  // lookup record or value entry, or for a string.
  EOSSTS MakeXmlAddArgument(COsXmlTask* a_posxmltask, EDBID a_edbid, EDBBIN a_edbbin, const char* a_szName);
  // The barcode element of a camera's createcamera command, when its
  // barcodes are on; 1 (elements closed) when an argument cannot be written.
  EOSSTS MakeXmlBarCodeSubCommand(COsXmlTask* a_posxmltask, const char* a_szCameraName);
  // How a stream of the bin (current window) treats toggle patches: "off",
  // "on" or "alwayson".
  void GetPatchToggleState(EDBBIN a_edbbin, char* a_szState, size_t a_sizetState);
  // Whether the stream of the bin and window will be produced; its pixel
  // format goes into the buffer ("bw" for a bitonal stream; "gray_8" or
  // "rgb_24" for a colour one, by the window's IMAGEFORMAT). A rear stream
  // the flatbed cannot give leaves the buffer as it was.
  bool GetNeedSendWindowAdd(EDBBIN a_edbbin, EDBID_WINDOW a_edbidwindow, EDBDEVICEDATA a_edbdevicedata,
                            char* a_szPixelFormat, size_t a_sizetPixelFormat);
  // Whether CAMERAENABLE of a window (window 0's without a datum of its
  // own) and bin has access and is on.
  bool IsCameraOn(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  // Whether TOGGLEPATCH is found and neither "none" nor "detectonly".
  bool IsTogglePatchInUse();
  // The capabilities of each task, ended by 0, in the order of their arguments.
  static const EDBID s_aedbidSetConfig[111];
  static const EDBID s_aedbidCreateCamera[6];
  static const EDBID s_aedbidWindowAdd[52];
  DbEcdoCustomSettings* GetEcdoCustomSettings() { return &m_dbecdocustomsettings; }

  // -------------------------------------------------------------------------
  // Printer strings and the access of the printer capabilities
  // (db_cdatabase_printer.cpp)
  // -------------------------------------------------------------------------
  // The template, one token a character (case folded), turned into the four
  // strings the scanner prints: with image addressing each quarter of the
  // write-sequence string's maximum length goes to a string of its own,
  // without it all goes to the first. Null texts add nothing. 4 refuses (the
  // strings left as far as written, untouched for a bad delimiter or a
  // template that does not fit the strings); a string that runs past its
  // buffer or the length the printer allows also sets the last printer
  // error.
  EOSSTS ConstructPrinterStrings(char a_aszString[DB_PRINTER_STRINGS][DB_PRINTER_STRING_SIZE],
                                 const char* a_szTemplate, long a_lDelimiter, long a_lDateFormat, long a_lIndex,
                                 long a_lIndexDigits, long a_lIndexFormat, long a_lTimeFormat,
                                 const char* a_szMessage1, const char* a_szMessage2, const char* a_szMessage3,
                                 const char* a_szMessage4, const char* a_szMessage5, const char* a_szMessage6,
                                 const char* a_szImageAddressA, const char* a_szImageAddressB,
                                 const char* a_szImageAddressC, const char* a_szImageAddressD);
  // The text one token (taken as it is) prints with the current settings,
  // into a buffer of DB_PRINTER_STRING_SIZE; 1 without an output or a
  // printer, 4 refused.
  EOSSTS ConvertPrinterSequenceToSimulation(char a_cToken, char* a_szSimulation);
  // The characters the printer takes on one string, given the maximum
  // length of the write-sequence string: a quarter of it for the maximums
  // from 80 to 249, else the maximum.
  static size_t PrinterStringLimit(size_t a_sizetMaxLength);
  // The access every printer capability shares, set on the datum.
  EOSSTS FixAccessPrinterDatum(CDbDatum* a_pdbdatum);
  bool IsPhysicalPrintingEnabled();
  bool IsDigitalPrintingEnabled();

  // -------------------------------------------------------------------------
  // Owned and shared objects
  // -------------------------------------------------------------------------
  CDbNotify* GetDbNotify() { return m_pdbnotify; }
  CDbVersion* GetDbVersion() { return m_pdbversion; }
  CDbIa* GetDbIa() { return m_pdbia; }
  DbColorTableRecord* DeviceGetColorTableHeader() { return m_adbcolortablerecord; }
  DbEcdoHeader* DeviceGetEcdoHeader() { return &m_dbecdoheader; }
  DbEcdoCustomHeader* DeviceGetEcdoCustomHeader() { return &m_dbecdocustomheader; }
  DbOverride* GetOverride() { return &m_dboverride; }
  DbEcdoCache* GetEcdoCache() { return &m_dbecdocache; }
  DbLanguageState* GetLanguageState() { return &m_dblanguagestate; }
  COsXmlTask* GetXmlTask() { return m_posxmltask; }
  COsXmlTask* GetDbMakeXml();

  // -------------------------------------------------------------------------
  // Text dump of every window-0 datum (db_cdatabase_dump.cpp)
  // -------------------------------------------------------------------------
  // Into the log directory: the name (null: "PmxDbFixed.txt") with the time
  // of day before its extension. 1 when the file cannot be created.
  EDBSTS Dump(const char* a_szName);

  // -------------------------------------------------------------------------
  // Forwarders: each hands its arguments to the owned object and returns
  // its answer (db_cdatabase_forward.cpp)
  // -------------------------------------------------------------------------
  // Change notification.
  void NotifySet(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  void NotifyReset(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  void NotifyResetAll();
  void NotifyResetProfiles();
  CDbDatum* NotifyGet(EDBNOTIFY a_edbnotify, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);
  CDbDatum* NotifyGetFirst(EDBNOTIFY a_edbnotify);
  CDbDatum* NotifyGetNext(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  uint64_t NotifyGetSidesCount();
  uint64_t NotifyGetImagesCount();

  // Lookup.
  DbLookup2* LookupEdbid(EDBID a_edbid);
  DbLookup2* LookupLexicon(const char* a_szLexicon);
  DbLookup2* LookupDriverLexicon(const char* a_szTwainLexicon);
  void LookupDump(const char* a_szFile);
  DbLookupEnum* LookupDbEnum(DbLookup2* a_pdblookup2, long a_lValue);
  DbLookupEnum* LookupLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon);
  void LookupSetWritable(bool a_blWritable);
  long LookupRepointEnums(DbLookup2* a_pdblookup2, const DbLookupEnumTexts* a_pdblookupenumtexts, long a_lCount);

  // Scanner configuration records.
  DbConfigRecord* ConfigAdd(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void ConfigDelete(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  bool ConfigExists(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  const char* ConfigGetString(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  int64_t ConfigGetNumber(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void ConfigSetString(const char* a_szId, const char* a_szString, EDBCONFIGTARGET a_edbconfigtarget);
  void ConfigSetNumber(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);
  uint64_t ConfigRangeGetMin(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  uint64_t ConfigRangeGetMax(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void ConfigRangeSetMin(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);
  void ConfigRangeSetMax(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);
  void ConfigEnumAdd(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  bool ConfigEnumExists(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  void ConfigEnumDelete(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  const char* ConfigEnumGetFirst(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  const char* ConfigEnumGetNext(const char* a_szId, const char* a_szPrevEnum, EDBCONFIGTARGET a_edbconfigtarget);
  bool ConfigLoadReportInquiry(const char* a_szXml, size_t a_sizetXml, bool a_blInterfaceOpen, bool a_blNexil,
                               EDBID_FIRMWARE a_edbidfirmware);
  bool ConfigProcessReportInquiry(const char* a_szModel, CDev* a_pdev);
  bool ConfigProcessReportInquiryXml(const char* a_szPrefix, const char* a_szXml, EDBID_FIRMWARE a_edbidfirmware);
  void ConfigForgetReportInquiries();
  const char* ConfigUseLanguage(bool a_blDevice, EDBID_FIRMWARE a_edbidfirmware);
  void ConfigDump();
  const DbConfigRecord* ConfigGetRecord(size_t a_sizetIndex);

  // Settings profiles.
  EDBSTS ProfileSetCurrent(const char* a_szName);
  EDBSTS ProfileSetCurrent(const char* a_szGroup, const char* a_szFilename, unsigned int a_uSize);
  EDBSTS ProfileRestoreInstalledProfiles(bool a_blShare);
  EDBSTS ProfileUpdateShare(EDBID a_edbid);
  EDBSTS ProfileReset(bool a_blAll);
  const char* ProfileReportProfileList();
  const char* ProfileItem(int a_iDepth);
  const char* ProfileReportProfileItem(int a_iDepth);
  const char* ProfileReportDataFile(const char* a_szGroup);
  EDBSTS ProfileRename(const char* a_szName, const char* a_szGraphicFilename);
  EDBSTS ProfileImport(const char* a_szFilename, bool a_blFlag);
  EDBSTS ProfileExport(const char* a_szFilename);
  EDBSTS ProfileDelete(const char* a_szName);
  void ProfileFree();
  // A named profile is created; without a name the current one is saved.
  EDBSTS ProfileCreate(const char* a_szName, const char* a_szGraphicFilename);
  const char* ProfileGetUserProfileDirectory();
  const char* ProfileGetUserProfileGraphicsDirectory();
  const char* ProfileGetInstalledProfileGraphicsDirectory();
  const char* ProfileGetCurrentProfileDirectory();

  // Frame geometry.
  bool IsValidFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset, int64_t a_i64FrameWidth,
                    int64_t a_i64FrameHeight, int64_t a_i64FrameAngle, int64_t a_i64MinWidth, int64_t a_i64MinHeight,
                    int64_t a_i64PhysicalWidth, int64_t a_i64PhysicalHeight);
  EDBID_SUPPORTEDSIZES ConvertWindowSizeFromFrame(int64_t a_i64FrameXoffset, int64_t a_i64FrameYoffset,
                                                  int64_t a_i64FrameWidth, int64_t a_i64FrameHeight);
  int64_t Convert1200FromSupportedSizes(EDBID_SUPPORTEDSIZES a_edbidsupportedsizes, bool a_blCentered,
                                        int64_t a_i64MaxWidth, int64_t a_i64MaxHeight, EDBID a_edbidSide);
  void ConvertLoadCustomSupportedSizes();

 private:
  // The catalogue's levels, run by the constructor and the destructor only
  // (catalogue/db_cdatabase_catalogue.cpp).
  void NewMachine();
  void NewCamera();
  void NewWindow();
  void DeleteMachine();
  void DeleteCamera();
  void DeleteWindow();
  // The datum table while this database owns it, else null.
  DbDatumCommon* Table() const { return m_pdatumcommon; }
  // The master's own FixCurrent alone, with the changed datum as the
  // modified marker and state bit 2 set as a pass sets them; a pass that
  // runs around it keeps its own (db_cdatabase_passes.cpp).
  void FixCurrentOnly(CDbDatum* a_pdbdatumChanged);
  // A text stored in the datum Find gives, then a pass
  // (db_cdatabase_shortcuts.cpp).
  EDBSTS StoreStringFromId(EDBID a_edbid, const char* a_szValue, EOSSTS (CDbDatum::*a_pfnStore)(const char*));

  // Owned components; the constructor makes them in its own order.
  CDbLookup* m_pdblookup = nullptr;
  CDbLabel* m_pdblabel = nullptr;
  CDbFrame* m_pdbframe = nullptr;
  CDbNotify* m_pdbnotify = nullptr;  // the datum table's, not owned
  CDbVersion* m_pdbversion = nullptr;
  CDbProfileList* m_pdbprofilelist = nullptr;
  CDbConfig* m_pdbconfig = nullptr;
  CDbIa* m_pdbia = nullptr;  // made by the default fix-up, for models with indexing
  COsXmlTask* m_posxmltask = nullptr;  // replies to the driver's commands
  // The task being answered and the values kept for the driver.
  int m_iTaskId = 0;
  int m_iReplyId = 0;
  char m_szLastImageAddressError[DB_LASTERROR_SIZE] = {};
  char m_szLastPrinterError[DB_LASTERROR_SIZE] = {};
  EDBSCANSOURCE m_edbscansource = 0;
  int64_t m_i64CopyImages = 0;
  int m_iUnitOverride = 0;  // the unit of the attribute tasks being built, or 0
  EDBID_WINDOW m_edbidwindowOverride = -1;  // the window of the windowadd being built, or -1
  char* m_aszData[DB_DATA_BUFFERS] = {};
  uint32_t m_au32DataSize[DB_DATA_BUFFERS] = {};
  char m_aszModelName[DB_FIRMWARE_BOTH][DB_MODELNAME_SIZE] = {};  // by unit, 1 and 2
  DbColorTableRecord m_adbcolortablerecord[DB_COLORTABLE_RECORDS] = {};
  DbEcdoHeader m_dbecdoheader = {};
  DbEcdoCustomHeader m_dbecdocustomheader = {};
  DbOverride m_dboverride = {};
  DbEcdoCache m_dbecdocache = {};
  DbLanguageState m_dblanguagestate = {};
  DbEcdoCustomSettings m_dbecdocustomsettings = {};
  DbDebugRecord m_dbdebugrecord = {};
  DbSimulationRecord m_dbsimulationrecord = {};
  bool m_blOwner = false;                  // holds the process's one claim
  bool m_blResourceLoaded = false;         // the values came from the DATABASE resource (Load)
  bool m_blDefaultsFixed = false;          // a default fix-up ran since the resource was read
  DbDatumCommon* m_pdatumcommon = nullptr;  // the table, while owned
};
