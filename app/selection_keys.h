// The keys that move a selection's edges: Left and Right its end by 10 ms, with Shift its
// start, with Ctrl by 1 s. Once moved, the selection is held in sample frames.
#pragma once
#include <windows.h>

// For WM_KEYDOWN: true when `key` was one of these and was handled (a selection exists, the
// song is loaded and no preview runs; otherwise the key does nothing).
bool OnSelectionKey(HWND window, WPARAM key);
