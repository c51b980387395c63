// The MP3 import through the real window: Browse of an MP3 file, its refusal when it is not
// one, and the duration limit. The songs are the ones the MP3 tests make at build time.
#include <gtest/gtest.h>

#include <cstring>

#include "formats/byte_order.h"
#include "session/ringtone_format.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdPlay = 5001, IdConvert = 5002, IdUpload = 5011, IdPathEdit = 5004;
const char NothingLoaded[] = "Please click browse to select a MP3, CD or WAV file";
const char NotSupported[] =
    "Sorry this MP3 may not be supported, please try a different MP3. It's also possible your "
    "system has outdated Codecs.\n Please try installing the latest copy of Windows Media Player.";
const char Truncated[] =
    "Sorry, Quavella has truncated the end of the music\nyou have opened since it is larger "
    "than the maximum duration supported. \nIf you wish to edit and send the truncated portion "
    "of your song,\nplease use one of many commercially available MP3, CD or WAV editing tools "
    "that you can find on your search engine.";

// Copies a song made by the build into the start folder under `name`.
std::string PlaceSong(const App& app, const char* made, const std::string& name) {
  std::string folder = app.StartFolder() + "\\songs";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\" + name;
  std::string source = WindowsPath(std::getenv("QV_BUILD_DIR")) + "\\test-data\\mp3\\" + made;
  EXPECT_TRUE(CopyFileA(source.c_str(), path.c_str(), FALSE)) << source;
  return path;
}

TEST(Mp3Browse, UpperCaseMp3IsDecodedAndLoaded) {
  App app;
  ASSERT_TRUE(app.Launch());
  std::string song = PlaceSong(app, "s44.mp3", "SONG.MP3");
  ASSERT_TRUE(app.BrowseTo(song));
  ASSERT_TRUE(app.WaitLoaded());

  std::vector<uint8_t> wav = ReadFileBytes(app.WorkingFile("d.wav"));
  ASSERT_GT(wav.size(), 56u + 1000000);
  EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
  EXPECT_EQ(Le32At(wav, 24), 44100u);
  EXPECT_EQ(wav[22], 2);
  EXPECT_EQ(std::string(wav.begin() + 36, wav.begin() + 40), "fact");
  EXPECT_EQ(Le32At(wav, 44), 0u);
  EXPECT_EQ(Le32At(wav, 52), wav.size() - 56);

  // The import's end: bar full, path shown, no selection, no message left over.
  auto [low, high] = app.ProgressRange();
  EXPECT_LT(low, high);
  EXPECT_EQ(app.ProgressPosition(), high);
  EXPECT_EQ(app.ChildText(IdPathEdit), song);
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 300));
  Screenshot("after-mp3-import");
  app.Command(IdConvert);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), app.StartFolder() + "\\Quavella.exe"),
            "Please make a selection using the mouse");

  // The waveform is there to select from.
  app.Drag(120, 300);
  RECT caret{};
  ASSERT_TRUE(app.CaretRect(&caret));
  EXPECT_EQ(caret.left, 300);
}

// Bytes that are no song are refused with the MP3 message; a WAV file named .mp3 is taken by
// its contents, as a WAV file.
TEST(Mp3Browse, FilesThatAreNotMp3AreRefusedOrTakenByTheirContents) {
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(app.BrowseTo(PlaceSong(app, "garbage.mp3", "garbage.mp3")));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning", 30000), NotSupported);
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
  app.Command(IdPlay);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"), NothingLoaded);

  std::string wave = PlaceSong(app, "wave.mp3", "wave.mp3");
  ASSERT_TRUE(app.BrowseTo(wave));
  ASSERT_TRUE(app.WaitLoaded());
  EXPECT_EQ(ReadFileBytes(app.WorkingFile("d.wav")), ReadFileBytes(wave));
  EXPECT_TRUE(app.Running());
}

TEST(Mp3Browse, LongSongIsTruncatedWithOneWarning) {
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(app.BrowseTo(PlaceSong(app, "long.mp3", "long.mp3")));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning", 120000), Truncated);
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 1000));
  ASSERT_TRUE(app.WaitLoaded());
  std::vector<uint8_t> wav = ReadFileBytes(app.WorkingFile("d.wav"));
  ASSERT_GT(wav.size(), 56u);
  uint32_t data = Le32At(wav, 52);
  EXPECT_EQ(data, wav.size() - 56);
  EXPECT_GT(data, ImportByteLimit);
  EXPECT_LE(data, ImportByteLimit + 1152 * 4);
}

// Ending the program while a long song is being decoded: the decoding stops at once and leaves
// d.wav complete (closing the window keeps it, Exit deletes it), and the process ends cleanly.
TEST(Mp3Browse, EndingTheProgramDuringTheDecodingStopsIt) {
  for (bool exitCommand : {false, true}) {
    SCOPED_TRACE(exitCommand ? "Exit" : "closing the window");
    App app;
    ASSERT_TRUE(app.Launch());
    ASSERT_TRUE(app.BrowseTo(PlaceSong(app, "long.mp3", "long.mp3")));
    ASSERT_TRUE(WaitUntil([&] { return FileSize(app.WorkingFile("d.wav")) > 4000000; }, 60000));
    if (exitCommand)
      app.Command(5005);
    else
      PostMessageA(app.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app.WaitForExit(15000), 0);
    if (exitCommand) {
      EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
      continue;
    }
    std::vector<uint8_t> wav = ReadFileBytes(app.WorkingFile("d.wav"));
    ASSERT_GT(wav.size(), 56u);
    EXPECT_EQ(Le32At(wav, 4), wav.size() - 8);
    EXPECT_EQ(Le32At(wav, 52), wav.size() - 56);
    // The song decodes to more than the import keeps: the decoding stopped before that limit.
    EXPECT_LT(Le32At(wav, 52), ImportByteLimit) << "the decoding went on after the window closed";
  }
}

}  // namespace
