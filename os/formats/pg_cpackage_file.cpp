// The package file: Pack writes the version byte, the header table and the
// files' data; OpenPackage checks that every file's data lies where its
// header says, one after the other from 33793 to the end; Unpack writes the
// files back into the package's directory (never through a link there);
// GetPacket hands out the files of one destination piece by piece.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "os_cosfileimpl.h"
#include "os_coslog.h"
#include "os_cosmem.h"
#include "os_cosstring.h"
#include "pg_cpackage.h"
#include "pg_cpackagefields.h"

namespace {
constexpr uint8_t s_u8Version = 1;

// Reads a whole file into a heap block; 1 or a message's format.
const char* ReadWhole(const char* a_szPath, std::vector<uint8_t>* a_pvec) {
  COsFile osfile;
  uint64_t u64Size = 0;
  size_t sizetRead = 0;
  if (osfile.Open(a_szPath, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    return "Unable to open file: %s";
  }
  if (osfile.Size64(&u64Size) != OS_STS_SUCCESS) return "Unable to get file size: %s";
  try {
    a_pvec->assign(static_cast<size_t>(u64Size), 0);
  } catch (...) {
    return "Unable to allocate enough memory";
  }
  if (!a_pvec->empty() &&
      (osfile.Read(a_pvec->data(), a_pvec->size(), &sizetRead) != OS_STS_SUCCESS || sizetRead != a_pvec->size())) {
    return "Unable to read file: %s";
  }
  return nullptr;
}
}  // namespace

// The file of a header, in the package's directory.
bool CPackage::FilePath(uint32_t a_u32File, char* a_szPath, size_t a_sizetPath) const {
  const char* szSlash = std::strrchr(m_szPackage, '/');
  int iDirectory = szSlash ? static_cast<int>(szSlash - m_szPackage + 1) : 0;
  return COsString::SStrPrintf(a_szPath, a_sizetPath, "%.*s%s", iDirectory, m_szPackage,
                               PgText(Header(a_u32File), s_sizetPgName)) >= 0;
}

int CPackage::PackFile(COsFile* a_posfile, uint32_t a_u32File, uint64_t* a_pu64Offset) {
  char szPath[768];
  if (!FilePath(a_u32File, szPath, sizeof szPath)) return Fail("Pack", "Unable to open file: %s", szPath);
  std::vector<uint8_t> vecData;
  if (const char* szFormat = ReadWhole(szPath, &vecData)) return Fail("Pack", szFormat, szPath);
  if (!vecData.empty() && a_posfile->Write(vecData.data(), vecData.size()) != OS_STS_SUCCESS) {
    return Fail("Pack", "Unable to write to file: %s", m_szPackage);
  }
  uint8_t* pu8 = Header(a_u32File);
  OsFilePutU64(pu8 + s_sizetPgOffset, *a_pu64Offset);
  OsFilePutU64(pu8 + s_sizetPgSize, vecData.size());
  // Bytes 70 to 85 as far as the file has them, zero beyond.
  std::memset(pu8 + s_sizetPgModelData, 0, s_sizetPgModelDataLength);
  if (PgModelData(OsFileGetU64(Header(0) + s_sizetPgModel)) && vecData.size() > s_sizetPgModelDataFrom) {
    size_t sizetHave = vecData.size() - s_sizetPgModelDataFrom;
    std::memcpy(pu8 + s_sizetPgModelData, vecData.data() + s_sizetPgModelDataFrom,
                sizetHave < s_sizetPgModelDataLength ? sizetHave : s_sizetPgModelDataLength);
  }
  *a_pu64Offset += vecData.size();
  return PG_SUCCESS;
}

int CPackage::Pack() {
  if (!m_pau8Headers) return Fail("Pack", "No package");
  struct stat st;
  if (lstat(m_szPackage, &st) == 0 && !S_ISREG(st.st_mode)) return Fail("Pack", "Unable to open file: %s", m_szPackage);
  COsFile::Delete(m_szPackage, OS_FILETYPE_FILE, false);
  COsFile& osfile = m_osfilePackage;
  if (osfile.Open(m_szPackage, OS_FILEOPEN_CREATE, OS_FILEACCESS_WRITE, OS_FILESHARE_EXCLUSIVE) != OS_STS_SUCCESS) {
    return Fail("Pack", "Unable to open file: %s", m_szPackage);
  }
  int iResult = PG_SUCCESS;
  if (osfile.Write(&s_u8Version, 1) != OS_STS_SUCCESS || osfile.Write(m_pau8Headers, sizeof m_au8Table) != OS_STS_SUCCESS) {
    iResult = Fail("Pack", "Unable to write to file: %s", m_szPackage);
  }
  uint64_t u64Offset = s_u64Data;
  for (uint32_t u32File = 1; u32File <= m_u32Files && iResult == PG_SUCCESS; ++u32File) {
    iResult = PackFile(&osfile, u32File, &u64Offset);
  }
  // The table again, now with every file's offset and size.
  if (osfile.SetFilePointer64(OS_FILEPOINTER_BEGIN, 0) != OS_STS_SUCCESS || osfile.Write(&s_u8Version, 1) != OS_STS_SUCCESS ||
      osfile.Write(m_pau8Headers, sizeof m_au8Table) != OS_STS_SUCCESS) {
    if (iResult == PG_SUCCESS) iResult = Fail("Pack", "Unable to write to file: %s", m_szPackage);
  }
  osfile.Close();
  if (iResult != PG_SUCCESS) COsFile::Delete(m_szPackage, OS_FILETYPE_FILE, false);
  return iResult;
}

// The table of a package just read: texts terminated, names that stay in
// the directory, data contiguous from 33793 to the end of the file.
int CPackage::CheckPackage(uint64_t a_u64Size) {
  const uint8_t* pu8Package = Header(0);
  if (!PgTextTerminated(pu8Package, s_sizetPgPackageText, s_sizetPgTextLength) ||
      !PgTextTerminated(pu8Package, s_sizetPgPackageVersion, s_sizetPgVersionLength)) {
    return Fail("OpenPackage", "Corrupt package (header text): %s", m_szPackage);
  }
  m_u32Files = 0;
  uint64_t u64Offset = s_u64Data;
  for (uint32_t u32File = 1; u32File < s_sizetHeaders && Header(u32File)[0]; ++u32File) {
    const uint8_t* pu8 = Header(u32File);
    if (!PgTextTerminated(pu8, s_sizetPgName, s_sizetPgNameLength) || !PgSafeName(PgText(pu8, s_sizetPgName)) ||
        !PgTextTerminated(pu8, s_sizetPgText, s_sizetPgTextLength) ||
        !PgTextTerminated(pu8, s_sizetPgVersion, s_sizetPgVersionLength)) {
      return Fail("OpenPackage", "Corrupt package (header %u): %s", u32File, m_szPackage);
    }
    uint64_t u64Size = OsFileGetU64(pu8 + s_sizetPgSize);
    if (OsFileGetU64(pu8 + s_sizetPgOffset) != u64Offset || u64Size > a_u64Size - u64Offset) {
      return Fail("OpenPackage", "Corrupt package (data missing): %s", m_szPackage);
    }
    u64Offset += u64Size;
    m_u32Files = u32File;
  }
  if (u64Offset != a_u64Size) return Fail("OpenPackage", "Corrupt package (data missing): %s", m_szPackage);
  return PG_SUCCESS;
}

int CPackage::OpenPackage(const char* a_szPackage) {
  if (!a_szPackage) return Fail("OpenPackage", "Invalid Parameter");
  Close();
  if (COsString::SStrPrintf(m_szPackage, sizeof m_szPackage, "%s", a_szPackage) < 0 ||
      m_osfilePackage.Open(a_szPackage, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    Forget();
    return Fail("OpenPackage", "Unable to open file: %s", a_szPackage);
  }
  uint8_t u8Version = 0;
  uint64_t u64Size = 0;
  size_t sizetVersion = 0, sizetTable = 0;
  int iResult = PG_SUCCESS;
  if (m_osfilePackage.Size64(&u64Size) != OS_STS_SUCCESS || m_osfilePackage.Read(&u8Version, 1, &sizetVersion) != OS_STS_SUCCESS ||
      m_osfilePackage.Read(m_au8Table, sizeof m_au8Table, &sizetTable) != OS_STS_SUCCESS || sizetVersion != 1 ||
      sizetTable != sizeof m_au8Table) {
    iResult = Fail("OpenPackage", "Unable to read file: %s", a_szPackage);
  } else if (u8Version != s_u8Version) {
    iResult = Fail("OpenPackage", "Unsupported package version %u: %s", u8Version, a_szPackage);
  } else {
    m_pau8Headers = m_au8Table;
    iResult = CheckPackage(u64Size);
  }
  m_osfilePackage.Close();
  if (iResult != PG_SUCCESS) {
    Forget();
    return iResult;
  }
  m_u32Current = 1;
  return PG_SUCCESS;
}

// Before anything is written: no file may be written over the package
// while it is read, nor through a link in the directory (it is written to
// by others: a name there may lead anywhere).
int CPackage::CheckUnpack(int a_iDirFd) {
  for (uint32_t u32File = 1; u32File <= m_u32Files; ++u32File) {
    char szPath[768];
    if (!FilePath(u32File, szPath, sizeof szPath)) return Fail("Unpack", "Unable to open file: %s", szPath);
    if (COsFileImpl::SameFile(szPath, m_szPackage)) return Fail("Unpack", "Unable to open file: %s", szPath);
    struct stat st;
    const char* szName = PgText(Header(u32File), s_sizetPgName);
    if (fstatat(a_iDirFd, szName, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        (S_ISLNK(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink != 1))) {
      return Fail("Unpack", "Link refused: %s", szPath);
    }
  }
  return PG_SUCCESS;
}

int CPackage::UnpackFile(int a_iDirFd, uint32_t a_u32File) {
  char szPath[768];
  if (!FilePath(a_u32File, szPath, sizeof szPath)) return Fail("Unpack", "Unable to open file: %s", szPath);
  std::vector<uint8_t> vecData;
  size_t sizetRead = 0;
  try {
    vecData.assign(static_cast<size_t>(OsFileGetU64(Header(a_u32File) + s_sizetPgSize)), 0);
  } catch (...) {
    return Fail("Unpack", "Unable to allocate enough memory");
  }
  if (!vecData.empty() &&
      (m_osfilePackage.Read(vecData.data(), vecData.size(), &sizetRead) != OS_STS_SUCCESS || sizetRead != vecData.size())) {
    return Fail("Unpack", "Unable to read file: %s", m_szPackage);
  }
  int iFd = -1;
  EOSSTS eosstatus = COsFileImpl::CreateFileAt(a_iDirFd, PgText(Header(a_u32File), s_sizetPgName), false, &iFd);
  if (eosstatus == COsFileImpl::s_eosstsLink) return Fail("Unpack", "Link refused: %s", szPath);
  if (eosstatus != OS_STS_SUCCESS) return Fail("Unpack", "Unable to open file: %s", szPath);
  COsFileImpl::ApplyCreationMask(iFd, szPath);
  int iErrno = 0;
  bool blWritten = COsFileImpl::WriteAll(iFd, vecData.data(), vecData.size(), &iErrno) == vecData.size();
  close(iFd);
  if (!blWritten) return Fail("Unpack", "Unable to write to file: %s", szPath);
  return PG_SUCCESS;
}

int CPackage::Unpack() {
  if (!m_pau8Headers) return Fail("Unpack", "No package");
  // The package's directory, reached once; every file is made from it.
  char szDirectory[512];
  const char* szSlash = std::strrchr(m_szPackage, '/');
  const int iDirectory = szSlash ? static_cast<int>(szSlash - m_szPackage + 1) : 1;
  COsString::SStrPrintf(szDirectory, sizeof szDirectory, "%.*s", iDirectory, szSlash ? m_szPackage : ".");
  int iDirFd = open(szDirectory, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (iDirFd < 0) return Fail("Unpack", "Unable to open file: %s", szDirectory);
  int iResult = CheckUnpack(iDirFd);
  if (iResult == PG_SUCCESS && m_osfilePackage.Open(m_szPackage, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ,
                                                    OS_FILESHARE_READ) != OS_STS_SUCCESS) {
    iResult = Fail("Unpack", "Unable to open file: %s", m_szPackage);
  }
  if (iResult == PG_SUCCESS &&
      m_osfilePackage.SetFilePointer64(OS_FILEPOINTER_BEGIN, static_cast<int64_t>(s_u64Data)) != OS_STS_SUCCESS) {
    iResult = Fail("Unpack", "Unable to set file pointer: %s@%ld", m_szPackage, static_cast<long>(s_u64Data - 1));
  }
  for (uint32_t u32File = 1; u32File <= m_u32Files && iResult == PG_SUCCESS; ++u32File) {
    iResult = UnpackFile(iDirFd, u32File);
  }
  m_osfilePackage.Close();
  close(iDirFd);
  return iResult;
}

void CPackage::EndPass() {
  m_osfilePacket.Close();
  m_blNewPass = true;
  m_blNextFile = true;
}

// Moves to the next file of the destination; at the end of them the pass
// is complete (percentage 100).
int CPackage::StartPacketFile(EPGDESTINATION a_epgdestination, size_t* a_psizetRead, int* a_piPercent) {
  uint32_t u32File = m_u32PacketFile + 1;
  while (u32File <= m_u32Files && OsFileGetU32(Header(u32File) + s_sizetPgDestination) != a_epgdestination) ++u32File;
  if (u32File > m_u32Files) {
    *a_piPercent = 100;
    *a_psizetRead = 0;
    EndPass();
    return PG_SUCCESS;
  }
  m_u32PacketFile = u32File;
  m_u64PacketFileRead = 0;
  m_blNextFile = false;
  if (m_osfilePacket.SetFilePointer64(OS_FILEPOINTER_BEGIN,
                                      static_cast<int64_t>(OsFileGetU64(Header(u32File) + s_sizetPgOffset))) !=
      OS_STS_SUCCESS) {
    EndPass();
    return Fail("GetPacket", "Unable to set file pointer: %s", m_szPackage);
  }
  return PG_SUCCESS;
}

int CPackage::GetPacket(void* a_pvBuffer, size_t a_sizetBuffer, size_t* a_psizetRead, int* a_piPercent,
                        bool* a_pblEndOfFile, EPGDESTINATION a_epgdestination) {
  if (a_sizetBuffer == 0) {
    OsLogDebug(OS_LOG_INFO, "CPackage::GetPacket(): cancel request...");
    EndPass();
    return PG_SUCCESS;
  }
  if (!a_pvBuffer || !a_psizetRead || !a_piPercent || !a_pblEndOfFile) return Fail("GetPacket", "Invalid parameters");
  *a_psizetRead = 0;
  if (!m_pau8Headers) return Fail("GetPacket", "No package");
  if (m_blNewPass) {
    if (m_osfilePacket.Open(m_szPackage, OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_READ) != OS_STS_SUCCESS) {
      return Fail("GetPacket", "Unable to open file: %s", m_szPackage);
    }
    m_u64PacketTotal = 0;
    for (uint32_t u32File = 1; u32File <= m_u32Files; ++u32File) {
      if (OsFileGetU32(Header(u32File) + s_sizetPgDestination) == a_epgdestination) {
        m_u64PacketTotal += OsFileGetU64(Header(u32File) + s_sizetPgSize);
      }
    }
    m_u64PacketRead = 0;
    m_u32PacketFile = 0;
    m_blNewPass = false;
    m_blNextFile = true;
    *a_piPercent = 0;
    // Nothing to hand out: the pass is complete at once.
    if (m_u64PacketTotal == 0) {
      *a_piPercent = 100;
      *a_pblEndOfFile = true;
      EndPass();
      return PG_SUCCESS;
    }
  }
  if (m_blNextFile) {
    *a_pblEndOfFile = false;
    int iResult = StartPacketFile(a_epgdestination, a_psizetRead, a_piPercent);
    if (iResult != PG_SUCCESS || m_blNewPass) return iResult;
  }
  uint64_t u64Left = OsFileGetU64(Header(m_u32PacketFile) + s_sizetPgSize) - m_u64PacketFileRead;
  size_t sizetWanted = a_sizetBuffer < u64Left ? a_sizetBuffer : static_cast<size_t>(u64Left), sizetRead = 0;
  // The sizes were checked against the file when it was opened: less data
  // now means the package changed, and what is missing was never handed out.
  if (m_osfilePacket.Read(a_pvBuffer, sizetWanted, &sizetRead) != OS_STS_SUCCESS || sizetRead != sizetWanted) {
    EndPass();
    return Fail("GetPacket", "Unable to read file: %s", m_szPackage);
  }
  *a_psizetRead = sizetRead;
  m_u64PacketRead += sizetRead;
  m_u64PacketFileRead += sizetRead;
  *a_piPercent = static_cast<int>(m_u64PacketRead * 100 / m_u64PacketTotal);
  if (m_u64PacketFileRead >= OsFileGetU64(Header(m_u32PacketFile) + s_sizetPgSize)) {
    *a_pblEndOfFile = true;
    m_blNextFile = true;
  }
  if (*a_piPercent >= 100) {
    *a_piPercent = 100;
    EndPass();
  }
  return PG_SUCCESS;
}
