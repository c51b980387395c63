#include "formats/m4r_file.h"

#include <algorithm>
#include <vector>

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

// Reads an AudioSpecificConfig bit by bit, most significant first.
class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  uint32_t Bits(int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i, ++at_)
      value = value << 1 | (at_ < bytes_.size() * 8 ? bytes_[at_ / 8] >> (7 - at_ % 8) & 1u : 0u);
    return value;
  }
  size_t Left() const { return at_ < bytes_.size() * 8 ? bytes_.size() * 8 - at_ : 0; }
  bool Overrun() const { return at_ > bytes_.size() * 8; }

 private:
  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
};

constexpr uint32_t SbrObjectType = 5;
constexpr uint32_t SbrSyncExtension = 0x2B7;

// The audio object type an AudioSpecificConfig plays as: its own, or SBR (5) when an AAC-LC
// config signals SBR through the backward-compatible sync extension (HE-AAC that old decoders
// play at half the rate). 0 when it does not read.
uint32_t PlayedObjectType(std::span<const uint8_t> config) {
  BitReader bits(config);
  uint32_t type = bits.Bits(5);
  if (type == 31) type = 32 + bits.Bits(6);
  if (bits.Bits(4) == 0xF) bits.Bits(24);  // an explicit sampling rate
  const uint32_t channelConfig = bits.Bits(4);
  if (bits.Overrun()) return 0;
  if (type != AacLowComplexity) return type;
  // GASpecificConfig: frame length, core coder (and its delay), extension flag. A program
  // config element (channel configuration 0) would hide what follows: not a ringtone's.
  if (channelConfig == 0) return 0;
  bits.Bits(1);
  if (bits.Bits(1)) bits.Bits(14);
  bits.Bits(1);
  if (bits.Left() >= 16 && bits.Bits(11) == SbrSyncExtension &&
      bits.Bits(5) == SbrObjectType && bits.Bits(1) == 1)
    return SbrObjectType;
  return bits.Overrun() ? 0 : type;
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
  if (reader.U8() != 0x05) return 0;
  const uint32_t length = DescriptorLength(reader);
  const std::span<const uint8_t> config = reader.Bytes(length);
  if (reader.Failed() || length < 2) return 0;
  return PlayedObjectType(config);
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

// The largest bit rate a ringtone's audio may have, in bytes a second (320 kbit/s), and room
// for its boxes: a file larger than its length allows at that rate is not audio.
constexpr uint64_t MaxAudioBytesPerSecond = 40000;
constexpr uint64_t MaxBoxBytes = 64 * 1024;

// a * b / c toward zero, at most UINT64_MAX, for b and c below 2^32 (no 128-bit arithmetic:
// the 32-bit program reads these files too).
uint64_t MulDiv(uint64_t a, uint64_t b, uint64_t c) {
  const uint64_t whole = a / c, part = a % c;
  if (b != 0 && whole > UINT64_MAX / b) return UINT64_MAX;
  const uint64_t high = whole * b, low = part * b / c;
  return high > UINT64_MAX - low ? UINT64_MAX : high + low;
}

// The samples' byte ranges, chunk by chunk: sizes (stsz), chunks (stsc) and offsets (stco or
// co64) must place every sample inside the file, one chunk after the other; the audio's
// bytes, in the order of the file, must cover the media data exactly.
struct ChunkRun {
  uint64_t offset = 0;
  uint64_t bytes = 0;
};

bool ReadSampleTable(std::span<const uint8_t> stbl, size_t fileSize, M4rFileInfo* info,
                     std::vector<ChunkRun>& chunks) {
  std::span<const uint8_t> stsd, stsz, stts, stsc, offsets;
  if (!BoxesFit(stbl) || !ChildBox(stbl, Tag("stsd"), stsd) || !ReadSampleEntry(stsd, info) ||
      !ChildBox(stbl, Tag("stsz"), stsz) || !ChildBox(stbl, Tag("stts"), stts) ||
      !ChildBox(stbl, Tag("stsc"), stsc))
    return false;
  ByteReader sizes(stsz);
  sizes.Skip(4);
  const uint32_t sampleSize = sizes.Be32();
  info->sampleCount = sizes.Be32();
  if (sizes.Failed() || info->sampleCount == 0) return false;
  if (sampleSize == 0 && sizes.Remaining() / 4 < info->sampleCount) return false;

  // Decoding times: every sample's duration in the media's timescale.
  ByteReader times(stts);
  times.Skip(4);
  const uint32_t timeRuns = times.Be32();
  if (times.Failed() || times.Remaining() / 8 < timeRuns) return false;
  uint64_t timed = 0;
  info->sampleTicks = 0;
  for (uint32_t i = 0; i < timeRuns; ++i) {
    const uint64_t count = times.Be32();
    const uint64_t delta = times.Be32();
    timed += count;
    info->sampleTicks += count * delta;  // below 2^64: at most 2^17 runs of below 2^64 / 2^17
    if (timed > info->sampleCount || count * delta > (uint64_t{1} << 46)) return false;
  }
  if (timed != info->sampleCount) return false;

  const bool wide = ChildBox(stbl, Tag("co64"), offsets);
  if (!wide && !ChildBox(stbl, Tag("stco"), offsets)) return false;
  ByteReader chunkOffsets(offsets);
  chunkOffsets.Skip(4);
  const uint32_t count = chunkOffsets.Be32();
  if (chunkOffsets.Failed() || count == 0 || chunkOffsets.Remaining() / (wide ? 8 : 4) < count)
    return false;
  ByteReader runs(stsc);
  runs.Skip(4);
  const uint32_t runCount = runs.Be32();
  if (runs.Failed() || runCount == 0 || runs.Remaining() / 12 < runCount) return false;
  uint32_t firstChunk = runs.Be32(), perChunk = runs.Be32();
  runs.Skip(4);
  if (firstChunk != 1) return false;
  uint32_t runsLeft = runCount - 1;
  uint32_t nextFirst = runsLeft ? runs.Be32() : UINT32_MAX;
  uint32_t sample = 0;
  chunks.reserve(chunks.size() + count);
  for (uint32_t chunk = 1; chunk <= count; ++chunk) {
    if (chunk == nextFirst) {
      perChunk = runs.Be32();
      runs.Skip(4);
      --runsLeft;
      const uint32_t following = runsLeft ? runs.Be32() : UINT32_MAX;
      if (following <= nextFirst) return false;
      nextFirst = following;
    }
    uint64_t offset = chunkOffsets.Be32();
    if (wide) offset = offset << 32 | chunkOffsets.Be32();
    if (perChunk > info->sampleCount - sample) return false;
    uint64_t bytes = 0;
    for (uint32_t i = 0; i < perChunk; ++i) bytes += sampleSize ? sampleSize : sizes.Be32();
    sample += perChunk;
    if (offset > fileSize || bytes > fileSize - offset) return false;
    chunks.push_back({offset, bytes});
  }
  return sample == info->sampleCount && !runs.Failed() && !sizes.Failed();
}

// The media header of the audio track: its timescale and duration.
bool ReadMediaHeader(std::span<const uint8_t> mdhd, M4rFileInfo* info) {
  ByteReader header(mdhd);
  const uint8_t version = header.U8();
  header.Skip(3);
  header.Skip(version == 1 ? 16 : 8);
  info->mediaTimescale = header.Be32();
  uint64_t duration = header.Be32();
  if (version == 1) duration = duration << 32 | header.Be32();
  info->mediaDuration = duration;
  return !header.Failed() && version <= 1 && info->mediaTimescale != 0;
}

// One track: counts it when its handler is "soun" and reads its sample table.
bool ReadTrack(std::span<const uint8_t> trak, size_t fileSize, M4rFileInfo* info,
               std::vector<ChunkRun>& chunks) {
  std::span<const uint8_t> mdia, hdlr, mdhd, minf, stbl;
  if (!BoxesFit(trak) || !ChildBox(trak, Tag("mdia"), mdia) || !BoxesFit(mdia) ||
      !ChildBox(mdia, Tag("hdlr"), hdlr) || hdlr.size() < 12)
    return false;
  if (Be32(hdlr.data() + 8) != Tag("soun")) return true;  // another kind of track
  if (++info->audioTracks > 1) return false;
  return ChildBox(mdia, Tag("mdhd"), mdhd) && ReadMediaHeader(mdhd, info) &&
         ChildBox(mdia, Tag("minf"), minf) && BoxesFit(minf) &&
         ChildBox(minf, Tag("stbl"), stbl) && ReadSampleTable(stbl, fileSize, info, chunks);
}

bool ReadMovie(std::span<const uint8_t> moov, size_t fileSize, M4rFileInfo* info,
               std::vector<ChunkRun>& chunks) {
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
    if (box.type == Tag("trak") && !ReadTrack(box.body, fileSize, info, chunks)) return false;
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
  std::vector<ChunkRun> chunks;
  uint64_t dataAt = 0, dataBytes = 0;
  while (NextBox(file, at, box, bad)) {
    if (first) {
      if (box.type != Tag("ftyp") || box.body.size() < 8) return false;
      info->majorBrand = Be32(box.body.data());
      first = false;
    } else if (box.type == Tag("moov")) {
      if (++movies > 1 || !ReadMovie(box.body, file.size(), info, chunks)) return false;
    } else if (box.type == Tag("mdat")) {
      ++mediaData;
      dataAt = static_cast<uint64_t>(box.body.data() - file.data());
      dataBytes = box.body.size();
    }
  }
  if (bad || first || info->majorBrand != M4aBrand || movies != 1 || mediaData != 1 ||
      info->audioObjectType != AacLowComplexity || info->channels == 0 || info->sampleRate == 0)
    return false;
  // The audio's chunks, in the order of the file, are the media data and nothing else.
  std::sort(chunks.begin(), chunks.end(),
            [](const ChunkRun& a, const ChunkRun& b) { return a.offset < b.offset; });
  uint64_t next = dataAt;
  for (const ChunkRun& chunk : chunks) {
    if (chunk.offset != next) return false;
    next += chunk.bytes;
  }
  if (next != dataAt + dataBytes) return false;
  // One length, however it is read: the samples' durations, the media header's and the movie
  // header's agree within two frames (the encoder's priming frame and the last one's padding).
  const uint64_t samplesMs = M4rDurationMs(info->sampleTicks, info->mediaTimescale);
  const uint64_t frameMs = 2 * MulDiv(1024, 1000, info->sampleRate) + 1;
  auto near = [&](uint64_t ms) { return ms + frameMs >= samplesMs && ms <= samplesMs + frameMs; };
  if (!near(M4rDurationMs(info->mediaDuration, info->mediaTimescale)) ||
      !near(M4rDurationMs(info->duration, info->timescale)))
    return false;
  return file.size() <= MaxBoxBytes + MulDiv(samplesMs, MaxAudioBytesPerSecond, 1000);
}

uint64_t M4rDurationMs(uint64_t ticks, uint32_t timescale) {
  return timescale == 0 ? 0 : MulDiv(ticks, 1000, timescale);
}

uint64_t M4rDurationMs(const M4rFileInfo& info) {
  return M4rDurationMs(info.sampleTicks, info.mediaTimescale);
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
