// MPEG audio frames and ID3v2 tags built for the tests of the frame reader and the scanner.
#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

namespace mp3_frames {

using Bytes = std::vector<uint8_t>;

enum class Mpeg { V1, V2, V25 };

struct FrameShape {
  Mpeg mpeg = Mpeg::V1;
  int bitrateIndex = 9;  // 128 kbit/s in MPEG-1
  int rateIndex = 0;
  bool mono = false;
  bool padding = false;
  int layerCode = 1;  // layer III
};

inline int RateOf(const FrameShape& f) {
  static const int v1[] = {44100, 48000, 32000}, v2[] = {22050, 24000, 16000},
                   v25[] = {11025, 12000, 8000};
  return f.mpeg == Mpeg::V1 ? v1[f.rateIndex] : f.mpeg == Mpeg::V2 ? v2[f.rateIndex]
                                                                    : v25[f.rateIndex];
}
inline int BitrateOf(const FrameShape& f) {
  static const int v1[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
                   v2[] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  return f.mpeg == Mpeg::V1 ? v1[f.bitrateIndex] : v2[f.bitrateIndex];
}
// Layer III frame length in bytes.
inline int LengthOf(const FrameShape& f) {
  int perKbit = f.mpeg == Mpeg::V1 ? 144000 : 72000;
  return BitrateOf(f) * perKbit / RateOf(f) + (f.padding ? 1 : 0);
}

inline Bytes Header(const FrameShape& f) {
  int versionBits = f.mpeg == Mpeg::V1 ? 3 : f.mpeg == Mpeg::V2 ? 2 : 0;
  return {0xFF, static_cast<uint8_t>(0xE0 | versionBits << 3 | f.layerCode << 1 | 1),
          static_cast<uint8_t>(f.bitrateIndex << 4 | f.rateIndex << 2 | (f.padding ? 2 : 0)),
          static_cast<uint8_t>(f.mono ? 0xC4 : 0x44)};
}

// One frame: header, then a body that cannot look like a header.
inline void AddFrame(Bytes& out, const FrameShape& f) {
  Bytes h = Header(f);
  out.insert(out.end(), h.begin(), h.end());
  for (int i = 4; i < LengthOf(f); ++i) out.push_back(static_cast<uint8_t>(i * 7 % 0xF0));
}
inline void AddFrames(Bytes& out, const FrameShape& f, int count) {
  for (int i = 0; i < count; ++i) AddFrame(out, f);
}

// An ID3v2.3 tag of `bodyBytes` bytes whose body holds stray 0xFF bytes and one lone header.
inline Bytes Id3v2Tag(int bodyBytes) {
  Bytes t = {'I', 'D', '3', 3, 0, 0};
  for (int shift : {21, 14, 7, 0}) t.push_back(static_cast<uint8_t>(bodyBytes >> shift & 0x7F));
  for (int i = 0; i < bodyBytes; ++i) t.push_back(i % 13 == 0 ? 0xFF : static_cast<uint8_t>(i));
  Bytes lone = Header(FrameShape{});
  std::copy(lone.begin(), lone.end(), t.begin() + 40);
  return t;
}

}  // namespace mp3_frames
