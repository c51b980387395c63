#include "app/upload_worker.h"

#include <commctrl.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "app/worker_threads.h"
#include "delivery/reply_judging.h"
#include "delivery/upload_fields.h"
#include "delivery/upload_request.h"
#include "session/file_size.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"
#include "session/user_profile.h"

namespace {

const char RingtoneTooLarge[] =
    "Sorry,ringtones greater than 100KB are not \nallowed for compatibility reasons. Please "
    "choose a shorter clip\n size and convert again, and then click upload:\n Current Clip "
    "Size: %dKB";

// The ringtone file of `format` in the working folder; empty for an unknown format.
std::string RingtonePath(int32_t format) {
  const char* name = RingtoneFileName(format);
  return name == nullptr ? std::string() : WorkingFilePath(name);
}

int32_t RingtoneKilobytes(int32_t format) {
  std::string path = RingtonePath(format);
  return path.empty() ? 0 : KilobytesOf(FileSizeBytes(path.c_str()));
}

// A profile text copied up to its first NUL or the end of its buffer.
template <size_t N>
std::string ProfileText(const char (&text)[N]) {
  size_t n = 0;
  while (n < N && text[n] != '\0') ++n;
  return std::string(text, n);
}

void EndUpload() {
  sessionState.uploadBusy = false;
  EnableWindow(sessionState.uploadButton, TRUE);
}

const char UploadNotStarted[] = "Sorry, Quavella could not start the upload. Please try again.";

}  // namespace

DWORD WINAPI ProgressAnimator(LPVOID) {
  HWND bar = sessionState.progressBar;
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(1, 50));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  while (sessionState.uploadBusy && !StopRequested()) {
    SendMessageA(bar, PBM_STEPIT, 0, 0);
    Sleep(10);
  }
  FillProgressBar();
  return 0;
}

DWORD WINAPI UploadWorker(LPVOID) {
  SessionState& s = sessionState;
  HWND bar = s.progressBar;
  SendMessageA(bar, PBM_SETRANGE, 0, MAKELPARAM(1, 3));
  SendMessageA(bar, PBM_SETSTEP, 1, 0);
  SendMessageA(bar, PBM_STEPIT, 0, 0);

  std::srand(static_cast<unsigned>(std::time(nullptr)));
  std::string remoteName = RemoteFileName(std::rand() & 0x7FFF);

  s.sourceTitle[sizeof s.sourceTitle - 1] = '\0';
  SpacesToUnderscores(s.sourceTitle);

  if (IsOfflineMode()) InternetGoOnline(const_cast<char*>(ServiceHomeAddress), s.mainWindow, 0);

  int32_t format = s.outputFormat;
  // The phones of today: the length rule over the file's own duration.
  const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(format);
  if (facts && facts->maxSeconds > 0 &&
      RingtoneTooLong(format, RingtoneFileDurationMs(format, RingtonePath(format).c_str()))) {
    SetConverted(false);
    userNotices.showMessage(TooLongMessage(format).c_str(), "Warning");
    EndUpload();
    return 0;
  }
  int32_t kilobytes =
      format == RingtoneMmf || (facts && facts->maxSeconds > 0) ? 0 : RingtoneKilobytes(format);
  if (kilobytes > RingtoneKilobyteLimit) {
    SetConverted(false);
    char text[sizeof RingtoneTooLarge + 16];
    std::snprintf(text, sizeof text, RingtoneTooLarge, kilobytes);
    userNotices.showMessage(text, "Warning");
    EndUpload();
    return 0;
  }

  EnterStartDirectory();

  char sizeText[24];
  std::snprintf(sizeText, sizeof sizeText, "%dKB", RingtoneKilobytes(format));
  SetWindowTextA(s.sizeEdit, sizeText);
  if (s.mainWindow) InvalidateRect(s.mainWindow, nullptr, TRUE);

  std::string phone = ProfileText(userProfile.phoneNumber);
  std::string version = ProfileText(userProfile.versionText);
  bool delivered = BuildAndSendUpload(remoteName.c_str(), phone.c_str(), s.sourceTitle, bar,
                                      userProfile.carrierId, userProfile.phoneId,
                                      version.c_str(), format);

  // A failed or refused upload has told the user so, and must not look uploaded.
  s.uploaded = delivered;
  if (s.mainWindow) InvalidateRect(s.mainWindow, nullptr, FALSE);
  s.uploadBusy = false;
  FillProgressBar();
  EnableWindow(s.uploadButton, TRUE);
  return 0;
}

bool StartUpload(WorkerThreads& threads) {
  SessionState& s = sessionState;
  EnableWindow(s.uploadButton, FALSE);
  s.uploadBusy = true;
  if (!threads.Start(UploadWorker)) {
    EndUpload();
    userNotices.showMessage(UploadNotStarted, "Warning");
    return false;
  }
  threads.Start(ProgressAnimator);  // without it the bar only stands still
  return true;
}
