#include "encode/convert_selection.h"

#include "session/session_state.h"

void ConvertSelection(HWND) {
  EnableWindow(sessionState.browseButton, TRUE);
  RestoreArrowCursor();
}
