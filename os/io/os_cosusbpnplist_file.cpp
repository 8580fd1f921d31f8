// The shared device list on disk: the header, reading every slot, the
// probe for entries of processes that are gone, entering and removing an
// entry, and the file and slot locks.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "os_cosusbpnplist.h"
#include "os_cosxml.h"

namespace {
constexpr size_t kSpare = 65536;       // zero room behind the last slot of each copy
constexpr size_t kHeaderRead = 511;    // bytes of slot 0 read for the header
constexpr uint32_t kMinSlotSize = 512;
constexpr uint32_t kMaxSlotSize = 1048576;
constexpr uint32_t kMinLockSize = 8;
constexpr uint32_t kMaxLockSize = 256;
// An entry's slots each hold a lock of this object's file, which has room
// for 64 regions.
constexpr uint64_t kMaxEntrySlots = 32;
// The most slot text a copy holds. Slots are only added while every slot
// holds a live entry, so a longer file is damage (a sparse file of a
// terabyte would otherwise be read whole, into two copies of its size).
constexpr uint64_t kMaxCopyBytes = 64ULL << 20;

// A header field as a number; 0 when missing or not a number.
uint64_t HeaderNumber(const char* a_szHeader, const char* a_szStart, const char* a_szEnd) {
  char szValue[32];
  if (COsXml::GetContent(a_szHeader, a_szStart, a_szEnd, szValue, sizeof szValue) != OS_STS_SUCCESS) return 0;
  char* szStop = nullptr;
  errno = 0;
  unsigned long long ullValue = std::strtoull(szValue, &szStop, 10);
  if (errno != 0 || szStop == szValue || *szStop != '\0') return 0;
  return ullValue;
}
}  // namespace

EOSSTS COsUsbPnpList::FileLock() {
  EOSSTS eossts = m_osfile.Lock(0, 1, m_lFileLockTimeout, "pnplist");
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Lock failed...");
  return eossts;
}

void COsUsbPnpList::FileUnlock() { m_osfile.Unlock(0, 1); }

// Never waits: a busy slot (4) is the normal answer for a live entry.
EOSSTS COsUsbPnpList::SlotLock(uint64_t a_u64Slot) {
  return m_osfile.Lock(a_u64Slot * (m_u32SlotSize + m_u32LockSize), 1, 0, "pnplist.slotlock");
}

void COsUsbPnpList::SlotUnlock(uint64_t a_u64Slot) {
  m_osfile.Unlock(a_u64Slot * (m_u32SlotSize + m_u32LockSize), 1);
}

EOSSTS COsUsbPnpList::SlotSetPointer(uint64_t a_u64Slot) {
  uint64_t u64Offset = a_u64Slot * (m_u32SlotSize + m_u32LockSize) + m_u32LockSize;
  if (m_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64Offset)) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SetFilePointer64 failed...");
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

// One slot's S bytes: the text, zero-filled.
EOSSTS COsUsbPnpList::SlotWrite(uint64_t a_u64Slot, const char* a_pcText, size_t a_sizetText) {
  if (SlotSetPointer(a_u64Slot) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SlotSetPointer failed...");
    return OS_STS_FAIL;
  }
  std::string strSlot(m_u32SlotSize, '\0');
  std::memcpy(strSlot.data(), a_pcText, a_sizetText < m_u32SlotSize ? a_sizetText : m_u32SlotSize);
  EOSSTS eossts = m_osfile.Write(strSlot.data(), strSlot.size());
  if (eossts != OS_STS_SUCCESS) OsLog(OS_LOG_ERROR, "Write failed...");
  return eossts;
}

EOSSTS COsUsbPnpList::Reserve(uint64_t a_u64Slots) {
  if (a_u64Slots <= m_u64Capacity) return OS_STS_SUCCESS;
  if (a_u64Slots > kMaxCopyBytes / m_u32SlotSize) {
    OsLog(OS_LOG_ERROR, "Too many slots...<%llu>", static_cast<unsigned long long>(a_u64Slots));
    return OS_STS_NOROOM_BUFFER;
  }
  const uint64_t u64Bytes = a_u64Slots * m_u32SlotSize + kSpare;
  char* pcSlots = static_cast<char*>(OsMemAlloc(u64Bytes));
  char* pcSlotsPrevious = static_cast<char*>(OsMemAlloc(u64Bytes));
  if (!pcSlots || !pcSlotsPrevious) {
    OsLog(OS_LOG_ERROR, "OsMemAlloc failed...<%u>", static_cast<unsigned>(u64Bytes));
    OsMemFree(pcSlots);
    OsMemFree(pcSlotsPrevious);
    return OS_STS_NOROOM_BUFFER;
  }
  if (m_pcSlots) {
    std::memcpy(pcSlots, m_pcSlots, m_u64Capacity * m_u32SlotSize);
    std::memcpy(pcSlotsPrevious, m_pcSlotsPrevious, m_u64Capacity * m_u32SlotSize);
  }
  FreeCopies();
  m_pcSlots = pcSlots;
  m_pcSlotsPrevious = pcSlotsPrevious;
  m_u64Capacity = a_u64Slots;
  return OS_STS_SUCCESS;
}

// A new file, or one whose creator was killed before its header was
// written: the header with the defaults (or, for a file cut to nothing
// since it was read, the sizes it had), then the file grown to one slot.
// The header goes first and the file is never cut here, so a creator
// killed at any point leaves either a blank file or a readable one.
EOSSTS COsUsbPnpList::FileCreateHeader(uint64_t a_u64Size) {
  if (m_u32SlotSize == 0) {
    m_u32Version = s_u32Version;
    m_u32SlotSize = s_u32SlotSize;
    m_u32LockSize = s_u32LockSize;
  }
  char szHeader[256];
  COsString::SStrPrintf(szHeader, sizeof szHeader,
                        "<header><version>%d</version><slotsize>%d</slotsize><locksize>%d</locksize></header>",
                        static_cast<int>(m_u32Version), static_cast<int>(m_u32SlotSize),
                        static_cast<int>(m_u32LockSize));
  if (SlotSetPointer(0) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SlotSetPointer failed...");
    return OS_STS_FAIL;
  }
  EOSSTS eossts = m_osfile.Write(szHeader, std::strlen(szHeader) + 1);
  if (eossts != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Write failed...");
    return eossts;
  }
  if (a_u64Size < m_u32SlotSize + 1ULL &&
      (m_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, m_u32SlotSize + 1) != OS_STS_SUCCESS ||
       m_osfile.SetEndOfFile() != OS_STS_SUCCESS)) {
    OsLog(OS_LOG_ERROR, "SetEndOfFile failed...");
    return OS_STS_FAIL;
  }
  return m_osfile.Flush();
}

// The header of an existing file: sizes a peer chose are taken as they are,
// within sane bounds. Its text starts after the lock bytes, whose number it
// gives itself: lock bytes beyond the least number are skipped as zeros.
EOSSTS COsUsbPnpList::FileReadHeader() {
  char szRead[kMaxLockSize + kHeaderRead + 1] = {};
  size_t sizetRead = 0;
  if (m_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, kMinLockSize) != OS_STS_SUCCESS ||
      m_osfile.Read(szRead, sizeof szRead - 1, &sizetRead) != OS_STS_SUCCESS) {
    sizetRead = 0;
  }
  char* szHeader = szRead;
  while (szHeader < szRead + sizetRead && !*szHeader) ++szHeader;
  // Nothing but zeros where the header belongs: nobody could ever enter an
  // entry in such a file, so it is taken as new.
  if (szHeader == szRead + sizetRead) {
    OsLogDebug(OS_LOG_INFO, "Blank header, writing it...");
    return OS_STS_FILE_NOT_FOUND;
  }
  if (szHeader - szRead > static_cast<long>(kMaxLockSize - kMinLockSize)) szHeader = szRead + sizetRead;
  if (std::strlen(szHeader) > kHeaderRead) szHeader[kHeaderRead] = '\0';
  if (!*szHeader) {
    OsLog(OS_LOG_ERROR, "Can't find the header...");
    return OS_STS_FAIL;
  }
  uint64_t u64Version = HeaderNumber(szHeader, "<version>", "</version>");
  uint64_t u64SlotSize = HeaderNumber(szHeader, "<slotsize>", "</slotsize>");
  uint64_t u64LockSize = HeaderNumber(szHeader, "<locksize>", "</locksize>");
  if (u64Version == 0 || u64Version > UINT32_MAX) {
    OsLog(OS_LOG_ERROR, "Bad version...<%s>", szHeader);
    return OS_STS_FAIL;
  }
  if (u64SlotSize < kMinSlotSize || u64SlotSize > kMaxSlotSize) {
    OsLog(OS_LOG_ERROR, "Bad slotsize...<%s>", szHeader);
    return OS_STS_FAIL;
  }
  if (u64LockSize < kMinLockSize || u64LockSize > kMaxLockSize) {
    OsLog(OS_LOG_ERROR, "Bad locksize...<%s>", szHeader);
    return OS_STS_FAIL;
  }
  m_u32Version = static_cast<uint32_t>(u64Version);
  m_u32SlotSize = static_cast<uint32_t>(u64SlotSize);
  m_u32LockSize = static_cast<uint32_t>(u64LockSize);
  return OS_STS_SUCCESS;
}

// The caller holds the file lock.
EOSSTS COsUsbPnpList::FileRead() {
  if (m_pcSlots) std::memcpy(m_pcSlotsPrevious, m_pcSlots, m_u64Capacity * m_u32SlotSize);
  m_u64SlotsPrevious = m_u64Slots;
  uint64_t u64Size = 0;
  if (m_osfile.Size64(&u64Size) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Size failed...");
    return OS_STS_FAIL;
  }
  if (m_u32SlotSize == 0 || u64Size == 0) {
    const uint32_t u32SlotSize = m_u32SlotSize;
    EOSSTS eossts = u64Size == 0 ? OS_STS_FILE_NOT_FOUND : FileReadHeader();
    if (eossts == OS_STS_FILE_NOT_FOUND) {
      eossts = FileCreateHeader(u64Size);
      if (eossts == OS_STS_SUCCESS && u64Size < m_u32SlotSize + 1ULL) u64Size = m_u32SlotSize + 1;
    }
    if (eossts != OS_STS_SUCCESS) {
      m_u32SlotSize = u32SlotSize;
      return OS_STS_FAIL;
    }
  }
  // Slot 0 is the header's even when the file ends inside it, so that no
  // entry is ever written over the header.
  const uint64_t u64Slots = u64Size / (m_u32SlotSize + 1) ? u64Size / (m_u32SlotSize + 1) : 1;
  EOSSTS eossts = Reserve(u64Slots);
  if (eossts != OS_STS_SUCCESS) return eossts;
  // A slot that reaches past the end of the file reads as zeros there.
  std::memset(m_pcSlots, 0, m_u64Capacity * m_u32SlotSize);
  for (uint64_t u64Slot = 0; u64Slot < u64Slots; ++u64Slot) {
    size_t sizetRead = 0;
    if (SlotSetPointer(u64Slot) != OS_STS_SUCCESS ||
        m_osfile.Read(m_pcSlots + u64Slot * m_u32SlotSize, m_u32SlotSize, &sizetRead) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Read failed...");
      return OS_STS_FAIL;
    }
  }
  m_u64Slots = u64Slots;
  // Entries whose lock byte nobody holds belong to processes that are gone.
  for (uint64_t u64Slot = 1; u64Slot < m_u64Slots; ++u64Slot) {
    char* pcText = m_pcSlots + u64Slot * m_u32SlotSize;
    if (!pcText[0] || IsOwnSlot(u64Slot)) continue;
    if (m_osfile.TestLock(u64Slot * (m_u32SlotSize + m_u32LockSize), 1) != OS_STS_SUCCESS) continue;
    std::memset(pcText, 0, m_u32SlotSize);
    if (!m_blSkipWriteBack) SlotWrite(u64Slot, pcText, 0);
  }
  return OS_STS_SUCCESS;
}

// The caller holds the file lock and has just read.
EOSSTS COsUsbPnpList::FileAddEntry(const char* a_szEntry) {
  if (m_u64OwnSlots != 0) FileRemoveEntry();
  // Room for the text and its terminator, so that a reader never runs on
  // into the next entry.
  const size_t sizetEntry = std::strlen(a_szEntry);
  const uint64_t u64Need = (sizetEntry + m_u32SlotSize) / m_u32SlotSize;
  if (u64Need > kMaxEntrySlots) {
    OsLog(OS_LOG_ERROR, "entry is too large...%zu", sizetEntry);
    return OS_STS_BAD_ARGUMENT;
  }
  EOSSTS eosstsTrim = TrimFile();
  if (eosstsTrim != OS_STS_SUCCESS) return eosstsTrim;
  uint64_t u64First = TakeFreeSlots(u64Need);
  if (u64First == 0) {
    // Appended: the file grows to hold the new slots as every user counts
    // them (written slots may reach past that size). The room in memory
    // comes first: a file grown beyond what the copies may hold could not
    // be read again.
    EOSSTS eossts = Reserve(m_u64Slots + u64Need);
    if (eossts != OS_STS_SUCCESS) return eossts;
    uint64_t u64Size = 0;
    const uint64_t u64Want = (m_u64Slots + u64Need) * (m_u32SlotSize + 1);
    if (m_osfile.Size64(&u64Size) != OS_STS_SUCCESS) {
      OsLog(OS_LOG_ERROR, "Size failed...");
      return OS_STS_FAIL;
    }
    if (u64Want > u64Size && (m_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64Want)) !=
                                  OS_STS_SUCCESS ||
                              m_osfile.SetEndOfFile() != OS_STS_SUCCESS)) {
      OsLog(OS_LOG_ERROR, "SetEndOfFile failed...");
      return OS_STS_FAIL;
    }
    u64First = m_u64Slots;
    for (uint64_t u64Slot = u64First; u64Slot < u64First + u64Need; ++u64Slot) {
      if (SlotLock(u64Slot) != OS_STS_SUCCESS) {
        OsLog(OS_LOG_ERROR, "SlotLock failed...");
        while (u64Slot-- > u64First) SlotUnlock(u64Slot);
        return OS_STS_BUSY;
      }
    }
    m_u64Slots += u64Need;
  }
  for (uint64_t u64Index = 0; u64Index < u64Need; ++u64Index) {
    const size_t sizetOffset = u64Index * m_u32SlotSize;
    const size_t sizetPart = sizetEntry - sizetOffset < m_u32SlotSize ? sizetEntry - sizetOffset : m_u32SlotSize;
    EOSSTS eossts = SlotWrite(u64First + u64Index, a_szEntry + sizetOffset, sizetOffset < sizetEntry ? sizetPart : 0);
    if (eossts != OS_STS_SUCCESS) {
      for (uint64_t u64Slot = u64First; u64Slot < u64First + u64Need; ++u64Slot) SlotUnlock(u64Slot);
      return eossts;
    }
    std::memset(m_pcSlots + (u64First + u64Index) * m_u32SlotSize, 0, m_u32SlotSize);
  }
  m_u64OwnSlot = u64First;
  m_u64OwnSlots = u64Need;
  return m_osfile.Flush();
}

// The caller holds the file lock.
EOSSTS COsUsbPnpList::FileRemoveEntry() {
  EOSSTS eossts = OS_STS_SUCCESS;
  for (uint64_t u64Slot = m_u64OwnSlot; u64Slot < m_u64OwnSlot + m_u64OwnSlots; ++u64Slot) {
    SlotUnlock(u64Slot);
    EOSSTS eosstsSlot = SlotWrite(u64Slot, "", 0);
    if (eosstsSlot != OS_STS_SUCCESS) eossts = eosstsSlot;
  }
  m_u64OwnSlot = 0;
  m_u64OwnSlots = 0;
  // A list read before (the slot sizes known) is cut behind its last entry.
  if (m_u32SlotSize != 0) {
    EOSSTS eosstsTrim = TrimFile();
    if (eossts == OS_STS_SUCCESS) eossts = eosstsTrim;
  }
  m_osfile.Flush();
  return eossts;
}

// Any slot whose lock byte nobody holds is free: blank, or the entry of a
// process that is gone. The caller holds the file lock, so no other adder
// is taking slots meanwhile.
uint64_t COsUsbPnpList::TakeFreeSlots(uint64_t a_u64Need) {
  for (uint64_t u64First = 1; u64First + a_u64Need <= m_u64Slots;) {
    uint64_t u64Taken = 0;
    while (u64Taken < a_u64Need && SlotLock(u64First + u64Taken) == OS_STS_SUCCESS) ++u64Taken;
    if (u64Taken == a_u64Need) return u64First;
    for (uint64_t u64Slot = u64First; u64Slot < u64First + u64Taken; ++u64Slot) SlotUnlock(u64Slot);
    u64First += u64Taken + 1;
  }
  return 0;
}

// The caller holds the file lock. The slots are those of the file as it is
// now (others may have added since this object last read it). The file
// keeps whole every slot up to the last live one (a slot's text ends S + L
// bytes into its stride), and the slot count read from that size reaches at
// least so far. Live slots are looked for as far as the file reaches at the
// stride too: the count (size over S + 1) can stop short of a slot a peer
// holds and has written, whose bytes must not be cut.
EOSSTS COsUsbPnpList::TrimFile() {
  uint64_t u64Size = 0;
  if (m_osfile.Size64(&u64Size) != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "Size failed...");
    return OS_STS_FAIL;
  }
  const uint64_t u64Stride = m_u32SlotSize + m_u32LockSize;
  const uint64_t u64Counted = u64Size / (m_u32SlotSize + 1);
  const uint64_t u64Begun = (u64Size + u64Stride - 1) / u64Stride;
  uint64_t u64Keep = 1;  // the header's slot
  for (uint64_t u64Slot = u64Counted > u64Begun ? u64Counted : u64Begun; u64Slot-- > 1;) {
    if (m_osfile.TestLock(u64Slot * (m_u32SlotSize + m_u32LockSize), 1) != OS_STS_SUCCESS) {
      u64Keep = u64Slot + 1;
      break;
    }
  }
  const uint64_t u64Want = u64Keep * (m_u32SlotSize + m_u32LockSize);
  if (u64Size <= u64Want) return OS_STS_SUCCESS;
  if (m_osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(u64Want)) != OS_STS_SUCCESS ||
      m_osfile.SetEndOfFile() != OS_STS_SUCCESS) {
    OsLog(OS_LOG_ERROR, "SetEndOfFile failed...");
    return OS_STS_FAIL;
  }
  const uint64_t u64Slots = u64Want / (m_u32SlotSize + 1);
  if (u64Slots < m_u64Slots) {
    std::memset(m_pcSlots + u64Slots * m_u32SlotSize, 0, (m_u64Slots - u64Slots) * m_u32SlotSize);
    m_u64Slots = u64Slots;
  }
  return OS_STS_SUCCESS;
}
