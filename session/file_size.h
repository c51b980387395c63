#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Size of a file in bytes as a signed 32-bit count; -1 when it cannot be opened for reading.
int32_t FileSizeBytes(const char* fileName);
// Size of a file in bytes whatever its size (2 GiB and more included); -1 when it cannot be
// opened for reading or measured.
int64_t FileSizeBytes64(const char* fileName);

// The whole file, when it has at most `limit` bytes. False (and `bytes` empty) when it cannot
// be read or is larger.
bool ReadFileBytes(const char* fileName, size_t limit, std::vector<uint8_t>& bytes);

// The duration of the ringtone file of `format` that the format's length rule reads (the
// file's own), in milliseconds; -1 when the file is missing, too large to be a ringtone or
// does not read, or the format has no length rule.
int64_t RingtoneFileDurationMs(int32_t format, const char* fileName);
