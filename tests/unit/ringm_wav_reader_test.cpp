#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "encoders/ringm/pcm_wav_reader.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Chunk(Bytes& b, const char* id, const Bytes& body, uint32_t declared = 0xFFFFFFFFu) {
  b.insert(b.end(), id, id + 4);
  Put32(b, declared == 0xFFFFFFFFu ? static_cast<uint32_t>(body.size()) : declared);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
}
Bytes Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
  Bytes f;
  Put16(f, tag);
  Put16(f, channels);
  Put32(f, rate);
  Put32(f, rate * channels * bits / 8);
  Put16(f, static_cast<uint16_t>(channels * bits / 8));
  Put16(f, bits);
  return f;
}
Bytes Samples(std::initializer_list<int16_t> values) {
  Bytes b;
  for (int16_t v : values) Put16(b, static_cast<uint16_t>(v));
  return b;
}
Bytes Riff(const Bytes& chunks) {
  Bytes b{'R', 'I', 'F', 'F'};
  Put32(b, static_cast<uint32_t>(chunks.size() + 4));
  b.insert(b.end(), {'W', 'A', 'V', 'E'});
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

TEST(PcmWavReader, FindsFormatAndDataInAnyChunkOrder) {
  Bytes fmt = Fmt(1, 1, 8000, 16), data = Samples({1, -2, 300});
  Bytes plain, listFirst, dataFirst, oddJunk;
  Chunk(plain, "fmt ", fmt);
  Chunk(plain, "data", data);
  Chunk(listFirst, "LIST", Bytes(10, 'x'));
  Chunk(listFirst, "fmt ", fmt);
  Chunk(listFirst, "fact", Bytes(4, 0));
  Chunk(listFirst, "data", data);
  Chunk(dataFirst, "data", data);
  Chunk(dataFirst, "fmt ", fmt);
  Chunk(oddJunk, "JUNK", Bytes(3, 'j'));  // odd size: a pad byte follows
  Chunk(oddJunk, "fmt ", fmt);
  Chunk(oddJunk, "data", data);
  for (const Bytes* layout : {&plain, &listFirst, &dataFirst, &oddJunk}) {
    Bytes file = Riff(*layout);
    PcmWav wav;
    ASSERT_EQ(ReadPcmWav(file, wav), PcmWavResult::Ok);
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.sampleRate, 8000u);
    EXPECT_EQ(wav.bitsPerSample, 16);
    ASSERT_EQ(wav.FrameCount(), 3u);
    EXPECT_EQ(PcmSample(wav, 0), 1);
    EXPECT_EQ(PcmSample(wav, 1), -2);
    EXPECT_EQ(PcmSample(wav, 2), 300);
  }
}

TEST(PcmWavReader, CutsDataToTheWholeFramesThatArePresent) {
  Bytes body;
  Chunk(body, "fmt ", Fmt(1, 2, 8000, 16));
  Chunk(body, "data", Samples({1, 2, 3, 4, 5}), 400);  // declared 400, 10 bytes present
  Bytes file = Riff(body);
  PcmWav wav;
  ASSERT_EQ(ReadPcmWav(file, wav), PcmWavResult::Ok);
  EXPECT_EQ(wav.FrameCount(), 2u);  // the fifth sample is half a stereo frame
  EXPECT_EQ(wav.data.size(), 8u);

  // A streaming writer's "unknown" size.
  Bytes streamed;
  Chunk(streamed, "fmt ", Fmt(1, 1, 8000, 16));
  Chunk(streamed, "data", Samples({7, 8}), 0xFFFFFFFEu);
  file = Riff(streamed);
  ASSERT_EQ(ReadPcmWav(file, wav), PcmWavResult::Ok);
  EXPECT_EQ(wav.FrameCount(), 2u);
}

TEST(PcmWavReader, EightBitSamplesAreCentred) {
  Bytes body;
  Chunk(body, "fmt ", Fmt(1, 1, 8000, 8));
  Chunk(body, "data", Bytes{0, 128, 255});
  Bytes file = Riff(body);
  PcmWav wav;
  ASSERT_EQ(ReadPcmWav(file, wav), PcmWavResult::Ok);
  EXPECT_EQ(PcmSample(wav, 0), -32768);
  EXPECT_EQ(PcmSample(wav, 1), 0);
  EXPECT_EQ(PcmSample(wav, 2), 127 * 256);
}

TEST(PcmWavReader, ExtensibleCountsAsPcmOnlyWithThePcmSubFormat) {
  auto extensible = [](uint16_t subFormat) {
    Bytes f = Fmt(0xFFFE, 1, 8000, 16);
    Put16(f, 22);      // cbSize
    Put16(f, 16);      // valid bits
    Put32(f, 4);       // channel mask
    Put16(f, subFormat);
    f.insert(f.end(), {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38,
                       0x9B, 0x71});
    Bytes body;
    Chunk(body, "fmt ", f);
    Chunk(body, "data", Samples({5}));
    return Riff(body);
  };
  PcmWav wav;
  EXPECT_EQ(ReadPcmWav(extensible(1), wav), PcmWavResult::Ok);
  EXPECT_EQ(ReadPcmWav(extensible(3), wav), PcmWavResult::NotPcm);  // float
}

TEST(PcmWavReader, RefusesWhatIsNotUsablePcm) {
  auto with = [](const Bytes& fmt, bool data = true) {
    Bytes body;
    Chunk(body, "fmt ", fmt);
    if (data) Chunk(body, "data", Samples({1}));
    return Riff(body);
  };
  struct Case {
    Bytes file;
    PcmWavResult expected;
  };
  Bytes notWave = with(Fmt(1, 1, 8000, 16));
  std::memcpy(notWave.data() + 8, "AVI ", 4);
  Bytes shortFmt;
  Chunk(shortFmt, "fmt ", Bytes(14, 0));
  Chunk(shortFmt, "data", Samples({1}));
  Bytes badAlign = Fmt(1, 1, 8000, 16);
  badAlign[12] = 4;
  Bytes lostData;  // a chunk that claims to run past the end hides the rest
  Chunk(lostData, "fmt ", Fmt(1, 1, 8000, 16));
  Chunk(lostData, "LIST", Bytes(4, 0), 1000);
  Chunk(lostData, "data", Samples({1}));
  Case cases[] = {
      {Bytes{}, PcmWavResult::NotRiffWave},
      {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'}, PcmWavResult::NotRiffWave},
      {notWave, PcmWavResult::NotRiffWave},
      {Riff(Bytes{}), PcmWavResult::NoFormat},
      {Riff(shortFmt), PcmWavResult::NoFormat},
      {with(Fmt(3, 1, 8000, 32)), PcmWavResult::NotPcm},
      {with(Fmt(0x11, 1, 8000, 4)), PcmWavResult::NotPcm},
      {with(Fmt(1, 1, 8000, 24)), PcmWavResult::BadFormat},
      {with(Fmt(1, 0, 8000, 16)), PcmWavResult::BadFormat},
      {with(Fmt(1, 1, 0, 16)), PcmWavResult::BadFormat},
      {with(badAlign), PcmWavResult::BadFormat},
      {with(Fmt(1, 1, 8000, 16), false), PcmWavResult::NoData},
      {Riff(lostData), PcmWavResult::NoData},
  };
  for (const Case& c : cases) {
    PcmWav wav;
    EXPECT_EQ(ReadPcmWav(c.file, wav), c.expected) << PcmWavResultText(c.expected);
    EXPECT_EQ(wav.FrameCount(), 0u);
  }
}

}  // namespace
