#include "formats/ogg_file.h"

#include <array>
#include <cstring>

#include "formats/byte_order.h"

namespace {

constexpr size_t PageHeaderBytes = 27;
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
  return info->channels >= 1 && info->channels <= 8 && info->sampleRate > 0 &&
         (packet[29] & 1) != 0;
}

}  // namespace

uint32_t OggPageCrc(std::span<const uint8_t> bytes) { return CrcUpdate(0, bytes); }

bool ReadOggVorbisFile(std::span<const uint8_t> file, OggFileInfo* info) {
  *info = OggFileInfo{};
  size_t at = 0;
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
    const uint64_t granule = Le64(page.data() + 6);
    if (granule != ~uint64_t{0}) info->lastGranule = granule;
    ++info->pages;
    at += page.size();
  }
  return info->pages > 0;
}

uint64_t OggDurationMs(const OggFileInfo& info) {
  if (info.sampleRate == 0) return 0;
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
