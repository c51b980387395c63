#include "app/song_handoff.h"

#include <shellapi.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/commands.h"
#include "session/session_state.h"

namespace {

constexpr wchar_t WindowClass[] = L"Quavella";
constexpr wchar_t FolderProperty[] = L"Quavella.WorkingFolder";
// WM_COPYDATA's dwData of a handed-over song ("QVSG"); its bytes are the path in UTF-8.
constexpr ULONG_PTR SongCopyData = 0x51565347;
constexpr UINT_PTR RetryTimer = 0x5147;
constexpr UINT RetryMs = 300;

// The song waiting for the window, and whether the window may open it yet.
std::string pendingSong;
bool songsMayOpen = false;

// Identifies the working folder (its name case-folded, as Windows compares paths); never 0,
// so that it can be a window property.
uintptr_t FolderKey() {
  std::wstring folder = Widen(sessionState.startDirectory);
  if (!folder.empty()) CharUpperBuffW(folder.data(), static_cast<DWORD>(folder.size()));
  uint32_t hash = 2166136261u;  // FNV-1a
  for (wchar_t c : folder) {
    hash ^= static_cast<uint16_t>(c);
    hash *= 16777619u;
  }
  return hash == 0 ? 1 : hash;
}

struct WindowSearch {
  uintptr_t key;
  DWORD ownProcess;
  HWND found;
};

BOOL CALLBACK MatchInstanceWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  wchar_t className[32] = {};
  GetClassNameW(window, className, 32);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->ownProcess && lstrcmpW(className, WindowClass) == 0 &&
      reinterpret_cast<uintptr_t>(GetPropW(window, FolderProperty)) == search->key) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindInstanceWindow(uintptr_t key) {
  WindowSearch search{key, GetCurrentProcessId(), nullptr};
  EnumWindows(MatchInstanceWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CALLBACK RetryPendingSong(HWND window, UINT, UINT_PTR, DWORD) {
  PostMessageW(window, WM_OPEN_PENDING_SONG, 0, 0);
}

// Hands `song` to the running window and brings it to the front.
void HandOver(HWND window, const std::string& song) {
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  SetForegroundWindow(window);
  if (song.empty()) return;
  COPYDATASTRUCT data{SongCopyData, static_cast<DWORD>(song.size()),
                      const_cast<char*>(song.data())};
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                      SMTO_ABORTIFHUNG, 10000, &result);
}

}  // namespace

std::string SongArgument() {
  const std::vector<std::string> arguments = SplitCommandLine(Narrow(GetCommandLineW()));
  return arguments.size() > 1 ? arguments[1] : std::string();
}

bool BecomeTheInstance(const std::string& song) {
  const uintptr_t key = FolderKey();
  wchar_t name[64];
  wsprintfW(name, L"Local\\Quavella-%08lX", static_cast<unsigned long>(key));
  // The handle stays open for the life of the process: the mutex is the instance's mark.
  HANDLE mutex = CreateMutexW(nullptr, TRUE, name);
  if (mutex == nullptr || GetLastError() != ERROR_ALREADY_EXISTS) return true;
  // Another start of this folder holds it: hand over to its window once it shows.
  for (int tries = 0; tries < 50; ++tries) {
    if (HWND window = FindInstanceWindow(key)) {
      HandOver(window, song);
      return false;
    }
    // It may be ending: then the folder is ours.
    DWORD wait = WaitForSingleObject(mutex, 100);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return true;
  }
  return false;
}

void MarkInstanceWindow(HWND window) {
  SetPropW(window, FolderProperty, reinterpret_cast<HANDLE>(FolderKey()));
}

void QueueSong(HWND window, const std::string& path) {
  pendingSong = path;
  PostMessageW(window, WM_OPEN_PENDING_SONG, 0, 0);
}

void SongsMayOpen(HWND window) {
  songsMayOpen = true;
  if (!pendingSong.empty()) PostMessageW(window, WM_OPEN_PENDING_SONG, 0, 0);
}

void OnOpenPendingSong(HWND window) {
  KillTimer(window, RetryTimer);
  if (pendingSong.empty()) return;
  // A dialog of the window (the profile, the open dialog) disables it: the song waits.
  if (!songsMayOpen || !IsWindowEnabled(window)) {
    SetTimer(window, RetryTimer, RetryMs, RetryPendingSong);
    return;
  }
  std::string song;
  song.swap(pendingSong);
  OnSongGiven(window, song);
}

LRESULT OnSongCopyData(HWND window, const COPYDATASTRUCT* data) {
  if (data == nullptr || data->dwData != SongCopyData || data->lpData == nullptr ||
      data->cbData == 0 || data->cbData >= sizeof sessionState.sourcePath)
    return FALSE;
  std::string song(static_cast<const char*>(data->lpData), data->cbData);
  if (song.find('\0') != std::string::npos) return FALSE;
  QueueSong(window, song);
  return TRUE;
}

void OnDropFiles(HWND window, HDROP drop) {
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  std::string chosen;
  for (UINT i = 0; i < count; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    UINT length = DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size()));
    if (length == 0) continue;
    path.resize(length);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    if (chosen.empty()) chosen = Narrow(path);
    if (!folder) {
      chosen = Narrow(path);
      break;
    }
  }
  DragFinish(drop);
  if (!chosen.empty()) QueueSong(window, chosen);
}
