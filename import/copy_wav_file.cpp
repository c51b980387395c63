#include "formats/utf8_text.h"
#include "import/copy_wav_file.h"

#include <windows.h>

#include <vector>

bool CopyWavFile(const char* source, const char* destination) {
  HANDLE in = CreateFileW(Widen(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE out = CreateFileW(Widen(destination).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  bool ok = out != INVALID_HANDLE_VALUE;
  if (in != INVALID_HANDLE_VALUE && ok && GetFileSize(in, nullptr) != INVALID_FILE_SIZE) {
    std::vector<char> buffer(65535);
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) ||
          got == 0)
        break;
      DWORD written = 0;
      if (!WriteFile(out, buffer.data(), got, &written, nullptr) || written != got) {
        ok = false;
        break;
      }
    }
  }
  if (in != INVALID_HANDLE_VALUE) CloseHandle(in);
  if (out != INVALID_HANDLE_VALUE && !CloseHandle(out)) ok = false;
  return ok;
}
