// A ring of variable-length records from one writer process to one reader
// process, kept in a file that both map. The file is a format shared between
// processes: an 88-byte header (version, created flag, total size, free
// bytes, write offset, read offset, a records-written count modulo 256, five
// spare bytes and a 64-byte user area), then the data area of records, each a
// 16-byte record header (payload length, bytes already read, eight zero
// bytes) and its payload rounded up to 8 bytes. Integers are little-endian
// and packed. Every change is made holding the lock on the file's first
// byte, which the other side may hold: such calls answer 4 (retry).
#pragma once

#include <cstdint>

#include "os_def.h"

// This side's decoded copy of the file header.
struct OsRingBufferHeader {
  uint8_t u8Version;
  uint8_t u8Created;
  int32_t i32TotalSize;
  int32_t i32FreeBytes;
  int32_t i32WriteOffset;  // 0 while no writer is attached
  int32_t i32ReadOffset;   // 0 while no reader is attached
  uint8_t u8RecordsWritten;
  uint8_t au8Unused[5];
  uint8_t au8UserArea[64];
};

// This side's decoded copy of one record header.
struct OsRingBufferRecord {
  int32_t i32Length;     // payload bytes; 0: no record here
  int32_t i32BytesRead;  // payload bytes the reader has taken
};

class COsRingBuffer {
 public:
  COsRingBuffer();
  ~COsRingBuffer();
  COsRingBuffer(const COsRingBuffer&) = delete;
  COsRingBuffer& operator=(const COsRingBuffer&) = delete;

  // Creates (or recreates) the file for a capacity of payload bytes and
  // attaches as the writer or the reader.
  EOSSTS Create(const char* a_szFilename, bool a_blWriter, int64_t a_i64Size);
  // Attaches to an existing file as the other side.
  EOSSTS Connect(const char* a_szFilename, bool a_blWriter);
  // Stores one record of up to a_i32Length bytes from a_pvData + a_i32Offset;
  // fewer when the ring has less room. 14: no room now.
  EOSSTS Write(const void* a_pvData, int32_t a_i32Offset, int32_t a_i32Length, int32_t* a_pi32Written);
  // Copies up to a_i32Length bytes of the current record to a_pvBuffer +
  // a_i32Offset; *a_pi32Remaining is what that record still holds. Never
  // mixes two records in one call. 14: nothing to read.
  EOSSTS Read(void* a_pvBuffer, int32_t a_i32Offset, int32_t a_i32Length, int32_t* a_pi32Read,
              int32_t* a_pi32Remaining);
  // Copy min(length, 64) bytes to or from the user area.
  EOSSTS UserAreaWrite(const void* a_pvData, int32_t a_i32Length, int32_t* a_pi32Written);
  EOSSTS UserAreaRead(void* a_pvBuffer, int32_t a_i32Length, int32_t* a_pi32Read);
  // The reader's unread bytes of the current record; 0 otherwise.
  int32_t AvailableBytes();
  // Gives up the mapping; the file stays.
  EOSSTS Close();

  static int32_t BufferOverhead();  // header and one record header: 104
  static int32_t UserAreaSize();    // 64
  static int32_t RoundUp(int32_t a_i32Value);

 private:
  EOSSTS Attach(const char* a_szFilename, bool a_blWriter, bool a_blCreate, int64_t a_i64Size);
  EOSSTS LocateRecord();
  EOSSTS UserAreaCopy(void* a_pvData, int32_t a_i32Length, int32_t* a_pi32Copied, bool a_blWrite);
  EOSSTS Lock();
  void Unlock();
  void Release();
  bool IsFileWhole() const;
  bool IsHeaderValid() const;
  bool IsDataHeaderValid() const;
  bool IsEmpty() const;
  bool LooksEmpty() const;
  int32_t DataAreaSize() const;
  int32_t Advance(int32_t a_i32Offset, int32_t a_i32Bytes) const;
  void CopyIn(int32_t a_i32Offset, const uint8_t* a_pu8Data, int32_t a_i32Length);
  void CopyOut(int32_t a_i32Offset, uint8_t* a_pu8Buffer, int32_t a_i32Length) const;
  void SkipTail(int32_t* a_pi32Offset, bool a_blReader);

  // Between the mapping and the private copies.
  void ReadRingBufferHeaderMemory();
  void WriteRingBufferHeaderMemory();
  void ReadRingBufferHeaderDataReader();
  void WriteRingBufferHeaderDataReader();
  void WriteRingBufferHeaderDataWriter();
  void InitRingBufferHeaderMemory();
  void InitRingBufferHeaderData();
  void ReadDataHeaderAt(int32_t a_i32Offset);
  void WriteDataHeaderAt(int32_t a_i32Offset);

  int32_t m_i32HeaderSize;
  int32_t m_i32DataHeaderSize;
  int32_t m_i32UserAreaSize;
  uint8_t* m_pu8Memory;      // null when closed
  int64_t m_i64MappedSize;   // bytes of the mapping
  bool m_blWriter;
  uint8_t m_u8RecordsRead;   // reader: records used up, modulo 256
  OsRingBufferHeader m_header;
  OsRingBufferRecord m_record;
};
