#include "app/tab_order.h"

#include <iterator>

#include "resources/resource_ids.h"

const int MainTabRound[7] = {ID_BROWSE, ID_PLAY, ID_CONVERT, ID_UPLOAD,
                             ID_PROFILE, ID_HELP, StripTabStop};

int NextTabStop(int current, bool backward, const std::function<bool(int)>& usable) {
  const int count = static_cast<int>(std::size(MainTabRound));
  int at = backward ? 0 : count - 1;  // outside the round: start from its far end
  for (int i = 0; i < count; ++i)
    if (MainTabRound[i] == current) at = i;
  for (int step = 1; step < count + 1; ++step) {
    const int i = ((backward ? at - step : at + step) % count + count) % count;
    if (MainTabRound[i] == current) break;
    if (usable(MainTabRound[i])) return MainTabRound[i];
  }
  return current;
}
