#include "view/waveform_trace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

TraceSource Pcm(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t dataSize) {
  uint32_t blockAlign = channels * ((bits + 7) / 8);
  return {dataSize, rate * blockAlign, rate, bits};
}

std::vector<uint8_t> Samples16(const std::vector<int16_t>& values) {
  std::vector<uint8_t> bytes;
  for (int16_t v : values) {
    bytes.push_back(static_cast<uint8_t>(v & 0xFF));
    bytes.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
  }
  return bytes;
}

TEST(WaveformTracePlan, CdAudioSongOf283Seconds) {
  TracePlan plan = PlanTrace(Pcm(44100, 2, 16, 283u * 176400));
  EXPECT_EQ(plan.valueBytes, 2);
  EXPECT_EQ(plan.valueCount, 283u * 88200);
  EXPECT_EQ(plan.seconds, 283u);
  EXPECT_EQ(plan.pointsPerSecond, 6570u / 283);  // 23
  EXPECT_EQ(plan.step, 44100u / 23);             // 1917
  EXPECT_EQ(plan.progressHigh, static_cast<uint16_t>(283u * 88200 / 1917));
}

TEST(WaveformTracePlan, ShortAndDegenerateSongsKeepAStepOfAtLeastOne) {
  // Under one second counts as one second: 6570 points per second.
  TracePlan shortSong = PlanTrace(Pcm(44100, 1, 16, 1000));
  EXPECT_EQ(shortSong.seconds, 1u);
  EXPECT_EQ(shortSong.pointsPerSecond, 6570u);
  EXPECT_EQ(shortSong.step, 44100u / 6570);
  // A sample rate below P computes K = 0; the walk needs 1.
  TracePlan slow = PlanTrace(Pcm(4000, 1, 8, 3000));
  EXPECT_EQ(slow.step, 1u);
  // A format block that says 0 bytes per second or 0 samples per second.
  TracePlan broken = PlanTrace({5000, 0, 0, 16});
  EXPECT_EQ(broken.seconds, 1u);
  EXPECT_EQ(broken.step, 1u);
  // More than 6570 seconds: P computes to 0 and becomes 1.
  TracePlan longSong = PlanTrace(Pcm(8000, 1, 8, 7000u * 8000));
  EXPECT_EQ(longSong.pointsPerSecond, 1u);
  EXPECT_EQ(longSong.step, 8000u);
}

TEST(WaveformTracePlan, ProgressLimitIsCutTo16Bits) {
  // 8-bit mono at 8000 Hz, 20 s: K = 8000 / (6570 / 20) = 24, N / K = 6666.
  EXPECT_EQ(PlanTrace(Pcm(8000, 1, 8, 160000)).progressHigh, 160000u / 24);
  // A format block whose byte rate makes a big data chunk count as one second: N / K is
  // 1000000 / 6, above 65535.
  TracePlan plan = PlanTrace({2000000, 1u << 30, 44100, 16});
  uint32_t full = plan.valueCount / plan.step;
  ASSERT_GT(full, 0xFFFFu);
  EXPECT_EQ(plan.progressHigh, full & 0xFFFF);
}

TEST(WaveformTracePlan, SampleWidths) {
  EXPECT_EQ(PlanTrace(Pcm(8000, 1, 8, 800)).valueCount, 800u);
  EXPECT_EQ(PlanTrace(Pcm(8000, 1, 16, 801)).valueCount, 400u);
  EXPECT_EQ(PlanTrace(Pcm(8000, 1, 24, 900)).valueCount, 300u);
  EXPECT_EQ(PlanTrace(Pcm(8000, 1, 32, 800)).valueCount, 200u);
  EXPECT_EQ(PlanTrace(Pcm(8000, 1, 12, 800)).valueBytes, 2);  // held in two bytes
  EXPECT_EQ(PlanTrace(Pcm(8000, 1, 4, 800)).valueBytes, 1);
  EXPECT_EQ(PlanTrace({800, 8000, 8000, 0}).valueBytes, 0);
  EXPECT_EQ(PlanTrace({800, 8000, 8000, 64}).valueBytes, 0);
}

TEST(WaveformTraceValue, EightBitIsUnsignedAroundCentre) {
  TracePlan plan = PlanTrace(Pcm(8000, 1, 8, 4));
  std::vector<uint8_t> s = {0, 128, 255, 127};
  EXPECT_EQ(TraceValue(plan, s, 0), -50);
  EXPECT_EQ(TraceValue(plan, s, 1), 0);
  EXPECT_EQ(TraceValue(plan, s, 2), 49);  // 127 * 50 / 128
  EXPECT_EQ(TraceValue(plan, s, 3), 0);   // -1 * 50 / 128 truncates toward zero
  EXPECT_EQ(TraceValue(plan, s, 4), 0);   // past the end: nothing is read
}

TEST(WaveformTraceValue, SixteenBitIsSignedAndTruncatesTowardZero) {
  std::vector<uint8_t> s = Samples16({32767, -32768, 655, 656, -655, -656, 0});
  TracePlan plan = PlanTrace(Pcm(8000, 1, 16, static_cast<uint32_t>(s.size())));
  EXPECT_EQ(TraceValue(plan, s, 0), 50);
  EXPECT_EQ(TraceValue(plan, s, 1), -50);
  EXPECT_EQ(TraceValue(plan, s, 2), 0);
  EXPECT_EQ(TraceValue(plan, s, 3), 1);
  EXPECT_EQ(TraceValue(plan, s, 4), 0);
  EXPECT_EQ(TraceValue(plan, s, 5), -1);
  EXPECT_EQ(TraceValue(plan, s, 6), 0);
}

TEST(WaveformTraceValue, WiderPcmUsesTheTop16Bits) {
  // 24-bit: 0x7FFFFF (full positive), 0x800000 (full negative), 0x00FF00 (top 16 bits 0x00FF).
  std::vector<uint8_t> s24 = {0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x80, 0x00, 0xFF, 0x00};
  TracePlan p24 = PlanTrace(Pcm(8000, 1, 24, 9));
  EXPECT_EQ(TraceValue(p24, s24, 0), 50);
  EXPECT_EQ(TraceValue(p24, s24, 1), -50);
  EXPECT_EQ(TraceValue(p24, s24, 2), 255 * 50 / 32767);
  std::vector<uint8_t> s32 = {0x12, 0x34, 0x00, 0xC0};  // top 16 bits 0xC000 = -16384
  TracePlan p32 = PlanTrace(Pcm(8000, 1, 32, 4));
  EXPECT_EQ(TraceValue(p32, s32, 0), -16384 * 50 / 32767);
}

TEST(WaveformTracePoints, WalkStartsAtIndex63AndScalesXOverN) {
  // 1000 mono 16-bit values at 8000 Hz: S = 1, P = 6570, K = 1.
  std::vector<int16_t> values(1000);
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<int16_t>(i % 2 ? 32767 : -32768);
  std::vector<uint8_t> s = Samples16(values);
  TraceSource source = Pcm(8000, 1, 16, static_cast<uint32_t>(s.size()));
  std::vector<TracePoint> points = TracePoints(source, s);
  ASSERT_EQ(points.size(), 1000u - 63);
  EXPECT_EQ(points.front().x, static_cast<int>(63.0 / 1000 * 437));  // 27
  EXPECT_EQ(points.back().x, static_cast<int>(999.0 / 1000 * 437));
  for (size_t k = 0; k < points.size(); ++k) {
    size_t i = 63 + k;
    EXPECT_EQ(points[k].y, i % 2 ? 0 : 100) << "index " << i;
    EXPECT_LE(points[k].x, 436);
  }
}

TEST(WaveformTracePoints, StereoIsWalkedAsOneInterleavedSequence) {
  // Left channel loud positive, right channel silent: with an odd step the walk alternates.
  const uint32_t frames = 8000;  // one second at 8000 Hz: S = 1, P = 6570, K = 16000 / 6570 = 2
  std::vector<int16_t> values;
  for (uint32_t f = 0; f < frames; ++f) {
    values.push_back(32767);
    values.push_back(0);
  }
  std::vector<uint8_t> s = Samples16(values);
  TraceSource source{static_cast<uint32_t>(s.size()), 32000, 16000, 16};
  TracePlan plan = PlanTrace(source);
  ASSERT_EQ(plan.step, 2u);
  std::vector<TracePoint> points = TracePoints(source, s);
  ASSERT_FALSE(points.empty());
  // Index 63, 65, ... are all right-channel values: the trace stays on the mid line.
  for (const TracePoint& p : points) EXPECT_EQ(p.y, 50);

  source.sampleRate = 3 * 6570;  // K = 3: odd steps visit both channels
  points = TracePoints(source, s);
  ASSERT_GE(points.size(), 2u);
  EXPECT_EQ(points[0].y, 50);  // index 63: right
  EXPECT_EQ(points[1].y, 0);   // index 66: left, full scale
}

TEST(WaveformTracePoints, NeverReadsPastTheBytesGiven) {
  std::vector<uint8_t> s(200, 255);
  // The format claims far more data than there is.
  TraceSource source = Pcm(8000, 1, 8, 100000);
  std::vector<TracePoint> points = TracePoints(source, s);
  for (const TracePoint& p : points) EXPECT_EQ(p.y, 50 - 49);
  EXPECT_LE(points.size(), 200u);
  // N scales x from the declared size, so the points stay at the left.
  EXPECT_LT(points.back().x, 2);
  // Too few values to reach index 63, and an unsupported width.
  EXPECT_TRUE(TracePoints(Pcm(8000, 1, 8, 63), std::vector<uint8_t>(63, 0)).empty());
  EXPECT_TRUE(TracePoints({800, 8000, 8000, 40}, std::vector<uint8_t>(800, 0)).empty());
  EXPECT_TRUE(TracePoints(Pcm(8000, 1, 16, 0), {}).empty());
}

TEST(WaveformTracePoints, LongSongGivesAbout6570PointsPerChannelAcrossTheWholeWidth) {
  const uint32_t seconds = 60, rate = 44100;
  std::vector<uint8_t> s(static_cast<size_t>(seconds) * rate * 4, 0);
  TraceSource source = Pcm(rate, 2, 16, static_cast<uint32_t>(s.size()));
  std::vector<TracePoint> points = TracePoints(source, s);
  // K = 44100 / 109 = 404 values: 2 * 44100 * 60 / 404 points.
  EXPECT_EQ(points.size(), (2u * rate * seconds - 63 + 403) / 404);
  EXPECT_EQ(points.back().x, 436);
  for (size_t k = 1; k < points.size(); ++k) ASSERT_GE(points[k].x, points[k - 1].x);
}

}  // namespace
