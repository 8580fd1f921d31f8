// The resource footer at the end of a file: 64 slots of 56 bytes (name of
// 32 bytes, offset and size as little-endian 64-bit numbers, 8 reserved
// bytes). Slot 63 holds the marker; entries fill slots 62 downward and their
// data lie back to back in that order between the file's own content and
// the footer.
//
// This unit stands alone (no log, no other service) so that the build's
// resource tool can share it with COsResource.
#pragma once

#include <cstddef>
#include <cstdint>

// One slot as it is kept in memory.
struct OsResourceSlot {
  char szName[32];
  uint64_t u64Offset;
  uint64_t u64Size;
};

// One change of an update: new data for a name, or removal (null data and size 0).
struct OsResourceChange {
  const char* szName;
  const void* pvData;
  uint64_t u64Size;
};

// What the end of a file holds.
enum EOSRESOURCEFOOTER : int {
  OS_RESOURCEFOOTER_VALID = 0,
  OS_RESOURCEFOOTER_NONE = 1,     // no marker (also a file shorter than a footer)
  OS_RESOURCEFOOTER_INVALID = 2,  // a marker, but a name without terminator or data outside the data area
  OS_RESOURCEFOOTER_IOERROR = 3,  // the footer could not be read
};

class COsResourceFooter {
 public:
  static constexpr int s_iSlots = 64;
  static constexpr int s_iMarkerSlot = 63;
  static constexpr int s_iFirstSlot = 62;  // entries fill 62 downward; slot 0 is never used
  static constexpr int s_iMaxEntries = 62;
  static constexpr size_t s_sizetSlot = 56;
  static constexpr size_t s_sizetFooter = s_iSlots * s_sizetSlot;  // 3,584
  static constexpr size_t s_sizetName = 32;                        // with the terminator
  static constexpr const char* s_szMarker = "@!@pmx@!@";

  // Reads and checks the footer of an open file of the given size. When it
  // is valid: the slots and where the file's own content ends.
  static EOSRESOURCEFOOTER Read(int a_iFd, uint64_t a_u64FileSize, OsResourceSlot* a_paslot,
                                uint64_t* a_pu64ContentEnd);
  // The same on the footer's 3,584 bytes.
  static EOSRESOURCEFOOTER Decode(const unsigned char* a_pbFooter, uint64_t a_u64FileSize, OsResourceSlot* a_paslot,
                                  uint64_t* a_pu64ContentEnd);
  // The footer's bytes: the entries, zeros for the free slots, the marker.
  static void Encode(const OsResourceSlot* a_paslot, unsigned char* a_pbFooter);
  // The slot of a name among the entries (letter case ignored), or -1.
  static int Find(const OsResourceSlot* a_paslot, const char* a_szName);
  static int Count(const OsResourceSlot* a_paslot);

  // Applies the changes to the file: the new file is written beside it and
  // renamed over it, so the old one stays whole until the new one is; the
  // file's own content is copied unchanged. 0 on success (also when nothing
  // had to change); otherwise 1 and a message in a_szError.
  static int Update(const char* a_szPath, const OsResourceChange* a_posresourcechange, size_t a_sizetChanges,
                    char* a_szError, size_t a_sizetError);
};
