#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/wav_file.h"
#include "tests/unit/wav_format_records.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(Bytes& b, uint16_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void Chunk(Bytes& b, const char* id, const Bytes& body, bool pad = true) {
  b.insert(b.end(), id, id + 4);
  Put32(b, static_cast<uint32_t>(body.size()));
  b.insert(b.end(), body.begin(), body.end());
  if (pad && (body.size() & 1)) b.push_back(0);
}
Bytes Fmt(uint16_t tag = 1, uint16_t channels = 2, uint32_t rate = 44100, uint16_t bits = 16) {
  return wav_records::FmtBody({.tag = tag, .channels = channels, .rate = rate, .bits = bits});
}
Bytes Riff(const Bytes& chunks, const char* form = "WAVE", const char* magic = "RIFF") {
  Bytes b(magic, magic + 4);
  Put32(b, static_cast<uint32_t>(chunks.size() + 4));
  b.insert(b.end(), form, form + 4);
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

TEST(WalkWavChunks, PlainLayoutFindsFormatAndSamples) {
  Bytes chunks;
  Chunk(chunks, "fmt ", Fmt());
  Chunk(chunks, "data", Bytes(8, 7));
  Bytes file = Riff(chunks);
  WavWalk w = WalkWavChunks(file);
  ASSERT_EQ(w.result, WavWalkResult::Loaded);
  EXPECT_TRUE(w.headerValid);
  EXPECT_EQ(w.formatOffset, 20u);
  EXPECT_EQ(w.dataHeaderOffset, 36u);
  EXPECT_EQ(w.dataOffset, 44u);
  EXPECT_EQ(w.dataSize, 8u);
}

TEST(WalkWavChunks, SkipsListBeforeFormatAndFactBetweenFormatAndData) {
  Bytes chunks;
  Chunk(chunks, "LIST", Bytes(26, 'x'));
  Chunk(chunks, "fmt ", Fmt());
  Chunk(chunks, "fact", Bytes{0, 0, 0, 0});
  Chunk(chunks, "data", Bytes(4, 1));
  Bytes file = Riff(chunks);
  WavWalk w = WalkWavChunks(file);
  ASSERT_EQ(w.result, WavWalkResult::Loaded);
  EXPECT_EQ(w.formatOffset, 12u + 8 + 26 + 8);
  EXPECT_EQ(w.dataOffset, file.size() - 4);
}

TEST(WalkWavChunks, OddSizedChunksAreFollowedByAPadByte) {
  Bytes chunks;
  Chunk(chunks, "junk", Bytes(5, 'j'));  // 5 bytes and a pad byte
  Chunk(chunks, "fmt ", Fmt());
  Chunk(chunks, "odd ", Bytes(3, 'o'));
  Chunk(chunks, "data", Bytes(2, 9));
  WavWalk w = WalkWavChunks(Riff(chunks));
  ASSERT_EQ(w.result, WavWalkResult::Loaded);
  EXPECT_EQ(w.formatOffset, 12u + 8 + 6 + 8);
  EXPECT_EQ(w.dataSize, 2u);
}

TEST(WalkWavChunks, OddChunkWithoutItsPadByteHidesTheNextChunk) {
  Bytes chunks;
  Chunk(chunks, "fmt ", Fmt());
  Chunk(chunks, "odd ", Bytes(3, 'o'), /*pad=*/false);
  Chunk(chunks, "data", Bytes(2, 9));
  EXPECT_EQ(WalkWavChunks(Riff(chunks)).result, WavWalkResult::NoData);
}

TEST(WalkWavChunks, MissingOrNonPcmChunksAreFailures) {
  Bytes onlyData;
  Chunk(onlyData, "data", Bytes(4, 0));
  EXPECT_EQ(WalkWavChunks(Riff(onlyData)).result, WavWalkResult::NoFormat);

  Bytes onlyFmt;
  Chunk(onlyFmt, "fmt ", Fmt());
  EXPECT_EQ(WalkWavChunks(Riff(onlyFmt)).result, WavWalkResult::NoData);

  Bytes adpcm;
  Chunk(adpcm, "fmt ", Fmt(2));
  Chunk(adpcm, "data", Bytes(4, 0));
  WavWalk w = WalkWavChunks(Riff(adpcm));
  EXPECT_EQ(w.result, WavWalkResult::NotPcm);
  EXPECT_EQ(w.formatTag, 2);

  Bytes shortFmt;
  Chunk(shortFmt, "fmt ", Bytes(14, 1));
  Chunk(shortFmt, "data", Bytes(4, 0));
  EXPECT_EQ(WalkWavChunks(Riff(shortFmt)).result, WavWalkResult::NoFormat);
}

TEST(WalkWavChunks, DataDataSizePastTheEndIsCutToTheBytesThere) {
  Bytes chunks;
  Chunk(chunks, "fmt ", Fmt());
  chunks.insert(chunks.end(), {'d', 'a', 't', 'a'});
  Put32(chunks, 1000000);
  chunks.insert(chunks.end(), 10, 3);
  WavWalk w = WalkWavChunks(Riff(chunks));
  ASSERT_EQ(w.result, WavWalkResult::Loaded);
  EXPECT_EQ(w.dataSize, 10u);
}

TEST(WalkWavChunks, ChunkSizePointingPastTheEndStopsTheWalk) {
  Bytes chunks;
  chunks.insert(chunks.end(), {'L', 'I', 'S', 'T'});
  Put32(chunks, 0xFFFFFFF0u);
  Chunk(chunks, "fmt ", Fmt());
  Chunk(chunks, "data", Bytes(4, 0));
  EXPECT_EQ(WalkWavChunks(Riff(chunks)).result, WavWalkResult::NoFormat);
}

TEST(WalkWavChunks, TruncatedFilesNeverReadPastTheEnd) {
  Bytes chunks;
  Chunk(chunks, "fmt ", Fmt());
  Chunk(chunks, "data", Bytes(16, 5));
  Bytes file = Riff(chunks);
  for (size_t n = 0; n < file.size(); ++n) {
    // An exact-size copy lets the sanitizers catch any read past the end.
    std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(n));
    WavWalk w = WalkWavChunks(cut);
    if (w.result == WavWalkResult::Loaded) {
      EXPECT_LE(w.dataOffset + w.dataSize, n);
    }
  }
  EXPECT_EQ(WalkWavChunks({}).result, WavWalkResult::TooSmall);
}

TEST(WalkWavChunks, BadHeaderIsReportedButTheWalkGoesOn) {
  Bytes chunks;
  Chunk(chunks, "fmt ", Fmt());
  Chunk(chunks, "data", Bytes(4, 0));
  WavWalk wrongForm = WalkWavChunks(Riff(chunks, "AVI "));
  EXPECT_FALSE(wrongForm.headerValid);
  EXPECT_EQ(wrongForm.result, WavWalkResult::Loaded);

  // Not "RIFF": the walk starts at offset 8, where it finds only garbage here.
  Bytes garbage(100, 'g');
  WavWalk w = WalkWavChunks(garbage);
  EXPECT_FALSE(w.headerValid);
  EXPECT_NE(w.result, WavWalkResult::Loaded);
}

TEST(CheckWavFile, TakesPcmOfOneOrTwoChannelsAndRefusesTheRest) {
  auto wav = [](const Bytes& fmt, size_t dataBytes, const Bytes& before = {}) {
    Bytes chunks = before;
    Chunk(chunks, "fmt ", fmt);
    Chunk(chunks, "data", Bytes(dataBytes, 0x11));
    return Riff(chunks);
  };
  EXPECT_EQ(CheckWavFile(wav(Fmt(1, 1, 8000, 16), 320)), 160);
  EXPECT_EQ(CheckWavFile(wav(Fmt(1, 2, 44100, 16), 400)), 100);
  EXPECT_EQ(CheckWavFile(wav(Fmt(1, 1, 8000, 8), 7)), 7);
  Bytes list;
  Chunk(list, "LIST", Bytes(5, 'x'));
  EXPECT_EQ(CheckWavFile(wav(Fmt(1, 1, 8000, 16), 320, list)), 160);

  struct Refused { const char* what; Bytes bytes; };
  Bytes cut = wav(Fmt(1, 1, 8000, 16), 320);
  cut.resize(cut.size() - 2);
  Bytes riffSaysMore = wav(Fmt(1, 1, 8000, 16), 320);
  riffSaysMore[4] += 8;
  Bytes badRate = Fmt(1, 1, 8000, 16);
  badRate[8] ^= 1;  // byte rate
  const Refused refused[] = {
      {"data cut", cut},
      {"RIFF size past the end", riffSaysMore},
      {"not PCM", wav(Fmt(3, 1, 8000, 32), 320)},
      {"three channels", wav(Fmt(1, 3, 8000, 16), 324)},
      {"24 bits", wav(Fmt(1, 1, 8000, 24), 300)},
      {"byte rate disagrees", wav(badRate, 320)},
      {"half a sample frame", wav(Fmt(1, 2, 8000, 16), 322)},
      {"no samples", wav(Fmt(1, 1, 8000, 16), 0)},
      {"RIFF but not WAVE", Riff({}, "AVI ")},
      {"empty", {}}};
  for (const Refused& r : refused) EXPECT_EQ(CheckWavFile(r.bytes), -1) << r.what;
}

TEST(MakeWavHeader, CdLayoutBytes) {
  WavHeaderBytes h = MakeWavHeader(31752000);
  const uint8_t expected[44] = {
      'R', 'I', 'F', 'F', 0x64, 0x7F, 0xE4, 0x01, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
      16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 0x02, 0,
      4, 0, 16, 0, 'd', 'a', 't', 'a', 0x40, 0x7F, 0xE4, 0x01};
  EXPECT_EQ(0, std::memcmp(h.bytes, expected, 44));
  WavWalk w = WalkWavChunks(h.bytes);
  EXPECT_TRUE(w.headerValid);
  EXPECT_EQ(w.dataOffset, 44u);
}

TEST(ReadWavFormat, ExtensibleRecordsGiveTheirSubFormatAndSpeakers) {
  struct Case {
    const char* name;
    wav_records::Header header;
    bool ok;
    WavEncoding encoding;
    uint16_t codec;
    uint32_t mask;
  };
  const Case cases[] = {
      {"extensible PCM, sox's 24-bit stereo",
       {.bits = 24, .subFormat = 1, .mask = 3}, true, WavEncoding::Integer, 1, 3},
      {"extensible float 5.1", {.channels = 6, .bits = 32, .subFormat = 3, .mask = 0x3F},
       true, WavEncoding::Float, 3, 0x3F},
      {"extensible ADPCM", {.bits = 4, .subFormat = 2}, true, WavEncoding::Compressed, 2, 0},
      {"extensible of another GUID family", {.bits = 16, .subFormat = 1, .oddGuid = true},
       true, WavEncoding::Compressed, 0, 0},
      {"extensible cut to 18 bytes", {.bits = 24, .subFormat = 1, .cut = 22}, false,
       WavEncoding::Compressed, 0, 0},
      {"extensible one byte short", {.bits = 24, .subFormat = 1, .cut = 1}, false,
       WavEncoding::Compressed, 0, 0},
      {"shorter than a PCM record", {.tag = 1, .cut = 1}, false, WavEncoding::Compressed, 0, 0},
  };
  for (const Case& c : cases) {
    wav_records::Bytes body = wav_records::FmtBody(c.header);
    WavFormat f;
    EXPECT_EQ(ReadWavFormat(body, &f), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(f.encoding, c.encoding) << c.name;
    EXPECT_EQ(f.codec, c.codec) << c.name;
    EXPECT_EQ(f.channelMask, c.mask) << c.name;
    EXPECT_EQ(f.channels, c.header.channels) << c.name;
    EXPECT_EQ(f.sampleRate, c.header.rate) << c.name;
    EXPECT_EQ(f.bitsPerSample, c.header.bits) << c.name;
  }
}

}  // namespace
