// Times the conversion of a 30-second clip to MP3 as the program runs it (the cut from d.wav into
// memory, the edits there, test.wav written, then lame.exe) without and with the clip's edits (both fades at 3 s and "louder"
// between the two), in the same run.
//   bench_clip_edits.exe LAME_FOLDER WORK_FOLDER [REPEATS]
// Prints "plain_seconds=...", "edited_seconds=..." and "edits_seconds=..." (best of the repeats).
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "encode/finish_clip.h"
#include "encode/run_tool.h"
#include "import/clip_to_test_wav.h"
#include "session/session_state.h"
#include "tests/bench/bar_thread.h"

namespace {

constexpr uint32_t SongSeconds = 40, ClipStartSecond = 5, ClipSeconds = 30;

// A song of stereo 44100 Hz 16-bit as an MP3 import leaves it: two tones and a little noise,
// at a modest level.
std::vector<uint8_t> Song() {
  const uint32_t frames = 44100 * SongSeconds;
  std::vector<uint8_t> wav(44 + frames * 4);
  auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) wav[at + i] = static_cast<uint8_t>(v >> 8 * i); };
  auto put16 = [&](size_t at, uint16_t v) { wav[at] = static_cast<uint8_t>(v); wav[at + 1] = static_cast<uint8_t>(v >> 8); };
  std::memcpy(&wav[0], "RIFF", 4);
  put32(4, 36 + frames * 4);
  std::memcpy(&wav[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, 2);
  put32(24, 44100);
  put32(28, 176400);
  put16(32, 4);
  put16(34, 16);
  std::memcpy(&wav[36], "data", 4);
  put32(40, frames * 4);
  uint32_t noise = 1;
  for (uint32_t f = 0; f < frames; ++f) {
    noise = noise * 1664525u + 1013904223u;
    const double t = f / 44100.0;
    const double v = 3000 * std::sin(2 * 3.14159265358979 * 220 * t) +
                     1500 * std::sin(2 * 3.14159265358979 * 1760 * t) +
                     static_cast<int32_t>(noise >> 20) - 2048;
    put16(44 + f * 4, static_cast<uint16_t>(static_cast<int16_t>(v)));
    put16(46 + f * 4, static_cast<uint16_t>(static_cast<int16_t>(-v)));
  }
  return wav;
}

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::printf("usage: bench_clip_edits LAME_FOLDER WORK_FOLDER [REPEATS]\n");
    return 2;
  }
  const int repeats = argc > 3 && std::atoi(argv[3]) > 0 ? std::atoi(argv[3]) : 3;
  const std::string lame = std::string(argv[1]) + "\\lame.exe";
  lstrcpynA(sessionState.startDirectory, argv[2], sizeof sessionState.startDirectory);
  SetCurrentDirectoryA(argv[2]);
  if (!Write(std::string(argv[2]) + "\\d.wav", Song())) return 1;
  const uint32_t start = ClipStartSecond * 176400, end = start + ClipSeconds * 176400;

  EditOptions edits;
  edits.fadeInMs = 3000;
  edits.fadeOutMs = 3000;
  edits.louder = true;
  double plain = 1e9, edited = 1e9, editsAlone = 1e9;
  // Alternating, so that both see the same state of the machine.
  const ClipTargetFormat format = ClipFormatFor(RingtoneMp3);
  std::vector<int16_t> clip;
  for (int i = 0; i < repeats; ++i) {
    double begin = bench::Now();
    if (!ExtractClip("d.wav", start, end, nullptr, format, clip)) return 1;
    if (!WriteTestWav(format, clip)) return 1;
    if (!RunTool(lame.c_str(), "test.wav a.mp3 -b 48")) return 1;
    plain = std::min(plain, bench::Now() - begin);

    begin = bench::Now();
    if (!ExtractClip("d.wav", start, end, nullptr, format, clip)) return 1;
    const double cut = bench::Now();
    if (!FinishClip(clip, format.channels, format.samplesPerSecond, edits)) return 1;
    const double finished = bench::Now();
    if (!WriteTestWav(format, clip)) return 1;
    if (!RunTool(lame.c_str(), "test.wav a.mp3 -b 48")) return 1;
    edited = std::min(edited, bench::Now() - begin);
    editsAlone = std::min(editsAlone, finished - cut);
  }
  std::printf("plain_seconds=%.3f\nedited_seconds=%.3f\nedits_seconds=%.3f\n", plain, edited,
              editsAlone);
  return 0;
}
