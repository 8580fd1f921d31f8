// The scanner configuration records: what the attached model can do, as a
// sorted table of keys with a text and a number each. The table is filled
// from the DBCONFIG resource (a common section and one per model), the
// inquiry replies of the device manager for each scanner unit and the
// inquiry replies of the image-processing library, all in one report-inquiry
// grammar; everyone else reads it through the database.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDbConfigImpl;
class CDev;

// Which form of a key an operation addresses: the suffix after the id.
enum EDBCONFIGTARGET : int {
  DB_CONFIGTARGET_NONE = 0,     // no suffix
  DB_CONFIGTARGET_COMMON = 1,   // no suffix: keys common to both units
  DB_CONFIGTARGET_ADF = 2,      // "_adf": the feeder unit
  DB_CONFIGTARGET_FLATBED = 3,  // "_flatbed": the flatbed unit
  DB_CONFIGTARGET_PLAIN = 4,    // no suffix
  DB_CONFIGTARGET_LAST = 5,     // end mark, never passed
};

// Limits of the table.
constexpr size_t DB_CONFIG_RECORDS = 512;
constexpr size_t DB_CONFIG_KEY = 64;  // a key holds at most 63 characters

// One record: an empty key marks a free slot.
struct DbConfigRecord {
  char szKey[DB_CONFIG_KEY];
  char* szString;      // owned, or none
  uint64_t u64Number;  // 0 unless set
};

class CDbConfig {
 public:
  // Reads the DBCONFIG resource and its common section; the database is not
  // owned.
  explicit CDbConfig(CDatabase* a_pdatabase);
  ~CDbConfig();
  CDbConfig(const CDbConfig&) = delete;
  CDbConfig& operator=(const CDbConfig&) = delete;

  // The record of the key, made when missing; none when the table is full
  // or the key cannot be formed. Valid until the table next changes.
  DbConfigRecord* Add(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void Delete(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  bool Exists(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  // The record's text (which may be none); valid until the record changes.
  const char* GetString(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  // The record's number; -1 for a missing key.
  int64_t GetNumber(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  // Stores a copy of the text (none clears it) and its leading decimal
  // number as the record's number.
  void SetString(const char* a_szId, const char* a_szString, EDBCONFIGTARGET a_edbconfigtarget);
  void SetNumber(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);

  // Range bounds: the keys id + suffix + "_rangemin" / "_rangemax".
  uint64_t RangeGetMin(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  uint64_t RangeGetMax(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void RangeSetMin(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);
  void RangeSetMax(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);

  // Enumerated values: the keys id + suffix + "_enum_" + value, walked in
  // ascending order. A value returned stays valid until the table changes.
  void EnumAdd(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  bool EnumExists(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  void EnumDelete(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  const char* EnumGetFirst(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  const char* EnumGetNext(const char* a_szId, const char* a_szPrevEnum, EDBCONFIGTARGET a_edbconfigtarget);

  // Keeps one inquiry text of a unit (a_sizetXml 0: up to the terminator)
  // for ProcessReportInquiry; false when that slot is taken.
  bool LoadReportInquiry(const char* a_szXml, size_t a_sizetXml, bool a_blInterfaceOpen, bool a_blNexil,
                         EDBID_FIRMWARE a_edbidfirmware);
  // Drops every kept inquiry text: a unit opened again answers anew.
  void ForgetReportInquiries();
  // Reads the model's DBCONFIG section (none: the model the device stored)
  // and every kept text, then derives the keys of the whole model.
  bool ProcessReportInquiry(const char* a_szModel, CDev* a_pdev);
  // Reads one more inquiry reply at once, its range, enumeration and string
  // ids under the prefix.
  bool ProcessReportInquiryXml(const char* a_szPrefix, const char* a_szXml, EDBID_FIRMWARE a_edbidfirmware);
  // The language lexicon to ask of the device (a_blDevice) or of the
  // image-processing library, for a unit.
  const char* UseLanguage(bool a_blDevice, EDBID_FIRMWARE a_edbidfirmware);
  void Dump();
  // The record at a position of the sorted table (0 upwards), none past the
  // last. Valid until the table next changes.
  const DbConfigRecord* GetRecord(size_t a_sizetIndex);

 private:
  CDbConfigImpl* m_pdbconfig;
};
