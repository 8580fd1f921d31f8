// The image-address rules of a database: one object that the indexing,
// batch, level and patch capabilities forward their rules to. The database
// creates it only for scanner models that offer indexing.
//
// Every operation takes the capability value whose rule runs; without its
// implementation (it could not be made) each one logs and answers 1.
#pragma once

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDbDatum;
class CDbIaImpl;

class CDbIa {
 public:
  explicit CDbIa(CDatabase* a_pdatabase);
  ~CDbIa();
  CDbIa(const CDbIa&) = delete;
  CDbIa& operator=(const CDbIa&) = delete;

  EOSSTS FixDefault(CDbDatum* a_pdbdatum);
  EOSSTS FixAccess(CDbDatum* a_pdbdatum);
  EOSSTS FixCurrent(CDbDatum* a_pdbdatum);
  // 0 accepts, 4 refuses, 14 not modifiable, 1 for an id it does not rule.
  EOSSTS Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, long a_lValue);
  EOSSTS Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, const char* a_szValue);
  void MakeXml(CDbDatum* a_pdbdatum, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget);

  // The settings an image address is made of: batch settings, check digit,
  // template, fields, starting address, levels to follow, patch settings
  // and the printer's image-address format and level.
  static bool IsImageAddressSetting(EDBID a_edbid);

  // Tests make the implementation's allocation fail as if memory ran out
  // (null: allocations succeed).
  using PFNDBIAFAIL = bool (*)();
  static void SetAllocationSeam(PFNDBIAFAIL a_pfndbiafail);

 private:
  // The implementation, or null (logged) when it could not be made.
  CDbIaImpl* Impl();

  CDbIaImpl* m_pdbiaimpl;  // null when it could not be made
};
