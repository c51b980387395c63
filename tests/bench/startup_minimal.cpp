// The smallest window program of the same kind as Quavella (popup with a thin border at
// (300, 300), 550 by 355, a message loop): the yardstick of the start-up benchmark.
#include <windows.h>

#ifdef QV_SAME_IMPORTS
// The variant that also loads the system libraries Quavella imports, to tell their loading
// apart from the program's own start-up work.
#include <commctrl.h>
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

LRESULT CALLBACK MinimalProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
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
