#pragma once
#include <windows.h>

// Thread procedures started by the Upload command; neither uses its argument.
DWORD WINAPI UploadWorker(LPVOID);
// Keeps the bar moving while `uploadBusy` holds (and the program is not ending).
DWORD WINAPI ProgressAnimator(LPVOID);

class WorkerThreads;
// The Upload command with a converted ringtone: disables Upload, sets `uploadBusy` and starts
// the two threads on `threads`. When the upload's thread cannot be started, the window is left
// as it was (Upload enabled, `uploadBusy` false) and the user is told; false then.
bool StartUpload(WorkerThreads& threads);
