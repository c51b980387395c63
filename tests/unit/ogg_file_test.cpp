// The Ogg page walk of the Android ringtone over pages built here with their CRCs, and the
// same stream with one fault at a time.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "formats/byte_order.h"
#include "formats/ogg_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Page(uint8_t type, uint64_t granule, uint32_t serial, uint32_t sequence, const Bytes& body) {
  Bytes page = {'O', 'g', 'g', 'S', 0, type};
  for (int i = 0; i < 8; ++i) page.push_back(static_cast<uint8_t>(granule >> (8 * i)));
  AppendLe32(page, serial);
  AppendLe32(page, sequence);
  AppendLe32(page, 0);
  size_t left = body.size();
  Bytes lacing;
  do {
    const uint8_t l = static_cast<uint8_t>(left >= 255 ? 255 : left);
    lacing.push_back(l);
    left -= l;
  } while (lacing.back() == 255);
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
  id.push_back(0xB8);
  id.push_back(1);
  return id;
}

Bytes Stream(uint8_t channels = 2, uint32_t secondSerial = 7, uint32_t lastSequence = 2) {
  Bytes file = Page(2, 0, 7, 0, Identification(channels, 44100));
  const Bytes audio = Page(0, 44100 * 20, 7, 1, Bytes(300, 0x55));
  const Bytes last = Page(4, 44100 * 37 + 22050, secondSerial, lastSequence, Bytes(40, 0x66));
  file.insert(file.end(), audio.begin(), audio.end());
  file.insert(file.end(), last.begin(), last.end());
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
  EXPECT_EQ(info.pages, 3u);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(OggDurationMs(info), 37500u);
  EXPECT_EQ(CheckOggFile(file), 3);
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
      {"no channels", Stream(0)},
      {"a second stream", Stream(2, 8)},
      {"a page missing", Stream(2, 7, 3)},
      {"cut in a page", cut},
      {"empty", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(CheckOggFile(row.file), -1) << row.fault;
}

}  // namespace
