#pragma once
#include <windows.h>

// Runs the profile dialog (template 178) modally; returns what the dialog ended with.
INT_PTR RunProfileDialog(HWND owner);
