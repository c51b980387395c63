// The upload request and the upload worker, end to end against the local server: the fields
// the service gets, the user's notices and the session flags.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/upload_worker.h"
#include "app/worker_threads.h"
#include "delivery/upload_request.h"
#include "session/ringtone_format.h"
#include "session/session_state.h"
#include "session/user_profile.h"
#include "tests/win/delivery_test_support.h"

namespace {

const char ErrorText[] = "We are sorry, we were unable to upload your ringtone, please try again";
const char SuccessText[] = "The RingTone has successfully been sent to your phone.";

using UploadTest = DeliveryTest;

TestServerReply Answer(int status, const std::string& body) {
  TestServerReply reply;
  reply.status = status;
  reply.body = body;
  return reply;
}

// The parts of the one request received.
std::vector<BodyPart> PartsOf(const RecordedRequest& request) {
  std::vector<BodyPart> parts;
  EXPECT_TRUE(SplitMultipart(request.body, BoundaryOf(request.Header("Content-Type")), &parts));
  return parts;
}

bool Upload(const char* title, int32_t format = RingtoneAmr) {
  char song[64] = {};
  std::strncpy(song, title, sizeof song - 1);
  return BuildAndSendUpload("1234.mp3", "5551234567", song, nullptr, 17, 42, "2.0", format);
}

TEST_F(UploadTest, SendsTheEightFieldsInOrderThenTheRingtone) {
  std::string ringtone = PatternBytes(4321, 11);
  WriteBytes(folder + "a.amr", ringtone);
  char title[64] = "Word & Word?+ 100%=\"\xE9\".mp3";
  EXPECT_TRUE(BuildAndSendUpload("1234.mp3", "5551234567", title, nullptr, 17, -42, "", RingtoneAmr));
  EXPECT_STREQ(title, "Word___Word___100%=\"\xE9\".mp3");  // cleaned in place

  RecordedRequest request = OnlyRequest();
  EXPECT_NE(request.RequestLine().find("/ringtones/upload2.php"), std::string::npos);
  std::vector<BodyPart> parts = PartsOf(request);
  std::vector<std::pair<std::string, std::string>> expected = {
      {"sms", "5551234567"}, {"file_name", "1234.mp3"}, {"song_name", title},
      {"carrier_index", "17"}, {"phone_id", "-42"}, {"version", ""}, {"serial", "0"},
      {"file_size", "4321"}};
  ASSERT_EQ(parts.size(), expected.size() + 1);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(parts[i].disposition, "form-data; name=\"" + expected[i].first + "\"");
    EXPECT_EQ(parts[i].contentType, "");
    EXPECT_EQ(parts[i].data, expected[i].second) << expected[i].first;
  }
  EXPECT_EQ(parts[8].disposition, "form-data; name=\"file_data\"; filename=\"a.amr\"");
  EXPECT_EQ(parts[8].contentType, "amr");
  EXPECT_EQ(parts[8].data, ringtone);
  ASSERT_EQ(RecordedNotices().size(), 1u);
  EXPECT_EQ(RecordedNotices()[0].text, SuccessText);
}

TEST_F(UploadTest, TheUserHearsOfEveryOutcome) {
  WriteBytes(folder + "a.amr", "ringtone");
  struct Case {
    TestServerReply reply;
    bool delivered;
    const char* notice;  // nullptr: nothing shown
  };
  TestServerReply silent;
  silent.mode = TestServerReply::NeverAnswer;
  TestServerReply reset;
  reset.mode = TestServerReply::ResetMidBody;
  reset.resetAfter = 10;
  std::vector<Case> cases = {
      {Answer(200, "  Success"), true, SuccessText},
      {Answer(200, "error"), false, ErrorText},
      {Answer(200, "success\r\n"), true, nullptr},
      {Answer(200, "Finish at http://quavella.example/pay?id=7 please"), true,
       "http://quavella.example/pay?id=7"},  // opened, caption ""
      {Answer(200, "file:///c:/windows/notepad.exe http"), true, nullptr},
      {Answer(500, ""), false, ErrorText},
      {Answer(500, "error"), false, ErrorText},  // once, not twice
      {silent, false, ErrorText},
      {reset, false, ErrorText},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    RecordedNotices().clear();
    server.SetReply(cases[i].reply);
    EXPECT_EQ(Upload("t.mp3"), cases[i].delivered) << "case " << i;
    if (cases[i].notice) {
      ASSERT_EQ(RecordedNotices().size(), 1u) << "case " << i;
      EXPECT_EQ(RecordedNotices()[0].text, cases[i].notice) << "case " << i;
    } else {
      EXPECT_TRUE(RecordedNotices().empty()) << "case " << i;
    }
  }

  RecordedNotices().clear();
  ASSERT_TRUE(RouteInternetThrough(TestServer::UnusedPort()));
  EXPECT_FALSE(Upload("t.mp3"));
  ASSERT_EQ(RecordedNotices().size(), 1u);
  EXPECT_EQ(RecordedNotices()[0].caption, "Upload error");
}

TEST_F(UploadTest, NothingIsSentForAMissingFileOrAnUnknownFormat) {
  EXPECT_FALSE(Upload("t.mp3", RingtoneQcp));  // no new.qcp here
  EXPECT_FALSE(Upload("t.mp3", 7));
  EXPECT_EQ(server.Connections(), 0);
  ASSERT_EQ(RecordedNotices().size(), 2u);
  EXPECT_EQ(RecordedNotices()[1].text, ErrorText);
}

// The worker runs here on the test's thread, with no window: the handles are null.
class WorkerTest : public DeliveryTest {
 protected:
  void SetUp() override {
    DeliveryTest::SetUp();
    std::strncpy(sessionState.startDirectory, folder.c_str(), sizeof sessionState.startDirectory - 1);
    std::strcpy(sessionState.sourceTitle, "My Song & You.mp3");
    std::strcpy(userProfile.phoneNumber, "5551234567");
    std::strcpy(userProfile.versionText, "2.0");
    userProfile.carrierId = 31;
    userProfile.phoneId = 208;
    sessionState.converted = true;
    sessionState.uploaded = false;
    sessionState.uploadBusy = true;
  }
  // Run the worker from another folder: it must use the working folder itself.
  void RunWorker() {
    SetCurrentDirectoryA("C:\\");
    UploadWorker(nullptr);
  }
};

TEST_F(WorkerTest, UploadsTheRingtoneAndMarksTheSessionUploaded) {
  WriteBytes(folder + "test.wav", PatternBytes(2048, 1));
  sessionState.outputFormat = RingtoneWav;
  RunWorker();
  EXPECT_TRUE(sessionState.uploaded);
  EXPECT_FALSE(sessionState.uploadBusy);
  // The worker turns spaces into "_", the request cleans the rest, both in place.
  EXPECT_STREQ(sessionState.sourceTitle, "My_Song___You.mp3");

  std::vector<BodyPart> parts = PartsOf(OnlyRequest());
  ASSERT_EQ(parts.size(), 9u);
  const std::string& remote = parts[1].data;
  ASSERT_GT(remote.size(), 4u);
  EXPECT_EQ(remote.substr(remote.size() - 4), ".mp3");  // whatever the format
  int n = std::atoi(remote.c_str());
  EXPECT_TRUE(n >= 0 && n <= 32767 && remote == std::to_string(n) + ".mp3") << remote;
  EXPECT_EQ(parts[2].data, "My_Song___You.mp3");
  EXPECT_EQ(parts[3].data, "31");
  EXPECT_EQ(parts[4].data, "208");
  EXPECT_EQ(parts[5].data, "2.0");
  EXPECT_EQ(parts[8].contentType, "wav");
}

TEST_F(WorkerTest, ARingtoneOver100KBIsRefusedButMmfIsNeverMeasured) {
  WriteBytes(folder + "a.amr", std::string(100 * 1024 + 1024, 'x'));  // 101 KB
  sessionState.outputFormat = RingtoneAmr;
  RunWorker();
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_FALSE(sessionState.converted);
  EXPECT_FALSE(sessionState.uploaded);
  EXPECT_FALSE(sessionState.uploadBusy);
  ASSERT_EQ(RecordedNotices().size(), 1u);
  EXPECT_EQ(RecordedNotices()[0].caption, "Warning");
  EXPECT_EQ(RecordedNotices()[0].text,
            "Sorry,ringtones greater than 100KB are not \nallowed for compatibility reasons. "
            "Please choose a shorter clip\n size and convert again, and then click upload:\n "
            "Current Clip Size: 101KB");

  RecordedNotices().clear();
  WriteBytes(folder + "a.amr", std::string(100 * 1024 + 1023, 'x'));  // still 100 KB
  sessionState.uploadBusy = true;
  RunWorker();
  EXPECT_TRUE(sessionState.uploaded);

  WriteBytes(folder + "test.mmf", std::string(200 * 1024, 'x'));
  sessionState.outputFormat = RingtoneMmf;
  sessionState.uploadBusy = true;
  RunWorker();
  EXPECT_EQ(server.Requests().size(), 2u);
}

TEST_F(WorkerTest, AFailedUploadIsToldAndNotMarkedUploaded) {
  WriteBytes(folder + "a.amr", "ringtone");
  sessionState.outputFormat = RingtoneAmr;
  sessionState.uploaded = true;  // from an earlier upload
  server.SetReply(Answer(500, ""));
  RunWorker();
  EXPECT_FALSE(sessionState.uploaded);
  EXPECT_FALSE(sessionState.uploadBusy);
  ASSERT_EQ(RecordedNotices().size(), 1u);
  EXPECT_EQ(RecordedNotices()[0].text, ErrorText);
}

TEST_F(WorkerTest, AnUploadWhoseThreadCannotStartLeavesTheWindowUsable) {
  WriteBytes(folder + "a.amr", "ringtone");
  sessionState.outputFormat = RingtoneAmr;
  sessionState.uploadBusy = false;
  HWND button = CreateWindowExA(0, "BUTTON", "Upload", WS_POPUP, 0, 0, 81, 27, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(button, nullptr);
  sessionState.uploadButton = button;

  WorkerThreads failing([](LPTHREAD_START_ROUTINE, DWORD*) -> HANDLE { return nullptr; });
  EXPECT_FALSE(StartUpload(failing));
  // Upload can be pressed again, and Browse is not refused for an upload that never ran.
  EXPECT_FALSE(sessionState.uploadBusy);
  EXPECT_TRUE(IsWindowEnabled(button));
  ASSERT_EQ(RecordedNotices().size(), 1u);
  EXPECT_EQ(RecordedNotices()[0].text,
            "Sorry, Quavella could not start the upload. Please try again.");
  EXPECT_EQ(server.Connections(), 0);

  // With threads that start, the upload runs and ends as always.
  RecordedNotices().clear();
  WorkerThreads threads;
  EXPECT_TRUE(StartUpload(threads));
  EXPECT_FALSE(IsWindowEnabled(button));
  // The worker enables the button through this thread's messages: serve them while waiting.
  for (DWORD start = GetTickCount(); threads.Running() > 0 && GetTickCount() - start < 30000;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  EXPECT_EQ(threads.Running(), 0);
  EXPECT_FALSE(sessionState.uploadBusy);
  EXPECT_TRUE(sessionState.uploaded);
  EXPECT_TRUE(IsWindowEnabled(button));
  sessionState.uploadButton = nullptr;
  DestroyWindow(button);
}

}  // namespace
