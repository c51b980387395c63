// The profile lives under HKEY_LOCAL_MACHINE, one per machine. A user without the right to
// write there keeps working on Windows because the program declares no execution level in its
// manifest: the system then treats it as a legacy program and redirects its writes (and merges
// its reads) into that user's VirtualStore. Declaring an execution level would end that
// redirection and every save would fail with the boxes below.
#include "profile/profile_store.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "profile/profile_dialog.h"
#include "session/registry_key.h"
#include "session/session_state.h"
#include "session/user_profile.h"

namespace {

// A text value (REG_SZ or REG_EXPAND_SZ, never expanded) whose text fits the field with its
// NUL; anything else leaves the field as it was.
void ReadText(HKEY key, const char* name, char* field, size_t capacity) {
  std::vector<char> buffer(capacity + 1, '\0');
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(capacity);
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) != ERROR_SUCCESS)
    return;
  if ((type != REG_SZ && type != REG_EXPAND_SZ) || size > capacity) return;
  buffer[size] = '\0';  // a stored text need not end with its NUL
  const size_t length = std::strlen(buffer.data());
  if (length >= capacity) return;
  std::memcpy(field, buffer.data(), length + 1);
}

// A REG_DWORD of exactly four bytes; with `low`..`high` given, only a value in that range.
void ReadDword(HKEY key, const char* name, int32_t* field, int32_t low = INT32_MIN,
               int32_t high = INT32_MAX) {
  DWORD data = 0;
  if (!ReadRegistryDword(key, name, &data)) return;
  const int32_t value = static_cast<int32_t>(data);
  if (value < low || value > high) return;
  *field = value;
}

void FailureBox(const char* title) { ShowMessage("ERROR", title); }

void WriteText(HKEY key, const char* name, const char* text, size_t capacity) {
  const size_t length = strnlen(text, capacity - 1);
  std::vector<char> data(text, text + length);
  data.push_back('\0');
  if (RegSetValueExA(key, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(data.data()),
                     static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
    FailureBox("Could not set the event message file.");
}

void WriteDword(HKEY key, const char* name, int32_t value) {
  const DWORD data = static_cast<DWORD>(value);
  if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                     sizeof data) != ERROR_SUCCESS)
    FailureBox("Could not set the supported types.");
}

}  // namespace

bool ProfileKeyExists() {
  RegistryKey key;
  return RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProfileKeyPath, 0, KEY_READ, key.put()) ==
         ERROR_SUCCESS;
}

void LoadProfile() {
  {
    RegistryKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ProfileKeyPath, 0, KEY_READ, key.put()) ==
        ERROR_SUCCESS) {
      UserProfile& p = userProfile;
      ReadText(key.get(), "Number", p.phoneNumber, sizeof p.phoneNumber);
      ReadText(key.get(), "Version", p.versionText, sizeof p.versionText);
      // A format outside the known ones would leave the conversion without an encoder.
      ReadDword(key.get(), "Type", &sessionState.outputFormat, RingtoneQcp,
                RingtoneFormatCount - 1);
      ReadDword(key.get(), "Carrier", &p.carrierId);
      ReadDword(key.get(), "Phone", &p.phoneId);
      ReadDword(key.get(), "wallpaperType", &p.wallpaperType, WallpaperBmp, WallpaperGif);
      ReadDword(key.get(), "wallpaperWidth", &p.wallpaperWidth);
      ReadDword(key.get(), "wallpaperHeight", &p.wallpaperHeight);
      ReadDword(key.get(), "wallpaperSupport", &p.wallpaperSupport);
      ReadDword(key.get(), "carrierItemNumber", &p.carrierItemNumber);
      ReadDword(key.get(), "phoneItemNumber", &p.phoneItemNumber);
      return;
    }
  }
  // First run: the dialog either fills the profile or, when cancelled, ends the program.
  RunProfileDialog(sessionState.mainWindow);
  if (std::strlen(userProfile.phoneNumber) != 10) return;
  SaveProfile();
}

void SaveProfile() {
  RegistryKey key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ProfileKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    // Without the key no value can be written; one box says so.
    FailureBox("Could not create the registry key.");
    return;
  }
  const UserProfile& p = userProfile;
  HKEY k = key.get();
  WriteText(k, "Number", p.phoneNumber, sizeof p.phoneNumber);
  WriteText(k, "Version", p.versionText, sizeof p.versionText);
  WriteDword(k, "TypesSupported", 7);
  WriteDword(k, "Type", sessionState.outputFormat);
  WriteDword(k, "Carrier", p.carrierId);
  WriteDword(k, "Phone", p.phoneId);
  WriteDword(k, "Serial", 0);
  WriteDword(k, "wallpaperType", p.wallpaperType);
  WriteDword(k, "wallpaperWidth", p.wallpaperWidth);
  WriteDword(k, "wallpaperHeight", p.wallpaperHeight);
  WriteDword(k, "wallpaperSupport", p.wallpaperSupport);
  WriteDword(k, "carrierItemNumber", p.carrierItemNumber);
  WriteDword(k, "phoneItemNumber", p.phoneItemNumber);
}
