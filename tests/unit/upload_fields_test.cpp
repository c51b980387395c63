#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "delivery/upload_fields.h"
#include "delivery/upload_outcome.h"

namespace {

TEST(SongTitle, CleaningTurnsTheFourSpecialCharactersIntoUnderscores) {
  char title[] = "Word & Word?+.mp3";
  CleanSongTitle(title);
  EXPECT_STREQ(title, "Word___Word__.mp3");

  char kept[] = "100% = \"x\" 'y' \xE9\xFF#/.mp3";
  CleanSongTitle(kept);
  EXPECT_STREQ(kept, "100%_=_\"x\"_'y'_\xE9\xFF#/.mp3");

  char worker[] = "My Song & You?.mp3";
  SpacesToUnderscores(worker);  // the worker's pass touches spaces only
  EXPECT_STREQ(worker, "My_Song_&_You?.mp3");
  CleanSongTitle(nullptr);
  SpacesToUnderscores(nullptr);
}

TEST(RemoteFileName, IsTheNumberWithMp3ForEveryFormat) {
  EXPECT_EQ(RemoteFileName(0), "0.mp3");
  EXPECT_EQ(RemoteFileName(32767), "32767.mp3");
}

TEST(FillUploadForm, FilePartAndTheEightFieldsInTheServicesOrder) {
  UploadForm form;
  UploadFileKind kind{};
  ASSERT_TRUE(UploadFileOf(1, &kind));
  UploadFields fields;
  fields.phoneNumber = "5551234567";
  fields.remoteName = "1234.mp3";
  fields.songTitle = "a_b";
  fields.carrierId = 17;
  fields.phoneId = -3;
  fields.version = "";
  fields.fileSize = 4242;
  FillUploadForm(form, kind, fields, "C:\\work\\a.amr");

  ASSERT_EQ(form.files.size(), 1u);
  EXPECT_EQ(form.files[0].name, "file_data");
  EXPECT_EQ(form.files[0].localPath, "a.amr");  // the filename sent
  EXPECT_EQ(form.files[0].contentType, "amr");
  EXPECT_EQ(form.files[0].PathToOpen(), "C:\\work\\a.amr");

  std::vector<std::pair<std::string, std::string>> expected = {
      {"sms", "5551234567"}, {"file_name", "1234.mp3"}, {"song_name", "a_b"},
      {"carrier_index", "17"}, {"phone_id", "-3"}, {"version", ""}, {"serial", "0"},
      {"file_size", "4242"}};
  ASSERT_EQ(form.fields.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(form.fields[i].name, expected[i].first);
    EXPECT_EQ(form.fields[i].value, expected[i].second);
  }

  UploadForm missing;
  FillUploadForm(missing, kind, UploadFields{});
  EXPECT_EQ(missing.fields.back().value, "-1");
  EXPECT_EQ(missing.files[0].PathToOpen(), "a.amr");
}

TEST(FailureCodeFromError, WrapsTheErrorAndNeverLooksLikeSuccess) {
  EXPECT_EQ(FailureCodeFromError(12029), static_cast<int32_t>(0x80072EFDu));
  EXPECT_EQ(FailureCodeFromError(10054), static_cast<int32_t>(0x80072746u));
  EXPECT_EQ(FailureCodeFromError(0x12345), static_cast<int32_t>(0x80072345u));
  EXPECT_LT(FailureCodeFromError(2), 0);
  EXPECT_NE(FailureCodeFromError(0), 0);
}

TEST(JudgeUploadOutcome, FailedPostsAndSilentErrorStatusesMustBeReported) {
  ReplySummary none, success, error, url;
  success.sawSuccess = true;
  error.sawError = true;
  url.openedUrl = true;
  // The post itself failed, or no status came back: tell the user.
  EXPECT_EQ(JudgeUploadOutcome(FailureCodeFromError(12029), -1, none), UploadOutcome::Failed);
  EXPECT_EQ(JudgeUploadOutcome(0, 0, none), UploadOutcome::Failed);
  EXPECT_EQ(JudgeUploadOutcome(0, -1, none), UploadOutcome::Failed);
  // An error status whose text says nothing we know.
  EXPECT_EQ(JudgeUploadOutcome(0, 500, none), UploadOutcome::Failed);
  EXPECT_EQ(JudgeUploadOutcome(0, 404, none), UploadOutcome::Failed);
  // The text decides whatever the status.
  EXPECT_EQ(JudgeUploadOutcome(0, 500, success), UploadOutcome::Delivered);
  EXPECT_EQ(JudgeUploadOutcome(0, 200, error), UploadOutcome::Refused);
  EXPECT_EQ(JudgeUploadOutcome(0, 500, error), UploadOutcome::Refused);
  EXPECT_EQ(JudgeUploadOutcome(0, 302, url), UploadOutcome::Delivered);
  // A 2xx answer that says nothing (e.g. "success\r\n") counts as delivered, silently.
  EXPECT_EQ(JudgeUploadOutcome(0, 200, none), UploadOutcome::Delivered);
}

TEST(UploadTimeoutFromText, TakesPlainMillisecondsElseTheDefault) {
  EXPECT_EQ(UploadTimeoutFromText("1500"), 1500u);
  EXPECT_EQ(UploadTimeoutFromText("3600000"), 3600000u);
  for (const char* bad : {(const char*)nullptr, "", "0", "-5", "15s", " 10", "3600001",
                          "99999999999999999999"})
    EXPECT_EQ(UploadTimeoutFromText(bad), DefaultUploadTimeoutMs) << (bad ? bad : "null");
}

TEST(IsOfflineState, OnlyTheUsersOfflineBitOfASuccessfulQuery) {
  EXPECT_TRUE(IsOfflineState(true, 0x10));
  EXPECT_TRUE(IsOfflineState(true, 0x11));
  EXPECT_FALSE(IsOfflineState(true, 0x01));  // connected
  EXPECT_FALSE(IsOfflineState(true, 0x02));  // disconnected, not by the user
  EXPECT_FALSE(IsOfflineState(false, 0x10));
}

}  // namespace
