// The skin's Windows side: the shape region against the pixel-by-pixel construction, its place
// on a real window, the painted background and status pictures, the owner-drawn buttons and the
// progress bar's colours.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <random>

#include "app/skin.h"
#include "resources/resource_ids.h"
#include "session/session_state.h"

namespace {

constexpr int PanelWidth = 550, PanelHeight = 355;

// A 24-bit top-down drawing surface whose pixels can be read.
class Surface {
 public:
  Surface(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_),
                               nullptr, 0);
    previous_ = SelectObject(dc_, bitmap_);
  }
  ~Surface() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC Dc() const { return dc_; }
  // 0xRRGGBB
  uint32_t At(int x, int y) const {
    GdiFlush();
    const uint8_t* p = bits_ + static_cast<size_t>(y) * Stride() + 3 * x;
    return p[2] << 16 | p[1] << 8 | p[0];
  }
  size_t Stride() const { return (static_cast<size_t>(width_) * 3 + 3) & ~size_t{3}; }
  uint8_t* Bits() { return bits_; }
  HBITMAP Bitmap() const { return bitmap_; }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  uint8_t* bits_ = nullptr;
};

// A picture resource of this test program, as 0xRRGGBB pixels.
struct Pixels {
  int width = 0, height = 0;
  size_t stride = 0;
  std::vector<uint8_t> bgr;
  uint32_t At(int x, int y) const {
    const uint8_t* p = &bgr[static_cast<size_t>(y) * stride + 3 * x];
    return p[2] << 16 | p[1] << 8 | p[0];
  }
};

Pixels LoadPixels(int pictureId) {
  Pixels p;
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                   MAKEINTRESOURCEA(pictureId), IMAGE_BITMAP, 0,
                                                   0, LR_CREATEDIBSECTION));
  EXPECT_TRUE(ReadBitmapPixels(bitmap, p.bgr, p.width, p.height, p.stride)) << pictureId;
  DeleteObject(bitmap);
  return p;
}

// The shape built as described for the window: the rectangle of the first columns (the width
// rounded down to a multiple of 4), exclusive-or one pixel square for every pure red pixel.
HRGN RegionByPixelXor(const std::vector<uint8_t>& bgr, int width, int height, size_t stride) {
  int columns = width & ~3;
  HRGN region = CreateRectRgn(0, 0, columns, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < columns; ++x) {
      const uint8_t* p = &bgr[static_cast<size_t>(y) * stride + 3 * x];
      if (p[0] == 0 && p[1] == 0 && p[2] == 255) {
        HRGN square = CreateRectRgn(x, y, x + 1, y + 1);
        CombineRgn(region, region, square, RGN_XOR);
        DeleteObject(square);
      }
    }
  return region;
}

HRGN RegionByRuns(const std::vector<uint8_t>& bgr, int width, int height, size_t stride) {
  std::vector<ShapeRect> rects;
  EXPECT_TRUE(BuildShapeRects(bgr, width, height, stride, rects));
  return CreateRegionFromRects(rects);
}

TEST(Shape, RunsGiveTheSameRegionAsThePixelByPixelRule) {
  // The panel picture itself.
  Pixels panel = LoadPixels(IDB_BACKGROUND);
  ASSERT_EQ(panel.width, PanelWidth);
  ASSERT_EQ(panel.height, PanelHeight);
  HRGN byXor = RegionByPixelXor(panel.bgr, panel.width, panel.height, panel.stride);
  HRGN byRuns = RegionByRuns(panel.bgr, panel.width, panel.height, panel.stride);
  HRGN fromResource = CreatePictureShape(GetModuleHandleA(nullptr), IDB_BACKGROUND);
  ASSERT_TRUE(byRuns && fromResource);
  EXPECT_TRUE(EqualRgn(byXor, byRuns));
  EXPECT_TRUE(EqualRgn(byXor, fromResource));
  DeleteObject(byXor);
  DeleteObject(byRuns);
  DeleteObject(fromResource);

  // Harder pictures: holes, islands, all-red rows and repeated rows, at widths that are and
  // are not multiples of 4.
  std::mt19937 random(209);
  for (int width : {5, 8, 37}) {
    for (int density : {3, 40, 97}) {
      int height = 29;
      size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
      std::vector<uint8_t> bgr(stride * height, 90);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          bool red = y % 9 == 4 || static_cast<int>(random() % 100) < density;
          if (y % 6 == 2 && y > 0) red = bgr[(y - 1) * stride + 3 * x + 2] == 255;
          if (red) bgr[y * stride + 3 * x] = 0, bgr[y * stride + 3 * x + 1] = 0,
                   bgr[y * stride + 3 * x + 2] = 255;
        }
      }
      HRGN a = RegionByPixelXor(bgr, width, height, stride);
      HRGN b = RegionByRuns(bgr, width, height, stride);
      EXPECT_TRUE(EqualRgn(a, b)) << "width " << width << " density " << density;
      DeleteObject(a);
      DeleteObject(b);
    }
  }
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

// A window made like the main window (popup, thin border, system menu, the panel's size) with
// the skin's pictures loaded.
class SkinnedWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    sessionState.instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = PlainProc;
    windowClass.hInstance = sessionState.instance;
    windowClass.lpszClassName = "SkinTestWindow";
    RegisterClassA(&windowClass);
    window_ = CreateWindowExA(0, "SkinTestWindow", "skin", WS_POPUP | WS_BORDER | WS_SYSMENU,
                              300, 300, PanelWidth, PanelHeight, nullptr, nullptr,
                              sessionState.instance, nullptr);
    ASSERT_NE(window_, nullptr);
    LoadButtonPictures();
    PrepareBackground(window_);
    LoadStatusPictures();
  }
  void TearDown() override {
    ReleaseSkin();
    if (window_) DestroyWindow(window_);
    sessionState.instance = nullptr;
    sessionState.uploaded = false;
    sessionState.converted = false;
    sessionState.loading = false;
    sessionState.justLoaded = false;
  }
  HWND window_ = nullptr;
};

TEST_F(SkinnedWindow, ShapeFollowsThePaintedBackgroundWithoutRedFringe) {
  Pixels panel = LoadPixels(IDB_BACKGROUND);
  ShapeWindow(window_);
  HRGN shape = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(window_, shape), ERROR);

  // The client area starts one pixel in (the border) and shows picture row y + 1 on client
  // row y: window pixel (X, Y) shows picture pixel (X - 1, Y).
  POINT offset = ShapeOffset(window_);
  EXPECT_EQ(offset.x, 1);
  EXPECT_EQ(offset.y, 0);
  HRGN expected = RegionByPixelXor(panel.bgr, panel.width, panel.height, panel.stride);
  OffsetRgn(expected, 1, 0);
  EXPECT_TRUE(EqualRgn(shape, expected));
  DeleteObject(expected);

  int fringe = 0, missing = 0;
  for (int y = 0; y < PanelHeight; ++y) {
    for (int x = 0; x < PanelWidth; ++x) {
      bool inside = PtInRegion(shape, x, y);
      bool shown = x >= 1 && x - 1 < 548 && y >= 1 && y < PanelHeight - 1;  // client, 548 wide
      bool red = !shown || panel.At(x - 1, y) == 0xFF0000;
      if (inside && red) ++fringe;
      if (!inside && !red && x - 1 < 548) ++missing;
    }
  }
  EXPECT_EQ(fringe, 0) << "window pixels inside the shape that show red or the border";
  EXPECT_EQ(missing, 0) << "panel pixels cut off";
  for (int y = 0; y < PanelHeight; ++y) {
    EXPECT_FALSE(PtInRegion(shape, 548, y));
    EXPECT_FALSE(PtInRegion(shape, 549, y));
  }
  for (POINT corner : {POINT{0, 0}, POINT{549, 0}, POINT{0, 354}, POINT{549, 354}})
    EXPECT_FALSE(PtInRegion(shape, corner.x, corner.y));
  EXPECT_TRUE(PtInRegion(shape, 275, 180));
  DeleteObject(shape);
}

TEST_F(SkinnedWindow, PaintShowsBackgroundOnePixelHigherAndTheStatusOfTheFlags) {
  Pixels panel = LoadPixels(IDB_BACKGROUND);
  RECT client{};
  GetClientRect(window_, &client);
  ASSERT_EQ(client.right, PanelWidth - 2);
  ASSERT_EQ(client.bottom, PanelHeight - 2);

  struct Case { const char* name; bool uploaded, converted, loading, justLoaded; int picture, y; };
  const Case cases[] = {
      {"idle", false, false, false, false, IDB_STATUS_IDLE, 220},
      {"loading", false, false, true, false, IDB_STATUS_LOADING, 220},
      {"loaded", false, false, false, true, IDB_STATUS_LOADED, 205},
      {"converted", false, true, false, true, IDB_STATUS_CONVERTED, 205},
      {"uploaded and converted", true, true, false, false, IDB_STATUS_UPLOADED, 220},
      {"loading after an upload", true, false, true, false, IDB_STATUS_UPLOADED, 220},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sessionState.uploaded = c.uploaded;
    sessionState.converted = c.converted;
    sessionState.loading = c.loading;
    sessionState.justLoaded = c.justLoaded;
    Surface surface(client.right, client.bottom);
    PaintMainWindow(window_, surface.Dc());
    Pixels status = LoadPixels(c.picture);
    int wrong = 0;
    for (int y = 0; y < client.bottom; ++y) {
      for (int x = 0; x < client.right; ++x) {
        bool inStatus = x >= 172 && x < 172 + status.width && y >= c.y && y < c.y + status.height;
        uint32_t expected = inStatus ? status.At(x - 172, y - c.y) : panel.At(x, y + 1);
        if (surface.At(x, y) != expected && wrong++ < 3)
          ADD_FAILURE() << "client " << x << "," << y << ": " << std::hex << surface.At(x, y)
                        << " instead of " << expected;
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_F(SkinnedWindow, ButtonsShowTheirPictureInvertedWhilePressedAndStopWhilePlaying) {
  struct Case { int id; int picture; int width, height; };
  const Case cases[] = {
      {ID_PLAY, IDB_PLAY, 81, 27},         {ID_CONVERT, IDB_CONVERT, 81, 27},
      {ID_BROWSE, IDB_BROWSE, 81, 27},     {ID_UPLOAD, IDB_UPLOAD, 81, 27},
      {ID_EXIT, IDB_EXIT, 12, 12},         {ID_HELP, IDB_HELP, 50, 19},
      {ID_WALLPAPER, IDB_WALLPAPER, 140, 19}, {ID_PROFILE, IDB_PROFILE, 63, 19},
  };
  auto draw = [](int id, SIZE size, bool pressed, bool playing, Surface& surface) {
    DRAWITEMSTRUCT item{};
    item.CtlType = ODT_BUTTON;
    item.CtlID = id;
    item.itemAction = ODA_DRAWENTIRE;
    item.itemState = pressed ? ODS_SELECTED : 0;
    item.hDC = surface.Dc();
    item.rcItem = {0, 0, size.cx, size.cy};
    DrawSkinButton(item, playing);
  };
  auto differences = [](const Surface& s, const Pixels& p, bool inverted) {
    int n = 0;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x)
        n += s.At(x, y) != (inverted ? ~p.At(x, y) & 0xFFFFFF : p.At(x, y));
    return n;
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    SIZE size = ButtonPictureSize(c.id);
    EXPECT_EQ(size.cx, c.width);
    EXPECT_EQ(size.cy, c.height);
    Pixels picture = LoadPixels(c.picture);
    Surface up(size.cx, size.cy), down(size.cx, size.cy);
    draw(c.id, size, false, false, up);
    draw(c.id, size, true, false, down);
    EXPECT_EQ(differences(up, picture, false), 0);
    EXPECT_EQ(differences(down, picture, true), 0);
  }

  // Play shows Stop while the preview plays, pressed or not.
  Pixels stop = LoadPixels(IDB_STOP);
  Surface playing(81, 27), pressedPlaying(81, 27);
  draw(ID_PLAY, {81, 27}, false, true, playing);
  draw(ID_PLAY, {81, 27}, true, true, pressedPlaying);
  EXPECT_EQ(differences(playing, stop, false), 0);
  EXPECT_EQ(differences(pressedPlaying, stop, true), 0);

  // A button without a picture is still drawn: white with a black frame.
  Surface plain(20, 10);
  draw(4242, {20, 10}, false, false, plain);
  EXPECT_EQ(plain.At(0, 0), 0x000000u);
  EXPECT_EQ(plain.At(19, 9), 0x000000u);
  EXPECT_EQ(plain.At(10, 5), 0xFFFFFFu);
}

TEST_F(SkinnedWindow, ProgressBarHasAmberBarOnPaleCyan) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "test", WS_CHILD | WS_VISIBLE, 70, 240, 74, 20,
                             window_, nullptr, sessionState.instance, nullptr);
  ASSERT_NE(bar, nullptr);
  StyleProgressBar(bar);
  SendMessageA(bar, PBM_SETRANGE32, 0, 100);
  SendMessageA(bar, PBM_SETPOS, 50, 0);
  RECT r{};
  GetClientRect(bar, &r);
  Surface surface(r.right, r.bottom);
  SendMessageA(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.Dc()), PRF_CLIENT);
  int y = r.bottom / 2;
  EXPECT_EQ(surface.At(r.right / 4, y), 0xFFCC00u) << "bar";
  EXPECT_EQ(surface.At(r.right * 7 / 8, y), 0xCCFFFFu) << "background";
  DestroyWindow(bar);
}

}  // namespace
