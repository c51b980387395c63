#include <gtest/gtest.h>

#include <string>

#include "formats/utf8_text.h"

namespace {

TEST(Utf8Text, ConvertsBothWaysAndReplacesWhatIsNotUtf8) {
  struct Case { std::string utf8; std::u16string utf16; std::string back; };
  const Case cases[] = {
      {"song.mp3", u"song.mp3", "song.mp3"},
      {"M\xC3\xBAsica \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", u"M\u00FAsica \u65E5\u672C\u8A9E",
       "M\xC3\xBAsica \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
      {"\xF0\x9F\x8E\xB5", u"\U0001F3B5", "\xF0\x9F\x8E\xB5"},  // outside the BMP: a pair
      // A stray continuation byte, a cut sequence, an overlong '/', a surrogate, a bad lead.
      {"a\x80" "b", u"a\uFFFDb", "a\xEF\xBF\xBD" "b"},
      {"\xE6\x97", u"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xC0\xAF", u"\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xFF", u"\uFFFD", "\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16) << c.utf8;
    EXPECT_EQ(Utf8FromUtf16(c.utf16), c.back) << c.utf8;
  }
  // An unpaired surrogate in UTF-16.
  EXPECT_EQ(Utf8FromUtf16(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(Utf8Text, CutNeverSplitsACharacter) {
  const std::string japanese = "\xE5\xA4\x9C\xE3\x81\xAB";  // two 3-byte characters
  struct Case { std::string text; size_t max; size_t cut; };
  const Case cases[] = {
      {"abc", 63, 3},  {"abcdef", 4, 4},       {japanese, 6, 6},   {japanese, 5, 3},
      {japanese, 4, 3}, {japanese, 3, 3},      {japanese, 2, 0},   {"a\xF0\x9F\x8E\xB5", 4, 1},
      {"\xC3\xA9\xC3\xA9", 3, 2},             {"", 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8CutLength(c.text, c.max), c.cut) << c.text << c.max;
}

TEST(Utf8Text, JoinsAndSplitsPaths) {
  struct Case { std::string folder, name, joined; };
  const Case cases[] = {
      {"C:\\Programs", "d.wav", "C:\\Programs\\d.wav"},
      {"C:\\Programs\\", "d.wav", "C:\\Programs\\d.wav"},
      {"C:/Music/", "a.m4a", "C:/Music/a.m4a"},
      {"", "d.wav", "d.wav"},
      {"C:\\\xD0\x9F\xD1\x80 \xE6\x9D\x8E", "test.wav", "C:\\\xD0\x9F\xD1\x80 \xE6\x9D\x8E\\test.wav"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathInFolder(c.folder, c.name), c.joined);
    EXPECT_EQ(NameOfPath(c.joined), c.name);
  }
  EXPECT_EQ(FolderOfPath("C:\\M\xC3\xBAsica\\a.m4a"), "C:\\M\xC3\xBAsica\\");
  EXPECT_EQ(FolderOfPath("a.m4a"), "");
}

}  // namespace
