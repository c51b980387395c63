// Ripping one track of an audio CD: the sector range from the table of contents and the read
// loop (26 sectors at a time, three tries each, the import limit tested before each read).
#pragma once
#include <cstdint>
#include <functional>

#include "import/cd/cd_records.h"

constexpr uint32_t RipChunkSectors = 26;

// The first sector and the sector count of the track at zero-based `index`, from its entry and
// the next one (the lead-out after the last track). False when the index is outside the disc's
// first and last track numbers or the entries give no sectors.
bool CdTrackRange(const CdToc& toc, int index, uint32_t* start, uint32_t* sectors);

struct RipSteps {
  // Reads the sectors the header names into the buffer behind it; returns the status byte.
  std::function<uint8_t(TrackBufferHeader*)> read;
  // Appends bytes to d.wav; false when the write failed.
  std::function<bool(const uint8_t*, uint32_t)> write;
  std::function<void()> stepProgress;
  std::function<void(const char*)> log;  // diagnostic lines
  std::function<int()> libraryError;
  std::function<int()> aspiStatus;
  // When given and true, the rip ends before the next read (the program is ending).
  std::function<bool()> stop;
};

struct RipResult {
  uint32_t bytes = 0;       // sample bytes written
  bool truncated = false;   // stopped at the limit
  bool stopped = false;     // ended early on request
  bool writeFailed = false;
  int chunks = 0;           // chunks attempted
  int failedChunks = 0;
};

// `buffer` is a TrackBufferHeader followed by RipChunkSectors * 2352 bytes.
RipResult RipSectors(uint32_t start, uint32_t sectors, uint32_t limit, TrackBufferHeader* buffer,
                     const RipSteps& steps);
