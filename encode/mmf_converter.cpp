#include "formats/utf8_text.h"
#include "encode/mmf_converter.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "encode/mmf_call.h"
#include "session/session_state.h"

namespace {

// An input larger than this cannot be a clip of ours and would not fit beside its output.
constexpr LONGLONG MaxInputBytes = 256LL * 1024 * 1024;

bool ReadAll(HANDLE file, uint8_t* buffer, uint32_t length) {
  uint32_t done = 0;
  while (done < length) {
    DWORD got = 0;
    if (!ReadFile(file, buffer + done, length - done, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

bool WriteAll(HANDLE file, const uint8_t* buffer, uint32_t length) {
  uint32_t done = 0;
  while (done < length) {
    DWORD put = 0;
    if (!WriteFile(file, buffer + done, length - done, &put, nullptr) || put == 0) return false;
    done += put;
  }
  return true;
}

}  // namespace

MmfConverter::MmfConverter(const char* libraryName) {
  library_.reset(LoadLibraryW(Widen(libraryName).c_str()));
  if (library_)
    entry_ = reinterpret_cast<WscCnvProc>(
        reinterpret_cast<void*>(GetProcAddress(library_.get(), "WscCnv")));
}

bool MmfConverter::Convert(const char* inputPath) {
  if (entry_ == nullptr || inputPath == nullptr) return false;

  FileHandle input(CreateFileW(Widen(inputPath).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!input) {
    ShowAppMessage("Could not open input file");
    return false;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(input.get(), &size) || size.QuadPart > MaxInputBytes) return false;
  const uint32_t length = static_cast<uint32_t>(size.QuadPart);
  std::unique_ptr<uint8_t[]> in(new (std::nothrow) uint8_t[length ? length : 1]);
  if (!in) return false;
  if (!ReadAll(input.get(), in.get(), length)) {
    ShowAppMessage("Could not open input file");
    return false;
  }
  input.reset();

  const MmfOptions options;
  uint8_t workArea[MmfWorkAreaBytes];
  std::unique_ptr<uint8_t[]> out;
  const int32_t produced = ConvertWithGrowth(
      length,
      [&](uint32_t capacity) {
        out.reset();  // the old contents are not needed: the call starts over
        out.reset(new (std::nothrow) uint8_t[capacity]);
        return out != nullptr;
      },
      [&](uint32_t capacity) {
        std::memset(workArea, 0, sizeof workArea);
        return entry_(in.get(), length, &options, out.get(), capacity, workArea, MmfOptionWord);
      });
  if (produced < 0) return false;

  const std::string outputPath = MmfOutputName(inputPath);
  FileHandle output(CreateFileW(Widen(outputPath.c_str()).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!output) {
    ShowAppMessage("Could not save file");
    return false;
  }
  if (!WriteAll(output.get(), out.get(), static_cast<uint32_t>(produced)) || !output.close()) {
    output.reset();
    DeleteFileW(Widen(outputPath.c_str()).c_str());
    ShowAppMessage("Could not save file");
    return false;
  }
  return true;
}
