// The conversion call of ringm.dll, WscCnv: a WAV file in memory to an MMF file in memory.
// This header is the contract for callers too (it has no Windows dependency); the DLL
// exports the function under its plain name with the stdcall convention:
//
//   int32_t __stdcall WscCnv(const uint8_t* input, uint32_t inputLength,
//                            const WscCnvOptions* options, uint8_t* output,
//                            uint32_t outputCapacity, uint8_t* workArea, uint32_t optionWord);
//
// Result: the MMF length (bytes written to output), WscCnvFailed when the input is not a
// mono 8- or 16-bit PCM WAV at 4000, 8000, 11025, 22050 or 44100 Hz with samples, or
// WscCnvOutputTooSmall when outputCapacity is short. On either failure nothing is written.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int32_t WscCnvFailed = -1;
inline constexpr int32_t WscCnvOutputTooSmall = -2;
inline constexpr uint32_t WscCnvWorkAreaBytes = 240;  // the caller's zeroed scratch; unused
inline constexpr uint32_t WscCnvOptionWord = 0x3002;  // the only word callers pass; not read
inline constexpr int WscCnvTextFields = 13;
inline constexpr size_t WscCnvTextLimit = 255;  // longer texts are cut

// The options record. The two leading bytes identify the record (callers pass 0 and 0xF8);
// then thirteen text pointers, null or "" for no text. Texts that are given go into the
// file's option data, in this order: title, artist, songwriter, lyricist, arranger,
// copyright, label, management info, creation date, update date, edit status, vendor,
// carrier.
struct WscCnvOptions {
  uint8_t recordKind = 0;
  uint8_t recordFlags = 0xF8;
  const char* text[WscCnvTextFields] = {};
};

// The portable body of WscCnv. `options` may be null (no texts); `searchWidth` is the
// ADPCM search breadth (see yamaha_adpcm.h), 0 for WscCnvSearchWidth's choice.
int32_t ConvertWavToMmf(std::span<const uint8_t> input, const WscCnvOptions* options,
                        uint8_t* output, uint32_t outputCapacity, int searchWidth = 0);

// The search breadth for a clip of `seconds`: the full search for ringtone lengths, narrower
// for long inputs (minutes of audio, far over any ringtone size limit) so that the call
// stays within seconds.
int WscCnvSearchWidth(double seconds);
