// The start of a proposed part moved onto the music's pulse, so that the clip begins on a beat
// (a bar's first beat where the onsets show one) and loops well when the phone repeats it.
#pragma once
#include <cstdint>
#include <span>

#include "analysis/pcm_song.h"

// Onset strength (spectral flux of log magnitudes) of short spectra of `mono`, one value per
// OnsetHop decimated samples from `first` on, `count` values.
inline constexpr int OnsetHop = 128;
void OnsetStrength(const MonoDecimator& mono, int64_t first, int32_t count, float* out);

// The beat period, in onset values, of the strongest periodicity between 60 and 180 beats a
// minute of `onsets` (autocorrelation weighted toward 120); 0 when there is no pulse at all.
int32_t BeatPeriod(std::span<const float> onsets, double onsetsPerSecond);

// Where, within `reach` values of `near`, a grid of `period` (16 beats, every fourth weighing
// double) finds the strongest onsets; `near` itself when every onset there is zero.
int32_t BestGridStart(std::span<const float> onsets, int32_t near, int32_t reach, int32_t period);

// `frame` (a frame of `song`) moved to the beat within `reachSeconds` that the grid above
// chooses; unchanged when the song there has no pulse. The song must be Usable.
uint64_t SnapToBeat(const PcmSong& song, uint64_t frame, double reachSeconds);
