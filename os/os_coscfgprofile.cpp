#include "os_coscfgprofile.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "os_coscfgprofilefile.h"
#include "os_coslog.h"
#include "os_cosstring.h"
#include "os_cossync.h"

namespace {

constexpr size_t kPath = 512;
// Text plus the zero byte of its last line and the closing empty line.
constexpr size_t kImageBytes = COsCfgProfile::kFileBytes + 2;
constexpr size_t kJournalBytes = kImageBytes;
constexpr size_t kNoLine = static_cast<size_t>(-1);
constexpr char kJournalSet = 'S';
constexpr char kJournalDelete = 'D';

// One cached file. Its image is the file as last read with our unwritten
// changes on top; the journal lists those changes (kind, section, key and
// value, each ended by a zero byte; one per key), so that they can be put
// back on top of the file when another process has written it meanwhile.
struct OsCfgProfile {
  bool blDirty;      // changes not yet written: the journal holds them
  bool blLoaded;     // the file was read (or created)
  bool blTruncated;  // the file is larger than an image: never written back
  bool blRefused;    // a change was refused since the last flush
  OsCfgProfileStamp stamp;
  char szPath[kPath];
  size_t sizetUsed;  // image bytes in use, the closing empty line included
  char szImage[kImageBytes];
  size_t sizetJournal;
  char szJournal[kJournalBytes];
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

// Removes the key's first line in the section; false when there is none.
bool DeleteValue(OsCfgProfile* a_pprofile, const char* a_szSection, const char* a_szKey) {
  size_t sizetHeader = FindSection(a_pprofile, a_szSection);
  if (sizetHeader == kNoLine) return false;
  size_t sizetKey = FindKey(a_pprofile, sizetHeader, a_szKey);
  if (sizetKey == kNoLine) return false;
  RemoveLine(a_pprofile, sizetKey);
  a_pprofile->blDirty = true;
  return true;
}

// ---- the journal of unwritten changes -----------------------------------------

size_t JournalEntryBytes(const char* a_szSection, const char* a_szKey, const char* a_szValue) {
  return 1 + std::strlen(a_szSection) + 1 + std::strlen(a_szKey) + 1 + std::strlen(a_szValue) + 1;
}

// The parts of the entry at a_sizetPos; the position of the next one.
size_t JournalEntry(const OsCfgProfile* a_pprofile, size_t a_sizetPos, char* a_pcKind, const char** a_pszSection,
                    const char** a_pszKey, const char** a_pszValue) {
  const char* pc = a_pprofile->szJournal + a_sizetPos;
  *a_pcKind = *pc++;
  *a_pszSection = pc;
  pc += std::strlen(pc) + 1;
  *a_pszKey = pc;
  pc += std::strlen(pc) + 1;
  *a_pszValue = pc;
  pc += std::strlen(pc) + 1;
  return static_cast<size_t>(pc - a_pprofile->szJournal);
}

// A later change of a key replaces its earlier one.
void JournalRecord(OsCfgProfile* a_pprofile, char a_cKind, const char* a_szSection, const char* a_szKey,
                   const char* a_szValue) {
  for (size_t pos = 0; pos < a_pprofile->sizetJournal;) {
    char cKind;
    const char *szSection, *szKey, *szValue;
    size_t sizetNext = JournalEntry(a_pprofile, pos, &cKind, &szSection, &szKey, &szValue);
    if (strcasecmp(szSection, a_szSection) != 0 || strcasecmp(szKey, a_szKey) != 0) {
      pos = sizetNext;
      continue;
    }
    std::memmove(a_pprofile->szJournal + pos, a_pprofile->szJournal + sizetNext, a_pprofile->sizetJournal - sizetNext);
    a_pprofile->sizetJournal -= sizetNext - pos;
  }
  char* pc = a_pprofile->szJournal + a_pprofile->sizetJournal;
  *pc++ = a_cKind;
  for (const char* sz : {a_szSection, a_szKey, a_szValue}) {
    size_t sizet = std::strlen(sz) + 1;
    std::memcpy(pc, sz, sizet);
    pc += sizet;
  }
  a_pprofile->sizetJournal = static_cast<size_t>(pc - a_pprofile->szJournal);
}

// Puts the unwritten changes back on top of a freshly read image; false
// when one no longer fits.
bool Replay(OsCfgProfile* a_pprofile) {
  bool blAll = true;
  for (size_t pos = 0; pos < a_pprofile->sizetJournal;) {
    char cKind;
    const char *szSection, *szKey, *szValue;
    pos = JournalEntry(a_pprofile, pos, &cKind, &szSection, &szKey, &szValue);
    if (cKind == kJournalSet) {
      blAll = SetValue(a_pprofile, szSection, szKey, szValue) == OS_STS_SUCCESS && blAll;
    } else {
      DeleteValue(a_pprofile, szSection, szKey);
    }
  }
  return blAll;
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

void EmptyImage(OsCfgProfile* a_pprofile) {
  a_pprofile->blLoaded = false;
  a_pprofile->blTruncated = false;
  a_pprofile->stamp = {};
  a_pprofile->szImage[0] = '\0';
  a_pprofile->sizetUsed = 1;
}

// Reads the open file into the image and puts our unwritten changes back on
// top of it.
EOSSTS LoadImage(OsCfgProfile* a_pprofile, const COsCfgProfileFile& a_oscfgprofilefile) {
  EmptyImage(a_pprofile);
  a_pprofile->stamp = a_oscfgprofilefile.Stamp();
  bool blMore = false;
  size_t sizetRead = a_oscfgprofilefile.Read(a_pprofile->szImage, COsCfgProfile::kFileBytes, &blMore);
  if (blMore) {
    OsLog(OS_LOG_ERROR, "profile larger than %u bytes, the rest is ignored and it is never written...<%s>",
          static_cast<unsigned>(COsCfgProfile::kFileBytes), a_pprofile->szPath);
    a_pprofile->blTruncated = true;
    sizetRead = CutAtLastLine(a_pprofile->szImage, sizetRead);
  }
  BuildImage(a_pprofile, sizetRead);
  a_pprofile->blLoaded = true;
  return Replay(a_pprofile) ? OS_STS_SUCCESS : OS_STS_NO_ROOM;
}

// The text of the image as it goes to the file. Blank-line layout: an empty
// line goes before a header that follows a header, and before any other
// line than a key line that follows a key line, counting since the start or
// the last empty line. Null when no memory is left.
char* RenderImage(const OsCfgProfile* a_pprofile, size_t* a_psizetText) {
  auto* pcText = static_cast<char*>(std::malloc(2 * a_pprofile->sizetUsed + 1));
  if (!pcText) return nullptr;
  size_t sizetText = 0;
  bool blHeaderWritten = false;
  bool blKeyWritten = false;
  for (size_t pos = 0; !AtEnd(a_pprofile, pos); pos = NextLine(a_pprofile, pos)) {
    const char* szLine = a_pprofile->szImage + pos;
    bool blHeader = IsHeader(szLine);
    bool blKey = IsKeyLine(szLine);
    if ((blHeader && blHeaderWritten) || (blKeyWritten && !blKey)) {
      pcText[sizetText++] = '\n';
      blHeaderWritten = blKeyWritten = false;
    }
    size_t sizetLine = std::strlen(szLine);
    std::memcpy(pcText + sizetText, szLine, sizetLine);
    sizetText += sizetLine;
    pcText[sizetText++] = '\n';
    blHeaderWritten |= blHeader;
    blKeyWritten |= blKey;
  }
  *a_psizetText = sizetText;
  return pcText;
}

// Writes the image over its file, opened and locked for the change. A file
// that stays as it was keeps the image dirty: the next flush tries again.
EOSSTS WriteLocked(OsCfgProfile* a_pprofile, COsCfgProfileFile& a_oscfgprofilefile, unsigned a_uMode) {
  if (a_oscfgprofilefile.IsReadOnly()) {
    OsLogDebug(OS_LOG_INFO, "Could not truncate the file, it might be readonly...<%s>", a_pprofile->szPath);
    OsLog(OS_LOG_ERROR, "profile not written, the file is read-only...<%s>", a_pprofile->szPath);
    return OS_STS_ACCESS_DENIED;
  }
  size_t sizetText = 0;
  char* pcText = RenderImage(a_pprofile, &sizetText);
  if (!pcText) {
    OsLog(OS_LOG_ASSERT, "calloc failed...<%s>", a_pprofile->szPath);
    return OS_STS_FAIL;
  }
  EOSSTS eossts = a_oscfgprofilefile.Replace(pcText, sizetText, a_uMode, &a_pprofile->stamp);
  std::free(pcText);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ASSERT, "fwrite failed...<%s>", a_pprofile->szPath);
    return eossts;
  }
  a_pprofile->blDirty = false;
  a_pprofile->sizetJournal = 0;
  OsLogDebug(OS_LOG_INFO, "profile successfully written...<%s>", a_pprofile->szPath);
  return OS_STS_SUCCESS;
}

// Opens and locks the slot's file for a change and, under that lock, reads
// it again when another writer has been at it since.
EOSSTS AcquireForChange(OsCfgProfile* a_pprofile, COsCfgProfileFile* a_poscfgprofilefile, unsigned a_uMode) {
  EOSSTS eossts = a_poscfgprofilefile->OpenForChange(a_pprofile->szPath, a_uMode);
  if (eossts != OS_STS_SUCCESS) return eossts;
  if (!a_pprofile->blLoaded || COsCfgProfileFile::StampChanged(a_pprofile->stamp, a_poscfgprofilefile->Stamp())) {
    if (a_pprofile->blDirty) {
      OsLogDebug(OS_LOG_INFO, "profile changed on disk, our unwritten changes go on top...<%s>", a_pprofile->szPath);
    }
    eossts = LoadImage(a_pprofile, *a_poscfgprofilefile);
    if (eossts != OS_STS_SUCCESS) return eossts;
  }
  if (a_pprofile->blTruncated) {
    OsLog(OS_LOG_ERROR, "profile too large to change...<%s>", a_pprofile->szPath);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// Load, change and write of one file, exclusive between processes.
EOSSTS WriteSlot(OsCfgProfile* a_pprofile, unsigned a_uMode) {
  COsCfgProfileFile oscfgprofilefile;
  EOSSTS eossts = AcquireForChange(a_pprofile, &oscfgprofilefile, a_uMode);
  if (eossts != OS_STS_SUCCESS) return eossts;
  return WriteLocked(a_pprofile, oscfgprofilefile, a_uMode);
}

// ---- slots ---------------------------------------------------------------

int FindSlot(const char* a_szPath) {
  for (int i = 0; i < COsCfgProfile::kSlots; ++i) {
    if (s_aposcfgprofile[i] && std::strcmp(s_aposcfgprofile[i]->szPath, a_szPath) == 0) return i;
  }
  // Another spelling of a cached file (a relative path, a link) shares its
  // slot, as long as the slot's own path still names that file (a deleted
  // file's inode number may come back for another one).
  OsCfgProfileStamp stamp = COsCfgProfileFile::StampOfPath(a_szPath);
  if (!stamp.blPresent) return -1;
  for (int i = 0; i < COsCfgProfile::kSlots; ++i) {
    const OsCfgProfile* pprofile = s_aposcfgprofile[i];
    if (!pprofile) continue;
    OsCfgProfileStamp stampSlot = COsCfgProfileFile::StampOfPath(pprofile->szPath);
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
    if (pprofile->blDirty && WriteSlot(pprofile, a_uMode) != OS_STS_SUCCESS) {
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

// The slot of a file, cached or newly taken (not yet read).
OsCfgProfile* SlotFor(const char* a_szPath, unsigned a_uMode) {
  int iSlot = FindSlot(a_szPath);
  if (iSlot < 0) iSlot = TakeSlot(a_szPath, a_uMode);
  return iSlot < 0 ? nullptr : s_aposcfgprofile[iSlot];
}

// The slot of a file for a read, read again when another writer changed the
// file (writers replace it whole, so no lock is needed to read it); our
// unwritten changes stay on top.
OsCfgProfile* AcquireForRead(const char* a_szPath, unsigned a_uMode) {
  OsCfgProfile* pprofile = SlotFor(a_szPath, a_uMode);
  if (!pprofile) return nullptr;
  OsCfgProfileStamp stamp = COsCfgProfileFile::StampOfPath(pprofile->szPath);
  if (pprofile->blLoaded && !COsCfgProfileFile::StampChanged(pprofile->stamp, stamp)) return pprofile;
  // Removed meanwhile: our changes are all there is, the flush makes the
  // file again.
  if (pprofile->blDirty && !stamp.blPresent) return pprofile;
  COsCfgProfileFile oscfgprofilefile;
  if (oscfgprofilefile.OpenForRead(pprofile->szPath) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "fopen failed...<%s>", pprofile->szPath);
    if (!pprofile->blDirty) EmptyImage(pprofile);
    return pprofile;
  }
  if (pprofile->blDirty) {
    OsLogDebug(OS_LOG_INFO, "profile changed on disk, our unwritten changes go on top...<%s>", pprofile->szPath);
  }
  LoadImage(pprofile, oscfgprofilefile);
  return pprofile;
}

// A change made under the file's lock: the image takes it and the journal
// remembers it for the flush.
EOSSTS Change(OsCfgProfile* a_pprofile, char a_cKind, const char* a_szSection, const char* a_szKey,
              const char* a_szValue) {
  if (a_pprofile->sizetJournal + JournalEntryBytes(a_szSection, a_szKey, a_szValue) > kJournalBytes) {
    OsLog(OS_LOG_ERROR, "profile has too many unwritten changes, flush it first...<%s>", a_pprofile->szPath);
    return OS_STS_NO_ROOM;
  }
  if (a_cKind == kJournalSet) {
    EOSSTS eossts = SetValue(a_pprofile, a_szSection, a_szKey, a_szValue);
    if (eossts != OS_STS_SUCCESS) return eossts;
  } else if (!DeleteValue(a_pprofile, a_szSection, a_szKey)) {
    return OS_STS_SUCCESS;  // nothing to delete: nothing changes
  }
  JournalRecord(a_pprofile, a_cKind, a_szSection, a_szKey, a_szValue);
  return OS_STS_SUCCESS;
}

// Set and delete: the file is opened (made when missing) and locked, read
// again under the lock when another writer has been at it, and changed in
// the image. A refusal is remembered for the next flush.
EOSSTS ChangeFile(const char* a_szFile, char a_cKind, const char* a_szSection, const char* a_szKey,
                  const char* a_szValue, unsigned a_uMode) {
  CProfileLock lock;
  OsCfgProfile* pprofile = SlotFor(a_szFile, a_uMode);
  if (!pprofile) return OS_STS_FAIL;
  COsCfgProfileFile oscfgprofilefile;
  EOSSTS eossts = AcquireForChange(pprofile, &oscfgprofilefile, a_uMode);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "failed to create profile...<%s>", pprofile->szPath);
  } else {
    eossts = Change(pprofile, a_cKind, a_szSection, a_szKey, a_szValue);
  }
  if (eossts != OS_STS_SUCCESS) pprofile->blRefused = true;
  return eossts;
}

// A change refused for its arguments counts against the next flush too.
void NoteRefused(const char* a_szFile, unsigned a_uMode) {
  if (!a_szFile || !*a_szFile || std::strlen(a_szFile) >= kPath) return;
  CProfileLock lock;
  OsCfgProfile* pprofile = SlotFor(a_szFile, a_uMode);
  if (pprofile) pprofile->blRefused = true;
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
  OsCfgProfile* pprofile = AcquireForRead(a_szFile, a_uMode);
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
    NoteRefused(a_szFile, a_uMode);
    return OS_STS_FAIL;
  }
  return ChangeFile(a_szFile, kJournalSet, a_szSection, a_szKey, a_szValue, a_uMode);
}

EOSSTS COsCfgProfile::Delete(const char* a_szFile, const char* a_szSection, const char* a_szKey, unsigned a_uMode) {
  if (!GoodPath(a_szFile) || !GoodSection(a_szSection) || !GoodKey(a_szKey)) {
    NoteRefused(a_szFile, a_uMode);
    return OS_STS_FAIL;
  }
  return ChangeFile(a_szFile, kJournalDelete, a_szSection, a_szKey, "", a_uMode);
}

// Success only when every change since the last flush is in the file.
EOSSTS COsCfgProfile::Flush(const char* a_szFile, unsigned a_uMode) {
  if (!GoodPath(a_szFile)) return OS_STS_FAIL;
  CProfileLock lock;
  int iSlot = FindSlot(a_szFile);
  if (iSlot < 0) {
    OsLog(OS_LOG_ERROR, "s_aoscfgprofile is full...sorry...<%s>", a_szFile);
    return OS_STS_FAIL;
  }
  OsCfgProfile* pprofile = s_aposcfgprofile[iSlot];
  EOSSTS eossts = pprofile->blDirty ? WriteSlot(pprofile, a_uMode) : OS_STS_SUCCESS;
  if (pprofile->blRefused) {
    OsLog(OS_LOG_ERROR, "changes were refused since the last flush, the file lacks them...<%s>", pprofile->szPath);
    pprofile->blRefused = false;
    if (eossts == OS_STS_SUCCESS) eossts = OS_STS_FAIL;
  }
  return eossts;
}

// The target is written only while it is new (empty): when another process
// made it first, its file stands.
EOSSTS COsCfgProfile::Copy(const char* a_szFrom, const char* a_szTo, unsigned a_uMode) {
  if (!GoodPath(a_szFrom) || !GoodPath(a_szTo)) return OS_STS_FAIL;
  CProfileLock lock;
  // Taking a slot for the copy may empty every slot: keep the text apart.
  const OsCfgProfile* pprofileFrom = AcquireForRead(a_szFrom, a_uMode);
  if (!pprofileFrom || !pprofileFrom->blLoaded) return OS_STS_FAIL;
  size_t sizetUsed = pprofileFrom->sizetUsed;
  auto* pbImage = static_cast<char*>(std::malloc(sizetUsed));
  if (!pbImage) {
    OsLog(OS_LOG_ASSERT, "calloc failed...<%s>", a_szFrom);
    return OS_STS_FAIL;
  }
  std::memcpy(pbImage, pprofileFrom->szImage, sizetUsed);
  OsCfgProfile* pprofileTo = SlotFor(a_szTo, a_uMode);
  COsCfgProfileFile oscfgprofilefile;
  EOSSTS eossts = pprofileTo ? AcquireForChange(pprofileTo, &oscfgprofilefile, a_uMode) : OS_STS_FAIL;
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "failed to create profile...<%s>", a_szTo);
  } else if (oscfgprofilefile.Stamp().size == 0) {
    std::memcpy(pprofileTo->szImage, pbImage, sizetUsed);
    pprofileTo->sizetUsed = sizetUsed;
    eossts = Replay(pprofileTo) ? WriteLocked(pprofileTo, oscfgprofilefile, a_uMode) : OS_STS_NO_ROOM;
  }
  std::free(pbImage);
  return eossts;
}

void COsCfgProfile::Shutdown(unsigned a_uMode) {
  CProfileLock lock;
  for (int i = 0; i < kSlots; ++i) {
    OsCfgProfile* pprofile = s_aposcfgprofile[i];
    if (!pprofile) continue;
    if (pprofile->blDirty && WriteSlot(pprofile, a_uMode) != OS_STS_SUCCESS) {
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

void COsCfgProfile::SetLockWait(long a_lMilliseconds) { COsCfgProfileFile::SetLockWait(a_lMilliseconds); }
