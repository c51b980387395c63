// The parts of wav2amr that do not need the speech codec: its command line, the mode
// names, and the AMR storage layout ("#!AMR\n" then one frame per 160 samples).
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char AmrMagic[] = "#!AMR\n";
inline constexpr size_t AmrFrameSamples = 160;  // 20 ms at 8000 Hz
inline constexpr size_t AmrMaxFrameBytes = 32;  // 12.2 kbit/s frame with its header byte

// "MR475" .. "MR122" (any letter case) to the codec's mode number 0 .. 7; -1 otherwise.
int AmrModeFromName(std::string_view name);

struct Wav2AmrCommand {
  std::string input;
  std::string output;
  int mode = 0;
  bool dtx = false;  // discontinuous transmission: silence as comfort-noise frames
};

// Accepts `wav2amr <name> <in.wav> <out.amr> <mode>` (the program's name repeated as the
// first parameter, as the program's caller passes it) and `wav2amr <in.wav> <out.amr> <mode>`,
// either followed by an optional "-dtx". On failure `error` says why.
//
// DTX is off unless asked for: it turns pauses into comfort-noise and no-data frames, which
// many players cannot decode (they drop them, and the ringtone comes out short), and its
// voice detector can mistake quiet music for noise.
bool ParseWav2AmrCommand(int argc, const char* const* argv, Wav2AmrCommand& command,
                         std::string& error);

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
