#include "import/import_worker.h"

#include <cctype>
#include <cstring>
#include <string>

#include "import/cd_track_import.h"
#include "import/copy_wav_file.h"
#include "import/import_mp3.h"
#include "import/working_audio.h"
#include "session/session_state.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

const char Mp3NotSupported[] =
    "Sorry this MP3 may not be supported, please try a different MP3. It's also possible your "
    "system has outdated Codecs.\n Please try installing the latest copy of Windows Media Player.";
const char CdTrackNotSupported[] =
    "The selected CD track is not supported, please select a different track,or a CD";
const char UnknownKind[] =
    "Sorry, Quavella can only open MP3 files, audio CD tracks (.cda) and WAV files.";
const char WavNotReadable[] =
    "Sorry, this WAV file could not be read. Please choose a PCM WAV file.";

// Ends an import that produced nothing: the window goes back to its idle look.
void FailImport() {
  sessionState.loading = false;
  sessionState.justLoaded = false;
  RestoreArrowCursor();
  if (sessionState.mainWindow) InvalidateRect(sessionState.mainWindow, nullptr, FALSE);
  sessionState.importRunning = false;
}

}  // namespace

ImportKind ImportKindOf(const char* path) {
  size_t n = path ? std::strlen(path) : 0;
  if (n < 3) return ImportKind::Unknown;
  std::string ext;
  for (size_t i = n - 3; i < n; ++i)
    ext += static_cast<char>(std::tolower(static_cast<unsigned char>(path[i])));
  if (ext == "mp3") return ImportKind::Mp3;
  if (ext == "cda") return ImportKind::CdTrack;
  if (ext == "wav") return ImportKind::Wav;
  return ImportKind::Unknown;
}

int CdTrackIndexOf(const char* path) {
  size_t n = path ? std::strlen(path) : 0;
  if (n < 6) return -1;
  char tens = path[n - 6], ones = path[n - 5];
  if (!std::isdigit(static_cast<unsigned char>(tens)) ||
      !std::isdigit(static_cast<unsigned char>(ones)))
    return -1;
  return (tens - '0') * 10 + (ones - '0') - 1;
}

DWORD WINAPI ImportWorker(LPVOID) {
  SessionState& s = sessionState;
  std::string destination = std::string(s.startDirectory) + "\\d.wav";

  switch (ImportKindOf(s.sourcePath)) {
    case ImportKind::Mp3:
      if (ImportMp3(s.sourcePath, s.startDirectory, s.progressBar) == 0) {
        ShowMessage(Mp3NotSupported, "Warning");
        FailImport();
        return 0;
      }
      break;
    case ImportKind::CdTrack: {
      int index = CdTrackIndexOf(s.sourcePath);
      if (index < 0 || ImportCdTrack(destination.c_str(), index, s.progressBar) == 0) {
        ShowMessage(CdTrackNotSupported, "Error");
        FailImport();
        return 0;
      }
      break;
    }
    case ImportKind::Wav:
      CopyWavFile(s.sourcePath, destination.c_str());
      break;
    case ImportKind::Unknown:
      ShowMessage(UnknownKind, "Warning");
      FailImport();
      return 0;
  }

  FillProgressBar();
  bool headerMessageShown = false;
  if (!MapWorkingAudio(&headerMessageShown)) {
    if (!headerMessageShown) ShowMessage(WavNotReadable, "Warning");
    FailImport();
    return 0;
  }
  s.selectionAnchorX = -1;

  if (HDC dc = GetDC(s.mainWindow)) {
    RenderWaveform(s.mainWindow, dc);
    ReleaseDC(s.mainWindow, dc);
  }
  PreparePreview(false, s.mainWindow);

  s.loading = false;
  s.justLoaded = true;
  SetForegroundWindow(s.mainWindow);
  RestoreArrowCursor();
  InvalidateRect(s.mainWindow, nullptr, FALSE);
  s.importRunning = false;
  return 0;
}
