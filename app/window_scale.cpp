#include "app/window_scale.h"

#include <vector>

#include "app/skin.h"
#include "session/handles.h"
#include "session/session_state.h"
#include "view/waveform_view.h"

int ScreenDpiOf(HWND window) {
  // Windows 10 1607 and later; looked up, so that older systems still start the program.
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow && window)
    if (UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
  int dpi = 0;
  if (WindowDc screen{nullptr}) dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
  return dpi > 0 ? dpi : BaseDpi;
}

void OnDpiChanged(HWND window, int screenDpi, const RECT* suggested) {
  if (suggested)
    SetWindowPos(window, nullptr, suggested->left, suggested->top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SessionState& s = sessionState;
  const int oldDpi = s.skinDpi, newDpi = SkinDpiFor(screenDpi);
  if (newDpi == oldDpi) return;

  // Each control's place in units, from its pixels at the old scale (exact both ways).
  struct Placed {
    HWND control;
    RECT units;
  };
  std::vector<Placed> placed;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    placed.push_back({child, {ToUnits(r.left, oldDpi), ToUnits(r.top, oldDpi),
                              ToUnits(r.right, oldDpi), ToUnits(r.bottom, oldDpi)}});
  }

  s.skinDpi = newDpi;
  LoadButtonPictures();
  PrepareBackground(window);
  LoadStatusPictures();
  SizeWindowToSkin(window);
  ShapeWindow(window);
  for (const Placed& p : placed) {
    const int left = ToPixels(p.units.left, newDpi), top = ToPixels(p.units.top, newDpi);
    MoveWindow(p.control, left, top, ToPixels(p.units.right, newDpi) - left,
               ToPixels(p.units.bottom, newDpi) - top, FALSE);
  }
  StyleEditBox(s.pathEdit);
  StyleEditBox(s.sizeEdit);
  RescaleWaveStrip(window);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
