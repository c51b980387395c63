#include "profile/profile_dialog.h"

INT_PTR RunProfileDialog(HWND) { return IDCANCEL; }
