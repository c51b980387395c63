// The clip's target format, its byte plan and the ACM result names: the arithmetic of cutting
// a clip out of d.wav into test.wav, without the platform calls.
#pragma once
#include <cstdint>

// The PCM record written as the 16-byte "fmt " chunk of test.wav.
struct ClipTargetFormat {
  uint16_t formatTag = 1;
  uint16_t channels = 1;
  uint32_t samplesPerSecond = 8000;
  uint32_t bytesPerSecond = 16000;
  uint16_t blockAlign = 2;
  uint16_t bitsPerSample = 16;
};

// Stereo 44100 Hz for the mp3 ringtone format, mono 8000 Hz for every other value.
ClipTargetFormat ClipFormatFor(int32_t ringtoneFormat);
// The record's 16 little-endian bytes, in file order.
void ClipFormatBytes(const ClipTargetFormat& format, uint8_t out[16]);

// Which bytes of the source's "data" body become the clip, and how they are read.
struct ClipPlan {
  uint32_t skipBytes = 0;   // read from here: the start, rounded up to even, within the data
  uint32_t clipBytes = 0;   // bytes from skipBytes to the end (0 for an empty range)
  uint32_t clipFrames = 0;  // whole source frames in them: a clip of none is no ringtone
  uint32_t chunkBytes = 0;  // source block align x 1024; 0 when the block align is 0
  uint16_t barMax = 0;      // progress range 1..barMax: whole chunks, within 16 bits
};
// `available` is how many data bytes the source really holds (declared size cut to the file).
ClipPlan PlanClip(uint32_t start, uint32_t end, uint32_t available, uint16_t sourceBlockAlign);

// "MMSYSERR_INVALHANDLE" (5), "MMSYSERR_NOMEM" (7), "MMSYSERR_INVALFLAG" (10),
// "MMSYSERR_INVALPARAM" (11), "ACMERR_NOTPOSSIBLE" (512); nullptr for any other value.
const char* AcmErrorName(uint32_t result);
