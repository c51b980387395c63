#include "app/skin.h"

#include "resources/resource_ids.h"
#include "session/session_state.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

struct Picture {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  int width = 0;
  int height = 0;
};

Picture LoadPicture(int id) {
  Picture p;
  p.bitmap = static_cast<HBITMAP>(
      LoadImageA(sessionState.instance, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, 0));
  HDC screen = GetDC(nullptr);
  p.dc = CreateCompatibleDC(screen);
  ReleaseDC(nullptr, screen);
  if (p.bitmap) {
    BITMAP info{};
    GetObjectA(p.bitmap, sizeof info, &info);
    p.width = info.bmWidth;
    p.height = info.bmHeight;
    p.previous = SelectObject(p.dc, p.bitmap);
  }
  return p;
}

void Release(Picture& p) {
  if (p.dc && p.previous) SelectObject(p.dc, p.previous);
  if (p.dc) DeleteDC(p.dc);
  if (p.bitmap) DeleteObject(p.bitmap);
  p = Picture{};
}

struct ButtonPicture {
  int id;
  int resource;
  Picture picture;
};

ButtonPicture buttonPictures[] = {
    {ID_PLAY, IDB_PLAY, {}},       {-1, IDB_STOP, {}},           {ID_CONVERT, IDB_CONVERT, {}},
    {ID_BROWSE, IDB_BROWSE, {}},   {ID_UPLOAD, IDB_UPLOAD, {}},  {ID_EXIT, IDB_EXIT, {}},
    {ID_HELP, IDB_HELP, {}},       {ID_WALLPAPER, IDB_WALLPAPER, {}},
    {ID_PROFILE, IDB_PROFILE, {}},
};

Picture background;
Picture statusIdle, statusLoading, statusLoaded, statusConverted, statusUploaded;

const Picture* ButtonPictureFor(int id) {
  for (auto& b : buttonPictures)
    if (b.id == id) return &b.picture;
  return nullptr;
}

}  // namespace

SIZE BackgroundSize(HINSTANCE instance) {
  SIZE size{0, 0};
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(IDB_BACKGROUND), IMAGE_BITMAP, 0, 0, 0));
  if (bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    size = {info.bmWidth, info.bmHeight};
    DeleteObject(bitmap);
  }
  return size;
}

void ShapeWindow(HWND) {}

void LoadButtonPictures() {
  for (auto& b : buttonPictures) b.picture = LoadPicture(b.resource);
}

SIZE ButtonPictureSize(int id) {
  const Picture* p = ButtonPictureFor(id);
  return p ? SIZE{p->width, p->height} : SIZE{0, 0};
}

void PrepareBackground(HWND) { background = LoadPicture(IDB_BACKGROUND); }

void LoadStatusPictures() {
  statusIdle = LoadPicture(IDB_STATUS_IDLE);
  statusLoading = LoadPicture(IDB_STATUS_LOADING);
  statusLoaded = LoadPicture(IDB_STATUS_LOADED);
  statusConverted = LoadPicture(IDB_STATUS_CONVERTED);
  statusUploaded = LoadPicture(IDB_STATUS_UPLOADED);
}

void PaintMainWindow(HWND window, HDC dc) {
  RECT client{};
  GetClientRect(window, &client);
  BitBlt(dc, 0, 0, client.right, client.bottom, background.dc, 0, 1, SRCCOPY);
  if (sessionState.loadCount > 0) PaintWaveStrip(window, dc);
  const SessionState& s = sessionState;
  const Picture* status = &statusIdle;
  int top = 220;
  if (s.uploaded) status = &statusUploaded;
  else if (s.converted) status = &statusConverted, top = 205;
  else if (s.loading) status = &statusLoading;
  else if (s.justLoaded) status = &statusLoaded, top = 205;
  BitBlt(dc, 172, top, status->width, status->height, status->dc, 0, 0, SRCCOPY);
  if (s.selectionAnchorX != -1) RedrawBand(window);
}

void DrawSkinButton(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  int id = static_cast<int>(item.CtlID);
  const Picture* p = ButtonPictureFor(id);
  if (id == ID_PLAY && sessionState.fileLoaded && IsPreviewPlaying()) p = &buttonPictures[1].picture;
  if (p && p->dc)
    StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, p->dc, 0, 0, p->width,
               p->height, SRCCOPY);
  if (item.itemState & ODS_SELECTED) InvertRect(dc, &r);
}

void ReleaseSkin() {
  for (auto& b : buttonPictures) Release(b.picture);
  Release(background);
  Release(statusIdle);
  Release(statusLoading);
  Release(statusLoaded);
  Release(statusConverted);
  Release(statusUploaded);
}
