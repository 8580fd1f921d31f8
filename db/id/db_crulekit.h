// What the capability rules share: the states they test, the driver's
// configuration numbers, the modified value of a fix-up pass seen from the
// rule that runs, the cameras in use over the windows, reads of other
// capabilities with a fallback named by the caller, and the access of an
// enumeration the scanner leaves empty.
//
// Every operation works on the database's own values and state word and keeps
// nothing of its own: a rule runs on the thread of the task or command that
// set a value, under the database lock that thread holds, and never waits.
#pragma once

#include <cstddef>

#include "db_cdbconfig.h"
#include "db_def.h"
#include "dev_drvconfig.h"
#include "os_coscfgtags.h"

class CDatabase;
class CDbDatum;
class CDbEnum;
enum EDBCONFIGTARGET : int;

// The value that started the running fix-up pass, as one rule object sees
// it.
struct DbRuleModified {
  CDbDatum* pdbdatum;
  EDBID edbid;
  EDBBIN edbbin;
  EDBID_WINDOW edbidwindow;
  long lNew;
  long lPrevious;
  bool blOwnCamera;  // the rule object's own bin
  bool blPartner;    // the other colour mode of the rule object's side
  bool blOtherSide;  // the same colour mode on the other side
};

// Cameras on (CAMERAENABLE supported and 2) in any window in use.
struct DbRuleCameras {
  bool blColorFront;
  bool blBitonalFront;
  bool blColorRear;
  bool blBitonalRear;
};

class CRuleKit {
 public:
  // -------------------------------------------------------------------------
  // States
  // -------------------------------------------------------------------------
  // A profile or the database resource is being loaded (state 3).
  static bool IsLoading();
  // Checks are relaxed: SkipIAValidation is not 0 while an application (4)
  // or GUI (5) request is being served.
  static bool IsRelaxed();
  // A preview is being scanned (PREVIEWMODE 2).
  static bool IsPreview();

  // -------------------------------------------------------------------------
  // Driver configuration
  // -------------------------------------------------------------------------
  // The number a configuration text holds, read as C does (0x hexadecimal,
  // leading 0 octal, else decimal); empty, missing or not a number: 0. Tags
  // of section 1 are OS_CFGTAG_* (os_coscfgtags.h).
  static long ConfigNumber(unsigned a_uSection, unsigned a_uTag);
  // The same of one of the driver's own values (DRV_CFGTAG_*), whose table
  // default counts while the store holds none.
  static long DriverConfigNumber(EDRVCFGTAG a_edrvcfgtag);
  // The locale's measuring system: 1 metric, 2 US (US without a locale).
  static int Measurement();

  // -------------------------------------------------------------------------
  // Model configuration
  // -------------------------------------------------------------------------
  // A range bound of the model configuration as the signed number the
  // scanner wrote (the store keeps the bits of the 64-bit number, so a
  // bound below 0 would otherwise read as a huge one); 0 when it is missing.
  static long ConfigRangeMin(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget);
  static long ConfigRangeMax(CDatabase& a_database, const char* a_szKey, EDBCONFIGTARGET a_edbconfigtarget);

  // -------------------------------------------------------------------------
  // The modified value
  // -------------------------------------------------------------------------
  // M as the rule object sees it; false outside a pass.
  static bool GetModified(CDbDatum* a_pdbdatumOwn, DbRuleModified* a_pdbrulemodified);
  // A CROPPINGMODE change a camera's frame follows: the camera's own, or one
  // to or from long paper (5), which every camera shares.
  static bool IsCroppingChangeThatCounts(const DbRuleModified& a_dbrulemodified);
  // Whether a pass runs for a change of this capability (any bin); cheaper
  // than GetModified for the rules that follow one capability.
  static bool ModifiedIs(EDBID a_edbid);

  // -------------------------------------------------------------------------
  // Cameras
  // -------------------------------------------------------------------------
  static bool IsCameraOn(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin);
  // Over windows 0 to the number in use less one.
  static DbRuleCameras CamerasInUse();

  // -------------------------------------------------------------------------
  // Other capabilities
  // -------------------------------------------------------------------------
  // The window-0 datum of an id and bin when it exists with access, else
  // null.
  static CDbDatum* Supported(EDBID a_edbid, EDBBIN a_edbbin);
  // Its current value, or the fallback when it is missing or unsupported.
  static long ValueOf(EDBID a_edbid, EDBBIN a_edbbin, long a_lFallback);
  // The value of a window's datum (window 0's where the window has none of
  // its own), or the fallback.
  static long ValueIn(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin, long a_lFallback);
  // The current cropping mode of a camera; automatic (1) without one.
  static long CroppingMode(EDBBIN a_edbbin);
  // The sheet's width or height ("sheetwidth", "sheetheight") the model
  // names for every feeder, as ConfigRangeMax reads it.
  static long SheetMax(const char* a_szKey);
  // PHYSICALWIDTH and PHYSICALHEIGHTADJUST, else the sheet's width and
  // height (read only then: a configuration read costs more than the rest
  // of a rule).
  static long PhysicalWidth();
  static long PhysicalHeight();
  // SUPPORTEDSIZES offers none (1): a frame may be the user's own.
  static bool OffersNoPaper();
  // The configuration target of the scanner unit FIRMWARE names: the
  // flatbed's (3) for 2, else the feeder's (2).
  static EDBCONFIGTARGET UnitTarget();

  // -------------------------------------------------------------------------
  // Access
  // -------------------------------------------------------------------------
  // An enumeration whose default list the scanner's configuration left empty
  // is not offered at all: access 0, logged. True when that happened.
  static bool UnsupportIfEmpty(CDbEnum* a_pdbenum);
  // A capability the model's configuration does not name by the (common)
  // key is not offered: access 0. True when that happened.
  static bool UnsupportWithoutKey(CDbDatum* a_pdbdatum, const char* a_szKey);

  // -------------------------------------------------------------------------
  // Texts
  // -------------------------------------------------------------------------
  // Cuts a text after its first a_sizetMax characters, as the string limits
  // count them (a lead byte with the continuation bytes that follow it, any
  // other byte alone), so that no character is cut in two; true when it did.
  static bool CutToCharacters(char* a_szText, size_t a_sizetMax);

  // The database the rules run in (null before one holds the table).
  static CDatabase* Database();
};
