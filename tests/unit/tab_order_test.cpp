#include <gtest/gtest.h>

#include <set>

#include "app/tab_order.h"
#include "resources/resource_ids.h"

namespace {

TEST(TabOrder, GoesRoundPassingOverUnusableStops) {
  struct Case { int current; bool backward; std::set<int> disabled; int next; };
  const Case cases[] = {
      {ID_BROWSE, false, {}, ID_PLAY}, {ID_HELP, false, {}, StripTabStop},
      {StripTabStop, false, {}, ID_BROWSE}, {StripTabStop, true, {}, ID_HELP},
      {ID_BROWSE, true, {}, StripTabStop}, {ID_PLAY, false, {ID_CONVERT, ID_UPLOAD}, ID_PROFILE},
      {ID_PROFILE, true, {ID_CONVERT, ID_UPLOAD, ID_PLAY}, ID_BROWSE},
      // From outside the round (an edit box), and with nothing else usable.
      {ID_PATH_EDIT, false, {}, ID_BROWSE}, {ID_PATH_EDIT, true, {}, StripTabStop},
      {ID_PATH_EDIT, false, {ID_BROWSE}, ID_PLAY},
      {ID_UPLOAD, false, {ID_BROWSE, ID_PLAY, ID_CONVERT, ID_PROFILE, ID_HELP, 0}, ID_UPLOAD},
  };
  for (const Case& c : cases) {
    auto usable = [&c](int stop) { return !c.disabled.count(stop); };
    EXPECT_EQ(NextTabStop(c.current, c.backward, usable), c.next)
        << c.current << (c.backward ? " backward" : " forward");
  }
}

}  // namespace
