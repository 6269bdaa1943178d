// The bus-frame stream as tarvex.exe's window runs it under Wine: the window (hidden) over the
// virtual gyro beside this program, Read clicked, then Enter, which starts the limit
// procedure's 50 ms stream; the frames' arrivals at the gyro are stamped for a while (10 s
// unless given) by watching its frame count, then Enter ends the procedure. Reports the
// spacing as tarvex_stream_timing does.
//
//   tarvex_window_stream.exe [seconds]
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/TBX3.h"
#include "win/Language.h"
#include "win/Utf8.h"
#include "win/Win32Controls.h"
#include "win/Win32Window.h"

namespace {

// Every box answered at once (OK; No to a question), no chooser.
struct QuietServices final : tarvex_win::WindowServices {
    std::vector<int> shown;
    MessageAnswer ShowMessage(HWND, int id, const std::wstring&, MessageIcon,
                              MessageButtons buttons) override {
        shown.push_back(id);
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::optional<std::wstring> ChooseOpenFile(HWND, const std::wstring&) override { return {}; }
    std::optional<std::wstring> ChooseSaveAsFile(HWND) override { return {}; }
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    const auto at =
        static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(v.size()))) - 1;
    return v[std::min(at, v.size() - 1)];
}

std::wstring BesideProgram(const wchar_t* name) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const std::wstring vgyro = BesideProgram(L"tarvex-vgyro.dll");
    _wputenv_s(L"TARVEX_D2XX", vgyro.c_str());
    _wputenv_s(L"TARVEX_VGYRO_FAST", L"1");
    _wputenv_s(L"TARVEX_VGYRO_STATE", L"none");
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring state = std::wstring(temp) + L"tarvex-window-stream";
    _wputenv_s(L"XDG_STATE_HOME", state.c_str());
    HMODULE library = LoadLibraryW(vgyro.c_str());
    using Count = std::uint64_t (*)();
    const auto busFrames =
        library ? reinterpret_cast<Count>(GetProcAddress(library, "vgyro_bus_frames")) : nullptr;
    if (busFrames == nullptr) {
        std::fprintf(stderr, "no virtual gyro beside the program\n");
        return 1;
    }

    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), 0xFF};
    InitCommonControlsEx(&controls);
    QuietServices services;
    tarvex_win::Win32DialogHost host(GetModuleHandleW(nullptr), tarvex_win::Language::English);
    tarvex_win::Win32Window window(host, g_adapter, services, L"Software\\Tarvex window stream");
    HWND dialog = host.Create(false);
    if (dialog == nullptr) {
        std::fprintf(stderr, "the window could not be created\n");
        return 1;
    }
    SendMessageW(GetDlgItem(dialog, 1059), BM_CLICK, 0, 0);  // Read
    if (services.shown != std::vector<int>{117}) {
        std::fprintf(stderr, "the Read failed\n");
        return 1;
    }
    SendMessageW(GetDlgItem(dialog, 1051), BM_CLICK, 0, 0);  // Enter: the stream starts

    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    const LONGLONG end = now.QuadPart + static_cast<LONGLONG>(seconds * frequency.QuadPart);
    std::vector<LONGLONG> stamps;
    stamps.reserve(static_cast<std::size_t>(seconds * 25) + 100);
    std::uint64_t seen = busFrames();
    MSG message;
    do {
        // The window's messages run as its loop would run them, between looks at the count.
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        const std::uint64_t frames = busFrames();
        QueryPerformanceCounter(&now);
        if (frames != seen) {
            if (frames - seen > 1) std::fprintf(stderr, "frames counted together\n");
            seen = frames;
            stamps.push_back(now.QuadPart);
        }
    } while (now.QuadPart < end);
    SendMessageW(GetDlgItem(dialog, 1051), BM_CLICK, 0, 0);  // Enter again: the stream ends

    const std::size_t n = stamps.size();
    std::printf("through the window, %.1f s: %zu frames\n", seconds, n);
    if (n < 2) return 1;
    std::vector<double> periods, errors;
    for (std::size_t i = 1; i < n; ++i) {
        periods.push_back(1000.0 * static_cast<double>(stamps[i] - stamps[i - 1]) /
                          static_cast<double>(frequency.QuadPart));
        errors.push_back(std::abs(periods.back() - 50.0));
    }
    std::printf("period p50 %.4f ms\n", Percentile(periods, 50));
    std::printf("|period - 50 ms|: p50 %.4f ms, p99 %.4f ms, max %.4f ms\n", Percentile(errors, 50),
                Percentile(errors, 99), *std::max_element(errors.begin(), errors.end()));
    return 0;
}
