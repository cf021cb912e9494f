#pragma once
// The control ids of the main window (dialog template 102) that its
// decisions speak about. Rows are numbered 0 to 3 from the top; a row's
// controls are found through the tables below by row number.
#include <array>
#include <cstdint>

constexpr int ROW_COUNT = 4;

// Buttons of the job and of the window.
constexpr uint32_t IDC_CLOSE = 1;
constexpr uint32_t IDC_READ = 1017;
constexpr uint32_t IDC_WRITE = 1018;
constexpr uint32_t IDC_VERIFY = 1019;
constexpr uint32_t IDC_STOP = 1020;
constexpr uint32_t IDC_ERASE = 1052;
constexpr uint32_t IDC_BROWSE = 1016;
constexpr uint32_t IDC_REFRESH = 1084;  // the hidden icon button

// The image file.
constexpr uint32_t IDC_IMAGE_PATH = 1083;
constexpr uint32_t IDC_IMAGE_PROGRESS = 1022;
constexpr uint32_t IDC_IMAGE_NOTE = 1031;
constexpr uint32_t IDC_IMAGE_DIGEST = 1046;
constexpr uint32_t IDC_IMAGE_VERDICT = 1047;

// The whole job.
constexpr uint32_t IDC_TOTAL_PROGRESS = 1033;
constexpr uint32_t IDC_REMAIN = 1036;
constexpr uint32_t IDC_LOG = 1032;

// Option check boxes.
constexpr uint32_t IDC_OPT_VERIFY = 1023;
constexpr uint32_t IDC_OPT_EJECT = 1024;
constexpr uint32_t IDC_OPT_SHARE_READ = 1025;
constexpr uint32_t IDC_OPT_FORCE_WRITE = 1026;
constexpr uint32_t IDC_OPT_FORCE_VERIFY = 1034;
constexpr uint32_t IDC_OPT_MAKE_MD5SUM = 1035;
constexpr uint32_t IDC_OPT_UNSTABLE_READ = 1048;
constexpr uint32_t IDC_OPT_COMPRESS_IMAGE = 1049;
constexpr uint32_t IDC_OPT_MD5_VERIFY = 1050;
constexpr uint32_t IDC_OPT_COMPARE_AFTER_WRITE = 1051;

// The controls of each row, indexed by row.
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_ENABLE = {1021, 1004, 1005, 1006};
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_DRIVE = {1011, 1012, 1013, 1014};
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_LOCK = {1079, 1080, 1081, 1082};
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_PROBE = {1038, 1039, 1040, 1041};
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_PROGRESS = {1010, 1007, 1008, 1009};
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_EJECT = {1042, 1043, 1044, 1045};
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_UPPER_LAMP = {1109, 1110, 1111, 1112};
constexpr std::array<uint32_t, ROW_COUNT> IDC_ROW_LOWER_LAMP = {1113, 1114, 1115, 1116};

// The system menu's settings command, greyed while a job runs.
constexpr uint32_t IDM_SETUP = 0x0110;
constexpr uint32_t IDM_ABOUTBOX = 0x0010;
