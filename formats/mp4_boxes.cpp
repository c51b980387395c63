#include "formats/mp4_boxes.h"

#include <cstring>
#include <initializer_list>

#include "formats/byte_order.h"

namespace {

struct Box {
  char type[4];
  uint64_t payload;  // where the box's content starts
  uint64_t end;      // where the box ends
};

class Walk {
 public:
  Walk(uint64_t fileSize, const Mp4ReadAt& read) : fileSize_(fileSize), read_(read) {}

  // False once a table was found that does not fit.
  bool Boxes(uint64_t from, uint64_t to, int depth) {
    uint64_t at = from;
    while (at + 8 <= to && fits_) {
      Box box;
      if (!Header(at, to, &box)) return fits_;  // no box here: the rest is not ours to judge
      if (IsContainer(box.type) && depth < 8) {
        if (!Boxes(box.payload, box.end, depth + 1)) return false;
      } else if (!TableFits(box)) {
        fits_ = false;
      }
      at = box.end;
    }
    return fits_;
  }

 private:
  bool Read(uint64_t offset, uint8_t* out, size_t size) {
    if (++reads_ > Mp4WalkReadLimit || offset > fileSize_ || size > fileSize_ - offset)
      return false;
    return read_(offset, std::span<uint8_t>(out, size));
  }

  bool Header(uint64_t at, uint64_t to, Box* box) {
    uint8_t h[16];
    if (!Read(at, h, 8)) return false;
    uint64_t size = Be32(h);
    std::memcpy(box->type, h + 4, 4);
    uint64_t header = 8;
    if (size == 1) {
      if (!Read(at + 8, h + 8, 8)) return false;
      size = static_cast<uint64_t>(Be32(h + 8)) << 32 | Be32(h + 12);
      header = 16;
    } else if (size == 0) {
      size = to - at;  // to the end of the file (or of its parent)
    }
    if (size < header || size > to - at) return false;
    box->payload = at + header;
    box->end = at + size;
    return true;
  }

  static bool Is(const Box& box, const char* type) { return std::memcmp(box.type, type, 4) == 0; }
  static bool IsContainer(const char* type) {
    for (const char* c : {"moov", "trak", "mdia", "minf", "stbl", "moof", "traf"})
      if (std::memcmp(type, c, 4) == 0) return true;
    return false;
  }

  // Entry count x entry size of a full box with a table, within the box: `count` is the
  // 32-bit field after the version and flags, the table starts after `fields` such fields.
  bool TableFits(const Box& box) {
    struct Table {
      const char* type;
      int fields;      // 32-bit fields before the table, after version and flags
      int entryBytes;  // 0: decided below
    };
    static const Table tables[] = {{"stts", 1, 8}, {"stsc", 1, 12}, {"stco", 1, 4},
                                   {"co64", 1, 8}, {"stss", 1, 4},  {"ctts", 1, 8},
                                   {"stsz", 2, 0}, {"stz2", 2, 0},  {"trun", 1, 0}};
    const Table* table = nullptr;
    for (const Table& t : tables)
      if (Is(box, t.type)) table = &t;
    if (table == nullptr) return true;
    const uint64_t payload = box.end - box.payload;
    uint8_t f[12];
    const size_t want = 4 + 4 * static_cast<size_t>(table->fields);
    if (payload < want) return false;  // a table box too small for its own counts
    if (!Read(box.payload, f, want)) return true;
    const uint64_t tableBytes = payload - want;
    const uint32_t flags = Be32(f) & 0xFFFFFF;
    if (Is(box, "stsz")) {
      const uint64_t size = Be32(f + 4), count = Be32(f + 8);
      return size != 0 ? count <= fileSize_ / size : count * 4 <= tableBytes;
    }
    if (Is(box, "stz2")) {
      const uint64_t bits = f[7], count = Be32(f + 8);
      return count <= fileSize_ && (count * bits + 7) / 8 <= tableBytes;
    }
    const uint64_t count = Be32(f + 4);
    if (Is(box, "trun")) {
      // Optional fields before the table, then 4 bytes per sample for each flag set.
      const uint64_t before = (flags & 0x1 ? 4 : 0) + (flags & 0x4 ? 4 : 0);
      uint64_t perSample = 0;
      for (uint32_t bit : {0x100u, 0x200u, 0x400u, 0x800u}) perSample += flags & bit ? 4 : 0;
      return count <= fileSize_ && before <= tableBytes && count * perSample <= tableBytes - before;
    }
    return count * static_cast<uint64_t>(table->entryBytes) <= tableBytes;
  }

  uint64_t fileSize_;
  const Mp4ReadAt& read_;
  int reads_ = 0;
  bool fits_ = true;
};

}  // namespace

bool Mp4SampleTablesFit(uint64_t fileSize, const Mp4ReadAt& read) {
  return Walk(fileSize, read).Boxes(0, fileSize, 0);
}
