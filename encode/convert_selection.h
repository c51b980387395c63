#pragma once
#include <windows.h>

// Turns the selection into the ringtone file of the profile's format (window thread). Enables
// the Browse button again and restores the arrow cursor when it ends.
void ConvertSelection(HWND window);

#include "encode/selection_range.h"
#include "view/preview.h"

// The bytes of the working audio's samples that a conversion cuts for `selection`: the frames
// of a selection held in frames exactly, otherwise the columns' arithmetic of the strip.
ClipByteRange ClipRangeOfSelection(const UserSelectionEnds& selection);
