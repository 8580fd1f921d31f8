// Text conversions of COsLocale, judged against Python's codecs for valid
// texts, and on bad input and at every destination size in buffers of the
// exact size (so that AddressSanitizer sees any access past them).
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "log_capture.h"
#include "os_coslocale.h"
#include "test_support.h"

namespace {

using U32 = std::vector<uint32_t>;
using U16 = std::vector<uint16_t>;

// A text in a heap block of exactly its length plus the terminator.
template <typename T>
std::unique_ptr<T[]> Exact(const std::vector<T>& a_v) {
  std::unique_ptr<T[]> p(new T[a_v.size() + 1]);
  for (size_t ii = 0; ii < a_v.size(); ++ii) p[ii] = a_v[ii];
  p[a_v.size()] = 0;
  return p;
}

std::unique_ptr<char[]> Exact(const std::string& a_s) { return Exact(std::vector<char>(a_s.begin(), a_s.end())); }

std::unique_ptr<wchar_t[]> ExactWide(const U32& a_v) {
  return Exact(std::vector<wchar_t>(a_v.begin(), a_v.end()));
}

// The elements before the terminator (or all when a_sizet is given).
template <typename T>
std::vector<uint32_t> Units(const T* a_p, size_t a_sizet) {
  std::vector<uint32_t> v;
  for (size_t ii = 0; ii < a_sizet && a_p[ii]; ++ii) v.push_back(static_cast<uint32_t>(a_p[ii]));
  return v;
}

std::string Hex(const std::string& a_s) {
  std::string out;
  char sz[4];
  for (unsigned char c : a_s) {
    std::snprintf(sz, sizeof(sz), "%02x", c);
    out += sz;
  }
  return out;
}

// Valid texts as code points: one- to four-byte sequences, the edges of
// each length, U+FFFF and U+10FFFF, and pairs in UTF-16.
const std::vector<U32> s_validtexts = {
    {},
    {'a'},
    {'H', 'e', 'l', 'l', 'o', ' ', 0x7F},
    {0x80, 0xE9, 0x7FF},
    {0x800, 0x20AC, 0xD7FF, 0xE000, 0xFFFD, 0xFFFF},
    {0x10000, 0x1F600, 0x10FFFF},
    {'a', 0xE9, 0x20AC, 0x1F600, 'z'},
    {0x5E9, 0x5DC, 0x5D5, 0x5DD, ' ', 0x4E2D, 0x6587, 0x1D11E},
};

struct Reference {
  std::string utf8;
  U16 utf16;
};

// Python encodes every text: UTF-8 bytes and UTF-16 units, in hexadecimal.
std::vector<Reference> AskPython() {
  std::vector<std::string> args;
  for (const auto& text : s_validtexts) {
    std::string arg;
    for (uint32_t u : text) arg += std::to_string(u) + ",";
    args.push_back(arg.empty() ? "-" : arg);
  }
  std::string out = testsupport::RunPython(
      "import sys, struct\n"
      "for arg in sys.argv[1:]:\n"
      "    s = '' if arg == '-' else ''.join(chr(int(c)) for c in arg.rstrip(',').split(','))\n"
      "    b = s.encode('utf-16-le')\n"
      "    units = struct.unpack('<%dH' % (len(b) // 2), b)\n"
      "    print('h' + s.encode('utf-8').hex() + ' u' + ','.join(str(u) for u in units))\n",
      args);
  std::vector<Reference> refs;
  for (const auto& line : testsupport::Lines(out)) {
    std::istringstream in(line);
    std::string hex, units;
    in >> hex >> units;
    Reference ref;
    for (size_t ii = 1; ii + 1 < hex.size(); ii += 2) {
      ref.utf8 += static_cast<char>(std::stoi(hex.substr(ii, 2), nullptr, 16));
    }
    std::istringstream unitsin(units.substr(1));
    std::string unit;
    while (std::getline(unitsin, unit, ',')) ref.utf16.push_back(static_cast<uint16_t>(std::stoul(unit)));
    refs.push_back(ref);
  }
  return refs;
}

TEST(OsLocaleConvert, AgreesWithPythonOnValidTexts) {
  auto refs = AskPython();
  ASSERT_EQ(refs.size(), s_validtexts.size());
  for (size_t ii = 0; ii < refs.size(); ++ii) {
    SCOPED_TRACE("text " + std::to_string(ii) + ": " + Hex(refs[ii].utf8));
    const U32& text = s_validtexts[ii];
    const Reference& ref = refs[ii];
    const size_t sizet = 64;

    std::vector<wchar_t> wide(sizet, L'x');
    EXPECT_EQ(COsLocale::CopyUnicodeFromUtf8(wide.data(), sizet, Exact(ref.utf8).get()), text.size());
    EXPECT_EQ(Units(wide.data(), sizet), text);

    std::vector<uint16_t> utf16(sizet, 'x');
    EXPECT_EQ(COsLocale::CopyUnicode2FromUtf8(utf16.data(), sizet, Exact(ref.utf8).get()), ref.utf16.size());
    EXPECT_EQ(Units(utf16.data(), sizet), U32(ref.utf16.begin(), ref.utf16.end()));

    std::vector<char> utf8(sizet, 'x');
    EXPECT_EQ(COsLocale::CopyUtf8FromUnicode(utf8.data(), sizet, ExactWide(text).get(), -1), text.size());
    EXPECT_EQ(std::string(utf8.data()), ref.utf8);
    // With a length: that many characters, no terminator needed in the source.
    std::vector<wchar_t> unterminated(text.begin(), text.end());
    std::fill(utf8.begin(), utf8.end(), 'x');
    EXPECT_EQ(COsLocale::CopyUtf8FromUnicode(utf8.data(), sizet, unterminated.data(), static_cast<long>(text.size())),
              text.size());
    EXPECT_EQ(std::string(utf8.data()), ref.utf8);

    // Up to the terminator the UTF-16 form counts the terminator as well.
    std::fill(utf8.begin(), utf8.end(), 'x');
    EXPECT_EQ(COsLocale::CopyUtf8FromUnicode2(utf8.data(), sizet, Exact(ref.utf16).get(), -1), ref.utf16.size() + 1);
    EXPECT_EQ(std::string(utf8.data()), ref.utf8);
    std::fill(utf8.begin(), utf8.end(), 'x');
    EXPECT_EQ(COsLocale::CopyUtf8FromUnicode2(utf8.data(), sizet, ref.utf16.data(), static_cast<long>(ref.utf16.size())),
              ref.utf16.size());
    EXPECT_EQ(std::string(utf8.data()), ref.utf8);
  }
}

// Bad UTF-8: each stops at the bad sequence with the bytes consumed before
// it, a terminated prefix, and no read past the source's terminator.
struct BadUtf8 {
  const char* szName;
  std::string text;
  size_t sizetConsumed;
  U32 prefix;
};

void PrintTo(const BadUtf8& a_c, std::ostream* a_pos) { *a_pos << a_c.szName << " " << Hex(a_c.text); }

class OsLocaleBadUtf8 : public ::testing::TestWithParam<BadUtf8> {};

TEST_P(OsLocaleBadUtf8, StopsAtTheBadSequence) {
  const BadUtf8& c = GetParam();
  testsupport::LogCapture log;
  auto src = Exact(c.text);
  for (size_t sizet : {static_cast<size_t>(16), c.text.size() * 4 + 2}) {
    std::unique_ptr<wchar_t[]> wide(new wchar_t[sizet]);
    std::fill(wide.get(), wide.get() + sizet, L'x');
    EXPECT_EQ(COsLocale::CopyUnicodeFromUtf8(wide.get(), sizet, src.get()), c.sizetConsumed);
    EXPECT_EQ(Units(wide.get(), sizet), c.prefix);
    EXPECT_EQ(wide[c.prefix.size()], L'\0');

    std::unique_ptr<uint16_t[]> utf16(new uint16_t[sizet]);
    std::fill(utf16.get(), utf16.get() + sizet, 'x');
    EXPECT_EQ(COsLocale::CopyUnicode2FromUtf8(utf16.get(), sizet, src.get()), c.sizetConsumed);
    EXPECT_EQ(Units(utf16.get(), sizet), c.prefix);  // the prefixes hold no pairs
  }
  EXPECT_TRUE(log.Contains("Illegal character..."));
  EXPECT_FALSE(log.Contains("Buffer overflow..."));
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, OsLocaleBadUtf8,
    ::testing::Values(BadUtf8{"TruncatedAtEnd", "a\xE0", 1, {'a'}},
                      BadUtf8{"TruncatedTwoOfThree", "ab\xE2\x82", 2, {'a', 'b'}},
                      BadUtf8{"TruncatedThreeOfFour", "\xF0\x9F\x98", 0, {}},
                      BadUtf8{"TruncatedTwoByte", "\xC3", 0, {}},
                      BadUtf8{"LoneContinuationFirst", "\x80", 0, {}},
                      BadUtf8{"LoneContinuationLater", "ab\xBF" "cd", 2, {'a', 'b'}},
                      BadUtf8{"WrongContinuation", "\xC3\x28", 0, {}},
                      BadUtf8{"WrongThirdByte", "x\xE2\x82\x28", 1, {'x'}},
                      BadUtf8{"OverlongSlash", "\xC0\xAF", 0, {}},
                      BadUtf8{"OverlongC1", "\xC1\xBF", 0, {}},
                      BadUtf8{"OverlongThree", "\xE0\x80\xAF", 0, {}},
                      BadUtf8{"OverlongFour", "\xF0\x8F\xBF\xBF", 0, {}},
                      BadUtf8{"Surrogate", "\xC3\xA9\xED\xA0\x80", 2, {0xE9}},
                      BadUtf8{"LowSurrogate", "\xED\xBF\xBF", 0, {}},
                      BadUtf8{"BeyondUnicode", "\xF4\x90\x80\x80", 0, {}},
                      BadUtf8{"LeadF5", "\xF5\x80\x80\x80", 0, {}},
                      BadUtf8{"FiveBytes", "\xF8\x88\x80\x80\x80", 0, {}},
                      BadUtf8{"SixBytes", "\xFC\x84\x80\x80\x80\x80", 0, {}},
                      BadUtf8{"ByteFE", "\xFE", 0, {}},
                      BadUtf8{"ByteFF", "a\xFF", 1, {'a'}}),
    [](const ::testing::TestParamInfo<BadUtf8>& info) { return std::string(info.param.szName); });

TEST(OsLocaleConvert, EncoderRefusesWhatIsNotUnicode) {
  testsupport::LogCapture log;
  struct Case {
    U32 text;
    size_t sizetConverted;
    std::string prefix;
  } cases[] = {
      {{0xD800}, 0, ""},
      {{'a', 0xDFFF}, 1, "a"},
      {{0x110000}, 0, ""},
      {{'a', 'b', 0x7FFFFFF}, 2, "ab"},
      {{0xFFFFFFFF}, 0, ""},  // a negative wchar_t
      {{0xE9, 0x80000000}, 1, "\xC3\xA9"},
  };
  for (const Case& c : cases) {
    char sz[16];
    std::memset(sz, 'x', sizeof(sz));
    EXPECT_EQ(COsLocale::CopyUtf8FromUnicode(sz, sizeof(sz), ExactWide(c.text).get(), -1), c.sizetConverted);
    EXPECT_EQ(std::string(sz), c.prefix);
  }
  EXPECT_TRUE(log.Contains("Illegal character..."));
  EXPECT_FALSE(log.Contains("Buffer overflow..."));
}

TEST(OsLocaleConvert, Utf16EncoderRefusesLoneSurrogates) {
  struct Case {
    U16 units;
    long lLength;
    size_t sizetConverted;
    std::string prefix;
  } cases[] = {
      {{0xD800}, -1, 0, ""},                    // high, then the terminator
      {{0xD83D, 'a'}, -1, 0, ""},               // high, then no low
      {{'a', 0xDC00}, -1, 1, "a"},              // low alone
      {{0xDE00, 0xD83D}, -1, 0, ""},            // pair in the wrong order
      {{0xD83D, 0xDE00}, 1, 0, ""},             // the low is beyond the length
      {{0xD83D, 0xDE00}, 2, 2, "\xF0\x9F\x98\x80"},
      {{'a', 'b'}, 1, 1, "a"},
      {{'a', 'b'}, 0, 0, ""},
  };
  for (const Case& c : cases) {
    char sz[16];
    std::memset(sz, 'x', sizeof(sz));
    EXPECT_EQ(COsLocale::CopyUtf8FromUnicode2(sz, sizeof(sz), Exact(c.units).get(), c.lLength), c.sizetConverted);
    EXPECT_EQ(std::string(sz), c.prefix);
  }
}

// Every destination size from 1 up for "a", U+00E9, U+20AC, U+1F600 (1 to 4
// bytes each). Each character needs room for its units (decoders: as many as
// its bytes) plus the terminator; a decoder that stops answers the bytes
// consumed, an encoder the source elements converted.
TEST(OsLocaleConvert, DestinationSizesAtEachBoundary) {
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const U32 text = {'a', 0xE9, 0x20AC, 0x1F600};
  const U16 utf16 = {'a', 0xE9, 0x20AC, 0xD83D, 0xDE00};
  auto src8 = Exact(utf8);
  auto src32 = ExactWide(text);
  auto src16 = Exact(utf16);
  // Characters that fit for each size, decoding and encoding.
  const size_t decodedFit[] = {0, 0, 1, 1, 2, 2, 3, 3, 4};          // sizes 0..8+
  const size_t encodedFit[] = {0, 0, 1, 1, 2, 2, 2, 3, 3, 3, 3, 4};  // sizes 0..11+
  const size_t consumed[] = {0, 1, 3, 6, 10};
  const size_t utf16Units[] = {0, 1, 2, 3, 5};
  const size_t bytes[] = {0, 1, 3, 6, 10};
  for (size_t sizet = 1; sizet <= 13; ++sizet) {
    SCOPED_TRACE("size " + std::to_string(sizet));
    size_t sizetDecoded = decodedFit[std::min<size_t>(sizet, 8)];
    size_t sizetEncoded = encodedFit[std::min<size_t>(sizet, 11)];

    std::unique_ptr<wchar_t[]> wide(new wchar_t[sizet]);
    size_t sizetResult = COsLocale::CopyUnicodeFromUtf8(wide.get(), sizet, src8.get());
    EXPECT_EQ(sizetResult, sizetDecoded == 4 ? 4 : consumed[sizetDecoded]);
    EXPECT_EQ(Units(wide.get(), sizet), U32(text.begin(), text.begin() + sizetDecoded));

    std::unique_ptr<uint16_t[]> units(new uint16_t[sizet]);
    sizetResult = COsLocale::CopyUnicode2FromUtf8(units.get(), sizet, src8.get());
    EXPECT_EQ(sizetResult, sizetDecoded == 4 ? 5 : consumed[sizetDecoded]);
    EXPECT_EQ(Units(units.get(), sizet), U32(utf16.begin(), utf16.begin() + utf16Units[sizetDecoded]));

    std::unique_ptr<char[]> out(new char[sizet]);
    EXPECT_EQ(COsLocale::CopyUtf8FromUnicode(out.get(), sizet, src32.get(), -1), sizetEncoded);
    EXPECT_EQ(std::string(out.get()), utf8.substr(0, bytes[sizetEncoded]));

    // UTF-16: the terminator is converted and counted once all fits.
    sizetResult = COsLocale::CopyUtf8FromUnicode2(out.get(), sizet, src16.get(), -1);
    EXPECT_EQ(sizetResult, sizetEncoded == 4 ? 6 : utf16Units[sizetEncoded]);
    EXPECT_EQ(std::string(out.get()), utf8.substr(0, bytes[sizetEncoded]));
  }
}

TEST(OsLocaleConvert, TwoByteCharacterNeedsThreeBytes) {
  testsupport::LogCapture log;
  const wchar_t wsz[] = {0xE9, 0};
  char sz3[3];
  EXPECT_EQ(COsLocale::CopyUtf8FromUnicode(sz3, sizeof(sz3), wsz, -1), 1u);
  EXPECT_EQ(std::string(sz3, 3), std::string("\xC3\xA9\0", 3));
  char sz2[2] = {'x', 'x'};
  EXPECT_EQ(COsLocale::CopyUtf8FromUnicode(sz2, sizeof(sz2), wsz, -1), 0u);
  EXPECT_EQ(std::string(sz2, 2), std::string("\0\0", 2));
  EXPECT_TRUE(log.Contains("Buffer overflow..."));
  EXPECT_FALSE(log.Contains("Illegal character..."));
}

TEST(OsLocaleConvert, UnusableArguments) {
  wchar_t wsz[4] = {L'x', L'x', L'x', L'x'};
  char sz[4] = {'x', 'x', 'x', 'x'};
  uint16_t au16[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(COsLocale::CopyUnicodeFromUtf8(nullptr, 4, "a"), 0u);
  EXPECT_EQ(COsLocale::CopyUnicodeFromUtf8(wsz, 0, "a"), 0u);
  EXPECT_EQ(wsz[0], L'x');  // size 0: nothing written
  EXPECT_EQ(COsLocale::CopyUnicodeFromUtf8(wsz, 4, nullptr), 0u);
  EXPECT_EQ(wsz[0], L'\0');
  EXPECT_EQ(COsLocale::CopyUnicode2FromUtf8(au16, 4, nullptr), 0u);
  EXPECT_EQ(au16[0], 0);
  EXPECT_EQ(COsLocale::CopyUtf8FromUnicode(sz, 4, nullptr, -1), 0u);
  EXPECT_EQ(COsLocale::CopyUtf8FromUnicode2(nullptr, 4, au16, -1), 0u);
  EXPECT_EQ(COsLocale::CopyUnicodeFromMultibyte(wsz, 0, "a"), 0u);
  EXPECT_EQ(COsLocale::CopyMultibyteFromUnicode(sz, 4, nullptr), 0u);
  EXPECT_EQ(COsLocale::CopyStringFromUtf8(sz, 4, nullptr), 0u);
  EXPECT_EQ(COsLocale::CopyMultibyteFromString(nullptr, 4, "a"), 0u);
}

// The platform encoding follows the C library's LC_CTYPE; C.UTF-8 exists
// on every machine this runs on.
TEST(OsLocaleConvert, MultibyteFollowsTheCLibrary) {
  testsupport::LogCapture log;
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const U32 text = {'a', 0xE9, 0x20AC, 0x1F600};
  wchar_t wsz[8];
  EXPECT_EQ(COsLocale::CopyUnicodeFromMultibyte(wsz, 8, utf8.c_str()), 5u);
  EXPECT_EQ(Units(wsz, 8), text);
  EXPECT_EQ(COsLocale::CopyUnicodeFromString(wsz, 8, utf8.c_str()), 5u);
  // At most size - 1 characters, terminated.
  EXPECT_EQ(COsLocale::CopyUnicodeFromMultibyte(wsz, 3, utf8.c_str()), 3u);
  EXPECT_EQ(Units(wsz, 3), U32({'a', 0xE9}));
  EXPECT_TRUE(log.Contains("Buffer overflow..."));  // the C library cuts silently
  // An empty source: 1 for the multibyte form, 0 for the string form.
  EXPECT_EQ(COsLocale::CopyUnicodeFromMultibyte(wsz, 8, ""), 1u);
  EXPECT_EQ(COsLocale::CopyUnicodeFromString(wsz, 8, ""), 0u);
  EXPECT_EQ(COsLocale::CopyUnicodeFromMultibyte(wsz, 8, "a\xE0"), 0u);

  char sz[16];
  auto wide = ExactWide(text);
  EXPECT_EQ(COsLocale::CopyMultibyteFromUnicode(sz, sizeof(sz), wide.get()), 11u);
  EXPECT_EQ(std::string(sz), utf8);
  EXPECT_EQ(COsLocale::CopyStringFromUnicode(sz, sizeof(sz), wide.get()), 11u);
  // Whole characters only: "a" and the two bytes of U+00E9 fit in 4.
  EXPECT_EQ(COsLocale::CopyMultibyteFromUnicode(sz, 4, wide.get()), 4u);
  EXPECT_EQ(std::string(sz), "a\xC3\xA9");
  EXPECT_EQ(COsLocale::CopyMultibyteFromUnicode(sz, 3, wide.get()), 2u);
  EXPECT_EQ(std::string(sz), "a");
  const wchar_t wszEmpty[] = {0};
  EXPECT_EQ(COsLocale::CopyMultibyteFromUnicode(sz, sizeof(sz), wszEmpty), 1u);
  EXPECT_EQ(COsLocale::CopyStringFromUnicode(sz, sizeof(sz), wszEmpty), 0u);
  const wchar_t wszSurrogate[] = {'a', 0xD800, 0};
  EXPECT_EQ(COsLocale::CopyMultibyteFromUnicode(sz, sizeof(sz), wszSurrogate), 0u);
}

TEST(OsLocaleConvert, MultibyteInTheCLocaleIsAscii) {
  testsupport::LogCapture log;
  ASSERT_NE(std::setlocale(LC_CTYPE, "C"), nullptr);
  wchar_t wsz[8];
  EXPECT_EQ(COsLocale::CopyUnicodeFromMultibyte(wsz, 8, "abc"), 4u);
  EXPECT_EQ(Units(wsz, 8), U32({'a', 'b', 'c'}));
  char sz[8];
  const wchar_t wszE9[] = {'a', 0xE9, 0};
  EXPECT_EQ(COsLocale::CopyMultibyteFromUnicode(sz, sizeof(sz), wszE9), 0u);
  EXPECT_TRUE(log.Contains("wcstombs failed <a\xC3\xA9>"));
  EXPECT_EQ(COsLocale::CopyUnicodeFromMultibyte(wsz, 8, "a\xC3\xA9"), 0u);
  EXPECT_TRUE(log.Contains("mbstowcs failed <a\xC3\xA9>"));
}

TEST(OsLocaleConvert, PlainCopies) {
  using Fn = size_t (*)(char*, size_t, const char*);
  struct Case {
    Fn fn;
    bool blEmptyGivesZero;
  } cases[] = {
      {COsLocale::CopyStringFromUtf8, true},
      {COsLocale::CopyUtf8FromString, true},
      {COsLocale::CopyStringFromMultibyte, false},
      {COsLocale::CopyMultibyteFromString, false},
  };
  for (const Case& c : cases) {
    char sz[4];
    EXPECT_EQ(c.fn(sz, sizeof(sz), "abc"), 4u);
    EXPECT_STREQ(sz, "abc");
    // Too long: not copied, and reported as a failure.
    EXPECT_EQ(c.fn(sz, sizeof(sz), "abcd"), 0u);
    EXPECT_STREQ(sz, "");
    EXPECT_EQ(c.fn(sz, sizeof(sz), ""), c.blEmptyGivesZero ? 0u : 1u);
    EXPECT_STREQ(sz, "");
    char sz1[1] = {'x'};
    EXPECT_EQ(c.fn(sz1, 1, "a"), 0u);
    EXPECT_EQ(sz1[0], '\0');
  }
}

}  // namespace
