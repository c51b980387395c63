#include "encode/tool_command_line.h"

std::string ToolCommandLine(const std::string& programPath, const std::string& parameters) {
  return "\"" + programPath + "\"  " + parameters;
}

std::string PathInDirectory(const std::string& directory, const std::string& fileName) {
  if (directory.empty()) return fileName;
  const char last = directory.back();
  if (last == '\\' || last == '/') return directory + fileName;
  return directory + "\\" + fileName;
}
