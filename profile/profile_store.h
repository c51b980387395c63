#pragma once

// Loads the profile from the registry; on the first run shows the profile dialog and saves.
void LoadProfile();
// Writes all thirteen profile values.
void SaveProfile();
