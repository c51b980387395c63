#include "delivery/upload_fields.h"

#include "session/ringtone_format.h"

bool UploadFileOf(int32_t format, UploadFileKind* kind) {
  static const char* const TypeWords[] = {"qcp", "amr", "wav", "mp3", "mmf"};
  const char* file = RingtoneFileName(format);
  if (file == nullptr || kind == nullptr) return false;
  *kind = UploadFileKind{file, TypeWords[format]};
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
  form.AddFile("file_data", kind.localFile, kind.typeWord, openPath);
  form.AddField("sms", fields.phoneNumber);
  form.AddField("file_name", fields.remoteName);
  form.AddField("song_name", fields.songTitle);
  form.AddField("carrier_index", std::to_string(fields.carrierId));
  form.AddField("phone_id", std::to_string(fields.phoneId));
  form.AddField("version", fields.version);
  form.AddField("serial", std::to_string(0));
  form.AddField("file_size", std::to_string(fields.fileSize));
}
