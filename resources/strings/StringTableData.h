// The translations of the .ts files, generated at build time by ts2cpp.py
// (StringTableData.cpp in the build folder). Used by StringTable.cpp only.
#pragma once

#include <cstddef>

namespace strings::generated {

// One finished translation of a .ts file: its language ("de", "ja"), the message's
// context ("StringTable", "CTarvexDlg"), English source, disambiguating comment ("" when
// none) and translation, all UTF-8.
struct Translation {
    const char* language;
    const char* context;
    const char* source;
    const char* comment;
    const char* text;
};

extern const Translation kTranslations[];
extern const std::size_t kTranslationCount;

}  // namespace strings::generated
