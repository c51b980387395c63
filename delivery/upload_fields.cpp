#include "delivery/upload_fields.h"

#include "formats/ringtone_formats.h"

bool UploadFileOf(int32_t format, UploadFileKind* kind) {
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  if (facts == nullptr || kind == nullptr) return false;
  *kind = UploadFileKind{facts->workingFile, facts->typeWord};
  return true;
}

std::string RemoteFileName(int n) { return std::to_string(n) + ".mp3"; }

void SpacesToUnderscores(char* title) {
  if (title == nullptr) return;
  for (; *title; ++title)
    if (*title == ' ') *title = '_';
}

void CleanSongTitle(char* title) {
  if (title == nullptr) return;
  for (; *title; ++title) {
    char c = *title;
    if (c == ' ' || c == '&' || c == '?' || c == '+') *title = '_';
  }
}

void FillUploadForm(UploadForm& form, const UploadFileKind& kind, const UploadFields& fields,
                    const std::string& openPath) {
  form.AddFile(UploadFilePartName, kind.localFile, kind.typeWord, openPath);
  const std::string values[UploadFieldCount] = {
      fields.phoneNumber,           fields.remoteName,
      fields.songTitle,             std::to_string(fields.carrierId),
      std::to_string(fields.phoneId), fields.version,
      std::to_string(0),            std::to_string(fields.fileSize)};
  for (int i = 0; i < UploadFieldCount; ++i) form.AddField(UploadFieldNames[i], values[i]);
}
