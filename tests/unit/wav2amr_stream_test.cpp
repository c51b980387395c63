#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "encoders/wav2amr/amr_stream.h"

namespace {

TEST(Wav2AmrCommand, TakesTheProgramsOwnFormWithTheNameRepeated) {
  const char* full[] = {"C:\\x y\\wav2amr.exe", "wav2amr", "test.wav", "a.amr", "MR67"};
  Wav2AmrCommand c;
  std::string error;
  ASSERT_TRUE(ParseWav2AmrCommand(5, full, c, error)) << error;
  EXPECT_EQ(c.input, "test.wav");
  EXPECT_EQ(c.output, "a.amr");
  EXPECT_EQ(c.mode, 3);
  EXPECT_FALSE(c.dtx);
  const char* shortForm[] = {"wav2amr.exe", "in.wav", "out.amr", "mr122"};
  ASSERT_TRUE(ParseWav2AmrCommand(4, shortForm, c, error));
  EXPECT_EQ(c.input, "in.wav");
  EXPECT_EQ(c.mode, 7);

  const char* withDtx[] = {"wav2amr.exe", "wav2amr", "in.wav", "out.amr", "MR475", "-dtx"};
  ASSERT_TRUE(ParseWav2AmrCommand(6, withDtx, c, error));
  EXPECT_TRUE(c.dtx);
  EXPECT_EQ(c.input, "in.wav");
  EXPECT_EQ(c.mode, 0);
  const char* shortDtx[] = {"wav2amr.exe", "in.wav", "out.amr", "MR475", "-DTX"};
  ASSERT_TRUE(ParseWav2AmrCommand(5, shortDtx, c, error));  // not read as the long form
  EXPECT_TRUE(c.dtx);
  EXPECT_EQ(c.input, "in.wav");

  const char* noMode[] = {"wav2amr.exe", "in.wav", "out.amr"};
  EXPECT_FALSE(ParseWav2AmrCommand(3, noMode, c, error));
  EXPECT_NE(error.find("usage"), std::string::npos);
  const char* badMode[] = {"wav2amr.exe", "wav2amr", "in.wav", "out.amr", "MR68"};
  EXPECT_FALSE(ParseWav2AmrCommand(5, badMode, c, error));
  EXPECT_NE(error.find("MR68"), std::string::npos);
}

TEST(Wav2AmrCommand, NamesEveryMode) {
  const char* names[] = {"MR475", "MR515", "MR59", "MR67", "MR74", "MR795", "MR102", "MR122"};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(AmrModeFromName(names[i]), i) << names[i];
  for (const char* bad : {"", "MR", "MR67 ", "MR1220", "MRDTX", "67"}) {
    EXPECT_EQ(AmrModeFromName(bad), -1) << bad;
  }
}

}  // namespace
