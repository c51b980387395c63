#include "profile/hyperlink.h"

namespace {

WNDPROC OriginalProc(HWND window) {
  return reinterpret_cast<WNDPROC>(GetPropA(window, HyperlinkOriginalProcProperty));
}

LRESULT PassOn(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC original = OriginalProc(window);
  return original ? CallWindowProcA(original, window, message, wParam, lParam)
                  : DefWindowProcA(window, message, wParam, lParam);
}

void SetLinkFont(HWND link, const char* property) {
  HFONT font = static_cast<HFONT>(GetPropA(link, property));
  if (!font && property == HyperlinkUnderlineFontProperty) return;  // could not be made
  SendMessageA(link, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  InvalidateRect(link, nullptr, FALSE);
}

}  // namespace

bool ConvertStaticToHyperlink(HWND dialog, int id) {
  HWND link = GetDlgItem(dialog, id);
  if (!link) return false;

  HWND parent = GetParent(link);
  if (parent && reinterpret_cast<WNDPROC>(GetWindowLongPtrA(parent, GWLP_WNDPROC)) !=
                    HyperlinkParentProc) {
    LONG_PTR parentProc = GetWindowLongPtrA(parent, GWLP_WNDPROC);
    SetPropA(parent, HyperlinkOriginalProcProperty, reinterpret_cast<HANDLE>(parentProc));
    SetWindowLongPtrA(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkParentProc));
  }

  // A click on the static is then reported to the dialog as a command with its id.
  SetWindowLongPtrA(link, GWL_STYLE, GetWindowLongPtrA(link, GWL_STYLE) | SS_NOTIFY);

  // Converting the same static twice would make it call itself.
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(link, GWLP_WNDPROC)) != HyperlinkStaticProc) {
    LONG_PTR linkProc = GetWindowLongPtrA(link, GWLP_WNDPROC);
    SetPropA(link, HyperlinkOriginalProcProperty, reinterpret_cast<HANDLE>(linkProc));
    SetWindowLongPtrA(link, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HyperlinkStaticProc));
  }

  if (!GetPropA(link, HyperlinkUnderlineFontProperty)) {
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0));
    SetPropA(link, HyperlinkOriginalFontProperty, font);
    LOGFONTA description{};
    HGDIOBJ source = font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT);
    if (GetObjectA(source, sizeof description, &description) == sizeof description) {
      description.lfUnderline = TRUE;
      SetPropA(link, HyperlinkUnderlineFontProperty, CreateFontIndirectA(&description));
    }
  }
  SetPropA(link, HyperlinkFromStaticProperty, reinterpret_cast<HANDLE>(1));
  return true;
}

LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (!GetPropA(control, HyperlinkFromStaticProperty)) break;
      LRESULT result = PassOn(window, message, wParam, lParam);
      SetTextColor(reinterpret_cast<HDC>(wParam), HyperlinkColour);
      return result;
    }
    case WM_DESTROY: {
      WNDPROC original = OriginalProc(window);
      if (original) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropA(window, HyperlinkOriginalProcProperty);
      return original ? CallWindowProcA(original, window, message, wParam, lParam)
                      : DefWindowProcA(window, message, wParam, lParam);
    }
  }
  return PassOn(window, message, wParam, lParam);
}

LRESULT CALLBACK HyperlinkStaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETCURSOR: {
      HCURSOR cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32649));  // the hand
      if (!cursor) cursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
      SetCursor(cursor);
      return TRUE;
    }
    case WM_MOUSEMOVE:
      if (GetCapture() == window) {
        POINT where = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(window, &where);
        RECT bounds;
        GetWindowRect(window, &bounds);
        if (!PtInRect(&bounds, where)) {
          SetLinkFont(window, HyperlinkOriginalFontProperty);
          ReleaseCapture();
        }
      } else {
        SetLinkFont(window, HyperlinkUnderlineFontProperty);
        SetCapture(window);
      }
      break;
    case WM_CAPTURECHANGED:
      // The capture went elsewhere (a click opened the browser, a box came up): the pointer
      // can no longer be followed out of the link, so drop the underline now.
      if (reinterpret_cast<HWND>(lParam) != window)
        SetLinkFont(window, HyperlinkOriginalFontProperty);
      break;
    case WM_DESTROY: {
      WNDPROC original = OriginalProc(window);
      if (original) SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
      RemovePropA(window, HyperlinkOriginalProcProperty);
      SendMessageA(window, WM_SETFONT,
                   reinterpret_cast<WPARAM>(GetPropA(window, HyperlinkOriginalFontProperty)),
                   FALSE);
      RemovePropA(window, HyperlinkOriginalFontProperty);
      if (HANDLE underline = GetPropA(window, HyperlinkUnderlineFontProperty))
        DeleteObject(static_cast<HGDIOBJ>(underline));
      RemovePropA(window, HyperlinkUnderlineFontProperty);
      RemovePropA(window, HyperlinkFromStaticProperty);
      return original ? CallWindowProcA(original, window, message, wParam, lParam)
                      : DefWindowProcA(window, message, wParam, lParam);
    }
  }
  return PassOn(window, message, wParam, lParam);
}
