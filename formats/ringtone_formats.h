// The ringtone formats and the one table of their facts: the word the catalogue and the
// upload name a format by, the working file its encoder writes, the media type and file-name
// extension the service serves it with, its whole-file check, and for the phones of today
// the length rule that takes the place of the 100 KB rule.
#pragma once
#include <cstdint>
#include <string_view>

#include "formats/whole_file_check.h"

enum RingtoneFormat : int32_t {
  RingtoneQcp = 0,
  RingtoneAmr = 1,
  RingtoneWav = 2,
  RingtoneMp3 = 3,
  RingtoneMmf = 4,
  RingtoneM4r = 5,
  RingtoneOgg = 6,
};
inline constexpr int32_t RingtoneFormatCount = 7;

// A file's duration in milliseconds, or -1 when the bytes are not a file of the format.
using FileDurationMs = long (*)(std::span<const uint8_t> file);

struct RingtoneFormatFacts {
  RingtoneFormat format;
  const char* catalogueWord;  // the phone's <format> in the catalogue, compared exactly
  const char* workingFile;    // the ringtone file the encoder writes in the working folder
  const char* typeWord;       // the type of the upload's file part
  const char* mediaType;      // Content-Type of the service's download
  const char* extension;      // file-name extension of the service's download, without dot
  WholeFileCheck check;
  // The length rule: at most this many seconds, read from the file by `duration`, for phones
  // the message names `phones` ("iPhone"). 0 (and nullptr) for formats under the 100 KB rule.
  int32_t maxSeconds;
  FileDurationMs duration;
  const char* phones;
};

// The facts of `format`; nullptr for a value outside the enumeration.
const RingtoneFormatFacts* RingtoneFormatFactsOf(int32_t format);

// The format whose catalogue word is exactly `word`. False (and *format unchanged) for any
// other word.
bool RingtoneFormatFromWord(std::string_view word, int32_t* format);
