// File, path and directory services. An instance wraps one open file (read,
// write, formatted output, positioning, size, region locks, file times);
// the static operations work on names: path texts, existence, directory
// search, copy, move, temporary names, directory creation, recursive
// deletion, permission changes and copying of directory trees.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <sys/types.h>

#include "os_cosfilepackage.h"
#include "os_def.h"

// Disposition for Open.
enum EOSFILEOPEN : int {
  OS_FILEOPEN_CREATE = 1,        // create; an existing file is emptied where the mode allows
  OS_FILEOPEN_EXISTING = 2,      // open an existing file only
  OS_FILEOPEN_ALWAYS = 3,        // 2 when the file exists, else 1
  OS_FILEOPEN_DELETEONCLOSE = 4, // as 1, and Close deletes the file
  OS_FILEOPEN_UNUSED = 5,        // accepted, opens nothing
};

// Access for Open; in directory search records 1 means read-only, 3 read-write.
enum EOSFILEACCESS : int {
  OS_FILEACCESS_READ = 1,
  OS_FILEACCESS_WRITE = 2,
  OS_FILEACCESS_READWRITE = 3,
  OS_FILEACCESS_EXECUTE = 4,
};

// Share mode for Open: 1 locks the whole file against other exclusive
// openers (without waiting); 2 to 4 take no lock.
enum EOSFILESHARE : int {
  OS_FILESHARE_EXCLUSIVE = 1,
  OS_FILESHARE_READ = 2,
  OS_FILESHARE_WRITE = 3,
  OS_FILESHARE_READWRITE = 4,
};

enum EOSFILEPOINTER : int {
  OS_FILEPOINTER_BEGIN = 1,
  OS_FILEPOINTER_CURRENT = 2,
  OS_FILEPOINTER_END = 3,
};

enum EOSFILETYPE : int {
  OS_FILETYPE_NONE = 0,
  OS_FILETYPE_DIRECTORY = 1,
  OS_FILETYPE_FILE = 2,
  OS_FILETYPE_OTHER = 3,  // block or character device, pipe, socket
};

// One directory search; cleared by FindClose.
struct OsFileInfo {
  char szName[512];
  char szNameLower[512];
  char szPath[512];  // absolute
  uint64_t u64Size;
  EOSFILETYPE eosfiletype;
  int32_t i32Access;  // 3 when any write permission bit is set, else 1
  OsTimeRecord timerecordAccessed;  // UTC
  OsTimeRecord timerecordModified;  // UTC
  void* pvDir;  // the open directory of a wildcard search, or null
  char szPattern[512];
};

// Handed to the CopyDirectory callback.
struct OsFileCopyDirectoryInfo {
  uint32_t u32Size;       // always 32
  const char* szName;     // the entry's name for a file; null for a directory
  const char* szSource;   // the entry's full source path
  void* pvUser;           // the caller's context
};

// Answers of the CopyDirectory callback.
enum EOSFILECOPYDIR : int {
  OS_FILECOPYDIR_COPY = 0,      // copy (a directory: with the same callback)
  OS_FILECOPYDIR_COPYALL = 6,   // a directory: copy its whole tree without callback
  OS_FILECOPYDIR_SKIP = 8,      // pass it over
};
typedef int (*OsFileCopyDirectoryCallback)(OsFileCopyDirectoryInfo* a_posfilecopydirectoryinfo);

// How SharedLibraryGetProc turns a procedure name into a symbol name.
enum EOSFILEMANGLE : int {
  OS_FILEMANGLE_NONE = 1,         // the name is the symbol
  OS_FILEMANGLE_XMLCALLBACK = 2,  // [namespace::]Class_function: static Class::Class_function(OsXmlCallback*)
  OS_FILEMANGLE_SIMCALLBACK = 3,  // the same with one SimCallback pointer
};

// Flags of SharedLibraryLoad: while the alternate library loads,
// LD_LIBRARY_PATH names the directory of the main library.
constexpr unsigned long OS_SHAREFLAG_ALTSEARCH = 0x1;

class COsFileImpl;

class COsFile {
 public:
  COsFile();
  virtual ~COsFile();
  COsFile(const COsFile&) = delete;
  COsFile& operator=(const COsFile&) = delete;

  // An open file. Status 3 when no file is open.
  EOSSTS Open(const char* a_szFilename, EOSFILEOPEN a_eosfileopen, EOSFILEACCESS a_eosfileaccess,
              EOSFILESHARE a_eosfileshare);
  EOSSTS Close();  // 0 always
  bool IsOpen();
  EOSSTS GetName(char* a_szName, size_t a_sizetName);
  // At the end of the file: count 0 and status 0.
  EOSSTS Read(void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetRead = nullptr);
  // A short write answers 259 (input/output error, full disk) or 1, with the count.
  EOSSTS Write(const void* a_pBuffer, size_t a_sizetBytes, size_t* a_psizetWritten = nullptr);
  int Printf(const char* a_szFormat, ...) __attribute__((format(printf, 2, 3)));
  int VPrintf(const char* a_szFormat, va_list a_valist) __attribute__((format(printf, 2, 0)));
  long SetPrintfBufferSize(long a_lBytes);  // the previous size
  EOSSTS Flush();
  EOSSTS SetFilePointer(EOSFILEPOINTER a_eosfilepointer, long a_lOffset);
  EOSSTS SetFilePointer64(EOSFILEPOINTER a_eosfilepointer, int64_t a_i64Offset);
  EOSSTS GetFilePointer(size_t* a_sizetBytes);
  EOSSTS GetFilePointer64(uint64_t* a_pu64Bytes);
  EOSSTS Size(size_t* a_psizetBytes);
  EOSSTS Size64(uint64_t* a_pu64Bytes);
  EOSSTS SetEndOfFile();  // cuts the file at the file pointer

  // Exclusive region locks of this open file (also against another object
  // of this process); at most 64 regions per object. Lock tries every 100 ms
  // until the time-out (ms) and then answers 4.
  EOSSTS Lock(size_t a_sizetOffset, size_t a_sizetRegion, long a_lTimeout, const char* a_szName = nullptr);
  EOSSTS Unlock(size_t a_sizetOffset, size_t a_sizetRegion);
  // 0 free, 4 held elsewhere, 9 held by this object (which keeps it).
  EOSSTS TestLock(size_t a_sizetOffset, size_t a_sizetRegion);

  // UTC; milliseconds are 0. Either argument may be null.
  EOSSTS GetFileTimes(OsTimeRecord* a_ptimerecordAccessed, OsTimeRecord* a_ptimerecordModified);
  EOSSTS SetFileTimes(const OsTimeRecord* a_ptimerecordAccessed, const OsTimeRecord* a_ptimerecordModified);

  EOSSTS Print(const char* a_szName, const void* a_pvData, size_t a_sizetBytes);  // does nothing
  EOSSTS PressKey();  // not on this platform

  // Paths; every operation but PathNormalize uses "/".
  static void PathNormalize(char* a_szPath, char a_cSeparator = '/');
  // Copies (overlap allowed) and normalises; empties the destination when
  // the source does not fit.
  static void PathSet(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  // PathSet of the base, then PathAppend of the name; false when it does not fit.
  static bool PathJoin(char* a_szDst, size_t a_sizetDst, const char* a_szBase, const char* a_szName);
  // Appends "/" and the component (a leading drive letter is dropped);
  // 2 and the path unchanged when it does not fit.
  static EOSSTS PathAppend(char* a_szPath, size_t a_sizetPath, const char* a_szComponent);
  static void PathRemoveTrailingSlash(char* a_szPath);
  // Offset of the last "/" (0 without one) and the text after it.
  static EOSSTS PathSplit(char* a_szPath, size_t* a_psizetOffset, char** a_pszName);
  // The absolute path of an existing name (the directory part resolved).
  static EOSSTS PathAbsolute(char* a_szAbsolute, size_t a_sizetAbsolute, const char* a_szName);
  static void PathAppendExe(char* a_szPath, size_t a_sizetPath);

  // Names. "*" and "?" in the last component search a directory.
  static bool Exists(const char* a_szFilename);
  static EOSSTS FindFirst(const char* a_szFilename, OsFileInfo* a_posfileinfo);
  static EOSSTS FindNext(OsFileInfo* a_posfileinfo);
  static EOSSTS FindClose(OsFileInfo* a_posfileinfo);

  // Files.
  static EOSSTS Copy(const char* a_szFilename, const char* a_szNewFilename);
  static EOSSTS ProtectedModeCopy(const char* a_szFilename, const char* a_szNewFilename);
  static EOSSTS Move(const char* a_szFilename, const char* a_szNewFilename);
  // Writes a whole file that readers see either as it was or as given: a
  // temporary beside the name, synced, then renamed over it (a link at the
  // name is replaced, never written through). With a_blNewOnly the name must
  // not exist: 261 when it does, and nothing is replaced. On any failure the
  // old file is untouched and no temporary is left. A replaced file keeps its
  // permission bits.
  static EOSSTS WriteAtomic(const char* a_szPath, const void* a_pvData, size_t a_sizetBytes, bool a_blNewOnly);
  // Whether a directory entry is a temporary of WriteAtomic for the name
  // a_szFor (a writer killed mid-write leaves one; its owner removes it).
  static bool IsAtomicTemporary(const char* a_szName, const char* a_szFor);
  // Symbolic links are removed as links and never entered.
  static EOSSTS Delete(const char* a_szFilename, EOSFILETYPE a_eosfiletype, bool a_blRecursive);
  // Access 1: mode 0444, 3: 0770; links are neither entered nor changed.
  static EOSSTS SetFileAccess(const char* a_szFilename, EOSFILEACCESS a_eosfileaccess, bool a_blRecursive,
                              int a_iDepth = 0);
  static EOSSTS SetAccess(const char* a_szFilename, EOSFILEACCESS a_eosfileaccess);

  // Reserves the blocks of the first a_i64Size bytes of an open file that
  // is written through a mapping: a store into a hole of a full file system
  // raises SIGBUS, a failed reservation is a status (1, logged). The seam
  // (null: posix_fallocate) lets tests make the reservation fail.
  static EOSSTS Reserve(int a_iFd, int64_t a_i64Size, const char* a_szPath);
  static void SetReserveSeam(int (*a_pfnReserve)(int, off_t, off_t));

  // Directories.
  // Recursive directory creation; 0, 261 when it exists, 257/258/1 on failure.
  static EOSSTS Create(const char* a_szDirectory, const void* a_pvAttributes = nullptr);
  // The same, but the last component must be made by this call: 261 when
  // anything (a directory, a file, a link, dangling or not) has the name.
  // A directory made in a shared place that way is the caller's own.
  static EOSSTS CreateFresh(const char* a_szDirectory);
  // A directory (not a link to one) of this process's user.
  static bool IsOwnDirectory(const char* a_szDirectory);
  static EOSSTS CopyDirectory(const char* a_szFrom, const char* a_szTo, bool a_blRecursive,
                              OsFileCopyDirectoryCallback a_pfnCallback = nullptr, void* a_pvUser = nullptr);
  static EOSSTS GetTempDir(char* a_szTempDir, size_t a_sizetTempDir);
  static EOSSTS GetTempName(const char* a_szTempDir, char* a_szTempName, const char* a_szTempPrefix,
                            size_t a_sizetTempName);
  static EOSSTS SetCurrentDir(const char* a_szDirectory);
  static EOSSTS GetCurrentDir(char* a_szDirectory, size_t a_sizetDirectory);

  // Shared libraries, one per instance. Open 1 loads the library, open 2
  // only takes a handle on one already loaded. An alternate ("+" and a
  // suffix) is tried when the library does not load. 0, 1 not loaded, 3 bad argument.
  EOSSTS SharedLibraryLoad(const char* a_szLibrary, EOSFILEOPEN a_eosfileopen, const char* a_szAlternate = nullptr,
                           unsigned long a_ulFlags = 0);
  // Handle -1: the loaded library; 0: the whole process. Null when missing.
  void* SharedLibraryGetProc(const char* a_szProcedure, void* a_pvHandle, EOSFILEMANGLE a_eosfilemangle);
  void SharedLibraryFree();
  bool SharedLibraryInUse();
  // Whether the name with ".so" appended exists.
  static bool SharedLibraryExists(const char* a_szName);
  // Appends ".so" unless the path ends in it (any case), and normalises.
  static void PathAppendDll(char* a_szPath, size_t a_sizetPath);

  // Package archives (os/formats): a directory tree, a file or a pattern
  // packed into one archive (new, or appended to one), and an archive
  // restored below a destination. The progress function may be null.
  static EOSSTS Package(const char* a_szArchive, const char* a_szSource, bool a_blIncludeImages,
                        EOSFILEPACKAGE a_eosfilepackage, bool a_blRecurse, EOSFILECOMPRESSION a_eosfilecompression,
                        OsFilePackageProgressFunction a_pfnProgress);
  static EOSSTS Unpackage(const char* a_szDestination, const char* a_szArchive, bool a_blKeepExisting,
                          OsFilePackageProgressFunction a_pfnProgress, bool a_blDump);
  // Pause between the tries of a file in use while packing (1000 ms; tests
  // shorten it). The previous pause.
  static long PackageSetRetryPause(long a_lMilliseconds);

  // Console line editing through libedit when it can be loaded, else plain
  // reads from standard input.
  EOSSTS EditLineInit();
  // The line without its line feed in the buffer; null at the end of input.
  char* EditLineRead(const char* a_szColor, const char* a_szPrompt, char* a_szBuffer, size_t a_sizetBuffer);
  void EditLineDisplay(const char* a_szText);
  void EditLineCleanup();

  // Plays a sound file: its ".au" twin on the audio device, else through
  // the player command (ForcePlaySound), waited for up to the time-out (ms).
  EOSSTS Sound(const char* a_szFile, long a_lTimeout);

  static EOSSTS PathRedirection(bool a_blEnable);
  static void Shutdown();
  static void CleanStatic();

 private:
  COsFileImpl* m_posfileimpl;
};
