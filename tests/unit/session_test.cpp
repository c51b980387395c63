#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "session/file_size.h"
#include "session/ringtone_format.h"

namespace {

std::string WriteTempFile(const std::string& name, size_t bytes) {
  std::string path = ::testing::TempDir() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  std::vector<char> zeros(bytes, 'x');
  if (bytes) std::fwrite(zeros.data(), 1, bytes, f);
  std::fclose(f);
  return path;
}

TEST(FileSizeBytes, CountsBytesAndRoundsKilobytesTowardZero) {
  struct Case { size_t bytes; int32_t kb; };
  for (Case c : {Case{0, 0}, Case{1023, 0}, Case{1024, 1}, Case{102400, 100}, Case{103423, 100},
                 Case{103424, 101}}) {
    std::string path = WriteTempFile("qv_size_" + std::to_string(c.bytes), c.bytes);
    EXPECT_EQ(FileSizeBytes(path.c_str()), static_cast<int32_t>(c.bytes));
    EXPECT_EQ(KilobytesOf(FileSizeBytes(path.c_str())), c.kb) << c.bytes;
    std::remove(path.c_str());
  }
}

TEST(FileSizeBytes, MissingFileIsMinusOneAndZeroKilobytes) {
  std::string path = ::testing::TempDir() + "qv_no_such_file";
  std::remove(path.c_str());
  EXPECT_EQ(FileSizeBytes(path.c_str()), -1);
  EXPECT_EQ(KilobytesOf(FileSizeBytes(path.c_str())), 0);
  EXPECT_EQ(FileSizeBytes(nullptr), -1);
}

TEST(RingtoneFileName, NamesEveryFormatAndNothingElse) {
  EXPECT_STREQ(RingtoneFileName(RingtoneQcp), "new.qcp");
  EXPECT_STREQ(RingtoneFileName(RingtoneAmr), "a.amr");
  EXPECT_STREQ(RingtoneFileName(RingtoneWav), "test.wav");
  EXPECT_STREQ(RingtoneFileName(RingtoneMp3), "a.mp3");
  EXPECT_STREQ(RingtoneFileName(RingtoneMmf), "test.mmf");
  EXPECT_EQ(RingtoneFileName(5), nullptr);
  EXPECT_EQ(RingtoneFileName(-1), nullptr);
}

}  // namespace
