// A start folder that cannot take the working files: a nearly full drive and a read-only one,
// mapped in the test prefix by working_folder_test.sh, which also made a song for each import
// branch and a clip folder (a d.wav, then the drive filled).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "formats/utf8_text.h"
#include "import/clip_to_test_wav.h"
#include "import/import_worker.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"
#include "session/working_folder.h"
#include "tests/e2e/driver.h"
#include "tests/win/encode_test_support.h"

namespace {

std::string Env(const char* name) {
  char value[MAX_PATH] = {};
  DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n > 0 && n < sizeof value ? value : "";
}

// Runs the import worker on `song` from the start folder `folder`: the boxes it showed.
std::vector<encodetest::SeenDialog> Import(const std::string& folder, const std::string& song) {
  encodetest::StartFolder start(folder);
  lstrcpynA(sessionState.sourcePath, song.c_str(), sizeof sessionState.sourcePath);
  sessionState.importRunning = true;
  encodetest::DialogCatcher catcher;
  ImportWorker(nullptr);
  return catcher.Stop();
}

TEST(FullDisk, EveryImportBranchSaysSoNamesTheFolderAndLeavesNoDWav) {
  const std::string folder = Env("QV_FULL_DRIVE") + "\\import";
  // The MP3 decoder, the WAV copy, the WAV conversion and the decoding libraries.
  for (const char* song : {"song.mp3", "song16.wav", "song24.wav", "song.flac"}) {
    const auto boxes = Import(folder, Env("QV_SONGS") + "\\" + song);
    ASSERT_EQ(boxes.size(), 1u) << song;
    EXPECT_EQ(boxes[0].text, FolderWriteMessage(FolderWriteFault::DiskFull, folder)) << song;
    EXPECT_FALSE(e2e::FileExists(folder + "\\d.wav")) << song;
    EXPECT_FALSE(sessionState.importRunning) << song;
  }
}

TEST(FullDisk, TheClipsTestWavSaysSoNamesTheFolderAndIsNotLeft) {
  encodetest::StartFolder start(Env("QV_FULL_DRIVE") + "\\clip");
  const ClipTargetFormat format = ClipFormatFor(RingtoneM4r);
  std::vector<int16_t> clip;
  ASSERT_TRUE(ExtractClip("d.wav", 0, 176400, nullptr, format, clip));
  encodetest::DialogCatcher catcher;
  EXPECT_FALSE(WriteTestWav(format, clip));
  const auto boxes = catcher.Stop();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, FolderWriteMessage(FolderWriteFault::DiskFull, start.path()));
  EXPECT_FALSE(e2e::FileExists(start.File("test.wav")));
}

TEST(ReadOnlyFolder, TheStartCheckAndAnImportSayItCannotBeWritten) {
  const std::string folder = Env("QV_READONLY_DRIVE") + "\\";
  EXPECT_FALSE(FolderWritable(folder.c_str()));
  EXPECT_TRUE(FolderWritable(Env("QV_SONGS").c_str()));
  const auto boxes = Import(folder, Env("QV_SONGS") + "\\song.mp3");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, FolderWriteMessage(FolderWriteFault::NotWritable, folder));
}

// A start folder named in other scripts: the checks reach it by its name although this test
// program's ANSI code page is not UTF-8.
TEST(FolderNamedInAnyScript, TheWriteCheckAndTheDiskCheckFindIt) {
  const std::string name = "\\Klingeltöne 着信音";
  const std::string writable = Env("QV_SONGS") + name, full = Env("QV_FULL_DRIVE") + name;
  for (const std::string& folder : {writable, full})
    ASSERT_TRUE(CreateDirectoryW(Widen(folder).c_str(), nullptr)) << GetLastError();
  EXPECT_TRUE(FolderWritable(writable.c_str()));
  EXPECT_TRUE(FolderDiskFull(full.c_str()));
}

}  // namespace
