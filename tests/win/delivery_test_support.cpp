#include "tests/win/delivery_test_support.h"

#include <cstdio>

namespace {

void RecordMessage(const char* text, const char* caption) {
  RecordedNotices().push_back(Notice{text ? text : "", caption ? caption : "(null)"});
}
void RecordUrl(const char* url) { RecordedNotices().push_back(Notice{url ? url : "", ""}); }

// Short timeouts for the faults, set before the first upload of the process reads them.
const bool shortTimeouts = [] {
  SetEnvironmentVariableA("QV_UPLOAD_TIMEOUT_MS", "1500");
  return true;
}();

}  // namespace

std::vector<Notice>& RecordedNotices() {
  static std::vector<Notice> notices;
  return notices;
}

std::string BoundaryOf(const std::string& contentType) {
  const std::string key = "boundary=";
  size_t at = contentType.find(key);
  return at == std::string::npos ? std::string() : contentType.substr(at + key.size());
}

bool SplitMultipart(const std::string& body, const std::string& boundary,
                    std::vector<BodyPart>* parts) {
  const std::string delimiter = "--" + boundary;
  const std::string closing = delimiter + "--\r\n";
  if (body.size() < closing.size() || body.compare(body.size() - closing.size(), closing.size(),
                                                   closing) != 0)
    return false;
  size_t at = 0;
  while (body.compare(at, closing.size(), closing) != 0) {
    if (body.compare(at, delimiter.size() + 2, delimiter + "\r\n") != 0) return false;
    size_t headEnd = body.find("\r\n\r\n", at);
    if (headEnd == std::string::npos) return false;
    std::string head = body.substr(at + delimiter.size() + 2, headEnd + 2 - at - delimiter.size() - 2);
    size_t next = body.find("\r\n" + delimiter, headEnd + 4);
    if (next == std::string::npos) return false;
    BodyPart part;
    part.data = body.substr(headEnd + 4, next - headEnd - 4);
    size_t line = 0;
    while (line < head.size()) {
      size_t end = head.find("\r\n", line);
      std::string text = head.substr(line, end - line);
      if (text.rfind("Content-Disposition: ", 0) == 0) part.disposition = text.substr(21);
      else if (text.rfind("Content-Type: ", 0) == 0) part.contentType = text.substr(14);
      else return false;
      line = end + 2;
    }
    parts->push_back(part);
    at = next + 2;
  }
  return true;
}

std::string WriteBytes(const std::string& path, const std::string& bytes) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (out) {
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
  }
  return path;
}

std::string PatternBytes(size_t count, unsigned seed) {
  std::string bytes(count, '\0');
  for (char& b : bytes) b = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  return bytes;
}

void DeliveryTest::SetUp() {
  (void)shortTimeouts;
  RecordedNotices().clear();
  userNotices = UserNotices{RecordMessage, RecordUrl};
  ASSERT_TRUE(server.Start());
  ASSERT_TRUE(RouteInternetThrough(server.Port()));
  GetCurrentDirectoryA(MAX_PATH, savedFolder_);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  folder = std::string(temp) + "qv_delivery_" + std::to_string(GetCurrentProcessId()) + "_" +
           info->name() + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(SetCurrentDirectoryA(folder.c_str()));
}

void DeliveryTest::TearDown() {
  server.Stop();
  SetCurrentDirectoryA(savedFolder_);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do DeleteFileA((folder + found.cFileName).c_str());
    while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

RecordedRequest DeliveryTest::OnlyRequest() {
  std::vector<RecordedRequest> requests = server.Requests();
  EXPECT_EQ(requests.size(), 1u);
  if (requests.empty()) return RecordedRequest();
  EXPECT_TRUE(requests[0].complete);
  return requests[0];
}

namespace {

class RoutingEnvironment : public ::testing::Environment {
 public:
  void TearDown() override { EndInternetRouting(); }
};

const bool routingEnvironment = [] {
  ::testing::AddGlobalTestEnvironment(new RoutingEnvironment);
  return true;
}();

}  // namespace
