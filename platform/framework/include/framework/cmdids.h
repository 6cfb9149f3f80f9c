// The framework's standard command ids and help-context bases. Programs
// use them in their menus and accelerators; the framework's documents,
// views and frames handle them.
#pragma once

// File commands handled by documents and views.
#define ID_FILE_CLOSE 0xE102
#define ID_FILE_SAVE 0xE103
#define ID_FILE_SAVE_AS 0xE104
#define ID_FILE_PRINT 0xE107

// Window commands handled by MDI frames.
#define ID_WINDOW_ARRANGE 0xE131
#define ID_WINDOW_CASCADE 0xE132
#define ID_WINDOW_TILE_HORZ 0xE133
#define ID_WINDOW_TILE_VERT 0xE134

// Help: ID_HELP asks the window with the focus, then its parents, for the
// help context (WM_COMMANDHELP).
#define ID_HELP 0xE146
#define HID_BASE_COMMAND 0x00010000   // help context of a command: base + id
#define HID_BASE_RESOURCE 0x00020000  // help context of a frame or dialog: base + resource id

// The MDI client numbers its Window-menu entries from here.
#define AFX_IDM_FIRST_MDICHILD 0xFF00
