// Text for a sound-device result code, as shown in the preview's error messages.
#pragma once
#include <cstdint>
#include <string>

// "<prefix> returned <NAME>\n" for the DirectDraw result codes and DSERR_UNINITIALIZED, or
// "<prefix> returned unknown code <decimal>\n" for any other code.
std::string DirectSoundErrorText(const char* prefix, int32_t code);

// The message box text: `format` (holding one "%s") with `text` in its place.
std::string FormatErrorMessage(const char* format, const std::string& text);
