// The camera rules: which of the four cameras produce an image in each scan
// window, whether the job is one-sided or two-sided, from which paper source
// it comes, whether front and rear images may be merged into one, and
// whether the sides and the images of a side may differ. They keep these
// settings consistent with each other while one of them changes.
#pragma once

#include "db_cdbenum.h"

// CAMERAENABLE (38, "windowenabled"), one value per window and camera: 1 off,
// 2 on. The window-0 object of a camera rules that camera in every window.
class CCAMERAENABLE : public CDbEnum {
 public:
  // A camera switched on or off is never a difference between the bins.
  bool Compare(long a_lA, long a_lB) override;
  // Window 0 keeps a camera on, and a two-sided job a front and a rear one.
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// INPUTDOCUMENT (133): 1 twosided, 2 onesidedfront, 3 onesidedrear.
class CINPUTDOCUMENT : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;

  // The job the window-0 cameras make: 1 with a front and a rear camera on,
  // 3 with rear cameras only, 2 otherwise.
  static long FromCameras();
};

// PAPERSOURCE (169): 1 adfflatbed, 2 adf, 3 flatbed, 4 to 7 the elevators, 8
// to 11 the elevators with the flatbed.
class CPAPERSOURCE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  // The unit that scans receives a source of its own.
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

// IMAGEMERGE (125): 1 none, 2 to 5 where the front image goes.
class CIMAGEMERGE : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  // None while a preview is scanned or while merging does not apply.
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

// SIDESDIFFERENT (226): follows nothing.
class CSIDESDIFFERENT : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
};

// IMAGESDIFFERENT (127): decided anew when the cameras or what drives them
// change.
class CIMAGESDIFFERENT : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
};

// Rule classes are their container: the catalogue builds them as one.
static_assert(sizeof(CCAMERAENABLE) == sizeof(CDbEnum));
static_assert(sizeof(CINPUTDOCUMENT) == sizeof(CDbEnum));
static_assert(sizeof(CPAPERSOURCE) == sizeof(CDbEnum));
static_assert(sizeof(CIMAGEMERGE) == sizeof(CDbEnum));
static_assert(sizeof(CSIDESDIFFERENT) == sizeof(CDbEnum));
static_assert(sizeof(CIMAGESDIFFERENT) == sizeof(CDbEnum));
