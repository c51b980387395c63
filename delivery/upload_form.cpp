#include "delivery/upload_form.h"

void UploadForm::AddFile(const std::string& name, const std::string& localPath,
                         const std::string& contentType, const std::string& openPath) {
  files.push_back(FormFile{name, localPath, contentType, openPath});
}

void UploadForm::AddField(const std::string& name, const std::string& value) {
  fields.push_back(FormField{name, value});
}
