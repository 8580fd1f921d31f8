// The other process of the driver event's wake-up: opens the named simple
// event (in the object directory given), says "ready", waits on it with a
// limit and prints the wait's status and how long it took.
//   event_probe NAME LIMIT_MS DIRECTORY
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "os_cossync.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: event_probe NAME LIMIT_MS DIRECTORY\n");
    return 2;
  }
  COsSync::SetFallbackDirectory(argv[3]);
  COsSync ossync;
  if (ossync.SimpleEventOpen(argv[1], false) != OS_STS_SUCCESS) {
    std::printf("open failed\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  const auto timepointStart = std::chrono::steady_clock::now();
  const EOSSTS eossts = ossync.SimpleEventWait(static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10)));
  const auto llWaited =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - timepointStart).count();
  std::printf("status=%d waited=%lld\n", static_cast<int>(eossts), static_cast<long long>(llWaited));
  ossync.SimpleEventClose();
  return 0;
}
