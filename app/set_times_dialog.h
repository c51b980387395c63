// "Set the start and end...": a small dialog with the selection's start and end typed as
// m:ss.cc and its length shown as they are typed.
#pragma once
#include <windows.h>

// Control ids of the dialog.
enum SetTimesControl : int {
  IdStartEdit = 101,
  IdEndEdit = 102,
  IdLengthText = 103,
  IdProblemText = 104,
};

// Shows the dialog over `window` with the current selection (or the whole song). OK with times
// that make a selection holds it in frames; wrong text is refused in the dialog with a plain
// message. Does nothing while no song is loaded.
void RunSetTimesDialog(HWND window);
