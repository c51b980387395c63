// The user profile in the registry: HKEY_LOCAL_MACHINE "SOFTWARE\Quavella", thirteen values.
// The key's existence is what marks, for the whole program, that a profile exists.
#pragma once

constexpr char ProfileKeyPath[] = "SOFTWARE\\Quavella";

// Reads the profile into userProfile and sessionState.outputFormat. On the first run (no key)
// shows the profile dialog owned by the main window and saves when it gave a 10-character
// number. Values that are missing, of another type or too large leave their fields unchanged.
void LoadProfile();
// Creates or opens the key and writes all thirteen values in their fixed order; each failure
// shows its own box and the remaining values are still written.
void SaveProfile();
// True when the profile key can be opened for reading.
bool ProfileKeyExists();
