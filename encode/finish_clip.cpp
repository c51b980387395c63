#include "formats/utf8_text.h"
#include "encode/finish_clip.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include "encode/clip_loudness.h"
#include "encode/edited_clip.h"
#include "formats/wav_file.h"
#include "session/session_state.h"
#include "session/unique_handle.h"
#include "session/working_folder.h"

namespace {

const char CannotEdit[] = "Sorry, Quavella could not apply the fades or make the clip louder.";

bool ReadWhole(const char* path, std::vector<uint8_t>* bytes) {
  StdioFile owned(OpenFileUtf8(path, "rb"));
  if (!owned) return false;
  FILE* file = owned.get();
  bytes->clear();
  // One read of the size the file says it has, then on in blocks should it have grown.
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    if (size > 0) bytes->resize(static_cast<size_t>(size));
    std::rewind(file);
  }
  size_t got = std::fread(bytes->data(), 1, bytes->size(), file);
  bytes->resize(got);
  uint8_t block[65536];
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) bytes->insert(bytes->end(), block, block + got);
  return !std::ferror(file);
}

bool WriteWhole(const char* path, const std::vector<uint8_t>& bytes) {
  StdioFile file(OpenFileUtf8(path, "wb"));
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
  return file.close() && written;
}

bool Fail() {
  ShowMessage(CannotEdit, "Error");
  return false;
}

}  // namespace

bool FinishClipFile(const char* path, const EditOptions& options) {
  if (!ClipEditsOn(options)) return true;
  std::vector<uint8_t> bytes;
  if (!ReadWhole(path, &bytes)) return Fail();
  const WavWalk walk = WalkWavChunks(bytes);
  WavFormat format;
  if (walk.result != WavWalkResult::Loaded ||
      !ReadWavFormat(std::span(bytes).subspan(walk.formatOffset, walk.formatSize), &format) ||
      format.bitsPerSample != 16 || format.channels == 0)
    return Fail();
  const uint16_t channels = format.channels;
  const uint32_t rate = format.sampleRate;

  std::vector<int16_t> samples(walk.dataSize / 2);
  std::memcpy(samples.data(), bytes.data() + walk.dataOffset, samples.size() * 2);
  if (!EditClipSamples(samples, channels, rate, options, MeasureLoudness)) return Fail();
  std::memcpy(bytes.data() + walk.dataOffset, samples.data(), samples.size() * 2);
  if (!WriteWhole(path, bytes)) {
    ShowFolderWriteFailure(sessionState.startDirectory);
    return false;
  }
  return true;
}
