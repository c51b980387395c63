#include <gtest/gtest.h>

#include <string>

#include "delivery/reply_verdict.h"

namespace {

ReplyKind KindOf(std::string_view text) { return ClassifyReply(text).kind; }
std::string UrlOf(std::string_view text) {
  ReplyVerdict v = ClassifyReply(text);
  return v.kind == ReplyKind::OpenUrl ? v.url : "<none>";
}

TEST(ClassifyReply, WordsInAnyCaseAfterLeadingWhiteSpace) {
  for (const char* text : {"success", "SUCCESS", "SuCcEsS", "  success", "\r\n\t\v\fsuccess"})
    EXPECT_EQ(KindOf(text), ReplyKind::Success) << text;
  for (const char* text : {"error", "ERROR", "\n Error"})
    EXPECT_EQ(KindOf(text), ReplyKind::Error) << text;
}

TEST(ClassifyReply, TrailingTextOrWhiteSpaceMatchesNeitherWord) {
  for (const char* text : {"success\r\n", "success ", "successful", "error page", "errors", "",
                           "   \r\n", "succes", "HTTP://a.example/", "http", "see http now"})
    EXPECT_EQ(KindOf(text), ReplyKind::Nothing) << text;
}

TEST(ClassifyReply, OpensOnlyTheWebAddressToken) {
  EXPECT_EQ(UrlOf("http://a.example/x"), "http://a.example/x");
  EXPECT_EQ(UrlOf("Please pay at https://a.example/p?q=1&r=%20 then retry\r\n"),
            "https://a.example/p?q=1&r=%20");
  EXPECT_EQ(UrlOf("error http://a.example/why"), "http://a.example/why");
  EXPECT_EQ(UrlOf("xhttp://a.example"), "http://a.example");
  EXPECT_EQ(UrlOf("httpd said: http://a.example/ ok"), "http://a.example/");
  EXPECT_EQ(UrlOf("http://one.example https://two.example"), "http://one.example");
  EXPECT_EQ(UrlOf("\n\thttp://user@a.example:8080/p#frag"), "http://user@a.example:8080/p#frag");
}

TEST(ClassifyReply, RefusesAnythingThatIsNotAPlainWebAddress) {
  for (const char* text :
       {"file:///c:/windows/system32/calc.exe http", "\\\\server\\share\\http.exe",
        "c:\\http\\evil.exe", "ftp://a.example/http", "http:/a.example", "http://",
        "http:// a.example", "http:///etc/passwd", "http://?x", "http://a.example/\"--flag",
        "http://a.example/<script>", "http://a.example\\..\\x", "http://a.example/\x01",
        "http://a.example/\xC3\xA9", "http://a.example/{x}|y", "https://a.ex`ample"})
    EXPECT_EQ(KindOf(text), ReplyKind::Nothing) << text;
}

TEST(ClassifyReply, LongestAddressIsBounded) {
  std::string ok = "http://a.example/" + std::string(MaxReplyUrlLength - 17, 'p');
  EXPECT_EQ(UrlOf(ok), ok);
  EXPECT_EQ(KindOf(ok + "p"), ReplyKind::Nothing);
}

TEST(ReplyText, EndsAtTheFirstNul) {
  const char bytes[] = "success\0http://a.example";
  EXPECT_EQ(ReplyText(bytes, sizeof bytes - 1), "success");
  EXPECT_EQ(KindOf(ReplyText(bytes, sizeof bytes - 1)), ReplyKind::Success);
  EXPECT_EQ(ReplyText("abc", 2), "ab");
  EXPECT_EQ(ReplyText(nullptr, 5), "");
  EXPECT_EQ(ReplyText("\0x", 2), "");
}

}  // namespace
