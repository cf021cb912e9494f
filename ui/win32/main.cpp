// gravelmoor.exe: the operator's window.
#include <windows.h>

#include "engine/core/format.h"
#include "ui/win32/app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    UseUserLocale();  // before any thread starts
    // The program ends with its window, whatever InitInstance answers.
    CGravelmoorApp app;
    app.InitInstance();
    return 0;
}
