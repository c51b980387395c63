// The checks an upload must pass before it is kept: the phone number, the carrier and phone of
// the catalogue, the type word of that phone's format, the declared size, the program's size
// rule and the bytes themselves, each read by the project's reader of that format.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "profile/phone_catalog.h"
#include "service/upload_form_reader.h"

// Why an upload was refused; the names label the refusal counter of the metrics.
enum class UploadRefusal {
  None,
  TooLarge,      // the body passes the limit of the upload endpoint
  Form,          // not the form Quavella sends
  Number,        // "sms" is not exactly 10 digits
  Carrier,       // "carrier_index" names no carrier of the catalogue
  Phone,         // "phone_id" names no phone of the catalogue
  TypeWord,      // the type word is not the phone's ringtone format
  FileSize,      // "file_size" differs from the bytes received
  RingtoneSize,  // more than RingtoneKilobyteLimit kilobytes
  Bytes,         // the bytes are not a file of that format
  RateLimit,     // too many uploads for this number or address in the last hour
  Store,         // the store could not keep it
  Timeout,       // the request did not arrive whole within its deadline
  Busy,          // the memory for bodies in flight is spoken for
};
inline constexpr int UploadRefusalCount = 14;

// "too_large", "form", "number", "carrier", "phone", "type_word", "file_size",
// "ringtone_size", "bytes", "rate_limit", "store", "timeout", "busy"; "none" for None.
const char* UploadRefusalName(UploadRefusal refusal);
// 413 for TooLarge, 429 for RateLimit, 503 for Store and Busy, 408 for Timeout, 400 for the
// rest.
int UploadRefusalStatus(UploadRefusal refusal);

// The whole body of the upload endpoint is at most this many bytes.
constexpr size_t UploadBodyMaxBytes = 1024 * 1024;

struct AcceptedUpload {
  const CarrierEntry* carrier = nullptr;
  const PhoneEntry* phone = nullptr;
  int32_t format = 0;  // RingtoneFormat
};

// Checks a form that ReadUploadForm has read. On a refusal `problem` says why in words fit
// for a log (never the phone number).
UploadRefusal CheckUpload(const UploadSubmission& submission, const PhoneCatalog& catalog,
                          AcceptedUpload& accepted, std::string& problem);

// True when `bytes` are a whole file of the RingtoneFormat `format` with at least one frame
// (or sample frame), as the format's reader sees it: AMR frames after "#!AMR\n", a QCP file,
// an MMF file with its CRC, MP3 frames after an optional ID3 tag, or a PCM WAV file.
bool RingtoneBytesAre(int32_t format, std::string_view bytes);

// A decimal number as Quavella writes one ("%d"): an optional minus, then 1 to 10 digits,
// within 32 bits. False for anything else.
bool ReadDecimal32(std::string_view text, int32_t& value);
