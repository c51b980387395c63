// The container of a song file, from its first bytes: the signature each container starts
// with (after an ID3v2 tag, which some tools put in front of any audio).
#pragma once
#include <cstddef>
#include <cstdint>

enum class SongContainer { Unknown, Wav, Mp3, Mp4, Matroska, Ogg, Flac, Asf, Adts, Caf };

// How many leading bytes of a file SniffSongContainer looks at (an ID3v2 tag in front of
// the audio is skipped when it ends inside them).
inline constexpr size_t SongSignatureBytes = 65536;

// The container whose signature starts `head` (the first `size` bytes of the file). An ID3v2
// tag that runs past `head`, or is malformed, counts as an MP3's.
SongContainer SniffSongContainer(const uint8_t* head, size_t size);
