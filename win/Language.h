// The window's language and the resources in it. Each resource is looked up in the chosen
// language explicitly (FindResourceExW), since the loader's own choice follows the thread's
// language, which the program cannot set everywhere (Wine ignores SetThreadUILanguage).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace tarvex_win {

enum class Language { English, German, Japanese };

// The resources' language ids: 1033, 1031 and 1041.
LANGID LanguageId(Language language);
// "en", "de" or "ja" in any case; nothing for another text.
std::optional<Language> ParseLanguage(std::wstring_view code);
// German or Japanese for a user interface language of that family, else English.
Language FromUiLanguage(LANGID uiLanguage);
// The user's interface language, as FromUiLanguage maps it.
Language UserLanguage();
const wchar_t* LanguageCode(Language language);

// The data of resource (type, name) in the language; English when the language has none;
// null when neither exists.
const void* FindResourceIn(HMODULE module, LPCWSTR type, LPCWSTR name, Language language,
                           DWORD* size = nullptr);
// A text of the string table in the language (English when the language's block lacks
// it); empty when no table has the id.
std::wstring LoadStringIn(HMODULE module, Language language, UINT id);
// Menu resource id in the language; null when it does not exist. The caller owns it.
HMENU LoadMenuIn(HMODULE module, Language language, UINT id);
// Dialog template id in the language; null when it does not exist.
const DLGTEMPLATE* DialogTemplateIn(HMODULE module, Language language, UINT id);

}  // namespace tarvex_win
