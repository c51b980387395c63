// The main window at its screen's scale: it is laid out in 96-dpi units and drawn at the scale
// of the monitor that shows it (per-monitor DPI awareness, from the program's manifest).
#pragma once
#include <windows.h>

// The dots per inch of the screen that shows `window`: its monitor's on systems that tell,
// otherwise the system's; 96 when nothing tells.
int ScreenDpiOf(HWND window);
// WM_DPICHANGED: the window moved to a screen of `screenDpi`. It goes to the place of the
// system's `suggested` rectangle (kept where it is when there is none) and is drawn again at
// the skin scale of that screen: pictures, size, shape, controls, their font, the strip.
void OnDpiChanged(HWND window, int screenDpi, const RECT* suggested);
