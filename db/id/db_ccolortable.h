// The colour tables a colour camera applies (49, "colortable": 3 pictures,
// 4 text, 5 text with pictures, the default) and the two settings that
// follow the table: DOCUMENTTYPE (70, "documenttype") and MEDIATYPE (148,
// "mediatype"), which the cameras share, or each side keeps its own where
// the model says "documentmediatypeperside".
#pragma once

#include "db_cdbenum.h"

class CCOLORTABLE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
};

class CDOCUMENTTYPE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  // A document type the override forces is sent in place of the value.
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

class CMEDIATYPE : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
};

static_assert(sizeof(CCOLORTABLE) == sizeof(CDbEnum));
static_assert(sizeof(CDOCUMENTTYPE) == sizeof(CDbEnum));
static_assert(sizeof(CMEDIATYPE) == sizeof(CDbEnum));

// Writes the database's colour-table records when COLORTABLE is offered:
// the three tables of the driver, labelled in the current language, record
// 0 naming the default; each table's lookup entry takes its label. No file
// is read. 0.
EOSSTS LoadColorTables(CDbEnum* a_pdbenumColorTable);
