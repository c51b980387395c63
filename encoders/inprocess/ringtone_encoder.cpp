#include "encoders/inprocess/ringtone_encoder.h"

#include "formats/ringtone_formats.h"

RingtoneEncoder InProcessEncoderFor(int32_t format) {
  switch (format) {
    case RingtoneM4r:
      return EncodeM4r;
    case RingtoneOgg:
      return EncodeOggVorbis;
    default:
      return nullptr;
  }
}
