// The barcode rules: whether the scanner or the image library reads
// barcodes from a camera's images, with which symbologies, how many, in
// which directions and where. The bitonal and colour cameras of one side
// keep their settings alike, the settings are enabled only while reading is
// on, and the search region stays on the sheet. Every class rules one value
// per camera (bins 2 to 5) in window 0.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"

// BARCODEENABLE (17): 1 off, 2 on.
class CBARCODEENABLE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// BARCODEENHANCEMENT (18): offered where the scanner names it.
class CBARCODEENHANCEMENT : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

// BARCODECOUNT (16): how many barcodes to read.
class CBARCODECOUNT : public CDbRange {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// BARCODESEARCHAREA (19): 1 entiredocument, 2 partialdocument.
class CBARCODESEARCHAREA : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// BARCODESEARCHMODE (24, the directions) and BARCODETYPE (25, the
// symbologies: a selection list whose current list holds the types chosen):
// from the scanner's list, else from the image library's.
class CBARCODESEARCHMODE : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

class CBARCODETYPE : public CDbEnum {
 public:
  EOSSTS FixAccess() override;
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

// The search region, in 1/1200 inch: BARCODESEARCHREGIONHEIGHT (20),
// BARCODESEARCHREGIONOFFSETX (21), BARCODESEARCHREGIONOFFSETY (22) and
// BARCODESEARCHREGIONWIDTH (23). One family: the sides share their rules,
// told apart by the side each object stands for (its id).
#define DB_BARCODE_REGION_RULE_OPERATIONS \
  EOSSTS FixAccess() override;            \
  EOSSTS FixCurrent() override;           \
  EOSSTS FixDefault() override;

class CBARCODESEARCHREGIONHEIGHT : public CDbRange {
 public:
  DB_BARCODE_REGION_RULE_OPERATIONS
};

class CBARCODESEARCHREGIONOFFSETX : public CDbRange {
 public:
  DB_BARCODE_REGION_RULE_OPERATIONS
};

class CBARCODESEARCHREGIONOFFSETY : public CDbRange {
 public:
  DB_BARCODE_REGION_RULE_OPERATIONS
};

class CBARCODESEARCHREGIONWIDTH : public CDbRange {
 public:
  DB_BARCODE_REGION_RULE_OPERATIONS
};

#undef DB_BARCODE_REGION_RULE_OPERATIONS

// Rule classes are their container: the catalogue builds them as one.
static_assert(sizeof(CBARCODEENABLE) == sizeof(CDbEnum));
static_assert(sizeof(CBARCODEENHANCEMENT) == sizeof(CDbEnum));
static_assert(sizeof(CBARCODECOUNT) == sizeof(CDbRange));
static_assert(sizeof(CBARCODESEARCHAREA) == sizeof(CDbEnum));
static_assert(sizeof(CBARCODESEARCHMODE) == sizeof(CDbEnum));
static_assert(sizeof(CBARCODETYPE) == sizeof(CDbEnum));
static_assert(sizeof(CBARCODESEARCHREGIONHEIGHT) == sizeof(CDbRange));
static_assert(sizeof(CBARCODESEARCHREGIONOFFSETX) == sizeof(CDbRange));
static_assert(sizeof(CBARCODESEARCHREGIONOFFSETY) == sizeof(CDbRange));
static_assert(sizeof(CBARCODESEARCHREGIONWIDTH) == sizeof(CDbRange));
