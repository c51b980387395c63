// The profile dialog run in this process (the test program carries template 178 and the
// catalogue), driven from a second thread while the dialog's modal loop runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <iterator>

#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "profile/hyperlink.h"
#include "profile/phone_catalog.h"
#include "profile/profile_dialog.h"
#include "profile/profile_dialog_ids.h"
#include "profile/profile_store.h"
#include "resources/resource_ids.h"
#include "session/session_state.h"
#include "session/user_profile.h"
#include "tests/unit/catalog_expectations.h"
#include "tests/win/profile_registry_sandbox.h"

namespace {

constexpr UINT WM_APP_READ_CURSOR = WM_APP + 1;
int ownerDestroyMessages = 0;
HCURSOR cursorSeenOnDialogThread = nullptr;

// Stands in for the main window: counts the destroy messages the dialog sends it and reads
// the dialog thread's cursor on request.
LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) ++ownerDestroyMessages;
  if (message == WM_APP_READ_CURSOR) {
    cursorSeenOnDialogThread = GetCursor();
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

std::string Text(HWND window) {
  char text[256] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

std::string ListItem(HWND dialog, int id, int i) {
  char text[256] = {};
  SendDlgItemMessageA(dialog, id, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
  return text;
}

int Selection(HWND dialog, int id) {
  return static_cast<int>(SendDlgItemMessageA(dialog, id, CB_GETCURSEL, 0, 0));
}

class ProfileDialog : public ProfileRegistrySandbox {
 protected:
  void SetUp() override {
    ProfileRegistrySandbox::SetUp();
    WNDCLASSA wc{};
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QuavellaProfileTestOwner";
    RegisterClassA(&wc);
    owner = CreateWindowA(wc.lpszClassName, "owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                          nullptr, nullptr, wc.hInstance, nullptr);
    if (!owner) GTEST_SKIP() << "no display to open windows on";
    ownerDestroyMessages = 0;
  }
  void TearDown() override {
    if (owner) DestroyWindow(owner);
    ProfileRegistrySandbox::TearDown();
  }

  // Runs the dialog modally on this thread; `drive` gets it on another thread once shown.
  // Whatever `drive` leaves open is cancelled, so a failing check cannot hang the test.
  INT_PTR Run(const std::function<void(HWND)>& drive) {
    const DWORD dialogThread = GetCurrentThreadId();
    std::thread driver([&] {
      HWND dialog = nullptr;
      for (int i = 0; i < 2000 && !(dialog = FindDialogOfThread(dialogThread)); ++i) Sleep(5);
      if (!dialog) {
        ADD_FAILURE() << "the dialog did not appear";
        return;
      }
      drive(dialog);
      if (IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const INT_PTR result = RunProfileDialog(owner);
    driver.join();
    return result;
  }

  HWND owner = nullptr;
};

void Confirm(HWND dialog, const char* number) {
  SetDlgItemTextA(dialog, IDC_PROFILE_NUMBER, number);
  SendMessageA(dialog, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST_F(ProfileDialog, FirstRunListsTheCatalogueInOrderAndMakesTheLink) {
  const INT_PTR result = Run([](HWND d) {
    EXPECT_EQ(Text(d), "Welcome to Quavella");
    EXPECT_EQ(ItemText(d, IDC_PROFILE_LINK), "If you dont' know your phone model,  CLICK HERE");
    // Both lists in catalogue order, even the sorted one, first entries selected.
    ASSERT_EQ(SendDlgItemMessageA(d, IDC_PROFILE_CARRIERS, CB_GETCOUNT, 0, 0), int(std::size(ShippedCarriers)));
    ASSERT_EQ(SendDlgItemMessageA(d, IDC_PROFILE_PHONES, CB_GETCOUNT, 0, 0), int(std::size(ShippedPhones)));
    for (int i = 0; i < int(std::size(ShippedCarriers)); ++i)
      EXPECT_EQ(ListItem(d, IDC_PROFILE_CARRIERS, i), ShippedCarriers[i].name);
    for (int i = 0; i < int(std::size(ShippedPhones)); ++i)
      EXPECT_EQ(ListItem(d, IDC_PROFILE_PHONES, i), ShippedPhones[i].name);
    EXPECT_EQ(Selection(d, IDC_PROFILE_CARRIERS), 0);
    EXPECT_EQ(Selection(d, IDC_PROFILE_PHONES), 0);

    HWND link = GetDlgItem(d, IDC_PROFILE_LINK);
    EXPECT_TRUE(GetWindowLongPtrA(link, GWL_STYLE) & SS_NOTIFY);
    EXPECT_EQ(GetPropA(link, HyperlinkFromStaticProperty), reinterpret_cast<HANDLE>(1));
    EXPECT_NE(GetPropA(link, HyperlinkOriginalProcProperty), nullptr);
    EXPECT_NE(GetPropA(d, HyperlinkOriginalProcProperty), nullptr);
    EXPECT_EQ(GetWindowLongPtrA(d, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(HyperlinkParentProc));
    EXPECT_EQ(GetWindowLongPtrA(link, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(HyperlinkStaticProc));
    SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(ownerDestroyMessages, 1);  // the first run's Cancel ends the program
  EXPECT_STREQ(userProfile.versionText, "2.0");
}

TEST_F(ProfileDialog, RefusedNumberIsNotKeptByALaterCancel) {
  RegCloseKey(CreateProfileKey());
  std::strcpy(userProfile.phoneNumber, "3105550123");
  const INT_PTR result = Run([](HWND d) {
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(d, IDC_PROFILE_LINK)));  // no invisible link
    Confirm(d, "12");
    EXPECT_TRUE(IsWindow(d));
    SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(ownerDestroyMessages, 0);
  EXPECT_STREQ(userProfile.phoneNumber, "3105550123");
}

TEST_F(ProfileDialog, StoredPositionsBeyondTheListsSelectNothing) {
  RegCloseKey(CreateProfileKey());
  userProfile.carrierItemNumber = 9;  // one past "Other carrier"
  userProfile.phoneItemNumber = 500;
  userProfile.carrierId = 42;
  userProfile.phoneId = 77;
  sessionState.outputFormat = RingtoneWav;
  Run([](HWND d) {
    EXPECT_EQ(Selection(d, IDC_PROFILE_CARRIERS), CB_ERR);
    EXPECT_EQ(Selection(d, IDC_PROFILE_PHONES), CB_ERR);
    Confirm(d, "9998887777");
  });
  EXPECT_STREQ(userProfile.phoneNumber, "9998887777");
  EXPECT_EQ(userProfile.carrierId, 42);
  EXPECT_EQ(userProfile.carrierItemNumber, 9);
  EXPECT_EQ(userProfile.phoneId, 77);
  EXPECT_EQ(sessionState.outputFormat, RingtoneWav);
}

TEST_F(ProfileDialog, LinkColourCursorHoverAndCleanUp) {
  RegCloseKey(CreateProfileKey());  // so that Cancel only closes the dialog
  HFONT underline = nullptr;
  DWORD dialogThread = GetCurrentThreadId();
  HWND ownerWindow = owner;
  Run([&](HWND d) {
    // The link is hidden for an existing profile; show the first-run look again.
    HWND link = GetDlgItem(d, IDC_PROFILE_LINK);
    underline = static_cast<HFONT>(GetPropA(link, HyperlinkUnderlineFontProperty));
    HFONT original = static_cast<HFONT>(GetPropA(link, HyperlinkOriginalFontProperty));
    LOGFONTA description{};
    ASSERT_EQ(GetObjectA(underline, sizeof description, &description), sizeof description);
    EXPECT_TRUE(description.lfUnderline);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), original);

    GUITHREADINFO input{};
    input.cbSize = sizeof input;
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), underline);
    ASSERT_TRUE(GetGUIThreadInfo(dialogThread, &input));
    EXPECT_EQ(input.hwndCapture, link);
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(6, 4));  // still inside: nothing changes
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), underline);
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(-40, -40));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), original);
    ASSERT_TRUE(GetGUIThreadInfo(dialogThread, &input));
    EXPECT_EQ(input.hwndCapture, nullptr);

    // Losing the capture to someone else also drops the underline.
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(4, 4));
    SendMessageA(link, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(d));
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(link, WM_GETFONT, 0, 0)), original);

    EXPECT_EQ(SendMessageA(link, WM_SETCURSOR, reinterpret_cast<WPARAM>(link),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    SendMessageA(ownerWindow, WM_APP_READ_CURSOR, 0, 0);
    EXPECT_EQ(cursorSeenOnDialogThread, LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)));

    HDC dc = CreateCompatibleDC(nullptr);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(d, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(link));
    EXPECT_EQ(GetTextColor(dc), HyperlinkColour);
    SetTextColor(dc, RGB(1, 2, 3));
    SendMessageA(d, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                 reinterpret_cast<LPARAM>(GetDlgItem(d, IDC_PROFILE_NUMBER_LABEL)));
    EXPECT_NE(GetTextColor(dc), HyperlinkColour);
    DeleteDC(dc);

    // Converting again must not chain the procedures into a loop.
    ConvertStaticToHyperlink(d, IDC_PROFILE_LINK);
    SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(-40, -40));
    SendMessageA(d, WM_COMMAND, IDCANCEL, 0);
  });
  ASSERT_NE(underline, nullptr);
  EXPECT_EQ(GetObjectType(underline), 0u);  // deleted with the static
}
