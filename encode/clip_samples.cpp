#include "encode/clip_samples.h"

#include "formats/byte_order.h"
#include "formats/wav_file.h"
#include "session/file_size.h"
#include "session/ringtone_format.h"

bool ClipSamples(std::span<const uint8_t> wavFile, std::vector<int16_t>& samples) {
  samples.clear();
  if (CheckWavFile(wavFile) < 0) return false;
  const WavWalk walk = WalkWavChunks(wavFile);
  WavFormat format;
  if (!ReadWavFormat(wavFile.subspan(walk.formatOffset, walk.formatSize), &format) ||
      format.bitsPerSample != 16)
    return false;
  const std::span<const uint8_t> data = wavFile.subspan(walk.dataOffset, walk.dataSize);
  samples.resize(data.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<int16_t>(Le16(data.data() + 2 * i));
  return true;
}

bool ReadClipSamples(const char* path, std::vector<int16_t>& samples) {
  std::vector<uint8_t> clip;
  return ReadFileBytes(path, ImportByteLimit + 64, clip) && ClipSamples(clip, samples);
}
