#include "win/Language.h"

#include <cwctype>

namespace tarvex_win {

LANGID LanguageId(Language language) {
    switch (language) {
        case Language::German:
            return MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
        case Language::Japanese:
            return MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);
        case Language::English:
            break;
    }
    return MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
}

const wchar_t* LanguageCode(Language language) {
    switch (language) {
        case Language::German:
            return L"de";
        case Language::Japanese:
            return L"ja";
        case Language::English:
            break;
    }
    return L"en";
}

std::optional<Language> ParseLanguage(std::wstring_view code) {
    std::wstring lower;
    for (wchar_t c : code) lower.push_back(static_cast<wchar_t>(std::towlower(c)));
    if (lower == L"en") return Language::English;
    if (lower == L"de") return Language::German;
    if (lower == L"ja") return Language::Japanese;
    return std::nullopt;
}

Language FromUiLanguage(LANGID uiLanguage) {
    switch (PRIMARYLANGID(uiLanguage)) {
        case LANG_GERMAN:
            return Language::German;
        case LANG_JAPANESE:
            return Language::Japanese;
        default:
            return Language::English;
    }
}

Language UserLanguage() {
    return FromUiLanguage(GetUserDefaultUILanguage());
}

namespace {

const void* FindExactly(HMODULE module, LPCWSTR type, LPCWSTR name, LANGID language, DWORD* size) {
    HRSRC found = FindResourceExW(module, type, name, language);
    if (found == nullptr) return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) return nullptr;
    if (size != nullptr) *size = SizeofResource(module, found);
    return LockResource(loaded);
}

// The text of id in one string-table block (16 counted strings), or nothing.
std::optional<std::wstring> StringInBlock(HMODULE module, LANGID language, UINT id) {
    DWORD size = 0;
    const auto* data =
        static_cast<const WCHAR*>(FindExactly(module, MAKEINTRESOURCEW(6 /* RT_STRING */),
                                              MAKEINTRESOURCEW(id / 16 + 1), language, &size));
    if (data == nullptr) return std::nullopt;
    const WCHAR* end = data + size / sizeof(WCHAR);
    for (UINT index = 0; index < 16 && data < end; ++index) {
        const UINT length = *data++;
        if (data + length > end) return std::nullopt;
        if (index == id % 16) {
            if (length == 0) return std::nullopt;
            return std::wstring(data, length);
        }
        data += length;
    }
    return std::nullopt;
}

}  // namespace

const void* FindResourceIn(HMODULE module, LPCWSTR type, LPCWSTR name, Language language,
                           DWORD* size) {
    if (const void* data = FindExactly(module, type, name, LanguageId(language), size)) {
        return data;
    }
    return FindExactly(module, type, name, LanguageId(Language::English), size);
}

std::wstring LoadStringIn(HMODULE module, Language language, UINT id) {
    if (auto text = StringInBlock(module, LanguageId(language), id)) return *text;
    if (auto text = StringInBlock(module, LanguageId(Language::English), id)) return *text;
    return std::wstring();
}

HMENU LoadMenuIn(HMODULE module, Language language, UINT id) {
    const void* data =
        FindResourceIn(module, MAKEINTRESOURCEW(4 /* RT_MENU */), MAKEINTRESOURCEW(id), language);
    return data != nullptr ? LoadMenuIndirectW(data) : nullptr;
}

const DLGTEMPLATE* DialogTemplateIn(HMODULE module, Language language, UINT id) {
    return static_cast<const DLGTEMPLATE*>(FindResourceIn(
        module, MAKEINTRESOURCEW(5 /* RT_DIALOG */), MAKEINTRESOURCEW(id), language));
}

}  // namespace tarvex_win
