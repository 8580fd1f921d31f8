// What the GUI's value changes share: which bins and capabilities they
// treat apart.
#pragma once

#include "db_cdatabase.h"

// A rear camera bin (3 or 5).
inline bool DrvGuiIsRearBin(EDBBIN a_edbbin) {
  return a_edbbin == DB_BIN_BITONAL_REAR || a_edbbin == DB_BIN_COLOR_REAR;
}

// Changes that reshape the GUI: answered with the full report.
inline bool DrvGuiNeedsFullReport(EDBID a_edbid) {
  return a_edbid == DB_ID_AUTOCOLORCONTENT || a_edbid == DB_ID_FIRMWARE || a_edbid == DB_ID_IMAGEFORMAT ||
         a_edbid == DB_ID_IMAGEMERGE || a_edbid == DB_ID_INPUTDOCUMENT || a_edbid == DB_ID_WINDOWBIN;
}

// A switch of the current window is off (1); false when the scanner lacks it.
inline bool DrvGuiIsSwitchOff(CDatabase* a_pdatabase, EDBID a_edbid) {
  CDbDatum* pdbdatum = a_pdatabase->Find(a_edbid);
  return pdbdatum && a_pdatabase->GetCurrentLong(pdbdatum) == 1;
}
