#pragma once

// Copies `source` byte for byte into `destination` (created anew); true when the copy ran to
// the end.
bool CopyWavFile(const char* source, const char* destination);
