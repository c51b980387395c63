// A small driver that runs the real Quavella.exe in a window and works it from outside, as a
// user would: commands, mouse messages, the open dialog, message boxes, edit boxes, the caret,
// the registry and files. Every wait is bounded; a failed check saves a screenshot.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// A path of the test environment (a Unix path from an environment variable) as a Windows path.
std::string WindowsPath(const std::string& unixPath);
// Folder of the built program and encoders (QV_BIN_DIR), of the sources, of the artefacts.
std::string DistDir();
std::string SourceDir();
std::string ArtefactDir();
// A fresh, empty folder for one test, named after it.
std::string FreshFolder(const std::string& name);
// A fresh start folder for the current test holding a copy of the distribution folder.
std::string PrepareStartFolder();
// Copies the distribution folder's files into `folder` (which exists).
void CopyDistribution(const std::string& folder);
// The name of the running test, usable as a file name.
std::string CurrentTestName();

// Polls `done` every few milliseconds, pumping this thread's messages, until it holds or
// `timeoutMs` passes. Returns whether it held.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// The profile the program reads at start (all thirteen registry values).
struct Profile {
  std::string number = "5551234567";
  std::string version = "2.0";
  int32_t type = 2;  // the ringtone format: wav
  int32_t carrier = 1;
  int32_t phone = 1;
  int32_t wallpaperType = 1, wallpaperWidth = 128, wallpaperHeight = 128, wallpaperSupport = 0;
  int32_t carrierItem = 0, phoneItem = 0;
};
void WriteProfile(const Profile& profile);
void DeleteProfile();
// Every working file the program writes into its start folder (Exit deletes them all).
inline constexpr const char* WorkingFileNames[] = {"a.amr", "new.qcp", "test.wav", "dump.pcm",
                                                   "d.wav", "a.mp3", "test.mmf", "a.m4r",
                                                   "a.ogg"};
// A profile of a phone that takes AMR ringtones, as the list shows it: ATT (carrier 3, first in
// the carrier list), LG 325 (phone 164, tenth in the phone list).
Profile AmrPhoneProfile();
// A phone of today as the list shows it after the seed's rows: "Other carrier" (id 9, ninth),
// the Apple iPhone (id 184, m4r) or the Android phone (id 185, ogg).
Profile TodaysPhoneProfile(bool iphone);

struct LaunchOptions {
  std::string startFolder;      // empty: a fresh folder holding a copy of the distribution
  bool writeProfile = true;     // write `profile` before the start (no first-run dialog)
  Profile profile;
  bool waitForMainWindow = true;
  std::string arguments;        // after the program's quoted name, e.g. " \"C:\\song.mp3\""
};

class App {
 public:
  App() = default;
  ~App();  // ends the process if it still runs
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // Starts Quavella.exe in the start folder and waits until its window is ready.
  bool Launch(const LaunchOptions& options = {});
  HWND Window() const { return window_; }
  DWORD ProcessId() const { return process_.dwProcessId; }
  const std::string& StartFolder() const { return startFolder_; }
  std::string WorkingFile(const std::string& name) const { return startFolder_ + "\\" + name; }

  // Posts a command, as a button click does.
  void Command(int id);
  // Mouse messages in client coordinates, delivered synchronously.
  void MouseDown(int x, int y, WPARAM keys = MK_LBUTTON);
  void MouseMove(int x, int y, WPARAM keys = MK_LBUTTON);
  void MouseUp(int x, int y);
  void Drag(int fromX, int toX, int y = 120, WPARAM extraKeys = 0);
  // Selects from `fromX` to `toX`, presses Convert and waits until the size box shows the
  // ringtone's size ("...KB"); false when it does not within `timeoutMs`.
  bool ConvertSelection(int fromX, int toX, DWORD timeoutMs = 60000);

  // Browse: posts the command, fills the open dialog with `path` and confirms it.
  bool BrowseTo(const std::string& path);
  // Browse, then cancel the open dialog; with `visitFolder`, after opening that folder in the
  // dialog (as a user who looks around before giving up).
  bool BrowseAndCancel(const std::string& visitFolder = "");

  // Child controls.
  HWND Child(int id) const;
  std::string ChildText(int id) const;
  int ProgressPosition() const;
  std::pair<int, int> ProgressRange() const;
  bool IsEnabled(int id) const;

  // The caret of the window's thread, in client coordinates (false when there is none).
  bool CaretRect(RECT* rect) const;

  // Presses Upload and returns the text of the box that refuses it (closed); empty when no box
  // comes within `timeoutMs`.
  std::string UploadRefusal(DWORD timeoutMs = 3000);
  // Waits until an import has ended with a song loaded: Upload then asks for a conversion
  // instead of a song (the boxes it shows meanwhile are closed), and the bar is full.
  bool WaitLoaded(DWORD timeoutMs = 60000);

  // Waits for the process to end; returns its exit code or -1 on time-out.
  int WaitForExit(DWORD timeoutMs = 10000);
  bool Running() const;
  // Waits until the window's thread has processed everything posted to it before (a command
  // that shows a box counts as processed while the box is up); false after `timeoutMs`.
  bool Sync(DWORD timeoutMs = 10000);

 private:
  // Browse until the open dialog comes (waiting out the end of an import); nullptr if not.
  HWND OpenBrowseDialog();

  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
  std::string startFolder_;
};

// A top-level window of class `className` that belongs to process `pid`.
HWND FindProcessWindow(DWORD pid, const char* className, bool visibleOnly = true);
// A message box (or any dialog) of process `pid` with caption `caption`.
HWND WaitForDialog(DWORD pid, const std::string& caption, DWORD timeoutMs = 10000);
// Any message box of `pid`; nullptr on time-out.
HWND WaitForAnyDialog(DWORD pid, DWORD timeoutMs = 10000);
std::string DialogCaption(HWND dialog);
// The text of a message box (its static control 0xFFFF).
std::string MessageBoxText(HWND box);
// Presses the button `id` (IDOK by default) and waits until the dialog is gone.
bool PressButton(HWND dialog, int id = IDOK);
// Waits for a message box with `caption`, checks nothing, returns its text and closes it.
std::string TakeMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs = 10000);
// True when no dialog of `pid` appears within `ms`.
bool NoDialogFor(DWORD pid, DWORD ms);

// Screen pixels of a window's rectangle (top-down rows, 0x00RRGGBB).
struct Capture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Capture CaptureScreen(const RECT& screenRect);
Capture CaptureClient(HWND window);
// A picture of the committed skin art (resources/art/<name>) as a capture.
Capture LoadArt(const std::string& name);
// Saves a capture as a 24-bit BMP into the artefact folder; returns the path.
std::string SaveCapture(const Capture& capture, const std::string& name);
std::string Screenshot(const std::string& name);  // the whole screen

// The test session's service stand-in: reply.json in its folder tells it how to answer each
// request, requests/ holds every request it got.
struct StandIn {
  std::string folder;  // empty outside a test session

  static StandIn OfSession();  // from QV_STANDIN_DIR
  // The next requests get `body` with `status`; `fault` is one of the stand-in's faults
  // ("none", "status500", "reset", "hang", "close").
  void Answer(const std::string& body, const std::string& fault = "none", int status = 200) const;
  // The raw requests received so far, oldest first.
  std::vector<std::string> Requests() const;
};

// Files.
std::vector<uint8_t> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool FileExists(const std::string& path);
// Size of a file in bytes without reading it; -1 when it is not there.
int64_t FileSize(const std::string& path);

// The number of frames of an AMR file ("#!AMR\n" then frames whose first byte gives the mode);
// -1 when it is not one.
int AmrFrameCount(const std::vector<uint8_t>& amr);

// A PCM WAV file: `frames` sample frames of `channels` x 16-bit at `rate`, from `sample(i, c)`.
std::vector<uint8_t> MakeWav(uint32_t rate, uint16_t channels, uint32_t frames,
                             const std::function<int16_t(uint32_t, int)>& sample,
                             uint16_t bits = 16);

}  // namespace e2e
