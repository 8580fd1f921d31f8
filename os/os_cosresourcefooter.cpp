// Reading, checking and rewriting the resource footer of a file.
#include "os_cosresourcefooter.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t s_sizetCopyBlock = 65536;
constexpr int s_iLockTries = 8;

uint64_t GetLe64(const unsigned char* a_pb) {
  uint64_t u64 = 0;
  for (int i = 7; i >= 0; --i) u64 = (u64 << 8) | a_pb[i];
  return u64;
}

void PutLe64(unsigned char* a_pb, uint64_t a_u64) {
  for (int i = 0; i < 8; ++i) a_pb[i] = static_cast<unsigned char>(a_u64 >> (8 * i));
}

void SetError(char* a_szError, size_t a_sizetError, const char* a_szFormat, ...)
    __attribute__((format(printf, 3, 4)));
void SetError(char* a_szError, size_t a_sizetError, const char* a_szFormat, ...) {
  if (!a_szError || a_sizetError == 0) return;
  va_list valist;
  va_start(valist, a_szFormat);
  std::vsnprintf(a_szError, a_sizetError, a_szFormat, valist);
  va_end(valist);
}

bool ReadAt(int a_iFd, void* a_pvBuffer, size_t a_sizetBytes, uint64_t a_u64Offset) {
  auto* pb = static_cast<unsigned char*>(a_pvBuffer);
  while (a_sizetBytes) {
    ssize_t sRead = pread(a_iFd, pb, a_sizetBytes, static_cast<off_t>(a_u64Offset));
    if (sRead < 0 && errno == EINTR) continue;
    if (sRead <= 0) return false;
    pb += sRead;
    a_sizetBytes -= static_cast<size_t>(sRead);
    a_u64Offset += static_cast<uint64_t>(sRead);
  }
  return true;
}

bool WriteAll(int a_iFd, const void* a_pvBuffer, size_t a_sizetBytes) {
  const auto* pb = static_cast<const unsigned char*>(a_pvBuffer);
  while (a_sizetBytes) {
    ssize_t sWritten = write(a_iFd, pb, a_sizetBytes);
    if (sWritten < 0 && errno == EINTR) continue;
    if (sWritten <= 0) return false;
    pb += sWritten;
    a_sizetBytes -= static_cast<size_t>(sWritten);
  }
  return true;
}

bool CopyRange(int a_iFdFrom, int a_iFdTo, uint64_t a_u64Offset, uint64_t a_u64Bytes) {
  static thread_local unsigned char s_abBlock[s_sizetCopyBlock];
  while (a_u64Bytes) {
    size_t sizetBlock = a_u64Bytes < s_sizetCopyBlock ? static_cast<size_t>(a_u64Bytes) : s_sizetCopyBlock;
    if (!ReadAt(a_iFdFrom, s_abBlock, sizetBlock, a_u64Offset) || !WriteAll(a_iFdTo, s_abBlock, sizetBlock)) {
      return false;
    }
    a_u64Offset += sizetBlock;
    a_u64Bytes -= sizetBlock;
  }
  return true;
}

// One entry of the file being rewritten: old bytes of the file, or new data.
struct Entry {
  char szName[COsResourceFooter::s_sizetName];
  uint64_t u64Source;
  uint64_t u64Size;
  const void* pvData;
};

// The entry list of a file before the update.
int EntriesOf(const OsResourceSlot* a_paslot, Entry* a_paentry) {
  int iCount = 0;
  for (int iSlot = COsResourceFooter::s_iFirstSlot; iSlot > 0 && a_paslot[iSlot].szName[0]; --iSlot, ++iCount) {
    std::memcpy(a_paentry[iCount].szName, a_paslot[iSlot].szName, COsResourceFooter::s_sizetName);
    a_paentry[iCount].u64Source = a_paslot[iSlot].u64Offset;
    a_paentry[iCount].u64Size = a_paslot[iSlot].u64Size;
    a_paentry[iCount].pvData = nullptr;
  }
  return iCount;
}

// Applies one change to the list; false with a message when it is refused.
// *a_pblChanged tells whether the list changed.
bool Apply(Entry* a_paentry, int* a_piCount, const OsResourceChange& a_change, bool* a_pblChanged, char* a_szError,
           size_t a_sizetError) {
  const char* szName = a_change.szName;
  if (!szName || !szName[0]) {
    SetError(a_szError, a_sizetError, "resource name is empty...");
    return false;
  }
  // A cut name would name another resource.
  if (std::strlen(szName) >= COsResourceFooter::s_sizetName) {
    SetError(a_szError, a_sizetError, "resource name too long (at most 31 characters)...<%s>", szName);
    return false;
  }
  bool blData = a_change.pvData && a_change.u64Size;
  if (!a_change.pvData && a_change.u64Size) {
    SetError(a_szError, a_sizetError, "size without data...<%s>", szName);
    return false;
  }
  int iFound = -1;
  for (int i = 0; i < *a_piCount && iFound < 0; ++i) {
    if (strcasecmp(a_paentry[i].szName, szName) == 0) iFound = i;
  }
  if (iFound >= 0 && blData) {
    a_paentry[iFound].pvData = a_change.pvData;
    a_paentry[iFound].u64Size = a_change.u64Size;
  } else if (iFound >= 0) {
    std::memmove(a_paentry + iFound, a_paentry + iFound + 1, sizeof(Entry) * static_cast<size_t>(*a_piCount - iFound - 1));
    --*a_piCount;
  } else if (blData) {
    if (*a_piCount >= COsResourceFooter::s_iMaxEntries) {
      SetError(a_szError, a_sizetError, "no free slots...<%s>", szName);
      return false;
    }
    Entry& entry = a_paentry[(*a_piCount)++];
    std::memset(&entry, 0, sizeof entry);
    std::memcpy(entry.szName, szName, std::strlen(szName));
    entry.pvData = a_change.pvData;
    entry.u64Size = a_change.u64Size;
  } else {
    return true;  // removing what is not there
  }
  *a_pblChanged = true;
  return true;
}

// Opens the file and takes its lock, making sure the lock is on the file
// that the path still names (an update that ran meanwhile replaced it).
int OpenLocked(const char* a_szPath, struct stat* a_pstat) {
  for (int iTry = 0; iTry < s_iLockTries; ++iTry) {
    int iFd = open(a_szPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (iFd < 0) return -1;
    struct stat statPath;
    if (flock(iFd, LOCK_EX) == 0 && fstat(iFd, a_pstat) == 0 && stat(a_szPath, &statPath) == 0 &&
        statPath.st_dev == a_pstat->st_dev && statPath.st_ino == a_pstat->st_ino) {
      return iFd;
    }
    close(iFd);
  }
  errno = EBUSY;
  return -1;
}

// Writes the new file: the content, the entries in slot order, the footer.
bool WriteNew(int a_iFdOld, int a_iFdNew, uint64_t a_u64ContentEnd, const Entry* a_paentry, int a_iCount) {
  if (!CopyRange(a_iFdOld, a_iFdNew, 0, a_u64ContentEnd)) return false;
  OsResourceSlot aslot[COsResourceFooter::s_iSlots] = {};
  uint64_t u64Offset = a_u64ContentEnd;
  for (int i = 0; i < a_iCount; ++i) {
    const Entry& entry = a_paentry[i];
    bool blWritten = entry.pvData ? WriteAll(a_iFdNew, entry.pvData, static_cast<size_t>(entry.u64Size))
                                  : CopyRange(a_iFdOld, a_iFdNew, entry.u64Source, entry.u64Size);
    if (!blWritten) return false;
    OsResourceSlot& slot = aslot[COsResourceFooter::s_iFirstSlot - i];
    std::memcpy(slot.szName, entry.szName, sizeof slot.szName);
    slot.u64Offset = u64Offset;
    slot.u64Size = entry.u64Size;
    u64Offset += entry.u64Size;
  }
  unsigned char abFooter[COsResourceFooter::s_sizetFooter];
  COsResourceFooter::Encode(aslot, abFooter);
  return WriteAll(a_iFdNew, abFooter, sizeof abFooter) && fsync(a_iFdNew) == 0;
}
}  // namespace

EOSRESOURCEFOOTER COsResourceFooter::Read(int a_iFd, uint64_t a_u64FileSize, OsResourceSlot* a_paslot,
                                          uint64_t* a_pu64ContentEnd) {
  if (a_u64FileSize < s_sizetFooter) return OS_RESOURCEFOOTER_NONE;
  unsigned char abFooter[s_sizetFooter];
  if (!ReadAt(a_iFd, abFooter, sizeof abFooter, a_u64FileSize - s_sizetFooter)) return OS_RESOURCEFOOTER_IOERROR;
  return Decode(abFooter, a_u64FileSize, a_paslot, a_pu64ContentEnd);
}

EOSRESOURCEFOOTER COsResourceFooter::Decode(const unsigned char* a_pbFooter, uint64_t a_u64FileSize,
                                            OsResourceSlot* a_paslot, uint64_t* a_pu64ContentEnd) {
  if (a_u64FileSize < s_sizetFooter) return OS_RESOURCEFOOTER_NONE;
  const unsigned char* pbMarker = a_pbFooter + s_iMarkerSlot * s_sizetSlot;
  if (!std::memchr(pbMarker, 0, s_sizetName) || std::strcmp(reinterpret_cast<const char*>(pbMarker), s_szMarker) != 0) {
    return OS_RESOURCEFOOTER_NONE;
  }
  uint64_t u64FooterStart = a_u64FileSize - s_sizetFooter;
  std::memset(a_paslot, 0, sizeof(OsResourceSlot) * s_iSlots);
  std::memcpy(a_paslot[s_iMarkerSlot].szName, s_szMarker, std::strlen(s_szMarker));
  uint64_t u64ContentEnd = u64FooterStart;
  for (int iSlot = s_iFirstSlot; iSlot > 0; --iSlot) {
    const unsigned char* pbSlot = a_pbFooter + iSlot * s_sizetSlot;
    if (pbSlot[0] == 0) break;
    if (!std::memchr(pbSlot, 0, s_sizetName)) return OS_RESOURCEFOOTER_INVALID;
    OsResourceSlot& slot = a_paslot[iSlot];
    std::memcpy(slot.szName, pbSlot, s_sizetName);
    slot.u64Offset = GetLe64(pbSlot + 32);
    slot.u64Size = GetLe64(pbSlot + 40);
    if (iSlot == s_iFirstSlot) u64ContentEnd = slot.u64Offset;
    // Every entry lies in the data area: after the content, before the footer.
    if (slot.u64Offset < u64ContentEnd || slot.u64Offset > u64FooterStart ||
        slot.u64Size > u64FooterStart - slot.u64Offset) {
      return OS_RESOURCEFOOTER_INVALID;
    }
  }
  *a_pu64ContentEnd = u64ContentEnd;
  return OS_RESOURCEFOOTER_VALID;
}

void COsResourceFooter::Encode(const OsResourceSlot* a_paslot, unsigned char* a_pbFooter) {
  std::memset(a_pbFooter, 0, s_sizetFooter);
  for (int iSlot = s_iFirstSlot; iSlot > 0 && a_paslot[iSlot].szName[0]; --iSlot) {
    unsigned char* pbSlot = a_pbFooter + iSlot * s_sizetSlot;
    std::memcpy(pbSlot, a_paslot[iSlot].szName, s_sizetName - 1);
    PutLe64(pbSlot + 32, a_paslot[iSlot].u64Offset);
    PutLe64(pbSlot + 40, a_paslot[iSlot].u64Size);
  }
  std::memcpy(a_pbFooter + s_iMarkerSlot * s_sizetSlot, s_szMarker, std::strlen(s_szMarker));
}

int COsResourceFooter::Find(const OsResourceSlot* a_paslot, const char* a_szName) {
  for (int iSlot = s_iFirstSlot; iSlot > 0 && a_paslot[iSlot].szName[0]; --iSlot) {
    if (strcasecmp(a_paslot[iSlot].szName, a_szName) == 0) return iSlot;
  }
  return -1;
}

int COsResourceFooter::Count(const OsResourceSlot* a_paslot) {
  int iCount = 0;
  for (int iSlot = s_iFirstSlot; iSlot > 0 && a_paslot[iSlot].szName[0]; --iSlot) ++iCount;
  return iCount;
}

int COsResourceFooter::Update(const char* a_szPath, const OsResourceChange* a_posresourcechange,
                              size_t a_sizetChanges, char* a_szError, size_t a_sizetError) {
  SetError(a_szError, a_sizetError, "%s", "");
  // The new file goes beside the real file, not beside a link to it.
  char szPath[PATH_MAX];
  if (!a_szPath || !realpath(a_szPath, szPath)) {
    SetError(a_szError, a_sizetError, "open failed...<%s>", a_szPath ? a_szPath : "(null)");
    return 1;
  }
  struct stat statOld;
  int iFdOld = OpenLocked(szPath, &statOld);
  if (iFdOld < 0 || !S_ISREG(statOld.st_mode)) {
    SetError(a_szError, a_sizetError, "open failed...<%s>", szPath);
    if (iFdOld >= 0) close(iFdOld);
    return 1;
  }
  uint64_t u64FileSize = static_cast<uint64_t>(statOld.st_size);
  OsResourceSlot aslot[s_iSlots];
  uint64_t u64ContentEnd = 0;
  Entry aentry[s_iMaxEntries];
  int iCount = 0;
  switch (Read(iFdOld, u64FileSize, aslot, &u64ContentEnd)) {
    case OS_RESOURCEFOOTER_VALID: iCount = EntriesOf(aslot, aentry); break;
    case OS_RESOURCEFOOTER_NONE: u64ContentEnd = u64FileSize; break;
    case OS_RESOURCEFOOTER_INVALID:
      SetError(a_szError, a_sizetError, "footer is invalid...<%s>", szPath);
      close(iFdOld);
      return 1;
    default:
      SetError(a_szError, a_sizetError, "osfileBinary.Read failed...<%s>", szPath);
      close(iFdOld);
      return 1;
  }
  bool blChanged = false;
  for (size_t i = 0; i < a_sizetChanges; ++i) {
    if (!Apply(aentry, &iCount, a_posresourcechange[i], &blChanged, a_szError, a_sizetError)) {
      close(iFdOld);
      return 1;
    }
  }
  if (!blChanged) {
    close(iFdOld);
    return 0;
  }

  char szTemp[PATH_MAX];
  if (std::snprintf(szTemp, sizeof szTemp, "%s.XXXXXX", szPath) >= static_cast<int>(sizeof szTemp)) {
    SetError(a_szError, a_sizetError, "path too long...<%s>", szPath);
    close(iFdOld);
    return 1;
  }
  int iFdNew = mkostemp(szTemp, O_CLOEXEC);
  if (iFdNew < 0) {
    SetError(a_szError, a_sizetError, "Write failed...<%s> (%s)", szPath, std::strerror(errno));
    close(iFdOld);
    return 1;
  }
  bool blWritten = fchmod(iFdNew, statOld.st_mode & 07777) == 0 &&
                   WriteNew(iFdOld, iFdNew, u64ContentEnd, aentry, iCount);
  int iErrno = errno;
  blWritten = close(iFdNew) == 0 && blWritten;
  if (!blWritten || rename(szTemp, szPath) != 0) {
    if (blWritten) iErrno = errno;
    unlink(szTemp);
    SetError(a_szError, a_sizetError, "Write failed...<%s> (%s)", szPath, std::strerror(iErrno));
    close(iFdOld);
    return 1;
  }
  close(iFdOld);
  return 0;
}
