#include "win/App.h"

#include <commctrl.h>
#include <shellapi.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "link/D2xxDriver.h"
#include "link/TBX3.h"
#include "link/WidePath.h"
#include "win/Options.h"
#include "win/Utf8.h"
#include "win/Win32Controls.h"
#include "win/Win32Window.h"

namespace tarvex_win {

namespace {

// Applies the adapter options; false after printing why the program cannot start.
bool ApplyAdapterOptions(const Options& options) {
    if (options.simulate) {
        const std::string path = D2xxDriver::FindBesideProgram(D2xxDriver::kVirtualGyroFile);
        if (path.empty()) {
            TellAtStart(
                L"tarvex: the virtual gyro (tarvex-vgyro.dll) is not installed beside the "
                L"program\n",
                true);
            return false;
        }
        _wputenv_s(L"TARVEX_D2XX", Widen(path).c_str());
    }
    // A relative --driver is taken from the working folder, as its help says: made full here,
    // since the driver binding refuses a relative TARVEX_D2XX.
    if (!options.driver.empty()) _wputenv_s(L"TARVEX_D2XX", widepath::Full(options.driver).c_str());
    if (!options.adapter.empty()) g_adapter.SelectAdapter(options.adapter);
    return true;
}

}  // namespace

int RunApplication(HINSTANCE module, const wchar_t* commandLine) {
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(commandLine, &count)) {
        for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
        LocalFree(argv);
    }
    Options options;
    const ParseResult parsed = ParseOptions(arguments, options);
    if (!parsed.run) {
        TellAtStart(parsed.output, false);
        TellAtStart(parsed.error, true);
        return parsed.exitCode;
    }
    if (!ApplyAdapterOptions(options)) return 2;

    // Every common-control class; the window uses the trackbar among them.
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&controls);

    Win32DialogHost host(module, options.language.value_or(UserLanguage()));
    SystemServices services;
    // The behaviour before the window: it receives the window's first event from Create.
    Win32Window window(host, g_adapter, services);
    if (host.Create(true) == nullptr) {
        // Ended while it initialised (the adapter could not be opened, say): the message
        // was shown.
        if (host.Ended()) return 1;
        TellAtStart(L"tarvex: the window could not be created\n", true);
        return 1;
    }
    // A settings file named on the command line opens as File > Open opens it, once the
    // window's messages run.
    if (!options.file.empty()) window.OpenLater(options.file);
    host.RunModal();
    return 0;
}

}  // namespace tarvex_win
