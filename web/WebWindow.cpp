#include "web/WebWindow.h"

#include <emscripten.h>

#include <charconv>
#include <cstdlib>
#include <utility>

#include "dialog/ControlIds.h"
#include "resources/strings/StringTable.h"

// The page's window object. Texts go as UTF-8 pointers; lists as one text whose items are
// separated by the unit separator (0x1F), which no caption or path holds. A text the page
// hands back is allocated with malloc and freed here.
// clang-format off
EM_JS(void, js_set_text, (int id, const char* text), {
    tarvexWindow.setText(id, UTF8ToString(text));
});
EM_JS(char*, js_get_text, (int id), {
    return Module.tarvexNewString(String(tarvexWindow.getText(id) ?? ""));
});
EM_JS(void, js_set_check, (int id, int checked), { tarvexWindow.setCheck(id, !!checked); });
EM_JS(int, js_get_check, (int id), { return tarvexWindow.getCheck(id) ? 1 : 0; });
EM_JS(void, js_set_radio, (int first, int last, int checked), {
    tarvexWindow.setRadio(first, last, checked);
});
EM_JS(void, js_set_enabled, (int id, int enabled), { tarvexWindow.setEnabled(id, !!enabled); });
EM_JS(void, js_set_read_only, (int id, int on), { tarvexWindow.setReadOnly(id, !!on); });
EM_JS(void, js_set_trackbar_range, (int id, int minimum, int maximum, int tick), {
    tarvexWindow.setTrackbarRange(id, minimum, maximum, tick);
});
EM_JS(void, js_set_trackbar_pos, (int id, int pos), { tarvexWindow.setTrackbarPos(id, pos); });
EM_JS(int, js_get_trackbar_pos, (int id), { return tarvexWindow.getTrackbarPos(id) | 0; });
EM_JS(void, js_set_list_items, (int id, const char* items), {
    const text = UTF8ToString(items);
    tarvexWindow.setListItems(id, text === "" ? [] : text.split(String.fromCharCode(31)));
});
EM_JS(void, js_set_list_selection, (int id, int index), {
    tarvexWindow.setListSelection(id, index);
});
EM_JS(int, js_get_list_selection, (int id), { return tarvexWindow.getListSelection(id) | 0; });
EM_JS(void, js_set_focus, (int id), { tarvexWindow.setFocus(id); });
EM_JS(void, js_set_wait_cursor, (int on), { tarvexWindow.setWaitCursor(!!on); });
EM_JS(void, js_beep, (), { tarvexWindow.beep(); });
EM_JS(void, js_end_dialog, (int ok), { tarvexWindow.endDialog(ok ? "ok" : "cancel"); });
EM_JS(void, js_set_title, (const char* title, int marker), {
    tarvexWindow.setTitle(UTF8ToString(title), ["none", "unmodified", "modified"][marker]);
});
EM_JS(void, js_set_recent_menu, (const char* items), {
    const text = UTF8ToString(items);
    const parts = text === "" ? [] : text.split(String.fromCharCode(31));
    const menu = [];
    for (let i = 0; i + 1 < parts.length; i += 2) menu.push({text: parts[i], path: parts[i + 1]});
    tarvexWindow.setRecentMenu(menu);
});
EM_ASYNC_JS(void, js_show_about, (), { await tarvexWindow.showAbout(); });
EM_ASYNC_JS(int, js_show_message, (int id, const char* text, int icon, int buttons), {
    const answer = await tarvexWindow.showMessage(
        id, UTF8ToString(text), ["stop", "information", "exclamation", "question"][icon],
        buttons ? "yesno" : "ok");
    return answer === "yes" ? 1 : answer === "no" ? 2 : 0;
});
EM_ASYNC_JS(char*, js_choose_open_file, (const char* folder), {
    const path = await tarvexWindow.chooseOpenFile(UTF8ToString(folder));
    return path == null ? 0 : Module.tarvexNewString(String(path));
});
EM_ASYNC_JS(char*, js_choose_save_as_file, (), {
    const path = await tarvexWindow.chooseSaveAsFile();
    return path == null ? 0 : Module.tarvexNewString(String(path));
});
EM_JS(void, js_posted, (), { Module.tarvexPosted(); });
EM_JS(char*, js_load_recent_files, (), {
    const paths = tarvexWindow.loadRecentFiles() || [];
    return Module.tarvexNewString(paths.map(String).join(String.fromCharCode(31)));
});
EM_JS(void, js_save_recent_files, (const char* paths), {
    const text = UTF8ToString(paths);
    tarvexWindow.saveRecentFiles(text === "" ? [] : text.split(String.fromCharCode(31)));
});
// clang-format on

namespace {

constexpr char kSeparator = '\x1f';

std::string Join(const std::vector<std::string>& items) {
    std::string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined += kSeparator;
        joined += items[i];
    }
    return joined;
}

std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> items;
    if (text.empty()) return items;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(kSeparator, start);
        items.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return items;
}

// Takes a text the page allocated; nothing for a null pointer.
std::optional<std::string> Take(char* text) {
    if (text == nullptr) return std::nullopt;
    std::string taken(text);
    std::free(text);
    return taken;
}

}  // namespace

void WebWindow::SetText(int id, const std::string& text) {
    js_set_text(id, text.c_str());
}

std::string WebWindow::GetText(int id) const {
    return Take(js_get_text(id)).value_or(std::string());
}

void WebWindow::SetNumber(int id, int value) {
    SetText(id, std::to_string(value));
}

int WebWindow::GetNumber(int id) const {
    const std::string text = GetText(id);
    const std::size_t first = text.find_first_not_of(" \t");
    const std::size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) return 0;
    int value = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    const auto [stop, error] = std::from_chars(begin, end, value);
    return error == std::errc() && stop == end ? value : 0;
}

void WebWindow::SetCheck(int id, bool checked) {
    js_set_check(id, checked);
}

bool WebWindow::GetCheck(int id) const {
    return js_get_check(id) != 0;
}

void WebWindow::SetRadio(int firstId, int lastId, int checkedId) {
    js_set_radio(firstId, lastId, checkedId);
}

void WebWindow::SetEnabled(int id, bool enabled) {
    js_set_enabled(id, enabled);
}

void WebWindow::SetReadOnly(int id, bool readOnly) {
    js_set_read_only(id, readOnly);
}

void WebWindow::SetTrackbarRange(int id, int minimum, int maximum, int tick) {
    js_set_trackbar_range(id, minimum, maximum, tick);
}

void WebWindow::SetTrackbarPos(int id, int position) {
    js_set_trackbar_pos(id, position);
}

int WebWindow::GetTrackbarPos(int id) const {
    return js_get_trackbar_pos(id);
}

void WebWindow::SetListItems(int id, const std::vector<std::string>& items) {
    js_set_list_items(id, Join(items).c_str());
}

void WebWindow::SetListSelection(int id, int index) {
    js_set_list_selection(id, index);
}

int WebWindow::GetListSelection(int id) const {
    return js_get_list_selection(id);
}

void WebWindow::SetFocus(int id) {
    js_set_focus(id);
}

void WebWindow::SetWaitCursor(bool on) {
    js_set_wait_cursor(on);
}

void WebWindow::Beep() {
    js_beep();
}

void WebWindow::EndDialog(DialogResult result) {
    ended_ = true;
    js_end_dialog(result == DialogResult::Ok);
}

void WebWindow::SetTitle(const std::string& title, TitleMarker marker) {
    js_set_title(title.c_str(), static_cast<int>(marker));
}

void WebWindow::SetRecentMenu(const std::vector<RecentMenuItem>& items) {
    std::vector<std::string> parts;
    for (const RecentMenuItem& item : items) {
        parts.push_back(item.text);
        parts.push_back(item.path);
    }
    js_set_recent_menu(Join(parts).c_str());
}

void WebWindow::ShowAbout() {
    js_show_about();
}

MessageAnswer WebWindow::ShowMessage(int id, const std::string& text, MessageIcon icon,
                                     MessageButtons buttons) {
    switch (js_show_message(id, text.c_str(), static_cast<int>(icon),
                            buttons == MessageButtons::YesNo)) {
        case 1:
            return MessageAnswer::Yes;
        case 2:
            return MessageAnswer::No;
        default:
            // A Yes/No box closed without an answer counts as No.
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
}

std::optional<std::string> WebWindow::ChooseOpenFile(const std::string& folder) {
    return Take(js_choose_open_file(folder.c_str()));
}

std::optional<std::string> WebWindow::ChooseSaveAsFile() {
    return Take(js_choose_save_as_file());
}

void WebWindow::PostToDialogThread(std::function<void()> call) {
    posted_.push_back(std::move(call));
    js_posted();
}

void WebWindow::RunPosted() {
    while (!posted_.empty()) {
        std::function<void()> call = std::move(posted_.front());
        posted_.pop_front();
        if (call) call();
    }
}

std::vector<std::string> WebWindow::LoadRecentFiles() {
    return Split(Take(js_load_recent_files()).value_or(std::string()));
}

void WebWindow::SaveRecentFiles(const std::vector<std::string>& paths) {
    js_save_recent_files(Join(paths).c_str());
}

std::string WebWindow::LoadString(int id) {
    switch (id) {
        case ids::ParseUint:
            return strings::Caption("CTarvexDlg", "Please enter a positive integer.");
        case ids::ParseIntRange:
            return strings::Caption("CTarvexDlg", "Please enter an integer between %1 and %2.");
        default:
            return strings::Text(id);
    }
}
