// The encoders linked into the program, one face for all: the clip's samples in, the ringtone
// file out. The iPhone's M4R (AAC-LC in an MP4 of major brand "M4A ") through FFmpeg's DLLs,
// the Android phone's Ogg Vorbis through libvorbis and libogg.
#pragma once
#include <cstdint>
#include <span>

// A clip in memory: interleaved 16-bit samples, `channels` a frame, `sampleRate` frames a
// second.
struct PcmClip {
  std::span<const int16_t> samples;
  int channels = 2;
  int sampleRate = 44100;
};

// Encodes `clip` into the file `path` (UTF-8; written anew). False when the encoder cannot (its
// library missing or failing, a clip it does not take); then no file is left.
using RingtoneEncoder = bool (*)(const PcmClip& clip, const char* path);

// Stereo 44,100 Hz only, at 160 kbit/s.
bool EncodeM4r(const PcmClip& clip, const char* path);
// One or two channels, at quality 5 of libvorbis's scale of -1 to 10.
bool EncodeOggVorbis(const PcmClip& clip, const char* path);

// The encoder of ringtone `format` when it is one of these; nullptr for the formats whose
// encoders are programs or libraries of their own that read test.wav.
RingtoneEncoder InProcessEncoderFor(int32_t format);
