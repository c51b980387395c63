#include "view/wave_canvas.h"

#include <utility>

#include "resources/resource_ids.h"
#include "session/screen_scale.h"
#include "session/session_state.h"

namespace {

constexpr COLORREF TraceColour = RGB(255, 204, 0);

HINSTANCE Instance() {
  return sessionState.instance ? sessionState.instance : GetModuleHandleA(nullptr);
}

// A fresh canvas: picture 165 as drawn for `dpi` on a memory surface compatible with the
// screen. When the picture cannot be loaded the trace goes onto a plain white bitmap of the
// canvas size.
WaveCanvas MakeCanvas(HDC windowDc, int dpi) {
  MemoryDc dc(CreateCompatibleDC(windowDc));
  if (!dc) return {};
  const int width = ToPixels(CanvasWidth, dpi), height = ToPixels(CanvasHeight, dpi);
  GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(LoadImageA(
      Instance(), MAKEINTRESOURCEA(ScaledPictureId(IDB_WAVE_CANVAS, dpi)), IMAGE_BITMAP, 0, 0, 0)));
  const bool pictured = static_cast<bool>(bitmap);
  if (!pictured) bitmap.reset(CreateCompatibleBitmap(windowDc, width, height));
  WaveCanvas c{BitmapSurface(std::move(dc), std::move(bitmap)), dpi};
  if (!pictured) PatBlt(c.dc(), 0, 0, width, height, WHITENESS);
  return c;
}

}  // namespace

WaveCanvas TraceCanvas(HDC windowDc, const TraceSource& source, std::span<const uint8_t> samples,
                       int dpi) {
  WaveCanvas fresh = MakeCanvas(windowDc, dpi);
  if (!fresh.dc()) return fresh;
  // The trace is drawn at the scale, not stretched after: its points in the canvas's pixels,
  // with a pen as many pixels wide as the scale rounded up (1 at 100 %), so that a dense trace
  // leaves no gaps between columns at 125 %.
  GdiObject<HPEN> pen(CreatePen(PS_SOLID, (dpi + BaseDpi - 1) / BaseDpi, TraceColour));
  HGDIOBJ previousPen = pen ? SelectObject(fresh.dc(), pen.get()) : nullptr;
  MoveToEx(fresh.dc(), 0, ToPixels(TraceMidY, dpi), nullptr);
  for (const TracePoint& point : TracePoints(source, samples))
    LineTo(fresh.dc(), ToPixels(point.x, dpi), ToPixels(point.y, dpi));
  MoveToEx(fresh.dc(), 0, ToPixels(TraceMidY + TraceAmplitude + 25, dpi), nullptr);
  if (previousPen) SelectObject(fresh.dc(), previousPen);
  GdiFlush();
  return fresh;
}
