// Audio-CD track import through the real window, with the virtual drive: an ASPI module of our
// own placed beside the program, which Wine is told to prefer to its own.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "formats/byte_order.h"
#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdUpload = 5011;

uint8_t SampleByte(uint32_t lba, uint32_t i) {
  return static_cast<uint8_t>((lba * 7 + i * 13) ^ (i >> 8));
}

// Tells Wine to load the ASPI module beside Quavella.exe instead of its own.
void PreferOurAspiModule(bool prefer) {
  const char key[] = "Software\\Wine\\AppDefaults\\Quavella.exe\\DllOverrides";
  if (!prefer) {
    RegDeleteKeyA(HKEY_CURRENT_USER, key);
    return;
  }
  HKEY handle;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                      nullptr) == ERROR_SUCCESS) {
    const char order[] = "native,builtin";
    RegSetValueExA(handle, "wnaspi32", 0, REG_SZ, reinterpret_cast<const BYTE*>(order), sizeof order);
    RegCloseKey(handle);
  }
}

// Starts the program with the virtual drive serving `disc` (the drive's description file).
class CdImport : public ::testing::Test {
 protected:
  void TearDown() override { PreferOurAspiModule(false); }

  void Start(const std::string& disc) {
    std::string folder = PrepareStartFolder();
    std::string module = WindowsPath(BuildDir()) + "\\testbin\\WNASPI32.dll";
    ASSERT_TRUE(CopyFileA(module.c_str(), (folder + "\\WNASPI32.dll").c_str(), FALSE)) << module;
    discFile_ = folder + "\\disc.txt";
    logFile_ = folder + "\\reads.log";
    ASSERT_TRUE(WriteFileBytes(discFile_, std::vector<uint8_t>(disc.begin(), disc.end())));
    SetEnvironmentVariableA("QV_VIRTUAL_CD", discFile_.c_str());
    SetEnvironmentVariableA("QV_VIRTUAL_CD_LOG", logFile_.c_str());
    PreferOurAspiModule(true);
    trackFolder_ = folder + "\\disc";
    CreateDirectoryA(trackFolder_.c_str(), nullptr);
    LaunchOptions options;
    options.startFolder = folder;
    ASSERT_TRUE(app_.Launch(options));
  }

  static std::string BuildDir() {
    char dir[MAX_PATH] = {};
    GetEnvironmentVariableA("QV_BUILD_DIR", dir, sizeof dir);
    return dir;
  }

  // Browses to "TrackNN.cda" (an empty file: only its name matters).
  void BrowseTrack(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "\\Track%02d.cda", number);
    std::string path = trackFolder_ + name;
    WriteFileBytes(path, {});
    ASSERT_TRUE(app_.BrowseTo(path));
  }

  // The d.wav header must describe exactly the bytes behind it.
  std::vector<uint8_t> CheckedWorkingFile() {
    std::vector<uint8_t> wav = ReadFileBytes(app_.WorkingFile("d.wav"));
    EXPECT_GE(wav.size(), 44u);
    if (wav.size() < 44) return wav;
    EXPECT_EQ(0, std::memcmp(wav.data(), "RIFF", 4));
    EXPECT_EQ(Le32At(wav, 40), wav.size() - 44);
    EXPECT_EQ(Le32At(wav, 4), wav.size() - 8);
    return wav;
  }

  // The first number of the last line of `kind` in the drive's log; -1 without one.
  long LastLogged(const char* kind) {
    std::vector<uint8_t> log = ReadFileBytes(logFile_);
    std::istringstream lines(std::string(log.begin(), log.end()));
    std::string word;
    unsigned a, b;
    long last = -1;
    while (lines >> word >> a >> b)
      if (word == kind) last = a;
    return last;
  }

  // Ends the program while a long, slow track is ripped by READ(10), which the drive serves
  // after a MODE SELECT to 2352-byte blocks: the rip stops before its next read, d.wav is
  // finished (closing the window keeps it, Exit deletes it), and the drive handle is given back,
  // which gives the drive its data blocks back.
  void EndDuringRip(bool exitCommand) {
    Start("tracks 0 20000\ndelay 20\nuntouched 0xF0\nuntouched 0x10\n");
    BrowseTrack(1);
    ASSERT_TRUE(WaitUntil([&] { return ReadsLogged("read") >= 10; }, 30000));
    EXPECT_EQ(LastLogged("mode"), 2352);
    if (exitCommand)
      app_.Command(5005);
    else
      PostMessageA(app_.Window(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(app_.WaitForExit(15000), 0);
    EXPECT_LT(ReadsLogged("read"), 700);  // of 770
    EXPECT_EQ(LastLogged("mode"), 2048);
    if (exitCommand) {
      EXPECT_FALSE(FileExists(app_.WorkingFile("d.wav")));
    } else {
      std::vector<uint8_t> wav = CheckedWorkingFile();
      EXPECT_EQ((wav.size() - 44) % 2352, 0u);
    }
  }

  int ReadsLogged(const char* kind) {
    std::vector<uint8_t> log = ReadFileBytes(logFile_);
    std::istringstream lines(std::string(log.begin(), log.end()));
    std::string word;
    unsigned a, b;
    int n = 0;
    while (lines >> word >> a >> b) n += word == kind;
    return n;
  }

  App app_;
  std::string discFile_, logFile_, trackFolder_;
};

TEST_F(CdImport, Track05IsTheHeaderAndExactlyTheSectorsOfTrackIndexFour) {
  Start("tracks 0 1000 2000 3000 4000 4500 5000\n");
  BrowseTrack(5);
  ASSERT_TRUE(app_.WaitLoaded());
  std::vector<uint8_t> wav = CheckedWorkingFile();
  ASSERT_EQ(wav.size(), 44u + 500 * 2352);
  std::vector<uint8_t> expected;
  for (uint32_t s = 4000; s < 4500; ++s)
    for (uint32_t i = 0; i < 2352; ++i) expected.push_back(SampleByte(s, i));
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wav.begin() + 44));
  // The CD layout: 44100 Hz, stereo, 16-bit.
  EXPECT_EQ(Le32At(wav, 24), 44100u);
  EXPECT_EQ(wav[22], 2);
  EXPECT_EQ(wav[34], 16);
  EXPECT_TRUE(FileExists(app_.WorkingFile("toc.dat")));
  EXPECT_TRUE(FileExists(app_.WorkingFile("inquiry.dat")));

  // A second track in the same run: the drive is opened again.
  BrowseTrack(6);
  ASSERT_TRUE(WaitUntil([&] { return ReadFileBytes(app_.WorkingFile("d.wav")).size() == 44u + 500 * 2352 &&
                                     ReadsLogged("read") >= 2 * 20; }, 30000));
  ASSERT_TRUE(app_.WaitLoaded());
  wav = CheckedWorkingFile();
  ASSERT_EQ(wav.size(), 44u + 500 * 2352);
  EXPECT_EQ(wav[44 + 2352 * 10 + 3], SampleByte(4510, 3));
}

TEST_F(CdImport, ThreeMinuteTrackWithItsProgressRange) {
  Start("tracks 150 13650\ndelay 2\n");
  BrowseTrack(1);
  EXPECT_TRUE(WaitUntil([&] {
    auto range = app_.ProgressRange();
    return range.first == 1 && range.second == 2700;
  }, 20000));
  ASSERT_TRUE(app_.WaitLoaded());
  std::vector<uint8_t> wav = CheckedWorkingFile();
  EXPECT_EQ(wav.size(), 44u + 31752000u);
  EXPECT_EQ(ReadsLogged("read"), 520);  // 519 full chunks and one of 6 sectors
  EXPECT_TRUE(NoDialogFor(app_.ProcessId(), 200));
}

TEST_F(CdImport, TrackLongerThanTheLimitIsCutWithOneMessage) {
  Start("tracks 0 25000\n");
  BrowseTrack(1);
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), "Warning", 60000),
            "We are sorry, Quavella has truncated the end of the music\nyou have opened since it "
            "is larger than the maximum duration supported. \nIf you wish to edit and send the "
            "truncated portion of your song,\nplease use one of many commercially available MP3, "
            "CD or WAV editing tools that you can find on your search engine.");
  ASSERT_TRUE(app_.WaitLoaded());
  std::vector<uint8_t> wav = CheckedWorkingFile();
  EXPECT_GT(wav.size() - 44, 50000000u);
  EXPECT_LE(wav.size() - 44, 50061152u);
}

TEST_F(CdImport, AChunkThatFailsThreeTimesLeavesAGapAndTheRipGoesOn) {
  Start("tracks 0 520\nfail 78 3\nfail 156 2\n");
  BrowseTrack(1);
  ASSERT_TRUE(app_.WaitLoaded());
  std::vector<uint8_t> wav = CheckedWorkingFile();
  EXPECT_EQ(wav.size(), 44u + (520 - 26) * 2352);
  // After the gap come the sectors of the next chunk.
  EXPECT_EQ(wav[44 + 78 * 2352], SampleByte(104, 0));
  EXPECT_EQ(ReadsLogged("fail"), 3 + 2);
}

TEST_F(CdImport, NoDriveIsReportedTwice) {
  Start("nodrive\n");
  BrowseTrack(1);
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), app_.StartFolder() + "\\Quavella.exe"),
            "Could not get handle to CD\n");
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), "Error"),
            "The selected CD track is not supported, please select a different track,or a CD");
  EXPECT_FALSE(FileExists(app_.WorkingFile("d.wav")));
  app_.Command(IdUpload);
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), "Warning"),
            "Please click browse to select a MP3, CD or WAV file");
}

TEST_F(CdImport, TrackBeyondTheLastIsATableOfContentsError) {
  Start("tracks 0 1000 2000\n");
  BrowseTrack(3);
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), app_.StartFolder() + "\\Quavella.exe"),
            "Error reading TOC\n");
  std::string text = TakeMessageBox(app_.ProcessId(), app_.StartFolder() + "\\Quavella.exe");
  EXPECT_EQ(text.rfind("Could not access CD.\n\nHalvek error: ", 0), 0u) << text;
  EXPECT_EQ(TakeMessageBox(app_.ProcessId(), "Error"),
            "The selected CD track is not supported, please select a different track,or a CD");
}

TEST_F(CdImport, ClosingTheWindowDuringARip) { EndDuringRip(false); }

TEST_F(CdImport, ExitDuringARip) { EndDuringRip(true); }

}  // namespace
