#include "win/Accessibility.h"

#include <commctrl.h>
#include <oleacc.h>

#include <array>
#include <atomic>

namespace tarvex_win {

namespace {

enum class Source {
    Group,         // the group box around the control
    GroupAndRow,   // the group box, then the row's label box (its direction)
    StaticBefore,  // the static label in front of control ref
};

struct Named {
    int id;
    Source source;
    int ref;  // GroupAndRow: the label box; StaticBefore: the control the label precedes
};

constexpr std::array kNamed = {
    Named{1001, Source::Group, 0},           Named{1003, Source::StaticBefore, 1003},
    Named{1004, Source::StaticBefore, 1004}, Named{1017, Source::Group, 0},
    Named{1018, Source::GroupAndRow, 1017},  Named{1019, Source::GroupAndRow, 1017},
    Named{1020, Source::Group, 0},           Named{1021, Source::GroupAndRow, 1020},
    Named{1022, Source::GroupAndRow, 1020},  Named{1023, Source::Group, 0},
    Named{1024, Source::GroupAndRow, 1023},  Named{1025, Source::GroupAndRow, 1023},
    Named{1026, Source::Group, 0},           Named{1027, Source::GroupAndRow, 1026},
    Named{1028, Source::GroupAndRow, 1026},  Named{1029, Source::Group, 0},
    Named{1030, Source::GroupAndRow, 1029},  Named{1031, Source::GroupAndRow, 1029},
    Named{1032, Source::Group, 0},           Named{1033, Source::GroupAndRow, 1032},
    Named{1034, Source::GroupAndRow, 1032},  Named{1036, Source::StaticBefore, 1035},
    Named{1038, Source::StaticBefore, 1037}, Named{1040, Source::StaticBefore, 1039},
    Named{1042, Source::StaticBefore, 1041}, Named{1044, Source::StaticBefore, 1043},
    Named{1046, Source::StaticBefore, 1045}, Named{1048, Source::StaticBefore, 1047},
    Named{1050, Source::StaticBefore, 1049}, Named{1053, Source::Group, 0},
    Named{1054, Source::GroupAndRow, 1053},  Named{1055, Source::Group, 0},
    Named{1056, Source::GroupAndRow, 1055},  Named{1058, Source::StaticBefore, 1057},
    Named{1061, Source::Group, 0},           Named{1062, Source::StaticBefore, 1062},
    Named{1063, Source::StaticBefore, 1062},
};

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool IsClass(HWND window, const wchar_t* name) {
    wchar_t actual[32] = {};
    GetClassNameW(window, actual, 32);
    return lstrcmpiW(actual, name) == 0;
}

// The innermost group box whose area holds the control's centre.
HWND GroupOf(HWND dialog, HWND control) {
    RECT rect;
    GetWindowRect(control, &rect);
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    HWND best = nullptr;
    long bestArea = 0;
    for (HWND w = GetWindow(dialog, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
        if (!IsClass(w, L"Button") || (GetWindowLongW(w, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX) {
            continue;
        }
        RECT box;
        GetWindowRect(w, &box);
        const long area = (box.right - box.left) * (box.bottom - box.top);
        if (PtInRect(&box, centre) && (best == nullptr || area < bestArea)) {
            best = w;
            bestArea = area;
        }
    }
    return best;
}

// The static label just in front of the control in the dialog's order.
HWND StaticBefore(HWND control) {
    HWND previous = GetWindow(control, GW_HWNDPREV);
    return previous != nullptr && IsClass(previous, L"Static") ? previous : nullptr;
}

// The standard accessible object of a control with another name.
class NamedAccessible final : public IAccessible {
  public:
    NamedAccessible(IAccessible* standard, HWND control) : standard_(standard), control_(control) {}

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) ||
            iid == __uuidof(IAccessible)) {
            *object = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            standard_->Release();
            delete this;
        }
        return left;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        return standard_->GetTypeInfoCount(count);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
        return standard_->GetTypeInfo(index, locale, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override {
        return standard_->GetIDsOfNames(iid, names, count, locale, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* argument) override {
        return standard_->Invoke(id, iid, locale, flags, params, result, exception, argument);
    }

    // IAccessible: the name, the rest from the standard object.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        if (name == nullptr) return E_POINTER;
        if (child.vt == VT_I4 && child.lVal == CHILDID_SELF) {
            const std::wstring text = AccessibleName(GetParent(control_), GetDlgCtrlID(control_));
            if (!text.empty()) {
                *name = SysAllocString(text.c_str());
                return *name != nullptr ? S_OK : E_OUTOFMEMORY;
            }
        }
        return standard_->get_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return standard_->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        return standard_->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
        return standard_->get_accChild(child, object);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return standard_->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return standard_->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return standard_->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return standard_->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return standard_->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
        return standard_->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return standard_->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return standard_->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return standard_->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return standard_->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override {
        return standard_->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override {
        return standard_->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
        return standard_->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT* child) override {
        return standard_->accHitTest(left, top, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return standard_->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return standard_->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return standard_->put_accValue(child, value);
    }

  private:
    ~NamedAccessible() = default;
    IAccessible* standard_;
    HWND control_;
    std::atomic<ULONG> references_{1};
};

constexpr UINT_PTR kSubclassId = 0x7A4E;

LRESULT CALLBACK NamedControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR, DWORD_PTR) {
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == static_cast<LONG>(OBJID_CLIENT)) {
        IAccessible* standard = nullptr;
        if (SUCCEEDED(CreateStdAccessibleObject(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                reinterpret_cast<void**>(&standard)))) {
            auto* named = new NamedAccessible(standard, control);
            const LRESULT result = LresultFromObject(__uuidof(IAccessible), wParam, named);
            named->Release();
            return result;
        }
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(control, &NamedControlProc, kSubclassId);
    return DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

std::wstring PlainCaption(const std::wstring& caption) {
    std::wstring plain;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        const wchar_t c = caption[i];
        // "(&X)" after a Japanese caption goes whole.
        if (c == L'(' && i + 3 < caption.size() && caption[i + 1] == L'&' &&
            caption[i + 3] == L')') {
            i += 3;
            continue;
        }
        if (c == L'&') {
            if (i + 1 < caption.size() && caption[i + 1] == L'&') {
                plain += L'&';
                ++i;
            }
            continue;
        }
        plain += (c == L'\n' || c == L'\r') ? L' ' : c;
    }
    // A line break written as "\r\n" leaves two spaces.
    std::wstring single;
    for (wchar_t c : plain) {
        if (c == L' ' && !single.empty() && single.back() == L' ') continue;
        single += c;
    }
    return single;
}

std::wstring AccessibleName(HWND dialog, int id) {
    for (const Named& n : kNamed) {
        if (n.id != id) continue;
        HWND control = GetDlgItem(dialog, id);
        switch (n.source) {
            case Source::Group:
            case Source::GroupAndRow: {
                HWND group = GroupOf(dialog, control);
                std::wstring name = group != nullptr ? PlainCaption(TextOf(group)) : L"";
                if (n.source == Source::GroupAndRow) {
                    const std::wstring row = TextOf(GetDlgItem(dialog, n.ref));
                    if (!row.empty()) name += (name.empty() ? L"" : L", ") + row;
                }
                return name;
            }
            case Source::StaticBefore: {
                HWND label = StaticBefore(GetDlgItem(dialog, n.ref));
                return label != nullptr ? PlainCaption(TextOf(label)) : L"";
            }
        }
    }
    return {};
}

void NameControls(HWND dialog) {
    for (const Named& n : kNamed) {
        if (HWND control = GetDlgItem(dialog, n.id)) {
            SetWindowSubclass(control, &NamedControlProc, kSubclassId, 0);
        }
    }
}

}  // namespace tarvex_win
