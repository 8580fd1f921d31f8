// Types shared by the device engine: the device status codes its operations
// answer, the driver events it queues, the codes of the device-manager
// replies, the log request, and the dialogs, messages and buttons of the
// GUI's message procedure it is handed. The device-manager replies, the
// image library's results and the status words of the driver's replies are
// separate code spaces, mapped only where an operation maps them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

enum EDEVSTS : int {
  DEV_STS_SUCCESS = 0,
  DEV_STS_FAIL = 1,
  DEV_STS_BADARG = 2,
  DEV_STS_BUSY = 3,
  DEV_STS_CALIBRATIONREQUIRED = 4,
  DEV_STS_CANCEL = 5,
  DEV_STS_CLEANGUIDES = 6,
  DEV_STS_COVEROPEN = 7,
  DEV_STS_CRITICALERROR = 8,
  DEV_STS_DISCONNECTED = 9,
  DEV_STS_DOUBLEDOCUMENT = 10,
  DEV_STS_ECDOCUSTOMLEARNFAIL = 11,
  DEV_STS_ENDOFJOB = 12,
  DEV_STS_ENDOFOUTPUT = 13,
  DEV_STS_LAMPSWARMINGUP = 14,
  DEV_STS_LOWMEMORY = 15,
  DEV_STS_NOFEEDERFOUND = 16,
  DEV_STS_NOIMAGEAVAILABLE = 17,
  DEV_STS_NOPRINTHEADFOUND = 18,
  DEV_STS_NOTCOMPLETE = 19,
  DEV_STS_NOTENOUGHCOLOR = 20,
  DEV_STS_NOTENOUGHPAGES = 21,
  DEV_STS_NOWHITEPATCHFOUND = 22,
  DEV_STS_PAPERJAM = 23,
  DEV_STS_PROCESSERROR = 24,
  DEV_STS_NOMEDIA = 25,
  DEV_STS_ENDOFSHEET = 26,
  DEV_STS_ENDOFMESSAGES = 27,
  DEV_STS_BLANKIMAGE = 28,
  DEV_STS_USERACTION = 29,
  DEV_STS_USERINPUT = 30,
  DEV_STS_LAST = 31,
};

// Driver events, queued for the front end's event list.
enum EDEVEVENT : int {
  DEV_EVENT_UNDEFINED = 0,  // marks a free slot
  DEV_EVENT_DEVICEBUTTON = 1,
  DEV_EVENT_DEVICEOFFLINE = 2,
  DEV_EVENT_DEVICEONLINE = 3,
  DEV_EVENT_IMAGEAVAILABLE = 4,
  DEV_EVENT_LAMPSWARMING = 5,
  DEV_EVENT_MULTIFEED = 6,
  DEV_EVENT_OPENCOMPLETE = 7,
  DEV_EVENT_PAPERJAM = 8,
  DEV_EVENT_UIBUTTON = 9,
  DEV_EVENT_IDMODIFIED = 10,
  DEV_EVENT_PNPCHANGE = 11,
  DEV_EVENT_LAST = 12,
};

// The code of a device-manager reply's status word, as the reply dispatcher
// reads it. The device-manager adapter maps it to EDEVSTS.
enum EDEVREPLY : int {
  DEV_REPLY_SUCCESS = 0,
  DEV_REPLY_FAIL = 1,
  DEV_REPLY_BUSY = 2,
  DEV_REPLY_CALIBRATIONREQUIRED = 3,
  DEV_REPLY_CLEANGUIDES = 4,
  DEV_REPLY_COVEROPEN = 5,
  DEV_REPLY_CRITICALERROR = 6,
  DEV_REPLY_DISCONNECTED = 7,
  DEV_REPLY_ECDOCUSTOMLEARNFAIL = 8,
  DEV_REPLY_ENDOFMESSAGES = 9,
  DEV_REPLY_ENDOFINPUT = 10,
  DEV_REPLY_ENDOFOUTPUT = 11,
  DEV_REPLY_ENDOFSHEET = 12,
  DEV_REPLY_INVALIDSTATE = 13,
  DEV_REPLY_LAMPSWARMING = 14,
  DEV_REPLY_MULTIFEED = 15,
  DEV_REPLY_NOFEEDERFOUND = 16,
  DEV_REPLY_NOIMAGEREADY = 17,
  DEV_REPLY_NOPRINTHEADFOUND = 18,
  DEV_REPLY_NOTCOMPLETE = 19,
  DEV_REPLY_NOTENOUGHCOLOR = 20,
  DEV_REPLY_NOTENOUGHPAGES = 21,
  DEV_REPLY_NOWHITEPATCHFOUND = 22,
  DEV_REPLY_PAPERJAM = 23,
  DEV_REPLY_USERACTION = 24,
};

// How a running scan is asked to stop.
enum EDEVSTOPACTION : int {
  DEV_STOPACTION_REQUEST = 1,       // the unit stops feeding; the job ends normally
  DEV_STOPACTION_CANCEL = 2,        // the scan thread halts, the scan ends cancelled
  DEV_STOPACTION_DISCONNECTED = 3,  // the scan thread halts, the scanner went off line
};

// Which units the device-manager adapter drives when the front end opens a
// single unit of a scanner (set by the device object's interface open).
enum EDEVWIAMODE : int {
  DEV_WIAMODE_NONE = 0,     // the model's own units
  DEV_WIAMODE_ADF = 1,      // the feeder through its second-choice library
  DEV_WIAMODE_BOTH = 2,     // both units of the model's library
  DEV_WIAMODE_FLATBED = 3,  // the flatbed from the model directory; every interfaceopen names its device file
};

// No scanner unit: nothing loaded, or none named yet.
constexpr EDBID_FIRMWARE DEV_FIRMWARE_NONE = static_cast<EDBID_FIRMWARE>(0);

// The kind of interface a front end opens, from its caller name.
enum EDEVDRIVER : int {
  DEV_DRIVER_UNDEFINED = 0,
  DEV_DRIVER_DEFAULT = 1,  // any caller but the two below
  DEV_DRIVER_WIA = 2,      // caller "wia"
  DEV_DRIVER_STI = 3,      // caller "sti"
};

// A log request and its result, filled by the device-manager replies and by
// the report writers. The buffer is tracked memory owned by the record.
constexpr size_t DEV_LOG_TEXT = 512;
constexpr int DEV_LOG_FILES = 64;
struct DeviceLog {
  EDBID_FIRMWARE edbidfirmware;   // the scanner unit
  uint32_t u32LogType;            // a value of the log-type capability
  char szLogType[DEV_LOG_TEXT];   // its name
  char* pcData;                   // text, or the packed names of further files
  size_t sizetData;               // bytes of data in it
  size_t sizetCapacity;           // its size
  char szFilename[DEV_LOG_TEXT];  // the log file
  char szCdTitle[DEV_LOG_TEXT];
  char szCdVersion[DEV_LOG_TEXT];
  long alFileOffset[DEV_LOG_FILES];  // further file names in the data; -1 ends the list
};

// How the image library is hosted: loaded into this process, or inside the
// separate Dravix executable (2 and 3 are treated alike). 0 is "not set" when
// requested and "nothing loaded" in a unit's record.
enum EDEVNEXILCALL : int {
  DEV_NEXILCALL_NONE = 0,
  DEV_NEXILCALL_INPROCESS = 1,
  DEV_NEXILCALL_DRAVIX = 2,
  DEV_NEXILCALL_DRAVIXDEFAULT = 3,
};

// Dialogs of the settings GUI that a message names (the GUI's own words in
// brackets); the main window takes the UI modes as its messages.
enum EDEVDLG : int {
  DEV_DLG_UNDEFINED = 0,
  DEV_DLG_CALIBRATE = 1,         // "calibrate"
  DEV_DLG_DIAGNOSTIC = 2,        // "diagnostic"
  DEV_DLG_FIRMWAREDOWNLOAD = 3,  // "firmwaredownload"
  DEV_DLG_MESSAGE = 4,           // "message"
  DEV_DLG_POWERUP = 5,           // "powerup"
  DEV_DLG_SCANNING = 6,          // "scanning"
  DEV_DLG_MAIN = 7,              // the GUI's main window
  DEV_DLG_DEVICESELECTION = 8,   // "deviceselection"
};

// Messages shown in a dialog; 22 to 33 are the UI modes of the main window.
enum EDEVMSG : int {
  DEV_MSG_UNDEFINED = 0,
  DEV_MSG_CANCELING = 1,
  DEV_MSG_CALIBRATING = 2,
  DEV_MSG_CLEAR = 3,
  DEV_MSG_CLEARINFOOFF = 4,
  DEV_MSG_CLEARGUIVISIBLE = 5,
  DEV_MSG_DEVICEOFFLINE = 6,
  DEV_MSG_DOWNLOADING = 7,
  DEV_MSG_ERROR = 8,
  DEV_MSG_INFO = 9,
  DEV_MSG_INITIALIZING = 10,
  DEV_MSG_MULTIFEED = 11,
  DEV_MSG_NOPAPER = 12,
  DEV_MSG_JAM = 13,
  DEV_MSG_SCANNING = 15,  // from the feeder or the flatbed
  DEV_MSG_OPEN = 16,
  DEV_MSG_SUCCESS = 17,
  DEV_MSG_WAITPAPER = 18,
  DEV_MSG_WARMUP = 19,
  DEV_MSG_EXCLAMATION = 20,
  DEV_MSG_ERRORSHOW = 21,
  DEV_MSG_UIABOUT = 22,
  DEV_MSG_UIDESTROY = 23,
  DEV_MSG_UISCAN = 24,
  DEV_MSG_UISCANADVANCED = 25,
  DEV_MSG_UISCANPREVIEW = 26,
  DEV_MSG_UISETUP = 27,
  DEV_MSG_UISETUPADVANCED = 28,
  DEV_MSG_UISETUPEOL = 29,
  DEV_MSG_UISETUPIAPRINTER = 30,
  DEV_MSG_UISETUPNOIAPRINTER = 31,
  DEV_MSG_UISETUPNOIAPRINTEROCP = 32,
  DEV_MSG_UISETUPSERVICE = 33,
  DEV_MSG_WARNING = 34,
  DEV_MSG_TESTING = 35,
};

// The buttons a message waits for; 0 waits for none.
enum EDEVBUTTONS : int {
  DEV_BUTTONS_NONE = 0,
  DEV_BUTTONS_OK = 1,
  DEV_BUTTONS_CANCEL = 2,
  DEV_BUTTONS_OKCANCEL = 3,
  DEV_BUTTONS_YESNO = 4,
  DEV_BUTTONS_YESNOCANCEL = 5,
};

// The GUI's message procedure that the engine is handed: dialog, message,
// text, a number shown with it (a time-out or a count) and the buttons.
typedef EOSSTS (*PFNDEVMESSAGEMANAGER)(EDEVDLG a_edevdlg, EDEVMSG a_edevmsg, const char* a_szText, long a_lValue,
                                    EDEVBUTTONS a_edevbuttons);

class CDevImpl;

// What a plug-and-play procedure receives: the argument it was registered
// with, the library's pnpchange message, and the device object reporting it.
struct DevCallBackData {
  void* pvArgument;
  const char* szText;
  CDevImpl* pdevimpl;
};
