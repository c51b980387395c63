#include "session/edit_options.h"

EditOptions editOptions;

uint32_t NearestFadeMs(uint32_t ms) {
  uint32_t best = FadeChoicesMs[0];
  uint32_t bestDistance = UINT32_MAX;
  for (uint32_t choice : FadeChoicesMs) {
    const uint32_t distance = ms > choice ? ms - choice : choice - ms;
    if (distance < bestDistance) {
      best = choice;
      bestDistance = distance;
    }
  }
  return best;
}
