// The edits of the clip after it is cut and before any encoder reads it: fades, then "louder".
#pragma once
#include "session/edit_options.h"

// Applies the fades and "louder" of `options` to the 16-bit PCM WAV file `path` in place. With
// neither on the file is not touched. True when the file is done (also when the meter's gate
// left it as it was); false when it cannot be read, is not 16-bit PCM or cannot be written
// (then the words name the folder), and the user has been told.
bool FinishClipFile(const char* path, const EditOptions& options);
