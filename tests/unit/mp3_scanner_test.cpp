#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "import/mp3_scanner.h"
#include "import/mp3_track_info.h"
#include "tests/unit/mp3_test_frames.h"

namespace {

using namespace mp3_frames;

struct ScanResult {
  bool ok;
  Mp3StreamInfo info;
  uint32_t firstFrame, frameBytes, skipped, damage;
};

ScanResult Scan(const Bytes& file, size_t blockBytes = Mp3Scanner::BlockBytes) {
  Mp3Scanner s;
  s.Reset(static_cast<uint32_t>(file.size()));
  for (size_t at = 0; at < file.size(); at += blockBytes)
    s.Feed(file.data() + at, std::min(blockBytes, file.size() - at));
  bool ok = s.Finish();
  return {ok, s.Info(), s.FirstFrameOffset(), s.FrameBytes(), s.SkippedBytes(), s.DamageMap()};
}

void ExpectFailed(const ScanResult& r) {
  EXPECT_FALSE(r.ok);
  const int32_t* field = &r.info.bitrate;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(field[i], 0) << "field " << i;
}

TEST(Mp3Scanner, ConstantBitrateStreamsOfEachVersion) {
  struct Case {
    FrameShape shape;
    int frames, rate, version, stereo, bitrate, duration;
  } cases[] = {
      // 1000 x 1152 / 44100 = 26.1 s
      {{Mpeg::V1, 9, 0, false, false}, 1000, 44100, 1, 1, 128, 26},
      {{Mpeg::V1, 5, 1, true, false}, 500, 48000, 1, 0, 64, 12},
      {{Mpeg::V2, 8, 0, true, false}, 800, 22050, 2, 0, 64, 20},
      {{Mpeg::V2, 10, 1, false, false}, 300, 24000, 2, 1, 96, 7},
      {{Mpeg::V25, 1, 2, true, false}, 700, 8000, 2, 0, 8, 50},
  };
  for (const Case& c : cases) {
    Bytes file;
    AddFrames(file, c.shape, c.frames);
    ScanResult r = Scan(file);
    ASSERT_TRUE(r.ok) << c.rate;
    EXPECT_EQ(r.info.bitrate, c.bitrate);
    EXPECT_EQ(r.info.sampleRate, c.rate);
    EXPECT_EQ(r.info.stereo, c.stereo);
    EXPECT_EQ(r.info.duration, c.duration);
    EXPECT_EQ(r.info.frameCount, c.frames);
    EXPECT_EQ(r.info.version, c.version);
    EXPECT_EQ(r.info.averageBitrate, c.bitrate);
    EXPECT_EQ(r.info.reserved, 0);
    EXPECT_EQ(r.firstFrame, 0u);
    EXPECT_EQ(r.frameBytes, file.size());
    EXPECT_EQ(r.skipped, 0u);
    EXPECT_EQ(r.damage, 0u);
  }
}

TEST(Mp3Scanner, VariableBitrateKeepsAverageAndClearsBitrate) {
  Bytes file;
  FrameShape a{Mpeg::V1, 9, 0}, b{Mpeg::V1, 11, 0}, c{Mpeg::V1, 5, 0, false, true};
  for (int i = 0; i < 100; ++i) {
    AddFrame(file, a);  // 128
    AddFrame(file, b);  // 192
    AddFrame(file, c);  // 64
  }
  ScanResult r = Scan(file);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.info.bitrate, 0);
  EXPECT_EQ(r.info.averageBitrate, (128 + 192 + 64) / 3);
  EXPECT_EQ(r.info.frameCount, 300);
  EXPECT_EQ(r.frameBytes, file.size());
}

TEST(Mp3Scanner, TagAndJunkBeforeTheStreamAreNotCounted) {
  FrameShape f;
  Bytes file = Id3v2Tag(3000);
  // Junk that holds a run of three consistent headers: not enough to synchronise, and the
  // search must start again one byte after the first of them.
  Bytes junk = {1, 2, 3};
  AddFrames(junk, f, 3);
  junk.push_back(0x55);
  file.insert(file.end(), junk.begin(), junk.end());
  size_t streamAt = file.size();
  AddFrames(file, f, 50);

  for (size_t block : {Mp3Scanner::BlockBytes, size_t{1000}, size_t{7}}) {
    ScanResult r = Scan(file, block);
    ASSERT_TRUE(r.ok) << block;
    EXPECT_EQ(r.firstFrame, streamAt);
    EXPECT_EQ(r.info.frameCount, 50);
    EXPECT_EQ(r.skipped, 0u);
    EXPECT_EQ(r.frameBytes, 50u * 417);
  }
}

TEST(Mp3Scanner, SyncNeedsFourHeadersOfOneRateAndLayer) {
  FrameShape f;
  Bytes three;
  AddFrames(three, f, 3);
  ExpectFailed(Scan(three));

  Bytes four;
  AddFrames(four, f, 4);
  ScanResult r = Scan(four);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.info.frameCount, 4);

  // A layer change inside the first four headers: no sync at the first frame; the stream
  // is found at the second.
  Bytes mixed;
  FrameShape layer2 = f;
  layer2.layerCode = 2;
  AddFrame(mixed, layer2);
  AddFrames(mixed, f, 6);
  r = Scan(mixed);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.firstFrame, 417u);
  EXPECT_EQ(r.info.frameCount, 6);
}

TEST(Mp3Scanner, FramesOfAnotherRateInTheMiddleAreSkippedBytes) {
  FrameShape main, other{Mpeg::V1, 9, 1};  // 128 kbit/s at 48000 Hz: 384 bytes
  Bytes file;
  AddFrames(file, main, 64);
  size_t otherAt = file.size();
  AddFrame(file, other);
  AddFrames(file, main, 64);

  ScanResult r = Scan(file);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.info.frameCount, 128);
  EXPECT_EQ(r.info.sampleRate, 44100);
  EXPECT_EQ(r.skipped, 384u);
  EXPECT_EQ(r.frameBytes, 128u * 417);
  // The damage lies just past the middle of the file: in the thirty-seconds that hold the
  // foreign frame and nowhere else.
  uint32_t share = static_cast<uint32_t>(file.size() / 32);
  uint32_t expected = 0;
  for (size_t k = (otherAt + 1) / share; k <= (otherAt + 384) / share; ++k) expected |= 1u << k;
  EXPECT_EQ(r.damage, expected);
  EXPECT_NE(r.damage & (1u << 16), 0u);
}

// Two files of different formats joined: the stream ends where the second begins, in either
// order and however the blocks fall; one lone frame of another format is only damage.
TEST(Mp3Scanner, AStreamThatChangesItsFormatEndsWhereItChanges) {
  const FrameShape stereo44, mono22{Mpeg::V2, 9, 0, true}, stereo48{Mpeg::V1, 9, 1};
  struct Case {
    FrameShape first, second;
    int secondFrames;
    uint32_t change;
  } cases[] = {{stereo44, mono22, 64, 64u * 417}, {mono22, stereo44, 64, 64u * 261},
               {stereo44, stereo48, 2, 64u * 417}, {stereo44, stereo48, 1, 0}};
  for (const Case& c : cases) {
    Bytes file;
    AddFrames(file, c.first, 64);
    AddFrames(file, c.second, c.secondFrames);
    for (size_t block : {size_t{7}, size_t{500}, Mp3Scanner::BlockBytes}) {
      Mp3Scanner s;
      s.Reset(static_cast<uint32_t>(file.size()));
      for (size_t at = 0; at < file.size(); at += block)
        s.Feed(file.data() + at, std::min(block, file.size() - at));
      EXPECT_TRUE(s.Finish()) << c.change << " " << block;
      EXPECT_EQ(s.FormatChangeOffset(), c.change) << block;
      EXPECT_EQ(s.Info().frameCount, 64) << c.change << " " << block;
      EXPECT_EQ(s.Info().sampleRate, RateOf(c.first)) << block;
    }
  }
}

TEST(Mp3Scanner, BlockBoundariesDoNotChangeTheResult) {
  // Mixed bitrates and paddings so that frame ends fall at every offset of a block, a junk
  // stretch in the middle so that skipping runs across boundaries too. Blocks of 1 to 20 bytes
  // split headers after their first, second and third byte, before and after the sync.
  Bytes file = Id3v2Tag(500);
  FrameShape a{Mpeg::V1, 9, 0}, b{Mpeg::V1, 10, 0, false, true}, c{Mpeg::V1, 3, 0};
  for (int i = 0; i < 40; ++i) {
    AddFrame(file, a);
    AddFrame(file, b);
    AddFrame(file, c);
    if (i == 20) file.insert(file.end(), {0xFF, 0xFB, 0x00, 0xFF, 0x12, 0x34});
  }
  ScanResult whole = Scan(file);
  ASSERT_TRUE(whole.ok);
  EXPECT_EQ(whole.skipped, 6u);
  EXPECT_EQ(whole.info.frameCount, 120);
  for (size_t block = 1; block <= 700; block += (block < 20 ? 1 : 37)) {
    ScanResult r = Scan(file, block);
    ASSERT_TRUE(r.ok) << block;
    EXPECT_EQ(r.firstFrame, whole.firstFrame) << block;
    EXPECT_EQ(r.info.frameCount, whole.info.frameCount) << block;
    EXPECT_EQ(r.info.averageBitrate, whole.info.averageBitrate) << block;
    EXPECT_EQ(r.frameBytes, whole.frameBytes) << block;
    EXPECT_EQ(r.skipped, whole.skipped) << block;
    EXPECT_EQ(r.damage, whole.damage) << block;
  }
}

TEST(Mp3Scanner, SkippedBytesOutnumberingFrameBytesFailTheScan) {
  FrameShape f;
  Bytes file;
  AddFrames(file, f, 4);
  // Exactly as many skipped bytes as frame bytes: still an MP3. (The last three bytes of a
  // file are never tested as a header, so they are not counted.)
  file.insert(file.end(), 4 * 417 + 3, 0x00);
  ScanResult r = Scan(file);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.skipped, r.frameBytes);
  EXPECT_EQ(r.damage, 0xFFFF0000u);

  file.push_back(0x00);  // one more
  r = Scan(file);
  ExpectFailed(r);
  EXPECT_EQ(r.skipped, r.frameBytes + 1);
}

TEST(Mp3Scanner, NonMp3BytesFail) {
  ExpectFailed(Scan({}));
  Bytes noise(200000);
  uint32_t x = 12345;
  for (uint8_t& b : noise) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
  ExpectFailed(Scan(noise));
  // A WAV file: RIFF header and 16-bit PCM that happens to hold sync-like words.
  Bytes wav = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (int i = 0; i < 50000; ++i) wav.insert(wav.end(), {0xFF, 0xFB, 0x90, 0x44});
  ExpectFailed(Scan(wav));
}

TEST(Mp3Scanner, TruncatedLastFrameAndTinyFilesAreSafe) {
  FrameShape f;
  Bytes file;
  AddFrames(file, f, 5);
  file.resize(file.size() - 300);  // the fifth frame is cut short: still counted
  ScanResult r = Scan(file);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.info.frameCount, 5);

  // Four 72-byte frames and a few stray bytes: skipped bytes past the last whole
  // thirty-second of the audio land in the last bit.
  FrameShape small{Mpeg::V25, 1, 2, true};
  Bytes tiny;
  AddFrames(tiny, small, 4);
  tiny.insert(tiny.end(), {1, 2, 3, 4, 5, 6, 7});
  r = Scan(tiny);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.skipped, 4u);
  EXPECT_EQ(r.damage, 1u << 31);
  EXPECT_EQ(r.info.duration, 0);  // 4 x 576 / 8000 s rounds down
}

TEST(Mp3Scanner, ScanFileAndTrackInfo) {
  Bytes file = Id3v2Tag(100);
  FrameShape f{Mpeg::V2, 8, 0, true};
  AddFrames(file, f, 2000);
  std::string path = ::testing::TempDir() + "scan_test.mp3";
  std::FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_TRUE(out);
  std::fwrite(file.data(), 1, file.size(), out);
  std::fclose(out);

  Mp3Scanner s;
  ASSERT_TRUE(s.ScanFile(path.c_str()));
  EXPECT_EQ(s.FileBytes(), file.size());
  EXPECT_EQ(s.FirstFrameOffset(), 110u);
  EXPECT_EQ(s.AudioBytes(), file.size() - 110);
  EXPECT_EQ(s.Info().duration, 2000 * 576 / 22050);

  Mp3TrackInfo track;
  ASSERT_TRUE(InitTrackInfo(Mp3Source{path.c_str(), nullptr}, &track));
  track.sampleRate = 12345;  // set earlier: kept
  FillTrackInfoFromScan(s, "from the converter", &track);
  EXPECT_EQ(track.bitrate, 64);
  EXPECT_EQ(track.duration, 52);
  EXPECT_EQ(track.sampleRate, 12345);
  EXPECT_EQ(track.fileBytes, static_cast<int32_t>(file.size()));
  EXPECT_EQ(track.frameBytes, 2000 * 208);
  EXPECT_EQ(track.firstFrameOffset, 110);
  EXPECT_STREQ(track.converterText, "from the converter");
  std::remove(path.c_str());

  EXPECT_FALSE(s.ScanFile((path + ".missing").c_str()));
  EXPECT_EQ(s.Info().sampleRate, 0);
  std::string longPath(Mp3TrackInfo::PathCapacity, 'a');
  EXPECT_FALSE(InitTrackInfo(Mp3Source{longPath.c_str(), nullptr}, &track));
  EXPECT_FALSE(InitTrackInfo(Mp3Source{}, &track));
}

}  // namespace
