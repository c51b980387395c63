// The header reader over plain and extensible "fmt " records, and what the import decides for
// the files other tools write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/wav_format.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Le(Bytes& b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Header {
  uint16_t tag = 1;
  uint16_t channels = 2;
  uint32_t rate = 48000;
  uint16_t bits = 16;
  int blockAlign = -1;     // -1: channels x whole bytes
  int subFormat = -1;      // >= 0: an extensible record with this standard sub-format tag
  uint32_t mask = 0;
  bool oddGuid = false;    // a sub-format GUID outside the standard family
  size_t cut = 0;          // bytes cut off the end of the record
};

Bytes FmtBody(const Header& h) {
  Bytes f;
  uint16_t align = static_cast<uint16_t>(h.blockAlign >= 0 ? h.blockAlign
                                                           : h.channels * ((h.bits + 7) / 8));
  Le(f, h.subFormat >= 0 ? 0xFFFE : h.tag, 2);
  Le(f, h.channels, 2);
  Le(f, h.rate, 4);
  Le(f, h.rate * align, 4);
  Le(f, align, 2);
  Le(f, h.bits, 2);
  if (h.subFormat >= 0) {
    Le(f, 22, 2);
    Le(f, h.bits, 2);
    Le(f, h.mask, 4);
    Le(f, static_cast<uint32_t>(h.subFormat), 2);
    const uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    f.insert(f.end(), tail, tail + 14);
    if (h.oddGuid) f.back() ^= 0xFF;
  } else if (h.tag != 1) {
    Le(f, 0, 2);  // cbSize, as writers put it after non-PCM records
  }
  f.resize(f.size() - h.cut);
  return f;
}

void Chunk(Bytes& b, const char* id, const Bytes& body) {
  b.insert(b.end(), id, id + 4);
  Le(b, static_cast<uint32_t>(body.size()), 4);
  b.insert(b.end(), body.begin(), body.end());
  if (body.size() & 1) b.push_back(0);
}

// A whole file: RIFF header of `form`, the format, a "fact" chunk as sox writes it, the data.
Bytes File(const Header& h, size_t dataBytes = 24, const char* form = "WAVE", bool data = true) {
  Bytes chunks;
  Chunk(chunks, "fmt ", FmtBody(h));
  Chunk(chunks, "fact", Bytes{0x80, 0xBB, 0, 0});
  if (data) Chunk(chunks, "data", Bytes(dataBytes, 0x11));
  Bytes b{'R', 'I', 'F', 'F'};
  Le(b, static_cast<uint32_t>(chunks.size() + 4), 4);
  b.insert(b.end(), form, form + 4);
  b.insert(b.end(), chunks.begin(), chunks.end());
  return b;
}

TEST(ReadWavFormat, ExtensibleRecordsGiveTheirSubFormatAndSpeakers) {
  struct Case {
    const char* name;
    Header header;
    bool ok;
    WavEncoding encoding;
    uint16_t codec;
    uint32_t mask;
  };
  const Case cases[] = {
      {"extensible PCM, sox's 24-bit stereo",
       {.bits = 24, .subFormat = 1, .mask = 3}, true, WavEncoding::Integer, 1, 3},
      {"extensible float 5.1", {.channels = 6, .bits = 32, .subFormat = 3, .mask = 0x3F},
       true, WavEncoding::Float, 3, 0x3F},
      {"extensible ADPCM", {.bits = 4, .subFormat = 2}, true, WavEncoding::Compressed, 2, 0},
      {"extensible of another GUID family", {.bits = 16, .subFormat = 1, .oddGuid = true},
       true, WavEncoding::Compressed, 0, 0},
      {"extensible cut to 18 bytes", {.bits = 24, .subFormat = 1, .cut = 22}, false,
       WavEncoding::Compressed, 0, 0},
      {"extensible one byte short", {.bits = 24, .subFormat = 1, .cut = 1}, false,
       WavEncoding::Compressed, 0, 0},
      {"shorter than a PCM record", {.tag = 1, .cut = 1}, false, WavEncoding::Compressed, 0, 0},
  };
  for (const Case& c : cases) {
    Bytes body = FmtBody(c.header);
    WavFormat f;
    EXPECT_EQ(ReadWavFormat(body, &f), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(f.encoding, c.encoding) << c.name;
    EXPECT_EQ(f.codec, c.codec) << c.name;
    EXPECT_EQ(f.channelMask, c.mask) << c.name;
    EXPECT_EQ(f.channels, c.header.channels) << c.name;
    EXPECT_EQ(f.sampleRate, c.header.rate) << c.name;
    EXPECT_EQ(f.bitsPerSample, c.header.bits) << c.name;
  }
}

TEST(PlanWavImport, WhatOtherToolsWriteIsCopiedConvertedOrRefusedWithItsReason) {
  const std::string pcmPlease = " Please choose a PCM WAV file.";
  struct Case {
    const char* name;
    Bytes file;
    WavImportAction action;
    std::string message;  // the refusal's text
  };
  auto notOurs = [] {
    Bytes b{'R', 'I', 'F', 'F', 20, 0, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T', 4, 0, 0, 0};
    Le(b, 0x6C727668, 4);
    return b;
  };
  const Case cases[] = {
      // What the loader takes stays a copy.
      {"16-bit stereo", File({.tag = 1, .bits = 16}), WavImportAction::Copy, ""},
      {"8-bit mono", File({.tag = 1, .channels = 1, .bits = 8}), WavImportAction::Copy, ""},
      // Other PCM and floats are converted, whatever the channel count.
      {"24-bit stereo", File({.tag = 1, .bits = 24}), WavImportAction::Convert, ""},
      {"16-bit six channels", File({.tag = 1, .channels = 6, .bits = 16}, 36),
       WavImportAction::Convert, ""},
      {"8-bit three channels", File({.tag = 1, .channels = 3, .bits = 8}),
       WavImportAction::Convert, ""},
      {"32-bit float", File({.tag = 3, .bits = 32}), WavImportAction::Convert, ""},
      {"extensible 24-bit", File({.bits = 24, .subFormat = 1, .mask = 3}),
       WavImportAction::Convert, ""},
      {"extensible 16-bit stereo", File({.bits = 16, .subFormat = 1, .mask = 3}),
       WavImportAction::Convert, ""},
      {"extensible 64-bit float, eight channels",
       File({.channels = 8, .bits = 64, .subFormat = 3, .mask = 0x63F}, 128),
       WavImportAction::Convert, ""},
      // Compressed: named when the codec has a name users know.
      {"MS ADPCM", File({.tag = 2, .bits = 4}), WavImportAction::Refuse,
       "Sorry, this WAV file holds compressed sound (ADPCM), which Quavella cannot read." +
           pcmPlease},
      {"A-law", File({.tag = 6, .bits = 8}), WavImportAction::Refuse,
       "Sorry, this WAV file holds compressed sound (A-law), which Quavella cannot read." +
           pcmPlease},
      {"extensible mu-law", File({.bits = 8, .subFormat = 7}), WavImportAction::Refuse,
       "Sorry, this WAV file holds compressed sound (mu-law), which Quavella cannot read." +
           pcmPlease},
      {"another codec", File({.tag = 0x161, .bits = 16}), WavImportAction::Refuse,
       "Sorry, this WAV file holds compressed sound, which Quavella cannot read." + pcmPlease},
      {"GSM without data", File({.tag = 0x31, .channels = 1, .bits = 0}, 0, "WAVE", false),
       WavImportAction::Refuse,
       "Sorry, this WAV file holds compressed sound (GSM), which Quavella cannot read." +
           pcmPlease},
      // Samples of widths nothing writes.
      {"16-bit float", File({.tag = 3, .bits = 16}), WavImportAction::Refuse,
       "Sorry, Quavella cannot read floating-point WAV samples of 16 bits. Please choose a PCM "
       "WAV file of 8, 16, 24 or 32 bits."},
      {"64-bit integers", File({.tag = 1, .bits = 64}), WavImportAction::Refuse,
       "Sorry, Quavella cannot read WAV samples of 64 bits. Please choose a PCM WAV file of 8, "
       "16, 24 or 32 bits."},
      // Another kind of RIFF file.
      {"a video", notOurs(), WavImportAction::Refuse,
       "Sorry, this file holds no sound, although its name ends in .wav." + pcmPlease},
      // Damaged: copied, and the loader refuses it with the existing messages.
      {"not RIFF at all", Bytes(100, 'g'), WavImportAction::Copy, ""},
      {"video form with a format chunk", File({.tag = 1, .bits = 24}, 24, "AVI "),
       WavImportAction::Copy, ""},
      {"no data chunk", File({.tag = 1, .bits = 24}, 0, "WAVE", false), WavImportAction::Copy,
       ""},
      {"block align that disagrees", File({.tag = 1, .bits = 24, .blockAlign = 4}),
       WavImportAction::Copy, ""},
      {"no channels", File({.tag = 1, .channels = 0, .bits = 24}), WavImportAction::Copy, ""},
      {"rate 0", File({.tag = 1, .rate = 0, .bits = 24}), WavImportAction::Copy, ""},
      {"format tag 0", File({.tag = 0, .bits = 16}), WavImportAction::Copy, ""},
      {"extensible record cut short", File({.bits = 24, .subFormat = 1, .cut = 22}),
       WavImportAction::Copy, ""},
      {"file ending inside an extensible record",
       [] {
         Bytes b = File({.bits = 24, .subFormat = 1});
         return Bytes(b.begin(), b.begin() + 12 + 8 + 30);  // exact size: overreads are caught
       }(),
       WavImportAction::Copy, ""},
  };
  for (const Case& c : cases) {
    WavImportPlan plan = PlanWavImport(c.file);
    EXPECT_EQ(plan.action, c.action) << c.name;
    EXPECT_EQ(WavRefusalMessage(plan), c.message) << c.name;
  }
}

TEST(PlanWavImport, ConvertsWholeFramesOfTheDataThatIsThere) {
  // 2 frames and 4 bytes of 24-bit stereo: the part frame is left out.
  Bytes file = File({.tag = 1, .bits = 24}, 16);
  WavImportPlan plan = PlanWavImport(file);
  ASSERT_EQ(plan.action, WavImportAction::Convert);
  EXPECT_EQ(plan.data.size(), 12u);
  EXPECT_EQ(plan.data.data(), file.data() + file.size() - 16);

  // A declared size past the end of the file: the frames that are there.
  file.resize(file.size() - 5);
  plan = PlanWavImport(file);
  ASSERT_EQ(plan.action, WavImportAction::Convert);
  EXPECT_EQ(plan.data.size(), 6u);
}

}  // namespace
