#include "import/wav_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Rates above this are taken for a damaged header rather than for sound.
constexpr uint32_t HighestSampleRate = 1000000;

// The name a user may know a compressed codec by; nullptr for the rest.
const char* CodecName(uint16_t tag) {
  switch (tag) {
    case 0x0002: case 0x0010: case 0x0011: case 0x0012: case 0x0013: case 0x0014:
    case 0x0017: case 0x0018: case 0x0020: case 0x0033: case 0x0036: case 0x0038:
    case 0x0039: case 0x003B: case 0x0040: case 0x0064: case 0x0200:
      return "ADPCM";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0031: return "GSM";
    case 0x0050: return "MPEG";
    case 0x0055: return "MP3";
    default: return nullptr;
  }
}

// What the loader of the working audio takes as it is.
bool LoaderTakesAsItIs(const WavFormat& f) {
  return f.formatTag == WavTagPcm && (f.bitsPerSample == 8 || f.bitsPerSample == 16) &&
         (f.channels == 1 || f.channels == 2);
}

}  // namespace

bool IsConvertibleSampleType(const WavFormat& f) {
  if (f.encoding == WavEncoding::Integer) return f.bitsPerSample >= 1 && f.bitsPerSample <= 32;
  if (f.encoding == WavEncoding::Float) return f.bitsPerSample == 32 || f.bitsPerSample == 64;
  return false;
}

WavImportPlan PlanWavImport(std::span<const uint8_t> file) {
  WavImportPlan plan;
  WavWalk walk = WalkWavChunks(file);
  if (!walk.headerValid) {
    // Another kind of RIFF file (video, MIDI, a picture) has no "fmt " chunk at all; anything
    // else without the header is left to the loader's header message.
    bool otherRiff = file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0;
    if (otherRiff && walk.result == WavWalkResult::NoFormat) {
      plan.action = WavImportAction::Refuse;
      plan.refusal = WavRefusal::NotAudio;
    }
    return plan;
  }
  if (walk.result == WavWalkResult::TooSmall || walk.result == WavWalkResult::NoFormat) return plan;
  WavFormat& f = plan.format;
  // The declared size may run past the end of the file: read only the bytes that are there.
  size_t formatBytes = std::min<size_t>(walk.formatSize, file.size() - walk.formatOffset);
  if (!ReadWavFormat(file.subspan(walk.formatOffset, formatBytes), &f)) return plan;

  if (f.encoding == WavEncoding::Compressed) {
    if (f.formatTag == 0) return plan;  // "unknown": a damaged header more likely than a codec
    plan.action = WavImportAction::Refuse;
    plan.refusal = WavRefusal::Compressed;
    return plan;
  }
  if (LoaderTakesAsItIs(f)) return plan;
  if (f.bitsPerSample == 0 || f.channels == 0) return plan;  // damaged
  if (!IsConvertibleSampleType(f)) {
    plan.action = WavImportAction::Refuse;
    plan.refusal = WavRefusal::SampleType;
    return plan;
  }
  bool sane = f.sampleRate >= 1 && f.sampleRate <= HighestSampleRate &&
              f.blockAlign == static_cast<uint32_t>(f.channels) * f.SampleBytes() &&
              walk.dataOffset != 0;
  if (!sane) return plan;
  size_t whole = walk.dataSize - walk.dataSize % f.blockAlign;
  plan.data = file.subspan(walk.dataOffset, whole);
  plan.action = WavImportAction::Convert;
  return plan;
}

std::string WavRefusalMessage(const WavImportPlan& plan) {
  const WavFormat& f = plan.format;
  char text[256];
  switch (plan.refusal) {
    case WavRefusal::None:
      return {};
    case WavRefusal::Compressed:
      if (const char* name = CodecName(f.codec)) {
        std::snprintf(text, sizeof text,
                      "Sorry, this WAV file holds compressed sound (%s), which Quavella cannot "
                      "read. Please choose a PCM WAV file.",
                      name);
        return text;
      }
      return "Sorry, this WAV file holds compressed sound, which Quavella cannot read. Please "
             "choose a PCM WAV file.";
    case WavRefusal::NotAudio:
      return "Sorry, this file holds no sound, although its name ends in .wav. Please choose a "
             "PCM WAV file.";
    case WavRefusal::SampleType:
      std::snprintf(text, sizeof text,
                    "Sorry, Quavella cannot read %sWAV samples of %u bits. Please choose a PCM "
                    "WAV file of 8, 16, 24 or 32 bits.",
                    f.encoding == WavEncoding::Float ? "floating-point " : "",
                    static_cast<unsigned>(f.bitsPerSample));
      return text;
  }
  return {};
}
