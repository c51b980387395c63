// The one bounded read of a REG_DWORD; RegistryKey, the open key it reads, is in session/handles.h.
#pragma once
#include <windows.h>

#include "session/handles.h"

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
