// The QCP container: its layout around QCELP-13K packets and its whole-file check.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "formats/byte_order.h"
#include "formats/qcp_file.h"

TEST(QcpFile, LayoutOfTheContainer) {
  std::vector<uint8_t> packets;
  for (int p = 0; p < 3; ++p) {
    packets.push_back(4);
    packets.insert(packets.end(), 34, uint8_t(p + 1));
  }
  std::vector<uint8_t> f;
  ASSERT_TRUE(BuildQcpFile(packets, f));
  ASSERT_EQ(f.size(), 194u + 105u + 1u) << "header, 3 packets, pad byte";
  EXPECT_EQ(std::memcmp(f.data(), "RIFF", 4), 0);
  EXPECT_EQ(Le32(f.data() + 4), f.size() - 8);
  EXPECT_EQ(std::memcmp(f.data() + 8, "QLCMfmt ", 8), 0);
  EXPECT_EQ(Le32(f.data() + 16), 150u);
  EXPECT_EQ(f[20], 1);  // major version
  EXPECT_EQ(f[21], 0);
  const uint8_t guid[16] = {0x41, 0x6D, 0x7F, 0x5E, 0x15, 0xB1, 0xD0, 0x11,
                            0xBA, 0x91, 0x00, 0x80, 0x5F, 0xB4, 0xB9, 0x7E};
  EXPECT_EQ(std::memcmp(f.data() + 22, guid, 16), 0);
  EXPECT_STREQ(reinterpret_cast<const char*>(f.data() + 40), "Qcelp 13K");
  EXPECT_EQ(Le16(f.data() + 120), 14000) << "average bit rate at full rate";
  EXPECT_EQ(Le16(f.data() + 122), 35);   // packet size with the rate octet
  EXPECT_EQ(Le16(f.data() + 124), 160);  // samples per packet
  EXPECT_EQ(Le16(f.data() + 126), 8000);
  EXPECT_EQ(Le16(f.data() + 128), 16);
  EXPECT_EQ(Le32(f.data() + 130), 5u);
  const uint8_t rateMap[10] = {34, 4, 16, 3, 7, 2, 3, 1, 0, 0};
  EXPECT_EQ(std::memcmp(f.data() + 134, rateMap, 10), 0);
  EXPECT_EQ(std::memcmp(f.data() + 170, "vrat", 4), 0);
  EXPECT_EQ(Le32(f.data() + 174), 8u);
  EXPECT_EQ(Le32(f.data() + 178), 1u);
  EXPECT_EQ(Le32(f.data() + 182), 3u);
  EXPECT_EQ(std::memcmp(f.data() + 186, "data", 4), 0);
  EXPECT_EQ(Le32(f.data() + 190), 105u);
  EXPECT_EQ(f[194], 4);
  EXPECT_EQ(f[194 + 35], 4);
  EXPECT_EQ(CheckQcpFile(f), 3);
}

TEST(QcpFile, CheckRefusesDamage) {
  std::vector<uint8_t> packets = {4};
  packets.insert(packets.end(), 34, 0x55);
  packets.push_back(1);  // an eighth-rate packet
  packets.insert(packets.end(), 3, 0);
  std::vector<uint8_t> good;
  ASSERT_TRUE(BuildQcpFile(packets, good));
  ASSERT_EQ(CheckQcpFile(good), 2);
  EXPECT_EQ(Le16(good.data() + 120), 7800) << "39 bytes in two 20 ms frames";

  std::vector<uint8_t> f = good;
  f[22] ^= 0xFF;  // another codec
  EXPECT_EQ(CheckQcpFile(f), -1);
  f = good;
  f[182] = 3;  // packet count disagrees
  EXPECT_EQ(CheckQcpFile(f), -1);
  f = good;
  f[194] = 9;  // unknown rate octet
  EXPECT_EQ(CheckQcpFile(f), -1);
  f = good;
  f.resize(f.size() - 2);  // data chunk cut
  EXPECT_EQ(CheckQcpFile(f), -1);
  f = good;
  f[8] = 'X';
  EXPECT_EQ(CheckQcpFile(f), -1);
  EXPECT_EQ(CheckQcpFile({}), -1);
  std::vector<uint8_t> bad = {9};
  EXPECT_FALSE(BuildQcpFile(bad, f));
  std::vector<uint8_t> cutPacket = {4, 1, 2};
  EXPECT_FALSE(BuildQcpFile(cutPacket, f));
}
