// The waveform strip's context menu: fades, "louder", the looping preview, typed times, zoom
// and the suggested parts. Opened by the right button on the strip, the menu key and Shift+F10.
#pragma once
#include <windows.h>

// Command ids of the menu's items.
enum StripMenuCommand : int {
  IdFadeInFirst = 5101,   // + index into FadeChoicesMs
  IdFadeOutFirst = 5111,  // + index into FadeChoicesMs
  IdLouder = 5120,
  IdLoop = 5121,
  IdSetStartEnd = 5122,
  IdZoomIn = 5123,
  IdZoomOut = 5124,
  IdWholeSong = 5125,
  IdSelectSuggestion = 5126,
  IdNextSuggestion = 5127,
  IdSuggestOnOpen = 5128,
};

// For WM_CONTEXTMENU: `screenPoint` is the message's lParam (-1 from the keyboard). Shows the
// menu at the pointer when it lies on the strip, or under the caret for the keyboard; false
// when the point is elsewhere (the message then goes on to the default handling).
bool OpenStripMenu(HWND window, LPARAM screenPoint);
// For WM_KEYDOWN: G selects the suggested part, N shows the next suggestion (with a song loaded
// and no preview under way). True when `key` was one of them.
bool OnSuggestionKey(HWND window, WPARAM key);
// True for the ids above.
bool IsStripMenuCommand(int id);
// Carries out a chosen item: the options change and are saved at once.
void OnStripMenuCommand(HWND window, int id);
