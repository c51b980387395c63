// The decoding branch of the import worker: every song that is not an MP3, a WAV file or a
// CD track (M4A, AAC, FLAC, Ogg Vorbis, Opus, WMA, the sound of a video), through FFmpeg.
#pragma once
#include <windows.h>

#include "import/decoded_song.h"

// Decodes `sourcePath` into "d.wav" in `startDirectory` as 16-bit PCM (DecodedLayoutOf),
// driving `progressBar` as the MP3 branch does, stopping at ImportByteLimit with the
// truncation warning and at once when the program is ending. Anything but Imported leaves no
// d.wav behind; DecodedSongRefusal gives its message.
DecodedSongVerdict ImportDecodedSong(const char* sourcePath, const char* startDirectory,
                                     HWND progressBar);
