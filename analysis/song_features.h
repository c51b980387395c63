// The features the best-part detector compares: per segment of the song (half a second, longer
// for long songs), the harmony (a 12-bin chroma vector), the timbre (12 log band energies) and
// the loudness (mean square), measured from short spectra of the mono, decimated song.
#pragma once
#include <atomic>
#include <cstdint>
#include <vector>

#include "analysis/pcm_song.h"

inline constexpr int FeatureBins = 12;

struct SongFeatures {
  double segmentSeconds = 0;  // the length of one segment
  int32_t segments = 0;
  // segments x FeatureBins. Chroma: pitch classes C..B, mean removed, unit length. Timbre:
  // log band energies with the song's mean per band removed, unit length. Both all zero in a
  // silent segment.
  std::vector<float> chroma;
  std::vector<float> timbre;
  std::vector<float> power;  // mean square of the mono signal (full scale 1) per segment
};

// Segments of at least half a second, longer when the song would need more than
// `maxSegments`; every segment is measured from FramesPerSegment short spectra, so the work is
// bounded by maxSegments whatever the song's length. False when `cancel` was raised (checked
// every spectrum) or the song is not Usable or empty.
bool ExtractSongFeatures(const PcmSong& song, int32_t maxSegments,
                         const std::atomic<bool>* cancel, SongFeatures& out);

inline constexpr int FramesPerSegment = 5;
