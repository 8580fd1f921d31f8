// One settings profile: its identity, flags and display texts, the file
// that holds it, and the loading of the profile that stands for the
// defaults compiled into the library's DATABASE resource (item 0 of the
// profile list), which also gives every capability of the database its
// access, consumers, default and allowed values.
#pragma once

#include <cstddef>

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class COsXml;
class COsXmlTask;
struct DbResourceRecord;

class CDbProfileItem {
 public:
  // Room of the texts, terminator included.
  static constexpr size_t s_sizetVersion = 16;
  static constexpr size_t s_sizetFamily = 32;
  static constexpr size_t s_sizetPath = 512;
  static constexpr size_t s_sizetGroup = 16;
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

  // The directories are the list's and must outlive the item; null texts
  // count as empty.
  CDbProfileItem(const char* a_szFilename, const char* a_szGraphicFilename, const char* a_szInstalledDirectory,
                 const char* a_szInstalledGraphicsDirectory, const char* a_szOwnDirectory,
                 const char* a_szOwnGraphicsDirectory, CDatabase* a_pdatabase, COsXmlTask* a_posxmltask);
  ~CDbProfileItem();
  CDbProfileItem(const CDbProfileItem&) = delete;
  CDbProfileItem& operator=(const CDbProfileItem&) = delete;

  // Item 0 (no file): the header and, unless header-only, the defaults of
  // the DATABASE resource; with reset-flags the item becomes the installed
  // database-resource profile. Profile files are not read here yet.
  EOSSTS Load(bool a_blHeaderOnly, bool a_blResetFlags, bool a_blConvertIni, bool a_blStopAfterConversion);
  // The DATABASE resource of the library's own file: its header into this
  // item and, unless header-only, every record into the window-0 datums of
  // its capability (database state 3 while it runs). 0, or 1 with a log line.
  EOSSTS LoadDatabaseResource(bool a_blHeaderOnly);
  // The children of the reader's current "header" element.
  EOSSTS LoadHeader(COsXml* a_posxml);

  // The profile's text in a language ("de_deu" or "l_de_deu", any case), or
  // with none in the current language order; the name when there is none.
  const char* GetLocaleText(const char* a_szLanguage);

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

 private:
  static EOSSTS LoadRecordCallback(const DbResourceRecord* a_pdbresourcerecord, void* a_pvUser);
  EOSSTS LoadRecord(const DbResourceRecord* a_pdbresourcerecord);
  EOSSTS LoadHeaderText(const char* a_szHeader);
  void SetGraphic(const char* a_szName);
  void AddLocale(const char* a_szName, const char* a_szText);
  const char* FindLocale(const char* a_szLanguage);

  bool m_blIsProfileDatabaseResource;
  bool m_blIsProfileHidden;
  bool m_blIsProfileDefault;
  bool m_blIsProfileInstalled;
  bool m_blIsProfileReadonly;
  bool m_blIsProfileUser;
  CDatabase* m_pdatabase;     // not owned
  Locale* m_plocale;          // owned, s_lLocales entries; null until the first text
  COsXmlTask* m_posxmltask;   // the list's report builder, not owned
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
