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

// A file of `bytes` bytes that takes no room: one byte written at its end.
std::string WriteSparseFile(const std::string& name, int64_t bytes) {
  std::string path = ::testing::TempDir() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return path;
#ifdef _WIN32
  _fseeki64(f, bytes - 1, SEEK_SET);
#else
  fseeko(f, bytes - 1, SEEK_SET);
#endif
  std::fputc('x', f);
  std::fclose(f);
  return path;
}

TEST(SourceTooLarge, BrowseGateHoldsForFilesOfAnySize) {
  struct Case { int64_t bytes; bool refused; };
  const Case cases[] = {
      {20999999, false}, {21000000, true}, {(int64_t{1} << 31) - 1, true},
      {int64_t{1} << 31, true},          // measured as -1 in 32 bits
      {(int64_t{1} << 32) + 100, true},  // 100 in 32 bits
  };
  for (const Case& c : cases) {
    std::string path = WriteSparseFile("qv_sparse_" + std::to_string(c.bytes), c.bytes);
    EXPECT_EQ(FileSizeBytes64(path.c_str()), c.bytes);
    EXPECT_EQ(SourceTooLarge(FileSizeBytes64(path.c_str())), c.refused) << c.bytes;
    std::remove(path.c_str());
  }
  // A file that cannot be measured is left to the import, which fails with its own message.
  EXPECT_EQ(FileSizeBytes64((::testing::TempDir() + "qv_no_such_file").c_str()), -1);
  EXPECT_FALSE(SourceTooLarge(-1));
}

}  // namespace

TEST(RingtoneTooLong, LengthRuleOfThePhonesOfToday) {
  const struct {
    int32_t format;
    int64_t durationMs;
    bool tooLong;
  } rows[] = {{RingtoneM4r, 30000, false}, {RingtoneM4r, 30001, true},
              {RingtoneOgg, 40000, false}, {RingtoneOgg, 40001, true},
              {RingtoneMp3, 600000, false}, {99, 600000, false}};
  for (const auto& row : rows)
    EXPECT_EQ(RingtoneTooLong(row.format, row.durationMs), row.tooLong)
        << row.format << " " << row.durationMs;
  EXPECT_EQ(TooLongMessage(RingtoneM4r),
            "Sorry, iPhone ringtones can be at most 30 seconds long. Please choose a shorter "
            "clip and convert again.");
  EXPECT_EQ(TooLongMessage(RingtoneOgg),
            "Sorry, Android ringtones can be at most 40 seconds long. Please choose a shorter "
            "clip and convert again.");
  EXPECT_EQ(TooLongMessage(RingtoneAmr), "");
  EXPECT_EQ(StereoClipMs(176400 * 37), 37000);
}
