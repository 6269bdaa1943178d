// tarvex.exe: the KR640 configuration window for Windows.
#include <windows.h>

#include "win/App.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return tarvex_win::RunApplication(instance, GetCommandLineW());
}
