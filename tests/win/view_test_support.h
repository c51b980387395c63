// Shared pieces of the view's Windows tests: a test window standing in for the main window,
// working audio made in memory, and pixel reads of the window.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace view_test {

// 16-bit PCM in memory, published as the working audio (format block, samples, size).
struct MemoryAudio {
  std::vector<uint8_t> format;   // 16-byte PCM record
  std::vector<uint8_t> samples;
};
MemoryAudio MakeAudio(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t frames,
                      const std::function<int(uint32_t frame, int channel)>& sample);
// Points workingAudio at `audio` and marks a file as loaded (as the first load does).
void Publish(const MemoryAudio& audio);
// Clears workingAudio and the session's view fields.
void ResetSession();

// A visible 550 x 355 popup window whose paint handler draws the strip as the main window
// does: PaintWaveStrip, then RedrawBand with the paint context. WM_SETFOCUS restores the
// caret. It becomes sessionState.mainWindow.
HWND CreateTestWindow();
void DestroyTestWindow(HWND window);
// Processes this thread's pending messages (paint, timers) for about `ms` milliseconds.
void Pump(DWORD ms);
// Pumps until `done` holds or `timeoutMs` passes.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The caret of this thread (window, rectangle).
GUITHREADINFO CaretInfo();

// Client pixels of the window as 0xRRGGBB, rows from the top, with the caret hidden.
struct Pixels {
  int width = 0, height = 0;
  std::vector<uint32_t> rgb;
  uint32_t At(int x, int y) const { return rgb[static_cast<size_t>(y) * width + x]; }
};
Pixels Capture(HWND window);
// Saves pixels as a BMP file in the artefact folder (QV_ARTEFACTS, else the current folder).
void Save(const Pixels& pixels, const char* name);

}  // namespace view_test
