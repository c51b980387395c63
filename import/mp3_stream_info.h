// What a scan of an MP3 file learns about its stream. Passed by value as one block of eight
// signed 32-bit fields; a failed scan leaves all eight at 0.
#pragma once
#include <cstdint>

struct Mp3StreamInfo {
  int32_t bitrate = 0;         // kbit/s of the first frame; 0 once a later frame differs
  int32_t sampleRate = 0;      // Hz, from the first frame
  int32_t stereo = 0;          // 1 unless the first frame is single channel
  int32_t duration = 0;        // whole seconds
  int32_t frameCount = 0;      // valid frames counted
  int32_t version = 0;         // 1 for MPEG-1, 2 for MPEG-2 and MPEG-2.5
  int32_t averageBitrate = 0;  // kbit/s over all counted frames
  int32_t reserved = 0;
};
static_assert(sizeof(Mp3StreamInfo) == 32, "Mp3StreamInfo is eight 32-bit fields");
