// The program on screens of 100, 125, 150 and 200 %: the window, the profile dialog, the strip's
// menu and a message box at each scale (kept as screenshots), a drag that selects the same bytes at
// every scale, a move to a screen of another scale, and the keyboard's round with its names.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <map>

#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

// The screen scale the next program starts with (Wine reads it when a process starts); the
// value before comes back at the end.
class ScreenScale {
 public:
  explicit ScreenScale(DWORD dpi) {
    RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key_, nullptr);
    DWORD size = sizeof old_;
    had_ = RegQueryValueExA(key_, "LogPixels", nullptr, nullptr,
                            reinterpret_cast<BYTE*>(&old_), &size) == ERROR_SUCCESS;
    RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                   sizeof dpi);
  }
  ~ScreenScale() {
    if (had_)
      RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&old_),
                     sizeof old_);
    else
      RegDeleteValueA(key_, "LogPixels");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
  DWORD old_ = 0;
  bool had_ = false;
};

// This test reads other windows' real pixels, not ones scaled for a program unaware of scale.
void SeeRealPixels() {
  using SetContextFunction = BOOL(WINAPI*)(HANDLE);
  auto set = reinterpret_cast<SetContextFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("user32.dll"), "SetProcessDpiAwarenessContext")));
  if (set) set(reinterpret_cast<HANDLE>(-4));  // per monitor, v2
}

int Px(int units, int dpi) { return (units * dpi + 48) / 96; }

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

std::vector<uint8_t> Song() {
  return MakeWav(8000, 1, 80000, [](uint32_t f, int) -> int16_t {
    return static_cast<int16_t>((f % 40 < 20 ? 1 : -1) * (f / 8));
  });
}

// Starts the program, moves its window to the screen's corner (a 200 % window does not
// fit beside the 300-pixel start place of the test screen) and loads the song.
void LaunchWithSong(App& app) {
  ASSERT_TRUE(app.Launch());
  SetWindowPos(app.Window(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  std::string path = app.StartFolder() + "\\song.wav";
  ASSERT_TRUE(WriteFileBytes(path, Song()));
  ASSERT_TRUE(app.BrowseTo(path));
  ASSERT_TRUE(app.WaitLoaded());
}

// A drag on the strip at `dpi` (pixels of that scale), then Convert; the ringtone's bytes.
std::vector<uint8_t> ClipOfDrag(App& app, int dpi, int fromX, int toX) {
  app.Drag(fromX, toX, Px(120, dpi));
  app.Command(ID_CONVERT);
  EXPECT_TRUE(WaitUntil([&] {
    std::string size = app.ChildText(ID_SIZE_EDIT);
    return size.size() > 2 && size.compare(size.size() - 2, 2, "KB") == 0;
  }, 60000)) << "no ringtone at " << dpi;
  return ReadFileBytes(app.WorkingFile("test.wav"));
}

class Scaled : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { SeeRealPixels(); }
};

TEST_P(Scaled, WindowDialogsMenuAndBoxAreDrawnAtTheScreensScale) {
  const int dpi = GetParam();
  const std::string at = "-" + std::to_string(dpi) + "dpi";
  ScreenScale scale(dpi);
  App app;
  ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
  RECT r = WindowRect(app.Window());
  EXPECT_EQ(r.right - r.left, Px(550, dpi));
  EXPECT_EQ(r.bottom - r.top, Px(355, dpi));
  RECT play{};
  GetWindowRect(app.Child(ID_PLAY), &play);
  EXPECT_EQ(play.right - play.left, Px(81, dpi));
  EXPECT_EQ(play.left - r.left - 1, Px(70, dpi));  // one pixel of border

  app.Drag(Px(120, dpi), Px(300, dpi), Px(120, dpi));
  ASSERT_TRUE(app.Sync());
  SaveCapture(CaptureScreen(r), "dpi-main-window" + at);

  // The strip's menu, opened where the right button opens it.
  POINT strip{Px(200, dpi), Px(120, dpi)};
  ClientToScreen(app.Window(), &strip);
  PostMessageA(app.Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(app.Window()),
               MAKELPARAM(strip.x, strip.y));
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    return (menu = FindWindowA("#32768", nullptr)) != nullptr && IsWindowVisible(menu);
  }));
  Sleep(300);
  Screenshot("dpi-strip-menu" + at);
  RECT menuRect = WindowRect(menu);
  PostMessageA(app.Window(), WM_CANCELMODE, 0, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));

  // A message box: Upload before Convert.
  app.Command(ID_UPLOAD);
  HWND box = WaitForAnyDialog(app.ProcessId());
  ASSERT_TRUE(box);
  Sleep(300);
  Screenshot("dpi-message-box" + at);
  RECT boxRect = WindowRect(box);
  PressButton(box);

  app.Command(ID_PROFILE);
  HWND profile = WaitForAnyDialog(app.ProcessId());
  ASSERT_TRUE(profile);
  Sleep(300);
  Screenshot("dpi-profile-dialog" + at);
  RECT profileRect = WindowRect(profile);
  PressButton(profile, IDCANCEL);

  // Each grows with the scale (their fonts and dialog units follow the screen's scale; a menu's
  // margins grow less).
  static std::map<int, int> menuHeights, boxWidths, profileWidths;
  menuHeights[dpi] = menuRect.bottom - menuRect.top;
  boxWidths[dpi] = boxRect.right - boxRect.left;
  profileWidths[dpi] = profileRect.right - profileRect.left;
  if (dpi > 96 && profileWidths.count(96)) {
    EXPECT_GE(menuHeights[dpi] * 96, menuHeights[96] * dpi * 3 / 4) << "menu";
    EXPECT_GE(boxWidths[dpi] * 96, boxWidths[96] * dpi * 3 / 4) << "message box";
    EXPECT_GE(profileWidths[dpi] * 96, profileWidths[96] * dpi * 9 / 10) << "profile dialog";
  }
}

INSTANTIATE_TEST_SUITE_P(Dpi, Scaled, ::testing::Values(96, 120, 144, 192));

TEST(ScaledStrip, ADragSelectsTheSameBytesAtEveryScale) {
  SeeRealPixels();
  std::vector<uint8_t> at96, at192;
  {
    App app;
    ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
    at96 = ClipOfDrag(app, 96, 120, 300);
  }
  {
    ScreenScale scale(192);
    App app;
    ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
    at192 = ClipOfDrag(app, 192, 240, 600);
  }
  ASSERT_GT(at96.size(), 44u);
  EXPECT_TRUE(at96 == at192) << at96.size() << " and " << at192.size() << " bytes";
}

TEST(ScaledStrip, AWindowMovedToA200PercentScreenIsDrawnAsOneStartedThere) {
  SeeRealPixels();
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
  ASSERT_EQ(moved.width, started.width);
  ASSERT_EQ(moved.height, started.height);
  int differ = 0;
  for (size_t i = 0; i < moved.pixels.size(); ++i) differ += moved.pixels[i] != started.pixels[i];
  EXPECT_EQ(differ, 0) << "pixels that differ from a window started at 200 %";
}

// The focus of the program's window thread.
HWND FocusOf(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                            : nullptr;
}

std::string AccessibleName(HWND control) {
  IAccessible* accessible = nullptr;
  if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, IID_IAccessible,
                                        reinterpret_cast<void**>(&accessible))))
    return "(none)";
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  std::string text;
  if (SUCCEEDED(accessible->get_accName(self, &name)) && name) {
    for (const wchar_t* c = name; *c; ++c) text += static_cast<char>(*c);
    SysFreeString(name);
  }
  accessible->Release();
  return text;
}

TEST(Keyboard, TabGoesRoundTheButtonsAndTheStripAndEnterOrSpacePresses) {
  SeeRealPixels();
  CoInitialize(nullptr);
  App app;
  ASSERT_NO_FATAL_FAILURE(LaunchWithSong(app));
  const std::pair<int, const char*> round[] = {{ID_BROWSE, "Browse"}, {ID_PLAY, "Play"},
                                               {ID_CONVERT, "Convert"}, {ID_UPLOAD, "Upload"},
                                               {ID_PROFILE, "Profile"}, {ID_HELP, "Help"}};
  for (auto [id, name] : round) EXPECT_EQ(AccessibleName(app.Child(id)), name);

  Capture before = CaptureClient(app.Window());
  HWND focus = app.Window();
  for (auto [id, name] : round) {
    PostMessageA(focus, WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(WaitUntil([&] { return FocusOf(app.Window()) == app.Child(id); })) << name;
    focus = app.Child(id);
  }
  PostMessageA(focus, WM_KEYDOWN, VK_TAB, 0);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(app.Window()) == app.Window(); })) << "the strip";
  ASSERT_TRUE(app.Sync());
  Sleep(200);
  Capture ringed = CaptureClient(app.Window());
  SaveCapture(ringed, "dpi-keyboard-strip-focus");
  int changed = 0;  // on the ring's top edge, above the strip
  for (int x = 59; x < 504; ++x) changed += before.At(x, 63) != ringed.At(x, 63);
  EXPECT_GT(changed, 100) << "the strip's focus does not show";

  // Round to Profile (Shift is not down for posted keys, so forward), then Enter and Space.
  for (int i = 0; i < 5; ++i) {
    PostMessageA(FocusOf(app.Window()), WM_KEYDOWN, VK_TAB, 0);
    ASSERT_TRUE(app.Sync());
  }
  HWND profile = app.Child(ID_PROFILE);
  ASSERT_EQ(FocusOf(app.Window()), profile);
  RECT button = WindowRect(profile);
  SaveCapture(CaptureScreen(button), "dpi-keyboard-profile-focus");
  PostMessageA(profile, WM_KEYDOWN, VK_RETURN, 0);
  HWND dialog = WaitForAnyDialog(app.ProcessId());
  ASSERT_TRUE(dialog) << "Enter did not press Profile";
  PressButton(dialog, IDCANCEL);
  PostMessageA(profile, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageA(profile, WM_KEYUP, VK_SPACE, 0xC0000000);
  dialog = WaitForAnyDialog(app.ProcessId());
  ASSERT_TRUE(dialog) << "Space did not press Profile";
  PressButton(dialog, IDCANCEL);
  CoUninitialize();
}

}  // namespace
