// The upload form reader and the checks, over bodies laid out by the program's own multipart
// code and damaged in the ways a broken client or a hostile one would.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "delivery/multipart_body.h"
#include "profile/catalogue_text.h"
#include "profile/phone_catalog.h"
#include "service/upload_checks.h"
#include "service/upload_form_reader.h"
#include "tests/service/ringtone_samples.h"

namespace {

const std::string Boundary = "---------------------------0A1B2C3D4E5F";

const PhoneCatalog& Catalog() {
  static PhoneCatalog catalog = [] {
    PhoneCatalog c;
    c.Load(CatalogueText, CatalogueTextSize);
    return c;
  }();
  return catalog;
}

TEST(MultipartBoundary, ReadsTheParameterOfFormDataOnly) {
  const struct { const char* header; const char* boundary; } cases[] = {
      {"multipart/form-data; boundary=abc", "abc"},
      {"Multipart/Form-Data;boundary=\"a b;c\"", "a b;c"},
      {"multipart/form-data; charset=x; BOUNDARY=zz", "zz"},
      {"multipart/form-data", ""},
      {"multipart/form-data; boundary=", ""},
      {"multipart/mixed; boundary=abc", ""},
      {"text/plain", ""},
      {"multipart/form-data; boundary=\"unclosed", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(MultipartBoundary(c.header), c.boundary) << c.header;
  EXPECT_EQ(MultipartBoundary("multipart/form-data; boundary=" + std::string(71, 'x')), "");
}

TEST(ReadUploadForm, ReadsTheProgramsOwnLayout) {
  SampleUpload upload;
  upload.songName = "Caf\xE9_&_friends.wav";
  const std::string body = UploadBody(upload, Boundary);
  UploadSubmission s;
  std::string problem;
  ASSERT_TRUE(ReadUploadForm(UploadContentType(Boundary), body, s, problem)) << problem;
  EXPECT_EQ(s.fields[UploadSms], "5551234567");
  EXPECT_EQ(s.fields[UploadSongName], upload.songName);
  EXPECT_EQ(s.fields[UploadCarrierIndex], "1");
  EXPECT_EQ(s.fields[UploadSerial], "0");
  EXPECT_EQ(s.fileName, "test.wav");
  EXPECT_EQ(s.typeWord, "wav");
  EXPECT_EQ(s.ringtone, SampleWav(4000));
  // Bytes after the closing delimiter are no part of the form.
  ASSERT_TRUE(ReadUploadForm(UploadContentType(Boundary), body + "epilogue", s, problem));
}

TEST(ReadUploadForm, RefusesEveryOtherLayout) {
  const std::string good = UploadBody(SampleUpload{}, Boundary);
  auto part = [](const std::string& name, const std::string& value) {
    return "--" + Boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" +
           value + "\r\n";
  };
  auto without = [&](const std::string& name) {
    std::string body = good;
    const size_t at = body.find("name=\"" + name + "\"");
    const size_t start = body.rfind("--" + Boundary, at);
    const size_t end = body.find("--" + Boundary, at);
    return body.erase(start, end - start);
  };
  auto swapFirstTwo = [&] {
    const std::string first = part("sms", "5551234567"), second = part("file_name", "1234.mp3");
    std::string body = good;
    return body.replace(0, first.size() + second.size(), second + first);
  };
  std::string repeated = good;
  repeated.insert(0, part("sms", "5551234567"));
  std::string afterFile = good;
  afterFile.insert(afterFile.size() - ClosingDelimiter(Boundary).size(), part("extra", "x"));
  std::string asFile = good;
  asFile.replace(asFile.find("name=\"song_name\""), 17, "name=\"song_name\"; filename=\"x\"");
  std::string otherHeader = good;
  otherHeader.insert(otherHeader.find("\r\n\r\n"), "\r\nX-Extra: 1");
  std::string longField = good;
  longField.insert(longField.find("My_Song.wav"), std::string(UploadFieldMaxBytes, 'a'));
  std::string trailing = good;
  trailing.insert(Boundary.size() + 2, " ");
  const struct {
    const char* what;
    std::string contentType;
    std::string body;
  } cases[] = {
      {"wrong boundary", UploadContentType("---------------------------FFFFFFFFFFFF"), good},
      {"no boundary", "multipart/form-data", good},
      {"not multipart", "application/x-www-form-urlencoded", good},
      {"cut in the file", UploadContentType(Boundary), good.substr(0, good.size() / 2)},
      {"cut before the closing delimiter", UploadContentType(Boundary), good.substr(0, good.size() - 10)},
      {"empty", UploadContentType(Boundary), ""},
      {"missing sms", UploadContentType(Boundary), without("sms")},
      {"missing file_size", UploadContentType(Boundary), without("file_size")},
      {"missing file", UploadContentType(Boundary), without("file_data")},
      {"repeated sms", UploadContentType(Boundary), repeated},
      {"out of order", UploadContentType(Boundary), swapFirstTwo()},
      {"a part after the file", UploadContentType(Boundary), afterFile},
      {"preamble", UploadContentType(Boundary), "hello\r\n" + good},
      {"a field sent as a file", UploadContentType(Boundary), asFile},
      {"another part header", UploadContentType(Boundary), otherHeader},
      {"a field past its limit", UploadContentType(Boundary), longField},
      {"bytes after a delimiter", UploadContentType(Boundary), trailing},
  };
  for (const auto& c : cases) {
    UploadSubmission s;
    std::string problem;
    EXPECT_FALSE(ReadUploadForm(c.contentType, c.body, s, problem)) << c.what;
    EXPECT_FALSE(problem.empty()) << c.what;
  }
}

// The form of one sample upload, read; the test's upload must outlive it.
struct ReadSample {
  std::string body;
  UploadSubmission submission;
  explicit ReadSample(const SampleUpload& upload) : body(UploadBody(upload, Boundary)) {
    std::string problem;
    EXPECT_TRUE(ReadUploadForm(UploadContentType(Boundary), body, submission, problem)) << problem;
  }
};

TEST(CheckUpload, TakesEveryFormatForItsPhones) {
  // A phone of each format: LG 325 amr, Hitatchi P300 qcp, LG 1200 mmf, Audiovox 8900 mp3,
  // Motorola MPx200 wav; carriers by id, not list position.
  const struct { const char* phone; const char* word; int32_t format; } phones[] = {
      {"164", "amr", 1}, {"0", "qcp", 0}, {"148", "mmf", 4}, {"66", "mp3", 3}, {"2", "wav", 2}};
  for (const auto& p : phones) {
    SampleUpload upload;
    upload.phoneId = p.phone;
    upload.carrierIndex = "8";
    upload.typeWord = p.word;
    upload.ringtone = SampleOf(p.word);
    ReadSample read(upload);
    AcceptedUpload accepted;
    std::string problem;
    EXPECT_EQ(CheckUpload(read.submission, Catalog(), accepted, problem), UploadRefusal::None)
        << p.word << ": " << problem;
    EXPECT_EQ(accepted.format, p.format);
    ASSERT_NE(accepted.carrier, nullptr);
    EXPECT_STREQ(accepted.carrier->name, "Verizon");
  }
}

TEST(CheckUpload, RefusesEachFaultWithItsReason) {
  const std::string mmf = SampleMmf(8000);
  std::string badCrc = mmf;
  badCrc[badCrc.size() - 1] ^= 1;
  const struct {
    const char* what;
    std::function<void(SampleUpload&)> change;
    UploadRefusal refusal;
  } cases[] = {
      {"11 digits", [](SampleUpload& u) { u.sms = "55512345678"; }, UploadRefusal::Number},
      {"9 digits", [](SampleUpload& u) { u.sms = "555123456"; }, UploadRefusal::Number},
      {"a letter", [](SampleUpload& u) { u.sms = "555123456x"; }, UploadRefusal::Number},
      {"unknown carrier", [](SampleUpload& u) { u.carrierIndex = "4"; }, UploadRefusal::Carrier},
      {"carrier not a number", [](SampleUpload& u) { u.carrierIndex = "1a"; }, UploadRefusal::Carrier},
      {"unknown phone", [](SampleUpload& u) { u.phoneId = "208"; }, UploadRefusal::Phone},
      {"empty phone", [](SampleUpload& u) { u.phoneId = ""; }, UploadRefusal::Phone},
      {"wrong type word", [](SampleUpload& u) { u.typeWord = "amr"; }, UploadRefusal::TypeWord},
      {"type word in capitals", [](SampleUpload& u) { u.typeWord = "WAV"; }, UploadRefusal::TypeWord},
      {"size says more", [](SampleUpload& u) { u.fileSize = "8045"; }, UploadRefusal::FileSize},
      {"size not a number", [](SampleUpload& u) { u.fileSize = "-1"; }, UploadRefusal::FileSize},
      {"bytes of another format", [](SampleUpload& u) { u.ringtone = SampleAmr(50); },
       UploadRefusal::Bytes},
      {"MMF with a bad CRC", [&](SampleUpload& u) {
         u.phoneId = "148";
         u.typeWord = "mmf";
         u.ringtone = badCrc;
       }, UploadRefusal::Bytes},
      {"101 kilobytes", [](SampleUpload& u) { u.ringtone = SampleWav((101 * 1024 - 44) / 2); },
       UploadRefusal::RingtoneSize},
  };
  for (const auto& c : cases) {
    SampleUpload upload;
    c.change(upload);
    ReadSample read(upload);
    AcceptedUpload accepted;
    std::string problem;
    EXPECT_EQ(CheckUpload(read.submission, Catalog(), accepted, problem), c.refusal) << c.what;
    EXPECT_EQ(problem.find("5551234567"), std::string::npos) << "never the number";
  }
}

TEST(CheckUpload, KeepsTheProgramsKilobyteRule) {
  // 100 KB is bytes / 1024 toward zero: 103423 bytes pass, 103424 do not.
  for (size_t bytes : {103422u, 103424u}) {
    SampleUpload upload;
    upload.ringtone = SampleWav((bytes - 44) / 2);
    ASSERT_EQ(upload.ringtone.size(), bytes);
    ReadSample read(upload);
    AcceptedUpload accepted;
    std::string problem;
    EXPECT_EQ(CheckUpload(read.submission, Catalog(), accepted, problem),
              bytes < 103424 ? UploadRefusal::None : UploadRefusal::RingtoneSize) << bytes;
  }
}

TEST(UploadRefusal, NamesAndStatuses) {
  EXPECT_STREQ(UploadRefusalName(UploadRefusal::TypeWord), "type_word");
  EXPECT_EQ(UploadRefusalStatus(UploadRefusal::TooLarge), 413);
  EXPECT_EQ(UploadRefusalStatus(UploadRefusal::RateLimit), 429);
  EXPECT_EQ(UploadRefusalStatus(UploadRefusal::Store), 503);
  EXPECT_EQ(UploadRefusalStatus(UploadRefusal::Number), 400);
  int32_t v = 0;
  EXPECT_TRUE(ReadDecimal32("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_FALSE(ReadDecimal32("2147483648", v));
  EXPECT_FALSE(ReadDecimal32("+1", v));
  EXPECT_FALSE(ReadDecimal32(" 1", v));
}

}  // namespace
