// Process entry: registers the window class, creates the main window and runs the loop.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/keyboard_focus.h"
#include "app/main_window.h"
#include "app/shutdown.h"
#include "app/skin.h"
#include "app/song_handoff.h"
#include "resources/resource_ids.h"
#include "session/session_state.h"
#include "session/working_folder.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showState) {
  // A song given on the command line (Open with, the context menu) starts the program in the
  // song's folder or wherever the shell likes: the working files then go beside the program.
  const std::string song = SongArgument();
  if (!song.empty()) {
    const std::string programFolder = FolderOfPath(ProgramPath());
    if (!programFolder.empty()) SetCurrentDirectoryW(Widen(programFolder).c_str());
  }
  StoreStartDirectory();
  if (!BecomeTheInstance(song)) return 0;

  char title[100] = {};
  char className[100] = {};
  LoadStringA(instance, IDS_APP_TITLE, title, sizeof title);
  LoadStringA(instance, IDS_WINDOW_CLASS, className, sizeof className);

  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_QUAVELLA));
  windowClass.hIconSm = windowClass.hIcon;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = className;
  RegisterClassExA(&windowClass);

  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);

  sessionState.instance = instance;
  SIZE size = BackgroundSize(instance);
  // WS_EX_ACCEPTFILES takes dropped files (as DragAcceptFiles does, without the shell library).
  HWND window = CreateWindowExA(WS_EX_ACCEPTFILES, className, title, WS_POPUP | WS_BORDER | WS_SYSMENU | WS_VISIBLE,
                                300, 300, size.cx, size.cy, nullptr, nullptr, instance, nullptr);
  if (!window) return 0;
  ShowWindow(window, showState);
  UpdateWindow(window);
  // Every song and clip passes through working files in the start folder: say at once when
  // they cannot be written there.
  if (!FolderWritable(sessionState.startDirectory))
    ShowFolderWriteFailure(sessionState.startDirectory);
  // The first-run profile (if any) is done: the song given at start may open now.
  if (!song.empty()) QueueSong(window, song);
  SongsMayOpen(window);

  HACCEL accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (TranslateAcceleratorA(message.hwnd, accelerators, &message)) continue;
    if (OnKeyboardFocusKey(window, message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return EndOfProcess(static_cast<int>(message.wParam));
}
