#include "app/skin.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include <commctrl.h>


#include "app/packed_dib.h"
#include "app/status_picture.h"
#include "resources/resource_ids.h"
#include "session/handles.h"
#include "session/session_state.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

// The background is painted one pixel higher than the client area.
constexpr int BackgroundRise = 1;
constexpr COLORREF ProgressBarColour = RGB(255, 204, 0);
constexpr COLORREF ProgressBackColour = RGB(204, 255, 255);

// The bytes of picture resource `id` of `instance`: a packed picture, in place in the program's
// image (empty when there is no such resource).
std::span<const uint8_t> PictureResource(HINSTANCE instance, int id) {
  HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));
  HGLOBAL loaded = found ? LoadResource(instance, found) : nullptr;
  const auto* bytes = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
  if (!bytes) return {};
  return {bytes, SizeofResource(instance, found)};
}

// Picture `id` as drawn for the window's scale; the 100 % picture when there is none for it.
std::span<const uint8_t> ScaledPictureResource(HINSTANCE instance, int id) {
  std::span<const uint8_t> scaled =
      PictureResource(instance, ScaledPictureId(id, sessionState.skinDpi));
  return scaled.empty() ? PictureResource(instance, id) : scaled;
}

// The text font of the edit boxes at the window's scale (none at 100 %: the stock font).
GdiObject<HFONT> scaledTextFont;

// Set once the keyboard has moved the focus: from then on it is shown.
bool focusCuesShown = false;
// The ring around the strip in client units: just outside the strip's frame.
constexpr RECT StripRingUnits{WaveArea::Left - 4, WaveArea::Top - 7, WaveArea::Right + 4,
                              WaveArea::Bottom + 4};

// A picture resource, drawn without a drawing surface of its own. A 24-bit picture is widened
// once to the 32-bit pixels that screens hold, so drawing it copies rows; other depths are drawn
// straight from the resource. No bitmap object is made, which keeps the window's start quick.
class Picture {
 public:
  Picture() = default;
  Picture(const Picture&) = delete;  // the pixels pointer may point into the object
  Picture& operator=(const Picture&) = delete;
  // Loads picture `id` as drawn for the window's scale.
  void Load(int id) {
    Release();
    std::span<const uint8_t> resource = ScaledPictureResource(sessionState.instance, id);
    if (!ReadPackedDib(resource, dib_)) return;
    if (WidenTo32Bits(resource, dib_, wide_)) {
      std::memcpy(&wideHeader_, resource.data(), sizeof wideHeader_);
      wideHeader_.biSize = sizeof wideHeader_;
      wideHeader_.biBitCount = 32;
      wideHeader_.biCompression = BI_RGB;
      wideHeader_.biSizeImage = 0;
      wideHeader_.biClrUsed = wideHeader_.biClrImportant = 0;
      info_ = reinterpret_cast<const BITMAPINFO*>(&wideHeader_);
      pixels_ = wide_.data();
    } else {
      info_ = reinterpret_cast<const BITMAPINFO*>(resource.data());
      pixels_ = resource.data() + dib_.pixelOffset;
    }
  }
  void Release() {
    info_ = nullptr;
    pixels_ = nullptr;
    dib_ = {};
    std::vector<uint32_t>().swap(wide_);
  }
  bool Ready() const { return pixels_ != nullptr; }
  int Width() const { return dib_.width; }
  int Height() const { return dib_.height; }
  // Copies the part of the picture at (fromX, fromY), `width` by `height` (top-left origin,
  // cut to the picture), to (x, y) of `dc`, stretched to `toWidth` by `toHeight`.
  void Draw(HDC dc, int x, int y, int toWidth, int toHeight, int fromX, int fromY, int width,
            int height) const {
    if (!Ready() || fromX < 0 || fromY < 0) return;
    width = std::min(width, dib_.width - fromX);
    height = std::min(height, dib_.height - fromY);
    if (width <= 0 || height <= 0) return;
    // Rows of a bottom-up picture are counted from its bottom edge.
    int sourceY = dib_.bottomUp ? dib_.height - fromY - height : fromY;
    StretchDIBits(dc, x, y, toWidth, toHeight, fromX, sourceY, width, height, pixels_, info_,
                  DIB_RGB_COLORS, SRCCOPY);
  }
  // Draws the picture unstretched, as far as `width` by `height` reach.
  void Draw(HDC dc, int x, int y, int fromX, int fromY, int width, int height) const {
    width = std::min(width, dib_.width - fromX);
    height = std::min(height, dib_.height - fromY);
    Draw(dc, x, y, width, height, fromX, fromY, width, height);
  }

 private:
  PackedDib dib_;
  const BITMAPINFO* info_ = nullptr;
  const void* pixels_ = nullptr;
  BITMAPINFOHEADER wideHeader_{};
  std::vector<uint32_t> wide_;
};

struct ButtonPicture {
  int buttonId;  // -1: not a button of its own (Stop is shown on Play)
  int pictureId;
  Picture picture;
};

ButtonPicture buttonPictures[] = {
    {ID_PLAY, IDB_PLAY, {}},       {-1, IDB_STOP, {}},          {ID_CONVERT, IDB_CONVERT, {}},
    {ID_BROWSE, IDB_BROWSE, {}},   {ID_UPLOAD, IDB_UPLOAD, {}}, {ID_EXIT, IDB_EXIT, {}},
    {ID_HELP, IDB_HELP, {}},       {ID_WALLPAPER, IDB_WALLPAPER, {}},
    {ID_PROFILE, IDB_PROFILE, {}},
};

struct StatusSlot {
  int pictureId;
  Picture picture;
};

StatusSlot statusPictures[] = {
    {IDB_STATUS_IDLE, {}},      {IDB_STATUS_LOADING, {}},  {IDB_STATUS_LOADED, {}},
    {IDB_STATUS_CONVERTED, {}}, {IDB_STATUS_UPLOADED, {}},
};

Picture background;

const Picture* ButtonPictureByPicture(int pictureId) {
  for (auto& b : buttonPictures)
    if (b.pictureId == pictureId) return &b.picture;
  return nullptr;
}

const Picture* ButtonPictureFor(int buttonId) {
  for (auto& b : buttonPictures)
    if (b.buttonId == buttonId) return &b.picture;
  return nullptr;
}

const Picture* StatusPictureById(int pictureId) {
  for (auto& s : statusPictures)
    if (s.pictureId == pictureId) return &s.picture;
  return nullptr;
}

}  // namespace

SIZE BackgroundSize(HINSTANCE instance) {
  // Read from the picture's header in the resource: no need to build the bitmap for its size.
  PackedDib dib;
  if (!ReadPackedDib(PictureResource(instance, IDB_BACKGROUND), dib)) return {0, 0};
  return {dib.width, dib.height};
}

bool ReadBitmapPixels(HBITMAP bitmap, std::vector<uint8_t>& pixels, int& width, int& height,
                      size_t& stride) {
  pixels.clear();
  BITMAP info{};
  if (!bitmap || !GetObjectA(bitmap, sizeof info, &info) || info.bmWidth <= 0 ||
      info.bmHeight <= 0)
    return false;
  width = info.bmWidth;
  height = info.bmHeight;
  stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
  pixels.resize(stride * height);

  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof format.bmiHeader;
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top row first
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 24;
  format.bmiHeader.biCompression = BI_RGB;
  WindowDc screen(nullptr);
  int rows = GetDIBits(screen.get(), bitmap, 0, height, pixels.data(), &format, DIB_RGB_COLORS);
  if (rows != height) {
    pixels.clear();
    return false;
  }
  return true;
}

HRGN CreateRegionFromRects(const std::vector<ShapeRect>& rects) {
  if (rects.empty()) return CreateRectRgn(0, 0, 0, 0);
  std::vector<uint8_t> buffer(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  ShapeRect bounds = ShapeBounds(rects);
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = static_cast<DWORD>(rects.size());
  data->rdh.nRgnSize = static_cast<DWORD>(rects.size() * sizeof(RECT));
  data->rdh.rcBound = {bounds.left, bounds.top, bounds.right, bounds.bottom};
  auto* out = reinterpret_cast<RECT*>(data->Buffer);
  for (size_t i = 0; i < rects.size(); ++i)
    out[i] = {rects[i].left, rects[i].top, rects[i].right, rects[i].bottom};
  return ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
}

HRGN CreatePictureShape(HINSTANCE instance, int pictureId) {
  // The resource holds the exact colours: its rows are read where they are.
  std::span<const uint8_t> resource = ScaledPictureResource(instance, pictureId);
  PackedDib dib;
  std::vector<ShapeRect> rects;
  if (ReadPackedDib(resource, dib) && dib.bitCount == 24) {
    if (!BuildShapeRects(resource.subspan(dib.pixelOffset), dib.width, dib.height, dib.stride,
                         rects, dib.bottomUp))
      return nullptr;
    return CreateRegionFromRects(rects);
  }
  // Another depth: let the system convert it. A section keeps the picture's exact colours
  // whatever the screen's depth.
  GdiObject<HBITMAP> bitmap(static_cast<HBITMAP>(
      LoadImageA(instance, MAKEINTRESOURCEA(pictureId), IMAGE_BITMAP, 0, 0,
                 LR_CREATEDIBSECTION)));  // (100 % only: every scaled one is 24-bit)
  std::vector<uint8_t> pixels;
  int width = 0, height = 0;
  size_t stride = 0;
  if (!ReadBitmapPixels(bitmap.get(), pixels, width, height, stride) ||
      !BuildShapeRects(pixels, width, height, stride, rects))
    return nullptr;
  return CreateRegionFromRects(rects);
}

POINT ShapeOffset(HWND window) {
  RECT frame{};
  POINT client{0, 0};
  if (!GetWindowRect(window, &frame) || !ClientToScreen(window, &client)) return {0, 0};
  return {client.x - frame.left, client.y - frame.top - WindowPixels(BackgroundRise)};
}

void ShapeWindow(HWND window) {
  GdiObject<HRGN> shape(CreatePictureShape(sessionState.instance, IDB_BACKGROUND));
  if (!shape) return;
  POINT offset = ShapeOffset(window);
  OffsetRgn(shape.get(), offset.x, offset.y);
  if (SetWindowRgn(window, shape.get(), TRUE)) shape.release();  // the window owns it now
}

void LoadButtonPictures() {
  for (auto& b : buttonPictures) b.picture.Load(b.pictureId);
}

SIZE ButtonPictureSize(int id) {
  const Picture* p = ButtonPictureFor(id);
  return p ? SIZE{p->Width(), p->Height()} : SIZE{0, 0};
}

void PrepareBackground(HWND) { background.Load(IDB_BACKGROUND); }

bool BackgroundCoversWindow() { return background.Ready(); }

void LoadStatusPictures() {
  for (auto& s : statusPictures) s.picture.Load(s.pictureId);
}

void StyleProgressBar(HWND bar) {
  if (!bar) return;
  // The visual styles of newer systems draw the bar in the theme's colours and ignore ours;
  // uxtheme may be absent on old systems, so it is looked up rather than linked.
  if (Module theme{LoadLibraryA("uxtheme.dll")}) {
    using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    auto setTheme = reinterpret_cast<SetWindowThemeFunction>(
        GetProcAddress(theme.get(), "SetWindowTheme"));
    if (setTheme) setTheme(bar, L" ", L" ");  // a space: no theme class matches
  }
  SendMessageA(bar, PBM_SETBARCOLOR, 0, ProgressBarColour);
  SendMessageA(bar, PBM_SETBKCOLOR, 0, ProgressBackColour);
}

void StyleEditBox(HWND edit) {
  if (!edit) return;
  HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
  const int dpi = sessionState.skinDpi;
  if (dpi != BaseDpi) {
    if (!scaledTextFont) {
      // The stock font's face at the window's scale: 8 points.
      LOGFONTA description{};
      GetObjectA(font, sizeof description, &description);
      description.lfHeight = -MulDiv(8, dpi, 72);
      description.lfWidth = 0;
      // An outline font: a bitmap face of that name would be stretched, not drawn at the size.
      description.lfOutPrecision = OUT_TT_ONLY_PRECIS;
      scaledTextFont.reset(CreateFontIndirectA(&description));
    }
    if (scaledTextFont) font = scaledTextFont.get();
  }
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void SizeWindowToSkin(HWND window) {
  const int dpi = sessionState.skinDpi;
  if (scaledTextFont) {
    // Made again at the new scale by the next StyleEditBox.
    const auto stock = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
      if (reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)) == scaledTextFont.get())
        SendMessageA(child, WM_SETFONT, stock, FALSE);
    scaledTextFont.reset();
  }
  const SIZE size = BackgroundSize(sessionState.instance);
  const int width = ToPixels(size.cx, dpi), height = ToPixels(size.cy, dpi);
  RECT frame{};
  GetWindowRect(window, &frame);
  if (frame.right - frame.left == width && frame.bottom - frame.top == height) return;
  SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PaintMainWindow(HWND window, HDC dc) {
  // The window does not clip its children, so a repaint of the whole window could cover a
  // control that has already painted itself (a progress bar or an edit box then stays blank
  // until something else redraws it). The controls paint their own rectangles in full.
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!IsWindowVisible(child)) continue;
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    ExcludeClipRect(dc, r.left, r.top, r.right, r.bottom);
  }
  RECT client{};
  GetClientRect(window, &client);
  background.Draw(dc, 0, 0, 0, WindowPixels(BackgroundRise), client.right, client.bottom);
  const SessionState& s = sessionState;
  if (s.loadCount > 0) PaintWaveStrip(window, dc);

  StatusPicture choice = ChooseStatusPicture({s.uploaded, s.converted, s.loading, s.justLoaded});
  const Picture* status = StatusPictureById(choice.pictureId);
  if (status)
    status->Draw(dc, WindowPixels(choice.x), WindowPixels(choice.y), 0, 0, status->Width(),
                 status->Height());

  if (TheStrip().AnchorX() != -1) RedrawBand(window, dc);
  if (focusCuesShown && GetFocus() == window) {
    RECT ring = StripFocusRect();
    DrawFocusRect(dc, &ring);
  }
}

void DrawSkinButton(const DRAWITEMSTRUCT& item) {
  DrawSkinButton(item, sessionState.fileLoaded && IsPreviewPlaying());
}

void DrawSkinButton(const DRAWITEMSTRUCT& item, bool previewPlaying) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  int id = static_cast<int>(item.CtlID);
  const Picture* p = ButtonPictureFor(id);
  if (id == ID_PLAY && previewPlaying) p = ButtonPictureByPicture(IDB_STOP);
  if (id == ID_PLAY && item.hwndItem) {
    // The name a screen reader says is the one the picture shows.
    const char* name = previewPlaying ? "Stop" : "Play";
    char shown[8] = {};
    GetWindowTextA(item.hwndItem, shown, sizeof shown);
    if (lstrcmpA(shown, name) != 0) SetWindowTextA(item.hwndItem, name);
  }
  if (p && p->Ready()) {
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    p->Draw(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, 0, 0, p->Width(), p->Height());
    SetStretchBltMode(dc, oldMode);
  }
  if (item.itemState & ODS_SELECTED) InvertRect(dc, &r);
  if ((item.itemState & ODS_FOCUS) && focusCuesShown) {
    const int inset = WindowPixels(3);
    RECT ring{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
    DrawFocusRect(dc, &ring);
  }
}

void ShowFocusCues() { focusCuesShown = true; }

RECT StripFocusRect() {
  return {WindowPixels(StripRingUnits.left), WindowPixels(StripRingUnits.top),
          WindowPixels(StripRingUnits.right), WindowPixels(StripRingUnits.bottom)};
}

void ReleaseSkin() {
  for (auto& b : buttonPictures) b.picture.Release();
  for (auto& s : statusPictures) s.picture.Release();
  background.Release();
  scaledTextFont.reset();
}
