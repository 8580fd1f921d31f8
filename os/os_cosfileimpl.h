// The state behind one COsFile: the open descriptor, its name and
// disposition, the region-lock slots and the formatted-output buffer; plus
// the helpers that the static file operations share.
#pragma once

#include <sys/stat.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "os_cosfile.h"

class COsThread;
struct OsFileEditLine;

class COsFileImpl {
 public:
  static constexpr size_t s_sizetName = 512;
  static constexpr int s_iLockSlots = 64;
  static constexpr long s_lPrintfBufferDefault = 65536;
  static constexpr long s_lLockPauseMs = 100;

  COsFileImpl();
  ~COsFileImpl();

  EOSSTS Open(const char* a_szFilename, EOSFILEOPEN a_eosfileopen, EOSFILEACCESS a_eosfileaccess,
              EOSFILESHARE a_eosfileshare);
  EOSSTS Close();
  bool IsOpen() const { return m_iFd >= 0; }
  EOSSTS GetName(char* a_szName, size_t a_sizetName);
  EOSSTS Read(void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetRead);
  EOSSTS Write(const void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetWritten);
  int VPrintf(const char* a_szFormat, va_list a_valist);
  long SetPrintfBufferSize(long a_lBytes);
  EOSSTS Flush();
  EOSSTS SetFilePointer64(EOSFILEPOINTER a_eosfilepointer, int64_t a_i64Offset);
  EOSSTS GetFilePointer64(uint64_t* a_pu64Bytes);
  EOSSTS Size64(uint64_t* a_pu64Bytes);
  EOSSTS SetEndOfFile();

  EOSSTS Lock(uint64_t a_u64Offset, uint64_t a_u64Length, long a_lTimeout, const char* a_szName);
  EOSSTS Unlock(uint64_t a_u64Offset, uint64_t a_u64Length);
  EOSSTS TestLock(uint64_t a_u64Offset, uint64_t a_u64Length);

  EOSSTS GetFileTimes(OsTimeRecord* a_ptimerecordAccessed, OsTimeRecord* a_ptimerecordModified);
  EOSSTS SetFileTimes(const OsTimeRecord* a_ptimerecordAccessed, const OsTimeRecord* a_ptimerecordModified);

  // Shared libraries and the line editor (os_cosfile_library.cpp,
  // os_cosfile_console.cpp).
  EOSSTS SharedLibraryLoad(const char* a_szLibrary, EOSFILEOPEN a_eosfileopen, const char* a_szAlternate,
                           unsigned long a_ulFlags);
  void* SharedLibraryGetProc(const char* a_szProcedure, void* a_pvHandle, EOSFILEMANGLE a_eosfilemangle);
  void SharedLibraryFree();
  bool SharedLibraryInUse() const { return m_pvLibrary != nullptr; }
  EOSSTS EditLineInit();
  char* EditLineRead(const char* a_szColor, const char* a_szPrompt, char* a_szBuffer, size_t a_sizetBuffer);
  void EditLineCleanup();
  // The sound thread, made on first use (os_cosfile_sound.cpp).
  COsThread* SoundThread();

  // Shared by the static operations.
  // System error of an open or a creation as a status: 257, 258, 259, 260 or 1.
  static EOSSTS StatusFromErrno(int a_iErrno);
  // System error of a read or a write: 259 for input/output errors and a full disk, else 1.
  static EOSSTS StatusFromIoErrno(int a_iErrno);
  static EOSFILETYPE TypeFromMode(mode_t a_modet);
  static void TimeRecordFromTime(OsTimeRecord* a_ptimerecord, time_t a_timet);
  // Text of a configuration value of section 1, "" while there is no store.
  static const char* CfgText(unsigned a_uTag);
  // The formatted-output buffer; one place to move to the tracked memory service.
  static void* BufferAlloc(size_t a_sizetBytes);
  static void BufferFree(void* a_pvBuffer);
  // Writes the whole buffer to a descriptor; the count of bytes written.
  static size_t WriteAll(int a_iFd, const void* a_pBuffer, size_t a_sizetBytes, int* a_piErrno);

 private:
  struct LockSlot {
    uint64_t u64Offset;
    uint64_t u64Length;  // 0: free
  };

  bool NeedOpen();
  EOSSTS OpenDescriptor(const char* a_szFilename, const char* a_szMode);
  void ApplyCreationMask(const char* a_szFilename);
  void DeleteOwnFile();
  int FindSlot(uint64_t a_u64Offset, uint64_t a_u64Length) const;
  int RegionLock(short a_sType, uint64_t a_u64Offset, uint64_t a_u64Length);

  char m_szName[s_sizetName];
  LockSlot m_alockslot[s_iLockSlots];
  long m_lPrintfBuffer;
  char* m_pszPrintf;
  int m_iFd;
  int m_eosfileopen;
  void* m_pvLibrary;                   // from SharedLibraryLoad, or null
  OsFileEditLine* m_posfileeditline;  // between EditLineInit and EditLineCleanup
  COsThread* m_posthreadSound;         // runs the sound player; from the first Sound on
};
