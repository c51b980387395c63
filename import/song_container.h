// Which kind of file a song is, from its first bytes: the container's signature.
#pragma once
#include <cstddef>
#include <cstdint>

enum class SongContainer { Unknown, Wav, Mp3, Mp4, Matroska, Ogg, Flac, Asf, Adts, Caf };

// How many leading bytes of a file SniffSongContainer looks at (an ID3v2 tag in front of
// the audio is skipped when it ends inside them).
inline constexpr size_t SongSignatureBytes = 65536;

// The container whose signature starts `head` (the first `size` bytes of the file, after an
// ID3v2 tag when there is one). An ID3v2 tag that runs past `head` counts as an MP3's.
SongContainer SniffSongContainer(const uint8_t* head, size_t size);
