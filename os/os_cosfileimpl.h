// The state behind one COsFile: the open descriptor, its name and
// disposition, the region-lock slots and the formatted-output buffer; plus
// the helpers that the static file operations share.
#pragma once

#include <sys/stat.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "os_cosfile.h"
#include "os_cosfilepackage.h"

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

  // The block compressor on memory buffers (os/formats). Every stage takes
  // the capacity of its output and writes nothing beyond it.
  static EOSSTS Compress(uint8_t* a_pu8Output, size_t a_sizetOutput, size_t* a_psizetOutput, const uint8_t* a_pu8Input,
                         size_t a_sizetInput, EOSFILECOMPRESSION a_eosfilecompression, uint8_t* a_pu8Work,
                         size_t a_sizetWork, OsFileBlockSort* a_posfileblocksort);
  static EOSSTS Decompress(uint8_t* a_pu8Output, size_t a_sizetOutput, size_t* a_psizetOutput,
                           const uint8_t* a_pu8Stream, size_t a_sizetStream, uint8_t* a_pu8Work, size_t a_sizetWork);
  static EOSSTS PackBits(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input, size_t a_sizetInput,
                         size_t* a_psizetOutput);
  static EOSSTS UnpackBits(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                           size_t a_sizetInput, size_t* a_psizetOutput);
  static EOSSTS MoveToFront(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input, size_t a_sizetLength);
  static EOSSTS UnmoveToFront(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                              size_t a_sizetLength);
  static EOSSTS BWTTransform(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                             size_t a_sizetLength, uint32_t* a_pu32Primary, OsFileBlockSort* a_posfileblocksort);
  // Blocks of at most 64 KiB; a_pu32Index: room for a_sizetLength words, or
  // null to allocate it.
  static EOSSTS BWTUntransform(uint8_t* a_pu8Output, size_t a_sizetOutput, const uint8_t* a_pu8Input,
                               size_t a_sizetLength, uint32_t a_u32Primary, uint32_t* a_pu32Index = nullptr);
  static void BlockSortFree(OsFileBlockSort* a_posfileblocksort);

  // Split streams of one file (os/formats): appended to an open file, read
  // back from its current position into a new file.
  static EOSSTS Compress(COsFile* a_posfileOutput, uint64_t* a_pu64Written, const char* a_szSource,
                         EOSFILECOMPRESSION a_eosfilecompression, OsFilePackageProgressFunction a_pfnProgress,
                         OsFilePackageProgress* a_posfilepackageprogress);
  static EOSSTS Decompress(const char* a_szOutput, uint64_t* a_pu64Written, COsFile* a_posfileInput,
                           uint64_t a_u64Stream, OsFilePackageProgressFunction a_pfnProgress,
                           OsFilePackageProgress* a_posfilepackageprogress);
  // The same into a file already open for writing (named for the log and
  // the progress record); what it wrote stays for the caller to remove.
  static EOSSTS Decompress(int a_iFdOutput, const char* a_szOutput, uint64_t* a_pu64Written, COsFile* a_posfileInput,
                           uint64_t a_u64Stream, OsFilePackageProgressFunction a_pfnProgress,
                           OsFilePackageProgress* a_posfilepackageprogress);
  // The method a file gets when the caller leaves the choice to us.
  static EOSFILECOMPRESSION CompressionOf(const char* a_szPath, uint64_t a_u64Size);
  // Tells the progress function about a step (the running count grows by
  // a_u64Done); its non-zero answer is the caller's status, logged as a cancel.
  static EOSSTS Progress(OsFilePackageProgressFunction a_pfnProgress, OsFilePackageProgress* a_posfilepackageprogress,
                         const char* a_szFilename, uint64_t a_u64FileSize, uint64_t a_u64Step, uint64_t a_u64Done);

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
  // Whole-file writes (os_cosfile_atomic.cpp): a temporary "<target>.tmp"
  // plus six random characters beside the target, written whole with the
  // given permission bits and synced; its descriptor stays open for the
  // caller. On failure nothing is left and the target is untouched.
  static constexpr const char* s_szAtomicSuffix = ".tmpXXXXXX";
  static EOSSTS WriteTemporaryBeside(const char* a_szTarget, const void* a_pvData, size_t a_sizetBytes,
                                     unsigned a_uMode, char* a_szTemp, size_t a_sizetTemp, int* a_piFd);
  // Syncs the directory holding a file, so a rename in it reaches the disk.
  static void SyncDirectoryOf(const char* a_szFile);
  // Whether two names lead to one existing file (a link, another spelling).
  static bool SameFile(const char* a_szFirst, const char* a_szSecond);
  // The permission bits an access (1 to 4, as COsFile::SetAccess takes it)
  // gives a file of the current mode; false for another access.
  static bool AccessMode(mode_t a_modetCurrent, int a_eosfileaccess, mode_t* a_pmodet);
  // Files below the configured root get the configured permission bits.
  static void ApplyCreationMask(int a_iFd, const char* a_szFilename);
  // Removes a directory of an open directory (its tree too when asked),
  // never entering a link (os_cosfile_tree.cpp).
  static EOSSTS RemoveDirectoryAt(int a_iDirFd, const char* a_szName, bool a_blRecursive);

  // Entries reached through the descriptor of the directory holding them,
  // never through a path: a symbolic link on the way is refused, not
  // followed (os/formats/os_cosfileimpl_at.cpp). Each answers 0 and a new
  // descriptor, s_eosstsLink for a link, or the system error's status.
  static constexpr EOSSTS s_eosstsLink = OS_STS_ACCESS_DENIED;
  // A directory; with a_blCreate a missing one is made first, with mode 0777
  // as every directory of the file service.
  static EOSSTS OpenDirectoryAt(int a_iDirFd, const char* a_szName, bool a_blCreate, int* a_piFd);
  // A regular file opened for writing, emptied. With a_blReplace any entry
  // of the name that is no directory is removed first and the file made
  // anew; otherwise an existing file is emptied only while it is a regular
  // file of one name, and anything else is refused as a link.
  static EOSSTS CreateFileAt(int a_iDirFd, const char* a_szName, bool a_blReplace, int* a_piFd);
  // Access of an open entry, as COsFile::SetAccess gives it.
  static EOSSTS SetAccessFd(int a_iFd, EOSFILEACCESS a_eosfileaccess);

 private:
  struct LockSlot {
    uint64_t u64Offset;
    uint64_t u64Length;  // 0: free
  };

  bool NeedOpen();
  EOSSTS OpenDescriptor(const char* a_szFilename, const char* a_szMode);
  void DeleteOwnFile();
  int FindSlot(uint64_t a_u64Offset, uint64_t a_u64Length) const;
  int RegionLock(short a_sType, uint64_t a_u64Offset, uint64_t a_u64Length);

  char m_szName[s_sizetName];
  LockSlot m_alockslot[s_iLockSlots];
  long m_lPrintfBuffer;
  char* m_pszPrintf;
  int m_iFd;
  int m_eosfileopen;
  bool m_blCreated;  // the last open made the file
  void* m_pvLibrary;                   // from SharedLibraryLoad, or null
  OsFileEditLine* m_posfileeditline;  // between EditLineInit and EditLineCleanup
  COsThread* m_posthreadSound;         // runs the sound player; from the first Sound on
};
