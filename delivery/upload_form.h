// The form that one upload sends: text fields and local files, posted as multipart/form-data.
#pragma once
#include <string>
#include <vector>

struct FormFile {
  std::string name;         // the part's field name
  std::string localPath;    // sent as the part's filename, exactly as given
  std::string contentType;  // sent as it is
  std::string openPath;     // where the bytes are read from; empty means localPath

  const std::string& PathToOpen() const { return openPath.empty() ? localPath : openPath; }
};

struct FormField {
  std::string name;
  std::string value;
};

struct UploadForm {
  std::string host;  // server host name; empty until a URL is accepted
  std::string path;  // URL path, starting with "/"
  std::vector<FormFile> files;    // in the order added
  std::vector<FormField> fields;  // in the order added

  // Appends a file part. `openPath`, when given, is read instead of `localPath` (so that a
  // change of the process's current folder cannot swap the file under the upload).
  void AddFile(const std::string& name, const std::string& localPath,
               const std::string& contentType, const std::string& openPath = std::string());
  void AddField(const std::string& name, const std::string& value);
};
