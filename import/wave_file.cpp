#include "formats/utf8_text.h"
#include "import/wave_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr LONG WriteBufferBytes = 256 * 1024;

}  // namespace

WAVEFORMATEX WaveFile::PcmFormat(int32_t sampleRate, bool stereo) {
  WAVEFORMATEX f = {};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = static_cast<WORD>(stereo ? 2 : 1);
  f.nSamplesPerSec = static_cast<DWORD>(sampleRate);
  f.wBitsPerSample = 16;
  f.nBlockAlign = static_cast<WORD>(2 * f.nChannels);
  f.nAvgBytesPerSec = f.nChannels * 2u * static_cast<DWORD>(sampleRate);
  f.cbSize = 0;
  return f;
}

WaveFile::WaveFile(const char* fileName, int32_t sampleRate, bool stereo) {
  WAVEFORMATEX format = PcmFormat(sampleRate, stereo);
  openResult_ = Open(fileName, &format, Mode::Write);
}

WaveFile::~WaveFile() { Close(); }

HRESULT WaveFile::Open(const char* fileName, const WAVEFORMATEX* format, Mode mode) {
  if (!fileName || !format) return E_INVALIDARG;
  if (mode != Mode::Write) return E_NOTIMPL;
  if (file_) return E_FAIL;  // already open

  // A PCM record is 16 bytes (it has no extra-size field); others carry their extra bytes.
  size_t recordBytes =
      format->wFormatTag == WAVE_FORMAT_PCM ? 16 : sizeof(WAVEFORMATEX) + format->cbSize;
  const uint8_t* record = reinterpret_cast<const uint8_t*>(format);
  format_.assign(record, record + recordBytes);
  name_ = fileName;

  file_.reset(mmioOpenW(const_cast<wchar_t*>(Widen(fileName).c_str()), nullptr,
                        MMIO_CREATE | MMIO_READWRITE | MMIO_ALLOCBUF));
  if (!file_) return E_FAIL;
  // A larger buffer than the default 8 KB: a few minutes of song are tens of megabytes.
  mmioSetBuffer(file_.get(), nullptr, WriteBufferBytes, 0);
  HRESULT result = StartChunks(format);
  if (FAILED(result)) {
    Abandon();
    return result;
  }
  mode_ = Mode::Write;
  return S_OK;
}

HRESULT WaveFile::StartChunks(const WAVEFORMATEX* format) {
  riffChunk_ = {};
  riffChunk_.fccType = mmioFOURCC('W', 'A', 'V', 'E');
  riffChunk_.cksize = 0;
  if (mmioCreateChunk(file_.get(), &riffChunk_, MMIO_CREATERIFF) != MMSYSERR_NOERROR)
    return E_FAIL;

  MMCKINFO chunk = {};
  chunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
  chunk.cksize = 16;
  if (mmioCreateChunk(file_.get(), &chunk, 0) != MMSYSERR_NOERROR) return E_FAIL;
  std::printf("tag:%d\nSamplespersec:%d\nChannels:%d\nBytespersec:%d\n",
              static_cast<int>(format->wFormatTag), static_cast<int>(format->nSamplesPerSec),
              static_cast<int>(format->nChannels), static_cast<int>(format->nAvgBytesPerSec));
  if (format->wFormatTag == WAVE_FORMAT_PCM)
    std::printf("1");
  else
    std::printf("else");
  LONG recordBytes = static_cast<LONG>(format_.size());
  if (mmioWrite(file_.get(), reinterpret_cast<const char*>(format_.data()), recordBytes) !=
      recordBytes)
    return E_FAIL;
  if (mmioAscend(file_.get(), &chunk, 0) != MMSYSERR_NOERROR) return E_FAIL;

  chunk = {};
  chunk.ckid = mmioFOURCC('f', 'a', 'c', 't');
  chunk.cksize = 4;
  if (mmioCreateChunk(file_.get(), &chunk, 0) != MMSYSERR_NOERROR) return E_FAIL;
  DWORD unknownLength = 0xFFFFFFFF;
  if (mmioWrite(file_.get(), reinterpret_cast<const char*>(&unknownLength), 4) != 4)
    return E_FAIL;
  if (mmioAscend(file_.get(), &chunk, 0) != MMSYSERR_NOERROR) return E_FAIL;

  dataChunk_ = {};
  dataChunk_.ckid = mmioFOURCC('d', 'a', 't', 'a');
  dataChunk_.cksize = 0;
  if (mmioCreateChunk(file_.get(), &dataChunk_, 0) != MMSYSERR_NOERROR) return E_FAIL;
  buffer_ = {};
  if (mmioGetInfo(file_.get(), &buffer_, 0) != MMSYSERR_NOERROR) return E_FAIL;
  return S_OK;
}

void WaveFile::Abandon() {
  file_.reset();
  mode_ = Mode::Closed;
}

HRESULT WaveFile::WriteData(uint32_t count, const void* bytes, uint32_t* written) {
  if (written) *written = 0;
  if (!file_) return CO_E_NOTINITIALIZED;
  if (mode_ != Mode::Write) return E_NOTIMPL;
  if (count > 0 && !bytes) return E_INVALIDARG;
  const uint8_t* from = static_cast<const uint8_t*>(bytes);
  uint32_t done = 0;
  while (done < count) {
    if (buffer_.pchNext >= buffer_.pchEndWrite) {
      buffer_.dwFlags |= MMIO_DIRTY;
      if (mmioAdvance(file_.get(), &buffer_, MMIO_WRITE) != MMSYSERR_NOERROR ||
          buffer_.pchNext >= buffer_.pchEndWrite) {
        if (written) *written = done;
        return E_FAIL;
      }
    }
    uint32_t room = static_cast<uint32_t>(buffer_.pchEndWrite - buffer_.pchNext);
    uint32_t n = std::min(room, count - done);
    std::memcpy(buffer_.pchNext, from + done, n);
    buffer_.pchNext += n;
    done += n;
  }
  if (written) *written = done;
  return S_OK;
}

int32_t WaveFile::Write(uint32_t count, const void* bytes) {
  uint32_t written = 0;
  if (FAILED(WriteData(count, bytes, &written))) return -1;
  return static_cast<int32_t>(written);
}

HRESULT WaveFile::Close() {
  if (!file_) return S_OK;
  if (mode_ != Mode::Write) {
    Abandon();
    return S_OK;
  }
  HRESULT result = S_OK;
  buffer_.dwFlags |= MMIO_DIRTY;
  if (mmioSetInfo(file_.get(), &buffer_, 0) != MMSYSERR_NOERROR ||
      mmioAscend(file_.get(), &dataChunk_, 0) != MMSYSERR_NOERROR ||
      mmioAscend(file_.get(), &riffChunk_, 0) != MMSYSERR_NOERROR) {
    result = E_FAIL;
  } else {
    // The "fact" value was a placeholder; the finished file says 0.
    MMCKINFO riff = {};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioSeek(file_.get(), 0, SEEK_SET) != 0 ||
        mmioDescend(file_.get(), &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) {
      result = E_FAIL;
    } else {
      MMCKINFO fact = {};
      fact.ckid = mmioFOURCC('f', 'a', 'c', 't');
      if (mmioDescend(file_.get(), &fact, &riff, MMIO_FINDCHUNK) == MMSYSERR_NOERROR) {
        DWORD zero = 0;
        if (mmioWrite(file_.get(), reinterpret_cast<const char*>(&zero), 4) != 4)
          result = E_FAIL;
        mmioAscend(file_.get(), &fact, 0);
      }
      mmioAscend(file_.get(), &riff, 0);
    }
  }
  if (!file_.close()) result = E_FAIL;
  // The whole RIFF chunk must be on disk, as many bytes as its header says.
  WIN32_FILE_ATTRIBUTE_DATA facts{};
  if (result == S_OK &&
      (!GetFileAttributesExA(name_.c_str(), GetFileExInfoStandard, &facts) ||
       facts.nFileSizeHigh != 0 || facts.nFileSizeLow != riffChunk_.cksize + 8))
    result = E_FAIL;
  mode_ = Mode::Closed;
  return result;
}
