#include "service/upload_checks.h"

#include <span>

#include "formats/ringtone_formats.h"
#include "session/ringtone_format.h"

namespace {

const CarrierEntry* CarrierById(const PhoneCatalog& catalog, int32_t id) {
  for (int i = 0; i < catalog.CarrierCount(); ++i)
    if (catalog.CarrierAt(i).id == id) return &catalog.CarrierAt(i);
  return nullptr;
}

const PhoneEntry* PhoneById(const PhoneCatalog& catalog, int32_t id) {
  for (int i = 0; i < catalog.PhoneCount(); ++i)
    if (catalog.PhoneAt(i).id == id) return &catalog.PhoneAt(i);
  return nullptr;
}

}  // namespace

const char* UploadRefusalName(UploadRefusal refusal) {
  switch (refusal) {
    case UploadRefusal::None: return "none";
    case UploadRefusal::TooLarge: return "too_large";
    case UploadRefusal::Form: return "form";
    case UploadRefusal::Number: return "number";
    case UploadRefusal::Carrier: return "carrier";
    case UploadRefusal::Phone: return "phone";
    case UploadRefusal::TypeWord: return "type_word";
    case UploadRefusal::FileSize: return "file_size";
    case UploadRefusal::RingtoneSize: return "ringtone_size";
    case UploadRefusal::Bytes: return "bytes";
    case UploadRefusal::RateLimit: return "rate_limit";
    case UploadRefusal::Store: return "store";
    case UploadRefusal::Timeout: return "timeout";
    case UploadRefusal::Busy: return "busy";
  }
  return "none";
}

int UploadRefusalStatus(UploadRefusal refusal) {
  switch (refusal) {
    case UploadRefusal::TooLarge: return 413;
    case UploadRefusal::RateLimit: return 429;
    case UploadRefusal::Store: return 503;
    case UploadRefusal::Busy: return 503;
    case UploadRefusal::Timeout: return 408;
    default: return 400;
  }
}

bool ReadDecimal32(std::string_view text, int32_t& value) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return false;
  int64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (negative) v = -v;
  if (v < INT32_MIN || v > INT32_MAX) return false;
  value = static_cast<int32_t>(v);
  return true;
}

bool RingtoneBytesAre(int32_t format, std::string_view bytes) {
  const std::span<const uint8_t> file(reinterpret_cast<const uint8_t*>(bytes.data()),
                                      bytes.size());
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  return facts && facts->check(file) > 0;
}

UploadRefusal CheckUpload(const UploadSubmission& submission, const PhoneCatalog& catalog,
                          AcceptedUpload& accepted, std::string& problem) {
  accepted = AcceptedUpload{};
  const std::string_view number = submission.fields[UploadSms];
  if (number.size() != 10 || number.find_first_not_of("0123456789") != std::string_view::npos) {
    problem = "the phone number is not 10 digits";
    return UploadRefusal::Number;
  }
  int32_t carrierId = 0, phoneId = 0;
  if (!ReadDecimal32(submission.fields[UploadCarrierIndex], carrierId) ||
      !(accepted.carrier = CarrierById(catalog, carrierId))) {
    problem = "carrier_index names no carrier of the catalogue";
    return UploadRefusal::Carrier;
  }
  if (!ReadDecimal32(submission.fields[UploadPhoneId], phoneId) ||
      !(accepted.phone = PhoneById(catalog, phoneId))) {
    problem = "phone_id names no phone of the catalogue";
    return UploadRefusal::Phone;
  }
  if (submission.typeWord != accepted.phone->formatWord ||
      !RingtoneFormatFromWord(accepted.phone->formatWord, &accepted.format)) {
    problem = "the type word is not the phone's format \"" +
              std::string(accepted.phone->formatWord) + "\"";
    return UploadRefusal::TypeWord;
  }
  const std::string_view declared = submission.fields[UploadFileSize];
  if (declared.empty() || declared.size() > 10 ||
      declared.find_first_not_of("0123456789") != std::string_view::npos ||
      std::stoull(std::string(declared)) != submission.ringtone.size()) {
    problem = "file_size differs from the bytes received";
    return UploadRefusal::FileSize;
  }
  // The phones of today take a ringtone by its length (the file's own), the others by size.
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(accepted.format);
  const bool lengthRule = facts && facts->maxSeconds > 0;
  if (submission.ringtone.size() > 0x7FFFFFFF ||
      (!lengthRule &&
       KilobytesOf(static_cast<int32_t>(submission.ringtone.size())) > RingtoneKilobyteLimit)) {
    problem = "the ringtone has more than 100 kilobytes";
    return UploadRefusal::RingtoneSize;
  }
  if (!RingtoneBytesAre(accepted.format, submission.ringtone)) {
    problem = "the bytes are not a " + std::string(accepted.phone->formatWord) + " file";
    return UploadRefusal::Bytes;
  }
  if (lengthRule) {
    const std::span<const uint8_t> file(
        reinterpret_cast<const uint8_t*>(submission.ringtone.data()), submission.ringtone.size());
    if (RingtoneTooLong(accepted.format, facts->duration(file))) {
      problem = TooLongMessage(accepted.format);
      return UploadRefusal::RingtoneSize;
    }
  }
  return UploadRefusal::None;
}
