// The window rules: the current scan window and camera, the paper sizes
// offered and chosen per machine and per window, the cropping mode of each
// camera, the orientation and skew angle of the frame, the image format per
// window, the measuring units, the physical width and the page-size limit
// of multifeed detection by length. They work with the frame rules
// (db_cframe), which place the frame from the sizes chosen here.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

// WINDOWBIN (248, "windowtag"): window x 4 plus the camera position (0
// bitonal front, 1 bitonal rear, 2 colour front, 3 colour rear), 44 none.
// It keeps a profile container, made by its first default fix and re-used
// by every later one; the enumeration deletes it.
class CWINDOWBIN : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;

  // Seam: answers true when the profile container's allocation is to fail
  // as if memory ran out; null restores plain allocation. Tests use it.
  static void SetProfileAllocationSeam(bool (*a_pfnFail)());
};

// WINDOW (247, "windowenum"): the current window, 0 to 10. Its list decides
// the number of windows in use that every window loop of the rules reads.
class CWINDOW : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// WINDOWSIZE (249), one paper size per window and camera, 1 none.
class CWINDOWSIZE : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// SUPPORTEDSIZES (229, "imagepreset"): the paper size, 1 none (a frame of
// the user's own), 75 to 84 the custom sizes.
class CSUPPORTEDSIZES : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// CROPPINGMODE (54), per camera: long paper (5) is entered and left by all
// cameras together.
class CCROPPINGMODE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  // A preview sends the mode's preview class.
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

// ORIENTATION (164), per camera: a quarter turn (rot270) is offered while
// the frame turned still fits the sheet.
class CORIENTATION : public CDbEnum {
 public:
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

// IMAGESKEWANGLE (128), per window and camera, in 1/10000 degree: none with
// long paper or a paper size.
class CIMAGESKEWANGLE : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
};

// IMAGEFORMAT (124), per window and camera.
class CIMAGEFORMAT : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  // Learning a custom colour dropout without one asks for colour.
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

// UNITS (246): 1 inches, 2 centimeters, 3 pixels.
class CUNITS : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

// PAGESIZELIMIT (167, "multifeedlength"), 1/1200 inch: the longest page
// accepted before a length multifeed is reported; never below the longest
// frame the settings ask for.
class CPAGESIZELIMIT : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// PHYSICALWIDTH (183), 1/1200 inch: the sheet's width, a single value.
class CPHYSICALWIDTH : public CDbRange {
 public:
  EOSSTS FixDefault() override;
};

// Window-bins: a front camera (the even values 0 to 42); the other face in
// the same window and colour mode (0 and 1, ..., 42 and 43), -1 for a value
// outside 0..43.
bool IsFront(EDBID_WINDOWBIN a_edbidwindowbin);
EDBID_WINDOWBIN GetOppositeSide(EDBID_WINDOWBIN a_edbidwindowbin);
// Refills the current list of window-bins window by window in the order of
// the current camera's colour mode (colour: colour front, bitonal front,
// colour rear, bitonal rear; bitonal: the two modes the other way round),
// keeping only what the default list holds; nothing when the current value
// is already first. The current value stays.
void OrderWindowCamera(CWINDOWBIN* a_pcwindowbin);

// Rule classes are their container: the catalogue builds them as one.
static_assert(sizeof(CWINDOWBIN) == sizeof(CDbEnum));
static_assert(sizeof(CWINDOW) == sizeof(CDbEnum));
static_assert(sizeof(CWINDOWSIZE) == sizeof(CDbEnum));
static_assert(sizeof(CSUPPORTEDSIZES) == sizeof(CDbEnum));
static_assert(sizeof(CCROPPINGMODE) == sizeof(CDbEnum));
static_assert(sizeof(CORIENTATION) == sizeof(CDbEnum));
static_assert(sizeof(CIMAGESKEWANGLE) == sizeof(CDbRange));
static_assert(sizeof(CIMAGEFORMAT) == sizeof(CDbEnum));
static_assert(sizeof(CUNITS) == sizeof(CDbEnum));
static_assert(sizeof(CPAGESIZELIMIT) == sizeof(CDbRange));
static_assert(sizeof(CPHYSICALWIDTH) == sizeof(CDbRange));
