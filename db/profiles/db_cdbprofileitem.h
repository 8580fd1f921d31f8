// One settings profile: its identity, flags and display texts, the file
// that holds it, the profile document written from the database and read
// back, the shared values (item 0 keeps them for every profile, in the own
// directory's "profile.share"), and the report elements that describe it.
// Item 0 of the profile list stands for the defaults compiled into the
// library's DATABASE resource, which also gives every capability of the
// database its access, consumers, default and allowed values.
//
// The profile code takes no lock of its own: its callers hold the database
// lock (db/db_cdblock.h), which also guards the report builder until the
// caller has copied a report.
//
// Units: db_cdbprofileitem.cpp (construction, header, texts, load of a
// file), ..._resource.cpp (the DATABASE resource), ..._generate.cpp (the
// document), ..._save.cpp (saving and the data-file reports), ..._report.cpp
// (report elements, modification), ..._share.cpp (shared values),
// ..._apply.cpp (applying values), ..._ini.cpp (INI conversion).
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class COsXml;
class COsXmlTask;
class CDbDatum;
struct DbLookup2;
struct DbResourceRecord;

class CDbProfileItem {
 public:
  // Room of the texts, terminator included.
  static constexpr size_t s_sizetVersion = 16;
  static constexpr size_t s_sizetFamily = 32;
  static constexpr size_t s_sizetPath = 512;
  // Room for the longest group name ("profilenoiaprinter").
  static constexpr size_t s_sizetGroup = 32;
  static constexpr size_t s_sizetId = 32;
  static constexpr size_t s_sizetName = 181;
  // The display texts by language: at most 32, each a locale element name
  // ("l_en_usa") and its text.
  static constexpr long s_lLocales = 32;
  static constexpr size_t s_sizetLocaleName = 16;
  struct Locale {
    char szName[s_sizetLocaleName];
    char szText[s_sizetName];
  };
  // The shared values, one slot each, in the order of s_adbshareslot.
  static constexpr int s_iShareSlots = 7;
  // The capacity of the private builders a document is generated in.
  static constexpr size_t s_sizetDocument = 0x10000;
  // The name of the shared values' file in the own directory.
  static constexpr const char* s_szShareFile = "profile.share";

  // The directories are the list's and must outlive the item; null texts
  // count as empty.
  CDbProfileItem(const char* a_szFilename, const char* a_szGraphicFilename, const char* a_szInstalledDirectory,
                 const char* a_szInstalledGraphicsDirectory, const char* a_szOwnDirectory,
                 const char* a_szOwnGraphicsDirectory, CDatabase* a_pdatabase, COsXmlTask* a_posxmltask);
  ~CDbProfileItem();
  CDbProfileItem(const CDbProfileItem&) = delete;
  CDbProfileItem& operator=(const CDbProfileItem&) = delete;

  // -------------------------------------------------------------------------
  // Loading (db_cdbprofileitem.cpp, db_cdbprofileitem_resource.cpp)
  // -------------------------------------------------------------------------
  // Item 0 (no file): the header and, unless header-only, the defaults of
  // the DATABASE resource; with reset-flags the item becomes the installed
  // database-resource profile; then the shared values (a "profile.share"
  // that cannot be used is logged and taken as absent: item 0 loads).
  // An item with a file: its header (the values are applied by SetCurrent);
  // a file that is not XML is converted first when a_blConvertIni allows
  // it, and with a_blStopAfterConversion the conversion's status is all.
  EOSSTS Load(bool a_blHeaderOnly, bool a_blResetFlags, bool a_blConvertIni, bool a_blStopAfterConversion);
  // The DATABASE resource of the library's own file: its header into this
  // item and, unless header-only, every record into the window-0 datums of
  // its capability (database state 3 while it runs). 0, or 1 with a log line.
  EOSSTS LoadDatabaseResource(bool a_blHeaderOnly);
  // The children of the reader's current "header" element. A text too long
  // for its field is cut (logged).
  EOSSTS LoadHeader(COsXml* a_posxml);
  // Turns an INI profile of an earlier driver into a profile document: with
  // a_blCheckConverted the file is rewritten in place (a_szResult may be
  // null); otherwise a new file is written and its path given in a_szResult.
  // 1 with the source untouched on any failure.
  EOSSTS ConvertIni2Xml(const char* a_szSource, bool a_blCheckConverted, char* a_szResult, size_t a_sizetResult);

  // -------------------------------------------------------------------------
  // Display texts (db_cdbprofileitem.cpp)
  // -------------------------------------------------------------------------
  // The profile's text in a language ("de_deu" or "l_de_deu", any case), or
  // with none in the current language order; the name when there is none.
  const char* GetLocaleText(const char* a_szLanguage) const;
  // A copy of the other item's table in place of this one's (none when it
  // has none); 1 when memory runs out (this item is then left without one).
  EOSSTS CopyDbProfileLocale(const CDbProfileItem* a_pdbprofileitem);
  // A user profile against the installed profile of the same id: both show
  // the same text (and no force): this item keeps its table or takes the
  // installed one's with its name from its "l_en_usa"; else its own table is
  // dropped so that its own name shows. 1 when called for another pair or
  // when memory runs out.
  EOSSTS FixLocale(const CDbProfileItem* a_pdbprofileitemInstalled, bool a_blForce);

  // -------------------------------------------------------------------------
  // Writing (db_cdbprofileitem_generate.cpp, db_cdbprofileitem_save.cpp)
  // -------------------------------------------------------------------------
  // The whole document of a group ("profilenormalsave", "profileall",
  // "profileshare", "profileiaprinter", "profilenoiaprinter"; any other name
  // is logged and written as "profileall") into the cleared builder. 1 on a
  // container without a form, a text that cannot be written ("]]>" in a
  // text) or a builder that fails.
  EOSSTS Generate(const char* a_szGroup, COsXmlTask* a_posxmltask);
  // A user profile into its own file (the picture copied into the own
  // graphics directory first), then the shared values through the share
  // item; the values become the profile's. The file is replaced whole or
  // left as it was.
  EOSSTS Save(CDbProfileItem* a_pdbprofileitemShare);
  // The group's document into a new file "gdf" plus six characters in the
  // log directory, which the caller owns: its path into the buffer (which
  // must hold a non-empty text on entry and be at least 16 bytes), its
  // length into a_pu32Length when given.
  EOSSTS Save(const char* a_szGroup, char* a_szFilename, uint32_t a_u32FilenameSize, uint32_t* a_pu32Length);
  // The group's document into a new file "rdf" plus six characters in the
  // log directory, which the caller owns and removes, described by the
  // report builder's "reportdatafile" element (id, filename, datasize);
  // null on failure.
  const char* ReportDataFile(const char* a_szGroup);

  // -------------------------------------------------------------------------
  // Reports and modification (db_cdbprofileitem_report.cpp)
  // -------------------------------------------------------------------------
  // A "profileitem" element at the depth, as a non-task element (which
  // starts the builder anew) or as a command inside an open one. The
  // picture is looked for first; one that cannot be found is cleared.
  EOSSTS ProfileItem(bool a_blIsCurrent, int a_iDepth, bool a_blAsNonTask);
  // The builder cleared, then "reportprofileitem" holding this item as the
  // current profile (empty for a hidden item); its text, null on failure.
  const char* ReportProfileItem(int a_iDepth);
  // Whether a value the profile holds has changed since it was applied or
  // saved (the database's profile-change set); never for a hidden profile.
  bool IsProfileModified();

  // -------------------------------------------------------------------------
  // Shared values (db_cdbprofileitem_share.cpp)
  // -------------------------------------------------------------------------
  // The slots from the defaults, then, with a_blReadFile, from
  // "profile.share" (one that cannot be used is logged and taken as
  // absent); then the item applies them (SetCurrent's shared form).
  EOSSTS LoadShare(bool a_blReadFile);
  // The shared values in force into the slots; "profile.share" holds those
  // that differ from their defaults, and is removed when none does.
  EOSSTS SaveShare();
  // The shared timeout response (DB_ID_TRANSPORTTIMEOUTRESPONSE alone)
  // becomes the value in force once the rule has rebuilt its list, when
  // the list offers it. 0 also for the ids it does not handle (logged).
  EOSSTS UpdateShare(EDBID a_edbid);
  // A slot's value; 0 for an index outside the record or without one.
  int64_t GetShareValue(int a_iSlot) const;

  // -------------------------------------------------------------------------
  // Applying values (db_cdbprofileitem_apply.cpp)
  // -------------------------------------------------------------------------
  // Applies a profile: the profile capabilities back to the DATABASE
  // resource (not for the shared values nor the partial printer groups),
  // the document's values (the group document at a_szFilename of a_u32Size
  // bytes, else the item's own file; item 0 has none), the share item's
  // shared values, the profile lists, then the rules (not for the shared
  // values). A failure puts every value back as it was before the call.
  EOSSTS SetCurrent(CDbProfileItem* a_pdbprofileitemShare, const char* a_szGroup, const char* a_szFilename,
                    uint32_t a_u32Size, bool a_blShared);
  // The profile capabilities back to their defaults (the indicators and
  // the printer index too only with a_blAll or ForceProfileResetAll), the
  // rules rerun, and the values become the profile's.
  EOSSTS ResetToDatabaseResource(bool a_blAll);
  // The window tags of WINDOWBIN from an "enum" element: a first value
  // "frontcolor..." puts the colour cameras first; 0.
  EOSSTS SetCurrentWindowTag(COsXml* a_posxml);
  // A list value ("enum" of "v") of a value element: the values the
  // default list offers become the current list, the first one the value.
  EOSSTS SetCurrentEnumList(DbLookup2* a_pdblookup2, CDbDatum* a_pdbdatum, COsXml* a_posxml);
  // A timeout response the scanner does not offer: the default, and for an
  // installed profile the shared feeder values take over; 0.
  EOSSTS HandleUnsupportedAdfTimeoutResponse();
  // A fix pass per capability, then every access.
  void FixCurrentAccessAll();
  // The current lists of the profile enumerations become their profile
  // containers' lists.
  void SetProfileContainer();
  // The values in force become the profile's and leave the profile-change
  // set. 1 on a datum of an unknown container.
  EOSSTS ResetAllProfileNotifications();

  // -------------------------------------------------------------------------
  // Identity and flags
  // -------------------------------------------------------------------------
  const char* GetDriverVersion() const { return m_szVersion; }
  const char* GetFamily() const { return m_szFamily; }
  const char* GetFilename() const { return m_szFilename; }
  const char* GetGraphicFilename() const { return m_szGraphicFilename; }
  const char* GetGroup() const { return m_szGroup; }
  const char* GetId() const { return m_szId; }
  const char* GetName() const { return m_szName; }
  bool IsProfileDatabaseResource() const { return m_blIsProfileDatabaseResource; }
  bool IsProfileDefault() const { return m_blIsProfileDefault; }
  bool IsProfileHidden() const { return m_blIsProfileHidden; }
  bool IsProfileInstalled() const { return m_blIsProfileInstalled; }
  bool IsProfileReadonly() const { return m_blIsProfileReadonly; }
  bool IsProfileUser() const { return m_blIsProfileUser; }
  void SetProfileDatabaseResource() { m_blIsProfileDatabaseResource = true; }
  void SetProfileInstalled() { m_blIsProfileInstalled = true; }
  void SetProfileUser() { m_blIsProfileUser = true; }
  void SetProfileHidden(bool a_blHidden) { m_blIsProfileHidden = a_blHidden; }
  // Texts longer than their field are cut (logged); a path that does not
  // fit is refused (a cut path names another file).
  void SetName(const char* a_szName);
  void SetId(const char* a_szId);
  void SetGroup(const char* a_szGroup);
  void SetGraphicFilename(const char* a_szGraphicFilename);
  void SetFamily(const char* a_szFamily);
  void SetDriverVersion(const char* a_szDriverVersion);
  // Every field and locale text into the log; the document at debug level.
  void Dump();
  static void DumpProfile(const char* a_szLabel, const char* a_szText, size_t a_sizetText);

 private:
  static EOSSTS LoadRecordCallback(const DbResourceRecord* a_pdbresourcerecord, void* a_pvUser);
  EOSSTS LoadRecord(const DbResourceRecord* a_pdbresourcerecord);
  EOSSTS LoadHeaderText(const char* a_szHeader);
  EOSSTS LoadFile(bool a_blResetFlags, bool a_blConvertIni, bool a_blStopAfterConversion);
  EOSSTS LoadDocument(const char* a_szText, size_t a_sizetText, bool a_blResetFlags);
  void SetGraphic(const char* a_szName);
  void AddLocale(const char* a_szName, const char* a_szText);
  const char* FindLocale(const char* a_szLanguage) const;
  void DropLocale();

  // Generate's parts.
  EOSSTS GenerateHeader(const char* a_szGroup, int a_iHeader, COsXmlTask* a_posxmltask);
  EOSSTS GenerateDatabase(uint64_t a_u64Mask, COsXmlTask* a_posxmltask);
  EOSSTS GenerateCapability(EDBID a_edbid, const char* a_szLexicon, COsXmlTask* a_posxmltask);
  EOSSTS GenerateCameras(EDBID a_edbid, const char* a_szLexicon, COsXmlTask* a_posxmltask);
  EOSSTS GenerateShare(COsXmlTask* a_posxmltask);
  bool IsKeptShared(EDBID a_edbid);

  // Save's parts.
  EOSSTS WriteDocument(const char* a_szGroup, const char* a_szPath);
  void SavePicture();
  EOSSTS WriteTemporary(const char* a_szPrefix, const char* a_szGroup, COsXmlTask* a_posxmltask, char* a_szPath,
                        size_t a_sizetPath, size_t* a_psizetLength);
  bool FindPicture();

  // Shared values' parts.
  EOSSTS ReadShareFile();
  EOSSTS ReadShareDocument(COsXml* a_posxml);
  EOSSTS ReadShareValue(COsXml* a_posxml, int a_iSlot, EDBID a_edbid);
  void ShareDefaults();
  void SetCurrentShare(const CDbProfileItem* a_pdbprofileitemShare);

  // Applying a document's parts (db_cdbprofileitem_applydocument.cpp).
  EOSSTS ReadSource(const char* a_szFilename, uint32_t a_u32Size, char** a_ppszText, size_t* a_psizetText,
                    char* a_szConverted, size_t a_sizetConverted);
  EOSSTS ConvertSource(const char* a_szText, size_t a_sizetText, char* a_szConverted, size_t a_sizetConverted);
  EOSSTS ApplyDatabase(COsXml* a_posxml);
  EOSSTS ApplyCapability(COsXml* a_posxml, DbLookup2* a_pdblookup2, bool* a_pblDiscardedTimeout);
  EOSSTS ApplyValue(COsXml* a_posxml, DbLookup2* a_pdblookup2, CDbDatum* a_pdbdatum,
                    bool* a_pblDiscardedTimeout);
  void ApplyEnum(DbLookup2* a_pdblookup2, CDbDatum* a_pdbdatum, const char* a_szText,
                 bool* a_pblDiscardedTimeout);
  void ApplyString(CDbDatum* a_pdbdatum, const char* a_szText);
  EOSSTS RecordProfileValues();
  EOSSTS ParseDocument(COsXml* a_posxml, const char* a_pszText, size_t a_sizetText);

  bool m_blIsProfileDatabaseResource;
  bool m_blIsProfileHidden;
  bool m_blIsProfileDefault;
  bool m_blIsProfileInstalled;
  bool m_blIsProfileReadonly;
  bool m_blIsProfileUser;
  CDatabase* m_pdatabase;    // not owned
  Locale* m_plocale;         // owned, s_lLocales entries; null until the first text
  int64_t* m_pi64Share;      // owned, s_iShareSlots values; null until the first LoadShare
  COsXmlTask* m_posxmltask;  // the list's report builder, not owned
  char m_szVersion[s_sizetVersion];
  char m_szFamily[s_sizetFamily];
  char m_szFilename[s_sizetPath];
  char m_szGraphicFilename[s_sizetPath];
  char m_szGroup[s_sizetGroup];
  char m_szId[s_sizetId];
  const char* m_szInstalledDirectory;
  const char* m_szInstalledGraphicsDirectory;
  char m_szName[s_sizetName];
  const char* m_szOwnDirectory;
  const char* m_szOwnGraphicsDirectory;
};
