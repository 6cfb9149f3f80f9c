// The frame half's private message numbers, window ids, resource ids and
// bar styles, fixed here once. Windows of other programs never see the
// messages: they pass only between a frame and its own bars and children.
#pragma once

#include <windows.h>

// Private messages (WM_USER range below 0x400 is not used by the system).
#define WM_SIZEPARENT 0x0361        // lParam AFX_SIZEPARENTPARAMS*: a bar takes its edge
#define WM_SETMESSAGESTRING 0x0362  // wParam string id, or lParam the text itself
#define WM_IDLEUPDATECMDUI 0x0363   // wParam TRUE: disable items without a handler
#define WM_INITIALUPDATE 0x0364     // sent to every descendant once a frame is made
#define WM_COMMANDHELP 0x0365       // lParam help context; return TRUE when handled
#define WM_FLOATSTATUS 0x0366       // wParam FS_* bits, to the floating frames of a frame

// WM_FLOATSTATUS bits.
#define FS_SHOW 0x01
#define FS_HIDE 0x02
#define FS_ACTIVATE 0x04
#define FS_DEACTIVATE 0x08
#define FS_ENABLE 0x10
#define FS_DISABLE 0x20
#define FS_SYNCACTIVE 0x40

// Window ids inside a frame.
#define AFX_IDW_TOOLBAR 0xE800
#define AFX_IDW_STATUS_BAR 0xE801
#define AFX_IDW_DOCKBAR_TOP 0xE81B
#define AFX_IDW_DOCKBAR_LEFT 0xE81C
#define AFX_IDW_DOCKBAR_RIGHT 0xE81D
#define AFX_IDW_DOCKBAR_BOTTOM 0xE81E
#define AFX_IDW_DOCKBAR_FLOAT 0xE81F
#define AFX_IDW_PANE_FIRST 0xE900  // the view, or the first pane of a splitter
#define AFX_IDW_PANE_LAST 0xE9FF

// String and cursor resources.
#define AFX_IDS_IDLEMESSAGE 0xE001  // the status prompt shown while idle
#define AFX_IDC_HSPLITBAR 30980     // splitter moved left and right
#define AFX_IDC_VSPLITBAR 30981     // splitter moved up and down

// Bar style word of a control bar (CControlBar::m_dwStyle).
#define CBRS_ALIGN_LEFT 0x1000
#define CBRS_ALIGN_TOP 0x2000
#define CBRS_ALIGN_RIGHT 0x4000
#define CBRS_ALIGN_BOTTOM 0x8000
#define CBRS_ALIGN_ANY 0xF000
#define CBRS_BORDER_LEFT 0x0100
#define CBRS_BORDER_TOP 0x0200
#define CBRS_BORDER_RIGHT 0x0400
#define CBRS_BORDER_BOTTOM 0x0800
#define CBRS_BORDER_ANY 0x0F00
#define CBRS_FLOAT_MULTI 0x0040
#define CBRS_FLYBY 0x0020
#define CBRS_TOOLTIPS 0x0010
#define CBRS_SIZE_DYNAMIC 0x0004
#define CBRS_SIZE_FIXED 0x0002
#define CBRS_FLOATING 0x0001
#define CBRS_BORDER_3D 0x00400000
#define CBRS_ALL 0x0040FFFF
#define CBRS_ORIENT_HORZ (CBRS_ALIGN_TOP | CBRS_ALIGN_BOTTOM)
#define CBRS_ORIENT_VERT (CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT)
#define CBRS_TOP (CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM)
#define CBRS_BOTTOM (CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP)
#define CBRS_LEFT (CBRS_ALIGN_LEFT | CBRS_BORDER_RIGHT)
#define CBRS_RIGHT (CBRS_ALIGN_RIGHT | CBRS_BORDER_LEFT)

// Layout modes of CControlBar::CalcDynamicLayout.
#define LM_STRETCH 0x01
#define LM_HORZ 0x02
#define LM_MRUWIDTH 0x04
#define LM_HORZDOCK 0x08
#define LM_VERTDOCK 0x10
#define LM_LENGTHY 0x20
#define LM_COMMIT 0x40

// Frame window styles (kept out of the real window style where they clash).
#define FWS_ADDTOTITLE 0x00008000
#define FWS_PREFIXTITLE 0x00004000
#define FWS_SNAPTOBARS 0x00001000
#define MFS_SYNCACTIVE 0x00000100
#define MFS_4THICKFRAME 0x00000200
#define MFS_THICKFRAME 0x00000400
#define MFS_MOVEFRAME 0x00000800
#define MFS_BLOCKSYSMENU 0x00002000
