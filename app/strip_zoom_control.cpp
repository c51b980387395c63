#include "app/strip_zoom_control.h"

#include "app/selection_keys.h"
#include "app/strip_menu.h"
#include "session/session_state.h"
#include "view/waveform_view.h"

namespace {

// Shows `shown`; a selection made by dragging the whole-song strip is held in its frames first,
// so that it keeps its place on the zoomed strip.
void Show(HWND window, StripWindow shown) {
  FrameRange selection;
  if (SelectedFrames(&selection)) HoldSelectionFrames(window, selection);
  ShowStrip(window, shown);
}

bool Ready() { return sessionState.fileLoaded && TheStrip().Enabled() && SongFrames(); }

// The centre of the selection, or of what is shown when there is none.
uint64_t ZoomCentre() {
  FrameRange selection;
  if (SelectedFrames(&selection)) return selection.start + selection.Length() / 2;
  const StripWindow shown = ShownStrip();
  return shown.first + shown.frames / 2;
}

void ZoomAroundSelection(HWND window, bool in) {
  if (!Ready()) return;
  Show(window, ZoomBy(ShownStrip(), in, ZoomCentre(), SongFrames()));
}

}  // namespace

bool StripZoomed() { return Ready() && Zoomed(ShownStrip(), SongFrames()); }

bool CanZoomIn() {
  FrameRange selection;
  return Ready() && SelectedFrames(&selection) && selection.Length() > 0;
}

void OnZoomCommand(HWND window, int id) {
  if (!Ready()) return;
  if (id == IdZoomIn) {
    FrameRange selection;
    if (SelectedFrames(&selection) && selection.Length() > 0)
      Show(window, FitSelection(selection, SongFrames()));
  } else if (id == IdZoomOut) {
    ZoomAroundSelection(window, false);
  } else if (id == IdWholeSong) {
    Show(window, WholeSong(SongFrames()));
  }
}

bool OnZoomKey(HWND window, WPARAM key) {
  if (key == VK_ADD || key == VK_OEM_PLUS) {
    ZoomAroundSelection(window, true);
    return true;
  }
  if (key == VK_SUBTRACT || key == VK_OEM_MINUS) {
    ZoomAroundSelection(window, false);
    return true;
  }
  return false;
}

void OnStripWheel(HWND window, WPARAM wParam) {
  if (!Ready()) return;
  const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
  if (notches == 0) return;
  if (GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL) {
    ZoomAroundSelection(window, notches > 0);
  } else if (StripZoomed()) {
    Show(window, ScrollBy(ShownStrip(), -notches, SongFrames()));  // up: earlier
  }
}
