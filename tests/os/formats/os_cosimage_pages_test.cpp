// Multi-page TIFF files judged by libtiff's tools: three pages chained as
// tiffdump and tiffinfo read them, split by tiffsplit into pages equal to
// single-page files of the same data; kept-open pages and Close's cut; a
// job stopped before its last page; pages appended by another object; and
// Close waiting for a file another holds.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "os_cosfile.h"
#include "os_cosimage_testutil.h"
#include "os_cosimageimpl.h"

namespace imagetest {
namespace {

struct Page {
  const char* format;
  uint32_t width, height;
  uint32_t header;  // of its layout
};
const Page kPages[] = {{"bw", 13, 7, 222}, {"gray_8", 10, 9, 198}, {"rgb_24", 5, 4, 204}};
const EOSIMAGEMULTIPAGE kModes[] = {OS_IMAGEMULTIPAGE_FIRST, OS_IMAGEMULTIPAGE_MIDDLE, OS_IMAGEMULTIPAGE_LAST};

class MultiPage : public ImageTest {
 protected:
  EOSSTS WritePage(size_t a_page, EOSIMAGEMULTIPAGE a_mode, bool a_keepOpen = false) {
    const Page& page = kPages[a_page];
    m_raws[a_page] = MakeRaw(page.format, page.width, page.height, static_cast<unsigned>(a_page + 3));
    const std::string source = Source("page" + std::to_string(a_page) + ".raw", m_raws[a_page].bytes);
    return Create(m_file, Report("none", source, m_raws[a_page], m_raws[a_page].bytes.size()),
                  OS_IMAGEFILEFORMAT_TIFFMULTIPAGE, false, a_keepOpen, false, a_mode);
  }
  // The directory offsets of pages 0, 1 and 2 and the file's end.
  std::vector<uint32_t> Offsets() {
    std::vector<uint32_t> offsets{8};
    uint32_t end = 0;
    for (size_t page = 0; page < 3; ++page) {
      end = (page ? offsets.back() : 0) + kPages[page].header + static_cast<uint32_t>(m_raws[page].bytes.size());
      offsets.push_back(end);
    }
    return offsets;
  }
  std::string Directories(size_t a_count) {
    std::string text;
    const std::vector<uint32_t> offsets = Offsets();
    for (size_t page = 0; page < a_count; ++page) {
      const uint32_t next = page + 1 < a_count ? offsets[page + 1] : 0;
      char line[120];
      std::snprintf(line, sizeof line, "Directory %zu: offset %u (%#x) next %u (%#x)\n", page, offsets[page],
                    offsets[page], next, next);
      text += line;
    }
    return text;
  }
  std::string DumpedDirectories() {
    std::string text;
    for (const std::string& line : TiffDump(m_file))
      if (line.rfind("Directory", 0) == 0) text += line + "\n";
    return text;
  }
  const std::string m_file = RootPath("pages.tif");
  Raw m_raws[3];
};

// Pages of modes 2, 3 and 4: the first directory at 8, each next one at
// the end of the page before, the last pointing nowhere; every page split
// off is the single-page TIFF of its data (as one page of several).
TEST_F(MultiPage, ThreePagesChainAndSplitIntoSinglePages) {
  for (bool keepOpen : {false, true}) {
    SCOPED_TRACE(keepOpen ? "kept open" : "closed each time");
    for (size_t page = 0; page < 3; ++page) ASSERT_EQ(OS_STS_SUCCESS, WritePage(page, kModes[page], keepOpen));
    Image().Close(false, false);
    EXPECT_EQ(Directories(3), DumpedDirectories());
    EXPECT_EQ(Offsets()[3], FileSize(m_file));
    const std::string info = Tool({"tiffinfo", m_file});
    int directories = 0;
    for (size_t at = info.find("TIFF Directory at offset"); at != std::string::npos; at = info.find("TIFF Directory", at + 1))
      ++directories;
    EXPECT_EQ(3, directories);
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::Root()))
      if (entry.path().filename().string().rfind("split", 0) == 0) std::filesystem::remove(entry.path());
    Tool({"tiffsplit", m_file, RootPath("split")});
    const char* splits[] = {"splitaaa.tif", "splitaab.tif", "splitaac.tif"};
    for (size_t page = 0; page < 3; ++page) {
      const std::string single = RootPath("single.tif");
      ASSERT_EQ(OS_STS_SUCCESS, Create(single, Report("none", Source("single.raw", m_raws[page].bytes), m_raws[page],
                                                      m_raws[page].bytes.size()),
                                       OS_IMAGEFILEFORMAT_TIFF));
      Tool({"tiffset", "-s", "254", "2", single});
      EXPECT_EQ("", Tool({"tiffcmp", RootPath(splits[page]), single})) << page;
    }
    std::filesystem::remove(m_file);
  }
}

// Kept open, the page just written is the open image; Close cuts what
// another writer put behind the end.
TEST_F(MultiPage, KeptOpenPageIsTheOpenImageAndCloseCutsTheFile) {
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST, true));
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(1, OS_IMAGEMULTIPAGE_MIDDLE, true));
  EXPECT_EQ(m_raws[1].bytes, ImageData());
  std::string header(198, '\0');
  size_t got = 0;
  ASSERT_EQ(OS_STS_SUCCESS, Image().GetHeaderData(header.data(), header.size(), &got));
  EXPECT_EQ(ReadFile(m_file).substr(Offsets()[1], 198), header);
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(2, OS_IMAGEMULTIPAGE_LAST, true));
  const std::string written = ReadFile(m_file);
  std::ofstream(m_file, std::ios::app) << "bytes another writer appended";
  Image().Close(false, false);
  EXPECT_EQ(written, ReadFile(m_file));
}

// A job stopped before its last page: Close ends the chain at the last page
// written, where the file pointed past its end. A finished job is left as
// it is.
TEST_F(MultiPage, StoppedJobEndsItsChainAtClose) {
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST));
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(1, OS_IMAGEMULTIPAGE_MIDDLE));
  EXPECT_EQ(Offsets()[2], U32At(ReadFile(m_file), Offsets()[1] + 2 + 14 * 12));  // past the end
  Image().Close(false, false);
  EXPECT_EQ(Directories(2), DumpedDirectories());
  // The chain's end is in the file where it was started, whatever was
  // written after it.
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST));
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(1, OS_IMAGEMULTIPAGE_MIDDLE));
  const std::string single = RootPath("single.tif");
  ASSERT_EQ(OS_STS_SUCCESS, Create(single, Report("none", RootPath("page0.raw"), m_raws[0], 14), OS_IMAGEFILEFORMAT_TIFF));
  const std::string singleBytes = ReadFile(single);
  Image().Close(false, false);
  EXPECT_EQ(Directories(2), DumpedDirectories());
  EXPECT_EQ(singleBytes, ReadFile(single));

  for (size_t page = 0; page < 3; ++page) ASSERT_EQ(OS_STS_SUCCESS, WritePage(page, kModes[page]));
  const std::string finished = ReadFile(m_file);
  Image().Close(false, false);
  EXPECT_EQ(finished, ReadFile(m_file));
}

// A job stopped before its last page and the next job begun in another
// file without a Close in between: the stopped file's chain ends at its
// last page all the same, and the new file is not touched by that.
TEST_F(MultiPage, NextJobInAnotherFileEndsTheStoppedChain) {
  const std::string other = RootPath("next.tif");
  const Raw raw = MakeRaw("gray_8", 10, 9, 11);
  const std::string report = Report("none", Source("next.raw", raw.bytes), raw, raw.bytes.size());
  for (EOSIMAGEMULTIPAGE mode : {OS_IMAGEMULTIPAGE_FIRST, OS_IMAGEMULTIPAGE_LAST}) {
    for (bool keepOpen : {false, true}) {
      SCOPED_TRACE(std::to_string(mode) + (keepOpen ? " kept open" : ""));
      std::filesystem::remove(other);
      ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST, keepOpen));
      ASSERT_EQ(OS_STS_SUCCESS, WritePage(1, OS_IMAGEMULTIPAGE_MIDDLE, keepOpen));
      ASSERT_EQ(OS_STS_SUCCESS,
                Create(other, report, OS_IMAGEFILEFORMAT_TIFFMULTIPAGE, false, keepOpen, false, mode));
      EXPECT_EQ(Directories(2), DumpedDirectories());
      EXPECT_EQ(Offsets()[2], FileSize(m_file));
      Image().Close(false, false);
      EXPECT_NE(std::string::npos, Tool({"tiffdump", other}).find("Directory 0: offset 8 (0x8) next 0 (0)"));
      EXPECT_EQ(Directories(2), DumpedDirectories());
    }
  }
}

// Pages the object did not start: a last page alone is a file of one page;
// a middle page goes behind what the file holds.
TEST_F(MultiPage, PagesOfFilesThisObjectDidNotStart) {
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_LAST));
  EXPECT_EQ(Directories(1), DumpedDirectories());
  EXPECT_EQ(222 + m_raws[0].bytes.size(), static_cast<size_t>(FileSize(m_file)));
  Image().Close(false, false);

  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST));
  m_image.reset();  // the job goes on in another object
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(1, OS_IMAGEMULTIPAGE_MIDDLE));
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(2, OS_IMAGEMULTIPAGE_LAST));
  EXPECT_EQ(Directories(3), DumpedDirectories());
}

// Modes and files the writer refuses.
TEST_F(MultiPage, RefusesUnknownModesAndMissingFiles) {
  EXPECT_EQ(OS_STS_FAIL, WritePage(0, static_cast<EOSIMAGEMULTIPAGE>(7)));
  EXPECT_TRUE(Logged("Unrecognized a_eosimagemultipage...7"));
  EXPECT_EQ(OS_STS_FAIL, WritePage(1, OS_IMAGEMULTIPAGE_MIDDLE));
  EXPECT_TRUE(Logged("Failed to open file...<" + m_file + ">"));
  EXPECT_FALSE(testsupport::FileExists(m_file));
  // Its file gone between two pages.
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST));
  std::filesystem::remove(m_file);
  EXPECT_EQ(OS_STS_FAIL, WritePage(1, OS_IMAGEMULTIPAGE_LAST));
  EXPECT_TRUE(Logged("OsMemSharedAlloc failed...<" + m_file + ">"));
}

// Close waits for a file another holds (an exclusive lock on its own open
// file), and gives up after its time.
TEST_F(MultiPage, CloseWaitsForAFileAnotherThreadHoldsAndGivesUp) {
  COsImageImpl::SetCloseWait(400, 10);
  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST));
  COsFile holder;
  ASSERT_EQ(OS_STS_SUCCESS, holder.Open(m_file.c_str(), OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_EXCLUSIVE));
  std::thread release([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    holder.Close();
  });
  Image().Close(false, false);
  release.join();
  EXPECT_TRUE(Logged("COsImageImpl::Close: Had to wait to truncate file..."));
  EXPECT_EQ(Directories(1), DumpedDirectories());

  ASSERT_EQ(OS_STS_SUCCESS, WritePage(0, OS_IMAGEMULTIPAGE_FIRST));
  ASSERT_EQ(OS_STS_SUCCESS, holder.Open(m_file.c_str(), OS_FILEOPEN_EXISTING, OS_FILEACCESS_READ, OS_FILESHARE_EXCLUSIVE));
  Image().Close(false, false);
  EXPECT_TRUE(Logged("COsImageImpl::Close: Failed to truncate file..."));
  holder.Close();
  COsImageImpl::SetCloseWait(0, 0);
}

}  // namespace
}  // namespace imagetest
