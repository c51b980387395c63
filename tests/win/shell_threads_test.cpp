// The shell's worker threads at the program's end: StopAll raises the stop request, answers
// the boxes the workers show, serves what they send to the window's thread while it waits, and
// gives up on a worker that does not end in time.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/worker_threads.h"
#include "session/session_state.h"

namespace {

HWND testWindow = nullptr;
HANDLE release = nullptr;     // lets the stubborn worker end
volatile LONG sentServed = 0;  // messages the window's thread served for a worker

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_APP) InterlockedIncrement(&sentServed);
  return DefWindowProcA(window, message, w, l);
}

// Like the import at its end: it sends to the window until it is asked to stop.
DWORD WINAPI SendingWorker(LPVOID) {
  while (!StopRequested()) {
    SendMessageA(testWindow, WM_APP, 0, 0);
    Sleep(1);
  }
  SendMessageA(testWindow, WM_APP, 0, 0);  // one more on its way out
  return 0;
}

// Like an upload's answer: a box of its own that the user has not closed.
DWORD WINAPI BoxWorker(LPVOID) {
  MessageBoxA(nullptr, "The RingTone has successfully been sent to your phone.", "RingTone Upload",
              MB_OK);
  return 0;
}

// Like an upload blocked in the network: it takes no notice of the stop request.
DWORD WINAPI StubbornWorker(LPVOID) {
  WaitForSingleObject(release, INFINITE);
  return 0;
}

class ShellThreadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = CountingProc;
    windowClass.lpszClassName = "ShellThreadsTest";
    RegisterClassA(&windowClass);
    testWindow = CreateWindowExA(0, "ShellThreadsTest", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(testWindow, nullptr);
    release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    sessionState.stopRequested = false;
    sentServed = 0;
  }
  void TearDown() override {
    SetEvent(release);
    DestroyWindow(testWindow);
    CloseHandle(release);
    sessionState.stopRequested = false;
  }
};

TEST_F(ShellThreadsTest, StopEndsWorkersThatSendToTheWindowAndShowBoxes) {
  WorkerThreads threads;
  ASSERT_TRUE(threads.Start(SendingWorker));
  ASSERT_TRUE(threads.Start(BoxWorker));
  // Let the box come up and the sender block on the window, which this thread does not pump.
  for (int i = 0; i < 200 && !FindWindowA("#32770", "RingTone Upload"); ++i) Sleep(10);
  ASSERT_NE(FindWindowA("#32770", "RingTone Upload"), nullptr);
  EXPECT_EQ(threads.Running(), 2);

  EXPECT_TRUE(threads.StopAll(5000));
  EXPECT_TRUE(StopRequested());
  EXPECT_EQ(threads.Running(), 0);
  EXPECT_GE(sentServed, 1);
  EXPECT_EQ(FindWindowA("#32770", "RingTone Upload"), nullptr);
}

TEST_F(ShellThreadsTest, AWorkerThatDoesNotEndIsGivenUpOnAfterTheGrace) {
  WorkerThreads threads;
  ASSERT_TRUE(threads.Start(StubbornWorker));
  EXPECT_FALSE(threads.StopAll(300));
  EXPECT_EQ(threads.Running(), 1);
  SetEvent(release);
  for (int i = 0; i < 200 && threads.Running() > 0; ++i) Sleep(10);
  EXPECT_EQ(threads.Running(), 0);
}

TEST_F(ShellThreadsTest, AThreadThatCannotBeCreatedIsNotCounted) {
  WorkerThreads failing([](LPTHREAD_START_ROUTINE, DWORD*) -> HANDLE { return nullptr; });
  EXPECT_FALSE(failing.Start(StubbornWorker));
  EXPECT_EQ(failing.Running(), 0);
  EXPECT_TRUE(failing.StopAll(100));
}

}  // namespace
