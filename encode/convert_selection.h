#pragma once
#include <windows.h>

// Turns the selection into the ringtone file of the profile's format (window thread). Enables
// the Browse button again and restores the arrow cursor when it ends.
void ConvertSelection(HWND window);
