#pragma once
#include <windows.h>

// The main window's procedure: creation, paint, buttons, mouse routing, commands.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
