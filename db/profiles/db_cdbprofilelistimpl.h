// The profile list's implementation: 256 item slots, the current index, the
// report builder every item writes into, and the profile directories.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

  // Builds the list: item 0 from the DATABASE resource (header-only with
  // a_blHeaderOnly), the installed profiles, the user's (a user copy hides
  // the installed profile of its id), "profile.shared"; then picks the
  // current profile. Files are taken in name order; a file that fails to
  // load is left out (and kept). The status of item 0's load.
  EDBSTS Load(bool a_blHeaderOnly);
  // Selects the profile of that name and applies it; a null or empty name
  // re-applies the current one. The first call after Load takes a null
  // name only (it decides what the load left to apply).
  EDBSTS SetCurrent(const char* a_szName);
  // The group's document in that file laid over the values through the
  // current item.
  EDBSTS SetCurrent(const char* a_szGroup, const char* a_szFilename, unsigned int a_uSize);
  // false: re-applies the current profile; true: every value back to the
  // DATABASE resource.
  EDBSTS Reset(bool a_blAll);
  // The current profile's name, as the undo point, and the return to it.
  void Remember();
  EDBSTS Restore();
  bool IsProfileModified();
  EDBSTS ResetAllProfileNotifications();
  void Free();
  CDbProfileItem* GetCurrentProfile();
  CDbProfileItem* GetDatabaseResourceProfile();
  uint32_t GetMax() const { return m_u32Max; }
  // The directories; null when not known. The current profile's is the
  // user's for a user profile, else the installed one.
  const char* GetUserProfileDirectory() const;
  const char* GetUserProfileGraphicsDirectory() const;
  const char* GetInstalledProfileGraphicsDirectory() const;
  const char* GetSharedProfileDirectory() const;
  const char* GetInstalledProfileDirectory() const;
  const char* GetCurrentProfileDirectory();

  // "reportprofilelist" of the visible entries, in the report builder.
  const char* ReportProfileList();
  // The current item's report elements and data-file report, in the report
  // builder; null (logged) on failure. ProfileItem of a hidden current item
  // holds an empty value only.
  const char* ReportProfileItem(int a_iDepth);
  const char* ProfileItem(int a_iDepth);
  const char* ReportDataFile(const char* a_szGroup);
  // Item 0 keeps the shared values.
  EDBSTS UpdateShare(EDBID a_edbid);
  void Dump();
  void Test() {}
  // Lowers the values of the capability's range datums of the current
  // window that lie above their maximum, through the set path.
  void FixCurrentValueRange(EDBID a_edbid);

  // Editing (db_cdbprofilelistimpl_edit.cpp). Create makes a user profile
  // of the current values, modelled on the template (or on the current
  // installed profile of that name); with force it makes one even when
  // nothing changed.
  EDBSTS Create(const char* a_szName, const char* a_szGraphicFilename, CDbProfileItem* a_pdbprofileitemTemplate,
                bool a_blKeepOwnLocale, bool a_blForce, bool a_blKeepNewName);
  EDBSTS Save();
  EDBSTS Rename(const char* a_szName, const char* a_szGraphicFilename);
  // Selects the named profile afterwards (the first visible one without).
  EDBSTS Delete(const char* a_szName);
  EDBSTS RestoreInstalledProfiles(bool a_blShare);
  // The user directory into a package file (db_cdbprofilelistimpl_package.cpp).
  EDBSTS Export(const char* a_szPackageFile);
  // A package in place of the user directory; unless a_blKeepList the list
  // is loaded again and a profile selected.
  EDBSTS Import(const char* a_szPackageFile, bool a_blKeepList);

 private:
  void FreeItems();
  void FindDirectories();
  void FindUserDirectory();
  void FindModelSubdirectory();
  // Load's passes (db_cdbprofilelistimpl_load.cpp).
  CDbProfileItem* NewItem(const char* a_szFilename, bool a_blUser);
  uint32_t FreeSlot(const char* a_szFilename);
  void LoadInstalled();
  void LoadSiblingModel();
  void LoadUser();
  void LoadSharedItem();
  void ChooseCurrent();
  // Selection (db_cdbprofilelistimpl_select.cpp).
  EDBSTS ApplyCurrent();
  EDBSTS SetCurrentFirst();
  void FinishSelection();
  bool IsVisible(uint32_t a_u32Slot) const;
  // Editing's parts.
  bool IsUnchanged(const char* a_szName, const char* a_szGraphicFilename);
  EDBSTS CheckCreateName(const char* a_szName);
  bool IsShareOnly(const char* a_szName);
  EDBSTS SaveShareOnly();
  EDBSTS FindModel(const char* a_szName, CDbProfileItem** a_ppdbprofileitemModel);
  EDBSTS WriteNewProfile(uint32_t a_u32Slot, const char* a_szName, const char* a_szGraphicFilename,
                         CDbProfileItem* a_pdbprofileitemModel, CDbProfileItem* a_pdbprofileitemTemplate,
                         bool a_blKeepOwnLocale, bool a_blKeepNewName);
  EOSSTS WriteNew(CDbProfileItem* a_pdbprofileitem, const char* a_szPath);
  EDBSTS CheckRenameName(const char* a_szName);
  EDBSTS RenameUser(const char* a_szName, const char* a_szGraphicFilename);
  EDBSTS RenameInstalled(const char* a_szName, const char* a_szGraphicFilename);
  EDBSTS HideInstalled(CDbProfileItem* a_pdbprofileitem);
  bool RemoveSlot(uint32_t a_u32Slot);
  EDBSTS SelectAfterDelete(const CDbProfileItem* a_pdbprofileitemNext, bool a_blDeleted);
  EDBSTS PackageAllowed(const char* a_szPackageFile, const char* a_szWhat);
  // Import's parts.
  // A user directory missing beside its import backup (an import killed
  // between its two moves) is moved back, logged.
  void RecoverImportBackup(std::string a_strDirectory);
  EDBSTS ImportLocked(const char* a_szPackageFile, const std::string& a_strDirectory);
  EDBSTS ReloadAfterImport();

  CDatabase* m_pdatabase;  // not owned
  uint32_t m_u32Max;
  uint32_t m_u32Current;
  uint32_t m_u32Installed;  // the installed range: the slots below it
  CDbProfileItem* m_apdbprofilelist[s_u32Slots];
  COsXmlTask* m_posxmltask;  // the report builder
  char m_szInstalledDirectory[s_sizetPath];
  char m_szInstalledGraphicsDirectory[s_sizetPath];
  char m_szUserDirectory[s_sizetPath];
  char m_szUserGraphicsDirectory[s_sizetPath];
  char m_szSharedDirectory[s_sizetPath];
  char m_szSharedGraphicsDirectory[s_sizetPath];
  bool m_blLoadedButNotSet;
  bool m_blFromEnvironment;  // PMX_PROFILESDIR names the user and shared directory
  char m_szRemembered[s_sizetPath];
};
