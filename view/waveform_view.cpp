#include "view/waveform_view.h"

#include <commctrl.h>

#include <algorithm>
#include <span>
#include <utility>

#include "session/handles.h"
#include "session/scaled_dc.h"
#include "session/session_state.h"
#include "session/working_audio.h"
#include "view/preview_cursor.h"
#include "view/selection_band.h"
#include "view/strip_zoom.h"
#include "view/time_ruler.h"
#include "view/wave_canvas.h"
#include "view/waveform_trace.h"

namespace {

constexpr COLORREF RulerFill = RGB(255, 250, 240);
constexpr COLORREF RulerTextBack = RGB(230, 230, 250);
constexpr COLORREF SuggestionColour = RGB(0, 120, 215);
constexpr int SuggestionBandHeight = 5;  // the trace's last rows
constexpr int CaretHeight = WaveArea::Bottom - WaveArea::Top - 15;  // 85
constexpr int ShownCanvasWidth = WaveArea::Width;
constexpr int ShownCanvasHeight = WaveArea::Bottom - WaveArea::TraceTop;  // 83

// The whole song's trace, and a zoomed strip's own (window thread).
WaveCanvas canvas;
WaveCanvas zoomCanvas;

// The selection and what the strip shows. Its caret x is kept there, so that the selection's
// end survives a caret that another control of this thread destroyed.
StripSelection strip;
HWND caretWindow = nullptr;
// The parts proposed for the song shown.
SuggestedParts suggestions;

// The caret at the window's scale: one pixel wide (the system's border width) at 100 %.
void CreateScaledCaret(HWND window) {
  const int dpi = sessionState.skinDpi;
  CreateCaret(window, nullptr, dpi == BaseDpi ? 0 : ToPixels(1, dpi), ToPixels(CaretHeight, dpi));
  SetCaretPos(ToPixels(strip.CaretX(), dpi), ToPixels(WaveArea::TraceTop, dpi));
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
  if (WindowDc dc{window}) InvertColumns(dc.get(), span);
  ShowCaret(window);
}

// The ticks' labels give way to the held selection's times.
void DrawSelectionTimes(HDC dc, FrameRange held) {
  const std::string text = SelectionTimesText(held, SongSampleRate());
  TextOutA(dc, RulerLeft + 3, RulerTop, text.data(), static_cast<int>(text.size()));
}

// What a zoomed strip shows, in place of the ticks' labels when no selection is held.
void DrawShownTimes(HDC dc) {
  const uint32_t rate = SongSampleRate();
  const StripWindow shown = strip.Shown(CurrentSong());
  const std::string text = "Showing " + ClipTimeText(shown.first, rate) + " to " +
                           ClipTimeText(shown.first + shown.frames, rate);
  TextOutA(dc, RulerLeft + 3, RulerTop, text.data(), static_cast<int>(text.size()));
}

void DrawRuler(HDC dc) {
  UnitsOnDc units(dc, sessionState.skinDpi);
  const WorkingAudio& audio = workingAudio;
  GdiObject<HFONT> font(CreateFontA(RulerFontHeight, RulerFontWidth, 0, 0, FW_NORMAL, TRUE, FALSE, FALSE,
                           ANSI_CHARSET, OUT_STRING_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                           FF_MODERN | DEFAULT_PITCH, nullptr));
  HGDIOBJ previousFont = font ? SelectObject(dc, font.get()) : nullptr;
  COLORREF previousBack = SetBkColor(dc, RulerTextBack);
  uint32_t step = RulerLabelStep(audio.dataSize, audio.BytesPerSecond());

  RECT band{RulerLeft, RulerTop, RulerRight, RulerBottom};
  if (GdiObject<HBRUSH> fill{CreateSolidBrush(RulerFill)}) FillRect(dc, &band, fill.get());
  FrameRange held;
  const bool timesShown = strip.TimesShown(&held);
  // The suggested part's times stand in the ruler above its band; the labels they would
  // cover give way to them.
  std::string callout;
  int calloutLeft = 0, calloutRight = 0;
  if (!timesShown && !strip.IsZoomed() && suggestions.Any()) {
    callout = suggestions.RulerText(SongSampleRate());
    SIZE size{};
    GetTextExtentPoint32A(dc, callout.data(), static_cast<int>(callout.size()), &size);
    calloutLeft = std::clamp(strip.XOfFrame(suggestions.Current().start, CurrentSong()),
                             RulerLeft + 3, std::max(RulerLeft + 3, RulerRight - int(size.cx)));
    calloutRight = calloutLeft + size.cx;
  }
  for (int k = 0; k <= RulerTicks; ++k) {
    int x = RulerTickX(k);
    // A one-pixel tick, 18 pixels high, with the context's pen and brush.
    Rectangle(dc, x, RulerTickTop, x + 1, RulerBottom);
    if (k < RulerTicks && !timesShown && !strip.IsZoomed()) {
      std::string label = RulerLabel(static_cast<uint32_t>(k) * step);
      SIZE size{};
      GetTextExtentPoint32A(dc, label.data(), static_cast<int>(label.size()), &size);
      if (!callout.empty() && x < calloutRight && x + size.cx > calloutLeft) continue;
      TextOutA(dc, x, RulerTop, label.data(), static_cast<int>(label.size()));
    }
  }
  if (timesShown) {
    DrawSelectionTimes(dc, held);
  } else if (strip.IsZoomed()) {
    DrawShownTimes(dc);
  } else if (!callout.empty()) {
    TextOutA(dc, calloutLeft, RulerTop, callout.data(), static_cast<int>(callout.size()));
  }
  SetBkColor(dc, previousBack);
  if (previousFont) SelectObject(dc, previousFont);
}

// The current proposal's columns at the foot of the trace.
void DrawSuggestionBand(HDC dc) {
  if (!suggestions.Any()) return;
  const FrameRange part = suggestions.Current();
  const SongExtent song = CurrentSong();
  RECT band{WindowPixels(strip.XOfFrame(part.start, song)),
            WindowPixels(WaveArea::Bottom - SuggestionBandHeight),
            WindowPixels(strip.XOfFrame(part.end, song)), WindowPixels(WaveArea::Bottom)};
  if (band.right <= band.left) return;
  if (GdiObject<HBRUSH> fill{CreateSolidBrush(SuggestionColour)}) FillRect(dc, &band, fill.get());
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
  WaveCanvas fresh = TraceCanvas(windowDc, source, samples, sessionState.skinDpi);
  if (!fresh.dc()) return;
  FillProgressBar();
  canvas = std::move(fresh);  // the old one is normally gone: Browse releases it
}

void TakeImportedSong(HWND window, bool firstSong) {
  if (StopRequested()) return;
  if (firstSong) {
    strip.Reset();
    strip.Enable(true);
  }
  strip.SetAnchorX(-1);
  if (WindowDc dc{window}) RenderWaveform(window, dc.get());
}

void PaintWaveStrip(HWND, HDC dc) {
  if (sessionState.loadCount <= 0 || !dc) return;
  if (sessionState.fileLoaded) DrawRuler(dc);
  const WaveCanvas& shown = strip.IsZoomed() && zoomCanvas.dc() ? zoomCanvas : canvas;
  if (shown.dc())
    BitBlt(dc, WindowPixels(WaveArea::Left), WindowPixels(WaveArea::TraceTop),
           WindowPixels(ShownCanvasWidth), WindowPixels(ShownCanvasHeight), shown.dc(), 0, 0,
           SRCCOPY);
  if (shown.dc() && sessionState.fileLoaded) DrawSuggestionBand(dc);
}

void BeginSelection(int x) {
  if (!strip.Enabled()) return;
  HWND window = sessionState.mainWindow;
  // A click in the strip takes the focus back from an edit box, whose caret replaced ours.
  if (window && GetFocus() != window) SetFocus(window);
  EnsureSelectionCaret(window);
  if (strip.ClearForClick() && window) {
    HideCaret(window);
    // The canvas copy covers the old band.
    if (WindowDc dc{window}) PaintWaveStrip(window, dc.get());
    ShowCaret(window);
  }
  strip.StartAt(x, CurrentSong());
  SetCaretX(x);
  if (strip.IsZoomed() && window)
    if (WindowDc dc{window}) DrawRuler(dc.get());
}

void ExtendSelection(HWND window, WPARAM keyState, int x) {
  if (!strip.Enabled() || keyState != MK_LBUTTON || strip.AnchorX() == -1) return;
  EnsureSelectionCaret(window);
  InvertOnWindow(window, strip.ExtendTo(x, CurrentSong()));
  SetCaretX(x);
  if (strip.IsZoomed())
    if (WindowDc dc{window}) DrawRuler(dc.get());
}

void RedrawBand(HWND window, HDC dc) {
  const ColumnSpan band = strip.Band();
  if (dc)
    InvertColumns(dc, band);
  else
    InvertOnWindow(window, band);
}

void CreateSelectionCaret(HWND window) {
  strip.DropHeld();
  caretWindow = window;
  strip.SetCaretX(WaveArea::Left);
  CreateScaledCaret(window);
}

void DestroySelectionCaret() {
  if (OwnsThreadCaret(caretWindow)) DestroyCaret();
  caretWindow = nullptr;
}

void RestoreSelectionCaret(HWND window) { EnsureSelectionCaret(window); }

void ReleaseWaveCanvas() {
  canvas = {};
  zoomCanvas = {};
  strip.ForgetZoom();
  suggestions.Clear();
}

int CaretX() { return strip.CaretX(); }

void SetCaretX(int x) {
  strip.SetCaretX(x);
  if (OwnsThreadCaret(caretWindow))
    SetCaretPos(WindowPixels(x), WindowPixels(WaveArea::TraceTop));
}

StripSelection& TheStrip() { return strip; }

SongExtent CurrentSong() {
  const WorkingAudio& audio = workingAudio;
  return {audio.dataSize, audio.BlockAlign()};
}

bool SelectionFrames(FrameRange* range) { return strip.HeldFrames(range); }

bool SelectedFrames(FrameRange* range) {
  return sessionState.fileLoaded && strip.SelectedFrames(CurrentSong(), range);
}

ClipByteRange SelectedClipBytes() { return strip.ClipBytes(CurrentSong()); }

UserSelectionEnds UserSelection() { return strip.UserEnds(); }

void ResetSelection() {
  strip.SetAnchorX(-1);
  SetCaretX(WaveArea::Left);
}

void HoldSelectionFrames(HWND window, FrameRange range) {
  EnsureSelectionCaret(window);
  strip.Hold(range, CurrentSong());
  SetCaretX(strip.CaretX());
  InvalidateRect(window, nullptr, FALSE);
}

void ShowSuggestedParts(HWND window, const FrameRange* parts, int count, bool confident) {
  suggestions.Set(parts, count, confident);
  InvalidateRect(window, nullptr, FALSE);
}

bool SelectSuggestedPart(HWND window) {
  if (!suggestions.Any() || !strip.Enabled()) return false;
  HoldSelectionFrames(window, suggestions.Current());
  return true;
}

void NextSuggestedPart(HWND window) {
  if (!suggestions.Any()) return;
  FrameRange held;
  const FrameRange before = suggestions.Current();
  const bool following =
      strip.HeldFrames(&held) && held.start == before.start && held.end == before.end;
  suggestions.Next();
  if (!following || !SelectSuggestedPart(window)) InvalidateRect(window, nullptr, FALSE);
}

bool AnySuggestedPart() { return suggestions.Any(); }

void ClearSuggestedParts(HWND window) {
  suggestions.Clear();
  InvalidateRect(window, nullptr, FALSE);
}

StripWindow ShownStrip() { return strip.Shown(CurrentSong()); }

int StripXOfFrame(uint64_t frame) { return strip.XOfFrame(frame, CurrentSong()); }

void ShowStrip(HWND window, StripWindow shown) {
  const WorkingAudio& audio = workingAudio;
  const uint32_t block = audio.BlockAlign();
  if (!sessionState.fileLoaded || block == 0 || !audio.samples) return;
  WaveCanvas fresh;
  if (Zoomed(shown, SongFrames())) {
    const uint32_t bytes = static_cast<uint32_t>(shown.frames * block);
    TraceSource source{bytes, audio.BytesPerSecond(), audio.SampleRate(), audio.BitsPerSample()};
    if (WindowDc windowDc{window})
      fresh = TraceCanvas(windowDc.get(), source, {audio.samples + shown.first * block, bytes},
                          sessionState.skinDpi);
    if (!fresh.dc()) return;
  }
  zoomCanvas = std::move(fresh);
  FrameRange held;
  const bool wasHeld = strip.HeldFrames(&held);
  strip.Show(shown, CurrentSong());
  if (wasHeld) {
    HoldSelectionFrames(window, held);  // its columns in the new strip
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
  // While an import runs the song is drawn when it hands the song over.
  if (sessionState.fileLoaded && !sessionState.importRunning && audio.samples) {
    TraceSource source{audio.dataSize, audio.BytesPerSecond(), audio.SampleRate(),
                       audio.BitsPerSample()};
    WaveCanvas fresh;
    if (WindowDc windowDc{window})
      fresh = TraceCanvas(windowDc.get(), source, {audio.samples, audio.dataSize},
                          sessionState.skinDpi);
    if (fresh.dc()) {
      canvas = std::move(fresh);
    }
    if (strip.IsZoomed()) ShowStrip(window, strip.Shown(CurrentSong()));
  }
  InvalidateRect(window, nullptr, FALSE);
}

uint32_t SongFrames() { return CurrentSong().Frames(); }

uint32_t SongSampleRate() { return workingAudio.SampleRate(); }
