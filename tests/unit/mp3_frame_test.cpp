// The MPEG audio frame header, the ID3v2 tag size and the whole-file check of MP3 files.
#include <gtest/gtest.h>

#include <vector>

#include "formats/mp3_frame.h"
#include "tests/unit/mp3_test_frames.h"

namespace {

using namespace mp3_frames;

TEST(Mp3FrameHeader, LengthsRatesAndVersionsOfKnownFrames) {
  struct Case {
    FrameShape shape;
    int version, bitrate, rate, length, stereo;
  } cases[] = {
      {{Mpeg::V1, 9, 0, false, false}, 1, 128, 44100, 417, 1},
      {{Mpeg::V1, 9, 0, false, true}, 1, 128, 44100, 418, 1},
      {{Mpeg::V1, 14, 1, true, false}, 1, 320, 48000, 960, 0},
      {{Mpeg::V1, 1, 2, false, false}, 1, 32, 32000, 144, 1},
      {{Mpeg::V2, 8, 0, true, false}, 2, 64, 22050, 208, 0},
      {{Mpeg::V2, 14, 2, false, false}, 2, 160, 16000, 720, 1},
      {{Mpeg::V25, 4, 0, true, false}, 2, 32, 11025, 208, 0},
      {{Mpeg::V25, 1, 2, true, false}, 2, 8, 8000, 72, 0},
  };
  for (const Case& c : cases) {
    Mp3FrameHeader h;
    Bytes b = Header(c.shape);
    ASSERT_TRUE(ReadMp3FrameHeader(b.data(), &h)) << c.rate << " " << c.bitrate;
    EXPECT_EQ(h.version, c.version);
    EXPECT_EQ(h.bitrate, c.bitrate);
    EXPECT_EQ(h.sampleRate, c.rate);
    EXPECT_EQ(h.length, c.length);
    EXPECT_EQ(h.stereo, c.stereo);
    EXPECT_EQ(h.layer, 3);
  }
}

TEST(Mp3FrameHeader, RejectsWhatIsNotAFrame) {
  Mp3FrameHeader h;
  auto rejects = [&](Bytes b) { return !ReadMp3FrameHeader(b.data(), &h); };
  EXPECT_TRUE(rejects({0xFE, 0xFB, 0x90, 0x44}));  // no sync byte
  EXPECT_TRUE(rejects({0xFF, 0xDB, 0x90, 0x44}));  // sync bits incomplete
  EXPECT_TRUE(rejects({0xFF, 0xFB, 0xF0, 0x44}));  // bitrate index 15
  EXPECT_TRUE(rejects({0xFF, 0xFB, 0x9C, 0x44}));  // sample-rate index 3
  EXPECT_TRUE(rejects({0xFF, 0xFB, 0x00, 0x44}));  // free format: length 0
  EXPECT_TRUE(rejects({0xFF, 0xFB, 0x02, 0x44}));  // free format with padding: length 1
  // Layer codes map 1->3, 2->2, 3->1 and are all read with the same length rule.
  ASSERT_TRUE(ReadMp3FrameHeader(Bytes{0xFF, 0xFD, 0x90, 0x44}.data(), &h));
  EXPECT_EQ(h.layer, 2);
  ASSERT_TRUE(ReadMp3FrameHeader(Bytes{0xFF, 0xFF, 0x90, 0x44}.data(), &h));
  EXPECT_EQ(h.layer, 1);
  EXPECT_EQ(h.length, 417);
}

TEST(Mp3FileCheck, FramesBackToBackAfterAnOptionalTag) {
  const FrameShape v1, v2{Mpeg::V2, 8, 1, true};
  FrameShape padded = v1;
  padded.padding = true;
  Bytes plain;
  AddFrames(plain, v1, 3);
  AddFrame(plain, padded);
  EXPECT_EQ(CheckMp3File(plain), 4);
  Bytes tagged = Id3v2Tag(300);
  EXPECT_EQ(Id3v2TagBytes(tagged.data(), tagged.size()), 310u);
  AddFrames(tagged, v2, 5);
  Bytes id3v1(128, ' ');
  std::copy_n("TAG", 3, id3v1.begin());
  tagged.insert(tagged.end(), id3v1.begin(), id3v1.end());
  EXPECT_EQ(CheckMp3File(tagged), 5);
  Bytes one;
  AddFrame(one, v1);
  EXPECT_EQ(CheckMp3File(one), 1);

  struct Damage { const char* what; Bytes bytes; };
  Bytes cut = plain;
  cut.pop_back();
  Bytes junk = plain;
  junk.push_back(0);
  Bytes junkFirst = {0};
  junkFirst.insert(junkFirst.end(), plain.begin(), plain.end());
  Bytes rateChange = plain;
  AddFrame(rateChange, FrameShape{Mpeg::V1, 9, 1});
  Bytes layer2;
  AddFrames(layer2, FrameShape{Mpeg::V1, 9, 0, false, false, 2}, 2);
  Bytes tagOnly = Id3v2Tag(50);
  Bytes tagPastEnd = Id3v2Tag(50);
  tagPastEnd[8] = 0x7F;  // says 16306 bytes of body
  AddFrame(tagPastEnd, v1);
  const Damage damage[] = {{"cut last frame", cut},
                           {"a byte after the frames", junk},
                           {"a byte before the frames", junkFirst},
                           {"another sample rate", rateChange},
                           {"layer II", layer2},
                           {"a tag alone", tagOnly},
                           {"a tag longer than the file", tagPastEnd},
                           {"empty", {}}};
  for (const Damage& d : damage) EXPECT_EQ(CheckMp3File(d.bytes), -1) << d.what;
  const uint8_t badSize[10] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0x80, 0};
  EXPECT_EQ(Id3v2TagBytes(badSize, 10), 0u) << "size bytes have 7 bits";
}

}  // namespace
