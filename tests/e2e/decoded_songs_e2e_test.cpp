// Songs that are not MP3 or WAV, through the real window: one of each family (made by the
// system's ffmpeg at build time) becomes a 16-bit d.wav at its own rate up to 48 kHz, in stereo
// or mono (a voice memo stays mono); an M4A named .mp3 opens too, and so does a 43 MB FLAC of
// four minutes (the Browse size gate is for MP3 and WAV files); ten minutes of Opus are cut at
// the import's limit; the FLAC becomes an AMR ringtone of the selection's length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "view/selection_range.h"
#include "formats/byte_order.h"
#include "import/clip_format.h"
#include "import/pcm_resampler.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdPathEdit = 5004;
const char Truncated[] =
    "Sorry, Quavella has truncated the end of the music\nyou have opened since it is larger "
    "than the maximum duration supported. \nIf you wish to edit and send the truncated portion "
    "of your song,\nplease use one of many commercially available MP3, CD or WAV editing tools "
    "that you can find on your search engine.";

std::string PlaceSong(const App& app, const char* made) {
  std::string folder = app.StartFolder() + "\\songs";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\" + made;
  std::string source = WindowsPath(std::getenv("QV_BUILD_DIR")) + "\\test-data\\decoded\\" + made;
  EXPECT_TRUE(CopyFileA(source.c_str(), path.c_str(), FALSE)) << source;
  return path;
}

TEST(DecodedSongs, EveryFamilyOpensAndTheFlacBecomesAnAmrRingtone) {
  LaunchOptions options;
  options.profile = AmrPhoneProfile();
  App app;
  ASSERT_TRUE(app.Launch(options));

  // Browse's first file type lists every kind of song the program opens.
  app.Command(5003);
  HWND dialog = WaitForDialog(app.ProcessId(), "Please select a file...");
  ASSERT_NE(dialog, nullptr);
  HWND types = GetDlgItem(dialog, 0x470);  // the file type combo box
  ASSERT_NE(types, nullptr);
  wchar_t first[256] = {};  // the dialog's controls are Unicode windows
  SendMessageW(types, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(first));
  EXPECT_STREQ(first, L"All songs");
  EXPECT_EQ(SendMessageA(types, CB_GETCOUNT, 0, 0), 4);
  WaitUntil([] { return false; }, 500);  // the dialog draws itself
  Screenshot("decoded-browse-file-types");
  ASSERT_TRUE(PressButton(dialog, IDCANCEL));

  // Four minutes, 43 MB: taken whole, with no message.
  {
    std::string song = PlaceSong(app, "big.flac");
    ASSERT_GT(FileSize(song), 21000000);
    ASSERT_TRUE(app.BrowseTo(song));
    ASSERT_TRUE(app.WaitLoaded());
    EXPECT_TRUE(NoDialogFor(app.ProcessId(), 100));
    EXPECT_EQ(FileSize(app.WorkingFile("d.wav")), 56 + 240 * 44100 * 4);
  }

  // Ten minutes of Opus: cut at the import's limit with the MP3 branch's message.
  {
    ASSERT_TRUE(app.BrowseTo(PlaceSong(app, "long.opus")));
    EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning", 60000), Truncated);
    ASSERT_TRUE(app.WaitLoaded());
    EXPECT_TRUE(NoDialogFor(app.ProcessId(), 100));
    std::vector<uint8_t> wav = ReadFileBytes(app.WorkingFile("d.wav"));
    ASSERT_GT(wav.size(), 56u);
    EXPECT_GT(Le32At(wav, 52), 50000000u);
    EXPECT_LE(Le32At(wav, 52), 50000000u + 120 * 48 * 4);  // one Opus frame (120 ms) more
  }

  struct Case {
    const char* file;
    uint32_t rate;
    int channels;
  } cases[] = {
      {"song.m4a", 44100, 2},  {"song.ogg", 44100, 2},  {"song.opus", 48000, 2},
      {"song.wma", 44100, 2},  {"video.mp4", 48000, 2}, {"mislabelled.mp3", 44100, 2},
      {"voice.m4a", 16000, 1},
      {"song.flac", 48000, 2},  // 24-bit 96 kHz: 16 bits at 48 kHz
  };
  std::vector<uint8_t> wav;
  for (const Case& c : cases) {
    std::string song = PlaceSong(app, c.file);
    ASSERT_TRUE(app.BrowseTo(song)) << c.file;
    ASSERT_TRUE(app.WaitLoaded()) << c.file;
    EXPECT_TRUE(NoDialogFor(app.ProcessId(), 100)) << c.file;
    EXPECT_EQ(app.ChildText(IdPathEdit), song);
    wav = ReadFileBytes(app.WorkingFile("d.wav"));
    ASSERT_GT(wav.size(), 56u) << c.file;
    EXPECT_EQ(wav[20] | wav[21] << 8, 1) << c.file;  // PCM
    EXPECT_EQ(wav[22], c.channels) << c.file;
    EXPECT_EQ(Le32At(wav, 24), c.rate) << c.file;
    EXPECT_EQ(wav[34], 16) << c.file;
    EXPECT_EQ(Le32At(wav, 52), wav.size() - 56) << c.file;
    // Four seconds of tone, give or take the codecs' padding; heard, and nowhere at full scale.
    const uint32_t frames = Le32At(wav, 52) / (2 * c.channels);
    EXPECT_NEAR(frames, 4.0 * c.rate, 0.03 * c.rate * 4) << c.file;
    int peak = 0;
    for (size_t at = 56; at + 1 < wav.size(); at += 2)
      peak = std::max(peak, std::abs(static_cast<int16_t>(wav[at] | wav[at + 1] << 8)));
    EXPECT_GT(peak, 2000) << c.file;
    EXPECT_LT(peak, 32767) << c.file;
  }
  app.Sync();
  Screenshot("decoded-flac-imported");

  // The FLAC's selection converted to AMR: one 20 ms frame per 160 samples of the 8 kHz clip.
  const uint32_t dataBytes = Le32At(wav, 52);
  ASSERT_TRUE(app.ConvertSelection(100, 250)) << "no size after Convert";
  ClipByteRange range = SelectionByteRange(100, 250, dataBytes);
  ClipPlan plan = PlanClip(range.start, range.end, dataBytes, 4);
  uint64_t clipSamples = PcmResampler::TargetFrames(plan.clipBytes / 4, 48000, 8000);
  std::vector<uint8_t> amr = ReadFileBytes(app.WorkingFile("a.amr"));
  EXPECT_EQ(AmrFrameCount(amr), static_cast<int>((clipSamples + 159) / 160));
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 100));
}

}  // namespace
