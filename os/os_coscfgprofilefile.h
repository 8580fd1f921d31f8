// One open of an ini file of the profile engine. Opened for a change it
// holds the file's lock (per open file, so between processes and between
// opens of one process) until it goes: the load, change and write of one
// file are then exclusive. A new text is written beside the file, flushed to
// disk and renamed over it, so a reader sees the old file or the new one,
// never a mix, and a crash never leaves a cut file.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <ctime>

#include "os_def.h"

// What we know of a file on disk; a change of any field means another
// writer has been at it.
struct OsCfgProfileStamp {
  bool blPresent;
  dev_t dev;
  ino_t ino;
  off_t size;
  timespec tsModified;
  timespec tsChanged;
};

class COsCfgProfileFile {
 public:
  COsCfgProfileFile() = default;
  ~COsCfgProfileFile();
  COsCfgProfileFile(const COsCfgProfileFile&) = delete;
  COsCfgProfileFile& operator=(const COsCfgProfileFile&) = delete;

  // For a read: 257 missing, 3 not a regular file, 258 or 259 otherwise.
  EOSSTS OpenForRead(const char* a_szPath);
  // For a change: opens the file (creating a missing one with a_uMode; the
  // loser of a create race opens the winner's file) and takes its lock,
  // waiting up to the lock limit: 4 when it stays held elsewhere. The file
  // locked is the one the path names then (a writer may have renamed a new
  // one over it meanwhile). A file we may only read is opened read-only.
  EOSSTS OpenForChange(const char* a_szPath, unsigned a_uMode);

  bool IsReadOnly() const { return m_blReadOnly; }
  OsCfgProfileStamp Stamp() const;
  // Up to a_sizetBuffer bytes from the start; *a_pblMore when there is more.
  size_t Read(char* a_pbBuffer, size_t a_sizetBuffer, bool* a_pblMore) const;
  // Writes the text beside the file, flushes it to disk and renames it over
  // the file (opened for a change); the new file stays locked by this
  // object. 258 when nothing can be written there, 259 for a failed write or
  // rename; the old file is then untouched.
  EOSSTS Replace(const char* a_pcText, size_t a_sizetText, unsigned a_uMode, OsCfgProfileStamp* a_pstamp);

  static OsCfgProfileStamp StampOf(const struct stat& a_st);
  static OsCfgProfileStamp StampOfPath(const char* a_szPath);
  static bool StampChanged(const OsCfgProfileStamp& a_stamp1, const OsCfgProfileStamp& a_stamp2);
  // The longest wait for another process's lock (a negative time restores
  // the default of 5000 ms), so tests stay short.
  static void SetLockWait(long a_lMilliseconds);

 private:
  EOSSTS Open(const char* a_szPath, bool a_blForChange, unsigned a_uMode);
  void Close();

  int m_iFd = -1;
  bool m_blReadOnly = false;
  const char* m_szPath = nullptr;  // the caller's, for the life of the open
};
