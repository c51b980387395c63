#include "app/upload_worker.h"

#include <commctrl.h>

#include "session/session_state.h"

DWORD WINAPI ProgressAnimator(LPVOID) {
  HWND bar = sessionState.progressBar;
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(1, 50));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  while (sessionState.uploadBusy) {
    SendMessageA(bar, PBM_STEPIT, 0, 0);
    Sleep(10);
  }
  FillProgressBar();
  return 0;
}

DWORD WINAPI UploadWorker(LPVOID) {
  sessionState.uploadBusy = false;
  EnableWindow(sessionState.uploadButton, TRUE);
  return 0;
}
