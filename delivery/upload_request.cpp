#include "delivery/upload_request.h"

#include <commctrl.h>

#include <string>

#include "delivery/multipart_poster.h"
#include "delivery/reply_judging.h"
#include "delivery/reply_verdict.h"
#include "delivery/upload_fields.h"
#include "formats/utf8_text.h"
#include "session/file_size.h"

namespace {

std::string TextOf(const char* text) { return text ? std::string(text) : std::string(); }

// The full path of a file of the current folder, so that the bytes sent come from the folder
// that was current when the upload began.
std::string FullPathOf(const char* name) {
  const std::wstring wide = Widen(name);
  DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  std::wstring full(size, L'\0');
  DWORD n = size ? GetFullPathNameW(wide.c_str(), size, full.data(), nullptr) : 0;
  if (n == 0 || n >= size) return std::string(name);
  return Narrow(std::wstring_view(full.data(), n));
}

}  // namespace

bool BuildAndSendUpload(const char* fileName, const char* phoneNumber, char* songTitle,
                        HWND progress, int32_t carrierId, int32_t phoneId, const char* version,
                        int32_t format) {
  bool delivered = false;
  UploadFileKind kind;
  if (UploadFileOf(format, &kind)) {
    std::string openPath = FullPathOf(kind.localFile);
    UploadFields fields;
    fields.fileSize = FileSizeBytes(openPath.c_str());
    CleanSongTitle(songTitle);
    fields.phoneNumber = TextOf(phoneNumber);
    fields.remoteName = TextOf(fileName);
    fields.songTitle = TextOf(songTitle);
    fields.carrierId = carrierId;
    fields.phoneId = phoneId;
    fields.version = TextOf(version);

    UploadForm form;
    SetUrl(form, UploadUrl);
    FillUploadForm(form, kind, fields, openPath);
    PostResult result;
    int32_t code = Post(form, result);
    switch (JudgeUploadOutcome(code, result.statusCode, result.reply)) {
      case UploadOutcome::Delivered: delivered = true; break;
      case UploadOutcome::Refused: break;  // the reply's error box has been shown
      case UploadOutcome::Failed: userNotices.showMessage(UploadErrorText, UploadErrorCaption);
    }
  } else {
    userNotices.showMessage(UploadErrorText, UploadErrorCaption);
  }
  SendMessageA(progress, PBM_STEPIT, 0, 0);
  return delivered;
}
