// Resource identifiers of the installer.
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_INSTALLER 102

// The program's icon
#define IDR_MAINFRAME 128

// The About item of the installer dialog's system menu
#define IDM_ABOUTBOX 16

// Controls of the dialogs; IDC_STATIC for those the program never addresses
#define IDC_STATIC -1
#define IDC_INSTALL 1000
#define IDC_INFO 1001
#define IDC_UNINSTALL 1002
#define IDC_UPGRADE 1003
#define IDC_HYPERLINK 1004
#define IDC_TITLE 1005

// The dialog's strings in the string table (the engine's: installer/resource.h)
#define IDS_ABOUTBOX 101
#define IDS_INFO_INSTALL 102
#define IDS_INFO_UPGRADE 103
#define IDS_CONFIRM_INSTALL 104
#define IDS_CONFIRM_UNINSTALL 108
