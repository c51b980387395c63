// The main window's skin: shape, background, owner-drawn buttons and status pictures.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/window_shape.h"

// Gives the window the shape of picture 164: every pure red pixel is outside. The shape is
// placed so that it matches the background as painted (client offset, one pixel higher), so no
// red shows along its edge. The window keeps its rectangle when the picture cannot be read.
void ShapeWindow(HWND window);
// Every picture is loaded as drawn for the window's scale (sessionState.skinDpi), and the
// 100 % one where there is none for it; positions are 96-dpi units turned into the window's
// pixels where they are drawn.
// Loads the nine button pictures (kept for the life of the window).
void LoadButtonPictures();
// Size of the picture of button `id` (0 by 0 for an unknown id or a missing picture).
SIZE ButtonPictureSize(int id);
// Prepares the background surface from picture 164.
void PrepareBackground(HWND window);
// True when painting covers the whole client area with the background picture, so that erasing
// it first would only be drawn over.
bool BackgroundCoversWindow();
// Loads the five status pictures.
void LoadStatusPictures();
// Gives the progress bar its colours: amber bar on pale cyan. Visual styles would ignore the
// colours, so the bar is drawn unthemed.
void StyleProgressBar(HWND bar);
// Gives a read-only edit box the skin's text font (the dialog font of the system, not the
// large bold system font).
void StyleEditBox(HWND edit);
// Gives the window the size of picture 164 at the window's scale (sessionState.skinDpi), and
// lets the edit boxes' scaled font go (StyleEditBox makes it again).
void SizeWindowToSkin(HWND window);
// Paint: background one pixel higher, then the strip (when shown once), status picture, band.
void PaintMainWindow(HWND window, HDC dc);
// Draws one owner-drawn button; Play shows Stop while the preview plays.
void DrawSkinButton(const DRAWITEMSTRUCT& item);
// The same with the preview's state given.
void DrawSkinButton(const DRAWITEMSTRUCT& item, bool previewPlaying);
// From now on the focus is shown (the keyboard has moved it): a dotted ring inside the focused
// button, or around the strip while the window itself has the focus.
void ShowFocusCues();
// The ring around the strip, in the window's client pixels.
RECT StripFocusRect();
// Releases every surface the skin holds (Exit).
void ReleaseSkin();
// Width and height of picture 164 (the window's size).
SIZE BackgroundSize(HINSTANCE instance);

// Building blocks of the shape.
// The pixels of `bitmap` as 24-bit rows (blue, green, red), top row first.
bool ReadBitmapPixels(HBITMAP bitmap, std::vector<uint8_t>& pixels, int& width, int& height,
                      size_t& stride);
// One region made of banded rectangles in a single call; nullptr on failure.
HRGN CreateRegionFromRects(const std::vector<ShapeRect>& rects);
// The shape of picture `pictureId` in the picture's own coordinates; nullptr when the picture
// cannot be read.
HRGN CreatePictureShape(HINSTANCE instance, int pictureId);
// Where picture pixel (0, 0) of the shape goes in window coordinates: the client area's offset
// inside the window, one row higher because the background is painted one pixel higher.
POINT ShapeOffset(HWND window);
