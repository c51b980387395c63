// Helpers of the Windows benchmarks: a clock and a progress bar on a thread of its own.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <thread>

namespace bench {

// Seconds from the performance counter (GetTickCount is too coarse under Wine).
inline double Now() {
  LARGE_INTEGER count, frequency;
  QueryPerformanceCounter(&count);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A progress bar owned by another thread, so that every bar message crosses threads.
class BarThread {
 public:
  BarThread() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = std::thread([this] {
      INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_PROGRESS_CLASS};
      InitCommonControlsEx(&icc);
      bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_POPUP, 0, 0, 300, 20, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
      threadId_ = GetCurrentThreadId();
      SetEvent(ready_);
      MSG msg;
      while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
      DestroyWindow(bar_);
    });
    WaitForSingleObject(ready_, INFINITE);
  }
  ~BarThread() {
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
    CloseHandle(ready_);
  }
  HWND Handle() const { return bar_; }

 private:
  HANDLE ready_ = nullptr;
  HWND bar_ = nullptr;
  DWORD threadId_ = 0;
  std::thread thread_;
};

}  // namespace bench
