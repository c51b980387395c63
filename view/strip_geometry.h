// Where the waveform strip lies in the main window, in 96-dpi client units: the one place its
// numbers are written. Every other strip constant (ruler, band, trace, canvas, caret) is
// derived from these.
#pragma once

struct WaveArea {
  static constexpr int Left = 63;             // the strip's first column
  static constexpr int Width = 437;           // its columns
  static constexpr int Right = Left + Width;  // one past the last column (500)
  static constexpr int Top = 70;              // the strip's top (the ruler band begins above it)
  static constexpr int TraceTop = 87;         // the trace's top: the ruler ends here
  static constexpr int Bottom = 170;          // one past the trace's last row
};

// True when (x, y) lies strictly inside the live part of the strip.
constexpr bool InLiveWaveArea(int x, int y) {
  return x > WaveArea::Left && x < WaveArea::Right && y > WaveArea::TraceTop &&
         y < WaveArea::Bottom;
}
