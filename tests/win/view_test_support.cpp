#include "tests/win/view_test_support.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "session/session_state.h"
#include "session/working_audio.h"
#include "view/waveform_view.h"

namespace view_test {

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
      if (sessionState.loadCount > 0) PaintWaveStrip(window, dc);
      if (TheStrip().AnchorX() != -1) RedrawBand(window, dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SETFOCUS:
      RestoreSelectionCaret(window);
      return 0;
    case WM_ERASEBKGND:
      return 1;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

MemoryAudio MakeAudio(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t frames,
                      const std::function<int(uint32_t, int)>& sample) {
  MemoryAudio audio;
  uint16_t bytes = static_cast<uint16_t>(bits / 8);
  uint16_t blockAlign = static_cast<uint16_t>(channels * bytes);
  Put16(audio.format, 1);
  Put16(audio.format, channels);
  Put32(audio.format, rate);
  Put32(audio.format, rate * blockAlign);
  Put16(audio.format, blockAlign);
  Put16(audio.format, bits);
  audio.samples.reserve(static_cast<size_t>(frames) * blockAlign);
  for (uint32_t f = 0; f < frames; ++f) {
    for (int c = 0; c < channels; ++c) {
      int v = sample(f, c);
      if (bytes == 1)
        audio.samples.push_back(static_cast<uint8_t>(v));
      else
        Put16(audio.samples, static_cast<uint16_t>(v));
    }
  }
  return audio;
}

void Publish(const MemoryAudio& audio) {
  workingAudio = WorkingAudio{};
  workingAudio.formatBlock = audio.format.data();
  workingAudio.samples = audio.samples.data();
  workingAudio.dataSize = static_cast<uint32_t>(audio.samples.size());
  sessionState.fileLoaded = true;
  sessionState.loadCount = 1;
  TheStrip().Enable(true);
  TheStrip().SetAnchorX(-1);
}

void ResetSession() {
  workingAudio = WorkingAudio{};
  sessionState.fileLoaded = false;
  sessionState.loadCount = 0;
  TheStrip() = StripSelection{};
}

HWND CreateTestWindow() {
  static bool registered = false;
  HINSTANCE instance = GetModuleHandleA(nullptr);
  if (!registered) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSA c{};
    c.lpfnWndProc = TestWindowProc;
    c.hInstance = instance;
    c.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    c.lpszClassName = "QuavellaViewTest";
    RegisterClassA(&c);
    registered = true;
  }
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "QuavellaViewTest", "view test",
                                WS_POPUP | WS_VISIBLE, 0, 0, 550, 355, nullptr, nullptr, instance,
                                nullptr);
  sessionState.instance = instance;
  sessionState.mainWindow = window;
  SetForegroundWindow(window);
  SetFocus(window);
  UpdateWindow(window);
  return window;
}

void DestroyTestWindow(HWND window) {
  DestroySelectionCaret();
  DestroyWindow(window);
  sessionState.mainWindow = nullptr;
  sessionState.progressBar = nullptr;
  Pump(10);
}

void Pump(DWORD ms) {
  DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(1);
  } while (GetTickCount() - start < ms);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Pump(1);
  }
  return true;
}

GUITHREADINFO CaretInfo() {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(GetCurrentThreadId(), &info);
  return info;
}

Pixels Capture(HWND window) {
  Pixels p;
  RECT client{};
  GetClientRect(window, &client);
  p.width = client.right;
  p.height = client.bottom;
  HideCaret(window);
  HDC windowDc = GetDC(window);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = -p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC memory = CreateCompatibleDC(windowDc);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, p.width, p.height, windowDc, 0, 0, SRCCOPY);
  GdiFlush();
  p.rgb.resize(static_cast<size_t>(p.width) * p.height);
  const uint32_t* src = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < p.rgb.size(); ++i) p.rgb[i] = src[i] & 0xFFFFFF;
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, windowDc);
  ShowCaret(window);
  return p;
}

void Save(const Pixels& pixels, const char* name) {
  const char* folder = std::getenv("QV_ARTEFACTS");
  std::string path = std::string(folder && *folder ? folder : ".") + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  uint32_t rowBytes = static_cast<uint32_t>(pixels.width) * 3;
  rowBytes = (rowBytes + 3) & ~3u;
  uint32_t imageBytes = rowBytes * pixels.height;
  std::vector<uint8_t> header;
  header.push_back('B');
  header.push_back('M');
  Put32(header, 54 + imageBytes);
  Put32(header, 0);
  Put32(header, 54);
  Put32(header, 40);
  Put32(header, static_cast<uint32_t>(pixels.width));
  Put32(header, static_cast<uint32_t>(pixels.height));
  Put16(header, 1);
  Put16(header, 24);
  Put32(header, 0);
  Put32(header, imageBytes);
  Put32(header, 2835);
  Put32(header, 2835);
  Put32(header, 0);
  Put32(header, 0);
  std::fwrite(header.data(), 1, header.size(), file);
  std::vector<uint8_t> row(rowBytes, 0);
  for (int y = pixels.height - 1; y >= 0; --y) {
    for (int x = 0; x < pixels.width; ++x) {
      uint32_t c = pixels.At(x, y);
      row[3 * x] = static_cast<uint8_t>(c);
      row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
      row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
    }
    std::fwrite(row.data(), 1, row.size(), file);
  }
  std::fclose(file);
}

}  // namespace view_test
