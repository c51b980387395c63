// Resources of type "BINARY" compiled into a module (the phone catalogue).
#pragma once
#include <windows.h>

#include <cstddef>

// Finds the "BINARY" resource with numeric id `id` in the program's own module. On success
// *bytes and *size describe its read-only bytes, which stay valid for the life of the process
// and are never freed; false when the resource is absent, cannot be loaded or is empty.
bool LoadBinaryResource(int id, const char** bytes, size_t* size);
// The same in another module, e.g. one loaded as a data file.
bool LoadBinaryResourceFrom(HMODULE module, int id, const char** bytes, size_t* size);
