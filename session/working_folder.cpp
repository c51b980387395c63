#include "session/working_folder.h"

#include <windows.h>

#include "formats/utf8_text.h"
#include "session/handles.h"
#include "session/session_state.h"

namespace {

// Less room than this left on the disk: a write that failed there failed for want of room.
constexpr ULONGLONG FullDiskBytes = 64 * 1024;

}  // namespace

std::string FolderWriteMessage(FolderWriteFault fault, const std::string& folder) {
  if (fault == FolderWriteFault::DiskFull)
    return "Sorry, the disk is full: Quavella could not write its working files in\n" + folder +
           "\nPlease make room on the disk and try again.";
  return "Sorry, Quavella cannot write its working files in\n" + folder +
         "\nPlease start Quavella from a folder you can write in.";
}

bool FolderDiskFull(const char* folder) {
  ULARGE_INTEGER available{}, total{}, free{};
  const std::wstring root = Widen(PathInFolder(folder, ""));
  if (!GetDiskFreeSpaceExW(root.empty() ? nullptr : root.c_str(), &available, &total, &free))
    return false;
  return available.QuadPart < FullDiskBytes;
}

bool FolderWritable(const char* folder) {
  const std::string probe = PathInFolder(folder, "quavella-write-check.tmp");
  const FileHandle file(CreateFileW(Widen(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file) return false;
  const char byte = 0;
  DWORD written = 0;
  return WriteFile(file.get(), &byte, 1, &written, nullptr) && written == 1;
}

void ShowFolderWriteFailure(const char* folder) {
  const FolderWriteFault fault =
      FolderDiskFull(folder) ? FolderWriteFault::DiskFull : FolderWriteFault::NotWritable;
  ShowMessage(FolderWriteMessage(fault, folder).c_str(), "Warning");
}
