// Resource identifiers, shared by the resource scripts and the code.
#pragma once

// Shared by every dialog.
#define IDC_OK 1004

// Main window.
#define IDD_MAIN 101
#define IDR_APPLY_MENU 102
#define IDR_MAIN_MENU 103
#define IDI_APP 106
#define IDC_APPLY 3
#define IDC_DRIVE_LIST 1000
#define IDC_BROWSE 1003
#define IDC_CANCEL 1005
#define IDC_ICON_PATH 1006
#define IDC_LABEL 1007
#define IDC_ICON_PATH_CAPTION 1009
#define IDC_LABEL_CAPTION 1010
#define IDC_PREVIEW 1012
#define IDC_TYPE_NAME 1013
#define IDC_PREVIEW_SIZES 1014
#define IDC_LOCATION_NOTE 1018
#define IDC_NAME_NOTE 1019
#define ID_APPLY_ALL 40001
#define ID_APPLY_THIS 40003
#define ID_FILE_EXIT 40004
#define ID_FILE_EXPORT 40005
#define ID_HELP_ABOUT 40006
#define ID_HELP_README 40007
#define ID_RESTORE_DEFAULTS 40008
#define ID_FILE_ADD_LETTER 40009

// The preview at Explorer's extra-large size.
#define IDD_LARGE_PREVIEW 112

// About box.
#define IDD_ABOUT 104
#define IDC_LINK_CURSOR 105
#define IDC_SITE_LINK 1015
#define IDC_MAIL_LINK 1016
#define IDC_VERSION 1017

// Kelvarin's own icon picker, for systems without the shell's.
#define IDD_ICON_PICKER 110
#define IDC_PICKER_FILE_CAPTION 1101
#define IDC_PICKER_FILE 1102
#define IDC_PICKER_BROWSE 1103
#define IDC_PICKER_LIST_CAPTION 1104
#define IDC_PICKER_LIST 1105

// The box that adds a drive letter.
#define IDD_ADD_LETTER 120
#define IDC_ADD_LETTER_CAPTION 1201
#define IDC_ADD_LETTER_LIST 1202

// Version record.
#define KELVARIN_VERSION_BINARY 1, 0, 1, 0
#define KELVARIN_VERSION_TEXT "1, 0, 1, 0"
