// How the program ends, in one order, whether by Exit or by closing the window.
#pragma once
#include <windows.h>

// The first call ends the session; later calls do nothing:
//   1. the workers are stopped and waited for (WorkerThreads::StopAll), so that nothing below
//      is released under one of them;
//   2. a preview in progress ends, the sound objects are released, the working audio is
//      unmapped, the strip's canvas is released and the CD drive handle of the last CD import
//      is given back (all of this only once no import runs);
//   3. the pictures and the caret are released;
//   4. with `deleteWorkingFiles` (Exit), the working files are deleted.
void ShutDownShell(bool deleteWorkingFiles);

// What WinMain returns: `code` when every worker has ended. A worker that is still running (an
// upload blocked in the network) ends with the process here and now, before the process's
// exit could destroy anything it uses.
int EndOfProcess(int code);
