// The WAV branch of the import worker.
#pragma once
#include <windows.h>

#include <string>

// Turns the WAV file `source` into `destination`: a file the working audio takes as it is (and
// a damaged one, which the loader then refuses with its own messages) is copied byte for byte;
// any other PCM or floating-point file is converted to 16-bit PCM in the chunked layout,
// moving `progressBar` and stopping at ImportByteLimit with the truncation warning. Returns 1
// when d.wav was written; 0 without writing anything when the file cannot be imported
// (`refusal` then holds the message that says why); ImportWriteFailed when d.wav could not be
// created or written whole.
int ImportWavFile(const char* source, const char* destination, HWND progressBar,
                  std::string* refusal);

