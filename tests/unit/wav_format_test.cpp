// What the import decides for the files other tools write.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "import/wav_format.h"
#include "tests/unit/wav_format_records.h"

namespace {

using namespace wav_records;

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
