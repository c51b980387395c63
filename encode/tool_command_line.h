// Command lines and paths of the outside encoders.
#pragma once
#include <string>

// A double quote, the program path, a double quote, two spaces, the parameter text.
std::string ToolCommandLine(const std::string& programPath, const std::string& parameters);
// `directory` followed by a backslash and `fileName` (no second backslash after a root such as
// "C:\").
std::string PathInDirectory(const std::string& directory, const std::string& fileName);
