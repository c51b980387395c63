// The multipart poster: sends one UploadForm as a single HTTP POST of type
// multipart/form-data through WinINet, streaming the files from disk, then reads and judges
// the server's reply. Blocking; runs on the upload worker's thread.
#pragma once
#include <cstdint>

#include "delivery/upload_form.h"
#include "delivery/upload_outcome.h"

struct PostResult {
  int32_t statusCode = -1;  // the reply's HTTP status; -1 until one is known
  ReplySummary reply;       // what the judged reply did
};

// Splits an absolute URL with the platform's URL cracker and takes its host and path. Refuses
// (false, form unchanged) unless the scheme is exactly "http", the port is 80 (given or
// implied) and there is no user name, password, query or fragment.
bool SetUrl(UploadForm& form, const char* url);

// Sends the form to form.host, port 80, form.path, with the system's proxy settings. Returns
// 0 when the request went out and its reply was read and judged (the reply may have shown a
// box or opened the browser); otherwise a failure code from the thread's last error, with
// nothing shown. A reply without an HTTP status (the connection dropped, or the server did not
// answer within the timeout) is a failure. The same file measurement fixes the announced
// length and the bytes sent: a file that cannot be measured fails the post before anything
// goes out, and a file that changes size meanwhile fails it rather than sending a body that
// disagrees with its length.
int32_t Post(const UploadForm& form, PostResult& result);

// The connect, send and receive timeout of an upload, in milliseconds: QV_UPLOAD_TIMEOUT_MS
// from the environment if it holds a valid number, else 60 seconds. Read once per process.
uint32_t UploadTimeoutMs();
