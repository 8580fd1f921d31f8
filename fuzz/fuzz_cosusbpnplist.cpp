// Fuzz target of the shared device list "pnp.list": the input is the file
// as another process (a peer of another version, a cut file, garbage) left
// it. Its last two bytes also pick which slots a "peer" keeps alive by
// holding their lock bytes through a file description of its own, how far
// the file reaches beyond its bytes (zeros, or a sparse file of many
// slots), the size of the entry this process enters, and how the file is
// damaged while the list is in use. The list is read, asked every question,
// given an entry, polled, and the entry removed. Checked on the way: slot 0
// (the header) is never written over, the slots a live peer holds keep
// their bytes, and an entry that was added is listed.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_root.h"
#include "os_cosmem.h"
#include "os_cosusbpnplist.h"

namespace {

void Check(bool a_bl) {
  if (!a_bl) __builtin_trap();
}

// Headers whose slots the target knows, so that the peer's slots lie where
// the list's do: the default one, and the small slots of a peer that fit
// an input.
struct Layout {
  uint64_t u64SlotSize;
  uint64_t u64LockSize;
  const char* szHeader;
};
const Layout s_alayout[] = {
    {4096, 8, "<header><version>1</version><slotsize>4096</slotsize><locksize>8</locksize></header>"},
    {512, 8, "<header><version>1</version><slotsize>512</slotsize><locksize>8</locksize></header>"},
    {1024, 16, "<header><version>2</version><slotsize>1024</slotsize><locksize>16</locksize></header>"},
};

// The layout of a file that starts with one of those headers; null for
// any other.
const Layout* LayoutOf(const uint8_t* a_pu8, size_t a_sizet) {
  for (const Layout& layout : s_alayout) {
    const size_t sizetEnd = layout.u64LockSize + std::strlen(layout.szHeader) + 1;
    if (a_sizet < sizetEnd || std::memcmp(a_pu8 + layout.u64LockSize, layout.szHeader, sizetEnd - layout.u64LockSize)) {
      continue;
    }
    bool blZeros = true;
    for (size_t sizet = 8; sizet < layout.u64LockSize; ++sizet) blZeros = blZeros && a_pu8[sizet] == 0;
    if (blZeros) return &layout;
  }
  return nullptr;
}

std::string s_strCommon;  // kept alive: the configuration store keeps the pointer

std::string ListPath() { return s_strCommon + "/pnp.list"; }

// The file's bytes in a range (fewer where the file ends).
std::string ReadRange(uint64_t a_u64Offset, size_t a_sizet) {
  std::string str(a_sizet, '\0');
  const int iFd = open(ListPath().c_str(), O_RDONLY);
  if (iFd < 0) return "";
  const ssize_t ssize = pread(iFd, str.data(), a_sizet, static_cast<off_t>(a_u64Offset));
  close(iFd);
  str.resize(ssize > 0 ? static_cast<size_t>(ssize) : 0);
  return str;
}

// Lock bytes held by "another process": an open file description of its own.
class Peer {
 public:
  Peer() : m_iFd(open(ListPath().c_str(), O_RDWR)) {}
  ~Peer() {
    if (m_iFd >= 0) close(m_iFd);
  }
  bool Hold(uint64_t a_u64Offset) {
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(a_u64Offset);
    fl.l_len = 1;
    return m_iFd >= 0 && fcntl(m_iFd, F_OFD_SETLK, &fl) == 0;
  }

 private:
  int m_iFd;
};

class DeviceLock : public COsUsbDeviceLock {
 public:
  EOSSTS Lock(long) override { return OS_STS_SUCCESS; }
  EOSSTS Unlock() override { return OS_STS_SUCCESS; }
};

std::string Entry(const std::string& a_strFile, size_t a_sizetPad) {
  return "<device><wire>usb</wire><model><![CDATA[MF]]></model><devicefriendlyname><![CDATA[MF]]>"
         "</devicefriendlyname><devicetype>flatbedintegrated</devicetype><devicefilename><![CDATA[" +
         a_strFile + "]]></devicefilename><serialnumber><![CDATA[SNF]]></serialnumber><directory><![CDATA[/d]]>" +
         "</directory><pad>" + std::string(a_sizetPad, 'p') + "</pad></device>";
}

// Every question of a list that is there.
void Ask(COsUsbPnpList& a_list) {
  a_list.IsResourceAvailable("/dev/a");
  a_list.IsResourceAvailable("");
  a_list.IsResourceAvailable(nullptr);
  OsUsbInfo osusbinfoQuery{}, osusbinfoResult{};
  osusbinfoQuery.eosusbwire = OS_USBWIRE_USB;
  osusbinfoQuery.u16Vid = 0x040a;
  osusbinfoQuery.u16Pid = 0x601d;
  std::strcpy(osusbinfoQuery.szSerialNumber, "SN1");
  a_list.Find(&osusbinfoResult, &osusbinfoQuery);
  osusbinfoQuery.eosusbwire = OS_USBWIRE_NET;
  a_list.Find(&osusbinfoQuery, &osusbinfoQuery);
  for (size_t sizet : {1, 17, 4096}) {
    std::vector<char> vec(sizet, 'x');
    if (a_list.PnpGetSerialNumbers(vec.data(), vec.size()) == OS_STS_SUCCESS) Check(vec.back() == '\0');
  }
  for (size_t sizet : {1, 64, 65536}) {
    std::vector<char> vec(sizet, 'x');
    a_list.Poll(vec.data(), vec.size());
    Check(std::memchr(vec.data(), '\0', vec.size()) != nullptr);
  }
}

std::unique_ptr<COsUsbPnpList> NewList(COsUsbDeviceLock* a_pdevicelock, const std::string& a_strEntry) {
  try {
    return std::make_unique<COsUsbPnpList>(a_pdevicelock, a_strEntry.empty() ? nullptr : a_strEntry.c_str(), nullptr);
  } catch (const OsUsbPnpListFailure& failure) {
    Check(failure.eossts != OS_STS_SUCCESS);
    return nullptr;
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzroot::Make("pnpfuzz");
  s_strCommon = fuzzroot::Path("rootcommon");
  std::filesystem::create_directories(s_strCommon);
  g_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_ROOTCOMMONDIRECTORY, s_strCommon.c_str());
  new COsMem(OS_MEM_METHOD_GLOBALALLOC, 1);
  COsUsbPnpList::SetFileLockTimeout(100);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* a_pu8Data, size_t a_sizetData) {
  fuzzroot::NextRun();
  const uint8_t u8Pick = a_sizetData ? a_pu8Data[a_sizetData - 1] : 0;
  const uint8_t u8Damage = a_sizetData > 1 ? a_pu8Data[a_sizetData - 2] : 0;
  const std::string strOriginal(reinterpret_cast<const char*>(a_pu8Data), a_sizetData);
  if (!fuzzroot::WriteFile(ListPath(), a_pu8Data, a_sizetData)) return 0;
  // How far the file reaches beyond its bytes: nothing, three slots of
  // zeros, a sparse file of many small slots (some beyond its end, as
  // they are counted), or one of a terabyte.
  static const uint64_t s_au64Reach[] = {0, 3 * 4097, 80 * 520, 1ULL << 40};
  const uint64_t u64Reach = s_au64Reach[(u8Pick >> 4) & 3];
  if (u64Reach && truncate(ListPath().c_str(), static_cast<off_t>(a_sizetData + u64Reach)) != 0) return 0;

  // A peer keeps slots 1 to 4 alive as the pick says, at the stride of
  // the header when the target knows it, else at the default one.
  const Layout* playout = LayoutOf(a_pu8Data, a_sizetData);
  const Layout& layout = playout ? *playout : s_alayout[0];
  const uint64_t u64Stride = layout.u64SlotSize + layout.u64LockSize;
  Peer peer;
  std::vector<uint64_t> vecHeld;
  for (uint64_t u64Slot = 1; u64Slot <= 4; ++u64Slot) {
    if ((u8Pick & (1u << (u64Slot - 1))) && peer.Hold(u64Slot * u64Stride)) vecHeld.push_back(u64Slot);
  }
  // What must not change: the header's bytes, and the held slots' texts
  // when the list's slots lie where the peer's do. A file blank where its
  // header belongs (behind the 8 least lock bytes, as far as the list looks
  // for it) is taken as new: it must get the default header.
  const size_t sizetHeader = a_sizetData < 8 + 511 ? a_sizetData : 8 + 511;
  bool blBlank = true;
  for (size_t sizet = 8; sizet < a_sizetData && sizet < 8 + 256 + 511; ++sizet) blBlank = blBlank && !a_pu8Data[sizet];
  // (Bytes beyond the end of the file read as the zeros they become when
  // the file grows.)
  auto heldText = [&](uint64_t a_u64Slot) {
    std::string str = ReadRange(a_u64Slot * u64Stride + layout.u64LockSize, layout.u64SlotSize);
    str.resize(layout.u64SlotSize, '\0');
    return str;
  };
  std::vector<std::string> vecHeldText;
  for (uint64_t u64Slot : vecHeld) vecHeldText.push_back(heldText(u64Slot));
  auto checkPeers = [&]() {
    if (blBlank) {
      const std::string strHeader = s_alayout[0].szHeader;
      Check(ReadRange(8, strHeader.size() + 1) == strHeader + '\0');
    } else if (sizetHeader) {
      Check(ReadRange(0, sizetHeader) == strOriginal.substr(0, sizetHeader));
    }
    if (!playout) return;
    for (size_t i = 0; i < vecHeld.size(); ++i) Check(heldText(vecHeld[i]) == vecHeldText[i]);
  };

  DeviceLock devicelock;
  // One slot, exactly one slot's text (it needs a second for its
  // terminator), several slots, or more than an entry may take.
  const size_t asizetPad[] = {0, layout.u64SlotSize - Entry("/dev/fuzz", 0).size(), 5000, 40 * 4096};
  const std::string strEntry = Entry("/dev/fuzz", asizetPad[u8Pick >> 6]);
  {
    std::unique_ptr<COsUsbPnpList> plistReader = NewList(&devicelock, "");
    if (plistReader) Ask(*plistReader);
    std::unique_ptr<COsUsbPnpList> plistOwn = NewList(&devicelock, strEntry);
    checkPeers();
    if (plistOwn) {
      std::unique_ptr<COsUsbPnpList> plistAsk = NewList(nullptr, "");
      if (plistAsk) Check(plistAsk->IsResourceAvailable("/dev/fuzz") != OS_STS_FILE_NOT_FOUND);
      if (plistReader) Ask(*plistReader);
      Ask(*plistOwn);
      checkPeers();
    }

    // Damage while the lists are open: the file cut short, or rewritten
    // whole with the input's bytes.
    if (u8Damage & 0x80) {
      if (truncate(ListPath().c_str(), static_cast<off_t>((u8Damage & 0x7f) * 131)) != 0) return 0;
    } else if (u8Damage & 0x40) {
      fuzzroot::WriteFile(ListPath(), a_pu8Data, a_sizetData);
    }
    if (plistReader) Ask(*plistReader);
    if (plistOwn) {
      Ask(*plistOwn);
      plistOwn->Add(Entry("/dev/again", u8Damage & 0x3f).c_str());
      plistOwn->Remove();
      plistOwn->Remove();
      Ask(*plistOwn);
      plistOwn->Add(strEntry.c_str());
    }
    std::unique_ptr<COsUsbPnpList> plistLate = NewList(&devicelock, Entry("/dev/late", 0));
    if (plistLate) Ask(*plistLate);
  }
  return 0;
}
