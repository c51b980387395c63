// The AMR file: one frame per 160 samples after the magic, and its whole-file check.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "formats/amr_file.h"

namespace {

struct FakeCodec {
  std::vector<std::vector<int16_t>> frames;
  int failAt = -1;
};
int FakeEncode(void* context, const int16_t* frame, uint8_t* out) {
  auto* codec = static_cast<FakeCodec*>(context);
  if (static_cast<int>(codec->frames.size()) == codec->failAt) return -1;
  codec->frames.emplace_back(frame, frame + AmrFrameSamples);
  out[0] = static_cast<uint8_t>(codec->frames.size());
  out[1] = 0xAB;
  return 2;
}

TEST(AmrStream, OneFramePer160SamplesWithTheLastPaddedWithSilence) {
  for (size_t count : {0u, 1u, 159u, 160u, 161u, 480u}) {
    std::vector<int16_t> samples(count);
    for (size_t i = 0; i < count; ++i) samples[i] = static_cast<int16_t>(i + 1);
    FakeCodec codec;
    std::vector<uint8_t> file;
    ASSERT_TRUE(EncodeAmrStream(samples, FakeEncode, &codec, file));
    size_t frames = (count + 159) / 160;
    ASSERT_EQ(codec.frames.size(), frames) << count;
    EXPECT_EQ(file.size(), 6 + 2 * frames);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), "#!AMR\n");
    for (size_t i = 0; i < frames * 160; ++i) {
      int16_t expected = i < count ? static_cast<int16_t>(i + 1) : 0;
      ASSERT_EQ(codec.frames[i / 160][i % 160], expected) << count << " at " << i;
    }
  }
  FakeCodec failing;
  failing.failAt = 1;
  std::vector<int16_t> samples(400, 5);
  std::vector<uint8_t> file;
  EXPECT_FALSE(EncodeAmrStream(samples, FakeEncode, &failing, file));
}

TEST(AmrFileCheck, WholeFramesOfEveryKnownTypeAfterTheMagic) {
  // Header byte: type in bits 6..3, the quality bit 2; bytes per stored frame with it.
  const struct { uint8_t header; size_t bytes; } frames[] = {
      {0x04, 13}, {0x0C, 14}, {0x14, 16}, {0x1C, 18}, {0x24, 20}, {0x2C, 21}, {0x34, 27},
      {0x3C, 32}, {0x44, 6},  {0x7C, 1},  {0x38, 32}};  // 0x38: 12.2 kbit/s, quality bit off
  std::vector<uint8_t> file(AmrMagic, AmrMagic + 6);
  for (const auto& f : frames) {
    EXPECT_EQ(AmrStoredFrameBytes(f.header), f.bytes) << int(f.header);
    file.push_back(f.header);
    file.insert(file.end(), f.bytes - 1, 0xA5);
  }
  EXPECT_EQ(CheckAmrFile(file), 11);
  EXPECT_EQ(CheckAmrFile(std::vector<uint8_t>(AmrMagic, AmrMagic + 6)), 0);

  struct Damage { const char* what; std::vector<uint8_t> bytes; };
  std::vector<uint8_t> cut = file;
  cut.pop_back();
  cut.pop_back();  // the 12.2 frame loses its last byte
  std::vector<uint8_t> reserved = file;
  reserved.push_back(0x4C);  // type 9: no frame of AMR-NB
  std::vector<uint8_t> padding = file;
  padding.push_back(0x7D);  // no-data frame with a padding bit set
  std::vector<uint8_t> wideband(file);
  const char wb[] = "#!AMR-WB\n";
  std::copy(wb, wb + 6, wideband.begin());
  const Damage damage[] = {{"cut last frame", cut},
                           {"reserved type", reserved},
                           {"padding bit", padding},
                           {"other magic", wideband},
                           {"empty", {}},
                           {"half a magic", std::vector<uint8_t>(AmrMagic, AmrMagic + 3)}};
  for (const Damage& d : damage) EXPECT_EQ(CheckAmrFile(d.bytes), -1) << d.what;
}

}  // namespace
