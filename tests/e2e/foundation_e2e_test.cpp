// The command table, Browse, the WAV import, Exit and the mouse routing, through the real window.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdPlay = 5001, IdConvert = 5002, IdUpload = 5011, IdExit = 5005;
constexpr int IdPathEdit = 5004;
const char NothingLoaded[] = "Please click browse to select a MP3, CD or WAV file";

// A short stereo song: a 440 Hz tone.
std::vector<uint8_t> ToneWav(uint32_t frames = 44100) {
  return MakeWav(44100, 2, frames, [](uint32_t i, int c) {
    return static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 440 / 44100) * (c ? 1 : -1));
  });
}

std::string WriteSong(const App& app, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string folder = app.StartFolder() + "\\songs";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\" + name;
  EXPECT_TRUE(WriteFileBytes(path, bytes));
  return path;
}

// Imports `bytes` as a WAV song and waits until the import has ended (the bar is full again
// and no message box is up).
bool ImportWav(App& app, const std::vector<uint8_t>& bytes, const std::string& name = "song.wav") {
  std::string path = WriteSong(app, name, bytes);
  if (!app.BrowseTo(path)) return false;
  return WaitUntil([&] { return FileExists(app.WorkingFile("d.wav")) &&
                                ReadFileBytes(app.WorkingFile("d.wav")).size() == bytes.size(); }) &&
         WaitUntil([&] { return app.ProgressPosition() == app.ProgressRange().second; });
}


TEST(Commands, RefusalsWithNothingLoaded) {
  App app;
  ASSERT_TRUE(app.Launch());
  Screenshot("idle-window");

  app.Command(IdPlay);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"), NothingLoaded);
  app.Command(IdUpload);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"), NothingLoaded);

  // Convert looks at the selection first: the application message box, captioned with the
  // full path of the program.
  app.Command(IdConvert);
  std::string exePath = app.StartFolder() + "\\Quavella.exe";
  HWND box = WaitForDialog(app.ProcessId(), exePath);
  ASSERT_NE(box, nullptr) << "no box captioned " << exePath;
  EXPECT_EQ(MessageBoxText(box), "Please make a selection using the mouse");
  PressButton(box);
  EXPECT_TRUE(app.Running());
}

TEST(Browse, SizeLimitIsTwentyOneMillionBytes) {
  App app;
  ASSERT_TRUE(app.Launch());
  // 21,000,000 bytes: refused before anything is imported.
  std::vector<uint8_t> big = ToneWav(10);
  big.resize(21000000, 0);
  std::string bigPath = WriteSong(app, "big.wav", big);
  ASSERT_TRUE(app.BrowseTo(bigPath));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "File Size too Large"),
            "Quavella only accepts MP3s that are smaller than 20 MBs (approximately 20 minutes). "
            "There are several commercialy available tools you can search for to reduce the size "
            "of your MP3.");
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
  // The same WAV under another name is the same WAV.
  ASSERT_TRUE(app.BrowseTo(WriteSong(app, "big.flac", big)));
  HWND box = WaitForDialog(app.ProcessId(), "File Size too Large");
  ASSERT_NE(box, nullptr);
  WaitUntil([] { return false; }, 500);  // the open dialog's remains are painted over
  Screenshot("browse-refuses-a-large-wav-named-flac");
  EXPECT_EQ(MessageBoxText(box),
            "Quavella only accepts MP3s that are smaller than 20 MBs (approximately 20 minutes). "
            "There are several commercialy available tools you can search for to reduce the size "
            "of your MP3.");
  PressButton(box);
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));

  // So are files that measure negative or small in 32 bits: 2 GiB, and 4 GiB and 100 bytes.
  for (int64_t size : {int64_t{1} << 31, (int64_t{1} << 32) + 100}) {
    std::string path = app.StartFolder() + "\\songs\\huge" + std::to_string(size) + ".wav";
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = size;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));  // sparse
    CloseHandle(file);
    ASSERT_TRUE(app.BrowseTo(path));
    EXPECT_EQ(TakeMessageBox(app.ProcessId(), "File Size too Large"),
              "Quavella only accepts MP3s that are smaller than 20 MBs (approximately 20 "
              "minutes). There are several commercialy available tools you can search for to "
              "reduce the size of your MP3.") << size;
    DeleteFileA(path.c_str());
  }
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));

  // One byte less is taken and copied whole.
  std::vector<uint8_t> largest = ToneWav(10);
  largest.resize(20999999, 0);
  uint32_t dataBytes = 20999999 - 44;
  std::memcpy(&largest[40], &dataBytes, 4);
  uint32_t riffBytes = 20999999 - 8;
  std::memcpy(&largest[4], &riffBytes, 4);
  ASSERT_TRUE(ImportWav(app, largest, "largest.wav"));
  EXPECT_TRUE(app.WaitLoaded());
  EXPECT_EQ(ReadFileBytes(app.WorkingFile("d.wav")), largest);
}

TEST(Import, WavIsCopiedByteForByteAndLoaded) {
  App app;
  ASSERT_TRUE(app.Launch());
  std::vector<uint8_t> song = ToneWav();
  ASSERT_TRUE(ImportWav(app, song));
  ASSERT_TRUE(app.WaitLoaded());
  EXPECT_EQ(ReadFileBytes(app.WorkingFile("d.wav")), song);
  auto [low, high] = app.ProgressRange();
  EXPECT_EQ(app.ProgressPosition(), high);
  EXPECT_LT(low, high);
  EXPECT_EQ(app.ChildText(IdPathEdit), app.StartFolder() + "\\songs\\song.wav");
  Screenshot("after-wav-import");

  // A second song replaces the first.
  std::vector<uint8_t> second = ToneWav(22050);
  ASSERT_TRUE(ImportWav(app, second, "second.wav"));
  ASSERT_TRUE(app.WaitLoaded());
  EXPECT_EQ(ReadFileBytes(app.WorkingFile("d.wav")), second);

  // On a song of 100 frames one column of the strip holds no whole frame: Convert refuses it.
  ASSERT_TRUE(ImportWav(app, ToneWav(100), "short.wav"));
  ASSERT_TRUE(app.WaitLoaded());
  app.Drag(200, 201);
  app.Command(IdConvert);
  HWND box = WaitForDialog(app.ProcessId(), "Warning");
  ASSERT_NE(box, nullptr);
  Screenshot("convert-refuses-a-clip-of-no-frames");
  EXPECT_EQ(MessageBoxText(box), "The selection is too short to hold any sound. Please select a "
                                 "longer part of the song.");
  PressButton(box);
  EXPECT_FALSE(FileExists(app.WorkingFile("test.wav")));
}

TEST(Import, GarbageWavIsAFailedLoadWithoutACrash) {
  App app;
  ASSERT_TRUE(app.Launch());
  std::vector<uint8_t> garbage(5000);
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<uint8_t>(i * 7919 >> 3);
  ASSERT_TRUE(app.BrowseTo(WriteSong(app, "garbage.wav", garbage)));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "error"), "Invalid Wave Header");
  EXPECT_TRUE(app.Running());
  // What a failed import leaves is no song: no d.wav whose header does not match its bytes.
  EXPECT_TRUE(WaitUntil([&] { return !FileExists(app.WorkingFile("d.wav")); }, 5000));
  // Nothing is loaded.
  app.Command(IdPlay);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"), NothingLoaded);

  // A RIFF file without a "data" chunk, and an empty one, fail the same way, with a message.
  std::vector<uint8_t> noData = ToneWav(10);
  noData.resize(36);
  ASSERT_TRUE(app.BrowseTo(WriteSong(app, "nodata.wav", noData)));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"),
            "Sorry, this WAV file could not be read. Please choose a PCM WAV file.");
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
  ASSERT_TRUE(app.BrowseTo(WriteSong(app, "empty.wav", {})));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"),
            "Sorry, this WAV file could not be read. Please choose a PCM WAV file.");
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
  app.Command(IdUpload);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"), NothingLoaded);
  EXPECT_TRUE(app.Running());
}

TEST(Browse, CancelKeepsTheSongAndClearsTheSelection) {
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(ImportWav(app, ToneWav()));
  ASSERT_TRUE(app.WaitLoaded());
  app.Drag(100, 200);
  RECT caret{};
  ASSERT_TRUE(app.CaretRect(&caret));
  EXPECT_EQ(caret.left, 200);

  ASSERT_TRUE(app.BrowseAndCancel());
  app.Sync();
  ASSERT_TRUE(app.CaretRect(&caret));
  EXPECT_EQ(caret.left, 63);
  EXPECT_EQ(caret.top, 87);
  // No selection any more, but the song is still loaded.
  app.Command(IdConvert);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), app.StartFolder() + "\\Quavella.exe"),
            "Please make a selection using the mouse");
  app.Command(IdUpload);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"), "Please make a selection and click convert");
}

// The open dialog moves the process into every folder the user opens in it; the working files
// and the encoders stay in the start folder all the same.
TEST(Browse, CancelInAnotherFolderKeepsTheWorkingFilesInTheStartFolder) {
  LaunchOptions options;
  options.profile.type = 1;  // AMR: wav2amr.exe runs in the start folder
  App app;
  ASSERT_TRUE(app.Launch(options));
  ASSERT_TRUE(ImportWav(app, ToneWav(3 * 44100)));
  ASSERT_TRUE(app.WaitLoaded());
  std::string elsewhere = app.StartFolder() + "\\elsewhere";
  ASSERT_TRUE(CreateDirectoryA(elsewhere.c_str(), nullptr));
  ASSERT_TRUE(app.BrowseAndCancel(elsewhere));

  app.Drag(100, 200);
  app.Command(IdConvert);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    box = WaitForAnyDialog(app.ProcessId(), 0);
    return box || app.ChildText(6020).find("KB") != std::string::npos;
  }, 30000));
  EXPECT_EQ(box, nullptr) << DialogCaption(box) << ": " << MessageBoxText(box);
  EXPECT_TRUE(FileExists(app.WorkingFile("a.amr")));
  EXPECT_TRUE(FileExists(app.WorkingFile("test.wav")));
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((elsewhere + "\\*.*").c_str(), &found);
  std::vector<std::string> strays;
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (std::strcmp(found.cFileName, ".") && std::strcmp(found.cFileName, ".."))
        strays.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  EXPECT_TRUE(strays.empty()) << "written into the other folder: " << strays.front();
}

// A preview parks the selection and puts it back at its end: a Browse cancelled meanwhile
// clears the selection all the same.
TEST(Browse, CancelDuringAPreviewClearsTheSelection) {
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(ImportWav(app, ToneWav(10 * 44100)));
  ASSERT_TRUE(app.WaitLoaded());
  app.Drag(100, 400);  // about 7 seconds
  app.Command(IdPlay);
  RECT caret{};
  ASSERT_TRUE(WaitUntil([&] { return app.CaretRect(&caret) && caret.left != 400; }, 10000))
      << "the preview did not start";
  ASSERT_TRUE(app.BrowseAndCancel());
  WaitUntil([] { return false; }, 9000);  // past the end the preview would have had
  app.Sync();
  ASSERT_TRUE(app.CaretRect(&caret));
  EXPECT_EQ(caret.left, 63);
  app.Command(IdConvert);
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), app.StartFolder() + "\\Quavella.exe"),
            "Please make a selection using the mouse");
}

TEST(Mouse, ClicksOnTheStripEdgesAreIgnored) {
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(ImportWav(app, ToneWav()));
  ASSERT_TRUE(app.WaitLoaded());
  RECT caret{};
  for (int x : {63, 500}) {
    app.MouseDown(x, 120);
    app.MouseUp(x, 120);
    ASSERT_TRUE(app.CaretRect(&caret));
    EXPECT_EQ(caret.left, 63) << "a click at x " << x;
  }
  for (int y : {87, 170}) {
    app.MouseDown(150, y);
    app.MouseUp(150, y);
    ASSERT_TRUE(app.CaretRect(&caret));
    EXPECT_EQ(caret.left, 63) << "a click at y " << y;
  }
  app.MouseDown(64, 120);
  app.MouseUp(64, 120);
  ASSERT_TRUE(app.CaretRect(&caret));
  EXPECT_EQ(caret.left, 64);
}

TEST(Mouse, PressAboveTheStripDragsTheWindow) {
  App app;
  ASSERT_TRUE(app.Launch());
  RECT before{};
  GetWindowRect(app.Window(), &before);
  SetForegroundWindow(app.Window());
  auto sendMouse = [](DWORD flags, int x, int y) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof input);
  };
  // Press on the panel at client (300, 20), move 40 pixels right and 30 down, release.
  POINT start{300, 20};
  ClientToScreen(app.Window(), &start);
  sendMouse(0, start.x, start.y);
  app.Sync();
  sendMouse(MOUSEEVENTF_LEFTDOWN, start.x, start.y);
  for (int i = 1; i <= 10; ++i) {
    WaitUntil([] { return false; }, 10);
    sendMouse(0, start.x + 4 * i, start.y + 3 * i);
  }
  sendMouse(MOUSEEVENTF_LEFTUP, start.x + 40, start.y + 30);
  RECT after{};
  EXPECT_TRUE(WaitUntil([&] {
    GetWindowRect(app.Window(), &after);
    return after.left == before.left + 40 && after.top == before.top + 30;
  }, 5000)) << "window at " << after.left << "," << after.top << ", was at " << before.left
            << "," << before.top;
}

TEST(Exit, DeletesEveryWorkingFileAndEndsWithCodeZero) {
  App app;
  ASSERT_TRUE(app.Launch());
  for (const char* name : WorkingFileNames) ASSERT_TRUE(WriteFileBytes(app.WorkingFile(name), {1, 2, 3}));
  WriteFileBytes(app.WorkingFile("keep.txt"), {1});
  app.Command(IdExit);
  EXPECT_EQ(app.WaitForExit(), 0);
  for (const char* name : WorkingFileNames) EXPECT_FALSE(FileExists(app.WorkingFile(name))) << name;
  EXPECT_TRUE(FileExists(app.WorkingFile("keep.txt")));
}

TEST(Exit, AfterAnImportToo) {
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(ImportWav(app, ToneWav()));
  ASSERT_TRUE(app.WaitLoaded());
  app.Command(IdExit);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
}

TEST(Exit, SystemMenuCloseLeavesTheWorkingFiles) {
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(WriteFileBytes(app.WorkingFile("a.amr"), {1}));
  PostMessageA(app.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_TRUE(FileExists(app.WorkingFile("a.amr")));
}

}  // namespace
