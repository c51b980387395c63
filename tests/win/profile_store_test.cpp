#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "profile/profile_store.h"
#include "session/session_state.h"
#include "session/user_profile.h"
#include "tests/win/profile_registry_hook.h"
#include "tests/win/profile_registry_sandbox.h"

namespace {

struct StoredValue {
  std::string name;
  DWORD type;
  std::vector<BYTE> data;
};

std::vector<StoredValue> ReadAllValues(HKEY key) {
  std::vector<StoredValue> values;
  for (DWORD i = 0;; ++i) {
    char name[256];
    DWORD nameLength = sizeof name;
    BYTE data[512];
    DWORD size = sizeof data;
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS)
      break;
    values.push_back({std::string(name, nameLength), type, std::vector<BYTE>(data, data + size)});
  }
  return values;
}

std::vector<BYTE> Dword(DWORD v) {
  return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
          static_cast<BYTE>(v >> 24)};
}

std::vector<BYTE> Text(const char* s) { return std::vector<BYTE>(s, s + std::strlen(s) + 1); }

void SetRaw(HKEY key, const char* name, DWORD type, const void* data, size_t size) {
  ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data),
                           static_cast<DWORD>(size)),
            ERROR_SUCCESS);
}

void SetDwordValue(HKEY key, const char* name, DWORD v) { SetRaw(key, name, REG_DWORD, &v, 4); }

void FillDistinctFields() {
  std::strcpy(userProfile.phoneNumber, "3105550123");
  std::strcpy(userProfile.versionText, "2.0");
  sessionState.outputFormat = RingtoneMmf;
  userProfile.carrierId = 8;
  userProfile.phoneId = 183;
  userProfile.wallpaperType = WallpaperGif;
  userProfile.wallpaperWidth = 208;
  userProfile.wallpaperHeight = 320;
  userProfile.wallpaperSupport = 1;
  userProfile.carrierItemNumber = 7;
  userProfile.phoneItemNumber = 108;
}

using SetValueFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
using CreateKeyFunction = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, LPSTR, DWORD, REGSAM,
                                        const SECURITY_ATTRIBUTES*, PHKEY, LPDWORD);
SetValueFunction realSetValue = nullptr;
CreateKeyFunction realCreateKey = nullptr;
std::vector<StoredValue> writes;       // every RegSetValueExA call, in call order
std::set<std::string> failingWrites;   // value names whose write is made to fail
bool failKeyCreation = false;

LONG WINAPI WatchSetValue(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                          DWORD size) {
  writes.push_back({name, type, std::vector<BYTE>(data, data + size)});
  if (failingWrites.count(name)) return ERROR_ACCESS_DENIED;
  return realSetValue(key, name, reserved, type, data, size);
}

LONG WINAPI WatchCreateKey(HKEY key, LPCSTR path, DWORD reserved, LPSTR className, DWORD options,
                           REGSAM access, const SECURITY_ATTRIBUTES* security, PHKEY result,
                           LPDWORD disposition) {
  if (failKeyCreation) return ERROR_ACCESS_DENIED;
  return realCreateKey(key, path, reserved, className, options, access, security, result,
                       disposition);
}

// Runs `action` on this thread and answers every message box it shows; returns each box as
// "caption|text".
std::vector<std::string> AnswerBoxes(const std::function<void()>& action) {
  std::atomic<bool> done{false};
  std::vector<std::string> boxes;
  const DWORD testThread = GetCurrentThreadId();
  std::thread closer([&] {
    while (!done) {
      if (HWND box = FindDialogOfThread(testThread)) {
        char caption[200] = {}, body[200] = {};
        GetWindowTextA(box, caption, sizeof caption);
        GetDlgItemTextA(box, 0xFFFF, body, sizeof body);
        boxes.push_back(std::string(caption) + "|" + body);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        while (IsWindow(box) && !done) Sleep(2);
      }
      Sleep(2);
    }
  });
  action();
  done = true;
  closer.join();
  return boxes;
}

class ProfileStore : public ProfileRegistrySandbox {
 protected:
  void SetUp() override {
    ProfileRegistrySandbox::SetUp();
    writes.clear();
    failingWrites.clear();
    failKeyCreation = false;
    realSetValue = reinterpret_cast<SetValueFunction>(
        ReplaceImport("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(WatchSetValue)));
    realCreateKey = reinterpret_cast<CreateKeyFunction>(ReplaceImport(
        "advapi32.dll", "RegCreateKeyExA", reinterpret_cast<void*>(WatchCreateKey)));
    ASSERT_NE(realSetValue, nullptr);
    ASSERT_NE(realCreateKey, nullptr);
  }
  void TearDown() override {
    if (realSetValue)
      ReplaceImport("advapi32.dll", "RegSetValueExA", reinterpret_cast<void*>(realSetValue));
    if (realCreateKey)
      ReplaceImport("advapi32.dll", "RegCreateKeyExA", reinterpret_cast<void*>(realCreateKey));
    ProfileRegistrySandbox::TearDown();
  }
};

}  // namespace

TEST_F(ProfileStore, SaveWritesThirteenValuesInOrder) {
  FillDistinctFields();
  SaveProfile();
  HKEY key = OpenProfileKey();
  ASSERT_NE(key, nullptr);
  const std::vector<StoredValue> stored = ReadAllValues(key);
  RegCloseKey(key);
  EXPECT_EQ(stored.size(), 13u);

  const std::vector<StoredValue> expected = {
      {"Number", REG_EXPAND_SZ, Text("3105550123")},
      {"Version", REG_EXPAND_SZ, Text("2.0")},
      {"TypesSupported", REG_DWORD, Dword(7)},
      {"Type", REG_DWORD, Dword(4)},
      {"Carrier", REG_DWORD, Dword(8)},
      {"Phone", REG_DWORD, Dword(183)},
      {"Serial", REG_DWORD, Dword(0)},
      {"wallpaperType", REG_DWORD, Dword(2)},
      {"wallpaperWidth", REG_DWORD, Dword(208)},
      {"wallpaperHeight", REG_DWORD, Dword(320)},
      {"wallpaperSupport", REG_DWORD, Dword(1)},
      {"carrierItemNumber", REG_DWORD, Dword(7)},
      {"phoneItemNumber", REG_DWORD, Dword(108)},
  };
  // The order of the writes, and what each wrote and what the registry then holds.
  ASSERT_EQ(writes.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(writes[i].name, expected[i].name);
    EXPECT_EQ(writes[i].type, expected[i].type);
    EXPECT_EQ(writes[i].data, expected[i].data);
    bool found = false;
    for (const StoredValue& v : stored)
      if (v.name == expected[i].name) {
        found = true;
        EXPECT_EQ(v.type, expected[i].type);
        EXPECT_EQ(v.data, expected[i].data);
      }
    EXPECT_TRUE(found);
  }
}

TEST_F(ProfileStore, EachFailedWriteHasItsBoxAndTheRestIsWritten) {
  FillDistinctFields();
  failingWrites = {"Version", "Carrier", "phoneItemNumber"};
  const std::vector<std::string> boxes = AnswerBoxes(SaveProfile);
  EXPECT_EQ(boxes, (std::vector<std::string>{"Could not set the event message file.|ERROR",
                                             "Could not set the supported types.|ERROR",
                                             "Could not set the supported types.|ERROR"}));
  EXPECT_EQ(writes.size(), 13u);
  HKEY key = OpenProfileKey();
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(ReadAllValues(key).size(), 10u);
  RegCloseKey(key);
}

TEST_F(ProfileStore, LoadReadsBackWhatSaveWrote) {
  FillDistinctFields();
  SaveProfile();
  // Values that are written but never read.
  HKEY key = OpenProfileKey();
  ASSERT_NE(key, nullptr);
  SetDwordValue(key, "TypesSupported", 1);
  SetDwordValue(key, "Serial", 55);
  RegCloseKey(key);

  const UserProfile saved = userProfile;
  ResetProfileFields();
  LoadProfile();
  EXPECT_STREQ(userProfile.phoneNumber, saved.phoneNumber);
  EXPECT_STREQ(userProfile.versionText, saved.versionText);
  EXPECT_EQ(sessionState.outputFormat, RingtoneMmf);
  EXPECT_EQ(std::memcmp(&userProfile.carrierId, &saved.carrierId,
                        sizeof(UserProfile) - offsetof(UserProfile, carrierId)),
            0);

  // Saving again rewrites the constants.
  SaveProfile();
  key = OpenProfileKey();
  DWORD v = 0, size = 4;
  RegQueryValueExA(key, "TypesSupported", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  EXPECT_EQ(v, 7u);
  RegQueryValueExA(key, "Serial", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size);
  EXPECT_EQ(v, 0u);
  RegCloseKey(key);
}

TEST_F(ProfileStore, MissingValuesKeepTheirFieldsAndTypeIsNotCheckedAgainstThePhone) {
  HKEY key = CreateProfileKey();
  SetDwordValue(key, "Phone", 0);  // an amr phone (Hitatchi P300 is qcp, id 0) ...
  SetDwordValue(key, "Type", 3);   // ... but the stored format wins
  RegCloseKey(key);
  LoadProfile();  // the key exists: no dialog
  EXPECT_EQ(sessionState.outputFormat, RingtoneMp3);
  EXPECT_STREQ(userProfile.phoneNumber, "");
  EXPECT_EQ(userProfile.wallpaperType, WallpaperJpg);
  EXPECT_EQ(userProfile.wallpaperWidth, 1);
  EXPECT_EQ(userProfile.wallpaperHeight, 1);

  ResetProfileFields();
  key = OpenProfileKey();
  RegDeleteValueA(key, "Type");
  RegCloseKey(key);
  LoadProfile();
  EXPECT_EQ(sessionState.outputFormat, RingtoneAmr);
}

TEST_F(ProfileStore, HostileValuesNeverOverflowOrCorrupt) {
  HKEY key = CreateProfileKey();
  const std::string huge(5000, '7');
  SetRaw(key, "Number", REG_SZ, huge.c_str(), huge.size() + 1);
  SetRaw(key, "Version", REG_DWORD, "\x01\x00\x00\x00", 4);
  SetRaw(key, "Type", REG_SZ, "3", 2);
  SetRaw(key, "Carrier", REG_BINARY, "\x05\x00\x00\x00", 4);
  SetRaw(key, "Phone", REG_DWORD, "\x05\x00", 2);
  SetRaw(key, "wallpaperType", REG_DWORD, "\x09\x00\x00\x00", 4);  // no such format
  SetRaw(key, "wallpaperWidth", REG_QWORD, "\x05\x00\x00\x00\x00\x00\x00\x00", 8);
  SetDwordValue(key, "wallpaperHeight", 240);  // one good value among the bad ones
  RegCloseKey(key);

  std::strcpy(userProfile.phoneNumber, "1112223333");
  std::strcpy(userProfile.versionText, "keep");
  LoadProfile();
  EXPECT_STREQ(userProfile.phoneNumber, "1112223333");
  EXPECT_STREQ(userProfile.versionText, "keep");
  EXPECT_EQ(sessionState.outputFormat, RingtoneAmr);
  EXPECT_EQ(userProfile.carrierId, 0);
  EXPECT_EQ(userProfile.phoneId, 0);
  EXPECT_EQ(userProfile.wallpaperType, WallpaperJpg);
  EXPECT_EQ(userProfile.wallpaperWidth, 1);
  EXPECT_EQ(userProfile.wallpaperHeight, 240);

  // Text lengths at the edge of the field; a stored text need not carry its NUL.
  key = OpenProfileKey();
  const std::string longest(UserProfile::PhoneNumberCapacity - 1, '4');
  SetRaw(key, "Number", REG_EXPAND_SZ, longest.c_str(), longest.size() + 1);
  SetRaw(key, "Version", REG_SZ, "3.5", 3);
  SetDwordValue(key, "Type", 99);
  RegCloseKey(key);
  LoadProfile();
  EXPECT_EQ(std::string(userProfile.phoneNumber), longest);
  EXPECT_STREQ(userProfile.versionText, "3.5");
  EXPECT_EQ(sessionState.outputFormat, RingtoneAmr);

  key = OpenProfileKey();
  const std::string tooLong(UserProfile::PhoneNumberCapacity, '5');
  SetRaw(key, "Number", REG_SZ, tooLong.c_str(), tooLong.size());  // fits bytes, not the NUL
  RegCloseKey(key);
  LoadProfile();
  EXPECT_EQ(std::string(userProfile.phoneNumber), longest);
}

TEST_F(ProfileStore, KeyThatCannotBeCreatedShowsOneBox) {
  FillDistinctFields();
  failKeyCreation = true;
  const std::vector<std::string> boxes = AnswerBoxes(SaveProfile);
  EXPECT_EQ(boxes, std::vector<std::string>{"Could not create the registry key.|ERROR"});
  EXPECT_TRUE(writes.empty());
  EXPECT_FALSE(ProfileKeyExists());
}
