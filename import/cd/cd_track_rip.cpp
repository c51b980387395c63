#include "import/cd/cd_track_rip.h"

#include <cstdio>

#include "formats/byte_order.h"

bool CdTrackRange(const CdToc& toc, int index, uint32_t* start, uint32_t* sectors) {
  if (index < 0 || toc.firstTrack == 0 || toc.lastTrack < toc.firstTrack) return false;
  int tracks = toc.lastTrack - toc.firstTrack + 1;
  if (index >= tracks || index + 1 >= 100) return false;
  uint32_t s = Be32(toc.entries[index].startAddress);
  uint32_t e = Be32(toc.entries[index + 1].startAddress);
  if (e <= s) return false;
  *start = s;
  *sectors = e - s;
  return true;
}

RipResult RipSectors(uint32_t start, uint32_t sectors, uint32_t limit, TrackBufferHeader* buffer,
                     const RipSteps& steps) {
  RipResult result;
  char line[128];
  std::snprintf(line, sizeof line, "Beginning to rip %u sectors starting at sector %u\n", sectors,
                start);
  steps.log(line);
  uint32_t at = start;
  uint32_t remaining = sectors;
  const uint8_t* samples = reinterpret_cast<const uint8_t*>(buffer + 1);
  while (remaining > 0) {
    if (result.bytes > limit) {
      result.truncated = true;
      break;
    }
    if (steps.stop && steps.stop()) {
      result.stopped = true;
      break;
    }
    if (result.chunks % 5 == 0) {
      std::snprintf(line, sizeof line, "%u: %u\n", at, remaining);
      steps.log(line);
    }
    steps.stepProgress();
    uint32_t n = remaining < RipChunkSectors ? remaining : RipChunkSectors;
    uint8_t status = 0;
    for (int attempt = 0; attempt < 3 && status != CdStatusDone; ++attempt) {
      buffer->startSector = at;
      buffer->sectorCount = n;
      buffer->length = 0;
      buffer->startOffset = 0;
      status = steps.read(buffer);
    }
    if (status == CdStatusDone) {
      uint32_t length = buffer->length;
      uint32_t offset = buffer->startOffset;
      // Never trust the reader beyond the buffer it was given.
      if (offset > buffer->capacity) offset = buffer->capacity;
      if (length > buffer->capacity - offset) length = buffer->capacity - offset;
      if (!steps.write(samples + offset, length)) {
        result.writeFailed = true;
        break;
      }
      result.bytes += length;
    } else {
      std::snprintf(line, sizeof line, "Error at %u (%d:%d)\n", at, steps.libraryError(),
                    steps.aspiStatus());
      steps.log(line);
      ++result.failedChunks;
    }
    at += n;
    remaining -= n;
    ++result.chunks;
  }
  return result;
}
