// Today's phones through the real window: with the iPhone's profile a selection over 30
// seconds is refused with the length message and one of 26 seconds becomes a.m4r (AAC-LC,
// 44,100 Hz stereo, as long as the selection) that Upload sends as "m4r"; with the Android
// phone's profile a 37-second selection becomes a.ogg (Vorbis) and is sent as "ogg".
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "view/selection_range.h"
#include "formats/m4r_file.h"
#include "formats/ogg_file.h"
#include "import/clip_format.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdConvert = 5002, IdUpload = 5011, IdBrowse = 5003, IdSizeEdit = 6020;
constexpr int StripY = 120;
constexpr double SongSeconds = 50;
// Selections of a 50-second song from the strip's first live pixel: to 74 % (36.9 s) and to
// 52 % (25.9 s).
constexpr int AnchorX = 64, LongCaretX = 387, ShortCaretX = 291;

const char SuccessText[] = "The RingTone has successfully been sent to your phone.";

class PhonesE2e : public ::testing::Test {
 protected:
  void Start(const Profile& profile) {
    standIn_ = StandIn::OfSession();
    if (!standIn_.folder.empty()) standIn_.Answer("success");
    LaunchOptions options;
    options.profile = profile;
    ASSERT_TRUE(app_.Launch(options));
    const std::vector<uint8_t> song =
        MakeWav(44100, 2, static_cast<uint32_t>(44100 * SongSeconds), [](uint32_t i, int c) {
          return static_cast<int16_t>(9000 * std::sin(i * 2 * 3.14159265358979 * (c ? 660 : 440) /
                                                      44100));
        });
    songBytes_ = static_cast<uint32_t>(song.size() - 44);
    const std::string folder = app_.StartFolder() + "\\songs";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(folder + "\\Phone Song.wav", song));
    ASSERT_TRUE(app_.BrowseTo(folder + "\\Phone Song.wav"));
    ASSERT_TRUE(WaitUntil(
        [&] { return app_.UploadRefusal() == "Please make a selection and click convert"; },
        30000));
  }
  // Seconds of the clip a selection to `caretX` gives (CD sound, no resampling).
  double SelectionSeconds(int caretX) const {
    const ClipByteRange range = SelectionByteRange(AnchorX, caretX, songBytes_);
    return PlanClip(range.start, range.end, songBytes_, 4).clipBytes / 176400.0;
  }
  bool Convert(int caretX) {
    app_.Drag(AnchorX, caretX, StripY);
    app_.Command(IdConvert);
    return WaitUntil([&] {
      const std::string text = app_.ChildText(IdSizeEdit);
      return text.size() > 2 && text.compare(text.size() - 2, 2, "KB") == 0;
    }, 120000);
  }
  // Uploads and returns the file part's head (disposition and type) as the stand-in got it.
  std::string UploadFilePartHead() {
    if (standIn_.folder.empty()) return "skipped";
    const size_t before = standIn_.Requests().size();
    app_.Command(IdUpload);
    EXPECT_EQ(TakeMessageBox(app_.ProcessId(), "RingTone Upload", 30000), SuccessText);
    EXPECT_TRUE(WaitUntil([&] { return app_.IsEnabled(IdUpload); }, 15000));
    if (!WaitUntil([&] { return standIn_.Requests().size() == before + 1; }, 10000))
      return "no request: " + std::to_string(before) + " before, " +
             std::to_string(standIn_.Requests().size()) + " after, in " + standIn_.folder;
    const std::vector<std::string> requests = standIn_.Requests();
    const std::string& raw = requests.back();
    const size_t part = raw.find("name=\"file_data\"");
    if (part == std::string::npos) return "no file part";
    return raw.substr(part, raw.find("\r\n\r\n", part) - part);
  }

  App app_;
  StandIn standIn_;
  uint32_t songBytes_ = 0;
};

TEST_F(PhonesE2e, IphoneRefusesLongClipsAndTakesAShortOneAsM4r) {
  Start(TodaysPhoneProfile(true));
  ASSERT_GT(SelectionSeconds(LongCaretX), 30);
  app_.Drag(AnchorX, LongCaretX, StripY);
  app_.Command(IdConvert);
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), "Warning", 30000),
            "Sorry, iPhone ringtones can be at most 30 seconds long. Please choose a shorter "
            "clip and convert again.");
  EXPECT_EQ(app_.ChildText(IdSizeEdit), "");
  EXPECT_FALSE(FileExists(app_.WorkingFile("a.m4r")));
  EXPECT_EQ(app_.UploadRefusal(), "Please make a selection and click convert");
  EXPECT_TRUE(app_.IsEnabled(IdBrowse));

  ASSERT_TRUE(Convert(ShortCaretX));
  app_.Sync();
  Screenshot("iphone-m4r-converted");
  const std::vector<uint8_t> m4r = ReadFileBytes(app_.WorkingFile("a.m4r"));
  M4rFileInfo info;
  ASSERT_TRUE(ReadM4rFile(m4r, &info)) << m4r.size() << " bytes";
  EXPECT_EQ(info.majorBrand, M4aBrand);
  EXPECT_EQ(info.audioObjectType, AacLowComplexity);
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(info.channels, 2);
  EXPECT_NEAR(M4rDurationMs(info) / 1000.0, SelectionSeconds(ShortCaretX), 0.15);
  const std::string head = UploadFilePartHead();
  if (head != "skipped")
    EXPECT_EQ(head, "name=\"file_data\"; filename=\"a.m4r\"\r\nContent-Type: m4r");
}

TEST_F(PhonesE2e, AndroidTakesA37SecondClipAsOggVorbis) {
  Start(TodaysPhoneProfile(false));
  ASSERT_TRUE(Convert(LongCaretX));
  app_.Sync();
  Screenshot("android-ogg-converted");
  const std::vector<uint8_t> ogg = ReadFileBytes(app_.WorkingFile("a.ogg"));
  OggFileInfo info;
  ASSERT_TRUE(ReadOggVorbisFile(ogg, &info)) << ogg.size() << " bytes";
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(info.channels, 2);
  EXPECT_NEAR(OggDurationMs(info) / 1000.0, SelectionSeconds(LongCaretX), 0.15);
  const std::string head = UploadFilePartHead();
  if (head != "skipped")
    EXPECT_EQ(head, "name=\"file_data\"; filename=\"a.ogg\"\r\nContent-Type: ogg");
}

}  // namespace
