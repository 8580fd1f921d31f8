// uistandin: the stand-in of the driver's user-interface programs, staged as
// "twaingui" (see sim_csimuistandin.h).
#include "sim_csimuistandin.h"

int main(int argc, char** argv) {
  CSimUiStandin simuistandin;
  return simuistandin.Run(argc, argv);
}
