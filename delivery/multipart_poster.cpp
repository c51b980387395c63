#include "formats/utf8_text.h"
#include "delivery/multipart_poster.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "delivery/multipart_body.h"
#include "delivery/reply_judging.h"
#include "session/handles.h"

namespace {

const char PostAgent[] = "WinInetPost/0.2";
// RELOAD | KEEP_CONNECTION | NO_AUTO_REDIRECT | NO_COOKIES | NO_AUTH |
// IGNORE_REDIRECT_TO_HTTP | IGNORE_REDIRECT_TO_HTTPS | NO_UI
constexpr DWORD PostRequestFlags = 0x806CC200;
static_assert(PostRequestFlags ==
              (INTERNET_FLAG_RELOAD | INTERNET_FLAG_KEEP_CONNECTION |
               INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_AUTH |
               INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
               INTERNET_FLAG_NO_UI));
static_assert(sizeof(void*) != 4 || sizeof(INTERNET_BUFFERSA) == 40);
constexpr DWORD StatusAsNumber = HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER;
static_assert(StatusAsNumber == 0x20000013);

int32_t LastFailure() { return FailureCodeFromError(GetLastError()); }

HANDLE OpenForReading(const std::string& path) {
  return CreateFileW(Widen(path.c_str()).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Size of the file as the file system reports it now; -1 (and the last error set) if it
// cannot be opened or measured.
int64_t MeasureFile(const std::string& path) {
  FileHandle file(OpenForReading(path));
  if (!file) return -1;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return -1;
  return size.QuadPart;
}

bool WriteAll(HINTERNET request, const char* bytes, size_t count) {
  do {
    DWORD written = 0;
    DWORD piece = static_cast<DWORD>(std::min<size_t>(count, 0x7FFFFFFF));
    if (!InternetWriteFile(request, bytes, piece, &written)) return false;
    if (written == 0 && piece != 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    written = std::min<DWORD>(written, piece);
    bytes += written;
    count -= written;
  } while (count > 0);
  return true;
}

// Streams `expected` bytes of the file in UploadChunkSize pieces. The file must still have
// exactly the size measured for the announced length.
bool StreamFile(HINTERNET request, const std::string& path, int64_t expected) {
  FileHandle file(OpenForReading(path));
  if (!file) return false;
  std::vector<char> chunk(UploadChunkSize);
  int64_t sent = 0;
  while (true) {
    DWORD want = static_cast<DWORD>(std::min<int64_t>(UploadChunkSize, expected - sent));
    if (want == 0) want = 1;  // one more byte tells whether the file grew
    DWORD got = 0;
    if (!ReadFile(file.get(), chunk.data(), want, &got, nullptr)) return false;
    if (got == 0) break;
    if (sent + got > expected) {
      SetLastError(ERROR_FILE_INVALID);  // grew since it was measured
      return false;
    }
    if (!WriteAll(request, chunk.data(), got)) return false;
    sent += got;
  }
  if (sent != expected) {
    SetLastError(ERROR_HANDLE_EOF);  // shrank since it was measured
    return false;
  }
  return true;
}

void SetTimeouts(HINTERNET handle) {
  DWORD ms = UploadTimeoutMs();
  InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
  InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
  InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
}

}  // namespace

uint32_t UploadTimeoutMs() {
  static const uint32_t timeout = [] {
    char text[32] = {};
    DWORD n = GetEnvironmentVariableA("QV_UPLOAD_TIMEOUT_MS", text, sizeof text);
    return UploadTimeoutFromText(n > 0 && n < sizeof text ? text : nullptr);
  }();
  return timeout;
}

bool SetUrl(UploadForm& form, const char* url) {
  constexpr DWORD Capacity = 260;
  char scheme[Capacity] = {}, host[Capacity] = {}, user[Capacity] = {}, password[Capacity] = {},
       path[Capacity] = {}, extra[Capacity] = {};
  URL_COMPONENTSA parts = {};
  parts.dwStructSize = sizeof parts;
  parts.lpszScheme = scheme;
  parts.dwSchemeLength = Capacity;
  parts.lpszHostName = host;
  parts.dwHostNameLength = Capacity;
  parts.lpszUserName = user;
  parts.dwUserNameLength = Capacity;
  parts.lpszPassword = password;
  parts.dwPasswordLength = Capacity;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = Capacity;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = Capacity;
  if (url == nullptr || !InternetCrackUrlA(url, 0, 0, &parts)) return false;
  // The cracker ends each part with a NUL inside its buffer; make sure of it anyway.
  scheme[Capacity - 1] = host[Capacity - 1] = user[Capacity - 1] = '\0';
  password[Capacity - 1] = path[Capacity - 1] = extra[Capacity - 1] = '\0';
  if (std::strcmp(scheme, "http") != 0) return false;
  if (parts.nPort != INTERNET_DEFAULT_HTTP_PORT) return false;
  if (user[0] || password[0] || extra[0]) return false;
  form.host = host;
  form.path = path;
  return true;
}

int32_t Post(const UploadForm& form, PostResult& result) {
  InternetHandle session(
      InternetOpenA(PostAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return LastFailure();
  SetTimeouts(session.get());

  InternetHandle connection(InternetConnectA(session.get(), form.host.c_str(),
                                             INTERNET_DEFAULT_HTTP_PORT, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return LastFailure();

  InternetHandle request(HttpOpenRequestA(connection.get(), "POST", form.path.c_str(), nullptr,
                                          nullptr, nullptr, PostRequestFlags, 0));
  if (!request) return LastFailure();
  // WinINet waits for ever without these; the receive timeout works on the request handle.
  SetTimeouts(request.get());

  std::string boundary = DrawBoundary();
  std::string contentType = "Content-Type: multipart/form-data; boundary=" + boundary;
  if (!HttpAddRequestHeadersA(request.get(), contentType.c_str(), static_cast<DWORD>(-1),
                              HTTP_ADDREQ_FLAG_ADD))
    return LastFailure();

  std::vector<int64_t> fileSizes;
  for (const FormFile& file : form.files) {
    int64_t size = MeasureFile(file.PathToOpen());
    if (size < 0) return LastFailure();
    fileSizes.push_back(size);
  }
  std::vector<BodyPiece> plan = PlanMultipartBody(form, boundary);
  int64_t declared = DeclaredBodyLength(plan, fileSizes);
  if (declared < 0) return FailureCodeFromError(ERROR_FILE_TOO_LARGE);

  INTERNET_BUFFERSA body = {};
  body.dwStructSize = sizeof body;
  body.dwBufferTotal = static_cast<DWORD>(declared);
  if (!HttpSendRequestExA(request.get(), &body, nullptr, HSR_INITIATE, 0)) return LastFailure();

  for (const BodyPiece& piece : plan) {
    bool ok = piece.isFile ? StreamFile(request.get(), form.files[piece.fileIndex].PathToOpen(),
                                        fileSizes[piece.fileIndex])
                           : WriteAll(request.get(), piece.bytes.data(), piece.bytes.size());
    if (!ok) return LastFailure();
  }

  if (!HttpEndRequestA(request.get(), nullptr, 0, 0)) return LastFailure();

  DWORD status = 0;
  DWORD size = sizeof status;
  if (HttpQueryInfoA(request.get(), StatusAsNumber, &status, &size, nullptr) &&
      size == sizeof status)
    result.statusCode = static_cast<int32_t>(status);
  // A dropped or timed-out exchange can end "successfully" with no status line at all.
  if (result.statusCode <= 0) {
    DWORD error = GetLastError();
    return FailureCodeFromError(error == ERROR_SUCCESS ? 0 : error);
  }

  ReadAndJudgeReply(request.get(), &result.reply);
  return 0;
}
