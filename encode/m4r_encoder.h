// The iPhone ringtone through FFmpeg's DLLs: its own AAC encoder (AAC-LC) and the MP4 muxer
// of iPod files, whose files have the major brand "M4A ".
#pragma once
#include <cstdint>
#include <span>

inline constexpr int64_t M4rBitRate = 160000;

// Encodes interleaved 16-bit stereo 44,100 Hz `samples` into the file `path` (written anew).
// False when the DLLs are missing or FFmpeg fails; a half-written file is then deleted.
bool EncodeM4r(std::span<const int16_t> samples, const char* path);
