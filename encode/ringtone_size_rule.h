// The 100 KB rule of a finished ringtone and the texts that report its size.
#pragma once
#include <cstdint>
#include <string>

// Kilobytes of a ringtone file of `fileBytes` (FileSizeBytes: -1 when missing): bytes / 1024
// toward zero, never below 0.
int32_t RingtoneKilobytes(int32_t fileBytes);
// More than 100 kilobytes: 103,424 bytes and up are refused, 103,423 still pass.
bool RingtoneTooLarge(int32_t kilobytes);
// The refusal shown with caption "Warning".
std::string OversizeMessage(int32_t kilobytes);
// The size box text: "37KB".
std::string SizeBoxText(int32_t kilobytes);
// What the user is told when an encoder left no ringtone file (or an empty one) behind;
// empty for a value outside the enumeration.
std::string EncoderFailureMessage(int32_t ringtoneFormat);
