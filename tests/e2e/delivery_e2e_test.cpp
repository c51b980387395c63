// Upload through the real window: after Convert, Upload sends one POST to the service
// stand-in (reached through the prefix's proxy setting); the replies and faults reach the user.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdConvert = 5002, IdUpload = 5011, IdSizeEdit = 6020;
const char SuccessText[] = "The RingTone has successfully been sent to your phone.";
const char ErrorText[] = "We are sorry, we were unable to upload your ringtone, please try again";

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string TextOf(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string HeaderOf(const std::string& head, const std::string& name) {
  size_t at = head.find("\r\n" + name + ": ");
  if (at == std::string::npos) return "";
  size_t from = at + 4 + name.size();
  return head.substr(from, head.find("\r\n", from) - from);
}

struct Part {
  std::string disposition, contentType, data;
};

// The parts of a multipart body, or an empty list when the layout is broken.
std::vector<Part> PartsOf(const std::string& body, const std::string& boundary) {
  std::vector<Part> parts;
  const std::string delimiter = "--" + boundary;
  size_t at = 0;
  while (body.compare(at, delimiter.size() + 4, delimiter + "--\r\n") != 0) {
    if (body.compare(at, delimiter.size() + 2, delimiter + "\r\n") != 0) return {};
    size_t headEnd = body.find("\r\n\r\n", at);
    size_t next = body.find("\r\n" + delimiter, headEnd);
    if (headEnd == std::string::npos || next == std::string::npos) return {};
    std::string head = body.substr(at, headEnd + 2 - at);
    Part part;
    part.disposition = HeaderOf(head, "Content-Disposition");
    part.contentType = HeaderOf(head, "Content-Type");
    part.data = body.substr(headEnd + 4, next - headEnd - 4);
    parts.push_back(part);
    at = next + 2;
  }
  return at + delimiter.size() + 4 == body.size() ? parts : std::vector<Part>{};
}

// Imports a three-second song and converts a clip of it into a WAV ringtone.
bool ImportAndConvert(App& app) {
  std::vector<uint8_t> song = MakeWav(44100, 2, 3 * 44100, [](uint32_t i, int) {
    return static_cast<int16_t>(8000 * std::sin(i * 2 * 3.14159265 * 440 / 44100));
  });
  std::string folder = app.StartFolder() + "\\songs";
  CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\My Song & You.wav";
  if (!WriteFileBytes(path, song) || !app.BrowseTo(path)) return false;
  if (!WaitUntil([&] {
        return ReadFileBytes(app.WorkingFile("d.wav")).size() == song.size() &&
               app.ProgressPosition() == app.ProgressRange().second;
      }, 15000))
    return false;
  app.Sync();
  app.Drag(120, 320);
  app.Command(IdConvert);
  return WaitUntil([&] { return FileExists(app.WorkingFile("test.wav")); }, 15000) &&
         WaitUntil([&] { return app.ChildText(IdSizeEdit).find("KB") != std::string::npos; }, 15000);
}

class UploadE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    standIn = StandIn::OfSession();
    if (standIn.folder.empty()) GTEST_SKIP() << "run inside the test session (stand-in)";
    standIn.Answer("success");
    // A server that never answers is given up on after two seconds here.
    SetEnvironmentVariableA("QV_UPLOAD_TIMEOUT_MS", "2000");
    LaunchOptions options;
    // A real pair of the catalogue (Cingular, Motorola MPx200 with WAV ringtones), so that the
    // recorded request is one the service takes; the list positions must not be sent.
    options.profile.type = 2;  // wav
    options.profile.carrier = 1;
    options.profile.carrierItem = 2;
    options.profile.phone = 2;
    options.profile.phoneItem = 28;
    ASSERT_TRUE(app.Launch(options));
    ASSERT_TRUE(ImportAndConvert(app));
  }
  void TearDown() override {
    if (!standIn.folder.empty()) standIn.Answer("success");
    SetEnvironmentVariableA("QV_UPLOAD_TIMEOUT_MS", nullptr);
  }

  // Clicks Upload and waits for the box with `caption` (or, with an empty caption, checks
  // that none comes); then waits until the upload has ended. Returns the box's text.
  std::string UploadAndTakeBox(const std::string& caption) {
    app.Command(IdUpload);
    std::string text;
    if (!caption.empty()) text = TakeMessageBox(app.ProcessId(), caption, 15000);
    EXPECT_TRUE(WaitUntil([&] { return app.IsEnabled(IdUpload); }, 15000))
        << "the Upload button did not come back";
    EXPECT_TRUE(WaitUntil([&] { return app.ProgressPosition() == app.ProgressRange().second; }, 5000))
        << "the bar is not full";
    if (caption.empty()) {
      EXPECT_TRUE(NoDialogFor(app.ProcessId(), 500));
    }
    return text;
  }

  App app;
  StandIn standIn;
};

TEST_F(UploadE2e, OnePostCarriesTheProfileTheCleanedTitleAndTheRingtone) {
  size_t before = standIn.Requests().size();
  EXPECT_EQ(UploadAndTakeBox("RingTone Upload"), SuccessText);
  Screenshot("upload-success");
  std::vector<std::string> requests = standIn.Requests();
  ASSERT_EQ(requests.size(), before + 1) << "one POST per upload";
  const std::string& raw = requests.back();
  // The exact bytes, for the service's tests (tests/service/fixtures/upload-wav.raw).
  WriteFileBytes(ArtefactDir() + "\\upload-request.raw", std::vector<uint8_t>(raw.begin(), raw.end()));
  size_t headEnd = raw.find("\r\n\r\n");
  ASSERT_NE(headEnd, std::string::npos);
  std::string head = raw.substr(0, headEnd + 2);
  std::string body = raw.substr(headEnd + 4);

  EXPECT_EQ(head.substr(0, head.find("\r\n")),
            std::string("POST http://") + QV_SERVICE_HOST + ":80/ringtones/upload2.php HTTP/1.1");
  EXPECT_EQ(HeaderOf(head, "User-Agent"), "WinInetPost/0.2");
  std::string contentType = HeaderOf(head, "Content-Type");
  ASSERT_EQ(contentType.rfind("multipart/form-data; boundary=", 0), 0u) << contentType;
  std::string boundary = contentType.substr(30);
  EXPECT_EQ(boundary.size(), 39u);
  EXPECT_EQ(boundary.substr(0, 27), std::string(27, '-'));
  EXPECT_EQ(boundary.find_first_not_of("0123456789ABCDEF", 27), std::string::npos) << boundary;
  EXPECT_EQ(HeaderOf(head, "Content-Length"), std::to_string(body.size()));

  std::string ringtone = TextOf(ReadFileBytes(app.WorkingFile("test.wav")));
  ASSERT_FALSE(ringtone.empty());
  std::vector<Part> parts = PartsOf(body, boundary);
  ASSERT_EQ(parts.size(), 9u) << "eight fields and the file";
  const char* names[] = {"sms", "file_name", "song_name", "carrier_index", "phone_id",
                         "version", "serial", "file_size"};
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(parts[i].disposition, std::string("form-data; name=\"") + names[i] + "\"");
  EXPECT_EQ(parts[0].data, "5551234567");
  const std::string& remote = parts[1].data;
  EXPECT_TRUE(remote.size() > 4 && remote.size() <= 9 &&
              remote.find_first_not_of("0123456789") == remote.size() - 4 &&
              remote.substr(remote.size() - 4) == ".mp3")
      << remote;
  EXPECT_EQ(parts[2].data, "My_Song___You.wav");
  EXPECT_EQ(parts[3].data, "1");
  EXPECT_EQ(parts[4].data, "2");
  EXPECT_EQ(parts[5].data, "2.0");
  EXPECT_EQ(parts[6].data, "0");
  EXPECT_EQ(parts[7].data, std::to_string(ringtone.size()));
  EXPECT_EQ(parts[8].disposition, "form-data; name=\"file_data\"; filename=\"test.wav\"");
  EXPECT_EQ(parts[8].contentType, "wav");
  EXPECT_TRUE(parts[8].data == ringtone) << "the ringtone's bytes";
}

TEST_F(UploadE2e, RepliesAndTwoUploadsInARow) {
  size_t before = standIn.Requests().size();
  standIn.Answer("error");
  EXPECT_EQ(UploadAndTakeBox("Upload error"), ErrorText);
  standIn.Answer("\r\n  SUCCESS");
  EXPECT_EQ(UploadAndTakeBox("RingTone Upload"), SuccessText);
  standIn.Answer("success\r\n");
  UploadAndTakeBox("");
  EXPECT_EQ(standIn.Requests().size(), before + 3) << "every upload arrives";

  // A reply holding a web address opens it, through the prefix's browser setting.
  std::string log = Env("QV_BROWSER_LOG");
  if (log.empty()) GTEST_SKIP() << "QV_BROWSER_LOG is not set";
  log = WindowsPath(log);
  size_t logged = ReadFileBytes(log).size();
  std::string url = std::string("http://") + QV_SERVICE_HOST + "/pay.php?id=7";
  standIn.Answer("Please finish at " + url + " thank you");
  UploadAndTakeBox("");
  std::string opened;
  EXPECT_TRUE(WaitUntil([&] {
    std::string text = TextOf(ReadFileBytes(log));
    if (text.size() <= logged) return false;
    opened = text.substr(logged);
    return opened.find('\n') != std::string::npos;
  }, 15000));
  EXPECT_EQ(opened, url + "\n");
}

TEST_F(UploadE2e, FaultsAreToldAndTheWindowRecovers) {
  // The box as the user sees it.
  standIn.Answer("", "status500", 500);
  app.Command(IdUpload);
  HWND box = WaitForDialog(app.ProcessId(), "Upload error", 15000);
  ASSERT_NE(box, nullptr);
  Sleep(500);  // let the box paint before the picture is taken
  Screenshot("upload-error-box");
  EXPECT_EQ(MessageBoxText(box), ErrorText);
  PressButton(box);
  EXPECT_TRUE(WaitUntil([&] { return app.IsEnabled(IdUpload); }, 15000));

  for (const char* fault : {"status500", "reset", "close", "hang"}) {
    SCOPED_TRACE(fault);
    standIn.Answer("", fault, 500);
    EXPECT_EQ(UploadAndTakeBox("Upload error"), ErrorText);
  }
  Screenshot("upload-after-faults");
  // Still able to upload.
  standIn.Answer("success");
  EXPECT_EQ(UploadAndTakeBox("RingTone Upload"), SuccessText);
}

TEST_F(UploadE2e, ServerDownIsTold) {
  // Point the proxy setting at a closed port for this one upload (end-to-end tests run alone).
  const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  HKEY settings;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &settings), ERROR_SUCCESS);
  char saved[64] = {};
  DWORD size = sizeof saved - 1;
  RegQueryValueExA(settings, "ProxyServer", nullptr, nullptr, reinterpret_cast<BYTE*>(saved), &size);
  const char closed[] = "127.0.0.1:9";  // discard: nothing listens there
  RegSetValueExA(settings, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(closed),
                 sizeof closed);
  std::string text = UploadAndTakeBox("Upload error");
  RegSetValueExA(settings, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(saved),
                 static_cast<DWORD>(std::strlen(saved) + 1));
  RegCloseKey(settings);
  EXPECT_EQ(text, ErrorText);
}

TEST_F(UploadE2e, ConvertIsRefusedWhileTheUploadSendsTheRingtone) {
  const std::vector<uint8_t> ringtone = ReadFileBytes(app.WorkingFile("test.wav"));
  size_t before = standIn.Requests().size();
  standIn.Answer("", "hang");
  app.Command(IdUpload);
  ASSERT_TRUE(WaitUntil([&] { return standIn.Requests().size() > before; }, 15000));
  for (int command : {IdConvert, 104}) {  // Convert, and Alt+/
    SCOPED_TRACE(command);
    app.Command(command);
    EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"),
              "Please wait until the upload has finished.");
  }
  EXPECT_EQ(ReadFileBytes(app.WorkingFile("test.wav")), ringtone);
  // The upload gives up on the silent server and says so; then Convert works again.
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Upload error", 15000), ErrorText);
  ASSERT_TRUE(WaitUntil([&] { return app.IsEnabled(IdUpload); }, 15000));
  app.Command(IdConvert);
  app.Sync();
  EXPECT_TRUE(NoDialogFor(app.ProcessId(), 500));
  EXPECT_EQ(ReadFileBytes(app.WorkingFile("test.wav")), ringtone);
}

// Exit while the service does not answer: the upload cannot be called back, so the program ends
// without waiting for the network (a minute here), and cleanly.
TEST(UploadExit, ExitDuringAnUnansweredUploadEndsTheProgram) {
  StandIn standIn = StandIn::OfSession();
  if (standIn.folder.empty()) GTEST_SKIP() << "run inside the test session (stand-in)";
  SetEnvironmentVariableA("QV_UPLOAD_TIMEOUT_MS", "60000");
  App app;
  LaunchOptions options;
  options.profile.type = 2;
  ASSERT_TRUE(app.Launch(options));
  SetEnvironmentVariableA("QV_UPLOAD_TIMEOUT_MS", nullptr);
  ASSERT_TRUE(ImportAndConvert(app));
  size_t before = standIn.Requests().size();
  standIn.Answer("", "hang");
  app.Command(IdUpload);
  ASSERT_TRUE(WaitUntil([&] { return standIn.Requests().size() > before; }, 15000));
  app.Command(5005);
  // The upload would wait a minute for its answer; the program ends without waiting for it.
  EXPECT_EQ(app.WaitForExit(20000), 0);
  EXPECT_FALSE(FileExists(app.WorkingFile("test.wav")));
  EXPECT_FALSE(FileExists(app.WorkingFile("d.wav")));
  standIn.Answer("success");
}

}  // namespace
