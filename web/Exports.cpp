// The module's entry points for the page (wrapped in web/tarvex-api.js as Module.tarvex*;
// the API is described in web/WebWindow.h). They only route to CTarvexDlg, the string
// table and the choice of D2XX table.
#include <emscripten.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dialog/CTarvexDlg.h"
#include "gyro/SettingsFile.h"
#include "resources/strings/StringTable.h"
#include "web/WebD2xx.h"
#include "web/WebStream.h"
#include "web/WebWindow.h"

// Loads the virtual gyro's record again once its folder came from IndexedDB.
extern "C" int vgyro_load_state(void);

namespace {

// The window and the behaviour, created by the first OnInitDialog; the window outlives it.
struct Dialog {
    WebWindow window;
    CTarvexDlg dlg{g_adapter, window};
};
Dialog* g_dialog = nullptr;

using Handler = void (CTarvexDlg::*)();
struct NamedHandler {
    std::string_view name;
    Handler handler;
};
// The handlers a page routes user actions to (DialogControls.h lists which action).
constexpr NamedHandler kHandlers[] = {
    {"OnAbout", &CTarvexDlg::OnAbout},
    {"OnSliderScroll", &CTarvexDlg::OnSliderScroll},
    {"OnChannelSelected", &CTarvexDlg::OnChannelSelected},
    {"OnGyroReverseClicked", &CTarvexDlg::OnGyroReverseClicked},
    {"OnResponseModeClicked", &CTarvexDlg::OnResponseModeClicked},
    {"OnMountingClicked", &CTarvexDlg::OnMountingClicked},
    {"OnNotUsingIdClicked", &CTarvexDlg::OnNotUsingIdClicked},
    {"OnModeChangeClicked", &CTarvexDlg::OnModeChangeClicked},
    {"OnFileInitialize", &CTarvexDlg::OnFileInitialize},
    {"OnRead", &CTarvexDlg::OnRead},
    {"OnWrite", &CTarvexDlg::OnWrite},
    {"OnOK", &CTarvexDlg::OnOK},
    {"OnCancel", &CTarvexDlg::OnCancel},
    {"OnExit", &CTarvexDlg::OnExit},
    {"OnFileOpen", &CTarvexDlg::OnFileOpen},
    {"OnFileSave", &CTarvexDlg::OnFileSave},
    {"OnFileSaveAs", &CTarvexDlg::OnFileSaveAs},
    {"OnFileRestore", &CTarvexDlg::OnFileRestore},
    {"UpdateRecentMenu", &CTarvexDlg::UpdateRecentMenu},
    {"OnEnterClicked", &CTarvexDlg::OnEnterClicked},
    {"OnSetClicked", &CTarvexDlg::OnSetClicked},
};

std::vector<std::string> SplitLines(const char* text) {
    std::vector<std::string> items;
    std::string_view rest = text == nullptr ? std::string_view() : std::string_view(text);
    if (rest.empty()) return items;
    for (;;) {
        const std::size_t end = rest.find('\n');
        items.emplace_back(rest.substr(0, end));
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
    }
    return items;
}

// Texts handed to the page stay valid until the next call that gives one.
const char* Hand(std::string text) {
    static std::string handed;
    handed = std::move(text);
    return handed.c_str();
}

// Ending the dialog (Exit, OK, a close) closes the adapter's link while the port it
// opened is still the page's port, so Connect afterwards finds the adapter free.
void LetGoIfEnded() {
    if (g_dialog != nullptr && g_dialog->window.Ended()) g_adapter.Close();
}

}  // namespace

extern "C" {

// Runs handler name: 'OnRecentFile' with index, 'OnDropFiles' with the paths in lines,
// 'OpenSharedFile' with the path in lines.
// Gives OnInitDialog's bool, 0 for the others, -1 for an unknown name or no dialog, -2 when
// the handler ended by an error it did not catch itself (reported on the console).
EMSCRIPTEN_KEEPALIVE int tarvex_call(const char* name, int index, const char* lines) {
    const std::string_view handler = name;
    try {
        if (handler == "OnInitDialog") {
            // A dialog started again (the page's start screen after the dialog ended) is a
            // new one: the old one goes. Its link was closed when it ended; the page has
            // bound the new port already, so nothing is closed here.
            delete g_dialog;
            g_dialog = new Dialog;
            const bool started = g_dialog->dlg.OnInitDialog();
            LetGoIfEnded();
            return started ? 1 : 0;
        }
        if (g_dialog == nullptr) return -1;
        CTarvexDlg& dlg = g_dialog->dlg;
        if (handler == "OnRecentFile") {
            dlg.OnRecentFile(index);
            return 0;
        }
        if (handler == "OnDropFiles") {
            dlg.OnDropFiles(SplitLines(lines));
            return 0;
        }
        if (handler == "OpenSharedFile") {
            dlg.OpenSharedFile(std::string(lines));
            return 0;
        }
        for (const NamedHandler& entry : kHandlers) {
            if (entry.name == handler) {
                (dlg.*entry.handler)();
                LetGoIfEnded();
                return 0;
            }
        }
        return -1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tarvex: %.*s ended by an error: %s\n",
                     static_cast<int>(handler.size()), handler.data(), error.what());
    } catch (...) {
        std::fprintf(stderr, "tarvex: %.*s ended by an error\n", static_cast<int>(handler.size()),
                     handler.data());
    }
    return -2;
}

// What follows every call: the posted calls, then the stream's frame brought up to date.
EMSCRIPTEN_KEEPALIVE void tarvex_after_call() {
    if (g_dialog == nullptr) return;
    try {
        g_dialog->window.RunPosted();
    } catch (...) {
        std::fprintf(stderr, "tarvex: a posted call ended by an error\n");
    }
    web::RefreshStreamFrame();
}

// 1 or 0 for a query by name; -1 for an unknown query or before the dialog exists.
EMSCRIPTEN_KEEPALIVE int tarvex_query(const char* name) {
    if (g_dialog == nullptr) return -1;
    if (std::string_view(name) == "HasUnwrittenData")
        return g_dialog->dlg.HasUnwrittenData() ? 1 : 0;
    // The limit procedure runs from the first Enter until it is finished or stopped.
    if (std::string_view(name) == "LimitProcedureRunning")
        return g_dialog->dlg.enterPressed != 0 ? 1 : 0;
    return -1;
}

// The window's settings file as Save writes it (the working record) at path, for Share Setup:
// nothing is remembered, the title stays. 1 when written, 0 when not or before the dialog.
EMSCRIPTEN_KEEPALIVE int tarvex_save_copy(const char* path) {
    if (g_dialog == nullptr) return 0;
    return SaveSettingsFile(path, g_dialog->dlg.Gyro().workingRecord) == FileResult::Ok ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE const char* tarvex_caption(const char* source, const char* comment) {
    return Hand(strings::Caption("CTarvexDlg", source, comment));
}

EMSCRIPTEN_KEEPALIVE const char* tarvex_text(int id) {
    if (g_dialog != nullptr) return Hand(g_dialog->window.LoadString(id));
    WebWindow window;
    return Hand(window.LoadString(id));
}

// code "" picks from the page's languages (lines, most preferred first).
EMSCRIPTEN_KEEPALIVE const char* tarvex_set_language(const char* code, const char* languages) {
    std::string requested = code;
    if (requested.empty()) requested = strings::PickFromInterfaceLanguages(SplitLines(languages));
    return Hand(strings::ChooseLanguage(requested));
}

EMSCRIPTEN_KEEPALIVE void tarvex_use_virtual_gyro() {
    // The state folder has come from IndexedDB by now: the gyro takes its stored record.
    vgyro_load_state();
    D2xxDriver::staticTable = &VirtualGyroD2xxTable();
}

EMSCRIPTEN_KEEPALIVE void tarvex_use_port() {
    D2xxDriver::staticTable = &PortD2xxTable();
}

}  // extern "C"
