// The two file operations of the QCP library, on plain file names: converting a PCM WAV file
// into a QCP file, and checking that a file is a well-formed QCP file.
#pragma once

#include "encoders/ringq/qcelp_encoder.h"

enum RingqResult : int {
  RingqOk = 0,
  RingqBadArguments = 1,       // a missing file name
  RingqCannotReadSource = 2,   // the source cannot be opened or read
  RingqBadSource = 3,          // not 8000 Hz mono 16-bit PCM WAV, empty or truncated
  RingqCannotWrite = 4,        // the destination cannot be written (nothing is left behind)
  RingqOutOfMemory = 5,
};

// Largest source accepted (about 70 minutes of 8 kHz audio, far beyond any ringtone):
// bigger files are refused rather than read into memory.
constexpr long long RingqMaxSourceBytes = 64ll * 1024 * 1024;

// Encodes `sourcePath` into `destinationPath`. When the source is refused or unreadable no
// destination file is created and an existing one is left as it was; on success it is
// replaced. Never throws.
int ConvertWavFileToQcp(const char* sourcePath, const char* destinationPath,
                        const QcelpEncoderOptions& options = {});

// Packets in the QCP file at `path`, or -1 when it cannot be read or is not a QCELP-13K QCP.
// Never throws.
long CheckQcpPath(const char* path);
