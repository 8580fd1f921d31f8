// A scanner simulation library without its entry, for the broken-library
// case.
extern "C" __attribute__((visibility("default"))) int SimulationVersion() { return 1; }
