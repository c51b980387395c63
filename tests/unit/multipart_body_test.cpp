#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "delivery/multipart_body.h"

namespace {

// The body as the poster sends it, with the files' bytes taken from `contents`.
std::string Render(const std::vector<BodyPiece>& plan, const std::vector<std::string>& contents) {
  std::string body;
  for (const BodyPiece& piece : plan) body += piece.isFile ? contents.at(piece.fileIndex) : piece.bytes;
  return body;
}

int64_t Declared(const std::vector<BodyPiece>& plan, const std::vector<std::string>& contents) {
  std::vector<int64_t> sizes;
  for (const std::string& c : contents) sizes.push_back(static_cast<int64_t>(c.size()));
  return DeclaredBodyLength(plan, sizes);
}

bool IsBoundary(const std::string& b) {
  if (b.size() != BoundaryLength || b.compare(0, 27, std::string(27, '-')) != 0) return false;
  for (size_t i = 27; i < b.size(); ++i) {
    char c = b[i];
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    if ((i - 27) % 4 == 0 && c > '7') return false;  // each group comes from 0..32767
  }
  return true;
}

const std::string B = MakeBoundary(0x1A2B, 0x0003, 0x7FFF);

TEST(Boundary, IsHyphensAndThreeFourDigitGroups) {
  EXPECT_EQ(B, "---------------------------1A2B00037FFF");
  EXPECT_EQ(MakeBoundary(0, 0, 0), "---------------------------000000000000");
  // Values past 16 bits never make the boundary longer.
  EXPECT_EQ(MakeBoundary(0x12345, 0xFFFF, 0x10000).size(), BoundaryLength);

  std::srand(7);
  std::string first = DrawBoundary();
  std::string second = DrawBoundary();
  EXPECT_TRUE(IsBoundary(first)) << first;
  EXPECT_TRUE(IsBoundary(second)) << second;
  EXPECT_NE(first, second);
  for (int i = 0; i < 200; ++i) {
    std::string b = DrawBoundary();
    ASSERT_TRUE(IsBoundary(b)) << b;
  }
}

TEST(MultipartBody, ExactBytesWithFieldsBeforeFilesWhateverTheOrderOfAdding) {
  UploadForm form;
  form.AddFile("file_data", "a.amr", "amr");
  form.AddField("sms", "5551234567");
  form.AddField("song_name", "");
  std::vector<std::string> contents = {std::string("#!AMR\n\0\r\n", 9)};
  std::vector<BodyPiece> plan = PlanMultipartBody(form, B);
  std::string expected =
      "--" + B + "\r\nContent-Disposition: form-data; name=\"sms\"\r\n\r\n5551234567\r\n"
      "--" + B + "\r\nContent-Disposition: form-data; name=\"song_name\"\r\n\r\n\r\n"
      "--" + B + "\r\nContent-Disposition: form-data; name=\"file_data\"; filename=\"a.amr\"\r\n"
      "Content-Type: amr\r\n\r\n" + contents[0] + "\r\n"
      "--" + B + "--\r\n";
  EXPECT_EQ(Render(plan, contents), expected);
  EXPECT_EQ(Declared(plan, contents), static_cast<int64_t>(expected.size()));

  // Each field is three writes (header, value, CRLF), each file header + data + CRLF, then
  // the closing delimiter.
  ASSERT_EQ(plan.size(), 3u * 2 + 3u + 1);
  EXPECT_TRUE(plan[7].isFile);
  EXPECT_EQ(plan[4].bytes, "");
  EXPECT_EQ(plan.back().bytes, ClosingDelimiter(B));
}

TEST(MultipartBody, OnlyFieldsOnlyFilesZeroByteFileAndEmptyForm) {
  UploadForm fieldsOnly;
  fieldsOnly.AddField("serial", "0");
  EXPECT_EQ(Render(PlanMultipartBody(fieldsOnly, B), {}),
            "--" + B + "\r\nContent-Disposition: form-data; name=\"serial\"\r\n\r\n0\r\n--" + B +
                "--\r\n");

  UploadForm fileOnly;
  fileOnly.AddFile("f", "empty.wav", "wav");
  std::vector<BodyPiece> plan = PlanMultipartBody(fileOnly, B);
  std::string body = Render(plan, {""});
  EXPECT_EQ(body, "--" + B +
                      "\r\nContent-Disposition: form-data; name=\"f\"; filename=\"empty.wav\"\r\n"
                      "Content-Type: wav\r\n\r\n\r\n--" + B + "--\r\n");
  EXPECT_EQ(Declared(plan, {""}), static_cast<int64_t>(body.size()));

  UploadForm empty;
  EXPECT_EQ(Render(PlanMultipartBody(empty, B), {}), ClosingDelimiter(B));
  EXPECT_EQ(ClosingDelimiter(B).size(), BoundaryLength + 6);
}

TEST(MultipartBody, NamesValuesAndPathsAreSentUnescaped) {
  UploadForm form;
  form.AddField("na\"me", "50% = \"all\"\r\n\xE9&+");
  form.AddFile("file_data", "C:\\dir\\my \"song\".mp3", "audio/x; q=\"1\"");
  std::string body = Render(PlanMultipartBody(form, B), {"x"});
  EXPECT_NE(body.find("name=\"na\"me\"\r\n\r\n50% = \"all\"\r\n\xE9&+\r\n"), std::string::npos);
  EXPECT_NE(body.find("filename=\"C:\\dir\\my \"song\".mp3\"\r\nContent-Type: audio/x; q=\"1\"\r\n"),
            std::string::npos);
}

TEST(MultipartBody, DeclaredLengthMatchesTheBytesForManyShapes) {
  for (int fields = 0; fields < 4; ++fields) {
    for (int files = 0; files < 3; ++files) {
      UploadForm form;
      std::vector<std::string> contents;
      for (int i = 0; i < fields; ++i) form.AddField(std::string(i + 1, 'f'), std::string(i * 7, 'v'));
      for (int i = 0; i < files; ++i) {
        form.AddFile(std::string(i + 1, 'n'), std::string(i + 1, 'p'), "t");
        contents.push_back(std::string(i * 9000, 'b'));  // 0, 9000 bytes: past one chunk
      }
      std::vector<BodyPiece> plan = PlanMultipartBody(form, B);
      EXPECT_EQ(Declared(plan, contents), static_cast<int64_t>(Render(plan, contents).size()))
          << fields << " fields, " << files << " files";
    }
  }
}

TEST(MultipartBody, DeclaredLengthRefusesUnmeasuredOrHugeFiles) {
  UploadForm form;
  form.AddFile("a", "a", "t");
  form.AddFile("b", "b", "t");
  std::vector<BodyPiece> plan = PlanMultipartBody(form, B);
  EXPECT_EQ(DeclaredBodyLength(plan, std::vector<int64_t>{10, -1}), -1);   // missing file
  EXPECT_EQ(DeclaredBodyLength(plan, std::vector<int64_t>{10}), -1);       // no size given
  EXPECT_EQ(DeclaredBodyLength(plan, std::vector<int64_t>{0xFFFFFFFFll, 1}), -1);
  EXPECT_EQ(DeclaredBodyLength(plan, std::vector<int64_t>{INT64_MAX, INT64_MAX}), -1);
  EXPECT_GT(DeclaredBodyLength(plan, std::vector<int64_t>{10, 0}), 10);
}

}  // namespace
