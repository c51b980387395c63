// The AMR file of the storage format: "#!AMR\n", then one frame per 160 samples, each a header
// byte naming its frame type followed by that type's speech bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr char AmrMagic[] = "#!AMR\n";
inline constexpr size_t AmrFrameSamples = 160;  // 20 ms at 8000 Hz
inline constexpr size_t AmrMaxFrameBytes = 32;  // 12.2 kbit/s frame with its header byte

// Bytes of one stored frame, its header byte included, for the frame type that header byte
// names: 13 to 32 for the eight speech modes, 6 for a comfort-noise frame, 1 for a frame
// without data. 0 when the byte is no frame header of the storage format (a reserved frame
// type, or padding bits that are not 0).
size_t AmrStoredFrameBytes(uint8_t header);

// The number of frames of an AMR file: the magic, then whole frames back to back up to the
// last byte. -1 for anything else (no magic, an unknown frame header, a cut last frame).
long CheckAmrFile(std::span<const uint8_t> file);

// Encodes one frame of AmrFrameSamples samples into `out` (room for AmrMaxFrameBytes) and
// returns its byte count, or a count <= 0 on failure.
using AmrFrameEncoder = int (*)(void* context, const int16_t* frame, uint8_t* out);

// The whole file: the magic, then the frames; the last partial frame is padded with
// zeros. Returns false when the encoder fails.
bool EncodeAmrStream(std::span<const int16_t> samples, AmrFrameEncoder encode, void* context,
                     std::vector<uint8_t>& file);
