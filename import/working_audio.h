#pragma once

// Maps "d.wav" of startDirectory as the working audio. On success sets `fileLoaded`
// (last) and returns true; a missing, empty, unmappable or malformed file is a failed load
// that leaves nothing mapped and `fileLoaded` false.
// `headerMessageShown`, when given, tells whether the "Invalid Wave Header" box was shown.
bool MapWorkingAudio(bool* headerMessageShown = nullptr);
// Unmaps the view and closes the handles; clears `fileLoaded`.
void ReleaseWorkingAudio();
