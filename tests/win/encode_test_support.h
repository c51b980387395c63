// Helpers of the conversion tests that run under Wine: the encoder stand-ins, message boxes
// that the code under test shows on this process's own thread, folders and files.
#pragma once
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "formats/byte_order.h"

namespace encodetest {

// The stand-ins built in <build>/encode/doubles: "encode_tool_double.exe",
// "encode_ringq_double.dll", "encode_ringm_double.dll".
std::string DoublePath(const std::string& fileName);
// Copies a stand-in into `folder` under `name` ("wav2amr.exe", "ringq.dll"...).
bool InstallDouble(const std::string& fileName, const std::string& folder, const std::string& name);

struct SeenDialog {
  std::string caption;
  std::string text;
};

// While it lives, every dialog of this process that becomes visible is recorded and closed
// with OK from a thread of its own, so modal boxes shown by the code under test return.
class DialogCatcher {
 public:
  DialogCatcher();
  ~DialogCatcher();
  DialogCatcher(const DialogCatcher&) = delete;
  DialogCatcher& operator=(const DialogCatcher&) = delete;
  // Stops watching and returns what was seen, in order.
  std::vector<SeenDialog> Stop();

 private:
  void Watch();
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenDialog> seen_;
  std::thread thread_;
};

// Makes `folder` the current directory (and sessionState.startDirectory) for its lifetime.
class StartFolder {
 public:
  explicit StartFolder(const std::string& folder);
  ~StartFolder();
  const std::string& path() const { return folder_; }
  std::string File(const std::string& name) const { return folder_ + "\\" + name; }

 private:
  std::string folder_;
  char previous_[MAX_PATH] = {};
};

std::string ReadText(const std::string& path);

}  // namespace encodetest
