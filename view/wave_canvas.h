// The strip's trace drawn off screen: a fresh copy of picture 165 with the trace of some samples
// over it, at one screen scale. Window thread.
#pragma once
#include <windows.h>

#include <cstdint>
#include <span>

#include "session/handles.h"
#include "view/waveform_trace.h"

struct WaveCanvas {
  BitmapSurface surface;
  int dpi = 0;  // the scale it was drawn at
  HDC dc() const { return surface.dc(); }
};

// A canvas at `dpi` with the trace of `samples` (the whole song, or the frames a zoomed strip
// shows), described by `source`. No surface (dc() null) when none could be made.
WaveCanvas TraceCanvas(HDC windowDc, const TraceSource& source, std::span<const uint8_t> samples,
                       int dpi);
