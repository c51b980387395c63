#include "encode/run_tool.h"

#include <string>
#include <vector>

#include "encode/tool_command_line.h"
#include "session/session_state.h"

bool RunTool(const char* programPath, const char* parameters) {
  if (programPath == nullptr || parameters == nullptr) return false;
  const std::string commandLine = ToolCommandLine(programPath, parameters);
  // CreateProcess may write into the command line, so it gets a copy of its own.
  std::vector<char> writable(commandLine.begin(), commandLine.end());
  writable.push_back('\0');

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  const char* directory = sessionState.startDirectory[0] ? sessionState.startDirectory : nullptr;
  if (!CreateProcessA(programPath, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, directory,
                      &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, INFINITE);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
