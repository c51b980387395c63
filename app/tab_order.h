// The keyboard's round through the main window: which control Tab and Shift+Tab go to.
#pragma once
#include <functional>

// The strip's place in the round: the main window itself holds the keyboard there.
constexpr int StripTabStop = 0;

// The round, in order: Browse, Play, Convert, Upload, Profile, Help, then the strip.
extern const int MainTabRound[7];

// The stop after `current` in the round (before it, with `backward`), passing over those that
// `usable` refuses (a disabled button); from outside the round (an edit box), the first usable
// stop in the direction of travel. `current` when nothing else is usable.
int NextTabStop(int current, bool backward, const std::function<bool(int)>& usable);
