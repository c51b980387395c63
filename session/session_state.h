// The one process-wide record that the window thread and the workers share. The flags are
// single bytes written by one thread at a time and read by others without locks.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "formats/utf8_text.h"
#include "session/ringtone_format.h"
#include "session/screen_scale.h"

struct IDirectSound;
struct IDirectSoundBuffer;

// The longest path Windows takes (32,767 UTF-16 units) in UTF-8, with its NUL.
constexpr size_t MaxPathBytes = 32767 * 3 + 1;

struct SessionState {
  HWND mainWindow = nullptr;
  HINSTANCE instance = nullptr;
  HWND progressBar = nullptr;
  HWND browseButton = nullptr;
  HWND uploadButton = nullptr;
  HWND pathEdit = nullptr;
  HWND sizeEdit = nullptr;
  // UTF-8, as every text inside the program; room for the longest path Windows takes.
  char startDirectory[MaxPathBytes] = {};
  char sourcePath[MaxPathBytes] = {};
  char sourceTitle[64] = {};

  volatile bool fileLoaded = false;
  volatile bool loading = false;
  volatile bool justLoaded = false;
  volatile bool converted = false;
  volatile bool uploaded = false;
  volatile bool uploadBusy = false;

  // Number of completed PCM loads, capped at 1: the strip is drawn once it is above 0.
  volatile int loadCount = 0;

  int32_t outputFormat = RingtoneAmr;

  // Preview playback.
  IDirectSound* soundDevice = nullptr;
  IDirectSoundBuffer* previewBuffer = nullptr;
  UINT_PTR playTimerId = 0;

  // Set while an import thread runs, so that two imports never overlap.
  std::atomic<bool> importRunning{false};
  // Set once when the program ends: a worker stops at its next chance, shows nothing more and
  // leaves its files complete.
  std::atomic<bool> stopRequested{false};

  // The scale the main window is drawn at, in dots per inch (one of SkinDpis): set by the
  // window thread, read by the import thread when it draws the strip.
  std::atomic<int> skinDpi{BaseDpi};
};

extern SessionState sessionState;

// `units` 96-dpi units in pixels of the main window's scale.
inline int WindowPixels(int units) { return ToPixels(units, sessionState.skinDpi); }

// Sent by the import's thread to the main window when the song is mapped (WPARAM: 1 for the
// program's first song); the window's thread then draws the strip and readies the preview
// while the import waits.
constexpr UINT WM_SONG_IMPORTED = WM_APP + 0x52;

// Sets `converted`, clears `justLoaded` and repaints the main window without erasing.
void SetConverted(bool value);
// Moves the progress bar to its upper limit so that it looks full.
void FillProgressBar();
// Sets the main window class's cursor (IDC_WAIT / IDC_ARROW) and shows it at once.
void SetClassCursor(LPCSTR cursorId);
void RestoreArrowCursor();

// The full path of the working file `name`: in startDirectory, whatever the process's current
// folder is at the moment (the open dialog and the shell move it for a while); just `name`
// before startDirectory is known.
std::string WorkingFilePath(const char* name);
// Reads the process's current folder into startDirectory (UTF-8); leaves it empty when the
// folder's name does not fit.
void StoreStartDirectory();
// Makes startDirectory the process's current folder again (nothing when it is empty).
void EnterStartDirectory();
// The full path of the running program (UTF-8); "" when it cannot be had.
std::string ProgramPath();
// Deletes the working file `name`; failures are ignored.
void DeleteWorkingFile(const char* name);

// True once the program is ending (sessionState.stopRequested).
inline bool StopRequested() { return sessionState.stopRequested.load(); }

// A modal box with no owner and one OK button. Neither kind of box is shown once the program
// is ending.
void ShowMessage(const char* text, const char* caption);
// The application message box: owned by the active window, captioned with the full path of
// the executable, exclamation icon, OK button.
void ShowAppMessage(const char* text);
