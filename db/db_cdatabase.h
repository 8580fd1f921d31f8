// The capability database of one driver object: owns the datum table and the
// components of the database, and is the one object through which the rest
// of the driver reads and writes settings.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

class CDbConfig;
class CDbDatum;
class CDbFrame;
class CDbIa;
class CDbLabel;
class CDbLookup;
class CDbNotify;
class CDbProfileList;
class CDbVersion;
class COsXmlTask;
struct DbLookup2;
struct DbLookupEnum;
// One record of the colour tables (filled by the colour-table rules); a
// value of 0 or an empty label ends the list.
struct DbColorTableRecord {
  char szFile[512];
  char szName[64];        // English name
  int32_t i32Value;       // a COLORTABLE value
  int64_t i64Default;     // record 0: the default table's value
  int64_t i64Reserved;
  uint8_t u8Flag;
  char szLabel[64];       // display label
};
constexpr long DB_COLORTABLE_RECORDS = 64;

// One colour-dropout entry of the scanner (filled by the device engine); a
// value of 0 or an empty name ends the list.
struct DbEcdoRecord {
  uint32_t u32Value;      // an ECDO value
  char szName[256];       // as the scanner reports it, sent for feeder scans
  char szNameFlatbed[256];
  char szLabel[1024];     // display label
  char szKind[64];        // "normal", "discovery", "pmcdo" or "normalformdata"
  char szAlgorithm[64];
};
constexpr long DB_ECDO_RECORDS = 63;
struct DbEcdoHeader {
  DbEcdoRecord adbecdorecord[DB_ECDO_RECORDS];
};

// The suffix of a configuration-record key, defined with the records.
enum EDBCONFIGTARGET : int;
// The target of the keys common to both scanner units.
constexpr EDBCONFIGTARGET DB_EDBCONFIGTARGET_COMMON = static_cast<EDBCONFIGTARGET>(1);

class CDatabase {
 public:
  CDatabase();
  ~CDatabase();
  CDatabase(const CDatabase&) = delete;
  CDatabase& operator=(const CDatabase&) = delete;

  // Loads the lookup tables (and, once it exists, the profile list).
  EDBSTS Load(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile, bool a_blFlag);
  EDBSTS LoadLookup(EDBAPI a_edbapi, EDBLOADMETHOD a_edbloadmethod, const char* a_szFile);
  // Reloads the labels when the language has changed.
  void UpdateLabels();
  // The label of a key (negative index), or the entry at an index as
  // "tag\0text"; the fallback when there is none.
  const char* LabelGet(const char* a_szKey, const char* a_szFallback, int a_iIndex);

  // State bits of the datum table.
  void SetDbState(EDBSTATE a_edbstate);
  void ClearDbState(EDBSTATE a_edbstate);
  long TestDbState(EDBSTATE a_edbstate);
  long GetWindowMax();

  // The current window: the value of WINDOW (0 without it).
  EDBID_WINDOW GetWindow();
  // The datum of a capability named without "DB_ID_" (any case).
  CDbDatum* FindFromName(EDBBIN a_edbbin, const char* a_szName);

  // Owned and shared objects.
  CDbNotify* GetDbNotify() { return m_pdbnotify; }
  CDbVersion* GetDbVersion() { return m_pdbversion; }
  DbColorTableRecord* DeviceGetColorTableHeader() { return m_adbcolortablerecord; }
  DbEcdoHeader* DeviceGetEcdoHeader() { return &m_dbecdoheader; }
  COsXmlTask* GetXmlTask() { return m_posxmltask; }
  COsXmlTask* GetDbMakeXml();

  // Change notification.
  void NotifySet(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  void NotifyReset(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  void NotifyResetAll();
  void NotifyResetProfiles();
  CDbDatum* NotifyGet(EDBNOTIFY a_edbnotify, EDBID_WINDOW a_edbidwindow, EDBBIN a_edbbin, EDBID a_edbid);
  CDbDatum* NotifyGetFirst(EDBNOTIFY a_edbnotify);
  CDbDatum* NotifyGetNext(EDBNOTIFY a_edbnotify, CDbDatum* a_pdbdatum);
  uint64_t NotifyGetSidesCount();
  uint64_t NotifyGetImagesCount();

  // Lookup.
  DbLookup2* LookupEdbid(EDBID a_edbid);
  DbLookup2* LookupLexicon(const char* a_szLexicon);
  DbLookup2* LookupDriverLexicon(const char* a_szTwainLexicon);
  void LookupDump(const char* a_szFile);
  DbLookupEnum* LookupDbEnum(DbLookup2* a_pdblookup2, long a_lValue);
  DbLookupEnum* LookupLexiconEnum(DbLookup2* a_pdblookup2, const char* a_szLexicon);

  // Scanner configuration records.
  bool ConfigExists(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  bool ConfigEnumExists(const char* a_szId, const char* a_szEnum, EDBCONFIGTARGET a_edbconfigtarget);
  const char* ConfigEnumGetFirst(const char* a_szId, EDBCONFIGTARGET a_edbconfigtarget);
  const char* ConfigEnumGetNext(const char* a_szId, const char* a_szPrevEnum, EDBCONFIGTARGET a_edbconfigtarget);

 private:
  // The catalogue's levels, run by the constructor and the destructor only.
  void NewMachine();
  void NewCamera();
  void NewWindow();
  void DeleteMachine();
  void DeleteCamera();
  void DeleteWindow();

  CDbLookup* m_pdblookup;
  CDbLabel* m_pdblabel;
  CDbFrame* m_pdbframe;
  CDbNotify* m_pdbnotify;  // the datum table's, not owned
  CDbVersion* m_pdbversion;
  CDbProfileList* m_pdbprofilelist;
  CDbConfig* m_pdbconfig;
  CDbIa* m_pdbia;
  COsXmlTask* m_posxmltask;
  int m_iTaskId;
  int m_iReplyId;
  long m_edbscansource;
  DbColorTableRecord m_adbcolortablerecord[DB_COLORTABLE_RECORDS] = {};
  DbEcdoHeader m_dbecdoheader = {};
};
