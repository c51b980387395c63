#pragma once
#include <cstdint>

// Size of a file in bytes as a signed 32-bit count; -1 when it cannot be opened for reading.
int32_t FileSizeBytes(const char* fileName);
// Size of a file in bytes whatever its size (2 GiB and more included); -1 when it cannot be
// opened for reading or measured.
int64_t FileSizeBytes64(const char* fileName);
