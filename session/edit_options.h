// The editing options of the waveform strip's menu: fades, "louder", the looping preview and
// the suggested part taken on opening a song.
// They persist per user (read at start, written when the menu changes them).
#pragma once
#include <cstdint>

struct EditOptions {
  uint32_t fadeInMs = 0;   // one of FadeChoicesMs
  uint32_t fadeOutMs = 0;
  bool louder = false;
  bool loop = false;
  bool suggestOnOpen = false;  // select the suggested part after opening a song
};

// The lengths the menu offers, "Off" first.
inline constexpr uint32_t FadeChoicesMs[] = {0, 500, 1000, 2000, 3000};

// The offered length nearest to `ms` (of two equally near, the shorter).
uint32_t NearestFadeMs(uint32_t ms);
// A stored 0/1 switch: 0 is off, anything else on (1 is the nearest).
inline bool StoredSwitch(uint32_t value) { return value != 0; }

// True when the clip is changed after it is cut: a fade or "louder" is on.
inline bool ClipEditsOn(const EditOptions& options) {
  return options.fadeInMs != 0 || options.fadeOutMs != 0 || options.louder;
}

// The options in force, for the window thread (the menu, the conversion, the preview).
extern EditOptions editOptions;
