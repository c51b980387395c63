// The upload request: turns the converted ringtone and the user's profile into one multipart
// POST to the service and tells the user how it went.
#pragma once
#include <windows.h>

#include <cstdint>

// Sends the ringtone file of `format` (read from the current folder) with the eight text
// fields, then steps `progress` once. `songTitle` is cleaned in place (space, "&", "?", "+"
// become "_"). Returns true when the service took the ringtone. When the post fails (no
// connection, dropped or unanswered request, a non-2xx reply that says nothing) the user is
// told with the service's own error box; an "error" reply has shown that box already. A
// format outside the known five uploads nothing and is reported the same way.
bool BuildAndSendUpload(const char* fileName, const char* phoneNumber, char* songTitle,
                        HWND progress, int32_t carrierId, int32_t phoneId, const char* version,
                        int32_t format);
