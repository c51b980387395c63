// The editing options in HKEY_CURRENT_USER\Software\Quavella: "FadeInMs" and "FadeOutMs"
// (0, 500, 1000, 2000 or 3000), "Louder", "Loop" and "SuggestOnOpen" (0 or 1), all REG_DWORD.
#pragma once
#include "session/edit_options.h"

// Reads the five values. A missing value, or one that is not a REG_DWORD, means 0; any other
// number is read as the nearest allowed one.
EditOptions LoadEditOptions();
// Writes the five values (creating the key). False when the key cannot be written.
bool SaveEditOptions(const EditOptions& options);
