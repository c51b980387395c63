#include "analysis/proposal_length.h"

#include "formats/ringtone_formats.h"
#include "session/ringtone_format.h"

namespace {

constexpr int32_t LongestOldPhoneMs = 30000;

// What one second of clip costs in the ringtone of each format under the 100 KB rule, and the
// bytes a file has beside its sound. The encoders decide these: QCELP-13K full rate (35-byte
// packets, 50 a second), AMR-NB 6.7 kbit/s (18-byte frames), the 8 kHz 16-bit mono WAV clip,
// LAME at 48 kbit/s, and 4-bit ADPCM of the 8 kHz clip in SMAF.
struct OldPhoneRate {
  RingtoneFormat format;
  int32_t bytesPerSecond;
  int32_t fileBytes;
};
constexpr OldPhoneRate OldPhoneRates[] = {
    {RingtoneQcp, 1750, 194}, {RingtoneAmr, 900, 6},    {RingtoneWav, 16000, 44},
    {RingtoneMp3, 6000, 0},   {RingtoneMmf, 4000, 128},
};

}  // namespace

int32_t ProposalMilliseconds(int32_t ringtoneFormat) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(ringtoneFormat);
  if (facts == nullptr) return 0;
  if (facts->maxSeconds > 0) return facts->maxSeconds * 1000;
  // The largest file the 100 KB rule lets through: one byte short of the next kilobyte.
  constexpr int64_t largestFile = int64_t(RingtoneKilobyteLimit + 1) * 1024 - 1;
  static_assert(KilobytesOf(int32_t(largestFile)) == RingtoneKilobyteLimit);
  for (const OldPhoneRate& rate : OldPhoneRates) {
    if (rate.format != ringtoneFormat) continue;
    const int64_t tenths = (largestFile - rate.fileBytes) * 10 / rate.bytesPerSecond;
    return int32_t(tenths * 100 < LongestOldPhoneMs ? tenths * 100 : LongestOldPhoneMs);
  }
  return 0;
}
