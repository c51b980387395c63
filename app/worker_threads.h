// The shell's worker threads (the import, the upload and its progress animation): the one owner
// that starts them, knows which still run, and stops them when the program ends. Used by the
// window thread only.
#pragma once
#include <windows.h>

#include <vector>

#include "session/handles.h"

class WorkerThreads {
 public:
  // Creates a running thread for `routine` (no argument) and gives its id; nullptr on failure.
  // Tests hand in one that fails.
  using Creator = HANDLE (*)(LPTHREAD_START_ROUTINE routine, DWORD* threadId);

  explicit WorkerThreads(Creator creator = nullptr);
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;

  // Starts `routine` on a thread of its own. False when the thread could not be created: the
  // caller then undoes what it set up for the worker and tells the user.
  bool Start(LPTHREAD_START_ROUTINE routine);

  // The end of every worker, in this order: the stop request is raised (StopRequested()), the
  // message boxes the workers show are closed, and each worker is waited for, up to `graceMs`
  // in all, while the messages they send to this thread's windows are served. Returns true
  // when every worker has ended; false when one still runs (one blocked in a network call that
  // cannot be cancelled), which then must end with the process.
  bool StopAll(DWORD graceMs);

  // Number of workers that have not ended yet.
  int Running();

 private:
  struct Thread {
    KernelHandle handle;
    DWORD id;
  };
  void Reap();

  Creator creator_;
  std::vector<Thread> threads_;
};

// The shell's one set of workers. It lives to the end of the process on purpose: nothing that a
// worker still uses is destroyed by the process's exit.
WorkerThreads& ShellThreads();
