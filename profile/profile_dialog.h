// The profile dialog (template 178): phone number, carrier and phone model.
#pragma once
#include <windows.h>

// Runs the profile dialog modally, owned by `owner`; returns what the dialog ended with
// (IDOK, IDCANCEL, or -1 when it could not be created).
INT_PTR RunProfileDialog(HWND owner);
// The dialog procedure. OK with a 10-digit number fills userProfile and
// sessionState.outputFormat from the chosen carrier and phone; Cancel on the first run (no
// profile key) sends the owner the destroy message, which ends the program.
INT_PTR CALLBACK ProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The address the link in the dialog opens.
extern const char SupportedPhonesAddress[];
