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

#define ID_FILE_NEW 1001
#define ID_FILE_EXIT 1002
#define ID_VIEW_GRID 1003
#define ID_VIEW_RULER 1004
#define ID_SHAPE_FIRST 1010
#define ID_SHAPE_LAST 1012

#define IDC_NAME 2001
#define IDC_ENABLED 2002
#define IDC_COLOUR 2003
#define IDC_STEPS 2004
#define IDC_COUNT 2005
#define IDC_KIND_FIRST 2006
#define IDC_KIND_SECOND 2007
#define IDC_KIND_THIRD 2008
