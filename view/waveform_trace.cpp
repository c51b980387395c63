#include "view/waveform_trace.h"

#include <algorithm>

#include "formats/byte_order.h"

namespace {

int ValueBytesFor(uint16_t bits) {
  if (bits == 0 || bits > 32) return 0;
  return (bits + 7) / 8;
}

}  // namespace

TracePlan PlanTrace(const TraceSource& source) {
  TracePlan plan;
  plan.valueBytes = ValueBytesFor(source.bitsPerSample);
  // 8-bit audio counts one value per byte, 16-bit one per two bytes; wider audio likewise.
  plan.valueCount = plan.valueBytes > 1 ? source.dataSize / plan.valueBytes : source.dataSize;

  plan.seconds = source.bytesPerSecond ? source.dataSize / source.bytesPerSecond : 0;
  if (plan.seconds == 0) plan.seconds = 1;

  plan.pointsPerSecond = static_cast<uint32_t>(CanvasWidth * TracePointsPerPixel) / plan.seconds;
  if (plan.pointsPerSecond == 0) plan.pointsPerSecond = 1;
  plan.step = source.sampleRate / plan.pointsPerSecond;
  if (plan.step == 0) plan.step = 1;  // a sample rate below P (very short, slow audio)

  plan.progressHigh = static_cast<uint16_t>(plan.valueCount / plan.step);
  return plan;
}

int TraceValue(const TracePlan& plan, std::span<const uint8_t> samples, uint32_t index) {
  size_t at = static_cast<size_t>(index) * plan.valueBytes;
  if (plan.valueBytes == 0 || at + plan.valueBytes > samples.size()) return 0;
  if (plan.valueBytes == 1) return (static_cast<int>(samples[at]) - 128) * TraceAmplitude / 128;
  // Little-endian: the last two bytes of a value are its top 16 bits.
  size_t top = at + plan.valueBytes - 2;
  int16_t value = static_cast<int16_t>(Le16(samples.data() + top));
  return static_cast<int16_t>(value * TraceAmplitude / 32767);
}

std::vector<TracePoint> TracePoints(const TraceSource& source, std::span<const uint8_t> samples) {
  std::vector<TracePoint> points;
  TracePlan plan = PlanTrace(source);
  if (plan.valueBytes == 0) return points;
  samples = samples.first(std::min<size_t>(samples.size(), source.dataSize));
  // Never walk past the bytes that are really there.
  uint32_t count = std::min<uint64_t>(plan.valueCount, samples.size() / plan.valueBytes);
  if (count <= static_cast<uint32_t>(TraceFirstIndex)) return points;
  points.reserve((count - TraceFirstIndex) / plan.step + 1);
  const double n = static_cast<double>(static_cast<uint64_t>(plan.valueCount));
  for (uint64_t i = TraceFirstIndex; i < count; i += plan.step) {
    int v = TraceValue(plan, samples, static_cast<uint32_t>(i));
    int x = static_cast<int>(static_cast<double>(i) / n * TraceScale);
    points.push_back({x, TraceMidY - v});
  }
  return points;
}
