// The parts of wav2amr that do not need the speech codec: its command line and the mode
// names. The AMR file it writes is formats/amr_file.h.
#pragma once
#include <string>
#include <string_view>

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
