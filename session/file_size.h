#pragma once
#include <cstdint>

// Size of a file in bytes as a signed 32-bit count; -1 when it cannot be opened for reading.
int32_t FileSizeBytes(const char* fileName);
