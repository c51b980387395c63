// The clip's extraction and test.wav under Wine: the layout of test.wav, the byte range, the
// progress bar, the quality of the conversion through our ACM driver, and the failures that
// end an extraction.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <msacm.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <cstring>
#include <string>
#include <vector>

#include "import/acm_driver_messages.h"
#include "import/acm_resampler_driver.h"
#include "import/clip_to_test_wav.h"
#include "import/pcm_resampler.h"
#include "session/ringtone_format.h"
#include "tests/bench/clip_measure.h"
#include "tests/e2e/driver.h"
#include "tests/win/encode_test_support.h"

using Bytes = std::vector<uint8_t>;

namespace {

// A RIFF/WAVE file with the given chunks in order.
struct Chunk {
  std::string id;
  Bytes body;
};
Bytes Riff(const std::vector<Chunk>& chunks) {
  Bytes b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const Chunk& c : chunks) {
    b.insert(b.end(), c.id.begin(), c.id.end());
    clipbench::Put32(b, static_cast<uint32_t>(c.body.size()));
    b.insert(b.end(), c.body.begin(), c.body.end());
    if (c.body.size() & 1) b.push_back(0);
  }
  uint32_t size = static_cast<uint32_t>(b.size() - 8);
  std::memcpy(&b[4], &size, 4);
  return b;
}
Bytes Fmt(uint32_t rate, uint16_t channels, uint16_t bits) {
  Bytes f;
  clipbench::Put16(f, 1);
  clipbench::Put16(f, channels);
  clipbench::Put32(f, rate);
  clipbench::Put32(f, rate * channels * bits / 8);
  clipbench::Put16(f, static_cast<uint16_t>(channels * bits / 8));
  clipbench::Put16(f, bits);
  return f;
}
Bytes Samples(const Bytes& wav) { return Bytes(wav.begin() + 44, wav.end()); }

class ClipExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    folder_ = e2e::FreshFolder("clip " + e2e::CurrentTestName());
    cwd_ = std::make_unique<encodetest::StartFolder>(folder_);
    window_ = CreateWindowExA(0, "STATIC", "clip test", WS_OVERLAPPEDWINDOW, 0, 0, 300, 100,
                              nullptr, nullptr, nullptr, nullptr);
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10, 10, 200, 20, window_,
                           nullptr, nullptr, nullptr);
    ASSERT_NE(bar_, nullptr);
    SetWindowSubclass(bar_, SpyBar, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  void TearDown() override {
    DestroyWindow(window_);
    cwd_.reset();
  }
  void WriteSource(const Bytes& wav) { ASSERT_TRUE(e2e::WriteFileBytes(folder_ + "\\d.wav", wav)); }
  Bytes TestWav() { return e2e::ReadFileBytes(folder_ + "\\test.wav"); }
  std::pair<int, int> BarRange() {
    PBRANGE range{};
    SendMessageA(bar_, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    return {range.iLow, range.iHigh};
  }
  // What the extraction told the bar: every step and the last position it set.
  static LRESULT CALLBACK SpyBar(HWND bar, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                 DWORD_PTR data) {
    auto* self = reinterpret_cast<ClipExtractionTest*>(data);
    if (message == PBM_STEPIT) ++self->steps_;
    if (message == PBM_SETPOS) self->lastSetPos_ = static_cast<int>(w);
    return DefSubclassProc(bar, message, w, l);
  }
  bool Clip(uint32_t start, uint32_t end, int32_t format,
            std::vector<encodetest::SeenDialog>* boxes = nullptr) {
    encodetest::DialogCatcher catcher;
    const ClipTargetFormat target = ClipFormatFor(format);
    std::vector<int16_t> samples;
    bool ok = ExtractClip("d.wav", start, end, bar_, target, samples) &&
              WriteTestWav(target, samples);
    std::vector<encodetest::SeenDialog> seen = catcher.Stop();
    if (boxes) *boxes = seen;
    else EXPECT_TRUE(seen.empty()) << seen.front().caption << ": " << seen.front().text;
    return ok;
  }

  std::string folder_;
  std::unique_ptr<encodetest::StartFolder> cwd_;
  HWND window_ = nullptr;
  HWND bar_ = nullptr;
  int steps_ = 0;
  int lastSetPos_ = -1;
};

TEST_F(ClipExtractionTest, TelephoneClipHasTheExactLayoutLengthAndBar) {
  Bytes source = clipbench::Tone16(44100, 2, 440, 0.5, 88200);
  WriteSource(clipbench::WavBytes(44100, 2, source));
  ASSERT_TRUE(Clip(1001, 100001, RingtoneAmr));

  Bytes wav = TestWav();
  ASSERT_GE(wav.size(), 44u);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(Le32At(wav, 4), wav.size() - 8);
  EXPECT_EQ(std::string(wav.begin() + 8, wav.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(Le32At(wav, 16), 16u);
  const uint8_t mono8k[16] = {1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x80, 0x3E, 0, 0, 2, 0, 16, 0};
  EXPECT_EQ(std::memcmp(&wav[20], mono8k, 16), 0);
  EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");  // no "fact"
  EXPECT_EQ(Le32At(wav, 40), wav.size() - 44);
  // Read from 1002 to 100001: 98,999 bytes, whole frames 24,749.
  EXPECT_EQ(Le32At(wav, 40), 2 * PcmResampler::TargetFrames(24749, 44100, 8000));

  // Range 1 to the whole chunks, one step per chunk (the last one partial), back to 0.
  EXPECT_EQ(BarRange(), std::make_pair(1, 98999 / 4096));
  EXPECT_EQ(steps_, 98999 / 4096 + 1);
  EXPECT_EQ(lastSetPos_, 0);
}

TEST_F(ClipExtractionTest, Mp3ClipIsTheStereoBytesFromTheNextEvenByte) {
  Bytes source = clipbench::Tone16(44100, 2, 1234, 0.8, 30000);
  WriteSource(clipbench::WavBytes(44100, 2, source));
  ASSERT_TRUE(Clip(1001, 1002 + 4 * 20000, RingtoneMp3));
  Bytes wav = TestWav();
  ASSERT_EQ(wav.size(), 44u + 4 * 20000);
  const uint8_t stereo[16] = {1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0};
  EXPECT_EQ(std::memcmp(&wav[20], stereo, 16), 0);
  EXPECT_EQ(Samples(wav), Bytes(source.begin() + 1002, source.begin() + 1002 + 4 * 20000));
}

TEST_F(ClipExtractionTest, EmptyRangeAfterRoundingGivesAnEmptyDataChunk) {
  WriteSource(clipbench::WavBytes(8000, 1, clipbench::Tone16(8000, 1, 440, 0.5, 4000)));
  ASSERT_TRUE(Clip(501, 502, RingtoneWav));
  Bytes wav = TestWav();
  ASSERT_EQ(wav.size(), 44u);
  EXPECT_EQ(Le32At(wav, 40), 0u);
  EXPECT_EQ(BarRange(), std::make_pair(1, 0));
}

TEST_F(ClipExtractionTest, ConversionIsFilteredFoldedAndTheSameAsInOnePiece) {
  // 6 kHz cannot be kept at 8 kHz: it must vanish, not fold down to 2 kHz.
  Bytes alias = clipbench::Tone16(44100, 2, 6000, 0.9, 3 * 44100);
  WriteSource(clipbench::WavBytes(44100, 2, alias));
  ASSERT_TRUE(Clip(0, static_cast<uint32_t>(alias.size()), RingtoneQcp));
  std::vector<double> out = clipbench::Channel(Samples(TestWav()), 1, 0);
  ASSERT_EQ(out.size(), 24000u);
  EXPECT_LE(clipbench::RmsDb(out, 400) - 20 * std::log10(0.9 / std::sqrt(2.0)), -60.0);

  // A loud in-phase 1 kHz tone: folded without clipping, clean, and chunk by chunk exactly
  // what one conversion of all the bytes gives.
  Bytes tone = clipbench::Tone16(44100, 2, 1000, 0.98, 3 * 44100);
  WriteSource(clipbench::WavBytes(44100, 2, tone));
  ASSERT_TRUE(Clip(0, static_cast<uint32_t>(tone.size()), RingtoneMmf));
  Bytes pcm = Samples(TestWav());
  std::vector<double> x = clipbench::Channel(pcm, 1, 0);
  EXPECT_GE(clipbench::ToneSnrDb(x, 1000, 8000, 400), 85.0);
  EXPECT_NEAR(clipbench::RmsDb(x, 400), 20 * std::log10(0.98 / std::sqrt(2.0)), 0.05);

  PcmResampler whole;
  ASSERT_TRUE(whole.Open(PcmLayout{44100, 2, 16}, PcmLayout{8000, 1, 16}));
  Bytes reference(whole.MaxTargetBytes(tone.size()));
  reference.resize(whole.Convert(tone.data(), tone.size(), reference.data(), reference.size(), true));
  EXPECT_EQ(pcm, reference);
}

TEST_F(ClipExtractionTest, OtherLayoutsAndSampleSizesOfTheSong) {
  // A LIST chunk before "fmt " and a "fact" chunk before "data"; 8-bit mono at 11025 Hz.
  Bytes samples(11025, 128);
  for (size_t i = 0; i < samples.size(); ++i)
    samples[i] = static_cast<uint8_t>(128 + 100 * std::sin(2 * clipbench::Pi * 500 * i / 11025));
  WriteSource(Riff({{"LIST", Bytes(27, 'x')}, {"fmt ", Fmt(11025, 1, 8)}, {"fact", {1, 2, 3, 4}},
                    {"data", samples}}));
  ASSERT_TRUE(Clip(0, 11025, RingtoneAmr));
  Bytes wav = TestWav();
  EXPECT_EQ(Le32At(wav, 40), 2u * 8000);
  std::vector<double> x = clipbench::Channel(Samples(wav), 1, 0);
  EXPECT_GE(clipbench::ToneSnrDb(x, 500, 8000, 400), 40.0);  // 8-bit source

  // A data chunk that claims more than the file holds: the clip stops at the real end.
  Bytes truncated = clipbench::WavBytes(8000, 1, clipbench::Tone16(8000, 1, 300, 0.5, 1000));
  truncated[40] = 0xFF;
  truncated[41] = 0xFF;
  WriteSource(truncated);
  ASSERT_TRUE(Clip(0, 60000, RingtoneWav));
  EXPECT_EQ(Le32At(TestWav(), 40), 2000u);
}

TEST_F(ClipExtractionTest, FailuresEndTheExtractionWithAMessage) {
  struct Case {
    const char* what;
    Bytes source;
    const char* expected;  // part of the message
  };
  Bytes unknownTag = Fmt(8000, 1, 16);
  unknownTag[0] = 0x34;  // a format no converter knows
  unknownTag[1] = 0x12;
  const Case cases[] = {
      {"no converter", Riff({{"fmt ", unknownTag}, {"data", Bytes(4000, 1)}}), "ACMERR_NOTPOSSIBLE"},
      {"garbage", Bytes(300, 'g'), "d.wav"},
      {"no data", Riff({{"fmt ", Fmt(8000, 1, 16)}, {"LIST", Bytes(10, 'x')}}), "d.wav"},
      {"no format", Riff({{"data", Bytes(100, 0)}}), "d.wav"},
      {"missing", {}, "d.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.source.empty()) DeleteFileA((folder_ + "\\d.wav").c_str());
    else WriteSource(c.source);
    std::vector<encodetest::SeenDialog> boxes;
    EXPECT_FALSE(Clip(0, 2000, RingtoneWav, &boxes));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_NE(boxes[0].text.find(c.expected), std::string::npos) << boxes[0].text;
  }
}

// An ACM driver of the test's own for a made-up source format (tag 0x1234, laid out as 16-bit
// mono PCM) that it copies to 16-bit mono PCM, and that fails to let go of the header or the
// stream afterwards when told to.
constexpr WORD MadeUpTag = 0x1234;
bool failUnprepare = false;
bool failClose = false;

LRESULT FailingCleanupTagDetails(ACMFORMATTAGDETAILSW* details, DWORD flags) {
  WORD tag;
  switch (flags & ACM_FORMATTAGDETAILSF_QUERYMASK) {
    case ACM_FORMATTAGDETAILSF_INDEX:
      if (details->dwFormatTagIndex > 1) return ACMERR_NOTPOSSIBLE;
      tag = details->dwFormatTagIndex == 0 ? WAVE_FORMAT_PCM : MadeUpTag;
      break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
      tag = static_cast<WORD>(details->dwFormatTag);
      if (tag == WAVE_FORMAT_UNKNOWN) tag = MadeUpTag;
      if (tag != WAVE_FORMAT_PCM && tag != MadeUpTag) return ACMERR_NOTPOSSIBLE;
      break;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  details->dwFormatTagIndex = tag == WAVE_FORMAT_PCM ? 0 : 1;
  details->dwFormatTag = tag;
  details->cbFormatSize = sizeof(PCMWAVEFORMAT);
  details->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
  details->cStandardFormats = 0;
  details->szFormatTag[0] = L'\0';
  return MMSYSERR_NOERROR;
}

LRESULT CALLBACK FailingCleanupDriver(DWORD_PTR id, HDRVR driver, UINT message, LPARAM p1,
                                      LPARAM p2) {
  switch (message) {
    case DRV_LOAD: case DRV_FREE: case DRV_ENABLE: case DRV_DISABLE: case DRV_OPEN:
    case DRV_CLOSE:
      return 1;
    case AcmdmDriverDetails: {
      ACMDRIVERDETAILSW filled{};
      filled.cbStruct = sizeof filled;
      filled.fccType = ACMDRIVERDETAILS_FCCTYPE_AUDIOCODEC;
      filled.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CONVERTER;
      filled.cFormatTags = 2;
      auto* details = reinterpret_cast<ACMDRIVERDETAILSW*>(p1);
      DWORD room = std::min<DWORD>(details->cbStruct, sizeof filled);
      std::memcpy(details, &filled, room);
      details->cbStruct = room;
      return MMSYSERR_NOERROR;
    }
    case AcmdmFormatTagDetails:
      return FailingCleanupTagDetails(reinterpret_cast<ACMFORMATTAGDETAILSW*>(p1),
                                      static_cast<DWORD>(p2));
    case AcmdmStreamOpen: {
      auto* instance = reinterpret_cast<AcmDrvStreamInstance*>(p1);
      bool ours = instance->pwfxSrc->wFormatTag == MadeUpTag &&
                  instance->pwfxDst->wFormatTag == WAVE_FORMAT_PCM &&
                  instance->pwfxDst->nChannels == 1 && instance->pwfxDst->wBitsPerSample == 16;
      return ours ? MMSYSERR_NOERROR : ACMERR_NOTPOSSIBLE;
    }
    case AcmdmStreamSize: {
      auto* size = reinterpret_cast<AcmDrvStreamSize*>(p2);
      if ((size->fdwSize & ACM_STREAMSIZEF_QUERYMASK) == ACM_STREAMSIZEF_SOURCE)
        size->cbDstLength = size->cbSrcLength;
      else
        size->cbSrcLength = size->cbDstLength;
      return MMSYSERR_NOERROR;
    }
    case AcmdmStreamConvert: {
      auto* header = reinterpret_cast<AcmDrvStreamHeader*>(p2);
      DWORD n = std::min(header->cbSrcLength, header->cbDstLength);
      std::memcpy(header->pbDst, header->pbSrc, n);
      header->cbSrcLengthUsed = header->cbSrcLength;
      header->cbDstLengthUsed = n;
      return MMSYSERR_NOERROR;
    }
    case AcmdmStreamPrepare:
      return MMSYSERR_NOTSUPPORTED;
    case AcmdmStreamUnprepare:
      return failUnprepare ? MMSYSERR_ERROR : MMSYSERR_NOTSUPPORTED;
    case AcmdmStreamClose:
      return failClose ? MMSYSERR_ERROR : MMSYSERR_NOERROR;
    default:
      if (message >= AcmdmBase && message <= AcmdmBase + 0x0FFF) return MMSYSERR_NOTSUPPORTED;
      return DefDriverProc(id, driver, message, p1, p2);
  }
}

TEST_F(ClipExtractionTest, CleanupErrorsAfterTheLastChunkKeepTheFinishedClip) {
  using DriverProcType = LRESULT(CALLBACK*)(DWORD_PTR, HDRVR, UINT, LPARAM, LPARAM);
  constexpr DriverProcType proc = &FailingCleanupDriver;
  HACMDRIVERID id = nullptr;
  ASSERT_EQ(acmDriverAddA(&id, GetModuleHandleA(nullptr), reinterpret_cast<LPARAM>(proc), 0,
                          ACM_DRIVERADDF_FUNCTION | ACM_DRIVERADDF_LOCAL),
            MMSYSERR_NOERROR);
  Bytes madeUp = Fmt(8000, 1, 16);
  madeUp[0] = MadeUpTag & 0xFF;
  madeUp[1] = MadeUpTag >> 8;
  Bytes samples(40000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
  WriteSource(Riff({{"fmt ", madeUp}, {"data", samples}}));
  struct Case {
    const char* what;
    bool unprepare, close;
  };
  for (const Case& c : {Case{"header", true, false}, Case{"stream", false, true},
                        Case{"both", true, true}}) {
    SCOPED_TRACE(c.what);
    failUnprepare = c.unprepare;
    failClose = c.close;
    EXPECT_TRUE(Clip(1000, 21000, RingtoneWav));  // no message either
    Bytes clip = TestWav();
    ASSERT_EQ(clip.size(), 44u + 20000);
    EXPECT_EQ(Le32At(clip, 40), 20000u);
    EXPECT_TRUE(std::equal(clip.begin() + 44, clip.end(), samples.begin() + 1000));
  }
  failUnprepare = failClose = false;
  acmDriverRemove(id, 0);
}

TEST(ResamplerDriver, ServesPcmConversionsOnlyAndLeavesWithItsScope) {
  auto wave = [](uint32_t rate, uint16_t channels, uint16_t bits) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
  };
  auto servedBy = [](WAVEFORMATEX source, WAVEFORMATEX target) -> HACMDRIVERID {
    HACMSTREAM stream = nullptr;
    if (acmStreamOpen(&stream, nullptr, &source, &target, nullptr, 0, 0,
                      ACM_STREAMOPENF_NONREALTIME) != MMSYSERR_NOERROR)
      return nullptr;
    HACMDRIVERID id = nullptr;
    acmDriverID(reinterpret_cast<HACMOBJ>(stream), &id, 0);
    acmStreamClose(stream, 0);
    return id;
  };
  const WAVEFORMATEX cd = wave(44100, 2, 16), phone = wave(8000, 1, 16), phone8 = wave(8000, 1, 8);
  HACMDRIVERID ours;
  {
    ScopedResamplerDriver driver;
    ASSERT_TRUE(driver.Added());
    ours = driver.Id();
    EXPECT_EQ(servedBy(cd, phone), ours);
    // 8-bit output is not ours: the system's converter takes it.
    HACMDRIVERID other = servedBy(cd, phone8);
    EXPECT_NE(other, nullptr);
    EXPECT_NE(other, ours);
  }
  HACMDRIVERID after = servedBy(cd, phone);
  EXPECT_NE(after, nullptr);
  EXPECT_NE(after, ours);
}

}  // namespace
