// WAV files as recorders and editors write them, through the real window: a compressed one is
// refused with its reason, and a 24-bit WAVE_FORMAT_EXTENSIBLE one imports as 16-bit PCM and
// becomes an AMR ringtone of the selection's length.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "view/selection_range.h"
#include "formats/byte_order.h"
#include "import/clip_format.h"
#include "import/pcm_resampler.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdPlay = 5001, IdSizeEdit = 6020;
constexpr uint32_t Rate = 48000;

void Put(std::vector<uint8_t>& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Tag(std::vector<uint8_t>& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}

// The 16-bit value of frame i, channel c: a tone, a different one on each side.
int16_t Tone(uint32_t i, int c) {
  return static_cast<int16_t>(12000 * std::sin(i * 2 * 3.14159265358979 * (c ? 660 : 440) / Rate));
}

// A 24-bit stereo 48 kHz file laid out as sox writes one: a 40-byte extensible "fmt " record
// (PCM sub-format, front left and right), a "fact" chunk, the samples. Each 24-bit sample is
// its tone value times 256 plus 0x40, so it rounds to the tone value.
std::vector<uint8_t> Extensible24(uint32_t frames) {
  std::vector<uint8_t> w;
  Tag(w, "RIFF");
  Put(w, 4 + 48 + 12 + 8 + frames * 6, 4);
  Tag(w, "WAVE");
  Tag(w, "fmt ");
  Put(w, 40, 4);
  Put(w, 0xFFFE, 2);
  Put(w, 2, 2);
  Put(w, Rate, 4);
  Put(w, Rate * 6, 4);
  Put(w, 6, 2);
  Put(w, 24, 2);
  Put(w, 22, 2);
  Put(w, 24, 2);
  Put(w, 3, 4);
  const uint8_t pcmGuid[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
  w.insert(w.end(), pcmGuid, pcmGuid + 16);
  Tag(w, "fact");
  Put(w, 4, 4);
  Put(w, frames, 4);
  Tag(w, "data");
  Put(w, frames * 6, 4);
  for (uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < 2; ++c) Put(w, static_cast<uint32_t>(Tone(i, c) * 256 + 0x40), 3);
  return w;
}

// An IMA ADPCM header with some bytes of data: enough for the program to see what it is.
std::vector<uint8_t> ImaAdpcm() {
  std::vector<uint8_t> w;
  Tag(w, "RIFF");
  Put(w, 4 + 28 + 8 + 256, 4);
  Tag(w, "WAVE");
  Tag(w, "fmt ");
  Put(w, 20, 4);
  for (uint32_t v : {0x11u, 1u}) Put(w, v, 2);
  Put(w, 8000, 4);
  Put(w, 4055, 4);
  for (uint32_t v : {256u, 4u, 2u, 505u}) Put(w, v, 2);
  Tag(w, "data");
  Put(w, 256, 4);
  w.resize(w.size() + 256, 0x5A);
  return w;
}

TEST(WavImport, CompressedIsRefusedAndA24BitExtensibleWavBecomesAnAmrRingtone) {
  LaunchOptions options;
  options.profile.type = 1;  // a phone that takes AMR ringtones
  App app;
  ASSERT_TRUE(app.Launch(options));
  std::string folder = app.StartFolder() + "\\songs";
  CreateDirectoryA(folder.c_str(), nullptr);

  ASSERT_TRUE(WriteFileBytes(folder + "\\adpcm.wav", ImaAdpcm()));
  ASSERT_TRUE(app.BrowseTo(folder + "\\adpcm.wav"));
  HWND box = WaitForDialog(app.ProcessId(), "Warning", 20000);
  ASSERT_NE(box, nullptr);
  Screenshot("wav-adpcm-refused");
  EXPECT_EQ(MessageBoxText(box),
            "Sorry, this WAV file holds compressed sound (ADPCM), which Quavella cannot read. "
            "Please choose a PCM WAV file.");
  PressButton(box);
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
  app.Command(IdPlay);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"),
            "Please click browse to select a MP3, CD or WAV file");

  // Eight seconds of 24-bit stereo: d.wav is its 16-bit PCM in the chunked layout.
  const uint32_t frames = 8 * Rate;
  ASSERT_TRUE(WriteFileBytes(folder + "\\recording.wav", Extensible24(frames)));
  ASSERT_TRUE(app.BrowseTo(folder + "\\recording.wav"));
  ASSERT_TRUE(app.WaitLoaded());
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 200));
  std::vector<uint8_t> wav = ReadFileBytes(app.WorkingFile("d.wav"));
  ASSERT_EQ(wav.size(), 56u + frames * 4);
  EXPECT_EQ(Le16At(wav, 20), 1);  // PCM
  EXPECT_EQ(wav[22], 2);
  EXPECT_EQ(Le32At(wav, 24), Rate);
  EXPECT_EQ(wav[34], 16);
  EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "fact");
  EXPECT_EQ(std::string(wav.begin() + 48, wav.begin() + 52), "data");
  EXPECT_EQ(Le32At(wav, 52), frames * 4);
  int wrong = 0;
  for (uint32_t i = 0; i < frames; ++i)
    for (int c = 0; c < 2; ++c) {
      size_t at = 56 + (i * 2 + c) * 2;
      wrong += static_cast<int16_t>(wav[at] | wav[at + 1] << 8) != Tone(i, c);
    }
  EXPECT_EQ(wrong, 0) << "samples that are not the source's rounded to 16 bits";
  app.Sync();
  Screenshot("wav-24bit-extensible-imported");

  // A selection converted to AMR: one 20 ms frame per 160 samples of the 8 kHz clip.
  ASSERT_TRUE(app.ConvertSelection(100, 250)) << "no size after Convert";
  ClipByteRange range = SelectionByteRange(100, 250, frames * 4);
  ClipPlan plan = PlanClip(range.start, range.end, frames * 4, 4);
  uint64_t clipSamples = PcmResampler::TargetFrames(plan.clipBytes / 4, Rate, 8000);
  std::vector<uint8_t> clip = ReadFileBytes(app.WorkingFile("test.wav"));
  ASSERT_GE(clip.size(), 44u);
  EXPECT_EQ(Le32At(clip, 40), clipSamples * 2);
  std::vector<uint8_t> amr = ReadFileBytes(app.WorkingFile("a.amr"));
  EXPECT_EQ(AmrFrameCount(amr), static_cast<int>((clipSamples + 159) / 160));
  EXPECT_EQ(app.ChildText(IdSizeEdit), std::to_string(amr.size() / 1024) + "KB");
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 100));
  app.Sync();
  Screenshot("wav-24bit-extensible-converted-to-amr");
}

}  // namespace
