#include "os_coscfgprofile.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"

namespace {

constexpr size_t kPath = 512;
// Text plus the zero byte of its last line and the closing empty line.
constexpr size_t kImageBytes = COsCfgProfile::kFileBytes + 2;
constexpr size_t kNoLine = static_cast<size_t>(-1);

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

struct OsCfgProfile {
  bool blDirty;
  bool blLoaded;     // the file was read (or created)
  bool blTruncated;  // the file is larger than an image: never written back
  OsCfgProfileStamp stamp;
  char szPath[kPath];
  size_t sizetUsed;  // image bytes in use, the closing empty line included
  char szImage[kImageBytes];
};

OsCfgProfile* s_aposcfgprofile[COsCfgProfile::kSlots];
void volatile* s_vpvProfileLock;

class CProfileLock {
 public:
  CProfileLock() { COsSync::SpinLock(&s_vpvProfileLock); }
  ~CProfileLock() { COsSync::SpinUnlock(&s_vpvProfileLock); }
  CProfileLock(const CProfileLock&) = delete;
  CProfileLock& operator=(const CProfileLock&) = delete;
};

// ---- file stamps -----------------------------------------------------------

OsCfgProfileStamp StampOf(const struct stat& a_st) {
  return {true, a_st.st_dev, a_st.st_ino, a_st.st_size, a_st.st_mtim, a_st.st_ctim};
}

OsCfgProfileStamp ReadStamp(const char* a_szPath) {
  struct stat st;
  if (stat(a_szPath, &st) != 0) return {};
  return StampOf(st);
}

bool SameTime(const timespec& a_ts1, const timespec& a_ts2) {
  return a_ts1.tv_sec == a_ts2.tv_sec && a_ts1.tv_nsec == a_ts2.tv_nsec;
}

bool StampChanged(const OsCfgProfileStamp& a_stamp1, const OsCfgProfileStamp& a_stamp2) {
  if (a_stamp1.blPresent != a_stamp2.blPresent) return true;
  if (!a_stamp1.blPresent) return false;
  return a_stamp1.dev != a_stamp2.dev || a_stamp1.ino != a_stamp2.ino || a_stamp1.size != a_stamp2.size ||
         !SameTime(a_stamp1.tsModified, a_stamp2.tsModified) || !SameTime(a_stamp1.tsChanged, a_stamp2.tsChanged);
}

// ---- image lines -------------------------------------------------------------

size_t NextLine(const OsCfgProfile* a_pprofile, size_t a_sizetPos) {
  return a_sizetPos + std::strlen(a_pprofile->szImage + a_sizetPos) + 1;
}

bool AtEnd(const OsCfgProfile* a_pprofile, size_t a_sizetPos) { return a_pprofile->szImage[a_sizetPos] == '\0'; }

bool IsHeader(const char* a_szLine) { return a_szLine[0] == '['; }

bool IsKeyLine(const char* a_szLine) { return a_szLine[0] != ';' && std::strchr(a_szLine, '=') != nullptr; }

bool MatchKey(const char* a_szLine, const char* a_szKey, size_t a_sizetKey) {
  return strncasecmp(a_szLine, a_szKey, a_sizetKey) == 0 && a_szLine[a_sizetKey] == '=';
}

size_t FindSection(const OsCfgProfile* a_pprofile, const char* a_szSection) {
  size_t sizetSection = std::strlen(a_szSection);
  for (size_t pos = 0; !AtEnd(a_pprofile, pos); pos = NextLine(a_pprofile, pos)) {
    const char* szLine = a_pprofile->szImage + pos;
    if (szLine[0] == '[' && strncasecmp(szLine + 1, a_szSection, sizetSection) == 0 &&
        szLine[sizetSection + 1] == ']' && szLine[sizetSection + 2] == '\0') {
      return pos;
    }
  }
  return kNoLine;
}

// First line of the section that begins with key + "=", or kNoLine.
size_t FindKey(const OsCfgProfile* a_pprofile, size_t a_sizetHeader, const char* a_szKey) {
  size_t sizetKey = std::strlen(a_szKey);
  for (size_t pos = NextLine(a_pprofile, a_sizetHeader); !AtEnd(a_pprofile, pos) &&
                                                         !IsHeader(a_pprofile->szImage + pos);
       pos = NextLine(a_pprofile, pos)) {
    if (MatchKey(a_pprofile->szImage + pos, a_szKey, sizetKey)) return pos;
  }
  return kNoLine;
}

// Where a new key line of the section goes: after its last key line, or
// after the header when it has none.
size_t InsertPosition(const OsCfgProfile* a_pprofile, size_t a_sizetHeader) {
  size_t sizetInsert = NextLine(a_pprofile, a_sizetHeader);
  for (size_t pos = sizetInsert; !AtEnd(a_pprofile, pos) && !IsHeader(a_pprofile->szImage + pos);) {
    size_t sizetNext = NextLine(a_pprofile, pos);
    if (IsKeyLine(a_pprofile->szImage + pos)) sizetInsert = sizetNext;
    pos = sizetNext;
  }
  return sizetInsert;
}

// Makes the a_sizetOld bytes at a_sizetPos a_sizetNew bytes long; the
// caller checked the room.
void ResizeAt(OsCfgProfile* a_pprofile, size_t a_sizetPos, size_t a_sizetOld, size_t a_sizetNew) {
  std::memmove(a_pprofile->szImage + a_sizetPos + a_sizetNew, a_pprofile->szImage + a_sizetPos + a_sizetOld,
               a_pprofile->sizetUsed - a_sizetPos - a_sizetOld);
  a_pprofile->sizetUsed = a_pprofile->sizetUsed - a_sizetOld + a_sizetNew;
}

char* OpenGap(OsCfgProfile* a_pprofile, size_t a_sizetPos, size_t a_sizetBytes) {
  ResizeAt(a_pprofile, a_sizetPos, 0, a_sizetBytes);
  return a_pprofile->szImage + a_sizetPos;
}

void RemoveLine(OsCfgProfile* a_pprofile, size_t a_sizetPos) {
  ResizeAt(a_pprofile, a_sizetPos, NextLine(a_pprofile, a_sizetPos) - a_sizetPos, 0);
}

// Writes "key=value" and its zero byte into a gap of the right size.
void PutKeyLine(char* a_szGap, const char* a_szKey, const char* a_szValue) {
  size_t sizetKey = std::strlen(a_szKey);
  size_t sizetValue = std::strlen(a_szValue);
  std::memcpy(a_szGap, a_szKey, sizetKey);
  a_szGap[sizetKey] = '=';
  std::memcpy(a_szGap + sizetKey + 1, a_szValue, sizetValue + 1);
}

bool HasRoom(const OsCfgProfile* a_pprofile, size_t a_sizetMore) {
  if (a_pprofile->sizetUsed + a_sizetMore <= kImageBytes) return true;
  OsLog(OS_LOG_ERROR, "profile image is full, change refused...<%s> %u", a_pprofile->szPath,
        static_cast<unsigned>(COsCfgProfile::kFileBytes));
  return false;
}

// ---- reading and writing files ----------------------------------------------

// Turns the raw text in the image buffer into the image, in place: a leading
// byte-order mark goes, CRs go, LF (and a stray zero byte) ends a line,
// empty lines go, and an empty line closes the run.
void BuildImage(OsCfgProfile* a_pprofile, size_t a_sizetRead) {
  char* sz = a_pprofile->szImage;
  size_t sizetRead = 0;
  if (a_sizetRead >= 3 && std::memcmp(sz, "\xEF\xBB\xBF", 3) == 0) sizetRead = 3;
  size_t sizetWrite = 0;
  bool blInLine = false;
  for (; sizetRead < a_sizetRead; ++sizetRead) {
    char c = sz[sizetRead];
    if (c == '\r') continue;
    if (c == '\n' || c == '\0') {
      if (blInLine) sz[sizetWrite++] = '\0';
      blInLine = false;
      continue;
    }
    sz[sizetWrite++] = c;
    blInLine = true;
  }
  if (blInLine) sz[sizetWrite++] = '\0';
  sz[sizetWrite++] = '\0';
  a_pprofile->sizetUsed = sizetWrite;
}

// Cuts a text that was read only in part after its last complete line, so
// that no half line is taken for a whole one.
size_t CutAtLastLine(const char* a_szText, size_t a_sizetText) {
  while (a_sizetText > 0 && a_szText[a_sizetText - 1] != '\n' && a_szText[a_sizetText - 1] != '\r') --a_sizetText;
  return a_sizetText;
}

size_t ReadAll(int a_iFd, char* a_pbBuffer, size_t a_sizetBuffer) {
  size_t sizetRead = 0;
  while (sizetRead < a_sizetBuffer) {
    ssize_t n = read(a_iFd, a_pbBuffer + sizetRead, a_sizetBuffer - sizetRead);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    sizetRead += static_cast<size_t>(n);
  }
  return sizetRead;
}

int OpenForLoad(const char* a_szPath, bool a_blCreate, unsigned a_uMode) {
  int iFd = open(a_szPath, O_RDWR | O_CLOEXEC);
  if (iFd >= 0) return iFd;
  iFd = open(a_szPath, O_RDONLY | O_CLOEXEC);
  if (iFd >= 0) {
    OsLogDebug(OS_LOG_INFO, "profile opened readonly...<%s>", a_szPath);
    return iFd;
  }
  if (!a_blCreate || errno != ENOENT) return -1;
  iFd = open(a_szPath, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (iFd >= 0) fchmod(iFd, a_uMode & 07777);
  return iFd;
}

// (Re)reads the slot's file; a_blCreate makes a missing file empty.
EOSSTS LoadImage(OsCfgProfile* a_pprofile, bool a_blCreate, unsigned a_uMode) {
  a_pprofile->blDirty = false;
  a_pprofile->blLoaded = false;
  a_pprofile->blTruncated = false;
  a_pprofile->stamp = {};
  a_pprofile->szImage[0] = '\0';
  a_pprofile->sizetUsed = 1;
  int iFd = OpenForLoad(a_pprofile->szPath, a_blCreate, a_uMode);
  if (iFd < 0) {
    OsLog(OS_LOG_ERROR, "fopen failed...<%s>", a_pprofile->szPath);
    return OS_STS_FAIL;
  }
  struct stat st;
  if (fstat(iFd, &st) == 0) a_pprofile->stamp = StampOf(st);
  size_t sizetRead = ReadAll(iFd, a_pprofile->szImage, COsCfgProfile::kFileBytes);
  char cMore;
  if (sizetRead == COsCfgProfile::kFileBytes && ReadAll(iFd, &cMore, 1) == 1) {
    OsLog(OS_LOG_ERROR, "profile larger than %u bytes, the rest is ignored and it is never written...<%s>",
          static_cast<unsigned>(COsCfgProfile::kFileBytes), a_pprofile->szPath);
    a_pprofile->blTruncated = true;
    sizetRead = CutAtLastLine(a_pprofile->szImage, sizetRead);
  }
  close(iFd);
  BuildImage(a_pprofile, sizetRead);
  a_pprofile->blLoaded = true;
  return OS_STS_SUCCESS;
}

// Blank-line layout: an empty line goes before a header that follows a
// header, and before any other line than a key line that follows a key line,
// counting since the start or the last empty line.
EOSSTS WriteImage(OsCfgProfile* a_pprofile, unsigned a_uMode) {
  int iFd = open(a_pprofile->szPath, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  FILE* pfile = iFd >= 0 ? fdopen(iFd, "w") : nullptr;
  if (!pfile) {
    if (iFd >= 0) close(iFd);
    OsLogDebug(OS_LOG_INFO, "Could not truncate the file, it might be readonly...<%s>", a_pprofile->szPath);
    return OS_STS_FAIL;
  }
  fchmod(iFd, a_uMode & 07777);
  bool blHeaderWritten = false;
  bool blKeyWritten = false;
  bool blFailed = false;
  for (size_t pos = 0; !AtEnd(a_pprofile, pos); pos = NextLine(a_pprofile, pos)) {
    const char* szLine = a_pprofile->szImage + pos;
    bool blHeader = IsHeader(szLine);
    bool blKey = IsKeyLine(szLine);
    if ((blHeader && blHeaderWritten) || (blKeyWritten && !blKey)) {
      blFailed |= std::fputc('\n', pfile) == EOF;
      blHeaderWritten = blKeyWritten = false;
    }
    size_t sizetLine = std::strlen(szLine);
    blFailed |= std::fwrite(szLine, 1, sizetLine, pfile) != sizetLine || std::fputc('\n', pfile) == EOF;
    blHeaderWritten |= blHeader;
    blKeyWritten |= blKey;
  }
  blFailed |= std::fflush(pfile) != 0;
  struct stat st;
  if (fstat(iFd, &st) == 0) a_pprofile->stamp = StampOf(st);
  blFailed |= std::fclose(pfile) != 0;
  if (blFailed) {
    // The image stays dirty: the next flush tries again.
    OsLog(OS_LOG_ASSERT, "fwrite failed...<%s>", a_pprofile->szPath);
    return OS_STS_FAIL;
  }
  a_pprofile->blDirty = false;
  OsLogDebug(OS_LOG_INFO, "profile successfully written...<%s>", a_pprofile->szPath);
  return OS_STS_SUCCESS;
}

// ---- slots ---------------------------------------------------------------

int FindSlot(const char* a_szPath) {
  for (int i = 0; i < COsCfgProfile::kSlots; ++i) {
    if (s_aposcfgprofile[i] && std::strcmp(s_aposcfgprofile[i]->szPath, a_szPath) == 0) return i;
  }
  // Another spelling of a cached file (a relative path, a link) shares its
  // slot, as long as the slot's own path still names that file (a deleted
  // file's inode number may come back for another one).
  OsCfgProfileStamp stamp = ReadStamp(a_szPath);
  if (!stamp.blPresent) return -1;
  for (int i = 0; i < COsCfgProfile::kSlots; ++i) {
    const OsCfgProfile* pprofile = s_aposcfgprofile[i];
    if (!pprofile) continue;
    OsCfgProfileStamp stampSlot = ReadStamp(pprofile->szPath);
    if (stampSlot.blPresent && stampSlot.dev == stamp.dev && stampSlot.ino == stamp.ino) return i;
  }
  return -1;
}

void FreeSlot(int a_iSlot) {
  std::free(s_aposcfgprofile[a_iSlot]);
  s_aposcfgprofile[a_iSlot] = nullptr;
}

// Frees slots for a new file: every dirty image is written and every slot
// emptied, except one whose image could not be written (it keeps its
// changes and its slot).
void Evict(unsigned a_uMode) {
  for (int i = 0; i < COsCfgProfile::kSlots; ++i) {
    OsCfgProfile* pprofile = s_aposcfgprofile[i];
    if (!pprofile) continue;
    if (pprofile->blDirty && WriteImage(pprofile, a_uMode) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "profile kept in the cache, it could not be written...<%s>", pprofile->szPath);
      continue;
    }
    FreeSlot(i);
  }
}

int TakeSlot(const char* a_szPath, unsigned a_uMode) {
  int iSlot = -1;
  for (int i = 0; i < COsCfgProfile::kSlots && iSlot < 0; ++i) {
    if (!s_aposcfgprofile[i]) iSlot = i;
  }
  if (iSlot < 0) {
    Evict(a_uMode);
    for (int i = 0; i < COsCfgProfile::kSlots && iSlot < 0; ++i) {
      if (!s_aposcfgprofile[i]) iSlot = i;
    }
  }
  if (iSlot < 0) {
    OsLog(OS_LOG_ERROR, "s_aoscfgprofile is full...sorry...<%s>", a_szPath);
    return -1;
  }
  auto* pprofile = static_cast<OsCfgProfile*>(std::calloc(1, sizeof(OsCfgProfile)));
  if (!pprofile) {
    OsLog(OS_LOG_ASSERT, "calloc failed...<%s>", a_szPath);
    return -1;
  }
  COsString::SStrCpy(pprofile->szPath, sizeof pprofile->szPath, a_szPath);
  pprofile->sizetUsed = 1;
  s_aposcfgprofile[iSlot] = pprofile;
  return iSlot;
}

// The slot of a file, read or reread as needed. A reader rereads a file
// that another writer changed, dropping unwritten changes (logged); a writer
// rereads it only while it has none, so that neither side's changes vanish
// unseen. A writer also creates a missing file.
OsCfgProfile* Acquire(const char* a_szPath, bool a_blForChange, unsigned a_uMode) {
  int iSlot = FindSlot(a_szPath);
  if (iSlot < 0) {
    iSlot = TakeSlot(a_szPath, a_uMode);
    if (iSlot < 0) return nullptr;
    if (LoadImage(s_aposcfgprofile[iSlot], a_blForChange, a_uMode) != OS_STS_SUCCESS) {
      return a_blForChange ? nullptr : s_aposcfgprofile[iSlot];
    }
    return s_aposcfgprofile[iSlot];
  }
  OsCfgProfile* pprofile = s_aposcfgprofile[iSlot];
  if (pprofile->blLoaded && !StampChanged(pprofile->stamp, ReadStamp(pprofile->szPath))) return pprofile;
  if (pprofile->blDirty) {
    if (a_blForChange) {
      OsLog(OS_LOG_ASSERT, "profile changed on disk, keeping our unwritten changes...<%s>", pprofile->szPath);
      return pprofile;
    }
    OsLog(OS_LOG_ASSERT, "we're reloading over a dirty profile...<%s>", pprofile->szPath);
  }
  if (LoadImage(pprofile, a_blForChange, a_uMode) != OS_STS_SUCCESS && a_blForChange) return nullptr;
  return pprofile;
}

OsCfgProfile* AcquireForChange(const char* a_szPath, unsigned a_uMode) {
  OsCfgProfile* pprofile = Acquire(a_szPath, true, a_uMode);
  if (!pprofile) {
    OsLog(OS_LOG_ERROR, "failed to create profile...<%s>", a_szPath);
    return nullptr;
  }
  if (pprofile->blTruncated) {
    OsLog(OS_LOG_ERROR, "profile too large to change...<%s>", a_szPath);
    return nullptr;
  }
  return pprofile;
}

// ---- argument checks -------------------------------------------------------

bool GoodPath(const char* a_szFile) {
  if (!a_szFile || !*a_szFile) {
    OsLog(OS_LOG_ERROR, "bad file name...%p", static_cast<const void*>(a_szFile));
    return false;
  }
  if (std::strlen(a_szFile) >= kPath) {
    OsLog(OS_LOG_ERROR, "file name too long...<%s>", a_szFile);
    return false;
  }
  return true;
}

// A section, key or value that would read back as something else after a
// flush is refused: line ends anywhere, "=" or "[" in a key, a key that
// reads as a comment.
bool GoodSection(const char* a_szSection) {
  if (a_szSection && *a_szSection && !std::strpbrk(a_szSection, "\r\n")) return true;
  OsLog(OS_LOG_ERROR, "bad section...<%s>", a_szSection ? a_szSection : "(null)");
  return false;
}

bool GoodKey(const char* a_szKey) {
  if (a_szKey && *a_szKey && *a_szKey != ';' && !std::strpbrk(a_szKey, "=[\r\n")) return true;
  OsLog(OS_LOG_ERROR, "bad key...<%s>", a_szKey ? a_szKey : "(null)");
  return false;
}

bool GoodValue(const char* a_szValue) {
  if (a_szValue && !std::strpbrk(a_szValue, "\r\n")) return true;
  OsLog(OS_LOG_ERROR, "bad value...<%s>", a_szValue ? a_szValue : "(null)");
  return false;
}

// "@n": the index n of a line after the section header, else -1.
long LineIndexKey(const char* a_szKey) {
  if (a_szKey[0] != '@' || !a_szKey[1] || std::strspn(a_szKey + 1, "0123456789") != std::strlen(a_szKey + 1)) {
    return -1;
  }
  return std::strtol(a_szKey + 1, nullptr, 10);
}

// The count stays inside the section: a line at or past the next header
// belongs to another section and is never answered.
const char* ValueByIndex(const OsCfgProfile* a_pprofile, size_t a_sizetHeader, long a_lIndex) {
  size_t pos = NextLine(a_pprofile, a_sizetHeader);
  for (long l = 0; l < a_lIndex && !AtEnd(a_pprofile, pos) && !IsHeader(a_pprofile->szImage + pos); ++l) {
    pos = NextLine(a_pprofile, pos);
  }
  if (AtEnd(a_pprofile, pos) || IsHeader(a_pprofile->szImage + pos)) return nullptr;
  const char* szEqual = std::strchr(a_pprofile->szImage + pos, '=');
  return szEqual ? szEqual + 1 : nullptr;
}

const char* ValueOf(const OsCfgProfile* a_pprofile, const char* a_szSection, const char* a_szKey) {
  size_t sizetHeader = FindSection(a_pprofile, a_szSection);
  if (sizetHeader == kNoLine) return nullptr;
  long lIndex = LineIndexKey(a_szKey);
  if (lIndex >= 0) return ValueByIndex(a_pprofile, sizetHeader, lIndex);
  size_t sizetKey = FindKey(a_pprofile, sizetHeader, a_szKey);
  return sizetKey == kNoLine ? nullptr : a_pprofile->szImage + sizetKey + std::strlen(a_szKey) + 1;
}

EOSSTS SetValue(OsCfgProfile* a_pprofile, const char* a_szSection, const char* a_szKey, const char* a_szValue) {
  size_t sizetLine = std::strlen(a_szKey) + 1 + std::strlen(a_szValue) + 1;
  size_t sizetHeader = FindSection(a_pprofile, a_szSection);
  if (sizetHeader == kNoLine) {
    size_t sizetHeaderLine = std::strlen(a_szSection) + 3;
    if (!HasRoom(a_pprofile, sizetHeaderLine + sizetLine)) return OS_STS_FAIL;
    char* szGap = OpenGap(a_pprofile, a_pprofile->sizetUsed - 1, sizetHeaderLine + sizetLine);
    std::snprintf(szGap, sizetHeaderLine, "[%s]", a_szSection);
    PutKeyLine(szGap + sizetHeaderLine, a_szKey, a_szValue);
  } else if (size_t sizetOld = FindKey(a_pprofile, sizetHeader, a_szKey); sizetOld != kNoLine) {
    // The value changes in place; the key keeps its spelling in the file.
    size_t sizetValuePos = sizetOld + std::strlen(a_szKey) + 1;
    size_t sizetOldValue = std::strlen(a_pprofile->szImage + sizetValuePos);
    size_t sizetNewValue = std::strlen(a_szValue);
    if (sizetNewValue > sizetOldValue && !HasRoom(a_pprofile, sizetNewValue - sizetOldValue)) return OS_STS_FAIL;
    ResizeAt(a_pprofile, sizetValuePos, sizetOldValue, sizetNewValue);
    std::memcpy(a_pprofile->szImage + sizetValuePos, a_szValue, sizetNewValue);
  } else {
    if (!HasRoom(a_pprofile, sizetLine)) return OS_STS_FAIL;
    PutKeyLine(OpenGap(a_pprofile, InsertPosition(a_pprofile, sizetHeader), sizetLine), a_szKey, a_szValue);
  }
  a_pprofile->blDirty = true;
  return OS_STS_SUCCESS;
}

}  // namespace

EOSSTS COsCfgProfile::Get(const char* a_szFile, const char* a_szSection, const char* a_szKey, char* a_szValue,
                          size_t a_sizetValue, unsigned a_uMode) {
  if (!a_szValue || a_sizetValue == 0 || !a_szSection || !a_szKey) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %p %p %u", static_cast<const void*>(a_szSection),
          static_cast<const void*>(a_szKey), static_cast<void*>(a_szValue), static_cast<unsigned>(a_sizetValue));
    if (a_szValue && a_sizetValue) a_szValue[0] = '\0';
    return OS_STS_BAD_ARGUMENT;
  }
  a_szValue[0] = '\0';
  if (!GoodPath(a_szFile) || !*a_szKey) return OS_STS_FAIL;
  CProfileLock lock;
  OsCfgProfile* pprofile = Acquire(a_szFile, false, a_uMode);
  if (!pprofile || !pprofile->blLoaded) return OS_STS_FAIL;
  const char* szFound = ValueOf(pprofile, a_szSection, a_szKey);
  if (!szFound) return OS_STS_FAIL;
  if (std::strlen(szFound) >= a_sizetValue) {
    OsLog(OS_LOG_ERROR, "value does not fit...<%s> <%s> %u", a_szKey, szFound, static_cast<unsigned>(a_sizetValue));
    return OS_STS_NOROOM_BUFFER;
  }
  COsString::SStrCpy(a_szValue, a_sizetValue, szFound);
  return OS_STS_SUCCESS;
}

EOSSTS COsCfgProfile::Set(const char* a_szFile, const char* a_szSection, const char* a_szKey,
                          const char* a_szValue, unsigned a_uMode) {
  if (!GoodPath(a_szFile) || !GoodSection(a_szSection) || !GoodKey(a_szKey) || !GoodValue(a_szValue)) {
    return OS_STS_FAIL;
  }
  CProfileLock lock;
  OsCfgProfile* pprofile = AcquireForChange(a_szFile, a_uMode);
  if (!pprofile) return OS_STS_FAIL;
  return SetValue(pprofile, a_szSection, a_szKey, a_szValue);
}

EOSSTS COsCfgProfile::Delete(const char* a_szFile, const char* a_szSection, const char* a_szKey, unsigned a_uMode) {
  if (!GoodPath(a_szFile) || !GoodSection(a_szSection) || !GoodKey(a_szKey)) return OS_STS_FAIL;
  CProfileLock lock;
  OsCfgProfile* pprofile = AcquireForChange(a_szFile, a_uMode);
  if (!pprofile) return OS_STS_FAIL;
  size_t sizetHeader = FindSection(pprofile, a_szSection);
  if (sizetHeader == kNoLine) return OS_STS_SUCCESS;
  size_t sizetKey = FindKey(pprofile, sizetHeader, a_szKey);
  if (sizetKey == kNoLine) return OS_STS_SUCCESS;
  RemoveLine(pprofile, sizetKey);
  pprofile->blDirty = true;
  return OS_STS_SUCCESS;
}

EOSSTS COsCfgProfile::Flush(const char* a_szFile, unsigned a_uMode) {
  if (!GoodPath(a_szFile)) return OS_STS_FAIL;
  CProfileLock lock;
  int iSlot = FindSlot(a_szFile);
  if (iSlot < 0) {
    OsLog(OS_LOG_ERROR, "s_aoscfgprofile is full...sorry...<%s>", a_szFile);
    return OS_STS_FAIL;
  }
  OsCfgProfile* pprofile = s_aposcfgprofile[iSlot];
  if (!pprofile->blDirty) return OS_STS_SUCCESS;
  return WriteImage(pprofile, a_uMode);
}

EOSSTS COsCfgProfile::Copy(const char* a_szFrom, const char* a_szTo, unsigned a_uMode) {
  if (!GoodPath(a_szFrom) || !GoodPath(a_szTo)) return OS_STS_FAIL;
  CProfileLock lock;
  // Taking a slot for the copy may empty every slot: keep the text apart.
  const OsCfgProfile* pprofileFrom = Acquire(a_szFrom, false, a_uMode);
  if (!pprofileFrom || !pprofileFrom->blLoaded) return OS_STS_FAIL;
  size_t sizetUsed = pprofileFrom->sizetUsed;
  auto* pbImage = static_cast<char*>(std::malloc(sizetUsed));
  if (!pbImage) {
    OsLog(OS_LOG_ASSERT, "calloc failed...<%s>", a_szFrom);
    return OS_STS_FAIL;
  }
  std::memcpy(pbImage, pprofileFrom->szImage, sizetUsed);
  OsCfgProfile* pprofileTo = AcquireForChange(a_szTo, a_uMode);
  if (!pprofileTo) {
    std::free(pbImage);
    return OS_STS_FAIL;
  }
  std::memcpy(pprofileTo->szImage, pbImage, sizetUsed);
  pprofileTo->sizetUsed = sizetUsed;
  pprofileTo->blDirty = true;
  std::free(pbImage);
  return WriteImage(pprofileTo, a_uMode);
}

void COsCfgProfile::Shutdown(unsigned a_uMode) {
  CProfileLock lock;
  for (int i = 0; i < kSlots; ++i) {
    OsCfgProfile* pprofile = s_aposcfgprofile[i];
    if (!pprofile) continue;
    if (pprofile->blDirty && WriteImage(pprofile, a_uMode) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "unwritten profile changes are lost...<%s>", pprofile->szPath);
    }
    FreeSlot(i);
  }
}

bool COsCfgProfile::IsCached(const char* a_szFile) {
  if (!a_szFile) return false;
  CProfileLock lock;
  for (const OsCfgProfile* pprofile : s_aposcfgprofile) {
    if (pprofile && std::strcmp(pprofile->szPath, a_szFile) == 0) return true;
  }
  return false;
}
