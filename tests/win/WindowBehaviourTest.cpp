// tarvex.exe's window with its behaviour: each of the user's actions on the Win32 dialog
// reaches the handler of CTarvexDlg named for it exactly once, what the program places in the
// controls reaches none, grayed controls and commands cannot be used, and the control
// interface does over dialog items what the behaviour asks of it.
#include "tests/win/WindowTestSupport.h"
// clang-format off
#include <oleacc.h>

#include <algorithm>
#include <cwctype>

#include "win/Accessibility.h"
#include "win/Resource.h"
// clang-format on

using namespace tarvex_win_test;
using tarvex_win::Handler;
using tarvex_win::Language;

namespace {

using Handlers = std::vector<Handler>;

// The accelerator's key pressed with Ctrl held, through the message loop's translation.
void PressCtrl(BehaviourWindow& w, WPARAM key) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    BYTE held[256];
    std::copy(std::begin(keys), std::end(keys), held);
    held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
    SetKeyboardState(held);
    MSG message{w.Item(ids::IdBox), WM_KEYDOWN, key, 0x00000001, 0, {}};
    if (!w.host.PreTranslate(message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    PumpMessages();
    SetKeyboardState(keys);
}

}  // namespace

// The window starts with one call of OnInitDialog and nothing else, although it filled every
// list, slider and box; then each action of the user reaches its one handler.
TEST(WindowBehaviour, EachUserActionReachesItsHandlerOnce) {
    struct Row {
        const char* name;
        bool read;  // a Read first (Write, Enter and Set need one)
        void (*act)(BehaviourWindow& w);
        Handlers expected;
        std::vector<int> messages;  // the boxes the action showed (none answered Yes)
    };
    const Row rows[] = {
        {"Read clicked",
         false,
         [](BehaviourWindow& w) { w.Click(ids::ReadButton); },
         {Handler::Read},
         {117}},
        {"Write clicked",
         true,
         [](BehaviourWindow& w) { w.Click(ids::WriteButton); },
         {Handler::Write},
         {105}},
        {"Connect > Read",
         false,
         [](BehaviourWindow& w) { w.Command(ids::ConnectRead); },
         {Handler::Read},
         {117}},
        {"Connect > Write",
         true,
         [](BehaviourWindow& w) { w.Command(ids::ConnectWrite); },
         {Handler::Write},
         {105}},
        {"Ctrl+R", false, [](BehaviourWindow& w) { PressCtrl(w, 'R'); }, {Handler::Read}, {117}},
        {"Ctrl+W", true, [](BehaviourWindow& w) { PressCtrl(w, 'W'); }, {Handler::Write}, {105}},
        // The accelerators of the File menu announce that menu first, as Windows does.
        {"Ctrl+O",
         false,
         [](BehaviourWindow& w) { PressCtrl(w, 'O'); },
         {Handler::UpdateRecentMenu, Handler::FileOpen},
         {}},
        {"Ctrl+S",
         false,
         [](BehaviourWindow& w) { PressCtrl(w, 'S'); },
         {Handler::UpdateRecentMenu, Handler::FileSave},
         {}},
        {"3D clicked",
         false,
         [](BehaviourWindow& w) { w.Click(ids::ThreeD); },
         {Handler::ModeChange},
         {107}},
        {"F3C clicked, already selected",
         false,
         [](BehaviourWindow& w) { w.Click(ids::F3C); },
         {Handler::ModeChange},
         {107}},
        {"Analog clicked",
         false,
         [](BehaviourWindow& w) { w.Click(ids::Analog); },
         {Handler::ModeChange},
         {107}},
        {"Reverse clicked",
         false,
         [](BehaviourWindow& w) { w.Click(ids::GyroReverse); },
         {Handler::GyroReverse},
         {}},
        {"Bottom side clicked",
         false,
         [](BehaviourWindow& w) { w.Click(ids::BottomSide); },
         {Handler::Mounting},
         {}},
        {"Slow clicked",
         false,
         [](BehaviourWindow& w) { w.Click(ids::Slow); },
         {Handler::ResponseMode},
         {}},
        {"Rudder item chosen",
         false,
         [](BehaviourWindow& w) { w.Choose(ids::RudderChannel, 5); },
         {Handler::ChannelSelected},
         {}},
        {"Gain item chosen",
         false,
         [](BehaviourWindow& w) { w.Choose(ids::GainChannel, 6); },
         {Handler::ChannelSelected},
         {}},
        {"D gain dragged",
         false,
         [](BehaviourWindow& w) { w.Drag(ids::DGainSlider, 120); },
         {Handler::SliderScroll},
         {}},
        {"D gain moved by key",
         false,
         [](BehaviourWindow& w) { w.KeyRight(ids::DGainSlider); },
         {Handler::SliderScroll},
         {}},
        {"Enter clicked",
         true,
         [](BehaviourWindow& w) { w.Click(ids::Enter); },
         {Handler::Enter},
         {}},
        {"File > Initialize",
         false,
         [](BehaviourWindow& w) { w.Command(ids::FileInitialize); },
         {Handler::FileInitialize},
         {106}},
        {"File > Open",
         false,
         [](BehaviourWindow& w) { w.Command(ids::FileOpen); },
         {Handler::FileOpen},
         {}},
        {"File > Restore",
         false,
         [](BehaviourWindow& w) { w.Command(ids::FileRestore); },
         {Handler::FileRestore},
         {}},
        {"File > Save As",
         false,
         [](BehaviourWindow& w) { w.Command(ids::FileSaveAs); },
         {Handler::FileSaveAs},
         {}},
        {"File menu opening",
         false,
         [](BehaviourWindow& w) {
             SendMessageW(w.Dialog(), WM_INITMENUPOPUP,
                          reinterpret_cast<WPARAM>(GetSubMenu(GetMenu(w.Dialog()), 0)), 0);
         },
         {Handler::UpdateRecentMenu},
         {}},
        {"Help > About",
         false,
         [](BehaviourWindow& w) {
             CloseBoxes boxes;
             ASSERT_TRUE(boxes.Hooked());
             w.Command(ids::AppAbout);
             EXPECT_EQ(boxes.captions,
                       std::vector<std::wstring>{L"Version information Norvell Tarvex"});
         },
         {Handler::About},
         {}},
        {"Escape",
         false,
         [](BehaviourWindow& w) {
             SendMessageW(w.Dialog(), WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
         },
         {Handler::Cancel},
         {}},
        {"close box",
         false,
         [](BehaviourWindow& w) {
             SendMessageW(w.Dialog(), WM_CLOSE, 0, 0);
             PumpMessages();
         },
         {Handler::Cancel},
         {}},
        {"File > Exit",
         false,
         [](BehaviourWindow& w) { w.Command(ids::AppExit); },
         {Handler::Exit},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BehaviourWindow w;
        ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
        EXPECT_EQ(w.handlers, Handlers{Handler::InitDialog});
        if (row.read) {
            ASSERT_TRUE(w.Click(ids::ReadButton));
            ASSERT_EQ(w.services.Ids(), std::vector<int>{117});
        }
        w.handlers.clear();
        w.services.shown.clear();

        row.act(w);

        EXPECT_EQ(w.handlers, row.expected);
        EXPECT_EQ(w.services.Ids(), row.messages);
    }
}

// What the handlers placed is seen in the controls, and placing it reported nothing back:
// a Read sets every slider, list, radio and box, an Initialize answered Yes sets them again.
TEST(WindowBehaviour, PlacedValuesReachNoHandler) {
    BehaviourWindow w;
    ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
    w.handlers.clear();
    ASSERT_TRUE(w.Click(ids::ReadButton));
    EXPECT_EQ(w.handlers, Handlers{Handler::Read});
    // The window shows the record read: the D gain's slider and box agree with it.
    const int dGain = w.window->GetTrackbarPos(ids::DGainSlider);
    EXPECT_EQ(w.dlg().dGain, dGain);
    EXPECT_EQ(w.window->GetNumber(ids::DGain), w.dlg().dGain);

    w.handlers.clear();
    w.services.answers = {MessageAnswer::Yes};
    w.Command(ids::FileInitialize);
    EXPECT_EQ(w.handlers, Handlers{Handler::FileInitialize});
    EXPECT_EQ(w.services.Ids(), (std::vector<int>{117, 106}));
}

// At start, before any Read: Write, Enter, Set and the Position slider are grayed, so is
// Connect > Write with its Ctrl+W; none of them reaches a handler. A Read enables Write and
// Enter, menu item and accelerator included.
TEST(WindowBehaviour, GrayedControlsAndCommandsReachNoHandler) {
    BehaviourWindow w;
    ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
    auto grayed = [&](int command) {
        return (GetMenuState(GetMenu(w.Dialog()), static_cast<UINT>(command), MF_BYCOMMAND) &
                MF_GRAYED) != 0;
    };
    struct Row {
        int id;
        bool enabledAtStart, enabledAfterRead;
    };
    const Row rows[] = {
        {ids::WriteButton, false, true}, {ids::Enter, false, true},
        {ids::Set, false, false},        {ids::PositionSlider, false, false},
        {ids::ReadButton, true, true},
    };
    for (bool afterRead : {false, true}) {
        if (afterRead) {
            ASSERT_TRUE(w.Click(ids::ReadButton));
        }
        w.handlers.clear();
        for (const Row& row : rows) {
            SCOPED_TRACE(std::to_string(row.id) + (afterRead ? " after Read" : " at start"));
            const bool enabled = afterRead ? row.enabledAfterRead : row.enabledAtStart;
            EXPECT_EQ(IsWindowEnabled(w.Item(row.id)) != FALSE, enabled);
            if (!enabled && row.id != ids::PositionSlider) {
                EXPECT_FALSE(w.Click(row.id));
            }
        }
        EXPECT_EQ(grayed(ids::ConnectWrite), !afterRead);
        if (!afterRead) PressCtrl(w, 'W');
        EXPECT_EQ(w.handlers, Handlers{}) << (afterRead ? "after Read" : "at start");
    }
}

// A slider moved by the user shows its new value in its box and changes the record; the
// keyboard moves it by one step.
TEST(WindowBehaviour, SliderMovementsReachTheRecord) {
    BehaviourWindow w;
    ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
    ASSERT_TRUE(w.Click(ids::ReadButton));
    const int before = w.window->GetTrackbarPos(ids::DDampingSlider);
    SendMessageW(w.Dialog(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(w.Item(ids::DDampingSlider)),
                 TRUE);
    w.KeyRight(ids::DDampingSlider);
    EXPECT_EQ(w.window->GetTrackbarPos(ids::DDampingSlider), before + 1);
    EXPECT_EQ(w.window->GetNumber(ids::DDamping), before + 1);
    EXPECT_EQ(int(w.dlg().gyro.workingRecord.dDamping()), w.dlg().dDamping);
    w.Drag(ids::DDampingSlider, 60);
    EXPECT_EQ(w.window->GetNumber(ids::DDamping), 60);
    EXPECT_EQ(w.dlg().dDamping, 60);
}

// The control interface over dialog items: each call does to the Win32 control what the
// behaviour expects of it.
TEST(WindowBehaviour, ControlInterfaceOverDialogItems) {
    BehaviourWindow w;
    ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
    tarvex_win::Win32Window& c = *w.window;
    w.handlers.clear();

    // Numbers: signed, blanks around allowed, anything else reads 0.
    const struct {
        const char* text;
        int number;
    } numbers[] = {{"42", 42}, {" -17 ", -17},     {"", 0},  {"12a", 0}, {"a", 0},
                   {"-", 0},   {"99999999999", 0}, {"+5", 5}};
    for (const auto& n : numbers) {
        c.SetText(ids::IdBox, n.text);
        EXPECT_EQ(c.GetNumber(ids::IdBox), n.number) << n.text;
    }
    c.SetNumber(ids::IdBox, -250);
    EXPECT_EQ(c.GetText(ids::IdBox), "-250");
    c.SetText(ids::Status, "Grüße 日本");
    EXPECT_EQ(c.GetText(ids::Status), "Grüße 日本");

    // Radios: one of the group, or none for an id outside it.
    c.SetRadio(ids::Fast, ids::Slow, ids::Standard);
    EXPECT_EQ(IsDlgButtonChecked(w.Dialog(), ids::Standard), BST_CHECKED);
    c.SetRadio(ids::Fast, ids::Slow, 0);
    for (int id = ids::Fast; id <= ids::Slow; ++id) EXPECT_FALSE(c.GetCheck(id)) << id;

    // A trackbar's range keeps its position within it; arrow keys step by one, pages by tick.
    c.SetTrackbarRange(ids::RangeSlider, 0, 300, 50);
    c.SetTrackbarPos(ids::RangeSlider, 280);
    c.SetTrackbarRange(ids::RangeSlider, 100, 200, 25);
    EXPECT_EQ(c.GetTrackbarPos(ids::RangeSlider), 200);
    EXPECT_EQ(SendMessageW(w.Item(ids::RangeSlider), TBM_GETPAGESIZE, 0, 0), 25);
    EXPECT_EQ(SendMessageW(w.Item(ids::RangeSlider), TBM_GETLINESIZE, 0, 0), 1);
    c.SetTrackbarPos(ids::RangeSlider, 999);
    EXPECT_EQ(c.GetTrackbarPos(ids::RangeSlider), 200);

    // Lists: in the given order, unsorted; -1 selects none.
    c.SetListItems(ids::GainChannel, {"9", "10", "1"});
    EXPECT_EQ(c.GetListSelection(ids::GainChannel), -1);
    c.SetListSelection(ids::GainChannel, 2);
    EXPECT_EQ(c.GetListSelection(ids::GainChannel), 2);
    wchar_t item[8] = {};
    SendMessageW(w.Item(ids::GainChannel), CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), L"9");
    c.SetListSelection(ids::GainChannel, -1);
    EXPECT_EQ(c.GetListSelection(ids::GainChannel), -1);

    // Read-only and the focus with the whole text selected.
    c.SetReadOnly(ids::IdBox, false);
    EXPECT_EQ(GetWindowLongW(w.Item(ids::IdBox), GWL_STYLE) & ES_READONLY, 0);
    c.SetText(ids::IdBox, "70000");
    c.SetFocus(ids::IdBox);
    EXPECT_EQ(GetFocus(), w.Item(ids::IdBox));
    DWORD from = 0, to = 0;
    SendMessageW(w.Item(ids::IdBox), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                 reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(to, 5u);

    // The title and its modified marker.
    const struct {
        TitleMarker marker;
        const wchar_t* shown;
    } titles[] = {{TitleMarker::None, L"Tarvex"},
                  {TitleMarker::Unmodified, L"Tarvex - heli1.tcf"},
                  {TitleMarker::Modified, L"Tarvex - heli1.tcf*"}};
    for (const auto& t : titles) {
        c.SetTitle(t.marker == TitleMarker::None ? "Tarvex" : "Tarvex - heli1.tcf", t.marker);
        EXPECT_EQ(WindowText(w.Dialog()), t.shown);
    }

    // Nothing of the above reached a handler.
    EXPECT_EQ(w.handlers, Handlers{});
}

// The File menu's recent items: the list's items in its place (before the separator above
// Exit), their commands reach OnRecentFile with their index; an empty list shows the grayed
// placeholder in the window's language. The list is kept in the user's registry key.
TEST(WindowBehaviour, RecentFilesInTheMenuAndTheRegistry) {
    for (Language language : {Language::English, Language::German}) {
        BehaviourWindow w(language);
        ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
        HMENU file = GetSubMenu(GetMenu(w.Dialog()), 0);
        const int count = GetMenuItemCount(file);
        const int position = 8;  // after Save As and its separator
        ASSERT_EQ(GetMenuItemID(file, position), static_cast<UINT>(ID_FILE_MRU_FILE1));
        const std::wstring placeholder = MenuText(file, position, MF_BYPOSITION);

        w.window->SetRecentMenu(
            {{"&1 heli1.tcf", "C:\\a\\heli1.tcf"}, {"&2 Grüße.tcf", "C:\\b\\Grüße.tcf"}});
        EXPECT_EQ(GetMenuItemCount(file), count + 1);
        EXPECT_EQ(MenuText(file, position, MF_BYPOSITION), L"&1 heli1.tcf");
        EXPECT_EQ(MenuText(file, position + 1, MF_BYPOSITION), L"&2 Grüße.tcf");
        EXPECT_EQ(GetMenuItemID(file, position + 1), static_cast<UINT>(ID_FILE_MRU_FILE1 + 1));
        EXPECT_EQ(GetMenuState(file, ID_FILE_MRU_FILE1 + 1, MF_BYCOMMAND) & MF_GRAYED, 0u);
        EXPECT_EQ(GetMenuItemID(file, position + 2), 0u);  // the separator above Exit

        w.window->SetRecentMenu({});
        EXPECT_EQ(GetMenuItemCount(file), count);
        EXPECT_EQ(MenuText(file, position, MF_BYPOSITION), placeholder);
        EXPECT_NE(GetMenuState(file, ID_FILE_MRU_FILE1, MF_BYCOMMAND) & MF_GRAYED, 0u);
        if (language == Language::German) {
            EXPECT_NE(placeholder, L"Recent File");
        }

        // The registry: written, read back in order, shortened.
        w.window->SaveRecentFiles({"C:\\x\\日本.tcf", "C:\\y\\b.tcf", "C:\\z\\c.tcf"});
        EXPECT_EQ(w.window->LoadRecentFiles(),
                  (std::vector<std::string>{"C:\\x\\日本.tcf", "C:\\y\\b.tcf", "C:\\z\\c.tcf"}));
        w.window->SaveRecentFiles({"C:\\y\\b.tcf"});
        EXPECT_EQ(w.window->LoadRecentFiles(), std::vector<std::string>{"C:\\y\\b.tcf"});

        // A recent item's command opens its file (here one that is gone: the read error, and
        // the item leaves the list).
        w.handlers.clear();
        w.Command(ID_FILE_MRU_FILE1);
        EXPECT_EQ(w.handlers, Handlers{Handler::RecentFile});
        EXPECT_EQ(w.services.Ids(), std::vector<int>{108});
        EXPECT_EQ(w.window->LoadRecentFiles(), std::vector<std::string>{});
    }
}

// Texts come from the resource string table in the window's language, the framework's
// validation texts included; message boxes get the style of their icon and buttons.
TEST(WindowBehaviour, StringsAndMessageBoxStyles) {
    const struct {
        Language language;
        int id;
        const char* text;
    } strings[] = {
        {Language::English, 117, "The connection succeeded."},
        {Language::English, ids::ParseUint, "Please enter a positive integer."},
        {Language::English, ids::ParseIntRange, "Please enter an integer between %1 and %2."},
        {Language::German, ids::ParseUint, "Geben Sie eine positive ganze Zahl ein."},
        {Language::English, 99, ""},
    };
    for (const auto& s : strings) {
        BehaviourWindow w(s.language);
        ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
        EXPECT_EQ(w.window->LoadString(s.id), s.text) << s.id;
    }
    BehaviourWindow ja(Language::Japanese);
    ASSERT_NE(ja.Dialog(), nullptr) << HiddenWindow::Reason();
    EXPECT_NE(ja.window->LoadString(117), "The connection succeeded.");
    EXPECT_NE(ja.window->LoadString(ids::ParseUint), "Please enter a positive integer.");

    const struct {
        MessageIcon icon;
        MessageButtons buttons;
        UINT style;
    } styles[] = {
        {MessageIcon::Stop, MessageButtons::Ok, MB_OK | MB_ICONSTOP},
        {MessageIcon::Information, MessageButtons::Ok, MB_OK | MB_ICONINFORMATION},
        {MessageIcon::Exclamation, MessageButtons::Ok, MB_OK | MB_ICONEXCLAMATION},
        {MessageIcon::Question, MessageButtons::YesNo, MB_YESNO | MB_DEFBUTTON1 | MB_ICONQUESTION},
    };
    for (const auto& s : styles) {
        EXPECT_EQ(tarvex_win::MessageBoxStyle(s.icon, s.buttons), s.style);
    }
    EXPECT_EQ(tarvex_win::AnswerOf(IDYES, MessageButtons::YesNo), MessageAnswer::Yes);
    EXPECT_EQ(tarvex_win::AnswerOf(IDNO, MessageButtons::YesNo), MessageAnswer::No);
    EXPECT_EQ(tarvex_win::AnswerOf(0, MessageButtons::YesNo), MessageAnswer::No);
    EXPECT_EQ(tarvex_win::AnswerOf(IDOK, MessageButtons::Ok), MessageAnswer::Ok);
}

namespace {

// A control's name as an assistive tool reads it (MSAA); "<none>" when it has none.
std::wstring MsaaName(HWND control) {
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&accessible))) ||
        accessible == nullptr) {
        return L"<no object>";
    }
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring text = L"<none>";
    if (accessible->get_accName(self, &name) == S_OK && name != nullptr) {
        text = name;
        SysFreeString(name);
    }
    accessible->Release();
    return text;
}

}  // namespace

// Every control has a name for assistive tools, read through MSAA: a button, check box or
// radio its caption, a value box its label, and the controls without a label in front (the
// ID box, the lists, the response rows, the sliders, the limit rows, the status line) the
// texts shown around them, the direction as the label box shows it now (after a Read). (Wine's MSAA
// gives generic roles and states, so only names are checked.)
TEST(WindowBehaviour, EveryControlHasAnAccessibleName) {
    CoInitialize(nullptr);
    const struct {
        Language language;
        int id;
        const wchar_t* name;
    } rows[] = {
        {Language::English, 1001, L"ID"},
        {Language::English, 1003, L"Rudder"},
        {Language::English, 1004, L"Gain"},
        {Language::English, 1006, L"3D"},
        {Language::English, 1017, L"Control Response"},
        {Language::English, 1018, L"Control Response, Right"},
        {Language::English, 1019, L"Control Response, Right"},
        {Language::English, 1028, L"Holdex Response, Right/Out"},
        {Language::English, 1035, L"Normal"},
        {Language::English, 1036, L"Normal"},
        {Language::English, 1046, L"D gain"},
        {Language::English, 1051, L"Enter"},
        {Language::English, 1054, L"Limit, Right"},
        {Language::English, 1056, L"Limit, Left"},
        {Language::English, 1058, L"Position"},
        {Language::English, 1061, L"Limit"},
        {Language::English, 1062, L"Pirouette Consistency"},
        {Language::English, 1063, L"Pirouette Consistency"},
        {Language::German, 1018, L"Einstellung Normal Mode, Rechts"},
        {Language::Japanese, 1003, L"ラダー"},
    };
    for (Language language : {Language::English, Language::German, Language::Japanese}) {
        BehaviourWindow w(language);
        ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
        ASSERT_TRUE(w.Click(ids::ReadButton));  // the label boxes show their directions
        for (const auto& row : rows) {
            if (row.language != language) continue;
            EXPECT_EQ(MsaaName(w.Item(row.id)), row.name) << row.id;
        }
        for (int id = ids::IdBox; id <= ids::PirouetteSlider; ++id) {
            const std::wstring name = MsaaName(w.Item(id));
            EXPECT_FALSE(name.empty() || name[0] == L'<') << id << ": " << tarvex_win::Narrow(name);
        }
        if (language == Language::English) {
            // The mounting surface turns the directions; the names follow what is shown.
            ASSERT_TRUE(w.Click(ids::BottomSide));
            EXPECT_EQ(MsaaName(w.Item(1018)),
                      L"Control Response, " + tarvex_win::Widen(w.Text(1017)));
            EXPECT_NE(MsaaName(w.Item(1018)), L"Control Response, Right");
        }
    }
    CoUninitialize();
}

// Captions as read out: no mnemonic, a line break as a space.
TEST(WindowBehaviour, PlainCaptions) {
    const struct {
        const wchar_t* caption;
        const wchar_t* plain;
    } rows[] = {{L"&Gain", L"Gain"},
                {L"R&udder", L"Rudder"},
                {L"ラダー(&U)", L"ラダー"},
                {L"&Pirouette\nConsistency", L"Pirouette Consistency"},
                {L"Save && quit", L"Save & quit"},
                {L"D damp.", L"D damp."}};
    for (const auto& row : rows) {
        EXPECT_EQ(tarvex_win::PlainCaption(row.caption), row.plain);
    }
}

namespace {

// The letter a caption underlines ("&Read": 'r', "ゲイン(&G)": 'g'); 0 when it has none.
wchar_t MnemonicOf(const std::wstring& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != L'&') continue;
        if (caption[i + 1] != L'&') return static_cast<wchar_t>(towlower(caption[i + 1]));
        ++i;
    }
    return 0;
}

void MenuMnemonics(HMENU menu, std::vector<wchar_t>& letters) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (const wchar_t letter = MnemonicOf(MenuText(menu, i, MF_BYPOSITION))) {
            letters.push_back(letter);
        }
        if (HMENU sub = GetSubMenu(menu, i)) MenuMnemonics(sub, letters);
    }
}

// A character posted to control and run through the body of tarvex.exe's message loop (the
// host's keyboard handling first); true when that handling took the character.
bool Type(BehaviourWindow& w, HWND control, UINT kind, wchar_t c) {
    PostMessageW(control, kind, c, kind == WM_SYSCHAR ? 0x20000001 : 0x00000001);
    bool taken = false;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        const bool used = w.host.PreTranslate(message);
        if (message.message == kind) taken = used;
        if (!used) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return taken;
}

}  // namespace

// Captions underline letters for keyboard users: with Alt held a letter works its control,
// but typed without Alt into a slider, a radio or a button it runs nothing (after a Read,
// 'w' would write the gyro and 'e' move the tail servo). The letters are those of the
// window's captions and menus in each language.
TEST(WindowBehaviour, LettersRunNothingWithoutAlt) {
    for (Language language : {Language::English, Language::German, Language::Japanese}) {
        SCOPED_TRACE(static_cast<int>(language));
        BehaviourWindow w(language);
        ASSERT_NE(w.Dialog(), nullptr) << HiddenWindow::Reason();
        struct Caption {
            wchar_t letter;
            int id;
            bool button;  // a push button, check box or radio: the letter clicks it
        };
        std::vector<Caption> captions;
        std::vector<wchar_t> letters;
        for (HWND child = GetWindow(w.Dialog(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            if (const wchar_t letter = MnemonicOf(WindowText(child))) {
                const auto style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
                captions.push_back(
                    {letter, GetDlgCtrlID(child),
                     ClassName(child) == L"Button" && (style & BS_TYPEMASK) != BS_GROUPBOX});
                letters.push_back(letter);
            }
        }
        MenuMnemonics(GetMenu(w.Dialog()), letters);
        ASSERT_GE(captions.size(), 15u);
        ASSERT_TRUE(w.Click(ids::ReadButton));
        w.handlers.clear();
        for (wchar_t letter : letters) {
            for (wchar_t typed : {letter, static_cast<wchar_t>(towupper(letter))}) {
                for (int target : {ids::ExpNormalSlider, ids::GyroNormal, ids::ReadButton}) {
                    SCOPED_TRACE(testing::Message()
                                 << "'" << static_cast<char>(typed) << "' typed into " << target);
                    Type(w, w.Item(target), WM_CHAR, typed);
                    EXPECT_EQ(w.handlers, Handlers{});
                    w.handlers.clear();
                }
            }
        }
        // With Alt: the button underlining the letter is clicked, once (an enabled one; from
        // the last caption back, so that Enter, which holds Read and Write back, comes last).
        // A label's or a group's letter is taken by the dialog's keyboard handling: it moves
        // the focus to the control named.
        const auto buttonsEnd = std::stable_partition(captions.begin(), captions.end(),
                                                      [](const Caption& c) { return c.button; });
        std::reverse(captions.begin(), buttonsEnd);
        int clicked = 0;
        for (const Caption& caption : captions) {
            SCOPED_TRACE(testing::Message() << "Alt+" << static_cast<char>(caption.letter));
            // Letters two captions share are the dialog manager's to cycle through.
            const bool shared = std::count_if(captions.begin(), captions.end(), [&](auto& c) {
                                    return c.letter == caption.letter;
                                }) > 1;
            const bool enabled = IsWindowEnabled(w.Item(caption.id)) != FALSE;
            EXPECT_TRUE(Type(w, w.Item(ids::ExpNormalSlider), WM_SYSCHAR, caption.letter));
            if (caption.button && !shared && enabled) {
                EXPECT_EQ(
                    w.handlers,
                    Handlers{tarvex_win::HandlerFor(
                        {tarvex_win::WindowEvent::Kind::Command, caption.id, BN_CLICKED, {}})});
                ++clicked;
            }
            w.handlers.clear();
        }
        // Write, Read and Enter at least.
        EXPECT_GE(clicked, 3);
    }
}
