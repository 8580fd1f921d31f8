// Named resources appended behind a file's own content and found through
// the footer at its end (see os_cosresourcefooter.h). One resource at a time
// is mapped read-only and handed out by address and size; the names of a
// file can be listed, and a resource added, replaced or removed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "os_def.h"

enum EOSRESOURCETYPE : int {
  OS_RESOURCETYPE_DATA = 1,  // the only kind
};

// The file name that means the library's own file.
constexpr const char* OS_RESOURCE_LOCAL = "OsResourceGetLocal";

class COsResourceImpl;

class COsResource {
 public:
  COsResource();
  ~COsResource();
  COsResource(const COsResource&) = delete;
  COsResource& operator=(const COsResource&) = delete;

  // Maps the named resource (letter case ignored) of the file; 0 or 1.
  EOSSTS Open(const char* a_szFile, const char* a_szName, EOSRESOURCETYPE a_eosresourcetype);
  // The open resource's bytes (not zero-terminated), valid until Close.
  const void* GetPointer();
  uint64_t GetSize();
  EOSSTS Close();

  // Names in slot order. A null file means the library's own file.
  // 0 with a name; 6 at the end or without footer; 2 when the buffer is too small.
  EOSSTS FindFirst(const char* a_szFile, char* a_szName, size_t a_sizetName);
  EOSSTS FindNext(char* a_szName, size_t a_sizetName);
  EOSSTS FindClose();

  // Adds or replaces the resource with the data, or removes it when there
  // is none (size 0). The flag is not used. 0 when the file is as asked.
  EOSSTS Update(const char* a_szFile, const char* a_szName, EOSRESOURCETYPE a_eosresourcetype, uint64_t a_u64Size,
                const void* a_pvData, long a_lFlag = 0);

 private:
  COsResourceImpl* m_posresourceimpl;
};
