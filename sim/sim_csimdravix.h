// The host program "dravix": serves one image library (NexEntry) in a
// process of its own for the parent that started it, over a channel of the
// project's own (COsSocket) that the parent created. Its argument vector:
//   dll:LIBRARY        the library (".so" is added unless the name has it)
//   entry:NAME         its task entry
//   addr:ADDRESS port:PORT   the channel the parent published
//   pid:PARENT         the parent's process id, hexadecimal
//   maxmemory:BYTES    the most memory the library may report free, in
//                      decimal bytes (empty, 0 or beyond what a number
//                      holds: no limit; below a MiB: one MiB)
// each once, in any order. It reads each task up to "</task>", hands it to
// the entry and writes the whole reply back; it ends after interfaceclose,
// when the peer is gone or when the parent has ended.
//
// Test knobs, from the environment: DRAVIX_CRASHAFTER=N (after N answered
// tasks the next one kills the host before it answers), DRAVIX_DELAY=MS
// (each reply waits that long), DRAVIX_PIECE=BYTES (replies are written in
// pieces of that size), DRAVIX_BIGREPLY=N (the reply to the N-th task is
// padded beyond 1 MiB), DRAVIX_NOCONNECT=1 (never connects, and waits for
// the parent's end), DRAVIX_TWICE=N (the reply to the N-th task is written
// twice, the second copy 100 ms after the first), DRAVIX_NOEND=N (the reply
// to the N-th task is written without its "</task>" and the host ends),
// DRAVIX_LINGER=MS (the host ends that long after interfaceclose).
#pragma once

#include <cstdint>
#include <string>

class COsSocket;

// The exit codes.
enum ESIMDRAVIXEXIT : int {
  SIM_DRAVIXEXIT_CLOSED = 0,      // interfaceclose was served
  SIM_DRAVIXEXIT_USAGE = 1,       // missing or malformed arguments or knobs
  SIM_DRAVIXEXIT_LIBRARY = 2,     // the library or its entry could not be loaded
  SIM_DRAVIXEXIT_CONNECT = 3,     // the channel could not be reached
  SIM_DRAVIXEXIT_PEERGONE = 4,    // the channel failed or the peer went away
  SIM_DRAVIXEXIT_PARENTGONE = 5,  // the parent process has ended
};

class CSimDravix {
 public:
  // Reads the argument vector (after argument 0) and the knobs; false with
  // the reason.
  bool Parse(int a_iArgs, const char* const* a_aszArgs, std::string& a_strError);
  // Serves until the end; the exit code. Messages go to standard error.
  int Run();

 private:
  typedef const char* (*PfnSimEntry)(const char*);

  // Loads the library and connects; the exit code.
  int Serve();
  // Serves the tasks of the channel; the exit code.
  int ServeTasks(COsSocket& a_ossocket, PfnSimEntry a_pfnEntry);
  bool WriteReply(COsSocket& a_ossocket, const std::string& a_strReply);
  bool ParentRunning() const;
  // Sleeps, in slices so that the parent's end is seen; false when it ended.
  bool Pause(long a_lMilliseconds) const;

  std::string m_strLibrary;
  std::string m_strEntry;
  std::string m_strAddress;
  std::string m_strPort;
  uint64_t m_u64Parent = 0;
  std::string m_strMaxMemory;

  long m_lCrashAfter = -1;
  long m_lDelayMs = 0;
  long m_lPiece = 0;
  long m_lBigReply = 0;
  long m_lTwice = 0;
  long m_lNoEnd = 0;
  long m_lLinger = 0;
  bool m_blNoConnect = false;
};
