#include "formats/ringtone_formats.h"

#include "formats/amr_file.h"
#include "formats/mp3_frame.h"
#include "formats/qcp_file.h"
#include "formats/smaf_file.h"
#include "formats/wav_file.h"

namespace {

// In the order of the enumeration.
constexpr RingtoneFormatFacts Formats[RingtoneFormatCount] = {
    {RingtoneQcp, "qcp", "new.qcp", "qcp", "audio/qcelp", "qcp", CheckQcpFile},
    {RingtoneAmr, "amr", "a.amr", "amr", "audio/amr", "amr", CheckAmrFile},
    {RingtoneWav, "wav", "test.wav", "wav", "audio/wav", "wav", CheckWavFile},
    {RingtoneMp3, "mp3", "a.mp3", "mp3", "audio/mpeg", "mp3", CheckMp3File},
    {RingtoneMmf, "mmf", "test.mmf", "mmf", "application/vnd.smaf", "mmf", CheckSmafFile},
};

constexpr bool InEnumerationOrder() {
  for (int32_t i = 0; i < RingtoneFormatCount; ++i)
    if (Formats[i].format != i) return false;
  return true;
}
static_assert(InEnumerationOrder());

}  // namespace

const RingtoneFormatFacts* RingtoneFormatFactsOf(int32_t format) {
  return format >= 0 && format < RingtoneFormatCount ? &Formats[format] : nullptr;
}

bool RingtoneFormatFromWord(std::string_view word, int32_t* format) {
  for (const RingtoneFormatFacts& facts : Formats)
    if (word == facts.catalogueWord) {
      *format = facts.format;
      return true;
    }
  return false;
}
