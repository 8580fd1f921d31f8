// The implementation of the configuration records: the sorted table, the
// kept inquiry texts and the reader with the report-inquiry grammar.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_cdbconfig.h"
#include "os_cosxml.h"

// What the records ask of their database: the current value of the
// language capability (an EOSLANGUAGE) and whether the image-processing
// capability is supported. Tests put in their own answers.
struct DbConfigDatabaseQueries {
  long (*pfnGetLanguage)(CDatabase* a_pdatabase);
  bool (*pfnIsNexilSupported)(CDatabase* a_pdatabase);
};

// A copy of the table, taken before a reading that may fail halfway.
struct DbConfigSnapshot {
  uint32_t u32Records;
  DbConfigRecord* pdbconfigrecord;  // owns its strings
};

class CDbConfigImpl {
 public:
  explicit CDbConfigImpl(CDatabase* a_pdatabase);
  ~CDbConfigImpl();
  CDbConfigImpl(const CDbConfigImpl&) = delete;
  CDbConfigImpl& operator=(const CDbConfigImpl&) = delete;

  // The table (db_cdbconfigimpl.cpp).
  DbConfigRecord* Add(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void Delete(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  bool Exists(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  const char* GetString(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  int64_t GetNumber(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void SetString(const char* a_szId, const char* a_szString, EDBCONFIGTARGET a_edbconfigtarget);
  void SetNumber(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);
  uint64_t RangeGetMin(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  uint64_t RangeGetMax(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  void RangeSetMin(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);
  void RangeSetMax(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget);
  void Dump();
  const DbConfigRecord* GetRecord(size_t a_sizetIndex) const {
    return a_sizetIndex < m_u32Records ? &m_adbconfigrecord[a_sizetIndex] : nullptr;
  }

  // Enumerated values (db_cdbconfigimpl_enum.cpp).
  void EnumAdd(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  bool EnumExists(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  void EnumDelete(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  const char* EnumGetFirst(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  const char* EnumGetNext(const char* a_szId, const char* a_szPrevEnum, EDBCONFIGTARGET a_edbconfigtarget);

  // Inquiry texts (db_cdbconfigimpl_inquiry.cpp).
  bool LoadReportInquiry(const char* a_szXml, size_t a_sizetXml, bool a_blInterfaceOpen, bool a_blNexil,
                         EDBID_FIRMWARE a_edbidfirmware);
  // Drops every kept inquiry text.
  void ReleaseTexts();
  bool ProcessReportInquiry(const char* a_szModel, CDev* a_pdev);
  bool ProcessReportInquiryXml(const char* a_szPrefix, const char* a_szXml, EDBID_FIRMWARE a_edbidfirmware);

  // Language (db_cdbconfigimpl_language.cpp).
  const char* UseLanguage(bool a_blDevice, EDBID_FIRMWARE a_edbidfirmware);
  // Null restores the database's own answers.
  static void SetDatabaseQueries(const DbConfigDatabaseQueries* a_pdbconfigdatabasequeries);

  // The report-inquiry grammar (db_cdbconfigimpl_grammar.cpp): the
  // trampolines the reader finds by name, and the handlers they call.
  static EOSSTS CDbConfigImpl_ExitReportinquiry(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryRange(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryRangeId(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryRangeRangemin(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryRangeRangemax(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryEnum(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryEnumId(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryEnumValue(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryString(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryStringId(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquiryStringValue(OsXmlCallback* a_posxmlcallback);
  static EOSSTS CDbConfigImpl_EnterReportinquirySupportedId(OsXmlCallback* a_posxmlcallback);

  static const char s_szDbConfigGrammar[];

  EOSSTS ExitReportinquiry(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterReportinquiryElement(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterReportinquiryId(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterReportinquiryRangeBound(OsXmlCallback* a_posxmlcallback, bool a_blMax);
  EOSSTS EnterReportinquiryEnumValue(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterReportinquiryStringValue(OsXmlCallback* a_posxmlcallback);
  EOSSTS EnterReportinquirySupportedId(OsXmlCallback* a_posxmlcallback);

 private:
  // Handler helpers (db_cdbconfigimpl_grammar.cpp).
  bool ValueIdReady(const char* a_szText, const char* a_szMissing, EOSSTS* a_peossts);
  bool PrefixedId(char* a_szId, size_t a_sizetId, bool a_blNexil);
  EDBCONFIGTARGET UnitTarget(const char* const* a_pszPerUnit, const char* a_szId);

  // Keys (db_cdbconfigimpl.cpp). A key is [prefix "_"] id suffix [kind
  // [value]]; false (logged, nothing made) when it does not fit.
  bool ComposeKey(char* a_szKey, const char* a_szPrefix, const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget,
                  const char* a_szKind, const char* a_szValue);
  DbConfigRecord* Find(const char* a_szKey);
  DbConfigRecord* AddKey(const char* a_szKey);
  void DeleteKey(const char* a_szKey);
  void Sort();
  static bool IdMissing(const char* a_szId);
  bool EnumKey(char* a_szKey, const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  bool IsEmpty(const char* a_szId, const char* a_szEnum);
  DbConfigRecord* FindRange(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget, const char* a_szKind);
  uint64_t RangeGet(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget, const char* a_szKind,
                    const char* a_szLabel);
  void RangeSet(const char* a_szId, uint64_t a_u64Number, EDBCONFIGTARGET a_edbconfigtarget, const char* a_szKind);
  void ReleaseRecords(DbConfigRecord* a_pdbconfigrecord, size_t a_sizetRecords);

  // Snapshots, so that a reading that fails leaves the table as it was.
  bool SnapshotTake(DbConfigSnapshot* a_pdbconfigsnapshot);
  void SnapshotRestore(DbConfigSnapshot* a_pdbconfigsnapshot);
  void SnapshotDrop(DbConfigSnapshot* a_pdbconfigsnapshot);

  // Reading (db_cdbconfigimpl_inquiry.cpp).
  bool CreateReader();
  void ReleaseReader();
  void LoadDbConfig();
  bool DispatchSection(const char* a_szSection);
  bool DispatchText(const char* a_szXml, size_t a_sizetXml, bool a_blFlatbed, bool a_blNexil);
  bool ReadInquiryTexts(CDev* a_pdev);
  bool DeriveSheet(const char* a_szId);
  void DeriveKeys();

  // The database's answers, or the ones a test put in.
  static const DbConfigDatabaseQueries& DatabaseQueries();

  uint32_t m_u32Records;
  DbConfigRecord m_adbconfigrecord[DB_CONFIG_RECORDS];
  bool m_blFlatbed;  // a text of the flatbed unit is being read
  bool m_blNexil;    // an image-library text is being read
  char m_szId[DB_CONFIG_KEY];  // id of the range, enum or string being read
  bool m_blIdRefused;          // its id was too long: its values are skipped
  char* m_szAdf;
  char* m_szAdfInterfaceOpen;
  char* m_szAdfInterfaceOpenNexil;
  char* m_szFlatbed;
  char* m_szFlatbedInterfaceOpen;
  char* m_szFlatbedInterfaceOpenNexil;
  char* m_szPrefix;  // only while ProcessReportInquiryXml reads
  COsXml* m_posxml;
  char* m_szDbConfig;
  CDatabase* m_pdatabase;  // not owned
};
