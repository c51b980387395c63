#include "app/worker_threads.h"

#include <algorithm>
#include <utility>

#include "session/session_state.h"

namespace {

HANDLE CreateWorkerThread(LPTHREAD_START_ROUTINE routine, DWORD* threadId) {
  return CreateThread(nullptr, 0, routine, nullptr, 0, threadId);
}

// A worker's message box (or any dialog it shows) is answered as the user would close it.
BOOL CALLBACK CloseDialog(HWND window, LPARAM) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpA(className, "#32770") == 0)
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  return TRUE;
}

}  // namespace

WorkerThreads::WorkerThreads(Creator creator)
    : creator_(creator ? creator : CreateWorkerThread) {}

void WorkerThreads::Reap() {
  // The erased threads' handles close with them.
  auto ended = [](const Thread& t) {
    return WaitForSingleObject(t.handle.get(), 0) == WAIT_OBJECT_0;
  };
  threads_.erase(std::remove_if(threads_.begin(), threads_.end(), ended), threads_.end());
}

bool WorkerThreads::Start(LPTHREAD_START_ROUTINE routine) {
  Reap();
  DWORD id = 0;
  KernelHandle handle(creator_(routine, &id));
  if (!handle) return false;
  threads_.push_back({std::move(handle), id});
  return true;
}

int WorkerThreads::Running() {
  Reap();
  return static_cast<int>(threads_.size());
}

bool WorkerThreads::StopAll(DWORD graceMs) {
  sessionState.stopRequested = true;
  const DWORD start = GetTickCount();
  for (;;) {
    Reap();
    if (threads_.empty()) return true;
    const DWORD spent = GetTickCount() - start;
    if (spent >= graceMs) return false;
    for (const Thread& t : threads_) EnumThreadWindows(t.id, CloseDialog, 0);

    // A worker may be inside SendMessage to one of our windows: serve those while waiting,
    // and nothing else (no command of the user runs now).
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    DWORD count = static_cast<DWORD>(std::min<size_t>(threads_.size(), MAXIMUM_WAIT_OBJECTS));
    for (DWORD i = 0; i < count; ++i) handles[i] = threads_[i].handle.get();
    MsgWaitForMultipleObjects(count, handles, FALSE, std::min<DWORD>(50, graceMs - spent),
                              QS_SENDMESSAGE);
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

WorkerThreads& ShellThreads() {
  static WorkerThreads* threads = new WorkerThreads;
  return *threads;
}
