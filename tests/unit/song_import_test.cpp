#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "import/decoded_song.h"
#include "import/import_route.h"
#include "import/song_container.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values, size_t padTo = 64) {
  std::vector<uint8_t> v;
  for (int b : values) v.push_back(static_cast<uint8_t>(b));
  if (v.size() < padTo) v.resize(padTo, 0x55);
  return v;
}
std::vector<uint8_t> Text(const std::string& s, size_t padTo = 64) {
  std::vector<uint8_t> v(s.begin(), s.end());
  if (v.size() < padTo) v.resize(padTo, 0x55);
  return v;
}
// An ID3v2 tag of `body` bytes (flags 0) in front of `after`.
std::vector<uint8_t> Tagged(size_t body, const std::vector<uint8_t>& after) {
  std::vector<uint8_t> v = {'I', 'D', '3', 4, 0, 0, static_cast<uint8_t>((body >> 21) & 0x7F),
                            static_cast<uint8_t>((body >> 14) & 0x7F),
                            static_cast<uint8_t>((body >> 7) & 0x7F),
                            static_cast<uint8_t>(body & 0x7F)};
  v.resize(10 + body, 0);
  v.insert(v.end(), after.begin(), after.end());
  return v;
}

}  // namespace

// Which branch takes a file: by its signature first, by its name when it has none.
TEST(RouteImport, SignatureFirstThenName) {
  const auto mp4 = Text(std::string("\0\0\0\x20" "ftypM4A ", 12));
  const auto wav = Text(std::string("RIFF\x10\0\0\0WAVE", 12));
  const auto mp3 = Bytes({0xFF, 0xFB, 0x90, 0x64});
  const auto adts = Bytes({0xFF, 0xF1, 0x50, 0x80});
  const auto noise = Bytes({0x00, 0x01, 0x02});
  struct Case {
    const char* path;
    std::vector<uint8_t> head;
    SongContainer container;
    ImportBranch branch;
  } cases[] = {
      {"a.m4a", mp4, SongContainer::Mp4, ImportBranch::Decoded},
      {"mislabelled.MP3", mp4, SongContainer::Mp4, ImportBranch::Decoded},
      {"mislabelled.wav", Text("fLaC"), SongContainer::Flac, ImportBranch::Decoded},
      {"song.mp3", mp3, SongContainer::Mp3, ImportBranch::Mp3},
      {"tagged.mp3", Tagged(300, mp3), SongContainer::Mp3, ImportBranch::Mp3},
      {"tagged.aac", Tagged(300, adts), SongContainer::Adts, ImportBranch::Decoded},
      {"tagged.flac", Tagged(20, Text("fLaC")), SongContainer::Flac, ImportBranch::Decoded},
      {"art.mp3", Tagged(SongSignatureBytes, mp3), SongContainer::Mp3, ImportBranch::Mp3},
      {"x.wav", wav, SongContainer::Wav, ImportBranch::Wav},
      {"x.flac", Text(std::string("RF64\xff\xff\xff\xffWAVE", 12)), SongContainer::Wav,
       ImportBranch::Wav},
      {"v.webm", Bytes({0x1A, 0x45, 0xDF, 0xA3}), SongContainer::Matroska, ImportBranch::Decoded},
      {"v.ogg", Text("OggS"), SongContainer::Ogg, ImportBranch::Decoded},
      {"v.caf", Text("caff"), SongContainer::Caf, ImportBranch::Decoded},
      {"v.wma",
       Bytes({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62,
              0xCE, 0x6C}),
       SongContainer::Asf, ImportBranch::Decoded},
      {"noise.mp3", noise, SongContainer::Unknown, ImportBranch::Mp3},
      {"noise.WAV", noise, SongContainer::Unknown, ImportBranch::Wav},
      {"noise.opus", noise, SongContainer::Unknown, ImportBranch::Decoded},
      {"empty.mp3", {}, SongContainer::Unknown, ImportBranch::Mp3},
      {"D:\\Track05.cda", Text("RIFF"), SongContainer::Unknown, ImportBranch::CdTrack},
      {"bad.mp3", Text("ID3\x04\x00\x00\x80\x00\x00\x00"), SongContainer::Mp3, ImportBranch::Mp3},
  };
  for (const Case& c : cases) {
    SongContainer sniffed = SniffSongContainer(c.head.data(), c.head.size());
    EXPECT_EQ(sniffed, c.container) << c.path;
    EXPECT_EQ(RouteImport(c.path, sniffed), c.branch) << c.path;
  }
}

TEST(BrowseSizeGateApplies, OnlyToTheSeedReadersNames) {
  struct Case {
    const char* path;
    bool gated;
  } cases[] = {{"a.mp3", true}, {"a.WAV", true}, {"Track01.cda", true}, {"a.flac", false},
               {"a.m4a", false}, {"a.opus", false}, {"noname", false}};
  for (const Case& c : cases) EXPECT_EQ(BrowseSizeGateApplies(c.path), c.gated) << c.path;
}

TEST(DecodedLayoutOf, MonoStaysRatesAboveFortyEightThousandComeDown) {
  struct Case {
    int32_t rate, channels, outRate, outChannels;
  } cases[] = {{44100, 2, 44100, 2}, {8000, 1, 8000, 1},   {96000, 2, 48000, 2},
               {48000, 6, 48000, 2}, {192000, 1, 48000, 1}, {16000, 8, 16000, 2}};
  for (const Case& c : cases) {
    DecodedPcmLayout l = DecodedLayoutOf(c.rate, c.channels);
    EXPECT_EQ(l.sampleRate, c.outRate) << c.rate << "/" << c.channels;
    EXPECT_EQ(l.channels, c.outChannels) << c.rate << "/" << c.channels;
  }
}

TEST(JudgeDecodedSong, RefusalsAndTheirTexts) {
  DecodedSongFacts good;
  good.opened = true;
  good.audioStreams = 1;
  good.decoderFound = true;
  good.packets = 100;
  good.framesWritten = 44100;
  good.framesExpected = 44100;
  auto with = [&](auto change) {
    DecodedSongFacts f = good;
    change(f);
    return f;
  };
  using V = DecodedSongVerdict;
  struct Case {
    const char* what;
    DecodedSongFacts facts;
    V verdict;
  } cases[] = {
      {"whole song", good, V::Imported},
      {"no stated length", with([](auto& f) { f.framesExpected = 0; }), V::Imported},
      {"a few bad packets", with([](auto& f) { f.badPackets = 10; }), V::Imported},
      {"cut at the limit", with([](auto& f) { f.stoppedEarly = true, f.framesWritten = 10; }),
       V::Imported},
      {"not a song", DecodedSongFacts{}, V::Damaged},
      {"no decoder", with([](auto& f) { f.decoderFound = false; }), V::Damaged},
      {"nothing decoded", with([](auto& f) { f.framesWritten = 0; }), V::Damaged},
      {"mostly bad packets", with([](auto& f) { f.badPackets = 11; }), V::Damaged},
      {"read error", with([](auto& f) { f.readFailed = true; }), V::Damaged},
      {"cut off", with([](auto& f) { f.framesWritten = 41000; }), V::Damaged},
      {"encrypted", with([](auto& f) { f.protectedAudio = true, f.framesWritten = 0; }),
       V::Protected},
      {"silent video", with([](auto& f) { f.audioStreams = 0, f.decoderFound = false; }),
       V::NoSound},
  };
  for (const Case& c : cases) EXPECT_EQ(JudgeDecodedSong(c.facts), c.verdict) << c.what;

  EXPECT_EQ(DecodedSongRefusal(V::Imported), nullptr);
  EXPECT_STREQ(DecodedSongRefusal(V::Damaged),
               "Sorry, Quavella could not read this song. The file may be damaged or incomplete.");
  EXPECT_STREQ(DecodedSongRefusal(V::Protected),
               "Sorry, this song is protected against copying, so Quavella cannot open it.");
  EXPECT_STREQ(DecodedSongRefusal(V::NoSound), "Sorry, this file holds no sound.");
  EXPECT_NE(DecodedSongRefusal(V::LibraryMissing), nullptr);
}
