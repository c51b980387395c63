#include "formats/utf8_text.h"
#include "import/import_worker.h"

#include <cstdint>
#include <string>
#include <vector>

#include "import/cd_track_import.h"
#include "import/import_decoded_song.h"
#include "import/import_kind.h"
#include "import/import_messages.h"
#include "import/import_mp3.h"
#include "import/import_route.h"
#include "import/import_wav_file.h"
#include "import/song_file_sniff.h"
#include "import/working_audio.h"
#include "session/handles.h"
#include "session/session_state.h"
#include "session/working_folder.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

const char Mp3NotSupported[] =
    "Sorry this MP3 may not be supported, please try a different MP3. It's also possible your "
    "system has outdated Codecs.\n Please try installing the latest copy of Windows Media Player.";
const char CdTrackNotSupported[] =
    "The selected CD track is not supported, please select a different track,or a CD";
const char WavNotReadable[] =
    "Sorry, this WAV file could not be read. Please choose a PCM WAV file.";

// Ends an import early: the window goes back to its idle look, and the next Browse may start.
void EndImport() {
  sessionState.loading = false;
  sessionState.justLoaded = false;
  RestoreArrowCursor();
  if (sessionState.mainWindow) InvalidateRect(sessionState.mainWindow, nullptr, FALSE);
  sessionState.importRunning = false;
}

// Ends an import that produced nothing: what it left in d.wav is no song and is removed, and
// the next Browse may start while the user reads the message (`text` when given).
void FailImport(const char* text = nullptr, const char* caption = nullptr) {
  DeleteWorkingFile("d.wav");
  EndImport();
  if (text) ShowMessage(text, caption);
}

// Ends an import whose d.wav could not be written: nothing of it is kept, and the user is told
// that the folder's disk is full or that the folder cannot be written.
void FailWrite() {
  FailImport();
  ShowFolderWriteFailure(sessionState.startDirectory);
}

// The decoding branch; `refusal` is shown when it cannot read the file either (its own
// message when none is given). True when d.wav was written.
bool RunDecodedBranch(const char* refusal = nullptr) {
  SessionState& s = sessionState;
  DecodedSongVerdict verdict = ImportDecodedSong(s.sourcePath, s.startDirectory, s.progressBar);
  if (verdict == DecodedSongVerdict::Imported) return true;
  if (StopRequested()) {
    FailImport();
    return false;
  }
  if (verdict == DecodedSongVerdict::WriteFailed) {
    FailWrite();
    return false;
  }
  if (refusal == nullptr || verdict != DecodedSongVerdict::Damaged)
    refusal = DecodedSongRefusal(verdict);
  FailImport(refusal, "Warning");
  return false;
}

}  // namespace

DWORD WINAPI ImportWorker(LPVOID) {
  SessionState& s = sessionState;
  std::string destination = std::string(s.startDirectory) + "\\d.wav";

  switch (RouteImport(s.sourcePath, SniffSongFile(s.sourcePath))) {
    case ImportBranch::Mp3: {
      const int mp3 = ImportMp3(s.sourcePath, s.startDirectory, s.progressBar);
      if (mp3 == ImportWriteFailed) {
        FailWrite();
        return 0;
      }
      if (mp3 == 0 && !RunDecodedBranch(Mp3NotSupported)) return 0;
      break;
    }
    case ImportBranch::CdTrack: {
      int index = CdTrackIndexOf(s.sourcePath);
      const int ripped = index < 0 ? 0 : ImportCdTrack(destination.c_str(), index, s.progressBar);
      if (ripped == ImportWriteFailed) {
        FailWrite();
        return 0;
      }
      if (ripped == 0) {
        FailImport(CdTrackNotSupported, "Error");
        return 0;
      }
      break;
    }
    case ImportBranch::Wav: {
      std::string refusal;
      const int wav = ImportWavFile(s.sourcePath, destination.c_str(), s.progressBar, &refusal);
      if (wav == ImportWriteFailed) {
        FailWrite();
        return 0;
      }
      if (wav == 0 && !RunDecodedBranch(refusal.c_str())) return 0;
      break;
    }
    case ImportBranch::Decoded:
      if (!RunDecodedBranch()) return 0;
      break;
  }

  // The program is ending: d.wav is complete as far as it got, and nothing more is done.
  if (StopRequested()) {
    EndImport();
    return 0;
  }
  FillProgressBar();
  bool headerMessageShown = false;
  if (!MapWorkingAudio(&headerMessageShown)) {
    FailImport(headerMessageShown ? nullptr : WavNotReadable, "Warning");
    return 0;
  }
  s.selectionAnchorX = -1;
  if (StopRequested()) {
    EndImport();
    return 0;
  }

  if (WindowDc dc{s.mainWindow}) RenderWaveform(s.mainWindow, dc.get());
  PreparePreview(false, s.mainWindow);

  s.loading = false;
  s.justLoaded = true;
  SetForegroundWindow(s.mainWindow);
  RestoreArrowCursor();
  InvalidateRect(s.mainWindow, nullptr, FALSE);
  s.importRunning = false;
  PostMessageA(s.mainWindow, WM_STRIP_IMPORTED, 0, 0);
  return 0;
}
