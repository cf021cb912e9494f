// gravelmoor.exe: the operator's window.
#include <windows.h>

#include <windows.h>

#include "ui/win32/app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    CGravelmoorApp app;
    return app.InitInstance() ? 0 : 0;
}
