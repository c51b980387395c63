#include "formats/ringtone_formats.h"

#include "formats/amr_file.h"
#include "formats/m4r_file.h"
#include "formats/mp3_frame.h"
#include "formats/ogg_file.h"
#include "formats/qcp_file.h"
#include "formats/smaf_file.h"
#include "formats/wav_file.h"

namespace {

// In the order of the enumeration.
constexpr RingtoneFormatFacts Formats[RingtoneFormatCount] = {
    {RingtoneQcp, "qcp", "new.qcp", "qcp", "audio/qcelp", "qcp", CheckQcpFile, 0, nullptr, nullptr},
    {RingtoneAmr, "amr", "a.amr", "amr", "audio/amr", "amr", CheckAmrFile, 0, nullptr, nullptr},
    {RingtoneWav, "wav", "test.wav", "wav", "audio/wav", "wav", CheckWavFile, 0, nullptr, nullptr},
    {RingtoneMp3, "mp3", "a.mp3", "mp3", "audio/mpeg", "mp3", CheckMp3File, 0, nullptr, nullptr},
    {RingtoneMmf, "mmf", "test.mmf", "mmf", "application/vnd.smaf", "mmf", CheckSmafFile, 0,
     nullptr, nullptr},
    {RingtoneM4r, "m4r", "a.m4r", "m4r", "audio/mp4", "m4r", CheckM4rFile, 30, M4rFileDurationMs,
     "iPhone"},
    {RingtoneOgg, "ogg", "a.ogg", "ogg", "audio/ogg", "ogg", CheckOggFile, 40, OggFileDurationMs,
     "Android"},
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
