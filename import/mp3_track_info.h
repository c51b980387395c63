// The record that the MP3 converter fills for one file: what the scan and the tag reader
// learned. Plain fixed-size data, because other modules receive it through getInstance.
#pragma once
#include <cstdint>

class Mp3Scanner;

// Where a track comes from: its path and whoever asked for it.
struct Mp3Source {
  const char* path = nullptr;
  void* owner = nullptr;
};

struct Mp3TrackInfo {
  static constexpr int PathCapacity = 1024;
  static constexpr int TextCapacity = 256;

  char path[PathCapacity] = {};
  int32_t bitrate = 0;     // kbit/s (the scan's average), kept when already set
  int32_t duration = 0;    // seconds, kept when already set
  int32_t sampleRate = 0;  // Hz, kept when already set
  char leadArtist[TextCapacity] = {};
  char title[TextCapacity] = {};
  char converterText[TextCapacity] = {};  // copied from the converter by a scan
  char spareText[TextCapacity] = {};
  int32_t fileBytes = 0;
  int32_t frameBytes = 0;
  int32_t skippedBytes = 0;
  uint32_t damageMap = 0;
  int32_t firstFrameOffset = 0;
};

// Starts a track info for `source`: cleared, with the path copied. False (and nothing set)
// when there is no path or it does not fit.
bool InitTrackInfo(const Mp3Source& source, Mp3TrackInfo* track);

// Copies the result of a successful scan into `track`: bitrate (the average), duration and
// sample rate only where they are still 0; file size, frame bytes, skipped bytes, damage
// map, first-frame offset and `converterText` always.
void FillTrackInfoFromScan(const Mp3Scanner& scanner, const char* converterText,
                           Mp3TrackInfo* track);

// Copies `text` into a fixed field of `capacity` bytes, cut short if need be, always ended.
void CopyTrackText(char* field, int capacity, const char* text);
