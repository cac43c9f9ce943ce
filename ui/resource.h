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

// String table
#define IDS_ABOUTBOX 101
#define IDS_INFO_INSTALL 102
#define IDS_INFO_UPGRADE 103
#define IDS_CONFIRM_INSTALL 104
#define IDS_PATH_FAILED 105
#define IDS_COPY_FAILED 106
#define IDS_INSTALL_FAILED 107
#define IDS_CONFIRM_UNINSTALL 108
#define IDS_INSTALLED 110
#define IDS_USAGE 111
#define IDS_REMOVED 112
#define IDS_REMOVE_FAILED 113
#define IDS_REGISTRY_FAILED 114
#define IDS_QUERY_FAILED 115
#define IDS_UPGRADED 116
#define IDS_FOLDER_FAILED 117
#define IDS_EXTRACT_FAILED 118
#define IDS_DRIVER_UNFIT 119
#define IDS_NEEDS_64_BIT 120
