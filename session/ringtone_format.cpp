#include "session/ringtone_format.h"

const char* RingtoneFileName(int32_t format) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  return facts ? facts->workingFile : nullptr;
}
