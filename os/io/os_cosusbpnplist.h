// The shared device list "pnp.list": one file that every process working
// with these scanners shares. Each process with a scanner session enters
// one XML description of its device in a slot; a process asks the list
// whether a device is present and whether another process uses it,
// collects the serial numbers of the listed devices, and notices flatbed
// units that came or went.
//
// The file is a row of slots: slot k holds L lock bytes at k * (S + L),
// then S bytes of NUL-terminated text. Slot 0 holds the header; an entry
// longer than a slot runs on through the following slots. A process holds
// the lock byte of every slot of its entry while the entry is valid, so an
// entry whose lock byte is free belongs to a process that is gone. The slot
// count is the file size divided by S + 1, as every user of the file counts.
// An entry goes into the first slots no live entry holds, and the slots
// behind the last live entry are cut off, so the file keeps to the entries
// in use however many come and go.
#pragma once

#include <time.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "os_cosfile.h"
#include "os_cosusb.h"
#include "os_def.h"

// What a failed construction throws.
struct OsUsbPnpListFailure {
  EOSSTS eossts;
};

class COsUsbPnpList {
 public:
  // Opens (or creates) the file. A non-empty entry text is added; without
  // one the list is read once. Throws OsUsbPnpListFailure on failure. The
  // third text is kept and not used.
  COsUsbPnpList(COsUsbDeviceLock* a_posusbdevicelock, const char* a_szEntry, const char* a_szUnused);
  ~COsUsbPnpList();
  COsUsbPnpList(const COsUsbPnpList&) = delete;
  COsUsbPnpList& operator=(const COsUsbPnpList&) = delete;

  // Enters one device description (in place of this object's earlier one).
  EOSSTS Add(const char* a_szEntry);
  // Takes this object's entry out of the file.
  EOSSTS Remove();
  // 0 listed and free, 4 listed and named as another entry's resource
  // device (or the file could not be locked or read), 257 not listed.
  EOSSTS IsResourceAvailable(const char* a_szDeviceFileName);
  // Whether a device of the query's wire, ids and serial number is listed:
  // 0 (the query copied into the result, marked found), 257, or 4.
  EOSSTS Find(OsUsbInfo* a_posusbinfoResult, const OsUsbInfo* a_posusbinfoQuery);
  // The serial numbers of the entries last read, each ended by a NUL, then
  // an empty text; 2 when they do not all fit.
  EOSSTS PnpGetSerialNumbers(char* a_szBuffer, size_t a_sizetBuffer);
  // The flatbed units added and removed since the last look, as a
  // "<pnpchange>" text; empty when nothing changed.
  EOSSTS Poll(char* a_szBuffer, size_t a_sizetBuffer);

  // Time-out of the whole-file lock; a negative value restores the default
  // (60 s, 6000 s while the configuration asks for debugging time-outs).
  static void SetFileLockTimeout(long a_lMilliseconds);
  // The path of the file (RootCommonDirectory plus "pnp.list").
  static bool GetPath(char* a_szPath, size_t a_sizetPath);

  static constexpr uint32_t s_u32SlotSize = 4096;
  static constexpr uint32_t s_u32LockSize = 8;
  static constexpr uint32_t s_u32Version = 1;

 private:
  EOSSTS Open();
  EOSSTS FileRead();
  EOSSTS FileReadHeader();
  EOSSTS FileCreateHeader(uint64_t a_u64Size);
  EOSSTS FileAddEntry(const char* a_szEntry);
  EOSSTS FileRemoveEntry();
  EOSSTS FileCompare(char* a_szReport, size_t a_sizetReport);
  EOSSTS FileLock();
  void FileUnlock();
  EOSSTS SlotLock(uint64_t a_u64Slot);
  void SlotUnlock(uint64_t a_u64Slot);
  EOSSTS SlotSetPointer(uint64_t a_u64Slot);
  EOSSTS SlotWrite(uint64_t a_u64Slot, const char* a_pcText, size_t a_sizetText);
  // The first run of that many slots that no live entry holds, their locks
  // taken; 0 when there is none.
  uint64_t TakeFreeSlots(uint64_t a_u64Need);
  // Cuts the slots behind the last one a live entry holds off the file.
  EOSSTS TrimFile();
  void FreeCopies();
  // Room for that many slots in both copies; 2 when memory runs out or the
  // copies would grow beyond what a sound file needs.
  EOSSTS Reserve(uint64_t a_u64Slots);
  bool IsOwnSlot(uint64_t a_u64Slot) const;
  // The entry starting in a slot of a copy ("" when the slot holds none).
  std::string Entry(const char* a_pcCopy, uint64_t a_u64Slot) const;
  // The file's change time in nanoseconds; false when it cannot be read.
  bool ModificationTime(int64_t* a_pi64Time);

  COsUsbDeviceLock* m_posusbdevicelock;
  COsFile m_osfile;
  char m_szPath[512] = {};
  std::string m_strUnused;
  bool m_blSkipWriteBack = true;  // abandoned slots are blanked in memory only
  char* m_pcSlots = nullptr;          // current copy of every slot's text
  char* m_pcSlotsPrevious = nullptr;  // the copy before the last read
  uint64_t m_u64Capacity = 0;         // slots both copies have room for
  uint64_t m_u64Slots = 0;
  uint64_t m_u64SlotsPrevious = 0;
  uint32_t m_u32Version = 0;
  uint32_t m_u32SlotSize = 0;  // 0 until the first read
  uint32_t m_u32LockSize = 0;
  uint64_t m_u64OwnSlot = 0;   // this object's entry: first slot and count
  uint64_t m_u64OwnSlots = 0;
  int64_t m_i64LastModified = 0;
  long m_lFileLockTimeout = 0;
};
