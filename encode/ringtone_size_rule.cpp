#include "encode/ringtone_size_rule.h"

#include <cstdio>

#include "session/ringtone_format.h"

int32_t RingtoneKilobytes(int32_t fileBytes) {
  return fileBytes < 0 ? 0 : KilobytesOf(fileBytes);
}

bool RingtoneTooLarge(int32_t kilobytes) { return kilobytes > RingtoneKilobyteLimit; }

std::string OversizeMessage(int32_t kilobytes) {
  char text[256];
  std::snprintf(text, sizeof text,
                "Sorry,ringtones greater than 100KB are not \nallowed for compatibility reasons. "
                "Please choose a shorter clip\n size and convert again, and then click upload:\n "
                "Current Clip Size: %dKB",
                static_cast<int>(kilobytes));
  return text;
}

std::string SizeBoxText(int32_t kilobytes) {
  return std::to_string(kilobytes) + "KB";
}

std::string EncoderFailureMessage(int32_t ringtoneFormat) {
  const char* encoder = nullptr;
  const char* kind = nullptr;
  switch (ringtoneFormat) {
    case RingtoneQcp: encoder = "ringq.dll"; kind = "qcp"; break;
    case RingtoneAmr: encoder = "wav2amr.exe"; kind = "amr"; break;
    case RingtoneWav: encoder = "the clip extraction"; kind = "wav"; break;
    case RingtoneMp3: encoder = "lame.exe"; kind = "mp3"; break;
    case RingtoneMmf: encoder = "ringm.dll"; kind = "mmf"; break;
    case RingtoneM4r: encoder = "the AAC encoder (avcodec DLL)"; kind = "m4r"; break;
    case RingtoneOgg: encoder = "the Vorbis encoder"; kind = "ogg"; break;
    default: return {};
  }
  return std::string("Couldn't convert to ") + kind + ": " + encoder + " did not write " +
         RingtoneFileName(ringtoneFormat) + ".\nPlease convert again.";
}
