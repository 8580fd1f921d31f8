// Copying directory trees: with and without the filter callback, its
// answers, failed copies, and trees that lead back into themselves.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "os_cosfile.h"
#include "os_cosfile_testutil.h"
#include "test_support.h"

using filetest::MakeTree;
using testsupport::FileExists;
using testsupport::Root;
using testsupport::RunPython;
using testsupport::WriteFile;

namespace {

// Every file and directory below a root with the content of each file, as
// Python walks it (links followed, loops left out).
std::string PythonTree(const std::string& a_root) {
  return RunPython(
      "import os,sys\n"
      "r=sys.argv[1]\n"
      "out=[]\n"
      "for d,ds,fs in os.walk(r):\n"
      "  for x in ds: out.append(os.path.relpath(os.path.join(d,x),r)+'/')\n"
      "  for x in fs: out.append(os.path.relpath(os.path.join(d,x),r)+'='+open(os.path.join(d,x)).read())\n"
      "print('\\n'.join(sorted(out)))\n",
      {a_root});
}

void MakeSource() {
  MakeTree(Root() + "/src", {"a.txt=A", "b.ini=B", "sub/", "sub/c.txt=C", "sub/deep/", "sub/deep/d.txt=D",
                             "skip/", "skip/e.txt=E", "empty/"});
}

TEST(COsFileCopyDirectory, WithoutCallbackCopiesTheWholeTree) {
  MakeSource();
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true), OS_STS_SUCCESS);
  EXPECT_EQ(PythonTree("dst"), PythonTree("src"));
  // Not recursive: the files of the top level only.
  EXPECT_EQ(COsFile::CopyDirectory("src", "flat", false), OS_STS_SUCCESS);
  EXPECT_EQ(PythonTree("flat"), "a.txt=A\nb.ini=B\n");
  // Into a target that exists.
  EXPECT_EQ(COsFile::CopyDirectory("src/sub", "dst", false), OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists("dst/c.txt"));
}

struct Recorder {
  std::map<std::string, int> answers;  // by entry name or last directory component
  int iDefault = OS_FILECOPYDIR_COPY;
  std::vector<std::string> seen;
};

int Answer(OsFileCopyDirectoryInfo* a_pinfo) {
  auto* precorder = static_cast<Recorder*>(a_pinfo->pvUser);
  EXPECT_EQ(a_pinfo->u32Size, 32u);
  std::string source = a_pinfo->szSource;
  std::string key = a_pinfo->szName ? a_pinfo->szName : source.substr(source.rfind('/') + 1) + "/";
  if (a_pinfo->szName) {
    EXPECT_EQ(source.substr(source.rfind('/') + 1), a_pinfo->szName);
  }
  EXPECT_EQ(source[0], '/');
  precorder->seen.push_back(key);
  auto it = precorder->answers.find(key);
  return it == precorder->answers.end() ? precorder->iDefault : it->second;
}

TEST(COsFileCopyDirectory, CallbackAnswersDecide) {
  MakeSource();
  Recorder recorder;
  recorder.answers = {{"b.ini", OS_FILECOPYDIR_SKIP}, {"skip/", OS_FILECOPYDIR_SKIP},
                      {"deep/", OS_FILECOPYDIR_COPYALL}};
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true, Answer, &recorder), OS_STS_SUCCESS);
  EXPECT_EQ(PythonTree("dst"), "a.txt=A\nsub/\nsub/c.txt=C\nsub/deep/\nsub/deep/d.txt=D\n");
  // Below "deep/" (copied without callback) nothing was asked; "empty/" was
  // asked but, holding no file, made no directory.
  std::sort(recorder.seen.begin(), recorder.seen.end());
  EXPECT_EQ(recorder.seen, (std::vector<std::string>{"a.txt", "b.ini", "c.txt", "deep/", "empty/", "skip/", "sub/"}));
}

TEST(COsFileCopyDirectory, PassingOverEveryFileCreatesNoTarget) {
  MakeSource();
  Recorder recorder;
  recorder.iDefault = OS_FILECOPYDIR_SKIP;
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true, Answer, &recorder), OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists("dst"));
  recorder.iDefault = OS_FILECOPYDIR_COPY;
  recorder.answers = {{"a.txt", OS_FILECOPYDIR_SKIP}, {"b.ini", OS_FILECOPYDIR_SKIP}};
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true, Answer, &recorder), OS_STS_SUCCESS);
  EXPECT_FALSE(FileExists("dst/a.txt"));
  EXPECT_TRUE(FileExists("dst/sub/deep/d.txt"));
}

TEST(COsFileCopyDirectory, UnexpectedAnswerIsTheResult) {
  MakeSource();
  Recorder recorder;
  recorder.answers = {{"a.txt", 5}};
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true, Answer, &recorder), 5);
  EXPECT_TRUE(FileExists("dst/b.ini"));  // the walk went on
  EXPECT_FALSE(FileExists("dst/a.txt"));
  recorder.answers = {{"sub/", 7}};
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst2", true, Answer, &recorder), 7);
  EXPECT_TRUE(FileExists("dst2/a.txt"));
  EXPECT_FALSE(FileExists("dst2/sub"));
}

// A file that cannot be copied is reported, with a callback and without.
TEST(COsFileCopyDirectory, FailedCopyIsReported) {
  MakeSource();
  ASSERT_EQ(COsFile::Create("dst/a.txt"), OS_STS_SUCCESS);  // a directory where the file goes
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true), OS_STS_FAIL);
  EXPECT_TRUE(FileExists("dst/sub/deep/d.txt"));  // the rest is copied
  Recorder recorder;
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true, Answer, &recorder), OS_STS_FAIL);
  EXPECT_EQ(COsFile::CopyDirectory("missing", "dst2", true), OS_STS_FILE_NOT_FOUND);
  EXPECT_EQ(COsFile::CopyDirectory(nullptr, "dst2", true), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(COsFile::CopyDirectory("src", nullptr, true), OS_STS_BAD_ARGUMENT);
  WriteFile("file", "x");
  EXPECT_NE(COsFile::CopyDirectory("src", "file/dst", true), OS_STS_SUCCESS);
}

// A link back to an ancestor and a target inside the source end the copy
// instead of copying forever.
TEST(COsFileCopyDirectory, LoopsEnd) {
  MakeSource();
  ASSERT_EQ(symlink("..", "src/sub/up"), 0);
  ASSERT_EQ(symlink("../sub", "src/skip/side"), 0);  // a link to a directory outside the loop is followed
  EXPECT_EQ(COsFile::CopyDirectory("src", "dst", true), OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists("dst/sub/deep/d.txt"));
  EXPECT_TRUE(FileExists("dst/skip/side/deep/d.txt"));
  EXPECT_FALSE(FileExists("dst/sub/up"));
  EXPECT_EQ(COsFile::CopyDirectory("src/sub", "src/sub/copy", true), OS_STS_SUCCESS);
  EXPECT_TRUE(FileExists("src/sub/copy/c.txt"));
  EXPECT_FALSE(FileExists("src/sub/copy/copy"));
}

}  // namespace
