#include "formats/utf8_text.h"
#include "encoders/ringq/wav_to_qcp.h"

#include <cstdio>
#include <string>
#include <vector>

#include "encoders/ringq/pcm_wav_reader.h"
#include "formats/qcp_file.h"
#include "session/unique_handle.h"

namespace {

bool ReadWholeFile(const char* path, long long limit, std::vector<uint8_t>& out) {
  const StdioFile file(OpenFileUtf8(path, "rb"));
  if (!file) return false;
  std::FILE* f = file.get();
  out.clear();
  uint8_t buffer[65536];
  bool ok = true;
  for (;;) {
    const size_t got = std::fread(buffer, 1, sizeof buffer, f);
    if (got == 0) {
      ok = !std::ferror(f);
      break;
    }
    if (static_cast<long long>(out.size() + got) > limit) {
      ok = false;
      break;
    }
    out.insert(out.end(), buffer, buffer + got);
  }
  return ok;
}

int Convert(const char* sourcePath, const char* destinationPath,
            const QcelpEncoderOptions& options);
long CheckPath(const char* path);

}  // namespace

int ConvertWavFileToQcp(const char* sourcePath, const char* destinationPath,
                        const QcelpEncoderOptions& options) {
  // Nothing may escape into the library's callers; memory is the only thing that can throw.
  try {
    return Convert(sourcePath, destinationPath, options);
  } catch (...) {
    return RingqOutOfMemory;
  }
}

long CheckQcpPath(const char* path) {
  try {
    return CheckPath(path);
  } catch (...) {
    return -1;
  }
}

namespace {

int Convert(const char* sourcePath, const char* destinationPath,
            const QcelpEncoderOptions& options) {
  if (!sourcePath || !destinationPath || !*sourcePath || !*destinationPath)
    return RingqBadArguments;
  std::vector<uint8_t> source;
  if (!ReadWholeFile(sourcePath, RingqMaxSourceBytes, source)) return RingqCannotReadSource;
  std::vector<int16_t> samples;
  if (ReadPcmWav(source, samples) != PcmWavStatus::Ok) return RingqBadSource;
  source.clear();
  source.shrink_to_fit();

  const std::vector<uint8_t> packets = EncodeQcelpPackets(samples, options);
  std::vector<uint8_t> file;
  if (!BuildQcpFile(packets, file)) return RingqBadSource;

  // Write beside the destination first, so that a failed write never leaves a cut file or
  // destroys an earlier one.
  const std::string temp = std::string(destinationPath) + ".part";
  StdioFile out(OpenFileUtf8(temp.c_str(), "wb"));
  if (!out) return RingqCannotWrite;
  const bool written = std::fwrite(file.data(), 1, file.size(), out.get()) == file.size();
  const bool closed = out.close();
  if (!written || !closed) {
    RemoveFileUtf8(temp.c_str());
    return RingqCannotWrite;
  }
  // rename() does not replace an existing file on Windows: remove it first.
  RemoveFileUtf8(destinationPath);
  if (RenameFileUtf8(temp.c_str(), destinationPath) != 0) {
    RemoveFileUtf8(temp.c_str());
    return RingqCannotWrite;
  }
  return RingqOk;
}

long CheckPath(const char* path) {
  if (!path || !*path) return -1;
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, RingqMaxSourceBytes, bytes)) return -1;
  return CheckQcpFile(bytes);
}

}  // namespace
