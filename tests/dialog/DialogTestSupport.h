// The behaviour's tests run CTarvexDlg against a recording window: a DialogControls that
// keeps each control's state by id, answers message boxes and file choosers from queues,
// holds posted calls until the test runs them, and keeps the recent list in memory. The
// harness connects it to a fresh virtual gyro through its own adapter, with a pause that
// records the fixed waits instead of sleeping. No toolkit: the same tests run on Linux and
// under Wine.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/FrameKinds.h"
#include "tests/support/PosixShim.h"
#include "tests/support/RecordingPause.h"
#include "tests/support/VirtualGyro.h"

// <windows.h> (through PosixShim.h on Windows) renames LoadString; the controls keep it.
#ifdef LoadString
#undef LoadString
#endif

#include "dialog/CTarvexDlg.h"
#include "gyro/BusFrame.h"

namespace dialogtest {

struct ShownMessage {
    int id = 0;
    std::string text;
    MessageIcon icon = MessageIcon::Stop;
    MessageButtons buttons = MessageButtons::Ok;
};

// The recording window.
class FakeWindow final : public DialogControls {
  public:
    struct Slider {
        int minimum = 0;
        int maximum = 100;
        int tick = 0;
        int position = 0;
    };
    struct List {
        std::vector<std::string> items;
        int selection = -1;
    };

    // Control state by id.
    std::map<int, std::string> texts;
    std::map<int, bool> checks;
    std::map<int, bool> disabled;  // ids (controls and commands) that are grayed
    std::map<int, bool> readOnly;
    std::map<int, Slider> sliders;
    std::map<int, List> lists;
    int focus = 0;
    std::vector<bool> waitCursor;  // every change of the wait cursor, in order
    int beeps = 0;
    std::optional<DialogResult> ended;
    std::string title = "Tarvex";
    TitleMarker marker = TitleMarker::None;
    std::vector<RecentMenuItem> recentMenu;
    int aboutBoxes = 0;

    // Message boxes: answers from the front of the queue; when it is empty an OK box
    // answers Ok and a Yes/No box answers defaultYesNo. onMessage runs while a box is up
    // (as a box's own message loop would run posted calls).
    struct Messages {
        std::deque<MessageAnswer> answers;
        MessageAnswer defaultYesNo = MessageAnswer::No;
        std::vector<ShownMessage> shown;
        std::function<void(const ShownMessage&)> onMessage;
        std::vector<int> Ids() const {
            std::vector<int> ids;
            for (const auto& m : shown) ids.push_back(m.id);
            return ids;
        }
        const ShownMessage* Last() const { return shown.empty() ? nullptr : &shown.back(); }
        void Clear() { shown.clear(); }
    } messages;

    // File choosers: each call takes the front entry; an empty queue or a nullopt entry
    // means Cancel.
    struct Files {
        std::deque<std::optional<std::string>> openChoices;
        std::deque<std::optional<std::string>> saveAsChoices;
        int openCalls = 0;
        int saveAsCalls = 0;
        std::string openFolder;  // the folder the last Open started in
    } files;

    std::vector<std::string> recentStore;  // the user's recent list between runs

    // ---- DialogControls ---------------------------------------------------------------------
    void SetText(int id, const std::string& text) override { texts[id] = text; }
    std::string GetText(int id) const override {
        const auto it = texts.find(id);
        return it == texts.end() ? std::string() : it->second;
    }
    void SetNumber(int id, int value) override { texts[id] = std::to_string(value); }
    int GetNumber(int id) const override {
        const std::string text = GetText(id);
        char* end = nullptr;
        const long value = std::strtol(text.c_str(), &end, 10);
        while (end != nullptr && *end == ' ') ++end;
        return end != nullptr && end != text.c_str() && *end == '\0' ? static_cast<int>(value) : 0;
    }
    void SetCheck(int id, bool checked) override { checks[id] = checked; }
    bool GetCheck(int id) const override {
        const auto it = checks.find(id);
        return it != checks.end() && it->second;
    }
    void SetRadio(int firstId, int lastId, int checkedId) override {
        for (int id = firstId; id <= lastId; ++id) checks[id] = id == checkedId;
    }
    void SetEnabled(int id, bool enabled) override { disabled[id] = !enabled; }
    void SetReadOnly(int id, bool value) override { readOnly[id] = value; }
    void SetTrackbarRange(int id, int minimum, int maximum, int tick) override {
        Slider& s = sliders[id];
        s.minimum = minimum;
        s.maximum = maximum;
        s.tick = tick;
        s.position = std::clamp(s.position, minimum, maximum);
    }
    void SetTrackbarPos(int id, int position) override {
        Slider& s = sliders[id];
        s.position = std::clamp(position, s.minimum, s.maximum);
    }
    int GetTrackbarPos(int id) const override {
        const auto it = sliders.find(id);
        return it == sliders.end() ? 0 : it->second.position;
    }
    void SetListItems(int id, const std::vector<std::string>& items) override {
        lists[id] = List{items, -1};
    }
    void SetListSelection(int id, int index) override {
        List& list = lists[id];
        list.selection = index >= 0 && index < static_cast<int>(list.items.size()) ? index : -1;
    }
    int GetListSelection(int id) const override {
        const auto it = lists.find(id);
        return it == lists.end() ? -1 : it->second.selection;
    }
    void SetFocus(int id) override { focus = id; }
    void SetWaitCursor(bool on) override { waitCursor.push_back(on); }
    void Beep() override { ++beeps; }
    void EndDialog(DialogResult result) override { ended = result; }
    void SetTitle(const std::string& text, TitleMarker m) override {
        title = text;
        marker = m;
    }
    void SetRecentMenu(const std::vector<RecentMenuItem>& items) override { recentMenu = items; }
    void ShowAbout() override { ++aboutBoxes; }
    MessageAnswer ShowMessage(int id, const std::string& text, MessageIcon icon,
                              MessageButtons buttons) override {
        messages.shown.push_back({id, text, icon, buttons});
        if (messages.onMessage) messages.onMessage(messages.shown.back());
        if (!messages.answers.empty()) {
            const MessageAnswer a = messages.answers.front();
            messages.answers.pop_front();
            return a;
        }
        return buttons == MessageButtons::YesNo ? messages.defaultYesNo : MessageAnswer::Ok;
    }
    std::optional<std::string> ChooseOpenFile(const std::string& folder) override {
        ++files.openCalls;
        files.openFolder = folder;
        return Take(files.openChoices);
    }
    std::optional<std::string> ChooseSaveAsFile() override {
        ++files.saveAsCalls;
        return Take(files.saveAsChoices);
    }
    void PostToDialogThread(std::function<void()> call) override {
        std::lock_guard lock(postedMutex_);
        posted_.push_back(std::move(call));
    }
    std::vector<std::string> LoadRecentFiles() override { return recentStore; }
    void SaveRecentFiles(const std::vector<std::string>& paths) override { recentStore = paths; }
    // A string table of its own: "<id>" for every id, with the placeholders of those that
    // have some.
    std::string LoadString(int id) override { return String(id); }
    static std::string String(int id) {
        switch (id) {
            case 135:
                return "<135 %1 %2> Write anyway?";
            case 137:
                return "<137 %1 %2>";
            case ids::ParseIntRange:
                return "<range %1 %2>";
            default:
                return "<" + std::to_string(id) + ">";
        }
    }

    // ---- For the tests -----------------------------------------------------------------------
    bool Enabled(int id) const {
        const auto it = disabled.find(id);
        return it == disabled.end() || !it->second;
    }
    bool ReadOnly(int id) const {
        const auto it = readOnly.find(id);
        return it != readOnly.end() && it->second;
    }
    // Runs the calls posted so far on this (the dialog) thread; how many ran.
    int RunPosted() {
        std::deque<std::function<void()>> calls;
        {
            std::lock_guard lock(postedMutex_);
            calls.swap(posted_);
        }
        for (auto& call : calls) call();
        return static_cast<int>(calls.size());
    }

  private:
    static std::optional<std::string> Take(std::deque<std::optional<std::string>>& queue) {
        if (queue.empty()) return std::nullopt;
        std::optional<std::string> choice = queue.front();
        queue.pop_front();
        return choice;
    }
    std::mutex postedMutex_;
    std::deque<std::function<void()>> posted_;
};

// The virtual gyro with the frame kinds of its command log.
struct Gyro {
    using Frame = FrameKind;

    static VirtualGyro& vg() { return VirtualGyro::Get(); }
    static void reset() { vg().reset(); }
    static int setFaults(const char* faults) { return vg().setFaults(faults); }
    static int limitMode() { return vg().limitMode(); }
    static int servoValue() { return vg().servoValue(); }
    static std::uint64_t busFrames() { return vg().busFrames(); }
    static std::size_t commandCount() { return vg().commandCount(); }
    static std::array<std::uint8_t, 17> command(std::size_t i) { return vg().command(i); }
    static ParameterRecord Record() {
        ParameterRecord r;
        vg().getRecord(r.bytes.data());
        return r;
    }
    static std::vector<Frame> Frames(std::size_t from = 0) {
        return ClassifyFrames(commandCount(), command, from);
    }
};
using Frame = Gyro::Frame;

inline std::vector<int> Ids(std::initializer_list<int> ids) {
    return std::vector<int>(ids);
}

// A scratch folder, removed with the object.
class ScratchDir {
  public:
    ScratchDir() : path_(MakeScratchFolder("tarvex-dialog")) {}
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string path() const { return Utf8Path(path_); }
    // name may hold '/'; the path comes back with the platform's separators.
    std::string file(const std::string& name) const {
        return Utf8Path((path_ / PathFromUtf8(name)).make_preferred());
    }

  private:
    std::filesystem::path path_;
};

inline bool WriteBytes(const std::string& path, const std::string& content) {
    std::ofstream out(PathFromUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    return static_cast<bool>(out);
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string Bytes(const ParameterRecord& r) {
    return std::string(reinterpret_cast<const char*>(r.bytes.data()), r.bytes.size());
}

// Every test process keeps its backups in a scratch state folder, never the user's.
inline const std::string& ScratchStateFolder() {
    static const std::string folder = [] {
        const std::string path = Utf8Path(MakeScratchFolder("tarvex-dialog-state"));
        ::setenv("XDG_STATE_HOME", path.c_str(), 1);
        return path;
    }();
    return folder;
}

// The behaviour with the recording window, connected to a fresh virtual gyro (or, with
// connect false, initialised as start-up does, without the connection).
class Harness {
  public:
    FakeWindow window;
    FakeWindow::Messages& messages = window.messages;
    FakeWindow::Files& files = window.files;
    RecordingPause pause;
    TBX3 adapter;
    std::unique_ptr<CTarvexDlg> dlg;
    bool connected = false;

    explicit Harness(bool connect = true) {
        ScratchStateFolder();
        VirtualGyro::Fresh();
        dlg = std::make_unique<CTarvexDlg>(adapter, window);
        if (connect) {
            connected = dlg->OnInitDialog();
        } else {
            // The lists, the initial values and the sliders, as OnInitDialog puts them.
            std::vector<std::string> channels;
            for (int i = 1; i <= 16; ++i) channels.push_back(std::to_string(i));
            window.SetListItems(ids::RudderChannel, channels);
            window.SetListItems(ids::GainChannel, channels);
            dlg->ValuesToControls();
            dlg->InitSliders();
            dlg->EnableGyroCommands(false);
        }
        pause.clear();
    }
    ~Harness() {
        dlg.reset();
        Gyro::setFaults("");
    }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    static Gyro gyro() { return {}; }
    CTarvexDlg* operator->() { return dlg.get(); }
    ParameterRecord& record() { return dlg->gyro.workingRecord; }

    std::string text(int id) const { return window.GetText(id); }
    int number(int id) const { return window.GetNumber(id); }
    bool enabled(int id) const { return window.Enabled(id); }
    bool checked(int id) const { return window.GetCheck(id); }
    int position(int id) const { return window.GetTrackbarPos(id); }
    bool visible() const { return !window.ended.has_value(); }
    static std::string String(int id) { return FakeWindow::String(id); }

    // A successful Read from the virtual gyro, its message and waits forgotten.
    bool Read() {
        dlg->OnRead();
        const bool ok = messages.Ids() == std::vector<int>{117};
        messages.Clear();
        pause.clear();
        return ok;
    }
    // The image as after a Read: refresh, place, labels.
    void Show(const ParameterRecord& r) {
        dlg->gyro.workingRecord = r;
        dlg->RefreshFromImage();
        dlg->PlaceSliders();
        dlg->UpdateDirectionLabels();
    }

    // What the user's hand does, as a window routes it (DialogControls.h): a slider's
    // movement scrolls when the position changes; a click on a grayed control does nothing.
    void MoveSlider(int id, int position) {
        FakeWindow::Slider& s = window.sliders[id];
        const int moved = std::clamp(position, s.minimum, s.maximum);
        if (moved == s.position) return;
        s.position = moved;
        dlg->OnSliderScroll();
    }
    void Select(int id, int index) {
        window.SetListSelection(id, index);
        dlg->OnChannelSelected();
    }
    void Click(int id) {
        if (!window.Enabled(id)) return;
        struct Group {
            int first, last;
            void (CTarvexDlg::*handler)();
        };
        static constexpr Group kRadios[] = {
            {ids::F3C, ids::Analog, &CTarvexDlg::OnModeChangeClicked},
            {ids::GyroNormal, ids::GyroReverse, &CTarvexDlg::OnGyroReverseClicked},
            {ids::UpperSide, ids::BottomSide, &CTarvexDlg::OnMountingClicked},
            {ids::Fast, ids::Slow, &CTarvexDlg::OnResponseModeClicked},
        };
        for (const Group& g : kRadios) {
            if (id < g.first || id > g.last) continue;
            // The flight and servo radios are two groups under one handler.
            const bool flight = id <= ids::ThreeD;
            const int first =
                g.first == ids::F3C ? (flight ? ids::F3C : ids::Digital1520) : g.first;
            const int last = g.first == ids::F3C ? (flight ? ids::ThreeD : ids::Analog) : g.last;
            window.SetRadio(first, last, id);
            (dlg.get()->*g.handler)();
            return;
        }
        switch (id) {
            case ids::NotUsingId:
                window.checks[id] = !window.GetCheck(id);
                dlg->OnNotUsingIdClicked();
                break;
            case ids::Enter:
                window.checks[id] = !window.GetCheck(id);
                dlg->OnEnterClicked();
                break;
            case ids::Set:
                dlg->OnSetClicked();
                break;
            case ids::ReadButton:
                dlg->OnRead();
                break;
            case ids::WriteButton:
                dlg->OnWrite();
                break;
            default:
                ADD_FAILURE() << "no click for control " << id;
        }
    }
    // Runs posted calls until cond holds or 5 s passed.
    template <class Cond>
    bool RunPostedUntil(Cond cond) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!cond()) {
            if (std::chrono::steady_clock::now() > end) return false;
            window.RunPosted();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }
};

// A factory record with the F3C table, Standard response, channels 2 and 3.
inline ParameterRecord Factory() {
    ParameterRecord r;
    r.setModelCode(ParameterRecord::kModelCodeKR640);
    r.setGyroId(4242);
    resetToDefaults(r);
    return r;
}

}  // namespace dialogtest
