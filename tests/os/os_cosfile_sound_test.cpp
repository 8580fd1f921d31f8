// Sound: refused names, the ".au" twin that goes to the audio device
// instead of a player.
#include <gtest/gtest.h>

#include <string>

#include "log_capture.h"
#include "os_cosfile.h"
#include "test_support.h"

using testsupport::WriteFile;

namespace {

TEST(Sound, RefusalsAndTheAudioTwin) {
  testsupport::LogCapture logcapture;
  COsFile osfile;
  EXPECT_EQ(osfile.Sound(nullptr, 0), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Sound("", 0), OS_STS_BAD_ARGUMENT);
  EXPECT_EQ(osfile.Sound("absent.wav", 0), OS_STS_FILE_NOT_FOUND);
  EXPECT_TRUE(logcapture.Contains("file not found...<absent.wav>"));
  // The twin is there: it goes to the audio device (where there is one) and
  // no player is asked.
  WriteFile("beep.wav", "RIFF");
  WriteFile("beep.au", ".snd");
  EXPECT_EQ(osfile.Sound("beep.wav", 0), OS_STS_SUCCESS);
  EXPECT_FALSE(logcapture.Contains("Sound: <"));
}

}  // namespace
