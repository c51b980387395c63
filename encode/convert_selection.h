#pragma once
#include <windows.h>

#include "session/clip_range.h"
#include "session/edit_options.h"

// Turns the bytes `range` of the working audio's samples (the selection as the strip cuts it)
// into the ringtone file of the profile's format, with the clip edits of `options` (window
// thread). Enables the Browse button again and restores the arrow cursor when it ends.
void ConvertSelection(HWND window, ClipByteRange range, const EditOptions& options);
