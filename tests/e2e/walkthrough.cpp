// The run command's walk-through: one ringtone through the real window, as far as the program
// goes, with a screenshot of each step. Not a test of its own: scripts/run.sh runs it with no
// display of the user's.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

std::string Step(App& app, const std::string& name) {
  app.Sync();
  WaitUntil([] { return false; }, 300);  // let the last repaint reach the screen
  std::string path = SaveCapture(CaptureScreen([&] {
    RECT r;
    GetWindowRect(app.Window(), &r);
    return r;
  }()), name);
  std::printf("walk-through: %s -> %s\n", name.c_str(), path.c_str());
  return path;
}

TEST(WalkThrough, OneRingtone) {
  LaunchOptions options;
  char folder[MAX_PATH] = {};
  GetEnvironmentVariableA("QV_WALK_FOLDER", folder, sizeof folder);
  options.startFolder = WindowsPath(folder);
  App app;
  ASSERT_TRUE(app.Launch(options));
  Step(app, "1-started");

  // A song the script made: speech over a soft chord.
  char song[MAX_PATH] = {};
  GetEnvironmentVariableA("QV_WALK_SONG", song, sizeof song);
  ASSERT_TRUE(app.BrowseTo(WindowsPath(song)));
  ASSERT_TRUE(WaitUntil([&] { return app.ProgressPosition() == app.ProgressRange().second &&
                                     FileExists(app.WorkingFile("d.wav")); }, 30000));
  Step(app, "2-imported");

  app.Command(5005);
  EXPECT_EQ(app.WaitForExit(), 0);
}

}  // namespace
