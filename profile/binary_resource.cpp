#include "profile/binary_resource.h"

bool LoadBinaryResourceFrom(HMODULE module, int id, const char** bytes, size_t* size) {
  HRSRC info = FindResourceA(module, MAKEINTRESOURCEA(id), "BINARY");
  if (!info) return false;
  HGLOBAL loaded = LoadResource(module, info);
  if (!loaded) return false;
  const DWORD length = SizeofResource(module, info);
  if (length == 0) return false;
  const void* data = LockResource(loaded);
  if (!data) return false;
  *bytes = static_cast<const char*>(data);
  *size = length;
  return true;
}

bool LoadBinaryResource(int id, const char** bytes, size_t* size) {
  return LoadBinaryResourceFrom(GetModuleHandleA(nullptr), id, bytes, size);
}
