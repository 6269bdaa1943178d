// Resource ids of tarvex.exe, shared by the resource scripts and the program. Plain macros:
// the resource compiler reads this file too.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_TARVEX_DIALOG 101
#define IDR_MAINMENU 4
#define IDR_ACCELERATORS 200
#define IDI_TARVEX 200

// The system menu's About entry (its text is string 101).
#define IDM_ABOUTBOX 0x0010
#define IDS_ABOUTBOX 101

// Menu and accelerator commands.
#define ID_FILE_INITIALIZE 57600
#define ID_FILE_OPEN 57601
#define ID_FILE_SAVE 57603
#define ID_FILE_SAVE_AS 57604
#define ID_FILE_MRU_FILE1 57616
#define ID_APP_ABOUT 57664
#define ID_APP_EXIT 57665
#define ID_CONNECT_READ 32771
#define ID_CONNECT_WRITE 32772
#define ID_FILE_RESTORE 32781

// The About box's notice line.
#define IDC_ABOUT_NOTICE 1000
