// tarvex.exe's start-up: the options, the common controls, the language and the window.
#pragma once

#include <windows.h>

namespace tarvex_win {

// The whole program: returns its exit code.
int RunApplication(HINSTANCE module, const wchar_t* commandLine);

}  // namespace tarvex_win
