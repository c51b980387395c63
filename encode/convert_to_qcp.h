#pragma once

// Converts `source` (a WAV file) into the QCP file `destination` through "ringq.dll" (or
// `libraryName`), checks that the result opens, and marks the session converted. Every
// failure shows its "Error" box and returns false; the library and its objects are released
// on every way out.
bool ConvertToQcp(const char* source, const char* destination,
                  const char* libraryName = "ringq.dll");
