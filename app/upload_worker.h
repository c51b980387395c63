#pragma once
#include <windows.h>

// Thread procedures started by the Upload command; neither uses its argument.
DWORD WINAPI UploadWorker(LPVOID);
DWORD WINAPI ProgressAnimator(LPVOID);
