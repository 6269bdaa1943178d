// tarvex.exe's own layer, without the window's behaviour: dialog 101's controls with their
// kinds and styles, the menu, the accelerators, the texts of each language from the
// generated resources, and which user actions reach the dispatch function.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "WindowTestSupport.h"
#include "win/Language.h"
#include "win/Resource.h"

using tarvex_win::Language;
using tarvex_win::WindowEvent;
using namespace tarvex_win_test;

namespace {

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

enum Kind {
    ValueBox,
    LabelBox,
    IdBox,
    StatusLine,
    CheckBox,
    PushLike,
    List,
    Radio,
    Slider,
    Button
};

struct KindStyle {
    const wchar_t* className;
    DWORD mask;  // the bits that must match
    DWORD bits;  // their values
};

KindStyle StyleOf(Kind kind) {
    const DWORD editBits = ES_READONLY | ES_RIGHT | WS_BORDER | WS_TABSTOP;
    switch (kind) {
        // Bordered, right-aligned, read-only; the keyboard passes it by.
        case ValueBox:
            return {L"edit", editBits, ES_READONLY | ES_RIGHT | WS_BORDER};
        // The same without a border: a text the program sets.
        case LabelBox:
            return {L"edit", editBits, ES_READONLY | ES_RIGHT};
        // Read-only until "Not using ID" is checked; reached by Tab.
        case IdBox:
            return {L"edit", editBits, ES_READONLY | ES_RIGHT | WS_BORDER | WS_TABSTOP};
        case StatusLine:
            return {L"edit", ES_READONLY | ES_RIGHT | WS_BORDER, ES_READONLY | WS_BORDER};
        // Created hidden.
        case CheckBox:
            return {L"button", BS_TYPEMASK | WS_VISIBLE, BS_AUTOCHECKBOX};
        case PushLike:
            return {L"button", BS_TYPEMASK | BS_PUSHLIKE | WS_TABSTOP,
                    BS_AUTOCHECKBOX | BS_PUSHLIKE | WS_TABSTOP};
        // Not sorted: the items stay in the order "1" to "16".
        case List:
            return {L"combobox", 0x3 | CBS_SORT | WS_TABSTOP, CBS_DROPDOWNLIST | WS_TABSTOP};
        case Radio:
            return {L"button", BS_TYPEMASK, BS_AUTORADIOBUTTON};
        // Horizontal, automatic ticks on the top side.
        case Slider:
            return {L"msctls_trackbar32",
                    TBS_VERT | TBS_AUTOTICKS | TBS_TOP | TBS_BOTH | WS_TABSTOP,
                    TBS_AUTOTICKS | TBS_TOP | WS_TABSTOP};
        case Button:
            return {L"button", BS_TYPEMASK | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP};
    }
    return {L"", 0, 0};
}

struct ControlRow {
    int id;
    Kind kind;
    const wchar_t* caption;  // English; null where the program sets the text
    int minimum = 0;         // sliders: range as the window starts
    int maximum = 0;
};

// Dialog 101 as the design lays it out.
const std::vector<ControlRow> kControls = {
    {1001, IdBox, nullptr},
    {1002, CheckBox, L"Not using ID"},
    {1003, List, nullptr},
    {1004, List, nullptr},
    {1005, Radio, L"F3C"},
    {1006, Radio, L"3D"},
    {1007, Radio, L"Digital (1520)"},
    {1008, Radio, L"Digital (760)"},
    {1009, Radio, L"Analog"},
    {1010, Radio, L"Normal"},
    {1011, Radio, L"Reverse"},
    {1012, Radio, L"Upper side"},
    {1013, Radio, L"Bottom side"},
    {1014, Radio, L"Fast"},
    {1015, Radio, L"Standard"},
    {1016, Radio, L"Slow"},
    {1017, LabelBox, nullptr},
    {1018, ValueBox, nullptr},
    {1019, Slider, nullptr, 0, 20},
    {1020, LabelBox, nullptr},
    {1021, ValueBox, nullptr},
    {1022, Slider, nullptr, 0, 20},
    {1023, LabelBox, nullptr},
    {1024, ValueBox, nullptr},
    {1025, Slider, nullptr, 0, 20},
    {1026, LabelBox, nullptr},
    {1027, ValueBox, nullptr},
    {1028, Slider, nullptr, 0, 20},
    {1029, LabelBox, nullptr},
    {1030, ValueBox, nullptr},
    {1031, Slider, nullptr, 0, 20},
    {1032, LabelBox, nullptr},
    {1033, ValueBox, nullptr},
    {1034, Slider, nullptr, 0, 20},
    {1035, ValueBox, nullptr},
    {1036, Slider, nullptr, -100, 100},
    {1037, ValueBox, nullptr},
    {1038, Slider, nullptr, -100, 100},
    {1039, ValueBox, nullptr},
    {1040, Slider, nullptr, 30, 110},
    {1041, ValueBox, nullptr},
    {1042, Slider, nullptr, 0, 50},
    {1043, ValueBox, nullptr},
    {1044, Slider, nullptr, 100, 500},
    {1045, ValueBox, nullptr},
    {1046, Slider, nullptr, 0, 250},
    {1047, ValueBox, nullptr},
    {1048, Slider, nullptr, 0, 100},
    {1049, ValueBox, nullptr},
    {1050, Slider, nullptr, 30, 100},
    {1051, PushLike, L"&Enter"},
    {1052, Button, L"&Set"},
    {1053, LabelBox, nullptr},
    {1054, ValueBox, nullptr},
    {1055, LabelBox, nullptr},
    {1056, ValueBox, nullptr},
    {1057, ValueBox, nullptr},
    {1058, Slider, nullptr, 352, 1696},
    {1059, Button, L"&Read"},
    {1060, Button, L"&Write"},
    {1061, StatusLine, nullptr},
    {1062, ValueBox, nullptr},
    {1063, Slider, nullptr, 1, 10},
};

TEST(WindowLayer, EveryControlOfDialog101HasItsKindStyleAndCaption) {
    HiddenWindow window(Language::English);
    ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
    EXPECT_EQ(WindowText(window.Window()), L"Tarvex");
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE("control " + std::to_string(row.id));
        HWND control = window.Item(row.id);
        ASSERT_NE(control, nullptr);
        const KindStyle expected = StyleOf(row.kind);
        EXPECT_EQ(Lower(ClassName(control)), expected.className);
        // The dialog manager draws a bordered edit with a sunken client edge instead.
        DWORD style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        if (GetWindowLongW(control, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) style |= WS_BORDER;
        EXPECT_EQ(style & expected.mask, expected.bits) << std::hex << "style 0x" << style;
        if (row.caption != nullptr) {
            EXPECT_EQ(WindowText(control), row.caption);
        }
        if (row.kind == Slider) {
            EXPECT_EQ(SendMessageW(control, TBM_GETRANGEMIN, 0, 0), row.minimum);
            EXPECT_EQ(SendMessageW(control, TBM_GETRANGEMAX, 0, 0), row.maximum);
        }
        if (row.kind == List) {
            ASSERT_EQ(SendMessageW(control, CB_GETCOUNT, 0, 0), 16);
            wchar_t item[8] = {};
            SendMessageW(control, CB_GETLBTEXT, 15, reinterpret_cast<LPARAM>(item));
            EXPECT_STREQ(item, L"16");
        }
    }
    // Nothing else carries an id of the window's range.
    int numbered = 0;
    for (HWND child = GetWindow(window.Window(), GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        if (id >= 1001 && id <= 1063) ++numbered;
    }
    EXPECT_EQ(numbered, static_cast<int>(kControls.size()));
}

TEST(WindowLayer, MenuAndAcceleratorsCarryTheCommandIds) {
    HiddenWindow window(Language::English);
    ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
    HMENU menu = GetMenu(window.Window());
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 3);
    const struct {
        UINT id;
        const wchar_t* text;
    } items[] = {
        {ID_FILE_INITIALIZE, L"&Initialize..."}, {ID_FILE_OPEN, L"&Open...\tCtrl+O"},
        {ID_FILE_SAVE, L"&Save\tCtrl+S"},        {ID_FILE_SAVE_AS, L"Save &As..."},
        {ID_APP_EXIT, L"E&xit\tAlt+F4"},         {ID_CONNECT_READ, L"&Read\tCtrl+R"},
        {ID_CONNECT_WRITE, L"&Write\tCtrl+W"},   {ID_APP_ABOUT, L"&About"},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.id);
        EXPECT_NE(GetMenuState(menu, item.id, MF_BYCOMMAND), static_cast<UINT>(-1));
        EXPECT_EQ(MenuText(menu, item.id, MF_BYCOMMAND), item.text);
    }

    HACCEL table = window.Host().Accelerators();
    ASSERT_NE(table, nullptr);
    ACCEL entries[8] = {};
    const int count = CopyAcceleratorTableW(table, entries, 8);
    ASSERT_EQ(count, 4);
    const struct {
        WORD key;
        WORD command;
    } expected[] = {
        {'O', ID_FILE_OPEN}, {'S', ID_FILE_SAVE}, {'R', ID_CONNECT_READ}, {'W', ID_CONNECT_WRITE}};
    for (const auto& want : expected) {
        SCOPED_TRACE(static_cast<char>(want.key));
        bool found = false;
        for (int i = 0; i < count; ++i) {
            if (entries[i].key == want.key && entries[i].cmd == want.command) {
                found = true;
                EXPECT_EQ(entries[i].fVirt & (FVIRTKEY | FCONTROL | FALT | FSHIFT),
                          FVIRTKEY | FCONTROL);
            }
        }
        EXPECT_TRUE(found);
    }

    // The system menu ends with a separator and the About entry, string 101.
    HMENU system = GetSystemMenu(window.Window(), FALSE);
    ASSERT_NE(system, nullptr);
    const int last = GetMenuItemCount(system) - 1;
    ASSERT_GE(last, 1);
    EXPECT_EQ(GetMenuItemID(system, last), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_EQ(MenuText(system, last, MF_BYPOSITION), L"About Tarvex(&A)...");
    EXPECT_EQ(GetMenuState(system, last - 1, MF_BYPOSITION) & MF_SEPARATOR,
              static_cast<UINT>(MF_SEPARATOR));
}

// Each language's texts come from its own resources, generated from the .ts files: a
// caption, a menu and a message checked per language.
TEST(WindowLayer, TextsComeFromTheLanguagesResources) {
    const struct {
        Language language;
        const wchar_t* writeButton;
        const wchar_t* groupOfMountingRadio;  // 1012's caption
        const wchar_t* fileMenu;
        const wchar_t* openItem;
        const wchar_t* message117;
    } cases[] = {
        {Language::English, L"&Write", L"Upper side", L"&File", L"&Open...\tCtrl+O",
         L"The connection succeeded."},
        {Language::German, L"&Schreiben", L"Normal", L"Datei(&F)", L"Öffnen(&O)\tCtrl+O",
         L"Daten eingelesen."},
        {Language::Japanese, L"書き込み(&W)", L"上面", L"ファイル(&F)", L"開く(&O)...\tCtrl+O",
         L"接続に成功しました"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.language));
        HiddenWindow window(c.language);
        ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
        EXPECT_EQ(WindowText(window.Window()), L"Tarvex");
        EXPECT_EQ(WindowText(window.Item(1060)), c.writeButton);
        EXPECT_EQ(WindowText(window.Item(1012)), c.groupOfMountingRadio);
        HMENU menu = GetMenu(window.Window());
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(MenuText(menu, 0, MF_BYPOSITION), c.fileMenu);
        EXPECT_EQ(MenuText(menu, ID_FILE_OPEN, MF_BYCOMMAND), c.openItem);
        EXPECT_EQ(window.Host().Text(117), c.message117);
        // An id no table holds gives the empty string.
        EXPECT_EQ(window.Host().Text(138), L"");
    }
}

std::wstring WithoutMnemonic(const std::wstring& text) {
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) ++i;
        out.push_back(text[i]);
    }
    return out;
}

// Every caption of each language fits its control in the dialog's font, and the label boxes
// hold the longest direction text of their language: nothing is clipped.
TEST(WindowLayer, EveryTextFitsItsControlInEachLanguage) {
    for (Language language : {Language::English, Language::German, Language::Japanese}) {
        SCOPED_TRACE(static_cast<int>(language));
        HiddenWindow window(language);
        ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
        HDC dc = GetDC(window.Window());
        ASSERT_NE(dc, nullptr);
        const auto font = reinterpret_cast<HFONT>(SendMessageW(window.Window(), WM_GETFONT, 0, 0));
        ASSERT_NE(font, nullptr);
        HGDIOBJ old = SelectObject(dc, font);
        auto width = [dc](const std::wstring& text) {
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            return static_cast<int>(size.cx);
        };
        int checked = 0;
        for (HWND child = GetWindow(window.Window(), GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
            const std::wstring kind = Lower(ClassName(child));
            const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
            // What nothing shows ("Not using ID") cannot be clipped.
            if ((style & WS_VISIBLE) == 0) continue;
            RECT box{};
            GetClientRect(child, &box);
            const std::wstring text = WithoutMnemonic(WindowText(child));
            int room = box.right;
            if (kind == L"button") {
                switch (style & BS_TYPEMASK) {
                    case BS_GROUPBOX:
                        room -= 16;
                        break;
                    case BS_AUTORADIOBUTTON:
                    case BS_AUTOCHECKBOX:
                        if ((style & BS_PUSHLIKE) == 0) {
                            room -= GetSystemMetrics(SM_CXMENUCHECK) + 4;
                        } else {
                            room -= 8;
                        }
                        break;
                    default:
                        room -= 8;
                        break;
                }
            } else if (kind == L"edit" && (style & WS_BORDER) == 0 &&
                       (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0) {
                // A label box: the longest direction text of the language.
                const LRESULT margins = SendMessageW(child, EM_GETMARGINS, 0, 0);
                room -= LOWORD(margins) + HIWORD(margins) + 2;
                for (UINT id = 124; id <= 129; ++id) {
                    const std::wstring direction = window.Host().Text(id);
                    EXPECT_LE(width(direction), room)
                        << "label box " << GetDlgCtrlID(child) << ": " << id;
                }
                ++checked;
                continue;
            } else if (kind != L"static" || (style & SS_TYPEMASK) == SS_ICON) {
                continue;
            }
            if (text.empty()) continue;
            // Each line of a caption on its own.
            size_t start = 0;
            while (start <= text.size()) {
                const size_t end = std::min(text.find(L'\n', start), text.size());
                const std::wstring line = text.substr(start, end - start);
                EXPECT_LE(width(line), room) << "control " << GetDlgCtrlID(child);
                start = end + 1;
            }
            ++checked;
        }
        SelectObject(dc, old);
        ReleaseDC(window.Window(), dc);
        EXPECT_GT(checked, 40);
    }
}

// The About box (English only, whatever the window's language): its texts fit their
// places, the notice wrapped over its lines.
TEST(WindowLayer, AboutBoxTextsFit) {
    const DLGTEMPLATE* about =
        tarvex_win::DialogTemplateIn(GetModuleHandleW(nullptr), Language::Japanese, IDD_ABOUTBOX);
    ASSERT_NE(about, nullptr);
    HWND box = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), about, nullptr,
        [](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR { return message == WM_INITDIALOG; }, 0);
    ASSERT_NE(box, nullptr) << HiddenWindow::Reason();
    EXPECT_EQ(WindowText(box), L"Version information Norvell Tarvex");
    HDC dc = GetDC(box);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(box, WM_GETFONT, 0, 0)));
    int texts = 0;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT)) {
        const DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        if (Lower(ClassName(child)) != L"static" || (style & SS_TYPEMASK) == SS_ICON) continue;
        std::wstring text = WindowText(child);
        RECT place{};
        GetClientRect(child, &place);
        RECT needed = place;
        DrawTextW(dc, text.data(), static_cast<int>(text.size()), &needed,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        EXPECT_LE(needed.right, place.right) << std::string(text.begin(), text.end());
        EXPECT_LE(needed.bottom, place.bottom) << std::string(text.begin(), text.end());
        ++texts;
    }
    EXPECT_EQ(texts, 2);
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    DestroyWindow(box);
}

TEST(WindowLayer, LanguageFromTheUsersInterfaceLanguage) {
    const struct {
        LANGID ui;
        Language expected;
    } cases[] = {
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN), Language::German},
        {MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN_SWISS), Language::German},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), Language::Japanese},
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_UK), Language::English},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), Language::English},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tarvex_win::FromUiLanguage(c.ui), c.expected) << std::hex << c.ui;
    }
}

// The user's actions reach the dispatch function once each; what the program places in the
// controls itself reaches none.
TEST(WindowLayer, UserActionsReachTheDispatchOnceAndPlacedValuesNever) {
    HiddenWindow window(Language::English);
    ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
    HWND dialog = window.Window();
    constexpr int kNone = -1;
    struct Case {
        const char* name;
        void (*act)(HWND dialog);
        WindowEvent::Kind kind;
        int id;  // kNone: no event expected
        int code;
    };
    const Case cases[] = {
        {"Read clicked", [](HWND d) { UserClick(GetDlgItem(d, 1059)); }, WindowEvent::Kind::Command,
         1059, BN_CLICKED},
        {"radio clicked", [](HWND d) { UserClick(GetDlgItem(d, 1006)); },
         WindowEvent::Kind::Command, 1006, BN_CLICKED},
        {"Enter clicked", [](HWND d) { UserClick(GetDlgItem(d, 1051)); },
         WindowEvent::Kind::Command, 1051, BN_CLICKED},
        {"list chosen",
         [](HWND d) {
             HWND list = GetDlgItem(d, 1003);
             SendMessageW(list, CB_SETCURSEL, 4, 0);
             SendMessageW(d, WM_COMMAND, MAKEWPARAM(1003, CBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(list));
         },
         WindowEvent::Kind::Command, 1003, CBN_SELCHANGE},
        {"slider moved by key",
         [](HWND d) { SendMessageW(GetDlgItem(d, 1046), WM_KEYDOWN, VK_RIGHT, 0); },
         WindowEvent::Kind::Scroll, 1046, -1},
        {"menu Read", [](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(32771, 0), 0); },
         WindowEvent::Kind::Command, 32771, 0},
        {"accelerator Open",
         [](HWND d) { SendMessageW(d, WM_COMMAND, MAKEWPARAM(ID_FILE_OPEN, 1), 0); },
         WindowEvent::Kind::Command, ID_FILE_OPEN, 1},
        {"File menu opening",
         [](HWND d) {
             SendMessageW(d, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(GetSubMenu(GetMenu(d), 0)),
                          MAKELPARAM(0, 0));
         },
         WindowEvent::Kind::MenuOpening, 0, 0},
        {"close box",
         [](HWND d) {
             SendMessageW(d, WM_CLOSE, 0, 0);
             PumpMessages();
         },
         WindowEvent::Kind::Command, IDCANCEL, 0},
        {"text placed", [](HWND d) { SetDlgItemTextW(d, 1018, L"17"); }, WindowEvent::Kind::Command,
         kNone, 0},
        {"slider placed", [](HWND d) { SendDlgItemMessageW(d, 1019, TBM_SETPOS, TRUE, 7); },
         WindowEvent::Kind::Command, kNone, 0},
        {"check placed", [](HWND d) { CheckDlgButton(d, 1012, BST_CHECKED); },
         WindowEvent::Kind::Command, kNone, 0},
        {"list placed", [](HWND d) { SendDlgItemMessageW(d, 1004, CB_SETCURSEL, 3, 0); },
         WindowEvent::Kind::Command, kNone, 0},
        {"disabled Write not clickable",
         [](HWND d) {
             EnableWindow(GetDlgItem(d, 1060), FALSE);
             EXPECT_FALSE(UserClick(GetDlgItem(d, 1060)));
         },
         WindowEvent::Kind::Command, kNone, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.Events().clear();
        c.act(dialog);
        ASSERT_TRUE(IsWindow(dialog));
        if (c.id == kNone) {
            EXPECT_TRUE(window.Events().empty());
            continue;
        }
        ASSERT_EQ(window.Events().size(), 1u);
        const WindowEvent& event = window.Events()[0];
        EXPECT_EQ(event.kind, c.kind);
        EXPECT_EQ(event.id, c.id);
        if (c.code >= 0) {
            EXPECT_EQ(event.code, c.code);
        }
    }
}

// The accelerators as the message loop translates them: Ctrl+R, Ctrl+O and Ctrl+S give their
// commands once; Ctrl+W gives none while the Write menu item is grayed.
TEST(WindowLayer, AcceleratorsGiveTheirCommandsUnlessTheItemIsGrayed) {
    HiddenWindow window(Language::English);
    ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
    BYTE keys[256] = {};
    ASSERT_TRUE(GetKeyboardState(keys));
    BYTE held[256];
    std::copy(std::begin(keys), std::end(keys), held);
    held[VK_CONTROL] = held[VK_LCONTROL] = 0x80;
    ASSERT_TRUE(SetKeyboardState(held));
    // The commands that reached the dispatch (the loop also announces the menu that holds
    // the accelerator's item, as Windows does before it checks the item's state).
    auto press = [&](WPARAM key) {
        window.Events().clear();
        MSG message{window.Item(1001), WM_KEYDOWN, key, 0x00000001, 0, {}};
        window.Host().PreTranslate(message);
        PumpMessages();
        std::vector<WindowEvent> commands;
        for (const WindowEvent& event : window.Events()) {
            if (event.kind == WindowEvent::Kind::Command) commands.push_back(event);
        }
        return commands;
    };
    const struct {
        WPARAM key;
        int command;
    } enabled[] = {
        {'R', ID_CONNECT_READ}, {'O', ID_FILE_OPEN}, {'S', ID_FILE_SAVE}, {'W', ID_CONNECT_WRITE}};
    for (const auto& c : enabled) {
        SCOPED_TRACE(static_cast<char>(c.key));
        const std::vector<WindowEvent> commands = press(c.key);
        ASSERT_EQ(commands.size(), 1u);
        EXPECT_EQ(commands[0].id, c.command);
        EXPECT_EQ(commands[0].code, 1);
    }
    EnableMenuItem(GetMenu(window.Window()), ID_CONNECT_WRITE, MF_BYCOMMAND | MF_GRAYED);
    EXPECT_TRUE(press('W').empty());
    EXPECT_EQ(press('R').size(), 1u);
    ASSERT_TRUE(SetKeyboardState(keys));
}

// Tab walks the controls in the Linux window's order: ID, the channel lists, each radio
// group, the response sliders, EXP, Holdex setting and the gains, the limit controls, Read
// and Write; value boxes, label boxes and the status line are passed by.
TEST(WindowLayer, TabOrderFollowsTheWindowsColumns) {
    HiddenWindow window(Language::English);
    ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
    const std::vector<int> expected = {1001, 1003, 1004, 1005, 1007, 1010, 1012, 1014, 1019, 1022,
                                       1025, 1028, 1031, 1034, 1063, 1036, 1038, 1040, 1042, 1044,
                                       1046, 1048, 1050, 1051, 1052, 1058, 1059, 1060};
    std::vector<int> order;
    HWND first = GetNextDlgTabItem(window.Window(), nullptr, FALSE);
    for (HWND at = first; at != nullptr && order.size() < 2 * expected.size();) {
        order.push_back(GetDlgCtrlID(at));
        at = GetNextDlgTabItem(window.Window(), at, FALSE);
        if (at == first) break;
    }
    EXPECT_EQ(order, expected);
}

// A call posted from another thread runs once, on the window's thread, from its messages;
// calls posted after the window ended are dropped.
TEST(WindowLayer, PostedCallsRunOnTheWindowsThread) {
    HiddenWindow window(Language::English);
    ASSERT_NE(window.Window(), nullptr) << HiddenWindow::Reason();
    const DWORD windowThread = GetCurrentThreadId();
    std::vector<DWORD> ranOn;
    std::thread other([&] {
        window.Host().Post([&] { ranOn.push_back(GetCurrentThreadId()); });
        window.Host().Post([&] { ranOn.push_back(GetCurrentThreadId()); });
    });
    other.join();
    EXPECT_TRUE(ranOn.empty());
    PumpMessages();
    ASSERT_EQ(ranOn.size(), 2u);
    EXPECT_EQ(ranOn[0], windowThread);
    EXPECT_EQ(ranOn[1], windowThread);

    window.Host().Post([&] { ranOn.push_back(0); });
    window.Host().End(IDCANCEL);
    window.Host().Post([&] { ranOn.push_back(0); });
    PumpMessages();
    EXPECT_EQ(ranOn.size(), 2u);
}

// The behaviour may end the window while it initialises (no adapter): it is destroyed
// without being shown, and the host reports the result.
TEST(WindowLayer, EndedDuringInitialisationIsNeverShown) {
    tarvex_win::Win32DialogHost host(GetModuleHandleW(nullptr), Language::English);
    HWND seen = nullptr;
    host.SetDispatch([&](const WindowEvent& event) {
        if (event.kind != WindowEvent::Kind::InitDialog) return false;
        seen = host.Window();
        host.End(IDCANCEL);
        return true;
    });
    EXPECT_EQ(host.Create(true), nullptr);
    ASSERT_NE(seen, nullptr) << HiddenWindow::Reason();
    EXPECT_TRUE(host.Ended());
    EXPECT_EQ(host.Result(), IDCANCEL);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_EQ(host.RunModal(), IDCANCEL);
}

// Without a dispatch function, Return, Escape and File > Exit end the window.
TEST(WindowLayer, HostEndsTheWindowOnOkCancelAndExit) {
    for (int command : {IDOK, IDCANCEL, ID_APP_EXIT}) {
        SCOPED_TRACE(command);
        tarvex_win::Win32DialogHost host(GetModuleHandleW(nullptr), Language::English);
        HWND window = host.Create(false);
        ASSERT_NE(window, nullptr) << HiddenWindow::Reason();
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
        EXPECT_TRUE(host.Ended());
        EXPECT_FALSE(IsWindow(window));
    }
}

}  // namespace
