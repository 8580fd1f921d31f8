// dravix: the host program of the image library, started by the driver with
// its argument vector (see sim_csimdravix.h). Exit status: 0 after
// interfaceclose, 1 bad arguments, 2 no library, 3 no channel, 4 the peer is
// gone, 5 the parent has ended.
#include <cstdio>
#include <string>

#include "sim_csimdravix.h"

int main(int argc, char** argv) {
  CSimDravix simdravix;
  std::string strError;
  if (!simdravix.Parse(argc - 1, argv + 1, strError)) {
    std::fprintf(stderr,
                 "dravix: %s\nusage: dravix dll:LIBRARY entry:NAME addr:ADDRESS port:PORT pid:PARENT "
                 "maxmemory:MIB\n",
                 strError.c_str());
    return SIM_DRAVIXEXIT_USAGE;
  }
  return simdravix.Run();
}
