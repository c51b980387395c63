#include "formats/utf8_text.h"
#include "import/clip_to_test_wav.h"

#include <commctrl.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "import/acm_resampler_driver.h"
#include "import/clip_format.h"
#include "session/file_size.h"
#include "session/handles.h"
#include "session/session_state.h"
#include "session/working_folder.h"

namespace {

constexpr char TargetName[] = "test.wav";
// test.wav's samples go to mmio in pieces of this size.
constexpr size_t WritePieceBytes = 1 << 20;
// A "fmt " chunk larger than this is not a format record.
constexpr DWORD MaxFormatChunk = 65536;

// mmioOpen may write into the name it is given: it gets a copy of its own.
HMMIO OpenMmio(const char* name, DWORD flags) {
  std::wstring wide = Widen(name);
  return mmioOpenW(wide.data(), nullptr, flags);
}

void SetBarRange(HWND bar, uint16_t barMax) {
  if (bar == nullptr) return;
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(1, barMax));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
}

void ReportStructure(const char* what) {
  std::printf("%s\n", what);
  std::fflush(stdout);
  ShowMessage(what, "Error");
}

// test.wav could not be written: the start folder's disk is full, or the folder cannot be
// written.
void ReportWriteFailure() {
  std::printf("Could not write test.wav.\n");
  std::fflush(stdout);
  ShowFolderWriteFailure(sessionState.startDirectory);
}

// Finds the chunk `id` among the children of `parent`, entering it. Other chunks are entered
// and left again in order.
bool EnterChild(HMMIO file, MMCKINFO* parent, FOURCC id, MMCKINFO* found) {
  for (;;) {
    MMCKINFO chunk{};
    if (mmioDescend(file, &chunk, parent, 0) != MMSYSERR_NOERROR) return false;
    if (chunk.ckid == id) {
      *found = chunk;
      return true;
    }
    if (mmioAscend(file, &chunk, 0) != MMSYSERR_NOERROR) return false;
  }
}

// The name of an ACM result, or its number.
std::string AcmErrorText(MMRESULT result) {
  if (const char* known = AcmErrorName(result)) return known;
  return "ACM error " + std::to_string(static_cast<unsigned>(result));
}

void NoteCleanupError(MMRESULT result) {
  if (result == MMSYSERR_NOERROR) return;
  std::printf("ACM clean-up after the clip: %s\n", AcmErrorText(result).c_str());
  std::fflush(stdout);
}

// Room for `count` samples, or false when the memory cannot hold them.
bool Reserve(std::vector<int16_t>& samples, uint64_t count) {
  if (count > samples.max_size()) return false;
  try {
    samples.reserve(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// The extraction proper, after the driver is in place.
bool Extract(const char* sourceName, uint32_t start, uint32_t end, HWND progressBar,
             const ClipTargetFormat& targetFormat, std::vector<int16_t>& samples) {
  MmioFile source(OpenMmio(sourceName, MMIO_READ | MMIO_DENYWRITE));
  if (source.get() == nullptr) {
    ReportStructure("Could not open the song's samples (d.wav).");
    return false;
  }
  MMCKINFO riff{};
  if (mmioDescend(source.get(), &riff, nullptr, 0) != MMSYSERR_NOERROR ||
      riff.ckid != FOURCC_RIFF || riff.fccType != mmioFOURCC('W', 'A', 'V', 'E')) {
    ReportStructure("The song's samples (d.wav) are not a WAVE file.");
    return false;
  }
  MMCKINFO formatChunk{};
  if (!EnterChild(source.get(), &riff, mmioFOURCC('f', 'm', 't', ' '), &formatChunk) ||
      formatChunk.cksize < sizeof(PCMWAVEFORMAT) || formatChunk.cksize > MaxFormatChunk) {
    ReportStructure("The song's samples (d.wav) have no usable format.");
    return false;
  }
  // Zero-filled and at least a WAVEFORMATEX, so a 16-byte record gets cbSize 0.
  std::vector<uint8_t> sourceFormat(std::max<DWORD>(formatChunk.cksize, sizeof(WAVEFORMATEX)), 0);
  if (mmioRead(source.get(), reinterpret_cast<HPSTR>(sourceFormat.data()),
               static_cast<LONG>(formatChunk.cksize)) != static_cast<LONG>(formatChunk.cksize) ||
      mmioAscend(source.get(), &formatChunk, 0) != MMSYSERR_NOERROR) {
    ReportStructure("The song's samples (d.wav) have no usable format.");
    return false;
  }
  auto* sourceWave = reinterpret_cast<WAVEFORMATEX*>(sourceFormat.data());
  if (sourceWave->wFormatTag == WAVE_FORMAT_PCM) sourceWave->cbSize = 0;

  MMCKINFO dataChunk{};
  if (!EnterChild(source.get(), &riff, mmioFOURCC('d', 'a', 't', 'a'), &dataChunk)) {
    ReportStructure("The song's samples (d.wav) have no data.");
    return false;
  }
  // The declared size, cut to the bytes that the file really holds.
  const LONG fileEnd = mmioSeek(source.get(), 0, SEEK_END);
  if (fileEnd < 0 || mmioSeek(source.get(), static_cast<LONG>(dataChunk.dwDataOffset), SEEK_SET) < 0) {
    ReportStructure("Could not read the song's samples (d.wav).");
    return false;
  }
  const uint32_t available = std::min<uint32_t>(
      dataChunk.cksize,
      static_cast<uint32_t>(fileEnd) > dataChunk.dwDataOffset
          ? static_cast<uint32_t>(fileEnd) - dataChunk.dwDataOffset
          : 0);
  const ClipPlan plan = PlanClip(start, end, available, sourceWave->nBlockAlign);
  if (plan.chunkBytes == 0) {
    ReportStructure("The song's samples (d.wav) have no usable format.");
    return false;
  }

  WAVEFORMATEX wanted{};
  wanted.wFormatTag = targetFormat.formatTag;
  wanted.nChannels = targetFormat.channels;
  wanted.nSamplesPerSec = targetFormat.samplesPerSecond;
  wanted.nAvgBytesPerSec = targetFormat.bytesPerSecond;
  wanted.nBlockAlign = targetFormat.blockAlign;
  wanted.wBitsPerSample = targetFormat.bitsPerSample;
  wanted.cbSize = 0;

  AcmStream stream;
  SetNextStreamSourceBytes(plan.clipBytes);
  if (!ReportAcmError(acmStreamOpen(stream.put(), nullptr, sourceWave, &wanted, nullptr, 0, 0,
                                    ACM_STREAMOPENF_NONREALTIME)))
    return false;
  DWORD destinationSize = 0;
  if (!ReportAcmError(acmStreamSize(stream.get(), plan.chunkBytes, &destinationSize,
                                    ACM_STREAMSIZEF_SOURCE)))
    return false;

  std::vector<BYTE> sourceBuffer(plan.chunkBytes);
  std::vector<BYTE> destinationBuffer(std::max<DWORD>(destinationSize, 1));
  ACMSTREAMHEADER header{};
  header.cbStruct = sizeof header;
  header.pbSrc = sourceBuffer.data();
  header.cbSrcLength = plan.chunkBytes;
  header.pbDst = destinationBuffer.data();
  header.cbDstLength = destinationSize;
  // The most the clip can take, every chunk giving all it may, held at once: the samples are
  // never copied as they grow.
  const uint64_t chunks = (plan.clipBytes + uint64_t{plan.chunkBytes} - 1) / plan.chunkBytes;
  if (!Reserve(samples, chunks * destinationSize / 2)) return ReportAcmError(MMSYSERR_NOMEM);
  if (!ReportAcmError(acmStreamPrepareHeader(stream.get(), &header, 0))) return false;
  AcmPreparedHeader prepared(stream.get(), &header, plan.chunkBytes);

  if (plan.skipBytes > 0 &&
      mmioSeek(source.get(), static_cast<LONG>(plan.skipBytes), SEEK_CUR) < 0) {
    ReportStructure("Could not read the song's samples (d.wav).");
    return false;
  }
  SetBarRange(progressBar, plan.barMax);

  uint32_t remaining = plan.clipBytes;
  bool ok = true;
  while (remaining > 0) {
    const uint32_t n = std::min(plan.chunkBytes, remaining);
    remaining -= n;
    if (mmioRead(source.get(), reinterpret_cast<HPSTR>(sourceBuffer.data()), static_cast<LONG>(n)) !=
        static_cast<LONG>(n)) {
      ReportStructure("Could not read the song's samples (d.wav).");
      ok = false;
      break;
    }
    header.cbSrcLength = n;
    if (!ReportAcmError(acmStreamConvert(stream.get(), &header, 0))) {
      ok = false;
      break;
    }
    if (progressBar != nullptr) SendMessageA(progressBar, PBM_STEPIT, 0, 0);
    // Within what was reserved: no chunk gives more than destinationSize.
    const DWORD used = std::min(header.cbDstLengthUsed, destinationSize) / 2;
    const size_t at = samples.size();
    samples.resize(at + used);
    std::memcpy(samples.data() + at, destinationBuffer.data(), used * 2);
  }
  if (progressBar != nullptr) SendMessageA(progressBar, PBM_SETPOS, 0, 0);

  // Every chunk is converted (or the extraction has failed already): ACM failing to let go of
  // the header or the stream leaves the clip as it is, and is a diagnostic only.
  NoteCleanupError(prepared.Unprepare());
  NoteCleanupError(acmStreamClose(stream.release(), 0));
  return ok;
}

}  // namespace

bool ReportAcmError(MMRESULT result) {
  if (result == MMSYSERR_NOERROR) return true;
  const std::string name = AcmErrorText(result);
  std::printf("%s", name.c_str());
  std::fflush(stdout);
  std::string text = "The clip could not be converted (" + name + ").";
  ShowMessage(text.c_str(), "Error");
  return false;
}

bool ExtractClip(const char* sourceName, uint32_t start, uint32_t end, HWND progressBar,
                 const ClipTargetFormat& format, std::vector<int16_t>& samples) {
  samples.clear();
  // Our resampler serves the conversion while the extraction runs; should it fail to register,
  // the system's own converter does the work.
  ScopedResamplerDriver driver;
  return Extract(sourceName, start, end, progressBar, format, samples);
}

bool WriteTestWav(const ClipTargetFormat& format, std::span<const int16_t> samples) {
  bool ok = false;
  {
    MmioFile target(OpenMmio(TargetName, MMIO_CREATE | MMIO_WRITE | MMIO_ALLOCBUF));
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    MMCKINFO formatChunk{};
    formatChunk.ckid = mmioFOURCC('f', 'm', 't', ' ');
    formatChunk.cksize = 16;
    uint8_t record[16];
    ClipFormatBytes(format, record);
    MMCKINFO dataChunk{};
    dataChunk.ckid = mmioFOURCC('d', 'a', 't', 'a');
    ok = target.get() != nullptr &&
         mmioCreateChunk(target.get(), &riff, MMIO_CREATERIFF) == MMSYSERR_NOERROR &&
         mmioCreateChunk(target.get(), &formatChunk, 0) == MMSYSERR_NOERROR &&
         mmioWrite(target.get(), reinterpret_cast<const char*>(record), 16) == 16 &&
         mmioAscend(target.get(), &formatChunk, 0) == MMSYSERR_NOERROR &&
         mmioCreateChunk(target.get(), &dataChunk, 0) == MMSYSERR_NOERROR;
    // The samples' bytes as they lie in memory (little-endian, as in the file), a piece at a time.
    const char* bytes = reinterpret_cast<const char*>(samples.data());
    for (size_t done = 0, total = samples.size_bytes(); ok && done < total;) {
      const LONG n = static_cast<LONG>(std::min<size_t>(total - done, WritePieceBytes));
      ok = mmioWrite(target.get(), bytes + done, n) == n;
      done += static_cast<size_t>(n);
    }
    ok = ok && mmioAscend(target.get(), &dataChunk, 0) == MMSYSERR_NOERROR &&
         mmioAscend(target.get(), &riff, 0) == MMSYSERR_NOERROR;
    ok = target.close() && ok;
    // All of it on disk: a full disk can drop buffered writes without a word.
    ok = ok && FileSizeBytes(TargetName) == static_cast<int32_t>(riff.cksize + 8);
  }
  if (ok) return true;
  ReportWriteFailure();
  // A clip cut short is no ringtone: leave nothing that could be encoded or uploaded.
  DeleteFileW(Widen(TargetName).c_str());
  return false;
}
