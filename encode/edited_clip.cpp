#include "encode/edited_clip.h"

#include <algorithm>

#include "encode/fade_ramp.h"
#include "formats/byte_order.h"

bool EditClipSamples(std::span<int16_t> samples, uint16_t channels, uint32_t sampleRate,
                     const EditOptions& options, LoudnessMeter meter) {
  if (channels == 0) return false;
  const uint32_t frames = static_cast<uint32_t>(samples.size() / channels);
  ApplyFades(samples, channels, FadeFrames(options.fadeInMs, sampleRate, frames),
             FadeFrames(options.fadeOutMs, sampleRate, frames));
  if (!options.louder) return true;
  LoudnessReading reading;
  double gainDb = 0;
  if (!meter(samples, channels, sampleRate, &reading)) return false;
  if (LouderGainDb(reading, &gainDb)) ApplyGain(samples, gainDb);
  return true;
}

std::vector<int16_t> EditedClip(std::span<const uint8_t> songSamples, uint16_t channels,
                                uint16_t bitsPerSample, uint32_t sampleRate, uint32_t startByte,
                                uint32_t endByte, const EditOptions& options, LoudnessMeter meter) {
  if (channels == 0 || (bitsPerSample != 8 && bitsPerSample != 16)) return {};
  const uint32_t block = channels * (bitsPerSample / 8u);
  const uint64_t songFrames = songSamples.size() / block;
  const uint64_t first = std::min<uint64_t>(startByte / block, songFrames);
  const uint64_t last = std::min<uint64_t>(endByte / block, songFrames);
  if (last <= first) return {};
  std::vector<int16_t> clip(static_cast<size_t>((last - first) * channels));
  const uint8_t* from = songSamples.data() + first * block;
  for (size_t i = 0; i < clip.size(); ++i)
    clip[i] = bitsPerSample == 8 ? static_cast<int16_t>((from[i] - 128) * 256)
                                 : static_cast<int16_t>(Le16(from + 2 * i));
  if (!EditClipSamples(clip, channels, sampleRate, options, meter)) return {};
  return clip;
}
