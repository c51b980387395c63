#include "formats/ogg_file.h"

#include <array>
#include <cstring>

#include "formats/byte_order.h"

namespace {

constexpr size_t PageHeaderBytes = 27;
constexpr uint8_t ContinuedPacket = 0x01;
constexpr uint8_t BeginningOfStream = 0x02;

constexpr std::array<uint32_t, 256> CrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i << 24;
    for (int bit = 0; bit < 8; ++bit) r = r & 0x80000000u ? r << 1 ^ 0x04C11DB7u : r << 1;
    table[i] = r;
  }
  return table;
}
constexpr std::array<uint32_t, 256> Crc = CrcTable();

uint32_t CrcUpdate(uint32_t crc, std::span<const uint8_t> bytes) {
  for (uint8_t b : bytes) crc = crc << 8 ^ Crc[(crc >> 24 ^ b) & 0xFF];
  return crc;
}

uint64_t Le64(const uint8_t* p) { return uint64_t{Le32(p + 4)} << 32 | Le32(p); }

// The Vorbis identification header: packet type 1, "vorbis", version 0, channels, rate.
bool ReadIdentification(std::span<const uint8_t> packet, OggFileInfo* info) {
  if (packet.size() < 30 || packet[0] != 1 || std::memcmp(packet.data() + 1, "vorbis", 6) != 0 ||
      Le32(packet.data() + 7) != 0)
    return false;
  info->channels = packet[11];
  info->sampleRate = Le32(packet.data() + 12);
  const unsigned shortExponent = packet[28] & 0x0F, longExponent = packet[28] >> 4;
  info->shortBlock = 1u << shortExponent;
  info->longBlock = 1u << longExponent;
  return info->channels >= 1 && info->channels <= 8 && info->sampleRate > 0 &&
         shortExponent >= 6 && longExponent <= 13 && shortExponent <= longExponent &&
         (packet[29] & 1) != 0;
}

// The packets of the stream as its pages' lacing values cut them: the first bytes of each (as
// far as a header's signature goes), wherever it is split between pages.
struct PacketWalk {
  uint32_t ended = 0;        // packets whole so far
  bool open = false;         // a packet goes on to the next page
  uint8_t head[7] = {};      // the first bytes of the packet in progress
  size_t headBytes = 0;
  uint32_t audioPackets = 0; // packets after the three headers
  bool bad = false;

  void Segment(std::span<const uint8_t> bytes, bool last) {
    for (size_t i = 0; i < bytes.size() && headBytes < sizeof head; ++i)
      head[headBytes++] = bytes[i];
    open = !last;
    if (last) Ended();
  }
  // The identification (checked with its page), the comment and the setup header, in that
  // order, then audio packets (packet type bit 0 clear).
  void Ended() {
    const uint8_t want = ended == 1 ? 3 : ended == 2 ? 5 : 0;
    if (want != 0) {
      bad = bad || headBytes < 7 || head[0] != want || std::memcmp(head + 1, "vorbis", 6) != 0;
    } else if (ended > 2) {
      bad = bad || (headBytes > 0 && (head[0] & 1) != 0);
      ++audioPackets;
    }
    ++ended;
    headBytes = 0;
  }
};

// The largest bit rate a ringtone's audio may have, in bytes a second (320 kbit/s), and room
// for the headers and the pages: a file larger than its length allows is not audio.
constexpr uint64_t MaxAudioBytesPerSecond = 40000;
constexpr uint64_t MaxHeaderBytes = 64 * 1024;

}  // namespace

uint32_t OggPageCrc(std::span<const uint8_t> bytes) { return CrcUpdate(0, bytes); }

bool ReadOggVorbisFile(std::span<const uint8_t> file, OggFileInfo* info) {
  *info = OggFileInfo{};
  PacketWalk packets;
  size_t at = 0;
  bool granuleSeen = false;
  while (at < file.size()) {
    ByteReader header(file, at);
    const std::span<const uint8_t> pattern = header.Bytes(4);
    const uint8_t version = header.U8();
    const uint8_t type = header.U8();
    header.Skip(8);  // granule position, read below
    const uint32_t serial = header.Le32();
    const uint32_t sequence = header.Le32();
    const uint32_t crc = header.Le32();
    const uint8_t segments = header.U8();
    const std::span<const uint8_t> lacing = header.Bytes(segments);
    if (header.Failed() || std::memcmp(pattern.data(), "OggS", 4) != 0 || version != 0) return false;
    size_t bodyBytes = 0;
    for (uint8_t l : lacing) bodyBytes += l;
    if (header.Remaining() < bodyBytes) return false;
    const size_t headerBytes = PageHeaderBytes + segments;
    const std::span<const uint8_t> page = file.subspan(at, headerBytes + bodyBytes);

    // The CRC over the page with its CRC field taken as zero.
    const uint8_t zero[4] = {};
    uint32_t check = CrcUpdate(0, page.first(22));
    check = CrcUpdate(check, zero);
    check = CrcUpdate(check, page.subspan(26));
    if (check != crc) return false;

    const bool first = info->pages == 0;
    if (first != ((type & BeginningOfStream) != 0) || sequence != info->pages) return false;
    if (first) {
      // The first packet is whole on the first page.
      size_t packetBytes = 0;
      size_t i = 0;
      for (; i < lacing.size(); ++i) {
        packetBytes += lacing[i];
        if (lacing[i] < 255) break;
      }
      if (i == lacing.size() ||
          !ReadIdentification(page.subspan(headerBytes, packetBytes), info))
        return false;
      info->serial = serial;
    } else if (serial != info->serial) {
      return false;
    }
    // A page goes on with a packet exactly when the one before left it open.
    if (((type & ContinuedPacket) != 0) != packets.open) return false;
    size_t offset = headerBytes;
    for (uint8_t l : lacing) {
      packets.Segment(page.subspan(offset, l), l < 255);
      offset += l;
    }
    if (packets.bad) return false;
    // Granule positions never go back; the headers' pages have none but 0.
    const uint64_t granule = Le64(page.data() + 6);
    if (granule != ~uint64_t{0}) {
      if ((granuleSeen && granule < info->lastGranule) || (packets.ended <= 3 && granule != 0))
        return false;
      granuleSeen = true;
      info->lastGranule = granule;
    }
    ++info->pages;
    at += page.size();
  }
  if (info->pages == 0 || packets.open || packets.audioPackets == 0) return false;
  // Every audio packet but the first gives between a short block's half and a long block's
  // (the end may be trimmed by up to one block): the last granule must fit the packets.
  const uint64_t packetsGiving = packets.audioPackets - 1;
  if (info->lastGranule > uint64_t{packets.audioPackets} * info->longBlock / 2 ||
      info->lastGranule + info->longBlock < packetsGiving * (info->shortBlock / 2))
    return false;
  const uint64_t ms = OggDurationMs(*info);
  return file.size() <= MaxHeaderBytes + ms * MaxAudioBytesPerSecond / 1000;
}

uint64_t OggDurationMs(const OggFileInfo& info) {
  if (info.sampleRate == 0) return 0;
  // Sample frames in whole seconds and the rest: no product passes 64 bits.
  if (info.lastGranule / info.sampleRate > UINT64_MAX / 1000 - 1000) return UINT64_MAX;
  return info.lastGranule / info.sampleRate * 1000 +
         info.lastGranule % info.sampleRate * 1000 / info.sampleRate;
}

long CheckOggFile(std::span<const uint8_t> file) {
  OggFileInfo info;
  return ReadOggVorbisFile(file, &info) ? static_cast<long>(info.pages) : -1;
}

long OggFileDurationMs(std::span<const uint8_t> file) {
  OggFileInfo info;
  if (!ReadOggVorbisFile(file, &info)) return -1;
  const uint64_t ms = OggDurationMs(info);
  return ms > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<long>(ms);
}
