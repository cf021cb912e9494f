#pragma once
// The application: common controls, the rich-edit library for the log and
// the zlib binding for the whole run, then the main window, modally.
#include <windows.h>

class CGravelmoorApp {
public:
    // Runs the program; false in every case, as the program ends with its
    // window.
    bool InitInstance();
};

// The settings of the platform: the executable's folder, GetDriveTypeW and
// GlobalMemoryStatusEx.
struct T_WINDOW_PORTS;
void FillPlatformPorts(T_WINDOW_PORTS& ports);
