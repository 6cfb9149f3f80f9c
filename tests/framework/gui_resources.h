// Resource ids of the GUI tests and the sample application.
#pragma once

#define IDR_SAMPLE_MENU 100
#define IDR_SAMPLE_ACCEL 101
#define IDD_SAMPLE_TOOLS 200
#define IDD_DATA 201
#define IDD_PAGE_START 210
#define IDD_PAGE_MIDDLE 211
#define IDD_PAGE_END 212
#define IDS_SAMPLE_TITLE 300
#define IDR_FRAME 310
#define IDR_BARE_FRAME 311
#define IDR_MDI_MAIN 320
#define IDR_DIAGRAM 321
#define IDR_NOTES 322
#define IDD_NOTES_FORM 220

#define ID_FILE_NEW 1001
#define ID_FILE_EXIT 1002
#define ID_VIEW_GRID 1003
#define ID_VIEW_RULER 1004
#define ID_SHAPE_FIRST 1010
#define ID_SHAPE_LAST 1012
// Commands of the MDI sample, each handled at one level of the routing.
#define ID_VIEW_CMD 1101
#define ID_OVERRIDE_CMD 1102
#define ID_DOC_CMD 1103
#define ID_CHILD_CMD 1104
#define ID_MAIN_CMD 1105
#define ID_APP_CMD 1106
#define ID_SHARED_CMD 1107
#define ID_UNHANDLED_CMD 1108

#define IDC_NAME 2001
#define IDC_ENABLED 2002
#define IDC_COLOUR 2003
#define IDC_STEPS 2004
#define IDC_COUNT 2005
#define IDC_KIND_FIRST 2006
#define IDC_KIND_SECOND 2007
#define IDC_KIND_THIRD 2008
#define IDC_NOTES 2009
