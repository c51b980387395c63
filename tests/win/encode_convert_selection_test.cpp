// ConvertSelection in a window of its own under Wine: the selection's bytes, every ringtone
// format through the encoder stand-ins, the 100 KB rule and the failures that must not pass
// for a conversion.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

#include "encode/clip_loudness.h"
#include "encode/convert_selection.h"
#include "encode/edited_clip.h"
#include "import/pcm_resampler.h"
#include "import/working_audio.h"
#include "resources/resource_ids.h"
#include "session/edit_options.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"
#include "session/working_audio.h"
#include "tests/bench/clip_measure.h"
#include "tests/e2e/driver.h"
#include "tests/win/encode_test_support.h"
#include "view/selection_range.h"

using encodetest::SeenDialog;
using Bytes = std::vector<uint8_t>;

namespace {

// 10,000,000 bytes of 44100 Hz stereo samples, each frame numbered so that a byte range can be
// told from any other.
const Bytes& SongSamples() {
  static const Bytes samples = [] {
    Bytes b(10000000);
    for (size_t i = 0; i < b.size(); i += 2) {
      uint16_t v = static_cast<uint16_t>((i / 4) * 7 + (i & 2));
      b[i] = static_cast<uint8_t>(v);
      b[i + 1] = static_cast<uint8_t>(v >> 8);
    }
    return b;
  }();
  return samples;
}

class ConvertSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    folder_ = e2e::FreshFolder("convert " + e2e::CurrentTestName());
    ASSERT_TRUE(e2e::WriteFileBytes(folder_ + "\\d.wav", clipbench::WavBytes(44100, 2, SongSamples())));
    cwd_ = std::make_unique<encodetest::StartFolder>(folder_);

    window_ = CreateWindowExA(0, "STATIC", "convert test", WS_OVERLAPPEDWINDOW, 0, 0, 550, 355,
                              nullptr, nullptr, nullptr, nullptr);
    sessionState.mainWindow = window_;
    sessionState.progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 10,
                                               300, 200, 10, window_, nullptr, nullptr, nullptr);
    sessionState.browseButton = CreateWindowExA(0, "BUTTON", "Browse", WS_CHILD | WS_VISIBLE, 10, 10,
                                                50, 20, window_, nullptr, nullptr, nullptr);
    sessionState.sizeEdit = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE, 100, 10, 50, 20,
                                            window_, reinterpret_cast<HMENU>(ID_SIZE_EDIT), nullptr,
                                            nullptr);
    SetClassLongPtrA(window_, GCLP_HCURSOR, 0);

    sessionState.loadCount = 0;
    ASSERT_TRUE(MapWorkingAudio());
    ASSERT_EQ(workingAudio.dataSize, 10000000u);
    sessionState.converted = false;
    sessionState.uploaded = true;
  }
  void TearDown() override {
    ReleaseWorkingAudio();
    DestroyWindow(window_);
    sessionState.mainWindow = sessionState.progressBar = sessionState.browseButton =
        sessionState.sizeEdit = nullptr;
    cwd_.reset();
  }

  // Selects anchor..caret, converts for `format`, and returns the boxes that were shown.
  std::vector<SeenDialog> Convert(int32_t format, int anchorX, int caretX) {
    sessionState.outputFormat = format;
    EnableWindow(sessionState.browseButton, FALSE);
    SetWindowTextA(sessionState.sizeEdit, "before");
    encodetest::DialogCatcher catcher;
    ConvertSelection(window_, SelectionByteRange(anchorX, caretX, workingAudio.dataSize),
                     editOptions);
    return catcher.Stop();
  }
  std::string SizeBox() {
    char text[64] = {};
    GetWindowTextA(sessionState.sizeEdit, text, sizeof text);
    return text;
  }
  bool BrowseEnabled() { return IsWindowEnabled(sessionState.browseButton) != FALSE; }
  bool ArrowCursor() {
    return reinterpret_cast<HCURSOR>(GetClassLongPtrA(window_, GCLP_HCURSOR)) ==
           LoadCursorA(nullptr, IDC_ARROW);
  }
  Bytes File(const char* name) { return e2e::ReadFileBytes(folder_ + "\\" + name); }
  void Install(const char* fileName, const char* as) {
    ASSERT_TRUE(encodetest::InstallDouble(fileName, folder_, as));
  }
  // Shows that the conversion ended as a success with `kilobytes` in the size box.
  void ExpectAccepted(const std::vector<SeenDialog>& boxes, const std::string& sizeText) {
    EXPECT_TRUE(boxes.empty()) << boxes.front().caption << ": " << boxes.front().text;
    EXPECT_TRUE(sessionState.converted);
    EXPECT_FALSE(sessionState.uploaded);
    EXPECT_EQ(SizeBox(), sizeText);
    EXPECT_TRUE(BrowseEnabled());
    EXPECT_TRUE(ArrowCursor());
  }
  void ExpectRefused(const std::vector<SeenDialog>& boxes, const std::string& caption,
                     const std::string& textPart) {
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, caption);
    EXPECT_NE(boxes[0].text.find(textPart), std::string::npos) << boxes[0].text;
    EXPECT_FALSE(sessionState.converted);
    EXPECT_EQ(SizeBox(), "before");
    EXPECT_TRUE(BrowseEnabled());
    EXPECT_TRUE(ArrowCursor());
  }

  std::string folder_;
  std::unique_ptr<encodetest::StartFolder> cwd_;
  HWND window_ = nullptr;
};

std::string ExePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// The shell and the open dialog move the process's current folder for a while, also while an
// import runs on its own thread: the working audio is the start folder's d.wav all the same.
TEST_F(ConvertSelectionTest, WorkingAudioIsMappedFromTheStartFolderWhereverTheProcessIs) {
  ReleaseWorkingAudio();
  std::string elsewhere = e2e::FreshFolder("convert elsewhere");
  ASSERT_TRUE(e2e::WriteFileBytes(elsewhere + "\\d.wav", clipbench::WavBytes(8000, 1, Bytes(800, 0))));
  ASSERT_TRUE(SetCurrentDirectoryA(elsewhere.c_str()));
  EXPECT_TRUE(MapWorkingAudio());
  EXPECT_EQ(workingAudio.dataSize, 10000000u);
  SetCurrentDirectoryA(folder_.c_str());
}

TEST_F(ConvertSelectionTest, Mp3ClipIsExactlyTheSelectedBytesLeftwardsOrRightwards) {
  Install("encode_tool_double.exe", "lame.exe");
  SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", "size:40000");
  // Anchor x 64: start 22,883, read from 22,884. Caret x 74: 2 % of the song, 200,000.
  ExpectAccepted(Convert(RingtoneMp3, 64, 74), "39KB");
  const Bytes expected(SongSamples().begin() + 22884, SongSamples().begin() + 200000);
  Bytes wav = File("test.wav");
  ASSERT_EQ(wav.size(), 44 + expected.size());
  EXPECT_EQ(Le32At(wav, 24), 44100u);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), wav.begin() + 44));
  EXPECT_EQ(encodetest::ReadText(folder_ + "\\tool_report.txt")
                .find("commandline=\"" + folder_ + "\\lame.exe\"  test.wav a.mp3 -b 48"),
            0u);

  // The same selection dragged the other way: anchor at 74 and caret at 64 give 22,883..200,000
  // only approximately (the two ends are computed differently); it converts without harm.
  ExpectAccepted(Convert(RingtoneMp3, 74, 64), "39KB");
  SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", nullptr);
}

TEST_F(ConvertSelectionTest, TestWavHoldsTheEditedClipAndARefusedClipLeavesNone) {
  Install("encode_tool_double.exe", "lame.exe");
  SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", "size:40000");
  editOptions = EditOptions{500, 1000, true, false};
  ExpectAccepted(Convert(RingtoneMp3, 64, 74), "39KB");
  std::vector<int16_t> expected((200000 - 22884) / 2);
  std::memcpy(expected.data(), SongSamples().data() + 22884, expected.size() * 2);
  ASSERT_TRUE(EditClipSamples(expected, 2, 44100, editOptions, MeasureLoudness));
  const Bytes wav = File("test.wav");
  ASSERT_EQ(wav.size(), 44 + expected.size() * 2);
  EXPECT_EQ(std::memcmp(wav.data() + 44, expected.data(), expected.size() * 2), 0);
  editOptions = EditOptions{};
  SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", nullptr);

  // The iPhone's length rule refuses the whole song before anything is written.
  ASSERT_TRUE(e2e::WriteFileBytes(folder_ + "\\test.wav", {'o', 'l', 'd'}));
  ExpectRefused(Convert(RingtoneM4r, 63, 437), "Warning", TooLongMessage(RingtoneM4r));
  EXPECT_FALSE(e2e::FileExists(folder_ + "\\test.wav"));
}

TEST_F(ConvertSelectionTest, WavPhoneGetsTheTelephoneClipAndTheHundredKilobyteRule) {
  // The worked example: 22,884 to 4,900,000 of 44100 Hz stereo is 432 KB at 8000 Hz mono.
  std::vector<SeenDialog> boxes = Convert(RingtoneWav, 64, 281);
  ExpectRefused(boxes, "Warning",
                "Sorry,ringtones greater than 100KB are not \nallowed for compatibility reasons. "
                "Please choose a shorter clip\n size and convert again, and then click upload:\n "
                "Current Clip Size: 432KB");
  Bytes wav = File("test.wav");  // the over-size file stays
  EXPECT_EQ(Le32At(wav, 40), 2 * PcmResampler::TargetFrames((4900000 - 22884) / 4, 44100, 8000));

  // A small clip is accepted.
  ExpectAccepted(Convert(RingtoneWav, 64, 74), "15KB");
  wav = File("test.wav");
  EXPECT_EQ(Le32At(wav, 20 + 4), 8000u);
  EXPECT_EQ(wav[22], 1);
  EXPECT_EQ(Le32At(wav, 40), 2 * PcmResampler::TargetFrames((200000 - 22884) / 4, 44100, 8000));
}

TEST_F(ConvertSelectionTest, HundredKilobytesPassAndTheNextKilobyteIsRefused) {
  Install("encode_tool_double.exe", "wav2amr.exe");
  struct Case { int bytes; bool accepted; const char* text; };
  for (const Case& c : {Case{102400, true, "100KB"}, Case{103423, true, "100KB"},
                        Case{103424, false, "Current Clip Size: 101KB"}}) {
    SCOPED_TRACE(c.bytes);
    SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", ("size:" + std::to_string(c.bytes)).c_str());
    std::vector<SeenDialog> boxes = Convert(RingtoneAmr, 64, 74);
    if (c.accepted) ExpectAccepted(boxes, c.text);
    else ExpectRefused(boxes, "Warning", c.text);
  }
  SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", nullptr);
}

TEST_F(ConvertSelectionTest, QcpAndMmfThroughTheirLibraries) {
  Install("encode_ringq_double.dll", "ringq.dll");
  Install("encode_ringm_double.dll", "ringm.dll");
  ExpectAccepted(Convert(RingtoneQcp, 64, 74), "15KB");  // the stand-in adds 12 bytes
  EXPECT_EQ(File("new.qcp").size(), File("test.wav").size() + 12);
  ExpectAccepted(Convert(RingtoneMmf, 64, 74), "15KB");
  EXPECT_EQ(File("test.mmf").size(), File("test.wav").size() + 4);
}

TEST_F(ConvertSelectionTest, AnEncoderThatLeavesNoRingtoneIsAFailureNamedToTheUser) {
  // An old a.amr from an earlier conversion must not pass for this one.
  ASSERT_TRUE(e2e::WriteFileBytes(folder_ + "\\a.amr", Bytes(5000, 1)));
  ExpectRefused(Convert(RingtoneAmr, 64, 74), "Error", "wav2amr.exe");  // not even there
  EXPECT_FALSE(e2e::FileExists(folder_ + "\\a.amr"));

  Install("encode_tool_double.exe", "wav2amr.exe");
  for (const char* mode : {"nooutput", "empty"}) {
    SCOPED_TRACE(mode);
    SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", mode);
    ExpectRefused(Convert(RingtoneAmr, 64, 74), "Error", "a.amr");
  }
  SetEnvironmentVariableA("QV_TOOL_DOUBLE_MODE", nullptr);

  // Lame is missing: the message names it.
  ExpectRefused(Convert(RingtoneMp3, 64, 74), "Error", "lame.exe");
  // A library that fails says so itself, once.
  Install("encode_ringm_double.dll", "ringm.dll");
  SetEnvironmentVariableA("QV_WSC_DOUBLE_MODE", "fail");
  ExpectRefused(Convert(RingtoneMmf, 64, 74), ExePath(), "couldnt' convert to mmf");
  SetEnvironmentVariableA("QV_WSC_DOUBLE_MODE", nullptr);
  Install("encode_ringq_double.dll", "ringq.dll");
  SetEnvironmentVariableA("QV_QPL_DOUBLE_MODE", "no-output");
  ExpectRefused(Convert(RingtoneQcp, 64, 74), "Error", "ringq.dll");
  SetEnvironmentVariableA("QV_QPL_DOUBLE_MODE", "convert-fails");
  ExpectRefused(Convert(RingtoneQcp, 64, 74), "Error", "Conversion failed!");
  SetEnvironmentVariableA("QV_QPL_DOUBLE_MODE", nullptr);
  // A format value that no encoder has.
  ExpectRefused(Convert(7, 64, 74), "Error", "format");
}

}  // namespace
