// The multipart poster over WinINet against a local server reached through the proxy setting.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "delivery/multipart_body.h"
#include "delivery/multipart_poster.h"
#include "delivery/reply_judging.h"
#include "delivery/upload_fields.h"
#include "tests/win/delivery_test_support.h"

namespace {

using PosterTest = DeliveryTest;

UploadForm FormFor(const std::string& path = "/ringtones/upload2.php") {
  UploadForm form;
  form.host = "quavella.example";
  form.path = path;
  return form;
}

TestServerReply Answer(int status, const std::string& body) {
  TestServerReply reply;
  reply.status = status;
  reply.body = body;
  return reply;
}

// The body that the form should produce with the given boundary and file contents.
std::string ExpectedBody(const UploadForm& form, const std::string& boundary,
                         const std::vector<std::string>& contents) {
  std::string body;
  for (const BodyPiece& piece : PlanMultipartBody(form, boundary))
    body += piece.isFile ? contents.at(piece.fileIndex) : piece.bytes;
  return body;
}

bool IsBoundary(const std::string& b) {
  if (b.size() != BoundaryLength || b.compare(0, 27, std::string(27, '-')) != 0) return false;
  return b.find_first_not_of("0123456789ABCDEF", 27) == std::string::npos;
}

TEST_F(PosterTest, SendsTheRequestAndBodyByteForByte) {
  std::string ringtone = PatternBytes(20000, 3) + std::string("\0\r\n--", 5);  // > 2 chunks
  WriteBytes(folder + "a.amr", ringtone);
  UploadForm form = FormFor();
  form.AddFile("file_data", "a.amr", "amr");  // added first, sent last
  form.AddField("sms", "5551234567");
  form.AddField("song_name", "");
  form.AddField("version", "2.0");
  server.SetReply(Answer(200, "success"));

  PostResult result;
  EXPECT_EQ(Post(form, result), 0);
  EXPECT_EQ(result.statusCode, 200);
  RecordedRequest request = OnlyRequest();
  std::string line = request.RequestLine();
  EXPECT_EQ(line.substr(0, 5), "POST ");
  EXPECT_NE(line.find("quavella.example"), std::string::npos) << line;
  EXPECT_NE(line.find("/ringtones/upload2.php HTTP/1.1"), std::string::npos) << line;
  EXPECT_EQ(request.Header("User-Agent"), "WinInetPost/0.2");
  std::string contentType = request.Header("Content-Type");
  EXPECT_EQ(contentType.rfind("multipart/form-data; boundary=", 0), 0u) << contentType;
  std::string boundary = BoundaryOf(contentType);
  EXPECT_TRUE(IsBoundary(boundary)) << boundary;
  EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
  EXPECT_EQ(request.body, ExpectedBody(form, boundary, {ringtone}));
  EXPECT_EQ(request.Header("Cookie"), "");

  // The reply was read and judged.
  ASSERT_EQ(RecordedNotices().size(), 1u);
  EXPECT_EQ(RecordedNotices()[0].text, "The RingTone has successfully been sent to your phone.");
  EXPECT_EQ(RecordedNotices()[0].caption, "RingTone Upload");
  EXPECT_TRUE(result.reply.sawSuccess);
}

TEST_F(PosterTest, FieldsOnlyAndAnEmptyFileOnly) {
  UploadForm fields = FormFor();
  fields.AddField("serial", "0");
  fields.AddField("empty", "");
  PostResult first;
  EXPECT_EQ(Post(fields, first), 0);

  WriteBytes(folder + "test.wav", "");
  UploadForm file = FormFor();
  file.AddFile("file_data", "test.wav", "wav");
  PostResult second;
  EXPECT_EQ(Post(file, second), 0);

  std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  std::string b1 = BoundaryOf(requests[0].Header("Content-Type"));
  std::string b2 = BoundaryOf(requests[1].Header("Content-Type"));
  EXPECT_EQ(requests[0].body, ExpectedBody(fields, b1, {}));
  EXPECT_EQ(requests[1].body, ExpectedBody(file, b2, {""}));
  EXPECT_EQ(requests[1].Header("Content-Length"), std::to_string(requests[1].body.size()));
  // Each post draws a new boundary.
  EXPECT_NE(b1, b2);
}

TEST_F(PosterTest, AnErrorStatusIsStillReadAndJudgedByItsText) {
  server.SetReply(Answer(500, "\r\n  ERROR"));
  UploadForm form = FormFor();
  form.AddField("sms", "1");
  PostResult result;
  EXPECT_EQ(Post(form, result), 0);
  EXPECT_EQ(result.statusCode, 500);
  ASSERT_EQ(RecordedNotices().size(), 1u);
  EXPECT_EQ(RecordedNotices()[0].text,
            "We are sorry, we were unable to upload your ringtone, please try again");
  EXPECT_EQ(RecordedNotices()[0].caption, "Upload error");

  RecordedNotices().clear();
  server.SetReply(Answer(404, "<html>Not here</html>"));
  PostResult missing;
  EXPECT_EQ(Post(form, missing), 0);
  EXPECT_EQ(missing.statusCode, 404);
  EXPECT_TRUE(RecordedNotices().empty());
}

TEST_F(PosterTest, FailuresGiveACodeAndShowNothing) {
  WriteBytes(folder + "a.amr", PatternBytes(300000, 5));
  UploadForm form = FormFor();
  form.AddField("sms", "5551234567");
  form.AddFile("file_data", "a.amr", "amr");

  // Reset in the middle of the body.
  TestServerReply reset;
  reset.mode = TestServerReply::ResetMidBody;
  reset.resetAfter = 1000;
  server.SetReply(reset);
  PostResult dropped;
  EXPECT_LT(Post(form, dropped), 0);
  EXPECT_FALSE(server.Requests().at(0).complete);

  // Closed without a word after the whole request.
  TestServerReply close;
  close.mode = TestServerReply::CloseAtOnce;
  server.SetReply(close);
  PostResult closed;
  EXPECT_LT(Post(form, closed), 0);

  // Never answers: the timeout (1.5 s in these tests) ends the wait.
  TestServerReply silent;
  silent.mode = TestServerReply::NeverAnswer;
  server.SetReply(silent);
  PostResult unanswered;
  EXPECT_LT(Post(form, unanswered), 0);
  EXPECT_TRUE(server.Requests().at(2).complete);
  EXPECT_TRUE(RecordedNotices().empty());

  // Server down.
  ASSERT_TRUE(RouteInternetThrough(TestServer::UnusedPort()));
  PostResult down;
  EXPECT_LT(Post(form, down), 0);
  EXPECT_EQ(down.statusCode, -1);
  EXPECT_TRUE(RecordedNotices().empty());
}

TEST_F(PosterTest, AMissingFileFailsBeforeAnythingIsSent) {
  UploadForm form = FormFor();
  form.AddField("sms", "1");
  form.AddFile("file_data", "a.amr", "amr");
  PostResult result;
  EXPECT_EQ(Post(form, result), static_cast<int32_t>(0x80070002u));  // file not found
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_TRUE(RecordedNotices().empty());
}

TEST_F(PosterTest, TwoUploadsInARowBothArrive) {
  WriteBytes(folder + "a.mp3", PatternBytes(100 * 1024, 9));
  UploadForm form = FormFor();
  form.AddFile("file_data", "a.mp3", "mp3");
  PostResult first, second;
  EXPECT_EQ(Post(form, first), 0);
  EXPECT_EQ(Post(form, second), 0);
  std::vector<RecordedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  for (const RecordedRequest& r : requests) {
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(r.body.size()));
  }
  EXPECT_EQ(RecordedNotices().size(), 2u);
}

TEST(SetUrl, TakesOnlyPlainHttpOnPort80) {
  UploadForm form;
  EXPECT_TRUE(SetUrl(form, "http://quavella.example/ringtones/upload2.php"));
  EXPECT_EQ(form.host, "quavella.example");
  EXPECT_EQ(form.path, "/ringtones/upload2.php");
  UploadForm explicitPort;
  EXPECT_TRUE(SetUrl(explicitPort, "http://h.example:80/p"));
  EXPECT_EQ(explicitPort.host, "h.example");

  for (const char* url : {"https://h.example/p", "http://h.example:8080/p", "ftp://h.example/p",
                          "http://user@h.example/p", "http://user:pw@h.example/p",
                          "http://h.example/p?x=1", "http://h.example/p#top", "not a url", "",
                          "HTTP://h.example/p"}) {
    UploadForm refused;
    refused.host = "kept";
    EXPECT_FALSE(SetUrl(refused, url)) << url;
    EXPECT_EQ(refused.host, "kept") << url;
  }
  std::string longHost = "http://" + std::string(300, 'h') + ".example/p";
  EXPECT_FALSE(SetUrl(form, longHost.c_str()));
  EXPECT_FALSE(SetUrl(form, nullptr));
  EXPECT_EQ(form.host, "quavella.example");
}

TEST(Connectivity, WineReportsOnlineAndTheTimeoutComesFromTheEnvironment) {
  // Wine cannot be put offline; the decision itself is tested natively.
  EXPECT_FALSE(IsOfflineMode());
  EXPECT_EQ(UploadTimeoutMs(), 1500u);
}

}  // namespace
