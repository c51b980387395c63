#pragma once

// Copies `source` byte for byte into `destination` (created anew). False when `destination`
// could not be created or a write to it failed; a source that cannot be opened or read is
// copied as far as it reads (true), for the loader to judge.
bool CopyWavFile(const char* source, const char* destination);
