// The MPEG-4 box walk of the iPhone ringtone over a small file built box by box, and the same
// file with one fault at a time (the reader's whole-file rules: format, layout, length, size).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/byte_order.h"
#include "formats/m4r_file.h"
#include "tests/unit/mp4_box_bytes.h"

namespace {

using namespace mp4_test;

struct Faults {
  std::string brand = "M4A ";
  uint8_t objectType = 2;
  Bytes configTail;  // after the AudioSpecificConfig's first two bytes
  std::string handler = "soun";
  int audioTracks = 1;
  uint32_t chunkOffset = 32;  // where the media data's body starts
  uint32_t sampleCount = 3;
  uint32_t sampleBytes = 4;
  uint32_t extraData = 0;     // bytes of the media data that no sample covers
  uint32_t mvhdVersion = 0;
  uint32_t mvhdTimescale = 1000;
  uint64_t mvhdDuration = 26012;
  uint32_t mdhdDuration = 1147131;  // 3 samples of 382377 at 44100 Hz: 26.012 s
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
  if (f.mvhdVersion == 1) mvhd.resize(mvhd.size() + 8);  // 64-bit creation and change times
  Be(mvhd, f.mvhdTimescale);
  if (f.mvhdVersion == 1) Be(mvhd, static_cast<uint32_t>(f.mvhdDuration >> 32));
  Be(mvhd, static_cast<uint32_t>(f.mvhdDuration));
  mvhd.resize(112);
  Bytes mdhd{0, 0, 0, 0};
  Be(mdhd, 0);
  Be(mdhd, 0);
  Be(mdhd, 44100);
  Be(mdhd, f.mdhdDuration);
  Be(mdhd, 0);
  const Bytes config =
      Cat({{static_cast<uint8_t>(f.objectType << 3 | 2), 0x10}, f.configTail});
  const uint8_t tail = static_cast<uint8_t>(f.configTail.size());
  const Bytes esds = Box("esds", Cat({{0, 0, 0, 0, 0x03, static_cast<uint8_t>(25 + tail), 0, 1, 0,
                                       0x04, static_cast<uint8_t>(17 + tail), 0x40, 0x15, 0, 0, 0,
                                       0, 2, 0x71, 0, 0, 2, 0x71, 0, 0x05,
                                       static_cast<uint8_t>(config.size())},
                                      config}));
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
  for (int i = 0; i < 3; ++i) Be(stsz, f.sampleBytes);
  Bytes stts{0, 0, 0, 0};
  Be(stts, 1);
  Be(stts, 3);
  Be(stts, 382377);
  Bytes stsc{0, 0, 0, 0};
  Be(stsc, 1);
  Be(stsc, 1);
  Be(stsc, 3);
  Be(stsc, 1);
  Bytes stco{0, 0, 0, 0};
  Be(stco, 1);
  Be(stco, f.chunkOffset);
  Bytes hdlr{0, 0, 0, 0, 0, 0, 0, 0};
  hdlr.insert(hdlr.end(), f.handler.begin(), f.handler.end());
  hdlr.resize(24);
  const Bytes stbl = Box("stbl", Cat({Box("stsd", stsd), Box("stts", stts), Box("stsc", stsc),
                                      Box("stsz", stsz), Box("stco", stco)}));
  const Bytes trak = Box(
      "trak", Box("mdia", Cat({Box("mdhd", mdhd), Box("hdlr", hdlr), Box("minf", stbl)})));
  Bytes moov = Box("mvhd", mvhd);
  for (int i = 0; i < f.audioTracks; ++i) moov = Cat({moov, trak});
  return Cat({Box("ftyp", ftyp), Box("mdat", Bytes(3 * f.sampleBytes + f.extraData, 0x21)),
              Box("moov", moov)});
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
  EXPECT_EQ(M4rDurationMs(UINT64_MAX, 1), UINT64_MAX) << "saturates, never wraps";
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
      {"HE-AAC signalled by the sync extension 0x2B7 with SBR",
       {.configTail = {0x56, 0xE5, 0x80}}},
      {"movie header shorter than the samples", {.mvhdDuration = 20000}},
      {"media header shorter than the samples", {.mdhdDuration = 882000}},
      {"a duration that would wrap in milliseconds",
       {.mvhdVersion = 1, .mvhdTimescale = 1, .mvhdDuration = 18446744073709552ull}},
      {"media data that no sample covers", {.extraData = 900}},
      {"samples that start inside the media data", {.chunkOffset = 36}},
      {"more bytes than 26 s at 320 kbit/s", {.sampleBytes = 400000}},
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
