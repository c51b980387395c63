#include "app/commands.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "app/best_part_worker.h"
#include "app/shutdown.h"
#include "app/skin.h"
#include "app/upload_worker.h"
#include "app/worker_threads.h"
#include "encode/convert_selection.h"
#include "import/import_route.h"
#include "import/import_worker.h"
#include "import/song_file_sniff.h"
#include "import/working_audio.h"
#include "profile/profile_dialog.h"
#include "profile/profile_store.h"
#include "session/edit_options.h"
#include "session/file_size.h"
#include "session/session_state.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

const char NothingLoaded[] = "Please click browse to select a MP3, CD or WAV file";
const char NotConverted[] = "Please make a selection and click convert";
const char NoSelection[] = "Please make a selection using the mouse";
const char TooLarge[] =
    "Quavella only accepts MP3s that are smaller than 20 MBs (approximately 20 minutes). There "
    "are several commercialy available tools you can search for to reduce the size of your MP3.";
const char ImportBusy[] = "Please wait until the current song has finished loading.";
const char UploadBusy[] = "Please wait until the upload has finished.";
const char ImportNotStarted[] =
    "Sorry, Quavella could not start loading the song. Please try again.";

void Repaint(HWND window, bool erase) { InvalidateRect(window, nullptr, erase ? TRUE : FALSE); }

// Step 8 of Browse: no selection, caret at rest (also after a preview under way now).
void ResetStrip(HWND window) {
  ClearParkedSelection();
  ResetSelection();
  Repaint(window, true);
}

// The refused and cancelled paths of Browse: the caret is recreated, then the selection reset.
void RecreateCaretAndResetSelection(HWND window) {
  DestroySelectionCaret();
  CreateSelectionCaret(window);
  Repaint(window, true);
  SetCursor(nullptr);
  ResetStrip(window);
}

// The user's selection (not the one a preview has parked) is there and has a width.
bool HasSelection() { return TheStrip().HasUserSelection(); }

}  // namespace

const char* ServicePageAddress(const char* pathAndQuery) {
  static thread_local std::string address;
  address = std::string("http://") + QV_SERVICE_HOST + "/" + pathAndQuery;
  return address.c_str();
}

void OnPlay(HWND window) {
  if (!sessionState.fileLoaded) {
    ShowMessage(NothingLoaded, "Warning");
    return;
  }
  if (IsPreviewPlaying())
    StopPreview();
  else
    PreparePreview(true, window);
  Repaint(window, false);
}

void OnConvert(HWND window) {
  SetClassCursor(IDC_WAIT);
  if (sessionState.fileLoaded && IsPreviewPlaying()) {
    RestoreArrowCursor();
    return;
  }
  // The conversion rewrites the file that an upload is sending.
  if (sessionState.uploadBusy) {
    ShowMessage(UploadBusy, "Warning");
    RestoreArrowCursor();
    return;
  }
  if (!HasSelection()) {
    ShowAppMessage(NoSelection);
    RestoreArrowCursor();
    return;
  }
  if (!sessionState.fileLoaded) {
    ShowMessage(NothingLoaded, "Warning");
    RestoreArrowCursor();
    return;
  }
  EnableWindow(sessionState.browseButton, FALSE);
  ConvertSelection(window, SelectedClipBytes(), editOptions);
}

void OnConvertAndPlay(HWND window) {
  if (!sessionState.fileLoaded || !HasSelection()) return;
  if (sessionState.uploadBusy) {
    ShowMessage(UploadBusy, "Warning");
    return;
  }
  EnableWindow(sessionState.browseButton, FALSE);
  ConvertSelection(window, SelectedClipBytes(), editOptions);
  PreparePreview(true, window);
}

namespace {

const char PathTooLong[] =
    "Sorry, Quavella cannot open this song: its path is too long. Please move the song to a "
    "folder with a shorter path and try again.";
const char FolderGiven[] =
    "Quavella opens one song at a time, not a folder. Please drop or choose a song file.";
const char SongNotFound[] = "Sorry, Quavella could not find this song:\n";

// Two imports never run at once, and nothing an upload is sending is deleted under it.
bool SongMayComeIn() {
  if (sessionState.importRunning) {
    ShowMessage(ImportBusy, "Warning");
    return false;
  }
  if (sessionState.uploadBusy) {
    ShowMessage(UploadBusy, "Warning");
    return false;
  }
  return true;
}

// What Browse does once a song is chosen, for every way a song comes in: the size gate, then
// the import of `path` (UTF-8) into the working files.
void LoadSong(HWND window, const std::string& path) {
  SessionState& s = sessionState;
  if (path.size() >= sizeof s.sourcePath) {
    ShowMessage(PathTooLong, "Warning");
    RecreateCaretAndResetSelection(window);
    return;
  }
  path.copy(s.sourcePath, path.size());
  s.sourcePath[path.size()] = '\0';
  // The upload's title is the file's name, cut to its field without splitting a character.
  const std::string title = NameOfPath(path);
  const size_t titleBytes = Utf8CutLength(title, sizeof s.sourceTitle - 1);
  title.copy(s.sourceTitle, titleBytes);
  s.sourceTitle[titleBytes] = '\0';

  if (BrowseSizeGateApplies(s.sourcePath, SniffSongFile(s.sourcePath)) &&
      SourceTooLarge(FileSizeBytes64(s.sourcePath))) {
    MessageBoxA(nullptr, TooLarge, "File Size too Large", MB_OK);
    RecreateCaretAndResetSelection(window);
    return;
  }
  if (s.sourcePath[0] == '\0') return;

  CancelBestPartSearch();
  ReleaseWaveCanvas();
  s.fileLoaded = false;
  s.uploaded = false;
  s.converted = false;
  ReleaseWorkingAudio();
  ReleasePreview();
  s.loading = true;
  SetClassCursor(IDC_WAIT);

  InitSoundDevice(window);
  EnterStartDirectory();
  DeleteWorkingFile("d.wav");
  DeleteWorkingFile("test.wav");
  SetWindowTextW(s.pathEdit, Widen(s.sourcePath).c_str());

  DestroySelectionCaret();
  CreateSelectionCaret(window);
  Repaint(window, true);
  SetCursor(nullptr);
  s.importRunning = true;
  if (!ShellThreads().Start(ImportWorker)) {
    s.importRunning = false;
    s.loading = false;
    RestoreArrowCursor();
    ShowMessage(ImportNotStarted, "Warning");
  }
  ResetStrip(window);
}

}  // namespace

void OnBrowse(HWND window) {
  if (!SongMayComeIn()) return;

  // Room for the longest path Windows takes; a longer one is reported, not taken for Cancel.
  std::wstring path(32768, L'\0');
  std::wstring title(sizeof sessionState.sourceTitle, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window;
  dialog.lpstrFilter =
      L"All songs\0*.mp3;*.wav;*.m4a;*.m4b;*.aac;*.flac;*.ogg;*.oga;*.opus;*.webm;*.mka;*.wma;"
      L"*.mp4;*.m4v;*.3gp;*.caf\0"
      L"MP3 Files\0*.mp3\0CD Track (*.cda)\0*.cda\0WAV File (*.wav)\0*.wav\0";
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrFileTitle = title.data();
  dialog.nMaxFileTitle = static_cast<DWORD>(title.size());
  dialog.lpstrTitle = L"Please select a file...";
  dialog.lpstrDefExt = L"pwd";
  // The dialog must not leave the process in the folder the user went to: the working files
  // and the encoders are in startDirectory.
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_NOCHANGEDIR;
  const BOOL chosen = GetOpenFileNameW(&dialog);
  const DWORD failure = chosen ? 0 : CommDlgExtendedError();
  EnterStartDirectory();
  if (!chosen) {
    if (failure == FNERR_BUFFERTOOSMALL) ShowMessage(PathTooLong, "Warning");
    RecreateCaretAndResetSelection(window);
    return;
  }
  LoadSong(window, Narrow(path.c_str()));
}

void OnSongGiven(HWND window, const std::string& path) {
  if (!SongMayComeIn()) return;
  const DWORD attributes = GetFileAttributesW(Widen(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    ShowMessage((SongNotFound + path).c_str(), "Warning");
    return;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    ShowMessage(FolderGiven, "Warning");
    return;
  }
  LoadSong(window, path);
}

void OnUpload(HWND) {
  SessionState& s = sessionState;
  if (s.fileLoaded && s.converted) {
    StartUpload(ShellThreads());
  } else if (s.fileLoaded) {
    ShowMessage(NotConverted, "Warning");
  } else {
    ShowMessage(NothingLoaded, "Warning");
  }
}

void OnProfile(HWND window) {
  const int32_t format = sessionState.outputFormat;
  RunProfileDialog(window);
  SaveProfile();
  // Another phone may take another length: the song's parts are looked for again.
  if (sessionState.outputFormat != format && sessionState.fileLoaded &&
      !sessionState.importRunning) {
    ClearSuggestedParts(window);
    StartBestPartSearch(window);
  }
}

void OnHelp(HWND) {
  ShellExecuteA(nullptr, "open", ServicePageAddress("index.php?page=support"), "", "c:\\",
                SW_SHOWNORMAL);
}

void OnWallpaper(HWND window) {
  if (FindWindowA(nullptr, "Quavella Wallpaper")) return;
  ShellExecuteA(window, "open", "ZivavAdud", "", "", SW_SHOW);
}

void OnExit(HWND window) {
  ShutDownShell(true);
  SendMessageA(window, WM_DESTROY, 0, 0);
}
