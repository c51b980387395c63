#include "view/waveform_view.h"

#include <commctrl.h>

#include <algorithm>
#include <mutex>
#include <span>

#include "resources/resource_ids.h"
#include "session/scaled_dc.h"
#include "session/session_state.h"
#include "session/working_audio.h"
#include "view/preview_cursor.h"
#include "view/selection_band.h"
#include "view/strip_zoom.h"
#include "view/time_ruler.h"
#include "view/waveform_trace.h"

namespace {

constexpr COLORREF TraceColour = RGB(255, 204, 0);
constexpr COLORREF RulerFill = RGB(255, 250, 240);
constexpr COLORREF RulerTextBack = RGB(230, 230, 250);
constexpr int CaretHeight = WaveArea::Bottom - WaveArea::Top - 15;  // 85
constexpr int ShownCanvasWidth = WaveArea::Right - WaveArea::Left;    // 437
constexpr int ShownCanvasHeight = WaveArea::Bottom - WaveArea::TraceTop;  // 83

// The rendered trace: a memory drawing surface holding a fresh copy of picture 165.
struct WaveCanvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previousBitmap = nullptr;
  int dpi = 0;  // the scale it was drawn at
};

// The import thread publishes a finished canvas; the window thread copies and releases it.
std::mutex canvasMutex;
WaveCanvas canvas;

// The caret's x, kept so that the selection's end survives a caret that another control of
// this thread destroyed.
int caretX = WaveArea::Left;
HWND caretWindow = nullptr;

// The selection held in frames, when it is (window thread).
bool heldInFrames = false;
FrameRange heldFrames;
// What the strip shows while zoomed (window thread); frames 0: the whole song, drawn on
// `canvas`. A zoomed strip is drawn on a canvas of its own.
StripWindow zoomWindow;
WaveCanvas zoomCanvas;
// The frame where a drag on the zoomed strip began.
uint64_t dragAnchorFrame = 0;

void Release(WaveCanvas& c) {
  if (c.dc && c.previousBitmap) SelectObject(c.dc, c.previousBitmap);
  if (c.bitmap) DeleteObject(c.bitmap);
  if (c.dc) DeleteDC(c.dc);
  c = WaveCanvas{};
}

HINSTANCE Instance() {
  return sessionState.instance ? sessionState.instance : GetModuleHandleA(nullptr);
}

// A fresh canvas: picture 165 as drawn for `dpi` on a memory surface compatible with the
// screen. When the picture cannot be loaded the trace goes onto a plain white bitmap of the
// canvas size.
WaveCanvas MakeCanvas(HDC windowDc, int dpi) {
  WaveCanvas c;
  c.dpi = dpi;
  c.dc = CreateCompatibleDC(windowDc);
  if (!c.dc) return c;
  const int width = ToPixels(CanvasWidth, dpi), height = ToPixels(CanvasHeight, dpi);
  HBITMAP blank = CreateCompatibleBitmap(windowDc, width, height);
  if (blank) c.previousBitmap = SelectObject(c.dc, blank);
  HBITMAP picture = static_cast<HBITMAP>(LoadImageA(
      Instance(), MAKEINTRESOURCEA(ScaledPictureId(IDB_WAVE_CANVAS, dpi)), IMAGE_BITMAP, 0, 0, 0));
  if (picture) {
    HGDIOBJ replaced = SelectObject(c.dc, picture);
    if (!c.previousBitmap) c.previousBitmap = replaced;
    if (blank) DeleteObject(blank);
    c.bitmap = picture;
  } else {
    c.bitmap = blank;
    PatBlt(c.dc, 0, 0, width, height, WHITENESS);
  }
  return c;
}

// The caret at the window's scale: one pixel wide (the system's border width) at 100 %.
void CreateScaledCaret(HWND window) {
  const int dpi = sessionState.skinDpi;
  CreateCaret(window, nullptr, dpi == BaseDpi ? 0 : ToPixels(1, dpi), ToPixels(CaretHeight, dpi));
  SetCaretPos(ToPixels(caretX, dpi), ToPixels(WaveArea::TraceTop, dpi));
  ShowCaret(window);
}

bool OwnsThreadCaret(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return window && GetGUIThreadInfo(GetCurrentThreadId(), &info) && info.hwndCaret == window;
}

// Makes sure the thread's caret is the selection caret before it is moved.
void EnsureSelectionCaret(HWND window) {
  if (!window || window != caretWindow || OwnsThreadCaret(window)) return;
  CreateScaledCaret(window);
}

void InvertColumns(HDC dc, const ColumnSpan& span) {
  if (span.Empty()) return;
  const int left = WindowPixels(span.left), top = WindowPixels(BandTop);
  PatBlt(dc, left, top, WindowPixels(span.right) - left, WindowPixels(BandBottom) - top,
         DSTINVERT);
}

// Inverts `span` directly on the window, with the caret out of the way.
void InvertOnWindow(HWND window, const ColumnSpan& span) {
  if (span.Empty()) return;
  HideCaret(window);
  if (HDC dc = GetDC(window)) {
    InvertColumns(dc, span);
    ReleaseDC(window, dc);
  }
  ShowCaret(window);
}

// The ticks' labels give way to the held selection's times.
void DrawSelectionTimes(HDC dc) {
  const std::string text = SelectionTimesText(heldFrames, SongSampleRate());
  TextOutA(dc, RulerLeft + 3, RulerTop, text.data(), static_cast<int>(text.size()));
}

// A canvas with the trace of `samples` (the whole song, or the frames a zoomed strip shows).
WaveCanvas TraceCanvas(HDC windowDc, const TraceSource& source, std::span<const uint8_t> samples) {
  const int dpi = sessionState.skinDpi;
  WaveCanvas fresh = MakeCanvas(windowDc, dpi);
  if (!fresh.dc) return fresh;
  // The trace is drawn at the scale, not stretched after: its points in the canvas's pixels,
  // with a pen as many pixels wide as the scale rounded up (1 at 100 %), so that a dense trace
  // leaves no gaps between columns at 125 %.
  HPEN pen = CreatePen(PS_SOLID, (dpi + BaseDpi - 1) / BaseDpi, TraceColour);
  HGDIOBJ previousPen = pen ? SelectObject(fresh.dc, pen) : nullptr;
  MoveToEx(fresh.dc, 0, ToPixels(TraceMidY, dpi), nullptr);
  for (const TracePoint& point : TracePoints(source, samples))
    LineTo(fresh.dc, ToPixels(point.x, dpi), ToPixels(point.y, dpi));
  MoveToEx(fresh.dc, 0, ToPixels(TraceMidY + TraceAmplitude + 25, dpi), nullptr);
  if (previousPen) SelectObject(fresh.dc, previousPen);
  if (pen) DeleteObject(pen);
  GdiFlush();
  return fresh;
}

bool IsZoomed() { return zoomWindow.frames != 0; }

// What a zoomed strip shows, in place of the ticks' labels when no selection is held.
void DrawShownTimes(HDC dc) {
  const uint32_t rate = SongSampleRate();
  const std::string text = "Showing " + ClipTimeText(zoomWindow.first, rate) + " to " +
                           ClipTimeText(zoomWindow.first + zoomWindow.frames, rate);
  TextOutA(dc, RulerLeft + 3, RulerTop, text.data(), static_cast<int>(text.size()));
}

// The held selection's frames from the columns of a drag on the zoomed strip.
void HoldDraggedFrames(int caret) {
  const uint64_t end = FrameForStripX(caret, zoomWindow.first, zoomWindow.frames);
  heldFrames = {static_cast<uint32_t>(std::min(dragAnchorFrame, end)),
                static_cast<uint32_t>(std::max(dragAnchorFrame, end))};
  heldInFrames = true;
}

void DrawRuler(HDC dc) {
  UnitsOnDc units(dc, sessionState.skinDpi);
  const WorkingAudio& audio = workingAudio;
  HFONT font = CreateFontA(RulerFontHeight, RulerFontWidth, 0, 0, FW_NORMAL, TRUE, FALSE, FALSE,
                           ANSI_CHARSET, OUT_STRING_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                           FF_MODERN | DEFAULT_PITCH, nullptr);
  HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
  COLORREF previousBack = SetBkColor(dc, RulerTextBack);
  uint32_t step = RulerLabelStep(audio.dataSize, audio.BytesPerSecond());

  RECT band{RulerLeft, RulerTop, RulerRight, RulerBottom};
  if (HBRUSH fill = CreateSolidBrush(RulerFill)) {
    FillRect(dc, &band, fill);
    DeleteObject(fill);
  }
  for (int k = 0; k <= RulerTicks; ++k) {
    int x = RulerTickX(k);
    // A one-pixel tick, 18 pixels high, with the context's pen and brush.
    Rectangle(dc, x, RulerTickTop, x + 1, RulerBottom);
    if (k < RulerTicks && !heldInFrames && !IsZoomed()) {
      std::string label = RulerLabel(static_cast<uint32_t>(k) * step);
      TextOutA(dc, x, RulerTop, label.data(), static_cast<int>(label.size()));
    }
  }
  if (heldInFrames)
    DrawSelectionTimes(dc);
  else if (IsZoomed())
    DrawShownTimes(dc);
  SetBkColor(dc, previousBack);
  if (previousFont) SelectObject(dc, previousFont);
  if (font) DeleteObject(font);
}

}  // namespace

void RenderWaveform(HWND, HDC windowDc) {
  if (!sessionState.fileLoaded) return;
  const WorkingAudio& audio = workingAudio;
  TraceSource source{audio.dataSize, audio.BytesPerSecond(), audio.SampleRate(),
                     audio.BitsPerSample()};
  TracePlan plan = PlanTrace(source);

  if (HWND bar = sessionState.progressBar) {
    SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(1, plan.progressHigh));
    SendMessageA(bar, PBM_SETSTEP, static_cast<WPARAM>(plan.step * 10), 0);
  }
  std::span<const uint8_t> samples;
  if (audio.samples) samples = {audio.samples, audio.dataSize};
  WaveCanvas fresh = TraceCanvas(windowDc, source, samples);
  if (!fresh.dc) return;
  FillProgressBar();

  std::lock_guard<std::mutex> lock(canvasMutex);
  Release(canvas);  // normally gone already: Browse releases it before the next import
  canvas = fresh;
}

void PaintWaveStrip(HWND, HDC dc) {
  if (sessionState.loadCount <= 0 || !dc) return;
  if (sessionState.fileLoaded) DrawRuler(dc);
  std::lock_guard<std::mutex> lock(canvasMutex);
  const WaveCanvas& shown = IsZoomed() && zoomCanvas.dc ? zoomCanvas : canvas;
  if (shown.dc)
    BitBlt(dc, WindowPixels(WaveArea::Left), WindowPixels(WaveArea::TraceTop),
           WindowPixels(ShownCanvasWidth), WindowPixels(ShownCanvasHeight), shown.dc, 0, 0,
           SRCCOPY);
}

void BeginSelection(int x) {
  SessionState& s = sessionState;
  if (!s.selectionEnabled) return;
  HWND window = s.mainWindow;
  // A click in the strip takes the focus back from an edit box, whose caret replaced ours.
  if (window && GetFocus() != window) SetFocus(window);
  EnsureSelectionCaret(window);
  const bool timesShown = heldInFrames;
  heldInFrames = false;
  if (s.selectionAnchorX != -1 || timesShown) {
    s.selectionAnchorX = -1;
    if (window) {
      HideCaret(window);
      if (HDC dc = GetDC(window)) {
        PaintWaveStrip(window, dc);  // the canvas copy covers the old band
        ReleaseDC(window, dc);
      }
      ShowCaret(window);
    }
  }
  s.selectionAnchorX = x;
  SetCaretX(x);
  if (IsZoomed()) {
    // A selection made on the zoomed strip is held in frames from its first click.
    dragAnchorFrame = FrameForStripX(x, zoomWindow.first, zoomWindow.frames);
    HoldDraggedFrames(x);
    if (window)
      if (HDC dc = GetDC(window)) {
        DrawRuler(dc);
        ReleaseDC(window, dc);
      }
  }
}

void ExtendSelection(HWND window, WPARAM keyState, int x) {
  SessionState& s = sessionState;
  if (!s.selectionEnabled || keyState != MK_LBUTTON || s.selectionAnchorX == -1) return;
  EnsureSelectionCaret(window);
  int end = caretX;
  s.bandLeftward = BandLeftwardAfter(s.bandLeftward, end, x);
  InvertOnWindow(window, BandStep(end, x));
  SetCaretX(x);
  if (IsZoomed()) {
    HoldDraggedFrames(x);
    if (HDC dc = GetDC(window)) {
      DrawRuler(dc);
      ReleaseDC(window, dc);
    }
  }
}

void RedrawBand(HWND window, HDC dc) {
  const SessionState& s = sessionState;
  if (!s.selectionEnabled || s.selectionAnchorX == -1) return;
  ColumnSpan band = BandColumns(s.selectionAnchorX, caretX);
  if (dc)
    InvertColumns(dc, band);
  else
    InvertOnWindow(window, band);
}

void CreateSelectionCaret(HWND window) {
  heldInFrames = false;
  caretWindow = window;
  caretX = WaveArea::Left;
  CreateScaledCaret(window);
}

void DestroySelectionCaret() {
  if (OwnsThreadCaret(caretWindow)) DestroyCaret();
  caretWindow = nullptr;
}

void RestoreSelectionCaret(HWND window) { EnsureSelectionCaret(window); }

void ReleaseWaveCanvas() {
  std::lock_guard<std::mutex> lock(canvasMutex);
  Release(canvas);
  Release(zoomCanvas);
  zoomWindow = {};
}

int CaretX() { return caretX; }

void SetCaretX(int x) {
  caretX = x;
  if (OwnsThreadCaret(caretWindow))
    SetCaretPos(WindowPixels(x), WindowPixels(WaveArea::TraceTop));
}

uint32_t ByteOffsetForX(int x) { return StripByteOffset(x, workingAudio.dataSize); }

bool SelectionFrames(FrameRange* range) {
  if (!heldInFrames || sessionState.selectionAnchorX == -1) return false;
  *range = heldFrames;
  return true;
}

void HoldSelectionFrames(HWND window, FrameRange range) {
  SessionState& s = sessionState;
  const uint32_t frames = SongFrames();
  range.end = std::min(range.end, frames);
  range.start = std::min(range.start, range.end);
  heldFrames = range;
  heldInFrames = true;
  EnsureSelectionCaret(window);
  s.selectionAnchorX = StripXOfFrame(range.start);
  s.bandLeftward = false;
  SetCaretX(StripXOfFrame(range.end));
  InvalidateRect(window, nullptr, FALSE);
}

StripWindow ShownStrip() {
  return IsZoomed() ? zoomWindow : WholeSong(SongFrames());
}

int StripXOfFrame(uint64_t frame) {
  const StripWindow shown = ShownStrip();
  return StripXForFrame(frame, shown.first, shown.frames);
}

void ShowStrip(HWND window, StripWindow shown) {
  const WorkingAudio& audio = workingAudio;
  const uint32_t block = audio.BlockAlign();
  if (!sessionState.fileLoaded || block == 0 || !audio.samples) return;
  WaveCanvas fresh;
  if (Zoomed(shown, SongFrames())) {
    const uint32_t bytes = static_cast<uint32_t>(shown.frames * block);
    TraceSource source{bytes, audio.BytesPerSecond(), audio.SampleRate(), audio.BitsPerSample()};
    if (HDC windowDc = GetDC(window)) {
      fresh = TraceCanvas(windowDc, source, {audio.samples + shown.first * block, bytes});
      ReleaseDC(window, windowDc);
    }
    if (!fresh.dc) return;
  } else {
    shown = {};
  }
  {
    std::lock_guard<std::mutex> lock(canvasMutex);
    Release(zoomCanvas);
    zoomCanvas = fresh;
    zoomWindow = shown;
  }
  if (heldInFrames && sessionState.selectionAnchorX != -1) {
    HoldSelectionFrames(window, heldFrames);  // its columns in the new strip
  } else {
    InvalidateRect(window, nullptr, FALSE);
  }
}

void RescaleWaveStrip(HWND window) {
  if (OwnsThreadCaret(window)) {
    DestroyCaret();
    CreateScaledCaret(window);
  }
  const WorkingAudio& audio = workingAudio;
  if (sessionState.fileLoaded && !sessionState.importRunning && audio.samples) {
    TraceSource source{audio.dataSize, audio.BytesPerSecond(), audio.SampleRate(),
                       audio.BitsPerSample()};
    WaveCanvas fresh;
    if (HDC windowDc = GetDC(window)) {
      fresh = TraceCanvas(windowDc, source, {audio.samples, audio.dataSize});
      ReleaseDC(window, windowDc);
    }
    if (fresh.dc) {
      std::lock_guard<std::mutex> lock(canvasMutex);
      Release(canvas);
      canvas = fresh;
    }
    if (IsZoomed()) ShowStrip(window, zoomWindow);
  }
  InvalidateRect(window, nullptr, FALSE);
}

void RescaleStaleWaveStrip(HWND window) {
  bool stale;
  {
    std::lock_guard<std::mutex> lock(canvasMutex);
    stale = canvas.dc && canvas.dpi != sessionState.skinDpi;
  }
  if (stale) RescaleWaveStrip(window);
}

uint32_t SongFrames() {
  const WorkingAudio& audio = workingAudio;
  return audio.BlockAlign() ? audio.dataSize / audio.BlockAlign() : 0;
}

uint32_t SongSampleRate() { return workingAudio.SampleRate(); }
