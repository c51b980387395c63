#include "formats/m4r_file.h"

#include "formats/byte_order.h"

namespace {

constexpr uint32_t Tag(const char (&name)[5]) {
  return static_cast<uint32_t>(static_cast<uint8_t>(name[0])) << 24 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[1])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[2])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(name[3]));
}

struct Box {
  uint32_t type = 0;
  std::span<const uint8_t> body;
};

// The next box of `parent` at `at` (moved past it). False at the end and for a box whose
// size does not fit the bytes left (the walk then fails through `bad`).
bool NextBox(std::span<const uint8_t> parent, size_t& at, Box& box, bool& bad) {
  if (at == parent.size()) return false;
  ByteReader reader(parent, at);
  uint64_t size = reader.Be32();
  box.type = reader.Be32();
  if (size == 1) {
    const uint64_t high = reader.Be32();
    size = high << 32 | reader.Be32();
  } else if (size == 0) {
    size = parent.size() - at;  // to the end of the parent
  }
  const size_t header = reader.Position() - at;
  if (reader.Failed() || size < header || size > parent.size() - at) {
    bad = true;
    return false;
  }
  box.body = parent.subspan(at + header, static_cast<size_t>(size) - header);
  at += static_cast<size_t>(size);
  return true;
}

// The one child of `parent` of type `type`; empty span (and `found` false) when none.
bool ChildBox(std::span<const uint8_t> parent, uint32_t type, std::span<const uint8_t>& body) {
  size_t at = 0;
  Box box;
  bool bad = false;
  while (NextBox(parent, at, box, bad))
    if (box.type == type) {
      body = box.body;
      return true;
    }
  return false;
}

// Every box of `parent` fits it.
bool BoxesFit(std::span<const uint8_t> parent) {
  size_t at = 0;
  Box box;
  bool bad = false;
  while (NextBox(parent, at, box, bad)) {
  }
  return !bad;
}

// An MPEG-4 descriptor's length: up to four bytes of seven bits each.
uint32_t DescriptorLength(ByteReader& reader) {
  uint32_t length = 0;
  for (int i = 0; i < 4; ++i) {
    const uint8_t b = reader.U8();
    length = length << 7 | (b & 0x7F);
    if (!(b & 0x80)) return length;
  }
  return length;
}

// The audio object type of an esds box (version and flags, then ES_Descriptor,
// DecoderConfigDescriptor of MPEG-4 audio, DecoderSpecificInfo); 0 when it does not read.
uint32_t AudioObjectType(std::span<const uint8_t> esds) {
  ByteReader reader(esds);
  reader.Skip(4);
  if (reader.U8() != 0x03) return 0;
  DescriptorLength(reader);
  reader.Skip(2);  // ES_ID
  const uint8_t flags = reader.U8();
  if (flags & 0x80) reader.Skip(2);
  if (flags & 0x40) reader.Skip(reader.U8());
  if (flags & 0x20) reader.Skip(2);
  if (reader.U8() != 0x04) return 0;
  DescriptorLength(reader);
  if (reader.U8() != 0x40) return 0;  // MPEG-4 audio
  reader.Skip(12);                    // stream type, buffer size, bit rates
  if (reader.U8() != 0x05 || DescriptorLength(reader) < 2) return 0;
  const uint32_t type = reader.U8() >> 3;
  return reader.Failed() ? 0 : type;
}

// The sample entry "mp4a" of an stsd box: channels, rate and the esds's object type.
bool ReadSampleEntry(std::span<const uint8_t> stsd, M4rFileInfo* info) {
  if (stsd.size() < 8 || Be32(stsd.data() + 4) < 1) return false;
  size_t at = 8;
  Box entry;
  bool bad = false;
  if (!NextBox(stsd, at, entry, bad) || entry.type != Tag("mp4a")) return false;
  ByteReader reader(entry.body);
  reader.Skip(8);  // reserved, data reference index
  const uint16_t version = reader.Be16();
  reader.Skip(6);
  info->channels = reader.Be16();
  reader.Skip(6);  // sample size, compression id, packet size
  info->sampleRate = reader.Be32() >> 16;
  if (version == 1) reader.Skip(16);
  else if (version == 2) reader.Skip(36);
  else if (version != 0) return false;
  if (reader.Failed()) return false;
  std::span<const uint8_t> esds;
  const std::span<const uint8_t> children = entry.body.subspan(reader.Position());
  if (!BoxesFit(children) || !ChildBox(children, Tag("esds"), esds)) return false;
  info->audioObjectType = AudioObjectType(esds);
  return info->audioObjectType != 0;
}

// The sample table of the audio track: the sample entry, the sample sizes and the chunk
// offsets, all inside the file.
bool ReadSampleTable(std::span<const uint8_t> stbl, size_t fileSize, M4rFileInfo* info) {
  std::span<const uint8_t> stsd, stsz, offsets;
  if (!BoxesFit(stbl) || !ChildBox(stbl, Tag("stsd"), stsd) || !ReadSampleEntry(stsd, info) ||
      !ChildBox(stbl, Tag("stsz"), stsz))
    return false;
  ByteReader sizes(stsz);
  sizes.Skip(4);
  const uint32_t sampleSize = sizes.Be32();
  info->sampleCount = sizes.Be32();
  if (sizes.Failed() || info->sampleCount == 0) return false;
  uint64_t total = 0;
  if (sampleSize != 0) {
    total = uint64_t{sampleSize} * info->sampleCount;
  } else {
    if (sizes.Remaining() / 4 < info->sampleCount) return false;
    for (uint32_t i = 0; i < info->sampleCount; ++i) total += sizes.Be32();
  }
  if (total > fileSize) return false;

  const bool wide = ChildBox(stbl, Tag("co64"), offsets);
  if (!wide && !ChildBox(stbl, Tag("stco"), offsets)) return false;
  ByteReader chunks(offsets);
  chunks.Skip(4);
  const uint32_t count = chunks.Be32();
  if (chunks.Failed() || count == 0 || chunks.Remaining() / (wide ? 8 : 4) < count) return false;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t offset = chunks.Be32();
    if (wide) offset = offset << 32 | chunks.Be32();
    if (offset >= fileSize) return false;
  }
  return true;
}

// One track: counts it when its handler is "soun" and reads its sample table.
bool ReadTrack(std::span<const uint8_t> trak, size_t fileSize, M4rFileInfo* info) {
  std::span<const uint8_t> mdia, hdlr, minf, stbl;
  if (!BoxesFit(trak) || !ChildBox(trak, Tag("mdia"), mdia) || !BoxesFit(mdia) ||
      !ChildBox(mdia, Tag("hdlr"), hdlr) || hdlr.size() < 12)
    return false;
  if (Be32(hdlr.data() + 8) != Tag("soun")) return true;  // another kind of track
  if (++info->audioTracks > 1) return false;
  return ChildBox(mdia, Tag("minf"), minf) && BoxesFit(minf) &&
         ChildBox(minf, Tag("stbl"), stbl) && ReadSampleTable(stbl, fileSize, info);
}

bool ReadMovie(std::span<const uint8_t> moov, size_t fileSize, M4rFileInfo* info) {
  std::span<const uint8_t> mvhd;
  if (!BoxesFit(moov) || !ChildBox(moov, Tag("mvhd"), mvhd)) return false;
  ByteReader header(mvhd);
  const uint8_t version = header.U8();
  header.Skip(3);
  if (version == 1) {
    header.Skip(16);
    info->timescale = header.Be32();
    const uint64_t high = header.Be32();
    info->duration = high << 32 | header.Be32();
  } else {
    header.Skip(8);
    info->timescale = header.Be32();
    info->duration = header.Be32();
  }
  if (header.Failed() || version > 1 || info->timescale == 0) return false;
  size_t at = 0;
  Box box;
  bool bad = false;
  while (NextBox(moov, at, box, bad))
    if (box.type == Tag("trak") && !ReadTrack(box.body, fileSize, info)) return false;
  return info->audioTracks == 1;
}

}  // namespace

bool ReadM4rFile(std::span<const uint8_t> file, M4rFileInfo* info) {
  *info = M4rFileInfo{};
  size_t at = 0;
  Box box;
  bool bad = false;
  int movies = 0, mediaData = 0;
  bool first = true;
  while (NextBox(file, at, box, bad)) {
    if (first) {
      if (box.type != Tag("ftyp") || box.body.size() < 8) return false;
      info->majorBrand = Be32(box.body.data());
      first = false;
    } else if (box.type == Tag("moov")) {
      if (++movies > 1 || !ReadMovie(box.body, file.size(), info)) return false;
    } else if (box.type == Tag("mdat")) {
      ++mediaData;
    }
  }
  return !bad && !first && info->majorBrand == M4aBrand && movies == 1 && mediaData >= 1 &&
         info->audioObjectType == AacLowComplexity && info->channels > 0 && info->sampleRate > 0;
}

uint64_t M4rDurationMs(const M4rFileInfo& info) {
  if (info.timescale == 0) return 0;
  return info.duration / info.timescale * 1000 + info.duration % info.timescale * 1000 / info.timescale;
}

long CheckM4rFile(std::span<const uint8_t> file) {
  M4rFileInfo info;
  return ReadM4rFile(file, &info) ? static_cast<long>(info.sampleCount) : -1;
}

long M4rFileDurationMs(std::span<const uint8_t> file) {
  M4rFileInfo info;
  if (!ReadM4rFile(file, &info)) return -1;
  const uint64_t ms = M4rDurationMs(info);
  return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<long>(ms);
}
