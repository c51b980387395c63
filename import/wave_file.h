// Writes a RIFF "WAVE" file chunk by chunk through buffered multimedia file I/O: a 16-byte
// "fmt " chunk (18 bytes plus extra for a non-PCM format), a "fact" chunk and the "data"
// chunk, whose samples then start at offset 56. Results are COM-style codes: S_OK, E_FAIL for
// a failed platform call, E_INVALIDARG for missing arguments, CO_E_NOTINITIALIZED when the
// file is not open, E_NOTIMPL for a call that does not fit the mode.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>
#include <vector>

#include "session/handles.h"

class WaveFile {
 public:
  enum class Mode { Closed, Write, Read };

  WaveFile() = default;
  // Creates `fileName` for writing 16-bit PCM at `sampleRate`, mono or stereo. A failed open
  // leaves the object closed (OpenResult says why) and every later write fails.
  WaveFile(const char* fileName, int32_t sampleRate, bool stereo);
  ~WaveFile();
  WaveFile(const WaveFile&) = delete;
  WaveFile& operator=(const WaveFile&) = delete;

  // Creates `fileName` anew with `format` and starts its "data" chunk. Only Mode::Write is
  // implemented. On any failure the file is closed again and the object stays closed.
  HRESULT Open(const char* fileName, const WAVEFORMATEX* format, Mode mode);
  // Appends `count` bytes to the "data" chunk; `written` receives how many were stored.
  HRESULT WriteData(uint32_t count, const void* bytes, uint32_t* written);
  // The same, as a count: the bytes written, or -1 when not open for writing or when the
  // buffer could not be flushed.
  int32_t Write(uint32_t count, const void* bytes);
  // Finishes the chunk sizes, sets the "fact" value to 0 and closes the file. The handle is
  // released even when finishing fails (the result is then E_FAIL). E_FAIL too when the file
  // on disk is shorter than what was written (a full disk: some systems' buffered writes drop
  // bytes without a word).
  HRESULT Close();

  bool IsOpen() const { return static_cast<bool>(file_); }
  HRESULT OpenResult() const { return openResult_; }

  // The PCM record a file of 16-bit samples at `sampleRate` with 1 or 2 channels has.
  static WAVEFORMATEX PcmFormat(int32_t sampleRate, bool stereo);

 private:
  HRESULT StartChunks(const WAVEFORMATEX* format);
  void Abandon();

  std::vector<uint8_t> format_;  // copy of the format record written
  std::string name_;
  MmioFile file_;
  MMCKINFO riffChunk_ = {};
  MMCKINFO dataChunk_ = {};
  MMIOINFO buffer_ = {};
  Mode mode_ = Mode::Closed;
  HRESULT openResult_ = CO_E_NOTINITIALIZED;
};
