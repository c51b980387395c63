// Points this process's HKEY_LOCAL_MACHINE at a scratch key under HKEY_CURRENT_USER, so that
// the profile store can be tested without touching the machine's real profile (which the
// end-to-end tests use at the same time).
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "profile/profile_store.h"
#include "session/session_state.h"
#include "session/user_profile.h"

inline BOOL CALLBACK CollectVisibleDialog(HWND window, LPARAM out) {
  char className[16] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::string(className) != "#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(out) = window;
  return FALSE;
}

// The first visible dialog-class window (a dialog or a message box) of thread `threadId`.
inline HWND FindDialogOfThread(DWORD threadId) {
  HWND found = nullptr;
  EnumThreadWindows(threadId, CollectVisibleDialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

class ProfileRegistrySandbox : public ::testing::Test {
 protected:
  void SetUp() override {
    char name[80];
    std::snprintf(name, sizeof name, "Software\\QuavellaProfileTests\\%lu",
                  GetCurrentProcessId());
    scratchPath = name;
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath.c_str());
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, scratchPath.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &scratch, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, scratch), ERROR_SUCCESS);
    // Make sure the redirection really holds before anything is written through it.
    HKEY probe = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "QuavellaProbe", 0, nullptr, 0, KEY_READ,
                              nullptr, &probe, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(probe);
    ASSERT_EQ(RegOpenKeyExA(scratch, "QuavellaProbe", 0, KEY_READ, &probe), ERROR_SUCCESS);
    RegCloseKey(probe);
    RegDeleteKeyA(scratch, "QuavellaProbe");
    ResetProfileFields();
  }

  void TearDown() override {
    RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    if (scratch) RegCloseKey(scratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratchPath.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuavellaProfileTests");  // only when empty
  }

  static void ResetProfileFields() {
    userProfile = UserProfile{};
    sessionState.outputFormat = RingtoneAmr;
  }

  // The profile key as the program sees it, opened for the test; nullptr when absent.
  HKEY OpenProfileKey() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(scratch, "SOFTWARE\\Quavella", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
      return nullptr;
    return key;
  }

  HKEY CreateProfileKey() {
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(scratch, "SOFTWARE\\Quavella", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    return key;
  }

  HKEY scratch = nullptr;
  std::string scratchPath;
};
