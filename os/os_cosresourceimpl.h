// The state behind one COsResource: the mapped resource, the name list of a
// search, the version text of an assembly, and the footer last read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_cosresource.h"
#include "os_cosresourcefooter.h"

class COsResourceImpl {
 public:
  static constexpr size_t s_sizetPath = 512;

  COsResourceImpl();
  ~COsResourceImpl();

  EOSSTS Open(const char* a_szFile, const char* a_szName);
  const void* GetPointer() const { return m_pvData; }
  uint64_t GetSize() const { return m_u64Size; }
  EOSSTS Close();
  EOSSTS FindFirst(const char* a_szFile, char* a_szName, size_t a_sizetName);
  EOSSTS FindNext(char* a_szName, size_t a_sizetName);
  EOSSTS FindClose();
  EOSSTS Update(const char* a_szFile, const char* a_szName, EOSRESOURCETYPE a_eosresourcetype, uint64_t a_u64Size,
                const void* a_pvData);

  // The library's own file: DriverPath, else the module that holds this code.
  static bool OwnPath(char* a_szPath, size_t a_sizetPath);

 private:
  // 0 with the assembly version as the resource, 1 on failure, 6 when the
  // file is no assembly.
  EOSSTS OpenAssemblyVersion(const char* a_szPath, const char* a_szName);
  // Opens the file and reads its footer; -1 after logging.
  int OpenFooter(const char* a_szPath, const char* a_szName, EOSRESOURCEFOOTER* a_peosresourcefooter);
  EOSSTS NextName(char* a_szName, size_t a_sizetName);

  const void* m_pvData;  // the open resource's bytes, or null
  uint64_t m_u64Size;
  char m_aszNames[COsResourceFooter::s_iMaxEntries][COsResourceFooter::s_sizetName];
  int m_iNames;   // -1: no search
  int m_iCursor;
  char m_szVersion[32];
  size_t m_sizetMap;
  void* m_pvMap;
  int m_iFd;  // -1 when none
  OsResourceSlot m_aslot[COsResourceFooter::s_iSlots];
};
