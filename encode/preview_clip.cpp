#include "encode/preview_clip.h"

#include <cstdint>
#include <vector>

#include "encode/clip_loudness.h"
#include "encode/edited_clip.h"
#include "session/edit_options.h"
#include "session/session_state.h"
#include "session/working_audio.h"

namespace {

// What the clip was made from; a change of any part makes it anew.
struct ClipSource {
  uint32_t loads = 0, start = 0, end = 0, fadeInMs = 0, fadeOutMs = 0;
  bool louder = false;
  bool operator==(const ClipSource&) const = default;
};

struct MadeClip {
  ClipSource source;
  bool made = false;
  std::vector<int16_t> samples;
};

MadeClip lastClip;

}  // namespace

bool MakeEditedPreview(ClipByteRange range, EditedPreview* clip) {
  const WorkingAudio& audio = workingAudio;
  if (!ClipEditsOn(editOptions) || !sessionState.fileLoaded || !audio.samples) return false;
  const ClipSource source{audio.loads,        range.start,         range.end,
                          editOptions.fadeInMs, editOptions.fadeOutMs, editOptions.louder};
  if (!lastClip.made || !(lastClip.source == source)) {
    lastClip.samples = EditedClip({audio.samples, audio.dataSize}, audio.Channels(),
                                  audio.BitsPerSample(), audio.SampleRate(), range.start,
                                  range.end, editOptions, MeasureLoudness);
    lastClip.source = source;
    lastClip.made = true;
  }
  if (lastClip.samples.empty()) return false;
  const uint32_t block = audio.BlockAlign();
  clip->samples = lastClip.samples.data();
  clip->sampleCount = static_cast<uint32_t>(lastClip.samples.size());
  clip->startFrame = block ? range.start / block : 0;
  return true;
}
