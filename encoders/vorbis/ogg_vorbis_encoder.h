// Ogg Vorbis of the Android ringtone through libvorbis and libogg (built by scripts/deps.sh).
#pragma once
#include <cstdint>
#include <span>
#include <vector>

// Quality 5 of libvorbis's scale of -1 to 10.
inline constexpr float VorbisRingtoneQuality = 0.5f;

// Encodes interleaved 16-bit `samples` of `channels` channels at `sampleRate` Hz into the
// whole Ogg Vorbis file `file`. False when libvorbis refuses the settings.
bool EncodeOggVorbis(std::span<const int16_t> samples, int channels, int sampleRate,
                     float quality, std::vector<uint8_t>& file);

// The same, written to the file `path` (anew); false, and no file, when either step fails.
bool WriteOggVorbisFile(std::span<const int16_t> samples, int channels, int sampleRate,
                        float quality, const char* path);
