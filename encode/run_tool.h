#pragma once
#include <windows.h>

// Starts `programPath` with the command line `"programPath"  parameters`, hidden, in
// startDirectory, and waits for it to end (no time limit). False when it could not be started;
// the program's exit code is not looked at.
bool RunTool(const char* programPath, const char* parameters);
