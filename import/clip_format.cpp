#include "import/clip_format.h"

#include <algorithm>

#include "session/ringtone_format.h"

ClipTargetFormat ClipFormatFor(int32_t ringtoneFormat) {
  ClipTargetFormat format;
  // MP3 and the ringtones of today's phones: CD sound.
  if (ringtoneFormat == RingtoneMp3 || ringtoneFormat == RingtoneM4r ||
      ringtoneFormat == RingtoneOgg) {
    format.channels = 2;
    format.samplesPerSecond = 44100;
    format.bytesPerSecond = 176400;
    format.blockAlign = 4;
  }
  return format;
}

void ClipFormatBytes(const ClipTargetFormat& format, uint8_t out[16]) {
  auto put16 = [&](int at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
  };
  auto put32 = [&](int at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put16(0, format.formatTag);
  put16(2, format.channels);
  put32(4, format.samplesPerSecond);
  put32(8, format.bytesPerSecond);
  put16(12, format.blockAlign);
  put16(14, format.bitsPerSample);
}

ClipPlan PlanClip(uint32_t start, uint32_t end, uint32_t available, uint16_t sourceBlockAlign) {
  ClipPlan plan;
  // An odd start would split a 16-bit sample: begin at the next even byte.
  uint64_t from = start + static_cast<uint64_t>(start & 1u);
  uint64_t to = std::min<uint64_t>(end, available);
  from = std::min<uint64_t>(from, available);
  plan.skipBytes = static_cast<uint32_t>(from);
  plan.clipBytes = to > from ? static_cast<uint32_t>(to - from) : 0;
  plan.chunkBytes = static_cast<uint32_t>(sourceBlockAlign) * 1024u;
  if (sourceBlockAlign != 0) plan.clipFrames = plan.clipBytes / sourceBlockAlign;
  if (plan.chunkBytes != 0)
    plan.barMax = static_cast<uint16_t>(std::min<uint32_t>(plan.clipBytes / plan.chunkBytes, 0xFFFF));
  return plan;
}

const char* AcmErrorName(uint32_t result) {
  switch (result) {
    case 5: return "MMSYSERR_INVALHANDLE";
    case 7: return "MMSYSERR_NOMEM";
    case 10: return "MMSYSERR_INVALFLAG";
    case 11: return "MMSYSERR_INVALPARAM";
    case 512: return "ACMERR_NOTPOSSIBLE";
    default: return nullptr;
  }
}
