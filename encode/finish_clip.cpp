#include "encode/finish_clip.h"

#include "encode/clip_loudness.h"
#include "encode/edited_clip.h"
#include "session/session_state.h"

namespace {

const char CannotEdit[] = "Sorry, Quavella could not apply the fades or make the clip louder.";

}  // namespace

bool FinishClip(std::span<int16_t> samples, uint16_t channels, uint32_t sampleRate,
                const EditOptions& options) {
  if (!ClipEditsOn(options)) return true;
  if (EditClipSamples(samples, channels, sampleRate, options, MeasureLoudness)) return true;
  ShowMessage(CannotEdit, "Error");
  return false;
}
