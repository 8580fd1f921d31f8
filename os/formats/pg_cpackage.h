// The table and firmware package: one file carrying the colour tables,
// gamma tables, firmware, language files or colour-dropout data of a
// scanner model behind a fixed table of 128 headers. A ".script" text names
// the files; Pack builds the package from it, OpenPackage checks a package,
// Unpack writes its files out, and Get, FileFirst/FileNext and GetPacket hand
// out header fields and data. Every operation answers 1 (success) or 2
// (failure) and keeps its last message for the caller.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_cosfile.h"

enum EPGTYPE : uint32_t {
  PG_TYPE_COLORTABLE = 1,
  PG_TYPE_FIRMWARE = 2,
  PG_TYPE_GAMMATABLE = 3,
  PG_TYPE_INFO = 4,
  PG_TYPE_LANGUAGE = 5,
  PG_TYPE_MISCELLANEOUS = 6,
  PG_TYPE_REBOOT = 7,
  PG_TYPE_GAMMA = 8,
  PG_TYPE_COLOR_YCC = 9,
  PG_TYPE_COLOR_CC = 10,
  PG_TYPE_ECDO = 11,
  PG_TYPE_MCDO = 12,
};

enum EPGDESTINATION : uint32_t {
  PG_DESTINATION_NEXIL = 1,  // the image library
  PG_DESTINATION_NONE = 2,
  PG_DESTINATION_SCANNER = 3,
};

// What Get hands out: the current file's data and header fields, the last
// message, and the package's own fields.
enum EPGFIELD : int {
  PG_FIELD_DATA = 1,
  PG_FIELD_MODELDATA = 2,  // bytes 70 to 85 of the file, as recorded in its header
  PG_FIELD_DESCRIPTION = 3,
  PG_FIELD_DESTINATION = 4,
  PG_FIELD_NAME = 5,
  PG_FIELD_SIZE = 6,
  PG_FIELD_TYPE = 7,
  PG_FIELD_VERSION = 8,
  PG_FIELD_MESSAGE = 9,
  PG_FIELD_PACKAGEMODEL = 10,
  PG_FIELD_PACKAGEDESCRIPTION = 11,
  PG_FIELD_PACKAGETYPE = 12,
  PG_FIELD_PACKAGEVERSION = 13,
};

constexpr int PG_SUCCESS = 1;
constexpr int PG_FAIL = 2;

class CPackage {
 public:
  static constexpr size_t s_sizetHeaders = 128;
  static constexpr size_t s_sizetHeader = 264;
  static constexpr uint64_t s_u64Data = 1 + s_sizetHeaders * s_sizetHeader;  // 33793

  CPackage();
  ~CPackage();
  CPackage(const CPackage&) = delete;
  CPackage& operator=(const CPackage&) = delete;

  // A ".script" (any case) is read as a script; any other file is taken as
  // one firmware file to pack for testing.
  int OpenFile(const char* a_szPath);
  int OpenScript(const char* a_szScript);
  int Pack();
  int OpenPackage(const char* a_szPackage);
  int Unpack();
  int FileFirst();
  int FileNext();
  // Texts and numbers (decimal) are cut to the buffer and always terminated;
  // data and the model bytes fill at most the buffer.
  int Get(EPGFIELD a_epgfield, void* a_pvBuffer, size_t a_sizetBuffer);
  int Set(EPGFIELD a_epgfield, const char* a_szText);  // not supported: 2
  // The next piece of the files of one destination with the percentage of
  // them handed out so far; a size of 0 ends the pass.
  int GetPacket(void* a_pvBuffer, size_t a_sizetBuffer, size_t* a_psizetRead, int* a_piPercent, bool* a_pblEndOfFile,
                EPGDESTINATION a_epgdestination);
  int Close();
  // "dir\" or "dir" gives "dir\<last part of dir>".
  static int BaseNameFromDir(const char* a_szDirectory, char* a_szPath, size_t a_sizetPath);

 private:
  int Fail(const char* a_szOperation, const char* a_szFormat, ...) __attribute__((format(printf, 3, 4)));
  int ParseScriptData(const char* a_szScript, size_t a_sizetScript);
  int ParseLine(long a_lLine, char* a_szLine, long* a_plSection, long* a_plFiles);
  int CheckScript(long a_lLines, const char* a_szLast);
  int CheckPackage(uint64_t a_u64Size);
  bool FilePath(uint32_t a_u32File, char* a_szPath, size_t a_sizetPath) const;
  int PackFile(COsFile* a_posfile, uint32_t a_u32File, uint64_t* a_pu64Offset);
  int CheckUnpack(int a_iDirFd);
  int UnpackFile(int a_iDirFd, uint32_t a_u32File);
  int StartPacketFile(EPGDESTINATION a_epgdestination, size_t* a_psizetRead, int* a_piPercent);
  void EndPass();
  void Forget();  // everything but the last message
  uint8_t* Header(uint32_t a_u32Index) { return m_pau8Headers + a_u32Index * s_sizetHeader; }
  const uint8_t* Header(uint32_t a_u32Index) const { return m_pau8Headers + a_u32Index * s_sizetHeader; }

  uint32_t m_u32Current;
  uint32_t m_u32Files;
  char m_szPackage[512];
  char m_szMessage[256];
  uint8_t* m_pau8Headers;  // null until a script or a package is read
  uint8_t m_au8Table[s_sizetHeaders * s_sizetHeader];
  COsFile m_osfilePackage;
  COsFile m_osfileScript;
  COsFile m_osfileField;
  COsFile m_osfilePacket;
  // The GetPacket pass of this object.
  bool m_blNewPass;
  bool m_blNextFile;
  uint32_t m_u32PacketFile;
  uint64_t m_u64PacketTotal;
  uint64_t m_u64PacketRead;
  uint64_t m_u64PacketFileRead;
};
