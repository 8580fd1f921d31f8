#include "os_cosringbuffer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "os_coslog.h"
#include "os_cosmem.h"

namespace {
constexpr int32_t kHeaderSize = 88;
constexpr int32_t kDataHeaderSize = 16;
constexpr int32_t kUserAreaSize = 64;
constexpr int32_t kMinimumPayload = 8;  // a write needs room for a header and this much

// Byte offsets of the header fields.
constexpr int kOffVersion = 0;
constexpr int kOffCreated = 1;
constexpr int kOffTotalSize = 2;
constexpr int kOffFreeBytes = 6;
constexpr int kOffWriteOffset = 10;
constexpr int kOffReadOffset = 14;
constexpr int kOffRecordsWritten = 18;
constexpr int kOffUnused = 19;
constexpr int kOffUserArea = 24;

// Byte offsets of the record-header fields.
constexpr int kOffLength = 0;
constexpr int kOffBytesRead = 4;

// The file is shared with other programs: little-endian whatever the host.
int32_t Get32(const uint8_t* a_pu8) {
  return static_cast<int32_t>(static_cast<uint32_t>(a_pu8[0]) | static_cast<uint32_t>(a_pu8[1]) << 8 |
                              static_cast<uint32_t>(a_pu8[2]) << 16 | static_cast<uint32_t>(a_pu8[3]) << 24);
}

void Put32(uint8_t* a_pu8, int32_t a_i32Value) {
  uint32_t u32 = static_cast<uint32_t>(a_i32Value);
  a_pu8[0] = static_cast<uint8_t>(u32);
  a_pu8[1] = static_cast<uint8_t>(u32 >> 8);
  a_pu8[2] = static_cast<uint8_t>(u32 >> 16);
  a_pu8[3] = static_cast<uint8_t>(u32 >> 24);
}

int64_t RoundUp64(int64_t a_i64Value) { return (a_i64Value + 7) & ~static_cast<int64_t>(7); }

// The ring carries tasks and replies: this user's only. A creator makes a
// new file, so that nobody holds the old one open and a link at the name is
// replaced rather than followed.
bool MakePrivateFile(const char* a_szFilename) {
  if (unlink(a_szFilename) != 0 && errno != ENOENT) return false;
  int iFd = open(a_szFilename, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (iFd < 0) return false;
  close(iFd);
  return true;
}
}  // namespace

COsRingBuffer::COsRingBuffer()
    : m_i32HeaderSize(kHeaderSize),
      m_i32DataHeaderSize(kDataHeaderSize),
      m_i32UserAreaSize(kUserAreaSize),
      m_pu8Memory(nullptr),
      m_i64MappedSize(0),
      m_blWriter(false),
      m_u8RecordsRead(0) {
  InitRingBufferHeaderMemory();
  InitRingBufferHeaderData();
}

COsRingBuffer::~COsRingBuffer() { Close(); }

int32_t COsRingBuffer::BufferOverhead() { return kHeaderSize + kDataHeaderSize; }

int32_t COsRingBuffer::UserAreaSize() { return kUserAreaSize; }

int32_t COsRingBuffer::RoundUp(int32_t a_i32Value) { return static_cast<int32_t>(RoundUp64(a_i32Value)); }

EOSSTS COsRingBuffer::Create(const char* a_szFilename, bool a_blWriter, int64_t a_i64Size) {
  return Attach(a_szFilename, a_blWriter, true, a_i64Size);
}

EOSSTS COsRingBuffer::Connect(const char* a_szFilename, bool a_blWriter) {
  return Attach(a_szFilename, a_blWriter, false, 0);
}

// Create and Connect: map the file, then, under the lock, write a fresh
// header or check the one there, and take this side's offset.
EOSSTS COsRingBuffer::Attach(const char* a_szFilename, bool a_blWriter, bool a_blCreate, int64_t a_i64Size) {
  if (m_pu8Memory || !a_szFilename || !*a_szFilename) {
    OsLog(OS_LOG_ERROR, "memory already created or connected to");
    return OS_STS_FAIL;
  }
  int64_t i64Total = 0;
  if (a_blCreate) {
    // The file size must fit the format's 32-bit fields.
    if (a_i64Size < 1) {
      OsLog(OS_LOG_ERROR, "requested size too small...%lld", static_cast<long long>(a_i64Size));
      return OS_STS_FAIL;
    }
    if (RoundUp64(a_i64Size) > INT32_MAX - BufferOverhead()) {
      OsLog(OS_LOG_ERROR, "requested size too large");
      return OS_STS_FAIL;
    }
    i64Total = RoundUp64(a_i64Size) + BufferOverhead();
  }
  void* pvMemory = nullptr;
  if (g_posmem && (!a_blCreate || MakePrivateFile(a_szFilename))) {
    pvMemory = a_blCreate ? g_posmem->SharedAlloc(OS_SHAREDALLOC_CREATE, a_szFilename, i64Total, 0, i64Total,
                                                  OS_SHAREDLOCK_NOW, 0, __FILE__, __LINE__)
                          : g_posmem->SharedAlloc(OS_SHAREDALLOC_OPEN, a_szFilename, 0, 0, -1, OS_SHAREDLOCK_NONE, 0,
                                                  __FILE__, __LINE__);
  }
  if (!pvMemory) {
    OsLog(OS_LOG_ERROR, a_blCreate ? "unable to create the memory" : "unable to map view of file");
    return OS_STS_FAIL;
  }
  // Opening gives the file the configured mode for new files: take it back.
  if (!a_blCreate) chmod(a_szFilename, 0600);
  m_pu8Memory = static_cast<uint8_t*>(pvMemory);
  m_blWriter = a_blWriter;
  m_u8RecordsRead = 0;
  if (!a_blCreate) {
    OsMemSettings osmemsettings;
    i64Total = g_posmem->GetSettings(pvMemory, &osmemsettings, true) == OS_STS_SUCCESS
                   ? static_cast<int64_t>(osmemsettings.u64View)
                   : 0;
    if (i64Total < BufferOverhead() || i64Total > INT32_MAX) {
      OsLog(OS_LOG_ERROR, "memory size not valid...%lld", static_cast<long long>(i64Total));
      Release();
      return OS_STS_FAIL;
    }
  }
  m_i64MappedSize = i64Total;
  // A creator asked for the lock with the mapping; another process may hold it.
  EOSSTS eossts = a_blCreate ? (g_posmem->SharedTestLock(pvMemory, __FILE__, __LINE__) == OS_STS_LOCKED
                                    ? OS_STS_SUCCESS
                                    : OS_STS_BUSY)
                             : Lock();
  if (eossts != OS_STS_SUCCESS) {
    if (eossts == OS_STS_BUSY) OsLogDebug(OS_LOG_INFO, "memory is currently locked, need to retry");
    Release();
    return eossts;
  }
  const char* szRefusal = nullptr;
  if (a_blCreate) {
    InitRingBufferHeaderMemory();
    m_header.u8Version = 1;
    m_header.u8Created = 1;
    m_header.i32TotalSize = static_cast<int32_t>(i64Total);
    m_header.i32FreeBytes = static_cast<int32_t>(i64Total) - kHeaderSize;
  } else {
    ReadRingBufferHeaderMemory();
    if (m_header.u8Version != 1) {
      szRefusal = "version number not compatible";
    } else if (!IsHeaderValid()) {
      szRefusal = "memory header not valid";
    } else if (a_blWriter && m_header.i32WriteOffset != 0) {
      szRefusal = "writer process is already in use";
    } else if (!a_blWriter && m_header.i32ReadOffset != 0) {
      szRefusal = "reader process is already in use";
    }
  }
  if (szRefusal) {
    Unlock();
    OsLog(OS_LOG_ERROR, "%s", szRefusal);
    Release();
    return OS_STS_FAIL;
  }
  (a_blWriter ? m_header.i32WriteOffset : m_header.i32ReadOffset) = kHeaderSize;
  WriteRingBufferHeaderMemory();
  Unlock();
  OsLogDebug(OS_LOG_INFO, "%s as a %s process", a_blCreate ? "created" : "connected", a_blWriter ? "writer" : "reader");
  return OS_STS_SUCCESS;
}

EOSSTS COsRingBuffer::Write(const void* a_pvData, int32_t a_i32Offset, int32_t a_i32Length, int32_t* a_pi32Written) {
  if (a_pi32Written) *a_pi32Written = 0;
  if (!m_pu8Memory || !m_blWriter || !a_pvData || a_i32Length <= 0 || a_i32Offset < 0) {
    OsLog(OS_LOG_ERROR, "memory not created/connected OR not setup as writer");
    return OS_STS_FAIL;
  }
  EOSSTS eossts = Lock();
  if (eossts != OS_STS_SUCCESS) return eossts;
  InitRingBufferHeaderData();
  ReadRingBufferHeaderMemory();
  if (!IsHeaderValid() || m_header.i32WriteOffset < kHeaderSize) {
    Unlock();
    OsLog(OS_LOG_ERROR, "memory header not valid");
    return OS_STS_FAIL;
  }
  SkipTail(&m_header.i32WriteOffset, false);
  if (m_header.i32FreeBytes < kDataHeaderSize + kMinimumPayload) {
    int32_t i32Free = m_header.i32FreeBytes;
    Unlock();
    OsLogDebug(OS_LOG_INFO, "not enough free space, need to retry...%d < (%d + %d)", i32Free, kDataHeaderSize,
               kMinimumPayload);
    return OS_STS_NO_ROOM;
  }
  int32_t i32Length = a_i32Length < m_header.i32FreeBytes - kDataHeaderSize ? a_i32Length
                                                                            : m_header.i32FreeBytes - kDataHeaderSize;
  int32_t i32Offset = m_header.i32WriteOffset;
  CopyIn(Advance(i32Offset, kDataHeaderSize), static_cast<const uint8_t*>(a_pvData) + a_i32Offset, i32Length);
  m_record.i32Length = i32Length;
  m_record.i32BytesRead = 0;
  WriteRingBufferHeaderDataWriter();
  int32_t i32Used = kDataHeaderSize + RoundUp(i32Length);
  m_header.i32FreeBytes -= i32Used;
  m_header.u8RecordsWritten = static_cast<uint8_t>(m_header.u8RecordsWritten + 1);
  m_header.i32WriteOffset = Advance(i32Offset, i32Used);
  WriteRingBufferHeaderMemory();
  Unlock();
  if (a_pi32Written) *a_pi32Written = i32Length;
  OsLogDebug(OS_LOG_INFO, "wrote %d bytes to memory", i32Length);
  return OS_STS_SUCCESS;
}

EOSSTS COsRingBuffer::Read(void* a_pvBuffer, int32_t a_i32Offset, int32_t a_i32Length, int32_t* a_pi32Read,
                           int32_t* a_pi32Remaining) {
  if (a_pi32Read) *a_pi32Read = 0;
  if (a_pi32Remaining) *a_pi32Remaining = 0;
  if (!m_pu8Memory || m_blWriter || !a_pvBuffer || a_i32Length <= 0 || a_i32Offset < 0) {
    OsLog(OS_LOG_ERROR, "memory not created/connected OR not setup as reader");
    return OS_STS_FAIL;
  }
  // The first look below touches the mapping too.
  if (!IsFileWhole()) return OS_STS_FAIL;
  // A first look without the lock spares the lock while nothing is there.
  // It may only answer "empty" too early (the writer wakes the reader after
  // every record). It looks at the offsets and the free count: the
  // records-written byte wraps at 256, so equal to our own count it means an
  // empty ring and 256 unread records alike. The locked test decides.
  if (LooksEmpty()) {
    OsLogDebug(OS_LOG_INFO, "no data to read");
    return OS_STS_NO_ROOM;
  }
  EOSSTS eossts = Lock();
  if (eossts != OS_STS_SUCCESS) return eossts;
  eossts = LocateRecord();
  if (eossts != OS_STS_SUCCESS) {
    Unlock();
    return eossts;
  }
  int32_t i32Left = m_record.i32Length - m_record.i32BytesRead;
  int32_t i32Length = a_i32Length < i32Left ? a_i32Length : i32Left;
  int32_t i32Offset = m_header.i32ReadOffset;
  CopyOut(Advance(Advance(i32Offset, kDataHeaderSize), m_record.i32BytesRead),
          static_cast<uint8_t*>(a_pvBuffer) + a_i32Offset, i32Length);
  m_record.i32BytesRead += i32Length;
  int32_t i32Remaining = m_record.i32Length - m_record.i32BytesRead;
  if (i32Remaining == 0) {
    // Used up: free what the record itself occupies.
    int32_t i32Used = kDataHeaderSize + RoundUp(m_record.i32Length);
    InitRingBufferHeaderData();
    WriteRingBufferHeaderDataReader();
    m_header.i32FreeBytes += i32Used;
    m_header.i32ReadOffset = Advance(i32Offset, i32Used);
    WriteRingBufferHeaderMemory();
    m_u8RecordsRead = static_cast<uint8_t>(m_u8RecordsRead + 1);
  } else {
    WriteRingBufferHeaderDataReader();
  }
  Unlock();
  if (a_pi32Read) *a_pi32Read = i32Length;
  if (a_pi32Remaining) *a_pi32Remaining = i32Remaining;
  OsLogDebug(OS_LOG_INFO, "read %d bytes from memory", i32Length);
  return OS_STS_SUCCESS;
}

// With the lock held: reads the header and the record the reader is at.
// 0 with the record in m_record, 14 when there is none, 1 for a header
// that does not hold together.
EOSSTS COsRingBuffer::LocateRecord() {
  InitRingBufferHeaderData();
  ReadRingBufferHeaderMemory();
  if (!IsHeaderValid() || m_header.i32ReadOffset < kHeaderSize) {
    OsLog(OS_LOG_ERROR, "memory header not valid");
    return OS_STS_FAIL;
  }
  // Emptiness is judged before skipping a short tail: an empty ring whose
  // offsets both stand in the tail has no record at the start of the data
  // area, only stale bytes.
  if (IsEmpty()) {
    OsLogDebug(OS_LOG_INFO, "no data to read");
    return OS_STS_NO_ROOM;
  }
  SkipTail(&m_header.i32ReadOffset, true);
  ReadRingBufferHeaderDataReader();
  if (m_record.i32Length == 0) {
    OsLogDebug(OS_LOG_INFO, "no data to read");
    return OS_STS_NO_ROOM;
  }
  if (!IsDataHeaderValid()) {
    OsLog(OS_LOG_ERROR, "record header not valid...%d %d", m_record.i32Length, m_record.i32BytesRead);
    return OS_STS_FAIL;
  }
  return OS_STS_SUCCESS;
}

EOSSTS COsRingBuffer::UserAreaWrite(const void* a_pvData, int32_t a_i32Length, int32_t* a_pi32Written) {
  return UserAreaCopy(const_cast<void*>(a_pvData), a_i32Length, a_pi32Written, true);
}

EOSSTS COsRingBuffer::UserAreaRead(void* a_pvBuffer, int32_t a_i32Length, int32_t* a_pi32Read) {
  return UserAreaCopy(a_pvBuffer, a_i32Length, a_pi32Read, false);
}

EOSSTS COsRingBuffer::UserAreaCopy(void* a_pvData, int32_t a_i32Length, int32_t* a_pi32Copied, bool a_blWrite) {
  if (a_pi32Copied) *a_pi32Copied = 0;
  if (!m_pu8Memory) {
    OsLog(OS_LOG_ERROR, "memory not created/connected");
    return OS_STS_FAIL;
  }
  if (!a_pvData || a_i32Length <= 0) {
    OsLog(OS_LOG_ERROR, "bad argument...%p %d", a_pvData, a_i32Length);
    return OS_STS_FAIL;
  }
  EOSSTS eossts = Lock();
  if (eossts != OS_STS_SUCCESS) return eossts;
  ReadRingBufferHeaderMemory();
  int32_t i32Length = a_i32Length < kUserAreaSize ? a_i32Length : kUserAreaSize;
  if (a_blWrite) {
    std::memcpy(m_header.au8UserArea, a_pvData, static_cast<size_t>(i32Length));
    WriteRingBufferHeaderMemory();
  } else {
    std::memcpy(a_pvData, m_header.au8UserArea, static_cast<size_t>(i32Length));
  }
  Unlock();
  if (a_pi32Copied) *a_pi32Copied = i32Length;
  if (a_blWrite)
    OsLogDebug(OS_LOG_INFO, "wrote %d bytes to user area", i32Length);
  else
    OsLogDebug(OS_LOG_INFO, "read %d bytes from user data", i32Length);
  return OS_STS_SUCCESS;
}

int32_t COsRingBuffer::AvailableBytes() {
  if (!m_pu8Memory || m_blWriter || Lock() != OS_STS_SUCCESS) return 0;
  int32_t i32Available = LocateRecord() == OS_STS_SUCCESS ? m_record.i32Length - m_record.i32BytesRead : 0;
  Unlock();
  return i32Available;
}

EOSSTS COsRingBuffer::Close() {
  Release();
  InitRingBufferHeaderMemory();
  InitRingBufferHeaderData();
  return OS_STS_SUCCESS;
}

void COsRingBuffer::Release() {
  // Releasing the mapping also gives up the lock when it is held.
  if (m_pu8Memory && g_posmem) g_posmem->Free(m_pu8Memory, __FILE__, __LINE__);
  m_pu8Memory = nullptr;
  m_i64MappedSize = 0;
}

// 0 with the lock held, 4 when the other process holds it, 1 otherwise
// (also for a file cut short under the mapping).
EOSSTS COsRingBuffer::Lock() {
  EOSSTS eossts = g_posmem ? g_posmem->SharedLock(m_pu8Memory, __FILE__, __LINE__) : OS_STS_FAIL;
  if (eossts == OS_STS_LOCKED) {
    if (IsFileWhole()) return OS_STS_SUCCESS;
    Unlock();
    return OS_STS_FAIL;
  }
  if (eossts == OS_STS_NOT_LOCKED) {
    OsLogDebug(OS_LOG_INFO, "memory is currently locked, need to retry");
    return OS_STS_BUSY;
  }
  return OS_STS_FAIL;
}

void COsRingBuffer::Unlock() {
  if (g_posmem) g_posmem->SharedUnlock(m_pu8Memory, __FILE__, __LINE__);
}

// The peer may cut the file short: the mapping beyond the file's end must
// not be touched (the system would end the process).
bool COsRingBuffer::IsFileWhole() const {
  OsMemSettings osmemsettings{};
  if (g_posmem && g_posmem->GetSettings(m_pu8Memory, &osmemsettings, true) == OS_STS_SUCCESS &&
      osmemsettings.i64FileSize >= m_i64MappedSize)
    return true;
  OsLog(OS_LOG_ERROR, "memory size not valid...%lld", static_cast<long long>(osmemsettings.i64FileSize));
  return false;
}

int32_t COsRingBuffer::DataAreaSize() const { return m_header.i32TotalSize - kHeaderSize; }

// The header must describe this very file with offsets on record
// boundaries: a peer's bad header must not send a copy outside the mapping.
bool COsRingBuffer::IsHeaderValid() const {
  auto blOffsetValid = [this](int32_t a_i32Offset) {
    return a_i32Offset == 0 || (a_i32Offset >= kHeaderSize && a_i32Offset < m_header.i32TotalSize &&
                                (a_i32Offset - kHeaderSize) % 8 == 0);
  };
  return m_header.u8Version == 1 && m_header.i32TotalSize == m_i64MappedSize &&
         m_header.i32TotalSize >= BufferOverhead() && DataAreaSize() % 8 == 0 && m_header.i32FreeBytes >= 0 &&
         m_header.i32FreeBytes <= DataAreaSize() && m_header.i32FreeBytes % 8 == 0 &&
         blOffsetValid(m_header.i32WriteOffset) && blOffsetValid(m_header.i32ReadOffset);
}

// A present record lies within the bytes that records occupy.
bool COsRingBuffer::IsDataHeaderValid() const {
  int64_t i64Occupied = static_cast<int64_t>(DataAreaSize()) - m_header.i32FreeBytes;
  return m_record.i32Length > 0 && m_record.i32BytesRead >= 0 && m_record.i32BytesRead < m_record.i32Length &&
         kDataHeaderSize + RoundUp64(m_record.i32Length) <= i64Occupied;
}

// Both offsets and the free count as they stand, without the lock.
bool COsRingBuffer::LooksEmpty() const {
  uint8_t au8[kOffRecordsWritten];
  for (int i = 0; i < kOffRecordsWritten; ++i) au8[i] = __atomic_load_n(m_pu8Memory + i, __ATOMIC_RELAXED);
  // The peer's total may be any number: no arithmetic in 32 bits.
  int64_t i64Data = static_cast<int64_t>(Get32(au8 + kOffTotalSize)) - kHeaderSize;
  return Get32(au8 + kOffReadOffset) == Get32(au8 + kOffWriteOffset) && Get32(au8 + kOffFreeBytes) == i64Data;
}

bool COsRingBuffer::IsEmpty() const {
  return m_header.i32ReadOffset == m_header.i32WriteOffset && m_header.i32FreeBytes >= DataAreaSize();
}

// The offset a_i32Bytes after a_i32Offset, continuing at the start of the
// data area past the end of the file.
int32_t COsRingBuffer::Advance(int32_t a_i32Offset, int32_t a_i32Bytes) const {
  int64_t i64Offset = static_cast<int64_t>(a_i32Offset) + a_i32Bytes;
  if (i64Offset >= m_header.i32TotalSize) i64Offset = kHeaderSize + (i64Offset - m_header.i32TotalSize);
  return static_cast<int32_t>(i64Offset);
}

// A record header never wraps: a tail too short for one is skipped, and
// counts as used from the writer's skip until the reader's.
void COsRingBuffer::SkipTail(int32_t* a_pi32Offset, bool a_blReader) {
  // In 64 bits: the last offset of the largest file is near INT32_MAX.
  if (static_cast<int64_t>(*a_pi32Offset) + kDataHeaderSize <= m_header.i32TotalSize) return;
  int32_t i32Tail = m_header.i32TotalSize - *a_pi32Offset;
  m_header.i32FreeBytes += a_blReader ? i32Tail : -i32Tail;
  *a_pi32Offset = kHeaderSize;
}

void COsRingBuffer::CopyIn(int32_t a_i32Offset, const uint8_t* a_pu8Data, int32_t a_i32Length) {
  int32_t i32First = m_header.i32TotalSize - a_i32Offset;
  if (i32First > a_i32Length) i32First = a_i32Length;
  std::memcpy(m_pu8Memory + a_i32Offset, a_pu8Data, static_cast<size_t>(i32First));
  std::memcpy(m_pu8Memory + kHeaderSize, a_pu8Data + i32First, static_cast<size_t>(a_i32Length - i32First));
}

void COsRingBuffer::CopyOut(int32_t a_i32Offset, uint8_t* a_pu8Buffer, int32_t a_i32Length) const {
  int32_t i32First = m_header.i32TotalSize - a_i32Offset;
  if (i32First > a_i32Length) i32First = a_i32Length;
  std::memcpy(a_pu8Buffer, m_pu8Memory + a_i32Offset, static_cast<size_t>(i32First));
  std::memcpy(a_pu8Buffer + i32First, m_pu8Memory + kHeaderSize, static_cast<size_t>(a_i32Length - i32First));
}

void COsRingBuffer::ReadRingBufferHeaderMemory() {
  const uint8_t* pu8 = m_pu8Memory;
  m_header.u8Version = pu8[kOffVersion];
  m_header.u8Created = pu8[kOffCreated];
  m_header.i32TotalSize = Get32(pu8 + kOffTotalSize);
  m_header.i32FreeBytes = Get32(pu8 + kOffFreeBytes);
  m_header.i32WriteOffset = Get32(pu8 + kOffWriteOffset);
  m_header.i32ReadOffset = Get32(pu8 + kOffReadOffset);
  m_header.u8RecordsWritten = pu8[kOffRecordsWritten];
  std::memcpy(m_header.au8Unused, pu8 + kOffUnused, sizeof m_header.au8Unused);
  std::memcpy(m_header.au8UserArea, pu8 + kOffUserArea, sizeof m_header.au8UserArea);
}

void COsRingBuffer::WriteRingBufferHeaderMemory() {
  uint8_t* pu8 = m_pu8Memory;
  pu8[kOffVersion] = m_header.u8Version;
  pu8[kOffCreated] = m_header.u8Created;
  Put32(pu8 + kOffTotalSize, m_header.i32TotalSize);
  Put32(pu8 + kOffFreeBytes, m_header.i32FreeBytes);
  Put32(pu8 + kOffWriteOffset, m_header.i32WriteOffset);
  Put32(pu8 + kOffReadOffset, m_header.i32ReadOffset);
  pu8[kOffRecordsWritten] = m_header.u8RecordsWritten;
  std::memcpy(pu8 + kOffUnused, m_header.au8Unused, sizeof m_header.au8Unused);
  std::memcpy(pu8 + kOffUserArea, m_header.au8UserArea, sizeof m_header.au8UserArea);
}

void COsRingBuffer::ReadRingBufferHeaderDataReader() { ReadDataHeaderAt(m_header.i32ReadOffset); }

void COsRingBuffer::WriteRingBufferHeaderDataReader() { WriteDataHeaderAt(m_header.i32ReadOffset); }

void COsRingBuffer::WriteRingBufferHeaderDataWriter() { WriteDataHeaderAt(m_header.i32WriteOffset); }

void COsRingBuffer::ReadDataHeaderAt(int32_t a_i32Offset) {
  m_record.i32Length = Get32(m_pu8Memory + a_i32Offset + kOffLength);
  m_record.i32BytesRead = Get32(m_pu8Memory + a_i32Offset + kOffBytesRead);
}

void COsRingBuffer::WriteDataHeaderAt(int32_t a_i32Offset) {
  uint8_t* pu8 = m_pu8Memory + a_i32Offset;
  Put32(pu8 + kOffLength, m_record.i32Length);
  Put32(pu8 + kOffBytesRead, m_record.i32BytesRead);
  std::memset(pu8 + 8, 0, kDataHeaderSize - 8);
}

void COsRingBuffer::InitRingBufferHeaderMemory() { std::memset(&m_header, 0, sizeof m_header); }

void COsRingBuffer::InitRingBufferHeaderData() { std::memset(&m_record, 0, sizeof m_record); }
