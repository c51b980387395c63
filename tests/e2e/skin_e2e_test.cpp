// The skin on the screen: the window's shape against the desktop, the background one pixel
// higher, the status pictures, the progress bar's colours, a pressed button and the Alt+/ key.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cmath>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdPlay = 5001;
constexpr uint32_t BarColour = 0xFFCC00, BarBackColour = 0xCCFFFF;

// A committed picture of the skin as 0xRRGGBB pixels.
using Picture = Capture;

// Child rectangles in client coordinates.
std::vector<RECT> ChildRects(HWND window) {
  std::vector<RECT> rects;
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    rects.push_back(r);
  }
  return rects;
}

bool InAny(const std::vector<RECT>& rects, int x, int y) {
  POINT p{x, y};
  for (const RECT& r : rects)
    if (PtInRect(&r, p)) return true;
  return false;
}

// Counts the client pixels of `picture` placed at (left, top) that differ on the screen,
// leaving out the child controls that cover it.
int StatusDifferences(const Capture& client, const Picture& picture, int left, int top,
                      const std::vector<RECT>& children) {
  int wrong = 0;
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      if (!InAny(children, left + x, top + y) &&
          client.At(left + x, top + y) != picture.At(x, y))
        ++wrong;
  return wrong;
}

// The whole window as it should look around the shape: red parts of the panel show the desktop.
void ExpectShapeOnDesktop(const Capture& desktop, const Capture& screen, const Picture& panel) {
  // Window pixel (X, Y) shows panel pixel (X - 1, Y): the client area starts one pixel in and
  // the background is drawn one pixel higher.
  for (POINT corner : {POINT{0, 0}, POINT{549, 0}, POINT{0, 354}, POINT{549, 354}, POINT{5, 5}})
    EXPECT_EQ(screen.At(corner.x, corner.y), desktop.At(corner.x, corner.y))
        << "corner " << corner.x << "," << corner.y;
  int rightColumns = 0, redShown = 0;
  for (int y = 0; y < 355; ++y) {
    for (int x : {548, 549}) rightColumns += screen.At(x, y) != desktop.At(x, y);
    for (int x = 1; x < 549; ++x) {
      bool outside = panel.At(x - 1, y) == 0xFF0000 || y == 0 || y == 354;
      if (outside && screen.At(x, y) != desktop.At(x, y)) ++redShown;
    }
  }
  EXPECT_EQ(rightColumns, 0) << "the two rightmost columns lie outside the shape";
  EXPECT_EQ(redShown, 0) << "pixels outside the panel that do not show the desktop";
}

std::vector<uint8_t> ToneWav(uint32_t frames) {
  return MakeWav(44100, 2, frames, [](uint32_t i, int c) {
    return static_cast<int16_t>(9000 * std::sin(i * 2 * 3.14159265 * 330 / 44100) * (c ? 1 : -1));
  });
}

// Browses to a fresh WAV song and waits until it is loaded (the loaded status is up).
bool ImportSong(App& app, const Picture& loaded) {
  std::string folder = app.StartFolder() + "\\songs";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\tone.wav";
  if (!WriteFileBytes(path, ToneWav(3 * 44100)) || !app.BrowseTo(path)) return false;
  std::vector<RECT> children = ChildRects(app.Window());
  return WaitUntil([&] {
    return StatusDifferences(CaptureClient(app.Window()), loaded, 172, 205, children) == 0;
  }, 20000);
}

// Runs xdotool of the host with `arguments` and waits until it has finished. Wine starts a
// host program without giving a handle to wait on, so a shell runs it and leaves a mark.
bool Xdotool(const std::string& arguments) {
  static int count = 0;
  std::string mark = "/tmp/qv-skin-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                     std::to_string(++count);
  std::string application = WindowsPath("/bin/sh");
  std::string commandLine = "\"" + application + "\" -c \"xdotool " + arguments + "; touch " +
                            mark + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Named as the application: without it a name with no extension would get ".exe".
  if (!CreateProcessA(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                      nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot run " << application << " (error " << GetLastError() << ")";
    return false;
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  std::string markPath = WindowsPath(mark);
  bool done = WaitUntil([&] { return FileExists(markPath); }, 10000);
  DeleteFileA(markPath.c_str());
  if (!done) ADD_FAILURE() << "xdotool " << arguments << " did not finish";
  return done;
}

HWND ProgressBar(HWND window) {
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[64] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "msctls_progress32") == 0) return child;
  }
  return nullptr;
}

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

TEST(Skin, IdleWindowIsShapedWithBackgroundStatusAndBar) {
  Picture panel = LoadArt("background.bmp");
  Picture idle = LoadArt("status_idle.bmp");
  ASSERT_EQ(panel.width, 550);
  RECT place{300, 300, 850, 655};
  Capture desktop = CaptureScreen(place);

  App app;
  ASSERT_TRUE(app.Launch());
  RECT r = WindowRect(app.Window());
  ASSERT_EQ(r.left, 300);
  ASSERT_EQ(r.top, 300);
  ASSERT_EQ(r.right - r.left, 550);
  ASSERT_EQ(r.bottom - r.top, 355);
  std::vector<RECT> children = ChildRects(app.Window());
  ASSERT_TRUE(WaitUntil([&] {
    return StatusDifferences(CaptureClient(app.Window()), idle, 172, 220, children) == 0;
  })) << "the idle status picture";
  Capture screen = CaptureScreen(r);
  SaveCapture(screen, "skin-idle-window");
  ExpectShapeOnDesktop(desktop, screen, panel);

  // Inside the shape the client area shows the background one pixel higher, except where the
  // controls, the status picture and the caret are.
  Capture client = CaptureClient(app.Window());
  RECT status{172, 220, 172 + 150, 220 + 50}, caret{60, 85, 70, 175};
  children.push_back(status);
  children.push_back(caret);
  int wrong = 0;
  for (int y = 0; y < client.height; ++y)
    for (int x = 0; x < client.width; ++x)
      if (!InAny(children, x, y) && panel.At(x, y + 1) != 0xFF0000 &&
          client.At(x, y) != panel.At(x, y + 1))
        ++wrong;
  EXPECT_EQ(wrong, 0) << "background pixels that differ from the picture one row lower";

  // The bar is full at start: amber inside its frame.
  HWND bar = ProgressBar(app.Window());
  ASSERT_NE(bar, nullptr);
  Capture barPixels = CaptureClient(bar);
  EXPECT_EQ(barPixels.At(barPixels.width / 2, barPixels.height / 2), BarColour);
}

TEST(Skin, StatusFollowsTheImportAndTheBarKeepsItsColours) {
  Picture loaded = LoadArt("status_loaded.bmp");
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(ImportSong(app, loaded)) << "the status after the import";
  SaveCapture(CaptureScreen(WindowRect(app.Window())), "skin-after-wav-import");

  // Half a bar: amber on the left, pale cyan on the right.
  HWND bar = ProgressBar(app.Window());
  ASSERT_NE(bar, nullptr);
  auto [low, high] = app.ProgressRange();
  SendMessageA(bar, PBM_SETPOS, low + (high - low) / 2, 0);
  app.Sync();
  // The bar may be drawn in blocks with gaps of background between them.
  ASSERT_TRUE(WaitUntil([&] {
    Capture c = CaptureClient(bar);
    int amberLeft = 0, backRight = 0;
    for (int x = 0; x < c.width; ++x) {
      uint32_t p = c.At(x, c.height / 2);
      if (x < c.width * 2 / 5) amberLeft += p == BarColour;
      if (x > c.width * 3 / 5) backRight += p == BarBackColour;
    }
    return amberLeft > c.width / 5 && backRight >= c.width * 2 / 5 - 2;
  }, 5000)) << "bar colours";
}

TEST(Skin, PressedButtonIsInvertedAndReleasedClickStillCommands) {
  Picture play = LoadArt("play.bmp");
  App app;
  ASSERT_TRUE(app.Launch());
  HWND button = app.Child(IdPlay);
  ASSERT_NE(button, nullptr);
  RECT r = WindowRect(button);
  auto differences = [&](bool inverted) {
    Capture c = CaptureScreen(r);
    int n = 0;
    for (int y = 0; y < play.height; ++y)
      for (int x = 0; x < play.width; ++x)
        n += c.At(x, y) != (inverted ? ~play.At(x, y) & 0xFFFFFF : play.At(x, y));
    return n;
  };
  ASSERT_TRUE(WaitUntil([&] { return differences(false) == 0; }, 5000)) << "Play at rest";

  // The real pointer: press on Play, look, release; the click then reaches the program.
  int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  ASSERT_TRUE(Xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " mousedown 1"));
  bool inverted = WaitUntil([&] { return differences(true) == 0; }, 5000);
  SaveCapture(CaptureScreen(r), "skin-play-pressed");
  ASSERT_TRUE(Xdotool("mouseup 1"));
  EXPECT_TRUE(inverted) << "Play while pressed";
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"),
            "Please click browse to select a MP3, CD or WAV file");
  EXPECT_TRUE(WaitUntil([&] { return differences(false) == 0; }, 5000)) << "Play after release";
}

// Selects strip columns 120 to 260 with the real pointer, which also gives the window the
// keyboard focus.
bool SelectWithPointer(App& app) {
  POINT origin{0, 0};
  ClientToScreen(app.Window(), &origin);
  std::string y = std::to_string(origin.y + 130);
  auto at = [&](int x) { return " mousemove " + std::to_string(origin.x + x) + " " + y + " sleep 0.1"; };
  bool done = Xdotool(at(120) + " mousedown 1 sleep 0.1" + at(190) + at(260) + " mouseup 1");
  // The pointer's events reach the program through the X server: wait for them.
  return done && WaitUntil([&] {
    RECT caret{};
    return app.CaretRect(&caret) && caret.left == 260;
  }, 5000);
}

TEST(Skin, PlayShowsStopWhileThePreviewPlays) {
  Picture loaded = LoadArt("status_loaded.bmp");
  Picture play = LoadArt("play.bmp");
  Picture stop = LoadArt("stop.bmp");
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(ImportSong(app, loaded));
  ASSERT_TRUE(SelectWithPointer(app));
  RECT r = WindowRect(app.Child(IdPlay));
  auto shows = [&](const Picture& picture) {
    Capture c = CaptureScreen(r);
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        if (c.At(x, y) != picture.At(x, y)) return false;
    return true;
  };
  ASSERT_TRUE(shows(play));
  SaveCapture(CaptureScreen(WindowRect(app.Window())), "skin-selection");
  app.Command(IdPlay);
  EXPECT_TRUE(WaitUntil([&] { return shows(stop); }, 5000)) << "Stop while playing";
  SaveCapture(CaptureScreen(WindowRect(app.Window())), "skin-preview-playing");
  // About a third of a three-second song: Play again once it has ended.
  EXPECT_TRUE(WaitUntil([&] { return shows(play); }, 10000)) << "Play after the preview";

  // The repaints along the way leave the controls drawn: the full bar is still amber.
  app.Sync();
  HWND bar = ProgressBar(app.Window());
  ASSERT_NE(bar, nullptr);
  Capture barPixels = CaptureClient(bar);
  EXPECT_EQ(barPixels.At(barPixels.width / 2, barPixels.height / 2), BarColour);
  SaveCapture(CaptureScreen(WindowRect(app.Window())), "skin-preview-ended");
}

TEST(Skin, AltSlashReachesConvertAndPlay) {
  Picture loaded = LoadArt("status_loaded.bmp");
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(ImportSong(app, loaded));
  ASSERT_TRUE(SelectWithPointer(app)) << "selection end at client x 260";

  // Alt and "/" on the keyboard: command 104 converts the selection and then previews it, and
  // the preview moves the caret as its play cursor.
  ASSERT_TRUE(Xdotool("key alt+slash"));
  EXPECT_TRUE(WaitUntil([&] {
    RECT caret{};
    return app.CaretRect(&caret) && caret.left != 260;
  }, 10000)) << "the preview did not start";
  SaveCapture(CaptureScreen(WindowRect(app.Window())), "skin-after-alt-slash");
}

}  // namespace
