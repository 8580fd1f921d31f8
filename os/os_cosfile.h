// File, path and directory services. For now: what the log needs (path
// copy, existence test and recursive directory creation).
#pragma once

#include <cstddef>

#include "os_def.h"

class COsFile {
 public:
  // Makes every run of "/" and "\" one separator (a leading "\\" stays).
  static void PathNormalize(char* a_szPath, char a_cSeparator = '/');
  // Copies (overlap allowed) and normalises; empties the destination when
  // the source does not fit.
  static void PathSet(char* a_szDst, size_t a_sizetDst, const char* a_szSrc);
  static bool Exists(const char* a_szFilename);
  // Recursive directory creation; 0, 261 when it exists, 257/258/1 on failure.
  static EOSSTS Create(const char* a_szDirectory, void* a_pvAttributes = nullptr);
};
