// MPEG-4 boxes built byte by byte for the tests of the readers that walk them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace mp4_test {

using Bytes = std::vector<uint8_t>;

// `v` appended big-endian.
inline void Be(Bytes& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
// A box of `type` around `body`, its size in front.
inline Bytes Box(const char* type, const Bytes& body) {
  Bytes b;
  Be(b, static_cast<uint32_t>(8 + body.size()));
  b.insert(b.end(), type, type + 4);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
inline Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}

}  // namespace mp4_test
