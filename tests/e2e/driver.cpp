#include "tests/e2e/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace e2e {
namespace {

std::string Env(const char* name) {
  char buffer[4096];
  DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

}  // namespace

std::string CurrentTestName() {
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  if (!info) return "no-test";
  std::string name = std::string(info->test_suite_name()) + "." + info->name();
  for (char& c : name)
    if (c == '/' || c == '\\' || c == ':') c = '_';
  return name;
}

namespace {

void DeleteTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteTree(path);
      else
        DeleteFileA(path.c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

void MakeFolders(const std::string& path) {
  for (size_t i = 3; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

struct FindArgs {
  DWORD pid;
  std::string className;
  std::string caption;
  bool anyCaption;
  HWND found;
  bool visibleOnly = true;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param) {
  auto* args = reinterpret_cast<FindArgs*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != args->pid || (args->visibleOnly && !IsWindowVisible(window))) return TRUE;
  char className[64] = {};
  GetClassNameA(window, className, sizeof className);
  if (args->className != className) return TRUE;
  if (!args->anyCaption) {
    char caption[512] = {};
    GetWindowTextA(window, caption, sizeof caption);
    if (args->caption != caption) return TRUE;
  }
  args->found = window;
  return FALSE;
}

HWND FindWindowOf(DWORD pid, const char* className, const std::string* caption) {
  FindArgs args{pid, className, caption ? *caption : "", caption == nullptr, nullptr};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

// Saves a screenshot whenever a check fails, named after the test.
class FailureShooter : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (result.failed() && !busy_) {
      busy_ = true;
      Screenshot(CurrentTestName() + "-failure");
      busy_ = false;
    }
  }
  bool busy_ = false;
};

struct RegisterShooter {
  RegisterShooter() {
    ::testing::UnitTest::GetInstance()->listeners().Append(new FailureShooter);
  }
} registerShooter;

const char ProfileKey[] = "SOFTWARE\\Quavella";

}  // namespace

HWND FindProcessWindow(DWORD pid, const char* className, bool visibleOnly) {
  FindArgs args{pid, className, "", true, nullptr, visibleOnly};
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&args));
  return args.found;
}

std::string WindowsPath(const std::string& unixPath) {
  if (unixPath.size() >= 2 && unixPath[1] == ':') return unixPath;
  std::string path = "Z:" + unixPath;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string DistDir() { return WindowsPath(Env("QV_BIN_DIR")); }
std::string SourceDir() { return WindowsPath(Env("QV_SOURCE_DIR")); }

std::string ArtefactDir() {
  std::string dir = Env("QV_ARTEFACTS");
  dir = dir.empty() ? WindowsPath(Env("QV_BUILD_DIR")) + "\\test-artefacts" : WindowsPath(dir);
  MakeFolders(dir);
  return dir;
}

std::string FreshFolder(const std::string& name) {
  std::string base = WindowsPath(Env("QV_BUILD_DIR")) + "\\e2e-runs";
  std::string folder = base + "\\" + name;
  DeleteTree(folder);
  MakeFolders(folder);
  return folder;
}

std::string PrepareStartFolder() {
  std::string folder = FreshFolder(CurrentTestName());
  CopyDistribution(folder);
  return folder;
}

void CopyDistribution(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((DistDir() + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    ADD_FAILURE() << "no distribution folder at " << DistDir();
    return;
  }
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    CopyFileA((DistDir() + "\\" + found.cFileName).c_str(),
              (folder + "\\" + found.cFileName).c_str(), FALSE);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return done();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

void WriteProfile(const Profile& p) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ProfileKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    ADD_FAILURE() << "cannot create the profile key";
    return;
  }
  auto text = [&](const char* name, const std::string& value) {
    RegSetValueExA(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
  };
  auto dword = [&](const char* name, int32_t value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
  };
  text("Number", p.number);
  text("Version", p.version);
  dword("TypesSupported", 7);
  dword("Type", p.type);
  dword("Carrier", p.carrier);
  dword("Phone", p.phone);
  dword("Serial", 0);
  dword("wallpaperType", p.wallpaperType);
  dword("wallpaperWidth", p.wallpaperWidth);
  dword("wallpaperHeight", p.wallpaperHeight);
  dword("wallpaperSupport", p.wallpaperSupport);
  dword("carrierItemNumber", p.carrierItem);
  dword("phoneItemNumber", p.phoneItem);
  RegCloseKey(key);
}

Profile AmrPhoneProfile() {
  Profile profile;
  profile.type = 1;
  profile.carrier = 3;
  profile.carrierItem = 0;
  profile.phone = 164;
  profile.phoneItem = 9;
  return profile;
}

Profile TodaysPhoneProfile(bool iphone) {
  Profile profile;
  profile.type = iphone ? 5 : 6;  // m4r, ogg
  profile.carrier = 9;
  profile.carrierItem = 8;
  profile.phone = iphone ? 184 : 185;
  profile.phoneItem = iphone ? 116 : 117;
  profile.wallpaperSupport = 1;
  return profile;
}

void DeleteProfile() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, ProfileKey); }

App::~App() {
  if (Running()) {
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  if (process_.hProcess) CloseHandle(process_.hProcess);
  if (process_.hThread) CloseHandle(process_.hThread);
}

bool App::Launch(const LaunchOptions& options) {
  startFolder_ = options.startFolder.empty() ? PrepareStartFolder() : options.startFolder;
  if (options.writeProfile) WriteProfile(options.profile);

  std::string exe = startFolder_ + "\\Quavella.exe";
  if (!FileExists(exe)) exe = DistDir() + "\\Quavella.exe";
  std::string commandLine = "\"" + exe + "\"" + options.arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      startFolder_.c_str(), &startup, &process_)) {
    ADD_FAILURE() << "cannot start " << exe << " (error " << GetLastError() << ")";
    return false;
  }
  WaitForInputIdle(process_.hProcess, 20000);
  if (!options.waitForMainWindow) return true;
  bool ready = WaitUntil(
      [&] {
        window_ = FindWindowOf(process_.dwProcessId, "Quavella", nullptr);
        return window_ != nullptr;
      },
      20000);
  if (!ready) ADD_FAILURE() << "the main window did not appear";
  return ready;
}

void App::Command(int id) { PostMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void App::MouseDown(int x, int y, WPARAM keys) {
  SendMessageA(window_, WM_LBUTTONDOWN, keys, MAKELPARAM(x, y));
}
void App::MouseMove(int x, int y, WPARAM keys) {
  SendMessageA(window_, WM_MOUSEMOVE, keys, MAKELPARAM(x, y));
}
void App::MouseUp(int x, int y) { SendMessageA(window_, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }

void App::Drag(int fromX, int toX, int y, WPARAM extraKeys) {
  MouseDown(fromX, y, MK_LBUTTON | extraKeys);
  int step = toX >= fromX ? 1 : -1;
  for (int x = fromX + step; x != toX + step; x += step) MouseMove(x, y, MK_LBUTTON | extraKeys);
  MouseUp(toX, y);
}

bool App::ConvertSelection(int fromX, int toX, DWORD timeoutMs) {
  Drag(fromX, toX);
  Command(5002);
  return WaitUntil([&] {
    std::string size = ChildText(6020);
    return size.size() > 2 && size.compare(size.size() - 2, 2, "KB") == 0;
  }, timeoutMs);
}

namespace {

// Types `text` into the open dialog's file name box.
bool TypeFileName(HWND dialog, const std::string& text) {
  HWND name = GetDlgItem(dialog, 0x47c);  // the file name combo box
  if (!name) name = GetDlgItem(dialog, 0x480);
  if (!name) {
    ADD_FAILURE() << "the open dialog has no file name box";
    return false;
  }
  SendMessageA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  return true;
}

}  // namespace

HWND App::OpenBrowseDialog() {
  // The end of an import (its strip and sound) may still run when the song is already there:
  // Browse then asks to wait, and a user waits and presses it again.
  const char busy[] = "Please wait until the current song has finished loading.";
  HWND dialog = nullptr;
  WaitUntil([&] {
    Command(5003);
    WaitUntil([&] {
      dialog = FindWindowOf(ProcessId(), "#32770", nullptr);
      return dialog != nullptr;
    });
    if (dialog && DialogCaption(dialog) == "Warning" && MessageBoxText(dialog) == busy) {
      PressButton(dialog);
      dialog = nullptr;
      WaitUntil([] { return false; }, 200);
    }
    return dialog != nullptr;
  }, 30000);
  if (!dialog || DialogCaption(dialog) != "Please select a file...") {
    ADD_FAILURE() << "the open dialog did not appear"
                  << (dialog ? " (\"" + DialogCaption(dialog) + "\": " + MessageBoxText(dialog) + ")"
                             : std::string());
    return nullptr;
  }
  return dialog;
}

bool App::BrowseTo(const std::string& path) {
  HWND dialog = OpenBrowseDialog();
  return dialog && TypeFileName(dialog, path) && PressButton(dialog, IDOK);
}

bool App::BrowseAndCancel(const std::string& visitFolder) {
  HWND dialog = OpenBrowseDialog();
  if (!dialog) return false;
  if (!visitFolder.empty()) {
    // A folder's path and OK open that folder in the dialog, which stays.
    if (!TypeFileName(dialog, visitFolder)) return false;
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    DWORD_PTR result;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, 10000, &result);
    if (!IsWindow(dialog)) {
      ADD_FAILURE() << "the open dialog closed on a folder";
      return false;
    }
  }
  return PressButton(dialog, IDCANCEL);
}

HWND App::Child(int id) const { return GetDlgItem(window_, id); }

std::string App::ChildText(int id) const {
  char text[1024] = {};
  SendMessageA(Child(id), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

static HWND FindProgressBar(HWND window) {
  return FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
}

int App::ProgressPosition() const {
  return static_cast<int>(SendMessageA(FindProgressBar(window_), 0x0408 /*PBM_GETPOS*/, 0, 0));
}

std::pair<int, int> App::ProgressRange() const {
  HWND bar = FindProgressBar(window_);
  int low = static_cast<int>(SendMessageA(bar, 0x0407 /*PBM_GETRANGE*/, TRUE, 0));
  int high = static_cast<int>(SendMessageA(bar, 0x0407, FALSE, 0));
  return {low, high};
}

bool App::IsEnabled(int id) const { return IsWindowEnabled(Child(id)) != FALSE; }

bool App::CaretRect(RECT* rect) const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  DWORD thread = GetWindowThreadProcessId(window_, nullptr);
  if (!GetGUIThreadInfo(thread, &info) || !info.hwndCaret) return false;
  *rect = info.rcCaret;
  return true;
}

std::string App::UploadRefusal(DWORD timeoutMs) {
  Command(5011);
  HWND box = WaitForAnyDialog(ProcessId(), timeoutMs);
  if (!box) return {};
  std::string text = MessageBoxText(box);
  PressButton(box);
  return text;
}

bool App::WaitLoaded(DWORD timeoutMs) {
  bool loaded = WaitUntil(
      [&] { return UploadRefusal(5000) == "Please make a selection and click convert"; },
      timeoutMs);
  // The song is mapped before its strip is drawn; the import ends with a full bar.
  return loaded && WaitUntil([&] { return ProgressPosition() == ProgressRange().second; },
                             timeoutMs);
}

int App::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

bool App::Running() const {
  return process_.hProcess && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

bool App::Sync(DWORD timeoutMs) {
  // A sent message would be answered before what was posted: a marker is posted behind it
  // instead (a new text limit for the read-only size box, which nothing else sets), and it has
  // come through when the box reports it.
  static WPARAM marker = 100000;
  HWND box = Child(6020);
  if (!box) return false;
  const WPARAM mine = ++marker;
  PostMessageA(box, EM_SETLIMITTEXT, mine, 0);
  return WaitUntil([&] {
    DWORD_PTR limit = 0;
    return SendMessageTimeoutA(box, EM_GETLIMITTEXT, 0, 0, SMTO_BLOCK, 1000, &limit) &&
           limit == mine;
  }, timeoutMs);
}

HWND WaitForDialog(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(pid, "#32770", &caption)) != nullptr; },
            timeoutMs);
  return found;
}

HWND WaitForAnyDialog(DWORD pid, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(pid, "#32770", nullptr)) != nullptr; }, timeoutMs);
  return found;
}

std::string DialogCaption(HWND dialog) {
  char caption[512] = {};
  GetWindowTextA(dialog, caption, sizeof caption);
  return caption;
}

std::string MessageBoxText(HWND box) {
  char text[2048] = {};
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
  return text;
}

bool PressButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return WaitUntil([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

std::string TakeMessageBox(DWORD pid, const std::string& caption, DWORD timeoutMs) {
  HWND box = WaitForDialog(pid, caption, timeoutMs);
  if (!box) {
    HWND other = WaitForAnyDialog(pid, 0);
    ADD_FAILURE() << "no message box captioned \"" << caption << "\""
                  << (other ? " (there is one captioned \"" + DialogCaption(other) + "\": \"" +
                                  MessageBoxText(other) + "\")"
                            : std::string());
    return {};
  }
  std::string text = MessageBoxText(box);
  PressButton(box, IDOK);
  return text;
}

bool NoDialogFor(DWORD pid, DWORD ms) { return WaitForAnyDialog(pid, ms) == nullptr; }

Capture CaptureScreen(const RECT& r) {
  Capture capture;
  capture.width = r.right - r.left;
  capture.height = r.bottom - r.top;
  if (capture.width <= 0 || capture.height <= 0) return capture;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, capture.width, capture.height, screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const uint32_t* p = static_cast<const uint32_t*>(bits);
  capture.pixels.assign(p, p + static_cast<size_t>(capture.width) * capture.height);
  for (uint32_t& px : capture.pixels) px &= 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

Capture CaptureClient(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  OffsetRect(&client, origin.x, origin.y);
  return CaptureScreen(client);
}

Capture LoadArt(const std::string& name) {
  Capture art;
  std::string path = SourceDir() + "\\resources\\art\\" + name;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0,
                                                   LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (!bitmap) {
    ADD_FAILURE() << "cannot load " << path;
    return art;
  }
  BITMAP info{};
  GetObjectA(bitmap, sizeof info, &info);
  art.width = info.bmWidth;
  art.height = info.bmHeight;
  art.pixels.resize(static_cast<size_t>(art.width) * art.height);
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = art.width;
  format.bmiHeader.biHeight = -art.height;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, art.height, art.pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  for (uint32_t& p : art.pixels) p &= 0xFFFFFF;
  return art;
}

std::string SaveCapture(const Capture& c, const std::string& name) {
  std::string path = ArtefactDir() + "\\" + name + ".bmp";
  int rowBytes = (c.width * 3 + 3) & ~3;
  std::vector<uint8_t> file(54 + static_cast<size_t>(rowBytes) * c.height);
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(c.width));
  put32(22, static_cast<uint32_t>(c.height));
  put16(26, 1);
  put16(28, 24);
  for (int y = 0; y < c.height; ++y) {
    uint8_t* row = &file[54 + static_cast<size_t>(c.height - 1 - y) * rowBytes];
    for (int x = 0; x < c.width; ++x) {
      uint32_t px = c.At(x, y);
      row[x * 3] = static_cast<uint8_t>(px);
      row[x * 3 + 1] = static_cast<uint8_t>(px >> 8);
      row[x * 3 + 2] = static_cast<uint8_t>(px >> 16);
    }
  }
  WriteFileBytes(path, file);
  return path;
}

std::string Screenshot(const std::string& name) {
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return SaveCapture(CaptureScreen(screen), name);
}

StandIn StandIn::OfSession() {
  StandIn standIn;
  std::string dir = Env("QV_STANDIN_DIR");
  if (!dir.empty()) standIn.folder = WindowsPath(dir);
  return standIn;
}

void StandIn::Answer(const std::string& body, const std::string& fault, int status) const {
  std::string json = "{\"body\": \"";
  for (char c : body) {
    if (c == '\r') json += "\\r";
    else if (c == '\n') json += "\\n";
    else if (c == '"' || c == '\\') json += std::string("\\") + c;
    else json += c;
  }
  json += "\", \"status\": " + std::to_string(status) + ", \"fault\": \"" + fault + "\"}";
  WriteFileBytes(folder + "\\reply.json", std::vector<uint8_t>(json.begin(), json.end()));
}

std::vector<std::string> StandIn::Requests() const {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\requests\\*.raw").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do names.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
  std::sort(names.begin(), names.end());
  std::vector<std::string> raw;
  for (const std::string& n : names) {
    std::vector<uint8_t> bytes = ReadFileBytes(folder + "\\requests\\" + n);
    raw.emplace_back(bytes.begin(), bytes.end());
  }
  return raw;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  std::fclose(f);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int64_t FileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

int AmrFrameCount(const std::vector<uint8_t>& amr) {
  static const int sizes[16] = {13, 14, 16, 18, 20, 21, 27, 32, 6, 1, 1, 1, 1, 1, 1, 1};
  if (amr.size() < 6 || std::memcmp(amr.data(), "#!AMR\n", 6) != 0) return -1;
  int frames = 0;
  for (size_t at = 6; at < amr.size(); at += sizes[amr[at] >> 3 & 15]) ++frames;
  return frames;
}

std::vector<uint8_t> MakeWav(uint32_t rate, uint16_t channels, uint32_t frames,
                             const std::function<int16_t(uint32_t, int)>& sample, uint16_t bits) {
  uint32_t bytesPerSample = bits / 8;
  uint32_t dataBytes = frames * channels * bytesPerSample;
  std::vector<uint8_t> w;
  auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(v >> (8 * i))); };
  auto put16 = [&](uint16_t v) { w.push_back(static_cast<uint8_t>(v)); w.push_back(static_cast<uint8_t>(v >> 8)); };
  auto tag = [&](const char* t) { for (int i = 0; i < 4; ++i) w.push_back(static_cast<uint8_t>(t[i])); };
  tag("RIFF");
  put32(36 + dataBytes);
  tag("WAVE");
  tag("fmt ");
  put32(16);
  put16(1);
  put16(channels);
  put32(rate);
  put32(rate * channels * bytesPerSample);
  put16(static_cast<uint16_t>(channels * bytesPerSample));
  put16(bits);
  tag("data");
  put32(dataBytes);
  for (uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      int16_t v = sample(i, c);
      if (bits == 8)
        w.push_back(static_cast<uint8_t>((v >> 8) + 128));
      else
        put16(static_cast<uint16_t>(v));
    }
  return w;
}

}  // namespace e2e
