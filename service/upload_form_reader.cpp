#include "service/upload_form_reader.h"

#include <cctype>

namespace {

constexpr size_t PartHeaderMaxBytes = 1024;

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The value of parameter `name` in "type; a=1; b=\"2\"" (parameters follow the first ';'),
// without its quotes. A quoted value ends at the next quote: Quavella escapes nothing.
bool HeaderParameter(std::string_view header, std::string_view name, std::string_view& value) {
  size_t at = header.find(';');
  while (at != std::string_view::npos) {
    const size_t equals = header.find('=', at + 1);
    if (equals == std::string_view::npos) return false;
    const std::string_view key = Trim(header.substr(at + 1, equals - at - 1));
    size_t from = equals + 1;
    while (from < header.size() && (header[from] == ' ' || header[from] == '\t')) ++from;
    std::string_view found;
    if (from < header.size() && header[from] == '"') {
      const size_t close = header.find('"', from + 1);
      if (close == std::string_view::npos) return false;
      found = header.substr(from + 1, close - from - 1);
      at = header.find(';', close);
    } else {
      at = header.find(';', from);
      found = Trim(header.substr(from, at == std::string_view::npos ? at : at - from));
    }
    if (SameNoCase(key, name)) {
      value = found;
      return true;
    }
  }
  return false;
}

struct PartHead {
  std::string_view name;
  bool hasFileName = false;
  std::string_view fileName;
  bool hasType = false;
  std::string_view type;
};

// Reads the header lines of one part (up to the empty line). False when they are not
// "Content-Disposition: form-data; name=..." with an optional Content-Type.
bool ReadPartHead(std::string_view head, PartHead& part, std::string& problem) {
  bool disposition = false;
  while (!head.empty()) {
    const size_t end = head.find("\r\n");
    const std::string_view line = head.substr(0, end);
    head.remove_prefix(end == std::string_view::npos ? head.size() : end + 2);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      problem = "a part header line without a colon";
      return false;
    }
    const std::string_view key = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (SameNoCase(key, "Content-Disposition")) {
      if (disposition || !SameNoCase(Trim(value.substr(0, value.find(';'))), "form-data") ||
          !HeaderParameter(value, "name", part.name)) {
        problem = "a part without a form-data disposition and name";
        return false;
      }
      part.hasFileName = HeaderParameter(value, "filename", part.fileName);
      disposition = true;
    } else if (SameNoCase(key, "Content-Type")) {
      if (part.hasType) {
        problem = "a part with two content types";
        return false;
      }
      part.hasType = true;
      part.type = value;
    } else {
      problem = "a part header other than Content-Disposition and Content-Type";
      return false;
    }
  }
  if (!disposition) problem = "a part without a Content-Disposition";
  return disposition;
}

int FieldIndex(std::string_view name) {
  for (int i = 0; i < UploadFieldCount; ++i)
    if (name == UploadFieldNames[i]) return i;
  return -1;
}

}  // namespace

std::string_view MultipartBoundary(std::string_view contentType) {
  const std::string_view type = Trim(contentType.substr(0, contentType.find(';')));
  std::string_view boundary;
  if (!SameNoCase(type, "multipart/form-data") ||
      !HeaderParameter(contentType, "boundary", boundary) || boundary.empty() ||
      boundary.size() > 70)
    return {};
  return boundary;
}

bool ReadUploadForm(std::string_view contentType, std::string_view body,
                    UploadSubmission& submission, std::string& problem) {
  submission = UploadSubmission{};
  const std::string_view boundary = MultipartBoundary(contentType);
  if (boundary.empty()) {
    problem = "not multipart/form-data with a boundary";
    return false;
  }
  const std::string delimiter = "--" + std::string(boundary);
  const std::string nextDelimiter = "\r\n" + delimiter;
  if (body.substr(0, delimiter.size()) != delimiter) {
    problem = "the body does not start with the boundary";
    return false;
  }
  size_t at = delimiter.size();
  int part = 0;  // parts read so far: the fields by their order, then the file
  for (;;) {
    // After a delimiter: "--" closes the form, CRLF starts a part.
    if (body.substr(at, 2) == "--") {
      if (part <= UploadFieldCount) {
        problem = part < UploadFieldCount ? std::string("field \"") + UploadFieldNames[part] +
                                                "\" is missing"
                                          : "the file part is missing";
        return false;
      }
      return true;
    }
    if (body.substr(at, 2) != "\r\n") {
      problem = "a delimiter line with trailing bytes";
      return false;
    }
    at += 2;
    const size_t headEnd = body.find("\r\n\r\n", at);
    if (headEnd == std::string_view::npos || headEnd - at > PartHeaderMaxBytes) {
      problem = "a part header that does not end";
      return false;
    }
    PartHead head;
    // An empty header block ("\r\n\r\n" right away) still needs its disposition.
    if (!ReadPartHead(body.substr(at, headEnd - at), head, problem)) return false;
    const size_t contentAt = headEnd + 4;
    const size_t contentEnd = body.find(nextDelimiter, contentAt);
    if (contentEnd == std::string_view::npos) {
      problem = "a part that no delimiter ends (a cut body or another boundary)";
      return false;
    }
    const std::string_view content = body.substr(contentAt, contentEnd - contentAt);
    at = contentEnd + nextDelimiter.size();

    if (part == UploadFieldCount + 1) {
      problem = "a part after the file";
      return false;
    }
    const int index = FieldIndex(head.name);
    if (part < UploadFieldCount) {
      if (index != part) {
        if (index >= 0 && index < part) problem = "field \"" + std::string(head.name) + "\" is repeated";
        else if (index > part || head.name == UploadFilePartName)
          problem = std::string("field \"") + UploadFieldNames[part] + "\" is missing or out of order";
        else problem = "an unknown part";
        return false;
      }
      if (head.hasFileName || head.hasType) {
        problem = std::string("field \"") + UploadFieldNames[part] + "\" is sent as a file";
        return false;
      }
      if (content.size() > UploadFieldMaxBytes) {
        problem = std::string("field \"") + UploadFieldNames[part] + "\" is too long";
        return false;
      }
      submission.fields[part] = content;
    } else {
      if (head.name != UploadFilePartName) {
        problem = index >= 0 ? "field \"" + std::string(head.name) + "\" is repeated"
                             : "an unknown part where the file belongs";
        return false;
      }
      if (!head.hasFileName || !head.hasType) {
        problem = "the file part lacks its filename or type";
        return false;
      }
      submission.fileName = head.fileName;
      submission.typeWord = head.type;
      submission.ringtone = content;
    }
    ++part;
  }
}
