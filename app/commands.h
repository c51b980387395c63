// Handlers of the main window's commands.
#pragma once
#include <windows.h>

void OnPlay(HWND window);
void OnConvert(HWND window);
void OnBrowse(HWND window);
void OnUpload(HWND window);
void OnProfile(HWND window);
void OnHelp(HWND window);
void OnWallpaper(HWND window);
void OnExit(HWND window);
void OnConvertAndPlay(HWND window);

// The address of a page of the service ("http://HOST/" + path).
const char* ServicePageAddress(const char* pathAndQuery);
