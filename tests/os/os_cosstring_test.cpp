// Bounded string toolkit: copies and appends that fit or change nothing,
// prints that cut and report, conversions, searches and the SHA-256 digest.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <climits>
#include <clocale>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os_cosstring.h"
#include "test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define GUARD_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define GUARD_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define GUARD_POISON(p, n) ((void)(p), (void)(n))
#define GUARD_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

using namespace std::string_literals;

namespace {

// A destination of exactly `size` elements between two canary zones. The
// zones are poisoned for AddressSanitizer, so a write into them is reported
// at once; without it the canary check still sees the damage. Unwritten
// elements of the destination hold 'z'.
template <typename T>
class Guarded {
 public:
  static constexpr size_t kGuard = 32;  // elements; keeps dst 8-byte aligned

  Guarded(size_t a_size, const T* a_initial) : m_size(a_size), m_buf(a_size + 2 * kGuard, Canary()) {
    for (size_t i = 0; i < m_size; ++i) Dst()[i] = T('z');
    if (a_initial) {
      std::basic_string<T> s(a_initial);
      if (s.size() < m_size) std::copy(s.c_str(), s.c_str() + s.size() + 1, Dst());
    }
    m_initial = Region();
    Poison();
  }
  ~Guarded() { Unpoison(); }
  Guarded(const Guarded&) = delete;
  Guarded& operator=(const Guarded&) = delete;

  T* Dst() { return m_buf.data() + kGuard; }
  std::basic_string<T> Region() { return std::basic_string<T>(Dst(), m_size); }
  const std::basic_string<T>& Initial() const { return m_initial; }

  bool CanariesIntact() {
    Unpoison();
    bool ok = true;
    for (size_t i = 0; i < kGuard; ++i) ok = ok && m_buf[i] == Canary() && m_buf[kGuard + m_size + i] == Canary();
    Poison();
    return ok;
  }

 private:
  static T Canary() { return static_cast<T>(0x5A); }
  void Poison() {
    GUARD_POISON(m_buf.data(), kGuard * sizeof(T));
    GUARD_POISON(Dst() + m_size, kGuard * sizeof(T));
  }
  void Unpoison() { GUARD_UNPOISON(m_buf.data(), m_buf.size() * sizeof(T)); }

  size_t m_size;
  std::vector<T> m_buf;
  std::basic_string<T> m_initial;
};

// A destination region as text plus terminator, the rest 'z'.
template <typename T>
std::basic_string<T> Filled(const std::basic_string<T>& a_text, size_t a_size) {
  std::basic_string<T> s = a_text;
  if (s.size() < a_size) s.push_back(T(0));
  s.resize(a_size, T('z'));
  return s;
}

// One bounded write: its destination, the operation, and the region and
// result expected afterwards (no region: the destination must be unchanged).
template <typename T>
struct BoundCase {
  const char* name;
  size_t size;
  const T* initial;
  std::function<long(T*, size_t)> op;
  std::optional<std::basic_string<T>> expected;
  long result;
};

template <typename T>
void PrintTo(const BoundCase<T>& a_case, std::ostream* a_pos) {
  *a_pos << a_case.name;
}

template <typename T>
void RunBoundCase(const BoundCase<T>& a_case) {
  Guarded<T> g(a_case.size, a_case.initial);
  long result = a_case.op(g.Dst(), a_case.size);
  EXPECT_TRUE(g.CanariesIntact()) << "wrote outside the destination";
  EXPECT_EQ(result, a_case.result);
  if (a_case.expected) {
    EXPECT_EQ(g.Region(), *a_case.expected);
  } else {
    EXPECT_EQ(g.Region(), g.Initial()) << "destination changed";
  }
}

long Done(char* a_sz, char* a_szDst) { return a_sz == nullptr ? 0 : (a_sz == a_szDst ? 1 : -1); }

using S = std::string;
const std::nullopt_t kUnchanged = std::nullopt;

const BoundCase<char> kNarrowCases[] = {
    // Copy: exact fit, one short, zero size.
    {"CpyExactFit", 5, nullptr, [](char* d, size_t n) { COsString::SStrCpy(d, n, "abcd"); return 0L; },
     S("abcd\0", 5), 0},
    {"CpyOneShort", 4, "xy", [](char* d, size_t n) { COsString::SStrCpy(d, n, "abcd"); return 0L; }, kUnchanged, 0},
    {"CpyZeroSize", 0, nullptr, [](char* d, size_t n) { COsString::SStrCpy(d, n, "a"); return 0L; }, kUnchanged, 0},
    {"MbsCpyOneShort", 5, "xy", [](char* d, size_t n) { COsString::SMbsCpy(d, n, "abcde"); return 0L; }, kUnchanged,
     0},
    // Counted copy: strncpy within the destination, never beyond it.
    {"NcpyCountBelowSizeNoTerminator", 10, nullptr,
     [](char* d, size_t n) { COsString::SStrNcpy(d, n, "abcdef", 3); return 0L; }, S("abczzzzzzz"), 0},
    {"NcpyZeroFillsUpToCount", 10, nullptr, [](char* d, size_t n) { COsString::SStrNcpy(d, n, "ab", 5); return 0L; },
     S("ab\0\0\0zzzzz", 10), 0},
    {"NcpyCountAboveSizeSourceFits", 4, nullptr,
     [](char* d, size_t n) { COsString::SStrNcpy(d, n, "abc", 8); return 0L; }, S("abc\0", 4), 0},
    {"NcpyCountAboveSizeShortSource", 6, nullptr,
     [](char* d, size_t n) { COsString::SStrNcpy(d, n, "a", 100); return 0L; }, S("a\0\0\0\0\0", 6), 0},
    {"NcpyCountAboveSizeSourceTooLong", 4, "xy",
     [](char* d, size_t n) { COsString::SStrNcpy(d, n, "abcdef", 8); return 0L; }, kUnchanged, 0},
    {"NcpyCountEqualsSizeSourceTooLong", 4, "xy",
     [](char* d, size_t n) { COsString::SStrNcpy(d, n, "abcd", 4); return 0L; }, kUnchanged, 0},
    {"NcpyZeroSize", 0, nullptr, [](char* d, size_t n) { COsString::SStrNcpy(d, n, "a", 1); return 0L; }, kUnchanged,
     0},
    {"MbsNcpyCountAboveSize", 3, nullptr, [](char* d, size_t n) { COsString::SMbsNcpy(d, n, "ab", 9); return 0L; },
     S("ab\0", 3), 0},
    // Append.
    {"CatExactFit", 5, "ab", [](char* d, size_t n) { COsString::SStrCat(d, n, "cd"); return 0L; }, S("abcd\0", 5), 0},
    {"CatOneShort", 5, "ab", [](char* d, size_t n) { COsString::SStrCat(d, n, "cde"); return 0L; }, kUnchanged, 0},
    {"CatUnterminatedDst", 4, nullptr, [](char* d, size_t n) { COsString::SStrCat(d, n, ""); return 0L; },
     kUnchanged, 0},
    {"CatZeroSize", 0, nullptr, [](char* d, size_t n) { COsString::SStrCat(d, n, ""); return 0L; }, kUnchanged, 0},
    {"MbsCatOneShort", 3, "a", [](char* d, size_t n) { COsString::SMbsCat(d, n, "bc"); return 0L; }, kUnchanged, 0},
    {"NcatCountLimits", 5, "ab", [](char* d, size_t n) { COsString::SStrNcat(d, n, "cdef", 2); return 0L; },
     S("abcd\0", 5), 0},
    {"NcatCountOneShort", 5, "ab", [](char* d, size_t n) { COsString::SStrNcat(d, n, "cdef", 3); return 0L; },
     kUnchanged, 0},
    {"NcatSourceFitsLargeCount", 5, "ab", [](char* d, size_t n) { COsString::SStrNcat(d, n, "cd", 99); return 0L; },
     S("abcd\0", 5), 0},
    {"NcatCountZero", 5, "ab", [](char* d, size_t n) { COsString::SStrNcat(d, n, "cd", 0); return 0L; },
     S("ab\0zz", 5), 0},
    {"NcatUnterminatedDst", 3, nullptr, [](char* d, size_t n) { COsString::SStrNcat(d, n, "a", 1); return 0L; },
     kUnchanged, 0},
    {"MbsNcatOneShort", 4, "ab", [](char* d, size_t n) { COsString::SMbsNcat(d, n, "cd", 2); return 0L; },
     kUnchanged, 0},
    // Print: cut, terminated text and -1 when it does not fit.
    {"PrintfExactFit", 6, nullptr, [](char* d, size_t n) -> long { return COsString::SStrPrintf(d, n, "%s", "hello"); },
     S("hello\0", 6), 5},
    {"PrintfOneShort", 5, nullptr, [](char* d, size_t n) -> long { return COsString::SStrPrintf(d, n, "%s", "hello"); },
     S("hell\0", 5), -1},
    {"PrintfZeroSize", 0, nullptr, [](char* d, size_t n) -> long { return COsString::SStrPrintf(d, n, "%d", 1); },
     kUnchanged, -1},
    {"MbsPrintfOneShort", 3, nullptr, [](char* d, size_t n) -> long { return COsString::SMbsPrintf(d, n, "%d", 123); },
     S("12\0", 3), -1},
    {"CatfFits", 6, "ab", [](char* d, size_t n) -> long { return COsString::SStrCatf(d, n, "%d", 123); },
     S("ab123\0", 6), 5},
    {"CatfCut", 6, "ab", [](char* d, size_t n) -> long { return COsString::SStrCatf(d, n, "%d", 1234); },
     S("ab123\0", 6), -1},
    {"CatfUnterminatedDst", 3, nullptr, [](char* d, size_t n) -> long { return COsString::SStrCatf(d, n, "x"); },
     kUnchanged, -1},
    {"CatfZeroSize", 0, nullptr, [](char* d, size_t n) -> long { return COsString::SStrCatf(d, n, "x"); }, kUnchanged,
     -1},
    // Trim.
    {"TrimExactFit", 4, nullptr, [](char* d, size_t n) { COsString::SStrTrim(d, n, "  abc \t"); return 0L; },
     S("abc\0", 4), 0},
    {"TrimOneShort", 3, "xy", [](char* d, size_t n) { COsString::SStrTrim(d, n, "  abc  "); return 0L; }, kUnchanged,
     0},
    {"TrimZeroSize", 0, nullptr, [](char* d, size_t n) { COsString::SStrTrim(d, n, "a"); return 0L; }, kUnchanged, 0},
    // Numbers.
    {"FromNumExactFit", 3, nullptr, [](char* d, size_t n) { return Done(COsString::SStrFromNum(255, d, n, 16), d); },
     S("ff\0", 3), 1},
    {"FromNumOneShort", 3, nullptr, [](char* d, size_t n) { return Done(COsString::SStrFromNum(-10, d, n, 10), d); },
     S("\0zz", 3), 0},
    {"FromNumBadRadixFits", 5, nullptr, [](char* d, size_t n) { return Done(COsString::SStrFromNum(7, d, n, 8), d); },
     S("@@@\0z", 5), 1},
    {"FromNumBadRadixCut", 2, nullptr, [](char* d, size_t n) { return Done(COsString::SStrFromNum(7, d, n, 2), d); },
     S("@\0", 2), 1},
    {"FromNumBadRadixSizeOne", 1, nullptr,
     [](char* d, size_t n) { return Done(COsString::SStrFromNum(7, d, n, 0), d); }, S("\0", 1), 1},
    {"FromNumZeroSize", 0, nullptr, [](char* d, size_t n) { return Done(COsString::SStrFromNum(7, d, n, 10), d); },
     kUnchanged, 0},
    {"FromNum64ExactFit", 21, nullptr,
     [](char* d, size_t n) { return Done(COsString::SStrFromNum64(LLONG_MIN, d, n, 10), d); },
     S("-9223372036854775808\0", 21), 1},
    {"FromNum64OneShort", 20, nullptr,
     [](char* d, size_t n) { return Done(COsString::SStrFromNum64(LLONG_MIN, d, n, 10), d); },
     S(1, '\0') + S(19, 'z'), 0},
    {"FromNum64BadRadixSizeThree", 3, nullptr,
     [](char* d, size_t n) { return Done(COsString::SStrFromNum64(7, d, n, 36), d); }, S("@@\0", 3), 1},
    {"PtrExactFit", 17, nullptr,
     [](char* d, size_t n) -> long { return COsString::PtrToStr(d, n, reinterpret_cast<void*>(0x1234)); },
     S("0000000000001234\0", 17), 16},
    {"PtrOneShort", 16, "xy",
     [](char* d, size_t n) -> long { return COsString::PtrToStr(d, n, reinterpret_cast<void*>(0x1234)); },
     S("\0y\0zzzzzzzzzzzzz", 16), 0},
    {"PtrZeroSize", 0, nullptr, [](char* d, size_t n) -> long { return COsString::PtrToStr(d, n, d); }, kUnchanged, 0},
    {"VersionExactFit", 4, nullptr,
     [](char* d, size_t n) -> long { return COsString::StrConvertVersionToUserFormat(d, n, "04030000"); },
     S("4.3\0", 4), 3},
    {"VersionOneShort", 3, nullptr,
     [](char* d, size_t n) -> long { return COsString::StrConvertVersionToUserFormat(d, n, "04030000"); },
     S("4.\0", 3), -1},
    {"Sha256ExactFit", 65, nullptr,
     [](char* d, size_t n) -> long { return COsString::EncryptSHA256(d, n, "abc", 3); },
     S("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD\0", 65), OS_STS_SUCCESS},
    {"Sha256OneShort", 64, nullptr, [](char* d, size_t n) -> long { return COsString::EncryptSHA256(d, n, "abc", 3); },
     kUnchanged, OS_STS_NOROOM_BUFFER},
    {"GetSizeOne", 1, nullptr, [](char* d, size_t n) { return Done(COsString::SStrGet(d, n), d); }, S("\0", 1), 1},
};

using W = std::wstring;
const BoundCase<wchar_t> kWideCases[] = {
    {"WcsCpyExactFit", 3, nullptr, [](wchar_t* d, size_t n) { COsString::SWcsCpy(d, n, L"ab"); return 0L; },
     W(L"ab\0", 3), 0},
    {"WcsCpyOneShort", 2, L"x", [](wchar_t* d, size_t n) { COsString::SWcsCpy(d, n, L"ab"); return 0L; }, kUnchanged,
     0},
    {"WcsCpyZeroSize", 0, nullptr, [](wchar_t* d, size_t n) { COsString::SWcsCpy(d, n, L""); return 0L; },
     kUnchanged, 0},
    {"WcsNcpyCountBelowSize", 5, nullptr, [](wchar_t* d, size_t n) { COsString::SWcsNcpy(d, n, L"abcd", 2); return 0L; },
     W(L"abzzz"), 0},
    {"WcsNcpyCountAboveSize", 3, nullptr, [](wchar_t* d, size_t n) { COsString::SWcsNcpy(d, n, L"a", 50); return 0L; },
     W(L"a\0\0", 3), 0},
    {"WcsNcpySourceTooLong", 3, L"x", [](wchar_t* d, size_t n) { COsString::SWcsNcpy(d, n, L"abc", 5); return 0L; },
     kUnchanged, 0},
    {"WcsCatExactFit", 4, L"a", [](wchar_t* d, size_t n) { COsString::SWcsCat(d, n, L"bc"); return 0L; },
     W(L"abc\0", 4), 0},
    {"WcsCatOneShort", 3, L"a", [](wchar_t* d, size_t n) { COsString::SWcsCat(d, n, L"bc"); return 0L; }, kUnchanged,
     0},
    {"WcsNcatExactFit", 4, L"a", [](wchar_t* d, size_t n) { COsString::SWcsNcat(d, n, L"bcd", 2); return 0L; },
     W(L"abc\0", 4), 0},
    {"WcsNcatOneShort", 3, L"a", [](wchar_t* d, size_t n) { COsString::SWcsNcat(d, n, L"bcd", 2); return 0L; },
     kUnchanged, 0},
    {"WcsPrintfExactFit", 4, nullptr,
     [](wchar_t* d, size_t n) -> long { return COsString::SWcsPrintf(d, n, L"%d", 123); }, W(L"123\0", 4), 3},
    {"WcsPrintfZeroSize", 0, nullptr,
     [](wchar_t* d, size_t n) -> long { return COsString::SWcsPrintf(d, n, L"%d", 1); }, kUnchanged, -1},
};

class COsStringBoundNarrow : public testing::TestWithParam<BoundCase<char>> {};
TEST_P(COsStringBoundNarrow, NeverWritesPastSize) { RunBoundCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Table, COsStringBoundNarrow, testing::ValuesIn(kNarrowCases),
                         [](const auto& info) { return std::string(info.param.name); });

class COsStringBoundWide : public testing::TestWithParam<BoundCase<wchar_t>> {};
TEST_P(COsStringBoundWide, NeverWritesPastSize) { RunBoundCase(GetParam()); }
INSTANTIATE_TEST_SUITE_P(Table, COsStringBoundWide, testing::ValuesIn(kWideCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A wide print that does not fit reports a negative count and leaves a
// terminated text within the destination.
TEST(COsStringWidePrint, TooLongIsNegativeAndTerminated) {
  Guarded<wchar_t> g(3, nullptr);
  EXPECT_LT(COsString::SWcsPrintf(g.Dst(), 3, L"%ls", L"abcdef"), 0);
  EXPECT_TRUE(g.CanariesIntact());
  EXPECT_NE(g.Region().find(L'\0'), std::wstring::npos);
}

// Copying a buffer onto itself (or a later part of it) is allowed.
TEST(COsStringCopy, OverlappingSourceIsSafe) {
  char sz[16] = "  abc";
  COsString::SStrCpy(sz, sizeof(sz), sz + 2);
  EXPECT_STREQ(sz, "abc");
  COsString::SStrTrim(sz, sizeof(sz), sz);
  EXPECT_STREQ(sz, "abc");
  char szTrim[16] = " \t x y \n";
  COsString::SStrTrim(szTrim, sizeof(szTrim), szTrim);
  EXPECT_STREQ(szTrim, "x y");
}

// A text into a fixed field: what fits, cut before a character that would
// not; the field's bytes after the terminator are never written.
TEST(COsStringCopy, CutCopyKeepsWholeCharacters) {
  const struct {
    const char* szSrc;
    size_t sizetDst;
    const char* szExpected;
    bool blWhole;
  } s_acase[] = {
      {"abc", 4, "abc", true},
      {"abcd", 4, "abc", false},
      {"", 1, "", true},
      {"abc", 1, "", false},
      {nullptr, 4, "", true},
      {"a\xc3\xa9", 4, "a\xc3\xa9", true},            // a, e acute
      {"a\xc3\xa9", 3, "a", false},                     // the two-byte e would be split
      {"\xf0\x9f\x93\x84xyz", 4, "", false},          // a four-byte character
      {"\xf0\x9f\x93\x84xyz", 6, "\xf0\x9f\x93\x84x", false},
  };
  for (const auto& c : s_acase) {
    SCOPED_TRACE(c.szSrc ? c.szSrc : "(null)");
    char sz[8];
    std::memset(sz, '#', sizeof sz);
    EXPECT_EQ(COsString::SStrCpyCut(sz, c.sizetDst, c.szSrc), c.blWhole);
    EXPECT_STREQ(sz, c.szExpected);
    for (size_t i = std::strlen(c.szExpected) + 1; i < sizeof sz; ++i) EXPECT_EQ(sz[i], '#') << i;
  }
  char sz[4] = "old";
  EXPECT_FALSE(COsString::SStrCpyCut(sz, 0, "new"));
  EXPECT_FALSE(COsString::SStrCpyCut(nullptr, 4, "new"));
  EXPECT_STREQ(sz, "old");
}

// ---------------------------------------------------------------------------
// Null pointers and zero sizes: a clear failure result, nothing written.
// ---------------------------------------------------------------------------

struct Keep {
  char sz[16] = "keep";
  wchar_t wsz[8] = L"keep";
};

struct NullCase {
  const char* name;
  std::function<long(Keep&)> op;
  long result;
};

long IsNull(const void* a_pv) { return a_pv == nullptr ? 1 : 0; }

const NullCase kNullCases[] = {
    {"SStrCpyNullDst", [](Keep&) { COsString::SStrCpy(nullptr, 5, "a"); return 0L; }, 0},
    {"SStrCpyNullSrc", [](Keep& k) { COsString::SStrCpy(k.sz, 16, nullptr); return 0L; }, 0},
    {"SStrCpyZeroSize", [](Keep& k) { COsString::SStrCpy(k.sz, 0, "a"); return 0L; }, 0},
    {"SStrNcpyNullDst", [](Keep&) { COsString::SStrNcpy(nullptr, 5, "a", 1); return 0L; }, 0},
    {"SStrNcpyNullSrc", [](Keep& k) { COsString::SStrNcpy(k.sz, 16, nullptr, 1); return 0L; }, 0},
    {"SStrNcpyZeroCount", [](Keep& k) { COsString::SStrNcpy(k.sz, 16, "a", 0); return 0L; }, 0},
    {"SStrCatNullDst", [](Keep&) { COsString::SStrCat(nullptr, 5, "a"); return 0L; }, 0},
    {"SStrCatNullSrc", [](Keep& k) { COsString::SStrCat(k.sz, 16, nullptr); return 0L; }, 0},
    {"SStrNcatNullDst", [](Keep&) { COsString::SStrNcat(nullptr, 5, "a", 1); return 0L; }, 0},
    {"SStrNcatNullSrc", [](Keep& k) { COsString::SStrNcat(k.sz, 16, nullptr, 1); return 0L; }, 0},
    {"SStrNcatZeroSize", [](Keep& k) { COsString::SStrNcat(k.sz, 0, "a", 1); return 0L; }, 0},
    {"SMbsCpyNullSrc", [](Keep& k) { COsString::SMbsCpy(k.sz, 16, nullptr); return 0L; }, 0},
    {"SMbsNcpyNullSrc", [](Keep& k) { COsString::SMbsNcpy(k.sz, 16, nullptr, 2); return 0L; }, 0},
    {"SMbsCatNullSrc", [](Keep& k) { COsString::SMbsCat(k.sz, 16, nullptr); return 0L; }, 0},
    {"SMbsNcatNullSrc", [](Keep& k) { COsString::SMbsNcat(k.sz, 16, nullptr, 2); return 0L; }, 0},
    {"SWcsCpyNullSrc", [](Keep& k) { COsString::SWcsCpy(k.wsz, 8, nullptr); return 0L; }, 0},
    {"SWcsCpyNullDst", [](Keep&) { COsString::SWcsCpy(nullptr, 8, L"a"); return 0L; }, 0},
    {"SWcsNcpyZeroCount", [](Keep& k) { COsString::SWcsNcpy(k.wsz, 8, L"a", 0); return 0L; }, 0},
    {"SWcsNcpyNullSrc", [](Keep& k) { COsString::SWcsNcpy(k.wsz, 8, nullptr, 1); return 0L; }, 0},
    {"SWcsCatNullSrc", [](Keep& k) { COsString::SWcsCat(k.wsz, 8, nullptr); return 0L; }, 0},
    {"SWcsCatZeroSize", [](Keep& k) { COsString::SWcsCat(k.wsz, 0, L"a"); return 0L; }, 0},
    {"SWcsNcatZeroCount", [](Keep& k) { COsString::SWcsNcat(k.wsz, 8, L"a", 0); return 0L; }, 0},
    {"SWcsNcatNullDst", [](Keep&) { COsString::SWcsNcat(nullptr, 8, L"a", 1); return 0L; }, 0},
    {"SStrPrintfNullDst", [](Keep&) -> long { return COsString::SStrPrintf(nullptr, 5, "x"); }, -1},
    {"SStrPrintfNullFormat", [](Keep& k) -> long { return COsString::SStrPrintf(k.sz, 16, nullptr); }, -1},
    {"SMbsPrintfZeroSize", [](Keep& k) -> long { return COsString::SMbsPrintf(k.sz, 0, "x"); }, -1},
    {"SWcsPrintfNullFormat", [](Keep& k) -> long { return COsString::SWcsPrintf(k.wsz, 8, nullptr); }, -1},
    {"SWcsPrintfNullDst", [](Keep&) -> long { return COsString::SWcsPrintf(nullptr, 8, L"x"); }, -1},
    {"SStrCatfNullDst", [](Keep&) -> long { return COsString::SStrCatf(nullptr, 8, "x"); }, -1},
    {"SStrCatfNullFormat", [](Keep& k) -> long { return COsString::SStrCatf(k.sz, 16, nullptr); }, -1},
    {"SStrTokNullDelimiters", [](Keep& k) {
       char* save = nullptr;
       return IsNull(COsString::SStrTok(k.sz, nullptr, &save));
     }, 1},
    {"SStrTokNullSave", [](Keep& k) { return IsNull(COsString::SStrTok(k.sz, ",", nullptr)); }, 1},
    {"SStrTokNothingToContinue", [](Keep&) {
       char* save = nullptr;
       return IsNull(COsString::SStrTok(nullptr, ",", &save));
     }, 1},
    {"SWcsTokNullSave", [](Keep& k) { return IsNull(COsString::SWcsTok(k.wsz, L",", nullptr)); }, 1},
    {"SWcsTokNothingToContinue", [](Keep&) {
       wchar_t* save = nullptr;
       return IsNull(COsString::SWcsTok(nullptr, L",", &save));
     }, 1},
    {"SStrTrimNullSrc", [](Keep& k) { COsString::SStrTrim(k.sz, 16, nullptr); return 0L; }, 0},
    {"SStrTrimNullDst", [](Keep&) { COsString::SStrTrim(nullptr, 16, "a"); return 0L; }, 0},
    {"StrFirstNonWhitespaceNull", [](Keep&) { return IsNull(COsString::StrFirstNonWhitespace(nullptr)); }, 1},
    {"StrFirstWhitespaceNull", [](Keep&) { return IsNull(COsString::StrFirstWhitespace(nullptr)); }, 1},
    {"SStrLenNull", [](Keep&) { return static_cast<long>(COsString::SStrLen(nullptr, 5)); }, -1},
    {"SStrLenZeroSize", [](Keep& k) { return static_cast<long>(COsString::SStrLen(k.sz, 0)); }, -1},
    {"SUtf8LenNull", [](Keep&) { return static_cast<long>(COsString::SUtf8Len(nullptr)); }, 0},
    {"StrNstrNullHaystack", [](Keep&) { return IsNull(COsString::StrNstr(nullptr, "a", 3)); }, 1},
    {"StrNstrNullNeedle", [](Keep& k) { return IsNull(COsString::StrNstr(k.sz, nullptr, 3)); }, 1},
    {"StrNstrZeroCount", [](Keep& k) { return IsNull(COsString::StrNstr(k.sz, "k", 0)); }, 1},
    {"SStrGetNullDst", [](Keep&) { return IsNull(COsString::SStrGet(nullptr, 8)); }, 1},
    {"SStrGetZeroSize", [](Keep& k) { return IsNull(COsString::SStrGet(k.sz, 0)); }, 1},
    {"StrWildCmpNullPattern", [](Keep&) -> long { return COsString::StrWildCmp(nullptr, "a") != 0; }, 1},
    {"StrWildCmpNullText", [](Keep&) -> long { return COsString::StrWildCmp("*", nullptr) != 0; }, 1},
    {"StrToFastHexNull", [](Keep&) { return static_cast<long>(COsString::StrToFastHex(nullptr)); }, 0},
    {"StrToFastHex64Null", [](Keep&) { return static_cast<long>(COsString::StrToFastHex64(nullptr)); }, 0},
    {"StrToFastHexIntPtrNull", [](Keep&) { return static_cast<long>(COsString::StrToFastHexIntPtr(nullptr)); }, 0},
    {"StrToHexNull", [](Keep&) { return static_cast<long>(COsString::StrToHex(nullptr, 4)); }, 0},
    {"StrToHexIntPtrNull", [](Keep&) { return static_cast<long>(COsString::StrToHexIntPtr(nullptr, 4)); }, 0},
    {"SStrFromNumNullDst", [](Keep&) { return IsNull(COsString::SStrFromNum(1, nullptr, 8, 10)); }, 1},
    {"SStrFromNum64NullDst", [](Keep&) { return IsNull(COsString::SStrFromNum64(1, nullptr, 8, 10)); }, 1},
    {"SMbsFromNumZeroSize", [](Keep& k) { return IsNull(COsString::SMbsFromNum(1, k.sz, 0, 10)); }, 1},
    {"PtrToStrNullDst", [](Keep&) -> long { return COsString::PtrToStr(nullptr, 32, nullptr); }, 0},
    {"VersionNullText", [](Keep& k) -> long { return COsString::StrConvertVersionToUserFormat(k.sz, 16, nullptr); },
     -1},
    {"VersionNullDst", [](Keep&) -> long { return COsString::StrConvertVersionToUserFormat(nullptr, 16, "1"); }, -1},
    {"Sha256NullDst", [](Keep&) -> long { return COsString::EncryptSHA256(nullptr, 65, "a", 1); },
     OS_STS_NOROOM_BUFFER},
    {"Sha256NullData", [](Keep& k) -> long { return COsString::EncryptSHA256(k.sz, 65, nullptr, 4); },
     OS_STS_NOROOM_BUFFER},
    {"Sha256ZeroSize", [](Keep& k) -> long { return COsString::EncryptSHA256(k.sz, 0, "a", 1); },
     OS_STS_NOROOM_BUFFER},
    {"EncryptIsAStub", [](Keep& k) -> long {
       size_t n = 5;
       EOSSTS sts = COsString::Encrypt(reinterpret_cast<unsigned char*>(k.sz), &n, "a", "b", 1);
       return n == 5 ? sts : -2;
     }, OS_STS_FAIL},
    {"DecryptIsAStub", [](Keep& k) -> long {
       size_t n = 5;
       EOSSTS sts = COsString::Decrypt(k.sz, &n, reinterpret_cast<const unsigned char*>("ab"), 2, "c", 1);
       return n == 5 ? sts : -2;
     }, OS_STS_FAIL},
    {"PascalConversionsDoNothing", [](Keep& k) {
       COsString::StrConvertCToPascal(k.sz, 16);
       COsString::StrConvertPascalToC(k.sz, 16);
       COsString::StrConvertCToPascal(nullptr, 0);
       return 0L;
     }, 0},
};

void PrintTo(const NullCase& a_case, std::ostream* a_pos) { *a_pos << a_case.name; }

class COsStringNull : public testing::TestWithParam<NullCase> {};
TEST_P(COsStringNull, FailsCleanly) {
  Keep k;
  EXPECT_EQ(GetParam().op(k), GetParam().result);
  EXPECT_STREQ(k.sz, "keep");
  EXPECT_STREQ(k.wsz, L"keep");
}
INSTANTIATE_TEST_SUITE_P(Table, COsStringNull, testing::ValuesIn(kNullCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// SHA-256 against Python's hashlib.
// ---------------------------------------------------------------------------

std::string Bytes(size_t a_size) {
  std::string s(a_size, '\0');
  uint32_t x = 2463534242u;
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return s;
}

// Lengths around the padding boundaries (55/56 bytes fit one padded block
// or need two) and one large input.
TEST(COsStringSha256, MatchesHashlib) {
  const size_t kSizes[] = {0, 1, 55, 56, 63, 64, 65, 119, 120, 127, 128, 1000, 1024 * 1024};
  std::vector<std::string> files;
  std::vector<std::string> ours;
  for (size_t n : kSizes) {
    std::string data = Bytes(n);
    files.push_back(testsupport::RootPath("data" + std::to_string(n)));
    testsupport::WriteFile(files.back(), data);
    char sz[65];
    ASSERT_EQ(COsString::EncryptSHA256(sz, sizeof(sz), data.data(), data.size()), OS_STS_SUCCESS);
    ours.emplace_back(sz);
  }
  int status = -1;
  std::string out = testsupport::RunPython(
      "import hashlib, sys\n"
      "for p in sys.argv[1:]:\n"
      "    print(hashlib.sha256(open(p, 'rb').read()).hexdigest().upper())\n",
      files, &status);
  ASSERT_EQ(status, 0);
  std::vector<std::string> theirs = testsupport::Lines(out);
  ASSERT_EQ(theirs.size(), ours.size());
  for (size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(ours[i], theirs[i]) << kSizes[i] << " bytes";
}

TEST(COsStringSha256, NullDataOfLengthZeroIsTheEmptyDigest) {
  char sz[80];
  std::memset(sz, 'z', sizeof(sz));
  EXPECT_EQ(COsString::EncryptSHA256(sz, sizeof(sz), nullptr, 0), OS_STS_SUCCESS);
  EXPECT_STREQ(sz, "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855");
  EXPECT_EQ(sz[65], 'z');
}

// ---------------------------------------------------------------------------
// Search and wildcard comparison.
// ---------------------------------------------------------------------------

struct NstrCase {
  const char* haystack;
  size_t haystackLength;  // buffer length, may hold text after a terminator
  const char* needle;
  size_t count;
  long offset;  // -1: not found
};

TEST(COsStringNstr, Table) {
  const NstrCase kCases[] = {
      {"hello", 5, "ll", 5, 2},  {"hello", 5, "lo", 4, -1},   {"hello", 5, "lo", 5, 3},
      {"aab", 3, "ab", 3, 1},    {"aab", 3, "ab", 2, -1},     {"aaab", 4, "aab", 4, 1},
      {"abcabd", 6, "abd", 6, 3}, {"abc", 3, "c", 100, 2},    {"ab\0cd", 5, "cd", 5, -1},
      {"abc", 3, "abcd", 10, -1}, {"", 0, "", 1, 0},          {"", 0, "", 0, -1},
      {"abc", 3, "", 5, -1},
  };
  for (const auto& c : kCases) {
    std::string hay(c.haystack, c.haystackLength);
    const char* p = COsString::StrNstr(hay.c_str(), c.needle, c.count);
    long offset = p ? p - hay.c_str() : -1;
    EXPECT_EQ(offset, c.offset) << "'" << c.needle << "' in '" << c.haystack << "' count " << c.count;
  }
}

// Every haystack and needle over {a, b} up to a few characters, every count:
// the first match lying wholly within min(count, length) characters.
TEST(COsStringNstr, AgreesWithPlainSearchOnAllSmallTexts) {
  std::vector<std::string> texts{""};
  for (size_t i = 0; texts[i].size() < 5; ++i) {
    texts.push_back(texts[i] + "a");
    texts.push_back(texts[i] + "b");
  }
  for (const auto& hay : texts) {
    for (const auto& needle : texts) {
      if (needle.empty() || needle.size() > 3) continue;
      for (size_t count = 0; count <= hay.size() + 1; ++count) {
        std::string_view window(hay.data(), std::min(count, hay.size()));
        size_t want = window.find(needle);
        const char* p = COsString::StrNstr(hay.c_str(), needle.c_str(), count);
        long got = p ? p - hay.c_str() : -1;
        ASSERT_EQ(got, want == std::string_view::npos ? -1 : static_cast<long>(want))
            << "'" << needle << "' in '" << hay << "' count " << count;
      }
    }
  }
}

TEST(COsStringWild, Table) {
  struct {
    const char* pattern;
    const char* text;
    bool match;
  } const kCases[] = {
      {"*.ini", "a.ini", true}, {"a?c", "abc", true},   {"a*", "", false},       {"*", "", true},
      {"", "", true},           {"", "a", false},       {"a*b*c", "axxbyyc", true}, {"a*b", "abab", true},
      {"a*b", "abac", false},   {"?", "", false},       {"**a", "ba", true},     {"A", "a", false},
      {"*.ini", "a.inix", false}, {"*?", "x", true},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(COsString::StrWildCmp(c.pattern, c.text) == 0, c.match) << c.pattern << " vs " << c.text;
  }
}

// Every pattern over {a, b, *, ?} and text over {a, b} up to four characters,
// judged by Python's fnmatchcase (which agrees when there are no brackets).
TEST(COsStringWild, AgreesWithFnmatch) {
  auto all = [](const std::string& a_alphabet, size_t a_max) {
    std::vector<std::string> v{""};
    for (size_t i = 0; v[i].size() < a_max; ++i)
      for (char c : a_alphabet) v.push_back(v[i] + c);
    return v;
  };
  std::vector<std::string> patterns = all("ab*?", 4);
  std::vector<std::string> texts = all("ab", 4);
  std::string input;
  std::string ours;
  for (const auto& p : patterns) {
    for (const auto& t : texts) {
      input += p + "|" + t + "\n";
      ours += COsString::StrWildCmp(p.c_str(), t.c_str()) == 0 ? '1' : '0';
    }
  }
  testsupport::WriteFile(testsupport::RootPath("pairs"), input);
  int status = -1;
  std::string theirs = testsupport::RunPython(
      "import fnmatch, sys\n"
      "out = []\n"
      "for line in open(sys.argv[1]).read().splitlines():\n"
      "    p, t = line.split('|')\n"
      "    out.append('1' if fnmatch.fnmatchcase(t, p) else '0')\n"
      "print(''.join(out))\n",
      {testsupport::RootPath("pairs")}, &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(theirs, ours + "\n");
}

// ---------------------------------------------------------------------------
// Conversions.
// ---------------------------------------------------------------------------

TEST(COsStringHex, Parsers) {
  struct {
    const char* text;
    uint64_t value;
  } const kCases[] = {
      {"0x1F", 31}, {"1f", 31}, {"0X10", 16}, {"0x", 0}, {"g1", 0}, {"12z4", 0x12}, {"", 0}, {"0", 0},
      {"ffffffffffffffff", UINT64_MAX}, {"123456789abcdef01", 0x23456789abcdef01ULL}, {" 1", 0}, {"0x0x1", 0},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(COsString::StrToFastHex(c.text), c.value) << c.text;
    EXPECT_EQ(COsString::StrToFastHex64(c.text), c.value) << c.text;
    EXPECT_EQ(COsString::StrToFastHexIntPtr(c.text), c.value) << c.text;
    EXPECT_EQ(COsString::StrToHex(c.text, SIZE_MAX), c.value) << c.text;
  }
  EXPECT_EQ(COsString::StrToHex("ABCDEF", 2), 0xABu);
  EXPECT_EQ(COsString::StrToHexIntPtr("0xABCDEF", 3), 0xABCu);
  EXPECT_EQ(COsString::StrToHex("ABCDEF", 0), 0u);
  EXPECT_EQ(COsString::StrToHexIntPtr("1z", 8), 1u);
}

TEST(COsStringHex, DigitTable) {
  for (int c = 0; c < 256; ++c) {
    unsigned want = 255;
    if (c >= '0' && c <= '9') want = c - '0';
    if (c >= 'a' && c <= 'f') want = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') want = c - 'A' + 10;
    EXPECT_EQ(COsString::s_szHex[c], want) << c;
  }
}

TEST(COsStringNum, FromNum) {
  char sz[32];
  EXPECT_STREQ(COsString::SStrFromNum(255, sz, 8, 16), "ff");
  EXPECT_STREQ(COsString::SStrFromNum(-42, sz, sizeof(sz), 10), "-42");
  EXPECT_STREQ(COsString::SStrFromNum(-1, sz, sizeof(sz), 16), "ffffffffffffffff");
  EXPECT_STREQ(COsString::SStrFromNum(255, sz, 8, 8), "@@@");
  EXPECT_STREQ(COsString::SMbsFromNum(LONG_MAX, sz, sizeof(sz), 10), "9223372036854775807");
  EXPECT_STREQ(COsString::SStrFromNum64(0x123456789abcLL, sz, sizeof(sz), 16), "123456789abc");
  EXPECT_STREQ(COsString::SStrFromNum64(LLONG_MIN, sz, sizeof(sz), 10), "-9223372036854775808");
}

TEST(COsStringNum, PtrToStr) {
  char sz[32];
  EXPECT_EQ(COsString::PtrToStr(sz, sizeof(sz), reinterpret_cast<void*>(0x1234)), 16);
  EXPECT_STREQ(sz, "0000000000001234");
  EXPECT_EQ(COsString::PtrToStr(sz, sizeof(sz), reinterpret_cast<void*>(UINTPTR_MAX)), 16);
  EXPECT_STREQ(sz, "ffffffffffffffff");
  EXPECT_EQ(COsString::PtrToStr(sz, sizeof(sz), nullptr), 16);
  EXPECT_STREQ(sz, "0000000000000000");
  EXPECT_EQ(COsString::PtrToStr(sz, 16, sz), 0);
  EXPECT_STREQ(sz, "");
}

TEST(COsStringNum, VersionToUserFormat) {
  struct {
    const char* version;
    const char* text;
  } const kCases[] = {
      {"04030000", "4.3"},     {"04030200", "4.3.2"}, {"4030201", "4.3.2.1"},      {"0", "0.0"},
      {"abc", "0.0"},          {"", "0.0"},           {"12345678", "12.34.56.78"}, {"10000001", "10.0.0.1"},
      {"99990000", "99.99"},   {"100", "0.0.1"},      {"7 trailing", "0.0.0.7"},
  };
  for (const auto& c : kCases) {
    char sz[32] = "zz";
    EXPECT_EQ(COsString::StrConvertVersionToUserFormat(sz, sizeof(sz), c.version),
              static_cast<int>(std::strlen(c.text)))
        << c.version;
    EXPECT_STREQ(sz, c.text) << c.version;
  }
}

// ---------------------------------------------------------------------------
// Text helpers.
// ---------------------------------------------------------------------------

TEST(COsStringText, Trim) {
  struct {
    const char* src;
    const char* text;
  } const kCases[] = {
      {"  a b  ", "a b"}, {"   ", ""}, {"", ""}, {"abc", "abc"}, {"\t\r\n x\v\f", "x"}, {"x ", "x"}, {" x", "x"},
  };
  for (const auto& c : kCases) {
    char sz[16] = "previous";
    COsString::SStrTrim(sz, sizeof(sz), c.src);
    EXPECT_STREQ(sz, c.text) << "'" << c.src << "'";
  }
  char sz[3] = "xy";
  COsString::SStrTrim(sz, sizeof(sz), "  abc  ");
  EXPECT_STREQ(sz, "xy");
  COsString::SStrTrim(sz, sizeof(sz), " \t ");
  EXPECT_STREQ(sz, "");
}

TEST(COsStringText, Whitespace) {
  const char* sz = " \t ab cd";
  EXPECT_EQ(COsString::StrFirstNonWhitespace(sz), sz + 3);
  EXPECT_EQ(COsString::StrFirstWhitespace(sz + 3), sz + 5);
  const char* szWord = "abc";
  EXPECT_EQ(COsString::StrFirstWhitespace(szWord), szWord + 3);
  EXPECT_EQ(COsString::StrFirstNonWhitespace("   ")[0], '\0');
}

TEST(COsStringText, Tokenise) {
  char sz[] = ",a,b;;c,";
  char* save = nullptr;
  std::vector<std::string> tokens;
  for (char* p = COsString::SStrTok(sz, ",;", &save); p; p = COsString::SStrTok(nullptr, ",;", &save)) {
    tokens.emplace_back(p);
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"a", "b", "c"}));

  wchar_t wsz[] = L"x y  z";
  wchar_t* wsave = nullptr;
  std::vector<std::wstring> wtokens;
  for (wchar_t* p = COsString::SWcsTok(wsz, L" ", &wsave); p; p = COsString::SWcsTok(nullptr, L" ", &wsave)) {
    wtokens.emplace_back(p);
  }
  EXPECT_EQ(wtokens, (std::vector<std::wstring>{L"x", L"y", L"z"}));
}

TEST(COsStringText, SStrLen) {
  const char sz[8] = {'a', 'b', 'c', '\0', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(COsString::SStrLen(sz, sizeof(sz)), 3u);
  EXPECT_EQ(COsString::SStrLen(sz, 4), 3u);
  EXPECT_EQ(COsString::SStrLen(sz, 3), static_cast<size_t>(-1));
  // An unterminated buffer shorter than the 16 bytes the message shows.
  Guarded<char> g(5, nullptr);
  EXPECT_EQ(COsString::SStrLen(g.Dst(), 5), static_cast<size_t>(-1));
  EXPECT_TRUE(g.CanariesIntact());
}

TEST(COsStringText, Utf8Len) {
  const char* szPrevious = std::setlocale(LC_CTYPE, nullptr);
  std::string previous = szPrevious ? szPrevious : "C";
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  EXPECT_EQ(COsString::SUtf8Len(""), 0u);
  EXPECT_EQ(COsString::SUtf8Len("abc"), 3u);
  EXPECT_EQ(COsString::SUtf8Len("h\xC3\xA9llo \xE2\x82\xAC"), 7u);
  EXPECT_EQ(COsString::SUtf8Len("bad \xFF byte"), 0u);
  EXPECT_EQ(COsString::SUtf8Len("cut \xE2\x82"), 0u);
  std::setlocale(LC_CTYPE, previous.c_str());
}

// ---------------------------------------------------------------------------
// Reading a line from standard input: a pipe replaces descriptor 0.
// ---------------------------------------------------------------------------

class COsStringGet : public testing::Test {
 protected:
  void Feed(const std::string& a_text) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], a_text.data(), a_text.size()), static_cast<ssize_t>(a_text.size()));
    close(fds[1]);
    m_saved = dup(STDIN_FILENO);
    ASSERT_GE(m_saved, 0);
    ASSERT_EQ(dup2(fds[0], STDIN_FILENO), STDIN_FILENO);
    close(fds[0]);
  }
  void TearDown() override {
    if (m_saved >= 0) {
      dup2(m_saved, STDIN_FILENO);
      close(m_saved);
    }
  }
  std::string Get(size_t a_size) {
    std::vector<char> buf(a_size, 'z');
    char* p = COsString::SStrGet(buf.data(), a_size);
    if (!p) return "<null:" + std::string(buf.data()) + ">";
    EXPECT_EQ(p, buf.data());
    return p;
  }
  int m_saved = -1;
};

TEST_F(COsStringGet, ReadsLinesAndStopsAtSize) {
  Feed("first line\nsecond\r\n0123456789\nend");
  EXPECT_EQ(Get(64), "first line");
  EXPECT_EQ(Get(64), "second");
  EXPECT_EQ(Get(64), "");  // the LF after CR ends an empty line
  EXPECT_EQ(Get(1), "");   // reads nothing
  EXPECT_EQ(Get(5), "0123");
  EXPECT_EQ(Get(5), "4567");
  EXPECT_EQ(Get(64), "89");
  EXPECT_EQ(Get(64), "<null:end>");  // end of input before a line end
  EXPECT_EQ(Get(64), "<null:>");
}

TEST_F(COsStringGet, EmptyInputIsNull) {
  Feed("");
  EXPECT_EQ(Get(8), "<null:>");
}

}  // namespace
