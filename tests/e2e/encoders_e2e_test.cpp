// Each ringtone format through the real window, with the encoders we ship: a phone of that
// format in the profile, a clip selected and converted.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

struct FormatCase {
  int type;
  const char* file;
  const char* magic;
  size_t magicAt;
};

class Encoders : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Encoders, ClipIsConvertedAndItsSizeShown) {
  const FormatCase& c = GetParam();
  LaunchOptions options;
  options.profile.type = c.type;
  App app;
  ASSERT_TRUE(app.Launch(options));

  // Five seconds of a chord with a little noise: something every codec has to work at.
  std::vector<uint8_t> song = MakeWav(44100, 2, 44100 * 5, [](uint32_t i, int ch) {
    double t = i / 44100.0;
    double v = 0.3 * std::sin(2 * 3.14159265358979 * 440 * t) + 0.2 * std::sin(2 * 3.14159265358979 * 660 * t + ch) +
               0.02 * std::sin(i * 12.9898);
    return static_cast<int16_t>(32767 * v);
  });
  std::string songPath = app.StartFolder() + "\\song.wav";
  ASSERT_TRUE(WriteFileBytes(songPath, song));
  ASSERT_TRUE(app.BrowseTo(songPath));
  ASSERT_TRUE(WaitUntil([&] {
    return app.ProgressPosition() == app.ProgressRange().second &&
           ReadFileBytes(app.WorkingFile("d.wav")).size() == song.size();
  }, 30000));
  WaitUntil([] { return false; }, 300);
  app.Drag(100, 250);  // about 1.7 seconds
  app.Command(5002);
  ASSERT_TRUE(WaitUntil([&] { return app.ChildText(6020).find("KB") != std::string::npos; },
                        60000))
      << "no size after Convert";
  std::vector<uint8_t> ringtone = ReadFileBytes(app.WorkingFile(c.file));
  ASSERT_GT(ringtone.size(), 100u) << c.file;
  EXPECT_EQ(0, std::memcmp(ringtone.data() + c.magicAt, c.magic, std::strlen(c.magic)))
      << c.file << " does not look like its format";
  EXPECT_EQ(app.ChildText(6020), std::to_string(ringtone.size() / 1024) + "KB");
  Screenshot(std::string("converted-") + c.file);
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 100));
}

INSTANTIATE_TEST_SUITE_P(Formats, Encoders,
                         ::testing::Values(FormatCase{1, "a.amr", "#!AMR\n", 0},
                                           FormatCase{3, "a.mp3", "\xFF", 0},
                                           FormatCase{4, "test.mmf", "MMMD", 0},
                                           FormatCase{0, "new.qcp", "QLCM", 8}),
                         [](const auto& info) {
                           std::string name = info.param.file;
                           return name.substr(name.find('.') + 1);
                         });

}  // namespace
