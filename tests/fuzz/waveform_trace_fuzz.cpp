// The trace walk and the preview arithmetic over whatever a d.wav's format block and data
// chunk may hold: the first 14 bytes are the format values, the rest the samples.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "view/preview_cursor.h"
#include "view/time_ruler.h"
#include "view/waveform_trace.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 14) return 0;
  TraceSource source;
  std::memcpy(&source.dataSize, data, 4);
  std::memcpy(&source.bytesPerSecond, data + 4, 4);
  std::memcpy(&source.sampleRate, data + 8, 4);
  std::memcpy(&source.bitsPerSample, data + 12, 2);
  std::span<const uint8_t> samples(data + 14, size - 14);

  for (const TracePoint& p : TracePoints(source, samples)) {
    if (p.x < 0 || p.x > TraceScale || p.y < 0 || p.y > CanvasHeight) __builtin_trap();
  }
  if (RulerLabel(source.sampleRate).size() != 5) __builtin_trap();
  RulerLabelStep(source.dataSize, source.bytesPerSecond);

  int x = static_cast<int16_t>(source.bitsPerSample);
  if (StripByteOffset(x, source.dataSize) > source.dataSize) __builtin_trap();
  int cursor = PreviewCursorX(source.bytesPerSecond, source.dataSize, source.sampleRate);
  if (cursor < 63) __builtin_trap();
  return 0;
}
