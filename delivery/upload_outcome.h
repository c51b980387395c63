// How an upload ended, from the poster's result code, the HTTP status and what the reply said.
#pragma once
#include <cstdint>

// Failure code of a post whose cause the platform did not name (E_FAIL).
constexpr int32_t PostFailedUnnamed = static_cast<int32_t>(0x80004005u);

// The poster's failure code for the thread's last error E: 0x80070000 combined with the low
// 16 bits of E when E is not 0. A failure with no error number still yields a failure code
// (PostFailedUnnamed), never 0, which means success.
int32_t FailureCodeFromError(uint32_t lastError);

// What the judged pieces of one reply did.
struct ReplySummary {
  bool sawSuccess = false;  // the success box was shown
  bool sawError = false;    // the service's error box was shown
  bool openedUrl = false;   // a web address was opened
};

enum class UploadOutcome {
  Delivered,  // the service took the ringtone (or answered nothing we recognise with 2xx)
  Refused,    // the service answered "error"; the user has seen its box
  Failed,     // no usable answer: the user must still be told
};

// Post code 0 means the request went out and a reply came back. A reply with no status, or a
// non-2xx status whose text said nothing the program recognises, is a failure too.
UploadOutcome JudgeUploadOutcome(int32_t postCode, int32_t httpStatus, const ReplySummary& reply);

// The timeout, in milliseconds, for connecting, sending and receiving during an upload.
constexpr uint32_t DefaultUploadTimeoutMs = 60000;
// Reads a timeout in milliseconds written as decimal digits (1 to 3,600,000); anything else,
// or nothing, gives DefaultUploadTimeoutMs.
uint32_t UploadTimeoutFromText(const char* text);

// The platform's connected-state bit set when the user chose to work offline.
constexpr uint32_t DisconnectedByUserBit = 0x10;
// True when the connected-state query succeeded and reports offline by the user's choice.
constexpr bool IsOfflineState(bool querySucceeded, uint32_t state) {
  return querySucceeded && (state & DisconnectedByUserBit) != 0;
}
