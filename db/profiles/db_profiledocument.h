// What the readers and writers of profile documents share: a profile file
// read whole, the byte-order mark, the names of the value elements, the
// shared values' capabilities, the windows in use and the walk over the
// datums a profile holds.
#pragma once

#include <cstddef>

#include "db_cdbdatum.h"
#include "db_def.h"
#include "os_def.h"

class CDatabase;
class COsXmlTask;

namespace dbprofile {

// A profile file shorter than this is refused; one longer than the maximum
// is not read (profiles are a few tens of kilobytes).
constexpr size_t s_sizetMinimum = 16;
constexpr size_t s_sizetMaximum = 4 * 1024 * 1024;

// A file read whole, terminated; free it with FreeText.
struct ProfileText {
  char* psz;
  size_t sizet;
};

enum EREADTEXT : int {
  READTEXT_OK,
  READTEXT_NOFILE,  // missing, not a regular file, or not readable
  READTEXT_SHORT,   // below s_sizetMinimum (the size is in the text's sizet)
  READTEXT_LARGE,   // above s_sizetMaximum
  READTEXT_FAILED,  // memory or a read that failed
};
EREADTEXT ReadText(const char* a_szPath, ProfileText* a_pprofiletext);
void FreeText(ProfileText* a_pprofiletext);

// A document is XML when one of its first four bytes is "<".
bool IsXml(const char* a_pcText, size_t a_sizetText);
// The text after a leading UTF-8 byte-order mark.
const char* SkipBom(const char* a_pcText, size_t* a_psizetText);

// A value element's name: a first letter "m" is window 0's machine bin;
// "fb", "rb", "fc", "rc" and a window of one or two decimal digits (0 to
// 10) a camera of that window. False for any other name.
bool ValueElement(const char* a_szName, EDBID_WINDOW* a_pedbidwindow, EDBBIN* a_pedbbin);
// The element name of a window's camera ("fb00"); false for another bin.
bool CameraElement(EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, char* a_szName, size_t a_sizetName);

// The windows in use (the default list of WINDOW), 1 to 11.
int WindowsInUse(CDatabase* a_pdatabase);
// The datum of a slot, none for an empty one (no window-0 fallback).
CDbDatum* DatumAt(EDBID_WINDOW a_edbidwindow, EDBID a_edbid, EDBBIN a_edbbin);
// Present and neither unsupported (0) nor read-only (3, 7).
bool IsUsable(CDbDatum* a_pdbdatum);
// The value of a capability's machine datum; 0 without one or its access.
long MachineValue(CDatabase* a_pdatabase, EDBID a_edbid);
// Whether a switch of the shared values is supported and off (1): its
// values are shared.
bool IsShared(CDatabase* a_pdatabase, EDBID a_edbidSwitch);

// The shared values: the capability of a slot, the switch that makes it
// shared while it is 1, and whether it is a number (else an enumeration).
constexpr int s_iShareSlots = 7;
struct ShareSlot {
  EDBID edbid;
  EDBID edbidSwitch;
  bool blNumber;
};
extern const ShareSlot s_ashareslot[s_iShareSlots];
// The slot of a capability, -1 for one that is not shared.
int ShareSlotOf(EDBID a_edbid);

// One element with a text. Our reader keeps a CDATA section's text as it
// stands and decodes no entities, and the builder writes "&" as it stands:
// a text holding "&", "<" or ">" goes into CDATA (always with a_blCdata).
// The builder refuses "]]>" in CDATA: such a text is not written, false
// (logged).
bool AddText(COsXmlTask* a_posxmltask, const char* a_szName, const char* a_szText, bool a_blCdata);

// The text after the last "/" or "\\" (the whole text without one).
const char* FileNamePart(const char* a_szPath);

// The profile walk: ids 1 to 252, the windows in use, bins 1 to 5; the
// cameras of a window are passed over once its machine datum was visited.
// a_accept picks the datums, a_visit answers false to end the walk (the
// walk then answers false).
template <class Accept, class Visit>
bool EveryProfileDatum(CDatabase* a_pdatabase, Accept a_accept, Visit a_visit) {
  const int iWindows = WindowsInUse(a_pdatabase);
  for (int iId = DB_ID_FIRST; iId <= DB_ID_FINAL; ++iId) {
    for (int iWindow = 0; iWindow < iWindows; ++iWindow) {
      for (int iBin = DB_BIN_MACHINE; iBin <= DB_BIN_COLOR_REAR; ++iBin) {
        CDbDatum* pdbdatum = DatumAt(iWindow, static_cast<EDBID>(iId), static_cast<EDBBIN>(iBin));
        if (!pdbdatum || !a_accept(pdbdatum)) continue;
        if (!a_visit(pdbdatum)) return false;
        if (iBin == DB_BIN_MACHINE) break;
      }
    }
  }
  return true;
}

}  // namespace dbprofile
