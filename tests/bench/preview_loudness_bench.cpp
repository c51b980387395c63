// What the preview plays with "Make it louder" on, beside what Convert makes: drives the real
// window (an iPhone profile, so the clip keeps the song's 44,100 Hz stereo) through an import, a
// selection, Play to its end and Convert. preview_loudness_bench.sh records the sound device
// meanwhile and measures both. Prints the clip's path as "clip=PATH".
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

TEST(PreviewLoudness, PlayThenConvertWithLouderOn) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Quavella", 0, nullptr, 0, KEY_WRITE,
                            nullptr, &key, nullptr), ERROR_SUCCESS);
  const DWORD on = 1, off = 0;
  RegSetValueExA(key, "Louder", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
  RegSetValueExA(key, "Loop", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof off);
  RegCloseKey(key);

  LaunchOptions options;
  options.profile = TodaysPhoneProfile(true);
  App app;
  ASSERT_TRUE(app.Launch(options));
  char song[MAX_PATH] = {};
  GetEnvironmentVariableA("QV_BENCH_SONG", song, sizeof song);
  ASSERT_TRUE(app.BrowseTo(WindowsPath(song)));
  ASSERT_TRUE(app.WaitLoaded());
  app.Drag(100, 300);  // about 4.6 s of the 10 s song
  app.Command(5001);   // Play, to its end
  WaitUntil([] { return false; }, 6500);
  app.Command(5002);   // Convert
  ASSERT_TRUE(WaitUntil([&] { return app.ChildText(6020).find("KB") != std::string::npos; },
                        60000));
  std::printf("clip=%s\n", app.WorkingFile("test.wav").c_str());
  std::fflush(stdout);
}

}  // namespace
