// The implementation of the image-address rules. All rule state lives in
// the capability values, so it holds only the database it belongs to.
//
// An image address has up to four dot-separated fields, A to D. The pattern
// of a field is a run of one repeated character: "F" for fixed text, "1",
// "2" or "3" for a counter of that level; its length is the field's width
// and an empty pattern leaves the field unused.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDbDatum;

// One predefined address: the levels to follow, the patterns of fields A to
// D and all used patterns joined by ".".
struct DbImageAddressTemplate {
  int64_t i64Row;
  int64_t ai64LevelToFollow[3];
  char aszField[4][32];
  char szFull[64];
};

class CDbIaImpl {
 public:
  explicit CDbIaImpl(CDatabase* a_pdatabase);
  CDbIaImpl(const CDbIaImpl&) = delete;
  CDbIaImpl& operator=(const CDbIaImpl&) = delete;

  CDatabase* GetDatabase() const { return m_pdatabase; }
  // Tests make the constructor throw as an allocation that runs out of
  // memory would (null: it never does).
  static void SetAllocationSeam(bool (*a_pfnfail)());

  EOSSTS FixDefault(CDbDatum* a_pdbdatum);
  EOSSTS FixAccess(CDbDatum* a_pdbdatum);
  EOSSTS FixCurrent(CDbDatum* a_pdbdatum);
  EOSSTS Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, long a_lValue);
  EOSSTS Validate(CDbDatum* a_pdbdatum, EDBID_WINDOW a_edbidwindow, const char* a_szValue);
  void MakeXml(CDbDatum* a_pdbdatum, long a_lValue, EDBDEVICEDATA a_edbdevicedataTarget);

  // Whether the value's access follows the indexing format now: the format
  // is imageaddress, or an image-address setting started the running pass.
  bool NeedImageAddress(CDbDatum* a_pdbdatum);
  // The row of the selected template (2 to 18), else null.
  const DbImageAddressTemplate* GetDbImageAddressTemplate();
  // Wipes a printer write sequence (to "Z") that prints a field no longer
  // in use.
  EOSSTS CheckForInvalidIa(CDbDatum* a_pdbdatum);

  // Indexed by the value of IMAGEADDRESSTEMPLATES; rows 0 and 1 are never
  // selected.
  static const DbImageAddressTemplate s_adbimageaddresstemplates[19];

 private:
  // The pattern of field 0 to 3 (A to D); false when the field cannot be
  // read (no such capability, or not supported), the pattern then empty.
  static bool FieldPattern(int a_iField, const char** a_pszPattern);
  // Some field's pattern begins with the level's digit ('1' to '3').
  static bool HasFieldOfLevel(char a_cLevel);
  // Relaxed checks, or a profile or the resource being loaded.
  static bool IsRelaxedOrLoading();
  static bool IsImageAddressFormat();

  // The checks of a text that may be stored (modifiable, not null, no
  // relaxed checks, no loading): the starting address against the fields in
  // use, a field's pattern against the other fields, and the lines the
  // printer would print with that pattern in its field ('A' to 'D').
  EOSSTS ValidateAddress(const char* a_szValue);
  EOSSTS ValidatePattern(CDbDatum* a_pdbdatum, const char* a_szValue);
  EOSSTS CheckPrinterLines(char a_cField, const char* a_szPattern);
  // Records the token as the last image-address error and refuses: 4.
  EOSSTS Refuse(const char* a_szToken);

  EOSSTS FixAccessBatchCount(CDbDatum* a_pdbdatum);
  void FollowTemplate(CDbDatum* a_pdbdatum, long a_lTemplate);
  void RebuildFromScanner(CDbDatum* a_pdbdatum, const char* a_szScanner);
  void FallBackLevel(CDbDatum* a_pdbdatum, bool a_blRecord);

  CDatabase* m_pdatabase;  // not owned
};
