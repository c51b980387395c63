// The wrappers of the outside encoders against stand-ins: the process runner, the QCP
// library's objects and the MMF library's conversion call.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "encode/convert_to_qcp.h"
#include "encode/mmf_call.h"
#include "encode/mmf_converter.h"
#include "encode/run_tool.h"
#include "session/session_state.h"
#include "tests/e2e/driver.h"
#include "tests/win/encode_test_support.h"

using encodetest::DialogCatcher;
using encodetest::SeenDialog;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

std::string ExePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

// Sets an environment variable for the scope (the stand-ins read their mode from it).
class EnvVar {
 public:
  EnvVar(const char* name, const std::string& value) : name_(name) {
    SetEnvironmentVariableA(name, value.c_str());
  }
  ~EnvVar() { SetEnvironmentVariableA(name_, nullptr); }

 private:
  const char* name_;
};

TEST(RunTool, QuotedPathInAStartFolderWithSpacesHiddenAndWaitedFor) {
  const std::string folder = e2e::FreshFolder("run tool in a start folder with spaces");
  const std::string elsewhere = e2e::FreshFolder("run tool elsewhere");
  ASSERT_TRUE(encodetest::InstallDouble("encode_tool_double.exe", folder, "wav2amr.exe"));
  ASSERT_TRUE(e2e::WriteFileBytes(folder + "\\test.wav", {'R', 'I', 'F', 'F', 1, 2, 3}));
  // The program must run in startDirectory even when the process is elsewhere.
  encodetest::StartFolder cwd(elsewhere);
  lstrcpynA(sessionState.startDirectory, folder.c_str(), sizeof sessionState.startDirectory);

  const std::string program = folder + "\\wav2amr.exe";
  ASSERT_TRUE(RunTool(program.c_str(), "wav2amr test.wav a.amr MR67"));

  // Everything the stand-in writes, it writes after a pause: RunTool waited for it.
  std::vector<std::string> report = Lines(encodetest::ReadText(folder + "\\tool_report.txt"));
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(report[0], "commandline=\"" + program + "\"  wav2amr test.wav a.amr MR67");
  EXPECT_EQ(_stricmp(report[1].c_str(), ("directory=" + folder).c_str()), 0) << report[1];
  EXPECT_EQ(report[3], "startflags=1 show=0");  // STARTF_USESHOWWINDOW, SW_HIDE
  EXPECT_EQ(report[4], "done");
  EXPECT_EQ(e2e::ReadFileBytes(folder + "\\a.amr"), e2e::ReadFileBytes(folder + "\\test.wav"));
  EXPECT_FALSE(e2e::FileExists(elsewhere + "\\a.amr"));
}

TEST(RunTool, AProgramThatIsNotThereIsNotStarted) {
  const std::string folder = e2e::FreshFolder("run tool missing");
  encodetest::StartFolder cwd(folder);
  EXPECT_FALSE(RunTool((folder + "\\lame.exe").c_str(), "test.wav a.mp3 -b 48"));
}

class ConvertToQcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = e2e::FreshFolder("qcp " + e2e::CurrentTestName());
    ASSERT_TRUE(encodetest::InstallDouble("encode_ringq_double.dll", folder_, "ringq.dll"));
    ASSERT_TRUE(e2e::WriteFileBytes(folder_ + "\\test.wav", std::vector<uint8_t>(500, 7)));
    log_ = folder_ + "\\qpl.log";
    SetEnvironmentVariableA("QV_QPL_DOUBLE_LOG", log_.c_str());
    sessionState.converted = false;
  }
  void TearDown() override {
    SetEnvironmentVariableA("QV_QPL_DOUBLE_LOG", nullptr);
    SetEnvironmentVariableA("QV_QPL_DOUBLE_MODE", nullptr);
  }
  // Runs the wrapper in the folder and returns the boxes it showed.
  std::vector<SeenDialog> Convert(const std::string& library, bool* result) {
    encodetest::StartFolder cwd(folder_);
    DialogCatcher catcher;
    *result = ConvertToQcp("test.wav", "new.qcp", library.c_str());
    return catcher.Stop();
  }
  std::vector<std::string> Log() { return Lines(encodetest::ReadText(log_)); }
  std::string folder_, log_;
};

const char ClassText[] = "{EEDAC6E0-BA67-11D4-94A2-0008C7377505}";
const char ConvertText[] = "{EEDAC6E1-BA67-11D4-94A2-0008C7377505}";
const char QcpFileText[] = "{EEDAC6E2-BA67-11D4-94A2-0008C7377505}";

TEST_F(ConvertToQcpTest, CreatesBothObjectsConvertsChecksTheFileAndReleasesEverything) {
  bool ok = false;
  std::vector<SeenDialog> boxes = Convert(folder_ + "\\ringq.dll", &ok);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(sessionState.converted);
  std::vector<std::string> expected = {
      std::string("create ") + ClassText + " " + ConvertText,
      std::string("create ") + ClassText + " " + QcpFileText,
      "convert test.wav new.qcp 1",
      "open new.qcp 1 found",
      "close",
  };
  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), expected.size() + 2);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 5), expected);
  EXPECT_EQ(log[5], "release qcpfile 0");
  EXPECT_EQ(log[6], "release convert 0");
  EXPECT_TRUE(e2e::FileExists(folder_ + "\\new.qcp"));
}

TEST_F(ConvertToQcpTest, EachFailureHasItsErrorBoxAndReleasesWhatWasMade) {
  struct Case {
    std::string library, mode, message;
    std::vector<std::string> releases;
  };
  const Case cases[] = {
      {"no-such-library.dll", "", "Can't find Qpl.dll\n", {}},
      {"kernel32.dll", "", "Can't get QPLCreateInstance\n", {}},
      {"ringq.dll", "no-convert", "Can't find IQPLConvertFile\n", {}},
      {"ringq.dll", "no-qcpfile", "Can't find IQPLQcpFile\n", {"release convert 0"}},
      {"ringq.dll", "convert-fails", "Conversion failed!\n",
       {"release qcpfile 0", "release convert 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    DeleteFileA(log_.c_str());
    SetEnvironmentVariableA("QV_QPL_DOUBLE_MODE", c.mode.c_str());
    const std::string library = c.library == "ringq.dll" ? folder_ + "\\ringq.dll" : c.library;
    bool ok = true;
    std::vector<SeenDialog> boxes = Convert(library, &ok);
    EXPECT_FALSE(ok);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_EQ(boxes[0].text, c.message);
    EXPECT_FALSE(sessionState.converted);
    std::vector<std::string> releases;
    for (const std::string& line : Log())
      if (line.rfind("release", 0) == 0) releases.push_back(line);
    EXPECT_EQ(releases, c.releases);
  }
}

class MmfConverterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = e2e::FreshFolder("mmf " + e2e::CurrentTestName());
    inputFolder_ = folder_ + "\\clips in another folder";
    CreateDirectoryA(inputFolder_.c_str(), nullptr);
    ASSERT_TRUE(encodetest::InstallDouble("encode_ringm_double.dll", folder_, "ringm.dll"));
    input_.resize(3000);
    for (size_t i = 0; i < input_.size(); ++i) input_[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(e2e::WriteFileBytes(inputFolder_ + "\\my clip.wav", input_));
    log_ = folder_ + "\\wsc.log";
    SetEnvironmentVariableA("QV_WSC_DOUBLE_LOG", log_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableA("QV_WSC_DOUBLE_LOG", nullptr);
    SetEnvironmentVariableA("QV_WSC_DOUBLE_MODE", nullptr);
  }
  bool Convert(const std::string& input, std::vector<SeenDialog>* boxes,
               const std::string& library = "") {
    encodetest::StartFolder cwd(folder_);  // the input is elsewhere
    DialogCatcher catcher;
    MmfConverter converter(library.empty() ? (folder_ + "\\ringm.dll").c_str() : library.c_str());
    bool ok = converter.Convert(input.c_str());
    *boxes = catcher.Stop();
    return ok;
  }
  std::string folder_, inputFolder_, log_;
  std::vector<uint8_t> input_;
};

uint32_t Fnv(const std::vector<uint8_t>& b) {
  uint32_t h = 2166136261u;
  for (uint8_t c : b) h = (h ^ c) * 16777619u;
  return h;
}

TEST_F(MmfConverterTest, GrowsFourfoldTwiceAndWritesBesideTheInput) {
  std::vector<SeenDialog> boxes;
  ASSERT_TRUE(Convert(inputFolder_ + "\\my clip.wav", &boxes));
  EXPECT_TRUE(boxes.empty());

  const uint32_t initial = (3000 + 1000) * 4;
  char checksum[16];
  std::snprintf(checksum, sizeof checksum, "%08x", Fnv(input_));
  std::vector<std::string> log = Lines(encodetest::ReadText(log_));
  ASSERT_EQ(log.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const uint32_t capacity = initial << (2 * i);  // x1, x4, x16
    EXPECT_EQ(log[i], "call " + std::to_string(i + 1) + " length 3000 capacity " +
                          std::to_string(capacity) +
                          " word 0x3002 first 0 second 248 texts empty work zero input " +
                          checksum);
  }
  std::vector<uint8_t> expected = {'M', 'M', 'M', 'D'};
  expected.insert(expected.end(), input_.begin(), input_.end());
  EXPECT_EQ(e2e::ReadFileBytes(inputFolder_ + "\\my clip.mmf"), expected);
  EXPECT_FALSE(e2e::FileExists(folder_ + "\\my clip.mmf"));
}

TEST_F(MmfConverterTest, FailuresGiveFalseAndTheirMessages) {
  std::vector<SeenDialog> boxes;
  // Unreadable input: the application box, captioned with the program's path.
  EXPECT_FALSE(Convert(inputFolder_ + "\\missing.wav", &boxes));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Could not open input file");
  EXPECT_EQ(boxes[0].caption, ExePath());

  // The library fails or answers nonsense: false, no box, no output.
  for (const char* mode : {"fail", "nonsense"}) {
    SetEnvironmentVariableA("QV_WSC_DOUBLE_MODE", mode);
    EXPECT_FALSE(Convert(inputFolder_ + "\\my clip.wav", &boxes)) << mode;
    EXPECT_TRUE(boxes.empty()) << mode;
    EXPECT_FALSE(e2e::FileExists(inputFolder_ + "\\my clip.mmf")) << mode;
  }
  SetEnvironmentVariableA("QV_WSC_DOUBLE_MODE", nullptr);

  // No library, or a library without the export: false without a call.
  DeleteFileA(log_.c_str());
  EXPECT_FALSE(Convert(inputFolder_ + "\\my clip.wav", &boxes, "no-such-ringm.dll"));
  EXPECT_FALSE(Convert(inputFolder_ + "\\my clip.wav", &boxes, "kernel32.dll"));
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(e2e::FileExists(log_));

  // The output cannot be created (a folder has its name).
  ASSERT_TRUE(CreateDirectoryA((inputFolder_ + "\\my clip.mmf").c_str(), nullptr));
  EXPECT_FALSE(Convert(inputFolder_ + "\\my clip.wav", &boxes));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Could not save file");
  EXPECT_EQ(boxes[0].caption, ExePath());
}

}  // namespace

namespace {

// The encoders that ship beside the program, each through its wrapper on a real clip, when
// the distribution folder has them.
TEST(ShippedEncoders, EachWrapperDrivesItsEncoder) {
  const std::string dist = e2e::DistDir();
  const std::string folder = e2e::FreshFolder("shipped encoders");
  encodetest::StartFolder cwd(folder);
  ASSERT_TRUE(e2e::WriteFileBytes(folder + "\\test.wav", e2e::MakeWav(8000, 1, 8000, [](uint32_t i, int) {
    return static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265358979 * 440 / 8000));
  })));
  auto has = [&](const char* name) { return e2e::FileExists(dist + "\\" + name); };
  auto starts = [&](const char* file, const std::string& magic, size_t at = 0) {
    std::vector<uint8_t> b = e2e::ReadFileBytes(folder + "\\" + file);
    return b.size() >= at + magic.size() && std::string(b.begin() + at, b.begin() + at + magic.size()) == magic;
  };
  int ran = 0;
  if (has("ringq.dll")) {
    DialogCatcher catcher;
    EXPECT_TRUE(ConvertToQcp("test.wav", "new.qcp", (dist + "\\ringq.dll").c_str()));
    EXPECT_TRUE(catcher.Stop().empty());
    EXPECT_TRUE(starts("new.qcp", "RIFF") && starts("new.qcp", "QLCM", 8));
    ++ran;
  }
  if (has("ringm.dll")) {
    MmfConverter converter((dist + "\\ringm.dll").c_str());
    EXPECT_TRUE(converter.Convert("test.wav"));
    EXPECT_TRUE(starts("test.mmf", "MMMD"));
    ++ran;
  }
  for (const char* tool : {"wav2amr.exe", "lame.exe"}) {
    if (!has(tool)) continue;
    ASSERT_TRUE(CopyFileA((dist + "\\" + tool).c_str(), (folder + "\\" + tool).c_str(), FALSE));
    const bool amr = std::string(tool) == "wav2amr.exe";
    EXPECT_TRUE(RunTool((folder + "\\" + tool).c_str(),
                        amr ? "wav2amr test.wav a.amr MR67" : "test.wav a.mp3 -b 48"));
    if (amr) EXPECT_TRUE(starts("a.amr", "#!AMR\n"));
    else EXPECT_GT(e2e::ReadFileBytes(folder + "\\a.mp3").size(), 1000u);
    ++ran;
  }
  if (ran == 0) GTEST_SKIP() << "no encoders in " << dist;
}

}  // namespace
