// One open registry key, closed on every way out, and the one bounded read of a REG_DWORD.
#pragma once
#include <windows.h>

class RegistryKey {
 public:
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey() {
    if (key) RegCloseKey(key);
  }
  HKEY* Out() { return &key; }
  HKEY Get() const { return key; }

 private:
  HKEY key = nullptr;
};

// The value `name` when it is a REG_DWORD of exactly four bytes; false for anything else.
inline bool ReadRegistryDword(HKEY key, const char* name, DWORD* value) {
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) !=
          ERROR_SUCCESS ||
      type != REG_DWORD || size != sizeof data)
    return false;
  *value = data;
  return true;
}
