// A 100 KB ringtone posted with native curl -F to the local test server, the same form as
// the program's upload: the figure to set beside upload_post_bench (the program's poster
// under Wine). curl wants a content type with a slash, so the file goes as "audio/amr"
// instead of "amr". Prints figures only.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/win/delivery_test_server.h"

int main(int argc, char** argv) {
  int rounds = argc > 1 ? std::atoi(argv[1]) : 20;
  if (std::system("curl --version >/dev/null 2>&1") != 0) {
    std::printf("upload_curl_bench: curl not found, nothing measured\n");
    return 0;
  }
  std::string folder = "/tmp/qv_upload_curl_bench";
  std::system(("mkdir -p " + folder).c_str());
  std::string file = folder + "/a.amr";
  std::vector<char> bytes(100 * 1024);
  std::mt19937 random(1);
  for (char& b : bytes) b = static_cast<char>(random());
  FILE* out = std::fopen(file.c_str(), "wb");
  if (!out) return 1;
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);

  TestServer server;
  if (!server.Start()) return 1;
  std::string command =
      "curl -s -o /dev/null -H 'Expect:' -A WinInetPost/0.2 -F sms=5551234567 -F file_name=1234.mp3 "
      "-F song_name=My_Song.mp3 -F carrier_index=3 -F phone_id=42 -F version=2.0 -F serial=0 "
      "-F file_size=102400 -F 'file_data=@" + file + ";type=audio/amr' "
      "http://127.0.0.1:" + std::to_string(server.Port()) + "/ringtones/upload2.php";

  std::vector<double> ms;
  for (int i = 0; i < rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    int rc = std::system(command.c_str());
    auto end = std::chrono::steady_clock::now();
    if (rc != 0) std::printf("round %d: curl exit %d\n", i, rc);
    ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
  }
  server.Stop();
  std::vector<RecordedRequest> requests = server.Requests();
  double total = 0, low = 1e9, high = 0;
  for (double m : ms) {
    total += m;
    low = std::min(low, m);
    high = std::max(high, m);
  }
  std::printf("upload_curl_bench: %d posts of a 100 KB file with curl -F (process start "
              "included), %zu arrived, body %zu bytes\n",
              rounds, requests.size(), requests.empty() ? 0 : requests[0].body.size());
  std::printf("  per upload: mean %.2f ms, min %.2f ms, max %.2f ms\n", total / rounds, low, high);
  std::remove(file.c_str());
  return 0;
}
