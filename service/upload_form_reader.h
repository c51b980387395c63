// Reads the body of an upload: the multipart/form-data form that Quavella posts, the eight
// text fields in their order and then the ringtone file. Everything it returns points into
// the body, which must outlive it. Bounded by the body: it never reads outside it.
#pragma once
#include <string>
#include <string_view>

#include "delivery/upload_fields.h"

// A text field longer than this is refused (Quavella's longest, the song title, is a file name).
constexpr size_t UploadFieldMaxBytes = 1024;

struct UploadSubmission {
  std::string_view fields[UploadFieldCount];  // by UploadFieldIndex
  std::string_view fileName;                  // the file part's filename
  std::string_view typeWord;                  // the file part's Content-Type
  std::string_view ringtone;                  // the file's bytes
};

// The boundary of a "multipart/form-data; boundary=..." Content-Type (type and parameter name
// in any letter case, the value quoted or not). Empty when the type is another one or the
// boundary is missing, empty or longer than 70 characters.
std::string_view MultipartBoundary(std::string_view contentType);

// Reads `body` under `contentType`. True when it is exactly the upload form: every part
// starts at a delimiter line, the eight fields come first in their order, each once, each a
// plain field of at most UploadFieldMaxBytes, then the file part with a filename and a
// Content-Type, then the closing delimiter (what follows it is ignored). Otherwise false, and
// `problem` says what was wrong in words fit for a log (never a field's value).
bool ReadUploadForm(std::string_view contentType, std::string_view body,
                    UploadSubmission& submission, std::string& problem);
