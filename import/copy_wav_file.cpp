#include "formats/utf8_text.h"
#include "import/copy_wav_file.h"

#include <windows.h>

#include <vector>

#include "session/handles.h"

bool CopyWavFile(const char* source, const char* destination) {
  FileHandle in(CreateFileW(Widen(source).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  FileHandle out(CreateFileW(Widen(destination).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  bool ok = static_cast<bool>(out);
  if (in && ok && GetFileSize(in.get(), nullptr) != INVALID_FILE_SIZE) {
    std::vector<char> buffer(65535);
    for (;;) {
      DWORD got = 0;
      if (!ReadFile(in.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) ||
          got == 0)
        break;
      DWORD written = 0;
      if (!WriteFile(out.get(), buffer.data(), got, &written, nullptr) || written != got) {
        ok = false;
        break;
      }
    }
  }
  in.reset();
  return out.close() && ok;
}
