#include "app/best_part_worker.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "analysis/best_part.h"
#include "analysis/proposal_length.h"
#include "session/edit_options.h"
#include "session/handles.h"
#include "session/session_state.h"
#include "session/working_audio.h"
#include "view/waveform_view.h"

namespace {

struct Search {
  HWND window = nullptr;
  PcmSong song;
  int32_t milliseconds = 0;
  uint32_t loads = 0;  // the song it looks in
  std::atomic<bool> cancel{false};
  BestPartProposal parts[BestPartMaxProposals];
  int count = 0;
};

// The search under way (window thread), and its thread.
Search* current = nullptr;
KernelHandle currentThread;

DWORD WINAPI SearchThread(LPVOID parameter) {
  auto* search = static_cast<Search*>(parameter);
  search->count = FindBestParts(search->song, search->milliseconds, &search->cancel, search->parts);
  // The window deletes it; a window that is gone cannot, and the thread does.
  if (!PostMessageA(search->window, WM_BEST_PARTS_FOUND, 0, reinterpret_cast<LPARAM>(search)))
    delete search;
  return 0;
}

// Waits for the search's thread however the search ends (it reads the cancel flag every few
// milliseconds).
constexpr DWORD SearchStopWaitMs = 10000;

}  // namespace

void CancelBestPartSearch() {
  if (!currentThread) return;
  current->cancel = true;
  WaitForSingleObject(currentThread.get(), SearchStopWaitMs);
  currentThread.reset();
  current = nullptr;  // its message, when it comes, is recognised as stale and dropped
}

void StartBestPartSearch(HWND window) {
  CancelBestPartSearch();
  const WorkingAudio& audio = workingAudio;
  if (!sessionState.fileLoaded || !audio.samples) return;
  auto* search = new Search;
  search->window = window;
  search->song = {{audio.samples, audio.dataSize}, audio.SampleRate(), audio.Channels(),
                  audio.BitsPerSample()};
  search->milliseconds = ProposalMilliseconds(sessionState.outputFormat);
  search->loads = audio.loads;
  KernelHandle thread(CreateThread(nullptr, 0, SearchThread, search, 0, nullptr));
  if (!thread) {
    delete search;  // no suggestion this time; everything else works as before
    return;
  }
  current = search;
  currentThread = std::move(thread);
}

void OnBestPartsFound(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<Search*>(parameter);
  const bool stale = search != current || search->cancel || search->loads != workingAudio.loads ||
                     !sessionState.fileLoaded;
  if (search == current) {
    currentThread.reset();
    current = nullptr;
  }
  if (!stale && search->count > 0) {
    FrameRange parts[BestPartMaxProposals];
    const uint32_t frames = SongFrames();
    for (int i = 0; i < search->count; ++i)
      parts[i] = {static_cast<uint32_t>(std::min<uint64_t>(search->parts[i].startFrame, frames)),
                  static_cast<uint32_t>(std::min<uint64_t>(search->parts[i].endFrame, frames))};
    ShowSuggestedParts(window, parts, search->count,
                       search->parts[0].confidence >= NoRepetitionConfidence);
    if (editOptions.suggestOnOpen && UserSelection().anchorX == -1) SelectSuggestedPart(window);
  }
  delete search;
}
