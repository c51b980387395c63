#pragma once
#include <windows.h>

// The import thread started by Browse: turns sessionState.sourcePath into "d.wav", maps it,
// renders the strip and prepares the preview. Clears sessionState.importRunning at its end.
DWORD WINAPI ImportWorker(LPVOID);
