// The Ogg page walk of the Android ringtone over pages built here with their CRCs, and the
// same stream with one fault at a time.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "formats/byte_order.h"
#include "formats/ogg_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

// One page holding `packets` whole (the last one open when `open`).
Bytes Page(uint8_t type, uint64_t granule, uint32_t serial, uint32_t sequence,
           const std::vector<Bytes>& packets, bool open = false) {
  Bytes page = {'O', 'g', 'g', 'S', 0, type};
  for (int i = 0; i < 8; ++i) page.push_back(static_cast<uint8_t>(granule >> (8 * i)));
  AppendLe32(page, serial);
  AppendLe32(page, sequence);
  AppendLe32(page, 0);
  Bytes lacing, body;
  for (const Bytes& packet : packets) {
    size_t left = packet.size();
    do {
      const uint8_t l = static_cast<uint8_t>(left >= 255 ? 255 : left);
      lacing.push_back(l);
      left -= l;
    } while (lacing.back() == 255);
    body.insert(body.end(), packet.begin(), packet.end());
  }
  if (open) lacing.pop_back();
  page.push_back(static_cast<uint8_t>(lacing.size()));
  page.insert(page.end(), lacing.begin(), lacing.end());
  page.insert(page.end(), body.begin(), body.end());
  PutLe32(&page[22], OggPageCrc(page));
  return page;
}

Bytes Identification(uint8_t channels, uint32_t rate) {
  Bytes id = {1, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0, channels};
  AppendLe32(id, rate);
  id.resize(28, 0);
  id.push_back(0xD8);  // blocks of 256 and 8192 samples
  id.push_back(1);
  return id;
}

Bytes Header(uint8_t type) { return {type, 'v', 'o', 'r', 'b', 'i', 's', 0, 0, 0, 0}; }

struct Shape {
  uint8_t channels = 2;
  uint32_t lastSerial = 7;
  uint32_t lastSequence = 5;
  bool setupHeader = true;
  uint64_t lastGranule = 44100 * 37 + 22050;
  uint64_t thirdGranule = 0;  // the third audio page's granule when not 0
  uint64_t finalGranule = 0;  // the last page's when not 0
  size_t packetBytes = 1;
  uint8_t packetType = 0;     // the audio packets' first byte
};

// Identification; comment and setup; then 420 audio packets on four pages.
Bytes Stream(const Shape& s = {}) {
  Bytes file = Page(2, 0, 7, 0, {Identification(s.channels, 44100)});
  std::vector<Bytes> headers{Header(3)};
  if (s.setupHeader) headers.push_back(Header(5));
  const Bytes second = Page(0, 0, 7, 1, headers);
  file.insert(file.end(), second.begin(), second.end());
  const std::vector<Bytes> packets(105, Bytes(s.packetBytes, s.packetType));
  for (uint32_t k = 1; k <= 4; ++k) {
    uint64_t granule = s.lastGranule * k / 4;
    if (k == 3 && s.thirdGranule) granule = s.thirdGranule;
    if (k == 4 && s.finalGranule) granule = s.finalGranule;
    const Bytes page = Page(k == 4 ? 4 : 0, granule, k == 4 ? s.lastSerial : 7,
                            k == 4 ? s.lastSequence : k + 1, packets);
    file.insert(file.end(), page.begin(), page.end());
  }
  return file;
}

TEST(OggFile, CrcOfTheStandardCheckString) {
  const char text[] = "123456789";
  EXPECT_EQ(OggPageCrc(std::span(reinterpret_cast<const uint8_t*>(text), 9)), 0x89A1897Fu);
}

TEST(OggFile, ReadsTheWholeStream) {
  const Bytes file = Stream();
  OggFileInfo info;
  ASSERT_TRUE(ReadOggVorbisFile(file, &info));
  EXPECT_EQ(info.pages, 6u);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(OggDurationMs(info), 37500u);
  EXPECT_EQ(CheckOggFile(file), 6);
  EXPECT_EQ(OggFileDurationMs(file), 37500);
}

TEST(OggFile, RefusesEachFault) {
  Bytes badCrc = Stream();
  badCrc[40] ^= 1;
  Bytes notVorbis = Stream();
  std::memcpy(&notVorbis[29], "vorbiz", 6);
  Bytes cut = Stream();
  cut.pop_back();
  const struct {
    const char* fault;
    Bytes file;
  } rows[] = {
      {"CRC", badCrc},
      {"no Vorbis header", notVorbis},
      {"no channels", Stream({.channels = 0})},
      {"a second stream", Stream({.lastSerial = 8})},
      {"a page missing", Stream({.lastSequence = 6})},
      {"cut in a page", cut},
      {"empty", {}},
      {"no setup header", Stream({.setupHeader = false})},
      {"packets that are not audio", Stream({.packetType = 0x55})},
      {"the last granule edited down", Stream({.finalGranule = 44100 * 20})},
      {"every granule edited down to 1 s", Stream({.lastGranule = 44100})},
      {"a granule that goes back", Stream({.thirdGranule = 44100 * 39})},
      {"more samples than the packets give", Stream({.lastGranule = 44100 * 60})},
      {"more bytes than 2 s at 320 kbit/s", Stream({.lastGranule = 88200, .packetBytes = 400})},
  };
  for (const auto& row : rows) EXPECT_EQ(CheckOggFile(row.file), -1) << row.fault;
}

}  // namespace
