// The keyboard in the main window: Tab and Shift+Tab go round Browse, Play, Convert, Upload,
// Profile, Help and the strip; Enter presses the focused button (Space does so by itself).
// Once Tab has been used, the focus is shown: a dotted ring inside the focused button, or
// around the strip.
#pragma once
#include <windows.h>

// Handles `message` of the thread's loop when it is one of these keys for the main window
// `window` or one of its controls; true when it was used (it is not dispatched then).
bool OnKeyboardFocusKey(HWND window, const MSG& message);
