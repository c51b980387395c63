// The time ruler above the trace: ticks every 43 pixels and a label under each but the last.
#pragma once
#include <cstdint>
#include <string>

#include "view/strip_geometry.h"

constexpr int RulerLeft = WaveArea::Left;
constexpr int RulerRight = WaveArea::Right;
constexpr int RulerTop = 67;
constexpr int RulerBottom = WaveArea::TraceTop;
constexpr int RulerTickTop = 69;
constexpr int RulerTicks = 10;        // spaces between ticks; there are 11 ticks
constexpr int RulerTickSpacing = (RulerRight - RulerLeft) / RulerTicks;  // 43
constexpr int RulerFontSize = RulerTickSpacing - RulerTickSpacing / 2;  // 22
constexpr int RulerFontHeight = static_cast<int>(RulerFontSize * 0.5);   // 11
constexpr int RulerFontWidth = RulerFontSize / 3;                        // 7

// Seconds between two labels: a tenth of the song's whole seconds, at least 1.
uint32_t RulerLabelStep(uint32_t dataSize, uint32_t bytesPerSecond);

// The five characters of a label: the last digit of the minutes, a space, a colon and the
// seconds as two digits ("1 :30" for 90 seconds). Hours and tens of minutes are not shown.
std::string RulerLabel(uint32_t seconds);

// x of tick k (0..10).
constexpr int RulerTickX(int k) { return RulerLeft + RulerTickSpacing * k; }
