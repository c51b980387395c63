#include "session/session_state.h"

#include <commctrl.h>

#include <string>

#include "session/working_audio.h"

SessionState sessionState;
WorkingAudio workingAudio;

void SetConverted(bool value) {
  sessionState.converted = value;
  sessionState.justLoaded = false;
  if (sessionState.mainWindow) InvalidateRect(sessionState.mainWindow, nullptr, FALSE);
}

void FillProgressBar() {
  HWND bar = sessionState.progressBar;
  if (!bar) return;
  LRESULT high = SendMessageA(bar, PBM_GETRANGE, FALSE, 0);
  SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(high), 0);
}

void SetClassCursor(LPCSTR cursorId) {
  HCURSOR cursor = LoadCursorA(nullptr, cursorId);
  if (sessionState.mainWindow)
    SetClassLongPtrA(sessionState.mainWindow, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
  SetCursor(cursor);
}

void RestoreArrowCursor() {
  SetClassCursor(IDC_ARROW);
  POINT where;
  if (GetCursorPos(&where)) SetCursorPos(where.x, where.y);
}

std::string PathInFolder(const char* folder, const char* name) {
  if (folder == nullptr || folder[0] == '\0') return name;
  std::string path = folder;
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  return path + name;
}

std::string WorkingFilePath(const char* name) {
  return PathInFolder(sessionState.startDirectory, name);
}

void DeleteWorkingFile(const char* name) { DeleteFileA(WorkingFilePath(name).c_str()); }

void ShowMessage(const char* text, const char* caption) {
  if (StopRequested()) return;
  MessageBoxA(nullptr, text, caption, MB_OK);
}

void ShowAppMessage(const char* text) {
  if (StopRequested()) return;
  char exePath[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exePath, MAX_PATH);
  MessageBoxA(GetActiveWindow(), text, exePath, MB_OK | MB_ICONEXCLAMATION);
}
