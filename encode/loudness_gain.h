// The gain of "Make it louder": the clip's integrated loudness (EBU R128) brought to -12 LUFS
// with one gain, lowered where needed so that the true peak stays at or below -1 dBTP.
#pragma once
#include <cstdint>
#include <span>

constexpr double LouderTargetLufs = -12.0;
constexpr double LouderPeakCeilingDbtp = -1.0;

// What the meter says of a clip. The integrated loudness is minus infinity for a clip that
// lies wholly below the meter's gate; the true peak is in dB of full scale.
struct LoudnessReading {
  double integratedLufs = 0.0;
  double truePeakDbtp = 0.0;
};

// The gain in dB to apply: target minus loudness, cut to the peak ceiling minus the true peak.
// False (and the clip stays as it is) when the loudness is not a finite number: the gate.
bool LouderGainDb(const LoudnessReading& reading, double* gainDb);

// Multiplies every value by 10^(gainDb / 20), rounds to the nearest integer and holds the
// result to the 16-bit range (never wrapped).
void ApplyGain(std::span<int16_t> samples, double gainDb);
