// The bytes of a multipart/form-data body: boundary, part headers, the order of the pieces
// and the length announced before the body is sent. The files themselves are streamed by
// the poster; here they are only placeholders with a size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "delivery/upload_form.h"

// Files are streamed in pieces of this many bytes.
constexpr size_t UploadChunkSize = 8192;
// 27 hyphens and 12 upper-case hexadecimal digits.
constexpr size_t BoundaryLength = 39;

// "---------------------------" followed by the three values as "%04X%04X%04X" (each value
// is taken modulo 0x10000, so the text is always BoundaryLength characters).
std::string MakeBoundary(unsigned first, unsigned second, unsigned third);
// A new boundary from three draws of the C library's pseudo-random generator (0..32767).
std::string DrawBoundary();

// "--B\r\nContent-Disposition: form-data; name=\"N\"\r\n\r\n"
std::string FieldPartHeader(const std::string& boundary, const std::string& name);
// "--B\r\nContent-Disposition: form-data; name=\"N\"; filename=\"P\"\r\nContent-Type: T\r\n\r\n"
std::string FilePartHeader(const std::string& boundary, const FormFile& file);
// "--B--\r\n"
std::string ClosingDelimiter(const std::string& boundary);

// One write of the body: literal bytes, or the whole content of form.files[fileIndex].
struct BodyPiece {
  bool isFile = false;
  std::string bytes;
  size_t fileIndex = 0;
};

// The body in write order: for each field its header, its value and CRLF; then for each
// file its header, its content and CRLF; then the closing delimiter. Fields always come
// before files, whatever the order they were added in.
std::vector<BodyPiece> PlanMultipartBody(const UploadForm& form, const std::string& boundary);

// Bytes the plan will send when file i has fileSizes[i] bytes. -1 when a size is missing or
// negative (a file that could not be measured), or the total does not fit 32 bits (the
// length the HTTP request can announce).
int64_t DeclaredBodyLength(std::span<const BodyPiece> plan, std::span<const int64_t> fileSizes);
