#include "formats/qcp_file.h"

#include <cstring>

#include "formats/byte_order.h"
#include "formats/riff_chunks.h"

namespace {

// {5E7F6D41-B115-11D0-BA91-00805FB4B97E}, as stored (little-endian fields). Files from some
// sources carry 0x42 in the first byte instead of 0x41; both name QCELP-13K.
const uint8_t Qcelp13kGuid[16] = {0x41, 0x6D, 0x7F, 0x5E, 0x15, 0xB1, 0xD0, 0x11,
                                  0xBA, 0x91, 0x00, 0x80, 0x5F, 0xB4, 0xB9, 0x7E};

constexpr uint32_t FmtBodyBytes = 150;
constexpr uint32_t VratBodyBytes = 8;

void PutTag(std::vector<uint8_t>& v, const char* tag) {
  for (int i = 0; i < 4; ++i) v.push_back(uint8_t(tag[i]));
}

// Counts the packets of `data`, each sized by its rate octet through `sizes` (bytes after the
// octet, -1 unknown). -1 if a packet is unknown or cut.
long WalkPackets(std::span<const uint8_t> data, const int sizes[256]) {
  size_t pos = 0;
  long count = 0;
  while (pos < data.size()) {
    const int after = sizes[data[pos]];
    if (after < 0 || data.size() - pos - 1 < size_t(after)) return -1;
    pos += 1 + size_t(after);
    ++count;
  }
  return count;
}

}  // namespace

size_t QcelpPacketBytes(uint8_t rateOctet) {
  static const size_t sizes[5] = {1, 4, 8, 17, 35};
  return rateOctet < 5 ? sizes[rateOctet] : 0;
}

bool BuildQcpFile(std::span<const uint8_t> packets, std::vector<uint8_t>& file) {
  int sizes[256];
  for (int i = 0; i < 256; ++i) sizes[i] = i < 5 ? int(QcelpPacketBytes(uint8_t(i))) - 1 : -1;
  const long count = WalkPackets(packets, sizes);
  if (count < 0 || packets.size() > 0x7FFF0000u) return false;

  const uint32_t dataBytes = uint32_t(packets.size());
  const uint32_t pad = dataBytes & 1;
  const uint32_t riffBytes = 4 + (8 + FmtBodyBytes) + (8 + VratBodyBytes) + 8 + dataBytes + pad;
  file.clear();
  file.reserve(8 + riffBytes);
  PutTag(file, "RIFF");
  AppendLe32(file, riffBytes);
  PutTag(file, "QLCM");

  PutTag(file, "fmt ");
  AppendLe32(file, FmtBodyBytes);
  file.push_back(1);  // major version: QCELP-13K and EVRC
  file.push_back(0);  // minor version
  file.insert(file.end(), Qcelp13kGuid, Qcelp13kGuid + 16);
  AppendLe16(file, 2);  // codec version
  const char name[80] = "Qcelp 13K";
  for (char c : name) file.push_back(uint8_t(c));
  // Average bits per second of this file, rate octets included (14000 at full rate
  // throughout): tools that estimate the duration from it then get it right.
  const uint64_t averageBps = count ? (uint64_t(dataBytes) * 8 * 50 + uint64_t(count) / 2) /
                                          uint64_t(count)
                                    : 14000;
  AppendLe16(file, uint16_t(averageBps > 0 && averageBps <= 0xFFFF ? averageBps : 14000));
  AppendLe16(file, 35);     // largest packet, rate octet included
  AppendLe16(file, 160);    // samples per packet
  AppendLe16(file, 8000);   // sampling rate
  AppendLe16(file, 16);     // bits per sample
  // Rate map: entries of (bytes after the rate octet, rate octet), highest rate first.
  AppendLe32(file, 5);
  for (int octet = 4; octet >= 0; --octet) {
    file.push_back(uint8_t(QcelpPacketBytes(uint8_t(octet)) - 1));
    file.push_back(uint8_t(octet));
  }
  for (int i = 5; i < 8; ++i) AppendLe16(file, 0);
  for (int i = 0; i < 5; ++i) AppendLe32(file, 0);  // reserved

  PutTag(file, "vrat");
  AppendLe32(file, VratBodyBytes);
  AppendLe32(file, 1);  // variable rate: every packet carries its rate octet
  AppendLe32(file, uint32_t(count));

  PutTag(file, "data");
  AppendLe32(file, dataBytes);
  file.insert(file.end(), packets.begin(), packets.end());
  if (pad) file.push_back(0);
  return true;
}

long CheckQcpFile(std::span<const uint8_t> bytes) {
  if (!IsRiffForm(bytes, "QLCM")) return -1;
  const uint8_t* fmt = nullptr;
  bool haveVrat = false;
  uint32_t vratPackets = 0;
  std::span<const uint8_t> data;
  bool haveData = false;
  // A missing pad byte after the last chunk is tolerated.
  RiffChunkWalk walk(bytes);
  RiffChunk chunk;
  while (walk.Next(chunk)) {
    if (!chunk.Whole()) return -1;  // a chunk cut by the end of the file
    if (chunk.Is("fmt ") && !fmt) {
      if (chunk.size < FmtBodyBytes) return -1;
      fmt = bytes.data() + chunk.body;
    } else if (chunk.Is("vrat") && !haveVrat) {
      if (chunk.size < VratBodyBytes) return -1;
      haveVrat = true;
      vratPackets = Le32(bytes.data() + chunk.body + 4);
    } else if (chunk.Is("data") && !haveData) {
      haveData = true;
      data = bytes.subspan(chunk.body, chunk.size);
    }
  }
  if (!fmt || !haveVrat || !haveData) return -1;
  if (fmt[0] != 1) return -1;
  if ((fmt[2] != 0x41 && fmt[2] != 0x42) || std::memcmp(fmt + 3, Qcelp13kGuid + 1, 15) != 0)
    return -1;
  int sizes[256];
  for (int& s : sizes) s = -1;
  const uint32_t rates = Le32(fmt + 110);
  if (rates == 0 || rates > 8) return -1;
  for (uint32_t i = 0; i < rates; ++i) {
    const uint8_t after = fmt[114 + 2 * i];
    const uint8_t octet = fmt[115 + 2 * i];
    if (octet > 4 || size_t(after) + 1 != QcelpPacketBytes(octet)) return -1;
    sizes[octet] = after;
  }
  const long count = WalkPackets(data, sizes);
  if (count < 0 || uint32_t(count) != vratPackets) return -1;
  return count;
}
