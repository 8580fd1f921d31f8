// What a child program of the driver takes of its parent's services.
#pragma once

// A parent that published its service arguments keeps its named objects
// (the events of a shared-memory channel) in its root's common directory:
// this process looks for them there.
void SimUseParentCommonDirectory();
