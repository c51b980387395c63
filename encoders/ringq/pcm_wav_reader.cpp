#include "encoders/ringq/pcm_wav_reader.h"

#include "formats/byte_order.h"
#include "formats/riff_chunks.h"
#include "formats/wav_file.h"

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
  if (!IsRiffForm(bytes, "WAVE")) return PcmWavStatus::NotWave;

  const uint8_t* data = nullptr;
  std::span<const uint8_t> fmt;
  bool haveFmt = false;
  size_t dataSize = 0;
  bool dataTruncated = false;
  RiffChunkWalk walk(bytes);
  RiffChunk chunk;
  while (walk.Next(chunk)) {
    if (chunk.Is("fmt ") && !haveFmt) {
      if (!chunk.Whole()) return PcmWavStatus::NoFormat;
      fmt = bytes.subspan(chunk.body, chunk.size);
      haveFmt = true;
    } else if (chunk.Is("data") && !data) {
      data = bytes.data() + chunk.body;
      dataTruncated = !chunk.Whole();
      dataSize = chunk.available;
    }
  }
  WavFormat format;
  if (!haveFmt || fmt.size() < 16) return PcmWavStatus::NoFormat;
  // WAVE_FORMAT_EXTENSIBLE counts only with its whole extension (22 bytes) and the PCM
  // sub-format.
  const bool pcm = ReadWavFormat(fmt, &format) && format.codec == WavTagPcm &&
                   (format.formatTag != WavTagExtensible || format.extensionSize >= 22);
  if (!pcm) return PcmWavStatus::NotPcm;
  if (format.channels != 1 || format.sampleRate != 8000 || format.bitsPerSample != 16 ||
      format.blockAlign != 2)
    return PcmWavStatus::WrongFormat;
  if (!data) return PcmWavStatus::NoData;
  if (dataTruncated) return PcmWavStatus::Truncated;
  const size_t count = dataSize / 2;
  if (count == 0) return PcmWavStatus::Empty;
  samples.resize(count);
  for (size_t i = 0; i < count; ++i) samples[i] = int16_t(Le16(data + 2 * i));
  return PcmWavStatus::Ok;
}
