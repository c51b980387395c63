#include <gtest/gtest.h>

#include <cstdint>

#include "import/decoded_song.h"
#include "import/import_route.h"

// Which branch takes a file: a CD track by its name, otherwise by its signature, and by its
// name when it has none.
TEST(RouteImport, SignatureFirstThenName) {
  using C = SongContainer;
  using B = ImportBranch;
  struct Case {
    const char* path;
    SongContainer container;
    ImportBranch branch;
  } cases[] = {
      {"a.m4a", C::Mp4, B::Decoded},          {"mislabelled.MP3", C::Mp4, B::Decoded},
      {"mislabelled.wav", C::Flac, B::Decoded}, {"song.mp3", C::Mp3, B::Mp3},
      {"tagged.aac", C::Adts, B::Decoded},    {"x.wav", C::Wav, B::Wav},
      {"wave.mp3", C::Wav, B::Wav},           {"x.flac", C::Wav, B::Wav},
      {"v.webm", C::Matroska, B::Decoded},    {"v.ogg", C::Ogg, B::Decoded},
      {"v.caf", C::Caf, B::Decoded},          {"v.wma", C::Asf, B::Decoded},
      {"noise.mp3", C::Unknown, B::Mp3},      {"noise.WAV", C::Unknown, B::Wav},
      {"noise.opus", C::Unknown, B::Decoded}, {"noname", C::Unknown, B::Decoded},
      {"D:\\Track05.cda", C::Wav, B::CdTrack},
  };
  for (const Case& c : cases) EXPECT_EQ(RouteImport(c.path, c.container), c.branch) << c.path;
}

// The gate follows what RouteImport gives to the seed's readers: a WAV or MP3 by its content
// whatever its name, a file of no known signature by its name.
TEST(BrowseSizeGateApplies, ToWhatTheSeedReadersTake) {
  using C = SongContainer;
  struct Case {
    const char* path;
    SongContainer container;
    bool gated;
  } cases[] = {{"a.mp3", C::Mp3, true},      {"a.WAV", C::Wav, true},   {"Track01.cda", C::Wav, true},
               {"a.flac", C::Flac, false},   {"a.m4a", C::Mp4, false},  {"noname", C::Unknown, false},
               {"wave.flac", C::Wav, true},  {"wave", C::Wav, true},    {"mp3.m4a", C::Mp3, true},
               {"flac.wav", C::Flac, false}, {"x.wav", C::Unknown, true}};
  for (const Case& c : cases)
    EXPECT_EQ(BrowseSizeGateApplies(c.path, c.container), c.gated) << c.path;
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

// Only a length the container states exactly marks a short decode as a cut-off file.
TEST(StatedLengthIsExact, HeadersYesEstimatesAndChainsNo) {
  struct Case {
    const char* demuxer;
    bool fromBitRate, exact;
  } cases[] = {{"mov,mp4,m4a,3gp,3g2,mj2", false, true}, {"flac", false, true},
               {"matroska,webm", false, true},           {"asf", false, true},
               {"caf", false, true},                     {"aac", false, false},
               {"aac", true, false},                     {"ogg", false, false},
               {"mov,mp4,m4a,3gp,3g2,mj2", true, false}, {"movie", false, false},
               {nullptr, false, false}};
  for (const Case& c : cases)
    EXPECT_EQ(StatedLengthIsExact(c.demuxer, c.fromBitRate), c.exact)
        << (c.demuxer ? c.demuxer : "null") << c.fromBitRate;
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
      {"d.wav not written whole", with([](auto& f) { f.writeFailed = true; }), V::WriteFailed},
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
