#pragma once
#include <cstdint>
#include <cstdio>

// Seeks to 0 and writes the 44-byte CD-format header for `dataBytes`; nothing when no stream.
void WriteWavHeader(FILE* stream, uint32_t dataBytes);
