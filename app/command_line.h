// The program's command line split into arguments by the rules Windows programs use
// (CommandLineToArgvW's), so that reading the song argument needs no shell library at start.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// The arguments of `commandLine`, the program's name first. The name runs to the next quote
// when it starts with one, else to the first space or tab. In the other arguments spaces and
// tabs separate unless quoted; 2n backslashes before a quote give n backslashes and the quote
// opens or closes quoting; 2n+1 give n backslashes and a literal quote; a doubled quote inside
// quotes is a literal quote; other backslashes are literal.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);
