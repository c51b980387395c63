// Reading the service's answer to an upload and telling the user what it means; the
// system's offline state.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <cstdint>

#include "delivery/upload_outcome.h"

// How the program reaches the user. The defaults show a modal box with no owner and an OK
// button, and hand a web address to the shell; tests put recorders in their place.
struct UserNotices {
  void (*showMessage)(const char* text, const char* caption);
  void (*openUrl)(const char* url);
};
extern UserNotices userNotices;

// Judges one piece of the reply and reacts: the success or error box, or the browser on an
// http(s) address. With a summary, a reaction already had in this reply is not repeated.
void JudgeReply(const char* text, ReplySummary* summary = nullptr);

// Reads the reply body piece by piece (as much as the platform has at each moment) and
// judges each piece on its own. Returns 0, or a failure code when a read fails. Stops after
// MaxReplyBytes, so an endless reply cannot hold the upload forever.
constexpr uint32_t MaxReplyBytes = 1 << 20;
int32_t ReadAndJudgeReply(HINTERNET request, ReplySummary* summary);

// True when the system reports that the user chose to work offline.
bool IsOfflineMode();
