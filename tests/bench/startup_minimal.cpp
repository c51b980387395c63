// The smallest window program of the same kind as Quavella (popup with a thin border at
// (300, 300), 550 by 355, a message loop): the yardstick of the start-up benchmark.
#include <windows.h>
#include <commctrl.h>

#ifdef QV_SAME_IMPORTS
// The variant that also loads the system libraries Quavella imports, to tell their loading
// apart from the program's own start-up work.
#include <commdlg.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>
#include <objbase.h>
#include <shellapi.h>
#include <wininet.h>

__attribute__((used)) void* volatile quavellaImports[] = {
    reinterpret_cast<void*>(&InitCommonControlsEx), reinterpret_cast<void*>(&GetOpenFileNameA),
    reinterpret_cast<void*>(&CoInitialize),         reinterpret_cast<void*>(&ShellExecuteA),
    reinterpret_cast<void*>(&InternetOpenA),        reinterpret_cast<void*>(&RegOpenKeyExA),
    reinterpret_cast<void*>(&acmStreamOpen),        reinterpret_cast<void*>(&mmioOpenA),
};
#endif

namespace {

#ifdef QV_REQUIRED_CONTROLS
// The variant that also has the child controls Quavella's window must have, created the same
// way (on the create message, before the window shows): eight owner-drawn buttons, two
// read-only edit boxes and a coloured, unthemed progress bar of the common controls. Nothing is
// drawn on them, and there is no shape or picture: what is left of Quavella's time beyond this
// program is its own.
void CreateRequiredControls(HWND window) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  auto edit = [&](int id, int x, int width) {
    CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL,
                    x, 270, width, 23, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                    instance, nullptr);
  };
  edit(200, 176, 190);
  for (int i = 0; i < 8; ++i)
    CreateWindowExA(0, "BUTTON", "", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 10 + 60 * i,
                    40 + 140 * (i % 2), 81, 27, window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(100 + i)), instance, nullptr);
  edit(201, 455, 50);
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 70, 240, 74, 20,
                             window, nullptr, instance, nullptr);
  if (HMODULE theme = LoadLibraryA("uxtheme.dll")) {
    using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    auto setTheme =
        reinterpret_cast<SetWindowThemeFunction>(GetProcAddress(theme, "SetWindowTheme"));
    if (setTheme) setTheme(bar, L" ", L" ");
    FreeLibrary(theme);
  }
  SendMessageA(bar, PBM_SETBARCOLOR, 0, RGB(255, 204, 0));
  SendMessageA(bar, PBM_SETBKCOLOR, 0, RGB(204, 255, 255));
}
#endif

LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
#ifdef QV_REQUIRED_CONTROLS
  if (message == WM_CREATE) {
    CreateRequiredControls(window);
    return 0;
  }
  if (message == WM_DRAWITEM) {
    auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    return TRUE;
  }
#endif
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = MinimalProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "QuavellaMinimal";
  RegisterClassA(&windowClass);
#ifdef QV_REQUIRED_CONTROLS
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
#endif
  HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Minimal",
                                WS_POPUP | WS_BORDER | WS_SYSMENU | WS_VISIBLE, 300, 300, 550, 355,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 0;
  ShowWindow(window, showState);
  UpdateWindow(window);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}
