// Select and convert through the real window with a WAV-format phone in the profile: the clip
// test.wav, the size box, the 100 KB refusal, and Alt+/ (command 104) converting and previewing.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "view/selection_range.h"
#include "formats/byte_order.h"
#include "import/clip_format.h"
#include "import/pcm_resampler.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdPlay = 5001, IdConvert = 5002, IdUpload = 5011, IdConvertAndPlay = 104,
              IdSizeEdit = 6020;
constexpr int StripY = 120;

// Seconds of a 44100 Hz stereo song: a 440 Hz tone.
std::vector<uint8_t> Song(double seconds) {
  return MakeWav(44100, 2, static_cast<uint32_t>(44100 * seconds), [](uint32_t i, int) {
    return static_cast<int16_t>(9000 * std::sin(i * 2 * 3.14159265358979 * 440 / 44100));
  });
}

class ConvertE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    LaunchOptions options;
    options.profile.type = 2;  // a phone that takes WAV ringtones
    ASSERT_TRUE(app_.Launch(options));
  }

  // Imports the song and waits until the window has it mapped (Upload then asks for a
  // conversion instead of a song).
  void Import(const std::vector<uint8_t>& song) {
    songBytes_ = static_cast<uint32_t>(song.size() - 44);
    std::string folder = app_.StartFolder() + "\\songs";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(folder + "\\song.wav", song));
    ASSERT_TRUE(app_.BrowseTo(folder + "\\song.wav"));
    ASSERT_TRUE(WaitUntil(
        [&] { return app_.UploadRefusal() == "Please make a selection and click convert"; },
        20000));
  }
  // The data size test.wav must have for a selection from anchorX to caretX.
  uint32_t ExpectedClipBytes(int anchorX, int caretX) {
    ClipByteRange range = SelectionByteRange(anchorX, caretX, songBytes_);
    ClipPlan plan = PlanClip(range.start, range.end, songBytes_, 4);
    return 2 * static_cast<uint32_t>(PcmResampler::TargetFrames(plan.clipBytes / 4, 44100, 8000));
  }
  // Waits for the size box to show a size (it is empty before the first conversion).
  std::string WaitForSize() {
    std::string text;
    WaitUntil([&] {
      text = app_.ChildText(IdSizeEdit);
      return text.size() > 2 && text.compare(text.size() - 2, 2, "KB") == 0;
    }, 20000);
    return text;
  }
  void ExpectTelephoneClip(uint32_t dataBytes) {
    std::vector<uint8_t> wav = ReadFileBytes(app_.WorkingFile("test.wav"));
    ASSERT_EQ(wav.size(), 44u + dataBytes);
    EXPECT_EQ(Le32At(wav, 16), 16u);
    EXPECT_EQ(Le16At(wav, 20), 1);   // PCM
    EXPECT_EQ(Le16At(wav, 22), 1);   // mono
    EXPECT_EQ(Le32At(wav, 24), 8000u);
    EXPECT_EQ(Le16At(wav, 34), 16);  // bits
    EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "data");
    EXPECT_EQ(Le32At(wav, 40), dataBytes);
  }

  App app_;
  uint32_t songBytes_ = 0;
};

TEST_F(ConvertE2e, ConvertWritesTheTelephoneClipAndShowsItsSize) {
  Import(Song(10));
  app_.Drag(100, 120, StripY);
  app_.Command(IdConvert);
  const uint32_t data = ExpectedClipBytes(100, 120);
  EXPECT_EQ(WaitForSize(), std::to_string((44 + data) / 1024) + "KB");
  ExpectTelephoneClip(data);
  EXPECT_TRUE(app_.IsEnabled(5003));  // Browse
  app_.Sync();
  Screenshot("convert-wav-clip");
  // Converted: Upload no longer asks for a conversion (it would now send; stop here).
}

TEST_F(ConvertE2e, ARingtoneOverHundredKilobytesIsRefused) {
  Import(Song(10));
  app_.Drag(64, 499, StripY);
  app_.Command(IdConvert);
  const uint32_t data = ExpectedClipBytes(64, 499);
  const int kilobytes = static_cast<int>((44 + data) / 1024);
  ASSERT_GT(kilobytes, 100);
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), "Warning", 20000),
            "Sorry,ringtones greater than 100KB are not \nallowed for compatibility reasons. "
            "Please choose a shorter clip\n size and convert again, and then click upload:\n "
            "Current Clip Size: " + std::to_string(kilobytes) + "KB");
  EXPECT_EQ(app_.ChildText(IdSizeEdit), "");
  ExpectTelephoneClip(data);  // the over-size file stays on disk
  // Not converted: Upload still asks for a conversion.
  EXPECT_EQ(app_.UploadRefusal(), "Please make a selection and click convert");
  EXPECT_TRUE(app_.IsEnabled(5003));
}

TEST_F(ConvertE2e, AltSlashConvertsAndPreviews) {
  Import(Song(10));
  app_.Drag(150, 200, StripY);
  RECT caret{};
  ASSERT_TRUE(app_.CaretRect(&caret));
  ASSERT_EQ(caret.left, 200);
  app_.Command(IdConvertAndPlay);  // what the accelerator Alt+/ sends
  const uint32_t data = ExpectedClipBytes(150, 200);
  EXPECT_EQ(WaitForSize(), std::to_string((44 + data) / 1024) + "KB");
  ExpectTelephoneClip(data);
  // The preview moves the caret as its play cursor.
  EXPECT_TRUE(WaitUntil([&] { return app_.CaretRect(&caret) && caret.left != 200; }, 10000))
      << "the preview did not start";
  app_.Sync();
  Screenshot("convert-and-play");
}

// While a preview plays, the strip parks the selection: the anchor at 0 and the caret as the play
// cursor, until a timer tick after the preview's end puts it back. Commands that convert cut the
// selection the user made all the same.
class ParkedSelection : public ConvertE2e {
 protected:
  // Selects `from`..`to`, plays it and waits until the play cursor has left the caret's place.
  void SelectAndPlay(int from, int to) {
    Import(Song(10));
    app_.Drag(from, to, StripY);
    app_.Command(IdPlay);
    RECT caret{};
    ASSERT_TRUE(WaitUntil([&] { return app_.CaretRect(&caret) && caret.left != to; }, 10000))
        << "the preview did not start";
  }
};

TEST_F(ParkedSelection, ConvertRightAfterStoppingThePreview) {
  SelectAndPlay(100, 280);  // about 4 seconds
  // Stop and Convert in one go, before any timer tick can put the selection back.
  app_.Command(IdPlay);
  app_.Command(IdConvert);
  const uint32_t data = ExpectedClipBytes(100, 280);
  EXPECT_EQ(WaitForSize(), std::to_string((44 + data) / 1024) + "KB");
  ExpectTelephoneClip(data);
  EXPECT_TRUE(NoDialogFor(app_.ProcessId(), 200));
}

TEST_F(ParkedSelection, AltSlashWhileThePreviewPlays) {
  SelectAndPlay(100, 330);  // about 5 seconds: still playing when Alt+/ comes
  app_.Command(IdConvertAndPlay);
  const uint32_t data = ExpectedClipBytes(100, 330);
  EXPECT_EQ(WaitForSize(), std::to_string((44 + data) / 1024) + "KB");
  ExpectTelephoneClip(data);
  // The selection is the user's again once the preview has ended.
  RECT caret{};
  EXPECT_TRUE(WaitUntil([&] { return app_.CaretRect(&caret) && caret.left == 330; }, 15000));
}

TEST_F(ParkedSelection, PlainConvertWhileThePreviewPlaysDoesNothing) {
  SelectAndPlay(100, 330);
  app_.Command(IdConvert);
  app_.Sync();
  EXPECT_TRUE(NoDialogFor(app_.ProcessId(), 200));
  EXPECT_EQ(app_.ChildText(IdSizeEdit), "");
  EXPECT_FALSE(FileExists(app_.WorkingFile("test.wav")));
}

}  // namespace
