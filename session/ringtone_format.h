// Wallpaper formats, working file names and the size rules every subsystem shares (the
// ringtone formats are formats/ringtone_formats.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/ringtone_formats.h"

enum WallpaperFormat : int32_t {
  WallpaperBmp = 0,
  WallpaperJpg = 1,
  WallpaperGif = 2,
};

// Decoded PCM bytes one import may write into d.wav.
constexpr uint32_t ImportByteLimit = 50000000;
// A ringtone is refused when it has more than this many kilobytes.
constexpr int32_t RingtoneKilobyteLimit = 100;
// The largest ringtone the upload and the service take (the length rule's formats).
constexpr size_t RingtoneByteLimit = 1024 * 1024;
// Browse refuses a source whose size divided by a million exceeds this.
constexpr int32_t SourceMegabyteLimit = 20;
// Browse's size gate over a 64-bit size: files of 2 GiB and more are refused like any other
// large file. A size of -1 (the file cannot be measured) passes; the import then fails.
constexpr bool SourceTooLarge(int64_t bytes) { return bytes / 1000000 > SourceMegabyteLimit; }

// The ringtone file that the encoder of `format` produces ("new.qcp", "a.amr", "test.wav",
// "a.mp3", "test.mmf"); nullptr for a value outside the enumeration.
const char* RingtoneFileName(int32_t format);

// Kilobytes as the program counts them: bytes / 1024 toward zero (so -1 for a missing file is 0).
constexpr int32_t KilobytesOf(int32_t bytes) { return bytes / 1024; }

// The length rule of the phones of today (formats with a `maxSeconds`): a ringtone of
// `durationMs` is refused when it lasts longer than the format allows. False for formats
// under the 100 KB rule.
bool RingtoneTooLong(int32_t format, int64_t durationMs);
// The refusal shown with caption "Warning": "Sorry, iPhone ringtones can be at most 30
// seconds long. ..."; empty for formats under the 100 KB rule.
std::string TooLongMessage(int32_t format);
// Milliseconds of `dataBytes` of 16-bit stereo 44,100 Hz sound (the clip of these formats).
constexpr int64_t StereoClipMs(int64_t dataBytes) { return dataBytes * 1000 / 176400; }
