// The MPEG-4 box walk of the iPhone ringtone over a small file built box by box, and the same
// file with one fault at a time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/byte_order.h"
#include "formats/m4r_file.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Be(Bytes& b, uint32_t v) {
  uint8_t p[4];
  PutBe32(p, v);
  b.insert(b.end(), p, p + 4);
}
Bytes Box(const char* type, const Bytes& body) {
  Bytes b;
  Be(b, static_cast<uint32_t>(8 + body.size()));
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

struct Faults {
  std::string brand = "M4A ";
  uint8_t objectType = 2;
  std::string handler = "soun";
  int audioTracks = 1;
  uint32_t chunkOffset = 40;
  uint32_t sampleCount = 3;
  uint32_t mvhdVersion = 0;
};

Bytes File(const Faults& f) {
  Bytes ftyp;
  ftyp.insert(ftyp.end(), f.brand.begin(), f.brand.end());
  Be(ftyp, 0);
  ftyp.insert(ftyp.end(), {'M', '4', 'A', ' ', 'm', 'p', '4', '2'});
  Bytes mvhd;
  Be(mvhd, f.mvhdVersion << 24);
  Be(mvhd, 0);
  Be(mvhd, 0);
  Be(mvhd, 1000);   // timescale
  Be(mvhd, 26012);  // duration
  mvhd.resize(100);
  const Bytes esds = Box("esds", {0, 0, 0, 0, 0x03, 25, 0, 1, 0, 0x04, 17, 0x40, 0x15, 0, 0, 0,
                                  0, 2, 0x71, 0, 0, 2, 0x71, 0, 0x05, 2,
                                  static_cast<uint8_t>(f.objectType << 3 | 2), 0x10});
  Bytes mp4a(28, 0);
  mp4a[7] = 1;
  mp4a[17] = 2;                  // channels
  mp4a[19] = 16;                 // bits
  PutBe32(&mp4a[24], 44100u << 16);
  Bytes stsd{0, 0, 0, 0, 0, 0, 0, 1};
  const Bytes entry = Box("mp4a", Cat({mp4a, esds}));
  stsd.insert(stsd.end(), entry.begin(), entry.end());
  Bytes stsz{0, 0, 0, 0};
  Be(stsz, 0);
  Be(stsz, f.sampleCount);
  for (int i = 0; i < 3; ++i) Be(stsz, 4);
  Bytes stco{0, 0, 0, 0};
  Be(stco, 1);
  Be(stco, f.chunkOffset);
  Bytes hdlr{0, 0, 0, 0, 0, 0, 0, 0};
  hdlr.insert(hdlr.end(), f.handler.begin(), f.handler.end());
  hdlr.resize(24);
  const Bytes trak = Box(
      "trak", Box("mdia", Cat({Box("hdlr", hdlr),
                               Box("minf", Box("stbl", Cat({Box("stsd", stsd), Box("stsz", stsz),
                                                            Box("stco", stco)})))})));
  Bytes moov = Box("mvhd", mvhd);
  for (int i = 0; i < f.audioTracks; ++i) moov = Cat({moov, trak});
  return Cat({Box("ftyp", ftyp), Box("mdat", Bytes(12, 0x21)), Box("moov", moov)});
}

TEST(M4rFile, ReadsTheWholeFile) {
  const Bytes file = File({});
  M4rFileInfo info;
  ASSERT_TRUE(ReadM4rFile(file, &info));
  EXPECT_EQ(info.majorBrand, M4aBrand);
  EXPECT_EQ(info.audioTracks, 1u);
  EXPECT_EQ(info.audioObjectType, AacLowComplexity);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(M4rDurationMs(info), 26012u);
  EXPECT_EQ(CheckM4rFile(file), 3);
  EXPECT_EQ(M4rFileDurationMs(file), 26012);
}

TEST(M4rFile, RefusesEachFault) {
  const struct {
    const char* fault;
    Faults faults;
  } rows[] = {
      {"brand of a song", {.brand = "isom"}},
      {"HE-AAC", {.objectType = 5}},
      {"no audio track", {.handler = "vide"}},
      {"two audio tracks", {.audioTracks = 2}},
      {"chunk past the end", {.chunkOffset = 100000}},
      {"sample table longer than its box", {.sampleCount = 4000}},
      {"movie header of version 2", {.mvhdVersion = 2}},
  };
  for (const auto& row : rows) EXPECT_EQ(CheckM4rFile(File(row.faults)), -1) << row.fault;

  const Bytes file = File({});
  for (size_t cut : {size_t{0}, size_t{7}, file.size() / 2, file.size() - 1})
    EXPECT_EQ(CheckM4rFile(std::span(file).first(cut)), -1) << "cut at " << cut;
  Bytes tooLong = file;
  PutBe32(&tooLong[0], 0x7FFFFFF0);  // the ftyp's size beyond the file
  EXPECT_EQ(CheckM4rFile(tooLong), -1);
}

}  // namespace
