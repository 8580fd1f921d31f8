// What one simulated scanner unit is and how it behaves: its model, serial
// number and the simulation flags of the interfaceopen task (each falling
// back to an environment variable SIMSCAN_<ID in capitals>, then to its
// default). A flag whose id begins with the unit's name and a dot ("adf.",
// "flatbed."), or a variable SIMSCAN_ADF_<ID> or SIMSCAN_FLATBED_<ID>,
// applies to that unit's copy only and wins over the plain one: the driver
// sends both units the same flags.
#pragma once

#include <map>
#include <set>
#include <string>

#include "sim_csimecdo.h"
#include "sim_csimnode.h"

// The faults a batch can meet, each at a configured sheet.
enum ESIMFAULT : int {
  SIM_FAULT_PAPERJAM = 0,
  SIM_FAULT_MULTIFEED = 1,
  SIM_FAULT_COVEROPEN = 2,
  SIM_FAULT_DISCONNECT = 3,
  SIM_FAULT_FAIL = 4,
  SIM_FAULT_COUNT = 5,
};

// One model of the unit. Lengths in 1/1200 inch.
struct SimModel {
  const char* szName;
  long lSheetWidthMax;
  long lSheetHeightMax;
  const char* szResolutions;  // the offered resolutions, blank-separated
  const char* szPrinter;      // the imprinter position, or null without one
};

class CSimConfig {
 public:
  // The unit of this copy of the library.
  static bool IsFlatbed();
  static const char* UnitName();

  // Reads the interfaceopen command. False, with the reason in a_strError,
  // for an unknown model or a flag value out of its range.
  bool Load(const CSimNode& a_simnodeInterfaceOpen, std::string& a_strError);

  const SimModel* m_psimmodel = nullptr;
  std::string m_strSerialNumber;
  long m_lPages = 3;          // sheets per batch (the flatbed always scans one)
  bool m_blDuplex = true;     // the feeder has a rear camera
  long m_lDelayMs = 0;        // time to feed one sheet
  long m_lWarmupMs = 0;       // lamp warm-up before the first scan of a session
  bool m_blWarmupReport = true;  // lampswarming comes with its reportlampstatus
  long m_lPaperAfterMs = 0;      // the feeder stays empty this long after sessionbegin
  // Calibration: seconds calibratebegin says the lamps still warm up
  // ("lampswarming" with its reportlampstatus; 0 ready at once), the time a
  // calibraterun takes, and the word it answers in place of success
  // (multifeed, paperjam or fail; empty for success).
  long m_lCalWarmupS = 0;
  long m_lCalDelayMs = 0;
  std::string m_strCalResult;
  bool m_blPaperDetectable = true;  // the feeder has a paper sensor (paperdetectable, paperdetected)
  bool m_blLcdContrast = false;  // the feeder offers the calibration type "lcdcontrast"
  // The feeder lists the key "interactivemultifeed" and the multifeed
  // response "interactiveholdpaperatexit", and its multifeed sheet is the
  // user's to decide ("interactivemultifeed").
  bool m_blInteractiveMultifeed = false;
  // Each stream's page is written once per job and handed out as fresh
  // hard links to it: the cost of a scan without the cost of the pages.
  bool m_blPagePool = false;
  bool m_blAsyncOpen = true;  // a sessionbegin with a completion callback completes later
  long m_lOpenDelayMs = 0;    // how much later
  long m_lBusy = 0;           // busy answers still to give; -1 always busy
  // Busy answers start after this many resourcelock and resourcebegin
  // tasks (so that an opening goes through); -1 from the first attempt.
  long m_lBusyAfter = -1;
  std::string m_strSessionBegin = "success";  // the status word sessionbegin answers
  long m_lSessionBeginDelayMs = 0;            // sessionbegin's time before it answers
  std::string m_strScanBegin;                 // a word a job's scanbegin answers in place of starting
  long m_lRelay = 0;          // messagerelay answers with a message this often; -1 for ever
  long m_alFault[SIM_FAULT_COUNT] = {};  // sheet (from 1) of each fault, 0 none
  std::set<long> m_setBlank;             // blank sheets
  std::set<long> m_setBaffle;            // sheets whose images show the baffle background
  std::set<long> m_setMultifeedFlag;     // sheets whose images report a multifeed, the job going on
  // Sheets answered "useraction" in place of their images, with the text
  // of their <useraction> element.
  std::map<long, std::string> m_mapUserAction;
  // Automatic colour detection figures per sheet (amount, threshold): the
  // entry of sheet 0 applies to every sheet without one of its own.
  std::map<long, std::pair<long, long>> m_mapAutoColor;
  std::map<long, std::string> m_mapPatch;  // patch sheets and their patch type
  // Status words answered in place of an image, by the number (from 1) of
  // the getoutput within its job ("getoutputword", "n:word,...").
  std::map<long, std::string> m_mapOutputWord;
  long m_lPadImage = 0;  // characters of an extra element in every reportimage
  long m_lPageCount = 0;  // the count the meters start from ("pagecount")
  // Characters of an extra element in the consumable-meter report
  // ("consumablemetersize").
  long m_lConsumableMeterSize = 0;
  std::string m_strFlatbed;                // the flatbed's model directory (feeder only)
  std::string m_strImageDirectory;
  CSimNode m_simnodeInquiry;  // elements added to the report inquiry (flag "inquiry", a file)
  // The colour-dropout choices of getecdo (flag "ecdofile", a file; the
  // built-in ones without it), for a model whose inquiry supports "ecdo".
  CSimEcdo m_simecdo;
  // Callback knobs, -1 when off: ms after a session begins until the unit
  // drops off line; ms off line until it is back; ms after buttonevent is
  // registered until the button is pressed; ms after pnpchange is
  // registered until a flatbed is added or removed.
  long m_lOfflineAfterMs = -1;
  long m_lOnlineAfterMs = -1;
  long m_lButtonMs = -1;
  std::string m_strButton;
  long m_lPnpChangeMs = -1;
  std::string m_strPnpChange;  // "added" or "removed"

  static constexpr long s_lPagesMax = 100000;
  static constexpr long s_lPadImageMax = 16 * 1024 * 1024;
  static constexpr long s_lPageCountMax = 1000000000;

  // The file that takes one line per task: SIMSCAN_<UNIT>_TASKLOG, else
  // SIMSCAN_TASKLOG; null when neither is set.
  static const char* TaskLogPath();
};
