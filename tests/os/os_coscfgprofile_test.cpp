// The ini engine: reads, changes and the flush layout, the eight-file cache
// with its eviction and reload, Python's configparser as an independent
// reader and writer, bad files, the constant-file shortcuts and the registry.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "os_coscfg.h"
#include "log_capture.h"
#include "os_coscfgprofile.h"
#include "test_support.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::RunPython;
using testsupport::WriteFile;

class OsCfgProfile : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeCfg();
    // After the store: its load would point the log at the store's own file.
    log_ = std::make_unique<testsupport::LogCapture>();
    std::filesystem::create_directories(RootPath("ini"));
  }
  void TearDown() override {
    cfg_.reset();
    log_.reset();
  }
  bool Logged(const std::string& text) { return log_->Contains(text); }
  void MakeCfg() {
    cfg_.reset();
    cfg_ = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, nullptr, false, nullptr);
  }
  static std::string File(const std::string& name) { return RootPath("ini/" + name); }
  // The value, or "<status>" when the read fails.
  std::string Read(const std::string& file, const char* section, const char* key, size_t size = 256) {
    std::vector<char> buffer(size, 'j');
    EOSSTS sts = cfg_->ProfileGet(file.c_str(), section, key, buffer.data(), size);
    if (sts != OS_STS_SUCCESS) {
      EXPECT_EQ(buffer[0], '\0') << "buffer not emptied";
      return "<" + std::to_string(sts) + ">";
    }
    return buffer.data();
  }
  EOSSTS Set(const std::string& file, const char* section, const char* key, const char* value) {
    return cfg_->ProfileSet(file.c_str(), section, key, value);
  }
  EOSSTS Flush(const std::string& file) { return cfg_->ProfileFlush(file.c_str()); }
  // Turns a file into something no flush can write.
  static void MakeUnwritable(const std::string& file) {
    chmod(file.c_str(), 0444);
    if (geteuid() == 0) {  // permissions do not stop root: a directory does
      std::filesystem::remove(file);
      std::filesystem::create_directory(file);
    }
  }
  static void MakeWritable(const std::string& file) {
    if (std::filesystem::is_directory(file)) std::filesystem::remove(file);
    if (FileExists(file)) chmod(file.c_str(), 0644);
  }
  // Another process rewrites the file.
  static void WriteElsewhere(const std::string& file, const std::string& text) {
    int status = -1;
    RunPython("import sys\nopen(sys.argv[1], 'w', newline='').write(sys.argv[2])", {file, text}, &status);
    ASSERT_EQ(status, 0);
  }

  std::unique_ptr<COsCfg> cfg_;
  std::unique_ptr<testsupport::LogCapture> log_;
};

TEST_F(OsCfgProfile, ReadsSectionsKeysAndLinePositions) {
  const std::string file = File("read.ini");
  WriteFile(file,
            "\xEF\xBB\xBF[Main]\r\nAlpha=1\r\n;note\r\nBeta=two words \r\n\r\n[Other]\nAlpha=other\nGamma\n"
            "Spaced = x\n");
  const struct {
    const char* section;
    const char* key;
    const char* want;
  } cases[] = {
      {"Main", "Alpha", "1"},         {"mAIN", "ALPHA", "1"},     {"Main", "Beta", "two words "},
      {"Other", "Alpha", "other"},    {"Main", "@0", "1"},        {"Main", "@1", "<1>"},  // a comment
      {"Main", "@2", "two words "},   {"Main", "@3", "<1>"},      // the next header
      {"Main", "@4", "<1>"},          {"Main", "@5", "<1>"},      // beyond it: another section's lines
      {"Other", "@1", "<1>"},         {"Other", "@9", "<1>"},     {"Main", "Gamma", "<1>"},
      {"Nowhere", "Alpha", "<1>"},    {"Main", "", "<1>"},        {"Main", "Alpha ", "<1>"},
      {"Other", "Spaced", "<1>"},     {"Other", "Spaced ", " x"}, {"Main", "@", "<1>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(file, c.section, c.key), c.want) << c.section << "/" << c.key;
  EXPECT_EQ(Read(file, "Main", "Beta", 10), "<2>");  // does not fit: refused, buffer empty
  EXPECT_TRUE(Logged("value does not fit...<Beta> <two words > 10"));
  EXPECT_EQ(Read(file, "Main", "Beta", 11), "two words ");
  EXPECT_EQ(Read(File("missing.ini"), "Main", "Alpha"), "<1>");
  EXPECT_FALSE(FileExists(File("missing.ini")));
  EXPECT_TRUE(Logged("fopen failed...<" + File("missing.ini") + ">"));
  char buffer[8];
  EXPECT_EQ(cfg_->ProfileGet(file.c_str(), nullptr, "Alpha", buffer, sizeof buffer), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(cfg_->ProfileGet(file.c_str(), "Main", "Alpha", nullptr, 8), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(cfg_->ProfileGet(nullptr, "Main", "Alpha", buffer, sizeof buffer), OS_STS_FAIL);
}

TEST_F(OsCfgProfile, ChangesAndTheFlushLayout) {
  const std::string file = File("change.ini");
  WriteFile(file, "[a]\nk1=1\n[b]\n;c\nk2=2\n");
  EXPECT_EQ(Set(file, "a", "k3", "3"), OS_STS_SUCCESS);
  EXPECT_EQ(Set(file, "B", "K2", "22"), OS_STS_SUCCESS);
  EXPECT_EQ(Set(file, "c", "x", ""), OS_STS_SUCCESS);
  EXPECT_EQ(cfg_->ProfileDelete(file.c_str(), "a", "k1"), OS_STS_SUCCESS);
  EXPECT_EQ(cfg_->ProfileDelete(file.c_str(), "a", "nothere"), OS_STS_SUCCESS);
  EXPECT_EQ(cfg_->ProfileDelete(file.c_str(), "zz", "k"), OS_STS_SUCCESS);
  EXPECT_EQ(cfg_->ProfileDelete(file.c_str(), "a", ""), OS_STS_FAIL);
  EXPECT_EQ(Read(file, "b", "k2"), "22");
  EXPECT_EQ(ReadFile(file), "[a]\nk1=1\n[b]\n;c\nk2=2\n");  // nothing written before the flush
  // The refused delete fails the flush that writes the others.
  EXPECT_EQ(Flush(file), OS_STS_FAIL);
  EXPECT_TRUE(Logged("changes were refused since the last flush, the file lacks them...<" + file + ">"));
  EXPECT_EQ(ReadFile(file), "[a]\nk3=3\n\n[b]\n;c\nk2=22\n\n[c]\nx=\n");
  EXPECT_EQ(Flush(file), OS_STS_SUCCESS);  // clean: nothing to do
  EXPECT_EQ(Flush(File("never-cached.ini")), OS_STS_FAIL);
  EXPECT_TRUE(Logged("s_aoscfgprofile is full...sorry...<" + File("never-cached.ini") + ">"));

  // A new section in a new file: two lines, each ended by LF.
  const std::string fresh = File("fresh.ini");
  EXPECT_EQ(Set(fresh, "Sec", "Key", "Value"), OS_STS_SUCCESS);
  EXPECT_EQ(Flush(fresh), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(fresh), "[Sec]\nKey=Value\n");
  struct stat st;
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0777u);  // ForceFileCreationMask 511
}

TEST_F(OsCfgProfile, BlankLinesGoBetweenHeadersAndAfterKeyRuns) {
  const struct {
    const char* text;
    const char* want;
  } cases[] = {
      {"[a]\n[b]\nk=2\n", "[a]\n\n[b]\nk=2\n"},
      {";top\n[a]\nk=1\n;tail\n[b]\nk=2\n", ";top\n[a]\nk=1\n\n;tail\n[b]\nk=2\n"},
      {"[a]\n\n\nk=1\n\n\n[b]\r\nk=2\r\n", "[a]\nk=1\n\n[b]\nk=2\n"},
      {"k=0\n[a]\nk=1\n[b]\nk=2\n", "k=0\n\n[a]\nk=1\n\n[b]\nk=2\n"},
  };
  int i = 0;
  for (const auto& c : cases) {
    const std::string file = File("layout" + std::to_string(i++) + ".ini");
    WriteFile(file, c.text);
    ASSERT_EQ(Set(file, "b", "k", "2"), OS_STS_SUCCESS) << c.text;  // same value: only marks the image dirty
    ASSERT_EQ(Flush(file), OS_STS_SUCCESS);
    EXPECT_EQ(ReadFile(file), c.want) << c.text;
  }
}

// Texts that would read back as other keys or sections after a flush.
TEST_F(OsCfgProfile, RefusesTextsThatWouldChangeTheFileStructure) {
  const std::string file = File("refuse.ini");
  WriteFile(file, "[s]\nk=1\n");
  const struct {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"s", "a=b", "v"},  {"s", "a[b", "v"},  {"s", "a\rb", "v"},     {"s", "a\nb", "v"}, {"s", "", "v"},
      {"s", ";k", "v"},   {"s", "k", "v\r"},  {"s", "k", "one\ntwo"}, {"", "k", "v"},     {"s\n[t", "k", "v"},
      {nullptr, "k", "v"}, {"s", nullptr, "v"}, {"s", "k", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(cfg_->ProfileSet(file.c_str(), c.section, c.key, c.value), OS_STS_FAIL)
        << (c.section ? c.section : "(null)") << "/" << (c.key ? c.key : "(null)");
  }
  EXPECT_EQ(Read(file, "s", "k"), "1");
  EXPECT_EQ(Flush(file), OS_STS_FAIL);  // the refusals are not in the file
  EXPECT_EQ(Flush(file), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(file), "[s]\nk=1\n");
  EXPECT_TRUE(Logged("bad key...<a=b>"));
  EXPECT_TRUE(Logged("bad key...<>"));
  EXPECT_TRUE(Logged("bad value...<one\ntwo>"));
  EXPECT_TRUE(Logged("bad section...<>"));
}

TEST_F(OsCfgProfile, PythonReadsWhatWeFlush) {
  const std::string file = File("ours.ini");
  const std::vector<std::vector<std::string>> values = {
      {"General", "MaxCount", "42"},         {"General", "Key With Spaces", "/home/u/x y"},
      {"General", "path.sub", "a=b=c"},      {"Paths", "Percent", "100%"},
      {"Paths", "semi", "semi;colon"},       {"Paths", "colon", "colon:inside"},
      {"Paths", "empty", ""},                {"Odd Section.Name", "Unicode", "\xC3\xBCn\xC3\xAF"},
      {"Odd Section.Name", "hash", "#nope"}, {"General", "Later", "added after others"},
  };
  std::string expected;
  for (const auto& v : values) ASSERT_EQ(Set(file, v[0].c_str(), v[1].c_str(), v[2].c_str()), OS_STS_SUCCESS);
  ASSERT_EQ(Flush(file), OS_STS_SUCCESS);
  const char* script =
      "import configparser, sys\n"
      "cp = configparser.ConfigParser(interpolation=None)\n"
      "cp.optionxform = str\n"
      "cp.read(sys.argv[1], encoding='utf-8')\n"
      "for s in cp.sections():\n"
      "    for k, v in cp.items(s, raw=True):\n"
      "        sys.stdout.write(s + '\\t' + k + '\\t' + v + '\\n')\n";
  int status = -1;
  std::string out = RunPython(script, {file}, &status);
  ASSERT_EQ(status, 0) << out;
  // Python lists sections in file order and keys in section order.
  const char* order[] = {"General", "Paths", "Odd Section.Name"};
  for (const char* section : order) {
    for (const auto& v : values) {
      if (v[0] == section) expected += v[0] + "\t" + v[1] + "\t" + v[2] + "\n";
    }
  }
  EXPECT_EQ(out, expected);
}

TEST_F(OsCfgProfile, WeReadWhatPythonWrites) {
  const std::string file = File("python.ini");
  const char* script =
      "import configparser, sys\n"
      "cp = configparser.ConfigParser(interpolation=None)\n"
      "cp.optionxform = str\n"
      "for line in sys.stdin.read().splitlines():\n"
      "    s, k, v = line.split('\\t')\n"
      "    if not cp.has_section(s):\n"
      "        cp.add_section(s)\n"
      "    cp.set(s, k, v)\n"
      "with open(sys.argv[1], 'w', encoding='utf-8') as f:\n"
      "    cp.write(f, space_around_delimiters=False)\n";
  const std::vector<std::vector<std::string>> values = {
      {"One", "Name", "value"}, {"One", "Mixed.Case", "a=b"}, {"One", "pct", "50%"}, {"Two", "empty", ""},
      {"Two", "Path", "C:\\dir\\file"}, {"Three words", "utf8", "\xE2\x82\xAC"},
  };
  std::string input;
  for (const auto& v : values) input += v[0] + "\t" + v[1] + "\t" + v[2] + "\n";
  int status = -1;
  std::string out = RunPython(script, {file}, &status, input);
  ASSERT_EQ(status, 0) << out;
  for (const auto& v : values) EXPECT_EQ(Read(file, v[0].c_str(), v[1].c_str()), v[2]) << v[0] << "/" << v[1];
  EXPECT_EQ(Read(file, "Two", "@1"), "C:\\dir\\file");
}

TEST_F(OsCfgProfile, NinthFileFlushesAndEvictsTheOtherEight) {
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i) {
    files.push_back(File("slot" + std::to_string(i) + ".ini"));
    ASSERT_EQ(Set(files[i], "s", "k", ("v" + std::to_string(i)).c_str()), OS_STS_SUCCESS);
  }
  for (const auto& f : files) EXPECT_TRUE(COsCfgProfile::IsCached(f.c_str()));
  EXPECT_EQ(ReadFile(files[0]), "");
  const std::string ninth = File("ninth.ini");
  EXPECT_EQ(Read(ninth, "s", "k"), "<1>");
  EXPECT_TRUE(COsCfgProfile::IsCached(ninth.c_str()));
  for (int i = 0; i < 8; ++i) {
    EXPECT_FALSE(COsCfgProfile::IsCached(files[i].c_str())) << i;
    EXPECT_EQ(ReadFile(files[i]), "[s]\nk=v" + std::to_string(i) + "\n") << i;
  }
  // Back from disk after the eviction.
  EXPECT_EQ(Read(files[5], "s", "k"), "v5");
}

TEST_F(OsCfgProfile, AnImageThatCannotBeWrittenKeepsItsSlotAndChanges) {
  std::vector<std::string> files;
  for (int i = 0; i < 8; ++i) {
    files.push_back(File("keep" + std::to_string(i) + ".ini"));
    ASSERT_EQ(Set(files[i], "s", "k", ("v" + std::to_string(i)).c_str()), OS_STS_SUCCESS);
  }
  MakeUnwritable(files[3]);
  // Reported, image kept: read-only, or (for root) a directory in its place.
  EXPECT_EQ(Flush(files[3]), geteuid() == 0 ? OS_STS_BAD_ARGUMENT : OS_STS_ACCESS_DENIED);
  EXPECT_TRUE(Logged(geteuid() == 0 ? "profile is not a regular file...<" + files[3] + ">"
                                    : "Could not truncate the file, it might be readonly...<" + files[3] + ">"));
  ASSERT_EQ(Set(File("new.ini"), "s", "k", "n"), OS_STS_SUCCESS);
  EXPECT_TRUE(COsCfgProfile::IsCached(files[3].c_str()));
  EXPECT_TRUE(Logged("profile kept in the cache, it could not be written...<" + files[3] + ">"));
  EXPECT_TRUE(COsCfgProfile::IsCached(File("new.ini").c_str()));
  EXPECT_FALSE(COsCfgProfile::IsCached(files[2].c_str()));
  EXPECT_EQ(ReadFile(files[2]), "[s]\nk=v2\n");
  MakeWritable(files[3]);
  EXPECT_EQ(Flush(files[3]), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(files[3]), "[s]\nk=v3\n");
}

TEST_F(OsCfgProfile, AFileChangedByAnotherProcessIsReadAgain) {
  const std::string file = File("outside.ini");
  WriteFile(file, "[s]\nk=1\n");
  EXPECT_EQ(Read(file, "s", "k"), "1");
  WriteElsewhere(file, "[s]\nk=22\n");
  EXPECT_EQ(Read(file, "s", "k"), "22");

  // A clean image takes the outside change in before it is changed.
  WriteElsewhere(file, "[s]\nk=22\nother=5\n");
  ASSERT_EQ(Set(file, "s", "k", "3"), OS_STS_SUCCESS);
  ASSERT_EQ(Flush(file), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(file), "[s]\nk=3\nother=5\n");
  EXPECT_EQ(Read(file, "s", "k"), "3");  // our own write is no outside change

  // A reader over unwritten changes takes the file as it is now, with our
  // changes on top: they are not dropped, the flush writes them.
  ASSERT_EQ(Set(file, "s", "k", "4"), OS_STS_SUCCESS);
  WriteElsewhere(file, "[s]\nk=77\nnew=8\n");
  EXPECT_EQ(Read(file, "s", "k"), "4");
  EXPECT_EQ(Read(file, "s", "new"), "8");
  EXPECT_TRUE(Logged("profile changed on disk, our unwritten changes go on top...<" + file + ">"));
  ASSERT_EQ(Flush(file), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(file), "[s]\nk=4\nnew=8\n");
}

TEST_F(OsCfgProfile, FileNamesCompareExactly) {
  const std::string upper = File("Case.ini");
  const std::string lower = File("case.ini");
  ASSERT_EQ(Set(upper, "s", "k", "upper"), OS_STS_SUCCESS);
  ASSERT_EQ(Set(lower, "s", "k", "lower"), OS_STS_SUCCESS);
  ASSERT_EQ(Flush(upper), OS_STS_SUCCESS);
  ASSERT_EQ(Flush(lower), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(upper), "[s]\nk=upper\n");
  EXPECT_EQ(ReadFile(lower), "[s]\nk=lower\n");
  // Another spelling of the same file shares its slot.
  const std::string dotted = RootPath("ini/./Case.ini");
  ASSERT_EQ(Set(dotted, "s", "k", "again"), OS_STS_SUCCESS);
  EXPECT_EQ(Read(upper, "s", "k"), "again");
}

TEST_F(OsCfgProfile, StopWritesUnflushedChanges) {
  const std::string file = File("stop.ini");
  ASSERT_EQ(Set(file, "s", "k", "kept"), OS_STS_SUCCESS);
  cfg_.reset();
  EXPECT_EQ(ReadFile(file), "[s]\nk=kept\n");
  EXPECT_FALSE(COsCfgProfile::IsCached(file.c_str()));
}

TEST_F(OsCfgProfile, BadFiles) {
  // Empty: nothing to read, but it can be written.
  const std::string empty = File("empty.ini");
  WriteFile(empty, "");
  EXPECT_EQ(Read(empty, "s", "k"), "<1>");
  ASSERT_EQ(Set(empty, "s", "k", "1"), OS_STS_SUCCESS);
  ASSERT_EQ(Flush(empty), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(empty), "[s]\nk=1\n");

  // Binary junk: no crash; a value set into it reads back.
  const std::string junk = File("junk.ini");
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 7919 + 13) % 256);
  WriteFile(junk, bytes);
  Read(junk, "s", "k");
  ASSERT_EQ(Set(junk, "fresh", "k", "v"), OS_STS_SUCCESS);
  ASSERT_EQ(Flush(junk), OS_STS_SUCCESS);
  EXPECT_EQ(Read(junk, "fresh", "k"), "v");

  // Larger than an image: the first part reads, and the file is never cut.
  const std::string large = File("large.ini");
  std::string text = "[s]\nk=1\n";
  while (text.size() < COsCfgProfile::kFileBytes) text += ";" + std::string(99, 'x') + "\n";
  text += "[t]\nlate=1\n";
  WriteFile(large, text);
  EXPECT_EQ(Read(large, "s", "k"), "1");
  EXPECT_EQ(Read(large, "t", "late"), "<1>");
  EXPECT_EQ(Set(large, "s", "k", "2"), OS_STS_FAIL);
  EXPECT_TRUE(Logged("profile larger than 131072 bytes"));
  EXPECT_TRUE(Logged("profile too large to change...<" + large + ">"));
  cfg_.reset();
  EXPECT_EQ(ReadFile(large), text);
}

TEST_F(OsCfgProfile, AnImageNeverGrowsPastItsSize) {
  const std::string file = File("full.ini");
  std::string text = "[s]\nk=1\n";
  while (text.size() < COsCfgProfile::kFileBytes - 150) text += ";" + std::string(49, 'x') + "\n";
  WriteFile(file, text);
  const std::string big(300, 'v');
  EXPECT_EQ(Set(file, "s", "k", big.c_str()), OS_STS_FAIL);
  EXPECT_EQ(Set(file, "new", "k", big.c_str()), OS_STS_FAIL);
  EXPECT_TRUE(Logged("profile image is full, change refused...<" + file + ">"));
  EXPECT_EQ(Read(file, "s", "k"), "1");
  EXPECT_EQ(Set(file, "s", "k", "small"), OS_STS_SUCCESS);
  EXPECT_EQ(Read(file, "s", "k"), "small");
}

TEST_F(OsCfgProfile, ConstIniRoundTripReachesTheStore) {
  char buffer[32];
  EXPECT_EQ(cfg_->ConstIniGet("dsIdentity", "ForceMaxMsg", buffer, sizeof buffer), OS_STS_FAIL);
  ASSERT_EQ(cfg_->ConstIniSet("dsIdentity", "ForceMaxMsg", "33"), OS_STS_SUCCESS);
  ASSERT_EQ(cfg_->ConstIniGet("dsIdentity", "ForceMaxMsg", buffer, sizeof buffer), OS_STS_SUCCESS);
  EXPECT_STREQ(buffer, "33");
  ASSERT_EQ(cfg_->ConstIniFlush(), OS_STS_SUCCESS);
  const std::string constIni = cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_CONST_INI);
  EXPECT_EQ(ReadFile(constIni), "[dsIdentity]\nForceMaxMsg=33\n");
  ASSERT_EQ(cfg_->Load(), OS_STS_SUCCESS);
  EXPECT_STREQ(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEMAXMSG), "33");
}

// The own constant file starts as a copy of the shared one.
TEST_F(OsCfgProfile, CopyWritesTheSourceUnderTheNewName) {
  const std::string shared = File("shared.ini");
  const std::string own = File("own.ini");
  WriteFile(shared, "\xEF\xBB\xBF[s]\r\nk=1\r\n[t]\r\nj=2\r\n");
  ASSERT_EQ(COsCfgProfile::Copy(shared.c_str(), own.c_str(), 0644), OS_STS_SUCCESS);
  EXPECT_EQ(ReadFile(own), "[s]\nk=1\n\n[t]\nj=2\n");
  EXPECT_EQ(Set(own, "s", "k", "own"), OS_STS_SUCCESS);
  EXPECT_EQ(Read(shared, "s", "k"), "1");
  EXPECT_EQ(Read(own, "s", "k"), "own");
  EXPECT_EQ(COsCfgProfile::Copy(File("absent.ini").c_str(), File("other.ini").c_str(), 0644), OS_STS_FAIL);
  EXPECT_FALSE(FileExists(File("other.ini")));
}

TEST_F(OsCfgProfile, RegistryReadsMachineAndUserSections) {
  // The system directory lies below an override root, here the test's own.
  WriteFile(RootPath("override.ini"), "[main]\nroot=" + testsupport::Root() + "\n");
  setenv("PMX_OVERRIDEINI", RootPath("override.ini").c_str(), 1);
  MakeCfg();
  char buffer[64];
  EXPECT_EQ(cfg_->GetRegistry(OS_CFGREGISTRY_MACHINE, "Key", buffer, sizeof buffer, false), OS_STS_FAIL);
  std::string directory = std::string(cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_SYSTEMDIRECTORY)) + "/" +
                          cfg_->Get(OS_CFGSECTION_MAIN, OS_CFGTAG_MODELDIRECTORY);
  ASSERT_EQ(directory.rfind(testsupport::Root(), 0), 0u);
  std::filesystem::create_directories(directory);
  WriteFile(directory + "/registry.ini", "[machine]\nSoftware_Pemra_Scan_Key=7\n[user]\nLast_Dir=/x\n");
  ASSERT_EQ(cfg_->GetRegistry(OS_CFGREGISTRY_MACHINE, "Software\\Pemra/Scan Key", buffer, sizeof buffer, false),
            OS_STS_SUCCESS);
  EXPECT_STREQ(buffer, "7");
  ASSERT_EQ(cfg_->GetRegistry(OS_CFGREGISTRY_USER, "Last.Dir", buffer, sizeof buffer, false), OS_STS_SUCCESS);
  EXPECT_STREQ(buffer, "/x");
  EXPECT_EQ(cfg_->GetRegistry(OS_CFGREGISTRY_USER, "Software\\Pemra/Scan Key", buffer, sizeof buffer, false),
            OS_STS_FAIL);
  EXPECT_EQ(cfg_->GetRegistry(static_cast<EOSCFGREGISTRY>(3), "Last.Dir", buffer, sizeof buffer, false),
            OS_STS_BAD_ARGUMENT);
  EXPECT_TRUE(Logged("bad a_eoscfgregistry...3"));
  EXPECT_EQ(cfg_->GetRegistry(OS_CFGREGISTRY_USER, nullptr, buffer, sizeof buffer, false), OS_STS_BAD_ARGUMENT);
}

// Threads on more files than slots: evictions run while others read and
// write, and no value is lost.
TEST_F(OsCfgProfile, ThreadsShareTheCache) {
  constexpr int kThreads = 4;
  constexpr int kFilesPerThread = 3;
  constexpr int kRounds = 150;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([this, t] {
      for (int r = 0; r < kRounds; ++r) {
        std::string file = File("thread" + std::to_string(t) + "_" + std::to_string(r % kFilesPerThread) + ".ini");
        std::string value = std::to_string(r);
        cfg_->ProfileSet(file.c_str(), "s", ("k" + std::to_string(r % 5)).c_str(), value.c_str());
        char buffer[16];
        cfg_->ProfileGet(file.c_str(), "s", "k0", buffer, sizeof buffer);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  cfg_.reset();  // writes what is still cached
  MakeCfg();
  for (int t = 0; t < kThreads; ++t) {
    for (int f = 0; f < kFilesPerThread; ++f) {
      std::string file = File("thread" + std::to_string(t) + "_" + std::to_string(f) + ".ini");
      for (int k = 0; k < 5; ++k) {
        // The last round r with r % 3 == f and r % 5 == k.
        int last = -1;
        for (int r = 0; r < kRounds; ++r) {
          if (r % kFilesPerThread == f && r % 5 == k) last = r;
        }
        EXPECT_EQ(Read(file, "s", ("k" + std::to_string(k)).c_str()), std::to_string(last)) << file << " k" << k;
      }
    }
  }
}

}  // namespace
