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

std::string WorkingFilePath(const char* name) {
  return PathInFolder(sessionState.startDirectory, name);
}

void DeleteWorkingFile(const char* name) { DeleteFileW(Widen(WorkingFilePath(name)).c_str()); }

void ShowMessage(const char* text, const char* caption) {
  if (StopRequested()) return;
  MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), MB_OK);
}

void ShowAppMessage(const char* text) {
  if (StopRequested()) return;
  MessageBoxW(GetActiveWindow(), Widen(text).c_str(), Widen(ProgramPath()).c_str(),
              MB_OK | MB_ICONEXCLAMATION);
}

std::string ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) return Narrow(std::wstring_view(path.data(), n));
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

void StoreStartDirectory() {
  std::wstring folder(GetCurrentDirectoryW(0, nullptr), L'\0');
  DWORD n = folder.empty() ? 0 : GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data());
  std::string utf8 = n < folder.size() ? Narrow(std::wstring_view(folder.data(), n)) : std::string();
  if (utf8.size() >= sizeof sessionState.startDirectory) utf8.clear();
  utf8.copy(sessionState.startDirectory, utf8.size());
  sessionState.startDirectory[utf8.size()] = '\0';
}

void EnterStartDirectory() {
  if (sessionState.startDirectory[0]) SetCurrentDirectoryW(Widen(sessionState.startDirectory).c_str());
}
