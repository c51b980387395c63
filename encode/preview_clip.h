// The clip a preview plays while fades or "louder" are on: the conversion's cut and edits over
// the working audio (the program hands MakeEditedPreview to the view at its start).
#pragma once
#include "view/preview.h"

// The selection's bytes as the conversion cuts them (ClipRangeOfSelection), with its fades and
// "louder". Computed once per song, selection and options: a later call with the same gives
// the same clip again without computing it. False with every edit off, or nothing selected.
// Window thread only.
bool MakeEditedPreview(EditedPreview* clip);
