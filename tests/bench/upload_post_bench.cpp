// A 100 KB ringtone posted with the program's MultipartPoster to the local test server
// (reached through the proxy setting, as the service is in the end-to-end tests). Compare
// with upload_curl_bench. Prints figures only.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "delivery/multipart_poster.h"
#include "delivery/reply_judging.h"
#include "delivery/upload_fields.h"
#include "tests/win/delivery_proxy_route.h"
#include "tests/win/delivery_test_server.h"

namespace {
void Quiet(const char*, const char*) {}
void QuietUrl(const char*) {}
}  // namespace

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  userNotices = UserNotices{Quiet, QuietUrl};
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  std::string file = std::string(folder) + "qv_upload_post_bench.amr";
  std::vector<char> bytes(100 * 1024);
  unsigned seed = 1;
  for (char& b : bytes) b = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
  FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) return 1;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);

  TestServer server;
  if (!server.Start() || !RouteInternetThrough(server.Port())) return 1;
  UploadForm form;
  SetUrl(form, UploadUrl);
  UploadFileKind kind{};
  UploadFileOf(1, &kind);
  UploadFields fields{"5551234567", "1234.mp3", "My_Song.mp3", 3, 42, "2.0", 102400};
  FillUploadForm(form, kind, fields, file);

  std::vector<double> ms;
  int failures = 0;
  for (int i = 0; i < rounds; ++i) {
    PostResult result;
    auto start = std::chrono::steady_clock::now();
    if (Post(form, result) != 0 || result.statusCode != 200) ++failures;
    auto end = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  server.Stop();
  EndInternetRouting();
  std::vector<RecordedRequest> requests = server.Requests();
  double total = 0, low = 1e9, high = 0;
  for (double m : ms) {
    total += m;
    low = std::min(low, m);
    high = std::max(high, m);
  }
  std::printf("upload_post_bench: %d posts of a 100 KB file with MultipartPoster, %zu arrived, "
              "%d failed, body %zu bytes\n",
              rounds, requests.size(), failures, requests.empty() ? 0 : requests[0].body.size());
  std::printf("  per upload: mean %.2f ms, min %.2f ms, max %.2f ms\n", total / rounds, low, high);
  DeleteFileA(file.c_str());
  return 0;
}
