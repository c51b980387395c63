#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheRulesOfWindowsPrograms) {
  struct Case { std::string line; Args args; };
  const Case cases[] = {
      {"Quavella.exe", {"Quavella.exe"}},
      {"\"C:\\Program Files\\Quavella.exe\"", {"C:\\Program Files\\Quavella.exe"}},
      {"\"C:\\P\\Quavella.exe\" \"C:\\M\xC3\xBAsica \xE6\x97\xA5\\\xE5\xA4\x9C.m4a\"",
       {"C:\\P\\Quavella.exe", "C:\\M\xC3\xBAsica \xE6\x97\xA5\\\xE5\xA4\x9C.m4a"}},
      {"q.exe  C:\\a.mp3\t b", {"q.exe", "C:\\a.mp3", "b"}},
      {"q.exe \"C:\\Music\\\\\"", {"q.exe", "C:\\Music\\"}},        // 2n backslashes, quote
      {"q.exe a\\\"b", {"q.exe", "a\"b"}},                          // 2n+1: a literal quote
      {"q.exe a\\\\b", {"q.exe", "a\\\\b"}},                        // no quote: literal
      {"q.exe \"a\"\"b\"", {"q.exe", "a\"b"}},                      // doubled inside quotes
      {"q.exe \"\"", {"q.exe", ""}},
      {"\"C:\\unclosed", {"C:\\unclosed"}},
      {"", {""}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;
}

}  // namespace
