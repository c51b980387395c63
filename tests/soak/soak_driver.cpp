// The soak test: random but valid user actions against the real Quavella.exe, with the
// invariants checked after every step. tests/soak/soak.py runs it: it makes the songs, the
// damaged files and the virtual CD, answers the requests this driver writes on standard output
// ("@@check ...": decode a ringtone with ffmpeg; "@@files": files written where they must not
// be) on standard input, and prints the figures. Configuration from the environment:
//   QV_SOAK_DIR      the soak's folder (songs\, damaged\, disc\, elsewhere\; start\ is made here)
//   QV_SOAK_SECONDS  how long to run
//   QV_SOAK_SEED     the seed of the random actions (printed, so that a run can be replayed)
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "view/selection_range.h"
#include "formats/byte_order.h"
#include "import/clip_format.h"
#include "import/pcm_resampler.h"
#include "session/ringtone_format.h"
#include "tests/e2e/driver.h"
#include "tests/soak/program_texts.h"

namespace {

using namespace e2e;
using namespace soak;

constexpr int IdPlay = 5001, IdConvert = 5002, IdBrowse = 5003, IdExit = 5005, IdHelp = 5006,
              IdUpload = 5011, IdProfile = 52033, IdConvertAndPlay = 104, IdSizeEdit = 6020;
// The waveform strip in client pixels: the live band for the mouse lies strictly inside.
constexpr int StripLeft = 63, StripRight = 500, StripTop = 87, StripBottom = 170;
constexpr char OpenDialogTitle[] = "Please select a file...";
constexpr char ProfileTitle[] = "Quavella Version 2.0: User Profile";
constexpr DWORD AnswerBoundMs = 10000;      // the window answers within this, outside conversions
constexpr DWORD ConversionBoundMs = 180000;  // a conversion blocks the window by design
constexpr DWORD ExitBoundMs = 20000;

std::string Env(const char* name) {
  char buffer[2048];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// The checker at the other end of the pipes (soak.py): one request, one answer line.
std::string Ask(const std::string& request) {
  std::printf("@@%s\n", request.c_str());
  std::fflush(stdout);
  char line[8192];
  if (!std::fgets(line, sizeof line, stdin)) return "bad the checker did not answer";
  std::string answer = line;
  while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r')) answer.pop_back();
  return answer;
}

std::vector<std::string> FilesIn(const std::string& folder, const char* pattern = "*") {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint8_t> ReadHead(const std::string& path, size_t bytes) {
  std::vector<uint8_t> head(bytes);
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  head.resize(std::fread(head.data(), 1, bytes, f));
  std::fclose(f);
  return head;
}

// What d.wav holds, read from its header.
struct Song {
  uint32_t dataSize = 0;
  uint32_t rate = 0;
  uint32_t bytesPerSecond = 0;
  uint16_t blockAlign = 0;
  double Seconds() const { return bytesPerSecond ? double(dataSize) / bytesPerSecond : 0; }
};

// Reads d.wav's header and checks it against the file: the RIFF size and the "data" chunk (the
// last) end where the file ends. Empty `problem` when it holds.
Song ReadWorkingFile(const std::string& path, std::string* problem) {
  Song song;
  int64_t size = FileSize(path);
  std::vector<uint8_t> head = ReadHead(path, 4096);
  if (size < 12 || head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) ||
      std::memcmp(head.data() + 8, "WAVE", 4)) {
    *problem = "d.wav is not a RIFF/WAVE file (" + std::to_string(size) + " bytes)";
    return song;
  }
  if (Le32At(head, 4) != size - 8) {
    *problem = "d.wav's RIFF size is " + std::to_string(Le32At(head, 4)) + " for " +
               std::to_string(size) + " bytes";
    return song;
  }
  size_t at = 12;
  while (at + 8 <= head.size()) {
    uint32_t chunk = Le32At(head, at + 4);
    if (!std::memcmp(head.data() + at, "fmt ", 4) && at + 24 <= head.size()) {
      song.rate = Le32At(head, at + 12);
      song.bytesPerSecond = Le32At(head, at + 16);
      song.blockAlign = Le16At(head, at + 20);
    } else if (!std::memcmp(head.data() + at, "data", 4)) {
      song.dataSize = chunk;
      if (at + 8 + int64_t{chunk} != size)
        *problem = "d.wav's data chunk of " + std::to_string(chunk) + " bytes at " +
                   std::to_string(at + 8) + " does not end with the file of " +
                   std::to_string(size) + " bytes";
      return song;
    }
    at += 8 + chunk + (chunk & 1);
  }
  *problem = "d.wav has no data chunk in its first 4 KB";
  return song;
}

// A message box of the program: caption and text.
struct Box {
  std::string caption, text;
  const ProgramText* known = nullptr;
  TextKind Kind() const { return known ? known->kind : TextKind::Trouble; }
};

struct FindBoxes {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectBox(HWND window, LPARAM param) {
  auto* args = reinterpret_cast<FindBoxes*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != args->pid || !IsWindowVisible(window)) return TRUE;
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (!std::strcmp(className, "#32770") && GetDlgItem(window, 0xFFFF)) args->found.push_back(window);
  return TRUE;
}

std::vector<HWND> MessageBoxesOf(DWORD pid) {
  FindBoxes args{pid, {}};
  EnumWindows(CollectBox, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

// The figures the run reports.
struct Figures {
  int steps = 0, launches = 0, exits = 0, closes = 0;
  int importsWav = 0, importsMp3 = 0, importsCd = 0, importsDamaged = 0, cancels = 0;
  int loaded = 0, importFailures = 0, refusedTooLarge = 0;
  int drags = 0, previews = 0, conversions = 0, conversionsChecked = 0, oversize = 0;
  int uploads = 0, uploadSuccess = 0, uploadError = 0, uploadUrl = 0, uploadHang = 0;
  int profiles = 0, helps = 0, boxes = 0;
  int faults = 0;        // of different kinds
  int faultRepeats = 0;  // every time one was seen

  std::string Line() const {
    char text[1024];
    std::snprintf(text, sizeof text,
                  "steps=%d launches=%d exits=%d closes=%d imports=%d (wav=%d mp3=%d cd=%d "
                  "damaged=%d loaded=%d failed=%d too-large=%d) cancels=%d drags=%d previews=%d "
                  "conversions=%d (checked=%d oversize=%d) uploads=%d (success=%d error=%d url=%d "
                  "never=%d) profile=%d help=%d boxes=%d faults=%d (seen %d times)",
                  steps, launches, exits, closes,
                  importsWav + importsMp3 + importsCd + importsDamaged, importsWav, importsMp3,
                  importsCd, importsDamaged, loaded, importFailures, refusedTooLarge, cancels,
                  drags, previews, conversions, conversionsChecked, oversize, uploads,
                  uploadSuccess, uploadError, uploadUrl, uploadHang, profiles, helps, boxes,
                  faults, faultRepeats);
    return text;
  }
};

enum class Tri { No, Yes, Unknown };
enum class SourceKind { Wav, Mp3, Cd, Damaged };
enum class Reply { Success, Error, Url, Never };

class Soak {
 public:
  Soak(const std::string& folder, uint32_t seed, DWORD seconds)
      : folder_(folder), seed_(seed), rng_(seed), seconds_(seconds) {}

  void Run() {
    PrepareStartFolder();
    const DWORD start = GetTickCount();
    DWORD lastReport = start;
    while (GetTickCount() - start < seconds_ * 1000) {
      ++figures_.steps;
      if (!app_) Launch();
      if (!app_) break;
      Step();
      if (app_) CheckInvariants();
      if (GetTickCount() - lastReport > 60000) {
        lastReport = GetTickCount();
        std::printf("soak: %s\n", figures_.Line().c_str());
        std::fflush(stdout);
      }
      if (figures_.faults >= 25 || figures_.faultRepeats >= 500) {
        std::printf("soak: stopping after %d faults\n", figures_.faults);
        break;
      }
    }
    // The window as the run leaves it, before the program is ended.
    if (app_) Screenshot("soak-end");
    if (app_) EndProgram(true);
    std::printf("@@figures %s\n", figures_.Line().c_str());
    std::fflush(stdout);
  }

 private:
  // ---- Randomness.
  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) { return items[Uniform(0, static_cast<int>(items.size()) - 1)]; }

  // A line for the log (soak.py keeps it out of the console): the step and the model.
  void Trace() {
    static const char* const tri[] = {"no", "yes", "?"};
    Preview preview = PreviewNow();
    std::printf("trace: step %d %s | format %d loaded %s import %d song %u selection %d..%d%s "
                "preview %s converted %s upload %d\n",
                figures_.steps, action_.c_str(), format_, tri[static_cast<int>(loaded_)],
                importMayRun_, song_.dataSize, anchor_, caret_, selectionKnown_ ? "" : "?",
                preview == Preview::None ? "none" : preview == Preview::Running ? "playing" : "maybe",
                tri[static_cast<int>(converted_)], uploadMayRun_);
    std::fflush(stdout);
  }

  // ---- Faults.
  // A fault is reported once per kind (its text without numbers); repeats are only counted.
  void Fault(const std::string& what) {
    std::string kind;
    for (char c : what)
      if (!std::isdigit(static_cast<unsigned char>(c))) kind += c;
    ++figures_.faultRepeats;
    if (++faultKinds_[kind] > 1) return;
    ++figures_.faults;
    std::printf("soak: FAULT at step %d (seed %u, action %s): %s\n", figures_.steps, seed_,
                action_.c_str(), what.c_str());
    std::fflush(stdout);
    ADD_FAILURE() << "step " << figures_.steps << " (seed " << seed_ << ", " << action_
                  << "): " << what;
  }

  // ---- The program.
  void PrepareStartFolder() {
    start_ = folder_ + "\\start";
    CreateDirectoryA(start_.c_str(), nullptr);
    for (const std::string& name : FilesIn(DistDir()))
      CopyFileA((DistDir() + "\\" + name).c_str(), (start_ + "\\" + name).c_str(), FALSE);
    // The virtual CD drive: an ASPI module of the tests beside the program, preferred to Wine's.
    std::string module = WindowsPath(Env("QV_BUILD_DIR")) + "\\testbin\\WNASPI32.dll";
    CopyFileA(module.c_str(), (start_ + "\\WNASPI32.dll").c_str(), FALSE);
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\Quavella.exe\\DllOverrides",
                        0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
      const char order[] = "native,builtin";
      RegSetValueExA(key, "wnaspi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
      RegCloseKey(key);
    }
    SetEnvironmentVariableA("QV_VIRTUAL_CD", (folder_ + "\\disc\\disc.txt").c_str());
    // A service that never answers is given up on after a few seconds in this run.
    SetEnvironmentVariableA("QV_UPLOAD_TIMEOUT_MS", "4000");
    standIn_ = StandIn::OfSession();
    browserLog_ = WindowsPath(Env("QV_BROWSER_LOG"));
    for (const char* kind : {"songs", "damaged"})
      for (const std::string& name : FilesIn(folder_ + "\\" + kind))
        (std::strcmp(kind, "songs") ? damaged_ : songs_).push_back(folder_ + "\\" + kind + "\\" + name);
    for (const std::string& name : FilesIn(folder_ + "\\disc", "*.cda"))
      tracks_.push_back(folder_ + "\\disc\\" + name);
    if (songs_.empty() || damaged_.empty() || tracks_.empty())
      Fault("the soak folder has no songs, damaged files or CD tracks");
  }

  void Launch() {
    action_ = "launch";
    format_ = Uniform(0, 4);
    LaunchOptions options;
    options.startFolder = start_;
    options.profile.type = format_;
    app_ = std::make_unique<App>();
    ++figures_.launches;
    if (!app_->Launch(options)) {
      Fault("the program did not start");
      app_.reset();
      return;
    }
    loaded_ = Tri::No;
    everLoaded_ = false;
    importMayRun_ = false;
    song_ = Song{};
    anchor_ = -1;
    caret_ = StripLeft;
    selectionKnown_ = true;
    previewUntil_ = previewSureUntil_ = 0;
    converted_ = Tri::No;
    uploadMayRun_ = false;
    pendingReplies_.clear();
  }

  // Ends the program: Exit, or closing the window. Both end it with code 0 within the bound;
  // Exit deletes the working files, closing keeps them (and d.wav must then be whole).
  void EndProgram(bool exitCommand) {
    action_ = exitCommand ? "exit" : "close";
    if (!WindowEnabled()) Drain(0);  // an application message box: answered first
    if (exitCommand) {
      ++figures_.exits;
      app_->Command(IdExit);
    } else {
      ++figures_.closes;
      PostMessageA(app_->Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    int code = app_->WaitForExit(ExitBoundMs);
    if (code != 0) Fault("the program ended with " + std::to_string(code) + " (-1: it did not end)");
    importMayRun_ = false;
    if (exitCommand) {
      for (const char* name : WorkingFileNames)
        if (FileExists(start_ + "\\" + name)) Fault(std::string("Exit left ") + name);
    } else {
      CheckWorkingFile();
    }
    app_.reset();
    importMayRun_ = false;
  }

  bool Running() { return app_ && app_->Running(); }
  DWORD Pid() const { return app_->ProcessId(); }
  bool WindowEnabled() { return IsWindowEnabled(app_->Window()) != FALSE; }

  // Posts a command as a click would, unless the button (or the whole window, under an
  // application message box) cannot be clicked now. False when it was not clicked.
  bool Click(int id) {
    if (!WindowEnabled()) return false;
    HWND button = app_->Child(id);
    if (button && !IsWindowEnabled(button)) return false;
    app_->Command(id);
    return true;
  }

  // ---- Message boxes.
  const ProgramText* Known(const std::string& caption, const std::string& text) {
    const std::string appCaption = start_ + "\\Quavella.exe";
    for (const ProgramText& p : kProgramTexts) {
      std::string wanted = p.caption == nullptr ? caption
                           : std::strcmp(p.caption, kAppCaption) ? p.caption : appCaption;
      if (wanted != caption) continue;
      if (p.prefix ? text.compare(0, std::strlen(p.text), p.text) == 0 : text == p.text) return &p;
    }
    return nullptr;
  }

  // Closes every message box that is up, and those that come within `waitMs` (a little
  // longer after each one, for boxes that follow each other), checking each: it must be one
  // of the program's own texts, and what it says is taken into the model.
  std::vector<Box> Drain(DWORD waitMs) {
    std::vector<Box> seen;
    DWORD deadline = GetTickCount() + waitMs;
    for (;;) {
      std::vector<HWND> boxes = Running() ? MessageBoxesOf(Pid()) : std::vector<HWND>{};
      for (HWND window : boxes) {
        Box box{DialogCaption(window), MessageBoxText(window)};
        if (!PressButton(window, IDOK)) Fault("a box would not close: " + box.text);
        box.known = Known(box.caption, box.text);
        ++figures_.boxes;
        if (!box.known) Fault("a box that is none of the program's: \"" + box.caption + "\": \"" + box.text + "\"");
        Take(box);
        seen.push_back(box);
        deadline = std::max(deadline, GetTickCount() + 150);
      }
      if (boxes.empty() && static_cast<LONG>(GetTickCount() - deadline) >= 0) return seen;
      WaitUntil([] { return false; }, 10);
    }
  }

  // Waits until the window has done what was posted to it, answering the boxes that come on
  // the way (a conversion goes on after its boxes), and returns them.
  std::vector<Box> Settle(DWORD boundMs) {
    std::vector<Box> seen;
    for (;;) {
      if (!app_->Sync(boundMs)) {
        Fault("the window did not finish a command within " + std::to_string(boundMs / 1000) + " s");
        return seen;
      }
      std::vector<Box> boxes = Drain(100);
      if (boxes.empty()) return seen;
      seen.insert(seen.end(), boxes.begin(), boxes.end());
    }
  }

  static bool Has(const std::vector<Box>& boxes, const char* text) {
    return std::any_of(boxes.begin(), boxes.end(), [&](const Box& b) { return b.text == text; });
  }
  static bool HasKind(const std::vector<Box>& boxes, TextKind kind) {
    return std::any_of(boxes.begin(), boxes.end(), [&](const Box& b) { return b.Kind() == kind; });
  }

  // What a box tells about the state of the window, and the boxes that are faults where
  // they come.
  void Take(const Box& box) {
    switch (box.Kind()) {
      case TextKind::ImportFailed:
        if (importMayRun_ && !importExpectFailure_)
          Fault("a song that should load was refused: " + box.text);
        if (box.text != "Error reading TOC\n" && box.text.rfind("Could not access CD.", 0) != 0) {
          ++figures_.importFailures;
          importMayRun_ = false;
          loaded_ = Tri::No;
          song_ = Song{};
          // "Invalid Wave Header" comes from inside the import, which ends just after it.
          if (box.text == InvalidHeader) importEndsBy_ = GetTickCount() + 2000;
        }
        break;
      case TextKind::UploadSuccess:
      case TextKind::UploadError: {
        if (pendingReplies_.empty()) {
          Fault("an upload answer with no upload: " + box.text);
          break;
        }
        Reply reply = pendingReplies_.front();
        pendingReplies_.erase(pendingReplies_.begin());
        bool success = box.Kind() == TextKind::UploadSuccess;
        if (success != (reply == Reply::Success))
          Fault("the service answered " + std::string(reply == Reply::Success ? "success" : reply == Reply::Url ? "with a web address" : reply == Reply::Error ? "error" : "nothing") + " and the program said: " + box.text);
        break;
      }
      case TextKind::Trouble:
        Fault("a failure in normal use: \"" + box.caption + "\": " + box.text);
        break;
      default:
        break;
    }
  }

  // ---- The model of the window, from what the driver did and what the program said.
  enum class Preview { None, Running, Maybe };
  Preview PreviewNow() const {
    DWORD now = GetTickCount();
    if (static_cast<LONG>(now - previewSureUntil_) < 0) return Preview::Running;
    if (static_cast<LONG>(now - previewUntil_) < 0) return Preview::Maybe;
    return Preview::None;
  }

  // The song is known to be loaded (the program said so): read what d.wav holds.
  void Loaded() {
    if (importMayRun_) {
      ++figures_.loaded;
      // The import's end clears the selection (the caret stays); a drag during the import
      // may have come before or after that.
      if (selectionKnown_) anchor_ = -1;
    }
    loaded_ = Tri::Yes;
    // The song is there before the import has drawn its strip and filled the sound buffer.
    if (importMayRun_) importEndsBy_ = GetTickCount() + 5000;
    importMayRun_ = false;
    everLoaded_ = true;
    std::string problem;
    song_ = ReadWorkingFile(start_ + "\\d.wav", &problem);
    if (!problem.empty()) Fault(problem);
  }

  // Waits (as a patient user would) until the import has ended: pressing Upload, which asks
  // for a conversion once the song is there, or the import's own message.
  void WaitImport(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (importMayRun_ && GetTickCount() - start < timeoutMs && Running()) {
      Drain(0);
      if (!importMayRun_) return;
      if (converted_ != Tri::No || !Click(IdUpload)) {
        WaitUntil([] { return false; }, 200);
        continue;
      }
      std::vector<Box> boxes = Drain(400);
      if (Has(boxes, NotConverted)) Loaded();
      else if (!importMayRun_) return;
      else WaitUntil([] { return false; }, 150);
    }
    if (importMayRun_ && Running()) Fault("an import did not end within " + std::to_string(timeoutMs / 1000) + " s");
  }

  // A preview's times: until `sure` it surely plays, until `until` it may.
  struct PreviewTimes {
    DWORD sure, until;
  };
  // The preview of the model's selection, started now: it starts at the left end (or the
  // caret) and stops at the right end, or plays to the song's end when anchor and caret meet.
  PreviewTimes PreviewOfSelection() {
    DWORD now = GetTickCount();
    if (!selectionKnown_ || song_.bytesPerSecond == 0 || loaded_ != Tri::Yes)
      return {now, now + 1000 * 300};
    int startX = anchor_ > 1 && anchor_ < caret_ ? anchor_ : caret_;
    int endX = caret_ != anchor_ ? std::max(caret_, anchor_) : StripRight;
    double seconds = std::max(0, endX - startX) / 437.0 * song_.Seconds();
    double step = song_.blockAlign ? 1.0 / song_.blockAlign : 1.0;  // the cursor's steps
    return {now + static_cast<DWORD>(std::max(0.0, seconds - 0.5) * 1000),
            now + static_cast<DWORD>((seconds + step + 1.0) * 1000)};
  }
  // A preview starts now (`before` is what was known of one until now): when one may still
  // play, it either goes on or ended and the new one started.
  void PreviewStarts(Preview before) {
    ++figures_.previews;
    PreviewTimes next = PreviewOfSelection();
    if (before == Preview::None) {
      previewSureUntil_ = next.sure;
      previewUntil_ = next.until;
      return;
    }
    auto earlier = [](DWORD a, DWORD b) { return static_cast<LONG>(a - b) < 0 ? a : b; };
    auto later = [](DWORD a, DWORD b) { return static_cast<LONG>(a - b) < 0 ? b : a; };
    previewSureUntil_ = earlier(previewSureUntil_, next.sure);
    previewUntil_ = later(previewUntil_, next.until);
  }

  void CheckWorkingFile() {
    std::string path = start_ + "\\d.wav";
    if (!FileExists(path) || importMayRun_) return;
    std::string problem;
    ReadWorkingFile(path, &problem);
    if (!problem.empty()) Fault(problem);
  }

  // ---- Steps.
  void Step() {
    struct Weighted {
      int weight;
      void (Soak::*action)();
      const char* name;
    };
    static const Weighted actions[] = {
        {10, &Soak::BrowseWav, "browse wav"},       {6, &Soak::BrowseMp3, "browse mp3"},
        {5, &Soak::BrowseCd, "browse cd"},          {4, &Soak::BrowseDamaged, "browse damaged"},
        {4, &Soak::BrowseCancel, "browse cancel"},  {30, &Soak::Drag, "drag"},
        {12, &Soak::Play, "play"},                  {14, &Soak::Convert, "convert"},
        {6, &Soak::ConvertAndPlay, "alt+/"},        {9, &Soak::Upload, "upload"},
        {2, &Soak::Profile, "profile"},             {2, &Soak::Help, "help"},
        {8, &Soak::Ringtone, "ringtone"},           {12, &Soak::Pause, "pause"},
        {1, &Soak::Exit, "exit"},
        {1, &Soak::Close, "close"},
    };
    int total = 0;
    for (const Weighted& a : actions) total += a.weight;
    int pick = Uniform(1, total);
    for (const Weighted& a : actions) {
      pick -= a.weight;
      if (pick > 0) continue;
      action_ = a.name;
      Trace();
      (this->*a.action)();
      return;
    }
  }

  // Browse: the open dialog, or the box that refuses it (during an import or an upload).
  HWND OpenBrowse(std::vector<Box>* refusals) {
    Drain(0);
    // As things stood at the click (an import's last box may come with the refusal).
    const bool importMayRun =
        importMayRun_ || static_cast<LONG>(GetTickCount() - importEndsBy_) <= 0;
    const bool uploadMayRun = uploadMayRun_;
    if (!Click(IdBrowse)) return nullptr;
    HWND dialog = nullptr;
    WaitUntil([&] {
      dialog = WaitForDialog(Pid(), OpenDialogTitle, 0);
      if (dialog) return true;
      std::vector<Box> boxes = Drain(0);
      refusals->insert(refusals->end(), boxes.begin(), boxes.end());
      return Has(*refusals, ImportBusy) || Has(*refusals, UploadBusy);
    }, AnswerBoundMs);
    if (dialog) return dialog;
    if (Has(*refusals, ImportBusy)) {
      if (!importMayRun) Fault("Browse said an import runs when none does");
    } else if (Has(*refusals, UploadBusy)) {
      if (!uploadMayRun) Fault("Browse said an upload runs when none does");
    } else {
      Fault("Browse showed neither the open dialog nor a refusal");
    }
    return nullptr;
  }

  // Browse clears the selection; a preview under way ends at its next tick and puts back none.
  void ResetSelection() {
    if (PreviewNow() != Preview::None) {
      previewSureUntil_ = GetTickCount();
      previewUntil_ = GetTickCount() + 1000;
    }
    anchor_ = -1;
    caret_ = StripLeft;
    selectionKnown_ = true;
  }

  void BrowseFile(const std::string& path, SourceKind kind) {
    std::vector<Box> refusals;
    HWND dialog = OpenBrowse(&refusals);
    if (!dialog) return;
    HWND name = GetDlgItem(dialog, 0x47c);
    if (!name) name = GetDlgItem(dialog, 0x480);
    SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    if (!PressButton(dialog, IDOK)) {
      Fault("the open dialog did not take " + path);
      return;
    }
    bool tooLarge = FileSize(path) >= 21000000;
    if (tooLarge) {
      std::vector<Box> boxes = Drain(1000);
      if (!HasKind(boxes, TextKind::TooLarge)) Fault("a file of 21,000,000 bytes or more was taken");
      ++figures_.refusedTooLarge;
      ResetSelection();
      return;
    }
    switch (kind) {
      case SourceKind::Wav: ++figures_.importsWav; break;
      case SourceKind::Mp3: ++figures_.importsMp3; break;
      case SourceKind::Cd: ++figures_.importsCd; break;
      case SourceKind::Damaged: ++figures_.importsDamaged; break;
    }
    importMayRun_ = true;
    importExpectFailure_ = kind == SourceKind::Damaged;
    loaded_ = Tri::No;
    song_ = Song{};
    converted_ = Tri::No;
    ResetSelection();
    // Previews end with Browse: the sound objects are released.
    previewUntil_ = previewSureUntil_ = 0;
    if (Chance(0.7)) WaitImport(120000);
  }

  void BrowseWav() {
    std::vector<std::string> wavs;
    for (const std::string& s : songs_)
      if (s.size() > 4 && !_stricmp(s.c_str() + s.size() - 4, ".wav")) wavs.push_back(s);
    BrowseFile(Pick(wavs), SourceKind::Wav);
  }
  void BrowseMp3() {
    std::vector<std::string> mp3s;
    for (const std::string& s : songs_)
      if (s.size() > 4 && !_stricmp(s.c_str() + s.size() - 4, ".mp3")) mp3s.push_back(s);
    BrowseFile(Pick(mp3s), SourceKind::Mp3);
  }
  void BrowseCd() { BrowseFile(Pick(tracks_), SourceKind::Cd); }
  void BrowseDamaged() { BrowseFile(Pick(damaged_), SourceKind::Damaged); }

  void BrowseCancel() {
    std::vector<Box> refusals;
    HWND dialog = OpenBrowse(&refusals);
    if (!dialog) return;
    ++figures_.cancels;
    if (Chance(0.6)) {
      // Look around in another folder first.
      std::string other = Chance(0.5) ? folder_ + "\\elsewhere" : folder_ + "\\songs";
      HWND name = GetDlgItem(dialog, 0x47c);
      if (!name) name = GetDlgItem(dialog, 0x480);
      SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(other.c_str()));
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      DWORD_PTR result;
      SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, AnswerBoundMs, &result);
    }
    if (!PressButton(dialog, IDCANCEL)) Fault("the open dialog would not cancel");
    ResetSelection();
  }

  void Drag() {
    if (!WindowEnabled()) return;
    ++figures_.drags;
    int from = Uniform(StripLeft + 1, StripRight - 1);
    int to = Chance(0.1) ? from : Uniform(StripLeft + 1, StripRight - 1);
    bool shift = Chance(0.05);
    int y = Uniform(StripTop + 1, StripBottom - 1);
    app_->Drag(from, to, y, shift ? MK_SHIFT : 0);
    if (shift) to = from;  // the press starts a selection; moves with Shift do not extend it
    Preview preview = PreviewNow();
    if (preview == Preview::Running || (!everLoaded_ && !importMayRun_)) return;  // ignored
    if (preview == Preview::Maybe || importMayRun_) {
      selectionKnown_ = false;  // taken or not, or cleared by the import's end
      return;
    }
    anchor_ = from;
    caret_ = to;
    selectionKnown_ = true;
    RECT caret{};
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(app_->Window(), nullptr), &info) &&
        info.hwndCaret == app_->Window() && app_->CaretRect(&caret) && caret.left != to)
      Fault("the caret is at " + std::to_string(caret.left) + " after a drag to " + std::to_string(to));
  }

  void Play() {
    Drain(0);
    Preview before = PreviewNow();
    if (!Click(IdPlay)) return;
    std::vector<Box> boxes = Settle(AnswerBoundMs);
    if (Has(boxes, NothingLoaded)) {
      if (loaded_ == Tri::Yes && !importMayRun_) Fault("Play said nothing is loaded");
      return;
    }
    // Play was taken: a song is loaded.
    if (loaded_ == Tri::No && !importMayRun_) Fault("Play did not refuse with nothing loaded");
    if (importMayRun_ || loaded_ != Tri::Yes) Loaded();
    if (before == Preview::Running)
      previewUntil_ = previewSureUntil_ = 0;  // stopped; the next tick puts the selection back
    else
      PreviewStarts(before);  // or, when one may have been playing, it stopped
  }

  // Convert, or Alt+/ (convert, then preview).
  void ConvertCommand(bool andPlay) {
    Drain(0);
    const std::string ringtone = start_ + "\\" + RingtoneFileName(format_);
    auto stamp = [&] {
      WIN32_FILE_ATTRIBUTE_DATA data{};
      if (!GetFileAttributesExA(ringtone.c_str(), GetFileExInfoStandard, &data)) return uint64_t{0};
      return (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32 | data.ftLastWriteTime.dwLowDateTime) ^
             (uint64_t{data.nFileSizeLow} << 1);
    };
    const uint64_t before = stamp();
    const Preview preview = PreviewNow();
    const bool selection = selectionKnown_ && anchor_ != -1 && anchor_ != caret_;
    if (!Click(andPlay ? IdConvertAndPlay : IdConvert)) return;
    // The conversion runs on the window's thread and blocks the window by design.
    std::vector<Box> boxes = Settle(ConversionBoundMs);
    const bool changed = stamp() != before;

    if (Has(boxes, UploadBusy)) {
      if (!uploadMayRun_) Fault("Convert said an upload runs when none does");
      return;
    }
    if (Has(boxes, NoSelection)) {
      if (selection && preview == Preview::None) Fault("Convert saw no selection where the window shows one");
      return;
    }
    if (Has(boxes, NothingLoaded)) {
      if (loaded_ == Tri::Yes && !importMayRun_) Fault("Convert said nothing is loaded");
      return;
    }
    if (!changed) {
      bool explained = (!andPlay && preview != Preview::None) ||
                       (andPlay && (!selection || loaded_ != Tri::Yes)) || !selectionKnown_ ||
                       importMayRun_ || HasKind(boxes, TextKind::Trouble);
      if (!explained) Fault("Convert did nothing with a selection and a song");
      return;
    }
    ++figures_.conversions;
    if (importMayRun_ || loaded_ != Tri::Yes) Loaded();
    if (HasKind(boxes, TextKind::Oversize)) {
      ++figures_.oversize;
      converted_ = Tri::No;
    } else if (!boxes.empty()) {
      converted_ = Tri::Unknown;
    } else {
      converted_ = Tri::Yes;
      CheckRingtone(ringtone, selection);
    }
    if (andPlay) PreviewStarts(preview);
  }
  void Convert() { ConvertCommand(false); }
  // The usual way to a ringtone: the song there, a selection, Convert.
  void Ringtone() {
    if (importMayRun_) WaitImport(120000);
    if (PreviewNow() != Preview::None) return;
    Drag();
    action_ = "ringtone";
    ConvertCommand(Chance(0.2));
  }
  void ConvertAndPlay() { ConvertCommand(true); }

  // A ringtone that came without a message: its size is shown, and ffmpeg decodes it to the
  // length of the selection the window shows, within one frame of its format.
  void CheckRingtone(const std::string& ringtone, bool selection) {
    int64_t bytes = FileSize(ringtone);
    std::string shown = app_->ChildText(IdSizeEdit);
    if (shown != std::to_string(bytes / 1024) + "KB")
      Fault("the size box shows \"" + shown + "\" for a ringtone of " + std::to_string(bytes) + " bytes");
    if (!selection || song_.blockAlign == 0 || song_.rate == 0) return;
    ClipByteRange range = SelectionByteRange(anchor_, caret_, song_.dataSize);
    ClipPlan plan = PlanClip(range.start, range.end, song_.dataSize, song_.blockAlign);
    uint32_t rate = format_ == RingtoneMp3 ? 44100 : 8000;
    uint64_t frames = PcmResampler::TargetFrames(plan.clipBytes / song_.blockAlign, song_.rate, rate);
    // A copy, kept for a look when it is wrong.
    std::string copy = folder_ + "\\checks\\step" + std::to_string(figures_.steps) + "-" +
                       RingtoneFileName(format_);
    CreateDirectoryA((folder_ + "\\checks").c_str(), nullptr);
    CopyFileA(ringtone.c_str(), copy.c_str(), FALSE);
    char request[2048];
    std::snprintf(request, sizeof request, "check %s %d %.6f", copy.c_str(), format_,
                  static_cast<double>(frames) / rate);
    std::string answer = Ask(request);
    ++figures_.conversionsChecked;
    if (answer.rfind("ok", 0) != 0)
      Fault("the ringtone of the selection " + std::to_string(anchor_) + ".." + std::to_string(caret_) + ": " + answer);
    else
      DeleteFileA(copy.c_str());
  }

  void Upload() {
    Drain(0);
    Reply reply = Pick(std::vector<Reply>{Reply::Success, Reply::Success, Reply::Error, Reply::Url, Reply::Never});
    switch (reply) {
      case Reply::Success: standIn_.Answer("success"); break;
      case Reply::Error: standIn_.Answer("error"); break;
      case Reply::Url:
        standIn_.Answer(std::string("http://") + QV_SERVICE_HOST + "/ringtone.php?id=" + std::to_string(Uniform(1, 9999)));
        break;
      case Reply::Never: standIn_.Answer("", "hang"); break;
    }
    const std::string requests = standIn_.folder + "\\requests";
    const size_t sent = FilesIn(requests, "*.raw").size();
    // The answer may come at once: it is expected before the click.
    if (reply != Reply::Url) pendingReplies_.push_back(reply == Reply::Never ? Reply::Error : reply);
    auto unexpect = [&] {
      if (reply != Reply::Url && !pendingReplies_.empty()) pendingReplies_.pop_back();
    };
    if (!Click(IdUpload)) {
      unexpect();
      return;
    }
    std::vector<Box> boxes = Settle(AnswerBoundMs);
    std::vector<Box> more = Drain(200);
    boxes.insert(boxes.end(), more.begin(), more.end());
    if (Has(boxes, NothingLoaded)) {
      unexpect();
      if (loaded_ == Tri::Yes && !importMayRun_) Fault("Upload said nothing is loaded");
      return;
    }
    if (Has(boxes, NotConverted)) {
      unexpect();
      if (converted_ == Tri::Yes) Fault("Upload asked for a conversion after one");
      if (importMayRun_ || loaded_ != Tri::Yes) Loaded();
      converted_ = Tri::No;
      return;
    }
    if (HasKind(boxes, TextKind::Oversize)) {
      unexpect();
      converted_ = Tri::No;
      return;
    }
    const bool started = !app_->IsEnabled(IdUpload) || FilesIn(requests, "*.raw").size() > sent ||
                         HasKind(boxes, TextKind::UploadSuccess) ||
                         HasKind(boxes, TextKind::UploadError);
    if (!started && converted_ == Tri::Yes) Fault("Upload did nothing with a converted ringtone");
    if (!started) unexpect();
    if (started) {
      ++figures_.uploads;
      uploadMayRun_ = true;
      switch (reply) {
        case Reply::Success: ++figures_.uploadSuccess; break;
        case Reply::Error: ++figures_.uploadError; break;
        case Reply::Url: ++figures_.uploadUrl; break;
        case Reply::Never: ++figures_.uploadHang; break;
      }
      // The answer's box may come during later steps; a patient user waits for it.
      if (Chance(0.5)) {
        WaitUntil([&] {
          Drain(0);
          return app_->IsEnabled(IdUpload);
        }, 30000);
        Drain(200);
      }
    }
  }

  void Profile() {
    Drain(0);
    if (!Click(IdProfile)) return;
    ++figures_.profiles;
    HWND dialog = WaitForDialog(Pid(), ProfileTitle, AnswerBoundMs);
    if (!dialog) {
      Fault("the profile dialog did not appear");
      return;
    }
    WaitUntil([] { return false; }, Uniform(0, 400));
    if (!PressButton(dialog, IDCANCEL)) Fault("the profile dialog would not cancel");
  }

  void Help() {
    Drain(0);
    size_t before = browserLog_.empty() ? 0 : ReadFileBytes(browserLog_).size();
    if (!Click(IdHelp)) return;
    ++figures_.helps;
    if (browserLog_.empty()) return;
    std::string opened;
    bool done = WaitUntil([&] {
      std::vector<uint8_t> log = ReadFileBytes(browserLog_);
      opened.assign(log.begin() + std::min(before, log.size()), log.end());
      return opened.find("index.php?page=support") != std::string::npos;
    }, AnswerBoundMs);
    if (!done) Fault("Help did not open the support page (\"" + opened + "\")");
  }

  void Pause() {
    DWORD ms = Chance(0.05) ? Uniform(4000, 9000) : static_cast<DWORD>(std::pow(10.0, Uniform(0, 350) / 100.0));
    WaitUntil([] { return false; }, ms);
  }

  void Exit() { EndProgram(true); }
  void Close() { EndProgram(false); }

  // ---- After every step.
  void CheckInvariants() {
    action_ += " (after)";
    if (!Running()) {
      Fault("the program is gone");
      app_.reset();
      return;
    }
    DWORD_PTR result;
    if (!SendMessageTimeoutA(app_->Window(), WM_NULL, 0, 0, SMTO_BLOCK, AnswerBoundMs, &result))
      Fault("the window did not answer within " + std::to_string(AnswerBoundMs / 1000) + " s");
    Drain(0);
    if (uploadMayRun_ && app_->IsEnabled(IdUpload)) uploadMayRun_ = false;
    CheckWorkingFile();
    std::string files = Ask("files");
    if (files.rfind("ok", 0) != 0) Fault("files written where they must not be: " + files);
  }

  std::string folder_, start_, browserLog_;
  uint32_t seed_;
  std::mt19937 rng_;
  DWORD seconds_;
  Figures figures_;
  std::string action_;
  std::unique_ptr<App> app_;
  StandIn standIn_;
  std::vector<std::string> songs_, damaged_, tracks_;
  std::map<std::string, int> faultKinds_;

  int format_ = 0;
  Tri loaded_ = Tri::No;
  bool everLoaded_ = false;
  bool importMayRun_ = false;
  bool importExpectFailure_ = false;
  DWORD importEndsBy_ = 0;
  Song song_;
  int anchor_ = -1, caret_ = StripLeft;
  bool selectionKnown_ = true;
  DWORD previewUntil_ = 0, previewSureUntil_ = 0;
  Tri converted_ = Tri::No;
  bool uploadMayRun_ = false;
  std::vector<Reply> pendingReplies_;
};

TEST(Soak, RandomUserActions) {
  std::string folder = Env("QV_SOAK_DIR");
  if (folder.empty()) GTEST_SKIP() << "run by tests/soak/soak.py";
  std::string secondsText = Env("QV_SOAK_SECONDS");
  DWORD seconds = secondsText.empty() ? 180 : static_cast<DWORD>(std::stoul(secondsText));
  std::string seedText = Env("QV_SOAK_SEED");
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  uint32_t seed = seedText.empty() ? static_cast<uint32_t>(now.QuadPart ^ GetCurrentProcessId())
                                   : static_cast<uint32_t>(std::stoul(seedText));
  std::printf("soak: seed %u, %lu seconds (replay: QV_SOAK_SEED=%u)\n", seed, seconds, seed);
  std::fflush(stdout);
  Soak(WindowsPath(folder), seed, seconds).Run();
}

}  // namespace
