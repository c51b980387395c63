// The profile through the real program: the first-run dialog, the registry values it leaves,
// the Profile button, and the supported-phones link.
#include <windows.h>

#include <gtest/gtest.h>

#include <iterator>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "profile/profile_dialog_ids.h"
#include "resources/resource_ids.h"
#include "tests/e2e/driver.h"
#include "tests/unit/catalog_expectations.h"

namespace {

using namespace e2e;

const char FirstRunTitle[] = "Welcome to Quavella";
const char ProfileTitle[] = "Quavella Version 2.0: User Profile";
const char Refusal[] = "Please enter a 10 digit phone number:310936XXXX";

// The main window of `pid`, shown or not yet shown.
HWND MainWindowOf(DWORD pid) { return FindProcessWindow(pid, "Quavella", false); }

// Text of a control of another process (its edit boxes answer only WM_GETTEXT).
std::string ControlText(HWND control) {
  char text[512] = {};
  SendMessageA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string ItemText(HWND dialog, int id) { return ControlText(GetDlgItem(dialog, id)); }

void SetNumber(HWND dialog, const char* text) {
  SendMessageA(GetDlgItem(dialog, IDC_PROFILE_NUMBER), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(text));
}

int Selection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

void Select(HWND dialog, int id, int position) {
  SendDlgItemMessageA(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
}

int PhonePosition(const char* name) {
  for (int i = 0; i < int(std::size(ShippedPhones)); ++i)
    if (std::strcmp(ShippedPhones[i].name, name) == 0) return i;
  ADD_FAILURE() << name << " is not in the catalogue";
  return 0;
}

struct Value {
  bool present = false;
  DWORD type = 0;
  std::vector<BYTE> data;
};

Value ReadValue(const char* name) {
  Value v;
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quavella", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return v;
  BYTE data[256];
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &v.type, data, &size) == ERROR_SUCCESS) {
    v.present = true;
    v.data.assign(data, data + size);
  }
  RegCloseKey(key);
  return v;
}

bool ProfileKeyExists() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quavella", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

int CountValues() {
  HKEY key;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quavella", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return -1;
  DWORD count = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return static_cast<int>(count);
}

void ExpectText(const char* name, const std::string& text) {
  Value v = ReadValue(name);
  ASSERT_TRUE(v.present) << name;
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_EXPAND_SZ)) << name;
  EXPECT_EQ(v.data, std::vector<BYTE>(text.c_str(), text.c_str() + text.size() + 1)) << name;
}

void ExpectDword(const char* name, DWORD expected) {
  Value v = ReadValue(name);
  ASSERT_TRUE(v.present) << name;
  EXPECT_EQ(v.type, static_cast<DWORD>(REG_DWORD)) << name;
  ASSERT_EQ(v.data.size(), 4u) << name;
  DWORD got;
  std::memcpy(&got, v.data.data(), 4);
  EXPECT_EQ(got, expected) << name;
}

// All thirteen values, as a save of this profile leaves them.
void ExpectStoredProfile(const std::string& number, DWORD type, DWORD carrier, DWORD phone,
                         DWORD wallpaperType, DWORD width, DWORD height, DWORD support,
                         DWORD carrierItem, DWORD phoneItem) {
  EXPECT_EQ(CountValues(), 13);
  ExpectText("Number", number);
  ExpectText("Version", "2.0");
  ExpectDword("TypesSupported", 7);
  ExpectDword("Type", type);
  ExpectDword("Carrier", carrier);
  ExpectDword("Phone", phone);
  ExpectDword("Serial", 0);
  ExpectDword("wallpaperType", wallpaperType);
  ExpectDword("wallpaperWidth", width);
  ExpectDword("wallpaperHeight", height);
  ExpectDword("wallpaperSupport", support);
  ExpectDword("carrierItemNumber", carrierItem);
  ExpectDword("phoneItemNumber", phoneItem);
}

// Starts the program with no profile and waits for the first-run dialog.
HWND LaunchFirstRun(App& app) {
  DeleteProfile();
  LaunchOptions options;
  options.writeProfile = false;
  options.waitForMainWindow = false;
  if (!app.Launch(options)) return nullptr;
  HWND dialog = WaitForDialog(app.ProcessId(), FirstRunTitle, 20000);
  EXPECT_NE(dialog, nullptr) << "no first-run dialog";
  return dialog;
}

// Pixels of the link's colour in a capture.
int LinkColouredPixels(const Capture& c) {
  int n = 0;
  for (uint32_t px : c.pixels)
    if (px == 0x0000C0) ++n;
  return n;
}

RECT WindowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

}  // namespace

TEST(ProfileFirstRun, RefusesBadNumbersThenStoresTheProfileAndAsksNoMore) {
  App app;
  HWND dialog = LaunchFirstRun(app);
  ASSERT_NE(dialog, nullptr);
  // The main window cannot be used while the dialog is up.
  HWND main = MainWindowOf(app.ProcessId());
  EXPECT_TRUE(!main || !IsWindowVisible(main) || !IsWindowEnabled(main));
  SaveCapture(CaptureScreen(WindowRect(dialog)), "profile-first-run-dialog");

  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROFILE_CARRIERS, CB_GETCOUNT, 0, 0), int(std::size(ShippedCarriers)));
  EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_PROFILE_PHONES, CB_GETCOUNT, 0, 0), int(std::size(ShippedPhones)));
  EXPECT_EQ(Selection(dialog, IDC_PROFILE_CARRIERS), 0);
  EXPECT_EQ(Selection(dialog, IDC_PROFILE_PHONES), 0);

  HWND group = GetDlgItem(dialog, IDC_STATIC);
  for (const char* refused : {"310555012", "31055501234", "31055a0123", "310-550123"}) {
    SCOPED_TRACE(refused);
    SendMessageA(group, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Cellular Number"));
    SetNumber(dialog, refused);
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(ControlText(group), Refusal);
  }
  EXPECT_FALSE(ProfileKeyExists());

  const int nokia = PhonePosition("Nokia 6230");  // mp3, id 122, jpg 128 x 128
  Select(dialog, IDC_PROFILE_CARRIERS, 7);        // Verizon, id 8
  Select(dialog, IDC_PROFILE_PHONES, nokia);
  SetNumber(dialog, "3105550199");
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(WaitUntil([&] {
    HWND w = MainWindowOf(app.ProcessId());
    return w && IsWindowVisible(w) && IsWindowEnabled(w);
  }));
  ExpectStoredProfile("3105550199", 3, 8, 122, 1, 128, 128, 1, 7, nokia);

  // Launched without waiting for the window, so the driver does not know it: post directly.
  PostMessageA(MainWindowOf(app.ProcessId()), WM_COMMAND, MAKEWPARAM(ID_EXIT, BN_CLICKED), 0);
  EXPECT_EQ(app.WaitForExit(), 0);

  // The key exists now: the next start goes straight to the window.
  App again;
  LaunchOptions options;
  options.writeProfile = false;
  ASSERT_TRUE(again.Launch(options));
  EXPECT_TRUE(NoDialogFor(again.ProcessId(), 1500));
  EXPECT_TRUE(IsWindowEnabled(again.Window()));
}

TEST(ProfileFirstRun, CancelOrCloseBoxEndsTheProgramAndStoresNothing) {
  {
    App app;
    HWND dialog = LaunchFirstRun(app);
    ASSERT_NE(dialog, nullptr);
    SetNumber(dialog, "31055a0123");
    SendMessageA(dialog, WM_COMMAND, IDOK, 0);  // refused, then cancelled
    PressButton(dialog, IDCANCEL);
    EXPECT_EQ(app.WaitForExit(), 0);
    EXPECT_FALSE(ProfileKeyExists());
  }
  {
    App app;
    HWND dialog = LaunchFirstRun(app);
    ASSERT_NE(dialog, nullptr);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app.WaitForExit(), 0);
    EXPECT_FALSE(ProfileKeyExists());
  }
}

TEST(ProfileButton, ShowsTheStoredProfileCancelRewritesOkStoresTheChoice) {
  const int p900 = PhonePosition("SonyEricsson P900");
  Profile stored;
  stored.number = "3105550123";
  stored.type = 3;
  stored.carrier = 5;
  stored.phone = 23;
  stored.wallpaperType = 1;
  stored.wallpaperWidth = 208;
  stored.wallpaperHeight = 320;
  stored.wallpaperSupport = 1;
  stored.carrierItem = 4;  // Rogers ATT
  stored.phoneItem = p900;
  LaunchOptions options;
  options.profile = stored;
  App app;
  ASSERT_TRUE(app.Launch(options));

  app.Command(ID_PROFILE);
  HWND dialog = WaitForDialog(app.ProcessId(), ProfileTitle);
  ASSERT_NE(dialog, nullptr);
  SaveCapture(CaptureScreen(WindowRect(dialog)), "profile-button-dialog");
  EXPECT_EQ(ItemText(dialog, IDC_PROFILE_NUMBER), "3105550123");
  EXPECT_EQ(ItemText(dialog, IDC_PROFILE_NUMBER_LABEL), "Phone Number");
  EXPECT_EQ(ItemText(dialog, IDC_PROFILE_CARRIER_LABEL), "Cellular Carrier");
  EXPECT_EQ(ItemText(dialog, IDC_PROFILE_PHONE_LABEL), "Phone Model");
  EXPECT_EQ(ItemText(dialog, IDC_PROFILE_LINK), "");
  EXPECT_EQ(ItemText(dialog, IDC_PROFILE_SAMPLE_NUMBER), "");
  EXPECT_EQ(Selection(dialog, IDC_PROFILE_CARRIERS), 4);
  EXPECT_EQ(Selection(dialog, IDC_PROFILE_PHONES), p900);
  EXPECT_EQ(ItemText(dialog, IDC_PROFILE_PHONES), "SonyEricsson P900");

  // Spoil the stored values while the dialog is open: Cancel must write all thirteen again.
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quavella", 0, KEY_ALL_ACCESS, &key),
            ERROR_SUCCESS);
  const DWORD junk = 99;
  RegSetValueExA(key, "Serial", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&junk), 4);
  RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&junk), 4);
  RegDeleteValueA(key, "wallpaperHeight");
  RegDeleteValueA(key, "Number");
  RegCloseKey(key);
  ASSERT_TRUE(PressButton(dialog, IDCANCEL));
  ASSERT_TRUE(WaitUntil([] { return CountValues() == 13; }));
  ExpectStoredProfile("3105550123", 3, 5, 23, 1, 208, 320, 1, 4, p900);
  EXPECT_TRUE(app.Running());

  // An mp3 phone and a carrier whose id differs from its position.
  app.Command(ID_PROFILE);
  dialog = WaitForDialog(app.ProcessId(), ProfileTitle);
  ASSERT_NE(dialog, nullptr);
  const int razr = PhonePosition("Motorola V3 RAZR");  // mp3, id 151, 176 x 220
  Select(dialog, IDC_PROFILE_CARRIERS, 6);            // T-Mobile, id 2
  Select(dialog, IDC_PROFILE_PHONES, razr);
  SetNumber(dialog, "2125550100");
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(WaitUntil([] {
    Value v = ReadValue("Number");
    return v.present && std::string(v.data.begin(), v.data.end()) == std::string("2125550100", 11);
  }));
  ExpectStoredProfile("2125550100", 3, 2, 151, 1, 176, 220, 1, 6, razr);

  // A phone of another format changes Type.
  app.Command(ID_PROFILE);
  dialog = WaitForDialog(app.ProcessId(), ProfileTitle);
  ASSERT_NE(dialog, nullptr);
  const int e105 = PhonePosition("Samsung E105");  // mmf, id 39, gif 128 x 160
  Select(dialog, IDC_PROFILE_PHONES, e105);
  ASSERT_TRUE(PressButton(dialog, IDOK));
  ASSERT_TRUE(WaitUntil([] {
    Value v = ReadValue("Phone");
    return v.present && v.data.size() == 4 && v.data[0] == 39;
  }));
  ExpectStoredProfile("2125550100", 4, 2, 39, 2, 128, 160, 1, 6, e105);
}

TEST(ProfileLink, HoverUnderlinesAndClickOpensTheSupportedPhonesPage) {
  App app;
  HWND dialog = LaunchFirstRun(app);
  ASSERT_NE(dialog, nullptr);
  HWND link = GetDlgItem(dialog, IDC_PROFILE_LINK);
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(ControlText(link), "If you dont' know your phone model,  CLICK HERE");
  const RECT linkRect = WindowRect(link);

  // Away from the link first, then onto it with the real pointer.
  SetCursorPos(5, 5);
  WaitUntil([] { return false; }, 200);
  const int plain = LinkColouredPixels(CaptureScreen(linkRect));
  EXPECT_GT(plain, 20) << "the link text is drawn in its blue";
  SetCursorPos(linkRect.left + 20, (linkRect.top + linkRect.bottom) / 2);
  int hovered = 0;
  EXPECT_TRUE(WaitUntil([&] {
    hovered = LinkColouredPixels(CaptureScreen(linkRect));
    return hovered > plain + 10;
  }, 5000)) << "no underline while hovered";
  SaveCapture(CaptureScreen(WindowRect(dialog)), "profile-link-hovered");

  SetCursorPos(5, 5);
  EXPECT_TRUE(WaitUntil([&] { return LinkColouredPixels(CaptureScreen(linkRect)) == plain; },
                        5000))
      << "the underline stays after the pointer left";

  // Click: the shell opens the page through the prefix's browser setting.
  const char* logVariable = std::getenv("QV_BROWSER_LOG");
  if (!logVariable || !*logVariable) {
    PressButton(dialog, IDCANCEL);
    GTEST_SKIP() << "QV_BROWSER_LOG is not set: run inside the test session";
  }
  const std::string log = WindowsPath(logVariable);
  const size_t before = ReadFileBytes(log).size();
  SendMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  SendMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  const std::string expected =
      std::string("http://") + QV_SERVICE_HOST + "/index.php?page=supported_phones";
  std::string opened;
  EXPECT_TRUE(WaitUntil([&] {
    std::vector<uint8_t> bytes = ReadFileBytes(log);
    if (bytes.size() <= before) return false;
    opened.assign(bytes.begin() + static_cast<std::ptrdiff_t>(before), bytes.end());
    return opened.find('\n') != std::string::npos;
  }, 15000));
  EXPECT_EQ(opened, expected + "\n");
  EXPECT_TRUE(IsWindowVisible(dialog));  // the link does not close the dialog

  PressButton(dialog, IDCANCEL);
  EXPECT_EQ(app.WaitForExit(), 0);
}
