// The SMAF (MMF) file: its CRC, the plan of its parts and its whole-file check.
#include <gtest/gtest.h>

#include <span>
#include <vector>

#include "formats/smaf_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A file as the writer lays it out, around `samples` samples' worth of wave bytes.
Bytes Written(size_t samples) {
  SmafContent content;
  SmafPlan plan;
  EXPECT_TRUE(PlanSmafFile(8000, samples, content, plan));
  Bytes file(plan.fileBytes, 0x88);
  WriteSmafFrame(plan, content, file);
  return file;
}

TEST(SmafCrc16, IsTheInvertedCcittSum) {
  EXPECT_EQ(SmafCrc16(std::span(reinterpret_cast<const uint8_t*>("123456789"), 9)), 0xD64E);
}

TEST(SmafFileCheck, TakesTheWritersFilesAndRefusesDamage) {
  const Bytes good = Written(801);
  ASSERT_EQ(CheckSmafFile(good), 1);
  struct Damage { const char* what; Bytes bytes; };
  std::vector<Damage> damage;
  auto add = [&](const char* what, auto change) {
    Bytes b = good;
    change(b);
    damage.push_back({what, b});
  };
  add("a wave byte changed", [](Bytes& b) { b[80] ^= 0x10; });
  add("CRC changed", [](Bytes& b) { b.back() ^= 1; });
  add("cut", [](Bytes& b) { b.resize(b.size() - 3); });
  add("a byte more", [](Bytes& b) { b.push_back(0); });
  add("other magic", [](Bytes& b) { b[0] = 'X'; });
  add("file size says more", [](Bytes& b) { b[7] += 1; });
  add("CNTI not first", [](Bytes& b) { b[8] = 'X'; });
  add("track chunk runs past the end", [](Bytes& b) { b[25] = 0x7F; });
  add("empty", [](Bytes& b) { b.clear(); });
  for (const Damage& d : damage) EXPECT_EQ(CheckSmafFile(d.bytes), -1) << d.what;

  // Chunks that fit but carry no track: no ringtone, even with a right CRC.
  const char head[] = "MMMD\0\0\0\x0F" "CNTI\0\0\0\x05" "\x00\x01\x01\x00\x00";
  Bytes noTrack(head, head + sizeof head - 1);
  const uint16_t crc = SmafCrc16(noTrack);
  noTrack.push_back(static_cast<uint8_t>(crc >> 8));
  noTrack.push_back(static_cast<uint8_t>(crc));
  EXPECT_EQ(CheckSmafFile(noTrack), -1);
}

TEST(SmafPlan, CodesRatesAndPicksATimebaseTheNoteFits) {
  SmafContent content;
  SmafPlan plan;
  for (uint32_t rate : {4000u, 8000u, 11025u, 22050u, 44100u}) {
    ASSERT_TRUE(PlanSmafFile(rate, 100, content, plan)) << rate;
    EXPECT_EQ(plan.rateCode, SmafRateCode(rate));
  }
  EXPECT_FALSE(PlanSmafFile(16000, 100, content, plan));
  EXPECT_FALSE(PlanSmafFile(8000, 0, content, plan));
  // Two duration bytes reach 16511 ticks: 66 s in 4 ms steps, about 13.7 minutes in 50 ms.
  ASSERT_TRUE(PlanSmafFile(8000, 8000 * 66, content, plan));
  EXPECT_EQ(plan.timebaseCode, 0x02);
  EXPECT_EQ(plan.gateTicks, 16500u);
  ASSERT_TRUE(PlanSmafFile(8000, 8000 * 67, content, plan));
  EXPECT_EQ(plan.timebaseCode, 0x03);
  EXPECT_EQ(plan.gateTicks, 13400u);
  ASSERT_TRUE(PlanSmafFile(8000, 8000 * 825, content, plan));
  EXPECT_EQ(plan.timebaseCode, 0x13);
  EXPECT_FALSE(PlanSmafFile(8000, 8000 * 826, content, plan));
}

}  // namespace
