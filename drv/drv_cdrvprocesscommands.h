// The command handlers: the object the command grammar names
// "drvprocesscommands". Enter handlers gather a command's arguments, the
// command's exit handler does its work and builds the reply in the
// database's task builder. Each handler is reached through its static
// forwarder CDrvProcessCommands_<handler>, which the XML reader finds by
// symbol name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "db_cdatabase.h"
#include "db_def.h"
#include "dev_def.h"
#include "drv_cdrvoverride.h"
#include "drv_cdrvprocesscommands_handlers.h"
#include "os_cosxml.h"
#include "os_def.h"

class CDatabase;
class CDbDatum;
class CDev;
class CDriver;
class CDrvCommandFsm;
class CDrvGui;
class COsXmlTask;
enum EDBRECORDFIELD : int;
enum EDRVGUIACTION : int32_t;
struct DbLookup2;

// A value of the LOG capability: the log a log report asks the device for.
typedef int EDBID_LOG;

// The text fields of the set request, terminator included.
constexpr size_t DRV_SETREQUEST_TEXT = 1024;
// A set's new enumeration list and its window list hold this many entries;
// a window tag's slot holds this many bytes, terminator included.
constexpr long DRV_SETREQUEST_ENUMS = 96;
constexpr long DRV_SETREQUEST_TAGS = 96;
constexpr size_t DRV_SETREQUEST_TAG = 255;

// The elements a set gave, as bits of its set type; a set acts on their
// combination (id and valuecurrent, with enum or range; id and list; ...).
enum EDRIVERSETTYPE : uint64_t {
  DRV_SETTYPE_ID = 1,
  DRV_SETTYPE_VALUECURRENT = 2,
  DRV_SETTYPE_ENUM = 4,
  DRV_SETTYPE_RANGE = 8,
  DRV_SETTYPE_DATAFILE = 16,
  DRV_SETTYPE_REGION = 32,
  DRV_SETTYPE_REGIONRANGE = 64,
  DRV_SETTYPE_LIST = 128,
  DRV_SETTYPE_PROFILEITEM = 256,
};

// The set types a set acts on.
constexpr uint64_t DRV_SETTYPE_SETVALUE = DRV_SETTYPE_ID | DRV_SETTYPE_VALUECURRENT;
constexpr uint64_t DRV_SETTYPE_SETENUM = DRV_SETTYPE_SETVALUE | DRV_SETTYPE_ENUM;
constexpr uint64_t DRV_SETTYPE_SETRANGE = DRV_SETTYPE_SETVALUE | DRV_SETTYPE_RANGE;
constexpr uint64_t DRV_SETTYPE_SETDATAFILE = DRV_SETTYPE_ID | DRV_SETTYPE_DATAFILE;
constexpr uint64_t DRV_SETTYPE_SETREGION = DRV_SETTYPE_ID | DRV_SETTYPE_REGION;
constexpr uint64_t DRV_SETTYPE_SETREGIONRANGES = DRV_SETTYPE_SETREGION | DRV_SETTYPE_REGIONRANGE;
constexpr uint64_t DRV_SETTYPE_SETLIST = DRV_SETTYPE_ID | DRV_SETTYPE_LIST;
constexpr uint64_t DRV_SETTYPE_SETPROFILEITEM = DRV_SETTYPE_ID | DRV_SETTYPE_PROFILEITEM;

// What a set worker answers beyond the database's statuses: the capability
// cannot be written (read-only or hidden).
constexpr EDBSTS DRV_SETSTS_READONLY = static_cast<EDBSTS>(12);

// The bounds a range was given: the argument flags of a set's range, and the
// range flags of a region field's range.
constexpr uint64_t DRV_RANGEFLAG_MIN = 2;
constexpr uint64_t DRV_RANGEFLAG_MAX = 4;
constexpr uint64_t DRV_RANGEFLAG_STEP = 8;
constexpr uint64_t DRV_RANGEFLAG_ALL = DRV_RANGEFLAG_MIN | DRV_RANGEFLAG_MAX | DRV_RANGEFLAG_STEP;

// The fields of a region, in the order a region names them; 0 while no
// field is current (a region's range applies to the field just given).
enum EDRIVERREGIONRANGE : int32_t {
  DRV_REGIONRANGE_NONE = 0,
  DRV_REGIONRANGE_IMAGEOFFSETX = 1,
  DRV_REGIONRANGE_IMAGEOFFSETY = 2,
  DRV_REGIONRANGE_IMAGEWIDTH = 3,
  DRV_REGIONRANGE_IMAGEHEIGHT = 4,
  DRV_REGIONRANGE_IMAGESKEWANGLE = 5,
};
constexpr long DRV_REGION_FIELDS = 5;

// The arguments of a set's subcommand: one form at a time, chosen by the
// subcommand's elements.
struct DrvRangeArguments {
  int32_t i32Min;
  int32_t i32Max;
  int32_t i32Step;
};
struct DrvEnumArguments {
  uint32_t au32Value[DRV_SETREQUEST_ENUMS];  // entries' numbers, in request order
  uint32_t u32Count;
};
struct DrvListArguments {
  char aszTag[DRV_SETREQUEST_TAGS][DRV_SETREQUEST_TAG];  // window tags, counted by the list count
};
struct DrvDataFileArguments {
  char szFilename[DRV_SETREQUEST_TEXT];
  int32_t i32DataSize;
  int32_t i32DataOffset;  // given, never used: a data file is read from its start
};
// One field's range in a region: its bounds and which of them were given.
struct DrvRegionRange {
  uint64_t u64RangeFlags;
  int32_t i32Min;
  int32_t i32Max;
  int32_t i32Step;
};
struct DrvRegionArguments {
  int32_t ai32Field[DRV_REGION_FIELDS];  // by EDRIVERREGIONRANGE less 1
  DrvRegionRange adrvregionrange[DRV_REGION_FIELDS];
};
union DrvSetArguments {
  DrvRangeArguments drvrangearguments;
  DrvEnumArguments drvenumarguments;
  DrvListArguments drvlistarguments;
  DrvDataFileArguments drvdatafilearguments;
  DrvRegionArguments drvregionarguments;
};

// The set request: what the enter handlers of set, setmany and get gather
// and their exit handlers act on. Cleared whole at every set and every get.
// A text that does not fit its field is refused, never cut.
struct DrvSetRequest {
  uint64_t u64SetType;                      // the elements given, EDRIVERSETTYPE bits
  char szId[DRV_SETREQUEST_TEXT];           // the capability or special id named
  char szValue[DRV_SETREQUEST_TEXT];        // valuecurrent
  char szCameraType[DRV_SETREQUEST_TEXT];   // cameratype and windowtype pick bins
  char szWindowType[DRV_SETREQUEST_TEXT];
  uint64_t u64ArgumentFlags;                // the subcommand's arguments given
  DrvSetArguments drvsetarguments;
  uint32_t u32ListCount;                    // window tags in the list
  int32_t i32RegionField;                   // EDRIVERREGIONRANGE: the field a region's range applies to
};

// What the get reports ask of the device engine and the driver object: the
// driver's log record, a log, the images expected per sheet, the printer
// cartridge, the window list; and the device's resource for a front end's
// own dialog. Each function takes the seam's user value.
// Tests give their own answers through the seam; a null function leaves
// the answer to the device facade and the driver object.
struct DrvEngineSeam {
  DeviceLog* (*pfnGetDeviceLog)(void* a_pvUser);
  EDEVSTS (*pfnGetLog)(void* a_pvUser, DeviceLog* a_pdevicelog, bool a_blFlag);
  bool (*pfnGetOutputImageCount)(void* a_pvUser, long* a_plCount);
  EDEVSTS (*pfnGetCartridgeDetected)(void* a_pvUser);
  EOSSTS (*pfnCmdReportWindowList)(void* a_pvUser, bool a_blAsTask, COsXmlTask* a_posxmltask);
  EDEVSTS (*pfnSaveLog)(void* a_pvUser, const char* a_szFilename, const char* a_szText, bool a_blSaveImages,
                        bool a_blSession);
  const char* (*pfnGetLexiconStatus)(void* a_pvUser, EDEVSTS a_edevsts);
  EOSSTS (*pfnResourceBegin)(void* a_pvUser, bool a_blDisconnectWontUnlock);
  // The driver's automatic colour learning scan: 0, 46 not enough colour,
  // 47 not enough pages, or another failure.
  long (*pfnAutoColorLearn)(void* a_pvUser);
  void* pvUser;
};

// The arguments of the service commands, cleared before each task. Texts
// are bounded and terminated; one that does not fit is refused.
constexpr size_t DRV_SERVICEREQUEST_TEXT = 1024;
struct DrvServiceRequest {
  // A diagnostic run's type and value, as the request gave them.
  char szDiagnosticType[DRV_SERVICEREQUEST_TEXT];
  char szDiagnosticValue[DRV_SERVICEREQUEST_TEXT];
  char szFilename[DRV_SERVICEREQUEST_TEXT];
  int32_t i32DataSize;
  int32_t i32DataOffset;  // taken, not used: the download starts at the file's start
};

// The ecdocustom answers are rebuilt through a content buffer of this size;
// an element that does not fit fails the request, it is never cut.
constexpr size_t DRV_ECDOCUSTOM_CONTENT = 0x20000;

// Where a set lands: the datum it sets, the other side's datum kept alike
// with it, and the bins the camera and window types picked (when the datum
// was found in one of them, the set is copied to each).
constexpr long DRV_SETBINS = 4;
struct DrvSetTarget {
  CDbDatum* pdbdatum;
  CDbDatum* pdbdatumLinked;
  bool blFoundByBin;
  long lBins;
  EDBBIN aedbbin[DRV_SETBINS];
};

// A capability's current list or range in one bin, kept by a setmany.
struct DrvKeptConstraint {
  CDbDatum* pdbdatum;  // the window-0 datum, which holds the list
  long lCount;
  long alItem[DRV_SETREQUEST_ENUMS];
};

// A range's bounds, kept by a setmany for its undo point.
struct DrvKeptRange {
  CDbDatum* pdbdatum;  // the window-0 datum, which holds the bounds
  long lMin;
  long lMax;
  long lStep;
};

// The arguments of create and destroy (of a window or a profile), cleared
// at each. Texts are bounded and terminated; one that does not fit is
// refused, never cut.
constexpr size_t DRV_WINDOWREQUEST_TEXT = 255;
constexpr size_t DRV_WINDOWREQUEST_TYPE = 64;
constexpr size_t DRV_WINDOWREQUEST_NAME = 1024;
struct DrvWindowRequest {
  char szId[DRV_WINDOWREQUEST_TEXT];
  char szWindowTag[DRV_WINDOWREQUEST_TEXT];     // create: taken, not used; destroy: the window destroyed
  char szWindowTagSet[DRV_WINDOWREQUEST_TEXT];  // destroy: the window current afterwards
  char szCameraType[DRV_WINDOWREQUEST_TYPE];
  char szImageFormat[DRV_WINDOWREQUEST_TYPE];
  char szLink[DRV_WINDOWREQUEST_TEXT];          // taken, not used
  char szOverride[DRV_WINDOWREQUEST_TYPE];      // taken, not used
  char szText[DRV_WINDOWREQUEST_NAME];          // a profile's name
  uint32_t u32WindowTags;                       // window tags given
};

// The work text and the set-support key of the interface and session
// commands, terminator included.
constexpr size_t DRV_INTERFACE_TEXT = 1024;

// The arguments of export, import and rename, and the flag of reset; the
// file name is also the graphic file name of create. Each command clears
// what it uses, and the file name starts empty for every one of them.
constexpr size_t DRV_FILEREQUEST_TEXT = 1024;
struct DrvFileRequest {
  char szId[DRV_FILEREQUEST_TEXT];
  char szFilename[DRV_FILEREQUEST_TEXT];
  char szText[DRV_FILEREQUEST_TEXT];
  bool blFlag;  // export: save images; reset: shared settings
};

class CDrvProcessCommands : public COverride {
 public:
  CDrvProcessCommands();
  ~CDrvProcessCommands();
  CDrvProcessCommands(const CDrvProcessCommands&) = delete;
  CDrvProcessCommands& operator=(const CDrvProcessCommands&) = delete;

  EOSSTS Init(CDrvCommandFsm* a_pdrvcommandfsm, CDatabase* a_pdatabase, CDev* a_pdev, CDrvGui* a_pdrvgui,
              CDriver* a_pdriver);
  // The reply's status word of a database status.
  static const char* GetLexiconStatusFromEdbsts(EDBSTS a_edbsts);

  // Called before each task: forgets what the last task marked.
  void BeginTask();
  // Whether this task's setmany began (its values were remembered).
  bool IsSetmanyBegun() const { return m_blSetmanyBegun; }
  // Puts back what this task's setmany changed: the current lists and ranges
  // its sets replaced, every remembered value and the profile selection;
  // the application's set has ended.
  void RestoreSetmany();

  // -------------------------------------------------------------------------
  // Capability reports, shared by get, set, setmany and reset
  // (drv_cdrvprocesscommands_report.cpp, drv_cdrvprocesscommands_region.cpp)
  // -------------------------------------------------------------------------
  // They read the database under its lock and build in the database's task
  // builder. "Continue" appends to a reply the caller has started and will
  // finish: no task is started or finished, and a failure builds no status
  // reply (the caller answers it). Otherwise a failure replaces the reply
  // with its status word. Each answers the reply's status: 0 success, 14
  // notavailable, 4 badvalue, 1 fail.
  //
  // A named capability (its lexicon name): its report pair with "success",
  // or "notavailable" when disabled; "fail" when unknown, unsupported or
  // hidden. Without a name, every capability changed since the last reset
  // of the notifications, IMAGEFORMAT first; with a_blCurrentBinOnly only
  // the machine's and those of the current window-bin's camera.
  EDBSTS CreateTaskReportGetSet(const char* a_szName, bool a_blContinue, bool a_blCurrentBinOnly);
  // The current and the default report of one capability: 0, or 1 (logged).
  EOSSTS CreateTaskReportContainer(CDbDatum* a_pdbdatum);
  // The arguments every report starts with: id (the name, else the lexicon
  // name), windowtag for a camera, readonly, valuecurrent when no name is
  // given, context, and for a current report its valid contexts. 0 or 1.
  EOSSTS AddLexiconInfo(CDbDatum* a_pdbdatum, bool a_blDefault, const char* a_szName);
  // The current or default value as the protocol writes it: an entry's
  // lexicon name, a text or a decimal number. 1 (logged) when it has none or
  // does not fit the buffer; nothing is cut.
  EOSSTS GetCurrentLexiconValue(CDbDatum* a_pdbdatum, char* a_szValue, size_t a_sizetValue);
  EOSSTS GetDefaultLexiconValue(CDbDatum* a_pdbdatum, char* a_szValue, size_t a_sizetValue);
  // A region: the current and default report of its four or five range
  // capabilities (no skew angle when a_edbidSkew is 0), under the region's
  // name.
  EDBSTS CreateTaskReportRegion(const char* a_szRegion, EDBID a_edbidOffsetX, EDBID a_edbidOffsetY,
                                EDBID a_edbidWidth, EDBID a_edbidHeight, EDBID a_edbidSkew, bool a_blContinue);
  // One field's range element (current or default bounds): 0 or 1.
  EOSSTS CreateRegionRange(EDBID a_edbid, bool a_blDefault, const char* a_szElement);

  // -------------------------------------------------------------------------
  // The special reports of get (drv_cdrvprocesscommands_lists.cpp)
  // -------------------------------------------------------------------------
  // A log of the current scanner unit, as a data file; the set request's id
  // names it in the reply.
  EDBSTS CreateTaskReportLog(EDBID_LOG a_edbidlog);
  // The profile list's report texts, passed through: a data file of a
  // profile group, and (by the set request's id) the current profile item or
  // the whole list.
  EDBSTS CreateTaskReportDataFile(const char* a_szId);
  EDBSTS CreateTaskReportProfileList();
  // The scanner's colour dropouts, the supported capabilities' names, the
  // images to expect per sheet and the printer cartridge.
  EDBSTS CreateTaskReportEcdoList();
  EDBSTS CreateTaskReportIdList();
  EDBSTS CreateTaskReportOutputImageCount();
  EDBSTS CreateTaskReportCartridgeDetected();

  // Tests: the engine's answers (null restores the built-in ones).
  static void SetEngineSeam(const DrvEngineSeam* a_pdrvengineseam);

  // The device's first-image callback (its argument: this object).
  static EOSSTS FirstImageCallbackProc(void* a_pvDrvProcessCommands);

  // -------------------------------------------------------------------------
  // Set and setmany (drv_cdrvprocesscommands_set.cpp, _setvalue.cpp,
  // _setlist.cpp, _setmany.cpp)
  // -------------------------------------------------------------------------
  // The camera bins a camera type and a window type pick, in the order a set
  // copies its value to them, into a_aedbbin (room for four); their count, 0
  // for texts that pick none. Texts are compared whole and case-sensitively.
  static long GetDriverSetBin(const char* a_szCameraType, const char* a_szWindowType, EDBBIN* a_aedbbin);
  // A number of a set as a plain ascii-to-integer conversion reads it
  // (blanks, a sign, the digits up to the first other character; text
  // without digits reads 0), within 32 bits: false (logged) beyond them.
  static bool ReadNumber(const char* a_szText, int32_t* a_pi32Value);

#define DRV_DECLARE_FORWARDER(kind, name) static EOSSTS CDrvProcessCommands_##name(OsXmlCallback* a_posxmlcallback);
  DRV_PROCESSCOMMANDS_HANDLERS(DRV_DECLARE_FORWARDER)
#undef DRV_DECLARE_FORWARDER

 private:
#define DRV_DECLARE_HANDLER(kind, name) EOSSTS name(OsXmlCallback* a_posxmlcallback);
  DRV_PROCESSCOMMANDS_HANDLERS(DRV_DECLARE_HANDLER)
#undef DRV_DECLARE_HANDLER

  // The body of a command whose work is not built yet.
  EOSSTS NotBuilt(OsXmlCallback* a_posxmlcallback);

  // Service commands (drv_cdrvprocesscommands_service.cpp,
  // drv_cdrvprocesscommands_ecdocustom.cpp).
  // A whole status reply of a device status's word, with the handler's
  // status given.
  EOSSTS AnswerDevice(EOSSTS a_eosstsDevice, EOSSTS a_eosstsHandler);
  // The calibration type the request names, set; false (logged, "fail")
  // when it cannot be.
  bool SetCalibrationType(const char* a_szValue);
  // A download's number: decimal digits only, within 31 bits; anything else
  // is refused ("badvalue") and the walk stops.
  EOSSTS TakeDownloadNumber(const OsXmlCallback* a_posxmlcallback, int32_t* a_pi32Field, const char* a_szElement);
  // A meter command's reply: "success" without content, or "fail" logged
  // with its message.
  EOSSTS AnswerMeter(EOSSTS a_eosstsDevice, const char* a_szFailure);
  // The driver's colour learning run here, or by the GUI when one runs.
  long RunAutoColorLearn();
  // The ecdocustom request of a command to the current unit, or (begin
  // and end) to the feeder and then the flatbed; its answer rebuilt as the
  // reply. 0, or 1 with "fail" or the device's word in the reply.
  EOSSTS EcdoCustomRequest(const OsXmlCallback* a_posxmlcallback, bool a_blBothUnits);
  EOSSTS EcdoCustomRequestUnit(const OsXmlCallback* a_posxmlcallback, EDBID_FIRMWARE a_edbidfirmware);
  // The device's answer read and rebuilt as the reply; 0, or 1 with the
  // reply's status word ("fail" for an answer that cannot be read).
  EOSSTS EcdoCustomAnswer(const char* a_szAnswer);
  EOSSTS EcdoCustomCopyElements();
  // The content buffer, allocated on first use; null (logged) when it
  // cannot be.
  char* EcdoCustomContent();

  // Window, profile and reset commands (drv_cdrvprocesscommands_create.cpp,
  // _destroy, _rename, _reset, _export, _import; their arguments in
  // drv_cdrvprocesscommands_arguments.cpp).
  // An argument's text into its field; one that does not fit is refused:
  // logged, "fail", and the walk stops.
  EOSSTS TakeArgument(char* a_szField, size_t a_sizetField, const OsXmlCallback* a_posxmlcallback,
                      const char* a_szElement);
  // The file request's flag: set by exactly "true".
  void TakeFlag(const OsXmlCallback* a_posxmlcallback);
  // A whole status reply: the word of a database status, or a word of its
  // own. The handler's status: 0 for "success" alone.
  EOSSTS AnswerCommand(EDBSTS a_edbsts);
  EOSSTS AnswerWord(const char* a_szStatus);
  // The window create and destroy work on, each answering the whole reply.
  EOSSTS CreateScanWindow();
  EOSSTS DestroyScanWindow();
  // A free window made current, its camera of the bin switched on, its
  // format set: 0, or the status of the step refused (nothing changed).
  EDBSTS EnableScanWindow(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, long a_lImageFormat);
  // A window tag of WINDOWBIN's current list: its window-bin; false when
  // the tag names none or one not listed.
  bool FindListedWindowBin(const char* a_szTag, EDBID_WINDOWBIN* a_pedbidwindowbin);
  // The answers of reset, each building the whole reply: by the id, every
  // value, the current profile, a region, one capability.
  EDBSTS AnswerReset(const char* a_szId);
  EDBSTS ResetAll();
  EDBSTS ResetProfile();
  EDBSTS ResetRegion(const char* a_szRegion, const EDBID* a_aedbid, size_t a_sizetFields);
  EDBSTS ResetLexicon(const char* a_szId);
  // One capability's datum back to its default, with its other side while
  // the sides are kept alike; logged on failure.
  EDBSTS ResetWithLinkedSide(CDbDatum* a_pdbdatum);

  // The get command's answer to the id (drv_cdrvprocesscommands_get.cpp).
  EDBSTS AnswerGet(const char* a_szId);

  // Interface, session and user-interface commands
  // (drv_cdrvprocesscommands_interface.cpp, _session.cpp, _ui.cpp). The
  // database is read and written under its lock; the device facade and the
  // GUI bridge are called without it, as they wait.
  // Whether an element's text is exactly "true" (another text than "true"
  // or "false" is logged).
  static bool ElementTrue(const OsXmlCallback* a_posxmlcallback);
  // A configuration key of the machine target, under the database lock.
  void ConfigText(const char* a_szKey, const char* a_szValue);
  void ConfigKey(const char* a_szKey);
  void ConfigListAdd(const char* a_szKey, const char* a_szValue);
  // A text field of the debug or simulation record, under the database lock.
  void RecordText(EDBRECORDFIELD a_edbrecordfield, long a_lIndex, const OsXmlCallback* a_posxmlcallback);
  // The reply of interfaceopen: the driver event's name and the profile
  // directory (created).
  EOSSTS AnswerInterfaceOpen();
  const char* DriverEventName(char* a_szName, size_t a_sizetName);
  // The device's status word as the whole reply; the handler's status.
  EOSSTS AnswerDevice(EOSSTS a_eossts);
  // The device's interface opened with the kind interfaceopen chose; a
  // failure has answered the device's status word.
  EOSSTS OpenInterface();
  // The GUI stopped and the device's interface closed (a later sessionbegin
  // opens it again); the scanner's first refusal of its sessionend or
  // interfaceclose.
  EOSSTS Cleanup();
  // A scan still running (or the state Scan) is ended as scanend ends it,
  // before a command that ends the scanner's session; its reply is the
  // command's to replace.
  void EndRunningScan(OsXmlCallback* a_posxmlcallback);
  bool ShouldStartGui();
  EOSSTS StartGui();
  // The device's session, with the GUI's message procedure; a failure has
  // built its reply.
  EOSSTS OpenDevice();
  EOSSTS FirstImageCallback();
  // A GUI action with a record holding one number.
  EOSSTS GuiAction(EDRVGUIACTION a_edrvguiaction, int32_t a_i32Value);
  EOSSTS GuiAction(EDRVGUIACTION a_edrvguiaction);
  // The reply of uiend: the debug and simulation records as interfaceopen
  // left them.
  EOSSTS AnswerUiEnd();
  void AddDebugRecord();
  void AddSimulationRecord();

  // The set request cleared whole, its unions and padding too.
  void ClearSetRequest();
  // An element's text, "" for none.
  static const char* ElementText(const OsXmlCallback* a_posxmlcallback);
  // An element's text into a field of the request; a text that does not fit
  // is refused: logged, "badvalue", and the walk stops.
  EOSSTS TakeText(char* a_szField, size_t a_sizetField, const char* a_szData, const char* a_szElement);
  // A number of an element into a field of the request, with its argument
  // flag; a number beyond 32 bits is refused: "badvalue", and the walk stops.
  EOSSTS TakeNumber(const OsXmlCallback* a_posxmlcallback, int32_t* a_pi32Field, uint64_t* a_pu64Flags,
                    uint64_t a_u64Flag);
  // A status reply that ends the walk of the task.
  EOSSTS Refuse(EDBSTS a_edbsts);
  // The end of a subcommand: its argument flags must be exactly those
  // given, else it is refused with that status (the message logged); then
  // its set type bit.
  EOSSTS EndSubcommand(uint64_t a_u64Arguments, uint64_t a_u64SetType, EDBSTS a_edbstsRefused,
                       const char* a_szMissing);
  // The reply's status word of a set worker's result.
  static const char* GetSetStatusWord(EDBSTS a_edbsts);
  // The reply to a value set: "success" with everything it changed, or
  // "badvalue" with the named capability's report, or the status alone.
  void AnswerSetValue(EDBSTS a_edbsts);
  // The set workers (drv_cdrvprocesscommands_setvalue.cpp): the current
  // value of the capability the request names, with a new current list
  // (type 7) or range (type 11), in the bins its camera and window types
  // pick, kept in step with the linked side and image; the enumeration's
  // part of it; one capability's value from one bin to another. Each
  // answers 0, 1 failure, 4 or 13 bad value, 12 not writable or 14 not
  // available.
  EDBSTS SetCurrentLexicon(uint64_t a_u64SetType);
  EDBSTS SetCurrentLexiconEnum(CDbDatum* a_pdbdatum, uint64_t a_u64SetType);
  void CopyDataContainer(CDbDatum* a_pdbdatumDst, CDbDatum* a_pdbdatumSrc);
  // The datum of a capability that a set of the request lands on: in the
  // first of the picked bins that has it, else where the current window-bin
  // finds it; while the sides are kept alike the front leads. False (logged)
  // when the scanner lacks it.
  bool FindSetTarget(EDBID a_edbid, DrvSetTarget* a_pdrvsettarget);

  // The region set (drv_cdrvprocesscommands_setregion.cpp): one region
  // field and one bound of its range gathered; the workers of the image
  // cropping region (checked against the frame limits, with the ranges of
  // its fields for type 97) and of the barcode search region, each
  // answering 0, 1 failure or 4 bad value and building no reply; the
  // reply of a region set.
  EOSSTS TakeRegionField(OsXmlCallback* a_posxmlcallback, EDRIVERREGIONRANGE a_edriverregionrange);
  EOSSTS TakeRegionRangeNumber(OsXmlCallback* a_posxmlcallback, uint64_t a_u64Flag, int32_t DrvRegionRange::*a_pi32);
  bool IsBarcodeSearchRegion() const;
  EDBSTS SetRegion(uint64_t a_u64SetType);
  EDBSTS SetFrameLexicon(uint64_t a_u64SetType);
  EDBSTS SetFrameContainer(EDBID a_edbid, EDRIVERREGIONRANGE a_edriverregionrange, const DrvSetTarget& a_drvsettarget);
  EDBSTS SetBarcodeSearchRegionLexicon();
  EDBSTS WriteRegion(EDBBIN a_edbbin, bool a_blBarcode);
  EDBSTS CopyRegionToBins(const DrvSetTarget& a_drvsettarget, bool a_blBarcode);
  // The region report of the region the request's id names (the image
  // cropping region for any id but "barcodesearchregion").
  EDBSTS CreateTaskReportSetRegion(bool a_blContinue);
  void AnswerSetRegion(EDBSTS a_edbsts);

  // Data files and profiles (drv_cdrvprocesscommands_setdatafile.cpp): the
  // data-file set by its id (the override document, or a profile file),
  // answering 0, 1 failure or 4 bad value and building no reply; the
  // selection of a profile by name, which builds its whole reply.
  EDBSTS SetDataFile();
  EDBSTS SetProfile();
  EDBSTS SetOverride();
  EDBSTS SetProfileItem();
  // The override document read whole into the log record's buffer and
  // terminated; the file deleted once read. 0, 1 failure or 4 bad size.
  EDBSTS ReadOverrideFile(DeviceLog* a_pdevicelog);
  // The window list (drv_cdrvprocesscommands_setlist.cpp): the set's whole
  // reply, and the work: the listed window-bins on, every other one of the
  // windows in use off. A refused tag changes nothing: 1.
  EDBSTS SetList();
  EDBSTS SetWindowEnabledList();
  // A setmany's undo point covers values only: at its start the bounds of
  // every range are kept, and before one of its sets replaces a
  // capability's current list, the lists of the capability's bins, for
  // RestoreSetmany. False (logged) when there is no room to keep them.
  bool KeepRanges();
  void RestoreRanges();
  bool KeepConstraints(const char* a_szId);
  bool KeepConstraints(EDBID a_edbid);

  // True (logged) without a database or its builder: nothing can be
  // reported.
  bool NoDatabase();
  // Reply helpers (drv_cdrvprocesscommands_report.cpp): a reply task started
  // with its status word; the end of a reply (finished, or replaced by the
  // status reply of a failure, or of a builder that overflowed); a whole
  // status reply.
  void StartReply(const char* a_szStatus);
  EDBSTS FinishReply(EDBSTS a_edbsts, bool a_blContinue);
  EDBSTS AnswerStatus(EDBSTS a_edbsts);
  // One text argument: markup goes into a CDATA section; false (logged) for
  // a text no section can hold.
  bool AddTextArgument(const char* a_szName, const char* a_szText);
  // The report of an enumeration's current or default list.
  EOSSTS AddEnumList(CDbDatum* a_pdbdatum, DbLookup2* a_pdblookup2, bool a_blDefault);
  // One report of the pair: its element, the lexicon information, the
  // container's list, range or maximum length.
  EOSSTS AddContainerReport(CDbDatum* a_pdbdatum, DbLookup2* a_pdblookup2, bool a_blDefault);
  // The current or default value as the protocol writes it.
  EOSSTS GetLexiconValue(CDbDatum* a_pdbdatum, bool a_blDefault, char* a_szValue, size_t a_sizetValue);
  // The changed capabilities of one notification kind: the value walk
  // reports each and records its id, the constraint walk reports those whose
  // id the value walk did not record.
  EOSSTS ReportChanged(EDBNOTIFY a_edbnotify, bool a_blCurrentBinOnly, EDBID* a_aedbid, long* a_plIds);
  // A range element of the datum's current or default bounds at that depth
  // of the reply.
  EOSSTS AddRange(CDbDatum* a_pdbdatum, bool a_blDefault, const char* a_szElement, int a_iDepth);
  // The region report: one of the pair.
  EOSSTS AddRegionReport(const char* a_szRegion, const EDBID* a_aedbid, long a_lFields, bool a_blDefault);

  // A report text of the profile list as the whole reply ("fail", logged
  // with the failure text, when there is none).
  EDBSTS PassThroughReport(const char* a_szReport, const char* a_szFailure);
  // The engine's answers the special reports use
  // (drv_cdrvprocesscommands_lists.cpp). The log record is the driver's;
  // until the driver object offers it, these commands keep one of their own.
  DeviceLog* EngineGetDeviceLog();
  EDEVSTS EngineGetLog(DeviceLog* a_pdevicelog);
  bool EngineGetOutputImageCount(long* a_plCount);
  EDEVSTS EngineGetCartridgeDetected();
  EOSSTS EngineCmdReportWindowList();
  // The log archive the device engine writes (the lock given up while it
  // does), and the status word of a device status.
  EDEVSTS EngineSaveLog(const char* a_szFilename, const char* a_szText, bool a_blSaveImages);
  const char* EngineGetLexiconStatus(EDEVSTS a_edevsts);
  EOSSTS EngineResourceBegin(bool a_blDisconnectWontUnlock);
  // The driver object's colour learning scan; 1 without a driver object.
  long EngineAutoColorLearn();

  // Reads the answers of the ecdocustom requests.
  COsXml m_osxml;
  CDrvCommandFsm* m_pdrvcommandfsm = nullptr;
  CDatabase* m_pdatabase = nullptr;
  CDev* m_pdev = nullptr;
  CDrvGui* m_pdrvgui = nullptr;
  CDriver* m_pdriver = nullptr;
  // Tracked memory some handlers allocate; freed with the object.
  void* m_pvMemory = nullptr;
  // The arguments of the window, profile and reset commands.
  DrvWindowRequest m_drvwindowrequest = {};
  DrvFileRequest m_drvfilerequest = {};
  // The arguments of the service commands, and the name buffer of the
  // ecdocustom answers.
  DrvServiceRequest m_drvservicerequest = {};
  char m_szName[DRV_SERVICEREQUEST_TEXT] = {};

  DrvSetRequest m_drvsetrequest = {};
  // Setmany: the set types of its completed sets, and whether this task's
  // setmany began.
  uint64_t m_u64SetmanyType = 0;
  bool m_blSetmanyBegun = false;
  // The lists and ranges the setmany's sets replaced, as they were, and the
  // override record before it.
  std::vector<DrvKeptConstraint> m_vecdrvkeptconstraint;
  std::vector<DrvKeptRange> m_vecdrvkeptrange;
  DbOverride m_dboverrideSetmany = {};
  // The log record until the driver object's takes its place; its buffer
  // is tracked memory, freed with the object.
  DeviceLog m_devicelog = {};

  // Interface and session commands: the work text (the caller name as a
  // path element during interfaceopen, then the profile directory; the
  // profile item during sessionbegin), the simflags taken, the set-support
  // key, the interface kind opened and whether a failed sessionbegin closed
  // the interface since.
  char m_szWork[DRV_INTERFACE_TEXT] = {};
  long m_lSimflags = 0;
  char m_szSetSupportKey[DRV_INTERFACE_TEXT] = {};
  EDEVDRIVER m_edevdriver = DEV_DRIVER_DEFAULT;
  bool m_blInterfaceClosed = false;
  // User-interface commands: uibegin's modal flag and dialog, the flag of
  // setupscan and cancel (cleared at every task), notifydevicestatus's
  // online flag.
  bool m_blModal = false;
  int32_t m_i32Dialog = 0;
  bool m_blSetupFlag = false;
  bool m_blDeviceOnline = false;
  // Scan commands: the image description getoutput receives.
  std::vector<char> m_vecchImage;
};
