// The whole road of a ringtone, through the real window to the real service: a song is
// imported, cut and converted to AMR, and Upload sends it to quavella-service (the test's
// wrapper, service_e2e_test.sh, routes the prefix's proxy setting to it). The service answers
// with the ringtone's page address, which the program hands to the browser. The wrapper then
// fetches the page and the ringtone as a phone would; this part leaves it the address and the
// converted file in the artefact folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdConvert = 5002, IdUpload = 5011, IdExit = 5005, IdSizeEdit = 6020;

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string TextOf(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(ServiceE2e, TheRingtoneReachesItsPage) {
  const std::string service = Env("QV_SERVICE_URL");
  const std::string browserLog = Env("QV_BROWSER_LOG");
  if (service.empty() || browserLog.empty())
    GTEST_SKIP() << "QV_SERVICE_URL and QV_BROWSER_LOG come from the test session";
  const std::string log = WindowsPath(browserLog);

  LaunchOptions options;
  options.profile = AmrPhoneProfile();  // ATT, LG 325
  App app;
  ASSERT_TRUE(app.Launch(options));

  // Three seconds of a chord; select about the middle second and convert.
  std::vector<uint8_t> song = MakeWav(44100, 2, 44100 * 3, [](uint32_t i, int c) {
    double t = i / 44100.0;
    return static_cast<int16_t>(6000 * std::sin(2 * 3.14159265358979 * (c ? 440 : 554) * t) +
                                3000 * std::sin(2 * 3.14159265358979 * 659 * t));
  });
  std::string songPath = app.StartFolder() + "\\Road Test.wav";
  ASSERT_TRUE(WriteFileBytes(songPath, song));
  ASSERT_TRUE(app.BrowseTo(songPath));
  ASSERT_TRUE(app.WaitLoaded());
  app.Drag(200, 350);
  app.Command(IdConvert);
  ASSERT_TRUE(WaitUntil([&] { return app.ChildText(IdSizeEdit).find("KB") != std::string::npos; },
                        60000))
      << "no ringtone size after Convert";
  std::vector<uint8_t> ringtone = ReadFileBytes(app.WorkingFile("a.amr"));
  ASSERT_GT(ringtone.size(), 6u);

  // Upload: the service's answer is the page's address, opened in the browser; no box.
  size_t logged = ReadFileBytes(log).size();
  app.Command(IdUpload);
  std::string opened;
  ASSERT_TRUE(WaitUntil([&] {
    std::string text = TextOf(ReadFileBytes(log));
    if (text.size() <= logged || text.back() != '\n') return false;
    opened = text.substr(logged, text.size() - logged - 1);
    return true;
  }, 60000)) << "the browser was never asked to open the page";
  EXPECT_EQ(opened.rfind(service + "/r/", 0), 0u) << opened;
  EXPECT_EQ(opened.find_first_of(" \r\n\t"), std::string::npos) << opened;
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 1000)) << "a page address is delivery: no box";
  ASSERT_TRUE(WaitUntil([&] { return app.IsEnabled(IdUpload); }, 30000));
  Screenshot("service-uploaded");

  // For the wrapper: where the page is, and what the phone must receive.
  std::string artefacts = ArtefactDir();
  ASSERT_TRUE(WriteFileBytes(artefacts + "\\service-page.url",
                             std::vector<uint8_t>(opened.begin(), opened.end())));
  ASSERT_TRUE(WriteFileBytes(artefacts + "\\service-a.amr", ringtone));

  app.Command(IdExit);
  EXPECT_EQ(app.WaitForExit(), 0);
}

}  // namespace
