#include "app/shutdown.h"

#include "app/best_part_worker.h"
#include "app/skin.h"
#include "app/worker_threads.h"
#include "formats/ringtone_formats.h"
#include "import/cd_track_import.h"
#include "import/working_audio.h"
#include "session/session_state.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

// How long the workers get to end. An import and the progress animation stop at once; an
// upload waits for the network and may need this long to come back.
constexpr DWORD WorkerGraceMs = 5000;

bool shutDown = false;

}  // namespace

void ShutDownShell(bool deleteWorkingFiles) {
  if (shutDown) return;
  shutDown = true;
  // The user sees the program end at once, while an upload may still hold it up a moment.
  if (sessionState.mainWindow) ShowWindow(sessionState.mainWindow, SW_HIDE);
  ShellThreads().StopAll(WorkerGraceMs);
  CancelBestPartSearch();

  // An import that did not end in time (a drive that does not answer) keeps what it uses; the
  // end of the process frees it.
  if (!sessionState.importRunning) {
    ReleasePreview();
    ReleaseWorkingAudio();
    ReleaseWaveCanvas();
    CloseCdTrackImport();
  }
  ReleaseSkin();
  DestroySelectionCaret();
  if (deleteWorkingFiles) {
    for (int32_t format = 0; format < RingtoneFormatCount; ++format)
      DeleteWorkingFile(RingtoneFormatFactsOf(format)->workingFile);
    for (const char* name : {"dump.pcm", "d.wav"}) DeleteWorkingFile(name);
  }
}

int EndOfProcess(int code) {
  if (ShellThreads().Running() > 0) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
  return code;
}
