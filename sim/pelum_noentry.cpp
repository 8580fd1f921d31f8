// A library named like "pelum" that lacks its entry.
extern "C" __attribute__((visibility("default"))) int PelumVersion() { return 1; }
