// The whole clip extraction under Windows (or Wine): ClipToTestWav on a 30-second clip of a
// 44100 Hz stereo song, through ACM and our resampler driver, beside the same chunked ACM
// conversion served by the system's own PCM converter, and beside sox when its results are
// there. Prints time, tone SNR after a sine fit, the level of a tone that would alias, clipped
// samples, and length. Never fails on figures.
//   bench_clip_extract --inputs DIR   writes the songs (tone.wav, alias.wav, loud.wav) to DIR
//   bench_clip_extract [DIR]          measures; DIR\sox_<song>.wav, when present, is sox's
//                                     conversion of that song to 8000 Hz mono
#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <cstdio>
#include <string>
#include <vector>

#include "import/clip_to_test_wav.h"
#include "import/pcm_resampler.h"
#include "session/ringtone_format.h"
#include "tests/bench/clip_measure.h"

using namespace clipbench;

namespace {

double Now() {
  LARGE_INTEGER f, t;
  QueryPerformanceFrequency(&f);
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / f.QuadPart;
}

// The system converter, chunk by chunk as the extraction reads (no driver of ours added).
std::vector<uint8_t> SystemConvert(const std::vector<uint8_t>& pcm, double* seconds) {
  WAVEFORMATEX source{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
  WAVEFORMATEX target{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
  std::vector<uint8_t> out;
  const double t0 = Now();
  HACMSTREAM stream = nullptr;
  if (acmStreamOpen(&stream, nullptr, &source, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME))
    return out;
  const DWORD chunk = 4 * 1024;
  DWORD room = 0;
  acmStreamSize(stream, chunk, &room, ACM_STREAMSIZEF_SOURCE);
  std::vector<uint8_t> src(chunk), dst(room);
  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = src.data();
  header.cbSrcLength = chunk;
  header.pbDst = dst.data();
  header.cbDstLength = room;
  acmStreamPrepareHeader(stream, &header, 0);
  for (size_t at = 0; at < pcm.size(); at += chunk) {
    DWORD n = static_cast<DWORD>(std::min<size_t>(chunk, pcm.size() - at));
    std::copy(pcm.begin() + at, pcm.begin() + at + n, src.begin());
    header.cbSrcLength = n;
    acmStreamConvert(stream, &header, 0);
    out.insert(out.end(), dst.begin(), dst.begin() + header.cbDstLengthUsed);
  }
  header.cbSrcLength = chunk;
  acmStreamUnprepareHeader(stream, &header, 0);
  acmStreamClose(stream, 0);
  *seconds = Now() - t0;
  return out;
}

void Row(const char* who, const std::vector<uint8_t>& pcm, double seconds, double hz,
         double inputDb, bool alias, size_t expected) {
  std::vector<double> x = Channel(pcm, 1, 0);
  size_t clipped = 0;
  for (double v : x) clipped += (v >= 32767 / 32768.0 || v <= -1.0);
  const long long off = static_cast<long long>(x.size()) - static_cast<long long>(expected);
  if (alias) {
    const double level = RmsDb(x, 400) - inputDb;
    if (level < -200)
      std::printf("  %-7s alias   silent     ", who);
    else
      std::printf("  %-7s alias %7.1f dB  ", who, level);
  } else {
    std::printf("  %-7s SNR %6.1f dB  level %+6.2f dB  ", who, ToneSnrDb(x, hz, 8000, 400),
                RmsDb(x, 400) - inputDb);
  }
  std::printf("length %zu (%+lld)  clipped %zu", x.size(), off, clipped);
  if (seconds > 0) std::printf("  %.3f s", seconds);
  std::printf("\n");
}

struct Song {
  const char* name;
  const char* title;
  double hz;
  double amplitude;
  bool alias;
};
const Song Songs[] = {{"tone", "Tone", 1000, 0.5, false},
                      {"alias", "Alias", 6000, 0.5, true},
                      {"loud", "Loud fold", 440, 0.98, false}};
constexpr size_t SongFrames = 44100 * 30;

void Case(const Song& song, const std::string& dir) {
  const char* title = song.title;
  const double hz = song.hz, amplitude = song.amplitude;
  const bool alias = song.alias;
  const size_t frames = SongFrames;
  std::vector<uint8_t> pcm = Tone16(44100, 2, hz, amplitude, frames);
  WriteFile("d.wav", WavBytes(44100, 2, pcm));
  const double inputDb = 20 * std::log10(amplitude / std::sqrt(2.0));
  const size_t expected = static_cast<size_t>(PcmResampler::TargetFrames(frames, 44100, 8000));
  std::printf("%s: 30 s of 44100 Hz stereo, %.0f Hz at %.2f, to 8000 Hz mono\n", title, hz, amplitude);

  const double t0 = Now();
  const ClipTargetFormat format = ClipFormatFor(RingtoneAmr);
  std::vector<int16_t> clip;
  const bool ok = ExtractClip("d.wav", 0, static_cast<uint32_t>(pcm.size()), nullptr, format, clip) &&
                  WriteTestWav(format, clip);
  const double ours = Now() - t0;
  if (ok) Row("ours", ReadWavData("test.wav"), ours, hz, inputDb, alias, expected);
  else std::printf("  ours    (extraction failed)\n");

  double system = 0;
  std::vector<uint8_t> plain = SystemConvert(pcm, &system);
  if (!plain.empty()) Row("system", plain, system, hz, inputDb, alias, expected);
  else std::printf("  system  (no converter)\n");

  if (!dir.empty()) {
    std::vector<uint8_t> sox = ReadWavData(dir + "\\sox_" + song.name + ".wav");
    if (!sox.empty()) Row("sox", sox, 0, hz, inputDb, alias, expected);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--inputs") {
    for (const Song& song : Songs)
      WriteFile(std::string(argv[2]) + "\\" + song.name + ".wav",
                WavBytes(44100, 2, Tone16(44100, 2, song.hz, song.amplitude, SongFrames)));
    return 0;
  }
  const std::string dir = argc > 1 ? argv[1] : "";
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  std::string work = std::string(folder) + "qv_clip_extract_bench";
  CreateDirectoryA(work.c_str(), nullptr);
  SetCurrentDirectoryA(work.c_str());
  for (const Song& song : Songs) Case(song, dir);
  DeleteFileA("d.wav");
  DeleteFileA("test.wav");
  return 0;
}
