#include "app/keyboard_focus.h"

#include "app/skin.h"
#include "app/tab_order.h"

namespace {

bool IsOurButton(HWND window, HWND control) {
  char className[16] = {};
  return control && GetParent(control) == window &&
         GetClassNameA(control, className, sizeof className) &&
         lstrcmpiA(className, "BUTTON") == 0;
}

void MoveFocus(HWND window, HWND from, bool backward) {
  const int current = from == window ? StripTabStop : GetDlgCtrlID(from);
  const int next = NextTabStop(current, backward, [window](int stop) {
    if (stop == StripTabStop) return true;
    HWND control = GetDlgItem(window, stop);
    return control && IsWindowVisible(control) && IsWindowEnabled(control);
  });
  ShowFocusCues();
  SetFocus(next == StripTabStop ? window : GetDlgItem(window, next));
  // The strip's ring comes or goes; a button draws its own focus again.
  RECT ring = StripFocusRect();
  InvalidateRect(window, &ring, FALSE);
  if (from != window) InvalidateRect(from, nullptr, FALSE);
}

}  // namespace

bool OnKeyboardFocusKey(HWND window, const MSG& message) {
  if (message.message != WM_KEYDOWN || !window) return false;
  HWND target = message.hwnd;
  if (target != window && GetParent(target) != window) return false;
  if (message.wParam == VK_TAB) {
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0) return false;
    MoveFocus(window, target, GetKeyState(VK_SHIFT) < 0);
    return true;
  }
  if (message.wParam == VK_RETURN && IsOurButton(window, target)) {
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(target), BN_CLICKED),
                 reinterpret_cast<LPARAM>(target));
    return true;
  }
  return false;
}
