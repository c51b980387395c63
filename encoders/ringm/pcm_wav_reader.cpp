#include "encoders/ringm/pcm_wav_reader.h"

#include <cstring>

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint16_t FormatPcm = 1;
constexpr uint16_t FormatExtensible = 0xFFFE;
// The tail of the PCM sub-format GUID {00000001-0000-0010-8000-00aa00389b71}.
constexpr uint8_t GuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct Chunk {
  size_t body = 0;       // offset of the body
  size_t available = 0;  // body bytes inside the file (may be fewer than declared)
  bool found = false;
};

}  // namespace

PcmWavResult ReadPcmWav(std::span<const uint8_t> file, PcmWav& wav) {
  wav = PcmWav{};
  if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
      std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
    return PcmWavResult::NotRiffWave;
  }
  // The RIFF size is often wrong in files written by streaming tools; the file's own end
  // bounds the walk instead.
  Chunk fmt, data;
  size_t offset = 12;
  while (file.size() - offset >= 8) {
    const uint8_t* header = file.data() + offset;
    uint32_t size = Le32(header + 4);
    size_t body = offset + 8;
    size_t available = file.size() - body;
    if (size < available) available = size;
    Chunk* target = nullptr;
    if (std::memcmp(header, "fmt ", 4) == 0 && !fmt.found) target = &fmt;
    if (std::memcmp(header, "data", 4) == 0 && !data.found) target = &data;
    if (target) *target = Chunk{body, available, true};
    if (fmt.found && data.found) break;
    uint64_t next = static_cast<uint64_t>(body) + size + (size & 1);  // pad byte after odd sizes
    if (next >= file.size()) break;
    offset = static_cast<size_t>(next);
  }

  if (!fmt.found || fmt.available < 16) return PcmWavResult::NoFormat;
  const uint8_t* f = file.data() + fmt.body;
  uint16_t tag = Le16(f);
  if (tag == FormatExtensible) {
    // cbSize at 16, valid bits at 18, channel mask at 20, sub-format GUID at 24.
    if (fmt.available < 40 || Le16(f + 24) != FormatPcm ||
        std::memcmp(f + 26, GuidTail, sizeof GuidTail) != 0) {
      return PcmWavResult::NotPcm;
    }
  } else if (tag != FormatPcm) {
    return PcmWavResult::NotPcm;
  }
  wav.channels = Le16(f + 2);
  wav.sampleRate = Le32(f + 4);
  wav.blockAlign = Le16(f + 12);
  wav.bitsPerSample = Le16(f + 14);
  if (wav.channels == 0 || wav.sampleRate == 0 ||
      (wav.bitsPerSample != 8 && wav.bitsPerSample != 16) ||
      wav.blockAlign != wav.channels * (wav.bitsPerSample / 8)) {
    wav = PcmWav{};
    return PcmWavResult::BadFormat;
  }

  if (!data.found) {
    wav = PcmWav{};
    return PcmWavResult::NoData;
  }
  size_t whole = data.available - data.available % wav.blockAlign;
  wav.data = file.subspan(data.body, whole);
  return PcmWavResult::Ok;
}

const char* PcmWavResultText(PcmWavResult result) {
  switch (result) {
    case PcmWavResult::Ok: return "ok";
    case PcmWavResult::NotRiffWave: return "not a WAV file";
    case PcmWavResult::NoFormat: return "no format chunk";
    case PcmWavResult::NotPcm: return "not PCM audio";
    case PcmWavResult::BadFormat: return "unsupported PCM layout";
    case PcmWavResult::NoData: return "no data chunk";
  }
  return "unknown";
}

int16_t PcmSample(const PcmWav& wav, size_t index) {
  const uint8_t* p = wav.data.data() + index * wav.blockAlign;
  if (wav.bitsPerSample == 8) return static_cast<int16_t>((p[0] - 128) * 256);
  return static_cast<int16_t>(Le16(p));
}
