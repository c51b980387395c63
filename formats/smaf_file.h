// The SMAF (MMF) container of one mono ADPCM wave track, as handsets read it:
//   "MMMD" size                                  (sizes are big-endian; the file size
//     "CNTI" content info                         counts the CRC)
//     "OPDA" option data (only when some text is given)
//     "ATR\0" track header, "Atsq" sequence (one note that plays wave 1), "Awa\1" wave
//   CRC-16 of everything before it (polynomial 0x1021, start 0xFFFF, inverted), big-endian.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

struct SmafText {
  char tag[2];             // two-letter option tag, e.g. "ST" for the title
  std::string_view value;  // empty values are left out; at most 65535 bytes are kept
};

struct SmafContent {
  uint8_t contentClass = 0x00;
  uint8_t contentType = 0x01;
  uint8_t codeType = 0x01;  // how the option texts are coded: 0x01 is Latin-1
  std::span<const SmafText> texts;
};

// Where each part goes, worked out before anything is written.
struct SmafPlan {
  size_t fileBytes = 0;
  size_t waveOffset = 0;  // body of "Awa\1"
  size_t waveBytes = 0;   // ADPCM bytes: ceil(samples / 2)
  uint8_t rateCode = 0;
  uint8_t timebaseCode = 0;
  uint32_t gateTicks = 0;  // the note's length in timebase ticks
  size_t optionBytes = 0;  // body of "OPDA", 0 when it is left out
};

// Rates the track header can name: 4000, 8000, 11025, 22050, 44100 Hz (codes 0 to 4).
int SmafRateCode(uint32_t sampleRate);

// False when the rate has no code, there are no samples, the note is too long for the
// longest timebase (about 13 minutes), or the file would pass 2 GB.
bool PlanSmafFile(uint32_t sampleRate, size_t sampleCount, const SmafContent& content,
                  SmafPlan& plan);

// Writes every byte of the file except the wave data, which the caller puts at
// plan.waveOffset before this call (the CRC covers it). `file` holds plan.fileBytes.
void WriteSmafFrame(const SmafPlan& plan, const SmafContent& content, std::span<uint8_t> file);

uint16_t SmafCrc16(std::span<const uint8_t> bytes);

// The number of track chunks of a whole SMAF file, or -1: "MMMD" whose size names exactly the
// bytes after its header, a body of chunks that fit it back to back with "CNTI" first and at
// least one track chunk ("ATR", "MTR" or "GTR" and a track number), and the CRC of everything
// before it in the last two bytes.
long CheckSmafFile(std::span<const uint8_t> file);
