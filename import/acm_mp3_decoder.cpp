#include "formats/utf8_text.h"
#include "import/acm_mp3_decoder.h"

#include <algorithm>
#include <cstring>

namespace {

// Calls with no new input after the end of the file, to collect what the codec still holds.
// A codec that keeps producing output with no input is cut off after this many.
constexpr int MaxFlushCalls = 64;

struct DriverSearch {
  HACMDRIVER driver = nullptr;
  int found = 0;
};

BOOL CALLBACK OfferMp3Driver(HACMDRIVERID id, DWORD_PTR instance, DWORD support) {
  if (!(support & ACMDRIVERDETAILS_SUPPORTF_CODEC)) return TRUE;
  auto* search = reinterpret_cast<DriverSearch*>(instance);
  ACMDRIVERDETAILSA details = {};
  details.cbStruct = sizeof details;
  if (acmDriverDetailsA(id, &details, 0) != MMSYSERR_NOERROR) return TRUE;
  AcmDriver driver;
  if (acmDriverOpen(driver.put(), id, 0) != MMSYSERR_NOERROR) return TRUE;
  for (DWORD i = 0; i < details.cFormatTags; ++i) {
    ACMFORMATTAGDETAILSA tag = {};
    tag.cbStruct = sizeof tag;
    tag.dwFormatTagIndex = i;
    if (acmFormatTagDetailsA(driver.get(), &tag, ACM_FORMATTAGDETAILSF_INDEX) == MMSYSERR_NOERROR &&
        tag.dwFormatTag == WAVE_FORMAT_MPEGLAYER3) {
      search->driver = driver.release();  // it stays open
      search->found = 1;
      return FALSE;  // stop the enumeration
    }
  }
  return TRUE;
}

}  // namespace

AcmMp3Decoder::~AcmMp3Decoder() { Close(); }

bool AcmMp3Decoder::FindCodec() {
  DriverSearch search;
  acmDriverEnum(OfferMp3Driver, reinterpret_cast<DWORD_PTR>(&search), 0);
  driver_.reset(search.driver);
  driverCount_ = search.found;
  return driverCount_ > 0;
}

bool AcmMp3Decoder::Open(const char* path, Mp3StreamInfo info, int32_t) {
  Close();
  failed_ = false;
  consumed_ = 0;
  inputLimit_ = UINT32_MAX;
  flushCalls_ = 0;
  if (info.sampleRate != 44100) std::printf("sample rate differt:%d\n", info.sampleRate);
  // A failed scan leaves the rate at 0: nothing to decode, whatever a codec would accept.
  if (!path || info.sampleRate <= 0) return false;
  if (!FindCodec()) return false;

  DWORD largestFormat = 0;
  if (acmMetrics(nullptr, ACM_METRIC_MAX_SIZE_FORMAT, &largestFormat) != MMSYSERR_NOERROR)
    largestFormat = 0;
  size_t recordBytes = std::max<size_t>(largestFormat, sizeof(MPEGLAYER3WAVEFORMAT));
  std::vector<uint8_t> sourceRecord(recordBytes), pcmRecord(recordBytes);

  WORD channels = static_cast<WORD>(info.stereo ? 2 : 1);
  auto* mp3 = reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(sourceRecord.data());
  mp3->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  mp3->wfx.nChannels = channels;
  mp3->wfx.nSamplesPerSec = static_cast<DWORD>(info.sampleRate);
  mp3->wfx.nAvgBytesPerSec = 16384;
  mp3->wfx.nBlockAlign = 2;
  mp3->wfx.wBitsPerSample = 0;
  mp3->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;  // 12
  mp3->wID = MPEGLAYER3_ID_MPEG;
  mp3->fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  mp3->nBlockSize = PieceBytes;
  mp3->nFramesPerBlock = 1;
  mp3->nCodecDelay = 1393;

  auto* pcm = reinterpret_cast<WAVEFORMATEX*>(pcmRecord.data());
  pcm->wFormatTag = WAVE_FORMAT_PCM;
  pcm->nChannels = channels;
  pcm->nSamplesPerSec = static_cast<DWORD>(info.sampleRate);
  pcm->wBitsPerSample = 16;
  pcm->nBlockAlign = static_cast<WORD>(channels * 2);
  pcm->nAvgBytesPerSec = channels * 2u * static_cast<DWORD>(info.sampleRate);
  pcm->cbSize = 0;

  if (acmStreamOpen(stream_.put(), nullptr, &mp3->wfx, pcm, nullptr, 0, 0, 0) !=
      MMSYSERR_NOERROR) {
    stream_.release();  // a failed open may leave anything there
    Close();
    return false;
  }

  file_.reset(OpenFileUtf8(path, "rb"));
  if (!file_) {
    Close();
    return false;
  }

  DWORD outputBytes = 0;
  if (acmStreamSize(stream_.get(), PieceBytes, &outputBytes, ACM_STREAMSIZEF_SOURCE) !=
          MMSYSERR_NOERROR ||
      outputBytes == 0) {
    Close();
    return false;
  }
  input_.assign(PieceBytes, 0);
  output_.assign(outputBytes, 0);
  header_ = {};
  header_.cbStruct = sizeof header_;
  header_.pbSrc = input_.data();
  header_.cbSrcLength = PieceBytes;
  header_.pbDst = output_.data();
  header_.cbDstLength = outputBytes;
  if (acmStreamPrepareHeader(stream_.get(), &header_, 0) != MMSYSERR_NOERROR) {
    Close();
    return false;
  }
  headerPrepared_ = true;
  phase_ = Phase::Feeding;
  return true;
}

int32_t AcmMp3Decoder::Convert(uint32_t sourceBytes) {
  header_.cbSrcLength = sourceBytes;
  header_.cbDstLength = static_cast<DWORD>(output_.size());
  header_.cbDstLengthUsed = 0;
  DWORD flags = phase_ == Phase::Flushing ? ACM_STREAMCONVERTF_END : 0;
  if (acmStreamConvert(stream_.get(), &header_, flags) != MMSYSERR_NOERROR) return -1;
  return static_cast<int32_t>(std::min<DWORD>(header_.cbDstLengthUsed, output_.size()));
}

int32_t AcmMp3Decoder::Read(const uint8_t** pcm) {
  if (pcm) *pcm = output_.data();
  if (phase_ == Phase::Feeding) {
    const size_t want = std::min<uint64_t>(PieceBytes, inputLimit_ - consumed_);
    size_t got = want ? std::fread(input_.data(), 1, want, file_.get()) : 0;
    if (got > 0) {
      consumed_ += static_cast<uint32_t>(got);
      // A short last piece is decoded too: it may end the last frame.
      int32_t n = Convert(static_cast<uint32_t>(got));
      if (n < 0) {
        failed_ = true;
        phase_ = Phase::Ended;
        return EndOfInput;
      }
      if (got == PieceBytes) return n;
      phase_ = Phase::Flushing;
      if (n > 0) return n;
    } else {
      phase_ = Phase::Flushing;
    }
  }
  if (phase_ == Phase::Flushing) {
    // The codec may still hold decoded samples that did not fit the output buffer.
    if (flushCalls_ < MaxFlushCalls) {
      ++flushCalls_;
      int32_t n = Convert(0);
      if (n > 0) return n;
    }
    phase_ = Phase::Ended;
  }
  return EndOfInput;
}

bool AcmMp3Decoder::Close() {
  file_.reset();
  if (headerPrepared_) {
    // The lengths must be those the header was prepared with.
    header_.cbSrcLength = PieceBytes;
    header_.cbDstLength = static_cast<DWORD>(output_.size());
    acmStreamUnprepareHeader(stream_.get(), &header_, 0);
    headerPrepared_ = false;
  }
  std::vector<uint8_t>().swap(input_);
  std::vector<uint8_t>().swap(output_);
  stream_.reset();
  driver_.reset();
  phase_ = Phase::Closed;
  return !failed_;
}
