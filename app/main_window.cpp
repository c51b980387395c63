#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/best_part_worker.h"
#include "app/commands.h"
#include "app/edit_options_store.h"
#include "app/selection_keys.h"
#include "app/shutdown.h"
#include "app/skin.h"
#include "app/song_handoff.h"
#include "app/strip_menu.h"
#include "app/strip_zoom_control.h"
#include "encode/preview_clip.h"
#include "app/window_scale.h"
#include "profile/profile_store.h"
#include "resources/resource_ids.h"
#include "session/edit_options.h"
#include "session/session_state.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

struct ButtonSpec {
  int id;
  const char* text;
  int x, y;
};

// In creation order; places in 96-dpi units. The text is each button's name for screen
// readers (the skin draws pictures).
constexpr ButtonSpec Buttons[] = {
    {ID_PLAY, "Play", 70, 180},      {ID_CONVERT, "Convert", 240, 180},
    {ID_BROWSE, "Browse", 70, 270},  {ID_UPLOAD, "Upload", 405, 180},
    {ID_EXIT, "Exit", 520, 48},      {ID_HELP, "Help", 425, 40},
    {ID_WALLPAPER, "Upload Wallpaper", 62, 40},
    {ID_PROFILE, "Profile", 350, 40},
};

HWND CreateEditBox(HWND parent, int id, int x, int y, int width, int height) {
  // Wide, so that a song's path shows in any script whatever the ANSI code page.
  return CreateWindowExW(0, L"EDIT", L"",
                         WS_CHILD | WS_VISIBLE | WS_BORDER | ES_READONLY | ES_AUTOHSCROLL,
                         WindowPixels(x), WindowPixels(y), WindowPixels(width),
                         WindowPixels(height), parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), sessionState.instance,
                         nullptr);
}

void CreateContents(HWND window) {
  SessionState& s = sessionState;
  s.mainWindow = window;
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  s.soundDevice = nullptr;
  s.previewBuffer = nullptr;

  s.skinDpi = SkinDpiFor(ScreenDpiOf(window));
  SizeWindowToSkin(window);
  ShapeWindow(window);
  CreateSelectionCaret(window);
  InvalidateRect(window, nullptr, TRUE);

  s.pathEdit = CreateEditBox(window, ID_PATH_EDIT, 176, 270, 190, 23);
  StoreStartDirectory();

  LoadButtonPictures();
  for (const ButtonSpec& b : Buttons) {
    SIZE size = ButtonPictureSize(b.id);
    HWND button = CreateWindowExA(0, "BUTTON", b.text, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW,
                                  WindowPixels(b.x), WindowPixels(b.y), size.cx, size.cy, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(b.id)),
                                  s.instance, nullptr);
    if (b.id == ID_BROWSE) s.browseButton = button;
    if (b.id == ID_UPLOAD) s.uploadButton = button;
  }

  s.sizeEdit = CreateEditBox(window, ID_SIZE_EDIT, 455, 270, 50, 23);
  s.progressBar = CreateWindowExA(0, PROGRESS_CLASSA, "test", WS_CHILD | WS_VISIBLE,
                                  WindowPixels(70), WindowPixels(240), WindowPixels(74),
                                  WindowPixels(20), window, nullptr, s.instance, nullptr);
  StyleProgressBar(s.progressBar);
  StyleEditBox(s.pathEdit);
  StyleEditBox(s.sizeEdit);

  PrepareBackground(window);
  FillProgressBar();
  LoadStatusPictures();
  editOptions = LoadEditOptions();
  SetEditedPreviewMaker(MakeEditedPreview);  // what Play hears is what Convert makes
  LoadProfile();
}

void OnCommand(HWND window, int id) {
  switch (id) {
    case ID_PLAY: OnPlay(window); break;
    case ID_CONVERT: OnConvert(window); break;
    case ID_BROWSE: OnBrowse(window); break;
    case ID_EXIT: OnExit(window); break;
    case ID_HELP: OnHelp(window); break;
    case ID_UPLOAD: OnUpload(window); break;
    case ID_WALLPAPER: OnWallpaper(window); break;
    case ID_PROFILE: OnProfile(window); break;
    case ID_CONVERT_AND_PLAY: OnConvertAndPlay(window); break;
  }
}

bool IsCommand(int id) {
  switch (id) {
    case ID_PLAY: case ID_CONVERT: case ID_BROWSE: case ID_EXIT: case ID_HELP: case ID_UPLOAD:
    case ID_WALLPAPER: case ID_PROFILE: case ID_CONVERT_AND_PLAY:
      return true;
  }
  return false;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The pointer's pixels in the layout's 96-dpi units.
  int x = ToUnits(static_cast<short>(LOWORD(lParam)), sessionState.skinDpi);
  int y = ToUnits(static_cast<short>(HIWORD(lParam)), sessionState.skinDpi);
  switch (message) {
    case WM_CREATE:
      // Before the first-run profile: a second start must find the window even then.
      MarkInstanceWindow(window);
      CreateContents(window);
      return 0;
    case WM_DROPFILES:
      OnDropFiles(window, reinterpret_cast<HDROP>(wParam));
      return 0;
    case WM_COPYDATA:
      return OnSongCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case WM_OPEN_PENDING_SONG:
      OnOpenPendingSong(window);
      return 0;
    case WM_DESTROY:
      // Closing the window ends the session as Exit does (Exit has done it already), except
      // that the working files stay.
      ShutDownShell(false);
      PostQuitMessage(0);
      return 0;
    case WM_SIZE:
      return 0;
    case WM_SONG_IMPORTED:
      if (StopRequested()) return 0;
      TakeImportedSong(window, wParam != 0);
      PreparePreview(false, window);
      StartBestPartSearch(window);
      return 0;
    case WM_BEST_PARTS_FOUND:
      OnBestPartsFound(window, lParam);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(window, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ERASEBKGND:
      if (BackgroundCoversWindow()) return 1;
      break;
    case WM_PAINT: {
      sessionState.mainWindow = window;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintMainWindow(window, dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DRAWITEM:
      DrawSkinButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return 0;
    case WM_COMMAND: {
      int id = LOWORD(wParam);
      if (IsStripMenuCommand(id)) {
        OnStripMenuCommand(window, id);
        return 0;
      }
      if (!IsCommand(id)) break;
      OnCommand(window, id);
      return 0;
    }
    case WM_CONTEXTMENU:
      if (OpenStripMenu(window, lParam)) return 0;
      break;
    case WM_KEYDOWN:
      // The menu key opens the strip's menu as the right button does.
      if (wParam == VK_APPS) {
        OpenStripMenu(window, -1);
        return 0;
      }
      if (OnSelectionKey(window, wParam) || OnZoomKey(window, wParam) ||
          OnSuggestionKey(window, wParam))
        return 0;
      break;
    case WM_MOUSEWHEEL:
      OnStripWheel(window, wParam);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F10 && GetKeyState(VK_SHIFT) < 0) {
        OpenStripMenu(window, -1);
        return 0;
      }
      break;
    case WM_SETFOCUS:
      // A thread has one caret: a dialog or edit box that had the focus took ours away.
      RestoreSelectionCaret(window);
      return 0;
    case WM_MOUSEMOVE:
      if (InLiveWaveArea(x, y)) ExtendSelection(window, wParam, x);
      return 0;
    case WM_LBUTTONDOWN:
      if (y < WaveArea::TraceTop) SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, lParam);
      if (InLiveWaveArea(x, y)) BeginSelection(x);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}
