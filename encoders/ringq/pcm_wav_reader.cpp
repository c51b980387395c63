#include "encoders/ringq/pcm_wav_reader.h"

#include <cstring>

namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// The PCM sub-format of WAVE_FORMAT_EXTENSIBLE, bytes 2.. of its GUID after the tag.
const uint8_t PcmSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

const char* PcmWavStatusText(PcmWavStatus status) {
  switch (status) {
    case PcmWavStatus::Ok: return "ok";
    case PcmWavStatus::NotWave: return "not a WAV file";
    case PcmWavStatus::NoFormat: return "the WAV file has no format chunk";
    case PcmWavStatus::NotPcm: return "the WAV file is not PCM";
    case PcmWavStatus::WrongFormat: return "the WAV file is not 8000 Hz mono 16-bit";
    case PcmWavStatus::NoData: return "the WAV file has no data chunk";
    case PcmWavStatus::Truncated: return "the WAV file is truncated";
    case PcmWavStatus::Empty: return "the WAV file holds no samples";
  }
  return "unknown";
}

PcmWavStatus ReadPcmWav(std::span<const uint8_t> bytes, std::vector<int16_t>& samples) {
  samples.clear();
  const size_t size = bytes.size();
  if (size < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
      std::memcmp(bytes.data() + 8, "WAVE", 4) != 0)
    return PcmWavStatus::NotWave;

  const uint8_t* fmt = nullptr;
  const uint8_t* data = nullptr;
  size_t fmtSize = 0, dataSize = 0;
  bool dataTruncated = false;
  size_t pos = 12;
  while (size - pos >= 8) {
    const uint8_t* head = bytes.data() + pos;
    const size_t chunkSize = Le32(head + 4);
    const size_t body = pos + 8;
    const size_t available = size - body;
    if (std::memcmp(head, "fmt ", 4) == 0 && !fmt) {
      if (chunkSize > available) return PcmWavStatus::NoFormat;
      fmt = bytes.data() + body;
      fmtSize = chunkSize;
    } else if (std::memcmp(head, "data", 4) == 0 && !data) {
      data = bytes.data() + body;
      if (chunkSize > available) {
        dataTruncated = true;
        dataSize = available;
      } else {
        dataSize = chunkSize;
      }
    }
    if (chunkSize > available) break;
    const size_t padded = chunkSize + (chunkSize & 1);
    if (padded > available) break;
    pos = body + padded;
  }
  if (!fmt || fmtSize < 16) return PcmWavStatus::NoFormat;
  const uint16_t tag = Le16(fmt);
  bool pcm = tag == 1;
  if (tag == 0xFFFE && fmtSize >= 40 && Le16(fmt + 16) >= 22 && Le16(fmt + 24) == 1 &&
      std::memcmp(fmt + 26, PcmSubFormatTail, sizeof PcmSubFormatTail) == 0)
    pcm = true;
  if (!pcm) return PcmWavStatus::NotPcm;
  const uint16_t channels = Le16(fmt + 2);
  const uint32_t rate = Le32(fmt + 4);
  const uint16_t blockAlign = Le16(fmt + 12);
  const uint16_t bits = Le16(fmt + 14);
  if (channels != 1 || rate != 8000 || bits != 16 || blockAlign != 2)
    return PcmWavStatus::WrongFormat;
  if (!data) return PcmWavStatus::NoData;
  if (dataTruncated) return PcmWavStatus::Truncated;
  const size_t count = dataSize / 2;
  if (count == 0) return PcmWavStatus::Empty;
  samples.resize(count);
  for (size_t i = 0; i < count; ++i) samples[i] = int16_t(Le16(data + 2 * i));
  return PcmWavStatus::Ok;
}
