#include <gtest/gtest.h>

#include <vector>

#include "encode/mmf_call.h"
#include "encode/tool_command_line.h"

namespace {

TEST(ToolCommandLine, QuotedPathTwoSpacesAndTheParameters) {
  EXPECT_EQ(ToolCommandLine("C:\\My Tones\\wav2amr.exe", "wav2amr test.wav a.amr MR67"),
            "\"C:\\My Tones\\wav2amr.exe\"  wav2amr test.wav a.amr MR67");
  EXPECT_EQ(PathInDirectory("C:\\My Tones", "lame.exe"), "C:\\My Tones\\lame.exe");
  EXPECT_EQ(PathInDirectory("C:\\", "lame.exe"), "C:\\lame.exe");
}

TEST(MmfCapacity, FourTimesInputPlusThousandGrowingFourfoldUpToTheCap) {
  EXPECT_EQ(InitialMmfCapacity(0), 4000u);
  EXPECT_EQ(InitialMmfCapacity(100000), 404000u);
  // Computed without wrapping: a huge input is capped, not made small.
  EXPECT_EQ(InitialMmfCapacity(1073741000u), MmfCapacityCap);
  EXPECT_EQ(InitialMmfCapacity(0xFFFFFFFFu), MmfCapacityCap);
  EXPECT_EQ(NextMmfCapacity(4000), 16000u);
  EXPECT_EQ(NextMmfCapacity(600000000u), MmfCapacityCap);
}

struct Recorder {
  std::vector<uint32_t> resized, called;
  std::vector<int32_t> answers;
  bool resizeWorks = true;
  int32_t Run(uint32_t inputLength) {
    return ConvertWithGrowth(
        inputLength,
        [&](uint32_t c) {
          resized.push_back(c);
          return resizeWorks;
        },
        [&](uint32_t c) {
          called.push_back(c);
          size_t i = called.size() - 1;
          return i < answers.size() ? answers[i] : MmfResultTooSmall;
        });
  }
};

TEST(MmfGrowth, AskingForMoreRoomTwiceMakesTheThirdCallSixteenTimesLarger) {
  Recorder r;
  r.answers = {-2, -2, 777};
  EXPECT_EQ(r.Run(1000), 777);
  EXPECT_EQ(r.called, (std::vector<uint32_t>{8000, 32000, 128000}));
  EXPECT_EQ(r.resized, r.called);
}

TEST(MmfGrowth, FailuresAndAnswersThatMakeNoSense) {
  Recorder failed;
  failed.answers = {-1};
  EXPECT_EQ(failed.Run(10), -1);
  EXPECT_EQ(failed.called.size(), 1u);

  // Always too small: grows to the cap, tries once there, then gives up.
  Recorder exhausted;
  EXPECT_EQ(exhausted.Run(0), -1);
  ASSERT_FALSE(exhausted.called.empty());
  EXPECT_EQ(exhausted.called.back(), MmfCapacityCap);
  EXPECT_EQ(exhausted.called.size(), 11u);  // 4000 * 4^9 > cap after nine growths

  Recorder noMemory;
  noMemory.resizeWorks = false;
  EXPECT_EQ(noMemory.Run(10), -1);
  EXPECT_TRUE(noMemory.called.empty());

  Recorder tooLong;  // a length beyond the buffer it was written into
  tooLong.answers = {4001};
  EXPECT_EQ(tooLong.Run(0), -1);
  Recorder odd;
  odd.answers = {-7};
  EXPECT_EQ(odd.Run(0), -1);
  Recorder exact;
  exact.answers = {4000};
  EXPECT_EQ(exact.Run(0), 4000);
}

TEST(MmfOutputName, ExtensionReplacedBesideTheInput) {
  EXPECT_EQ(MmfOutputName("test.wav"), "test.mmf");
  EXPECT_EQ(MmfOutputName("D:\\clips.v2\\my song.wav"), "D:\\clips.v2\\my song.mmf");
  EXPECT_EQ(MmfOutputName("D:\\clips.v2\\noext"), "D:\\clips.v2\\noext.mmf");
  EXPECT_EQ(MmfOutputName("a.b.wav"), "a.b.mmf");
  EXPECT_EQ(MmfOutputName("C:test.wav"), "C:test.mmf");
}

TEST(MmfOptions, FirstBytesAndThirteenEmptyTexts) {
  MmfOptions options;
  EXPECT_EQ(options.first, 0);
  EXPECT_EQ(options.second, 0xF8);
  for (const char* text : options.texts) {
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
  }
}

}  // namespace
