#pragma once

// What the import worker does with a source, chosen from the last three characters of its path
// without regard to case.
enum class ImportKind { Mp3, CdTrack, Wav, Unknown };
ImportKind ImportKindOf(const char* path);
// The zero-based track index of a "...TrackNN.cda" path (the two characters before ".cda"
// read as a decimal number, minus one), or -1 when they are not two digits.
int CdTrackIndexOf(const char* path);
