// Turns a static text control into a web link: dark blue text, underlined while the pointer is
// over it (tracked by holding the mouse capture until it leaves), the hand cursor, and a
// command with the static's id when clicked. State lives in window properties and is removed
// when the windows are destroyed.
#pragma once
#include <windows.h>

constexpr char HyperlinkOriginalProcProperty[] = "_Hyperlink_Original_Proc_";
constexpr char HyperlinkOriginalFontProperty[] = "_Hyperlink_Original_Font_";
constexpr char HyperlinkUnderlineFontProperty[] = "_Hyperlink_Underline_Font_";
constexpr char HyperlinkFromStaticProperty[] = "_Hyperlink_From_Static_";
constexpr COLORREF HyperlinkColour = RGB(0, 0, 192);

// Turns the control `id` of `dialog` into a link; false when there is no such control.
bool ConvertStaticToHyperlink(HWND dialog, int id);
// Replacement procedure of the link's parent: colours link statics, restores itself on destroy.
LRESULT CALLBACK HyperlinkParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Replacement procedure of the link itself: cursor, hover underline, clean-up on destroy.
LRESULT CALLBACK HyperlinkStaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
