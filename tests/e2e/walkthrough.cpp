// The run command's walk-through: one ringtone through the real window, as far as the program
// goes, with a screenshot of each step. Not a test of its own: scripts/run.sh runs it with no
// display of the user's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

std::string Step(App& app, const std::string& name) {
  app.Sync();
  WaitUntil([] { return false; }, 300);  // let the last repaint reach the screen
  // The window and what it shows above it (message boxes open in the middle of the screen).
  RECT r;
  GetWindowRect(app.Window(), &r);
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT area{std::min(r.left, screen.right / 2 - 300L), std::min(r.top, screen.bottom / 2 - 200L),
            std::max(r.right, screen.right / 2 + 300L), std::max(r.bottom, screen.bottom / 2 + 200L)};
  std::string path = SaveCapture(CaptureScreen(area), name);
  std::printf("walk-through: %s -> %s\n", name.c_str(), path.c_str());
  return path;
}

TEST(WalkThrough, OneRingtone) {
  LaunchOptions options;
  char folder[MAX_PATH] = {};
  GetEnvironmentVariableA("QV_WALK_FOLDER", folder, sizeof folder);
  options.startFolder = WindowsPath(folder);
  options.profile = TodaysPhoneProfile(true);  // Other carrier, Apple iPhone
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

  // Select about two seconds from the start, and listen to it.
  app.Drag(70, 400);
  Step(app, "3-selected");
  app.Command(5001);
  WaitUntil([] { return false; }, 700);
  Step(app, "4-previewing");
  app.Command(5001);  // stop

  // Convert into the phone's format: the size box shows the ringtone's size.
  app.Command(5002);
  ASSERT_TRUE(WaitUntil([&] { return app.ChildText(6020).find("KB") != std::string::npos; },
                        60000))
      << "no ringtone size after Convert";
  EXPECT_TRUE(FileExists(app.WorkingFile("a.m4r")));
  std::printf("walk-through: the clip test.wav has %zu bytes, the ringtone a.m4r %zu bytes (%s)\n",
              ReadFileBytes(app.WorkingFile("test.wav")).size(),
              ReadFileBytes(app.WorkingFile("a.m4r")).size(), app.ChildText(6020).c_str());
  Step(app, "5-converted");
  // Exit deletes the working files: keep the ringtone for the phone's side of the walk.
  WriteFileBytes(ArtefactDir() + "\\a.m4r", ReadFileBytes(app.WorkingFile("a.m4r")));

  // Upload to the service. Its answer is either a word, which the program shows in a box, or
  // the ringtone's page address, which it opens in the browser (the browser hook logs it).
  char browserLog[MAX_PATH] = {};
  GetEnvironmentVariableA("QV_BROWSER_LOG", browserLog, sizeof browserLog);
  std::string log = browserLog[0] ? WindowsPath(browserLog) : std::string();
  size_t logged = log.empty() ? 0 : ReadFileBytes(log).size();
  app.Command(5011);
  HWND box = nullptr;
  std::string opened;
  ASSERT_TRUE(WaitUntil([&] {
    box = FindProcessWindow(app.ProcessId(), "#32770");
    if (box) return true;
    if (log.empty()) return false;
    std::vector<uint8_t> text = ReadFileBytes(log);
    if (text.size() <= logged || text.back() != '\n') return false;
    opened.assign(text.begin() + logged, text.end() - 1);
    return true;
  }, 60000)) << "no answer to the upload";
  Step(app, "6-uploaded-answer");
  if (box) {
    std::printf("walk-through: the service answered: %s\n", MessageBoxText(box).c_str());
    PressButton(box);
  } else {
    std::printf("walk-through: the service answered with the ringtone's page: %s\n", opened.c_str());
  }
  ASSERT_TRUE(WaitUntil([&] { return app.IsEnabled(5011); }, 30000));
  Step(app, "7-uploaded");

  app.Command(5005);
  EXPECT_EQ(app.WaitForExit(), 0);
}

}  // namespace
