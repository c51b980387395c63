// The waveform trace: which sample values the strip's polyline passes through and where.
// Portable: the drawing glue walks these points with LineTo on the canvas.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

#include "view/strip_geometry.h"

// Canvas geometry (pixels of the off-screen canvas, origin at its top-left).
constexpr int CanvasWidth = WaveArea::Width + 1;  // width of the compatible bitmap; base of the x scale
constexpr int CanvasHeight = WaveArea::Bottom - WaveArea::Top;
constexpr int TraceScale = WaveArea::Width;  // x span of the trace
constexpr int TraceMidY = 50;          // mid line
constexpr int TraceAmplitude = 50;
constexpr int TraceFirstIndex = 63;    // the walk starts at this value index, not at 0
constexpr int TracePointsPerPixel = 15;

// What the trace needs to know of the working audio.
struct TraceSource {
  uint32_t dataSize = 0;        // bytes of samples
  uint32_t bytesPerSecond = 0;  // from the format block
  uint32_t sampleRate = 0;
  uint16_t bitsPerSample = 0;
};

// Integer plan of the walk.
struct TracePlan {
  int valueBytes = 0;        // bytes per sample value: 1, 2, 3 or 4; 0 = no trace
  uint32_t valueCount = 0;   // N: values of all channels together
  uint32_t seconds = 0;      // S: whole seconds, at least 1
  uint32_t pointsPerSecond = 0;  // P, at least 1
  uint32_t step = 0;         // K: values between two points, at least 1
  uint16_t progressHigh = 0;  // N / K cut to 16 bits: the progress bar's upper limit
};

struct TracePoint {
  int x;
  int y;
};

// N, S, P and K for `source`.
//  - 8-bit values are unsigned (128 = silence), 16-bit signed.
//  - Wider PCM (24 and 32 bits) is walked value by value like 16-bit audio, using the value's
//    top 16 bits; widths that are not whole bytes use the byte count that holds them.
//  - A width over 32 bits or of 0 gives no trace (valueBytes 0, no points).
TracePlan PlanTrace(const TraceSource& source);

// The vertical offset of the value at `index` (of plan.valueBytes bytes), in -50..50,
// truncated toward zero.
int TraceValue(const TracePlan& plan, std::span<const uint8_t> samples, uint32_t index);

// The polyline's points after the start at (0, 50): one for every K-th value from index 63
// while the index is below N. `samples` is bounded by source.dataSize and its own size.
std::vector<TracePoint> TracePoints(const TraceSource& source, std::span<const uint8_t> samples);
