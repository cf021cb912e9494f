// Resource ids of gravelmoor.rc. The resource compiler cannot read the C++
// constants of ui/model/control_ids.h, so the ids the two share are written
// again here; resource_ids_check.cpp holds them equal at compile time.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_GRAVELMOOR_DIALOG 102
#define IDD_INIT_SETUP 135
#define IDD_SELECT_ERASE 139
#define IDD_OVERWRITE 140

// Strings.
#define IDS_OLE_INIT_FAILED 100
#define IDS_ABOUTBOX 101

// Icons and bitmaps.
#define IDR_MAINFRAME 128
#define IDI_EJECT 137
#define IDI_PROBE 138
#define IDI_REFRESH 139
#define IDB_LAMP_RED 141
#define IDB_LAMP_GREEN 142
#define IDB_LAMP_UNLIT 143
#define IDB_LAMP_BLUE 144
#define IDB_LAMP_YELLOW 145
#define IDB_LAMP_NAVY 146
#define IDB_LAMP_DARK_GREEN 147
#define IDB_LAMP_DARK_RED 148
#define IDB_LAMP_OLIVE 149
#define IDB_LAMP_MAGENTA 150
#define IDB_LAMP_PURPLE 151

// Main window (template 102).
#define IDC_ENABLE_DRIVE1 1004
#define IDC_ENABLE_DRIVE2 1005
#define IDC_ENABLE_DRIVE3 1006
#define IDC_PROGRESS_DRIVE1 1007
#define IDC_PROGRESS_DRIVE2 1008
#define IDC_PROGRESS_DRIVE3 1009
#define IDC_PROGRESS_DRIVE0 1010
#define IDC_DRIVE0 1011
#define IDC_DRIVE1 1012
#define IDC_DRIVE2 1013
#define IDC_DRIVE3 1014
#define IDC_IMAGE_EDIT 1015
#define IDC_BROWSE_IMAGE 1016
#define IDC_READ_BUTTON 1017
#define IDC_WRITE_BUTTON 1018
#define IDC_VERIFY_BUTTON 1019
#define IDC_STOP_BUTTON 1020
#define IDC_ENABLE_DRIVE0 1021
#define IDC_PROGRESS_IMAGE 1022
#define IDC_OPTION_VERIFY 1023
#define IDC_OPTION_EJECT 1024
#define IDC_OPTION_SHARE_READ 1025
#define IDC_OPTION_FORCE_WRITE 1026
#define IDC_ROW_STATUS0 1027
#define IDC_ROW_STATUS1 1028
#define IDC_ROW_STATUS2 1029
#define IDC_ROW_STATUS3 1030
#define IDC_IMAGE_NOTE_TEXT 1031
#define IDC_LOG_VIEW 1032
#define IDC_PROGRESS_TOTAL 1033
#define IDC_OPTION_FORCE_VERIFY 1034
#define IDC_OPTION_MAKE_MD5SUM 1035
#define IDC_REMAIN_TEXT 1036
#define IDC_REMAIN_LABEL 1037
#define IDC_PROBE0 1038
#define IDC_PROBE1 1039
#define IDC_PROBE2 1040
#define IDC_PROBE3 1041
#define IDC_EJECT0 1042
#define IDC_EJECT1 1043
#define IDC_EJECT2 1044
#define IDC_EJECT3 1045
#define IDC_IMAGE_DIGEST_TEXT 1046
#define IDC_IMAGE_VERDICT_TEXT 1047
#define IDC_OPTION_UNSTABLE_READ 1048
#define IDC_OPTION_COMPRESS_IMAGE 1049
#define IDC_OPTION_MD5_VERIFY 1050
#define IDC_OPTION_COMPARE_AFTER_WRITE 1051
#define IDC_ERASE_BUTTON 1052
#define IDC_FRAME_DRIVES 1053
#define IDC_FRAME_IMAGE 1054
#define IDC_FRAME_OPTIONS 1055
#define IDC_DIGEST_LABEL 1056
#define IDC_CAPTION_DRIVES 1061
#define IDC_CAPTION_IMAGE 1062
#define IDC_CAPTION_OPTIONS 1063
#define IDC_LOCK0 1079
#define IDC_LOCK1 1080
#define IDC_LOCK2 1081
#define IDC_LOCK3 1082
#define IDC_IMAGE_PATH_BOX 1083
#define IDC_REFRESH_BUTTON 1084
#define IDC_UPPER_LAMP0 1109
#define IDC_UPPER_LAMP1 1110
#define IDC_UPPER_LAMP2 1111
#define IDC_UPPER_LAMP3 1112
#define IDC_LOWER_LAMP0 1113
#define IDC_LOWER_LAMP1 1114
#define IDC_LOWER_LAMP2 1115
#define IDC_LOWER_LAMP3 1116

// Setup dialog (template 135).
#define IDC_SETUP_NO_SCAN 1065
#define IDC_SETUP_HIDE 1066
#define IDC_SETUP_LOCK 1067
#define IDC_SETUP_LOCK_NOT_READY 1073
#define IDC_SETUP_BUFFER 1074
#define IDC_SETUP_REMOVABLE_ONLY 1077
#define IDC_SETUP_HIDE_NO_LETTER 1078
#define IDC_SETUP_SHOW_FLOPPY 1105
#define IDC_SETUP_SHOW_CDROM 1106

// Erase-method dialog (template 139): the sixteen radio buttons in group
// order, the description, the drive lines.
#define IDC_ERASE_FIRST_RADIO 1085
#define IDC_ERASE_DESCRIPTION 1100
#define IDC_ERASE_DRIVES 1101
#define IDC_ERASE_HEADING 1102

// Write confirmation (template 140).
#define IDC_OVERWRITE_HEADING 1086
#define IDC_OVERWRITE_DRIVES 1087

// Version dialog (template 100).
#define IDC_ABOUT_PRODUCT 1033
#define IDC_ABOUT_COPYRIGHT 1034
#define IDC_ABOUT_COMMENTS 1051

// System menu commands.
#define IDM_ABOUTBOX_CMD 0x0010
#define IDM_SETUP_CMD 0x0110

// The version of this build: the product version (major, minor, revision,
// build) and the file version read as a date and the day's serial.
#define GM_PRODUCT_VERSION 0, 1, 0, 1
#define GM_PRODUCT_VERSION_TEXT "0.1.0.1"
#define GM_FILE_VERSION 2026, 12, 7, 1
#define GM_FILE_VERSION_TEXT "2026.12.7.1"
