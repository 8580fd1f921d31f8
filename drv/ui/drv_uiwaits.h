// The long waits of the user-interface links, one named constant each, with
// a test seam: tests shorten a wait, a negative time restores its default.
// Every wait of a link longer than a poll step reads its limit here.
#pragma once

enum EDRVUIWAIT : int {
  DRV_UIWAIT_MODEL,       // 60 s: the start waits for the model's name (ten times that while the log flushes each line)
  DRV_UIWAIT_ACCEPT,      // 60 s: the child connects each channel
  DRV_UIWAIT_FIRSTWRITE,  // 60 s: the writer and the reader wait for their channel to be connected
  DRV_UIWAIT_START,       // 5 s: a text handed over waits for a start in progress
  DRV_UIWAIT_EXITPOLL,    // 3 s: the stop waits for the child to close its channel after the exit task
  DRV_UIWAIT_THREADSTOP,  // 70 s: each thread of a link is stopped
  DRV_UIWAIT_CHILDGRACE,  // 1 s: the child ends by itself after its channels closed, before it is stopped
  DRV_UIWAIT_HANDOFF,     // 30 s: a text handed over waits for the text before it to be written
  DRV_UIWAIT_ECDOPREVIEW, // 60 s: a colour-dropout request waits for the preview image to be taken back
  DRV_UIWAIT_COUNT
};

// The wait's limit in milliseconds.
long DrvUiWaitLimit(EDRVUIWAIT a_edrvuiwait);
// Tests: sets the wait's limit; a negative time restores the default.
void DrvUiSetWaitLimit(EDRVUIWAIT a_edrvuiwait, long a_lMilliseconds);
