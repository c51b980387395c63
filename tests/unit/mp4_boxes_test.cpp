#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "formats/mp4_boxes.h"
#include "tests/unit/mp4_box_bytes.h"

namespace {

using namespace mp4_test;

// A full box: version and flags, then 32-bit fields, then `tableBytes` bytes of table.
Bytes Full(const char* type, uint32_t flags, std::vector<uint32_t> fields, size_t tableBytes) {
  Bytes body;
  Be(body, flags);
  for (uint32_t f : fields) Be(body, f);
  body.resize(body.size() + tableBytes, 0);
  return Box(type, body);
}
// ftyp, then the table inside moov/trak/mdia/minf/stbl (or moof/traf for a "trun"), then
// `mdatBytes` of sound.
Bytes Song(const Bytes& table, size_t mdatBytes = 4000) {
  Bytes inner = table;
  const bool fragment = std::memcmp(table.data() + 4, "trun", 4) == 0;
  for (const char* type : fragment ? std::vector<const char*>{"traf", "moof"}
                                   : std::vector<const char*>{"stbl", "minf", "mdia", "trak", "moov"})
    inner = Box(type, inner);
  Bytes file = Box("ftyp", {'M', '4', 'A', ' ', 0, 0, 0, 0});
  file.insert(file.end(), inner.begin(), inner.end());
  Bytes mdat = Box("mdat", Bytes(mdatBytes, 0x55));
  file.insert(file.end(), mdat.begin(), mdat.end());
  return file;
}
bool Fits(const Bytes& file) {
  return Mp4SampleTablesFit(file.size(), [&](uint64_t at, std::span<uint8_t> out) {
    if (at > file.size() || out.size() > file.size() - at) return false;
    std::memcpy(out.data(), file.data() + at, out.size());
    return true;
  });
}

// Each table against the bytes that hold it, and a whole-file claim against the file's size.
TEST(Mp4SampleTablesFit, TablesWithinTheirBoxesAndTheFile) {
  struct Case {
    const char* what;
    Bytes file;
    bool fits;
  } cases[] = {
      {"stsz table", Song(Full("stsz", 0, {0, 100}, 400)), true},
      {"stsz table short", Song(Full("stsz", 0, {0, 101}, 400)), false},
      {"stsz one size", Song(Full("stsz", 0, {20, 200}, 0)), true},
      {"stsz 20 million of one byte", Song(Full("stsz", 0, {1, 20000000}, 0)), false},
      {"stsz huge size", Song(Full("stsz", 0, {0xFFFFFFFF, 0xFFFFFFFF}, 0)), false},
      {"stz2 short", Song(Full("stz2", 0, {16, 100}, 50)), false},
      {"stts", Song(Full("stts", 0, {2}, 16)), true},
      {"co64 short", Song(Full("co64", 0, {4}, 16)), false},
      {"table box without its count", Song(Box("stco", {0, 0, 0, 0})), false},
      {"trun sizes", Song(Full("trun", 0x201, {10, 0}, 40)), true},
      {"trun short", Song(Full("trun", 0x301, {10, 0}, 40)), false},
      {"no MP4", Bytes(5000, 'x'), true},
  };
  for (const Case& c : cases) EXPECT_EQ(Fits(c.file), c.fits) << c.what;
}

TEST(Mp4SampleTablesFit, WalksPastA64BitSizedBoxAndPassesWhatItCannotRead) {
  Bytes file = {0, 0, 0, 1, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 0, 0, 0, 16};
  Bytes bomb = Song(Full("stsz", 0, {1, 20000000}, 0));
  file.insert(file.end(), bomb.begin(), bomb.end());
  EXPECT_FALSE(Fits(file));
  EXPECT_TRUE(Mp4SampleTablesFit(1 << 20, [](uint64_t, std::span<uint8_t>) { return false; }));
}

}  // namespace
