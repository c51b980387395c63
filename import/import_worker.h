#pragma once
#include <windows.h>

// The import thread started by Browse: turns sessionState.sourcePath into "d.wav", maps it,
// renders the strip and prepares the preview. Clears sessionState.importRunning at its end.
DWORD WINAPI ImportWorker(LPVOID);

// What the worker does with a source, chosen from the last three characters of its path.
enum class ImportKind { Mp3, CdTrack, Wav, Unknown };
ImportKind ImportKindOf(const char* path);
// The zero-based track index of a "...TrackNN.cda" path, or -1 when NN is not two digits.
int CdTrackIndexOf(const char* path);
