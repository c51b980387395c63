#include "session/ringtone_format.h"

const char* RingtoneFileName(int32_t format) {
  switch (format) {
    case RingtoneQcp: return "new.qcp";
    case RingtoneAmr: return "a.amr";
    case RingtoneWav: return "test.wav";
    case RingtoneMp3: return "a.mp3";
    case RingtoneMmf: return "test.mmf";
    default: return nullptr;
  }
}
