#include "app/strip_menu.h"

#include <iterator>
#include <tuple>

#include "app/edit_options_store.h"
#include "app/set_times_dialog.h"
#include "app/strip_zoom_control.h"
#include "session/edit_options.h"
#include "session/handles.h"
#include "session/session_state.h"
#include "view/waveform_view.h"

namespace {

constexpr int FadeChoiceCount = static_cast<int>(std::size(FadeChoicesMs));
const char* const FadeChoiceTexts[] = {"&Off", "&0.5 s", "&1 s", "&2 s", "&3 s"};
static_assert(std::size(FadeChoiceTexts) == std::size(FadeChoicesMs));

int FadeChoiceIndex(uint32_t ms) {
  for (int i = 0; i < FadeChoiceCount; ++i)
    if (FadeChoicesMs[i] == ms) return i;
  return 0;
}

HMENU FadeMenu(int firstId, uint32_t chosenMs) {
  Menu menu(CreatePopupMenu());
  if (!menu) return nullptr;
  for (int i = 0; i < FadeChoiceCount; ++i)
    AppendMenuA(menu.get(), MF_STRING, firstId + i, FadeChoiceTexts[i]);
  const int chosen = firstId + FadeChoiceIndex(chosenMs);
  CheckMenuRadioItem(menu.get(), firstId, firstId + FadeChoiceCount - 1, chosen, MF_BYCOMMAND);
  return menu.release();
}

HMENU BuildStripMenu(const EditOptions& options) {
  Menu menu(CreatePopupMenu());
  if (!menu) return nullptr;
  for (auto [text, firstId, ms] : {std::tuple{"Fade &in", int{IdFadeInFirst}, options.fadeInMs},
                                  std::tuple{"Fade &out", int{IdFadeOutFirst}, options.fadeOutMs}}) {
    HMENU fade = FadeMenu(firstId, ms);
    if (!fade) return nullptr;
    AppendMenuA(menu.get(), MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(fade), text);
  }
  AppendMenuA(menu.get(), MF_STRING | (options.louder ? MF_CHECKED : 0), IdLouder,
              "Make it &louder");
  AppendMenuA(menu.get(), MF_STRING | (options.loop ? MF_CHECKED : 0), IdLoop, "Play in a loo&p");
  AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
  const UINT needsSong = sessionState.fileLoaded && TheStrip().Enabled() ? 0 : MF_GRAYED;
  AppendMenuA(menu.get(), MF_STRING | needsSong, IdSetStartEnd, "&Set the start and end...");
  AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu.get(), MF_STRING | (CanZoomIn() ? 0 : MF_GRAYED), IdZoomIn,
              "&Zoom in on the selection");
  const UINT needsZoom = StripZoomed() ? 0 : MF_GRAYED;
  AppendMenuA(menu.get(), MF_STRING | needsZoom, IdZoomOut, "Zoom o&ut");
  AppendMenuA(menu.get(), MF_STRING | needsZoom, IdWholeSong, "&Whole song");
  AppendMenuA(menu.get(), MF_SEPARATOR, 0, nullptr);
  const UINT needsSuggestion = needsSong == 0 && AnySuggestedPart() ? 0 : MF_GRAYED;
  AppendMenuA(menu.get(), MF_STRING | needsSuggestion, IdSelectSuggestion,
              "Select the su&ggested part\tG");
  AppendMenuA(menu.get(), MF_STRING | needsSuggestion, IdNextSuggestion, "&Next suggestion\tN");
  AppendMenuA(menu.get(), MF_STRING | (options.suggestOnOpen ? MF_CHECKED : 0), IdSuggestOnOpen,
              "Select the suggested part &after opening a song");
  return menu.release();
}

// Where the keyboard opens the menu: under the caret on the trace line, in screen pixels.
POINT KeyboardMenuPoint(HWND window) {
  POINT point{WindowPixels(CaretX()), WindowPixels(WaveArea::TraceTop)};
  ClientToScreen(window, &point);
  return point;
}

bool OnStrip(HWND window, POINT screen) {
  POINT client = screen;
  ScreenToClient(window, &client);
  client = {ToUnits(client.x, sessionState.skinDpi), ToUnits(client.y, sessionState.skinDpi)};
  return client.x >= WaveArea::Left && client.x < WaveArea::Right && client.y >= WaveArea::Top &&
         client.y < WaveArea::Bottom;
}

}  // namespace

bool OpenStripMenu(HWND window, LPARAM screenPoint) {
  POINT point;
  if (screenPoint == -1) {
    point = KeyboardMenuPoint(window);
  } else {
    point = {static_cast<short>(LOWORD(screenPoint)), static_cast<short>(HIWORD(screenPoint))};
    if (!OnStrip(window, point)) return false;
  }
  Menu menu(BuildStripMenu(editOptions));
  if (!menu.get()) return true;
  // The chosen item comes back as a WM_COMMAND to the window.
  SetForegroundWindow(window);
  TrackPopupMenu(menu.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0,
                 window, nullptr);
  PostMessageA(window, WM_NULL, 0, 0);
  return true;
}

bool OnSuggestionKey(HWND window, WPARAM key) {
  if (key != 'G' && key != 'N') return false;
  if (!sessionState.fileLoaded || !TheStrip().Enabled()) return true;
  if (key == 'G')
    SelectSuggestedPart(window);
  else
    NextSuggestedPart(window);
  return true;
}

bool IsStripMenuCommand(int id) {
  return (id >= IdFadeInFirst && id < IdFadeInFirst + FadeChoiceCount) ||
         (id >= IdFadeOutFirst && id < IdFadeOutFirst + FadeChoiceCount) ||
         (id >= IdLouder && id <= IdSuggestOnOpen);
}

void OnStripMenuCommand(HWND window, int id) {
  if (id == IdSetStartEnd) {
    RunSetTimesDialog(window);
    return;
  }
  if (id == IdZoomIn || id == IdZoomOut || id == IdWholeSong) {
    OnZoomCommand(window, id);
    return;
  }
  if (id == IdSelectSuggestion || id == IdNextSuggestion) {
    OnSuggestionKey(window, id == IdSelectSuggestion ? 'G' : 'N');
    return;
  }
  EditOptions& options = editOptions;
  if (id >= IdFadeInFirst && id < IdFadeInFirst + FadeChoiceCount) {
    options.fadeInMs = FadeChoicesMs[id - IdFadeInFirst];
  } else if (id >= IdFadeOutFirst && id < IdFadeOutFirst + FadeChoiceCount) {
    options.fadeOutMs = FadeChoicesMs[id - IdFadeOutFirst];
  } else if (id == IdLouder) {
    options.louder = !options.louder;
  } else if (id == IdLoop) {
    options.loop = !options.loop;
  } else if (id == IdSuggestOnOpen) {
    options.suggestOnOpen = !options.suggestOnOpen;
  } else {
    return;
  }
  SaveEditOptions(options);
}
