// Save (the open image to another file: header-less bitmaps get their file
// header, opened files come out byte for byte, a failure leaves no
// half-written target) and the reading of bitmaps by Open (ours, netpbm's,
// and bitmaps it cannot read).
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "os_cosimage_testutil.h"

namespace imagetest {
namespace {

class SaveImage : public ImageTest {
 protected:
  std::string Write(const Raw& a_raw, EOSIMAGEFILEFORMAT a_form, const std::string& a_name, bool a_keepOpen = false) {
    const std::string out = RootPath(a_name);
    EXPECT_EQ(OS_STS_SUCCESS, Create(out, Report("none", Source("source.raw", a_raw.bytes), a_raw, a_raw.bytes.size()),
                                     a_form, false, a_keepOpen));
    return out;
  }
};

// Forms 7 and 8 saved are forms 5 and 6; form 9 cannot be saved.
TEST_F(SaveImage, HeaderlessBitmapsSaveAsFullOnes) {
  for (const char* format : {"bw", "gray_8", "rgb_24"}) {
    SCOPED_TRACE(format);
    const Raw raw = MakeRaw(format, 9, 5);
    const struct {
      EOSIMAGEFILEFORMAT kept, full;
    } forms[] = {{OS_IMAGEFILEFORMAT_DIB, OS_IMAGEFILEFORMAT_BMP},
                 {OS_IMAGEFILEFORMAT_DIBTOPDOWN, OS_IMAGEFILEFORMAT_BMPTOPDOWN}};
    for (const auto& form : forms) {
      const std::string full = ReadFile(Write(raw, form.full, "full.bmp"));
      Write(raw, form.kept, "kept.dib", true);
      ASSERT_EQ(OS_STS_SUCCESS, Image().Save(RootPath("saved.bmp").c_str()));
      EXPECT_EQ(full, ReadFile(RootPath("saved.bmp")));
      EXPECT_NE("", PnmPixels(Tool({"bmptopnm", RootPath("saved.bmp")})));
    }
    Write(raw, OS_IMAGEFILEFORMAT_RAWBITMAP, "kept.rawbmp", true);
    EXPECT_EQ(OS_STS_FAIL, Image().Save(RootPath("raw.bmp").c_str()));
    EXPECT_TRUE(Logged("Unsupported a_eosimagefileformat...9"));
    EXPECT_FALSE(testsupport::FileExists(RootPath("raw.bmp")));
  }
}

// An opened BMP, JFIF or TIFF saves byte for byte, in pieces larger and
// smaller than the file.
TEST_F(SaveImage, OpenedFilesSaveUnchanged) {
  Set(OS_CFGTAG_FORCEFILECHUNKSIZE, "1000");
  const Raw raw = MakeRaw("rgb_24", 100, 30);  // 9000 bytes of data
  const std::string files[] = {Write(raw, OS_IMAGEFILEFORMAT_BMP, "opened.bmp"),
                               Write(raw, OS_IMAGEFILEFORMAT_TIFF, "opened.tif"), Cjpeg(raw, "opened.jpg")};
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    ASSERT_NE("", Open(file));
    ASSERT_EQ(OS_STS_SUCCESS, Image().Save(RootPath("saved").c_str()));
    EXPECT_EQ("", Tool({"cmp", file, RootPath("saved")}));
  }
}

// Bitmaps of ours and of netpbm's ppmtobmp read back into their
// descriptions. ppmtobmp leaves pixels per metre, colours used and the
// image size 0: with the first two filled in, the lines give the size.
TEST_F(SaveImage, OpenDescribesBitmaps) {
  for (const char* format : {"bw", "gray_8", "rgb_24"}) {
    for (EOSIMAGEFILEFORMAT form : {OS_IMAGEFILEFORMAT_BMP, OS_IMAGEFILEFORMAT_BMPTOPDOWN}) {
      SCOPED_TRACE(std::string(format) + " form " + std::to_string(form));
      const Raw raw = MakeRaw(format, 11, 6);
      const std::string bmp = Write(raw, form, "ours.bmp");
      const size_t image = 6 * ((LineBytes(format, 11) + 3) & ~size_t{3});
      EOSIMAGEFILEFORMAT found = OS_IMAGEFILEFORMAT_NONE;
      EXPECT_EQ(Description("none", bmp, format, 44, 24, image, 300), Open(bmp, nullptr, &found));
      EXPECT_EQ(OS_IMAGEFILEFORMAT_BMP, found);
      EXPECT_EQ(ReadFile(bmp).substr(ReadFile(bmp).size() - image), ImageData());
    }
  }
  struct Case {
    const char* format;
    const char* bpp;
    uint32_t colours;
    size_t image;  // 5 x 3 lines, padded
  } cases[] = {{"bw", "1", 2, 12}, {"gray_8", "8", 256, 24}, {"rgb_24", "24", 0, 48}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("ppmtobmp ") + c.format);
    const Raw raw = MakeRaw(c.format, 5, 3);
    std::string bmp = Tool({"ppmtobmp", "-bpp", c.bpp, Source("netpbm.pnm", Pnm(raw))});
    PutU32At(bmp, 46, c.colours);
    ExpectOpenRefused("netpbm.bmp", bmp, "pixels per metre is zero...0", OS_IMAGEFILEFORMAT_BMP);
    PutU32At(bmp, 38, 11811);  // 300 dpi as most writers round it
    const std::string path = Source("netpbm.bmp", bmp);
    EXPECT_EQ(Description("none", path, c.format, 20, 12, c.image, 300), Open(path));
    EXPECT_EQ(bmp.substr(bmp.size() - c.image), ImageData());
  }
}

// Bitmaps Open refuses, with their log lines.
TEST_F(SaveImage, OpenRefusesBitmapsItCannotRead) {
  const std::string bmp = ReadFile(Write(MakeRaw("gray_8", 8, 4), OS_IMAGEFILEFORMAT_BMP, "good.bmp"));
  auto patched = [&](size_t offset, uint32_t value) {
    std::string bytes = bmp;
    PutU32At(bytes, offset, value);
    return bytes;
  };
  struct Case {
    const char* name;
    std::string bytes;
    const char* logged;
  } cases[] = {
      {"rows top down", patched(22, static_cast<uint32_t>(-4)), "unrecognized bmp size...8 x -4"},
      {"16 colours used", patched(46, 16), "unrecognized colors-used...16"},
      {"bit count of another", patched(28, 4), "unrecognized bmp bit count...4"},
      {"compressed", patched(30, 1), "unrecognized bmp bit count...8 compression...1"},
      {"no pixels per metre", patched(38, 0), "pixels per metre is zero...0"},
      {"data offset past the end", patched(10, 1200), "header and image go beyond end of file...1200 + 32 > 1110"},
      {"image size past the end", patched(34, 33), "header and image go beyond end of file...1078 + 33 > 1110"},
      {"cut in the info header", bmp.substr(0, 40), "bmp header is cut short...40"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectOpenRefused("bad.bmp", c.bytes, c.logged, OS_IMAGEFILEFORMAT_BMP);
  }
}

// A failing Save leaves neither a half-written target nor its temporary,
// and an earlier target as it was; a full disk is simulated by a file size
// limit in a child process.
TEST_F(SaveImage, FailedSaveLeavesNoHalfWrittenTarget) {
  EXPECT_EQ(OS_STS_FAIL, Image().Save(RootPath("nothing.bmp").c_str()));
  EXPECT_TRUE(Logged("must Create/Open before Save..."));
  const std::string opened = Write(MakeRaw("rgb_24", 200, 40), OS_IMAGEFILEFORMAT_BMP, "opened.bmp");
  ASSERT_NE("", Open(opened));
  EXPECT_EQ(OS_STS_FAIL, Image().Save(nullptr));
  EXPECT_EQ(OS_STS_FAIL, Image().Save(RootPath("missing/dir/saved.bmp").c_str()));
  EXPECT_TRUE(Logged("Failed to Open file..."));

  const std::string target = RootPath("target.bmp");
  WriteFile(target, "the earlier target");
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit{10000, 10000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const EOSSTS status = Image().Save(target.c_str());
    _exit(status == OS_STS_FAIL && Logged("Failed to Write file...") ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(pid, waitpid(pid, &status, 0));
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
  EXPECT_EQ(0, WEXITSTATUS(status));
  EXPECT_EQ("the earlier target", ReadFile(target));
  for (const auto& entry : std::filesystem::directory_iterator(testsupport::Root()))
    EXPECT_EQ(std::string::npos, entry.path().filename().string().find(".osisave")) << entry.path();
  ASSERT_EQ(OS_STS_SUCCESS, Image().Save(target.c_str()));
  EXPECT_EQ(ReadFile(opened), ReadFile(target));
}

}  // namespace
}  // namespace imagetest
