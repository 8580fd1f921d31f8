// The profile list of a database: the named settings profiles, of which
// item 0 stands for the defaults compiled into the library's DATABASE
// resource. The database owns one, loads it and forwards its profile
// operations to it. Every operation checks for its implementation first.
#pragma once

#include "db_def.h"
#include "os_def.h"

class CDatabase;
class CDbProfileListImpl;

class CDbProfileList {
 public:
  CDbProfileList(CDatabase* a_pdatabase, unsigned int a_uMax);
  ~CDbProfileList();
  CDbProfileList(const CDbProfileList&) = delete;
  CDbProfileList& operator=(const CDbProfileList&) = delete;

  // The installed and user profiles after item 0 from the DATABASE resource
  // (defaults into the database); the status of item 0's load.
  EDBSTS Load();
  // Selects a profile by name and applies it (null or empty: re-applies
  // the current one); the first call after Load takes a null name only.
  EDBSTS SetCurrent(const char* a_szName);
  // A group's document in a file laid over the values through the current
  // profile.
  EDBSTS SetCurrent(const char* a_szGroup, const char* a_szFilename, unsigned int a_uSize);
  // false: re-applies the current profile; true: every value back to the
  // DATABASE resource.
  EDBSTS Reset(bool a_blAll);
  // "reportprofilelist" of the visible profiles, in the report builder.
  const char* ReportProfileList();
  // The undo point: the current profile's name, and its selection again.
  void Remember();
  void Restore();
  bool IsProfileModified();
  EDBSTS ResetAllProfileNotifications();
  void Dump();
  void Test();
  // Clears the report builder once a caller has copied its report.
  void Free();
  // The profile directories (null when unknown); the current profile's is
  // the user's for a user profile, else the installed one.
  const char* GetUserProfileDirectory();
  const char* GetCurrentProfileDirectory();
  const char* GetUserProfileGraphicsDirectory();
  const char* GetInstalledProfileGraphicsDirectory();

  // The current profile's "reportprofileitem" and "profileitem" elements at
  // an indentation level, and its document of a group written to a new file
  // of the log directory ("reportdatafile"); the text lives in the list's
  // report builder until Free. Null (logged) on failure.
  const char* ReportProfileItem(int a_iDepth);
  const char* ProfileItem(int a_iDepth);
  const char* ReportDataFile(const char* a_szGroup);
  // The shared value of a capability once its rule has rebuilt its list
  // (item 0's UpdateShare).
  EDBSTS UpdateShare(EDBID a_edbid);

  // Editing: a user profile from the current values; the current profile
  // saved, renamed or deleted; the installed profiles brought back (with
  // a_blShare the share file dropped too).
  EDBSTS Create(const char* a_szName, const char* a_szGraphicFilename);
  EDBSTS Save();
  EDBSTS Rename(const char* a_szName, const char* a_szGraphicFilename);
  EDBSTS Delete(const char* a_szName);
  EDBSTS RestoreInstalledProfiles(bool a_blShare);
  // Profile packages: the user directory into a package file, and a
  // package in its place (unless a_blFlag, the list loaded again).
  EDBSTS Export(const char* a_szFilename);
  EDBSTS Import(const char* a_szFilename, bool a_blFlag);

 private:
  CDbProfileListImpl* m_pdbprofilelistimpl;
};
