// The ringtone formats and the one table of their facts: the word the catalogue and the
// upload name a format by, the working file its encoder writes, the media type and file-name
// extension the service serves it with, and its whole-file check.
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
};
inline constexpr int32_t RingtoneFormatCount = 5;

struct RingtoneFormatFacts {
  RingtoneFormat format;
  const char* catalogueWord;  // the phone's <format> in the catalogue, compared exactly
  const char* workingFile;    // the ringtone file the encoder writes in the working folder
  const char* typeWord;       // the type of the upload's file part
  const char* mediaType;      // Content-Type of the service's download
  const char* extension;      // file-name extension of the service's download, without dot
  WholeFileCheck check;
};

// The facts of `format`; nullptr for a value outside the enumeration.
const RingtoneFormatFacts* RingtoneFormatFactsOf(int32_t format);

// The format whose catalogue word is exactly `word`. False (and *format unchanged) for any
// other word.
bool RingtoneFormatFromWord(std::string_view word, int32_t* format);
