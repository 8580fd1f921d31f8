// The profile list's implementation: 256 item slots, the current index, the
// report builder every item writes into, and the profile directories.
#pragma once

#include <cstddef>
#include <cstdint>

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDbProfileItem;
class COsXmlTask;

class CDbProfileListImpl {
 public:
  static constexpr uint32_t s_u32Slots = 256;
  static constexpr size_t s_sizetPath = 512;

  CDbProfileListImpl(CDatabase* a_pdatabase, unsigned int a_uMax);
  ~CDbProfileListImpl();
  CDbProfileListImpl(const CDbProfileListImpl&) = delete;
  CDbProfileListImpl& operator=(const CDbProfileListImpl&) = delete;

  // Empties the list and loads item 0 (header and, unless header-only, the
  // database's defaults) as the current profile.
  EDBSTS Load(bool a_blHeaderOnly);
  // The current profile's name, as the undo point; the return to it selects
  // a profile, which is not available yet.
  void Remember();
  void Restore();
  void Free();
  CDbProfileItem* GetCurrentProfile();
  // The user's profile directory: PMX_PROFILESDIR (or the model's
  // subdirectory in it), else UserRootDirectory and "profiles"; null when
  // neither is known.
  const char* GetUserProfileDirectory() const;
  CDbProfileItem* GetDatabaseResourceProfile();
  uint32_t GetMax() const { return m_u32Max; }

  // The current item's report elements and data-file report, in the report
  // builder; null (logged) on failure. ProfileItem of a hidden current item
  // holds an empty value only.
  const char* ReportProfileItem(int a_iDepth);
  const char* ProfileItem(int a_iDepth);
  const char* ReportDataFile(const char* a_szGroup);
  // Item 0 keeps the shared values.
  EDBSTS UpdateShare(EDBID a_edbid);

  // Operations of the profiles subsystem still to come: each logs its name
  // and fails.
  EDBSTS Unsupported(const char* a_szOperation);

 private:
  void FreeItems();
  void FindUserDirectory();
  void FindModelSubdirectory();

  CDatabase* m_pdatabase;  // not owned
  uint32_t m_u32Max;
  uint32_t m_u32Current;
  CDbProfileItem* m_apdbprofilelist[s_u32Slots];
  COsXmlTask* m_posxmltask;  // the report builder
  char m_szInstalledDirectory[s_sizetPath];
  char m_szInstalledGraphicsDirectory[s_sizetPath];
  char m_szUserDirectory[s_sizetPath];
  char m_szUserGraphicsDirectory[s_sizetPath];
  char m_szSharedDirectory[s_sizetPath];
  char m_szSharedGraphicsDirectory[s_sizetPath];
  bool m_blLoadedButNotSet;
  char m_szRemembered[s_sizetPath];
};
