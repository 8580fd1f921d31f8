// A console program over the line editor: reads lines with the prompt
// "probe>" (in the colour given as the first argument) and echoes each as
// "line=<...>" until the end of input.
#include <cstdio>
#include <cstring>

#include "os_cosfile.h"

int main(int argc, char** argv) {
  const char* szColor = argc > 1 ? argv[1] : "";
  COsFile osfile;
  std::printf("init=%d\n", static_cast<int>(osfile.EditLineInit()));
  std::fflush(stdout);
  char szLine[32];
  while (osfile.EditLineRead(szColor, "probe>", szLine, sizeof szLine)) {
    char szEcho[64];
    std::snprintf(szEcho, sizeof szEcho, "line=<%s>\n", szLine);
    osfile.EditLineDisplay(szEcho);
  }
  osfile.EditLineDisplay("end\n");
  osfile.EditLineCleanup();
  return 0;
}
