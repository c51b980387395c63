#include "tests/win/encode_test_support.h"

#include <cstring>

#include "session/session_state.h"
#include "tests/e2e/driver.h"

namespace encodetest {

namespace {

std::string Env(const char* name) {
  char value[2048] = {};
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

struct FindData {
  DWORD pid;
  HWND found;
};

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM param) {
  auto* data = reinterpret_cast<FindData*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char cls[32] = {};
  GetClassNameA(window, cls, sizeof cls);
  if (pid == data->pid && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
    data->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

std::string DoublePath(const std::string& fileName) {
  return e2e::WindowsPath(Env("QV_BUILD_DIR")) + "\\encode\\doubles\\" + fileName;
}

bool InstallDouble(const std::string& fileName, const std::string& folder, const std::string& name) {
  return CopyFileA(DoublePath(fileName).c_str(), (folder + "\\" + name).c_str(), FALSE) != FALSE;
}

DialogCatcher::DialogCatcher() : thread_([this] { Watch(); }) {}

DialogCatcher::~DialogCatcher() { Stop(); }

void DialogCatcher::Watch() {
  while (!stop_) {
    FindData data{GetCurrentProcessId(), nullptr};
    EnumWindows(FindVisibleDialog, reinterpret_cast<LPARAM>(&data));
    if (data.found) {
      SeenDialog seen{e2e::DialogCaption(data.found), e2e::MessageBoxText(data.found)};
      {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back(seen);
      }
      e2e::PressButton(data.found, IDOK);
    } else {
      Sleep(15);
    }
  }
}

std::vector<SeenDialog> DialogCatcher::Stop() {
  if (thread_.joinable()) {
    stop_ = true;
    thread_.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

StartFolder::StartFolder(const std::string& folder) : folder_(folder) {
  GetCurrentDirectoryA(MAX_PATH, previous_);
  SetCurrentDirectoryA(folder.c_str());
  lstrcpynA(sessionState.startDirectory, folder.c_str(), sizeof sessionState.startDirectory);
}

StartFolder::~StartFolder() {
  SetCurrentDirectoryA(previous_);
  sessionState.startDirectory[0] = '\0';
}

std::string ReadText(const std::string& path) {
  std::vector<uint8_t> bytes = e2e::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace encodetest
