#include "encoders/ringm/pcm_wav_reader.h"

#include "formats/byte_order.h"
#include "formats/riff_chunks.h"
#include "formats/wav_file.h"

namespace {

struct Chunk {
  size_t body = 0;       // offset of the body
  size_t available = 0;  // body bytes inside the file (may be fewer than declared)
  bool found = false;
};

}  // namespace

PcmWavResult ReadPcmWav(std::span<const uint8_t> file, PcmWav& wav) {
  wav = PcmWav{};
  if (!IsRiffForm(file, "WAVE")) return PcmWavResult::NotRiffWave;
  // The RIFF size is often wrong in files written by streaming tools; the file's own end
  // bounds the walk instead.
  Chunk fmt, data;
  RiffChunkWalk walk(file);
  RiffChunk chunk;
  while (!(fmt.found && data.found) && walk.Next(chunk)) {
    Chunk* target = nullptr;
    if (chunk.Is("fmt ") && !fmt.found) target = &fmt;
    if (chunk.Is("data") && !data.found) target = &data;
    if (target) *target = Chunk{chunk.body, chunk.available, true};
  }

  if (!fmt.found || fmt.available < 16) return PcmWavResult::NoFormat;
  WavFormat format;
  if (!ReadWavFormat(file.subspan(fmt.body, fmt.available), &format) ||
      format.codec != WavTagPcm) {
    return PcmWavResult::NotPcm;
  }
  wav.channels = format.channels;
  wav.sampleRate = format.sampleRate;
  wav.blockAlign = format.blockAlign;
  wav.bitsPerSample = format.bitsPerSample;
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
