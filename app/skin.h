// The main window's skin: shape, background, owner-drawn buttons and status pictures.
#pragma once
#include <windows.h>

// Gives the window the shape of picture 164 (red pixels are outside).
void ShapeWindow(HWND window);
// Loads the nine button pictures (kept for the life of the window).
void LoadButtonPictures();
// Size of the picture of button `id`.
SIZE ButtonPictureSize(int id);
// Prepares the background surface from picture 164.
void PrepareBackground(HWND window);
// Loads the five status pictures.
void LoadStatusPictures();
// Paint: background one pixel higher, then the strip (when shown once), status picture, band.
void PaintMainWindow(HWND window, HDC dc);
// Draws one owner-drawn button.
void DrawSkinButton(const DRAWITEMSTRUCT& item);
// Releases every surface the skin holds (Exit).
void ReleaseSkin();
// Width and height of picture 164 (the window's size).
SIZE BackgroundSize(HINSTANCE instance);
