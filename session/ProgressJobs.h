// The jobs of the configuration sheet's progress bar. A long download (event log, network
// backup) reports through a callback taking one of these codes and a value; the sheet's
// painter draws them.
#pragma once

enum ProgressJobCode : int {
  PROGRESS_JOB_NONE = 0,     // wakes the painter; it leaves its loop when the sheet goes
  PROGRESS_JOB_EMPTY = 1,    // show the empty bar with 0 %
  PROGRESS_JOB_MAXIMUM = 2,  // the value that means 100 %
  PROGRESS_JOB_VALUE = 3,    // the current value
  PROGRESS_JOB_CLEAR = 4,    // hide the bar
};
