// Zoom of the waveform strip from the menu, the Plus and Minus keys and the mouse wheel (with
// Ctrl it zooms, without it scrolls a zoomed strip).
#pragma once
#include <windows.h>

// "Zoom in on the selection", "Zoom out", "Whole song" (the menu's command ids).
void OnZoomCommand(HWND window, int id);
// For WM_KEYDOWN: Plus and Minus (either keyboard) zoom in and out around the selection; true
// when `key` was one of them.
bool OnZoomKey(HWND window, WPARAM key);
// For WM_MOUSEWHEEL.
void OnStripWheel(HWND window, WPARAM wParam);
// Whether the strip is zoomed, and whether a selection exists to zoom in on (for the menu).
bool StripZoomed();
bool CanZoomIn();
