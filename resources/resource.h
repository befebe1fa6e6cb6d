#pragma once
// Resource ids shared by the .rc file and the code.
#define IDI_MOODRELAYER 1
#define IDD_SETTINGS 2001
#define IDM_TRAY 1002
#define IDC_LABEL 3000
#define IDC_USERNAME 4000
#define IDC_PASSWORD 4001
#define IDM_SETTINGS 40001
#define IDM_EXIT 1003
