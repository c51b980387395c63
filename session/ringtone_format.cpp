#include "session/ringtone_format.h"

const char* RingtoneFileName(int32_t format) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  return facts ? facts->workingFile : nullptr;
}

bool RingtoneTooLong(int32_t format, int64_t durationMs) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  return facts && facts->maxSeconds > 0 && durationMs > int64_t{facts->maxSeconds} * 1000;
}

std::string TooLongMessage(int32_t format) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  if (!facts || facts->maxSeconds == 0) return {};
  return std::string("Sorry, ") + facts->phones + " ringtones can be at most " +
         std::to_string(facts->maxSeconds) +
         " seconds long. Please choose a shorter clip and convert again.";
}
