#include "encode/run_tool.h"

#include <string>
#include <vector>

#include "encode/tool_command_line.h"
#include "formats/utf8_text.h"
#include "session/handles.h"
#include "session/session_state.h"

bool RunTool(const char* programPath, const char* parameters) {
  if (programPath == nullptr || parameters == nullptr) return false;
  // CreateProcess may write into the command line, so it gets a copy of its own.
  std::wstring commandLine = Widen(ToolCommandLine(programPath, parameters));
  const std::wstring program = Widen(programPath);
  const std::wstring directory = Widen(sessionState.startDirectory);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      directory.empty() ? nullptr : directory.c_str(), &startup, &process))
    return false;
  const KernelHandle processHandle(process.hProcess);
  const KernelHandle threadHandle(process.hThread);  // closed first, as it always was
  WaitForSingleObject(processHandle.get(), INFINITE);
  return true;
}
