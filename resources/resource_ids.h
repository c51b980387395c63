// Resource and control ids shared by the resource script and the program.
#pragma once

#define IDS_APP_TITLE 103
#define IDS_WINDOW_CLASS 109
#define IDI_QUAVELLA 209
#define IDR_ACCELERATORS 109

// Pictures.
#define IDB_BACKGROUND 164
#define IDB_WAVE_CANVAS 165
#define IDB_PLAY 166
#define IDB_STOP 174
#define IDB_CONVERT 137
#define IDB_BROWSE 135
#define IDB_UPLOAD 167
#define IDB_EXIT 183
#define IDB_HELP 204
#define IDB_WALLPAPER 215
#define IDB_PROFILE 219
#define IDB_STATUS_IDLE 159
#define IDB_STATUS_LOADING 185
#define IDB_STATUS_LOADED 186
#define IDB_STATUS_CONVERTED 176
#define IDB_STATUS_UPLOADED 177

// Compiled-in phone catalogue (type "BINARY").
#define IDR_CATALOGUE 214
// Profile dialog template.
#define IDD_PROFILE 178

// Commands and controls of the main window.
#define ID_CONVERT_AND_PLAY 104
#define ID_PLAY 5001
#define ID_CONVERT 5002
#define ID_BROWSE 5003
#define ID_PATH_EDIT 5004
#define ID_EXIT 5005
#define ID_HELP 5006
#define ID_UPLOAD 5011
#define ID_WALLPAPER 5012
#define ID_SIZE_EDIT 6020
#define ID_PROFILE 52033

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif
