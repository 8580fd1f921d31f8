// The frame of a task text on a user-interface channel. A task's header
// carries its whole length in bytes='...'; the receiver cuts the stream by
// that number alone. The sender writes the header with two placeholders of
// 20 characters each, "@1111111111111111111" (the task id) and
// "@2222222222222222222" (the byte count), which are stamped just before the
// text is written.
#pragma once

#include <cstddef>
#include <cstdint>

enum EDRVUIFRAME : int {
  DRV_UIFRAME_MORE = 0,  // no whole task yet: read more
  DRV_UIFRAME_TASK = 1,  // a whole task of *a_psizetTask bytes
  DRV_UIFRAME_BAD = 2,   // the stream cannot be cut: a protocol error
};

class CDrvUiFrame {
 public:
  // The longest task a channel carries.
  static constexpr size_t s_sizetMaxTask = 16u << 20;
  // bytes='...' and its closing quote come within this many bytes of the
  // task's first byte, or the stream is garbage.
  static constexpr size_t s_sizetHeaderLimit = 1024;
  // Width of a stamped number ("%020llu").
  static constexpr size_t s_sizetNumber = 20;

  // The task at the start of the bytes: its length is the number in the
  // first bytes='...'. A length of 0, one that is not decimal digits (no
  // sign, at most 20 digits), one that does not reach past the attribute's
  // closing quote, one over s_sizetMaxTask, or no attribute within the
  // header limit is bad, with the reason in *a_pszWhy. More data is needed
  // for a task longer than the bytes given; *a_psizetTask is then its
  // length once its header has come (0 before).
  static EDRVUIFRAME Next(const char* a_pcData, size_t a_sizetData, size_t* a_psizetTask, const char** a_pszWhy);
  // The number after the first "id='" within the first a_sizetData bytes;
  // false when there is none, or it is not 1 to 20 decimal digits ended by
  // a quote, or it does not fit 64 bits.
  static bool Id(const char* a_pcData, size_t a_sizetData, uint64_t* a_pu64Id);
  // Stamps the id over the first "@1" and the text's length over the first
  // "@2" that is followed by 18 more characters; false when either
  // placeholder is missing (what is there is stamped all the same).
  static bool Stamp(char* a_pcText, size_t a_sizetText, uint64_t a_u64Id);
};
