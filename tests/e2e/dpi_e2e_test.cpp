// The program on screens of 100, 125, 150 and 200 %: the window, the profile dialog, the strip's
// menu and a message box at each scale (kept as screenshots), a drag that selects the same bytes
// at every scale, a move to a screen of another scale, and the keyboard's round with its names.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

// The screen scale the next program starts with (Wine reads it when a process starts); 100 %
// again at the end.
struct ScreenScale {
  explicit ScreenScale(DWORD dpi) { Set(dpi); }
  ~ScreenScale() { Set(96); }
  static void Set(DWORD dpi) {
    RegSetKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi,
                    sizeof dpi);
  }
};

int Px(int units, int dpi) { return (units * dpi + 48) / 96; }

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

// Starts the program, moves its window to the screen's corner (a 200 % window does not fit
// beside the start place on the test screen) and loads a song. The test itself sees real pixels.
void LaunchWithSong(App& app) {
  using SetContextFunction = BOOL(WINAPI*)(HANDLE);
  if (auto set = reinterpret_cast<SetContextFunction>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext"))))
    set(reinterpret_cast<HANDLE>(-4));  // per monitor, v2
  ASSERT_TRUE(app.Launch());
  SetWindowPos(app.Window(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  const std::string path = app.StartFolder() + "\\song.wav";
  ASSERT_TRUE(WriteFileBytes(path, MakeWav(8000, 1, 80000, [](uint32_t f, int) {
    return static_cast<int16_t>((f % 40 < 20 ? 1 : -1) * (f / 8));
  })));
  ASSERT_TRUE(app.BrowseTo(path));
  ASSERT_TRUE(app.WaitLoaded());
}

// Waits for a dialog or menu of the program, keeps a screenshot, and gives its size.
SIZE Shoot(HWND window, const std::string& name) {
  EXPECT_TRUE(window) << name;
  Sleep(300);
  Screenshot(name);
  RECT r = WindowRect(window);
  return {r.right - r.left, r.bottom - r.top};
}

class Scaled : public ::testing::TestWithParam<int> {};

TEST_P(Scaled, WindowDialogsMenuAndBoxAreDrawnAtTheScreensScale) {
  const int dpi = GetParam();
  const std::string at = "-" + std::to_string(dpi) + "dpi";
  ScreenScale scale(dpi);
  App app;
  ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
  RECT r = WindowRect(app.Window()), play = WindowRect(app.Child(ID_PLAY));
  EXPECT_EQ(r.right - r.left, Px(550, dpi));
  EXPECT_EQ(r.bottom - r.top, Px(355, dpi));
  EXPECT_EQ(play.right - play.left, Px(81, dpi));
  EXPECT_EQ(play.left - r.left - 1, Px(70, dpi));  // one pixel of border
  app.Drag(Px(120, dpi), Px(300, dpi), Px(120, dpi));
  ASSERT_TRUE(app.Sync());
  SaveCapture(CaptureScreen(r), "dpi-main-window" + at);

  POINT strip{Px(200, dpi), Px(120, dpi)};
  ClientToScreen(app.Window(), &strip);
  PostMessageA(app.Window(), WM_CONTEXTMENU, 0, MAKELPARAM(strip.x, strip.y));
  HWND menu = nullptr;
  WaitUntil([&] { return (menu = FindWindowA("#32768", nullptr)) && IsWindowVisible(menu); });
  const SIZE menuSize = Shoot(menu, "dpi-strip-menu" + at);
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));

  app.Command(ID_UPLOAD);  // before Convert: a message box
  HWND box = WaitForAnyDialog(app.ProcessId());
  const SIZE boxSize = Shoot(box, "dpi-message-box" + at);
  PressButton(box);
  app.Command(ID_PROFILE);
  HWND profile = WaitForAnyDialog(app.ProcessId());
  const SIZE profileSize = Shoot(profile, "dpi-profile-dialog" + at);
  PressButton(profile, IDCANCEL);

  // Each grows with the scale (a menu's and a box's margins grow less than their text).
  static SIZE menu96, box96, profile96;
  if (dpi == 96) menu96 = menuSize, box96 = boxSize, profile96 = profileSize;
  EXPECT_GE(menuSize.cy * 96 * 4, menu96.cy * dpi * 3);
  EXPECT_GE(boxSize.cx * 96 * 4, box96.cx * dpi * 3);
  EXPECT_GE(profileSize.cx * 96 * 10, profile96.cx * dpi * 9);
}

INSTANTIATE_TEST_SUITE_P(Dpi, Scaled, ::testing::Values(96, 120, 144, 192));

// A drag on the strip at `dpi` (pixels of that scale), then Convert; the ringtone's bytes.
std::vector<uint8_t> ClipOfDrag(int dpi, int fromX, int toX) {
  ScreenScale scale(dpi);
  App app;
  LaunchWithSong(app);
  app.Drag(fromX, toX, Px(120, dpi));
  app.Command(ID_CONVERT);
  EXPECT_TRUE(WaitUntil([&] { return app.ChildText(ID_SIZE_EDIT).find("KB") != std::string::npos; },
                        60000)) << "no ringtone at " << dpi;
  return ReadFileBytes(app.WorkingFile("test.wav"));
}

TEST(ScaledStrip, ADragSelectsTheSameBytesAtEveryScale) {
  std::vector<uint8_t> at96 = ClipOfDrag(96, 120, 300), at192 = ClipOfDrag(192, 240, 600);
  ASSERT_GT(at96.size(), 44u);
  EXPECT_TRUE(at96 == at192) << at96.size() << " and " << at192.size() << " bytes";
}

TEST(ScaledStrip, AWindowMovedToA200PercentScreenIsDrawnAsOneStartedThere) {
  Capture started;
  {
    ScreenScale scale(192);
    App app;
    ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
    ASSERT_TRUE(app.Sync());
    Sleep(300);
    started = CaptureClient(app.Window());
  }
  App app;
  ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
  // Sent from another process, the message carries no rectangle: the window keeps its place.
  SendMessageA(app.Window(), WM_DPICHANGED, MAKEWPARAM(192, 192), 0);
  RECT r = WindowRect(app.Window());
  EXPECT_EQ(r.right - r.left, 1100);
  EXPECT_EQ(r.bottom - r.top, 710);
  ASSERT_TRUE(app.Sync());
  Sleep(300);
  Capture moved = CaptureClient(app.Window());
  SaveCapture(moved, "dpi-moved-to-192dpi");
  EXPECT_TRUE(moved.pixels == started.pixels) << "not as a window started at 200 %";
}

std::string AccessibleName(HWND control) {
  IAccessible* accessible = nullptr;
  BSTR name = nullptr;
  VARIANT self{};
  self.vt = VT_I4;  // CHILDID_SELF
  if (SUCCEEDED(AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible,
                                           reinterpret_cast<void**>(&accessible)))) {
    accessible->get_accName(self, &name);
    accessible->Release();
  }
  std::string text;
  for (const wchar_t* c = name; c && *c; ++c) text += static_cast<char>(*c);
  SysFreeString(name);
  return text;
}

// Space presses a focused button by itself (the system's button); Enter is the program's.
TEST(Keyboard, TabGoesRoundTheButtonsAndTheStripAndEnterPresses) {
  CoInitialize(nullptr);
  App app;
  ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
  auto focus = [&] {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(app.Window(), nullptr), &info);
    return info.hwndFocus;
  };
  const std::pair<int, const char*> round[] = {{ID_BROWSE, "Browse"}, {ID_PLAY, "Play"},
                                               {ID_CONVERT, "Convert"}, {ID_UPLOAD, "Upload"},
                                               {ID_PROFILE, "Profile"}, {ID_HELP, "Help"},
                                               {0, "the strip"}};
  for (auto [id, name] : round) {
    PostMessageA(focus(), WM_KEYDOWN, VK_TAB, 0);
    HWND expected = id ? app.Child(id) : app.Window();
    ASSERT_TRUE(WaitUntil([&] { return focus() == expected; })) << name;
    if (id) {
      EXPECT_EQ(AccessibleName(expected), name);
    }
  }
  ASSERT_TRUE(app.Sync());
  Sleep(200);
  SaveCapture(CaptureClient(app.Window()), "dpi-keyboard-strip-focus");

  for (int i = 0; i < 5; ++i) {  // round again to Profile
    PostMessageA(focus(), WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(app.Sync());
  }
  HWND profile = app.Child(ID_PROFILE);
  ASSERT_EQ(focus(), profile);
  SaveCapture(CaptureScreen(WindowRect(profile)), "dpi-keyboard-profile-focus");
  PostMessageA(profile, WM_KEYDOWN, VK_RETURN, 0);
  HWND dialog = WaitForAnyDialog(app.ProcessId());
  ASSERT_TRUE(dialog) << "Enter did not press Profile";
  PressButton(dialog, IDCANCEL);
  CoUninitialize();
}

}  // namespace
