// The clip a preview plays while fades or "louder" are on: the conversion's cut and edits over
// the working audio (the program hands MakeEditedPreview to the view at its start).
#pragma once
#include "session/clip_range.h"

// The bytes `range` of the samples (the selection as the conversion cuts it), with its fades
// and "louder". Computed once per song, range and options: a later call with the same gives
// the same clip again without computing it. False with every edit off. Window thread only.
bool MakeEditedPreview(ClipByteRange range, EditedPreview* clip);
