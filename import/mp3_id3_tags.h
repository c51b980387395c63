// Reads the lead artist and the title from the ID3v2 tag of an MP3 file.
#pragma once

// Copies the text of the lead-artist (TPE1) and title (TIT2) frames of the file's tag into
// `artist` and `title` (each `capacity` bytes, always ended; a field is left untouched when
// its frame is missing). Returns false when this build has no tag library.
bool ReadId3Tags(const char* path, char* artist, char* title, int capacity);
