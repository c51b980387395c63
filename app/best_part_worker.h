// The best part of the song, looked for on a thread of its own after every import: the window
// answers meanwhile, and a new song (or the program's end) cancels the search. What it finds
// becomes the strip's suggested parts.
#pragma once
#include <windows.h>

// Posted by the search's thread when it ends; LPARAM is the search, which the window's thread
// takes over (OnBestPartsFound).
constexpr UINT WM_BEST_PARTS_FOUND = WM_APP + 0x53;

// Starts looking in the working audio for parts of the phone's length (window thread); a
// search under way is cancelled first.
void StartBestPartSearch(HWND window);
// Cancels a search under way and waits for its thread (a few milliseconds), so that the working
// audio can be released. Nothing happens when none runs.
void CancelBestPartSearch();
// WM_BEST_PARTS_FOUND: shows the parts of a search that is still the current one; with
// "Select the suggested part after opening a song" the first is also selected, unless the user
// has made a selection meanwhile.
void OnBestPartsFound(HWND window, LPARAM search);
