#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "formats/song_signature.h"

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

TEST(SniffSongContainer, EachSignatureAlsoAfterAnId3Tag) {
  const auto mp3 = Bytes({0xFF, 0xFB, 0x90, 0x64});  // MPEG-1 layer III, 128 kbit/s, 44.1 kHz
  const auto adts = Bytes({0xFF, 0xF1, 0x50, 0x80});
  struct Case {
    const char* what;
    std::vector<uint8_t> head;
    SongContainer container;
  } cases[] = {
      {"M4A", Text(std::string("\0\0\0\x20" "ftypM4A ", 12)), SongContainer::Mp4},
      {"WAVE", Text(std::string("RIFF\x10\0\0\0WAVE", 12)), SongContainer::Wav},
      {"RF64", Text(std::string("RF64\xff\xff\xff\xffWAVE", 12)), SongContainer::Wav},
      {"RIFF not WAVE", Text(std::string("RIFF\x10\0\0\0AVI ", 12)), SongContainer::Unknown},
      {"Matroska", Bytes({0x1A, 0x45, 0xDF, 0xA3}), SongContainer::Matroska},
      {"Ogg", Text("OggS"), SongContainer::Ogg},
      {"FLAC", Text("fLaC"), SongContainer::Flac},
      {"CAF", Text("caff"), SongContainer::Caf},
      {"ASF", Bytes({0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11, 0xA6, 0xD9, 0x00, 0xAA,
                     0x00, 0x62, 0xCE, 0x6C}),
       SongContainer::Asf},
      {"MP3 frame", mp3, SongContainer::Mp3},
      {"ADTS", adts, SongContainer::Adts},
      {"MP3 after a tag", Tagged(300, mp3), SongContainer::Mp3},
      {"ADTS after a tag", Tagged(300, adts), SongContainer::Adts},
      {"FLAC after a tag", Tagged(20, Text("fLaC")), SongContainer::Flac},
      {"noise after a tag", Tagged(20, Bytes({1, 2, 3})), SongContainer::Mp3},
      {"tag past the head", Tagged(SongSignatureBytes, mp3), SongContainer::Mp3},
      {"malformed tag", Text("ID3\x04\x00\x00\x80\x00\x00\x00"), SongContainer::Mp3},
      {"noise", Bytes({0x00, 0x01, 0x02}), SongContainer::Unknown},
      {"three bytes", {'f', 'L', 'a'}, SongContainer::Unknown},
      {"nothing", {}, SongContainer::Unknown},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SniffSongContainer(c.head.data(), c.head.size()), c.container) << c.what;
}
