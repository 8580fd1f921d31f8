// The indexing rules: batch settings, the image-address template, fields
// and starting address, the indexing format, the levels to follow, the
// check digit and patch-code detection with its types, heads and toggling.
//
// Most classes hold no rule of their own: they hand their rule operations
// to the database's image-address rules (CDbIa) and, on a model that offers
// no indexing (no such object), leave their capability unsupported. Which
// operations each one hands on is a table in db_cindexing.cpp; every rule
// operation of these classes goes through it, and one the table does not
// name is the container's own.
#pragma once

#include "db_cdbenum.h"
#include "db_cdbrange.h"
#include "db_cdbstring.h"

#define DB_INDEXING_OPERATIONS                                                    \
  EOSSTS FixAccess() override;                                                   \
  EOSSTS FixCurrent() override;                                                  \
  EOSSTS FixDefault() override;                                                  \
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
#define DB_INDEXING_OPERATIONS_CDbEnum \
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
#define DB_INDEXING_OPERATIONS_CDbRange \
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, long a_lValue) override;
#define DB_INDEXING_OPERATIONS_CDbString \
  EOSSTS Validate(EDBID_WINDOW a_edbidwindow, const char* a_szValue) override;

// X(capability, container) of every class that hands operations on.
#define DB_INDEXING_CLASSES(X)                 \
  X(BATCHCOUNT, CDbRange)                      \
  X(BATCHCOUNTENABLED, CDbEnum)                \
  X(BATCHENDFUNCTION, CDbEnum)                 \
  X(BATCHLEVEL, CDbEnum)                       \
  X(BATCHSTARTFUNCTION, CDbEnum)               \
  X(IMAGEADDRESS, CDbString)                   \
  X(IMAGEADDRESSSCANNER, CDbString)            \
  X(IMAGEADDRESSTEMPLATES, CDbEnum)            \
  X(IMAGEADDRESSTEMPLATES_PREV, CDbEnum)       \
  X(IMAGEADDRESS_A, CDbString)                 \
  X(IMAGEADDRESS_B, CDbString)                 \
  X(IMAGEADDRESS_C, CDbString)                 \
  X(IMAGEADDRESS_D, CDbString)                 \
  X(INDEXINGFORMAT, CDbEnum)                   \
  X(LEVELTOFOLLOW1, CDbEnum)                   \
  X(LEVELTOFOLLOW2, CDbEnum)                   \
  X(LEVELTOFOLLOW3, CDbEnum)                   \
  X(PATCHCODEDETECTIONENABLED, CDbEnum)        \
  X(PATCHFEATURE1, CDbEnum)                    \
  X(PATCHFEATURE4, CDbEnum)                    \
  X(PATCHFEATURE6, CDbEnum)                    \
  X(PATCHHEAD1, CDbEnum)                       \
  X(PATCHHEAD2, CDbEnum)                       \
  X(PATCHHEAD3, CDbEnum)                       \
  X(PATCHHEAD4, CDbEnum)                       \
  X(PATCHLEVEL2, CDbEnum)                      \
  X(PATCHLEVEL3, CDbEnum)                      \
  X(PATCHTRANSFER, CDbEnum)

#define DB_INDEXING_CLASS(NAME, CONTAINER)  \
  class C##NAME : public CONTAINER {        \
   public:                                  \
    DB_INDEXING_OPERATIONS                  \
    DB_INDEXING_OPERATIONS_##CONTAINER      \
  };                                        \
  static_assert(sizeof(C##NAME) == sizeof(CONTAINER));

DB_INDEXING_CLASSES(DB_INDEXING_CLASS)

#undef DB_INDEXING_CLASS

// CHECKDIGIT (40, "iacheckdigit"): offered only by a model that names it.
class CCHECKDIGIT : public CDbEnum {
 public:
  EOSSTS FixDefault() override;
};

// TOGGLEPATCH (235, "patchtogglemode"; 1 none, 2 bothsides, 3 frontside,
// 4 sameside, 5 detectonly): the model's list; off where toggling cannot
// work (long paper, the flatbed, automatic colour) and during a preview.
class CTOGGLEPATCH : public CDbEnum {
 public:
  EOSSTS FixCurrent() override;
  EOSSTS FixDefault() override;
  void MakeXml(long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget) override;
};

static_assert(sizeof(CCHECKDIGIT) == sizeof(CDbEnum));
static_assert(sizeof(CTOGGLEPATCH) == sizeof(CDbEnum));
