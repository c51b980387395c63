#include "delivery/reply_judging.h"

#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "delivery/reply_verdict.h"
#include "session/session_state.h"

namespace {

void OpenInBrowser(const char* url) {
  ShellExecuteA(nullptr, "open", url, "", "c:\\", SW_SHOWNORMAL);
}

// Largest piece read at once; a piece is what the platform has ready, usually far less.
constexpr uint32_t MaxReplyPiece = 65536;

}  // namespace

UserNotices userNotices = {ShowMessage, OpenInBrowser};

void JudgeReply(const char* text, ReplySummary* summary) {
  ReplySummary ignored;
  ReplySummary& seen = summary ? *summary : ignored;
  ReplyVerdict verdict = ClassifyReply(text ? std::string_view(text) : std::string_view());
  switch (verdict.kind) {
    case ReplyKind::Success:
      if (seen.sawSuccess) return;
      seen.sawSuccess = true;
      userNotices.showMessage(UploadSuccessText, UploadSuccessCaption);
      return;
    case ReplyKind::Error:
      if (seen.sawError) return;
      seen.sawError = true;
      userNotices.showMessage(UploadErrorText, UploadErrorCaption);
      return;
    case ReplyKind::OpenUrl:
      if (seen.openedUrl) return;
      seen.openedUrl = true;
      userNotices.openUrl(verdict.url.c_str());
      return;
    case ReplyKind::Nothing:
      return;
  }
}

int32_t ReadAndJudgeReply(HINTERNET request, ReplySummary* summary) {
  std::vector<char> piece;
  uint32_t total = 0;
  while (total < MaxReplyBytes) {
    DWORD available = 0;
    if (!InternetQueryDataAvailable(request, &available, 0, 0)) return 0;
    DWORD want = std::min<DWORD>({available, MaxReplyPiece, MaxReplyBytes - total});
    piece.assign(static_cast<size_t>(want) + 1, '\0');
    DWORD got = 0;
    if (!InternetReadFile(request, piece.data(), want, &got))
      return FailureCodeFromError(GetLastError());
    if (got == 0) return 0;
    got = std::min(got, want);
    total += got;
    std::string text(ReplyText(piece.data(), got));
    JudgeReply(text.c_str(), summary);
  }
  return 0;
}

bool IsOfflineMode() {
  DWORD state = 0;
  DWORD size = sizeof state;
  BOOL ok = InternetQueryOptionA(nullptr, INTERNET_OPTION_CONNECTED_STATE, &state, &size);
  return IsOfflineState(ok != FALSE && size == sizeof state, state);
}
