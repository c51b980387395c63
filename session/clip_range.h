// The ranges a selection is handed on as: whole sample frames of the working audio, or the
// bytes of its samples that a conversion cuts. Plain values, shared by the strip that makes
// them and the conversion and preview that use them.
#pragma once
#include <cstdint>

struct FrameRange {
  uint32_t start = 0;  // first frame of the clip
  uint32_t end = 0;    // one past its last frame; start <= end
  uint32_t Length() const { return end - start; }
};

// Bytes of the working audio's samples; a selection held in frames gives whole frames, one
// dragged on the whole-song strip gives the columns' arithmetic (not always frame-aligned).
struct ClipByteRange {
  uint32_t start = 0;
  uint32_t end = 0;
};

// The clip a preview plays while fades or "louder" are on: 16-bit samples at the song's rate
// and channels, from the song's frame `startFrame` on.
struct EditedPreview {
  const int16_t* samples = nullptr;
  uint32_t sampleCount = 0;
  uint32_t startFrame = 0;
};
