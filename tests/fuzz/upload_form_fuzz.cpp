// The upload endpoint's parsing: the first line of the input is the Content-Type header, the
// rest the body. The form is read, checked against the shipped catalogue, and every format
// reader runs over the file part (or, when there is none, over the whole body).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "profile/catalogue_text.h"
#include "profile/phone_catalog.h"
#include "service/upload_checks.h"
#include "service/upload_form_reader.h"

namespace {

const PhoneCatalog& Catalog() {
  static PhoneCatalog catalog = [] {
    PhoneCatalog loaded;
    if (!loaded.Load(CatalogueText, CatalogueTextSize)) __builtin_trap();
    return loaded;
  }();
  return catalog;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t newline = input.find('\n');
  if (newline == std::string_view::npos) return 0;
  const std::string contentType(input.substr(0, newline));
  // Exactly sized copy, so that a read past the end is caught.
  const std::vector<char> body(input.begin() + static_cast<ptrdiff_t>(newline) + 1, input.end());
  const std::string_view bodyView(body.data(), body.size());

  UploadSubmission submission;
  std::string problem;
  std::string_view file = bodyView;
  if (ReadUploadForm(contentType, bodyView, submission, problem)) {
    for (std::string_view field : submission.fields)
      if (field.data() < body.data() || field.data() + field.size() > body.data() + body.size())
        __builtin_trap();
    file = submission.ringtone;
    AcceptedUpload accepted;
    if (CheckUpload(submission, Catalog(), accepted, problem) == UploadRefusal::None &&
        (!accepted.phone || !accepted.carrier))
      __builtin_trap();
  }
  const std::vector<char> fileCopy(file.begin(), file.end());
  for (int32_t format = 0; format < 5; ++format)
    RingtoneBytesAre(format, std::string_view(fileCopy.data(), fileCopy.size()));
  return 0;
}
