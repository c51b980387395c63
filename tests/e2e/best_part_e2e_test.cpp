// The best part of a song through the real window: after the import the proposed part shows
// as a band under the trace with its times in the ruler band; G selects it exactly, "Next
// suggestion" moves on, and "Select the suggested part after opening a song" survives a restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/best_part.h"
#include "analysis/proposal_length.h"
#include "tests/e2e/driver.h"
#include "view/selection_frames.h"

namespace {

using namespace e2e;

constexpr int IdConvert = 5002, IdExit = 5005, IdSizeEdit = 6020;
constexpr int WavFormat = 2;  // test.wav, 8000 Hz mono, is the ringtone
constexpr uint32_t Rate = 8000;
constexpr char OptionsKey[] = "Software\\Quavella";

// 12-second sections of 2-second chords: a verse, a louder and richer chorus, a bridge, in the
// form verse chorus verse chorus bridge chorus.
std::vector<int16_t> SongSamples() {
  struct Section {
    std::vector<std::vector<int>> chords;
    int harmonics;
    double level;
  };
  const Section verse{{{60, 64, 67}, {57, 60, 64}, {53, 57, 60}, {55, 59, 62}}, 2, 0.4};
  const Section chorus{{{65, 69, 72}, {67, 71, 74}, {64, 67, 71}, {69, 72, 76}}, 5, 0.7};
  const Section bridge{{{62, 66, 69}, {61, 64, 68}}, 1, 0.3};
  std::vector<int16_t> pcm;
  for (const Section* s : {&verse, &chorus, &verse, &chorus, &bridge, &chorus})
    for (uint32_t n = 0; n < 12 * Rate; ++n) {
      const auto& chord = s->chords[(n / (2 * Rate)) % s->chords.size()];
      const double t = double(n % (2 * Rate)) / Rate;
      double v = 0;
      for (int note : chord)
        for (int h = 1; h <= s->harmonics; ++h)
          v += std::sin(2 * std::numbers::pi * 440 * std::pow(2.0, (note - 69) / 12.0) * h * t) / h;
      const double click = std::fmod(t, 0.5) < 0.01 ? 0.8 * std::sin(2 * std::numbers::pi * 1500 * t) : 0;
      pcm.push_back(int16_t(std::lround(std::clamp((v / 6 + click) * s->level, -1.0, 1.0) * 32000)));
    }
  return pcm;
}

class BestPartE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteKeyA(HKEY_CURRENT_USER, OptionsKey);
    samples_ = SongSamples();
    song_ = MakeWav(Rate, 1, uint32_t(samples_.size()), [&](uint32_t i, int) { return samples_[i]; });
    const PcmSong pcm{{reinterpret_cast<const uint8_t*>(samples_.data()), samples_.size() * 2}, Rate, 1, 16};
    count_ = FindBestParts(pcm, ProposalMilliseconds(WavFormat), nullptr, parts_);
    ASSERT_GE(count_, 2);
    Launch();
  }
  void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, OptionsKey); }

  void Launch() {
    LaunchOptions options;
    options.profile.type = WavFormat;
    if (!startFolder_.empty()) options.startFolder = startFolder_;
    ASSERT_TRUE(app_.Launch(options));
    startFolder_ = app_.StartFolder();
  }
  void Import() {
    const std::string path = app_.StartFolder() + "\\song.wav";
    ASSERT_TRUE(WriteFileBytes(path, song_));
    ASSERT_TRUE(app_.BrowseTo(path));
    ASSERT_TRUE(app_.WaitLoaded());
  }
  void Key(WORD key) {
    SetForegroundWindow(app_.Window());
    PostMessageA(app_.Window(), WM_KEYDOWN, key, 0);
    app_.Sync();
  }
  int CaretX() {
    RECT r{};
    return app_.CaretRect(&r) ? r.left : -1000;
  }
  int Column(uint64_t frame) { return StripXForFrame(frame, 0, samples_.size()); }
  // The band of proposal `i` is drawn at the foot of the trace (inverted, as all of the strip
  // is, where it is selected).
  bool BandShown(int i, bool selected = false) {
    const Capture shot = CaptureClient(app_.Window());
    const int middle = (Column(parts_[i].startFrame) + Column(parts_[i].endFrame)) / 2;
    return shot.width > middle && shot.At(middle, 167) == (selected ? 0xFF8728u : 0x0078D7u);
  }
  // Converts and checks that test.wav holds exactly the frames of proposal `i`.
  void ExpectClipOf(int i) {
    SetWindowTextA(app_.Child(IdSizeEdit), "");
    app_.Command(IdConvert);
    ASSERT_TRUE(WaitUntil([&] {
      const std::string text = app_.ChildText(IdSizeEdit);
      return text.size() > 2 && text.compare(text.size() - 2, 2, "KB") == 0;
    }, 20000));
    const std::vector<uint8_t> wav = ReadFileBytes(app_.WorkingFile("test.wav"));
    const size_t from = 44 + 2 * parts_[i].startFrame, to = 44 + 2 * parts_[i].endFrame;
    ASSERT_EQ(wav.size(), 44 + to - from);
    EXPECT_TRUE(std::equal(wav.begin() + 44, wav.end(), song_.begin() + from));
  }

  App app_;
  std::string startFolder_;
  std::vector<int16_t> samples_;
  std::vector<uint8_t> song_;
  BestPartProposal parts_[BestPartMaxProposals];
  int count_ = 0;
};

TEST_F(BestPartE2e, SuggestedPartShowsIsSelectedExactlyCyclesAndIsTakenOnOpening) {
  Import();
  ASSERT_TRUE(WaitUntil([&] { return BandShown(0); }, 10000)) << "no band under the trace";
  // With the option off nothing is selected for the user.
  EXPECT_EQ(CaretX(), 63);
  SaveCapture(CaptureClient(app_.Window()), "best_part_suggested");

  Key('G');
  EXPECT_EQ(CaretX(), Column(parts_[0].endFrame));
  ExpectClipOf(0);

  Key('N');  // the selection follows the band
  EXPECT_TRUE(BandShown(1, true));
  EXPECT_EQ(CaretX(), Column(parts_[1].endFrame));
  SaveCapture(CaptureClient(app_.Window()), "best_part_next");
  ExpectClipOf(1);
  for (int i = 1; i < count_; ++i) Key('N');  // round to the first again
  EXPECT_TRUE(BandShown(0, true));

  // The option, by the menu's keyboard, kept across a restart: the part is selected on opening.
  SetForegroundWindow(app_.Window());
  PostMessageA(app_.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app_.Window()), -1);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (menu = FindProcessWindow(app_.ProcessId(), "#32768")); }, 5000));
  PostMessageA(menu, WM_CHAR, 'a', 0);
  ASSERT_TRUE(WaitUntil([&] { return !FindProcessWindow(app_.ProcessId(), "#32768"); }, 5000));
  app_.Command(IdExit);
  ASSERT_EQ(app_.WaitForExit(), 0);
  Launch();
  Import();
  ASSERT_TRUE(WaitUntil([&] { return CaretX() == Column(parts_[0].endFrame); }, 10000));
  ExpectClipOf(0);
}

}  // namespace
