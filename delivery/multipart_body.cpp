#include "delivery/multipart_body.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char BoundaryLead[] = "---------------------------";
const char Crlf[] = "\r\n";

}  // namespace

std::string MakeBoundary(unsigned first, unsigned second, unsigned third) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04X%04X%04X", first & 0xFFFFu, second & 0xFFFFu,
                third & 0xFFFFu);
  return std::string(BoundaryLead) + digits;
}

std::string DrawBoundary() {
  // RAND_MAX is 32767 on Windows; the mask keeps other C libraries to the same range.
  unsigned a = static_cast<unsigned>(std::rand()) & 0x7FFFu;
  unsigned b = static_cast<unsigned>(std::rand()) & 0x7FFFu;
  unsigned c = static_cast<unsigned>(std::rand()) & 0x7FFFu;
  return MakeBoundary(a, b, c);
}

std::string FieldPartHeader(const std::string& boundary, const std::string& name) {
  return "--" + boundary + Crlf + "Content-Disposition: form-data; name=\"" + name + "\"" +
         Crlf + Crlf;
}

std::string FilePartHeader(const std::string& boundary, const FormFile& file) {
  return "--" + boundary + Crlf + "Content-Disposition: form-data; name=\"" + file.name +
         "\"; filename=\"" + file.localPath + "\"" + Crlf + "Content-Type: " + file.contentType +
         Crlf + Crlf;
}

std::string ClosingDelimiter(const std::string& boundary) {
  return "--" + boundary + "--" + Crlf;
}

std::vector<BodyPiece> PlanMultipartBody(const UploadForm& form, const std::string& boundary) {
  std::vector<BodyPiece> plan;
  plan.reserve(form.fields.size() * 3 + form.files.size() * 3 + 1);
  for (const FormField& field : form.fields) {
    plan.push_back(BodyPiece{false, FieldPartHeader(boundary, field.name), 0});
    plan.push_back(BodyPiece{false, field.value, 0});
    plan.push_back(BodyPiece{false, Crlf, 0});
  }
  for (size_t i = 0; i < form.files.size(); ++i) {
    plan.push_back(BodyPiece{false, FilePartHeader(boundary, form.files[i]), 0});
    plan.push_back(BodyPiece{true, std::string(), i});
    plan.push_back(BodyPiece{false, Crlf, 0});
  }
  plan.push_back(BodyPiece{false, ClosingDelimiter(boundary), 0});
  return plan;
}

int64_t DeclaredBodyLength(std::span<const BodyPiece> plan, std::span<const int64_t> fileSizes) {
  int64_t total = 0;
  for (const BodyPiece& piece : plan) {
    if (piece.isFile) {
      if (piece.fileIndex >= fileSizes.size()) return -1;
      int64_t size = fileSizes[piece.fileIndex];
      if (size < 0 || size > 0xFFFFFFFFll) return -1;
      total += size;
    } else {
      total += static_cast<int64_t>(piece.bytes.size());
    }
    if (total > 0xFFFFFFFFll) return -1;
  }
  return total;
}
