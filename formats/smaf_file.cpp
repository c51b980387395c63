#include "formats/smaf_file.h"

#include <cstring>
#include <limits>

#include "formats/byte_order.h"

namespace {

constexpr uint32_t Rates[] = {4000, 8000, 11025, 22050, 44100};

struct Timebase {
  uint8_t code;
  uint32_t milliseconds;
};
// 4 ms is what players expect; a longer one only when the note would not fit.
constexpr Timebase Timebases[] = {{0x02, 4}, {0x03, 5}, {0x10, 10}, {0x11, 20}, {0x12, 40},
                                  {0x13, 50}};

// Durations are coded in one or two bytes; the two-byte form starts at 128.
constexpr uint32_t MaxTicks = 128 + 0x3FFF;

size_t TicksBytes(uint32_t ticks) { return ticks < 128 ? 1 : 2; }

size_t PutTicks(uint8_t* p, uint32_t ticks) {
  if (ticks < 128) {
    p[0] = static_cast<uint8_t>(ticks);
    return 1;
  }
  ticks -= 128;
  p[0] = static_cast<uint8_t>(0x80 | ticks >> 7);
  p[1] = static_cast<uint8_t>(ticks & 0x7F);
  return 2;
}

size_t TextBytes(const SmafText& text) {
  return text.value.size() < 0xFFFF ? text.value.size() : 0xFFFF;
}

size_t DchBytes(const SmafContent& content) {
  size_t bytes = 0;
  for (const SmafText& text : content.texts) {
    if (!text.value.empty()) bytes += 4 + TextBytes(text);
  }
  return bytes;
}

// Header chunks before the wave data, given the sequence length.
constexpr size_t CntiBytes = 8 + 5;
constexpr size_t TrackHeaderBytes = 6;

size_t AtsqBodyBytes(uint32_t ticks) { return 2 + 2 * TicksBytes(ticks) + 2 + 4; }

}  // namespace

int SmafRateCode(uint32_t sampleRate) {
  for (int i = 0; i < 5; ++i) {
    if (Rates[i] == sampleRate) return i;
  }
  return -1;
}

bool PlanSmafFile(uint32_t sampleRate, size_t sampleCount, const SmafContent& content,
                  SmafPlan& plan) {
  plan = SmafPlan{};
  int rateCode = SmafRateCode(sampleRate);
  if (rateCode < 0 || sampleCount == 0) return false;
  if (sampleCount > std::numeric_limits<uint32_t>::max()) return false;
  // The note must last the whole wave: round its length up.
  const Timebase* chosen = nullptr;
  uint64_t ticks = 0;
  for (const Timebase& tb : Timebases) {
    uint64_t perTick = static_cast<uint64_t>(sampleRate) * tb.milliseconds;
    ticks = (static_cast<uint64_t>(sampleCount) * 1000 + perTick - 1) / perTick;
    if (ticks <= MaxTicks) {
      chosen = &tb;
      break;
    }
  }
  if (!chosen) return false;

  plan.rateCode = static_cast<uint8_t>(rateCode);
  plan.timebaseCode = chosen->code;
  plan.gateTicks = static_cast<uint32_t>(ticks);
  plan.waveBytes = sampleCount / 2 + (sampleCount & 1);
  size_t dch = DchBytes(content);
  plan.optionBytes = dch ? 8 + dch : 0;
  size_t before = 8 + CntiBytes + (plan.optionBytes ? 8 + plan.optionBytes : 0) + 8 +
                  TrackHeaderBytes + 8 + AtsqBodyBytes(plan.gateTicks) + 8;
  plan.waveOffset = before;
  uint64_t total = static_cast<uint64_t>(before) + plan.waveBytes + 2;
  if (total > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return false;
  plan.fileBytes = static_cast<size_t>(total);
  return true;
}

void WriteSmafFrame(const SmafPlan& plan, const SmafContent& content, std::span<uint8_t> file) {
  uint8_t* p = file.data();
  auto chunk = [&](const char* id, size_t size) {
    std::memcpy(p, id, 4);
    PutBe32(p + 4, static_cast<uint32_t>(size));
    p += 8;
  };
  chunk("MMMD", plan.fileBytes - 8);
  chunk("CNTI", 5);
  *p++ = content.contentClass;
  *p++ = content.contentType;
  *p++ = content.codeType;
  *p++ = 0;  // copy status: no restriction
  *p++ = 0;  // copy count

  if (plan.optionBytes) {
    chunk("OPDA", plan.optionBytes);
    char dch[4] = {'D', 'c', 'h', static_cast<char>(content.codeType)};
    chunk(dch, plan.optionBytes - 8);
    for (const SmafText& text : content.texts) {
      if (text.value.empty()) continue;
      size_t length = TextBytes(text);
      *p++ = static_cast<uint8_t>(text.tag[0]);
      *p++ = static_cast<uint8_t>(text.tag[1]);
      *p++ = static_cast<uint8_t>(length >> 8);
      *p++ = static_cast<uint8_t>(length);
      std::memcpy(p, text.value.data(), length);
      p += length;
    }
  }

  size_t atsq = AtsqBodyBytes(plan.gateTicks);
  chunk(std::string_view("ATR\0", 4).data(), TrackHeaderBytes + 8 + atsq + 8 + plan.waveBytes);
  *p++ = 0x00;                                      // format type: handset standard
  *p++ = 0x00;                                      // sequence type: stream
  *p++ = static_cast<uint8_t>(0x10 | plan.rateCode);  // mono, ADPCM, rate
  *p++ = 0x00;                                      // 4-bit samples
  *p++ = plan.timebaseCode;                         // duration timebase
  *p++ = plan.timebaseCode;                         // gate timebase

  chunk("Atsq", atsq);
  *p++ = 0x00;  // at once:
  *p++ = 0x01;  //   wave 1 on channel 0,
  p += PutTicks(p, plan.gateTicks);  // for the whole wave;
  p += PutTicks(p, plan.gateTicks);  // when it has played:
  *p++ = 0xFF;  //   no operation,
  *p++ = 0x00;
  *p++ = 0x00;  // at once:
  *p++ = 0x00;  //   end of sequence
  *p++ = 0x00;
  *p++ = 0x00;

  chunk(std::string_view("Awa\1", 4).data(), plan.waveBytes);
  p += plan.waveBytes;  // the caller's ADPCM bytes

  uint16_t crc = SmafCrc16(file.first(plan.fileBytes - 2));
  p[0] = static_cast<uint8_t>(crc >> 8);
  p[1] = static_cast<uint8_t>(crc);
}

uint16_t SmafCrc16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= static_cast<uint16_t>(b << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return static_cast<uint16_t>(~crc);
}

long CheckSmafFile(std::span<const uint8_t> file) {
  constexpr size_t CrcBytes = 2;
  if (file.size() < 8 + CrcBytes || std::memcmp(file.data(), "MMMD", 4) != 0 ||
      Be32(file.data() + 4) != file.size() - 8)
    return -1;
  const size_t end = file.size() - CrcBytes;
  long tracks = 0;
  for (size_t at = 8; at < end;) {
    if (end - at < 8) return -1;
    const uint8_t* id = file.data() + at;
    const size_t size = Be32(id + 4);
    if (size > end - at - 8) return -1;
    if (at == 8 && std::memcmp(id, "CNTI", 4) != 0) return -1;
    if (std::memcmp(id, "ATR", 3) == 0 || std::memcmp(id, "MTR", 3) == 0 ||
        std::memcmp(id, "GTR", 3) == 0)
      ++tracks;
    at += 8 + size;
  }
  const uint16_t stored = Be16(file.data() + end);
  return tracks > 0 && stored == SmafCrc16(file.first(end)) ? tracks : -1;
}
