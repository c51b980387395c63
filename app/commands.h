// Handlers of the main window's commands.
#pragma once
#include <windows.h>

#include <string>

void OnPlay(HWND window);
void OnConvert(HWND window);
void OnBrowse(HWND window);
void OnUpload(HWND window);
void OnProfile(HWND window);
void OnHelp(HWND window);
void OnWallpaper(HWND window);
void OnExit(HWND window);
void OnConvertAndPlay(HWND window);
// A song that came in otherwise than through Browse (dropped, given on the command line or
// by a second start): the same gates, checks and import as a song chosen in Browse; a folder
// or a path that is not there gets a message. `path` is UTF-8.
void OnSongGiven(HWND window, const std::string& path);

// The address of a page of the service ("http://HOST/" + path).
const char* ServicePageAddress(const char* pathAndQuery);
