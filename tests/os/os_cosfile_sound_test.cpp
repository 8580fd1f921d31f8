// Sound: refused names, the ".au" twin that goes to the audio device
// instead of a player, and the player command of the configuration store
// (a fake player that records its arguments): the one "%s" field, empty
// pieces, six arguments, a missing program, and a player stopped at the
// time-out.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "log_capture.h"
#include "os_coscfg.h"
#include "os_cosfile.h"
#include "os_costhread.h"
#include "test_support.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RootPath;
using testsupport::WriteFile;

namespace {

class Sound : public testing::Test {
 protected:
  void SetUp() override {
    OsCfgVersion osCfgVersion{"01", "00", "00", "00", "01", "01", "2024"};
    m_poscfg = std::make_unique<COsCfg>("driver", OS_CFGENTITY_UTILITY, nullptr, &osCfgVersion, false, nullptr);
    ASSERT_EQ(m_poscfg.get(), g_poscfg);
    // The fake player: one line per argument, nothing more.
    WriteFile("player", "#!/bin/sh\necho $$ > player.pid\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > player.out\n"
                        "[ \"$1\" = sleep ] && exec sleep 30\nexit 0\n");
    chmod("player", 0755);
    WriteFile("beep.wav", "RIFF");
  }
  void TearDown() override { m_poscfg.reset(); }

  // The store keeps the pointer: the text lives in the fixture.
  void SetCommand(const std::string& a_strCommand) {
    m_strCommand = a_strCommand;
    ASSERT_EQ(m_poscfg->Set(OS_CFGSECTION_MAIN, OS_CFGTAG_FORCEPLAYSOUND, m_strCommand.c_str()), OS_STS_SUCCESS);
  }

  std::vector<std::string> PlayerArguments() {
    return FileExists("player.out") ? testsupport::Lines(ReadFile("player.out")) : std::vector<std::string>{"(not run)"};
  }

  std::unique_ptr<COsCfg> m_poscfg;
  std::string m_strCommand;
};

TEST_F(Sound, RefusalsAndTheAudioTwin) {
  SetCommand("$" + RootPath("player") + "$%s");
  testsupport::LogCapture logcapture;
  COsFile osfile;
  EXPECT_EQ(osfile.Sound(nullptr, 0), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Sound("", 0), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Sound("absent.wav", 0), OS_STS_FILE_NOT_FOUND);
  EXPECT_TRUE(logcapture.Contains("file not found...<absent.wav>"));
  // The twin is there: it goes to the audio device (where there is one) and
  // the player is not run.
  WriteFile("beep.au", ".snd");
  EXPECT_EQ(osfile.Sound("beep.wav", 0), OS_STS_SUCCESS);
  EXPECT_EQ(PlayerArguments(), std::vector<std::string>{"(not run)"});
}

struct CommandCase {
  const char* szWhat;
  const char* szCommand;  // "@" stands for the player's path
  const char* szFile;
  EOSSTS eosstatus;
  std::vector<std::string> vecArguments;  // what the player got
};

void PrintTo(const CommandCase& a_commandcase, std::ostream* a_postream) { *a_postream << a_commandcase.szWhat; }

class SoundCommand : public Sound, public testing::WithParamInterface<CommandCase> {};

TEST_P(SoundCommand, PlayerGetsItsArguments) {
  const CommandCase& c = GetParam();
  std::string strCommand = c.szCommand;
  for (size_t sizet; (sizet = strCommand.find('@')) != std::string::npos;) strCommand.replace(sizet, 1, RootPath("player"));
  SetCommand(strCommand);
  if (std::string(c.szFile) != "beep.wav") WriteFile(c.szFile, "RIFF");
  testsupport::LogCapture logcapture;
  COsFile osfile;
  EXPECT_EQ(osfile.Sound(c.szFile, 5000), c.eosstatus);
  EXPECT_EQ(PlayerArguments(), c.vecArguments);
}

INSTANTIATE_TEST_SUITE_P(
    Sound, SoundCommand,
    testing::Values(
        CommandCase{"FileInPlaceOfTheField", "$@$--quiet$%s", "beep.wav", OS_STS_SUCCESS, {"--quiet", "beep.wav"}},
        // Only the one "%s" is replaced; every other "%" stays as written.
        CommandCase{"OtherPercentsStay", "$@$--rate=%d%%$%s$%n%s", "beep.wav", OS_STS_SUCCESS,
                    {"--rate=%d%%", "beep.wav", "%n%s"}},
        // A name holding the separator or "%" stays one argument.
        CommandCase{"NameWithSeparatorAndPercent", "$@$%s", "it's $odd %n.wav", OS_STS_SUCCESS, {"it's $odd %n.wav"}},
        CommandCase{"OtherSeparator", "|@|-a|%s|-b", "beep.wav", OS_STS_SUCCESS, {"-a", "beep.wav", "-b"}},
        CommandCase{"EmptyPiecesLeftOut", "$$@$$a$$%s$", "beep.wav", OS_STS_SUCCESS, {"a", "beep.wav"}},
        CommandCase{"FiveArguments", "$@$1$2$3$4$%s", "beep.wav", OS_STS_SUCCESS, {"1", "2", "3", "4", "beep.wav"}},
        CommandCase{"SixArguments", "$@$1$2$3$4$5$%s", "beep.wav", OS_STS_FAIL, {"(not run)"}},
        CommandCase{"NoField", "$@$x", "beep.wav", OS_STS_SUCCESS, {"x"}},
        CommandCase{"MissingProgram", "$/nonexistent/player$%s", "beep.wav", OS_STS_FAIL, {"(not run)"}},
        CommandCase{"OnlySeparators", "$$$", "beep.wav", OS_STS_FAIL, {"(not run)"}}),
    [](const testing::TestParamInfo<CommandCase>& a_info) { return a_info.param.szWhat; });

TEST_F(Sound, SixArgumentsAreRefusedWithAMessage) {
  SetCommand("$" + RootPath("player") + "$1$2$3$4$5$%s");
  testsupport::LogCapture logcapture;
  COsFile osfile;
  EXPECT_EQ(osfile.Sound("beep.wav", 0), OS_STS_FAIL);
  EXPECT_TRUE(logcapture.Contains("command overflow..."));
}

TEST_F(Sound, PlayerStillRunningAtTheTimeOutIsStopped) {
  COsThread::SetSpawnStopWait(200);
  SetCommand("$" + RootPath("player") + "$sleep$%s");
  testsupport::LogCapture logcapture;
  COsFile osfile;
  EXPECT_EQ(osfile.Sound("beep.wav", 200), OS_STS_SUCCESS);
  ASSERT_TRUE(FileExists("player.pid"));
  std::string strPid = testsupport::Lines(ReadFile("player.pid"))[0];
  EXPECT_FALSE(FileExists("/proc/" + strPid)) << "the player still runs";
  EXPECT_TRUE(logcapture.Contains("Sound: time-out, stopping the player..."));
  // The sound thread is kept and plays again.
  std::remove("player.out");
  SetCommand("$" + RootPath("player") + "$again");
  EXPECT_EQ(osfile.Sound("beep.wav", 0), OS_STS_SUCCESS);
  EXPECT_EQ(PlayerArguments(), std::vector<std::string>{"again"});
  COsThread::SetSpawnStopWait(-1);
}

}  // namespace
