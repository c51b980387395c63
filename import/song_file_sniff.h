// The container a song file's first bytes show: what Browse's size gate and the import worker
// both go by, so that a file's name never decides which limits it meets.
#pragma once
#include "formats/song_signature.h"

// Unknown when the file cannot be read.
SongContainer SniffSongFile(const char* path);

// False when the file is an MP4 whose sample tables claim more than its bytes hold
// (Mp4SampleTablesFit); true for any other file, or one that cannot be read.
bool Mp4SampleTablesFitFile(const char* path);
