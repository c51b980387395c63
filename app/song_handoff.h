// Songs that come in otherwise than through Browse: a song path given on the command line, a
// file dropped on the window, and a song handed over by a second start of the program. One
// program runs per working folder: a second start there hands its song to the running window
// and ends, so two windows never share the working files.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

// The message the window posts itself when a song waits to be opened.
constexpr UINT WM_OPEN_PENDING_SONG = WM_APP + 0x51;

// The song given as the first command-line argument (UTF-8); "" when there is none.
std::string SongArgument();

// Called before the window is made, in the working folder. True when this process is the
// one of its working folder; false when another runs there: it has been handed `song` (when
// not empty) and brought to the front, and this process should end.
bool BecomeTheInstance(const std::string& song);

// The window side. MarkInstanceWindow lets a second start find the window (at WM_CREATE).
void MarkInstanceWindow(HWND window);
// Keeps `path` as the song to open and posts WM_OPEN_PENDING_SONG.
void QueueSong(HWND window, const std::string& path);
// After the window's start (and the first-run profile): queued songs may open from now on.
void SongsMayOpen(HWND window);
// WM_OPEN_PENDING_SONG: opens the queued song once the window can take it (started, and no
// dialog of its own up); otherwise tries again a little later.
void OnOpenPendingSong(HWND window);
// WM_COPYDATA from a second start: queues its song. TRUE when the data was a song.
LRESULT OnSongCopyData(HWND window, const COPYDATASTRUCT* data);
// WM_DROPFILES: the first dropped file that is not a folder (a folder when there is nothing
// else, which gets its message), then DragFinish.
void OnDropFiles(HWND window, HDROP drop);
