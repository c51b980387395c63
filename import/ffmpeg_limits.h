// What the decoding branch lets FFmpeg do, shared by the program and the native fuzz target
// that runs the same path over Debian's FFmpeg libraries.
#pragma once
#include <cstddef>

// No single block FFmpeg allocates for a song may pass this: a song's tables, packets and
// frames need far less, and a damaged file that claims more is refused, not obeyed.
inline constexpr size_t FfmpegAllocationLimit = 16 << 20;

// The demuxers and decoders the program's FFmpeg is configured with (scripts/deps.sh): the
// only ones a song can reach. Probing uses FFmpeg's default limits.
inline constexpr const char* FfmpegDemuxers = "mov,matroska,ogg,flac,asf,aac,caf";
inline constexpr const char* FfmpegDecoders =
    "aac,alac,flac,vorbis,opus,wmav1,wmav2,mp3float,ac3,eac3,amrnb,amrwb,"
    "pcm_s8,pcm_s8_planar,pcm_u8,pcm_s16le,pcm_s16be,pcm_s16le_planar,pcm_s16be_planar,"
    "pcm_s24le,pcm_s24be,pcm_s24le_planar,pcm_s24daud,pcm_s32le,pcm_s32be,pcm_s32le_planar,"
    "pcm_f32le,pcm_f32be,pcm_f64le,pcm_f64be,pcm_alaw,pcm_mulaw";
