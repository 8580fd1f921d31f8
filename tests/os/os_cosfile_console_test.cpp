// Console line editing: the console probe run on a pseudo-terminal (Python's
// pty) with libedit loadable through a directory of links under the names
// the library asks for, and run on a pipe with a libedit that lacks its
// entry points (the plain reader).
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "os_cosfile.h"
#include "test_support.h"

using testsupport::RootPath;

namespace {

// The file of the library that holds a symbol, found through the loader.
std::string LibraryOf(const char* a_szLibrary, const char* a_szSymbol) {
  void* pvHandle = dlopen(a_szLibrary, RTLD_LAZY);
  if (!pvHandle) return "";
  Dl_info dlinfo{};
  void* pvSymbol = dlsym(pvHandle, a_szSymbol);
  std::string strPath = pvSymbol && dladdr(pvSymbol, &dlinfo) && dlinfo.dli_fname ? dlinfo.dli_fname : "";
  return strPath;
}

// A directory where "libtermcap.so" and "libedit.so" are links to the given files.
std::string LinkDirectory(const std::string& a_strName, const std::string& a_strTermcap, const std::string& a_strEdit) {
  std::string strDirectory = RootPath(a_strName);
  std::filesystem::create_directories(strDirectory);
  std::filesystem::create_symlink(a_strTermcap, strDirectory + "/libtermcap.so");
  std::filesystem::create_symlink(a_strEdit, strDirectory + "/libedit.so");
  return strDirectory;
}

// Drives the probe on a pseudo-terminal: after each prompt it types the next
// input; prints the whole transcript as a Python literal.
const char* const s_szPtyScript = R"(
import os, pty, select, sys, time
probe, libdir, color = sys.argv[1], sys.argv[2], sys.argv[3]
inputs = [b"hello\r", b"\x1b[A\r", b"abcdefghijklmnopqrstuvwxyz0123456789\r", b"\x04"]
env = dict(os.environ, LD_LIBRARY_PATH=libdir, TERM="vt100")
pid, fd = pty.fork()
if pid == 0:
    os.execve(probe, [probe, color], env)
out = b""
deadline = time.time() + 20
prompts = 0
while time.time() < deadline:
    r, _, _ = select.select([fd], [], [], 0.2)
    if r:
        try:
            data = os.read(fd, 4096)
        except OSError:
            break
        if not data:
            break
        out += data
    if out.count(b"probe>") > prompts and prompts < len(inputs):
        os.write(fd, inputs[prompts])
        prompts += 1
    if b"end" in out:
        break
os.waitpid(pid, 0)
print(repr(out))
)";

TEST(Console, LibeditReadsLinesWithColourPromptAndHistory) {
  std::string strEdit = LibraryOf("libedit.so.2", "el_init");
  std::string strTermcap = LibraryOf("libtinfo.so.6", "tgetent");
  if (strEdit.empty() || strTermcap.empty()) GTEST_SKIP() << "libedit or the terminal library is not installed";
  std::string strDirectory = LinkDirectory("editlibs", strTermcap, strEdit);
  int iStatus = -1;
  std::string strOut = testsupport::RunPython(s_szPtyScript, {SCANDRV_CONSOLE_PROBE, strDirectory, "\x1b[1;32m"}, &iStatus);
  ASSERT_EQ(iStatus, 0) << strOut;
  EXPECT_NE(strOut.find("init=0"), std::string::npos) << strOut;
  // The prompt in colour right before the typed text; the marks around the
  // colour sequences are not shown.
  EXPECT_NE(strOut.find("\\x1b[1;32mprobe>\\x1b[0m hello"), std::string::npos) << strOut;
  EXPECT_EQ(strOut.find("\\x01"), std::string::npos) << strOut;
  // The second line is the first one again, called up from the history.
  size_t sizetFirst = strOut.find("line=<hello>");
  ASSERT_NE(sizetFirst, std::string::npos) << strOut;
  EXPECT_NE(strOut.find("line=<hello>", sizetFirst + 1), std::string::npos) << strOut;
  // A line longer than the buffer is cut to it.
  EXPECT_NE(strOut.find("line=<abcdefghijklmnopqrstuvwxyz01234>"), std::string::npos) << strOut;
  EXPECT_NE(strOut.find("end"), std::string::npos) << strOut;
}

struct PlainCase {
  const char* szWhat;
  const char* szColor;
  const char* szExpected;
};

TEST(Console, WithoutLibeditLinesAreReadPlainly) {
  // libedit.so that loads but has no line editor in it.
  std::string strOther = LibraryOf("libm.so.6", "cos");
  ASSERT_FALSE(strOther.empty());
  std::string strDirectory = LinkDirectory("notedit", strOther, strOther);
  setenv("LD_LIBRARY_PATH", strDirectory.c_str(), 1);
  const PlainCase aplaincase[] = {
      {"Plain", "", "init=1\nprobe>line=<one>\nprobe>line=<>\nprobe>line=<two>\nprobe>end\n"},
      {"Colour", "\x1b[31m",
       "init=1\n\x1b[31mprobe>\x1b[0m line=<one>\n\x1b[31mprobe>\x1b[0m line=<>\n\x1b[31mprobe>\x1b[0m "
       "line=<two>\n\x1b[31mprobe>\x1b[0m end\n"},
  };
  for (const auto& c : aplaincase) {
    int iStatus = -1;
    std::string strOut = testsupport::RunProgram({SCANDRV_CONSOLE_PROBE, c.szColor}, &iStatus, "one\n\ntwo\n");
    EXPECT_EQ(iStatus, 0) << c.szWhat;
    EXPECT_EQ(strOut, c.szExpected) << c.szWhat;
  }
  // A long line is read in pieces of the buffer's size.
  std::string strOut = testsupport::RunProgram({SCANDRV_CONSOLE_PROBE, ""}, nullptr, std::string(40, 'x') + "\n");
  EXPECT_NE(strOut.find("line=<" + std::string(31, 'x') + ">\nprobe>line=<" + std::string(9, 'x') + ">"),
            std::string::npos)
      << strOut;
}

TEST(Console, WithoutAnyLibraryInitFailsAndTheConsoleStillWorks) {
  setenv("LD_LIBRARY_PATH", RootPath("none").c_str(), 1);
  COsFile osfile;
  // The names may exist on the system but not as loadable libraries; either
  // way the object stays usable.
  EOSSTS eosstatus = osfile.EditLineInit();
  EXPECT_TRUE(eosstatus == OS_STS_SUCCESS || eosstatus == OS_STS_FAIL);
  osfile.EditLineCleanup();
  osfile.EditLineCleanup();
  char szBuffer[4] = "abc";
  EXPECT_EQ(osfile.EditLineRead(nullptr, nullptr, szBuffer, 0), nullptr);
  osfile.EditLineDisplay(nullptr);
}

}  // namespace
